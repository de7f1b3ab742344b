// Windows laid out for the size they have: the built `vorantel` with a CD project, its main
// window, the print preview and the label-layout editor each maximised and restored by the
// window manager, made smaller and larger (xdotool windowsize) and made smaller by a drag of
// a corner in many steps. After each change the parts stand where a fresh window of that size
// has them: the status bar at the window's bottom edge, the panels at its right edge, the button
// rows inside it; a dialog is never made smaller than the size at which its controls fit. The
// places come from the program's rectangle file (VT_TEST_RECTANGLES_FILE), the window's size
// from the X server. Screenshots go to <build>/test-artefacts.
// VT_WINDOW_MANAGER: runs again under openbox, which alone maximises, restores and drags.
// VT_ALSO_SCALED: runs again at a backing scale of 2, on a screen of 2560 x 1600.
#include "lfw/gen/LUserSettings.h"
#include "support/DialogRectangles.h"
#include "support/E2eProgram.h"
#include "support/OwnScreen.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "support/XServerView.h"

using namespace e2e;

namespace {

constexpr int kOk = 0x6f6b2020; // 'ok  '
constexpr int kCancel = 0x6e6f7421; // 'not!'

int Scale()
{
    const char* s = std::getenv("GDK_SCALE");
    return s && std::atoi(s) > 1 ? std::atoi(s) : 1;
}

std::string Text(const XRect& r)
{
    std::ostringstream s;
    s << r.width << "x" << r.height << "+" << r.x << "+" << r.y;
    return s.str();
}

// What is wrong with the window's layout at its size ("" when nothing); w is the window on the
// screen.
using LayoutCheck = std::function<std::string(const XRect& w)>;

class WindowResize : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HasTools() || !x.Ok())
            GTEST_SKIP() << "no display, xdotool, import or Xlib";
        setenv("VT_TEST_RECTANGLES_FILE", rects.c_str(), 1);
        setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
        setenv("GSETTINGS_BACKEND", "memory", 1);
        setenv("NO_AT_BRIDGE", "1", 1);
        LUserSettingSetString("Settings", "WelcomeDialogShow", "0");
    }

    // At a backing scale of 2 the windows need a screen of twice the points: the test runs
    // again on one of 2560 x 1600 of its own (with this run's window manager). True when it did.
    bool RanOnLargerScreen() { return Scale() >= 2 && !ownscreen::RunOnScreen("2560x1600"); }

    // Starts the program with a new CD project; its main window once it stands still.
    unsigned long Start()
    {
        unlink(rects.c_str());
        program = std::make_unique<Program>(std::vector<std::string> { "-new", "cd" });
        const unsigned long xid = WaitMainWindow(20000);
        if (xid == 0)
            return 0;
        WaitFor([&] { return Rectangles<XRect>(rects).count("canvas") == 1; }, 15000);
        Settled(xid);
        return xid;
    }

    void Quit(unsigned long xid) { EXPECT_EQ(QuitWithoutSaving(*program, rects, xid), 0); }

    // The window on the screen once its size has come to rest.
    XRect Settled(unsigned long xid) { return x.RestingRect(xid); }

    unsigned long WaitDialog(const std::string& title) { return WaitDialogWindow(rects, title); }
    std::map<int, XRect> DialogControls(unsigned long xid)
    {
        return e2e::DialogControls(rects, xid);
    }

    // The main window: the client area fills the window inside the borders GTK draws around it
    // (as wide on every side), the status bar lies along the client's bottom, the viewer (the
    // canvas and the panels) spans the client's width above it.
    std::string MainLayout(const XRect& w)
    {
        auto r = Rectangles<XRect>(rects);
        for (const char* part : { "client", "statusbar", "viewer", "canvas" })
            if (!r.count(part))
                return std::string("no ") + part;
        const XRect c = r["client"], bar = r["statusbar"], viewer = r["viewer"];
        std::ostringstream s;
        const int border = c.x - w.x;
        if (border < 0 || border > 12 * Scale() || w.Right() - c.Right() != border
            || w.Bottom() - c.Bottom() != border)
            s << "client " << Text(c) << " in the window " << Text(w) << "; ";
        if (bar.Bottom() != c.Bottom() || bar.x != c.x || bar.width != c.width)
            s << "status bar " << Text(bar) << " in the client " << Text(c) << "; ";
        if (viewer.x != c.x || viewer.Right() != c.Right() || viewer.Bottom() > bar.y)
            s << "viewer " << Text(viewer) << " in the client " << Text(c) << "; ";
        if (!r["canvas"].Inside(viewer))
            s << "canvas " << Text(r["canvas"]) << " outside the viewer; ";
        return s.str();
    }

    // A dialog with OK and Cancel at the bottom right, a viewer at the left and panels at the
    // right edge: all inside the window and apart from each other.
    std::string DialogLayout(unsigned long xid, const XRect& w, int viewerId, int panelId)
    {
        auto c = DialogControls(xid);
        for (int id : { kOk, kCancel, viewerId, panelId })
            if (!c.count(id))
                return "no control " + std::to_string(id);
        const XRect inside { 0, 0, w.width, w.height };
        const XRect ok = c[kOk], cancel = c[kCancel], viewer = c[viewerId], panel = c[panelId];
        const XRect& right = ok.x > cancel.x ? ok : cancel;
        const XRect& left = ok.x > cancel.x ? cancel : ok;
        const int margin = 40 * Scale();
        std::ostringstream s;
        // The buttons' frames take in a few pixels of shadow around them, which may overlap.
        if (!ok.Inside(inside) || !cancel.Inside(inside) || left.Right() > right.x + 4 * Scale()
            || w.width - right.Right() > margin || w.height - right.Bottom() > margin)
            s << "buttons " << Text(left) << " " << Text(right) << " in " << Text(inside) << "; ";
        // A scroll bar may stand right of the panels.
        if (w.width - panel.Right() < 0 || w.width - panel.Right() > 24 * Scale())
            s << "panel " << Text(panel) << " in " << Text(inside) << "; ";
        if (viewer.x != 0 || viewer.Right() > panel.x || viewer.Bottom() > right.y
            || viewer.width < 1 || viewer.height < 1)
            s << "viewer " << Text(viewer) << " beside the panel " << Text(panel) << "; ";
        return s.str();
    }

    // Waits until the layout fits the window's size (it is written after the window is laid
    // out), then keeps a screenshot; the failure says what did not fit.
    void ExpectLaidOut(unsigned long xid, const std::string& step, const LayoutCheck& check)
    {
        XRect w = Settled(xid);
        std::string wrong;
        WaitFor(
            [&] {
                x.WindowRect(xid, w);
                wrong = check(w);
                return wrong.empty();
            },
            5000, 100);
        SaveScreenPng(x, x.Screen(), "window-resize-" + step);
        EXPECT_EQ(wrong, "") << step << ": window " << Text(w);
    }

    // Makes the window smaller, maximises and restores it, makes it larger and drags its corner,
    // each change followed by the check of its layout.
    void Steps(unsigned long xid, const std::string& name, const LayoutCheck& check, bool framed)
    {
        ExpectLaidOut(xid, name + "-fresh", check);
        const bool wm = x.HasWindowManager();
        const XRect work = x.WorkArea();
        auto resize = [&](const std::string& step, double share) {
            Shell("xdotool windowsize " + std::to_string(xid) + " "
                + std::to_string(int(work.width * share)) + " "
                + std::to_string(int(work.height * share)) + " 2>/dev/null");
            ExpectLaidOut(xid, name + "-" + step, check);
        };
        resize("smaller", 0.6);
        if (wm) {
            const XRect before = Settled(xid);
            EXPECT_TRUE(x.SetMaximized(xid, true));
            WaitFor([&] { return Settled(xid).width > before.width; }, 5000, 100);
            ExpectLaidOut(xid, name + "-maximised", check);
            EXPECT_GT(Settled(xid).width, before.width) << "not maximised";
            x.SetMaximized(xid, false);
            WaitFor([&] { return Settled(xid).width == before.width; }, 5000, 100);
            ExpectLaidOut(xid, name + "-restored", check);
            EXPECT_EQ(Settled(xid).width, before.width) << "not restored";
        }
        resize("larger", 0.85);
        if (wm) {
            // The bottom right corner, 150 x 120 pixels up and left in 40 steps: GTK's own
            // border of the main window, the window manager's frame of a dialog.
            const XRect before = Settled(xid);
            XRect outer = before;
            if (framed)
                x.OuterFrame(xid, outer);
            const int x0 = outer.Right() - 2, y0 = outer.Bottom() - 2;
            std::string drag = "xdotool mousemove --sync " + std::to_string(x0) + " "
                + std::to_string(y0) + " mousedown 1";
            for (int i = 1; i <= 40; ++i)
                drag += " mousemove " + std::to_string(x0 - 150 * i / 40) + " "
                    + std::to_string(y0 - 120 * i / 40) + " sleep 0.02";
            Shell(drag + " mouseup 1 2>/dev/null");
            const XRect after = Settled(xid);
            EXPECT_LT(after.width, before.width) << "the drag did not resize the window";
            ExpectLaidOut(xid, name + "-dragged", check);
        }
    }

    TemporaryFolder work;
    TemporaryFolder runtime;
    const std::string rects = work / "rectangles.txt";
    XServerView x;
    std::unique_ptr<Program> program;
};

} // namespace

TEST_F(WindowResize, MainWindowWithAProject)
{
    if (RanOnLargerScreen())
        return;
    const unsigned long xid = Start();
    ASSERT_NE(xid, 0u);
    Steps(
        xid, "main", [&](const XRect& w) { return MainLayout(w); }, false);
    Quit(xid);
}

TEST_F(WindowResize, PrintPreview)
{
    if (RanOnLargerScreen())
        return;
    const unsigned long main = Start();
    ASSERT_NE(main, 0u);
    KeysTo(main, "ctrl+p");
    const unsigned long xid = WaitDialog("Förhandsgranska");
    ASSERT_NE(xid, 0u) << "no print preview";
    auto check = [&](const XRect& w) { return DialogLayout(xid, w, 1000, 1001); };
    Steps(xid, "print-preview", check, true);
    if (x.HasWindowManager()) {
        // Far below its smallest size: the window manager keeps it where its controls fit.
        Shell("xdotool windowsize " + std::to_string(xid) + " 200 150 2>/dev/null");
        ExpectLaidOut(xid, "print-preview-smallest", check);
        EXPECT_GT(Settled(xid).width, 400 * Scale());
    }
    Keys("Escape");
    WaitFor([&] { return !WindowShows("Förhandsgranska"); }, 5000, 100);
    Quit(main);
}

TEST_F(WindowResize, LabelLayoutEditor)
{
    if (RanOnLargerScreen())
        return;
    const unsigned long main = Start();
    ASSERT_NE(main, 0u);
    // "Etikettlayout" on the toolbar, then the warning before the editor.
    auto tool = Rectangles(rects)["tool-1011"];
    ASSERT_EQ(tool.size(), 4u);
    ForgetAlert(rects);
    Drive(main, ClickWords(tool));
    ASSERT_NE(AlertText(rects), "") << "no warning before the editor";
    Keys("Return");
    const unsigned long xid = WaitDialog("Redigera etikettlayout");
    ASSERT_NE(xid, 0u) << "no label-layout editor";
    // A fresh editor has its smallest size.
    const XRect fresh = Settled(xid);
    auto check = [&](const XRect& w) { return DialogLayout(xid, w, 1013, 1010); };
    Steps(xid, "label-layout-editor", check, true);
    if (x.HasWindowManager()) {
        // Far below its smallest size: the window manager keeps it at that size, the toolbar
        // counted in.
        Shell("xdotool windowsize " + std::to_string(xid) + " 200 150 2>/dev/null");
        ExpectLaidOut(xid, "label-layout-editor-smallest", check);
        const XRect smallest = Settled(xid);
        EXPECT_EQ(smallest.width, fresh.width);
        EXPECT_EQ(smallest.height, fresh.height);
    }
    Keys("Escape");
    WaitFor([&] { return !WindowShows("Redigera etikettlayout"); }, 5000, 100);
    Quit(main);
}
