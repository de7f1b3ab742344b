#include "lfw/gen/LFileLock.h"

#include <cerrno>
#include <ctime>
#include <sys/file.h>

namespace {

void SleepMilliseconds(unsigned int ms)
{
    timespec request { static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L };
    timespec remaining {};
    while (nanosleep(&request, &remaining) != 0 && errno == EINTR)
        request = remaining;
}

bool TryLock(int fd, int operation, bool& retry)
{
    for (;;) {
        if (flock(fd, operation) == 0) {
            retry = false;
            return true;
        }
        if (errno == EINTR)
            continue;
        retry = errno == EWOULDBLOCK;
        return false;
    }
}

} // namespace

bool LFileLockTimed(int fd, int operation, unsigned int timeoutMs)
{
    bool retry = false;
    if (TryLock(fd, operation, retry))
        return true;
    if (!retry)
        return false;
    // The delay starts at 1/32 of the time-out and doubles; another try follows only while the
    // delay is still below the time-out (1000 ms: tries after 32, 64, 128 and 256 ms, then a
    // last sleep of 512 ms).
    unsigned long long delay = timeoutMs / 32 + 1;
    for (;;) {
        SleepMilliseconds(static_cast<unsigned int>(delay));
        delay *= 2;
        if (delay >= timeoutMs)
            return false;
        if (TryLock(fd, operation, retry))
            return true;
        if (!retry)
            return false;
    }
}

void flocktimed(int fd, int operation, unsigned int timeoutMs)
{
    LFileLockTimed(fd, operation, timeoutMs);
}
