// Zip archives are never opened by the program itself: a whole archive is extracted by running
// the system's unzip tool.
#pragma once

#include "lfw/gen/LFile.h"

class LZipFile {
public:
    // Stores the archive path (at most 259 bytes) and its folder. The flag is kept for callers
    // and not used by extraction.
    LZipFile(const char* path, int flag = 0);

    // Empties the stored paths.
    void Clear();

    // Extracts every file of the archive into destination, overwriting files of the same names
    // without asking. Runs "/usr/bin/unzip -o <archive> -d <destination>" with each path as one
    // argument (no shell), and blocks until it ends; its messages go to standard error. True only
    // when the tool exited normally with status 0 (a missing archive gives false).
    bool ExtractAllFiles(const char* destination);

    const char* GetPath() const { return m_path; }
    const char* GetFolder() const { return m_folder; }
    int GetFlag() const { return m_flag; }

private:
    char m_path[kLPathSize];
    char m_folder[kLPathSize];
    int m_flag;
};

// Extracts the whole archive into destination through a temporary LZipFile.
bool LZipFileExtractAllFiles(const char* archive, const char* destination);
