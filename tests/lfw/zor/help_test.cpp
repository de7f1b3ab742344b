#include "lfw/gen/LFile.h"
#include "lfw/gen/LOptionsCount.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/zor/LHelp.h"
#include "support/PrivateHomes.h"
#include "support/TemporaryFolder.h"

#include <algorithm>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <sys/stat.h>
#include <thread>

namespace {

// A stub xdg-open first on PATH that records each argument it is given.
class OpenerStub {
public:
    OpenerStub()
    {
        log = dir / "opened.log";
        std::string script = dir / "xdg-open";
        TemporaryFolder::WriteFile(script,
            "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" + log + "'; done\n");
        chmod(script.c_str(), 0755);
        oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
        setenv("PATH", (dir.Path() + ":" + oldPath).c_str(), 1);
    }
    ~OpenerStub() { setenv("PATH", oldPath.c_str(), 1); }
    // The lines recorded once count of them are there (waits up to 5 s).
    std::vector<std::string> Opened(size_t count)
    {
        for (int i = 0; i < 500; ++i) {
            std::vector<std::string> lines;
            std::string text = TemporaryFolder::ReadFile(log);
            size_t start = 0;
            for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
                lines.push_back(text.substr(start, nl - start));
            if (lines.size() >= count)
                return lines;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return {};
    }
    TemporaryFolder dir;
    std::string log;
    std::string oldPath;
};

class HelpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(system(("mkdir -p " + resources.Path() + "/help").c_str()), 0);
        TemporaryFolder::WriteFile(resources / "help/dialogs_printpreview.html", "<html></html>");
        oldResources = std::getenv("VT_RESOURCES_DIR") ? std::getenv("VT_RESOURCES_DIR") : "";
        setenv("VT_RESOURCES_DIR", resources.Path().c_str(), 1);
        for (const char* key : { "Ref", "SVar", "InstalledBy", "IID", "HelpOpens" })
            LUserSettingDeleteItem("Software", key);
        CmdCounts.SetSize(64);
        for (size_t i = 0; i < CmdCounts.GetCount(); ++i)
            CmdCounts[i] = { 0, 0 };
    }
    void TearDown() override { setenv("VT_RESOURCES_DIR", oldResources.c_str(), 1); }
    PrivateHomes homes;
    TemporaryFolder resources;
    std::string oldResources;
};

} // namespace

TEST_F(HelpTest, LocalTopicOpensAsFileUrlWithoutQuery)
{
    OpenerStub opener;
    char page[kLHelpURLSize];
    LHelpGetHelpPageFilePath(page, "dialogs_printpreview");
    EXPECT_EQ(std::string(page), "file://" + resources.Path() + "/help/dialogs_printpreview.html");
    LOpenHelpPage(nullptr, "dialogs_printpreview");
    auto opened = opener.Opened(1);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], "file://" + resources.Path() + "/help/dialogs_printpreview.html");
    EXPECT_EQ(LUserSettingGet<int>("Software", "HelpOpens", 0), 1);
}

TEST_F(HelpTest, OnlineTopicCarriesTheTrackingQuery)
{
    OpenerStub opener;
    CmdCounts[0] = { 0x41234, 300 };
    LUserSettingSetString("Software", "SVar", "b&c");
    LUserSettingSetString("Software", "IID", "id 7");
    LOpenHelpPage(nullptr, "options_general");
    auto opened = opener.Opened(1);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0],
        "http://help.vorantel.example/help/en/vorantel/mac/options_general.html"
        "?software=Vorantel&lang=sv&appname=Vorantel&version=6.27MAC&base=vt"
        "&domain=vorantel.example&svar=b%26c&instby=dl&iid=id%207&help=1&usage=1234FF&days=0"
        "&runs=0");

    // Without used commands there is no usage key; the help server is a setting.
    CmdCounts[0] = { 0, 300 };
    CmdCounts[1] = { 0x55, 2 };
    LUserSettingSetString("Online", "HelpServer", "127.0.0.1:9");
    char url[kLHelpURLSize];
    LHelpGetOnlineHelpPageURL(url, "../../etc/passwd");
    EXPECT_EQ(std::string(url).find("&usage="), std::string::npos);
    EXPECT_EQ(std::string(url).rfind("http://127.0.0.1:9/help/en/vorantel/mac/index.html?", 0), 0u);
    LUserSettingDeleteItem("Online", "HelpServer");
}

TEST_F(HelpTest, WebPagesAndFiles)
{
    OpenerStub opener;
    EXPECT_TRUE(LOpenWebPage("example.org/a"));
    EXPECT_TRUE(LOpenWebPage("/tmp/with space.html"));
    EXPECT_TRUE(LOpenWebPage("https://x.example/?u=file:///etc/passwd"));
    EXPECT_FALSE(LOpenWebPage("http://x/\nrm"));
    EXPECT_FALSE(LOpenWebPage(("file://" + resources.Path()).c_str())); // a folder
    // Each page is opened by a process of its own, so the log may list them in any order.
    auto opened = opener.Opened(3);
    std::sort(opened.begin(), opened.end());
    EXPECT_EQ(opened,
        (std::vector<std::string> { "file:///tmp/with%20space.html", "http://example.org/a",
            "https://x.example/?u=file:///etc/passwd" }));

    char page[kLPathSize];
    LGetZORWebPageURL(page, "+sv/index");
    EXPECT_STREQ(page, "https://www.zor.example/sv/index.html");
    LGetZORWebPageURL(page, "news");
    EXPECT_STREQ(page, "https://www.vorantel.example/news.html");
}
