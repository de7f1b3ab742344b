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
#include <pwd.h>
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

// The user's home folder: $HOME when it is absolute, else the password database's.
std::string _LHomeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home == '/')
        return home;
    struct passwd entry;
    struct passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found
        && found->pw_dir && found->pw_dir[0] == '/')
        return found->pw_dir;
    return "";
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

bool LNamedPipeGetRuntimeFolder(char* out, std::string* why)
{
    out[0] = 0;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime == '/' && std::strlen(runtime) < kLPathSize
        && _LIsPrivateFolder(runtime)) {
        std::strcpy(out, runtime);
        return true;
    }
    // A folder of the user's own, under a cache folder no other user may write in: nobody else
    // can make it first. The host's name keeps two machines that share a home folder apart.
    std::string cache;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/')
        cache = xdg;
    else if (const std::string home = _LHomeFolder(); !home.empty())
        cache = home + "/.cache";
    char host[65] = "";
    if (gethostname(host, sizeof host - 1) != 0 || !host[0])
        std::strcpy(host, "localhost");
    for (char* c = host; *c; ++c)
        if (*c == '/')
            *c = '_';
    const std::string folder = cache + "/vorantel/run-" + host;
    auto refuse = [&](const char* what) {
        if (why)
            *why = "Mappen ”" + folder + "” " + what;
        return false;
    };
    if (cache.empty())
        return refuse("kan inte anges, eftersom användarens hemmapp inte är känd.");
    if (folder.size() >= kLPathSize)
        return refuse("har en för lång sökväg.");
    // Made with its parents, each closed to others when it is new.
    for (size_t at = 1; at != std::string::npos;) {
        at = folder.find('/', at + 1);
        const std::string part = folder.substr(0, at);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return refuse("kunde inte skapas.");
    }
    struct stat st;
    if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return refuse("är ingen mapp.");
    if (st.st_uid != getuid())
        return refuse("tillhör en annan användare.");
    if ((st.st_mode & 077) != 0)
        return refuse("är öppen för andra användare.");
    std::strcpy(out, folder.c_str());
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
    if (listen(fd, 64) != 0) {
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
    const std::vector<std::string>& arguments, unsigned int timeoutMs, const std::string& features)
{
    if (!LNamedPipeRequestFits(arguments))
        return LProcessResultError;
    std::vector<const char*> argv;
    for (const std::string& a : arguments)
        argv.push_back(a.c_str());
    auto record = std::make_unique<CopyData>();
    auto putFeatures = [&] {
        if (features.empty())
            return;
        char* slot = record->arguments[CopyData::kMaxArguments - 1];
        LStringFormat(slot, CopyData::kSlotSize, "%s%s", kLNamedPipeFeaturesMark, features.c_str());
    };
    const bool needsLastSlot = argv.size() >= size_t(CopyData::kMaxArguments) && !features.empty();
    if (!needsLastSlot && record->SetArguments(int(argv.size()), argv.data())) {
        putFeatures();
        return ProcessNamedPipeSendRecord(job, fd, *record, timeoutMs);
    }
    *record = CopyData();
    record->count = CopyData::kContinued;
    putFeatures();
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

// ---- Reading a request as it comes ------------------------------------------------------------

struct LNamedPipeRequestReader::Parts {
    CopyData record;
    _LContinuation continuation;
    std::string bytes;
};

LNamedPipeRequestReader::LNamedPipeRequestReader() = default;

LNamedPipeRequestReader::~LNamedPipeRequestReader()
{
    delete fParts;
}

char* LNamedPipeRequestReader::Space(size_t& n)
{
    n = 0;
    if (fState != kReading)
        return nullptr;
    if (!fParts)
        fParts = new Parts;
    switch (fPhase) {
    case 0:
        n = sizeof(CopyData) - fHave;
        return reinterpret_cast<char*>(&fParts->record) + fHave;
    case 1:
        n = sizeof(_LContinuation) - fHave;
        return reinterpret_cast<char*>(&fParts->continuation) + fHave;
    default: {
        // Grown as the bytes come: a peer that announces more than it sends costs no more than
        // it sent.
        const size_t left = fParts->continuation.bytes - fHave;
        n = std::min<size_t>(left, 1u << 20);
        if (fParts->bytes.size() < fHave + n)
            fParts->bytes.resize(fHave + n);
        return fParts->bytes.data() + fHave;
    }
    }
}

LNamedPipeRequestReader::State LNamedPipeRequestReader::Commit(size_t n)
{
    if (fState != kReading || !fParts)
        return fState;
    fHave += n;
    fTaken += n;
    if (fPhase == 0 && fHave == sizeof(CopyData))
        RecordDone();
    else if (fPhase == 1 && fHave == sizeof(_LContinuation))
        ContinuationDone();
    else if (fPhase == 2 && fHave == fParts->continuation.bytes)
        BytesDone();
    return fState;
}

size_t LNamedPipeRequestReader::Take(const void* data, size_t n)
{
    const char* p = static_cast<const char*>(data);
    size_t used = 0;
    while (used < n && fState == kReading) {
        size_t room = 0;
        char* at = Space(room);
        const size_t step = std::min(room, n - used);
        std::memcpy(at, p + used, step);
        used += step;
        Commit(step);
    }
    return used;
}

void LNamedPipeRequestReader::RecordDone()
{
    CopyData& record = fParts->record;
    const bool continued = record.count == CopyData::kContinued;
    record.Terminate();
    const char* last = record.arguments[CopyData::kMaxArguments - 1];
    const size_t mark = sizeof kLNamedPipeFeaturesMark - 1;
    if ((continued || record.count < CopyData::kMaxArguments)
        && std::strncmp(last, kLNamedPipeFeaturesMark, mark) == 0)
        fFeatures = last + mark;
    if (!continued) {
        fArguments.assign(record.arguments, record.arguments + record.count);
        fState = kDone;
        return;
    }
    fPhase = 1;
    fHave = 0;
}

void LNamedPipeRequestReader::ContinuationDone()
{
    const _LContinuation& c = fParts->continuation;
    if (c.arguments == 0 || c.arguments > kLNamedPipeMaxRequestArguments || c.bytes < c.arguments
        || c.bytes > kLNamedPipeMaxRequestBytes) {
        fState = kBad;
        return;
    }
    fPhase = 2;
    fHave = 0;
}

void LNamedPipeRequestReader::BytesDone()
{
    const std::string& bytes = fParts->bytes;
    const uint32_t count = fParts->continuation.arguments;
    // Exactly the announced arguments, the last one ended too.
    if (bytes.empty() || bytes.back() != '\0') {
        fState = kBad;
        return;
    }
    std::vector<std::string> received;
    for (size_t at = 0; at < bytes.size();) {
        const size_t end = bytes.find('\0', at);
        if (received.size() == count) {
            fState = kBad;
            return;
        }
        received.emplace_back(bytes, at, end - at);
        at = end + 1;
    }
    if (received.size() != count) {
        fState = kBad;
        return;
    }
    fArguments = std::move(received);
    // What was read is not kept twice.
    std::string().swap(fParts->bytes);
    fState = kDone;
}

LProcessResult ProcessNamedPipeReceiveRequest(
    LProcessInterface& job, int fd, std::vector<std::string>& arguments, std::string* features)
{
    arguments.clear();
    if (features)
        features->clear();
    LNamedPipeRequestReader reader;
    while (reader.GetState() == LNamedPipeRequestReader::kReading) {
        size_t n = 0;
        char* at = reader.Space(n);
        const LProcessResult r = _LReceiveBytes(job, fd, at, n);
        if (r != LProcessResultSuccess)
            return r;
        reader.Commit(n);
    }
    if (reader.GetState() != LNamedPipeRequestReader::kDone)
        return LProcessResultError;
    arguments = std::move(reader.Arguments());
    if (features)
        *features = reader.Features();
    return LProcessResultSuccess;
}
