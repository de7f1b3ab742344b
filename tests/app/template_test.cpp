#include "app/VTBackgroundFill.h"
#include "app/VTTemplate.h"
#include "support/DocumentTestSupport.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <memory>
#include <typeinfo>

namespace {

std::unique_ptr<VTTemplateData> Make(int format)
{
    return std::unique_ptr<VTTemplateData>(
        VTTemplate::CreateTemplateData(VTTemplateFormat(format)));
}

// Figures of a path: how many start with a move, how many end with a close segment.
void CountFigures(const LGraphicsPath& path, int& moves, int& closes)
{
    moves = closes = 0;
    for (const LGraphicsPathSegment& s : path.GetSegments()) {
        moves += s.GetType() == LGraphicsPathSegmentMove;
        closes += s.GetType() == LGraphicsPathSegmentClose;
    }
}

struct Ring {
    float outer, inner, bandOuter, bandInner;
    bool band;
};

Ring RingOf(const VTTemplateDataDiscCDDVDStandard& d)
{
    Ring r {};
    d.GetDiscPrintableArea(r.outer, r.inner, r.band, r.bandOuter, r.bandInner);
    return r;
}

LBrushInfo Solid(uint8_t r, uint8_t g, uint8_t b)
{
    LBrushInfo info;
    info.kind = LBrushInfoKindSolid;
    info.color = LGuiColorAlpha::FromRGBA8(r, g, b, 255);
    return info;
}

LBrushInfo Gradient(uint32_t kind, float x1, float y1, float x2, float y2)
{
    LBrushInfo info;
    info.kind = kind;
    info.geometry[0] = x1;
    info.geometry[1] = y1;
    info.geometry[2] = x2;
    info.geometry[3] = y2;
    info.stopCount = 2;
    info.stopPositions[0] = 0;
    info.stopColors[0] = LGuiColorAlpha::FromRGBA8(255, 0, 0, 255);
    info.stopPositions[1] = 1;
    info.stopColors[1] = LGuiColorAlpha::FromRGBA8(0, 0, 255, 255);
    return info;
}

} // namespace

TEST(TemplateFormats, FactoryGivesTheSixFormats)
{
    struct Expect {
        const char* key;
        const char* shortText;
        const char* longText;
        float w, h, spine;
    } const table[6] = {
        { "disccddvdstd", "Skiva", "Standardskiva", 120, 120, 0 },
        { "casecdstdfront", "Fodral - Framsida", "Standard-CD-fodral - Fram", 240, 120, 0 },
        { "casecdstdback", "Mål - Tillbaka", "Standard-CD-fodral - Baksida", 150, 118, 0 },
        { "jewelcaseinsertstd", "Infoga", "Standard Juvelfodral Infoga", 120, 120, 0 },
        { "casedvdstd", "Fall", "Standard DVD-fodral", 272, 184, 15 },
        { "casebluraystd", "Fall", "Standard BluRay fall", 276, 149.86f, 13 },
    };
    for (int f = 0; f < 6; ++f) {
        auto data = Make(f);
        ASSERT_TRUE(data) << f;
        EXPECT_STREQ(data->GetKey(), table[f].key);
        EXPECT_STREQ(data->GetDescriptionShort(), table[f].shortText);
        EXPECT_STREQ(data->GetDescriptionLong(), table[f].longText);
        float w = 0, h = 0;
        data->GetDimensions(w, h);
        EXPECT_EQ(w, table[f].w) << f;
        EXPECT_EQ(h, table[f].h) << f;
        EXPECT_EQ(data->GetSpineWidth(), table[f].spine) << f;
    }
    EXPECT_EQ(Make(6), nullptr);
    EXPECT_EQ(Make(1000), nullptr);
    EXPECT_EQ(Make(-1), nullptr);

    auto dvd = Make(4);
    dvd->SetSpineWidth(-3.25f); // stored as given
    EXPECT_EQ(dvd->GetSpineWidth(), -3.25f);
}

TEST(TemplateFormats, DiscRingDefaultsAndClipping)
{
    VTTemplateDataDiscCDDVDStandard disc;
    Ring r = RingOf(disc);
    EXPECT_EQ(r.outer, 118);
    EXPECT_EQ(r.inner, 35);
    EXPECT_FALSE(r.band);
    EXPECT_EQ(r.bandOuter, 37);
    EXPECT_EQ(r.bandInner, 36);

    LGraphicsPath path;
    disc.GetClippingPath(path);
    int moves = 0, closes = 0;
    CountFigures(path, moves, closes);
    EXPECT_EQ(moves, 2);
    EXPECT_EQ(closes, 2);

    disc.SetDiscPrintableArea(118, 35, true, 37, 36);
    LGraphicsPath banded;
    disc.GetClippingPath(banded);
    CountFigures(banded, moves, closes);
    EXPECT_EQ(moves, 4);
    EXPECT_EQ(closes, 4);

    // A case's clipping path is its rectangle.
    auto front = Make(1);
    LGraphicsPath rect;
    front->GetClippingPath(rect);
    CountFigures(rect, moves, closes);
    EXPECT_EQ(moves, 1);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(rect.GetSegments().GetHead()->GetPoints()[0], LPointTemplate<float>(-120, -60));
}

TEST(TemplateFormats, DiscPrintableAreaIsPushedOutwards)
{
    VTTemplateDataDiscCDDVDStandard disc;
    disc.SetDiscPrintableArea(118, 10, false, 37, 36);
    Ring r = RingOf(disc);
    EXPECT_EQ(r.inner, 15.5f);
    EXPECT_EQ(r.bandInner, 36);
    EXPECT_EQ(r.bandOuter, 37);
    EXPECT_EQ(r.outer, 118);

    disc.SetDiscPrintableArea(100, 50, true, 40, 45);
    r = RingOf(disc);
    EXPECT_EQ(r.inner, 50);
    EXPECT_EQ(r.bandInner, 50.5f);
    EXPECT_EQ(r.bandOuter, 51);
    EXPECT_EQ(r.outer, 100);
    EXPECT_TRUE(r.band);

    disc.SetDiscPrintableArea(40, 35, true, 37, 36);
    EXPECT_EQ(RingOf(disc).outer, 40);
    disc.SetDiscPrintableArea(37.2f, 35, true, 37, 36);
    EXPECT_EQ(RingOf(disc).outer, 37.5f);

    // The band is clamped while it is off too.
    disc.SetDiscPrintableArea(118, 35, false, 20, 20);
    r = RingOf(disc);
    EXPECT_EQ(r.bandInner, 35.5f);
    EXPECT_EQ(r.bandOuter, 36);

    disc.SetOuterDiameter(10);
    EXPECT_EQ(disc.GetOuterDiameter(), 36.5f);
    disc.SetInnerDiameter(200);
    EXPECT_EQ(disc.GetInnerDiameter(), 35); // band inner - 0.5
    disc.SetInnerDiameter(1);
    EXPECT_EQ(disc.GetInnerDiameter(), 15.5f);
}

TEST(TemplateFormats, PrintableAreaCopiesOnlyBetweenDiscs)
{
    VTTemplateDataDiscCDDVDStandard source, target;
    // Values the clamping setter would change are copied as they are.
    source.outerDiameter = 50;
    source.innerDiameter = 10;
    source.useBand = true;
    source.bandOuterDiameter = 12;
    source.bandInnerDiameter = 30;
    target.SetPrintableArea(source);
    Ring r = RingOf(target);
    EXPECT_EQ(r.outer, 50);
    EXPECT_EQ(r.inner, 10);
    EXPECT_TRUE(r.band);
    EXPECT_EQ(r.bandOuter, 12);
    EXPECT_EQ(r.bandInner, 30);

    // A case as the source changes nothing (and is never read as a disc).
    auto back = Make(2);
    VTTemplateDataDiscCDDVDStandard fresh;
    fresh.SetPrintableArea(*back);
    r = RingOf(fresh);
    EXPECT_EQ(r.outer, 118);
    EXPECT_EQ(r.inner, 35);
    // A case as the target ignores a disc.
    back->SetPrintableArea(source);
    EXPECT_EQ(back->GetSpineWidth(), 0);
}

TEST(TemplateOutlines, GuideLinesOfTheCases)
{
    const LGuiColor black;
    {
        MmCanvas c(160, 130, 2);
        auto back = Make(2);
        back->PaintOutline(c.ctx(), black, 0.5f, nullptr);
        EXPECT_GT(c.InkMm(-70, 0), 100);
        EXPECT_GT(c.InkMm(70, 0), 100);
        EXPECT_GT(c.InkMm(-75, 0), 100); // the frame
        EXPECT_GT(c.InkMm(0, -59), 100);
        EXPECT_EQ(c.InkMm(0, 0), 0);
        EXPECT_EQ(c.InkMm(-72.5f, 0), 0);
    }
    {
        MmCanvas c(280, 190, 2);
        auto dvd = Make(4);
        dvd->PaintOutline(c.ctx(), black, 0.5f, nullptr);
        EXPECT_GT(c.InkMm(-7.5f, 10), 100);
        EXPECT_GT(c.InkMm(7.5f, 10), 100);
        EXPECT_EQ(c.InkMm(0, 10), 0);
        EXPECT_GT(c.InkMm(136, 0), 100);
        EXPECT_GT(c.InkMm(0, 92), 100);
    }
    {
        MmCanvas c(280, 190, 2);
        auto dvd = Make(4);
        dvd->SetSpineWidth(0); // both lines at x = 0
        dvd->PaintOutline(c.ctx(), black, 0.5f, nullptr);
        EXPECT_GT(c.InkMm(0, 10), 100);
        EXPECT_EQ(c.InkMm(-7.5f, 10), 0);
    }
    {
        MmCanvas c(250, 130, 2);
        auto front = Make(1);
        front->PaintOutline(c.ctx(), black, 0.5f, nullptr);
        EXPECT_GT(c.InkMm(0, 30), 100);
        EXPECT_GT(c.InkMm(120, 30), 100);
        EXPECT_EQ(c.InkMm(60, 30), 0);
    }
    {
        MmCanvas c(130, 130, 2);
        auto insert = Make(3);
        insert->PaintOutline(c.ctx(), black, 0.5f, nullptr);
        EXPECT_GT(c.InkMm(-60, 0), 100);
        EXPECT_EQ(c.InkMm(0, 0), 0);
    }
}

TEST(TemplateOutlines, DiscOutlineShowsRingEdgeAndHole)
{
    MmCanvas c(130, 130, 4);
    VTTemplateDataDiscCDDVDStandard disc;
    disc.SetDiscPrintableArea(100, 40, true, 70, 60);
    disc.PaintOutline(c.ctx(), LGuiColor(0, 0, 0xFF00), 0.5f, nullptr);
    for (float d : { 120.0f, 100.0f, 70.0f, 60.0f, 40.0f, 15.0f }) {
        EXPECT_GT(c.InkMm(d / 2, 0), 60) << d;
        DrawPixel p = c.AtMm(0, -d / 2);
        EXPECT_GT(p.b, 200) << d;
        EXPECT_LT(p.r, 100) << d;
    }
    // No seam joins the circles.
    EXPECT_EQ(c.InkMm(25, 0), 0);
    EXPECT_EQ(c.InkMm(45, 0), 0);
}

TEST(TemplateBackground, DiscClipLeavesBandAndHoleEmpty)
{
    MmCanvas c(130, 130, 2);
    VTTemplateDataDiscCDDVDStandard disc;
    disc.SetDiscPrintableArea(118, 35, true, 80, 60);
    LGraphicsPath clip;
    disc.GetClippingPath(clip);
    LPaintSurface::ClipIntersect(c.ctx(), clip);
    LBrushInfo red = Solid(255, 0, 0);
    disc.PaintBackground(c.ctx(), &red);
    auto isRed = [&](float x, float y) {
        DrawPixel p = c.AtMm(x, y);
        return p.r == 255 && p.g == 0 && p.b == 0;
    };
    EXPECT_TRUE(isRed(25, 0)); // between hole and band
    EXPECT_TRUE(isRed(0, -50)); // outside the band
    EXPECT_FALSE(isRed(35, 0)); // in the band
    EXPECT_FALSE(isRed(0, 5)); // in the hole
    EXPECT_FALSE(isRed(42, 42)); // outside the disc, inside its square
}

TEST(TemplateBackground, EveryBrushKindOnScreen)
{
    auto insert = Make(3);
    {
        MmCanvas c(130, 130, 1);
        LBrushInfo green = Solid(0, 200, 0);
        insert->PaintBackground(c.ctx(), &green);
        DrawPixel p = c.AtMm(-55, 55);
        EXPECT_EQ(p.g, 200);
        EXPECT_TRUE(c.IsWhite(c.Px(-62), c.Py(0)));
    }
    {
        // From the left edge (-0.5 of the width) to the right edge: red to blue.
        MmCanvas c(130, 130, 1);
        LBrushInfo g = Gradient(LBrushInfoKindLinearGradient, -0.5f, 0, 0.5f, 0);
        insert->PaintBackground(c.ctx(), &g);
        DrawPixel left = c.AtMm(-58, 0), right = c.AtMm(58, 0), mid = c.AtMm(0, 0);
        EXPECT_GT(left.r, 230);
        EXPECT_LT(left.b, 25);
        EXPECT_GT(right.b, 230);
        EXPECT_LT(right.r, 25);
        EXPECT_NEAR(mid.r, 128, 8);
        EXPECT_NEAR(mid.b, 128, 8);
    }
    {
        // Start and end together: an even fill of the first colour.
        MmCanvas c(130, 130, 1);
        LBrushInfo g = Gradient(LBrushInfoKindLinearGradient, 0.1f, 0.1f, 0.1f, 0.1f);
        insert->PaintBackground(c.ctx(), &g);
        for (float x : { -50.0f, 0.0f, 50.0f }) {
            DrawPixel p = c.AtMm(x, x);
            EXPECT_EQ(p.r, 255);
            EXPECT_EQ(p.b, 0);
        }
    }
    {
        // Radial about the centre, the second point at (1, 1): the radius is twice the reach
        // of the farthest corner of the unit square, the stops squeezed into its inner half, so
        // blue (last) in the middle turns halfway to red (first) at the template's corner.
        MmCanvas c(130, 130, 1);
        LBrushInfo g = Gradient(LBrushInfoKindRadialGradient, 0, 0, 1, 1);
        insert->PaintBackground(c.ctx(), &g);
        DrawPixel centre = c.AtMm(0, 0), corner = c.AtMm(-59, -59);
        EXPECT_GT(centre.b, centre.r);
        EXPECT_GT(centre.b, 200);
        EXPECT_NEAR(corner.r, 128, 16);
        EXPECT_NEAR(corner.b, 128, 16);
    }
    for (uint32_t kind : { 0u, 4u, 99u }) {
        MmCanvas c(130, 130, 1);
        LBrushInfo g = Gradient(kind, -0.5f, 0, 0.5f, 0);
        g.color = LGuiColorAlpha::FromRGBA8(0, 0, 0, 255);
        insert->PaintBackground(c.ctx(), &g);
        int l, t, r, b;
        EXPECT_FALSE(c.InkBox(l, t, r, b, 0)) << kind;
    }
}

TEST(TemplateBackground, DerivedGradientStops)
{
    LBrushInfo in = Gradient(LBrushInfoKindLinearGradient, -0.5f, -0.25f, 0.5f, 0.25f);
    in.stopPositions[0] = 0.2f;
    in.stopPositions[1] = 0.7f;
    LBrushInfo out;
    CreateLinearBrush(out, in, 200, 100);
    EXPECT_EQ(out.kind, LBrushInfoKindLinearGradient);
    ASSERT_EQ(out.stopCount, 4u);
    EXPECT_EQ(out.stopPositions[0], 0);
    EXPECT_EQ(out.stopPositions[1], 0.2f);
    EXPECT_EQ(out.stopPositions[2], 0.7f);
    EXPECT_EQ(out.stopPositions[3], 1);
    EXPECT_EQ(out.stopColors[0], in.stopColors[0]);
    EXPECT_EQ(out.stopColors[3], in.stopColors[1]);
    EXPECT_EQ(out.geometry[0], -100);
    EXPECT_EQ(out.geometry[1], -25);
    EXPECT_EQ(out.geometry[2], 100);
    EXPECT_EQ(out.geometry[3], 25);

    // No stops: nothing happens.
    LBrushInfo empty = in, untouched;
    empty.stopCount = 0;
    untouched.kind = 77;
    CreateLinearBrush(untouched, empty, 200, 100);
    CreateRadialBrush(untouched, empty, 200, 100);
    EXPECT_EQ(untouched.kind, 77u);

    // Radial: centre (0.5, 0), second point (0.5, 0.6): d = sqrt(1.5^2 + 1), r = 0.6 / (2d).
    LBrushInfo radial = Gradient(LBrushInfoKindRadialGradient, 0.5f, 0, 0.5f, 0.6f);
    radial.stopPositions[0] = 0.5f;
    CreateRadialBrush(out, radial, 100, 50);
    const float d = std::sqrt(1.5f * 1.5f + 1.0f), r = 0.6f / (2 * d);
    EXPECT_EQ(out.kind, LBrushInfoKindRadialGradient);
    ASSERT_EQ(out.stopCount, 4u);
    EXPECT_EQ(out.stopPositions[0], 0);
    EXPECT_NEAR(out.stopPositions[1], 0.5f * r + (1 - r), 1e-6);
    EXPECT_NEAR(out.stopPositions[2], 1.0f * r + (1 - r), 1e-6);
    EXPECT_EQ(out.stopPositions[3], 1);
    EXPECT_EQ(out.geometry[0], 50);
    EXPECT_EQ(out.geometry[1], 0);
    EXPECT_NEAR(out.geometry[2], 2 * d * 100, 1e-4);
    EXPECT_NEAR(out.geometry[3], 2 * d * 50, 1e-4);
}

TEST(TemplateBackground, FullStopArraysNeverOverflow)
{
    for (uint32_t count : { 18u, 19u, 20u, 4000000000u }) {
        // Guard slots after the array show any write past its end.
        struct {
            LBrushInfo info;
            uint32_t guard[8];
        } out {};
        std::fill(std::begin(out.guard), std::end(out.guard), 0xA5A5A5A5u);
        LBrushInfo in;
        in.kind = LBrushInfoKindLinearGradient;
        in.geometry[2] = 1;
        in.stopCount = count;
        for (int i = 0; i < kLBrushInfoMaxStops; ++i) {
            in.stopPositions[i] = i / 19.0f;
            in.stopColors[i] = LGuiColorAlpha::FromRGBA8(uint8_t(i * 10), 0, 0, 255);
        }
        CreateLinearBrush(out.info, in, 100, 100);
        EXPECT_LE(out.info.stopCount, 20u) << count;
        EXPECT_EQ(out.info.stopPositions[out.info.stopCount - 1], 1.0f);
        const uint32_t last = std::min<uint32_t>(count, 20) - 1;
        EXPECT_EQ(out.info.stopColors[out.info.stopCount - 1], in.stopColors[last]) << count;
        if (count > 18) { // the first 17 and the last of the source
            EXPECT_EQ(out.info.stopColors[18], in.stopColors[last]);
        }
        for (uint32_t g : out.guard)
            EXPECT_EQ(g, 0xA5A5A5A5u);
        CreateRadialBrush(out.info, in, 100, 100);
        EXPECT_LE(out.info.stopCount, 20u);
    }
}

TEST(TemplatePdf, BackgroundAndOutlineInPdf)
{
    TemporaryFolder dir;
    const std::string pdf = dir / "templates.pdf";
    MmPdfPage page(pdf, 2);
    VTTemplateDataDiscCDDVDStandard disc;
    LBrushInfo g = Gradient(LBrushInfoKindLinearGradient, -0.5f, 0, 0.5f, 0);
    LGraphicsPath clip;
    disc.GetClippingPath(clip);
    LPaintContext& ctx = page.Writer().GetPaintContext();
    ctx.SaveGState();
    LPaintSurface::ClipIntersect(ctx, clip);
    disc.PaintBackground(page.Writer(), &g);
    ctx.RestoreGState();
    disc.PaintOutline(page.Writer(), LGuiColor(0, 0x8000, 0), 0.5f);
    ASSERT_TRUE(page.Finish());

    RgbRaster r = RenderPdfPage(pdf);
    ASSERT_GT(r.width, 0);
    DrawPixel left = r.At(page.Px(-50), page.Py(0)), right = r.At(page.Px(50), page.Py(0));
    EXPECT_GT(left.r, 170);
    EXPECT_LT(left.b, 90);
    EXPECT_GT(right.b, 170);
    EXPECT_LT(right.r, 90);
    // The hole is left unpainted; the outline circles are green.
    DrawPixel hole = r.At(page.Px(0), page.Py(3));
    EXPECT_EQ(hole.r + hole.g + hole.b, 3 * 255);
    DrawPixel edge = r.At(page.Px(0), page.Py(-60));
    EXPECT_GT(edge.g, edge.r);
    EXPECT_GT(edge.g, edge.b);
}

TEST(TemplatePdf, CaseOutlinesInPdf)
{
    TemporaryFolder dir;
    const std::string pdf = dir / "back.pdf";
    MmPdfPage page(pdf, 2);
    auto back = Make(2);
    LBrushInfo yellow = Solid(255, 255, 0);
    back->PaintBackground(page.Writer(), &yellow);
    back->PaintOutline(page.Writer(), LGuiColor(), 0.5f);
    ASSERT_TRUE(page.Finish());
    RgbRaster r = RenderPdfPage(pdf);
    ASSERT_GT(r.width, 0);
    EXPECT_GT(r.Ink(page.Px(-70), page.Py(20)), 150);
    EXPECT_GT(r.Ink(page.Px(70), page.Py(20)), 150);
    DrawPixel inside = r.At(page.Px(0), page.Py(20));
    EXPECT_EQ(inside.r, 255);
    EXPECT_EQ(inside.g, 255);
    EXPECT_LT(inside.b, 10);
    DrawPixel outside = r.At(page.Px(0), page.Py(70));
    EXPECT_EQ(outside.b, 255);
}

TEST(TemplatePdf, EveryBrushKindAsOnScreen)
{
    LBrushInfo brushes[4]
        = { Solid(30, 160, 90), Gradient(LBrushInfoKindLinearGradient, -0.5f, -0.5f, 0.5f, 0.5f),
              Gradient(LBrushInfoKindRadialGradient, 0.2f, -0.1f, 0.6f, 0.5f),
              Gradient(LBrushInfoKindNone, -0.5f, 0, 0.5f, 0) };
    brushes[3].color = LGuiColorAlpha::FromRGBA8(0, 0, 0, 255);
    for (int i = 0; i < 4; ++i) {
        auto front = Make(1); // 240 x 120
        MmCanvas screen(240, 120, 1);
        front->PaintBackground(screen.ctx(), &brushes[i]);
        TemporaryFolder dir;
        const std::string pdf = dir / "kind.pdf";
        MmPdfPage page(pdf, 2);
        front->PaintBackground(page.Writer(), &brushes[i]);
        ASSERT_TRUE(page.Finish());
        RgbRaster r = RenderPdfPage(pdf);
        ASSERT_GT(r.width, 0);
        for (float x = -110; x <= 110; x += 20)
            for (float y = -50; y <= 50; y += 25) {
                DrawPixel a = screen.AtMm(x, y), b = r.At(page.Px(x), page.Py(y));
                EXPECT_NEAR(a.r, b.r, 12) << i << " at " << x << "," << y;
                EXPECT_NEAR(a.g, b.g, 12) << i << " at " << x << "," << y;
                EXPECT_NEAR(a.b, b.b, 12) << i << " at " << x << "," << y;
            }
    }
}
