#include "lfw/unix/LUnixApplication.h"

#include "lfw/gen/LFile.h"
#include "lfw/gen/LString.h"
#include "lfw/unix/LUnixProcess.h"
#include "platform/system/Applications.h"

#include <chrono>
#include <cstring>

namespace {

bool IsDesktopEntry(const std::string& path)
{
    const size_t n = path.size();
    return n > 8 && path.compare(n - 8, 8, ".desktop") == 0;
}

const char* BaseName(const char* path)
{
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

void CopyPath(char* out, const std::string& path)
{
    out[0] = 0;
    if (path.size() < kLPathSize)
        std::memcpy(out, path.c_str(), path.size() + 1);
}

} // namespace

bool LIsApplicationRunning(const char* commandName)
{
    return commandName && platform::system::IsProcessRunning(commandName);
}

bool LApplicationCommand(const char* applicationPath, std::vector<std::string>& argvOut)
{
    argvOut.clear();
    if (!applicationPath || !*applicationPath)
        return false;
    const std::string path = applicationPath;
    if (IsDesktopEntry(path))
        return platform::system::DesktopEntryCommand(path, argvOut);
    std::string program = LUnixFindExecutable(applicationPath);
    if (program.empty())
        return false;
    argvOut.push_back(program);
    return true;
}

void LExpandDotAppToPointToExecutable(char* out, const char* applicationPath)
{
    std::vector<std::string> argv;
    if (!LApplicationCommand(applicationPath, argv)) {
        out[0] = 0;
        return;
    }
    CopyPath(out, argv[0]);
}

void LUnixExecutableGetAbsolutePath(char* out, const char* name)
{
    out[0] = 0;
    if (!name || !*name)
        return;
    if (name[0] == '/') {
        CopyPath(out, name);
        return;
    }
    CopyPath(out, platform::system::FindProgramInPath(name));
}

bool LGetProcessSerialNumber(
    LProcessInterface& job, ProcessSerialNumber& psn, const char* applicationPath)
{
    psn = ProcessSerialNumber();
    if (job.IsToStop())
        return false;
    char program[kLPathSize];
    LExpandDotAppToPointToExecutable(program, applicationPath);
    if (!program[0])
        return false;
    pid_t pid = platform::system::FindProcessByExecutable(program);
    if (pid <= 0)
        return false;
    psn.lowLongOfPSN = uint32_t(pid);
    return true;
}

LProcessResult LLaunchApplicationWithArguments(LProcessInterface& job, const char* applicationPath,
    const std::vector<std::string>& arguments, bool wait, unsigned int timeoutMs, pid_t* pidOut,
    int* exitCodeOut)
{
    if (pidOut)
        *pidOut = 0;
    if (exitCodeOut)
        *exitCodeOut = -1;
    const char* path = applicationPath ? applicationPath : "";
    job.SetStatusF(0, "Lansering %s", BaseName(path));
    std::vector<std::string> argv;
    if (!LApplicationCommand(path, argv)) {
        if (IsDesktopEntry(path))
            job.SetErrorF("Det gick inte att hämta buntidentifierare för programmet \"%s\"", path);
        else
            job.SetErrorF("%s finns inte", path);
        return LProcessResultError;
    }
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    pid_t pid = 0;
    std::string error;
    if (!platform::system::SpawnProgram(argv, pid, error)) {
        job.SetErrorF("Det går inte att starta %s: %s", BaseName(path), error.c_str());
        return LProcessResultError;
    }
    if (pidOut)
        *pidOut = pid;
    if (!wait) {
        platform::system::ReapInBackground(pid);
        return LProcessResultSuccess;
    }
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = -1;
        if (platform::system::ChildEnded(pid, status)) {
            if (exitCodeOut)
                *exitCodeOut = status;
            return LProcessResultSuccess;
        }
        if (job.IsToStop() || job.ProcessWait(200) == LProcessResultStopped) {
            platform::system::ReapInBackground(pid);
            return LProcessResultStopped;
        }
        if (Clock::now() >= deadline) {
            platform::system::ReapInBackground(pid);
            return LProcessResultTimeOut;
        }
    }
}

LProcessResult LLaunchApplicationWithCocoa(
    LProcessInterface& job, const char* applicationPath, const char* arguments, bool)
{
    std::vector<std::string> list;
    if (arguments && *arguments)
        list = LCommandLineArgumentStringExpander::Split(arguments);
    return LLaunchApplicationWithArguments(job, applicationPath, list, false);
}
