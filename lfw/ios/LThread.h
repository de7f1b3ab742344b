// Worker threads.
//
// An LThread is itself a job interface: the thread's own code asks IsToStop() and waits through
// ProcessWait*, and every wait also wakes at once on a stop request (StopThreadSoon), because
// all of them poll the stop signal's pipe together with what they wait for.
//
// Detached threads delete themselves when their function returns; their owner keeps a list of
// the live ones so that it can stop them all (and, with StopThreadsNow, wait for and delete
// them).
//
// Thread names: every thread may give itself a name (the main thread is "MAIN"); the names are
// kept in a small table, readable without locks, for crash and hang reports.
#pragma once

#include "lfw/gen/LLockObject.h"
#include "lfw/gen/LProcess.h"
#include "lfw/gen/LSignalObject.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <pthread.h>
#include <sys/types.h>

class LThread : public LProcessInterface {
public:
    // Stands for the most urgent scheduling the system allows (real-time round robin here).
    static constexpr int kPriorityTimeConstraint = 91;

    LThread();
    // name: given to the thread while it runs (pthread name, at most 15 bytes, and the table
    // of thread names).
    explicit LThread(const char* name);
    // Requests a stop and, when the thread was started, waits for its function to return.
    ~LThread() override;
    LThread(const LThread&) = delete;
    LThread& operator=(const LThread&) = delete;

    // Starts ThreadFunction on a new thread. Does nothing while the thread runs; after a run
    // has ended it starts a new one with cleared signals. When the thread cannot be created the
    // object stays not running.
    void Start(int priority);
    // Asks the thread to stop; returns at once.
    void StopThreadSoon();

    bool IsToStop() override;
    // 1 when a stop was requested (at once), 0 when the time passed.
    LProcessResult ProcessWait(unsigned int ms) override;
    // 2 on time-out; else 1 when a stop was requested (a stop wins), else 0.
    LProcessResult ProcessWaitSignal(LSignalObjectRef signal, unsigned int ms) override;
    // As ProcessWaitSignal over every entry of the group. The stop signal is polled beside the
    // group, which is left as it was (an empty group waits for a stop or the time-out; a full
    // group is waited on whole). The entries' returned events are filled in.
    LProcessResult ProcessWaitSignalObjectGroup(
        LSignalObjectGroup& group, unsigned int ms) override;

    // kPriorityTimeConstraint asks for real-time round-robin scheduling (and falls back to the
    // plain priority when the system refuses); any other value is a plain SCHED_OTHER priority.
    void SetPriority(int priority);
    // kPriorityTimeConstraint for a real-time thread, else its scheduling priority; 20 when the
    // thread cannot be asked.
    static int GetPriority(pthread_t thread);

    bool IsRunning() const { return fRunning.load(); }
    // The kernel thread id while the thread runs; -1 otherwise.
    pid_t GetKernelThreadId() const { return fKernelId.load(); }
    int GetStartPriority() const { return fPriority; }

    LSignalObjectRef GetStopSignal() const { return fStop.GetRef(); }
    LSignalObjectRef GetStartedSignal() const { return fStarted.GetRef(); }
    LSignalObjectRef GetFinishedSignal() const { return fFinished.GetRef(); }

protected:
    // The body of the thread.
    virtual void ThreadFunction() = 0;

    // Steps of the thread entry, shared with detached threads.
    void _EnterThread();
    void _LeaveThread();
    void _ResetSignals();
    void _ApplyStartPriority();

    pthread_t fHandle {};
    std::atomic<bool> fHasHandle { false };
    std::atomic<pid_t> fKernelId { -1 };
    int fPriority = 0;
    std::atomic<bool> fRunning { false };
    LSignalObject fStop;
    LSignalObject fFinished;
    LSignalObject fStarted;
    LLockObject fLock;
    char fName[16] = {};

private:
    static void* _ThreadCallback(void* self);
};

class LDetachedThreadsOwner;

// A thread that deletes itself when its function has returned. Create it with new, link it to
// its owner (LDetachedThreadsOwner::Link) and call StartDetached.
class LDetachedThread : public LThread {
public:
    LDetachedThread() = default;
    explicit LDetachedThread(const char* name)
        : LThread(name)
    {
    }

    // 0 when the thread runs; else the error of pthread_create, and the thread stays in the
    // owner's list, not running, for the creator to remove with Destruct.
    int StartDetached(LDetachedThreadsOwner& owner, int priority);

private:
    friend class LDetachedThreadsOwner;
    static void* _DetachedCallback(void* self);

    LDetachedThread* fNext = nullptr;
    LDetachedThreadsOwner* fOwner = nullptr;
};

class LDetachedThreadsOwner {
public:
    LDetachedThreadsOwner() = default;
    // Stops the threads that are left and waits for them.
    ~LDetachedThreadsOwner();
    LDetachedThreadsOwner(const LDetachedThreadsOwner&) = delete;
    LDetachedThreadsOwner& operator=(const LDetachedThreadsOwner&) = delete;

    // Links a new thread at the head of the list (before StartDetached).
    void Link(LDetachedThread* thread);
    // Asks every thread in the list to stop; does not wait.
    void StopThreadsSoon();
    // Asks every thread to stop, then takes them off the list one by one, waits for each one
    // that was started to finish, and deletes it; also waits for threads that had already
    // taken themselves off the list to delete themselves.
    void StopThreadsNow();
    // Unlinks and deletes the thread when it is in the list; otherwise does nothing.
    void Destruct(LDetachedThread* thread);
    // Number of threads in the list.
    size_t GetCount();

private:
    friend class LDetachedThread;
    // Unlinks the thread when it is in the list; true when it was. ending: the thread is ending
    // and will delete itself; it is counted until _EndingDone.
    bool _Unlink(LDetachedThread* thread, bool ending = false);
    void _EndingDone();

    std::mutex fMutex;
    std::condition_variable fEnded;
    LDetachedThread* fFirst = nullptr;
    size_t fEnding = 0;
};

// Thread names for diagnostics.

// Names the calling thread (truncated to 31 bytes in the table, 15 for the system's name).
void LThreadSetName(const char* name);
// Forgets the calling thread's name.
void LThreadClearName();
// The name of the thread with this kernel id; false (and out empty) when it has none.
bool LThreadGetName(pid_t kernelId, char* out, size_t outSize);
// The kernel id of the calling thread.
pid_t LThreadGetKernelId();
// The kernel id of the main thread (recorded at start-up, or with LThreadSetMainThread).
pid_t LThreadGetMainKernelId();
// Records the calling thread as the main thread and names it "MAIN".
void LThreadSetMainThread();
bool LThreadIsMainThread();

// Entry index of the name table, for crash handlers: reads without locks or allocation.
// Returns false when entry index is unused (or past the end).
bool LThreadNameTableEntry(size_t index, pid_t* kernelId, char* name, size_t nameSize);
inline constexpr size_t kLThreadNameTableSize = 128;
