#include "lfw/gen/LFileSave.h"
#include "lfw/gen/LFileInternal.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

bool IsTemporaryOf(const char* entry, const std::string& prefix)
{
    const size_t n = std::strlen(entry);
    if (n != prefix.size() + 6 || std::strncmp(entry, prefix.c_str(), prefix.size()) != 0)
        return false;
    for (size_t i = prefix.size(); i < n; ++i) {
        const char c = entry[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

std::atomic<bool> gUseUnnamedFiles { true };

// An unnamed file in the folder (O_TMPFILE), or -1 where the file system has none.
int CreateUnnamedIn(int dir)
{
#ifdef O_TMPFILE
    if (!gUseUnnamedFiles) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return ::openat(dir, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
#else
    (void)dir;
    errno = EOPNOTSUPP;
    return -1;
#endif
}

std::string DescriptorPath(int fd)
{
    return "/proc/self/fd/" + std::to_string(fd);
}

// A path that opens the file name in folder: the whole path where it fits, else the path of its
// open descriptor.
std::string PathOpening(const std::string& folder, const std::string& name, int fd)
{
    std::string whole = folder + (folder.back() == '/' ? "" : "/") + name;
    return whole.size() < PATH_MAX ? whole : DescriptorPath(fd);
}

std::string FileNameForText(const char* path)
{
    const char* slash = path ? std::strrchr(path, '/') : nullptr;
    return slash ? slash + 1 : path ? path : "";
}

} // namespace

LFileSave::~LFileSave()
{
    Discard();
}

void _LFileSaveUseUnnamedFiles(bool use)
{
    gUseUnnamedFiles = use;
}

bool LFileErrorIsDiskFull(int error)
{
    return error == ENOSPC || error == EDQUOT;
}

int LFileSave::RemoveStaleTemporaryFiles(const char* target, const char* folder)
{
    if (!target || !*target)
        return 0;
    const std::string path = target;
    const std::string where = folder && *folder ? std::string(folder) : FolderOf(path);
    const std::string prefix = TemporaryPrefix(NameOf(path));
    const int dir = ::open(where.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return 0;
    const int copy = ::dup(dir);
    DIR* listing = copy >= 0 ? ::fdopendir(copy) : nullptr;
    if (!listing) {
        if (copy >= 0)
            ::close(copy);
        ::close(dir);
        return 0;
    }
    std::vector<std::string> candidates;
    while (const dirent* entry = ::readdir(listing))
        if (IsTemporaryOf(entry->d_name, prefix))
            candidates.emplace_back(entry->d_name);
    ::closedir(listing);
    int removed = 0;
    for (const std::string& name : candidates) {
        const int fd = ::openat(
            dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat opened {
        }, named {};
        // Ours only, and only while no save holds it: a running save keeps its lock until its
        // file has been renamed away from this name.
        if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_uid == ::geteuid()
            && ::flock(fd, LOCK_EX | LOCK_NB) == 0
            && ::fstatat(dir, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0
            && named.st_dev == opened.st_dev && named.st_ino == opened.st_ino
            && ::unlinkat(dir, name.c_str(), 0) == 0)
            ++removed;
        ::close(fd);
    }
    ::close(dir);
    return removed;
}

void LFileSave::Fail(LFileSaveProblem problem, int error)
{
    m_problem = problem;
    m_error = error;
}

void LFileSave::CloseFolder()
{
    if (m_folderFd >= 0)
        ::close(m_folderFd);
    m_folderFd = -1;
}

bool LFileSave::Begin(const char* target, const char* folder)
{
    Discard();
    m_target = target ? target : "";
    m_folder.clear();
    m_existed = false;
    m_problem = LFileSaveProblem::kNone;
    m_error = 0;
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
    m_target = resolved;
    m_existed = exists;
    // Only what the user could write in place is replaced: the rename would otherwise get round
    // the file's own protection.
    if (exists && ::faccessat(AT_FDCWD, resolved.c_str(), W_OK, AT_EACCESS) != 0) {
        const int error = errno;
        Fail(error != EROFS && old.st_uid != ::geteuid() ? LFileSaveProblem::kOtherOwner
                                                         : LFileSaveProblem::kWriteProtected,
            error);
        return false;
    }
    const std::string where = folder && *folder ? std::string(folder) : FolderOf(resolved);
    RemoveStaleTemporaryFiles(resolved.c_str(), where.c_str());
    // Everything from here on goes through the folder's descriptor: the temporary file's whole
    // path may be longer than a path can be.
    const int dir = ::open(where.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return false;
    int fd = CreateUnnamedIn(dir);
    std::string name;
    if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
        Fail(LFileSaveProblem::kFolderNotWritable, errno);
        ::close(dir);
        return false;
    }
    if (fd < 0) {
        // No unnamed files here: a named one, locked at once.
        fd = CreateTemporaryIn(dir, TemporaryPrefix(NameOf(resolved)), name);
        const int error = errno;
        if (fd < 0) {
            ::close(dir);
            if (error == EACCES || error == EPERM || error == EROFS)
                Fail(LFileSaveProblem::kFolderNotWritable, error);
            else if (LFileErrorIsDiskFull(error))
                Fail(LFileSaveProblem::kDiskFull, error);
            return false;
        }
    }
    // Writers hold an exclusive lock from the start: a later save does not take the file for a
    // stale one.
    ::flock(fd, LOCK_EX | LOCK_NB);
    m_folder = where;
    m_folderFd = dir;
    m_named = name;
    m_temporary = name.empty() ? DescriptorPath(fd) : PathOpening(where, name, fd);
    m_stream.Attach(fd);
    if (exists) {
        // The new file keeps what the old one had: owner, group and permission bits. A file
        // whose owner or group this process cannot give the new file is not replaced.
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            const int error = errno;
            Discard();
            Fail(old.st_uid != ::geteuid() ? LFileSaveProblem::kOtherOwner
                                           : LFileSaveProblem::kGroupNotKept,
                error);
            return false;
        }
        ::fchmod(fd, old.st_mode & 07777);
    }
    return true;
}

// Gives the unnamed temporary file its name beside the target, just before the rename.
bool LFileSave::LinkTemporary()
{
    if (!m_named.empty())
        return true;
    const std::string prefix = TemporaryPrefix(NameOf(m_target));
    const int fd = m_stream.GetDescriptor();
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static std::atomic<uint64_t> counter { 0 };
    uint64_t seed = uint64_t(::getpid()) * 0x9E3779B97F4A7C15ull
        ^ uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    int error = EEXIST;
    for (int attempt = 0; attempt < 1000 && error == EEXIST; ++attempt) {
        uint64_t v = seed + (counter.fetch_add(1) + 1) * 0xD1B54A32D192ED03ull;
        v ^= v >> 29;
        std::string name = prefix;
        for (int i = 0; i < 6; ++i, v /= 62)
            name += kLetters[v % 62];
        // The descriptor's /proc entry links the open file; without /proc, AT_EMPTY_PATH does
        // where the process may use it.
        int r = ::linkat(
            AT_FDCWD, DescriptorPath(fd).c_str(), m_folderFd, name.c_str(), AT_SYMLINK_FOLLOW);
        if (r != 0 && errno == ENOENT && !LFile::TestFolderExists("/proc/self/fd"))
            r = ::linkat(fd, "", m_folderFd, name.c_str(), AT_EMPTY_PATH);
        if (r == 0) {
            m_named = name;
            m_temporary = PathOpening(m_folder, name, fd);
            return true;
        }
        error = errno;
    }
    errno = error;
    return false;
}

// Renames the named temporary file over the target, or where the two lie on different volumes
// copies it there (replacing the target whole) and removes it.
bool LFileSave::MoveIntoPlace()
{
    const std::string targetName = NameOf(m_target);
    const int targetDir = ::open(FolderOf(m_target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (targetDir < 0)
        return false;
    bool moved = _LFileRenameAt(m_folderFd, m_named.c_str(), targetDir, targetName.c_str()) == 0;
    if (!moved && errno == EXDEV
        && _LFileCopyAt(m_folderFd, m_named.c_str(), targetDir, targetName.c_str(), true)) {
        moved = true;
        // The target is in place: a temporary file that cannot be removed does not undo it.
        ::unlinkat(m_folderFd, m_named.c_str(), 0);
    }
    const int error = errno;
    ::close(targetDir);
    errno = error;
    return moved;
}

bool LFileSave::Commit()
{
    if (m_temporary.empty())
        return false;
    const int fd = m_stream.GetDescriptor();
    bool ok = m_stream.IsGood() && m_stream.Flush();
    if (!ok)
        m_error = m_stream.GetErrorNumber();
    if (ok && ::fsync(fd) != 0) {
        m_error = errno;
        ok = false;
    }
    // The file is linked and moved while this save still holds it open and locked.
    if (ok && !LinkTemporary()) {
        m_error = errno;
        ok = false;
    }
    if (ok && !MoveIntoPlace()) {
        m_error = errno;
        ok = false;
    }
    if (!ok && !m_named.empty())
        ::unlinkat(m_folderFd, m_named.c_str(), 0);
    // A close that reports an error after the data was made durable and moved changes nothing
    // of the file in place.
    m_stream.Close();
    CloseFolder();
    if (!ok && LFileErrorIsDiskFull(m_error))
        m_problem = LFileSaveProblem::kDiskFull;
    // The folder made read-only (or its file system) while the file was written: it can be
    // neither named nor moved there.
    if (!ok && (m_error == EACCES || m_error == EPERM || m_error == EROFS))
        m_problem = LFileSaveProblem::kFolderNotWritable;
    m_temporary.clear();
    m_named.clear();
    return ok;
}

void LFileSave::Discard()
{
    if (!m_temporary.empty() && !m_named.empty())
        ::unlinkat(m_folderFd, m_named.c_str(), 0);
    m_stream.Close();
    CloseFolder();
    m_temporary.clear();
    m_named.clear();
}

void LFileSave::NoteWriteError(int error)
{
    if (!m_error)
        m_error = error;
    if (LFileErrorIsDiskFull(error))
        m_problem = LFileSaveProblem::kDiskFull;
}

LFileSaveProblem LFileSave::GetProblem() const
{
    if (m_problem == LFileSaveProblem::kNone && LFileErrorIsDiskFull(m_stream.GetErrorNumber()))
        return LFileSaveProblem::kDiskFull;
    return m_problem;
}

std::string LFileSave::GetProblemText() const
{
    return ProblemText(GetProblem(), m_target.c_str(), m_existed);
}

std::string LFileSave::ProblemText(LFileSaveProblem problem, const char* path, bool existed)
{
    const std::string name = "”" + FileNameForText(path) + "”";
    const char* elsewhere = " Spara under ett annat namn eller i en annan mapp.";
    switch (problem) {
    case LFileSaveProblem::kNone:
        return "";
    case LFileSaveProblem::kWriteProtected:
        return "Filen " + name + " är skrivskyddad och har inte ändrats." + elsewhere;
    case LFileSaveProblem::kOtherOwner:
        return "Filen " + name + " tillhör en annan användare och har inte ändrats." + elsewhere;
    case LFileSaveProblem::kGroupNotKept:
        return "Filen " + name
            + " kan inte ersättas utan att dess grupp ändras och har inte ändrats." + elsewhere;
    case LFileSaveProblem::kFolderNotWritable:
        return "Det går inte att spara " + name
            + " i den här mappen: mappen är skrivskyddad. Spara i en annan mapp.";
    case LFileSaveProblem::kDiskFull:
        return existed ? "Disken är full, så " + name
                + " kunde inte sparas. Den tidigare filen finns kvar oförändrad."
                       : "Disken är full, så " + name + " kunde inte sparas.";
    }
    return "";
}

void LFileSaveProcess::SetError(const char* text)
{
    const std::string reason = m_save.GetProblemText();
    m_parent->SetError(reason.empty() ? text : reason.c_str());
}
