// The multi-column list view: the outline view used flat, every row under the root, one cell per
// data column, with its manager: rows and cells, searching, iteration over the selected rows,
// edits, columns and their widths, sorting, check boxes and drop-down cells.
#pragma once

#include "lfw/mac/cocoa/LCocoaOutlineHooks.h"
#include "lfw/mac/cocoa/LCocoaOutlineViewImpl.h"
#include "lfw/mac/cocoa/LCocoaOutlineViewManager.h"

#include <memory>

class LCocoaListViewManager;
template <class T> class LStringLongTemplate;

class LCocoaListViewImpl : public LCocoaOutlineViewImpl {
public:
    LCocoaListViewImpl(const LUiRect& frame, LCocoaWindow* window);

    void setDefaultSettingsAndFlags(const LListFlags& flags);
    // The view owns its manager; null lets the old one go.
    void setManager(std::unique_ptr<LCocoaListViewManager> manager);
    LCocoaListViewManager* manager() const { return _manager.get(); }
    LCocoaOutlineViewManager* outlineManager() const override;

    // Rectangles in backing pixels, in the rows' coordinates (header excluded); zero for -1.
    LCocoaRectangle getRowBounds(int row) const;
    LCocoaRectangle getCellBounds(int row, int viewColumn) const;

protected:
    ~LCocoaListViewImpl() override;
    void configureCell(
        LCocoaTableColumn& column, LCocoaTreeNode* node, GtkCellRenderer* renderer) override;
    void focusGained() override;
    void dropDownOpening(int row, int dataColumn, std::vector<std::string>& items) override;
    void dropDownChosen(int row, int dataColumn, int item, const char* title) override;

private:
    std::unique_ptr<LCocoaListViewManager> _manager;
};

class LCocoaListViewManager : public LCocoaOutlineViewManager {
public:
    // Builds the columns from the table (see adjustColumns for fitting them); settings names the
    // user-settings section of the stored widths (null: none).
    LCocoaListViewManager(LCocoaListViewImpl* listView, const LVColDynamicGlobal* columns,
        const char* settings, LCocoaWindow* window);

    LCocoaListViewImpl* listView() const { return fListView; }
    size_t columnCount() const { return arrColumnIDs.size(); }

    // --- Rows and cells (row = visible row, column = data column in creation order).
    std::unique_ptr<LCocoaListViewRowModel> createRow() const;
    LCocoaListViewRowModel* rowAtIndex(int row) const;
    // Adds a row at the end with the texts in the first columns; the answer is its number. The
    // parent text and the two flags are accepted and ignored (lists have no child rows).
    int addRow(const char* const* texts, int count, const char* parentText = nullptr,
        bool canHaveChildRows = false, bool expanded = false);
    int addRow(const char* const* texts, int count, const char* parentText, bool canHaveChildRows,
        bool expanded, int image, int alternateImage);
    int addRow(const char* const* texts, int count, const char* parentText, bool canHaveChildRows,
        bool expanded, int image, int alternateImage, uint64_t data);
    int addRow(const char* text, const char* parentText, bool canHaveChildRows, bool expanded,
        int image, int alternateImage, uint64_t data);
    int insertRow(const char* text, int index, bool canHaveChildRows, bool expanded, int image,
        int alternateImage, uint64_t data);
    void setImageForRow(
        LCocoaListViewRowModel* row, const std::string& columnId, int image, int alternate);
    void setItemText(const char* text, int row, int column);
    // At most 259 bytes (ending on a character boundary) and a NUL into a 260-byte buffer.
    char* getItemText(char* buffer, int row, int column) const;
    void getItemLongText(LStringLongTemplate<char>* text, int row, int column) const;
    void setItemImage(int image, int row, int column, bool alternate);
    int getItemImage(int row, int column, bool alternate) const;
    void setItemData(uint64_t data, int row, int column);
    uint64_t getItemData(int row, int column) const;
    void deleteRowWithText(const char* text);
    // The data column of a view column; -1 when none.
    int dataColumnForViewColumn(int viewColumn) const;
    // The view column that shows a data column; -1 when none.
    int viewColumnForDataColumn(int column) const;

    // --- Searching: the first matching row at or after the start, -1 when none.
    int findRowWithText(const char* text, int column, int startRow) const;
    int findRowWithTextPartialMatch(
        const char* text, int column, int startRow, bool ignoreCase) const;
    int findRowWithText(const char* text, const int* columns, int startRow, bool partialMatch,
        bool ignoreCase) const;
    int findRowWithData(uint64_t data, int column, int startRow) const;

    // --- Iterating over the selected rows.
    std::unique_ptr<std::vector<LCocoaTreeNode*>> createSelectedRowsArray() const;
    void deleteRowUsingIterator(
        LListViewIterator* iterator, const std::vector<LCocoaTreeNode*>* selectedRows);
    void endSelectedRowsIteration(const std::vector<LCocoaTreeNode*>* before);

    // --- Edits.
    LListViewEditHandler* editHandler() const { return pEditHandler; }
    void setEditHandler(LListViewEditHandler* handler) { pEditHandler = handler; }
    void handleBeginEditing(LCocoaTreeNode* node, int dataColumn) override;
    void handleEndEditing(LCocoaTreeNode* node, int dataColumn, const char* text) override;

    // --- Columns.
    void adjustColumns(const LVColDynamicGlobal* columns);
    void resizeColumns(int count, int columnToStretch, int minWidthPixels);
    void rearrangeColumns(int count, const int* columnOrder);
    void saveColumnWidths(const char* section);
    void loadColumnWidths(const char* section);
    int getColumnWidth(int column) const;
    void setColumnWidth(double width, int column);
    void showHideColumn(int column, bool hide);
    bool isColumnHidden(int column) const;
    void setColumnHeaderTitle(const char* text, int column);
    void showHeader(bool show);
    LCocoaSortDescriptor sortDescriptorForColumn(const std::string& identifier, bool ascending);
    void sortRowsUsingColumn(int column);
    void sortRowsUsingColumn(int column, bool ascending);
    int getSortColumn() const;
    bool isSortAscending() const;
    void setLvSorter(LListViewSorter* sorter);
    LListViewSorter* lvSorter() const { return pSorter; }
    void setHasCheckboxColumn(bool has);
    bool hasCheckboxColumn() const { return _hasCheckboxColumn; }
    void changeCheckState(int row, bool check);
    bool isRowChecked(int row) const;
    // Pairs {view column, unused}, ended by a negative or out-of-range column.
    void setDropDownColumns(const int32_t (*columns)[2]);
    LListViewDropDownHandler* dropDownColumnsHandler() const { return pDropDownHandler; }
    void setDropDownColumnsHandler(LListViewDropDownHandler* h) { pDropDownHandler = h; }
    // A drop-down cell opens (the owner fills it) and a choice was made in it.
    void dropDownOpening(int row, int dataColumn, std::vector<std::string>& items);
    void dropDownChosen(int row, int dataColumn, int item, const char* title);

protected:
    int compareKeys(const LCocoaSortKey& a, const LCocoaSortKey& b,
        const LCocoaSortDescriptor& descriptor) override;

private:
    LCocoaTableColumn* columnOfData(int column) const;
    const std::string* cellText(LCocoaTreeNode* node, int column) const;

    LCocoaListViewImpl* fListView;
    LListViewEditHandler* pEditHandler = nullptr;
    LListViewSorter* pSorter = nullptr;
    bool _hasCheckboxColumn = false;
    LListViewDropDownHandler* pDropDownHandler = nullptr;
};
