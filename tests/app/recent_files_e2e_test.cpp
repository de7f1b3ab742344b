// Arkiv > "Senaste filer" through the whole program: the built `vorantel` on the test's X server
// (and once more under openbox, VT_WINDOW_MANAGER), its menus driven by keys, its alerts read and
// answered with clicks, the list read back from the settings the program wrote. A file that is gone
// is told once and leaves the list; an autosave the program reopens never enters it. Each test has
// settings and data folders of its own. Screenshots are kept in <build>/e2e-recent-files.
#include "lfw/gen/LFile.h"
#include "support/E2eSession.h"
#include "support/PrivateHomes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace e2e;

namespace {

const char* const kShots = "e2e-recent-files";

std::vector<std::string> RecentFiles()
{
    std::vector<std::string> slots;
    for (int i = 0; i < 10; ++i) {
        LStringLongTemplate<char> value;
        _LUserSettingGetString("RecentFileList", ("File" + std::to_string(i)).c_str(), "", value);
        slots.push_back(value.c_str());
    }
    return slots;
}

// The list once its first slots are these (the program writes it after what it shows), or as it
// is after a while.
std::vector<std::string> WaitRecentFiles(const std::vector<std::string>& first)
{
    std::vector<std::string> now;
    WaitFor(
        [&] {
            now = RecentFiles();
            return std::equal(first.begin(), first.end(), now.begin());
        },
        5000, 100);
    return now;
}

} // namespace

// The second entry's file was removed: choosing it tells so in one alert, and the entry is gone
// from the list (not moved to the top); the first entry stays first and opens without a word.
TEST(RecentFiles, AFileThatIsGoneIsToldOnceAndDropped)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    PrivateHomes homes;
    Session s;
    const std::string project = SaveMarked(s.dir + "/skiva.vtproj", "start");
    const std::string gone = SaveMarked(s.dir + "/borta.vtproj", "borta");
    LUserSettingSetString("RecentFileList", "File0", project.c_str());
    LUserSettingSetString("RecentFileList", "File1", gone.c_str());
    ASSERT_EQ(::unlink(gone.c_str()), 0);
    Program program({}, s.Capture("first"));
    const unsigned long xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    // Arkiv (the second menu) from its foot: "Senaste filer", its second entry.
    EXPECT_EQ(KeysForAlert(s.rects, xid, "F10 Right Up Right Down Return"),
        "Laddar projekt\nDet gick inte att hitta filen.\n");
    Shot("gone-told", kShots);
    ASSERT_TRUE(ClickAlertButton(s.rects, "Fortsätt"));
    EXPECT_EQ(AlertText(s.rects, 1000), "") << "told more than once";
    EXPECT_EQ(WaitRecentFiles({ project, "" }),
        (std::vector<std::string> { project, "", "", "", "", "", "", "", "", "" }));
    EXPECT_EQ(Caption(xid), kCaption);
    // The first entry is still the project, and opens.
    KeysTo(xid, "F10 Right Up Right Return");
    EXPECT_TRUE(WaitCaption(xid, kCaption + " - skiva.vtproj")) << Caption(xid);
    EXPECT_EQ(AlertText(s.rects, 500), "");
    Shot("first-opened", kShots);
    EXPECT_EQ(RecentFiles()[0], project);
    KeysTo(xid, "ctrl+q");
    EXPECT_EQ(program.Wait(10000), 0);
}

// An autosave reopened from the offer at start ("Öppna den") is unsaved work, not a file of the
// user's: it never enters the list, which stays as it was.
TEST(RecentFiles, AnAutosaveNeverEntersTheList)
{
    if (!HasTools())
        GTEST_SKIP() << "no display or no xdotool";
    PrivateHomes homes;
    Session s;
    const std::string project = SaveMarked(s.dir + "/skiva.vtproj", "start");
    const std::string data = LFile::GetUserDataFolderAppPath();
    ASSERT_FALSE(data.empty());
    const std::string autosave = SaveMarked(data + "/skiva_autosave.vtproj", "räddad");
    LUserSettingSetString("RecentFileList", "File0", project.c_str());
    LUserSettingSetString("AutoSave", "FileName", autosave.c_str());
    Program program({}, s.Capture("first"));
    const unsigned long xid = WaitMainWindow();
    ASSERT_NE(xid, 0u);
    EXPECT_EQ(AlertText(s.rects, 15000),
        "Projektet sparas automatiskt\nDet finns ett automatiskt sparat projekt. Vill du öppna "
        "den?\n");
    ASSERT_TRUE(ClickAlertButton(s.rects, "Öppna_den"));
    EXPECT_TRUE(WaitFor([&] { return Caption(xid).rfind(kCaption + " - ", 0) == 0; }, 8000, 100))
        << Caption(xid);
    Shot("autosave-reopened", kShots);
    // Time for the list to be written, were it written.
    Sleep(500);
    EXPECT_EQ(
        RecentFiles(), (std::vector<std::string> { project, "", "", "", "", "", "", "", "", "" }));
    // Reopened work is unsaved: the quit asks, and is not saved.
    ASSERT_TRUE(AskToQuit(s, xid));
    ASSERT_TRUE(ClickAlertButton(s.rects, "Spara_inte"));
    EXPECT_EQ(program.Wait(10000), 0);
}
