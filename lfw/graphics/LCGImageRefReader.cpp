#include "lfw/graphics/LCGImageRefReader.h"

#include "lfw/graphics/LConvertPixelFormat.h"
#include "lfw/graphics/LParallelParts.h"
#include "lfw/graphics/LPixelRows.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Cairo's own limit on either side of an image surface.
constexpr int kMaxSurfaceSide = 32767;

// Turns n pixels of a buffer row into a surface row.
using RowFn = void (*)(uint8_t* dst, const uint8_t* src, size_t n);

void CopyRow32(uint8_t* d, const uint8_t* s, size_t n)
{
    std::memcpy(d, s, 4 * n);
}

void ConvertRowB5G5R5X1(uint8_t* d, const uint8_t* s, size_t n)
{
    ConvertPixels(reinterpret_cast<LPFB8G8R8A8*>(d), reinterpret_cast<const LPFB5G5R5X1*>(s), n);
}

// The row function and the surface format for a buffer's pixel format; null for the formats
// without a surface form.
RowFn SurfaceRows(pixelformat_t pixels, bool ignoreAlpha, cairo_format_t& format)
{
    format = CAIRO_FORMAT_RGB24;
    switch (pixels) {
    case LPixelFormatB8G8R8A8:
        if (ignoreAlpha)
            return &CopyRow32;
        format = CAIRO_FORMAT_ARGB32;
        return &LPixelRows::Premultiply;
    case LPixelFormatB8G8R8:
        return &LPixelRows::AddAlpha;
    case LPixelFormatR8G8B8:
        return &LPixelRows::AddAlphaSwap;
    case LPixelFormatB5G5R5X1:
        return &ConvertRowB5G5R5X1;
    default:
        return nullptr;
    }
}

// A new surface for a buffer's pixels (not filled); null when it cannot be made.
cairo_surface_t* NewSurface(cairo_format_t format, int w, int h)
{
    if (w > kMaxSurfaceSide || h > kMaxSurfaceSide)
        return nullptr;
    cairo_surface_t* surface = cairo_image_surface_create(format, w, h);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    cairo_surface_flush(surface);
    return surface;
}

cairo_surface_t* CreateSurface(const LImageBuffer& buffer, bool ignoreAlpha, bool upright)
{
    if (!buffer.IsValid())
        return nullptr;
    cairo_format_t format;
    const RowFn rowFn = SurfaceRows(buffer.GetPixelFormat(), ignoreAlpha, format);
    if (!rowFn)
        return nullptr;
    const int w = buffer.GetWidth(), h = buffer.GetHeight();
    cairo_surface_t* surface = NewSurface(format, w, h);
    if (!surface)
        return nullptr;
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < h; ++y) {
        const unsigned char* row = upright ? buffer.GetPictureRow(y) : buffer.GetRow(y);
        rowFn(reinterpret_cast<uint8_t*>(data + size_t(y) * size_t(stride)), row, size_t(w));
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

// Where one pixel of a reduction takes its source pixels from, along one side. With n source
// and m reduced pixels, reduced pixel k covers [k n, (k + 1) n) and source pixel i covers
// [i m, (i + 1) m), in units of 1/(n m) of the side: it takes first with the weight its part of
// the span, the pixels between with weight m, and last (when another) with its part.
struct Span {
    int first, last;
    uint32_t firstWeight, lastWeight;
};

std::vector<Span> Spans(int n, int m)
{
    std::vector<Span> spans(static_cast<size_t>(m));
    for (int k = 0; k < m; ++k) {
        const int64_t begin = int64_t(k) * n, end = begin + n;
        Span& s = spans[size_t(k)];
        s.first = int(begin / m);
        s.last = int((end - 1) / m);
        s.firstWeight = uint32_t(std::min<int64_t>(int64_t(s.first + 1) * m, end) - begin);
        s.lastWeight = s.last > s.first ? uint32_t(end - int64_t(s.last) * m) : 0;
    }
    return spans;
}

// The weighted sums of one converted row (4 bytes a pixel) for every reduced pixel.
void SumAcross(const uint8_t* row, const std::vector<Span>& spans, uint32_t m, uint32_t* out)
{
    for (const Span& s : spans) {
        const uint8_t* p = row + size_t(s.first) * 4;
        uint32_t c0 = p[0] * s.firstWeight, c1 = p[1] * s.firstWeight, c2 = p[2] * s.firstWeight,
                 c3 = p[3] * s.firstWeight;
        if (s.last > s.first) {
            uint32_t m0 = 0, m1 = 0, m2 = 0, m3 = 0;
            for (const uint8_t *q = p + 4, *stop = row + size_t(s.last) * 4; q < stop; q += 4) {
                m0 += q[0];
                m1 += q[1];
                m2 += q[2];
                m3 += q[3];
            }
            const uint8_t* l = row + size_t(s.last) * 4;
            c0 += m0 * m + l[0] * s.lastWeight;
            c1 += m1 * m + l[1] * s.lastWeight;
            c2 += m2 * m + l[2] * s.lastWeight;
            c3 += m3 * m + l[3] * s.lastWeight;
        }
        out[0] = c0;
        out[1] = c1;
        out[2] = c2;
        out[3] = c3;
        out += 4;
    }
}

// Paints the image at (0, 0) in its own size into a B8G8R8A8 buffer, on the buffer's own memory
// in picture order (a bottom-up buffer is walked with a negative stride). With keep, the image
// goes over the buffer's straight pixels, premultiplied for the painting and divided out again
// afterwards (opaque and blank pixels are only read); without, the buffer's pixels are not read:
// the image replaces them, and what it does not cover becomes transparent. False, the buffer
// untouched, when Cairo cannot take the buffer's memory.
bool PaintOnBuffer(LImageBuffer& buffer, cairo_surface_t* image, bool keep)
{
    const int w = buffer.GetWidth(), h = buffer.GetHeight();
    const uint64_t stride = buffer.GetStride();
    if (w > kMaxSurfaceSide || h > kMaxSurfaceSide || stride % 4 != 0 || stride > 0x7FFFFFFF)
        return false;
    const int step = buffer.IsBottomUp() ? -int(stride) : int(stride);
    cairo_surface_t* canvas = cairo_image_surface_create_for_data(
        buffer.GetPictureRow(0), CAIRO_FORMAT_ARGB32, w, h, step);
    if (cairo_surface_status(canvas) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(canvas);
        return false;
    }
    if (keep)
        for (int y = 0; y < h; ++y)
            LPixelRows::Premultiply(buffer.GetRow(y), buffer.GetRow(y), size_t(w));
    cairo_t* cr = cairo_create(canvas);
    if (!keep)
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, image, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_finish(canvas);
    cairo_surface_destroy(canvas);
    for (int y = 0; y < h; ++y)
        LPixelRows::Unpremultiply(buffer.GetRow(y), buffer.GetRow(y), size_t(w));
    return true;
}

bool MakeWorkingBuffer(LImageBuffer& buffer, int w, int h)
{
    const LImageFormat& f = buffer.GetFormat();
    if (buffer.IsValid() && f.pixelFormat == LPixelFormatB8G8R8A8 && f.width == w && f.height == h
        && !f.bottomUp)
        return true;
    buffer.AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8A8, w, h, false));
    return buffer.IsValid();
}

} // namespace

cairo_surface_t* LCGImageRefReader::CreateImageRefFromImageBuffer(
    const LImageBuffer& buffer, bool ignoreAlpha) const
{
    return CreateSurface(buffer, ignoreAlpha, true);
}

cairo_surface_t* LCGImageRefReader::CreateImageRefFromImageBufferCorrectOrientation(
    const LImageBuffer& buffer, bool ignoreAlpha) const
{
    return CreateSurface(buffer, ignoreAlpha, false);
}

cairo_surface_t* LCGImageRefReader::CreateReducedImageRefFromImageBuffer(
    const LImageBuffer& buffer, int width, int height, bool ignoreAlpha) const
{
    if (!buffer.IsValid())
        return nullptr;
    const int sw = buffer.GetWidth(), sh = buffer.GetHeight();
    if (width < 1 || height < 1 || width > sw || height > sh)
        return nullptr;
    if (width == sw && height == sh)
        return CreateSurface(buffer, ignoreAlpha, true);
    cairo_format_t format;
    const RowFn rowFn = SurfaceRows(buffer.GetPixelFormat(), ignoreAlpha, format);
    // Only the reduced surface is made: a source wider or taller than any surface still reduces.
    if (!rowFn)
        return nullptr;
    cairo_surface_t* surface = NewSurface(format, width, height);
    if (!surface)
        return nullptr;
    unsigned char* data = cairo_image_surface_get_data(surface);
    const size_t stride = size_t(cairo_image_surface_get_stride(surface));
    const std::vector<Span> across = Spans(sw, width), down = Spans(sh, height);
    // Every reduced pixel weighs sw x sh units of source pixels.
    const double unit = 1.0 / (double(sw) * double(sh));
    const size_t values = size_t(width) * 4;
    auto reduceRows = [&](int, size_t begin, size_t end) {
        std::vector<uint8_t> row(size_t(sw) * 4);
        std::vector<uint32_t> sums(values);
        std::vector<uint64_t> total(values);
        int summed = -1; // the source row whose sums are in sums
        auto add = [&](int y, uint32_t weight) {
            if (y != summed) {
                rowFn(row.data(), buffer.GetPictureRow(y), size_t(sw));
                SumAcross(row.data(), across, uint32_t(width), sums.data());
                summed = y;
            }
            for (size_t i = 0; i < values; ++i)
                total[i] += uint64_t(weight) * sums[i];
        };
        for (size_t k = begin; k < end; ++k) {
            const Span& s = down[k];
            std::fill(total.begin(), total.end(), 0);
            add(s.first, s.firstWeight);
            for (int y = s.first + 1; y < s.last; ++y)
                add(y, uint32_t(height));
            if (s.last > s.first)
                add(s.last, s.lastWeight);
            unsigned char* out = data + k * stride;
            for (size_t i = 0; i < values; ++i)
                out[i] = uint8_t(double(total[i]) * unit + 0.5);
        }
    };
    LRunInParts(size_t(height), LParallelPartCount(size_t(sw) * size_t(sh), 1 << 20), reduceRows);
    cairo_surface_mark_dirty(surface);
    return surface;
}

LProcessResult LCGImageRefReader::GetImageBufferFromImageRef(
    LProcessInterface& job, LImageBuffer& buffer, cairo_surface_t* image) const
{
    if (job.IsToStop())
        return LProcessResultStopped;
    if (!image || cairo_surface_status(image) != CAIRO_STATUS_SUCCESS
        || cairo_surface_get_type(image) != CAIRO_SURFACE_TYPE_IMAGE)
        return LProcessResultError;
    const int w = cairo_image_surface_get_width(image);
    const int h = cairo_image_surface_get_height(image);
    if (w < 1 || h < 1 || !MakeWorkingBuffer(buffer, w, h))
        return LProcessResultError;

    const cairo_format_t format = cairo_image_surface_get_format(image);
    if (format != CAIRO_FORMAT_ARGB32 && format != CAIRO_FORMAT_RGB24) {
        // Painted onto transparency: the image replaces every pixel, so no clear comes first.
        if (!PaintOnBuffer(buffer, image, false)) {
            LProcessInterfaceVoid silent;
            buffer.Clear(silent, LPixelColour());
            PaintImageToBGRAImageBuffer(buffer, image);
        }
        return LProcessResultSuccess;
    }

    return CopyRGBAImageToBGRAImageBuffer(job, buffer, image);
}

LProcessResult LCGImageRefReader::CopyRGBAImageToBGRAImageBuffer(
    LProcessInterface& job, LImageBuffer& buffer, cairo_surface_t* image) const
{
    if (!image || cairo_surface_status(image) != CAIRO_STATUS_SUCCESS
        || cairo_surface_get_type(image) != CAIRO_SURFACE_TYPE_IMAGE)
        return LProcessResultError;
    const cairo_format_t format = cairo_image_surface_get_format(image);
    const int w = cairo_image_surface_get_width(image);
    const int h = cairo_image_surface_get_height(image);
    const LImageFormat& f = buffer.GetFormat();
    if ((format != CAIRO_FORMAT_ARGB32 && format != CAIRO_FORMAT_RGB24) || !buffer.IsValid()
        || f.pixelFormat != LPixelFormatB8G8R8A8 || f.bottomUp || f.width != w || f.height != h)
        return LProcessResultError;
    cairo_surface_flush(image);
    const unsigned char* data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    if (!data)
        return LProcessResultError;
    if (job.IsToStop())
        return LProcessResultStopped;
    for (int y = 0; y < h; ++y) {
        if (job.IsToStop())
            return LProcessResultStopped;
        const uint8_t* s = data + size_t(y) * size_t(stride);
        uint8_t* d = buffer.GetRow(y);
        if (format == CAIRO_FORMAT_ARGB32) {
            LPixelRows::Unpremultiply(d, s, size_t(w));
        } else {
            std::memcpy(d, s, size_t(w) * 4);
            LPixelRows::SetOpaque(d, size_t(w));
        }
    }
    return LProcessResultSuccess;
}

void LCGImageRefReader::PaintImageToBGRAImageBuffer(
    LImageBuffer& buffer, cairo_surface_t* image) const
{
    if (!image || !buffer.IsValid() || buffer.GetPixelFormat() != LPixelFormatB8G8R8A8)
        return;
    if (PaintOnBuffer(buffer, image, true))
        return;
    // A buffer Cairo cannot draw on in place: paint on a premultiplied copy, then take it back.
    cairo_surface_t* canvas = CreateSurface(buffer, false, true);
    if (!canvas)
        return;
    cairo_t* cr = cairo_create(canvas);
    cairo_set_source_surface(cr, image, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(canvas);
    const unsigned char* data = cairo_image_surface_get_data(canvas);
    const int stride = cairo_image_surface_get_stride(canvas);
    for (int y = 0; y < buffer.GetHeight(); ++y)
        LPixelRows::Unpremultiply(
            buffer.GetPictureRow(y), data + size_t(y) * size_t(stride), size_t(buffer.GetWidth()));
    cairo_surface_destroy(canvas);
}
