#include "lfw/gen/LFileSave.h"
#include "lfw/gen/LFileInternal.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
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

LFileSave::~LFileSave()
{
    Discard();
}

bool LFileSave::Begin(const char* target, const char* folder)
{
    Discard();
    m_target[0] = '\0';
    if (!target || !*target || std::strlen(target) >= kLPathSize)
        return false;
    std::memcpy(m_target, target, std::strlen(target) + 1);
    char targetFolder[kLPathSize];
    if (!folder || !*folder) {
        LFile::_GetFolderFromPath(targetFolder, target);
        folder = targetFolder;
    }
    int fd = LFileCreateTemporary(m_temporary, folder);
    if (fd < 0) {
        m_target[0] = '\0';
        return false;
    }
    // Writers hold an exclusive lock from the start; nobody else knows the file yet.
    ::flock(fd, LOCK_EX | LOCK_NB);
    m_stream.Attach(fd);
    return true;
}

bool LFileSave::Commit()
{
    if (!m_temporary[0])
        return false;
    bool ok = m_stream.IsGood() && m_stream.Flush() && ::fsync(m_stream.GetDescriptor()) == 0;
    ok = m_stream.Close() && ok;
    ok = ok && LFileMoveReplacing(m_temporary, m_target);
    if (!ok)
        ::unlink(m_temporary);
    m_temporary[0] = '\0';
    return ok;
}

void LFileSave::Discard()
{
    m_stream.Close();
    if (m_temporary[0])
        ::unlink(m_temporary);
    m_temporary[0] = '\0';
}
