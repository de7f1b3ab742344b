#include "lfw/mac/LPaintImagePass.h"

#include "lfw/mac/LPaintContext.h"

#include <cmath>

LPaintImagePass::LPaintImagePass(LPaintContext& context)
    : fContext(context)
    , fTarget(context.GetPlatformContext())
{
    if (!fTarget || cairo_status(fTarget) != CAIRO_STATUS_SUCCESS
        || cairo_surface_get_type(cairo_get_target(fTarget)) == CAIRO_SURFACE_TYPE_IMAGE)
        return;
    // The part being repainted, in the target's units and then in its pixels.
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    cairo_save(fTarget);
    cairo_identity_matrix(fTarget);
    cairo_clip_extents(fTarget, &x1, &y1, &x2, &y2);
    cairo_restore(fTarget);
    double sx = 1, sy = 1;
    cairo_surface_get_device_scale(cairo_get_target(fTarget), &sx, &sy);
    const double left = std::floor(x1 * sx), top = std::floor(y1 * sy);
    const double width = std::ceil(x2 * sx) - left, height = std::ceil(y2 * sy) - top;
    if (!(width > 0 && height > 0) || width > 32767 || height > 32767)
        return;
    cairo_surface_t* image
        = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(width), int(height));
    if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(image);
        return;
    }
    cairo_surface_set_device_scale(image, sx, sy);
    cairo_surface_set_device_offset(image, -left, -top);
    fImage = image;
    fImageContext = cairo_create(fImage);
    // The same transform and the same part: what is drawn lands on the same pixels.
    cairo_matrix_t m;
    cairo_get_matrix(fTarget, &m);
    cairo_rectangle(fImageContext, x1, y1, x2 - x1, y2 - y1);
    cairo_clip(fImageContext);
    cairo_set_matrix(fImageContext, &m);
    fContext.SetPlatformContext(fImageContext);
}

LPaintImagePass::~LPaintImagePass()
{
    if (!fImage)
        return;
    fContext.SetPlatformContext(fTarget);
    cairo_destroy(fImageContext);
    cairo_surface_flush(fImage);
    cairo_save(fTarget);
    cairo_identity_matrix(fTarget);
    cairo_set_source_surface(fTarget, fImage, 0, 0);
    cairo_paint(fTarget);
    cairo_restore(fTarget);
    cairo_surface_destroy(fImage);
}
