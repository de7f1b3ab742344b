// What a shell command writes to its standard output, read to its end, and how it ended.
#pragma once

#include <cstdio>
#include <string>
#include <sys/wait.h>

// The command's standard output as it stands; its exit status in *status (-1 when it could not
// be run or did not end normally).
inline std::string CommandOutput(const std::string& command, int* status = nullptr)
{
    std::string out;
    FILE* p = popen(command.c_str(), "r");
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
