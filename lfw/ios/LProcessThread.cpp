#include "lfw/ios/LProcessThread.h"

#include "lfw/ios/LEventQueue.h"
#include "platform/ui/LEventHub.h"
#include "platform/ui/LModalLoop.h"
#include "platform/ui/LRunLoop.h"

#include <cstring>
#include <unistd.h>

namespace {

// The parent of a job waited for without a window: every wait turns the loop, and only the
// application's quitting stops the job.
class LoopTurningWait final : public LProcessInterface {
public:
    bool IsToStop() override { return fWait.Stopped(); }
    LProcessResult ProcessWait(unsigned int ms) override
    {
        return LEventQueueRunUntilStopConditionOrTimeout(Stop(), ms != LSIGNAL_WAIT_FOREVER, ms)
                == 1
            ? LProcessResultStopped
            : LProcessResultSuccess;
    }
    LProcessResult ProcessWaitSignal(LSignalObjectRef signal, unsigned int ms) override
    {
        return LProcessResult(LEventQueueRunUntilSignalOrStopConditionOrTimeout(
            signal, Stop(), ms != LSIGNAL_WAIT_FOREVER, ms));
    }
    LProcessResult ProcessWaitSignalObjectGroup(LSignalObjectGroup& group, unsigned int ms) override
    {
        return LProcessResult(LEventQueueRunUntilGroupSignalledOrStopConditionOrTimeout(
            group, Stop(), ms != LSIGNAL_WAIT_FOREVER, ms));
    }

private:
    LEventQueueStopCondition Stop()
    {
        return [this] { return fWait.Stopped(); };
    }
    LModalWait fWait;
};

// Copies at most size - 1 bytes, cut at a character boundary.
void _CopyCut(char* out, size_t size, const char* text)
{
    size_t n = strnlen(text, size - 1);
    while (n > 0 && text[n] != '\0' && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    memcpy(out, text, n);
    out[n] = '\0';
}

} // namespace

LProcessThreadInterface::LProcessThreadInterface(
    LProcessThread& thread, LQueuedNotifyDataHandler* handler)
    : LProcessInterfaceNested(thread)
    , fThread(thread)
    , fSender(handler)
{
}

void LProcessThreadInterface::SetError(const char* text)
{
    fThread.LThread::SetError(text);
    if (!text)
        text = "";
    fSender.PostNotify(kError, text, strlen(text) + 1);
}

void LProcessThreadInterface::SetStatus(const char* text, int level)
{
    fThread.LThread::SetStatus(text, level);
    StatusRecord record {};
    _CopyCut(record.text, sizeof record.text, text ? text : "");
    record.level = level;
    fSender.PostNotify(kStatus, &record, sizeof record);
}

void LProcessThreadInterface::SetProgress(double fraction)
{
    fThread.LThread::SetProgress(fraction);
    fSender.PostNotify(kProgress, &fraction, sizeof fraction);
}

void LProcessThreadInterface::SetProgressIndeterminateOn()
{
    fThread.LThread::SetProgressIndeterminateOn();
    fSender.PostNotify(kIndeterminateOn, nullptr, 0);
}

void LProcessThreadInterface::SetProgressIndeterminateOff()
{
    fThread.LThread::SetProgressIndeterminateOff();
    fSender.PostNotify(kIndeterminateOff, nullptr, 0);
}

LProcessThread::LProcessThread(LProcessInterface& parent, JobFunction function, void* job)
    : LThread("Jobb")
    , fParent(&parent)
    , fFunction(function)
    , fJob(job)
{
}

LProcessThread::~LProcessThread()
{
    DetachQueuedNotify();
    StopThreadSoon();
    if (GetStartedSignal().IsSignaled())
        GetFinishedSignal().WaitSignal(LSIGNAL_WAIT_FOREVER);
}

void LProcessThread::ThreadFunction()
{
    LProcessThreadInterface iface(*this, this);
    LProcessResult result = fFunction(iface, fJob);
    fResult = result;
    if (fPostsFinished)
        iface.PostFinished();
    iface.DetachSender();
    fDone.Signal();
}

LProcessResult LProcessThread::Run()
{
    fResult = LProcessResultError;
    LThread::Start(GetPriority(pthread_self()));
    if (!IsRunning() && !GetStartedSignal().IsSignaled()) {
        DetachQueuedNotify();
        fParent->SetError("Kunde inte starta en tråd för arbetet.");
        return LProcessResultError;
    }
    LProcessResult result;
    if (fParent->ProcessWaitSignalForever(fDone) != LProcessResultStopped) {
        // The job's last reports were posted before it signalled done: apply them (its error
        // text above all) before the handler is detached.
        LRunLoop::Flush();
        result = fResult;
    } else {
        StopThreadSoon();
        fParent->SetStatus(kStoppingText, 0);
        result = LProcessResultStopped;
        while (IsRunning()) {
            fParent->IsToStop(); // keeps the user interface turning
            usleep(10000);
        }
    }
    DetachQueuedNotify();
    fDone.Close();
    return result;
}

bool LProcessThread::Start(Finished finished)
{
    fResult = LProcessResultError;
    fPostsFinished = true;
    fFinished = std::move(finished);
    LThread::Start(GetPriority(pthread_self()));
    if (!IsRunning() && !GetStartedSignal().IsSignaled()) {
        fFinished = nullptr;
        fParent->SetError("Kunde inte starta en tråd för arbetet.");
        return false;
    }
    return true;
}

void LProcessThread::EvQueuedNotifyData(unsigned int code, const void* data, size_t length)
{
    if (code == LProcessThreadInterface::kFinished) {
        // The job has returned; finished may destroy this object, which waits the moment its
        // thread takes to end.
        Finished finished = std::move(fFinished);
        fFinished = nullptr;
        if (finished)
            finished(IsToStop() ? LProcessResultStopped : fResult);
        return;
    }
    if (IsToStop())
        return;
    switch (code) {
    case LProcessThreadInterface::kError: {
        // The text and its NUL; never read past what was posted.
        const char* text = static_cast<const char*>(data);
        if (text && length > 0 && text[length - 1] == '\0')
            fParent->SetError(text);
        break;
    }
    case LProcessThreadInterface::kStatus:
        if (data && length == sizeof(LProcessThreadInterface::StatusRecord)) {
            LProcessThreadInterface::StatusRecord record;
            memcpy(&record, data, sizeof record);
            record.text[sizeof record.text - 1] = '\0';
            fParent->SetStatus(record.text, record.level);
        }
        break;
    case LProcessThreadInterface::kProgress:
        if (data && length == sizeof(double)) {
            double fraction;
            memcpy(&fraction, data, sizeof fraction);
            fParent->SetProgress(fraction);
        }
        break;
    case LProcessThreadInterface::kIndeterminateOn:
        fParent->SetProgressIndeterminateOn();
        break;
    case LProcessThreadInterface::kIndeterminateOff:
        fParent->SetProgressIndeterminateOff();
        break;
    default:
        break; // unknown codes are dropped
    }
}

LProcessResult LProcessRunWhileLoopTurns(LProcessThread::JobFunction function, void* job)
{
    if (!LRunLoop::IsMainThread()) {
        LProcessInterfaceVoid quiet;
        return function(quiet, job);
    }
    LoopTurningWait parent;
    LEventHub::HoldInput();
    LProcessResult result;
    {
        LProcessThread thread(parent, function, job);
        result = thread.Run();
    }
    LEventHub::ReleaseInput();
    return result;
}
