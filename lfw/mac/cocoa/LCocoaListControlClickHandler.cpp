#include "lfw/mac/cocoa/LCocoaListControlClickHandler.h"

#include "lfw/mac/cocoa/LCocoaOutlineViewImpl.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "lfw/mac/cocoa/LCocoaWindow.h"
#include "platform/ui/LEventHub.h"
#include "platform/ui/LNativeWindow.h"

LCocoaListControlClickHandler::LCocoaListControlClickHandler(
    LCocoaOutlineViewImpl* control, LCocoaWindow* window)
    : hControl(control)
    , pWindow(window)
{
    createEventMonitor();
}

LCocoaListControlClickHandler::~LCocoaListControlClickHandler()
{
    invalidate();
}

void LCocoaListControlClickHandler::createEventMonitor()
{
    if (!clickEventMonitor && hControl)
        clickEventMonitor = LEventHub::AddMonitor(kLEventHubButtonPress, &Monitor, this);
}

void LCocoaListControlClickHandler::invalidate()
{
    if (clickEventMonitor)
        LEventHub::RemoveMonitor(clickEventMonitor);
    clickEventMonitor = 0;
}

bool LCocoaListControlClickHandler::Monitor(GdkEvent* event, void* data)
{
    if (event->type == GDK_BUTTON_PRESS)
        static_cast<LCocoaListControlClickHandler*>(data)->HandlePress(&event->button);
    return false; // always passed on
}

void LCocoaListControlClickHandler::HandlePress(GdkEventButton* event)
{
    // Only presses on the rows of this view (never its header), in the key window, while the
    // window is alive and visible and the control enabled and shown.
    if (!hControl || !hControl->isRowsWindow(event->window))
        return;
    LNativeWindow* native = hControl->Window();
    if (!native || LNativeWindow::KeyWindow() != native)
        return;
    if (!pWindow || !pWindow->IsAlive() || !pWindow->IsWindowVisible())
        return;
    if (!hControl->IsEnabled() || hControl->IsHiddenOrHasHiddenAncestor())
        return;
    int count = LUiCountClick(event);
    int cmd = -1;
    if (event->button == 3)
        cmd = _rightClickCommand;
    else if (event->button == 1 && count == 1)
        cmd = _clickCommand;
    else if (event->button == 1 && count == 2)
        cmd = _doubleClickCommand;
    if (cmd >= 0 && !(event->button == 3 && count > 1))
        LCocoaView::postCommandToWindow(hControl, cmd, pWindow);
}
