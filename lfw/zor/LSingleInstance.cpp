#include "lfw/zor/LSingleInstance.h"

#include "lfw/gen/LCharSet.h"
#include "lfw/ios/LThread.h"
#include "platform/ui/LRunLoop.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <set>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

long long _LMsUntil(Clock::time_point end)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
}

// The receiver of the running instance; requests that arrive when there is none are answered
// that the instance is closing.
// Kept for the life of the process: an instance that lives to the program's end (one held by a
// static) stops after the statics of this file would have gone.
std::mutex gReceiverLock;
std::atomic<bool> gClosing { false };

std::shared_ptr<LSingleInstance::Receiver>& _LReceiver()
{
    static auto* receiver = new std::shared_ptr<LSingleInstance::Receiver>;
    return *receiver;
}

std::shared_ptr<LSingleInstance::Receiver> _LGetReceiver()
{
    std::lock_guard<std::mutex> lock(gReceiverLock);
    return _LReceiver();
}

void _LSetReceiver(std::shared_ptr<LSingleInstance::Receiver> receiver)
{
    std::lock_guard<std::mutex> lock(gReceiverLock);
    _LReceiver() = std::move(receiver);
}

// Holds an exclusive lock on the channel's lock file while it lives.
class LChannelLock {
public:
    explicit LChannelLock(const std::string& channel)
    {
        char folder[kLPathSize];
        if (!LNamedPipeGetRuntimeFolder(folder))
            return;
        std::string path = std::string(folder) + "/.spipe." + channel + ".lock";
        fFd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fFd >= 0)
            while (flock(fFd, LOCK_EX) < 0 && errno == EINTR) { }
    }
    ~LChannelLock()
    {
        if (fFd >= 0)
            close(fFd); // releases the lock
    }

private:
    int fFd = -1;
};

constexpr size_t kFrameHeader = 9;

bool _LKnownFrame(char kind)
{
    return kind == 'F' || kind == 'Q' || kind == 'P' || kind == 'W';
}

// Writes all of data within ms; false when the peer went or did not take it in time.
bool SendWithin(int fd, const char* data, size_t n, int ms)
{
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (n > 0) {
        const ssize_t put = ::send(fd, data, n, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (put > 0) {
            data += put;
            n -= size_t(put);
            continue;
        }
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        const long long left = _LMsUntil(end);
        struct pollfd entry = { fd, POLLOUT, 0 };
        if (left <= 0 || ::poll(&entry, 1, int(left)) <= 0)
            return false;
    }
    return true;
}

// ---- The running instance's side of the answer --------------------------------------------------

class LSingleInstanceReply;

// The replies that were taken and have not had their outcome, which hear every second that
// the request is still being worked on (main thread only).
std::set<LSingleInstanceReply*>& _LTakenReplies()
{
    // Kept for the life of the process: replies may still go while the program ends.
    static auto* replies = new std::set<LSingleInstanceReply*>;
    return *replies;
}

void _LArmKeepAlive();

// The connection the record came over.
class LSingleInstanceReply : public LZORAPIReply {
public:
    LSingleInstanceReply(int fd, const std::string& features)
        : fFd(fd)
        , fReadsProgress(features.find("progress") != std::string::npos)
        , fReadsWarnings(features.find("warnings") != std::string::npos)
    {
    }
    ~LSingleInstanceReply() override
    {
        Unregister();
        if (fFd >= 0)
            ::close(fFd);
    }
    // Tells again what the program does with the request.
    void KeepAlive()
    {
        if (fFd >= 0 && fReadsProgress)
            Send('P', 0, ProgressText());
    }

protected:
    void SendProgress(const char* text) override
    {
        if (fFd < 0 || !fReadsProgress)
            return;
        if (!fRegistered) {
            fRegistered = true;
            _LTakenReplies().insert(this);
            _LArmKeepAlive();
        }
        Send('P', 0, text);
    }
    void SendQueued(const char* text) override
    {
        Unregister();
        if (fFd >= 0)
            Send('Q', 0, text);
    }
    void SendWarning(const char* text) override
    {
        if (fReadsWarnings) {
            if (fFd >= 0)
                Send('W', 0, text);
            return;
        }
        // A start that does not read warnings gets them in the outcome's text.
        fWarnings += (fWarnings.empty() ? "" : "\n") + std::string(text);
    }
    void SendFinished(int result, const char* text) override
    {
        Unregister();
        if (fFd < 0)
            return;
        std::string all = text;
        if (!fWarnings.empty())
            all = result == 0 && (all.empty() || all == "OK") ? fWarnings : all + "\n" + fWarnings;
        Send('F', result, all);
        // One outcome per request: the connection ends here.
        if (fFd >= 0)
            ::close(fFd);
        fFd = -1;
    }

private:
    // Only replies that were taken are in the set, and only the main thread takes them: the
    // listener's thread, which answers at once those it does not hand on, never touches it.
    void Unregister()
    {
        if (fRegistered)
            _LTakenReplies().erase(this);
        fRegistered = false;
    }
    void Send(char kind, int result, const std::string& text)
    {
        const std::string frame = LSingleInstanceFrameBytes(kind, result, text);
        const char* data = frame.data();
        size_t n = frame.size();
        if (kind == 'P') {
            // Said again every second: a start that does not read now misses one, and the main
            // thread never waits for it.
            const ssize_t put = ::send(fFd, data, n, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
                return;
            if (put > 0) {
                data += put;
                n -= size_t(put);
            } else {
                n = 1; // gone: closed below
                data = nullptr;
            }
        }
        // The waiting start may have gone: its answer is then nobody's.
        if (n > 0 && (!data || !SendWithin(fFd, data, n, 1000))) {
            ::close(fFd);
            fFd = -1;
            Unregister();
        }
    }
    int fFd;
    bool fRegistered = false;
    bool fReadsProgress;
    bool fReadsWarnings;
    std::string fWarnings;
};

void _LKeepAlive(LRunLoopTimer* timer, void*)
{
    std::set<LSingleInstanceReply*>& replies = _LTakenReplies();
    // A reply that goes while it is told (its peer went) leaves the set: go over a copy.
    const std::vector<LSingleInstanceReply*> now(replies.begin(), replies.end());
    for (LSingleInstanceReply* r : now)
        if (replies.count(r))
            r->KeepAlive();
    if (!replies.empty())
        timer->Arm(1000);
}

void _LArmKeepAlive()
{
    // Made once, on the main thread, and kept for the life of the process.
    static LRunLoopTimer* timer = new LRunLoopTimer(_LKeepAlive, nullptr);
    if (!timer->IsArmed())
        timer->Arm(1000);
}

} // namespace

std::string LSingleInstanceFrameBytes(char kind, int32_t result, const std::string& text)
{
    std::string body = text;
    if (body.size() > kLZORAPIReplySize) {
        std::vector<char> cut(kLZORAPIReplySize + 1);
        utf8strlcpy(cut.data(), text.c_str(), cut.size());
        body = cut.data();
    }
    std::string frame(kFrameHeader, '\0');
    frame[0] = kind;
    const uint32_t r = static_cast<uint32_t>(result);
    const uint32_t n = static_cast<uint32_t>(body.size());
    for (int i = 0; i < 4; ++i) {
        frame[1 + i] = static_cast<char>(r >> (8 * i));
        frame[5 + i] = static_cast<char>(n >> (8 * i));
    }
    return frame + body;
}

int LSingleInstanceTakeFrame(std::string& bytes, LSingleInstanceFrame& frame)
{
    if (bytes.empty())
        return 0;
    if (!_LKnownFrame(bytes[0]))
        return -1;
    if (bytes.size() < kFrameHeader)
        return 0;
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    uint32_t result = 0, length = 0;
    for (int i = 0; i < 4; ++i) {
        result |= uint32_t(b[1 + i]) << (8 * i);
        length |= uint32_t(b[5 + i]) << (8 * i);
    }
    if (length > kLZORAPIReplySize)
        return -1;
    if (bytes.size() < kFrameHeader + length)
        return 0;
    frame.kind = bytes[0];
    frame.result = int32_t(result);
    frame.text = bytes.substr(kFrameHeader, length);
    bytes.erase(0, kFrameHeader + length);
    return 1;
}

std::vector<const char*> LSingleInstanceRecordArguments(int argc, const char* const* argv)
{
    std::vector<const char*> out;
    for (int i = 0; i < argc && argv && argv[i]; ++i) {
        if (i > 0
            && (strcmp(argv[i], "-scheduled_launch") == 0 || strcmp(argv[i], "-installer") == 0))
            continue;
        out.push_back(argv[i]);
    }
    return out;
}

std::vector<std::string> LSingleInstanceAbsoluteArguments(std::vector<std::string> arguments,
    const std::string& folder, const LSingleInstanceFileKey& isFile)
{
    auto absolute = [&](std::string& path) {
        if (path.empty() || path[0] == '/' || folder.empty())
            return;
        path = folder + (folder.back() == '/' ? "" : "/") + path;
    };
    if (arguments.size() == 2) {
        if (!arguments[1].empty() && arguments[1][0] != '-')
            absolute(arguments[1]);
        return arguments;
    }
    for (size_t i = 1; i + 1 < arguments.size(); i += 2)
        if (isFile && isFile(arguments[i].c_str()))
            absolute(arguments[i + 1]);
    return arguments;
}

// ---- Listening -------------------------------------------------------------------------------

// Accepts the channel's connections and reads the requests of all of them as their bytes come,
// on one thread; each whole request goes to the main thread with its connection, which carries
// the answer.
class LSingleInstance::Listener : public LThread {
public:
    explicit Listener(const std::string& path)
        : LThread("PIPL")
        , fPath(path)
    {
    }
    ~Listener() override
    {
        StopThreadSoon();
        if (GetStartedSignal().IsSignaled())
            GetFinishedSignal().WaitSignal(LSIGNAL_WAIT_FOREVER);
    }
    bool WaitListening(unsigned int ms)
    {
        fBound.WaitSignal(ms);
        return fListening.load();
    }

protected:
    void ThreadFunction() override;

private:
    struct Connection {
        int fd = -1;
        Clock::time_point since;
        std::unique_ptr<LNamedPipeRequestReader> reader;
    };
    // Tells the connection that there is no room for it, and closes it.
    static void Busy(int fd)
    {
        const std::string frame
            = LSingleInstanceFrameBytes('F', kLSingleInstanceNotTaken, kLSingleInstanceBusyText);
        ::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        ::close(fd);
    }
    // Makes room by ending the connection that has sent nothing for longest; false when every
    // one has sent something.
    bool EvictIdle()
    {
        auto oldest = fOpen.end();
        for (auto it = fOpen.begin(); it != fOpen.end(); ++it)
            if (it->reader->Taken() == 0 && (oldest == fOpen.end() || it->since < oldest->since))
                oldest = it;
        if (oldest == fOpen.end())
            return false;
        Busy(oldest->fd);
        fOpen.erase(oldest);
        return true;
    }
    // Accepts what waits; false when the system has no descriptor to spare for now.
    bool Accept(int listener);
    // Reads what a connection sent; false when it is done with here (handed on or closed).
    bool Read(Connection& c);
    static void HandOver(int fd, LNamedPipeRequestReader& reader);

    std::string fPath;
    std::atomic<bool> fListening { false };
    LSignalObject fBound;
    std::vector<Connection> fOpen;
};

bool LSingleInstance::Listener::Accept(int listener)
{
    for (int round = 0; round < 64; ++round) {
        const int fd = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE)
                return EvictIdle();
            // Nothing more waits, a client went before it was accepted, or a signal.
            return true;
        }
        if (!LNamedPipePeerIsSameUser(fd)) {
            ::close(fd);
            continue;
        }
        if (fOpen.size() >= kMaxConnections && !EvictIdle()) {
            Busy(fd);
            continue;
        }
        Connection c;
        c.fd = fd;
        c.since = Clock::now();
        c.reader = std::make_unique<LNamedPipeRequestReader>();
        fOpen.push_back(std::move(c));
    }
    return true;
}

bool LSingleInstance::Listener::Read(Connection& c)
{
    for (;;) {
        size_t room = 0;
        char* at = c.reader->Space(room);
        const ssize_t got = ::recv(c.fd, at, room, MSG_DONTWAIT);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        if (got <= 0)
            break; // the peer went before its request was whole: it is dropped
        const LNamedPipeRequestReader::State state = c.reader->Commit(size_t(got));
        if (state == LNamedPipeRequestReader::kDone) {
            HandOver(c.fd, *c.reader);
            c.fd = -1;
            return false;
        }
        if (state == LNamedPipeRequestReader::kBad)
            break;
    }
    ::close(c.fd);
    c.fd = -1;
    return false;
}

void LSingleInstance::Listener::HandOver(int fd, LNamedPipeRequestReader& reader)
{
    auto arguments = std::make_shared<LSingleInstance::Arguments>(std::move(reader.Arguments()));
    // The connection stays open for the answer; whoever holds the reply last closes it.
    auto reply = std::make_shared<LSingleInstanceReply>(fd, reader.Features());
    if (gClosing.load()) {
        reply->Finish(1, kLSingleInstanceClosingText);
        return;
    }
    LRunLoop::Post([arguments, reply] {
        LZORAPIReplyScope current(reply);
        if (auto receiver = _LGetReceiver(); receiver && !gClosing.load())
            (*receiver)(*arguments);
        else
            reply->Finish(1, kLSingleInstanceClosingText);
    });
}

void LSingleInstance::Listener::ThreadFunction()
{
    const int listener = LNamedPipeListen(fPath.c_str());
    if (listener < 0) {
        fBound.Signal();
        return;
    }
    fListening = true;
    fBound.Signal();
    std::vector<struct pollfd> entries;
    bool accepting = true;
    for (;;) {
        // A connection whose request is not whole in time is closed unanswered.
        const auto now = Clock::now();
        const auto limit = std::chrono::milliseconds(kRequestTimeoutMs);
        auto next = now + std::chrono::seconds(1);
        for (auto it = fOpen.begin(); it != fOpen.end();) {
            if (now - it->since >= limit) {
                ::close(it->fd);
                it = fOpen.erase(it);
                continue;
            }
            next = std::min(next, it->since + limit);
            ++it;
        }
        entries.clear();
        entries.push_back({ GetStopSignal().GetReadFd(), POLLIN, 0 });
        // Without a descriptor to spare, accepting waits a moment rather than spinning.
        entries.push_back({ accepting ? listener : -1, POLLIN, 0 });
        for (const Connection& c : fOpen)
            entries.push_back({ c.fd, POLLIN, 0 });
        const long long wait = accepting ? std::max<long long>(1, _LMsUntil(next)) : 100;
        const int n = ::poll(entries.data(), entries.size(), int(wait));
        if (n < 0 && errno != EINTR)
            break;
        if (entries[0].revents & POLLIN)
            break;
        // The connections first (their entries follow the open list's order), then new ones.
        size_t index = 2;
        for (auto it = fOpen.begin(); it != fOpen.end(); ++index) {
            if (entries[index].revents && !Read(*it)) {
                it = fOpen.erase(it);
                continue;
            }
            ++it;
        }
        accepting = !(entries[1].revents & POLLIN) || Accept(listener);
    }
    for (Connection& c : fOpen)
        ::close(c.fd);
    fOpen.clear();
    fListening = false;
    ::close(listener);
    ::unlink(fPath.c_str());
}

// ---- The instance
// --------------------------------------------------------------------------------

LSingleInstance::LSingleInstance(const char* channel)
    : fChannel(channel ? channel : kLSingleInstanceChannel)
{
}

LSingleInstance::~LSingleInstance()
{
    Stop();
    if (fDelivery >= 0)
        ::close(fDelivery);
}

LSingleInstance::Outcome LSingleInstance::Start(
    int argc, const char* const* argv, Receiver receiver, const LSingleInstanceFileKey& isFile)
{
    fRefusal.clear();
    LChannelLock lock(fChannel);
    LNamedPipeRef pipe;
    if (pipe._Open(fChannel.c_str()) >= 0) {
        std::vector<const char*> kept = LSingleInstanceRecordArguments(argc, argv);
        Arguments arguments(kept.begin(), kept.end());
        if (isFile) {
            // A folder that cannot be read leaves relative paths as they are: the running
            // instance refuses them.
            std::string folder;
            if (char* cwd = ::getcwd(nullptr, 0)) {
                folder = cwd;
                std::free(cwd);
            }
            arguments = LSingleInstanceAbsoluteArguments(std::move(arguments), folder, isFile);
        }
        if (!LNamedPipeRequestFits(arguments)) {
            fRefusal = "Begäran är för stor för att lämnas till Vorantel (högst "
                + std::to_string(kLNamedPipeMaxRequestArguments) + " argument och "
                + std::to_string(kLNamedPipeMaxRequestBytes >> 20) + " MiB). Ingenting har gjorts.";
            return kRefused;
        }
        LProcessInterfaceVoid quiet;
        const LProcessResult r = ProcessNamedPipeSendRequest(
            quiet, pipe.GetDescriptor(), arguments, kSendTimeoutMs, kLSingleInstanceFeatures);
        if (r != LProcessResultSuccess) {
            // A running instance with no room closes the connection before the request is in,
            // after saying so: that answer is still there to be read.
            struct pollfd entry = { pipe.GetDescriptor(), POLLIN, 0 };
            if (::poll(&entry, 1, 200) <= 0)
                return kFailed;
        }
        if (fDelivery >= 0)
            ::close(fDelivery);
        fDelivery = pipe.Detach();
        return kDelivered;
    }
    char path[kLPathSize];
    std::string why;
    char folder[kLPathSize];
    if (!LNamedPipeGetRuntimeFolder(folder, &why)
        || !LNamedPipeRef::MakeFilePath(path, fChannel.c_str())) {
        if (why.empty())
            why = "Sökvägen till kanalen i mappen ”" + std::string(folder) + "” är för lång.";
        fRefusal = "Vorantel kan inte se om programmet redan körs: " + why
            + " Därför startar Vorantel nu som ett eget program, även om ett annat redan är "
              "öppet.";
        return kAlone;
    }
    gClosing = false;
    _LSetReceiver(std::make_shared<Receiver>(std::move(receiver)));
    auto listener = std::make_unique<Listener>(path);
    listener->Start(20);
    if (!listener->WaitListening(2000)) {
        _LSetReceiver(nullptr);
        fRefusal = "Vorantel kan inte se om programmet redan körs: kanalen ”" + std::string(path)
            + "” kunde inte öppnas. Därför startar Vorantel nu som ett eget program, även om "
              "ett annat redan är öppet.";
        return kAlone;
    }
    fListener = std::move(listener);
    return kPrimary;
}

LSingleInstance::Answer LSingleInstance::WaitAnswer(unsigned int silenceMs, unsigned int queuedMs)
{
    const int fd = fDelivery;
    fDelivery = -1;
    if (fd < 0)
        return Answer();
    const Answer answer = ReadAnswer(fd, silenceMs, queuedMs);
    ::close(fd);
    return answer;
}

LSingleInstance::Answer LSingleInstance::ReadAnswer(
    int fd, unsigned int silenceMs, unsigned int queuedMs)
{
    Answer answer;
    bool taken = false;
    auto silence = std::chrono::milliseconds(silenceMs);
    auto end = Clock::now() + silence;
    std::string bytes;
    auto lost = [&] {
        if (answer.state != Answer::kQueued)
            answer.state = taken ? Answer::kLost : Answer::kNoAnswer;
        return answer;
    };
    for (;;) {
        LSingleInstanceFrame frame;
        int got;
        while ((got = LSingleInstanceTakeFrame(bytes, frame)) == 1) {
            switch (frame.kind) {
            case 'P':
                taken = true;
                if (answer.state != Answer::kQueued)
                    end = Clock::now() + silence;
                break;
            case 'W':
                answer.warnings.push_back(frame.text);
                break;
            case 'Q':
                taken = true;
                answer.state = Answer::kQueued;
                answer.text = frame.text;
                end = std::min(end, Clock::now() + std::chrono::milliseconds(queuedMs));
                break;
            default:
                answer.result = frame.result;
                answer.text = frame.text;
                answer.state = frame.result == 0                         ? Answer::kDone
                    : frame.result == kLSingleInstanceNotTaken && !taken ? Answer::kBusy
                                                                         : Answer::kRefused;
                return answer;
            }
        }
        if (got < 0)
            return lost();
        const long long left = _LMsUntil(end);
        if (left <= 0)
            return lost();
        struct pollfd entry = { fd, POLLIN, 0 };
        const int ready = ::poll(&entry, 1, int(std::min<long long>(left, 1000)));
        if (ready < 0 && errno != EINTR)
            return lost();
        if (ready <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0)
            bytes.append(buffer, size_t(n));
        else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            return lost(); // the running instance ended the connection
    }
}

void LSingleInstance::SetClosing()
{
    if (fListener)
        gClosing = true;
}

void LSingleInstance::Stop()
{
    if (!fListener)
        return;
    gClosing = true;
    _LSetReceiver(nullptr);
    fListener.reset();
    // What was taken and not carried out will not be now.
    if (LRunLoop::IsMainThread()) {
        std::set<LSingleInstanceReply*>& taken = _LTakenReplies();
        const std::vector<LSingleInstanceReply*> left(taken.begin(), taken.end());
        for (LSingleInstanceReply* r : left)
            if (taken.count(r))
                r->Finish(1, kLSingleInstanceClosingText);
    }
}

void LSingleInstanceDispatch(const LSingleInstance::Arguments& arguments,
    LZORAPIServerHandler& handler, const std::function<void()>& bringForward)
{
    if (arguments.empty())
        return;
    if (arguments.size() == 1) {
        if (bringForward)
            bringForward();
        if (auto answer = LZORAPICurrentReply())
            answer->Finish(0, "OK");
        return;
    }
    std::vector<const char*> argv;
    for (size_t i = 1; i < arguments.size(); ++i)
        argv.push_back(arguments[i].c_str());
    char reply[kLZORAPIReplySize];
    std::shared_ptr<LZORAPIReply> answer = LZORAPICurrentReply();
    const int result = handler.ExecuteCommand(int(argv.size()), argv.data(), reply);
    if (answer && !answer->IsAnsweredLater())
        answer->Finish(result, reply);
}
