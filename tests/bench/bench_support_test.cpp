// The scratch folder of the benchmark programs: made and removed again, and when it cannot be
// made, nothing is removed and the run stops instead of writing elsewhere. The PPM reader and the
// PSNR with which benchmarks check that both sides made the same picture.
#include "bench/BenchSupport.h"

#include <cmath>
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

TEST(BenchPixmap, ReadsNetpbmFilesAndComparesThem)
{
    const fs::path folder = fs::temp_directory_path() / ("vt-pixmap-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const std::string a = (folder / "a.ppm").string(), b = (folder / "b.ppm").string();
    // netpbm writes the two pictures: 4 x 2 grey 100, and the same with one channel of one
    // pixel 10 away.
    ASSERT_EQ(std::system(("ppmmake rgb:64/64/64 4 2 >" + a).c_str()), 0);
    const benchsupport::Pixmap pa(a);
    ASSERT_TRUE(pa.Valid());
    EXPECT_EQ(pa.width, 4);
    EXPECT_EQ(pa.height, 2);
    ASSERT_EQ(pa.rgb.size(), 24u);
    EXPECT_EQ(pa.rgb[0], 100);
    EXPECT_EQ(benchsupport::PSNR(pa, pa), 99);
    {
        std::ofstream out(b, std::ios::binary);
        out << "P6\n4 2\n255\n";
    }
    std::string pixels(24, char(100));
    pixels[5] = char(110);
    std::ofstream(b, std::ios::binary | std::ios::app) << pixels;
    // MSE 100 / 24: 10 log10(255^2 x 24 / 100).
    EXPECT_NEAR(benchsupport::PSNR(pa, benchsupport::Pixmap(b)),
        10 * std::log10(255.0 * 255.0 * 24 / 100), 1e-9);

    // Truncated, another kind or a different size: not read, or no comparison.
    std::ofstream(b, std::ios::binary | std::ios::trunc) << "P6\n4 2\n255\n" << pixels.substr(3);
    EXPECT_FALSE(benchsupport::Pixmap(b).Valid());
    std::ofstream(b, std::ios::binary | std::ios::trunc) << "P5\n4 2\n255\n" << pixels;
    EXPECT_FALSE(benchsupport::Pixmap(b).Valid());
    ASSERT_EQ(std::system(("ppmmake rgb:64/64/64 2 4 >" + b).c_str()), 0);
    EXPECT_EQ(benchsupport::PSNR(pa, benchsupport::Pixmap(b)), 0);
    fs::remove_all(folder);
}
