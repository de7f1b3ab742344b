// Window geometry in backing pixels, monitors, size persistence, control placement and bubble
// tips, on real windows.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LControlFlags.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/LMonitorInfo.h"
#include "lfw/mac/cocoa/LCocoaButtonImpl.h"
#include "lfw/mac/cocoa/LCocoaTooltipImpl.h"
#include "lfw/mac/cocoa/LCocoaWindowImpl.h"
#include "platform/ui/UI.h"
#include "support/Screenshot.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>
#include <string>

namespace {

int Scale()
{
    const char* s = getenv("GDK_SCALE");
    return s && atoi(s) > 1 ? atoi(s) : 1;
}

constexpr unsigned long kStyle = kLUiWindowTitled | kLUiWindowClosable | kLUiWindowResizable;

struct GeometryWindow : LMacWindow {
    std::function<void(GeometryWindow&)> onInit;
    void InitDialog() override
    {
        if (onInit)
            onInit(*this);
    }
    using LMacWindow::fInitialised;
};

class GeometryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        ASSERT_TRUE(LUiMainScreen(screen));
    }
    LUiScreen screen;
};

// The visible area of the main screen in backing pixels.
LRectangle Visible(const LUiScreen& s)
{
    double k = Scale();
    return LRectangle(int(s.visibleFrame.x * k), int(s.visibleFrame.y * k),
        int(s.visibleFrame.x * k) + int(s.visibleFrame.width * k),
        int(s.visibleFrame.y * k) + int(s.visibleFrame.height * k));
}

void Store(const char* key, const char* name, const char* value)
{
    LUserSettingSetString(key, name, value);
}

} // namespace

TEST_F(GeometryTest, SizeAndMoveInBackingPixels)
{
    int s = Scale();
    GeometryWindow w;
    w.CreateCocoaWindow(300 * s, 200 * s, kStyle, false, nullptr);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    int cw = 0, ch = 0;
    w.GetClientSize(cw, ch);
    EXPECT_EQ(cw, 300 * s);
    EXPECT_EQ(ch, 200 * s);

    // The smallest client area: one pixel (one point when the scale is 2).
    w.SizeWindowPixels(0, 0);
    w.GetClientSize(cw, ch);
    EXPECT_GE(cw, 1);
    EXPECT_LE(cw, s);
    EXPECT_GE(ch, 1);
    EXPECT_LE(ch, s);

    w.SizeWindowPixels(320, 180);
    w.MoveWindowPixels(100, 80);
    ASSERT_TRUE(uitest::PumpUntil([&] {
        int x = 0, y = 0;
        w.GetWindowPosition(x, y);
        return x == 100 && y == 80;
    }));
    w.GetClientSize(cw, ch);
    EXPECT_EQ(cw, 320);
    EXPECT_EQ(ch, 180);
    int ww = 0, wh = 0;
    w.GetWindowSize(ww, wh);
    EXPECT_EQ(ww, 320);
    EXPECT_EQ(wh, 180 + LMacWindow::GetTitlebarHeightPixels(w.GetContentView()));
    // The X window itself agrees, in device pixels.
    if (uitest::HaveXdotool() && uitest::PumpUntil([&] {
            int xw = 0, xh = 0;
            return uitest::XGeometry(w.GetNativeWindow()->XWindowId(), xw, xh) && xw == 320;
        }))
        SUCCEED();

    // A point of the client area on the screen, and back.
    LPoint p { 10, 20 };
    LMacWindow::ClientToScreen(w.GetContentView(), &p);
    EXPECT_NEAR(p.x, 110, 1);
    EXPECT_NEAR(p.y, 100, 1);
    LUiPoint sp = w.ConvertToCocoaPointScreen(10, 20);
    EXPECT_NEAR(sp.x * s, 110, 1);
    EXPECT_NEAR(sp.y * s, 100, 1);
    int ax = 0, ay = 0;
    LMacWindow::_GetControlAbsoluteScreenPositionPixels(w.GetContentView(), ax, ay);
    EXPECT_NEAR(ax, 100, 1);
    EXPECT_NEAR(ay, 80, 1);
    int fx = 0, fy = 0;
    LMacWindow::ConvertFromCocoaPoint(w.GetContentView(), LUiPoint { 2.5, 4 }, fx, fy);
    EXPECT_EQ(fx, int(2.5 * s + 0.5));
    EXPECT_EQ(fy, 4 * s);
    LUiRect r = w.ConvertToCocoaRectWindow(100, 80, 20, 10, true);
    EXPECT_EQ(r, (LUiRect { 100.0 / s, 80.0 / s, 20.0 / s, 10.0 / s }));

    w.MinimumSizeSet(200, 100);
    int mw = 0, mh = 0;
    w.GetWindowMinSizePixels(mw, mh);
    EXPECT_EQ(mw, 200);
    EXPECT_EQ(mh, 100);
    w.Close();
}

TEST_F(GeometryTest, StatusBarAndScale)
{
    EXPECT_GE(LMacWindow::GetBackingScaleFactor(nullptr), 1.0);
    GeometryWindow w;
    w.CreateCocoaWindow(200, 100, kStyle, false, nullptr);
    LView* status = w.AddStatic(800, "Klar");
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(LMacWindow::GetStatusbarHeightPixels(w.GetContentView()), 30 * Scale());
    int cw = 0, ch = 0, full = 0;
    w.GetClientSize(cw, full);
    w.GetClientSizeMinusToolbarMinusStatusBar(cw, ch);
    EXPECT_EQ(ch, full - 30 * Scale());
    w.ShowControl(800, false);
    EXPECT_EQ(LMacWindow::GetStatusbarHeightPixels(w.GetContentView()), 0);
    EXPECT_EQ(LMacWindow::GetTitlebarHeightPixels(nullptr), 0);
    w.DestroyCommon();
}

TEST_F(GeometryTest, Monitors)
{
    int s = Scale();
    int w = 0, h = 0;
    LMonitorInfo::GetMonitorResolution(0, w, h);
    EXPECT_EQ(w, int(screen.frame.width * s));
    EXPECT_EQ(h, int(screen.frame.height * s));
    LRectangle r;
    LMonitorInfo::GetMonitorRect(1, r);
    EXPECT_EQ(r, LRectangle(0, 0, w, h));
    LMonitorInfo::GetMonitorRect(0, r);
    EXPECT_EQ(r, LRectangle(0, 0, w, h));
    LMonitorInfo::GetMonitorRect(LMonitorInfo::GetMonitorCount() + 1, r);
    EXPECT_EQ(r, LRectangle());
    LMonitorInfo::GetMonitorRect(-1, r);
    EXPECT_EQ(r, LRectangle());
    int uw = 7, uh = 9;
    LMonitorInfo::GetMonitorResolution(99, uw, uh);
    EXPECT_EQ(uw, 7); // left alone
    LMonitorInfo::GetMonitorRect(static_cast<LView*>(nullptr), r);
    EXPECT_EQ(r, Visible(screen));
}

TEST_F(GeometryTest, SizeAndPlaceAreStoredAndRestored)
{
    const char* key = "GeometryTestWindow";
    for (const char* name : { "X", "Y", "Width", "Height", "Maximized" })
        _LSettingDeleteItem(kLSettingsCurrentUser, key, name);
    LRectangle v = Visible(screen);
    GeometryWindow w;
    w.CreateCocoaWindow(100, 100, kStyle, false, nullptr);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    auto placeIs = [&](int x, int y) {
        return uitest::PumpUntil([&] {
            int px = 0, py = 0;
            w.GetWindowPosition(px, py);
            return std::abs(px - x) <= 1 && std::abs(py - y) <= 1;
        });
    };
    auto client = [&](int& cw, int& ch) { w.GetClientSize(cw, ch); };
    int cw = 0, ch = 0;

    // Nothing stored: the default size at (200, 200).
    w.WindowSizeSettingsRestore(key, 240, 160, 100, 80, false);
    EXPECT_TRUE(placeIs(v.left + 200, v.top + 200) || placeIs(200, 200));
    client(cw, ch);
    EXPECT_EQ(cw, 240);
    EXPECT_EQ(ch, 160);

    // Stored and read back.
    w.MoveWindowPixels(v.left + 40, v.top + 60);
    ASSERT_TRUE(placeIs(v.left + 40, v.top + 60));
    w.SizeWindowPixels(260, 140);
    w.WindowSizeSettingsStore(key);
    char buf[260] = {};
    _LUserSettingGetString(key, "Width", "", buf);
    EXPECT_STREQ(buf, "260");
    _LUserSettingGetString(key, "Maximized", "", buf);
    EXPECT_STREQ(buf, "0");
    w.SizeWindowPixels(100, 100);
    w.MoveWindowPixels(v.left + 300, v.top + 10);
    w.WindowSizeSettingsRestore(key, 240, 160, 100, 80, false);
    EXPECT_TRUE(placeIs(v.left + 40, v.top + 60));
    client(cw, ch);
    EXPECT_EQ(cw, 260);
    EXPECT_EQ(ch, 140);

    // Too wide: cut to the visible width; too narrow: raised to the minimum; the place stays
    // inside the visible area.
    Store(key, "Width", "999999");
    Store(key, "Height", "30");
    Store(key, "X", "-500");
    Store(key, "Y", "99999999999999");
    w.WindowSizeSettingsRestore(key, 240, 160, 100, 80, false);
    client(cw, ch);
    EXPECT_EQ(cw, v.GetWidth());
    EXPECT_EQ(ch, 80);
    int frameHeight = 80 + LMacWindow::GetTitlebarHeightPixels(w.GetContentView());
    EXPECT_TRUE(placeIs(v.left, v.bottom - frameHeight));

    // Garbage and negative values.
    Store(key, "Width", "garbage");
    Store(key, "Height", "-40");
    Store(key, "X", "abc");
    Store(key, "Y", "-7");
    w.WindowSizeSettingsRestore(key, 240, 160, 100, 80, false);
    client(cw, ch);
    EXPECT_EQ(cw, 240);
    EXPECT_EQ(ch, 80);
    EXPECT_TRUE(placeIs(v.left + 200, v.top));

    // A minimum beyond the screen gives the visible width.
    Store(key, "Width", "10");
    w.WindowSizeSettingsRestore(key, 240, 160, v.GetWidth() + 500, 80, false);
    client(cw, ch);
    EXPECT_EQ(cw, v.GetWidth());

    // Maximized: nothing is moved.
    Store(key, "Width", "200");
    Store(key, "Maximized", "1");
    w.MoveWindowPixels(v.left + 20, v.top + 30);
    ASSERT_TRUE(placeIs(v.left + 20, v.top + 30));
    w.WindowSizeSettingsRestore(key, 240, 160, 100, 80, false);
    uitest::Pump(50);
    int px = 0, py = 0;
    w.GetWindowPosition(px, py);
    if (!w.GetNativeWindow()->IsZoomed()) { // without a window manager nothing maximizes
        EXPECT_TRUE(placeIs(v.left + 20, v.top + 30));
    }
    w.Close();
}

TEST_F(GeometryTest, ControlsArePlacedAndReadInPixels)
{
    int s = Scale();
    GeometryWindow w;
    w.onInit = [&](GeometryWindow& self) {
        self.AddStatic(10, "Namn:");
        self.AddPushButton(11, "Knapp", 0, 0, 80, 21);
        self.AddCheckBox(12, "Ruta");
        self.AddRadioButton(13, "Ett");
    };
    w.CreateCocoaWindow(300 * s, 200 * s, kStyle, false, nullptr);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    int x, y, cw, ch;
    w.MoveControlPixels(10, 10 * s, 12 * s, 100 * s, 20 * s);
    w.GetControlPixels(10, x, y, cw, ch);
    EXPECT_EQ(x, 10 * s);
    EXPECT_EQ(y, 12 * s);
    EXPECT_EQ(cw, 100 * s);
    EXPECT_EQ(ch, 20 * s);
    // A push button's frame takes its inset around the visible rectangle: 6 points each side,
    // 1 above and 2 below.
    w.MoveControlPixels(11, 40 * s, 50 * s, 90 * s, 24 * s);
    w.GetControlPixels(11, x, y, cw, ch);
    EXPECT_EQ(x, 34 * s);
    EXPECT_EQ(y, 49 * s);
    EXPECT_EQ(cw, 102 * s);
    EXPECT_EQ(ch, 27 * s);
    // Check box: 2 each side, 1 above, 2 below; radio buttons keep the rectangle.
    w.MoveControlPixels(12, 40 * s, 90 * s, 90 * s, 20 * s);
    w.GetControlPixels(12, x, y, cw, ch);
    EXPECT_EQ(x, 38 * s);
    EXPECT_EQ(cw, 94 * s);
    w.MoveControlPixels(13, 40 * s, 120 * s, 90 * s, 20 * s);
    w.GetControlPixels(13, x, y, cw, ch);
    EXPECT_EQ(x, 40 * s);
    EXPECT_EQ(y, 120 * s);
    w.SetControlHeightPixels(13, 30 * s);
    w.GetControlPixels(13, x, y, cw, ch);
    EXPECT_EQ(ch, 30 * s);
    // Unknown ids: nothing, zeros.
    w.MoveControlPixels(999, 1, 2, 3, 4);
    w.GetControlPixels(999, x, y, cw, ch);
    EXPECT_EQ(x + y + cw + ch, 0);
    uitest::Screenshot(w.GetNativeWindow(), "controls-placed");
    w.Close();
}

// --- tips ----------------------------------------------------------------------------------------

namespace {

struct TipWindow : GeometryWindow {
    using LMacWindow::fBubbleTip;
};

} // namespace

TEST_F(GeometryTest, BubbleTipBelowAboveAndLeftOfAControl)
{
    int s = Scale();
    TipWindow w;
    w.onInit = [&](GeometryWindow& self) {
        self.AddStatic(20, "Fält");
        self.AddStatic(21, "Hög");
    };
    w.CreateCocoaWindow(300 * s, 120 * s, kStyle, false, nullptr);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    w.MoveControlPixels(20, 40 * s, 20 * s, 120 * s, 20 * s);
    w.MoveControlPixels(21, 200 * s, 0, 40 * s, 120 * s);
    LRectangle v = Visible(screen);
    w.MoveWindowPixels(v.left + 100 * s, v.top + 100 * s);
    uitest::Pump(100);

    BubbleTip& own = w.GetBubbleTip();
    ASSERT_NE(own.tip, nullptr);
    w.BubbleTipShow(own, 20, "Du kan bara skriva ett nummer här.", 0, nullptr);
    LCocoaTooltipImpl* tip = own.tip;
    EXPECT_EQ(own.control, w.GetControlHandle(20));
    EXPECT_EQ(tip->getTooltipPlace(), 1); // below, arrow up
    LUiRect control;
    ASSERT_TRUE(LCocoaViewScreenRect(w.GetControlHandle(20), control));
    LUiRect f = tip->frame();
    EXPECT_NEAR(f.y, control.y + control.height, 1);
    EXPECT_NEAR(f.x + f.width / 2, control.x + control.width / 2, 1);
    if (w.GetNativeWindow()->IsKey()) {
        EXPECT_TRUE(tip->isShown());
        uitest::ScreenshotArea(int(std::min(control.x, f.x) * s) - 20, int(control.y * s) - 20,
            int(f.width * s) + 200, int(f.height * s) + 80, "tip-below-control");
    }

    // At the bottom of the screen the tip goes above.
    w.MoveWindowPixels(v.left + 100 * s, v.bottom - 60 * s);
    uitest::PumpUntil([&] {
        LUiRect c;
        return LCocoaViewScreenRect(w.GetControlHandle(20), c) && c.y > control.y;
    });
    w.BubbleTipShow(own, 20, "Du kan bara skriva ett nummer här.", 0, nullptr);
    EXPECT_EQ(tip->getTooltipPlace(), 4);
    // A control as tall as the screen: the tip goes to its left.
    auto* tall = w.GetControlHandle(21);
    LUiRect content;
    ASSERT_TRUE(LCocoaViewScreenRect(w.GetContentView(), content));
    tall->SetFrame(
        LUiRect { 200, screen.frame.y - 1000 - content.y, 40, screen.frame.height + 2000 });
    w.BubbleTipShow(own, 21, "Vänster", 0, nullptr);
    EXPECT_EQ(tip->getTooltipPlace(), 7);
    EXPECT_EQ(tip->view().getArrowSide(), 8);

    // A tip with an unknown control shows nothing.
    w.BubbleTipShow(own, 999, "Ingen", 0, nullptr);
    EXPECT_EQ(own.control, nullptr);
    EXPECT_FALSE(tip->isShown());
    w.Close();
}

TEST_F(GeometryTest, TipPlacesAndSizes)
{
    LCocoaTooltipImpl empty(nullptr, true);
    // Without text nothing moves or shows.
    empty.moveToPoint(LUiPoint { 50, 50 }, true);
    EXPECT_EQ(empty.anchor().x, 0);
    empty.show();
    EXPECT_EQ(empty.frame().width, 1);

    LCocoaTooltipImpl tip("Tips", true);
    tip.setTooltipPlace(0);
    tip.moveToPoint(LUiPoint { 100, 100 }, true);
    EXPECT_EQ(tip.getTooltipPlace(), 0); // fits: kept
    LUiRect f = tip.frame();
    EXPECT_EQ(f.x, 100);
    EXPECT_EQ(f.y, 100);
    // The bottom right corner: only above and to the left fits.
    double right = screen.frame.x + screen.frame.width - 2;
    double bottom = screen.frame.y + screen.frame.height - 2;
    tip.moveToPoint(LUiPoint { right, bottom }, true);
    EXPECT_EQ(tip.getTooltipPlace(), 5);
    EXPECT_EQ(tip.getArrowSideFor(5), 5);
    EXPECT_LE(tip.frame().x + tip.frame().width, right + 1);

    // Arrow sizes: 7 points for the bubble, added per side.
    LCocoaTooltipView& view = tip.view();
    LUiSize c = view.sizeTextContainer();
    EXPECT_EQ(view.getSizeWithArrow(1).height, c.height + 7);
    EXPECT_EQ(view.getSizeWithArrow(7).width, c.width + 7);
    EXPECT_EQ(view.getSizeWithArrow(2).width, c.width + 7);
    EXPECT_EQ(view.getSizeWithArrow(0).width, c.width);
    // A plain tip has no arrow.
    LCocoaTooltipImpl plain("Tips", false);
    EXPECT_EQ(plain.view().getSize().width, plain.view().sizeTextContainer().width);

    // Text wider than 1000 points wraps; a megabyte of it is never larger than the monitor.
    std::string big(1 << 20, 'x');
    for (size_t i = 7; i < big.size(); i += 8)
        big[i] = ' ';
    tip.setText(big.c_str());
    EXPECT_LE(view.sizeText().width, 1000);
    tip.moveToPoint(LUiPoint { 10, 10 }, true);
    EXPECT_LE(tip.frame().width, screen.frame.width);
    EXPECT_LE(tip.frame().height, screen.frame.height);
    // Bad UTF-8 is shown with replacement characters.
    tip.setText("a\xff"
                "b");
    EXPECT_EQ(tip.text(),
        "a\xEF\xBF\xBD"
        "b");
}

TEST_F(GeometryTest, TipsHideOnClicksAndFocusLossAndNeverShowForAWindowWithoutTheKeyboard)
{
    int s = Scale();
    TipWindow w;
    w.onInit = [&](GeometryWindow& self) { self.AddStatic(20, "Fält"); };
    w.CreateCocoaWindow(300 * s, 120 * s, kStyle, false, nullptr);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    w.MoveControlPixels(20, 40 * s, 20 * s, 120 * s, 20 * s);
    BubbleTip& own = w.GetBubbleTip();
    if (!uitest::PumpUntil([&] { return w.GetNativeWindow()->IsKey(); }, 2000)
        || !uitest::HaveXdotool())
        GTEST_SKIP() << "the window did not get the keyboard";
    w.BubbleTipShow(own, 20, "Klicka bort mig", 0, nullptr);
    ASSERT_TRUE(own.tip->isShown());
    // A click anywhere in the application.
    ASSERT_TRUE(uitest::XClick(w.GetNativeWindow(), 250, 100));
    EXPECT_TRUE(uitest::PumpUntil([&] { return !own.tip->isShown(); }));

    // The window resigning the keyboard.
    w.GetNativeWindow()->MakeKeyAndOrderFront();
    if (uitest::PumpUntil([&] { return w.GetNativeWindow()->IsKey(); }, 2000)) {
        w.BubbleTipShow(own, 20, "Tappar fokus", 0, nullptr);
        ASSERT_TRUE(own.tip->isShown());
        uitest::FocusNowhere();
        EXPECT_TRUE(uitest::PumpUntil([&] { return !own.tip->isShown(); }));
        // No showing while the parent is not key.
        if (uitest::PumpUntil([&] { return !w.GetNativeWindow()->IsKey(); }, 1000)) {
            w.BubbleTipShow(own, 20, "Aldrig", 0, nullptr);
            EXPECT_FALSE(own.tip->isShown());
        }
    }
    w.Close();
}

TEST_F(GeometryTest, AWindowClosedWithItsTipShown)
{
    TipWindow* w = new TipWindow;
    w->onInit = [&](GeometryWindow& self) { self.AddStatic(20, "Fält"); };
    w->CreateCocoaWindow(200, 100, kStyle, false, nullptr);
    w->InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w->GetNativeWindow()));
    w->MoveControlPixels(20, 10, 10, 100, 20);
    w->BubbleTipShowAbsolute("Absolut", 50, 50, 0, nullptr, false);
    w->Close();
    delete w; // the tip, its timer and its monitor go with it
    // Its timer and click monitor went with it.
    size_t monitors = LEventHub::MonitorCount();
    uitest::Pump(50);
    EXPECT_EQ(LEventHub::MonitorCount(), monitors);
}
