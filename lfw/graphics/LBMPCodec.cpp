// Windows bitmap reader and writer.
#include "lfw/graphics/LBMPCodec.h"

#include "lfw/gen/LStream.h"
#include "lfw/graphics/LConvertPixelFormat.h"
#include "lfw/graphics/LImageCodec.h"
#include "lfw/graphics/LImageCodecStream.h"
#include "lfw/graphics/LPixelAccess.h"

#include <bit>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

// ---- Bit-field masks ---------------------------------------------------------------------------

void LCODEC_DIB_MaskCode::Init(uint32_t m)
{
    mask = m;
    if (!m) {
        low = 33;
        high = 0;
        return;
    }
    low = uint32_t(std::countr_zero(m));
    high = 31 - uint32_t(std::countl_zero(m));
}

uint8_t LCODEC_DIB_MaskCode::Read(uint32_t value) const
{
    if (!mask)
        return 0;
    uint64_t v = 0;
    uint32_t bits = 0;
    for (uint32_t b = low; b <= high; ++b) {
        if ((mask >> b) & 1) {
            v |= uint64_t((value >> b) & 1) << bits;
            ++bits;
        }
    }
    const uint64_t n1 = (uint64_t(1) << bits) - 1;
    return uint8_t((v * 255 + n1 / 2) / n1);
}

namespace {

// A mask code with a table for contiguous masks of up to 16 bits.
struct MaskChannel {
    LCODEC_DIB_MaskCode code;
    bool contiguous = false;
    std::vector<uint8_t> table;

    void Init(uint32_t mask)
    {
        code.Init(mask);
        if (!mask)
            return;
        const uint32_t bits = code.high - code.low + 1;
        contiguous = uint32_t(std::popcount(mask)) == bits;
        if (contiguous && bits <= 16) {
            table.resize(size_t(1) << bits);
            for (uint32_t v = 0; v < table.size(); ++v)
                table[v] = code.Read(v << code.low);
        }
    }
    bool IsEmpty() const { return code.IsEmpty(); }
    uint8_t Read(uint32_t value) const
    {
        if (!table.empty())
            return table[(value & code.mask) >> code.low];
        return code.Read(value);
    }
};

constexpr uint32_t kCompressionNone = 0;
constexpr uint32_t kCompressionRLE8 = 1;
constexpr uint32_t kCompressionRLE4 = 2;
constexpr uint32_t kCompressionBitFields = 3;

struct PaletteEntry {
    uint8_t b, g, r;
};

// Reads the rows of an uncompressed file into the top-down buffer.
template <class S>
LProcessResult ReadUncompressed(LProcessInterface& job, S& stream, LImageBuffer& buffer,
    const LCODEC_DIB_Header& h, bool topDown, uint32_t colours, const PaletteEntry* palette,
    const MaskChannel* masks, uint64_t fileRowBytes)
{
    const int width = buffer.GetWidth(), height = buffer.GetHeight();
    const unsigned bpp = h.bitsPerPixel;
    const bool bitFields = h.compression == kCompressionBitFields;
    LImageProgress progress(job);
    job.SetProgress(0);
    if (job.IsToStop())
        return LProcessResultStopped;

    // 24 and 32 bits without masks: the file's rows are the buffer's rows.
    if ((bpp == 24 || bpp == 32) && !bitFields) {
        for (int i = 0; i < height; ++i) {
            unsigned char* row = buffer.GetRow(topDown ? i : height - 1 - i);
            if (!LImageStreamReadExact(stream, row, size_t(fileRowBytes)))
                return LProcessResultError;
            if (!progress.Update(double(i + 1) / height))
                return LProcessResultStopped;
        }
        return LProcessResultSuccess;
    }

    std::unique_ptr<uint8_t[]> line(new (std::nothrow) uint8_t[size_t(fileRowBytes)]);
    if (!line)
        return LProcessResultError;
    // The pixel value carries over from pixel to pixel; each rule sets only its own bytes.
    LPixelColour pixel(0, 0, 0, 255);
    for (int i = 0; i < height; ++i) {
        if (!LImageStreamReadExact(stream, line.get(), size_t(fileRowBytes)))
            return LProcessResultError;
        unsigned char* row = buffer.GetRow(topDown ? i : height - 1 - i);
        const uint8_t* in = line.get();
        if (bpp == 16 || bpp == 32) {
            const unsigned step = bpp / 8;
            const unsigned outStep = bpp == 32 ? 4 : 3;
            for (int x = 0; x < width; ++x, in += step, row += outStep) {
                const uint32_t word = bpp == 16 ? LImageGetLE16(in) : LImageGetLE32(in);
                if (!masks[0].IsEmpty())
                    pixel.r = masks[0].Read(word);
                if (!masks[1].IsEmpty())
                    pixel.g = masks[1].Read(word);
                if (!masks[2].IsEmpty())
                    pixel.b = masks[2].Read(word);
                if (!masks[3].IsEmpty())
                    pixel.a = masks[3].Read(word);
                row[0] = pixel.b;
                row[1] = pixel.g;
                row[2] = pixel.r;
                if (outStep == 4)
                    row[3] = pixel.a;
            }
        } else {
            // 1, 4 and 8 bits: the pixels of a byte from its most significant bits down.
            const unsigned perByte = 8 / bpp;
            const unsigned indexMask = (1u << bpp) - 1;
            for (int x = 0; x < width; ++x, row += 3) {
                const unsigned shift = 8 - bpp * (unsigned(x) % perByte + 1);
                const unsigned index = (in[unsigned(x) / perByte] >> shift) & indexMask;
                if (index >= colours)
                    return LProcessResultError;
                row[0] = palette[index].b;
                row[1] = palette[index].g;
                row[2] = palette[index].r;
            }
        }
        if (!progress.Update(double(i + 1) / height))
            return LProcessResultStopped;
    }
    return LProcessResultSuccess;
}

// Run-length data (RLE8 or RLE4) of a bottom-up file.
template <class S>
LProcessResult ReadRunLength(LProcessInterface& job, S& stream, LImageBuffer& buffer, bool rle8,
    uint32_t colours, const PaletteEntry* palette)
{
    const uint32_t width = uint32_t(buffer.GetWidth()), height = uint32_t(buffer.GetHeight());
    const uint64_t total = uint64_t(width) * height;
    LImageByteReader<S> in(stream);
    LImageProgress progress(job);
    job.SetProgress(0);
    if (job.IsToStop())
        return LProcessResultStopped;

    // A row may also cover its padding up to the file's 4-byte row size (some writers encode
    // the padding pixels too): those pixels are accepted and dropped.
    const uint32_t rowPixels
        = uint32_t(((uint64_t(width) * (rle8 ? 8 : 4) + 31) / 32 * 32) / (rle8 ? 8 : 4));
    uint32_t x = 0, y = 0;
    uint64_t written = 0;
    // One pixel of a run: the index must be in the palette and the pixel inside the row (or its
    // padding) and inside the image.
    auto put = [&](unsigned index) {
        if (index >= colours || x >= rowPixels || y >= height)
            return false;
        if (x < width) {
            unsigned char* p = buffer.GetRow(int(height - 1 - y)) + size_t(x) * 3;
            p[0] = palette[index].b;
            p[1] = palette[index].g;
            p[2] = palette[index].r;
            ++written;
        }
        ++x;
        return true;
    };
    uint8_t run[256];
    while (y <= height && x <= rowPixels) {
        const int count = in.Get();
        const int value = in.Get();
        if (count < 0 || value < 0)
            return LProcessResultError;
        if (count == 0) {
            if (value == 0) { // end of line
                if (x < width)
                    return LProcessResultError;
                ++y;
                x = 0;
            } else if (value == 1) { // end of bitmap
                return written == total ? LProcessResultSuccess : LProcessResultError;
            } else if (value == 2) { // delta: not supported
                return LProcessResultError;
            } else { // absolute run
                const unsigned n = unsigned(value);
                const unsigned bytes = rle8 ? n : (n + 1) / 2;
                for (unsigned i = 0; i < bytes; ++i) {
                    const int c = in.Get();
                    if (c < 0)
                        return LProcessResultError;
                    run[i] = uint8_t(c);
                }
                for (unsigned i = 0; i < n; ++i) {
                    const unsigned index
                        = rle8 ? run[i] : ((i & 1) ? run[i / 2] & 15 : run[i / 2] >> 4);
                    if (!put(index))
                        return LProcessResultError;
                }
                if ((bytes & 1) && in.Get() < 0)
                    return LProcessResultError;
            }
        } else { // encoded run
            for (int i = 0; i < count; ++i) {
                const unsigned index = rle8
                    ? unsigned(value)
                    : ((i & 1) ? unsigned(value) & 15 : unsigned(value) >> 4);
                if (!put(index))
                    return LProcessResultError;
            }
        }
        if (!progress.Update(double(y) / height))
            return LProcessResultStopped;
    }
    return LProcessResultError;
}

} // namespace

// ---- Reading -----------------------------------------------------------------------------------

template <class S> LProcessResult LProcessBMPLoad<S>::HeaderLoad(LCODEC_BMP_Header& header)
{
    uint8_t b[14];
    if (!LImageStreamReadExact(stream, b, sizeof b))
        return LProcessResultError;
    header.signature = LImageGetLE16(b);
    header.fileSize = LImageGetLE32(b + 2);
    header.offset = LImageGetLE32(b + 10);
    return header.signature == 0x4D42 ? LProcessResultSuccess : LProcessResultError;
}

template <class S> LProcessResult Process(LProcessInterface& job, LProcessBMPLoad<S>& r)
{
    job.SetStatusF(0, "Avkodning %s bild", "BMP");
    const uint64_t start = r.stream.Tell();
    LCODEC_BMP_Header header;
    if (r.HeaderLoad(header) != LProcessResultSuccess)
        return LProcessResultError;
    LProcessInterfaceQueueItem nested(job, 0.0, 1.0);
    LProcessDIBLoad<S> dib(r.stream, start + header.offset, r.buffer);
    const LProcessResult result = Process(nested, dib);
    r.result = dib.result;
    return result;
}

template <class S> LProcessResult LProcessDIBLoad<S>::HeaderLoad(LCODEC_DIB_Header& h)
{
    h = LCODEC_DIB_Header();
    uint8_t b[40];
    if (!LImageStreamReadExact(stream, b, 4))
        return LProcessResultError;
    h.size = LImageGetLE32(b);
    if (h.size == 12) {
        if (!LImageStreamReadExact(stream, b + 4, 8))
            return LProcessResultError;
        h.width = LImageGetLE16(b + 4);
        h.height = LImageGetLE16(b + 6);
        h.planes = LImageGetLE16(b + 8);
        h.bitsPerPixel = LImageGetLE16(b + 10);
        h.coloursUsed = h.bitsPerPixel <= 8 ? 1u << h.bitsPerPixel : 0;
        return LProcessResultSuccess;
    }
    // Headers of 13 to 39 bytes are no known layout.
    if (h.size < 40)
        return LProcessResultError;
    if (!LImageStreamReadExact(stream, b + 4, 36))
        return LProcessResultError;
    h.width = int32_t(LImageGetLE32(b + 4));
    h.height = int32_t(LImageGetLE32(b + 8));
    h.planes = LImageGetLE16(b + 12);
    h.bitsPerPixel = LImageGetLE16(b + 14);
    h.compression = LImageGetLE32(b + 16);
    h.imageSize = LImageGetLE32(b + 20);
    h.xPelsPerMeter = int32_t(LImageGetLE32(b + 24));
    h.yPelsPerMeter = int32_t(LImageGetLE32(b + 28));
    h.coloursUsed = LImageGetLE32(b + 32);
    h.coloursImportant = LImageGetLE32(b + 36);
    uint64_t consumed = 40;
    if (h.size >= 52) {
        if (!LImageStreamReadExact(stream, b, 12))
            return LProcessResultError;
        h.redMask = LImageGetLE32(b);
        h.greenMask = LImageGetLE32(b + 4);
        h.blueMask = LImageGetLE32(b + 8);
        consumed += 12;
        if (h.size >= 56) {
            if (!LImageStreamReadExact(stream, b, 4))
                return LProcessResultError;
            h.alphaMask = LImageGetLE32(b);
            consumed += 4;
        }
    }
    if (h.size > consumed && !stream.Skip(h.size - consumed))
        return LProcessResultError;
    // A 40-byte header keeps its three bit-field masks just after it.
    if (h.size < 52 && h.compression == kCompressionBitFields) {
        if (!LImageStreamReadExact(stream, b, 12))
            return LProcessResultError;
        h.redMask = LImageGetLE32(b);
        h.greenMask = LImageGetLE32(b + 4);
        h.blueMask = LImageGetLE32(b + 8);
    }
    if (h.coloursUsed == 0 && h.bitsPerPixel <= 8)
        h.coloursUsed = 1u << h.bitsPerPixel;
    return LProcessResultSuccess;
}

template <class S> LProcessResult Process(LProcessInterface& job, LProcessDIBLoad<S>& r)
{
    job.SetStatusF(0, "Avkodning %s bild", "DIB");
    LCODEC_DIB_Header h;
    if (r.HeaderLoad(h) != LProcessResultSuccess)
        return LProcessResultError;

    const unsigned bpp = h.bitsPerPixel;
    if (h.compression > kCompressionBitFields || h.coloursUsed > 256)
        return LProcessResultError;
    if (h.compression == kCompressionRLE8 && bpp != 8)
        return LProcessResultError;
    if (h.compression == kCompressionRLE4 && bpp != 4)
        return LProcessResultError;
    if (h.compression == kCompressionBitFields && bpp != 16 && bpp != 32)
        return LProcessResultError;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return LProcessResultError;

    MaskChannel masks[4];
    if (h.compression == kCompressionBitFields) {
        const uint32_t m[4] = { h.redMask, h.greenMask, h.blueMask, h.alphaMask };
        for (int i = 0; i < 4; ++i)
            for (int j = i + 1; j < 4; ++j)
                if (m[i] & m[j])
                    return LProcessResultError;
        if (bpp == 16 && ((m[0] | m[1] | m[2] | m[3]) >> 16))
            return LProcessResultError;
        for (int i = 0; i < 4; ++i)
            masks[i].Init(m[i]);
    } else if (bpp == 16) {
        masks[0].Init(0x7C00);
        masks[1].Init(0x03E0);
        masks[2].Init(0x001F);
    }

    // Sizes: a negative height is a top-down file (not for run-length data); negative widths and
    // the most negative height are refused, and so is any size beyond the pixel limit.
    const bool rle = h.compression == kCompressionRLE8 || h.compression == kCompressionRLE4;
    int64_t width = h.width, height = h.height;
    const bool topDown = height < 0;
    if (topDown) {
        if (rle)
            return LProcessResultError;
        height = -height;
    }
    if (h.height == INT32_MIN || !LImageSizeAcceptable(width, height))
        return LProcessResultError;

    PaletteEntry palette[256] = {};
    const unsigned entrySize = h.size == 12 ? 3 : 4;
    if (h.coloursUsed) {
        uint8_t raw[256 * 4];
        if (!LImageStreamReadExact(r.stream, raw, size_t(h.coloursUsed) * entrySize))
            return LProcessResultError;
        for (uint32_t i = 0; i < h.coloursUsed; ++i)
            palette[i] = { raw[i * entrySize], raw[i * entrySize + 1], raw[i * entrySize + 2] };
    }

    if (r.pixelDataPosition) {
        const uint64_t at = r.stream.Tell();
        if (at > r.pixelDataPosition)
            return LProcessResultError;
        if (at < r.pixelDataPosition && !r.stream.Skip(r.pixelDataPosition - at))
            return LProcessResultError;
    }

    // The data must be able to hold the pixels before any memory is taken for them.
    const uint64_t fileRowBytes = (uint64_t(width) * bpp + 31) / 32 * 4;
    const uint64_t remaining = LImageStreamRemaining(r.stream);
    if (remaining != UINT64_MAX) {
        const uint64_t pixels = uint64_t(width) * uint64_t(height);
        // A two-byte run command gives at most 255 pixels.
        if (rle ? pixels > remaining / 2 * 255 + 255 : fileRowBytes * uint64_t(height) > remaining)
            return LProcessResultError;
    }

    LImageFormat format(
        bpp == 32 ? LPixelFormatB8G8R8A8 : LPixelFormatB8G8R8, int(width), int(height));
    r.buffer.AllocateNewBuffer(format);
    if (!r.buffer.IsValid())
        return LProcessResultError;

    LProcessResult result;
    if (rle)
        result = ReadRunLength(
            job, r.stream, r.buffer, h.compression == kCompressionRLE8, h.coloursUsed, palette);
    else
        result = ReadUncompressed(
            job, r.stream, r.buffer, h, topDown, h.coloursUsed, palette, masks, fileRowBytes);
    if (result != LProcessResultSuccess)
        return result;

    r.buffer.SetResolution(h.xPelsPerMeter, h.yPelsPerMeter);

    // 32-bit files whose fourth bytes are all 0 carry no alpha: they are opaque.
    if (r.buffer.GetPixelFormat() == LPixelFormatB8G8R8A8) {
        bool anyAlpha = false;
        for (int y = 0; y < r.buffer.GetHeight() && !anyAlpha; ++y) {
            const unsigned char* row = r.buffer.GetRow(y);
            for (int x = 0; x < r.buffer.GetWidth(); ++x)
                if (row[x * 4 + 3]) {
                    anyAlpha = true;
                    break;
                }
        }
        if (!anyAlpha)
            for (int y = 0; y < r.buffer.GetHeight(); ++y)
                LPixelRows::SetOpaque(r.buffer.GetRow(y), size_t(r.buffer.GetWidth()));
    }
    r.result = bpp;
    return LProcessResultSuccess;
}

// ---- Writing -----------------------------------------------------------------------------------

namespace {

// How the rows of the source reach the file.
enum class RowSource {
    AsStored, // the DIB writer: each pixel as the pixel iterator reads it
    Opaque, // converted to B8G8R8A8 with alpha 255
    Flattened, // converted to B8G8R8, alpha blended over a background colour
};

template <class P>
void ReadRow(const P* src, LPixelColour* out, int width, RowSource mode, uint32_t background)
{
    if (mode == RowSource::AsStored) {
        for (int x = 0; x < width; ++x)
            out[x] = LPixelAccess::Read(src[x]);
        return;
    }
    // The conversions of the pixel-format converter.
    ConvertPixels(reinterpret_cast<LPFB8G8R8A8*>(out), src, static_cast<unsigned long>(width));
    if (mode == RowSource::Opaque) {
        for (int x = 0; x < width; ++x)
            out[x].a = 255;
        return;
    }
    const unsigned bb = background & 0xFF, bg = (background >> 8) & 0xFF,
                   br = (background >> 16) & 0xFF;
    for (int x = 0; x < width; ++x) {
        LPixelColour& c = out[x];
        if (c.a < 255) {
            const unsigned a = c.a, na = 255 - a;
            c.b = uint8_t((bb * na + c.b * a) >> 8);
            c.g = uint8_t((bg * na + c.g * a) >> 8);
            c.r = uint8_t((br * na + c.r * a) >> 8);
            c.a = 255;
        }
    }
}

// The DIB header as the writer stores it: the 40 bytes of fields, then, as far as the declared
// size reaches, the red, green, blue and alpha masks and (from 108 bytes on) the sRGB
// colour-space tag; the rest is zero. Answers the byte count: the declared size, or 0 for a size
// the writer does not make (below 40 or above 124).
size_t EncodeDIBHeader(const LCODEC_DIB_Header& h, uint8_t (&b)[124])
{
    if (h.size < 40 || h.size > sizeof b)
        return 0;
    std::memset(b, 0, sizeof b);
    LImagePutLE32(b, h.size);
    LImagePutLE32(b + 4, uint32_t(h.width));
    LImagePutLE32(b + 8, uint32_t(h.height));
    LImagePutLE16(b + 12, h.planes);
    LImagePutLE16(b + 14, h.bitsPerPixel);
    LImagePutLE32(b + 16, h.compression);
    LImagePutLE32(b + 20, h.imageSize);
    LImagePutLE32(b + 24, uint32_t(h.xPelsPerMeter));
    LImagePutLE32(b + 28, uint32_t(h.yPelsPerMeter));
    LImagePutLE32(b + 32, h.coloursUsed);
    LImagePutLE32(b + 36, h.coloursImportant);
    const uint32_t masks[4] = { h.redMask, h.greenMask, h.blueMask, h.alphaMask };
    for (uint32_t i = 0; i < 4 && 44 + 4 * i <= h.size; ++i)
        LImagePutLE32(b + 40 + 4 * i, masks[i]);
    if (h.size >= 108)
        std::memcpy(b + 56, "BGRs", 4);
    return h.size;
}

// Writes the DIB header and pixels. bits32 selects the 124-byte 32-bit form.
template <class S>
LProcessResult WriteDIB(LProcessInterface& job, const LImageBuffer& src, bool bits32, S& stream,
    RowSource mode, uint32_t background)
{
    if (!src.IsValid())
        return LProcessResultError;
    const int width = src.GetWidth(), height = src.GetHeight();
    const pixelformat_t format = src.GetPixelFormat();
    const uint64_t dibStart = stream.Tell();
    LCODEC_DIB_Header h;
    h.size = bits32 ? 124 : 40;
    h.width = width;
    h.height = height; // positive: the bottom row is stored first
    h.planes = 1;
    h.bitsPerPixel = bits32 ? 32 : 24;
    h.compression = bits32 ? kCompressionBitFields : kCompressionNone;
    h.xPelsPerMeter = src.GetFormat().horizontalResolution;
    h.yPelsPerMeter = src.GetFormat().verticalResolution;
    if (bits32) {
        h.redMask = 0x00FF0000;
        h.greenMask = 0x0000FF00;
        h.blueMask = 0x000000FF;
        h.alphaMask = 0xFF000000;
    }
    uint8_t header[124];
    const size_t headerSize = EncodeDIBHeader(h, header);
    if (!headerSize || !stream.Write(header, headerSize))
        return LProcessResultError;

    const size_t rowBytes = size_t(width) * (bits32 ? 4 : 3);
    const size_t padded = (rowBytes + 3) & ~size_t(3);
    std::unique_ptr<uint8_t[]> line(new (std::nothrow) uint8_t[padded]);
    std::unique_ptr<LPixelColour[]> pixels;
    if (!line)
        return LProcessResultError;
    std::memset(line.get() + rowBytes, 0, padded - rowBytes);
    const bool direct = mode != RowSource::Flattened && bits32 && format == LPixelFormatB8G8R8A8;
    const bool direct24 = !bits32 && format == LPixelFormatB8G8R8;
    if (!direct && !direct24) {
        pixels.reset(new (std::nothrow) LPixelColour[size_t(width)]);
        if (!pixels)
            return LProcessResultError;
    }

    uint64_t written = 0;
    for (int i = 0; i < height; ++i) {
        // Bottom row of the picture first.
        const unsigned char* row = src.GetPictureRow(height - 1 - i);
        const uint8_t* out = line.get();
        if (direct) {
            out = row;
        } else if (direct24) {
            std::memcpy(line.get(), row, rowBytes);
        } else {
            const bool known = LPixelAccess::VisitPixelStruct(format, [&](auto pixel) {
                using P = decltype(pixel);
                ReadRow(reinterpret_cast<const P*>(row), pixels.get(), width, mode, background);
            });
            if (!known)
                return LProcessResultError;
            uint8_t* q = line.get();
            for (int x = 0; x < width; ++x) {
                const LPixelColour& c = pixels[size_t(x)];
                *q++ = c.b;
                *q++ = c.g;
                *q++ = c.r;
                if (bits32)
                    *q++ = c.a;
            }
        }
        if (!stream.Write(out, padded))
            return LProcessResultError;
        written += padded;
        job.SetProgress(0.2 + 0.8 * double(i + 1) / height);
        if (job.IsToStop())
            return LProcessResultStopped;
    }
    uint8_t size[4];
    LImagePutLE32(size, uint32_t(written));
    if (!stream.Patch(dibStart + 20, size, 4))
        return LProcessResultError;
    return LProcessResultSuccess;
}

} // namespace

template <class S> LProcessResult LProcessDIBSave<S>::HeaderSave(const LCODEC_DIB_Header& h)
{
    // The whole declared header, so that the pixels that follow start where it says.
    uint8_t b[124];
    const size_t n = EncodeDIBHeader(h, b);
    return n && stream.Write(b, n) ? LProcessResultSuccess : LProcessResultError;
}

template <class S> LProcessResult Process(LProcessInterface& job, LProcessDIBSave<S>& r)
{
    job.SetStatusF(0, "Kodning %s bild", "DIB");
    r.result = 0;
    if (r.outputKind > 1)
        return LProcessResultError;
    return WriteDIB(job, r.buffer, r.outputKind == 0, r.stream, RowSource::AsStored, 0);
}

template <class S> LProcessResult LProcessBMPSave<S>::HeaderSave(const LCODEC_BMP_Header& h)
{
    uint8_t b[14] = {};
    LImagePutLE16(b, h.signature);
    LImagePutLE32(b + 2, h.fileSize);
    LImagePutLE32(b + 10, h.offset);
    return stream.Write(b, sizeof b) ? LProcessResultSuccess : LProcessResultError;
}

template <class S> LProcessResult Process(LProcessInterface& job, LProcessBMPSave<S>& r)
{
    job.SetStatusF(0, "Kodning %s bild", "BMP");
    const uint64_t start = r.stream.Tell();
    LCODEC_BMP_Header header;
    header.signature = 0x4D42;
    if (r.HeaderSave(header) != LProcessResultSuccess)
        return LProcessResultError;
    // Kind 1 is the 32-bit DIB, kind 0 the 24-bit one; other kinds are refused.
    if (r.outputKind > 1)
        return LProcessResultError;
    const bool bits32 = r.outputKind == 1;
    const pixelformat_t target = bits32 ? LPixelFormatB8G8R8A8 : LPixelFormatB8G8R8;
    RowSource mode = RowSource::AsStored;
    if (r.buffer.GetPixelFormat() != target)
        mode = bits32 || r.ignoreAlpha ? RowSource::Opaque : RowSource::Flattened;

    LProcessInterfaceQueueItem nested(job, 0.0, 1.0);
    nested.SetStatusF(0, "Kodning %s bild", "DIB");
    const LProcessResult result
        = WriteDIB(nested, r.buffer, bits32, r.stream, mode, r.backgroundColour);
    if (result != LProcessResultSuccess)
        return result;

    const uint64_t end = r.stream.Tell();
    uint8_t b[4];
    LImagePutLE32(b, uint32_t(end - start));
    if (!r.stream.Patch(start + 2, b, 4))
        return LProcessResultError;
    LImagePutLE32(b, bits32 ? 138 : 54);
    if (!r.stream.Patch(start + 10, b, 4))
        return LProcessResultError;
    return LProcessResultSuccess;
}

template LProcessResult Process(LProcessInterface&, LProcessBMPLoad<LInputStreamFile>&);
template LProcessResult Process(LProcessInterface&, LProcessBMPLoad<LInputStreamBuffer>&);
template LProcessResult Process(LProcessInterface&, LProcessDIBLoad<LInputStreamFile>&);
template LProcessResult Process(LProcessInterface&, LProcessDIBLoad<LInputStreamBuffer>&);
template LProcessResult Process(LProcessInterface&, LProcessBMPSave<LOutputStreamFile>&);
template LProcessResult Process(LProcessInterface&, LProcessBMPSave<LOutputStreamByteArray>&);
template LProcessResult Process(LProcessInterface&, LProcessDIBSave<LOutputStreamFile>&);
template LProcessResult Process(LProcessInterface&, LProcessDIBSave<LOutputStreamByteArray>&);
template struct LProcessBMPLoad<LInputStreamFile>;
template struct LProcessBMPLoad<LInputStreamBuffer>;
template struct LProcessDIBLoad<LInputStreamFile>;
template struct LProcessDIBLoad<LInputStreamBuffer>;
template struct LProcessBMPSave<LOutputStreamFile>;
template struct LProcessBMPSave<LOutputStreamByteArray>;
template struct LProcessDIBSave<LOutputStreamFile>;
template struct LProcessDIBSave<LOutputStreamByteArray>;
