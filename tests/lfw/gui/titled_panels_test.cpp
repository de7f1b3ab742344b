// Titled panels in a container on a real window: heights, title clicks travelling up to the
// hosting window, accordion rules, invisible panels, containers without title, tooltips, a list
// taller than its room: narrower beside its scroll bar, scrolled to a panel and by the wheel, and
// a short list made lower while its window is sized, which shows no bar.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/gui/LEmbeddedWindowTitled.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LCocoaPaintControlImpl.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LView.h"
#include "platform/ui/UI.h"
#include "support/Screenshot.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

struct Panel : LEmbeddedWindowTitled {
    Panel(int id, const char* title)
        : LEmbeddedWindowTitled(id, title, false, false, false, true)
    {
    }
    int titleClicks = 0;
    int built = 0;
    void InitPanel() override
    {
        ++built;
        iPanelHeight = 100;
    }
    void LayoutPanelControls(int, int, int, int) override { }
    void EvTitleClicked() override { ++titleClicks; }
};

struct Host : LMacWindow, LInterWinMessageHandler {
    LEmbeddedWindowTitledContainer* container = nullptr;
    std::vector<long> clicked;
    void EvInterWinMessage(int message, long data1, long data2) override
    {
        if (message != kLTitledPanelTitleClicked || !container)
            return;
        clicked.push_back(data1);
        container->fList.SetActivePanelByTitleBarId(int(data1), data2 == 1);
    }
};

struct Fixture {
    Host host;
    LEmbeddedWindowTitledContainer container;
    Panel* panels[3];
    Fixture(bool accordion, const char* title = "Egenskaper")
        : container(title, accordion, true, true, false)
    {
        host.CreateCocoaWindow(300, 600, kLUiWindowTitled, false, nullptr);
        host.HandleInterWinMessage(host, 0);
        host.container = &container;
        container.Init(host, 300, 600);
        const char* titles[] = { "Text", "Bild", "Mall" };
        for (int i = 0; i < 3; ++i) {
            panels[i] = new Panel(500 + i, titles[i]);
            container.fList.AddPanel(panels[i], true);
        }
        container.RelayoutWindow();
    }
    ~Fixture()
    {
        container.Destroy();
        host.InterWinMessageHandlerDestroy();
        host.DestroyCommon();
    }
    int TitleHeight() const { return int(2 * host.CharHeightPixels() + 0.5f); }
    void Click(Panel& p, int x)
    {
        p.fTitleBar.EvLButtonDown(x, 5);
        p.fTitleBar.EvLButtonUp(x, 5);
    }
};

class TitledPanels : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
    }
};

TEST_F(TitledPanels, CollapsedHeightsAndClicks)
{
    Fixture f(false);
    int total = 0;
    for (Panel* p : f.panels) {
        EXPECT_TRUE(p->bCollapsed);
        EXPECT_EQ(p->iTitleBarHeight, f.TitleHeight());
        total += p->GetListHeight();
    }
    EXPECT_EQ(total, 3 * f.TitleHeight());
    ASSERT_NE(f.container.GetControlHandle(900), nullptr);

    // The first and the last 8 pixels: EvTitleClicked, no toggle.
    Panel& p = *f.panels[1];
    f.Click(p, 8);
    f.Click(p, p.fTitleBar.GetWidth() - 8);
    EXPECT_EQ(p.titleClicks, 2);
    EXPECT_TRUE(p.bCollapsed);
    EXPECT_TRUE(f.host.clicked.empty());
    // The middle: the host toggles it (outside accordion mode, only this one).
    f.Click(p, 50);
    EXPECT_EQ(p.titleClicks, 3);
    ASSERT_EQ(f.host.clicked.size(), 1u);
    EXPECT_EQ(f.host.clicked[0], 501);
    EXPECT_FALSE(p.bCollapsed);
    EXPECT_TRUE(f.panels[0]->bCollapsed);
    f.Click(p, 50);
    EXPECT_TRUE(p.bCollapsed);
}

TEST_F(TitledPanels, Accordion)
{
    Fixture f(true);
    auto& list = f.container.fList;
    list.SetActivePanelByIndex(0, false);
    EXPECT_FALSE(f.panels[0]->bCollapsed);
    EXPECT_FALSE(f.panels[0]->bCollapseEnabled);
    // The open panel's title does nothing.
    f.Click(*f.panels[0], 50);
    EXPECT_TRUE(f.host.clicked.empty());
    EXPECT_FALSE(f.panels[0]->bCollapsed);
    // Another opens and closes the open one.
    f.Click(*f.panels[2], 50);
    EXPECT_FALSE(f.panels[2]->bCollapsed);
    EXPECT_TRUE(f.panels[0]->bCollapsed);
    EXPECT_TRUE(f.panels[2]->fTitleBar.bActive);
    EXPECT_FALSE(f.panels[0]->fTitleBar.bActive);
    // An unknown id changes nothing.
    list.SetActivePanelByTitleBarId(4711, true);
    EXPECT_FALSE(f.panels[2]->bCollapsed);
    EXPECT_EQ(list.GetPanelIndexFromTitleBarId(4711), -1);
    f.host.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(f.host.GetNativeWindow()));
    uitest::Screenshot(f.host.GetNativeWindow(), "titled-panels-accordion");
}

TEST_F(TitledPanels, InvisiblePanelTakesNoRoom)
{
    Fixture f(false);
    auto& list = f.container.fList;
    EXPECT_TRUE(list.SetPanelVisible(1, false));
    EXPECT_FALSE(list.SetPanelVisible(7, false));
    EXPECT_EQ(list.GetPanelIndexFromTitleBarId(502), 2);
    list.RelayoutWindow();
    // The third panel follows the first directly.
    const LUiRect third = f.panels[2]->GetContentView()->Frame();
    const LUiRect first = f.panels[0]->GetContentView()->Frame();
    EXPECT_NEAR(third.y, first.y + first.height, 0.01);
}

TEST_F(TitledPanels, UnbuiltPanelIsBuiltWhenFirstShown)
{
    Fixture f(true);
    auto& list = f.container.fList;
    auto* later = new Panel(503, "Senare");
    ASSERT_TRUE(list.AddPanelUnbuilt(later, false));
    // Linked at the front, hidden, without controls; the others keep their places.
    EXPECT_EQ(list.GetPanel(0), later);
    EXPECT_EQ(later->built, 0);
    EXPECT_FALSE(later->bVisible);
    EXPECT_FALSE(LEmbeddedWindowList::IsPanelBuilt(later));
    EXPECT_EQ(f.panels[0]->GetContentView()->Frame().y, 0);
    // Hiding it again and choosing it as the open panel build nothing; the state is kept.
    EXPECT_TRUE(list.SetPanelVisible(0, false));
    list.SetActivePanelByTitleBarId(503, false);
    EXPECT_EQ(later->built, 0);
    EXPECT_FALSE(later->bCollapsed);
    EXPECT_TRUE(f.panels[0]->bCollapsed);
    // Shown: built once, open as chosen, above the first panel.
    EXPECT_TRUE(list.SetPanelVisible(0, true));
    EXPECT_EQ(later->built, 1);
    ASSERT_TRUE(LEmbeddedWindowList::IsPanelBuilt(later));
    list.RelayoutWindow();
    const LUiRect top = later->GetContentView()->Frame();
    EXPECT_EQ(top.y, 0);
    // Frames are in points, heights in pixels.
    EXPECT_NEAR(top.height * f.host.GetBackingScaleFactor(), f.TitleHeight() + 100, 1.0);
    EXPECT_NEAR(f.panels[0]->GetContentView()->Frame().y, top.height, 0.01);
    list.BuildPanel(later);
    EXPECT_EQ(later->built, 1);
    // Built while hidden: it stays hidden and takes no room.
    auto* hidden = new Panel(504, "Dold");
    list.AddPanelUnbuilt(hidden, true);
    list.BuildPanel(hidden);
    EXPECT_EQ(hidden->built, 1);
    EXPECT_TRUE(hidden->GetContentView()->IsHidden());
    f.host.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(f.host.GetNativeWindow()));
    uitest::Screenshot(f.host.GetNativeWindow(), "titled-panels-built-later");
}

TEST_F(TitledPanels, EmptyTitleHasNoBar)
{
    Fixture f(false, "");
    EXPECT_EQ(f.container.GetControlHandle(900), nullptr);
    const LUiRect list = f.container.fList.GetContentView()->Frame();
    EXPECT_EQ(list.y, 0);
}

TEST_F(TitledPanels, HoverShowsTheTooltip)
{
    Fixture f(false);
    Panel& p = *f.panels[0];
    p.fTitleBar.EvMouseMove(50, 5);
    EXPECT_TRUE(p.fTitleBar.bHot);
    EXPECT_EQ(p.fTitleBar.GetHostView()->ToolTipText(), "Minimera/Expandera");
    p.fTitleBar.EvMouseMove(3, 5);
    EXPECT_FALSE(p.fTitleBar.bHot);
    EXPECT_EQ(p.fTitleBar.GetHostView()->ToolTipText(), "");
}

// Shows the host, a window of 600 x 600 pixels, with the container filling it.
bool ShowWithContainer(Host& host, LEmbeddedWindowTitledContainer& container)
{
    host.CreateCocoaWindow(600, 600, kLUiWindowTitled, false, nullptr); // pixels
    host.HandleInterWinMessage(host, 0);
    host.container = &container;
    host.InitCommon(kLCocoaDialogCenterNone, true);
    if (!uitest::ShowAndWait(host.GetNativeWindow()))
        return false;
    container.Init(host, 600, 600);
    return true;
}

struct TallPanel : Panel {
    using Panel::Panel;
    void InitPanel() override { iPanelHeight = 600; }
};

TEST_F(TitledPanels, TallListScrollsBesideItsBar)
{
    Host host;
    LEmbeddedWindowTitledContainer container("Egenskaper", false, true, true, false);
    ASSERT_TRUE(ShowWithContainer(host, container));
    const double s = host.GetBackingScaleFactor();
    auto& list = container.fList;
    const char* titles[] = { "Text", "Bild", "Mall" };
    TallPanel* panels[3];
    for (int i = 0; i < 3; ++i) {
        panels[i] = new TallPanel(500 + i, titles[i]);
        list.AddPanel(panels[i], true);
    }
    container.RelayoutWindow();
    auto* scroll = dynamic_cast<LCustomCocoaScrollView*>(list.GetContentView()->Superview());
    ASSERT_NE(scroll, nullptr);
    const int bar = int(LCustomCocoaScrollView::scrollerWidth() * s);
    const int full = list.GetClientAreaWidth();
    EXPECT_EQ(full, 600);
    EXPECT_EQ(panels[0]->GetClientAreaWidth(), full);

    // Every panel open: taller than the room, so the panels make way for the bar.
    for (int i = 0; i < 3; ++i)
        list.SetActivePanelByIndex(i, false);
    const int each = panels[0]->GetListHeight();
    int w = 0, h = 0;
    list.GetContentSize(w, h);
    EXPECT_EQ(h, 3 * each);
    EXPECT_EQ(list.GetClientAreaWidth(), full - bar);
    for (TallPanel* p : panels)
        EXPECT_EQ(p->GetClientAreaWidth(), full - bar);
    ASSERT_TRUE(uitest::PumpUntil([&] { return scroll->isScrollerVisible(true); }));
    auto scrolled = [&] { return int(scroll->BoundsOrigin().y * s); };

    // Scrolled to show a panel: to its top when it is not wholly in view, else left alone.
    list.ScrollToShowPanel(2);
    EXPECT_EQ(scrolled(), 2 * each);
    list.ScrollToShowPanel(7); // none: nothing
    EXPECT_EQ(scrolled(), 2 * each);
    list.ScrollToShowPanel(0);
    EXPECT_EQ(scrolled(), 0);
    list.ScrollToShowPanel(1);
    EXPECT_EQ(scrolled(), each);
    list.ScrollToShowPanel(1);
    EXPECT_EQ(scrolled(), each);
    list.ScrollToShowPanel(0);
    EXPECT_EQ(scrolled(), 0);
    uitest::Pump(100);
    uitest::Screenshot(host.GetNativeWindow(), "titled-panels-scroll-top");

    // The wheel over the list scrolls it.
    if (uitest::HaveXdotool()) {
        ASSERT_TRUE(uitest::XClickButton(host.GetNativeWindow(), 300 / s, 400 / s, 5, 3));
        EXPECT_TRUE(uitest::PumpUntil([&] { return scrolled() > 0; }));
        uitest::Pump(100);
        uitest::Screenshot(host.GetNativeWindow(), "titled-panels-scroll-wheel");
    }

    // All closed again: the whole width comes back.
    for (int i = 0; i < 3; ++i)
        list.SetActivePanelByIndex(i, true);
    EXPECT_EQ(list.GetClientAreaWidth(), full);
    EXPECT_EQ(panels[2]->GetClientAreaWidth(), full);
    container.Destroy();
    host.InterWinMessageHandlerDestroy();
    host.DestroyCommon();
}

struct SidewaysPanel : LEmbeddedWindowTitled {
    SidewaysPanel()
        : LEmbeddedWindowTitled(510, "Bred", true, false, false, true)
    {
    }
    void InitPanel() override { iPanelHeight = 100; }
    void LayoutPanelControls(int, int, int, int) override { }
};

TEST_F(TitledPanels, SidewaysScrollingTitleSpansTheContent)
{
    Host host;
    host.CreateCocoaWindow(600, 400, kLUiWindowTitled, false, nullptr);
    SidewaysPanel panel;
    panel.Init(host, 300, 200);
    ASSERT_NE(panel.GetContentView(), nullptr);
    panel.SetContentSize(900, 200);
    panel.LayoutControls(0, 0, 300, 200);
    EXPECT_EQ(panel.fTitleBar.GetWidth(), 900);
    panel.SetContentSize(100, 200); // narrower than the panel: its own width
    panel.LayoutControls(0, 0, 300, 200);
    EXPECT_EQ(panel.fTitleBar.GetWidth(), 300);
    panel.Destroy();
    host.DestroyCommon();
}

// A list shorter than its room, laid out again at a lower height while its window is being given
// its new size (as a window made lower lays out its panels), shows no scroll bar and keeps its
// whole width, as a list laid out at that height from the start.
TEST_F(TitledPanels, ShortListMadeLowerShowsNoScrollBar)
{
    Host host;
    LEmbeddedWindowTitledContainer container("", false, true, true, false);
    ASSERT_TRUE(ShowWithContainer(host, container));
    const double s = host.GetBackingScaleFactor();
    auto& list = container.fList;
    auto* panel = new Panel(500, "Text");
    list.AddPanel(panel, true);
    list.SetActivePanelByIndex(0, false);
    container.RelayoutWindow();
    auto* scroll = dynamic_cast<LCustomCocoaScrollView*>(list.GetContentView()->Superview());
    ASSERT_NE(scroll, nullptr);
    uitest::Pump(100);
    const int full = list.GetClientAreaWidth();
    // The container takes the window's height whenever GTK gives the window its size.
    GtkWindow* window = host.GetNativeWindow()->Gtk();
    const gulong handler = g_signal_connect(window, "size-allocate",
        G_CALLBACK(+[](GtkWidget*, GdkRectangle* a, gpointer data) {
            auto* c = static_cast<LEmbeddedWindowTitledContainer*>(data);
            const double scale = c->GetBackingScaleFactor();
            c->MovePixels(0, 0, 600, int(a->height * scale) - int(40 * scale));
        }),
        &container);
    for (int height : { 500, 400, 300 }) {
        host.SizeDialogPixelsMac(600, height, false);
        ASSERT_TRUE(uitest::PumpUntil([&] {
            return list.GetContentView()->Superview()->Frame().height * s <= height - 40 * s + 1;
        })) << height;
        uitest::Pump(150);
        EXPECT_FALSE(scroll->isScrollerVisible(true)) << height;
        EXPECT_EQ(list.GetClientAreaWidth(), full) << height;
        EXPECT_EQ(panel->GetClientAreaWidth(), full) << height;
    }
    uitest::Screenshot(host.GetNativeWindow(), "titled-panels-short-list-made-lower");
    g_signal_handler_disconnect(window, handler);
    container.Destroy();
    host.InterWinMessageHandlerDestroy();
    host.DestroyCommon();
}

} // namespace
