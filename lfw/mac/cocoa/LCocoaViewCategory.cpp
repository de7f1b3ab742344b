#include "lfw/mac/cocoa/LCocoaViewCategory.h"

#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaViewBase.h"
#include "lfw/mac/cocoa/LCocoaWindow.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LRunLoop.h"
#include "platform/ui/LView.h"

#include <gtk/gtk.h>

namespace {

// One posted command: the target is carried as the window's content view (held), never as the
// window object, so a window destroyed meanwhile is never touched.
struct LCommandData {
    int command;
    int extraDetail;
    LUiRef<LView> windowHandle;
};

void handlePostCommand(const LCommandData& data)
{
    LCocoaView::deliverPostedCommand(data.windowHandle.Get(), data.command, data.extraDetail);
}

bool EmitIfAny(GtkWidget* widget, const char* signal)
{
    if (!widget || !g_signal_lookup(signal, G_OBJECT_TYPE(widget)))
        return false;
    g_signal_emit_by_name(widget, signal);
    return true;
}

bool SelectAll(GtkWidget* widget)
{
    if (!widget)
        return false;
    if (GTK_IS_EDITABLE(widget)) {
        gtk_editable_select_region(GTK_EDITABLE(widget), 0, -1);
        return true;
    }
    if (GTK_IS_TEXT_VIEW(widget)) {
        g_signal_emit_by_name(widget, "select-all", TRUE);
        return true;
    }
    return false;
}

} // namespace

namespace LCocoaView {

void setCommandId(LView* view, int command, const void* key)
{
    if (view)
        view->SetAssociatedValue(key, uint64_t(int64_t(command)));
}

int getCommandId(LView* view, const void* key)
{
    if (!view || !view->HasAssociatedValue(key))
        return -1;
    return int(int64_t(view->GetAssociatedValue(key)));
}

void deliverPostedCommand(LView* contentView, int command, int extraDetail)
{
    LUiRef<LView> hold(contentView);
    auto* window = static_cast<LCocoaWindow*>(LIOSEventWindowOfView(contentView));
    if (!window || !window->IsAlive())
        return;
    window->Command(command, extraDetail);
    if (isStillWindowOf(contentView, window) && window->IsAlive() && window->IsWindowVisible())
        window->EnableControls();
}

bool isStillWindowOf(LView* contentView, const LCocoaWindow* window)
{
    // Only the held view is read: the window may be gone.
    return contentView && LIOSEventWindowOfView(contentView) == window;
}

bool sendCommandWithExtraDetail(LView*, int command, int extraDetail, LCocoaWindow* window)
{
    if (!window || !window->IsAlive())
        return false;
    if (command >= 0) {
        LUiRef<LView> content(window->GetContentView());
        window->Command(command, extraDetail);
        if (isStillWindowOf(content.Get(), window) && window->IsAlive()
            && window->IsWindowVisible())
            window->EnableControls();
        return true;
    }
    // No command registered: the window only re-evaluates its controls.
    if (window->IsWindowVisible())
        window->EnableControls();
    return false;
}

bool sendCommand(LView* view, int command, LCocoaWindow* window)
{
    return sendCommandWithExtraDetail(view, command, 0, window);
}

bool sendCommandWithKey(LView* view, const void* key, LCocoaWindow* window)
{
    return sendCommand(view, getCommandId(view, key), window);
}

bool postCommandToWindow(LView*, int command, LCocoaWindow* window)
{
    if (!window || !window->IsAlive() || command < 0)
        return false;
    window->PostCommand(command);
    return true;
}

void sendCommandExtraDetail(LView*, int command, int extraDetail, LCocoaWindow* window)
{
    if (!window || !window->IsAlive())
        return;
    LUiRef<LView> content(window->GetContentView());
    window->Command(command, extraDetail);
    if (isStillWindowOf(content.Get(), window) && window->IsAlive() && window->IsWindowVisible())
        window->EnableControls();
}

void postCommandExtraDetail(LView* view, int command, int extraDetail, LCocoaWindow* window)
{
    LView* target = window ? window->GetContentView() : view;
    if (!target)
        return;
    LCommandData data { command, extraDetail, LUiRef<LView>(target) };
    // Always queued, also on the main thread: it runs after the current event.
    LRunLoop::Post([data = std::move(data)] { handlePostCommand(data); });
}

void postCommandFromSender(LView* view, LView* sender)
{
    postCommandWID(view, sender, sender ? sender->Tag() : 0, 0);
}

void postCommandDelayedFromSender(LView* view, LView* sender)
{
    postCommandFromSender(view, sender);
}

void postCommandWID(LView* view, LView* sender, int controlId, int notifyCode)
{
    postCommandInternal(view, sender, controlId, notifyCode, false);
}

void postCommandDelayedWID(LView* view, LView* sender, int controlId, int notifyCode)
{
    postCommandInternal(view, sender, controlId, notifyCode, true);
}

void postCommandInternal(LView* view, LView*, int controlId, int notifyCode, bool)
{
    if (controlId == 0)
        return;
    for (LView* v = view; v; v = v->Superview()) {
        if (LIOSEventHandler::IsRegisteredContentView(v)) {
            if (LCocoaWindow* window = LCocoaWindow::GetThisProperty(v))
                postCommandExtraDetail(v, controlId, notifyCode, window);
            return;
        }
        if (isWindowView(v) || !v->Superview())
            return;
    }
}

bool isWindowView(LView* view)
{
    return view && view->GetAssociatedValue(&kIsWindowViewKey) != 0;
}

void setIsWindowView(LView* view, bool yes)
{
    if (view)
        view->SetAssociatedValue(&kIsWindowViewKey, yes ? 1 : 0);
}

bool canRouteCommands(LView* view)
{
    auto* base = dynamic_cast<LCocoaViewBase*>(view);
    return base && base->canRouteCommands();
}

void loseEditControlFocus(LView* view)
{
    LNativeWindow* window = view ? view->Window() : nullptr;
    if (!window || window->GetAssociatedValue(&kFirstResponderResignDoneKey))
        return;
    GtkWidget* focus = window->FocusWidget();
    if (focus && (GTK_IS_EDITABLE(focus) || GTK_IS_TEXT_VIEW(focus)))
        window->MakeFirstResponder(nullptr); // the edit commits as it loses the focus
    // Once per pass of the run loop.
    window->SetAssociatedValue(&kFirstResponderResignDoneKey, 1);
    LUiRef<LNativeWindow> hold(window);
    LRunLoop::Post([hold] { hold->SetAssociatedValue(&kFirstResponderResignDoneKey, 0); });
}

bool performKeyEquivalentCommon(LView* view, const LUiEvent& event)
{
    LNativeWindow* window = view ? view->Window() : nullptr;
    if (!window || window->FirstResponder() != view)
        return false;
    GtkWidget* focus = window->FocusWidget();
    uint32_t mods = event.modifiers & (kLUiShift | kLUiControl | kLUiAlt | kLUiSuper);
    guint key = gdk_keyval_to_lower(event.keyval);
    auto* base = dynamic_cast<LCocoaViewBase*>(view);
    if (mods == kLUiControl) {
        switch (key) {
        case GDK_KEY_x:
            return EmitIfAny(focus, "cut-clipboard");
        case GDK_KEY_c:
            return EmitIfAny(focus, "copy-clipboard");
        case GDK_KEY_v:
            return EmitIfAny(focus, "paste-clipboard");
        case GDK_KEY_a:
            return SelectAll(focus);
        case GDK_KEY_z:
            if (base)
                base->undo();
            return true;
        default:
            break;
        }
    }
    if (mods == (kLUiControl | kLUiShift) && key == GDK_KEY_z) {
        if (base)
            base->redo();
        return true;
    }
    if ((mods & (kLUiAlt | kLUiControl)) || event.keyval == GDK_KEY_Escape)
        return false;
    // Any other key goes to the control now, before any menu sees it: the event itself, in its
    // order, so that dead keys, compose sequences and input methods work. A key the control
    // does not take goes on through GTK's own handling.
    if (!event.native || !focus)
        return false;
    return window->PropagateKeyToFocus(event);
}

void setDefaultCursor(LView* view, bool yes)
{
    if (!view)
        return;
    GtkWidget* w = view->ExistingWidget();
    GdkWindow* gw = w ? gtk_widget_get_window(w) : nullptr;
    if (yes && gw) {
        if (GdkCursor* c = gdk_window_get_cursor(gw)) {
            g_object_ref(c);
            view->SetAssociatedObject(
                &kDefaultCursorKey, std::shared_ptr<void>(c, [](void* p) { g_object_unref(p); }));
        } else {
            view->RemoveAssociatedValue(&kDefaultCursorKey);
        }
    } else {
        view->RemoveAssociatedValue(&kDefaultCursorKey);
    }
    if (gw)
        gdk_window_set_cursor(gw, view->GetAssociatedObjectAs<GdkCursor>(&kDefaultCursorKey));
}

} // namespace LCocoaView
