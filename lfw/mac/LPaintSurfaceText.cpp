// Text drawing and measuring through the text service: the shared one on the main thread, a
// fresh one per call on any other thread.

#include "lfw/mac/LPaintSurface.h"
#include "lfw/mac/LTextLayoutCache.h"
#include "lfw/mac/cocoa/LCocoaTextManagerImpl.h"
#include "platform/text/ShapedLine.h"

#include <cairo.h>

#include <cmath>

namespace {

// Red, green, blue and alpha as bytes.
void PutRGBA8(unsigned char (&out)[4], const LGuiColorAlpha& c)
{
    out[0] = c.GetRed8();
    out[1] = c.GetGreen8();
    out[2] = c.GetBlue8();
    out[3] = c.alpha;
}

LCocoaTextPaintData PaintData(const LPaintContext& ctx)
{
    LCocoaTextPaintData pd;
    pd.cr = ctx.GetPlatformContext();
    const LGuiFont& font = ctx.GetFont();
    pd.font = font.GetPlatformFont();
    pd.underline = font.IsUnderlined();
    pd.strikeout = font.IsStrikeout();
    PutRGBA8(pd.textColor, ctx.mTextColor);
    pd.outline = ctx.mTextOutline;
    PutRGBA8(pd.outlineColor, ctx.mTextOutlineColor);
    pd.outlineWidth = ctx.mTextOutlineWidth;
    return pd;
}

} // namespace

void LPaintSurface::_DrawText(LPaintContext& ctx, const char* utf8, float x, float y, float w,
    float h, LAlignmentX alignX, LAlignmentY alignY, LTextWrapping wrapping, LTextTrimming trimming,
    bool transparentBackground, LTextLayoutCache* cache)
{
    if (!utf8 || !*utf8 || !(w > 0) || !(h > 0) || !ctx.IsDrawable())
        return;
    LDrawTextFormat format(alignX, alignY, wrapping, trimming);
    LBoundingBox2T<float> rect(x, y, x + w, y + h);
    LCocoaTextPaintData pd = PaintData(ctx);
    if (LCocoaTextManagerImpl* kept = cache ? cache->Get() : nullptr) {
        kept->drawText(utf8, &pd, format, rect, transparentBackground);
    } else if (LIsMainThread()) {
        LCocoaTextManagerImpl::sharedTextManager().drawText(
            utf8, &pd, format, rect, transparentBackground);
    } else {
        LCocoaTextManagerImpl local(&pd);
        local.drawText(utf8, &pd, format, rect, transparentBackground);
    }
}

void LPaintSurface::DrawText(LPaintContext& ctx, const char* utf8, int x, int y, int w, int h,
    LAlignmentX alignX, LAlignmentY alignY, LTextWrapping wrapping, LTextTrimming trimming)
{
    _DrawText(ctx, utf8, float(x), float(y), float(w), float(h), alignX, alignY, wrapping, trimming,
        false);
}

void LPaintSurface::DrawText(LPaintContext& ctx, const char* utf8, float x, float y, float w,
    float h, LAlignmentX alignX, LAlignmentY alignY, LTextWrapping wrapping, LTextTrimming trimming)
{
    _DrawText(ctx, utf8, x, y, w, h, alignX, alignY, wrapping, trimming, false);
}

void LPaintSurface::DrawText(LPaintContext& ctx, const char* utf8, const LBoundingBox2T<float>& box,
    const LDrawTextFormat& format, const LGuiBrush& brush, LTextLayoutCache* cache)
{
    ctx.mTextColor = brush.GetColor();
    _DrawText(ctx, utf8, box.left, box.top, box.right - box.left, box.bottom - box.top,
        format.alignX, format.alignY, format.wrapping, format.trimming, true, cache);
}

void LPaintSurface::MeasureText(const LPaintContext& ctx, float& width, float& height,
    const char* utf8, const LBoundingBox2T<float>& box, const LDrawTextFormat& format)
{
    width = 0;
    height = 0;
    if (!utf8 || !*utf8)
        return;
    LCocoaTextPaintData pd = PaintData(ctx);
    double w = 0, h = 0;
    if (LIsMainThread()) {
        LCocoaTextManagerImpl::sharedTextManager().measureText(utf8, &pd, format, box, w, h);
    } else {
        LCocoaTextManagerImpl local(&pd);
        local.measureText(utf8, &pd, format, box, w, h);
    }
    width = float(w);
    height = float(h);
}

std::unique_ptr<platform::text::ShapedLine> LPaintSurface::ShapeLine(
    const LPaintContext& ctx, const char* utf8)
{
    return std::make_unique<platform::text::ShapedLine>(utf8, ctx.GetFont().GetPlatformFont());
}

void LPaintSurface::DrawShapedCluster(
    LPaintContext& ctx, const platform::text::ShapedLine& line, size_t index, float x, float y)
{
    if (!ctx.IsDrawable())
        return;
    const LCocoaTextPaintData pd = PaintData(ctx);
    platform::text::TextPaint paint;
    for (int i = 0; i < 4; ++i) {
        paint.fill[i] = pd.textColor[i] / 255.0;
        paint.stroke[i] = pd.outlineColor[i] / 255.0;
    }
    if (pd.outline) {
        // As straight text: the outline's width is a percentage of the font size.
        const double size = pd.font ? pd.font->Size() : platform::text::kSystemFontSize;
        paint.outline = true;
        paint.strokeWidth = std::fabs(pd.outlineWidth) * size / 100.0;
    }
    cairo_t* cr = pd.cr;
    cairo_save(cr);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
    line.DrawCluster(cr, index, x, y, paint, pd.underline, pd.strikeout);
    cairo_restore(cr);
}
