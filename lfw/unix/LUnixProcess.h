// Running other programs, the process's own start-up step, and the helper mode in which this
// program runs one registered job as a child executable that reports over its standard output.
//
// No command here goes through a shell: a command line is split into an argument vector by
// LCommandLineArgumentStringExpander (quotes and "\ " group, nothing else is special, so "$(...)"
// or a newline reach the program as they stand) and the program is found on PATH. Children get
// standard descriptors only (nothing above 2 leaks, so no child keeps a lock file or a socket of
// ours) and SIGPIPE back at its default action.
#pragma once

#include "lfw/gen/LProcess.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

// The process's arguments without a second argument starting with "-psn", ended by a null
// pointer (filled by LUnixAppCopyCommandLineArguments).
extern int gargc;
extern char** gargv;

// The first call of main: umask kept as the user set it, arguments copied, locale read, the
// soft limit of open files raised to 1024 when it is lower (never lowered, hard limit kept).
bool LUnixAppInitCommon(int argc, char** argv);
void LUnixAppCopyCommandLineArguments(int argc, char** argv);

// Splits command lines into arguments: characters below 33 separate arguments outside quotes, a
// double-quote opens a section that the next double-quote ends (ending the argument too), "\ "
// is a literal space and every other '\' stays.
class LCommandLineArgumentStringExpander {
public:
    explicit LCommandLineArgumentStringExpander(const char* line)
        : fLine(line ? line : "")
        , fCursor(fLine)
    {
    }
    // Collects the next argument; false when there is none (or it is empty).
    bool NextArgument();
    const char* GetArgument() const { return fArgument.c_str(); }
    // The number of arguments after the first in line.
    int GetArgumentCount(const char* line) const;
    // Every argument of line, in order.
    static std::vector<std::string> Split(const char* line);

private:
    const char* fLine;
    const char* fCursor;
    std::string fArgument;
};

// The executable (up to the closing quote of a leading quoted part, else up to the first space;
// at most 259 bytes) and the rest of the line. False for an empty line or a lone quote.
bool LSplitExecutableAndArguments(
    std::string& exeOut, std::string& argumentsOut, const char* commandLine);

// The full path of a program named by path or found on PATH; "" when there is none that can be
// executed.
std::string LUnixFindExecutable(const char* name);

// Starts argv[0] (found on PATH) with argv. Standard input and output are the child's ends of
// new pipes when the pointers are given (the parent's ends, close-on-exec, are stored there),
// else /dev/null for input and this process's output. Returns the pid, or -1.
pid_t LUnixSpawn(const std::vector<std::string>& argv, int* stdinWriteFd, int* stdoutReadFd);

// Runs a command line and waits: true when it exited with status 0.
bool RunCommandLineProcess(const char* command);

// Runs a command line on a thread of its own. With timeoutMs above 0 the job waits (a stop is
// seen within 200 ms): 0 with the exit code (-1 when the program ended by a signal), 1 stopped,
// 2 time-out or failure; the command keeps running after a stop or time-out and is reaped when
// it ends. With timeoutMs 0 the call returns 0 at once with exit code -1.
LProcessResult ProcessRunCommandLineProcessWithExitCode(
    LProcessInterface& job, const char* command, unsigned int timeoutMs, int& exitCodeOut);

// The external-command job: runs a program or command line, waiting up to two hours when wait
// is set.
struct LProcessRunExternalExeData {
    std::string commandLine;
    bool wait = false;
};
LProcessResult Process(LProcessInterface& job, const LProcessRunExternalExeData& data);
// A ".desktop" file stands for an application: it is started by its entry's Exec with the rest
// of the command line (LLaunchApplicationWithArguments, waiting for it when wait is set), or by
// the launcher a layer above installs here.
using LProcessLaunchDesktopHook = LProcessResult (*)(
    LProcessInterface& job, const char* desktopFile, const char* arguments, bool wait);
void LProcessSetLaunchDesktopHook(LProcessLaunchDesktopHook hook);

// Starts command with pipes to its standard input and output. The parent's ends are stored in
// readFd / writeFd when they hold a value below 0 (else that end is closed). False when the
// pipes or the start fail.
bool OpenPipe(pid_t& pidOut, int& readFdInOut, int& writeFdInOut, const char* command);
// Runs command and collects all it writes to standard output, then reaps it. False when it
// could not be started.
bool LRunCommandAndGetOutputAsString(std::string& out, const char* command);

// Starts executable with one argument (none when argument is empty or null) and returns at
// once; the child is reaped in the background. False when it could not be started.
bool LInstallProcessRunNonElevated(const char* executable, const char* argument);

// A job that can run as a child executable ("-exe" name). Entries register themselves by being
// constructed (static objects) and are kept until exit.
class LProcessAsExeBase {
public:
    explicit LProcessAsExeBase(const char* name);
    virtual ~LProcessAsExeBase();
    LProcessAsExeBase(const LProcessAsExeBase&) = delete;
    LProcessAsExeBase& operator=(const LProcessAsExeBase&) = delete;

    const char* GetName() const { return fName; }
    virtual LProcessResult Run(LProcessInterface& job) = 0;

    static LProcessAsExeBase* Find(const char* name);

private:
    const char* fName;
    LProcessAsExeBase* fNext = nullptr;
};

// The job interface of a child executable: reports go to the output descriptor as the child
// control stream (numbers in the machine's byte order), anything arriving on the input
// descriptor is a stop request.
class LProcessAsExeInterface : public LProcessInterface {
public:
    enum : uint8_t {
        kRecordFailure = 0,
        kRecordSuccess = 1,
        kRecordStopped = 2,
        kRecordProgress = 16,
        kRecordIndeterminateOn = 17,
        kRecordIndeterminateOff = 18,
        kRecordKeepAlive = 19,
        kRecordError = 128,
        kRecordStatus0 = 129,
    };
    using Clock = uint32_t (*)();

    LProcessAsExeInterface(int outFd = 1, int inFd = 0, Clock clock = nullptr);

    bool IsToStop() override;
    LProcessResult ProcessWait(unsigned int ms) override;
    LProcessResult ProcessWaitSignal(LSignalObjectRef signal, unsigned int ms) override;
    LProcessResult ProcessWaitSignalObjectGroup(
        LSignalObjectGroup& group, unsigned int ms) override;
    void SetError(const char* text) override;
    void SetStatus(const char* text, int level) override;
    void SetProgress(double fraction) override;
    void SetProgressIndeterminateOn() override;
    void SetProgressIndeterminateOff() override;
    // Reads exactly size bytes from the input; false when fewer came.
    virtual bool ReadData(void* buffer, size_t size);
    // 1 (stopped) writes the byte 2; 0 writes 1 and the data; anything else 0 and the data.
    virtual void SetResultCode(LProcessResult result, const void* data, size_t size);

    // The 32-bit millisecond clock (wrapping).
    static uint32_t NowMs();

private:
    void _Write(const void* data, size_t size);
    void _WriteText(uint8_t kind, const char* text);
    template <class Wait> LProcessResult _WaitSliced(unsigned int ms, Wait wait);

    int fOut;
    int fIn;
    Clock fClock;
    uint32_t fLastKeepAlive;
    uint32_t fNextProgress;
};

// Runs the registered job name over standard output and input: 2 for an unknown name.
LProcessResult LProcessAsExeRun(const char* name);

// The helper modes main enters before anything else (at least three arguments): "-exe" name and
// "-call_launchctl_script" file. True with the exit code when argv asked for one.
bool LUnixAppRunHelperMode(int argc, char** argv, int& exitCodeOut);
