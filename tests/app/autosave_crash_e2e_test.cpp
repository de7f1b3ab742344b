// A crash at the one moment an autosave is whole on the disk but no setting names it yet: the
// built `vorantel` makes its real autosave (three ticks of its autosave timer after an edit, the
// ticks a second apart here) and is killed (SIGKILL) after the file is in place, while its write
// of the setting waits for the settings' lock the test holds. The next start offers that
// autosave; the project keeps its name and saves to its own file. Runs on the bare server only.
#include "app/VTAutoSaveFiles.h"
#include "lfw/gen/LUserSettings.h"
#include "platform/prefs/Prefs.h"
#include "support/AutoSaveFiles.h"
#include "support/E2eSession.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

using namespace e2e;

TEST(AutosaveCrash, AnAutosaveTheRunDiedBeforeNamingIsOffered)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    Session s;
    const std::string project = SaveMarked(s.dir + "/opened.vtproj", "förr");
    const std::string text = s.Write("t.txt", "nytt");
    const std::string autosave = VTAutoSaveFolder() + "opened_autosave.vtproj";
    // The first run's autosave timer ticks every second, not every 20: its autosave comes two
    // to three seconds after the edit, well after the lock below is taken. The next start ticks
    // as a user's does.
    std::unique_ptr<Program> program;
    unsigned long xid = StartOn(project, program, 1000);
    ASSERT_NE(xid, 0u);
    Program add({ "-addtext", text });
    ASSERT_EQ(add.Wait(15000), 0);

    // Every write of the settings waits (some seconds) for this lock: the setting that would
    // name the autosave is not written while the file is being put in place.
    const std::string lock = platform::prefs::StorePath(LSettingGetApplicationDomain()) + ".lock";
    const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    const bool written = WaitFor([&] { return Exists(autosave); }, 120000, 5);
    ::kill(program->Pid(), SIGKILL);
    EXPECT_EQ(program->Wait(8000), 128 + SIGKILL);
    program.reset();
    ::close(fd);
    ASSERT_TRUE(written) << "no autosave";
    LStringLongTemplate<char> named;
    _LUserSettingGetString("AutoSave", "FileName", "", named);
    ASSERT_EQ(std::string(named.c_str()), "") << "killed too late";

    ForgetAlert(s.rects);
    program = std::make_unique<Program>(std::vector<std::string> {});
    EXPECT_EQ(AlertHeadline(s.rects, 15000), "Onormalt avslut upptäckt");
    ASSERT_TRUE(ClickAlertButton(s.rects, "Något_annat"));
    xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    EXPECT_EQ(AlertText(s.rects),
        "Projektet sparas automatiskt\nDet finns ett automatiskt sparat projekt. Vill du öppna "
        "den?\n");
    Shot("crash-autosave-offered", "e2e-files");
    ASSERT_TRUE(ClickAlertButton(s.rects, "Öppna_den"));
    EXPECT_TRUE(WaitCaption(xid, kCaption + " - opened.vtproj")) << Caption(xid);
    ASSERT_TRUE(SaveInPlace(xid, project));
    EXPECT_EQ(Count(SavedTexts(project), "nytt"), 1u);
    EXPECT_FALSE(Exists(autosave));
    EXPECT_EQ(autosaves::Left(), std::vector<std::string> {});
    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(program->Wait(8000), 0);
}
