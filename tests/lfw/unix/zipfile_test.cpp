// Zip extraction through the system's unzip: overwriting, awkward paths, missing archives.
#include "lfw/unix/LZipFile.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Writes a zip archive with Python's zipfile module: arguments are the archive, then name and
// content pairs (run without a shell).
bool MakeZip(const std::string& archive, const std::vector<std::string>& namesAndContents)
{
    std::vector<std::string> args = { "python3", "-c",
        "import sys, zipfile\n"
        "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
        "    for n, c in zip(sys.argv[2::2], sys.argv[3::2]): z.writestr(n, c)\n",
        archive };
    args.insert(args.end(), namesAndContents.begin(), namesAndContents.end());
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawnp(&pid, "python3", nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string ReadFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

class ZipFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = TemporaryFolder::Base() + "/vt_zip_XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
    }
    void TearDown() override { fs::remove_all(root); }
    fs::path root;
};

TEST_F(ZipFileTest, ExtractsAndOverwritesExistingFiles)
{
    const fs::path archive = root / "a.zip";
    ASSERT_TRUE(MakeZip(archive, { "one.txt", "first", "sub/two.txt", "second" }));
    const fs::path out = root / "out";
    fs::create_directories(out / "sub");
    std::ofstream(out / "one.txt") << "old content that is longer";
    std::ofstream(out / "sub" / "two.txt") << "old";
    std::ofstream(out / "keep.txt") << "untouched";

    LZipFile zip(archive.c_str(), 0);
    EXPECT_STREQ(zip.GetFolder(), root.c_str());
    EXPECT_TRUE(zip.ExtractAllFiles(out.c_str()));
    EXPECT_EQ(ReadFile(out / "one.txt"), "first");
    EXPECT_EQ(ReadFile(out / "sub" / "two.txt"), "second");
    EXPECT_EQ(ReadFile(out / "keep.txt"), "untouched");

    zip.Clear();
    EXPECT_STREQ(zip.GetPath(), "");
    EXPECT_FALSE(zip.ExtractAllFiles(out.c_str()));
}

TEST_F(ZipFileTest, PathsWithQuotesDollarsBackquotesAndPatterns)
{
    const std::vector<std::string> names = { "it's \"quoted\"", "$HOME and ${PATH}", "`id` $(id)",
        "back\\slash", "-dash", "a[1]*?", "x\\[y\\*" };
    for (const auto& name : names) {
        const fs::path folder = root / name;
        fs::create_directories(folder);
        const fs::path archive = folder / (name + ".zip");
        ASSERT_TRUE(MakeZip(archive, { "f.txt", name }));
        const fs::path out = folder / ("out " + name);
        EXPECT_TRUE(LZipFileExtractAllFiles(archive.c_str(), out.c_str())) << name;
        EXPECT_EQ(ReadFile(out / "f.txt"), name);
    }
    // Nothing was run by a shell: no file named after a command's output appeared anywhere.
    EXPECT_FALSE(fs::exists(root / "uid=0(root)"));
}

TEST_F(ZipFileTest, ArchiveNamesAreNotPatterns)
{
    // unzip would take "a[1].zip" as a pattern matching "a1.zip".
    ASSERT_TRUE(MakeZip(root / "a[1].zip", { "f.txt", "brackets" }));
    ASSERT_TRUE(MakeZip(root / "a1.zip", { "f.txt", "plain" }));
    ASSERT_TRUE(MakeZip(root / "b*.zip", { "f.txt", "star" }));
    ASSERT_TRUE(MakeZip(root / "bb.zip", { "g.txt", "other" }));
    EXPECT_TRUE(LZipFileExtractAllFiles((root / "a[1].zip").c_str(), (root / "o1").c_str()));
    EXPECT_EQ(ReadFile(root / "o1" / "f.txt"), "brackets");
    EXPECT_TRUE(LZipFileExtractAllFiles((root / "b*.zip").c_str(), (root / "o2").c_str()));
    EXPECT_EQ(ReadFile(root / "o2" / "f.txt"), "star");
    EXPECT_FALSE(fs::exists(root / "o2" / "g.txt"));
    // A relative path that begins with a dash is no option.
    const fs::path cwd = fs::current_path();
    fs::current_path(root);
    ASSERT_TRUE(MakeZip("-x.zip", { "f.txt", "dash" }));
    EXPECT_TRUE(LZipFileExtractAllFiles("-x.zip", "-out"));
    fs::current_path(cwd);
    EXPECT_EQ(ReadFile(root / "-out" / "f.txt"), "dash");
}

TEST_F(ZipFileTest, MissingOrBrokenArchiveFails)
{
    EXPECT_FALSE(LZipFileExtractAllFiles((root / "none.zip").c_str(), (root / "o").c_str()));
    std::ofstream(root / "bad.zip") << "this is no zip archive";
    EXPECT_FALSE(LZipFileExtractAllFiles((root / "bad.zip").c_str(), (root / "o").c_str()));
}

} // namespace
