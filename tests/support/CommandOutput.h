// What a shell command writes to its standard output, read to its end, and how it ended.
#pragma once

#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

// How long a command may run before it is stopped: a tool that waits for ever (import on a
// window that went away, xdotool's --sync for a window that never comes, a clipboard owner that
// never answers) then fails its test instead of holding the run until ctest gives up on it.
inline constexpr int kCommandLimitSeconds = 240;

// The command's standard output as it stands; its exit status in *status (-1 when it could not
// be run or did not end normally; 124 when it ran past its time limit and was stopped).
inline std::string CommandOutput(
    const std::string& command, int* status = nullptr, int limitSeconds = kCommandLimitSeconds)
{
    std::string quoted = "'";
    for (char c : command)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    quoted += "'";
    // What the command leaves running in the background (an owner of the clipboard, say) goes
    // on after it; only the command itself is bounded.
    // By their full paths: a test may run its commands with a PATH of its own, or none.
    const char* timeout = access("/usr/bin/timeout", X_OK) == 0 ? "/usr/bin/timeout" : "timeout";
    const std::string bounded = std::string(timeout) + " -k 5 " + std::to_string(limitSeconds)
        + " /bin/sh -c " + quoted;
    std::string out;
    FILE* p = popen(bounded.c_str(), "r");
    if (!p) {
        if (status)
            *status = -1;
        return out;
    }
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
        out.append(buffer, n);
    const int rc = pclose(p);
    if (status)
        *status = rc != -1 && WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}
