#include "lfw/mac/cocoa/LCocoaOutlineViewImpl.h"

#include "lfw/gen/LCharSet.h"
#include "lfw/gen/LString.h"
#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaOutlineTreeModel.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "lfw/mac/cocoa/LCocoaWindow.h"
#include "platform/ui/LRunLoop.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace {

// The system font with its size changed by delta points (a new description).
PangoFontDescription* SystemFont(double delta)
{
    gchar* name = nullptr;
    if (GtkSettings* settings = gtk_settings_get_default())
        g_object_get(settings, "gtk-font-name", &name, nullptr);
    PangoFontDescription* font = pango_font_description_from_string(name ? name : "Sans 10");
    g_free(name);
    double size = pango_font_description_get_size(font) / double(PANGO_SCALE);
    if (size <= 0)
        size = 10;
    pango_font_description_set_size(font, int(std::lround((size + delta) * PANGO_SCALE)));
    return font;
}

GdkRGBA Rgba(const LCocoaRowColor& c)
{
    return GdkRGBA { c.r, c.g, c.b, c.a };
}

} // namespace

// The GTK callbacks.
struct LCocoaOutlineGlue {
    struct CellData {
        LCocoaOutlineViewImpl* view;
        LCocoaTableColumn* column;
    };

    static void CellFunc(GtkTreeViewColumn*, GtkCellRenderer* renderer, GtkTreeModel* model,
        GtkTreeIter* iter, gpointer data)
    {
        auto* d = static_cast<CellData*>(data);
        LCocoaTreeNode* node = VtOutlineModelNode(reinterpret_cast<VtOutlineModel*>(model), iter);
        if (!node)
            return;
        LCocoaRowColor bg;
        if (node->representedObject())
            bg = node->representedObject()->backgroundColor();
        if (bg.set) {
            GdkRGBA rgba = Rgba(bg);
            g_object_set(renderer, "cell-background-rgba", &rgba, nullptr);
        } else {
            g_object_set(renderer, "cell-background-set", FALSE, nullptr);
        }
        d->view->configureCell(*d->column, node, renderer);
    }

    static void FreeCellData(gpointer data) { delete static_cast<CellData*>(data); }

    static void SelectionChanged(GtkTreeSelection*, gpointer self)
    {
        static_cast<LCocoaOutlineViewImpl*>(self)->selectionChanged();
    }

    static gboolean SelectFunc(
        GtkTreeSelection* selection, GtkTreeModel*, GtkTreePath*, gboolean selected, gpointer self)
    {
        auto* view = static_cast<LCocoaOutlineViewImpl*>(self);
        // While a row is taken out GTK must not move the selection to its neighbour.
        if (view->fFreezeSelection)
            return FALSE;
        // A row must stay selected: the last one is not given up.
        if (selected && !view->fAllowsEmptySelection
            && gtk_tree_selection_count_selected_rows(selection) <= 1)
            return FALSE;
        return TRUE;
    }

    static void Toggled(GtkCellRendererToggle*, gchar* path, gpointer self)
    {
        static_cast<LCocoaOutlineViewImpl*>(self)->checkToggled(path);
    }

    static void Edited(GtkCellRendererText*, gchar* path, gchar* text, gpointer data)
    {
        auto* d = static_cast<CellData*>(data);
        d->view->cellEdited(d->column, path, text);
    }

    static void EditingStarted(
        GtkCellRenderer*, GtkCellEditable* editable, gchar* path, gpointer data)
    {
        auto* d = static_cast<CellData*>(data);
        d->view->cellEditingStarted(d->column, editable, path);
    }

    static void EditingCanceled(GtkCellRenderer*, gpointer data)
    {
        auto* d = static_cast<CellData*>(data);
        d->view->fEditing = false;
        d->view->fEditable = nullptr;
    }

    // GTK gives a column the width the user drags the edge of its header to as its fixed width.
    static void FixedWidthChanged(GObject* column, GParamSpec*, gpointer data)
    {
        auto* d = static_cast<CellData*>(data);
        d->view->fixedWidthChanged(
            *d->column, gtk_tree_view_column_get_fixed_width(GTK_TREE_VIEW_COLUMN(column)));
    }

    static void HeaderClicked(GtkTreeViewColumn* column, gpointer self)
    {
        static_cast<LCocoaOutlineViewImpl*>(self)->headerClicked(column);
    }

    static gboolean ButtonPress(GtkWidget*, GdkEventButton* event, gpointer self)
    {
        auto* view = static_cast<LCocoaOutlineViewImpl*>(self);
        LUiRef<LView> hold(view);
        return view->rowsButtonPress(event);
    }

    static gboolean FocusIn(GtkWidget*, GdkEvent*, gpointer self)
    {
        auto* view = static_cast<LCocoaOutlineViewImpl*>(self);
        LUiRef<LView> hold(view);
        view->cursorToSelection();
        view->focusGained();
        return FALSE;
    }

    // A right click on the header: the owner's right-click command; GTK has the click only when
    // none was delivered.
    static gboolean HeaderButtonPress(GtkWidget*, GdkEventButton* event, gpointer self)
    {
        auto* view = static_cast<LCocoaOutlineViewImpl*>(self);
        if (event->type != GDK_BUTTON_PRESS || event->button != 3)
            return FALSE;
        LUiRef<LView> hold(view);
        return LCocoaView::getCommandId(view, &keyCmdCtrlRightClick) >= 0
            && LCocoaView::sendCommandWithKey(view, &keyCmdCtrlRightClick, view->lfwWindow());
    }

    static gboolean DrawAfter(GtkWidget*, cairo_t* cr, gpointer self)
    {
        auto* view = static_cast<LCocoaOutlineViewImpl*>(self);
        view->drawOverlay(cr);
        view->drawHeaderOfWholeView(cr);
        return FALSE;
    }

    static void SizeAllocated(GtkWidget*, GdkRectangle* allocation, gpointer self)
    {
        static_cast<LCocoaOutlineViewImpl*>(self)->widthAllocated(allocation->width);
    }

    static void RowExpanded(GtkTreeView*, GtkTreeIter*, GtkTreePath* path, gpointer self)
    {
        static_cast<LCocoaOutlineViewImpl*>(self)->rowExpanded(path, true);
    }

    static void RowCollapsed(GtkTreeView*, GtkTreeIter*, GtkTreePath* path, gpointer self)
    {
        static_cast<LCocoaOutlineViewImpl*>(self)->rowExpanded(path, false);
    }

    static gboolean QueryTooltip(
        GtkWidget* widget, gint x, gint y, gboolean keyboard, GtkTooltip* tooltip, gpointer self)
    {
        auto* view = static_cast<LCocoaOutlineViewImpl*>(self);
        GtkTreeView* tree = GTK_TREE_VIEW(widget);
        GtkTreeModel* model = nullptr;
        GtkTreePath* path = nullptr;
        GtkTreeIter iter;
        if (!gtk_tree_view_get_tooltip_context(tree, &x, &y, keyboard, &model, &path, &iter))
            return FALSE;
        // Expansion tips: the whole text of a cut cell.
        GtkTreeViewColumn* column = nullptr;
        int bx = 0, by = 0;
        gtk_tree_view_convert_widget_to_bin_window_coords(tree, x, y, &bx, &by);
        gtk_tree_view_get_path_at_pos(tree, bx, by, nullptr, &column, nullptr, nullptr);
        bool shown = false;
        LCocoaTreeNode* node = VtOutlineModelNode(view->fModel, &iter);
        LCocoaOutlineViewManager* manager = view->outlineManager();
        for (auto& c : view->fColumns) {
            if (c->gtkColumn != column || !node || !node->representedObject() || !manager
                || !c->textRenderer)
                continue;
            const std::string* text = node->representedObject()->getColumnText(c->identifier);
            if (!text || text->empty())
                break;
            PangoLayout* layout = gtk_widget_create_pango_layout(widget, text->c_str());
            int w = 0, h = 0;
            pango_layout_get_pixel_size(layout, &w, &h);
            g_object_unref(layout);
            if (w + 12 > gtk_tree_view_column_get_width(column)) {
                gtk_tooltip_set_text(tooltip, text->c_str());
                gtk_tree_view_set_tooltip_cell(tree, tooltip, path, column, nullptr);
                shown = true;
            }
            break;
        }
        gtk_tree_path_free(path);
        return shown;
    }
};

LCocoaOutlineViewImpl::LCocoaOutlineViewImpl(const LUiRect& frame, LCocoaWindow* window)
    : LCocoaViewBase(frame, window)
{
    SetAcceptsFocus(true);
}

LCocoaOutlineViewImpl::~LCocoaOutlineViewImpl()
{
    resetDraggingSession();
    if (fTree) {
        gtk_tree_view_set_model(GTK_TREE_VIEW(fTree), nullptr);
        g_object_remove_weak_pointer(G_OBJECT(fTree), reinterpret_cast<gpointer*>(&fTree));
    }
    if (fModel) {
        VtOutlineModelSetManager(fModel, nullptr);
        g_object_unref(fModel);
    }
}

void LCocoaOutlineViewImpl::attachManager(LCocoaOutlineViewManager* manager)
{
    if (fModel) {
        if (fTree)
            gtk_tree_view_set_model(GTK_TREE_VIEW(fTree), nullptr);
        VtOutlineModelSetManager(fModel, manager);
        if (fTree && manager)
            attachModel();
    }
    fLastSelection.clear();
}

GtkWidget* LCocoaOutlineViewImpl::CreateWidget()
{
    // The tree view scrolls itself in the enclosing scroll view.
    fModel = VtOutlineModelNew(outlineManager(), !_hierarchical);
    fTree = gtk_tree_view_new();
    // Cleared should GTK destroy the widget before this view goes.
    g_object_add_weak_pointer(G_OBJECT(fTree), reinterpret_cast<gpointer*>(&fTree));
    GtkTreeView* tree = GTK_TREE_VIEW(fTree);
    gtk_tree_view_set_headers_visible(tree, fHeaderVisible);
    gtk_tree_view_set_enable_search(tree, TRUE);
    gtk_tree_view_set_search_column(tree, 1);
    gtk_tree_view_set_show_expanders(tree, _hierarchical);
    gtk_widget_set_has_tooltip(fTree, TRUE);
    for (auto& c : fColumns)
        buildGtkColumn(*c);
    if (!_hierarchical)
        gtk_tree_view_set_fixed_height_mode(tree, TRUE);
    GtkTreeSelection* selection = gtk_tree_view_get_selection(tree);
    gtk_tree_selection_set_select_function(
        selection, &LCocoaOutlineGlue::SelectFunc, this, nullptr);
    setAllowsMultipleSelection(fAllowsMultipleSelection);
    g_signal_connect(selection, "changed", G_CALLBACK(&LCocoaOutlineGlue::SelectionChanged), this);
    g_signal_connect(
        fTree, "button-press-event", G_CALLBACK(&LCocoaOutlineGlue::ButtonPress), this);
    g_signal_connect(fTree, "focus-in-event", G_CALLBACK(&LCocoaOutlineGlue::FocusIn), this);
    g_signal_connect_after(fTree, "draw", G_CALLBACK(&LCocoaOutlineGlue::DrawAfter), this);
    g_signal_connect_after(
        fTree, "size-allocate", G_CALLBACK(&LCocoaOutlineGlue::SizeAllocated), this);
    g_signal_connect(fTree, "row-expanded", G_CALLBACK(&LCocoaOutlineGlue::RowExpanded), this);
    g_signal_connect(fTree, "row-collapsed", G_CALLBACK(&LCocoaOutlineGlue::RowCollapsed), this);
    g_signal_connect(fTree, "query-tooltip", G_CALLBACK(&LCocoaOutlineGlue::QueryTooltip), this);
    setUpRowDragging();
    gtk_widget_set_sensitive(fTree, IsEnabled());
    if (outlineManager())
        attachModel();
    updateSortIndicators();
    return fTree;
}

void LCocoaOutlineViewImpl::attachModel()
{
    if (!fTree || !fModel)
        return;
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(fTree));
    g_signal_handlers_block_by_func(
        selection, reinterpret_cast<gpointer>(&LCocoaOutlineGlue::SelectionChanged), this);
    gtk_tree_view_set_model(GTK_TREE_VIEW(fTree), GTK_TREE_MODEL(fModel));
    if (LCocoaOutlineViewManager* m = outlineManager())
        reexpand(m->rootNode(), nullptr);
    g_signal_handlers_unblock_by_func(
        selection, reinterpret_cast<gpointer>(&LCocoaOutlineGlue::SelectionChanged), this);
}

void LCocoaOutlineViewImpl::detachModel()
{
    if (!fTree)
        return;
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(fTree));
    g_signal_handlers_block_by_func(
        selection, reinterpret_cast<gpointer>(&LCocoaOutlineGlue::SelectionChanged), this);
    gtk_tree_view_set_model(GTK_TREE_VIEW(fTree), nullptr);
    g_signal_handlers_unblock_by_func(
        selection, reinterpret_cast<gpointer>(&LCocoaOutlineGlue::SelectionChanged), this);
    VtOutlineModelInvalidate(fModel);
    fLastSelection.clear();
}

void LCocoaOutlineViewImpl::reexpand(LCocoaTreeNode* node, GtkTreePath*)
{
    if (!_hierarchical || !fTree || !node)
        return;
    std::vector<LCocoaTreeNode*> stack { node };
    while (!stack.empty()) {
        LCocoaTreeNode* n = stack.back();
        stack.pop_back();
        for (size_t i = 0; i < n->childCount(); ++i) {
            LCocoaTreeNode* c = n->childAt(i);
            if (c->isLeaf() || !c->representedObject() || !c->representedObject()->expanded())
                continue;
            GtkTreePath* p = VtOutlineModelPath(c);
            gtk_tree_view_expand_row(GTK_TREE_VIEW(fTree), p, FALSE);
            gtk_tree_path_free(p);
            stack.push_back(c);
        }
    }
}

void LCocoaOutlineViewImpl::rowExpanded(GtkTreePath* path, bool expanded)
{
    GtkTreeIter iter;
    if (!fModel || !gtk_tree_model_get_iter(GTK_TREE_MODEL(fModel), &iter, path))
        return;
    LCocoaTreeNode* node = VtOutlineModelNode(fModel, &iter);
    LCocoaOutlineViewManager* m = outlineManager();
    if (!node || !m)
        return;
    if (expanded) {
        m->outlineViewItemDidExpand(node);
        // Children that were open stay open, as the manager counts them.
        reexpand(node, path);
    } else {
        m->outlineViewItemDidCollapse(node);
    }
}

void LCocoaOutlineViewImpl::setSortableHeader(bool s)
{
    _sortableHeader = s;
    for (auto& c : fColumns)
        if (c->gtkColumn)
            gtk_tree_view_column_set_clickable(c->gtkColumn, s && !c->checkbox);
    updateSortIndicators();
}

void LCocoaOutlineViewImpl::setAllowsEmptySelection(bool a)
{
    fAllowsEmptySelection = a;
}

void LCocoaOutlineViewImpl::setAllowsMultipleSelection(bool a)
{
    fAllowsMultipleSelection = a;
    if (!fTree)
        return;
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(fTree));
    GtkSelectionMode mode = a   ? GTK_SELECTION_MULTIPLE
        : fAllowsEmptySelection ? GTK_SELECTION_SINGLE
                                : GTK_SELECTION_BROWSE;
    gtk_tree_selection_set_mode(selection, mode);
}

void LCocoaOutlineViewImpl::setHeaderVisible(bool visible)
{
    fHeaderVisible = visible;
    if (fTree)
        gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(fTree), visible);
}

void LCocoaOutlineViewImpl::SetEnabled(bool enabled)
{
    LCocoaViewBase::SetEnabled(enabled);
    if (fTree)
        gtk_widget_set_sensitive(fTree, enabled);
    LCocoaOutlineViewManager* m = outlineManager();
    if (m && _editable && m->rowCount() > 0)
        m->reloadAndRestoreSelections();
}

// --- Update nesting.

void LCocoaOutlineViewImpl::beginUpdates()
{
    ++nBeginUpdatesCntr;
}

void LCocoaOutlineViewImpl::endUpdates()
{
    if (nBeginUpdatesCntr == 0)
        return;
    if (--nBeginUpdatesCntr == 0 && ExistingWidget())
        SetNeedsDisplay();
}

void LCocoaOutlineViewImpl::runBlockEvenIfSuspended(const std::function<void()>& block)
{
    if (!block)
        return;
    uint64_t saved = nBeginUpdatesCntr;
    nBeginUpdatesCntr = 0;
    block();
    nBeginUpdatesCntr = saved;
}

// --- Rows.

void LCocoaOutlineViewImpl::reloadData()
{
    if (!fTree || !fModel)
        return;
    GtkAdjustment* v = gtk_scrollable_get_vadjustment(GTK_SCROLLABLE(fTree));
    double top = v ? gtk_adjustment_get_value(v) : 0;
    detachModel();
    if (outlineManager())
        attachModel();
    if (v && top > 0) {
        gtk_adjustment_set_value(v, top);
        LUiRef<LView> hold(this);
        LRunLoop::Post([hold, this, top] {
            if (fTree)
                if (GtkAdjustment* a = gtk_scrollable_get_vadjustment(GTK_SCROLLABLE(fTree)))
                    gtk_adjustment_set_value(a, top);
        });
    }
    updateSortIndicators();
    SetNeedsDisplay();
}

int LCocoaOutlineViewImpl::numberOfRows() const
{
    LCocoaOutlineViewManager* m = outlineManager();
    return m ? m->rowCount() : 0;
}

std::vector<LCocoaTreeNode*> LCocoaOutlineViewImpl::selectedNodes() const
{
    std::vector<LCocoaTreeNode*> nodes;
    if (!fTree || !fModel || gtk_tree_view_get_model(GTK_TREE_VIEW(fTree)) == nullptr)
        return nodes;
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(fTree));
    GList* rows = gtk_tree_selection_get_selected_rows(selection, nullptr);
    for (GList* l = rows; l; l = l->next) {
        GtkTreeIter iter;
        if (gtk_tree_model_get_iter(
                GTK_TREE_MODEL(fModel), &iter, static_cast<GtkTreePath*>(l->data)))
            if (LCocoaTreeNode* n = VtOutlineModelNode(fModel, &iter))
                nodes.push_back(n);
    }
    g_list_free_full(rows, reinterpret_cast<GDestroyNotify>(gtk_tree_path_free));
    return nodes;
}

std::vector<int> LCocoaOutlineViewImpl::selectedRowIndexes() const
{
    std::vector<int> rows;
    for (LCocoaTreeNode* n : selectedNodes()) {
        int r = rowForItem(n);
        if (r >= 0)
            rows.push_back(r);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

int LCocoaOutlineViewImpl::numberOfSelectedRows() const
{
    if (!fTree || gtk_tree_view_get_model(GTK_TREE_VIEW(fTree)) == nullptr)
        return 0;
    return gtk_tree_selection_count_selected_rows(
        gtk_tree_view_get_selection(GTK_TREE_VIEW(fTree)));
}

int LCocoaOutlineViewImpl::firstSelectedRow() const
{
    std::vector<int> rows = selectedRowIndexes();
    return rows.empty() ? -1 : rows.front();
}

bool LCocoaOutlineViewImpl::isRowSelected(int row) const
{
    LCocoaTreeNode* node = itemAtRow(row);
    if (!node || !fTree || gtk_tree_view_get_model(GTK_TREE_VIEW(fTree)) == nullptr)
        return false;
    GtkTreePath* p = VtOutlineModelPath(node);
    bool s
        = gtk_tree_selection_path_is_selected(gtk_tree_view_get_selection(GTK_TREE_VIEW(fTree)), p);
    gtk_tree_path_free(p);
    return s;
}

void LCocoaOutlineViewImpl::selectRowIndexes(const std::vector<int>& rows, bool extend)
{
    if (!fTree || gtk_tree_view_get_model(GTK_TREE_VIEW(fTree)) == nullptr)
        return;
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(fTree));
    g_signal_handlers_block_by_func(
        selection, reinterpret_cast<gpointer>(&LCocoaOutlineGlue::SelectionChanged), this);
    if (!extend)
        gtk_tree_selection_unselect_all(selection);
    for (int row : rows) {
        LCocoaTreeNode* node = itemAtRow(row);
        if (!node)
            continue;
        GtkTreePath* p = VtOutlineModelPath(node);
        gtk_tree_selection_select_path(selection, p);
        if (rows.size() == 1 && !extend)
            gtk_tree_view_set_cursor(GTK_TREE_VIEW(fTree), p, nullptr, FALSE);
        gtk_tree_path_free(p);
        if (!fAllowsMultipleSelection)
            break;
    }
    g_signal_handlers_unblock_by_func(
        selection, reinterpret_cast<gpointer>(&LCocoaOutlineGlue::SelectionChanged), this);
    cursorToSelection();
    selectionChanged();
}

void LCocoaOutlineViewImpl::deselectAll()
{
    if (!fTree || gtk_tree_view_get_model(GTK_TREE_VIEW(fTree)) == nullptr)
        return;
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(fTree));
    g_signal_handlers_block_by_func(
        selection, reinterpret_cast<gpointer>(&LCocoaOutlineGlue::SelectionChanged), this);
    gtk_tree_selection_unselect_all(selection);
    g_signal_handlers_unblock_by_func(
        selection, reinterpret_cast<gpointer>(&LCocoaOutlineGlue::SelectionChanged), this);
    selectionChanged();
}

void LCocoaOutlineViewImpl::deselectRow(int row)
{
    LCocoaTreeNode* node = itemAtRow(row);
    if (!node || !fTree || gtk_tree_view_get_model(GTK_TREE_VIEW(fTree)) == nullptr)
        return;
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(fTree));
    GtkTreePath* p = VtOutlineModelPath(node);
    g_signal_handlers_block_by_func(
        selection, reinterpret_cast<gpointer>(&LCocoaOutlineGlue::SelectionChanged), this);
    gtk_tree_selection_unselect_path(selection, p);
    g_signal_handlers_unblock_by_func(
        selection, reinterpret_cast<gpointer>(&LCocoaOutlineGlue::SelectionChanged), this);
    gtk_tree_path_free(p);
    selectionChanged();
}

void LCocoaOutlineViewImpl::selectionChanged()
{
    LCocoaOutlineViewManager* m = outlineManager();
    if (!m)
        return;
    if (m->ignoresSelectionChange()) {
        // Reloads and deletions: the manager only notes it; the selection is compared again
        // once they are over.
        fLastSelectionStale = true;
        m->outlineViewSelectionDidChange();
        return;
    }
    std::vector<LCocoaTreeNode*> now = selectedNodes();
    if (fLastSelectionStale) {
        std::vector<LCocoaTreeNode*> live;
        for (LCocoaTreeNode* n : fLastSelection)
            if (m->ownsNode(n))
                live.push_back(n);
        fLastSelection.swap(live);
        fLastSelectionStale = false;
    }
    // GTK says "changed" also when nothing changed.
    if (now == fLastSelection)
        return;
    fLastSelection = now;
    m->outlineViewSelectionDidChange();
}

void LCocoaOutlineViewImpl::resyncSelection()
{
    fLastSelection = selectedNodes();
    fLastSelectionStale = false;
    cursorToSelection();
}

void LCocoaOutlineViewImpl::cursorToSelection()
{
    if (!fTree || !gtk_widget_has_focus(fTree) || !gtk_tree_view_get_model(GTK_TREE_VIEW(fTree)))
        return;
    GtkTreeView* tree = GTK_TREE_VIEW(fTree);
    GtkTreePath* cursor = nullptr;
    gtk_tree_view_get_cursor(tree, &cursor, nullptr);
    if (cursor) {
        gtk_tree_path_free(cursor);
        return;
    }
    GtkTreeSelection* selection = gtk_tree_view_get_selection(tree);
    GList* rows = gtk_tree_selection_get_selected_rows(selection, nullptr);
    if (rows) {
        // Setting the cursor selects its row alone: the others are selected again.
        g_signal_handlers_block_by_func(
            selection, reinterpret_cast<gpointer>(&LCocoaOutlineGlue::SelectionChanged), this);
        gtk_tree_view_set_cursor(tree, static_cast<GtkTreePath*>(rows->data), nullptr, FALSE);
        for (GList* r = rows->next; r; r = r->next)
            gtk_tree_selection_select_path(selection, static_cast<GtkTreePath*>(r->data));
        g_signal_handlers_unblock_by_func(
            selection, reinterpret_cast<gpointer>(&LCocoaOutlineGlue::SelectionChanged), this);
    }
    g_list_free_full(rows, reinterpret_cast<GDestroyNotify>(gtk_tree_path_free));
}

int LCocoaOutlineViewImpl::rowForItem(const LCocoaTreeNode* node) const
{
    LCocoaOutlineViewManager* m = outlineManager();
    return m ? m->indexOfNode(node) : -1;
}

LCocoaTreeNode* LCocoaOutlineViewImpl::itemAtRow(int row) const
{
    LCocoaOutlineViewManager* m = outlineManager();
    return m ? m->treeNodeOfRow(row, nullptr) : nullptr;
}

void LCocoaOutlineViewImpl::expandItem(LCocoaTreeNode* node)
{
    if (!node || !node->representedObject())
        return;
    node->representedObject()->setExpanded(true);
    LCocoaOutlineViewManager* m = outlineManager();
    if (!fTree || !m || !m->isNodeVisible(node)
        || gtk_tree_view_get_model(GTK_TREE_VIEW(fTree)) == nullptr)
        return;
    GtkTreePath* p = VtOutlineModelPath(node);
    gtk_tree_view_expand_row(GTK_TREE_VIEW(fTree), p, FALSE);
    gtk_tree_path_free(p);
}

void LCocoaOutlineViewImpl::collapseItem(LCocoaTreeNode* node)
{
    if (!node || !node->representedObject())
        return;
    node->representedObject()->setExpanded(false);
    LCocoaOutlineViewManager* m = outlineManager();
    if (!fTree || !m || !m->isNodeVisible(node)
        || gtk_tree_view_get_model(GTK_TREE_VIEW(fTree)) == nullptr)
        return;
    GtkTreePath* p = VtOutlineModelPath(node);
    gtk_tree_view_collapse_row(GTK_TREE_VIEW(fTree), p);
    gtk_tree_path_free(p);
}

void LCocoaOutlineViewImpl::scrollRowToVisible(int row)
{
    LCocoaTreeNode* node = itemAtRow(row);
    if (!node || !fTree || gtk_tree_view_get_model(GTK_TREE_VIEW(fTree)) == nullptr)
        return;
    GtkTreePath* p = VtOutlineModelPath(node);
    gtk_tree_view_scroll_to_cell(GTK_TREE_VIEW(fTree), p, nullptr, FALSE, 0, 0);
    gtk_tree_path_free(p);
}

double LCocoaOutlineViewImpl::rowHeight() const
{
    if (fTree && numberOfRows() > 0 && gtk_widget_get_realized(fTree)) {
        LUiRect r = rectOfRow(0);
        if (r.height > 0)
            return r.height;
    }
    return 20;
}

void LCocoaOutlineViewImpl::scrollByOneRow(bool down)
{
    if (!fTree)
        return;
    GtkAdjustment* v = gtk_scrollable_get_vadjustment(GTK_SCROLLABLE(fTree));
    if (v)
        gtk_adjustment_set_value(v, gtk_adjustment_get_value(v) + (down ? 1 : -1) * rowHeight());
}

// A new model gives GTK rows of no height until it measures them before the next frame: asked
// before that, every row lies at the top and no point hits a row. Measured here, the places are
// right as soon as the rows are in (after a sort, say).
void LCocoaOutlineViewImpl::measureRows() const
{
    if (!fTree || !gtk_widget_get_realized(fTree))
        return;
    int minimum = 0, natural = 0;
    gtk_widget_get_preferred_width(fTree, &minimum, &natural);
}

LUiRect LCocoaOutlineViewImpl::rectOfRow(int row) const
{
    LCocoaTreeNode* node = itemAtRow(row);
    if (!node || !fTree || gtk_tree_view_get_model(GTK_TREE_VIEW(fTree)) == nullptr)
        return LUiRect {};
    measureRows();
    GtkTreePath* p = VtOutlineModelPath(node);
    GdkRectangle area {};
    gtk_tree_view_get_background_area(GTK_TREE_VIEW(fTree), p, nullptr, &area);
    gtk_tree_path_free(p);
    int tx = 0, ty = 0;
    gtk_tree_view_convert_bin_window_to_tree_coords(GTK_TREE_VIEW(fTree), 0, area.y, &tx, &ty);
    double width = 0;
    for (auto& c : fColumns)
        if (c->gtkColumn && gtk_tree_view_column_get_visible(c->gtkColumn))
            width += gtk_tree_view_column_get_width(c->gtkColumn);
    return LUiRect { 0, double(ty), width, double(area.height) };
}

LUiRect LCocoaOutlineViewImpl::rectOfCell(int row, int viewColumn) const
{
    LCocoaTreeNode* node = itemAtRow(row);
    LCocoaTableColumn* c = tableColumn(viewColumn);
    if (!node || !c || !c->gtkColumn || !fTree
        || gtk_tree_view_get_model(GTK_TREE_VIEW(fTree)) == nullptr)
        return LUiRect {};
    measureRows();
    GtkTreePath* p = VtOutlineModelPath(node);
    GdkRectangle area {};
    gtk_tree_view_get_cell_area(GTK_TREE_VIEW(fTree), p, c->gtkColumn, &area);
    gtk_tree_path_free(p);
    int tx = 0, ty = 0;
    gtk_tree_view_convert_bin_window_to_tree_coords(GTK_TREE_VIEW(fTree), area.x, area.y, &tx, &ty);
    return LUiRect { double(tx), double(ty), double(area.width), double(area.height) };
}

LUiRect LCocoaOutlineViewImpl::visibleRect() const
{
    if (!fTree)
        return LUiRect { 0, 0, Frame().width, Frame().height };
    GdkRectangle r {};
    gtk_tree_view_get_visible_rect(GTK_TREE_VIEW(fTree), &r);
    if (r.width <= 0)
        return LUiRect { 0, 0, Frame().width, Frame().height };
    return LUiRect { double(r.x), double(r.y), double(r.width), double(r.height) };
}

int LCocoaOutlineViewImpl::rowAtPoint(double x, double y) const
{
    if (!fTree || gtk_tree_view_get_model(GTK_TREE_VIEW(fTree)) == nullptr)
        return -1;
    measureRows();
    int bx = 0, by = 0;
    gtk_tree_view_convert_tree_to_bin_window_coords(GTK_TREE_VIEW(fTree), int(x), int(y), &bx, &by);
    GtkTreePath* p = nullptr;
    if (!gtk_tree_view_get_path_at_pos(GTK_TREE_VIEW(fTree), bx, by, &p, nullptr, nullptr, nullptr))
        return -1;
    GtkTreeIter iter;
    int row = -1;
    if (gtk_tree_model_get_iter(GTK_TREE_MODEL(fModel), &iter, p))
        row = rowForItem(VtOutlineModelNode(fModel, &iter));
    gtk_tree_path_free(p);
    return row;
}

bool LCocoaOutlineViewImpl::isRowsWindow(GdkWindow* window) const
{
    return fTree && window && gtk_widget_get_realized(fTree)
        && window == gtk_tree_view_get_bin_window(GTK_TREE_VIEW(fTree));
}

// --- Changes of the tree.

void LCocoaOutlineViewImpl::noteNodeInserted(LCocoaTreeNode* node)
{
    if (!fTree || !fModel || gtk_tree_view_get_model(GTK_TREE_VIEW(fTree)) == nullptr || !node)
        return;
    GtkTreePath* p = VtOutlineModelPath(node);
    GtkTreeIter iter;
    VtOutlineModelIter(fModel, node, &iter);
    gtk_tree_model_row_inserted(GTK_TREE_MODEL(fModel), p, &iter);
    gtk_tree_path_free(p);
    LCocoaTreeNode* parent = node->parentNode();
    LCocoaOutlineViewManager* m = outlineManager();
    if (parent && m && parent != m->rootNode() && parent->childCount() == 1) {
        GtkTreePath* pp = VtOutlineModelPath(parent);
        GtkTreeIter pi;
        VtOutlineModelIter(fModel, parent, &pi);
        gtk_tree_model_row_has_child_toggled(GTK_TREE_MODEL(fModel), pp, &pi);
        gtk_tree_path_free(pp);
        // A parent the manager had open shows its first child.
        if (parent->representedObject() && parent->representedObject()->expanded()
            && m->isNodeVisible(parent)) {
            GtkTreePath* ep = VtOutlineModelPath(parent);
            gtk_tree_view_expand_row(GTK_TREE_VIEW(fTree), ep, FALSE);
            gtk_tree_path_free(ep);
        }
    }
}

void LCocoaOutlineViewImpl::noteNodeRemoved(LCocoaTreeNode* parent, size_t index)
{
    if (!fTree || !fModel || gtk_tree_view_get_model(GTK_TREE_VIEW(fTree)) == nullptr || !parent)
        return;
    GtkTreePath* p = VtOutlineModelPath(parent);
    gtk_tree_path_append_index(p, int(index));
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(fTree));
    g_signal_handlers_block_by_func(
        selection, reinterpret_cast<gpointer>(&LCocoaOutlineGlue::SelectionChanged), this);
    fFreezeSelection = true;
    gtk_tree_model_row_deleted(GTK_TREE_MODEL(fModel), p);
    fFreezeSelection = false;
    g_signal_handlers_unblock_by_func(
        selection, reinterpret_cast<gpointer>(&LCocoaOutlineGlue::SelectionChanged), this);
    gtk_tree_path_free(p);
    LCocoaOutlineViewManager* m = outlineManager();
    if (m && parent != m->rootNode() && parent->isLeaf()) {
        GtkTreePath* pp = VtOutlineModelPath(parent);
        GtkTreeIter pi;
        VtOutlineModelIter(fModel, parent, &pi);
        gtk_tree_model_row_has_child_toggled(GTK_TREE_MODEL(fModel), pp, &pi);
        gtk_tree_path_free(pp);
    }
    // The row taken out is forgotten as part of the last selection when it is next compared.
    fLastSelectionStale = true;
}

void LCocoaOutlineViewImpl::noteRowChanged(LCocoaTreeNode* node)
{
    if (!fTree || !fModel || gtk_tree_view_get_model(GTK_TREE_VIEW(fTree)) == nullptr || !node)
        return;
    GtkTreePath* p = VtOutlineModelPath(node);
    GtkTreeIter iter;
    VtOutlineModelIter(fModel, node, &iter);
    gtk_tree_model_row_changed(GTK_TREE_MODEL(fModel), p, &iter);
    gtk_tree_path_free(p);
}

void LCocoaOutlineViewImpl::noteChildrenReordered(LCocoaTreeNode*)
{
    // Sorting is followed by a reload.
}

// --- Columns.

int LCocoaOutlineViewImpl::columnWithIdentifier(const std::string& identifier) const
{
    for (size_t i = 0; i < fColumns.size(); ++i)
        if (fColumns[i]->identifier == identifier)
            return int(i);
    return -1;
}

int LCocoaOutlineViewImpl::dataColumnOf(const LCocoaTableColumn& column) const
{
    LCocoaOutlineViewManager* m = outlineManager();
    if (!m)
        return -1;
    const auto& ids = m->columnIDs();
    for (size_t i = 0; i < ids.size(); ++i)
        if (ids[i] == column.identifier)
            return int(i);
    return -1;
}

void LCocoaOutlineViewImpl::addTableColumn(const LCocoaTableColumn& column)
{
    fColumns.push_back(std::make_unique<LCocoaTableColumn>(column));
    LCocoaTableColumn& c = *fColumns.back();
    c.gtkColumn = nullptr;
    c.textRenderer = c.imageRenderer = c.toggleRenderer = nullptr;
    if (fTree)
        buildGtkColumn(c);
}

void LCocoaOutlineViewImpl::buildGtkColumn(LCocoaTableColumn& c)
{
    GtkTreeViewColumn* column = gtk_tree_view_column_new();
    c.gtkColumn = column;
    gtk_tree_view_column_set_sizing(column, GTK_TREE_VIEW_COLUMN_FIXED);
    GtkWidget* label = gtk_label_new(c.title.c_str());
    PangoFontDescription* small = SystemFont(-2);
    PangoAttrList* attrs = pango_attr_list_new();
    pango_attr_list_insert(attrs, pango_attr_font_desc_new(small));
    gtk_label_set_attributes(GTK_LABEL(label), attrs);
    pango_attr_list_unref(attrs);
    pango_font_description_free(small);
    gtk_widget_show(label);
    gtk_tree_view_column_set_widget(column, label);
    if (c.alignment == 1)
        gtk_tree_view_column_set_alignment(column, 1.0f);
    else if (c.alignment == 2)
        gtk_tree_view_column_set_alignment(column, 0.5f);
    bool treeColumn = _hierarchical && fColumns.size() && fColumns.front().get() == &c;
    if (c.checkbox || (treeColumn && _hasCheckboxes)) {
        c.toggleRenderer = gtk_cell_renderer_toggle_new();
        gtk_cell_renderer_set_fixed_size(c.toggleRenderer, 16, -1);
        gtk_cell_renderer_set_padding(c.toggleRenderer, 0, 0);
        gtk_tree_view_column_pack_start(column, c.toggleRenderer, FALSE);
        g_signal_connect(
            c.toggleRenderer, "toggled", G_CALLBACK(&LCocoaOutlineGlue::Toggled), this);
        gtk_tree_view_column_set_cell_data_func(column, c.toggleRenderer,
            &LCocoaOutlineGlue::CellFunc, new LCocoaOutlineGlue::CellData { this, &c },
            &LCocoaOutlineGlue::FreeCellData);
    }
    if (!c.checkbox) {
        c.imageRenderer = gtk_cell_renderer_pixbuf_new();
        gtk_cell_renderer_set_fixed_size(c.imageRenderer, 26, -1);
        gtk_cell_renderer_set_alignment(c.imageRenderer, 1.0f, 0.5f);
        gtk_tree_view_column_pack_start(column, c.imageRenderer, FALSE);
        gtk_tree_view_column_set_cell_data_func(column, c.imageRenderer,
            &LCocoaOutlineGlue::CellFunc, new LCocoaOutlineGlue::CellData { this, &c },
            &LCocoaOutlineGlue::FreeCellData);
        c.textRenderer = c.dropDown ? gtk_cell_renderer_combo_new() : gtk_cell_renderer_text_new();
        if (c.dropDown) {
            // The list is filled by the owner as it opens (an empty one until then).
            GtkListStore* empty = gtk_list_store_new(1, G_TYPE_STRING);
            g_object_set(
                c.textRenderer, "has-entry", FALSE, "model", empty, "text-column", 0, nullptr);
            g_object_unref(empty);
        }
        PangoFontDescription* font = SystemFont(-1);
        g_object_set(c.textRenderer, "ellipsize", PANGO_ELLIPSIZE_MIDDLE, "font-desc", font,
            "xalign",
            c.alignment == 1       ? 1.0
                : c.alignment == 2 ? 0.5
                                   : 0.0,
            nullptr);
        pango_font_description_free(font);
        gtk_tree_view_column_pack_start(column, c.textRenderer, TRUE);
        auto* data = new LCocoaOutlineGlue::CellData { this, &c };
        gtk_tree_view_column_set_cell_data_func(column, c.textRenderer,
            &LCocoaOutlineGlue::CellFunc, data, &LCocoaOutlineGlue::FreeCellData);
        g_signal_connect(c.textRenderer, "edited", G_CALLBACK(&LCocoaOutlineGlue::Edited), data);
        g_signal_connect(c.textRenderer, "editing-started",
            G_CALLBACK(&LCocoaOutlineGlue::EditingStarted), data);
        g_signal_connect(c.textRenderer, "editing-canceled",
            G_CALLBACK(&LCocoaOutlineGlue::EditingCanceled), data);
    }
    g_signal_connect(column, "clicked", G_CALLBACK(&LCocoaOutlineGlue::HeaderClicked), this);
    applyColumnToGtk(c);
    g_signal_connect_data(
        column, "notify::fixed-width", G_CALLBACK(&LCocoaOutlineGlue::FixedWidthChanged),
        new LCocoaOutlineGlue::CellData { this, &c },
        [](gpointer data, GClosure*) { LCocoaOutlineGlue::FreeCellData(data); }, GConnectFlags(0));
    gtk_tree_view_append_column(GTK_TREE_VIEW(fTree), column);
    // Columns keep the view order.
    int position = 0;
    for (auto& other : fColumns) {
        if (other.get() == &c)
            break;
        if (other->gtkColumn)
            ++position;
    }
    GtkTreeViewColumn* before = nullptr;
    if (position > 0) {
        GList* cols = gtk_tree_view_get_columns(GTK_TREE_VIEW(fTree));
        before = static_cast<GtkTreeViewColumn*>(g_list_nth_data(cols, guint(position - 1)));
        g_list_free(cols);
    }
    gtk_tree_view_move_column_after(GTK_TREE_VIEW(fTree), column, before);
    if (GtkWidget* button = gtk_tree_view_column_get_button(column))
        g_signal_connect(
            button, "button-press-event", G_CALLBACK(&LCocoaOutlineGlue::HeaderButtonPress), this);
    if (treeColumn)
        gtk_tree_view_set_expander_column(GTK_TREE_VIEW(fTree), column);
}

namespace {

// The whole points GTK is given for a column's width.
int GtkColumnWidth(const LCocoaTableColumn& c)
{
    return std::max(1, int(std::lround(std::max(c.width, c.minWidth))));
}

} // namespace

void LCocoaOutlineViewImpl::applyColumnToGtk(LCocoaTableColumn& c)
{
    if (!c.gtkColumn)
        return;
    const int width = GtkColumnWidth(c);
    gtk_tree_view_column_set_min_width(c.gtkColumn, int(std::lround(c.minWidth)));
    gtk_tree_view_column_set_max_width(
        c.gtkColumn, c.maxWidth >= 1e5 ? -1 : int(std::lround(c.maxWidth)));
    gtk_tree_view_column_set_fixed_width(c.gtkColumn, width);
    gtk_tree_view_column_set_resizable(c.gtkColumn, (c.resizingMask & 2) != 0);
    gtk_tree_view_column_set_visible(c.gtkColumn, !c.hidden);
    gtk_tree_view_column_set_expand(c.gtkColumn, _hierarchical && (c.resizingMask & 1) != 0);
    gtk_tree_view_column_set_clickable(c.gtkColumn, _sortableHeader && !c.checkbox);
    // The header shows the label; the column's own title is what assistive technologies read
    // as the column's description.
    gtk_tree_view_column_set_title(c.gtkColumn, c.title.c_str());
    if (GtkWidget* label = gtk_tree_view_column_get_widget(c.gtkColumn))
        gtk_label_set_text(GTK_LABEL(label), c.title.c_str());
}

// A fixed width other than the one the column was given is the user's, dragged with the edge of
// the column's header: the column keeps it, so that it is what the owner reads and saves, and
// what later fitting starts from.
void LCocoaOutlineViewImpl::fixedWidthChanged(LCocoaTableColumn& c, int width)
{
    if (width < 1 || width == GtkColumnWidth(c))
        return;
    c.width = std::min(std::max(double(width), c.minWidth), c.maxWidth);
}

// A list shares a change of its width among the columns that stretch, as a table whose columns
// resize uniformly with it: they take what the visible columns leave over or lack, each never
// below its minimum, so that the columns fit the visible width and none is pushed out of sight.
// Trees stretch their column through GTK.
void LCocoaOutlineViewImpl::widthAllocated(int width)
{
    if (_hierarchical || width <= 1 || width == fFittedWidth)
        return;
    fFittedWidth = width;
    double used = 0;
    std::vector<LCocoaTableColumn*> stretching;
    for (auto& c : fColumns) {
        if (c->hidden)
            continue;
        used += std::max(c->width, c->minWidth);
        if (c->resizingMask & 1)
            stretching.push_back(c.get());
    }
    if (stretching.empty())
        return;
    double share = (width - used) / double(stretching.size());
    bool changed = false;
    for (LCocoaTableColumn* c : stretching) {
        double fitted
            = std::min(std::max(std::max(c->width, c->minWidth) + share, c->minWidth), c->maxWidth);
        if (std::lround(fitted) == std::lround(c->width))
            continue;
        c->width = fitted;
        applyColumnToGtk(*c);
        changed = true;
    }
    // GTK lets go of a resize asked for while it allocates: the columns are laid out again at
    // once, in the same place.
    if (changed && gtk_widget_get_realized(fTree)) {
        GtkAllocation a;
        gtk_widget_get_allocation(fTree, &a);
        int minimum = 0, natural = 0;
        gtk_widget_get_preferred_width(fTree, &minimum, &natural);
        gtk_widget_get_preferred_height_for_width(fTree, a.width, &minimum, &natural);
        gtk_widget_size_allocate(fTree, &a);
    }
}

// GTK draws a tree view's header only when the header's own window is drawn: drawn whole in one
// pass (a picture of the window, or any drawing outside an expose), the header is still clipped
// to the rows and stays empty. The header buttons are drawn here in that case.
void LCocoaOutlineViewImpl::drawHeaderOfWholeView(cairo_t* cr)
{
    if (!fTree || !gtk_tree_view_get_headers_visible(GTK_TREE_VIEW(fTree)))
        return;
    GdkWindow* rows = gtk_tree_view_get_bin_window(GTK_TREE_VIEW(fTree));
    if (!rows || !gtk_cairo_should_draw_window(cr, rows))
        return;
    for (auto& c : fColumns) {
        GtkWidget* button = c->gtkColumn ? gtk_tree_view_column_get_button(c->gtkColumn) : nullptr;
        if (!button || c->hidden || !gtk_widget_is_drawable(button))
            continue;
        GdkWindow* header = gtk_widget_get_window(button);
        if (!header || header == rows || !gtk_cairo_should_draw_window(cr, header))
            return;
        gtk_container_propagate_draw(GTK_CONTAINER(fTree), button, cr);
    }
}

void LCocoaOutlineViewImpl::moveColumn(int from, int to)
{
    if (from < 0 || to < 0 || size_t(from) >= fColumns.size() || size_t(to) >= fColumns.size()
        || from == to)
        return;
    auto moved = std::move(fColumns[size_t(from)]);
    fColumns.erase(fColumns.begin() + from);
    fColumns.insert(fColumns.begin() + to, std::move(moved));
    if (!fTree)
        return;
    GtkTreeViewColumn* prev = nullptr;
    for (auto& c : fColumns) {
        if (!c->gtkColumn)
            continue;
        gtk_tree_view_move_column_after(GTK_TREE_VIEW(fTree), c->gtkColumn, prev);
        prev = c->gtkColumn;
    }
}

void LCocoaOutlineViewImpl::setColumnWidth(int viewColumn, double width)
{
    LCocoaTableColumn* c = tableColumn(viewColumn);
    if (!c)
        return;
    c->width = std::min(std::max(width, c->minWidth), c->maxWidth);
    applyColumnToGtk(*c);
}

void LCocoaOutlineViewImpl::setColumnHidden(int viewColumn, bool hidden)
{
    if (LCocoaTableColumn* c = tableColumn(viewColumn)) {
        c->hidden = hidden;
        // The columns shown fit the width again as GTK lays them out.
        fFittedWidth = -1;
        applyColumnToGtk(*c);
    }
}

void LCocoaOutlineViewImpl::setColumnTitle(int viewColumn, const std::string& title)
{
    if (LCocoaTableColumn* c = tableColumn(viewColumn)) {
        c->title = title;
        applyColumnToGtk(*c);
    }
}

void LCocoaOutlineViewImpl::setColumnEditable(int viewColumn, bool editable)
{
    if (LCocoaTableColumn* c = tableColumn(viewColumn)) {
        c->editable = editable;
        SetNeedsDisplay();
    }
}

void LCocoaOutlineViewImpl::setColumnDropDown(int viewColumn)
{
    LCocoaTableColumn* c = tableColumn(viewColumn);
    if (!c || c->dropDown || c->checkbox)
        return;
    c->dropDown = true;
    if (!fTree || !c->gtkColumn)
        return;
    // The cells are made again with a drop-down renderer.
    gtk_tree_view_remove_column(GTK_TREE_VIEW(fTree), c->gtkColumn);
    c->gtkColumn = nullptr;
    c->textRenderer = c->imageRenderer = c->toggleRenderer = nullptr;
    buildGtkColumn(*c);
}

void LCocoaOutlineViewImpl::setSortDescriptor(const LCocoaSortDescriptor& descriptor)
{
    fSortDescriptor = descriptor;
    updateSortIndicators();
    if (descriptor.valid)
        if (LCocoaOutlineViewManager* m = outlineManager())
            m->outlineViewSortDescriptorsDidChange();
}

void LCocoaOutlineViewImpl::updateSortIndicators()
{
    for (auto& c : fColumns) {
        if (!c->gtkColumn)
            continue;
        bool sorted
            = _sortableHeader && fSortDescriptor.valid && fSortDescriptor.key == c->identifier;
        gtk_tree_view_column_set_sort_indicator(c->gtkColumn, sorted);
        if (sorted)
            gtk_tree_view_column_set_sort_order(
                c->gtkColumn, fSortDescriptor.ascending ? GTK_SORT_ASCENDING : GTK_SORT_DESCENDING);
    }
}

void LCocoaOutlineViewImpl::headerClicked(GtkTreeViewColumn* column)
{
    if (!_sortableHeader)
        return;
    for (auto& c : fColumns) {
        if (c->gtkColumn != column || c->checkbox)
            continue;
        LCocoaSortDescriptor d;
        d.valid = true;
        d.key = c->identifier;
        if (fSortDescriptor.valid && fSortDescriptor.key == c->identifier)
            d.ascending = !fSortDescriptor.ascending;
        else
            d.ascending = c->sortAscending;
        setSortDescriptor(d);
        return;
    }
}

// --- Cells.

void LCocoaOutlineViewImpl::configureCell(
    LCocoaTableColumn& c, LCocoaTreeNode* node, GtkCellRenderer* renderer)
{
    LCocoaOutlineViewRowModel* row = node->representedObject();
    LCocoaOutlineViewManager* m = outlineManager();
    if (!row || !m)
        return;
    if (c.toggleRenderer)
        g_object_set(
            c.toggleRenderer, "active", row->checkboxState(), "activatable", IsEnabled(), nullptr);
    LCocoaOutlineViewItemModel* item = row->getColumnItem(c.identifier);
    if (c.imageRenderer && renderer == c.imageRenderer) {
        bool area = item && item->canShowImage() && m->imageCount() > 0;
        cairo_surface_t* image = nullptr;
        if (area) {
            image = item->image();
            if (item->selectedImage() && fTree) {
                GtkTreePath* p = VtOutlineModelPath(node);
                if (gtk_tree_selection_path_is_selected(
                        gtk_tree_view_get_selection(GTK_TREE_VIEW(fTree)), p))
                    image = item->selectedImage();
                gtk_tree_path_free(p);
            }
        }
        g_object_set(c.imageRenderer, "visible", area, "surface", image, nullptr);
    }
    if (c.textRenderer && renderer == c.textRenderer) {
        const char* text = item && item->hasText() ? item->text().c_str() : "";
        // A cell shows at most a few thousand bytes of a long text (the store keeps it whole):
        // laying out a megabyte for every drawing would stall the list.
        std::string shown;
        constexpr size_t kShown = 4096;
        if (item && item->text().size() > kShown) {
            const char* end = g_utf8_find_prev_char(text, text + kShown);
            shown.assign(text, end ? size_t(end - text) : 0);
            shown += "\u2026";
            text = shown.c_str();
        }
        bool editable = (c.dropDown || (_editable && c.editable)) && IsEnabled();
        g_object_set(
            c.textRenderer, "text", text, "editable", editable, "sensitive", IsEnabled(), nullptr);
    }
}

void LCocoaOutlineViewImpl::checkToggled(const char* pathText)
{
    GtkTreePath* p = gtk_tree_path_new_from_string(pathText);
    GtkTreeIter iter;
    LCocoaTreeNode* node = nullptr;
    if (p && fModel && gtk_tree_model_get_iter(GTK_TREE_MODEL(fModel), &iter, p))
        node = VtOutlineModelNode(fModel, &iter);
    if (p)
        gtk_tree_path_free(p);
    LCocoaOutlineViewManager* m = outlineManager();
    if (!node || !node->representedObject() || !m || !IsEnabled())
        return;
    LUiRef<LView> hold(this);
    node->representedObject()->setCheckboxState(!node->representedObject()->checkboxState());
    noteRowChanged(node);
    m->handleCheckboxClick();
}

void LCocoaOutlineViewImpl::cellEditingStarted(
    LCocoaTableColumn* column, GtkCellEditable* editable, const char* pathText)
{
    fEditing = true;
    fEditable = editable;
    GtkTreePath* p = gtk_tree_path_new_from_string(pathText);
    GtkTreeIter iter;
    LCocoaTreeNode* node = nullptr;
    if (p && fModel && gtk_tree_model_get_iter(GTK_TREE_MODEL(fModel), &iter, p))
        node = VtOutlineModelNode(fModel, &iter);
    if (p)
        gtk_tree_path_free(p);
    LUiRef<LView> hold(this);
    if (column->dropDown && GTK_IS_COMBO_BOX(editable)) {
        // The owner fills the list as it opens.
        fDropDownItems.clear();
        dropDownOpening(rowForItem(node), dataColumnOf(*column), fDropDownItems);
        GtkListStore* store = gtk_list_store_new(1, G_TYPE_STRING);
        for (const std::string& item : fDropDownItems) {
            GtkTreeIter it;
            gtk_list_store_append(store, &it);
            gtk_list_store_set(store, &it, 0, LMacNSStringFromString(item.c_str()).c_str(), -1);
        }
        gtk_combo_box_set_model(GTK_COMBO_BOX(editable), GTK_TREE_MODEL(store));
        g_object_unref(store);
        return;
    }
    if (LCocoaOutlineViewManager* m = outlineManager())
        m->handleBeginEditing(node, dataColumnOf(*column));
}

void LCocoaOutlineViewImpl::cellEdited(
    LCocoaTableColumn* column, const char* pathText, const char* text)
{
    fEditing = false;
    fEditable = nullptr;
    GtkTreePath* p = gtk_tree_path_new_from_string(pathText);
    GtkTreeIter iter;
    LCocoaTreeNode* node = nullptr;
    if (p && fModel && gtk_tree_model_get_iter(GTK_TREE_MODEL(fModel), &iter, p))
        node = VtOutlineModelNode(fModel, &iter);
    if (p)
        gtk_tree_path_free(p);
    LUiRef<LView> hold(this);
    if (column->dropDown) {
        int item = -1;
        for (size_t i = 0; i < fDropDownItems.size(); ++i)
            if (text && fDropDownItems[i] == text)
                item = int(i);
        LCocoaOutlineViewManager* m = outlineManager();
        if (node && m && node->representedObject()) {
            int data = dataColumnOf(*column);
            if (auto* item = node->representedObject()->getColumnItem(column->identifier))
                item->setText(text ? text : "");
            else if (data >= 0)
                if (auto* row = dynamic_cast<LCocoaListViewRowModel*>(node->representedObject()))
                    row->setText(text ? text : "", column->identifier);
            noteRowChanged(node);
        }
        dropDownChosen(rowForItem(node), dataColumnOf(*column), item, text ? text : "");
        return;
    }
    if (LCocoaOutlineViewManager* m = outlineManager())
        m->handleEndEditing(node, dataColumnOf(*column), text ? text : "");
}

void LCocoaOutlineViewImpl::endEditing()
{
    if (!fEditing || !fEditable)
        return;
    GtkCellEditable* editable = fEditable;
    g_object_ref(editable);
    fEditable = nullptr;
    gtk_cell_editable_editing_done(editable);
    gtk_cell_editable_remove_widget(editable);
    g_object_unref(editable);
    fEditing = false;
}

void LCocoaOutlineViewImpl::editItem(int row, int viewColumn)
{
    LCocoaTreeNode* node = itemAtRow(row);
    LCocoaTableColumn* c = tableColumn(viewColumn);
    if (!node || !c || !c->gtkColumn || !c->textRenderer || !fTree
        || gtk_tree_view_get_model(GTK_TREE_VIEW(fTree)) == nullptr)
        return;
    c->editable = true;
    GtkTreePath* p = VtOutlineModelPath(node);
    gtk_widget_grab_focus(fTree);
    gtk_tree_view_set_cursor_on_cell(GTK_TREE_VIEW(fTree), p, c->gtkColumn, c->textRenderer, TRUE);
    gtk_tree_path_free(p);
}

void LCocoaOutlineViewImpl::focusGained()
{
    LCocoaView::sendCommandWithKey(this, &keyCmdTVFocusSet, pWindow);
}

bool LCocoaOutlineViewImpl::rowsButtonPress(GdkEventButton* event)
{
    if (event->type == GDK_BUTTON_PRESS && (event->button == 1 || event->button == 3))
        LCocoaView::loseEditControlFocus(this);
    if (event->type == GDK_BUTTON_PRESS && event->button == 3 && isRowsWindow(event->window)) {
        // The owner's right-click command first; GTK has the click only when none was delivered.
        if (LCocoaView::getCommandId(this, &keyCmdCtrlRightClick) >= 0
            && LCocoaView::sendCommandWithKey(this, &keyCmdCtrlRightClick, pWindow))
            return true;
        return false;
    }
    if (event->type != GDK_BUTTON_PRESS || event->button != 1 || !_editable || !IsEnabled()
        || !isRowsWindow(event->window))
        return false;
    GtkTreePath* p = nullptr;
    GtkTreeViewColumn* column = nullptr;
    if (!gtk_tree_view_get_path_at_pos(
            GTK_TREE_VIEW(fTree), int(event->x), int(event->y), &p, &column, nullptr, nullptr))
        return false;
    LCocoaTableColumn* hit = nullptr;
    for (auto& c : fColumns)
        if (c->gtkColumn == column && c->textRenderer && c->editable && !c->dropDown)
            hit = c.get();
    bool handled = false;
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(fTree));
    if (hit && !gtk_tree_selection_path_is_selected(selection, p)) {
        // An editable cell of an unselected row: that row alone is selected, and edited.
        GtkTreeIter iter;
        if (gtk_tree_model_get_iter(GTK_TREE_MODEL(fModel), &iter, p)) {
            int row = rowForItem(VtOutlineModelNode(fModel, &iter));
            selectRowIndexes({ row }, false);
        }
        gtk_widget_grab_focus(fTree);
        gtk_tree_view_set_cursor_on_cell(
            GTK_TREE_VIEW(fTree), p, hit->gtkColumn, hit->textRenderer, TRUE);
        handled = true;
    }
    gtk_tree_path_free(p);
    return handled;
}

// --- Placeholder and background picture.

void LCocoaOutlineViewImpl::setDefaultText(const char* text)
{
    _defaultText = text ? std::string(LMacNSStringFromString(text).c_str()) : std::string();
    SetNeedsDisplay();
    if (fTree)
        gtk_widget_queue_draw(fTree);
}

void LCocoaOutlineViewImpl::setBackgroundImage(cairo_surface_t* image)
{
    fBackgroundImage = LCocoaImageRef(image);
    if (fTree)
        gtk_widget_queue_draw(fTree);
}

void LCocoaOutlineViewImpl::drawOverlay(cairo_t* cr)
{
    if (!fTree)
        return;
    GtkAllocation alloc;
    gtk_widget_get_allocation(fTree, &alloc);
    int binX = 0, binY = 0;
    gtk_tree_view_convert_bin_window_to_widget_coords(GTK_TREE_VIEW(fTree), 0, 0, &binX, &binY);
    if (numberOfRows() == 0 && !_defaultText.empty()) {
        PangoLayout* layout = gtk_widget_create_pango_layout(fTree, _defaultText.c_str());
        PangoFontDescription* font = SystemFont(+1);
        pango_layout_set_font_description(layout, font);
        pango_font_description_free(font);
        int w = 0, h = 0;
        pango_layout_get_pixel_size(layout, &w, &h);
        cairo_save(cr);
        cairo_set_source_rgb(cr, 0x55 / 255.0, 0x55 / 255.0, 0x55 / 255.0);
        cairo_move_to(cr, (alloc.width - w) * 0.5, binY + 20);
        pango_cairo_show_layout(cr, layout);
        cairo_restore(cr);
        g_object_unref(layout);
    }
    if (cairo_surface_t* image = fBackgroundImage.get()) {
        double sx = 1, sy = 1;
        cairo_surface_get_device_scale(image, &sx, &sy);
        double iw = cairo_image_surface_get_width(image) / sx;
        double ih = cairo_image_surface_get_height(image) / sy;
        cairo_save(cr);
        cairo_set_source_surface(cr, image, alloc.width - iw, alloc.height - ih);
        cairo_paint_with_alpha(cr, 0.6);
        cairo_restore(cr);
    }
}
