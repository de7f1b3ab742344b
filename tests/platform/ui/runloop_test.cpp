#include "platform/ui/LRunLoop.h"

#include <atomic>
#include <ctime>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Runs the loop until cond holds or two seconds have passed.
bool RunUntilTrue(const std::function<bool()>& cond)
{
    return LRunLoop::RunUntil(nullptr, 0, cond, true, 2000) == LRunLoop::kStopped;
}

} // namespace

TEST(RunLoop, PostIsQueuedEvenOnTheMainThreadAndKeepsOrder)
{
    ASSERT_TRUE(LRunLoop::IsMainThread());
    std::vector<int> seen;
    for (int i = 0; i < 5; ++i)
        LRunLoop::Post([&seen, i] { seen.push_back(i); });
    EXPECT_TRUE(seen.empty());
    EXPECT_TRUE(RunUntilTrue([&] { return seen.size() == 5; }));
    EXPECT_EQ(seen, (std::vector<int> { 0, 1, 2, 3, 4 }));
}

TEST(RunLoop, PostsFromAWorkerArriveInOrderOnTheMainThread)
{
    std::vector<int> seen;
    std::atomic<bool> wrongThread { false };
    std::thread worker([&] {
        EXPECT_FALSE(LRunLoop::IsMainThread());
        for (int i = 0; i < 1000; ++i)
            LRunLoop::Post([&, i] {
                if (!LRunLoop::IsMainThread())
                    wrongThread = true;
                seen.push_back(i);
            });
    });
    worker.join();
    EXPECT_TRUE(RunUntilTrue([&] { return seen.size() == 1000; }));
    EXPECT_FALSE(wrongThread);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(seen[i], i);
}

TEST(RunLoop, PostsStillArriveDuringAWaitInsideAPostedFunction)
{
    int inner = 0;
    bool outerDone = false;
    LRunLoop::Post([&] {
        LRunLoop::Post([&] { ++inner; });
        RunUntilTrue([&] { return inner == 1; });
        outerDone = true;
    });
    EXPECT_TRUE(RunUntilTrue([&] { return outerDone; }));
    EXPECT_EQ(inner, 1);
}

TEST(RunLoop, SendFromAWorkerWaitsForTheMainThread)
{
    std::atomic<bool> ranOnMain { false }, called { false }, sent { false };
    std::thread worker([&] {
        LRunLoop::Send([&] {
            ranOnMain = LRunLoop::IsMainThread();
            called = true;
        });
        sent = true;
    });
    // A flag set by another thread does not wake the loop: wait for the call itself.
    EXPECT_TRUE(RunUntilTrue([&] { return called.load(); }));
    worker.join();
    EXPECT_TRUE(sent);
    EXPECT_TRUE(ranOnMain);
}

TEST(RunLoop, RunUntilWakesOnADescriptorAndTimesOut)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::thread writer([&] {
        usleep(30000);
        EXPECT_EQ(write(fds[1], "x", 1), 1);
    });
    int watched[2] = { -1, fds[0] };
    size_t which = 99;
    long long start = LRunLoop::NowMs();
    EXPECT_EQ(LRunLoop::RunUntil(watched, 2, {}, true, 30000, &which), LRunLoop::kSignalled);
    EXPECT_EQ(which, 1u);
    EXPECT_LT(LRunLoop::NowMs() - start, 20000);
    writer.join();

    char c;
    ASSERT_EQ(read(fds[0], &c, 1), 1);
    start = LRunLoop::NowMs();
    EXPECT_EQ(LRunLoop::RunUntil(watched, 2, {}, true, 50, nullptr), LRunLoop::kTimedOut);
    EXPECT_GE(LRunLoop::NowMs() - start, 50);
    EXPECT_EQ(LRunLoop::RunUntil(watched, 2, {}, true, 0, nullptr), LRunLoop::kTimedOut);
    close(fds[0]);
    close(fds[1]);
}

namespace {
double ThreadCpuMs()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}
} // namespace

// A wait for a descriptor sleeps: the loop's own wake-up when the descriptor is added to it does
// not end the slice, so a wait of half a second takes a small part of that of the processor (a
// wait that woke at once and came back took all of it).
TEST(RunLoop, AWaitForADescriptorSleeps)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const double cpu = ThreadCpuMs();
    const long long start = LRunLoop::NowMs();
    EXPECT_EQ(LRunLoop::RunUntil(fds, 1, {}, true, 500, nullptr), LRunLoop::kTimedOut);
    const long long waited = LRunLoop::NowMs() - start;
    const double used = ThreadCpuMs() - cpu;
    EXPECT_GE(waited, 500);
    EXPECT_LT(used, double(waited) / 4) << used << " ms of the processor in " << waited << " ms";
    close(fds[0]);
    close(fds[1]);
}

namespace {
struct Count {
    int fired = 0;
    long long at = 0;
};
void CountFire(LRunLoopTimer*, void* data)
{
    auto* count = static_cast<Count*>(data);
    ++count->fired;
    count->at = LRunLoop::NowMs();
}
} // namespace

TEST(RunLoop, TimerFiresOnceAndRearmingMovesIt)
{
    Count count;
    LRunLoopTimer timer(CountFire, &count);
    EXPECT_FALSE(timer.IsArmed());
    long long start = LRunLoop::NowMs();
    timer.Arm(1000); // far enough that a busy machine cannot let it fire before the re-arm
    LRunLoop::RunUntil(nullptr, 0, {}, true, 20);
    timer.Arm(80); // moves the firing: 80 ms from now
    long long rearmed = LRunLoop::NowMs();
    EXPECT_TRUE(RunUntilTrue([&] { return count.fired > 0; }));
    EXPECT_GE(count.at - rearmed, 79);
    EXPECT_GE(count.at - start, 99);
    LRunLoop::RunUntil(nullptr, 0, {}, true, 100);
    EXPECT_EQ(count.fired, 1);
    EXPECT_FALSE(timer.IsArmed());

    timer.Arm(10);
    timer.Disarm();
    LRunLoop::RunUntil(nullptr, 0, {}, true, 50);
    EXPECT_EQ(count.fired, 1);
}
