// An X server a test starts for itself (Xvfb on a display of its own) so that it may kill it, and
// openbox managing the windows of the display the environment names. Each runs under `timeout`:
// it ends with its object, and after ten minutes whatever becomes of the test. Header only.
#pragma once

#include "support/ProgramRun.h"

#include <csignal>
#include <fstream>
#include <string>
#include <sys/types.h>

namespace ownx {

inline constexpr int kLimitSeconds = 600;

// The command started in the background under `timeout`: the pid of `timeout`, which hands a
// SIGTERM on to the command and ends with it; 0 when it did not start.
inline pid_t Background(const std::string& command)
{
    const std::string pid = programrun::Shell("timeout -s KILL " + std::to_string(kLimitSeconds)
        + " " + command + " >/dev/null 2>&1 & echo $!");
    return pid.empty() ? 0 : pid_t(std::stol(pid));
}

// Whether the process has ended (a zombie nobody reaps has ended too).
inline bool Gone(pid_t pid)
{
    if (::kill(pid, 0) != 0)
        return true;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string word, name, state;
    stat >> word >> name >> state;
    return state == "Z";
}

// Ends a process of Background: true once it has gone (within 5 s).
inline bool End(pid_t pid, int signal = SIGTERM)
{
    if (pid <= 0)
        return true;
    ::kill(pid, signal);
    return programrun::WaitFor([&] { return Gone(pid); }, 5000, 5);
}

class XServer {
public:
    explicit XServer(const std::string& folder)
    {
        const std::string file = folder + "/display-number";
        fPid = Background("Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"
            + programrun::Quote(file));
        std::string number;
        programrun::WaitFor(
            [&] {
                std::ifstream in(file);
                return bool(std::getline(in, number)) && in.good();
            },
            15000, 10);
        if (!number.empty())
            fDisplay = ":" + number;
    }
    ~XServer()
    {
        if (!End(fPid))
            End(fPid, SIGKILL);
    }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // ":N", "" when it did not start.
    const std::string& Display() const { return fDisplay; }
    // Ends it as a log-out does (SIGTERM): true once it has gone.
    bool Kill() { return End(fPid); }

private:
    pid_t fPid = 0;
    std::string fDisplay;
};

// Openbox on the display of the environment, once it has taken the screen; nothing when a window
// manager runs there already.
class WindowManager {
public:
    WindowManager()
    {
        if (programrun::WindowManagerRuns())
            return;
        fPid = Background("openbox --sm-disable");
        programrun::WaitFor(programrun::WindowManagerRuns, 10000, 20);
    }
    ~WindowManager() { End(fPid); }
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;

    bool Runs() const { return programrun::WindowManagerRuns(); }

private:
    pid_t fPid = 0;
};

} // namespace ownx
