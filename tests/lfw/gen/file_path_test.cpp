#include "lfw/gen/LFile.h"

#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string Folder(const char* path)
{
    char out[kLPathSize];
    LFile::_GetFolderFromPath(out, path);
    return out;
}
std::string Base(const char* path)
{
    char out[kLPathSize];
    LFile::_GetBaseFolderFromPath(out, path);
    return out;
}
std::string File(const char* path)
{
    char out[kLPathSize];
    LFile::_GetFileFromPath(out, path);
    return out;
}
std::string Name(const char* path)
{
    char out[kLPathSize];
    LFile::_GetFileNameFromPath(out, path);
    return out;
}
std::string Extension(const char* path)
{
    char out[kLPathSize];
    LFile::_GetFileExtensionFromPath(out, path);
    return out;
}
std::string NewExtension(const char* path, const char* extension)
{
    char out[kLPathSize];
    EXPECT_TRUE(LFile::_ApplyNewFileExtension(out, path, extension));
    return out;
}
std::string Compact(const char* path, size_t n)
{
    char out[kLPathSize];
    LFile::CompactFilePath(out, path, n);
    return out;
}

} // namespace

TEST(FilePath, MakeFilePathJoinsWithOneSeparator)
{
    char out[kLPathSize];
    ASSERT_TRUE(LFile::_MakeFilePath(out, "/home/a", "bild", ".png"));
    EXPECT_STREQ(out, "/home/a/bild.png");
    ASSERT_TRUE(LFile::_MakeFilePath(out, "/home/a/", "bild", ".png"));
    EXPECT_STREQ(out, "/home/a/bild.png");
    ASSERT_TRUE(LFile::_MakeFilePath(out, "C:\\data\\", "x", ""));
    EXPECT_STREQ(out, "C:\\data\\x");
    ASSERT_TRUE(LFile::_MakeFilePath(out, "", "bild", ".png"));
    EXPECT_STREQ(out, "bild.png");
    // The folder argument may be the output buffer itself.
    std::strcpy(out, "/tmp");
    ASSERT_TRUE(LFile::_MakeFilePath(out, out, "f", ".txt"));
    EXPECT_STREQ(out, "/tmp/f.txt");
}

TEST(FilePath, APathThatDoesNotFitIsRefusedNotCut)
{
    char out[kLPathSize];
    std::string folder(250, 'f');
    // 250 + "/" + 8 = 259 characters: fits exactly.
    ASSERT_TRUE(LFile::_MakeFilePath(out, folder.c_str(), "abcd", ".txt"));
    EXPECT_EQ(std::strlen(out), 259u);
    // One more character would have to be cut: refused, and out is empty.
    EXPECT_FALSE(LFile::_MakeFilePath(out, folder.c_str(), "abcde", ".txt"));
    EXPECT_STREQ(out, "");

    std::string path = std::string(250, 'p') + "/x.vtproj";
    EXPECT_FALSE(LFile::_ApplyNewFileExtension(out, path.c_str(), ".vtlayout"));
    EXPECT_STREQ(out, "");

    TemporaryFolder folderOnDisk;
    std::string longFolder = folderOnDisk.Path() + "/" + std::string(240, 'q');
    EXPECT_FALSE(LFile::MakeUniqueOrderedFilePath(out, longFolder.c_str(), "name", ".ext"));
    EXPECT_STREQ(out, "");
}

TEST(FilePath, SplittingPaths)
{
    EXPECT_EQ(Folder("/a/b/c.txt"), "/a/b");
    EXPECT_EQ(Folder("/c.txt"), "/");
    EXPECT_EQ(Folder("c.txt"), "");
    EXPECT_EQ(Folder("a\\b\\c.txt"), "a\\b");
    EXPECT_EQ(Base("/Users/anna/Documents/x"), "/Users");
    EXPECT_EQ(Base("C:\\data\\x"), "C:");
    EXPECT_EQ(Base("name"), "name");
    EXPECT_EQ(File("/a/b/c.tar.gz"), "c.tar.gz");
    EXPECT_EQ(File("c"), "c");
    EXPECT_EQ(File("/a/b/"), "");
    EXPECT_EQ(Name("/a/b/c.tar.gz"), "c.tar");
    EXPECT_EQ(Name("/a/.profile"), ".profile");
    EXPECT_EQ(Name("/a.d/readme"), "readme");
    EXPECT_EQ(Extension("/a/b/c.tar.gz"), ".gz");
    EXPECT_EQ(Extension("/a.d/readme"), "");
    EXPECT_EQ(Extension("/a/.profile"), ".profile");
}

TEST(FilePath, ApplyNewFileExtension)
{
    EXPECT_EQ(NewExtension("/a/b.vtx", ".vtproj"), "/a/b.vtproj");
    EXPECT_EQ(NewExtension("/a/b", ".vtproj"), "/a/b.vtproj");
    // A bare name that starts with its only dot gets the extension appended...
    EXPECT_EQ(NewExtension(".hidden", ".txt"), ".hidden.txt");
    // ...but after a folder such a name is replaced by the extension.
    EXPECT_EQ(NewExtension("/a/.hidden", ".txt"), "/a/.txt");
    // A dot in a folder name is not an extension.
    EXPECT_EQ(NewExtension("/a.d/readme", ".md"), "/a.d/readme.md");
}

TEST(FilePath, CompactFilePath)
{
    const char* path = "abcdefghijklmnopqrst"; // 20 characters
    EXPECT_EQ(Compact(path, 10), "abc...rst");
    EXPECT_EQ(Compact(path, 11), "abcd...rst");
    EXPECT_EQ(Compact(path, 21), path);
    EXPECT_EQ(Compact(path, 4), "...");
    EXPECT_EQ(Compact(path, 3), "..");
    // The head and the tail never end inside a character.
    EXPECT_EQ(Compact("\xC3\xA5\xC3\xA4\xC3\xB6xyz", 9), "\xC3\xA5...yz");
    EXPECT_EQ(Compact("xyz\xC3\xA5\xC3\xA4\xC3\xB6\xC3\xA5", 10), "xyz...\xC3\xA5");
}

TEST(FilePath, WildcardMatch)
{
    EXPECT_TRUE(LFile::IsMatch<char>("*", ""));
    EXPECT_TRUE(LFile::IsMatch<char>("*.png", "bild.png"));
    EXPECT_FALSE(LFile::IsMatch<char>("*.png", "bild.png.txt"));
    EXPECT_TRUE(LFile::IsMatch<char>("b?ld*", "bild.png"));
    EXPECT_FALSE(LFile::IsMatch<char>("B*", "bild"));
    EXPECT_TRUE(LFile::IsMatch<char>("*a*b*c", "xxaxxbxxbxc"));
    EXPECT_TRUE(LFile::IsMatch<char>("a**", "a"));
    EXPECT_FALSE(LFile::IsMatch<char>("?", ""));
    // Many stars over a long name stay quick.
    std::string name(5000, 'a');
    EXPECT_FALSE(LFile::IsMatch<char>("*a*a*a*a*a*a*a*a*b", name.c_str()));
}

TEST(FilePath, UniqueOrderedPathCountsFromZero)
{
    TemporaryFolder folder;
    char out[kLPathSize];
    ASSERT_TRUE(LFile::MakeUniqueOrderedFilePath(out, folder.Path().c_str(), "etikett", ".vtproj"));
    EXPECT_EQ(std::string(out), folder / "etikett.vtproj");
    TemporaryFolder::WriteFile(out, "x");
    ASSERT_TRUE(LFile::MakeUniqueOrderedFilePath(out, folder.Path().c_str(), "etikett", ".vtproj"));
    EXPECT_EQ(std::string(out), folder / "etikett_0.vtproj");
    TemporaryFolder::WriteFile(out, "x");
    ASSERT_TRUE(LFile::MakeUniqueOrderedFilePath(out, folder.Path().c_str(), "etikett", ".vtproj"));
    EXPECT_EQ(std::string(out), folder / "etikett_1.vtproj");
}

TEST(FilePath, IsSubFolderComparesFileSystemObjects)
{
    TemporaryFolder folder;
    std::string inner = folder / "a/b";
    std::filesystem::create_directories(inner);
    std::filesystem::create_directory_symlink(folder / "a", folder / "link");
    EXPECT_TRUE(LFile::IsSubFolder((folder / "a").c_str(), inner.c_str()));
    EXPECT_TRUE(LFile::IsSubFolder((folder / "a").c_str(), (folder / "a").c_str()));
    // The same folder reached through a link is the same object.
    EXPECT_TRUE(LFile::IsSubFolder((folder / "link").c_str(), inner.c_str()));
    EXPECT_FALSE(LFile::IsSubFolder(inner.c_str(), (folder / "a").c_str()));
    EXPECT_FALSE(LFile::IsSubFolder((folder / "missing").c_str(), inner.c_str()));
    EXPECT_FALSE(LFile::IsSubFolder((folder / "a").c_str(), ""));
}
