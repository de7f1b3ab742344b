// Helpers for tests of the GTK dialogs the layer runs modally (file and colour choosers).
#pragma once

#include "platform/ui/LUiAlert.h"
#include "platform/ui/LUiFilePanel.h"

#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <vector>

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
    gchar* folder = g_path_get_dirname(path.c_str());
    g_mkdir_with_parents(folder, 0755);
    g_free(folder);
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

// Chooses path in an open chooser and accepts it. The chooser loads its folder in the background
// and swallows an "accept" that comes before the file is selected, so the answer waits for the
// selection and is repeated until the panel goes; a selection the loading folder dropped is asked
// for again every half second. After 20 s the panel is cancelled, so a chooser that never settles
// fails the test instead of hanging it.
inline void AcceptFile(GtkWidget* panel, const std::string& path)
{
    struct Pending {
        GtkWidget* panel;
        std::string path;
        gint64 deadline;
        gint64 reselect;
    };
    gtk_file_chooser_select_filename(GTK_FILE_CHOOSER(panel), path.c_str());
    g_object_ref(panel);
    g_timeout_add(
        25,
        [](gpointer data) -> gboolean {
            auto* p = static_cast<Pending*>(data);
            if (!gtk_widget_get_mapped(p->panel) || LUiCurrentPanel() != p->panel) {
                g_object_unref(p->panel);
                delete p;
                return G_SOURCE_REMOVE;
            }
            if (g_get_monotonic_time() > p->deadline) {
                gtk_dialog_response(GTK_DIALOG(p->panel), GTK_RESPONSE_CANCEL);
                return G_SOURCE_CONTINUE;
            }
            gchar* chosen = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(p->panel));
            const bool selected = chosen && p->path == chosen;
            g_free(chosen);
            if (selected) {
                gtk_dialog_response(GTK_DIALOG(p->panel), GTK_RESPONSE_ACCEPT);
            } else if (g_get_monotonic_time() > p->reselect) {
                gtk_file_chooser_select_filename(GTK_FILE_CHOOSER(p->panel), p->path.c_str());
                p->reselect = g_get_monotonic_time() + G_USEC_PER_SEC / 2;
            }
            return G_SOURCE_CONTINUE;
        },
        new Pending { panel, path, g_get_monotonic_time() + 20 * G_USEC_PER_SEC,
            g_get_monotonic_time() + G_USEC_PER_SEC / 2 });
}

// The first widget of the GTK type inside a widget tree (the tree itself too); null when none.
inline GtkWidget* FindWidget(GtkWidget* w, GType type)
{
    if (G_TYPE_CHECK_INSTANCE_TYPE(w, type))
        return w;
    GtkWidget* found = nullptr;
    if (GTK_IS_CONTAINER(w)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(w));
        for (GList* c = children; c && !found; c = c->next)
            found = FindWidget(GTK_WIDGET(c->data), type);
        g_list_free(children);
    }
    return found;
}

// The names a chooser's file list shows, top to bottom: the texts its first column draws.
inline std::vector<std::string> ListedNames(GtkWidget* panel)
{
    std::vector<std::string> names;
    GtkWidget* list = FindWidget(panel, GTK_TYPE_TREE_VIEW);
    GtkTreeModel* model = list ? gtk_tree_view_get_model(GTK_TREE_VIEW(list)) : nullptr;
    GtkTreeViewColumn* column = list ? gtk_tree_view_get_column(GTK_TREE_VIEW(list), 0) : nullptr;
    if (!model || !column)
        return names;
    GList* cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(column));
    GtkTreeIter row;
    for (bool more = gtk_tree_model_get_iter_first(model, &row); more;
         more = gtk_tree_model_iter_next(model, &row)) {
        gtk_tree_view_column_cell_set_cell_data(column, model, &row, FALSE, FALSE);
        for (GList* c = cells; c; c = c->next) {
            if (!GTK_IS_CELL_RENDERER_TEXT(c->data))
                continue;
            gchar* text = nullptr;
            g_object_get(c->data, "text", &text, nullptr);
            names.push_back(text ? text : "");
            g_free(text);
        }
    }
    g_list_free(cells);
    return names;
}

// Once the chooser's file list shows at least count names (it loads its folder in the
// background), or after ms: what it shows.
inline std::vector<std::string> WaitListedNames(GtkWidget* panel, size_t count, int ms = 3000)
{
    const gint64 end = g_get_monotonic_time() + gint64(ms) * 1000;
    std::vector<std::string> names = ListedNames(panel);
    while (names.size() < count && g_get_monotonic_time() < end) {
        while (gtk_events_pending())
            gtk_main_iteration();
        g_usleep(10000);
        names = ListedNames(panel);
    }
    return names;
}

// The name a chooser shows for the file (GIO's display name: a name that is not UTF-8 is shown
// with its bad bytes replaced and a note after it).
inline std::string ShownName(const std::string& path)
{
    GFile* file = g_file_new_for_path(path.c_str());
    GFileInfo* info = g_file_query_info(
        file, G_FILE_ATTRIBUTE_STANDARD_DISPLAY_NAME, G_FILE_QUERY_INFO_NONE, nullptr, nullptr);
    const std::string shown = info ? g_file_info_get_display_name(info) : "";
    if (info)
        g_object_unref(info);
    g_object_unref(file);
    return shown;
}

// The button with the label inside a widget tree; null when none.
inline GtkWidget* FindButton(GtkWidget* w, const std::string& label)
{
    if (GTK_IS_BUTTON(w)) {
        const char* l = gtk_button_get_label(GTK_BUTTON(w));
        if (l && label == l)
            return w;
    }
    GtkWidget* found = nullptr;
    if (GTK_IS_CONTAINER(w)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(w));
        for (GList* c = children; c && !found; c = c->next)
            found = FindButton(GTK_WIDGET(c->data), label);
        g_list_free(children);
    }
    return found;
}

// Once an alert is up: keeps its headline in *headline and clicks the button with the label.
inline void AnswerAlert(std::string* headline, const std::string& label)
{
    struct Answer {
        std::string* headline;
        std::string label;
    };
    g_timeout_add(
        50,
        [](gpointer data) -> gboolean {
            auto* a = static_cast<Answer*>(data);
            auto* alert = static_cast<GtkWidget*>(LUiCurrentAlertWidget());
            if (!alert || !gtk_widget_get_mapped(alert))
                return G_SOURCE_CONTINUE;
            if (a->headline) {
                gchar* text = nullptr;
                g_object_get(alert, "text", &text, nullptr);
                *a->headline = text ? text : "";
                g_free(text);
            }
            if (GtkWidget* b = FindButton(alert, a->label))
                gtk_button_clicked(GTK_BUTTON(b));
            else
                gtk_dialog_response(GTK_DIALOG(alert), GTK_RESPONSE_DELETE_EVENT);
            delete a;
            return G_SOURCE_REMOVE;
        },
        new Answer { headline, label });
}

} // namespace uitest
