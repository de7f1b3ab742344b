// The undo history's memory budget kept while pictures are encoded, through the whole program:
// pictures added by a later start (`vorantel -addimage`) are encoded one after the other on the
// encoder's thread ("Bildkodning"), and each one done has the history keep its budget (made
// small through VT_TEST_UNDO_MEMORY, so that pictures of a few megapixels reach it). Every
// addition undone with Ctrl+Z while they are still encoded, then Ctrl+Shift+Z: the program
// lives on, answers and still knows its work is unsaved. The pictures are made at test time
// (tests/support/make-pictures.py). Screenshots go to <build>/e2e-undo-encoding.
#include "support/E2eSession.h"
#include "support/MakePictures.h"
#include "support/ProcessStatus.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

// After GoogleTest: the X headers define names it uses.
#include "support/XServerView.h"

using namespace e2e;

namespace {

const char* const kShots = "e2e-undo-encoding";

// The share of the pixels that differ between two pictures of the same rectangle.
double ChangedShare(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
{
    if (a.empty() || a.size() != b.size())
        return 0;
    size_t changed = 0;
    for (size_t i = 0; i < a.size(); ++i)
        changed += (a[i] & 0xFFFFFF) != (b[i] & 0xFFFFFF);
    return double(changed) / double(a.size());
}

} // namespace

TEST(UndoWhileEncoding, AdditionsUndoneWhileTheirPicturesAreEncodedAreRedoneOrGone)
{
    XServerView x;
    if (!HasTools() || !x.Ok() || Shell("command -v python3").empty())
        GTEST_SKIP() << "no display, xdotool, ImageMagick or python3";
    Session s;
    // 40 MiB: room for one picture to redo (16.5 MB of pixels and some 12 MB of PNG bytes once
    // encoded), not for two.
    s.Set("VT_TEST_UNDO_MEMORY", std::to_string(40 << 20));
    // A photograph of 4.3 megapixels added six times: six pictures, each of which takes the
    // encoder a good part of a second.
    const std::string png = s.work / "foto.png";
    ASSERT_EQ(MakePicture("photo " + Quote(png) + " 2400 1800 60 120 200"), "");
    std::vector<std::string> args;
    for (int i = 0; i < 6; ++i)
        args.insert(args.end(), { "-addimage", png });
    Program program({ "-new", "cd" });
    const unsigned long xid = WaitMainWindow(20000 * kSlowdown);
    ASSERT_NE(xid, 0u);
    ASSERT_TRUE(WaitFor([&] { return Rectangles(s.rects).count("canvas") == 1; }, 15000));
    ASSERT_TRUE(x.WaitSettled(xid));
    const XRect canvas = Rectangles<XRect>(s.rects)["canvas"];
    {
        Program add(args);
        ASSERT_EQ(add.Wait(120000 * kSlowdown), 0);
    }
    const pid_t pid = program.Pid();
    // Still encoding as the keys go: each picture encoded after an undo has the budget kept with
    // steps waiting to be redone (and a picture whose step the budget drops is let go and not
    // encoded any further).
    ASSERT_TRUE(HasThread(pid, "Bildkodning")) << "the pictures were encoded before the undo";
    Drive(xid, "key --clearmodifiers --delay 40 ctrl+z ctrl+z ctrl+z ctrl+z ctrl+z ctrl+z");
    // The rest encoded or let go.
    EXPECT_TRUE(WaitFor([&] { return !HasThread(pid, "Bildkodning"); }, 120000 * kSlowdown, 20));
    ASSERT_TRUE(program.Running()) << "ended with status " << program.Wait(0);
    EXPECT_TRUE(x.WaitSettled(xid));
    Shot("all-undone", kShots);
    const std::vector<uint32_t> empty = x.Pixels(canvas);

    KeysTo(xid, "ctrl+shift+z ctrl+shift+z ctrl+shift+z ctrl+shift+z ctrl+shift+z ctrl+shift+z");
    EXPECT_TRUE(x.WaitSettled(xid));
    Shot("redone", kShots);
    ASSERT_TRUE(program.Running()) << "ended with status " << program.Wait(0);
    // The first picture is back on the disc (about a tenth of the canvas); the steps past the
    // budget are gone.
    const double changed = ChangedShare(empty, x.Pixels(canvas));
    std::printf("share of the canvas changed by the redo: %.3f\n", changed);
    EXPECT_GT(changed, 0.05);
    // It answers, and the picture redone is work to be saved.
    EXPECT_TRUE(AskToQuit(s, xid));
    Shot("quit-question", kShots);
    EXPECT_TRUE(program.Running());
}
