// Jobs run side by side on worker threads: as many at once as the processors the process may use
// (or a number given), and as the memory they say they need allows. The workers run below the
// owner's priority (nicer), so that the windows go on answering while every processor works.
//
// Jobs are added in order from one thread (the owner's) and start at once when a worker is free:
// the owner may go on with other work meanwhile, then waits for them all with Finish, through its
// own job interface (under a progress window the windows go on answering), which is told the
// progress of all of them together and whose stop request stops them.
//
// A job runs under a Job interface of its own: its stop question answers the whole set's stop,
// its progress counts by the weight it was added with, its error text is kept, and TakeMemory
// holds the job until the memory it is about to take fits: the bytes held by the jobs under way
// together stay within half the memory free at the time (platform::system::FreeMemory), except
// that the job added first of those under way is never held, so one always goes on (what it
// takes may pass the bound). What a job took is given back to the count when it ends (the bytes
// themselves stay with whoever keeps them, and the next count of free memory sees them).
//
// A job that fails ends the jobs added after it: those not begun are dropped, those under way are
// asked to stop; the jobs before it go on, so that Finish reports the failure of the first job in
// adding order that fails, whichever fails first in time, once every worker has let go. A job
// that stops, or a stop of the whole set, ends them all. The owner must call Finish or Stop (the
// destructor stops) before what the jobs use goes.
//
// Code that takes much memory need not know whether it runs as such a job: TakeMemoryHere asks
// the job of the calling thread, if any (the picture readers ask it before they store pixels).
#pragma once

#include "lfw/gen/LProcess.h"
#include "lfw/gen/LSignalObject.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class LParallelJobs {
public:
    class Job;
    using Work = std::function<LProcessResult(Job& job)>;
    // The bytes that can still be allocated.
    using FreeMemory = std::function<uint64_t()>;

    // threads: the most jobs at once (0: one per processor the process may use); name: the
    // workers' thread name; free: the count of free memory (platform::system::FreeMemory when
    // empty).
    explicit LParallelJobs(const char* name, int threads = 0, FreeMemory free = {});
    // Stops what runs and waits for the workers.
    ~LParallelJobs();
    LParallelJobs(const LParallelJobs&) = delete;
    LParallelJobs& operator=(const LParallelJobs&) = delete;

    // Adds a job; weight is its share of the progress (the bytes it reads, say). A job added
    // after a failure or a stop is dropped unrun.
    void Add(Work work, double weight = 1);
    // True once a job failed or stopped, or Stop was called: adding more is of no use.
    bool Ended() const;
    // Waits until every job has run, turning through parent's waits and answering its stop
    // request; the progress goes to parent. 0 when every job succeeded; 1 when parent asked to
    // stop or a job stopped; 2 with parent's error set to the failed job's text. No job may be
    // added after.
    LProcessResult Finish(LProcessInterface& parent);
    // Ends the jobs without waiting through an interface: the ones not begun are dropped, the
    // ones under way asked to stop and waited for.
    void Stop();

    // On a thread running a job: the job's TakeMemory. Elsewhere true at once.
    static bool TakeMemoryHere(uint64_t bytes);

    // The most jobs at once.
    int GetThreadCount() const { return fThreadCount; }
    // The most jobs that ran at once so far.
    int GetMostRunning() const;

    // The interface a job runs under (on its worker thread).
    class Job : public LProcessInterface {
    public:
        bool IsToStop() override;
        LProcessResult ProcessWait(unsigned int ms) override;
        LProcessResult ProcessWaitSignal(LSignalObjectRef signal, unsigned int ms) override;
        LProcessResult ProcessWaitSignalObjectGroup(
            LSignalObjectGroup& group, unsigned int ms) override;
        void SetError(const char* text) override;
        void SetProgress(double fraction) override;

        // Waits until bytes more fit beside the memory held by the other jobs under way (see
        // above) and counts them as this job's; false, counting nothing, when the job is to stop.
        bool TakeMemory(uint64_t bytes);
        // The job the calling thread runs; null on other threads.
        static Job* Current();

    private:
        friend class LParallelJobs;
        Job(LParallelJobs& owner, size_t index, Work work, double weight);

        LParallelJobs& fOwner;
        size_t fIndex;
        Work fWork;
        double fWeight;
        std::atomic<double> fDone { 0 };
        uint64_t fMemory = 0; // held; under the owner's lock
        std::string fError; // under the owner's lock
        LProcessResult fResult = LProcessResultSuccess;
        bool fStarted = false; // under the owner's lock
        bool fFinished = false; // under the owner's lock
    };

private:
    void StartWorkerLocked();
    void WorkerMain();
    // The next job waiting, now under way.
    Job* TakeWaitingLocked();
    // Records the job's end, ends the others after a failure and wakes whoever waits.
    void JobEndedLocked(Job& job, LProcessResult result);
    // A failure of the job at index: the jobs after it end.
    void FailLocked(size_t index);
    void EndLocked();
    void JoinWorkers();
    double Progress();
    // The memory held by the jobs under way other than job; whether job is the first of them.
    uint64_t HeldByOthersLocked(const Job* job, bool& first) const;

    const int fThreadCount;
    const std::string fName;
    FreeMemory fFree;
    mutable std::mutex fLock;
    std::condition_variable fChanged; // a job ended, memory was given back, or the set ended
    LSignalObject fJobEnded; // for the owner's wait
    std::vector<std::unique_ptr<Job>> fJobs; // in adding order
    std::deque<Job*> fWaiting;
    std::vector<std::thread> fWorkers;
    int fIdle = 0;
    int fRunning = 0;
    int fMostRunning = 0;
    size_t fFinishedCount = 0;
    double fTotalWeight = 0;
    bool fClosed = false; // no more jobs come
    static constexpr size_t kNone = SIZE_MAX;
    std::atomic<size_t> fFailedAt { kNone }; // the first job in adding order that failed
    std::atomic<bool> fEnded { false }; // stopped or asked to stop
};
