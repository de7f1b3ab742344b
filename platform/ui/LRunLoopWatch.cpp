#include "platform/ui/LRunLoopWatch.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <glib-unix.h>
#include <glib.h>
#include <map>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

struct Watch {
    guint source = 0;
    int ownedFd = -1; // a process descriptor this watch opened
    pid_t pid = 0;
    LRunLoopWatch::Callback callback = nullptr;
    void* data = nullptr;
    bool once = false;
};

std::map<uintptr_t, Watch>& Watches()
{
    static std::map<uintptr_t, Watch> watches;
    return watches;
}

uintptr_t gNextToken = 1;

void Drop(uintptr_t token, bool removeSource)
{
    auto& watches = Watches();
    auto it = watches.find(token);
    if (it == watches.end())
        return;
    Watch w = it->second;
    watches.erase(it);
    if (removeSource && w.source)
        g_source_remove(w.source);
    if (w.ownedFd >= 0)
        close(w.ownedFd);
}

// Runs the watch's callback; a one-shot watch is gone first. Answers whether the GLib source
// stays.
gboolean Fire(uintptr_t token)
{
    auto& watches = Watches();
    auto it = watches.find(token);
    if (it == watches.end())
        return G_SOURCE_REMOVE;
    Watch w = it->second;
    if (w.once)
        Drop(token, false);
    w.callback(w.data);
    return w.once ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
}

gboolean OnDescriptor(gint, GIOCondition, gpointer token)
{
    return Fire(reinterpret_cast<uintptr_t>(token));
}

gboolean OnSignal(gpointer token)
{
    return Fire(reinterpret_cast<uintptr_t>(token));
}

gboolean OnPoll(gpointer token)
{
    auto& watches = Watches();
    auto it = watches.find(reinterpret_cast<uintptr_t>(token));
    if (it == watches.end())
        return G_SOURCE_REMOVE;
    if (LRunLoopWatch::IsProcessRunning(it->second.pid))
        return G_SOURCE_CONTINUE;
    return Fire(reinterpret_cast<uintptr_t>(token));
}

uintptr_t Store(Watch w)
{
    uintptr_t token = gNextToken++;
    Watches()[token] = w;
    return token;
}

} // namespace

uintptr_t LRunLoopWatch::AddDescriptor(int fd, Callback callback, void* data)
{
    if (fd < 0 || !callback)
        return 0;
    uintptr_t token = Store(Watch { 0, -1, 0, callback, data, false });
    Watches()[token].source = g_unix_fd_add(fd, GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR),
        OnDescriptor, reinterpret_cast<gpointer>(token));
    return token;
}

uintptr_t LRunLoopWatch::AddSignal(int signum, Callback callback, void* data)
{
    switch (signum) {
    case SIGTERM:
    case SIGINT:
    case SIGHUP:
    case SIGUSR1:
    case SIGUSR2:
    case SIGWINCH:
        break;
    default:
        return 0;
    }
    if (!callback)
        return 0;
    uintptr_t token = Store(Watch { 0, -1, 0, callback, data, false });
    Watches()[token].source
        = g_unix_signal_add(signum, OnSignal, reinterpret_cast<gpointer>(token));
    return token;
}

uintptr_t LRunLoopWatch::AddProcessExit(pid_t pid, Callback callback, void* data)
{
    if (pid < 1 || !callback)
        return 0;
    uintptr_t token = Store(Watch { 0, -1, pid, callback, data, true });
    Watch& w = Watches()[token];
#ifdef SYS_pidfd_open
    int fd = int(syscall(SYS_pidfd_open, pid, 0));
#else
    int fd = -1;
#endif
    if (fd >= 0) {
        w.ownedFd = fd;
        w.source = g_unix_fd_add(
            fd, GIOCondition(G_IO_IN | G_IO_HUP), OnDescriptor, reinterpret_cast<gpointer>(token));
    } else {
        // Refused (an old kernel, a sandbox): looked at every 100 ms.
        w.source = g_timeout_add(100, OnPoll, reinterpret_cast<gpointer>(token));
    }
    return token;
}

void LRunLoopWatch::Remove(uintptr_t token)
{
    Drop(token, true);
}

bool LRunLoopWatch::IsActive(uintptr_t token)
{
    return Watches().count(token) != 0;
}

bool LRunLoopWatch::IsProcessRunning(pid_t pid)
{
    if (pid < 1)
        return false;
    if (kill(pid, 0) != 0 && errno == ESRCH)
        return false;
    // A zombie has ended: only its parent has not collected it yet.
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/stat", int(pid));
    FILE* f = fopen(path, "re");
    if (!f)
        return true; // no /proc: kill's answer stands
    char buf[512];
    size_t n = fread(buf, 1, sizeof buf - 1, f);
    fclose(f);
    buf[n] = 0;
    // "pid (comm) S ...": the state follows the last ')'.
    const char* end = strrchr(buf, ')');
    if (!end || end[1] != ' ')
        return true;
    char state = end[2];
    return state != 'Z' && state != 'X';
}
