// The X server going away under the built `vorantel` (ended by a log-out before any signal comes,
// or killed): the program writes the autosave of the unsaved work before it ends, also while a
// dialog is open, and the next start, on another display, offers it without asking about an
// abnormal end. The program's first run goes on an X server of the test's own (Xvfb, managed by
// openbox), which the test then ends; the next start goes on the test's display. Screenshots are
// kept in <build>/e2e-files.
#include "app/VTAutoSaveFiles.h"
#include "lfw/gen/LUserSettings.h"
#include "support/AutoSaveFiles.h"
#include "support/DialogRectangles.h"
#include "support/E2eSession.h"
#include "support/OwnXServer.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

using namespace e2e;

namespace {

const char* const kShots = "e2e-files";

std::string Named()
{
    LStringLongTemplate<char> value;
    _LUserSettingGetString("AutoSave", "FileName", "", value);
    return value.c_str();
}

// One run of the program on a project on an X server of its own, the edit made by a second start
// (-addtext); the test then ends the server.
struct RunOnOwnServer {
    RunOnOwnServer(Session& s, const std::string& project, const char* text, int tickMs)
        : server(s.dir)
    {
        if (server.Display().empty())
            return;
        display.Set("DISPLAY", server.Display());
        wm = std::make_unique<ownx::WindowManager>();
        xid = StartOn(project, program, tickMs);
        if (!xid)
            return;
        Program add({ "-addtext", s.Write(std::string(text) + ".txt", text) });
        edited = add.Wait(15000 * kSlowdown) == 0;
    }
    // Ends the server: the program's exit status.
    int EndServer()
    {
        const auto ended = Clock::now();
        EXPECT_TRUE(server.Kill()) << "the X server did not end";
        const int status = program->Wait(15000 * kSlowdown);
        std::cout << "status " << status << " after " << Ms(Clock::now() - ended) << " ms\n";
        program.reset();
        return status;
    }

    ownx::XServer server;
    EnvironmentScope display;
    std::unique_ptr<ownx::WindowManager> wm;
    std::unique_ptr<Program> program;
    unsigned long xid = 0;
    bool edited = false;
};

// The next start, on the test's display: the offer comes first (no question about the last
// run's end), "Öppna den" reopens the work, Ctrl+S saves it into the project's file.
void ReopenAndSave(Session& s, const std::string& project, const char* shot)
{
    ForgetAlert(s.rects);
    Program program(std::vector<std::string> {});
    const unsigned long xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    EXPECT_EQ(AlertText(s.rects, 15000 * kSlowdown),
        "Projektet sparas automatiskt\nDet finns ett automatiskt sparat projekt. Vill du öppna "
        "den?\n");
    Shot(shot, kShots);
    ASSERT_TRUE(ClickAlertButton(s.rects, "Öppna_den"));
    EXPECT_TRUE(WaitCaption(xid, kCaption + " - opened.vtproj")) << Caption(xid);
    ASSERT_TRUE(SaveInPlace(xid, project));
    EXPECT_EQ(autosaves::Left(), std::vector<std::string> {});
    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(program.Wait(8000 * kSlowdown), 0);
}

} // namespace

// An edit a moment old, long before any autosave, when the X server ends: it is autosaved.
TEST(XServerEnd, AnEditYoungerThanAnyAutosaveIsKept)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    const std::string project = SaveMarked(s.dir + "/opened.vtproj", "förr");
    const std::string autosave = VTAutoSaveFolder() + "opened_autosave.vtproj";
    {
        RunOnOwnServer run(s, project, "ny", 0);
        ASSERT_FALSE(run.server.Display().empty()) << "no X server";
        ASSERT_NE(run.xid, 0u);
        ASSERT_TRUE(run.edited);
        Shot("x-server-end-edited", kShots);
        ASSERT_EQ(autosaves::Left(), std::vector<std::string> {});
        EXPECT_EQ(run.EndServer(), 1);
    }
    EXPECT_EQ(Named(), autosave);
    EXPECT_EQ(Count(SavedTexts(autosave), "ny"), 1u);
    ReopenAndSave(s, project, "x-server-end-offered");
    EXPECT_EQ(Count(SavedTexts(project), "ny"), 1u);
}

// The options dialog opened after an edit and left open: the work is autosaved on its period all
// the same, and offered after the X server has gone.
TEST(XServerEnd, ADialogLeftOpenStopsNoAutosave)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    const std::string project = SaveMarked(s.dir + "/opened.vtproj", "förr");
    const std::string autosave = VTAutoSaveFolder() + "opened_autosave.vtproj";
    {
        // Ticks of two seconds, not of 20: the autosave comes four to six seconds after the edit.
        const int tickMs = 2000 * kSlowdown;
        RunOnOwnServer run(s, project, "dialog", tickMs);
        ASSERT_FALSE(run.server.Display().empty()) << "no X server";
        ASSERT_NE(run.xid, 0u);
        ASSERT_TRUE(run.edited);
        KeysTo(run.xid, "ctrl+shift+o");
        const std::string title = "Vorantel Inställningar";
        ASSERT_NE(WaitDialogWindow(s.rects, title), 0u) << "no options dialog";
        ASSERT_EQ(autosaves::Left(), std::vector<std::string> {}) << "autosaved before the dialog";
        // Several periods (three ticks each).
        const bool named = WaitFor([&] { return Named() == autosave; }, 4 * 3 * tickMs, 50);
        Shot("x-server-end-dialog", kShots);
        EXPECT_TRUE(WindowShows(title));
        EXPECT_TRUE(named) << "no autosave while the dialog was open";
        EXPECT_EQ(run.EndServer(), 1);
    }
    EXPECT_EQ(Named(), autosave);
    EXPECT_EQ(Count(SavedTexts(autosave), "dialog"), 1u);
    ReopenAndSave(s, project, "x-server-end-dialog-offered");
    EXPECT_EQ(Count(SavedTexts(project), "dialog"), 1u);
}
