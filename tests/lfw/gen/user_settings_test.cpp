#include "lfw/gen/LRecentFileList.h"
#include "lfw/gen/LUserSettings.h"
#include "platform/prefs/Prefs.h"
#include "support/TemporaryFolder.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// Each test gets its own configuration folder.
class UserSettings : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = TemporaryFolder::Base() + "/vt-settings-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        fHome = pattern;
        setenv("XDG_CONFIG_HOME", fHome.c_str(), 1);
    }
    void TearDown() override { system(("rm -rf '" + fHome + "'").c_str()); }

    static std::string Get(const char* section, const char* key)
    {
        char value[kLStringShortSize];
        _LUserSettingGetString(section, key, "<none>", value);
        return value;
    }

    std::string fHome;
};

} // namespace

TEST_F(UserSettings, FullKeyNames)
{
    char key[kLSettingKeySize];
    _LSettingGetFullKeyName(key, "A/", "b");
    EXPECT_STREQ(key, "A/b");
    _LSettingGetFullKeyName(key, "A", "b");
    EXPECT_STREQ(key, "A/b");
    _LSettingGetFullKeyName(key, "a/b/", "c");
    EXPECT_STREQ(key, "a/b/c");
    // Cut to 519 bytes, never inside a character.
    std::string longKey(300, 'k');
    _LSettingGetFullKeyName(key, std::string(216, 's').c_str(), (longKey + "ä").c_str());
    EXPECT_EQ(strlen(key), 519u); // exactly fits
    _LSettingGetFullKeyName(key, std::string(217, 's').c_str(), (longKey + "ä").c_str());
    EXPECT_EQ(strlen(key), 518u); // the "ä" would straddle the end: left out
}

TEST_F(UserSettings, StringsDefaultsAndTypedValues)
{
    char value[kLStringShortSize];
    EXPECT_FALSE(_LUserSettingGetString("Settings", "Missing", "standard", value));
    EXPECT_STREQ(value, "standard");
    LUserSettingSetString("Settings", "Name", "Skiva ä");
    EXPECT_TRUE(_LUserSettingGetString("Settings", "Name", "standard", value));
    EXPECT_STREQ(value, "Skiva ä");
    EXPECT_TRUE(LUserSettingTestExists("Settings", "Name"));
    EXPECT_TRUE(LUserSettingTestKeyFullPathExists(kLSettingsCurrentUser, "Settings/Name"));

    // Long values: cut to 259 bytes in a fixed buffer, whole in a long string.
    std::string longValue = std::string(258, 'x') + "ö" + "tail";
    LUserSettingSetString("Settings", "Long", longValue.c_str());
    EXPECT_TRUE(_LUserSettingGetString("Settings", "Long", "", value));
    EXPECT_EQ(std::string(value), std::string(258, 'x'));
    LStringLongTemplate<char> whole;
    EXPECT_TRUE(_LUserSettingGetString("Settings", "Long", "", whole));
    EXPECT_EQ(std::string(whole.c_str()), longValue);

    LUserSettingSetString("Settings", "Empty", "");
    LUserSettingSetString("Settings", "Mixed", "12abc");
    LUserSettingSetString("Settings", "Letters", "abc");
    LUserSettingSetString("Settings", "Big", "9000000000");
    LUserSettingSetString("Settings", "Fraction", "0.25");
    EXPECT_EQ(LUserSettingGet<int>("Settings", "Empty", 7), 7);
    EXPECT_EQ(LUserSettingGet<int>("Settings", "Missing", 7), 7);
    EXPECT_EQ(LUserSettingGet<int>("Settings", "Mixed", 7), 12);
    EXPECT_EQ(LUserSettingGet<int>("Settings", "Letters", 7), 0);
    EXPECT_EQ(LUserSettingGet<long>("Settings", "Big", 0), 9000000000L);
    EXPECT_DOUBLE_EQ(LUserSettingGet<double>("Settings", "Fraction", 1.0), 0.25);
    EXPECT_DOUBLE_EQ(LUserSettingGet<double>("Settings", "Empty", 1.5), 1.5);
}

TEST_F(UserSettings, NumbersReadTheSameUnderASwedishLocale)
{
    LUserSettingSetString("Settings", "Fraction", "0.5");
    const char* old = setlocale(LC_NUMERIC, nullptr);
    std::string saved = old ? old : "C";
    if (!setlocale(LC_NUMERIC, "sv_SE.UTF-8"))
        GTEST_SKIP() << "the Swedish locale is not installed";
    EXPECT_DOUBLE_EQ(LUserSettingGet<double>("Settings", "Fraction", 0), 0.5);
    setlocale(LC_NUMERIC, saved.c_str());
}

TEST_F(UserSettings, DeletingAKeyAlsoDeletesItsCompanion)
{
    LUserSettingSetString("S", "k", "1");
    LUserSettingSetString("S", "__k", "companion");
    LUserSettingSetString("S", "other", "2");
    LUserSettingDeleteItem("S", "k");
    EXPECT_FALSE(LUserSettingTestExists("S", "k"));
    EXPECT_FALSE(LUserSettingTestExists("S", "__k"));
    EXPECT_TRUE(LUserSettingTestExists("S", "other"));
    _LSettingDeleteItem(kLSettingsCurrentUser, "S", "other");
    EXPECT_FALSE(LUserSettingTestExists("S", "other"));
    LUserSettingDeleteItem("S", "never"); // nothing to delete: fine
}

TEST_F(UserSettings, KeyPathsAndOrderedEnumeration)
{
    char name[kLStringShortSize];
    _LSettingMakePrimaryKeyFromPath(name, "a/b/");
    EXPECT_STREQ(name, "b");
    _LSettingMakePrimaryKeyFromPath(name, "a/b/c");
    EXPECT_STREQ(name, "c");
    _LSettingMakePrimaryKeyFromPath(name, "plain");
    EXPECT_STREQ(name, "plain");

    EXPECT_TRUE(_LSettingMakeParentKeyPath(kLSettingsCurrentUser, "Tree/Branch/leaf"));
    EXPECT_EQ(Get("Tree", ""), "Tree");
    EXPECT_TRUE(LUserSettingTestKeyFullPathExists(kLSettingsCurrentUser, "Tree/Branch/"));
    char value[kLStringShortSize];
    _LSettingGetString(kLSettingsCurrentUser, "Tree/Branch/", "", "", value);
    EXPECT_STREQ(value, "Branch");
    EXPECT_FALSE(LUserSettingTestKeyFullPathExists(kLSettingsCurrentUser, "Tree/Branch/leaf/"));
    _LSettingMakeParentKeyPath(kLSettingsCurrentUser, "single");
    EXPECT_FALSE(LUserSettingTestKeyFullPathExists(kLSettingsCurrentUser, "single"));

    LUserSettingSetString("List/2", "x", "a");
    LUserSettingSetString("list/10", "y", "b");
    LUserSettingSetString("List/1/", "", "c"); // the key "List/1/" itself
    LUserSettingSetString("Other", "z", "d");
    std::vector<std::string> names;
    char after[kLStringShortSize] = "";
    while (_LSettingPlistGetNextKey(kLSettingsCurrentUser, "List/", after, name)) {
        names.push_back(name);
        strcpy(after, name);
    }
    EXPECT_EQ(names, (std::vector<std::string> { "1", "10", "2" }));
    EXPECT_FALSE(_LSettingPlistGetNextKey(kLSettingsCurrentUser, "Nothing/", "", name));
    EXPECT_STREQ(name, "");
}

TEST_F(UserSettings, RecordLists)
{
    LSettingsListTemplate<LUserSettingsRecord> list("Mallar", "Templates");
    LUserSettingsRecord first, second;
    list.CreateNewRecord(first);
    EXPECT_STREQ(first.name, "1");
    EXPECT_STREQ(first.path, "Templates/1/");
    // The next record gets the next number even before a value is stored under the first.
    list.CreateNewRecord(second);
    EXPECT_STREQ(second.name, "2");
    LUserSettingSetString(second.path, "Name", "andra");
    for (int i = 3; i <= 10; ++i) {
        LUserSettingsRecord record;
        list.CreateNewRecord(record);
        EXPECT_EQ(std::string(record.name), std::to_string(i));
    }
    std::vector<std::string> seen;
    for (LSettingsListIteratorTemplate<LUserSettingsRecord> it(list); it.IsValid(); it.Next()) {
        LUserSettingsRecord record;
        it.GetRecord(record);
        EXPECT_EQ(std::string(record.path), "Templates/" + std::string(record.name) + "/");
        seen.push_back(record.name);
    }
    EXPECT_EQ(
        seen, (std::vector<std::string> { "1", "10", "2", "3", "4", "5", "6", "7", "8", "9" }));

    LSettingsListTemplate<LUserSettingsRecord> slashed("", "Slashed/");
    LUserSettingsRecord record;
    slashed.CreateNewRecord(record);
    EXPECT_STREQ(record.path, "Slashed/1/");
}

TEST_F(UserSettings, OtherApplicationsDomainsAndTheMeasurementUnit)
{
    char domain[kLStringShortSize];
    LSettingGetCFPreferencesApplicationKeyLongForApplication(domain, "DiscLabel Pro");
    EXPECT_STREQ(domain, "se.zor.disclabel pro");
    _LSettingForApplicationSetString(kLSettingsCurrentUser, "Helper", "Settings", "Seen", "1");
    std::string value;
    EXPECT_TRUE(platform::prefs::GetValue("se.zor.helper", "Settings/Seen", value));
    EXPECT_EQ(value, "1");
    EXPECT_FALSE(LUserSettingTestExists("Settings", "Seen"));

    LSettingSetMeasurementUnitDefault(1);
    EXPECT_EQ(LSettingGetMeasurementUnit(), 1);
    LSettingSetMeasurementUnit(0);
    EXPECT_EQ(Get("Settings", "UnitsMeasurement"), "0");
    EXPECT_EQ(LUnitsGetMeasurementUnit(), 0);
}

TEST_F(UserSettings, ASecondProcessSeesAWriteAtOnce)
{
    LUserSettingSetString("Settings", "Shared", "1");
    EXPECT_EQ(LUserSettingGet<int>("Settings", "Shared", 0), 1);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        LUserSettingSetString("Settings", "Shared", "2");
        _exit(0);
    }
    int status;
    waitpid(child, &status, 0);
    EXPECT_EQ(LUserSettingGet<int>("Settings", "Shared", 0), 2);
}

namespace {

class RecentFiles : public LRecentFileList {
public:
    std::vector<std::string> opened;
    LRecentFileMenu installed;
    int installs = 0;
    bool opens = true; // what the window answers: the file was opened
    bool EvRecentFileOpen(const char* path) override
    {
        opened.push_back(path);
        return opens;
    }
    using LRecentFileList::EvRecentFileOpen;

protected:
    // A window that keeps files of its own out of the list.
    bool RecentFileListTakes(const char* path) const override
    {
        return std::string(path).find("_autosave") == std::string::npos;
    }
    void RecentFileListInstallMenu(int command, const LRecentFileMenu& menu) override
    {
        EXPECT_EQ(command, 9049);
        installed = menu;
        ++installs;
    }
};

std::vector<std::string> Slots()
{
    std::vector<std::string> slots;
    for (int i = 0; i < 10; ++i) {
        char path[kLLongPathSize];
        LRecentFileList::RecentFileListGet(i, path);
        slots.push_back(path);
    }
    return slots;
}

} // namespace

TEST_F(UserSettings, RecentFilesMoveToTheTop)
{
    RecentFiles recent;
    for (int i = 9; i >= 0; --i)
        recent.RecentFileListAdd(("/p/" + std::to_string(i)).c_str());
    std::vector<std::string> expected;
    for (int i = 0; i < 10; ++i)
        expected.push_back("/p/" + std::to_string(i));
    EXPECT_EQ(Slots(), expected);
    EXPECT_EQ(Get("RecentFileList", "File0"), "/p/0");

    // Slot 3 moves to the top; 0 to 2 shift down one; the rest stay.
    recent.RecentFileListAdd("/p/3");
    EXPECT_EQ(Slots(),
        (std::vector<std::string> {
            "/p/3", "/p/0", "/p/1", "/p/2", "/p/4", "/p/5", "/p/6", "/p/7", "/p/8", "/p/9" }));
    // A new path drops the old slot 9.
    recent.RecentFileListAdd("/p/new");
    EXPECT_EQ(Slots()[0], "/p/new");
    EXPECT_EQ(Slots()[9], "/p/8");
    // Already at the top: nothing changes, and the menu is not rebuilt.
    recent.SetRecentFileListMainWindow(reinterpret_cast<LMainWindow*>(&recent));
    recent.RecentFileListAdd("/p/new");
    EXPECT_EQ(recent.installs, 0);
    recent.RecentFileListAdd("/p/5");
    EXPECT_EQ(recent.installs, 1);
    ASSERT_EQ(recent.installed.GetCount(), 10);
    EXPECT_EQ(recent.installed.GetItem(0).command, 9050);
    EXPECT_STREQ(recent.installed.GetItem(0).title, "/p/5");
    EXPECT_EQ(recent.installed.GetItem(9).command, 9059);
    EXPECT_TRUE(recent.installed.GetItem(9).enabled);

    // Choosing item 9052 opens slot 2 and moves it to the top.
    std::string third = Slots()[2];
    recent.EvRecentFileOpen(2);
    EXPECT_EQ(recent.opened, std::vector<std::string> { third });
    EXPECT_EQ(Slots()[0], third);
}

// Long paths are kept whole: they open and show as they were added; one too long for the
// platform is not added at all.
TEST_F(UserSettings, RecentFilesKeepLongPathsWhole)
{
    RecentFiles recent;
    std::string deep = "/hem";
    while (deep.size() < 3000)
        deep += "/en mapp med ett långt namn i djupet";
    deep += "/skiva.vtproj";
    recent.RecentFileListAdd("/kort.vtproj");
    recent.RecentFileListAdd(deep.c_str());
    recent.RecentFileListAdd(std::string(kLLongPathSize, 'x').c_str());
    EXPECT_EQ(Slots()[0], deep);
    EXPECT_EQ(Slots()[1], "/kort.vtproj");
    LRecentFileMenu menu;
    recent.RecentFileListPopulate(menu);
    EXPECT_EQ(menu.GetItem(0).title, deep);
    recent.EvRecentFileOpen(1);
    recent.EvRecentFileOpen(1);
    EXPECT_EQ(recent.opened, (std::vector<std::string> { "/kort.vtproj", deep }));
    // A stored value too long to be a path is an empty slot, not a cut one.
    LUserSettingSetString("RecentFileList", "File3", std::string(5000, 'y').c_str());
    EXPECT_EQ(Slots()[3], "");
}

TEST_F(UserSettings, RecentFileMenuWithGapsAndWhenEmpty)
{
    RecentFiles recent;
    LRecentFileMenu menu;
    recent.RecentFileListPopulate(menu);
    ASSERT_EQ(menu.GetCount(), 1);
    EXPECT_EQ(menu.GetItem(0).command, 9060);
    EXPECT_STREQ(menu.GetItem(0).title, "Inga senaste filer");
    EXPECT_FALSE(menu.GetItem(0).enabled);
    recent.EvRecentFileOpen(0); // an empty slot opens nothing
    EXPECT_TRUE(recent.opened.empty());

    LUserSettingSetString("RecentFileList", "File4", "/a");
    LUserSettingSetString("RecentFileList", "File7", "/b");
    LRecentFileMenu gaps;
    recent.RecentFileListPopulate(gaps);
    ASSERT_EQ(gaps.GetCount(), 2);
    EXPECT_EQ(gaps.GetItem(0).command, 9054);
    EXPECT_EQ(gaps.GetItem(1).command, 9057);
    EXPECT_STREQ(gaps.GetItem(1).title, "/b");
}

// A recent file that is gone leaves the list once its open has failed, and the list closes up; a
// file that is there but was not opened (damaged, or the user kept the project open) stays where
// it was. Files the window keeps for itself never enter the list.
TEST_F(UserSettings, ARecentFileThatIsGoneIsDropped)
{
    RecentFiles recent;
    const std::string here = fHome + "/här.vtproj";
    TemporaryFolder::WriteFile(here, "x");
    const std::string gone = fHome + "/borta.vtproj";
    const std::string goneFolder = here + "/inne.vtproj"; // a file where a folder should be
    for (const char* p : { "/p/a", here.c_str(), gone.c_str(), goneFolder.c_str() })
        recent.RecentFileListAdd(p);
    ASSERT_EQ(Slots()[0], goneFolder);
    recent.opens = false;
    recent.EvRecentFileOpen(1);
    EXPECT_EQ(recent.opened, std::vector<std::string> { gone });
    EXPECT_EQ(Slots(),
        (std::vector<std::string> { goneFolder, here, "/p/a", "", "", "", "", "", "", "" }));
    recent.EvRecentFileOpen(0);
    EXPECT_EQ(Slots(), (std::vector<std::string> { here, "/p/a", "", "", "", "", "", "", "", "" }));
    // Not opened, but there: it stays in its place.
    recent.RecentFileListAdd("/p/b");
    recent.EvRecentFileOpen(1);
    EXPECT_EQ(Slots()[0], "/p/b");
    EXPECT_EQ(Slots()[1], here);
    // Opened: to the top.
    recent.opens = true;
    recent.EvRecentFileOpen(1);
    EXPECT_EQ(Slots()[0], here);
    // A file of the window's own is not taken, also when opened from an old list.
    recent.RecentFileListAdd("/data/Namnlöst_1_autosave.vtproj");
    EXPECT_EQ(Slots()[0], here);
    LUserSettingSetString("RecentFileList", "File5", "/data/skiva_autosave.vtproj");
    recent.EvRecentFileOpen(5);
    EXPECT_EQ(Slots()[0], here);
    EXPECT_EQ(Slots()[5], "/data/skiva_autosave.vtproj");
}

// The settings store is saved as every file is: a linked store stays a link, its file keeps its
// permissions; a new store is the user's alone.
TEST_F(UserSettings, StoresAreSavedAsEveryFileIs)
{
    LUserSettingSetString("Settings", "Ny", "1");
    const std::string store = platform::prefs::StorePath("se.zor.vorantel");
    struct stat st { };
    ASSERT_EQ(::stat(store.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    const std::string real = fHome + "/dotfiles-preferences.ini";
    ASSERT_EQ(::rename(store.c_str(), real.c_str()), 0);
    ASSERT_EQ(::symlink(real.c_str(), store.c_str()), 0);
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    LUserSettingSetString("Settings", "Via", "länk");
    ASSERT_EQ(::lstat(store.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(Get("Settings", "Via"), "länk");
    EXPECT_EQ(Get("Settings", "Ny"), "1");
}

// A store cut short, kept behind a link as above: the program's settings in its good lines are
// read and kept by the next write, which replaces the linked file; the broken file is kept
// beside the store as it was, and a second breakage keeps its own copy.
TEST_F(UserSettings, ABrokenStoreKeepsItsGoodLines)
{
    LUserSettingSetString("Settings", "WelcomeDialogShow", "0");
    LUserSettingSetString("MainWindow", "Width", "1100");
    LUserSettingSetString("RecentFileList", "File0", "/home/anna/skiva.vtproj");
    const std::string store = platform::prefs::StorePath("se.zor.vorantel");
    const std::string real = fHome + "/dotfiles-preferences.ini";
    ASSERT_EQ(::rename(store.c_str(), real.c_str()), 0);
    ASSERT_EQ(::symlink(real.c_str(), store.c_str()), 0);
    std::string text = TemporaryFolder::ReadFile(real);
    const std::string cut = text.substr(0, text.find("RecentFileList") + 9);
    TemporaryFolder::WriteFile(real, cut);

    EXPECT_EQ(Get("Settings", "WelcomeDialogShow"), "0");
    EXPECT_EQ(Get("MainWindow", "Width"), "1100");
    EXPECT_EQ(Get("RecentFileList", "File0"), "<none>");
    LUserSettingSetString("CrashReport", "State", "1");
    struct stat st { };
    ASSERT_EQ(::lstat(store.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(TemporaryFolder::ReadFile(store + ".broken"), cut);
    EXPECT_EQ(Get("Settings", "WelcomeDialogShow"), "0");
    EXPECT_EQ(Get("MainWindow", "Width"), "1100");
    EXPECT_EQ(Get("CrashReport", "State"), "1");

    const std::string again = TemporaryFolder::ReadFile(real) + "Settings/Cut";
    TemporaryFolder::WriteFile(real, again);
    LUserSettingSetString("CrashReport", "State", "2");
    EXPECT_EQ(TemporaryFolder::ReadFile(store + ".broken"), cut);
    EXPECT_EQ(TemporaryFolder::ReadFile(store + ".broken.2"), again);
    EXPECT_EQ(Get("MainWindow", "Width"), "1100");
    EXPECT_EQ(Get("CrashReport", "State"), "2");
}
