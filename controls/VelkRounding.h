#pragma once
#include <cmath>
// Nearest integer, a value exactly halfway between two integers going to the even one.
inline int roundHalfEven (double v) { return (int) std::nearbyint (v); }
