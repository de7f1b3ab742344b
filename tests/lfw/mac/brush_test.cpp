#include "lfw/mac/LBrushInfo.h"
#include "lfw/mac/LGuiImage.h"
#include "lfw/mac/LPaintSurface.h"
#include "support/DrawCanvas.h"

#include <gtest/gtest.h>

#include <array>

namespace {

const LGuiColorAlpha kBlack(LGuiColor::FromRGB8(0, 0, 0), 255);
const LGuiColorAlpha kWhite(LGuiColor::FromRGB8(255, 255, 255), 255);
const LGuiColorAlpha kRed(LGuiColor::FromRGB8(255, 0, 0), 255);
const LGuiColorAlpha kBlue(LGuiColor::FromRGB8(0, 0, 255), 255);

} // namespace

TEST(StopPoints, BuiltFromTheEditorsList)
{
    LBrushInfo info;
    info.kind = LBrushInfoKindLinearGradient;
    info.geometry[2] = 7;
    LList<VTGradientStop> stops;
    CCMakeStopPoints(info, stops); // empty: unchanged
    EXPECT_EQ(info.stopCount, 0u);

    stops.AddTail(new VTGradientStop(0.4f, kRed));
    CCMakeStopPoints(info, stops);
    ASSERT_EQ(info.stopCount, 3u);
    EXPECT_EQ(info.stopPositions[0], 0.0f);
    EXPECT_EQ(info.stopPositions[1], 0.4f);
    EXPECT_EQ(info.stopPositions[2], 1.0f);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(info.stopColors[i] == kRed);
    EXPECT_EQ(info.kind, LBrushInfoKindLinearGradient);
    EXPECT_EQ(info.geometry[2], 7);

    LList<VTGradientStop> many;
    for (int i = 0; i < 25; ++i)
        many.AddTail(
            new VTGradientStop(i / 25.0f, LGuiColorAlpha::FromRGBA8(uint8_t(i), 0, 0, 255)));
    CCMakeStopPoints(info, many);
    ASSERT_EQ(info.stopCount, 20u);
    EXPECT_EQ(info.stopColors[0].GetRed8(), 0);
    EXPECT_EQ(info.stopPositions[18], 17 / 25.0f);
    EXPECT_EQ(info.stopPositions[19], 1.0f);
    EXPECT_EQ(info.stopColors[19].GetRed8(), 17); // the last element taken
}

TEST(StopPoints, ColourFunction)
{
    LGuiGradientStops s;
    const LGuiColorAlpha c[4] = { kBlack, kRed, kBlue, kWhite };
    const float p[4] = { 0.0f, 0.5f, 0.5f, 1.0f };
    s.Set(c, p, 4);
    double out[4];
    s.Evaluate(0.25, out);
    EXPECT_NEAR(out[0], 0.5, 1e-6);
    EXPECT_NEAR(out[2], 0.0, 1e-6);
    s.Evaluate(0.5, out); // exactly at a stop: its colour
    EXPECT_NEAR(out[0], 1.0, 1e-6);
    EXPECT_NEAR(out[2], 0.0, 1e-6);
    s.Evaluate(0.75, out);
    EXPECT_NEAR(out[0], 0.5, 1e-6);
    EXPECT_NEAR(out[1], 0.5, 1e-6);
    EXPECT_NEAR(out[2], 1.0, 1e-6);

    // Two stops at one position: the left colour (fraction 0) there.
    LGuiGradientStops same;
    const float q[2] = { 0.5f, 0.5f };
    same.Set(c, q, 2);
    same.Evaluate(0.5, out);
    EXPECT_NEAR(out[0], 0.0, 1e-6);
    EXPECT_NEAR(out[3], 1.0, 1e-6);
}

TEST(Gradients, VerticalWhiteToBlackIsMidGreyHalfway)
{
    DrawCanvas c(20, 110, false);
    LPaintSurface::_FillRectGradient(c.ctx(), kWhite, kBlack, true, 0, 0, 10, 100);
    DrawPixel mid = c.At(5, 50);
    EXPECT_NEAR(mid.r, 127, 2);
    EXPECT_EQ(mid.r, mid.g);
    EXPECT_EQ(mid.a, 255);
    EXPECT_GT(c.At(5, 0).r, 250);
    EXPECT_LT(c.At(5, 99).r, 5);
    EXPECT_EQ(c.At(15, 50).a, 0); // untouched
    EXPECT_EQ(c.At(5, 105).a, 0);
}

TEST(Gradients, LinearBrushExtendsAndKeepsSharpStops)
{
    DrawCanvas c(200, 30);
    LGuiBrushGradientLinear g(0, 0, 100, 0, kRed, kBlue);
    LPaintSurface::FillRect(c.ctx(), g, 0, 0, 200, 10);
    DrawPixel half = c.At(50, 5);
    EXPECT_NEAR(half.r, 127, 3);
    EXPECT_NEAR(half.b, 127, 3);
    EXPECT_EQ(c.At(150, 5).b, 255); // extended beyond the end
    EXPECT_EQ(c.At(150, 5).r, 0);

    LGuiBrushGradientLinear edge;
    edge.mEndX = 100;
    const LGuiColorAlpha cols[4] = { kBlack, kBlack, kWhite, kWhite };
    const float pos[4] = { 0.0f, 0.5f, 0.5f, 1.0f };
    edge.ChangeColor(cols, pos, 4);
    LPaintSurface::FillRect(c.ctx(), edge, 0, 10, 100, 10);
    EXPECT_EQ(c.Ink(45, 15), 255);
    EXPECT_EQ(c.Ink(55, 15), 0);
    EXPECT_TRUE(c.IsWhite(120, 15)); // clipped to the rectangle

    // The stroke of a path painted with the shading.
    LGraphicsPath line;
    line.AddLine(0, 25, 200, 25);
    LPaintSurface::DrawPath(c.ctx(), g, line, 4, nullptr);
    EXPECT_GT(c.At(2, 25).r, 245);
    EXPECT_EQ(c.At(190, 25).b, 255);
    EXPECT_TRUE(c.IsWhite(100, 20));
}

TEST(Gradients, RadialBrushIsAnEllipse)
{
    DrawCanvas c(100, 100);
    LGuiBrushGradientRadial r(50, 50, 40, 20, kBlack, kWhite);
    LPaintSurface::FillRect(c.ctx(), r, 0, 0, 100, 100);
    EXPECT_GT(c.At(50, 50).r, 245); // the centre
    EXPECT_NEAR(c.At(70, 50).r, 128, 6); // halfway out along x
    EXPECT_NEAR(c.At(50, 60).r, 128, 8); // halfway out along y
    EXPECT_LT(c.At(95, 50).r, 3); // beyond the edge: extended
    EXPECT_LT(c.At(50, 75).r, 3);

    // A path filled with the shading, whatever the path's rule.
    DrawCanvas d(100, 100);
    LGraphicsPath p;
    p.AddRectangle(40, 40, 20, 20);
    LPaintSurface::FillPath(d.ctx(), r, p);
    EXPECT_GT(d.At(50, 50).r, 245);
    EXPECT_LT(d.At(59, 50).r, 250);
    EXPECT_TRUE(d.IsWhite(30, 30));
}

TEST(Gradients, StopCountsWithoutEnoughStops)
{
    DrawCanvas c(40, 10);
    LGuiBrushGradientLinear none;
    none.mEndX = 40;
    LPaintSurface::FillRect(c.ctx(), none, 0, 0, 40, 10); // no stops: paints nothing
    EXPECT_TRUE(c.IsWhite(20, 5));

    LGuiBrushGradientRadial one;
    one.mCenterX = one.mCenterY = 5;
    one.mRadiusX = one.mRadiusY = 5;
    one.ChangeColor(&kRed, std::array<float, 1> { 0.3f }.data(), 1); // one stop: solid
    LPaintSurface::FillRect(c.ctx(), one, 0, 0, 40, 10);
    EXPECT_EQ(c.At(35, 5).r, 255);
    EXPECT_EQ(c.At(35, 5).g, 0);

    // A zero x radius flattens the ellipse to nothing.
    DrawCanvas d(40, 10);
    LGuiBrushGradientRadial flat(20, 5, 0, 5, kBlack, kBlack);
    LPaintSurface::FillRect(d.ctx(), flat, 0, 0, 40, 10);
    EXPECT_TRUE(d.IsWhite(20, 5));
    EXPECT_EQ(cairo_status(d.cr()), CAIRO_STATUS_SUCCESS);
}

TEST(Gradients, TextureIsAnOpaqueBlackStencil)
{
    // An 8 x 8 image: left half opaque red, right half transparent.
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, 1, 0, 0);
    cairo_rectangle(cr, 0, 0, 4, 8);
    cairo_fill(cr);
    cairo_destroy(cr);
    LGuiImage image;
    image.GetCocoaImage().CreateFromCGImage(s, nullptr);
    cairo_surface_destroy(s);

    DrawCanvas c(40, 20);
    LGuiTextureBrush texture(&image);
    LPaintSurface::FillRect(c.ctx(), texture, 0, 0, 32, 8);
    EXPECT_EQ(c.Ink(2, 4), 255);
    EXPECT_TRUE(c.IsWhite(6, 4));
    EXPECT_EQ(c.Ink(10, 4), 255); // tiled
    EXPECT_TRUE(c.IsWhite(36, 4));

    LGuiTextureBrush noImage(nullptr);
    LPaintSurface::FillRect(c.ctx(), noImage, 0, 10, 32, 8);
    EXPECT_TRUE(c.IsWhite(2, 14));

    // The tiles lie in the untransformed space: a scaled drawing transform moves and grows the
    // shape, not the tiles (8 device pixels each, the left half covered).
    DrawCanvas d(40, 20);
    LPaintSurface::TransformTranslate(d.ctx(), 0, 10);
    LMatrix<float> twice = LMatrix<float>::Scaling(2, 2);
    LPaintSurface::Transform(d.ctx(), twice);
    LPaintSurface::FillRect(d.ctx(), texture, 0, 0, 16, 4);
    for (int x : { 2, 10, 18, 26 })
        EXPECT_EQ(d.Ink(x, 14), 255) << x;
    for (int x : { 6, 14, 22, 30 })
        EXPECT_TRUE(d.IsWhite(x, 14)) << x;
    EXPECT_TRUE(d.IsWhite(10, 8)); // outside the shape
    // Turned by the brush's rotation (a quarter turn: the covered half is now the top half).
    DrawCanvas e(16, 16);
    LGuiTextureBrush turned(&image, float(M_PI / 2));
    LPaintSurface::FillRect(e.ctx(), turned, 0, 0, 16, 16);
    EXPECT_EQ(e.Ink(4, 2), 255);
    EXPECT_TRUE(e.IsWhite(4, 6));
    EXPECT_EQ(e.Ink(12, 10), 255);
}

TEST(LineStyle, DashPatternsFromStyleWidthAndCap)
{
    LLineStyle s;
    s.dashStyle = LDashStyleDash;
    LLineStyle::Stroke k = s.ComputeStroke(2);
    ASSERT_EQ(k.dashCount, 2);
    EXPECT_EQ(k.dashes[0], 6);
    EXPECT_EQ(k.dashes[1], 2);
    EXPECT_EQ(k.phase, 0);
    EXPECT_EQ(k.cap, LLineCapFlat);

    s.lineCap = LLineCapRound;
    k = s.ComputeStroke(2);
    EXPECT_EQ(k.dashes[0], 4);
    EXPECT_EQ(k.dashes[1], 4);
    EXPECT_EQ(k.phase, -1);

    s.lineCap = LLineCapFlat;
    s.dashCap = 1; // rounded caps on dashes
    s.dashStyle = LDashStyleDashDotDot;
    k = s.ComputeStroke(1);
    EXPECT_EQ(k.cap, LLineCapRound);
    const double dd[6] = { 2, 2, 0, 2, 0, 2 };
    ASSERT_EQ(k.dashCount, 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(k.dashes[i], dd[i]);

    s.dashStyle = LDashStyleSolid; // dash cap ignored for a solid line
    k = s.ComputeStroke(1);
    EXPECT_EQ(k.cap, LLineCapFlat);
    EXPECT_EQ(k.dashCount, 0);

    LLineStyle custom;
    custom.dashStyle = LDashStyleCustom;
    custom.lineCap = LLineCapRound;
    const float d[2] = { 1, 1 };
    custom.SetCustomDashes(d, 2);
    k = custom.ComputeStroke(3);
    ASSERT_EQ(k.dashCount, 2);
    EXPECT_EQ(k.dashes[0], 0);
    EXPECT_EQ(k.dashes[1], 6);
    EXPECT_EQ(k.phase, 0);

    float many[25];
    for (float& v : many)
        v = 2;
    custom.SetCustomDashes(many, 25);
    EXPECT_EQ(custom.ComputeStroke(1).dashCount, 20);
}

TEST(LineStyle, AppliedToTheContext)
{
    DrawCanvas c(60, 20);
    c.ctx().mNoHalfPixelOffset = true;
    LLineStyle s;
    s.dashStyle = LDashStyleDash;
    s.lineJoin = LLineJoinMiter;
    s.mitreLimit = 4;
    LPaintSurface::ApplyLineStyle(c.ctx(), 2, &s);
    ASSERT_EQ(cairo_get_dash_count(c.cr()), 2);
    double dashes[2], offset;
    cairo_get_dash(c.cr(), dashes, &offset);
    EXPECT_EQ(dashes[0], 6);
    EXPECT_EQ(dashes[1], 2);
    EXPECT_EQ(cairo_get_miter_limit(c.cr()), 4);
    EXPECT_EQ(cairo_get_line_join(c.cr()), CAIRO_LINE_JOIN_MITER);
    s.lineJoin = LLineJoinRound;
    LPaintSurface::ApplyLineStyle(c.ctx(), 2, &s);
    EXPECT_EQ(cairo_get_line_join(c.cr()), CAIRO_LINE_JOIN_ROUND);
    cairo_set_dash(c.cr(), nullptr, 0, 0);

    // Drawn: 6 on, 2 off along the line.
    LPaintSurface::DrawLine(c.ctx(), 0, 10, 40, 10, LGuiSolidBrush(LGuiColor()), 2, &s);
    EXPECT_EQ(c.Ink(3, 9), 255);
    EXPECT_EQ(c.Ink(7, 9), 0);
    EXPECT_EQ(c.Ink(10, 9), 255);
    EXPECT_EQ(cairo_get_dash_count(c.cr()), 0); // the operation restored the state

    // A custom pattern of zeros draws a solid line and leaves the context working.
    LLineStyle zeros;
    zeros.dashStyle = LDashStyleCustom;
    const float z[2] = { 0, 0 };
    zeros.SetCustomDashes(z, 2);
    LPaintSurface::DrawLine(c.ctx(), 0, 16, 40, 16, LGuiSolidBrush(LGuiColor()), 2, &zeros);
    EXPECT_EQ(cairo_status(c.cr()), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(c.Ink(7, 15), 255);
}

TEST(LineStyle, HairlineIsOneOverTheSmallerScale)
{
    // Under a transform that scales x by 4 and y by 2 the hairline is 1 / min(4, 2) = 0.5:
    // one base unit along the axis that is scaled least.
    DrawCanvas c(10, 10);
    LPaintSurface::Transform(c.ctx(), LMatrix<float>::Scaling(4, 2));
    LPaintSurface::ApplyLineStyle(c.ctx(), 0, nullptr);
    EXPECT_DOUBLE_EQ(cairo_get_line_width(c.cr()), 0.5);

    // Relative to the base transform: a base scale does not count.
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 10, 10);
    cairo_t* cr = cairo_create(s);
    cairo_scale(cr, 3, 3);
    {
        LPaintContext ctx(cr, 10, 10);
        LPaintSurface::ApplyLineStyle(ctx, 0, nullptr);
        EXPECT_DOUBLE_EQ(cairo_get_line_width(cr), 1.0);
        LPaintSurface::ApplyLineStyle(ctx, 2.5f, nullptr);
        EXPECT_DOUBLE_EQ(cairo_get_line_width(cr), 2.5);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(s);
}
