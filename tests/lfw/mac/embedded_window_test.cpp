// Embedded panes placed in pixels: one layout when built at a size, help asked of the host, a
// painted control inside, teardown.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/gui/LPaintControl.h"
#include "lfw/mac/LEmbeddedWindow.h"
#include "lfw/mac/LMacWindow.h"
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

} // namespace
