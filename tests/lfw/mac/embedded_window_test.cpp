// Embedded panes placed in pixels: one layout when built at a size, help asked of the host, a
// painted control inside, teardown, the ready command, and scrolling panes laid out for the room
// their scroll bars leave.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/gui/LPaintControl.h"
#include "lfw/mac/LEmbeddedWindow.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LCocoaPaintControlImpl.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/UI.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>
#include <tuple>
#include <vector>

namespace {

struct Host : LMacWindow {
    std::vector<int> commands;
    void Command(int id, int code) override
    {
        commands.push_back(id);
        if (id != kLCmdHelp)
            LMacWindow::Command(id, code);
    }
};

class Probe : public LPaintControl {
public:
    ~Probe() override { DestroyPaintControl(); }
    void Paint(LPaintContext&) override { }
};

struct Pane : LEmbeddedWindow {
    std::vector<std::tuple<int, int, int, int>> layouts;
    bool initDone = false;
    int layoutsBeforeInit = 0;
    Probe probe;
    void InitDialog() override
    {
        layoutsBeforeInit = int(layouts.size());
        initDone = true;
        AddPaintControl(5, 0, 0, 40, 20);
        probe.Init(*this, 5);
    }
    void LayoutControls(int x, int y, int w, int h) override { layouts.emplace_back(x, y, w, h); }
};

class EmbeddedWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
    }
};

TEST_F(EmbeddedWindow, BuiltAtASizeLaysOutOnce)
{
    Host host;
    host.CreateCocoaWindow(400, 300, kLUiWindowTitled, false, nullptr);
    Pane pane;
    pane.Init(host, 200, 100);
    ASSERT_TRUE(pane.initDone);
    EXPECT_EQ(pane.layoutsBeforeInit, 0);
    ASSERT_EQ(pane.layouts.size(), 1u);
    EXPECT_EQ(pane.layouts[0], std::make_tuple(0, 0, 200, 100));
    EXPECT_EQ(pane.GetClientAreaWidth(), 200);
    EXPECT_EQ(pane.GetParentWindow(), &host);
    EXPECT_TRUE(pane.probe.IsBound());
    EXPECT_EQ(pane.probe.GetWidth(), 40);

    pane.MovePixels(10, 10, 120, 60);
    ASSERT_EQ(pane.layouts.size(), 2u);
    EXPECT_EQ(pane.layouts[1], std::make_tuple(0, 0, 120, 60));
    pane.RelayoutWindow();
    EXPECT_EQ(pane.layouts.back(), std::make_tuple(0, 0, 120, 60));

    pane.Destroy();
    EXPECT_EQ(pane.GetContentView(), nullptr);
    EXPECT_EQ(pane.GetParentWindow(), nullptr);
    pane.MovePixels(0, 0, 10, 10); // gone: nothing
    pane.Destroy();
    host.DestroyCommon();
}

TEST_F(EmbeddedWindow, HelpIsAskedOfTheHost)
{
    Host host;
    host.CreateCocoaWindow(400, 300, kLUiWindowTitled, false, nullptr);
    host.InitCommon(kLCocoaDialogCenterNone, true);
    Pane pane;
    pane.Init(host, 200, 100);
    pane.CmHelp();
    EXPECT_TRUE(uitest::PumpUntil([&] {
        for (int id : host.commands)
            if (id == kLCmdHelp)
                return true;
        return false;
    }));
    pane.Destroy();
    host.DestroyCommon();
}

struct ReadyPane : Pane {
    int ready = 0;
    void EvWindowReady() override { ++ready; }
};

TEST_F(EmbeddedWindow, HearsItIsReadyAfterTheEventThatMadeIt)
{
    Host host;
    host.CreateCocoaWindow(400, 300, kLUiWindowTitled, false, nullptr);
    ReadyPane pane;
    pane.Init(host, 200, 100);
    EXPECT_EQ(pane.ready, 0);
    EXPECT_TRUE(uitest::PumpUntil([&] { return pane.ready == 1; }));
    uitest::Pump(50);
    EXPECT_EQ(pane.ready, 1);
    // Torn down before the queue turned: nothing arrives.
    ReadyPane gone;
    gone.Init(host, 200, 100);
    gone.Destroy();
    uitest::Pump(100);
    EXPECT_EQ(gone.ready, 0);
    pane.Destroy();
    host.DestroyCommon();
}

// A vertically scrolling pane whose content is as tall as it says.
struct TallPane : LEmbeddedWindow {
    TallPane()
        : LEmbeddedWindow(false, true, false)
    {
    }
    int contentHeight = 50;
    std::vector<std::pair<int, int>> layouts;
    void InitDialog() override { }
    void LayoutControls(int, int, int w, int h) override
    {
        layouts.emplace_back(w, h);
        SetContentSize(w, contentHeight);
    }
};

TEST_F(EmbeddedWindow, ScrollingPaneIsLaidOutBesideItsScrollBar)
{
    Host host;
    host.CreateCocoaWindow(400, 300, kLUiWindowTitled, false, nullptr);
    const double s = host.GetBackingScaleFactor();
    const int bar = int(LCustomCocoaScrollView::scrollerWidth() * s);
    ASSERT_GT(bar, 0);
    ASSERT_TRUE(uitest::ShowAndWait(host.GetNativeWindow()));
    TallPane pane;
    pane.Init(host, 200, 100);
    ASSERT_NE(pane.GetContentView(), nullptr);
    auto* scroll = dynamic_cast<LCustomCocoaScrollView*>(pane.GetContentView()->Superview());
    ASSERT_NE(scroll, nullptr);
    EXPECT_EQ(pane.GetContentView()->Superview()->Superview(), host.GetContentView());
    ASSERT_EQ(pane.layouts.size(), 1u);
    EXPECT_EQ(pane.layouts[0], std::make_pair(200, 100));
    EXPECT_EQ(pane.GetClientAreaWidth(), 200);

    // Grows taller than the view: laid out again, narrower by the bar.
    pane.contentHeight = 400;
    pane.layouts.clear();
    pane.MovePixels(0, 0, 200, 100);
    ASSERT_EQ(pane.layouts.size(), 2u);
    EXPECT_EQ(pane.layouts[0], std::make_pair(200, 100));
    EXPECT_EQ(pane.layouts[1], std::make_pair(200 - bar, 100));
    EXPECT_EQ(pane.GetClientAreaWidth(), 200 - bar);
    int w = 0, h = 0;
    pane.GetContentSize(w, h);
    EXPECT_EQ(h, 400);
    EXPECT_TRUE(uitest::PumpUntil([&] { return scroll->isScrollerVisible(true); }));
    EXPECT_FALSE(scroll->isScrollerVisible(false));
    // Relayout: the visible width, the whole content height.
    pane.layouts.clear();
    pane.RelayoutWindow();
    ASSERT_EQ(pane.layouts.size(), 1u);
    EXPECT_EQ(pane.layouts[0], std::make_pair(200 - bar, 400));

    // Shrinks again: the width comes back.
    pane.contentHeight = 40;
    pane.layouts.clear();
    pane.MovePixels(0, 0, 200, 100);
    ASSERT_EQ(pane.layouts.size(), 2u);
    EXPECT_EQ(pane.layouts[0], std::make_pair(200 - bar, 100));
    EXPECT_EQ(pane.layouts[1], std::make_pair(200, 100));
    EXPECT_EQ(pane.GetClientAreaWidth(), 200);

    // A disabled pane disables its scroll view; teardown takes the scroll view out as well.
    pane.EnableWindow(false);
    EXPECT_FALSE(scroll->isEnabled());
    pane.EnableWindow(true);
    LUiRef<LView> hold(scroll);
    pane.Destroy();
    EXPECT_EQ(scroll->Superview(), nullptr);
    EXPECT_EQ(pane.GetContentView(), nullptr);
    pane.MovePixels(0, 0, 50, 50); // gone: nothing
    host.DestroyCommon();
}

TEST_F(EmbeddedWindow, PaintsTheBackgroundUnlessItsScrollingParentLetsItsOwnShow)
{
    Host host;
    host.CreateCocoaWindow(400, 300, kLUiWindowTitled, false, nullptr);
    TallPane outer;
    outer.Init(host, 300, 200);
    ASSERT_NE(outer.GetContentView(), nullptr);
    EXPECT_TRUE(outer.GetContentView()->IsOpaque());
    Pane inner;
    inner.Init(outer, 100, 50);
    ASSERT_NE(inner.GetContentView(), nullptr);
    EXPECT_TRUE(inner.GetContentView()->IsOpaque());
    inner.Destroy();
    outer.GetContentView()->SetOpaque(false);
    Pane seeThrough;
    seeThrough.Init(outer, 100, 50);
    ASSERT_NE(seeThrough.GetContentView(), nullptr);
    EXPECT_FALSE(seeThrough.GetContentView()->IsOpaque());
    seeThrough.Destroy();
    outer.Destroy();
    host.DestroyCommon();
}

} // namespace
