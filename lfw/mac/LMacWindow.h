// The window object of the framework: every window, dialog, panel, property page and embedded
// pane is an LMacWindow (called LWindow in signatures). It owns a real window (a window or a
// panel, with its window manager) or, when embedded, only a content view inside another window.
// It creates the window, runs it modally or floating, routes commands to its virtual Command,
// re-evaluates its controls after every command, and tears the window down.
#pragma once

#include "lfw/graphics/LGeometry.h"
#include "lfw/mac/cocoa/LCocoaWindow.h"
#include "platform/ui/LUiTypes.h"

#include <vector>

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
struct LUiScreen;
struct LTreeFlags;
struct LVColDynamicGlobal;
class LPopupMenu;
class LCocoaButtonImpl;
class LGuiFont;
class LGuiBrush;
struct LGuiColor;
struct LButtonFlags;
struct LInputFlags;
struct LStaticFlags;
struct LEditFlags;
struct LTrackBarFlags;
struct LGroupBoxFlags;
class LCocoaEditViewImpl;
class LCocoaPullDownListImpl;
class LCocoaComboBoxImpl;
class LCocoaTrackBarImpl;
class LCocoaInputUpDownImpl;
class LCocoaHyperLinkImpl;
class LCocoaImageControlImpl;
class LGuiIcon;
template <class T> class LStringLongTemplate;

// A bubble tip a window shows at one of its controls, and a tip that follows the mouse.
struct BubbleTip {
    LCocoaTooltipImpl* tip = nullptr; // owned by whoever made it
    LView* control = nullptr; // the control it points at (not held)
};
struct TrackableTip {
    LCocoaTooltipImpl* tip = nullptr;
};

using LWindow = LMacWindow;

// Installs what the window layer gives the layers below (control fonts and scales for the fonts,
// the bubble tip of refused edits, the focus colour of the theme). Idempotent; the first window
// object calls it.
void LMacWindowInstallServices();

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
    // Close was called: the window is ending (its run stopped or it is being torn down).
    bool IsClosing() const { return fClosed; }
    int CentringDone() const { return fCentringDone; }
    bool IsPanel() const { return fPanel; }
    bool LayoutFlag() const { return fLayout; }
    void SetLayoutFlag(bool layout) { fLayout = layout; }
    // The controls were laid out anew: the places of the controls written for tests of the
    // whole program, when they are this window's, are written again.
    void ControlsLaidOut();

    // Virtual operations, in the order of their slots (after LCocoaWindow's).
    void Close(int code) override;
    void Close() override { Close(kLCmdCancel); }
    void Command(int id, int code) override;
    virtual void CmHelp();
    void EvShow() override { }
    void EvHide() override { }
    virtual void EvActivate() { }
    virtual void EvDeactivate() { }
    virtual void WindowSizeSettingsStore(const char* key);
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

    // Message boxes over the window (LAlert.cpp): an error titled with the product name, a
    // warning and an information box, each with one button "OK".
    void PopupBoxError(const char* text) const;
    void PopupBoxWarning(const char* text, const char* title) const;
    void PopupBoxInfo(const char* text, const char* title) const;

    // Context menus: at the mouse (its right edge there when rightAlign), or at a point of the
    // window in pixels with the menu's left or right edge there.
    void DisplayPopupMenu(LPopupMenu& menu, bool rightAlign);
    void DisplayPopupMenuAtPointLeftAlign(LPopupMenu& menu, const LPoint& point);
    void DisplayPopupMenuAtPointRightAlign(LPopupMenu& menu, const LPoint& point);

    // A value read from the views in backing pixels: rounded half up.
    static int RoundPixels(double v);

    // --- Geometry, in backing pixels with the origin at the top left of the client area (which
    // on a real window includes the toolbar) or of the screen.
    void GetClientSize(int& w, int& h);
    void GetClientSizeMinusToolbarMinusStatusBar(int& w, int& h);
    void GetWindowSize(int& w, int& h);
    void GetWindowPosition(int& x, int& y);
    void SizeWindowPixels(int w, int h) { SizeDialogPixelsMac(w, h, false); }
    // The client area becomes w x h (0 counts as 1); the top edge stays where it was. A window
    // that cannot be resized never becomes larger than the work area of its screen holds (a
    // large text on a small screen): it is made as large as it holds, its button row
    // (LayoutOkCancelHelp) stands at its bottom, and the other controls scroll above the row at
    // the places they were given, in pixels of the whole w x h.
    void SizeDialogPixelsMac(int w, int h, bool animate);
    // Puts the window's outer frame at the screen position.
    void MoveWindowPixels(int x, int y);
    // A pixel rectangle of the screen in points (flip: y is a screen position).
    LUiRect ConvertToCocoaRectWindow(int x, int y, int w, int h, bool flip);
    void GetWindowMinSizePixels(int& w, int& h);
    void MinimumSizeSet(int w, int h);
    // The smallest size stays the same in points: its pixels follow the new scale.
    void EvBackingScaleChanged() override;
    // The largest client area (as GetClientSize) that the work area of the window's screen
    // holds with what stands around the window; 0 x 0 when not known.
    void GetLargestClientSizePixels(int& w, int& h);
    // How much larger the interface's text is than the text that sizes given in points (the
    // rectangles of a generated template, fixed widths of columns and buttons) were made for;
    // never below 1. Such sizes grow by it, so that their texts stay whole at a larger font.
    static double TextScale();
    // The controls a template's generator placed at its rectangles (points) grow with the text
    // (TextScale): their places and sizes are multiplied by it. Their rectangles are kept, so
    // that they take their places again at another text size.
    void ScaleTemplateControls();
    // The desktop's text size changed: the template's controls take their places at the new
    // size, and the controls' own fonts grow or shrink with the text.
    void EvTextSizeChanged() override;
    static void ConvertFromCocoaPoint(LView* view, LUiPoint p, int& x, int& y);
    // A client pixel position as a screen point (points).
    LUiPoint ConvertToCocoaPointScreen(int x, int y);
    // A point of the view (pixels) becomes a screen position (pixels); nothing when the view's
    // window is gone.
    static void ClientToScreen(LView* view, LPoint* p);
    static void _GetControlAbsoluteScreenPositionPixels(LView* control, int& x, int& y);
    static int GetToolbarHeightPixels(LView* view);
    static int GetStatusbarHeightPixels(LView* view);
    static int GetTitlebarHeightPixels(LView* contentView);
    void WindowSizeSettingsRestore(const char* key, int defaultWidth, int defaultHeight,
        int minWidth, int minHeight, bool defaultMaximized);
    // The monitor the window stored under the key stood on (the nearest one when that monitor
    // is gone); false when no place is stored.
    bool StoredScreen(const char* key, LUiScreen& screen);

    // --- Controls by id (the view's tag).
    static LView* GetControlHandle(LView* contentView, int id);
    LView* GetControlHandle(int id) const { return GetControlHandle(GetContentView(), id); }
    LView* ControlGetRealControlHandle(int id) const;
    static LWindow* GetControlParent(LView* view);
    void MoveControlPixels(int id, int x, int y, int w, int h);
    // Controls that scroll (where the window cannot show them all): the controls of the ids
    // are moved into the document of a scroll view of the window's own (made on first use, with
    // a vertical bar that shows when needed). They are still the window's: found by id, sent
    // commands, and placed with MoveControlPixels, in pixels of the document. The scroll view
    // stands at the rectangle (pixels) and its document is as wide as it leaves beside its bar
    // and documentHeight high.
    void ScrollControls(
        const int* ids, size_t count, int x, int y, int w, int h, int documentHeight);
    // The document of that scroll view; null when the window has none.
    static LView* ScrolledControlsDocument(LView* contentView);
    void MoveControlPixels(LView* view, int x, int y, int w, int h);
    void GetControlPixels(int id, int& x, int& y, int& w, int& h);
    void SetControlHeightPixels(int id, int h);
    void ShowControl(int id, bool show);
    static void _ShowControl(LView* view, bool show);
    static bool _IsControlVisible(LView* view);
    void EnableControl(int id, bool enable);
    static void EnableControl(LView* view, bool enable);
    void SetFocus(int id);
    static void _SetFocus(LView* view);
    bool IsControlFocus(int id);
    static bool _IsControlFocus(LView* view);

    LView* AddStatic(int id, const char* text, const LStaticFlags& flags);
    LView* AddStatic(int id, const char* text);
    LView* AddStatic(int id, const LStaticFlags& flags);
    LView* AddStatic(int id);
    LView* AddStatic(
        int id, const char* text, const LStaticFlags& flags, int x, int y, int w, int h);
    LCocoaButtonImpl* AddButton(int id, const char* text, const LButtonFlags& flags);
    LCocoaButtonImpl* AddButton(int id, const char* text);
    LCocoaButtonImpl* AddButton(int id);
    LCocoaButtonImpl* AddButton(int id, const LButtonFlags& flags);
    LCocoaButtonImpl* AddButton(
        int id, const char* text, const LButtonFlags& flags, int x, int y, int w, int h);
    LCocoaButtonImpl* AddPushButton(int id, const char* text, int x, int y, int w, int h);
    LCocoaButtonImpl* AddSpecialButton(int id, const char* text);
    LCocoaButtonImpl* AddOk(int x, int y, int w, const char* text);
    LCocoaButtonImpl* AddCancel(int x, int y, int w);
    LCocoaButtonImpl* AddCancel(int x, int y, int w, const char* text);
    LCocoaButtonImpl* AddHelp(int x, int y);
    void AddOkCancel(const char* okText);
    void AddOkCancelHelp();
    LCocoaButtonImpl* AddCoolButtonTextOnly(int id, const char* text);
    LCocoaButtonImpl* AddCoolButtonIconOnly(int id);
    LCocoaButtonImpl* AddCoolButtonIconText(int id, const char* text);
    LCocoaButtonImpl* AddCheckBox(int id, const char* text);
    LCocoaButtonImpl* AddCheckBox(int id, const char* text, int x, int y, int w, int h);
    LCocoaButtonImpl* AddRadioButton(int id, const char* text);
    LCocoaButtonImpl* AddRadioButton(int id, const char* text, int x, int y, int w, int h);
    LView* AddRadioButtonGroup();
    // The host view of a painted control under the id (unplaced, or at a pixel rectangle).
    LView* AddPaintControl(int id);
    LView* AddPaintControl(int id, int x, int y, int w, int h);
    LView* AddInput(int id, const LInputFlags& flags);
    LView* AddInput(int id, const LInputFlags& flags, int x, int y, int w);
    static void ButtonInit(LCocoaButtonImpl* button, const LButtonFlags& flags);
    void _SetButtonStyleOk(int id);
    void _SetButtonStyleCancel(int id);

    void HandleEditTextChange(int id, int cmd);
    void HandleEditTextFocusLost(int id, int cmd);
    void HandleEditControlFilter(int id, bool (*filter)(LWindow&, const char*));

    // --- Control contents.
    void SetText(int id, const char* text);
    void SetEditText(int id, const char* text) { SetText(id, text); }
    char* GetText(int id, char* buffer, unsigned long size);
    void GetText(int id, LStringLongTemplate<char>& text);
    void GetEditText(int id, LStringLongTemplate<char>& text) { GetText(id, text); }
    void SetStaticText(int id, const char* text);
    void GetStaticText(int id, char* buffer); // 260 bytes
    void SetButtonText(int id, const char* text);
    void GetButtonText(int id, char* buffer); // 260 bytes
    void TextPromptSet(int id, const char* prompt);
    void SetStaticTextColor(int id, const LGuiColor& color);
    void SetStaticTextBackgroundColor(int id, const LGuiBrush& brush);
    void SetCheck(int id, bool on);
    void SetRadioCheck(int id, bool on);
    bool GetCheck(int id);
    bool GetRadioCheck(int id);

    // Measuring, in backing pixels.
    int MeasureStaticTextWidthPixels(const char* text);
    int MeasureStaticTextWidthPixels(int id);
    int MeasureTextWidth(int id);
    int MeasureTextWidth(int id, const char* text);
    int MeasureTextHeight(int id, int widthPixels);
    int MeasureTextHeight(int id, const char* text, int widthPixels);
    int MeasureTextHeight(const char* text, int widthPixels);
    int MeasureStaticTextHeightPixels(const char* text, int widthPixels);
    int MeasureStaticTextHeightPixels(int id, int widthPixels);
    // Lines of the text in the font (family, size in points) at widthPixels, as the height of
    // that many label lines.
    static int MeasureTextHeight(
        const char* family, double pointSize, double scale, const char* text, int widthPixels);
    int MeasureButtonWidthPixels(const char* text);
    int MeasureButtonWidthPixels(int id);
    int MeasureCheckBoxWidthPixels(int id);
    int GetCommandButtonWidthPixels();
    void TrimTextToRect(char* text, const LRectangle& rect, int id, bool vertical);

    // The OK, Cancel and Help row at the bottom of the rectangle: of the portion of it the window
    // shows, for a window that cannot be resized and is larger than the work area holds (see
    // SizeDialogPixelsMac).
    void LayoutOkCancelHelp(int x, int y, int w, int h);
    void LayoutOkCancelHelpSpecial(int id, int x, int y, int w, int h);

    // Bubble tips at controls and points, and tips that follow the mouse.
    void BubbleTipShow(BubbleTip& tip, int id, const char* text, int, const char*);
    void BubbleTipSetText(BubbleTip& tip, const char* text);
    void BubbleTipMove(BubbleTip& tip);
    void BubbleTipHide(BubbleTip& tip);
    void BubbleTipHide() override; // the window's own tip
    // The window's own tip, while it shows: at its control, or at the place in the window it
    // was shown at (the window moved).
    void BubbleTipFollow() override;
    // The window's own tip, shown at a point and showing still, moved to a point of the screen
    // (pixels) where what it points at stands now; the time it shows is not lengthened.
    void BubbleTipFollowAbsolute(int x, int y);
    void BubbleTipShowAbsolute(const char* text, int x, int y, int, const char*, bool);
    void BubbleTipMoveAbsolute(BubbleTip& tip, int x, int y);
    void TrackableTipShow(TrackableTip& tip, LView*, const char* text, int x, int y, const char*);
    void TrackableTipSetText(TrackableTip& tip, const char* text);
    void TrackableTipMove(TrackableTip& tip, int x, int y);
    void TrackableTipHide(TrackableTip& tip);
    void TrackableTipShowDialog(
        TrackableTip& tip, int id, const char* text, int x, int y, const char*);
    // The window's own bubble tip (made on first use).
    BubbleTip& GetBubbleTip();

    // Tooltips of controls by id, with the shortcut of the control's command when a key table
    // has one: "Höj markering (Ctrl+=)". The table object only remembers the window that set it.
    struct LToolTip {
        LMacWindow* window = nullptr;
    };
    struct ToolListItem {
        int id;
        const char* text;
    };
    void AddTools(LToolTip& tip, const ToolListItem* items, unsigned long count,
        const LKeyToCommandMap* keys, unsigned long keyCount);
    // The control's tooltip (an empty text removes it); the rectangle is not used (the tip shows
    // over the whole control).
    void UpdateTool(LToolTip& tip, int id, const char* text, const LRectangle* rect,
        const LKeyToCommandMap* keys, unsigned long keyCount);

    // Control fonts: sizes in backing pixels.
    static void GetControlFont(LView* view, LGuiFont& font);
    static void SetControlFont(LView* view, LGuiFont& font);

    // --- Edit views, pull-down lists, combo boxes, track bars, up-down inputs, progress bars,
    // images, group boxes, lines and links.
    LView* AddEdit(int id, const LEditFlags& flags);
    LView* AddEdit(int id);
    LCocoaPullDownListImpl* AddPullDownList(int id);
    LCocoaPullDownListImpl* AddPullDownList(int id, int x, int y, int w, int h);
    LCocoaComboBoxImpl* AddComboBox(int id, bool numeric);
    LCocoaTrackBarImpl* AddHTrackBar(int id, const LTrackBarFlags& flags);
    LCocoaInputUpDownImpl* AddInputUpDown(int id, const LInputFlags& flags);
    LCocoaInputUpDownImpl* AddInputUpDown(int id, const LInputFlags& flags, int x, int y, int w);
    LView* AddProgressBar(int id);
    LView* AddHLine(int id);
    LView* AddHLine(int id, int x, int y, int w);
    LCocoaImageControlImpl* AddBitmap(int id, int x, int y, int w, int h);
    LCocoaImageControlImpl* AddIcon(int id, int resourceId, int x, int y, int w, int h);
    LView* AddGroup(int id, const char* title);
    LView* AddGroup(int id, const char* title, int x, int y, int w, int h);
    LView* AddGroup(
        int id, const char* title, const LGroupBoxFlags& flags, int x, int y, int w, int h);
    LView* AddHyperLink(int id, const char* text);
    LCocoaHyperLinkImpl* AddHyperLink(
        int id, const char* text, const char* url, int x, int y, int w, int h);
    LCocoaHyperLinkImpl* AddHyperLinkWithStyle(
        int id, const char* text, const char* url, int align, int x, int y, int w, int h);
    // The edit view of the id (inside the scroll view that carries the id, or itself).
    LCocoaEditViewImpl* EditViewGetImpl(int id) const;

    void HandleHTBChange(int id, int cmd);
    void HandleHTBEnd(int id, int cmd);
    void HandlePDLSelChange(int id, int cmd);
    void HLInit(int id, const char* url);
    void HLInit(int id) { HLInit(id, ""); }
    void EditPromptSet(int id, const char* prompt);
    void TBInit(int id, int min, int max) { TBSetRange(id, min, max); }
    void TBSetRange(int id, int min, int max);
    void TBSetPosition(int id, int pos);
    int TBGetPosition(int id);
    void UDInit(int id, int min, int max, int step);
    void UDSetInt(int id, int value);
    int UDGetInt(int id);
    int PDLAddString(int id, const char* text);
    int PDLAddString(int id, const char* text, unsigned long data);
    unsigned long PDLGetItemData(int id, int index);
    int PDLFindItemData(int id, unsigned long data);
    void PDLGetText(int id, char* buffer); // 260 bytes
    void PDLSetCurSel(int id, const char* title);
    void PDLSetCurSel(int id, int index);
    int PDLGetCurSel(int id);
    void PBSetProgress(int id, double fraction);
    void PBSetProgressIndeterminateOn(int id);
    void PBSetProgressIndeterminateOff(int id);
    void SetIconIcon(int id, LGuiIcon& icon);
    void SetPictureImageTransparent(int id, int resourceId);

    static void AddDestroyObserver(LMacWindowDestroyObserver observer, void* data);
    static void RemoveDestroyObserver(LMacWindowDestroyObserver observer, void* data);

protected:
    LCocoaTooltipImpl* fBubbleTip = nullptr; // the window's one bubble tip, once tips exist
    BubbleTip fOwnBubbleTip; // fBubbleTip and the control it points at
    // fBubbleTip shown at a point: where that point is from the content view's origin (points).
    bool bBubbleTipAtPoint = false;
    LUiPoint fBubbleTipOffset;
    int fMinWidthPixels = 0; // the smallest size the user may give the window
    int fMinHeightPixels = 0;
    bool fPanel = false;
    bool fEmbeddedInHost = false; // shown, hidden, sized and redrawn through fHostView
    bool fEmbeddedInHostAlt = false;
    LScrollView* fHostScrollView = nullptr; // an embedded window's host scroll view
    LView* fHostView = nullptr; // the view of that scroll view
    bool fInitialised = false;
    int fCentringDone = 0;
    bool fModalRunning = false;
    bool fLayout = true;
    // The text scale the controls' fonts were last made for (0: not yet known).
    double fFontsTextScale = 0;

private:
    void _WriteTestControlRectangles();
    // Whether the window keeps inside the work area by scrolling its controls (a real window
    // that cannot be resized).
    bool ScrollsWhenTooLarge() const;
    // The size of w x h the window shows: no larger than the work area holds, for a window that
    // scrolls when too large.
    void LimitToWorkArea(int& w, int& h);
    // Puts the controls other than the button row into the scroll view (or back into the
    // content view when the window shows the whole w x h); the window shows shownW x shownH.
    void ScrollWhatDoesNotFit(int w, int h, int shownW, int shownH);
    // The ids of the button row LayoutOkCancelHelp placed last, and its height from the window's
    // bottom (pixels).
    std::vector<int> fButtonRow;
    // The controls a template placed, with their rectangles at the default text size (points).
    std::vector<std::pair<LUiRef<LView>, LUiRect>> fTemplateFrames;
    // Places the template's controls at the text scale.
    void PlaceTemplateControls(double t);
    int fButtonBandPixels = 0;
    bool fScrollsToFit = false; // the controls scroll in a window too small for them
    LView* EmbeddedTarget() const;
    LNativeWindow* ContentWindow() const;
    // Adds a scroll view carrying the id at the frame (points) with the document in it (the
    // document's creation reference is taken over); null without a content view.
    LView* AddScrolledDocument(int id, const LUiRect& frame, LView* document, int borderType);
    // The control itself, or the document view of a scroll view.
    static LView* RealControl(LView* control);
};
