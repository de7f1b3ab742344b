// Shared between the codec files of platform/imageio; not for use outside this folder.
#pragma once

#include "platform/imageio/ImageIO.h"

#include <cmath>

namespace platform::imageio::detail {

// Reading a Source front to back, as the sequential libraries want it.
struct Cursor {
    Source& source;
    uint64_t position = 0;
    size_t Read(void* out, size_t n)
    {
        size_t got = source.ReadAt(position, out, n);
        position += got;
        return got;
    }
};

inline bool Stopped(const DecodeOptions& options)
{
    return options.shouldStop && options.shouldStop();
}

// A size the decoders may allocate for: both sides at least 1 and the product within the limit.
// A picture of more pixels than the limit is noted in the info (overLimitWidth and Height).
inline bool SizeAcceptable(
    uint64_t width, uint64_t height, const DecodeOptions& options, DecodedInfo& info)
{
    if (width < 1 || height < 1)
        return false;
    if (width > 0x7FFFFFFF || height > 0x7FFFFFFF || width * height > options.maxPixels) {
        info.overLimitWidth = width;
        info.overLimitHeight = height;
        return false;
    }
    return true;
}

// True when the source's bytes could describe a picture of that many pixels: a format's best
// compression gives at most pixelsPerByte pixels per byte of data. A small file that claims a
// huge picture is refused before its pixels are allocated.
inline bool DataCanHold(
    const Source& source, uint64_t width, uint64_t height, uint64_t pixelsPerByte)
{
    const uint64_t size = source.Size();
    const uint64_t pixels = width * height;
    return size >= UINT64_MAX / pixelsPerByte || pixels <= size * pixelsPerByte;
}

// Asks for the pixel store; null when refused or when the stride is too small.
inline uint8_t* Allocate(const Allocator& allocate, uint32_t width, uint32_t height, size_t& stride)
{
    stride = 0;
    uint8_t* p = allocate ? allocate(width, height, stride) : nullptr;
    if (p && stride < uint64_t(width) * 4)
        return nullptr;
    return p;
}

// The orientation (tag 0x0112) and resolution of a TIFF-structured EXIF block (starting at
// its byte-order mark). Values it cannot find stay as they were.
void ParseExif(const uint8_t* data, size_t size, int& orientation, double& dpiX, double& dpiY);

Result DecodePNG(Source&, const Allocator&, DecodedInfo&, const DecodeOptions&);
Result DecodeJPEG(Source&, const Allocator&, DecodedInfo&, const DecodeOptions&);
Result DecodeJPEG2000(Source&, const Allocator&, DecodedInfo&, const DecodeOptions&);
Result DecodeTIFF(Source&, const Allocator&, DecodedInfo&, const DecodeOptions&);
Result DecodeGIF(Source&, const Allocator&, DecodedInfo&, const DecodeOptions&);
Result DecodeRaw(Source&, const Allocator&, DecodedInfo&, const DecodeOptions&);

bool EncodePNG(const EncodeInput&, std::vector<uint8_t>&);
bool EncodeJPEG(const EncodeInput&, std::vector<uint8_t>&);
bool EncodeJPEG2000(const EncodeInput&, std::vector<uint8_t>&);
bool EncodeTIFF(const EncodeInput&, std::vector<uint8_t>&);

// A resolution that came through whole pixels per metre (300 dpi is kept as 11811, which is
// 299.9994 dpi) is the whole number of dots per inch it was: the rounding to whole pixels per
// metre moves a resolution by at most 0.0127 dpi.
inline double WholeDpiWhereNear(double dpi)
{
    const double whole = std::round(dpi);
    return whole >= 1 && std::fabs(dpi - whole) <= 0.0128 ? whole : dpi;
}

} // namespace platform::imageio::detail
