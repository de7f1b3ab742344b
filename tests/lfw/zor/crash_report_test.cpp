#include "lfw/gen/LFile.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/ios/LThread.h"
#include "lfw/unix/LHangDetector.h"
#include "lfw/unix/LStartup.h"
#include "lfw/zor/LCrashReport.h"
#include "lfw/zor/LZORHooks.h"
#include "support/LoopbackServer.h"
#include "support/PrivateHomes.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

struct AlertLog {
    std::vector<std::string> titles, texts, buttons;
    std::vector<int> answers;
};
AlertLog gAlerts;

int RecordingAlert(int, const char* title, const char* text, const char* const* b, int n)
{
    gAlerts.titles.push_back(title);
    gAlerts.texts.push_back(text);
    std::string joined;
    for (int i = 0; i < n; ++i)
        joined += std::string(i ? "|" : "") + b[i];
    gAlerts.buttons.push_back(joined);
    if (gAlerts.answers.empty())
        return -1;
    int a = gAlerts.answers.front();
    gAlerts.answers.erase(gAlerts.answers.begin());
    return a;
}

std::string LogsFolder()
{
    char folder[kLPathSize];
    LDebugGetCrashLogFolder(folder);
    return folder;
}

void ClearLogs()
{
    for (const std::string& name : TemporaryFolder::List(LogsFolder()))
        unlink((LogsFolder() + "/" + name).c_str());
}

// Runs body in a child that crashes; returns its wait status.
template <class F> int CrashChild(F body)
{
    pid_t pid = fork();
    if (pid == 0) {
        LThreadSetMainThread(); // the child's one thread has its own id
        LDebugCrashReportInstall();
        body();
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

class StubOpener {
public:
    StubOpener()
    {
        log = dir / "opened.log";
        std::string script = dir / "xdg-open";
        TemporaryFolder::WriteFile(script, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + log + "'\n");
        chmod(script.c_str(), 0755);
        old = std::getenv("PATH");
        setenv("PATH", (dir.Path() + ":" + old).c_str(), 1);
    }
    ~StubOpener() { setenv("PATH", old.c_str(), 1); }
    std::string Wait()
    {
        for (int i = 0; i < 500; ++i) {
            std::string t = TemporaryFolder::ReadFile(log);
            if (!t.empty())
                return t;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return "";
    }
    TemporaryFolder dir;
    std::string log;
    std::string old;
};

class CrashReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(LStartupDone());
        LThreadSetMainThread();
        LFile::CreateFolderTree(LogsFolder().c_str());
        gAlerts = AlertLog();
        LZORSetAlertFunction(RecordingAlert);
        ClearLogs();
        LUserSettingDeleteItem("Software", "CrashReportOffered");
    }
    void TearDown() override
    {
        LZORSetAlertFunction(nullptr);
        ClearLogs();
    }
    PrivateHomes homes;
};

// A real segmentation fault: the undefined-behaviour checker of a sanitizer build must not stop
// the store first.
// (The pointer is read from a volatile variable, so the compiler cannot turn the store into a
// trap of its own.)
int* volatile gNowhere = nullptr;

__attribute__((noinline, no_sanitize("undefined"))) void StoreThroughNull()
{
    volatile int* p = gNowhere;
    *p = 1;
}

} // namespace

TEST_F(CrashReportTest, RealFaultsLeaveARecord)
{
    int status = CrashChild([] { StoreThroughNull(); });
    ASSERT_TRUE(WIFSIGNALED(status)); // ends by its own signal once the record is written
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    auto names = TemporaryFolder::List(LogsFolder());
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0].rfind("Vorantel_", 0), 0u);
    std::string record = TemporaryFolder::ReadFile(LogsFolder() + "/" + names[0]);
    EXPECT_NE(record.find("Process: Vorantel ["), std::string::npos);
    EXPECT_NE(record.find("\nVersion: 6.27\n"), std::string::npos);
    EXPECT_NE(record.find("\nSignal: 11\n"), std::string::npos);
    EXPECT_NE(record.find("\nThread: MAIN\n"), std::string::npos);
    EXPECT_NE(record.find("\nDate/Time: 20"), std::string::npos);

    ClearLogs();
    status = CrashChild([] { __builtin_trap(); });
    ASSERT_TRUE(WIFSIGNALED(status)); // a real SIGILL is not returned into
    EXPECT_EQ(WTERMSIG(status), SIGILL);
    names = TemporaryFolder::List(LogsFolder());
    ASSERT_EQ(names.size(), 1u);
    EXPECT_NE(TemporaryFolder::ReadFile(LogsFolder() + "/" + names[0]).find("\nSignal: 4\n"),
        std::string::npos);
}

TEST_F(CrashReportTest, NextStartOffersTheReportAndUploadsIt)
{
    CrashChild([] { raise(SIGSEGV); });
    char path[kLPathSize];
    ASSERT_TRUE(LMacGetLatestCrashReport(path));
    std::string record = TemporaryFolder::ReadFile(path);

    LoopbackServer server;
    server.Add("HTTP/1.0 200 OK\r\n\r\n");
    LUserSettingSetString("Online", "CrashReportServer", server.Host().c_str());
    LUserSettingSetString("Online", "BugPage", "http://bugs.example/report.html");
    StubOpener opener;
    gAlerts.answers = { 0 };
    ASSERT_TRUE(LDebugCrashReportOfferAtStart());
    ASSERT_EQ(gAlerts.titles.size(), 1u);
    EXPECT_EQ(gAlerts.titles[0], "Onormal signalkrasch");
    EXPECT_EQ(gAlerts.buttons[0], "Rapport|Rapportera inte");
    EXPECT_NE(gAlerts.texts[0].find("undantagskoden \"SIGNAL11\"."), std::string::npos);
    EXPECT_EQ(gAlerts.texts[0].rfind("Vorantel, Program för skivetiketter har kraschat", 0), 0u);

    ASSERT_EQ(server.Requests().size(), 1u);
    std::string upload = server.Requests()[0];
    EXPECT_EQ(upload.rfind("POST /minidumpupload HTTP/1.0\r\n", 0), 0u);
    EXPECT_NE(upload.find("filename=\"Mac_Vorantel_"), std::string::npos);
    EXPECT_NE(upload.find(record), std::string::npos);
    std::string page = opener.Wait();
    EXPECT_EQ(page.rfind("http://bugs.example/report.html?software=Vorantel&version=6.27&lang=sv"
                         "&xi=GUI-11-Linux",
                  0),
        0u)
        << page;
    EXPECT_NE(page.find("-UnknownModule-MAIN"), std::string::npos);

    // Offered once only.
    EXPECT_FALSE(LDebugCrashReportOfferAtStart());
    LUserSettingDeleteItem("Online", "CrashReportServer");
    LUserSettingDeleteItem("Online", "BugPage");
}

TEST_F(CrashReportTest, DeclinedReportSendsNothing)
{
    CrashChild([] { raise(SIGBUS); });
    LoopbackServer server;
    LUserSettingSetString("Online", "CrashReportServer", server.Host().c_str());
    gAlerts.answers = { 1 };
    EXPECT_TRUE(LDebugCrashReportOfferAtStart());
    EXPECT_NE(gAlerts.texts.at(0).find("SIGNAL7"), std::string::npos);
    EXPECT_EQ(server.Connections(), 0);
    LUserSettingDeleteItem("Online", "CrashReportServer");
}

TEST_F(CrashReportTest, NewestRecordOfAnotherVersionHidesOlderOnes)
{
    CrashChild([] { raise(SIGSEGV); });
    char path[kLPathSize];
    ASSERT_TRUE(LMacGetLatestCrashReport(path));
    std::string other = LogsFolder() + "/Vorantel_other.crash";
    TemporaryFolder::WriteFile(other,
        "Process: Vorantel [1]\nPath: /x\nIdentifier: y\nVersion: 6.30\n"
        "Date/Time: 2999-01-01 00:00:00 +0000\n");
    EXPECT_FALSE(LMacGetLatestCrashReport(path));
}

TEST(MachineData, EncodedAndBounded)
{
    PrivateHomes homes;
    char data[kLDebugDataSize];
    LDebugGetMachineDataForCrashReport(data, "Mac_Vorantel_x.crash", 12, 34);
    EXPECT_EQ(std::string(data).rfind("dump%3DMac_Vorantel_x.crash%26memfrhp%3D12%26memfrlg%3D34%26"
                                      "%26memphys%3D",
                  0),
        0u)
        << data;
    EXPECT_LT(std::strlen(data), kLDebugDataSize);
    for (const char* p = data; *p; ++p)
        EXPECT_TRUE(*p != '&' && *p != ' ');
    char xi[kLPathSize];
    LDebugGenerateXIString(xi, "11", "UnknownModule");
    EXPECT_EQ(std::string(xi).rfind("11-Linux", 0), 0u);
}

namespace {

int64_t gSeconds = 0;
uint32_t gMs = 0;
void TestClock(int64_t* s, uint32_t* ms)
{
    *s = gSeconds;
    *ms = gMs;
}
int gAbnormal = 0;
void CountAbnormal()
{
    ++gAbnormal;
}

class HangDetectorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        chmod(runtime.Path().c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
        LHangDetectorSetClock(TestClock);
        LHangDetectorSetAbnormalEndHook(CountAbnormal);
        gAbnormal = 0;
        ASSERT_TRUE(LHangDetectorGetPath(path));
    }
    void TearDown() override
    {
        LHangDetectorSetClock(nullptr);
        LHangDetectorSetAbnormalEndHook(nullptr);
        unsetenv("XDG_RUNTIME_DIR");
    }
    // A run that starts at the given clock and ends without its clean-exit marker.
    void CrashedRun(int64_t seconds, uint32_t ms)
    {
        gSeconds = seconds;
        gMs = ms;
        pid_t pid = fork();
        if (pid == 0) {
            LHangDetector run;
            run.InitAndTest();
            _exit(0); // no destructor: the file stays
        }
        int status;
        waitpid(pid, &status, 0);
    }
    PrivateHomes homes;
    TemporaryFolder runtime;
    char path[kLPathSize];
};

} // namespace

TEST_F(HangDetectorTest, CleanRunLeavesNothing)
{
    gSeconds = 1000;
    gMs = 5000;
    {
        LHangDetector run;
        EXPECT_FALSE(run.InitAndTest());
        std::string record = TemporaryFolder::ReadFile(path);
        ASSERT_EQ(record.size(), 16u);
        int64_t s;
        uint64_t ms;
        std::memcpy(&s, record.data(), 8);
        std::memcpy(&ms, record.data() + 8, 8);
        EXPECT_EQ(s, 1000);
        EXPECT_EQ(ms, 5000u);
        struct stat st;
        ASSERT_EQ(stat(path, &st), 0);
        EXPECT_EQ(st.st_mode & 077, 0u);
        EXPECT_EQ(std::string(path).rfind(runtime.Path() + "/_vorantel_rl_", 0), 0u);

        // A second instance finds the lock held and says nothing; the file stays.
        LHangDetector second;
        EXPECT_FALSE(second.InitAndTest());
        EXPECT_TRUE(LFile::TestFileExists(path));
        run.Destroy();
    }
    EXPECT_FALSE(LFile::TestFileExists(path));
    EXPECT_EQ(gAbnormal, 0);
}

TEST_F(HangDetectorTest, AbnormalEndWithinTheWindowAsks)
{
    CrashedRun(1000, 5000);
    gSeconds = 1600;
    gMs = 5000 + 600000 + 1500; // 1.5 s apart from what the seconds say
    LHangDetector next;
    EXPECT_TRUE(next.InitAndTest());
    EXPECT_EQ(gAbnormal, 1);
    EXPECT_FALSE(LFile::TestFileExists(path)); // this run has no run-lock file
}

TEST_F(HangDetectorTest, ClockWrapAndShortRecordsAreDroppedSilently)
{
    CrashedRun(1000, 0xFFFFF000u);
    gSeconds = 1010;
    gMs = uint32_t(0xFFFFF000u + 10000u); // wrapped
    LHangDetector next;
    EXPECT_FALSE(next.InitAndTest());
    EXPECT_FALSE(LFile::TestFileExists(path));

    CrashedRun(1000, 5000);
    gSeconds = 1010;
    gMs = 5000 + 10000 + 2500; // outside the 2000 ms window
    LHangDetector third;
    EXPECT_FALSE(third.InitAndTest());

    TemporaryFolder::WriteFile(path, "short");
    LHangDetector fourth;
    EXPECT_FALSE(fourth.InitAndTest());
    EXPECT_FALSE(LFile::TestFileExists(path));
    EXPECT_EQ(gAbnormal, 0);
}

TEST_F(HangDetectorTest, QuestionsLeadToTheBugPage)
{
    LZORSetAlertFunction(RecordingAlert);
    gAlerts = AlertLog();
    gAlerts.answers = { 0, 0 };
    StubOpener opener;
    LUserSettingSetString("Online", "BugPage", "http://bugs.example/hang.html");
    LDebugHangDetectorAskAfterAbnormalEnd();
    ASSERT_EQ(gAlerts.titles.size(), 2u);
    EXPECT_EQ(gAlerts.titles[1], "Onormalt avslut upptäckt");
    EXPECT_EQ(gAlerts.buttons[0], "Det kraschade|Något annat");
    EXPECT_EQ(gAlerts.buttons[1], "Rapportera fel|Nej");
    std::string page = opener.Wait();
    EXPECT_EQ(page.rfind("http://bugs.example/hang.html?software=Vorantel&version=6.27&lang=sv"
                         "&xi=AbTermOrHang-Linux",
                  0),
        0u)
        << page;
    LUserSettingDeleteItem("Online", "BugPage");
    LZORSetAlertFunction(nullptr);
}
