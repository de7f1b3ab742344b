// The tab bar on a real window: layout, selection by clicks with the real pointer, the commands
// and their order, close boxes, scroll buttons held down, the eased animation step by step, the
// pixels of the close cross, and owners that remove tabs or the bar inside a command.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/gui/LTabBar.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/LPaintSurface.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/UI.h"
#include "support/Screenshot.h"
#include "support/UiTestSupport.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr unsigned long kStyle = kLUiWindowTitled | kLUiWindowClosable;
constexpr int kChanging = 1001, kChanged = 1002, kClose = 1003, kContext = 1004;

int Scale()
{
    const char* s = getenv("GDK_SCALE");
    return s && atoi(s) > 1 ? atoi(s) : 1;
}

class Owner : public LMacWindow {
public:
    std::vector<int> commands;
    std::function<void(int)> onCommand;
    void Command(int id, int code) override
    {
        if (id >= kChanging && id <= kContext) {
            commands.push_back(id);
            if (onCommand)
                onCommand(id);
            return;
        }
        LMacWindow::Command(id, code);
    }
};

// A window with a tab bar (control 1000) of width x 36 device pixels (times the scale).
struct Fixture {
    Owner window;
    std::unique_ptr<LTabBar> bar = std::make_unique<LTabBar>();
    const int s = Scale();
    explicit Fixture(int width = 400)
    {
        window.CreateCocoaWindow(width * s, 60 * s, kStyle, false, nullptr);
        window.AddPaintControl(1000, 0, 0, width * s, 36 * s);
        bar->Init(window, 1000);
        bar->SetCommandIds(kChanging, kChanged, kClose, kContext);
    }
    ~Fixture()
    {
        bar.reset();
        window.DestroyCommon();
    }
    void AddTabs(int n, const char* prefix = "Flik")
    {
        for (int i = 0; i < n; ++i)
            bar->AddTab((std::string(prefix) + " " + std::to_string(i + 1)).c_str(), 100 + i);
    }
    bool Show()
    {
        window.InitCommon(kLCocoaDialogCenterNone, true);
        return uitest::ShowAndWait(window.GetNativeWindow())
            && uitest::PumpUntil([&] { return bar->GetWidth() > 0; });
    }
    // A device-pixel point of the bar in points of the window's content.
    double P(int v) const { return double(v) / s; }
    bool Click(int x, int y) { return uitest::XClick(window.GetNativeWindow(), P(x), P(y)); }
    std::string Shot(const char* name)
    {
        return uitest::Screenshot(window.GetNativeWindow(), std::string("tab-bar-") + name);
    }
};

struct Pixel {
    int r, g, b;
};

// Paints the bar into an image of its size; fn reads it.
void Painted(LTabBar& bar, const std::function<void(const unsigned char*, int)>& fn)
{
    cairo_surface_t* surface
        = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, bar.GetWidth(), bar.GetHeight());
    cairo_t* cr = cairo_create(surface);
    {
        LPaintContext context(cr, bar.GetWidth(), bar.GetHeight());
        context.SetView(bar.GetPaintView());
        bar.Paint(context);
    }
    cairo_surface_flush(surface);
    fn(cairo_image_surface_get_data(surface), cairo_image_surface_get_stride(surface));
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

Pixel At(const unsigned char* data, int stride, int x, int y)
{
    const unsigned char* p = data + y * stride + x * 4;
    return Pixel { p[2], p[1], p[0] };
}

// Whether some pixel of the rectangle has exactly the colour.
bool RectHas(LTabBar& bar, const int* rect, Pixel c)
{
    bool found = false;
    Painted(bar, [&](const unsigned char* data, int stride) {
        for (int y = rect[1]; y <= rect[3] && !found; ++y)
            for (int x = rect[0]; x <= rect[2] && !found; ++x) {
                const Pixel p = At(data, stride, x, y);
                found = p.r == c.r && p.g == c.g && p.b == c.b;
            }
    });
    return found;
}

int CentreX(const LTab& t)
{
    return (t.tabRect[0] + t.tabRect[2]) / 2;
}
int CentreY(const LTab& t)
{
    return (t.tabRect[1] + t.tabRect[3]) / 2;
}

class TabBar : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
    }
};

} // namespace

TEST_F(TabBar, AddingNeverSelectsAndTabsAreSizedToTheirCaptions)
{
    Fixture f;
    LTabBar& bar = *f.bar;
    LTab* a = bar.AddTab("Sida 1", 7);
    LTab* b = bar.AddTab("En mycket längre flik", 8);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(bar.GetSelectedTab(), nullptr);
    EXPECT_EQ(bar.GetScrollOffset(), 0);
    const int h = bar.GetHeight(), half = h / 2;
    const int P = int(std::lround(std::max(1.0, 0.2 * h)));
    const float ch = f.window.CharHeightPixels();
    EXPECT_EQ(a->tabRect[0], half);
    EXPECT_EQ(a->width, 2 * P + bar.GetTextWidth("Sida 1", "Arial", int(1.3 * ch + 0.5)));
    EXPECT_EQ(b->tabRect[0], a->tabRect[2]);
    EXPECT_GT(b->width, a->width);
    EXPECT_EQ(bar.GetTabWithDataTag(8), b);
    EXPECT_EQ(bar.GetTabAtIndex(1), b);
    EXPECT_EQ(bar.GetTabAtIndex(2), nullptr);
    // The selected tab stands higher than the others.
    const int top = a->tabRect[1];
    bar.SelectTab(*b);
    EXPECT_EQ(bar.GetSelectedTab(), b);
    EXPECT_LT(b->tabRect[1], top);
    EXPECT_EQ(a->tabRect[1], top);
    // A caption over 259 bytes is cut at a whole character.
    std::string longText;
    for (int i = 0; i < 200; ++i)
        longText += "å";
    bar.SetTabText(*a, longText.c_str());
    EXPECT_EQ(std::string(a->text).size(), 258u);
    // Removing the selected tab leaves none selected.
    bar.RemoveTabWithDataTag(8);
    EXPECT_EQ(bar.GetSelectedTab(), nullptr);
    EXPECT_EQ(bar.GetTabCount(), 1u);
    bar.RemoveTabWithDataTag(12345); // not there: nothing
    bar.RemoveAllTabs();
    EXPECT_EQ(bar.GetTabCount(), 0u);
}

TEST_F(TabBar, FittingTabsHaveNoScrollButtons)
{
    Fixture f;
    f.AddTabs(3);
    LTabBar& bar = *f.bar;
    EXPECT_FALSE(bar.CanScrollLeft());
    EXPECT_FALSE(bar.CanScrollRight());
    const int w = bar.GetWidth(), h = bar.GetHeight();
    EXPECT_FALSE(bar.IsPointOverScrollButtonRight(w - 3, h / 2));
    bar.EvLButtonDown(w - 3, h / 2);
    bar.EvLButtonUp(w - 3, h / 2);
    bar.EvLButtonDown(3, h / 2);
    bar.EvLButtonUp(3, h / 2);
    EXPECT_EQ(bar.GetScrollOffset(), 0);
    EXPECT_FALSE(bar.IsAnimating());
    // Neither button is drawn: both ends show the plain background at mid height.
    Painted(bar, [&](const unsigned char* data, int stride) {
        const Pixel l = At(data, stride, 3, h / 3), r = At(data, stride, w - 3, h / 3);
        EXPECT_EQ(l.r + l.g + l.b, 3 * 255);
        EXPECT_EQ(r.r + r.g + r.b, 3 * 255);
    });
}

TEST_F(TabBar, HoldingTheRightButtonScrollsTenPixelsATickThenEasesToATabEdge)
{
    Fixture f;
    f.AddTabs(12);
    LTabBar& bar = *f.bar;
    const int w = bar.GetWidth(), h = bar.GetHeight(), half = h / 2;
    const int lowest = bar.GetLowestScrollOffset();
    ASSERT_LT(lowest, -100);
    ASSERT_TRUE(bar.CanScrollRight());
    const int bx = w - 4, by = h / 2;
    ASSERT_TRUE(bar.IsPointOverScrollButtonRight(bx, by));
    // Press: one step at once, then one per tick while held.
    bar.EvLButtonDown(bx, by);
    EXPECT_EQ(bar.GetScrollOffset(), -10);
    int expected = -10;
    while (expected > lowest) {
        bar.EvTimer(1);
        expected = std::max(expected - 10, lowest);
        ASSERT_EQ(bar.GetScrollOffset(), expected);
    }
    bar.EvTimer(1);
    EXPECT_EQ(bar.GetScrollOffset(), lowest);
    EXPECT_FALSE(bar.CanScrollRight());
    // Released over the vanished button: the next tick starts the 50-step snap.
    bar.EvLButtonUp(bx, by);
    bar.EvTimer(1);
    EXPECT_TRUE(bar.IsAnimating());
    for (int i = 0; i < 50; ++i)
        bar.EvTimer(2);
    EXPECT_FALSE(bar.IsAnimating());
    EXPECT_EQ(bar.GetScrollOffset(), lowest);

    // Back to the left part way: the release snaps a whole tab edge to the left margin.
    bar.EvLButtonDown(4, by);
    for (int i = 0; i < 4; ++i)
        bar.EvTimer(1);
    EXPECT_EQ(bar.GetScrollOffset(), lowest + 50);
    bar.EvLButtonUp(4, by);
    bar.EvTimer(1);
    std::vector<int> offsets;
    while (bar.IsAnimating() && offsets.size() < 60) {
        bar.EvTimer(2);
        offsets.push_back(bar.GetScrollOffset());
    }
    ASSERT_EQ(offsets.size(), 50u);
    bool edgeAtMargin = false;
    for (LTab* t = bar.GetTabAtIndex(0); t; t = t->next)
        edgeAtMargin |= t->tabRect[0] == half;
    EXPECT_TRUE(edgeAtMargin);
}

TEST_F(TabBar, RealPointerHoldOnTheScrollButton)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    Fixture f;
    f.AddTabs(9);
    ASSERT_TRUE(f.Show());
    LTabBar& bar = *f.bar;
    const int w = bar.GetWidth(), h = bar.GetHeight(), half = h / 2;
    const int lowest = bar.GetLowestScrollOffset();
    ASSERT_LT(lowest, 0);
    f.Shot("before-scroll");
    // Held about 0.4 s: 10 px every 10 ms reaches the end, then the snap runs out.
    ASSERT_TRUE(uitest::XDragWithin(
        f.window.GetNativeWindow(), f.P(w - 4), f.P(h / 2), f.P(w - 4), f.P(h / 2),
        [&] { return !bar.IsAnimating() && bar.GetScrollOffset() == lowest; }, 4000));
    EXPECT_EQ(bar.GetScrollOffset(), lowest);
    LTab* last = bar.GetTabAtIndex(8);
    EXPECT_EQ(last->tabRect[2], w - half);
    EXPECT_TRUE(bar.CanScrollLeft());
    f.Shot("scrolled-to-end");
}

TEST_F(TabBar, AnimationEasesOutOverFiftyStepsAndEndsExactly)
{
    Fixture f;
    f.AddTabs(20);
    LTabBar& bar = *f.bar;
    LTab* target = bar.GetTabAtIndex(15);
    const int w = bar.GetWidth(), half = bar.GetHeight() / 2;
    const int end = -(target->tabRect[2] - (w - half));
    bar.ScrollToShowTabAnimated(*target, 500);
    EXPECT_TRUE(bar.IsAnimating());
    std::vector<int> offsets { 0 };
    while (bar.IsAnimating() && offsets.size() < 100) {
        bar.EvTimer(2);
        offsets.push_back(bar.GetScrollOffset());
    }
    ASSERT_EQ(offsets.size(), 51u);
    EXPECT_EQ(offsets.back(), end);
    EXPECT_EQ(target->tabRect[2], w - half);
    // Fast first, slow at the end.
    const int first = offsets[0] - offsets[1], lastStep = offsets[49] - offsets[50];
    EXPECT_GT(first, 5 * std::max(lastStep, 1));
    for (size_t i = 1; i < offsets.size(); ++i)
        EXPECT_LE(offsets[i], offsets[i - 1]);

    // Driven by the loop: the timer runs it out on its own.
    bar.ScrollToShowTabAnimated(*bar.GetTabAtIndex(0), 200);
    EXPECT_TRUE(uitest::PumpUntil([&] { return !bar.IsAnimating(); }, 3000));
    EXPECT_EQ(bar.GetScrollOffset(), 0);
}

TEST_F(TabBar, AnimationShorterThanOneTickStillRunsOneFrame)
{
    Fixture f;
    f.AddTabs(20);
    LTabBar& bar = *f.bar;
    LTab* target = bar.GetTabAtIndex(19);
    bar.ScrollToShowTabAnimated(*target, 5);
    ASSERT_TRUE(bar.IsAnimating());
    bar.EvTimer(2);
    EXPECT_FALSE(bar.IsAnimating());
    EXPECT_EQ(bar.GetScrollOffset(), bar.GetLowestScrollOffset());
    bar.ScrollToShowTabAnimated(*bar.GetTabAtIndex(0), 0);
    EXPECT_TRUE(uitest::PumpUntil([&] { return !bar.IsAnimating(); }, 2000));
    EXPECT_EQ(bar.GetScrollOffset(), 0);
}

TEST_F(TabBar, ClicksSendChangingThenChangedAndNothingOnTheSelectedTab)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    Fixture f;
    f.AddTabs(3);
    LTabBar& bar = *f.bar;
    LTab* selectedWhenChanging = reinterpret_cast<LTab*>(1);
    f.window.onCommand = [&](int id) {
        if (id == kChanging)
            selectedWhenChanging = bar.GetSelectedTab();
    };
    ASSERT_TRUE(f.Show());
    LTab* second = bar.GetTabAtIndex(1);
    ASSERT_TRUE(f.Click(CentreX(*second), CentreY(*second)));
    ASSERT_TRUE(uitest::PumpUntil([&] { return f.window.commands.size() >= 2; }));
    EXPECT_EQ(f.window.commands, (std::vector<int> { kChanging, kChanged }));
    EXPECT_EQ(selectedWhenChanging, nullptr);
    EXPECT_EQ(bar.GetSelectedTab(), second);
    f.Shot("second-selected");
    f.window.commands.clear();
    ASSERT_TRUE(f.Click(CentreX(*second), CentreY(*second)));
    uitest::Pump(200);
    EXPECT_TRUE(f.window.commands.empty());
    EXPECT_EQ(bar.GetSelectedTab(), second);
}

TEST_F(TabBar, CloseOnlyForPressAndReleaseOnOneCloseBox)
{
    Fixture f(500);
    f.AddTabs(3);
    LTabBar& bar = *f.bar;
    bar.ShowCloseButtons(true);
    LTab* a = bar.GetTabAtIndex(0);
    LTab* b = bar.GetTabAtIndex(1);
    bar.GetTabAtIndex(2)->closable = false;
    bar.LayoutTabs();
    EXPECT_EQ(bar.GetTabAtIndex(2)->closeRect[2], 0);
    auto cx = [](LTab* t) { return (t->closeRect[0] + t->closeRect[2]) / 2; };
    auto cy = [](LTab* t) { return (t->closeRect[1] + t->closeRect[3]) / 2; };
    EXPECT_EQ(bar.MapPointToTabCloseButton(cx(a), cy(a)), a);
    // Down on a's box, up on b's: nothing.
    bar.EvLButtonDown(cx(a), cy(a));
    EXPECT_EQ(bar.GetClosePressedTab(), a);
    bar.EvLButtonUp(cx(b), cy(b));
    EXPECT_TRUE(f.window.commands.empty());
    EXPECT_EQ(bar.GetClosePressedTab(), nullptr);
    // Down on the tab, up on its box: a selection, no close.
    bar.EvLButtonDown(CentreX(*a) - 10, CentreY(*a));
    bar.EvLButtonUp(cx(a), cy(a));
    EXPECT_EQ(f.window.commands, (std::vector<int> { kChanging, kChanged }));
    f.window.commands.clear();
    // Down and up on b's box: close b.
    bar.EvLButtonDown(cx(b), cy(b));
    bar.EvLButtonUp(cx(b), cy(b));
    EXPECT_EQ(f.window.commands, (std::vector<int> { kClose }));
    EXPECT_EQ(bar.GetTabToClose(), b);
    // The right button over a tab: the context command.
    f.window.commands.clear();
    bar.EvRButtonUp(CentreX(*b), CentreY(*b));
    EXPECT_EQ(f.window.commands, (std::vector<int> { kContext }));
    EXPECT_EQ(bar.GetContextTab(), b);
    // The middle button closes when asked to.
    f.window.commands.clear();
    bar.EvMButtonDown(CentreX(*a), CentreY(*a));
    bar.EvMButtonUp(CentreX(*a), CentreY(*a));
    EXPECT_TRUE(f.window.commands.empty());
    bar.SetMiddleClickCloses(true);
    bar.EvMButtonDown(CentreX(*a), CentreY(*a));
    bar.EvMButtonUp(CentreX(*a), CentreY(*a));
    EXPECT_EQ(f.window.commands, (std::vector<int> { kClose }));
    EXPECT_EQ(bar.GetTabToClose(), a);
}

// Real pointer: the middle button reaches the bar through the window; with "middle click
// closes" a middle click closes the tab under it without selecting it, a tab with or without a
// close box; without it the middle button does nothing.
TEST_F(TabBar, RealMiddleClickClosesTheTabUnderThePointer)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    Fixture f(500);
    f.AddTabs(3);
    LTabBar& bar = *f.bar;
    ASSERT_TRUE(f.Show());
    LTab* b = bar.GetTabAtIndex(1);
    auto middle = [&](LTab* t) {
        return uitest::XClickButton(
            f.window.GetNativeWindow(), f.P(CentreX(*t)), f.P(CentreY(*t)), 2);
    };
    ASSERT_TRUE(middle(b));
    uitest::Pump(200);
    EXPECT_TRUE(f.window.commands.empty());

    bar.SetMiddleClickCloses(true);
    ASSERT_TRUE(middle(b));
    ASSERT_TRUE(uitest::PumpUntil([&] { return !f.window.commands.empty(); }));
    uitest::Pump(50);
    EXPECT_EQ(f.window.commands, (std::vector<int> { kClose }));
    EXPECT_EQ(bar.GetTabToClose(), b);
    EXPECT_EQ(bar.GetSelectedTab(), nullptr);
    EXPECT_EQ(bar.GetClosePressedTab(), nullptr);
    EXPECT_FALSE(bar.IsCaptured());

    // With close boxes shown, on the third tab's caption.
    f.window.commands.clear();
    bar.ShowCloseButtons(true);
    LTab* c = bar.GetTabAtIndex(2);
    ASSERT_TRUE(uitest::XClickButton(
        f.window.GetNativeWindow(), f.P(c->textRect[0] + 2), f.P(CentreY(*c)), 2));
    ASSERT_TRUE(uitest::PumpUntil([&] { return !f.window.commands.empty(); }));
    EXPECT_EQ(f.window.commands, (std::vector<int> { kClose }));
    EXPECT_EQ(bar.GetTabToClose(), c);
}

TEST_F(TabBar, CloseCrossTurnsRedWhenHotAndOrangeWhilePressed)
{
    Fixture f(500);
    f.AddTabs(3);
    LTabBar& bar = *f.bar;
    bar.ShowCloseButtons(true);
    bar.SelectTabAtIndex(0);
    LTab* b = bar.GetTabAtIndex(1);
    const int x = (b->closeRect[0] + b->closeRect[2]) / 2;
    const int y = (b->closeRect[1] + b->closeRect[3]) / 2;
    EXPECT_TRUE(RectHas(bar, b->closeRect, Pixel { 150, 150, 150 }));
    EXPECT_FALSE(RectHas(bar, b->closeRect, Pixel { 240, 50, 50 }));
    bar.EvMouseMove(x, y);
    EXPECT_EQ(bar.GetHotCloseTab(), b);
    EXPECT_EQ(bar.GetHotTab(), nullptr);
    EXPECT_EQ(bar.GetHostView()->ToolTipText(), "Stäng den här fliken");
    EXPECT_TRUE(RectHas(bar, b->closeRect, Pixel { 240, 50, 50 }));
    ASSERT_TRUE(f.Show());
    bar.EvMouseMove(x, y);
    f.Shot("close-hot");
    bar.EvLButtonDown(x, y);
    EXPECT_TRUE(RectHas(bar, b->closeRect, Pixel { 255, 128, 0 }));
    EXPECT_FALSE(RectHas(bar, b->closeRect, Pixel { 240, 50, 50 }));
    f.Shot("close-pressed");
    bar.EvLButtonUp(x + 1000, y);
    EXPECT_EQ(bar.GetClosePressedTab(), nullptr);
    // The selected tab's box names the shortcut.
    bar.SetCloseShortcut(LKey::Special(13, LKey::kCommand));
    LTab* a = bar.GetTabAtIndex(0);
    bar.EvMouseMove(CentreX(*a), CentreY(*a));
    bar.EvMouseMove(
        (a->closeRect[0] + a->closeRect[2]) / 2, (a->closeRect[1] + a->closeRect[3]) / 2);
    const std::string tip = bar.GetHostView()->ToolTipText();
    EXPECT_EQ(tip.rfind("Stäng den här fliken (Ctrl+", 0), 0u) << tip;
}

TEST_F(TabBar, DisabledBarIsGrey)
{
    Fixture f;
    f.AddTabs(3);
    LTabBar& bar = *f.bar;
    bar.SelectTabAtIndex(1);
    bar.Disable();
    LTab* a = bar.GetTabAtIndex(0);
    LTab* s = bar.GetTabAtIndex(1);
    Painted(bar, [&](const unsigned char* data, int stride) {
        const Pixel flat = At(data, stride, a->tabRect[0] + 3, a->tabRect[1] + 3);
        EXPECT_EQ(flat.r, 128);
        EXPECT_EQ(flat.b, 128);
        const Pixel sel = At(data, stride, s->tabRect[0] + 3, s->tabRect[1] + 2);
        EXPECT_NEAR(sel.r, 210, 3);
        EXPECT_GE(sel.b, sel.r);
    });
    bar.Enable();
}

TEST_F(TabBar, OwnerRemovingTabsOrTheBarInsideACommand)
{
    Fixture f;
    f.AddTabs(4);
    // The clicked tab goes while the owner hears of the change: it is not selected.
    LTab* c = f.bar->GetTabAtIndex(2);
    const int x = CentreX(*c), y = CentreY(*c);
    f.window.onCommand = [&](int id) {
        if (id == kChanging)
            f.bar->RemoveTab(*f.bar->GetTabAtIndex(2));
    };
    f.bar->EvLButtonDown(x, y);
    f.bar->EvLButtonUp(x, y);
    EXPECT_EQ(f.window.commands, (std::vector<int> { kChanging }));
    EXPECT_EQ(f.bar->GetSelectedTab(), nullptr);
    EXPECT_EQ(f.bar->GetPressedTab(), nullptr);
    EXPECT_EQ(f.bar->GetTabCount(), 3u);
    // Every tab goes after the change: nothing pressed, nothing selected.
    f.window.commands.clear();
    f.window.onCommand = [&](int id) {
        if (id == kChanged)
            f.bar->RemoveAllTabs();
    };
    LTab* b = f.bar->GetTabAtIndex(1);
    f.bar->EvLButtonDown(CentreX(*b), CentreY(*b));
    EXPECT_EQ(f.bar->GetSelectedTab(), nullptr);
    EXPECT_EQ(f.bar->GetPressedTab(), nullptr);
    f.bar->EvLButtonUp(0, 0);
    // The bar is destroyed inside the command: nothing of it is touched afterwards.
    f.AddTabs(2);
    f.window.commands.clear();
    f.window.onCommand = [&](int id) {
        if (id == kChanging)
            f.bar.reset();
    };
    LTab* second = f.bar->GetTabAtIndex(1);
    f.bar->EvLButtonDown(CentreX(*second), CentreY(*second));
    EXPECT_EQ(f.bar, nullptr);
    EXPECT_EQ(f.window.commands, (std::vector<int> { kChanging }));
    // And inside a close command.
    f.bar = std::make_unique<LTabBar>();
    f.bar->Init(f.window, 1000);
    f.bar->SetCommandIds(kChanging, kChanged, kClose, kContext);
    f.bar->ShowCloseButtons(true);
    f.AddTabs(2);
    f.window.onCommand = [&](int id) {
        if (id == kClose)
            f.bar.reset();
    };
    LTab* first = f.bar->GetTabAtIndex(0);
    const int bx = (first->closeRect[0] + first->closeRect[2]) / 2;
    const int by = (first->closeRect[1] + first->closeRect[3]) / 2;
    f.bar->EvLButtonDown(bx, by);
    f.bar->EvLButtonUp(bx, by);
    EXPECT_EQ(f.bar, nullptr);
    uitest::Pump(50);
}

TEST_F(TabBar, ResizingKeepsAVisibleSelectedTabFullyVisible)
{
    Fixture f;
    f.AddTabs(8);
    LTabBar& bar = *f.bar;
    bar.SelectTabAtIndex(4);
    LTab* sel = bar.GetSelectedTab();
    const int half = bar.GetHeight() / 2;
    EXPECT_GE(sel->tabRect[0], half);
    EXPECT_LE(sel->tabRect[2], bar.GetWidth() - half);
    // Narrower: the selected tab is scrolled back into view.
    f.window.MoveControlPixels(bar.GetHostView(), 0, 0, 250 * f.s, 36 * f.s);
    bar.UpdateSize();
    bar.EvSize();
    EXPECT_GE(sel->tabRect[0], half);
    EXPECT_LE(sel->tabRect[2], bar.GetWidth() - half);
    // Wide enough for all: offset 0 again.
    f.window.MoveControlPixels(bar.GetHostView(), 0, 0, 2000 * f.s, 36 * f.s);
    bar.UpdateSize();
    bar.EvSize();
    EXPECT_EQ(bar.GetScrollOffset(), 0);
}

namespace {

// Whether some pixel of the rectangle (device pixels of the bar) has exactly the colour in what
// the bar's widget draws on the window now.
bool ShownRectHas(LTabBar& bar, const int* rect, Pixel c)
{
    GtkWidget* widget = bar.GetHostView()->Widget();
    const int scale = std::max(1, gtk_widget_get_scale_factor(widget));
    const int w = gtk_widget_get_allocated_width(widget),
              h = gtk_widget_get_allocated_height(widget);
    cairo_surface_t* surface
        = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w * scale, h * scale);
    cairo_surface_set_device_scale(surface, scale, scale);
    cairo_t* cr = cairo_create(surface);
    gtk_widget_draw(widget, cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    bool found = false;
    for (int y = std::max(rect[1], 0); y <= rect[3] && y < h * scale && !found; ++y)
        for (int x = std::max(rect[0], 0); x <= rect[2] && x < w * scale && !found; ++x) {
            const Pixel p = At(data, stride, x, y);
            found = p.r == c.r && p.g == c.g && p.b == c.b;
        }
    cairo_surface_destroy(surface);
    return found;
}

} // namespace

TEST_F(TabBar, RealPointerOnACloseBoxShowsTheHotAndPressedCross)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    Fixture f(500);
    f.AddTabs(3);
    LTabBar& bar = *f.bar;
    bar.ShowCloseButtons(true);
    bar.SelectTabAtIndex(0);
    ASSERT_TRUE(f.Show());
    LTab* b = bar.GetTabAtIndex(1);
    const int x = (b->closeRect[0] + b->closeRect[2]) / 2;
    const int y = (b->closeRect[1] + b->closeRect[3]) / 2;
    EXPECT_FALSE(ShownRectHas(bar, b->closeRect, Pixel { 240, 50, 50 }));
    // The pointer moved onto b's box: hot, the cross red.
    ASSERT_TRUE(uitest::XMove(f.window.GetNativeWindow(), f.P(x), f.P(y)));
    ASSERT_TRUE(uitest::PumpUntil([&] { return bar.GetHotCloseTab() == b; }));
    EXPECT_TRUE(ShownRectHas(bar, b->closeRect, Pixel { 240, 50, 50 }));
    EXPECT_FALSE(ShownRectHas(bar, b->closeRect, Pixel { 255, 128, 0 }));
    f.Shot("close-hot-real");
    // Pressed and released there: orange while held, then the close.
    bool pressedOrange = false, pressedRed = true;
    uitest::When([&] { return bar.GetClosePressedTab() == b; },
        [&] {
            pressedOrange = ShownRectHas(bar, b->closeRect, Pixel { 255, 128, 0 });
            pressedRed = ShownRectHas(bar, b->closeRect, Pixel { 240, 50, 50 });
            f.Shot("close-pressed-real");
        });
    ASSERT_TRUE(uitest::XDragWithin(f.window.GetNativeWindow(), f.P(x), f.P(y), f.P(x), f.P(y),
        [&] { return !f.window.commands.empty(); }));
    EXPECT_TRUE(pressedOrange);
    EXPECT_FALSE(pressedRed);
    EXPECT_EQ(f.window.commands, (std::vector<int> { kClose }));
    EXPECT_EQ(bar.GetTabToClose(), b);
    EXPECT_EQ(bar.GetClosePressedTab(), nullptr);
}

TEST_F(TabBar, HotScrollArrowTakesTheFocusColour)
{
    Fixture f;
    f.AddTabs(12);
    LTabBar& bar = *f.bar;
    const int w = bar.GetWidth(), h = bar.GetHeight();
    ASSERT_TRUE(bar.CanScrollRight());
    const LGuiColor focus = LPaintSurface::GetFocusIndicatorColor();
    const Pixel want { focus.red >> 8, focus.green >> 8, focus.blue >> 8 };
    // Whether the right button's end of the bar shows the focus colour somewhere.
    auto showsFocus = [&] {
        bool found = false;
        Painted(bar, [&](const unsigned char* data, int stride) {
            for (int y = 0; y < h && !found; ++y)
                for (int x = w - h; x < w && !found; ++x) {
                    const Pixel p = At(data, stride, x, y);
                    found = std::abs(p.r - want.r) <= 1 && std::abs(p.g - want.g) <= 1
                        && std::abs(p.b - want.b) <= 1;
                }
        });
        return found;
    };
    EXPECT_FALSE(showsFocus());
    bar.EvMouseMove(w - 4, h / 2);
    ASSERT_TRUE(bar.IsScrollButtonRightHot());
    EXPECT_TRUE(showsFocus());
    bar.EvMouseMove(w / 2, h / 2);
    EXPECT_FALSE(bar.IsScrollButtonRightHot());
    EXPECT_FALSE(showsFocus());
}
