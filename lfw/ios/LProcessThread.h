// Running a job on a worker thread.
//
// Process(parent, LProcessThreadData<T>) starts an LProcessThread that runs Process(iface, job)
// on a new thread and waits for it through the parent's own ProcessWaitSignalForever: under a
// progress dialog that wait keeps the main loop turning, so the job's reports, posted as queued
// notifications, are applied to the parent on the main thread while the job runs. When the
// parent asks to stop, the job is told to stop, the status reads "Väntar på att processen ska
// stoppas" until its thread has ended, reports made after the request are dropped, and the
// result is 1.
//
// Start(finished) runs the job the same way without waiting for it: the reports reach the parent
// as they come while the main loop goes on, and finished(result) is called on the main thread
// once the job has returned and its last reports have been applied. The parent's stop is not
// asked for then: whoever stops the job calls StopThreadSoon, and finished gets 1.
#pragma once

#include "lfw/gen/LProcess.h"
#include "lfw/ios/LQueuedNotify.h"
#include "lfw/ios/LThread.h"

#include <functional>

class LProcessThread;

// The interface a worker job runs under: control operations go to the thread (its stop signal
// and waits), reports are posted to the main thread.
class LProcessThreadInterface : public LProcessInterfaceNested {
public:
    // Codes of the posted reports, and of the end of a job that is not waited for.
    enum {
        kError = 0,
        kStatus = 1,
        kProgress = 2,
        kIndeterminateOn = 3,
        kIndeterminateOff = 4,
        kFinished = 5
    };
    // The status record: the text cut to 259 bytes and NUL-terminated, then the level.
    struct StatusRecord {
        char text[260];
        int32_t level;
    };
    static_assert(sizeof(StatusRecord) == 264);

    LProcessThreadInterface(LProcessThread& thread, LQueuedNotifyDataHandler* handler);

    void SetError(const char* text) override;
    void SetStatus(const char* text, int level) override;
    void SetProgress(double fraction) override;
    void SetProgressIndeterminateOn() override;
    void SetProgressIndeterminateOff() override;

    // No report is posted after this.
    void DetachSender() { fSender.SetHandler(nullptr); }
    // Posts the end of the job (after its last report).
    void PostFinished() { fSender.PostNotify(kFinished, nullptr, 0); }

private:
    LProcessThread& fThread;
    LQueuedNotifyDataSender fSender;
};

class LProcessThread : public LThread, public LQueuedNotifyDataHandler {
public:
    using JobFunction = LProcessResult (*)(LProcessInterface& iface, void* job);

    LProcessThread(LProcessInterface& parent, JobFunction function, void* job);
    ~LProcessThread() override;

    // Runs the job on a worker thread and waits for it through the parent (steps above).
    LProcessResult Run();
    // Main thread: runs the job on a worker thread and returns at once (steps above); false,
    // with the parent's error set, when no thread could be started. finished may destroy this
    // object; destroying it before finished came stops the job and waits for its thread.
    using Finished = std::function<void(LProcessResult result)>;
    bool Start(Finished finished);
    using LThread::Start;
    // True from Start until finished has been called.
    bool IsStarted() const { return bool(fFinished); }

    LProcessResult GetResult() const { return fResult; }

    static constexpr const char* kStoppingText = "Väntar på att processen ska stoppas";

protected:
    void ThreadFunction() override;
    // Applies a report on the main thread; dropped once a stop has been requested.
    void EvQueuedNotifyData(unsigned int code, const void* data, size_t length) override;

private:
    LProcessInterface* fParent;
    JobFunction fFunction;
    void* fJob;
    LSignalObject fDone;
    LProcessResult fResult = LProcessResultError;
    Finished fFinished; // set while a job started by Start runs
    bool fPostsFinished = false;
};

// Wraps a job T to be run on a worker thread by Process below.
template <class T> class LProcessThreadData {
public:
    explicit LProcessThreadData(T& job)
        : fJob(job)
    {
    }
    T& GetJob() const { return fJob; }

private:
    T& fJob;
};

// Runs Process(iface, job) on a worker thread while the main thread waits for it with its loop
// turning: the windows are drawn and answer, the user's input is held until the job has ended
// (then it comes in order), and requests of other programs wait as for a modal window. For work
// that must not hold the window and is too short for a progress window (a pasted picture to
// decode). The job's reports go nowhere; it is stopped only when the application quits. On
// another thread than the main one the job runs at once.
LProcessResult LProcessRunWhileLoopTurns(LProcessThread::JobFunction function, void* job);
template <class T> LProcessResult LProcessRunWhileLoopTurns(T& job)
{
    return LProcessRunWhileLoopTurns(
        [](LProcessInterface& iface, void* data) -> LProcessResult {
            return Process(iface, *static_cast<T*>(data));
        },
        &job);
}

template <class T> LProcessResult Process(LProcessInterface& parent, LProcessThreadData<T>& data)
{
    LProcessThread thread(
        parent,
        [](LProcessInterface& iface, void* job) -> LProcessResult {
            return Process(iface, *static_cast<T*>(job));
        },
        &data.GetJob());
    return thread.Run();
}
