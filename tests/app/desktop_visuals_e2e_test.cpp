// Dialogs and panels on a display where another GTK 3 program has run: GTK keeps the visuals its
// OpenGL set-up chose in the root window's GDK_VISUALS (32-bit INTEGERs: the system visual, then
// the one with alpha), and every later GTK program takes them from there. The built `vorantel`
// under openbox, first without the property, then with it, then with it under xcompmgr where that
// is installed: "Vorantel Inställningar", "Läs in projekt", "Spara projekt", "Välj bilder" and the
// main window's first menu. Judged as a person sees them, by the screen's pixels (the root
// window's) where each dialog stands, which are to be as bright as without the property; and no
// window of the screen stands on a visual or colormap of its own beside its window manager's
// frame of the screen's visual (windows with alpha under a compositing manager aside).
// Screenshots go to <build>/test-artefacts.
// VT_WINDOW_MANAGER: the run under openbox is the one that tests (the plain run skips).
// VT_ALSO_SCALED: runs again at a backing scale of 2 (under openbox, on a screen of twice the
// pixels).
#include "support/E2eSession.h"
#include "support/OwnScreen.h"
#include "support/ScreenShots.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <iostream>
#include <map>
#include <sstream>

using namespace e2e;

namespace {

const char* const kShots = "test-artefacts";

int Scale()
{
    const char* s = std::getenv("GDK_SCALE");
    return s && std::atoi(s) > 1 ? std::atoi(s) : 1;
}

// The screen's visuals as xdpyinfo lists them: id -> "<class> <depth>"; the default one's id.
std::map<std::string, std::string> Visuals(std::string& defaultId)
{
    std::map<std::string, std::string> visuals;
    std::istringstream in(Shell("timeout 10 xdpyinfo 2>/dev/null"));
    std::string line, id, cls;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string a, b, value;
        words >> a >> b >> value;
        if (a == "default" && b == "visual")
            words >> defaultId; // "default visual id:  0x21"
        else if (a == "visual" && b == "id:")
            id = value;
        else if (a == "class:")
            cls = b;
        else if (a == "depth:" && !id.empty())
            visuals[id] = cls + " " + b;
    }
    return visuals;
}

// Sets GDK_VISUALS as a GTK program that set up OpenGL leaves it: a TrueColor visual of depth 24
// other than the root's (the GL driver's choice is one of those), and one of depth 32. False when
// the screen has none.
bool SetGdkVisuals()
{
    std::string root;
    std::string system, alpha;
    for (const auto& [id, what] : Visuals(root)) {
        if (id != root && what == "TrueColor 24")
            system = id;
        if (alpha.empty() && what == "TrueColor 32")
            alpha = id;
    }
    if (system.empty() || alpha.empty())
        return false;
    Shell("timeout 10 xprop -root -f GDK_VISUALS 32i -set GDK_VISUALS '"
        + std::to_string(std::stoul(system, nullptr, 16)) + ", "
        + std::to_string(std::stoul(alpha, nullptr, 16)) + "'");
    return Shell("timeout 10 xprop -root GDK_VISUALS").find("(INTEGER) = ") != std::string::npos;
}

// "Depth: 24 Visual: 0x21 Colormap: 0x20 Map State: IsViewable" of a window ("-root": of the
// root window), from xwininfo.
std::string VisualOf(const std::string& id)
{
    std::istringstream in(
        Shell("timeout 10 xwininfo " + (id == "-root" ? id : "-id " + id) + " 2>/dev/null"));
    std::string line, out;
    while (std::getline(in, line))
        for (const char* key : { "Visual:", "Colormap:", "Depth:", "Map State:" })
            if (size_t at = line.find(key); at != std::string::npos) {
                std::istringstream words(line.substr(at + std::strlen(key)));
                std::string word;
                words >> word;
                out += std::string(key) + " " + word + " ";
            }
    return out;
}

// The program's viewable windows (its top-level windows and pop-ups, of its class) that stand
// on another visual or colormap than the root window's, each "id name: visual"; "" when none
// does. Windows with alpha (depth 32) are left out, a compositing manager shows them, and so are
// windows only for input.
std::string WindowsOffTheScreenVisual()
{
    const std::string root = VisualOf("-root");
    const size_t from = root.find("Visual:");
    const std::string rootVisual = root.substr(from, root.find(" Map State:") - from);
    std::istringstream ids(Shell("timeout 10 xwininfo -root -tree 2>/dev/null | grep "
                                 "'(\"vorantel\"' | grep -o '^ *0x[0-9a-f]*'"));
    std::string id, odd;
    while (ids >> id) {
        const std::string v = VisualOf(id);
        if (v.find("IsViewable") != std::string::npos && v.find("Depth: 32") == std::string::npos
            && v.find("Depth: 0 ") == std::string::npos && v.find(rootVisual) == std::string::npos)
            odd += id + " " + Shell("xdotool getwindowname " + id + " 2>/dev/null") + ": " + v
                + "\n";
    }
    return odd;
}

// The mean brightness (0 to 1) of the screen's pixels where the window stands, inside its frame.
double Brightness(XServerView& x, unsigned long window)
{
    XRect r;
    if (!x.WindowRect(window, r))
        return -1;
    const std::vector<uint32_t> pixels = x.Pixels(r);
    if (pixels.empty())
        return -1;
    double sum = 0;
    for (uint32_t p : pixels)
        sum += double((p >> 16) & 0xFF) + double((p >> 8) & 0xFF) + double(p & 0xFF);
    return sum / (3.0 * 255.0 * double(pixels.size()));
}

unsigned long WindowNamed(const std::string& name)
{
    const std::string id = Shell("xdotool search --onlyvisible --name " + Quote("^" + name + "$")
        + " 2>/dev/null | head -1");
    return id.empty() ? 0 : std::stoul(id);
}

// xcompmgr running while the object lives.
struct Compositor {
    Compositor()
    {
        const std::string id = Shell("xcompmgr >/dev/null 2>&1 & echo $!");
        pid = id.empty() ? 0 : std::stoi(id);
    }
    ~Compositor()
    {
        if (pid <= 0)
            return;
        ::kill(pid, SIGTERM);
        WaitFor([&] { return ::kill(pid, 0) != 0; }, 5000);
    }
    int pid = 0;
};

class DesktopVisuals : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HasTools() || !x.Ok())
            GTEST_SKIP() << "no display, xdotool, import or Xlib";
        s.Set("HOME", s.dir); // the panels open in the test's folder
    }
    void TearDown() override
    {
        program.reset();
        Shell("timeout 10 xprop -root -remove GDK_VISUALS 2>/dev/null");
    }

    // Starts the program on the project and opens the dialogs one after the other: their
    // brightness on the screen by title; the windows off the screen's visual meanwhile are added
    // to odd. Screenshots are named after the run.
    std::map<std::string, double> Dialogs(const std::string& run, std::string& odd)
    {
        std::map<std::string, double> seen;
        const unsigned long xid = StartOn(project, program);
        EXPECT_NE(xid, 0u) << run;
        if (!xid)
            return seen;
        EXPECT_TRUE(WaitFile(s.rects));
        WaitFor([&] { return Rectangles(s.rects).count("tool-1021") > 0; }, 5000, 100);
        const auto look = [&](const std::string& title) {
            EXPECT_TRUE(WaitWindowNamed(title)) << run << ": " << title;
            const unsigned long dialog = WindowNamed(title);
            // Once it has painted and come to rest (the screen's pixels may lag behind).
            x.WaitSettled(dialog, 300, 8000);
            double b = -1;
            WaitFor([&] { return (b = Brightness(x, dialog)) > 0.5; }, 3000, 50);
            seen[title] = b;
            ScreenShot(run + "-" + title, kShots);
            odd += WindowsOffTheScreenVisual();
            Keys("Escape");
            EXPECT_TRUE(WaitFor([&] { return !WindowShows(title); }, 5000, 50)) << title;
        };
        KeysTo(xid, "ctrl+shift+o");
        look("Vorantel Inställningar");
        KeysTo(xid, "ctrl+o");
        look("Läs in projekt");
        KeysTo(xid, "ctrl+shift+s");
        look("Spara projekt");
        Drive(xid, ClickWords(Rectangles(s.rects)["tool-1021"]));
        look("Välj bilder");
        // A pop-up: the menu bar's first menu.
        KeysTo(xid, "F10");
        odd += WindowsOffTheScreenVisual();
        Keys("Escape Escape");
        KeysTo(xid, "ctrl+q");
        EXPECT_EQ(program->Wait(10000), 0) << run;
        program.reset();
        return seen;
    }

    XServerView x;
    Session s;
    std::unique_ptr<Program> program;
    std::string project = SaveSample(s.dir + "/skiva.vtproj");
};

TEST_F(DesktopVisuals, DialogsReachTheScreenWholeWhateverVisualsGdkTookOver)
{
    if (!WindowManagerRuns()) {
        if (Scale() == 1)
            GTEST_SKIP() << "tested under openbox (the run of the window manager's variant)";
        if (!ownscreen::RunOnScreen("2560x2048", "VT_WINDOW_MANAGER=1"))
            return;
    }
    std::string odd;
    const auto plain = Dialogs("plain", odd);
    ASSERT_EQ(plain.size(), 4u);
    for (const auto& [title, b] : plain)
        EXPECT_GT(b, 0.5) << "without GDK_VISUALS: " << title;
    EXPECT_EQ(odd, "");

    ASSERT_TRUE(SetGdkVisuals()) << "no second TrueColor visual of the root's depth";
    std::unique_ptr<Compositor> compositor;
    for (const std::string run : { "gdk-visuals", "gdk-visuals-xcompmgr" }) {
        if (run != "gdk-visuals") {
            if (Shell("command -v xcompmgr").empty())
                break; // scripts/setup.sh --tests installs it
            compositor = std::make_unique<Compositor>();
            ASSERT_TRUE(WaitFor([&] { return x.SelectionOwned("_NET_WM_CM_S0"); }, 5000, 20));
        }
        std::string oddHere;
        const auto seen = Dialogs(run, oddHere);
        for (const auto& [title, b] : plain) {
            const double now = seen.count(title) ? seen.at(title) : -1;
            std::cout << run << ": " << title << " " << now << " (without GDK_VISUALS " << b
                      << ")\n";
            EXPECT_GT(now, 0.8 * b) << run << ": " << title;
        }
        EXPECT_EQ(oddHere, "") << run << ": windows on another visual than the screen's";
    }
}

} // namespace
