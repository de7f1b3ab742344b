#include "platform/ui/LUiFocusReturn.h"

#include <vector>

#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

namespace {

const char kOwnerKey[] = "vt-focus-owner";

// The window the keyboard is handed to and has not reached yet (weak), the handler that hears
// when it arrives, and the hand-back that waits for the events now queued.
GtkWindow* gOwed = nullptr;
gulong gOwedActive = 0;
guint gHandBack = 0;

void Forget()
{
    if (gHandBack) {
        g_source_remove(gHandBack);
        gHandBack = 0;
    }
    if (gOwed) {
        if (gOwedActive)
            g_signal_handler_disconnect(gOwed, gOwedActive);
        g_object_remove_weak_pointer(G_OBJECT(gOwed), reinterpret_cast<gpointer*>(&gOwed));
        gOwed = nullptr;
    }
    gOwedActive = 0;
}

GtkWindow* OwnerOf(GtkWindow* window)
{
    if (auto* ref = static_cast<GWeakRef*>(g_object_get_data(G_OBJECT(window), kOwnerKey))) {
        if (GObject* owner = static_cast<GObject*>(g_weak_ref_get(ref))) {
            // Held by the window's own data only as long as it lives: the pointer stays good.
            g_object_unref(owner);
            return GTK_WINDOW(owner);
        }
    }
    return gtk_window_get_transient_for(window);
}

// Whether the display gives the keyboard to the window now, whatever GTK has heard of it yet.
bool DisplayFocusOn(GtkWindow* window)
{
#ifdef GDK_WINDOWING_X11
    GdkWindow* gw = gtk_widget_get_window(GTK_WIDGET(window));
    if (gw && GDK_IS_X11_WINDOW(gw)) {
        Display* display = GDK_WINDOW_XDISPLAY(gw);
        const Window own = GDK_WINDOW_XID(gw);
        Window focus = None;
        int revert = 0;
        XGetInputFocus(display, &focus, &revert);
        if (focus == own)
            return true;
        if (focus == None || focus == PointerRoot)
            return false;
        // GTK gives the keyboard to a window of its own inside the top-level window. The
        // focused window may also be another program's, gone by now.
        Window root = None, parent = None, *children = nullptr;
        unsigned count = 0;
        gdk_x11_display_error_trap_push(gdk_window_get_display(gw));
        const Status queried = XQueryTree(display, focus, &root, &parent, &children, &count);
        gdk_x11_display_error_trap_pop_ignored(gdk_window_get_display(gw));
        if (children)
            XFree(children);
        return queried && parent == own;
    }
#endif
    return gtk_window_is_active(window);
}

// Whether the window has the keyboard as the display sees it. GTK also counts a window active
// while the keyboard goes nowhere in particular and so follows the pointer, which happens to be
// in the window: that is not the keyboard handed back.
bool HasKeyboard(GtkWindow* window)
{
    return gtk_window_is_active(window) && DisplayFocusOn(window);
}

bool AnotherWindowHasKeyboard(GtkWindow* except)
{
    bool found = false;
    GList* list = gtk_window_list_toplevels();
    for (GList* l = list; l && !found; l = l->next) {
        GtkWindow* w = GTK_WINDOW(l->data);
        found = w != except && gtk_widget_get_visible(GTK_WIDGET(w)) && HasKeyboard(w);
    }
    g_list_free(list);
    return found;
}

// Where no window manager hands the keyboard to windows (a display without one), the window
// is given it at the time given.
void FocusWhereNoWindowManager(GtkWindow* window, guint32 time)
{
    GdkWindow* gw = window ? gtk_widget_get_window(GTK_WIDGET(window)) : nullptr;
    if (!gw)
        return;
#ifdef GDK_WINDOWING_X11
    if (GDK_IS_X11_WINDOW(gw)
        && gdk_x11_screen_supports_net_wm_hint(
            gdk_window_get_screen(gw), gdk_atom_intern_static_string("_NET_ACTIVE_WINDOW")))
        return;
#endif
    gdk_window_focus(gw, time);
}

// Gives the owner the keyboard at once, while the closing window still shows, where the display
// has it on the closing window: from the closing window's going until the window manager has
// chosen the next one, the keyboard would go nowhere, and keys typed then would be lost. What the
// display sent the closing window before is read now, while that window can still be named: read
// after it went, it would be dropped (a progress window keeps such keys for its owner). False
// where that cannot be done (not X11, the owner not on the screen).
bool HandOverNow(GtkWindow* closing, GtkWindow* owner)
{
#ifdef GDK_WINDOWING_X11
    GdkWindow* gw = gtk_widget_get_window(GTK_WIDGET(owner));
    if (!gw || !GDK_IS_X11_WINDOW(gw) || !gdk_window_is_viewable(gw)
        || !gtk_widget_get_mapped(GTK_WIDGET(closing)) || !DisplayFocusOn(closing))
        return false;
    GdkDisplay* display = gdk_window_get_display(gw);
    gdk_x11_display_error_trap_push(display);
    XSetInputFocus(GDK_WINDOW_XDISPLAY(gw), GDK_WINDOW_XID(gw), RevertToParent, CurrentTime);
    // Waits for the server: what it sent before is in the connection now.
    if (gdk_x11_display_error_trap_pop(display) != 0)
        return false;
    std::vector<GdkEvent*> sent;
    while (GdkEvent* e = gdk_display_get_event(display))
        sent.push_back(e);
    for (GdkEvent* e : sent) {
        gdk_display_put_event(display, e);
        gdk_event_free(e);
    }
    return true;
#else
    (void)closing;
    (void)owner;
    return false;
#endif
}

gboolean HandBack(gpointer)
{
    gHandBack = 0;
    GtkWindow* target = gOwed;
    if (!target)
        return G_SOURCE_REMOVE;
    if (!gtk_widget_get_mapped(GTK_WIDGET(target)) || HasKeyboard(target)
        || AnotherWindowHasKeyboard(target)) {
        Forget();
        return G_SOURCE_REMOVE;
    }
    // Stays owed until it arrives: should the window close before, its owner is next.
    gtk_window_present(target);
    // GTK hands it over as of the last input (the key that opened the closed window, say);
    // without a window manager the display refuses that once the keyboard went back to the
    // screen when the closed window went, later. So it is handed over as of now.
    FocusWhereNoWindowManager(target, GDK_CURRENT_TIME);
    return G_SOURCE_REMOVE;
}

void OwedActiveChanged(GObject* window, GParamSpec*, gpointer)
{
    if (GTK_WINDOW(window) == gOwed && HasKeyboard(gOwed))
        Forget();
}

// A window shown while the keyboard is on its way: the new window is where it goes.
gboolean WindowMapped(GSignalInvocationHint*, guint n, const GValue* values, gpointer)
{
    if (!gOwed || n < 1)
        return TRUE;
    GObject* object = static_cast<GObject*>(g_value_get_object(&values[0]));
    if (GTK_IS_WINDOW(object) && GTK_WINDOW(object) != gOwed
        && gtk_window_get_window_type(GTK_WINDOW(object)) == GTK_WINDOW_TOPLEVEL)
        Forget();
    return TRUE;
}

void WatchMaps()
{
    static bool watching = false;
    if (watching)
        return;
    watching = true;
    g_signal_add_emission_hook(
        g_signal_lookup("map", GTK_TYPE_WIDGET), 0, WindowMapped, nullptr, nullptr);
}

} // namespace

void LUiSetFocusOwner(GtkWindow* window, GtkWindow* owner)
{
    if (!window)
        return;
    if (!owner || owner == window) {
        g_object_set_data(G_OBJECT(window), kOwnerKey, nullptr);
        return;
    }
    auto* ref = g_new0(GWeakRef, 1);
    g_weak_ref_init(ref, owner);
    g_object_set_data_full(G_OBJECT(window), kOwnerKey, ref, [](gpointer data) {
        g_weak_ref_clear(static_cast<GWeakRef*>(data));
        g_free(data);
    });
}

void LUiReturnFocus(GtkWindow* closing)
{
    // Also a window the display gave the keyboard to before GTK heard of it (a progress window
    // stopped as soon as it showed).
    if (!closing
        || !(gtk_window_is_active(closing) || closing == gOwed
            || (gtk_widget_get_mapped(GTK_WIDGET(closing)) && DisplayFocusOn(closing))))
        return;
    // The nearest window up the chain that is still shown: the ones between close too.
    GtkWindow* owner = OwnerOf(closing);
    for (int depth = 0; owner && !gtk_widget_get_visible(GTK_WIDGET(owner)) && depth < 16; ++depth)
        owner = OwnerOf(owner);
    Forget();
    if (!owner || owner == closing || !gtk_widget_get_visible(GTK_WIDGET(owner)))
        return;
    HandOverNow(closing, owner);
    WatchMaps();
    gOwed = owner;
    g_object_add_weak_pointer(G_OBJECT(gOwed), reinterpret_cast<gpointer*>(&gOwed));
    gOwedActive
        = g_signal_connect(gOwed, "notify::is-active", G_CALLBACK(OwedActiveChanged), nullptr);
    gHandBack = g_idle_add(HandBack, nullptr);
}

void LUiFocusMappedWindow(GtkWindow* window)
{
    FocusWhereNoWindowManager(window, gtk_get_current_event_time());
}
