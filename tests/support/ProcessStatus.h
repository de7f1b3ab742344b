// Figures of a process as the kernel keeps them in /proc/<pid>/status and /proc/<pid>/stat.
// Header only.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/types.h>
#include <thread>
#include <unistd.h>

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

// How far this process's peak resident memory rose over its resident memory while the work ran,
// in kB (the peak is put back to what is resident first); -1 when the system does not allow it.
inline long long PeakRiseKb(const std::function<void()>& work)
{
    std::ofstream reset("/proc/self/clear_refs");
    if (!(reset << "5" << std::flush))
        return -1;
    const long long before = StatusKb(getpid(), "VmRSS");
    work();
    return StatusKb(getpid(), "VmHWM") - before;
}

// The processor time (user and system, ms) of a process, or of one of its threads; -1 when it
// cannot be read.
inline long long CpuMs(pid_t pid, pid_t thread = 0)
{
    const std::string file = "/proc/" + std::to_string(pid)
        + (thread ? "/task/" + std::to_string(thread) : std::string()) + "/stat";
    std::ifstream in(file);
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The fields after the command's name, which ends with the last ")": utime and stime are the
    // 12th and 13th of them.
    const size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    long long ticks = 0;
    for (int i = 1; i <= 13 && fields >> field; ++i)
        if (i >= 12)
            ticks += std::atoll(field.c_str());
    return ticks * 1000 / sysconf(_SC_CLK_TCK);
}

// How many threads of the process bear the name (/proc/<pid>/task/<tid>/comm: the first 15
// bytes of the name a thread gave itself).
inline int ThreadsNamed(pid_t pid, const std::string& name)
{
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    int found = 0;
    if (DIR* dir = opendir(tasks.c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::ifstream comm(tasks + "/" + entry->d_name + "/comm");
            std::string line;
            found += std::getline(comm, line) && line == name;
        }
        closedir(dir);
    }
    return found;
}

// Whether a thread of the process bears the name (the picture encoder's is "Bildkodning").
inline bool HasThread(pid_t pid, const std::string& name)
{
    return ThreadsNamed(pid, name) > 0;
}

// Waits until the process has taken less than a tenth of a processor over a whole second (its
// workers included); false when it has not after ms.
inline bool WaitProcessQuiet(pid_t pid, int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    long long before = CpuMs(pid);
    while (std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const long long now = CpuMs(pid);
        if (now >= 0 && now - before < 100)
            return true;
        before = now;
    }
    return false;
}

// The processor time (ms) the process's thread of that name has taken (the most of several of
// that name); -1 while it has none.
inline long long ThreadCpuMs(pid_t pid, const std::string& name)
{
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(tasks.c_str());
    long long ms = -1;
    while (dirent* entry = dir ? readdir(dir) : nullptr) {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream in(tasks + "/" + entry->d_name + "/comm");
        std::string comm;
        if (std::getline(in, comm) && comm == name)
            ms = std::max(ms, CpuMs(pid, pid_t(std::atoi(entry->d_name))));
    }
    if (dir)
        closedir(dir);
    return ms;
}

// Waits for the condition as long as the process works beside its main thread (the program's
// workers run below its window's thread and get what other programs leave: minutes for a large
// picture on a loaded machine), looking every pollMs. False once that work took no processor time
// for 20 seconds without the condition, or after ms.
inline bool WaitWhileWorking(pid_t pid, const std::function<bool()>& condition, int ms, int pollMs)
{
    using Clock = std::chrono::steady_clock;
    const auto aside = [pid] { return CpuMs(pid) - CpuMs(pid, pid); };
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    long long last = aside();
    auto moved = Clock::now();
    while (!condition()) {
        const auto now = Clock::now();
        if (const long long cpu = aside(); cpu != last) {
            last = cpu;
            moved = now;
        }
        if (now >= end || now - moved > std::chrono::seconds(20))
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
    }
    return true;
}
