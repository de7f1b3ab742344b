// Helpers for tests of the application's compound controls: a real host window under Xvfb, the
// position of a control's child in the window, clicks and typing with the real pointer and
// keyboard (xdotool), and the time.
#pragma once

#include "lfw/mac/LEmbeddedWindow.h"
#include "lfw/mac/LMacWindow.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LView.h"
#include "platform/ui/UI.h"
#include "support/Screenshot.h"
#include "support/UiTestSupport.h"

#include <chrono>
#include <cstdlib>
#include <string>

namespace controltest {

inline int Scale()
{
    const char* s = getenv("GDK_SCALE");
    return s && atoi(s) > 1 ? atoi(s) : 1;
}

inline double NowMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// A plain titled window that hosts the controls under test (size in points).
struct Host : LMacWindow {
    Host(int width = 420, int height = 520)
    {
        CreateCocoaWindow(width * Scale(), height * Scale(), kLUiWindowTitled | kLUiWindowClosable,
            false, nullptr);
    }
    ~Host() override { DestroyCommon(); }
    bool Show()
    {
        InitCommon(kLCocoaDialogCenterNone, true);
        return uitest::ShowAndWait(GetNativeWindow());
    }
};

// Where a child control of a pane lies in the window, in points of the window's content: its
// centre, or a point at a fraction of its size. The pane may lie in other panes.
inline bool ChildPoint(
    LEmbeddedWindow& pane, int id, double& x, double& y, double fx = 0.5, double fy = 0.5)
{
    int px = 0, py = 0, w = 0, h = 0;
    pane.GetControlPixels(id, px, py, w, h);
    if (w <= 0 || h <= 0)
        return false;
    if (!pane.GetParentWindow() || !pane.GetContentView())
        return false;
    const LUiPoint origin = pane.GetContentView()->ConvertToRoot(LUiPoint {});
    const double s = pane.GetBackingScaleFactor();
    x = origin.x + (px + w * fx) / s;
    y = origin.y + (py + h * fy) / s;
    return true;
}

inline bool ClickChild(LEmbeddedWindow& pane, int id, double fx = 0.5, double fy = 0.5)
{
    double x = 0, y = 0;
    if (!ChildPoint(pane, id, x, y, fx, fy) || !pane.GetContentView()->Window())
        return false;
    return uitest::XClick(pane.GetContentView()->Window(), x, y);
}

// Clicks the upper (up) or lower arrow of an up-down input of the pane.
inline bool ClickArrow(LEmbeddedWindow& pane, int updown, bool up)
{
    int x = 0, y = 0, w = 0, h = 0;
    pane.GetControlPixels(updown, x, y, w, h);
    if (w <= 0)
        return false;
    // The arrows are the input's last 13 points.
    const double fx = 1.0 - 6.5 * pane.GetBackingScaleFactor() / w;
    return ClickChild(pane, updown, fx, up ? 0.3 : 0.7);
}

// The window gets the keyboard; false when it does not.
inline bool TakeKeyboard(LNativeWindow* window)
{
    if (!uitest::HaveXdotool())
        return false;
    window->MakeKeyAndOrderFront();
    uitest::Run("xdotool windowfocus " + std::to_string(window->XWindowId()) + " 2>/dev/null");
    return uitest::PumpUntil([&] { return window->IsKey(); }, 2000);
}

// Gives å, ä and ö keys of their own (unused key codes), so that typing them needs no
// remapping while the key is pressed.
inline void MapSwedishKeys()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    uitest::Run(
        "python3 -c '"
        "import ctypes\n"
        "x = ctypes.cdll.LoadLibrary(\"libX11.so.6\")\n"
        "x.XOpenDisplay.restype = ctypes.c_void_p\n"
        "d = ctypes.c_void_p(x.XOpenDisplay(None))\n"
        "for code, sym in ((120, 0xe5), (149, 0xe4), (154, 0xf6)):\n"
        "    x.XChangeKeyboardMapping(d, code, 2, (ctypes.c_ulong * 2)(sym, sym - 0x20), 1)\n"
        "x.XSync(d, 0)\n"
        "x.XCloseDisplay(d)\n' 2>/dev/null");
    uitest::Pump(100);
}

// Types the text with the real keyboard, keys delayMs apart, without turning the main loop in
// between (xdotool runs to its end; the keys wait in the queue).
inline void Type(const std::string& text, int delayMs = 30)
{
    MapSwedishKeys();
    uitest::Run("xdotool type --delay " + std::to_string(delayMs) + " '" + text + "'");
}

inline void Key(const std::string& keys)
{
    uitest::Run("xdotool key --clearmodifiers " + keys + " >/dev/null 2>&1");
}

} // namespace controltest
