// Label positions drawn with their orientation arrow, checked pixel by pixel.
#include "app/VTLabelLayout.h"
#include "app/VTOrientationArrow.h"
#include "lfw/mac/LPaintSurface.h"
#include "support/DrawCanvas.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

// A canvas whose millimetre frame has its origin at (originX, originY) pixels and scale
// pixels per millimetre.
struct PositionCanvas : DrawCanvas {
    PositionCanvas(int w, int h, float scale, float originX, float originY)
        : DrawCanvas(w, h)
        , s(scale)
        , ox(originX)
        , oy(originY)
    {
        LPaintSurface::Transform(ctx(),
            LMatrix<float>::Scaling(scale, scale) * LMatrix<float>::Translation(originX, originY));
    }
    DrawPixel Mm(float x, float y)
    {
        return At(int(std::floor(ox + x * s)), int(std::floor(oy + y * s)));
    }
    float s, ox, oy;
};

bool Is(const DrawPixel& p, int r, int g, int b)
{
    return std::abs(p.r - r) <= 1 && std::abs(p.g - g) <= 1 && std::abs(p.b - b) <= 1;
}

::testing::AssertionResult Grey(const DrawPixel& p, int level)
{
    if (Is(p, level, level, level))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
        << "(" << p.r << ", " << p.g << ", " << p.b << ") is not grey " << level;
}

::testing::AssertionResult Rgb(const DrawPixel& p, int r, int g, int b)
{
    if (Is(p, r, g, b))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << p.r << ", " << p.g << ", " << p.b << ") is not ("
                                         << r << ", " << g << ", " << b << ")";
}

} // namespace

TEST(OrientationArrow, CaseFrontArrowFillsTheBoxAndPointsUp)
{
    // 240 x 120 mm at 2 pixels per mm.
    PositionCanvas c(500, 260, 2, 250, 130);
    VTLabelLayoutTemplate front(VTTemplateFormatCaseCDFront, 1);
    PaintOrientationArrowAndItem(c.ctx(), front, false);

    EXPECT_TRUE(Grey(c.Mm(10, -50), 230)); // the head near the tip
    EXPECT_TRUE(Grey(c.Mm(-100, -5), 230)); // the head's left barb reaches the edge
    EXPECT_TRUE(Grey(c.Mm(100, -5), 230));
    EXPECT_TRUE(Grey(c.Mm(-115, -30), 200)); // beside the head
    EXPECT_TRUE(Grey(c.Mm(-50, 30), 230)); // the shaft is 120 mm wide
    EXPECT_TRUE(Grey(c.Mm(50, 55), 230));
    EXPECT_TRUE(Grey(c.Mm(-70, 30), 200)); // beside the shaft
    EXPECT_TRUE(Grey(c.Mm(70, 30), 200));
    EXPECT_TRUE(Grey(c.Mm(0, -65), 255)); // outside the position
}

TEST(OrientationArrow, TurnedContextTurnsTheArrow)
{
    // The viewer turns the context by the position's rotation: at 90 degrees the tip points
    // to the right.
    PositionCanvas c(300, 300, 2, 150, 150);
    LPaintSurface::TransformRotate(c.ctx(), 90);
    VTLabelLayoutTemplate insert(VTTemplateFormatJewelCaseInsert, 1);
    PaintOrientationArrowAndItem(c.ctx(), insert, false);
    EXPECT_TRUE(Grey(c.Mm(50, -5), 230)); // head, towards +x
    EXPECT_TRUE(Grey(c.Mm(-50, 20), 230)); // shaft: 60 mm wide across y
    EXPECT_TRUE(Grey(c.Mm(-50, -40), 200));
}

TEST(OrientationArrow, DiscIsCutToItsPrintableRing)
{
    PositionCanvas c(260, 260, 2, 130, 130);
    VTLabelLayoutTemplate disc(VTTemplateFormatDisc, 1);
    PaintOrientationArrowAndItem(c.ctx(), disc, false);
    // Outer diameter 118: the arrow is 118 mm wide and tall.
    EXPECT_TRUE(Grey(c.Mm(0, -50), 230));
    EXPECT_TRUE(Grey(c.Mm(-50, -3), 230)); // the barb, out to the ring
    EXPECT_TRUE(Grey(c.Mm(-50, 25), 200)); // beside the shaft (29.5 mm each way)
    EXPECT_TRUE(Grey(c.Mm(-20, 40), 230));
    EXPECT_TRUE(Grey(c.Mm(0, 0), 255)); // the hole
    EXPECT_TRUE(Grey(c.Mm(-56, -56), 255)); // outside the disc
    // The grey outline crosses the column below the centre at the ring's edge (59 mm).
    int darkest = 255, at = -1;
    for (int y = 130 + 100; y < 260; ++y)
        if (c.At(130, y).r < darkest) {
            darkest = c.At(130, y).r;
            at = y;
        }
    EXPECT_LT(darkest, 200);
    EXPECT_NEAR(at, 130 + 118, 1);
}

TEST(OrientationArrow, SelectedPositionIsBlueWithoutOutline)
{
    PositionCanvas c(500, 260, 2, 250, 130);
    VTLabelLayoutTemplate front(VTTemplateFormatCaseCDFront, 1);
    PaintOrientationArrowAndItem(c.ctx(), front, true);
    EXPECT_TRUE(Rgb(c.Mm(10, -50), 154, 206, 235));
    EXPECT_TRUE(Rgb(c.Mm(-115, -30), 100, 149, 237));
    EXPECT_TRUE(Rgb(c.Mm(-70, 30), 100, 149, 237));
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) {
            DrawPixel p = c.At(x, y);
            ASSERT_FALSE(p.r == p.g && p.g == p.b && p.r < 255) << x << ", " << y;
        }
}

TEST(OrientationArrow, OutlineIsOnePixelWideAtEveryZoom)
{
    // The left edge of a 120 x 120 insert lands on the middle of pixel column 10 and the top
    // edge on the middle of row 10: a one-pixel line covers exactly that column and row.
    for (float zoom : { 0.5f, 1.0f, 2.0f, 4.0f, 7.0f }) {
        SCOPED_TRACE(zoom);
        const float origin = 10.5f + 60 * zoom;
        const int size = int(120 * zoom) + 21;
        PositionCanvas c(size, size, zoom, origin, origin);
        VTLabelLayoutTemplate insert(VTTemplateFormatJewelCaseInsert, 1);
        PaintOrientationArrowAndItem(c.ctx(), insert, false);
        const int row = int(origin + 40 * zoom); // beside the shaft
        EXPECT_TRUE(Grey(c.At(9, row), 255));
        EXPECT_TRUE(Grey(c.At(10, row), 150));
        EXPECT_TRUE(Grey(c.At(11, row), 200));
        const int column = int(origin - 50 * zoom); // beside the head
        EXPECT_TRUE(Grey(c.At(column, 9), 255));
        EXPECT_TRUE(Grey(c.At(column, 10), 150));
        EXPECT_TRUE(Grey(c.At(column, 11), 200));
    }
}
