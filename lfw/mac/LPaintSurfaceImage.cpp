#include "lfw/mac/LPaintSurface.h"

#include "lfw/graphics/LCGImageRefReader.h"

#include <algorithm>

void LPaintSurface::DrawImage(LPaintContext& ctx, const LImageBuffer& buffer, float x, float y,
    float w, float h, float alpha, LImageInterpolationMode)
{
    if (!ctx.IsDrawable() || !buffer.IsValid() || !(w > 0) || !(h > 0))
        return;
    cairo_surface_t* image = LCGImageRefReader().CreateImageRefFromImageBuffer(buffer, false);
    if (!image)
        return;
    DrawImageSurface(ctx, image, buffer.GetWidth(), buffer.GetHeight(), x, y, w, h, alpha);
    cairo_surface_destroy(image);
}

void LPaintSurface::DrawImageSurface(LPaintContext& ctx, cairo_surface_t* image, int iw, int ih,
    float x, float y, float w, float h, float alpha)
{
    if (!ctx.IsDrawable() || !image || iw < 1 || ih < 1 || !(w > 0) || !(h > 0))
        return;
    cairo_t* cr = ctx.GetPlatformContext();
    const float savedAlpha = ctx.mAlpha;
    ctx.mAlpha = alpha;
    cairo_save(cr);
    cairo_rectangle(cr, x, y, w, h);
    cairo_clip(cr);
    cairo_translate(cr, x, y);
    cairo_scale(cr, double(w) / iw, double(h) / ih);
    cairo_set_source_surface(cr, image, 0, 0);
    // The edge pixels reach the rectangle's edges instead of fading out when scaled up.
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_paint_with_alpha(cr, std::clamp(double(alpha), 0.0, 1.0));
    cairo_restore(cr);
    ctx.mAlpha = savedAlpha;
}
