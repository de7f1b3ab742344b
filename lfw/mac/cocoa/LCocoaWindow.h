// The root class of every window object: default virtual operations, the command entry points by
// which other code reaches a window (post, send, post to the parent), the look-up from a view to
// its window, and a wait that turns the event loop until the window is gone.
//
// LMacWindow (lfw/mac) derives from it and implements the operations the back end calls on the
// window object (Command, visibility, key changes...): the back end lies below the framework and
// reaches the window object only through this class.
#pragma once

#include "lfw/ios/LIOSEventHandler.h"

#include <atomic>

struct _cairo_surface;

class LView;
class LNativeWindow;
class LMacWindowManager;
class LScrollView;

// A four-character code as the framework stores it: the first character in the top byte.
constexpr int LFourCC(const char (&s)[5])
{
    return int((unsigned(uint8_t(s[0])) << 24) | (unsigned(uint8_t(s[1])) << 16)
        | (unsigned(uint8_t(s[2])) << 8) | unsigned(uint8_t(s[3])));
}

// Standard command ids.
inline constexpr int kLCmdOk = LFourCC("ok  "); // OK, Return, Next
inline constexpr int kLCmdCancel = LFourCC("not!"); // Cancel, Escape, an ordinary close
inline constexpr int kLCmdHelp = LFourCC("ahlp");
inline constexpr int kLCmdWindowReady = LFourCC("wrdy"); // posted once after the first showing
inline constexpr int kLCmdBack = LFourCC("Back"); // wizards
inline constexpr int kLCmdFinish = LFourCC("fin!");
inline constexpr int kLCmdToggleToolbar = 9500;

class LCocoaWindow : public LIOSEventWindow {
public:
    LCocoaWindow();
    virtual ~LCocoaWindow();
    LCocoaWindow(const LCocoaWindow&) = delete;
    LCocoaWindow& operator=(const LCocoaWindow&) = delete;

    // The default operations.
    virtual void InitDialog() { }
    virtual void EvWindowReady() { }
    virtual void DestroyDialog() { }
    virtual bool CmOk() { return true; }
    virtual bool CmCancel() { return true; }
    virtual void EnableControls() { }
    virtual void Close(int code) { (void)code; }
    virtual void Close() { Close(kLCmdCancel); }
    virtual void OnWindowHandleSet() { }

    // What the back end calls on the window object (LMacWindow implements them).
    virtual void Command(int id, int code)
    {
        (void)id;
        (void)code;
    }
    virtual bool IsWindowVisible() { return false; }
    // InitDialog has run and the window is ready (LMacWindow keeps the flag).
    virtual bool IsWindowInitialised() const { return false; }
    virtual void EvWindowDidBecomeKey() { }
    virtual void EvWindowDidResignKey() { }
    virtual void EvShow() { }
    virtual void EvHide() { }
    virtual void BubbleTipHide() { }
    // The window's own tip, while it shows, placed again at what it points at (the window was
    // laid out anew).
    virtual void BubbleTipFollow() { }
    virtual void RedrawWindow() { }
    // An embedded window with a scroll view lays its controls out for its new size.
    virtual void RelayoutWindow() { }
    // The backing scale of the window (or of the window a pane is in) changed: what it keeps in
    // backing pixels (fonts, heights) is taken afresh. The character cell is the new one
    // already; the window is laid out afterwards.
    virtual void EvBackingScaleChanged() { }
    // The desktop's text size changed: what was sized for the text when the window was made (a
    // template's controls, fonts, the smallest size) takes the new size. The character cell is
    // the new one already; the window is then laid out as at a change of scale.
    virtual void EvTextSizeChanged() { }
    // Return from a check box or radio button of a window without a default button: the
    // window's default answer, as its default button would give it (a choice's default link).
    // False when the window has none.
    virtual bool EvDefaultKey() { return false; }

    // Entry points (main thread; PostCommand may also be called from other threads, also while
    // the window is being torn down: off the main thread it reads nothing of the window).
    void PostCommand(int command);
    // Where a worker posts commands to. Taken from the window on the main thread, it needs no
    // live window afterwards: it may outlive the window and be used from any thread, and what is
    // posted after the window went is dropped on the main thread.
    class PostTarget {
    public:
        PostTarget() = default;
        void PostCommand(int command) const;

    private:
        friend class LCocoaWindow;
        const LCocoaWindow* fWindow = nullptr;
        uint64_t fNumber = 0; // tells the window from a later one at the same address
    };
    PostTarget GetPostTarget() const;
    void SendCommand(int command);
    void PostParentCommand(int command);
    // The view stored as explicit parent handle, else the nearest superview that has a window
    // object or routes commands; null at the top.
    static LView* GetParentHandle(LView* view);
    // The window object associated with the view; null when none.
    static LCocoaWindow* GetThisProperty(LView* view);
    // Associates the window object with the view (null removes the association).
    static void SetThisProperty(LView* view, LCocoaWindow* window);
    // Turns the event loop until the window is no longer alive or the time passed; true when it
    // is still alive.
    bool Wait(unsigned int milliseconds);

    // Content view present and in a superview (or a native window), window not closing.
    bool IsAlive() const;
    LView* GetContentView() const { return fContentView.load(std::memory_order_acquire); }
    bool IsClosed() const { return fClosed; }
    LNativeWindow* GetNativeWindow() const { return fWindow; }
    LMacWindowManager* GetWindowManager() const { return fManager; }
    LScrollView* GetScrollView() const { return fScrollView; }
    bool IsRealWindow() const { return fRealWindow; }

    // Character cell: width and height in backing pixels, then in points.
    float CharWidthPixels() const { return fCharWidthPixels; }
    float CharHeightPixels() const { return fCharHeightPixels; }
    float CharWidthPoints() const { return fCharWidthPoints; }
    float CharHeightPoints() const { return fCharHeightPoints; }
    void SetCharacterMetrics(
        float widthPixels, float heightPixels, float widthPoints, float heightPoints);

    // LIOSEventWindow
    LView* IOSContentView() const override { return GetContentView(); }
    bool IOSIsAlive() const override { return IsAlive(); }
    void IOSSendCommand(int command, int extraDetail) override;

protected:
    // Stores the content view (holding a reference) or clears it.
    void SetContentViewField(LView* view);

    std::atomic<LView*> fContentView { nullptr };
    bool fClosed = false;
    LNativeWindow* fWindow = nullptr; // a real window's; its manager keeps it
    LMacWindowManager* fManager = nullptr; // owned (one reference)
    bool fRealWindow = false;
    LScrollView* fScrollView = nullptr;
    float fCharWidthPixels = 8;
    float fCharHeightPixels = 17;
    float fCharWidthPoints = 8;
    float fCharHeightPoints = 17;
};

// Services of the layers above that the window classes call when they are installed (each may
// stay null: the call is then skipped).
struct LCocoaWindowHooks {
    // The backing scale of a window changed: its tabbed toolbar measures itself again.
    void (*scaleFactorChanged)(LCocoaWindow& window) = nullptr;
    // The window's native toolbar validates its visible items.
    void (*validateToolbar)(LCocoaWindow& window) = nullptr;
    // Teardown: the painted controls of the window (caption toolbar included) are destroyed.
    void (*destroyPaintControls)(LCocoaWindow& window) = nullptr;
    // Opens the help page of a topic (for the window whose content view is given).
    void (*openHelpPage)(LView* view, const char* topic) = nullptr;
    // Whether the tab page stored on a view (under kTabViewItemKey) is the selected one.
    bool (*isTabItemSelected)(uint64_t tabItem) = nullptr;
    // Makes the scroll view around an embedded window's content view (with the scrollers asked
    // for) and answers it, to be added to the host; null leaves the window without one.
    LView* (*createEmbeddedScrollView)(
        LCocoaWindow& window, LView* content, bool horizontal, bool vertical)
        = nullptr;
    // The tooltips of a view's subviews are set again (the view was shown).
    void (*updateChildViewTooltips)(LView* view) = nullptr;
    // Loads the image resource of a name ("12"): a new image surface the caller destroys; null
    // when there is none.
    _cairo_surface* (*loadResourceImage)(const char* name) = nullptr;
};

LCocoaWindowHooks& LCocoaWindowHooksGet();
