#include "lfw/unix/LDatFile.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "lfw/gen/LFileLock.h"
#include "lfw/gen/LFileSave.h"

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

    // Writers of the file take turns on its exclusive lock (tried for 1000 ms; the save goes on
    // without it). The new text goes to a temporary file beside the old one that replaces it only
    // once it is whole, so a failed write (a full disk) leaves the old file as it was.
    const int existing = open(m_path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat old { };
    const bool hadFile = existing >= 0 && fstat(existing, &old) == 0 && S_ISREG(old.st_mode);
    if (existing >= 0)
        flocktimed(existing, LOCK_EX | LOCK_NB, 1000);
    LFileSave save;
    bool ok = save.Begin(m_path);
    if (ok) {
        if (hadFile)
            fchmod(save.GetStream().GetDescriptor(), old.st_mode & 07777);
        ok = save.GetStream().Write(text.data(), text.size());
        if (ok)
            ok = save.Commit();
        else
            save.Discard();
    }
    if (existing >= 0)
        close(existing);
    if (!ok)
        return false; // the file is as it was, and still differs from the sections

    struct stat st;
    if (stat(m_path, &st) == 0) {
        m_modificationTime = st.st_mtime;
        m_size = uint32_t(st.st_size);
    } else {
        m_modificationTime = 0;
        m_size = 0;
    }
    m_changed = false;
    return true;
}

void LDatFileNativeSystem::AddFile(LDatFileNativeFile* file)
{
    std::lock_guard<LLockObject> lock(m_mutex);
    m_files.AddHead(file);
}

void LDatFileNativeSystem::Clear()
{
    std::lock_guard<LLockObject> lock(m_mutex);
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
