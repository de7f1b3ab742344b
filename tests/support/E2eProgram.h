// Helpers of end-to-end tests: the built `vorantel` started as its own process on the test's X
// server, driven with xdotool, telling where its parts are through the file named by
// VT_TEST_RECTANGLES_FILE (its alerts' buttons in "<file>.alert").
#pragma once

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <map>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace e2e {

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

inline void Sleep(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

inline long long Ms(Clock::duration d)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
}

// Runs a shell command: its output without the last line end, its exit status in *status.
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

inline bool Exists(const std::string& path)
{
    struct stat st = {};
    return stat(path.c_str(), &st) == 0;
}

// Waits until cond holds, at most ms; answers its last value.
template <class Cond> bool WaitFor(Cond cond, int ms, int stepMs = 20)
{
    auto end = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (cond())
            return true;
        if (Clock::now() >= end)
            return false;
        Sleep(stepMs);
    }
}

// One run of the program; killed when still running at the end.
class Program {
public:
    explicit Program(const std::vector<std::string>& args)
    {
        std::string exe = std::string(VT_BINARY_DIR) + "/vorantel";
        std::vector<std::string> copy = args;
        std::vector<char*> argv { exe.data() };
        for (std::string& a : copy)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
            pid = -1;
    }
    ~Program()
    {
        if (pid > 0 && !exited) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    // The exit status, or -1 when the process still runs after ms.
    int Wait(int ms)
    {
        if (exited)
            return status;
        WaitFor(
            [&] {
                int st = 0;
                if (waitpid(pid, &st, WNOHANG) != pid)
                    return false;
                exited = true;
                status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
                return true;
            },
            ms, 5);
        return exited ? status : -1;
    }
    pid_t pid = -1;
    bool exited = false;
    int status = -1;
};

// The main window's X id once it shows (0 after ms).
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
    return xid;
}

// The rectangles the window wrote: name -> x y w h (screen pixels).
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

// The xdotool words that click the middle of a rectangle (nudged by dx, dy).
inline std::string ClickWords(const std::vector<int>& r, int dx = 0, int dy = 0)
{
    return "mousemove --sync " + std::to_string(r[0] + r[2] / 2 + dx) + " "
        + std::to_string(r[1] + r[3] / 2 + dy) + " click 1 ";
}

// Gives the window the keyboard, then runs the xdotool words.
inline void Drive(unsigned long xid, const std::string& words)
{
    Shell("xdotool windowfocus --sync " + std::to_string(xid) + " " + words + " 2>/dev/null");
}

// The button of the alert that shows, clicked (its rectangles in "<file>.alert", which the caller
// removed before the alert was asked for).
inline bool ClickAlertButton(const std::string& file, const std::string& label, int ms = 8000)
{
    bool clicked = false;
    WaitFor(
        [&] {
            std::ifstream in(file + ".alert");
            std::string word, name;
            int x, y, w, h;
            while (in >> word >> name >> x >> y >> w >> h) {
                if (name == label) {
                    Shell("xdotool mousemove --sync " + std::to_string(x + w / 2) + " "
                        + std::to_string(y + h / 2) + " click 1 2>/dev/null");
                    clicked = true;
                }
            }
            return clicked;
        },
        ms, 50);
    return clicked;
}

// Keeps a screenshot of the screen in <build>/e2e.
inline void Shot(const std::string& name)
{
    std::string folder = std::string(VT_BINARY_DIR) + "/e2e";
    mkdir(folder.c_str(), 0755);
    const char* scale = getenv("GDK_SCALE");
    const char* wm = getenv("VT_WINDOW_MANAGER");
    std::string suffix = std::string(scale && scale[0] == '2' ? "-scale2" : "")
        + (wm && wm[0] == '1' ? "-wm" : "");
    Shell("import -window root " + Quote(folder + "/" + name + suffix + ".png") + " 2>/dev/null");
}

} // namespace e2e
