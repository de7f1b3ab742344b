// Work done in the background by one thread at a time. The work added to a queue is done in the
// order it came by a thread of the queue's own, which the queue starts when work comes and none
// runs, and which ends (detached) once the queue is empty: nothing waits while there is nothing to
// do. The thread carries the queue's name (cut to 15 bytes, as the system keeps thread names)
// and runs below the window's thread (nice 10), so its work takes what the user's leaves.
//
// The queue's state is shared with its thread: a queue may be destroyed, or live to the end of
// the program, while its thread works. Work not begun then is dropped with the queue; the work
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

    explicit WorkerQueue(std::string name);
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
