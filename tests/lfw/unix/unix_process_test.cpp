#include "lfw/unix/LUnixProcess.h"
#include "support/TemporaryFolder.h"

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

using Args = std::vector<std::string>;

TEST(CommandLineSplit, QuotesBackslashesAndLiteralShellText)
{
    EXPECT_EQ(
        LCommandLineArgumentStringExpander::Split("\"/a b/x\" -o"), (Args { "/a b/x", "-o" }));
    EXPECT_EQ(LCommandLineArgumentStringExpander::Split("a\\ b"), (Args { "a b" }));
    EXPECT_EQ(LCommandLineArgumentStringExpander::Split("\"a b\""), (Args { "a b" }));
    EXPECT_EQ(LCommandLineArgumentStringExpander::Split("  x\\y  z"), (Args { "x\\y", "z" }));
    // An empty quoted argument ends the list.
    EXPECT_EQ(LCommandLineArgumentStringExpander::Split("a \"\" b"), (Args { "a" }));
    // Nothing a shell would act on is special here.
    EXPECT_EQ(LCommandLineArgumentStringExpander::Split("echo $(rm -rf /x) `id` ;|&"),
        (Args { "echo", "$(rm", "-rf", "/x)", "`id`", ";|&" }));
    EXPECT_EQ(LCommandLineArgumentStringExpander::Split("a\nb c"), (Args { "a\nb", "c" }));
    // An unmatched quote runs to the end.
    EXPECT_EQ(
        LCommandLineArgumentStringExpander::Split("x \"open end"), (Args { "x", "open end" }));
    EXPECT_TRUE(LCommandLineArgumentStringExpander::Split("").empty());

    LCommandLineArgumentStringExpander e("");
    EXPECT_EQ(e.GetArgumentCount("prog a \"b c\" d"), 3);
    EXPECT_EQ(e.GetArgumentCount("prog"), 0);
    EXPECT_EQ(e.GetArgumentCount(""), 0);
}

TEST(CommandLineSplit, ExecutableAndArguments)
{
    std::string exe, args;
    ASSERT_TRUE(LSplitExecutableAndArguments(exe, args, "\"/Apps/My App.desktop\" -o x"));
    EXPECT_EQ(exe, "/Apps/My App.desktop");
    EXPECT_EQ(args, "-o x");
    ASSERT_TRUE(LSplitExecutableAndArguments(exe, args, "/bin/ls -l  /tmp"));
    EXPECT_EQ(exe, "/bin/ls");
    EXPECT_EQ(args, "-l  /tmp");
    ASSERT_TRUE(LSplitExecutableAndArguments(exe, args, "\"unterminated path"));
    EXPECT_EQ(exe, "unterminated path");
    EXPECT_EQ(args, "");
    EXPECT_FALSE(LSplitExecutableAndArguments(exe, args, "\""));
    EXPECT_FALSE(LSplitExecutableAndArguments(exe, args, ""));
    ASSERT_TRUE(LSplitExecutableAndArguments(exe, args, std::string(400, 'a').c_str()));
    EXPECT_EQ(exe.size(), 259u);
}

TEST(CommandLineArguments, PsnDroppedOnlyInSecondPlace)
{
    char a0[] = "vorantel", a1[] = "-psn_0_123", a2[] = "-psn_x", a3[] = "file";
    char* argv[] = { a0, a1, a2, a3, nullptr };
    LUnixAppCopyCommandLineArguments(4, argv);
    ASSERT_EQ(gargc, 3);
    EXPECT_STREQ(gargv[0], "vorantel");
    EXPECT_STREQ(gargv[1], "-psn_x");
    EXPECT_STREQ(gargv[2], "file");
    EXPECT_EQ(gargv[3], nullptr);
}

TEST(CommandLineArguments, OpenFileLimitRaisedNeverLowered)
{
    struct rlimit saved = {};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    if (saved.rlim_max != RLIM_INFINITY && saved.rlim_max < 2048)
        GTEST_SKIP() << "hard limit too low";
    struct rlimit low = saved;
    low.rlim_cur = 256;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    char a0[] = "vorantel";
    char* argv[] = { a0, nullptr };
    mode_t mask = umask(022);
    EXPECT_TRUE(LUnixAppInitCommon(1, argv));
    struct rlimit now = {};
    getrlimit(RLIMIT_NOFILE, &now);
    EXPECT_EQ(now.rlim_cur, 1024u);
    EXPECT_EQ(now.rlim_max, saved.rlim_max);
    EXPECT_EQ(umask(022), 022u); // kept as the user set it

    struct rlimit high = saved;
    high.rlim_cur = 2048;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &high), 0);
    LUnixAppInitCommon(1, argv);
    getrlimit(RLIMIT_NOFILE, &now);
    EXPECT_EQ(now.rlim_cur, 2048u);
    setrlimit(RLIMIT_NOFILE, &saved);
    umask(mask);
}

TEST(RunCommand, ExitStatusAndLiteralArguments)
{
    EXPECT_TRUE(RunCommandLineProcess("true"));
    EXPECT_FALSE(RunCommandLineProcess("false"));
    EXPECT_FALSE(RunCommandLineProcess("/no/such/program"));
    EXPECT_FALSE(RunCommandLineProcess(""));

    std::string out;
    ASSERT_TRUE(LRunCommandAndGetOutputAsString(out, "printf %s| $(id) \"a b\""));
    EXPECT_EQ(out, "$(id)|a b|");
    // Output longer than any single read arrives whole.
    ASSERT_TRUE(LRunCommandAndGetOutputAsString(out, "head -c 100000 /dev/zero"));
    EXPECT_EQ(out.size(), 100000u);
    EXPECT_FALSE(LRunCommandAndGetOutputAsString(out, "/no/such/program"));
}

TEST(RunCommand, ChildrenGetOnlyStandardDescriptorsAndDefaultSigpipe)
{
    signal(SIGPIPE, SIG_IGN); // as the start-up block sets it
    int leaked = open("/dev/null", O_RDONLY); // deliberately without close-on-exec
    ASSERT_GE(leaked, 3);
    std::string out;
    ASSERT_TRUE(LRunCommandAndGetOutputAsString(out, "sh -c \"ls /proc/$$/fd\""));
    EXPECT_EQ(out, "0\n1\n2\n");
    ASSERT_TRUE(LRunCommandAndGetOutputAsString(out, "grep SigIgn /proc/self/status"));
    EXPECT_EQ(out, "SigIgn:\t0000000000000000\n");
    close(leaked);
}

class StopAfter : public LProcessInterfaceVoid {
public:
    explicit StopAfter(int ms)
        : fEnd(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms))
    {
    }
    bool IsToStop() override { return std::chrono::steady_clock::now() >= fEnd; }

private:
    std::chrono::steady_clock::time_point fEnd;
};

TEST(RunCommand, WaitsForExitCodeTimesOutAndStops)
{
    LProcessInterfaceVoid job;
    int code = 0;
    EXPECT_EQ(ProcessRunCommandLineProcessWithExitCode(job, "sh -c \"exit 3\"", 10000, code),
        LProcessResultSuccess);
    EXPECT_EQ(code, 3);
    EXPECT_EQ(ProcessRunCommandLineProcessWithExitCode(job, "/no/such/program", 10000, code), 2);
    EXPECT_EQ(code, -1);
    // Not waiting: at once, exit code unknown.
    EXPECT_EQ(ProcessRunCommandLineProcessWithExitCode(job, "true", 0, code), 0);
    EXPECT_EQ(code, -1);

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(
        ProcessRunCommandLineProcessWithExitCode(job, "sleep 2", 300, code), LProcessResultTimeOut);
    // A child that never exits: a stop ends the wait within 200 ms of the request.
    StopAfter stopper(100);
    EXPECT_EQ(
        ProcessRunCommandLineProcessWithExitCode(stopper, "sleep 2", LSIGNAL_WAIT_FOREVER, code),
        LProcessResultStopped);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start)
                  .count();
    // Either wait sitting out its sleep would take 2 s; a busy machine may add much to the rest.
    EXPECT_LT(ms, 1900);
}

class Recorder : public LProcessInterfaceVoid {
public:
    void SetError(const char* text) override { error = text; }
    std::string error;
};

TEST(ExternalCommandJob, MissingExecutableAndDesktopWithoutLauncher)
{
    Recorder job;
    EXPECT_EQ(Process(job, LProcessRunExternalExeData { "/no/such/tool -x", true }), 2);
    EXPECT_EQ(job.error, "/no/such/tool finns inte");

    TemporaryFolder folder;
    std::string desktop = folder.Path() + "/app.desktop";
    std::ofstream(desktop) << "[Desktop Entry]\n";
    EXPECT_EQ(Process(job, LProcessRunExternalExeData { "\"" + desktop + "\" -o", false }), 2);
    EXPECT_NE(job.error.find("buntidentifierare"), std::string::npos);

    std::string marker = folder.Path() + "/made";
    EXPECT_EQ(Process(job, LProcessRunExternalExeData { "touch " + marker, true }), 0);
    EXPECT_EQ(access(marker.c_str(), F_OK), 0);
}

TEST(ExternalCommandJob, NonElevatedStartReturnsAtOnce)
{
    TemporaryFolder folder;
    std::string marker = folder.Path() + "/started";
    EXPECT_FALSE(LInstallProcessRunNonElevated("/no/such/program", "x"));
    EXPECT_TRUE(LInstallProcessRunNonElevated("/usr/bin/touch", marker.c_str()));
    for (int i = 0; i < 100 && access(marker.c_str(), F_OK) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(access(marker.c_str(), F_OK), 0);
}

// The child control stream, read from a pipe.
struct StreamPipes {
    StreamPipes()
    {
        EXPECT_EQ(pipe(out), 0);
        EXPECT_EQ(pipe(in), 0);
        fcntl(out[0], F_SETFL, O_NONBLOCK);
        fcntl(out[1], F_SETPIPE_SZ, 1 << 18); // room for a whole cut status record
    }
    ~StreamPipes()
    {
        for (int fd : { out[0], out[1], in[0], in[1] })
            if (fd >= 0)
                close(fd);
    }
    std::string Drain()
    {
        std::string s;
        char buffer[4096];
        ssize_t n;
        while ((n = read(out[0], buffer, sizeof buffer)) > 0)
            s.append(buffer, static_cast<size_t>(n));
        return s;
    }
    int out[2] = { -1, -1 };
    int in[2] = { -1, -1 };
};

uint32_t gFakeNow = 0;
uint32_t FakeClock()
{
    return gFakeNow;
}

TEST(ChildExecutable, RecordsAndStopRequest)
{
    StreamPipes p;
    gFakeNow = 5000;
    LProcessAsExeInterface job(p.out[1], p.in[0], &FakeClock);
    job.SetStatus("x", 1);
    EXPECT_EQ(p.Drain(), std::string("\x82\x01\x00x", 4));
    job.SetStatus("ignored", 3);
    job.SetError("fel");
    job.SetProgressIndeterminateOn();
    job.SetProgressIndeterminateOff();
    EXPECT_EQ(p.Drain(),
        std::string("\x80\x03\x00"
                    "fel\x11\x12",
            8));
    job.SetStatus(std::string(70000, 'a').c_str(), 0);
    std::string cut = p.Drain();
    ASSERT_EQ(cut.size(), 3u + 65535u);
    EXPECT_EQ(cut.substr(0, 3), std::string("\x81\xff\xff", 3));

    EXPECT_FALSE(job.IsToStop());
    EXPECT_EQ(p.Drain(), "");
    gFakeNow += 1000; // keep-alive after a second
    EXPECT_FALSE(job.IsToStop());
    EXPECT_EQ(p.Drain(), "\x13");
    ASSERT_EQ(write(p.in[1], "s", 1), 1);
    EXPECT_TRUE(job.IsToStop());
    EXPECT_EQ(job.ProcessWait(5000), LProcessResultStopped);
    LSignalObjectGroup empty;
    EXPECT_EQ(job.ProcessWaitSignalObjectGroup(empty, 1000), LProcessResultStopped);

    job.SetResultCode(LProcessResultStopped, "zz", 2);
    job.SetResultCode(LProcessResultSuccess, "ok", 2);
    job.SetResultCode(LProcessResultError, "e", 1);
    EXPECT_EQ(p.Drain(),
        std::string("\x02\x01ok\x00"
                    "e",
            6));
}

TEST(ChildExecutable, ProgressAtMostEvery250MsAndAlwaysTheLast)
{
    StreamPipes p;
    gFakeNow = 0xFFFFFF00u; // across the clock's wrap
    LProcessAsExeInterface job(p.out[1], p.in[0], &FakeClock);
    for (int i = 0; i < 100; ++i) {
        job.SetProgress(i / 100.0);
        gFakeNow += 10;
    }
    job.SetProgress(1.0);
    std::string s = p.Drain();
    ASSERT_EQ(s.size() % 9, 0u);
    size_t records = s.size() / 9;
    EXPECT_EQ(records, 4u + 1u); // 0, 250, 500, 750 ms, then 1.0 at 1000 ms
    double last = 0;
    memcpy(&last, s.data() + s.size() - 8, 8);
    EXPECT_EQ(last, 1.0);
    EXPECT_EQ(static_cast<unsigned char>(s[s.size() - 9]), 16);
}

TEST(ChildExecutable, SignalWaitAndReadData)
{
    StreamPipes p;
    LProcessAsExeInterface job(p.out[1], p.in[0]);
    LSignalObject signal;
    EXPECT_EQ(job.ProcessWaitSignal(signal, 50), LProcessResultTimeOut);
    signal.Signal();
    EXPECT_EQ(job.ProcessWaitSignal(signal, 5000), LProcessResultSignaled);
    ASSERT_EQ(write(p.in[1], "abcd", 4), 4);
    close(p.in[1]);
    p.in[1] = -1;
    char buffer[8] = {};
    EXPECT_TRUE(job.ReadData(buffer, 3));
    EXPECT_STREQ(buffer, "abc");
    EXPECT_FALSE(job.ReadData(buffer, 3)); // one byte left, then the end
}

class EchoJob : public LProcessAsExeBase {
public:
    EchoJob()
        : LProcessAsExeBase("unit-echo")
    {
    }
    LProcessResult Run(LProcessInterface& job) override
    {
        job.SetStatus("ran", 0);
        return LProcessResultSuccess;
    }
};

TEST(ChildExecutable, HelperModes)
{
    EchoJob echo;
    EXPECT_EQ(LProcessAsExeBase::Find("unit-echo"), &echo);
    EXPECT_EQ(LProcessAsExeBase::Find("nope"), nullptr);

    int code = -1;
    char a0[] = "vorantel", a1[] = "-exe", a2[] = "no-such-job";
    char* argv[] = { a0, a1, a2, nullptr };
    ASSERT_TRUE(LUnixAppRunHelperMode(3, argv, code));
    EXPECT_EQ(code, 1);

    char b1[] = "-open";
    char* other[] = { a0, b1, a2, nullptr };
    EXPECT_FALSE(LUnixAppRunHelperMode(3, other, code));
    EXPECT_FALSE(LUnixAppRunHelperMode(2, argv, code));

    TemporaryFolder folder;
    std::string script = folder.Path() + "/s.sh";
    std::string marker = folder.Path() + "/ran";
    std::ofstream(script) << "touch '" << marker << "'\n";
    char c1[] = "-call_launchctl_script";
    char* launch[] = { a0, c1, script.data(), nullptr };
    ASSERT_TRUE(LUnixAppRunHelperMode(3, launch, code));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(access(marker.c_str(), F_OK), 0);
}

} // namespace
