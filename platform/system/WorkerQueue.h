// Work done in the background. The work added to a queue is taken in the order it came by threads
// of the queue's own, at most as many side by side as the queue was made for (one unless asked):
// the queue starts one when work comes and fewer run than there is work for, and a thread ends
// (detached) once the queue is empty, so nothing waits while there is nothing to do. With one
// thread the work is done in the order it came. The threads carry the queue's name (cut to 15
// bytes, as the system keeps thread names) and run below the window's thread (nice 10), so their
// work takes what the user's leaves.
//
// The queue's state is shared with its threads: a queue may be destroyed, or live to the end of
// the program, while its threads work. Work not begun then is dropped with the queue; the work
// under way is finished on its thread.
//
//     static WorkerQueue queue("Bildkodning");
//     if (!queue.Add([picture] { ... }))
//         ...                              // no thread could be made: do it another way
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace platform::system {

class WorkerQueue {
public:
    // Niceness of the queues' threads: below the default of 0.
    static constexpr int kNiceness = 10;

    // threads: how many may work side by side (at least 1).
    explicit WorkerQueue(std::string name, int threads = 1);
    ~WorkerQueue();
    WorkerQueue(const WorkerQueue&) = delete;
    WorkerQueue& operator=(const WorkerQueue&) = delete;

    // Queues the work (any thread; work may add work). False when there was no thread to do it
    // and none could be made: the work is dropped (destroyed here) and the caller does without.
    bool Add(std::function<void()> work);
    // Whether work is waiting or under way.
    bool Busy() const;

    struct Shared;

private:
    std::shared_ptr<Shared> fShared;
};

} // namespace platform::system
