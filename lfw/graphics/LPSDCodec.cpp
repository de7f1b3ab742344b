// PSD reader and layered PSD writer.
#include "lfw/graphics/LPSDCodec.h"

#include "lfw/gen/LCharSet.h"
#include "lfw/gen/LStream.h"
#include "lfw/graphics/LImageCodec.h"
#include "lfw/graphics/LImageCodecStream.h"
#include "lfw/graphics/LImageIterator.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr size_t kHeaderSize = 26;

// ---- Reading -----------------------------------------------------------------------------------

// The image data as one stream of bytes: PackBits runs, or one literal run for raw data. Runs
// carry over from one row to the next.
template <class S> class LPSDDecoder {
public:
    LPSDDecoder(LImageByteReader<S>& in, bool packBits)
        : mIn(in)
        , mPackBits(packBits)
    {
    }
    // n bytes into out; false when the data end first.
    bool Read(uint8_t* out, size_t n)
    {
        if (!mPackBits)
            return mIn.Read(out, n) == n;
        while (n) {
            if (mCount) {
                const size_t take = std::min<size_t>(mCount, n);
                if (mRepeat) {
                    std::memset(out, mValue, take);
                } else if (mIn.Read(out, take) != take) {
                    return false;
                }
                out += take;
                n -= take;
                mCount -= unsigned(take);
                continue;
            }
            const int header = mIn.Get();
            if (header < 0)
                return false;
            const int8_t h = int8_t(header);
            if (h == -128)
                continue;
            if (h >= 0) {
                mRepeat = false;
                mCount = unsigned(h) + 1;
            } else {
                const int v = mIn.Get();
                if (v < 0)
                    return false;
                mRepeat = true;
                mCount = unsigned(1 - h);
                mValue = uint8_t(v);
            }
        }
        return true;
    }

private:
    LImageByteReader<S>& mIn;
    bool mPackBits;
    bool mRepeat = false;
    unsigned mCount = 0;
    uint8_t mValue = 0;
};

template <class S> bool ReadBE32(LImageByteReader<S>& in, uint32_t& v)
{
    uint8_t b[4];
    if (in.Read(b, 4) != 4)
        return false;
    v = LImageGetBE32(b);
    return true;
}

// A section's length and the section passed over; false when the length or the section runs
// past the end of the data.
template <class S> bool SkipDataSection(LImageByteReader<S>& in)
{
    uint32_t length;
    if (!ReadBE32(in, length))
        return false;
    const uint64_t remaining = in.Remaining();
    if (remaining != UINT64_MAX && length > remaining)
        return false;
    return in.Skip(length);
}

} // namespace

template <class S> LProcessResult Process(LProcessInterface& job, LProcessPSDLoad<S>& r)
{
    job.SetStatusF(0, "Avkodning %s bild", "PSD");
    r.result = 0;
    uint8_t b[kHeaderSize];
    if (!LImageStreamReadExact(r.stream, b, sizeof b))
        return LProcessResultError;
    LCODEC_PSD_Header h;
    std::memcpy(h.signature, b, 4);
    h.version = LImageGetBE16(b + 4);
    std::memcpy(h.reserved, b + 6, 6);
    h.channels = LImageGetBE16(b + 12);
    h.rows = LImageGetBE32(b + 14);
    h.columns = LImageGetBE32(b + 18);
    h.depth = LImageGetBE16(b + 22);
    h.colourMode = LImageGetBE16(b + 24);
    static const uint8_t kZero[6] = {};
    if (std::memcmp(h.signature, "8BPS", 4) != 0 || h.version != 1
        || std::memcmp(h.reserved, kZero, 6) != 0 || h.channels < 1 || h.channels > 24 || h.rows < 1
        || h.rows > kLPSDMaxSize || h.columns < 1 || h.columns > kLPSDMaxSize
        || (h.depth != 1 && h.depth != 8 && h.depth != 16))
        return LProcessResultError;

    LImageByteReader<S> in(r.stream);
    uint8_t palette[768] = {};
    if (h.colourMode == 2) {
        uint32_t length;
        if (!ReadBE32(in, length) || length != 768 || in.Read(palette, 768) != 768)
            return LProcessResultError;
    } else if (!SkipDataSection(in)) {
        return LProcessResultError;
    }

    // Channels read and whether the last of them is alpha.
    const bool wide = h.depth == 16;
    int channels = 0;
    bool alpha = false;
    switch (h.colourMode) {
    case 1:
        channels = h.channels >= 2 ? 2 : 1;
        break;
    case 2:
        channels = h.depth == 8 && h.channels == 1 ? 1 : 0;
        break;
    case 3:
        channels = h.channels >= 4 ? 4 : h.channels == 3 ? 3 : 0;
        break;
    case 4:
        channels = h.channels >= 5 ? 5 : h.channels == 4 ? 4 : 0;
        break;
    default:
        break;
    }
    if (!channels || (h.depth != 8 && !wide))
        return LProcessResultError;
    alpha = (h.colourMode == 1 && channels == 2) || (h.colourMode == 3 && channels == 4)
        || (h.colourMode == 4 && channels == 5);

    // Image resources, layers and masks.
    if (!SkipDataSection(in) || !SkipDataSection(in))
        return LProcessResultError;
    uint8_t word[2];
    if (in.Read(word, 2) != 2)
        return LProcessResultError;
    const unsigned compression = LImageGetBE16(word);
    if (compression > 1)
        return LProcessResultError;
    const int width = int(h.columns), height = int(h.rows);
    if (!LImageSizeAcceptable(width, height))
        return LProcessResultError;
    const size_t rowBytes = size_t(width) * (wide ? 2 : 1);
    // The data must be able to hold every channel read before memory is taken for them: a run
    // gives at most 128 bytes for 2.
    const uint64_t data = uint64_t(rowBytes) * uint64_t(height) * uint64_t(channels);
    const uint64_t counts = uint64_t(h.channels) * uint64_t(height) * 2;
    const uint64_t needed = compression ? counts + (data + 127) / 128 * 2 : data;
    const uint64_t remaining = in.Remaining();
    if (remaining != UINT64_MAX && remaining < needed)
        return LProcessResultError;

    const size_t pixelSize = alpha ? 4 : 3;
    r.buffer.AllocateNewBuffer(
        LImageFormat(alpha ? LPixelFormatB8G8R8A8 : LPixelFormatB8G8R8, width, height));
    if (!r.buffer.IsValid())
        return LProcessResultError;
    std::unique_ptr<uint8_t[]> line(new (std::nothrow) uint8_t[rowBytes]);
    if (!line)
        return LProcessResultError;
    // The row byte counts are not needed: the runs are read as one stream.
    if (compression && !in.Skip(counts))
        return LProcessResultError;
    LPSDDecoder<S> decoder(in, compression == 1);

    job.SetProgress(0);
    if (job.IsToStop())
        return LProcessResultStopped;
    double progress = 0, reported = 0;
    const double step = 1.0 / (double(height) * channels);
    static const int kRGBOffset[4] = { 2, 1, 0, 3 };
    for (int c = 0; c < channels; ++c) {
        for (int y = 0; y < height; ++y) {
            if (!decoder.Read(line.get(), rowBytes))
                return LProcessResultError;
            // 16-bit samples keep their high byte.
            if (wide)
                for (int x = 0; x < width; ++x)
                    line[size_t(x)] = line[size_t(x) * 2];
            const uint8_t* s = line.get();
            uint8_t* p = r.buffer.GetRow(y);
            switch (h.colourMode) {
            case 1:
                if (c == 0)
                    for (int x = 0; x < width; ++x, p += pixelSize)
                        p[0] = p[1] = p[2] = s[x];
                else
                    for (int x = 0; x < width; ++x, p += pixelSize)
                        p[3] = s[x];
                break;
            case 2:
                for (int x = 0; x < width; ++x, p += pixelSize) {
                    p[0] = palette[512 + s[x]];
                    p[1] = palette[256 + s[x]];
                    p[2] = palette[s[x]];
                }
                break;
            case 3:
                p += kRGBOffset[c];
                for (int x = 0; x < width; ++x, p += pixelSize)
                    *p = s[x];
                break;
            default:
                if (c < 3) {
                    p += 2 - c;
                    for (int x = 0; x < width; ++x, p += pixelSize)
                        *p = s[x];
                } else if (c == 3) {
                    for (int x = 0; x < width; ++x, p += pixelSize) {
                        const uint32_t k = uint32_t(s[x]) * 257;
                        for (int i = 0; i < 3; ++i)
                            p[i] = uint8_t((p[i] * k + 255) >> 16);
                    }
                } else {
                    for (int x = 0; x < width; ++x, p += pixelSize)
                        p[3] = s[x];
                }
                break;
            }
            progress += step;
            if (progress - reported >= 0.01) {
                reported = progress;
                if (job.IsToStop())
                    return LProcessResultStopped;
                job.SetProgress(progress);
            }
        }
    }
    r.result = int32_t(h.depth) * h.channels;
    job.SetProgress(1);
    return LProcessResultSuccess;
}

// ---- Writing -----------------------------------------------------------------------------------

LProcessResult LPSDCompressChannel(LProcessInterface& job, const uint8_t* plane, int width,
    int height, uint8_t* out, uint32_t& size)
{
    if (width <= 4)
        return LProcessResultError;
    const size_t w = size_t(width);
    size_t budget = (w - 2) * size_t(height);
    uint8_t* q = out + size_t(height) * 2;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = plane + size_t(y) * w;
        const uint8_t* rowStart = q;
        for (size_t i = 0; i < w;) {
            if (i + 1 < w && row[i] == row[i + 1]) {
                size_t count = 2;
                while (i + count < w && count < 128 && row[i + count] == row[i])
                    ++count;
                if (budget < 3)
                    return LProcessResultError;
                *q++ = uint8_t(257 - count); // 1 - count as a signed byte
                *q++ = row[i];
                budget -= 2;
                i += count;
                continue;
            }
            size_t j = i;
            while (j < w && j - i < 128
                && !(j + 2 < w && row[j] == row[j + 1] && row[j] == row[j + 2]))
                ++j;
            const size_t count = j - i;
            if (budget <= count)
                return LProcessResultError;
            *q++ = uint8_t(count - 1);
            std::memcpy(q, row + i, count);
            q += count;
            budget -= count + 1;
            i = j;
        }
        LImagePutBE16(out + size_t(y) * 2, uint32_t(q - rowStart));
        job.SetProgress(double(y + 1) / height);
        if (job.IsToStop())
            return LProcessResultStopped;
    }
    if (!budget)
        return LProcessResultError;
    size = uint32_t(q - out);
    job.SetProgress(1);
    return LProcessResultSuccess;
}

LProcessResult LPSDPopulateChannels(LProcessInterface& job, const LImageBuffer& image,
    std::vector<uint8_t>& raw, std::vector<uint8_t>& encoded, uint32_t sizes[4])
{
    if (!image.IsValid())
        return LProcessResultError;
    switch (image.GetPixelFormat()) {
    case LPixelFormatB8G8R8A8:
    case LPixelFormatB8G8R8:
    case LPixelFormatB5G6R5:
    case LPixelFormatB5G5R5A1:
    case LPixelFormatR8G8B8A8:
    case LPixelFormatR8G8B8:
        break;
    default:
        return LProcessResultError;
    }
    const int width = image.GetWidth(), height = image.GetHeight();
    const size_t planeSize = size_t(width) * size_t(height);
    std::unique_ptr<LPixelColour[]> row(new (std::nothrow) LPixelColour[size_t(width)]);
    if (!row)
        return LProcessResultError;
    try {
        raw.resize(planeSize * 4);
        encoded.resize(planeSize * 4);
    } catch (const std::bad_alloc&) {
        return LProcessResultError;
    }
    LImageConstIterator it(image, LImageScanRowsTopDown);
    uint8_t* red = raw.data();
    uint8_t *green = red + planeSize, *blue = green + planeSize, *alpha = blue + planeSize;
    for (int y = 0; y < height; ++y) {
        it.Get(row.get(), width);
        const size_t at = size_t(y) * size_t(width);
        for (int x = 0; x < width; ++x) {
            const LPixelColour& c = row[size_t(x)];
            red[at + size_t(x)] = c.r;
            green[at + size_t(x)] = c.g;
            blue[at + size_t(x)] = c.b;
            alpha[at + size_t(x)] = c.a;
        }
    }
    job.SetProgress(0.2);
    for (int c = 0; c < 4; ++c) {
        LProcessInterfaceSubProcess nested(job, 0.2 * (c + 1), 0.2);
        const uint8_t* plane = raw.data() + planeSize * size_t(c);
        uint8_t* out = encoded.data() + planeSize * size_t(c);
        const LProcessResult result
            = LPSDCompressChannel(nested, plane, width, height, out, sizes[c]);
        if (result == LProcessResultStopped)
            return result;
        if (result != LProcessResultSuccess) {
            std::memcpy(out, plane, planeSize);
            sizes[c] = uint32_t(planeSize);
        }
    }
    job.SetProgress(1);
    return LProcessResultSuccess;
}

namespace {

// The name's UTF-16 units and its UTF-8 byte count (at most 255).
struct LayerName {
    explicit LayerName(const char* name)
    {
        units = LCopyUnicodeFromUTF8(utf16, name, sizeof utf16 / sizeof utf16[0]);
        if (units && utf16[units - 1] == 0)
            --units;
        bytes = std::min<size_t>(std::strlen(name), 255);
        pad = (3 - bytes % 4) % 4;
    }
    unsigned short utf16[260];
    size_t units;
    size_t bytes;
    size_t pad;
};

// Big-endian fields gathered before they are written.
struct Writer {
    std::vector<uint8_t> bytes;
    void U8(uint32_t v) { bytes.push_back(uint8_t(v)); }
    void U16(uint32_t v)
    {
        U8(v >> 8);
        U8(v);
    }
    void U32(uint32_t v)
    {
        U16(v >> 16);
        U16(v);
    }
    void Text(const char* s) { bytes.insert(bytes.end(), s, s + std::strlen(s)); }
    void Raw(const void* p, size_t n)
    {
        auto* b = static_cast<const uint8_t*>(p);
        bytes.insert(bytes.end(), b, b + n);
    }
};

uint64_t LayerInfoLength(const std::vector<LReservedPSDLayer>& layers)
{
    uint64_t length = 2;
    for (const LReservedPSDLayer& layer : layers) {
        const LayerName name(layer.name);
        length += 111 + name.bytes + name.pad + 2 * name.units;
        for (uint32_t s : layer.channelSize)
            length += s;
    }
    return length;
}

} // namespace

template <class S> LProcessResult LLayeredPSDSave<S>::HeaderSave(const LCODEC_PSD_Header& h)
{
    uint8_t b[kHeaderSize];
    std::memcpy(b, h.signature, 4);
    LImagePutBE16(b + 4, h.version);
    std::memcpy(b + 6, h.reserved, 6);
    LImagePutBE16(b + 12, h.channels);
    LImagePutBE32(b + 14, h.rows);
    LImagePutBE32(b + 18, h.columns);
    LImagePutBE16(b + 22, h.depth);
    LImagePutBE16(b + 24, h.colourMode);
    return mStream.Write(b, sizeof b) ? LProcessResultSuccess : LProcessResultError;
}

template <class S> LProcessResult LLayeredPSDSave<S>::WriteHeaderInfo(LProcessInterface& job)
{
    job.SetStatusF(0, "Kodning %s bild", "PSD");
    if (mWidth < 1 || mHeight < 1 || uint32_t(mWidth) > kLPSDMaxSize
        || uint32_t(mHeight) > kLPSDMaxSize)
        return LProcessResultError;
    LCODEC_PSD_Header h;
    h.channels = 4;
    h.rows = uint32_t(mHeight);
    h.columns = uint32_t(mWidth);
    if (HeaderSave(h) != LProcessResultSuccess)
        return LProcessResultError;
    // The layer information is padded to an even length.
    uint64_t info = LayerInfoLength(mLayers);
    info += info & 1;
    if (info + 4 > 0xFFFFFFFF)
        return LProcessResultError;
    Writer w;
    w.U32(0); // colour mode data
    w.U32(0); // image resources
    w.U32(uint32_t(info + 4));
    w.U32(uint32_t(info));
    w.U16(uint32_t(mLayers.size()));
    for (const LReservedPSDLayer& layer : mLayers) {
        const LayerName name(layer.name);
        w.U32(0);
        w.U32(0);
        w.U32(uint32_t(layer.height));
        w.U32(uint32_t(layer.width));
        w.U16(4);
        static const uint16_t kIds[4] = { 0, 1, 2, 0xFFFF };
        for (int c = 0; c < 4; ++c) {
            w.U16(kIds[c]);
            w.U32(layer.channelSize[c] + 2);
        }
        w.Text("8BIMnorm");
        w.U8(255); // opacity
        w.U8(0); // clipping
        w.U8(0); // flags
        w.U8(0); // filler
        w.U32(uint32_t(45 + name.bytes + name.pad + 2 * name.units));
        w.U32(0); // layer mask
        w.U32(0); // blending ranges
        w.U8(uint32_t(name.bytes));
        w.Raw(layer.name, name.bytes);
        for (size_t i = 0; i < name.pad; ++i)
            w.U8(0);
        w.Text("8BIMluni");
        w.U32(uint32_t(4 + 2 * name.units));
        w.U32(uint32_t(name.units));
        for (size_t i = 0; i < name.units; ++i)
            w.U16(name.utf16[i]);
        w.Text("8BIMlclr");
        w.U32(8);
        w.U32(0);
        w.U32(0);
    }
    if (!mStream.Write(w.bytes.data(), w.bytes.size()))
        return LProcessResultError;
    job.SetProgress(1);
    return LProcessResultSuccess;
}

template <class S>
LProcessResult LLayeredPSDSave<S>::Populate(LProcessInterface& job, const LImageBuffer& image)
{
    if (mReuse && mChannels.image == &image) {
        job.SetProgress(1);
        return LProcessResultSuccess;
    }
    mChannels.image = nullptr;
    const LProcessResult result
        = LPSDPopulateChannels(job, image, mChannels.raw, mChannels.encoded, mChannels.sizes);
    if (result == LProcessResultSuccess && mReuse)
        mChannels.image = &image;
    return result;
}

template <class S>
LProcessResult LLayeredPSDSave<S>::ReserveLayer(
    LProcessInterface& job, const LImageBuffer& image, const char* name)
{
    job.SetProgress(0);
    if (mHeaderWritten || !image.IsValid() || uint32_t(image.GetWidth()) > kLPSDMaxSize
        || uint32_t(image.GetHeight()) > kLPSDMaxSize)
        return LProcessResultError;
    LReservedPSDLayer layer;
    LProcessResult result;
    {
        LProcessInterfaceSubProcess nested(job, 0, 0.9);
        result = Populate(nested, image);
    }
    if (result != LProcessResultSuccess)
        return result;
    if (job.IsToStop())
        return LProcessResultStopped;
    std::copy(mChannels.sizes, mChannels.sizes + 4, layer.channelSize);
    layer.width = image.GetWidth();
    layer.height = image.GetHeight();
    // The record's name holds at most 255 bytes.
    char given[256];
    if (name)
        utf8strlcpy(given, name, sizeof given);
    else
        std::snprintf(given, sizeof given, "Lager %d", int(mLayers.size()));
    // Through UTF-16 and back, so that the record holds the name as its UTF-16 form gives it.
    unsigned short units[256];
    LCopyUnicodeFromUTF8(units, given, 256);
    LCopyUTF8FromUnicode(layer.name, units, sizeof given);
    try {
        mLayers.push_back(layer);
    } catch (const std::bad_alloc&) {
        return LProcessResultError;
    }
    job.SetProgress(1);
    return LProcessResultSuccess;
}

template <class S>
LProcessResult LLayeredPSDSave<S>::WriteLayer(LProcessInterface& job, const LImageBuffer& image)
{
    if (size_t(mLayersWritten) >= mLayers.size() || !image.IsValid())
        return LProcessResultError;
    if (!mHeaderWritten) {
        LProcessInterfaceSubProcess nested(job, 0, 0.1);
        if (WriteHeaderInfo(nested) != LProcessResultSuccess)
            return LProcessResultError;
        if (job.IsToStop())
            return LProcessResultStopped;
        mHeaderWritten = true;
    }
    const LReservedPSDLayer& layer = mLayers[size_t(mLayersWritten)];
    LProcessResult result;
    {
        LProcessInterfaceSubProcess nested(job, 0.1, 0.7);
        result = Populate(nested, image);
    }
    const uint32_t* sizes = mChannels.sizes;
    const std::vector<uint8_t>& encoded = mChannels.encoded;
    if (result != LProcessResultSuccess)
        return result;
    if (job.IsToStop())
        return LProcessResultStopped;
    if (image.GetWidth() != layer.width || image.GetHeight() != layer.height
        || !std::equal(sizes, sizes + 4, layer.channelSize))
        return LProcessResultError;
    const size_t planeSize = size_t(layer.width) * size_t(layer.height);
    for (int c = 0; c < 4; ++c) {
        uint8_t word[2];
        LImagePutBE16(word, sizes[c] < planeSize ? 1 : 0);
        if (!mStream.Write(word, 2)
            || !mStream.Write(encoded.data() + planeSize * size_t(c), sizes[c]))
            return LProcessResultError;
    }
    ++mLayersWritten;
    // The padding byte that makes the layer information's length even.
    if (size_t(mLayersWritten) == mLayers.size() && (LayerInfoLength(mLayers) & 1)) {
        const uint8_t zero = 0;
        if (!mStream.Write(&zero, 1))
            return LProcessResultError;
    }
    job.SetProgress(1);
    return LProcessResultSuccess;
}

template <class S>
LProcessResult LLayeredPSDSave<S>::WriteFinalRender(
    LProcessInterface& job, const LImageBuffer& image)
{
    if (mFinalRenderWritten || size_t(mLayersWritten) != mLayers.size() || !image.IsValid()
        || image.GetWidth() != mWidth || image.GetHeight() != mHeight)
        return LProcessResultError;
    if (!mHeaderWritten) {
        if (WriteHeaderInfo(job) != LProcessResultSuccess)
            return LProcessResultError;
        mHeaderWritten = true;
    }
    LProcessResult result;
    {
        LProcessInterfaceSubProcess nested(job, 0, 0.4);
        result = Populate(nested, image);
    }
    // The coded planes are overwritten below.
    mChannels.image = nullptr;
    const std::vector<uint8_t>& raw = mChannels.raw;
    std::vector<uint8_t>& encoded = mChannels.encoded;
    if (result != LProcessResultSuccess)
        return result;
    if (job.IsToStop())
        return LProcessResultStopped;
    // The four planes coded as one plane four times as high.
    uint32_t size = 0;
    {
        LProcessInterfaceSubProcess nested(job, 0.4, 0.4);
        result = LPSDCompressChannel(nested, raw.data(), mWidth, mHeight * 4, encoded.data(), size);
    }
    if (result == LProcessResultStopped)
        return result;
    const bool coded = result == LProcessResultSuccess;
    uint8_t word[2];
    LImagePutBE16(word, coded ? 1 : 0);
    if (!mStream.Write(word, 2)
        || !mStream.Write(coded ? encoded.data() : raw.data(), coded ? size : raw.size()))
        return LProcessResultError;
    mFinalRenderWritten = true;
    job.SetProgress(1);
    return LProcessResultSuccess;
}

template <class S> LProcessResult Process(LProcessInterface& job, LProcessPSDSave<S>& r)
{
    job.SetProgress(0);
    const LImageBuffer& image = r.buffer;
    if (!image.IsValid())
        return LProcessResultError;
    LLayeredPSDSave<S> save(r.stream);
    save.SetDocumentSize(image.GetWidth(), image.GetHeight());
    save.ReuseChannelsOfSameImage(true);
    job.SetProgress(0.1);
    if (job.IsToStop())
        return LProcessResultStopped;
    LProcessResult result;
    {
        LProcessInterfaceSubProcess nested(job, 0.1, 0.3);
        result = save.ReserveLayer(nested, image, nullptr);
    }
    if (result != LProcessResultSuccess)
        return result;
    if (job.IsToStop())
        return LProcessResultStopped;
    {
        LProcessInterfaceSubProcess nested(job, 0.4, 0.3);
        result = save.WriteLayer(nested, image);
    }
    if (result != LProcessResultSuccess)
        return result;
    if (job.IsToStop())
        return LProcessResultStopped;
    {
        LProcessInterfaceSubProcess nested(job, 0.7, 0.3);
        result = save.WriteFinalRender(nested, image);
    }
    if (result != LProcessResultSuccess)
        return result;
    return job.IsToStop() ? LProcessResultStopped : LProcessResultSuccess;
}

template LProcessResult Process(LProcessInterface&, LProcessPSDLoad<LInputStreamFile>&);
template LProcessResult Process(LProcessInterface&, LProcessPSDLoad<LInputStreamBuffer>&);
template LProcessResult Process(LProcessInterface&, LProcessPSDSave<LOutputStreamFile>&);
template LProcessResult Process(LProcessInterface&, LProcessPSDSave<LOutputStreamByteArray>&);
template class LLayeredPSDSave<LOutputStreamFile>;
template class LLayeredPSDSave<LOutputStreamByteArray>;
