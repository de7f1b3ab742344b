#include "lfw/ios/LThread.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <dlfcn.h>
#include <gtest/gtest.h>

// Lets a test make thread creation fail: this definition is found before the C library's.
static std::atomic<bool> gFailThreadCreation { false };
extern "C" int pthread_create(
    pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*), void* arg)
{
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static Create real = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
    if (gFailThreadCreation)
        return EAGAIN;
    return real(thread, attr, start, arg);
}

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Waits until it is told to stop, counting its runs.
class WaitingThread : public LThread {
public:
    WaitingThread()
        : LThread("Väntare")
    {
    }
    ~WaitingThread() override
    {
        StopThreadSoon();
        if (GetStartedSignal().IsSignaled())
            GetFinishedSignal().WaitSignal(LSIGNAL_WAIT_FOREVER);
    }
    std::atomic<int> runs { 0 };
    std::atomic<pid_t> seenId { -1 };
    char seenName[64] = {};

protected:
    void ThreadFunction() override
    {
        ++runs;
        seenId = LThreadGetKernelId();
        LThreadGetName(seenId, seenName, sizeof seenName);
        ProcessWaitUntilStopped();
    }
};

} // namespace

TEST(Thread, StartsRunsAndStopsOnRequest)
{
    WaitingThread thread;
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_EQ(thread.GetKernelThreadId(), -1);
    thread.Start(0);
    EXPECT_TRUE(thread.IsRunning());
    EXPECT_TRUE(thread.GetStartedSignal().IsSignaled());
    EXPECT_GT(thread.GetKernelThreadId(), 0);
    EXPECT_NE(thread.GetKernelThreadId(), LThreadGetKernelId());

    thread.Start(0); // running: nothing happens
    thread.StopThreadSoon();
    EXPECT_TRUE(thread.GetFinishedSignal().WaitSignal(5000));
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_EQ(thread.GetKernelThreadId(), -1);
    EXPECT_EQ(thread.runs, 1);
    EXPECT_STREQ(thread.seenName, "Väntare");

    // A new run starts with its stop request cleared.
    thread.Start(0);
    EXPECT_TRUE(thread.IsRunning());
    EXPECT_FALSE(thread.IsToStop());
    EXPECT_FALSE(thread.GetFinishedSignal().IsSignaled());
    thread.StopThreadSoon();
    EXPECT_TRUE(thread.GetFinishedSignal().WaitSignal(5000));
    EXPECT_EQ(thread.runs, 2);
}

TEST(Thread, ProcessWaitReturnsOneAtOnceWhenStoppedAndZeroAfterItsTime)
{
    WaitingThread thread; // never started: its waits still work
    auto start = Clock::now();
    EXPECT_EQ(thread.ProcessWait(100), 0);
    EXPECT_GE(MsSince(start), 99);

    thread.StopThreadSoon();
    start = Clock::now();
    EXPECT_EQ(thread.ProcessWait(100), 1);
    EXPECT_TRUE(thread.IsToStop());
    EXPECT_LT(MsSince(start), 50);
}

TEST(Thread, StopWinsOverTheAwaitedSignal)
{
    WaitingThread thread;
    LSignalObject signal;
    EXPECT_EQ(thread.ProcessWaitSignal(signal, 10), 2);
    signal.Signal();
    EXPECT_EQ(thread.ProcessWaitSignal(signal, 10), 0);
    thread.StopThreadSoon();
    EXPECT_EQ(thread.ProcessWaitSignal(signal, 10), 1);
    EXPECT_EQ(thread.ProcessWaitSignalForever(signal), 1);
}

TEST(Thread, GroupWaitWakesOnAStopAndLeavesTheGroupAsItWas)
{
    WaitingThread thread;
    LSignalObjectGroup empty;
    EXPECT_EQ(thread.ProcessWaitSignalObjectGroup(empty, 10), 2);
    thread.StopThreadSoon();
    auto start = Clock::now();
    EXPECT_EQ(thread.ProcessWaitSignalObjectGroupForever(empty), 1);
    EXPECT_LT(MsSince(start), 1000);
    EXPECT_EQ(empty.GetCount(), 0u);

    // Reused for many waits, a group does not grow.
    WaitingThread other;
    LSignalObject a, b;
    LSignalObjectGroup group;
    group.Add(a);
    group.Add(b);
    for (int i = 0; i < 300; ++i)
        EXPECT_EQ(other.ProcessWaitSignalObjectGroup(group, 0), 2);
    EXPECT_EQ(group.GetCount(), 2u);
    b.Signal();
    EXPECT_EQ(other.ProcessWaitSignalObjectGroup(group, 0), 0);
    EXPECT_TRUE(group.GetEntries()[1].revents & POLLIN);
    EXPECT_FALSE(group.GetEntries()[0].revents & POLLIN);
}

TEST(Thread, AFullGroupsLastEntryIsNotTakenForTheStopSignal)
{
    WaitingThread thread;
    LSignalObject quiet, last;
    LSignalObjectGroup group;
    for (int i = 0; i < 255; ++i)
        ASSERT_TRUE(group.Add(quiet));
    ASSERT_TRUE(group.Add(last));
    last.Signal();
    EXPECT_EQ(thread.ProcessWaitSignalObjectGroup(group, 0), 0);
    // And a stop still wakes a full group's wait.
    last.Reset();
    thread.StopThreadSoon();
    EXPECT_EQ(thread.ProcessWaitSignalObjectGroup(group, 1000), 1);
}

TEST(Thread, AThreadThatCouldNotBeCreatedIsNotRunning)
{
    WaitingThread thread;
    gFailThreadCreation = true;
    thread.Start(0);
    gFailThreadCreation = false;
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_FALSE(thread.GetStartedSignal().IsSignaled());
    // It can be started later.
    thread.Start(0);
    EXPECT_TRUE(thread.IsRunning());
    thread.StopThreadSoon();
}

TEST(Thread, TimeConstraintPriority)
{
    WaitingThread thread;
    thread.Start(LThread::kPriorityTimeConstraint);
    ASSERT_TRUE(thread.IsRunning());
    int applied = sched_getscheduler(thread.GetKernelThreadId());
    if (applied != SCHED_RR)
        GTEST_SKIP() << "real-time scheduling is not permitted here";
    // Start applies the priority once the thread has started: read it after Start returned.
    struct Probe : LThread {
        std::atomic<int> priority { -1 };
        LSignalObject go;
        void ThreadFunction() override
        {
            go.WaitSignal(5000);
            priority = GetPriority(pthread_self());
        }
    } probe;
    probe.Start(LThread::kPriorityTimeConstraint);
    probe.go.Signal();
    probe.GetFinishedSignal().WaitSignal(5000);
    EXPECT_EQ(probe.priority, LThread::kPriorityTimeConstraint);
    EXPECT_NE(LThread::GetPriority(pthread_self()), LThread::kPriorityTimeConstraint);
}

TEST(Thread, NamesForReports)
{
    LThreadSetMainThread();
    EXPECT_TRUE(LThreadIsMainThread());
    char name[32];
    EXPECT_TRUE(LThreadGetName(LThreadGetKernelId(), name, sizeof name));
    EXPECT_STREQ(name, "MAIN");
    char system[16];
    pthread_getname_np(pthread_self(), system, sizeof system);
    EXPECT_STREQ(system, "MAIN");

    WaitingThread thread;
    thread.Start(0);
    pid_t id = thread.GetKernelThreadId();
    EXPECT_TRUE(LThreadGetName(id, name, sizeof name));
    EXPECT_STREQ(name, "Väntare");
    bool listed = false;
    for (size_t i = 0; i < kLThreadNameTableSize; ++i) {
        pid_t entryId;
        char entryName[32];
        if (LThreadNameTableEntry(i, &entryId, entryName, sizeof entryName) && entryId == id)
            listed = strcmp(entryName, "Väntare") == 0;
    }
    EXPECT_TRUE(listed);
    thread.StopThreadSoon();
    thread.GetFinishedSignal().WaitSignal(5000);
    EXPECT_FALSE(LThreadGetName(id, name, sizeof name));

    // A long name is cut at a character boundary.
    LThreadSetName("åååååååååååååååååå"); // 36 bytes
    EXPECT_TRUE(LThreadGetName(LThreadGetKernelId(), name, sizeof name));
    EXPECT_EQ(strlen(name), 30u);
    LThreadSetName("MAIN");
}

namespace {

std::atomic<int> gDetachedAlive { 0 };

class Detached : public LDetachedThread {
public:
    explicit Detached(bool waitForStop)
        : fWaitForStop(waitForStop)
    {
        ++gDetachedAlive;
    }
    ~Detached() override { --gDetachedAlive; }

protected:
    void ThreadFunction() override
    {
        if (fWaitForStop)
            ProcessWaitUntilStopped();
    }

private:
    bool fWaitForStop;
};

} // namespace

TEST(DetachedThread, EndsAndDeletesItself)
{
    LDetachedThreadsOwner owner;
    for (int i = 0; i < 8; ++i) {
        auto* t = new Detached(false);
        owner.Link(t);
        EXPECT_EQ(t->StartDetached(owner, 0), 0);
    }
    auto start = Clock::now();
    while ((gDetachedAlive > 0 || owner.GetCount() > 0) && MsSince(start) < 5000)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(gDetachedAlive, 0);
    EXPECT_EQ(owner.GetCount(), 0u);
}

TEST(DetachedThread, StopThreadsNowWaitsForAndDeletesEveryThread)
{
    LDetachedThreadsOwner owner;
    for (int i = 0; i < 8; ++i) {
        auto* t = new Detached(true);
        owner.Link(t);
        EXPECT_EQ(t->StartDetached(owner, 0), 0);
    }
    EXPECT_EQ(owner.GetCount(), 8u);
    EXPECT_EQ(gDetachedAlive, 8);
    owner.StopThreadsNow();
    EXPECT_EQ(gDetachedAlive, 0);
    EXPECT_EQ(owner.GetCount(), 0u);
}

TEST(DetachedThread, AFailedStartStaysListedForItsCreator)
{
    LDetachedThreadsOwner owner;
    auto* t = new Detached(true);
    owner.Link(t);
    gFailThreadCreation = true;
    EXPECT_EQ(t->StartDetached(owner, 0), EAGAIN);
    gFailThreadCreation = false;
    EXPECT_FALSE(t->IsRunning());
    EXPECT_EQ(owner.GetCount(), 1u);
    owner.Destruct(t);
    EXPECT_EQ(owner.GetCount(), 0u);
    EXPECT_EQ(gDetachedAlive, 0);
    Detached notListed(true);
    owner.Destruct(&notListed); // not in the list: nothing happens
}
