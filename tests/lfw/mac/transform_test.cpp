#include "lfw/mac/LPaintSurface.h"
#include "support/DrawCanvas.h"

#include <gtest/gtest.h>

namespace {

void DeviceOf(cairo_t* cr, double x, double y, double& dx, double& dy)
{
    dx = x;
    dy = y;
    cairo_user_to_device(cr, &dx, &dy);
}

size_t StackDepth(LPaintContext& ctx)
{
    return ctx.GetTransformStack().GetCount();
}

} // namespace

TEST(PaintTransforms, RotateTranslateAndReset)
{
    DrawCanvas c(50, 50);
    double x, y;
    LPaintSurface::TransformTranslate(c.ctx(), 10, 20);
    LPaintSurface::TransformRotate(c.ctx(), 90); // clockwise on the y-down screen
    DeviceOf(c.cr(), 1, 0, x, y);
    EXPECT_NEAR(x, 10, 1e-5);
    EXPECT_NEAR(y, 21, 1e-5);

    LMatrix<float> m;
    m.m[2][2] = 7; // left alone
    LPaintSurface::TransformGet(c.ctx(), m);
    EXPECT_NEAR(m.m[0][0], 0, 1e-6);
    EXPECT_NEAR(m.m[0][1], 1, 1e-6);
    EXPECT_EQ(m.m[3][0], 10);
    EXPECT_EQ(m.m[3][1], 20);
    EXPECT_EQ(m.m[2][2], 7);

    LPaintSurface::TransformReset(c.ctx());
    LMatrix<float> id;
    LPaintSurface::NativeTransformGet(c.ctx(), id);
    EXPECT_TRUE(id.IsIdentity());

    // Drawing lands where the transform puts it.
    LPaintSurface::TransformReset(c.ctx(), LMatrix<float>::Translation(30, 30));
    LPaintSurface::FillRectAA(c.ctx(), LGuiColor(), 0, 0, 5, 5);
    EXPECT_EQ(c.Ink(32, 32), 255);
    EXPECT_EQ(c.Ink(2, 2), 0);
}

TEST(PaintTransforms, RelativeToTheBaseTransform)
{
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 40, 40);
    cairo_t* cr = cairo_create(s);
    cairo_scale(cr, 2, 2); // the creator's own set-up
    {
        LPaintContext ctx(cr, 40, 40);
        LPaintSurface::TransformRotate(ctx, 33);
        LPaintSurface::TransformReset(ctx, LMatrix<float>::Translation(5, 5));
        double x = 0, y = 0;
        cairo_user_to_device(cr, &x, &y);
        EXPECT_DOUBLE_EQ(x, 10);
        EXPECT_DOUBLE_EQ(y, 10);
        LMatrix<float> m;
        LPaintSurface::NativeTransformGet(ctx, m);
        EXPECT_FLOAT_EQ(m.m[0][0], 1);
        EXPECT_FLOAT_EQ(m.m[3][0], 5);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(s);
}

TEST(PaintTransforms, StackPushPopAndClear)
{
    DrawCanvas c(20, 20);
    double x, y;
    LPaintSurface::TransformStackPush(c.ctx()); // identity
    LPaintSurface::TransformTranslate(c.ctx(), 3, 4);
    LPaintSurface::TransformStackPush(c.ctx());
    LPaintSurface::TransformRotate(c.ctx(), 45);
    // A singular transform is not pushed.
    LPaintSurface::Transform(c.ctx(), LMatrix<float>::Scaling(0, 0));
    LPaintSurface::TransformStackPush(c.ctx());
    EXPECT_EQ(StackDepth(c.ctx()), 2u);

    LPaintSurface::TransformStackPop(c.ctx()); // back to the translation
    EXPECT_FALSE(c.ctx().IsTransformSingular());
    DeviceOf(c.cr(), 1, 1, x, y);
    EXPECT_DOUBLE_EQ(x, 4);
    EXPECT_DOUBLE_EQ(y, 5);
    LPaintSurface::TransformStackPop(c.ctx()); // identity
    DeviceOf(c.cr(), 1, 1, x, y);
    EXPECT_DOUBLE_EQ(x, 1);
    LPaintSurface::TransformStackPop(c.ctx()); // empty: nothing
    DeviceOf(c.cr(), 1, 1, x, y);
    EXPECT_DOUBLE_EQ(x, 1);

    LPaintSurface::TransformTranslate(c.ctx(), 9, 9);
    LPaintSurface::TransformStackPush(c.ctx());
    LPaintSurface::TransformStackPush(c.ctx());
    LPaintSurface::TransformStackClear(c.ctx());
    EXPECT_EQ(StackDepth(c.ctx()), 0u);
    DeviceOf(c.cr(), 0, 0, x, y);
    EXPECT_DOUBLE_EQ(x, 0);
}

TEST(PaintTransforms, SurfaceScale)
{
    LPaintSurface surface;
    surface.SetSurfaceSize(200, 100);
    DrawCanvas c(10, 10);
    float px = -1, py = -1;
    LPaintSurface::TransformTranslate(c.ctx(), 3, 0);
    surface.SetScale(c.ctx(), 0.5f, 0.25f, px, py, LPaintSurface::ScaleModeUniform);
    EXPECT_FLOAT_EQ(px, 4); // (1, 1) under the transform before
    EXPECT_FLOAT_EQ(py, 1);
    cairo_matrix_t m;
    cairo_get_matrix(c.cr(), &m);
    EXPECT_DOUBLE_EQ(m.xx, 4);
    EXPECT_DOUBLE_EQ(m.yy, 4);

    LPaintSurface::TransformReset(c.ctx());
    surface.SetScale(c.ctx(), 0.5f, 0.25f, px, py, LPaintSurface::ScaleModeKeep);
    cairo_get_matrix(c.cr(), &m);
    EXPECT_DOUBLE_EQ(m.xx, 2);
    EXPECT_DOUBLE_EQ(m.yy, 4);
    float sx, sy;
    surface.GetScale(c.ctx(), sx, sy);
    EXPECT_FLOAT_EQ(sx, 0.5f);
    EXPECT_FLOAT_EQ(sy, 0.25f);

    // Reset modes drop the scale and keep the origin; a zero scale does nothing at all.
    LPaintSurface::TransformTranslate(c.ctx(), 1, 1);
    surface.SetScale(c.ctx(), 1, 1, px, py, LPaintSurface::ScaleModeReset);
    cairo_get_matrix(c.cr(), &m);
    EXPECT_DOUBLE_EQ(m.xx, 1);
    EXPECT_DOUBLE_EQ(m.x0, 2);
    EXPECT_DOUBLE_EQ(m.y0, 4);
    px = py = -1;
    surface.SetScale(c.ctx(), 0, 1, px, py, LPaintSurface::ScaleModeReset);
    EXPECT_EQ(px, -1);

    LPaintSurface::TransformReset(c.ctx());
    surface.SetScaleFromLogicalExtents(c.ctx(), 100, 100, px, py, LPaintSurface::ScaleModeUniform);
    cairo_get_matrix(c.cr(), &m);
    EXPECT_DOUBLE_EQ(m.xx, 1);
    EXPECT_DOUBLE_EQ(m.yy, 1);
    LPaintSurface::TransformReset(c.ctx());
    surface.SetScaleFromLogicalExtents(c.ctx(), 100, 50, px, py, LPaintSurface::ScaleModeKeep);
    cairo_get_matrix(c.cr(), &m);
    EXPECT_DOUBLE_EQ(m.xx, 2);
    EXPECT_DOUBLE_EQ(m.yy, 2);
    surface.SetScaleFromLogicalExtents(c.ctx(), 0, 50, px, py, LPaintSurface::ScaleModeKeep);
    cairo_get_matrix(c.cr(), &m);
    EXPECT_DOUBLE_EQ(m.xx, 2);
}
