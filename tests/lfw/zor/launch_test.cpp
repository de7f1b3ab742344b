// Starting the maker's other programs: the tables and key lookups, the launch job with its
// settings and waiting lines, handing a file to a running Sondrup or starting it, the sibling
// commands of the main window, and the suite's counters and search text.
#include "lfw/gen/LUserSettings.h"
#include "lfw/net/LPipeListener.h"
#include "lfw/unix/LNamedPipe.h"
#include "lfw/unix/LUnixApplication.h"
#include "lfw/zor/LLaunch.h"
#include "lfw/zor/LZORSuiteDialog.h"
#include "lfw/zor/LZORSuiteTables.h"
#include "platform/prefs/Prefs.h"
#include "platform/ui/LUiAlert.h"
#include "support/InstalledPrograms.h"
#include "support/PrivateHomes.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <climits>
#include <csignal>
#include <cstring>
#include <mutex>
#include <set>
#include <strings.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string Setting(const char* section, const char* key)
{
    char value[kLPathSize];
    _LUserSettingGetString(section, key, "", value);
    return value;
}

class Recorder : public LProcessInterfaceVoid {
public:
    void SetError(const char* text) override { error = text; }
    void SetStatus(const char* text, int level) override
    {
        statuses.push_back(std::to_string(level) + ":" + text);
    }
    std::string error;
    std::vector<std::string> statuses;
};

// Records what arrives on a channel.
std::mutex gReceivedLock;
std::vector<std::vector<std::string>> gReceived;

class RecordThread : public LPipeListenerThreadBase {
public:
    using LPipeListenerThreadBase::LPipeListenerThreadBase;

protected:
    void ThreadFunction() override
    {
        CopyData record;
        if (ProcessNamedPipeReceiveRecord(*this, fFd, record) != LProcessResultSuccess)
            return;
        std::lock_guard<std::mutex> lock(gReceivedLock);
        gReceived.emplace_back(record.arguments, record.arguments + record.count);
    }
};

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

TEST(LaunchTables, KeysAndLookups)
{
    EXPECT_STREQ(LLaunchGetApplicationKeyFromBuildKey("Sondrup"), "sondrup");
    EXPECT_STREQ(LLaunchGetApplicationKeyFromBuildKey("vt-podd"), "vt-podd");
    EXPECT_STREQ(LLaunchGetApplicationKeyFromBuildKey("EttAnnatProgram"), "EttAnnatProgram");
    EXPECT_STREQ(LLaunchGetApplicationKeyFromBuildKey(nullptr), "");
    char out[kLPathSize];
    LLaunchGetRemoteFolderFromApplicationKey(out, "EttAnnatProgram");
    EXPECT_STREQ(out, "ettannatprogram");
    LLaunchGetZipKeyFromApplicationKey(out, "EttAnnatProgram");
    EXPECT_STREQ(out, "ettannatprogram");
    LLaunchGetZipKeyFromApplicationKey(out, "vt-podd");
    EXPECT_STREQ(out, "poddinspelare");
    LLaunchGetRemoteFolderFromApplicationKey(out, "sondrup");
    EXPECT_STREQ(out, "sondrup");
    // Looked up by application key: a build key that differs from it is not found.
    LLaunchGetZipKeyFromApplicationKey(out, "Sondrup");
    EXPECT_STREQ(out, "sondrup");

    std::set<std::string> keys;
    for (const LLaunchApplicationProperties& row : kLLaunchApplications) {
        ASSERT_NE(row.buildKey, nullptr);
        ASSERT_NE(row.zipKey, nullptr);
        EXPECT_TRUE(keys.insert(row.buildKey).second) << row.buildKey;
        EXPECT_NE(LZORSuiteFindProgram(row.buildKey), nullptr) << row.buildKey;
    }
}

TEST(LaunchTables, ProgramsTopicsAndSiblings)
{
    const LZORSuiteTables& t = LZORSuiteGetTables();
    ASSERT_EQ(t.programCount, 33u);
    ASSERT_EQ(t.topicCount, 60u);
    std::set<std::string> keys;
    for (size_t i = 0; i < t.programCount; ++i) {
        const ProgTableEntry& p = t.programs[i];
        ASSERT_NE(p.buildKey, nullptr) << i;
        ASSERT_NE(p.title, nullptr) << i;
        ASSERT_NE(p.description, nullptr) << i;
        ASSERT_NE(p.webPage, nullptr) << i;
        EXPECT_TRUE(keys.insert(p.buildKey).second) << p.buildKey;
        const std::string key = p.buildKey;
        EXPECT_TRUE(key == "Vorantel" || key == "Sondrup" || key.rfind("vt-", 0) == 0) << key;
    }
    std::vector<std::string> categories;
    for (size_t i = 0; i < t.topicCount; ++i) {
        const TopicTableEntry& topic = t.topics[i];
        ASSERT_NE(topic.category, nullptr) << i;
        EXPECT_EQ(topic.reserved, 0);
        EXPECT_NE(LZORSuiteFindProgram(topic.buildKey), nullptr) << topic.buildKey;
        if (categories.empty() || categories.back() != topic.category)
            categories.emplace_back(topic.category);
    }
    EXPECT_EQ(categories,
        (std::vector<std::string> { "Populära", "Audio", "Diktamen", "Business", "Video", "Grafik",
            "Verktyg", "Konverterare" }));
    EXPECT_EQ(LZORSuiteFindProgram("SONDRUP"), LZORSuiteFindProgram("Sondrup"));
    EXPECT_EQ(LZORSuiteFindProgram("ingen"), nullptr);

    std::vector<int> commands;
    for (const LLaunchSibling& s : kLLaunchSiblings) {
        commands.push_back(s.command);
        EXPECT_NE(LZORSuiteFindProgram(s.buildKey), nullptr) << s.buildKey;
        EXPECT_EQ(LLaunchFindSibling(s.command), &s);
    }
    EXPECT_EQ(commands, (std::vector<int> { 1035, 1037, 1039, 1043, 1040, 1041, 1042 }));
    EXPECT_EQ(LLaunchFindSibling(1036), nullptr);
}

TEST(Launching, InstalledProgramGetsItsSettingAndArguments)
{
    PrivateHomes homes;
    InstalledPrograms programs;
    EXPECT_FALSE(LIsProgramInstalled("Sondrup"));
    programs.Install("sondrup");
    EXPECT_TRUE(LIsProgramInstalled("Sondrup")); // the build key's application key
    EXPECT_EQ(LLaunchGetApplicationPath("Sondrup"), programs.Applications() + "/sondrup.desktop");

    programs.Install("vt-podd");
    Recorder job;
    LLaunchApplication launch;
    launch.buildKey = "vt-podd";
    launch.arguments = "\"ett argument\" två";
    EXPECT_EQ(Process(job, launch), 0);
    auto lines = InstalledPrograms::Lines(programs.Log("vt-podd"), 3);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "ett argument");
    EXPECT_EQ(lines[2], "två");
    char domain[kLPathSize];
    LSettingGetCFPreferencesApplicationKeyLongForApplication(domain, "vt-podd");
    std::string value;
    EXPECT_TRUE(platform::prefs::GetValue(domain, "Settings/RelatedProgramsInstalled", value));
    EXPECT_EQ(value, "1");

    // Waiting: the two lines until the program has ended.
    programs.Install("vt-lager", "sleep 0.3");
    Recorder waiter;
    launch = LLaunchApplication();
    launch.buildKey = "vt-lager";
    launch.wait = true;
    EXPECT_EQ(Process(waiter, launch), 0);
    EXPECT_EQ(InstalledPrograms::Lines(programs.Log("vt-lager"), 1, 0).size(), 1u);
    const std::vector<std::string> expected { "0:Väntar på vt-lager",
        "1:Vorantel kommer att återupptas när vt-lager har lämnat." };
    ASSERT_GE(waiter.statuses.size(), 2u);
    EXPECT_EQ(
        std::vector<std::string>(waiter.statuses.begin(), waiter.statuses.begin() + 2), expected);

    // Not installed: an error, never a download.
    Recorder missing;
    launch.buildKey = "vt-kassabok";
    EXPECT_EQ(Process(missing, launch), 2);
    EXPECT_NE(missing.error.find("Kassaboken är inte installerat"), std::string::npos);
    EXPECT_EQ(Process(missing, LDownloadAndInstallApplication { "vt-kassabok" }), 2);
    EXPECT_EQ(Process(missing, LDownloadAndInstallApplication { "vt-podd" }), 0);

    // An entry whose program went away is not installed; one whose Exec is broken neither.
    programs.WriteEntry("vt-pdf", "Exec=/no/such/pdf-program %f\n");
    EXPECT_FALSE(LIsProgramInstalled("vt-pdf"));
    programs.WriteEntry("vt-arkiv", "Exec=\"unterminated\n");
    EXPECT_FALSE(LIsProgramInstalled("vt-arkiv"));
}

TEST(Launching, ManyDesktopEntriesAreNoBurden)
{
    PrivateHomes homes;
    InstalledPrograms programs;
    for (int i = 0; i < 1000; ++i)
        programs.WriteEntry("vt-fyll-" + std::to_string(i), "Exec=sh\n");
    programs.Install("vt-filsok");
    EXPECT_TRUE(LIsProgramInstalled("vt-filsok"));
    EXPECT_TRUE(LIsProgramInstalled("vt-fyll-999"));
    EXPECT_FALSE(LIsProgramInstalled("vt-fyll-1000"));
}

class SondrupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        chmod(runtime.Path().c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
        std::lock_guard<std::mutex> lock(gReceivedLock);
        gReceived.clear();
    }
    void TearDown() override { unsetenv("XDG_RUNTIME_DIR"); }
    PrivateHomes homes;
    TemporaryFolder runtime;
};

TEST_F(SondrupTest, RunningOneReceivesTheArgumentWithoutADialog)
{
    char path[kLPathSize];
    ASSERT_TRUE(LNamedPipeRef::MakeFilePath(path, "Sondrup"));
    LPipeListenerWithThreads<RecordThread> listener;
    listener.SetPath(path);
    listener.Start(20);
    ASSERT_TRUE(listener.WaitListening(5000));
    pid_t sondrup = NamedSleeper("Sondrup");
    for (int i = 0; i < 200 && !LIsApplicationRunning("Sondrup"); ++i)
        usleep(10000);
    // No dialog can show here: there is no display in this test.
    EXPECT_TRUE(LLaunchSondrup(nullptr, "-restore", false));
    for (int i = 0; i < 300; ++i) {
        {
            std::lock_guard<std::mutex> lock(gReceivedLock);
            if (!gReceived.empty())
                break;
        }
        usleep(10000);
    }
    {
        std::lock_guard<std::mutex> lock(gReceivedLock);
        ASSERT_EQ(gReceived.size(), 1u);
        EXPECT_EQ(gReceived[0], (std::vector<std::string> { "Sondrup", "-restore" }));
    }
    kill(sondrup, SIGKILL);
    waitpid(sondrup, nullptr, 0);
}

TEST_F(SondrupTest, StartedWithThePathAsOneArgument)
{
    if (!uitest::Init())
        GTEST_SKIP() << "no display";
    InstalledPrograms programs;
    programs.Install("sondrup");
    const std::string file = "/tmp/en mapp/\"citat\" och \\ bakstreck.wav";
    EXPECT_TRUE(LLaunchSondrup(nullptr, file.c_str(), false));
    auto lines = InstalledPrograms::Lines(programs.Log("sondrup"), 2);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], file);
    char domain[kLPathSize];
    LSettingGetCFPreferencesApplicationKeyLongForApplication(domain, "Sondrup");
    std::string value;
    platform::prefs::GetValue(domain, "Settings/RelatedProgramsInstalled", value);
    EXPECT_EQ(value, "1");
}

namespace {

// Answers the next alert with its first button, keeping its headline and message.
void AnswerNextAlert(std::string& said)
{
    uitest::When(
        [] {
            auto* dialog = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
            return dialog && gtk_widget_get_mapped(dialog);
        },
        [&said] {
            auto* dialog = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
            if (!dialog)
                return;
            gchar* text = nullptr;
            g_object_get(dialog, "text", &text, nullptr);
            said = std::string(text ? text : "") + "|" + LUiAlertMessage(dialog);
            g_free(text);
            gtk_dialog_response(GTK_DIALOG(dialog), 0);
        });
}

} // namespace

// A program that is not installed is told of, with where to get it, and its page opened once
// the user has read that.
TEST_F(SondrupTest, NotInstalledIsToldAndOpensItsPage)
{
    if (!uitest::Init())
        GTEST_SKIP() << "no display";
    InstalledPrograms programs;
    std::string said;
    AnswerNextAlert(said);
    EXPECT_FALSE(LLaunchSondrup(nullptr, "/tmp/a.wav", false));
    EXPECT_EQ(said,
        "Sondrup|Sondrup är inte installerat. Det finns att hämta på "
        "https://www.zor.example/sondrup/index.html.");
    auto opened = programs.Opened(1);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], "https://www.zor.example/sondrup/index.html");
}

TEST(SiblingCommands, InstalledRunsNotInstalledIsToldAndOpensItsPage)
{
    if (!uitest::Init())
        GTEST_SKIP() << "no display";
    PrivateHomes homes;
    InstalledPrograms programs;
    programs.Install("vt-inspelning");
    EXPECT_TRUE(LLaunchSiblingCommand(nullptr, 1035));
    EXPECT_EQ(InstalledPrograms::Lines(programs.Log("vt-inspelning"), 1).size(), 1u);
    std::string said;
    AnswerNextAlert(said);
    EXPECT_TRUE(LLaunchSiblingCommand(nullptr, 1042));
    EXPECT_EQ(said,
        "Filomvandlaren|Filomvandlaren är inte installerat. Det finns att hämta på "
        "https://www.zor.example/omvandlare/index.html.");
    auto opened = programs.Opened(1);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], "https://www.zor.example/omvandlare/index.html");
    EXPECT_FALSE(LLaunchSiblingCommand(nullptr, 1036));
}

TEST(SuiteCounting, RecordsPerProgramTabAndTask)
{
    PrivateHomes homes;
    LSuiteUsageAppLinkClickCountIncrement("vt-podd", "Audio", "Spela in en podd", true);
    LSuiteUsageAppLinkClickCountIncrement("vt-podd", "Audio", "Spela in en podd", true);
    LSuiteUsageAppLinkClickCountIncrement("vt-podd", "Populära", "Spela in en podd", false);
    LSuiteUsageAppLinkClickCountIncrement("vt-podd", "Audio", "", true);
    EXPECT_EQ(Setting("SuiteUsage", "ar"), "3");
    EXPECT_EQ(Setting("SuiteUsage", "ai"), "1");
    EXPECT_EQ(Setting("SuiteUsage\\Links/1/", "lc"), "2");
    EXPECT_EQ(Setting("SuiteUsage\\Links/2/", "lt"), "Populära");
    EXPECT_EQ(Setting("SuiteUsage\\Links/2/", "lc"), "1");
    EXPECT_EQ(Setting("SuiteUsage\\Links/3/", "lf"), "");
    // The framework's list walker sees the records.
    LSettingsListTemplate<LUserSettingsRecord> list("Links", "SuiteUsage\\Links");
    int records = 0;
    for (LSettingsListIteratorTemplate<LUserSettingsRecord> it(list); it.IsValid(); it.Next())
        ++records;
    EXPECT_EQ(records, 3);
}

TEST(SuiteCounting, GarbageCountsAndManyRecords)
{
    PrivateHomes homes;
    LUserSettingSetString("SuiteUsage", "ar", "många");
    LUserSettingSetString("SuiteUsage", "ai", "2147483647");
    LUserSettingSetString("SuiteUsage", "oi", "-5");
    LZORSuiteCountAdd("SuiteUsage", "ar", 1);
    LZORSuiteCountAdd("SuiteUsage", "ai", 1);
    LZORSuiteCountAdd("SuiteUsage", "oi", 1);
    LZORSuiteCountAdd("SuiteUsage", "os", 3);
    EXPECT_EQ(Setting("SuiteUsage", "ar"), "1");
    EXPECT_EQ(Setting("SuiteUsage", "ai"), "2147483647");
    EXPECT_EQ(Setting("SuiteUsage", "oi"), "1");
    EXPECT_EQ(Setting("SuiteUsage", "os"), "3");

    // 10,000 records written in one go, one of them with a count that is not a number.
    std::vector<std::pair<std::string, std::string>> values;
    for (int n = 1; n <= 10000; ++n) {
        const std::string base = "SuiteUsage\\Links/" + std::to_string(n) + "/";
        values.emplace_back(base + "lk", "vt-" + std::to_string(n));
        values.emplace_back(base + "lt", "Audio");
        values.emplace_back(base + "lf", "");
        values.emplace_back(base + "lc", n == 5000 ? "x9" : "7");
    }
    ASSERT_TRUE(platform::prefs::SetValues(LSettingGetApplicationDomain(), values));
    const auto start = std::chrono::steady_clock::now();
    LSuiteUsageAppLinkClickCountIncrement("vt-5000", "Audio", "", true);
    LSuiteUsageAppLinkClickCountIncrement("vt-9999", "Audio", "", true);
    LSuiteUsageAppLinkClickCountIncrement("vt-ny", "Audio", "", true);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(Setting("SuiteUsage\\Links/5000/", "lc"), "1");
    EXPECT_EQ(Setting("SuiteUsage\\Links/9999/", "lc"), "8");
    EXPECT_EQ(Setting("SuiteUsage\\Links/10001/", "lk"), "vt-ny");
    EXPECT_EQ(Setting("SuiteUsage\\Links/10001/", "lc"), "1");
}

TEST(SuiteSearch, EncodedWholeAndCut)
{
    EXPECT_EQ(LZORSuiteEncodeSearch("  a&b ö \t"), "a%26b%20%C3%B6");
    EXPECT_EQ(LZORSuiteEncodeSearch("A-z_0.9~!"), "A-z_0.9~!");
    EXPECT_EQ(LZORSuiteEncodeSearch("\n\r"), "");
    EXPECT_EQ(LZORSuiteEncodeSearch(nullptr), "");
    // 10,000 characters with control characters: at most 259 bytes, never inside an escape
    // and never inside a character.
    std::string text;
    for (int i = 0; i < 10000; ++i)
        text += (i % 7 == 0) ? "\x01" : (i % 5 == 0) ? "å" : "x";
    const std::string encoded = LZORSuiteEncodeSearch(text.c_str());
    EXPECT_LE(encoded.size(), 259u);
    EXPECT_GE(encoded.size(), 250u);
    const size_t percent = encoded.rfind('%');
    ASSERT_NE(percent, std::string::npos);
    EXPECT_LE(percent + 3, encoded.size());
    // A cut "å" would end in "%C3" alone.
    EXPECT_FALSE(encoded.size() >= 3 && encoded.compare(encoded.size() - 3, 3, "%C3") == 0);
    std::string ascii(400, 'y');
    EXPECT_EQ(LZORSuiteEncodeSearch(ascii.c_str()), std::string(259, 'y'));
    std::string escapes(200, '&');
    EXPECT_EQ(LZORSuiteEncodeSearch(escapes.c_str()).size(), 258u); // 86 whole escapes
}
