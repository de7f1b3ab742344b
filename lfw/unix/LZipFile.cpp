#include "lfw/unix/LZipFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "lfw/gen/LString.h"

extern char** environ;

namespace {

const char kTool[] = "/usr/bin/unzip";

// A path that begins with "-" would be read as an option.
std::string NotAnOption(const char* path)
{
    if (path[0] == '-')
        return std::string("./") + path;
    return path;
}

// unzip matches the file name of the archive path as a wildcard pattern when it holds "[", "*"
// or "?" (the folder part is taken as it is): "a[1].zip" would open "a1.zip". Such a name gets
// each pattern character, and the backslash that escapes in patterns, matched as itself.
std::string LiteralArchivePath(const char* path)
{
    std::string p = NotAnOption(path);
    const size_t slash = p.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    if (p.find_first_of("[*?", nameStart) == std::string::npos)
        return p;
    std::string out = p.substr(0, nameStart);
    for (size_t i = nameStart; i < p.size(); ++i) {
        switch (p[i]) {
        case '[':
            out += "[[]";
            break;
        case '*':
            out += "[*]";
            break;
        case '?':
            out += "[?]";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            out += p[i];
        }
    }
    return out;
}

} // namespace

LZipFile::LZipFile(const char* path, int flag)
    : m_flag(flag)
{
    utf8strlcpy(m_path, path ? path : "", sizeof m_path);
    LFile::_GetFolderFromPath(m_folder, m_path);
}

void LZipFile::Clear()
{
    m_path[0] = 0;
    m_folder[0] = 0;
}

bool LZipFile::ExtractAllFiles(const char* destination)
{
    if (m_path[0] == 0 || !destination)
        return false;
    const std::string archive = LiteralArchivePath(m_path);
    const std::string folder = NotAnOption(destination);
    std::vector<char*> argv
        = { const_cast<char*>(kTool), const_cast<char*>("-o"), const_cast<char*>(archive.c_str()),
              const_cast<char*>("-d"), const_cast<char*>(folder.c_str()), nullptr };

    // The tool's own option variables could turn overwriting off or add other options.
    std::vector<char*> env;
    for (char** e = environ; e && *e; ++e)
        if (std::strncmp(*e, "UNZIP=", 6) != 0 && std::strncmp(*e, "UNZIPOPT=", 9) != 0)
            env.push_back(*e);
    env.push_back(nullptr);

    // No input (it never asks: -o), and its listing goes to standard error.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, 2, 1);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, kTool, &actions, nullptr, argv.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return false;

    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool LZipFileExtractAllFiles(const char* archive, const char* destination)
{
    LZipFile zip(archive, 0);
    return zip.ExtractAllFiles(destination);
}
