// Jobs run side by side on workers: as many at once as the threads given, held by the memory
// they take, ended by the first failure or the owner's stop, their progress told together.
#include "lfw/ios/LParallelJobs.h"
#include "lfw/ios/LProcessThread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The owner's interface: what it is told, and a stop after so many questions.
struct Owner : LProcessInterfaceVoid {
    std::vector<std::string> errors;
    std::vector<double> progress;
    std::string status;
    int stopAfter = -1;
    int questions = 0;
    bool IsToStop() override { return stopAfter >= 0 && questions++ >= stopAfter; }
    void SetError(const char* text) override { errors.push_back(text ? text : ""); }
    void SetProgress(double fraction) override { progress.push_back(fraction); }
    void SetStatus(const char* text, int) override { status = text ? text : ""; }
};

// Waits (at most five seconds) until the condition holds.
template <class Condition> bool Within(Condition condition)
{
    const auto end = Clock::now() + std::chrono::seconds(5);
    while (!condition()) {
        if (Clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A one-way latch between a job and the test.
struct Latch {
    std::mutex lock;
    std::condition_variable changed;
    bool open = false;
    void Open()
    {
        std::lock_guard<std::mutex> hold(lock);
        open = true;
        changed.notify_all();
    }
    bool Wait(int ms = 5000)
    {
        std::unique_lock<std::mutex> hold(lock);
        return changed.wait_for(hold, std::chrono::milliseconds(ms), [this] { return open; });
    }
};

} // namespace

// Six jobs on three threads: three run at once, never more, and all six run.
TEST(ParallelJobs, AsManyAtOnceAsThreads)
{
    LParallelJobs jobs("Prov", 3);
    EXPECT_EQ(jobs.GetThreadCount(), 3);
    std::atomic<int> running { 0 }, most { 0 }, ran { 0 };
    for (int i = 0; i < 6; ++i)
        jobs.Add([&](LParallelJobs::Job&) {
            const int now = ++running;
            int seen = most.load();
            while (now > seen && !most.compare_exchange_weak(seen, now)) { }
            // Each waits for company: jobs one after the other would never have it.
            Within([&] { return running.load() >= 3 || ran.load() >= 3; });
            ++ran;
            --running;
            return LProcessResultSuccess;
        });
    Owner owner;
    EXPECT_EQ(jobs.Finish(owner), LProcessResultSuccess);
    EXPECT_EQ(ran.load(), 6);
    EXPECT_EQ(most.load(), 3);
    EXPECT_EQ(jobs.GetMostRunning(), 3);
    ASSERT_FALSE(owner.progress.empty());
    EXPECT_DOUBLE_EQ(owner.progress.back(), 1.0);
    EXPECT_TRUE(owner.errors.empty());
    // One thread a processor when none is given.
    EXPECT_GE(LParallelJobs("Prov").GetThreadCount(), 1);
}

// A job that takes memory while another holds some waits until it fits: with 1,000 bytes free
// (half of them for the jobs) a second 400 waits for the first job's end; with 10,000 free it
// does not. The job added first is never held, or two jobs that each hold some and want more
// would wait for each other.
TEST(ParallelJobs, MemoryHoldsAJobUntilItFits)
{
    for (const uint64_t free : { uint64_t(1000), uint64_t(10000) }) {
        SCOPED_TRACE(free);
        LParallelJobs jobs("Prov", 4, [free] { return free; });
        Latch firstHolds, release;
        std::atomic<bool> secondTook { false };
        jobs.Add([&](LParallelJobs::Job& job) {
            EXPECT_TRUE(job.TakeMemory(400));
            firstHolds.Open();
            release.Wait();
            return LProcessResultSuccess;
        });
        jobs.Add([&](LParallelJobs::Job& job) {
            firstHolds.Wait();
            EXPECT_TRUE(job.TakeMemory(400));
            secondTook = true;
            return LProcessResultSuccess;
        });
        ASSERT_TRUE(firstHolds.Wait());
        if (free == 1000) {
            // What must not happen is waited for a moment.
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            EXPECT_FALSE(secondTook.load()) << "the second job took memory that was not there";
            release.Open();
        } else {
            EXPECT_TRUE(Within([&] { return secondTook.load(); }));
            release.Open();
        }
        Owner owner;
        EXPECT_EQ(jobs.Finish(owner), LProcessResultSuccess);
        EXPECT_TRUE(secondTook.load());
    }

    // The second job holds all there is; the first then asks for more than fits and goes on.
    LParallelJobs jobs("Prov", 2, [] { return uint64_t(1000); });
    Latch secondHolds, firstTook;
    jobs.Add([&](LParallelJobs::Job& job) {
        secondHolds.Wait();
        EXPECT_TRUE(job.TakeMemory(900));
        firstTook.Open();
        return LProcessResultSuccess;
    });
    jobs.Add([&](LParallelJobs::Job& job) {
        EXPECT_TRUE(job.TakeMemory(500));
        secondHolds.Open();
        EXPECT_TRUE(firstTook.Wait()) << "the first job was held behind the second";
        return LProcessResultSuccess;
    });
    Owner owner;
    EXPECT_EQ(jobs.Finish(owner), LProcessResultSuccess);
}

// Pictures read as jobs ask for their memory there: outside a job the question is answered at
// once.
TEST(ParallelJobs, TheJobOfTheThreadIsAsked)
{
    EXPECT_TRUE(LParallelJobs::TakeMemoryHere(uint64_t(1) << 60));
    EXPECT_EQ(LParallelJobs::Job::Current(), nullptr);
    LParallelJobs jobs("Prov", 2, [] { return uint64_t(0); });
    Latch firstHolds, release;
    std::atomic<bool> secondTook { false };
    std::atomic<bool> current { false };
    jobs.Add([&](LParallelJobs::Job& job) {
        current = LParallelJobs::Job::Current() == &job;
        EXPECT_TRUE(LParallelJobs::TakeMemoryHere(10));
        firstHolds.Open();
        release.Wait();
        return LProcessResultSuccess;
    });
    jobs.Add([&](LParallelJobs::Job&) {
        firstHolds.Wait();
        EXPECT_TRUE(LParallelJobs::TakeMemoryHere(10));
        secondTook = true;
        return LProcessResultSuccess;
    });
    ASSERT_TRUE(firstHolds.Wait());
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(secondTook.load()) << "nothing is free, yet the second job took memory";
    release.Open();
    Owner owner;
    EXPECT_EQ(jobs.Finish(owner), LProcessResultSuccess);
    EXPECT_TRUE(current.load());
    EXPECT_TRUE(secondTook.load());
}

// The first job to fail ends the others: those under way are asked to stop, those not begun are
// dropped, and the owner is told the error of the first failed job in adding order, once.
TEST(ParallelJobs, AFailureEndsTheOthersAndIsToldOnce)
{
    LParallelJobs jobs("Prov", 2);
    std::atomic<int> ran { 0 };
    std::atomic<bool> sawTheEnd { false };
    Latch secondFailed;
    jobs.Add([&](LParallelJobs::Job& job) {
        ++ran;
        // Fails too, after the second; its text comes first all the same.
        secondFailed.Wait();
        job.SetError("den första");
        return LProcessResultError;
    });
    jobs.Add([&](LParallelJobs::Job& job) {
        ++ran;
        job.SetError("den andra");
        secondFailed.Open();
        return LProcessResultError;
    });
    for (int i = 0; i < 20; ++i)
        jobs.Add([&](LParallelJobs::Job& job) {
            ++ran;
            sawTheEnd = sawTheEnd || Within([&] { return job.IsToStop(); });
            return job.IsToStop() ? LProcessResultStopped : LProcessResultSuccess;
        });
    Owner owner;
    EXPECT_EQ(jobs.Finish(owner), LProcessResultError);
    EXPECT_EQ(owner.errors, std::vector<std::string> { "den första" });
    EXPECT_LT(ran.load(), 22) << "jobs not begun ran after the failure";
    EXPECT_TRUE(jobs.Ended());
    // A failure without words is told in general ones.
    LParallelJobs silent("Prov", 1);
    silent.Add([](LParallelJobs::Job&) { return LProcessResultError; });
    Owner told;
    EXPECT_EQ(silent.Finish(told), LProcessResultError);
    EXPECT_EQ(told.errors, std::vector<std::string> { "Arbetet kunde inte slutföras." });
}

// The jobs run below the owner's thread, so that the window it serves goes on answering while
// every processor works for them.
TEST(ParallelJobs, JobsRunNicerThanTheirOwner)
{
    const int owner = getpriority(PRIO_PROCESS, 0);
    LParallelJobs jobs("Prov", 2);
    std::atomic<int> nicer { 0 };
    for (int i = 0; i < 4; ++i)
        jobs.Add([&](LParallelJobs::Job&) {
            if (getpriority(PRIO_PROCESS, 0) > owner || owner >= 19)
                ++nicer;
            return LProcessResultSuccess;
        });
    Owner told;
    EXPECT_EQ(jobs.Finish(told), LProcessResultSuccess);
    EXPECT_EQ(nicer.load(), 4);
    EXPECT_EQ(getpriority(PRIO_PROCESS, 0), owner) << "the owner's thread stays as it was";
}

// However late the owner's thread comes to add them, the jobs added once a job has failed are
// dropped unrun: they all come after the failure.
TEST(ParallelJobs, JobsAddedAfterAFailureAreDroppedUnrun)
{
    LParallelJobs jobs("Prov", 2);
    std::atomic<int> ranAfter { 0 };
    jobs.Add([](LParallelJobs::Job& job) {
        job.SetError("den första");
        return LProcessResultError;
    });
    ASSERT_TRUE(Within([&] { return jobs.Ended(); }));
    for (int i = 0; i < 5; ++i)
        jobs.Add([&](LParallelJobs::Job&) {
            ++ranAfter;
            return LProcessResultSuccess;
        });
    Owner owner;
    EXPECT_EQ(jobs.Finish(owner), LProcessResultError);
    EXPECT_EQ(owner.errors, std::vector<std::string> { "den första" });
    EXPECT_EQ(ranAfter.load(), 0);
}

// A job that fails stops only the jobs added after it: one before it that is still under way,
// and asks whether to stop as a picture reader does, goes on, and its failure is the one told.
TEST(ParallelJobs, AFailureLeavesTheJobsBeforeItToEnd)
{
    LParallelJobs jobs("Prov", 3);
    Latch secondFailed;
    std::atomic<bool> firstToldToStop { false }, thirdRan { false }, thirdToldToStop { false };
    jobs.Add([&](LParallelJobs::Job& job) {
        secondFailed.Wait();
        firstToldToStop = job.IsToStop() || !job.TakeMemory(1);
        job.SetError("den första");
        return LProcessResultError;
    });
    jobs.Add([&](LParallelJobs::Job& job) {
        job.SetError("den andra");
        secondFailed.Open();
        return LProcessResultError;
    });
    // Dropped when the failure comes before it begins, else asked to stop.
    jobs.Add([&](LParallelJobs::Job& job) {
        thirdRan = true;
        thirdToldToStop = Within([&] { return job.IsToStop(); });
        return LProcessResultStopped;
    });
    Owner owner;
    EXPECT_EQ(jobs.Finish(owner), LProcessResultError);
    EXPECT_FALSE(firstToldToStop.load());
    EXPECT_EQ(thirdToldToStop.load(), thirdRan.load());
    EXPECT_EQ(owner.errors, std::vector<std::string> { "den första" });
}

// The owner's stop reaches the jobs under way, also one held for memory, and the jobs not begun
// are dropped; the owner waits for the workers and is told no error.
TEST(ParallelJobs, TheOwnersStopEndsEveryJob)
{
    LParallelJobs jobs("Prov", 3, [] { return uint64_t(0); });
    std::atomic<int> stopped { 0 }, ran { 0 };
    std::atomic<bool> heldGaveUp { false };
    Latch holding;
    jobs.Add([&](LParallelJobs::Job& job) {
        ++ran;
        job.TakeMemory(100);
        holding.Open();
        if (Within([&] { return job.IsToStop(); }))
            ++stopped;
        return LProcessResultStopped;
    });
    jobs.Add([&](LParallelJobs::Job& job) {
        ++ran;
        holding.Wait();
        // Nothing is free and the first job holds memory: held until the stop.
        heldGaveUp = !job.TakeMemory(100);
        return LProcessResultStopped;
    });
    for (int i = 0; i < 10; ++i)
        jobs.Add([&](LParallelJobs::Job& job) {
            ++ran;
            if (job.ProcessWait(5000) == LProcessResultStopped)
                ++stopped;
            return LProcessResultStopped;
        });
    ASSERT_TRUE(holding.Wait());
    Owner owner;
    owner.stopAfter = 3;
    const auto start = Clock::now();
    EXPECT_EQ(jobs.Finish(owner), LProcessResultStopped);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(4)) << "the jobs never heard the stop";
    EXPECT_TRUE(owner.errors.empty());
    EXPECT_EQ(owner.status, LProcessThread::kStoppingText);
    EXPECT_TRUE(heldGaveUp.load());
    EXPECT_EQ(stopped.load(), ran.load() - 1);
    EXPECT_LE(ran.load(), 3);
    // Nothing added after the end runs.
    bool late = false;
    jobs.Add([&](LParallelJobs::Job&) {
        late = true;
        return LProcessResultSuccess;
    });
    jobs.Stop();
    EXPECT_FALSE(late);
}

// The progress is the jobs' together, by their weights: a job of weight 3 half done is three
// eighths of jobs weighing 1 and 3 with the light one not begun.
TEST(ParallelJobs, ProgressCountsByWeight)
{
    LParallelJobs jobs("Prov", 1);
    Latch half, go;
    jobs.Add(
        [&](LParallelJobs::Job& job) {
            job.SetProgress(0.5);
            half.Open();
            go.Wait();
            return LProcessResultSuccess;
        },
        3);
    jobs.Add([](LParallelJobs::Job&) { return LProcessResultSuccess; }, 1);
    ASSERT_TRUE(half.Wait());
    struct Watching : Owner {
        Latch* go = nullptr;
        void SetProgress(double fraction) override
        {
            Owner::SetProgress(fraction);
            if (fraction >= 0.375)
                go->Open();
        }
    } owner;
    owner.go = &go;
    EXPECT_EQ(jobs.Finish(owner), LProcessResultSuccess);
    ASSERT_GE(owner.progress.size(), 2u);
    EXPECT_DOUBLE_EQ(owner.progress.front(), 0.375);
    EXPECT_DOUBLE_EQ(owner.progress.back(), 1.0);
    EXPECT_TRUE(std::is_sorted(owner.progress.begin(), owner.progress.end()));
}
