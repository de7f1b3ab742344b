// Dat files: the framework's INI-style data files, sections of key=value lines, UTF-8 text with
// CR LF line ends:
//
//   [section]\r\n
//   key=value\r\n        (each entry of the section, in order)
//   \r\n                 (an empty line ends the section)
//
// A process-wide registry (gDatFileNativeSystem) holds the dat files in use and writes every
// changed one back when the program ends.
#pragma once

#include "lfw/gen/LLockObject.h"
#include <cstdint>
#include <ctime>

#include <mutex>

#include "lfw/gen/LFile.h"
#include "lfw/gen/LList.h"
#include "lfw/gen/LString.h"

class LDatFileNativeEntry : public LListable<LDatFileNativeEntry> {
public:
    LDatFileNativeEntry(const char* key, const char* value);

    const char* GetKey() const { return m_key; }
    const char* GetValue() const { return m_value.c_str(); }
    void SetValue(const char* value) { m_value = value; }

private:
    char m_key[kLPathSize];
    LStringLongTemplate<char> m_value;
};

class LDatFileNativeSection : public LListable<LDatFileNativeSection> {
public:
    explicit LDatFileNativeSection(const char* name)
        : m_name(name)
    {
    }

    const char* GetName() const { return m_name.c_str(); }
    // Appends an entry (keys are kept in the order they were added).
    LDatFileNativeEntry* AddEntry(const char* key, const char* value);
    const LList<LDatFileNativeEntry>& GetEntries() const { return m_entries; }

private:
    LStringLongTemplate<char> m_name;
    LList<LDatFileNativeEntry> m_entries;
};

class LDatFileNativeFile : public LListable<LDatFileNativeFile> {
public:
    explicit LDatFileNativeFile(const char* path);

    const char* GetPath() const { return m_path; }
    // Appends a section; the file counts as changed.
    LDatFileNativeSection* AddSection(const char* name);
    const LList<LDatFileNativeSection>& GetSections() const { return m_sections; }

    bool IsChanged() const { return m_changed; }
    void SetChanged(bool changed = true) { m_changed = changed; }
    time_t GetModificationTime() const { return m_modificationTime; }
    uint32_t GetSize() const { return m_size; }

    // Writes the sections over the file (created when missing, mode 0666 less the umask; an
    // existing file keeps its mode) under an exclusive lock tried for 1000 ms (the save goes on
    // without it), then records the file's modification time and size and clears the changed
    // flag. The text replaces the file through a temporary file beside it: false, with the file
    // as it was and the changed flag still set, when it could not be written whole.
    bool Save();

private:
    char m_path[kLPathSize];
    bool m_changed = false;
    time_t m_modificationTime = 0;
    uint32_t m_size = 0; // low 32 bits
    LList<LDatFileNativeSection> m_sections;
};

class LDatFileNativeSystem {
public:
    LDatFileNativeSystem() = default;
    LDatFileNativeSystem(const LDatFileNativeSystem&) = delete;
    LDatFileNativeSystem& operator=(const LDatFileNativeSystem&) = delete;
    // Saves every changed file, then frees them.
    ~LDatFileNativeSystem();

    // Takes file into the registry.
    void AddFile(LDatFileNativeFile* file);
    // Saves every changed file and frees every file.
    void Clear();

    LLockObject& GetMutex() { return m_mutex; }

private:
    LLockObject m_mutex; // recursive, like the framework's other locks
    LList<LDatFileNativeFile> m_files;
};

extern LDatFileNativeSystem gDatFileNativeSystem;
