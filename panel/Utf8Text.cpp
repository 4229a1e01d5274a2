#include "panel/Utf8Text.h"

#include <cstring>

namespace
{
// Length of the well-formed, non-zero sequence at p (at most left bytes), or
// 0 when there is none.
size_t sequenceLength (const unsigned char* p, size_t left) noexcept
{
    const unsigned c = p[0];
    if (c == 0)
        return 0;
    if (c < 0x80)
        return 1;

    size_t length = 0;
    unsigned low = 0x80, high = 0xbf; // allowed range of the second byte
    if (c >= 0xc2 && c <= 0xdf)       length = 2;
    else if (c == 0xe0)               { length = 3; low = 0xa0; }
    else if (c >= 0xe1 && c <= 0xec)  length = 3;
    else if (c == 0xed)               { length = 3; high = 0x9f; }
    else if (c >= 0xee && c <= 0xef)  length = 3;
    else if (c == 0xf0)               { length = 4; low = 0x90; }
    else if (c >= 0xf1 && c <= 0xf3)  length = 4;
    else if (c == 0xf4)               { length = 4; high = 0x8f; }
    else
        return 0;

    if (left < length || p[1] < low || p[1] > high)
        return 0;
    for (size_t i = 2; i < length; ++i)
        if ((p[i] & 0xc0) != 0x80)
            return 0;
    return length;
}
} // namespace

bool Utf8Text::isValid (const char* bytes, size_t size) noexcept
{
    const auto* p = reinterpret_cast<const unsigned char*> (bytes);
    while (size > 0)
    {
        const auto n = sequenceLength (p, size);
        if (n == 0)
            return false;
        p += n;
        size -= n;
    }
    return true;
}

std::string Utf8Text::makeValid (const char* text)
{
    const auto* p = reinterpret_cast<const unsigned char*> (text);
    size_t left = std::strlen (text);
    std::string out;
    out.reserve (left);

    while (left > 0)
    {
        if (const auto n = sequenceLength (p, left))
        {
            out.append (reinterpret_cast<const char*> (p), n);
            p += n;
            left -= n;
        }
        else
        {
            out += "\xef\xbf\xbd";
            ++p;
            --left;
        }
    }
    return out;
}
