// The GtkTreeModel of list and tree views over the manager's node tree: iterators carry the node
// and the model's stamp, nothing is copied. Column 0 is the node, columns 1.. the texts of the
// data columns (for GTK's type-ahead search).
#pragma once

#include <gtk/gtk.h>

class LCocoaOutlineViewManager;
class LCocoaTreeNode;

typedef struct _VtOutlineModel VtOutlineModel;

VtOutlineModel* VtOutlineModelNew(LCocoaOutlineViewManager* manager, bool flat);
// The manager goes away (null) or changes; the stamp changes, so older iterators are refused.
void VtOutlineModelSetManager(VtOutlineModel* model, LCocoaOutlineViewManager* manager);
void VtOutlineModelInvalidate(VtOutlineModel* model);
LCocoaOutlineViewManager* VtOutlineModelManager(VtOutlineModel* model);
// The node of an iterator of this model; null for a stale or foreign one.
LCocoaTreeNode* VtOutlineModelNode(VtOutlineModel* model, GtkTreeIter* iter);
void VtOutlineModelIter(VtOutlineModel* model, LCocoaTreeNode* node, GtkTreeIter* iter);
// A new path of the node (free with gtk_tree_path_free); null for the root.
GtkTreePath* VtOutlineModelPath(LCocoaTreeNode* node);
