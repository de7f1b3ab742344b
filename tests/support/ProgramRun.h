// The built program run as its own process on the test's X server, as a person starts it, and
// the shell commands a test uses to look at it. Header only (the build folder is known to the
// test programs).
#pragma once

#include <chrono>
#include <csignal>
#include <cstdio>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace programrun {

using Clock = std::chrono::steady_clock;

inline void Sleep(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The command's standard output without its last line end.
inline std::string Shell(const std::string& command)
{
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
            out.append(buffer, n);
        pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

// Waits until the condition holds, at most ms; answers whether it came to hold.
template <typename F> bool WaitFor(F condition, int ms)
{
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (condition())
            return true;
        if (Clock::now() >= end)
            return false;
        Sleep(50);
    }
}

// One run of <build>/vorantel with the arguments; killed when the object goes and it still runs.
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
        if (posix_spawn(&pid_, exe.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
    }
    ~Program()
    {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Started() const { return pid_ > 0; }
    // The exit status, or -1 while it still runs after ms.
    int Wait(int ms)
    {
        if (pid_ <= 0)
            return -1;
        WaitFor(
            [&] {
                int st = 0;
                if (!exited_ && waitpid(pid_, &st, WNOHANG) == pid_) {
                    exited_ = true;
                    status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
                }
                return exited_;
            },
            ms);
        return exited_ ? status_ : -1;
    }

private:
    pid_t pid_ = -1;
    bool exited_ = false;
    int status_ = -1;
};

// The X id of the program's main window once it shows, 0 when it does not within ms.
inline unsigned long WaitMainWindow(int ms = 20000)
{
    unsigned long id = 0;
    WaitFor(
        [&] {
            std::string found = Shell("xdotool search --onlyvisible --name "
                                      "'^Vorantel av ZOR Software' 2>/dev/null | head -1");
            id = found.empty() ? 0 : std::stoul(found);
            return id != 0;
        },
        ms);
    return id;
}

inline std::string WindowName(unsigned long id)
{
    return Shell("xdotool getwindowname " + std::to_string(id) + " 2>/dev/null");
}

} // namespace programrun
