// Gradient shadings, texture patterns and the stroke set-up of line styles.

#include "lfw/mac/LGuiImage.h"
#include "lfw/mac/LPaintSurface.h"
#include "lfw/mac/LPaintSurfacePrivate.h"

#include <algorithm>
#include <cmath>

namespace {

double Clamp01(double v)
{
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}

void AddStop(cairo_pattern_t* p, double offset, const double c[4])
{
    cairo_pattern_add_color_stop_rgba(
        p, offset, Clamp01(c[0]), Clamp01(c[1]), Clamp01(c[2]), Clamp01(c[3]));
}

// Gives the pattern colour stops that reproduce the shading's colour function over 0..1. The
// function is linear between the stop positions, so two cairo stops per interval between
// neighbouring positions are exact; a jump between intervals becomes two stops at one offset.
void AddColorFunction(cairo_pattern_t* p, const LGuiGradientStops& stops)
{
    int n = int(std::min<uint64_t>(stops.count, kLGuiBrushMaxStops));
    double breaks[kLGuiBrushMaxStops + 2];
    int nb = 0;
    breaks[nb++] = 0.0;
    breaks[nb++] = 1.0;
    for (int i = 0; i < n; ++i) {
        double pos = stops.positions[i];
        if (pos > 0.0 && pos < 1.0)
            breaks[nb++] = pos;
    }
    std::sort(breaks, breaks + nb);
    nb = int(std::unique(breaks, breaks + nb) - breaks);
    for (int j = 0; j + 1 < nb; ++j) {
        double a = breaks[j], b = breaks[j + 1];
        int k = stops.PairAt((a + b) / 2);
        // The pair of the interval, evaluated at its ends.
        LGuiGradientStops pair;
        pair.colors[0] = stops.colors[k];
        pair.colors[1] = stops.colors[k + 1];
        pair.positions[0] = stops.positions[k];
        pair.positions[1] = stops.positions[k + 1];
        pair.count = 2;
        double ca[4], cb[4];
        pair.Evaluate(a, ca);
        pair.Evaluate(b, cb);
        AddStop(p, a, ca);
        AddStop(p, b, cb);
    }
}

// The source of a gradient: null without stops, a plain colour with one stop.
cairo_pattern_t* GradientOrSolid(
    const LGuiGradientStops& stops, cairo_pattern_t* (*make)(void*), void* arg)
{
    if (stops.count == 0)
        return nullptr;
    if (stops.count == 1) {
        const LGuiColorAlpha& c = stops.colors[0];
        return cairo_pattern_create_rgba(c.GetRedF(), c.GetGreenF(), c.GetBlueF(), c.GetAlphaF());
    }
    cairo_pattern_t* p = make(arg);
    if (!p || cairo_pattern_status(p) != CAIRO_STATUS_SUCCESS) {
        if (p)
            cairo_pattern_destroy(p);
        return nullptr;
    }
    AddColorFunction(p, stops);
    cairo_pattern_set_extend(p, CAIRO_EXTEND_PAD);
    return p;
}

cairo_pattern_t* LinearPattern(const LGuiBrushGradientLinear& b)
{
    auto make = [](void* arg) {
        auto* g = static_cast<const LGuiBrushGradientLinear*>(arg);
        return cairo_pattern_create_linear(g->mStartX, g->mStartY, g->mEndX, g->mEndY);
    };
    return GradientOrSolid(b.mStops, make, const_cast<LGuiBrushGradientLinear*>(&b));
}

cairo_pattern_t* RadialPattern(const LGuiBrushGradientRadial& b)
{
    // A circle of radius rx about (cx, cy / s), scaled vertically by s = ry / rx, is the
    // ellipse of radii rx, ry about (cx, cy). With rx (or ry) 0 the ellipse is flat: nothing.
    double r = b.mRadiusX;
    if (std::fabs(r) < 1.1920929e-7)
        return nullptr;
    double s = double(b.mRadiusY) / r;
    if (s == 0 || !std::isfinite(s))
        return nullptr;
    struct Args {
        double cx, cy, r;
    } args { b.mCenterX, b.mCenterY / s, std::fabs(r) };
    auto make = [](void* arg) {
        auto* a = static_cast<Args*>(arg);
        // Position 0 on the outer circle, 1 at the centre.
        return cairo_pattern_create_radial(a->cx, a->cy, a->r, a->cx, a->cy, 0);
    };
    cairo_pattern_t* p = GradientOrSolid(b.mStops, make, &args);
    if (p && b.mStops.count > 1) {
        cairo_matrix_t m;
        cairo_matrix_init_scale(&m, 1.0, 1.0 / s);
        cairo_pattern_set_matrix(p, &m);
    }
    return p;
}

// The texture's tiles lie in the context's untransformed space (its base transform), turned by
// the brush's rotation: what the drawing transform does to the shape it does not do to the tiles.
// Without a context the tiles lie in the user space the pattern is set in.
cairo_pattern_t* TexturePattern(const LGuiTextureBrush& b, const LPaintContext* ctx)
{
    int w = 0, h = 0;
    if (!b.mImage || !b.mImage->GetSize(w, h) || w <= 0 || h <= 0)
        return nullptr;
    // The cell: the image drawn at (0, 0) in its own size, used as a stencil painted in opaque
    // black.
    cairo_surface_t* cell = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    if (cairo_surface_status(cell) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(cell);
        return nullptr;
    }
    cairo_t* cr = cairo_create(cell);
    b.mImage->Draw(cr, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_IN);
    cairo_set_source_rgba(cr, 0, 0, 0, 1);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_pattern_t* p = cairo_pattern_create_for_surface(cell);
    cairo_surface_destroy(cell);
    cairo_pattern_set_extend(p, CAIRO_EXTEND_REPEAT);
    // user space -> device (the present transform) -> base space -> pattern space.
    cairo_matrix_t m;
    cairo_matrix_init_identity(&m);
    if (ctx) {
        cairo_matrix_t current, base = ctx->GetBaseTransform();
        ctx->GetPlatformTransform(current);
        if (cairo_matrix_invert(&base) == CAIRO_STATUS_SUCCESS)
            cairo_matrix_multiply(&m, &current, &base);
    }
    if (b.mRotation != 0 && std::isfinite(b.mRotation)) {
        cairo_matrix_t unrotate;
        cairo_matrix_init_rotate(&unrotate, -double(b.mRotation));
        cairo_matrix_multiply(&m, &m, &unrotate);
    }
    cairo_pattern_set_matrix(p, &m);
    return p;
}

cairo_pattern_t* BrushPattern(const LPaintContext* ctx, const LGuiBrush& brush)
{
    switch (brush.GetType()) {
    case LGuiBrushTypeSolid: {
        const LGuiColorAlpha& c = brush.GetColor();
        return cairo_pattern_create_rgba(c.GetRedF(), c.GetGreenF(), c.GetBlueF(), c.GetAlphaF());
    }
    case LGuiBrushTypeLinearGradient:
        return LinearPattern(static_cast<const LGuiBrushGradientLinear&>(brush));
    case LGuiBrushTypeRadialGradient:
        return RadialPattern(static_cast<const LGuiBrushGradientRadial&>(brush));
    case LGuiBrushTypeTexture:
        return TexturePattern(static_cast<const LGuiTextureBrush&>(brush), ctx);
    default:
        return nullptr;
    }
}

} // namespace

cairo_pattern_t* LPaintSurface::CreateBrushPattern(const LGuiBrush& brush)
{
    return BrushPattern(nullptr, brush);
}

cairo_pattern_t* LPaintSurface::CreateBrushPattern(const LPaintContext& ctx, const LGuiBrush& brush)
{
    return BrushPattern(&ctx, brush);
}

void LPaintSurface::ApplyLinearGradient(const LPaintContext& ctx, const LGuiBrushGradientLinear& b)
{
    if (!ctx.IsDrawable())
        return;
    if (cairo_pattern_t* p = LinearPattern(b)) {
        cairo_t* cr = ctx.GetPlatformContext();
        cairo_set_source(cr, p);
        cairo_paint(cr);
        cairo_pattern_destroy(p);
    }
}

void LPaintSurface::ApplyRadialGradient(const LPaintContext& ctx, const LGuiBrushGradientRadial& b)
{
    if (!ctx.IsDrawable())
        return;
    if (cairo_pattern_t* p = RadialPattern(b)) {
        cairo_t* cr = ctx.GetPlatformContext();
        cairo_set_source(cr, p);
        cairo_paint(cr);
        cairo_pattern_destroy(p);
    }
}

void LPaintSurface::ApplyTexturePattern(const LPaintContext& ctx, const LGuiTextureBrush& b)
{
    if (!ctx.IsDrawable())
        return;
    if (cairo_pattern_t* p = TexturePattern(b, &ctx)) {
        cairo_set_source(ctx.GetPlatformContext(), p);
        cairo_pattern_destroy(p);
    }
}

void LPaintSurface::_FillRectGradient(LPaintContext& ctx, const LGuiColorAlpha& from,
    const LGuiColorAlpha& to, bool vertical, int x, int y, int w, int h)
{
    if (!ctx.IsDrawable())
        return;
    cairo_t* cr = ctx.GetPlatformContext();
    cairo_pattern_t* p = vertical ? cairo_pattern_create_linear(x, y, x, double(y) + h)
                                  : cairo_pattern_create_linear(x, y, double(x) + w, y);
    cairo_pattern_add_color_stop_rgba(
        p, 0, from.GetRedF(), from.GetGreenF(), from.GetBlueF(), from.GetAlphaF());
    cairo_pattern_add_color_stop_rgba(
        p, 1, to.GetRedF(), to.GetGreenF(), to.GetBlueF(), to.GetAlphaF());
    cairo_pattern_set_extend(p, CAIRO_EXTEND_NONE);
    ctx.SaveGState();
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_new_path(cr);
    cairo_rectangle(cr, x, y, w, h);
    cairo_clip(cr);
    cairo_set_source(cr, p);
    cairo_paint(cr);
    ctx.RestoreGState();
    cairo_pattern_destroy(p);
}

void LPaintSurface::ApplyLineStyle(const LPaintContext& ctx, float width, const LLineStyle* style)
{
    cairo_t* cr = ctx.GetPlatformContext();
    if (!cr)
        return;
    double w = width;
    if (w == 0) {
        // A hairline: one unit of the base transform, along the axis that is scaled least.
        LMatrix<float> m;
        NativeTransformGet(ctx, m);
        double a = std::sqrt(double(m.m[0][0]) * m.m[0][0] + double(m.m[0][1]) * m.m[0][1]
            + double(m.m[0][2]) * m.m[0][2]);
        double b = std::sqrt(double(m.m[1][0]) * m.m[1][0] + double(m.m[1][1]) * m.m[1][1]
            + double(m.m[1][2]) * m.m[1][2]);
        w = 1.0 / std::min(a, b);
        if (!std::isfinite(w))
            w = 1.0;
    }
    cairo_set_line_width(cr, w);
    if (!style)
        return;
    LLineStyle::Stroke s = style->ComputeStroke(w);
    switch (s.cap) {
    case LLineCapSquare:
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
        break;
    case LLineCapRound:
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        break;
    default:
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
        break;
    }
    // Cairo refuses (and stops the context for) negative lengths or a pattern of zero length:
    // such a pattern draws a solid line.
    bool valid = s.dashCount > 0 && std::isfinite(s.phase);
    double total = 0;
    for (int i = 0; valid && i < s.dashCount; ++i) {
        if (!(s.dashes[i] >= 0) || !std::isfinite(s.dashes[i]))
            valid = false;
        else
            total += s.dashes[i];
    }
    if (valid && total > 0)
        cairo_set_dash(cr, s.dashes, s.dashCount, s.phase);
    else
        cairo_set_dash(cr, nullptr, 0, 0);
    switch (style->lineJoin) {
    case LLineJoinRound:
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        break;
    case LLineJoinBevel:
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_BEVEL);
        break;
    default:
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
        if (style->mitreLimit > 0 && std::isfinite(style->mitreLimit))
            cairo_set_miter_limit(cr, style->mitreLimit);
        break;
    }
}
