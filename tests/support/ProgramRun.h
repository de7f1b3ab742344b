// The built program run as its own process on the test's X server, as a person starts it, and
// the shell commands a test uses to look at it: its main window found, its caption read, files
// it writes waited for. A run may go as another user (the test running as root), keep its
// standard output and error for the test, and start in a folder of its own. Header only (the
// build folder is known to the test programs); E2eProgram.h adds driving it with keys and clicks.
#pragma once

#include "support/CommandOutput.h"
#include "support/TemporaryFolder.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace programrun {

using Clock = std::chrono::steady_clock;

// How much longer things take in a build with AddressSanitizer (the program's too): the time
// bounds of the tests, which tell a freeze from a wait, are stretched by it.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr int kSlowdown = 8;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr int kSlowdown = 8;
#else
inline constexpr int kSlowdown = 1;
#endif
#else
inline constexpr int kSlowdown = 1;
#endif
// A build with AddressSanitizer: its allocator, not the system's, holds the program's memory.
inline constexpr bool kAddressSanitizer = kSlowdown > 1;

inline void Sleep(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

inline long long Ms(Clock::duration d)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
}

// Runs a shell command: its standard output without the last line end, its exit status in
// *status (-1 when it did not end normally).
inline std::string Shell(const std::string& command, int* status = nullptr)
{
    std::string out = CommandOutput(command, status);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

// The text as one word of a shell command.
inline std::string Quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Whether anything stands at the path (a dangling link too).
inline bool Exists(const std::string& path)
{
    struct stat st = {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Waits until cond holds, looking every stepMs, at most ms; answers whether it came to hold.
template <class Cond> bool WaitFor(Cond cond, int ms, int stepMs = 20)
{
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (cond())
            return true;
        if (Clock::now() >= end)
            return false;
        Sleep(stepMs);
    }
}

inline bool WaitFile(const std::string& path, int ms = 15000)
{
    return WaitFor([&] { return Exists(path); }, ms, 100);
}

// The rectangles the window wrote to the file named by VT_TEST_RECTANGLES_FILE: name -> its
// x, y, width and height in screen pixels, as an R made of those four.
template <class R = std::vector<int>> std::map<std::string, R> Rectangles(const std::string& file)
{
    std::map<std::string, R> out;
    std::ifstream in(file);
    std::string name;
    int x, y, w, h;
    while (in >> name >> x >> y >> w >> h)
        out[name] = R { x, y, w, h };
    return out;
}

// A display, xdotool and ImageMagick's import: what driving the program and keeping
// screenshots of it takes.
inline bool HasTools()
{
    return std::getenv("DISPLAY") && !Shell("command -v xdotool").empty()
        && !Shell("command -v import").empty();
}

// Whether the user may run the built program: a build inside a folder only its owner may enter
// (a clone in a private temporary folder, say) cannot be run as another user.
inline bool UserMayRunProgram(uid_t uid, gid_t gid)
{
    const std::string exe = std::string(VT_BINARY_DIR) + "/vorantel";
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
            ::_exit(2);
        ::_exit(::access(exe.c_str(), X_OK) == 0 ? 0 : 1);
    }
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)
        && WEXITSTATUS(status) == 0;
}

// How a run starts: as another user, its standard output and error into files.
struct ProgramOptions {
    uid_t uid = uid_t(-1); // run as this user (and gid) when the test runs as root
    gid_t gid = gid_t(-1);
    std::string output; // files for standard output and error ("": inherited)
    std::string errors;
    std::string folder; // the working folder ("": inherited)
};

// One run of <build>/vorantel with the arguments; killed when the object goes and it still runs.
class Program {
public:
    using Options = ProgramOptions;
    explicit Program(const std::vector<std::string>& args, const Options& options = {})
        : fOptions(options)
    {
        // Everything the child needs is made before the fork: the test may run threads, and
        // the child calls nothing but the system until it runs the program.
        std::string exe = std::string(VT_BINARY_DIR) + "/vorantel";
        std::vector<std::string> copy = args;
        std::vector<char*> argv { exe.data() };
        for (std::string& a : copy)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const char* output = options.output.empty() ? nullptr : options.output.c_str();
        const char* errors = options.errors.empty() ? nullptr : options.errors.c_str();
        const char* folder = options.folder.empty() ? nullptr : options.folder.c_str();
        fPid = ::fork();
        if (fPid == 0) {
            if (folder && ::chdir(folder) != 0)
                ::_exit(126);
            if (output) {
                int fd = ::open(output, O_WRONLY | O_CREAT | O_TRUNC, 0666);
                if (fd < 0 || ::dup2(fd, 1) < 0)
                    ::_exit(126);
            }
            if (errors) {
                int fd = ::open(errors, O_WRONLY | O_CREAT | O_TRUNC, 0666);
                if (fd < 0 || ::dup2(fd, 2) < 0)
                    ::_exit(126);
            }
            if (options.uid != uid_t(-1)
                && (::setgroups(0, nullptr) != 0 || ::setgid(options.gid) != 0
                    || ::setuid(options.uid) != 0))
                ::_exit(126);
            ::execv(exe.c_str(), argv.data());
            ::_exit(127);
        }
        Live().push_back(this);
    }
    ~Program()
    {
        Live().erase(std::remove(Live().begin(), Live().end(), this), Live().end());
        if (fPid > 0 && !fExited) {
            ::kill(fPid, SIGKILL);
            ::waitpid(fPid, nullptr, 0);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Started() const { return fPid > 0; }
    pid_t Pid() const { return fPid; }
    // The exit status (128 + the signal when one ended it), or -1 while it still runs after ms.
    int Wait(int ms)
    {
        if (fPid <= 0)
            return -1;
        WaitFor(
            [&] {
                int st = 0;
                if (!fExited && ::waitpid(fPid, &st, WNOHANG) == fPid) {
                    fExited = true;
                    fStatus = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
                }
                return fExited;
            },
            ms, 5);
        return fExited ? fStatus : -1;
    }
    bool Running() { return Started() && Wait(0) == -1; }
    std::string Errors() const { return TemporaryFolder::ReadFile(fOptions.errors); }
    std::string Output() const { return TemporaryFolder::ReadFile(fOptions.output); }

    // The runs of this test that have not been destroyed yet.
    static std::vector<Program*>& Live()
    {
        static std::vector<Program*> live;
        return live;
    }

private:
    Options fOptions;
    pid_t fPid = -1;
    bool fExited = false;
    int fStatus = -1;
};

// What a test that waited in vain for a window prints: the windows of this display (id, name,
// map state) and, for each run of the program on it, its state and its threads' stacks (when
// gdb is there), so that a window that never came tells whether the program was stuck or slow.
inline void DescribeDisplayAndPrograms()
{
    const char* display = std::getenv("DISPLAY");
    std::fprintf(stderr, "Windows of the display:\n%s\n",
        Shell("for w in $(xdotool search --name . 2>/dev/null); do printf '%s %s |%s\\n' \"$w\" "
              "\"$(xdotool getwindowname \"$w\" 2>/dev/null)\" \"$(xwininfo -id \"$w\" 2>/dev/null "
              "| grep 'Map State')\"; done")
            .c_str());
    for (Program* run : Program::Live()) {
        const int status = run->Wait(0);
        if (status == -1)
            std::fprintf(stderr, "Run %d of the test: still running\n", int(run->Pid()));
        else
            std::fprintf(stderr, "Run %d of the test: ended with %d\n", int(run->Pid()), status);
    }
    // The program names its main thread, so it is found by its executable.
    std::fprintf(stderr, "Programs on it:\n%s\n",
        Shell("for d in /proc/[0-9]*; do [ \"$(readlink \"$d/exe\" 2>/dev/null)\" = '"
            + std::string(VT_BINARY_DIR)
            + "/vorantel' ] || continue; tr '\\0' '\\n' "
              "<\"$d/environ\" 2>/dev/null | grep -qx 'DISPLAY="
            + std::string(display ? display : "")
            + "' || continue; p=${d#/proc/}; echo \"pid $p $(grep State \"$d/status\")\"; "
              "command -v gdb >/dev/null && gdb -batch -p \"$p\" -ex 'thread apply all bt 15' "
              "2>/dev/null | grep -E '^(#|Thread)'; done")
            .c_str());
}

// Whether a window manager runs on the display (it names itself on the root window).
inline bool WindowManagerRuns()
{
    return Shell("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null").find("window id")
        != std::string::npos;
}

// The X id of the program's main window once it shows, 0 when it does not within ms (and then
// what the display and the program were doing is printed).
inline unsigned long WaitMainWindow(int ms = 15000)
{
    unsigned long xid = 0;
    WaitFor(
        [&] {
            std::string id = Shell("xdotool search --onlyvisible --name "
                                   "'^Vorantel av ZOR Software' 2>/dev/null | head -1");
            xid = id.empty() ? 0 : std::stoul(id);
            return xid != 0;
        },
        ms, 100);
    if (!xid)
        DescribeDisplayAndPrograms();
    return xid;
}

inline std::string Caption(unsigned long xid)
{
    return Shell("xdotool getwindowname " + std::to_string(xid) + " 2>/dev/null");
}

inline bool WaitCaption(unsigned long xid, const std::string& caption, int ms = 8000)
{
    return WaitFor([&] { return Caption(xid) == caption; }, ms, 100);
}

} // namespace programrun
