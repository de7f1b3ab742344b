#include "platform/ui/LUiKeptKeys.h"

#include "platform/ui/LEventHub.h"
#include "platform/ui/LNativeWindow.h"

#include <gtk/gtk.h>

#include <algorithm>

namespace {

// The window's own GDK window, referenced; null when it has none (not realised, or closed).
GdkWindow* TopOf(LNativeWindow* window)
{
    GtkWindow* gtk = window ? window->Gtk() : nullptr;
    GdkWindow* gdk = gtk ? gtk_widget_get_window(GTK_WIDGET(gtk)) : nullptr;
    return gdk ? static_cast<GdkWindow*>(g_object_ref(gdk)) : nullptr;
}

} // namespace

LUiKeptKeys::LUiKeptKeys(LNativeWindow* window)
    : fOwner(TopOf(window))
{
    if (fOwner)
        fMonitor = LEventHub::AddMonitor(kLEventHubKey | kLEventHubDelete, Monitor, this);
}

LUiKeptKeys::~LUiKeptKeys()
{
    Release();
}

void LUiKeptKeys::Also(LNativeWindow* window)
{
    if (!fMonitor)
        return;
    if (GdkWindow* gdk = TopOf(window))
        fAlso.push_back(gdk);
}

bool LUiKeptKeys::Keeps(GdkWindow* window) const
{
    GdkWindow* top = window ? gdk_window_get_toplevel(window) : nullptr;
    return top && (top == fOwner || std::find(fAlso.begin(), fAlso.end(), top) != fAlso.end());
}

bool LUiKeptKeys::Takes(const GdkEvent* event) const
{
    if (!Keeps(event->any.window))
        return false;
    switch (event->type) {
    case GDK_DELETE:
        // Only the window's own close box waits; the modal window's is its own affair.
        return gdk_window_get_toplevel(event->any.window) == fOwner;
    case GDK_KEY_PRESS:
    case GDK_KEY_RELEASE:
        return event->key.keyval != GDK_KEY_Escape;
    default:
        return false;
    }
}

void LUiKeptKeys::Readdress(GdkEvent* event) const
{
    if (event->any.window != fOwner) {
        if (event->any.window)
            g_object_unref(event->any.window);
        event->any.window = static_cast<GdkWindow*>(g_object_ref(fOwner));
    }
}

bool LUiKeptKeys::Monitor(GdkEvent* event, void* data)
{
    auto* self = static_cast<LUiKeptKeys*>(data);
    if (!self->Takes(event))
        return false;
    GdkEvent* copy = gdk_event_copy(event);
    self->Readdress(copy);
    self->fKept.push_back(copy);
    return true;
}

void LUiKeptKeys::Release()
{
    if (fMonitor) {
        LEventHub::RemoveMonitor(fMonitor);
        fMonitor = 0;
    }
    std::vector<GdkEvent*> kept;
    kept.swap(fKept);
    if (fOwner && !gdk_window_is_destroyed(fOwner)) {
        // What came in since (read from the display and not handled yet) goes after the kept
        // keys, as it came after them; keys among it typed to the modal window, which has gone
        // by now, go to the window too.
        std::vector<GdkEvent*> later;
        while (GdkEvent* e = gdk_event_get())
            later.push_back(e);
        for (GdkEvent* e : kept)
            gdk_event_put(e);
        for (GdkEvent* e : later) {
            if (Takes(e))
                Readdress(e);
            gdk_event_put(e);
            gdk_event_free(e);
        }
    }
    for (GdkEvent* e : kept)
        gdk_event_free(e);
    for (GdkWindow* w : fAlso)
        g_object_unref(w);
    fAlso.clear();
    if (fOwner) {
        g_object_unref(fOwner);
        fOwner = nullptr;
    }
}

size_t LUiKeptKeys::KeptPresses() const
{
    return size_t(std::count_if(
        fKept.begin(), fKept.end(), [](const GdkEvent* e) { return e->type == GDK_KEY_PRESS; }));
}
