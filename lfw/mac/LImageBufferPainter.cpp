#include "lfw/mac/LImageBufferPainter.h"

#include "lfw/graphics/LPixelRows.h"

namespace {

bool IsPaintable(const LImageBuffer& b)
{
    // Cairo takes at most 32767 pixels a side and a row stride that fits an int.
    return b.IsValid() && b.GetPixelFormat() == LPixelFormatB8G8R8A8 && b.GetWidth() <= 32767
        && b.GetHeight() <= 32767 && b.GetStride() <= 0x7FFFFFFF && b.GetStride() % 4 == 0;
}

// Cairo over the buffer's memory (premultiplied B, G, R, A is Cairo's ARGB32 on this machine),
// with y down from the picture's top row: a bottom-up buffer gets a flipped base transform.
bool OpenCairo(LImageBuffer& b, LPaintContext& ctx, cairo_surface_t*& surface, cairo_t*& cr)
{
    surface = cairo_image_surface_create_for_data(
        b.GetData(), CAIRO_FORMAT_ARGB32, b.GetWidth(), b.GetHeight(), int(b.GetStride()));
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        surface = nullptr;
        return false;
    }
    cr = cairo_create(surface);
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
        cr = nullptr;
        surface = nullptr;
        return false;
    }
    if (b.IsBottomUp()) {
        cairo_translate(cr, 0, b.GetHeight());
        cairo_scale(cr, 1, -1);
    }
    ctx.SetPlatformContext(cr);
    ctx.SetClientRect(0, 0, b.GetWidth(), b.GetHeight());
    ctx.RecordBaseTransform();
    return true;
}

void CloseCairo(LPaintContext& ctx, cairo_surface_t*& surface, cairo_t*& cr)
{
    ctx.SetPlatformContext(nullptr);
    if (cr)
        cairo_destroy(cr);
    if (surface) {
        cairo_surface_finish(surface);
        cairo_surface_destroy(surface);
    }
    cr = nullptr;
    surface = nullptr;
}

void SwapRows(LImageBuffer& b)
{
    if (!b.IsValid() || LPixelFormatBytesPerPixel(b.GetPixelFormat()) != 4)
        return;
    for (int y = 0; y < b.GetHeight(); ++y)
        LPixelRows::SwapRedBlue(b.GetRow(y), b.GetRow(y), size_t(b.GetWidth()));
}

// Calls fn(offset, pixels) for the stored pixels of a 4-byte buffer: once for the whole store
// when its rows have no padding, else once per row. Offsets are in bytes from the first row.
template <class Fn> void ForEachRun(const LImageBuffer& b, Fn&& fn)
{
    const size_t width = size_t(b.GetWidth());
    const size_t stride = size_t(b.GetStride());
    if (stride == width * 4) {
        fn(size_t(0), width * size_t(b.GetHeight()));
        return;
    }
    for (size_t y = 0, h = size_t(b.GetHeight()); y < h; ++y)
        fn(y * stride, width);
}

// In place; opaque and blank pixels are only read.
void Premultiply(LImageBuffer& b)
{
    uint8_t* data = b.GetData();
    ForEachRun(b, [&](size_t at, size_t n) { LPixelRows::Premultiply(data + at, data + at, n); });
}

void Unpremultiply(LImageBuffer& b)
{
    uint8_t* data = b.GetData();
    ForEachRun(b, [&](size_t at, size_t n) { LPixelRows::Unpremultiply(data + at, data + at, n); });
}

} // namespace

// ---- copying painter ----

LImageBufferPainter::LImageBufferPainter(LImageBuffer& target)
    : mTarget(target)
{
    SetSurfaceSize(target.GetWidth(), target.GetHeight());
    LoadImageBuffer();
}

LImageBufferPainter::~LImageBufferPainter()
{
    if (mTarget.IsValid())
        Flush();
    DestroyImageBufferPainter();
}

void LImageBufferPainter::LoadImageBuffer()
{
    DestroyImageBufferPainter();
    if (!IsPaintable(mTarget))
        return;
    mPrivate.AllocateNewBuffer(mTarget.GetFormat());
    if (!mPrivate.IsValid())
        return;
    // The copy is premultiplied as it is made: one pass over the target. Both have the same
    // format, so the same stride and row order.
    uint8_t* privateData = mPrivate.GetData();
    const uint8_t* targetData = mTarget.GetData();
    ForEachRun(mPrivate, [&](size_t at, size_t n) {
        LPixelRows::Premultiply(privateData + at, targetData + at, n);
    });
    if (!OpenCairo(mPrivate, mContext, mSurface, mCairo))
        mPrivate.Reset();
}

void LImageBufferPainter::Flush()
{
    if (!mCairo || !mTarget.IsValid() || mTarget.GetFormat() != mPrivate.GetFormat())
        return;
    cairo_surface_flush(mSurface);
    // Pixels nothing was painted over keep their exact straight values (and are only read).
    uint8_t* targetData = mTarget.GetData();
    const uint8_t* privateData = mPrivate.GetData();
    ForEachRun(mTarget, [&](size_t at, size_t n) {
        LPixelRows::UnpremultiplyChanged(targetData + at, privateData + at, n);
    });
}

void LImageBufferPainter::DestroyImageBufferPainter()
{
    CloseCairo(mContext, mSurface, mCairo);
    mPrivate.Reset();
}

void LImageBufferPainter::SwapRedAndBlueChannels(LImageBuffer& buffer) const
{
    SwapRows(buffer);
}

// ---- direct painter ----

LImageBufferPainterDirect::LImageBufferPainterDirect(LImageBuffer& target)
    : LImageBufferPainterDirect(target, false)
{
}

LImageBufferPainterDirect::LImageBufferPainterDirect(LImageBuffer& target, bool opaqueTarget)
    : mTarget(target)
    , mOpaque(opaqueTarget)
{
    SetSurfaceSize(target.GetWidth(), target.GetHeight());
    if (!IsPaintable(mTarget))
        return;
    if (!mOpaque)
        Premultiply(mTarget);
    if (OpenCairo(mTarget, mContext, mSurface, mCairo))
        cairo_set_line_cap(mCairo, CAIRO_LINE_CAP_SQUARE);
    else if (!mOpaque)
        Unpremultiply(mTarget);
}

LImageBufferPainterDirect::~LImageBufferPainterDirect()
{
    if (!mCairo)
        return;
    cairo_surface_flush(mSurface);
    CloseCairo(mContext, mSurface, mCairo);
    if (!mOpaque)
        Unpremultiply(mTarget);
}

void LImageBufferPainterDirect::SwapRedAndBlueChannels()
{
    SwapRows(mTarget);
}
