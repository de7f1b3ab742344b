#include "lfw/gen/LLockObject.h"

LLockObject::LLockObject()
{
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&fMutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
}

LLockObject::~LLockObject()
{
    pthread_mutex_destroy(&fMutex);
}
