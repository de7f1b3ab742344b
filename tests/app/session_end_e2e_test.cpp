// The end of the desktop session as the built `vorantel` meets it: a signal sent with kill(2)
// (SIGTERM at log-out or shut-down, SIGHUP when the terminal goes, SIGINT from Ctrl+C) ends it at
// once, without a question and with status 0, whatever is open, and the unsaved work is offered
// at the next start: an autosave is written first when the work changed since the last one, the
// autosave and the setting naming it stay, and the project's own file is not touched. Edits come
// from a second start (-addtext), the offer is answered with real clicks (xdotool). Screenshots
// are kept in <build>/e2e-files.
#include "app/VTAutoSaveFiles.h"
#include "lfw/gen/LUserSettings.h"
#include "support/AutoSaveFiles.h"
#include "support/DialogRectangles.h"
#include "support/E2eSession.h"
#include "support/OwnXServer.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace e2e;

namespace {

const char* const kShots = "e2e-files";
const std::string kOffer = "Projektet sparas automatiskt\nDet finns ett automatiskt sparat "
                           "projekt. Vill du öppna den?\n";

std::string Named()
{
    LStringLongTemplate<char> value;
    _LUserSettingGetString("AutoSave", "FileName", "", value);
    return value.c_str();
}

// When the file was last written, to the nanosecond (a rewrite also puts a new file there).
std::string Written(const std::string& path)
{
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0)
        return "";
    return std::to_string(st.st_ino) + ":" + std::to_string(st.st_mtim.tv_sec) + "."
        + std::to_string(st.st_mtim.tv_nsec);
}

// The text added to the open project by a second start, as a person's edit.
void AddText(Session& s, const char* text)
{
    Program add({ "-addtext", s.Write(std::string(text) + ".txt", text) });
    ASSERT_EQ(add.Wait(15000 * kSlowdown), 0) << text;
}

// The signal sent as the desktop sends it: the exit status.
int SendSignal(std::unique_ptr<Program>& program, int signal)
{
    ::kill(program->Pid(), signal);
    const int status = program->Wait(15000 * kSlowdown);
    program.reset();
    return status;
}

// A start that offers an autosave, without asking about an abnormal end first; "Öppna den" is
// clicked and the caption waited for. The main window.
unsigned long StartAndReopen(Session& s, std::unique_ptr<Program>& program, const char* shot)
{
    ForgetAlert(s.rects);
    program = std::make_unique<Program>(std::vector<std::string> {});
    const unsigned long xid = WaitMainWindow();
    EXPECT_NE(xid, 0u);
    EXPECT_EQ(AlertText(s.rects, 15000), kOffer);
    Shot(shot, kShots);
    EXPECT_TRUE(ClickAlertButton(s.rects, "Öppna_den"));
    EXPECT_TRUE(WaitCaption(xid, kCaption + " - opened.vtproj")) << Caption(xid);
    return xid;
}

// The reopened work saved with Ctrl+S into the project's file, the program quit with Ctrl+Q:
// nothing is left in the data folder.
void SaveAndQuit(std::unique_ptr<Program>& program, unsigned long xid, const std::string& project)
{
    EXPECT_TRUE(SaveInPlace(xid, project));
    EXPECT_EQ(autosaves::Left(), std::vector<std::string> {});
    EXPECT_EQ(Named(), "");
    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(program->Wait(8000 * kSlowdown), 0);
}

} // namespace

// SIGTERM after an autosave: it ends with 0 and the autosave stays, named; after a start that
// reopened it and changed nothing it is not written again; after an edit younger than the last
// autosave (SIGINT this time) the autosave holds that edit too. The project's file
// stays as it was, and the last start offers the whole work, which Ctrl+S then saves.
TEST(SessionEnd, TheAutosaveStaysAndTakesTheYoungerEdits)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    const std::string project = SaveMarked(s.dir + "/opened.vtproj", "förr");
    const std::string original = TemporaryFolder::ReadFile(project);
    const std::string autosave = VTAutoSaveFolder() + "opened_autosave.vtproj";
    std::unique_ptr<Program> program;
    // Three ticks of a second each, not of 20: the autosave comes soon after the edit.
    unsigned long xid = StartOn(project, program, 1000);
    ASSERT_NE(xid, 0u);
    AddText(s, "först");
    ASSERT_TRUE(WaitFor([&] { return Named() == autosave; }, 60000 * kSlowdown, 50))
        << "no autosave";
    EXPECT_EQ(SendSignal(program, SIGTERM), 0);
    EXPECT_EQ(Named(), autosave);
    EXPECT_EQ(Count(SavedTexts(autosave), "först"), 1u);
    EXPECT_EQ(TemporaryFolder::ReadFile(project), original);

    // Reopened and ended at once (long before an autosave of its own): the same autosave, not
    // written again, still named.
    const std::string before = Written(autosave);
    xid = StartAndReopen(s, program, "session-end-offered");
    EXPECT_EQ(SendSignal(program, SIGTERM), 0);
    EXPECT_EQ(Written(autosave), before) << "written again, unchanged";
    EXPECT_EQ(Named(), autosave);

    // Reopened, an edit, and at once SIGINT: the edit is in the autosave.
    xid = StartAndReopen(s, program, "session-end-offered-again");
    AddText(s, "sedan");
    EXPECT_EQ(SendSignal(program, SIGINT), 0);
    EXPECT_EQ(Named(), autosave);
    std::vector<std::string> texts = SavedTexts(autosave);
    EXPECT_EQ(Count(texts, "först"), 1u);
    EXPECT_EQ(Count(texts, "sedan"), 1u);
    EXPECT_EQ(TemporaryFolder::ReadFile(project), original);

    xid = StartAndReopen(s, program, "session-end-offered-last");
    SaveAndQuit(program, xid, project);
    texts = SavedTexts(project);
    EXPECT_EQ(Count(texts, "förr"), 1u);
    EXPECT_EQ(Count(texts, "först"), 1u);
    EXPECT_EQ(Count(texts, "sedan"), 1u);
}

// SIGHUP a moment after the first edit, long before the first autosave: the work is autosaved by
// the end itself and offered at the next start.
TEST(SessionEnd, AnEditYoungerThanAnyAutosaveIsKept)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    const std::string project = SaveMarked(s.dir + "/opened.vtproj", "förr");
    const std::string original = TemporaryFolder::ReadFile(project);
    std::unique_ptr<Program> program;
    unsigned long xid = StartOn(project, program);
    ASSERT_NE(xid, 0u);
    AddText(s, "ny");
    ASSERT_EQ(autosaves::Left(), std::vector<std::string> {});
    EXPECT_EQ(SendSignal(program, SIGHUP), 0);
    const std::string autosave = VTAutoSaveFolder() + "opened_autosave.vtproj";
    EXPECT_EQ(Named(), autosave);
    EXPECT_EQ(Count(SavedTexts(autosave), "ny"), 1u);
    EXPECT_EQ(TemporaryFolder::ReadFile(project), original);

    xid = StartAndReopen(s, program, "session-end-hangup-offered");
    SaveAndQuit(program, xid, project);
    EXPECT_EQ(Count(SavedTexts(project), "ny"), 1u);
}

// SIGTERM while the menu of a pull-down list is open in a dialog (the options dialog's
// "Enheter", opened by a click): the program ends cleanly with 0, and the work is kept.
TEST(SessionEnd, AnOpenListMenuEndsCleanly)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    const std::string project = SaveMarked(s.dir + "/opened.vtproj", "förr");
    std::unique_ptr<Program> program;
    unsigned long xid = StartOn(project, program);
    ASSERT_NE(xid, 0u);
    AddText(s, "meny");
    KeysTo(xid, "ctrl+shift+o");
    const std::string title = "Vorantel Inställningar";
    const unsigned long dialog = WaitDialogWindow(s.rects, title);
    ASSERT_NE(dialog, 0u) << "no options dialog";
    // Both pages looked at by their tabs, the first one again last: the places of the pages'
    // controls are written anew (the other page's list 9601 then among them) once the tabs have
    // placed the pages.
    const std::map<int, XRect> tabs = DialogTabs(s.rects, dialog);
    ASSERT_EQ(tabs.size(), 2u);
    const auto click = [&](const XRect& r) {
        Shell("xdotool mousemove --sync --window " + std::to_string(dialog) + " "
            + std::to_string(r.x + r.width / 2) + " " + std::to_string(r.y + r.height / 2)
            + " click 1 2>/dev/null");
    };
    click(tabs.at(1));
    ASSERT_TRUE(WaitFor([&] { return DialogControls(s.rects, dialog).count(9601); }, 8000, 50));
    click(tabs.at(0));
    // The menu is a window of its own, without a name.
    const auto unnamed = [] {
        const std::vector<std::string> names = WindowNames();
        return std::count(names.begin(), names.end(), std::string());
    };
    const long before = unnamed();
    click(DialogControls(s.rects, dialog).at(8604));
    ASSERT_TRUE(WaitFor([&] { return unnamed() > before; }, 8000, 20)) << "no menu";
    Shot("session-end-list-menu", kShots);
    EXPECT_EQ(SendSignal(program, SIGTERM), 0);
    const std::string autosave = VTAutoSaveFolder() + "opened_autosave.vtproj";
    EXPECT_EQ(Named(), autosave);
    EXPECT_EQ(Count(SavedTexts(autosave), "meny"), 1u);

    xid = StartAndReopen(s, program, "session-end-menu-offered");
    SaveAndQuit(program, xid, project);
}

// Under openbox, SIGTERM while GTK's print panel is open (a run the quitting cannot end at once)
// and SIGKILL a second later, as a desktop ends a program slow to end at log-out: the edit is
// autosaved before anything else of the quitting, and offered at the next start.
TEST(SessionEnd, TheWorkIsKeptBeforeTheQuitWaitsForAnything)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    ownx::WindowManager wm;
    if (!wm.Runs())
        GTEST_SKIP() << "no openbox";
    Session s;
    const std::string project = SaveMarked(s.dir + "/opened.vtproj", "förr");
    const std::string autosave = VTAutoSaveFolder() + "opened_autosave.vtproj";
    std::unique_ptr<Program> program;
    unsigned long xid = StartOn(project, program);
    ASSERT_NE(xid, 0u);
    AddText(s, "utskrift");
    KeysTo(xid, "ctrl+p");
    // "Skriv ut", the preview's default button.
    ASSERT_TRUE(WaitKeysGoTo("Förhandsgranska", 15000 * kSlowdown)) << "no preview";
    Keys("Return");
    ASSERT_TRUE(WaitWindowNamed("Print", 15000 * kSlowdown)) << "no print panel";
    Shot("session-end-print-panel", kShots);
    ASSERT_EQ(Named(), "");

    const auto sent = Clock::now();
    ::kill(program->Pid(), SIGTERM);
    const bool named = WaitFor([&] { return Named() == autosave; }, 1000, 2);
    const long long keptMs = Ms(Clock::now() - sent);
    int status = program->Wait(int(std::max(0LL, 1000 - Ms(Clock::now() - sent))));
    const long long endedMs = Ms(Clock::now() - sent);
    if (status == -1) {
        ::kill(program->Pid(), SIGKILL);
        status = program->Wait(8000 * kSlowdown);
    }
    program.reset();
    std::cout << "autosave named after " << keptMs << " ms; status " << status << " after "
              << endedMs << " ms\n";
    ASSERT_TRUE(named) << "no autosave a second after the signal";
    EXPECT_EQ(Count(SavedTexts(autosave), "utskrift"), 1u);

    // Killed, the run could not tell that it ended: the next start asks about it first.
    if (status == 128 + SIGKILL) {
        ForgetAlert(s.rects);
        program = std::make_unique<Program>(std::vector<std::string> {});
        EXPECT_EQ(AlertHeadline(s.rects, 15000), "Onormalt avslut upptäckt");
        ASSERT_TRUE(ClickAlertButton(s.rects, "Något_annat"));
        xid = WaitMainWindow();
        ASSERT_NE(xid, 0u);
        EXPECT_EQ(AlertText(s.rects, 15000), kOffer);
        Shot("session-end-print-offered", kShots);
        ASSERT_TRUE(ClickAlertButton(s.rects, "Öppna_den"));
        EXPECT_TRUE(WaitCaption(xid, kCaption + " - opened.vtproj")) << Caption(xid);
    } else {
        xid = StartAndReopen(s, program, "session-end-print-offered");
    }
    SaveAndQuit(program, xid, project);
    EXPECT_EQ(Count(SavedTexts(project), "utskrift"), 1u);
}
