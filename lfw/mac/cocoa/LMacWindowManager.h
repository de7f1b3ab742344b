// The delegate of a real window: turns what happens to the native window into calls on the
// window object (key changes, close requests, miniaturising, resizing, scale changes, Escape),
// keeps the window's character cell, and closes the window when the object is torn down.
//
// Full-screen presentation does not exist here: the window is never in full screen nor leaving
// it, so the full-screen helpers only store their requests.
#pragma once

#include "lfw/mac/cocoa/LCocoaBridges.h"
#include "platform/ui/LNativeWindow.h"

#include <vector>

class LCocoaWindow;

class LMacWindowManager : public LNativeWindowDelegate, public LAssociations {
public:
    // Becomes the window's delegate and measures the character cell.
    LMacWindowManager(LNativeWindow* window, LCocoaWindow* lfwWindow);

    LNativeWindow* window() const { return fWindow.Get(); }
    LCocoaWindow* lfwWindow() const { return pWindow; }
    void setLfwWindow(LCocoaWindow* window) { pWindow = window; }
    LCocoaResizableBridge* resizableHandler() const { return pResizableHandler; }
    void setResizableHandler(LCocoaResizableBridge* handler) { pResizableHandler = handler; }
    bool closeWindowByEsc() const { return _closeWindowByEsc; }
    void setCloseWindowByEsc(bool yes) { _closeWindowByEsc = yes; }
    float charWidthPixels() const { return fCharWidthPixels; }
    float charHeightPixels() const { return fCharHeightPixels; }
    float charWidthPoints() const { return fCharWidthPoints; }
    float charHeightPoints() const { return fCharHeightPoints; }

    // Detaches from the window object and closes the window.
    void closeWindow();
    void relayoutControls();
    void addEmbeddedWindow(LCocoaWindow* window);
    void removeEmbeddedWindow(LCocoaWindow* window);
    const std::vector<LCocoaWindow*>& embeddedWindows() const { return arrEmbeddedWindows; }
    // Measures the character cell from the system font and hands it to the window object and
    // every embedded window.
    void updateCharacterSize();
    // The Escape action: the content view's key handler first, else Cancel when allowed.
    void cancel();
    // Shows the window in front with the keyboard focus.
    void showWindow();
    // Sends the command (0: none) to the window when the application becomes active, or
    // resigns, while the window is attached.
    void handleAppActivation(int command);
    void handleAppDeactivation(int command);

    // Full screen: not available; these keep their requests without effect.
    bool isWindowInFullScreen() const { return false; }
    bool isWindowTogglingFullScreen() const { return bTogglingFullScreenOut; }
    // Enters or leaves full screen: nothing here.
    void toggleFullScreen() { }
    void hideWindowOnExitingFullScreen() { bHideOnExitingFromFullScreen = true; }
    void closeWindowOnExitingFullScreen() { bCloseOnExitingFromFullScreen = true; }
    void redrawWindowOnExitingFullScreen() { bRedrawOnExitingFromFullScreen = true; }
    void setWindowFrameOnExitingFullScreen(const LUiRect& frame)
    {
        rcFrameAfterFullScreenExiting = frame;
    }

    // The character width in points of a system font whose 62-character sample measures the
    // given width: width / 62, rounded.
    static float CharWidthFromSample(double sampleWidth);

    // LNativeWindowDelegate
    bool WindowShouldClose(LNativeWindow& window) override;
    void WindowWillClose(LNativeWindow& window) override;
    void WindowDidBecomeKey(LNativeWindow& window) override;
    void WindowDidResignKey(LNativeWindow& window) override;
    void WindowDidResize(LNativeWindow& window, const LUiRect& previousFrame) override;
    // A tip the window shows goes with it.
    void WindowDidMove(LNativeWindow& window) override;
    void WindowWillMiniaturize(LNativeWindow& window) override;
    void WindowDidDeminiaturize(LNativeWindow& window) override;
    bool WindowShouldZoom(LNativeWindow& window) override;
    void WindowDidChangeScale(LNativeWindow& window) override;
    void WindowDidChangeTextSize(LNativeWindow& window) override;
    bool WindowCancel(LNativeWindow& window) override;
    bool WindowPerformKeyEquivalent(LNativeWindow& window, const LUiEvent& event) override;

protected:
    ~LMacWindowManager() override;

private:
    LUiRef<LNativeWindow> fWindow;
    LCocoaWindow* pWindow;
    LCocoaResizableBridge* pResizableHandler = nullptr;
    std::vector<LCocoaWindow*> arrEmbeddedWindows;
    float fCharWidthPixels = 0;
    float fCharHeightPixels = 0;
    float fCharWidthPoints = 8;
    float fCharHeightPoints = 17;
    float fSystemFontSizePoints = 0;
    LUiRect rcPreviousFrame;
    bool bTogglingFullScreenOut = false;
    bool bCloseOnExitingFromFullScreen = false;
    bool bHideOnExitingFromFullScreen = false;
    bool bRedrawOnExitingFromFullScreen = false;
    LUiRect rcFrameAfterFullScreenExiting;
    bool _closeWindowByEsc = false;
    uintptr_t fAppActivationObserver = 0;

    void ObserveAppActivation();
    void StopObserving();
    // Lays the window out as a fresh one at its present scale and text size (textSize: the text
    // size is what changed).
    void LayOutAfresh(LNativeWindow& window, bool textSize);
};
