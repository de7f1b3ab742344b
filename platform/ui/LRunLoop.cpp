#include "platform/ui/LRunLoop.h"

#include <cerrno>
#include <condition_variable>
#include <deque>
#include <glib.h>
#include <mutex>
#include <poll.h>
#include <pthread.h>

namespace {

pthread_t gMainThread = pthread_self();

// The queue of posted functions, drained by one source on the default context. The source may
// recurse, so a wait inside a posted function still delivers later posts, in order.
struct PostQueue {
    std::mutex mutex;
    std::deque<std::function<void()>> items;
    GSource* source = nullptr;
};

PostQueue& _Queue()
{
    static PostQueue* queue = new PostQueue; // never destroyed: posts may come during exit
    return *queue;
}

gboolean _PostPrepare(GSource*, gint* timeout)
{
    *timeout = -1;
    PostQueue& queue = _Queue();
    std::lock_guard<std::mutex> lock(queue.mutex);
    return !queue.items.empty();
}

gboolean _PostCheck(GSource*)
{
    PostQueue& queue = _Queue();
    std::lock_guard<std::mutex> lock(queue.mutex);
    return !queue.items.empty();
}

gboolean _PostDispatch(GSource*, GSourceFunc, gpointer)
{
    PostQueue& queue = _Queue();
    size_t count;
    {
        std::lock_guard<std::mutex> lock(queue.mutex);
        count = queue.items.size();
    }
    // Only what was queued when this round began, so a function that posts again cannot keep
    // the loop here for ever.
    while (count-- > 0) {
        std::function<void()> fn;
        {
            std::lock_guard<std::mutex> lock(queue.mutex);
            if (queue.items.empty())
                break;
            fn = std::move(queue.items.front());
            queue.items.pop_front();
        }
        if (fn)
            fn();
    }
    return G_SOURCE_CONTINUE;
}

GSourceFuncs gPostFuncs = { _PostPrepare, _PostCheck, _PostDispatch, nullptr, nullptr, nullptr };

// A slice ends when this source fires: one of its descriptors is ready or its time has come.
gboolean _SliceDispatch(GSource*, GSourceFunc, gpointer)
{
    return G_SOURCE_REMOVE;
}

GSourceFuncs gSliceFuncs = { nullptr, nullptr, _SliceDispatch, nullptr, nullptr, nullptr };

struct TimerSource {
    GSource base;
    LRunLoopTimer* owner;
    LRunLoopTimer::Callback fire;
    void* data;
};

gboolean _TimerDispatch(GSource* source, GSourceFunc, gpointer)
{
    g_source_set_ready_time(source, -1);
    TimerSource* timer = reinterpret_cast<TimerSource*>(source);
    if (timer->fire)
        timer->fire(timer->owner, timer->data);
    return G_SOURCE_CONTINUE;
}

GSourceFuncs gTimerFuncs = { nullptr, nullptr, _TimerDispatch, nullptr, nullptr, nullptr };

} // namespace

void LRunLoop::SetMainThread()
{
    gMainThread = pthread_self();
}

bool LRunLoop::IsMainThread()
{
    return pthread_equal(gMainThread, pthread_self()) != 0;
}

namespace {

constexpr int kPostPriority = G_PRIORITY_HIGH_IDLE + 30;

} // namespace

void LRunLoop::Post(std::function<void()> fn)
{
    PostQueue& queue = _Queue();
    {
        std::lock_guard<std::mutex> lock(queue.mutex);
        if (!queue.source) {
            queue.source = g_source_new(&gPostFuncs, sizeof(GSource));
            g_source_set_can_recurse(queue.source, TRUE);
            // Below input and redrawing (GTK redraws at G_PRIORITY_HIGH_IDLE + 20), above idle
            // work: posted work that keeps posting more never stops windows from painting.
            g_source_set_priority(queue.source, kPostPriority);
            g_source_set_name(queue.source, "LRunLoop posts");
            g_source_attach(queue.source, nullptr);
        }
        queue.items.push_back(std::move(fn));
    }
    g_main_context_wakeup(nullptr);
}

void LRunLoop::Send(const std::function<void()>& fn)
{
    if (IsMainThread()) {
        fn();
        return;
    }
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    Post([&] {
        fn();
        std::lock_guard<std::mutex> lock(mutex);
        finished = true;
        done.notify_one();
    });
    std::unique_lock<std::mutex> lock(mutex);
    done.wait(lock, [&] { return finished; });
}

void LRunLoop::Flush()
{
    if (!IsMainThread())
        return;
    bool reached = false;
    Post([&reached] { reached = true; });
    while (!reached)
        g_main_context_iteration(nullptr, TRUE);
}

bool LRunLoop::RunOnce(bool mayBlock)
{
    return g_main_context_iteration(nullptr, mayBlock);
}

int LRunLoop::RunPending(int maxRounds)
{
    int rounds = 0;
    while (rounds < maxRounds && g_main_context_iteration(nullptr, FALSE))
        ++rounds;
    return rounds;
}

long long LRunLoop::NowMs()
{
    return g_get_monotonic_time() / 1000;
}

long LRunLoop::PollReady(const int* fds, size_t count)
{
    if (count == 0)
        return -1;
    struct pollfd stackEntries[16];
    struct pollfd* entries = count <= 16 ? stackEntries : new struct pollfd[count];
    for (size_t i = 0; i < count; ++i)
        entries[i] = { fds[i], POLLIN, 0 };
    long ready = -1;
    int n;
    do
        n = poll(entries, count, 0);
    while (n < 0 && errno == EINTR);
    if (n > 0) {
        for (size_t i = 0; i < count; ++i) {
            if (entries[i].revents & (POLLIN | POLLHUP | POLLERR)) {
                ready = static_cast<long>(i);
                break;
            }
        }
    }
    if (entries != stackEntries)
        delete[] entries;
    return ready;
}

void LRunLoop::RunSlice(const int* fds, size_t count, unsigned int ms)
{
    GSource* slice = g_source_new(&gSliceFuncs, sizeof(GSource));
    g_source_set_name(slice, "LRunLoop wait");
    for (size_t i = 0; i < count; ++i)
        if (fds[i] >= 0)
            g_source_add_unix_fd(slice, fds[i], GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR));
    if (ms != kForever)
        g_source_set_ready_time(slice, g_get_monotonic_time() + gint64(ms) * 1000);
    g_source_attach(slice, nullptr);
    // Adding the descriptors to the loop wakes it, so its first iteration may end at once with
    // nothing done: iterations that dispatch nothing do not end the slice (a wait would spin).
    // Anything dispatched does, the slice's own source included. A thread that cannot own the
    // loop (another turns it) has its one iteration answered at once, as before.
    if (g_main_context_acquire(nullptr)) {
        while (!g_main_context_iteration(nullptr, TRUE)) { }
        g_main_context_release(nullptr);
    } else {
        g_main_context_iteration(nullptr, TRUE);
    }
    g_source_destroy(slice);
    g_source_unref(slice);
}

int LRunLoop::RunUntil(const int* fds, size_t count, const std::function<bool()>& stop,
    bool useTimeout, unsigned int timeoutMs, size_t* which)
{
    const gint64 start = g_get_monotonic_time();
    const gint64 timeoutUs = gint64(timeoutMs) * 1000;
    for (;;) {
        if (stop && stop())
            return kStopped;
        long ready = PollReady(fds, count);
        if (ready >= 0) {
            if (which)
                *which = static_cast<size_t>(ready);
            return kSignalled;
        }
        unsigned int sliceMs = kForever;
        if (useTimeout) {
            gint64 left = timeoutUs - (g_get_monotonic_time() - start);
            sliceMs = left <= 0 ? 0 : static_cast<unsigned int>((left + 999) / 1000);
        }
        RunSlice(fds, count, sliceMs);
        if (useTimeout && g_get_monotonic_time() - start >= timeoutUs)
            return kTimedOut;
    }
}

LRunLoopTimer::LRunLoopTimer(Callback fire, void* data, bool idle)
{
    fSource = g_source_new(&gTimerFuncs, sizeof(TimerSource));
    if (idle)
        g_source_set_priority(fSource, G_PRIORITY_DEFAULT_IDLE);
    TimerSource* timer = reinterpret_cast<TimerSource*>(fSource);
    timer->owner = this;
    timer->fire = fire;
    timer->data = data;
    g_source_set_name(fSource, "LRunLoop timer");
    g_source_set_ready_time(fSource, -1);
    g_source_attach(fSource, nullptr);
}

LRunLoopTimer::~LRunLoopTimer()
{
    g_source_destroy(fSource);
    g_source_unref(fSource);
}

void LRunLoopTimer::Arm(unsigned int ms)
{
    g_source_set_ready_time(fSource, g_get_monotonic_time() + gint64(ms) * 1000);
}

void LRunLoopTimer::Disarm()
{
    g_source_set_ready_time(fSource, -1);
}

bool LRunLoopTimer::IsArmed() const
{
    return g_source_get_ready_time(fSource) != -1;
}
