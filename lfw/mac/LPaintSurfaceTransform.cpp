// Transforms relative to the base transform, the transform stack and the surface scale.

#include "lfw/mac/LPaintSurface.h"

#include <algorithm>
#include <cmath>

namespace {

cairo_matrix_t Affine(const LMatrix<float>& m)
{
    cairo_matrix_t t;
    cairo_matrix_init(&t, m.m[0][0], m.m[0][1], m.m[1][0], m.m[1][1], m.m[3][0], m.m[3][1]);
    return t;
}

bool IsIdentity(const cairo_matrix_t& m)
{
    return m.xx == 1 && m.yx == 0 && m.xy == 0 && m.yy == 1 && m.x0 == 0 && m.y0 == 0;
}

// Scales the transform by (kx, ky), or by k in both directions in the uniform modes; the reset
// modes first go back to the device's own orientation (y down), keeping the origin. previous
// receives where (1, 1) lay under the transform before.
void ApplyScale(LPaintContext& ctx, double kx, double ky, double k, float& previousX,
    float& previousY, LPaintSurface::ScaleMode mode)
{
    cairo_matrix_t old;
    ctx.GetPlatformTransform(old);
    previousX = float(old.xx + old.xy + old.x0);
    previousY = float(old.yx + old.yy + old.y0);
    if (mode == LPaintSurface::ScaleModeReset || mode == LPaintSurface::ScaleModeResetUniform) {
        cairo_matrix_t t;
        cairo_matrix_init_translate(&t, old.x0, old.y0);
        ctx.SetPlatformTransform(t);
    }
    cairo_matrix_t s;
    if (mode == LPaintSurface::ScaleModeResetUniform || mode == LPaintSurface::ScaleModeUniform)
        cairo_matrix_init_scale(&s, k, k);
    else
        cairo_matrix_init_scale(&s, kx, ky);
    ctx.ConcatPlatformTransform(s);
}

} // namespace

void LPaintSurface::NativeTransformGet(const LPaintContext& ctx, LMatrix<float>& m)
{
    cairo_matrix_t current;
    ctx.GetPlatformTransform(current);
    const cairo_matrix_t& base = ctx.GetBaseTransform();
    if (!IsIdentity(base)) {
        cairo_matrix_t inverse = base;
        if (cairo_matrix_invert(&inverse) == CAIRO_STATUS_SUCCESS) {
            cairo_matrix_t relative;
            cairo_matrix_multiply(&relative, &current, &inverse);
            current = relative;
        }
    }
    m.m[0][0] = float(current.xx);
    m.m[0][1] = float(current.yx);
    m.m[1][0] = float(current.xy);
    m.m[1][1] = float(current.yy);
    m.m[3][0] = float(current.x0);
    m.m[3][1] = float(current.y0);
}

void LPaintSurface::NativeTransform(LPaintContext& ctx, const LMatrix<float>& m)
{
    ctx.ConcatPlatformTransform(Affine(m));
}

void LPaintSurface::NativeTransformReset(LPaintContext& ctx)
{
    ctx.SetPlatformTransform(ctx.GetBaseTransform());
}

void LPaintSurface::TransformReset(LPaintContext& ctx, const LMatrix<float>& m)
{
    NativeTransformReset(ctx);
    NativeTransform(ctx, m);
}

void LPaintSurface::TransformTranslate(LPaintContext& ctx, float dx, float dy)
{
    cairo_matrix_t t;
    cairo_matrix_init_translate(&t, dx, dy);
    ctx.ConcatPlatformTransform(t);
}

void LPaintSurface::TransformRotate(LPaintContext& ctx, float degrees)
{
    float radians = degrees * 0.017453292f;
    double c = std::cos(radians), s = std::sin(radians);
    cairo_matrix_t t;
    cairo_matrix_init(&t, c, s, -s, c, 0, 0);
    ctx.ConcatPlatformTransform(t);
}

void LPaintSurface::TransformStackPush(LPaintContext& ctx)
{
    LMatrix<float> m;
    NativeTransformGet(ctx, m);
    if (m.Determinant3x3() == 0.0f)
        return;
    ctx.GetTransformStack().AddHead(new LListableMatrix<float>(m));
}

void LPaintSurface::TransformStackPop(LPaintContext& ctx)
{
    LListableMatrix<float>* node = ctx.GetTransformStack().DetachHead();
    if (!node)
        return;
    // The node's transform applied before the base transform.
    cairo_matrix_t result;
    cairo_matrix_t t = Affine(*node);
    cairo_matrix_multiply(&result, &t, &ctx.GetBaseTransform());
    ctx.SetPlatformTransform(result);
    delete node;
}

void LPaintSurface::TransformStackClear(LPaintContext& ctx)
{
    ctx.GetTransformStack().Clear();
    NativeTransformReset(ctx);
}

void LPaintSurface::SetScale(
    LPaintContext& ctx, float sx, float sy, float& previousX, float& previousY, ScaleMode mode)
{
    if (sx == 0 || sy == 0)
        return;
    ApplyScale(ctx, 1.0 / sx, 1.0 / sy, 1.0 / std::min(sx, sy), previousX, previousY, mode);
}

void LPaintSurface::SetScaleFromLogicalExtents(LPaintContext& ctx, int logicalWidth,
    int logicalHeight, float& previousX, float& previousY, ScaleMode mode)
{
    if (logicalWidth == 0 || logicalHeight == 0)
        return;
    ApplyScale(ctx, double(mWidth) / logicalWidth, double(mHeight) / logicalHeight,
        double(std::min(mWidth, mHeight)) / std::max(logicalWidth, logicalHeight), previousX,
        previousY, mode);
}

void LPaintSurface::GetScale(LPaintContext& ctx, float& sx, float& sy) const
{
    cairo_matrix_t m;
    ctx.GetPlatformTransform(m);
    sx = float(1.0 / (m.xx + m.xy));
    sy = float(1.0 / (m.yx + m.yy));
}
