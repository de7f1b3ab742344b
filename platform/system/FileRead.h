// Reading files without ever waiting on what a path names. A FIFO that nobody writes holds an
// open() for reading until some other program opens it for writing, and a terminal or a device
// may hold open() or read() as long; a path in a project, a settings file or a list of recent
// files can name any of them. Every file the program reads is opened here: without waiting
// (O_NONBLOCK, O_NOCTTY), what was opened is looked at (fstat), anything but a regular file is
// refused, and the descriptor then reads as usual (O_NONBLOCK cleared). Files of the kernel's
// own (/proc, /sys) are regular files and read as any other.
//
// Readers that open by path themselves (GdkPixbuf, GIO, Cairo's PNG reader, GLib's key files)
// are given the bytes read here instead.
//
// Standard library and POSIX only; any thread.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform::system {

// errno of a refused path: a folder, and anything else that is not a regular file (a FIFO, a
// socket, a device).
inline constexpr int kFolderNotFile = EISDIR;
inline constexpr int kSpecialNotFile = ESPIPE;

// A descriptor (close-on-exec, blocking reads) of the regular file path names, after symbolic
// links unless flags hold O_NOFOLLOW; flags may add O_NOFOLLOW or O_NOATIME. -1 with errno set
// otherwise: open()'s own, or one of the two above.
int OpenForReading(const char* path, int flags = 0);
// The same for name in the folder dir (a descriptor, or AT_FDCWD).
int OpenForReadingAt(int dir, const char* name, int flags = 0);
// True for the errno of a path that names something that is not a regular file.
inline bool IsNotAFile(int error)
{
    return error == kFolderNotFile || error == kSpecialNotFile;
}

// The whole content of the regular file path names, read to its end (a file of the kernel's
// tells no size ahead). False with errno set, bytes empty, when it cannot be opened as above or
// read, or holds more than limit bytes (EFBIG).
bool ReadWholeFile(const char* path, std::string& bytes, size_t limit = SIZE_MAX);

} // namespace platform::system
