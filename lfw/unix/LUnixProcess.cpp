#include "lfw/unix/LUnixProcess.h"

#include "lfw/gen/LLocale.h"
#include "lfw/unix/LUnixApplication.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

int gargc = 0;
char** gargv = nullptr;

namespace {

constexpr size_t kLExecutableMax = 259;
constexpr rlim_t kLOpenFilesSoftLimit = 1024;

std::vector<char*> gArgumentVector;

// Reaps a child on a thread of its own, so that callers that do not wait leave no zombie.
void _LReapInBackground(pid_t pid)
{
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    }).detach();
}

// Waits for a child; its exit status, or -1 when it ended by a signal or cannot be waited for.
int _LWaitExitCode(pid_t pid)
{
    int status = 0;
    pid_t r;
    while ((r = waitpid(pid, &status, 0)) < 0 && errno == EINTR) { }
    if (r != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

void _LCloseQuietly(int& fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

} // namespace

bool LUnixAppInitCommon(int argc, char** argv)
{
    // The file-creation mask stays as the user set it: files we make are not world-writable.
    LUnixAppCopyCommandLineArguments(argc, argv);
    LGetLocale(LC_ALL);
    struct rlimit limit = {};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
        && limit.rlim_cur < kLOpenFilesSoftLimit) {
        rlim_t wanted = kLOpenFilesSoftLimit;
        if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < wanted)
            wanted = limit.rlim_max;
        limit.rlim_cur = wanted;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    return true;
}

void LUnixAppCopyCommandLineArguments(int argc, char** argv)
{
    gArgumentVector.clear();
    for (int i = 0; i < argc && argv && argv[i]; ++i) {
        if (i == 1 && strncmp(argv[i], "-psn", 4) == 0)
            continue;
        gArgumentVector.push_back(argv[i]);
    }
    gargc = static_cast<int>(gArgumentVector.size());
    gArgumentVector.push_back(nullptr);
    gargv = gArgumentVector.data();
}

bool LCommandLineArgumentStringExpander::NextArgument()
{
    fArgument.clear();
    while (*fCursor && static_cast<unsigned char>(*fCursor) < 33)
        ++fCursor;
    while (*fCursor) {
        char c = *fCursor;
        if (c == ' ')
            break;
        if (c == '"') {
            ++fCursor;
            while (*fCursor && *fCursor != '"')
                fArgument += *fCursor++;
            if (*fCursor == '"')
                ++fCursor;
            break;
        }
        if (c == '\\' && fCursor[1] == ' ') {
            fArgument += ' ';
            fCursor += 2;
            continue;
        }
        fArgument += c;
        ++fCursor;
    }
    return !fArgument.empty();
}

int LCommandLineArgumentStringExpander::GetArgumentCount(const char* line) const
{
    LCommandLineArgumentStringExpander expander(line);
    int count = 0;
    while (expander.NextArgument())
        ++count;
    return count > 0 ? count - 1 : 0;
}

std::vector<std::string> LCommandLineArgumentStringExpander::Split(const char* line)
{
    std::vector<std::string> out;
    LCommandLineArgumentStringExpander expander(line);
    while (expander.NextArgument())
        out.emplace_back(expander.GetArgument());
    return out;
}

bool LSplitExecutableAndArguments(
    std::string& exeOut, std::string& argumentsOut, const char* commandLine)
{
    exeOut.clear();
    argumentsOut.clear();
    if (!commandLine || !*commandLine)
        return false;
    const char* rest;
    if (commandLine[0] == '"') {
        if (!commandLine[1])
            return false;
        const char* end = strchr(commandLine + 1, '"');
        if (!end)
            end = commandLine + strlen(commandLine);
        exeOut.assign(commandLine + 1, end);
        rest = *end ? end + 1 : end;
        if (*rest == ' ')
            ++rest;
    } else {
        const char* end = strchr(commandLine, ' ');
        if (!end)
            end = commandLine + strlen(commandLine);
        exeOut.assign(commandLine, end);
        rest = *end ? end + 1 : end;
    }
    if (exeOut.size() > kLExecutableMax)
        exeOut.resize(kLExecutableMax);
    argumentsOut = rest;
    return true;
}

std::string LUnixFindExecutable(const char* name)
{
    if (!name || !*name)
        return {};
    if (strchr(name, '/')) {
        struct stat st = {};
        if (stat(name, &st) == 0 && S_ISREG(st.st_mode) && access(name, X_OK) == 0)
            return name;
        return {};
    }
    const char* path = getenv("PATH");
    std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (dir.empty())
            dir = ".";
        std::string candidate = dir + "/" + name;
        struct stat st = {};
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode)
            && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

pid_t LUnixSpawn(const std::vector<std::string>& argv, int* stdinWriteFd, int* stdoutReadFd)
{
    if (argv.empty())
        return -1;
    std::string exe = LUnixFindExecutable(argv[0].c_str());
    if (exe.empty())
        return -1;
    std::vector<char*> vector;
    for (const std::string& a : argv)
        vector.push_back(const_cast<char*>(a.c_str()));
    vector.push_back(nullptr);

    int in[2] = { -1, -1 };
    int out[2] = { -1, -1 };
    if (stdinWriteFd && pipe2(in, O_CLOEXEC) != 0)
        return -1;
    if (stdoutReadFd && pipe2(out, O_CLOEXEC) != 0) {
        _LCloseQuietly(in[0]);
        _LCloseQuietly(in[1]);
        return -1;
    }
    int devNull = stdinWriteFd ? -1 : open("/dev/null", O_RDONLY | O_CLOEXEC);

    pid_t pid = fork();
    if (pid == 0) {
        // Only async-signal-safe calls from here on.
        int input = stdinWriteFd ? in[0] : devNull;
        if (input >= 0)
            dup2(input, 0);
        if (stdoutReadFd)
            dup2(out[1], 1);
        syscall(SYS_close_range, 3u, ~0u, 0u);
        struct sigaction action = {};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        sigaction(SIGPIPE, &action, nullptr);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        execv(exe.c_str(), vector.data());
        _exit(127);
    }
    _LCloseQuietly(devNull);
    _LCloseQuietly(in[0]);
    _LCloseQuietly(out[1]);
    if (pid < 0) {
        _LCloseQuietly(in[1]);
        _LCloseQuietly(out[0]);
        return -1;
    }
    if (stdinWriteFd)
        *stdinWriteFd = in[1];
    if (stdoutReadFd)
        *stdoutReadFd = out[0];
    return pid;
}

bool RunCommandLineProcess(const char* command)
{
    pid_t pid = LUnixSpawn(LCommandLineArgumentStringExpander::Split(command), nullptr, nullptr);
    return pid > 0 && _LWaitExitCode(pid) == 0;
}

namespace {

// One command run on a thread of its own; shared by the thread and a caller that may stop
// waiting before the command ends.
struct ProcessRunData {
    std::string command;
    LSignalObject done;
    LProcessResult result = LProcessResultStopped;
    int exitCode = -1;
};

void ProcessRunThreadCallback(std::shared_ptr<ProcessRunData> data)
{
    data->result = LProcessResultSuccess;
    data->exitCode = -1;
    pid_t pid = LUnixSpawn(
        LCommandLineArgumentStringExpander::Split(data->command.c_str()), nullptr, nullptr);
    if (pid < 0)
        data->result = LProcessResultError;
    else
        data->exitCode = _LWaitExitCode(pid);
    data->done.Signal();
}

} // namespace

LProcessResult ProcessRunCommandLineProcessWithExitCode(
    LProcessInterface& job, const char* command, unsigned int timeoutMs, int& exitCodeOut)
{
    exitCodeOut = -1;
    auto data = std::make_shared<ProcessRunData>();
    data->command = command ? command : "";
    try {
        std::thread(ProcessRunThreadCallback, data).detach();
    } catch (...) {
        return LProcessResultError;
    }
    if (timeoutMs == 0)
        return LProcessResultSuccess;

    using Clock = std::chrono::steady_clock;
    const bool forever = timeoutMs == LSIGNAL_WAIT_FOREVER;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (job.IsToStop())
            return LProcessResultStopped;
        unsigned int slice = 200;
        if (!forever) {
            auto left
                = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                      .count();
            if (left <= 0)
                return LProcessResultTimeOut;
            slice = static_cast<unsigned int>(std::min<long long>(left, 200));
        }
        LProcessResult r = job.ProcessWaitSignal(data->done, slice);
        if (r == LProcessResultStopped)
            return LProcessResultStopped;
        if (r == LProcessResultSignaled && data->done.IsSignaled()) {
            exitCodeOut = data->exitCode;
            return data->result;
        }
    }
}

namespace {
LProcessLaunchDesktopHook gLaunchDesktopHook = nullptr;
}

void LProcessSetLaunchDesktopHook(LProcessLaunchDesktopHook hook)
{
    gLaunchDesktopHook = hook;
}

LProcessResult Process(LProcessInterface& job, const LProcessRunExternalExeData& data)
{
    std::string exe;
    std::string arguments;
    if (LSplitExecutableAndArguments(exe, arguments, data.commandLine.c_str())) {
        std::string found = LUnixFindExecutable(exe.c_str());
        struct stat st = {};
        if (found.empty() && stat(exe.c_str(), &st) != 0) {
            job.SetErrorF("%s finns inte", exe.c_str());
            return LProcessResultError;
        }
        size_t n = exe.size();
        if (n > 8 && exe.compare(n - 8, 8, ".desktop") == 0) {
            if (gLaunchDesktopHook)
                return gLaunchDesktopHook(job, exe.c_str(), arguments.c_str(), data.wait);
            return LLaunchApplicationWithArguments(job, exe.c_str(),
                LCommandLineArgumentStringExpander::Split(arguments.c_str()), data.wait);
        }
    }
    int exitCode = -1;
    return ProcessRunCommandLineProcessWithExitCode(
        job, data.commandLine.c_str(), data.wait ? 7200000u : 0u, exitCode);
}

bool OpenPipe(pid_t& pidOut, int& readFdInOut, int& writeFdInOut, const char* command)
{
    int writeEnd = -1;
    int readEnd = -1;
    pid_t pid = LUnixSpawn(LCommandLineArgumentStringExpander::Split(command), &writeEnd, &readEnd);
    if (pid < 0)
        return false;
    pidOut = pid;
    if (readFdInOut < 0)
        readFdInOut = readEnd;
    else
        close(readEnd);
    if (writeFdInOut < 0)
        writeFdInOut = writeEnd;
    else
        close(writeEnd);
    return true;
}

bool LRunCommandAndGetOutputAsString(std::string& out, const char* command)
{
    out.clear();
    pid_t pid = -1;
    int readFd = -1;
    int writeFd = 0; // the child's input is closed at once: it reads end of file
    if (!OpenPipe(pid, readFd, writeFd, command))
        return false;
    char buffer[4096];
    for (;;) {
        ssize_t n = read(readFd, buffer, sizeof buffer);
        if (n > 0) {
            out.append(buffer, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    close(readFd);
    _LWaitExitCode(pid);
    return true;
}

bool LInstallProcessRunNonElevated(const char* executable, const char* argument)
{
    if (!executable || !*executable)
        return false;
    std::vector<std::string> argv { executable };
    if (argument && *argument)
        argv.emplace_back(argument);
    pid_t pid = LUnixSpawn(argv, nullptr, nullptr);
    if (pid < 0)
        return false;
    _LReapInBackground(pid);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Child executables

namespace {
LProcessAsExeBase*& _LRegistryHead()
{
    static LProcessAsExeBase* head = nullptr;
    return head;
}
} // namespace

LProcessAsExeBase::LProcessAsExeBase(const char* name)
    : fName(name)
{
    fNext = _LRegistryHead();
    _LRegistryHead() = this;
}

LProcessAsExeBase::~LProcessAsExeBase()
{
    for (LProcessAsExeBase** p = &_LRegistryHead(); *p; p = &(*p)->fNext) {
        if (*p == this) {
            *p = fNext;
            break;
        }
    }
}

LProcessAsExeBase* LProcessAsExeBase::Find(const char* name)
{
    for (LProcessAsExeBase* p = _LRegistryHead(); p && name; p = p->fNext)
        if (strcmp(p->fName, name) == 0)
            return p;
    return nullptr;
}

uint32_t LProcessAsExeInterface::NowMs()
{
    struct timeval tv = {};
    gettimeofday(&tv, nullptr);
    return static_cast<uint32_t>(
        static_cast<uint64_t>(tv.tv_sec) * 1000u + static_cast<uint64_t>(tv.tv_usec) / 1000u);
}

LProcessAsExeInterface::LProcessAsExeInterface(int outFd, int inFd, Clock clock)
    : fOut(outFd)
    , fIn(inFd)
    , fClock(clock ? clock : &LProcessAsExeInterface::NowMs)
{
    fLastKeepAlive = fClock();
    fNextProgress = fLastKeepAlive;
}

void LProcessAsExeInterface::_Write(const void* data, size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = write(fOut, p, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN) {
                struct pollfd pfd = { fOut, POLLOUT, 0 };
                poll(&pfd, 1, 200);
                continue;
            }
            return;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
}

void LProcessAsExeInterface::_WriteText(uint8_t kind, const char* text)
{
    size_t length = text ? strlen(text) : 0;
    if (length > 65535)
        length = 65535;
    uint16_t length16 = static_cast<uint16_t>(length);
    std::string record;
    record.reserve(3 + length);
    record += static_cast<char>(kind);
    record.append(reinterpret_cast<const char*>(&length16), sizeof length16);
    if (length)
        record.append(text, length);
    _Write(record.data(), record.size());
}

bool LProcessAsExeInterface::IsToStop()
{
    uint32_t now = fClock();
    if (now - fLastKeepAlive >= 1000u) {
        uint8_t byte = kRecordKeepAlive;
        _Write(&byte, 1);
        fLastKeepAlive = now;
    }
    struct pollfd pfd = { fIn, POLLIN, 0 };
    int r;
    while ((r = poll(&pfd, 1, 0)) < 0 && errno == EINTR) { }
    return r > 0 && (pfd.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

template <class Wait> LProcessResult LProcessAsExeInterface::_WaitSliced(unsigned int ms, Wait wait)
{
    using Clock = std::chrono::steady_clock;
    const bool forever = ms == LSIGNAL_WAIT_FOREVER;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (IsToStop())
            return LProcessResultStopped;
        unsigned int slice = 300;
        if (!forever) {
            auto left
                = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                      .count();
            if (left <= 0)
                return LProcessResultTimeOut;
            slice = static_cast<unsigned int>(std::min<long long>(left, 300));
        }
        if (wait(slice))
            return LProcessResultSignaled;
    }
}

LProcessResult LProcessAsExeInterface::ProcessWait(unsigned int ms)
{
    // The input is watched during the sleep, so that a stop is seen at once.
    LProcessResult r = _WaitSliced(ms, [this](unsigned int slice) {
        struct pollfd pfd = { fIn, POLLIN, 0 };
        LSignalPoll(&pfd, 1, slice);
        return false;
    });
    return r == LProcessResultStopped ? LProcessResultStopped : LProcessResultSuccess;
}

LProcessResult LProcessAsExeInterface::ProcessWaitSignal(LSignalObjectRef signal, unsigned int ms)
{
    return _WaitSliced(ms, [this, signal](unsigned int slice) {
        struct pollfd pfd[2] = { { signal.GetReadFd(), POLLIN, 0 }, { fIn, POLLIN, 0 } };
        LSignalPoll(pfd, 2, slice);
        return (pfd[0].revents & POLLIN) != 0;
    });
}

LProcessResult LProcessAsExeInterface::ProcessWaitSignalObjectGroup(
    LSignalObjectGroup& group, unsigned int ms)
{
    if (group.IsEmpty())
        return IsToStop() ? LProcessResultStopped : LProcessResultTimeOut;
    return _WaitSliced(ms, [&group](unsigned int slice) { return group.Wait(slice) >= 0; });
}

void LProcessAsExeInterface::SetError(const char* text)
{
    _WriteText(kRecordError, text);
}

void LProcessAsExeInterface::SetStatus(const char* text, int level)
{
    if (level < 0 || level > 2)
        return;
    _WriteText(static_cast<uint8_t>(kRecordStatus0 + level), text);
}

void LProcessAsExeInterface::SetProgress(double fraction)
{
    uint32_t now = fClock();
    if (!(fraction >= 1.0) && static_cast<int32_t>(now - fNextProgress) < 0)
        return;
    fNextProgress = now + 250u;
    char record[1 + sizeof(double)];
    record[0] = static_cast<char>(kRecordProgress);
    memcpy(record + 1, &fraction, sizeof fraction);
    _Write(record, sizeof record);
}

void LProcessAsExeInterface::SetProgressIndeterminateOn()
{
    uint8_t byte = kRecordIndeterminateOn;
    _Write(&byte, 1);
}

void LProcessAsExeInterface::SetProgressIndeterminateOff()
{
    uint8_t byte = kRecordIndeterminateOff;
    _Write(&byte, 1);
}

bool LProcessAsExeInterface::ReadData(void* buffer, size_t size)
{
    char* p = static_cast<char*>(buffer);
    while (size > 0) {
        ssize_t n = read(fIn, p, size);
        if (n > 0) {
            p += n;
            size -= static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            struct pollfd pfd = { fIn, POLLIN, 0 };
            LSignalPoll(&pfd, 1, LSIGNAL_WAIT_FOREVER);
        } else {
            return false;
        }
    }
    return true;
}

void LProcessAsExeInterface::SetResultCode(LProcessResult result, const void* data, size_t size)
{
    uint8_t kind;
    if (result == LProcessResultStopped) {
        kind = kRecordStopped;
        _Write(&kind, 1);
        return;
    }
    kind = result == LProcessResultSuccess ? kRecordSuccess : kRecordFailure;
    _Write(&kind, 1);
    if (data && size)
        _Write(data, size);
}

LProcessResult LProcessAsExeRun(const char* name)
{
    char threadName[16] = {};
    snprintf(threadName, sizeof threadName, "%s", name ? name : "");
    pthread_setname_np(pthread_self(), threadName);
    for (int s : { SIGQUIT, SIGILL, SIGFPE, SIGSEGV, SIGBUS })
        signal(s, SIG_DFL);
    LProcessAsExeBase* entry = LProcessAsExeBase::Find(name);
    if (!entry)
        return LProcessResultError;
    setvbuf(stdout, nullptr, _IONBF, 0);
    LProcessAsExeInterface job(1, 0);
    return entry->Run(job);
}

bool LUnixAppRunHelperMode(int argc, char** argv, int& exitCodeOut)
{
    exitCodeOut = 0;
    if (argc < 3 || !argv || !argv[1] || !argv[2])
        return false;
    if (strcmp(argv[1], "-exe") == 0) {
        exitCodeOut = LProcessAsExeRun(argv[2]) != LProcessResultSuccess ? 1 : 0;
        return true;
    }
    if (strcmp(argv[1], "-call_launchctl_script") == 0) {
        struct stat st = {};
        if (stat(argv[2], &st) == 0 && S_ISREG(st.st_mode)) {
            pid_t pid = LUnixSpawn({ "/bin/bash", argv[2] }, nullptr, nullptr);
            if (pid > 0)
                _LWaitExitCode(pid);
        }
        exitCodeOut = 0;
        return true;
    }
    return false;
}
