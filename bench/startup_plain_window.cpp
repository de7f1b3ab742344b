// The start-up benchmark's reference: a plain GTK 3 window, a program of its own started as the
// program is. A menubar with the program's six menu titles over a drawing area that paints a disc
// on the grey of the design canvas, sized to the work area as the program's window is. SIGTERM
// ends it.
#include <cmath>
#include <csignal>
#include <gtk/gtk.h>
#include <initializer_list>
#include <unistd.h>

static gboolean DrawDisc(GtkWidget* area, cairo_t* cr, gpointer)
{
    const double w = gtk_widget_get_allocated_width(area),
                 h = gtk_widget_get_allocated_height(area);
    const double grey = 172 / 255.0, r = 0.45 * std::fmin(w, h); // the canvas's grey
    cairo_set_source_rgb(cr, grey, grey, grey);
    cairo_paint(cr);
    cairo_arc(cr, w / 2, h / 2, r, 0, 2 * M_PI);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill(cr);
    return FALSE;
}

int main()
{
    gtk_init(nullptr, nullptr);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "Vanligt GTK-fönster");
    GdkRectangle area {};
    gdk_monitor_get_workarea(gdk_display_get_primary_monitor(gdk_display_get_default()), &area);
    gtk_window_set_default_size(GTK_WINDOW(window), area.width, area.height);
    GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    GtkWidget* bar = gtk_menu_bar_new();
    for (const char* title : { "Vorantel", "Arkiv", "Redigera", "Overlay", "Fönstret", "Hjälp" })
        gtk_menu_shell_append(GTK_MENU_SHELL(bar), gtk_menu_item_new_with_label(title));
    gtk_box_pack_start(GTK_BOX(column), bar, FALSE, FALSE, 0);
    GtkWidget* drawing = gtk_drawing_area_new();
    g_signal_connect(drawing, "draw", G_CALLBACK(DrawDisc), nullptr);
    gtk_box_pack_start(GTK_BOX(column), drawing, TRUE, TRUE, 0);
    gtk_container_add(GTK_CONTAINER(window), column);
    gtk_widget_show_all(window);
    signal(SIGTERM, [](int) { _exit(0); });
    gtk_main();
}
