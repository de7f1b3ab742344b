#include "platform/system/Applications.h"

#include "platform/system/FileRead.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace platform::system {

namespace {

bool IsRegularFile(const std::string& path)
{
    struct stat st { };
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string Home()
{
    const char* home = getenv("HOME");
    return home && *home ? home : "/";
}

void SplitFolders(const char* list, std::vector<std::string>& out)
{
    std::string text = list;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(':', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start && text[start] == '/')
            out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

// An argument with its field codes taken out and "%%" made "%"; false when nothing but field
// codes was in it (the argument is then dropped).
bool StripFieldCodes(const std::string& in, std::string& out)
{
    out.clear();
    bool hadCode = false;
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '%' && i + 1 < in.size()) {
            if (in[i + 1] == '%') {
                out += '%';
            } else {
                hadCode = true;
            }
            ++i;
            continue;
        }
        out += in[i];
    }
    return !(hadCode && out.empty());
}

bool IsNumber(const char* name)
{
    if (!*name)
        return false;
    for (const char* p = name; *p; ++p)
        if (*p < '0' || *p > '9')
            return false;
    return true;
}

// Reads a desktop entry into file, never waiting on a path that names no regular file.
bool LoadKeyFile(GKeyFile* file, const std::string& path)
{
    std::string bytes;
    return ReadWholeFile(path.c_str(), bytes)
        && g_key_file_load_from_data(file, bytes.data(), bytes.size(), G_KEY_FILE_NONE, nullptr);
}

} // namespace

std::vector<std::string> DataFolders()
{
    std::vector<std::string> folders;
    const char* dataHome = getenv("XDG_DATA_HOME");
    if (dataHome && dataHome[0] == '/')
        folders.push_back(dataHome);
    else
        folders.push_back(Home() + "/.local/share");
    const char* dirs = getenv("XDG_DATA_DIRS");
    SplitFolders(dirs && *dirs ? dirs : "/usr/local/share:/usr/share", folders);
    return folders;
}

std::string FindDesktopEntryIn(const std::vector<std::string>& dataFolders, const std::string& key)
{
    if (key.empty() || key[0] == '.' || key.find('/') != std::string::npos)
        return {};
    for (const std::string& folder : dataFolders) {
        std::string path = folder + "/applications/" + key + ".desktop";
        if (!IsRegularFile(path))
            continue;
        // The first entry of that name hides those in later folders, usable or not.
        GKeyFile* entry = g_key_file_new();
        GDesktopAppInfo* info
            = LoadKeyFile(entry, path) ? g_desktop_app_info_new_from_keyfile(entry) : nullptr;
        g_key_file_free(entry);
        if (!info)
            return {};
        const bool hidden = g_desktop_app_info_get_is_hidden(info);
        g_object_unref(info);
        std::vector<std::string> argv;
        if (hidden || !DesktopEntryCommand(path, argv))
            return {};
        return path;
    }
    return {};
}

std::string FindDesktopEntry(const std::string& key)
{
    return FindDesktopEntryIn(DataFolders(), key);
}

bool DesktopEntryCommand(const std::string& entryPath, std::vector<std::string>& argvOut)
{
    argvOut.clear();
    GKeyFile* file = g_key_file_new();
    bool ok = false;
    if (LoadKeyFile(file, entryPath)) {
        gchar* exec = g_key_file_get_string(file, "Desktop Entry", "Exec", nullptr);
        gint argc = 0;
        gchar** argv = nullptr;
        if (exec && *exec && g_shell_parse_argv(exec, &argc, &argv, nullptr)) {
            for (gint i = 0; i < argc; ++i) {
                std::string arg;
                if (StripFieldCodes(argv[i], arg))
                    argvOut.push_back(arg);
            }
            g_strfreev(argv);
            if (!argvOut.empty()) {
                std::string program = FindProgramInPath(argvOut[0]);
                if (!program.empty()) {
                    argvOut[0] = program;
                    ok = true;
                }
            }
        }
        g_free(exec);
    }
    g_key_file_free(file);
    if (!ok)
        argvOut.clear();
    return ok;
}

std::string DesktopEntryName(const std::string& entryPath)
{
    GKeyFile* file = g_key_file_new();
    std::string name;
    if (LoadKeyFile(file, entryPath)) {
        gchar* value
            = g_key_file_get_locale_string(file, "Desktop Entry", "Name", nullptr, nullptr);
        if (value)
            name = value;
        g_free(value);
    }
    g_key_file_free(file);
    return name;
}

bool SpawnProgram(const std::vector<std::string>& argv, pid_t& pidOut, std::string& errorOut)
{
    pidOut = 0;
    errorOut.clear();
    if (argv.empty() || argv[0].empty()) {
        errorOut = "inget program";
        return false;
    }
    std::vector<gchar*> vector;
    for (const std::string& a : argv)
        vector.push_back(const_cast<gchar*>(a.c_str()));
    vector.push_back(nullptr);
    GError* error = nullptr;
    GPid pid = 0;
    // GLib reports a failed exec through its own pipe, so success means the program runs.
    gboolean ok = g_spawn_async(nullptr, vector.data(), nullptr,
        GSpawnFlags(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_SEARCH_PATH), nullptr, nullptr, &pid,
        &error);
    if (!ok) {
        errorOut = error && error->message ? error->message : "start misslyckades";
        if (error)
            g_error_free(error);
        return false;
    }
    pidOut = pid;
    return true;
}

bool ChildEnded(pid_t pid, int& statusOut)
{
    statusOut = -1;
    int status = 0;
    pid_t r;
    while ((r = waitpid(pid, &status, WNOHANG)) < 0 && errno == EINTR) { }
    if (r == 0)
        return false;
    if (r == pid && WIFEXITED(status))
        statusOut = WEXITSTATUS(status);
    return true; // ended, or not our child any more
}

void ReapInBackground(pid_t pid)
{
    if (pid <= 0)
        return;
    try {
        std::thread([pid] {
            int status = 0;
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
        }).detach();
    } catch (...) {
    }
}

std::string FindProgramInPath(const std::string& name)
{
    if (name.empty())
        return {};
    gchar* found = g_find_program_in_path(name.c_str());
    std::string path = found ? found : "";
    g_free(found);
    return path;
}

bool IsProcessRunningIn(const std::string& procFolder, uid_t user, const std::string& name)
{
    if (name.empty())
        return false;
    const std::string wanted = name.substr(0, kCommandNameLength);
    DIR* dir = opendir(procFolder.c_str());
    if (!dir)
        return false;
    bool found = false;
    while (dirent* e = readdir(dir)) {
        if (!IsNumber(e->d_name))
            continue;
        const std::string base = procFolder + "/" + e->d_name;
        struct stat st { };
        if (::stat(base.c_str(), &st) != 0 || st.st_uid != user)
            continue; // gone meanwhile, or another user's
        std::ifstream in(base + "/comm");
        std::string comm;
        if (!in || !std::getline(in, comm))
            continue;
        if (comm.substr(0, kCommandNameLength) == wanted) {
            found = true;
            break;
        }
    }
    closedir(dir);
    return found;
}

bool IsProcessRunning(const std::string& name)
{
    return IsProcessRunningIn("/proc", getuid(), name);
}

pid_t FindProcessByExecutable(const std::string& path)
{
    char resolved[PATH_MAX];
    if (path.empty() || !realpath(path.c_str(), resolved))
        return 0;
    const std::string wanted = resolved;
    DIR* dir = opendir("/proc");
    if (!dir)
        return 0;
    pid_t found = 0;
    const uid_t user = getuid();
    while (dirent* e = readdir(dir)) {
        if (!IsNumber(e->d_name))
            continue;
        const std::string base = std::string("/proc/") + e->d_name;
        struct stat st { };
        if (::stat(base.c_str(), &st) != 0 || st.st_uid != user)
            continue;
        char target[PATH_MAX];
        ssize_t n = readlink((base + "/exe").c_str(), target, sizeof target - 1);
        if (n <= 0)
            continue;
        target[n] = 0;
        if (wanted == target) {
            found = pid_t(atol(e->d_name));
            break;
        }
    }
    closedir(dir);
    return found;
}

} // namespace platform::system
