// PCX reader and writer.
#include "lfw/graphics/LPCXCodec.h"

#include "lfw/gen/LStream.h"
#include "lfw/graphics/LImageCodec.h"
#include "lfw/graphics/LImageCodecStream.h"
#include "lfw/graphics/LImageIterator.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr size_t kHeaderSize = 128;

// The bytes of the planes as the file stores them, runs carrying over from one plane line or
// row to the next.
template <class S> class PCXRunReader {
public:
    PCXRunReader(LImageByteReader<S>& in, bool encoded)
        : mIn(in)
        , mEncoded(encoded)
    {
    }
    // n bytes into out; false when the data end first.
    bool Read(uint8_t* out, size_t n)
    {
        if (!mEncoded)
            return mIn.Read(out, n) == n;
        while (n) {
            if (mPending) {
                const size_t take = std::min<size_t>(mPending, n);
                std::memset(out, mValue, take);
                out += take;
                n -= take;
                mPending -= unsigned(take);
                continue;
            }
            const int c = mIn.Get();
            if (c < 0)
                return false;
            if (c < 0xC0) {
                *out++ = uint8_t(c);
                --n;
                continue;
            }
            const int v = mIn.Get();
            if (v < 0)
                return false;
            mPending = unsigned(c & 0x3F); // a count of 0 stands for nothing
            mValue = uint8_t(v);
        }
        return true;
    }
    bool RunPending() const { return mPending != 0; }

private:
    LImageByteReader<S>& mIn;
    bool mEncoded;
    unsigned mPending = 0;
    uint8_t mValue = 0;
};

void DecodeHeader(const uint8_t* p, LCODEC_PCX_Header& h)
{
    h.manufacturer = p[0];
    h.version = p[1];
    h.encoding = p[2];
    h.bitsPerPixel = p[3];
    h.xMin = LImageGetLE16(p + 4);
    h.yMin = LImageGetLE16(p + 6);
    h.xMax = LImageGetLE16(p + 8);
    h.yMax = LImageGetLE16(p + 10);
    h.hDpi = LImageGetLE16(p + 12);
    h.vDpi = LImageGetLE16(p + 14);
    std::memcpy(h.colourMap, p + 16, sizeof h.colourMap);
    h.reserved = p[64];
    h.planes = p[65];
    h.bytesPerLine = LImageGetLE16(p + 66);
    h.paletteInfo = LImageGetLE16(p + 68);
    std::memcpy(h.filler, p + 70, sizeof h.filler);
}

void EncodeHeader(const LCODEC_PCX_Header& h, uint8_t* p)
{
    p[0] = h.manufacturer;
    p[1] = h.version;
    p[2] = h.encoding;
    p[3] = h.bitsPerPixel;
    LImagePutLE16(p + 4, h.xMin);
    LImagePutLE16(p + 6, h.yMin);
    LImagePutLE16(p + 8, h.xMax);
    LImagePutLE16(p + 10, h.yMax);
    LImagePutLE16(p + 12, h.hDpi);
    LImagePutLE16(p + 14, h.vDpi);
    std::memcpy(p + 16, h.colourMap, sizeof h.colourMap);
    p[64] = h.reserved;
    p[65] = h.planes;
    LImagePutLE16(p + 66, h.bytesPerLine);
    LImagePutLE16(p + 68, h.paletteInfo);
    std::memcpy(p + 70, h.filler, sizeof h.filler);
}

} // namespace

// ---- Reading -----------------------------------------------------------------------------------

template <class S> LProcessResult LProcessPCXLoad<S>::HeaderLoad(LCODEC_PCX_Header& header)
{
    uint8_t bytes[kHeaderSize];
    if (!LImageStreamReadExact(stream, bytes, sizeof bytes))
        return LProcessResultError;
    DecodeHeader(bytes, header);
    return LProcessResultSuccess;
}

template <class S> LProcessResult Process(LProcessInterface& job, LProcessPCXLoad<S>& r)
{
    job.SetStatusF(0, "Avkodning %s bild", "PCX");
    r.result = 0;
    LCODEC_PCX_Header h;
    if (r.HeaderLoad(h) != LProcessResultSuccess)
        return LProcessResultError;
    if (h.version == 1 || h.version > 5)
        return LProcessResultError;
    const bool mono = h.bitsPerPixel == 1;
    if (!mono && h.bitsPerPixel != 8)
        return LProcessResultError;
    if (mono ? h.planes != 1 : h.planes != 1 && h.planes != 3)
        return LProcessResultError;
    if (h.xMax < h.xMin || h.yMax < h.yMin)
        return LProcessResultError;
    const int width = h.xMax - h.xMin + 1, height = h.yMax - h.yMin + 1;
    const size_t bpl = h.bytesPerLine;
    if ((mono ? (size_t(width) + 7) / 8 : size_t(width)) > bpl)
        return LProcessResultError;
    if (!LImageSizeAcceptable(width, height))
        return LProcessResultError;

    // The data must be able to hold every plane line before memory is taken for the pixels: a
    // run of 63 bytes takes two bytes of the file.
    LImageByteReader<S> in(r.stream);
    const bool encoded = h.encoding != 0;
    const bool paletted = !mono && h.planes == 1;
    const uint64_t lineBytes = uint64_t(bpl) * h.planes;
    const uint64_t total = lineBytes * uint64_t(height);
    const uint64_t needed = (encoded ? (total + 62) / 63 * 2 : total) + (paletted ? 1 : 0);
    const uint64_t remaining = in.Remaining();
    if (remaining != UINT64_MAX && remaining < needed)
        return LProcessResultError;

    LImageFormat format(LPixelFormatB8G8R8, width, height);
    format.horizontalResolution = int32_t(h.hDpi / 0.0254);
    format.verticalResolution = int32_t(h.vDpi / 0.0254);
    r.buffer.AllocateNewBuffer(format);
    if (!r.buffer.IsValid())
        return LProcessResultError;
    std::unique_ptr<uint8_t[]> line(new (std::nothrow) uint8_t[lineBytes]);
    if (!line)
        return LProcessResultError;

    job.SetProgress(0);
    if (job.IsToStop())
        return LProcessResultStopped;
    LImageProgress progress(job);
    PCXRunReader<S> runs(in, encoded);
    for (int y = 0; y < height; ++y) {
        if (!runs.Read(line.get(), lineBytes))
            return LProcessResultError;
        uint8_t* p = r.buffer.GetRow(y);
        const uint8_t* l = line.get();
        if (mono) {
            for (int x = 0; x < width; ++x, p += 3)
                p[0] = p[1] = p[2] = (l[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0;
        } else if (paletted) {
            for (int x = 0; x < width; ++x, p += 3)
                p[2] = l[x]; // the index, until the palette is known
        } else {
            const uint8_t *red = l, *green = l + bpl, *blue = l + 2 * bpl;
            for (int x = 0; x < width; ++x, p += 3) {
                p[0] = blue[x];
                p[1] = green[x];
                p[2] = red[x];
            }
        }
        if (!progress.Update(double(y + 1) / height))
            return LProcessResultStopped;
    }
    if (runs.RunPending())
        return LProcessResultError;

    if (paletted) {
        if (in.Get() != 0x0C)
            return LProcessResultError;
        // Entries the file does not hold are black.
        uint8_t palette[768] = {};
        in.Read(palette, sizeof palette);
        for (int y = 0; y < height; ++y) {
            uint8_t* p = r.buffer.GetRow(y);
            for (int x = 0; x < width; ++x, p += 3) {
                const uint8_t* entry = palette + size_t(p[2]) * 3;
                p[0] = entry[2];
                p[1] = entry[1];
                p[2] = entry[0];
            }
        }
    }
    r.result = h.bitsPerPixel * h.planes;
    job.SetProgress(1);
    return LProcessResultSuccess;
}

// ---- Writing -----------------------------------------------------------------------------------

bool LPCXRLEEncoder::Init(size_t capacity)
{
    try {
        mBuffer.assign(capacity, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    mFilled = mCount = 0;
    mRunLength = 0;
    return true;
}

void LPCXRLEEncoder::EncodeRun()
{
    if (!mRunLength)
        return;
    if (mRunLength == 1 && mRunValue < 0xC0) {
        mBuffer[mFilled++] = mRunValue;
    } else {
        mBuffer[mFilled++] = uint8_t(0xC0 | mRunLength);
        mBuffer[mFilled++] = mRunValue;
    }
    mRunLength = 0;
}

template <class S> LProcessResult LPCXRLEEncoder::WriteRow(S& stream)
{
    EncodeRun();
    if (mCount & 1)
        mBuffer[mFilled++] = 0;
    const bool written = stream.Write(mBuffer.data(), mFilled);
    mFilled = mCount = 0;
    return written ? LProcessResultSuccess : LProcessResultError;
}

template <class S> LProcessResult LProcessPCXSave<S>::HeaderSave(const LCODEC_PCX_Header& header)
{
    uint8_t bytes[kHeaderSize];
    EncodeHeader(header, bytes);
    return stream.Write(bytes, sizeof bytes) ? LProcessResultSuccess : LProcessResultError;
}

template <class S> LProcessResult Process(LProcessInterface& job, LProcessPCXSave<S>& r)
{
    job.SetStatusF(0, "Kodning %s bild", "PCX");
    const LImageBuffer& src = r.buffer;
    if (!src.IsValid())
        return LProcessResultError;
    const int width = src.GetWidth(), height = src.GetHeight();
    // The header holds the last column and row in 16 bits and the even line length too.
    if (width >= 65535 || height > 65536)
        return LProcessResultError;
    LCODEC_PCX_Header h;
    h.xMax = uint16_t(width - 1);
    h.yMax = uint16_t(height - 1);
    auto dpi = [](int32_t perMetre) {
        return uint16_t(std::clamp(double(perMetre) * 0.0254, 0.0, 65535.0));
    };
    h.hDpi = dpi(src.GetFormat().horizontalResolution);
    h.vDpi = dpi(src.GetFormat().verticalResolution);
    h.bytesPerLine = uint16_t((width + 1) & ~1);
    if (r.HeaderSave(h) != LProcessResultSuccess)
        return LProcessResultError;

    LPCXRLEEncoder planes[3];
    for (LPCXRLEEncoder& e : planes)
        if (!e.Init(size_t(h.bytesPerLine) * 2 + 1))
            return LProcessResultError;
    std::unique_ptr<LPixelColour[]> row(new (std::nothrow) LPixelColour[size_t(width)]);
    if (!row)
        return LProcessResultError;
    LImageConstIterator it(src, LImageScanRowsTopDown);
    for (int y = 0; y < height; ++y) {
        it.Get(row.get(), width);
        for (int x = 0; x < width; ++x)
            planes[0].AppendValue(row[size_t(x)].r);
        for (int x = 0; x < width; ++x)
            planes[1].AppendValue(row[size_t(x)].g);
        for (int x = 0; x < width; ++x)
            planes[2].AppendValue(row[size_t(x)].b);
        for (LPCXRLEEncoder& e : planes)
            if (e.WriteRow(r.stream) != LProcessResultSuccess)
                return LProcessResultError;
        job.SetProgress(double(y + 1) / height);
        if (job.IsToStop())
            return LProcessResultStopped;
    }
    return LProcessResultSuccess;
}

template LProcessResult Process(LProcessInterface&, LProcessPCXLoad<LInputStreamFile>&);
template LProcessResult Process(LProcessInterface&, LProcessPCXLoad<LInputStreamBuffer>&);
template LProcessResult Process(LProcessInterface&, LProcessPCXSave<LOutputStreamFile>&);
template LProcessResult Process(LProcessInterface&, LProcessPCXSave<LOutputStreamByteArray>&);
