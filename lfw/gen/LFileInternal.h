// Descriptor-based helpers shared by the file modules of this folder; not for use elsewhere.
#pragma once

#include <sys/types.h>

// Creates a new file "0XXXXXX" (random letters and digits) in the folder dirFd, read-write and
// close-on-exec, with the given mode less the umask. name receives the 8-byte name. Returns the
// descriptor or -1.
int _LFileCreateTemporaryAt(int dirFd, char name[8], mode_t mode);

// Copies the file sourceName in sourceDir over destinationName in destinationDir through a copy
// beside the destination that is renamed into place. A symbolic link is copied as a link.
// durable: the copy reaches the disk before the rename.
bool _LFileCopyAt(int sourceDir, const char* sourceName, int destinationDir,
    const char* destinationName, bool durable);

// Copies a file path to a file path (see _LFileCopyAt).
bool _LFileCopyPath(const char* source, const char* destination, bool durable);

// Renames from in fromDir to to in toDir through the rename hook (_LFileSetRenameHook), which
// is given the two names.
int _LFileRenameAt(int fromDir, const char* from, int toDir, const char* to);
