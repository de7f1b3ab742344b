#include "lfw/graphics/LCGImageRefReader.h"

#include "lfw/graphics/LConvertPixelFormat.h"
#include "lfw/graphics/LPixelRows.h"

#include <cstring>

namespace {

// Cairo's own limit on either side of an image surface.
constexpr int kMaxSurfaceSide = 32767;

// Writes one surface row from one buffer row.
template <class RowFn>
cairo_surface_t* MakeSurface(
    const LImageBuffer& buffer, bool upright, cairo_format_t format, RowFn&& rowFn)
{
    const int w = buffer.GetWidth(), h = buffer.GetHeight();
    if (w > kMaxSurfaceSide || h > kMaxSurfaceSide)
        return nullptr;
    cairo_surface_t* surface = cairo_image_surface_create(format, w, h);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < h; ++y) {
        const unsigned char* row = upright ? buffer.GetPictureRow(y) : buffer.GetRow(y);
        rowFn(reinterpret_cast<uint8_t*>(data + size_t(y) * size_t(stride)), row, size_t(w));
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

cairo_surface_t* CreateSurface(const LImageBuffer& buffer, bool ignoreAlpha, bool upright)
{
    if (!buffer.IsValid())
        return nullptr;
    switch (buffer.GetPixelFormat()) {
    case LPixelFormatB8G8R8A8:
        if (ignoreAlpha)
            return MakeSurface(buffer, upright, CAIRO_FORMAT_RGB24,
                [](uint8_t* d, const uint8_t* s, size_t n) { std::memcpy(d, s, 4 * n); });
        return MakeSurface(buffer, upright, CAIRO_FORMAT_ARGB32, &LPixelRows::Premultiply);
    case LPixelFormatB8G8R8:
        return MakeSurface(buffer, upright, CAIRO_FORMAT_RGB24, &LPixelRows::AddAlpha);
    case LPixelFormatR8G8B8:
        return MakeSurface(buffer, upright, CAIRO_FORMAT_RGB24, &LPixelRows::AddAlphaSwap);
    case LPixelFormatB5G5R5X1:
        return MakeSurface(
            buffer, upright, CAIRO_FORMAT_RGB24, [](uint8_t* d, const uint8_t* s, size_t n) {
                ConvertPixels(
                    reinterpret_cast<LPFB8G8R8A8*>(d), reinterpret_cast<const LPFB5G5R5X1*>(s), n);
            });
    default:
        return nullptr;
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
