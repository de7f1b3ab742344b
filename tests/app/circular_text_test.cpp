#include "app/VTOverlayCircularText.h"
#include "app/VTOverlayImage.h"
#include "support/DocumentTestSupport.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <numbers>

#include <pango/pangocairo.h>
#include <unistd.h>

namespace {

constexpr double kPi = std::numbers::pi;

void Arc270(VTOverlayCircularText& c, LAlignment alignment = 1)
{
    c.centreAngle = 270;
    c.outerRadius = 50;
    c.alignment = alignment;
    c.ComputeControlPoints(20, 5);
}

// The angle (0..360) of a canvas pixel about the canvas centre.
double AngleOf(MmCanvas& c, int x, int y)
{
    double a = std::atan2(y + 0.5 - c.height() / 2.0, x + 0.5 - c.width() / 2.0) * 180 / kPi;
    return a < 0 ? a + 360 : a;
}

std::unique_ptr<VTOverlayCircularText> Lettering(const char* text, LAlignment alignment)
{
    auto c = std::make_unique<VTOverlayCircularText>();
    c->SetText(text);
    c->font = LGuiFont(23, false, false, false, "DejaVu Sans", false); // 8 mm
    c->centreAngle = 270;
    c->outerRadius = 50;
    c->width = c->height = 100;
    c->alignment = alignment;
    return c;
}

} // namespace

TEST(CircularText, ArcGeometry)
{
    VTOverlayCircularText c;
    Arc270(c);
    EXPECT_FLOAT_EQ(c.bandThickness, 7);
    EXPECT_FLOAT_EQ(c.innerRadius, 43);
    EXPECT_NEAR(c.halfSpanAngle, 13.553, 0.01);
    EXPECT_NEAR(c.startAngle, 256.447, 0.01);
    EXPECT_NEAR(c.endAngle, 283.553, 0.01);
    EXPECT_LT(c.controlPoints[1].y, 0); // P1 above the origin
    EXPECT_NEAR(std::hypot(c.controlPoints[1].x, c.controlPoints[1].y), 50, 1e-4);
    EXPECT_NEAR(std::hypot(c.controlPoints[0].x, c.controlPoints[0].y), 43, 1e-4);
    EXPECT_NEAR(std::hypot(c.controlPoints[8].x, c.controlPoints[8].y), 46.5, 1e-4);
    EXPECT_NEAR(c.controlPoints[7].x, 0, 1e-4);
    EXPECT_NEAR(c.controlPoints[7].y, -50, 1e-4);
    EXPECT_LT(c.controlPoints[0].x, 0); // the text starts on the left
    EXPECT_GT(c.controlPoints[3].x, 0);

    // Alignment 7 mirrors every point to positive y.
    VTOverlayCircularText lower;
    Arc270(lower, 7);
    for (int i = 0; i < 9; ++i) {
        EXPECT_GT(lower.controlPoints[i].y, 0) << i;
        EXPECT_FLOAT_EQ(lower.controlPoints[i].y, -c.controlPoints[i].y) << i;
        EXPECT_FLOAT_EQ(lower.controlPoints[i].x, c.controlPoints[i].x) << i;
    }
}

TEST(CircularText, ArcAcrossZeroDegrees)
{
    VTOverlayCircularText c;
    c.centreAngle = 5;
    c.outerRadius = 50;
    // A width that gives a half span of 10 degrees on the middle circle (46.5).
    const float perDegree = float(2 * 46.5 * kPi / 360);
    c.ComputeControlPoints(20 * perDegree - 2, 5);
    EXPECT_NEAR(c.halfSpanAngle, 10, 1e-3);
    EXPECT_NEAR(c.startAngle, -5, 1e-3);
    EXPECT_NEAR(c.endAngle, 15, 1e-3);
    EXPECT_TRUE(c.IsInArcAngle(358));
    EXPECT_TRUE(c.IsInArcAngle(0));
    EXPECT_TRUE(c.IsInArcAngle(10));
    EXPECT_FALSE(c.IsInArcAngle(350));
    EXPECT_FALSE(c.IsInArcAngle(20));

    VTOverlayCircularText top;
    Arc270(top);
    EXPECT_TRUE(top.IsInArcAngle(270));
    EXPECT_FALSE(top.IsInArcAngle(90));
    VTOverlayCircularText bottom;
    Arc270(bottom, 7);
    EXPECT_TRUE(bottom.IsInArcAngle(90));
    EXPECT_FALSE(bottom.IsInArcAngle(270));

    // A text that reaches all round: a full ring, every angle.
    VTOverlayCircularText ring;
    ring.centreAngle = 270;
    ring.outerRadius = 20;
    ring.ComputeControlPoints(500, 5);
    EXPECT_GE(ring.halfSpanAngle, 180);
    for (float a = 0; a < 360; a += 45)
        EXPECT_TRUE(ring.IsInArcAngle(a)) << a;
    LGraphicsPath path;
    ring.ComputeGraphicsPath(path);
    int moves = 0, closes = 0;
    for (const LGraphicsPathSegment& s : path.GetSegments()) {
        moves += s.GetType() == LGraphicsPathSegmentMove;
        closes += s.GetType() == LGraphicsPathSegmentClose;
    }
    EXPECT_EQ(moves, 1);
    EXPECT_EQ(closes, 1);

    // A circle too small for its text band gets the whole ring instead of dividing by zero.
    VTOverlayCircularText tiny;
    tiny.outerRadius = 3.5f;
    tiny.ComputeControlPoints(10, 5);
    EXPECT_TRUE(std::isfinite(tiny.startAngle));
    EXPECT_GE(tiny.halfSpanAngle, 180);
}

// Angles far beyond a turn (a float steps by more than 360 there) come into one turn at once:
// a child process killed by its alarm shows a loop that never ends.
TEST(CircularText, HugeAnglesComeIntoOneTurn)
{
    EXPECT_EXIT(
        {
            alarm(20);
            bool right = true;
            for (float angle : { 7.7e31f, -7.7e31f, 6.3e15f, 8589934592.0f, -1e9f, 3.4e38f }) {
                VTOverlayCircularText c;
                c.centreAngle = angle;
                c.outerRadius = 50;
                c.ComputeControlPoints(20, 5);
                right = right && c.startAngle >= -360 && c.startAngle <= 360 && c.endAngle >= 0
                    && c.endAngle <= 360 && c.startAngle <= c.endAngle;
                c.Rotate(angle);
                right = right && c.rotation >= 0 && c.rotation < 360;
                c.Rotate(-angle * 0.75f);
                right = right && c.rotation >= 0 && c.rotation < 360;
            }
            std::exit(right ? 0 : 3);
        },
        ::testing::ExitedWithCode(0), "");

    // Ordinary angles keep their values; a positive whole turn ends the arc at 360, a negative one
    // at 0.
    VTOverlayCircularText c;
    c.outerRadius = 50;
    const float perDegree = float(2 * 46.5 * kPi / 360);
    c.centreAngle = 720 + 350;
    c.ComputeControlPoints(20 * perDegree - 2, 5);
    EXPECT_NEAR(c.startAngle, 340, 1e-3);
    EXPECT_NEAR(c.endAngle, 360, 1e-3);
    c.centreAngle = -3610;
    c.ComputeControlPoints(20 * perDegree - 2, 5);
    EXPECT_NEAR(c.startAngle, -20, 1e-3);
    EXPECT_NEAR(c.endAngle, 0, 1e-3);
    c.Rotate(-90);
    EXPECT_FLOAT_EQ(c.rotation, 270);
    c.Rotate(3600 + 100);
    EXPECT_FLOAT_EQ(c.rotation, 10);
}

TEST(CircularText, HitTestOnTheBand)
{
    VTOverlayCircularText c;
    Arc270(c);
    // Straight above the centre lies the middle of a 270-degree text.
    EXPECT_TRUE(c.HitTest(0, -46));
    EXPECT_EQ(c.hitFlags, VTHitInside);
    EXPECT_FALSE(c.HitTest(0, 46));
    EXPECT_EQ(c.hitFlags, 0);
    EXPECT_FALSE(c.HitTest(0, -40)); // inside the inner radius
    EXPECT_FALSE(c.HitTest(0, -51));
    EXPECT_FALSE(c.HitTest(46, 0));
    EXPECT_TRUE(c.HitTest(-10, -45)); // within the arc's span

    VTOverlayCircularText lower;
    Arc270(lower, 7);
    EXPECT_TRUE(lower.HitTest(0, 46));
    EXPECT_FALSE(lower.HitTest(0, -46));

    // A text at angle 0 is hit on the positive x axis.
    VTOverlayCircularText right;
    right.centreAngle = 0;
    right.outerRadius = 50;
    right.ComputeControlPoints(20, 5);
    EXPECT_TRUE(right.HitTest(46, 0));
    EXPECT_FALSE(right.HitTest(-46, 0));
}

TEST(CircularText, BoundingBoxFit)
{
    VTOverlayCircularText c;
    Arc270(c);
    LBoundingBox2T<float> small(0, 0, 20, 35);
    c.SetToBoundingBox(small);
    EXPECT_EQ(c.outerRadius, 50);
    EXPECT_EQ(c.width, 0);
    LBoundingBox2T<float> wide(10, 10, 50, 30);
    c.centreX = 4;
    c.SetToBoundingBox(wide);
    EXPECT_EQ(c.width, 40);
    EXPECT_EQ(c.height, 40);
    EXPECT_EQ(c.outerRadius, 20);
    EXPECT_EQ(c.centreX, 0);
    EXPECT_EQ(c.centreY, 0);
}

TEST(CircularText, CharactersCopiesAndConversion)
{
    VTOverlayCircularText c;
    char out[8];
    c.GetCharFromString(out, "aåb€", 1);
    EXPECT_STREQ(out, "å");
    c.GetCharFromString(out, "aåb€", 3);
    EXPECT_STREQ(out, "€");
    c.GetCharFromString(out, "aåb€", 4);
    EXPECT_STREQ(out, "");
    c.GetCharFromString(out, "a\xE2\x82", 1); // a cut-off sequence gives what is there
    EXPECT_STREQ(out, "\xE2\x82");
    EXPECT_EQ(c.alignment, 1);

    VTOverlayCircularText a;
    Arc270(a, 7);
    a.SetText("Skiva\r\nett");
    a.centreAngle = 400;
    a.width = a.height = 100;
    a.rotation = 90;
    a.SetTextColour(LPFB8G8R8A8 { 1, 2, 3, 255 });
    std::unique_ptr<VTOverlay> clone(a.Clone());
    ASSERT_EQ(clone->GetType(), 2);
    auto& b = static_cast<VTOverlayCircularText&>(*clone);
    EXPECT_EQ(b.centreAngle, 40);
    EXPECT_EQ(b.outerRadius, 50);
    EXPECT_EQ(b.alignment, 7); // copied unturned
    EXPECT_EQ(b.halfSpanAngle, 0); // derived values are not copied
    EXPECT_STREQ(b.GetText(), "Skiva\nett");
    EXPECT_EQ(b.textColour.r, 3);

    a.centreAngle = -30;
    b.CopyFrom(a);
    EXPECT_EQ(b.centreAngle, 330);

    VTOverlayCircularText other;
    other.SetText("annan");
    other.outerRadius = 33;
    other.SwapContent(&a);
    EXPECT_STREQ(a.GetText(), "annan");
    EXPECT_EQ(a.outerRadius, 33);
    EXPECT_STREQ(other.GetText(), "Skiva\nett");
    VTOverlayText straight;
    VTOverlayImage image;
    other.SwapContent(&straight);
    other.SwapContent(&image);
    other.SwapContent(nullptr);
    EXPECT_STREQ(other.GetText(), "Skiva\nett");

    VTOverlayCircularText top;
    Arc270(top);
    top.SetText("Topp");
    top.width = top.height = 100;
    top.SetBackgroundColour(LPFB8G8R8A8 { 9, 9, 9, 9 });
    std::unique_ptr<VTOverlayText> t(top.ConvertToOverlayText());
    EXPECT_EQ(t->GetType(), 0);
    EXPECT_NEAR(t->centreX, 0, 1e-4);
    EXPECT_NEAR(t->centreY, -50, 1e-4);
    EXPECT_EQ(t->width, 100);
    EXPECT_EQ(t->alignment, 4);
    EXPECT_EQ(t->backgroundColour.a, 9);
    EXPECT_STREQ(t->GetText(), "Topp");
}

TEST(CircularText, TextHeightCheck)
{
    auto c = Lettering("Rad ett\nrad två", 1);
    c->font = LGuiFont(34, false, false, false, "DejaVu Sans", false); // 12 mm
    c->outerRadius = 10;
    EXPECT_FALSE(c->CheckTextHeight());
    c->outerRadius = 30;
    EXPECT_TRUE(c->CheckTextHeight()); // measured as one line
}

TEST(CircularTextPaint, CharactersFollowTheArc)
{
    for (LAlignment alignment : { 1, 7 }) {
        MmCanvas c(110, 110, 4);
        auto text = Lettering("VORANTEL SKIVA", alignment);
        text->Paint(c.ctx());
        int inkTop = 0, inkBottom = 0;
        double minAngle = 360, maxAngle = 0;
        for (int y = 0; y < c.height(); ++y)
            for (int x = 0; x < c.width(); ++x) {
                if (c.Ink(x, y) < 128)
                    continue;
                const double r
                    = std::hypot(x + 0.5 - c.width() / 2.0, y + 0.5 - c.height() / 2.0) / 4;
                EXPECT_GT(r, text->innerRadius - 0.5);
                EXPECT_LT(r, text->outerRadius + 0.5);
                (y < c.height() / 2 ? inkTop : inkBottom)++;
                const double a = AngleOf(c, x, y);
                minAngle = std::min(minAngle, a);
                maxAngle = std::max(maxAngle, a);
            }
        if (alignment == 1) {
            EXPECT_GT(inkTop, 500);
            EXPECT_EQ(inkBottom, 0);
            EXPECT_NEAR(minAngle, text->startAngle, 4);
            EXPECT_NEAR(maxAngle, text->endAngle, 4);
        } else {
            EXPECT_GT(inkBottom, 500);
            EXPECT_EQ(inkTop, 0);
            EXPECT_NEAR(minAngle, 360 - text->endAngle, 4);
            EXPECT_NEAR(maxAngle, 360 - text->startAngle, 4);
        }
        EXPECT_GT(text->halfSpanAngle, 20);
    }
}

TEST(CircularTextPaint, BackgroundBandEmptyTextAndLineEnds)
{
    MmCanvas a(110, 110, 4), b(110, 110, 4);
    auto empty = Lettering("", 1);
    empty->backgroundColour = LPFB8G8R8A8 { 0, 200, 0, 255 };
    empty->Paint(a.ctx());
    auto word = Lettering("Text", 1);
    word->backgroundColour = empty->backgroundColour;
    word->Paint(b.ctx());
    EXPECT_TRUE(a.SameAs(b));
    // The band just inside its start is background; inside the inner radius is white.
    const double t = (empty->startAngle + 0.2) * kPi / 180;
    const float midRadius = (empty->innerRadius + empty->outerRadius) / 2;
    DrawPixel band = a.AtMm(float(std::cos(t) * midRadius), float(std::sin(t) * midRadius));
    EXPECT_EQ(band.g, 200);
    EXPECT_EQ(band.r, 0);
    EXPECT_TRUE(a.IsWhite(a.Px(0), a.Py(-30)));
    EXPECT_TRUE(a.IsWhite(a.Px(0), a.Py(46)));

    MmCanvas lines(110, 110, 4), spaces(110, 110, 4);
    Lettering("AB\r\nCD", 1)->Paint(lines.ctx());
    Lettering("AB CD", 1)->Paint(spaces.ctx());
    EXPECT_TRUE(lines.SameAs(spaces));
}

TEST(CircularTextPaint, UnderlineFollowsTheInnerEdge)
{
    MmCanvas c(110, 110, 4);
    auto text = Lettering("iiii", 1);
    text->font.SetUnderline(true);
    text->Paint(c.ctx());
    // The underline: the inner circle at the middle of the arc.
    EXPECT_GT(c.InkMm(0, -text->innerRadius), 60);
}

TEST(CircularTextPaint, PdfPlacesTheCharacters)
{
    TemporaryFolder dir;
    const std::string pdf = dir / "arc.pdf";
    MmPdfPage page(pdf, 2);
    auto text = Lettering("VORANTEL SKIVA", 1);
    text->backgroundColour = LPFB8G8R8A8 { 255, 0, 0, 255 };
    text->Paint(page.Writer());
    ASSERT_TRUE(page.Finish());
    EXPECT_GT(text->halfSpanAngle, 20);
    RgbRaster r = RenderPdfPage(pdf);
    ASSERT_GT(r.width, 0);
    int dark = 0, blue = 0, below = 0;
    for (int y = page.Py(-52); y < page.Py(52); ++y)
        for (int x = page.Px(-52); x < page.Px(52); ++x) {
            DrawPixel p = r.At(x, y);
            const bool isDark = p.r + p.g + p.b < 150;
            const bool isBlue = p.b > 200 && p.r < 60;
            if (y < page.Py(0)) {
                dark += isDark;
                blue += isBlue;
            } else {
                below += isDark || isBlue;
            }
        }
    EXPECT_GT(dark, 200);
    EXPECT_GT(blue, 200);
    EXPECT_EQ(below, 0);
}

// A letter and its combining marks are one character on the arc, as in straight text.
TEST(CircularText, CombiningMarksStayWithTheirLetter)
{
    std::vector<std::string> parts;
    VTOverlayCircularText::SplitCharacters("Cafe\xCC\x81", parts);
    EXPECT_EQ(parts, (std::vector<std::string> { "C", "a", "f", "e\xCC\x81" }));
    VTOverlayCircularText::SplitCharacters("A\xCC\x88x", parts);
    EXPECT_EQ(parts, (std::vector<std::string> { "A\xCC\x88", "x" }));
    // A thumbs-up with a skin tone, a flag: one character each.
    VTOverlayCircularText::SplitCharacters(
        "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD\xF0\x9F\x87\xB8\xF0\x9F\x87\xAA", parts);
    EXPECT_EQ(parts.size(), 2u);
    // Bytes that are no UTF-8 stand alone; nothing is lost.
    VTOverlayCircularText::SplitCharacters("a\xFF\xC3"
                                           "b\xC3\xA5",
        parts);
    EXPECT_EQ(parts, (std::vector<std::string> { "a", "\xFF", "\xC3", "b", "\xC3\xA5" }));
    VTOverlayCircularText::SplitCharacters("", parts);
    EXPECT_TRUE(parts.empty());

    // Drawn along the arc, the decomposed and the composed forms look the same.
    MmCanvas composed(110, 110, 4), decomposed(110, 110, 4);
    Lettering("\xC3\x84PPLE CAF\xC3\x89", 1)->Paint(composed.ctx());
    Lettering("A\xCC\x88PPLE CAFE\xCC\x81", 1)->Paint(decomposed.ctx());
    EXPECT_TRUE(composed.SameAs(decomposed));
}

// ---- Right-to-left words on the arc

namespace {

// The glyphs Pango gives the text on a straight line in the font, left to right as the line
// shows them.
std::vector<unsigned> StraightGlyphs(const char* text, const platform::text::FontRef& font)
{
    PangoContext* context = pango_font_map_create_context(pango_cairo_font_map_get_default());
    PangoLayout* layout = pango_layout_new(context);
    pango_layout_set_font_description(layout, font->Description());
    pango_layout_set_text(layout, text, -1);
    std::vector<unsigned> ids;
    PangoLayoutLine* line = pango_layout_get_line_readonly(layout, 0);
    for (GSList* r = line->runs; r; r = r->next) {
        const auto* run = static_cast<const PangoGlyphItem*>(r->data);
        for (int i = 0; i < run->glyphs->num_glyphs; ++i)
            ids.push_back(run->glyphs->glyphs[i].glyph);
    }
    g_object_unref(layout);
    g_object_unref(context);
    return ids;
}

// The font the text is painted in: the one its layout sets on the context.
platform::text::FontRef PaintedFont(VTOverlayCircularText& text)
{
    MmCanvas c(10, 10, 1);
    text.LayOutOnArc(c.ctx());
    return c.ctx().GetFont().GetPlatformFont();
}

// The glyphs of the arc's clusters, from the start of the reading to its end.
std::vector<unsigned> ArcGlyphs(const std::vector<VTOverlayCircularText::ArcCluster>& arc)
{
    std::vector<unsigned> ids;
    for (const auto& c : arc)
        ids.insert(ids.end(), c.glyphs.begin(), c.glyphs.end());
    return ids;
}

} // namespace

// A Hebrew word reads from right to left along the arc as on a straight line, Arabic letters are
// joined as on a line, and a mixed text keeps its left-to-right parts in order: the glyphs set
// along the arc, read from the arc's start, are those Pango gives the same text on a straight
// line, on both sides of the circle, on screen and in PDF.
TEST(CircularText, RightToLeftWordsReadAsOnAStraightLine)
{
    const char* const hebrew = "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D"; // shalom
    const char* const arabic = "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7"; // marhaba
    const std::string mixed = std::string("CD ") + hebrew + " 2024";
    for (const char* words : { hebrew, arabic, mixed.c_str() }) {
        for (LAlignment alignment : { 1, 7 }) {
            auto text = Lettering(words, alignment);
            const std::vector<unsigned> straight = StraightGlyphs(words, PaintedFont(*text));
            ASSERT_FALSE(straight.empty());
            MmCanvas screen(110, 110, 4);
            const auto arc = text->LayOutOnArc(screen.ctx());
            EXPECT_EQ(ArcGlyphs(arc), straight) << words << " alignment " << alignment;
            // Each cluster a step further along the arc in the reading's direction.
            for (size_t i = 1; i < arc.size(); ++i) {
                if (alignment == 1)
                    EXPECT_GT(arc[i].angle, arc[i - 1].angle) << words;
                else
                    EXPECT_LT(arc[i].angle, arc[i - 1].angle) << words;
            }
            TemporaryFolder dir;
            MmPdfPage page(dir / "arc.pdf", 2);
            EXPECT_EQ(ArcGlyphs(text->LayOutOnArc(page.Writer().GetPaintContext())), straight);
        }
    }

    // The test can tell: the word's first letter comes last from the left, and joined Arabic
    // letters are other glyphs than the letters alone.
    auto word = Lettering(hebrew, 1);
    MmCanvas c(110, 110, 4);
    const auto arc = word->LayOutOnArc(c.ctx());
    ASSERT_EQ(arc.size(), 4u);
    EXPECT_EQ(arc.back().text, "\xD7\xA9");
    const platform::text::FontRef font = PaintedFont(*word);
    const std::vector<unsigned> joined = StraightGlyphs(arabic, font);
    const std::vector<unsigned> meem = StraightGlyphs("\xD9\x85", font);
    ASSERT_EQ(joined.size(), 5u);
    ASSERT_EQ(meem.size(), 1u);
    EXPECT_NE(joined.back(), meem.front()); // the word's first letter, in its initial form
}

// The words are painted where they are laid out: on the band, above the centre for alignment 1,
// on screen and in PDF; and a left-to-right text is still set character by character.
TEST(CircularTextPaint, RightToLeftWordsArePaintedOnTheBand)
{
    const char* const arabic
        = "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7 \xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7";
    MmCanvas c(110, 110, 4);
    auto text = Lettering(arabic, 1);
    text->Paint(c.ctx());
    int ink = 0, outside = 0;
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) {
            if (c.Ink(x, y) < 128)
                continue;
            const double r = std::hypot(x + 0.5 - c.width() / 2.0, y + 0.5 - c.height() / 2.0) / 4;
            const bool onBand
                = y < c.height() / 2 && r > text->innerRadius - 0.5 && r < text->outerRadius + 0.5;
            (onBand ? ink : outside)++;
        }
    EXPECT_GT(ink, 500);
    EXPECT_EQ(outside, 0);

    TemporaryFolder dir;
    const std::string pdf = dir / "arc.pdf";
    MmPdfPage page(pdf, 2);
    text->Paint(page.Writer());
    ASSERT_TRUE(page.Finish());
    RgbRaster r = RenderPdfPage(pdf);
    ASSERT_GT(r.width, 0);
    int dark = 0, below = 0;
    for (int y = page.Py(-52); y < page.Py(52); ++y)
        for (int x = page.Px(-52); x < page.Px(52); ++x)
            if (r.Ink(x, y) > 128)
                (y < page.Py(0) ? dark : below)++;
    EXPECT_GT(dark, 100);
    EXPECT_EQ(below, 0);

    std::vector<std::string> parts;
    VTOverlayCircularText::SplitCharacters("VORANTEL", parts);
    auto latin = Lettering("VORANTEL", 1);
    const auto arc = latin->LayOutOnArc(c.ctx());
    ASSERT_EQ(arc.size(), parts.size());
    for (size_t i = 0; i < arc.size(); ++i)
        EXPECT_EQ(arc[i].text, parts[i]);
}
