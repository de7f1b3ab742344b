// The program runs as one instance per user. A later start hands its arguments to the running
// one over the local-socket channel named "Vorantel" and quits; the running instance reads the
// requests of all its connections on one thread of its own and acts on each on the main thread:
// with no arguments beyond the program path it comes forward, otherwise the arguments run as an
// API command.
//
// Testing for a running instance and starting to listen happen under a lock file in the runtime
// folder, so of two simultaneous starts exactly one becomes the running instance. Start-up
// switches ("-scheduled_launch", "-installer") are never handed on as arguments. A start does
// this before it sets up anything of the toolkit.
//
// The arguments go whole (a continued record when they do not fit one record, LNamedPipe.h), and
// those that name files are made absolute against the later start's own working folder first:
// the running instance never reads a request's path against a folder of its own.
//
// The later start then waits for the running instance's answer on the same connection. An
// answer is a frame: one byte saying what it is, the result (32 bits, little-endian), the text's
// length (32 bits, at most 8192) and the text:
//   'F' the outcome: 0 carried out, 3 not taken (the instance is busy), else refused or failed,
//       the text saying why (or the output of a request that has one);
//   'Q' the request waits for the user there (the text says for what) and is carried out then;
//   'P' the instance has the request and works on it or holds it (the text says what it does),
//       sent again every second until the outcome, so the start can tell slow work from none;
//   'W' a warning of a request that is carried out all the same.
// 'P' and 'W' go only to a start that says in its record that it reads them
// (kLSingleInstanceFeatures); to others a warning goes in the outcome's text.
//
// From the moment the running instance closes its main window until it ends, it still listens:
// a later start is told that it is closing, and never becomes a second instance meanwhile.
#pragma once

#include "lfw/unix/LNamedPipe.h"
#include "lfw/zor/LZORAPIServer.h"

#include <cstdint>
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
// What it answers a connection it has no room for.
inline constexpr const char* kLSingleInstanceBusyText
    = "Vorantel tar emot för många anslutningar just nu och tog inte emot begäran. Försök igen om "
      "en stund.";
// The outcome of a request that was not taken.
inline constexpr int kLSingleInstanceNotTaken = 3;
// What a later start reads of the answers beyond the outcome and the waiting.
inline constexpr const char* kLSingleInstanceFeatures = "progress,warnings";

// One answer frame.
struct LSingleInstanceFrame {
    char kind = 0;
    int32_t result = 0;
    std::string text;
};
// The bytes of a frame (a text longer than kLZORAPIReplySize is cut at a character boundary).
std::string LSingleInstanceFrameBytes(char kind, int32_t result, const std::string& text);
// Takes the first frame off the front of bytes: 1 with the frame, 0 when its bytes are not all
// there yet, -1 when they are no frame (an unknown kind, a length beyond the limit).
int LSingleInstanceTakeFrame(std::string& bytes, LSingleInstanceFrame& frame);

class LSingleInstance {
public:
    enum Outcome {
        kPrimary, // this is the running instance now, listening
        kDelivered, // another instance runs and has been sent the arguments
        kFailed, // another instance runs but the arguments could not be delivered
        kRefused, // another instance runs but the arguments cannot go to it (RefusalText says why)
        kAlone, // no channel could be had: this runs on its own (RefusalText says why)
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
    // At most this many connections are read at a time. With all of them taken, the connection
    // that has sent nothing for longest is told that the instance is busy and closed to make
    // room; when every one is sending, the new one is told so.
    static constexpr size_t kMaxConnections = 256;
    // A connection's request must be whole within this long after it connected.
    static constexpr unsigned int kRequestTimeoutMs = 10000;

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
            kNoAnswer, // not taken: no word in time, or the connection ended without one
            kBusy, // not taken: the instance had no room for it (text says so)
            kLost, // taken, but the instance stopped answering before its outcome
        };
        State state = kNoAnswer;
        int result = 0;
        std::string text;
        std::vector<std::string> warnings; // of a request carried out all the same
    };
    // Waits for the answer: as long as the running instance keeps saying it works on the request,
    // until silenceMs pass without a word from it; once the request is known to wait for the user
    // at most queuedMs more for its outcome. A start without arguments is answered once the
    // running instance came forward (or that it is closing).
    static constexpr unsigned int kSilenceTimeoutMs = 60000;
    static constexpr unsigned int kQueuedGraceMs = 2000;
    Answer WaitAnswer(
        unsigned int silenceMs = kSilenceTimeoutMs, unsigned int queuedMs = kQueuedGraceMs);
    // The same on any connection (which is left open).
    static Answer ReadAnswer(int fd, unsigned int silenceMs, unsigned int queuedMs);
    // From now on requests are answered at once that the instance is closing; it still listens.
    void SetClosing();
    // Stops listening; requests on their way, and those taken whose outcome has not been told,
    // are answered that the instance is closing.
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
// answered it already or said that its outcome follows later.
void LSingleInstanceDispatch(const LSingleInstance::Arguments& arguments,
    LZORAPIServerHandler& handler, const std::function<void()>& bringForward);
