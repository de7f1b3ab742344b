// A disk that fills up, for tests of what a full disk does: a small memory file system mounted
// on a folder in a mount namespace of the calling process's own (as root, or through a user
// namespace where the system allows one), so nothing outside the process sees it.
#pragma once

#include "support/TemporaryFolder.h"

#include <cstdio>
#include <functional>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace smalldisk {

// Mounts a memory file system of size ("256k") on folder in a private mount namespace; false
// when this process may not make one. Call it in a single-threaded child (InChild), or once in a
// test process whose other tests do not mind the private namespace.
inline bool Mount(const std::string& folder, const char* size)
{
    if (::unshare(CLONE_NEWNS) != 0) {
        const uid_t uid = ::geteuid();
        const gid_t gid = ::getegid();
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            return false;
        TemporaryFolder::WriteFile("/proc/self/setgroups", "deny");
        TemporaryFolder::WriteFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1");
        TemporaryFolder::WriteFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
    }
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return false;
    const std::string options = std::string("size=") + size;
    return ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

// A small memory file system mounted on a new temporary folder in this process's own mount
// namespace (its children, the program, see it too); unmounted when it goes.
class Folder {
public:
    explicit Folder(const char* size)
    {
        mounted = ::unshare(CLONE_NEWNS) == 0
            && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
            && ::mount("tmpfs", folder.Path().c_str(), "tmpfs", 0,
                   (std::string("size=") + size).c_str())
                == 0;
    }
    ~Folder()
    {
        if (mounted)
            ::umount2(folder.Path().c_str(), MNT_DETACH);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    TemporaryFolder folder;
    bool mounted = false;
};

// Runs fn in a child process; answers the lines it wrote to its report (none when it died).
inline std::vector<std::string> InChild(const std::function<void(FILE* report)>& fn)
{
    int p[2];
    if (::pipe(p) != 0)
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(p[0]);
        FILE* report = ::fdopen(p[1], "w");
        fn(report);
        std::fclose(report);
        ::_exit(0);
    }
    ::close(p[1]);
    std::vector<std::string> lines;
    FILE* in = ::fdopen(p[0], "r");
    char line[8192];
    while (std::fgets(line, sizeof line, in)) {
        std::string l = line;
        if (!l.empty() && l.back() == '\n')
            l.pop_back();
        lines.push_back(l);
    }
    std::fclose(in);
    int status = 0;
    ::waitpid(child, &status, 0);
    return lines;
}

} // namespace smalldisk
