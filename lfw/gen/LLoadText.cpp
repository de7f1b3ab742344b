#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "lfw/gen/LCharSet.h"
#include "lfw/gen/LFileLock.h"
#include "platform/system/FileRead.h"

bool LLoadText(const char* path, LStringLongTemplate<char>& out)
{
    int fd = platform::system::OpenForReading(path);
    if (fd < 0)
        return false;
    flocktimed(fd, LOCK_SH | LOCK_NB, 5000); // the read goes on without the lock, too
    struct stat st;
    size_t size = 0;
    if (fstat(fd, &st) == 0 && st.st_size > 0)
        size = size_t(st.st_size);
    out.Clear();
    out.GrowToSize(size + 1);
    char* buffer = out.GetBuffer();
    size_t got = 0;
    while (got < size) {
        ssize_t r = ::read(fd, buffer + got, size - got);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break; // a short file keeps what was read
        got += size_t(r);
    }
    out.SetLength(got);
    ::close(fd);
    return true;
}

bool LLoadTextAutoChar(const char* path, LStringLongTemplate<char>& out)
{
    LStringLongTemplate<char> raw;
    if (!LLoadText(path, raw))
        return false;
    const unsigned char* b = reinterpret_cast<const unsigned char*>(raw.c_str());
    size_t n = raw.GetLength();
    if (n >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
        bool bigEndian = b[0] == 0xFE;
        size_t units = (n - 2) / 2;
        std::unique_ptr<unsigned short[]> text(new unsigned short[units + 1]);
        const unsigned char* p = b + 2;
        for (size_t i = 0; i < units; ++i, p += 2)
            text[i] = bigEndian ? static_cast<unsigned short>((p[0] << 8) | p[1])
                                : static_cast<unsigned short>(p[0] | (p[1] << 8));
        text[units] = 0;
        out.Clear();
        LAppendUTF8FromUnicode(out, text.get(), units);
        return true;
    }
    if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        out.Clear();
        out.Append(raw.c_str() + 3, n - 3);
        return true;
    }
    out = std::move(raw);
    return true;
}
