// The start-up benchmark's reference: a plain GTK window with as much on it as the program's
// main window, a program of its own started as the program is. It has a header bar, six menus of
// twelve items with shortcuts, three notebook tabs of twelve labelled icon buttons, a drawing
// area that paints a disc on the grey of the design canvas, and a side panel of twelve labelled
// spin buttons, and is sized to the work area as the program's window is. SIGTERM ends it.
#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <csignal>
#include <gtk/gtk.h>
#include <unistd.h>

namespace {

constexpr const char* kPlainTitle = "Vanligt GTK-fönster";
// The design canvas's background, as the program paints it.
constexpr int kCanvasGrey = 172;

void AddMenu(GtkWidget* bar, GtkAccelGroup* accelerators, const char* title, int menu)
{
    static const char* const kItems[12]
        = { "Ny", "Öppna...", "Spara", "Spara som...", "Stäng", "Klipp ut", "Kopiera", "Klistra in",
              "Markera allt", "Ångra", "Gör om", "Inställningar..." };
    GtkWidget* items = gtk_menu_new();
    gtk_menu_set_accel_group(GTK_MENU(items), accelerators);
    for (int i = 0; i < 12; ++i) {
        GtkWidget* item = gtk_menu_item_new_with_label(kItems[i]);
        // Twelve different shortcuts per menu: a letter with Ctrl, Ctrl+Shift or Ctrl+Alt.
        const unsigned key = GDK_KEY_a + unsigned(menu * 2 + i) % 26;
        const GdkModifierType modifiers = GdkModifierType(GDK_CONTROL_MASK
            | (menu % 3 == 1 ? GDK_SHIFT_MASK : 0) | (menu % 3 == 2 ? GDK_MOD1_MASK : 0));
        gtk_widget_add_accelerator(
            item, "activate", accelerators, key, modifiers, GTK_ACCEL_VISIBLE);
        gtk_menu_shell_append(GTK_MENU_SHELL(items), item);
    }
    GtkWidget* top = gtk_menu_item_new_with_label(title);
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(top), items);
    gtk_menu_shell_append(GTK_MENU_SHELL(bar), top);
}

GtkWidget* ButtonTab()
{
    static const char* const kIcons[12] = { "document-new", "document-open", "document-save",
        "edit-cut", "edit-copy", "edit-paste", "edit-undo", "edit-redo", "insert-image",
        "insert-text", "document-print", "preferences-system" };
    static const char* const kLabels[12]
        = { "Ny", "Öppna", "Spara", "Klipp ut", "Kopiera", "Klistra in", "Ångra", "Gör om",
              "Lägg till bilder", "Infoga text", "Skriv ut", "Inställningar" };
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
    for (int i = 0; i < 12; ++i) {
        GtkWidget* button = gtk_button_new_with_label(kLabels[i]);
        gtk_button_set_image(
            GTK_BUTTON(button), gtk_image_new_from_icon_name(kIcons[i], GTK_ICON_SIZE_DND));
        gtk_button_set_image_position(GTK_BUTTON(button), GTK_POS_TOP);
        gtk_button_set_always_show_image(GTK_BUTTON(button), TRUE);
        gtk_button_set_relief(GTK_BUTTON(button), GTK_RELIEF_NONE);
        gtk_box_pack_start(GTK_BOX(row), button, FALSE, FALSE, 0);
    }
    return row;
}

gboolean DrawDisc(GtkWidget* area, cairo_t* cr, gpointer)
{
    const double w = gtk_widget_get_allocated_width(area);
    const double h = gtk_widget_get_allocated_height(area);
    cairo_set_source_rgb(cr, kCanvasGrey / 255.0, kCanvasGrey / 255.0, kCanvasGrey / 255.0);
    cairo_paint(cr);
    const double r = 0.45 * std::min(w, h);
    cairo_arc(cr, w / 2, h / 2, r, 0, 2 * M_PI);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_arc(cr, w / 2, h / 2, r * 0.3, 0, 2 * M_PI);
    cairo_set_source_rgb(cr, kCanvasGrey / 255.0, kCanvasGrey / 255.0, kCanvasGrey / 255.0);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_stroke(cr);
    return FALSE;
}

GtkWidget* SidePanel()
{
    static const char* const kLabels[12]
        = { "Vänster:", "Överkant:", "Bredd:", "Höjd:", "Rotation:", "Opacitet:", "Storlek:",
              "Radie:", "Start:", "Slut:", "Avstånd:", "Marginal:" };
    GtkWidget* grid = gtk_grid_new();
    gtk_grid_set_row_spacing(GTK_GRID(grid), 6);
    gtk_grid_set_column_spacing(GTK_GRID(grid), 8);
    for (int i = 0; i < 12; ++i) {
        GtkWidget* label = gtk_label_new(kLabels[i]);
        gtk_widget_set_halign(label, GTK_ALIGN_START);
        gtk_grid_attach(GTK_GRID(grid), label, 0, i, 1, 1);
        GtkWidget* spin = gtk_spin_button_new_with_range(-500, 500, 0.5);
        gtk_spin_button_set_digits(GTK_SPIN_BUTTON(spin), 2);
        gtk_grid_attach(GTK_GRID(grid), spin, 1, i, 1, 1);
    }
    return grid;
}

} // namespace

int main()
{
    gtk_init(nullptr, nullptr);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), kPlainTitle);
    GtkWidget* header = gtk_header_bar_new();
    gtk_header_bar_set_title(GTK_HEADER_BAR(header), kPlainTitle);
    gtk_header_bar_set_show_close_button(GTK_HEADER_BAR(header), TRUE);
    gtk_window_set_titlebar(GTK_WINDOW(window), header);
    GdkRectangle area {};
    gdk_monitor_get_workarea(gdk_display_get_primary_monitor(gdk_display_get_default()), &area);
    gtk_window_set_default_size(GTK_WINDOW(window), area.width, area.height);

    GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    GtkAccelGroup* accelerators = gtk_accel_group_new();
    gtk_window_add_accel_group(GTK_WINDOW(window), accelerators);
    GtkWidget* bar = gtk_menu_bar_new();
    int menu = 0;
    for (const char* title : { "Vorantel", "Arkiv", "Redigera", "Overlay", "Fönstret", "Hjälp" })
        AddMenu(bar, accelerators, title, menu++);
    gtk_box_pack_start(GTK_BOX(column), bar, FALSE, FALSE, 0);

    GtkWidget* tabs = gtk_notebook_new();
    for (const char* title : { "Hem", "Redigera", "Paket" })
        gtk_notebook_append_page(GTK_NOTEBOOK(tabs), ButtonTab(), gtk_label_new(title));
    gtk_box_pack_start(GTK_BOX(column), tabs, FALSE, FALSE, 0);

    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    GtkWidget* drawing = gtk_drawing_area_new();
    g_signal_connect(drawing, "draw", G_CALLBACK(DrawDisc), nullptr);
    gtk_box_pack_start(GTK_BOX(row), drawing, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(row), SidePanel(), FALSE, FALSE, 8);
    gtk_box_pack_start(GTK_BOX(column), row, TRUE, TRUE, 0);

    gtk_container_add(GTK_CONTAINER(window), column);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    gtk_widget_show_all(window);
    signal(SIGTERM, [](int) { _exit(0); });
    gtk_main();
    return 0;
}
