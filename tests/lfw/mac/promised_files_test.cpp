// The job that receives promised files: it waits while the source still writes, moves the files
// to a destination without overwriting, skips what is no regular file, and cleans up when
// stopped.
#include "lfw/mac/LPromisedFiles.h"
#include "support/TemporaryFolder.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct Job : LProcessInterface {
    std::vector<std::string> errors, statuses;
    int waits = 0;
    int stopAfterWaits = -1;
    bool IsToStop() override { return stopAfterWaits >= 0 && waits >= stopAfterWaits; }
    LProcessResult ProcessWait(unsigned int ms) override
    {
        waits++;
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return IsToStop() ? LProcessResultStopped : LProcessResultSignaled;
    }
    LProcessResult ProcessWaitSignal(LSignalObjectRef, unsigned int) override
    {
        return LProcessResultTimeOut;
    }
    LProcessResult ProcessWaitSignalObjectGroup(LSignalObjectGroup&, unsigned int) override
    {
        return LProcessResultTimeOut;
    }
    void SetError(const char* text) override { errors.push_back(text); }
    void SetStatus(const char* text, int) override { statuses.push_back(text); }
};

std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// Writes a file in three steps while holding it locked, as a source program does.
std::thread SlowWriter(const std::string& path, std::atomic<bool>& done)
{
    return std::thread([path, &done] {
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        flock(fd, LOCK_EX);
        for (int i = 0; i < 3; i++) {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            (void)!write(fd, "del;", 4);
        }
        flock(fd, LOCK_UN);
        close(fd);
        done = true;
    });
}

} // namespace

TEST(PromisedFiles, WaitsForTheWriterAndKeepsFilesWhereTheyArrived)
{
    TemporaryFolder tmp;
    std::string folder = tmp.Path() + "/0abc";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    std::atomic<bool> written { false };
    std::thread writer = SlowWriter(folder + "/bild.png", written);
    LStringListTemplate<char> paths;
    LMacPasteBoardGetPromisedFilePathsData data(paths, folder.c_str(), 1, "");
    data.pollMs = 100;
    Job job;
    EXPECT_EQ(Process(job, data), LProcessResultSuccess);
    writer.join();
    EXPECT_TRUE(written);
    ASSERT_EQ(paths.GetCount(), 1u);
    EXPECT_EQ(std::string(paths[0]), folder + "/bild.png");
    EXPECT_EQ(Read(paths[0]), "del;del;del;");
    EXPECT_EQ(job.statuses.front(), "Väntar på att filer ska kopieras...");
    EXPECT_TRUE(job.errors.empty());
}

TEST(PromisedFiles, MovesWithoutOverwritingAndRemovesTheEmptyFolder)
{
    TemporaryFolder tmp;
    std::string folder = tmp.Path() + "/0abc", target = tmp.Path() + "/mål";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
    std::ofstream(target + "/bild.png") << "gammal";
    std::ofstream(folder + "/bild.png") << "ny";
    std::ofstream(folder + "/andra.png") << "två";
    LStringListTemplate<char> paths;
    LMacPasteBoardGetPromisedFilePathsData data(paths, folder.c_str(), 2, target.c_str());
    data.pollMs = 50;
    Job job;
    ASSERT_EQ(Process(job, data), LProcessResultSuccess);
    EXPECT_EQ(Read(target + "/bild.png"), "gammal");
    EXPECT_EQ(Read(target + "/bild_0.png"), "ny");
    EXPECT_EQ(Read(target + "/andra.png"), "två");
    EXPECT_FALSE(Exists(folder));
    ASSERT_EQ(job.errors.size(), 1u);
    EXPECT_NE(job.errors[0].find("finns redan i målmappen"), std::string::npos);
    EXPECT_NE(job.errors[0].find(target + "/bild_0.png"), std::string::npos);
    std::vector<std::string> got(paths.begin(), paths.end());
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, (std::vector<std::string> { target + "/andra.png", target + "/bild_0.png" }));
}

// A destination of more than 259 bytes, whose first 259 bytes name an existing folder: the files
// go into the destination itself, a name taken there is numbered, and the paths come back whole.
TEST(PromisedFiles, MovesIntoADestinationWithALongPathWhole)
{
    TemporaryFolder tmp;
    std::string folder = tmp.Path() + "/0abc", shorter = tmp.Path() + "/";
    shorter += std::string(259 - shorter.size(), 'k');
    const std::string target = shorter + "/" + std::string(200, 'm') + "/" + std::string(200, 'n');
    ASSERT_EQ(g_mkdir_with_parents(target.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    std::ofstream(target + "/bild.png") << "gammal";
    std::ofstream(folder + "/bild.png") << "ny";
    std::ofstream(folder + "/andra.png") << "två";
    LStringListTemplate<char> paths;
    LMacPasteBoardGetPromisedFilePathsData data(paths, folder.c_str(), 2, target.c_str());
    data.pollMs = 50;
    Job job;
    ASSERT_EQ(Process(job, data), LProcessResultSuccess);
    std::vector<std::string> got(paths.begin(), paths.end());
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, (std::vector<std::string> { target + "/andra.png", target + "/bild_0.png" }));
    EXPECT_EQ(Read(target + "/bild.png"), "gammal");
    EXPECT_EQ(Read(target + "/bild_0.png"), "ny");
    EXPECT_FALSE(Exists(shorter + "/bild.png"));
    EXPECT_FALSE(Exists(shorter + "/andra.png"));
    EXPECT_FALSE(Exists(folder));
}

TEST(PromisedFiles, FifosAreSkippedAndSurviveInTheFolder)
{
    TemporaryFolder tmp;
    std::string folder = tmp.Path() + "/0abc", target = tmp.Path() + "/mål";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
    ASSERT_EQ(mkfifo((folder + "/rör").c_str(), 0600), 0);
    std::ofstream(folder + "/bild.png") << "x";
    LStringListTemplate<char> paths;
    LMacPasteBoardGetPromisedFilePathsData data(paths, folder.c_str(), 1, target.c_str());
    data.pollMs = 50;
    Job job;
    ASSERT_EQ(Process(job, data), LProcessResultSuccess);
    ASSERT_EQ(paths.GetCount(), 1u);
    EXPECT_EQ(std::string(paths[0]), target + "/bild.png");
    // The folder still holds what did not move, so it stays.
    EXPECT_TRUE(Exists(folder + "/rör"));
}

TEST(PromisedFiles, StoppingDeletesTheFolderAndAMissingFolderFails)
{
    TemporaryFolder tmp;
    std::string folder = tmp.Path() + "/0abc";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    std::ofstream(folder + "/halv.png") << "x";
    LStringListTemplate<char> paths;
    {
        // Two files expected, one comes: the user stops.
        LMacPasteBoardGetPromisedFilePathsData data(paths, folder.c_str(), 2, "");
        data.pollMs = 20;
        Job job;
        job.stopAfterWaits = 3;
        EXPECT_EQ(Process(job, data), LProcessResultStopped);
        EXPECT_FALSE(Exists(folder));
        EXPECT_EQ(paths.GetCount(), 0u);
    }
    {
        LMacPasteBoardGetPromisedFilePathsData data(paths, folder.c_str(), 1, "");
        Job job;
        EXPECT_EQ(Process(job, data), LProcessResultError);
        EXPECT_EQ(job.errors.size(), 1u);
    }
}
