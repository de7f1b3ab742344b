// A painted strip of tabs in the manner of a document browser: tabs sized to their caption, an
// optional superscript text and close box per tab, the selected tab drawn raised and joined to
// the baseline, and scroll buttons at both ends when the tabs do not fit, with smooth eased
// scrolling. The owner window embeds the bar as a member, binds it to a painted-control host and
// gets its commands (selection changing and changed, close, context menu) through Command.
//
// The bar is a stop of the Tab key, as a notebook's tabs are. Left and Right go from tab to tab,
// and while close boxes show from a tab to its close box and on to the next tab, choosing the
// tab of each place they reach as a click on it does; Home and End go to the first and the last
// place; Space and Return on a close box close its tab (on a tab they do nothing more, the tab
// being chosen already); Ctrl+Page Up and Ctrl+Page Down choose the tab before or after the
// chosen one, from the last round to the first. The keyboard's place is framed in the focus
// colour while the window shows where the focus is.
//
// All sizes are device pixels of the control. The scroll offset is 0 or negative (how far the
// tabs are shifted left); the tabs may use the strip between the two scroll-button margins of
// half the control's height each.
#pragma once

#include "lfw/gen/LLockObject.h"
#include "lfw/gui/LPaintControl.h"
#include "lfw/mac/cocoa/LKey.h"
#include "platform/ui/LRunLoop.h"

#include <cstdint>
#include <memory>

class LTab {
public:
    LTab* next = nullptr;
    char text[260] = "";
    // Shown while the pointer is over the tab; empty for none.
    char tooltip[260] = "";
    // Small text after the caption; empty for none.
    char superscriptText[260] = "";
    // The owner's value (typically the object the tab stands for).
    unsigned long dataTag = 0;
    // Whether the tab gets a close box when close boxes are shown.
    bool closable = true;
    // Set by the layout: left, top, right, bottom.
    int tabRect[4] = { 0, 0, 0, 0 };
    int textRect[4] = { 0, 0, 0, 0 };
    int superscriptRect[4] = { 0, 0, 0, 0 };
    int closeRect[4] = { 0, 0, 0, 0 };
    int width = 0;

private:
    friend class LTabBar;
    // Measured widths and what they were measured for, so that a layout measures a text only
    // when it or the font size changed.
    struct Measured {
        char text[260] = "";
        int pixels = -1;
        int width = 0;
    };
    Measured captionCache;
    Measured superscriptCache;
};

class LTabBar : public LPaintControlPrePaint {
public:
    LTabBar();
    ~LTabBar() override;

    // Binds the bar to the painted-control host under the id and lays the tabs out.
    void Init(LWindow& window, int id);

    // The command ids sent to the owner window; 0 sends none.
    void SetCommandIds(uint16_t selectionChanging, uint16_t selectionChanged, uint16_t close,
        uint16_t contextMenu);
    // The shortcut described in the close box's tooltip of the selected tab.
    void SetCloseShortcut(LKey key) { closeKey = key; }
    void SetMiddleClickCloses(bool on) { bMiddleClickCloses = on; }
    // All tabs one width (on) instead of sized to their captions.
    void SetFixedTabWidth(bool on, int width);

    // --- Tabs.
    // Appends a tab (text cut to 259 bytes, closable, no tooltip or superscript) and lays out;
    // neither selects nor scrolls.
    LTab* AddTab(const char* text, unsigned long dataTag);
    // Clears every reference to the tab, frees it, lays out and clamps the offset. A tab of
    // another bar is ignored.
    void RemoveTab(LTab& tab);
    void RemoveTabWithDataTag(unsigned long dataTag);
    void RemoveAllTabs();
    LTab* GetTabWithDataTag(unsigned long dataTag) const;
    LTab* GetTabAtIndex(unsigned int index) const;
    unsigned int GetTabCount() const;
    bool HasTab(const LTab* tab) const;
    // Selects without sending a command and brings the tab fully into view at once.
    void SelectTab(LTab& tab);
    void SelectTabAtIndex(unsigned int index);
    LTab* GetSelectedTab() const { return selectedTab; }
    void SetTabText(LTab& tab, const char* text);
    void SetTabTextAtIndex(unsigned int index, const char* text);
    void ShowCloseButtons(bool show);
    bool AreCloseButtonsShown() const { return bShowCloseButtons; }
    // The tab of the last close command and of the last context-menu command.
    LTab* GetTabToClose() const { return tabToClose; }
    LTab* GetContextTab() const { return contextTab; }

    // --- Scrolling.
    int GetScrollOffset() const { return scrollOffset; }
    // The offset at which the last tab's right edge meets the right button margin (0 when all
    // tabs fit the strip).
    int GetLowestScrollOffset() const;
    void ScrollLeft();
    void ScrollRight();
    void ScrollToShowTab(const LTab& tab);
    // Eases the offset over ms / 10 steps of 10 ms (at least one) until the tab shows at the
    // margin on the side it lies towards.
    void ScrollToShowTabAnimated(const LTab& tab, int milliseconds);
    bool CanScrollLeft() const;
    bool CanScrollRight() const;
    bool IsAnimating() const;
    LTab* GetFirstVisibleTab(int margin) const;
    LTab* GetLastVisibleTab(int margin) const;
    void ClampScrollOffset();
    void LayoutTabs();

    // --- Keyboard.
    // Chooses the tab before (step < 0) or after (step > 0) the selected one as a click on it
    // does, from the last round to the first (the first when none is selected); false when there
    // is no tab to choose.
    bool SelectNeighbourTab(int step);
    // Where the keyboard is: a tab (the selected one until the keys go elsewhere), and whether
    // on its close box rather than on the tab itself.
    LTab* GetKeyboardTab() const;
    bool IsKeyboardOnCloseBox() const;

    // --- Hit tests (device pixels of the control).
    LTab* MapPointToTab(int x, int y, bool ignoreScrollButtons) const;
    LTab* MapPointToTabCloseButton(int x, int y) const;
    bool IsPointOverScrollButtonLeft(int x, int y) const;
    bool IsPointOverScrollButtonRight(int x, int y) const;
    bool IsPointOverScrollButton(int x, int y) const;

    // --- State, as the painting reads it.
    LTab* GetHotTab() const { return hotTab; }
    LTab* GetPressedTab() const { return pressedTab; }
    LTab* GetHotCloseTab() const { return hotCloseTab; }
    LTab* GetClosePressedTab() const { return closePressedTab; }
    bool IsScrollButtonLeftHot() const { return bLeftHot; }
    bool IsScrollButtonRightHot() const { return bRightHot; }
    bool IsSelectedTabVisible() const { return bSelectedVisible; }
    // The width of the text in the face at a height of pixels, rounded up (device pixels).
    int GetTextWidth(const char* text, const char* face, int pixels) const;
    // The font size (device pixels) of a text that is pixels high.
    float GetFontSize(int pixels) const;

    // --- Events.
    void EvMouseOut() override;
    void EvMouseMove(int x, int y) override;
    void EvLButtonDown(int x, int y) override;
    void EvLButtonUp(int x, int y) override;
    void EvRButtonUp(int x, int y) override;
    void EvRButtonDown(int x, int y) override;
    void EvMButtonUp(int x, int y) override;
    void EvMButtonDown(int x, int y) override;
    void EvDoubleClick(int x, int y) override;
    bool EvKeyDown(LKey key) override;
    bool EvKeyRepeat(LKey key) override;
    void EvSize() override;
    void EvTimer(int id);
    void Prepaint(LPaintContext& context) override;

private:
    int Half() const { return mHeight / 2; }
    int M(double k) const;
    int N(double k) const;
    float CharHeight() const;
    int CloseBoxWidth() const;
    int GetTabWidth(LTab& tab) const;
    int CaptionWidth(LTab& tab) const;
    int SuperscriptWidth(LTab& tab) const;
    int TotalWidth() const;
    bool Overflows() const;
    void ScrollLeftUpdate();
    void ScrollRightUpdate();
    void StartAnimation(const LTab& tab, int frames);
    void ArmTimer(int id);
    void StopTimer(int id);
    // Sends the command to the owner; false when the bar was destroyed meanwhile.
    bool Send(uint16_t id);
    // Chooses the tab as a click on it does (the commands around the selection); false when the
    // bar was destroyed meanwhile.
    bool ChooseTab(LTab* tab);
    // Closes the tab as a click on its close box does; false as above.
    bool CloseTabByKey(LTab* tab);
    void SetToolTip(const char* text);
    void ClearReferences(const LTab* tab);

    // Painting (Prepaint's steps).
    void DrawTab(LPaintContext& context, LTab& tab);
    void DrawSelectedTab(LPaintContext& context);
    void FillTabBackground(LPaintContext& context, LTab& tab);
    void DrawTabTexts(LPaintContext& context, LTab& tab);
    void DrawTabCloseButton(LPaintContext& context, LTab& tab);
    void DrawScrollButtons(LPaintContext& context);
    void DrawScrollButton(LPaintContext& context, bool left);
    void DrawKeyboardFrame(LPaintContext& context);

    static void TimerAction(LRunLoopTimer* timer, void* data);

    LTab* firstTab = nullptr;
    LTab* selectedTab = nullptr;
    LTab* hotTab = nullptr;
    LTab* pressedTab = nullptr;
    LTab* hotCloseTab = nullptr;
    LTab* closePressedTab = nullptr;
    LTab* tabToClose = nullptr;
    LTab* contextTab = nullptr;
    // The tab the keyboard is on when it is not the selected one's place (a close box).
    LTab* keyTab = nullptr;
    bool bKeyOnClose = false;
    int scrollOffset = 0;
    bool bSelectedVisible = false;
    bool bShowCloseButtons = false;
    bool bMiddleClickCloses = false;
    bool bLeftHot = false;
    bool bRightHot = false;
    bool bLeftPressed = false;
    bool bRightPressed = false;
    bool bContinuousLeft = false;
    bool bContinuousRight = false;
    int animationStart = 0;
    int animationEnd = 0;
    uint64_t animationFrames = 0;
    uint64_t animationFrame = 0;
    LRunLoopTimer timer1;
    LRunLoopTimer timer2;
    LLockObject timer1Lock;
    LLockObject timer2Lock;
    bool bFixedWidth = false;
    int fixedWidth = 0;
    uint16_t cmdSelectionChanging = 0;
    uint16_t cmdSelectionChanged = 0;
    uint16_t cmdClose = 0;
    uint16_t cmdContextMenu = 0;
    LKey closeKey;
    char szCloseTooltip[260] = "Stäng den här fliken";
    // Cleared when the bar goes, so that an event handler sees that a command destroyed it.
    std::shared_ptr<bool> fAlive = std::make_shared<bool>(true);
};
