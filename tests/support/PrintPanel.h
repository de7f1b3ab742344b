// GTK's print panel as the tests answer it: found among the top-level windows, its print button
// pressed once a printer is chosen. Header only (the tests that print link GTK).
#pragma once

#include <gtk/gtk.h>

#include <cstring>

// The print panel that shows; null when none does.
inline GtkWidget* PrintPanel()
{
    GtkWidget* found = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w && !found; w = w->next)
        if (std::strcmp(G_OBJECT_TYPE_NAME(w->data), "GtkPrintUnixDialog") == 0
            && gtk_widget_get_visible(GTK_WIDGET(w->data)))
            found = GTK_WIDGET(w->data);
    g_list_free(windows);
    return found;
}

// The panel's print button once a printer is chosen and it is on screen; null before.
inline GtkWidget* ReadyPrintButton()
{
    GtkWidget* panel = PrintPanel();
    GtkWidget* ok
        = panel ? gtk_dialog_get_widget_for_response(GTK_DIALOG(panel), GTK_RESPONSE_OK) : nullptr;
    return ok && gtk_widget_is_sensitive(ok) && gtk_widget_get_mapped(ok) ? ok : nullptr;
}

// For g_timeout_add: presses the panel's print button once it is ready, then stops.
inline gboolean AnswerPrintPanel(gpointer)
{
    if (!ReadyPrintButton())
        return G_SOURCE_CONTINUE;
    gtk_dialog_response(GTK_DIALOG(PrintPanel()), GTK_RESPONSE_OK);
    return G_SOURCE_REMOVE;
}
