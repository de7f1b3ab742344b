// TIFF through libtiff, on memory or on a Source.
#include "platform/imageio/ImageIOPrivate.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <tiffio.h>

namespace platform::imageio::detail {

namespace {

struct Handle {
    Source* source = nullptr; // reading
    std::vector<uint8_t>* out = nullptr; // writing
    uint64_t position = 0;
};

int QuietHandler(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

tmsize_t ProcRead(thandle_t h, void* buffer, tmsize_t n)
{
    auto* handle = static_cast<Handle*>(h);
    if (!handle->source || n <= 0)
        return 0;
    size_t got = handle->source->ReadAt(handle->position, buffer, size_t(n));
    handle->position += got;
    return tmsize_t(got);
}

tmsize_t ProcWrite(thandle_t h, void* buffer, tmsize_t n)
{
    auto* handle = static_cast<Handle*>(h);
    if (!handle->out || n < 0)
        return -1;
    std::vector<uint8_t>& out = *handle->out;
    if (handle->position + uint64_t(n) > out.size())
        out.resize(handle->position + uint64_t(n));
    std::memcpy(out.data() + handle->position, buffer, size_t(n));
    handle->position += uint64_t(n);
    return n;
}

toff_t ProcSize(thandle_t h)
{
    auto* handle = static_cast<Handle*>(h);
    return handle->source ? handle->source->Size() : handle->out->size();
}

toff_t ProcSeek(thandle_t h, toff_t offset, int whence)
{
    auto* handle = static_cast<Handle*>(h);
    uint64_t base = whence == SEEK_CUR ? handle->position : whence == SEEK_END ? ProcSize(h) : 0;
    handle->position = base + offset;
    if (handle->out && handle->position > handle->out->size())
        handle->out->resize(handle->position);
    return handle->position;
}

int ProcClose(thandle_t)
{
    return 0;
}

int ProcMap(thandle_t, void**, toff_t*)
{
    return 0;
}

void ProcUnmap(thandle_t, void*, toff_t)
{
}

TIFF* Open(Handle& handle, const char* mode, tmsize_t maxAlloc)
{
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options)
        return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(options, QuietHandler, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, QuietHandler, nullptr);
    if (maxAlloc > 0)
        TIFFOpenOptionsSetMaxSingleMemAlloc(options, maxAlloc);
    TIFF* tif = TIFFClientOpenExt("image", mode, &handle, ProcRead, ProcWrite, ProcSeek, ProcClose,
        ProcSize, ProcMap, ProcUnmap, options);
    TIFFOpenOptionsFree(options);
    return tif;
}

struct Closer {
    TIFF* tif;
    ~Closer()
    {
        if (tif)
            TIFFClose(tif);
    }
};

uint8_t Unpremultiply(uint8_t c, uint8_t a)
{
    if (a == 0 || a == 255)
        return a == 0 ? 0 : c;
    unsigned v = (unsigned(c) * 255 + a / 2) / a;
    return uint8_t(v > 255 ? 255 : v);
}

// 8-bit RGB(A) or grey(+alpha) in strips, contiguous: read row by row, alpha kept as stored.
Result ReadDirect(TIFF* tif, uint8_t* first, size_t stride, uint32_t width, uint32_t height,
    uint16_t samples, bool grey, bool associated, const DecodeOptions& options)
{
    tmsize_t lineSize = TIFFScanlineSize(tif);
    if (lineSize < tmsize_t(width) * samples)
        return Result::Failed;
    std::vector<uint8_t> line(static_cast<size_t>(lineSize));
    for (uint32_t y = 0; y < height; ++y) {
        if ((y & 63) == 0 && Stopped(options))
            return Result::Stopped;
        if (TIFFReadScanline(tif, line.data(), y, 0) < 0)
            return Result::Failed;
        uint8_t* out = first + size_t(y) * stride;
        const uint8_t* in = line.data();
        for (uint32_t x = 0; x < width; ++x, in += samples, out += 4) {
            if (grey) {
                out[0] = out[1] = out[2] = in[0];
                out[3] = samples >= 2 ? in[1] : 255;
            } else {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
                out[3] = samples >= 4 ? in[3] : 255;
            }
            if (associated)
                for (int c = 0; c < 3; ++c)
                    out[c] = Unpremultiply(out[c], out[3]);
        }
    }
    return Result::Ok;
}

// Palette images of 1 to 8 bits in strips: the colour map's 16-bit entries are rounded to 8
// bits (a map whose entries all fit 8 bits is an old-style 8-bit map and taken as it is).
Result ReadPalette(TIFF* tif, uint8_t* first, size_t stride, uint32_t width, uint32_t height,
    uint16_t bits, const DecodeOptions& options)
{
    uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) || !red || !green || !blue)
        return Result::Failed;
    const uint32_t entries = 1u << bits;
    bool eightBit = true;
    for (uint32_t i = 0; i < entries; ++i)
        if (red[i] >= 256 || green[i] >= 256 || blue[i] >= 256)
            eightBit = false;
    uint8_t colours[256][4];
    auto scale = [eightBit](uint16_t v) {
        return uint8_t(eightBit ? v : (uint32_t(v) * 255 + 32767) / 65535);
    };
    for (uint32_t i = 0; i < entries; ++i) {
        colours[i][0] = scale(blue[i]);
        colours[i][1] = scale(green[i]);
        colours[i][2] = scale(red[i]);
        colours[i][3] = 255;
    }
    tmsize_t lineSize = TIFFScanlineSize(tif);
    if (lineSize < tmsize_t((uint64_t(width) * bits + 7) / 8))
        return Result::Failed;
    std::vector<uint8_t> line(static_cast<size_t>(lineSize));
    const unsigned mask = entries - 1;
    for (uint32_t y = 0; y < height; ++y) {
        if ((y & 63) == 0 && Stopped(options))
            return Result::Stopped;
        if (TIFFReadScanline(tif, line.data(), y, 0) < 0)
            return Result::Failed;
        uint8_t* out = first + size_t(y) * stride;
        for (uint32_t x = 0; x < width; ++x, out += 4) {
            const uint64_t bit = uint64_t(x) * bits;
            const unsigned index = (line[bit / 8] >> (8 - bits - bit % 8)) & mask;
            std::memcpy(out, colours[index], 4);
        }
    }
    return Result::Ok;
}

} // namespace

Result DecodeTIFF(
    Source& source, const Allocator& allocate, DecodedInfo& info, const DecodeOptions& options)
{
    Handle handle;
    handle.source = &source;
    // libtiff's own allocations (strips, tiles, directories) stay within what a picture of the
    // size limit could need.
    uint64_t limit
        = std::clamp<uint64_t>(options.maxPixels * 8, uint64_t(64) << 20, uint64_t(1) << 31);
    Closer tiff { Open(handle, "rm", tmsize_t(limit)) };
    TIFF* tif = tiff.tif;
    if (!tif)
        return Result::Failed;
    uint32_t width = 0, height = 0;
    uint16_t bits = 1, samples = 1, photometric = 0, planar = PLANARCONFIG_CONTIG;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width)
        || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height)
        || !SizeAcceptable(width, height, options, info)
        // Fax-coded blank pages reach some thousands of pixels a byte.
        || !DataCanHold(source, width, height, 65536))
        return Result::Failed;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric))
        photometric = samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    uint16_t extraCount = 0, *extra = nullptr;
    TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
    bool associated = extraCount >= 1 && extra && extra[0] == EXTRASAMPLE_ASSOCALPHA;
    uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);

    info.width = width;
    info.height = height;
    info.bitsPerPixel = uint32_t(bits) * samples;
    info.orientation = orientation >= 1 && orientation <= 8 ? orientation : 1;
    float resX = 0, resY = 0;
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &resX)
        && TIFFGetField(tif, TIFFTAG_YRESOLUTION, &resY) && resX > 0 && resY > 0
        && (unit == RESUNIT_INCH || unit == RESUNIT_CENTIMETER)) {
        double scale = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
        info.dpiX = resX * scale;
        info.dpiY = resY * scale;
    }

    bool rgb = photometric == PHOTOMETRIC_RGB && (samples == 3 || samples == 4);
    bool grey = photometric == PHOTOMETRIC_MINISBLACK && (samples == 1 || samples == 2);
    if (bits == 8 && planar == PLANARCONFIG_CONTIG && !TIFFIsTiled(tif) && (rgb || grey)) {
        size_t stride = 0;
        uint8_t* first = Allocate(allocate, width, height, stride);
        if (!first)
            return Result::Failed;
        return ReadDirect(tif, first, stride, width, height, samples, grey, associated, options);
    }

    if (photometric == PHOTOMETRIC_PALETTE && samples == 1 && !TIFFIsTiled(tif)
        && (bits == 1 || bits == 2 || bits == 4 || bits == 8)) {
        size_t stride = 0;
        uint8_t* first = Allocate(allocate, width, height, stride);
        if (!first)
            return Result::Failed;
        return ReadPalette(tif, first, stride, width, height, bits, options);
    }

    char message[1024];
    if (!TIFFRGBAImageOK(tif, message))
        return Result::Failed;
    TIFFRGBAImage image;
    if (!TIFFRGBAImageBegin(&image, tif, 1, message))
        return Result::Failed;
    // The rows as stored: the orientation is reported, not applied.
    image.req_orientation = orientation >= 1 && orientation <= 8 ? orientation : 1;
    bool premultiplied = image.alpha != 0;
    size_t stride = 0;
    uint8_t* first = Allocate(allocate, width, height, stride);
    if (!first) {
        TIFFRGBAImageEnd(&image);
        return Result::Failed;
    }
    std::vector<uint32_t> raster;
    uint32_t* target = reinterpret_cast<uint32_t*>(first);
    if (stride != size_t(width) * 4 || reinterpret_cast<uintptr_t>(first) % 4 != 0) {
        raster.resize(size_t(width) * height);
        target = raster.data();
    }
    int ok = TIFFRGBAImageGet(&image, target, width, height);
    TIFFRGBAImageEnd(&image);
    if (!ok)
        return Result::Failed;
    // The raster holds R, G, B, A bytes per pixel, alpha premultiplied where there is alpha.
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* out = first + size_t(y) * stride;
        const uint8_t* in = reinterpret_cast<const uint8_t*>(target + size_t(y) * width);
        for (uint32_t x = 0; x < width; ++x, in += 4, out += 4) {
            uint8_t r = in[0], g = in[1], b = in[2], a = in[3];
            if (premultiplied) {
                r = Unpremultiply(r, a);
                g = Unpremultiply(g, a);
                b = Unpremultiply(b, a);
            }
            out[0] = b;
            out[1] = g;
            out[2] = r;
            out[3] = a;
        }
    }
    return Result::Ok;
}

bool EncodeTIFF(const EncodeInput& in, std::vector<uint8_t>& out)
{
    Handle handle;
    handle.out = &out;
    out.reserve(size_t(in.width) * in.height * (in.ignoreAlpha ? 3 : 4) + 4096);
    TIFF* tif = Open(handle, "w", 0);
    if (!tif)
        return false;
    uint16_t samples = in.ignoreAlpha ? 3 : 4;
    bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, in.width)
        && TIFFSetField(tif, TIFFTAG_IMAGELENGTH, in.height)
        && TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8)
        && TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples)
        && TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB)
        && TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG)
        && TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE)
        && TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT)
        && TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    if (ok && samples == 4) {
        uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        ok = TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    if (ok && in.dpiX > 0 && in.dpiY > 0)
        ok = TIFFSetField(tif, TIFFTAG_XRESOLUTION, float(WholeDpiWhereNear(in.dpiX)))
            && TIFFSetField(tif, TIFFTAG_YRESOLUTION, float(WholeDpiWhereNear(in.dpiY)))
            && TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    std::vector<uint8_t> line(size_t(in.width) * samples);
    const uint8_t* row = in.firstRow;
    for (uint32_t y = 0; ok && y < in.height; ++y, row += in.stride) {
        const uint8_t* p = row;
        uint8_t* q = line.data();
        for (uint32_t x = 0; x < in.width; ++x, p += 4, q += samples) {
            q[0] = p[2];
            q[1] = p[1];
            q[2] = p[0];
            if (samples == 4)
                q[3] = p[3];
        }
        ok = TIFFWriteScanline(tif, line.data(), y, 0) == 1;
    }
    if (ok)
        ok = TIFFWriteDirectory(tif) == 1;
    TIFFClose(tif);
    if (!ok)
        out.clear();
    return ok;
}

} // namespace platform::imageio::detail
