// One-shot timers keyed by an integer id, fired on the main event loop.
//
// TimerSet(id, ms) arms timer id to fire once, ms milliseconds from now; setting an armed id
// again only moves its firing. EvTimer(id) is called on the main thread, outside the handler's
// lock, so a handler may set or reset timers from inside it. TimerSet, TimerReset and
// TimerDestroy may be called from any thread.
#pragma once

#include "lfw/gen/LLockObject.h"
#include "lfw/gen/LMap.h"
#include "platform/ui/LRunLoop.h"

// The window object of lfw/mac, named as LMacWindow.h names it.
class LMacWindow;
using LWindow = LMacWindow;

class LTimerHandlerBase {
public:
    LTimerHandlerBase() = default;
    virtual ~LTimerHandlerBase();
    LTimerHandlerBase(const LTimerHandlerBase&) = delete;
    LTimerHandlerBase& operator=(const LTimerHandlerBase&) = delete;

    // Called when timer id fires.
    virtual void EvTimer(int id) = 0;

    // A negative id is ignored.
    void TimerSet(int id, unsigned int ms);
    // Stops and forgets timer id; a negative id, or one without a timer, is ignored.
    void TimerReset(int id);
    // Stops and forgets every timer of the handler.
    void TimerDestroy();
    // Whether timer id is armed.
    bool TimerIsSet(int id);

private:
    static void _TimerAction(LRunLoopTimer* timer, void* handler);

    LLockObject fLock;
    LMap<int, LRunLoopTimer*> fTimers;
};

// The window-bound form: timers always run on the main event loop, so TimerInit has nothing to
// do; TimerDestroy removes all the handler's timers.
class LTimerHandler : public LTimerHandlerBase {
public:
    void TimerInit(LWindow&) { }
    void TimerDestroy(LWindow&) { LTimerHandlerBase::TimerDestroy(); }
    using LTimerHandlerBase::TimerDestroy;
};

// Timer callback for classes that install their own event-loop timers
// (LRunLoopTimer(LTimerCallBack<T>::TimerAction, object)): the user data is the object, whose
// TimerCallBack() is called. A class may instead specialise TimerAction.
template <class T> class LTimerCallBack {
public:
    static void TimerAction(LRunLoopTimer* timer, void* userData)
    {
        (void)timer;
        static_cast<T*>(userData)->TimerCallBack();
    }
};
