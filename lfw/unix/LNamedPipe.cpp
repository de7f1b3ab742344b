#include "lfw/unix/LNamedPipe.h"

#include "lfw/gen/LFormat.h"
#include "lfw/gen/LString.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A folder that is this user's own and closed to everyone else (not a link).
bool _LIsPrivateFolder(const char* path)
{
    struct stat st;
    if (lstat(path, &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    return st.st_uid == getuid() && (st.st_mode & 077) == 0;
}

bool _LFillAddress(const char* path, sockaddr_un& address)
{
    address = {};
    address.sun_family = AF_UNIX;
    size_t n = std::strlen(path);
    if (n == 0 || n >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path, n + 1);
    return true;
}

int _LConnect(const char* path)
{
    sockaddr_un address;
    if (!_LFillAddress(path, address))
        return -1;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    int rc;
    do
        rc = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

bool CopyData::Fits(int argc, const char* const* argv)
{
    if (argc < 0 || argc > kMaxArguments)
        return false;
    for (int i = 0; i < argc; ++i)
        if (argv[i] && std::strlen(argv[i]) >= kSlotSize)
            return false;
    return true;
}

bool CopyData::SetArguments(int argc, const char* const* argv)
{
    std::memset(static_cast<void*>(this), 0, sizeof *this);
    if (!Fits(argc, argv))
        return false;
    count = argc;
    for (int i = 0; i < count; ++i)
        std::strcpy(arguments[i], argv[i] ? argv[i] : "");
    return true;
}

void CopyData::Terminate()
{
    if (count < 0)
        count = 0;
    if (count > kMaxArguments)
        count = kMaxArguments;
    for (auto& slot : arguments)
        slot[kSlotSize - 1] = 0;
}

bool LNamedPipeGetRuntimeFolder(char* out)
{
    out[0] = 0;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime == '/' && std::strlen(runtime) < kLPathSize
        && _LIsPrivateFolder(runtime)) {
        std::strcpy(out, runtime);
        return true;
    }
    const char* tmp = std::getenv("TMPDIR");
    if (!tmp || *tmp != '/')
        tmp = "/tmp";
    char folder[kLPathSize];
    if (LStringFormat(folder, sizeof folder, "%s/vorantel-%u", tmp, unsigned(getuid()))
        >= sizeof folder - 1)
        return false;
    if (mkdir(folder, 0700) != 0 && errno != EEXIST)
        return false;
    if (!_LIsPrivateFolder(folder))
        return false;
    std::strcpy(out, folder);
    return true;
}

bool LNamedPipeRef::MakeFilePath(char* pathOut, const char* name, const char*)
{
    pathOut[0] = 0;
    char folder[kLPathSize];
    if (!LNamedPipeGetRuntimeFolder(folder))
        return false;
    char file[kLPathSize];
    LStringFormat(file, sizeof file, ".spipe.%s", name);
    if (std::strchr(name, '/') || !LFile::_MakeFilePath(pathOut, folder, file, ""))
        return false;
    if (std::strlen(pathOut) >= sizeof(sockaddr_un::sun_path)) {
        pathOut[0] = 0;
        return false;
    }
    return true;
}

int LNamedPipeRef::_Open(const char* name, const char*)
{
    Close();
    char path[kLPathSize];
    if (!MakeFilePath(path, name) || !LFile::TestFileExists(path))
        return -1;
    int fd = _LConnect(path);
    if (fd < 0)
        return -1;
    if (!LNamedPipePeerIsSameUser(fd)) {
        close(fd);
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    fFd = fd;
    return fd;
}

void LNamedPipeRef::Close()
{
    if (fFd >= 0)
        close(fFd);
    fFd = -1;
}

int LNamedPipeRef::Detach()
{
    int fd = fFd;
    fFd = -1;
    return fd;
}

bool LNamedPipePeerIsSameUser(int fd)
{
    struct ucred cred = {};
    socklen_t len = sizeof cred;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0)
        return false;
    return cred.uid == getuid();
}

int LNamedPipeListen(const char* path)
{
    sockaddr_un address;
    if (!_LFillAddress(path, address))
        return -1;
    struct stat st;
    if (lstat(path, &st) == 0) {
        if (!S_ISSOCK(st.st_mode))
            return -1; // not ours to delete
        int live = _LConnect(path);
        if (live >= 0) {
            close(live);
            return -1;
        }
        unlink(path);
    }
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    // Made 0600 from the start: nobody else can connect between bind and chmod.
    mode_t old = umask(077);
    int rc = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    umask(old);
    if (rc != 0) {
        close(fd);
        return -1;
    }
    chmod(path, 0600);
    if (listen(fd, 5) != 0) {
        close(fd);
        unlink(path);
        return -1;
    }
    return fd;
}

namespace {

// Receives exactly n bytes, waiting through the job.
LProcessResult _LReceiveBytes(LProcessInterface& job, int fd, char* p, size_t n)
{
    while (n > 0) {
        ssize_t got = recv(fd, p, n, 0);
        if (got > 0) {
            p += got;
            n -= size_t(got);
            continue;
        }
        if (got == 0)
            return LProcessResultError;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return LProcessResultError;
        LProcessResult r = job.ProcessWaitSignal(LSignalObjectRef(fd, -1), 200);
        if (r == LProcessResultStopped || job.IsToStop())
            return LProcessResultStopped;
    }
    return LProcessResultSuccess;
}

// Sends exactly n bytes; an error when the peer takes nothing for timeoutMs.
LProcessResult _LSendBytes(
    LProcessInterface& job, int fd, const char* p, size_t n, unsigned int timeoutMs)
{
    unsigned waited = 0;
    while (n > 0) {
        if (job.IsToStop())
            return LProcessResultStopped;
        ssize_t put = send(fd, p, n, MSG_NOSIGNAL);
        if (put > 0) {
            p += put;
            n -= size_t(put);
            waited = 0;
            continue;
        }
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return LProcessResultError;
        struct pollfd entry = { fd, POLLOUT, 0 };
        if (poll(&entry, 1, 200) == 0) {
            waited += 200;
            if (waited >= timeoutMs)
                return LProcessResultError;
        }
    }
    return LProcessResultSuccess;
}

// The argument and byte counts that follow a continued record.
struct _LContinuation {
    uint32_t arguments = 0;
    uint32_t bytes = 0;
};

size_t _LRequestBytes(const std::vector<std::string>& arguments)
{
    size_t n = 0;
    for (const std::string& a : arguments)
        n += std::strlen(a.c_str()) + 1;
    return n;
}

} // namespace

bool LNamedPipeRequestFits(const std::vector<std::string>& arguments)
{
    return arguments.size() <= kLNamedPipeMaxRequestArguments
        && _LRequestBytes(arguments) <= kLNamedPipeMaxRequestBytes;
}

LProcessResult ProcessNamedPipeReceiveRecord(LProcessInterface& job, int fd, CopyData& record)
{
    LProcessResult r = _LReceiveBytes(job, fd, reinterpret_cast<char*>(&record), sizeof record);
    if (r != LProcessResultSuccess)
        return r;
    record.Terminate();
    return LProcessResultSuccess;
}

LProcessResult ProcessNamedPipeSendRecord(
    LProcessInterface& job, int fd, const CopyData& record, unsigned int timeoutMs)
{
    return _LSendBytes(job, fd, reinterpret_cast<const char*>(&record), sizeof record, timeoutMs);
}

LProcessResult ProcessNamedPipeSendRequest(LProcessInterface& job, int fd,
    const std::vector<std::string>& arguments, unsigned int timeoutMs)
{
    if (!LNamedPipeRequestFits(arguments))
        return LProcessResultError;
    std::vector<const char*> argv;
    for (const std::string& a : arguments)
        argv.push_back(a.c_str());
    auto record = std::make_unique<CopyData>();
    if (record->SetArguments(int(argv.size()), argv.data()))
        return ProcessNamedPipeSendRecord(job, fd, *record, timeoutMs);
    record->count = CopyData::kContinued;
    _LContinuation continuation;
    continuation.arguments = uint32_t(arguments.size());
    std::string bytes;
    bytes.reserve(_LRequestBytes(arguments));
    for (const char* a : argv)
        bytes.append(a, std::strlen(a) + 1);
    continuation.bytes = uint32_t(bytes.size());
    LProcessResult r = ProcessNamedPipeSendRecord(job, fd, *record, timeoutMs);
    if (r == LProcessResultSuccess)
        r = _LSendBytes(
            job, fd, reinterpret_cast<const char*>(&continuation), sizeof continuation, timeoutMs);
    if (r == LProcessResultSuccess)
        r = _LSendBytes(job, fd, bytes.data(), bytes.size(), timeoutMs);
    return r;
}

LProcessResult ProcessNamedPipeReceiveRequest(
    LProcessInterface& job, int fd, std::vector<std::string>& arguments)
{
    arguments.clear();
    auto record = std::make_unique<CopyData>();
    LProcessResult r
        = _LReceiveBytes(job, fd, reinterpret_cast<char*>(record.get()), sizeof *record);
    if (r != LProcessResultSuccess)
        return r;
    if (record->count != CopyData::kContinued) {
        record->Terminate();
        arguments.assign(record->arguments, record->arguments + record->count);
        return LProcessResultSuccess;
    }
    _LContinuation continuation;
    r = _LReceiveBytes(job, fd, reinterpret_cast<char*>(&continuation), sizeof continuation);
    if (r != LProcessResultSuccess)
        return r;
    if (continuation.arguments == 0 || continuation.arguments > kLNamedPipeMaxRequestArguments
        || continuation.bytes < continuation.arguments
        || continuation.bytes > kLNamedPipeMaxRequestBytes)
        return LProcessResultError;
    // Read as it comes: a peer that announces more than it sends costs no more than it sent.
    std::string bytes;
    while (bytes.size() < continuation.bytes) {
        const size_t at = bytes.size();
        const size_t step = std::min<size_t>(continuation.bytes - at, 1u << 20);
        bytes.resize(at + step);
        r = _LReceiveBytes(job, fd, bytes.data() + at, step);
        if (r != LProcessResultSuccess)
            return r;
    }
    // Exactly the announced arguments, the last one ended too.
    if (bytes.back() != '\0')
        return LProcessResultError;
    std::vector<std::string> received;
    for (size_t at = 0; at < bytes.size();) {
        const size_t end = bytes.find('\0', at);
        if (received.size() == continuation.arguments)
            return LProcessResultError;
        received.emplace_back(bytes, at, end - at);
        at = end + 1;
    }
    if (received.size() != continuation.arguments)
        return LProcessResultError;
    arguments = std::move(received);
    return LProcessResultSuccess;
}
