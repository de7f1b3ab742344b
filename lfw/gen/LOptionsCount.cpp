#include "lfw/gen/LOptionsCount.h"

#include "lfw/gen/LFile.h"
#include "lfw/gen/LFileLock.h"
#include "lfw/gen/LSettingsFile.h"
#include "platform/system/FileRead.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

LVector<LCmdCount> CmdCounts;

namespace {

// Reads up to length bytes; the number read.
size_t _ReadFully(int fd, void* data, size_t length)
{
    size_t done = 0;
    while (done < length) {
        ssize_t n = ::read(fd, static_cast<char*>(data) + done, length - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done;
}

} // namespace

bool LOptionsCountGetPath(char* out)
{
    char folder[kLPathSize];
    if (!LFile::GetTempFolder(folder)) {
        out[0] = '\0';
        return false;
    }
    char path[kLPathSize * 2];
    snprintf(path, sizeof path, "%s/VorantelCounts.txt", folder);
    if (strlen(path) >= kLPathSize) {
        out[0] = '\0';
        return false;
    }
    memcpy(out, path, strlen(path) + 1);
    return true;
}

void LOptionsCountLoad()
{
    char path[kLPathSize];
    if (!LOptionsCountGetPath(path))
        return;
    int fd = platform::system::OpenForReading(path);
    if (fd < 0)
        return;
    flocktimed(fd, LOCK_SH | LOCK_NB, 1000);
    uint32_t count = 0;
    if (_ReadFully(fd, &count, sizeof count) == sizeof count && count != 0) {
        if (count > kLOptionsCountMaxRecords)
            count = kLOptionsCountMaxRecords;
        std::vector<LCmdCount> records(count);
        size_t bytes = _ReadFully(fd, records.data(), count * sizeof(LCmdCount));
        size_t whole = bytes / sizeof(LCmdCount);
        if (CmdCounts.GetCount() < count) {
            size_t old = CmdCounts.GetCount();
            CmdCounts.SetSize(count);
            for (size_t i = old; i < count; ++i)
                CmdCounts[i] = LCmdCount { 0, 0 };
        }
        for (size_t i = 0; i < whole; ++i)
            CmdCounts[i] = records[i];
    }
    ::close(fd);
}

bool LOptionsCountSave()
{
    char path[kLPathSize];
    if (!LOptionsCountGetPath(path))
        return false;
    const uint32_t count = static_cast<uint32_t>(CmdCounts.GetCount());
    std::vector<char> data(sizeof count + count * sizeof(LCmdCount));
    memcpy(data.data(), &count, sizeof count);
    if (count)
        memcpy(data.data() + sizeof count, CmdCounts.GetData(), count * sizeof(LCmdCount));
    LSettingsFileWriteLock lock(path);
    return LSettingsFileReplace(path, data.data(), data.size());
}
