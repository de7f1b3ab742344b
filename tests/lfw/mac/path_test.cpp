#include "lfw/mac/LGraphicsPath.h"
#include "lfw/mac/LPaintSurface.h"
#include "support/DrawCanvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

struct Seg {
    uint32_t type;
    std::vector<LPointTemplate<float>> points;
};

std::vector<Seg> Segments(const LGraphicsPath& path)
{
    std::vector<Seg> out;
    for (const LGraphicsPathSegment& s : path.GetSegments()) {
        Seg seg { s.GetType(), {} };
        for (uint64_t i = 0; i < s.GetPointCount(); ++i)
            seg.points.push_back(s.GetPoints()[i]);
        out.push_back(seg);
    }
    return out;
}

constexpr uint32_t kMove = LGraphicsPathSegmentMove, kLine = LGraphicsPathSegmentLine,
                   kCurve = LGraphicsPathSegmentCurve, kPoly = LGraphicsPathSegmentPolyline,
                   kClose = LGraphicsPathSegmentClose;

} // namespace

TEST(GraphicsPath, LinesOpenFiguresWithAMove)
{
    LGraphicsPath p;
    p.LineTo({ 1, 2 });
    p.LineTo({ 3, 4 });
    p.AddLine(5, 6, 7, 8); // figure open: one two-point polyline
    auto s = Segments(p);
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0].type, kMove);
    EXPECT_EQ(s[1].type, kLine);
    EXPECT_EQ(s[2].type, kPoly);
    ASSERT_EQ(s[2].points.size(), 2u);
    EXPECT_EQ(s[2].points[0], LPointTemplate<float>(5, 6));

    LGraphicsPath q;
    q.AddLine(0, 0, 10, 0); // closed figure: move and line
    const LPointTemplate<float> pts[3] = { { 0, 0 }, { 1, 1 }, { 2, 0 } };
    q.AddLines(pts, 1); // too short: ignored
    q.AddLines(nullptr, 3);
    s = Segments(q);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].type, kMove);
    EXPECT_EQ(s[1].type, kLine);
}

TEST(GraphicsPath, RectangleAndEllipseCloseTheirFigure)
{
    LGraphicsPath p;
    p.AddRectangle(0, 0, 10, 5);
    p.LineTo({ 20, 20 }); // starts a new figure
    auto s = Segments(p);
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[0].type, kMove);
    EXPECT_EQ(s[0].points[0], LPointTemplate<float>(0, 0));
    EXPECT_EQ(s[1].type, kPoly);
    std::vector<LPointTemplate<float>> poly = { { 10, 0 }, { 10, 5 }, { 0, 5 } };
    EXPECT_EQ(s[1].points, poly);
    EXPECT_EQ(s[2].type, kClose);
    EXPECT_EQ(s[3].type, kMove);

    LGraphicsPath e;
    e.AddEllipse(50, 50, 20, 10);
    s = Segments(e);
    ASSERT_EQ(s.size(), 6u);
    EXPECT_EQ(s[0].points[0], LPointTemplate<float>(50, 40)); // from the top
    EXPECT_EQ(s[1].points[2], LPointTemplate<float>(70, 50)); // clockwise on screen
    EXPECT_EQ(s[2].points[2], LPointTemplate<float>(50, 60));
    EXPECT_EQ(s[5].type, kClose);
    EXPECT_FALSE(e.IsFigureOpen());
}

TEST(GraphicsPath, ArcPieces)
{
    auto arcEnd = [](const LGraphicsPath& p) { return Segments(p).back().points.back(); };
    LGraphicsPath a90;
    a90.AddArc(0, 0, 100, 100, 0, 90);
    auto s = Segments(a90);
    ASSERT_EQ(s.size(), 3u); // a move, then two 45-degree curves
    EXPECT_EQ(s[0].type, kMove);
    EXPECT_NEAR(s[0].points[0].x, 100, 1e-4);
    EXPECT_NEAR(s[0].points[0].y, 50, 1e-4);
    EXPECT_NEAR(arcEnd(a90).x, 50, 1e-4);
    EXPECT_NEAR(arcEnd(a90).y, 100, 1e-4);

    LGraphicsPath a100;
    a100.AddArc(0, 0, 100, 100, 0, 100);
    s = Segments(a100);
    ASSERT_EQ(s.size(), 4u); // 45, 45 and 10 degrees
    EXPECT_NEAR(s[2].points[2].y, 100, 1e-4);
    EXPECT_NEAR(arcEnd(a100).x, 50 + 50 * std::cos(100 * M_PI / 180), 1e-3);
    EXPECT_NEAR(arcEnd(a100).y, 50 + 50 * std::sin(100 * M_PI / 180), 1e-3);
    // A circular 45-degree piece: the control point distance is the usual 0.2652 r.
    EXPECT_NEAR(s[1].points[0].y - 50, 50 * 0.265216, 0.02);

    LGraphicsPath none;
    none.AddArc(0, 0, 100, 100, 30, 0);
    EXPECT_TRUE(none.IsEmpty());

    // Start -90 is 270 degrees: the top of the ellipse.
    LGraphicsPath top;
    top.AddArc(0, 0, 100, 60, -90, 45);
    s = Segments(top);
    EXPECT_NEAR(s[0].points[0].x, 50, 1e-4);
    EXPECT_NEAR(s[0].points[0].y, 0, 1e-4);

    // A negative sweep runs the other way.
    LGraphicsPath back;
    back.AddArc(0, 0, 100, 100, 0, -90);
    EXPECT_EQ(Segments(back).size(), 3u);
    EXPECT_NEAR(arcEnd(back).y, 0, 1e-4);

    // No width: parametric angles 0, every piece collapses onto one point.
    LGraphicsPath flat;
    flat.AddArc(0, 0, 0, 100, 0, 90);
    for (const Seg& seg : Segments(flat))
        for (const auto& p : seg.points) {
            EXPECT_NEAR(p.x, 0, 1e-6);
            EXPECT_NEAR(p.y, 50, 1e-6);
        }
}

TEST(GraphicsPath, AddPathConnectsFigures)
{
    LGraphicsPath other;
    other.AddLine(10, 10, 20, 10);
    other.AddRectangle(0, 0, 1, 1);

    LGraphicsPath p;
    p.LineTo({ 0, 0 });
    p.AddPath(other, true); // the other path's first move is dropped
    auto s = Segments(p);
    ASSERT_EQ(s.size(), 5u);
    EXPECT_EQ(s[1].type, kLine);
    EXPECT_EQ(s[1].points[0], LPointTemplate<float>(20, 10));
    EXPECT_EQ(s[2].type, kMove);
    EXPECT_EQ(s[3].type, kPoly);
    EXPECT_EQ(s[4].type, kClose);

    LGraphicsPath empty;
    empty.AddPath(other, true); // onto an empty path the move stays
    EXPECT_EQ(Segments(empty)[0].type, kMove);
    EXPECT_EQ(empty.GetSegmentCount(), other.GetSegmentCount());

    // Appending a path to itself copies what it had.
    empty.AddPath(empty, false);
    EXPECT_EQ(empty.GetSegmentCount(), 2 * other.GetSegmentCount());
}

TEST(GraphicsPath, SetPointsKeepsWhatFits)
{
    const LPointTemplate<float> pts[7]
        = { { 0, 0 }, { 1, 1 }, { 2, 2 }, { 3, 3 }, { 4, 4 }, { 5, 5 }, { 6, 6 } };
    LGraphicsPathSegment curve(LGraphicsPathSegmentCurve, pts, 3);
    EXPECT_FALSE(curve.SetPoints(pts, 7));
    EXPECT_EQ(curve.GetPointCount(), 6u);
    EXPECT_TRUE(curve.SetPoints(pts, 3));
    LGraphicsPathSegment move(LGraphicsPathSegmentMove, pts, 1);
    EXPECT_FALSE(move.SetPoints(pts + 1, 2));
    EXPECT_EQ(move.GetPointCount(), 1u);
    EXPECT_EQ(move.GetPoints()[0], pts[1]);
    EXPECT_FALSE(move.SetPoints(nullptr, 1));
    LGraphicsPathSegment poly(LGraphicsPathSegmentPolyline, pts, 1);
    EXPECT_TRUE(poly.SetPoints(pts, 7));
    EXPECT_EQ(poly.GetPointCount(), 7u);
    LGraphicsPathSegment close(LGraphicsPathSegmentClose, nullptr, 0);
    EXPECT_FALSE(close.SetPoints(pts, 1));
}

TEST(GraphicsPath, PlatformPathIsCachedUntilAnEdit)
{
    LGraphicsPath p;
    p.AddRectangle(0, 0, 10, 10);
    const cairo_path_t* a = p.CreatePlatformPath();
    EXPECT_EQ(a, p.CreatePlatformPath());
    // move (2) + three lines (6) + close (1)
    EXPECT_EQ(a->num_data, 9);
    p.Translate(5, 5);
    const cairo_path_t* b = p.CreatePlatformPath();
    EXPECT_EQ(b->data[1].point.x, 5);
    p.Scale(2, 3);
    EXPECT_EQ(p.CreatePlatformPath()->data[1].point.y, 15);
}

TEST(GraphicsPath, CreateCGPathHandsOutIndependentCopies)
{
    LGraphicsPath p;
    p.AddRectangle(1, 2, 10, 5);
    cairo_path_t* a = p.CreateCGPath();
    cairo_path_t* b = p.CreateCGPath();
    ASSERT_NE(a, b);
    ASSERT_EQ(a->num_data, 9);
    EXPECT_NE(a->data, b->data);
    EXPECT_EQ(a->data[3].point.x, 11);
    // The caller's copy outlives an edit of the path and the path itself.
    p.Translate(100, 0);
    EXPECT_EQ(a->data[3].point.x, 11);
    cairo_path_t* fresh = p.CreateCGPathInt();
    EXPECT_EQ(fresh->data[3].point.x, 111);
    LGraphicsPath::ReleaseCGPath(fresh);
    LGraphicsPath::ReleaseCGPath(b);
    {
        LGraphicsPath gone;
        gone.AddEllipse(0, 0, 4, 4);
        b = gone.CreateCGPath();
    }
    EXPECT_EQ(b->data[0].header.type, CAIRO_PATH_MOVE_TO);
    LGraphicsPath::ReleaseCGPath(b);
    LGraphicsPath::ReleaseCGPath(a);
    LGraphicsPath empty;
    cairo_path_t* none = empty.CreateCGPath();
    EXPECT_EQ(none->num_data, 0);
    LGraphicsPath::ReleaseCGPath(none);
}

TEST(GraphicsPath, FillRuleDecidesHoles)
{
    DrawCanvas c(60, 60);
    LGraphicsPath p; // even-odd by default
    p.AddRectangle(10, 10, 40, 40);
    p.AddRectangle(20, 20, 20, 20);
    LPaintSurface::FillPath(c.ctx(), LGuiColorRef(LGuiColor::FromRGB8(255, 0, 0)), p);
    EXPECT_EQ(c.At(15, 15).r, 255);
    EXPECT_EQ(c.At(15, 15).g, 0);
    EXPECT_TRUE(c.IsWhite(30, 30)); // the hole
    EXPECT_TRUE(c.IsWhite(5, 5));

    p.SetWindingFill(true);
    LPaintSurface::FillPath(c.ctx(), LGuiColorRef(LGuiColor::FromRGB8(0, 0, 255)), p);
    EXPECT_EQ(c.At(30, 30).b, 255);
    EXPECT_EQ(c.At(30, 30).r, 0);
}

TEST(GraphicsPath, RoundedRectangleFromArcs)
{
    // Corners of radius 15 in the box (10, 10, 80, 60), clockwise from the top-left corner.
    const float x = 10, y = 10, w = 80, h = 60, d = 30;
    LGraphicsPath p;
    p.AddArc(x, y, d, d, 180, 90);
    p.AddArc(x + w - d, y, d, d, 270, 90);
    p.AddArc(x + w - d, y + h - d, d, d, 0, 90);
    p.AddArc(x, y + h - d, d, d, 90, 90);
    p.AddLine(x, y + h - d / 2, x, y + d / 2);
    auto s = Segments(p);
    EXPECT_EQ(s[0].type, kMove);
    EXPECT_EQ(s[3].type, kLine); // the straight top edge into the second corner

    DrawCanvas c(100, 80);
    LPaintSurface::FillPath(c.ctx(), LGuiColorRef(LGuiColor::FromRGB8(255, 0, 0)), p);
    EXPECT_TRUE(c.IsWhite(11, 11)); // cut off by the corner
    EXPECT_TRUE(c.IsWhite(88, 68));
    EXPECT_EQ(c.At(50, 40).r, 255);
    EXPECT_EQ(c.At(30, 11).r, 255); // the top edge past the corner
    EXPECT_EQ(c.At(11, 40).r, 255);

    DrawCanvas e(100, 80);
    LPaintSurface::DrawPath(e.ctx(), LGuiColor(), p, 2);
    EXPECT_GT(e.Ink(50, 10), 200);
    EXPECT_GT(e.Ink(10, 40), 200); // the closing edge
    EXPECT_TRUE(e.IsWhite(50, 40));
    EXPECT_TRUE(e.IsWhite(12, 12));
    // The corner curve passes 45 degrees round at r (1 - 1/sqrt 2) from the box corner.
    EXPECT_GT(e.Ink(14, 14), 100);
}
