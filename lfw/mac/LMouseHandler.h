// The mouse bridge between a window's content view and the framework: the view hands it its mouse
// events, and it calls simple virtual operations with positions in backing pixels of the view
// (origin at the top left of the client area, which on a real window includes the toolbar).
#pragma once

#include "lfw/mac/cocoa/LCocoaBridges.h"

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
    virtual void EvMouseMove(int x, int y) { (void)x, (void)y; }
    virtual void EvMouseHover(int x, int y) { (void)x, (void)y; }
    virtual void EvMouseWheel(int x, int y, int delta) { (void)x, (void)y, (void)delta; }
    virtual void EvMouseHWheel(int x, int y, int delta) { (void)x, (void)y, (void)delta; }

    // Hooks the handler to the window's content view (unhooked when there is none).
    void MouseHandlerInit(LMacWindow& window);
    // Unhooks: the view is told it has no mouse handler any more.
    void MouseHandlerDestroy() override;

    // The view's events (none is consumed: each answers false).
    bool EvMouseDown(const LUiEvent& event) override;
    bool EvMouseUp(const LUiEvent& event) override;
    bool EvRightMouseDown(const LUiEvent& event) override;
    bool EvRightMouseUp(const LUiEvent& event) override;
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
};
