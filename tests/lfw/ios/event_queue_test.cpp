#include "lfw/ios/LEventQueue.h"
#include "lfw/ios/LQueuedNotify.h"
#include "lfw/ios/LTimerHandler.h"
#include "platform/ui/LRunLoop.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Runs the main loop until cond holds (at most five seconds).
bool Pump(const std::function<bool()>& cond)
{
    return LEventQueueRunUntilStopConditionOrTimeout(cond, true, 5000) == 1;
}

} // namespace

TEST(EventQueue, WaitReturnsWhenItsSignalComesWhileTheLoopDispatches)
{
    LSignalObject signal;
    LSignalObjectRef ref = signal;
    int dispatched = 0;
    // Posted work keeps arriving during the wait; the signal comes from a worker.
    LRunLoop::Post([&] { ++dispatched; });
    std::thread worker([ref] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ref.Signal();
    });
    LRunLoop::Post([&] { ++dispatched; });
    auto start = Clock::now();
    EXPECT_EQ(LEventQueueRunUntilSignalOrStopConditionOrTimeout(ref, {}, false, 0), 0);
    EXPECT_LT(MsSince(start), 3000);
    EXPECT_EQ(dispatched, 2);
    worker.join();

    // Already set: 0 after at most one test of the stop condition.
    int tests = 0;
    EXPECT_EQ(LEventQueueRunUntilSignalOrStopConditionOrTimeout(
                  ref, [&] { return ++tests > 1; }, true, 1000),
        0);
    EXPECT_LE(tests, 1);
}

TEST(EventQueue, WaitEndsOnTheStopConditionOrTheTimeOut)
{
    LSignalObject signal;
    // A stop condition that already holds: 1 without running the loop.
    bool ran = false;
    LRunLoop::Post([&] { ran = true; });
    EXPECT_EQ(LEventQueueRunUntilStopConditionOrTimeout([] { return true; }, false, 0), 1);
    EXPECT_EQ(LEventQueueRunUntilSignalOrStopConditionOrTimeout(
                  signal, [] { return true; }, false, 0),
        1);
    EXPECT_FALSE(ran);

    // A stop request set by something the loop dispatches (as a dialog's stop button does).
    bool stop = false;
    LRunLoop::Post([&] { stop = true; });
    EXPECT_EQ(LEventQueueRunUntilSignalOrStopConditionOrTimeout(
                  signal, [&] { return stop; }, true, 5000),
        1);
    EXPECT_TRUE(ran);

    auto start = Clock::now();
    EXPECT_EQ(LEventQueueRunUntilSignalOrStopConditionOrTimeout(signal, {}, true, 60), 2);
    EXPECT_GE(MsSince(start), 60);
    EXPECT_EQ(LEventQueueRunUntilStopConditionOrTimeout({}, true, 0), 2);
    EXPECT_EQ(LEventQueueRunUntilSignalOrStopConditionOrTimeout(signal, {}, true, 0), 2);
}

TEST(EventQueue, GroupWait)
{
    LSignalObject a, b;
    LSignalObjectGroup group;
    // Empty: only the stop condition or the time-out end it.
    auto start = Clock::now();
    EXPECT_EQ(LEventQueueRunUntilGroupSignalledOrStopConditionOrTimeout(group, {}, true, 40), 2);
    EXPECT_GE(MsSince(start), 40);
    bool stop = false;
    LRunLoop::Post([&] { stop = true; });
    EXPECT_EQ(LEventQueueRunUntilGroupSignalledOrStopConditionOrTimeout(
                  group, [&] { return stop; }, false, 0),
        1);

    group.Add(a);
    group.Add(b);
    LSignalObjectRef ref = b;
    std::thread worker([ref] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        ref.Signal();
    });
    EXPECT_EQ(LEventQueueRunUntilGroupSignalledOrStopConditionOrTimeout(group, {}, true, 5000), 0);
    worker.join();
}

TEST(EventQueue, AWorkerThreadWaitsWithoutTheLoop)
{
    LSignalObject signal;
    std::atomic<int> result { -1 }, stopResult { -1 };
    std::atomic<bool> stop { false };
    std::thread worker([&] {
        result = LEventQueueRunUntilSignalOrStopConditionOrTimeout(signal, {}, true, 5000);
        stopResult
            = LEventQueueRunUntilStopConditionOrTimeout([&] { return stop.load(); }, false, 0);
    });
    signal.Signal();
    stop = true;
    worker.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(stopResult, 1);
}

TEST(EventQueue, ModalSessionHookRunsInsteadOfTheQueue)
{
    static int sessions = 0;
    bool posted = false;
    LRunLoop::Post([&] { posted = true; });
    LEventQueueSetModalSessionHook([] { return ++sessions > 0; });
    LMacDispatchEvents();
    EXPECT_EQ(sessions, 1);
    EXPECT_FALSE(posted);
    LEventQueueSetModalSessionHook(nullptr);
    LMacDispatchEvents();
    EXPECT_TRUE(posted);
}

namespace {

class Timers : public LTimerHandler {
public:
    std::vector<std::pair<int, long long>> fired;
    Clock::time_point start = Clock::now();
    std::function<void(int)> onTimer;
    void EvTimer(int id) override
    {
        fired.emplace_back(id, MsSince(start));
        if (onTimer)
            onTimer(id);
    }
};

} // namespace

TEST(TimerHandler, SettingTheSameTimerTwiceFiresOnceAfterTheSecondDelay)
{
    Timers timers;
    timers.TimerSet(5, 100);
    LEventQueueRunUntilStopConditionOrTimeout({}, true, 50);
    long long second = MsSince(timers.start);
    timers.TimerSet(5, 100);
    EXPECT_TRUE(timers.TimerIsSet(5));
    EXPECT_TRUE(Pump([&] { return !timers.fired.empty(); }));
    LEventQueueRunUntilStopConditionOrTimeout({}, true, 150);
    ASSERT_EQ(timers.fired.size(), 1u);
    EXPECT_EQ(timers.fired[0].first, 5);
    EXPECT_GE(timers.fired[0].second, second + 99);
    EXPECT_FALSE(timers.TimerIsSet(5));

    // It stays known after firing: setting it again fires it again.
    timers.TimerSet(5, 10);
    EXPECT_TRUE(Pump([&] { return timers.fired.size() == 2; }));
}

TEST(TimerHandler, ResetAndDestroyAndNegativeIds)
{
    Timers timers;
    timers.TimerReset(3); // never set: nothing
    timers.TimerSet(-1, 10);
    EXPECT_FALSE(timers.TimerIsSet(-1));
    timers.TimerSet(1, 20);
    timers.TimerSet(2, 20);
    timers.TimerSet(3, 30);
    timers.TimerReset(1);
    LEventQueueRunUntilStopConditionOrTimeout({}, true, 100);
    ASSERT_EQ(timers.fired.size(), 2u);
    EXPECT_EQ(timers.fired[0].first, 2);
    EXPECT_EQ(timers.fired[1].first, 3);

    timers.TimerSet(2, 20);
    timers.TimerDestroy();
    LEventQueueRunUntilStopConditionOrTimeout({}, true, 60);
    EXPECT_EQ(timers.fired.size(), 2u);
}

TEST(TimerHandler, EvTimerMayRearmAndResetTimersAndTimersMaySetFromWorkers)
{
    Timers timers;
    int rounds = 0;
    timers.onTimer = [&](int id) {
        if (id == 7 && ++rounds < 3)
            timers.TimerSet(7, 5); // re-arms itself
        if (id == 8)
            timers.TimerReset(8); // forgets itself
    };
    timers.TimerSet(7, 5);
    timers.TimerSet(8, 5);
    EXPECT_TRUE(Pump([&] { return rounds == 3; }));

    std::thread worker([&] { timers.TimerSet(9, 10); });
    worker.join();
    EXPECT_TRUE(Pump([&] { return !timers.fired.empty() && timers.fired.back().first == 9; }));
}

namespace {

class Receiver : public LQueuedNotifyDataHandler {
public:
    std::vector<std::string> got;
    bool onMain = true;
    void EvQueuedNotifyData(unsigned int code, const void* data, size_t length) override
    {
        onMain = onMain && LRunLoop::IsMainThread();
        if (data)
            got.push_back(
                std::to_string(code) + ":" + std::string(static_cast<const char*>(data), length));
        else
            got.push_back(std::to_string(code) + "#" + std::to_string(length));
    }
};

} // namespace

TEST(QueuedNotify, MessagesFromAWorkerArriveInOrderOnTheMainThread)
{
    Receiver receiver;
    LQueuedNotifyDataSender sender(&receiver);
    std::thread worker([&] {
        for (int i = 0; i < 200; ++i) {
            std::string text = "m" + std::to_string(i);
            if (i % 2)
                sender.PostNotify(1, text.data(), text.size());
            else
                sender.PostNotify(2, nullptr, static_cast<size_t>(i));
        }
    });
    worker.join();
    EXPECT_TRUE(receiver.got.empty()); // nothing arrives outside the loop
    EXPECT_TRUE(Pump([&] { return receiver.got.size() == 200; }));
    EXPECT_TRUE(receiver.onMain);
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(receiver.got[i], i % 2 ? "1:m" + std::to_string(i) : "2#" + std::to_string(i));

    // The bytes are copied at posting time.
    char buffer[4] = "abc";
    sender.PostNotify(3, buffer, 3);
    buffer[0] = 'X';
    EXPECT_TRUE(Pump([&] { return receiver.got.size() == 201; }));
    EXPECT_EQ(receiver.got.back(), "3:abc");

    LQueuedNotifyDataSender unbound;
    unbound.PostNotify(1, "x", 1); // no handler: nothing happens
}

TEST(QueuedNotify, MessagesAreDroppedOnceTheReceiverIsGone)
{
    auto* receiver = new Receiver;
    LQueuedNotifyDataSender sender(receiver);
    sender.PostNotify(1, "a", 1);
    sender.PostNotify(1, "b", 1);
    delete receiver;
    sender.PostNotify(1, "c", 1); // after the receiver is gone: dropped too
    // Nothing is delivered to the deleted object (a delivery would touch freed memory).
    LEventQueueRunUntilStopConditionOrTimeout({}, true, 30);

    Receiver detached;
    LQueuedNotifyDataSender toDetached(&detached);
    toDetached.PostNotify(1, "a", 1);
    detached.DetachQueuedNotify();
    LEventQueueRunUntilStopConditionOrTimeout({}, true, 30);
    EXPECT_TRUE(detached.got.empty());
}
