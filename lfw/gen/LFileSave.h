// Replacing a file through a temporary file beside it: the one safe way every document, picture,
// layout, PDF and settings file is saved.
//
// The target is what the path names after following symbolic links: a link stays a link and the
// file it points to is replaced (a dangling link gets its file made). The new file is written
// under a recognisable temporary name beside that file (".<name>.XXXXXX", so one left behind by
// a killed save says what it is), gets the old file's permission bits and, where the process may
// set them, its owner and group, and is then renamed over it. A target that is no regular file
// (a folder, FIFO, device or socket), a link loop and a path whose folder is missing are refused
// before anything is written. When a temporary folder is given and lies on another volume, the
// temporary file is copied over the target (through a copy beside the target that is itself
// renamed into place) and removed. On any failure the temporary file is removed and the target
// is left exactly as it was. Paths are never cut.
//
//     LFileSave save;
//     if (!save.Begin(path)) ...                  // cannot create the temporary file
//     ... write through save.GetStream() ...
//     if (failed) save.Discard(); else if (!save.Commit()) ...   // could not move into place
#pragma once

#include "lfw/gen/LFile.h"
#include "lfw/gen/LStream.h"

#include <string>

// Creates a new, unique file from the pattern "0XXXXXX" in folder ("" or null: the current
// folder), opened read-write and close-on-exec with mode 0666 less the user's umask. Returns the
// descriptor (-1 on failure) and writes the path into out (260 bytes; "" on failure).
int LFileCreateTemporary(char* out, const char* folder);

// Moves a file over another: rename, or when they lie on different volumes a copy (replacing
// the target whole) and the removal of the source. False when the move failed; the target is
// then as it was. A source that cannot be removed after a successful copy is left behind.
bool LFileMoveReplacing(const char* from, const char* to);

class LFileSave {
public:
    LFileSave() = default;
    LFileSave(const LFileSave&) = delete;
    LFileSave& operator=(const LFileSave&) = delete;
    // Discards an uncommitted temporary file.
    ~LFileSave();

    // Finds the file to replace and creates the temporary file in folder (null or "": beside
    // that file), opened for writing with an exclusive lock. False when the target is refused or
    // the temporary file cannot be made.
    bool Begin(const char* target, const char* folder = nullptr);
    LOutputStreamFile& GetStream() { return m_stream; }
    // The file replaced: the target path with its links followed.
    const char* GetTargetPath() const { return m_target.c_str(); }
    const char* GetTemporaryPath() const { return m_temporary.c_str(); }

    // Writes out the stream, makes the data durable and moves the file over the target. False
    // when any of it failed; the temporary file is gone either way.
    bool Commit();
    // Closes and removes the temporary file; the target is untouched.
    void Discard();

private:
    LOutputStreamFile m_stream;
    std::string m_target;
    std::string m_temporary;
};
