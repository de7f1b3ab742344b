// The program runs as one instance per user. A later start hands its arguments to the running
// one over the local-socket channel named "Vorantel" and quits; the running instance receives
// each record on a thread of its own and acts on it on the main thread: with no arguments beyond
// the program path it comes forward, otherwise the arguments run as an API command.
//
// Testing for a running instance and starting to listen happen under a lock file in the runtime
// folder, so of two simultaneous starts exactly one becomes the running instance. Start-up
// switches ("-scheduled_launch", "-installer") are never handed on as arguments.
#pragma once

#include "lfw/net/LPipeListener.h"
#include "lfw/unix/LNamedPipe.h"
#include "lfw/zor/LZORAPIServer.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

inline constexpr const char* kLSingleInstanceChannel = "Vorantel";

// The arguments that go into a record: argv without the start-up switches.
std::vector<const char*> LSingleInstanceRecordArguments(int argc, const char* const* argv);

// Receives one record per connection (at most 33284 bytes, given up after 10 s of silence) and
// posts it to the main thread.
class LMainWindowPipeListenerThread : public LPipeListenerThreadBase {
public:
    explicit LMainWindowPipeListenerThread(int fd)
        : LPipeListenerThreadBase(fd)
    {
    }
    static constexpr unsigned int kIdleTimeoutMs = 10000;

protected:
    void ThreadFunction() override;
};

class LSingleInstance {
public:
    enum Outcome {
        kPrimary, // this is the running instance now, listening
        kDelivered, // another instance runs and has been sent the arguments
        kFailed, // another instance runs but the arguments could not be delivered
    };
    // Called on the main thread for every complete record received.
    using Receiver = std::function<void(const CopyData&)>;

    explicit LSingleInstance(const char* channel = kLSingleInstanceChannel);
    ~LSingleInstance();
    LSingleInstance(const LSingleInstance&) = delete;
    LSingleInstance& operator=(const LSingleInstance&) = delete;

    // The later instance's send waits at most this long.
    static constexpr unsigned int kSendTimeoutMs = 10000;
    // At most this many connections are served at a time; more are closed at once.
    static constexpr size_t kMaxConnections = 64;

    Outcome Start(int argc, const char* const* argv, Receiver receiver);
    // Stops listening and drops records still on their way.
    void Stop();
    bool IsPrimary() const { return fListener != nullptr; }

private:
    class Listener;
    std::string fChannel;
    std::unique_ptr<Listener> fListener;
};

// What the running instance does with a record: a record of the program path alone calls
// bringForward; a longer one runs its arguments after the program path through handler; a
// count of 0 or less does nothing.
void LSingleInstanceDispatch(const CopyData& record, LZORAPIServerHandler& handler,
    const std::function<void()>& bringForward);
