// The command line as a person uses it, through the whole program: the built `vorantel` started
// in one folder, later starts from another with relative paths, long paths, many requests at
// once, typing errors, a start while a start-up question or the last question before the end
// shows. What a request did is read back from the project the program saved. Screenshots are
// kept in <build>/e2e-command-line. Runs once more at a backing scale of 2 (VT_ALSO_SCALED).
#include "app/VTProjectFile.h"
#include "lfw/gen/LUserSettings.h"
#include "support/E2eSession.h"
#include "support/ProjectTestSupport.h"
#include "support/ScreenShots.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <string>
#include <vector>

// After the test framework: Xlib's names would stand for numbers in its headers.
#include "support/XServerView.h"

using namespace e2e;

namespace {

const char* const kShots = "e2e-command-line";

Program::Options In(const Session& s, const std::string& name, const std::string& folder)
{
    Program::Options o = s.Capture(name);
    o.folder = folder;
    return o;
}

} // namespace

// A later start names files relative to its own folder, and those are the files used: the first
// instance was started in P, the later start in Q, both folders hold a project and a text file
// of the same names. The project saved afterwards is Q's, with Q's text; P's stays as it was.
TEST(CommandLine, RelativePathsAreTheSendersOwn)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    const std::string p = s.dir + "/P", q = s.dir + "/Q";
    ASSERT_EQ(Shell("mkdir -p " + Quote(p) + " " + Quote(q) + " && echo ok"), "ok");
    SaveMarked(p + "/same.vtproj", "projekt i P");
    SaveMarked(q + "/same.vtproj", "projekt i Q");
    TemporaryFolder::WriteFile(p + "/note.txt", "text i P");
    TemporaryFolder::WriteFile(q + "/note.txt", "text i Q");
    TemporaryFolder::WriteFile(q + "/bara-i-Q.txt", "bara i Q");
    const std::string pBytes = TemporaryFolder::ReadFile(p + "/same.vtproj");

    auto first = std::make_unique<Program>(
        std::vector<std::string> { "-open", "same.vtproj" }, In(s, "first", p));
    unsigned long xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    ASSERT_TRUE(WaitCaption(xid, kCaption + " - same.vtproj"));
    {
        Program later(
            { "-open", "same.vtproj", "-addtext", "note.txt", "-addtext", "bara-i-Q.txt" },
            In(s, "later", q));
        EXPECT_EQ(later.Wait(15000), 0);
        EXPECT_EQ(later.Errors(), "");
    }
    ScreenShot("relative-paths-of-the-later-start", kShots);
    ASSERT_TRUE(SaveInPlace(xid, q + "/same.vtproj"));
    const std::vector<std::string> texts = SavedTexts(q + "/same.vtproj");
    EXPECT_EQ(Count(texts, "projekt i Q"), 1u);
    EXPECT_EQ(Count(texts, "text i Q"), 1u);
    EXPECT_EQ(Count(texts, "bara i Q"), 1u);
    EXPECT_EQ(Count(texts, "projekt i P"), 0u);
    EXPECT_EQ(Count(texts, "text i P"), 0u);
    EXPECT_EQ(TemporaryFolder::ReadFile(p + "/same.vtproj"), pBytes);
    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(first->Wait(8000), 0);
}

// Paths of 300 and 4,000 bytes open whole on a first start and on a later one, and a path whose
// first 259 bytes name another project opens its own project, not that one.
TEST(CommandLine, LongPathsAreCarriedWhole)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    const std::string name300 = "tre-hundra.vtproj", name4000 = "fyra-tusen.vtproj";
    const std::string long300
        = SaveMarked(DeepFolder(s.dir + "/a", 300 - name300.size() - 1) + "/" + name300, "300");
    const std::string long4000
        = SaveMarked(DeepFolder(s.dir + "/b", 4000 - name4000.size() - 1) + "/" + name4000, "4000");
    ASSERT_EQ(long300.size(), 300u);
    ASSERT_EQ(long4000.size(), 4000u);
    const std::string text4000 = DeepFolder(s.dir + "/c", 4000 - sizeof "t.txt") + "/t.txt";
    TemporaryFolder::WriteFile(text4000, "lång väg");
    const std::string picture4000
        = DeepFolder(s.dir + "/p", 4000 - sizeof "bild.png") + "/bild.png";
    ASSERT_EQ(
        Shell("/usr/bin/convert -size 8x6 xc:red " + Quote(picture4000) + " && echo ok"), "ok");
    // The project whose path is the first 259 bytes of the other one's.
    const std::string shortName = "skiva.vtproj";
    const std::string cut = SaveMarked(
        DeepFolder(s.dir + "/e", 259 - shortName.size() - 1) + "/" + shortName, "den andra");
    ASSERT_EQ(cut.size(), 259u);
    const std::string whole = SaveMarked(cut + ".v2.backup-of-the-other-design.vtproj", "rätt");
    const std::string wholeName = shortName + ".v2.backup-of-the-other-design.vtproj";

    const struct {
        std::string first, firstName, later, laterName;
    } runs[] = {
        { long300, name300, long4000, name4000 },
        { long4000, name4000, whole, wholeName },
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.firstName);
        auto first = std::make_unique<Program>(std::vector<std::string> { run.first });
        unsigned long xid = WaitMainWindow();
        ASSERT_NE(xid, 0u);
        EXPECT_TRUE(WaitCaption(xid, kCaption + " - " + run.firstName));
        const size_t pictures = SavedPictures(run.later);
        {
            Program later({ "-open", run.later, "-addtext", text4000, "-addimage", picture4000 },
                s.Capture("later"));
            EXPECT_EQ(later.Wait(15000), 0);
            EXPECT_EQ(later.Errors(), "");
        }
        EXPECT_TRUE(WaitCaption(xid, kCaption + " - " + run.laterName));
        ScreenShot("long-path-" + run.laterName, kShots);
        ASSERT_TRUE(SaveInPlace(xid, run.later));
        EXPECT_EQ(Count(SavedTexts(run.later), "lång väg"), 1u);
        EXPECT_EQ(SavedPictures(run.later), pictures + 1);
        KeysTo(xid, "ctrl+q");
        EXPECT_EQ(first->Wait(8000), 0);
    }
    EXPECT_EQ(Count(SavedTexts(whole), "rätt"), 1u);
    EXPECT_EQ(Count(SavedTexts(cut), "lång väg"), 0u);
}

// The open panel takes a path longer than 259 bytes as the command line does: the project at
// its end opens, and its folder is where the panel starts next time.
TEST(CommandLine, TheOpenPanelTakesALongPath)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    const std::string deep = DeepFolder(s.dir + "/f", 600);
    const std::string project = SaveMarked(deep + "/långt.vtproj", "långt");
    auto first = std::make_unique<Program>(std::vector<std::string> {});
    unsigned long xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    ASSERT_TRUE(XServerView().WaitSettled(xid));
    ForgetAlert(s.rects);
    KeysTo(xid, "ctrl+o");
    if (!WaitWindowNamed("Läs in projekt", 5000))
        KeysTo(xid, "ctrl+o"); // the window had not had the keyboard yet
    // Pasted whole: typed key by key, the panel's completion of each long folder name races the
    // keys that follow it.
    ASSERT_TRUE(PasteIntoFilePanel("Läs in projekt", project));
    EXPECT_EQ(AlertText(s.rects, 1000), "");
    EXPECT_TRUE(WaitCaption(xid, kCaption + " - långt.vtproj", 15000));
    ScreenShot("open-panel-long-path", kShots);
    LStringLongTemplate<char> stored;
    _LUserSettingGetString("Settings", "RecentFolderProject", "", stored);
    EXPECT_EQ(std::string(stored.c_str()), deep);
    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(first->Wait(8000), 0);
}

// 300 requests of a first start and of a later one are all carried out; 10,000 in one start
// are refused whole, at once, with the reason, and nothing of them is done.
TEST(CommandLine, ManyRequestsAreAllCarriedOutOrRefusedWhole)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    const std::string project = SaveMarked(s.dir + "/skiva.vtproj", "start");
    const std::string text = s.Write("t.txt", "Skivetikett");
    auto requests = [&](size_t n) {
        std::vector<std::string> args;
        for (size_t i = 0; i < n; ++i) {
            args.push_back("-addtext");
            args.push_back(text);
        }
        return args;
    };
    std::vector<std::string> own { "-open", project };
    for (const std::string& a : requests(300))
        own.push_back(a);
    auto first = std::make_unique<Program>(own);
    unsigned long xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    ASSERT_TRUE(WaitCaption(xid, kCaption + " - skiva.vtproj"));
    // The start's own requests go on in slices, drawing as they go: the window answers meanwhile.
    ASSERT_TRUE(XServerView().Answers(xid, 15000));
    {
        ForgetAlert(s.rects);
        Program later(requests(10000), s.Capture("ten-thousand"));
        EXPECT_EQ(later.Wait(15000), 1);
        const std::string why
            = "För många begäranden på en gång: 10000 (högst 1000). Ingen av dem har utförts.";
        EXPECT_EQ(later.Errors(), "vorantel: " + why + "\n");
        // The window shows it once the start's own requests, which it does not interrupt, are
        // carried out.
        EXPECT_EQ(AlertText(s.rects, 120000), "Begäran kunde inte utföras\n" + why + "\n");
        ScreenShot("ten-thousand-requests-refused", kShots);
        EXPECT_TRUE(ClickAlertButton(s.rects, "OK"));
    }
    {
        Program later(requests(300), s.Capture("three-hundred"));
        EXPECT_EQ(later.Wait(120000), 0);
        EXPECT_EQ(later.Errors(), "");
    }
    ASSERT_TRUE(SaveInPlace(xid, project));
    const std::vector<std::string> texts = SavedTexts(project);
    EXPECT_EQ(Count(texts, "Skivetikett"), 600u);
    EXPECT_EQ(Count(texts, "start"), 1u);
    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(first->Wait(8000), 0);
}

// What the program cannot carry out is told in its window and to the later start (status 1 and
// the reason): an unknown request, a misspelt one, a request without its file, an empty text
// file. Nothing of such a request is done.
TEST(CommandLine, UnknownRequestsMissingValuesAndEmptyFilesAreTold)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    const std::string project = SaveMarked(s.dir + "/skiva.vtproj", "start");
    const std::string text = s.Write("t.txt", "Skivetikett");
    const std::string empty = s.Write("tom.txt", "");
    const std::string picture = std::string(VT_TEST_DATA) + "/images/base.png";
    auto first = std::make_unique<Program>(std::vector<std::string> { project });
    unsigned long xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    ASSERT_TRUE(WaitCaption(xid, kCaption + " - skiva.vtproj"));
    ASSERT_TRUE(XServerView().WaitSettled(xid));
    const struct {
        std::vector<std::string> args;
        std::string why, shot;
    } cases[] = {
        { { "-bogus", "x" }, "Vorantel känner inte till begäran ”-bogus”.", "bogus" },
        { { "-addtext", text, "-addimgae", picture },
            "Vorantel känner inte till begäran ”-addimgae”.", "misspelt" },
        { { "-addtext", text, "-addtext" }, "Begäran ”-addtext” saknar sitt värde, en textfil.",
            "missing-value" },
        { { "-addtext", empty }, "Textfilen ”tom.txt” är tom och lades inte till.", "empty-text" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shot);
        ForgetAlert(s.rects);
        Program later(c.args, s.Capture(c.shot));
        EXPECT_EQ(later.Wait(10000), 1);
        EXPECT_EQ(later.Errors(), "vorantel: " + c.why + "\n");
        EXPECT_EQ(AlertText(s.rects), "Begäran kunde inte utföras\n" + c.why + "\n");
        ScreenShot("told-" + c.shot, kShots);
        EXPECT_TRUE(ClickAlertButton(s.rects, "OK"));
    }
    // Nothing was added: the project has nothing to save.
    {
        Program later({ "-addtext", text }, s.Capture("text"));
        EXPECT_EQ(later.Wait(10000), 0);
    }
    ASSERT_TRUE(SaveInPlace(xid, project));
    EXPECT_EQ(Count(SavedTexts(project), "Skivetikett"), 1u);
    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(first->Wait(8000), 0);
}

// After the program was killed, the next start asks about the abnormal end before anything else.
// A request of a later start meanwhile waits (and says so), and runs after the start's own
// request once the question is answered: the text goes into the project the start opened.
TEST(CommandLine, ARequestQueuedDuringTheCrashQuestionRunsAfterTheStartsOwn)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    const std::string project = SaveMarked(s.dir + "/skiva.vtproj", "start");
    const std::string text = s.Write("t.txt", "Skivetikett");
    {
        Program killed({});
        const unsigned long shown = WaitMainWindow();
        ASSERT_NE(shown, 0u);
        ASSERT_TRUE(XServerView().WaitSettled(shown));
        ::kill(killed.Pid(), SIGKILL);
        EXPECT_EQ(killed.Wait(5000), 128 + SIGKILL);
    }
    ForgetAlert(s.rects);
    auto first = std::make_unique<Program>(std::vector<std::string> { "-open", project });
    ASSERT_EQ(AlertHeadline(s.rects, 15000), "Onormalt avslut upptäckt");
    {
        Program later({ "-addtext", text }, s.Capture("queued"));
        EXPECT_EQ(later.Wait(15000), 2);
        EXPECT_EQ(later.Errors(),
            "vorantel: Begäran väntar tills ”Onormalt avslut upptäckt” i Vorantel har stängts och "
            "utförs sedan. Hur det gick visas i Vorantel.\n");
    }
    ScreenShot("queued-during-the-crash-question", kShots);
    ASSERT_TRUE(ClickAlertButton(s.rects, "Något_annat"));
    unsigned long xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    EXPECT_TRUE(WaitCaption(xid, kCaption + " - skiva.vtproj"));
    // No refusal ("Inget projekt är öppet ...") comes.
    EXPECT_EQ(AlertText(s.rects, 2000), "");
    ASSERT_TRUE(SaveInPlace(xid, project));
    EXPECT_EQ(Count(SavedTexts(project), "Skivetikett"), 1u);
    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(first->Wait(8000), 0);
}

// While the instance asks its last question before it ends ("Betygsätt Vorantel" on the tenth
// run), it keeps its channel: a later start is told that it is closing and never becomes a
// second program.
TEST(CommandLine, TheInstanceKeepsItsChannelUntilItsLastDialogIsDone)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    LUserSettingSetString("Settings", "Runs", "9");
    auto first = std::make_unique<Program>(std::vector<std::string> {});
    unsigned long xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    ASSERT_TRUE(XServerView().WaitSettled(xid));
    KeysTo(xid, "ctrl+q");
    ASSERT_TRUE(WaitWindowNamed("Betygsätt Vorantel"));
    for (const std::vector<std::string>& args :
        { std::vector<std::string> { "-new", "cd" }, std::vector<std::string> {} }) {
        Program later(args, s.Capture("closing"));
        EXPECT_EQ(later.Wait(10000), 1);
        EXPECT_EQ(later.Errors(),
            "vorantel: Vorantel håller på att avslutas och tar inte emot fler begäranden. Försök "
            "igen när programmet har avslutats.\n");
    }
    ScreenShot("told-while-closing", kShots);
    // The closing instance's own window behind its question, and no other.
    size_t mainWindows = 0;
    for (const std::string& name : WindowNames())
        mainWindows += name.rfind(kCaption, 0) == 0 ? 1 : 0;
    EXPECT_EQ(mainWindows, 1u);
    EXPECT_TRUE(first->Running());
    Keys("Escape");
    EXPECT_EQ(first->Wait(8000), 0);
}
