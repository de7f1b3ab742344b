// System services of the platform: where the program and its resources are, the user's folders
// (XDG), how much memory the machine has and how much is free, giving free memory back, how many
// processors the process may use, and where optical discs are mounted. A queue of background
// work: WorkerQueue.h. Files opened for reading, never waited on: FileRead.h.
//
// Resources: the folder that holds the program's run-time files (help pages, bitmaps, ...). It is
// VT_RESOURCES_DIR when that names a folder (the tests set it), else "resources" beside the
// executable (the build tree), else "../share/vorantel" from the executable's folder (installed).
//
// User folders follow the XDG base-directory and user-directory conventions: documents and
// pictures from user-dirs.dirs, data from $XDG_DATA_HOME (~/.local/share), caches from
// $XDG_CACHE_HOME (~/.cache).
//
// Standard library only; the framework wraps these in its own fixed-buffer functions.
#pragma once

#include <cstdint>
#include <string>

namespace platform::system {

// The absolute path of the running executable ("" when it cannot be read).
std::string ExecutablePath();
// The folder that holds the executable.
std::string ExecutableFolder();
// The resources folder described above; "" when there is none.
std::string ResourcesFolder();
// $HOME, else the password database's home folder, else "/".
std::string HomeFolder();

enum class UserFolder { Documents, Pictures, Data, Cache };

struct UserFolderPath {
    std::string path;
    // True when the path is the home-relative fallback ("Documents", "Pictures", ".local/share",
    // ".cache") rather than a configured folder.
    bool fallback = false;
};
UserFolderPath GetUserFolder(UserFolder which);

// Bytes that can still be allocated: the smaller of the memory available on the machine
// (MemAvailable of /proc/meminfo, else MemFree + Inactive; 0 when unreadable) and the soft data
// limit (RLIMIT_DATA) less the process's data size (VmData). The largest value when there is no
// limit or it cannot be read.
uint64_t FreeMemory();
// The same from given texts of /proc/meminfo and /proc/self/status and a soft data limit
// (UINT64_MAX for none); for tests.
uint64_t FreeMemoryFrom(const std::string& meminfo, const std::string& status, uint64_t dataLimit);

// The machine's memory in bytes (its physical pages); 0 when it cannot be told.
uint64_t PhysicalMemory();

// Sets the allocator up for a program of large pictures, once at start (before other threads):
// blocks of 2 MiB or more get pages of their own, given back when freed, and an arena keeps at
// most 4 MiB free at its end. The allocator's own rule raises both limits as large blocks come
// and go (to 32 and 64 MiB), after which each thread's arena may keep tens of megabytes free at
// its end, which nothing gives back (ReturnFreeMemory below gives back only what lies between
// blocks in use).
void SetUpAllocatorForLargeBlocks();
// Gives the memory the allocator holds free back to the system (malloc_trim): blocks freed in the
// middle of its heap and of the other threads' arenas stay the process's otherwise, however much
// they add up to (a closed project's pictures' bytes and copies). Any thread; a large heap takes
// a while.
void ReturnFreeMemory();
// The same soon, on a thread of its own ("Minnesretur"), once for any number of calls that come
// before it starts: for after a large structure was freed, without holding the caller.
void ReturnFreeMemorySoon();

// The processors the calling thread may run on (its affinity, which a program started under
// taskset inherits), at least 1; the processors online when the affinity cannot be read.
int ProcessorCount();

// The mount point of the disc in optical drive number index (the drives sr0, sr1, ... in
// number order); "" when there is no such drive or nothing of it is mounted.
std::string OpticalDriveMountPoint(int index);
// The same over a given block-device folder (/sys/class/block) and mount table
// (/proc/self/mounts); for tests.
std::string OpticalDriveMountPointFrom(
    const std::string& blockFolder, const std::string& mountsFile, int index);

} // namespace platform::system
