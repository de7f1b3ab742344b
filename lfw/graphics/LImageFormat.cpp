#include "lfw/graphics/LImageFormat.h"

namespace {

constexpr uint64_t kBitsPerPixel[kLPixelFormatCount] = { 32, 24, 16, 16, 16, 32, 24, 4, 8 };
constexpr uint32_t kBytesPerPixel[kLPixelFormatCount] = { 4, 3, 2, 2, 2, 4, 3, 1, 1 };

} // namespace

uint64_t LPixelFormatBitsPerPixel(pixelformat_t format)
{
    return format >= 0 && format < kLPixelFormatCount ? kBitsPerPixel[format] : 0;
}

uint32_t LPixelFormatBytesPerPixel(pixelformat_t format)
{
    return format >= 0 && format < kLPixelFormatCount ? kBytesPerPixel[format] : 1;
}

bool LPixelFormatHasAlpha(pixelformat_t format)
{
    return format == LPixelFormatB8G8R8A8 || format == LPixelFormatB5G5R5A1
        || format == LPixelFormatR8G8B8A8;
}

LImageFormat::LImageFormat(pixelformat_t format, int w, int h, bool bottomUp_)
    : pixelFormat(format)
    , width(w)
    , height(h)
    , bottomUp(bottomUp_)
{
    SetDefaultAlignment();
}

uint64_t LImageFormat::RowBytes() const
{
    if (width <= 0)
        return 0;
    // Rounded up, so that the 4-bit format keeps the last half byte of an odd width.
    return (LPixelFormatBitsPerPixel(pixelFormat) * uint64_t(width) + 7) / 8;
}

void LImageFormat::SetDefaultAlignment()
{
    stride = (RowBytes() + 3) & ~uint64_t(3);
}
