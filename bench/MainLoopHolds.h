// The main loop's holds for the benchmarks of the window's thread: the loop is turned as the
// program turns it, and a hold is its time outside its waits (a hold ends when the loop next
// waits for something, or looks without waiting).
#pragma once

#include <glib.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <functional>

namespace mainloopholds {

struct Holds {
    using Clock = std::chrono::steady_clock;
    static inline Clock::time_point woke = Clock::now();
    static inline double longest = 0;
    static inline GPollFunc plain = nullptr;
    static gint Poll(GPollFD* fds, guint n, gint timeout)
    {
        longest = std::max(longest, std::chrono::duration<double>(Clock::now() - woke).count());
        const gint result = plain(fds, n, timeout);
        woke = Clock::now();
        return result;
    }
};

// Turns the main loop until finished() (at most a minute): the longest hold in seconds.
inline double LongestHold(const std::function<bool()>& finished)
{
    GMainContext* context = g_main_context_default();
    Holds::plain = g_main_context_get_poll_func(context);
    g_main_context_set_poll_func(context, &Holds::Poll);
    Holds::longest = 0;
    Holds::woke = Holds::Clock::now();
    const auto end = Holds::Clock::now() + std::chrono::minutes(1);
    while (!finished() && Holds::Clock::now() < end)
        g_main_context_iteration(context, TRUE);
    Holds::longest = std::max(
        Holds::longest, std::chrono::duration<double>(Holds::Clock::now() - Holds::woke).count());
    g_main_context_set_poll_func(context, Holds::plain);
    return Holds::longest;
}

// The calling thread's processor time in ms.
inline double ThreadCpuMs()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

} // namespace mainloopholds
