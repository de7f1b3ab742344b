// The print preview of a large design never holds the window: an old project of many texts
// opened through the whole program, its print preview opened with Ctrl+P, made larger (xdotool
// windowsize) and closed with Escape, while another X client pings the main window every 20 ms
// (_NET_WM_PING, answered by the program's main loop). The preview paints the page in slices as
// the canvas does, so the longest answer of each step stays within the bound of the window's idle
// answer, or of its answer while the canvas paints the same design, measured in the same run; and
// once the program is quiet the preview shows the whole design. Screenshots are kept in
// <build>/e2e-print-preview-large. VT_TEST_TEXTS (30000) sets the number of texts for measuring by
// hand (300000).
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

} // namespace

TEST(PrintPreviewLarge, OpensResizesAndClosesWithTheWindowAnswering)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or xdotool";
    Session s;
    const int texts = Texts();
    // In dark red: RedPixels tells the texts from the page.
    const std::string path = OldProjectOfTexts(s.dir + "/stor.vtx", texts, "800000ff");
    Program program({});
    const unsigned long xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    XServerView view;
    ASSERT_TRUE(view.Ok());
    {
        Program open({ path });
        ASSERT_TRUE(WaitCaption(xid, kCaption + " - stor.vtproj", 120000 * kSlowdown));
        EXPECT_EQ(open.Wait(60000 * kSlowdown), 0);
        WaitProcessQuiet(program.Pid(), 120000 * kSlowdown);
    }
    const double idle = IdleReference(view, xid, kPingMs);
    const pid_t pid = program.Pid();
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
    const double bound = std::max(AnswerBound(idle), 1.5 * canvas);

    // Ctrl+P: the preview shows at once and paints the page while the window answers.
    unsigned long preview = 0;
    const double opening = view.LongestPingWhile(
        xid,
        [&] {
            KeysTo(xid, "ctrl+p");
            preview = WaitDialogWindow(s.rects, "Förhandsgranska", 30000 * kSlowdown);
            WaitProcessQuiet(pid, 120000 * kSlowdown);
        },
        kPingMs);
    ASSERT_NE(preview, 0u) << "no print preview";
    Shot("preview", kShots);
    const XRect sheet = DialogControls(s.rects, preview)[1000];
    XRect where {};
    ASSERT_TRUE(view.WindowRect(preview, where));
    const XRect onScreen { where.x + sheet.x, where.y + sheet.y, sheet.width, sheet.height };
    const int shownRed = RedPixels(view, onScreen);

    // Larger: painted again at the new size, the window answering meanwhile.
    const double resizing = view.LongestPingWhile(
        xid,
        [&] {
            Shell("xdotool windowsize " + std::to_string(preview) + " "
                + std::to_string(where.width + 200) + " " + std::to_string(where.height + 120)
                + " 2>/dev/null");
            WaitProcessQuiet(pid, 120000 * kSlowdown);
        },
        kPingMs);
    Shot("preview-larger", kShots);
    ASSERT_TRUE(view.WindowRect(preview, where));
    const XRect sheetLarger = DialogControls(s.rects, preview)[1000];
    const int largerRed = RedPixels(view,
        XRect { where.x + sheetLarger.x, where.y + sheetLarger.y, sheetLarger.width,
            sheetLarger.height });

    // Escape closes it; the canvas shows again.
    const double closing = view.LongestPingWhile(
        xid,
        [&] {
            Keys("Escape");
            WaitFor([] { return !WindowShows("Förhandsgranska"); }, 30000 * kSlowdown, 20);
            WaitProcessQuiet(pid, 120000 * kSlowdown);
        },
        kPingMs);
    EXPECT_FALSE(WindowShows("Förhandsgranska"));

    std::printf("%d texts: longest answer idle %.0f ms, while the canvas paints %.0f ms, opening "
                "the preview %.0f ms, making it larger %.0f ms, closing it %.0f ms; red pixels of "
                "the sheet %d, larger %d\n",
        texts, idle, canvas, opening, resizing, closing, shownRed, largerRed);
    EXPECT_LT(opening, bound);
    EXPECT_LT(resizing, bound);
    EXPECT_LT(closing, bound);
    // The whole design once the program is quiet: its texts show, more of them on the larger
    // sheet.
    EXPECT_GT(shownRed, 1000);
    EXPECT_GT(largerRed, shownRed);
    EXPECT_EQ(QuitWithoutSaving(program, s.rects, xid, 30000 * kSlowdown), 0);
}
