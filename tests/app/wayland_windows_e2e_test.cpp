// Windows under Wayland, where the compositor places every window and a client cannot move one:
// the built `vorantel` (GDK_BACKEND=wayland) on weston at 1280 x 720 points and a scale of 1 and
// of 2, driven with real keys. Weston runs on the test's own X server through its X11 back end (its
// headless back end has no seat: no key or click would reach the program), so that xdotool
// types into it and the screen can be read. Where each window stands comes from weston itself
// (weston-debug's scene graph, the window without its shadow); the places of the controls from
// the program's rectangle file. Screenshots go to <build>/test-artefacts.
#include "support/E2eSession.h"

// After the session: Xlib's macros would break the framework's names.
#include "support/DialogRectangles.h"
#include "support/OwnScreen.h"
#include "support/XServerView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>

using namespace e2e;

namespace {

constexpr int kPoints[2] = { 1280, 720 };

std::string Text(const XRect& r)
{
    std::ostringstream s;
    s << r.width << "x" << r.height << "+" << r.x << "+" << r.y;
    return s.str();
}

// The rectangle after the key in a line of weston's scene graph ("position: (x1, y1) -> (x2, y2)").
bool SceneRect(const std::string& line, const char* key, XRect& r)
{
    const size_t at = line.find(key);
    int x1, y1, x2, y2;
    if (at == std::string::npos
        || std::sscanf(
               line.c_str() + at + std::strlen(key), " (%d, %d) -> (%d, %d)", &x1, &y1, &x2, &y2)
            != 4)
        return false;
    r = XRect { x1, y1, x2 - x1, y2 - y1 };
    return true;
}

// A top-level window as weston's scene graph has it (points of the compositor's space): its
// surface and the part of it that is the window (GTK's shadow left out).
struct View {
    XRect surface;
    XRect window;
};

// The scale of weston's output.
class WaylandWindows : public ::testing::TestWithParam<int> {
protected:
    const int scale = GetParam();

    // The test again on an X server of the size of weston's window at the scale; true there.
    bool OnOwnScreen()
    {
        return ownscreen::RunOnScreen(
            std::to_string(kPoints[0] * scale) + "x" + std::to_string(kPoints[1] * scale));
    }

    void SetUp() override
    {
        if (Shell("command -v weston").empty() || Shell("command -v weston-debug").empty())
            GTEST_SKIP() << "weston is not installed (scripts/setup.sh --tests installs it)";
        if (!HasTools() || !x.Ok())
            GTEST_SKIP() << "no display, xdotool, import or Xlib";
    }

    void TearDown() override
    {
        program.reset();
        if (weston > 0) {
            Shell("kill " + std::to_string(weston) + " 2>/dev/null; sleep 0.2");
            Shell("kill -9 " + std::to_string(weston) + " 2>/dev/null");
        }
    }

    // Starts weston on the X server, the size and scale above, with its debug streams (the
    // scene graph) open; true once its socket is there.
    bool StartWeston()
    {
        const std::string socket = "vt-weston-" + std::to_string(getpid());
        const std::string out = Shell("weston --backend=x11-backend.so --width="
            + std::to_string(kPoints[0]) + " --height=" + std::to_string(kPoints[1]) + " --scale="
            + std::to_string(scale) + " --use-pixman --debug --idle-time=0 --socket=" + socket
            + " >" + Quote(s.dir + "/weston.log") + " 2>&1 & echo $!");
        weston = std::atoi(out.c_str());
        const std::string path = std::string(std::getenv("XDG_RUNTIME_DIR")) + "/" + socket;
        if (!WaitFor([&] { return Exists(path); }, 15000, 50))
            return false;
        s.Set("WAYLAND_DISPLAY", socket);
        s.Set("GDK_BACKEND", "wayland");
        // Its shell's panel comes a moment after the socket; until then the work area is the
        // whole screen, and a window placed then may stand where the panel comes.
        if (!WaitFor(
                [&] {
                    return Shell("timeout 5 weston-debug scene-graph 2>/dev/null")
                               .find("panel for output")
                        != std::string::npos;
                },
                15000, 50))
            return false;
        // The keys go to weston's window (which hands them to its focused window). Weston
        // follows the X pointer by its moves only (it learns where it is when the pointer enters
        // its window, and here the pointer is already inside): a move from the far corner to
        // the near one takes its pointer to the near corner whatever it stood on, after which
        // both are in step. The pointer then rests in the far corner. (Weston names its window
        // in UTF-8 only, which xdotool's search by name does not read: it is found by class.)
        const std::string find = "xdotool search --class '^Weston Compositor$'";
        WaitFor([&] { return !Shell(find + " 2>/dev/null").empty(); }, 10000, 50);
        Shell(find + " windowfocus --sync mousemove " + std::to_string(kPoints[0] * scale - 1) + " "
            + std::to_string(kPoints[1] * scale - 1) + " mousemove 0 0 mousemove --sync "
            + std::to_string(kPoints[0] * scale - 20) + " "
            + std::to_string(kPoints[1] * scale - 20) + " 2>/dev/null");
        return true;
    }

    // The shown top-level windows by their titles.
    std::map<std::string, View> Views()
    {
        std::map<std::string, View> out;
        std::istringstream in(Shell("timeout 5 weston-debug scene-graph 2>/dev/null"));
        std::string line, title;
        while (std::getline(in, line)) {
            const size_t at = line.find("top-level window '");
            if (at != std::string::npos) {
                const size_t from = at + 18;
                title = line.substr(from, line.find("' of ", from) - from);
                continue;
            }
            if (title.empty())
                continue;
            if (SceneRect(line, "position:", out[title].surface))
                out[title].window = out[title].surface;
            else if (SceneRect(line, "[opaque:", out[title].window))
                title.clear();
        }
        return out;
    }

    // The window with the title once it shows and has kept its place and size for half a
    // second.
    bool Settled(const std::string& title, View& view)
    {
        View last {};
        auto since = Clock::now();
        return WaitFor(
            [&] {
                auto views = Views();
                if (!views.count(title))
                    return false;
                view = views[title];
                if (Text(view.window) != Text(last.window)) {
                    last = view;
                    since = Clock::now();
                }
                return Clock::now() - since >= std::chrono::milliseconds(500);
            },
            20000, 100);
    }

    // The surface of the menu that shows (the program's pop-up in weston's scene); false when
    // none does.
    bool Popup(XRect& r)
    {
        std::istringstream in(Shell("timeout 5 weston-debug scene-graph 2>/dev/null"));
        std::string line;
        bool popup = false;
        while (std::getline(in, line)) {
            if (line.find("role xdg_popup") != std::string::npos)
                popup = true;
            else if (popup && SceneRect(line, "position:", r))
                return true;
        }
        return false;
    }

    // The screen's pixels (of weston's window on the X server) of what of a rectangle in points
    // is on the screen.
    std::vector<uint32_t> Pixels(const XRect& r)
    {
        const int left = std::max(r.x, 0), top = std::max(r.y, 0);
        const int right = std::min(r.Right(), kPoints[0]),
                  bottom = std::min(r.Bottom(), kPoints[1]);
        if (right <= left || bottom <= top)
            return {};
        return x.Pixels(
            XRect { left * scale, top * scale, (right - left) * scale, (bottom - top) * scale });
    }

    // What of the window stands outside the compositor's screen less its panel at the top.
    std::string Outside(const View& v)
    {
        const XRect area { 0, panel, kPoints[0], kPoints[1] - panel };
        return v.window.Inside(area) ? "" : "window " + Text(v.window) + " outside " + Text(area);
    }

    void Shoot(const std::string& name) { SaveScreenPng(x, x.Screen(), "wayland-" + name); }

    Session s;
    XServerView x;
    std::unique_ptr<Program> program;
    int weston = 0;
    int panel = 32; // the height of weston's panel (its shell's default)
};

} // namespace

// "Om Vorantel" shows whole on the screen on each of its tabs: opened from the first menu, the
// licence terms (a far larger box) shown with Ctrl+Page_Down, the first tab again, the licence
// terms again. Then "Välj etikettlayout" (Ctrl+N) shows whole with all its buttons, and the
// options sheet on both its tabs.
TEST_P(WaylandWindows, DialogsStayWholeOnTheScreen)
{
    if (!OnOwnScreen())
        return;
    ASSERT_TRUE(StartWeston()) << TemporaryFolder::ReadFile(s.dir + "/weston.log");
    program = std::make_unique<Program>(
        std::vector<std::string> { "-new", "cd" }, s.Capture("vorantel"));
    View main;
    ASSERT_TRUE(Settled(kCaption + " - Namnlöst.vtproj", main))
        << TemporaryFolder::ReadFile(s.dir + "/vorantel.err");
    // Its parts laid out, it takes keys once clicked on its status bar (where a click does
    // nothing else).
    ASSERT_TRUE(
        WaitFor([&] { return Rectangles<XRect>(s.rects).count("canvas") == 1; }, 15000, 100));
    auto clickMain = [&] {
        Shell("xdotool "
            + MoveWords((main.window.x + main.window.width / 2) * scale,
                (main.window.Bottom() - 12) * scale)
            + "click 1 2>/dev/null");
    };
    // The first menu by F10, once it shows (a pop-up of the program's in weston's scene). A key
    // given while the window has only just come is at times lost on a busy machine: then the
    // click and the key are given again.
    auto menuShows = [] {
        return Shell("timeout 5 weston-debug scene-graph 2>/dev/null").find("role xdg_popup")
            != std::string::npos;
    };
    bool menu = false;
    for (int i = 0; i < 3 && !menu; ++i) {
        Settled(kCaption + " - Namnlöst.vtproj", main);
        clickMain();
        Keys("F10");
        menu = WaitFor(menuShows, 3000, 50);
    }
    ASSERT_TRUE(menu);
    Keys("Down Return");
    View about;
    const bool shown = Settled("Om Vorantel", about);
    Shoot("about-opened");
    ASSERT_TRUE(shown);
    EXPECT_EQ(Outside(about), "") << "Om";
    Shoot("about");
    const XRect small = about.window;
    for (const char* keys : { "ctrl+Page_Down", "ctrl+Page_Up", "ctrl+Page_Down" }) {
        Keys(keys);
        const bool terms = std::string(keys) == "ctrl+Page_Down";
        // The page shows once the box has its size (the terms' is larger).
        WaitFor(
            [&] {
                return Settled("Om Vorantel", about)
                    && (about.window.height > small.height) == terms;
            },
            10000, 100);
        EXPECT_EQ(about.window.height > small.height, terms) << keys << ": " << Text(about.window);
        EXPECT_EQ(Outside(about), "") << keys;
        Shoot(std::string("about-") + (terms ? "terms" : "about"));
    }
    std::cout << "Om Vorantel, Licensvillkor: " << Text(about.window)
              << " points (with its title bar)" << std::endl;
    Keys("Escape");
    ASSERT_TRUE(WaitFor([&] { return !Views().count("Om Vorantel"); }, 5000, 100));

    unlink((s.rects + ".dialog").c_str());
    clickMain();
    Keys("ctrl+n");
    View select;
    ASSERT_TRUE(Settled("Välj etikettlayout", select));
    // Its controls' places, written once it is laid out (no X window: window 0).
    ASSERT_TRUE(WaitFor(
        [&] {
            return TemporaryFolder::ReadFile(s.rects + ".dialog")
                       .rfind("title Välj etikettlayout", 0)
                == 0
                && DialogEntries(s.rects, 0, "client").size() == 1;
        },
        10000, 100));
    Shoot("select-layout");
    EXPECT_EQ(Outside(select), "");
    std::cout << "Välj etikettlayout: " << Text(select.window) << " points (with its title bar)"
              << std::endl;
    // Every control inside the client area, "Ladda anpassad..." with the border drawn around it.
    const auto entries = DialogEntries(s.rects, 0, "client");
    ASSERT_EQ(entries.size(), 1u);
    const XRect client { 0, 0, entries[0].second.width, entries[0].second.height };
    for (const auto& [id, r] : DialogControls(s.rects, 0))
        EXPECT_TRUE(r.Inside(client))
            << "control " << id << " " << Text(r) << " in " << Text(client);
    const auto controls = DialogControls(s.rects, 0);
    ASSERT_EQ(controls.count(1009), 1u);
    EXPECT_LE(controls.at(1009).Bottom() + 2 * scale, client.height)
        << "Ladda anpassad... " << Text(controls.at(1009)) << " in " << Text(client);
    Keys("Escape");
    ASSERT_TRUE(WaitFor([&] { return !Views().count("Välj etikettlayout"); }, 5000, 100));

    // The options: the background page is lower than the general one, which then grows again.
    clickMain();
    Keys("ctrl+shift+o");
    View options;
    ASSERT_TRUE(Settled("Vorantel Inställningar", options));
    EXPECT_EQ(Outside(options), "") << "De allmänna";
    for (const char* keys : { "ctrl+Page_Down", "ctrl+Page_Up" }) {
        const int before = options.window.height;
        Keys(keys);
        // The page shows once the sheet has its size.
        WaitFor(
            [&] { return Views()["Vorantel Inställningar"].window.height != before; }, 5000, 100);
        ASSERT_TRUE(Settled("Vorantel Inställningar", options));
        EXPECT_EQ(Outside(options), "") << keys;
    }
    Shoot("options");
    Keys("Escape");
}

// The text panel's "Teckensnitt", a list of every font (far more than the screen holds), with the
// keyboard: a new text takes it in the panel's field, Ctrl+Tab goes on to the list. Space,
// Return, the keypad's Enter and Alt+Down each open its menu, no taller than the screen and
// inside it, at the current font (highlighted where it shows); Escape closes it. The main window,
// made as large as the screen holds, stands inside it below weston's panel.
TEST_P(WaylandWindows, FontListOpensByKeysAtTheCurrentFontWithinTheScreen)
{
    if (!OnOwnScreen())
        return;
    ASSERT_TRUE(StartWeston()) << TemporaryFolder::ReadFile(s.dir + "/weston.log");
    program = std::make_unique<Program>(
        std::vector<std::string> { "-new", "cd", "-addtext", s.Write("text.txt", "Hej") },
        s.Capture("vorantel"));
    View main;
    ASSERT_TRUE(Settled(kCaption + " - Namnlöst.vtproj", main))
        << TemporaryFolder::ReadFile(s.dir + "/vorantel.err");
    EXPECT_EQ(Outside(main), "") << "the main window";
    std::cout << "main window: " << Text(main.window) << " points on " << kPoints[0] << "x"
              << kPoints[1] << " at a scale of " << scale << std::endl;
    // The text panel shows once its white text field does, in the window's right side.
    const XRect column { main.window.x + main.window.width * 2 / 3, main.window.y,
        main.window.width / 3, main.window.height };
    ASSERT_TRUE(WaitFor(
        [&] {
            const auto pixels = Pixels(column);
            return std::count(pixels.begin(), pixels.end(), 0xFFFFFFu) > 20000 * scale * scale;
        },
        20000, 100))
        << "no text panel";
    // Ctrl+Tab takes the keyboard from the text field to the list. Keys given while the window
    // has only just come are at times lost on a busy machine: Ctrl+Tab and the first key are
    // given again until the menu shows.
    const XRect screen { 0, 0, kPoints[0], kPoints[1] };
    bool first = true;
    for (const char* key : { "space", "Return", "KP_Enter", "alt+Down" }) {
        XRect menu;
        bool shown = false;
        for (int i = 0; i < (first ? 3 : 1) && !shown; ++i) {
            if (first)
                Keys("ctrl+Tab");
            Keys(key);
            shown = WaitFor([&] { return Popup(menu); }, first ? 3000 : 5000, 50);
        }
        first = false;
        if (!shown)
            Shoot(std::string("fonts-none-") + key);
        ASSERT_TRUE(shown) << key << " opened no menu";
        // The menu's surface comes before its size: the first time GTK measures every font's
        // item, which takes seconds at a scale of 2 on a busy machine.
        EXPECT_TRUE(
            WaitFor([&] { return Popup(menu) && menu.width > 0 && menu.height > 0; }, 30000, 50))
            << key << ": the menu got no size";
        // Its place once it has kept it for a moment; the current font highlighted on the screen
        // (GTK's colour of a selected item) once the menu is drawn there.
        XRect last {};
        WaitFor(
            [&] {
                const bool same = Popup(menu) && Text(menu) == Text(last);
                last = menu;
                return same;
            },
            3000, 200);
        std::cout << key << ": the fonts' menu " << Text(menu) << " points" << std::endl;
        EXPECT_TRUE(menu.Inside(screen)) << key << ": " << Text(menu);
        auto highlighted = [&] {
            const auto pixels = Pixels(menu);
            return std::count(pixels.begin(), pixels.end(), 0x3584E4u) > 1500 * scale * scale;
        };
        EXPECT_TRUE(WaitFor(highlighted, 3000, 50))
            << key << ": the current font is not highlighted on the screen";
        Shoot(std::string("fonts-") + key);
        Keys("Escape");
        EXPECT_TRUE(WaitFor([&] { return !Popup(menu); }, 5000, 50)) << key;
    }
}

INSTANTIATE_TEST_SUITE_P(Scales, WaylandWindows, ::testing::Values(1, 2));
