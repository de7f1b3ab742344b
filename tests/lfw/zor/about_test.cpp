#include "lfw/gen/LFile.h"
#include "lfw/gen/LSharedSettings.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/zor/LAbout.h"
#include "lfw/zor/LZORHooks.h"
#include "support/LoopbackServer.h"
#include "support/PrivateHomes.h"
#include "support/TemporaryFolder.h"

#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

std::string Reply(const std::string& body, const char* status = "200 OK")
{
    return std::string("HTTP/1.0 ") + status + "\r\nContent-Type: text/plain\r\nContent-Length: "
        + std::to_string(body.size()) + "\r\n\r\n" + body;
}

TEST(VersionReply, ReadsTheThreeValuesFromTheBodyOnly)
{
    LProcessCheckForVersionUpdates d;
    EXPECT_EQ(
        LAboutParseVersionReply(
            Reply("version=6.28&info=https://x.example/new&download=https://x.example/d.deb\n")
                .c_str(),
            d),
        0);
    EXPECT_DOUBLE_EQ(d.version, 6.28);
    EXPECT_EQ(d.infoURL, "https://x.example/new");
    EXPECT_EQ(d.downloadURL, "https://x.example/d.deb");

    // Headers are not searched: a header holding the keys does not count.
    std::string headerOnly = "HTTP/1.0 200 OK\r\nX-A: version=9&info=a&download=b\r\n\r\nnothing";
    EXPECT_EQ(LAboutParseVersionReply(headerOnly.c_str(), d), 2);
    // Not a 200 reply.
    EXPECT_EQ(
        LAboutParseVersionReply(Reply("version=7&info=a&download=b", "404 Not Found").c_str(), d),
        2);
    // Garbage, nan and infinity are no version.
    for (const char* v : { "abc", "nan", "inf", "6.28x", "" }) {
        std::string body = std::string("version=") + v + "&info=a&download=b";
        EXPECT_EQ(LAboutParseVersionReply(Reply(body).c_str(), d), 2) << v;
    }
    EXPECT_EQ(LAboutParseVersionReply(Reply("version=6.28&info=&download=b").c_str(), d), 2);
    EXPECT_EQ(LAboutParseVersionReply(Reply("version=6.28&info=a").c_str(), d), 2);
    EXPECT_EQ(LAboutParseVersionReply("", d), 2);
    EXPECT_EQ(LAboutParseVersionReply(nullptr, d), 2);
}

TEST(VersionReply, WebAddressesOnlyForHttp)
{
    EXPECT_TRUE(LAboutIsWebAddress("http://a.example/"));
    EXPECT_TRUE(LAboutIsWebAddress("HTTPS://a.example/"));
    EXPECT_FALSE(LAboutIsWebAddress("file:///etc/passwd"));
    EXPECT_FALSE(LAboutIsWebAddress("/usr/bin/xterm"));
    EXPECT_FALSE(LAboutIsWebAddress("javascript:alert(1)"));
}

// Alerts answered from a script, with what they showed recorded.
struct AlertLog {
    std::vector<std::string> titles;
    std::vector<int> answers;
};
AlertLog gAlerts;

int ScriptedAlert(int, const char* title, const char*, const char* const*, int)
{
    gAlerts.titles.push_back(title);
    if (gAlerts.answers.empty())
        return -1;
    int a = gAlerts.answers.front();
    gAlerts.answers.erase(gAlerts.answers.begin());
    return a;
}

LProcessResult RunSilently(const char*, const LZORJob& job)
{
    LProcessInterfaceVoid v;
    return job(v);
}

class VersionCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        gAlerts = {};
        LZORSetAlertFunction(ScriptedAlert);
        LZORSetRunJobFunction(RunSilently);
        LUserSettingSetString("Online", "VersionHost", server.Host().c_str());
        LUserSettingDeleteItem("Settings", "NewerVersion");
        // A stub opener that records what it was given.
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
        LZORSetRunJobFunction(nullptr);
    }
    std::string Opened()
    {
        for (int i = 0; i < 300; ++i) {
            std::string text = TemporaryFolder::ReadFile(log);
            if (!text.empty())
                return text;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return "";
    }
    PrivateHomes homes;
    LoopbackServer server;
    TemporaryFolder dir;
    std::string log;
    std::string oldPath;
};

TEST_F(VersionCheck, NewerVersionShowsTheInfoPage)
{
    server.Add(Reply("version=6.28&info=http://info.example/628&download=http://d.example/x"));
    gAlerts.answers = { 0 }; // "Visa"
    LAboutCheckForVersionUpdate(nullptr);
    ASSERT_EQ(gAlerts.titles, std::vector<std::string> { "Uppdaterad version tillgänglig" });
    EXPECT_EQ(Opened(), "http://info.example/628\n");
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].rfind("GET /versions/vorantel_mac_sv.txt HTTP/1.0\r\n", 0), 0u);
}

TEST_F(VersionCheck, SameVersionIsCurrentAndFailuresSayNoInformation)
{
    server.Add(Reply("version=6.27&info=http://i.example/&download=http://d.example/"));
    LAboutCheckForVersionUpdate(nullptr);
    server.Add(Reply("version=nan&info=http://i.example/&download=http://d.example/"));
    LAboutCheckForVersionUpdate(nullptr);
    // A large binary reply.
    std::string binary(100 * 1024, '\0');
    for (size_t i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<char>(i * 131 + 7);
    server.Add(Reply(binary));
    LAboutCheckForVersionUpdate(nullptr);
    EXPECT_EQ(gAlerts.titles,
        (std::vector<std::string> {
            "Aktuell Version", "Ingen versionsinformation", "Ingen versionsinformation" }));
}

TEST_F(VersionCheck, NonWebInfoAddressIsNotOpened)
{
    server.Add(Reply("version=7&info=file:///etc/passwd&download=http://d.example/"));
    gAlerts.answers = { 0 };
    LAboutCheckForVersionUpdate(nullptr);
    ASSERT_EQ(gAlerts.titles.size(), 1u);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(TemporaryFolder::ReadFile(log), "");
}

TEST_F(VersionCheck, StoredNewerVersionSkipsTheServer)
{
    LUserSettingSetString("Settings", "NewerVersion", "628");
    double v = 0;
    EXPECT_EQ(LAboutAppUpdateVersionGet(v), 0);
    EXPECT_DOUBLE_EQ(v, 6.28);
    EXPECT_EQ(server.Connections(), 0);

    for (const char* stored : { "627", "abc", "-5" }) {
        LUserSettingSetString("Settings", "NewerVersion", stored);
        server.Add(Reply("version=6.3&info=http://i.example/&download=http://d.example/"));
        EXPECT_EQ(LAboutAppUpdateVersionGet(v), 0) << stored;
        EXPECT_DOUBLE_EQ(v, 6.3);
        EXPECT_EQ(LUserSettingGet<int>("Settings", "NewerVersion", 0), 630);
    }
    EXPECT_EQ(server.Connections(), 3);
    EXPECT_TRUE(LAboutCheckOSVersion(true));
}

TEST(AboutTexts, LicenceJoinAndDistributor)
{
    PrivateHomes homes;
    std::string terms, credits;
    LGetLicenseTermsAndCredits(terms, credits);
    EXPECT_EQ(terms, "");
    LLicenseTermsAndCredits::Get().Add("A", "");
    LLicenseTermsAndCredits::Get().Add("B", "C");
    terms = "EULA";
    LGetLicenseTermsAndCredits(terms, credits);
    EXPECT_EQ(
        terms, "EULA\r\n\r\n===================\r\n\r\nA\r\n\r\n===================\r\n\r\nB");
    EXPECT_EQ(credits, "C");
    EXPECT_NE(std::string(LAboutGetLicenseAgreement()).find("LICENSAVTAL"), std::string::npos);

    char out[kLPathSize];
    LAboutGetDistributorName(out);
    EXPECT_STREQ(out, "ZOR Software");
    LAboutGetDistributorURL(out);
    EXPECT_EQ(std::string(out).rfind("https://", 0), 0u);
    ASSERT_TRUE(LSharedSettingSetString("Distributor", "URL", "shop.example/x"));
    LAboutGetDistributorURL(out);
    EXPECT_STREQ(out, "http://shop.example/x");
    ASSERT_TRUE(LSharedSettingSetString("Distributor", "URL", "https://shop.example/y"));
    LAboutGetDistributorURL(out);
    EXPECT_STREQ(out, "https://shop.example/y");
}

} // namespace
