// The print preview of a large design never holds the window: an old project of many texts
// opened through the whole program, its print preview opened with Ctrl+P, made larger (xdotool
// windowsize) and closed with Escape, while another X client pings the main window every 20 ms
// (_NET_WM_PING, answered by the program's main loop). The preview paints the page in slices as
// the canvas does, so the longest answer of each step stays within the bound of the window's idle
// answer, of its answer while the canvas paints the same design, or of its answer in the same
// step for a design of ten texts, measured in the same run; and once the program is quiet the
// preview shows the whole design. Screenshots are kept in <build>/e2e-print-preview-large.
// VT_TEST_TEXTS (30000) sets the number of texts for measuring by hand (300000).
#include "support/E2eSession.h"
#include "support/ProcessStatus.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

// After the test framework: Xlib's names would stand for numbers in its headers.
#include "support/DialogRectangles.h"
#include "support/E2ePrinting.h"
#include "support/WindowAnswers.h"

using namespace e2e;

namespace {

const char* const kShots = "e2e-print-preview-large";
constexpr int kPingMs = 20;

int Texts()
{
    const char* asked = std::getenv("VT_TEST_TEXTS");
    return asked && std::atoi(asked) > 0 ? std::atoi(asked) : 30000;
}

// How many pixels of the rectangle are red rather than grey or white: the design's texts.
int RedPixels(XServerView& view, const XRect& r)
{
    int n = 0;
    for (uint32_t p : view.Pixels(r)) {
        const int red = int(p >> 16 & 255), green = int(p >> 8 & 255), blue = int(p & 255);
        n += red > green + 40 && red > blue + 40;
    }
    return n;
}

// The longest answers of the window while the print preview opens (Ctrl+P), is made larger
// (xdotool windowsize) and closes (Escape), and the red pixels of its sheet before and after it
// was made larger, once the program is quiet.
struct PreviewSteps {
    double opening = 0, resizing = 0, closing = 0;
    int shownRed = 0, largerRed = 0;
};

PreviewSteps PreviewOpenedResizedAndClosed(
    XServerView& view, Session& s, unsigned long xid, pid_t pid, const std::string& shot)
{
    PreviewSteps steps;
    unsigned long preview = 0;
    steps.opening = view.LongestPingWhile(
        xid,
        [&] {
            KeysTo(xid, "ctrl+p");
            preview = WaitDialogWindow(s.rects, "Förhandsgranska", 30000 * kSlowdown);
            WaitProcessQuiet(pid, 120000 * kSlowdown);
        },
        kPingMs);
    EXPECT_NE(preview, 0u) << "no print preview";
    if (!preview)
        return steps;
    Shot(shot, kShots);
    XRect where {};
    EXPECT_TRUE(view.WindowRect(preview, where));
    const XRect sheet = DialogControls(s.rects, preview)[1000];
    steps.shownRed = RedPixels(
        view, XRect { where.x + sheet.x, where.y + sheet.y, sheet.width, sheet.height });

    // Larger: painted again at the new size, the window answering meanwhile.
    steps.resizing = view.LongestPingWhile(
        xid,
        [&] {
            Shell("xdotool windowsize " + std::to_string(preview) + " "
                + std::to_string(where.width + 200) + " " + std::to_string(where.height + 120)
                + " 2>/dev/null");
            WaitProcessQuiet(pid, 120000 * kSlowdown);
        },
        kPingMs);
    Shot(shot + "-larger", kShots);
    EXPECT_TRUE(view.WindowRect(preview, where));
    const XRect larger = DialogControls(s.rects, preview)[1000];
    steps.largerRed = RedPixels(
        view, XRect { where.x + larger.x, where.y + larger.y, larger.width, larger.height });

    // Back to its first size, which the next preview opens at.
    Shell("xdotool windowsize " + std::to_string(preview) + " " + std::to_string(where.width - 200)
        + " " + std::to_string(where.height - 120) + " 2>/dev/null");
    WaitProcessQuiet(pid, 120000 * kSlowdown);

    // Escape closes it; the canvas shows again.
    steps.closing = view.LongestPingWhile(
        xid,
        [&] {
            Keys("Escape");
            WaitFor([] { return !WindowShows("Förhandsgranska"); }, 30000 * kSlowdown, 20);
            WaitProcessQuiet(pid, 120000 * kSlowdown);
        },
        kPingMs);
    EXPECT_FALSE(WindowShows("Förhandsgranska"));
    return steps;
}

// Opens the project through a second start and waits until the program is quiet.
void OpenProject(const std::string& path, const std::string& caption, unsigned long xid, pid_t pid)
{
    Program open({ path });
    EXPECT_TRUE(WaitCaption(xid, kCaption + " - " + caption, 120000 * kSlowdown));
    EXPECT_EQ(open.Wait(60000 * kSlowdown), 0);
    WaitProcessQuiet(pid, 120000 * kSlowdown);
}

} // namespace

TEST(PrintPreviewLarge, OpensResizesAndClosesWithTheWindowAnswering)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or xdotool";
    Session s;
    const int texts = Texts();
    Program program({});
    const unsigned long xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    XServerView view;
    ASSERT_TRUE(view.Ok());
    const pid_t pid = program.Pid();
    // The preview of a design of ten texts: what making, resizing and closing the dialog holds
    // the window on this machine at this moment, whatever the design. In dark red: RedPixels
    // tells the texts from the page.
    OpenProject(OldProjectOfTexts(s.dir + "/liten.vtx", 10, "800000ff"), "liten.vtproj", xid, pid);
    const PreviewSteps small = PreviewOpenedResizedAndClosed(view, s, xid, pid, "small-preview");

    OpenProject(OldProjectOfTexts(s.dir + "/stor.vtx", texts, "800000ff"), "stor.vtproj", xid, pid);
    const double idle = IdleReference(view, xid, kPingMs);
    // The canvas painting the same design in slices, at a new size of the main window: what the
    // window answers while it paints so, on this machine at this moment. A machine busy with
    // other work keeps a thread that paints for a second from running for a while now and then,
    // however short its slices; the preview is to answer as the canvas does.
    XRect mainWindow {};
    ASSERT_TRUE(view.WindowRect(xid, mainWindow));
    const double canvas = view.LongestPingWhile(
        xid,
        [&] {
            Shell("xdotool windowsize " + std::to_string(xid) + " "
                + std::to_string(mainWindow.width - 120) + " "
                + std::to_string(mainWindow.height - 80) + " 2>/dev/null");
            WaitProcessQuiet(pid, 120000 * kSlowdown);
        },
        kPingMs);
    PreviewSteps large = PreviewOpenedResizedAndClosed(view, s, xid, pid, "preview");
    // Each step holds the window no longer than the same step for a small design does, or than
    // the canvas painting the design, with a busy machine's margin.
    const double bound = std::max(AnswerBound(idle), 1.5 * canvas);
    auto within = [&](const PreviewSteps& steps) {
        return steps.opening < std::max(bound, 2 * small.opening)
            && steps.resizing < std::max(bound, 2 * small.resizing)
            && steps.closing < std::max(bound, 2 * small.closing);
    };
    // A machine busy with other work holds any program now and then, at a moment of its own;
    // the preview holding the window holds it each time: the steps once more, the shorter
    // answer of each counts.
    if (!within(large)) {
        const PreviewSteps again = PreviewOpenedResizedAndClosed(view, s, xid, pid, "preview");
        std::printf("once more: opening %.0f ms, larger %.0f ms, closing %.0f ms\n", again.opening,
            again.resizing, again.closing);
        large.opening = std::min(large.opening, again.opening);
        large.resizing = std::min(large.resizing, again.resizing);
        large.closing = std::min(large.closing, again.closing);
    }

    std::printf("%d texts: longest answer idle %.0f ms, while the canvas paints %.0f ms, opening "
                "the preview %.0f ms (of ten texts %.0f), making it larger %.0f ms (%.0f), "
                "closing it %.0f ms (%.0f); red pixels of the sheet %d, larger %d\n",
        texts, idle, canvas, large.opening, small.opening, large.resizing, small.resizing,
        large.closing, small.closing, large.shownRed, large.largerRed);
    EXPECT_LT(large.opening, std::max(bound, 2 * small.opening));
    EXPECT_LT(large.resizing, std::max(bound, 2 * small.resizing));
    EXPECT_LT(large.closing, std::max(bound, 2 * small.closing));
    // The whole design once the program is quiet: its texts show, more of them on the larger
    // sheet.
    EXPECT_GT(large.shownRed, 1000);
    EXPECT_GT(large.largerRed, large.shownRed);
    EXPECT_EQ(QuitWithoutSaving(program, s.rects, xid, 30000 * kSlowdown), 0);
}
