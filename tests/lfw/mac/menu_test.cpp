// Menus: tables made into menus with shortcuts, the main menu as a window's bar, its shortcuts,
// items addressed by command, and context menus kept on the screen.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/mac/LKeyHandler.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/LMenu.h"
#include "lfw/mac/cocoa/LCocoaTooltipImpl.h"
#include "lfw/mac/cocoa/LCocoaViewBase.h"
#include "platform/ui/LUiMenu.h"
#include "platform/ui/UI.h"
#include "support/UiTestSupport.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

const int kSave = LFourCC("save");

struct Window : LMacWindow {
    std::vector<int> commands;
    std::function<void(int)> onCommand;
    void Command(int id, int code) override
    {
        commands.push_back(id);
        if (onCommand)
            onCommand(id);
        LMacWindow::Command(id, code);
    }
    int Count(int id) const { return int(std::count(commands.begin(), commands.end(), id)); }
};

// The window's key map: Ctrl+S saves.
struct MapKeys : LKeyHandler {
    const LKeyToCommandMap* table;
    unsigned long rows;
    MapKeys(const LKeyToCommandMap* t, unsigned long n)
        : table(t)
        , rows(n)
    {
    }
    using LKeyHandler::EvKeyDown;
    bool EvKeyDown(LKey key) override
    {
        return window && MapKeyToCommand(*window, key, table, rows);
    }
};

const LKeyToCommandMap kKeys[] = {
    { LKey(LKey::kCommand | 'O'), 10 }, { LKey(LKey::kCommand | 'S'), kSave },
    { LKey(0x7A000000), 30 }, // F1
};

const LMenuItem kArkiv[] = {
    { -1, "&Arkiv\tCtrl+O", 0 },
    { 10, "&Öppna...\tCtrl+O", 0 },
    { -3, "Stäng", 5 },
    { 0, nullptr, 0 },
    { -1, "Senaste", 0 },
    { 20, "a.vtproj", 0 },
    { 21, "b.vtproj", 0 },
    { -1, nullptr, 0 },
    { kSave, "&Spara", 0 },
    { -1, nullptr, 0 },
};

std::vector<std::string> Titles(LUiMenu* menu)
{
    std::vector<std::string> out;
    for (const auto& item : menu->Items())
        out.push_back(item->IsSeparator() ? "-" : item->Title());
    return out;
}

// What the item's accelerator label shows (the label is the item's child, or in its box).
std::string AccelText(LUiMenuItem* item)
{
    GtkWidget* w = item->ExistingWidget();
    GtkWidget* child = w ? gtk_bin_get_child(GTK_BIN(w)) : nullptr;
    GtkWidget* label = child && GTK_IS_ACCEL_LABEL(child) ? child : nullptr;
    if (child && !label) {
        GList* kids = gtk_container_get_children(GTK_CONTAINER(child));
        for (GList* k = kids; k; k = k->next)
            if (GTK_IS_ACCEL_LABEL(k->data))
                label = GTK_WIDGET(k->data);
        g_list_free(kids);
    }
    if (!label)
        return "";
    guint key = 0;
    GdkModifierType mods {};
    gtk_accel_label_get_accel(GTK_ACCEL_LABEL(label), &key, &mods);
    gchar* text = gtk_accelerator_get_label(key, mods);
    std::string out = text ? text : "";
    g_free(text);
    return out;
}

class MenuTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
    }
    void TearDown() override
    {
        LMainMenu::SetMainMenu(nullptr);
        LModalCounter::SetHook(nullptr, nullptr);
    }
};

} // namespace

TEST_F(MenuTest, TablesBuildSubmenusWithShortcutsAndPlainItems)
{
    Window w;
    LCocoaMenu bar;
    bar.Create(&w, "");
    EXPECT_EQ(LMenuAdd(bar, kArkiv, 0, 10, kKeys, 3), 10u);
    LUiMenu* arkiv = LCocoaMenuImpl::getSubmenu(bar.GetMenu(), "Arkiv");
    ASSERT_NE(arkiv, nullptr);
    EXPECT_EQ(Titles(bar.GetMenu()), std::vector<std::string> { "Arkiv" });
    EXPECT_EQ(
        Titles(arkiv), (std::vector<std::string> { "Öppna...", "Stäng", "-", "Senaste", "Spara" }));
    LUiMenuItem* open = LCocoaMenuImpl::findFirstItem(arkiv, 10);
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->KeyEquivalent(), "o");
    EXPECT_EQ(open->KeyEquivalentMask(), 0x100000u);
    // Row -3: command 3 without its icon.
    LUiMenuItem* close = LCocoaMenuImpl::findFirstItem(arkiv, 3);
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->Image(), nullptr);
    EXPECT_TRUE(close->KeyEquivalent().empty());
    EXPECT_EQ(LCocoaMenuImpl::windowOfMenu(arkiv), &w);
    // Shown with GTK's own words for the key.
    arkiv->MenuWidget();
    EXPECT_EQ(AccelText(open), "Ctrl+O");
    // A check mark gives the menu's items the image slot; the title and shortcut stay.
    LCocoaMenuImpl::checkItem(arkiv, 3, true);
    EXPECT_TRUE(GTK_IS_BOX(gtk_bin_get_child(GTK_BIN(open->ExistingWidget()))));
    EXPECT_EQ(AccelText(open), "Ctrl+O");
}

TEST_F(MenuTest, BadTablesNeverCrash)
{
    Window w;
    LCocoaMenu menu;
    menu.Create(&w, "x");
    EXPECT_EQ(LMenuAdd(menu, nullptr, 0, 5, nullptr, 0), 5u);
    EXPECT_EQ(LMenuAdd(menu, kArkiv, 0, 0, nullptr, 0), 0u);
    // No end rows: the table ends at count.
    const LMenuItem open[] = { { -1, "A", 0 }, { 1, "x", 0 }, { -1, "B", 0 }, { 2, nullptr, 0 } };
    EXPECT_EQ(LMenuAdd(menu, open, 0, 4, nullptr, 0), 4u);
    // More end rows than starts, null captions, rows that fit no rule.
    const LMenuItem odd[] = { { -1, nullptr, 0 }, { 5, nullptr, 0 }, { -7, nullptr, 0 },
        { 0, "text", 0 }, { -1, nullptr, 0 } };
    unsigned long i = 0;
    LMenuAddItems(menu, odd, i, 5, nullptr, 0);
    EXPECT_EQ(i, 1u);
    // 10,000 rows, and 100 submenus one inside the other.
    std::vector<LMenuItem> many;
    many.push_back({ -1, "Många", 0 });
    for (int k = 1; k <= 10000; ++k)
        many.push_back({ k, "rad", 0 });
    many.push_back({ -1, nullptr, 0 });
    EXPECT_EQ(LMenuAdd(menu, many.data(), 0, many.size(), nullptr, 0), many.size());
    std::vector<LMenuItem> deep;
    for (int k = 0; k < 100; ++k)
        deep.push_back({ -1, "nivå", 0 });
    deep.push_back({ 7, "botten", 0 });
    for (int k = 0; k < 100; ++k)
        deep.push_back({ -1, nullptr, 0 });
    EXPECT_EQ(LMenuAdd(menu, deep.data(), 0, deep.size(), nullptr, 0), deep.size());
    EXPECT_NE(LCocoaMenuImpl::findFirstItem(menu.GetMenu(), 7), nullptr);
    EXPECT_EQ(LCocoaMenuImpl::findFirstItem(menu.GetMenu(), -1), nullptr);
}

TEST_F(MenuTest, ItemsAreAddressedByCommandAnywhereInTheTree)
{
    Window w;
    LCocoaMenu menu;
    menu.Create(&w, "");
    LCocoaMenuImpl::addItem(menu.GetMenu(), 5, "Ett");
    LUiMenu* sub = LCocoaMenuImpl::createMenu("Under", &w);
    LCocoaMenuImpl::addItem(sub, 5, "Ett igen");
    LCocoaMenuImpl::addSubmenu(menu.GetMenu(), "Under", sub);
    sub->Release();
    std::vector<LUiMenuItem*> both;
    LCocoaMenuImpl::findItems(menu.GetMenu(), 5, both);
    ASSERT_EQ(both.size(), 2u);
    LCocoaMenuImpl::enableItem(menu.GetMenu(), 5, false);
    LCocoaMenuImpl::setItemTitle(menu.GetMenu(), 5, "&Två\tCtrl+2");
    LCocoaMenuImpl::showItem(menu.GetMenu(), 5, false);
    for (LUiMenuItem* item : both) {
        EXPECT_FALSE(item->IsEnabled());
        EXPECT_EQ(item->Title(), "Två");
        EXPECT_TRUE(item->IsHidden());
    }
    LCocoaMenuImpl::checkItem(menu.GetMenu(), 5, true);
    EXPECT_EQ(both[0]->State(), 1);
    EXPECT_EQ(both[1]->State(), 0);
    // Negative commands and empty titles: tag -1, and a negative command has no action.
    LUiMenuItem* none = LCocoaMenuImpl::addItem(menu.GetMenu(), -4, "Ingen");
    EXPECT_EQ(none->Tag(), -1);
    EXPECT_FALSE(none->HasAction());
    EXPECT_EQ(LCocoaMenuImpl::addItem(menu.GetMenu(), 8, "")->Tag(), -1);
    // Titles are cut at 260 bytes on a whole character.
    std::string longTitle(300, 'a');
    longTitle.replace(258, 2, "é");
    LCocoaMenuImpl::setItemTitle(menu.GetMenu(), 5, longTitle.c_str());
    char out[260];
    ASSERT_TRUE(LCocoaMenuImpl::getItemTitle(menu.GetMenu(), 5, out));
    EXPECT_EQ(strlen(out), 258u);
    EXPECT_FALSE(LCocoaMenuImpl::getItemTitle(menu.GetMenu(), 99, out));
    // A recent file's Latin-1 name shows U+FFFD for its bad byte, the rest as it is.
    LUiMenuItem* latin = LCocoaMenuImpl::addItem(menu.GetMenu(), 9, "/hem/f\xE5r.vtproj");
    EXPECT_EQ(latin->Title(), "/hem/f\xEF\xBF\xBDr.vtproj");
    LCocoaMenuImpl::setItemTitle(menu.GetMenu(), 9, "bl\xE5 &skiva");
    EXPECT_EQ(latin->Title(), "bl\xEF\xBF\xBD skiva");
    // Inserting before a command happens in the menu that holds it.
    EXPECT_EQ(LCocoaMenuImpl::insertItemBeforeCommand(menu.GetMenu(), 6, 99, "x"), nullptr);
    EXPECT_EQ(LCocoaMenuImpl::insertItemBeforeCommand(menu.GetMenu(), 6, 5, "Sex"), both[0]);
    EXPECT_EQ(menu.GetMenu()->IndexOf(LCocoaMenuImpl::findFirstItem(menu.GetMenu(), 6)), 0);
    LCocoaMenuImpl::insertSeparatorBeforeCommand(menu.GetMenu(), 6);
    EXPECT_TRUE(menu.GetMenu()->ItemAt(0)->IsSeparator());
    EXPECT_TRUE(LCocoaMenuImpl::removeItem(menu.GetMenu(), 5));
    EXPECT_EQ(LCocoaMenuImpl::findFirstItem(menu.GetMenu(), 5), nullptr);
    EXPECT_FALSE(LCocoaMenuImpl::removeItem(menu.GetMenu(), 5));
}

TEST_F(MenuTest, KeyEquivalents)
{
    std::string eq;
    unsigned mask = 0;
    LCocoaMenuImpl::getKeyEquivalentForLKey(LKey(0x7A000000), eq, mask);
    EXPECT_EQ(eq, "\uF704");
    EXPECT_EQ(mask, 0u);
    LCocoaMenuImpl::getKeyEquivalentForLKey(LKey(LKey::kCommand | LKey::kShift | '1'), eq, mask);
    EXPECT_EQ(eq, "!");
    EXPECT_EQ(mask, 0x100000u);
    LCocoaMenuImpl::getKeyEquivalentForLKey(LKey(LKey::kCommand | LKey::kShift | 'S'), eq, mask);
    EXPECT_EQ(eq, "s");
    EXPECT_EQ(mask, 0x120000u);
    LCocoaMenuImpl::getKeyEquivalentForLKey(
        LKey::Special(LKey::kBackspace, LKey::kControl | LKey::kOption), eq, mask);
    EXPECT_EQ(eq, "\b");
    EXPECT_EQ(mask, 0xC0000u);
}

TEST_F(MenuTest, MainMenuTablesReplaceTheirEarlierVersionAndCheckByRange)
{
    Window w;
    w.CreateCocoaWindow(300, 200, kLUiWindowTitled, false, nullptr);
    auto* bar = new LUiMenu("");
    LMainMenu::SetMainMenu(bar, &w);
    bar->Release();
    LMenuAdd(LMainMenu::theMainMenu, kArkiv, 0, 10, kKeys, 3);
    const LMenuItem again[] = { { -1, "Arkiv", 0 }, { 40, "Ny", 0 }, { -1, nullptr, 0 } };
    LMenuAdd(LMainMenu::theMainMenu, again, 0, 3, nullptr, 0);
    EXPECT_EQ(Titles(bar), std::vector<std::string> { "Arkiv" });
    EXPECT_EQ(Titles(LCocoaMenuImpl::getSubmenu(bar, "Arkiv")), std::vector<std::string> { "Ny" });
    const LMenuItem view[]
        = { { -1, "Visa", 0 }, { 10, "A", 0 }, { 11, "B", 0 }, { 12, "C", 0 }, { -1, nullptr, 0 } };
    LMenuAdd(LMainMenu::theMainMenu, view, 0, 5, nullptr, 0);
    LMainMenu::CheckMenuItem(10, 12, 10);
    LMainMenu::CheckMenuItem(10, 12, 11);
    EXPECT_EQ(LCocoaMenuImpl::findFirstItem(bar, 10)->State(), 0);
    EXPECT_EQ(LCocoaMenuImpl::findFirstItem(bar, 11)->State(), 1);
    EXPECT_EQ(LCocoaMenuImpl::findFirstItem(bar, 12)->State(), 0);
    LMainMenu::CheckMenuItem(INT_MIN, INT_MAX, 12); // any width of range
    EXPECT_EQ(LCocoaMenuImpl::findFirstItem(bar, 12)->State(), 1);
    // A context menu's menu becomes the submenu of an item, tied to the main window.
    Window other;
    LPopupMenu recent(other);
    recent.AppendMenuItem(80, "a.vtproj");
    LMainMenu::SetSubMenuFromMainWindow(w, 40, recent);
    LUiMenu* attached = LCocoaMenuImpl::findFirstItem(bar, 40)->Submenu();
    ASSERT_NE(attached, nullptr);
    EXPECT_EQ(LCocoaMenuImpl::windowOfMenu(attached), &w);
    EXPECT_EQ(attached->Title(), "Ny");
    // "Hjälp" on the main menu is the help menu.
    const LMenuItem help[] = { { -1, "&Hjälp", 0 }, { 50, "Manual", 0 }, { -1, nullptr, 0 } };
    LMenuAdd(LMainMenu::theMainMenu, help, 0, 3, nullptr, 0);
    ASSERT_NE(LUiMenu::HelpMenu(), nullptr);
    EXPECT_EQ(LMainMenu::theMainMenu.GetMenuByCaption("&Hjälp"), LUiMenu::HelpMenu());
    EXPECT_EQ(
        LMainMenu::theMainMenu.GetMenuByCaption("Visa"), LCocoaMenuImpl::getSubmenu(bar, "Visa"));
    w.DestroyCommon();
}

TEST_F(MenuTest, BarWithAnOpenMenuShowsShortcutsAndChecks)
{
    Window w;
    w.CreateCocoaWindow(320, 200, kLUiWindowTitled, false, nullptr);
    auto* bar = new LUiMenu("");
    LMainMenu::SetMainMenu(bar, &w);
    bar->Release();
    LMenuAdd(LMainMenu::theMainMenu, kArkiv, 0, 10, kKeys, 3);
    const LMenuItem view[]
        = { { -1, "&Visa", 0 }, { 60, "Linjal", 0 }, { 61, "Rutnät", 0 }, { -1, nullptr, 0 } };
    LMenuAdd(LMainMenu::theMainMenu, view, 0, 4, nullptr, 0);
    LMainMenu::CheckMenuItem(60, 61, 61);
    LMainMenu::EnableMenuItem(3, false);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    GtkWidget* barWidget = bar->ExistingWidget();
    ASSERT_NE(barWidget, nullptr);
    EXPECT_TRUE(gtk_widget_get_mapped(barWidget));
    // The content view starts below the bar.
    EXPECT_GT(w.GetNativeWindow()->TopSlotsHeight(), 10);
    // "Visa", whose second item is checked.
    gtk_menu_shell_select_item(GTK_MENU_SHELL(barWidget), bar->ItemAt(1)->ExistingWidget());
    LUiMenu* arkiv = LCocoaMenuImpl::getSubmenu(bar, "Visa");
    uitest::PumpUntil([&] { return arkiv->IsShown(); }, 2000);
    uitest::Pump(200);
    std::string shot = std::string(VT_BINARY_DIR) + "/menu_bar"
        + (getenv("GDK_SCALE") ? "_scale2" : "") + ".png";
    uitest::Run("import -window root " + shot + " >/dev/null 2>&1");
    EXPECT_TRUE(arkiv->IsShown());
    gtk_menu_shell_deactivate(GTK_MENU_SHELL(barWidget));
    uitest::Pump(50);
    w.DestroyCommon();
}

TEST_F(MenuTest, TheBarIsInsensitiveWhileAnythingModalRuns)
{
    Window w;
    w.CreateCocoaWindow(300, 200, kLUiWindowTitled, false, nullptr);
    auto* bar = new LUiMenu("");
    LMainMenu::SetMainMenu(bar, &w);
    bar->Release();
    LMenuAdd(LMainMenu::theMainMenu, kArkiv, 0, 10, kKeys, 3);
    LMainMenu::EnableMenuItem(10, false);
    GtkWidget* widget = bar->ExistingWidget();
    ASSERT_NE(widget, nullptr);
    EXPECT_TRUE(gtk_widget_get_sensitive(widget));
    LModalCounter::Enter();
    LModalCounter::Enter();
    EXPECT_FALSE(gtk_widget_get_sensitive(widget));
    LModalCounter::Leave();
    EXPECT_FALSE(gtk_widget_get_sensitive(widget));
    LModalCounter::Leave();
    EXPECT_TRUE(gtk_widget_get_sensitive(widget));
    // The items kept their own states.
    EXPECT_FALSE(LCocoaMenuImpl::isItemEnabled(bar, 10));
    EXPECT_TRUE(LCocoaMenuImpl::isItemEnabled(bar, kSave));
    w.DestroyCommon();
}

// A key pressed and released in the window, through the display's event path.
void Type(Window& w, unsigned keyval, unsigned state)
{
    uitest::SendKey(w.GetContentView(), keyval, true, state);
    uitest::SendKey(w.GetContentView(), keyval, false, state);
    uitest::Pump(30);
}

TEST_F(MenuTest, ShortcutWithMenuItemAndKeyMapRowSendsOnce)
{
    Window w;
    w.CreateCocoaWindow(300, 200, kLUiWindowTitled, false, nullptr);
    auto* bar = new LUiMenu("");
    LMainMenu::SetMainMenu(bar, &w);
    bar->Release();
    LMenuAdd(LMainMenu::theMainMenu, kArkiv, 0, 10, kKeys, 3);
    MapKeys keys(kKeys, 3);
    keys.KeyHandlerInit(w);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    Type(w, GDK_KEY_s, GDK_CONTROL_MASK);
    EXPECT_EQ(w.Count(kSave), 1);
    // A key handler that does not take the key: the item's own command is sent, once.
    keys.DestroyKeyHandler();
    struct Deaf : LKeyHandler {
    } deaf;
    deaf.KeyHandlerInit(w);
    w.commands.clear();
    Type(w, GDK_KEY_o, GDK_CONTROL_MASK);
    EXPECT_EQ(w.Count(10), 1);
    // Nor without a key handler.
    deaf.DestroyKeyHandler();
    w.commands.clear();
    Type(w, GDK_KEY_o, GDK_CONTROL_MASK);
    EXPECT_EQ(w.Count(10), 1);
    // While something modal runs the bar's shortcuts rest.
    w.commands.clear();
    LModalCounter::Enter();
    Type(w, GDK_KEY_o, GDK_CONTROL_MASK);
    LModalCounter::Leave();
    EXPECT_EQ(w.Count(10), 0);
    w.DestroyCommon();
}

TEST_F(MenuTest, ContextMenuAtTheBottomRightCornerOpensAboveAndLeft)
{
    Window w;
    w.CreateCocoaWindow(200, 150, kLUiWindowTitled, false, nullptr);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    LPopupMenu popup(w);
    for (int i = 1; i <= 6; ++i)
        popup.AppendMenuItem(
            100 + i, i == 1 ? "Ett" : ("Kommando nummer " + std::to_string(i)).c_str());
    LUiScreen screen;
    ASSERT_TRUE(LUiMainScreen(screen));
    double right = screen.frame.x + screen.frame.width,
           bottom = screen.frame.y + screen.frame.height;
    GdkRectangle placed {};
    bool chosenBeforeReturn = false;
    // Once the menu shows: note where, and choose the third item.
    std::pair<LPopupMenu*, GdkRectangle*> ctx { &popup, &placed };
    guint timer = g_timeout_add(
        300,
        [](gpointer data) -> gboolean {
            auto* p = static_cast<std::pair<LPopupMenu*, GdkRectangle*>*>(data);
            GtkWidget* menu = p->first->GetMenu()->ExistingWidget();
            GtkWidget* top = gtk_widget_get_toplevel(menu);
            if (GdkWindow* gw = gtk_widget_get_window(top)) {
                gdk_window_get_origin(gw, &p->second->x, &p->second->y);
                p->second->width = gdk_window_get_width(gw);
                p->second->height = gdk_window_get_height(gw);
            }
            std::string shot = std::string(VT_BINARY_DIR) + "/menu_popup"
                + (getenv("GDK_SCALE") ? "_scale2" : "") + ".png";
            uitest::Run("import -window root " + shot + " >/dev/null 2>&1");
            gtk_menu_shell_activate_item(
                GTK_MENU_SHELL(menu), p->first->GetMenu()->ItemAt(2)->ExistingWidget(), TRUE);
            return G_SOURCE_REMOVE;
        },
        &ctx);
    w.onCommand = [&](int id) { chosenBeforeReturn = chosenBeforeReturn || id == 103; };
    // The menu's opening sends the window its opening command first.
    LMainMenuDelegate opening;
    opening.setLfwWindow(&w);
    opening.setMenuOpeningCommand(77);
    opening.attach(popup.GetMenu());
    popup.ShowPopupMenu(w, nullptr, LUiPoint { right - 1, bottom - 1 }, true);
    (void)timer;
    EXPECT_TRUE(chosenBeforeReturn);
    EXPECT_EQ(w.Count(103), 1);
    ASSERT_EQ(w.Count(77), 1);
    EXPECT_LT(std::find(w.commands.begin(), w.commands.end(), 77) - w.commands.begin(),
        std::find(w.commands.begin(), w.commands.end(), 103) - w.commands.begin());
    ASSERT_GT(placed.width, 0);
    EXPECT_LE(placed.x + placed.width, right - 9);
    EXPECT_LE(placed.y + placed.height, bottom - 9);
    EXPECT_LT(placed.x, right - 1);
    EXPECT_LT(placed.y, bottom - 1);
    w.DestroyCommon();
}

TEST_F(MenuTest, ContextMenuFarOffTheScreenIsClampedAndAWindowClosedByItsCommandIsSafe)
{
    Window w;
    w.CreateCocoaWindow(200, 150, kLUiWindowTitled, false, nullptr);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    LPopupMenu popup(w);
    popup.AppendMenuItem(7, "Stäng fönstret");
    GdkRectangle placed {};
    std::pair<LPopupMenu*, GdkRectangle*> ctx { &popup, &placed };
    g_timeout_add(
        300,
        [](gpointer data) -> gboolean {
            auto* p = static_cast<std::pair<LPopupMenu*, GdkRectangle*>*>(data);
            GtkWidget* menu = p->first->GetMenu()->ExistingWidget();
            if (GdkWindow* gw = gtk_widget_get_window(gtk_widget_get_toplevel(menu)))
                gdk_window_get_origin(gw, &p->second->x, &p->second->y);
            gtk_menu_shell_activate_item(
                GTK_MENU_SHELL(menu), p->first->GetMenu()->ItemAt(0)->ExistingWidget(), TRUE);
            return G_SOURCE_REMOVE;
        },
        &ctx);
    w.onCommand = [&](int id) {
        if (id == 7)
            w.Close(kLCmdCancel);
    };
    popup.ShowPopupMenu(w, nullptr, LUiPoint { -100000, 1e6 }, true);
    EXPECT_EQ(w.Count(7), 1);
    EXPECT_GE(placed.x, 10);
    EXPECT_FALSE(w.IsAlive());
    // A window without a window on screen shows nothing.
    popup.ShowPopupMenu(w, nullptr, LUiPoint { 10, 10 }, true);
}

TEST_F(MenuTest, ContextMenuAtAPointOfTheWindowInPixels)
{
    Window w;
    w.CreateCocoaWindow(400, 300, kLUiWindowTitled, false, nullptr);
    w.InitCommon(kLCocoaDialogCenterScreen, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    LPopupMenu popup(w);
    popup.AppendMenuItem(1, "Ett");
    popup.AppendMenuItem(2, "Två");
    GdkRectangle placed {};
    std::pair<LPopupMenu*, GdkRectangle*> ctx { &popup, &placed };
    g_timeout_add(
        300,
        [](gpointer data) -> gboolean {
            auto* p = static_cast<std::pair<LPopupMenu*, GdkRectangle*>*>(data);
            GtkWidget* menu = p->first->GetMenu()->ExistingWidget();
            if (GdkWindow* gw = gtk_widget_get_window(gtk_widget_get_toplevel(menu)))
                gdk_window_get_origin(gw, &p->second->x, &p->second->y);
            gtk_menu_shell_deactivate(GTK_MENU_SHELL(menu));
            return G_SOURCE_REMOVE;
        },
        &ctx);
    double scale = w.GetBackingScaleFactor();
    LPoint at { int(40 * scale), int(30 * scale) };
    w.DisplayPopupMenuAtPointLeftAlign(popup, at);
    LUiRect content;
    ASSERT_TRUE(LCocoaViewScreenRect(w.GetContentView(), content));
    EXPECT_NEAR(placed.x, content.x + 40, 2);
    EXPECT_NEAR(placed.y, content.y + 30, 2);
    EXPECT_TRUE(w.commands.empty() || w.Count(1) + w.Count(2) == 0); // closed without a choice
    w.DestroyCommon();
}
