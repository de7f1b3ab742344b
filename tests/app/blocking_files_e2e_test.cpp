// Files that would hold a reader for good, met through the whole program as a person meets them:
// the built `vorantel` started on an old project whose picture path names a FIFO that nobody
// writes. The project opens at once: that picture is told as any unreadable picture is, the
// rest of the project (a text, a picture that can be read) is there and is saved, and a SIGTERM
// then ends the program at once with status 0. Runs a second time under openbox
// (VT_WINDOW_MANAGER) and with GDK_SCALE=2 (VT_ALSO_SCALED). Screenshots are kept in
// <build>/e2e-blocking-files.
#include "support/E2eSession.h"
#include "support/ScreenShots.h"
#include "support/UnwrittenFifo.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>

using namespace e2e;

namespace {

const char* const kShots = "e2e-blocking-files";

} // namespace

TEST(BlockingFiles, AProjectWhosePictureIsAFifoOpensAndTheProgramEnds)
{
    ASSERT_TRUE(HasTools()) << "no display, xdotool or ImageMagick";
    Session s;
    // Should the program wait on the FIFO all the same, it is let go after a minute, so that the
    // test fails instead of hanging.
    UnwrittenFifo fifo(s.dir + "/rör.png", std::chrono::milliseconds(60000 * kSlowdown));
    ASSERT_TRUE(fifo.Made());
    ASSERT_EQ(Shell("convert -size 64x48 gradient:red-blue " + Quote(s.dir + "/bild.png")
                  + " && echo ok"),
        "ok");
    const std::string old = s.Write("gammal.vtx",
        "<vorantel_project type=\"cd\"><container type=\"disc\">"
        "<element type=\"image\" w=\"1000\" h=\"1000\" img=\"rör.png\"/>"
        "<element type=\"image\" x=\"1000\" w=\"1000\" h=\"1000\" img=\"bild.png\"/>"
        "<element type=\"text\" y=\"1500\" w=\"900\" h=\"400\" text=\"kvar\"/>"
        "</container></vorantel_project>");

    const auto start = Clock::now();
    Program program({ old });
    const unsigned long xid = WaitMainWindow(60000 * kSlowdown);
    ASSERT_NE(xid, 0u);
    const std::string told = AlertText(s.rects, 90000 * kSlowdown);
    const long long toldMs = Ms(Clock::now() - start);
    ScreenShot("fifo-picture-told", kShots);
    std::printf(
        "Project with a FIFO for a picture: told after %lld ms: %s\n", toldMs, told.c_str());
    EXPECT_EQ(told,
        "Laddar projekt\nDet gick inte att läsa in en överlagringsbild korrekt:\n”rör.png” (Det "
        "är ingen fil.)\n");
    EXPECT_FALSE(fifo.Released()) << "the program waited on the FIFO";
    ASSERT_TRUE(ClickAlertButton(s.rects, "OK"));
    ASSERT_TRUE(WaitCaption(xid, kCaption + " - gammal.vtproj", 30000 * kSlowdown)) << Caption(xid);
    ScreenShot("fifo-project-open", kShots);

    // The rest of the project is there: saved (Arkiv > "Spara som..." > "Projekt"), it holds the
    // text and the picture.
    const std::string saved = s.dir + "/sparad.vtproj";
    KeysTo(xid, "F10 Right Down Down Down Right");
    Keys("Return");
    ASSERT_TRUE(TypeIntoFilePanel("Spara projekt", saved));
    ASSERT_TRUE(WaitFile(saved, 30000 * kSlowdown));
    EXPECT_TRUE(WaitFor([&] { return Count(SavedTexts(saved), "kvar") == 1; }, 10000, 200));
    EXPECT_GE(SavedPictures(saved), 1u);

    const auto sent = Clock::now();
    ::kill(program.Pid(), SIGTERM);
    const int status = program.Wait(60000 * kSlowdown);
    const long long endedMs = Ms(Clock::now() - sent);
    std::printf("SIGTERM after the open: status %d after %lld ms\n", status, endedMs);
    EXPECT_EQ(status, 0);
    EXPECT_LT(endedMs, 5000 * kSlowdown);
    EXPECT_FALSE(fifo.Released()) << "the program waited on the FIFO";
}
