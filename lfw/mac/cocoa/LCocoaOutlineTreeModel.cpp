#include "lfw/mac/cocoa/LCocoaOutlineTreeModel.h"

#include "lfw/mac/cocoa/LCocoaOutlineViewImpl.h"
#include "lfw/mac/cocoa/LCocoaOutlineViewManager.h"

#include <cstring>

struct _VtOutlineModel {
    GObject parent;
    LCocoaOutlineViewManager* manager;
    gint stamp;
    gboolean flat;
};

struct VtOutlineModelClass {
    GObjectClass parent_class;
};

namespace {

void VtOutlineModelInterfaceInit(GtkTreeModelIface* iface);
void VtOutlineModelDragSourceInit(GtkTreeDragSourceIface* iface);

} // namespace

G_DEFINE_TYPE_WITH_CODE(VtOutlineModel, vt_outline_model, G_TYPE_OBJECT,
    G_IMPLEMENT_INTERFACE(GTK_TYPE_TREE_MODEL, VtOutlineModelInterfaceInit)
        G_IMPLEMENT_INTERFACE(GTK_TYPE_TREE_DRAG_SOURCE, VtOutlineModelDragSourceInit))

static void vt_outline_model_init(VtOutlineModel* model)
{
    model->manager = nullptr;
    model->stamp = g_random_int();
    model->flat = TRUE;
}

static void vt_outline_model_class_init(VtOutlineModelClass*)
{
}

namespace {

VtOutlineModel* Self(GtkTreeModel* m)
{
    return reinterpret_cast<VtOutlineModel*>(m);
}

LCocoaTreeNode* Root(VtOutlineModel* m)
{
    return m->manager ? m->manager->rootNode() : nullptr;
}

LCocoaTreeNode* NodeOf(VtOutlineModel* m, GtkTreeIter* iter)
{
    if (!iter || !m->manager || iter->stamp != m->stamp)
        return nullptr;
    return static_cast<LCocoaTreeNode*>(iter->user_data);
}

gboolean Set(VtOutlineModel* m, GtkTreeIter* iter, LCocoaTreeNode* node)
{
    if (!node) {
        iter->stamp = 0;
        iter->user_data = nullptr;
        return FALSE;
    }
    iter->stamp = m->stamp;
    iter->user_data = node;
    iter->user_data2 = nullptr;
    iter->user_data3 = nullptr;
    return TRUE;
}

GtkTreeModelFlags GetFlags(GtkTreeModel* m)
{
    return Self(m)->flat ? GTK_TREE_MODEL_LIST_ONLY : GtkTreeModelFlags(0);
}

gint GetNColumns(GtkTreeModel* m)
{
    VtOutlineModel* self = Self(m);
    return self->manager ? 1 + gint(self->manager->columnIDs().size()) : 1;
}

GType GetColumnType(GtkTreeModel*, gint column)
{
    return column == 0 ? G_TYPE_POINTER : G_TYPE_STRING;
}

gboolean GetIter(GtkTreeModel* m, GtkTreeIter* iter, GtkTreePath* path)
{
    VtOutlineModel* self = Self(m);
    LCocoaTreeNode* node = Root(self);
    gint depth = 0;
    gint* indices = gtk_tree_path_get_indices_with_depth(path, &depth);
    if (!node || depth <= 0)
        return Set(self, iter, nullptr);
    for (gint i = 0; i < depth && node; ++i)
        node = indices[i] < 0 ? nullptr : node->childAt(size_t(indices[i]));
    return Set(self, iter, node);
}

GtkTreePath* GetPath(GtkTreeModel* m, GtkTreeIter* iter)
{
    LCocoaTreeNode* node = NodeOf(Self(m), iter);
    if (!node)
        return gtk_tree_path_new();
    return VtOutlineModelPath(node);
}

void GetValue(GtkTreeModel* m, GtkTreeIter* iter, gint column, GValue* value)
{
    VtOutlineModel* self = Self(m);
    LCocoaTreeNode* node = NodeOf(self, iter);
    if (column == 0) {
        g_value_init(value, G_TYPE_POINTER);
        g_value_set_pointer(value, node);
        return;
    }
    g_value_init(value, G_TYPE_STRING);
    if (!node || !node->representedObject() || !self->manager)
        return;
    const auto& ids = self->manager->columnIDs();
    if (column - 1 >= gint(ids.size()))
        return;
    const std::string* text = node->representedObject()->getColumnText(ids[size_t(column - 1)]);
    if (text)
        g_value_set_string(value, text->c_str());
}

gboolean IterNext(GtkTreeModel* m, GtkTreeIter* iter)
{
    VtOutlineModel* self = Self(m);
    LCocoaTreeNode* node = NodeOf(self, iter);
    if (!node || !node->parentNode())
        return Set(self, iter, nullptr);
    return Set(self, iter, node->parentNode()->childAt(node->indexInParent() + 1));
}

gboolean IterPrevious(GtkTreeModel* m, GtkTreeIter* iter)
{
    VtOutlineModel* self = Self(m);
    LCocoaTreeNode* node = NodeOf(self, iter);
    if (!node || !node->parentNode() || node->indexInParent() == 0)
        return Set(self, iter, nullptr);
    return Set(self, iter, node->parentNode()->childAt(node->indexInParent() - 1));
}

LCocoaTreeNode* ParentOf(VtOutlineModel* self, GtkTreeIter* parent)
{
    return parent ? NodeOf(self, parent) : Root(self);
}

gboolean IterChildren(GtkTreeModel* m, GtkTreeIter* iter, GtkTreeIter* parent)
{
    VtOutlineModel* self = Self(m);
    LCocoaTreeNode* p = ParentOf(self, parent);
    return Set(self, iter, p ? p->childAt(0) : nullptr);
}

gboolean IterHasChild(GtkTreeModel* m, GtkTreeIter* iter)
{
    LCocoaTreeNode* node = NodeOf(Self(m), iter);
    return node && !node->isLeaf();
}

gint IterNChildren(GtkTreeModel* m, GtkTreeIter* iter)
{
    VtOutlineModel* self = Self(m);
    LCocoaTreeNode* p = ParentOf(self, iter);
    return p ? gint(p->childCount()) : 0;
}

gboolean IterNthChild(GtkTreeModel* m, GtkTreeIter* iter, GtkTreeIter* parent, gint n)
{
    VtOutlineModel* self = Self(m);
    LCocoaTreeNode* p = ParentOf(self, parent);
    return Set(self, iter, p && n >= 0 ? p->childAt(size_t(n)) : nullptr);
}

gboolean IterParent(GtkTreeModel* m, GtkTreeIter* iter, GtkTreeIter* child)
{
    VtOutlineModel* self = Self(m);
    LCocoaTreeNode* node = NodeOf(self, child);
    LCocoaTreeNode* p = node ? node->parentNode() : nullptr;
    return Set(self, iter, p && p != Root(self) ? p : nullptr);
}

void VtOutlineModelInterfaceInit(GtkTreeModelIface* iface)
{
    iface->get_flags = GetFlags;
    iface->get_n_columns = GetNColumns;
    iface->get_column_type = GetColumnType;
    iface->get_iter = GetIter;
    iface->get_path = GetPath;
    iface->get_value = GetValue;
    iface->iter_next = IterNext;
    iface->iter_previous = IterPrevious;
    iface->iter_children = IterChildren;
    iface->iter_has_child = IterHasChild;
    iface->iter_n_children = IterNChildren;
    iface->iter_nth_child = IterNthChild;
    iface->iter_parent = IterParent;
}

} // namespace

VtOutlineModel* VtOutlineModelNew(LCocoaOutlineViewManager* manager, bool flat)
{
    auto* model = static_cast<VtOutlineModel*>(g_object_new(vt_outline_model_get_type(), nullptr));
    model->manager = manager;
    model->flat = flat;
    return model;
}

void VtOutlineModelSetManager(VtOutlineModel* model, LCocoaOutlineViewManager* manager)
{
    model->manager = manager;
    VtOutlineModelInvalidate(model);
}

void VtOutlineModelInvalidate(VtOutlineModel* model)
{
    do
        ++model->stamp;
    while (model->stamp == 0);
}

LCocoaOutlineViewManager* VtOutlineModelManager(VtOutlineModel* model)
{
    return model->manager;
}

LCocoaTreeNode* VtOutlineModelNode(VtOutlineModel* model, GtkTreeIter* iter)
{
    return NodeOf(model, iter);
}

void VtOutlineModelIter(VtOutlineModel* model, LCocoaTreeNode* node, GtkTreeIter* iter)
{
    Set(model, iter, node);
}

GtkTreePath* VtOutlineModelPath(LCocoaTreeNode* node)
{
    GtkTreePath* path = gtk_tree_path_new();
    if (!node)
        return path;
    std::vector<int> indexes = node->indexPath();
    for (int i : indexes)
        gtk_tree_path_append_index(path, i);
    return path;
}

namespace {

// Rows are dragged out as a whole selection: the view decides whether a drag may start; the data
// is the dragged rows' path, and the rows never leave the model by a drag.
gboolean RowDraggable(GtkTreeDragSource* source, GtkTreePath*)
{
    LCocoaOutlineViewManager* manager
        = VtOutlineModelManager(reinterpret_cast<VtOutlineModel*>(source));
    return manager && manager->outlineView() && manager->outlineView()->canDragRows();
}

gboolean DragDataGet(GtkTreeDragSource*, GtkTreePath* path, GtkSelectionData* data)
{
    gchar* text = gtk_tree_path_to_string(path);
    gtk_selection_data_set(data, gtk_selection_data_get_target(data), 8,
        reinterpret_cast<const guchar*>(text ? text : ""), text ? gint(strlen(text)) : 0);
    g_free(text);
    return TRUE;
}

gboolean DragDataDelete(GtkTreeDragSource*, GtkTreePath*)
{
    return FALSE;
}

void VtOutlineModelDragSourceInit(GtkTreeDragSourceIface* iface)
{
    iface->row_draggable = RowDraggable;
    iface->drag_data_get = DragDataGet;
    iface->drag_data_delete = DragDataDelete;
}

} // namespace
