// Replacing a file through a temporary file beside it.
//
// Every document save writes a new temporary file (name pattern "0XXXXXX") in a chosen folder
// (the target's own folder by default) and then renames it over the target. When the two lie on
// different volumes the temporary file is copied over the target (through a copy beside the
// target that is itself renamed into place) and removed. On any failure the temporary file is
// removed and the target is left exactly as it was.
//
//     LFileSave save;
//     if (!save.Begin(path)) ...                  // cannot create the temporary file
//     ... write through save.GetStream() ...
//     if (failed) save.Discard(); else if (!save.Commit()) ...   // could not move into place
#pragma once

#include "lfw/gen/LFile.h"
#include "lfw/gen/LStream.h"

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

    // Creates the temporary file in folder (null or "": the target's own folder) and opens it
    // for writing with an exclusive lock. False when the target path or the temporary file
    // cannot be made.
    bool Begin(const char* target, const char* folder = nullptr);
    LOutputStreamFile& GetStream() { return m_stream; }
    const char* GetTargetPath() const { return m_target; }
    const char* GetTemporaryPath() const { return m_temporary; }

    // Writes out the stream, makes the data durable and moves the file over the target. False
    // when any of it failed; the temporary file is gone either way.
    bool Commit();
    // Closes and removes the temporary file; the target is untouched.
    void Discard();

private:
    LOutputStreamFile m_stream;
    char m_target[kLPathSize] = "";
    char m_temporary[kLPathSize] = "";
};
