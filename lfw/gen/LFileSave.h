// Replacing a file through a temporary file beside it: the one safe way every document, picture,
// layout, PDF and settings file is saved.
//
// The target is what the path names after following symbolic links: a link stays a link and the
// file it points to is replaced (a dangling link gets its file made). The new file is written
// as an unnamed file in the target's folder (O_TMPFILE), so a save that is killed leaves
// nothing; just before it is renamed over the target it is linked in under a recognisable
// temporary name (".<name>.XXXXXX"). Where the file system has no unnamed files, it is written
// under that name from the start. The temporary file is made, linked, renamed and removed
// through its folder's descriptor by its name alone, so a target whose path just fits the
// system's limit is saved although the temporary file's whole path would not fit. Every save
// removes the temporary files of its target that an earlier, killed save left behind: ours
// (same user), recognised by name and not locked by a save that still runs (a running save
// holds an exclusive lock on its file from before it has a name until it is renamed).
//
// A file is replaced only where the user could write it in place: a file without write
// permission for this user, another user's file and a file whose group this user cannot give
// the new file are refused and left untouched (GetProblem tells which). The new file gets the
// old file's owner, group and permission bits. A target that is no regular file (a folder, FIFO,
// device or socket), a link loop and a path whose folder is missing are refused before anything
// is written. When a temporary folder is given and lies on another volume, the temporary file is
// copied over the target (through a copy beside the target that is itself renamed into place)
// and removed. On any failure the temporary file is removed and the target is left exactly as it
// was; a failure for lack of space (ENOSPC, EDQUOT) is told as a full disk. Paths are never cut.
//
//     LFileSave save;
//     if (!save.Begin(path)) ...                  // refused, or no temporary file
//     ... write through save.GetStream() ...
//     if (failed) save.Discard(); else if (!save.Commit()) ...   // could not move into place
//     ... save.GetProblemText() names the reason in Swedish where there is one
#pragma once

#include "lfw/gen/LFile.h"
#include "lfw/gen/LProcess.h"
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

// Tests: false makes saves write named temporary files from the start, as on a file system
// without unnamed files.
void _LFileSaveUseUnnamedFiles(bool use);

// True for the errors of a write that found no room: ENOSPC and EDQUOT.
bool LFileErrorIsDiskFull(int error);

// Why a save did not happen, where the user can do something about it.
enum class LFileSaveProblem {
    kNone, // no failure, or one without a reason to tell (the writer's own text stands)
    kWriteProtected, // the file (or its file system) does not let this user write it
    kOtherOwner, // the file belongs to another user
    kGroupNotKept, // the new file could not get the old file's group
    kFolderNotWritable, // no file can be made in the target's folder
    kDiskFull, // no room left (ENOSPC, EDQUOT): the earlier file is kept
};

class LFileSave {
public:
    LFileSave() = default;
    LFileSave(const LFileSave&) = delete;
    LFileSave& operator=(const LFileSave&) = delete;
    // Discards an uncommitted temporary file.
    ~LFileSave();

    // Finds the file to replace, checks that the user may replace it, removes stale temporary
    // files of that target, and creates the temporary file in folder (null or "": beside that
    // file), opened for writing with an exclusive lock. False when the target is refused or the
    // temporary file cannot be made.
    bool Begin(const char* target, const char* folder = nullptr);
    LOutputStreamFile& GetStream() { return m_stream; }
    // The file replaced: the target path with its links followed.
    const char* GetTargetPath() const { return m_target.c_str(); }
    // A path that opens the temporary file, for writers that open their file by name (for an
    // unnamed file, or one whose whole path is too long, it is its /proc/self/fd entry).
    const char* GetTemporaryPath() const { return m_temporary.c_str(); }

    // Writes out the stream, makes the data durable and moves the file over the target. False
    // when any of it failed; the temporary file is gone either way.
    bool Commit();
    // Closes and removes the temporary file; the target is untouched.
    void Discard();

    // A writer that wrote the temporary file through its own descriptor tells the error of its
    // failed write here (errno), so that a full disk is named.
    void NoteWriteError(int error);
    // The reason of the last failure (also of a write through the stream that failed just now).
    LFileSaveProblem GetProblem() const;
    // That reason in a Swedish sentence naming the file; "" for kNone.
    std::string GetProblemText() const;
    static std::string ProblemText(LFileSaveProblem problem, const char* path, bool existed);

    // The temporary files an earlier save of target left behind in folder (null: the target's
    // folder) that no running save holds are removed; answers how many.
    static int RemoveStaleTemporaryFiles(const char* target, const char* folder = nullptr);

private:
    void Fail(LFileSaveProblem problem, int error);
    bool LinkTemporary();
    bool MoveIntoPlace();
    void CloseFolder();
    LOutputStreamFile m_stream;
    std::string m_target; // the path asked for until Begin resolved it
    std::string m_folder; // where the temporary file lies
    int m_folderFd = -1; // that folder, open while there is a temporary file
    std::string m_temporary; // a path that opens it ("" when there is none)
    std::string m_named; // its name in m_folder, once it has one
    bool m_existed = false;
    LFileSaveProblem m_problem = LFileSaveProblem::kNone;
    int m_error = 0;
};

// Runs a writer's job for a save: an error the job reports is replaced by the save's own reason
// when it has one (a full disk, a write-protected file), so that the writer's generic text
// ("Det gick inte att skriva filen.") names the cause.
class LFileSaveProcess : public LProcessInterfaceNested {
public:
    LFileSaveProcess(LProcessInterface& parent, const LFileSave& save)
        : LProcessInterfaceNested(parent)
        , m_save(save)
    {
    }
    void SetError(const char* text) override;
    void SetStatus(const char* text, int level) override { m_parent->SetStatus(text, level); }
    void SetProgress(double fraction) override { m_parent->SetProgress(fraction); }
    void SetProgressIndeterminateOn() override { m_parent->SetProgressIndeterminateOn(); }
    void SetProgressIndeterminateOff() override { m_parent->SetProgressIndeterminateOff(); }

private:
    const LFileSave& m_save;
};
