// The main thread's run loop, over GLib's default main context (GLib only, no display needed).
//
// The main thread is the one that runs the loop: by default the thread that ran static
// initialisation, else the one named with SetMainThread. Everything queued here runs on it:
// posted functions (always queued, in the order posted, even when posted from the main thread),
// one-shot timers, and the slices of waits that must keep the loop turning.
#pragma once

#include <cstddef>
#include <functional>

typedef struct _GSource GSource;

class LRunLoop {
public:
    // Results of RunUntil, the same numbers as the framework's waits.
    enum Result { kSignalled = 0, kStopped = 1, kTimedOut = 2 };
    static constexpr unsigned int kForever = 0xFFFFFFFFu;

    static void SetMainThread();
    static bool IsMainThread();

    // Queues fn to run on the main thread. Functions posted from one thread run in that order.
    static void Post(std::function<void()> fn);
    // Runs fn on the main thread and returns once it has run (at once when called there).
    static void Send(const std::function<void()>& fn);

    // On the main thread: runs every function posted (from any thread) before this call, then
    // returns. Elsewhere: does nothing.
    static void Flush();

    // One iteration of the loop; with mayBlock it waits until something is ready. True when
    // something was dispatched.
    static bool RunOnce(bool mayBlock);
    // Dispatches what is pending without waiting, at most maxRounds iterations; returns how many
    // iterations dispatched something.
    static int RunPending(int maxRounds = 256);
    // One blocking iteration that also ends when one of the descriptors becomes readable (or
    // hung up) or after ms milliseconds (kForever: no limit). Negative descriptors are ignored.
    static void RunSlice(const int* fds, size_t count, unsigned int ms);
    // Tests stop, then the descriptors, then runs a slice and tests the time, over and over:
    // kStopped when stop returned true, kSignalled when a descriptor is readable (its index in
    // *which), kTimedOut when useTimeout is set and timeoutMs milliseconds have passed (after at
    // least one slice). stop may be empty.
    static int RunUntil(const int* fds, size_t count, const std::function<bool()>& stop,
        bool useTimeout, unsigned int timeoutMs, size_t* which = nullptr);

    // Index of the first descriptor that is readable now (or hung up), or -1.
    static long PollReady(const int* fds, size_t count);
    // Milliseconds of a monotonic clock.
    static long long NowMs();
};

// A one-shot timer on the main loop. It is installed unarmed; Arm(ms) makes it fire once, ms
// milliseconds from now, and arming an armed timer only moves its firing. After firing it stays
// installed, unarmed. The callback runs on the main thread; Arm and Disarm may be called from
// any thread. An idle timer fires only when nothing else is due (input, redrawing, posted work),
// so arming it again and again during a burst of events runs it once, after the burst.
class LRunLoopTimer {
public:
    // Called with the timer that fired and the data given at construction.
    using Callback = void (*)(LRunLoopTimer* timer, void* data);

    LRunLoopTimer(Callback fire, void* data, bool idle = false);
    ~LRunLoopTimer();
    LRunLoopTimer(const LRunLoopTimer&) = delete;
    LRunLoopTimer& operator=(const LRunLoopTimer&) = delete;

    void Arm(unsigned int ms);
    void Disarm();
    bool IsArmed() const;

private:
    GSource* fSource;
};
