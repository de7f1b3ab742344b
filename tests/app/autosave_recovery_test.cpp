// Autosaves as the next start finds them: the file names the project it was made of, the start
// offers the newest autosave whether a setting names it or not and removes those the project's
// file has overtaken, a reopened autosave goes on in its own file, and saved or replaced work
// leaves nothing behind in the data folder.
#include "app/VTAutoSaveFiles.h"
#include "app/VTOverlayText.h"
#include "app/VTProjectFile.h"
#include "lfw/gen/LSDF.h"
#include "support/AutoSaveFiles.h"
#include "support/CommandOutput.h"
#include "support/ProjectTestSupport.h"
#include "support/ProjectViewerTestSupport.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace pvtest;

namespace {

class AutoSaveRecovery : public WindowTest { };

// The texts of a project file's first design.
std::vector<std::string> Texts(const std::string& path)
{
    VTProject project;
    VTProjectLoad load;
    load.project = &project;
    snprintf(load.path, sizeof load.path, "%s", path.c_str());
    LProcessInterfaceVoid quiet;
    EXPECT_EQ(Process(quiet, load), LProcessResultSuccess) << path;
    std::vector<std::string> texts;
    if (project.templates.GetCount() > 0)
        for (VTOverlay* o = project.templates.GetAt(0)->first; o; o = o->next)
            if (auto* text = dynamic_cast<VTOverlayText*>(o))
                texts.emplace_back(text->GetText());
    return texts;
}

// An autosave of a CD project with one text, its time seconds before now.
std::string WriteAutoSave(const std::string& path, const std::string& origin, int secondsAgo,
    const char* text = "autosparad")
{
    auto project = NewCDProject();
    sample::Text(*project->templates.GetAt(0), text, 0, 0);
    autosaves::Write(*project, path, origin);
    autosaves::MakeOlder(path, secondsAgo);
    return path;
}

} // namespace

// The autosave names the project's path first in the project chunk (id 4, a string), whole
// however long; a project the user saves names none; the autosave opens as any project.
TEST_F(AutoSaveRecovery, AnAutosaveNamesItsProject)
{
    TemporaryFolder work;
    std::string folder = work.Path();
    while (folder.size() < 400)
        folder += "/en mapp med ett långt namn";
    ASSERT_TRUE(LFile::CreateFolderTree(folder.c_str()));
    const std::string origin = folder + "/skiva.vtproj";
    Fixture f;
    f.project->SetPath(origin.c_str());
    f.viewer.AddOverlayText("Ändrad");
    Tick(f.viewer, 3);
    const std::string autosave = Setting("AutoSave", "FileName");
    ASSERT_EQ(autosave, DataFolder() + "skiva_autosave.vtproj");
    std::string stamp = "x";
    EXPECT_EQ(VTProjectReadAutoSaveOrigin(autosave.c_str(), &stamp), origin);
    EXPECT_EQ(stamp, ""); // the project has no file yet

    // The bytes: file header (12), root header (12), project header (12), then the first child.
    const std::string bytes = TemporaryFolder::ReadFile(autosave);
    ASSERT_GT(bytes.size(), 48 + origin.size());
    const auto u16 = [&](size_t at) {
        return unsigned(uint8_t(bytes[at])) | unsigned(uint8_t(bytes[at + 1])) << 8;
    };
    EXPECT_EQ(u16(24), 1u); // the project
    EXPECT_EQ(u16(36), 4u);
    EXPECT_EQ(u16(38), unsigned(kLSDFTypeString));
    EXPECT_EQ(uint8_t(bytes[40]) | uint8_t(bytes[41]) << 8, int(origin.size() + 1));
    EXPECT_EQ(bytes.substr(48, origin.size() + 1), origin + std::string(1, '\0'));

    EXPECT_EQ(Texts(autosave), std::vector<std::string> { "Ändrad" });
    // With its file: when that file was written, as the next autosave found it.
    TemporaryFolder::WriteFile(origin, "x");
    autosaves::MakeOlder(origin, 90);
    f.viewer.AddOverlayText("Igen");
    Tick(f.viewer, 3);
    EXPECT_EQ(VTProjectReadAutoSaveOrigin(autosave.c_str(), &stamp), origin);
    // The file's time to the nanosecond, as stat(1) tells it.
    EXPECT_EQ(stamp + "\n", CommandOutput("stat -c %.9Y '" + origin + "'"));
    EXPECT_EQ(stamp, VTProjectFileStamp(origin.c_str()));
    EXPECT_EQ(f.project->GetSaveState(), VTProjectSaveStateModified);
    EXPECT_STREQ(f.project->GetPath(), origin.c_str());

    // Saved by the user: no origin in the file.
    VTProjectSave save;
    save.project = f.project.get();
    save.leaveProjectUnchanged = true;
    snprintf(save.path, sizeof save.path, "%s", (work.Path() + "/kopia.vtproj").c_str());
    LProcessInterfaceVoid quiet;
    ASSERT_EQ(Process(quiet, save), LProcessResultSuccess);
    EXPECT_EQ(VTProjectReadAutoSaveOrigin(save.path), "");
    EXPECT_EQ(VTProjectReadAutoSaveOrigin((work.Path() + "/saknas.vtproj").c_str()), "");
    f.viewer.SetProject(nullptr);

    // A project never saved names its name alone.
    Fixture untitled;
    untitled.viewer.AddOverlayText("Ny");
    Tick(untitled.viewer, 3);
    EXPECT_EQ(
        VTProjectReadAutoSaveOrigin(Setting("AutoSave", "FileName").c_str()), "Namnlöst.vtproj");
}

// Saved work needs its autosave no more: a save removes it and the setting, also while an
// autosave is being written (it does not put the file back afterwards).
TEST_F(AutoSaveRecovery, ASaveRemovesTheAutosave)
{
    TemporaryFolder work;
    const std::string path = work.Path() + "/skiva.vtproj";
    Fixture f;
    f.project->SetPath(path.c_str());
    f.viewer.AddOverlayText("Ändrad");
    Tick(f.viewer, 3);
    const std::string autosave = Setting("AutoSave", "FileName");
    ASSERT_TRUE(Exists(autosave));
    VTProjectSave save;
    save.project = f.project.get();
    snprintf(save.path, sizeof save.path, "%s", path.c_str());
    LProcessInterfaceVoid quiet;
    ASSERT_EQ(Process(quiet, save), LProcessResultSuccess);
    EXPECT_FALSE(Exists(autosave));
    EXPECT_EQ(Setting("AutoSave", "FileName"), "");

    // Changed again, with a picture that takes a moment to write, saved while it is written.
    LImageBuffer picture;
    sample::MakePicture(picture, 2000, 1500, 3);
    f.viewer.AddOverlayImage(picture, "stor.png");
    for (int i = 0; i < 3; ++i)
        f.viewer.EvTimer(kVTProjectViewerAutoSaveTimer);
    ASSERT_TRUE(f.viewer.IsAutoSaving());
    ASSERT_EQ(Process(quiet, save), LProcessResultSuccess);
    EXPECT_FALSE(f.viewer.IsAutoSaving());
    EXPECT_TRUE(uitest::PumpUntilIdle());
    EXPECT_EQ(autosaves::Left(), std::vector<std::string> {});
    EXPECT_EQ(Setting("AutoSave", "FileName"), "");

    // Changed after the save: autosaved again.
    f.viewer.AddOverlayText("Igen");
    Tick(f.viewer, 3);
    EXPECT_EQ(Setting("AutoSave", "FileName"), autosave);
    EXPECT_TRUE(Exists(autosave));
    f.viewer.SetProject(nullptr);
    EXPECT_EQ(autosaves::Left(), std::vector<std::string> {});
}

// The end of the session while an autosave is being written (a picture that takes a moment):
// that one is abandoned and the work written at once, though nothing changed since it began;
// closed afterwards, the project leaves the autosave and the setting for the next start. Ended
// again with nothing changed, nothing is written.
TEST_F(AutoSaveRecovery, TheSessionsEndKeepsTheWorkWrittenAtOnce)
{
    TemporaryFolder work;
    const std::string path = work.Path() + "/skiva.vtproj";
    auto f = std::make_unique<Fixture>();
    f->project->SetPath(path.c_str());
    LImageBuffer picture;
    sample::MakePicture(picture, 2000, 1500, 3);
    f->viewer.AddOverlayImage(picture, "stor.png");
    f->viewer.AddOverlayText("Sist");
    for (int i = 0; i < 3; ++i)
        f->viewer.EvTimer(kVTProjectViewerAutoSaveTimer);
    ASSERT_TRUE(f->viewer.IsAutoSaving());
    f->viewer.KeepAutoSave();
    EXPECT_FALSE(f->viewer.IsAutoSaving());
    const std::string autosave = DataFolder() + "skiva_autosave.vtproj";
    struct stat first { };
    ASSERT_EQ(stat(autosave.c_str(), &first), 0);
    f->viewer.KeepAutoSave();
    struct stat again { };
    ASSERT_EQ(stat(autosave.c_str(), &again), 0);
    EXPECT_EQ(again.st_ino, first.st_ino) << "written again, unchanged";
    f->viewer.SetProject(nullptr);
    EXPECT_EQ(Setting("AutoSave", "FileName"), autosave);
    EXPECT_EQ(Texts(autosave), std::vector<std::string> { "Sist" });
    EXPECT_EQ(VTProjectReadAutoSaveOrigin(autosave.c_str()), path);
    EXPECT_FALSE(Exists(path));
    f.reset();
    EXPECT_EQ(autosaves::Left(), std::vector<std::string> { "skiva_autosave.vtproj" });
    ASSERT_EQ(unlink(autosave.c_str()), 0);
    LUserSettingSetString("AutoSave", "FileName", "");
}

// A reopened autosave's project autosaves into that same file (not "_2"), so the setting goes on
// naming it; closed, the file goes.
TEST_F(AutoSaveRecovery, AReopenedAutosaveGoesOnInItsOwnFile)
{
    TemporaryFolder work;
    const std::string origin = work.Path() + "/opened.vtproj";
    const std::string autosave
        = WriteAutoSave(DataFolder() + "opened_autosave.vtproj", origin, 60, "förr");
    LUserSettingSetString("AutoSave", "FileName", autosave.c_str());
    Fixture f(false);
    f.project->SetPath(origin.c_str());
    f.project->SetSaveState(VTProjectSaveStateModified);
    f.viewer.SetProject(f.project.get());
    f.viewer.AddOverlayText("senare");
    Tick(f.viewer, 3);
    EXPECT_EQ(Setting("AutoSave", "FileName"), autosave);
    EXPECT_EQ(autosaves::Left(), std::vector<std::string> { "opened_autosave.vtproj" });
    EXPECT_EQ(Texts(autosave), std::vector<std::string> { "senare" });
    EXPECT_EQ(VTProjectReadAutoSaveOrigin(autosave.c_str()), origin);
    f.viewer.SetProject(nullptr);
    EXPECT_EQ(autosaves::Left(), std::vector<std::string> {});
    EXPECT_EQ(Setting("AutoSave", "FileName"), "");
}

// The autosave the start offered and the user left ("Kassera den") is named until an autosave
// of this run replaces it: then it goes, and its name is free for this run's autosave.
TEST_F(AutoSaveRecovery, ALaterAutosaveReplacesTheOneLeft)
{
    TemporaryFolder work;
    for (const char* left : { "annan_autosave.vtproj", "skiva_autosave.vtproj" }) {
        SCOPED_TRACE(left);
        const std::string earlier
            = WriteAutoSave(DataFolder() + left, work.Path() + "/x.vtproj", 60, "förr");
        LUserSettingSetString("AutoSave", "FileName", earlier.c_str());
        Fixture f;
        f.project->SetPath((work.Path() + "/skiva.vtproj").c_str());
        f.viewer.AddOverlayText("nu");
        EXPECT_EQ(Setting("AutoSave", "FileName"), earlier);
        Tick(f.viewer, 3);
        const std::string now = Setting("AutoSave", "FileName");
        EXPECT_EQ(now, DataFolder() + "skiva_autosave.vtproj");
        EXPECT_EQ(autosaves::Left(), std::vector<std::string> { "skiva_autosave.vtproj" });
        EXPECT_EQ(Texts(now), std::vector<std::string> { "nu" });
        f.viewer.SetProject(nullptr);
        EXPECT_EQ(autosaves::Left(), std::vector<std::string> {});
    }
}

// An autosave the user opened as a project (from "Öppna..."): the project's own autosave
// replaces it in the setting but leaves the file, which is the project's.
TEST_F(AutoSaveRecovery, AnAutosaveOpenedAsAProjectIsNotReplaced)
{
    const std::string opened
        = WriteAutoSave(DataFolder() + "skiva_autosave.vtproj", "/x/skiva.vtproj", 60, "förr");
    LUserSettingSetString("AutoSave", "FileName", opened.c_str());
    Fixture f;
    f.project->SetPath(opened.c_str());
    f.viewer.AddOverlayText("nu");
    Tick(f.viewer, 3);
    EXPECT_EQ(Setting("AutoSave", "FileName"), DataFolder() + "skiva_autosave_autosave.vtproj");
    EXPECT_EQ(Texts(opened), std::vector<std::string> { "förr" });
    f.viewer.SetProject(nullptr);
    EXPECT_EQ(autosaves::Left(), std::vector<std::string> { "skiva_autosave.vtproj" });
}

// What the start offers: the newest of the named autosave and those no setting names. One whose
// project's file was written after it was made goes, judged on that file's own clock alone (a
// file dated ahead of the data folder's clock, as on another server, but not written since,
// keeps its autosave). Other files are left alone.
TEST_F(AutoSaveRecovery, TheStartOffersTheNewestAndRemovesOutdatedOnes)
{
    TemporaryFolder work;
    const std::string data = DataFolder();
    const auto project = [&](const char* name) {
        const std::string path = work.Path() + "/" + name;
        TemporaryFolder::WriteFile(path, "x");
        autosaves::MakeOlder(path, 600);
        return path;
    };
    const std::string kept = project("kept.vtproj");
    const std::string ahead = project("ahead.vtproj");
    autosaves::MakeOlder(ahead, -3600);
    const std::string overtaken = project("overtaken.vtproj");
    const std::string appeared = work.Path() + "/appeared.vtproj";
    const std::string named = WriteAutoSave(data + "kept_autosave.vtproj", kept, 300);
    const std::string notSince = WriteAutoSave(data + "ahead_autosave.vtproj", ahead, 400);
    const std::string outdated = WriteAutoSave(data + "overtaken_autosave.vtproj", overtaken, 30);
    const std::string saved = WriteAutoSave(data + "appeared_autosave.vtproj", appeared, 30);
    const std::string older = WriteAutoSave(data + "gammal_autosave.vtproj", "", 200);
    const std::string gone
        = WriteAutoSave(data + "gone_autosave.vtproj", work.Path() + "/gone.vtproj", 100);
    // Saved since: written again, or made where there was no file.
    autosaves::MakeOlder(overtaken, 20);
    TemporaryFolder::WriteFile(appeared, "x");
    // Not autosaves: a project, a temporary file and a folder.
    TemporaryFolder::WriteFile(data + "notes.vtproj", "x");
    TemporaryFolder::WriteFile(data + ".gone_autosave.vtproj.a1B2c3", "x");
    ASSERT_EQ(mkdir((data + "mapp_autosave.vtproj").c_str(), 0700), 0);

    VTAutoSaveFound found = VTAutoSaveFindToOffer(named);
    EXPECT_EQ(found.path, gone);
    EXPECT_EQ(found.origin, work.Path() + "/gone.vtproj");
    EXPECT_FALSE(Exists(outdated));
    EXPECT_FALSE(Exists(saved));
    for (const std::string& path : { named, notSince, older, gone, data + "notes.vtproj",
             data + ".gone_autosave.vtproj.a1B2c3", data + "mapp_autosave.vtproj" })
        EXPECT_TRUE(Exists(path)) << path;

    // Each in its turn, the newest first; an older autosave names no project.
    unlink(gone.c_str());
    found = VTAutoSaveFindToOffer(named);
    EXPECT_EQ(found.path, older);
    EXPECT_EQ(found.origin, "");
    unlink(older.c_str());
    found = VTAutoSaveFindToOffer(named);
    EXPECT_EQ(found.path, named);
    EXPECT_EQ(found.origin, kept);
    unlink(named.c_str());
    EXPECT_EQ(VTAutoSaveFindToOffer("").path, notSince);
    unlink(notSince.c_str());
    // The named one may lie outside the data folder; saved since, it goes too.
    const std::string elsewhere = WriteAutoSave(work.Path() + "/e_autosave.vtproj", kept, 600);
    EXPECT_EQ(VTAutoSaveFindToOffer(elsewhere).path, elsewhere);
    TemporaryFolder::WriteFile(kept, "saved");
    EXPECT_EQ(VTAutoSaveFindToOffer(elsewhere).path, "");
    EXPECT_FALSE(Exists(elsewhere));
    EXPECT_EQ(VTAutoSaveFindToOffer(work.Path() + "/missing_autosave.vtproj").path, "");
}

// Where a reopened autosave's project is saved.
TEST_F(AutoSaveRecovery, TheReopenedProjectsPath)
{
    TemporaryFolder work;
    const std::string origin = work.Path() + "/skiva.vtproj";
    EXPECT_EQ(VTAutoSaveProjectPath(origin), origin); // the file itself need not be there
    EXPECT_EQ(VTAutoSaveProjectPath(work.Path() + "/borta/skiva.vtproj"), "skiva.vtproj");
    EXPECT_EQ(VTAutoSaveProjectPath("Namnlöst.vtproj"), "Namnlöst.vtproj");
    EXPECT_EQ(VTAutoSaveProjectPath(""), "");
}
