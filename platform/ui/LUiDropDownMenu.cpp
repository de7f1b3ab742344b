#include "platform/ui/LUiDropDownMenu.h"

#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <algorithm>

namespace {

// A GtkMenu whose height can be bounded: GtkMenu asks for the height of all its items, and on
// Wayland GTK gives its window the height it asks for whatever the screen's, leaving it to the
// compositor to make it shorter. Given less, the menu scrolls (its arrows at the top and bottom).
struct BoundedMenu {
    GtkMenu parent;
    int limit;
};

struct BoundedMenuClass {
    GtkMenuClass parent_class;
};

G_DEFINE_TYPE(BoundedMenu, bounded_menu, GTK_TYPE_MENU)

#define BOUNDED_MENU(o) (G_TYPE_CHECK_INSTANCE_CAST((o), bounded_menu_get_type(), BoundedMenu))
#define IS_BOUNDED_MENU(o) (G_TYPE_CHECK_INSTANCE_TYPE((o), bounded_menu_get_type()))

void Bound(GtkWidget* widget, int* minimum, int* natural)
{
    const int limit = BOUNDED_MENU(widget)->limit;
    if (limit <= 0)
        return;
    *minimum = std::min(*minimum, limit);
    *natural = std::min(*natural, limit);
}

void bounded_menu_init(BoundedMenu* menu)
{
    menu->limit = 0;
}

void bounded_menu_class_init(BoundedMenuClass* c)
{
    GtkWidgetClass* widget = GTK_WIDGET_CLASS(c);
    widget->get_preferred_height = [](GtkWidget* w, int* minimum, int* natural) {
        GTK_WIDGET_CLASS(bounded_menu_parent_class)->get_preferred_height(w, minimum, natural);
        Bound(w, minimum, natural);
    };
    widget->get_preferred_height_for_width
        = [](GtkWidget* w, int width, int* minimum, int* natural) {
              GTK_WIDGET_CLASS(bounded_menu_parent_class)
                  ->get_preferred_height_for_width(w, width, minimum, natural);
              Bound(w, minimum, natural);
          };
}

void SetLimit(GtkWidget* menu, int limit)
{
    BoundedMenu* self = BOUNDED_MENU(menu);
    if (self->limit == limit)
        return;
    self->limit = limit;
    gtk_widget_queue_resize(menu);
}

int NaturalHeight(GtkWidget* widget)
{
    int minimum = 0, natural = 0;
    gtk_widget_get_preferred_height(widget, &minimum, &natural);
    return std::max(minimum, natural);
}

} // namespace

GtkWidget* LUiDropDownMenuNew()
{
    return GTK_WIDGET(g_object_new(bounded_menu_get_type(), nullptr));
}

bool LUiDropDownMenuOpensOnKeyRelease(GtkWidget* widget)
{
#ifdef GDK_WINDOWING_X11
    if (GDK_IS_X11_DISPLAY(gtk_widget_get_display(widget)))
        return false;
#endif
    (void)widget;
    return true;
}

int LUiDropDownMenuLimit(GtkWidget* menu)
{
    return menu && IS_BOUNDED_MENU(menu) ? BOUNDED_MENU(menu)->limit : 0;
}

void LUiDropDownMenuFit(GtkWidget* menu, GtkWidget* from)
{
    if (!menu || !IS_BOUNDED_MENU(menu))
        return;
    SetLimit(menu, 0);
    g_object_set(menu, "rect-anchor-dy", 0, nullptr);
    if (!from || !gtk_widget_get_realized(from))
        return;
#ifdef GDK_WINDOWING_X11
    if (GDK_IS_X11_DISPLAY(gtk_widget_get_display(from)))
        return;
#endif
    GtkWidget* top = gtk_widget_get_toplevel(from);
    GtkWidget* content = GTK_IS_WINDOW(top) ? gtk_bin_get_child(GTK_BIN(top)) : nullptr;
    GtkWidget* menuWindow = gtk_widget_get_toplevel(menu);
    if (!content || !gtk_widget_get_realized(top) || !GTK_IS_WINDOW(menuWindow))
        return;
    // The area of the window below its title bar, and where the widget stands in it (the
    // coordinates of the window's own GDK window, its shadow included).
    GtkAllocation inside;
    gtk_widget_get_allocation(content, &inside);
    int x = 0, y = 0;
    if (!gtk_widget_translate_coordinates(from, top, 0, 0, &x, &y))
        return;
    const int below = y + gtk_widget_get_allocated_height(from);
    int screen = inside.height;
    if (GdkMonitor* monitor = gdk_display_get_monitor_at_window(
            gtk_widget_get_display(top), gtk_widget_get_window(top))) {
        GdkRectangle work;
        gdk_monitor_get_workarea(monitor, &work);
        screen = work.height;
    }
    // What GTK draws around the menu (its border and shadow) comes on top of the menu's height;
    // its window knows the shadow it draws once it is realised.
    gtk_widget_realize(menuWindow);
    const int whole = NaturalHeight(menuWindow);
    const int around = std::max(0, whole - NaturalHeight(menu));
    const int bottom = inside.y + inside.height;
    if (below + whole <= bottom)
        return;
    const int height = std::min({ whole, screen, inside.height });
    SetLimit(menu, std::max(1, height - around));
    // Below the widget where it fits, else as low as the window lets it.
    const int at = below + height <= bottom ? below : std::max(inside.y, bottom - height);
    g_object_set(menu, "rect-anchor-dy", at - below, nullptr);
}
