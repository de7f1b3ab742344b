#include "lfw/mac/LMouseHandler.h"

#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LCocoaViewBase.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LView.h"

#include <cmath>

LMouseHandler::~LMouseHandler()
{
    MouseHandlerDestroy();
}

void LMouseHandler::MouseHandlerInit(LMacWindow& window)
{
    LView* view = window.GetContentView();
    if (!view)
        return;
    pWindow = &window;
    pView = view;
    if (auto* base = dynamic_cast<LCocoaViewBase*>(view))
        base->setMouseHandler(this);
}

void LMouseHandler::MouseHandlerDestroy()
{
    if (pWindow || pView) {
        if (auto* base = dynamic_cast<LCocoaViewBase*>(pView); base && base->mouseHandler() == this)
            base->setMouseHandler(nullptr);
    }
    pWindow = nullptr;
    pView = nullptr;
}

bool LMouseHandler::MousePositionGet(const LUiEvent& event, int& x, int& y) const
{
    if (!pWindow || !pView)
        return false;
    LUiPoint p;
    if (!pView->ConvertFromScreen(event.rootX, event.rootY, p))
        p = LUiPoint { event.x, event.y };
    double scale = LMacWindow::GetBackingScaleFactor(pView);
    // Floor, not truncation: positions left of or above the view (a capture) stay in order.
    x = int(std::floor(p.x * scale));
    y = int(std::floor(p.y * scale));
    if (pView == pWindow->GetContentView()) {
        // The client area of a real window begins with its toolbar.
        if (LNativeWindow* w = pView->Window(); w && pWindow->IsRealWindow())
            y += int(w->ToolbarHeight() * scale);
        return p.y >= 0;
    }
    return true;
}

bool LMouseHandler::EvMouseDown(const LUiEvent& event)
{
    int x, y;
    if (!MousePositionGet(event, x, y))
        return false;
    // The Control key of the framework (Super here) makes a click a right click.
    if (event.modifiers & kLUiSuper)
        EvRButtonDown(x, y);
    else if (event.clickCount == 2)
        EvDoubleClick(x, y);
    else
        EvLButtonDown(x, y);
    return false;
}

bool LMouseHandler::EvMouseUp(const LUiEvent& event)
{
    int x, y;
    if (MousePositionGet(event, x, y))
        EvLButtonUp(x, y);
    return false;
}

bool LMouseHandler::EvRightMouseDown(const LUiEvent& event)
{
    int x, y;
    if (MousePositionGet(event, x, y))
        EvRButtonDown(x, y);
    return false;
}

bool LMouseHandler::EvRightMouseUp(const LUiEvent& event)
{
    int x, y;
    if (MousePositionGet(event, x, y))
        EvRButtonUp(x, y);
    return false;
}

bool LMouseHandler::EvMouseMoved(const LUiEvent& event)
{
    int x, y;
    if (MousePositionGet(event, x, y))
        EvMouseMove(x, y);
    return false;
}

bool LMouseHandler::EvMouseWheel(const LUiEvent& event)
{
    int x, y;
    if (!MousePositionGet(event, x, y))
        return false;
    // Rounded away from zero; a wheel that moves by lines goes 8 pixels a line.
    auto steps = [&event](double d) {
        int v = int(d > 0 ? std::ceil(d) : std::floor(d));
        return event.precise ? v : v * 8;
    };
    if (event.scrollY != 0)
        EvMouseWheel(x, y, steps(event.scrollY));
    else if (event.scrollX != 0)
        EvMouseHWheel(x, y, steps(event.scrollX));
    return false;
}
