// The window object of the framework: every window, dialog, panel, property page and embedded
// pane is an LMacWindow (called LWindow in signatures). It owns a real window (a window or a
// panel, with its window manager) or, when embedded, only a content view inside another window.
// It creates the window, runs it modally or floating, routes commands to its virtual Command,
// re-evaluates its controls after every command, and tears the window down.
#pragma once

#include "lfw/mac/cocoa/LCocoaWindow.h"

class LView;
class LNativeWindow;
class LCocoaTooltipImpl;
class LCocoaResizableBridge;
class LKeyToCommandMap;
class LMacWindow;
class LCocoaListViewImpl;
class LCocoaTreeViewImpl;
class LCocoaTreeNode;
struct LListFlags;
struct LTreeFlags;
struct LVColDynamicGlobal;

using LWindow = LMacWindow;

// Where InitCommon places a window that InitDialog did not place itself.
enum LCocoaDialogCenterMode {
    kLCocoaDialogCenterNone = 0, // leave it where it is
    kLCocoaDialogCenterParent = 1, // over the parent window
    kLCocoaDialogCenterScreen = 2, // on the screen
};

// Told when a window is torn down ("LMacWindowDestroyNotification"), with its native window
// (null for an embedded window).
using LMacWindowDestroyObserver = void (*)(LNativeWindow* window, void* data);

class LMacWindow : public LCocoaWindow {
public:
    LMacWindow();
    ~LMacWindow() override;

    // Creation.
    void CreateCocoaWindow(
        int widthPixels, int heightPixels, unsigned long styleMask, bool panel, LView* parentView);
    LView* CreateEmbeddedWindow(LWindow& host, bool horizontalScroller, bool verticalScroller);
    // Stores a view (from CreateEmbeddedWindow) as this window's content view and associates
    // this window with it.
    void SetContentView(LView* view);
    void SetParent(LWindow* parent);
    LWindow* GetRealParent() const;

    // Showing and running.
    void InitCommon(LCocoaDialogCenterMode mode, bool show);
    void ShowWindow(bool show);
    bool RunModal(LWindow* parent, LCocoaDialogCenterMode mode);
    bool RunFloating(LWindow* parent, LCocoaDialogCenterMode mode, bool show);
    void DestroyCommon();

    void EvWindowDidBecomeKey() override;
    void EvWindowDidResignKey() override;
    void CenterDialog();
    void CenterToParent();
    void RedrawWindow() override;
    void SetCaption(const char* text);
    bool IsRealWindow() const { return fRealWindow; }
    bool IsWindowEnabled() const;
    bool IsWindowVisible() override;
    static bool IsWindowVisible(LView* view);
    static bool IsWindowReallyVisible(LView* view);
    bool IsWindowInFullScreen() const;
    static void EnableWindow(LView* view, bool enable);
    bool IsCaptured() const;
    void ResizableHandlerSet(LCocoaResizableBridge* handler);
    static LView* GetFocus();
    bool IsEditControlFocus() const;
    bool DoesFocusedControlWantArrowKeys() const;
    // Device pixels per point of the window (never below 1), and of the window of a view.
    double GetBackingScaleFactor() const;
    static double GetBackingScaleFactor(LView* view);

    bool IsInitialised() const { return fInitialised; }
    bool IsModalRunning() const { return fModalRunning; }
    int CentringDone() const { return fCentringDone; }
    bool IsPanel() const { return fPanel; }
    bool LayoutFlag() const { return fLayout; }
    void SetLayoutFlag(bool layout) { fLayout = layout; }

    // Virtual operations, in the order of their slots (after LCocoaWindow's).
    void Close(int code) override;
    void Close() override { Close(kLCmdCancel); }
    void Command(int id, int code) override;
    virtual void CmHelp();
    void EvShow() override { }
    void EvHide() override { }
    virtual void EvActivate() { }
    virtual void EvDeactivate() { }
    virtual void WindowSizeSettingsStore(const char* key) { (void)key; }
    // --- List and tree views by id. Every call on an id that is no list (or no tree) answers
    // -1, 0, null or an empty buffer and changes nothing.
    LCocoaListViewImpl* AddList(int id, const LListFlags& flags);
    LCocoaListViewImpl* AddList(int id, const LListFlags& flags, int x, int y, int w, int h);
    LCocoaTreeViewImpl* AddTreeView(int id, const LTreeFlags& flags);
    LCocoaListViewImpl* ListViewGetImplById(int id) const;
    LCocoaTreeViewImpl* TreeViewGetImplById(int id) const;
    void LVInit(int id, const LVColDynamicGlobal* cols, const char* settings);
    void LVInit(int id, const LVColDynamicGlobal* cols) { LVInit(id, cols, nullptr); }
    void LVDestroy(int id);
    void LVMovePixels(int id, const LVColDynamicGlobal* cols, int x, int y, int w, int h);
    void LVAdjustColumns(int id, const LVColDynamicGlobal* cols);
    void LVSetStyleDefaultText(int id, const char* text);
    int LVAddString(int id, const char* text, int image, unsigned long data, int);
    // Column texts ending with a null pointer; the new row's number or -1.
    int LVAddRow(int id, ...);
    void LVSetColumnString(int id, int row, int column, const char* text);
    char* LVGetString(int id, int row, char* buf); // 260 bytes
    unsigned long LVGetItemData(int id, int row);
    void LVClear(int id);
    void LVShowColumn(int id, int column, bool show);
    int LVGetSelCount(int id);
    int LVGetFirstSel(int id);
    int LVGetCurSel(int id) { return LVGetFirstSel(id); }
    void LVSetCurSel(int id, int row);
    void LVSelectNone(int id);
    void HandleLVSelChange(int id, int cmd);
    void HandleLVDoubleClick(int id, int cmd);
    void TVInit(int id);
    void TVSetImages(int id, const unsigned int* images);
    void HandleTVSelChange(int id, int cmd);
    LCocoaTreeNode* TVAddItemFirst(
        int id, const char* text, int image, unsigned long data, LCocoaTreeNode* parent);
    LCocoaTreeNode* TVAddItemSorted(
        int id, const char* text, int image, unsigned long data, LCocoaTreeNode* parent);
    LCocoaTreeNode* TVGetRoot(int id);
    LCocoaTreeNode* TVGetSel(int id);
    void TVSelectItem(int id, LCocoaTreeNode* node);
    char* TVGetText(int id, LCocoaTreeNode* node, char* buf); // 260 bytes

    // The menu operations: the main window serves them; for every other window they do nothing.
    virtual void EnableMenuItem(int, bool) { }
    virtual void EnableMenuItemList(const int*, bool) { }
    virtual void EnableMenuItemRange(int, int, bool) { }
    virtual void EnableMenuItems(const int*, bool) { }
    virtual void CheckMenuItem(int, bool) { }
    virtual void CheckMenuRadioItem(int, int, int) { }
    virtual void SetMenuItemText(int, const char*) { }
    virtual void SetMenuItemText(int, const char*, unsigned int) { }
    virtual void SetMenuItemText(int, const char*, const LKeyToCommandMap*, unsigned long) { }
    virtual void RemoveMenuItem(int) { }
    virtual void InsertMenuItem(int, int, const char*, unsigned int) { }
    virtual void InsertMenuItemSeparator(int) { }
    virtual void InsertMenuItemSeparator(int, int) { }

    static void AddDestroyObserver(LMacWindowDestroyObserver observer, void* data);
    static void RemoveDestroyObserver(LMacWindowDestroyObserver observer, void* data);

protected:
    LCocoaTooltipImpl* fBubbleTip = nullptr; // the window's one bubble tip, once tips exist
    bool fPanel = false;
    bool fEmbeddedInHost = false; // shown, hidden, sized and redrawn through fHostView
    bool fEmbeddedInHostAlt = false;
    LScrollView* fHostScrollView = nullptr; // an embedded window's host scroll view
    LView* fHostView = nullptr; // the view of that scroll view
    bool fInitialised = false;
    int fCentringDone = 0;
    bool fModalRunning = false;
    bool fLayout = true;

private:
    LView* EmbeddedTarget() const;
    LNativeWindow* ContentWindow() const;
};
