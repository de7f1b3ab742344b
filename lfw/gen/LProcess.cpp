#include "lfw/gen/LProcess.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <unistd.h>

void LProcessInterface::SetErrorF(const char* format, ...)
{
    char text[kFormatBufferSize];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n < 0)
        text[0] = '\0';
    SetError(text);
}

void LProcessInterface::SetStatusF(int level, const char* format, ...)
{
    char text[kFormatBufferSize];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n < 0)
        text[0] = '\0';
    SetStatus(text, level);
}

LProcessResult LProcessInterfaceVoid::ProcessWait(unsigned int ms)
{
    if (ms == LSIGNAL_WAIT_FOREVER) {
        // Nobody ever asks this interface to stop: waiting until stopped waits for ever.
        for (;;)
            pause();
    }
    timespec request { static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L };
    timespec remaining {};
    while (nanosleep(&request, &remaining) != 0 && errno == EINTR)
        request = remaining;
    return LProcessResultSuccess;
}

LProcessResult LProcessInterfaceVoid::ProcessWaitSignal(LSignalObjectRef signal, unsigned int ms)
{
    return signal.WaitSignal(ms) ? LProcessResultSignaled : LProcessResultTimeOut;
}

LProcessResult LProcessInterfaceVoid::ProcessWaitSignalObjectGroup(
    LSignalObjectGroup& group, unsigned int ms)
{
    if (group.IsEmpty())
        return LProcessResultTimeOut;
    return group.Wait(ms) >= 0 ? LProcessResultSignaled : LProcessResultTimeOut;
}

bool LProcessStopPacing::IsToStop()
{
    if (m_stopped || !m_pi)
        return m_stopped;
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long long us = static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
    if (us < m_nextUs)
        return false;
    m_stopped = m_pi->IsToStop();
    // From after the question: the loop it turned is not counted as the job's time.
    clock_gettime(CLOCK_MONOTONIC, &now);
    m_nextUs
        = static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000 + kIntervalMs * 1000;
    return m_stopped;
}
