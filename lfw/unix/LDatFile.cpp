#include "lfw/unix/LDatFile.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "lfw/gen/LFileLock.h"

LDatFileNativeSystem gDatFileNativeSystem;

LDatFileNativeEntry::LDatFileNativeEntry(const char* key, const char* value)
    : m_value(value ? value : "")
{
    utf8strlcpy(m_key, key ? key : "", sizeof m_key);
}

LDatFileNativeEntry* LDatFileNativeSection::AddEntry(const char* key, const char* value)
{
    auto* entry = new LDatFileNativeEntry(key, value);
    m_entries.AddTail(entry);
    return entry;
}

LDatFileNativeFile::LDatFileNativeFile(const char* path)
{
    utf8strlcpy(m_path, path ? path : "", sizeof m_path);
}

LDatFileNativeSection* LDatFileNativeFile::AddSection(const char* name)
{
    auto* section = new LDatFileNativeSection(name ? name : "");
    m_sections.AddTail(section);
    m_changed = true;
    return section;
}

bool LDatFileNativeFile::Save()
{
    const int fd = open(m_path, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    flocktimed(fd, LOCK_EX | LOCK_NB, 1000);

    // The whole text first; lines are written whole, however long.
    std::string text;
    for (const LDatFileNativeSection& section : m_sections) {
        text += '[';
        text += section.GetName();
        text += "]\r\n";
        for (const LDatFileNativeEntry& entry : section.GetEntries()) {
            text += entry.GetKey();
            text += '=';
            text += entry.GetValue();
            text += "\r\n";
        }
        text += "\r\n";
    }

    bool ok = ftruncate(fd, 0) == 0 && lseek(fd, 0, SEEK_SET) == 0;
    size_t written = 0;
    while (ok && written < text.size()) {
        const ssize_t n = write(fd, text.c_str() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        written += size_t(n);
    }
    if (ftruncate(fd, off_t(written)) != 0)
        ok = false;
    close(fd);

    struct stat st;
    if (stat(m_path, &st) == 0) {
        m_modificationTime = st.st_mtime;
        m_size = uint32_t(st.st_size);
    } else {
        m_modificationTime = 0;
        m_size = 0;
    }
    m_changed = false;
    return ok;
}

void LDatFileNativeSystem::AddFile(LDatFileNativeFile* file)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_files.AddHead(file);
}

void LDatFileNativeSystem::Clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    while (LDatFileNativeFile* file = m_files.DetachHead()) {
        if (file->IsChanged())
            file->Save();
        delete file;
    }
}

LDatFileNativeSystem::~LDatFileNativeSystem()
{
    Clear();
}
