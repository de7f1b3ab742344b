// The status bar and the info bar along the bottom of a window: parts and their widths, texts,
// tooltips and commands, the painted colours, and the info bar that grows the window by its
// height, hides on a button and sends the button's id.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/gui/LStatusBar.h"
#include "lfw/mac/LDialog.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/LMonitorInfo.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/UI.h"
#include "support/UiTestSupport.h"

#include <cairo.h>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

constexpr unsigned long kStyle = kLUiWindowTitled | kLUiWindowClosable | kLUiWindowResizable;

int Scale()
{
    const char* s = getenv("GDK_SCALE");
    return s && atoi(s) > 1 ? atoi(s) : 1;
}

class BarWindow : public LMacWindow, public LStatusBar, public LResizable {
public:
    std::vector<int> commands;
    LInfoBar<BarWindow> infoBar { *this };
    explicit BarWindow(int widthPixels = 1000, int heightPixels = 400)
    {
        CreateCocoaWindow(widthPixels, heightPixels, kStyle, false, nullptr);
        StatusBarInit(GetContentView(), 0);
        infoBar.Init();
        ResizableHook(*this);
    }
    ~BarWindow() override { DestroyCommon(); }
    void Command(int id, int code) override
    {
        if (id > 0 && id < 10000)
            commands.push_back(id);
        LMacWindow::Command(id, code);
    }
    void LayoutControls(int width, int height) override
    {
        StatusBarLayout(GetContentView(), width, height);
        int x = 0, y = 0;
        infoBar.Layout(x, y, width, height);
        remaining = height;
    }
    bool Show()
    {
        InitCommon(kLCocoaDialogCenterNone, false);
        if (!uitest::ShowAndWait(GetNativeWindow()))
            return false;
        RelayoutControls(*this);
        return true;
    }
    int remaining = 0;
};

uint32_t PaintedAt(LPaintControl& c, int x, int y)
{
    const int W = c.GetWidth(), H = c.GetHeight();
    const double s = c.GetBackingScale();
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, W, H);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, s, s);
    c.PaintInContext(cr, LUiRect { 0, 0, W / s, H / s }, s, W / s, H / s, true);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    const unsigned char* p = cairo_image_surface_get_data(surface)
        + y * cairo_image_surface_get_stride(surface) + x * 4;
    uint32_t rgb = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    cairo_surface_destroy(surface);
    return rgb;
}

class Bars : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
    }
};

} // namespace

TEST_F(Bars, StatusBarPartsTextsAndBadInput)
{
    BarWindow w(1000 * Scale());
    ASSERT_TRUE(w.GetPainter().IsBound());
    EXPECT_EQ(w.GetPartCount(), 1);
    EXPECT_EQ(w.GetPart(0).width, 1000 * Scale());
    const int edges[] = { 100, 250, -1 };
    w.StatusBarSetParts(3, edges);
    ASSERT_EQ(w.GetPartCount(), 3);
    EXPECT_EQ(w.GetPart(0).width, 100);
    EXPECT_EQ(w.GetPart(1).width, 150);
    EXPECT_EQ(w.GetPart(2).width, 1000 * Scale() - 250);
    // Setting part 5 of three raises the count to six; the others keep widths and texts.
    w.StatusBarSetText("Ett", 0);
    w.StatusBarSetText("Sex", 5);
    EXPECT_EQ(w.GetPartCount(), 6);
    EXPECT_STREQ(w.GetPart(0).text, "Ett");
    EXPECT_EQ(w.GetPart(1).width, 150);
    EXPECT_EQ(w.GetPart(3).width, 2000);
    // Text on part 5 of two parts: six parts as well.
    {
        BarWindow two(1000 * Scale());
        const int halves[] = { 500, -1 };
        two.StatusBarSetParts(2, halves);
        two.StatusBarSetText("Fem", 5);
        EXPECT_EQ(two.GetPartCount(), 6);
        EXPECT_STREQ(two.GetPart(5).text, "Fem");
        EXPECT_EQ(two.GetPart(0).width, 500);
    }
    // Ignored: null text, parts -1 and 100.
    w.StatusBarSetText(nullptr, 0);
    w.StatusBarSetText("x", -1);
    w.StatusBarSetText("x", 100);
    EXPECT_STREQ(w.GetPart(0).text, "Ett");
    EXPECT_EQ(w.GetPartCount(), 6);
    // A long text is cut at 259 bytes, never inside a character.
    std::string longText;
    for (int i = 0; i < 5000; ++i)
        longText += "é";
    w.StatusBarSetText(longText.c_str(), 1);
    EXPECT_EQ(strlen(w.GetPart(1).text), 258u);
    // Counts are limited to 0-8; falling edges give empty parts.
    const int many[9] = { 10, 20, 30, 40, 50, 60, 70, 80, 90 };
    w.StatusBarSetParts(9, many);
    EXPECT_EQ(w.GetPartCount(), 8);
    w.StatusBarSetParts(-3, many);
    EXPECT_EQ(w.GetPartCount(), 0);
    const int falling[] = { 300, 200, -1 };
    w.StatusBarSetParts(3, falling);
    EXPECT_EQ(w.GetPart(1).width, 0);
    EXPECT_EQ(w.GetPart(2).width, 1000 * Scale() - 300);
    EXPECT_EQ(w.GetPartUnderPoint(250), 0);
    const int flat[] = { 300, 300, -1 };
    w.StatusBarSetParts(3, flat);
    EXPECT_EQ(w.GetPart(1).width, 0);
    EXPECT_EQ(w.GetPartUnderPoint(300), 2);
    EXPECT_EQ(w.GetPartUnderPoint(299), 0);
    // Unbound: nothing happens.
    LStatusBar loose;
    loose.StatusBarSetParts(3, edges);
    loose.StatusBarSetText("x", 0);
    EXPECT_EQ(loose.GetPartCount(), 1);
    EXPECT_STREQ(loose.GetPart(0).text, "");
}

TEST_F(Bars, StatusBarHeightPaintTipsAndCommands)
{
    BarWindow w(500 * Scale(), 300 * Scale());
    ASSERT_TRUE(w.Show());
    const double s = w.GetBackingScaleFactor();
    int x = 0, y = 0, cw = 0, ch = 0;
    w.GetControlPixels(kLStatusBarControlId, x, y, cw, ch);
    EXPECT_EQ(ch, int(30 * s));
    int clientW = 0, clientH = 0;
    w.GetClientSize(clientW, clientH);
    EXPECT_EQ(y + ch, clientH);
    EXPECT_EQ(w.remaining, clientH - int(30 * s));
    const int edges[] = { 200, 400, -1 };
    w.StatusBarSetParts(3, edges);
    w.StatusBarSetText("Klar", 0);
    w.StatusBarSetText("Sida 1", 1);
    w.StatusBarSetTip(1, "Sidan som visas");
    w.StatusBarSetCommand(1, 4242);
    w.StatusBarSetIcon(2, 312);
    LStatusBarPainter& painter = w.GetPainter();
    painter.UpdateSize();
    EXPECT_EQ(PaintedAt(painter, cw - 3, ch / 2), 0xC8C8C8u);
    EXPECT_EQ(PaintedAt(painter, cw - 3, 0), 0xAAAAAAu);
    // Tooltips follow the parts; a part without one keeps the last.
    painter.EvMouseMove(250, 5);
    EXPECT_STREQ(w.GetCurrentTip(), "Sidan som visas");
    painter.EvMouseMove(100, 5);
    EXPECT_STREQ(w.GetCurrentTip(), "Sidan som visas");
    painter.EvMouseOut();
    EXPECT_STREQ(w.GetCurrentTip(), "");
    // A release on a part with a command calls the window's Command(id, 0); others nothing.
    if (uitest::HaveXdotool()) {
        uitest::XClick(w.GetNativeWindow(), 300 / s, (y + ch / 2) / s);
        ASSERT_TRUE(uitest::PumpUntil([&] { return !w.commands.empty(); }));
        EXPECT_EQ(w.commands, std::vector<int> { 4242 });
        uitest::Pump(600); // no double click
        uitest::XClick(w.GetNativeWindow(), 100 / s, (y + ch / 2) / s);
        uitest::Pump(100);
        EXPECT_EQ(w.commands.size(), 1u) << w.commands.back();
    }
    uitest::SaveScreenshot(w.GetNativeWindow(), uitest::ArtefactPath("status-bar", "parts"));
}

TEST_F(Bars, InfoBarGrowsHidesAndSendsItsButton)
{
    BarWindow w(500 * Scale(), 300 * Scale());
    ASSERT_TRUE(w.Show());
    const double s = w.GetBackingScaleFactor();
    const unsigned long xid = w.GetNativeWindow()->XWindowId();
    int gw0 = 0, gh0 = 0;
    int cw0 = 0, ch0 = 0;
    w.GetClientSize(cw0, ch0);
    const bool geometry = uitest::XGeometry(xid, gw0, gh0);
    EXPECT_EQ(w.infoBar.GetWindowHeightAjustment(), 0);
    w.infoBar.Show("Det finns en ny version", "Hämta", 5001, "Senare", 5002, nullptr, 5003, -1);
    EXPECT_TRUE(w.infoBar.IsVisible());
    EXPECT_EQ(w.infoBar.GetWindowHeightAjustment(), int(32 * s));
    EXPECT_EQ(w.infoBar.GetCloseButton().command, 0);
    EXPECT_EQ(w.infoBar.GetButton(2).command, -1); // no text: no button
    ASSERT_TRUE(uitest::PumpUntil([&] {
        int cw = 0, ch = 0;
        w.GetClientSize(cw, ch);
        return ch == ch0 + int(32 * s);
    }));
    if (geometry) {
        int gw = 0, gh = 0;
        uitest::PumpUntil(
            [&] { return uitest::XGeometry(xid, gw, gh) && gh == gh0 + int(32 * s); });
        EXPECT_EQ(gh, gh0 + int(32 * s));
    }
    int x = 0, y = 0, bw = 0, bh = 0;
    w.GetControlPixels(kLInfoBarControlId, x, y, bw, bh);
    EXPECT_EQ(bh, int(32 * s));
    int sx = 0, sy = 0, sw = 0, sh = 0;
    w.GetControlPixels(kLStatusBarControlId, sx, sy, sw, sh);
    EXPECT_EQ(y + bh, sy);
    // Show while shown: new content, no growth.
    w.infoBar.Show("Andra meddelandet", "Hämta", 5001, nullptr, 0, nullptr, 0, 5009);
    uitest::Pump(100);
    int cw1 = 0, ch1 = 0;
    w.GetClientSize(cw1, ch1);
    EXPECT_EQ(ch1, ch0 + int(32 * s));
    EXPECT_STREQ(w.infoBar.GetMessage(), "Andra meddelandet");
    EXPECT_EQ(w.infoBar.GetCloseButton().command, 5009);
    w.infoBar.UpdateSize();
    EXPECT_EQ(PaintedAt(w.infoBar, 2, bh - 1) & 0xFF0000u, 0xFA0000u);
    uitest::SaveScreenshot(w.GetNativeWindow(), uitest::ArtefactPath("status-bar", "info-bar"));
    const LRectangle r = w.infoBar.GetButton(0).rect;
    ASSERT_GT(r.right, r.left);
    // Pressed and released outside: nothing, the bar stays.
    w.infoBar.EvLButtonDown(r.left + 2, r.top + 2);
    w.infoBar.EvLButtonUp(r.right + 5, r.top + 2);
    EXPECT_TRUE(w.infoBar.IsVisible());
    EXPECT_TRUE(w.commands.empty());
    // A click on the button hides the bar, shrinks the window back and sends its id.
    if (uitest::HaveXdotool()) {
        uitest::XClick(w.GetNativeWindow(), (x + r.left + 4) / s, (y + (r.top + r.bottom) / 2) / s);
        ASSERT_TRUE(uitest::PumpUntil([&] { return !w.commands.empty(); }));
    } else {
        w.infoBar.EvLButtonDown(r.left + 2, r.top + 2);
        w.infoBar.EvLButtonUp(r.left + 2, r.top + 2);
    }
    EXPECT_EQ(w.commands, std::vector<int> { 5001 });
    EXPECT_FALSE(w.infoBar.IsVisible());
    ASSERT_TRUE(uitest::PumpUntil([&] {
        int cw = 0, ch = 0;
        w.GetClientSize(cw, ch);
        return ch == ch0;
    }));
    // Hiding twice does nothing more.
    w.infoBar.Hide();
    uitest::Pump(50);
    int cw2 = 0, ch2 = 0;
    w.GetClientSize(cw2, ch2);
    EXPECT_EQ(ch2, ch0);
}

TEST_F(Bars, InfoBarNearFullHeightGivesBackOnlyWhatItTook)
{
    LRectangle monitor;
    LMonitorInfo::GetMonitorRect(nullptr, monitor);
    const int screenH = monitor.bottom - monitor.top;
    ASSERT_GT(screenH, 100);
    BarWindow w(600 * Scale(), screenH - 10 * Scale());
    ASSERT_TRUE(w.Show());
    uitest::Pump(100);
    int cw0 = 0, ch0 = 0;
    w.GetClientSize(cw0, ch0);
    for (int round = 0; round < 3; ++round) {
        w.infoBar.Show("Nära skärmens höjd", "OK", 7001, nullptr, 0, nullptr, 0, -1);
        uitest::Pump(80);
        EXPECT_EQ(w.infoBar.GetGrownBy(), 0);
        w.infoBar.Hide();
        uitest::Pump(80);
    }
    int cw1 = 0, ch1 = 0;
    w.GetClientSize(cw1, ch1);
    EXPECT_EQ(ch1, ch0);
}

TEST_F(Bars, InfoBarCloseButtonHidesAndSendsItsIdWhenItHasOne)
{
    BarWindow w(500 * Scale(), 300 * Scale());
    ASSERT_TRUE(w.Show());
    for (int closeId : { 5009, -1 }) {
        w.commands.clear();
        w.infoBar.Show("Meddelande", nullptr, 0, nullptr, 0, nullptr, 0, closeId);
        uitest::Pump(100);
        w.infoBar.UpdateSize();
        PaintedAt(w.infoBar, 0, 0); // lays the buttons out
        const LRectangle r = w.infoBar.GetCloseButton().rect;
        ASSERT_GT(r.right, r.left);
        ASSERT_GT(r.bottom, r.top);
        // The X is drawn in the close-button colour inside its rectangle.
        const int u = (r.right - r.left) / 8;
        const uint32_t centre = PaintedAt(w.infoBar, r.right - 4 * u, r.top + 5 * u);
        EXPECT_LT(int(centre >> 16), 215) << closeId; // the background is (250+, 235+, ...)
        w.infoBar.EvMouseMove(r.left, r.top);
        w.infoBar.EvLButtonDown(r.left, r.top);
        w.infoBar.EvLButtonUp(r.left, r.top);
        EXPECT_FALSE(w.infoBar.IsVisible());
        if (closeId > 0)
            EXPECT_EQ(w.commands, std::vector<int> { closeId });
        else
            EXPECT_TRUE(w.commands.empty());
        uitest::Pump(100);
    }
}
