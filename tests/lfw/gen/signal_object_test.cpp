#include "lfw/gen/LLockObject.h"
#include "lfw/gen/LSignalObject.h"

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <thread>

TEST(SignalObject, PipeIsNonBlockingAndCloseOnExec)
{
    LSignalObject signal;
    ASSERT_GE(signal.GetReadFd(), 0);
    ASSERT_GE(signal.GetWriteFd(), 0);
    for (int fd : { signal.GetReadFd(), signal.GetWriteFd() }) {
        EXPECT_TRUE(fcntl(fd, F_GETFL) & O_NONBLOCK);
        EXPECT_TRUE(fcntl(fd, F_GETFD) & FD_CLOEXEC);
    }
}

TEST(SignalObject, ManualResetClearsEverySignal)
{
    LSignalObject signal;
    EXPECT_FALSE(signal.IsSignaled());
    signal.Signal();
    signal.Signal();
    EXPECT_TRUE(signal.IsSignaled());
    EXPECT_TRUE(signal.IsSignaled()); // seen by every waiter until reset
    signal.Reset();
    EXPECT_FALSE(signal.IsSignaled());
    signal.Reset(); // an empty pipe is fine
    EXPECT_FALSE(signal.IsSignaled());

    // Far more signals than a pipe holds: still signalled, and one reset clears it.
    for (int i = 0; i < 100000; ++i)
        signal.Signal();
    EXPECT_TRUE(signal.IsSignaled());
    signal.Reset();
    EXPECT_FALSE(signal.IsSignaled());
}

TEST(SignalObject, WaitWakesOnASignalFromAnotherThread)
{
    LSignalObject signal;
    LSignalObjectRef ref = signal;
    std::thread t([ref] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ref.Signal();
    });
    EXPECT_TRUE(signal.WaitSignal(LSIGNAL_WAIT_FOREVER));
    t.join();
    EXPECT_FALSE(LSignalObjectRef().WaitSignal(10)); // no pipe: a time-out
}

TEST(SignalObject, GroupHoldsAtMost256AndReportsTheReadyEntry)
{
    LSignalObjectGroup group;
    EXPECT_EQ(group.Wait(1000), -1); // empty: at once
    LSignalObject signals[3];
    for (auto& s : signals)
        EXPECT_TRUE(group.Add(s));
    signals[2].Signal();
    EXPECT_EQ(group.Wait(0), 2);
    for (int i = 3; i < 256; ++i)
        EXPECT_TRUE(group.Add(signals[0]));
    EXPECT_FALSE(group.Add(signals[1]));
    EXPECT_EQ(group.GetCount(), 256u);
    group.Clear();
    EXPECT_TRUE(group.IsEmpty());
}

TEST(LockObject, IsRecursiveAndExcludesOtherThreads)
{
    LLockObject lock;
    lock.Lock();
    lock.Lock();
    std::atomic<bool> otherGotIt { true };
    std::thread([&] {
        otherGotIt = lock.TryLock();
        if (otherGotIt)
            lock.Unlock();
    }).join();
    EXPECT_FALSE(otherGotIt);
    lock.Unlock();
    lock.Unlock();
    std::thread([&] {
        otherGotIt = lock.TryLock();
        if (otherGotIt)
            lock.Unlock();
    }).join();
    EXPECT_TRUE(otherGotIt);
}
