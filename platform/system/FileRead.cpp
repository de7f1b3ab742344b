#include "platform/system/FileRead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::system {

int OpenForReadingAt(int dir, const char* name, int flags)
{
    if (!name || !*name) {
        errno = ENOENT;
        return -1;
    }
    flags &= O_NOFOLLOW | O_NOATIME;
    int fd;
    do
        fd = ::openat(dir, name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | flags);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return -1;
    struct stat st { };
    int error = 0;
    if (::fstat(fd, &st) != 0)
        error = errno;
    else if (S_ISDIR(st.st_mode))
        error = kFolderNotFile;
    else if (!S_ISREG(st.st_mode))
        error = kSpecialNotFile;
    else if (const int status = ::fcntl(fd, F_GETFL);
             status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0)
        error = errno;
    if (error) {
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

int OpenForReading(const char* path, int flags)
{
    return OpenForReadingAt(AT_FDCWD, path, flags);
}

bool ReadWholeFile(const char* path, std::string& bytes, size_t limit)
{
    bytes.clear();
    const int fd = OpenForReading(path);
    if (fd < 0)
        return false;
    struct stat st { };
    if (::fstat(fd, &st) == 0 && st.st_size > 0 && uint64_t(st.st_size) <= limit)
        bytes.reserve(size_t(st.st_size));
    int error = 0;
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error = errno;
            break;
        }
        if (got == 0)
            break;
        if (size_t(got) > limit - bytes.size()) {
            error = EFBIG;
            break;
        }
        bytes.append(chunk, size_t(got));
    }
    ::close(fd);
    if (error) {
        bytes.clear();
        bytes.shrink_to_fit();
        errno = error;
        return false;
    }
    return true;
}

} // namespace platform::system
