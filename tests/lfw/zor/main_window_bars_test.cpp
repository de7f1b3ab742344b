// The main window's bars: the tabbed toolbar at the top, the status bar at the bottom and the
// info bar above it; the share commands with the pages they open; the logo background.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/gen/LUserSettings.h"
#include "lfw/gui/LTabbedToolBarPrivate.h"
#include "lfw/mac/LMenu.h"
#include "lfw/zor/LMainWindow.h"
#include "lfw/zor/LToolBarShareLinkBarOrButton.h"
#include "lfw/zor/LZORHooks.h"
#include "lfw/zor/LZorLogoBackground.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiAlert.h"
#include "support/PrivateHomes.h"
#include "support/TemporaryFolder.h"
#include "support/UiTestSupport.h"

#include <algorithm>
#include <cairo.h>
#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

const LToolBar::ToolBarItem kItems[] = {
    { 0, 501, 300, "Ny", "Ny", "Ny etikett", 0, false },
};
const LTabbedToolBarTab kTabs[] = {
    { 6001, "Hem", kItems, 1 },
    { 6002, "Redigera", kItems, 1 },
    { 0, nullptr, nullptr, 0 },
};

struct BarsMainWindow : LMainWindow {
    void InitDialog() override { fTabbedToolBar.TabbedToolBarInit(*this, kTabs, nullptr, 0, 700); }
    void CmSettings() override { }
    void EvLoadFile(const char*) override { }
    int EvAPICommand(int, const char* const*, char*) override { return 0; }
};

// Records the commands and help requests that reach it.
struct RoadMainWindow : BarsMainWindow {
    std::vector<int> commands;
    int helps = 0;
    void Command(int id, int code) override
    {
        if (id >= 500 && id < 10000)
            commands.push_back(id);
        LMainWindow::Command(id, code);
    }
    void CmHelp() override { ++helps; }
    int Count(int id) const
    {
        int n = 0;
        for (int c : commands)
            n += c == id;
        return n;
    }
};

LProcessResult Silently(const char*, const LZORJob& job)
{
    LProcessInterfaceVoid v;
    return job(v);
}

class MainWindowBars : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
        const std::string built = std::string(VT_BINARY_DIR) + "/resources";
        setenv("VT_RESOURCES_DIR", built.c_str(), 1);
        LZORSetRunJobFunction(Silently);
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
        LZORSetRunJobFunction(nullptr);
        LMainMenu::SetMainMenu(nullptr);
    }
    std::vector<std::string> Opened(size_t count)
    {
        std::vector<std::string> lines;
        for (int i = 0; i < 1000; ++i) {
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
    PrivateHomes homes;
    TemporaryFolder runtime;
    TemporaryFolder dir;
    std::string log;
    std::string oldPath;
};

} // namespace

TEST_F(MainWindowBars, BarsTakeTheirPlacesAndShareCommandsOpenTheirPages)
{
    auto w = std::make_unique<BarsMainWindow>();
    const char* argv[] = { "vorantel" };
    ASSERT_TRUE(w->MainWindowInit(1, argv));
    ASSERT_TRUE(uitest::ShowAndWait(w->GetNativeWindow()));
    w->RelayoutControls(*w);
    const double s = w->GetBackingScaleFactor();
    int cw = 0, ch = 0;
    w->GetClientSize(cw, ch);
    int x = 0, y = 0, bw = 0, bh = 0;
    w->GetControlPixels(700, x, y, bw, bh);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(bw, cw);
    EXPECT_EQ(bh, s > 1 ? 169 : 85);
    w->GetControlPixels(800, x, y, bw, bh);
    EXPECT_EQ(bh, int(30 * s));
    EXPECT_EQ(y + bh, ch);
    EXPECT_TRUE(w->GetControlHandle(9599)->IsHidden());
    EXPECT_EQ(LTabbedToolBar::FromWindow(*w), &w->GetTabbedToolBar());
    uitest::Pump(150);
    uitest::SaveScreenshot(w->GetNativeWindow(), uitest::ArtefactPath("main-window-bars", "bars"));

    // The share bar's commands reach the main window.
    LTabbedToolBarPrivate& d = *w->GetTabbedToolBar().GetPrivate();
    w->SendCommand(9301);
    EXPECT_FALSE(d.bShareBarShown);
    EXPECT_FALSE(d.bShareBarWanted);
    w->SendCommand(9302);
    EXPECT_TRUE(d.bShareBarShown);
    // Each page is opened by a program of its own, which may log after the next one on a busy
    // machine: one command at a time.
    size_t opened = 0;
    for (int command : { 9310, 9316, 9320, 9311 }) {
        w->SendCommand(command);
        ASSERT_EQ(Opened(++opened).size(), opened) << command;
    }
    const std::vector<std::string> pages = Opened(4);
    ASSERT_EQ(pages.size(), 4u);
    EXPECT_EQ(pages[0], LToolBarShareLinkBarOrButton::GetFacebookShareURL(w->szHomePage));
    EXPECT_NE(pages[0].find("/v4.0/dialog/share?app_id="), std::string::npos);
    // The page shared is the home page's one address, encoded once.
    EXPECT_EQ(std::string(w->szHomePage).rfind("https://", 0), 0u) << w->szHomePage;
    EXPECT_NE(pages[0].find("&display=page&href=https%3A%2F%2Fwww.vorantel.example%2F"),
        std::string::npos)
        << pages[0];
    EXPECT_EQ(pages[0].find("%3A%2F%2Fhttp"), std::string::npos) << pages[0];
    EXPECT_NE(pages[0].find("&redirect_uri=https%3A%2F%2F"), std::string::npos);
    EXPECT_EQ(pages[1],
        std::string("https://www.linkedin.example/shareArticle?url=") + w->szHomePage
            + "&title=ZOR+Software&mini=true");
    EXPECT_EQ(pages[2], "https://facebook.example/zorsoftware");
    EXPECT_EQ(pages[3].rfind("https://twitter.example/home?status=Jag%20har%20precis", 0), 0u);

    // The info bar's height is not stored as part of the window's size.
    w->GetInfoBar().Show("Meddelande", "OK", 7001, nullptr, 0, nullptr, 0, -1);
    uitest::Pump(150);
    w->WindowSizeSettingsStore("Test");
    int h1 = 0, w1 = 0;
    w->GetClientSizeMinusToolbarMinusStatusBar(w1, h1);
    EXPECT_EQ(LUserSettingGet<int>("Test", "Height", 0), h1 - int(32 * s));
    w->MainWindowDestroy();
}

TEST_F(MainWindowBars, TheRoadWithRealClicksThroughAllBars)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    auto w = std::make_unique<RoadMainWindow>();
    const char* argv[] = { "vorantel" };
    ASSERT_TRUE(w->MainWindowInit(1, argv));
    ASSERT_TRUE(uitest::ShowAndWait(w->GetNativeWindow()));
    const double s = w->GetBackingScaleFactor();
    const int edges[] = { int(150 * s), -1 };
    w->StatusBarSetParts(2, edges);
    w->StatusBarSetText("Klar", 0);
    w->StatusBarSetCommand(1, 4711);
    w->GetInfoBar().Show("Meddelande", "OK", 7001, nullptr, 0, nullptr, 0, -1);
    LTabbedToolBarPrivate& d = *w->GetTabbedToolBar().GetPrivate();
    ASSERT_TRUE(uitest::PumpUntil([&] {
        w->RelayoutControls(*w);
        return d.SelectedTab() && d.SelectedTab()->items[0].drawn;
    }));
    EXPECT_STREQ(d.Tab(1).name.get(), "Hem");
    EXPECT_STREQ(d.Tab(2).name.get(), "Redigera");
    EXPECT_EQ(d.Tab(1).x, d.M); // "Arkiv" takes no room
    int tx = 0, ty = 0, tw = 0, th = 0;
    w->GetControlPixels(700, tx, ty, tw, th);
    auto click = [&](int x, int y) { uitest::XClick(w->GetNativeWindow(), x / s, y / s); };
    // A tab sends its id; the selected one sends nothing.
    const LTabbedToolBarTabInternal& edit = d.Tab(2);
    click(tx + edit.x + edit.width / 2, ty + d.G + d.H / 2);
    ASSERT_TRUE(uitest::PumpUntil([&] { return w->Count(6002) == 1; }));
    EXPECT_EQ(w->GetTabbedToolBar().GetSelectedTab(), 2);
    click(tx + edit.x + edit.width / 2, ty + d.G + d.H / 2);
    uitest::Pump(600); // no double click with the next
    EXPECT_EQ(w->Count(6002), 1);
    // A button of the new tab posts its command once.
    ASSERT_TRUE(uitest::PumpUntil([&] { return d.SelectedTab()->items[0].drawn; }));
    const LToolBarItemInternal& ny = d.SelectedTab()->items[0];
    ASSERT_EQ(ny.command, 501);
    click(tx + ny.x + ny.width / 2, ty + ny.y + ny.height / 2);
    ASSERT_TRUE(uitest::PumpUntil([&] { return w->Count(501) == 1; }));
    uitest::Pump(150);
    EXPECT_EQ(w->Count(501), 1);
    // The help icon calls CmHelp.
    click(tx + d.iHelpX + 3, ty + d.iHelpY + 3);
    ASSERT_TRUE(uitest::PumpUntil([&] { return w->helps == 1; }));
    // The status bar's part with a command, below the info bar.
    int sx = 0, sy = 0, sw = 0, sh = 0;
    w->GetControlPixels(800, sx, sy, sw, sh);
    int ix = 0, iy = 0, iw = 0, ih = 0;
    w->GetControlPixels(9599, ix, iy, iw, ih);
    EXPECT_EQ(iy + ih, sy);
    EXPECT_EQ(th, s > 1 ? 169 : 85);
    uitest::Pump(600);
    click(sx + int(300 * s), sy + sh / 2);
    ASSERT_TRUE(uitest::PumpUntil([&] { return w->Count(4711) == 1; }));
    std::vector<int> ours; // the window also posts commands of its own at the start
    for (int c : w->commands)
        if (c == 6001 || c == 6002 || c == 501 || c == 4711)
            ours.push_back(c);
    EXPECT_EQ(ours, (std::vector<int> { 6002, 501, 4711 }));
    uitest::SaveScreenshot(w->GetNativeWindow(), uitest::ArtefactPath("main-window-bars", "road"));
    w->MainWindowDestroy();
}

// Without a program to open pages, each icon of the share bar, clicked with the real pointer,
// says so over the main window, naming the address to open by hand.
TEST_F(MainWindowBars, ShareIconsTellWhenNoPageCanBeOpened)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    auto w = std::make_unique<RoadMainWindow>();
    const char* argv[] = { "vorantel" };
    ASSERT_TRUE(w->MainWindowInit(1, argv));
    ASSERT_TRUE(uitest::ShowAndWait(w->GetNativeWindow()));
    LTabbedToolBarPrivate& d = *w->GetTabbedToolBar().GetPrivate();
    ASSERT_TRUE(uitest::PumpUntil([&] {
        w->RelayoutControls(*w);
        return d.bShareBarShown && d.fShareBar.bVisible && d.fShareBar.GetButtonCount() == 4;
    }));
    const double s = w->GetBackingScaleFactor();
    int tx = 0, ty = 0, tw = 0, th = 0;
    w->GetControlPixels(700, tx, ty, tw, th);
    TemporaryFolder empty;
    const LToolBarShareLinkBar& bar = d.fShareBar;
    std::vector<int> told;
    // A click comes once the double-click time since the one before has passed, so that no two
    // make a double click.
    gint doubleClickMs = 400;
    g_object_get(gtk_settings_get_default(), "gtk-double-click-time", &doubleClickMs, nullptr);
    gint64 lastClick = 0;
    for (int i = 0; i < bar.GetButtonCount(); ++i) {
        const int command = bar.GetButton(i).command;
        SCOPED_TRACE(command);
        // Shared with the answer, which may come late (or, without an alert, not at all).
        struct Seen {
            std::string headline, message;
            bool overWindow = false, answered = false;
        };
        auto seen = std::make_shared<Seen>();
        GtkWindow* window = w->GetNativeWindow()->Gtk();
        uitest::When(
            [] {
                auto* a = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
                return a && gtk_widget_get_mapped(a);
            },
            [seen, window, i] {
                auto* alert = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
                if (!alert)
                    return; // none came in time
                gchar* h = nullptr;
                g_object_get(alert, "text", &h, nullptr);
                seen->headline = h ? h : "";
                seen->message = LUiAlertMessage(alert);
                g_free(h);
                seen->overWindow = gtk_window_get_transient_for(GTK_WINDOW(alert)) == window;
                if (i == 0)
                    uitest::SaveWidgetScreenshot(
                        alert, uitest::ArtefactPath("main-window-bars", "share-not-opened"));
                gtk_dialog_response(GTK_DIALOG(alert), 0);
                seen->answered = true;
            });
        // The middle of the button, counted from the bar's right edge.
        const int x = bar.iRight - i * bar.GetPitch() - bar.GetPitch() / 2;
        const int y = bar.iTop + bar.GetButtonSize() / 2;
        ASSERT_EQ(bar.HitIndex(x, y), i);
        uitest::PumpUntil(
            [&] { return g_get_monotonic_time() - lastClick > gint64(doubleClickMs + 50) * 1000; },
            unsigned(doubleClickMs) + 1000);
        ASSERT_TRUE(uitest::XClick(w->GetNativeWindow(), (tx + x) / s, (ty + y) / s));
        lastClick = g_get_monotonic_time();
        setenv("PATH", empty.Path().c_str(), 1);
        uitest::PumpUntil([&] { return seen->answered; }, 5000);
        setenv("PATH", oldPath.c_str(), 1);
        EXPECT_TRUE(seen->answered);
        EXPECT_EQ(seen->headline, "Sidan kunde inte öppnas");
        EXPECT_NE(seen->message.find("(xdg-open saknas)"), std::string::npos) << seen->message;
        EXPECT_TRUE(seen->overWindow);
        if (seen->answered)
            told.push_back(command);
    }
    std::sort(told.begin(), told.end());
    EXPECT_EQ(told, (std::vector<int> { 9310, 9311, 9316, 9320 }));
    w->MainWindowDestroy();
}

TEST_F(MainWindowBars, ShareAddressesAreNeverCutAndOtherCommandsPassOn)
{
    std::string home = "www.vorantel.example/";
    while (home.size() < 400)
        home += "sida/";
    const std::string facebook = LToolBarShareLinkBarOrButton::GetFacebookShareURL(home.c_str());
    EXPECT_GT(facebook.size(), 600u);
    EXPECT_NE(facebook.find("sida%2Fsida%2F&redirect_uri="), std::string::npos);
    // A home page without a scheme is taken as http, one with a scheme as it stands.
    EXPECT_NE(facebook.find("&href=http%3A%2F%2Fwww.vorantel.example%2Fsida"), std::string::npos);
    const std::string secure
        = LToolBarShareLinkBarOrButton::GetFacebookShareURL("https://www.vorantel.example/a.html");
    EXPECT_NE(secure.find("&href=https%3A%2F%2Fwww.vorantel.example%2Fa.html&redirect_uri="),
        std::string::npos)
        << secure;
    const std::string linkedin = LToolBarShareLinkBarOrButton::GetLinkedInShareURL(home.c_str());
    const std::string tail = "sida/&title=ZOR+Software&mini=true";
    EXPECT_EQ(linkedin.substr(linkedin.size() - tail.size()), tail);
    EXPECT_NE(linkedin.find(home), std::string::npos);
    LMacWindow plain;
    EXPECT_FALSE(LToolBarShareLinkBarOrButton::HandleCommand(plain, 3339));
    EXPECT_FALSE(LToolBarShareLinkBarOrButton::HandleCommand(plain, 9300));
    // Without a toolbar or a share target the commands are still the bar's, and harmless.
    EXPECT_TRUE(LToolBarShareLinkBarOrButton::HandleCommand(plain, 9301));
    EXPECT_TRUE(LToolBarShareLinkBarOrButton::HandleCommand(plain, 9311));
}

TEST_F(MainWindowBars, LogoIsCentredOnGreyAndATooLargeOneLeavesGrey)
{
    auto paint = [](const LImageBuffer& image, int w, int h, int px, int py) {
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
        cairo_t* cr = cairo_create(surface);
        cairo_set_source_rgb(cr, 0, 0, 1);
        cairo_paint(cr);
        {
            LPaintContext context(cr, w, h);
            DrawZORLogoImageBackgroundOffsetTemplate<LPaintSurface>(context, 0, 0, w, h, image);
        }
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        const unsigned char* p = cairo_image_surface_get_data(surface)
            + py * cairo_image_surface_get_stride(surface) + px * 4;
        uint32_t rgb = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
        cairo_surface_destroy(surface);
        return rgb;
    };
    LZorLogoBackground logo;
    const LImageBuffer& image = logo.GetImage();
    ASSERT_GT(image.GetWidth(), 0) << "resource 335 missing";
    const int W = image.GetWidth() + 100, H = image.GetHeight() + 60;
    EXPECT_EQ(paint(image, W, H, 3, 3), 0x808080u);
    EXPECT_EQ(paint(image, W, H, W - 1, H - 1), 0x808080u);
    // The logo's white disc sits left of its centre, inside the centred image.
    const int left = W / 2 - image.GetWidth() / 2, top = H / 2 - image.GetHeight() / 2;
    EXPECT_EQ(paint(image, W, H, left + image.GetWidth() / 12,
                  top + image.GetHeight() / 2 - image.GetHeight() / 4),
        0xFFFFFFu);
    // One pixel too narrow: only the grey.
    const int narrow = image.GetWidth() - 1;
    for (int px = 0; px < narrow; px += 7)
        EXPECT_EQ(paint(image, narrow, H, px, H / 2), 0x808080u) << px;
}
