// TGA reader and writer.
#include "lfw/graphics/LTGACodec.h"

#include "lfw/gen/LStream.h"
#include "lfw/graphics/LImageCodec.h"
#include "lfw/graphics/LImageCodecStream.h"
#include "lfw/graphics/LImageIterator.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr size_t kHeaderSize = 18;
constexpr uint32_t kMaxPaletteEntries = 256;

int BytesOfKind(int kind)
{
    switch (kind) {
    case LTGAPixelIndex:
    case LTGAPixelGrey:
        return 1;
    case LTGAPixelGreyAlpha:
    case LTGAPixel16:
        return 2;
    case LTGAPixel24:
        return 3;
    default:
        return 4;
    }
}

// A 5-bit channel widened to 8 bits.
inline uint8_t Widen5(unsigned c)
{
    return uint8_t(c * 8 + c / 4);
}

} // namespace

// ---- Reading -----------------------------------------------------------------------------------

template <class S> LProcessResult LProcessTGALoad<S>::HeaderLoad(LCODEC_TGA_Header& h)
{
    uint8_t b[kHeaderSize];
    if (!LImageStreamReadExact(stream, b, sizeof b))
        return LProcessResultError;
    h.idLength = b[0];
    h.colourMapType = b[1];
    h.imageType = b[2];
    h.colourMapFirst = LImageGetLE16(b + 3);
    h.colourMapLength = LImageGetLE16(b + 5);
    h.colourMapEntrySize = b[7];
    h.xOrigin = LImageGetLE16(b + 8);
    h.yOrigin = LImageGetLE16(b + 10);
    h.width = LImageGetLE16(b + 12);
    h.height = LImageGetLE16(b + 14);
    h.depth = b[16];
    h.descriptor = b[17];
    return LProcessResultSuccess;
}

template <class S>
LProcessResult LProcessTGALoad<S>::ReadPixel(
    int kind, const uint8_t* p, const LPixelColour* palette, uint32_t count, LPixelColour& out)
{
    switch (kind) {
    case LTGAPixelIndex:
        if (p[0] >= count)
            return LProcessResultError;
        out = palette[p[0]];
        return LProcessResultSuccess;
    case LTGAPixelGrey:
        out = LPixelColour(p[0], p[0], p[0], 255);
        return LProcessResultSuccess;
    case LTGAPixelGreyAlpha:
        out = LPixelColour(p[0], p[0], p[0], p[1]);
        return LProcessResultSuccess;
    case LTGAPixel16: {
        const unsigned v = LImageGetLE16(p);
        out = LPixelColour(Widen5(v & 31), Widen5((v >> 5) & 31), Widen5((v >> 10) & 31), 255);
        return LProcessResultSuccess;
    }
    case LTGAPixel24:
        out = LPixelColour(p[0], p[1], p[2], 255);
        return LProcessResultSuccess;
    case LTGAPixel32:
        out = LPixelColour(p[0], p[1], p[2], p[3]);
        return LProcessResultSuccess;
    default:
        return LProcessResultError;
    }
}

template <class S> LProcessResult Process(LProcessInterface& job, LProcessTGALoad<S>& r)
{
    job.SetStatusF(0, "Avkodning %s bild", "TGA");
    r.result = 0;
    LCODEC_TGA_Header h;
    if (r.HeaderLoad(h) != LProcessResultSuccess)
        return LProcessResultError;
    if (h.imageType > 15 || h.width == 0 || h.height == 0)
        return LProcessResultError;
    const int storage = h.imageType & 7;
    const int alphaBits = h.descriptor & 15;
    bool alpha = false;
    int kind;
    switch (storage) {
    case 3:
        if (h.depth != 8 && h.depth != 16)
            return LProcessResultError;
        alpha = h.depth == 16;
        kind = alpha ? LTGAPixelGreyAlpha : LTGAPixelGrey;
        break;
    case 1:
        if (h.colourMapType != 1 || h.colourMapLength == 0 || h.depth != 8)
            return LProcessResultError;
        alpha = h.colourMapEntrySize == 32;
        kind = LTGAPixelIndex;
        break;
    case 2:
        if (h.depth == 32) {
            if (alphaBits != 0 && alphaBits != 8)
                return LProcessResultError;
            alpha = alphaBits == 8;
            kind = LTGAPixel32;
        } else if (h.depth == 15 || h.depth == 16) {
            kind = LTGAPixel16;
        } else if (h.depth == 24) {
            kind = LTGAPixel24;
        } else {
            return LProcessResultError;
        }
        break;
    default:
        return LProcessResultError;
    }

    LImageByteReader<S> in(r.stream);
    if (!in.Skip(h.idLength))
        return LProcessResultError;

    // The colour map. The palette holds every entry the file stores; a pixel's index counts
    // from the map's first entry index.
    if (h.colourMapType > 1 || (h.colourMapType == 0 && h.colourMapLength != 0))
        return LProcessResultError;
    LPixelColour palette[kMaxPaletteEntries];
    uint32_t paletteCount = 0;
    if (h.colourMapLength && storage != 1) {
        if (!in.Skip(uint64_t(h.colourMapLength) * ((h.colourMapEntrySize + 7) / 8)))
            return LProcessResultError;
    } else if (h.colourMapLength) {
        int entryKind;
        switch (h.colourMapEntrySize) {
        case 15:
        case 16:
            entryKind = LTGAPixel16;
            break;
        case 24:
            entryKind = LTGAPixel24;
            break;
        case 32:
            entryKind = LTGAPixel32;
            break;
        default:
            return LProcessResultError;
        }
        if (h.colourMapLength > kMaxPaletteEntries)
            return LProcessResultError;
        const size_t entryBytes = size_t(BytesOfKind(entryKind));
        uint8_t map[kMaxPaletteEntries * 4];
        if (in.Read(map, entryBytes * h.colourMapLength) != entryBytes * h.colourMapLength)
            return LProcessResultError;
        for (uint32_t i = 0; i < h.colourMapLength; ++i)
            LProcessTGALoad<S>::ReadPixel(entryKind, map + i * entryBytes, nullptr, 0, palette[i]);
        paletteCount = h.colourMapLength;
    }

    const int width = h.width, height = h.height;
    if (!LImageSizeAcceptable(width, height))
        return LProcessResultError;
    const bool encoded = h.imageType & 8;
    const size_t bpp = size_t(BytesOfKind(kind));
    // The data must be able to hold every pixel before memory is taken for them: a packet
    // gives at most 128 pixels.
    const uint64_t pixels = uint64_t(width) * uint64_t(height);
    const uint64_t needed = encoded ? (pixels + 127) / 128 * (1 + bpp) : pixels * bpp;
    const uint64_t remaining = in.Remaining();
    if (remaining != UINT64_MAX && remaining < needed)
        return LProcessResultError;

    r.buffer.AllocateNewBuffer(
        LImageFormat(alpha ? LPixelFormatB8G8R8A8 : LPixelFormatB8G8R8, width, height));
    if (!r.buffer.IsValid())
        return LProcessResultError;
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[size_t(width) * bpp]);
    std::unique_ptr<LPixelColour[]> row(new (std::nothrow) LPixelColour[size_t(width)]);
    if (!bytes || !row)
        return LProcessResultError;
    job.SetProgress(0);
    if (job.IsToStop())
        return LProcessResultStopped;

    // An index counts from the first entry; the palette is handed over from there.
    const uint16_t first = h.colourMapFirst;
    auto decode = [&](const uint8_t* p, LPixelColour& out) {
        if (kind == LTGAPixelIndex) {
            if (p[0] < first)
                return false;
            const uint8_t index = uint8_t(p[0] - first);
            return LProcessTGALoad<S>::ReadPixel(kind, &index, palette, paletteCount, out)
                == LProcessResultSuccess;
        }
        return LProcessTGALoad<S>::ReadPixel(kind, p, palette, paletteCount, out)
            == LProcessResultSuccess;
    };

    const bool fromBottom = !(h.descriptor & 0x20);
    const bool fromRight = h.descriptor & 0x10;
    unsigned packetLeft = 0;
    bool runPacket = false;
    LPixelColour runColour;
    LImageProgress progress(job);
    for (int fileRow = 0; fileRow < height; ++fileRow) {
        if (!encoded) {
            if (in.Read(bytes.get(), size_t(width) * bpp) != size_t(width) * bpp)
                return LProcessResultError;
            for (int x = 0; x < width; ++x)
                if (!decode(bytes.get() + size_t(x) * bpp, row[size_t(x)]))
                    return LProcessResultError;
        } else {
            // Packets may run on from one row into the next.
            for (int x = 0; x < width;) {
                if (!packetLeft) {
                    const int header = in.Get();
                    if (header < 0)
                        return LProcessResultError;
                    packetLeft = unsigned(header & 0x7F) + 1;
                    runPacket = header & 0x80;
                    if (runPacket) {
                        if (in.Read(bytes.get(), bpp) != bpp || !decode(bytes.get(), runColour))
                            return LProcessResultError;
                    }
                }
                const unsigned take = std::min(packetLeft, unsigned(width - x));
                if (runPacket) {
                    std::fill_n(row.get() + x, take, runColour);
                } else {
                    if (in.Read(bytes.get(), take * bpp) != take * bpp)
                        return LProcessResultError;
                    for (unsigned i = 0; i < take; ++i)
                        if (!decode(bytes.get() + i * bpp, row[size_t(x) + i]))
                            return LProcessResultError;
                }
                packetLeft -= take;
                x += int(take);
            }
        }
        uint8_t* out = r.buffer.GetRow(fromBottom ? height - 1 - fileRow : fileRow);
        const size_t step = alpha ? 4 : 3;
        for (int x = 0; x < width; ++x) {
            const LPixelColour& c = row[size_t(fromRight ? width - 1 - x : x)];
            uint8_t* p = out + size_t(x) * step;
            p[0] = c.b;
            p[1] = c.g;
            p[2] = c.r;
            if (alpha)
                p[3] = c.a;
        }
        if (!progress.Update(double(fileRow + 1) / height))
            return LProcessResultStopped;
    }
    r.result = h.depth;
    job.SetProgress(1);
    return LProcessResultSuccess;
}

// ---- Writing -----------------------------------------------------------------------------------

namespace {

constexpr uint32_t kTooManyColours = 0xFFFFFFFF;

// The distinct pixel values of the image, sorted, when there are at most 256 of them; whether
// the image has alpha below 255 and whether every pixel is grey. The colour count, or
// kTooManyColours.
uint32_t GetPalette(LProcessInterface& job, const LImageBuffer& image,
    std::vector<uint32_t>& palette, bool& hasAlpha, bool& isGrey)
{
    palette.clear();
    hasAlpha = false;
    isGrey = true;
    bool tooMany = false;
    const bool formatHasAlpha = LPixelFormatHasAlpha(image.GetPixelFormat());
    const int width = image.GetWidth(), height = image.GetHeight();
    // An open-addressed set of up to 256 values in 512 slots.
    uint32_t slots[512];
    bool used[512] = {};
    std::unique_ptr<LPixelColour[]> row(new (std::nothrow) LPixelColour[size_t(width)]);
    if (!row)
        return kTooManyColours;
    LImageConstIterator it(image, LImageScanRowsTopDown);
    for (int y = 0; y < height; ++y) {
        it.Get(row.get(), width);
        for (int x = 0; x < width; ++x) {
            const LPixelColour c = row[size_t(x)];
            if (c.b != c.g || c.g != c.r)
                isGrey = false;
            if (c.a < 255)
                hasAlpha = true;
            if (tooMany)
                continue;
            const uint32_t v = c.Value();
            uint32_t slot = (v * 2654435761u) >> 23;
            while (used[slot] && slots[slot] != v)
                slot = (slot + 1) & 511;
            if (used[slot])
                continue;
            if (palette.size() == 256) {
                tooMany = true;
                continue;
            }
            used[slot] = true;
            slots[slot] = v;
            palette.push_back(v);
        }
        if (tooMany && !isGrey && (hasAlpha || !formatHasAlpha))
            break;
        job.SetProgress(double(y + 1) / height);
    }
    if (tooMany)
        return kTooManyColours;
    std::sort(palette.begin(), palette.end());
    return uint32_t(palette.size());
}

struct Packet {
    bool run;
    unsigned count;
};

// The next packet of the n stored values from px on: a run where a value equals the next two,
// raw values up to such a place otherwise. A run covers the first value and every equal one
// after it but the last, which starts the next packet.
Packet GetPixelsInPacket(const uint8_t* px, size_t bpp, unsigned n)
{
    auto equal
        = [&](unsigned a, unsigned b) { return std::memcmp(px + a * bpp, px + b * bpp, bpp) == 0; };
    unsigned p = 0;
    while (p + 2 < n && !(equal(p, p + 1) && equal(p, p + 2)))
        ++p;
    if (p + 2 >= n)
        return { false, n };
    if (p > 0)
        return { false, p };
    unsigned count = 0;
    while (count + 1 < n && equal(0, count + 1))
        ++count;
    return { true, count };
}

// The writer's plan: storage type, alpha, bytes per stored value and the sorted palette.
struct Plan {
    int type = 2;
    bool alpha = false;
    size_t bpp = 3;
    std::vector<uint32_t> palette;
};

// The stored values of one row of pixels.
void StoreRow(const Plan& plan, const LPixelColour* row, int width, uint8_t* out)
{
    for (int x = 0; x < width; ++x) {
        const LPixelColour& c = row[x];
        if (plan.type == 1) {
            const auto at = std::lower_bound(plan.palette.begin(), plan.palette.end(), c.Value());
            *out++ = uint8_t(at - plan.palette.begin());
        } else if (plan.type == 3) {
            *out++ = c.r;
            if (plan.alpha)
                *out++ = c.a;
        } else {
            *out++ = c.b;
            *out++ = c.g;
            *out++ = c.r;
            if (plan.alpha)
                *out++ = c.a;
        }
    }
}

// Run-length data into out (size bytes); 2 when it would fill the buffer, so that encoding does
// not pay; length the bytes used.
LProcessResult GetImageDataRunLengthEncoded(LProcessInterface& job, const LImageBuffer& image,
    const Plan& plan, uint8_t* out, size_t size, size_t& length)
{
    const int width = image.GetWidth(), height = image.GetHeight();
    std::unique_ptr<LPixelColour[]> row(new (std::nothrow) LPixelColour[size_t(width)]);
    std::unique_ptr<uint8_t[]> values(new (std::nothrow) uint8_t[size_t(width) * plan.bpp]);
    if (!row || !values)
        return LProcessResultError;
    LImageConstIterator it(image, LImageScanRowsTopDown);
    size_t pos = 0;
    for (int y = 0; y < height; ++y) {
        it.Get(row.get(), width);
        StoreRow(plan, row.get(), width, values.get());
        for (unsigned chunk = 0; chunk < unsigned(width); chunk += 128) {
            const unsigned chunkEnd = std::min(unsigned(width), chunk + 128);
            for (unsigned x = chunk; x < chunkEnd;) {
                const uint8_t* px = values.get() + x * plan.bpp;
                const Packet packet = GetPixelsInPacket(px, plan.bpp, chunkEnd - x);
                const size_t data = packet.run ? plan.bpp : packet.count * plan.bpp;
                if (pos + 1 + data >= size)
                    return LProcessResultError;
                out[pos++] = uint8_t((packet.run ? 0x80 : 0) | (packet.count - 1));
                std::memcpy(out + pos, px, data);
                pos += data;
                x += packet.count;
            }
        }
        job.SetProgress(double(y + 1) / height);
        if (job.IsToStop())
            return LProcessResultStopped;
    }
    length = pos;
    return LProcessResultSuccess;
}

LProcessResult GetImageDataUncompressed(
    LProcessInterface& job, const LImageBuffer& image, const Plan& plan, uint8_t* out)
{
    const int width = image.GetWidth(), height = image.GetHeight();
    std::unique_ptr<LPixelColour[]> row(new (std::nothrow) LPixelColour[size_t(width)]);
    if (!row)
        return LProcessResultError;
    LImageConstIterator it(image, LImageScanRowsTopDown);
    for (int y = 0; y < height; ++y) {
        it.Get(row.get(), width);
        StoreRow(plan, row.get(), width, out);
        out += size_t(width) * plan.bpp;
        job.SetProgress(double(y + 1) / height);
        if (job.IsToStop())
            return LProcessResultStopped;
    }
    return LProcessResultSuccess;
}

template <class S> bool WritePalette(S& stream, const Plan& plan)
{
    uint8_t bytes[256 * 4];
    uint8_t* p = bytes;
    for (uint32_t v : plan.palette) {
        const LPixelColour c = LPixelColour::FromValue(v);
        *p++ = c.b;
        *p++ = c.g;
        *p++ = c.r;
        if (plan.alpha)
            *p++ = c.a;
    }
    return stream.Write(bytes, size_t(p - bytes));
}

} // namespace

template <class S> LProcessResult LProcessTGASave<S>::HeaderSave(const LCODEC_TGA_Header& h)
{
    uint8_t b[kHeaderSize];
    b[0] = h.idLength;
    b[1] = h.colourMapType;
    b[2] = h.imageType;
    LImagePutLE16(b + 3, h.colourMapFirst);
    LImagePutLE16(b + 5, h.colourMapLength);
    b[7] = h.colourMapEntrySize;
    LImagePutLE16(b + 8, h.xOrigin);
    LImagePutLE16(b + 10, h.yOrigin);
    LImagePutLE16(b + 12, h.width);
    LImagePutLE16(b + 14, h.height);
    b[16] = h.depth;
    b[17] = h.descriptor;
    return stream.Write(b, sizeof b) ? LProcessResultSuccess : LProcessResultError;
}

template <class S> LProcessResult Process(LProcessInterface& job, LProcessTGASave<S>& r)
{
    job.SetStatusF(0, "Kodning %s bild", "TGA");
    const LImageBuffer& src = r.buffer;
    if (!src.IsValid())
        return LProcessResultError;
    const int width = src.GetWidth(), height = src.GetHeight();
    // The header holds the size in 16 bits.
    if (width > 0xFFFF || height > 0xFFFF)
        return LProcessResultError;

    Plan plan;
    bool grey = false;
    uint32_t colours;
    {
        LProcessInterfaceSubProcess nested(job, 0, 0.1);
        colours = GetPalette(nested, src, plan.palette, plan.alpha, grey);
    }
    const uint64_t pixels = uint64_t(width) * uint64_t(height);
    const uint64_t b = plan.alpha ? 4 : 3;
    const uint64_t trueColourSize = b * pixels;
    const uint64_t mappedSize = colours != kTooManyColours ? b * colours + pixels : UINT64_MAX;
    const uint64_t greySize = grey ? pixels * (plan.alpha ? 2 : 1) : UINT64_MAX;
    uint64_t size;
    if (mappedSize <= trueColourSize) {
        plan.type = LProcessTGASave<S>::kColourMapped;
        size = mappedSize;
    } else {
        plan.type = LProcessTGASave<S>::kTrueColour;
        size = trueColourSize;
    }
    if (greySize < size) {
        plan.type = LProcessTGASave<S>::kGrey;
        size = greySize;
    }
    plan.bpp = plan.type == LProcessTGASave<S>::kColourMapped ? 1
        : plan.type == LProcessTGASave<S>::kGrey              ? (plan.alpha ? 2 : 1)
                                                              : size_t(b);
    std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[size_t(size)]);
    if (!data)
        return LProcessResultError;

    size_t length = 0;
    LProcessResult result;
    {
        LProcessInterfaceSubProcess nested(job, 0.1, 0.3);
        result = GetImageDataRunLengthEncoded(nested, src, plan, data.get(), size_t(size), length);
    }
    const bool encoded = result == LProcessResultSuccess;
    if (result == LProcessResultStopped)
        return result;
    if (!encoded) {
        LProcessInterfaceSubProcess nested(job, 0.4, 0.3);
        result = GetImageDataUncompressed(nested, src, plan, data.get());
        if (result != LProcessResultSuccess)
            return result;
        length = size_t(pixels) * plan.bpp;
    }

    LCODEC_TGA_Header h;
    const bool mapped = plan.type == LProcessTGASave<S>::kColourMapped;
    h.colourMapType = mapped ? 1 : 0;
    h.imageType = uint8_t(plan.type + (encoded ? 8 : 0));
    h.colourMapLength = mapped ? uint16_t(colours) : 0;
    h.colourMapEntrySize = mapped ? (plan.alpha ? 32 : 24) : 0;
    h.width = uint16_t(width);
    h.height = uint16_t(height);
    h.depth = uint8_t(plan.bpp * 8);
    h.descriptor = uint8_t(0x20 | (plan.alpha ? 8 : 0));
    if (r.HeaderSave(h) != LProcessResultSuccess)
        return LProcessResultError;
    if (mapped && !WritePalette(r.stream, plan))
        return LProcessResultError;

    LProcessInterfaceSubProcess nested(job, 0.7, 0.3);
    for (size_t done = 0; done < length;) {
        const size_t block = std::min<size_t>(8192, length - done);
        if (!r.stream.Write(data.get() + done, block))
            return LProcessResultError;
        done += block;
        nested.SetProgress(double(done) / length);
        if (nested.IsToStop())
            return LProcessResultStopped;
    }
    return LProcessResultSuccess;
}

template LProcessResult Process(LProcessInterface&, LProcessTGALoad<LInputStreamFile>&);
template LProcessResult Process(LProcessInterface&, LProcessTGALoad<LInputStreamBuffer>&);
template LProcessResult Process(LProcessInterface&, LProcessTGASave<LOutputStreamFile>&);
template LProcessResult Process(LProcessInterface&, LProcessTGASave<LOutputStreamByteArray>&);
