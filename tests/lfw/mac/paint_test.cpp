#include "lfw/mac/LPaintSurface.h"
#include "support/DrawCanvas.h"

#include <gtest/gtest.h>

namespace {

const LGuiColor kBlack = LGuiColor::FromRGB8(0, 0, 0);
const LGuiColor kWhite = LGuiColor::FromRGB8(255, 255, 255);
const LGuiColor kRed = LGuiColor::FromRGB8(255, 0, 0);

// A brush whose type code no operation knows.
class OddBrush : public LGuiBrush {
public:
    OddBrush()
        : LGuiBrush(7, LGuiColorAlpha(kRed, 255))
    {
    }
};

} // namespace

TEST(PaintSurface, IntegerLinesTakeTheHalfPixel)
{
    DrawCanvas c(20, 4);
    cairo_set_line_width(c.cr(), 1);
    LPaintSurface::DrawLine(c.ctx(), 0, 0, 10, 0); // stroked along y = 0.5: row 0 only
    EXPECT_EQ(c.Ink(5, 0), 255);
    EXPECT_EQ(c.Ink(5, 1), 0);
    EXPECT_EQ(c.Ink(12, 0), 0);

    DrawCanvas d(20, 4);
    d.ctx().mNoHalfPixelOffset = true; // along y = 0: half of row 0
    LPaintSurface::DrawLine(d.ctx(), 0, 0, 10, 0);
    EXPECT_NEAR(d.Ink(5, 0), 128, 2);
    EXPECT_EQ(d.Ink(5, 1), 0);
}

TEST(PaintSurface, DrawLinesWithNoneOrOnePointDrawNothing)
{
    DrawCanvas c(10, 10);
    cairo_set_line_cap(c.cr(), CAIRO_LINE_CAP_SQUARE);
    LPoint one[1] = { { 5, 5 } };
    LPaintSurface::DrawLines(c.ctx(), one, 0);
    LPaintSurface::DrawLines(c.ctx(), one, 1);
    int l, t, r, b;
    EXPECT_FALSE(c.InkBox(l, t, r, b, 0));
    LPoint three[3] = { { 1, 1 }, { 8, 1 }, { 8, 8 } };
    LPaintSurface::DrawLines(c.ctx(), three, 3);
    EXPECT_EQ(c.Ink(4, 1), 255);
    EXPECT_EQ(c.Ink(8, 4), 255);
    EXPECT_EQ(c.Ink(4, 4), 0);
}

TEST(PaintSurface, IntegerLinesUseTheCurrentStrokeColour)
{
    DrawCanvas c(20, 10);
    LPaintSurface::DrawLineAA(c.ctx(), kRed, 0, 8, 1, 8, 1); // leaves red as stroke colour
    LPaintSurface::FillRectAA(c.ctx(), kBlack, 15, 0, 5, 5); // a fill does not change it
    LPaintSurface::DrawLine(c.ctx(), 0, 2, 10, 2);
    DrawPixel p = c.At(5, 2);
    EXPECT_EQ(p.r, 255);
    EXPECT_EQ(p.g, 0);
}

TEST(PaintSurface, FocusRectangleNormalised)
{
    DrawCanvas c(30, 30);
    // Strokes (6.5, 10.5, 3, 5): columns 6 and 9, rows 10 and 15.
    LPaintSurface::DrawFocusRect(c.ctx(), 10, 10, -4, 6);
    EXPECT_EQ(c.Ink(6, 12), 255);
    EXPECT_EQ(c.Ink(9, 12), 255);
    EXPECT_EQ(c.Ink(7, 10), 255);
    EXPECT_EQ(c.Ink(7, 15), 255);
    EXPECT_EQ(c.Ink(7, 12), 0);
    EXPECT_EQ(c.Ink(5, 12), 0);
    EXPECT_EQ(c.Ink(10, 12), 0);
    EXPECT_EQ(c.Ink(7, 16), 0);

    LPaintSurface::SetFocusIndicatorColor(LGuiColor::FromRGB8(0, 0, 255));
    LPaintSurface::DrawFocusRect(c.ctx(), 20, 20, 5, 5);
    LPaintSurface::SetFocusIndicatorColor(kBlack);
    EXPECT_EQ(c.At(20, 22).b, 255);
    EXPECT_EQ(c.At(20, 22).r, 0);
}

TEST(PaintSurface, CheckerboardCells)
{
    DrawCanvas c(32, 16);
    LPaintSurface::FillRectCheckerPattern(c.ctx(), 0, 0, 32, 16, 8, kWhite, kBlack, 0, 0);
    EXPECT_EQ(c.Ink(4, 4), 255);
    EXPECT_EQ(c.Ink(12, 4), 0);
    EXPECT_EQ(c.Ink(20, 4), 255);
    EXPECT_EQ(c.Ink(4, 12), 0);
    EXPECT_EQ(c.Ink(12, 12), 255);

    // Offset 13: the first column is 3 wide and has colour a, the next 8 colour b.
    DrawCanvas d(32, 16);
    LPaintSurface::FillRectCheckerPattern(d.ctx(), 0, 0, 32, 16, 8, kWhite, kBlack, 13, 0);
    EXPECT_EQ(d.Ink(1, 1), 0);
    EXPECT_EQ(d.Ink(2, 1), 0);
    EXPECT_EQ(d.Ink(3, 1), 255);
    EXPECT_EQ(d.Ink(10, 1), 255);
    EXPECT_EQ(d.Ink(11, 1), 0);
    EXPECT_EQ(d.Ink(3, 9), 0); // the next row flips

    // A negative offset behaves as (offset mod 2 cell) + 2 cell.
    DrawCanvas e(32, 16);
    LPaintSurface::FillRectCheckerPattern(e.ctx(), 0, 0, 32, 16, 8, kWhite, kBlack, -3, 0);
    EXPECT_TRUE(e.SameAs(d));

    // Inside its rectangle only, and a zero cell size fills with colour a alone.
    DrawCanvas f(40, 40);
    LPaintSurface::FillRectCheckerPattern(f.ctx(), 10, 10, 12, 12, 5, kRed, kBlack, 2, 3);
    EXPECT_TRUE(f.IsWhite(9, 9));
    EXPECT_TRUE(f.IsWhite(22, 22));
    EXPECT_FALSE(f.IsWhite(21, 21));
    LPaintSurface::FillRectCheckerPattern(f.ctx(), 0, 30, 10, 10, 0, kRed, kBlack, 0, 0);
    EXPECT_EQ(f.At(5, 35).r, 255);
    EXPECT_EQ(f.At(5, 35).g, 0);
}

TEST(PaintSurface, RectanglesEllipsesAndLinesWithBrushes)
{
    DrawCanvas c(60, 40);
    c.ctx().mNoHalfPixelOffset = true;
    LGuiSolidBrush red(kRed);
    LPaintSurface::DrawRectangle(c.ctx(), LBoundingBox2T<float>(2, 2, 20, 20), red, 2, nullptr);
    EXPECT_EQ(c.At(10, 2).r, 255);
    EXPECT_EQ(c.At(10, 2).g, 0);
    EXPECT_TRUE(c.IsWhite(10, 10));

    // A gradient brush strokes in its own colour (opaque black by default).
    LGuiBrushGradientLinear g(0, 0, 10, 0, LGuiColorAlpha(kRed), LGuiColorAlpha(kWhite));
    LPaintSurface::DrawRectangle(c.ctx(), 30, 2, 20, 18, g, 2, nullptr);
    EXPECT_EQ(c.Ink(40, 2), 255);

    LPaintSurface::DrawEllipse(c.ctx(), 2, 24, 40, 14, red, 2, nullptr);
    EXPECT_EQ(c.At(22, 24).r, 255);
    EXPECT_EQ(c.At(22, 24).g, 0);
    EXPECT_TRUE(c.IsWhite(22, 31));
    EXPECT_TRUE(c.IsWhite(3, 25)); // outside the curve at the corner

    // Width 0 is passed on as the thinnest device line, not dropped.
    DrawCanvas d(20, 20);
    LPaintSurface::DrawEllipse(d.ctx(), 2, 2, 16, 16, LGuiSolidBrush(kBlack), 0, nullptr);
    int l, t, r, b;
    ASSERT_TRUE(d.InkBox(l, t, r, b, 20));
    EXPECT_LE(l, 2);
    EXPECT_GE(r, 17);

    // The float line with a brush takes the half pixel unless told not to.
    DrawCanvas e(20, 4);
    LPaintSurface::DrawLine(e.ctx(), 0, 0, 10, 0, LGuiSolidBrush(kBlack), 1, nullptr);
    EXPECT_EQ(e.Ink(5, 0), 255);
    EXPECT_EQ(e.Ink(5, 1), 0);
    // DrawLineAA never does.
    DrawCanvas f(20, 4);
    LPaintSurface::DrawLineAA(f.ctx(), kBlack, 0, 0, 10, 0, 1);
    EXPECT_NEAR(f.Ink(5, 0), 128, 2);
}

TEST(PaintSurface, FillsAndUnknownBrushes)
{
    DrawCanvas c(40, 20);
    LPaintSurface::FillRectAA(c.ctx(), kBlack, 128, 0, 0, 10, 10);
    EXPECT_NEAR(c.Ink(5, 5), 128, 2);
    LPaintSurface::FillRect(c.ctx(), OddBrush(), 10, 0, 10, 10);
    EXPECT_TRUE(c.IsWhite(15, 5));
    LPaintSurface::FillRect(c.ctx(), LGuiTransparentBrush(), 10, 0, 10, 10);
    EXPECT_TRUE(c.IsWhite(15, 5));
    LPaintSurface::FillRect(c.ctx(), LGuiSolidBrush(kRed, 255), 20, 0, 10, 10);
    EXPECT_EQ(c.At(25, 5).r, 255);
    EXPECT_EQ(c.At(25, 5).g, 0);
    // The solid fill leaves its colour as the fill colour.
    EXPECT_EQ(c.ctx().GetFillColor()[0], 1.0);
    EXPECT_EQ(c.ctx().GetFillColor()[1], 0.0);

    LGraphicsPath p;
    p.AddRectangle(30, 0, 10, 10);
    LPaintSurface::FillPath(c.ctx(), OddBrush(), p);
    LPaintSurface::DrawPath(c.ctx(), OddBrush(), p, 2, nullptr);
    EXPECT_TRUE(c.IsWhite(35, 5));
    EXPECT_TRUE(c.IsWhite(30, 0));
}

TEST(PaintSurface, PathsStrokedAndClipped)
{
    DrawCanvas c(60, 60);
    LGraphicsPath frame;
    frame.AddRectangle(10, 10, 40, 40);
    LPaintSurface::DrawPath(c.ctx(), kBlack, frame, 4);
    EXPECT_EQ(c.Ink(30, 10), 255);
    EXPECT_EQ(c.Ink(30, 30), 0);
    EXPECT_EQ(cairo_get_line_width(c.cr()), 4); // the plain form leaves its width set

    // Clipping is even-odd whatever the path's rule: the inner square is a hole.
    LGraphicsPath clip;
    clip.SetWindingFill(true);
    clip.AddRectangle(0, 0, 60, 60);
    clip.AddRectangle(20, 20, 20, 20);
    cairo_save(c.cr());
    LPaintSurface::ClipIntersect(c.ctx(), clip);
    LPaintSurface::FillRectAA(c.ctx(), kRed, 0, 0, 60, 60);
    cairo_restore(c.cr());
    EXPECT_EQ(c.At(5, 5).r, 255);
    EXPECT_TRUE(c.IsWhite(30, 30));
}

TEST(PaintContext, ClientAreaAndViews)
{
    DrawCanvas c(10, 10);
    c.ctx().SetClientRect(0, 0, 10.7, 20.2);
    int w, h;
    c.ctx().GetClientAreaDimensions(w, h);
    EXPECT_EQ(w, 10);
    EXPECT_EQ(h, 20);

    LPaintContext fresh;
    EXPECT_EQ(fresh.GetPlatformContext(), nullptr);
    EXPECT_FLOAT_EQ(fresh.mTextOutlineWidth, 1.5f);
    EXPECT_EQ(fresh.mTextColor.alpha, 255);
    EXPECT_FALSE(fresh.mTextOutline);
    EXPECT_TRUE(fresh.GetFont().IsSystemFont());
    EXPECT_EQ(fresh.GetFont().GetSize(), 13);
    // Without a platform context every operation is a no-op.
    LPaintSurface::FillRectAA(fresh, kBlack, 0, 0, 1, 1);
    LPaintSurface::DrawLine(fresh, 0, 0, 1, 1);
    LPaintSurface::DrawText(fresh, "x", 0, 0, 10, 10, LAlignmentXLeft, LAlignmentYTop,
        LTextWrappingNone, LTextTrimmingNone);
}

TEST(PaintContext, SingularTransformsDrawNothingAndDoNotBreakTheContext)
{
    DrawCanvas c(20, 20);
    LPaintSurface::TransformReset(c.ctx(), LMatrix<float>::Scaling(0, 1));
    EXPECT_TRUE(c.ctx().IsTransformSingular());
    LPaintSurface::FillRectAA(c.ctx(), kBlack, 0, 0, 20, 20);
    LPaintSurface::DrawLine(c.ctx(), 0, 5, 20, 5);
    EXPECT_TRUE(c.IsWhite(10, 10));
    EXPECT_EQ(cairo_status(c.cr()), CAIRO_STATUS_SUCCESS);
    LPaintSurface::TransformReset(c.ctx());
    LPaintSurface::FillRectAA(c.ctx(), kBlack, 0, 0, 20, 20);
    EXPECT_EQ(c.Ink(10, 10), 255);

    // Saved and restored with the platform state.
    DrawCanvas d(20, 20);
    d.ctx().SaveGState();
    LPaintSurface::TransformTranslate(d.ctx(), 5, 5);
    LPaintSurface::Transform(d.ctx(), LMatrix<float>::Scaling(1, 0));
    EXPECT_TRUE(d.ctx().IsTransformSingular());
    d.ctx().RestoreGState();
    EXPECT_FALSE(d.ctx().IsTransformSingular());
    LPaintSurface::FillRectAA(d.ctx(), kBlack, 0, 0, 2, 2);
    EXPECT_EQ(d.Ink(1, 1), 255);
}
