// Recovered work through the whole program, as a person meets it after a crash: the built
// `vorantel` killed (SIGKILL) and started again on the test's X server, the recovery offer
// answered with real clicks (xdotool), Ctrl+S and Ctrl+Q as keys. An autosave is offered until
// its work is saved, whether or not a setting names it, the project keeps its name and saves to
// its own file, and nothing is left in the data folder. Screenshots are kept in
// <build>/e2e-files. Runs once more under openbox (VT_WINDOW_MANAGER) and at a backing scale of 2
// (VT_ALSO_SCALED).
#include "app/VTAutoSaveFiles.h"
#include "lfw/gen/LUserSettings.h"
#include "support/AutoSaveFiles.h"
#include "support/E2eSession.h"
#include "support/ProjectTestSupport.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace e2e;

namespace {

const char* const kShots = "e2e-files";
const std::string kOffer = "Projektet sparas automatiskt\nDet finns ett automatiskt sparat "
                           "projekt. Vill du öppna den?\n";

// The sample project with a text that tells it apart, autosaved at the path as an autosave of
// the project at origin.
std::string SaveAutoSave(const std::string& path, const std::string& origin, const char* mark)
{
    auto project = sample::MakeProject();
    sample::Text(*project->templates.GetAt(0), mark, 0, 0);
    return autosaves::Write(*project, path, origin);
}

std::string Named()
{
    LStringLongTemplate<char> value;
    _LUserSettingGetString("AutoSave", "FileName", "", value);
    return value.c_str();
}

// Kills the program as a crash would.
void Crash(std::unique_ptr<Program>& program)
{
    ::kill(program->Pid(), SIGKILL);
    EXPECT_EQ(program->Wait(8000), 128 + SIGKILL);
    program.reset();
}

// A start that offers the autosave: "Öppna den" clicked; the main window. After a crash the
// start first asks about it ("Något annat" answered).
unsigned long StartAndReopen(
    Session& s, std::unique_ptr<Program>& program, const char* shot, bool crashed = false)
{
    ForgetAlert(s.rects);
    program = std::make_unique<Program>(std::vector<std::string> {});
    if (crashed) {
        EXPECT_EQ(AlertHeadline(s.rects, 15000), "Onormalt avslut upptäckt");
        EXPECT_TRUE(ClickAlertButton(s.rects, "Något_annat"));
    }
    const unsigned long xid = WaitMainWindow();
    EXPECT_NE(xid, 0u);
    EXPECT_EQ(AlertText(s.rects), kOffer);
    Shot(shot, kShots);
    EXPECT_TRUE(ClickAlertButton(s.rects, "Öppna_den"));
    return xid;
}

} // namespace

// The autosave of an opened project, reopened: still offered after a second crash before the
// next autosave, under the project's own name; Ctrl+S then saves to the project's file without
// asking where, the autosave goes and Ctrl+Q ends without a question.
TEST(RecoveredWork, StaysOfferedThroughASecondCrashAndSavesToItsFile)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    const std::string project = SaveMarked(s.dir + "/opened.vtproj", "förr");
    autosaves::MakeOlder(project, 600);
    const std::string autosave
        = SaveAutoSave(VTAutoSaveFolder() + "opened_autosave.vtproj", project, "senare");
    LUserSettingSetString("AutoSave", "FileName", autosave.c_str());

    std::unique_ptr<Program> program;
    unsigned long xid = StartAndReopen(s, program, "recovered-first");
    EXPECT_TRUE(WaitCaption(xid, kCaption + " - opened.vtproj")) << Caption(xid);
    EXPECT_EQ(Named(), autosave);
    Crash(program);

    xid = StartAndReopen(s, program, "recovered-again", true);
    EXPECT_TRUE(WaitCaption(xid, kCaption + " - opened.vtproj")) << Caption(xid);
    ASSERT_TRUE(SaveInPlace(xid, project));
    EXPECT_FALSE(WindowShows("Spara projekt"));
    Shot("recovered-saved", kShots);
    const std::vector<std::string> texts = SavedTexts(project);
    EXPECT_EQ(Count(texts, "senare"), 1u);
    EXPECT_EQ(Count(texts, "förr"), 0u);
    EXPECT_EQ(autosaves::Left(), std::vector<std::string> {});
    EXPECT_EQ(Named(), "");
    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(program->Wait(8000), 0);
}

// Autosaves no setting names (the run died before it could name one): the newest is offered, one
// whose project was saved since goes unasked. A never-saved project keeps its name and is saved
// where the user says.
TEST(RecoveredWork, AnAutosaveNoSettingNamesIsOffered)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    const std::string saved = SaveMarked(s.dir + "/sparad.vtproj", "sparad");
    const std::string outdated
        = SaveAutoSave(VTAutoSaveFolder() + "sparad_autosave.vtproj", saved, "gammal");
    autosaves::MakeOlder(outdated, 300);
    SaveMarked(saved, "sparad igen");
    const std::string untitled
        = SaveAutoSave(VTAutoSaveFolder() + "Untitled_1_autosave.vtproj", "Namnlöst.vtproj", "ny");
    autosaves::MakeOlder(untitled, 60);
    ASSERT_EQ(Named(), "");

    std::unique_ptr<Program> program;
    const unsigned long xid = StartAndReopen(s, program, "unnamed-offered");
    EXPECT_TRUE(WaitCaption(xid, kCaption + " - Namnlöst.vtproj")) << Caption(xid);
    EXPECT_FALSE(Exists(outdated));
    EXPECT_EQ(Named(), untitled);

    const std::string path = s.dir + "/ny.vtproj";
    KeysTo(xid, "ctrl+s");
    ASSERT_TRUE(TypeIntoFilePanel("Spara projekt", path));
    EXPECT_TRUE(WaitCaption(xid, kCaption + " - ny.vtproj", 15000)) << Caption(xid);
    EXPECT_EQ(Count(SavedTexts(path), "ny"), 1u);
    EXPECT_EQ(autosaves::Left(), std::vector<std::string> {});
    EXPECT_EQ(Named(), "");
    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(program->Wait(8000), 0);
}
