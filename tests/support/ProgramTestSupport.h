// The built `vorantel` as its own process on the test's X server, driven as a person drives it:
// xdotool keys and clicks, the window telling where its parts and its alerts' buttons are
// through the file named by VT_TEST_RECTANGLES_FILE, what a later start wrote to its standard
// output and error kept for the test, and a start as another user where the test runs as root.
#pragma once

#include "support/TemporaryFolder.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <map>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace program {

using Clock = std::chrono::steady_clock;

inline std::string Shell(const std::string& command, int* status = nullptr)
{
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
            out.append(buffer, n);
        int rc = pclose(p);
        if (status)
            *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

inline std::string Quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline void Sleep(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

inline bool Exists(const std::string& path)
{
    struct stat st = {};
    return ::lstat(path.c_str(), &st) == 0;
}

inline bool HasTools()
{
    return std::getenv("DISPLAY") && !Shell("command -v xdotool").empty()
        && !Shell("command -v import").empty();
}

// How a run starts: as another user, its standard output and error into files.
struct ProgramOptions {
    uid_t uid = uid_t(-1); // run as this user (and gid) when the test runs as root
    gid_t gid = gid_t(-1);
    std::string output; // files for standard output and error ("": inherited)
    std::string errors;
};

// One run of the program.
class Program {
public:
    using Options = ProgramOptions;
    explicit Program(const std::vector<std::string>& args, const Options& options = {})
        : fOptions(options)
    {
        std::vector<std::string> copy = args;
        std::string exe = std::string(VT_BINARY_DIR) + "/vorantel";
        pid = ::fork();
        if (pid == 0) {
            if (!options.output.empty()) {
                int fd = ::open(options.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
                ::dup2(fd, 1);
            }
            if (!options.errors.empty()) {
                int fd = ::open(options.errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
                ::dup2(fd, 2);
            }
            if (options.uid != uid_t(-1)
                && (::setgroups(0, nullptr) != 0 || ::setgid(options.gid) != 0
                    || ::setuid(options.uid) != 0))
                ::_exit(126);
            std::vector<char*> argv;
            argv.push_back(exe.data());
            for (std::string& a : copy)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(exe.c_str(), argv.data());
            ::_exit(127);
        }
    }
    ~Program()
    {
        if (pid > 0 && !exited) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // The exit status, or -1 when the process still runs after ms.
    int Wait(int ms)
    {
        if (exited)
            return status;
        auto end = Clock::now() + std::chrono::milliseconds(ms);
        do {
            int st = 0;
            if (::waitpid(pid, &st, WNOHANG) == pid) {
                exited = true;
                status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
                return status;
            }
            Sleep(50);
        } while (Clock::now() < end);
        return -1;
    }
    bool Running() { return Wait(0) == -1; }
    std::string Errors() const { return TemporaryFolder::ReadFile(fOptions.errors); }
    std::string Output() const { return TemporaryFolder::ReadFile(fOptions.output); }

    pid_t pid = -1;
    bool exited = false;
    int status = -1;

private:
    Options fOptions;
};

// The main window's X id once it shows (0 after ms).
inline unsigned long WaitMainWindow(int ms = 15000)
{
    auto end = Clock::now() + std::chrono::milliseconds(ms);
    do {
        std::string id = Shell("xdotool search --onlyvisible --name '^Vorantel av ZOR Software' "
                               "2>/dev/null | head -1");
        if (!id.empty())
            return std::stoul(id);
        Sleep(100);
    } while (Clock::now() < end);
    return 0;
}

inline std::string Caption(unsigned long xid)
{
    return Shell("xdotool getwindowname " + std::to_string(xid) + " 2>/dev/null");
}

inline bool WaitCaption(unsigned long xid, const std::string& caption, int ms = 8000)
{
    auto end = Clock::now() + std::chrono::milliseconds(ms);
    do {
        if (Caption(xid) == caption)
            return true;
        Sleep(100);
    } while (Clock::now() < end);
    return false;
}

// Keys to the window (it takes the focus first).
inline void KeysTo(unsigned long xid, const std::string& keys)
{
    Shell("xdotool windowfocus --sync " + std::to_string(xid) + " key --clearmodifiers --delay 60 "
        + keys + " 2>/dev/null");
    Sleep(300);
}

// Keys to whatever has the focus (a dialog over the window).
inline void Keys(const std::string& keys)
{
    Shell("xdotool key --clearmodifiers --delay 60 " + keys + " 2>/dev/null");
    Sleep(300);
}

// Waits until a visible window of that name shows (dialogs and file panels).
inline bool WaitWindowNamed(const std::string& name, int ms = 8000)
{
    auto end = Clock::now() + std::chrono::milliseconds(ms);
    do {
        std::istringstream ids(Shell("xdotool search --onlyvisible --name '' 2>/dev/null"));
        std::string id;
        while (std::getline(ids, id))
            if (Shell("xdotool getwindowname " + id + " 2>/dev/null") == name)
                return true;
        Sleep(100);
    } while (Clock::now() < end);
    return false;
}

// A file panel is up (its title given): the whole path is typed into its name field.
inline bool TypeIntoFilePanel(const std::string& title, const std::string& path)
{
    if (!WaitWindowNamed(title))
        return false;
    Sleep(400);
    Keys("ctrl+a");
    Shell("xdotool type --delay 20 " + Quote(path));
    Sleep(300);
    Keys("Return");
    return true;
}

inline bool WaitFile(const std::string& path, int ms = 15000)
{
    auto end = Clock::now() + std::chrono::milliseconds(ms);
    do {
        if (Exists(path))
            return true;
        Sleep(100);
    } while (Clock::now() < end);
    return false;
}

// A screenshot kept in <build>/<folder> ("NN-name.png").
inline void Shot(const std::string& folder, const std::string& name)
{
    static int count = 0;
    const std::string where = std::string(VT_BINARY_DIR) + "/" + folder;
    ::mkdir(where.c_str(), 0755);
    char number[16];
    std::snprintf(number, sizeof number, "%02d", ++count);
    Shell("import -window root " + Quote(where + "/" + number + "-" + name + ".png")
        + " 2>/dev/null");
}

// The rectangles the window wrote: name -> x y w h.
inline std::map<std::string, std::vector<int>> Rectangles(const std::string& file)
{
    std::map<std::string, std::vector<int>> out;
    std::ifstream in(file);
    std::string name;
    int x, y, w, h;
    while (in >> name >> x >> y >> w >> h)
        out[name] = { x, y, w, h };
    return out;
}

// The alert files of the window's rectangle file, removed before an alert is expected.
inline void ForgetAlert(const std::string& file)
{
    ::unlink((file + ".alert").c_str());
    ::unlink((file + ".alert-text").c_str());
}

// What the alert that shows says: its headline and message, one line each ("" when none shows
// within ms).
inline std::string AlertText(const std::string& file, int ms = 8000)
{
    auto end = Clock::now() + std::chrono::milliseconds(ms);
    do {
        if (Exists(file + ".alert"))
            return TemporaryFolder::ReadFile(file + ".alert-text");
        Sleep(100);
    } while (Clock::now() < end);
    return "";
}

// Clicks the button of the alert that shows (its label with '_' for spaces). The alert's files
// are removed first, so that what shows next is seen afresh.
inline bool ClickAlertButton(const std::string& file, const std::string& label, int ms = 8000)
{
    auto end = Clock::now() + std::chrono::milliseconds(ms);
    do {
        std::ifstream in(file + ".alert");
        std::string word, name;
        int x, y, w, h;
        while (in >> word >> name >> x >> y >> w >> h) {
            if (name == label) {
                ForgetAlert(file);
                Shell("xdotool mousemove --sync " + std::to_string(x + w / 2) + " "
                    + std::to_string(y + h / 2) + " click 1 2>/dev/null");
                Sleep(400);
                return true;
            }
        }
        Sleep(100);
    } while (Clock::now() < end);
    return false;
}

} // namespace program
