// The background queue: its work done in order on one thread of the queue's own, named and below
// the caller's priority, which ends once the queue is empty; a queue of several threads working
// side by side, never more than it was made for; work given back when no thread can be made;
// work not begun dropped with the queue, the work under way finished.
#include "platform/system/WorkerQueue.h"
#include "support/ProgramRun.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <dirent.h>
#include <fstream>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sys = platform::system;

namespace {

// A gate the work waits at until the test opens it.
class Gate {
public:
    void Wait()
    {
        std::unique_lock<std::mutex> hold(fMutex);
        fChanged.wait(hold, [&] { return fOpen; });
    }
    void Open()
    {
        std::lock_guard<std::mutex> hold(fMutex);
        fOpen = true;
        fChanged.notify_all();
    }

private:
    std::mutex fMutex;
    std::condition_variable fChanged;
    bool fOpen = false;
};

// The process's threads of that name (from /proc).
int ThreadsNamed(const std::string& name)
{
    int n = 0;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(dir)) {
            std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
            std::string line;
            if (std::getline(comm, line) && line == name)
                ++n;
        }
        closedir(dir);
    }
    return n;
}

// Waits until the queue's thread has gone: the last thing it does once the queue is empty.
bool ThreadEnds(const std::string& name)
{
    return programrun::WaitFor([&] { return ThreadsNamed(name) == 0; }, 20000, 2);
}

} // namespace

TEST(WorkerQueue, DoesTheWorkInOrderOnANamedThreadBelowTheCaller)
{
    // The system keeps 15 bytes of a thread's name: the 16th lies inside the last "ö", which goes
    // whole.
    sys::WorkerQueue queue("Köprov-ordninög");
    Gate gate;
    std::mutex mutex;
    std::vector<int> order;
    std::vector<pid_t> threads;
    std::vector<int> niceness;
    std::promise<void> done;
    // The first work holds the thread while the rest is queued behind it.
    ASSERT_TRUE(queue.Add([&] { gate.Wait(); }));
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(queue.Add([&, i] {
            std::lock_guard<std::mutex> hold(mutex);
            order.push_back(i);
            threads.push_back(pid_t(syscall(SYS_gettid)));
            niceness.push_back(getpriority(PRIO_PROCESS, 0));
            // Work added by work comes after what was queued before it.
            if (i == 0)
                queue.Add([&] {
                    std::lock_guard<std::mutex> again(mutex);
                    order.push_back(99);
                });
        }));
    }
    ASSERT_TRUE(queue.Add([&] { done.set_value(); }));
    EXPECT_TRUE(queue.Busy());
    EXPECT_TRUE(programrun::WaitFor([] { return ThreadsNamed("Köprov-ordnin") == 1; }, 20000, 2));
    gate.Open();
    ASSERT_EQ(done.get_future().wait_for(std::chrono::minutes(1)), std::future_status::ready);
    EXPECT_TRUE(ThreadEnds("Köprov-ordnin"));
    EXPECT_FALSE(queue.Busy());
    EXPECT_EQ(order, (std::vector<int> { 0, 1, 2, 3, 4, 99 }));
    ASSERT_EQ(threads.size(), 5u);
    for (pid_t t : threads) {
        EXPECT_EQ(t, threads[0]); // one thread at a time: the same one for work queued together
        EXPECT_NE(t, pid_t(syscall(SYS_gettid)));
    }
    // Niceness 10, unless the caller ran nicer still (it cannot be lowered again).
    for (int n : niceness)
        EXPECT_EQ(n, std::max(getpriority(PRIO_PROCESS, 0), sys::WorkerQueue::kNiceness));
}

TEST(WorkerQueue, SeveralThreadsWorkSideBySide)
{
    sys::WorkerQueue queue("Köprov-sida", 3);
    Gate gate;
    std::mutex mutex;
    std::vector<int> started;
    std::atomic<int> under { 0 }, most { 0 };
    std::atomic<int> finished { 0 };
    for (int i = 0; i < 7; ++i) {
        ASSERT_TRUE(queue.Add([&, i] {
            {
                std::lock_guard<std::mutex> hold(mutex);
                started.push_back(i);
            }
            const int now = ++under;
            int seen = most.load();
            while (now > seen && !most.compare_exchange_weak(seen, now)) { }
            gate.Wait();
            --under;
            ++finished;
        }));
    }
    // Three take the first three pieces; the rest wait for them.
    EXPECT_TRUE(programrun::WaitFor([&] { return under.load() == 3; }, 20000, 2));
    EXPECT_EQ(ThreadsNamed("Köprov-sida"), 3);
    EXPECT_TRUE(queue.Busy());
    gate.Open();
    ASSERT_TRUE(programrun::WaitFor([&] { return finished.load() == 7; }, 60000, 2));
    EXPECT_TRUE(ThreadEnds("Köprov-sida"));
    EXPECT_FALSE(queue.Busy());
    EXPECT_EQ(most.load(), 3);
    // Taken in the order they came: the first three before the rest.
    std::lock_guard<std::mutex> hold(mutex);
    ASSERT_EQ(started.size(), 7u);
    std::sort(started.begin(), started.begin() + 3);
    EXPECT_EQ(
        std::vector<int>(started.begin(), started.begin() + 3), (std::vector<int> { 0, 1, 2 }));
}

TEST(WorkerQueue, StartsAThreadAgainForWorkAfterAnEmptySpell)
{
    sys::WorkerQueue queue("Köprov-igen");
    for (int round = 0; round < 3; ++round) {
        std::promise<pid_t> ran;
        ASSERT_TRUE(queue.Add([&] { ran.set_value(pid_t(syscall(SYS_gettid))); }));
        std::future<pid_t> thread = ran.get_future();
        ASSERT_EQ(thread.wait_for(std::chrono::minutes(1)), std::future_status::ready)
            << "round " << round << ": the work was never done";
        EXPECT_NE(thread.get(), pid_t(syscall(SYS_gettid)));
        EXPECT_TRUE(ThreadEnds("Köprov-igen")) << "round " << round;
    }
    // Empty work is no work.
    EXPECT_TRUE(queue.Add(nullptr));
    EXPECT_FALSE(queue.Busy());
}

TEST(WorkerQueue, WorkNotBegunGoesWithTheQueueAndTheWorkUnderWayEnds)
{
    Gate gate;
    std::promise<void> started;
    std::atomic<bool> finished { false };
    auto held = std::make_shared<int>(7);
    std::weak_ptr<int> watch = held;
    bool laterRan = false;
    {
        sys::WorkerQueue queue("Köprov-slut");
        ASSERT_TRUE(queue.Add([&] {
            started.set_value();
            gate.Wait();
            finished = true;
        }));
        ASSERT_TRUE(queue.Add([&laterRan, held = std::move(held)] { laterRan = *held == 7; }));
        ASSERT_EQ(
            started.get_future().wait_for(std::chrono::minutes(1)), std::future_status::ready);
    }
    // What the dropped work held is let go with the queue.
    EXPECT_TRUE(watch.expired());
    gate.Open();
    EXPECT_TRUE(ThreadEnds("Köprov-slut"));
    EXPECT_TRUE(finished);
    EXPECT_FALSE(laterRan);
}
