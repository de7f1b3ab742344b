#include "platform/prefs/Prefs.h"
#include "support/SmallDisk.h"
#include "support/TemporaryFolder.h"
#include "support/UnwrittenFifo.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace prefs = platform::prefs;

namespace {

// Each test gets its own configuration folder.
class Prefs : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = TemporaryFolder::Base() + "/vt-prefs-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        fHome = pattern;
        setenv("XDG_CONFIG_HOME", fHome.c_str(), 1);
    }
    void TearDown() override { system(("rm -rf '" + fHome + "'").c_str()); }

    static std::string Read(const std::string& path)
    {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string fHome;
    const std::string fDomain = "se.zor.test";
};

} // namespace

TEST_F(Prefs, ValuesUnderFlatKeysAreWrittenAtOnce)
{
    std::string value;
    EXPECT_FALSE(prefs::GetValue(fDomain, "Settings/UnitsMeasurement", value));
    EXPECT_TRUE(prefs::SetValue(fDomain, "Settings/UnitsMeasurement", "1"));
    EXPECT_EQ(prefs::StorePath(fDomain), fHome + "/se.zor.test/preferences.ini");
    std::string file = Read(prefs::StorePath(fDomain));
    EXPECT_NE(file.find("Settings/UnitsMeasurement=1"), std::string::npos) << file;
    struct stat st;
    ASSERT_EQ(stat(prefs::StorePath(fDomain).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    EXPECT_TRUE(prefs::GetValue(fDomain, "Settings/UnitsMeasurement", value));
    EXPECT_EQ(value, "1");
    EXPECT_TRUE(prefs::HasKey(fDomain, "Settings/UnitsMeasurement"));
    EXPECT_FALSE(prefs::HasKey(fDomain, "settings/unitsmeasurement")); // keys are exact
}

TEST_F(Prefs, AwkwardKeysAndValuesSurvive)
{
    const std::string keys[] = { "a=b/[c]", " lead/trail ", "#x/y%z", "line\nbreak", "å/ä" };
    const std::string value = "  two\nlines\tand \\ back=slash ";
    for (const auto& key : keys)
        ASSERT_TRUE(prefs::SetValue(fDomain, key, value + key));
    std::vector<std::string> listed = prefs::GetKeys(fDomain);
    ASSERT_EQ(listed.size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(listed[i], keys[i]);
        std::string got;
        EXPECT_TRUE(prefs::GetValue(fDomain, keys[i], got));
        EXPECT_EQ(got, value + keys[i]);
    }
    EXPECT_FALSE(prefs::SetValue(fDomain, "", "x"));
}

TEST_F(Prefs, NamesEditedByHandThatNoKeyIsWrittenAsAreNotListed)
{
    // "%6D" and "%3d" are escapes the store never writes ('m' is not escaped, '=' is written as
    // "%3D"): no key finds them, so none is listed; the keys beside them are.
    ASSERT_TRUE(prefs::SetValue(fDomain, "S/first", "1"));
    std::string text = Read(prefs::StorePath(fDomain));
    text += "Online/Server%6DX=https://127.0.0.1\nS/a%3db=2\nS/a%3Db=3\n";
    std::ofstream(prefs::StorePath(fDomain)) << text;
    EXPECT_EQ(prefs::GetKeys(fDomain), (std::vector<std::string> { "S/first", "S/a=b" }));
    for (const std::string& key : prefs::GetKeys(fDomain)) {
        std::string value;
        EXPECT_TRUE(prefs::GetValue(fDomain, key, value)) << key;
    }
    std::string value;
    EXPECT_TRUE(prefs::GetValue(fDomain, "S/a=b", value));
    EXPECT_EQ(value, "3");
}

TEST_F(Prefs, AValueThatIsNotUtf8ReadsBackByteForByte)
{
    // A path in another encoding (Latin-1 bytes), with blanks and escapes around it.
    const std::string value = " /home/\xE5\xE4/fil \\x\n ";
    ASSERT_TRUE(prefs::SetValue(fDomain, "RecentFileList/File0", value));
    std::string got;
    EXPECT_TRUE(prefs::GetValue(fDomain, "RecentFileList/File0", got));
    EXPECT_EQ(got, value);
    // Storing it again finds it unchanged and leaves the file alone.
    struct stat before, after;
    ASSERT_EQ(stat(prefs::StorePath(fDomain).c_str(), &before), 0);
    ASSERT_TRUE(prefs::SetValue(fDomain, "RecentFileList/File0", value));
    ASSERT_EQ(stat(prefs::StorePath(fDomain).c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
}

TEST_F(Prefs, RemovingKeys)
{
    prefs::SetValue(fDomain, "S/k", "1");
    prefs::SetValue(fDomain, "S/__k", "2");
    prefs::SetValue(fDomain, "S/other", "3");
    EXPECT_TRUE(prefs::RemoveKeys(fDomain, { "S/k", "S/__k", "S/never" }));
    EXPECT_EQ(prefs::GetKeys(fDomain), std::vector<std::string> { "S/other" });
}

TEST_F(Prefs, ASecondProcessSeesAWriteAtOnceAndNoWriteIsLost)
{
    prefs::SetValue(fDomain, "Shared/Parent", "before");
    std::string value;
    ASSERT_TRUE(prefs::GetValue(fDomain, "Shared/Parent", value)); // cached in this process
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::string seen;
        bool ok = prefs::GetValue(fDomain, "Shared/Parent", seen) && seen == "before";
        for (int i = 0; i < 50; ++i)
            ok = prefs::SetValue(fDomain, "Child/" + std::to_string(i), "c") && ok;
        ok = prefs::SetValue(fDomain, "Shared/Parent", "after") && ok;
        _exit(ok ? 0 : 1);
    }
    for (int i = 0; i < 50; ++i)
        EXPECT_TRUE(prefs::SetValue(fDomain, "Parent/" + std::to_string(i), "p"));
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(prefs::GetValue(fDomain, "Shared/Parent", value));
    EXPECT_EQ(value, "after");
    // Both processes' writes are all there: each write read the file afresh under the lock.
    EXPECT_EQ(prefs::GetKeys(fDomain).size(), 101u);
}

TEST_F(Prefs, AFileThatDoesNotParseIsKeptAndNeverOverwritten)
{
    const std::string path = prefs::StorePath(fDomain);
    mkdir((fHome + "/" + fDomain).c_str(), 0700);
    const std::string broken = "[Preferences]\nGood/Key=1\nthis line is not a key file line\n";
    std::ofstream(path) << broken;
    std::string value;
    EXPECT_TRUE(prefs::GetValue(fDomain, "Good/Key", value)); // its good line is read
    EXPECT_EQ(value, "1");
    EXPECT_EQ(Read(path), broken);
    EXPECT_TRUE(prefs::SetValue(fDomain, "New/Key", "2"));
    EXPECT_EQ(Read(path + ".broken"), broken);
    EXPECT_TRUE(prefs::GetValue(fDomain, "New/Key", value));
    EXPECT_EQ(value, "2");
    EXPECT_TRUE(prefs::GetValue(fDomain, "Good/Key", value));
    EXPECT_EQ(value, "1");
    // No temporary file is left behind.
    std::string listing;
    FILE* ls = popen(("ls -a '" + fHome + "/" + fDomain + "'").c_str(), "r");
    char line[256];
    while (fgets(line, sizeof line, ls))
        listing += line;
    pclose(ls);
    EXPECT_EQ(listing, ".\n..\npreferences.ini\npreferences.ini.broken\npreferences.ini.lock\n");
}

// A store that is a FIFO nobody writes reads as empty at once, and the first write puts a file
// in its place.
TEST_F(Prefs, AStoreThatIsAFifoIsNotWaitedOn)
{
    mkdir((fHome + "/" + fDomain).c_str(), 0700);
    UnwrittenFifo fifo(prefs::StorePath(fDomain));
    ASSERT_TRUE(fifo.Made());
    std::string value;
    EXPECT_FALSE(prefs::GetValue(fDomain, "A/b", value));
    EXPECT_TRUE(prefs::SetValue(fDomain, "A/b", "1"));
    EXPECT_TRUE(prefs::GetValue(fDomain, "A/b", value));
    EXPECT_EQ(value, "1");
    EXPECT_FALSE(fifo.Released()) << "the store waited on the FIFO";
}

TEST_F(Prefs, AReadOnlyFolderFailsTheWriteAndKeepsTheOldValue)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    prefs::SetValue(fDomain, "A/b", "old");
    chmod((fHome + "/" + fDomain).c_str(), 0500);
    EXPECT_FALSE(prefs::SetValue(fDomain, "A/b", "new"));
    std::string value;
    EXPECT_TRUE(prefs::GetValue(fDomain, "A/b", value));
    EXPECT_EQ(value, "old");
    chmod((fHome + "/" + fDomain).c_str(), 0700);
}

// A store as the program writes it, cut short in the middle of a line (as a full disk or a
// crash leaves it), with a NUL-filled line and a line before any group: every whole line is read
// and written back, the cut one is left out, and the file as it was is kept.
TEST_F(Prefs, ACutFileKeepsEveryGoodLine)
{
    const std::vector<std::pair<std::string, std::string>> values = {
        { "MainWindow/Left", "120" },
        { "MainWindow/Top", "80" },
        { "Settings/WelcomeDialogShow", "0" },
        { "RecentFileList/File0", "/home/anna/Skivor/sommar.vtproj" },
        { "RecentFileList/File1", "/home/anna/Skivor/vinter.vtproj" },
        { "RecentFileList/File2", "/home/anna/Skivor/höst.vtproj" },
        { "CrashReport/State", "2" },
        { "Settings/UnitsMeasurement", "1" },
    };
    ASSERT_TRUE(prefs::SetValues(fDomain, values));
    const std::string path = prefs::StorePath(fDomain);
    const std::string whole = Read(path);
    // Cut in the middle of the name of the key after the recent files.
    const size_t cut = whole.find("CrashReport") + 5;
    ASSERT_LT(cut, whole.size());
    std::string broken = "Before/Group=first\n" + whole.substr(0, cut);
    broken.insert(broken.find("RecentFileList/File1"), std::string("Lost/Key=\0\0\0\n", 13));
    std::ofstream(path) << broken;
    ASSERT_EQ(Read(path), broken);

    const auto expectGood = [&](bool written) {
        std::string value;
        for (size_t i = 0; i < 6; ++i) {
            EXPECT_TRUE(prefs::GetValue(fDomain, values[i].first, value)) << values[i].first;
            EXPECT_EQ(value, values[i].second);
        }
        EXPECT_TRUE(prefs::GetValue(fDomain, "Before/Group", value));
        EXPECT_EQ(value, "first");
        EXPECT_FALSE(prefs::HasKey(fDomain, "Lost/Key"));
        EXPECT_EQ(prefs::HasKey(fDomain, "CrashReport/State"), written);
        EXPECT_FALSE(prefs::HasKey(fDomain, "Settings/UnitsMeasurement"));
    };
    expectGood(false);
    EXPECT_EQ(Read(path), broken); // reading changes nothing

    ASSERT_TRUE(prefs::SetValue(fDomain, "CrashReport/State", "0"));
    EXPECT_EQ(Read(path + ".broken"), broken);
    expectGood(true);
    // What was written parses whole: another process reads it as this one does.
    EXPECT_EQ(Read(path).find('\0'), std::string::npos);
    EXPECT_EQ(Read(path).find("CrashRe\n"), std::string::npos);
    std::string value;
    EXPECT_TRUE(prefs::GetValue(fDomain, "CrashReport/State", value));
    EXPECT_EQ(value, "0");
}

// Every breakage keeps its own copy: a second one never overwrites the first, and a store that
// stays broken through several writes that fail is kept once.
TEST_F(Prefs, AnEarlierBrokenCopyIsNeverOverwritten)
{
    const std::string path = prefs::StorePath(fDomain);
    mkdir((fHome + "/" + fDomain).c_str(), 0700);
    const std::string first = "[Preferences]\nA/a=1\nfirst breakage\n";
    const std::string second = "[Preferences]\nA/a=2\nsecond breakage\n";
    const std::string third = "[Preferences]\nA/a=3\nthird breakage\n";
    std::ofstream(path) << first;
    ASSERT_TRUE(prefs::SetValue(fDomain, "B/b", "1"));
    std::ofstream(path) << second;
    if (geteuid() != 0) {
        // A folder that takes no new file: the write fails and the store stays as it was.
        chmod((fHome + "/" + fDomain).c_str(), 0500);
        EXPECT_FALSE(prefs::SetValue(fDomain, "B/b", "2"));
        chmod((fHome + "/" + fDomain).c_str(), 0700);
        EXPECT_EQ(Read(path), second);
    }
    ASSERT_TRUE(prefs::SetValue(fDomain, "B/b", "2"));
    ASSERT_TRUE(prefs::SetValue(fDomain, "B/b", "3"));
    std::ofstream(path) << third;
    ASSERT_TRUE(prefs::SetValue(fDomain, "B/b", "4"));
    EXPECT_EQ(Read(path + ".broken"), first);
    EXPECT_EQ(Read(path + ".broken.2"), second);
    EXPECT_EQ(Read(path + ".broken.3"), third);
    struct stat st;
    EXPECT_NE(stat((path + ".broken.4").c_str(), &st), 0);
    std::string value;
    EXPECT_TRUE(prefs::GetValue(fDomain, "A/a", value));
    EXPECT_EQ(value, "3");
    EXPECT_TRUE(prefs::GetValue(fDomain, "B/b", value));
    EXPECT_EQ(value, "4");
}

// A store that is a link to a file on another file system: no hard link can be made to it from
// the store's folder, so the broken file is copied, byte for byte, into a file of its own.
TEST_F(Prefs, ABrokenStoreOnAnotherFileSystemIsCopied)
{
    const std::string disk = fHome + "/disk";
    const std::string path = prefs::StorePath(fDomain);
    ASSERT_EQ(mkdir(disk.c_str(), 0700), 0);
    ASSERT_EQ(mkdir((fHome + "/" + fDomain).c_str(), 0700), 0);
    const std::string broken = std::string("[Preferences]\nA/a=1\nB/\0cut", 25);
    const auto lines = smalldisk::InChild([&](FILE* report) {
        if (!smalldisk::Mount(disk, "64k")) {
            std::fprintf(report, "no mount\n");
            return;
        }
        TemporaryFolder::WriteFile(disk + "/preferences.ini", broken);
        std::string value;
        const bool ok = symlink((disk + "/preferences.ini").c_str(), path.c_str()) == 0
            && prefs::SetValue(fDomain, "C/c", "3") && prefs::GetValue(fDomain, "A/a", value);
        std::fprintf(report, "%d %s\n", ok ? 1 : 0, value.c_str());
    });
    ASSERT_EQ(lines.size(), 1u);
    if (lines[0] == "no mount")
        GTEST_SKIP() << "no file system of our own can be mounted here";
    EXPECT_EQ(lines[0], "1 1");
    struct stat st { };
    ASSERT_EQ(lstat((path + ".broken").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_nlink, 1u);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(Read(path + ".broken"), broken);
}
