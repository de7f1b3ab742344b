#include "lfw/gen/LFile.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/zor/LInstaller.h"
#include "support/PrivateHomes.h"
#include "support/TemporaryFolder.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Setting(const char* key)
{
    char out[kLPathSize] = "";
    if (!_LUserSettingGetString("Settings", key, "", out))
        return "<missing>";
    return out;
}

class InstallerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("VT_RESOURCES_DIR", resources.Path().c_str(), 1);
        ASSERT_TRUE(LFile::CreateFolderTree((resources / "install/sub").c_str()));
        TemporaryFolder::WriteFile(resources / "install/bg1.jpg", "new background");
        TemporaryFolder::WriteFile(resources / "install/other.txt", "bundle copy");
        TemporaryFolder::WriteFile(resources / "install/sub/deep.txt", "deep");
        TemporaryFolder::WriteFile(resources / "ref.txt", "partner42\n");
    }
    void TearDown() override { unsetenv("VT_RESOURCES_DIR"); }
    PrivateHomes homes;
    TemporaryFolder resources;
};

TEST_F(InstallerTest, FirstRunRecordsAndCopiesSecondRunWritesNothing)
{
    for (const char* key : { "VersionCheckAfterCrash", "OSCheck", "NewerVersion", "Thanks" })
        LUserSettingSetString("Settings", key, "1");
    LUserSettingSetString("Software", "SVar", "x");
    char shared[kLPathSize];
    ASSERT_TRUE(LFile::GetUserDataFolderAppSubFolder("Shared", shared));
    std::string sharedFolder = shared;
    TemporaryFolder::WriteFile(sharedFolder + "/bg1.jpg", "old background");
    TemporaryFolder::WriteFile(sharedFolder + "/other.txt", "user's own");
    TemporaryFolder::WriteFile(sharedFolder + "/mine.txt", "kept");

    mode_t mask = umask(022);
    EXPECT_TRUE(LUnixInstallShouldInstall());
    EXPECT_TRUE(Install());
    umask(mask);

    EXPECT_NE(Setting("InstallDate"), "<missing>");
    EXPECT_EQ(Setting("InstallDateFirst"), Setting("InstallDate"));
    EXPECT_EQ(Setting("RunsSinceLastInstall"), "0");
    EXPECT_EQ(Setting("CurrentVersion"), "6.27");
    EXPECT_EQ(Setting("OSCheckRequired"), "1");
    EXPECT_EQ(Setting("PreviousVersion"), "<missing>");
    // The favourites step waits for the exit.
    EXPECT_EQ(Setting("ContinueInstallAtExit"), "1");
    for (const char* key : { "VersionCheckAfterCrash", "OSCheck", "NewerVersion", "Thanks" })
        EXPECT_EQ(Setting(key), "<missing>") << key;
    char svar[kLPathSize] = "";
    EXPECT_FALSE(_LUserSettingGetString("Software", "SVar", "", svar));
    char ref[kLPathSize] = "";
    _LUserSettingGetString("Software", "Ref", "", ref);
    EXPECT_STREQ(ref, "partner42");

    EXPECT_EQ(TemporaryFolder::ReadFile(sharedFolder + "/bg1.jpg"), "new background");
    EXPECT_EQ(TemporaryFolder::ReadFile(sharedFolder + "/other.txt"), "user's own");
    EXPECT_EQ(TemporaryFolder::ReadFile(sharedFolder + "/mine.txt"), "kept");
    EXPECT_EQ(TemporaryFolder::ReadFile(sharedFolder + "/sub/deep.txt"), "deep");
    struct stat st = {};
    ASSERT_EQ(stat((sharedFolder + "/sub").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0022, 0u); // not world- or group-writable

    // The second start changes nothing.
    LUserSettingSetString("Settings", "InstallDate", "4000000000");
    LUserSettingDeleteItem("Settings", "OSCheckRequired");
    LUserSettingSetString("Settings", "ContinueInstallAtExit", "0");
    TemporaryFolder::WriteFile(sharedFolder + "/bg1.jpg", "edited");
    EXPECT_FALSE(LUnixInstallShouldInstall());
    EXPECT_TRUE(Install());
    EXPECT_EQ(Setting("InstallDate"), "4000000000");
    EXPECT_EQ(Setting("ContinueInstallAtExit"), "0");
    EXPECT_EQ(Setting("OSCheckRequired"), "<missing>");
    EXPECT_EQ(TemporaryFolder::ReadFile(sharedFolder + "/bg1.jpg"), "edited");
}

TEST_F(InstallerTest, NewVersionOrNewerExecutableInstallsAgain)
{
    LUserSettingSetString("Settings", "InstallDate", "4000000000");
    LUserSettingSetString("Settings", "InstallDateFirst", "1000");
    LUserSettingSetString("Settings", "CurrentVersion", "6.26");
    EXPECT_TRUE(LUnixInstallShouldInstall());
    LUnixInstallCommon();
    EXPECT_EQ(Setting("PreviousVersion"), "6.26");
    EXPECT_EQ(Setting("CurrentVersion"), "6.27");
    EXPECT_EQ(Setting("InstallDateFirst"), "1000");
    EXPECT_EQ(Setting("OSCheckRequired"), "<missing>");

    // An executable changed after the recorded date.
    TemporaryFolder folder;
    std::string exe = folder / "prog";
    TemporaryFolder::WriteFile(exe, "x");
    LUserSettingSetString("Settings", "InstallDate", "1000");
    EXPECT_TRUE(LUnixInstallShouldInstall(exe.c_str()));
    LUserSettingSetString("Settings", "InstallDate", "4000000000");
    EXPECT_FALSE(LUnixInstallShouldInstall(exe.c_str()));
    EXPECT_FALSE(LUnixInstallShouldInstall((folder / "missing").c_str()));
    LUserSettingSetString("Settings", "InstallDate", "abc");
    EXPECT_TRUE(LUnixInstallShouldInstall(exe.c_str()));
}

} // namespace
