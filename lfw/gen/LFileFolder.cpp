// File tests, copying, recursive folder operations and folder iteration.
//
// The recursive operations walk with directory descriptors (openat, unlinkat, ...) and open every
// entry with O_NOFOLLOW, so a symbolic link inside the tree is never followed out of it, and no
// path inside the tree is ever cut to a buffer size.
#include "lfw/gen/LFile.h"
#include "lfw/gen/LFileInternal.h"
#include "platform/system/FileRead.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <linux/fs.h>
#include <memory>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

int (*gRenameHook)(const char*, const char*) = nullptr;

struct FdCloser {
    int fd;
    explicit FdCloser(int f)
        : fd(f)
    {
    }
    ~FdCloser()
    {
        if (fd >= 0)
            ::close(fd);
    }
    FdCloser(const FdCloser&) = delete;
    FdCloser& operator=(const FdCloser&) = delete;
};

struct DirCloser {
    DIR* dir;
    ~DirCloser()
    {
        if (dir)
            ::closedir(dir);
    }
};

bool IsDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// The entry's type without following a link (DT_UNKNOWN is asked of the file system).
unsigned char EntryType(int dirFd, const dirent* entry)
{
    if (entry->d_type != DT_UNKNOWN)
        return entry->d_type;
    struct stat st { };
    if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return DT_UNKNOWN;
    if (S_ISDIR(st.st_mode))
        return DT_DIR;
    if (S_ISLNK(st.st_mode))
        return DT_LNK;
    if (S_ISREG(st.st_mode))
        return DT_REG;
    return DT_UNKNOWN;
}

int OpenFolderAt(int dirFd, const char* name)
{
    return ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// A path without trailing separators (a trailing "/" would make the kernel follow a final link).
bool TrimmedPath(char* out, size_t size, const char* path)
{
    if (!path || !*path)
        return false;
    size_t n = std::strlen(path);
    while (n > 1 && path[n - 1] == '/')
        --n;
    if (n >= size)
        return false;
    std::memcpy(out, path, n);
    out[n] = '\0';
    return true;
}

void RandomName(char name[8])
{
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char bytes[6];
    if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        timespec now {};
        clock_gettime(CLOCK_REALTIME, &now);
        unsigned long long mix = static_cast<unsigned long long>(now.tv_nsec)
            ^ (static_cast<unsigned long long>(getpid()) << 20) ^ reinterpret_cast<uintptr_t>(&now);
        for (unsigned char& b : bytes) {
            mix = mix * 6364136223846793005ULL + 1442695040888963407ULL;
            b = static_cast<unsigned char>(mix >> 33);
        }
    }
    name[0] = '0';
    for (int i = 0; i < 6; ++i)
        name[i + 1] = kLetters[bytes[i] % (sizeof kLetters - 1)];
    name[7] = '\0';
}

bool CopyData(int from, int to)
{
    // copy_file_range first (reflinks and in-kernel copies), read/write when it is not offered.
    bool kernelCopy = true;
    for (;;) {
        if (kernelCopy) {
            ssize_t n = ::copy_file_range(from, nullptr, to, nullptr, 1 << 30, 0);
            if (n > 0)
                continue;
            if (n == 0)
                return true;
            if (errno == EINTR)
                continue;
            if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP
                && errno != EBADF && errno != EPERM)
                return false;
            kernelCopy = false;
        }
        char buffer[65536];
        ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        const char* p = buffer;
        while (got > 0) {
            ssize_t put = ::write(to, p, static_cast<size_t>(got));
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0)
                return false;
            p += put;
            got -= put;
        }
    }
}

// Extended attributes (access lists included) as far as the file systems and permissions allow.
void CopyAttributes(int from, int to)
{
    ssize_t size = ::flistxattr(from, nullptr, 0);
    if (size <= 0)
        return;
    std::unique_ptr<char[]> names(new (std::nothrow) char[static_cast<size_t>(size)]);
    if (!names)
        return;
    size = ::flistxattr(from, names.get(), static_cast<size_t>(size));
    for (ssize_t at = 0; at < size;) {
        const char* name = names.get() + at;
        at += static_cast<ssize_t>(std::strlen(name)) + 1;
        ssize_t length = ::fgetxattr(from, name, nullptr, 0);
        if (length < 0)
            continue;
        std::unique_ptr<char[]> value(new (std::nothrow) char[static_cast<size_t>(length) + 1]);
        if (!value)
            continue;
        length = ::fgetxattr(from, name, value.get(), static_cast<size_t>(length));
        if (length >= 0)
            ::fsetxattr(to, name, value.get(), static_cast<size_t>(length), 0);
    }
}

// Clears the immutable and append-only marks of a file or folder (best effort).
void ClearFlagsAt(int dirFd, const char* name)
{
    int fd = ::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return;
    FdCloser closer(fd);
    int flags = 0;
    if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & (FS_IMMUTABLE_FL | FS_APPEND_FL))) {
        flags &= ~(FS_IMMUTABLE_FL | FS_APPEND_FL);
        ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    }
}

// Deletes the folder name in dirFd and everything in it; true when the folder itself went.
bool DeleteTreeAt(int dirFd, const char* name, bool clearFlags)
{
    int fd = OpenFolderAt(dirFd, name);
    if (fd >= 0) {
        DIR* dir = ::fdopendir(fd);
        if (!dir) {
            ::close(fd);
        } else {
            DirCloser closer { dir };
            while (dirent* entry = ::readdir(dir)) {
                if (IsDotOrDotDot(entry->d_name))
                    continue;
                if (EntryType(fd, entry) == DT_DIR) {
                    DeleteTreeAt(fd, entry->d_name, clearFlags);
                } else {
                    if (clearFlags)
                        ClearFlagsAt(fd, entry->d_name);
                    ::unlinkat(fd, entry->d_name, 0);
                }
            }
        }
    }
    if (clearFlags)
        ClearFlagsAt(dirFd, name);
    return ::unlinkat(dirFd, name, AT_REMOVEDIR) == 0;
}

bool DeleteTree(const char* path, bool clearFlags)
{
    char trimmed[PATH_MAX];
    if (!TrimmedPath(trimmed, sizeof trimmed, path))
        return false;
    return DeleteTreeAt(AT_FDCWD, trimmed, clearFlags);
}

bool CopyTreeAt(int sourceFd, int destinationFd)
{
    DIR* dir = ::fdopendir(::dup(sourceFd));
    if (!dir)
        return false;
    DirCloser closer { dir };
    bool ok = true;
    while (dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (IsDotOrDotDot(name))
            continue;
        if (EntryType(sourceFd, entry) == DT_DIR) {
            if (::mkdirat(destinationFd, name, 0777) != 0 && errno != EEXIST) {
                ok = false;
                continue;
            }
            FdCloser from(OpenFolderAt(sourceFd, name));
            FdCloser to(OpenFolderAt(destinationFd, name)); // a link in the destination: refused
            if (from.fd < 0 || to.fd < 0) {
                ok = false;
                continue;
            }
            ok = CopyTreeAt(from.fd, to.fd) && ok;
        } else {
            ok = _LFileCopyAt(sourceFd, name, destinationFd, name, false) && ok;
        }
    }
    return ok;
}

bool ChmodTreeAt(int fd)
{
    DIR* dir = ::fdopendir(::dup(fd));
    if (!dir)
        return false;
    DirCloser closer { dir };
    bool ok = true;
    while (dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (IsDotOrDotDot(name))
            continue;
        unsigned char type = EntryType(fd, entry);
        if (type == DT_LNK)
            continue; // a link's own mode means nothing; its target may lie outside the tree
        if (type == DT_DIR) {
            FdCloser child(OpenFolderAt(fd, name));
            if (child.fd < 0 || ::fchmod(child.fd, 0777) != 0) {
                ok = false;
                continue;
            }
            ok = ChmodTreeAt(child.fd) && ok;
            continue;
        }
        // Open without following, then change the mode of what was opened; entries that cannot be
        // opened (no read permission, special files) are changed by name after a no-follow check.
        int file = ::openat(fd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (file >= 0) {
            FdCloser closerFile(file);
            struct stat st { };
            if (::fstat(file, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode))) {
                ok = ::fchmodat(fd, name, 0777, 0) == 0 && ok;
                continue;
            }
            ok = ::fchmod(file, 0777) == 0 && ok;
        } else {
            struct stat st { };
            if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISLNK(st.st_mode))
                ok = ::fchmodat(fd, name, 0777, 0) == 0 && ok;
            else
                ok = false;
        }
    }
    return ok;
}

} // namespace

// ---- Descriptor-based helpers
// --------------------------------------------------------------------

int _LFileCreateTemporaryAt(int dirFd, char name[8], mode_t mode)
{
    for (int attempt = 0; attempt < 1000; ++attempt) {
        RandomName(name);
        int fd = ::openat(dirFd, name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0)
            return fd;
        if (errno != EEXIST)
            break;
    }
    name[0] = '\0';
    return -1;
}

bool _LFileCopyAt(int sourceDir, const char* sourceName, int destinationDir,
    const char* destinationName, bool durable)
{
    if (!*sourceName || !*destinationName)
        return false;
    struct stat st { };
    if (::fstatat(sourceDir, sourceName, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    char temporary[8];
    if (S_ISLNK(st.st_mode)) {
        // The link itself is copied, never what it points to.
        std::unique_ptr<char[]> target(new char[PATH_MAX]);
        ssize_t n = ::readlinkat(sourceDir, sourceName, target.get(), PATH_MAX - 1);
        if (n < 0)
            return false;
        target[n] = '\0';
        for (int attempt = 0;; ++attempt) {
            RandomName(temporary);
            if (::symlinkat(target.get(), destinationDir, temporary) == 0)
                break;
            if (errno != EEXIST || attempt > 1000)
                return false;
        }
    } else {
        if (!S_ISREG(st.st_mode))
            return false;
        // What was stat-ed as a file may be a FIFO by now: never waited on.
        FdCloser from(platform::system::OpenForReadingAt(sourceDir, sourceName, O_NOFOLLOW));
        if (from.fd < 0)
            return false;
        FdCloser to(_LFileCreateTemporaryAt(destinationDir, temporary, 0600));
        if (to.fd < 0)
            return false;
        struct stat opened { };
        bool ok
            = ::fstat(from.fd, &opened) == 0 && S_ISREG(opened.st_mode) && CopyData(from.fd, to.fd);
        if (ok) {
            CopyAttributes(from.fd, to.fd);
            ::fchmod(to.fd, opened.st_mode & 0777);
            timespec times[2] = { opened.st_atim, opened.st_mtim };
            ::futimens(to.fd, times);
            if (durable)
                ok = ::fsync(to.fd) == 0;
        }
        if (::close(to.fd) != 0 && errno != EINTR)
            ok = false;
        to.fd = -1;
        if (!ok) {
            ::unlinkat(destinationDir, temporary, 0);
            return false;
        }
    }
    if (::renameat(destinationDir, temporary, destinationDir, destinationName) != 0) {
        ::unlinkat(destinationDir, temporary, 0);
        return false;
    }
    return true;
}

bool _LFileCopyPath(const char* source, const char* destination, bool durable)
{
    if (!source || !destination || !*source || !*destination)
        return false;
    size_t n = std::strlen(destination);
    if (n >= PATH_MAX || destination[n - 1] == '/')
        return false;
    const char* slash = std::strrchr(destination, '/');
    const char* name = slash ? slash + 1 : destination;
    std::string folder = slash ? std::string(destination,
                             slash == destination ? 1 : static_cast<size_t>(slash - destination))
                               : std::string(".");
    FdCloser dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.fd < 0)
        return false;
    return _LFileCopyAt(AT_FDCWD, source, dir.fd, name, durable);
}

// ---- LFile -------------------------------------------------------------------------------------

void _LFileSetRenameHook(int (*hook)(const char*, const char*))
{
    gRenameHook = hook;
}

int _LFileRename(const char* from, const char* to)
{
    return gRenameHook ? gRenameHook(from, to) : ::rename(from, to);
}

int _LFileRenameAt(int fromDir, const char* from, int toDir, const char* to)
{
    return gRenameHook ? gRenameHook(from, to) : ::renameat(fromDir, from, toDir, to);
}

bool LFile::TestFileExists(const char* path)
{
    if (!path || !*path)
        return false;
    struct stat st { };
    return ::access(path, F_OK) == 0 || ::lstat(path, &st) == 0;
}

bool LFile::TestFolderExists(const char* path)
{
    struct stat st { };
    return path && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool LFile::TestFileShareWriteBlocked(const char* path)
{
    if (!path || !*path)
        return false;
    FdCloser fd(::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.fd < 0)
        return false;
    if (::flock(fd.fd, LOCK_EX | LOCK_NB) == 0) {
        ::flock(fd.fd, LOCK_UN);
        return false;
    }
    return errno == EWOULDBLOCK;
}

bool LFile::CreateFolderTree(const char* path)
{
    char trimmed[PATH_MAX];
    if (!TrimmedPath(trimmed, sizeof trimmed, path))
        return false;
    // Parents first.
    for (char* p = trimmed + 1; *p; ++p) {
        if (*p != '/')
            continue;
        *p = '\0';
        struct stat st { };
        if (::stat(trimmed, &st) != 0)
            ::mkdir(trimmed, 0777);
        *p = '/';
    }
    return ::mkdir(trimmed, 0777) == 0;
}

bool LFile::CopyFile(const char* source, const char* destination)
{
    return _LFileCopyPath(source, destination, false);
}

bool LFile::CopyFolderFiles(const char* source, const char* destination)
{
    if (!TestFolderExists(source))
        return false;
    if (!TestFolderExists(destination) && !CreateFolderTree(destination))
        return false;
    FdCloser from(::open(source, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    FdCloser to(::open(destination, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (from.fd < 0 || to.fd < 0)
        return false;
    return CopyTreeAt(from.fd, to.fd);
}

bool LFile::DeleteFolderTree(const char* path)
{
    return DeleteTree(path, false);
}

bool LFile::DeleteFolderTreeAlways(const char* path)
{
    return DeleteTree(path, true);
}

bool LFile::DeleteFolderAndFiles(const char* path)
{
    char trimmed[PATH_MAX];
    if (!TrimmedPath(trimmed, sizeof trimmed, path))
        return false;
    int fd = OpenFolderAt(AT_FDCWD, trimmed);
    if (fd >= 0) {
        DIR* dir = ::fdopendir(fd);
        if (!dir) {
            ::close(fd);
        } else {
            DirCloser closer { dir };
            while (dirent* entry = ::readdir(dir)) {
                if (!IsDotOrDotDot(entry->d_name) && EntryType(fd, entry) != DT_DIR)
                    ::unlinkat(fd, entry->d_name, 0);
            }
        }
    }
    return ::rmdir(trimmed) == 0;
}

bool LFile::SetFolderSecurityAllAccess(const char* path)
{
    char trimmed[PATH_MAX];
    if (!TrimmedPath(trimmed, sizeof trimmed, path))
        return false;
    struct stat st { };
    if (::lstat(trimmed, &st) != 0 || S_ISLNK(st.st_mode))
        return false;
    if (!S_ISDIR(st.st_mode))
        return ::chmod(trimmed, 0777) == 0;
    FdCloser fd(OpenFolderAt(AT_FDCWD, trimmed));
    if (fd.fd < 0)
        return ::chmod(trimmed, 0777) == 0;
    bool ok = ::fchmod(fd.fd, 0777) == 0;
    return ChmodTreeAt(fd.fd) && ok;
}

// ---- Folder iteration --------------------------------------------------------------------------

LFile::FolderIterator::FolderIterator(const char* path)
{
    struct stat st { };
    if (path && ::stat(path, &st) == 0 && S_ISREG(st.st_mode)) {
        char folder[kLPathSize];
        char file[kLPathSize];
        _GetFolderFromPath(folder, path);
        _GetFileFromPath(file, path);
        Open(folder[0] ? folder : ".", file);
    } else if (path) {
        Open(path, "*");
    }
}

LFile::FolderIterator::~FolderIterator()
{
    Close();
}

void LFile::FolderIterator::Close()
{
    if (m_dir)
        ::closedir(m_dir);
    m_dir = nullptr;
    m_entry = nullptr;
}

bool LFile::FolderIterator::Open(const char* folder, const char* pattern)
{
    Close();
    if (!folder || !pattern || !TestFolderExists(folder))
        return false;
    size_t folderLength = std::strlen(folder);
    size_t patternLength = std::strlen(pattern);
    if (folderLength >= kLPathSize || patternLength >= kLPathSize)
        return false;
    m_dir = ::opendir(folder);
    if (!m_dir)
        return false;
    std::memcpy(m_folder, folder, folderLength + 1);
    for (size_t i = 0; i <= patternLength; ++i) {
        char c = pattern[i];
        m_pattern[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return Next();
}

bool LFile::FolderIterator::_GetNextFile()
{
    if (!m_dir)
        return false;
    m_entry = ::readdir(m_dir);
    if (!m_entry) {
        Close();
        return false;
    }
    return true;
}

bool LFile::FolderIterator::Next()
{
    while (_GetNextFile()) {
        if (_Matches(m_entry->d_name))
            return true;
    }
    return false;
}

bool LFile::FolderIterator::_Matches(const char* name)
{
    if (IsDotOrDotDot(name) || std::strncmp(name, "__MACOSX", 8) == 0)
        return false;
    char lower[kLPathSize];
    size_t n = std::strlen(name);
    if (n >= kLPathSize)
        return false;
    for (size_t i = 0; i <= n; ++i) {
        char c = name[i];
        lower[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return IsMatch<char>(m_pattern, lower);
}

const char* LFile::FolderIterator::GetName() const
{
    return m_entry ? m_entry->d_name : "";
}

bool LFile::FolderIterator::IsFolder() const
{
    return m_dir && m_entry && EntryType(::dirfd(m_dir), m_entry) == DT_DIR;
}

bool LFile::FolderIterator::GetPath(char* out) const
{
    return _MakeFilePath(out, m_folder, GetName(), "");
}

bool LFolderIsEmpty(const char* path)
{
    LFile::FolderIterator iterator;
    return !iterator.Open(path, "*");
}
