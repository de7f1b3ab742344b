// Conversion of whole buffers between pixel formats, and the per-row converters behind it.
#pragma once

#include "lfw/graphics/LImageBuffer.h"
#include "lfw/graphics/LPixelAccess.h"
#include "lfw/graphics/LPixelRows.h"

#include <array>
#include <cstring>
#include <type_traits>

// Converts src into dst, which must already be allocated with the wanted pixel format and src's
// width and height. Pairs without a converter (anything to or from the 4-bit format or I8, other
// than a plain copy) leave dst unchanged. Rows are converted in picture order, so buffers stored
// the opposite way round hold the same picture afterwards.
void LConvertPixelFormat(LImageBuffer& dst, const LImageBuffer& src);

// The buffer-level converters the table holds (LConvertPixelFormatRGB<Dst, Src> is below).
void LConvertPixelFormatRGBtoRGBA(LImageBuffer& dst, const LImageBuffer& src);

using LPFConvertFuncType = void (*)(LImageBuffer& dst, const LImageBuffer& src);
// Indexed by source format x 9 + destination format; null where no converter exists.
extern const std::array<LPFConvertFuncType, kLPixelFormatCount * kLPixelFormatCount> LPFConvertFunc;

// Straight alpha to premultiplied and back, in place, for B8G8R8A8 and R8G8B8A8 buffers.
void LImagePremultiplyAlpha(LImageBuffer& buffer);
void LImageUnpremultiplyAlpha(LImageBuffer& buffer);

namespace LConvertPixelsDetail {

// Widening in the bulk converters is plain bit replication.
constexpr uint8_t Rep5(unsigned c)
{
    c &= 31;
    return uint8_t((c << 3) | (c >> 2));
}
constexpr uint8_t Rep6(unsigned g)
{
    g &= 63;
    return uint8_t((g << 2) | (g >> 4));
}

inline bool SameSize(const LImageBuffer& dst, const LImageBuffer& src)
{
    return dst.GetWidth() == src.GetWidth() && dst.GetHeight() == src.GetHeight();
}

// Calls rowFn(dstRow, srcRow) for every row of the picture, top to bottom.
template <class F> void ForEachPictureRow(LImageBuffer& dst, const LImageBuffer& src, F&& rowFn)
{
    const int h = src.GetHeight();
    for (int y = 0; y < h; ++y)
        rowFn(dst.GetPictureRow(y), src.GetPictureRow(y));
}

struct Channels {
    uint8_t b, g, r, a;
};

template <class P> inline Channels Decode(const P& p)
{
    if constexpr (std::is_same_v<P, LPFB5G6R5>)
        return { Rep5(p.v), Rep6(p.v >> 5), Rep5(p.v >> 11), 255 };
    else if constexpr (std::is_same_v<P, LPFB5G5R5A1>)
        return { Rep5(p.v), Rep5(p.v >> 5), Rep5(p.v >> 10), uint8_t((p.v & 0x8000) ? 255 : 0) };
    else if constexpr (std::is_same_v<P, LPFB5G5R5X1>)
        return { Rep5(p.v), Rep5(p.v >> 5), Rep5(p.v >> 10), 255 };
    else if constexpr (P::kHasAlpha)
        return { p.b, p.g, p.r, p.a };
    else
        return { p.b, p.g, p.r, 255 };
}

// srcHasAlpha tells whether c.a came from the source (for bit 15 of B5G5R5A1).
template <class P> inline void Encode(P& p, const Channels& c, bool srcHasAlpha)
{
    if constexpr (std::is_same_v<P, LPFB5G6R5>) {
        p.v = uint16_t((c.b >> 3) | (c.g >> 2) << 5 | (c.r >> 3) << 11);
    } else if constexpr (std::is_same_v<P, LPFB5G5R5A1>) {
        const unsigned top = srcHasAlpha ? (c.a >> 7) : 1u;
        p.v = uint16_t((c.b >> 3) | (c.g >> 3) << 5 | (c.r >> 3) << 10 | top << 15);
    } else if constexpr (std::is_same_v<P, LPFB5G5R5X1>) {
        // Bit 15 is not written: it keeps whatever the destination held.
        p.v = uint16_t((p.v & 0x8000) | (c.b >> 3) | (c.g >> 3) << 5 | (c.r >> 3) << 10);
    } else {
        p.b = c.b, p.g = c.g, p.r = c.r;
        if constexpr (P::kHasAlpha)
            p.a = c.a;
    }
}

template <class Dst, class Src> inline void ConvertOne(Dst& d, const Src& s)
{
    if constexpr (std::is_same_v<Src, LPFB5G6R5> && std::is_same_v<Dst, LPFB5G5R5A1>) {
        const unsigned g = (s.v >> 5) & 63;
        d.v = uint16_t((s.v & 31) | (g >> 1) << 5 | ((s.v >> 11) & 31) << 10 | 0x8000);
    } else if constexpr (std::is_same_v<Src, LPFB5G6R5> && std::is_same_v<Dst, LPFB5G5R5X1>) {
        const unsigned g = (s.v >> 5) & 63;
        d.v = uint16_t((d.v & 0x8000) | (s.v & 31) | (g >> 1) << 5 | ((s.v >> 11) & 31) << 10);
    } else if constexpr ((std::is_same_v<Src,
                              LPFB5G5R5A1> || std::is_same_v<Src, LPFB5G5R5X1>)&&std::is_same_v<Dst,
                             LPFB5G6R5>) {
        const unsigned g = (s.v >> 5) & 31;
        d.v = uint16_t((s.v & 31) | ((g << 1) | (g >> 4)) << 5 | ((s.v >> 10) & 31) << 11);
    } else if constexpr ((std::is_same_v<Src, LPFB5G5R5A1> || std::is_same_v<Src, LPFB5G5R5X1>)&&(
                             std::is_same_v<Dst,
                                 LPFB5G5R5A1> || std::is_same_v<Dst, LPFB5G5R5X1>)) {
        d.v = s.v; // the word as it is, bit 15 carried over
    } else {
        Encode(d, Decode(s), Src::kHasAlpha);
    }
}

} // namespace LConvertPixelsDetail

// Converts n pixels of one row.
template <class Dst, class Src> inline void ConvertPixels(Dst* dst, const Src* src, unsigned long n)
{
    auto* d8 = reinterpret_cast<uint8_t*>(dst);
    auto* s8 = reinterpret_cast<const uint8_t*>(src);
    if constexpr (std::is_same_v<Dst, Src>) {
        std::memcpy(dst, src, n * sizeof(Src));
    } else if constexpr ((std::is_same_v<Src, LPFB8G8R8A8> && std::is_same_v<Dst, LPFR8G8B8A8>)
        || (std::is_same_v<Src, LPFR8G8B8A8> && std::is_same_v<Dst, LPFB8G8R8A8>)) {
        LPixelRows::SwapRedBlue(d8, s8, n);
    } else if constexpr ((std::is_same_v<Src, LPFB8G8R8A8> && std::is_same_v<Dst, LPFB8G8R8>)
        || (std::is_same_v<Src, LPFR8G8B8A8> && std::is_same_v<Dst, LPFR8G8B8>)) {
        LPixelRows::DropAlpha(d8, s8, n);
    } else if constexpr ((std::is_same_v<Src, LPFB8G8R8A8> && std::is_same_v<Dst, LPFR8G8B8>)
        || (std::is_same_v<Src, LPFR8G8B8A8> && std::is_same_v<Dst, LPFB8G8R8>)) {
        LPixelRows::DropAlphaSwap(d8, s8, n);
    } else if constexpr ((std::is_same_v<Src, LPFB8G8R8> && std::is_same_v<Dst, LPFB8G8R8A8>)
        || (std::is_same_v<Src, LPFR8G8B8> && std::is_same_v<Dst, LPFR8G8B8A8>)) {
        LPixelRows::AddAlpha(d8, s8, n);
    } else if constexpr ((std::is_same_v<Src, LPFB8G8R8> && std::is_same_v<Dst, LPFR8G8B8A8>)
        || (std::is_same_v<Src, LPFR8G8B8> && std::is_same_v<Dst, LPFB8G8R8A8>)) {
        LPixelRows::AddAlphaSwap(d8, s8, n);
    } else if constexpr ((std::is_same_v<Src, LPFB8G8R8> && std::is_same_v<Dst, LPFR8G8B8>)
        || (std::is_same_v<Src, LPFR8G8B8> && std::is_same_v<Dst, LPFB8G8R8>)) {
        LPixelRows::SwapRedBlue24(d8, s8, n);
    } else {
        for (unsigned long i = 0; i < n; ++i)
            LConvertPixelsDetail::ConvertOne(dst[i], src[i]);
    }
}

// A 3-byte pixel copied in its order and followed by alpha 255.
inline void ConvertPixelsRGB_To_RGBA(LPFB8G8R8A8* dst, const LPFB8G8R8* src, unsigned long n)
{
    LPixelRows::AddAlpha(reinterpret_cast<uint8_t*>(dst), reinterpret_cast<const uint8_t*>(src), n);
}

// One pair of formats of 0 to 6, row by row in picture order.
template <class Dst, class Src>
void LConvertPixelFormatRGB(LImageBuffer& dst, const LImageBuffer& src)
{
    if (!dst.IsValid() || !src.IsValid() || !LConvertPixelsDetail::SameSize(dst, src))
        return;
    if (dst.GetPixelFormat() != Dst::kFormat || src.GetPixelFormat() != Src::kFormat)
        return;
    const auto w = static_cast<unsigned long>(src.GetWidth());
    LConvertPixelsDetail::ForEachPictureRow(
        dst, src, [w](unsigned char* d, const unsigned char* s) {
            ConvertPixels(reinterpret_cast<Dst*>(d), reinterpret_cast<const Src*>(s), w);
        });
}

// Converts n pixels of a row stored in one of the formats 0 to 6 into Dst pixels, with the same
// conversions as LConvertPixelFormat (for writers that take any source a row at a time). False
// for the formats without a pixel structure.
template <class Dst>
bool LConvertPixelRowTo(Dst* dst, const unsigned char* src, pixelformat_t format, unsigned long n)
{
    return LPixelAccess::VisitPixelStruct(format, [&](auto pixel) {
        using P = decltype(pixel);
        ConvertPixels(dst, reinterpret_cast<const P*>(src), n);
    });
}
