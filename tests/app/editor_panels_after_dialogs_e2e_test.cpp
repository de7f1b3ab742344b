// The label-layout editor's column of panels on a small screen under openbox, after another
// dialog of the program has been open and closed: the built `vorantel` with a CD project opens
// "Om Vorantel" (a box of a fixed size, which the window manager frames without the grip of a
// resizable window) or "ZOR-programpaket", closes it, then opens the editor. A click on the disc
// shows "Egenskaper för mall" below the other panels, more than the column holds: the column
// takes a scroll bar and the wheel scrolls it, as it does without the earlier dialog. Places come
// from the program's rectangle file (VT_TEST_RECTANGLES_FILE), pixels from the X server;
// screenshots go to <build>/test-artefacts (editor-panels-*.png).
// VT_WINDOW_MANAGER: runs under openbox (the frames it draws are what the windows differ in);
// the run without one is skipped.
#include "lfw/gen/LUserSettings.h"
#include "support/DialogRectangles.h"
#include "support/E2eSession.h"
#include "support/OwnScreen.h"
#include "support/XServerView.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace e2e;

namespace {

constexpr int kPageTabs = 1009, kPageViewer = 1013;

std::string Text(const XRect& r)
{
    std::ostringstream s;
    s << r.width << "x" << r.height << "+" << r.x << "+" << r.y;
    return s.str();
}

class EditorPanelsAfterDialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HasTools() || !x.Ok())
            GTEST_SKIP() << "no display, xdotool, import or Xlib";
        if (!std::getenv("VT_WINDOW_MANAGER"))
            GTEST_SKIP() << "runs under openbox only";
    }

    // Starts the program with a new CD project; its main window once its canvas is laid out.
    unsigned long Start()
    {
        unlink(s.rects.c_str());
        program = std::make_unique<Program>(
            std::vector<std::string> { "-new", "cd" }, s.Capture("vorantel"));
        const unsigned long xid = WaitMainWindow(20000);
        if (xid != 0)
            WaitFor([&] { return Rectangles<XRect>(s.rects).count("canvas") == 1; }, 15000);
        return xid;
    }

    void Quit(unsigned long xid) { EXPECT_EQ(QuitWithoutSaving(*program, s.rects, xid), 0); }

    // The pixels of the region (of the screen) once they have stayed the same for 300 ms.
    std::vector<uint32_t> Steady(const XRect& r)
    {
        std::vector<uint32_t> last = x.Pixels(r);
        auto since = Clock::now();
        WaitFor(
            [&] {
                std::vector<uint32_t> now = x.Pixels(r);
                if (now != last) {
                    last = std::move(now);
                    since = Clock::now();
                }
                return Clock::now() - since >= std::chrono::milliseconds(300);
            },
            8000, 30);
        return last;
    }

    // The dialog with the title shows, then goes with Escape.
    void OpenedAndClosed(const std::string& title)
    {
        ASSERT_TRUE(WaitKeysGoTo(title)) << title << " did not show";
        const std::string id = Shell(
            "xdotool search --onlyvisible --name " + Quote("^" + title + "$") + " | head -1");
        if (!id.empty())
            x.WaitSettled(std::stoul(id));
        SaveScreenPng(x, x.Screen(), "editor-panels-" + shot + "-dialog");
        Keys("Escape");
        ASSERT_TRUE(WaitFor([&] { return !WindowShows(title); }, 5000, 100)) << title;
    }

    // Opens the label-layout editor (through the warning before it), chooses the disc with a
    // click and expects the column of panels, taller than the editor now, to scroll with the
    // wheel.
    void ExpectEditorPanelsScroll(unsigned long main)
    {
        ForgetAlert(s.rects);
        unlink((s.rects + ".dialog").c_str());
        KeysTo(main, "ctrl+e");
        ASSERT_NE(AlertText(s.rects), "") << "no warning before the editor";
        Keys("Return");
        const unsigned long editor = WaitDialogWindow(s.rects, "Redigera etikettlayout");
        ASSERT_NE(editor, 0u);
        x.WaitSettled(editor);
        XRect w;
        ASSERT_TRUE(x.WindowRect(editor, w));
        auto controls = DialogControls(s.rects, editor);
        ASSERT_EQ(controls.count(kPageViewer), 1u);
        ASSERT_EQ(controls.count(kPageTabs), 1u);
        const XRect viewer = controls[kPageViewer], tabs = controls[kPageTabs];
        // The column beside the page, on the screen, and a point in its left margin (beside
        // the panels' controls) halfway down.
        const XRect column { w.x + viewer.Right(), w.y + tabs.y, w.width - viewer.Right(),
            viewer.Bottom() - tabs.y };
        ASSERT_GT(column.width, 100) << "editor " << Text(w) << ", viewer " << Text(viewer);
        const int px = column.x + 4, py = column.y + column.height / 2;
        const std::vector<uint32_t> before = Steady(column);
        // The disc stands in the middle of the page, its hole at its centre: a click between
        // the two chooses it.
        Drive(editor,
            MoveWords(w.x + viewer.x + viewer.width / 2,
                w.y + viewer.y + viewer.height / 2 + viewer.height / 8)
                + "click 1");
        ASSERT_TRUE(WaitFor([&] { return x.Pixels(column) != before; }, 5000, 50))
            << "the click on the disc showed no panel of its own";
        const std::vector<uint32_t> chosen = Steady(column);
        SaveScreenPng(x, x.Screen(), "editor-panels-" + shot + "-chosen");
        // The wheel over the column scrolls it down.
        Drive(editor, MoveWords(px, py) + "click --repeat 4 --delay 80 5");
        const bool scrolled = WaitFor([&] { return x.Pixels(column) != chosen; }, 5000, 50);
        Steady(column);
        SaveScreenPng(x, x.Screen(), "editor-panels-" + shot + "-scrolled");
        EXPECT_TRUE(scrolled) << "the wheel did not scroll the column " << Text(column);
        Keys("Escape");
        EXPECT_TRUE(WaitFor([&] { return !WindowShows("Redigera etikettlayout"); }, 5000, 100));
    }

    Session s;
    XServerView x;
    std::unique_ptr<Program> program;
    std::string shot;
};

} // namespace

// "Om Vorantel", the first item of the first menu, on a screen of 1024 x 600.
TEST_F(EditorPanelsAfterDialogs, ScrollAfterTheAboutBox)
{
    if (!ownscreen::RunOnScreen("1024x600"))
        return;
    shot = "about";
    const unsigned long main = Start();
    ASSERT_NE(main, 0u);
    KeysTo(main, "F10 Down Return");
    OpenedAndClosed("Om Vorantel");
    ExpectEditorPanelsScroll(main);
    Quit(main);
}

// "ZOR-programpaket", the last of the toolbar's items hidden behind its chevron, on a screen of
// 800 x 600.
TEST_F(EditorPanelsAfterDialogs, ScrollAfterTheSuiteDialog)
{
    if (!ownscreen::RunOnScreen("800x600"))
        return;
    shot = "suite";
    const unsigned long main = Start();
    ASSERT_NE(main, 0u);
    const auto parts = Rectangles<XRect>(s.rects);
    ASSERT_EQ(parts.count("tool-1005"), 1u);
    const XRect client = parts.at("client"), first = parts.at("tool-1005");
    Drive(main, MoveWords(client.Right() - 8, first.y + first.height / 2) + "click 1");
    Sleep(500);
    Keys("Up Return");
    OpenedAndClosed("ZOR-programpaket");
    ExpectEditorPanelsScroll(main);
    Quit(main);
}
