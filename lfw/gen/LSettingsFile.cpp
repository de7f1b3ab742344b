#include "lfw/gen/LSettingsFile.h"

#include "lfw/gen/LFileLock.h"
#include "lfw/gen/LFileSave.h"

#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

LSettingsFileWriteLock::LSettingsFileWriteLock(const char* target, unsigned int timeoutMs)
{
    std::string path = std::string(target) + ".lock";
    fFd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fFd >= 0)
        fLocked = LFileLockTimed(fFd, LOCK_EX | LOCK_NB, timeoutMs);
}

LSettingsFileWriteLock::~LSettingsFileWriteLock()
{
    if (fFd >= 0)
        ::close(fFd);
}

bool LSettingsFileReplace(const char* target, const void* data, size_t length)
{
    LFileSave save;
    if (!save.Begin(target))
        return false;
    if (length && !save.GetStream().Write(data, length)) {
        save.Discard();
        return false;
    }
    return save.Commit();
}
