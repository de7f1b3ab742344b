// An old project of 300,000 text elements (a ".vtx" of 21 MB) opened through the whole program
// while another X client pings the main window every 20 ms (_NET_WM_PING, answered by the
// program's main loop): the window answers as it answers when idle, while the file is read and
// its overlays made under the progress window "Laddar projekt" (whose bar moves, and which
// Escape, its "Avbryt", stops) and while the design of 300,000 texts is painted; the process
// takes a bounded multiple of the file's size. Screenshots are kept in <build>/e2e-large-old-
// project. Runs under openbox too (VT_WINDOW_MANAGER), and at a backing scale of 2
// (VT_ALSO_SCALED), where the design is painted into a picture of twice the pixels.
#include "support/E2eSession.h"
#include "support/ProcessStatus.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

// After the test framework: Xlib's names would stand for numbers in its headers.
#include "support/XServerView.h"

using namespace e2e;

namespace {

const char* const kShots = "e2e-large-old-project";
constexpr int kElements = 300000;

std::string WriteOldProject(const std::string& path)
{
    std::ofstream out(path);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<vorantel_project type=\"cd\">\n"
        << "<container type=\"disc\">\n";
    for (int i = 0; i < kElements; ++i)
        out << "<element type=\"text\" x=\"" << i % 5000 << "\" y=\"" << i % 4000
            << "\" w=\"900\" h=\"400\" text=\"R" << i << "\"/>\n";
    out << "</container>\n</vorantel_project>\n";
    return path;
}

// Waits for cond as long as the process works: false once cond still does not hold after the
// process has taken less than a tenth of a processor over each of three whole seconds. A busy
// machine stretches the work, not the test's verdict; a program that has stopped working is not
// waited for.
bool WaitWhileWorking(pid_t pid, const std::function<bool()>& cond)
{
    long long before = CpuMs(pid);
    for (int quiet = 0; quiet < 3;) {
        if (WaitFor(cond, 1000, 50))
            return true;
        const long long now = CpuMs(pid);
        quiet = now >= 0 && now - before >= 100 ? 0 : quiet + 1;
        before = now;
    }
    return cond();
}

// The X window of the visible window of that title, 0 while there is none.
unsigned long WindowNamed(const std::string& title)
{
    const std::string id = Shell("xdotool search --onlyvisible --name " + Quote("^" + title + "$")
        + " 2>/dev/null" + " | head -n 1");
    return id.empty() ? 0 : std::stoul(id);
}

unsigned long WaitWindowId(const std::string& title)
{
    unsigned long id = 0;
    WaitFor([&] { return (id = WindowNamed(title)) != 0; }, 30000, 50);
    return id;
}

// The mean grey of a window as the display shows it, -1 when it cannot be read. The screen is
// read on a connection of its own, at once: a progress window shows only a second or two, and a
// tool started for each look takes much of that on a busy machine.
double MeanGrey(XServerView& screen, unsigned long window)
{
    const std::string area = window ? ScreenArea(window) : "";
    XRect r {};
    if (area.empty()
        || std::sscanf(area.c_str(), "%dx%d+%d+%d", &r.width, &r.height, &r.x, &r.y) != 4)
        return -1;
    const XRect all = screen.Screen();
    r.width = std::min(r.Right(), all.Right()) - std::max(r.x, all.x);
    r.height = std::min(r.Bottom(), all.Bottom()) - std::max(r.y, all.y);
    r.x = std::max(r.x, all.x);
    r.y = std::max(r.y, all.y);
    const std::vector<uint32_t> pixels = screen.Pixels(r);
    if (pixels.empty())
        return -1;
    double sum = 0;
    for (uint32_t p : pixels)
        sum += 0.2126 * (p >> 16 & 0xFF) + 0.7152 * (p >> 8 & 0xFF) + 0.0722 * (p & 0xFF);
    return sum / (255.0 * double(pixels.size()));
}

} // namespace

TEST(LargeOldProject, OpensWithTheWindowAnsweringAndCanBeStopped)
{
    if (!HasTools() || Shell("command -v import").empty())
        GTEST_SKIP() << "no display, xdotool or ImageMagick";
    Session s;
    const std::string path = WriteOldProject(s.dir + "/stor.vtx");
    const double megabytes = double(TemporaryFolder::ReadFile(path).size()) / (1 << 20);
    Program program({});
    const unsigned long xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    XServerView view;
    ASSERT_TRUE(view.Ok());
    // What the window answers when it has nothing to do, on this machine at this moment.
    const double idle = view.LongestPingWhile(
        xid, [] { Sleep(2000); }, 20);
    // A busy machine now and then keeps any program from running for some hundred ms; a window
    // that does the work on its own thread stops answering for the seconds the work takes.
    const long startKb = StatusKb(program.Pid(), "VmRSS");

    // "Avbryt" while the file is read: no project opens, and the window goes on.
    {
        Program open({ path }, s.Capture("stopped"));
        const unsigned long progress = WaitWindowId("Laddar projekt");
        ASSERT_NE(progress, 0u) << "no progress window";
        Shot("reading", kShots);
        Drive(progress, "key --clearmodifiers Escape");
        EXPECT_EQ(open.Wait(60000), 1);
        EXPECT_TRUE(WaitFor([] { return !WindowShows("Laddar projekt"); }, 30000, 100));
        EXPECT_EQ(Caption(xid), kCaption);
        // The sender is told; the window, whose user stopped it, says nothing.
        EXPECT_NE(open.Errors().find("Inläsningen avbröts."), std::string::npos) << open.Errors();
        EXPECT_EQ(AlertText(s.rects, 1000), "");
    }

    // The whole opening, and the painting of the design after it. The sender is answered once
    // the project is open, while the design is still being painted: from the moment the window
    // names the project, its answer comes in less than half the time the painting takes.
    std::vector<double> bar;
    int looks = 0;
    int opened = -2;
    long long shownMs = -1, answeredMs = -1, paintedMs = -1;
    const double longest = view.LongestPingWhile(
        xid,
        [&] {
            const Clock::time_point asked = Clock::now();
            Program open({ path });
            const unsigned long progress = WaitWindowId("Laddar projekt");
            if (!progress)
                return;
            // Its bar moves while the file is read and its overlays made.
            XServerView screen;
            WaitFor(
                [&] {
                    const double grey = MeanGrey(screen, progress);
                    looks += grey >= 0;
                    if (grey >= 0 && (bar.empty() || grey != bar.back()))
                        bar.push_back(grey);
                    return bar.size() >= 3 || !WindowShows("Laddar projekt");
                },
                60000, 100);
            // The project shows, and the later start is answered, while the window's program
            // works on it (however long a busy machine makes that).
            WaitWhileWorking(
                program.Pid(), [&] { return Caption(xid) == kCaption + " - stor.vtproj"; });
            const Clock::time_point shown = Clock::now();
            shownMs = Ms(shown - asked);
            WaitWhileWorking(program.Pid(), [&] { return open.Wait(0) != -1; });
            opened = open.Wait(0);
            answeredMs = Ms(Clock::now() - shown);
            // Quiet for a whole second once painted.
            WaitProcessQuiet(program.Pid(), 120000);
            paintedMs = Ms(Clock::now() - shown) - 1000;
        },
        20);
    // What the window answers when it has nothing to do once more: the machine's load may have
    // changed since the first measure, and the bound follows the larger.
    const double idleAfter = view.LongestPingWhile(
        xid, [] { Sleep(2000); }, 20);
    const double bound = std::max(4 * std::max(idle, idleAfter), 1000.0 * kSlowdown);
    Shot("opened", kShots);
    const double peakMb = double(StatusKb(program.Pid(), "VmHWM") - startKb) / 1024;
    std::printf(
        "longest answer idle %.0f ms before and %.0f ms after, while opening and painting "
        "%.0f ms; the bar showed %zu states in %d looks; %.0f MB more for a file of %.1f MB; the "
        "project showed %lld ms after it was asked for, the sender answered %lld ms and "
        "the design was painted some %lld ms after that\n",
        idle, idleAfter, longest, bar.size(), looks, peakMb, megabytes, shownMs, answeredMs,
        paintedMs);
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(Caption(xid), kCaption + " - stor.vtproj");
    // A quick machine may read the file before the window could be looked at a few times.
    if (looks >= 3) {
        EXPECT_GE(bar.size(), 2u) << "the bar stood still over " << looks << " looks";
    }
    EXPECT_LT(longest, bound);
    EXPECT_LT(2 * answeredMs, paintedMs) << "the sender waited for the painting";
    // Some ten bytes of memory for a byte of the file, not thirty.
    EXPECT_LT(peakMb, 15 * megabytes);
}
