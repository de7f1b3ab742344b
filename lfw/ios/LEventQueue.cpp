#include "lfw/ios/LEventQueue.h"

#include "platform/ui/LModalLoop.h"
#include "platform/ui/LRunLoop.h"

#include <algorithm>
#include <atomic>
#include <optional>
#include <poll.h>
#include <time.h>

namespace {

std::atomic<LEventQueueModalSessionHook> gModalSessionHook { nullptr };
int gDispatchDepth = 0; // main thread only

// Microseconds of the monotonic clock: a wait never ends early, nor on a change of the clock.
long long _NowUs()
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

// Off the main thread there is no loop to turn: poll in short slices so that the stop condition
// is still tested.
constexpr unsigned int kOffMainSliceMs = 20;

// The shared wait. testStopFirst: the stop condition is tested once before the loop and then
// after each slice (the plain and single-signal forms); otherwise at the top of each iteration
// (the group form).
int _RunUntil(const int* fds, size_t count, const LEventQueueStopCondition& stop, bool useTimeout,
    unsigned int timeoutMs, bool testStopFirst)
{
    const bool onMain = LRunLoop::IsMainThread();
    const long long start = _NowUs();
    const long long timeoutUs = static_cast<long long>(timeoutMs) * 1000;
    if (testStopFirst && stop && stop())
        return 1;
    // On the main thread the wait counts as modal: what other programs ask for, drops and
    // quitting wait until it is over. The application's quitting ends it as a stop would.
    std::optional<LModalWait> modal;
    if (onMain)
        modal.emplace();
    auto stopped = [&] { return (stop && stop()) || (modal && modal->Stopped()); };
    for (;;) {
        if (!testStopFirst && stopped())
            return 1;
        if (LRunLoop::PollReady(fds, count) >= 0)
            return 0;
        unsigned int sliceMs = LRunLoop::kForever;
        if (useTimeout) {
            long long left = timeoutUs - (_NowUs() - start);
            sliceMs = left <= 0 ? 0 : static_cast<unsigned int>((left + 999) / 1000);
        }
        if (onMain) {
            LRunLoop::RunSlice(fds, count, sliceMs);
            LMacDispatchEvents();
        } else {
            unsigned int ms = stop ? std::min(sliceMs, kOffMainSliceMs) : sliceMs;
            struct pollfd entries[LSignalObjectGroup::kMaxEntries];
            size_t n = std::min(count, static_cast<size_t>(LSignalObjectGroup::kMaxEntries));
            for (size_t i = 0; i < n; ++i)
                entries[i] = { fds[i], POLLIN, 0 };
            if (n == 0 && ms == LRunLoop::kForever)
                ms = kOffMainSliceMs; // nothing can wake the wait: keep testing
            LSignalPoll(entries, n, ms);
        }
        if (testStopFirst && stopped())
            return 1;
        if (useTimeout && _NowUs() - start >= timeoutUs)
            return 2;
    }
}

} // namespace

int LEventQueueRunUntilStopConditionOrTimeout(
    const LEventQueueStopCondition& stop, bool useTimeout, unsigned int timeoutMs)
{
    return _RunUntil(nullptr, 0, stop, useTimeout, timeoutMs, true);
}

int LEventQueueRunUntilSignalOrStopConditionOrTimeout(LSignalObjectRef signal,
    const LEventQueueStopCondition& stop, bool useTimeout, unsigned int timeoutMs)
{
    int fd = signal.GetReadFd();
    return _RunUntil(&fd, 1, stop, useTimeout, timeoutMs, true);
}

int LEventQueueRunUntilGroupSignalledOrStopConditionOrTimeout(LSignalObjectGroup& group,
    const LEventQueueStopCondition& stop, bool useTimeout, unsigned int timeoutMs)
{
    // The descriptors are copied first: the group may change while the loop runs.
    int fds[LSignalObjectGroup::kMaxEntries];
    const size_t count = group.GetCount();
    for (size_t i = 0; i < count; ++i)
        fds[i] = group.GetEntries()[i].fd;
    return _RunUntil(fds, count, stop, useTimeout, timeoutMs, false);
}

void LEventQueueSetModalSessionHook(LEventQueueModalSessionHook hook)
{
    gModalSessionHook = hook;
}

bool LEventQueueIsDispatching()
{
    return gDispatchDepth > 0;
}

void LMacDispatchEvents()
{
    if (!LRunLoop::IsMainThread())
        return;
    LEventQueueModalSessionHook hook = gModalSessionHook.load();
    if (hook && hook())
        return;
    ++gDispatchDepth;
    LRunLoop::RunPending();
    --gDispatchDepth;
}
