// The dialogs on the smallest screen the main window is made for, 640 x 480 (and on 800 x 600):
// the built `vorantel` on an X server of its own of that size opens "Välj etikettlayout"
// (Ctrl+N), "Om Vorantel" on its licence terms and the options sheet by keys; each lies on the
// screen with every control inside its window, "Välj etikettlayout"'s last button with the border
// drawn around it. Places come from the window itself (VT_TEST_RECTANGLES_FILE) and from the X
// server; screenshots go to <build>/test-artefacts.
#include "support/E2eSession.h"

// After the session: Xlib's macros would break the framework's names.
#include "support/DialogRectangles.h"
#include "support/OwnScreen.h"
#include "support/XServerView.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace e2e;

namespace {

std::string Text(const XRect& r)
{
    std::ostringstream s;
    s << r.width << "x" << r.height << "+" << r.x << "+" << r.y;
    return s.str();
}

class SmallestScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HasTools() || !x.Ok())
            GTEST_SKIP() << "no display, xdotool, import or Xlib";
    }

    // The dialog with the title, once it shows and its rectangle file is its own: what of it
    // or its controls lies outside the screen or its window ("" when nothing). A screenshot is
    // kept and the size printed.
    std::string Outside(const std::string& title, const std::string& shot)
    {
        const unsigned long xid = WaitDialogWindow(s.rects, title);
        if (xid == 0)
            return "no dialog " + title;
        x.WaitSettled(xid);
        std::string wrong;
        XRect w;
        WaitFor(
            [&] {
                std::ostringstream out;
                if (!x.WindowRect(xid, w) || !w.Inside(x.Screen()))
                    out << "window " << Text(w) << " outside " << Text(x.Screen()) << "; ";
                const XRect inside { 0, 0, w.width, w.height };
                for (const auto& [id, r] : DialogControls(s.rects, xid))
                    if (!r.Inside(inside))
                        out << "control " << id << " " << Text(r) << "; ";
                wrong = out.str();
                return wrong.empty();
            },
            5000, 100);
        std::cout << title << " on " << Text(x.Screen()) << ": " << Text(w) << std::endl;
        SaveScreenPng(x, x.Screen(), "smallest-screen-" + shot);
        return wrong;
    }

    void Run(int width, int height)
    {
        if (!ownscreen::RunOnScreen(std::to_string(width) + "x" + std::to_string(height)))
            return;
        const std::string size = std::to_string(width);
        program = std::make_unique<Program>(
            std::vector<std::string> { "-new", "cd" }, s.Capture("vorantel"));
        const unsigned long main = WaitMainWindow(20000);
        ASSERT_NE(main, 0u);
        WaitFor([&] { return Rectangles<XRect>(s.rects).count("canvas") == 1; }, 15000);

        KeysTo(main, "ctrl+n");
        const std::string select = "Välj etikettlayout";
        EXPECT_EQ(Outside(select, size + "-select-layout"), "");
        if (const unsigned long xid = WaitDialogWindow(s.rects, select)) {
            XRect w;
            x.WindowRect(xid, w);
            auto controls = DialogControls(s.rects, xid);
            // "Ladda anpassad...", its border drawn 2 points below its rectangle.
            EXPECT_LE(controls[1009].Bottom() + 2, w.height) << Text(controls[1009]);
            // The link (one line that does not wrap) as wide as its text needs in DejaVu Sans
            // at 10 points (some 380 pixels).
            EXPECT_GE(controls[1006].width, 370)
                << "the link " << Text(controls[1006]) << " in " << Text(w);
        }
        Keys("Escape");
        EXPECT_TRUE(WaitFor([&] { return !WindowShows(select); }, 5000, 100));

        unlink((s.rects + ".dialog").c_str());
        KeysTo(main, "F10 Down Return");
        EXPECT_EQ(Outside("Om Vorantel", size + "-about"), "");
        unlink((s.rects + ".dialog").c_str());
        Keys("ctrl+Page_Down");
        EXPECT_EQ(Outside("Om Vorantel", size + "-about-terms"), "");
        Keys("Escape");
        EXPECT_TRUE(WaitFor([&] { return !WindowShows("Om Vorantel"); }, 5000, 100));

        unlink((s.rects + ".dialog").c_str());
        KeysTo(main, "ctrl+shift+o");
        EXPECT_EQ(Outside("Vorantel Inställningar", size + "-options"), "");
        Keys("Escape");
        EXPECT_TRUE(WaitFor([&] { return !WindowShows("Vorantel Inställningar"); }, 5000, 100));
        EXPECT_EQ(QuitWithoutSaving(*program, s.rects, main), 0);
    }

    Session s;
    XServerView x;
    std::unique_ptr<Program> program;
};

} // namespace

TEST_F(SmallestScreen, DialogsFit640x480)
{
    Run(640, 480);
}

TEST_F(SmallestScreen, DialogsFit800x600)
{
    Run(800, 600);
}

// With text half as large again (GDK_DPI_SCALE=1.5) on 640 x 480, "Välj etikettlayout" cannot
// show all its rows: it stays on the screen, each description below its button, no control wider
// than the window, and the rows scroll with the wheel.
TEST_F(SmallestScreen, LabelLayoutChoicesScrollAtLargerText)
{
    if (!ownscreen::RunOnScreen("640x480", "GDK_DPI_SCALE=1.5"))
        return;
    program = std::make_unique<Program>(
        std::vector<std::string> { "-new", "cd" }, s.Capture("vorantel"));
    const unsigned long main = WaitMainWindow(20000);
    ASSERT_NE(main, 0u);
    WaitFor([&] { return Rectangles<XRect>(s.rects).count("canvas") == 1; }, 15000);
    KeysTo(main, "ctrl+n");
    const std::string select = "Välj etikettlayout";
    const unsigned long xid = WaitDialogWindow(s.rects, select);
    ASSERT_NE(xid, 0u);
    x.WaitSettled(xid);
    XRect w;
    ASSERT_TRUE(x.WindowRect(xid, w));
    EXPECT_TRUE(w.Inside(x.Screen())) << Text(w);
    for (const auto& [id, r] : DialogControls(s.rects, xid))
        EXPECT_LE(r.Right(), w.width) << "control " << id << " " << Text(r) << " in " << Text(w);
    const std::vector<uint32_t> before = x.Pixels(w);
    SaveScreenPng(x, x.Screen(), "smallest-screen-640-select-layout-larger-text");
    Shell("xdotool " + MoveWords(w.x + w.width / 2, w.y + w.height / 2)
        + "click --repeat 15 --delay 30 5 2>/dev/null");
    EXPECT_TRUE(WaitFor([&] { return x.Pixels(w) != before; }, 5000, 100)) << "nothing scrolled";
    x.WaitSettled(xid);
    SaveScreenPng(x, x.Screen(), "smallest-screen-640-select-layout-larger-text-scrolled");
    Keys("Escape");
    EXPECT_TRUE(WaitFor([&] { return !WindowShows(select); }, 5000, 100));
    EXPECT_EQ(QuitWithoutSaving(*program, s.rects, main), 0);
}
