// The data manager of list and tree views: it keeps the rows in a tree of nodes (a flat list is
// the same tree with every row under the root), answers the view's questions about them, counts
// rows, adds, deletes, sorts and expands them, reloads the view keeping its selection, and
// reports the user's actions to the owning window as the commands the window registered.
//
// Row numbers count the visible rows from 0 in depth-first order, descending only into expanded
// rows.
#pragma once

#include "lfw/mac/cocoa/LCocoaOutlineViewModels.h"
#include "lfw/mac/cocoa/LCocoaTreeNode.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class LCocoaWindow;
class LCocoaOutlineViewImpl;
class LCocoaListControlClickHandler;
class LCocoaDragSourceBridge;
class LCocoaDropTargetBridge;

// The current sort: the key is a column identifier.
struct LCocoaSortDescriptor {
    bool valid = false;
    std::string key;
    bool ascending = true;
};

// What a sort compares of a row: its cell's text in the sorted column ("" without one) and the
// cell's data.
struct LCocoaSortKey {
    const char* text = "";
    uint64_t data = 0;
};

class LCocoaOutlineViewManager {
public:
    LCocoaOutlineViewManager(LCocoaOutlineViewImpl* view, LCocoaWindow* window);
    virtual ~LCocoaOutlineViewManager();
    LCocoaOutlineViewManager(const LCocoaOutlineViewManager&) = delete;
    LCocoaOutlineViewManager& operator=(const LCocoaOutlineViewManager&) = delete;

    LCocoaOutlineViewImpl* outlineView() const { return fOutlineView; }
    LCocoaWindow* lfwWindow() const { return pWindow; }
    LCocoaTreeNode* rootNode() const { return fRootNode.get(); }
    const std::vector<std::string>& columnIDs() const { return arrColumnIDs; }
    const std::string& column0ID() const { return nszColumn0ID; }

    // --- Row arithmetic (a null parent is the root).
    int rowCount() const;
    int rowCountOfTree(const LCocoaTreeNode* node) const;
    LCocoaTreeNode* treeNodeOfRow(int row, LCocoaTreeNode* parent) const;
    // The first node below parent (expanded or not) whose text in the column equals text; the
    // parent itself when none does.
    LCocoaTreeNode* treeNodeOfRow(
        const std::string& text, const std::string& columnID, LCocoaTreeNode* parent) const;
    // The first visible row at or after fromRow whose node satisfies the test; -1 when none.
    int searchForTreeNode(LCocoaTreeNode* parent, int fromRow,
        const std::function<bool(LCocoaTreeNode*)>& test) const;
    int indexOfNode(const LCocoaTreeNode* node) const;
    std::vector<int> indexPathOfRow(int row) const;
    bool isRowValid(int row) const { return row >= 0 && treeNodeOfRow(row, nullptr) != nullptr; }
    // Whether every ancestor of the node is expanded (its row is shown).
    bool isNodeVisible(const LCocoaTreeNode* node) const;
    // Whether the node belongs to this manager's tree and is alive.
    bool ownsNode(const LCocoaTreeNode* node) const;

    // --- Rows.
    LCocoaTreeNode* assignRow(
        std::unique_ptr<LCocoaOutlineViewRowModel> row, const char* parentText, int index);
    void deleteRow(int row);
    void deleteAllRows();
    void expandRow(LCocoaOutlineViewRowModel* row);
    void collapseRow(LCocoaOutlineViewRowModel* row);
    // Sorts by the current sort descriptor again.
    virtual void sortRows();

    // --- Reloading with the selection kept. A null node list keeps the current selection.
    void reloadAndRestoreSelections() { reloadAndRestoreGivenSelections(nullptr); }
    void reloadAndRestoreGivenSelections(const std::vector<LCocoaTreeNode*>* nodes);
    void queueReloadAndRestoreSelections(const std::vector<LCocoaTreeNode*>* nodes);
    void ReloadAndRestoreSelectionsNow() { ReloadAndRestoreSelectionsNow(false); }
    void ReloadAndRestoreSelectionsNow(bool onlyIfQueued);
    void reloadCellPreservingFocusAtRow(int row, int viewColumn);
    bool reloadQueued() const { return bReloadQueued; }
    // How many full reloads ran (for tests and measurements).
    unsigned long reloadCount() const { return fReloadCount; }

    // --- Editing.
    void endRowEditing();
    void endRowEditing(int row);
    virtual void handleBeginEditing(LCocoaTreeNode* node, int dataColumn);
    virtual void handleEndEditing(LCocoaTreeNode* node, int dataColumn, const char* text);

    // --- Images (held by reference).
    void setImageList(const std::vector<cairo_surface_t*>& images);
    int setIcon(cairo_surface_t* image);
    size_t imageCount() const { return arrImages.size(); }
    cairo_surface_t* imageAt(int index) const;
    int indexOfImage(cairo_surface_t* image) const;

    // --- Commands.
    void setClickCommand(int cmd);
    void setDoubleClickCommand(int cmd);
    void setRightClickCommand(int cmd);
    int clickCommand() const;
    int doubleClickCommand() const;
    int rightClickCommand() const;
    int selectionChangeCommand() const { return _selectionChangeCommand; }
    void setSelectionChangeCommand(int cmd) { _selectionChangeCommand = cmd; }
    int checkStateChangeCommand() const { return _checkStateChangeCommand; }
    void setCheckStateChangeCommand(int cmd) { _checkStateChangeCommand = cmd; }
    int dragStartCommand() const { return _dragStartCommand; }
    void setDragStartCommand(int cmd) { _dragStartCommand = cmd; }
    void createClickHandler();
    void destroyClickHandler();
    LCocoaListControlClickHandler* clickHandler() const { return fClickHandler.get(); }

    LCocoaDragSourceBridge* dragSource() const { return pDragSource; }
    void setDragSource(LCocoaDragSourceBridge* s) { pDragSource = s; }
    LCocoaDropTargetBridge* dropTarget() const { return pDropTarget; }
    void setDropTarget(LCocoaDropTargetBridge* t) { pDropTarget = t; }
    bool asyncValid() const { return bAsyncValid; }
    void setAsyncValid(bool valid) { bAsyncValid = valid; }

    // --- What the view tells its manager.
    // The selection changed (the view calls it only when it really did).
    virtual void outlineViewSelectionDidChange();
    virtual void outlineViewItemDidExpand(LCocoaTreeNode* node);
    virtual void outlineViewItemDidCollapse(LCocoaTreeNode* node);
    // The view's sort descriptor changed (a header click, or the operations of the list).
    virtual void outlineViewSortDescriptorsDidChange();
    // Whether the view shows the expander of the node.
    virtual bool isItemExpandable(const LCocoaTreeNode* node) const;
    // The check box of a row was clicked (the row model's state is already the new one).
    virtual void handleCheckboxClick();
    // The current sort descriptor.
    const LCocoaSortDescriptor& currentSortDescriptor() const { return fSortDesc; }
    void setCurrentSortDescriptor(const LCocoaSortDescriptor& d) { fSortDesc = d; }
    bool ignoresSelectionChange() const { return bIgnoreSelectionChangeNotification; }

protected:
    // Compares two rows for the sort descriptor (its direction is applied by the caller): their
    // cells of the descriptor's column.
    int compareRows(LCocoaOutlineViewRowModel* a, LCocoaOutlineViewRowModel* b,
        const LCocoaSortDescriptor& descriptor);
    // Compares two rows by the keys of their cells in the descriptor's column. A sort takes
    // every row's key once, the texts side by side in one block, and then compares keys only.
    virtual int compareKeys(
        const LCocoaSortKey& a, const LCocoaSortKey& b, const LCocoaSortDescriptor& descriptor);
    // Sorts the children of the node, and theirs, stably by the descriptor.
    void sortChildren(LCocoaTreeNode* node, const LCocoaSortDescriptor& descriptor);

    LCocoaWindow* pWindow;
    LCocoaOutlineViewImpl* fOutlineView;
    std::unique_ptr<LCocoaTreeNode> fRootNode;
    std::vector<std::string> arrColumnIDs;
    std::vector<LCocoaImageRef> arrImages;
    LCocoaSortDescriptor fSortDesc;
    std::string nszColumn0ID;
    bool bIgnoreSelectionChangeNotification = false;
    bool bReceivedSelectionChangeNotification = false;
    std::unique_ptr<LCocoaListControlClickHandler> fClickHandler;
    LCocoaDragSourceBridge* pDragSource = nullptr;
    LCocoaDropTargetBridge* pDropTarget = nullptr;
    bool bReloadQueued = false;
    bool bAsyncValid = true;
    int _selectionChangeCommand = -1;
    int _checkStateChangeCommand = 0;
    int _dragStartCommand = -1;
    unsigned long fReloadCount = 0;
    // Cleared when the manager goes: a queued reload finds it gone.
    std::shared_ptr<bool> fAlive;
};

// Sorts the range stably by cmp (negative: a before b) however inconsistent cmp is: a merge that
// only ever takes from the right when cmp(right, left) < 0.
void LCocoaMergeSort(std::vector<size_t>& items, const std::function<int(size_t, size_t)>& cmp);
