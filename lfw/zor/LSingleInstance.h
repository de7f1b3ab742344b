// The program runs as one instance per user. A later start hands its arguments to the running
// one over the local-socket channel named "Vorantel" and quits; the running instance receives
// each record on a thread of its own and acts on it on the main thread: with no arguments beyond
// the program path it comes forward, otherwise the arguments run as an API command.
//
// Testing for a running instance and starting to listen happen under a lock file in the runtime
// folder, so of two simultaneous starts exactly one becomes the running instance. Start-up
// switches ("-scheduled_launch", "-installer") are never handed on as arguments.
//
// The arguments go whole (a continued record when they do not fit one record, LNamedPipe.h), and
// those that name files are made absolute against the later start's own working folder first:
// the running instance never reads a request's path against a folder of its own.
//
// The later start then waits for the running instance's answer on the same connection: the
// request's outcome once it has run (carried out, or refused with the reason), or first that it
// waits for the user there. An answer is a frame: one byte 'Q' (queued) or 'F' (finished), the
// result (32 bits, little-endian), the text's length (32 bits, at most 8192) and the text.
//
// From the moment the running instance closes its main window until it ends, it still listens:
// a later start is told that it is closing, and never becomes a second instance meanwhile.
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

// Whether the value of a request key names a file.
using LSingleInstanceFileKey = std::function<bool(const char* key)>;
// The arguments made to mean in another process what they mean here: a lone argument after the
// program path that is no key ("-..."), and the value of every pair whose key isFile names, made
// absolute against folder. Absolute paths and other arguments are left as they are.
std::vector<std::string> LSingleInstanceAbsoluteArguments(std::vector<std::string> arguments,
    const std::string& folder, const LSingleInstanceFileKey& isFile);

// What the running instance answers a request that arrives while it is closing.
inline constexpr const char* kLSingleInstanceClosingText
    = "Vorantel håller på att avslutas och tar inte emot fler begäranden. Försök igen när "
      "programmet har avslutats.";

// Receives one request per connection (a record or a continued record, given up after 10 s) and
// posts it to the main thread; while the instance closes, it answers at once that it does.
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
        kRefused, // another instance runs but the arguments cannot go to it (RefusalText says why)
    };
    // The arguments of one request, argument 0 the sender's program path.
    using Arguments = std::vector<std::string>;
    // Called on the main thread for every complete request received.
    using Receiver = std::function<void(const Arguments&)>;

    explicit LSingleInstance(const char* channel = kLSingleInstanceChannel);
    ~LSingleInstance();
    LSingleInstance(const LSingleInstance&) = delete;
    LSingleInstance& operator=(const LSingleInstance&) = delete;

    // The later instance's send waits at most this long.
    static constexpr unsigned int kSendTimeoutMs = 10000;
    // At most this many connections are served at a time; more are closed at once.
    static constexpr size_t kMaxConnections = 64;

    // Becomes the running instance, or hands the arguments (without the start-up switches) to
    // the one that runs: with isFile, the files they name made absolute against this process's
    // working folder.
    Outcome Start(int argc, const char* const* argv, Receiver receiver,
        const LSingleInstanceFileKey& isFile = {});
    const std::string& RefusalText() const { return fRefusal; }

    // The running instance's answer to arguments delivered by Start.
    struct Answer {
        enum State {
            kDone, // carried out
            kRefused, // refused or failed: text says why
            kQueued, // waits for the user there (text says for what); carried out then
            kNoAnswer, // none in time, or the connection ended without one
        };
        State state = kNoAnswer;
        int result = 0;
        std::string text;
    };
    // Waits for the answer: at most timeoutMs in all, and once the request is known to be queued
    // at most queuedMs more for its outcome. A start without arguments is answered once the
    // running instance came forward (or that it is closing).
    static constexpr unsigned int kAnswerTimeoutMs = 60000;
    static constexpr unsigned int kQueuedGraceMs = 2000;
    Answer WaitAnswer(
        unsigned int timeoutMs = kAnswerTimeoutMs, unsigned int queuedMs = kQueuedGraceMs);
    // From now on requests are answered at once that the instance is closing; it still listens.
    void SetClosing();
    // Stops listening; requests still on their way are answered that the instance is closing.
    void Stop();
    bool IsPrimary() const { return fListener != nullptr; }

private:
    class Listener;
    std::string fChannel;
    std::unique_ptr<Listener> fListener;
    int fDelivery = -1; // the connection a delivered record went over, until its answer came
    std::string fRefusal;
};

// What the running instance does with a request: the program path alone calls bringForward; a
// longer one runs its arguments after the program path through handler; none does nothing. The
// current reply (LZORAPICurrentReply), when there is one, gets the outcome unless the command
// queued the request or answered it already.
void LSingleInstanceDispatch(const LSingleInstance::Arguments& arguments,
    LZORAPIServerHandler& handler, const std::function<void()>& bringForward);
