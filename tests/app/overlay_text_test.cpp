#include "app/VTOverlayCircularText.h"
#include "app/VTOverlayImage.h"
#include "app/VTOverlayText.h"
#include "lfw/gen/LXML.h"
#include "support/DocumentTestSupport.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

class Counter : public VTOverlayNotifyee {
public:
    void EvOverlayPropertiesChanged(VTOverlay&) override { ++count; }
    int count = 0;
};

LStringLongTemplate<char> Unix(const char* s)
{
    LStringLongTemplate<char> t(s);
    VTConvertToUnixEOL(t);
    return t;
}

std::unique_ptr<VTOverlayText> TextBox(const char* text, float w, float h)
{
    auto t = std::make_unique<VTOverlayText>();
    t->SetText(text);
    t->width = w;
    t->height = h;
    return t;
}

LPFB8G8R8A8 Bgra(uint8_t b, uint8_t g, uint8_t r, uint8_t a)
{
    return LPFB8G8R8A8 { b, g, r, a };
}

} // namespace

TEST(OverlayText, Defaults)
{
    VTOverlayText t;
    char name[260];
    ASSERT_TRUE(t.font.GetName(name, sizeof name));
    EXPECT_STREQ(name, "Lucida Grande");
    EXPECT_EQ(t.font.GetSize(), 12);
    EXPECT_FALSE(t.font.IsBold());
    EXPECT_FALSE(t.font.IsUnderlined());
    EXPECT_EQ(t.textColour.a, 255);
    EXPECT_EQ(t.textColour.r + t.textColour.g + t.textColour.b, 0);
    EXPECT_EQ(t.backgroundColour.a, 0);
    EXPECT_EQ(t.backgroundColour.r, 255);
    EXPECT_EQ(t.alignment, 4);
    EXPECT_STREQ(t.GetText(), "");
    EXPECT_EQ(t.GetType(), 0);
    EXPECT_EQ(t.GetItemType(), 2);
    EXPECT_EQ(t.width, 0);
    EXPECT_TRUE(t.transform.IsIdentity());
    EXPECT_FALSE(t.copied);

    // The text constructor copies the text as it is.
    VTOverlayText raw("a\r\nb", t.font);
    EXPECT_STREQ(raw.GetText(), "a\r\nb");
}

TEST(OverlayText, SettersTellOnlyOfChanges)
{
    VTOverlayText t;
    Counter c;
    t.AddNotifyee(c);
    t.SetText("Hej");
    t.SetText("Hej");
    EXPECT_EQ(c.count, 1);
    t.SetText(nullptr);
    EXPECT_STREQ(t.GetText(), "");
    t.SetText("");
    EXPECT_EQ(c.count, 2);
    t.SetText("a\r\nb\rc");
    EXPECT_STREQ(t.GetText(), "a\nb\nc");
    EXPECT_EQ(c.count, 3);
    t.SetTextColour(t.textColour);
    t.SetBackgroundColour(t.backgroundColour);
    EXPECT_EQ(c.count, 3);
    t.SetTextColour(Bgra(1, 2, 3, 255));
    t.SetBackgroundColour(Bgra(1, 2, 3, 4));
    EXPECT_EQ(c.count, 5);
    t.SetFont(t.font);
    EXPECT_EQ(c.count, 5);
    t.SetFont(LGuiFont(20, true, false, false, "DejaVu Serif", false));
    EXPECT_EQ(c.count, 6);
    EXPECT_EQ(t.font.GetSize(), 20);
    t.SetAlignment(t.alignment); // always tells
    EXPECT_EQ(c.count, 7);
    t.SetDimensions(3, 4);
    t.NotifyTransformChanged();
    EXPECT_EQ(c.count, 9);
    t.RemoveNotifyee(c);
    t.SetText("x");
    EXPECT_EQ(c.count, 9);
}

TEST(OverlayText, AlignmentTurnsWithTheRotation)
{
    VTOverlayText t;
    LAlignment a = 1;
    t.rotation = 90;
    EXPECT_EQ(t.TransformAlignmentByRotation(a, false), 3);
    EXPECT_EQ(a, 3);
    EXPECT_EQ(t.TransformAlignmentByRotation(a, true), 1);
    for (LAlignment v = 0; v <= 8; ++v) {
        LAlignment forward = v;
        t.TransformAlignmentByRotation(forward, false);
        EXPECT_EQ(t.TransformAlignmentByRotation(forward, true), v) << v;
    }
    t.rotation = 180;
    a = 0;
    EXPECT_EQ(t.TransformAlignmentByRotation(a, false), 8);
    for (float r : { -90.0f, 360.0f, 0.0f, 44.0f }) {
        t.rotation = r;
        for (LAlignment v = 0; v <= 8; ++v) {
            LAlignment same = v;
            EXPECT_EQ(t.TransformAlignmentByRotation(same, false), v) << r;
        }
    }
    t.rotation = 270;
    a = 4;
    EXPECT_EQ(t.TransformAlignmentByRotation(a, false), 4);
    // Five quarter turns keep stepping (the same as one); a huge angle ends quickly.
    t.rotation = 450;
    a = 1;
    EXPECT_EQ(t.TransformAlignmentByRotation(a, false), 3);
    t.rotation = 3.0e9f;
    a = 1;
    t.TransformAlignmentByRotation(a, false);
    EXPECT_GE(a, 0);
    EXPECT_LE(a, 8);
    // A value outside the grid steps like 0.
    t.rotation = 90;
    a = 12;
    EXPECT_EQ(t.TransformAlignmentByRotation(a, false), 6);

    // The setter stores the choice turned by the rotation; a circular text stores it as given.
    t.SetAlignment(1);
    EXPECT_EQ(t.alignment, 3);
    VTOverlayCircularText circular;
    circular.rotation = 90;
    circular.SetAlignment(7);
    EXPECT_EQ(circular.alignment, 7);
}

TEST(OverlayText, LineEnds)
{
    EXPECT_STREQ(Unix("a\r\nb\n\rc\rd").GetString(), "a\nb\nc\nd");
    EXPECT_STREQ(Unix("a\n\nb").GetString(), "a\n\nb");
    EXPECT_STREQ(Unix("\r\r\n\n").GetString(), "\n\n\n");
    EXPECT_EQ(Unix("x\r\n").GetLength(), 2u);
    LStringLongTemplate<char> empty;
    VTConvertToUnixEOL(empty);
    EXPECT_STREQ(empty.GetString(), "");

    LStringLongTemplate<char> out("unchanged");
    VTReplaceEOL(out, LStringLongTemplate<char>("a\r\nb\nc"), nullptr);
    EXPECT_STREQ(out.GetString(), "unchanged");
    VTReplaceEOL(out, LStringLongTemplate<char>("a\r\nb\n\rc\rd\n"), " ");
    EXPECT_STREQ(out.GetString(), "a b c d ");
    VTReplaceEOL(out, out, "--"); // the source may be the target
    EXPECT_STREQ(out.GetString(), "a b c d ");
}

TEST(OverlayText, CopyCloneAndSwap)
{
    VTOverlayText a;
    a.SetText("Första");
    a.width = 40;
    a.height = 10;
    a.centreX = 3;
    a.centreY = -4;
    a.Rotate(90);
    a.SetAlignment(1); // stored turned: 3
    a.transform.m[0][0] = -a.transform.m[0][0]; // a flip, which copies do not carry
    a.SetTextColour(Bgra(10, 20, 30, 255));
    a.SetBackgroundColour(Bgra(40, 50, 60, 70));
    a.SetFont(LGuiFont(18, false, true, true, "DejaVu Sans", false));
    a.copied = true;

    std::unique_ptr<VTOverlay> copy(a.Clone());
    ASSERT_EQ(copy->GetType(), 0);
    auto& b = static_cast<VTOverlayText&>(*copy);
    EXPECT_STREQ(b.GetText(), "Första");
    EXPECT_EQ(b.width, 40);
    EXPECT_EQ(b.height, 10);
    EXPECT_EQ(b.centreX, 3);
    EXPECT_EQ(b.rotation, 90);
    EXPECT_EQ(b.alignment, 3);
    EXPECT_EQ(b.textColour.r, 30);
    EXPECT_EQ(b.backgroundColour.a, 70);
    EXPECT_TRUE(b.font == a.font);
    EXPECT_FALSE(b.copied);
    EXPECT_EQ(b.transform, VTPlacementMatrix(90, 3, -4));

    VTOverlayText other;
    other.SetText("Andra");
    other.width = 5;
    Counter c;
    other.AddNotifyee(c);
    other.SwapContent(&a);
    EXPECT_STREQ(other.GetText(), "Första");
    EXPECT_STREQ(a.GetText(), "Andra");
    EXPECT_EQ(a.width, 5);
    EXPECT_EQ(other.width, 40);
    EXPECT_GT(c.count, 0);

    // Another kind, or none, changes nothing.
    VTOverlayImage image;
    a.SwapContent(&image);
    a.SwapContent(nullptr);
    VTOverlayCircularText circular;
    a.SwapContent(&circular);
    EXPECT_STREQ(a.GetText(), "Andra");
    EXPECT_EQ(a.width, 5);
}

TEST(OverlayText, ConversionToCircularText)
{
    VTOverlayText t;
    t.SetText("Rund");
    t.SetTextColour(Bgra(0, 0, 200, 255));
    t.centreX = 3;
    t.centreY = 4;
    std::unique_ptr<VTOverlayCircularText> c(t.ConvertToOverlayCircularText());
    EXPECT_EQ(c->GetType(), 2);
    EXPECT_EQ(c->outerRadius, 30);
    EXPECT_EQ(c->width, 60);
    EXPECT_EQ(c->centreAngle, 270);
    EXPECT_EQ(c->alignment, 1);
    EXPECT_EQ(c->textColour.r, 200);
    EXPECT_STREQ(c->GetText(), "Rund");
    EXPECT_EQ(c->halfSpanAngle, 0);

    t.centreX = 40;
    t.centreY = 30;
    c.reset(t.ConvertToOverlayCircularText());
    EXPECT_EQ(c->outerRadius, 50);
    EXPECT_EQ(c->width, 100);
    EXPECT_EQ(c->height, 100);
    EXPECT_EQ(c->centreX, 0);
    EXPECT_EQ(c->centreY, 0);
}

TEST(OverlayTextPaint, EmptyTextPaintsTheWordText)
{
    MmCanvas a(60, 30, 4), b(60, 30, 4);
    TextBox("", 50, 20)->Paint(a.ctx());
    TextBox("Text", 50, 20)->Paint(b.ctx());
    int l, t, r, bottom;
    ASSERT_TRUE(a.InkBox(l, t, r, bottom));
    EXPECT_TRUE(a.SameAs(b));
}

TEST(OverlayTextPaint, AlignmentPlacesTheText)
{
    // A 50 x 30 box of 4 px per mm; the text "Ab" in 23 points (8 mm).
    struct Case {
        LAlignment a;
        int column; // 0 left, 1 centre, 2 right
        int row;
    } const cases[] = { { 0, 0, 0 }, { 1, 1, 0 }, { 2, 2, 0 }, { 3, 0, 1 }, { 4, 1, 1 },
        { 5, 2, 1 }, { 6, 0, 2 }, { 7, 1, 2 }, { 8, 2, 2 }, { 42, 1, 1 } };
    for (const Case& k : cases) {
        MmCanvas c(60, 40, 4);
        auto t = TextBox("Ab", 50, 30);
        t->font = LGuiFont(23, false, false, false, "DejaVu Sans", false);
        t->alignment = k.a;
        t->Paint(c.ctx());
        int l, top, r, b;
        ASSERT_TRUE(c.InkBox(l, top, r, b)) << k.a;
        const float cx = ((l + r) / 2.0f - c.width() / 2.0f) / 4,
                    cy = ((top + b) / 2.0f - c.height() / 2.0f) / 4;
        const float expectX[3] = { -20, 0, 20 }, expectY[3] = { -10, 0, 10 };
        EXPECT_NEAR(cx, expectX[k.column], 6) << k.a;
        EXPECT_NEAR(cy, expectY[k.row], 6) << k.a;
        // Inside the box.
        EXPECT_GE(l, c.Px(-25));
        EXPECT_LE(r, c.Px(25));
        EXPECT_GE(top, c.Py(-15));
        EXPECT_LE(b, c.Py(15));
    }
}

TEST(OverlayTextPaint, WrapsAtWordsAndKeepsLineEnds)
{
    MmCanvas one(110, 60, 2), wrapped(110, 60, 2), broken(110, 60, 2);
    auto line = TextBox("ord ord ord", 100, 50);
    line->font = LGuiFont(17, false, false, false, "DejaVu Sans", false); // 6 mm
    line->alignment = 0;
    line->Paint(one.ctx());
    auto narrow = TextBox("ord ord ord", 16, 50);
    narrow->font = line->font;
    narrow->alignment = 0;
    narrow->Paint(wrapped.ctx());
    auto lines = TextBox("ord\nord\nord", 100, 50);
    lines->font = line->font;
    lines->alignment = 0;
    lines->Paint(broken.ctx());
    int l1, t1, r1, b1, l2, t2, r2, b2, l3, t3, r3, b3;
    ASSERT_TRUE(one.InkBox(l1, t1, r1, b1));
    ASSERT_TRUE(wrapped.InkBox(l2, t2, r2, b2));
    ASSERT_TRUE(broken.InkBox(l3, t3, r3, b3));
    EXPECT_GT(b2 - t2, 2.5 * (b1 - t1)); // three lines
    EXPECT_LT(r2 - l2, (r1 - l1) / 2);
    EXPECT_EQ(b3 - t3, b2 - t2);
}

TEST(OverlayTextPaint, ColoursAndBackground)
{
    // Blue text on no background: the canvas stays white around it.
    MmCanvas c(60, 30, 4);
    auto t = TextBox("H", 50, 20);
    t->font = LGuiFont(40, true, false, false, "DejaVu Sans", false);
    t->textColour = Bgra(200, 0, 0, 255);
    t->backgroundColour = Bgra(0, 0, 255, 0);
    t->Paint(c.ctx());
    EXPECT_TRUE(c.IsWhite(c.Px(-24), c.Py(-9)));
    DrawPixel centre = c.AtMm(0, 0); // the H's bar
    EXPECT_EQ(centre.b, 200);
    EXPECT_EQ(centre.r, 0);

    // Alpha 128: half-transparent red over white on screen.
    MmCanvas half(60, 30, 4);
    t->backgroundColour = Bgra(0, 0, 255, 128);
    t->textColour = Bgra(0, 0, 0, 0); // the text colour's alpha is not used
    t->Paint(half.ctx());
    DrawPixel corner = half.AtMm(-24, -9);
    EXPECT_EQ(corner.r, 255);
    EXPECT_NEAR(corner.g, 127, 2);
    EXPECT_NEAR(corner.b, 127, 2);
    EXPECT_TRUE(half.IsWhite(half.Px(-26), half.Py(0)));
    EXPECT_EQ(half.Ink(half.Px(0), half.Py(0)), 255); // black text
}

TEST(OverlayTextPaint, PdfKeepsTheBackgroundsOpacityAndDrawsTheText)
{
    TemporaryFolder dir;
    const std::string pdf = dir / "text.pdf";
    MmPdfPage page(pdf, 2);
    auto t = TextBox("", 50, 20);
    t->font = LGuiFont(14, true, false, false, "DejaVu Sans", false);
    t->backgroundColour = Bgra(0, 0, 255, 128);
    t->textColour = Bgra(0, 128, 0, 255);
    t->Paint(page.Writer());
    auto none = TextBox("ignored", 10, 10);
    none->backgroundColour = Bgra(0, 0, 0, 0);
    none->textColour = Bgra(255, 255, 255, 255);
    LPaintSurface::TransformTranslate(page.Writer().GetPaintContext(), 0, 40);
    none->Paint(page.Writer());
    ASSERT_TRUE(page.Finish());

    RgbRaster r = RenderPdfPage(pdf);
    ASSERT_GT(r.width, 0);
    // Half-transparent red over white, as on screen.
    DrawPixel corner = r.At(page.Px(-24), page.Py(-9));
    EXPECT_GT(corner.r, 240);
    EXPECT_NEAR(corner.g, 127, 4);
    EXPECT_NEAR(corner.b, 127, 4);
    // "Text" in green somewhere in the box.
    int green = 0;
    for (int y = page.Py(-10); y < page.Py(10); ++y)
        for (int x = page.Px(-25); x < page.Px(25); ++x) {
            DrawPixel p = r.At(x, y);
            green += p.g > 100 && p.r < 60;
        }
    EXPECT_GT(green, 20);
    // Alpha 0: no fill (white text on white shows nothing).
    for (int y = page.Py(36); y < page.Py(44); ++y)
        for (int x = page.Px(-4); x < page.Px(4); ++x)
            ASSERT_EQ(r.Ink(x, y), 0) << x << "," << y;
}

TEST(OverlayText, OldXmlElementsAreReadThroughTheOverlay)
{
    LProcessInterfaceVoid process;
    LXMLElement element("element");
    element.SetAttribute("x", "1000"); // hundredths of a millimetre, the top-left corner
    element.SetAttribute("y", "2000");
    element.SetAttribute("w", "4000");
    element.SetAttribute("h", "3000");
    element.SetAttribute("angle", "30");
    element.SetAttribute("text", "Hej");

    auto expectPlaced = [](const VTOverlay& o) {
        EXPECT_FLOAT_EQ(o.centreX, 30);
        EXPECT_FLOAT_EQ(o.centreY, 35);
        EXPECT_FLOAT_EQ(o.width, 40);
        EXPECT_FLOAT_EQ(o.height, 30);
        EXPECT_FLOAT_EQ(o.rotation, 30);
    };
    std::unique_ptr<VTOverlay> text = std::make_unique<VTOverlayText>();
    EXPECT_EQ(text->SerialiseFromXML(process, element), LProcessResultSuccess);
    expectPlaced(*text);
    EXPECT_STREQ(static_cast<VTOverlayText&>(*text).GetText(), "Hej");

    // Pictures read the placement; an element without a picture file leaves the picture empty.
    std::unique_ptr<VTOverlay> clipart = std::make_unique<VTOverlayClipart>();
    EXPECT_EQ(clipart->SerialiseFromXML(process, element), LProcessResultSuccess);
    expectPlaced(*clipart);
    EXPECT_FALSE(static_cast<VTOverlayImage&>(*clipart).HasValidImage());

    // The old format has no circular texts: nothing is read.
    auto circular = std::make_unique<VTOverlayCircularText>();
    circular->outerRadius = 50;
    VTOverlay& asOverlay = *circular;
    EXPECT_EQ(asOverlay.SerialiseFromXML(process, element), LProcessResultSuccess);
    EXPECT_FLOAT_EQ(circular->centreX, 0);
    EXPECT_FLOAT_EQ(circular->width, 0);
    EXPECT_FLOAT_EQ(circular->rotation, 0);
    EXPECT_STREQ(circular->GetText(), "");
}

// Font sizes are points drawn on millimetres: 18 points are 6.35 mm.
TEST(OverlayTextPaint, SizesArePoints)
{
    // The cap height of DejaVu Sans is 0.729 em: 4.63 mm, 46 px at 10 px per mm.
    MmCanvas caps(90, 40, 10);
    auto h = TextBox("HHHH", 80, 30);
    h->font = LGuiFont(18, false, false, false, "DejaVu Sans", false);
    h->Paint(caps.ctx());
    int l, t, r, b;
    ASSERT_TRUE(caps.InkBox(l, t, r, b));
    EXPECT_NEAR((b - t + 1) / 10.0, 18 * 25.4 / 72 * 0.729, 0.45);

    // An 18-point bold "Hej världen" fits one line of an 80 x 15 mm box: the ink reaches past the
    // middle of the box on both sides of "Hej".
    MmCanvas hello(90, 20, 10);
    auto bold = TextBox("Hej världen", 80, 15);
    bold->font = LGuiFont(18, true, false, false, "DejaVu Sans", false);
    bold->Paint(hello.ctx());
    ASSERT_TRUE(hello.InkBox(l, t, r, b));
    EXPECT_GT((r - l) / 10.0, 35.0);
    EXPECT_LT((b - t) / 10.0, 9.0); // one line

    // 39 characters at the default 12 points fit a 120 mm disc face on one line.
    MmCanvas face(130, 30, 4);
    auto line = TextBox("Vorantel skivetikett med trettionio tkn", 120, 20);
    ASSERT_EQ(line->text.GetLength(), 39u);
    line->Paint(face.ctx());
    ASSERT_TRUE(face.InkBox(l, t, r, b));
    EXPECT_LT((b - t) / 4.0, 6.0);
    EXPECT_GT((r - l) / 4.0, 60.0);
}

// A word wider than its box is broken where it must be, with no hyphen added.
TEST(OverlayTextPaint, LongWordsBreakWithoutHyphens)
{
    const LGuiFont font(23, false, false, false, "DejaVu Sans", false);
    MmCanvas probe(100, 30, 4);
    auto fram = TextBox("Fram", 90, 20);
    fram->font = font;
    fram->alignment = 0;
    fram->Paint(probe.ctx());
    int l, t, r, b;
    ASSERT_TRUE(probe.InkBox(l, t, r, b));
    // Room for "Fram" and a little more, not for "Frams".
    const float width = (r - probe.Px(-45)) / 4.0f + 1.5f;

    MmCanvas broken(100, 60, 4), lines(100, 60, 4);
    auto word = TextBox("Framsida", width, 40);
    word->font = font;
    word->alignment = 0;
    word->centreX = 0;
    auto two = TextBox("Fram\nsida", width, 40);
    two->font = font;
    two->alignment = 0;
    word->Paint(broken.ctx());
    two->Paint(lines.ctx());
    EXPECT_TRUE(broken.SameAs(lines));
}

// A paint of an unchanged text lays nothing out again, on the screen at any zoom; every change
// of the text, its font, box or alignment (through a setter or the fields themselves) is
// followed.
TEST(OverlayTextPaint, AnUnchangedTextIsLaidOutOnceAndEveryChangeIsFollowed)
{
    auto t = TextBox("Skivetikett med lite text", 40, 20);
    t->font = LGuiFont(14, false, false, false, "DejaVu Sans", false);
    MmCanvas first(50, 30, 4), zoomed(50, 30, 8);
    t->Paint(first.ctx());
    const unsigned changes = t->GetLayoutCache().Changes();
    ASSERT_NE(changes, 0u);
    t->Paint(zoomed.ctx());
    MmCanvas again(50, 30, 4);
    t->Paint(again.ctx());
    EXPECT_EQ(t->GetLayoutCache().Changes(), changes);
    EXPECT_TRUE(again.SameAs(first));
    // A copy lays its text out for itself and paints the same.
    std::unique_ptr<VTOverlay> copy(t->Clone());
    MmCanvas copied(50, 30, 4);
    copy->Paint(copied.ctx());
    EXPECT_TRUE(copied.SameAs(first));
    // Another thread paints the same without the kept layout.
    MmCanvas threaded(50, 30, 4);
    std::thread([&] { t->Paint(threaded.ctx()); }).join();
    EXPECT_TRUE(threaded.SameAs(first));
    EXPECT_EQ(t->GetLayoutCache().Changes(), changes);

    auto paintedAnew = [&](const char* what) {
        MmCanvas c(50, 30, 4);
        const unsigned before = t->GetLayoutCache().Changes();
        t->Paint(c.ctx());
        EXPECT_NE(t->GetLayoutCache().Changes(), before) << what;
        EXPECT_FALSE(c.SameAs(first)) << what;
    };
    t->SetText("Annan text");
    paintedAnew("text");
    t->font = LGuiFont(10, true, false, false, "DejaVu Sans", false);
    paintedAnew("font");
    t->width = 15;
    paintedAnew("box");
    t->alignment = 0;
    paintedAnew("alignment");
}

// One line of a mebibyte: the overlay shows the lines its box holds, from the text's start, and
// keeps the whole text.
TEST(OverlayTextPaint, AMebibyteLineIsShownFromItsStartAndKeptWhole)
{
    std::mt19937 random(37);
    std::string text(size_t(1) << 20, 'a');
    for (char& c : text)
        c = char('a' + random() % 26);
    auto whole = TextBox(text.c_str(), 50, 50);
    auto start = TextBox(text.substr(0, 20000).c_str(), 50, 50);
    MmCanvas a(60, 60, 4), b(60, 60, 4);
    whole->Paint(a.ctx());
    start->Paint(b.ctx());
    EXPECT_TRUE(a.SameAs(b));
    int l, t, r, bottom;
    ASSERT_TRUE(a.InkBox(l, t, r, bottom));
    EXPECT_GT(bottom - t, 40 * 4); // lines down the box
    EXPECT_LT(whole->GetLayoutCache().LaidOutBytes(), size_t(8192));
    EXPECT_EQ(std::string(whole->GetText()), text);
}

// A design of more texts than layouts are kept for: the layouts of the texts painted longest ago
// are given up (and made again when those are painted), so the kept layouts stay bounded; the
// texts paint the same either way.
TEST(OverlayTextPaint, OnlyTheLayoutsOfTheTextsPaintedLastAreKept)
{
    const size_t kept = LTextLayoutCache::KeptLayouts();
    const size_t count = LTextLayoutCache::kKeptLayouts + 50;
    std::vector<std::unique_ptr<VTOverlayText>> texts;
    MmCanvas canvas(20, 10, 2);
    for (size_t i = 0; i < count; ++i) {
        texts.push_back(TextBox(("Spår " + std::to_string(i)).c_str(), 20, 10));
        texts.back()->Paint(canvas.ctx());
    }
    EXPECT_EQ(LTextLayoutCache::KeptLayouts(), LTextLayoutCache::kKeptLayouts);
    EXPECT_EQ(texts.front()->GetLayoutCache().Changes(), 0u); // given up
    EXPECT_NE(texts.back()->GetLayoutCache().Changes(), 0u);

    // The first painted again is kept again, in place of the oldest now kept.
    MmCanvas first(20, 10, 2), again(20, 10, 2);
    texts[60]->Paint(first.ctx());
    texts.front()->Paint(canvas.ctx());
    texts[60]->Paint(again.ctx());
    EXPECT_NE(texts.front()->GetLayoutCache().Changes(), 0u);
    EXPECT_TRUE(again.SameAs(first));
    EXPECT_EQ(LTextLayoutCache::KeptLayouts(), LTextLayoutCache::kKeptLayouts);
    texts.clear();
    EXPECT_LE(LTextLayoutCache::KeptLayouts(), kept);
}
