// The built `vorantel` keeping the work where the disk or another program stands in its way: its
// autosaves onto a full disk are told once and, at the end of the session, on standard error; a
// project file another program replaced is not overwritten unasked; and the end's autosave of a
// project of 200,000 texts is on the disk before a SIGKILL a second after the SIGTERM.
#include "app/VTAutoSaveFiles.h"
#include "support/E2eSession.h"
#include "support/ProcessStatus.h"
#include "support/SmallDisk.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// After the test framework and the program's headers: Xlib's names would stand for numbers in
// them.
#include "support/E2ePrinting.h"

using namespace e2e;

namespace {

// An edit of the open project, as a second start passes it on.
void AddText(Session& s, const std::string& text)
{
    Program add({ "-addtext", s.Write(text + ".txt", text) });
    EXPECT_EQ(add.Wait(60000 * kSlowdown), 0);
    Sleep(300);
}

} // namespace

// The data folder on a disk of 2 MB that a project of 20,000 texts (some 7 MB) does not fit:
// the first autosave that fails says why and that the work is not kept automatically, later
// ones say nothing more, and the end of the session says it on standard error.
TEST(DiskAndChangedFile, AutosavesOntoAFullDiskAreTold)
{
    ASSERT_TRUE(HasTools()) << "no display or no xdotool";
    Session s;
    smalldisk::Folder disk("2m");
    ASSERT_TRUE(disk.mounted) << "no mount namespace to be had";
    const std::string project = OldProjectOfTexts(s.dir + "/texter.vtx", 20000);
    s.Set("XDG_DATA_HOME", disk.folder.Path());
    std::unique_ptr<Program> program;
    {
        EnvironmentScope ticks;
        ticks.Set("VT_TEST_AUTOSAVE_TICK_MS", "300");
        program = std::make_unique<Program>(std::vector<std::string> { project }, s.Capture("run"));
    }
    const unsigned long xid = WaitMainWindow(60000 * kSlowdown);
    ASSERT_TRUE(xid && WaitCaption(xid, kCaption + " - texter.vtproj", 60000 * kSlowdown));
    ForgetAlert(s.rects);
    AddText(s, "nytt");
    EXPECT_EQ(AlertText(s.rects, 30000 * kSlowdown),
        "Projektet sparas inte automatiskt\nDisken är full, så ”texter_autosave.vtproj” kunde "
        "inte sparas. Ändringarna sparas inte automatiskt förrän det går igen; spara projektet "
        "för att behålla dem.\n");
    Shot("autosave-on-a-full-disk", "e2e-disk-and-changed-file");
    ASSERT_TRUE(ClickAlertButton(s.rects, "OK"));
    ForgetAlert(s.rects);
    // More edits and some autosaves later (three ticks each), nothing more is said.
    AddText(s, "mer");
    Sleep(3000);
    EXPECT_FALSE(Exists(s.rects + ".alert")) << AlertText(s.rects, 0);

    ::kill(program->Pid(), SIGTERM);
    EXPECT_EQ(program->Wait(30000 * kSlowdown), 0);
    EXPECT_NE(program->Errors().find("vorantel: Projektet ”texter.vtproj” sparades inte "
                                     "automatiskt. Disken är full, så ”texter_autosave.vtproj” "
                                     "kunde inte sparas."),
        std::string::npos)
        << program->Errors();
}

// Another program moves a different project over the open one's file: Ctrl+S asks, Return keeps
// that file, "Ersätt" replaces it; saved by the program, the file is its own again and Ctrl+S
// asks nothing.
TEST(DiskAndChangedFile, AFileAnotherProgramReplacedIsNotOverwrittenUnasked)
{
    ASSERT_TRUE(HasTools()) << "no display or no xdotool";
    Session s;
    const std::string project = SaveMarked(s.dir + "/p.vtproj", "förr");
    const std::string other = SaveMarked(s.dir + "/annat.vtproj", "annat");
    const std::string others = TemporaryFolder::ReadFile(other);
    std::unique_ptr<Program> program;
    const unsigned long xid = StartOn(project, program);
    ASSERT_NE(xid, 0u);
    AddText(s, "nytt");
    ASSERT_EQ(::rename(other.c_str(), project.c_str()), 0);

    const std::string asked = "Filen har ändrats\nFilen ”p.vtproj” har ändrats av ett annat "
                              "program sedan projektet öppnades eller sparades. Vill du ersätta "
                              "den med projektet?\n";
    EXPECT_EQ(KeysForAlert(s.rects, xid, "ctrl+s"), asked);
    Shot("changed-file-asked", "e2e-disk-and-changed-file");
    Keys("Return");
    EXPECT_TRUE(WaitFor(MainWindowAlone, 8000, 50));
    EXPECT_TRUE(TemporaryFolder::ReadFile(project) == others)
        << "the other program's file was replaced";

    EXPECT_EQ(KeysForAlert(s.rects, xid, "ctrl+s"), asked);
    ASSERT_TRUE(ClickAlertButton(s.rects, "Ersätt"));
    EXPECT_TRUE(WaitFor([&] { return Count(SavedTexts(project), "nytt") == 1; }, 15000, 100));

    ForgetAlert(s.rects);
    AddText(s, "sist");
    EXPECT_TRUE(SaveInPlace(xid, project));
    EXPECT_EQ(Count(SavedTexts(project), "sist"), 1u);
    EXPECT_FALSE(Exists(s.rects + ".alert"));
    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(program->Wait(15000), 0);
}

// SIGTERM on unsaved work of 200,000 texts (a 77 MB file), SIGKILL a second later: the end's
// autosave is whole on the disk, edit included.
TEST(DiskAndChangedFile, TheEndsAutosaveIsWrittenBeforeAKillASecondLater)
{
    ASSERT_TRUE(HasTools()) << "no display or no xdotool";
    Session s;
    const std::string project = OldProjectOfTexts(s.dir + "/stor.vtx", 200000);
    Program::Options o;
    o.folder = s.dir;
    auto program = std::make_unique<Program>(std::vector<std::string> { project }, o);
    const unsigned long xid = WaitMainWindow(60000 * kSlowdown);
    ASSERT_TRUE(xid && WaitCaption(xid, kCaption + " - stor.vtproj", 180000 * kSlowdown));
    WaitProcessQuiet(program->Pid(), 180000 * kSlowdown);
    AddText(s, "nytt");
    WaitProcessQuiet(program->Pid(), 60000 * kSlowdown);

    const std::string autosave = VTAutoSaveFolder() + "stor_autosave.vtproj";
    ::kill(program->Pid(), SIGTERM);
    const auto sent = Clock::now();
    const bool written = WaitFor([&] { return Exists(autosave); }, 1000 * kSlowdown, 5);
    std::printf("The end's autosave of 200,000 texts: %s after %lld ms\n",
        written ? "written" : "not written", (long long)Ms(Clock::now() - sent));
    const int status = program->Wait(1000 * kSlowdown);
    if (status == -1)
        ::kill(program->Pid(), SIGKILL);
    program->Wait(60000 * kSlowdown);
    program.reset();
    ASSERT_TRUE(Exists(autosave)) << "no autosave after a SIGKILL a second after the SIGTERM";
    const std::vector<std::string> texts = SavedTexts(autosave);
    EXPECT_EQ(texts.size(), 200001u);
    EXPECT_EQ(Count(texts, "nytt"), 1u);

    ::unlink(autosave.c_str());
}
