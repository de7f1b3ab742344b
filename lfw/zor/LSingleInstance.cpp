#include "lfw/zor/LSingleInstance.h"

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
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The receiver of the running instance; requests that arrive when there is none are answered
// that the instance is closing.
std::mutex gReceiverLock;
std::shared_ptr<LSingleInstance::Receiver> gReceiver;
std::atomic<bool> gClosing { false };

std::shared_ptr<LSingleInstance::Receiver> _LGetReceiver()
{
    std::lock_guard<std::mutex> lock(gReceiverLock);
    return gReceiver;
}

void _LSetReceiver(std::shared_ptr<LSingleInstance::Receiver> receiver)
{
    std::lock_guard<std::mutex> lock(gReceiverLock);
    gReceiver = std::move(receiver);
}

// A stop request of the thread, or the end of the time a connection may stay silent.
class LDeadlineJob : public LProcessInterfaceNested {
public:
    LDeadlineJob(LProcessInterface& parent, unsigned int ms)
        : LProcessInterfaceNested(parent)
        , fEnd(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms))
    {
    }
    bool IsToStop() override
    {
        return m_parent->IsToStop() || std::chrono::steady_clock::now() >= fEnd;
    }

private:
    std::chrono::steady_clock::time_point fEnd;
};

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

// Writes all of data within ms; false when the peer went or did not take it in time.
bool SendWithin(int fd, const unsigned char* data, size_t n, int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
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
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now())
                              .count();
        struct pollfd entry = { fd, POLLOUT, 0 };
        if (left <= 0 || ::poll(&entry, 1, int(left)) <= 0)
            return false;
    }
    return true;
}

// The running instance's side of the answer: the connection the record came over.
class LSingleInstanceReply : public LZORAPIReply {
public:
    explicit LSingleInstanceReply(int fd)
        : fFd(fd)
    {
    }
    ~LSingleInstanceReply() override
    {
        if (fFd >= 0)
            ::close(fFd);
    }

protected:
    void SendQueued(const char* text) override
    {
        if (fFd >= 0)
            Send('Q', 0, text);
    }
    void SendFinished(int result, const char* text) override
    {
        if (fFd < 0)
            return;
        Send('F', result, text);
        // One outcome per request: the connection ends here.
        if (fFd >= 0)
            ::close(fFd);
        fFd = -1;
    }

private:
    void Send(char kind, int result, const char* text)
    {
        const size_t length = std::min(std::strlen(text), kLZORAPIReplySize);
        unsigned char frame[kFrameHeader + kLZORAPIReplySize];
        frame[0] = static_cast<unsigned char>(kind);
        const uint32_t r = static_cast<uint32_t>(result);
        const uint32_t n = static_cast<uint32_t>(length);
        for (int i = 0; i < 4; ++i) {
            frame[1 + i] = static_cast<unsigned char>(r >> (8 * i));
            frame[5 + i] = static_cast<unsigned char>(n >> (8 * i));
        }
        std::memcpy(frame + kFrameHeader, text, length);
        // The waiting start may have gone: its answer is then nobody's.
        if (!SendWithin(fFd, frame, kFrameHeader + length, 1000)) {
            ::close(fFd);
            fFd = -1;
        }
    }
    int fFd;
};

} // namespace

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

void LMainWindowPipeListenerThread::ThreadFunction()
{
    auto arguments = std::make_shared<LSingleInstance::Arguments>();
    LDeadlineJob job(*this, kIdleTimeoutMs);
    if (ProcessNamedPipeReceiveRequest(job, fFd, *arguments) != LProcessResultSuccess)
        return; // an incomplete request is dropped
    if (IsToStop())
        return;
    // The connection stays open for the answer; whoever holds the reply last closes it.
    auto reply = std::make_shared<LSingleInstanceReply>(fFd);
    fFd = -1;
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

class LSingleInstance::Listener : public LPipeListenerWithThreads<LMainWindowPipeListenerThread> {
protected:
    void NewConnection(LServerPipe& connection) override
    {
        if (GetThreads().GetCount() >= kMaxConnections)
            return; // the listener closes it
        LPipeListenerWithThreads<LMainWindowPipeListenerThread>::NewConnection(connection);
    }
};

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
        LProcessResult r
            = ProcessNamedPipeSendRequest(quiet, pipe.GetDescriptor(), arguments, kSendTimeoutMs);
        if (r != LProcessResultSuccess)
            return kFailed;
        if (fDelivery >= 0)
            ::close(fDelivery);
        fDelivery = pipe.Detach();
        return kDelivered;
    }
    char path[kLPathSize];
    if (!LNamedPipeRef::MakeFilePath(path, fChannel.c_str()))
        return kPrimary; // no channel can be had: run alone
    gClosing = false;
    _LSetReceiver(std::make_shared<Receiver>(std::move(receiver)));
    auto listener = std::make_unique<Listener>();
    if (listener->SetPath(path)) {
        listener->Start(20);
        if (listener->WaitListening(2000))
            fListener = std::move(listener);
    }
    return kPrimary;
}

LSingleInstance::Answer LSingleInstance::WaitAnswer(unsigned int timeoutMs, unsigned int queuedMs)
{
    Answer answer;
    const int fd = fDelivery;
    fDelivery = -1;
    if (fd < 0)
        return answer;
    using Clock = std::chrono::steady_clock;
    auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string bytes;
    for (;;) {
        // Whole frames first.
        while (bytes.size() >= kFrameHeader) {
            const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
            uint32_t result = 0, length = 0;
            for (int i = 0; i < 4; ++i) {
                result |= uint32_t(b[1 + i]) << (8 * i);
                length |= uint32_t(b[5 + i]) << (8 * i);
            }
            if ((b[0] != 'Q' && b[0] != 'F') || length > kLZORAPIReplySize) {
                ::close(fd);
                answer.state = Answer::kNoAnswer;
                return answer;
            }
            if (bytes.size() < kFrameHeader + length)
                break;
            if (b[0] == 'Q') {
                answer.state = Answer::kQueued;
                answer.text = bytes.substr(kFrameHeader, length);
                const auto grace = Clock::now() + std::chrono::milliseconds(queuedMs);
                end = std::min(end, grace);
            } else {
                answer.result = int32_t(result);
                answer.text = bytes.substr(kFrameHeader, length);
                answer.state = answer.result == 0 ? Answer::kDone : Answer::kRefused;
                ::close(fd);
                return answer;
            }
            bytes.erase(0, kFrameHeader + length);
        }
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0)
            break;
        struct pollfd entry = { fd, POLLIN, 0 };
        const int ready = ::poll(&entry, 1, int(std::min<long long>(left, 1000)));
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0)
            bytes.append(buffer, size_t(n));
        else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            break; // the running instance ended the connection
    }
    ::close(fd);
    return answer;
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
    if (answer && !answer->IsQueued())
        answer->Finish(result, reply);
}
