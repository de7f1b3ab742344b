// The job framework.
//
// Every long operation is a job: a plain structure X holding inputs and outputs, and a free
// function `LProcessResult Process(LProcessInterface&, X&)` that does the work. The job never
// knows who runs it: it asks the interface whether it must stop, waits through it, and reports
// errors, status lines and progress through it. The same job runs under a progress dialog,
// silently (LProcessInterfaceVoid), as one step of a larger job (LProcessInterfaceSubProcess,
// LProcessInterfaceQueueItem) or on a worker thread.
#pragma once

#include "lfw/gen/LSignalObject.h"

#include <cstdint>

// The result of every job and of every wait.
//   job:  0 success, 1 stopped at the user's or owner's request, 2 error (the error text was
//         handed to SetError before 2 is returned)
//   wait: 0 the awaited signal came (or, for a plain timed wait, the time passed), 1 a stop was
//         requested, 2 the time-out passed (or an empty signal group)
enum LProcessResult : int32_t {
    LProcessResultSuccess = 0,
    LProcessResultStopped = 1,
    LProcessResultError = 2,
    LProcessResultSignaled = 0,
    LProcessResultTimeOut = 2,
};

class LProcessInterface {
public:
    virtual ~LProcessInterface() = default;

    // Control operations.
    virtual bool IsToStop() = 0;
    virtual LProcessResult ProcessWait(unsigned int ms) = 0;
    virtual LProcessResult ProcessWaitSignal(LSignalObjectRef signal, unsigned int ms) = 0;
    virtual LProcessResult ProcessWaitSignalObjectGroup(LSignalObjectGroup& group, unsigned int ms)
        = 0;
    virtual LProcessResult ProcessWaitUntilStopped() { return ProcessWait(LSIGNAL_WAIT_FOREVER); }
    virtual LProcessResult ProcessWaitSignalForever(LSignalObjectRef signal)
    {
        return ProcessWaitSignal(signal, LSIGNAL_WAIT_FOREVER);
    }
    virtual LProcessResult ProcessWaitSignalObjectGroupForever(LSignalObjectGroup& group)
    {
        return ProcessWaitSignalObjectGroup(group, LSIGNAL_WAIT_FOREVER);
    }

    // Reporting operations. Texts are UTF-8; level is the nesting depth of the reporting step
    // (0 for the top job). Progress is a fraction from 0 to 1.
    virtual void SetError(const char* text) { (void)text; }
    virtual void SetStatus(const char* text, int level)
    {
        (void)text;
        (void)level;
    }
    virtual void SetProgress(double fraction) { (void)fraction; }
    virtual void SetProgressIndeterminateOn() { }
    virtual void SetProgressIndeterminateOff() { }

    // printf-style forms of SetError and SetStatus: the text is formatted into an 8192-byte
    // buffer (longer text is cut) and handed to the virtual operation.
    void SetErrorF(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void SetStatusF(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));

    static constexpr unsigned int kFormatBufferSize = 8192;
};

// Never asks to stop and reports nothing; waits really wait.
class LProcessInterfaceVoid : public LProcessInterface {
public:
    bool IsToStop() override { return false; }
    // Sleeps the full time (resuming after interrupting signals); 0.
    LProcessResult ProcessWait(unsigned int ms) override;
    // 0 when the signal's read end became readable within ms, else 2.
    LProcessResult ProcessWaitSignal(LSignalObjectRef signal, unsigned int ms) override;
    // 2 at once for an empty group; else 0 when any entry became readable within ms, else 2.
    LProcessResult ProcessWaitSignalObjectGroup(
        LSignalObjectGroup& group, unsigned int ms) override;
};

// Forwards the control operations and SetError to a parent interface.
class LProcessInterfaceNested : public LProcessInterface {
public:
    explicit LProcessInterfaceNested(LProcessInterface& parent)
        : m_parent(&parent)
    {
    }

    bool IsToStop() override { return m_parent->IsToStop(); }
    LProcessResult ProcessWait(unsigned int ms) override { return m_parent->ProcessWait(ms); }
    LProcessResult ProcessWaitSignal(LSignalObjectRef signal, unsigned int ms) override
    {
        return m_parent->ProcessWaitSignal(signal, ms);
    }
    LProcessResult ProcessWaitSignalObjectGroup(LSignalObjectGroup& group, unsigned int ms) override
    {
        return m_parent->ProcessWaitSignalObjectGroup(group, ms);
    }
    LProcessResult ProcessWaitUntilStopped() override
    {
        return m_parent->ProcessWaitUntilStopped();
    }
    LProcessResult ProcessWaitSignalForever(LSignalObjectRef signal) override
    {
        return m_parent->ProcessWaitSignalForever(signal);
    }
    LProcessResult ProcessWaitSignalObjectGroupForever(LSignalObjectGroup& group) override
    {
        return m_parent->ProcessWaitSignalObjectGroupForever(group);
    }
    void SetError(const char* text) override { m_parent->SetError(text); }

    LProcessInterface& GetParent() const { return *m_parent; }

protected:
    LProcessInterface* m_parent;
};

// One step of a larger job: its progress 0..1 fills [offset, offset + scale] of the parent's,
// and its status lines appear one level deeper. Indeterminate mode is the parent's business.
class LProcessInterfaceSubProcess : public LProcessInterfaceNested {
public:
    LProcessInterfaceSubProcess(LProcessInterface& parent, double offset, double scale)
        : LProcessInterfaceNested(parent)
        , m_offset(offset)
        , m_scale(scale)
    {
    }

    void SetStatus(const char* text, int level) override { m_parent->SetStatus(text, level + 1); }
    void SetProgress(double fraction) override
    {
        m_parent->SetProgress(fraction * m_scale + m_offset);
    }
    void SetProgressIndeterminateOn() override { }
    void SetProgressIndeterminateOff() override { }

    double GetOffset() const { return m_offset; }
    double GetScale() const { return m_scale; }

protected:
    double m_offset;
    double m_scale;
};

// One item of a queue of like items: progress mapped as for a sub-process, status level kept.
class LProcessInterfaceQueueItem : public LProcessInterfaceSubProcess {
public:
    LProcessInterfaceQueueItem(LProcessInterface& parent, double offset, double scale)
        : LProcessInterfaceSubProcess(parent, offset, scale)
    {
    }

    void SetStatus(const char* text, int level) override { m_parent->SetStatus(text, level); }
};

// Asks an interface whether to stop at most every few milliseconds, for loops of many short
// steps (the elements of a document): under a progress window each question turns the window's
// event loop, which would cost more than the steps themselves. The first question is asked at
// once; a stop, once answered, stays.
class LProcessStopPacing {
public:
    static constexpr unsigned int kIntervalMs = 5;

    // pi may be null (never a stop).
    explicit LProcessStopPacing(LProcessInterface* pi)
        : m_pi(pi)
    {
    }
    // True when the interface, asked now if kIntervalMs have passed since it was last asked,
    // said stop.
    bool IsToStop();

private:
    LProcessInterface* m_pi;
    long long m_nextUs = 0; // when to ask next (monotonic clock)
    bool m_stopped = false;
};
