// The mouse bridge between a window's content view and the framework: the view hands it its mouse
// events, and it calls simple virtual operations with positions in backing pixels of the view
// (origin at the top left of the client area, which on a real window includes the toolbar).
#pragma once

#include "lfw/graphics/LGeometry.h"
#include "lfw/mac/cocoa/LCocoaBridges.h"

#include <cstdint>

class LMacWindow;
class LView;

class LMouseHandler : public LCocoaMouseBridge {
public:
    LMouseHandler() = default;
    virtual ~LMouseHandler();
    LMouseHandler(const LMouseHandler&) = delete;
    LMouseHandler& operator=(const LMouseHandler&) = delete;

    // The handler's operations; all do nothing here.
    virtual void EvMouseIn() override { }
    virtual void EvMouseOut() override { }
    virtual void EvLButtonDown(int x, int y) { (void)x, (void)y; }
    virtual void EvDoubleClick(int x, int y) { (void)x, (void)y; }
    virtual void EvLButtonUp(int x, int y) { (void)x, (void)y; }
    virtual void EvRButtonUp(int x, int y) { (void)x, (void)y; }
    virtual void EvRButtonDown(int x, int y) { (void)x, (void)y; }
    virtual void EvMButtonUp(int x, int y) { (void)x, (void)y; }
    virtual void EvMButtonDown(int x, int y) { (void)x, (void)y; }
    virtual void EvMouseMove(int x, int y) { (void)x, (void)y; }
    virtual void EvMouseHover(int x, int y) { (void)x, (void)y; }
    virtual void EvMouseWheel(int x, int y, int delta) { (void)x, (void)y, (void)delta; }
    virtual void EvMouseHWheel(int x, int y, int delta) { (void)x, (void)y, (void)delta; }

    // Hooks the handler to the window's content view (unhooked when there is none). A content
    // view marked to handle mouse events directly (kHandleMouseEventsDirectly) keeps its own
    // handling: the handler hears the window's events through an event monitor instead.
    void MouseHandlerInit(LMacWindow& window);
    // Unhooks: the monitor goes, and the view is told it has no mouse handler any more.
    void MouseHandlerDestroy() override;
    // Installs the event monitor: the events of the handler's window while it is the key window
    // and, for the application's main window, those of another key window that is not modal,
    // with screen positions in pixels (top-left origin). The events go on to GTK.
    void CreateMouseEventsHandler();
    bool HasMouseEventsMonitor() const { return fMonitor != 0; }
    // A wheel step as the monitor gives it: rounded to the nearest whole, 8 a line for a wheel
    // that moves by lines; kept within int.
    static int MonitorWheelDelta(double delta, bool precise);
    // A wheel step as a view gives it: rounded away from zero, 8 a line for a wheel that moves
    // by lines; kept within int.
    static int ViewWheelDelta(double delta, bool precise);

    // The view's events (none is consumed: each answers false).
    bool EvMouseDown(const LUiEvent& event) override;
    bool EvMouseUp(const LUiEvent& event) override;
    bool EvRightMouseDown(const LUiEvent& event) override;
    bool EvRightMouseUp(const LUiEvent& event) override;
    // The middle button's; the extra buttons are not passed on.
    bool EvOtherMouseDown(const LUiEvent& event) override;
    bool EvOtherMouseUp(const LUiEvent& event) override;
    bool EvMouseMoved(const LUiEvent& event) override;
    bool EvMouseWheel(const LUiEvent& event) override;

    // The event's position in the view in backing pixels; false without a window, or above the
    // client area of the content view.
    bool MousePositionGet(const LUiEvent& event, int& x, int& y) const;

    LMacWindow* GetWindow() const { return pWindow; }
    LView* GetView() const { return pView; }

protected:
    LMacWindow* pWindow = nullptr;
    LView* pView = nullptr;

private:
    static bool Monitor(GdkEvent* event, void* handler);
    uintptr_t fMonitor = 0;
};

// The mouse position on the main screen in pixels, origin at the top left; (0, 0) without one.
void LMouseGetPosition(LPoint& point);
// A rectangle under the mouse for a tip, (x, y) to (x + 11, y + 17): (x, y) the mouse in the
// view in pixels, or on the screen (LMouseGetPosition) for a null view. Nothing is written when
// the view is in no window.
void LMouseGetRect(LRectangle& rect, LView* view);
