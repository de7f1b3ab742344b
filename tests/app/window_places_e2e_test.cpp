// Where the built `vorantel` puts its windows on the desktop a person has, each test on an X
// server of its own:
// - two monitors side by side (Xorg's dummy video driver, xrandr) under openbox: the main window
//   moved onto the second monitor comes back there at the next start, and onto the first one
//   once the second monitor is gone;
// - a low screen of 1280 x 800 under xfwm4, which does not fit windows to the screen itself: the
//   file panels "Läs in projekt" and "Spara projekt" lie inside the work area with their frame.
// Places come from the X server; screenshots go to <build>/test-artefacts/window-places.
// VT_ALSO_SCALED: runs again at a backing scale of 2, on a screen of twice the pixels.
#include "lfw/gen/LUserSettings.h"
#include "support/E2eSession.h"
#include "support/OwnScreen.h"
#include "support/XServerView.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

using namespace e2e;

namespace {

int Scale()
{
    const char* s = std::getenv("GDK_SCALE");
    return s && std::atoi(s) > 1 ? std::atoi(s) : 1;
}

std::string Size(int width, int height)
{
    return std::to_string(width * Scale()) + "x" + std::to_string(height * Scale());
}

std::string Text(const XRect& r)
{
    std::ostringstream s;
    s << r.width << "x" << r.height << "+" << r.x << "+" << r.y;
    return s.str();
}

unsigned long WindowNamed(const std::string& name)
{
    const std::string id = Shell("xdotool search --onlyvisible --name " + Quote("^" + name + "$")
        + " 2>/dev/null | head -1");
    return id.empty() ? 0 : std::stoul(id);
}

class WindowPlaces : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HasTools() || !x.Ok())
            GTEST_SKIP() << "no display, xdotool, import or Xlib";
        s.Set("HOME", s.dir); // the panels open in the test's folder
    }

    unsigned long Start()
    {
        program = std::make_unique<Program>(std::vector<std::string> { project });
        const unsigned long xid = WaitMainWindow(20000);
        if (xid)
            x.WaitSettled(xid, 300, 10000);
        return xid;
    }

    void Quit(unsigned long xid)
    {
        EXPECT_EQ(QuitWithoutSaving(*program, s.rects, xid), 0);
        program.reset();
    }

    // The window with its frame once its place has stayed the same for 300 ms.
    XRect Settled(unsigned long xid) { return x.RestingRect(xid, true); }

    // The monitors as xrandr lists them: "WxH+X+Y" each, in device pixels.
    std::vector<XRect> Monitors()
    {
        std::vector<XRect> list;
        std::istringstream in(Shell("timeout 5 xrandr --listmonitors 2>/dev/null | tail -n +2 | "
                                    "sed -E 's|.* ([0-9]+)/[0-9]+x([0-9]+)/[0-9]+\\+([0-9]+)\\+"
                                    "([0-9]+) .*|\\1 \\2 \\3 \\4|'"));
        XRect r;
        while (in >> r.width >> r.height >> r.x >> r.y)
            list.push_back(r);
        return list;
    }

    int MonitorOf(const XRect& r) { return AreaHoldingMiddle(Monitors(), r); }

    XServerView x;
    Session s;
    std::unique_ptr<Program> program;
    std::string project = SaveSample(s.dir + "/skiva.vtproj");
};

} // namespace

TEST_F(WindowPlaces, MainWindowComesBackOnItsMonitor)
{
    if (!ownscreen::RunOnScreen(
            Size(1024, 768), ownscreen::kTwoMonitors + " " + ownscreen::kOpenbox))
        return;
    std::vector<XRect> monitors = Monitors();
    ASSERT_EQ(monitors.size(), 2u);
    const XRect second = monitors[0].x == 0 ? monitors[1] : monitors[0];
    // A window smaller than the monitor, moved onto the second one as a person drags it there.
    LUserSettingSetString("MainWindow", "Width", std::to_string(760 * Scale()).c_str());
    LUserSettingSetString("MainWindow", "Height", std::to_string(500 * Scale()).c_str());
    unsigned long xid = Start();
    ASSERT_NE(xid, 0u);
    Shell("timeout 10 xdotool windowmove --sync " + std::to_string(xid) + " "
        + std::to_string(second.x + 60 * Scale()) + " " + std::to_string(40 * Scale())
        + " 2>/dev/null");
    const XRect moved = Settled(xid);
    ASSERT_EQ(monitors[size_t(MonitorOf(moved))].x, second.x) << Text(moved);
    Quit(xid);

    xid = Start();
    ASSERT_NE(xid, 0u);
    const XRect again = Settled(xid);
    SaveScreenPng(x, x.Screen(), "window-places-main-window-again");
    const int monitor = MonitorOf(again);
    ASSERT_GE(monitor, 0) << Text(again);
    EXPECT_EQ(monitors[size_t(monitor)].x, second.x)
        << "moved to " << Text(moved) << ", started again at " << Text(again);
    EXPECT_LE(std::abs(again.x - moved.x), 2 * Scale()) << Text(moved) << " " << Text(again);
    EXPECT_LE(std::abs(again.y - moved.y), 2 * Scale()) << Text(moved) << " " << Text(again);
    std::printf("moved to %s, started again at %s (monitor at x %d)\n", Text(moved).c_str(),
        Text(again).c_str(), monitors[size_t(std::max(monitor, 0))].x);
    Quit(xid);

    // The second monitor gone: the window comes on the one there is, whole.
    const std::string off = monitors[0].x == 0 ? "DUMMY1" : "DUMMY0";
    Shell("timeout 10 xrandr --output " + off + " --off 2>/dev/null");
    ASSERT_TRUE(WaitFor([&] { return Monitors().size() == 1; }, 5000, 50));
    xid = Start();
    ASSERT_NE(xid, 0u);
    const XRect alone = Settled(xid);
    const XRect work = x.WorkArea();
    EXPECT_TRUE(alone.Inside(work)) << Text(alone) << " in " << Text(work);
    std::printf("with one monitor %s: started at %s\n", Text(work).c_str(), Text(alone).c_str());
    Quit(xid);
}

TEST_F(WindowPlaces, FilePanelsFitTheWorkAreaUnderXfwm4)
{
    if (!ownscreen::RunOnScreen(Size(1280, 800), ownscreen::kXfwm4))
        return;
    ASSERT_TRUE(WindowManagerRuns()) << "xfwm4 did not start";
    const unsigned long xid = Start();
    ASSERT_NE(xid, 0u);
    const XRect work = x.WorkArea();
    for (const auto& [keys, title] :
        { std::pair<const char*, const char*> { "ctrl+o", "Läs in projekt" },
            { "ctrl+shift+s", "Spara projekt" } }) {
        KeysTo(xid, keys);
        ASSERT_TRUE(WaitWindowNamed(title)) << title;
        const unsigned long panel = WindowNamed(title);
        x.WaitSettled(panel, 300, 8000);
        const XRect frame = Settled(panel);
        SaveScreenPng(x, x.Screen(), std::string("window-places-xfwm4-") + keys);
        EXPECT_TRUE(frame.Inside(work)) << title << " " << Text(frame) << " in " << Text(work);
        std::printf("%s under xfwm4: %s in the work area %s\n", title, Text(frame).c_str(),
            Text(work).c_str());
        Keys("Escape");
        EXPECT_TRUE(WaitFor([&] { return !WindowShows(title); }, 5000, 50)) << title;
    }
    Quit(xid);
}
