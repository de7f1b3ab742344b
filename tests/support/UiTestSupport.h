// Helpers for tests of the window layer: start-up under Xvfb, turning the main loop until
// something happened, xdotool, and synthesised GDK events.
#pragma once

#include <cstdlib>
#include <functional>
#include <string>

class LView;
class LNativeWindow;
typedef struct _GtkWidget GtkWidget;
typedef struct _cairo_surface cairo_surface_t;

namespace uitest {

// Opens the display once; false when there is none (the test then skips).
bool Init();
// Runs the main loop for ms milliseconds.
void Pump(unsigned ms);
// Runs the main loop until cond holds or ms milliseconds passed; answers cond's last value.
bool PumpUntil(const std::function<bool()>& cond, unsigned ms = 3000);
// Runs the main loop until nothing waits in it: every event, posted call and timer due so far
// handled; false when it was still busy after ms milliseconds.
bool PumpUntilIdle(unsigned ms = 3000);
// Runs a shell command; its standard output, and its exit status in *status when given.
std::string Run(const std::string& command, int* status = nullptr);
bool HaveXdotool();
// The X window's size in device pixels as xdotool reports it; false when it cannot tell.
bool XGeometry(unsigned long xid, int& width, int& height);
// Shows the window and waits until it is mapped and has its size.
bool ShowAndWait(LNativeWindow* window);
// Asks the whole window to be drawn again and turns the loop until it has been, laid out and
// painted with all that was asked of it before, its pictures from their copies for the screen
// (drawn again once copies asked for by the paint are made); false when no frame came within ms
// (a window not shown, or painting held).
bool PumpUntilDrawn(LNativeWindow* window, unsigned ms = 3000);
// The same for a GTK window the layer does not own (its top-level widget).
bool PumpUntilDrawn(GtkWidget* top, unsigned ms = 3000);
// Clicks with the real pointer (xdotool) at a point of the window's content (points). Tests of
// the whole suite share one display: the window is first moved to the bottom-right corner of
// the screen, where no other test puts its windows, and raised, and the pointer is held for
// this test alone while it moves.
bool XClick(LNativeWindow* window, double x, double y);
// The same with any button and a repeat count (2 for a double click).
bool XClickButton(LNativeWindow* window, double x, double y, int button, int repeat = 1);
// Clicks with the real pointer (xdotool) in the middle of a mapped GTK widget of a window the
// layer does not own (GTK's print panel, say), its window raised first and the pointer held for
// this test alone; false when the widget is not on screen.
bool XClickWidget(GtkWidget* widget);
// Moves the real pointer (xdotool) to a point of the window's content (points), placed and
// locked as for XClick, and leaves it there without a click.
bool XMove(LNativeWindow* window, double x, double y);
// Drags with the real pointer (xdotool, run while the main loop turns) from a point of one
// window's content to a point of another's (points), holding the pointer for this test alone;
// then turns the loop until done() holds or ms passed. The windows are first put side by side in
// the bottom-left corner of the screen, where no other test puts its windows, and raised.
bool XDrag(LNativeWindow* from, double fx, double fy, LNativeWindow* to, double tx, double ty,
    const std::function<bool()>& done, unsigned ms = 5000);
// Presses the real pointer (xdotool) at one point of the window's content and releases it at
// another (points), moving there in steps, while the main loop turns; then turns the loop until
// done() holds or ms passed. The window is first put in the bottom-right corner and raised.
bool XDragWithin(LNativeWindow* window, double fx, double fy, double tx, double ty,
    const std::function<bool()>& done, unsigned ms = 5000);
// Saves what the window shows now as a PNG file (its folders are made); false when it cannot.
bool SaveScreenshot(LNativeWindow* window, const std::string& path);
// The same for a GTK window the layer does not own (GTK's print panel, say).
bool SaveWidgetScreenshot(GtkWidget* top, const std::string& path);
// What the widget draws now, in device pixels (ARGB32, flushed); null when it is not realized.
// The caller destroys it.
cairo_surface_t* DrawnSurface(GtkWidget* widget);
// Takes the keyboard from every window of the display (xdotool), so that no window of the
// application has it.
void FocusNowhere();
// Presses keys (xdotool's names, "shift+Tab") in the window with the real keyboard and turns the
// loop until the window has had the release of the last key that is no modifier: the press has
// been handled then, however busy the machine. False when no release came within ms.
bool PressKeys(LNativeWindow* window, const std::string& keys, unsigned ms = 10000);
// The same where a menu (a pull-down list's GtkMenu) is open or opens with the keys: it holds
// the keyboard while it shows, so the release may come to it instead of the window.
bool PressKeys(
    LNativeWindow* window, GtkWidget* menu, const std::string& keys, unsigned ms = 10000);
// Held while a test types with the real keyboard (xdotool), so that the tests of the suite
// type one at a time.
class KeyboardLock {
public:
    KeyboardLock();
    ~KeyboardLock();
    KeyboardLock(const KeyboardLock&) = delete;
    KeyboardLock& operator=(const KeyboardLock&) = delete;

private:
    int fFd = -1;
};
// Sends a GDK button press (or release) to the view's widget at a point of the view (points).
void SendButton(LView* view, double x, double y, int button, bool press);
void SendMotion(LView* view, double x, double y, unsigned state);
void SendKey(LView* view, unsigned keyval, bool press, unsigned state = 0);
// The same key event put in GDK's queue, as one read from the display and not handled yet.
void PutKey(LView* view, unsigned keyval, bool press, unsigned state = 0);

// Where a test keeps a screenshot: <build>/test-artefacts/<folder>/<name>.png, "-scale2" added to
// the name when the test runs at a backing scale of 2. For test programs (VT_BINARY_DIR).
#ifdef VT_BINARY_DIR
inline std::string ArtefactPath(const char* folder, const char* name)
{
    const char* s = getenv("GDK_SCALE");
    return std::string(VT_BINARY_DIR) + "/test-artefacts/" + folder + "/" + name
        + (s && atoi(s) > 1 ? "-scale2" : "") + ".png";
}
#endif

// Runs fn from the loop once cond holds (asked every 20 ms; after 5 s fn runs anyway).
void When(std::function<bool()> cond, std::function<void()> fn);
// Runs fn once from the loop after ms milliseconds.
void After(unsigned ms, std::function<void()> fn);

} // namespace uitest
