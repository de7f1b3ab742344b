// WBMP reader and writer.
#include "lfw/graphics/LWBMPCodec.h"

#include "lfw/gen/LStream.h"
#include "lfw/graphics/LConvertPixelFormat.h"
#include "lfw/graphics/LImageCodec.h"
#include "lfw/graphics/LImageCodecStream.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace {

// The eight B8G8R8 pixels of every byte of a row, most significant bit first.
struct ExpandedBytes {
    uint8_t pixels[256][24];
    constexpr ExpandedBytes()
        : pixels()
    {
        for (int v = 0; v < 256; ++v)
            for (int i = 0; i < 24; ++i)
                pixels[v][i] = (v >> (7 - i / 3)) & 1 ? 255 : 0;
    }
};
constexpr ExpandedBytes kExpanded;

} // namespace

template <class S> LProcessResult LProcessWBMPLoad<S>::ReadMultiByteInteger(uint32_t& value)
{
    uint64_t v = 0; // wide enough for one more group past the limit
    for (;;) {
        uint8_t c;
        if (!LImageStreamReadExact(stream, &c, 1))
            return LProcessResultError;
        v = v << 7 | (c & 0x7F);
        if (v > (uint64_t(1) << 28))
            return LProcessResultError;
        if (!(c & 0x80))
            break;
    }
    value = uint32_t(v);
    return LProcessResultSuccess;
}

template <class S> LProcessResult Process(LProcessInterface& job, LProcessWBMPLoad<S>& r)
{
    job.SetStatusF(0, "Avkodning %s bild", "WBMP");
    r.result = 0;
    uint32_t type, width, height;
    uint8_t fixedHeader;
    if (r.ReadMultiByteInteger(type) != LProcessResultSuccess || type != 0)
        return LProcessResultError;
    if (!LImageStreamReadExact(r.stream, &fixedHeader, 1) || fixedHeader != 0)
        return LProcessResultError;
    if (r.ReadMultiByteInteger(width) != LProcessResultSuccess
        || r.ReadMultiByteInteger(height) != LProcessResultSuccess)
        return LProcessResultError;
    job.SetProgress(0);
    if (job.IsToStop())
        return LProcessResultStopped;
    if (!LImageSizeAcceptable(width, height))
        return LProcessResultError;
    const size_t rowBytes = (size_t(width) + 7) / 8;
    const uint64_t remaining = LImageStreamRemaining(r.stream);
    if (remaining != UINT64_MAX && remaining < uint64_t(rowBytes) * height)
        return LProcessResultError;

    r.buffer.AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8, int(width), int(height)));
    if (!r.buffer.IsValid())
        return LProcessResultError;
    std::unique_ptr<uint8_t[]> line(new (std::nothrow) uint8_t[rowBytes]);
    if (!line)
        return LProcessResultError;
    LImageProgress progress(job);
    for (uint32_t y = 0; y < height; ++y) {
        if (!LImageStreamReadExact(r.stream, line.get(), rowBytes))
            return LProcessResultError;
        uint8_t* p = r.buffer.GetRow(int(y));
        uint32_t x = 0;
        for (; x + 8 <= width; x += 8, p += 24)
            std::memcpy(p, kExpanded.pixels[line[x >> 3]], 24);
        for (; x < width; ++x, p += 3)
            p[0] = p[1] = p[2] = (line[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0;
        if (!progress.Update(double(y + 1) / height))
            return LProcessResultStopped;
    }
    r.result = 2;
    job.SetProgress(1);
    return LProcessResultSuccess;
}

template <class S> LProcessResult LProcessWBMPSave<S>::WriteMultiByteInteger(uint32_t value)
{
    uint8_t bytes[4];
    int n = 0;
    for (int shift = 21; shift > 0; shift -= 7) {
        const uint8_t group = uint8_t((value >> shift) & 0x7F);
        if (group || n)
            bytes[n++] = uint8_t(0x80 | group);
    }
    bytes[n++] = uint8_t(value & 0x7F);
    return stream.Write(bytes, size_t(n)) ? LProcessResultSuccess : LProcessResultError;
}

namespace {

// True when the pixel becomes white. k is the pixel's number over the whole image in row-major
// order; mid-tones take an ordered pattern whose white fraction is the luminance half of the
// time and a random threshold between 0.25 and 0.75 the other half. Only mid-tones draw random
// numbers: the pattern depends on the generator's state anyway, and black and white pages are
// written without a call to it.
bool WhiteAt(const LPFB8G8R8& c, uint64_t k)
{
    const double l = 0.3 * c.r / 255 + 0.59 * c.g / 255 + 0.11 * c.b / 255;
    if (l <= 0.1)
        return false;
    if (l >= 0.9)
        return true;
    const int r1 = std::rand();
    const double white = l < 0.5 ? 1.0 : l / (1 - l);
    const double black = l < 0.5 ? (1 - l) / l : 1.0;
    const int r2 = std::rand();
    if (r2 & 1) {
        const double period = white + black;
        const double kd = double(k);
        return kd - std::floor(kd / period) * period < white;
    }
    return l > (double(r1 % 1000) / 999 - 0.5) * 0.5 + 0.5;
}

} // namespace

template <class S> LProcessResult Process(LProcessInterface& job, LProcessWBMPSave<S>& r)
{
    job.SetStatusF(0, "Kodning %s bild", "WBMP");
    const LImageBuffer& src = r.buffer;
    if (!src.IsValid())
        return LProcessResultError;
    const int width = src.GetWidth(), height = src.GetHeight();
    if (uint64_t(width) >= (uint64_t(1) << 28) || uint64_t(height) >= (uint64_t(1) << 28))
        return LProcessResultError;
    const uint8_t fixed[2] = { 0, 0 }; // type 0, fixed header 0
    if (!r.stream.Write(fixed, 2) || r.WriteMultiByteInteger(uint32_t(width))
        || r.WriteMultiByteInteger(uint32_t(height)))
        return LProcessResultError;

    const size_t rowBytes = (size_t(width) + 7) / 8;
    std::unique_ptr<uint8_t[]> line(new (std::nothrow) uint8_t[rowBytes]);
    std::unique_ptr<LPFB8G8R8[]> row(new (std::nothrow) LPFB8G8R8[size_t(width)]);
    if (!line || !row)
        return LProcessResultError;
    uint64_t k = 0;
    for (int y = 0; y < height; ++y) {
        if (!LConvertPixelRowTo(
                row.get(), src.GetPictureRow(y), src.GetPixelFormat(), (unsigned long)width))
            return LProcessResultError;
        std::memset(line.get(), 0, rowBytes);
        for (int x = 0; x < width; ++x, ++k) {
            // Black and white pixels, the common case, need no luminance.
            const LPFB8G8R8& c = row[size_t(x)];
            if ((c.r | c.g | c.b) == 0)
                continue;
            if ((c.r & c.g & c.b) == 255 || WhiteAt(c, k))
                line[size_t(x) >> 3] |= uint8_t(0x80 >> (x & 7));
        }
        if (!r.stream.Write(line.get(), rowBytes))
            return LProcessResultError;
    }
    return LProcessResultSuccess;
}

template LProcessResult Process(LProcessInterface&, LProcessWBMPLoad<LInputStreamFile>&);
template LProcessResult Process(LProcessInterface&, LProcessWBMPLoad<LInputStreamBuffer>&);
template LProcessResult Process(LProcessInterface&, LProcessWBMPSave<LOutputStreamFile>&);
template LProcessResult Process(LProcessInterface&, LProcessWBMPSave<LOutputStreamByteArray>&);
