// The view of list and tree views: a GtkTreeView in a scrolled window, fed by a tree model of our
// own over the manager's node tree (no copy of the rows), with its columns, header, cells, check
// boxes, selection, editing, placeholder text and background picture. Lists and trees subclass
// it; the manager answers everything about the rows.
#pragma once

#include "lfw/mac/cocoa/LCocoaOutlineViewManager.h"
#include "lfw/mac/cocoa/LCocoaOutlineViewModels.h"
#include "lfw/mac/cocoa/LCocoaViewBase.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class LCocoaOutlineViewManager;
class LCocoaTreeNode;
typedef struct _VtOutlineModel VtOutlineModel;

// A column of the view (the view keeps them in view order).
struct LCocoaTableColumn {
    std::string identifier;
    std::string title;
    double width = 100;
    double minWidth = 0;
    double maxWidth = 1e6;
    int resizingMask = 2; // 1 resizes with the view, 2 the user may resize it
    bool hidden = false;
    int alignment = 0; // 0 left, 1 right, 2 centre
    bool editable = false;
    bool sortAscending = true; // the direction a header click starts with
    bool checkbox = false; // the check-box column
    bool dropDown = false; // cells are drop-down lists
    GtkTreeViewColumn* gtkColumn = nullptr;
    GtkCellRenderer* textRenderer = nullptr;
    GtkCellRenderer* imageRenderer = nullptr;
    GtkCellRenderer* toggleRenderer = nullptr;
};

// A rectangle in backing pixels: left, top, right, bottom.
struct LCocoaRectangle {
    int left = 0, top = 0, right = 0, bottom = 0;
};

class LListViewDragHandler;

class LCocoaOutlineViewImpl : public LCocoaViewBase {
public:
    LCocoaOutlineViewImpl(const LUiRect& frame, LCocoaWindow* window);

    void setID(int id) { SetTag(id); }
    virtual LCocoaOutlineViewManager* outlineManager() const = 0;

    bool editable() const { return _editable; }
    void setEditable(bool e) { _editable = e; }
    bool singleRowSelection() const { return _singleRowSelection; }
    void setSingleRowSelection(bool s) { _singleRowSelection = s; }
    bool sortableHeader() const { return _sortableHeader; }
    void setSortableHeader(bool s);
    bool hierarchical() const { return _hierarchical; }
    void setHierarchical(bool h) { _hierarchical = h; }
    bool hasCheckboxes() const { return _hasCheckboxes; }
    void setHasCheckboxes(bool h) { _hasCheckboxes = h; }
    bool allowsEmptySelection() const { return fAllowsEmptySelection; }
    void setAllowsEmptySelection(bool a);
    bool allowsMultipleSelection() const { return fAllowsMultipleSelection; }
    void setAllowsMultipleSelection(bool a);
    void setHeaderVisible(bool visible);
    bool headerVisible() const { return fHeaderVisible; }

    // --- Update nesting: reloads and redraws wait while updates are open.
    void beginUpdates();
    void endUpdates();
    bool isRedrawSuspended() const { return nBeginUpdatesCntr != 0; }
    void runBlockEvenIfSuspended(const std::function<void()>& block);
    uint64_t updateNesting() const { return nBeginUpdatesCntr; }

    // --- Rows as the view shows them.
    // Detaches and re-attaches the model: every row is asked for again, expanded rows expanded.
    void reloadData();
    int numberOfRows() const;
    std::vector<int> selectedRowIndexes() const;
    std::vector<LCocoaTreeNode*> selectedNodes() const;
    int numberOfSelectedRows() const;
    int firstSelectedRow() const; // -1 when none
    void selectRowIndexes(const std::vector<int>& rows, bool extend);
    void deselectAll();
    void deselectRow(int row);
    bool isRowSelected(int row) const;
    int rowForItem(const LCocoaTreeNode* node) const;
    LCocoaTreeNode* itemAtRow(int row) const;
    void expandItem(LCocoaTreeNode* node);
    void collapseItem(LCocoaTreeNode* node);
    void scrollRowToVisible(int row);
    void scrollByOneRow(bool down);
    // The rows' own coordinates, in points, top-left, header excluded.
    LUiRect rectOfRow(int row) const;
    LUiRect rectOfCell(int row, int viewColumn) const;
    double rowHeight() const;
    // The visible part of the rows, in the rows' coordinates (points).
    LUiRect visibleRect() const;
    // The row at a point of the rows' coordinates; -1 when none.
    int rowAtPoint(double x, double y) const;

    // --- Telling the view about changes of the tree, before the node is freed or after it was
    // put in place.
    void noteNodeInserted(LCocoaTreeNode* node);
    // The child that stood at index under parent was taken out (it is not freed yet).
    void noteNodeRemoved(LCocoaTreeNode* parent, size_t index);
    // GTK lets go of every row (before many are freed); the next reload attaches them again.
    void detachModel();
    void noteRowChanged(LCocoaTreeNode* node);
    void noteChildrenReordered(LCocoaTreeNode* parent);

    // --- Columns (view order).
    size_t numberOfColumns() const { return fColumns.size(); }
    LCocoaTableColumn* tableColumn(int viewColumn) const
    {
        return viewColumn >= 0 && size_t(viewColumn) < fColumns.size()
            ? fColumns[size_t(viewColumn)].get()
            : nullptr;
    }
    int columnWithIdentifier(const std::string& identifier) const; // view index, -1
    void addTableColumn(const LCocoaTableColumn& column);
    void moveColumn(int from, int to);
    void setColumnWidth(int viewColumn, double width);
    void setColumnHidden(int viewColumn, bool hidden);
    void setColumnTitle(int viewColumn, const std::string& title);
    void setColumnEditable(int viewColumn, bool editable);
    // The column's cells become drop-down lists.
    void setColumnDropDown(int viewColumn);
    // The sort descriptors: the current sort column and direction (key empty: none).
    const LCocoaSortDescriptor& sortDescriptor() const { return fSortDescriptor; }
    void setSortDescriptor(const LCocoaSortDescriptor& descriptor);

    // --- Editing.
    bool isEditing() const { return fEditing; }
    void endEditing();
    void editItem(int row, int viewColumn);

    // --- Placeholder and background picture.
    const std::string& defaultText() const { return _defaultText; }
    void setDefaultText(const char* text);
    void setBackgroundImage(cairo_surface_t* image);
    cairo_surface_t* backgroundImage() const { return fBackgroundImage.get(); }

    // The GTK parts, once made.
    GtkWidget* treeView() const { return fTree; }
    // The manager answers the tree model's questions (null: the view shows nothing).
    void attachManager(LCocoaOutlineViewManager* manager);
    VtOutlineModel* treeModel() const { return fModel; }

    // The last selection becomes the current one (after a reload that restored it).
    void resyncSelection();
    // A list with the keyboard whose cursor is on no row (a reload loses it) gets it on its
    // first selected row, the selection staying: GTK draws a list's focus on its cursor row.
    void cursorToSelection();
    // What the click handler asks: whether a GDK window is the rows' area of this view.
    bool isRowsWindow(GdkWindow* window) const;

    // LView
    void SetEnabled(bool enabled) override;

protected:
    ~LCocoaOutlineViewImpl() override;
    GtkWidget* CreateWidget() override;
    // Cell contents for a column (the check-box and drop-down columns included).
    virtual void configureCell(
        LCocoaTableColumn& column, LCocoaTreeNode* node, GtkCellRenderer* renderer);
    // A press on the rows (GTK's handling follows when false).
    virtual bool rowsButtonPress(GdkEventButton* event);
    virtual void drawOverlay(cairo_t* cr);
    // A drop-down cell opens: its items are asked for; then the choice is told.
    virtual void dropDownOpening(int row, int dataColumn, std::vector<std::string>& items)
    {
        (void)row;
        (void)dataColumn;
        (void)items;
    }
    virtual void dropDownChosen(int row, int dataColumn, int item, const char* title)
    {
        (void)row;
        (void)dataColumn;
        (void)item;
        (void)title;
    }
    // The rows took the keyboard focus.
    virtual void focusGained();
    void buildGtkColumn(LCocoaTableColumn& column);
    int dataColumnOf(const LCocoaTableColumn& column) const;
    void applyColumnToGtk(LCocoaTableColumn& column);
    void updateSortIndicators();
    void attachModel();

    uint64_t nBeginUpdatesCntr = 0;
    bool _editable = false;
    bool _singleRowSelection = false;
    bool _sortableHeader = false;
    bool _hierarchical = false;
    bool _hasCheckboxes = false;
    bool fAllowsEmptySelection = true;
    bool fAllowsMultipleSelection = true;
    bool fHeaderVisible = true;
    bool fEditing = false;
    GtkCellEditable* fEditable = nullptr; // the cell being edited
    bool fLastSelectionStale = false;
    bool fFreezeSelection = false; // GTK may not change the selection now
    bool fReloadPending = false; // a reload waits for the updates to close
    std::vector<std::unique_ptr<LCocoaTableColumn>> fColumns;
    LCocoaSortDescriptor fSortDescriptor;
    std::string _defaultText;
    LCocoaImageRef fBackgroundImage;
    GtkWidget* fTree = nullptr;
    VtOutlineModel* fModel = nullptr;
    std::vector<LCocoaTreeNode*> fLastSelection;
    std::vector<std::string> fDropDownItems; // of the drop-down cell being edited

private:
    friend struct LCocoaOutlineGlue;
    void selectionChanged();
    void checkToggled(const char* path);
    void cellEdited(LCocoaTableColumn* column, const char* path, const char* text);
    void cellEditingStarted(LCocoaTableColumn* column, GtkCellEditable* editable, const char* path);
    void headerClicked(GtkTreeViewColumn* column);
    void rowExpanded(GtkTreePath* path, bool expanded);
    void reexpand(LCocoaTreeNode* node, GtkTreePath* path);
    void measureRows() const;
    void widthAllocated(int width);
    void fixedWidthChanged(LCocoaTableColumn& column, int width);
    void drawHeaderOfWholeView(cairo_t* cr);
    int fFittedWidth = -1; // the width the stretching columns of a list were last fitted to

public:
    // --- Dragging rows out (LCocoaOutlineDrag.cpp). Rows can be dragged when at least one is
    // selected and the owner has a drag source or a row drag handler.
    bool canDragRows() const;
    LListViewDragHandler* lvDragHandler() const { return pDragHandler; }
    void setLvDragHandler(LListViewDragHandler* handler) { pDragHandler = handler; }
    // A point of the screen (points) in the pixels of the control's parent window's content
    // view, rounded; (0, 0) without a parent window.
    LUiPoint screenPointsToWindowPixels(LUiPoint screen) const;
    // The row the rows dropped at a point of the screen land on: the row there, else the number
    // of rows below the last row and 0 above the first.
    int dropRowAtScreenPoint(LUiPoint screen) const;
    const void* dragSession() const { return fDragSession; }
    // The view whose rows are being dragged now; null when none.
    static LCocoaOutlineViewImpl* draggedOutlineView();
    const std::vector<LCocoaTreeNode*>& draggedNodes() const { return fDraggedNodes; }
    void resetDraggingSession();

private:
    friend struct LCocoaOutlineDragGlue;
    void setUpRowDragging();
    void rowDragBegan(GdkDragContext* context);
    void rowDragMoved();
    void rowDragEnded(GdkDragContext* context);
    bool pointerOnScreen(LUiPoint& p) const;

    LListViewDragHandler* pDragHandler = nullptr;
    const void* fDragSession = nullptr;
    std::vector<LCocoaTreeNode*> fDraggedNodes;
    guint fDragMoveTimer = 0;
    LUiPoint fLastDragPoint { -1e9, -1e9 };
};
