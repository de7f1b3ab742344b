// Other programs as processes: desktop entries that count as installed or not, their commands,
// starting them with and without waiting, and finding running processes by name and program.
#include "lfw/gen/LFile.h"
#include "lfw/unix/LUnixApplication.h"
#include "lfw/unix/LUnixProcess.h"
#include "platform/system/Applications.h"
#include "support/InstalledPrograms.h"
#include "support/PrivateHomes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ps = platform::system;

namespace {

// Stops asking after a given time; records statuses and errors.
class Job : public LProcessInterfaceVoid {
public:
    explicit Job(int stopAfterMs = -1)
        : fStopAfter(stopAfterMs)
        , fStart(std::chrono::steady_clock::now())
    {
    }
    bool IsToStop() override
    {
        return fStopAfter >= 0
            && std::chrono::steady_clock::now() - fStart >= std::chrono::milliseconds(fStopAfter);
    }
    void SetError(const char* text) override { error = text; }
    void SetStatus(const char* text, int level) override
    {
        statuses.push_back(std::to_string(level) + ":" + text);
    }
    std::string error;
    std::vector<std::string> statuses;

private:
    int fStopAfter;
    std::chrono::steady_clock::time_point fStart;
};

long ElapsedMs(std::chrono::steady_clock::time_point since)
{
    return long(std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - since)
                    .count());
}

// A child process with the given command name that sleeps until it is killed.
pid_t NamedSleeper(const char* name)
{
    pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_NAME, name);
        for (;;)
            pause();
    }
    return pid;
}

} // namespace

TEST(DesktopEntries, UsableEntriesOnlyAndTheFirstFolderWins)
{
    PrivateHomes homes;
    InstalledPrograms programs;
    const std::string data = std::getenv("XDG_DATA_HOME");
    programs.Install("vt-bra");
    programs.WriteEntry("vt-tryexec", "Exec=sh\nTryExec=/no/such/program\n");
    programs.WriteEntry("vt-saknas", "Exec=/no/such/program %f\n");
    programs.WriteEntry("vt-trasig", "Exec=sh -c \"echo\n"); // the quote never ends
    programs.WriteEntry("vt-tom", "Name=x\n");
    programs.WriteEntry("vt-dold", "Exec=sh\nHidden=true\n");
    EXPECT_EQ(ps::FindDesktopEntry("vt-bra"), programs.Applications() + "/vt-bra.desktop");
    for (const char* key : { "vt-tryexec", "vt-saknas", "vt-trasig", "vt-tom", "vt-dold",
             "vt-finns-inte", "", "../applications/vt-bra", ".vt-bra" })
        EXPECT_EQ(ps::FindDesktopEntry(key), "") << key;

    // A later folder's entry of the same name is hidden by a broken one in an earlier folder.
    TemporaryFolder other;
    std::filesystem::create_directories(other / "applications");
    TemporaryFolder::WriteFile(
        other / "applications/vt-trasig.desktop", "[Desktop Entry]\nType=Application\nExec=sh\n");
    TemporaryFolder::WriteFile(
        other / "applications/vt-bara-har.desktop", "[Desktop Entry]\nType=Application\nExec=sh\n");
    EXPECT_EQ(ps::FindDesktopEntryIn({ data, other.Path() }, "vt-trasig"), "");
    EXPECT_EQ(ps::FindDesktopEntryIn({ data, other.Path() }, "vt-bara-har"),
        other / "applications/vt-bara-har.desktop");
    setenv("XDG_DATA_DIRS", other.Path().c_str(), 1);
    EXPECT_EQ(ps::DataFolders(), (std::vector<std::string> { data, other.Path() }));
    unsetenv("XDG_DATA_DIRS");
}

TEST(DesktopEntries, ExecLosesItsFieldCodes)
{
    PrivateHomes homes;
    InstalledPrograms programs;
    const std::string entry = programs.WriteEntry(
        "vt-koder", "Exec=sh -c \"echo 100%%\" %f %U --fil=%u 'två ord' %i %c %k\n");
    std::vector<std::string> argv;
    ASSERT_TRUE(ps::DesktopEntryCommand(entry, argv));
    ASSERT_EQ(argv.size(), 5u);
    EXPECT_EQ(argv[0], ps::FindProgramInPath("sh"));
    EXPECT_EQ(argv[1], "-c");
    EXPECT_EQ(argv[2], "echo 100%");
    EXPECT_EQ(argv[3], "--fil=");
    EXPECT_EQ(argv[4], "två ord");
    EXPECT_EQ(ps::DesktopEntryName(entry), "vt-koder");
    EXPECT_FALSE(ps::DesktopEntryCommand("/no/such.desktop", argv));
    EXPECT_TRUE(argv.empty());
}

TEST(ProgramPaths, FoundOnPathOrCopied)
{
    char out[kLPathSize];
    LUnixExecutableGetAbsolutePath(out, "sh");
    EXPECT_EQ(out[0], '/');
    EXPECT_EQ(access(out, X_OK), 0);
    EXPECT_EQ(std::string(out).substr(std::string(out).size() - 3), "/sh");
    LUnixExecutableGetAbsolutePath(out, "/opt/något/verktyg");
    EXPECT_STREQ(out, "/opt/något/verktyg");
    LUnixExecutableGetAbsolutePath(out, "vt-no-such-program-anywhere");
    EXPECT_STREQ(out, "");
    LUnixExecutableGetAbsolutePath(out, ("/" + std::string(400, 'x')).c_str());
    EXPECT_STREQ(out, ""); // never cut to a different path
    LUnixExecutableGetAbsolutePath(out, nullptr);
    EXPECT_STREQ(out, "");

    PrivateHomes homes;
    InstalledPrograms programs;
    const std::string entry = programs.Install("vt-visa");
    LExpandDotAppToPointToExecutable(out, entry.c_str());
    EXPECT_EQ(std::string(out), programs.Folder() / "vt-visa.sh");
    LExpandDotAppToPointToExecutable(out, "/no/such.desktop");
    EXPECT_STREQ(out, "");
}

TEST(RunningProcesses, ByCommandNameOfThisUser)
{
    pid_t child = NamedSleeper("vt-namnprov");
    ASSERT_GT(child, 0);
    bool seen = false;
    for (int i = 0; i < 200 && !seen; ++i) {
        seen = LIsApplicationRunning("vt-namnprov");
        if (!seen)
            usleep(10000);
    }
    EXPECT_TRUE(seen);
    EXPECT_FALSE(LIsApplicationRunning("vt-namnprov-med-svans"));
    // The kernel keeps 15 bytes of a name: a longer name matches on those.
    pid_t longer = NamedSleeper("vt-ett-langt-namn-for-prov");
    seen = false;
    for (int i = 0; i < 200 && !seen; ++i) {
        seen = LIsApplicationRunning("vt-ett-langt-namn-for-prov");
        if (!seen)
            usleep(10000);
    }
    EXPECT_TRUE(seen);
    kill(longer, SIGKILL);
    waitpid(longer, nullptr, 0);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_FALSE(LIsApplicationRunning("vt-namnprov"));
    EXPECT_FALSE(LIsApplicationRunning(""));
    EXPECT_FALSE(LIsApplicationRunning(nullptr));
}

TEST(RunningProcesses, ScanSkipsWhatVanishesAndOtherUsers)
{
    TemporaryFolder proc;
    std::filesystem::create_directories(proc / "12");
    std::filesystem::create_directories(proc / "13"); // vanished: no comm any more
    std::filesystem::create_directories(proc / "self");
    TemporaryFolder::WriteFile(proc / "12/comm", "Sondrup\n");
    TemporaryFolder::WriteFile(proc / "self/comm", "Dold\n");
    std::filesystem::create_directories(proc / "14");
    TemporaryFolder::WriteFile(proc / "14/comm", "ettmycketlangtn\n"); // 15 bytes kept
    EXPECT_TRUE(ps::IsProcessRunningIn(proc.Path(), getuid(), "Sondrup"));
    EXPECT_FALSE(ps::IsProcessRunningIn(proc.Path(), getuid() + 1, "Sondrup"));
    EXPECT_FALSE(ps::IsProcessRunningIn(proc.Path(), getuid(), "Dold"));
    EXPECT_FALSE(ps::IsProcessRunningIn(proc.Path(), getuid(), "Sondrupp"));
    EXPECT_TRUE(ps::IsProcessRunningIn(proc.Path(), getuid(), "ettmycketlangtnamn"));
    EXPECT_FALSE(ps::IsProcessRunningIn("/no/such/proc", getuid(), "Sondrup"));
}

TEST(Launching, StartsWithArgumentsAsTheyStand)
{
    PrivateHomes homes;
    InstalledPrograms programs;
    const std::string entry = programs.Install("vt-start");
    Job job;
    pid_t pid = 0;
    const std::vector<std::string> args { "en fil med \"citat\" och \\", "-x" };
    EXPECT_EQ(LLaunchApplicationWithArguments(job, entry.c_str(), args, false, 0, &pid), 0);
    EXPECT_GT(pid, 0);
    auto lines = InstalledPrograms::Lines(programs.Log("vt-start"), 3);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], std::to_string(pid));
    EXPECT_EQ(lines[1], args[0]);
    EXPECT_EQ(lines[2], "-x");
    ASSERT_FALSE(job.statuses.empty());
    EXPECT_EQ(job.statuses[0], "0:Lansering vt-start.desktop");

    // An argument line is split as command lines are.
    std::remove(programs.Log("vt-start").c_str());
    EXPECT_EQ(LLaunchApplicationWithCocoa(job, entry.c_str(), "\"a b\" c", true), 0);
    lines = InstalledPrograms::Lines(programs.Log("vt-start"), 3);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "a b");
    EXPECT_EQ(lines[2], "c");

    // Through the external-command job: the entry stands for its program.
    std::remove(programs.Log("vt-start").c_str());
    EXPECT_EQ(Process(job, LProcessRunExternalExeData { entry + " hej", true }), 0);
    lines = InstalledPrograms::Lines(programs.Log("vt-start"), 2);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "hej");
}

TEST(Launching, WaitsInSlicesAndStops)
{
    PrivateHomes homes;
    InstalledPrograms programs;
    const std::string quick = programs.Install("vt-snabb", "exit 3");
    const std::string never = programs.Install("vt-aldrig", "exec sleep 30");

    Job job;
    int code = -2;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(
        LLaunchApplicationWithArguments(job, quick.c_str(), {}, true, 5000, nullptr, &code), 0);
    EXPECT_EQ(code, 3);
    EXPECT_LT(ElapsedMs(start), 4900); // on the exit, not at the time-out

    Job stopper(300);
    pid_t pid = 0;
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(LLaunchApplicationWithArguments(stopper, never.c_str(), {}, true, 60000, &pid), 1);
    // Soon after the stop, long before the program's end or the time-out, even on a busy machine.
    EXPECT_LT(ElapsedMs(start), 15000);
    ASSERT_GT(pid, 0);
    EXPECT_EQ(kill(pid, 0), 0); // the program goes on after the wait was given up
    kill(pid, SIGTERM);

    Job patient;
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(LLaunchApplicationWithArguments(patient, never.c_str(), {}, true, 300, &pid), 2);
    EXPECT_LT(ElapsedMs(start), 15000);
    kill(pid, SIGTERM);
}

TEST(Launching, ProgramsThatCannotStart)
{
    PrivateHomes homes;
    InstalledPrograms programs;
    Job job;
    const std::string broken = programs.WriteEntry("vt-utan", "Exec=/no/such/program\n");
    EXPECT_EQ(LLaunchApplicationWithCocoa(job, broken.c_str(), "", false), 2);
    EXPECT_NE(job.error.find("buntidentifierare"), std::string::npos);
    EXPECT_EQ(LLaunchApplicationWithCocoa(job, "/no/such/program", "", false), 2);
    EXPECT_EQ(job.error, "/no/such/program finns inte");
    pid_t pid = 0;
    std::string error;
    EXPECT_FALSE(ps::SpawnProgram({ "/no/such/program" }, pid, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(ps::SpawnProgram({}, pid, error));
}

TEST(RunningProcesses, TheProcessOfAProgram)
{
    PrivateHomes homes;
    InstalledPrograms programs;
    // A program of our own: no other process runs it.
    const std::string sleeper = programs.Folder() / "vt-sovare";
    std::filesystem::copy_file(ps::FindProgramInPath("sleep"), sleeper);
    chmod(sleeper.c_str(), 0755);
    const std::string entry = programs.WriteEntry("vt-sovare", "Exec=" + sleeper + " 30\n");
    Job job;
    ProcessSerialNumber psn;
    EXPECT_FALSE(LGetProcessSerialNumber(job, psn, entry.c_str()));
    pid_t pid = 0;
    ASSERT_EQ(LLaunchApplicationWithArguments(job, entry.c_str(), {}, false, 0, &pid), 0);
    bool found = false;
    for (int i = 0; i < 200 && !found; ++i) {
        found = LGetProcessSerialNumber(job, psn, entry.c_str());
        if (!found)
            usleep(10000);
    }
    EXPECT_TRUE(found);
    EXPECT_EQ(psn.lowLongOfPSN, uint32_t(pid));
    Job stopped(0);
    EXPECT_FALSE(LGetProcessSerialNumber(stopped, psn, entry.c_str()));
    EXPECT_EQ(psn.lowLongOfPSN, 0u);
    kill(pid, SIGTERM);
}
