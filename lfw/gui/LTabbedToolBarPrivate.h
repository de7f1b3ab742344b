// The inside of the tabbed toolbar: its tabs and items, the sizes, the layout done at every
// paint, the painting and the mouse handling.
#pragma once

#include "lfw/gui/LPaintControl.h"
#include "lfw/gui/LTabbedToolBar.h"
#include "lfw/gui/LToolBarShareLinkBar.h"
#include "lfw/mac/LGuiFont.h"
#include "lfw/mac/LGuiImage.h"
#include "platform/text/TextLayout.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class LRunLoopTimer;

// Type-mask bits of an item.
enum : int {
    kLTbMaskButton = 1,
    kLTbMaskToggle = 2,
    kLTbMaskGroup = 4,
    kLTbMaskSplitDropdown = 8,
    kLTbMaskWholeDropdown = 16,
    kLTbMaskSeparator = 32,
    kLTbMaskRightAlign = 64,
};

class LToolBarItemInternal {
public:
    LToolBarItemInternal() = default;
    virtual ~LToolBarItemInternal();
    LToolBarItemInternal(const LToolBarItemInternal&) = delete;
    LToolBarItemInternal& operator=(const LToolBarItemInternal&) = delete;

    // The mask of an item type (its low byte).
    static int TypeMaskGetFromItem(int type);
    void SetValues(int command, int image, const char* label, const char* tooltip, int mask,
        bool hidden, bool chevron);
    bool IsSeparator() const { return (mask & (kLTbMaskSeparator | kLTbMaskRightAlign)) != 0; }
    bool Contains(int px) const { return x <= px && px < x + width; }
    void DrawChevron(LPaintContext& context, const LWindow& window) const;

    int command = 0;
    int dropDownCommand = 0;
    int image = 0;
    char label[260] = "";
    char tooltip[260] = "";
    int x = 0, width = 0, y = 0, height = 0;
    LGuiBitmapEnabledDisabled images;
    bool imageTried = false;
    bool imageLoaded = false;
    int mask = kLTbMaskButton;
    bool hover = false, pressed = false, arrowPressed = false, tooltipShown = false;
    bool enabled = true, drawn = false, hidden = false, chevron = false, activated = false;
    bool checked = false;
    LKey key;
    char keyDescription[260] = "";
    // Measurements of the label, kept while the font size and width stay the same (a live
    // resize repaints at every step; shaping the same texts again is what it would spend).
    // The normal, disabled and pressed looks at the size they are drawn (made on first use).
    struct ScaledLook {
        cairo_surface_t* surface = nullptr;
        int size = 0;
    };
    ScaledLook scaled[3];
    void DrawLook(cairo_t* cr, int look, int x, int y, int size);
    // The label laid out as it is drawn, kept while font and width stay the same.
    std::unique_ptr<platform::text::TextLayout> labelLayout;
    const void* layoutFont = nullptr;
    int layoutWidth = -1;
    int layoutHeight = -1;
    float measuredFontSize = -1;
    int labelWidth = 0;
    int measuredWrapWidth = -1;
    int labelHeight = 0;
};

struct LTabbedToolBarTabInternal {
    int id = 0;
    std::unique_ptr<char[]> name; // null ends the tabs
    char tooltip[260] = "";
    std::unique_ptr<LToolBarItemInternal[]> items;
    int itemCount = 0;
    int x = 0, width = 0, shrink = 0;
    bool hidden = false;
    bool nameOwned = true;
    mutable float measuredFontSize = -1; // the name's width in that font size
    mutable int nameWidth = 0;
};

class LTabbedToolBarPrivate : public LPaintControlPrePaint {
public:
    struct Pen {
        bool dashed = false;
        LGuiColor color;
        int width = 1;
    };
    struct TabColours {
        Pen border;
        LGuiColor fill;
    };

    explicit LTabbedToolBarPrivate(LTabbedToolBar& owner);
    ~LTabbedToolBarPrivate() override;

    void TabbedToolBarInit(LWindow& window, const LTabbedToolBarTab* tabs,
        const LKeyToCommandMap* keys, unsigned long keyCount, int controlId);
    void AddTabs(const LTabbedToolBarTab* tabs);
    void TabbedToolBarInitShortCutKeys(const LKeyToCommandMap* keys, unsigned long count);
    void UpdateToolBarSizes();
    bool GetCommandIndex(int command, int& tab, int& item) const;
    void EnableToolBarItem(int command, bool enable);
    void HideToolBarItem(int command, bool hide);
    int TabsWidth(LPaintContext& context) const;
    int TabWidth(LPaintContext& context, int tab) const;
    void MeasureToolbarButton(LPaintContext& context, LToolBarItemInternal& item, bool rightToLeft,
        int, int& x, int top, int height) const;
    bool GetControlBounds(int command, int& x, int& y, int& w, int& h) const;
    void BubbleTipRun(int command, const char* text, const char* title);
    // Where the tip of the item with the command points (the middle of the item band's bottom
    // edge, screen pixels); false when the item does not show.
    bool BubbleTipPoint(int command, int& x, int& y) const;
    // The window's tip, shown at an item and showing still, goes to where the item is now.
    void BubbleTipFollow();
    bool IsTabUnderPoint(int tab, int x, int y, int slack) const;
    int GetTabUnderPoint(int x, int y) const;
    bool IsOverHelp(int x, int y) const;
    bool IsInItemBand(int y) const { return T <= y && y <= T + B; }
    void ShareLinkBarShow();
    void ShareLinkBarHide();

    // Layout and painting.
    void LayoutTabStrip(LPaintContext& context);
    // Places the selected tab's items; which of them are drawn (the others overflowed).
    std::vector<char> LayoutButtonRow(LPaintContext& context, LTabbedToolBarTabInternal& tab);
    void Prepaint(LPaintContext& context) override;
    void DrawTab(LPaintContext& context, const LTabbedToolBarTabInternal& tab,
        const TabColours* palette, bool hot);
    void DrawToolbar(LPaintContext& context, LTabbedToolBarTabInternal& tab);
    void DrawToolbarBackground(LPaintContext& context);
    void DrawButton(LPaintContext& context, LToolBarItemInternal& item);
    void DrawButtonDropdown(LPaintContext& context, const LToolBarItemInternal& item, int icon);
    void DrawButtonWholeDropdown(
        LPaintContext& context, const LToolBarItemInternal& item, int icon);

    // Input.
    void EvMouseIn() override { }
    void EvMouseOut() override;
    void EvMouseMove(int x, int y) override;
    void EvLButtonDown(int x, int y) override;
    void EvLButtonUp(int x, int y) override;
    void EvRButtonDown(int x, int y) override;
    void EvDoubleClick(int x, int y) override { EvLButtonDown(x, y); }
    // The keyboard, as in a toolbar: the control is one stop of Tab; Left and Right go along the
    // row of tabs (choosing each tab reached, as a click does) or along the selected tab's
    // buttons, Home and End to either end, Down from the tabs to the buttons and Up back;
    // Space and Return press the button (a tab is chosen already). Disabled buttons are passed
    // over.
    bool EvKeyDown(LKey key) override;
    bool EvKeyRepeat(LKey key) override { return EvKeyDown(key); }
    // The visible tabs, and the selected tab's buttons the keyboard reaches, in order.
    std::vector<int> KeyboardTabs() const;
    std::vector<int> KeyboardItems();
    // Where the keyboard is: on a button (its index among the selected tab's items), or on the
    // selected tab (-1).
    int GetKeyboardItem();
    // Presses the selected tab's item as a click does.
    void PressItemByKey(int index);
    void DrawKeyboardFrame(LPaintContext& context);
    void PaintControlCommand(int, int) override { }
    void EvSize() override { Update(); }
    void OpenPopupMenu(int x, int y);
    void DepressToolbarButton(int x, int y);
    void ShowChevronMenu();
    void TabToolBarUpdate(int tab);
    void ResetToolbar();
    void UpdateShareLinkBar();
    void UpdateItem(const LToolBarItemInternal& item);
    void UpdateTab(int tab);
    // The split drop-down's arrow part begins here (the divider as drawn).
    int ArrowPartX(const LToolBarItemInternal& item) const;
    // The chevron menu's entries (command, title), as the menu would list them; separators 0.
    struct ChevronEntry {
        bool separator;
        int command;
        std::string title;
        bool enabled;
        bool checked;
        LKey key;
    };
    std::vector<ChevronEntry> ChevronMenuEntries() const;

    double Scale() const;
    float CharWidth() const;
    float CharHeight() const;
    LTabbedToolBarTabInternal* SelectedTab();
    int TabCount() const { return int(fTabs.size()); }
    LTabbedToolBarTabInternal& Tab(int i) { return fTabs[size_t(i)]; }
    // The tooltip of the host view (what the pointer shows next), and where it applies.
    void SetControlTip(const char* text, int x, int y, int w, int h);
    void ClearControlTip();
    const std::string& ControlTip() const { return fTip; }

    LTabbedToolBar& owner;
    int iControlId = 0;
    std::vector<LTabbedToolBarTabInternal> fTabs;
    int iSelectedTab = 1;
    int iHotTab = -1;
    int iPressedTab = -1;
    int iKeyItem = -1; // the keyboard's button, -1 on the selected tab
    // Sizes in pixels.
    int T = 26, G = 2, H = 24, minTabWidth = 74, M = 4, B = 59;
    int iconSize = 32;
    TabColours fSelectedColours, fHotColours;
    Pen fLinePen, fButtonPen;
    LGuiFont fFont, fSmallFont;
    LGuiBitmapEnabledDisabled fHelpImage;
    int iHelpX = 0, iHelpY = 0;
    int iPressedPart = 0;
    bool bInsidePressedPart = false;
    bool bOverHelp = false;
    int iHelpTipShown = 0;
    int iBubbleTipCommand = 0; // the item the window's tip was shown at
    bool bBubbleTipFollows = false; // the items were laid out anew: placed with the next paint
    LToolBarItemInternal* pPressedItem = nullptr;
    std::unique_ptr<LRunLoopTimer> fResetTimer;
    std::recursive_mutex fTimerMutex;
    LToolBarShareLinkBar fShareBar;
    bool bShareBarShown = false;
    bool bShareBarWanted = true;
    LPoint fChevronAnchor;
    std::chrono::steady_clock::time_point fChevronClosed {};
    int iChevronMenus = 0; // how often the overflow menu opened
    std::string fTip;
    cairo_surface_t* fRowColumn = nullptr; // one column of the button row's gradient
    bool bDestroying = false;
    // Gone when the toolbar is: a command handler may close the window under a handler.
    std::shared_ptr<int> fAlive = std::make_shared<int>(0);
    // Hooks for tests: the chevron menu is shown by this function when set (instead of GTK).
    static void (*pfnShowChevronMenu)(LTabbedToolBarPrivate& toolbar, LPopupMenu& menu);
};
