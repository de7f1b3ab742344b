// The product-suite window as a person uses it: opened from the main window's suite command, its
// tabs, program list and featured tasks; starting an installed program and opening the page of
// one that is not; the search, the links and the logo; the usage it counts.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/LMenu.h"
#include "lfw/mac/cocoa/LCocoaSimpleControls.h"
#include "lfw/mac/cocoa/LCocoaTabViewImpl.h"
#include "lfw/mac/cocoa/LCocoaTooltipImpl.h"
#include "lfw/zor/LLaunch.h"
#include "lfw/zor/LMainWindow.h"
#include "lfw/zor/LZORSuiteDialog.h"
#include "platform/prefs/Prefs.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiAlert.h"
#include "platform/ui/LUiTooltipArea.h"
#include "platform/ui/LView.h"
#include "support/InstalledPrograms.h"
#include "support/LoopbackServer.h"
#include "support/PanelTestSupport.h"
#include "support/PrivateHomes.h"
#include "support/Screenshot.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <functional>
#include <strings.h>
#include <unistd.h>

namespace {

int R(double v)
{
    return int(std::lround(v));
}

std::string Setting(const char* section, const char* key)
{
    char value[kLPathSize];
    _LUserSettingGetString(section, key, "", value);
    return value;
}

std::string OtherProgramSetting(const char* program, const char* key)
{
    char domain[kLPathSize];
    LSettingGetCFPreferencesApplicationKeyLongForApplication(domain, program);
    std::string value;
    platform::prefs::GetValue(domain, key, value);
    return value;
}

bool Shown(LMacWindow& w)
{
    return w.GetNativeWindow() && w.GetNativeWindow()->Gtk()
        && gtk_widget_get_mapped(GTK_WIDGET(w.GetNativeWindow()->Gtk())) && w.IsInitialised();
}

// Opens the dialog as the given call does, runs body on it once it shows, then closes it.
void WithDialog(
    const std::function<void()>& open, const std::function<void(LZORSuiteDialog&)>& body)
{
    bool ran = false;
    uitest::When(
        [] {
            LZORSuiteDialog* d = LZORSuiteGetOpenDialog();
            return d && Shown(*d);
        },
        [&] {
            LZORSuiteDialog* d = LZORSuiteGetOpenDialog();
            if (!d)
                return;
            uitest::Pump(100);
            body(*d);
            ran = true;
            d->Close();
        });
    open();
    EXPECT_TRUE(ran);
    EXPECT_EQ(LZORSuiteGetOpenDialog(), nullptr);
}

std::vector<std::string> TabLabels(LZORSuiteDialog& d)
{
    std::vector<std::string> labels;
    auto* tabs = dynamic_cast<LCocoaTabViewImpl*>(d.GetControlHandle(101));
    for (int i = 0; tabs && i < tabs->count(); ++i)
        labels.emplace_back(tabs->getTabLabel(i));
    return labels;
}

std::vector<std::string> ProgramKeys(const LTopicWindowBase& window)
{
    std::vector<std::string> keys;
    for (const auto& item : window.Items())
        keys.emplace_back(item->program->buildKey);
    return keys;
}

// The centre of an item's button, or a point of the item left of its button, in points of the
// dialog's content.
LUiPoint ItemPoint(LZORSuiteDialog& d, const TopicData& item, bool button)
{
    int x = 0, y = 0, w = 0, h = 0;
    d.GetControlPixels(102, x, y, w, h); // device pixels
    const double s = d.GetBackingScaleFactor();
    const int scroll = d.Products().GetScrollOffsetY();
    if (button)
        return LUiPoint { (x + (item.buttonLeft + item.buttonRight) / 2.0) / s,
            (y + (item.buttonTop + item.buttonBottom) / 2.0 - scroll) / s };
    return LUiPoint { x / s + 20, (y + (item.top + item.bottom) / 2.0 - scroll) / s };
}

const TopicData* FindItem(LZORSuiteDialog& d, const char* key)
{
    for (const auto& item : d.Products().Items())
        if (strcasecmp(item->program->buildKey, key) == 0)
            return item.get();
    return nullptr;
}

// Scrolls the program list so that the item shows.
void ScrollTo(LZORSuiteDialog& d, const TopicData& item)
{
    d.Products().SetScrollOffsetY(std::max(0, item.top - 4));
    uitest::Pump(100);
}

// The colour at a point of the window (device pixels) in a screenshot.
bool PixelAt(const std::string& png, int x, int y, int& r, int& g, int& b)
{
    cairo_surface_t* s = cairo_image_surface_create_from_png(png.c_str());
    bool ok = cairo_surface_status(s) == CAIRO_STATUS_SUCCESS && x >= 0 && y >= 0
        && x < cairo_image_surface_get_width(s) && y < cairo_image_surface_get_height(s);
    if (ok) {
        cairo_surface_flush(s);
        const unsigned char* row
            = cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s);
        uint32_t p = reinterpret_cast<const uint32_t*>(row)[x];
        r = (p >> 16) & 255;
        g = (p >> 8) & 255;
        b = p & 255;
    }
    cairo_surface_destroy(s);
    return ok;
}

// The button's colour halfway down, a few pixels in from its left edge.
void ExpectButtonColour(
    LZORSuiteDialog& d, const TopicData& item, int r, int g, int b, const char* shot)
{
    const std::string png = uitest::Screenshot(d.GetNativeWindow(), shot);
    ASSERT_FALSE(png.empty());
    int x = 0, y = 0, w = 0, h = 0;
    d.GetControlPixels(102, x, y, w, h);
    const double s = d.GetBackingScaleFactor();
    const int px = x + item.buttonLeft + R(3 * s);
    const int py = y + (item.buttonTop + item.buttonBottom) / 2 - d.Products().GetScrollOffsetY()
        + R(d.GetNativeWindow()->TopSlotsHeight() * s);
    int pr = 0, pg = 0, pb = 0;
    ASSERT_TRUE(PixelAt(png, px, py, pr, pg, pb));
    // A vertical gradient from 105 % to 87 % of the colour: about 96 % halfway.
    EXPECT_NEAR(pr, r * 0.96, 14) << shot;
    EXPECT_NEAR(pg, g * 0.96, 14) << shot;
    EXPECT_NEAR(pb, b * 0.96, 14) << shot;
}

// The pages opened once count of them are there, turning the main loop meanwhile.
std::vector<std::string> OpenedPages(InstalledPrograms& programs, size_t count)
{
    uitest::PumpUntil([&] { return programs.Opened(count, 0).size() >= count; }, 3000);
    return programs.Opened(count, 0);
}

class SuiteDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
        const std::string built = std::string(VT_BINARY_DIR) + "/resources";
        if (access((built + "/resources/png/320.png").c_str(), R_OK) == 0)
            setenv("VT_RESOURCES_DIR", built.c_str(), 1);
        LZORSuiteDialog::uRandomSeed = 7;
        // Pages go to the stub opener; nothing may be fetched from the sites.
        LUserSettingSetString("Online", "WebSite", server.Host().c_str());
        LUserSettingSetString("Online", "WebSite2", ("www2." + server.Host()).c_str());
        site = server.Host();
    }
    void TearDown() override
    {
        LZORSuiteDialog::uRandomSeed = 0;
        EXPECT_EQ(server.Connections(), 0);
    }
    PrivateHomes homes;
    InstalledPrograms programs;
    LoopbackServer server;
    std::string site;
};

} // namespace

TEST_F(SuiteDialog, OpensOnGrafikWithTabsListsAndFeaturedTasks)
{
    programs.Install("vt-fotoredigering");
    programs.Install("vt-kollage");
    LMacWindow parent;
    parent.CreateCocoaWindow(300, 200, kLUiWindowTitled, false, nullptr);
    WithDialog([&] { LZORSuiteLaunch(parent.GetContentView(), "Grafik"); },
        [&](LZORSuiteDialog& d) {
            EXPECT_STREQ(gtk_window_get_title(d.GetNativeWindow()->Gtk()), "ZOR-programpaket");
            int w = 0, h = 0;
            d.GetClientSize(w, h);
            // 85 characters wide, or as wide as the screen holds.
            int largestW = 0, largestH = 0;
            d.GetLargestClientSizePixels(largestW, largestH);
            EXPECT_NEAR(w, std::min(R(85 * d.CharWidthPixels()), largestW), 1);
            EXPECT_EQ(TabLabels(d),
                (std::vector<std::string> { "Populära", "Audio", "Diktamen", "Business", "Video",
                    "Grafik", "Verktyg", "Konverterare" }));
            EXPECT_EQ(d.CurrentTabName(), "Grafik");
            EXPECT_TRUE(d.IsControlFocus(105));

            // Not installed first (ranked, then by title), then the installed ones; never this
            // program, whatever the topics say.
            EXPECT_EQ(ProgramKeys(d.Products()),
                (std::vector<std::string> { "vt-bildvisare", "vt-bildomvandlare", "vt-ritning",
                    "vt-ritprogram", "vt-visitkort", "vt-fotoredigering", "vt-kollage" }));
            auto tasks = d.PopularTopics().Tasks();
            ASSERT_EQ(tasks.size(), 3u);
            for (size_t i = 0; i < tasks.size(); ++i) {
                ASSERT_NE(tasks[i]->topic, nullptr);
                EXPECT_STREQ(tasks[i]->topic->category, "Grafik");
                EXPECT_STRCASENE(tasks[i]->program->buildKey, "Vorantel");
                for (size_t k = 0; k < i; ++k)
                    EXPECT_NE(tasks[i]->topic, tasks[k]->topic);
            }
            uitest::Screenshot(d.GetNativeWindow(), "suite-grafik");

            // Another tab by a click on it: a two-task category shows both.
            auto* tabs = dynamic_cast<LCocoaTabViewImpl*>(d.GetControlHandle(101));
            ASSERT_NE(tabs, nullptr);
            tabs->selectTab(2);
            uitest::PumpUntil([&] { return d.CurrentTabName() == "Diktamen"; });
            uitest::PumpUntil([&] { return d.PopularTopics().Tasks().size() == 2; });
            EXPECT_EQ(d.PopularTopics().Tasks().size(), 2u);
            EXPECT_EQ(ProgramKeys(d.Products()),
                (std::vector<std::string> { "vt-diktat", "vt-transkribering" }));
            uitest::Screenshot(d.GetNativeWindow(), "suite-diktamen");
        });
    EXPECT_EQ(Setting("SuiteUsage", "oi"), "1");
    EXPECT_EQ(Setting("SuiteUsage", "oe"), "");
    EXPECT_EQ(Setting("Settings", "SelectedTab"), "Diktamen");
    const std::string seconds = Setting("SuiteUsage", "os"); // whole seconds, rounded
    EXPECT_TRUE(seconds == "0" || seconds == "1" || seconds == "2") << seconds;
    parent.DestroyCommon();
}

TEST_F(SuiteDialog, InstalledProgramRunsFromItsButton)
{
    programs.Install("vt-fotoredigering");
    WithDialog([&] { LZORSuiteLaunch(nullptr, "grafik"); },
        [&](LZORSuiteDialog& d) {
            EXPECT_EQ(d.CurrentTabName(), "Grafik"); // found without regard to case
            const TopicData* item = FindItem(d, "vt-fotoredigering");
            ASSERT_NE(item, nullptr);
            EXPECT_TRUE(item->installed);
            ScrollTo(d, *item);
            ExpectButtonColour(d, *item, 0x53, 0xD7, 0xC0, "suite-installed");

            // The tip over the button and over the rest of the item.
            LView* view = d.Products().GetPaintView();
            d.Products().EvMouseMove(item->buttonLeft + 4, item->buttonTop + 4);
            EXPECT_STREQ(LUiGetToolTipArea(view), "Klicka för att köra Fotoredigeraren");
            d.Products().EvMouseMove(10, item->top + 4);
            EXPECT_STREQ(
                LUiGetToolTipArea(view), "Klicka för att besöka webbsidan för Fotoredigeraren");

            if (!uitest::HaveXdotool())
                return;
            const LUiPoint p = ItemPoint(d, *item, true);
            ASSERT_TRUE(uitest::XClick(d.GetNativeWindow(), p.x, p.y));
            auto lines
                = [&] { return InstalledPrograms::Lines(programs.Log("vt-fotoredigering"), 1, 0); };
            EXPECT_TRUE(uitest::PumpUntil([&] { return !lines().empty(); }, 2000));
        });
    EXPECT_EQ(Setting("SuiteUsage", "oe"), "1");
    if (uitest::HaveXdotool()) {
        EXPECT_EQ(Setting("SuiteUsage", "ar"), "1");
        EXPECT_EQ(
            OtherProgramSetting("vt-fotoredigering", "Settings/RelatedProgramsInstalled"), "1");
    }
}

TEST_F(SuiteDialog, ProgramNotInstalledOpensItsPage)
{
    WithDialog([&] { LZORSuiteLaunch(nullptr, nullptr); },
        [&](LZORSuiteDialog& d) {
            EXPECT_EQ(d.CurrentTabName(), "Grafik"); // the default
            const TopicData* viewer = FindItem(d, "vt-bildvisare");
            ASSERT_NE(viewer, nullptr);
            EXPECT_FALSE(viewer->installed);
            ExpectButtonColour(d, *viewer, 0x53, 0xD7, 0x5C, "suite-not-installed");
            LView* view = d.Products().GetPaintView();
            d.Products().EvMouseMove(viewer->buttonLeft + 4, viewer->buttonTop + 4);
            EXPECT_STREQ(LUiGetToolTipArea(view), "Klicka för att installera och köra Bildvisaren");
            d.Products().EvMouseMove(1, 1); // above the first item
            EXPECT_STREQ(LUiGetToolTipArea(view), "");
            if (!uitest::HaveXdotool())
                return;
            LUiPoint p = ItemPoint(d, *viewer, true);
            ASSERT_TRUE(uitest::XClick(d.GetNativeWindow(), p.x, p.y));
            auto opened = OpenedPages(programs, 1);
            ASSERT_EQ(opened.size(), 1u);
            EXPECT_EQ(opened[0], "https://www2." + site + "/bildvisare/index.html");

            // A press elsewhere on an item opens its page at once.
            const TopicData* converter = FindItem(d, "vt-bildomvandlare");
            ASSERT_NE(converter, nullptr);
            p = ItemPoint(d, *converter, false);
            ASSERT_TRUE(uitest::XClick(d.GetNativeWindow(), p.x, p.y));
            opened = OpenedPages(programs, 2);
            ASSERT_EQ(opened.size(), 2u);
            EXPECT_EQ(opened[1], "https://" + site + "/bildomvandlare.html");
        });
    if (uitest::HaveXdotool()) {
        EXPECT_EQ(Setting("SuiteUsage", "ai"), "1");
        EXPECT_EQ(Setting("SuiteUsage", "ar"), "");
    }
}

TEST_F(SuiteDialog, SearchLinksAndLogo)
{
    WithDialog([&] { LZORSuiteLaunch(nullptr, "Verktyg"); },
        [&](LZORSuiteDialog& d) {
            {
                auto* icon = dynamic_cast<LCocoaImageControlImpl*>(d.GetControlHandle(107));
                ASSERT_NE(icon, nullptr);
                EXPECT_NE(icon->image(), nullptr) << getenv("VT_RESOURCES_DIR");
                auto* search = dynamic_cast<LCocoaImageControlImpl*>(d.GetControlHandle(104));
                ASSERT_NE(search, nullptr);
                EXPECT_NE(search->image(), nullptr);
            }
            d.SetText(105, "   ");
            d.Command(106, 0);
            const BubbleTip& tip = d.GetBubbleTip();
            ASSERT_NE(tip.tip, nullptr);
            EXPECT_EQ(tip.tip->text(), "Ange nyckelord för att söka efter");
            EXPECT_EQ(tip.control, d.GetControlHandle(106));
            uitest::Screenshot(d.GetNativeWindow(), "suite-search-empty");

            d.SetText(105, "a&b ö");
            if (uitest::HaveXdotool()) {
                int x = 0, y = 0, w = 0, h = 0;
                d.GetControlPixels(106, x, y, w, h);
                const double s = d.GetBackingScaleFactor(); // pixels to points
                ASSERT_TRUE(
                    uitest::XClick(d.GetNativeWindow(), (x + w / 2.0) / s, (y + h / 2.0) / s));
            } else {
                d.Command(106, 0);
            }
            auto opened = OpenedPages(programs, 1);
            ASSERT_EQ(opened.size(), 1u);
            EXPECT_EQ(opened[0], "https://" + site + "/search/sv?q=a%26b%20%C3%B6&site=" + site);

            // Return in the field searches again; the dialog stays.
            if (uitest::HaveXdotool()) {
                uitest::KeyboardLock lock;
                d.SetFocus(105);
                gdk_display_sync(gdk_display_get_default());
                uitest::Run("xdotool windowfocus --sync "
                    + std::to_string(d.GetNativeWindow()->XWindowId()) + " key Return");
                opened = OpenedPages(programs, 2);
                ASSERT_EQ(opened.size(), 2u);
                EXPECT_EQ(opened[1], opened[0]);
                EXPECT_TRUE(d.IsOpen());
            }

            // The links and the logo, clicked where they show (commands without xdotool).
            const size_t before = programs.Opened(0, 0).size();
            const double s = d.GetBackingScaleFactor();
            for (int id : { 108, 110, 113 }) {
                int x = 0, y = 0, w = 0, h = 0;
                d.GetControlPixels(id, x, y, w, h);
                if (uitest::HaveXdotool())
                    ASSERT_TRUE(
                        uitest::XClick(d.GetNativeWindow(), (x + 4) / s, (y + h / 2.0) / s));
                else
                    d.Command(id, 0);
                OpenedPages(programs, before + 1 + size_t(id == 108 ? 0 : id == 110 ? 1 : 2));
            }
            opened = OpenedPages(programs, before + 3);
            ASSERT_EQ(opened.size(), before + 3);
            EXPECT_EQ(opened[before], "https://www2." + site + "/software/index.html");
            EXPECT_EQ(opened[before + 1], "https://www2." + site + "/software/newsletter.html");
            EXPECT_EQ(opened[before + 2], "https://www2." + site + "/sv/index.html");

            // Entering the logo shows its tip.
            if (!uitest::HaveXdotool())
                d.Command(5021, 0);
            uitest::PumpUntil([&] {
                return d.GetBubbleTip().tip
                    && d.GetBubbleTip().tip->text() == "Klicka för att besöka vår hemsida";
            });
            ASSERT_NE(d.GetBubbleTip().tip, nullptr);
            EXPECT_EQ(d.GetBubbleTip().tip->text(), "Klicka för att besöka vår hemsida");
            EXPECT_EQ(d.GetBubbleTip().control, d.GetControlHandle(113));
            // Help: the program's own Swedish page.
            const size_t pages = programs.Opened(0, 0).size();
            d.CmHelp();
            opened = OpenedPages(programs, pages + 1);
            ASSERT_EQ(opened.size(), pages + 1);
            const std::string help = "/help/lzorsuitedialoglxa.html";
            ASSERT_GT(opened.back().size(), help.size());
            EXPECT_EQ(opened.back().substr(opened.back().size() - help.size()), help);
            EXPECT_EQ(opened.back().rfind("file://", 0), 0u);

            auto* link = d.GetControlHandle(108);
            ASSERT_NE(link, nullptr);
            EXPECT_EQ(
                link->ToolTipText(), "Se hela listan över produkter tillverkade av ZOR Software");
            uitest::Screenshot(d.GetNativeWindow(), "suite-verktyg");
        });
}

TEST_F(SuiteDialog, ClicksAreCountedPerProgramTabAndTask)
{
    programs.Install("vt-faktura");
    WithDialog([&] { LZORSuiteLaunch(nullptr, "Business"); },
        [&](LZORSuiteDialog& d) {
            const TopicData* item = FindItem(d, "vt-faktura");
            ASSERT_NE(item, nullptr);
            ASSERT_FALSE(item->tasks.empty());
            const SubTopicData& task = *item->tasks[0];
            d.EvInterWinMessage(1, long(&task), 0);
            d.EvInterWinMessage(1, long(&task), 0);
            d.EvInterWinMessage(1, long(&item->self), 0);
            InstalledPrograms::Lines(programs.Log("vt-faktura"), 3);
        });
    EXPECT_EQ(Setting("SuiteUsage", "ar"), "3");
    EXPECT_EQ(Setting("SuiteUsage\\Links/1/", "lk"), "vt-faktura");
    EXPECT_EQ(Setting("SuiteUsage\\Links/1/", "lt"), "Business");
    EXPECT_EQ(Setting("SuiteUsage\\Links/1/", "lf"), "Skriv en offert");
    EXPECT_EQ(Setting("SuiteUsage\\Links/1/", "lc"), "2");
    EXPECT_EQ(Setting("SuiteUsage\\Links/2/", "lf"), "");
    EXPECT_EQ(Setting("SuiteUsage\\Links/2/", "lc"), "1");
}

TEST_F(SuiteDialog, RightClickOffersStart)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    programs.Install("vt-filsok");
    WithDialog([&] { LZORSuiteLaunch(nullptr, "Verktyg"); },
        [&](LZORSuiteDialog& d) {
            const TopicData* item = FindItem(d, "vt-filsok");
            ASSERT_NE(item, nullptr);
            ScrollTo(d, *item);
            // Once the menu shows, its only entry is chosen with the keyboard.
            bool menuSeen = false;
            uitest::When(
                [&] {
                    GtkWidget* grab = gtk_grab_get_current();
                    menuSeen = menuSeen || (grab && GTK_IS_MENU(grab));
                    return menuSeen;
                },
                [&] {
                    uitest::Pump(150);
                    GtkWidget* grab = gtk_grab_get_current();
                    if (!grab || !GTK_IS_MENU(grab))
                        return;
                    GList* items = gtk_container_get_children(GTK_CONTAINER(grab));
                    ASSERT_NE(items, nullptr);
                    EXPECT_STREQ(gtk_menu_item_get_label(GTK_MENU_ITEM(items->data)), "Starta...");
                    gtk_menu_shell_activate_item(
                        GTK_MENU_SHELL(grab), GTK_WIDGET(items->data), TRUE);
                    g_list_free(items);
                });
            const LUiPoint p = ItemPoint(d, *item, false);
            ASSERT_TRUE(uitest::XClickButton(d.GetNativeWindow(), p.x, p.y, 3));
            EXPECT_TRUE(uitest::PumpUntil(
                [&] { return !InstalledPrograms::Lines(programs.Log("vt-filsok"), 1, 0).empty(); },
                5000));
            EXPECT_TRUE(menuSeen);
        });
}

TEST_F(SuiteDialog, SuiteCommandOfTheMainWindow)
{
    struct Main : LMainWindow {
        void CmSettings() override { }
        void EvLoadFile(const char*) override { }
        int EvAPICommand(int, const char* const*, char*) override { return 0; }
    };
    TemporaryFolder runtime;
    chmod(runtime.Path().c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
    auto w = std::make_unique<Main>();
    const char* argv[] = { "vorantel" };
    ASSERT_TRUE(w->MainWindowInit(1, argv));
    ASSERT_TRUE(uitest::ShowAndWait(w->GetNativeWindow()));
    LUserSettingSetString("Settings", "SelectedTab", "Audio"); // the command asks for "Grafik"
    WithDialog([&] { w->SendCommand(98); },
        [&](LZORSuiteDialog& d) { EXPECT_EQ(d.CurrentTabName(), "Grafik"); });
    EXPECT_EQ(Setting("SuiteUsage", "oi"), "1");
    w->SendCommand(LFourCC("quit"));
    uitest::PumpUntil([&] { return w->IsDestroyed(); }, 3000);
    LMainMenu::SetMainMenu(nullptr);
    unsetenv("XDG_RUNTIME_DIR");
}

namespace {

// Tables with faults of every kind: a topic naming no program, this program's topics, a
// description of 10,000 characters, a category whose only topic names no program.
const std::string kLongDescription = [] {
    std::string text;
    while (text.size() < 10000)
        text += "Ett mycket långt ord efter ett annat i en beskrivning utan slut. ";
    return text.substr(0, 10000);
}();
const ProgTableEntry kOddPrograms[] = {
    { "Vorantel", "Vorantel skivetiketter", "v", "+v.html", 0, "Detta program." },
    { "vt-lang", "Långa beskrivningen", "l", "lang.html", 0, kLongDescription.c_str() },
    { "vt-kort", "Korta", "k", "kort.html", 5, "Kort." },
};
const TopicTableEntry kOddTopics[] = {
    { "Ett", "vt-lang", "Läs länge", 0 },
    { "Ett", "vt-okand", "Ingen gör detta", 0 },
    { "Ett", "Vorantel", "Gör en etikett", 0 },
    { "ett", "vt-kort", "Läs kort", 0 },
    { "Tomt", "vt-okand", "Ingen alls", 0 },
    { "Tomt", "VORANTEL", "Bara detta program", 0 },
};
const LZORSuiteTables kOddTables = { kOddPrograms, 3, kOddTopics, 6 };

} // namespace

TEST_F(SuiteDialog, OddTablesAndAnUnknownStoredTab)
{
    LZORSuiteSetTables(&kOddTables);
    LUserSettingSetString("Settings", "SelectedTab", "Finns inte");
    WithDialog([&] { LZORSuiteLaunch(nullptr, nullptr); },
        [&](LZORSuiteDialog& d) {
            // Categories once each, compared without case; an unknown name leaves the first.
            EXPECT_EQ(TabLabels(d), (std::vector<std::string> { "Ett", "Tomt" }));
            EXPECT_EQ(d.CurrentTabName(), "Ett");
            EXPECT_EQ(
                ProgramKeys(d.Products()), (std::vector<std::string> { "vt-kort", "vt-lang" }));
            EXPECT_EQ(d.PopularTopics().Tasks().size(), 2u);
            // The long description wraps: the list is much taller than it shows, and scrolls.
            // (A busy machine may take a moment to give the list its size and lay it out.)
            uitest::PumpUntil(
                [&] {
                    const TopicData* item = FindItem(d, "vt-lang");
                    return item && item->bottom - item->top > 5 * d.Products().GetHeight()
                        && d.Products().GetContentSizeVerticalPixels() >= item->bottom;
                },
                10000);
            const TopicData* longer = FindItem(d, "vt-lang");
            ASSERT_NE(longer, nullptr);
            EXPECT_GT(longer->bottom - longer->top, 5 * d.Products().GetHeight());
            EXPECT_GE(d.Products().GetContentSizeVerticalPixels(), longer->bottom);
            EXPECT_LT(longer->right, 2 * d.Products().GetWidth());
            uitest::Screenshot(d.GetNativeWindow(), "suite-long-description");
            d.Products().SetScrollOffsetY(longer->bottom);
            uitest::Pump(100);
            EXPECT_GT(d.Products().GetScrollOffsetY(), 0);
            uitest::Screenshot(d.GetNativeWindow(), "suite-long-description-end");

            auto* tabs = dynamic_cast<LCocoaTabViewImpl*>(d.GetControlHandle(101));
            ASSERT_NE(tabs, nullptr);
            tabs->selectTab(1);
            uitest::PumpUntil([&] { return d.CurrentTabName() == "Tomt"; });
            d.InitCurrentTab();
            EXPECT_TRUE(d.Products().Items().empty());
            EXPECT_TRUE(d.PopularTopics().Tasks().empty());
            uitest::Screenshot(d.GetNativeWindow(), "suite-empty-tab");
        });
    LZORSuiteSetTables(nullptr);
    EXPECT_EQ(Setting("Settings", "SelectedTab"), "Tomt");
}

namespace {

// The next alert once it is up: its headline and message, whether it is transient for the
// window, and a picture; answered with its first button (from the main loop, so that an alert
// run at once by the command that shows it is answered too).
struct AlertSeen {
    std::string headline, message;
    bool overWindow = false;
    bool done = false;
};

void AnswerNextAlert(LMacWindow& window, AlertSeen& seen, const char* shot)
{
    uitest::When(
        [] {
            auto* alert = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
            return alert && gtk_widget_get_mapped(alert);
        },
        [&window, &seen, shot] {
            auto* alert = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
            gchar* h = nullptr;
            g_object_get(alert, "text", &h, nullptr);
            seen.headline = h ? h : "";
            seen.message = LUiAlertMessage(alert);
            g_free(h);
            seen.overWindow = gtk_window_get_transient_for(GTK_WINDOW(alert))
                == window.GetNativeWindow()->Gtk();
            uitest::SavePanelShot(alert, uitest::ArtefactPath("suite", shot));
            gtk_dialog_response(GTK_DIALOG(alert), 0);
            seen.done = true;
        });
}

} // namespace

TEST_F(SuiteDialog, PagesThatCannotOpenAreNamedInAnAlert)
{
    // An opener that fails, as xdg-open does when it finds no browser.
    const std::string opener = programs.Folder() / "xdg-open";
    TemporaryFolder::WriteFile(opener, "#!/bin/sh\nexit 3\n");
    WithDialog([&] { LZORSuiteLaunch(nullptr, nullptr); },
        [&](LZORSuiteDialog& d) {
            // "Öppna app" of a program that is not installed: its page, named.
            const TopicData* viewer = FindItem(d, "vt-bildvisare");
            ASSERT_NE(viewer, nullptr);
            ScrollTo(d, *viewer);
            AlertSeen page;
            AnswerNextAlert(d, page, "page-not-opened");
            if (uitest::HaveXdotool()) {
                const LUiPoint p = ItemPoint(d, *viewer, true);
                ASSERT_TRUE(uitest::XClick(d.GetNativeWindow(), p.x, p.y));
            } else {
                d.EvInterWinMessage(2, long(viewer->program), 0);
            }
            ASSERT_TRUE(uitest::PumpUntil([&] { return page.done; }, 5000));
            EXPECT_EQ(page.headline, "Sidan kunde inte öppnas");
            EXPECT_EQ(page.message,
                "Webbläsaren kunde inte öppna sidan. Öppna adressen själv i en webbläsare:\n\n"
                "https://www2."
                    + site + "/bildvisare/index.html");
            EXPECT_TRUE(page.overWindow);

            // The search.
            AlertSeen search;
            AnswerNextAlert(d, search, "search-not-opened");
            d.SetText(105, "etiketter");
            if (uitest::HaveXdotool()) {
                int x = 0, y = 0, w = 0, h = 0;
                d.GetControlPixels(106, x, y, w, h);
                const double s = d.GetBackingScaleFactor();
                ASSERT_TRUE(
                    uitest::XClick(d.GetNativeWindow(), (x + w / 2.0) / s, (y + h / 2.0) / s));
            } else {
                d.Command(106, 0);
            }
            ASSERT_TRUE(uitest::PumpUntil([&] { return search.done; }, 5000));
            EXPECT_NE(
                search.message.find("https://" + site + "/search/sv?q=etiketter&site=" + site),
                std::string::npos)
                << search.message;

            // No opener at all: help says so at once, naming the page.
            std::remove(opener.c_str());
            const std::string path = getenv("PATH") ? getenv("PATH") : "";
            setenv("PATH", programs.Folder().Path().c_str(), 1);
            AlertSeen help;
            AnswerNextAlert(d, help, "help-no-opener");
            d.CmHelp();
            setenv("PATH", path.c_str(), 1);
            EXPECT_TRUE(help.done); // told at once
            EXPECT_EQ(help.message.rfind("Det finns inget program som kan öppna webbsidor "
                                         "(xdg-open saknas). Öppna adressen själv i en "
                                         "webbläsare:\n\n",
                          0),
                0u)
                << help.message;
            EXPECT_NE(help.message.find("lzorsuitedialoglxa.html"), std::string::npos);
            EXPECT_TRUE(help.overWindow);
        });
}

// Without the pointer, as a person with the keyboard alone: Tab reaches the program list, whose
// chosen program is framed; Down goes to the installed program and Return starts it. Tab goes on
// to the featured tasks, where Return opens the first as a click does.
TEST_F(SuiteDialog, TheListsAreUsedWithTheKeyboard)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    programs.Install("vt-fotoredigering");
    std::string firstTask;
    WithDialog([&] { LZORSuiteLaunch(nullptr, "grafik"); },
        [&](LZORSuiteDialog& d) {
            uitest::KeyboardLock lock;
            LNativeWindow* window = d.GetNativeWindow();
            auto tabTo = [&](LPaintControl& list) {
                for (int i = 0; i < 12 && !list.HasKeyboardFocus(); ++i)
                    uitest::PressKeys(window, "Tab");
                return list.HasKeyboardFocus();
            };
            ASSERT_TRUE(tabTo(d.Products()));
            const std::vector<TopicData*> items = d.Products().ShownItems();
            size_t wanted = items.size();
            for (size_t i = 0; i < items.size(); ++i)
                if (strcasecmp(items[i]->program->buildKey, "vt-fotoredigering") == 0)
                    wanted = i;
            ASSERT_LT(wanted, items.size());
            while (d.Products().CurrentItem() < wanted)
                ASSERT_TRUE(uitest::PressKeys(window, "Down"));
            uitest::PumpUntilDrawn(window);
            uitest::Screenshot(window, "suite-keyboard-program");
            // The program starts: its run is in its log.
            gdk_display_sync(gdk_display_get_default());
            uitest::Run("xdotool windowfocus --sync " + std::to_string(window->XWindowId())
                + " key Return");
            EXPECT_TRUE(uitest::PumpUntil(
                [&] {
                    return !InstalledPrograms::Lines(programs.Log("vt-fotoredigering"), 1, 0)
                                .empty();
                },
                10000));

            const std::vector<SubTopicData*> tasks = d.PopularTopics().Tasks();
            ASSERT_FALSE(tasks.empty());
            firstTask = tasks[0]->topic && tasks[0]->topic->task ? tasks[0]->topic->task : "";
            ASSERT_TRUE(tabTo(d.PopularTopics()));
            uitest::PumpUntilDrawn(window);
            uitest::Screenshot(window, "suite-keyboard-task");
            // Counted as the second link followed (the program was the first).
            uitest::PressKeys(window, "Return");
        });
    EXPECT_EQ(Setting("SuiteUsage\\Links/1/", "lk"), "vt-fotoredigering");
    EXPECT_EQ(Setting("SuiteUsage\\Links/2/", "lf"), firstTask);
}
