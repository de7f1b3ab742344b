// Path strings: joining, splitting, extensions, display compaction, unique names.
#include "lfw/gen/LFile.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

inline bool IsSeparator(char c)
{
    return c == '/' || c == '\\';
}

// Index of the last separator, or -1.
long LastSeparator(const char* path)
{
    long last = -1;
    for (long i = 0; path[i]; ++i)
        if (IsSeparator(path[i]))
            last = i;
    return last;
}

// Copies n bytes and a NUL into out (n < kLPathSize is the caller's promise); returns n.
size_t CopyPart(char* out, const char* from, size_t n)
{
    std::memmove(out, from, n);
    out[n] = '\0';
    return n;
}

// Copies a whole text into a 260-byte buffer, or refuses ("" and false) when it does not fit.
bool CopyWhole(char* out, const char* text)
{
    size_t n = std::strlen(text);
    if (n >= kLPathSize) {
        out[0] = '\0';
        return false;
    }
    CopyPart(out, text, n);
    return true;
}

// Index of the extension's dot in the path's file part, or -1 (the dot that begins the file
// name counts).
long ExtensionDot(const char* path)
{
    long start = LastSeparator(path) + 1;
    long dot = -1;
    for (long i = start; path[i]; ++i)
        if (path[i] == '.')
            dot = i;
    return dot;
}

// Start of a UTF-8 character at or before i.
size_t CharacterStart(const char* s, size_t i)
{
    while (i > 0 && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80)
        --i;
    return i;
}

} // namespace

bool LFile::_MakeFilePath(char* out, const char* folder, const char* name, const char* extension)
{
    if (!folder)
        folder = "";
    if (!name)
        name = "";
    if (!extension)
        extension = "";
    size_t folderLength = std::strlen(folder);
    bool slash = folderLength > 0 && !IsSeparator(folder[folderLength - 1]);
    size_t nameLength = std::strlen(name);
    size_t extensionLength = std::strlen(extension);
    size_t total = folderLength + (slash ? 1 : 0) + nameLength + extensionLength;
    if (total >= kLPathSize) {
        out[0] = '\0';
        return false;
    }
    // Name and extension may lie in out: build in a scratch buffer.
    char path[kLPathSize];
    std::memcpy(path, folder, folderLength);
    size_t at = folderLength;
    if (slash)
        path[at++] = '/';
    std::memcpy(path + at, name, nameLength);
    at += nameLength;
    std::memcpy(path + at, extension, extensionLength);
    at += extensionLength;
    path[at] = '\0';
    std::memcpy(out, path, at + 1);
    return true;
}

size_t LFile::_GetFolderFromPath(char* out, const char* path)
{
    long last = LastSeparator(path);
    if (last < 0)
        return CopyPart(out, "", 0);
    if (last == 0)
        return CopyPart(out, "/", 1);
    if (static_cast<size_t>(last) >= kLPathSize)
        return CopyPart(out, "", 0);
    return CopyPart(out, path, static_cast<size_t>(last));
}

size_t LFile::_GetBaseFolderFromPath(char* out, const char* path)
{
    size_t n = std::strlen(path);
    size_t end = n;
    for (size_t i = 2; i < n; ++i) {
        if (IsSeparator(path[i])) {
            end = i;
            break;
        }
    }
    if (end >= kLPathSize)
        return CopyPart(out, "", 0);
    return CopyPart(out, path, end);
}

size_t LFile::_GetFileFromPath(char* out, const char* path)
{
    const char* file = path + LastSeparator(path) + 1;
    size_t n = std::strlen(file);
    if (n >= kLPathSize)
        return CopyPart(out, "", 0);
    return CopyPart(out, file, n);
}

size_t LFile::_GetFileNameFromPath(char* out, const char* path)
{
    const char* file = path + LastSeparator(path) + 1;
    const char* dot = std::strrchr(file, '.');
    size_t n = dot && dot != file ? static_cast<size_t>(dot - file) : std::strlen(file);
    if (n >= kLPathSize)
        return CopyPart(out, "", 0);
    return CopyPart(out, file, n);
}

size_t LFile::_GetFileExtensionFromPath(char* out, const char* path)
{
    long dot = ExtensionDot(path);
    if (dot < 0)
        return CopyPart(out, "", 0);
    size_t n = std::strlen(path + dot);
    if (n >= kLPathSize)
        return CopyPart(out, "", 0);
    return CopyPart(out, path + dot, n);
}

bool LFile::_ApplyNewFileExtension(char* out, const char* path, const char* extension)
{
    if (!extension)
        extension = "";
    long dot = ExtensionDot(path);
    size_t keep = dot <= 0 ? std::strlen(path) : static_cast<size_t>(dot);
    size_t extensionLength = std::strlen(extension);
    if (keep + extensionLength >= kLPathSize) {
        out[0] = '\0';
        return false;
    }
    char result[kLPathSize];
    std::memcpy(result, path, keep);
    std::memcpy(result + keep, extension, extensionLength + 1);
    std::memcpy(out, result, keep + extensionLength + 1);
    return true;
}

void LFile::CompactFilePath(char* out, const char* path, size_t n)
{
    if (n == 0)
        return;
    size_t length = std::strlen(path);
    if (length < n) {
        std::memmove(out, path, length + 1);
        return;
    }
    if (n < 5) {
        CopyPart(out, "...", n - 1 < 3 ? n - 1 : 3);
        return;
    }
    size_t half = (n - 4) / 2;
    size_t head = half + ((n & 1) ? 1 : 0);
    size_t tail = half;
    // Never split a character: the head ends and the tail starts at a character boundary.
    size_t headEnd = CharacterStart(path, head);
    size_t tailStart = length - tail;
    while (tailStart < length && (static_cast<unsigned char>(path[tailStart]) & 0xC0) == 0x80)
        ++tailStart;
    // Built apart first: path and out may be the same buffer.
    size_t tailLength = length - tailStart;
    size_t total = headEnd + 3 + tailLength;
    std::unique_ptr<char[]> result(new char[total + 1]);
    std::memcpy(result.get(), path, headEnd);
    std::memcpy(result.get() + headEnd, "...", 3);
    std::memcpy(result.get() + headEnd + 3, path + tailStart, tailLength);
    result[total] = '\0';
    std::memcpy(out, result.get(), total + 1);
}

bool LFile::MakeUniqueOrderedFilePath(
    char* out, const char* folder, const char* name, const char* extension)
{
    char candidate[kLPathSize];
    if (!_MakeFilePath(candidate, folder, name, extension)) {
        out[0] = '\0';
        return false;
    }
    if (!TestFileExists(candidate)) {
        std::memcpy(out, candidate, std::strlen(candidate) + 1);
        return true;
    }
    char numbered[kLPathSize];
    for (unsigned int i = 0; i < 0xFFFFFFFFu; ++i) {
        int n = std::snprintf(numbered, sizeof numbered, "%s_%u", name ? name : "", i);
        if (n < 0 || static_cast<size_t>(n) >= sizeof numbered
            || !_MakeFilePath(candidate, folder, numbered, extension)) {
            out[0] = '\0';
            return false;
        }
        if (!TestFileExists(candidate)) {
            std::memcpy(out, candidate, std::strlen(candidate) + 1);
            return true;
        }
    }
    out[0] = '\0';
    return false;
}

bool LFile::IsSubFolder(const char* folder, const char* path)
{
    struct stat target { };
    if (!folder || !path || ::stat(folder, &target) != 0)
        return false;
    char base[kLPathSize];
    _GetBaseFolderFromPath(base, path);
    char current[kLPathSize];
    if (!CopyWhole(current, path))
        return false;
    while (current[0]) {
        struct stat st { };
        if (::stat(current, &st) == 0 && st.st_dev == target.st_dev && st.st_ino == target.st_ino)
            return true;
        if (std::strcmp(current, base) == 0)
            return false;
        char parent[kLPathSize];
        _GetFolderFromPath(parent, current);
        if (std::strcmp(parent, current) == 0)
            return false;
        std::memcpy(current, parent, std::strlen(parent) + 1);
    }
    return false;
}
