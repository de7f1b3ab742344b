// Helpers for tests of the GTK dialogs the layer runs modally (file and colour choosers).
#pragma once

#include "platform/ui/LUiFilePanel.h"

#include <gtk/gtk.h>

#include <functional>
#include <string>

namespace uitest {

// Keeps a picture of a GTK dialog (drawn by itself, so no other window covers it).
inline void SavePanelShot(GtkWidget* panel, const std::string& path)
{
    while (gtk_events_pending())
        gtk_main_iteration();
    int w = gtk_widget_get_allocated_width(panel), h = gtk_widget_get_allocated_height(panel);
    int s = gtk_widget_get_scale_factor(panel);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w * s, h * s);
    cairo_surface_set_device_scale(surface, s, s);
    cairo_t* cr = cairo_create(surface);
    gtk_widget_draw(panel, cr);
    cairo_destroy(cr);
    g_mkdir_with_parents(g_path_get_dirname(path.c_str()), 0755);
    cairo_surface_write_to_png(surface, path.c_str());
    cairo_surface_destroy(surface);
}

// Runs act on the chooser once it is up (while the panel's own loop turns).
inline void WhenPanelUp(std::function<void(GtkWidget*)> act)
{
    auto* holder = new std::function<void(GtkWidget*)>(std::move(act));
    g_timeout_add(
        50,
        [](gpointer data) -> gboolean {
            auto* f = static_cast<std::function<void(GtkWidget*)>*>(data);
            auto* panel = static_cast<GtkWidget*>(LUiCurrentPanel());
            if (!panel || !gtk_widget_get_mapped(panel))
                return G_SOURCE_CONTINUE;
            (*f)(panel);
            delete f;
            return G_SOURCE_REMOVE;
        },
        holder);
}

} // namespace uitest
