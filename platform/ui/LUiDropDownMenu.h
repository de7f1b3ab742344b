// The menu of a pull-down list, which drops down from the list's button. Where the program places
// its windows itself (X11), GDK moves such a menu onto the screen and makes a long one short
// enough to scroll. Elsewhere (Wayland) the compositor places it, and not every compositor does
// either: a window there does not know where it stands on the screen, so a menu that would reach
// past the bottom of its window is kept within its window's height (and the screen's) and placed
// inside the window's top and bottom, where it shows whole wherever the window stands; it
// scrolls.
#pragma once

#include <gtk/gtk.h>

// A new, empty menu (a floating reference, as gtk_menu_new's).
GtkWidget* LUiDropDownMenuNew();
// Fits the menu to the window of the widget it drops down from, as above; to be called as the
// menu shows (its "show" signal), before GTK places it. Nothing on X11.
void LUiDropDownMenuFit(GtkWidget* menu, GtkWidget* from);
// Whether a menu opened from the widget by a key opens as the key is let go rather than as it is
// pressed: a Wayland compositor lets a menu take the keyboard only for the latest key event, and
// a key let go while a long menu is being made (which takes longer than a quick key press) would
// have the menu refused and closed at once.
bool LUiDropDownMenuOpensOnKeyRelease(GtkWidget* widget);
// The most the menu may be tall now (points); 0 when it may have its whole height.
int LUiDropDownMenuLimit(GtkWidget* menu);
