// Watches on the main thread's run loop (GLib only): a descriptor that becomes readable, a POSIX
// signal, the end of another process. Each callback runs on the main thread from the loop.
#pragma once

#include <cstdint>
#include <sys/types.h>

class LRunLoopWatch {
public:
    using Callback = void (*)(void* data);

    // Calls back each time the descriptor is readable or hung up, until removed. 0 for a
    // negative descriptor.
    static uintptr_t AddDescriptor(int fd, Callback callback, void* data);
    // Calls back on the loop each time the signal arrives (SIGTERM, SIGINT, SIGHUP, SIGUSR1,
    // SIGUSR2, SIGWINCH); 0 for other signals.
    static uintptr_t AddSignal(int signum, Callback callback, void* data);
    // Calls back once when the process has ended (a zombie has ended): through a process
    // descriptor where the kernel offers one, else by looking every 100 ms. 0 for a pid below 1.
    static uintptr_t AddProcessExit(pid_t pid, Callback callback, void* data);
    // Removes a watch; removing one that fired for the last time, or twice, is allowed.
    static void Remove(uintptr_t token);
    static bool IsActive(uintptr_t token);

    // Whether the process exists and has not ended (a zombie has ended).
    static bool IsProcessRunning(pid_t pid);
};
