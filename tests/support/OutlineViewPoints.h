// Where the rows of a list or tree view stand in its window: GTK's tree coordinates turned into
// points of the window's content, for clicks and drags with the real pointer.
#pragma once

#include "lfw/mac/cocoa/LCocoaOutlineViewImpl.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LView.h"

#include <gtk/gtk.h>

// A point of the view's rows (tree coordinates) in the window's content (points).
inline LUiPoint RowContentPoint(LCocoaOutlineViewImpl* view, double x, double y)
{
    int wx = 0, wy = 0, cx = 0, cy = 0;
    gtk_tree_view_convert_tree_to_widget_coords(
        GTK_TREE_VIEW(view->treeView()), int(x), int(y), &wx, &wy);
    GtkWidget* content = view->Window()->ContentView()->Widget();
    gtk_widget_translate_coordinates(view->treeView(), content, wx, wy, &cx, &cy);
    return LUiPoint { double(cx), double(cy) };
}
