#include "lfw/gen/LFile.h"

#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <linux/fs.h>
#include <set>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

mode_t Mode(const std::string& path)
{
    struct stat st { };
    ::lstat(path.c_str(), &st);
    return st.st_mode & 07777;
}

std::set<std::string> Names(LFile::FolderIterator& it)
{
    std::set<std::string> names;
    if (!it.IsOpen())
        return names;
    do
        names.insert(it.GetName());
    while (it.Next());
    return names;
}

} // namespace

TEST(FileTests, ExistenceOfFilesAndFolders)
{
    TemporaryFolder folder;
    std::string file = folder / "f.txt";
    TemporaryFolder::WriteFile(file, "x");
    fs::create_symlink(folder / "missing", folder / "dangling");
    EXPECT_TRUE(LFile::TestFileExists(file.c_str()));
    EXPECT_TRUE(LFile::TestFileExists(folder.Path().c_str()));
    EXPECT_TRUE(LFile::TestFileExists((folder / "dangling").c_str())); // something is there
    EXPECT_FALSE(LFile::TestFileExists((folder / "missing").c_str()));
    EXPECT_FALSE(LFile::TestFileExists(""));
    EXPECT_TRUE(LFile::TestFolderExists(folder.Path().c_str()));
    EXPECT_FALSE(LFile::TestFolderExists(file.c_str()));
    EXPECT_FALSE(LFile::TestFolderExists(""));
}

TEST(FileTests, CreateFolderTreeMakesParentsAndReportsTheLastFolder)
{
    TemporaryFolder folder;
    std::string deep = folder / "a/b/c/";
    EXPECT_TRUE(LFile::CreateFolderTree(deep.c_str()));
    EXPECT_TRUE(fs::is_directory(folder / "a/b/c"));
    EXPECT_FALSE(LFile::CreateFolderTree(deep.c_str())); // it exists already
}

TEST(FileTests, WriteBlockedOnlyWhileAnotherProcessHoldsTheLock)
{
    TemporaryFolder folder;
    std::string file = folder / "locked.vtproj";
    TemporaryFolder::WriteFile(file, "x");
    EXPECT_FALSE(LFile::TestFileShareWriteBlocked(file.c_str()));
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = ::fork();
    if (child == 0) {
        int fd = ::open(file.c_str(), O_RDONLY);
        ::flock(fd, LOCK_EX);
        char c = 1;
        (void)!::write(ready[1], &c, 1);
        ::sleep(10);
        ::_exit(0);
    }
    char c;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    EXPECT_TRUE(LFile::TestFileShareWriteBlocked(file.c_str()));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_FALSE(LFile::TestFileShareWriteBlocked(file.c_str()));
    EXPECT_FALSE(LFile::TestFileShareWriteBlocked((folder / "missing").c_str()));
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST(FileCopy, NewAndExistingDestinations)
{
    TemporaryFolder folder;
    std::string source = folder / "source.txt";
    TemporaryFolder::WriteFile(source, "ny text");
    ::chmod(source.c_str(), 0640);
    std::string copy = folder / "copy.txt";
    ASSERT_TRUE(LFile::CopyFile(source.c_str(), copy.c_str()));
    EXPECT_EQ(TemporaryFolder::ReadFile(copy), "ny text");
    EXPECT_EQ(Mode(copy), 0640u);
    EXPECT_EQ(fs::last_write_time(copy), fs::last_write_time(source));

    // Onto an existing file: replaced whole, no backup or temporary file left.
    TemporaryFolder::WriteFile(copy, "gammal text som är längre");
    ASSERT_TRUE(LFile::CopyFile(source.c_str(), copy.c_str()));
    EXPECT_EQ(TemporaryFolder::ReadFile(copy), "ny text");
    EXPECT_EQ(TemporaryFolder::List(folder.Path()),
        (std::vector<std::string> { "copy.txt", "source.txt" }));

    // A failed copy reports false and leaves nothing.
    EXPECT_FALSE(LFile::CopyFile((folder / "missing").c_str(), (folder / "new.txt").c_str()));
    EXPECT_FALSE(LFile::CopyFile(source.c_str(), (folder / "no/such/folder.txt").c_str()));
    EXPECT_FALSE(
        LFile::CopyFile(source.c_str(), folder.Path().c_str())); // a folder is not replaced
    EXPECT_EQ(TemporaryFolder::List(folder.Path()),
        (std::vector<std::string> { "copy.txt", "source.txt" }));
}

TEST(FileCopy, LinksAreCopiedAsLinksAndNeverWrittenThrough)
{
    TemporaryFolder folder;
    std::string outside = folder / "outside.txt";
    TemporaryFolder::WriteFile(outside, "utanför");
    fs::create_symlink(outside, folder / "link");
    // The link itself is copied.
    ASSERT_TRUE(LFile::CopyFile((folder / "link").c_str(), (folder / "link2").c_str()));
    EXPECT_TRUE(fs::is_symlink(folder / "link2"));
    EXPECT_EQ(fs::read_symlink(folder / "link2"), outside);
    // A destination that is a link is replaced, its target left alone.
    std::string source = folder / "source.txt";
    TemporaryFolder::WriteFile(source, "källa");
    ASSERT_TRUE(LFile::CopyFile(source.c_str(), (folder / "link").c_str()));
    EXPECT_FALSE(fs::is_symlink(folder / "link"));
    EXPECT_EQ(TemporaryFolder::ReadFile(folder / "link"), "källa");
    EXPECT_EQ(TemporaryFolder::ReadFile(outside), "utanför");
}

TEST(FileCopy, FolderCopyStaysInsideBothTrees)
{
    TemporaryFolder folder;
    fs::create_directories(folder / "src/sub/deeper");
    fs::create_directories(folder / "outside");
    TemporaryFolder::WriteFile(folder / "outside/secret.txt", "hemligt");
    TemporaryFolder::WriteFile(folder / "src/a.txt", "a");
    TemporaryFolder::WriteFile(folder / "src/sub/b.txt", "b");
    TemporaryFolder::WriteFile(folder / "src/sub/deeper/c.txt", "c");
    fs::create_directory_symlink(folder / "outside", folder / "src/escape");
    // The destination already holds a link where the copy wants a folder.
    fs::create_directories(folder / "dst");
    fs::create_directory_symlink(folder / "outside", folder / "dst/sub");

    EXPECT_FALSE(LFile::CopyFolderFiles((folder / "src").c_str(), (folder / "dst").c_str()));
    EXPECT_EQ(TemporaryFolder::ReadFile(folder / "dst/a.txt"), "a");
    EXPECT_TRUE(fs::is_symlink(folder / "dst/escape")); // copied as a link, not as a folder
    // Nothing was written through the destination's link.
    EXPECT_EQ(
        TemporaryFolder::List(folder / "outside"), (std::vector<std::string> { "secret.txt" }));

    // Into a fresh destination (created with its parents) everything arrives.
    ASSERT_TRUE(LFile::CopyFolderFiles((folder / "src").c_str(), (folder / "new/dst").c_str()));
    EXPECT_EQ(TemporaryFolder::ReadFile(folder / "new/dst/sub/deeper/c.txt"), "c");
    EXPECT_TRUE(fs::is_symlink(folder / "new/dst/escape"));
    EXPECT_FALSE(LFile::CopyFolderFiles((folder / "src/a.txt").c_str(), (folder / "x").c_str()));
}

TEST(FileDelete, DeleteTreeRemovesLinksNotWhatTheyPointTo)
{
    TemporaryFolder folder;
    fs::create_directories(folder / "tree/sub/deeper");
    fs::create_directories(folder / "outside");
    TemporaryFolder::WriteFile(folder / "outside/keep.txt", "kvar");
    TemporaryFolder::WriteFile(folder / "tree/a.txt", "a");
    TemporaryFolder::WriteFile(folder / "tree/sub/deeper/b.txt", "b");
    fs::create_directory_symlink(folder / "outside", folder / "tree/sub/escape");
    fs::create_symlink(folder / "outside/keep.txt", folder / "tree/filelink");

    // A link to a folder given as the tree itself is not followed either.
    fs::create_directory_symlink(folder / "outside", folder / "toplink");
    EXPECT_FALSE(LFile::DeleteFolderTree((folder / "toplink").c_str()));
    EXPECT_FALSE(LFile::DeleteFolderTree((folder / "toplink/").c_str()));
    EXPECT_TRUE(fs::exists(folder / "outside/keep.txt"));

    EXPECT_TRUE(LFile::DeleteFolderTree((folder / "tree").c_str()));
    EXPECT_FALSE(fs::exists(folder / "tree"));
    EXPECT_EQ(TemporaryFolder::ReadFile(folder / "outside/keep.txt"), "kvar");
    EXPECT_FALSE(LFile::DeleteFolderTree(""));
    EXPECT_FALSE(LFile::DeleteFolderTree((folder / "missing").c_str()));
}

TEST(FileDelete, DeleteFolderAndFilesLeavesSubFolders)
{
    TemporaryFolder folder;
    fs::create_directories(folder / "f/sub");
    TemporaryFolder::WriteFile(folder / "f/a.txt", "a");
    TemporaryFolder::WriteFile(folder / "f/sub/b.txt", "b");
    EXPECT_FALSE(LFile::DeleteFolderAndFiles((folder / "f").c_str())); // sub keeps it alive
    EXPECT_EQ(TemporaryFolder::List(folder / "f"), (std::vector<std::string> { "sub" }));
    fs::remove_all(folder / "f/sub");
    EXPECT_TRUE(LFile::DeleteFolderAndFiles((folder / "f").c_str()));
}

TEST(FileDelete, DeleteTreeAlwaysClearsImmutableMarks)
{
    TemporaryFolder folder;
    fs::create_directories(folder / "tree");
    std::string file = folder / "tree/locked.txt";
    TemporaryFolder::WriteFile(file, "låst");
    int fd = ::open(file.c_str(), O_RDONLY);
    int flags = 0;
    bool marked = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0
        && (flags |= FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    ::close(fd);
    if (!marked)
        GTEST_SKIP() << "cannot mark files immutable here";
    EXPECT_FALSE(LFile::DeleteFolderTree((folder / "tree").c_str()));
    EXPECT_TRUE(LFile::DeleteFolderTreeAlways((folder / "tree").c_str()));
    EXPECT_FALSE(fs::exists(folder / "tree"));
}

TEST(FilePermissions, AllAccessStaysInsideTheTree)
{
    TemporaryFolder folder;
    fs::create_directories(folder / "tree/sub");
    TemporaryFolder::WriteFile(folder / "tree/sub/a.txt", "a");
    TemporaryFolder::WriteFile(folder / "outside.txt", "o");
    ::chmod((folder / "tree/sub/a.txt").c_str(), 0600);
    ::chmod((folder / "tree/sub").c_str(), 0700);
    ::chmod((folder / "outside.txt").c_str(), 0600);
    fs::create_symlink(folder / "outside.txt", folder / "tree/link");
    fs::create_directories(folder / "outfolder");
    ::chmod((folder / "outfolder").c_str(), 0700);
    fs::create_directory_symlink(folder / "outfolder", folder / "tree/sub/dirlink");

    EXPECT_TRUE(LFile::SetFolderSecurityAllAccess((folder / "tree").c_str()));
    EXPECT_EQ(Mode(folder / "tree"), 0777u);
    EXPECT_EQ(Mode(folder / "tree/sub"), 0777u);
    EXPECT_EQ(Mode(folder / "tree/sub/a.txt"), 0777u);
    EXPECT_EQ(Mode(folder / "outside.txt"), 0600u);
    EXPECT_EQ(Mode(folder / "outfolder"), 0700u);
    // A link given as the tree is refused.
    EXPECT_FALSE(LFile::SetFolderSecurityAllAccess((folder / "tree/sub/dirlink").c_str()));
    EXPECT_EQ(Mode(folder / "outfolder"), 0700u);
}

TEST(FolderIteration, PatternsCaseAndSkippedNames)
{
    TemporaryFolder folder;
    for (const char* name : { "Bild.PNG", "bild2.png", "text.txt", "__MACOSX_x.png" })
        TemporaryFolder::WriteFile(folder / name, "x");
    fs::create_directories(folder / "__MACOSX");
    fs::create_directories(folder / "sub.png");

    LFile::FolderIterator pngs;
    ASSERT_TRUE(pngs.Open(folder.Path().c_str(), "*.png"));
    EXPECT_EQ(Names(pngs), (std::set<std::string> { "Bild.PNG", "bild2.png", "sub.png" }));

    LFile::FolderIterator all(folder.Path().c_str());
    std::set<std::string> names;
    bool sawFolder = false;
    if (all.IsOpen()) {
        do {
            names.insert(all.GetName());
            if (std::string(all.GetName()) == "sub.png")
                sawFolder = all.IsFolder();
        } while (all.Next());
    }
    EXPECT_EQ(names, (std::set<std::string> { "Bild.PNG", "bild2.png", "sub.png", "text.txt" }));
    EXPECT_TRUE(sawFolder);

    // Constructed from a file's path: that file's folder, the file name as the pattern.
    LFile::FolderIterator one((folder / "text.txt").c_str());
    EXPECT_EQ(Names(one), (std::set<std::string> { "text.txt" }));
    char path[kLPathSize];
    LFile::FolderIterator again((folder / "text.txt").c_str());
    ASSERT_TRUE(again.GetPath(path));
    EXPECT_EQ(std::string(path), folder / "text.txt");

    LFile::FolderIteratorAllFiles everything;
    ASSERT_TRUE(everything.Open(folder.Path().c_str(), "*"));
    EXPECT_TRUE(Names(everything).count(".."));

    LFile::FolderIterator missing;
    EXPECT_FALSE(missing.Open((folder / "missing").c_str(), "*"));
}

TEST(FolderIteration, EmptyFolders)
{
    TemporaryFolder folder;
    EXPECT_TRUE(LFolderIsEmpty(folder.Path().c_str()));
    fs::create_directories(folder / "__MACOSX");
    EXPECT_TRUE(LFolderIsEmpty(folder.Path().c_str()));
    TemporaryFolder::WriteFile(folder / "a", "");
    EXPECT_FALSE(LFolderIsEmpty(folder.Path().c_str()));
    EXPECT_TRUE(LFolderIsEmpty((folder / "missing").c_str()));
}
