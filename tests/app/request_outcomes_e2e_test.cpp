// What a later start is told is what happens, through the whole program as a person and a
// script meet it: the built `vorantel` on the test's X server (and once more under openbox,
// VT_WINDOW_MANAGER), later starts from another folder, their exit status and standard error, the
// running program's alerts read and answered with real clicks, and the project it saves read
// back. A request behind the quit question, starts that fail before or while they run, warnings,
// a thousand requests in one start while the window is pinged, idle connections, another user's
// folders, several files from a launcher. Screenshots are kept in <build>/e2e-requests.
#include "app/VTLabelLayout.h"
#include "lfw/zor/LSingleInstance.h"
#include "support/E2eSession.h"
#include "support/ProjectTestSupport.h"
#include "support/ScreenShots.h"
#include "support/TemporaryFolder.h"
#include "support/XServerView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

using namespace e2e;

namespace {

const char* const kShots = "e2e-requests";
const std::string kClosing = "vorantel: Vorantel håller på att avslutas och tar inte emot fler "
                             "begäranden. Försök igen när programmet har avslutats.\n";

// A later start from its own folder, its standard output and error kept.
Program::Options From(const Session& s, const std::string& name)
{
    Program::Options o = s.Capture(name);
    o.folder = s.dir + "/senare";
    ::mkdir(o.folder.c_str(), 0755);
    return o;
}

// A picture file made by ImageMagick.
std::string Picture(const Session& s, const std::string& name, const std::string& spec = "64x48")
{
    const std::string path = s.dir + "/" + name;
    EXPECT_EQ(
        Shell("convert -size " + spec + " gradient:red-blue " + Quote(path) + " && echo ok"), "ok");
    return path;
}

// The main windows on the display.
size_t MainWindows()
{
    size_t n = 0;
    for (const std::string& name : WindowNames())
        n += name.rfind(kCaption, 0) == 0 ? 1 : 0;
    return n;
}

} // namespace

// A request that comes while the last question before quitting is open waits for its answer and
// is never told that it waits for a dialog (status 2) only to be lost: answered "Spara" or
// "Spara inte", the program quits and the start is told so (status 1) and nothing of it is done;
// answered "Avbryt", it is carried out (status 0). The same for a lone project file, as a file
// manager sends it.
TEST(RequestOutcomes, ARequestBehindTheQuitQuestionIsToldWhatBecomesOfIt)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    const std::string first = s.Write("forst.txt", "först");
    const std::string behind = s.Write("bakom.txt", "bakom");
    const std::string other = SaveMarked(s.dir + "/annat.vtproj", "annat");
    const struct {
        const char* button;
        bool lone; // the later start is a lone project file
        int status;
    } answers[] = { { "Spara", false, 1 }, { "Spara_inte", true, 1 }, { "Avbryt", false, 0 } };
    for (const auto& a : answers) {
        SCOPED_TRACE(a.button);
        const std::string project
            = SaveMarked(s.dir + "/" + std::string(a.button) + ".vtproj", "start");
        std::unique_ptr<Program> program;
        const unsigned long xid = StartOn(project, program);
        ASSERT_NE(xid, 0u);
        // How long a start takes here to be carried out and told so: the reference for how
        // soon the start behind the question would have its answer if it were given one at once.
        const auto asked = Clock::now();
        {
            Program later({ "-addtext", first }, From(s, "first"));
            ASSERT_EQ(later.Wait(15000), 0) << later.Errors();
        }
        const long long answered = Ms(Clock::now() - asked);
        ASSERT_TRUE(AskToQuit(s, xid));
        Program later(a.lone ? std::vector<std::string> { other }
                             : std::vector<std::string> { "-addtext", behind },
            From(s, "behind"));
        // Not told that it waits for a dialog and left: it waits for the answer. Told at once, it
        // would have ended once its patience for an outcome after that word ran out, within
        // about the time the start above took in all (a start told that it waits does less than
        // one carried out); it is watched that long and ten times the start's time more, at least
        // a second more and at most the four seconds it used to be watched whatever the machine.
        const long long watched = std::min<long long>(
            4000, LSingleInstance::kQueuedGraceMs + std::max<long long>(1000, 10 * answered));
        EXPECT_EQ(later.Wait(int(watched)), -1) << later.Errors();
        ScreenShot(std::string("behind-the-quit-question-") + a.button, kShots);
        ASSERT_TRUE(ClickAlertButton(s.rects, a.button));
        EXPECT_EQ(later.Wait(15000), a.status);
        if (a.status == 1) {
            EXPECT_EQ(later.Errors(), kClosing);
            EXPECT_EQ(program->Wait(10000), 0);
        } else {
            EXPECT_EQ(later.Errors(), "");
            EXPECT_TRUE(program->Running());
            ASSERT_TRUE(SaveInPlace(xid, project));
            KeysTo(xid, "ctrl+q");
            EXPECT_EQ(program->Wait(10000), 0);
        }
        const std::vector<std::string> texts = SavedTexts(project);
        EXPECT_EQ(Count(texts, "start"), 1u);
        EXPECT_EQ(Count(texts, "först"), std::string(a.button) == "Spara_inte" ? 0u : 1u);
        EXPECT_EQ(Count(texts, "bakom"), a.status == 0 ? 1u : 0u);
    }
}

// Ctrl+Q while a start is being carried out: the start goes on to its end (the quit comes
// before nothing it was told it would do), then the question is asked. A start that comes while
// the quit waits is not begun; answered "Spara", the quit goes ahead and that start is told so.
TEST(RequestOutcomes, AQuitWaitsForTheStartBeingCarriedOut)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    const std::string project = SaveMarked(s.dir + "/skiva.vtproj", "start");
    const std::string text = s.Write("t.txt", "många");
    const std::string late = s.Write("sen.txt", "sen");
    std::unique_ptr<Program> first;
    const unsigned long xid = StartOn(project, first);
    ASSERT_NE(xid, 0u);
    // The start sent as a later start does, its answers read frame by frame.
    std::vector<std::string> args { "vorantel" };
    for (int i = 0; i < 300; ++i)
        args.insert(args.end(), { "-addtext", text });
    LNamedPipeRef pipe;
    ASSERT_GE(pipe._Open("Vorantel"), 0);
    LProcessInterfaceVoid quiet;
    ASSERT_EQ(
        ProcessNamedPipeSendRequest(quiet, pipe.GetDescriptor(), args, 10000, "progress,warnings"),
        LProcessResultSuccess);
    std::string bytes;
    auto nextFrame = [&](LSingleInstanceFrame& frame) {
        for (int waited = 0; waited < 60000; waited += 10) {
            if (LSingleInstanceTakeFrame(bytes, frame) == 1)
                return true;
            char buffer[4096];
            const ssize_t n = ::recv(pipe.GetDescriptor(), buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0)
                bytes.append(buffer, size_t(n));
            else if (n == 0)
                return false;
            else
                Sleep(10);
        }
        return false;
    };
    LSingleInstanceFrame frame;
    // Once some of it is done, Ctrl+Q.
    while (nextFrame(frame) && frame.text.find("har utfört") == std::string::npos) { }
    ASSERT_EQ(frame.kind, 'P');
    ForgetAlert(s.rects);
    KeysTo(xid, "ctrl+q");
    Program later({ "-addtext", late }, From(s, "during-the-quit"));
    // The start is carried out to its end; only then does the question come.
    size_t progress = 0;
    while (nextFrame(frame) && frame.kind == 'P')
        ++progress;
    EXPECT_EQ(frame.kind, 'F');
    EXPECT_EQ(frame.result, 0);
    EXPECT_GT(progress, 10u);
    EXPECT_EQ(AlertText(s.rects, 15000),
        "Ändringar som inte sparats\nVill du spara projektet innan du stänger?\n");
    EXPECT_EQ(later.Wait(0), -1) << later.Errors();
    ScreenShot("question-after-the-start", kShots);
    ASSERT_TRUE(ClickAlertButton(s.rects, "Spara"));
    EXPECT_EQ(later.Wait(15000), 1);
    EXPECT_EQ(later.Errors(), kClosing);
    EXPECT_EQ(first->Wait(10000), 0);
    const std::vector<std::string> texts = SavedTexts(project);
    EXPECT_EQ(Count(texts, "många"), 300u);
    EXPECT_EQ(Count(texts, "sen"), 0u);
}

// Every request of a start is checked before any is carried out: a picture that is no picture
// (a text file named .png, a folder), a damaged layout or project refuse the whole start at once
// (status 1, the reason on standard error and in one alert), and nothing of it is done; the start
// that opens a damaged project does not ask about changes it never made. A picture whose data
// breaks off after a good header is found when the start is read whole, before any of it is
// carried out: the start is refused with nothing done, the text before the picture not added.
TEST(RequestOutcomes, AStartIsDoneWholeOrNotAtAll)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    const std::string project = SaveMarked(s.dir + "/skiva.vtproj", "start");
    const size_t pictures = SavedPictures(project);
    const std::string good = s.Write("bra.txt", "bra");
    const std::string later2 = s.Write("sedan.txt", "sedan");
    const std::string mark = s.Write("markering.txt", "markering");
    const std::string picture = Picture(s, "bra.png");
    const std::string notPicture = s.Write("inte.png", "Det här är ingen bild\n");
    const std::string folder = s.dir + "/mapp.png";
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    const std::string layout = s.Write("trasig.vtlayout", "<inte en layout");
    const std::string bytes = TemporaryFolder::ReadFile(SaveMarked(s.dir + "/hel.vtproj", "x"));
    const std::string damaged = s.Write("trasig.vtproj", bytes.substr(0, bytes.size() / 2));
    // A picture whose header is whole and whose pixels break off.
    ASSERT_EQ(
        Shell("convert -size 400x300 -seed 7 plasma: " + Quote(s.dir + "/hel.png") + " && echo ok"),
        "ok");
    const std::string whole = TemporaryFolder::ReadFile(s.dir + "/hel.png");
    ASSERT_GT(whole.size(), 3000u);
    const std::string cut = s.Write("avklippt.png", whole.substr(0, whole.size() / 3));

    std::unique_ptr<Program> first;
    const unsigned long xid = StartOn(project, first);
    ASSERT_NE(xid, 0u);
    const std::string title = "Begäran kunde inte utföras";
    const std::string noPicture
        = "Bilden ”inte.png” kan inte läsas in: Det gick inte att läsa in bilden.";
    const struct {
        std::vector<std::string> args;
        std::string why, shot;
    } refused[] = {
        { { "-addimage", notPicture }, noPicture, "text-named-png" },
        { { "-addtext", good, "-addimage", notPicture }, noPicture, "text-then-no-picture" },
        { { "-addimage", picture, "-addimage", notPicture }, noPicture, "picture-then-no-picture" },
        { { "-addtext", good, "-addimage", folder }, "”mapp.png” är ingen fil.", "folder-png" },
        { { "-addtext", good, "-custom", layout },
            "Det gick inte att läsa etikettlayouten ”trasig.vtlayout”: Filen är inte en "
            "voranteletikettlayout.",
            "damaged-layout" },
        { { "-addtext", good, "-open", damaged },
            "Det gick inte att läsa in projektfilen ”trasig.vtproj”: Projektfilen är skadad "
            "eller ofullständig och kan inte öppnas.",
            "damaged-project" },
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.shot);
        ForgetAlert(s.rects);
        Program later(c.args, From(s, c.shot));
        EXPECT_EQ(later.Wait(15000), 1);
        EXPECT_EQ(later.Errors(), "vorantel: " + c.why + "\n");
        // One alert, the refusal: no question about changes first.
        EXPECT_EQ(AlertText(s.rects), title + "\n" + c.why + "\n");
        ScreenShot("refused-" + c.shot, kShots);
        EXPECT_TRUE(ClickAlertButton(s.rects, "OK"));
    }
    // Nothing of them was done: the project is as it was (no changes to save).
    EXPECT_EQ(Caption(xid), kCaption + " - skiva.vtproj");

    // The cut-off picture refuses its start whole: the text before it is not added.
    {
        ForgetAlert(s.rects);
        Program later({ "-addtext", good, "-addimage", cut, "-addtext", later2 }, From(s, "cut"));
        const std::string told
            = "Bilden ”avklippt.png” kan inte läsas in: Det gick inte att läsa in bilden.";
        EXPECT_EQ(later.Wait(15000), 1);
        EXPECT_EQ(later.Errors(), "vorantel: " + told + "\n");
        EXPECT_EQ(AlertText(s.rects), title + "\n" + told + "\n");
        ScreenShot("failed-while-running", kShots);
        EXPECT_TRUE(ClickAlertButton(s.rects, "OK"));
    }
    {
        Program later({ "-addtext", mark }, From(s, "mark"));
        EXPECT_EQ(later.Wait(15000), 0);
    }
    ASSERT_TRUE(SaveInPlace(xid, project));
    const std::vector<std::string> texts = SavedTexts(project);
    EXPECT_EQ(Count(texts, "bra"), 0u);
    EXPECT_EQ(Count(texts, "sedan"), 0u);
    EXPECT_EQ(Count(texts, "markering"), 1u);
    EXPECT_EQ(SavedPictures(project), pictures);
    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(first->Wait(10000), 0);
}

// Starts that come while an alert waits for the user. One whose picture breaks off after 100 KB,
// or that opens a project or a layout that does not load (a damaged project, alone as a file
// manager sends it too, an old project that cannot be parsed, a layout that is none or holds
// positions off every sheet), is refused at once (status 1, the reason on standard error), never
// told that it will be carried out later; the window tells it once the alert is answered, and
// nothing of it is done (its text is not added). One whose files are whole is told that it waits
// (status 2) and is then carried out. One told that it waits whose picture, project or layout
// breaks before its turn comes is told in the window as one failure, nothing of it done.
TEST(RequestOutcomes, AStartBehindAnAlertIsToldItWaitsOnlyWhenItWillBeCarriedOut)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    const std::string project = SaveMarked(s.dir + "/skiva.vtproj", "start");
    const size_t pictures = SavedPictures(project);
    ASSERT_EQ(
        Shell("convert -size 600x400 -seed 3 plasma: " + Quote(s.dir + "/hel.png") + " && echo ok"),
        "ok");
    const std::string whole = TemporaryFolder::ReadFile(s.dir + "/hel.png");
    ASSERT_GT(whole.size(), 200000u);
    const std::string cut = s.Write("trunc.png", whole.substr(0, 100000));
    const std::string good = s.Write("bra.png", whole);
    const std::string changing = s.Write("andras.png", whole);
    const std::string t2 = s.Write("t2.txt", "andra");
    const std::string t3 = s.Write("t3.txt", "tredje");
    const std::string t4 = s.Write("t4.txt", "fjärde");
    const std::string t5 = s.Write("t5.txt", "femte");
    const std::string t6 = s.Write("t6.txt", "sjätte");
    // Projects and layouts: whole ones that break while their starts wait, and ones that never
    // load.
    const std::string projectBytes
        = TemporaryFolder::ReadFile(SaveMarked(s.dir + "/andras.vtproj", "ändras"));
    const std::string changingProject = s.dir + "/andras.vtproj";
    const std::string damagedProject
        = s.Write("trasig.vtproj", projectBytes.substr(0, projectBytes.size() / 2));
    const std::string oldProject = s.Write("gammal.vtx", "<vorantel_project type=\"cd\"><cont");
    const std::string layoutBytes = TemporaryFolder::ReadFile(
        std::string(VT_TEST_DATA) + "/vtlayout/paper_two_pages.vtlayout");
    const std::string changingLayout = s.Write("andras.vtlayout", layoutBytes);
    const std::string noLayout = s.Write("ingen.vtlayout", "<inte en layout");
    const std::string offSheet = s.Write("utanfor.vtlayout",
        TemporaryFolder::ReadFile(std::string(VT_TEST_DATA) + "/vtlayout/off_sheet.vtlayout"));
    std::unique_ptr<Program> first;
    const unsigned long xid = StartOn(project, first);
    ASSERT_NE(xid, 0u);
    const std::string title = "Begäran kunde inte utföras";
    // An alert that waits for the user: a refused start's.
    ForgetAlert(s.rects);
    {
        Program refused({ "-addtext", s.dir + "/saknas.txt" }, From(s, "refused"));
        EXPECT_EQ(refused.Wait(15000), 1);
    }
    ASSERT_EQ(AlertText(s.rects), title + "\nDet gick inte att hitta filen ”saknas.txt”.\n");
    const std::string broken
        = "Bilden ”trunc.png” kan inte läsas in: Det gick inte att läsa in bilden.";
    const std::string damaged = "Det gick inte att läsa in projektfilen ”trasig.vtproj”: "
                                "Projektfilen är skadad eller ofullständig och kan inte öppnas.";
    const struct {
        std::vector<std::string> args;
        std::string why, name;
    } refusedAtOnce[] = {
        { { "-addtext", t2, "-addimage", cut }, broken, "cut-behind-an-alert" },
        { { "-addtext", t5, "-open", damagedProject }, damaged, "damaged-project" },
        { { damagedProject }, damaged, "lone-damaged-project" },
        { { "-open", oldProject },
            "Det gick inte att läsa in projektfilen ”gammal.vtx”: Det gick inte att tolka filen.",
            "old-project-not-parsed" },
        { { "-addtext", t5, "-custom", noLayout },
            "Det gick inte att läsa etikettlayouten ”ingen.vtlayout”: Filen är inte en "
            "voranteletikettlayout.",
            "no-layout" },
        { { offSheet },
            "Det gick inte att läsa etikettlayouten ”utanfor.vtlayout”: Det gick inte att läsa "
            "etikettlayoutmallens position.",
            "lone-layout-off-the-sheet" },
    };
    for (const auto& c : refusedAtOnce) {
        SCOPED_TRACE(c.name);
        Program later(c.args, From(s, c.name));
        EXPECT_EQ(later.Wait(30000), 1);
        EXPECT_EQ(later.Errors(), "vorantel: " + c.why + "\n");
    }
    const std::string waits = "vorantel: Begäran väntar tills ”" + title
        + "” i Vorantel har stängts och utförs sedan. Hur det gick visas i Vorantel.\n";
    // The four start side by side: each, told that it waits, then waits two seconds for an
    // outcome that may come soon after (the sender's patience), and one after the other they
    // spent eight seconds on that alone. Each is told on its own whatever the others are told.
    const std::pair<std::vector<std::string>, const char*> waiting[] = {
        { { "-addtext", t3, "-addimage", good }, "whole-behind-an-alert" },
        { { "-addtext", t4, "-addimage", changing }, "breaks-while-waiting" },
        { { "-addtext", t6, "-open", changingProject }, "project-breaks-while-waiting" },
        { { "-addtext", t6, "-custom", changingLayout }, "layout-breaks-while-waiting" },
    };
    std::vector<std::unique_ptr<Program>> laters;
    for (const auto& [args, name] : waiting)
        laters.push_back(std::make_unique<Program>(args, From(s, name)));
    for (size_t i = 0; i < laters.size(); ++i) {
        SCOPED_TRACE(waiting[i].second);
        EXPECT_EQ(laters[i]->Wait(30000), 2);
        EXPECT_EQ(laters[i]->Errors(), waits);
    }
    ScreenShot("starts-behind-an-alert", kShots);
    s.Write("andras.png", whole.substr(0, 100000));
    s.Write("andras.vtproj", projectBytes.substr(0, projectBytes.size() / 2));
    s.Write("andras.vtlayout", "ändrad");
    ASSERT_TRUE(ClickAlertButton(s.rects, "OK"));
    // The refusals and the failures, each in an alert of its own, in any order.
    std::vector<std::string> told, expected;
    for (const auto& c : refusedAtOnce)
        expected.push_back(title + "\n" + c.why + "\n");
    for (size_t i = 0; i < std::size(refusedAtOnce) + 3; ++i) {
        told.push_back(AlertText(s.rects, 30000));
        ScreenShot("told-after-the-alert-" + std::to_string(i), kShots);
        ASSERT_TRUE(ClickAlertButton(s.rects, "OK")) << told.back();
    }
    expected.insert(expected.end(),
        { title + "\nBilden ”andras.png” kan inte läsas in: Det gick inte att läsa in bilden.\n",
            title
                + "\nDet gick inte att läsa in projektfilen ”andras.vtproj”: Projektfilen är "
                  "skadad eller ofullständig och kan inte öppnas.\n",
            title
                + "\nDet gick inte att läsa etikettlayouten ”andras.vtlayout”: Filen är inte en "
                  "voranteletikettlayout.\n" });
    std::sort(told.begin(), told.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(told, expected);
    EXPECT_EQ(AlertText(s.rects, 1000), "");
    // Nothing of the starts that failed was done: the project is the one open, and holds only
    // what the whole start added.
    EXPECT_EQ(Caption(xid).rfind(kCaption + " - skiva.vtproj", 0), 0u) << Caption(xid);
    ASSERT_TRUE(SaveInPlace(xid, project));
    const std::vector<std::string> texts = SavedTexts(project);
    EXPECT_EQ(Count(texts, "andra"), 0u);
    EXPECT_EQ(Count(texts, "tredje"), 1u);
    EXPECT_EQ(Count(texts, "fjärde"), 0u);
    EXPECT_EQ(Count(texts, "femte"), 0u);
    EXPECT_EQ(Count(texts, "sjätte"), 0u);
    EXPECT_EQ(SavedPictures(project), pictures + 1);
    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(first->Wait(10000), 0);
}

// Names that are not UTF-8 (Latin-1 here, legal on Linux) in what the window shows: the bad byte
// becomes U+FFFD and the program's own Swedish around it reads as written, in an alert for a
// missing file, in the refusal of a file where a request belongs and in the caption of a
// project opened by a later start. The asker's standard error keeps the name's own bytes.
TEST(RequestOutcomes, NamesThatAreNotUtf8LeaveTheTextAroundThemAlone)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    const std::string project = SaveMarked(s.dir + "/skiva.vtproj", "start");
    const std::string song = SaveMarked(s.dir + "/s\xE5ng.vtproj", "sång");
    const std::string text = s.Write("t.txt", "text");
    std::unique_ptr<Program> first;
    const unsigned long xid = StartOn(project, first);
    ASSERT_NE(xid, 0u);
    const std::string bad = "\xEF\xBF\xBD";
    const std::string title = "Begäran kunde inte utföras";
    const struct {
        std::vector<std::string> args;
        std::string told, shown, shot;
    } refused[] = {
        { { "-addtext", s.dir + "/f\xE5r.txt" }, "Det gick inte att hitta filen ”f\xE5r.txt”.",
            "Det gick inte att hitta filen ”f" + bad + "r.txt”.", "latin1-missing" },
        { { "-addtext", text, "b\xE4r.vtproj" },
            "Filen ”b\xE4r.vtproj” står där en begäran ska stå. Ange den efter en begäran, till "
            "exempel -open eller -addimage.",
            "Filen ”b" + bad
                + "r.vtproj” står där en begäran ska stå. Ange den efter en begäran, till "
                  "exempel -open eller -addimage.",
            "latin1-in-place-of-a-request" },
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.shot);
        ForgetAlert(s.rects);
        Program later(c.args, From(s, c.shot));
        EXPECT_EQ(later.Wait(15000), 1);
        EXPECT_EQ(later.Errors(), "vorantel: " + c.told + "\n");
        EXPECT_EQ(AlertText(s.rects), title + "\n" + c.shown + "\n");
        ScreenShot(c.shot, kShots);
        EXPECT_TRUE(ClickAlertButton(s.rects, "OK"));
    }
    {
        Program later({ "-open", song }, From(s, "latin1-project"));
        EXPECT_EQ(later.Wait(15000), 0) << later.Errors();
    }
    EXPECT_TRUE(WaitCaption(xid, kCaption + " - s" + bad + "ng.vtproj")) << Caption(xid);
    ScreenShot("latin1-caption", kShots);
    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(first->Wait(10000), 0);
}

// An old project whose pictures are gone opens, with a warning: the start that asked is carried
// out (status 0) and prints the warning on standard error; with a text added after it, both are
// done. The window shows the warning as opening the project there would.
TEST(RequestOutcomes, AWarningIsToldAsAWarning)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    const std::string project = SaveMarked(s.dir + "/skiva.vtproj", "start");
    const std::string old = s.Write("gammal.vtx",
        "<vorantel_project type=\"cd\"><container type=\"disc\"><element type=\"image\" "
        "w=\"1000\" h=\"1000\" img=\"borta.png\"/></container></vorantel_project>");
    const std::string text = s.Write("t.txt", "efter");
    std::unique_ptr<Program> first;
    const unsigned long xid = StartOn(project, first);
    ASSERT_NE(xid, 0u);
    const std::string warning = "Projektfilen ”gammal.vtx” lästes in med en varning: Det gick "
                                "inte att läsa in en överlagringsbild korrekt:\n”borta.png” (Det "
                                "gick inte att hitta filen.)";
    for (bool withText : { false, true }) {
        SCOPED_TRACE(withText);
        ForgetAlert(s.rects);
        std::vector<std::string> args { "-open", old };
        if (withText)
            args.insert(args.end(), { "-addtext", text });
        Program later(args, From(s, "warned"));
        EXPECT_EQ(later.Wait(15000), 0);
        EXPECT_EQ(later.Errors(), "vorantel: " + warning + "\n");
        EXPECT_EQ(AlertText(s.rects),
            "Laddar projekt\nDet gick inte att läsa in en överlagringsbild korrekt:\n”borta.png” "
            "(Det gick inte att hitta filen.)\n");
        ScreenShot(withText ? "warning-and-text" : "warning", kShots);
        EXPECT_TRUE(ClickAlertButton(s.rects, "OK"));
        EXPECT_TRUE(WaitCaption(xid, kCaption + " - gammal.vtproj"));
    }
    // The text went into the old project (now unsaved work under its new name).
    const std::string saved = s.dir + "/gammal.vtproj";
    ASSERT_FALSE(Exists(saved));
    KeysTo(xid, "ctrl+s");
    ASSERT_TRUE(WaitFile(saved));
    EXPECT_TRUE(WaitFor([&] { return Count(SavedTexts(saved), "efter") == 1; }, 10000, 200));
    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(first->Wait(10000), 0);
}

// A thousand requests in one start: the window answers pings between them (its longest wait
// bounded by the same window's longest wait while idle), a start that comes meanwhile waits for
// them and is carried out (not told that it waits for a dialog), and a start that waits for a
// word no longer than half the time the start takes (two seconds at most) is kept informed until
// the outcome, seconds later, and is not told "no answer". Every text is in the saved project.
TEST(RequestOutcomes, AThousandRequestsLeaveTheWindowAnswering)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    const std::string project = SaveMarked(s.dir + "/skiva.vtproj", "start");
    // Lines enough that the thousand requests take seconds on a fast machine too.
    std::string lines;
    for (int i = 0; i < 40; ++i)
        lines += "liten rad nummer " + std::to_string(i) + "\n";
    const std::string text = s.Write("liten.txt", lines);
    const std::string meanwhile = s.Write("under.txt", "under tiden");
    std::unique_ptr<Program> first;
    const unsigned long xid = StartOn(project, first);
    ASSERT_NE(xid, 0u);
    XServerView view;
    ASSERT_TRUE(view.Ok());
    view.WaitSettled(xid);
    const double idle = view.LongestPingWhile(
        xid, [] { Sleep(3000); }, 20);

    // The arguments of a start of count requests of the file.
    std::vector<std::string> args;
    std::vector<const char*> argv;
    auto requests = [&](int count, const std::string& file) {
        args.assign(1, "vorantel");
        for (int i = 0; i < count; ++i)
            args.insert(args.end(), { "-addtext", file });
        argv.clear();
        for (const std::string& a : args)
            argv.push_back(a.c_str());
    };
    // How long a hundred requests take on this machine now: the sender of the thousand (the
    // most a start may make) is given a patience the start outlasts, however fast the machine.
    const int probe = 100;
    requests(probe, text);
    const auto probeStart = Clock::now();
    {
        LSingleInstance later;
        ASSERT_EQ(later.Start(int(argv.size()), argv.data(), nullptr), LSingleInstance::kDelivered);
        const LSingleInstance::Answer probed = later.WaitAnswer(60000, 2000);
        ASSERT_EQ(probed.state, LSingleInstance::Answer::kDone) << probed.text;
    }
    const long long probeMs = std::max<long long>(1, Ms(Clock::now() - probeStart));
    const int count = 1000;
    // The sender's patience: half the time the thousand should take here, so that the start
    // outlasts it (the program tells a waiting sender again every second: never below 1.2 s).
    const unsigned silence
        = unsigned(std::clamp<long long>(count / probe * probeMs / 2, 1200, 2000));
    requests(count, text);
    LSingleInstance::Answer answer;
    int other = -1;
    std::string otherErrors;
    long long took = 0;
    const double busy = view.LongestPingWhile(
        xid,
        [&] {
            const auto start = Clock::now();
            LSingleInstance later;
            ASSERT_EQ(
                later.Start(int(argv.size()), argv.data(), nullptr), LSingleInstance::kDelivered);
            Program small({ "-addtext", meanwhile }, From(s, "meanwhile"));
            answer = later.WaitAnswer(silence, 2000);
            took = Ms(Clock::now() - start);
            other = small.Wait(60000);
            otherErrors = small.Errors();
        },
        20);
    std::printf("%d requests took %lld ms here; longest unanswered ping: idle %.1f ms, during "
                "%d requests %.1f ms (%lld ms in all, the sender's patience %u ms)\n",
        probe, probeMs, idle, count, busy, took, silence);
    EXPECT_EQ(answer.state, LSingleInstance::Answer::kDone) << answer.text;
    EXPECT_GT(took, silence) << "the work was too quick to show that the start was kept informed";
    EXPECT_EQ(other, 0);
    EXPECT_EQ(otherErrors, "");
    // Input is answered between requests: the longest wait stays within some times the idle
    // window's (a start carried out in one go held the window for the whole of it, seconds).
    EXPECT_LT(busy, 30 * idle + 250);
    ASSERT_TRUE(SaveInPlace(xid, project));
    const std::vector<std::string> texts = SavedTexts(project);
    EXPECT_EQ(Count(texts, lines), size_t(probe + count));
    EXPECT_EQ(Count(texts, "under tiden"), 1u);
    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(first->Wait(10000), 0);
}

// A thousand connections to the program's socket that send nothing do not keep the user's own
// start out: it is carried out at once (not "no answer" after the connections' time is up).
TEST(RequestOutcomes, IdleConnectionsDoNotKeepAStartOut)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    const std::string text = s.Write("t.txt", "igenom");
    const std::string project = SaveMarked(s.dir + "/skiva.vtproj", "start");
    std::unique_ptr<Program> first;
    const unsigned long xid = StartOn(project, first);
    ASSERT_NE(xid, 0u);
    struct rlimit limit = {};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    const struct rlimit saved = limit;
    limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 4096);
    ::setrlimit(RLIMIT_NOFILE, &limit);
    std::vector<int> idle;
    for (int i = 0; i < 1000; ++i) {
        LNamedPipeRef pipe;
        if (pipe._Open("Vorantel") >= 0)
            idle.push_back(pipe.Detach());
    }
    EXPECT_GE(idle.size(), 900u);
    {
        const auto start = Clock::now();
        Program later({ "-addtext", text }, From(s, "through"));
        EXPECT_EQ(later.Wait(30000), 0) << later.Errors();
        EXPECT_EQ(later.Errors(), "");
        std::printf(
            "a start through 1000 idle connections took %lld ms\n", Ms(Clock::now() - start));
    }
    for (int fd : idle)
        ::close(fd);
    ::setrlimit(RLIMIT_NOFILE, &saved);
    ASSERT_TRUE(SaveInPlace(xid, project));
    EXPECT_EQ(Count(SavedTexts(project), "igenom"), 1u);
    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(first->Wait(10000), 0);
}

// A later start hands its request over without the toolkit: with no display to open (and no
// session bus to reach) it is carried out all the same. Several files from a launcher are called
// files, not requests.
TEST(RequestOutcomes, ALaterStartNeedsNoDisplayAndFilesAreCalledFiles)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    const std::string text = s.Write("t.txt", "utan skärm");
    const std::string project = SaveMarked(s.dir + "/skiva.vtproj", "start");
    const std::string other = SaveMarked(s.dir + "/andra.vtproj", "andra");
    std::unique_ptr<Program> first;
    const unsigned long xid = StartOn(project, first);
    ASSERT_NE(xid, 0u);
    {
        EnvironmentScope env;
        env.Set("DISPLAY", "");
        env.Set("WAYLAND_DISPLAY", "");
        env.Set("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + s.dir + "/ingen-buss");
        Program later({ "-addtext", text }, From(s, "no-display"));
        EXPECT_EQ(later.Wait(15000), 0);
        EXPECT_EQ(later.Errors(), "");
    }
    {
        ForgetAlert(s.rects);
        Program later({ project, other }, From(s, "two-files"));
        const std::string why = "Vorantel öppnar en fil i taget men fick 2 filer: ”skiva.vtproj”, "
                                "”andra.vtproj”.";
        EXPECT_EQ(later.Wait(15000), 1);
        EXPECT_EQ(later.Errors(), "vorantel: " + why + "\n");
        EXPECT_EQ(AlertText(s.rects), "Begäran kunde inte utföras\n" + why + "\n");
        ScreenShot("two-files-from-a-launcher", kShots);
        EXPECT_TRUE(ClickAlertButton(s.rects, "OK"));
    }
    ASSERT_TRUE(SaveInPlace(xid, project));
    EXPECT_EQ(Count(SavedTexts(project), "utan skärm"), 1u);
    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(first->Wait(10000), 0);
}

// With no runtime folder (an ssh or su session), another local user who made the folder the
// channel once lived in (in the temporary folder) first changes nothing: a later start goes to
// the running program, and there is one window. When the program's own folder cannot be had (here
// another user made it first), it says so, once, on standard error and in an alert, rather than
// silently running as a second program.
TEST(RequestOutcomes, AnotherUserCannotSwitchOffTheOneProgramRule)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs a second user: folders are made as another user by root only";
    Session s;
    TemporaryFolder temporary, cache;
    s.Set("XDG_RUNTIME_DIR", "");
    s.Set("TMPDIR", temporary.Path());
    s.Set("XDG_CACHE_HOME", cache.Path());
    const uid_t nobody = 65534;
    const std::string theirs = temporary / ("vorantel-" + std::to_string(::getuid()));
    ASSERT_EQ(::mkdir(theirs.c_str(), 0700), 0);
    ASSERT_EQ(::chown(theirs.c_str(), nobody, nobody), 0);
    const std::string text = s.Write("t.txt", "en kanal");
    const std::string project = SaveMarked(s.dir + "/skiva.vtproj", "start");
    {
        std::unique_ptr<Program> first;
        const unsigned long xid = StartOn(project, first);
        ASSERT_NE(xid, 0u);
        Program later({ "-addtext", text }, From(s, "second"));
        EXPECT_EQ(later.Wait(15000), 0) << later.Errors();
        EXPECT_EQ(MainWindows(), 1u);
        ASSERT_TRUE(SaveInPlace(xid, project));
        EXPECT_EQ(Count(SavedTexts(project), "en kanal"), 1u);
        KeysTo(xid, "ctrl+q");
        EXPECT_EQ(first->Wait(10000), 0);
    }
    // The program's own folder made first by the other user.
    char host[65] = "";
    ::gethostname(host, sizeof host - 1);
    const std::string own = cache.Path() + "/vorantel/run-" + host;
    ASSERT_TRUE(Exists(own));
    ASSERT_EQ(Shell("rm -rf " + Quote(own) + " && mkdir -m 700 " + Quote(own) + " && chown "
                  + std::to_string(nobody) + " " + Quote(own) + " && echo ok"),
        "ok");
    ForgetAlert(s.rects);
    Program alone({ project }, s.Capture("alone"));
    const std::string why = "Vorantel kan inte se om programmet redan körs: Mappen ”" + own
        + "” tillhör en annan användare. Därför startar Vorantel nu som ett eget program, även om "
          "ett annat redan är öppet.";
    EXPECT_EQ(AlertText(s.rects, 15000), "Vorantel\n" + why + "\n");
    ScreenShot("no-channel-told", kShots);
    EXPECT_TRUE(ClickAlertButton(s.rects, "OK"));
    EXPECT_EQ(alone.Errors().substr(0, why.size() + 11), "vorantel: " + why + "\n");
    const unsigned long xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(alone.Wait(10000), 0);
    ::chown(own.c_str(), 0, 0);
}
