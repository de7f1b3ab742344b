// The framework's menus: the application's main menu (addressed by command id), menus built from
// static item tables with their shortcuts and icons, and context menus shown at the mouse or at
// a point and routed to the window that showed them.
#pragma once

#include "lfw/graphics/LGeometry.h"
#include "lfw/mac/cocoa/LCocoaMenu.h"

class LMacWindow;
class LView;

// One row of a menu table. id: the command; 0 a separator; -1 with text a submenu start, -1
// without text a submenu end; below -1 an item with command -id and no icon. The caption loses
// its '&' marks and everything from its first tab. image: an icon resource number (1 or more).
struct LMenuItem {
    int id;
    const char* text;
    int image;
};

// Adds the row at start (an item, or a whole submenu with its rows) to the menu; answers the
// index of the first row not consumed. At the outermost level a submenu whose caption the main
// menu has already replaces that earlier one.
unsigned long LMenuAdd(LCocoaMenu& menu, const LMenuItem* rows, unsigned long start,
    unsigned long count, const LKeyToCommandMap* keys, unsigned long keyCount);
// Adds rows from index until the end row of the current submenu (consumed) or count.
void LMenuAddItems(LCocoaMenu& menu, const LMenuItem* rows, unsigned long& index,
    unsigned long count, const LKeyToCommandMap* keys, unsigned long keyCount);
// One item: with the key table's row for the command, that shortcut; else the icon (1 or more).
void LMenuAddItem(LCocoaMenu& menu, int command, const char* text, const LKeyToCommandMap* keys,
    unsigned long keyCount, int image);

// Windows that refresh menu items mix this in.
class LMenuEnableHandler {
public:
    virtual ~LMenuEnableHandler() = default;
    virtual void EnableMenuItems() = 0;
};

// A context menu: a menu of its window's commands.
class LPopupMenu : public LCocoaMenu {
public:
    LPopupMenu() = default;
    // Creates the menu for the window.
    explicit LPopupMenu(LMacWindow& window);

    // Shows the menu at the point (screen points when pointIsOnScreen, else points of the view)
    // kept 10 points inside the screen, and returns once it closed (the chosen item's command
    // has been sent). Nothing for a window without a window on screen.
    void ShowPopupMenu(LMacWindow& window, LView* view, LUiPoint point, bool pointIsOnScreen);
};

class LMainMenu {
public:
    // The main menu and the window that owns it (the main window).
    static LCocoaMenu& theMainMenu;
    // How many modal runs, sessions, alerts and panels keep the main menu disabled.
    static unsigned RefCount();

    // Makes the menu the application's main menu, shown as the menu bar of its owner window
    // (the earlier one is released); the owner is the window given, else the one set before.
    static void SetMainMenu(LUiMenu* menu, LMacWindow* owner = nullptr);
    // The context menu's menu becomes the submenu of the item with the command, its whole tree
    // tied to the main window.
    static void SetSubMenuFromMainWindow(
        LMacWindow& mainWindow, int command, const LPopupMenu& menu);
    static void SetMenuTitle(int command, const char* title);
    static void SetMenuShortcut(int command, const LKeyToCommandMap* keys, unsigned long count);
    static void EnableMenuItem(int command, bool enable);
    // A list ended by 0.
    static void EnableMenuItemList(const int* commands, bool enable);
    // Both uncheck every command from first to last, then check the one given.
    static void CheckMenuItem(int first, int last, int checked);
    static void CheckMenuRadioItem(int first, int last, int checked);
    static void RemoveMenuItem(int command);
    static void InsertMenuSeparator(int beforeCommand, int);
};
