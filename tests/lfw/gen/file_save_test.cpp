#include "lfw/gen/LFileSave.h"
#include "lfw/gen/LSDF.h"

#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

int gRenames = 0;

int RenameAcrossVolumes(const char*, const char*)
{
    ++gRenames;
    errno = EXDEV;
    return -1;
}

struct RenameHook {
    RenameHook()
    {
        gRenames = 0;
        _LFileSetRenameHook(RenameAcrossVolumes);
    }
    ~RenameHook() { _LFileSetRenameHook(nullptr); }
};

bool WriteProject(LOutputStreamFile& stream, int items)
{
    LSDFWriter<LOutputStreamFile> writer;
    bool ok = writer.Open(stream, 7, 3);
    for (int i = 0; i < items; ++i)
        ok = writer.WriteString(1, "en rad text i projektet") && ok;
    return writer.Close() && ok;
}

mode_t Mode(const std::string& path)
{
    struct stat st { };
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

} // namespace

TEST(FileSave, ReplacesTheTargetThroughATemporaryFileBesideIt)
{
    TemporaryFolder folder;
    std::string target = folder / "etikett.vtproj";
    TemporaryFolder::WriteFile(target, "gammalt innehåll");
    mode_t old = ::umask(022);
    LFileSave save;
    ASSERT_TRUE(save.Begin(target.c_str()));
    std::string temporary = save.GetTemporaryPath();
    EXPECT_EQ(temporary.substr(0, folder.Path().size() + 2), folder.Path() + "/0");
    EXPECT_EQ(temporary.size(), folder.Path().size() + 8); // "/0XXXXXX"
    EXPECT_EQ(Mode(temporary), 0644u); // 0666 less the umask, never world-writable
    ::umask(old);
    ASSERT_TRUE(WriteProject(save.GetStream(), 100));
    ASSERT_TRUE(save.Commit());
    EXPECT_EQ(
        TemporaryFolder::List(folder.Path()), (std::vector<std::string> { "etikett.vtproj" }));
    EXPECT_EQ(TemporaryFolder::ReadFile(target).substr(0, 4), "lsdf");
    EXPECT_EQ(Mode(target), 0644u);
}

TEST(FileSave, DiscardLeavesTheTargetUntouched)
{
    TemporaryFolder folder;
    std::string target = folder / "etikett.vtproj";
    TemporaryFolder::WriteFile(target, "gammalt innehåll");
    {
        LFileSave save;
        ASSERT_TRUE(save.Begin(target.c_str()));
        ASSERT_TRUE(WriteProject(save.GetStream(), 10));
        save.Discard();
        EXPECT_FALSE(save.Commit());
    }
    {
        LFileSave abandoned; // destroyed without a commit
        ASSERT_TRUE(abandoned.Begin(target.c_str()));
        ASSERT_TRUE(WriteProject(abandoned.GetStream(), 10));
    }
    EXPECT_EQ(TemporaryFolder::ReadFile(target), "gammalt innehåll");
    EXPECT_EQ(
        TemporaryFolder::List(folder.Path()), (std::vector<std::string> { "etikett.vtproj" }));
}

// The disk fills up in the middle of a save (the file-size limit stands in for a full disk).
TEST(FileSave, AFailedWriteLeavesTheTargetByteIdenticalAndNoTemporaryFile)
{
    TemporaryFolder folder;
    std::string target = folder / "etikett.vtproj";
    std::string original(5000, 'o');
    TemporaryFolder::WriteFile(target, original);
    pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit { 100000, 100000 };
        ::setrlimit(RLIMIT_FSIZE, &limit);
        LFileSave save;
        if (!save.Begin(target.c_str()))
            ::_exit(3);
        bool written = WriteProject(save.GetStream(), 20000); // about 700 kB
        bool committed = save.Commit();
        ::_exit(written ? 2 : committed ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(TemporaryFolder::ReadFile(target), original);
    EXPECT_EQ(
        TemporaryFolder::List(folder.Path()), (std::vector<std::string> { "etikett.vtproj" }));
}

TEST(FileSave, AcrossVolumesTheTemporaryFileIsCopiedAndRemoved)
{
    TemporaryFolder folder;
    std::string target = folder / "etikett.vtproj";
    TemporaryFolder::WriteFile(target, "gammalt");
    RenameHook hook;
    LFileSave save;
    ASSERT_TRUE(save.Begin(target.c_str()));
    ASSERT_TRUE(WriteProject(save.GetStream(), 50));
    ASSERT_TRUE(save.Commit());
    EXPECT_EQ(gRenames, 1);
    EXPECT_EQ(TemporaryFolder::ReadFile(target).substr(0, 4), "lsdf");
    EXPECT_EQ(
        TemporaryFolder::List(folder.Path()), (std::vector<std::string> { "etikett.vtproj" }));
}

TEST(FileSave, AFailedCopyAcrossVolumesLeavesNothingBehind)
{
    TemporaryFolder folder;
    TemporaryFolder elsewhere;
    std::string target = folder / "gone/etikett.vtproj"; // its folder does not exist
    RenameHook hook;
    LFileSave save;
    ASSERT_TRUE(save.Begin(target.c_str(), elsewhere.Path().c_str()));
    ASSERT_TRUE(WriteProject(save.GetStream(), 5));
    EXPECT_FALSE(save.Commit());
    EXPECT_TRUE(TemporaryFolder::List(elsewhere.Path()).empty());
    EXPECT_TRUE(TemporaryFolder::List(folder.Path()).empty());
}

// A real second volume when there is one: the temporary folder on the memory file system.
TEST(FileSave, ARealCrossVolumeMove)
{
    TemporaryFolder folder;
    TemporaryFolder memory("/dev/shm");
    struct stat a {
    }, b {};
    if (!memory.IsValid() || ::stat(folder.Path().c_str(), &a) != 0
        || ::stat(memory.Path().c_str(), &b) != 0 || a.st_dev == b.st_dev)
        GTEST_SKIP() << "no second volume";
    std::string target = folder / "etikett.vtlayout";
    TemporaryFolder::WriteFile(target, "gammalt");
    LFileSave save;
    ASSERT_TRUE(save.Begin(target.c_str(), memory.Path().c_str()));
    ASSERT_TRUE(WriteProject(save.GetStream(), 50));
    ASSERT_TRUE(save.Commit());
    EXPECT_EQ(TemporaryFolder::ReadFile(target).substr(0, 4), "lsdf");
    EXPECT_TRUE(TemporaryFolder::List(memory.Path()).empty());
    EXPECT_EQ(
        TemporaryFolder::List(folder.Path()), (std::vector<std::string> { "etikett.vtlayout" }));
}

TEST(FileSave, TemporaryFilesAndRefusedPaths)
{
    TemporaryFolder folder;
    char path[kLPathSize];
    int fd = LFileCreateTemporary(path, folder.Path().c_str());
    ASSERT_GE(fd, 0);
    ::close(fd);
    int other = LFileCreateTemporary(path + 0, folder.Path().c_str());
    ASSERT_GE(other, 0);
    ::close(other);
    EXPECT_EQ(TemporaryFolder::List(folder.Path()).size(), 2u);
    EXPECT_EQ(LFileCreateTemporary(path, (folder / "missing").c_str()), -1);
    EXPECT_STREQ(path, "");
    // A folder too long for the name is refused and leaves no file.
    std::string deep = folder.Path();
    while (deep.size() < 255) {
        deep += "/dddddddddddddddddddddddddddddddddddddddddd";
        ::mkdir(deep.c_str(), 0777);
    }
    EXPECT_EQ(LFileCreateTemporary(path, deep.c_str()), -1);
    EXPECT_TRUE(TemporaryFolder::List(deep).empty());
    LFileSave save;
    EXPECT_FALSE(save.Begin((std::string(300, 'x')).c_str()));
    EXPECT_FALSE(save.Begin(""));
}
