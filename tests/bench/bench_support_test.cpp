// The scratch folder of the benchmark programs: made and removed again, and when it cannot be
// made, nothing is removed and the run stops instead of writing elsewhere.
#include "bench/BenchSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string Env(const char* name)
{
    const char* v = getenv(name);
    return v ? v : "";
}

} // namespace

TEST(BenchScratch, MadeUsedAndRemoved)
{
    std::string path;
    {
        benchsupport::Scratch scratch(fs::temp_directory_path().string() + "/vt-scratch-XXXXXX");
        path = scratch.Required();
        ASSERT_FALSE(path.empty());
        EXPECT_TRUE(fs::is_directory(path));
        EXPECT_EQ(Env("XDG_CONFIG_HOME"), path + "/config");
        EXPECT_EQ(Env("XDG_CACHE_HOME"), path + "/cache");
        fs::create_directories(path + "/config/sub");
        std::ofstream(path + "/config/sub/file") << "x";
    }
    EXPECT_FALSE(fs::exists(path));
}

TEST(BenchScratch, AFolderThatCannotBeMadeRemovesNothing)
{
    // A parent holding a file the failed scratch must leave alone.
    fs::path parent = fs::temp_directory_path() / ("vt-scratch-parent-" + std::to_string(getpid()));
    fs::create_directories(parent);
    std::ofstream(parent / "keep") << "keep";
    setenv("XDG_CONFIG_HOME", parent.c_str(), 1);
    {
        // The file is no folder, so nothing can be made below it.
        benchsupport::Scratch scratch((parent / "keep" / "x-XXXXXX").string());
        EXPECT_TRUE(scratch.path.empty());
        EXPECT_EQ(Env("XDG_CONFIG_HOME"), parent.string());
        EXPECT_EXIT(scratch.Required(), ::testing::ExitedWithCode(1), "scratch folder");
    }
    EXPECT_TRUE(fs::exists(parent / "keep"));
    EXPECT_TRUE(fs::exists(fs::temp_directory_path()));
    fs::remove_all(parent);
}
