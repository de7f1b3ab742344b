#include "app/VTAutoSaveFiles.h"

#include "app/VTProjectFile.h"
#include "lfw/gen/LFile.h"

#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

bool EndsWith(const std::string& text, const char* end)
{
    const size_t n = std::strlen(end);
    return text.size() >= n && text.compare(text.size() - n, n, end) == 0;
}

bool Before(const timespec& a, const timespec& b)
{
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// A file of this user's that may be an autosave (not a link, a folder or a temporary file).
bool IsOwnFile(const std::string& path, struct stat& st)
{
    return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid();
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return "";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The folder as the system resolves it (links followed); as written when it cannot be.
std::string ResolvedFolder(const std::string& folder)
{
    char* real = ::realpath(folder.c_str(), nullptr);
    if (!real)
        return folder;
    std::string out = real;
    std::free(real);
    return out;
}

} // namespace

std::string VTAutoSaveFolder()
{
    std::string folder = LFile::GetUserDataFolderAppPath();
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

VTAutoSaveFound VTAutoSaveFindToOffer(const std::string& named)
{
    std::vector<std::string> candidates;
    if (!named.empty())
        candidates.push_back(named);
    const std::string folder = VTAutoSaveFolder();
    if (DIR* listing = folder.empty() ? nullptr : opendir(folder.c_str())) {
        while (const dirent* entry = readdir(listing)) {
            const std::string name = entry->d_name;
            if (name[0] != '.' && name.size() > std::strlen(kVTAutoSaveSuffix)
                && EndsWith(name, kVTAutoSaveSuffix) && folder + name != named)
                candidates.push_back(folder + name);
        }
        closedir(listing);
    }
    VTAutoSaveFound newest;
    timespec newestTime {};
    for (const std::string& path : candidates) {
        struct stat autosave { };
        if (!IsOwnFile(path, autosave))
            continue;
        // The project's file written since the autosave was made (as its stamp then tells, on
        // that file's own clock): the autosave holds nothing the file does not.
        std::string stamp;
        std::string origin = VTProjectReadAutoSaveOrigin(path.c_str(), &stamp);
        const std::string now = origin.find('/') != std::string::npos
            ? VTProjectFileStamp(origin.c_str())
            : std::string();
        if (!now.empty() && now != stamp) {
            unlink(path.c_str());
            continue;
        }
        // The named one first among equals.
        if (newest.path.empty() || Before(newestTime, autosave.st_mtim)) {
            newest.path = path;
            newest.origin = std::move(origin);
            newestTime = autosave.st_mtim;
        }
    }
    return newest;
}

std::string VTAutoSaveProjectPath(const std::string& origin)
{
    if (origin.empty())
        return "";
    const std::string folder = FolderOf(origin);
    if (!folder.empty()) {
        struct stat st { };
        if (stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            return origin;
    }
    const size_t slash = origin.rfind('/');
    const std::string name = slash == std::string::npos ? origin : origin.substr(slash + 1);
    return name.empty() ? "" : name;
}

bool VTAutoSaveSameFile(const std::string& a, const std::string& b)
{
    struct stat first {
    }, second {};
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0
        && first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool VTIsAutoSavePath(const char* path)
{
    if (!path || !*path)
        return false;
    const std::string p = path;
    const size_t slash = p.rfind('/');
    constexpr const char* kExtension = ".vtproj";
    const size_t n = std::strlen(kExtension);
    if (slash == std::string::npos || p.size() - slash - 1 <= n
        || strcasecmp(p.c_str() + p.size() - n, kExtension) != 0)
        return false;
    std::string data = VTAutoSaveFolder();
    if (data.empty())
        return false;
    if (data.size() > 1)
        data.pop_back();
    return ResolvedFolder(FolderOf(p)) == ResolvedFolder(data);
}
