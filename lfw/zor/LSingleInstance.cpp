#include "lfw/zor/LSingleInstance.h"

#include "platform/ui/LRunLoop.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The receiver of the running instance; records that arrive when there is none are dropped.
std::mutex gReceiverLock;
std::shared_ptr<LSingleInstance::Receiver> gReceiver;

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
    void Queued() override
    {
        if (fQueued || fFd < 0)
            return;
        fQueued = true;
        Send('Q', 0, "");
    }
    void Finish(int result, const char* text) override
    {
        if (fFd < 0)
            return;
        Send('F', result, text ? text : "");
        // One outcome per request: the connection ends here.
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

void LMainWindowPipeListenerThread::ThreadFunction()
{
    auto record = std::make_shared<CopyData>();
    LDeadlineJob job(*this, kIdleTimeoutMs);
    if (ProcessNamedPipeReceiveRecord(job, fFd, *record) != LProcessResultSuccess)
        return; // an incomplete record is dropped
    if (IsToStop())
        return;
    // The connection stays open for the answer; whoever holds the reply last closes it.
    auto reply = std::make_shared<LSingleInstanceReply>(fFd);
    fFd = -1;
    LRunLoop::Post([record, reply] {
        LZORAPIReplyScope current(reply);
        if (auto receiver = _LGetReceiver())
            (*receiver)(*record);
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
    int argc, const char* const* argv, Receiver receiver)
{
    LChannelLock lock(fChannel);
    LNamedPipeRef pipe;
    if (pipe._Open(fChannel.c_str()) >= 0) {
        std::vector<const char*> arguments = LSingleInstanceRecordArguments(argc, argv);
        CopyData record;
        record.SetArguments(static_cast<int>(arguments.size()), arguments.data());
        LProcessInterfaceVoid quiet;
        LProcessResult r
            = ProcessNamedPipeSendRecord(quiet, pipe.GetDescriptor(), record, kSendTimeoutMs);
        if (r != LProcessResultSuccess)
            return kFailed;
        if (fDelivery >= 0)
            ::close(fDelivery);
        fDelivery = pipe.Detach();
        fDeliveredRequest = record.count > 1;
        return kDelivered;
    }
    char path[kLPathSize];
    if (!LNamedPipeRef::MakeFilePath(path, fChannel.c_str()))
        return kPrimary; // no channel can be had: run alone
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
    if (!fDeliveredRequest) {
        ::close(fd);
        answer.state = Answer::kDone;
        return answer;
    }
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

void LSingleInstance::Stop()
{
    if (!fListener)
        return;
    _LSetReceiver(nullptr);
    fListener.reset();
}

void LSingleInstanceDispatch(const CopyData& record, LZORAPIServerHandler& handler,
    const std::function<void()>& bringForward)
{
    int count = record.count < CopyData::kMaxArguments ? record.count : CopyData::kMaxArguments;
    if (count <= 0)
        return;
    if (count == 1) {
        if (bringForward)
            bringForward();
        if (auto answer = LZORAPICurrentReply())
            answer->Finish(0, "OK");
        return;
    }
    const char* argv[CopyData::kMaxArguments];
    for (int i = 1; i < count; ++i)
        argv[i - 1] = record.arguments[i];
    char reply[kLZORAPIReplySize];
    std::shared_ptr<LZORAPIReply> answer = LZORAPICurrentReply();
    const int result = handler.ExecuteCommand(count - 1, argv, reply);
    if (answer && !answer->IsQueued())
        answer->Finish(result, reply);
}
