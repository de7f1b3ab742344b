#include "lfw/mac/LImageBufferPainter.h"

#include "lfw/graphics/LConvertPixelFormat.h"
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
    LImageBufferCopy(mPrivate, mTarget);
    LImagePremultiplyAlpha(mPrivate);
    if (!OpenCairo(mPrivate, mContext, mSurface, mCairo))
        mPrivate.Reset();
}

void LImageBufferPainter::Flush()
{
    if (!mCairo || !mTarget.IsValid() || mTarget.GetFormat() != mPrivate.GetFormat())
        return;
    cairo_surface_flush(mSurface);
    // Pixels nothing was painted over keep their exact straight values.
    for (int y = 0; y < mTarget.GetHeight(); ++y)
        LPixelRows::UnpremultiplyChanged(
            mTarget.GetRow(y), mPrivate.GetRow(y), size_t(mTarget.GetWidth()));
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
    : mTarget(target)
{
    SetSurfaceSize(target.GetWidth(), target.GetHeight());
    if (!IsPaintable(mTarget))
        return;
    LImagePremultiplyAlpha(mTarget);
    if (OpenCairo(mTarget, mContext, mSurface, mCairo))
        cairo_set_line_cap(mCairo, CAIRO_LINE_CAP_SQUARE);
    else
        LImageUnpremultiplyAlpha(mTarget);
}

LImageBufferPainterDirect::~LImageBufferPainterDirect()
{
    if (!mCairo)
        return;
    cairo_surface_flush(mSurface);
    CloseCairo(mContext, mSurface, mCairo);
    LImageUnpremultiplyAlpha(mTarget);
}

void LImageBufferPainterDirect::SwapRedAndBlueChannels()
{
    SwapRows(mTarget);
}
