// A top-level window: a GtkWindow with a menu-bar slot, a toolbar slot and a content view that
// fills the rest. Geometry in screen points, y down. The delegate hears what happens to the
// window (close requests, key changes, resizing, miniaturising, zooming, scale changes, Escape).
#pragma once

#include <string>

#include "platform/ui/LAssociations.h"
#include "platform/ui/LUiSystem.h"
#include "platform/ui/LUiTypes.h"

#include <functional>
#include <gtk/gtk.h>
#include <vector>

class LView;
class LNativeWindow;

// Told when the application becomes active (one of its windows, GTK's own dialogs included, has
// the keyboard) or resigns (none has), once the focus has settled.
using LUiAppActivationObserver = void (*)(bool active, void* data);

// Style bits (the framework's window style masks use the same values).
enum : unsigned {
    kLUiWindowBorderless = 0,
    kLUiWindowTitled = 1u << 0,
    kLUiWindowClosable = 1u << 1,
    kLUiWindowMiniaturizable = 1u << 2,
    kLUiWindowResizable = 1u << 3,
    kLUiWindowUtility = 1u << 4, // a tool panel
};

enum class LUiWindowLevel { Normal, Floating, ModalPanel, PopUp };

class LNativeWindowDelegate : public LUiObject {
public:
    // The user asked to close the window (title-bar button, window manager). The delegate closes
    // the window itself when it agrees; the answer only says whether it did.
    virtual bool WindowShouldClose(LNativeWindow&) { return true; }
    virtual void WindowWillClose(LNativeWindow&) { }
    virtual void WindowDidBecomeKey(LNativeWindow&) { }
    virtual void WindowDidResignKey(LNativeWindow&) { }
    // The window has another size (given by the user, the window manager or the program), told
    // once GTK has allocated it: ContentSize() and the content view's frame are the new size.
    // previousFrame is the frame the delegate was told of last.
    virtual void WindowDidResize(LNativeWindow&, const LUiRect& previousFrame)
    {
        (void)previousFrame;
    }
    virtual void WindowDidMove(LNativeWindow&) { }
    virtual void WindowWillMiniaturize(LNativeWindow&) { }
    virtual void WindowDidDeminiaturize(LNativeWindow&) { }
    // The window was maximised; answering false takes the maximising back.
    virtual bool WindowShouldZoom(LNativeWindow&) { return true; }
    virtual void WindowDidChangeScale(LNativeWindow&) { }
    // The desktop's text size changed (LUiSystemFontSize and LUiTextScale answer the new one).
    virtual void WindowDidChangeTextSize(LNativeWindow&) { }
    // Escape reached the window without a control taking it; true when handled.
    virtual bool WindowCancel(LNativeWindow&) { return false; }
    // A key press, before GTK's own handling (accelerators, then the focused widget): the key
    // equivalents of the views come first. True when handled.
    virtual bool WindowPerformKeyEquivalent(LNativeWindow&, const LUiEvent&) { return false; }

protected:
    ~LNativeWindowDelegate() override = default;
};

class LNativeWindow : public LUiObject, public LAssociations {
public:
    // A hidden window whose content area has the rectangle (screen points). A width or height
    // below 1 becomes 1.
    LNativeWindow(const LUiRect& contentRect, unsigned style, bool panel);

    static LNativeWindow* FromGtk(GtkWindow* window);
    GtkWindow* Gtk() const { return fWindow; }
    bool IsPanel() const { return fPanel; }
    unsigned StyleMask() const { return fStyle; }
    // Changes the close box and the resize bar (kLUiWindowClosable, kLUiWindowResizable).
    void SetStyleMask(unsigned style);
    bool IsClosed() const { return fWindow == nullptr; }

    // The delegate is retained until the window is closed.
    void SetDelegate(LNativeWindowDelegate* delegate);
    LNativeWindowDelegate* Delegate() const { return fDelegate.Get(); }

    // The content view (retained); null takes it out. Its frame is the content area, at 0, 0.
    void SetContentView(LView* view);
    LView* ContentView() const { return fContentView.Get(); }

    void SetTitle(const char* title);
    // The title ("" when none).
    std::string Title() const;

    // Frame: the window's place on the screen and its size (menu bar and toolbar included).
    LUiRect Frame() const;
    void SetFrame(const LUiRect& frame);
    // The content area's size.
    LUiSize ContentSize() const;
    void SetContentSize(double width, double height);
    // The smallest content area the user or the window manager may give the window (points;
    // 0 x 0 for none). The window manager is told the whole window's minimum, the menu bar and
    // toolbar counted once, and told again when their height changes; a minimum larger than
    // the work area of the window's monitor (less what stands around the window) is told as
    // that work area, so that the window can always be fitted to it.
    void SetContentMinSize(double width, double height);
    LUiSize ContentMinSize() const { return fContentMinSize; }
    // Keeps the window, with what stands around it (DecorationEdges), inside the work area of
    // its monitor: a resizable window larger than the work area is made as large as it holds,
    // then the window is moved in from the right and bottom, so that a window larger than the
    // work area keeps its title bar on the screen. A maximised window is left to the window
    // manager. Before the window is mapped, its borders are estimated (see DecorationEdges).
    void FitToWorkArea();
    // The largest content area (points) the window can have with its menu bar and toolbar
    // inside the work area of its monitor. Before a window manager has framed the window, its
    // frame is taken to be as large as the last one it drew around a window of the program of
    // the same kind (resizable or not, tool panel or not; a usual title bar and borders before
    // the first).
    LUiSize LargestContentSize();
    // The frame (as Frame(): place and size without what stands around it) that FitToWorkArea
    // gives a window of that frame with those edges in that work area; the size is kept when
    // the window cannot be resized.
    static LUiRect FittedFrame(
        const LUiRect& frame, const LUiEdges& edges, const LUiRect& workArea, bool resizable);
    double BackingScale() const;
    // The monitor that shows most of the window; before it shows, the one the program placed it
    // on, and before it is placed, its owner's (OwnerScreen), else the main screen.
    bool Screen(LUiScreen& screen) const;
    // The monitor of the window this one belongs to: its parent's (AddChildWindow), else the
    // main window's; false when there is none that shows.
    bool OwnerScreen(LUiScreen& screen) const;
    // What stands around Frame() on the screen: the title bar and borders GTK draws around a
    // window with a header bar, and, once the window is mapped, a window manager's frame (a
    // shadow that a compositing manager shows see-through is left out). Realises the window.
    // Before the window is mapped, the borders are taken as equal on all four sides.
    LUiEdges DecorationEdges();
    // Calls f once, when the window has been mapped (at once when it is mapped already). A
    // window closed before it is mapped never calls it.
    void CallWhenMapped(std::function<void()> f);

    // Holds back painting the window until ResumePainting, or at most ms milliseconds: what is
    // done right after the window is shown goes into its first frame instead of a second one.
    // Realises the window.
    void HoldPainting(unsigned ms);
    void ResumePainting();

    // Shows the window in front and gives it the keyboard focus.
    void MakeKeyAndOrderFront();
    // Shows the window in front without moving the focus.
    void OrderFront();
    void OrderOut();
    bool IsVisible() const;
    bool IsKey() const;
    // Destroys the GTK window (the content view is taken out first and survives). Idempotent.
    void Close();

    void Miniaturize();
    bool IsMiniaturized() const;
    void Zoom();
    bool IsZoomed() const;

    // A level above the normal one keeps the window above the program's other windows (its
    // parent's, else the main window's), never above other programs'.
    void SetLevel(LUiWindowLevel level);
    LUiWindowLevel Level() const { return fLevel; }
    void SetModal(bool modal);
    bool IsModal() const;
    // Whether the window may take the keyboard focus.
    void SetAcceptsFocus(bool accepts);

    // Child windows stay above their parent (GTK's transient windows), not above the windows of
    // other programs.
    void AddChildWindow(LNativeWindow* child);
    void RemoveChildWindow(LNativeWindow* child);
    const std::vector<LNativeWindow*>& ChildWindows() const { return fChildren; }
    LNativeWindow* ParentWindow() const { return fParent; }

    // The view that has the keyboard focus (or holds the widget that has it); null when none.
    LView* FirstResponder() const;
    GtkWidget* FocusWidget() const;
    // Gives the focus to the view; null takes it from whoever has it (pending edits commit).
    bool MakeFirstResponder(LView* view);
    // When nothing has the focus yet, gives it to the first view keyboard navigation reaches;
    // true when something has it afterwards.
    bool FocusFirstKeyView();
    // Whether the window shows where the keyboard focus is (its focus rings). GTK shows it
    // once keys have been used in the window; a window whose first key acts on the focused
    // control (a dialog) shows it from the start.
    void SetFocusVisible(bool visible);
    // Whether the focused widget is a text field or text view that can be edited now.
    bool IsFocusEditableText() const;
    // Whether the focused widget moves with the arrow keys itself (text inputs, edit views,
    // combo boxes, lists and trees, scroll bars, scroll views, steppers).
    bool FocusWantsArrowKeys() const;
    // Redraws the whole window (menu bar, toolbar and content).
    void SetNeedsDisplay();

    // The slots above the content: a menu bar and a toolbar (null empties them).
    void SetMenuBar(GtkWidget* menuBar);
    void SetToolbar(GtkWidget* toolbar);
    GtkWidget* Toolbar() const { return fToolbar; }
    // Puts the view at the start of a header bar that becomes the window's title bar (the
    // window's title stays its caption); null takes the view out again. The window holds the
    // view while it shows it.
    void SetTitlebarView(LView* view);
    LView* TitlebarView() const { return fTitlebarView.Get(); }
    void SetToolbarVisible(bool visible);
    bool IsToolbarVisible() const;
    // Height in points of what stands above the content view, and of the toolbar alone (0 when
    // hidden or absent).
    double TopSlotsHeight() const;
    double ToolbarHeight() const;

    // The window of the application that has the keyboard focus; null when none.
    static LNativeWindow* KeyWindow();
    // Tells every window's delegate that the desktop's text size changed (the layer calls it
    // when the desktop's settings change).
    static void TellTextSizeChanged();
    // The application's main window: the last window that became key and may be the main one
    // (CanBecomeMainWindow); it stays main while a panel is key, and stops being main when it
    // is ordered out or closed. Null when none.
    static LNativeWindow* MainWindow();
    // A window, not a panel, with a title or resize bar.
    virtual bool CanBecomeMainWindow() const;

    // Whether one of the application's windows has the keyboard now.
    static bool IsApplicationActive();
    // Observers of the application's activation; the token (never 0) removes one.
    static uintptr_t AddAppActivationObserver(LUiAppActivationObserver observer, void* data);
    static void RemoveAppActivationObserver(uintptr_t token);

    // Hands a key event (the record of one being dispatched) to the focused widget and its
    // ancestors, leaving out accelerators; true when one of them took it.
    bool PropagateKeyToFocus(const LUiEvent& event);

    // The X window id (0 when the window is not realised or not on X).
    unsigned long XWindowId() const;

protected:
    ~LNativeWindow() override;

private:
    friend class LView;
    friend struct LNativeWindowGlue;
    void ContentViewFrameSet(const LUiRect& frame);
    void CloseWindow(bool tellDelegate);
    void ApplyContentSize();
    void ApplyMinSize();
    // Takes the largest window the work area holds afresh.
    void UpdateMinSizeLimit();
    // After a change of scale or text size: the smallest size told to the display again, the
    // window fitted to its work area and painted whole once it has its new size.
    void RefitAfterChange();
    // What will stand around the window once it shows (see LargestContentSize); realises
    // nothing.
    LUiEdges ExpectedEdges();
    // Where the program cannot place its windows (Wayland), a shown window that is to grow is
    // shown afresh at its new size, so that the compositor places it anew, whole on the screen.
    void PlaceAgainIfGrown(int width, int height);
    void ShowAgainPlaced();
    // Has GTK measure and allocate the window again once the allocation running now is over
    // (requests for other sizes made during it are not heard otherwise).
    void MeasureAfterAllocation();

    GtkWindow* fWindow = nullptr;
    GtkWidget* fBox = nullptr;
    GtkWidget* fMenuSlot = nullptr;
    GtkWidget* fToolbarSlot = nullptr;
    GtkWidget* fContentSlot = nullptr;
    GtkWidget* fToolbar = nullptr;
    GtkWidget* fHeaderBar = nullptr;
    LUiRef<LView> fTitlebarView;
    LUiRef<LView> fContentView;
    LUiRef<LNativeWindowDelegate> fDelegate;
    std::vector<LNativeWindow*> fChildren;
    LNativeWindow* fParent = nullptr;
    LUiSize fContentSize;
    LUiRect fLastFrame;
    // The frame the delegate knows: what it was told of last, or what the program gave the
    // window before it was first shown.
    LUiRect fToldFrame;
    LUiSize fContentMinSize;
    // The largest whole window the work area holds (0 x 0: not known), and the minimum the
    // window manager was told last.
    LUiSize fMinSizeLimit;
    LUiSize fToldMinSize { -1, -1 };
    int fConfiguredWidth = 0; // the size of the last configure event
    int fConfiguredHeight = 0;
    std::function<void()> fWhenMapped;
    unsigned fStyle;
    bool fPanel;
    bool fWantsFocus = false;
    bool fToolbarShown = true;
    bool fPlaced = false;
    bool fMovedByProgram = false; // SetFrame gave it a place
    // fLastFrame's place is the window's own while the map handler runs.
    bool fPositionCurrent = false;
    bool fIconified = false;
    bool fMaximized = false;
    bool fPaintingHeld = false;
    bool fPaintingHeldClock = false; // the frame clock is frozen too
    unsigned fPaintingHoldTimer = 0;
    // A grown window is to be shown afresh (PlaceAgainIfGrown); the focus it loses meanwhile is
    // not told.
    bool fShowAgainPending = false;
    bool fShowingAgain = false;
    unsigned fMeasureSource = 0; // MeasureAfterAllocation's
    LUiWindowLevel fLevel = LUiWindowLevel::Normal;
};
