#include "lfw/ios/LThread.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sched.h>
#include <unistd.h>

// ---------------------------------------------------------------------------------------------
// Thread names

namespace {

struct NameEntry {
    std::atomic<pid_t> kernelId { 0 };
    char name[32];
};

NameEntry gNames[kLThreadNameTableSize];
pid_t gMainKernelId = gettid();

LLockObject& _NamesLock()
{
    static LLockObject* lock = new LLockObject; // used until the very end: never destroyed
    return *lock;
}

void _CopyName(char* out, size_t outSize, const char* name)
{
    if (outSize == 0)
        return;
    size_t n = name ? strnlen(name, outSize - 1) : 0;
    // When cut, cut at a character boundary: never leave half a UTF-8 sequence.
    while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80)
        --n;
    if (n)
        memcpy(out, name, n);
    out[n] = '\0';
}

} // namespace

pid_t LThreadGetKernelId()
{
    return gettid();
}

pid_t LThreadGetMainKernelId()
{
    return gMainKernelId;
}

bool LThreadIsMainThread()
{
    return gettid() == gMainKernelId;
}

void LThreadSetMainThread()
{
    gMainKernelId = gettid();
    LThreadSetName("MAIN");
}

void LThreadSetName(const char* name)
{
    const pid_t self = gettid();
    char systemName[16];
    _CopyName(systemName, sizeof systemName, name);
    pthread_setname_np(pthread_self(), systemName);

    LLockObjectLocker locker(_NamesLock());
    NameEntry* slot = nullptr;
    for (auto& entry : gNames) {
        pid_t id = entry.kernelId.load(std::memory_order_relaxed);
        if (id == self) {
            slot = &entry;
            break;
        }
        if (id == 0 && !slot)
            slot = &entry;
    }
    if (!slot)
        return; // table full: the thread stays unnamed in reports
    slot->kernelId.store(0, std::memory_order_release);
    _CopyName(slot->name, sizeof slot->name, name);
    slot->kernelId.store(self, std::memory_order_release);
}

void LThreadClearName()
{
    const pid_t self = gettid();
    LLockObjectLocker locker(_NamesLock());
    for (auto& entry : gNames)
        if (entry.kernelId.load(std::memory_order_relaxed) == self)
            entry.kernelId.store(0, std::memory_order_release);
}

bool LThreadGetName(pid_t kernelId, char* out, size_t outSize)
{
    if (outSize)
        out[0] = '\0';
    if (kernelId <= 0)
        return false;
    LLockObjectLocker locker(_NamesLock());
    for (auto& entry : gNames) {
        if (entry.kernelId.load(std::memory_order_acquire) == kernelId) {
            _CopyName(out, outSize, entry.name);
            return true;
        }
    }
    return false;
}

bool LThreadNameTableEntry(size_t index, pid_t* kernelId, char* name, size_t nameSize)
{
    if (index >= kLThreadNameTableSize)
        return false;
    pid_t id = gNames[index].kernelId.load(std::memory_order_acquire);
    if (id == 0)
        return false;
    if (kernelId)
        *kernelId = id;
    if (name && nameSize) {
        size_t n = 0;
        while (n + 1 < nameSize && n < sizeof gNames[index].name && gNames[index].name[n])
            name[n] = gNames[index].name[n], ++n;
        name[n] = '\0';
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// LThread

LThread::LThread() = default;

LThread::LThread(const char* name)
{
    _CopyName(fName, sizeof fName, name);
}

LThread::~LThread()
{
    fStop.Signal();
    if (fStarted.IsSignaled())
        fFinished.WaitSignal(LSIGNAL_WAIT_FOREVER);
}

void LThread::_ResetSignals()
{
    fStop.Reset();
    fStarted.Reset();
    fFinished.Reset();
}

void LThread::_ApplyStartPriority()
{
    // A priority that was not asked for (the caller's own) needs no call.
    if (!fFinished.IsSignaled())
        SetPriority(fPriority);
}

void LThread::Start(int priority)
{
    LLockObjectLocker locker(fLock);
    if (fRunning.load())
        return; // a running thread is not started twice
    // The previous run clears its running flag just before it signals finished: let it finish,
    // so that its finished signal cannot be mistaken for the new run's.
    if (fStarted.IsSignaled())
        fFinished.WaitSignal(LSIGNAL_WAIT_FOREVER);
    fHasHandle.store(false);
    fKernelId.store(-1);
    _ResetSignals();
    fPriority = priority;
    fRunning.store(true);
    pthread_t handle;
    if (pthread_create(&handle, nullptr, _ThreadCallback, this) != 0) {
        fRunning.store(false); // no thread: not running
        return;
    }
    fHandle = handle;
    fHasHandle.store(true);
    if (ProcessWaitSignalForever(fStarted) == LProcessResultSignaled)
        _ApplyStartPriority();
}

void LThread::_EnterThread()
{
    fKernelId.store(gettid());
    if (fName[0])
        LThreadSetName(fName);
    fStarted.Signal();
}

void LThread::_LeaveThread()
{
    if (fName[0])
        LThreadClearName();
    pthread_detach(pthread_self());
    fHasHandle.store(false);
    fKernelId.store(-1);
    fRunning.store(false);
}

void* LThread::_ThreadCallback(void* self)
{
    LThread* thread = static_cast<LThread*>(self);
    thread->_EnterThread();
    thread->ThreadFunction();
    thread->fLock.Lock(); // let Start finish with the handle first
    thread->fLock.Unlock();
    thread->_LeaveThread();
    // The last touch of the object: once finished is signalled the owner may destroy it.
    LSignalObjectRef finished = thread->fFinished.GetRef();
    finished.Signal();
    return nullptr;
}

void LThread::StopThreadSoon()
{
    fStop.Signal();
}

bool LThread::IsToStop()
{
    return fStop.IsSignaled();
}

LProcessResult LThread::ProcessWait(unsigned int ms)
{
    return fStop.WaitSignal(ms) ? LProcessResultStopped : LProcessResultSuccess;
}

LProcessResult LThread::ProcessWaitSignal(LSignalObjectRef signal, unsigned int ms)
{
    struct pollfd entries[2]
        = { { fStop.GetReadFd(), POLLIN, 0 }, { signal.GetReadFd(), POLLIN, 0 } };
    if (LSignalPoll(entries, 2, ms) <= 0)
        return LProcessResultTimeOut;
    if (entries[0].revents & POLLIN)
        return LProcessResultStopped;
    return (entries[1].revents & POLLIN) ? LProcessResultSignaled : LProcessResultTimeOut;
}

LProcessResult LThread::ProcessWaitSignalObjectGroup(LSignalObjectGroup& group, unsigned int ms)
{
    // The stop signal goes into a copy, never into the caller's group: a group reused for many
    // waits does not grow, and a full group keeps all its own entries.
    const unsigned long count = group.GetCount();
    struct pollfd entries[LSignalObjectGroup::kMaxEntries + 1];
    memcpy(entries, group.GetEntries(), count * sizeof(struct pollfd));
    entries[count] = { fStop.GetReadFd(), POLLIN, 0 };
    int n = LSignalPoll(entries, count + 1, ms);
    struct pollfd* own = group.GetEntries();
    for (unsigned long i = 0; i < count; ++i)
        own[i].revents = n > 0 ? entries[i].revents : 0;
    if (n <= 0)
        return LProcessResultTimeOut;
    if (entries[count].revents & POLLIN)
        return LProcessResultStopped;
    for (unsigned long i = 0; i < count; ++i)
        if (entries[i].revents & POLLIN)
            return LProcessResultSignaled;
    return LProcessResultTimeOut;
}

void LThread::SetPriority(int priority)
{
    if (!fHasHandle.load())
        return;
    pthread_t handle = fHandle;
    struct sched_param param { };
    if (priority == kPriorityTimeConstraint) {
        param.sched_priority = sched_get_priority_min(SCHED_RR);
        if (pthread_setschedparam(handle, SCHED_RR, &param) == 0)
            return;
    }
    param.sched_priority = priority;
    pthread_setschedparam(handle, SCHED_OTHER, &param);
}

int LThread::GetPriority(pthread_t thread)
{
    int policy = 0;
    struct sched_param param { };
    if (pthread_getschedparam(thread, &policy, &param) != 0)
        return 20;
    if (policy == SCHED_RR || policy == SCHED_FIFO)
        return kPriorityTimeConstraint;
    return param.sched_priority;
}

// ---------------------------------------------------------------------------------------------
// Detached threads

int LDetachedThread::StartDetached(LDetachedThreadsOwner& owner, int priority)
{
    // Held until this function is done with the object: the thread takes it before it deletes
    // itself, so a thread that ends at once cannot be deleted under the creator.
    LLockObjectLocker locker(fLock);
    fOwner = &owner;
    _ResetSignals();
    fPriority = priority;
    fRunning.store(true);
    pthread_t handle;
    int error = pthread_create(&handle, nullptr, _DetachedCallback, this);
    if (error != 0) {
        fRunning.store(false);
        return error;
    }
    fHandle = handle;
    fHasHandle.store(true);
    // Only the started signal: a stop request must not make the creator believe the thread did
    // not start, since it deletes itself when it ends.
    fStarted.WaitSignal(LSIGNAL_WAIT_FOREVER);
    _ApplyStartPriority();
    return 0;
}

void* LDetachedThread::_DetachedCallback(void* self)
{
    LDetachedThread* thread = static_cast<LDetachedThread*>(self);
    thread->_EnterThread();
    thread->ThreadFunction();
    thread->fLock.Lock(); // wait until StartDetached is done with the object
    thread->fLock.Unlock();
    thread->_LeaveThread();
    // The end mark: a thread still in its owner's list is unlinked here and deletes itself once
    // finished is signalled (so its destructor does not wait for it). A thread StopThreadsNow
    // has taken is deleted there, after finished: signalling it is the last touch.
    // The owner counts such a thread until it is deleted, so that StopThreadsNow (and the owner's
    // destructor) also waits for threads that were already on their way out.
    LDetachedThreadsOwner* owner = thread->fOwner;
    bool ownsItself = owner && owner->_Unlink(thread, true);
    LSignalObjectRef finished = thread->fFinished.GetRef();
    finished.Signal();
    if (ownsItself) {
        delete thread;
        owner->_EndingDone();
    }
    return nullptr;
}

LDetachedThreadsOwner::~LDetachedThreadsOwner()
{
    StopThreadsNow();
}

void LDetachedThreadsOwner::Link(LDetachedThread* thread)
{
    std::lock_guard<std::mutex> lock(fMutex);
    thread->fOwner = this;
    thread->fNext = fFirst;
    fFirst = thread;
}

void LDetachedThreadsOwner::StopThreadsSoon()
{
    std::lock_guard<std::mutex> lock(fMutex);
    for (LDetachedThread* t = fFirst; t; t = t->fNext)
        t->StopThreadSoon();
}

void LDetachedThreadsOwner::StopThreadsNow()
{
    StopThreadsSoon();
    for (;;) {
        LDetachedThread* thread;
        {
            std::unique_lock<std::mutex> lock(fMutex);
            thread = fFirst;
            if (!thread) {
                fEnded.wait(lock, [this] { return fEnding == 0; });
                return;
            }
            fFirst = thread->fNext;
            thread->fNext = nullptr;
        }
        thread->StopThreadSoon();
        if (thread->fStarted.IsSignaled())
            thread->fFinished.WaitSignal(LSIGNAL_WAIT_FOREVER);
        delete thread;
    }
}

bool LDetachedThreadsOwner::_Unlink(LDetachedThread* thread, bool ending)
{
    std::lock_guard<std::mutex> lock(fMutex);
    for (LDetachedThread** link = &fFirst; *link; link = &(*link)->fNext) {
        if (*link == thread) {
            *link = thread->fNext;
            thread->fNext = nullptr;
            if (ending)
                ++fEnding;
            return true;
        }
    }
    return false;
}

void LDetachedThreadsOwner::_EndingDone()
{
    std::lock_guard<std::mutex> lock(fMutex);
    --fEnding;
    fEnded.notify_all();
}

void LDetachedThreadsOwner::Destruct(LDetachedThread* thread)
{
    if (_Unlink(thread))
        delete thread;
}

size_t LDetachedThreadsOwner::GetCount()
{
    std::lock_guard<std::mutex> lock(fMutex);
    size_t n = 0;
    for (LDetachedThread* t = fFirst; t; t = t->fNext)
        ++n;
    return n;
}
