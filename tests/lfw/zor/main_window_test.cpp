// The main window as a person meets it: its caption and menus, the about and version commands,
// the quit shortcut, a second start's documents, and the stored size of the next start.
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LMenu.h"
#include "lfw/mac/cocoa/LCocoaMenu.h"
#include "lfw/zor/LMainWindow.h"
#include "lfw/zor/LZORHooks.h"
#include "platform/ui/LModalLoop.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LRunLoop.h"
#include "platform/ui/LUiMenu.h"
#include "support/LoopbackServer.h"
#include "support/PrivateHomes.h"
#include "support/TemporaryFolder.h"
#include "support/UiTestSupport.h"

#include <atomic>
#include <cstdlib>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

std::vector<std::string> gAlertTitles;

int Alert(int, const char* title, const char*, const char* const*, int)
{
    gAlertTitles.push_back(title);
    return 1; // "Avbryt", "Kanske senare"
}

LProcessResult Silently(const char*, const LZORJob& job)
{
    LProcessInterfaceVoid v;
    return job(v);
}

struct TestMainWindow : LMainWindow {
    void CmSettings() override { ++settings; }
    void EvLoadFile(const char* path) override { loaded.emplace_back(path); }
    int EvAPICommand(int argc, const char* const* argv, char*) override
    {
        api.emplace_back(argv, argv + argc);
        return 0;
    }
    bool EvKeyDown(LKey key) override
    {
        keys.push_back(key.code);
        return key.KeyCode() == LKey::kF1 + 0; // F1 only is taken
    }
    int settings = 0;
    std::vector<uint32_t> keys;
    std::vector<std::string> loaded;
    std::vector<std::vector<std::string>> api;
};

std::vector<std::string> Titles(LUiMenu* menu)
{
    std::vector<std::string> out;
    for (const auto& item : menu->Items())
        out.push_back(item->IsSeparator() ? "-" : item->Title());
    return out;
}

std::vector<int> Tags(LUiMenu* menu)
{
    std::vector<int> out;
    for (const auto& item : menu->Items())
        if (!item->IsSeparator())
            out.push_back(item->Tag());
    return out;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
        gAlertTitles.clear();
        LZORSetAlertFunction(Alert);
        LZORSetRunJobFunction(Silently);
    }
    void TearDown() override
    {
        LZORSetAlertFunction(nullptr);
        LZORSetRunJobFunction(nullptr);
        LMainMenu::SetMainMenu(nullptr);
    }
    PrivateHomes homes;
    TemporaryFolder runtime;
};

TEST_F(MainWindowTest, OpensWithCaptionMenusAndAboutAndQuitsWithCtrlQ)
{
    auto w = std::make_unique<TestMainWindow>();
    const char* argv[] = { "vorantel" };
    ASSERT_TRUE(w->MainWindowInit(1, argv));
    ASSERT_TRUE(uitest::ShowAndWait(w->GetNativeWindow()));
    GtkWindow* top = w->GetNativeWindow()->Gtk();
    ASSERT_NE(top, nullptr);
    EXPECT_STREQ(gtk_window_get_title(top), "Vorantel av ZOR Software");
    LUiMenu* bar = LMainMenu::theMainMenu.GetMenu();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(Titles(bar), (std::vector<std::string> { "Vorantel", "Fönstret", "Hjälp" }));
    LUiMenu* help = LMainMenu::theMainMenu.GetMenuByCaption("Hjälp");
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(Tags(help),
        (std::vector<int> { 9020, 3333, 3336, 3337, 3338, 3340, 9030, 9031, 3334, 9405 }));
    EXPECT_EQ(Titles(LMainMenu::theMainMenu.GetMenuByCaption("Vorantel"))[0], "Om Vorantel");
    uitest::Pump(200);
    uitest::SaveScreenshot(w->GetNativeWindow(), std::string(VT_BINARY_DIR) + "/main_window.png");

    // "Om Vorantel" (without the window layer's box: an information alert).
    w->SendCommand(LFourCC("abou"));
    EXPECT_EQ(gAlertTitles, std::vector<std::string> { "Om Vorantel" });
    w->SendCommand(LFourCC("pref"));
    EXPECT_EQ(w->settings, 1);

    // Refused while a modal runs.
    auto* other = new LNativeWindow(LUiRect { 0, 0, 100, 80 }, kLUiWindowTitled, false);
    uintptr_t session = LModalLoop::BeginSession(other);
    ASSERT_NE(session, 0u);
    EXPECT_FALSE(w->CmExit());
    EXPECT_FALSE(w->IsDestroyed());
    LModalLoop::EndSession(session);
    other->Close();
    other->Release();

    if (uitest::HaveXdotool()) {
        std::string xid = std::to_string(w->GetNativeWindow()->XWindowId());
        uitest::Run("xdotool windowfocus " + xid + " >/dev/null 2>&1");
        uitest::PumpUntil([&] { return w->GetNativeWindow()->IsKey(); }, 2000);
        uitest::Run("xdotool key --clearmodifiers ctrl+q >/dev/null 2>&1");
        uitest::PumpUntil([&] { return w->IsDestroyed(); }, 3000);
    } else {
        w->SendCommand(LFourCC("quit"));
    }
    ASSERT_TRUE(w->IsDestroyed());
    for (const char* key : { "X", "Y", "Width", "Height", "Maximized" }) {
        char value[kLPathSize] = "";
        EXPECT_TRUE(_LUserSettingGetString("MainWindow", key, "", value) && value[0]) << key;
    }
    EXPECT_EQ(LUserSettingGet<int>("Settings", "Runs", 0), 1);
}

TEST_F(MainWindowTest, KeyMonitorSeesKeysAheadOfTheControls)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    auto w = std::make_unique<TestMainWindow>();
    const char* argv[] = { "vorantel" };
    ASSERT_TRUE(w->MainWindowInit(1, argv));
    ASSERT_TRUE(uitest::ShowAndWait(w->GetNativeWindow()));
    std::string xid = std::to_string(w->GetNativeWindow()->XWindowId());
    uitest::Run("xdotool windowfocus " + xid + " >/dev/null 2>&1");
    ASSERT_TRUE(uitest::PumpUntil([&] { return w->GetNativeWindow()->IsKey(); }, 2000));
    uitest::Run("xdotool key --clearmodifiers F1 ctrl+e >/dev/null 2>&1");
    uitest::PumpUntil([&] { return w->keys.size() >= 2; }, 2000);
    ASSERT_GE(w->keys.size(), 2u);
    EXPECT_EQ(w->keys[0], LKey::Special(LKey::kF1).code);
    EXPECT_EQ(w->keys[1], LKey(LKey::kCommand | 'E').code);
    w->MainWindowDestroy();
}

TEST_F(MainWindowTest, DerivedMenusGetRecentFilesAndTheHelpTail)
{
    auto w = std::make_unique<TestMainWindow>();
    const char* argv[] = { "vorantel" };
    ASSERT_TRUE(w->MainWindowInit(1, argv));
    const LMenuItem rows[] = {
        { -1, "Arkiv", 0 },
        { 100, "Öppna...", 0 },
        { -1, nullptr, 0 },
        { -1, "Hjälp", 0 },
        { 9020, "Handbok", 0 },
        { -1, nullptr, 0 },
    };
    w->SetMenu(rows, 6, nullptr, 0);
    LUiMenu* bar = LMainMenu::theMainMenu.GetMenu();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(Titles(bar), (std::vector<std::string> { "Vorantel", "Arkiv", "Fönstret", "Hjälp" }));
    EXPECT_EQ(Titles(LMainMenu::theMainMenu.GetMenuByCaption("Arkiv")),
        (std::vector<std::string> { "Öppna...", "-", "Senaste filer" }));
    LUiMenu* help = LMainMenu::theMainMenu.GetMenuByCaption("Hjälp");
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(Tags(help),
        (std::vector<int> { 9020, 3333, 3336, 3337, 3338, 3340, 9030, 9031, 3334, 9405 }));
    EXPECT_EQ(Titles(help)[0], "Handbok");
    w->MainWindowDestroy();
}

TEST_F(MainWindowTest, QuitEventCancelsTheModalAndSkipsTheExitPages)
{
    auto w = std::make_unique<TestMainWindow>();
    const char* argv[] = { "vorantel" };
    ASSERT_TRUE(w->MainWindowInit(1, argv));
    ASSERT_TRUE(uitest::ShowAndWait(w->GetNativeWindow()));
    auto* other = new LNativeWindow(LUiRect { 0, 0, 100, 80 }, kLUiWindowTitled, false);
    uintptr_t session = LModalLoop::BeginSession(other);
    ASSERT_NE(session, 0u);
    w->SendCommand(LFourCC("quit")); // refused while the modal runs
    EXPECT_FALSE(w->IsDestroyed());
    w->EvAppleEvent(LAppleEvent { "quit", {}, "" }); // the session ends, or a signal came
    EXPECT_TRUE(w->IsDestroyed());
    EXPECT_FALSE(LModalLoop::IsSessionOpen(session));
    EXPECT_EQ(LUserSettingGet<int>("Settings", "Runs", 0), 0); // no exit pages
    EXPECT_NE(LUserSettingGet<int>("MainWindow", "Width", -1), -1);
    other->Close();
    other->Release();
}

TEST_F(MainWindowTest, RestartRestoresTheStoredSize)
{
    LUserSettingSetString("MainWindow", "Width", "1000");
    LUserSettingSetString("MainWindow", "Height", "700");
    LUserSettingSetString("MainWindow", "X", "30");
    LUserSettingSetString("MainWindow", "Y", "40");
    LUserSettingSetString("MainWindow", "Maximized", "0");
    auto w = std::make_unique<TestMainWindow>();
    const char* argv[] = { "vorantel" };
    ASSERT_TRUE(w->MainWindowInit(1, argv));
    ASSERT_TRUE(uitest::ShowAndWait(w->GetNativeWindow()));
    uitest::Pump(100);
    w->MainWindowDestroy();
    EXPECT_EQ(LUserSettingGet<int>("MainWindow", "Width", 0), 1000);
    EXPECT_EQ(LUserSettingGet<int>("MainWindow", "Height", 0), 700);
    EXPECT_EQ(LUserSettingGet<int>("MainWindow", "Maximized", -1), 0);
}

TEST_F(MainWindowTest, SecondStartHandsItsDocumentToTheFirst)
{
    auto w = std::make_unique<TestMainWindow>();
    const char* argv[] = { "vorantel" };
    ASSERT_TRUE(w->MainWindowInit(1, argv));
    uitest::Pump(100);
    LSingleInstance second;
    const char* args[] = { "vorantel", "a.vtproj" };
    EXPECT_EQ(second.Start(2, args, nullptr), LSingleInstance::kDelivered);
    uitest::PumpUntil([&] { return !w->api.empty(); }, 5000);
    uitest::Pump(200);
    ASSERT_EQ(w->api.size(), 1u);
    EXPECT_EQ(w->api[0], std::vector<std::string> { "a.vtproj" });

    // A second main window of another process would be refused: here the same channel answers
    // (the start waits for its answer, which this loop gives while it turns).
    auto again = std::make_unique<TestMainWindow>();
    std::atomic<int> initialised { -1 };
    std::thread start([&] { initialised = again->MainWindowInit(1, argv) ? 1 : 0; });
    uitest::PumpUntil([&] { return initialised.load() >= 0; }, 10000);
    start.join();
    EXPECT_EQ(initialised.load(), 0);
    EXPECT_FALSE(LMainWindow::bPrimaryInstance);
    LMainWindow::bPrimaryInstance = true;
    again.reset();
    LMainWindow::pInstance = w.get();
    w->MainWindowDestroy();
}

TEST_F(MainWindowTest, VersionCheckCommand)
{
    LoopbackServer server;
    LUserSettingSetString("Online", "VersionHost", server.Host().c_str());
    auto w = std::make_unique<TestMainWindow>();
    const char* argv[] = { "vorantel" };
    ASSERT_TRUE(w->MainWindowInit(1, argv));
    server.Add("HTTP/1.0 200 OK\r\n\r\nversion=6.28&info=http://i.example/&download=http://d/");
    w->SendCommand(9405);
    server.Add("HTTP/1.0 200 OK\r\n\r\nversion=6.27&info=http://i.example/&download=http://d/");
    w->SendCommand(9405);
    EXPECT_EQ(gAlertTitles,
        (std::vector<std::string> { "Uppdaterad version tillgänglig", "Aktuell Version" }));
    w->MainWindowDestroy();
}

TEST_F(MainWindowTest, FrameworkProgressDialogRunsTheServicesJobs)
{
    LMainWindowInstallFrameworkHooks();
    int progressCalls = 0;
    EXPECT_EQ(LZORRunJob("Sök efter uppdateringar",
                  [&](LProcessInterface& job) {
                      job.SetStatus("Söker", 0);
                      job.SetProgress(0.5);
                      ++progressCalls;
                      return LProcessResultSuccess;
                  }),
        LProcessResultSuccess);
    EXPECT_EQ(progressCalls, 1);
    // (An error text would show the framework's alert over the progress window.)
    EXPECT_EQ(LZORRunJob("Fel", [](LProcessInterface&) { return LProcessResultError; }),
        LProcessResultError);
}

TEST(MainWindowSizes, DefaultSizeAndCaption)
{
    int w = 0, h = 0;
    LMainWindow::GetDefaultSizeUnits(1280, 1024, -1, -1, w, h);
    EXPECT_EQ(w, 160);
    EXPECT_EQ(h, 60);
    LMainWindow::GetDefaultSizeUnits(1280, 1024, 900, -1, w, h);
    EXPECT_EQ(w, 115);
    EXPECT_EQ(h, 38);
    EXPECT_EQ(LMainWindow::MakeCaption(""), "Vorantel av ZOR Software");
    EXPECT_EQ(
        LMainWindow::MakeCaption("/home/a/Skivor/x.vtproj"), "Vorantel av ZOR Software - x.vtproj");
    EXPECT_EQ(LMainWindow::MakeCaption("c\\d.vtproj"), "Vorantel av ZOR Software - d.vtproj");
}

} // namespace
