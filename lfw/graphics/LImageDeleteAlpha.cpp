#include "lfw/graphics/LConvertPixelFormat.h"
#include "lfw/graphics/LImage.h"
#include "lfw/graphics/LImageIterator.h"

#include <vector>

namespace {

// k + floor(((c - k) x a x 257 + 255) / 65536): c at a = 255, k at a = 0.
inline uint8_t Blend(int c, int k, int a257)
{
    return uint8_t(k + (((c - k) * a257 + 255) >> 16));
}

} // namespace

int LImage::DeleteAlpha(const LImageBuffer& src, LImageBuffer& dst, int colour)
{
    const pixelformat_t format = src.GetPixelFormat();
    if (!src.IsValid() || &src == &dst)
        return 0;
    if (!LPFConvertFunc[format * kLPixelFormatCount + LPixelFormatB8G8R8A8])
        return 0; // nothing turns the 4-bit format or I8 into colours
    dst.AllocateNewBuffer(
        LImageFormat(LPixelFormatB8G8R8A8, src.GetWidth(), src.GetHeight(), false));
    if (!dst.IsValid())
        return 0;
    dst.SetResolution(src.GetFormat().horizontalResolution, src.GetFormat().verticalResolution);

    // Both in picture order: the conversion walks picture rows, the iterator remaps a bottom-up
    // source.
    LConvertPixelFormat(dst, src);
    const int w = dst.GetWidth(), h = dst.GetHeight();
    if (colour == -1) {
        for (int y = 0; y < h; ++y)
            LPixelRows::SetOpaque(dst.GetRow(y), size_t(w));
        return 1;
    }

    const int kb = colour & 0xFF, kg = (colour >> 8) & 0xFF, kr = (colour >> 16) & 0xFF;
    LImageConstIterator in(src, LImageScanRowsTopDown);
    std::vector<LPixelColour> row(static_cast<size_t>(w));
    for (int y = 0; y < h; ++y) {
        if (in.Get(row.data(), w) != w)
            break;
        auto* out = reinterpret_cast<LPFB8G8R8A8*>(dst.GetRow(y));
        for (int x = 0; x < w; ++x) {
            const LPixelColour c = row[size_t(x)];
            const int a257 = out[x].a * 257;
            out[x].b = Blend(c.b, kb, a257);
            out[x].g = Blend(c.g, kg, a257);
            out[x].r = Blend(c.r, kr, a257);
            out[x].a = 255;
        }
    }
    return 1;
}
