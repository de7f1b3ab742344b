#include "lfw/unix/LDebugSignal.h"

#include <atomic>
#include <unistd.h>

namespace {

std::atomic<LDebugSignalReportHook> gReportHook { nullptr };
std::atomic<LIntTermSignalStopHook> gStopHook { nullptr };
// Set by the first crash signal; later ones do nothing more.
std::atomic<bool> gTrapped { false };

static_assert(std::atomic<LDebugSignalReportHook>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

// write(2) of a NUL-terminated text (safe in a signal handler).
void _LWriteError(const char* text)
{
    size_t n = 0;
    while (text[n])
        ++n;
    while (n > 0) {
        ssize_t done = write(STDERR_FILENO, text, n);
        if (done <= 0)
            return;
        text += done;
        n -= size_t(done);
    }
}

// "SIGNAL<n>" without the formatting functions, which are not safe in a signal handler.
void _LFormatSignal(int signal, char* out)
{
    const char prefix[] = "SIGNAL";
    size_t n = 0;
    for (; prefix[n]; ++n)
        out[n] = prefix[n];
    unsigned value = signal < 0 ? 0u : unsigned(signal);
    char digits[12];
    size_t d = 0;
    do {
        digits[d++] = char('0' + value % 10);
        value /= 10;
    } while (value && d < sizeof digits);
    while (d > 0)
        out[n++] = digits[--d];
    out[n] = '\0';
}

// The fault came from the processor (not from kill or raise): returning runs the faulting
// instruction again.
bool _LIsHardwareFault(int signal, const siginfo_t* info)
{
    if (signal != SIGILL && signal != SIGFPE && signal != SIGSEGV && signal != SIGBUS)
        return false;
    return info && info->si_code > 0;
}

void _LRestoreDefault(int signal)
{
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

} // namespace

void LDebugSignalSetReportHook(LDebugSignalReportHook hook)
{
    gReportHook = hook;
}

void LIntTermSignalSetStopHook(LIntTermSignalStopHook hook)
{
    gStopHook = hook;
}

bool LDebugSignalWasTrapped()
{
    return gTrapped.load();
}

void LDebugSignalHandler(int signal, siginfo_t* info, void*)
{
    if (gTrapped.exchange(true)) {
        // A later fault: let the system end the process when it is one that would repeat.
        if (_LIsHardwareFault(signal, info))
            _LRestoreDefault(signal);
        return;
    }
    if (LDebugSignalReportHook hook = gReportHook.load()) {
        hook(signal);
    } else {
        char name[32];
        _LFormatSignal(signal, name);
        _LWriteError("Onormal signalkrasch: programmet kraschade med ett onormalt undantag (");
        _LWriteError(name);
        _LWriteError(").\n");
    }
    switch (signal) {
    case SIGFPE:
    case SIGBUS:
    case SIGSEGV:
        // The record is written; the system's own action ends the process, so a parent, a
        // debugger or the core-dump handler sees the real signal.
        _LRestoreDefault(signal);
        raise(signal);
        return;
    case SIGILL:
        if (_LIsHardwareFault(signal, info))
            _LRestoreDefault(signal);
        return;
    default:
        return;
    }
}

void LIntTermSignalHandler(int signal, siginfo_t*, void*)
{
    if (signal != SIGINT && signal != SIGTERM)
        return;
    if (LIntTermSignalStopHook hook = gStopHook.load())
        if (hook(signal))
            return;
    _exit(0);
}
