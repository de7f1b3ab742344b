// The program runs as one instance per user. A later start hands its arguments to the running
// one over the local-socket channel named "Vorantel" and quits; the running instance receives
// each record on a thread of its own and acts on it on the main thread: with no arguments beyond
// the program path it comes forward, otherwise the arguments run as an API command.
//
// Testing for a running instance and starting to listen happen under a lock file in the runtime
// folder, so of two simultaneous starts exactly one becomes the running instance. Start-up
// switches ("-scheduled_launch", "-installer") are never handed on as arguments.
//
// The later start then waits for the running instance's answer on the same connection: the
// request's outcome once it has run (carried out, or refused with the reason), or first that it
// waits because a modal window runs there. An answer is a frame: one byte 'Q' (queued) or 'F'
// (finished), the result (32 bits, little-endian), the text's length (32 bits, at most 8192)
// and the text.
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

    // The running instance's answer to arguments delivered by Start.
    struct Answer {
        enum State {
            kDone, // carried out
            kRefused, // refused or failed: text says why
            kQueued, // waits behind a modal window there; carried out once it closes
            kNoAnswer, // none in time, or the connection ended without one
        };
        State state = kNoAnswer;
        int result = 0;
        std::string text;
    };
    // Waits for the answer: at most timeoutMs in all, and once the request is known to be queued
    // at most queuedMs more for its outcome. A start without arguments only brings the running
    // instance forward: it is done at once.
    static constexpr unsigned int kAnswerTimeoutMs = 60000;
    static constexpr unsigned int kQueuedGraceMs = 2000;
    Answer WaitAnswer(
        unsigned int timeoutMs = kAnswerTimeoutMs, unsigned int queuedMs = kQueuedGraceMs);
    // Stops listening and drops records still on their way.
    void Stop();
    bool IsPrimary() const { return fListener != nullptr; }

private:
    class Listener;
    std::string fChannel;
    std::unique_ptr<Listener> fListener;
    int fDelivery = -1; // the connection a delivered record went over, until its answer came
    bool fDeliveredRequest = false; // the record held arguments beyond the program path
};

// What the running instance does with a record: a record of the program path alone calls
// bringForward; a longer one runs its arguments after the program path through handler; a
// count of 0 or less does nothing. The current reply (LZORAPICurrentReply), when there is one,
// gets the outcome unless the command queued the request.
void LSingleInstanceDispatch(const CopyData& record, LZORAPIServerHandler& handler,
    const std::function<void()>& bringForward);
