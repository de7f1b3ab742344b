// Dat files: the exact bytes written, and the registry's save at the end.
#include "lfw/unix/LDatFile.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

class DatFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = TemporaryFolder::Base() + "/vt_dat_XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
    }
    void TearDown() override { fs::remove_all(root); }
    fs::path root;
};

TEST_F(DatFileTest, SectionsAndEntriesWithCrLf)
{
    const fs::path path = root / "x.dat";
    // An older, longer file is replaced entirely.
    std::ofstream(path) << std::string(1000, 'z');

    LDatFileNativeFile file(path.c_str());
    LDatFileNativeSection* s = file.AddSection("s");
    s->AddEntry("a", "1");
    s->AddEntry("b", "2");
    file.AddSection("empty");
    LDatFileNativeSection* t = file.AddSection("t");
    t->AddEntry("text", "å = ä");
    EXPECT_TRUE(file.IsChanged());

    ASSERT_TRUE(file.Save());
    EXPECT_EQ(ReadFile(path),
        "[s]\r\na=1\r\nb=2\r\n\r\n"
        "[empty]\r\n\r\n"
        "[t]\r\ntext=\xC3\xA5 = \xC3\xA4\r\n\r\n");
    EXPECT_FALSE(file.IsChanged());
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(file.GetSize(), uint32_t(st.st_size));
    EXPECT_EQ(file.GetModificationTime(), st.st_mtime);
}

TEST_F(DatFileTest, LongLinesAreWrittenWhole)
{
    const fs::path path = root / "long.dat";
    LDatFileNativeFile file(path.c_str());
    const std::string value(700, 'v');
    file.AddSection("s")->AddEntry("k", value.c_str());
    ASSERT_TRUE(file.Save());
    EXPECT_EQ(ReadFile(path), "[s]\r\nk=" + value + "\r\n\r\n");
}

TEST_F(DatFileTest, UnopenablePathChangesNothing)
{
    LDatFileNativeFile file((root / "no" / "such" / "folder.dat").c_str());
    file.AddSection("s");
    EXPECT_FALSE(file.Save());
    EXPECT_TRUE(file.IsChanged());
    EXPECT_EQ(file.GetSize(), 0u);
}

TEST_F(DatFileTest, AFailedWriteLeavesTheOldFileWhole)
{
    const fs::path path = root / "full.dat";
    const std::string original = "[old]\r\nk=v\r\n\r\n";
    std::ofstream(path) << original;
    ::chmod(path.c_str(), 0640);
    pid_t child = ::fork();
    if (child == 0) {
        // A disk that fills up: no file may grow past 4 kB.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit { 4096, 4096 };
        ::setrlimit(RLIMIT_FSIZE, &limit);
        LDatFileNativeFile file(path.c_str());
        file.AddSection("s")->AddEntry("k", std::string(10000, 'v').c_str());
        bool saved = file.Save();
        ::_exit(saved ? 1 : file.IsChanged() ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFile(path), original);
    EXPECT_EQ(std::distance(fs::directory_iterator(root), fs::directory_iterator()), 1);

    // A save that succeeds keeps the file's mode.
    LDatFileNativeFile file(path.c_str());
    file.AddSection("s");
    ASSERT_TRUE(file.Save());
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(DatFileTest, RegistrySavesChangedFilesAtTheEnd)
{
    const fs::path changed = root / "changed.dat", unchanged = root / "unchanged.dat";
    std::ofstream(unchanged) << "kept as it is";
    {
        LDatFileNativeSystem registry;
        auto* a = new LDatFileNativeFile(changed.c_str());
        a->AddSection("s")->AddEntry("k", "v");
        registry.AddFile(a);
        auto* b = new LDatFileNativeFile(unchanged.c_str());
        b->AddSection("x");
        b->SetChanged(false);
        registry.AddFile(b);
    }
    EXPECT_EQ(ReadFile(changed), "[s]\r\nk=v\r\n\r\n");
    EXPECT_EQ(ReadFile(unchanged), "kept as it is");
}

} // namespace
