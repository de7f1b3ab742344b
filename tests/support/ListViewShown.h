// What a list view shows, read as a person and an assistive technology read it: the titles of its
// columns, whether a header title or a cell holds any ink in a picture of the window, the text a
// cell is drawn with, and where the columns stand.
#pragma once

#include "lfw/mac/cocoa/LCocoaOutlineViewImpl.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <gtk/gtk.h>
#include <map>
#include <string>
#include <vector>

namespace listshown {

// A column as the view shows it (view order).
struct Column {
    bool visible = false;
    std::string title; // GTK's title of the column
    std::string description; // the accessibility tree's description of the column
    int x = 0, width = 0; // in the rows, points
};

inline std::vector<Column> Columns(LCocoaOutlineViewImpl* view)
{
    std::vector<Column> out;
    GtkTreeView* tree = GTK_TREE_VIEW(view->treeView());
    AtkObject* accessible = gtk_widget_get_accessible(GTK_WIDGET(tree));
    AtkTable* table = ATK_IS_TABLE(accessible) ? ATK_TABLE(accessible) : nullptr;
    int shown = 0; // the accessibility tree counts the visible columns only
    for (size_t i = 0; i < view->numberOfColumns(); ++i) {
        GtkTreeViewColumn* c = view->tableColumn(int(i))->gtkColumn;
        Column col;
        col.visible = gtk_tree_view_column_get_visible(c);
        if (const char* t = gtk_tree_view_column_get_title(c))
            col.title = t;
        col.x = gtk_tree_view_column_get_x_offset(c);
        col.width = gtk_tree_view_column_get_width(c);
        if (col.visible && table)
            if (const char* d = atk_table_get_column_description(table, shown++))
                col.description = d;
        out.push_back(col);
    }
    return out;
}

// The text a cell is drawn with: the cell is filled as for drawing.
inline std::string CellText(LCocoaOutlineViewImpl* view, int row, int viewColumn)
{
    GtkTreeModel* model = gtk_tree_view_get_model(GTK_TREE_VIEW(view->treeView()));
    LCocoaTableColumn* c = view->tableColumn(viewColumn);
    GtkTreeIter iter;
    GtkTreePath* path = gtk_tree_path_new_from_indices(row, -1);
    bool found = model && c && c->textRenderer && gtk_tree_model_get_iter(model, &iter, path);
    gtk_tree_path_free(path);
    if (!found)
        return "";
    gtk_tree_view_column_cell_set_cell_data(c->gtkColumn, model, &iter, FALSE, FALSE);
    gchar* text = nullptr;
    g_object_get(c->textRenderer, "text", &text, nullptr);
    std::string out = text ? text : "";
    g_free(text);
    return out;
}

// A widget's rectangle in its window (points).
inline GdkRectangle InWindow(GtkWidget* widget, GdkRectangle r)
{
    int x = 0, y = 0;
    gtk_widget_translate_coordinates(widget, gtk_widget_get_toplevel(widget), r.x, r.y, &x, &y);
    return GdkRectangle { x, y, r.width, r.height };
}

// Where the title of a column's header stands in the window (points).
inline GdkRectangle HeaderTitleRect(LCocoaOutlineViewImpl* view, int viewColumn)
{
    GtkWidget* label = gtk_tree_view_column_get_widget(view->tableColumn(viewColumn)->gtkColumn);
    GtkAllocation a;
    gtk_widget_get_allocation(label, &a);
    return InWindow(label, GdkRectangle { 0, 0, a.width, a.height });
}

// Where a cell stands in the window (points).
inline GdkRectangle CellRect(LCocoaOutlineViewImpl* view, int row, int viewColumn)
{
    GtkTreeView* tree = GTK_TREE_VIEW(view->treeView());
    GtkTreePath* path = gtk_tree_path_new_from_indices(row, -1);
    GdkRectangle cell;
    gtk_tree_view_get_cell_area(tree, path, view->tableColumn(viewColumn)->gtkColumn, &cell);
    gtk_tree_path_free(path);
    int x = 0, y = 0;
    gtk_tree_view_convert_bin_window_to_widget_coords(tree, cell.x, cell.y, &x, &y);
    return InWindow(GTK_WIDGET(tree), GdkRectangle { x, y, cell.width, cell.height });
}

// The pixels of a rectangle (points) of a picture of the window (device pixels at scale) that
// differ clearly from the rectangle's commonest colour: the ink of text drawn there.
inline int InkPixels(cairo_surface_t* picture, GdkRectangle r, double scale)
{
    const int w = cairo_image_surface_get_width(picture);
    const int h = cairo_image_surface_get_height(picture);
    const int stride = cairo_image_surface_get_stride(picture);
    const unsigned char* data = cairo_image_surface_get_data(picture);
    const int x0 = std::max(0, int(r.x * scale)), y0 = std::max(0, int(r.y * scale));
    const int x1 = std::min(w, int((r.x + r.width) * scale));
    const int y1 = std::min(h, int((r.y + r.height) * scale));
    auto pixel = [&](int x, int y) {
        return *reinterpret_cast<const uint32_t*>(data + y * stride + x * 4) & 0xffffffu;
    };
    std::map<uint32_t, int> counts;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            ++counts[pixel(x, y)];
    if (counts.empty())
        return 0;
    uint32_t ground = std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) {
        return a.second < b.second;
    })->first;
    int ink = 0;
    for (auto& [v, n] : counts) {
        int d = 0;
        for (int shift : { 0, 8, 16 })
            d = std::max(d, std::abs(int((v >> shift) & 255) - int((ground >> shift) & 255)));
        if (d > 60)
            ink += n;
    }
    return ink;
}

} // namespace listshown
