#include "lfw/zor/LSingleInstance.h"

#include "platform/ui/LRunLoop.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
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
    LRunLoop::Post([record] {
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
        return r == LProcessResultSuccess ? kDelivered : kFailed;
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
        return;
    }
    const char* argv[CopyData::kMaxArguments];
    for (int i = 1; i < count; ++i)
        argv[i - 1] = record.arguments[i];
    char reply[kLZORAPIReplySize];
    handler.ExecuteCommand(count - 1, argv, reply);
}
