#include "lfw/gen/LSignalObject.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

int LSignalPollTimeout(unsigned int ms)
{
    if (ms == LSIGNAL_WAIT_FOREVER)
        return -1;
    return ms > static_cast<unsigned int>(INT_MAX) ? INT_MAX : static_cast<int>(ms);
}

static int64_t _LSignalNowMs()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

int LSignalPoll(struct pollfd* fds, unsigned long count, unsigned int ms)
{
    const int timeout = LSignalPollTimeout(ms);
    const int64_t start = timeout > 0 ? _LSignalNowMs() : 0;
    int remaining = timeout;
    for (;;) {
        int n = poll(fds, static_cast<nfds_t>(count), remaining);
        if (n >= 0 || errno != EINTR)
            return n;
        if (timeout > 0) {
            int64_t left = timeout - (_LSignalNowMs() - start);
            remaining = left > 0 ? static_cast<int>(left) : 0;
        }
    }
}

void LSignalObjectRef::Signal() const
{
    if (fWrite < 0)
        return;
    const char byte = 1;
    // A full pipe (EAGAIN) is already signalled.
    while (write(fWrite, &byte, 1) < 0 && errno == EINTR) { }
}

bool LSignalObjectRef::WaitSignal(unsigned int ms) const
{
    if (fRead < 0)
        return false;
    struct pollfd entry = { fRead, POLLIN, 0 };
    return LSignalPoll(&entry, 1, ms) > 0 && (entry.revents & POLLIN);
}

void LSignalObjectRef::Reset() const
{
    if (fRead < 0)
        return;
    char buffer[64];
    for (;;) {
        ssize_t n = read(fRead, buffer, sizeof buffer);
        if (n > 0)
            continue;
        if (n < 0 && errno == EINTR)
            continue;
        break; // empty (EAGAIN) or closed
    }
}

LSignalObject::LSignalObject()
{
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
        fRead = fds[0];
        fWrite = fds[1];
    }
}

LSignalObject::~LSignalObject()
{
    Close();
}

void LSignalObject::Close()
{
    if (fRead >= 0)
        close(fRead);
    if (fWrite >= 0)
        close(fWrite);
    fRead = fWrite = -1;
}

bool LSignalObjectGroup::Add(LSignalObjectRef ref)
{
    if (fCount >= kMaxEntries)
        return false;
    fEntries[fCount].fd = ref.GetReadFd();
    fEntries[fCount].events = POLLIN;
    fEntries[fCount].revents = 0;
    ++fCount;
    return true;
}

long LSignalObjectGroup::Wait(unsigned int ms)
{
    if (fCount == 0)
        return -1;
    if (LSignalPoll(fEntries, static_cast<unsigned long>(fCount), ms) <= 0)
        return -1;
    for (uint64_t i = 0; i < fCount; ++i)
        if (fEntries[i].revents & POLLIN)
            return static_cast<long>(i);
    return -1;
}
