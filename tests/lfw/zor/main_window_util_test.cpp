#include "lfw/gen/LUserSettings.h"
#include "lfw/zor/LMainWindowUtil.h"
#include "lfw/zor/LZORHooks.h"
#include "support/PrivateHomes.h"
#include "support/TemporaryFolder.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

std::vector<std::string> gTitles;
int gAnswer = -1;

int Alert(int, const char* title, const char*, const char* const*, int)
{
    gTitles.push_back(title);
    return gAnswer;
}

class ExitPages : public ::testing::Test {
protected:
    void SetUp() override
    {
        gTitles.clear();
        gAnswer = -1;
        LZORSetAlertFunction(Alert);
        log = dir / "opened.log";
        std::string script = dir / "xdg-open";
        TemporaryFolder::WriteFile(script,
            "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" + log + "'; done\n");
        chmod(script.c_str(), 0755);
        oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
        setenv("PATH", (dir.Path() + ":" + oldPath).c_str(), 1);
    }
    void TearDown() override
    {
        setenv("PATH", oldPath.c_str(), 1);
        LZORSetAlertFunction(nullptr);
    }
    // The pages opened so far, after waiting for count of them (or 3 s).
    std::vector<std::string> Opened(size_t count)
    {
        std::vector<std::string> lines;
        for (int i = 0; i < 300; ++i) {
            lines.clear();
            std::string text = TemporaryFolder::ReadFile(log);
            size_t start = 0;
            for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
                lines.push_back(text.substr(start, nl - start));
            if (lines.size() >= count)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return lines;
    }
    void SetFirstInstallDaysAgo(int days)
    {
        LUserSettingSetString("Settings", "InstallDateFirst",
            std::to_string(static_cast<long>(time(nullptr)) - days * 86400L).c_str());
    }
    PrivateHomes homes;
    TemporaryFolder dir;
    std::string log;
    std::string oldPath;
};

TEST_F(ExitPages, RatingQuestionOnlyAtTheTenthRun)
{
    LMainWindowUtilBase util;
    LUserSettingSetString("Settings", "Runs", "8");
    util.CheckRateIt(nullptr); // run 9
    EXPECT_TRUE(gTitles.empty());
    gAnswer = 0; // "Jag älskar det"
    util.CheckRateIt(nullptr); // run 10
    ASSERT_EQ(gTitles, std::vector<std::string> { "Betygsätt Vorantel" });
    util.CheckRateIt(nullptr); // run 11
    EXPECT_EQ(gTitles.size(), 1u);
    EXPECT_EQ(LUserSettingGet<int>("Settings", "Runs", 0), 11);
    EXPECT_EQ(LUserSettingGet<int>("Settings", "RunsSinceLastInstall", 0), 3);
    auto opened = Opened(1);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_NE(opened[0].find("?rating=1&"), std::string::npos) << opened[0];
    EXPECT_NE(opened[0].find("appname=Vorantel%2C%20Program%20f%C3%B6r%20skivetiketter"),
        std::string::npos);

    // Unreadable counters count from what the parser makes of them, without harm.
    LUserSettingSetString("Settings", "Runs", "abc");
    util.CheckRateIt(nullptr);
    EXPECT_EQ(LUserSettingGet<int>("Settings", "Runs", 0), 1);
    LUserSettingSetString("Settings", "Runs", "-5");
    util.CheckRateIt(nullptr);
    EXPECT_EQ(LUserSettingGet<int>("Settings", "Runs", 0), -4);
}

TEST_F(ExitPages, DismissedRatingOpensNothing)
{
    LMainWindowUtilBase util;
    LUserSettingSetString("Settings", "Runs", "9");
    gAnswer = -1;
    util.CheckRateIt(nullptr);
    EXPECT_EQ(gTitles.size(), 1u);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(Opened(0).empty());
}

TEST_F(ExitPages, ThanksPageOnce)
{
    LMainWindowUtilBase util;
    util.FirstExitAfterInstallCheck();
    util.FirstExitAfterInstallCheck();
    auto opened = Opened(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    opened = Opened(1);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_NE(opened[0].find("/software/sv/thanks.html?software=Vorantel"), std::string::npos)
        << opened[0];
}

TEST_F(ExitPages, LongTermPagesAt180And365Days)
{
    LMainWindowUtilBase util;
    util.TrackingCheckLongTerm(); // no first-install date: nothing
    SetFirstInstallDaysAgo(100);
    util.TrackingCheckLongTerm();
    SetFirstInstallDaysAgo(200);
    util.TrackingCheckLongTerm();
    EXPECT_EQ(LUserSettingGet<int>("Settings", "LongTermDays", 0), 200);
    SetFirstInstallDaysAgo(300);
    util.TrackingCheckLongTerm();
    EXPECT_EQ(LUserSettingGet<int>("Settings", "LongTermDays", 0), 200);
    SetFirstInstallDaysAgo(365);
    util.TrackingCheckLongTerm();
    EXPECT_EQ(LUserSettingGet<int>("Settings", "LongTermDays", 0), 365);
    SetFirstInstallDaysAgo(800);
    util.TrackingCheckLongTerm();
    EXPECT_EQ(LUserSettingGet<int>("Settings", "LongTermDays", 0), 365);
    auto opened = Opened(2);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    opened = Opened(2);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_NE(opened[0].find("thanksforusing.html?"), std::string::npos);
    EXPECT_NE(opened[0].find("&days=200&runs=0"), std::string::npos) << opened[0];
    EXPECT_NE(opened[1].find("&days=365&runs=0"), std::string::npos) << opened[1];
}

TEST_F(ExitPages, ExitSkipsPagesWhenTheSessionEnds)
{
    LMainWindowUtilBase util;
    util.tStartTime = time(nullptr) - 125; // two minutes
    util.bSystemIsQuitting = util.bSkipExitChecks = true;
    util.EvMainWindowUtilBaseDestroy(nullptr);
    EXPECT_EQ(LUserSettingGet<int>("Settings", "MinutesRunSinceLastInstall", 0), 2);
    EXPECT_EQ(LUserSettingGet<int>("Settings", "Runs", 0), 0);
    util.bSkipExitChecks = false;
    util.EvMainWindowUtilBaseDestroy(nullptr);
    EXPECT_EQ(LUserSettingGet<int>("Settings", "Runs", 0), 1);
    EXPECT_EQ(Opened(1).size(), 1u); // the thanks page
}

TEST_F(ExitPages, HelpMenuPages)
{
    LMainWindowUtilBase util;
    EXPECT_FALSE(util.HandleWebCommand(3339));
    EXPECT_TRUE(util.HandleWebCommand(3333));
    EXPECT_TRUE(util.HandleWebCommand(9030));
    auto opened = Opened(2); // each opener runs on its own: any order
    std::sort(opened.begin(), opened.end());
    std::vector<std::string> expected { util.szHomePage, "https://facebook.example/zorsoftware" };
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(opened, expected);
    EXPECT_EQ(std::string(util.szHomePageEncoded).find("https%3A%2F%2F"), 0u);
}

} // namespace
