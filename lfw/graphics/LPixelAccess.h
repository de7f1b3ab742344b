// Reading and writing single pixels of every pixel structure as an LPixelColour.
//
// Reading widens 5- and 6-bit channels with rounding (c x 255 / 31 + 0.5), so a 5-bit 3 reads as
// 25 and 28 as 230; writing narrows by truncation, so a widened value written back gives the
// value it came from. The bulk converters widen by plain bit replication instead.
#pragma once

#include "lfw/graphics/LImageFormat.h"

#include <cstring>
#include <type_traits>

namespace LPixelAccess {

// floor(c x 255 / 31 + 0.5): bit replication with 24 and 57 raised and 198 and 231 lowered.
constexpr uint8_t Widen5(unsigned c)
{
    c &= 31;
    unsigned v = (c << 3) | (c >> 2);
    if (v == 24 || v == 57)
        ++v;
    else if (v == 198 || v == 231)
        --v;
    return uint8_t(v);
}

// floor(g x 255 / 63 + 0.5): bit replication with 44..60 raised and 195..211 lowered.
constexpr uint8_t Widen6(unsigned g)
{
    g &= 63;
    unsigned v = (g << 2) | (g >> 4);
    if (v >= 44 && v <= 60)
        ++v;
    else if (v >= 195 && v <= 211)
        --v;
    return uint8_t(v);
}

template <class P> inline LPixelColour Read(const P& p)
{
    if constexpr (std::is_same_v<P, LPFB8G8R8A8>) {
        return LPixelColour(p.b, p.g, p.r, p.a);
    } else if constexpr (std::is_same_v<P, LPFR8G8B8A8>) {
        return LPixelColour(p.b, p.g, p.r, p.a);
    } else if constexpr (std::is_same_v<P, LPFB8G8R8> || std::is_same_v<P, LPFR8G8B8>) {
        return LPixelColour(p.b, p.g, p.r, 255);
    } else if constexpr (std::is_same_v<P, LPFB5G6R5>) {
        return LPixelColour(Widen5(p.v), Widen6(p.v >> 5), Widen5(p.v >> 11), 255);
    } else if constexpr (std::is_same_v<P, LPFB5G5R5A1>) {
        return LPixelColour(
            Widen5(p.v), Widen5(p.v >> 5), Widen5(p.v >> 10), (p.v & 0x8000) ? 255 : 0);
    } else {
        static_assert(std::is_same_v<P, LPFB5G5R5X1>);
        return LPixelColour(Widen5(p.v), Widen5(p.v >> 5), Widen5(p.v >> 10), 255);
    }
}

template <class P> inline void Write(P& p, const LPixelColour& c)
{
    if constexpr (std::is_same_v<P, LPFB8G8R8A8> || std::is_same_v<P, LPFR8G8B8A8>) {
        p.b = c.b, p.g = c.g, p.r = c.r, p.a = c.a;
    } else if constexpr (std::is_same_v<P, LPFB8G8R8> || std::is_same_v<P, LPFR8G8B8>) {
        p.b = c.b, p.g = c.g, p.r = c.r;
    } else if constexpr (std::is_same_v<P, LPFB5G6R5>) {
        p.v = uint16_t((c.b >> 3) | (c.g >> 2) << 5 | (c.r >> 3) << 11);
    } else {
        static_assert(std::is_same_v<P, LPFB5G5R5A1> || std::is_same_v<P, LPFB5G5R5X1>);
        p.v = uint16_t((c.b >> 3) | (c.g >> 3) << 5 | (c.r >> 3) << 10 | (c.a >> 7) << 15);
    }
}

// Calls f with a value-initialised pixel structure of the format (formats 0 to 6). Returns false
// for the formats without a structure (the 4-bit format, I8, invalid values).
template <class F> inline bool VisitPixelStruct(pixelformat_t format, F&& f)
{
    switch (format) {
    case LPixelFormatB8G8R8A8:
        f(LPFB8G8R8A8 {});
        return true;
    case LPixelFormatB8G8R8:
        f(LPFB8G8R8 {});
        return true;
    case LPixelFormatB5G6R5:
        f(LPFB5G6R5 {});
        return true;
    case LPixelFormatB5G5R5A1:
        f(LPFB5G5R5A1 {});
        return true;
    case LPixelFormatB5G5R5X1:
        f(LPFB5G5R5X1 {});
        return true;
    case LPixelFormatR8G8B8A8:
        f(LPFR8G8B8A8 {});
        return true;
    case LPixelFormatR8G8B8:
        f(LPFR8G8B8 {});
        return true;
    default:
        return false;
    }
}

} // namespace LPixelAccess
