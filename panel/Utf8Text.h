// Strict UTF-8 checks for text that comes from outside (the command line,
// later launches). The framework's string classes assume well-formed UTF-8:
// a stray continuation byte or an overlong form can make them read or write
// past the end of a buffer, so such text is checked or mended before it gets
// there.
#pragma once

#include <cstddef>
#include <string>

namespace Utf8Text
{
// True when the size bytes are well-formed UTF-8 (no overlong forms, no
// surrogates, nothing above U+10FFFF) and hold no zero byte.
bool isValid (const char* bytes, size_t size) noexcept;

// The zero-terminated text with every byte that does not start a well-formed
// sequence replaced by U+FFFD; valid text comes back unchanged.
std::string makeValid (const char* text);
} // namespace Utf8Text
