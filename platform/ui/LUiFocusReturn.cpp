#include "platform/ui/LUiFocusReturn.h"

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

bool AnotherWindowActive(GtkWindow* except)
{
    bool active = false;
    GList* list = gtk_window_list_toplevels();
    for (GList* l = list; l; l = l->next) {
        GtkWindow* w = GTK_WINDOW(l->data);
        if (w != except && gtk_widget_get_visible(GTK_WIDGET(w)) && gtk_window_is_active(w))
            active = true;
    }
    g_list_free(list);
    return active;
}

gboolean HandBack(gpointer)
{
    gHandBack = 0;
    GtkWindow* target = gOwed;
    if (!target)
        return G_SOURCE_REMOVE;
    if (!gtk_widget_get_mapped(GTK_WIDGET(target)) || gtk_window_is_active(target)
        || AnotherWindowActive(target)) {
        Forget();
        return G_SOURCE_REMOVE;
    }
    // Stays owed until it arrives: should the window close before, its owner is next.
    gtk_window_present(target);
    return G_SOURCE_REMOVE;
}

void OwedActiveChanged(GObject* window, GParamSpec*, gpointer)
{
    if (GTK_WINDOW(window) == gOwed && gtk_window_is_active(gOwed))
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
    if (!closing || !(gtk_window_is_active(closing) || closing == gOwed))
        return;
    // The nearest window up the chain that is still shown: the ones between close too.
    GtkWindow* owner = OwnerOf(closing);
    for (int depth = 0; owner && !gtk_widget_get_visible(GTK_WIDGET(owner)) && depth < 16; ++depth)
        owner = OwnerOf(owner);
    Forget();
    if (!owner || owner == closing || !gtk_widget_get_visible(GTK_WIDGET(owner)))
        return;
    WatchMaps();
    gOwed = owner;
    g_object_add_weak_pointer(G_OBJECT(gOwed), reinterpret_cast<gpointer*>(&gOwed));
    gOwedActive
        = g_signal_connect(gOwed, "notify::is-active", G_CALLBACK(OwedActiveChanged), nullptr);
    gHandBack = g_idle_add(HandBack, nullptr);
}
