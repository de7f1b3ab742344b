// Figures of a process as the kernel keeps them in /proc/<pid>/status. Header only.
#pragma once

#include <fstream>
#include <string>
#include <sys/types.h>

// A figure in kB ("VmRSS", "VmHWM"); -1 when it cannot be read.
inline long long StatusKb(pid_t pid, const std::string& field)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field + ":", 0) == 0)
            return std::stoll(line.substr(field.size() + 1));
    return -1;
}
