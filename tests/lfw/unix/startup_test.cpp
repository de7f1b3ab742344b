// The start-up block is checked in child processes (this program run again with one test and a
// prepared environment): it changes process-wide state that a test cannot undo.
#include "lfw/gen/LFile.h"
#include "lfw/gen/LOptionsCount.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LPaperSize.h"
#include "lfw/unix/LDebugSignal.h"
#include "lfw/unix/LHangDetector.h"
#include "lfw/unix/LStartup.h"
#include "support/TemporaryFolder.h"

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

bool InChild()
{
    return getenv("VT_STARTUP_CHILD") != nullptr;
}

struct ChildResult {
    int status = -1;
    std::string output; // standard output and standard error
};

// Runs StartupChild.<test> in a new process of this program with the environment changed as
// given (an empty value removes the variable). Killed by SIGALRM after 20 seconds.
ChildResult RunChild(const char* test, const std::map<std::string, std::string>& changes)
{
    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e) {
        const char* eq = strchr(*e, '=');
        if (eq)
            env[std::string(*e, size_t(eq - *e))] = eq + 1;
    }
    env["VT_STARTUP_CHILD"] = "1";
    for (const auto& [k, v] : changes) {
        if (v.empty())
            env.erase(k);
        else
            env[k] = v;
    }
    std::vector<std::string> strings;
    for (const auto& [k, v] : env)
        strings.push_back(k + "=" + v);
    std::vector<char*> envp;
    for (auto& s : strings)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::string filter = std::string("--gtest_filter=StartupChild.") + test;
    char exe[] = "/proc/self/exe";
    char* argv[] = { exe, filter.data(), nullptr };

    int fds[2];
    ChildResult result;
    if (pipe(fds) != 0)
        return result;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        dup2(fds[1], STDERR_FILENO);
        close(fds[0]);
        close(fds[1]);
        alarm(20);
        execve(exe, argv, envp.data());
        _exit(127);
    }
    close(fds[1]);
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        result.output.append(buf, size_t(n));
    close(fds[0]);
    waitpid(pid, &result.status, 0);
    return result;
}

bool IsHandler(int signal, void (*handler)(int, siginfo_t*, void*))
{
    struct sigaction current;
    sigaction(signal, nullptr, &current);
    return (current.sa_flags & SA_SIGINFO) && current.sa_sigaction == handler
        && sigismember(&current.sa_mask, SIGUSR1) && sigismember(&current.sa_mask, SIGCHLD);
}

bool gStopAsked = false;
bool StopHook(int)
{
    gStopAsked = true;
    return true;
}

} // namespace

// ---- The children ----

TEST(StartupChild, Dispositions)
{
    if (!InChild())
        GTEST_SKIP() << "runs as a child of StartupTest";
    EXPECT_TRUE(LStartupDone());
    EXPECT_EQ(gwDebugCurrentCommand, 1u);
    EXPECT_EQ(gwDebugLastCommand, 0u);
    EXPECT_EQ(gLHangDetector.GetDescriptor(), -1);
    EXPECT_STREQ(gLHangDetector.GetPath(), "");
    // The command counts stand with 64 zeroed records before main.
    ASSERT_EQ(CmdCounts.GetCount(), 64u);
    for (const LCmdCount& record : CmdCounts)
        EXPECT_EQ(record.command | record.uses, 0u);

    struct sigaction pipeAction;
    sigaction(SIGPIPE, nullptr, &pipeAction);
    EXPECT_EQ(pipeAction.sa_handler, SIG_IGN);
    for (int s : { SIGQUIT, SIGILL, SIGFPE, SIGSEGV, SIGBUS })
        EXPECT_TRUE(IsHandler(s, LDebugSignalHandler)) << s;
    EXPECT_TRUE(IsHandler(SIGINT, LIntTermSignalHandler));
    EXPECT_TRUE(IsHandler(SIGTERM, LIntTermSignalHandler));

    // A closed pipe gives EPIPE instead of ending the process.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    errno = 0;
    EXPECT_EQ(write(fds[1], "x", 1), -1);
    EXPECT_EQ(errno, EPIPE);
    close(fds[1]);

    // The recursive lock may be taken twice by one thread.
    loDebugThreads.Lock();
    EXPECT_TRUE(loDebugThreads.TryLock());
    loDebugThreads.Unlock();
    loDebugThreads.Unlock();
}

TEST(StartupChild, FoldersTablesAndUnit)
{
    if (!InChild())
        GTEST_SKIP() << "runs as a child of StartupTest";
    const std::string logs = std::string(getenv("XDG_DATA_HOME")) + "/vorantel/Logs";
    struct stat st;
    ASSERT_EQ(stat(logs.c_str(), &st), 0) << logs;
    EXPECT_TRUE(S_ISDIR(st.st_mode));

    EXPECT_EQ(LPaperSizeArray[LPaperSizeA4].width, 210);
    EXPECT_EQ(LPaperSizeArray[LPaperSizeUSLetter].height, 279);
    EXPECT_STREQ(LPaperSizeArray[23].key, "max");

    EXPECT_EQ(LSettingGetMeasurementUnitDefault(), atoi(getenv("VT_EXPECT_DEFAULT")));
    EXPECT_EQ(LSettingGetMeasurementUnit(), atoi(getenv("VT_EXPECT_UNIT")));
    // The block leaves the numbers of the C library alone.
    EXPECT_STREQ(setlocale(LC_NUMERIC, nullptr), "C");
}

TEST(StartupChild, WriteUnit)
{
    if (!InChild())
        GTEST_SKIP() << "runs as a child of StartupTest";
    LSettingSetMeasurementUnit(atoi(getenv("VT_SET_UNIT")));
}

TEST(StartupChild, Segfault)
{
    if (!InChild())
        GTEST_SKIP() << "runs as a child of StartupTest";
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
    puts("after the fault");
}

TEST(StartupChild, IllegalInstruction)
{
    if (!InChild())
        GTEST_SKIP() << "runs as a child of StartupTest";
    __builtin_trap();
}

TEST(StartupChild, QuitReturns)
{
    if (!InChild())
        GTEST_SKIP() << "runs as a child of StartupTest";
    raise(SIGQUIT);
    EXPECT_TRUE(LDebugSignalWasTrapped());
    // Only the first crash signal is reported.
    raise(SIGILL);
    puts("still running");
}

TEST(StartupChild, Terminate)
{
    if (!InChild())
        GTEST_SKIP() << "runs as a child of StartupTest";
    kill(getpid(), SIGTERM);
    puts("after the signal");
    ADD_FAILURE() << "not ended";
}

TEST(StartupChild, TerminateStopsTheLoop)
{
    if (!InChild())
        GTEST_SKIP() << "runs as a child of StartupTest";
    LIntTermSignalSetStopHook(StopHook);
    kill(getpid(), SIGINT);
    EXPECT_TRUE(gStopAsked);
    LIntTermSignalSetStopHook(nullptr);
}

// ---- The parent ----

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (InChild())
            GTEST_SKIP();
        ASSERT_TRUE(fHome.IsValid());
    }
    std::map<std::string, std::string> Env(const char* lang)
    {
        return { { "XDG_DATA_HOME", fHome / "data" }, { "XDG_CONFIG_HOME", fHome / "config" },
            { "XDG_CACHE_HOME", fHome / "cache" }, { "LANG", lang }, { "LC_ALL", "" },
            { "LC_MEASUREMENT", "" }, { "LC_NUMERIC", "" } };
    }
    static bool Passed(const ChildResult& r)
    {
        return WIFEXITED(r.status) && WEXITSTATUS(r.status) == 0;
    }

    TemporaryFolder fHome;
};

TEST_F(StartupTest, SignalsAndGlobalsStandBeforeMain)
{
    EXPECT_TRUE(LStartupDone());
    ChildResult r = RunChild("Dispositions", Env("sv_SE.UTF-8"));
    EXPECT_TRUE(Passed(r)) << r.output;
}

TEST_F(StartupTest, LogsFolderPaperTableAndUnitFromTheLocale)
{
    auto env = Env("sv_SE.UTF-8");
    env["VT_EXPECT_DEFAULT"] = "0";
    env["VT_EXPECT_UNIT"] = "0";
    ChildResult r = RunChild("FoldersTablesAndUnit", env);
    EXPECT_TRUE(Passed(r)) << r.output;

    env = Env("en_US.UTF-8");
    env["VT_EXPECT_DEFAULT"] = "1";
    env["VT_EXPECT_UNIT"] = "1";
    r = RunChild("FoldersTablesAndUnit", env);
    EXPECT_TRUE(Passed(r)) << r.output;

    // An explicit setting wins over the locale.
    env["VT_SET_UNIT"] = "0";
    r = RunChild("WriteUnit", env);
    ASSERT_TRUE(Passed(r)) << r.output;
    env["VT_EXPECT_UNIT"] = "0";
    r = RunChild("FoldersTablesAndUnit", env);
    EXPECT_TRUE(Passed(r)) << r.output;
}

TEST_F(StartupTest, CrashSignalsAreReportedOnce)
{
    ChildResult r = RunChild("Segfault", Env("C"));
    ASSERT_TRUE(WIFSIGNALED(r.status)) << r.status << r.output;
    EXPECT_EQ(WTERMSIG(r.status), SIGSEGV);
    EXPECT_NE(r.output.find("Onormal signalkrasch"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("(SIGNAL11)"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("after the fault"), std::string::npos);

    // SIGQUIT is reported and returns; the SIGILL after it is not reported again.
    r = RunChild("QuitReturns", Env("C"));
    EXPECT_TRUE(Passed(r)) << r.output;
    EXPECT_NE(r.output.find("(SIGNAL3)"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("(SIGNAL4)"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("still running"), std::string::npos);
}

TEST_F(StartupTest, IllegalInstructionEndsTheProcess)
{
    // Reported, then the process ends instead of running the instruction forever.
    ChildResult r = RunChild("IllegalInstruction", Env("C"));
    ASSERT_TRUE(WIFSIGNALED(r.status)) << r.status << r.output;
    EXPECT_EQ(WTERMSIG(r.status), SIGILL);
    EXPECT_NE(r.output.find("(SIGNAL4)"), std::string::npos) << r.output;
}

TEST_F(StartupTest, InterruptAndTerminate)
{
    ChildResult r = RunChild("Terminate", Env("C"));
    EXPECT_TRUE(Passed(r)) << r.status << r.output;
    EXPECT_EQ(r.output.find("after the signal"), std::string::npos);

    r = RunChild("TerminateStopsTheLoop", Env("C"));
    EXPECT_TRUE(Passed(r)) << r.output;
}
