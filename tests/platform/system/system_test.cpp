#include "platform/system/System.h"

#include "support/ProcessStatus.h"
#include "support/ProgramRun.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sched.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;
namespace sys = platform::system;

namespace {

// Sets environment variables for one test and restores them afterwards.
class Environment {
public:
    void Set(const char* name, const char* value)
    {
        const char* old = std::getenv(name);
        m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~Environment()
    {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            if (it->second)
                ::setenv(it->first.c_str(), it->second->c_str(), 1);
            else
                ::unsetenv(it->first.c_str());
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

} // namespace

TEST(SystemFolders, ExecutableAndResources)
{
    std::string exe = sys::ExecutablePath();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe[0], '/');
    EXPECT_TRUE(fs::exists(exe));
    EXPECT_EQ(sys::ExecutableFolder(), fs::path(exe).parent_path().string());

    TemporaryFolder resources;
    Environment env;
    env.Set("VT_RESOURCES_DIR", (resources.Path() + "/").c_str());
    EXPECT_EQ(sys::ResourcesFolder(), resources.Path());
    // A variable naming no folder is ignored: the folder beside the executable, if any.
    env.Set("VT_RESOURCES_DIR", (resources / "missing").c_str());
    std::string found = sys::ResourcesFolder();
    EXPECT_NE(found, resources / "missing");
    if (!found.empty()) {
        EXPECT_TRUE(fs::is_directory(found));
    }
}

TEST(SystemFolders, XdgFoldersAndTheirFallbacks)
{
    TemporaryFolder home;
    Environment env;
    env.Set("HOME", home.Path().c_str());
    env.Set("XDG_CONFIG_HOME", nullptr);
    env.Set("XDG_DATA_HOME", nullptr);
    env.Set("XDG_CACHE_HOME", "relative/is/ignored");

    sys::UserFolderPath documents = sys::GetUserFolder(sys::UserFolder::Documents);
    EXPECT_EQ(documents.path, home / "Documents");
    EXPECT_TRUE(documents.fallback);
    EXPECT_EQ(sys::GetUserFolder(sys::UserFolder::Data).path, home / ".local/share");
    EXPECT_EQ(sys::GetUserFolder(sys::UserFolder::Cache).path, home / ".cache");

    fs::create_directories(home / ".config");
    TemporaryFolder::WriteFile(home / ".config/user-dirs.dirs",
        "# written by xdg-user-dirs-update\n"
        "XDG_DOCUMENTS_DIR=\"$HOME/Dokument\"\n"
        "XDG_PICTURES_DIR=\"/srv/bilder/\"\n"
        "XDG_MUSIC_DIR=\"$HOME/\"\n");
    documents = sys::GetUserFolder(sys::UserFolder::Documents);
    EXPECT_EQ(documents.path, home / "Dokument");
    EXPECT_FALSE(documents.fallback);
    EXPECT_EQ(sys::GetUserFolder(sys::UserFolder::Pictures).path, "/srv/bilder");

    env.Set("XDG_DATA_HOME", "/data/home");
    env.Set("XDG_CACHE_HOME", "/cache/home/");
    EXPECT_EQ(sys::GetUserFolder(sys::UserFolder::Data).path, "/data/home");
    EXPECT_EQ(sys::GetUserFolder(sys::UserFolder::Cache).path, "/cache/home");
    EXPECT_FALSE(sys::GetUserFolder(sys::UserFolder::Cache).fallback);
}

TEST(SystemMemory, SmallerOfMachineAndDataLimit)
{
    const std::string meminfo = "MemTotal:       16000000 kB\n"
                                "MemFree:         1000000 kB\n"
                                "MemAvailable:    8000000 kB\n"
                                "Inactive:        3000000 kB\n";
    const std::string status = "Name:\ttest\nVmData:\t  200000 kB\nVmStk:\t 132 kB\n";
    EXPECT_EQ(sys::FreeMemoryFrom(meminfo, status, UINT64_MAX), 8000000ull * 1024);
    EXPECT_EQ(sys::FreeMemoryFrom(meminfo, status, 1000000ull * 1024), 800000ull * 1024);
    EXPECT_EQ(sys::FreeMemoryFrom(meminfo, status, 100000ull * 1024), 0u); // already above it
    // Without MemAvailable: free and inactive.
    EXPECT_EQ(sys::FreeMemoryFrom("MemFree: 10 kB\nInactive: 5 kB\n", "", UINT64_MAX), 15u * 1024);
    // Unreadable statistics give 0.
    EXPECT_EQ(sys::FreeMemoryFrom("", status, UINT64_MAX), 0u);
    EXPECT_GT(sys::FreeMemory(), 0u);
}

namespace {

// 96 MB in blocks small enough for the allocator's own heap, written to, then freed but for the
// last (returned), which keeps the heap from shrinking by itself as any block still in use would.
char* FreeAllButTheLast()
{
    std::vector<char*> blocks;
    for (int i = 0; i < 1536; ++i) {
        blocks.push_back(static_cast<char*>(std::malloc(64 * 1024)));
        std::memset(blocks.back(), i, 64 * 1024);
    }
    for (size_t i = 0; i + 1 < blocks.size(); ++i)
        std::free(blocks[i]);
    return blocks.back();
}

long long ResidentKb()
{
    return StatusKb(getpid(), "VmRSS");
}

} // namespace

// Memory freed in the middle of the main thread's heap and of another thread's arena stays the
// process's until it is given back: at once, or soon on a thread of its own.
TEST(SystemMemory, FreeMemoryGoesBackToTheSystem)
{
    if (programrun::kAddressSanitizer)
        GTEST_SKIP() << "freed memory is held by AddressSanitizer's allocator, not the system's";
    for (const bool soon : { false, true }) {
        SCOPED_TRACE(soon ? "soon" : "at once");
        const long long before = ResidentKb();
        char* kept[2] = { FreeAllButTheLast(), nullptr };
        std::thread([&] { kept[1] = FreeAllButTheLast(); }).join();
        const long long freed = ResidentKb();
        EXPECT_GT(freed - before, 150 * 1024) << "the freed blocks went back by themselves";
        if (soon)
            sys::ReturnFreeMemorySoon();
        else
            sys::ReturnFreeMemory();
        long long after = 0;
        programrun::WaitFor([&] { return (after = ResidentKb()) - before < 40 * 1024; }, 10000, 10);
        std::printf("resident %lld kB, %lld kB with the freed blocks, %lld kB given back\n", before,
            freed, after);
        EXPECT_LT(after - before, 40 * 1024);
        std::free(kept[0]);
        std::free(kept[1]);
    }
}

// Once the allocator is set up for large blocks, blocks of some megabytes go back to the system
// when freed, also after one such block came and went (which has the allocator's own rule keep
// blocks of that size in its heap from then on) and with small blocks still in use between them.
TEST(SystemMemory, LargeBlocksGoBackWhenFreedOnceSetUp)
{
    if (programrun::kAddressSanitizer)
        GTEST_SKIP() << "freed memory is held by AddressSanitizer's allocator, not the system's";
    sys::SetUpAllocatorForLargeBlocks();
    const long long before = ResidentKb();
    long long freed = 0;
    std::thread([&] {
        constexpr size_t kBlock = 6 << 20;
        {
            // Written to, so that the compiler keeps the pair.
            char* volatile first = static_cast<char*>(std::malloc(kBlock));
            first[0] = 1;
            std::free(first);
        }
        std::vector<char*> blocks, small;
        for (int i = 0; i < 16; ++i) {
            blocks.push_back(static_cast<char*>(std::malloc(kBlock)));
            std::memset(blocks.back(), i, kBlock);
            small.push_back(static_cast<char*>(std::malloc(64)));
        }
        for (char* block : blocks)
            std::free(block);
        freed = ResidentKb();
        for (char* block : small)
            std::free(block);
    }).join();
    std::printf("resident %lld kB, %lld kB once 96 MB of blocks were freed\n", before, freed);
    EXPECT_LT(freed - before, 16 * 1024);
}

TEST(SystemProcessors, ThoseTheThreadMayRunOn)
{
    // As taskset leaves a program: only some of the machine's processors allowed.
    cpu_set_t all;
    CPU_ZERO(&all);
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    EXPECT_EQ(sys::ProcessorCount(), CPU_COUNT(&all));
    int first = 0;
    while (!CPU_ISSET(first, &all))
        ++first;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    EXPECT_EQ(sys::ProcessorCount(), 1);
    ASSERT_EQ(sched_setaffinity(0, sizeof all, &all), 0);
}

TEST(SystemDiscs, MountPointsOfOpticalDrivesInNumberOrder)
{
    TemporaryFolder folder;
    std::string block = folder / "block";
    for (const char* name : { "sda", "sr10", "sr1", "sr0", "srx", "loop0" })
        fs::create_directories(block + "/" + name);
    std::string mounts = folder / "mounts";
    TemporaryFolder::WriteFile(mounts,
        "/dev/sda1 / ext4 rw 0 0\n"
        "/dev/sr1 /media/anna/MIN\\040SKIVA iso9660 ro 0 0\n"
        "/dev/sr0 /mnt/cd udf ro 0 0\n");
    EXPECT_EQ(sys::OpticalDriveMountPointFrom(block, mounts, 0), "/mnt/cd");
    EXPECT_EQ(sys::OpticalDriveMountPointFrom(block, mounts, 1), "/media/anna/MIN SKIVA");
    EXPECT_EQ(sys::OpticalDriveMountPointFrom(block, mounts, 2), ""); // sr10: nothing mounted
    EXPECT_EQ(sys::OpticalDriveMountPointFrom(block, mounts, 3), "");
    EXPECT_EQ(sys::OpticalDriveMountPointFrom(block, mounts, 255), "");
    EXPECT_EQ(sys::OpticalDriveMountPointFrom(folder / "none", mounts, 0), "");
}
