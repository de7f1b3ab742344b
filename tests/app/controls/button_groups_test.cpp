// The button-group controls on a real window, clicked with the real pointer: the alignment pad
// (centre, up/down-only mode), the transform row (rotate, tooltips with shortcuts, layouts), the
// paper orientation, the font style buttons following the font list, and the paginator.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "app/controls/VTControlAlignment.h"
#include "app/controls/VTControlFontStyle.h"
#include "app/controls/VTControlPaginator.h"
#include "app/controls/VTControlPaperOrientation.h"
#include "app/controls/VTControlPullDownList.h"
#include "app/controls/VTControlTransform.h"
#include "lfw/mac/LGuiFont.h"
#include "lfw/mac/cocoa/LCocoaButtonImpl.h"
#include "lfw/mac/cocoa/LCocoaPullDownListImpl.h"
#include "support/ControlTestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <string>
#include <vector>

using namespace controltest;

namespace {

class ButtonGroups : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
    }
};

struct AlignmentObserver : VTControlAlignmentNotifyee {
    std::vector<LAlignment> seen;
    void EvChangeAlignment(VTControlAlignment&, LAlignment a) override { seen.push_back(a); }
};

struct TransformObserver : VTControlTransformNotifyee {
    std::vector<std::string> seen;
    VTControlTransform* destroyOnRaise = nullptr;
    void EvRotateLeft(VTControlTransform&) override { seen.push_back("rotate-left"); }
    void EvRotateRight(VTControlTransform&) override { seen.push_back("rotate-right"); }
    void EvFlipHorizontal(VTControlTransform&) override { seen.push_back("flip-h"); }
    void EvRaise(VTControlTransform& c) override
    {
        seen.push_back("raise");
        if (destroyOnRaise)
            c.Destroy();
    }
    void EvLower(VTControlTransform&) override { seen.push_back("lower"); }
};

struct PaginatorObserver : VTControlPaginatorNotifyee {
    int previous = 0, next = 0;
    void EvControlPaginatorPreviousClicked() override { ++previous; }
    void EvControlPaginatorNextClicked() override { ++next; }
};

struct FontStyleObserver : VTControlFontStyleNotifyee {
    int changes = 0;
    void EvFontStyleChanged(VTControlFontStyle&) override { ++changes; }
};

struct OrientationObserver : VTControlPaperOrientationNotifyee {
    std::vector<int> seen;
    void EvPaperOrientationChanged(VTControlPaperOrientation&, LPaperSizeOrientation o) override
    {
        seen.push_back(int(o));
    }
};

bool IsDown(LWindow& w, int id)
{
    auto* b = dynamic_cast<LCocoaButtonImpl*>(w.GetControlHandle(id));
    return b && b->state() == 1;
}

bool IsEnabled(LWindow& w, int id)
{
    LView* v = w.GetControlHandle(id);
    return v && v->IsEnabled();
}

int Width(LWindow& w, int id)
{
    int x, y, width, h;
    w.GetControlPixels(id, x, y, width, h);
    return width;
}

// The centre of a control (buttons' frames carry the margins of their style around the
// rectangle they were given, the same on both sides).
int CentreX(LWindow& w, int id)
{
    int x, y, width, h;
    w.GetControlPixels(id, x, y, width, h);
    return x + width / 2;
}

int CentreY(LWindow& w, int id)
{
    int x, y, width, h;
    w.GetControlPixels(id, x, y, width, h);
    return y + h / 2;
}

// The darkest grey level a view draws (0 black, 255 white), rendered by itself.
int Darkest(LView* view)
{
    GtkWidget* w = view ? view->ExistingWidget() : nullptr;
    if (!w)
        return -1;
    const int width = gtk_widget_get_allocated_width(w),
              height = gtk_widget_get_allocated_height(w);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    gtk_widget_draw(w, cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    int darkest = 255;
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = data + y * stride + x * 4;
            darkest = std::min(darkest, (p[0] + p[1] + p[2]) / 3);
        }
    cairo_surface_destroy(surface);
    return darkest;
}

// An installed family without an italic member (a face of fonts-dejavu-extra on a test
// machine); "" when there is none.
std::string FamilyWithoutItalic()
{
    LFontsInstalledIterator it;
    it.CreateList();
    std::string found;
    for (; it.IsValid(); it.Next()) {
        if (it.HasItalicStyle())
            continue;
        if (std::string(*it) == "DejaVu Math TeX Gyre")
            return *it;
        if (found.empty())
            found = *it;
    }
    return found;
}

} // namespace

TEST_F(ButtonGroups, PadCentreTransformRowAndFontList)
{
    const int s = Scale();
    Host host;
    VTControlAlignment pad;
    VTControlTransform transform;
    VTControlPullDownList fonts("Teckensnitt:", "Välj teckensnitt");
    VTControlFontStyle style;
    AlignmentObserver padSeen;
    TransformObserver transformSeen;
    FontStyleObserver styleSeen;
    pad.Init(host);
    pad.AddNotifyee(padSeen);
    transform.Init(host);
    transform.AddNotifyee(transformSeen);
    fonts.Init(host);
    style.Init(host);
    style.AddNotifyee(styleSeen);
    fonts.AddNotifyee(style);
    pad.MovePixels(10 * s, 10 * s, 200 * s, 120 * s);
    transform.MovePixels(10 * s, 140 * s, 400 * s, 60 * s);
    fonts.MovePixels(10 * s, 210 * s, 400 * s, 30 * s);
    style.MovePixels(10 * s, 250 * s, 400 * s, 50 * s);
    ASSERT_TRUE(host.Show());

    // The pad: a centred grid of square buttons.
    const double cw = pad.CharWidthPixels();
    const int b = int(4 * cw + 0.5), g = int(0.25 * cw + 0.5) / 2;
    int x, y, w;
    const int x0 = (200 * s - 3 * b - 2 * g) / 2;
    EXPECT_NEAR(CentreX(pad, 1000), x0 + b / 2, 1);
    EXPECT_NEAR(CentreX(pad, 1005), x0 + 2 * (b + g) + b / 2, 1);
    EXPECT_NEAR(CentreY(pad, 1008) - CentreY(pad, 1002), 2 * (b + g), 1);
    EXPECT_EQ(Width(pad, 1000), Width(pad, 1008));
    // Each button shows its own drawing (eight arrows round a centre mark).
    for (int id = 1000; id <= 1008; ++id) {
        auto* button = dynamic_cast<LCocoaButtonImpl*>(pad.GetControlHandle(id));
        ASSERT_NE(button, nullptr) << id;
        EXPECT_TRUE(button->hasImage()) << id;
    }

    // The centre reports 4 and only 1004 is down.
    ASSERT_TRUE(ClickChild(pad, 1004));
    ASSERT_TRUE(uitest::PumpUntil([&] { return !padSeen.seen.empty(); }));
    EXPECT_EQ(padSeen.seen, std::vector<LAlignment> { 4 });
    for (int id = 1000; id <= 1008; ++id)
        EXPECT_EQ(IsDown(pad, id), id == 1004) << id;
    // Pressing the down button again keeps it down.
    uitest::Pump(500); // no double click
    ASSERT_TRUE(ClickChild(pad, 1004));
    ASSERT_TRUE(uitest::PumpUntil([&] { return padSeen.seen.size() == 2; }));
    EXPECT_TRUE(IsDown(pad, 1004));
    // An alignment out of range shows none down.
    pad.ButtonDownAlignment(9);
    for (int id = 1000; id <= 1008; ++id)
        EXPECT_FALSE(IsDown(pad, id));
    pad.ButtonDownAlignment(-1);
    EXPECT_FALSE(IsDown(pad, 1004));

    // The rotate button reports and is off again.
    ASSERT_TRUE(ClickChild(transform, 1000));
    ASSERT_TRUE(uitest::PumpUntil([&] { return !transformSeen.seen.empty(); }));
    EXPECT_EQ(transformSeen.seen, std::vector<std::string> { "rotate-left" });
    EXPECT_FALSE(IsDown(transform, 1000));
    // Tooltips, the raise and lower ones with their shortcuts.
    EXPECT_EQ(transform.GetControlHandle(1004)->ToolTipText(), "Höj markering (Ctrl+=)");
    EXPECT_EQ(transform.GetControlHandle(1005)->ToolTipText(), "Lägre markering (Ctrl+-)");
    EXPECT_EQ(transform.GetControlHandle(1000)->ToolTipText(), "Rotera åt vänster");
    EXPECT_EQ(transform.GetControlHandle(1003)->ToolTipText(), "Vänd lodrätt");
    // Six buttons of one width in one row, two rows high.
    const int gap = int(1.25 * cw + 0.5);
    const int bw = (400 * s - 5 * gap) / 6;
    for (int id = 1000; id <= 1005; ++id) {
        EXPECT_EQ(Width(transform, id), Width(transform, 1000)) << id;
        EXPECT_NEAR(CentreX(transform, id) - CentreX(transform, 1000), (id - 1000) * (bw + gap), 1)
            << id;
    }
    int frameHeight = 0;
    transform.GetControlPixels(1000, x, y, w, frameHeight);
    const int rows = 2 * int(1.23 * transform.CharHeightPixels() + 0.5);
    EXPECT_GE(frameHeight, rows);
    EXPECT_LE(frameHeight, rows + 4 * s);
    for (int id = 1000; id <= 1005; ++id) {
        auto* button = dynamic_cast<LCocoaButtonImpl*>(transform.GetControlHandle(id));
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->hasImage()) << id; // from the icon theme
    }
    // Raise disabled: a click reaches nobody.
    transform.EnableRaiseLowerControls(false, true);
    EXPECT_FALSE(IsEnabled(transform, 1004));
    EXPECT_TRUE(IsEnabled(transform, 1005));

    // The font list: a family without italic turns italic off and disables it.
    const std::string plain = FamilyWithoutItalic();
    ASSERT_FALSE(plain.empty()) << "no installed family without italic";
    fonts.PDLAddString(1001, "Liberation Serif", 1);
    fonts.PDLAddString(1001, plain.c_str(), 2);
    fonts.PDLSetCurSel(1001, 0);
    style.SetCheck(1001, true);
    style.SetCheck(1002, true);
    style.UpdateBoldItalicButtonsState("Liberation Serif");
    EXPECT_TRUE(IsEnabled(style, 1001));
    EXPECT_TRUE(style.GetCheck(1001));
    auto* familyList = dynamic_cast<LCocoaPullDownListImpl*>(fonts.GetControlHandle(1001));
    ASSERT_NE(familyList, nullptr);
    familyList->handleSelection(1); // what the list's menu does when the family is chosen
    ASSERT_TRUE(uitest::PumpUntil([&] { return !style.GetCheck(1001); }));
    EXPECT_EQ(fonts.GetSelectedData(), 2);
    EXPECT_FALSE(IsEnabled(style, 1001));
    EXPECT_TRUE(style.GetCheck(1002)); // underline untouched
    EXPECT_TRUE(IsEnabled(style, 1002));
    // A family that is not installed changes nothing.
    style.UpdateBoldItalicButtonsState("Ingen sådan familj");
    EXPECT_FALSE(IsEnabled(style, 1001));
    style.UpdateBoldItalicButtonsState("Liberation Serif");
    EXPECT_TRUE(IsEnabled(style, 1001));
    EXPECT_FALSE(style.GetCheck(1001)); // turned on again only by the user
    // A style button reports; its font is the serif at twice the system size.
    ASSERT_TRUE(ClickChild(style, 1000));
    ASSERT_TRUE(uitest::PumpUntil([&] { return styleSeen.changes == 1; }));
    EXPECT_TRUE(style.GetCheck(1000));
    LGuiFont font;
    LMacWindow::GetControlFont(style.GetControlHandle(1001), font);
    EXPECT_TRUE(font.IsItalic());
    EXPECT_FALSE(font.IsBold());
    EXPECT_NEAR(font.GetSizef(), 2 * LGuiFont::GetSystemFontSize() * s, 0.6);
    char label[260];
    style.GetButtonText(1001, label);
    EXPECT_STREQ(label, "\u2160");

    uitest::Screenshot(host.GetNativeWindow(), "controls-pad-transform-font");
    transform.Destroy();
    style.Destroy();
    fonts.Destroy();
    pad.Destroy();
}

TEST_F(ButtonGroups, UpDownOnlyPadReactsOnTwoButtons)
{
    const int s = Scale();
    Host host(240, 160);
    VTControlAlignment pad;
    AlignmentObserver seen;
    pad.Init(host);
    pad.AddNotifyee(seen);
    pad.MovePixels(0, 0, 200 * s, 130 * s);
    ASSERT_TRUE(host.Show());
    pad.EnableUpDownButtons(true);
    for (int id = 1000; id <= 1008; ++id)
        EXPECT_EQ(IsEnabled(pad, id), id == 1001 || id == 1007) << id;
    ASSERT_TRUE(ClickChild(pad, 1004));
    ASSERT_TRUE(ClickChild(pad, 1000));
    ASSERT_TRUE(ClickChild(pad, 1007));
    ASSERT_TRUE(uitest::PumpUntil([&] { return !seen.seen.empty(); }));
    uitest::Pump(100);
    EXPECT_EQ(seen.seen, std::vector<LAlignment> { 7 });
    // A command for a disabled button (sent by code) does nothing either.
    pad.Command(1004, 0);
    EXPECT_EQ(seen.seen.size(), 1u);
    pad.Command(1001, 0);
    EXPECT_EQ(seen.seen.back(), 1);
    EXPECT_TRUE(IsDown(pad, 1001));
    uitest::Screenshot(host.GetNativeWindow(), "controls-pad-updown");
    pad.EnableUpDownButtons(false);
    for (int id = 1000; id <= 1008; ++id)
        EXPECT_TRUE(IsEnabled(pad, id));
    pad.Destroy();
}

TEST_F(ButtonGroups, TransformRowsWithoutButtons)
{
    const int s = Scale();
    Host host(420, 200);
    VTControlTransform noFlip(true, false), bare(true, true), full;
    TransformObserver seen;
    noFlip.Init(host);
    noFlip.AddNotifyee(seen);
    bare.Init(host);
    bare.AddNotifyee(seen);
    noFlip.MovePixels(0, 0, 403 * s, 50 * s);
    bare.MovePixels(0, 60 * s, 403 * s, 50 * s);
    ASSERT_TRUE(host.Show());
    EXPECT_EQ(noFlip.GetButtonCount(), 4);
    EXPECT_EQ(noFlip.GetControlHandle(1002), nullptr);
    const int w0 = Width(noFlip, 1000);
    for (int id : { 1001, 1004, 1005 })
        EXPECT_EQ(Width(noFlip, id), w0) << id;
    const int gap = int(1.25 * noFlip.CharWidthPixels() + 0.5);
    const int bw = (403 * s - 3 * gap) / 4;
    EXPECT_NEAR(CentreX(noFlip, 1004) - CentreX(noFlip, 1000), 2 * (bw + gap), 1);
    EXPECT_EQ(bare.GetButtonCount(), 2);
    EXPECT_EQ(bare.GetControlHandle(1004), nullptr);
    EXPECT_EQ(Width(bare, 1000), Width(bare, 1001));
    // Commands of buttons the control was built without go nowhere.
    noFlip.Command(1002, 0);
    bare.Command(1004, 0);
    EXPECT_TRUE(seen.seen.empty());
    // An observer that destroys the control in its notification: nothing touched after it.
    seen.destroyOnRaise = &noFlip;
    ASSERT_TRUE(ClickChild(noFlip, 1004));
    ASSERT_TRUE(uitest::PumpUntil([&] { return !seen.seen.empty(); }));
    uitest::Pump(100);
    EXPECT_EQ(seen.seen, std::vector<std::string> { "raise" });
    EXPECT_EQ(noFlip.GetContentView(), nullptr);
    uitest::Screenshot(host.GetNativeWindow(), "controls-transform-rows");
    bare.Destroy();
}

TEST_F(ButtonGroups, PaginatorAndOrientation)
{
    const int s = Scale();
    Host host(320, 140);
    VTControlPaginator pages;
    VTControlPaperOrientation orientation;
    PaginatorObserver seen;
    OrientationObserver turned;
    pages.Init(host);
    pages.AddNotifyee(seen);
    orientation.Init(host);
    orientation.AddNotifyee(turned);
    pages.MovePixels(10 * s, 10 * s, 300 * s, 30 * s);
    orientation.MovePixels(10 * s, 60 * s, 300 * s, 60 * s);
    ASSERT_TRUE(host.Show());

    // Until the owner sets its numbers: page 10 of 10, only previous.
    char text[260];
    pages.GetStaticText(1001, text);
    EXPECT_STREQ(text, "Sidan 10 av 10");
    EXPECT_TRUE(IsEnabled(pages, 1000));
    EXPECT_FALSE(IsEnabled(pages, 1002));
    pages.iCurrentPage = 1;
    pages.iPageCount = 3;
    pages.EnableControls();
    pages.GetStaticText(1001, text);
    EXPECT_STREQ(text, "Sidan 1 av 3");
    EXPECT_FALSE(IsEnabled(pages, 1000));
    EXPECT_TRUE(IsEnabled(pages, 1002));
    // The disabled arrow is drawn faded.
    uitest::Pump(100);
    const int faded = Darkest(pages.GetControlHandle(1000)),
              sharp = Darkest(pages.GetControlHandle(1002));
    EXPECT_LT(sharp, 110);
    EXPECT_GT(faded, sharp + 60);
    // The text is centred between the buttons, as wide as it is.
    int x, y, w, h;
    pages.GetControlPixels(1001, x, y, w, h);
    EXPECT_EQ(w, pages.MeasureStaticTextWidthPixels("Sidan 1 av 3"));
    const int k
        = int(4 * pages.CharWidthPixels() + 0.5) + int(1.25 * pages.CharWidthPixels() + 0.5);
    EXPECT_EQ(x, k + (300 * s - w - 2 * k) / 2);
    EXPECT_EQ(pages.GetControlHandle(1000)->ToolTipText(), "Föregående sida");
    EXPECT_EQ(pages.GetControlHandle(1002)->ToolTipText(), "Nästa sida");
    // A click on next reports; the control does not move by itself.
    ASSERT_TRUE(ClickChild(pages, 1002));
    ASSERT_TRUE(uitest::PumpUntil([&] { return seen.next == 1; }));
    EXPECT_EQ(seen.previous, 0);
    EXPECT_EQ(pages.iCurrentPage, 1u);
    pages.iCurrentPage = 1;
    pages.iPageCount = 1;
    pages.EnableControls();
    EXPECT_FALSE(IsEnabled(pages, 1000));
    EXPECT_FALSE(IsEnabled(pages, 1002));

    // Orientation: a click turns one on and the other off and reports.
    ASSERT_TRUE(ClickChild(orientation, 1001));
    ASSERT_TRUE(uitest::PumpUntil([&] { return !turned.seen.empty(); }));
    EXPECT_EQ(turned.seen, std::vector<int> { 1 });
    EXPECT_TRUE(orientation.GetCheck(1001));
    EXPECT_FALSE(orientation.GetCheck(1000));
    orientation.GetControlPixels(1001, x, y, w, h);
    EXPECT_GE(h, 40 * s);
    EXPECT_LE(h, 44 * s);
    EXPECT_EQ(orientation.GetControlHandle(1000)->ToolTipText(), "Porträtt");
    auto* portrait = dynamic_cast<LCocoaButtonImpl*>(orientation.GetControlHandle(1000));
    ASSERT_NE(portrait, nullptr);
    EXPECT_TRUE(portrait->hasImage()); // the drawing rasterised at build time
    auto* next = dynamic_cast<LCocoaButtonImpl*>(pages.GetControlHandle(1002));
    ASSERT_NE(next, nullptr);
    EXPECT_TRUE(next->hasImage());
    uitest::Screenshot(host.GetNativeWindow(), "controls-paginator-orientation");
    orientation.Destroy();
    pages.Destroy();
}
