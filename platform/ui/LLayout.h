// The absolute-layout container: every child gets exactly the rectangle it was given (points,
// relative to the container, y down), whatever its own size request, and the children stack in
// the order they were added (the last one on top) and can be reordered. The container has its
// own GDK window, so it clips its children and receives pointer, wheel and key events. To
// assistive technologies it is a panel unless told otherwise.
#pragma once

#include <gtk/gtk.h>

G_BEGIN_DECLS

#define VT_TYPE_LAYOUT (vt_layout_get_type())
G_DECLARE_FINAL_TYPE(VtLayout, vt_layout, VT, LAYOUT, GtkContainer)

// Called before the children are drawn; cr is in the container's coordinates.
typedef void (*VtLayoutDrawFunc)(VtLayout* layout, cairo_t* cr, gpointer data);

GtkWidget* vt_layout_new(void);

// Adds a child on top of the others at the rectangle.
void vt_layout_put(VtLayout* layout, GtkWidget* child, int x, int y, int width, int height);
// Adds a child at the stacking position (0 the bottom); a position past the end puts it on top.
void vt_layout_insert(
    VtLayout* layout, GtkWidget* child, guint position, int x, int y, int width, int height);
void vt_layout_move_resize(VtLayout* layout, GtkWidget* child, int x, int y, int width, int height);
// Moves a child to the stacking position (0 the bottom).
void vt_layout_restack(VtLayout* layout, GtkWidget* child, guint position);
// The size the container asks of its parent (minimum and natural); 0 x 0 unless set.
void vt_layout_set_request(VtLayout* layout, int width, int height);
void vt_layout_set_draw_func(VtLayout* layout, VtLayoutDrawFunc func, gpointer data);
guint vt_layout_get_n_children(VtLayout* layout);

// What assistive technologies are told of a layout that stands for something (a painted control):
// its role (a panel when there is no function), its name (newly allocated, or null), the name of
// its one action (null: none) and that action. Each function may be null.
typedef struct {
    AtkRole (*role)(gpointer data);
    char* (*name)(gpointer data);
    const char* (*action_name)(gpointer data);
    gboolean (*activate)(gpointer data);
} VtLayoutAccessibleFuncs;
void vt_layout_set_accessible_funcs(
    VtLayout* layout, const VtLayoutAccessibleFuncs* funcs, gpointer data);

G_END_DECLS
