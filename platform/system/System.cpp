#include "platform/system/System.h"

#include "platform/system/FileRead.h"
#include "platform/system/WorkerQueue.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <malloc.h>
#include <pwd.h>
#include <sched.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform::system {

namespace {

bool IsFolder(const std::string& path)
{
    struct stat st { };
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The file's bytes; "" when it cannot be read.
std::string FileText(const std::string& path)
{
    std::string text;
    ReadWholeFile(path.c_str(), text);
    return text;
}

// The folder part of a path ("/" for a path directly under the root).
std::string FolderOf(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// An absolute environment value, or "".
std::string AbsoluteEnvironment(const char* name)
{
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? std::string(value) : std::string();
}

// The value in kB of a "Name:   1234 kB" line of a /proc text; -1 when absent.
long long ProcField(const std::string& text, const char* name)
{
    size_t length = std::strlen(name);
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        if (end - at > length && text.compare(at, length, name) == 0 && text[at + length] == ':') {
            const char* p = text.c_str() + at + length + 1;
            char* stop = nullptr;
            long long value = std::strtoll(p, &stop, 10);
            return stop == p ? -1 : value;
        }
        at = end + 1;
    }
    return -1;
}

// Undoes the octal escapes (\040 for a blank) of the mount table.
std::string UnescapeMountField(const std::string& field)
{
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const char* p = field.c_str() + i + 1;
            if (p[0] >= '0' && p[0] <= '3' && p[1] >= '0' && p[1] <= '7' && p[2] >= '0'
                && p[2] <= '7') {
                out += static_cast<char>((p[0] - '0') * 64 + (p[1] - '0') * 8 + (p[2] - '0'));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

// A directory of user-dirs.dirs ("$HOME/Documents" or an absolute path); "" when not set.
std::string XdgUserDirectory(const char* key, const std::string& home)
{
    std::string config = AbsoluteEnvironment("XDG_CONFIG_HOME");
    if (config.empty())
        config = home + "/.config";
    std::istringstream lines(FileText(config + "/user-dirs.dirs"));
    std::string line;
    std::string keyEquals = std::string(key) + "=";
    while (std::getline(lines, line)) {
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, keyEquals.size(), keyEquals) != 0)
            continue;
        std::string value = line.substr(start + keyEquals.size());
        if (value.size() >= 2 && value.front() == '"') {
            size_t close = value.find('"', 1);
            value = value.substr(1, close == std::string::npos ? std::string::npos : close - 1);
        }
        if (value.compare(0, 5, "$HOME") == 0)
            value = home + value.substr(5);
        while (value.size() > 1 && value.back() == '/')
            value.pop_back();
        // A folder equal to the home folder means the entry is switched off.
        if (value.empty() || value[0] != '/' || value == home)
            return {};
        return value;
    }
    return {};
}

} // namespace

std::string ExecutablePath()
{
    // Asked for every resource the program loads; the running executable stays the same file.
    static const std::string path = [] {
        std::vector<char> buffer(PATH_MAX + 1);
        for (;;) {
            ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
            if (n < 0)
                return std::string();
            if (static_cast<size_t>(n) < buffer.size())
                return std::string(buffer.data(), static_cast<size_t>(n));
            buffer.resize(buffer.size() * 2);
        }
    }();
    return path;
}

std::string ExecutableFolder()
{
    return FolderOf(ExecutablePath());
}

std::string ResourcesFolder()
{
    if (const char* forced = std::getenv("VT_RESOURCES_DIR"); forced && *forced) {
        std::string path(forced);
        while (path.size() > 1 && path.back() == '/')
            path.pop_back();
        if (IsFolder(path))
            return path;
    }
    std::string folder = ExecutableFolder();
    if (folder.empty())
        return {};
    std::string beside = (folder == "/" ? std::string() : folder) + "/resources";
    if (IsFolder(beside))
        return beside;
    std::string installed = FolderOf(folder) + "/share/vorantel";
    if (IsFolder(installed))
        return installed;
    return {};
}

std::string HomeFolder()
{
    std::string home = AbsoluteEnvironment("HOME");
    if (home.empty()) {
        if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
            home = entry->pw_dir;
    }
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    return home.empty() ? std::string("/") : home;
}

UserFolderPath GetUserFolder(UserFolder which)
{
    std::string home = HomeFolder();
    std::string base = home == "/" ? std::string() : home;
    UserFolderPath result;
    switch (which) {
    case UserFolder::Documents:
        result.path = XdgUserDirectory("XDG_DOCUMENTS_DIR", home);
        if (result.path.empty())
            result = { base + "/Documents", true };
        break;
    case UserFolder::Pictures:
        result.path = XdgUserDirectory("XDG_PICTURES_DIR", home);
        if (result.path.empty())
            result = { base + "/Pictures", true };
        break;
    case UserFolder::Data:
        result.path = AbsoluteEnvironment("XDG_DATA_HOME");
        if (result.path.empty())
            result = { base + "/.local/share", true };
        break;
    case UserFolder::Cache:
        result.path = AbsoluteEnvironment("XDG_CACHE_HOME");
        if (result.path.empty())
            result = { base + "/.cache", true };
        break;
    }
    while (result.path.size() > 1 && result.path.back() == '/')
        result.path.pop_back();
    return result;
}

uint64_t FreeMemoryFrom(const std::string& meminfo, const std::string& status, uint64_t dataLimit)
{
    uint64_t machine = 0;
    long long available = ProcField(meminfo, "MemAvailable");
    if (available < 0) {
        long long free = ProcField(meminfo, "MemFree");
        long long inactive = ProcField(meminfo, "Inactive");
        available = free < 0 ? -1 : free + std::max(inactive, 0LL);
    }
    if (available > 0)
        machine = static_cast<uint64_t>(available) * 1024;

    uint64_t process = UINT64_MAX;
    if (dataLimit != UINT64_MAX) {
        long long used = ProcField(status, "VmData");
        uint64_t usedBytes = used > 0 ? static_cast<uint64_t>(used) * 1024 : 0;
        process = dataLimit > usedBytes ? dataLimit - usedBytes : 0;
    }
    return std::min(machine, process);
}

void SetUpAllocatorForLargeBlocks()
{
    constexpr int kOwnPages = 2 << 20;
    mallopt(M_MMAP_THRESHOLD, kOwnPages);
    mallopt(M_TRIM_THRESHOLD, 2 * kOwnPages);
}

void ReturnFreeMemory()
{
    malloc_trim(0);
}

void ReturnFreeMemorySoon()
{
    // Set while a return is queued and not begun: the calls meanwhile are served by it.
    static std::atomic<bool> queued { false };
    static WorkerQueue* queue = new WorkerQueue("Minnesretur"); // lives to the end, as its work
    if (queued.exchange(true))
        return;
    if (!queue->Add([] {
            queued = false;
            ReturnFreeMemory();
        }))
        queued = false;
}

uint64_t FreeMemory()
{
    rlimit limit {};
    uint64_t dataLimit = UINT64_MAX;
    if (::getrlimit(RLIMIT_DATA, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        dataLimit = static_cast<uint64_t>(limit.rlim_cur);
    std::string status = dataLimit == UINT64_MAX ? std::string() : FileText("/proc/self/status");
    return FreeMemoryFrom(FileText("/proc/meminfo"), status, dataLimit);
}

uint64_t PhysicalMemory()
{
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return uint64_t(pages) * uint64_t(pageSize);
}

int ProcessorCount()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return CPU_COUNT(&set);
    return int(std::max(::sysconf(_SC_NPROCESSORS_ONLN), 1L));
}

std::string OpticalDriveMountPointFrom(
    const std::string& blockFolder, const std::string& mountsFile, int index)
{
    if (index < 0 || index == 255)
        return {};
    std::vector<long> drives;
    if (DIR* dir = ::opendir(blockFolder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const char* name = entry->d_name;
            if (name[0] != 's' || name[1] != 'r'
                || !std::isdigit(static_cast<unsigned char>(name[2])))
                continue;
            char* stop = nullptr;
            long number = std::strtol(name + 2, &stop, 10);
            if (*stop == '\0')
                drives.push_back(number);
        }
        ::closedir(dir);
    }
    std::sort(drives.begin(), drives.end());
    if (static_cast<size_t>(index) >= drives.size())
        return {};
    std::string device = "/dev/sr" + std::to_string(drives[static_cast<size_t>(index)]);

    std::istringstream lines(FileText(mountsFile));
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string source, target;
        if (!(fields >> source >> target))
            continue;
        source = UnescapeMountField(source);
        bool same = source == device;
        if (!same && source.compare(0, 5, "/dev/") == 0) {
            // Mounted through another name of the device (/dev/cdrom, /dev/disk/by-label/...).
            char resolved[PATH_MAX];
            same = ::realpath(source.c_str(), resolved) && device == resolved;
        }
        if (same)
            return UnescapeMountField(target);
    }
    return {};
}

std::string OpticalDriveMountPoint(int index)
{
    return OpticalDriveMountPointFrom("/sys/class/block", "/proc/self/mounts", index);
}

} // namespace platform::system
