// Rounding to the nearest integer with halves going to the even neighbour,
// as used for every scaled layout value of the panel and its widgets.
#pragma once

#include <cmath>
#include <limits>

inline int roundHalfEven (double value)
{
    if (std::isnan (value))
        return 0;

    constexpr double maxInt = (double) std::numeric_limits<int>::max();
    constexpr double minInt = (double) std::numeric_limits<int>::min();

    if (value >= maxInt)
        return std::numeric_limits<int>::max();
    if (value <= minInt)
        return std::numeric_limits<int>::min();

    const double lower = std::floor (value);
    const double fraction = value - lower;
    auto result = (long long) lower;

    if (fraction > 0.5)
        ++result;
    else if (fraction == 0.5 && (result % 2) != 0)
        ++result;

    return (int) result;
}
