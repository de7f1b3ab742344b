// Lines, rectangles, ellipses, paths, checkerboards and focus rectangles.

#include "lfw/mac/LPaintSurface.h"
#include "lfw/mac/LPaintSurfacePrivate.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

LGuiColor gFocusColor; // black until the window layer gives the desktop's

double HalfPixel(const LPaintContext& ctx)
{
    return ctx.mNoHalfPixelOffset ? 0.0 : 0.5;
}

void SetSourceColor(cairo_t* cr, const LGuiColorAlpha& c)
{
    cairo_set_source_rgba(cr, c.GetRedF(), c.GetGreenF(), c.GetBlueF(), c.GetAlphaF());
}

cairo_fill_rule_t FillRule(const LGraphicsPath& path)
{
    return path.IsWindingFill() ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD;
}

// The drawing operations put their shape on the context with addShape(cr), which starts from an
// empty path.

// Strokes the shape in the opaque colour at the line width (0: one device unit); the colour
// stays the context's stroke colour, drawable or not.
template <class AddShape>
void StrokePlain(LPaintContext& ctx, const LGuiColor& c, float width, AddShape addShape)
{
    ctx.SetStrokeColor(c.GetRedF(), c.GetGreenF(), c.GetBlueF(), 1);
    if (!ctx.IsDrawable())
        return;
    cairo_t* cr = ctx.GetPlatformContext();
    ctx.ApplyStrokeColor();
    _LSetPlatformLineWidth(cr, width);
    cairo_new_path(cr);
    addShape(cr);
    cairo_stroke(cr);
}

// Strokes the shape in the brush's colour with the line width and style, in a saved state.
template <class AddShape>
void StrokeStyled(LPaintContext& ctx, const LGuiBrush& brush, float width, const LLineStyle* style,
    AddShape addShape)
{
    if (!ctx.IsDrawable())
        return;
    cairo_t* cr = ctx.GetPlatformContext();
    ctx.SaveGState();
    LPaintSurface::ApplyLineStyle(ctx, width, style);
    SetSourceColor(cr, brush.GetColor());
    cairo_new_path(cr);
    addShape(cr);
    cairo_stroke(cr);
    ctx.RestoreGState();
}

// Fills the shape with the brush: a solid colour (which stays the context's fill colour) and a
// texture under the fill rule, a gradient under the nonzero rule. Other brush types paint
// nothing.
template <class AddShape>
void FillWithBrush(
    LPaintContext& ctx, const LGuiBrush& brush, cairo_fill_rule_t rule, AddShape addShape)
{
    uint32_t type = brush.GetType();
    if (type == LGuiBrushTypeSolid) {
        const LGuiColorAlpha& c = brush.GetColor();
        ctx.SetFillColor(c.GetRedF(), c.GetGreenF(), c.GetBlueF(), c.GetAlphaF());
    }
    if (type > LGuiBrushTypeTexture || !ctx.IsDrawable())
        return;
    cairo_t* cr = ctx.GetPlatformContext();
    if (type == LGuiBrushTypeSolid) {
        cairo_fill_rule_t old = cairo_get_fill_rule(cr);
        cairo_new_path(cr);
        addShape(cr);
        ctx.ApplyFillColor();
        cairo_set_fill_rule(cr, rule);
        cairo_fill(cr);
        cairo_set_fill_rule(cr, old);
        return;
    }
    cairo_pattern_t* pattern = LPaintSurface::CreateBrushPattern(ctx, brush);
    if (!pattern)
        return;
    ctx.SaveGState();
    cairo_new_path(cr);
    addShape(cr);
    cairo_set_source(cr, pattern);
    cairo_set_fill_rule(cr, type == LGuiBrushTypeTexture ? rule : CAIRO_FILL_RULE_WINDING);
    cairo_fill(cr);
    ctx.RestoreGState();
    cairo_pattern_destroy(pattern);
}

} // namespace

// A line width of 0 is the thinnest line the device draws: one device unit.
void _LSetPlatformLineWidth(cairo_t* cr, double width)
{
    if (width == 0) {
        double ux = 1, uy = 0, vx = 0, vy = 1;
        cairo_device_to_user_distance(cr, &ux, &uy);
        cairo_device_to_user_distance(cr, &vx, &vy);
        width = std::max(std::hypot(ux, uy), std::hypot(vx, vy));
        if (!std::isfinite(width))
            width = 1;
    }
    cairo_set_line_width(cr, width);
}

// The ellipse inscribed in the box as four quarter curves, clockwise from the top.
void _LAddEllipseToContext(cairo_t* cr, double x, double y, double w, double h)
{
    const double k = 0.5522847498;
    double rx = w / 2, ry = h / 2, cx = x + rx, cy = y + ry;
    cairo_move_to(cr, cx, cy - ry);
    cairo_curve_to(cr, cx + k * rx, cy - ry, cx + rx, cy - k * ry, cx + rx, cy);
    cairo_curve_to(cr, cx + rx, cy + k * ry, cx + k * rx, cy + ry, cx, cy + ry);
    cairo_curve_to(cr, cx - k * rx, cy + ry, cx - rx, cy + k * ry, cx - rx, cy);
    cairo_curve_to(cr, cx - rx, cy - k * ry, cx - k * rx, cy - ry, cx, cy - ry);
    cairo_close_path(cr);
}

// --- Integer lines

bool LPaintSurface::MoveToPoint(LPaintContext& ctx, int x, int y)
{
    if (cairo_t* cr = ctx.GetPlatformContext()) {
        double o = HalfPixel(ctx);
        cairo_new_path(cr);
        cairo_move_to(cr, x + o, y + o);
    }
    return true;
}

void LPaintSurface::DrawLine(LPaintContext& ctx, int x1, int y1, int x2, int y2)
{
    if (!ctx.IsDrawable())
        return;
    cairo_t* cr = ctx.GetPlatformContext();
    double o = HalfPixel(ctx);
    cairo_new_path(cr);
    cairo_move_to(cr, x1 + o, y1 + o);
    cairo_line_to(cr, x2 + o, y2 + o);
    ctx.ApplyStrokeColor();
    cairo_stroke(cr);
}

void LPaintSurface::DrawLines(LPaintContext& ctx, const LPoint* points, unsigned long count)
{
    if (!points || count == 0 || !ctx.IsDrawable())
        return;
    cairo_t* cr = ctx.GetPlatformContext();
    MoveToPoint(ctx, points[0].x, points[0].y);
    double o = HalfPixel(ctx);
    for (unsigned long i = 1; i < count; ++i)
        cairo_line_to(cr, points[i].x + o, points[i].y + o);
    ctx.ApplyStrokeColor();
    cairo_stroke(cr);
}

void LPaintSurface::SetFocusIndicatorColor(const LGuiColor& color)
{
    gFocusColor = color;
}

LGuiColor LPaintSurface::GetFocusIndicatorColor()
{
    return gFocusColor;
}

void LPaintSurface::DrawFocusRect(LPaintContext& ctx, int x, int y, int w, int h)
{
    if (!ctx.IsDrawable())
        return;
    if (w < 0) {
        x += w;
        w = -w;
    }
    if (h < 0) {
        y += h;
        h = -h;
    }
    cairo_t* cr = ctx.GetPlatformContext();
    ctx.SetStrokeColor(gFocusColor.GetRedF(), gFocusColor.GetGreenF(), gFocusColor.GetBlueF(), 1);
    ctx.ApplyStrokeColor();
    cairo_set_line_width(cr, 1.0);
    cairo_new_path(cr);
    cairo_rectangle(cr, x + 0.5, y + 0.5, w - 1.0, h - 1.0);
    cairo_stroke(cr);
}

// --- Float drawing with plain colours

void LPaintSurface::DrawLineAA(
    LPaintContext& ctx, LGuiColorRef c, float x1, float y1, float x2, float y2, float width)
{
    StrokePlain(ctx, c, width, [&](cairo_t* cr) {
        cairo_move_to(cr, x1, y1);
        cairo_line_to(cr, x2, y2);
    });
}

void LPaintSurface::DrawFrameAA(
    LPaintContext& ctx, LGuiColorRef c, float x, float y, float w, float h, float width)
{
    StrokePlain(ctx, c, width, [&](cairo_t* cr) { cairo_rectangle(cr, x, y, w, h); });
}

void LPaintSurface::FillRectAA(
    LPaintContext& ctx, LGuiColorRef c, float x, float y, float w, float h)
{
    FillRectAA(ctx, c, 255, x, y, w, h);
}

void LPaintSurface::FillRectAA(
    LPaintContext& ctx, LGuiColorRef c, unsigned char alpha, float x, float y, float w, float h)
{
    ctx.SetFillColor(c.GetRedF(), c.GetGreenF(), c.GetBlueF(), alpha / 255.0);
    if (!ctx.IsDrawable())
        return;
    cairo_t* cr = ctx.GetPlatformContext();
    ctx.ApplyFillColor();
    cairo_new_path(cr);
    cairo_rectangle(cr, x, y, w, h);
    cairo_fill(cr);
}

void LPaintSurface::FillRectCheckerPattern(LPaintContext& ctx, int x, int y, int w, int h, int cell,
    LGuiColorRef a, LGuiColorRef b, int offsetX, int offsetY)
{
    FillRect(ctx, LGuiSolidBrush(a, 255), float(x), float(y), float(w), float(h));
    if (cell <= 0 || w <= 0 || h <= 0 || !ctx.IsDrawable())
        return;
    if (offsetX < 0)
        offsetX = offsetX % (2 * cell) + 2 * cell;
    if (offsetY < 0)
        offsetY = offsetY % (2 * cell) + 2 * cell;
    int qx = offsetX / cell, rx = offsetX % cell;
    int qy = offsetY / cell, ry = offsetY % cell;
    int columns = (rx + w) / cell, rows = (ry + h) / cell;
    bool p = (qy % 2 == 1) != (qx % 2 == 1);
    // Every cell of colour b goes into one path, filled once.
    cairo_t* cr = ctx.GetPlatformContext();
    cairo_new_path(cr);
    for (int r = 0; r <= rows; ++r, p = !p) {
        int top, height;
        if (r == 0 && ry != 0) {
            top = y;
            height = std::min(cell - ry, h);
        } else {
            top = y - ry + r * cell;
            height = std::min(cell, y + h - top);
        }
        if (height <= 0)
            continue;
        for (int c = 0; c <= columns; ++c) {
            if ((int(p) + c) % 2 != 0)
                continue;
            int left, width;
            if (c == 0 && rx != 0) {
                left = x;
                width = std::min(cell - rx, w);
            } else {
                left = x - rx + c * cell;
                width = std::min(cell, x + w - left);
            }
            if (width > 0)
                cairo_rectangle(cr, left, top, width, height);
        }
    }
    ctx.SetFillColor(b.GetRedF(), b.GetGreenF(), b.GetBlueF(), 1);
    ctx.ApplyFillColor();
    cairo_fill(cr);
}

// --- Brushes

void LPaintSurface::FillRect(
    LPaintContext& ctx, const LGuiBrush& brush, float x, float y, float w, float h)
{
    FillWithBrush(
        ctx, brush, CAIRO_FILL_RULE_WINDING, [&](cairo_t* cr) { cairo_rectangle(cr, x, y, w, h); });
}

void LPaintSurface::DrawRectangle(LPaintContext& ctx, const LBoundingBox2T<float>& box,
    const LGuiBrush& brush, float width, const LLineStyle* style)
{
    StrokeStyled(ctx, brush, width, style, [&](cairo_t* cr) {
        cairo_rectangle(
            cr, box.left, box.top, double(box.right) - box.left, double(box.bottom) - box.top);
    });
}

void LPaintSurface::DrawRectangle(LPaintContext& ctx, float x, float y, float w, float h,
    const LGuiBrush& brush, float width, const LLineStyle* style)
{
    DrawRectangle(ctx, LBoundingBox2T<float>(x, y, x + w, y + h), brush, width, style);
}

void LPaintSurface::DrawEllipse(LPaintContext& ctx, float x, float y, float w, float h,
    const LGuiBrush& brush, float width, const LLineStyle* style)
{
    StrokeStyled(ctx, brush, width, style, [&](cairo_t* cr) {
        // The width as given, not the hairline of a zero width.
        _LSetPlatformLineWidth(cr, width);
        _LAddEllipseToContext(cr, x, y, w, h);
    });
}

void LPaintSurface::DrawLine(LPaintContext& ctx, float x1, float y1, float x2, float y2,
    const LGuiBrush& brush, float width, const LLineStyle* style)
{
    const double o = HalfPixel(ctx);
    StrokeStyled(ctx, brush, width, style, [&](cairo_t* cr) {
        cairo_move_to(cr, x1 + o, y1 + o);
        cairo_line_to(cr, x2 + o, y2 + o);
    });
}

void LPaintSurface::DrawLine(LPaintContext& ctx, const LPointTemplate<float>& p1,
    const LPointTemplate<float>& p2, const LGuiBrush& brush, float width, const LLineStyle* style)
{
    DrawLine(ctx, p1.x, p1.y, p2.x, p2.y, brush, width, style);
}

void LPaintSurface::FillPath(LPaintContext& ctx, const LGuiBrush& brush, const LGraphicsPath& path)
{
    // Solid colours and textures fill with the path's own rule; gradients clip with the nonzero
    // rule.
    FillWithBrush(ctx, brush, FillRule(path), [&](cairo_t* cr) { path.AddToContext(cr); });
}

void LPaintSurface::FillPath(LPaintContext& ctx, LGuiColorRef color, const LGraphicsPath& path)
{
    FillPath(ctx, LGuiSolidBrush(color, 255), path);
}

void LPaintSurface::DrawPath(LPaintContext& ctx, const LGuiBrush& brush, const LGraphicsPath& path,
    float width, const LLineStyle* style)
{
    uint32_t type = brush.GetType();
    if (type > LGuiBrushTypeTexture || !ctx.IsDrawable())
        return;
    cairo_t* cr = ctx.GetPlatformContext();
    cairo_pattern_t* pattern = nullptr;
    if (type != LGuiBrushTypeSolid) {
        pattern = CreateBrushPattern(ctx, brush);
        if (!pattern)
            return;
    }
    ctx.SaveGState();
    ApplyLineStyle(ctx, width, style);
    if (pattern)
        cairo_set_source(cr, pattern); // the shading inside the stroked outline
    else
        SetSourceColor(cr, brush.GetColor());
    cairo_new_path(cr);
    path.AddToContext(cr);
    cairo_stroke(cr);
    ctx.RestoreGState();
    if (pattern)
        cairo_pattern_destroy(pattern);
}

void LPaintSurface::DrawPath(LPaintContext& ctx, const LGuiColor& color, const LGraphicsPath& path,
    float width, const LLineStyle* style)
{
    DrawPath(ctx, LGuiSolidBrush(color, 255), path, width, style);
}

void LPaintSurface::DrawPath(
    LPaintContext& ctx, const LGuiColor& color, const LGraphicsPath& path, float width)
{
    StrokePlain(ctx, color, width, [&](cairo_t* cr) { path.AddToContext(cr); });
}

void LPaintSurface::ClipIntersect(LPaintContext& ctx, const LGraphicsPath& path)
{
    cairo_t* cr = ctx.GetPlatformContext();
    if (!cr || cairo_status(cr) != CAIRO_STATUS_SUCCESS)
        return;
    cairo_fill_rule_t old = cairo_get_fill_rule(cr);
    cairo_new_path(cr);
    // Under a singular transform the path collapses: nothing stays inside the clip.
    if (!ctx.IsTransformSingular())
        path.AddToContext(cr);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_clip(cr);
    cairo_set_fill_rule(cr, old);
}
