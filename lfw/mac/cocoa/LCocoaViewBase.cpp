#include "lfw/mac/cocoa/LCocoaViewBase.h"

#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "lfw/mac/cocoa/LCocoaWindow.h"
#include "lfw/mac/cocoa/LCocoaWindowImpl.h"
#include "platform/ui/LEventHub.h"
#include "platform/ui/LModalLoop.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiDirectSave.h"

namespace {

LView* gDraggedView = nullptr;

// The file list and promised files: what a drag-drop handler takes from other applications.
const std::vector<std::string> kDroppedFileTypes { "text/uri-list", kLUiDirectSaveType };

LCocoaWindowContentView* EnclosingContentView(LView* view)
{
    for (LView* v = view; v; v = v->Superview())
        if (auto* c = dynamic_cast<LCocoaWindowContentView*>(v))
            return c;
    return nullptr;
}

} // namespace

LCocoaViewBase::LCocoaViewBase(const LUiRect& frame, LCocoaWindow* window)
    : pWindow(window)
{
    SetAnswersEnabled(true);
    // Taken by a click when it has a handler, but never a stop of the Tab key.
    SetCanBecomeKeyView(false);
    SetFrame(frame);
}

LCocoaViewBase::~LCocoaViewBase()
{
    if (gDraggedView == this)
        gDraggedView = nullptr;
    if (LCocoaMouseBridge* h = pMouseHandler) {
        pMouseHandler = nullptr;
        h->MouseHandlerDestroy();
    }
    pKeyHandler = nullptr;
    pDragSource = nullptr;
    pDropTarget = nullptr;
    pDragDropHandler = nullptr;
    pWindow = nullptr;
}

LView* LCocoaViewBase::draggedView()
{
    return gDraggedView;
}

void LCocoaViewBase::SetEnabled(bool enabled)
{
    fBaseEnabled = enabled;
    if (GtkWidget* w = ExistingWidget())
        gtk_widget_set_sensitive(w, enabled);
}

void LCocoaViewBase::setMouseHandler(LCocoaMouseBridge* handler)
{
    if (handler == pMouseHandler)
        return;
    pMouseHandler = handler;
    SetAcceptsFocus(handler || pKeyHandler);
    if (!handler)
        return;
    // The pointer may already be inside: the handler hears it at once.
    GtkWidget* w = ExistingWidget();
    double px, py;
    if (w && gtk_widget_get_realized(w) && LUiPointerPosition(px, py)) {
        int ox = 0, oy = 0;
        gdk_window_get_origin(gtk_widget_get_window(w), &ox, &oy);
        if (!gtk_widget_get_has_window(w)) {
            GtkAllocation a;
            gtk_widget_get_allocation(w, &a);
            ox += a.x;
            oy += a.y;
        }
        if (Bounds().Contains(px - ox, py - oy)) {
            LUiEvent e;
            e.type = LUiEventType::MouseEntered;
            e.x = px - ox;
            e.y = py - oy;
            MouseEntered(e);
        }
    }
}

void LCocoaViewBase::setKeyHandler(LCocoaKeyBridge* handler)
{
    if (handler && pKeyHandler)
        return;
    pKeyHandler = handler;
    SetAcceptsFocus(pMouseHandler || handler);
}

void LCocoaViewBase::setDragDropHandler(LCocoaDragDropBridge* handler)
{
    pDragDropHandler = handler;
    RegisterDraggedTypes(handler ? kDroppedFileTypes : std::vector<std::string>());
}

int LCocoaViewBase::draggingSourceOperationMask() const
{
    return pDragSource ? (kLUiDragCopy | kLUiDragMove) : kLUiDragNone;
}

bool LCocoaViewBase::AcceptsFirstResponder() const
{
    if (pMouseHandler || pKeyHandler)
        return true;
    // A view of a window whose parent is the application's main window with a key handler on
    // its content view (and that is not the modal window): the keys go there.
    LView* root = const_cast<LCocoaViewBase*>(this);
    while (root->Superview())
        root = root->Superview();
    auto* parent = reinterpret_cast<LCocoaWindow*>(
        uintptr_t(root->GetAssociatedValue(&kAssociatedParentLWindowKey)));
    LNativeWindow* own = Window();
    LView* parentContent = parent ? parent->GetContentView() : nullptr;
    if (parentContent && own && parentContent->Window()
        && parentContent->Window() == LNativeWindow::MainWindow()
        && LModalLoop::ModalWindow() != own) {
        if (auto* pc = dynamic_cast<LCocoaViewBase*>(parentContent))
            if (pc->keyHandler())
                return true;
    }
    return LView::AcceptsFirstResponder();
}

bool LCocoaViewBase::ModalElsewhere() const
{
    LNativeWindow* modal = LModalLoop::ModalWindow();
    return modal && modal != Window() && modal->IsKey();
}

bool LCocoaViewBase::MouseDown(const LUiEvent& e)
{
    LCocoaView::loseEditControlFocus(this);
    gDraggedView = nullptr;
    if (pMouseHandler && IsEnabled()) {
        bMouseDown = true;
        pMouseHandler->EvMouseDown(e);
    }
    return false;
}

bool LCocoaViewBase::RightMouseDown(const LUiEvent& e)
{
    LCocoaView::loseEditControlFocus(this);
    gDraggedView = nullptr;
    if (pMouseHandler && IsEnabled()) {
        bMouseDown = true;
        pMouseHandler->EvRightMouseDown(e);
    }
    return false;
}

bool LCocoaViewBase::MouseUp(const LUiEvent& e)
{
    LCocoaMouseCaptureImpl& capture = LCocoaMouseCaptureImpl::sharedMouseCapture();
    if (LCocoaMouseBridge* h = capture.getCapture()) {
        bMouseDown = false;
        h->EvMouseUp(e);
        return true;
    }
    if (bMouseDown && pMouseHandler && IsEnabled()) {
        bMouseDown = false;
        pMouseHandler->EvMouseUp(e);
        if (bMouseDragging) {
            gDraggedView = nullptr;
            bMouseDragging = false;
            if (!bMouseIn)
                pMouseHandler->EvMouseOut();
        }
    }
    return false;
}

bool LCocoaViewBase::RightMouseUp(const LUiEvent& e)
{
    LCocoaMouseCaptureImpl& capture = LCocoaMouseCaptureImpl::sharedMouseCapture();
    if (LCocoaMouseBridge* h = capture.getCapture()) {
        bMouseDown = false;
        h->EvRightMouseUp(e);
        return true;
    }
    if (bMouseDown && pMouseHandler && IsEnabled()) {
        bMouseDown = false;
        pMouseHandler->EvRightMouseUp(e);
    }
    return false;
}

bool LCocoaViewBase::OtherMouseDown(const LUiEvent& e)
{
    gDraggedView = nullptr;
    if (pMouseHandler && IsEnabled()) {
        bMouseDown = true;
        pMouseHandler->EvOtherMouseDown(e);
    }
    return false;
}

bool LCocoaViewBase::OtherMouseUp(const LUiEvent& e)
{
    LCocoaMouseCaptureImpl& capture = LCocoaMouseCaptureImpl::sharedMouseCapture();
    if (LCocoaMouseBridge* h = capture.getCapture()) {
        bMouseDown = false;
        h->EvOtherMouseUp(e);
        return true;
    }
    if (bMouseDown && pMouseHandler && IsEnabled()) {
        bMouseDown = false;
        pMouseHandler->EvOtherMouseUp(e);
    }
    return false;
}

bool LCocoaViewBase::MouseMoved(const LUiEvent& e)
{
    if (ModalElsewhere()) {
        // A window over which a modal window works gets no moves when its parent is a modal
        // panel other than the modal window itself.
        LView* root = this;
        while (root->Superview())
            root = root->Superview();
        auto* parent = reinterpret_cast<LCocoaWindow*>(
            uintptr_t(root->GetAssociatedValue(&kAssociatedParentLWindowKey)));
        if (parent && parent->IsAlive() && parent->GetNativeWindow()
            && parent->GetNativeWindow()->Level() == LUiWindowLevel::ModalPanel
            && parent->GetNativeWindow() != LModalLoop::ModalWindow())
            return true;
    }
    if (pMouseHandler && IsEnabled())
        pMouseHandler->EvMouseMoved(e);
    return false;
}

bool LCocoaViewBase::MouseDraggedCommon(const LUiEvent& e)
{
    LCocoaMouseCaptureImpl& capture = LCocoaMouseCaptureImpl::sharedMouseCapture();
    if (LCocoaMouseBridge* h = capture.getCapture()) {
        h->EvMouseMoved(e);
        return true;
    }
    if (bMouseDown && pMouseHandler && IsEnabled()) {
        bMouseDragging = true;
        gDraggedView = this;
        if (!pDragSource) {
            LCocoaWindowContentView* content = EnclosingContentView(this);
            if (content && content->dragSource())
                gDraggedView = content;
        }
        pMouseHandler->EvMouseMoved(e);
    }
    return false;
}

bool LCocoaViewBase::MouseDragged(const LUiEvent& e)
{
    return MouseDraggedCommon(e);
}

bool LCocoaViewBase::RightMouseDragged(const LUiEvent& e)
{
    return MouseDraggedCommon(e);
}

bool LCocoaViewBase::OtherMouseDragged(const LUiEvent& e)
{
    return MouseDraggedCommon(e);
}

bool LCocoaViewBase::MouseEntered(const LUiEvent&)
{
    if (ModalElsewhere())
        return true;
    if (pMouseHandler && IsEnabled()) {
        bMouseIn = true;
        if (gDraggedView && gDraggedView != this)
            return true;
        pMouseHandler->EvMouseIn();
    }
    return false;
}

bool LCocoaViewBase::MouseExited(const LUiEvent&)
{
    if (ModalElsewhere())
        return true;
    if (pMouseHandler && IsEnabled()) {
        bMouseIn = false;
        if (gDraggedView && gDraggedView != this)
            return true;
        if (!bMouseDown)
            pMouseHandler->EvMouseOut();
    }
    return false;
}

bool LCocoaViewBase::ScrollWheel(const LUiEvent& e)
{
    if (pMouseHandler && IsEnabled())
        pMouseHandler->EvMouseWheel(e);
    return false;
}

bool LCocoaViewBase::KeyDown(const LUiEvent& e)
{
    if (pKeyHandler && IsEnabled() && pKeyHandler->EvKeyDown(e))
        return true;
    return false;
}

bool LCocoaViewBase::KeyUp(const LUiEvent& e)
{
    if (pKeyHandler && IsEnabled() && pKeyHandler->EvKeyUp(e))
        return true;
    return false;
}

bool LCocoaViewBase::FlagsChanged(const LUiEvent& e)
{
    if (pKeyHandler && IsEnabled() && pKeyHandler->EvKeyFlagsChanged(e))
        return true;
    return false;
}

void LCocoaViewBase::draggingSessionEnded(bool leftMouseUp, const LUiEvent* upEvent)
{
    if (!pDragSource)
        return;
    pDragSource->EvDraggingSessionEnded();
    if (bMouseDown && pMouseHandler && IsEnabled()) {
        gDraggedView = nullptr;
        bMouseDown = false;
        bMouseDragging = false;
        if (leftMouseUp && upEvent)
            pMouseHandler->EvMouseUp(*upEvent);
    }
}

bool LCocoaViewBase::DropOfThisApplicationOrFiles(const LUiDragInfo& info) const
{
    return info.fromThisApplication || (pDropTarget && pDropTarget->IsFileListDrop());
}

int LCocoaViewBase::DraggingEntered(const LUiDragInfo& info)
{
    if (pDropTarget && DropOfThisApplicationOrFiles(info))
        return pDropTarget->EvDraggingEntered(info, this) ? kLUiDragCopy : kLUiDragNone;
    return pDragDropHandler ? kLUiDragCopy : kLUiDragNone;
}

int LCocoaViewBase::DraggingUpdated(const LUiDragInfo& info)
{
    if (pDropTarget && DropOfThisApplicationOrFiles(info)) {
        pDropTarget->EvDraggingUpdated(info, this);
        return kLUiDragCopy;
    }
    return pDragDropHandler ? kLUiDragCopy : kLUiDragNone;
}

void LCocoaViewBase::DraggingExited(const LUiDragInfo& info)
{
    if (pDropTarget && DropOfThisApplicationOrFiles(info)) {
        pDropTarget->EvDraggingExited();
        pDropTarget->EvDraggingEnded();
    }
}

void LCocoaViewBase::DraggingEnded(const LUiDragInfo& info)
{
    if (pDropTarget && DropOfThisApplicationOrFiles(info))
        pDropTarget->EvDraggingEnded();
}

bool LCocoaViewBase::PrepareForDragOperation(const LUiDragInfo& info)
{
    if (pDragDropHandler)
        return true;
    return pDropTarget && DropOfThisApplicationOrFiles(info);
}

bool LCocoaViewBase::PerformDragOperation(const LUiDragInfo& info)
{
    if (pDropTarget && DropOfThisApplicationOrFiles(info))
        return pDropTarget->EvPerformDragOperation(info, this);
    if (pDragDropHandler) {
        pDragDropHandler->EvDropFiles(info, this);
        return true;
    }
    return false;
}

// --- mouse capture -----------------------------------------------------------------------------

LCocoaMouseCaptureImpl& LCocoaMouseCaptureImpl::sharedMouseCapture()
{
    static LCocoaMouseCaptureImpl* capture = new LCocoaMouseCaptureImpl; // never freed
    return *capture;
}

LCocoaMouseBridge* LCocoaMouseCaptureImpl::setCapture(LCocoaMouseBridge* handler, LView* view)
{
    LCocoaMouseBridge* previous = pMouseHandler;
    releaseCapture();
    pMouseHandler = handler;
    fView.Reset(view);
    if (handler && !lclEvMonitor)
        lclEvMonitor = LEventHub::AddMonitor(
            kLEventHubButtonPress | kLEventHubButtonRelease | kLEventHubMotion | kLEventHubCrossing,
            Monitor, this);
    return previous;
}

void LCocoaMouseCaptureImpl::releaseCapture()
{
    if (lclEvMonitor) {
        LEventHub::RemoveMonitor(lclEvMonitor);
        lclEvMonitor = 0;
    }
    pMouseHandler = nullptr;
    fView.Reset(nullptr);
}

bool LCocoaMouseCaptureImpl::Monitor(GdkEvent* event, void* data)
{
    auto* self = static_cast<LCocoaMouseCaptureImpl*>(data);
    LUiRef<LView> view(self->fView.Get());
    if (!view || !self->pMouseHandler)
        return false;
    // Events of a popup that is not one of the application's windows (a combo box's list, a
    // menu GTK opened) are its own.
    if (GtkWidget* target = gtk_get_event_widget(event)) {
        GtkWidget* top = gtk_widget_get_toplevel(target);
        if (GTK_IS_WINDOW(top) && !LNativeWindow::FromGtk(GTK_WINDOW(top)))
            return false;
    }
    if (event->type == GDK_ENTER_NOTIFY || event->type == GDK_LEAVE_NOTIFY) {
        // Crossings pass only for the capturing view itself.
        GtkWidget* target = gtk_get_event_widget(event);
        return !(target && view->ExistingWidget() == target);
    }
    if (event->type == GDK_2BUTTON_PRESS || event->type == GDK_3BUTTON_PRESS)
        return true;
    LUiEvent e;
    if (view->MakeEvent(event, e))
        view->DispatchEvent(e);
    return true;
}
