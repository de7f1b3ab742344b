#include "lfw/unix/LNamedPipe.h"

#include "lfw/gen/LFormat.h"
#include "lfw/gen/LString.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
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

void CopyData::SetArguments(int argc, const char* const* argv)
{
    std::memset(this, 0, sizeof *this);
    count = argc < 0 ? 0 : (argc > kMaxArguments ? kMaxArguments : argc);
    for (int i = 0; i < count; ++i)
        utf8strlcpy(arguments[i], argv[i] ? argv[i] : "", kSlotSize);
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

LProcessResult ProcessNamedPipeReceiveRecord(LProcessInterface& job, int fd, CopyData& record)
{
    char* p = reinterpret_cast<char*>(&record);
    size_t left = sizeof record;
    while (left > 0) {
        ssize_t n = recv(fd, p, left, 0);
        if (n > 0) {
            p += n;
            left -= size_t(n);
            continue;
        }
        if (n == 0)
            return LProcessResultError;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return LProcessResultError;
        LProcessResult r = job.ProcessWaitSignal(LSignalObjectRef(fd, -1), 200);
        if (r == LProcessResultStopped || job.IsToStop())
            return LProcessResultStopped;
    }
    record.Terminate();
    return LProcessResultSuccess;
}

LProcessResult ProcessNamedPipeSendRecord(
    LProcessInterface& job, int fd, const CopyData& record, unsigned int timeoutMs)
{
    const char* p = reinterpret_cast<const char*>(&record);
    size_t left = sizeof record;
    unsigned waited = 0;
    while (left > 0) {
        if (job.IsToStop())
            return LProcessResultStopped;
        ssize_t n = send(fd, p, left, MSG_NOSIGNAL);
        if (n > 0) {
            p += n;
            left -= size_t(n);
            waited = 0;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
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
