#include "lfw/unix/LHangDetector.h"

#include "lfw/gen/LFormat.h"
#include "lfw/unix/LNamedPipe.h"
#include "platform/system/FileRead.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

void _LSystemClock(int64_t* seconds, uint32_t* milliseconds)
{
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    *seconds = int64_t(tv.tv_sec);
    *milliseconds = uint32_t(uint64_t(tv.tv_sec) * 1000u + uint64_t(tv.tv_usec) / 1000u);
}

std::atomic<LHangDetectorClock> gClock { nullptr };
std::atomic<LHangDetectorAbnormalEndHook> gAbnormalHook { nullptr };

void _LReadClock(int64_t* seconds, uint32_t* milliseconds)
{
    LHangDetectorClock clock = gClock.load();
    (clock ? clock : _LSystemClock)(seconds, milliseconds);
}

bool _LWriteAll(int fd, const void* data, size_t n)
{
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        ssize_t w = write(fd, p, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        p += w;
        n -= size_t(w);
    }
    return true;
}

} // namespace

void LHangDetectorSetClock(LHangDetectorClock clock)
{
    gClock = clock;
}

void LHangDetectorSetAbnormalEndHook(LHangDetectorAbnormalEndHook hook)
{
    gAbnormalHook = hook;
}

bool LHangDetectorGetPath(char* out)
{
    out[0] = 0;
    char folder[kLPathSize];
    if (!LNamedPipeGetRuntimeFolder(folder))
        return false;
    const char* login = std::getenv("LOGNAME");
    if (!login || !*login)
        login = std::getenv("USER");
    if (!login)
        login = "";
    char name[kLPathSize];
    LStringFormat(name, sizeof name, "_vorantel_rl_%s", login);
    if (std::strchr(name, '/'))
        return false;
    return LFile::_MakeFilePath(out, folder, name, "");
}

LHangDetector::~LHangDetector()
{
    Destroy();
}

void LHangDetector::Destroy()
{
    if (fDescriptor >= 0) {
        close(fDescriptor);
        fDescriptor = -1;
        if (fPath[0])
            unlink(fPath);
    }
}

bool LHangDetector::InitAndTest()
{
    int64_t nowSeconds = 0;
    uint32_t nowMs = 0;
    _LReadClock(&nowSeconds, &nowMs);
    if (fDescriptor >= 0) {
        close(fDescriptor);
        fDescriptor = -1;
    }
    if (!LHangDetectorGetPath(fPath))
        return false;

    int fd = open(fPath, O_RDWR | O_NONBLOCK | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0) {
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            close(fd);
            return false;
        }
        unsigned char record[16];
        int64_t s = nowSeconds;
        uint64_t ms = nowMs;
        std::memcpy(record, &s, 8);
        std::memcpy(record + 8, &ms, 8);
        _LWriteAll(fd, record, sizeof record);
        fDescriptor = fd;
        return false;
    }
    if (errno != EEXIST)
        return false;

    // The file exists: a running instance holds its lock, or the last run did not end cleanly.
    fd = platform::system::OpenForReading(fPath, O_NOFOLLOW);
    if (fd < 0)
        return false;
    if (flock(fd, LOCK_SH | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    unsigned char record[16];
    size_t got = 0;
    while (got < sizeof record) {
        ssize_t r = read(fd, record + got, sizeof record - got);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        got += size_t(r);
    }
    close(fd);
    unlink(fPath);
    // A record cut short (the run ended while writing it) tells nothing: dropped silently.
    if (got < sizeof record)
        return false;
    int64_t storedSeconds;
    uint64_t storedMs;
    std::memcpy(&storedSeconds, record, 8);
    std::memcpy(&storedMs, record + 8, 8);
    if (nowSeconds - storedSeconds > 1000000000LL || storedSeconds - nowSeconds > 1000000000LL)
        return false;
    // The same arithmetic as the clock: 64-bit, so nothing overflows; a wrap of the 32-bit
    // clock in between puts now outside the window.
    int64_t expected = int64_t(storedMs) + (nowSeconds - storedSeconds) * 1000;
    int64_t now = int64_t(nowMs);
    if (!(now > expected - 2000 && now < expected + 2000))
        return false;
    if (LHangDetectorAbnormalEndHook hook = gAbnormalHook.load())
        hook();
    return true;
}

void LDebugHangDetectorDestroy()
{
    gLHangDetector.Destroy();
}
