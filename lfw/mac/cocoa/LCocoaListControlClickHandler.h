// Turns mouse presses on a list or tree view into the commands its window registered: a single
// click, a double click (its second press only) and a right click, each posted to the window. It
// watches every press of the application through the event hub, passing each on unchanged.
#pragma once

#include <cstdint>
#include <gdk/gdk.h>

class LCocoaWindow;
class LCocoaOutlineViewImpl;

class LCocoaListControlClickHandler {
public:
    LCocoaListControlClickHandler(LCocoaOutlineViewImpl* control, LCocoaWindow* window);
    ~LCocoaListControlClickHandler();
    LCocoaListControlClickHandler(const LCocoaListControlClickHandler&) = delete;
    LCocoaListControlClickHandler& operator=(const LCocoaListControlClickHandler&) = delete;

    void createEventMonitor();
    // Removes the monitor.
    void invalidate();

    int clickCommand() const { return _clickCommand; }
    void setClickCommand(int cmd) { _clickCommand = cmd; }
    int doubleClickCommand() const { return _doubleClickCommand; }
    void setDoubleClickCommand(int cmd) { _doubleClickCommand = cmd; }
    int rightClickCommand() const { return _rightClickCommand; }
    void setRightClickCommand(int cmd) { _rightClickCommand = cmd; }

private:
    static bool Monitor(GdkEvent* event, void* data);
    void HandlePress(GdkEventButton* event);

    LCocoaOutlineViewImpl* hControl;
    LCocoaWindow* pWindow;
    uintptr_t clickEventMonitor = 0;
    int _clickCommand = 0;
    int _doubleClickCommand = 0;
    int _rightClickCommand = 0;
};
