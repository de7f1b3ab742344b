// A recursive mutex: the thread that holds it may take it again.
#pragma once

#include <pthread.h>

class LLockObject {
public:
    LLockObject();
    ~LLockObject();
    LLockObject(const LLockObject&) = delete;
    LLockObject& operator=(const LLockObject&) = delete;

    void Lock() { pthread_mutex_lock(&fMutex); }
    bool TryLock() { return pthread_mutex_trylock(&fMutex) == 0; }
    void Unlock() { pthread_mutex_unlock(&fMutex); }

    // BasicLockable, so std::lock_guard and std::unique_lock work too.
    void lock() { Lock(); }
    void unlock() { Unlock(); }

private:
    pthread_mutex_t fMutex;
};

// Holds a lock for the lifetime of a scope.
class LLockObjectLocker {
public:
    explicit LLockObjectLocker(LLockObject& lock)
        : fLock(lock)
    {
        fLock.Lock();
    }
    ~LLockObjectLocker() { fLock.Unlock(); }
    LLockObjectLocker(const LLockObjectLocker&) = delete;
    LLockObjectLocker& operator=(const LLockObjectLocker&) = delete;

private:
    LLockObject& fLock;
};
