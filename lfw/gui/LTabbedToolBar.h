// The tabbed toolbar across the top of the main window: a strip of named tabs above a row of
// large buttons of the selected tab, with a help icon and the share bar at the right end of the
// strip. The application declares its tabs and buttons as static tables; the toolbar is one
// painted control that lays itself out on every paint and turns clicks into commands of its
// window (a tab's id at once, a button's command posted, the help icon's CmHelp).
#pragma once

#include "lfw/gui/LToolBar.h"

class LMacWindow;
using LWindow = LMacWindow;
class LTabbedToolBarPrivate;

// A row of the application's tab table; the first row whose name is null ends it.
struct LTabbedToolBarTab {
    int id = 0;
    const char* name = nullptr;
    const LToolBar::ToolBarItem* items = nullptr;
    int count = 0;
};

class LTabbedToolBar {
public:
    LTabbedToolBar();
    ~LTabbedToolBar();
    LTabbedToolBar(const LTabbedToolBar&) = delete;
    LTabbedToolBar& operator=(const LTabbedToolBar&) = delete;

    // Builds the tabs and the painted control under the id, and associates this toolbar with
    // the window's content view (kTabbedToolbarKey).
    void TabbedToolBarInit(LWindow& window, const LTabbedToolBarTab* tabs,
        const LKeyToCommandMap* keys, unsigned long keyCount, int controlId);
    void TabbedToolBarDestroy() { }
    void TabbedToolBarInitShortCutKeys(const LKeyToCommandMap* keys, unsigned long count);
    void EnableToolBarItem(int command, bool enable);
    // A list ended by 0.
    void EnableToolBarItemList(const int* commands, bool enable);
    void HideToolBarItem(int command, bool hide);
    // Every item of the command opens its drop-down by posting the command itself.
    void HandleToolBarItemDropdownWhole(LWindow& window, int command);
    // Tab 0 is the hidden placeholder, 1 the first application tab.
    void TabbedToolBarTipSet(int tabIndex, const char* text);
    void TabbedToolBarBubbleTipRun(int command, const char* text, const char* title);
    // The item's rectangle in client pixels of the window; false when there is none.
    bool GetTabbedToolBarControlBounds(int command, int& x, int& y, int& w, int& h) const;
    // Places the control at (0, y) with the width, and moves y below it.
    void TabbedToolBarLayout(int& y, int& width, int& third);
    // The height of the control (strip and button row) in pixels; 0 before initialisation.
    int GetTabbedToolBarHeight() const;
    // The selected tab (index into the tabs, 1 for the first application tab).
    int GetSelectedTab() const;
    // Shows or hides the share bar as the user asked (its context menu).
    void ShareLinkBarShow();
    void ShareLinkBarHide();

    // The window's backing scale changed: sizes and share bar follow.
    static void EvScaleFactorChange(LWindow& window);
    // The toolbar associated with the window's content view, or null.
    static LTabbedToolBar* FromWindow(LWindow& window);

    LTabbedToolBarPrivate* GetPrivate() const { return d; }

private:
    LTabbedToolBarPrivate* d;
};

// Installs the window layer's hook that tells the toolbars of a window of a scale change.
void LTabbedToolBarInstallHooks();
