// Sun raster reader and writer.
#include "lfw/graphics/LRASCodec.h"

#include "lfw/gen/LStream.h"
#include "lfw/graphics/LConvertPixelFormat.h"
#include "lfw/graphics/LImageCodec.h"
#include "lfw/graphics/LImageCodecStream.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr size_t kHeaderSize = 32;
constexpr uint32_t kMaxMapLength = 768; // 256 entries of red, green and blue

} // namespace

// ---- Reading -----------------------------------------------------------------------------------

template <class S> LProcessResult LProcessRASLoad<S>::HeaderLoad(LCODEC_RAS_Header& h)
{
    uint8_t b[kHeaderSize];
    if (!LImageStreamReadExact(stream, b, sizeof b))
        return LProcessResultError;
    uint32_t* fields[]
        = { &h.magic, &h.width, &h.height, &h.depth, &h.length, &h.type, &h.mapType, &h.mapLength };
    for (size_t i = 0; i < 8; ++i)
        *fields[i] = LImageGetBE32(b + i * 4);
    return LProcessResultSuccess;
}

template <class S>
bool LProcessRASLoad<S>::ReadScanLineData(
    LImageByteReader<S>& in, uint32_t type, uint8_t* line, size_t length)
{
    switch (type) {
    case 0:
    case 1:
    case 3:
        return in.Read(line, length) == length;
    case 2:
        return ReadLineRLEData(in, line, length);
    default:
        return false;
    }
}

template <class S>
bool LProcessRASLoad<S>::ReadLineRLEData(LImageByteReader<S>& in, uint8_t* line, size_t length)
{
    for (;;) {
        if (runCount) {
            const size_t take = std::min<size_t>(runCount, length);
            std::memset(line, runValue, take);
            line += take;
            length -= take;
            runCount -= uint32_t(take);
        }
        if (!length)
            return true;
        const int c = in.Get();
        if (c < 0)
            return false;
        if (c != 0x80) {
            *line++ = uint8_t(c);
            --length;
            continue;
        }
        const int n = in.Get();
        if (n < 0)
            return false;
        if (n == 0) {
            *line++ = 0x80;
            --length;
            continue;
        }
        const int v = in.Get();
        if (v < 0)
            return false;
        runCount = uint32_t(n) + 1;
        runValue = uint8_t(v);
    }
}

template <class S> LProcessResult Process(LProcessInterface& job, LProcessRASLoad<S>& r)
{
    job.SetStatusF(0, "Avkodning %s bild", "RAS");
    r.result = 0;
    r.runCount = 0;
    LCODEC_RAS_Header h;
    if (r.HeaderLoad(h) != LProcessResultSuccess)
        return LProcessResultError;
    if (h.magic != LCODEC_RAS_Header::kMagic || h.type > 3)
        return LProcessResultError;
    // Lines of other depths would not be converted, and colour maps serve 1 and 8 bits only.
    if (h.depth == 24 || h.depth == 32) {
        if (h.mapType != 0)
            return LProcessResultError;
    } else if (h.depth == 1 || h.depth == 8) {
        if (h.mapType > 1)
            return LProcessResultError;
    } else {
        return LProcessResultError;
    }
    if (h.mapLength > kMaxMapLength || !LImageSizeAcceptable(h.width, h.height))
        return LProcessResultError;

    LImageByteReader<S> in(r.stream);
    uint8_t map[kMaxMapLength];
    if (in.Read(map, h.mapLength) != h.mapLength)
        return LProcessResultError;
    const bool mapped = h.mapType == 1;
    const uint32_t entries = h.mapLength / 3;

    const int width = int(h.width), height = int(h.height);
    const size_t lineBytes = size_t((uint64_t(h.width) * h.depth + 15) / 16 * 2);
    // The data must be able to hold every line before memory is taken for the pixels: a run
    // gives at most 256 bytes for 3.
    const uint64_t total = uint64_t(lineBytes) * h.height;
    const uint64_t needed = h.type == 2 ? (total + 255) / 256 * 3 : total;
    const uint64_t remaining = in.Remaining();
    if (remaining != UINT64_MAX && remaining < needed)
        return LProcessResultError;

    const bool alpha = h.depth == 32;
    r.buffer.AllocateNewBuffer(
        LImageFormat(alpha ? LPixelFormatB8G8R8A8 : LPixelFormatB8G8R8, width, height));
    if (!r.buffer.IsValid())
        return LProcessResultError;
    std::unique_ptr<uint8_t[]> line(new (std::nothrow) uint8_t[lineBytes]);
    if (!line)
        return LProcessResultError;
    job.SetProgress(0);
    if (job.IsToStop())
        return LProcessResultStopped;

    // Red, green and blue of a colour-map entry; false for an index the map does not hold.
    auto put = [&](uint8_t* p, uint32_t index) {
        if (index >= entries)
            return false;
        p[0] = map[2 * entries + index];
        p[1] = map[entries + index];
        p[2] = map[index];
        return true;
    };
    const bool rgbOrder = h.type == 3;
    LImageProgress progress(job);
    for (int y = 0; y < height; ++y) {
        if (!r.ReadScanLineData(in, h.type, line.get(), lineBytes))
            return LProcessResultError;
        uint8_t* p = r.buffer.GetRow(y);
        const uint8_t* l = line.get();
        switch (h.depth) {
        case 1:
            for (int x = 0; x < width; ++x, p += 3) {
                const uint32_t bit = (l[x >> 3] >> (7 - (x & 7))) & 1;
                if (!mapped)
                    p[0] = p[1] = p[2] = bit ? 0 : 255;
                else if (!put(p, bit))
                    return LProcessResultError;
            }
            break;
        case 8:
            for (int x = 0; x < width; ++x, p += 3) {
                if (!mapped)
                    p[0] = p[1] = p[2] = l[x];
                else if (!put(p, l[x]))
                    return LProcessResultError;
            }
            break;
        case 24:
            std::memcpy(p, l, size_t(width) * 3);
            if (rgbOrder)
                LPixelRows::SwapRedBlue24(p, p, size_t(width));
            break;
        default:
            // Alpha (or padding) first, then blue, green and red, or red, green and blue.
            for (int x = 0; x < width; ++x, p += 4, l += 4) {
                p[0] = rgbOrder ? l[3] : l[1];
                p[1] = l[2];
                p[2] = rgbOrder ? l[1] : l[3];
                p[3] = l[0];
            }
            break;
        }
        if (!progress.Update(double(y + 1) / height))
            return LProcessResultStopped;
    }
    r.result = 24;
    job.SetProgress(1);
    return LProcessResultSuccess;
}

// ---- Writing -----------------------------------------------------------------------------------

template <class S> LProcessResult LProcessRASSave<S>::HeaderSave(const LCODEC_RAS_Header& h)
{
    uint8_t b[kHeaderSize];
    const uint32_t fields[]
        = { h.magic, h.width, h.height, h.depth, h.length, h.type, h.mapType, h.mapLength };
    for (size_t i = 0; i < 8; ++i)
        LImagePutBE32(b + i * 4, fields[i]);
    return stream.Write(b, sizeof b) ? LProcessResultSuccess : LProcessResultError;
}

template <class S> LProcessResult Process(LProcessInterface& job, LProcessRASSave<S>& r)
{
    job.SetStatusF(0, "Kodning %s bild", "RAS");
    const LImageBuffer& src = r.buffer;
    if (!src.IsValid())
        return LProcessResultError;
    const int width = src.GetWidth(), height = src.GetHeight();
    LCODEC_RAS_Header h;
    h.width = uint32_t(width);
    h.height = uint32_t(height);
    if (r.HeaderSave(h) != LProcessResultSuccess)
        return LProcessResultError;
    const size_t rowBytes = size_t(width) * 3;
    const size_t padded = rowBytes + (rowBytes & 1);
    std::unique_ptr<uint8_t[]> line(new (std::nothrow) uint8_t[padded]);
    if (!line)
        return LProcessResultError;
    line[padded - 1] = 0;
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = src.GetPictureRow(y);
        const uint8_t* out = row;
        if (src.GetPixelFormat() != LPixelFormatB8G8R8 || padded != rowBytes) {
            if (!LConvertPixelRowTo(reinterpret_cast<LPFB8G8R8*>(line.get()), row,
                    src.GetPixelFormat(), (unsigned long)width))
                return LProcessResultError;
            out = line.get();
        }
        if (!r.stream.Write(out, padded))
            return LProcessResultError;
    }
    return LProcessResultSuccess;
}

template LProcessResult Process(LProcessInterface&, LProcessRASLoad<LInputStreamFile>&);
template LProcessResult Process(LProcessInterface&, LProcessRASLoad<LInputStreamBuffer>&);
template LProcessResult Process(LProcessInterface&, LProcessRASSave<LOutputStreamFile>&);
template LProcessResult Process(LProcessInterface&, LProcessRASSave<LOutputStreamByteArray>&);
