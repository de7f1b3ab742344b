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
    int threads = 1; // side by side at most
    mutable std::mutex mutex;
    std::deque<std::function<void()>> waiting;
    int running = 0; // threads that work the queue
    int busy = 0; // pieces of work under way
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
    for (bool done = false;; done = true) {
        std::function<void()> work;
        {
            std::lock_guard<std::mutex> hold(shared->mutex);
            if (done)
                --shared->busy;
            if (shared->waiting.empty()) {
                --shared->running;
                return;
            }
            work = std::move(shared->waiting.front());
            shared->waiting.pop_front();
            ++shared->busy;
        }
        work();
        // What the work held goes before the next is taken.
        work = nullptr;
    }
}

} // namespace

WorkerQueue::WorkerQueue(std::string name, int threads)
    : fShared(std::make_shared<Shared>())
{
    fShared->name = SystemName(name);
    fShared->threads = std::max(threads, 1);
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
    // The threads between two pieces of work take what waits before another is started.
    const size_t free = size_t(fShared->running - fShared->busy);
    if (fShared->running >= fShared->threads || fShared->waiting.size() <= free)
        return true;
    try {
        std::thread([shared = fShared] { Work(shared); }).detach();
        ++fShared->running;
        return true;
    } catch (const std::system_error&) {
        // The threads that run do the work; with none, the queue held nothing else.
        if (fShared->running > 0)
            return true;
        std::function<void()> dropped = std::move(fShared->waiting.back());
        fShared->waiting.pop_back();
        hold.unlock();
        return false;
    }
}

bool WorkerQueue::Busy() const
{
    std::lock_guard<std::mutex> hold(fShared->mutex);
    return fShared->busy > 0 || !fShared->waiting.empty();
}

} // namespace platform::system
