#include "lfw/ios/LParallelJobs.h"

#include "lfw/ios/LProcessThread.h"
#include "lfw/ios/LThread.h"
#include "platform/system/System.h"
#include "platform/system/WorkerQueue.h"

#include <algorithm>
#include <chrono>
#include <sys/resource.h>
#include <system_error>
#include <unistd.h>

namespace {

constexpr const char* kNoErrorText = "Arbetet kunde inte slutföras.";

// The waits of a job look at the set's end this often.
constexpr unsigned int kSliceMs = 20;

thread_local LParallelJobs::Job* tCurrent = nullptr;

// Runs a job as the calling thread's current one.
LProcessResult RunAsCurrent(LParallelJobs::Job& job, const LParallelJobs::Work& work)
{
    LParallelJobs::Job* outer = tCurrent;
    tCurrent = &job;
    const LProcessResult result = work(job);
    tCurrent = outer;
    return result;
}

} // namespace

// ---- The job's interface -----------------------------------------------------------------------

LParallelJobs::Job::Job(LParallelJobs& owner, size_t index, Work work, double weight)
    : fOwner(owner)
    , fIndex(index)
    , fWork(std::move(work))
    , fWeight(weight)
{
}

bool LParallelJobs::Job::IsToStop()
{
    // A failure stops only the jobs after it: the ones before may still fail, and their failure
    // is the one told.
    return fOwner.fEnded.load() || fIndex > fOwner.fFailedAt.load();
}

LProcessResult LParallelJobs::Job::ProcessWait(unsigned int ms)
{
    std::unique_lock<std::mutex> lock(fOwner.fLock);
    auto ended = [this] { return IsToStop(); };
    if (ms == LSIGNAL_WAIT_FOREVER)
        fOwner.fChanged.wait(lock, ended);
    else
        fOwner.fChanged.wait_for(lock, std::chrono::milliseconds(ms), ended);
    return ended() ? LProcessResultStopped : LProcessResultSuccess;
}

LProcessResult LParallelJobs::Job::ProcessWaitSignal(LSignalObjectRef signal, unsigned int ms)
{
    for (unsigned int waited = 0;;) {
        if (IsToStop())
            return LProcessResultStopped;
        const unsigned int slice
            = ms == LSIGNAL_WAIT_FOREVER ? kSliceMs : std::min(kSliceMs, ms - waited);
        if (signal.WaitSignal(slice))
            return IsToStop() ? LProcessResultStopped : LProcessResultSignaled;
        waited += slice;
        if (ms != LSIGNAL_WAIT_FOREVER && waited >= ms)
            return LProcessResultTimeOut;
    }
}

LProcessResult LParallelJobs::Job::ProcessWaitSignalObjectGroup(
    LSignalObjectGroup& group, unsigned int ms)
{
    for (unsigned int waited = 0;;) {
        if (IsToStop())
            return LProcessResultStopped;
        const unsigned int slice
            = ms == LSIGNAL_WAIT_FOREVER ? kSliceMs : std::min(kSliceMs, ms - waited);
        if (!group.IsEmpty() && group.Wait(slice) >= 0)
            return IsToStop() ? LProcessResultStopped : LProcessResultSignaled;
        if (group.IsEmpty())
            usleep(slice * 1000);
        waited += slice;
        if (ms != LSIGNAL_WAIT_FOREVER && waited >= ms)
            return LProcessResultTimeOut;
    }
}

void LParallelJobs::Job::SetError(const char* text)
{
    std::lock_guard<std::mutex> lock(fOwner.fLock);
    if (fError.empty() && text)
        fError = text;
}

void LParallelJobs::Job::SetProgress(double fraction)
{
    fDone.store(std::clamp(fraction, 0.0, 1.0));
}

LParallelJobs::Job* LParallelJobs::Job::Current()
{
    return tCurrent;
}

bool LParallelJobs::TakeMemoryHere(uint64_t bytes)
{
    return !tCurrent || tCurrent->TakeMemory(bytes);
}

bool LParallelJobs::Job::TakeMemory(uint64_t bytes)
{
    std::unique_lock<std::mutex> lock(fOwner.fLock);
    for (;;) {
        if (IsToStop())
            return false;
        bool first = false;
        const uint64_t others = fOwner.HeldByOthersLocked(this, first);
        if (first)
            break;
        const uint64_t free = fOwner.fFree();
        const uint64_t wanted = others + fMemory + bytes;
        if (wanted >= others && wanted <= free / 2)
            break;
        // Memory comes back when a job ends; what the system frees besides is looked at now and
        // then.
        fOwner.fChanged.wait_for(lock, std::chrono::milliseconds(100));
    }
    fMemory += bytes;
    return true;
}

// ---- The set -----------------------------------------------------------------------------------

LParallelJobs::LParallelJobs(const char* name, int threads, FreeMemory free)
    : fThreadCount(threads > 0 ? threads : platform::system::ProcessorCount())
    , fName(name ? name : "")
    , fFree(free ? std::move(free) : FreeMemory(&platform::system::FreeMemory))
{
}

LParallelJobs::~LParallelJobs()
{
    Stop();
}

void LParallelJobs::Add(Work work, double weight)
{
    std::lock_guard<std::mutex> lock(fLock);
    // After a failure every job added comes after the one that failed: it is dropped unrun.
    if (fEnded.load() || fClosed || fFailedAt.load() != kNone)
        return;
    fJobs.push_back(std::unique_ptr<Job>(new Job(*this, fJobs.size(), std::move(work), weight)));
    fWaiting.push_back(fJobs.back().get());
    fTotalWeight += weight;
    // Each waiting job wants a worker: an idle one, else a new one while there may be more.
    if (fWaiting.size() > size_t(fIdle) && int(fWorkers.size()) < fThreadCount)
        StartWorkerLocked();
    fChanged.notify_all();
}

bool LParallelJobs::Ended() const
{
    return fEnded.load() || fFailedAt.load() != kNone;
}

int LParallelJobs::GetMostRunning() const
{
    std::lock_guard<std::mutex> lock(fLock);
    return fMostRunning;
}

void LParallelJobs::StartWorkerLocked()
{
    try {
        fWorkers.emplace_back([this] { WorkerMain(); });
    } catch (const std::system_error&) {
        // The workers there are do the work; with none, Finish does it.
    }
}

void LParallelJobs::WorkerMain()
{
    LThreadSetName(fName.c_str());
    // Below the window's thread, as the other workers run: with every processor reading
    // pictures, the windows still answer at once. (It fails, harmlessly, where the owner runs
    // nicer still.)
    setpriority(PRIO_PROCESS, 0, platform::system::WorkerQueue::kNiceness);
    std::unique_lock<std::mutex> lock(fLock);
    for (;;) {
        if (fEnded.load())
            break;
        if (!fWaiting.empty()) {
            Job* job = TakeWaitingLocked();
            Work work = std::move(job->fWork);
            lock.unlock();
            const LProcessResult result = RunAsCurrent(*job, work);
            // What the work holds goes here, not under the lock.
            work = nullptr;
            lock.lock();
            JobEndedLocked(*job, result);
            continue;
        }
        if (fClosed)
            break;
        ++fIdle;
        fChanged.wait(lock);
        --fIdle;
    }
    lock.unlock();
    LThreadClearName();
}

LParallelJobs::Job* LParallelJobs::TakeWaitingLocked()
{
    Job* job = fWaiting.front();
    fWaiting.pop_front();
    job->fStarted = true;
    ++fRunning;
    fMostRunning = std::max(fMostRunning, fRunning);
    return job;
}

void LParallelJobs::JobEndedLocked(Job& job, LProcessResult result)
{
    job.fResult = result;
    job.fFinished = true;
    job.fMemory = 0;
    job.fDone.store(1.0);
    --fRunning;
    ++fFinishedCount;
    if (result == LProcessResultError)
        FailLocked(job.fIndex);
    else if (result != LProcessResultSuccess && job.fIndex < fFailedAt.load())
        EndLocked();
    fChanged.notify_all();
    fJobEnded.Signal();
}

void LParallelJobs::FailLocked(size_t index)
{
    if (index >= fFailedAt.load())
        return;
    fFailedAt.store(index);
    std::erase_if(fWaiting, [index](const Job* job) { return job->fIndex > index; });
    fChanged.notify_all();
}

void LParallelJobs::EndLocked()
{
    fEnded.store(true);
    fWaiting.clear();
    fChanged.notify_all();
}

uint64_t LParallelJobs::HeldByOthersLocked(const Job* job, bool& first) const
{
    uint64_t held = 0;
    first = true;
    for (const auto& other : fJobs) {
        if (other.get() == job || !other->fStarted || other->fFinished)
            continue;
        held += other->fMemory;
        if (other->fIndex < job->fIndex)
            first = false;
    }
    return held;
}

double LParallelJobs::Progress()
{
    std::lock_guard<std::mutex> lock(fLock);
    if (fTotalWeight <= 0)
        return 0;
    double done = 0;
    for (const auto& job : fJobs)
        done += job->fWeight * job->fDone.load();
    return std::clamp(done / fTotalWeight, 0.0, 1.0);
}

void LParallelJobs::JoinWorkers()
{
    std::vector<std::thread> workers;
    {
        std::lock_guard<std::mutex> lock(fLock);
        workers.swap(fWorkers);
    }
    for (std::thread& worker : workers)
        worker.join();
}

void LParallelJobs::Stop()
{
    {
        std::lock_guard<std::mutex> lock(fLock);
        fClosed = true;
        if (!fWaiting.empty() || fRunning > 0)
            EndLocked();
        fChanged.notify_all();
    }
    JoinWorkers();
}

LProcessResult LParallelJobs::Finish(LProcessInterface& parent)
{
    {
        std::lock_guard<std::mutex> lock(fLock);
        fClosed = true;
        fChanged.notify_all();
    }
    bool stopped = false;
    for (;;) {
        Job* here = nullptr;
        {
            std::lock_guard<std::mutex> lock(fLock);
            if (fWaiting.empty() && fRunning == 0)
                break;
            // No worker could be started: the jobs run here, one after the other.
            if (fWorkers.empty() && !fWaiting.empty())
                here = TakeWaitingLocked();
        }
        if (here) {
            const LProcessResult result = RunAsCurrent(*here, here->fWork);
            here->fWork = nullptr;
            std::lock_guard<std::mutex> lock(fLock);
            JobEndedLocked(*here, result);
            continue;
        }
        parent.SetProgress(Progress());
        if (parent.IsToStop() || parent.ProcessWaitSignal(fJobEnded, 50) == LProcessResultStopped) {
            stopped = true;
            break;
        }
        fJobEnded.Reset();
    }
    if (stopped) {
        {
            std::lock_guard<std::mutex> lock(fLock);
            EndLocked();
        }
        parent.SetStatus(LProcessThread::kStoppingText, 0);
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(fLock);
                if (fRunning == 0)
                    break;
            }
            parent.IsToStop(); // keeps the user interface turning
            usleep(10000);
        }
    }
    JoinWorkers();
    if (stopped)
        return LProcessResultStopped;
    bool anyStopped = false;
    for (const auto& job : fJobs) {
        if (job->fStarted && job->fResult == LProcessResultError) {
            parent.SetError(job->fError.empty() ? kNoErrorText : job->fError.c_str());
            return LProcessResultError;
        }
        anyStopped = anyStopped || (job->fStarted && job->fResult == LProcessResultStopped);
    }
    if (anyStopped || fFinishedCount < fJobs.size())
        return LProcessResultStopped;
    parent.SetProgress(1.0);
    return LProcessResultSuccess;
}
