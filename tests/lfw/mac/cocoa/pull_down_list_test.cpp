// Pull-down lists and combo boxes on a real window: item indexes across separators, inserts and
// deletions, the selection, item keys, opening and closing, unique texts and typed entries.
// VT_ALSO_SCALED: runs a second time with GDK_SCALE=2.
#include "lfw/mac/LControlFlags.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaComboBoxImpl.h"
#include "lfw/mac/cocoa/LCocoaPullDownListImpl.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/UI.h"
#include "support/Screenshot.h"
#include "support/UiTestSupport.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

constexpr unsigned long kStyle = kLUiWindowTitled | kLUiWindowClosable | kLUiWindowResizable;
constexpr int kList = 200, kCombo = 300, kInput = 400;
constexpr int kCmdOpen = 601, kCmdClosed = 602, kCmdDrop = 603, kCmdSel = 604;

struct ListWindow : LMacWindow {
    std::vector<int> commands;
    std::function<void(int)> onCommand;
    void Command(int id, int) override
    {
        commands.push_back(id);
        if (onCommand)
            onCommand(id);
    }
    int Count(int id) const { return int(std::count(commands.begin(), commands.end(), id)); }
};

class PullDownTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!uitest::Init())
            GTEST_SKIP() << "no display";
    }
};

std::string Title(LCocoaPullDownListImpl* list, int index)
{
    return list->getItemTitleAtIndex(index);
}

} // namespace

TEST_F(PullDownTest, IndexesAcrossSeparatorsInsertsAndDeletions)
{
    ListWindow w;
    w.CreateCocoaWindow(300, 120, kStyle, false, nullptr);
    LCocoaPullDownListImpl* list = w.AddPullDownList(kList, 10, 10, 200, 24);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->getItemCount(), 0);
    EXPECT_EQ(w.PDLAddString(kList, "Ett"), 0);
    EXPECT_EQ(list->getItemCount(), 1);
    EXPECT_EQ(list->numberOfMenuItems(), 2u); // the title item first
    list->addItemSeparator();
    EXPECT_EQ(w.PDLAddString(kList, "Två", 22), 1);
    EXPECT_EQ(list->getItemCount(), 2);
    EXPECT_EQ(w.PDLGetItemData(kList, 1), 22ul);
    EXPECT_EQ(w.PDLFindItemData(kList, 22), 1);
    EXPECT_EQ(w.PDLGetCurSel(kList), -1);
    EXPECT_EQ(w.PDLAddString(kList, "Tre"), 2);

    // Inserting at 1 of three makes the old 1 and 2 into 2 and 3; the selection stays on its
    // item.
    w.PDLSetCurSel(kList, 2);
    EXPECT_EQ(list->insertItem("Ny", 1), 1);
    EXPECT_EQ(Title(list, 1), "Ny");
    EXPECT_EQ(Title(list, 2), "Två");
    EXPECT_EQ(Title(list, 3), "Tre");
    EXPECT_EQ(w.PDLGetCurSel(kList), 3);
    EXPECT_EQ(w.PDLGetItemData(kList, 2), 22ul);

    // Deleting another item keeps the selected one; deleting the selected last item selects the
    // one before it.
    list->deleteItemAtIndex(0);
    EXPECT_EQ(w.PDLGetCurSel(kList), 2);
    char text[260];
    w.PDLGetText(kList, text);
    EXPECT_STREQ(text, "Tre");
    list->deleteItemAtIndex(2);
    EXPECT_EQ(w.PDLGetCurSel(kList), 1);
    EXPECT_EQ(list->title(), "Två");
    // The selected first item deleted: the new first is selected.
    list->selectAtIndex(0);
    list->deleteItemAtIndex(0);
    EXPECT_EQ(w.PDLGetCurSel(kList), 0);
    EXPECT_EQ(list->getItemCount(), 1);

    // An absent title selects item 0; -1 selects nothing and empties the title.
    w.PDLSetCurSel(kList, "finns inte");
    EXPECT_EQ(w.PDLGetCurSel(kList), 0);
    w.PDLSetCurSel(kList, -1);
    EXPECT_EQ(w.PDLGetCurSel(kList), -1);
    EXPECT_EQ(list->title(), "");
    EXPECT_EQ(list->getSelectedItemTitle(), nullptr);
    w.PDLGetText(kList, text);
    EXPECT_STREQ(text, "");
    // Out-of-range indexes do nothing.
    list->deleteItemAtIndex(7);
    list->deleteItemAtIndex(-1);
    list->insertItemSeparatorAtIndex(9);
    EXPECT_EQ(list->getItemCount(), 1);
    EXPECT_EQ(Title(list, 5), "");
    EXPECT_EQ(list->getItemDataAtIndex(5), 0u);
    // Other kinds of control answer the empty values.
    EXPECT_EQ(w.PDLGetCurSel(999), -1);
    EXPECT_EQ(w.PDLAddString(999, "x"), -1);
    w.Close();
}

TEST_F(PullDownTest, ItemKeyOpeningClosingAndAChoice)
{
    ListWindow w;
    const char* scale = getenv("GDK_SCALE");
    int k = scale && atoi(scale) > 1 ? atoi(scale) : 1;
    w.CreateCocoaWindow(300 * k, 200 * k, kStyle, false, nullptr);
    LCocoaPullDownListImpl* list = w.AddPullDownList(kList, 10, 10, 200, 24);
    LCocoaView::setCommandId(list, kCmdOpen, &keyCmdPDLDropDown);
    LCocoaView::setCommandId(list, kCmdClosed, &keyCmdPDLDropDownClosed);
    list->addItem("Alfa");
    list->addItem("Beta", "Serif");
    list->addItem("Gamma");
    w.PDLSetCurSel(kList, 0);
    // Command+Shift with S: Ctrl+Shift+S shown and answered.
    list->setItemKey(LKey(LKey::kCommand | LKey::kShift | 'S'), 2);
    unsigned key = 0, mods = 0;
    list->getItemAccelerator(2, key, mods);
    EXPECT_EQ(key, unsigned(GDK_KEY_s));
    EXPECT_EQ(mods, unsigned(GDK_CONTROL_MASK | GDK_SHIFT_MASK));
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    uitest::SendKey(list, GDK_KEY_S, true, GDK_CONTROL_MASK | GDK_SHIFT_MASK);
    uitest::SendKey(list, GDK_KEY_S, false, GDK_CONTROL_MASK | GDK_SHIFT_MASK);
    ASSERT_TRUE(uitest::PumpUntil([&] { return w.Count(kList) == 1; }, 2000));
    EXPECT_EQ(w.PDLGetCurSel(kList), 2);
    EXPECT_TRUE(list->isItemChecked(2));
    EXPECT_FALSE(list->isItemChecked(0));

    // Opening and closing send their commands; a choice in the open menu sends the list's id.
    ASSERT_TRUE(uitest::XClick(w.GetNativeWindow(), 100, 20));
    ASSERT_TRUE(uitest::PumpUntil([&] { return w.Count(kCmdOpen) == 1; }, 3000));
    EXPECT_TRUE(list->menuDelegate()->isMenuOpen());
    uitest::Screenshot(w.GetNativeWindow(), "pull-down-open");
    GList* items = gtk_container_get_children(GTK_CONTAINER(list->menu()));
    gtk_menu_item_activate(GTK_MENU_ITEM(items->data));
    g_list_free(items);
    list->closeMenu();
    ASSERT_TRUE(uitest::PumpUntil([&] { return w.Count(kCmdClosed) == 1; }, 3000));
    EXPECT_EQ(w.PDLGetCurSel(kList), 0);
    EXPECT_TRUE(list->isItemChecked(0));
    EXPECT_FALSE(list->isItemChecked(2));
    EXPECT_EQ(w.Count(kList), 2);
    uitest::Screenshot(w.GetNativeWindow(), "pull-down-closed");
    // A disabled item cannot be chosen.
    list->enableItemAtIndex(1, false);
    EXPECT_FALSE(list->isItemAtIndexEnabled(1));
    list->handleSelection(1);
    EXPECT_EQ(w.PDLGetCurSel(kList), 0);
    w.Close();
}

TEST_F(PullDownTest, ComboBoxTextsAreUniqueAndSeparatorsKeepItemIndexes)
{
    ListWindow w;
    w.CreateCocoaWindow(300, 200, kStyle, false, nullptr);
    LCocoaComboBoxImpl* combo = w.AddComboBox(kCombo, false);
    LCocoaComboBoxManager* m = combo->manager();
    EXPECT_EQ(m->addItem("A", 1), 0);
    EXPECT_EQ(m->addItem("A", 9), 0);
    EXPECT_EQ(m->numberOfItems(), 1);
    m->addSeparator();
    m->addSeparator(); // refused as a second row of the same text
    EXPECT_EQ(m->addItem("B", 2), 2);
    EXPECT_EQ(m->numberOfItems(), 3);
    EXPECT_EQ(m->getItemCount(), 2);
    EXPECT_EQ(m->getItemDataAtIndex(1), 2u);
    char text[260];
    m->getItemText(text, 1, false);
    EXPECT_STREQ(text, kLComboBoxSeparator);
    m->getItemText(text, 1, true);
    EXPECT_STREQ(text, "B");
    m->getItemText(text, 9, true);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(m->insertItem("C", 3), 3); // at the end: appended
    EXPECT_EQ(m->insertItem("D", -1), -1);
    EXPECT_EQ(m->addItem("E", 0, 1, 2), -1); // an image on a plain box
    m->selectRow(1);
    EXPECT_EQ(m->getSelecteditem(), -1);
    m->selectItemAtIndex(1);
    EXPECT_EQ(m->getSelecteditem(), 1);
    m->getCurrentText(text);
    EXPECT_STREQ(text, "B");
    m->deleteAllItems();
    EXPECT_EQ(m->getItemCount(), 0);
    m->addSeparator();
    EXPECT_EQ(m->getItemCount(), 0);
    // Selecting characters: last before first does nothing.
    m->setCurrentText("abcdef");
    combo->selectTextFromIndex(4, 2);
    combo->selectTextFromIndex(1, 3);
    int a = 0, b = 0;
    ASSERT_TRUE(gtk_editable_get_selection_bounds(GTK_EDITABLE(combo->entry()), &a, &b));
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 4);
    combo->pasteTextOverSelection("XY");
    EXPECT_EQ(combo->stringValue(), "aXYef");
    w.Close();
}

TEST_F(PullDownTest, ComboBoxTypedValuesJoinAndTheArrowPressAnnouncesTheList)
{
    ListWindow w;
    const char* scale = getenv("GDK_SCALE");
    int k = scale && atoi(scale) > 1 ? atoi(scale) : 1;
    w.CreateCocoaWindow(300 * k, 200 * k, kStyle, false, nullptr);
    LCocoaComboBoxImpl* combo = w.AddComboBox(kCombo, true);
    w.MoveControlPixels(kCombo, int(10 * w.GetBackingScaleFactor()),
        int(10 * w.GetBackingScaleFactor()), int(200 * w.GetBackingScaleFactor()),
        int(30 * w.GetBackingScaleFactor()));
    w.AddInput(kInput, LInputFlags {}, 10, 60, 200);
    LCocoaComboBoxManager* m = combo->manager();
    m->setDropdownCommand(kCmdDrop);
    m->setSelectionChangeCommand(kCmdSel);
    m->addItem("1");
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    gtk_widget_grab_focus(GTK_WIDGET(combo->entry()));
    uitest::Pump(30);
    // Numeric: only the digits of what is typed.
    for (unsigned k : { GDK_KEY_4, GDK_KEY_x, GDK_KEY_2 }) {
        uitest::SendKey(combo, k, true);
        uitest::SendKey(combo, k, false);
        uitest::Pump(20);
    }
    EXPECT_EQ(combo->stringValue(), "42");
    // Leaving the field: the typed value joins at the end; an empty one does not.
    w.SetFocus(kInput);
    ASSERT_TRUE(uitest::PumpUntil([&] { return m->numberOfItems() == 2; }, 2000));
    EXPECT_EQ(m->getItemWithText("42"), 1);
    m->setCurrentText("");
    gtk_widget_grab_focus(GTK_WIDGET(combo->entry()));
    uitest::Pump(30);
    w.SetFocus(kInput);
    uitest::Pump(100);
    EXPECT_EQ(m->numberOfItems(), 2);

    // A press on the arrow (the rightmost 20 points) announces the list before it opens.
    int shownAtCommand = -1;
    w.onCommand = [&](int id) {
        if (id == kCmdDrop) {
            gboolean shown = FALSE;
            g_object_get(combo->Widget(), "popup-shown", &shown, nullptr);
            shownAtCommand = shown;
        }
    };
    ASSERT_TRUE(uitest::XClick(w.GetNativeWindow(), 10 + 200 - 8, 25));
    ASSERT_TRUE(uitest::PumpUntil([&] { return w.Count(kCmdDrop) >= 1; }, 3000));
    EXPECT_EQ(w.Count(kCmdDrop), 1);
    EXPECT_EQ(shownAtCommand, 0);
    uitest::Pump(200);
    uitest::Screenshot(w.GetNativeWindow(), "combo-box-open");
    combo->popDown();
    uitest::Pump(50);
    // A choice from the list sends the selection command.
    gtk_combo_box_set_active(GTK_COMBO_BOX(combo->Widget()), 0);
    EXPECT_EQ(w.Count(kCmdSel), 1);
    EXPECT_EQ(m->getSelecteditem(), 0);
    w.Close();
}

namespace {

// Closes itself on the first command of one of its controls.
struct ClosingWindow : LMacWindow {
    int closeOn = -1;
    int seen = 0;
    void Command(int id, int) override
    {
        if (id == closeOn) {
            ++seen;
            Close();
        }
    }
};

} // namespace

TEST_F(PullDownTest, ACommandThatClosesTheWindowEndsNothingBadly)
{
    ClosingWindow w;
    w.CreateCocoaWindow(300, 200, kStyle, false, nullptr);
    LCocoaPullDownListImpl* list = w.AddPullDownList(kList, 10, 10, 200, 24);
    LCocoaComboBoxImpl* combo = w.AddComboBox(kCombo, false);
    list->addItem("A");
    list->addItem("B");
    combo->manager()->addItem("x");
    w.InitCommon(kLCocoaDialogCenterNone, true);
    ASSERT_TRUE(uitest::ShowAndWait(w.GetNativeWindow()));
    LUiRef<LView> holdList(list), holdCombo(combo);
    w.closeOn = kList;
    list->handleSelection(1);
    EXPECT_EQ(w.seen, 1);
    EXPECT_EQ(list->getSelectedItem(), 1);
    uitest::Pump(50);
    // The list outlives its window's content: still answers.
    list->handleSelection(0);
    combo->manager()->comboBoxSelectionDidChange();
    uitest::Pump(50);
}

// The list used with the real keyboard while it has the focus: Space, Return and Alt+Down open its
// menu with the selected item highlighted, and a choice made there with the arrows and Return is
// the list's, never the default button's. Closed, the arrows, Home, End and the page keys choose
// as in a GTK combo box: only enabled items, nothing past either end, the focus staying.
TEST_F(PullDownTest, KeysOpenTheMenuAtTheSelectionAndChooseAsAComboBox)
{
    if (!uitest::HaveXdotool())
        GTEST_SKIP() << "no xdotool";
    ListWindow w;
    const char* scale = getenv("GDK_SCALE");
    const int k = scale && atoi(scale) > 1 ? atoi(scale) : 1;
    w.CreateCocoaWindow(300 * k, 200 * k, kStyle, false, nullptr);
    LCocoaPullDownListImpl* list = w.AddPullDownList(kList, 10, 10, 200, 24);
    LCocoaView::setCommandId(list, kCmdOpen, &keyCmdPDLDropDown);
    w.AddOk(110, 150, 80, "OK");
    for (const char* title : { "Alfa", "Beta", "Gamma", "Delta" })
        list->addItem(title);
    list->insertItemSeparatorAtIndex(0);
    list->enableItemAtIndex(1, false);
    w.PDLSetCurSel(kList, 2);
    w.InitCommon(kLCocoaDialogCenterNone, true);
    LNativeWindow* window = w.GetNativeWindow();
    ASSERT_TRUE(uitest::ShowAndWait(window));
    ASSERT_TRUE(list->MakeFocus());
    GtkWidget* menu = list->menu();
    ASSERT_NE(menu, nullptr);
    auto open = [&] { return gtk_widget_get_mapped(menu) != FALSE; };
    // The window's focus (it has the keyboard again once the menu has let it go).
    auto focused = [&] { return gtk_window_get_focus(window->Gtk()) == list->Widget(); };
    auto highlighted = [&]() -> std::string {
        GtkWidget* item = gtk_menu_shell_get_selected_item(GTK_MENU_SHELL(menu));
        const char* text = item ? gtk_menu_item_get_label(GTK_MENU_ITEM(item)) : nullptr;
        return text ? text : "";
    };

    for (const char* key : { "space", "Return", "KP_Enter", "alt+Down" }) {
        SCOPED_TRACE(key);
        ASSERT_TRUE(uitest::PressKeys(window, menu, key));
        ASSERT_TRUE(uitest::PumpUntil(open));
        EXPECT_EQ(highlighted(), "Gamma");
        ASSERT_TRUE(uitest::PressKeys(window, menu, "Escape"));
        ASSERT_TRUE(uitest::PumpUntil([&] { return !open(); }));
        EXPECT_EQ(w.PDLGetCurSel(kList), 2);
        EXPECT_TRUE(focused());
    }
    EXPECT_EQ(w.Count(kCmdOpen), 4);
    EXPECT_EQ(w.Count(kList), 0);

    // Down and Return in the open menu: the next item.
    ASSERT_TRUE(uitest::PressKeys(window, menu, "Return"));
    ASSERT_TRUE(uitest::PumpUntil(open));
    ASSERT_TRUE(uitest::PressKeys(window, menu, "Down"));
    EXPECT_EQ(highlighted(), "Delta");
    {
        // The window with the menu over it, as the screen shows them (device pixels).
        uitest::PumpUntilDrawn(window);
        uitest::PumpUntilDrawn(gtk_widget_get_toplevel(menu));
        int x = 0, y = 0, mx = 0, my = 0;
        gdk_window_get_origin(gtk_widget_get_window(GTK_WIDGET(window->Gtk())), &x, &y);
        gdk_window_get_origin(gtk_widget_get_window(gtk_widget_get_toplevel(menu)), &mx, &my);
        const int s = gtk_widget_get_scale_factor(menu);
        const int right = std::max(x + gtk_widget_get_allocated_width(GTK_WIDGET(window->Gtk())),
            mx + gtk_widget_get_allocated_width(menu));
        const int bottom = std::max(y + gtk_widget_get_allocated_height(GTK_WIDGET(window->Gtk())),
            my + gtk_widget_get_allocated_height(menu));
        EXPECT_NE(uitest::ScreenshotArea(
                      x * s, y * s, (right - x) * s, (bottom - y) * s, "pull-down-keyboard-open"),
            "");
    }
    ASSERT_TRUE(uitest::PressKeys(window, menu, "Return"));
    ASSERT_TRUE(uitest::PumpUntil([&] { return !open(); }));
    EXPECT_EQ(w.PDLGetCurSel(kList), 3);
    EXPECT_TRUE(list->isItemChecked(3));
    EXPECT_FALSE(list->isItemChecked(2));
    EXPECT_EQ(w.Count(kList), 1);

    // Closed: Beta is disabled, and the separator is no item.
    const struct {
        const char* key;
        int selected;
    } steps[] = { { "Up", 2 }, { "Up", 0 }, { "Up", 0 }, { "Down", 2 }, { "End", 3 }, { "Down", 3 },
        { "Home", 0 }, { "Page_Down", 3 }, { "Page_Up", 0 } };
    int changes = 1;
    int selected = 3;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.key);
        ASSERT_TRUE(uitest::PressKeys(window, menu, step.key));
        uitest::PumpUntilIdle();
        EXPECT_FALSE(open());
        EXPECT_EQ(w.PDLGetCurSel(kList), step.selected);
        EXPECT_EQ(list->title(), list->getItemTitleAtIndex(step.selected));
        EXPECT_TRUE(focused());
        changes += step.selected != selected ? 1 : 0;
        selected = step.selected;
        EXPECT_EQ(w.Count(kList), changes);
    }
    EXPECT_EQ(w.Count(kLCmdOk), 0);
    // Return elsewhere is still the default button's.
    ASSERT_TRUE(uitest::PressKeys(window, "Tab"));
    ASSERT_FALSE(focused());
    ASSERT_TRUE(uitest::PressKeys(window, "Return"));
    EXPECT_TRUE(uitest::PumpUntil([&] { return w.Count(kLCmdOk) == 1; }));
    w.Close();
}
