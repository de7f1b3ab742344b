#include "platform/system/WorkerQueue.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <pthread.h>
#include <sys/resource.h>
#include <system_error>
#include <thread>
#include <utility>

namespace platform::system {

struct WorkerQueue::Shared {
    std::string name; // as the system keeps it: at most 15 bytes, never a cut character
    mutable std::mutex mutex;
    std::deque<std::function<void()>> waiting;
    bool running = false; // a thread works the queue
    bool busy = false; // a piece of work is under way
};

namespace {

std::string SystemName(const std::string& name)
{
    size_t cut = std::min<size_t>(name.size(), 15);
    while (cut > 0 && cut < name.size() && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut;
    return name.substr(0, cut);
}

void Work(const std::shared_ptr<WorkerQueue::Shared>& shared)
{
    pthread_setname_np(pthread_self(), shared->name.c_str());
    setpriority(PRIO_PROCESS, 0, WorkerQueue::kNiceness);
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard<std::mutex> hold(shared->mutex);
            shared->busy = false;
            if (shared->waiting.empty()) {
                shared->running = false;
                return;
            }
            work = std::move(shared->waiting.front());
            shared->waiting.pop_front();
            shared->busy = true;
        }
        work();
        // What the work held goes before the next is taken.
        work = nullptr;
    }
}

} // namespace

WorkerQueue::WorkerQueue(std::string name)
    : fShared(std::make_shared<Shared>())
{
    fShared->name = SystemName(name);
}

WorkerQueue::~WorkerQueue()
{
    std::deque<std::function<void()>> dropped;
    std::lock_guard<std::mutex> hold(fShared->mutex);
    dropped.swap(fShared->waiting);
}

bool WorkerQueue::Add(std::function<void()> work)
{
    if (!work)
        return true;
    std::unique_lock<std::mutex> hold(fShared->mutex);
    fShared->waiting.push_back(std::move(work));
    if (fShared->running)
        return true;
    try {
        std::thread([shared = fShared] { Work(shared); }).detach();
        fShared->running = true;
        return true;
    } catch (const std::system_error&) {
        // No thread runs, so the queue held nothing else.
        std::function<void()> dropped = std::move(fShared->waiting.back());
        fShared->waiting.pop_back();
        hold.unlock();
        return false;
    }
}

bool WorkerQueue::Busy() const
{
    std::lock_guard<std::mutex> hold(fShared->mutex);
    return fShared->busy || !fShared->waiting.empty();
}

} // namespace platform::system
