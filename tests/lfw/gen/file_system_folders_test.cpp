#include "lfw/gen/LFile.h"

#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Points HOME and the XDG folders at a fresh folder for one test.
class FakeHome {
public:
    FakeHome()
    {
        Save("HOME", m_home.Path().c_str());
        Save("XDG_CONFIG_HOME", nullptr);
        Save("XDG_DATA_HOME", nullptr);
        Save("XDG_CACHE_HOME", nullptr);
    }
    ~FakeHome()
    {
        for (auto& [name, value] : m_saved) {
            if (value.empty())
                ::unsetenv(name.c_str());
            else
                ::setenv(name.c_str(), value.c_str(), 1);
        }
    }
    const TemporaryFolder& Home() const { return m_home; }
    void Save(const char* name, const char* value)
    {
        const char* old = std::getenv(name);
        m_saved.emplace_back(name, old ? old : "");
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }

private:
    TemporaryFolder m_home;
    std::vector<std::pair<std::string, std::string>> m_saved;
};

} // namespace

TEST(SpecialFolders, UserFoldersAreMadeWhenMissing)
{
    FakeHome fake;
    const TemporaryFolder& home = fake.Home();
    char out[kLPathSize];
    ASSERT_TRUE(LFile::GetUserDocumentsFolder(out));
    EXPECT_EQ(std::string(out), home / "Documents");
    EXPECT_TRUE(fs::is_directory(out));
    ASSERT_TRUE(LFile::GetUserPicturesFolder(out));
    EXPECT_EQ(std::string(out), home / "Pictures");
    ASSERT_TRUE(LFile::GetTempFolder(out));
    EXPECT_EQ(std::string(out), home / ".cache/vorantel");
    EXPECT_TRUE(fs::is_directory(out));
    ASSERT_TRUE(LFile::GetUserDataFolderApp(out, "ignored"));
    EXPECT_EQ(std::string(out), home / ".local/share/vorantel");
    ASSERT_TRUE(LFile::GetUserDataFolderAppSubFolder("Logs", out));
    EXPECT_EQ(std::string(out), home / ".local/share/vorantel/Logs");
    EXPECT_TRUE(fs::is_directory(out));
}

TEST(SpecialFolders, ConfiguredFoldersWinOverTheFallback)
{
    FakeHome fake;
    TemporaryFolder cache;
    fake.Save("XDG_CACHE_HOME", cache.Path().c_str());
    char out[kLPathSize];
    ASSERT_TRUE(GetUserSpecialFolder(out, LUserSpecialFolder::Cache, "unused"));
    EXPECT_EQ(std::string(out), cache.Path());
    EXPECT_FALSE(fs::exists(fake.Home() / "unused"));
    ASSERT_TRUE(LFile::GetTempFolder(out));
    EXPECT_EQ(std::string(out), cache / "vorantel");
    // Nothing configured: the home folder joined with the fallback, made when missing.
    ASSERT_TRUE(GetUserSpecialFolder(out, LUserSpecialFolder::Data, "Some/Data"));
    EXPECT_EQ(std::string(out), fake.Home() / "Some/Data");
    EXPECT_TRUE(fs::is_directory(out));
}

TEST(SpecialFolders, AFolderTooLongForItsBufferIsRefused)
{
    FakeHome fake;
    std::string deep
        = fake.Home().Path() + "/" + std::string(200, 'd') + "/" + std::string(50, 'e');
    fake.Save("XDG_DATA_HOME", deep.c_str());
    char out[kLPathSize];
    // "<deep>/vorantel" is longer than 259 bytes: not cut, refused.
    EXPECT_FALSE(LFile::GetUserDataFolderApp(out));
    EXPECT_STREQ(out, "");
    EXPECT_FALSE(LFile::GetUserDataFolderAppSubFolder("Logs", out));
    EXPECT_STREQ(out, "");
}

TEST(SpecialFolders, ProgramFoldersAndServices)
{
    char out[kLPathSize];
    ASSERT_TRUE(LGetBundleExeFile(out, sizeof out));
    EXPECT_TRUE(fs::exists(out));
    char folder[kLPathSize];
    ASSERT_TRUE(LGetBundleFolder(folder, sizeof folder));
    EXPECT_EQ(fs::path(out).parent_path().string(), folder);
    char tiny[4];
    EXPECT_FALSE(LGetBundleExeFile(tiny, sizeof tiny));
    EXPECT_STREQ(tiny, "");

    TemporaryFolder resources;
    const char* old = std::getenv("VT_RESOURCES_DIR");
    std::string saved = old ? old : "";
    ::setenv("VT_RESOURCES_DIR", resources.Path().c_str(), 1);
    ASSERT_TRUE(LGetBundleResourcesFolder(out, sizeof out));
    EXPECT_EQ(std::string(out), resources.Path());
    ASSERT_TRUE(LGetInstalledApplicationResourcesFolder(out, sizeof out));
    EXPECT_EQ(std::string(out), resources.Path());
    ASSERT_TRUE(LFile::GetHelpFolder(out));
    EXPECT_EQ(std::string(out), resources / "help");
    if (old)
        ::setenv("VT_RESOURCES_DIR", saved.c_str(), 1);
    else
        ::unsetenv("VT_RESOURCES_DIR");

    EXPECT_GT(LMemoryGetFreeHeapSize(), 0u);
    LMapDriveNumberToMountPoint(255, out);
    EXPECT_STREQ(out, "");
    LMapDriveNumberToMountPoint(200, out); // no such drive here
    EXPECT_STREQ(out, "");
}
