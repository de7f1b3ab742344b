#include "lfw/mac/LPaintSurface.h"

#include "lfw/graphics/LCGImageRefReader.h"

#include <algorithm>
#include <cmath>

namespace {

// A picture of more pixels than this, drawn at half its size or less onto pixels, is drawn from
// a reduced copy (below this, the copy Cairo paints from costs at most 16 MiB).
constexpr uint64_t kReduceFromPixels = uint64_t(1) << 22;

// Whether the context draws onto pixels (a window, an image) rather than into a page
// description, which keeps every pixel of a picture.
bool DrawsOntoPixels(cairo_t* cr)
{
    switch (cairo_surface_get_type(cairo_get_group_target(cr))) {
    case CAIRO_SURFACE_TYPE_IMAGE:
    case CAIRO_SURFACE_TYPE_XLIB:
    case CAIRO_SURFACE_TYPE_XCB:
        return true;
    default:
        return false;
    }
}

// A premultiplied surface of width / factor x height / factor pixels, each the mean of the
// stretch of the picture it stands for; null when the picture's format has no surface.
cairo_surface_t* ReducedSurface(const LImageBuffer& buffer, int factor)
{
    return LCGImageRefReader().CreateReducedImageRefFromImageBuffer(buffer,
        std::max(1, buffer.GetWidth() / factor), std::max(1, buffer.GetHeight() / factor), false);
}

} // namespace

void LPaintSurface::DrawImage(LPaintContext& ctx, const LImageBuffer& buffer, float x, float y,
    float w, float h, float alpha, LImageInterpolationMode)
{
    if (!ctx.IsDrawable() || !buffer.IsValid() || !(w > 0) || !(h > 0))
        return;
    cairo_t* cr = ctx.GetPlatformContext();
    // A large picture shown at a fraction of its size (a photo on the design canvas) is drawn
    // from a copy reduced by a whole factor to no less than the size it takes on the pixels:
    // Cairo's full-size copy would hold a second picture's worth of memory at every paint.
    cairo_surface_t* image = nullptr;
    const uint64_t pixels = uint64_t(buffer.GetWidth()) * uint64_t(buffer.GetHeight());
    if (pixels > kReduceFromPixels && DrawsOntoPixels(cr)) {
        double ax = w, ay = 0, bx = 0, by = h;
        cairo_user_to_device_distance(cr, &ax, &ay);
        cairo_user_to_device_distance(cr, &bx, &by);
        const double shownW = std::max(std::hypot(ax, ay), 1.0);
        const double shownH = std::max(std::hypot(bx, by), 1.0);
        const double factor
            = std::floor(std::min(buffer.GetWidth() / shownW, buffer.GetHeight() / shownH));
        if (factor >= 2)
            image = ReducedSurface(buffer, int(std::min(factor, 65536.0)));
    }
    if (!image)
        image = LCGImageRefReader().CreateImageRefFromImageBuffer(buffer, false);
    if (!image)
        return;
    DrawImageSurface(ctx, image, cairo_image_surface_get_width(image),
        cairo_image_surface_get_height(image), x, y, w, h, alpha);
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
