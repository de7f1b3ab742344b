// Menus of the framework: LUiMenu trees whose items carry a command id as their tag and send
// that command to the window that owns the menu when chosen.
//
// LCocoaMenu is the small object with which the framework's menu code, the painted controls and
// the dialogs build a menu; LCocoaMenuImpl does all work on menus and items, addressing items by
// command anywhere in a tree (every item, in submenus too, whose tag is the command; -1 never
// matches); LMainMenuDelegate sends a command when a menu opens. Key equivalents of LKey values
// are shown beside the items and matched by the window manager's own walk of the main menu, so a
// shortcut fires once and the window's key map comes first.
#pragma once

#include "lfw/mac/cocoa/LKey.h"
#include "platform/ui/LUiMenu.h"

#include <string>
#include <vector>

class LCocoaWindow;

// Copies a caption without its '&' marks and cut at its first tab (260 bytes).
void LPrepareForMenuItem(char* out, const char* in);

// The painted control that opened a popup menu: it takes the chosen command itself.
class LCocoaMenuPaintControl {
public:
    virtual void PaintControlCommand(int command, int code) = 0;

protected:
    ~LCocoaMenuPaintControl() = default;
};

class LCocoaMenu {
public:
    LCocoaMenu() = default;
    ~LCocoaMenu();
    LCocoaMenu(const LCocoaMenu&) = delete;
    LCocoaMenu& operator=(const LCocoaMenu&) = delete;

    // Creates the menu for the window (which its commands reach).
    void Create(LCocoaWindow* window, const char* title);
    // Takes over a menu made elsewhere (one reference is the caller's, which this keeps).
    void Adopt(LUiMenu* menu, LCocoaWindow* window);
    void SetShortcuts(const LKeyToCommandMap* keys, unsigned long count)
    {
        pKeys = keys;
        nKeys = count;
    }

    // With a row of the shortcut table for the command, the item gets that key.
    LUiMenuItem* AppendMenuItem(int command, const char* title);
    LUiMenuItem* AppendMenuItemWithShortcut(int command, const char* title, LKey key);
    void AppendMenuSeparator();
    void EnableMenuItem(int command, bool enable);
    void CheckMenuItem(int command, bool check);
    // A list of commands ended by 0.
    void EnableMenuItems(const int* commands, bool enable);
    // "Hjälp" on the main menu answers the application's help menu; the menu itself when its
    // title is the caption; else the top-level submenu of that title; null.
    LUiMenu* GetMenuByCaption(const char* caption) const;
    void Release();

    LUiMenu* GetMenu() const { return fMenu; }
    LCocoaWindow* GetWindow() const { return pWindow; }

private:
    LUiMenu* fMenu = nullptr;
    LCocoaWindow* pWindow = nullptr;
    const LKeyToCommandMap* pKeys = nullptr;
    unsigned long nKeys = 0;
};

class LCocoaMenuImpl {
public:
    // A new menu titled with the prepared title (the caller holds its one reference).
    static LUiMenu* createMenu(const char* title, LCocoaWindow* window);
    // A new item (the caller holds its reference): tag = command, or -1 for a negative command
    // or an empty title; chosen, it runs handleItemClick (none for a negative command).
    static LUiMenuItem* createItem(int command, const char* title);
    static LUiMenuItem* addItem(LUiMenu* menu, int command, const char* title);
    static LUiMenuItem* addItem(LUiMenu* menu, int command, const char* title, LKey shortcut);
    static LUiMenuItem* insertItem(LUiMenu* menu, int command, size_t index, const char* title);
    // Inserts before the first item with the reference command, in the menu that holds it;
    // answers that item (null: nothing inserted).
    static LUiMenuItem* insertItemBeforeCommand(
        LUiMenu* menu, int command, int beforeCommand, const char* title);
    static void addSeparator(LUiMenu* menu);
    static void insertSeparator(LUiMenu* menu, size_t index);
    static void insertSeparatorBeforeCommand(LUiMenu* menu, int beforeCommand);
    // A holder item (prepared title, tag -1) carrying the submenu, copied first when it belongs
    // to another menu already.
    static LUiMenuItem* addSubmenu(LUiMenu* menu, const char* title, LUiMenu* submenu);
    // The first item with the command gets the submenu (copied first when it has a holder).
    static void addSubmenu(LUiMenu* menu, int command, LUiMenu* submenu);
    static void removeSubmenu(LUiMenu* menu, LUiMenu* submenu);
    static void removeSubmenu(LUiMenu* menu, const char* title);
    static void findItems(LUiMenu* menu, int command, std::vector<LUiMenuItem*>& items);
    static LUiMenuItem* findFirstItem(LUiMenu* menu, int command);
    static bool removeItem(LUiMenu* menu, int command);
    static void deleteItem(LUiMenu* menu, int command);
    static void setTitle(LUiMenu* menu, const char* title);
    static void getTitle(LUiMenu* menu, char* out);
    static size_t getItemCount(LUiMenu* menu);
    static void clearMenu(LUiMenu* menu);
    static void setItemTitle(LUiMenu* menu, int command, const char* title);
    static void setItemTitleAtIndex(LUiMenu* menu, size_t index, const char* title);
    static bool getItemTitle(LUiMenu* menu, int command, char* out);
    static bool getItemTitleAtIndex(LUiMenu* menu, size_t index, char* out);
    static void setItemImage(LUiMenuItem* item, cairo_surface_t* image);
    static void setItemImage(
        LUiMenuItem* item, cairo_surface_t* checked, cairo_surface_t* unchecked);
    static void setItemImage(LUiMenu* menu, int command, cairo_surface_t* image);
    static void setItemShortcut(LUiMenu* menu, int command, LKey shortcut);
    static void enableItem(LUiMenu* menu, int command, bool enable);
    static bool isItemEnabled(LUiMenu* menu, int command);
    static void enableItems(LUiMenu* menu, bool enable);
    static void showItem(LUiMenu* menu, int command, bool visible);
    static void checkItem(LUiMenu* menu, int command, bool check);
    static LUiMenu* getSubmenu(LUiMenu* menu, size_t index);
    static LUiMenu* getSubmenu(LUiMenu* menu, const char* title);
    // The key equivalent (a character string) and modifier mask of a key: Command 0x100000,
    // Control 0x40000, Option 0x80000, Shift 0x20000 (left out where the character already is
    // the shifted one).
    static void getKeyEquivalentForLKey(LKey key, std::string& equivalent, unsigned& mask);
    // An item was chosen; keyEvent is the key that chose it (null: a click, or the current GDK
    // event when that is a key press).
    static void handleItemClick(LUiMenuItem* item, const LUiEvent* keyEvent = nullptr);
    // The main menu's item whose key equivalent is the key of the event (enabled, visible, in
    // enabled submenus) is chosen; true when one was.
    static bool performKeyEquivalent(LUiMenu* menu, const LUiEvent& event);

    static void setCurrentPopupMenuWindow(LCocoaWindow* window);
    static LCocoaWindow* currentPopupMenuWindow();
    static void setCurrentPopupMenuPaintControl(LCocoaMenuPaintControl* control);
    static LCocoaMenuPaintControl* currentPopupMenuPaintControl();
    // The window associated with a menu (kAssociatedParentLWindowKey); null when none.
    static LCocoaWindow* windowOfMenu(const LUiMenu* menu);
    static void setWindowOfMenu(LUiMenu* menu, LCocoaWindow* window);
};

// Sends a command to its window when the menu opens (the window refreshes the items).
class LMainMenuDelegate {
public:
    LMainMenuDelegate() = default;
    LMainMenuDelegate(const LMainMenuDelegate&) = delete;
    LMainMenuDelegate& operator=(const LMainMenuDelegate&) = delete;
    ~LMainMenuDelegate();

    // Makes the delegate the one of the menu (its opening calls menuWillOpen).
    void attach(LUiMenu* menu);
    void menuWillOpen(LUiMenu* menu);
    LCocoaWindow* lfwWindow() const { return pWindow; }
    void setLfwWindow(LCocoaWindow* window) { pWindow = window; }
    int menuOpeningCommand() const { return _menuOpeningCommand; }
    void setMenuOpeningCommand(int command) { _menuOpeningCommand = command; }

private:
    LCocoaWindow* pWindow = nullptr;
    int _menuOpeningCommand = 0;
    LUiMenu* fMenu = nullptr;
};
