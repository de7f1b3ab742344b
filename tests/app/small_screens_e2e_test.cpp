// Windows on small and low screens, as a person with a netbook or a rescaled desktop sees them:
// the built `vorantel` on an X server of its own whose screen is 1024 x 600 (2560 x 1440 with a
// backing scale of 2: fewer points still), the label-layout editor and every dialog the main
// window opens, on each of its tabs, lie inside the screen's work area with their buttons, and
// "Tillämpa" takes a click there; the main window keeps a smallest size of its own at which its
// toolbar, canvas and status bar show, without GTK's complaints; a start that reopens an
// autosaved project on a 1366 x 768 screen, its size stored on a larger one, shows the whole
// window. Places come from the window itself (VT_TEST_RECTANGLES_FILE), the windows' and the
// work area's from the X server; screenshots go to <build>/test-artefacts.
// VT_WINDOW_MANAGER: runs again under openbox, which frames, maximises and places the windows.
// VT_ALSO_SCALED: runs again at a backing scale of 2 (under openbox, on a screen of twice the
// pixels).
#include "lfw/gen/LUserSettings.h"
#include "support/DialogRectangles.h"
#include "support/E2eSession.h"
#include "support/OwnScreen.h"
#include "support/XServerView.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace e2e;

namespace {

constexpr int kOk = 0x6f6b2020; // 'ok  '
constexpr int kCancel = 0x6e6f7421; // 'not!'

int Scale()
{
    const char* s = std::getenv("GDK_SCALE");
    return s && std::atoi(s) > 1 ? std::atoi(s) : 1;
}

// The screen a test runs on: of that many points, at the backing scale, under openbox at a
// scale of 2 (the run of the window manager's variant has it already).
bool OnScreenOfPoints(int width, int height)
{
    const int s = Scale();
    return ownscreen::RunOnScreen(std::to_string(width * s) + "x" + std::to_string(height * s),
        s > 1 ? "VT_WINDOW_MANAGER=1" : "");
}

std::string Text(const XRect& r)
{
    std::ostringstream s;
    s << r.width << "x" << r.height << "+" << r.x << "+" << r.y;
    return s.str();
}

// Whether a tooltip shows on the screen (a window of the type the toolkit gives its tips).
bool TooltipShows()
{
    // Tips are windows of the screen's root that no window manager frames.
    std::istringstream ids(
        Shell("xwininfo -root -children 2>/dev/null | grep -o '^ *0x[0-9a-f]*'"));
    std::string id;
    while (ids >> id)
        if (Shell("xprop -id " + id + " _NET_WM_WINDOW_TYPE 2>/dev/null").find("TOOLTIP")
                != std::string::npos
            && Shell("xwininfo -id " + id + " 2>/dev/null").find("IsViewable") != std::string::npos)
            return true;
    return false;
}

class SmallScreens : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HasTools() || !x.Ok())
            GTEST_SKIP() << "no display, xdotool, import or Xlib";
    }

    // Starts the program; its main window once it has laid out its parts.
    unsigned long Start(const std::vector<std::string>& args, const std::string& part = "canvas")
    {
        unlink(s.rects.c_str());
        program = std::make_unique<Program>(args, s.Capture("vorantel"));
        const unsigned long xid = WaitMainWindow(20000);
        if (xid != 0 && !part.empty())
            WaitFor([&] { return Rectangles<XRect>(s.rects).count(part) == 1; }, 15000);
        return xid;
    }

    void Quit(unsigned long xid) { EXPECT_EQ(QuitWithoutSaving(*program, s.rects, xid), 0); }

    // The window on the screen once its size and place have come to rest.
    XRect Settled(unsigned long xid) { return x.RestingRect(xid); }

    // What of the window stands outside the work area ("" when nothing), with what a window
    // manager draws around it.
    std::string OutsideWorkArea(unsigned long xid)
    {
        XRect outer;
        if (!x.OuterFrame(xid, outer))
            return "no window";
        const XRect work = x.WorkArea();
        return outer.Inside(work) ? "" : "window " + Text(outer) + " in " + Text(work);
    }

    // The dialog's OK and Cancel on the screen and inside its window ("" when so, or when it has
    // neither).
    std::string ButtonsOutside(unsigned long xid)
    {
        XRect w;
        if (!x.WindowRect(xid, w))
            return "no window";
        std::ostringstream out;
        const XRect inside { 0, 0, w.width, w.height };
        for (const auto& [id, r] : DialogControls(s.rects, xid)) {
            if (id != kOk && id != kCancel)
                continue;
            const XRect onScreen { w.x + r.x, w.y + r.y, r.width, r.height };
            if (!r.Inside(inside) || !onScreen.Inside(x.Screen()))
                out << "button " << Text(onScreen) << " of the window " << Text(w) << "; ";
        }
        return out.str();
    }

    // The dialog with the title shows inside the work area with its buttons (waited for while
    // the window manager places it); a screenshot is kept.
    unsigned long ExpectFitted(const std::string& title, const std::string& shot)
    {
        unsigned long xid = 0;
        WaitFor(
            [&] {
                const std::string id = Shell("xdotool search --onlyvisible --name "
                    + Quote("^" + title + "$") + " 2>/dev/null | head -1");
                xid = id.empty() ? 0 : std::stoul(id);
                return xid != 0;
            },
            15000, 100);
        EXPECT_NE(xid, 0u) << "no dialog " << title;
        if (xid == 0)
            return 0;
        std::string wrong;
        WaitFor(
            [&] {
                Settled(xid);
                wrong = OutsideWorkArea(xid) + ButtonsOutside(xid);
                return wrong.empty();
            },
            5000, 100);
        SaveScreenPng(x, x.Screen(), "small-screen-" + shot);
        EXPECT_EQ(wrong, "") << title;
        return xid;
    }

    // Each further tab of the open dialog, clicked where it shows as a person does, shows inside
    // the work area with its buttons too (a screenshot of each is kept). The dialog has that many
    // tabs.
    void ExpectEachTabFitted(
        unsigned long xid, const std::string& title, const std::string& shot, size_t tabs)
    {
        if (xid == 0)
            return;
        std::map<int, XRect> shown;
        auto readTabs = [&] {
            return WaitFor(
                [&] {
                    shown = DialogTabs(s.rects, xid);
                    return shown.size() == tabs;
                },
                5000, 100);
        };
        ASSERT_TRUE(readTabs()) << title << ": " << shown.size() << " tabs show";
        const XRect screen = x.Screen();
        for (size_t tab = 1; tab < tabs; ++tab) {
            // The strip of tabs, in pixels of the window.
            XRect strip = shown.at(0);
            for (const auto& [index, r] : shown) {
                strip.width = std::max(strip.Right(), r.Right()) - std::min(strip.x, r.x);
                strip.x = std::min(strip.x, r.x);
                strip.height = std::max(strip.Bottom(), r.Bottom()) - std::min(strip.y, r.y);
                strip.y = std::min(strip.y, r.y);
            }
            auto stripPixels = [&] {
                XRect w;
                x.WindowRect(xid, w);
                return x.Pixels(XRect { w.x + strip.x, w.y + strip.y, strip.width, strip.height });
            };
            const std::vector<uint32_t> before = stripPixels();
            XRect w;
            ASSERT_TRUE(x.WindowRect(xid, w));
            const XRect r = shown.at(int(tab));
            // The pointer leaves the tabs after the click, so that none shows hovered.
            Shell("xdotool " + MoveWords(w.x + r.x + r.width / 2, w.y + r.y + r.height / 2)
                + "click 1 " + MoveWords(screen.Right() - 2, screen.Bottom() - 2) + " 2>/dev/null");
            // The tab shows selected: the strip is painted otherwise.
            EXPECT_TRUE(WaitFor([&] { return stripPixels() != before; }, 5000, 100))
                << title << ": tab " << tab + 1 << " did not show";
            ExpectFitted(title, shot + "-tab" + std::to_string(tab + 1));
            // A dialog that took another size has placed its tabs again.
            ASSERT_TRUE(readTabs()) << title << ": " << shown.size() << " tabs show";
        }
    }

    // Closes the dialog with Escape.
    void Dismiss(const std::string& title)
    {
        Keys("Escape");
        EXPECT_TRUE(WaitFor([&] { return !WindowShows(title); }, 5000, 100)) << title;
    }

    Session s;
    XServerView x;
    std::unique_ptr<Program> program;
};

} // namespace

// The label-layout editor shows whole, also maximised and when made as small as it goes, and
// "Tillämpa" takes a click where the editor shows it.
TEST_F(SmallScreens, LabelLayoutEditorFitsAndTakesTheClick)
{
    if (!(Scale() > 1 ? ownscreen::RunOnScreen("2560x1440", "VT_WINDOW_MANAGER=1")
                      : ownscreen::RunOnScreen("1024x600")))
        return;
    const unsigned long main = Start({ "-new", "cd" });
    ASSERT_NE(main, 0u);
    EXPECT_EQ(OutsideWorkArea(main), "");
    KeysTo(main, "ctrl+e");
    ASSERT_NE(AlertText(s.rects), "") << "no warning before the editor";
    Keys("Return");
    const unsigned long xid = ExpectFitted("Redigera etikettlayout", "editor");
    ASSERT_NE(xid, 0u);
    // A window manager maximises it, and keeps it at its smallest size when it is made smaller.
    if (x.HasWindowManager()) {
        EXPECT_TRUE(x.SetMaximized(xid, true));
        Settled(xid);
        EXPECT_EQ(OutsideWorkArea(xid), "") << "maximised";
        EXPECT_EQ(ButtonsOutside(xid), "") << "maximised";
        SaveScreenPng(x, x.Screen(), "small-screen-editor-maximised");
        x.SetMaximized(xid, false);
        Settled(xid);
        Shell("xdotool windowsize " + std::to_string(xid) + " 100 100 2>/dev/null");
        const XRect smallest = Settled(xid);
        EXPECT_EQ(OutsideWorkArea(xid), "") << "smallest";
        EXPECT_EQ(ButtonsOutside(xid), "") << "smallest";
        EXPECT_GT(smallest.width, 400 * Scale());
        SaveScreenPng(x, x.Screen(), "small-screen-editor-smallest");
    }
    // "Tillämpa" where it shows on the screen.
    XRect w;
    ASSERT_TRUE(x.WindowRect(xid, w));
    const auto controls = DialogControls(s.rects, xid);
    ASSERT_EQ(controls.count(kOk), 1u);
    const XRect ok = controls.at(kOk);
    Shell("xdotool " + MoveWords(w.x + ok.x + ok.width / 2, w.y + ok.y + ok.height / 2)
        + "click 1 2>/dev/null");
    EXPECT_TRUE(WaitFor([&] { return !WindowShows("Redigera etikettlayout"); }, 5000, 100))
        << "the click on Tillämpa at " << Text(ok) << " of " << Text(w) << " did not close it";
    Quit(main);
}

// Every dialog the main window opens, one after the other, lies inside the work area of a low
// screen with its buttons.
TEST_F(SmallScreens, EveryDialogOfTheMainWindowFits)
{
    if (!OnScreenOfPoints(1024, 600))
        return;
    // The first start shows the welcome dialog.
    LUserSettingSetString("Settings", "WelcomeDialogShow", "1");
    unsigned long main = Start({}, "");
    ASSERT_NE(main, 0u);
    // Where it comes to rest (placed and sized once shown).
    Settled(main);
    EXPECT_EQ(OutsideWorkArea(main), "");
    ExpectFitted("Välkommen till Vorantel", "welcome");
    Dismiss("Välkommen till Vorantel");
    LUserSettingSetString("Settings", "WelcomeDialogShow", "0");
    // A new project: the layouts to choose from, and from there the stationery.
    KeysTo(main, "ctrl+n");
    const unsigned long select = ExpectFitted("Välj etikettlayout", "select-layout");
    ASSERT_NE(select, 0u);
    const auto links = DialogControls(s.rects, select);
    XRect w;
    ASSERT_TRUE(x.WindowRect(select, w));
    // "Välj mallar...".
    constexpr int kStationery = 1007;
    ASSERT_EQ(links.count(kStationery), 1u);
    const XRect stationery = links.at(kStationery);
    Shell("xdotool "
        + MoveWords(
            w.x + stationery.x + stationery.width / 2, w.y + stationery.y + stationery.height / 2)
        + "click 1 2>/dev/null");
    ExpectFitted("Välj mallar", "stationery");
    Dismiss("Välj mallar");
    Dismiss("Välj etikettlayout");
    Quit(main);

    main = Start({ "-new", "cd" });
    ASSERT_NE(main, 0u);
    struct ByKeys {
        const char* keys;
        const char* title;
        const char* shot;
        size_t tabs;
    };
    for (const ByKeys& d : { ByKeys { "ctrl+p", "Förhandsgranska", "print-preview", 0 },
             ByKeys { "ctrl+shift+o", "Vorantel Inställningar", "options", 2 } }) {
        KeysTo(main, d.keys);
        ExpectEachTabFitted(ExpectFitted(d.title, d.shot), d.title, d.shot, d.tabs);
        Dismiss(d.title);
    }
    KeysTo(main, "ctrl+e");
    ASSERT_NE(AlertText(s.rects), "") << "no warning before the editor";
    Keys("Return");
    ExpectFitted("Redigera etikettlayout", "editor-from-keys");
    Dismiss("Redigera etikettlayout");
    for (const ByKeys& d : { ByKeys { "tool-1022", "ZOR Clipart-bibliotek", "clipart", 0 },
             ByKeys { "tool-1023", "ZOR-rambibliotek", "frames", 0 } }) {
        auto tool = Rectangles(s.rects)[d.keys];
        ASSERT_EQ(tool.size(), 4u) << d.keys;
        Drive(main, ClickWords(tool));
        ExpectEachTabFitted(ExpectFitted(d.title, d.shot), d.title, d.shot, d.tabs);
        Dismiss(d.title);
    }
    // "Om Vorantel", the first item of the first menu, which grows on "Licensvillkor" to show the
    // licence terms.
    KeysTo(main, "F10 Down Return");
    ExpectEachTabFitted(ExpectFitted("Om Vorantel", "about"), "Om Vorantel", "about", 2);
    Dismiss("Om Vorantel");
    // "ZOR-Paket", the last of the toolbar's items hidden behind its chevron at the right end.
    const auto parts = Rectangles<XRect>(s.rects);
    ASSERT_EQ(parts.count("tool-1005"), 1u);
    const XRect client = parts.at("client"), first = parts.at("tool-1005");
    Drive(main, MoveWords(client.Right() - 8 * Scale(), first.y + first.height / 2) + "click 1");
    Sleep(500);
    Keys("Up Return");
    // Its eight tabs of programs.
    ExpectEachTabFitted(ExpectFitted("ZOR-programpaket", "suite"), "ZOR-programpaket", "suite", 8);
    Dismiss("ZOR-programpaket");
    Quit(main);
}

// Made as small as the window manager lets it be, the main window stays at a size of its own, no
// larger than 640 x 480 points with its title bar (half of a 1366 x 768 screen holds it), at
// which the toolbar, the tabs of the designs, a canvas beside the panels and the status bar show
// and are used as at any other size: a tab shows its design, the toolbar's chevron its hidden
// items, the menus open. (Without a window manager nothing keeps a window from being made
// smaller: this runs under openbox always.)
TEST_F(SmallScreens, MainWindowKeepsItsSmallestSize)
{
    if (!ownscreen::RunOnScreen(
            std::to_string(1280 * Scale()) + "x" + std::to_string(1024 * Scale()),
            "VT_WINDOW_MANAGER=1"))
        return;
    ASSERT_TRUE(x.HasWindowManager());
    const unsigned long xid = Start({ "-new", "cd" });
    ASSERT_NE(xid, 0u);
    Settled(xid);
    Shell("xdotool windowsize " + std::to_string(xid) + " 100 100 2>/dev/null");
    const XRect w = Settled(xid);
    std::string wrong;
    WaitFor(
        [&] {
            auto r = Rectangles<XRect>(s.rects);
            std::ostringstream out;
            for (const char* part : { "client", "statusbar", "viewer", "canvas", "tool-1005" })
                if (!r.count(part))
                    out << "no " << part << "; ";
            if (!out.str().empty()) {
                wrong = out.str();
                return false;
            }
            const XRect client = r["client"], bar = r["statusbar"], canvas = r["canvas"];
            if (!client.Inside(w) || !client.Inside(x.Screen()))
                out << "client " << Text(client) << " in the window " << Text(w) << "; ";
            if (bar.height < 20 * Scale() || bar.Bottom() != client.Bottom())
                out << "status bar " << Text(bar) << " in " << Text(client) << "; ";
            if (canvas.width < 200 * Scale() || canvas.height < 150 * Scale()
                || !canvas.Inside(r["viewer"]) || canvas.Bottom() > bar.y)
                out << "canvas " << Text(canvas) << " above " << Text(bar) << "; ";
            if (!r["tool-1005"].Inside(client) || r["tool-1005"].width < 1)
                out << "toolbar's first button " << Text(r["tool-1005"]) << "; ";
            wrong = out.str();
            return wrong.empty();
        },
        5000, 100);
    SaveScreenPng(x, x.Screen(), "small-screen-main-smallest");
    EXPECT_EQ(wrong, "") << "window " << Text(w);
    XRect outer;
    ASSERT_TRUE(x.OuterFrame(xid, outer));
    EXPECT_LE(outer.width, 640 * Scale()) << "smallest window " << Text(outer);
    EXPECT_LE(outer.height, 480 * Scale()) << "smallest window " << Text(outer);
    auto r = Rectangles<XRect>(s.rects);
    // The panels' column beside the canvas keeps room for its panels.
    EXPECT_GE(r["viewer"].Right() - r["canvas"].Right(), 300 * Scale())
        << "viewer " << Text(r["viewer"]) << ", canvas " << Text(r["canvas"]);

    // The second design's tab, where it shows in the strip (beside the scroll buttons, half the
    // strip's height each), shows that design.
    ASSERT_EQ(r.count("designtab-1"), 1u) << "the second design's tab does not show";
    const XRect strip = r["tabstrip"], tab = r["designtab-1"];
    const int tabLeft = std::max(tab.x, strip.x + strip.height / 2);
    const int tabRight = std::min(tab.Right(), strip.Right() - strip.height / 2);
    ASSERT_GT(tabRight - tabLeft, 4 * Scale()) << "tab " << Text(tab) << " in " << Text(strip);
    const std::vector<uint32_t> design = x.Pixels(r["canvas"]);
    Drive(xid, MoveWords((tabLeft + tabRight) / 2, tab.y + tab.height / 2) + "click 1");
    EXPECT_TRUE(WaitFor([&] { return x.Pixels(r["canvas"]) != design; }, 5000, 100))
        << "the click on the tab " << Text(tab) << " showed no other design";
    SaveScreenPng(x, x.Screen(), "small-screen-main-smallest-second-design");

    // The toolbar's chevron shows what it hides; its last item, "ZOR-Paket", opens its dialog.
    const XRect client = r["client"], first = r["tool-1005"];
    // Resting on the chevron shows its tip; coming from elsewhere, a click at once opens its
    // menu.
    const int chevronX = client.Right() - 8 * Scale(), chevronY = first.y + first.height / 2;
    Drive(xid, MoveWords(chevronX, chevronY));
    EXPECT_TRUE(WaitFor(TooltipShows, 5000, 50)) << "the chevron shows no tip";
    Drive(xid, MoveWords(client.x + client.width / 3, client.y + client.height / 2));
    WaitFor([] { return !TooltipShows(); }, 3000, 50);
    Drive(xid, MoveWords(chevronX, chevronY) + "click 1");
    // Longer than a tip takes to show: the chevron's tip, asked for as the pointer came, must
    // not stand over the menu it names.
    Sleep(800);
    SaveScreenPng(x, x.Screen(), "small-screen-main-smallest-chevron");
    EXPECT_FALSE(TooltipShows()) << "a tip shows over the chevron's menu";
    Keys("Up Return");
    EXPECT_TRUE(WaitWindowNamed("ZOR-programpaket")) << "the chevron's last item";
    Dismiss("ZOR-programpaket");
    // The menus open: "Om Vorantel", the first item of the first menu.
    KeysTo(xid, "F10");
    SaveScreenPng(x, x.Screen(), "small-screen-main-smallest-menu");
    Keys("Down Return");
    EXPECT_TRUE(WaitWindowNamed("Om Vorantel")) << "the first menu's first item";
    Dismiss("Om Vorantel");
    Quit(xid);
    const std::string errors = TemporaryFolder::ReadFile(s.dir + "/vorantel.err");
    EXPECT_EQ(errors.find("Gtk-CRITICAL"), std::string::npos) << errors;
}

// A start on a 1366 x 768 screen reopens the project an earlier run left autosaved; that run
// stored a window larger than this screen. The window shows whole, and so do its panels' column
// and status bar.
TEST_F(SmallScreens, RecoveredStartFitsTheScreen)
{
    if (!OnScreenOfPoints(1366, 768))
        return;
    const std::string autosave = s.dir + "/skiva_autosave.vtproj";
    Shell("cp " + Quote(std::string(VT_TEST_DATA) + "/vtproj/regression.vtproj") + " "
        + Quote(autosave));
    LUserSettingSetString("AutoSave", "FileName", autosave.c_str());
    const int scale = Scale();
    LUserSettingSetString("MainWindow", "Width", std::to_string(1900 * scale).c_str());
    LUserSettingSetString("MainWindow", "Height", std::to_string(1050 * scale).c_str());
    LUserSettingSetString("MainWindow", "X", "0");
    LUserSettingSetString("MainWindow", "Y", "0");
    LUserSettingSetString("MainWindow", "Maximized", "0");
    const unsigned long xid = Start({}, "");
    ASSERT_NE(xid, 0u);
    ASSERT_TRUE(ClickAlertButton(s.rects, "Öppna_den")) << "no autosave offer";
    EXPECT_TRUE(WaitCaption(xid, kCaption + " - skiva.vtproj"));
    std::string wrong;
    WaitFor(
        [&] {
            Settled(xid);
            std::ostringstream out;
            out << OutsideWorkArea(xid);
            auto r = Rectangles<XRect>(s.rects);
            for (const char* part : { "viewer", "statusbar", "canvas" })
                if (!r.count(part) || !r[part].Inside(x.WorkArea()))
                    out << part << " " << Text(r[part]) << " outside the work area; ";
            wrong = out.str();
            return wrong.empty();
        },
        5000, 100);
    SaveScreenPng(x, x.Screen(), "small-screen-recovered");
    EXPECT_EQ(wrong, "");
    Quit(xid);
}
