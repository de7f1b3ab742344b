#include "lfw/mac/LMouseHandler.h"

#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaViewBase.h"
#include "lfw/mac/cocoa/LCocoaWindowImpl.h"
#include "platform/ui/LEventHub.h"
#include "platform/ui/LModalLoop.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiSystem.h"
#include "platform/ui/LView.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

int ClampToInt(double v)
{
    if (std::isnan(v))
        return 0;
    return int(std::clamp(v, double(INT_MIN), double(INT_MAX)));
}

// The native window of the widget an event is for; null when it is none of ours (a menu).
LNativeWindow* EventWindow(GdkEvent* event)
{
    GtkWidget* w = gtk_get_event_widget(event);
    GtkWidget* top = w ? gtk_widget_get_toplevel(w) : nullptr;
    return top && GTK_IS_WINDOW(top) ? LNativeWindow::FromGtk(GTK_WINDOW(top)) : nullptr;
}

} // namespace

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
    if (view->GetAssociatedValue(&kHandleMouseEventsDirectly))
        CreateMouseEventsHandler();
    else if (auto* base = dynamic_cast<LCocoaViewBase*>(view))
        base->setMouseHandler(this);
}

void LMouseHandler::CreateMouseEventsHandler()
{
    if (fMonitor || !pWindow || !pView)
        return;
    fMonitor = LEventHub::AddMonitor(kLEventHubButtonPress | kLEventHubButtonRelease
            | kLEventHubMotion | kLEventHubCrossing | kLEventHubScroll,
        Monitor, this);
}

int LMouseHandler::MonitorWheelDelta(double delta, bool precise)
{
    double v = std::nearbyint(delta);
    return ClampToInt(precise ? v : v * 8);
}

int LMouseHandler::ViewWheelDelta(double delta, bool precise)
{
    double v = delta > 0 ? std::ceil(delta) : std::floor(delta);
    return ClampToInt(precise ? v : v * 8);
}

bool LMouseHandler::Monitor(GdkEvent* event, void* data)
{
    auto* self = static_cast<LMouseHandler*>(data);
    LView* view = self->pView;
    LMacWindow* window = self->pWindow;
    LNativeWindow* own = view ? view->Window() : nullptr;
    LNativeWindow* from = EventWindow(event);
    if (!own || !from || !window)
        return false;
    // Its own window's events; for the main window also those of another key window that is
    // not modal (a floating tool window).
    bool candidate = from == own
        || (own == LNativeWindow::MainWindow() && from == LNativeWindow::KeyWindow()
            && from != LModalLoop::ModalWindow());
    if (!candidate || !LCocoaNativeWindowIsEnabled(own) || (from == own && !own->IsKey()))
        return false;
    if (!window->IsAlive())
        return false;
    LUiScreen screen;
    double px = 0, py = 0;
    if (!LUiMainScreen(screen) || screen.scale <= 0)
        return false;
    if (!gdk_event_get_root_coords(event, &px, &py) && !LUiPointerPosition(px, py))
        return false;
    int x = int((px - screen.frame.x) * screen.scale);
    int y = int((py - screen.frame.y) * screen.scale);
    LUiRef<LView> hold(view);
    switch (event->type) {
    case GDK_BUTTON_PRESS:
        if (event->button.button == 1)
            self->EvLButtonDown(x, y);
        else if (event->button.button == 3)
            self->EvRButtonDown(x, y);
        else if (event->button.button == 2)
            self->EvMButtonDown(x, y);
        break;
    case GDK_BUTTON_RELEASE:
        if (event->button.button == 1)
            self->EvLButtonUp(x, y);
        else if (event->button.button == 3)
            self->EvRButtonUp(x, y);
        else if (event->button.button == 2)
            self->EvMButtonUp(x, y);
        break;
    case GDK_MOTION_NOTIFY:
        // Drags are not moves.
        if (!(event->motion.state & (GDK_BUTTON1_MASK | GDK_BUTTON2_MASK | GDK_BUTTON3_MASK)))
            self->EvMouseMove(x, y);
        break;
    case GDK_ENTER_NOTIFY:
        self->EvMouseIn();
        break;
    case GDK_LEAVE_NOTIFY:
        self->EvMouseOut();
        break;
    case GDK_SCROLL: {
        LUiEvent e;
        if (!view->MakeEvent(event, e))
            break;
        if (e.scrollY != 0)
            self->EvMouseWheel(x, y, MonitorWheelDelta(e.scrollY, e.precise));
        else if (e.scrollX != 0)
            self->EvMouseHWheel(x, y, MonitorWheelDelta(e.scrollX, e.precise));
        break;
    }
    default:
        break;
    }
    return false; // the event goes on
}

void LMouseHandler::MouseHandlerDestroy()
{
    if (fMonitor) {
        LEventHub::RemoveMonitor(fMonitor);
        fMonitor = 0;
    }
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

bool LMouseHandler::EvOtherMouseDown(const LUiEvent& event)
{
    int x, y;
    if (event.button == 2 && MousePositionGet(event, x, y))
        EvMButtonDown(x, y);
    return false;
}

bool LMouseHandler::EvOtherMouseUp(const LUiEvent& event)
{
    int x, y;
    if (event.button == 2 && MousePositionGet(event, x, y))
        EvMButtonUp(x, y);
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
    if (event.scrollY != 0)
        EvMouseWheel(x, y, ViewWheelDelta(event.scrollY, event.precise));
    else if (event.scrollX != 0)
        EvMouseHWheel(x, y, ViewWheelDelta(event.scrollX, event.precise));
    return false;
}

void LMouseGetPosition(LPoint& point)
{
    point = LPoint {};
    LUiScreen screen;
    double x = 0, y = 0;
    if (!LUiMainScreen(screen) || !LUiPointerPosition(x, y))
        return;
    point.x = int32_t((x - screen.frame.x) * screen.scale);
    point.y = int32_t((y - screen.frame.y) * screen.scale);
}

void LMouseGetRect(LRectangle& rect, LView* view)
{
    int32_t x = 0, y = 0;
    if (view) {
        double sx = 0, sy = 0;
        LUiPoint p;
        if (!view->Window() || !LUiPointerPosition(sx, sy) || !view->ConvertFromScreen(sx, sy, p))
            return;
        double scale = LMacWindow::GetBackingScaleFactor(view);
        x = int32_t(p.x * scale);
        y = int32_t(p.y * scale);
    } else {
        LPoint p;
        LMouseGetPosition(p);
        x = p.x;
        y = p.y;
    }
    rect = LRectangle(x, y, x + 11, y + 17);
}
