#include "platform/system/TextLock.h"

#include <mutex>
#include <unistd.h>
#include <vector>

namespace platform::system {

namespace {

// Never destroyed: threads that draw while the program ends still find it.
std::recursive_mutex& Mutex()
{
    static auto* mutex = new std::recursive_mutex;
    return *mutex;
}

// What the thread has to let go of when it ends.
struct ThreadEnd {
    std::vector<void (*)()> releases;
    ~ThreadEnd()
    {
        if (releases.empty())
            return;
        TextLock lock;
        for (void (*release)() : releases)
            release();
    }
};
thread_local ThreadEnd tThreadEnd;
thread_local unsigned long tTaken = 0;

} // namespace

TextLock::TextLock()
{
    Mutex().lock();
    ++tTaken;
}

unsigned long TextLock::TakenOnThisThread()
{
    return tTaken;
}

TextLock::~TextLock()
{
    Mutex().unlock();
}

void TextLock::ReleaseAtThreadEnd(void (*release)())
{
    if (getpid() == gettid())
        return;
    std::vector<void (*)()>& releases = tThreadEnd.releases;
    for (void (*given)() : releases)
        if (given == release)
            return;
    releases.push_back(release);
}

} // namespace platform::system
