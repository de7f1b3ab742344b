#include "lfw/gen/LFileSave.h"
#include "lfw/gen/LFileInternal.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

int LFileCreateTemporary(char* out, const char* folder)
{
    out[0] = '\0';
    const char* where = folder && *folder ? folder : ".";
    int dir = ::open(where, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return -1;
    char name[8];
    int fd = _LFileCreateTemporaryAt(dir, name, 0666);
    if (fd >= 0 && !LFile::_MakeFilePath(out, folder && *folder ? folder : "", name, "")) {
        // The folder's path leaves no room for the name: refuse rather than cut.
        ::unlinkat(dir, name, 0);
        ::close(fd);
        fd = -1;
    }
    ::close(dir);
    return fd;
}

bool LFileMoveReplacing(const char* from, const char* to)
{
    if (!from || !to || !*from || !*to)
        return false;
    if (_LFileRename(from, to) == 0)
        return true;
    if (errno != EXDEV)
        return false;
    // Different volumes: copy over the target (made beside it and renamed into place, so the
    // target is never half-written), then remove the source.
    if (!_LFileCopyPath(from, to, true))
        return false;
    // The target is in place: a source that cannot be removed does not undo the move.
    ::unlink(from);
    return true;
}

namespace {

constexpr int kLargestLinkChain = 40; // as the kernel follows them

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a save replaces: the path with its links followed; exists tells whether it is there,
// st what it is. False for a link loop, a chain too long, or a path that cannot be looked at.
bool ResolveTarget(std::string path, std::string& out, bool& exists, struct stat& st)
{
    for (int hop = 0; hop <= kLargestLinkChain; ++hop) {
        if (::lstat(path.c_str(), &st) != 0) {
            if (errno != ENOENT)
                return false;
            out = path;
            exists = false;
            return true;
        }
        if (!S_ISLNK(st.st_mode)) {
            out = path;
            exists = true;
            return true;
        }
        std::string link(size_t(st.st_size > 0 ? st.st_size : PATH_MAX) + 1, '\0');
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n <= 0 || size_t(n) >= link.size())
            return false;
        link.resize(size_t(n));
        path = link[0] == '/' ? link : FolderOf(path) + "/" + link;
    }
    errno = ELOOP;
    return false;
}

// The temporary name for a file: ".<name>.XXXXXX", the name shortened (at a character boundary)
// where the whole would not be a valid file name.
std::string TemporaryPrefix(const std::string& name)
{
    constexpr size_t kLongestName = 255 - 8; // room for the dot, the dot and six characters
    std::string shown = name;
    if (shown.size() > kLongestName) {
        size_t cut = kLongestName;
        while (cut > 0 && (static_cast<unsigned char>(shown[cut]) & 0xC0) == 0x80)
            --cut;
        shown.resize(cut);
    }
    return "." + shown + ".";
}

// Creates a new file "<prefix>XXXXXX" in the folder, read-write, close-on-exec, with mode 0666
// less the umask. Returns the descriptor (-1 on failure) and the file's name.
int CreateTemporaryIn(int dir, const std::string& prefix, std::string& name)
{
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static std::atomic<uint64_t> counter { 0 };
    uint64_t seed = uint64_t(::getpid()) * 0x9E3779B97F4A7C15ull
        ^ uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 1000; ++attempt) {
        uint64_t v = seed + (counter.fetch_add(1) + 1) * 0xD1B54A32D192ED03ull;
        v ^= v >> 29;
        name = prefix;
        for (int i = 0; i < 6; ++i, v /= 62)
            name += kLetters[v % 62];
        const int fd
            = ::openat(dir, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0)
            return fd;
        if (errno != EEXIST)
            break;
    }
    name.clear();
    return -1;
}

} // namespace

LFileSave::~LFileSave()
{
    Discard();
}

bool LFileSave::Begin(const char* target, const char* folder)
{
    Discard();
    m_target.clear();
    if (!target || !*target || std::strlen(target) >= PATH_MAX)
        return false;
    std::string resolved;
    bool exists = false;
    struct stat old { };
    if (!ResolveTarget(target, resolved, exists, old))
        return false;
    // Only a regular file is replaced: a FIFO, device, socket or folder is left alone.
    if (exists && !S_ISREG(old.st_mode))
        return false;
    const std::string where = folder && *folder ? std::string(folder) : FolderOf(resolved);
    const int dir = ::open(where.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return false;
    std::string name;
    const int fd = CreateTemporaryIn(dir, TemporaryPrefix(NameOf(resolved)), name);
    ::close(dir);
    if (fd < 0)
        return false;
    if (exists) {
        // The new file keeps what the old one had: owner and group where this process may set
        // them (the group alone where only that is allowed), then the permission bits.
        if (::fchown(fd, old.st_uid, old.st_gid) != 0)
            (void)::fchown(fd, uid_t(-1), old.st_gid);
        ::fchmod(fd, old.st_mode & 07777);
    }
    m_target = resolved;
    m_temporary = where + (where.back() == '/' ? "" : "/") + name;
    // Writers hold an exclusive lock from the start; nobody else knows the file yet.
    ::flock(fd, LOCK_EX | LOCK_NB);
    m_stream.Attach(fd);
    return true;
}

bool LFileSave::Commit()
{
    if (m_temporary.empty())
        return false;
    bool ok = m_stream.IsGood() && m_stream.Flush() && ::fsync(m_stream.GetDescriptor()) == 0;
    ok = m_stream.Close() && ok;
    ok = ok && LFileMoveReplacing(m_temporary.c_str(), m_target.c_str());
    if (!ok)
        ::unlink(m_temporary.c_str());
    m_temporary.clear();
    return ok;
}

void LFileSave::Discard()
{
    m_stream.Close();
    if (!m_temporary.empty())
        ::unlink(m_temporary.c_str());
    m_temporary.clear();
}
