#include "lfw/gen/LOptionsCount.h"
#include "lfw/gen/LSharedSettings.h"
#include "lfw/gen/LXML.h"
#include "support/TemporaryFolder.h"

#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class SettingsFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fFolder.IsValid());
        setenv("XDG_DATA_HOME", (fFolder / "data").c_str(), 1);
        setenv("XDG_CACHE_HOME", (fFolder / "cache").c_str(), 1);
        CmdCounts.Clear();
    }

    std::string SharedPath() const { return fFolder / "data/vorantel/Shared/SharedSettings.xml"; }
    std::string CountsPath() const { return fFolder / "cache/vorantel/VorantelCounts.txt"; }

    static std::string Get(const char* section, const char* key)
    {
        char value[kLStringShortSize];
        _LSharedSettingGetString(section, key, "<none>", value);
        return value;
    }

    TemporaryFolder fFolder;
};

std::string Counts(const std::vector<uint32_t>& words)
{
    return std::string(reinterpret_cast<const char*>(words.data()), words.size() * 4);
}

} // namespace

TEST_F(SettingsFiles, SharedSettingsLiveInTheSharedFolder)
{
    char path[kLStringShortSize];
    ASSERT_TRUE(LSharedSettingsGetPath(path));
    EXPECT_EQ(path, SharedPath());
    struct stat st;
    EXPECT_EQ(stat((fFolder / "data/vorantel/Shared").c_str(), &st), 0); // made when missing

    EXPECT_EQ(Get("Suite", "Language"), "<none>");
    EXPECT_TRUE(LSharedSettingSetString("Suite", "Language", "sv"));
    EXPECT_TRUE(LSharedSettingSetString("Suite", "Theme", "ljus & \"mörk\""));
    EXPECT_TRUE(LSharedSettingSetString("Other", "Key", "1"));
    EXPECT_TRUE(LSharedSettingSetString("Suite", "Language", "en"));
    EXPECT_EQ(Get("Suite", "Language"), "en");
    EXPECT_EQ(Get("Suite", "Theme"), "ljus & \"mörk\"");
    EXPECT_EQ(Get("Other", "Key"), "1");
    EXPECT_EQ(Get("Other", "Missing"), "<none>");

    // The layout: sections on top, one element per key with its value attribute, in order.
    LXMLDocument document;
    EXPECT_TRUE(LSharedSettingsLoad(document));
    const LXMLElement* suite = document.GetElement("Suite");
    ASSERT_NE(suite, nullptr);
    ASSERT_NE(suite->GetElement("Language"), nullptr);
    EXPECT_STREQ(suite->GetElement("Language")->GetAttribute("value"), "en");
    std::vector<std::string> order;
    for (const LXMLElement* e = document.GetFirstChild(); e; e = e->GetNext())
        if (!e->IsText())
            order.push_back(e->GetName());
    EXPECT_EQ(order, (std::vector<std::string> { "Suite", "Other" }));
}

TEST_F(SettingsFiles, AFaultySharedSettingsFileIsNeverWrittenBack)
{
    char path[kLStringShortSize];
    ASSERT_TRUE(LSharedSettingsGetPath(path));
    const std::string faulty = "<Suite><Language value=\"sv\"/></Suite>\n<Other><Key value=\"1\"";
    TemporaryFolder::WriteFile(path, faulty);
    EXPECT_EQ(Get("Suite", "Language"), "sv"); // what could be read is read
    EXPECT_FALSE(LSharedSettingSetString("Suite", "Language", "en"));
    EXPECT_EQ(TemporaryFolder::ReadFile(path), faulty);
}

TEST_F(SettingsFiles, ConcurrentWritersLoseNothing)
{
    const int kWrites = 20;
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        bool ok = true;
        for (int i = 0; i < kWrites; ++i)
            ok = LSharedSettingSetString("Child", ("K" + std::to_string(i)).c_str(), "c") && ok;
        _exit(ok ? 0 : 1);
    }
    for (int i = 0; i < kWrites; ++i)
        EXPECT_TRUE(LSharedSettingSetString("Parent", ("K" + std::to_string(i)).c_str(), "p"));
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    for (int i = 0; i < kWrites; ++i) {
        EXPECT_EQ(Get("Child", ("K" + std::to_string(i)).c_str()), "c");
        EXPECT_EQ(Get("Parent", ("K" + std::to_string(i)).c_str()), "p");
    }
}

TEST_F(SettingsFiles, CountsFileLayoutAndRecordLimit)
{
    char path[kLStringShortSize];
    ASSERT_TRUE(LOptionsCountGetPath(path));
    EXPECT_EQ(path, CountsPath());

    LOptionsCountLoad(); // missing: unchanged
    EXPECT_EQ(CmdCounts.GetCount(), 0u);
    CmdCounts.Add({ 9050, 3 });
    CmdCounts.Add({ 101, 7 });
    ASSERT_TRUE(LOptionsCountSave());
    EXPECT_EQ(TemporaryFolder::ReadFile(path), Counts({ 2, 9050, 3, 101, 7 }));

    CmdCounts.Clear();
    CmdCounts.Add({ 1, 1 });
    LOptionsCountLoad();
    ASSERT_EQ(CmdCounts.GetCount(), 2u);
    EXPECT_EQ(CmdCounts[1].command, 101u);
    EXPECT_EQ(CmdCounts[1].uses, 7u);

    // A file that states 300 records gives 256.
    std::vector<uint32_t> words { 300 };
    for (uint32_t i = 0; i < 300; ++i) {
        words.push_back(i + 1);
        words.push_back(i * 2);
    }
    TemporaryFolder::WriteFile(path, Counts(words));
    CmdCounts.Clear();
    LOptionsCountLoad();
    ASSERT_EQ(CmdCounts.GetCount(), 256u);
    EXPECT_EQ(CmdCounts[255].command, 256u);
    EXPECT_EQ(CmdCounts[255].uses, 510u);

    // A short file leaves the records past its end as they were; a count of 0 changes nothing.
    TemporaryFolder::WriteFile(path, Counts({ 3, 42, 1 }) + "xy");
    LOptionsCountLoad();
    EXPECT_EQ(CmdCounts[0].command, 42u);
    EXPECT_EQ(CmdCounts[1].command, 2u);
    TemporaryFolder::WriteFile(path, Counts({ 0 }));
    LOptionsCountLoad();
    EXPECT_EQ(CmdCounts.GetCount(), 256u);
    EXPECT_EQ(CmdCounts[0].command, 42u);
}

TEST_F(SettingsFiles, FilesAreReplacedNotRewrittenInPlace)
{
    char path[kLStringShortSize];
    ASSERT_TRUE(LOptionsCountGetPath(path));
    CmdCounts.Add({ 1, 2 });
    ASSERT_TRUE(LOptionsCountSave());
    struct stat before, after;
    ASSERT_EQ(stat(path, &before), 0);
    CmdCounts.Add({ 3, 4 });
    ASSERT_TRUE(LOptionsCountSave());
    ASSERT_EQ(stat(path, &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino); // a new file took the old one's place

    ASSERT_TRUE(LSharedSettingsGetPath(path));
    ASSERT_TRUE(LSharedSettingSetString("A", "b", "1"));
    ASSERT_EQ(stat(path, &before), 0);
    ASSERT_TRUE(LSharedSettingSetString("A", "b", "2"));
    ASSERT_EQ(stat(path, &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);
}
