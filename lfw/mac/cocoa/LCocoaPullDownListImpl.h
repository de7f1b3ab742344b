// The drop-down selection list: a menu button whose title shows the selected item, over a menu of
// check items (the selected one checked), separators, item data, key equivalents, enabling per
// item and items drawn in their own typeface. Items are addressed by their index, which counts the
// items that are not separators; the menu's first entry is a title item that is never shown.
#pragma once

#include "lfw/mac/cocoa/LCocoaControlImpl.h"
#include "lfw/mac/cocoa/LKey.h"

#include <cstdint>
#include <string>
#include <vector>

class LCocoaPullDownListImpl;

// Tells the list's window when its menu opens and closes.
class LCocoaPullDownListMenuDelegate {
public:
    LCocoaPullDownListMenuDelegate(LCocoaPullDownListImpl* list, LCocoaWindow* window)
        : pdl(list)
        , pWindow(window)
    {
    }
    void menuWillOpen();
    void menuDidClose();
    bool isMenuOpen() const { return bMenuOpen; }

private:
    LCocoaPullDownListImpl* pdl;
    LCocoaWindow* pWindow;
    int selectedItem = -1; // the item selected when the menu opened (its menu position)
    bool bMenuOpen = false;
};

class LCocoaPullDownListImpl : public LCocoaControlImpl {
public:
    LCocoaPullDownListImpl(const LUiRect& frame, LCocoaWindow* window);

    void setID(int id) { SetTag(id); }
    // Owned by the list.
    void setMenuDelegate(LCocoaPullDownListMenuDelegate* delegate);
    LCocoaPullDownListMenuDelegate* menuDelegate() const { return fMenuDelegate; }
    int selectionChangeCommand() const { return fSelectionChangeCommand; }
    void setSelectionChangeCommand(int command) { fSelectionChangeCommand = command; }

    int addItem(const char* title);
    int addItem(const char* title, uint64_t data);
    int addItem(const char* title, const char* fontName);
    int insertItem(const char* title, int index);
    void addItemSeparator();
    void insertItemSeparatorAtIndex(int index);
    void deleteItemAtIndex(int index);
    void deleteAllItems();
    int findItem(const char* title) const;
    int findItemWithData(uint64_t data) const;
    void setItemData(uint64_t data, int index);
    uint64_t getItemDataAtIndex(int index) const;
    // The key of an LKey code (bits 0-15 the character, 16-23 the modifiers: Command 0x10000,
    // Shift 0x20000, Option 0x80000, Control 0x100000).
    void setItemKey(uint32_t key, int index);
    void setItemKey(const LKey& key, int index) { setItemKey(key.code, index); }
    // The item's key as GTK shows it (0 without a key).
    void getItemAccelerator(int index, unsigned& keyval, unsigned& modifiers) const;
    std::string getItemTitleAtIndex(int index) const;
    void selectAtIndex(int index);
    void selectWithTitle(const char* title);
    int getSelectedItem() const;
    // Null when nothing is selected.
    const char* getSelectedItemTitle() const;
    int getItemCount() const { return fCount; }
    void enableItemAtIndex(int index, bool enable);
    void enableAllItems(bool enable);
    bool isItemAtIndexEnabled(int index) const;
    void updateTitle();
    std::string title() const { return fTitle; }
    // Menu entries, the title item and separators included.
    size_t numberOfMenuItems() const { return fItems.size(); }
    bool isItemChecked(int index) const;

    // The user's choice of an item (as a click in the menu).
    void handleSelection(int index);
    // Opens and closes the menu.
    void popUp();
    void closeMenu();
    // Opens the menu from the keyboard with the selected item highlighted, so that Return
    // chooses it again and the arrows go on from it.
    void popUpAtSelection();
    // A key while the list has the keyboard focus: Space, Return and Alt+Down open the menu at
    // the selected item (where the compositor lets a menu take the keyboard only for the latest
    // key, Wayland, once the key is let go); Up, Down, Home, End, Page Up and Page Down choose the
    // item before, after, first or last of the enabled ones while it is closed, as a GTK combo box
    // does (a bell where there is none). True when the key was the list's.
    bool keyDownWithFocus(const LUiEvent& event);
    GtkWidget* menu() const { return fMenu; }

    bool performKeyEquivalent(const LUiEvent& event) override;
    // Key equivalents of every enabled list in the view tree.
    static bool performKeyEquivalentInView(LView* root, const LUiEvent& event);

    // LView
    AtkRole AccessibleRole() const override { return ATK_ROLE_COMBO_BOX; }
    std::string AccessibleName() const override { return fTitle; }

protected:
    ~LCocoaPullDownListImpl() override;
    GtkWidget* CreateWidget() override;
    GtkWidget* StyledWidget() override { return fLabel ? fLabel : ExistingWidget(); }

private:
    struct Item {
        GtkWidget* widget = nullptr; // null for the title item
        std::string title;
        int tag = -1; // the item index; -1 for the title item and separators
        uint64_t data = uint64_t(-1);
        bool separator = false;
        bool enabled = true;
        unsigned keyval = 0, mods = 0;
        std::string font;
    };
    static void OnActivate(GtkMenuItem* item, gpointer data);
    static gboolean OnPress(GtkWidget*, GdkEventButton*, gpointer data);
    void EnsureTitleItem();
    GtkWidget* MakeWidget(Item& item);
    // Menu position of the item with the index; -1 when none.
    int PositionOf(int index) const;
    void Renumber(size_t from, int delta);
    void SetChecked(int position, bool on);
    void Select(int index);
    // The enabled item an arrow or paging key leads to from the selection; -1 when none.
    int ItemForKey(unsigned keyval) const;

    LCocoaPullDownListMenuDelegate* fMenuDelegate = nullptr;
    int fSelectionChangeCommand = -1;
    std::vector<Item> fItems;
    std::vector<int> fPositions; // menu position by item index
    int fSelectedPos = -1; // menu position of the selected item
    int fCount = 0;
    std::string fTitle;
    GtkWidget* fMenu = nullptr;
    GtkWidget* fLabel = nullptr;
    int fSetting = 0;
    unsigned fOpenOnRelease = 0; // the key whose release opens the menu (0: none)
    friend class LCocoaPullDownListMenuDelegate;
};
