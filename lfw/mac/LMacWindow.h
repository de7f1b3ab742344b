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
    bool IsWindowInitialised() const override { return fInitialised; }
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

    // Message boxes over the window (LAlert.cpp): an error titled with the product name, a
    // warning and an information box, each with one button "OK".
    void PopupBoxError(const char* text) const;
    void PopupBoxWarning(const char* text, const char* title) const;
    void PopupBoxInfo(const char* text, const char* title) const;

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
