// Replacing a settings file safely: writers of one file take an exclusive lock on "<file>.lock"
// beside it (waiting a bounded time), read the file afresh, and write the new content to a
// temporary file that is renamed over the old one. Readers need no lock: they always see either
// the old or the new file whole.
#pragma once

#include <cstddef>

class LSettingsFileWriteLock {
public:
    // Locks "<target>.lock", trying for at most timeoutMs.
    explicit LSettingsFileWriteLock(const char* target, unsigned int timeoutMs = 5000);
    ~LSettingsFileWriteLock();
    LSettingsFileWriteLock(const LSettingsFileWriteLock&) = delete;
    LSettingsFileWriteLock& operator=(const LSettingsFileWriteLock&) = delete;

    bool IsLocked() const { return fLocked; }

private:
    int fFd = -1;
    bool fLocked = false;
};

// Writes the bytes to a temporary file beside target and renames it over target. False when
// that failed; target is then as it was.
bool LSettingsFileReplace(const char* target, const void* data, size_t length);
