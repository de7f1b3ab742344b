// The server side of the local-socket channel: a thread that accepts connections on a channel's
// socket and hands each one to NewConnection, and the listener that gives every connection a
// detached thread of its own.
#pragma once

#include "lfw/ios/LThread.h"
#include "lfw/unix/LNamedPipe.h"

// An accepted connection; whoever takes the descriptor over sets it to -1, and the listener
// closes whatever is left after NewConnection.
struct LServerPipe {
    int fd = -1;
};

class LPipeListener : public LThread {
public:
    LPipeListener();
    ~LPipeListener() override;

    // The socket path (set before Start); false when it does not fit.
    bool SetPath(const char* path);
    const char* GetPath() const { return fPath; }
    // True once the socket is bound and listening (until the thread ends).
    bool IsListening() const { return fListening.load(); }
    // Waits up to ms for the socket to be bound; false when the thread ended without it.
    bool WaitListening(unsigned int ms);

protected:
    void ThreadFunction() override;
    virtual void NewConnection(LServerPipe& connection) = 0;
    // Stops the accept loop and waits for it (for derived destructors, before their own parts
    // go).
    void StopListener();

private:
    char fPath[kLPathSize] = "";
    std::atomic<bool> fListening { false };
    LSignalObject fBound;
};

// A per-connection thread: constructed with the connection's descriptor, which it owns.
class LPipeListenerThreadBase : public LDetachedThread {
public:
    explicit LPipeListenerThreadBase(int fd)
        : LDetachedThread("PIPE")
        , fFd(fd)
    {
    }
    ~LPipeListenerThreadBase() override;
    int GetDescriptor() const { return fFd; }

protected:
    int fFd;
};

template <class Thread> class LPipeListenerWithThreads : public LPipeListener {
public:
    ~LPipeListenerWithThreads() override
    {
        // The accept loop ends first: otherwise it could start a connection's thread while the
        // threads are being stopped and deleted.
        StopListener();
        fThreads.StopThreadsNow();
    }
    LDetachedThreadsOwner& GetThreads() { return fThreads; }

protected:
    void NewConnection(LServerPipe& connection) override
    {
        Thread* thread = new Thread(connection.fd);
        connection.fd = -1;
        fThreads.Link(thread);
        if (thread->StartDetached(fThreads, 20) != 0)
            fThreads.Destruct(thread);
    }

private:
    LDetachedThreadsOwner fThreads;
};
