#include "lfw/net/LPipeListener.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

LPipeListener::LPipeListener()
    : LThread("PIPL")
{
}

LPipeListener::~LPipeListener()
{
    StopListener();
}

void LPipeListener::StopListener()
{
    StopThreadSoon();
    if (GetStartedSignal().IsSignaled())
        GetFinishedSignal().WaitSignal(LSIGNAL_WAIT_FOREVER);
}

bool LPipeListener::SetPath(const char* path)
{
    if (std::strlen(path) >= kLPathSize)
        return false;
    std::strcpy(fPath, path);
    return true;
}

bool LPipeListener::WaitListening(unsigned int ms)
{
    if (fListening.load())
        return true;
    fBound.WaitSignal(ms);
    return fListening.load();
}

void LPipeListener::ThreadFunction()
{
    int listener = LNamedPipeListen(fPath);
    if (listener < 0) {
        fBound.Signal();
        return;
    }
    fListening = true;
    fBound.Signal();
    for (;;) {
        struct pollfd entries[2]
            = { { listener, POLLIN, 0 }, { GetStopSignal().GetReadFd(), POLLIN, 0 } };
        int n = LSignalPoll(entries, 2, LSIGNAL_WAIT_FOREVER);
        if (n < 0 || (entries[1].revents & POLLIN))
            break;
        if (!(entries[0].revents & POLLIN))
            continue;
        int fd = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            // A client that went away before it was accepted, or a signal: keep listening.
            if (errno == EINTR || errno == ECONNABORTED || errno == EAGAIN || errno == EWOULDBLOCK
                || errno == EPROTO)
                continue;
            break;
        }
        if (!LNamedPipePeerIsSameUser(fd)) {
            close(fd);
            continue;
        }
        LServerPipe connection { fd };
        NewConnection(connection);
        if (connection.fd >= 0)
            close(connection.fd);
    }
    fListening = false;
    close(listener);
    unlink(fPath);
}

LPipeListenerThreadBase::~LPipeListenerThreadBase()
{
    if (fFd >= 0)
        close(fFd);
}
