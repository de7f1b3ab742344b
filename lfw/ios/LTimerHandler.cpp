#include "lfw/ios/LTimerHandler.h"

LTimerHandlerBase::~LTimerHandlerBase()
{
    TimerDestroy();
}

void LTimerHandlerBase::TimerSet(int id, unsigned int ms)
{
    if (id < 0)
        return;
    LLockObjectLocker locker(fLock);
    if (LRunLoopTimer** timer = fTimers.GetValue(id)) {
        (*timer)->Arm(ms);
        return;
    }
    LRunLoopTimer* timer = new LRunLoopTimer(_TimerAction, this);
    timer->Arm(ms);
    fTimers.SetValue(id, timer);
}

void LTimerHandlerBase::TimerReset(int id)
{
    if (id < 0)
        return;
    LLockObjectLocker locker(fLock);
    if (LRunLoopTimer** timer = fTimers.GetValue(id)) {
        delete *timer;
        fTimers.Remove(id);
    }
}

void LTimerHandlerBase::TimerDestroy()
{
    LLockObjectLocker locker(fLock);
    for (auto* node = fTimers.GetHead(); node; node = node->next)
        delete node->value;
    fTimers.Clear();
}

bool LTimerHandlerBase::TimerIsSet(int id)
{
    LLockObjectLocker locker(fLock);
    LRunLoopTimer** timer = fTimers.GetValue(id);
    return timer && (*timer)->IsArmed();
}

void LTimerHandlerBase::_TimerAction(LRunLoopTimer* timer, void* data)
{
    LTimerHandlerBase* handler = static_cast<LTimerHandlerBase*>(data);
    int id = -1;
    {
        LLockObjectLocker locker(handler->fLock);
        for (auto* node = handler->fTimers.GetHead(); node; node = node->next) {
            if (node->value == timer) {
                id = node->key;
                break;
            }
        }
    }
    if (id != -1)
        handler->EvTimer(id);
}
