// The mouse: wheel steps, the event monitor of a window's handler, and click regions.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/mac/LApplication.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/LMouseClickRegions.h"
#include "lfw/mac/LMouseHandler.h"
#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaViewBase.h"
#include "platform/ui/LUiImage.h"
#include "platform/ui/UI.h"
#include "support/UiTestSupport.h"

#include <algorithm>
#include <climits>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

double Scale()
{
    const char* s = getenv("GDK_SCALE");
    return s && atoi(s) > 1 ? atoi(s) : 1;
}

struct Window : LMacWindow {
    std::vector<int> commands;
    void Command(int id, int code) override
    {
        commands.push_back(id);
        LMacWindow::Command(id, code);
    }
    int Count(int id) const { return int(std::count(commands.begin(), commands.end(), id)); }
};

// The calls without the pointer's crossings (the real pointer may cross the windows).
std::vector<std::string> Clicks(const std::vector<std::string>& calls)
{
    std::vector<std::string> out;
    for (const auto& c : calls)
        if (c != "in" && c != "out")
            out.push_back(c);
    return out;
}

struct Recorder : LMouseHandler {
    std::vector<std::string> calls;
    std::vector<int> wheels;
    using LMouseHandler::EvMouseWheel;
    void EvLButtonDown(int, int) override { calls.push_back("down"); }
    void EvLButtonUp(int, int) override { calls.push_back("up"); }
    void EvRButtonDown(int, int) override { calls.push_back("rdown"); }
    void EvMouseMove(int, int) override { calls.push_back("move"); }
    void EvMouseIn() override { calls.push_back("in"); }
    void EvMouseOut() override { calls.push_back("out"); }
    void EvMouseWheel(int, int, int d) override { wheels.push_back(d); }
    void EvMouseHWheel(int, int, int d) override { wheels.push_back(1000 + d); }
};

struct Control : LCocoaViewBase {
    Control(const LUiRect& r, LCocoaWindow* w, int tag)
        : LCocoaViewBase(r, w)
    {
        SetTag(tag);
    }
};

void AddControl(Window& w, int tag, LUiRect r)
{
    auto* c = new Control(r, &w, tag);
    w.GetContentView()->AddSubview(c);
    c->Release();
}

class MouseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
    }
};

} // namespace

TEST(MouseWheel, StepsOfViewsAndOfTheMonitor)
{
    // A view rounds away from zero; the monitor to the nearest whole; lines are 8 pixels.
    EXPECT_EQ(LMouseHandler::ViewWheelDelta(-0.2, true), -1);
    EXPECT_EQ(LMouseHandler::ViewWheelDelta(0.1, false), 8);
    EXPECT_EQ(LMouseHandler::ViewWheelDelta(1, false), 8);
    EXPECT_EQ(LMouseHandler::MonitorWheelDelta(2.4, true), 2);
    EXPECT_EQ(LMouseHandler::MonitorWheelDelta(-2.4, true), -2);
    EXPECT_EQ(LMouseHandler::MonitorWheelDelta(1, false), 8);
    EXPECT_EQ(LMouseHandler::MonitorWheelDelta(0.2, true), 0);
    // Beyond int: kept within it.
    EXPECT_EQ(LMouseHandler::ViewWheelDelta(1e12, false), INT_MAX);
    EXPECT_EQ(LMouseHandler::MonitorWheelDelta(-1e300, true), INT_MIN);
    EXPECT_EQ(LMouseHandler::ViewWheelDelta(0.0 / 0.0, true), 0);
}

TEST_F(MouseTest, ARealWheelClickScrollsEightAndAPreciseStepOne)
{
    Window w;
    w.CreateCocoaWindow(int(240 * Scale()), int(160 * Scale()), kLUiWindowTitled, false, nullptr);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    Recorder mouse;
    mouse.MouseHandlerInit(w);
    if (uitest::HaveXdotool()) {
        double s = w.GetNativeWindow()->BackingScale();
        uitest::Run("xdotool mousemove --window " + std::to_string(w.GetNativeWindow()->XWindowId())
            + " " + std::to_string(int(60 * s)) + " " + std::to_string(int(60 * s))
            + " click 4 click 5 >/dev/null 2>&1");
        uitest::PumpUntil([&] { return mouse.wheels.size() >= 2; }, 2000);
        EXPECT_EQ(mouse.wheels, (std::vector<int> { 8, -8 }));
    }
    mouse.wheels.clear();
    LUiEvent e;
    LUiPoint origin;
    ASSERT_TRUE(w.GetContentView()->ConvertFromScreen(0, 0, origin));
    e.rootX = 30 - origin.x; // the view's (30, 30) on the screen
    e.rootY = 30 - origin.y;
    e.type = LUiEventType::ScrollWheel;
    e.scrollY = -0.2;
    e.precise = true;
    mouse.EvMouseWheel(e);
    e.scrollY = 0;
    e.scrollX = 3;
    e.precise = false;
    mouse.EvMouseWheel(e);
    EXPECT_EQ(mouse.wheels, (std::vector<int> { -1, 1024 }));
    mouse.MouseHandlerDestroy();
    w.DestroyCommon();
}

TEST_F(MouseTest, TheMainWindowsMonitorHearsAFloatingKeyWindowButNeverAModalOne)
{
    Window main, floating, modal;
    main.CreateCocoaWindow(300, 200, kLUiWindowTitled, false, nullptr);
    main.GetContentView()->SetAssociatedValue(&kHandleMouseEventsDirectly, 1);
    Recorder mouse;
    mouse.MouseHandlerInit(main);
    EXPECT_TRUE(mouse.HasMouseEventsMonitor());
    auto* content = dynamic_cast<LCocoaViewBase*>(main.GetContentView());
    EXPECT_EQ(content->mouseHandler(), nullptr); // the view keeps its own handling
    main.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(main.GetNativeWindow()));
    ASSERT_TRUE(uitest::PumpUntil([&] { return main.GetNativeWindow()->IsKey(); }));
    ASSERT_EQ(LNativeWindow::MainWindow(), main.GetNativeWindow());

    // Its own window, while key.
    uitest::SendButton(main.GetContentView(), 20, 20, 1, true);
    uitest::SendButton(main.GetContentView(), 20, 20, 1, false);
    EXPECT_EQ(Clicks(mouse.calls), (std::vector<std::string> { "down", "up" }));

    floating.CreateCocoaWindow(150, 100, kLUiWindowTitled, true, nullptr);
    ASSERT_TRUE(floating.RunFloating(&main, kLCocoaDialogCenterNone, true));
    ASSERT_TRUE(uitest::ShowAndWait(floating.GetNativeWindow()));
    ASSERT_TRUE(uitest::PumpUntil([&] { return floating.GetNativeWindow()->IsKey(); }));
    mouse.calls.clear();
    uitest::SendButton(floating.GetContentView(), 10, 10, 3, true);
    uitest::SendMotion(floating.GetContentView(), 12, 12, 0);
    EXPECT_EQ(Clicks(mouse.calls), (std::vector<std::string> { "rdown", "move" }));

    // A modal window's events never reach it.
    modal.CreateCocoaWindow(150, 100, kLUiWindowTitled, true, nullptr);
    modal.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(modal.GetNativeWindow()));
    ASSERT_TRUE(LApplication::ModalSessionBegin(modal.GetContentView()));
    uitest::PumpUntil([&] { return modal.GetNativeWindow()->IsKey(); });
    mouse.calls.clear();
    uitest::SendButton(modal.GetContentView(), 10, 10, 1, true);
    uitest::SendButton(modal.GetContentView(), 10, 10, 1, false);
    EXPECT_TRUE(Clicks(mouse.calls).empty());
    EXPECT_TRUE(LApplication::ModalSessionStop(modal.GetContentView()));
    modal.DestroyCommon();
    floating.DestroyCommon();
    mouse.MouseHandlerDestroy();
    EXPECT_FALSE(mouse.HasMouseEventsMonitor());
    main.DestroyCommon();
}

TEST_F(MouseTest, AWindowClosedInsideTheMonitor)
{
    Window main;
    main.CreateCocoaWindow(200, 150, kLUiWindowTitled, false, nullptr);
    main.GetContentView()->SetAssociatedValue(&kHandleMouseEventsDirectly, 1);
    struct Closer : LMouseHandler {
        Window* w = nullptr;
        int downs = 0;
        void EvLButtonDown(int, int) override
        {
            ++downs;
            w->DestroyCommon();
        }
    } closer;
    closer.w = &main;
    closer.MouseHandlerInit(main);
    main.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(main.GetNativeWindow()));
    uitest::PumpUntil([&] { return main.GetNativeWindow()->IsKey(); });
    LUiRef<LView> content(main.GetContentView());
    uitest::SendButton(content.Get(), 20, 20, 1, true);
    EXPECT_EQ(closer.downs, 1);
    EXPECT_FALSE(main.IsAlive());
    closer.MouseHandlerDestroy();
}

TEST_F(MouseTest, ClickRegions)
{
    double s = Scale();
    Window w;
    w.CreateCocoaWindow(int(300 * s), int(200 * s), kLUiWindowTitled, false, nullptr);
    AddControl(w, 1, LUiRect { 20, 20, 100, 50 });
    AddControl(w, 2, LUiRect { 60, 40, 100, 50 }); // over the first from (60, 40) to (120, 70)
    LMouseClickRegions regions;
    regions.MouseHandlerInit(w);
    regions.AddMouseClickControl(1, 101, 201);
    regions.AddMouseClickControl(2, 102, 202);
    regions.AddMouseClickControl(99, 109, 209); // no such control: skipped
    EXPECT_EQ(regions.RegionCount(), 2u);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    LView* content = w.GetContentView();
    auto posted = [&](int id) {
        uitest::Pump(30);
        return w.Count(id);
    };

    // The region added last gets a click where both lie.
    ASSERT_TRUE(uitest::XClick(w.GetNativeWindow(), 80, 50));
    uitest::PumpUntil([&] { return w.Count(102) > 0; });
    EXPECT_EQ(posted(102), 1);
    EXPECT_EQ(posted(101), 0);
    // Right and bottom edges lie outside.
    uitest::SendButton(content, 160, 60, 1, true);
    uitest::SendButton(content, 160, 60, 1, false);
    uitest::SendButton(content, 100, 90, 1, true);
    uitest::SendButton(content, 100, 90, 1, false);
    EXPECT_EQ(posted(102), 1);
    uitest::SendButton(content, 159.5, 89.5, 1, true);
    uitest::SendButton(content, 159.5, 89.5, 1, false);
    EXPECT_EQ(posted(102), 2);

    // Hover: once per entry, whatever the moves; the pointer over a region, the arrow after.
    uitest::SendMotion(content, 250, 150, 0); // out of every region first
    unsigned long cursors = LUiCursorSetCount();
    int entered = posted(201);
    for (double x = 25; x < 55; x += 5)
        uitest::SendMotion(content, x, 25, 0);
    EXPECT_EQ(posted(201), entered + 1);
    EXPECT_EQ(regions.LastHovered(), 1);
    EXPECT_GT(LUiCursorSetCount(), cursors);
    int before = posted(202); // the real click's pointer may have entered it already
    uitest::SendMotion(content, 80, 50, 0); // into the second, on top
    uitest::SendMotion(content, 85, 55, 0);
    EXPECT_EQ(posted(202), before + 1);
    cursors = LUiCursorSetCount();
    uitest::SendMotion(content, 250, 150, 0);
    EXPECT_FALSE(regions.IsOverRegion());
    EXPECT_EQ(regions.LastHovered(), 0);
    EXPECT_EQ(LUiCursorSetCount(), cursors + 1);
    uitest::SendMotion(content, 30, 30, 0);
    EXPECT_EQ(posted(201), entered + 2);
    regions.MouseHandlerDestroy();
    w.DestroyCommon();
}

TEST_F(MouseTest, MousePositionAndTipRectangle)
{
    Window w;
    w.CreateCocoaWindow(200, 100, kLUiWindowTitled, false, nullptr);
    LRectangle r(-1, -1, -1, -1);
    LMouseGetRect(r, w.GetContentView()); // not on the screen yet: nothing written
    EXPECT_EQ(r, LRectangle(-1, -1, -1, -1));
    LMouseGetRect(r, nullptr);
    LPoint p;
    LMouseGetPosition(p);
    EXPECT_EQ(r.left, p.x);
    EXPECT_EQ(r.GetWidth(), 11);
    EXPECT_EQ(r.GetHeight(), 17);
    w.DestroyCommon();
}
