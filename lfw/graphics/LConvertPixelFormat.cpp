#include "lfw/graphics/LConvertPixelFormat.h"

#include <array>
#include <tuple>
#include <utility>

namespace {

// The pixel structure of formats 0 to 6, in format order.
using PixelStructs = std::tuple<LPFB8G8R8A8, LPFB8G8R8, LPFB5G6R5, LPFB5G5R5A1, LPFB5G5R5X1,
    LPFR8G8B8A8, LPFR8G8B8>;
constexpr int kStructFormats = 7;

void CopyEntry(LImageBuffer& dst, const LImageBuffer& src)
{
    LImageBufferCopy(dst, src);
}

template <int S, int D> constexpr LPFConvertFuncType Entry()
{
    if constexpr (S == D) {
        return &CopyEntry;
    } else if constexpr (S >= kStructFormats || D >= kStructFormats) {
        return nullptr;
    } else if constexpr ((S == LPixelFormatB8G8R8 && D == LPixelFormatB8G8R8A8)
        || (S == LPixelFormatR8G8B8 && D == LPixelFormatR8G8B8A8)) {
        return &LConvertPixelFormatRGBtoRGBA;
    } else {
        return &LConvertPixelFormatRGB<std::tuple_element_t<D, PixelStructs>,
            std::tuple_element_t<S, PixelStructs>>;
    }
}

template <std::size_t... I>
constexpr std::array<LPFConvertFuncType, sizeof...(I)> MakeTable(std::index_sequence<I...>)
{
    return { Entry<int(I) / kLPixelFormatCount, int(I) % kLPixelFormatCount>()... };
}

bool FormatInRange(pixelformat_t f)
{
    return f >= 0 && f < kLPixelFormatCount;
}

} // namespace

const std::array<LPFConvertFuncType, kLPixelFormatCount* kLPixelFormatCount> LPFConvertFunc
    = MakeTable(std::make_index_sequence<kLPixelFormatCount * kLPixelFormatCount>());

void LConvertPixelFormatRGBtoRGBA(LImageBuffer& dst, const LImageBuffer& src)
{
    if (!dst.IsValid() || !src.IsValid() || !LConvertPixelsDetail::SameSize(dst, src))
        return;
    const pixelformat_t s = src.GetPixelFormat(), d = dst.GetPixelFormat();
    const auto w = static_cast<unsigned long>(src.GetWidth());
    const bool swap = (s == LPixelFormatB8G8R8 && d == LPixelFormatR8G8B8A8)
        || (s == LPixelFormatR8G8B8 && d == LPixelFormatB8G8R8A8);
    const bool keep = (s == LPixelFormatB8G8R8 && d == LPixelFormatB8G8R8A8)
        || (s == LPixelFormatR8G8B8 && d == LPixelFormatR8G8B8A8);
    if (!swap && !keep)
        return;
    LConvertPixelsDetail::ForEachPictureRow(
        dst, src, [w, swap](unsigned char* dr, const unsigned char* sr) {
            if (swap)
                LPixelRows::AddAlphaSwap(dr, sr, w);
            else
                LPixelRows::AddAlpha(dr, sr, w);
        });
}

void LConvertPixelFormat(LImageBuffer& dst, const LImageBuffer& src)
{
    if (!dst.IsValid() || !src.IsValid() || !LConvertPixelsDetail::SameSize(dst, src))
        return;
    const pixelformat_t s = src.GetPixelFormat(), d = dst.GetPixelFormat();
    if (!FormatInRange(s) || !FormatInRange(d))
        return;
    if (LPFConvertFuncType direct = LPFConvertFunc[s * kLPixelFormatCount + d]) {
        direct(dst, src);
        return;
    }
    LPFConvertFuncType toWorking = LPFConvertFunc[s * kLPixelFormatCount + LPixelFormatB8G8R8A8];
    LPFConvertFuncType fromWorking = LPFConvertFunc[LPixelFormatB8G8R8A8 * kLPixelFormatCount + d];
    if (!toWorking || !fromWorking)
        return;
    LImageBuffer working(
        LImageFormat(LPixelFormatB8G8R8A8, src.GetWidth(), src.GetHeight(), src.IsBottomUp()));
    if (!working.IsValid())
        return;
    toWorking(working, src);
    fromWorking(dst, working);
}

void LImagePremultiplyAlpha(LImageBuffer& buffer)
{
    const pixelformat_t f = buffer.GetPixelFormat();
    if (!buffer.IsValid() || (f != LPixelFormatB8G8R8A8 && f != LPixelFormatR8G8B8A8))
        return;
    for (int y = 0; y < buffer.GetHeight(); ++y)
        LPixelRows::Premultiply(buffer.GetRow(y), buffer.GetRow(y), size_t(buffer.GetWidth()));
}

void LImageUnpremultiplyAlpha(LImageBuffer& buffer)
{
    const pixelformat_t f = buffer.GetPixelFormat();
    if (!buffer.IsValid() || (f != LPixelFormatB8G8R8A8 && f != LPixelFormatR8G8B8A8))
        return;
    for (int y = 0; y < buffer.GetHeight(); ++y)
        LPixelRows::Unpremultiply(buffer.GetRow(y), buffer.GetRow(y), size_t(buffer.GetWidth()));
}
