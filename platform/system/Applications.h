// Other programs on this machine: their desktop entries, starting them, and the processes that
// run.
//
// An installed program is a desktop entry "<key>.desktop" in the "applications" folder of one of
// the XDG data folders ($XDG_DATA_HOME first, then $XDG_DATA_DIRS), read through GIO's
// GDesktopAppInfo: an entry whose TryExec names no program, whose Exec does not parse or names
// no program, or which is hidden counts as not installed. The folders are looked at afresh at
// every call (no cache), so an entry written a moment ago is seen at once.
//
// Programs are started with an argument vector (never a shell): the entry's Exec with its field
// codes dropped, followed by the caller's arguments. Running processes are read from /proc.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace platform::system {

// The path of the usable desktop entry "<key>.desktop", "" when there is none. A key holding
// "/" or starting with "." is never a desktop entry.
std::string FindDesktopEntry(const std::string& key);
// The same over given data folders (each holding "applications"); for tests and tools.
std::string FindDesktopEntryIn(const std::vector<std::string>& dataFolders, const std::string& key);
// The data folders searched, in order: $XDG_DATA_HOME (~/.local/share), then $XDG_DATA_DIRS
// (/usr/local/share:/usr/share).
std::vector<std::string> DataFolders();

// The entry's command: Exec split as the shell would (g_shell_parse_argv), the field codes
// (%f %F %u %U %i %c %k and the obsolete ones) dropped, "%%" made "%", and the program resolved
// on PATH. False when the entry cannot be read, Exec is missing or broken, or its program is not
// there.
bool DesktopEntryCommand(const std::string& entryPath, std::vector<std::string>& argvOut);
// The entry's Name ("" when it has none).
std::string DesktopEntryName(const std::string& entryPath);

// Starts argv (the program found on PATH when it has no "/"), its input from /dev/null. True
// once the program was executed; false with GLib's message in errorOut when it could not be
// (missing, not executable, bad format). The child is not reaped here: the caller waits for it
// (WaitChild) or hands it to ReapInBackground.
bool SpawnProgram(const std::vector<std::string>& argv, pid_t& pidOut, std::string& errorOut);
// Whether the child ended (waitpid without blocking); exit status in statusOut (-1 for a signal).
bool ChildEnded(pid_t pid, int& statusOut);
// Reaps the child whenever it ends, on a thread of its own.
void ReapInBackground(pid_t pid);

// The full path of a program on PATH (g_find_program_in_path); "" when there is none.
std::string FindProgramInPath(const std::string& name);

// The kernel keeps this many bytes of a process's command name.
inline constexpr size_t kCommandNameLength = 15;
// Whether a process of this user runs whose command name (/proc/<pid>/comm) equals the first
// 15 bytes of name. Entries that vanish while the folder is read are skipped.
bool IsProcessRunning(const std::string& name);
// The same over a given proc folder and user; for tests.
bool IsProcessRunningIn(const std::string& procFolder, uid_t user, const std::string& name);
// The first process of this user whose executable (/proc/<pid>/exe) is the file at path; 0 when
// none is.
pid_t FindProcessByExecutable(const std::string& path);

} // namespace platform::system
