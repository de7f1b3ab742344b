// Pictures added by a second start (`vorantel -addimage`) cost memory for what they show: the
// built program runs as its own process on the test's X server, and its peak resident memory is
// read from the kernel (VmHWM). The pictures are made at test time by Python from the formats'
// byte layouts (tests/support/make-pictures.py): a 230 KB GIF whose 10,000 one-pixel frames lie
// on a 16000 x 16000 screen, and a PNG of 16384 x 16384 pixels, the most a picture may have.
// Screenshots go to <build>/test-artefacts.
#include "lfw/gen/LUserSettings.h"
#include "support/E2eSession.h"
#include "support/MakePictures.h"
#include "support/ProcessStatus.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iostream>

// After GoogleTest: the X headers define names it uses.
#include "support/XServerView.h"

using namespace programrun;

namespace {

// Whether the pixel is near the colour (0xRRGGBB).
bool Near(uint32_t pixel, uint32_t colour)
{
    for (int shift : { 0, 8, 16 })
        if (std::abs(int((pixel >> shift) & 255) - int((colour >> shift) & 255)) > 6)
            return false;
    return true;
}

} // namespace

TEST(PictureMemory, AddingCostsWhatThePictureShows)
{
    XServerView x;
    if (!std::getenv("DISPLAY") || Shell("command -v python3").empty())
        GTEST_SKIP() << "no display or python3";
    e2e::Session session;
    TemporaryFolder& work = session.work;
    const std::string& rects = session.rects;

    const std::string gif = work / "screen.gif", png = work / "limit.png";
    ASSERT_EQ(MakePicture("gif " + Quote(gif) + " 16000 16000 10000"), "");
    const uint32_t kBlue = 0x2878C8; // 40, 120, 200
    ASSERT_EQ(MakePicture("png " + Quote(png) + " 16384 16384 40 120 200"), "");
    std::cout << "[ files  ] GIF " << TemporaryFolder::ReadFile(gif).size() << " bytes, PNG "
              << TemporaryFolder::ReadFile(png).size() << " bytes\n";

    Program first({ "-new", "cd" });
    const unsigned long xid = WaitMainWindow(20000);
    ASSERT_NE(xid, 0u);
    ASSERT_TRUE(WaitFor([&] { return Rectangles<XRect>(rects).count("canvas") == 1; }, 15000));
    ASSERT_TRUE(x.WaitSettled(xid));
    const XRect canvas = Rectangles<XRect>(rects)["canvas"];
    const long long base = StatusKb(first.Pid(), "VmRSS");
    ASSERT_GT(base, 0);

    // The GIF shows one pixel: it costs next to nothing (its screen of transparency was a
    // gigabyte).
    {
        Program second({ "-addimage", gif });
        EXPECT_EQ(second.Wait(60000 * kSlowdown), 0);
    }
    EXPECT_TRUE(x.WaitSettled(xid, 300, 60000 * kSlowdown));
    const long long afterGif = StatusKb(first.Pid(), "VmHWM");
    std::cout << "[ GIF    ] resident " << base << " kB before, peak " << afterGif << " kB\n";
    EXPECT_LT(afterGif - base, 64 * 1024);

    // The PNG at the limit is 1 GiB of pixels: at no time is it held twice over.
    const long long decodedKb = 16384LL * 16384 * 4 / 1024;
    const auto asked = Clock::now();
    {
        Program second({ "-addimage", png });
        EXPECT_EQ(second.Wait(120000 * kSlowdown), 0);
    }
    // Shown on the canvas in its colour (a square of some hundred pixels each way).
    const bool shown = WaitFor(
        [&] {
            int n = 0;
            for (uint32_t p : x.Pixels(canvas))
                n += Near(p, kBlue);
            return n > 100 * 100;
        },
        60000 * kSlowdown, 200);
    const double seconds = std::chrono::duration<double>(Clock::now() - asked).count();
    SaveScreenPng(x, x.Screen(), "large-picture-added");
    EXPECT_TRUE(shown) << "the picture never showed in the canvas";
    EXPECT_TRUE(x.WaitSettled(xid, 300, 60000 * kSlowdown));
    const long long afterPng = StatusKb(first.Pid(), "VmHWM");
    std::cout << "[ PNG    ] shown after " << seconds << " s; peak " << afterPng
              << " kB, the picture " << decodedKb << " kB\n";
    EXPECT_LE(afterPng, 2 * decodedKb);
    EXPECT_TRUE(first.Running());
}
