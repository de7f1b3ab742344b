#include "lfw/mac/cocoa/LCocoaListViewImpl.h"

#include "lfw/gen/LCharSet.h"
#include "lfw/gen/LString.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "lfw/mac/cocoa/LCocoaWindow.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

int LListViewSorter::LVCompareFunc(const char* a, const char* b)
{
    int r = LStringCompareLogical(a ? a : "", b ? b : "");
    LCocoaListViewManager* m = listView ? listView->manager() : nullptr;
    if (m && !m->isSortAscending())
        r = -r;
    return r;
}

// --- The view.

LCocoaListViewImpl::LCocoaListViewImpl(const LUiRect& frame, LCocoaWindow* window)
    : LCocoaOutlineViewImpl(frame, window)
{
}

LCocoaListViewImpl::~LCocoaListViewImpl()
{
    // A queued reload finds the manager invalid.
    if (_manager)
        _manager->setAsyncValid(false);
    attachManager(nullptr);
    _manager.reset();
}

void LCocoaListViewImpl::setDefaultSettingsAndFlags(const LListFlags& flags)
{
    setAllowsEmptySelection(!flags.keepSelection);
    setAllowsMultipleSelection(!flags.singleSelection);
    setEditable(flags.editable);
    setSortableHeader(flags.sortableHeader);
    setSingleRowSelection(flags.singleSelection);
}

void LCocoaListViewImpl::setManager(std::unique_ptr<LCocoaListViewManager> manager)
{
    if (_manager)
        _manager->setAsyncValid(false);
    attachManager(manager.get());
    _manager = std::move(manager);
}

LCocoaOutlineViewManager* LCocoaListViewImpl::outlineManager() const
{
    return _manager.get();
}

void LCocoaListViewImpl::focusGained()
{
    LCocoaOutlineViewImpl::focusGained();
    LCocoaView::sendCommandWithKey(this, &keyCmdTextFocusSet, pWindow);
}

void LCocoaListViewImpl::configureCell(
    LCocoaTableColumn& column, LCocoaTreeNode* node, GtkCellRenderer* renderer)
{
    LCocoaOutlineViewImpl::configureCell(column, node, renderer);
}

void LCocoaListViewImpl::dropDownOpening(int row, int dataColumn, std::vector<std::string>& items)
{
    if (_manager)
        _manager->dropDownOpening(row, dataColumn, items);
}

void LCocoaListViewImpl::dropDownChosen(int row, int dataColumn, int item, const char* title)
{
    if (_manager)
        _manager->dropDownChosen(row, dataColumn, item, title);
}

LCocoaRectangle LCocoaListViewImpl::getRowBounds(int row) const
{
    if (row < 0)
        return {};
    LUiRect r = rectOfRow(row);
    double s = BackingScale();
    LCocoaRectangle out;
    out.left = int(r.x * s);
    out.top = int(r.y * s);
    out.right = out.left + int(r.width * s);
    out.bottom = out.top + int(r.height * s);
    return out;
}

LCocoaRectangle LCocoaListViewImpl::getCellBounds(int row, int viewColumn) const
{
    if (row < 0)
        return {};
    LUiRect r = rectOfCell(row, viewColumn);
    double s = BackingScale();
    LCocoaRectangle out;
    out.left = int(r.x * s);
    out.top = int(r.y * s);
    out.right = int((r.x + r.width) * s);
    out.bottom = int((r.y + r.height) * s);
    return out;
}

// --- The manager: columns from the table.

LCocoaListViewManager::LCocoaListViewManager(LCocoaListViewImpl* listView,
    const LVColDynamicGlobal* columns, const char* settings, LCocoaWindow* window)
    : LCocoaOutlineViewManager(listView, window)
    , fListView(listView)
{
    float c = window ? window->CharWidthPoints() : 8.0f;
    for (int i = 0; columns && columns[i].title; ++i) {
        const LVColDynamicGlobal& rec = columns[i];
        std::string title = LMacNSStringFromString(rec.title).c_str();
        char id[300];
        std::snprintf(id, sizeof id, "%s_%d", title.c_str(), i);
        if (i == 0)
            nszColumn0ID = id;
        LCocoaTableColumn col;
        col.identifier = id;
        col.title = title;
        col.alignment = int(rec.alignment);
        col.minWidth = std::max(0.0f, float(rec.width) * c);
        double width = col.minWidth;
        if (settings && *settings) {
            char key[40];
            std::snprintf(key, sizeof key, "ColumnWidth%d", i + 1);
            width = LUserSettingGet<double>(settings, key, col.minWidth);
        }
        col.width = width;
        col.resizingMask = 2 | (rec.stretchable ? 1 : 0);
        col.sortAscending = true;
        col.editable = listView && listView->editable() && i == 0;
        if (listView)
            listView->addTableColumn(col);
        arrColumnIDs.push_back(id);
    }
    if (!arrColumnIDs.empty()) {
        fSortDesc.valid = true;
        fSortDesc.key = nszColumn0ID;
        fSortDesc.ascending = true;
    }
}

LCocoaTableColumn* LCocoaListViewManager::columnOfData(int column) const
{
    if (column < 0 || size_t(column) >= arrColumnIDs.size() || !fListView)
        return nullptr;
    return fListView->tableColumn(fListView->columnWithIdentifier(arrColumnIDs[size_t(column)]));
}

int LCocoaListViewManager::dataColumnForViewColumn(int viewColumn) const
{
    LCocoaTableColumn* c = fListView ? fListView->tableColumn(viewColumn) : nullptr;
    if (!c)
        return -1;
    for (size_t i = 0; i < arrColumnIDs.size(); ++i)
        if (arrColumnIDs[i] == c->identifier)
            return int(i);
    return -1;
}

int LCocoaListViewManager::viewColumnForDataColumn(int column) const
{
    if (column < 0 || size_t(column) >= arrColumnIDs.size() || !fListView)
        return -1;
    return fListView->columnWithIdentifier(arrColumnIDs[size_t(column)]);
}

// --- Rows and cells.

std::unique_ptr<LCocoaListViewRowModel> LCocoaListViewManager::createRow() const
{
    return std::make_unique<LCocoaListViewRowModel>(arrColumnIDs.size());
}

LCocoaListViewRowModel* LCocoaListViewManager::rowAtIndex(int row) const
{
    LCocoaTreeNode* node = treeNodeOfRow(row, nullptr);
    return node ? static_cast<LCocoaListViewRowModel*>(node->representedObject()) : nullptr;
}

int LCocoaListViewManager::addRow(const char* const* texts, int count, const char* parentText,
    bool canHaveChildRows, bool expanded)
{
    return addRow(texts, count, parentText, canHaveChildRows, expanded, -1, 0, 0);
}

int LCocoaListViewManager::addRow(const char* const* texts, int count, const char* parentText,
    bool canHaveChildRows, bool expanded, int image, int alternateImage)
{
    return addRow(texts, count, parentText, canHaveChildRows, expanded, image, alternateImage, 0);
}

int LCocoaListViewManager::addRow(const char* const* texts, int count, const char*, bool, bool,
    int image, int alternateImage, uint64_t data)
{
    auto row = createRow();
    int n = std::min(count, int(arrColumnIDs.size()));
    for (int i = 0; i < n; ++i)
        row->setText(texts[i] ? texts[i] : "", arrColumnIDs[size_t(i)]);
    if (!arrColumnIDs.empty()) {
        row->setData(data, nszColumn0ID);
        setImageForRow(row.get(), nszColumn0ID, image, alternateImage);
    }
    assignRow(std::move(row), "", -1);
    queueReloadAndRestoreSelections(nullptr);
    return rowCount() - 1;
}

int LCocoaListViewManager::addRow(const char* text, const char* parentText, bool canHaveChildRows,
    bool expanded, int image, int alternateImage, uint64_t data)
{
    const char* texts[1] = { text };
    return addRow(texts, 1, parentText, canHaveChildRows, expanded, image, alternateImage, data);
}

int LCocoaListViewManager::insertRow(const char* text, int index, bool canHaveChildRows,
    bool expanded, int image, int alternateImage, uint64_t data)
{
    if (index < 0 || index >= rowCount())
        return addRow(text, "", canHaveChildRows, expanded, image, alternateImage, data);
    std::vector<LCocoaTreeNode*> selected;
    bool wasQueued = bReloadQueued;
    if (!wasQueued && fListView)
        selected = fListView->selectedNodes();
    auto row = createRow();
    if (!arrColumnIDs.empty()) {
        row->setText(text ? text : "", nszColumn0ID);
        row->setData(data, nszColumn0ID);
        setImageForRow(row.get(), nszColumn0ID, image, alternateImage);
    }
    assignRow(std::move(row), "", index);
    queueReloadAndRestoreSelections(wasQueued ? nullptr : &selected);
    return index;
}

void LCocoaListViewManager::setImageForRow(
    LCocoaListViewRowModel* row, const std::string& columnId, int image, int)
{
    if (row && image >= 0 && size_t(image) < arrImages.size())
        row->setImage(arrImages[size_t(image)].get(), columnId);
}

void LCocoaListViewManager::setItemText(const char* text, int row, int column)
{
    LCocoaListViewRowModel* r = rowAtIndex(row);
    if (!r || column < 0 || size_t(column) >= arrColumnIDs.size())
        return;
    r->setText(text ? text : "", arrColumnIDs[size_t(column)]);
    reloadCellPreservingFocusAtRow(row, viewColumnForDataColumn(column));
}

const std::string* LCocoaListViewManager::cellText(LCocoaTreeNode* node, int column) const
{
    if (!node || !node->representedObject() || column < 0 || size_t(column) >= arrColumnIDs.size())
        return nullptr;
    return node->representedObject()->getColumnText(arrColumnIDs[size_t(column)]);
}

char* LCocoaListViewManager::getItemText(char* buffer, int row, int column) const
{
    if (!buffer)
        return buffer;
    const std::string* text = cellText(treeNodeOfRow(row, nullptr), column);
    utf8strlcpy(buffer, text ? text->c_str() : "", 260);
    return buffer;
}

void LCocoaListViewManager::getItemLongText(
    LStringLongTemplate<char>* out, int row, int column) const
{
    if (!out)
        return;
    LCocoaTreeNode* node = treeNodeOfRow(row, nullptr);
    if (!node || column < 0 || size_t(column) >= arrColumnIDs.size()) {
        *out = "";
        return;
    }
    if (const std::string* text = cellText(node, column))
        *out = text->c_str();
}

void LCocoaListViewManager::setItemImage(int image, int row, int column, bool)
{
    LCocoaListViewRowModel* r = rowAtIndex(row);
    if (!r || column < 0 || size_t(column) >= arrColumnIDs.size() || image < 0
        || size_t(image) >= arrImages.size())
        return;
    r->setImage(arrImages[size_t(image)].get(), arrColumnIDs[size_t(column)]);
    reloadCellPreservingFocusAtRow(row, viewColumnForDataColumn(column));
}

int LCocoaListViewManager::getItemImage(int row, int column, bool) const
{
    LCocoaListViewRowModel* r = rowAtIndex(row);
    if (!r || column < 0 || size_t(column) >= arrColumnIDs.size())
        return -1;
    return indexOfImage(r->imageForColumn(arrColumnIDs[size_t(column)]));
}

void LCocoaListViewManager::setItemData(uint64_t data, int row, int column)
{
    LCocoaListViewRowModel* r = rowAtIndex(row);
    if (r && column >= 0 && size_t(column) < arrColumnIDs.size())
        r->setData(data, arrColumnIDs[size_t(column)]);
}

uint64_t LCocoaListViewManager::getItemData(int row, int column) const
{
    LCocoaListViewRowModel* r = rowAtIndex(row);
    if (!r || column < 0 || size_t(column) >= arrColumnIDs.size())
        return 0;
    return r->dataForColumn(arrColumnIDs[size_t(column)]);
}

void LCocoaListViewManager::deleteRowWithText(const char* text)
{
    int row = findRowWithText(text, 0, 0);
    if (row >= 0)
        deleteRow(row);
}

// --- Searching.

int LCocoaListViewManager::findRowWithText(const char* text, int column, int startRow) const
{
    if (!text || startRow < -1 || column < 0 || size_t(column) >= arrColumnIDs.size())
        return -1;
    std::string wanted = LMacNSStringFromString(text).c_str();
    return searchForTreeNode(nullptr, std::max(startRow, 0), [&](LCocoaTreeNode* n) {
        const std::string* t = cellText(n, column);
        return t && *t == wanted;
    });
}

namespace {

bool PartialMatch(const std::string* cell, const std::string& wanted, bool ignoreCase)
{
    if (!cell || cell->size() < wanted.size())
        return false;
    if (!ignoreCase)
        return cell->compare(0, wanted.size(), wanted) == 0;
    gchar* a = g_utf8_casefold(cell->c_str(), -1);
    gchar* b = g_utf8_casefold(wanted.c_str(), -1);
    bool match = g_str_has_prefix(a, b);
    g_free(a);
    g_free(b);
    return match;
}

} // namespace

int LCocoaListViewManager::findRowWithTextPartialMatch(
    const char* text, int column, int startRow, bool ignoreCase) const
{
    if (!text || startRow < 0 || column < 0 || size_t(column) >= arrColumnIDs.size())
        return -1;
    std::string wanted = LMacNSStringFromString(text).c_str();
    return searchForTreeNode(nullptr, startRow,
        [&](LCocoaTreeNode* n) { return PartialMatch(cellText(n, column), wanted, ignoreCase); });
}

int LCocoaListViewManager::findRowWithText(
    const char* text, const int* columns, int startRow, bool partialMatch, bool ignoreCase) const
{
    if (!text || !columns || startRow < 0)
        return -1;
    std::string wanted = LMacNSStringFromString(text).c_str();
    return searchForTreeNode(nullptr, startRow, [&](LCocoaTreeNode* n) {
        for (const int* c = columns; *c >= 0; ++c) {
            if (size_t(*c) >= arrColumnIDs.size())
                continue;
            const std::string* t = cellText(n, *c);
            bool match = partialMatch ? PartialMatch(t, wanted, ignoreCase)
                : ignoreCase ? t && t->size() == wanted.size() && PartialMatch(t, wanted, true)
                             : t && *t == wanted;
            if (match)
                return true;
        }
        return false;
    });
}

int LCocoaListViewManager::findRowWithData(uint64_t data, int column, int startRow) const
{
    if (startRow < 0 || column < 0 || size_t(column) >= arrColumnIDs.size())
        return -1;
    const std::string& id = arrColumnIDs[size_t(column)];
    return searchForTreeNode(nullptr, startRow, [&](LCocoaTreeNode* n) {
        auto* row = static_cast<LCocoaListViewRowModel*>(n->representedObject());
        LCocoaOutlineViewItemModel* item = row ? row->itemForColumn(id) : nullptr;
        return item && item->data() == data;
    });
}

// --- Iterating over the selected rows.

std::unique_ptr<std::vector<LCocoaTreeNode*>> LCocoaListViewManager::createSelectedRowsArray() const
{
    if (!fListView)
        return nullptr;
    std::vector<int> rows = fListView->selectedRowIndexes();
    if (rows.empty())
        return nullptr;
    auto nodes = std::make_unique<std::vector<LCocoaTreeNode*>>();
    for (int r : rows)
        if (LCocoaTreeNode* n = treeNodeOfRow(r, nullptr))
            nodes->push_back(n);
    return nodes;
}

void LCocoaListViewManager::deleteRowUsingIterator(
    LListViewIterator* iterator, const std::vector<LCocoaTreeNode*>* selectedRows)
{
    if (!iterator || !iterator->valid || iterator->position < 0)
        return;
    endRowEditing();
    LCocoaTreeNode* node = nullptr;
    if (selectedRows) {
        if (size_t(iterator->position) >= selectedRows->size())
            return;
        node = (*selectedRows)[size_t(iterator->position)];
        // A row deleted before (or a freed handle) is refused.
        if (!ownsNode(node))
            return;
        bIgnoreSelectionChangeNotification = true;
    } else {
        node = fRootNode->childAt(size_t(iterator->position));
    }
    if (!node || !node->representedObject()) {
        bIgnoreSelectionChangeNotification = false;
        return;
    }
    LCocoaTreeNode* parent = node->parentNode();
    size_t index = node->indexInParent();
    if (fListView)
        fListView->deselectRow(int(index));
    // Taking the row out of the view moves up the selected rows after it, and only those.
    std::unique_ptr<LCocoaTreeNode> gone = parent->removeChild(node);
    if (fListView)
        fListView->noteNodeRemoved(parent, index);
    gone.reset();
    bIgnoreSelectionChangeNotification = false;
    // One reload after the pass, not one per deleted row.
    queueReloadAndRestoreSelections(nullptr);
}

void LCocoaListViewManager::endSelectedRowsIteration(const std::vector<LCocoaTreeNode*>* before)
{
    if (!bReceivedSelectionChangeNotification)
        return;
    bReceivedSelectionChangeNotification = false;
    if (!before || before->empty() || !fListView)
        return;
    std::vector<LCocoaTreeNode*> now = fListView->selectedNodes();
    if (now.empty())
        return;
    std::vector<LCocoaTreeNode*> was = *before;
    std::sort(was.begin(), was.end());
    std::sort(now.begin(), now.end());
    if (was != now) {
        fListView->resyncSelection();
        LCocoaView::sendCommand(fListView, _selectionChangeCommand, pWindow);
    }
}

// --- Edits.

void LCocoaListViewManager::handleBeginEditing(LCocoaTreeNode* node, int)
{
    if (node && pEditHandler && fListView)
        pEditHandler->EvEditBegin(fListView->Tag());
}

void LCocoaListViewManager::handleEndEditing(LCocoaTreeNode* node, int dataColumn, const char* text)
{
    if (!text)
        return;
    std::string valid = LMacNSStringFromString(text).c_str();
    // The cell keeps what was typed, as it shows it.
    if (ownsNode(node) && dataColumn >= 0 && size_t(dataColumn) < arrColumnIDs.size())
        if (auto* row = static_cast<LCocoaListViewRowModel*>(node->representedObject()))
            row->setText(valid.c_str(), arrColumnIDs[size_t(dataColumn)]);
    LCocoaWindow* window = pWindow;
    if (pEditHandler && fListView)
        pEditHandler->EvEditEnd(fListView->Tag(), valid.c_str());
    if (window && window->IsAlive())
        window->RedrawWindow();
}

// --- Columns.

void LCocoaListViewManager::adjustColumns(const LVColDynamicGlobal* columns)
{
    if (!fListView || !columns)
        return;
    double total = 20.0;
    int stretchable = 0;
    std::vector<LCocoaTableColumn*> cols;
    for (int i = 0; columns[i].title; ++i) {
        char id[300];
        std::snprintf(id, sizeof id, "%s_%d", LMacNSStringFromString(columns[i].title).c_str(), i);
        LCocoaTableColumn* c = fListView->tableColumn(fListView->columnWithIdentifier(id));
        cols.push_back(c);
        if (!c)
            continue;
        c->minWidth = std::max(0.0, columns[i].width * 8.0 - 12.0);
        if (!columns[i].stretchable)
            total += std::max(c->width, c->minWidth) + 12.0;
        else
            ++stretchable;
    }
    if (stretchable > 0) {
        double share = (fListView->Frame().width - total) / stretchable - 12.0;
        for (size_t i = 0; i < cols.size(); ++i)
            if (cols[i] && columns[i].stretchable)
                cols[i]->width = std::max(cols[i]->minWidth, share);
    }
    for (int i = 0; i < int(fListView->numberOfColumns()); ++i)
        fListView->setColumnWidth(i, fListView->tableColumn(i)->width);
    reloadAndRestoreSelections();
}

void LCocoaListViewManager::resizeColumns(int count, int columnToStretch, int minWidthPixels)
{
    if (!fListView || !fListView->Window())
        return;
    double free = fListView->visibleRect().width;
    double scale = fListView->BackingScale();
    bool found = false;
    for (int i = 0; i < count && i < int(fListView->numberOfColumns()); ++i) {
        if (i == columnToStretch)
            found = true;
        else
            free -= fListView->tableColumn(i)->width + 12.0;
    }
    if (found) {
        fListView->setColumnWidth(columnToStretch, std::max(free, minWidthPixels / scale) - 12.0);
        reloadAndRestoreSelections();
    }
}

void LCocoaListViewManager::rearrangeColumns(int count, const int* columnOrder)
{
    if (!fListView || !pWindow || !columnOrder)
        return;
    for (int i = 0; i < count && size_t(i) < arrColumnIDs.size(); ++i) {
        int from = viewColumnForDataColumn(columnOrder[i]);
        int to = i + (_hasCheckboxColumn ? 1 : 0);
        if (from >= 0 && size_t(to) < fListView->numberOfColumns())
            fListView->moveColumn(from, to);
    }
    reloadAndRestoreSelections();
}

// Widths are stored under the data column's number (its table index + 1), the numbering of the
// creation: a hidden or moved column keeps its own width.
void LCocoaListViewManager::saveColumnWidths(const char* section)
{
    if (!section || !*section)
        return;
    for (size_t i = 0; i < arrColumnIDs.size(); ++i) {
        LCocoaTableColumn* c = columnOfData(int(i));
        if (!c || c->hidden)
            continue;
        char key[40], value[64];
        std::snprintf(key, sizeof key, "ColumnWidth%d", int(i) + 1);
        std::snprintf(value, sizeof value, "%.16f", c->width);
        _LSettingSetString(kLSettingsCurrentUser, section, key, value);
    }
}

void LCocoaListViewManager::loadColumnWidths(const char* section)
{
    if (!section || !*section || !fListView)
        return;
    for (size_t i = 0; i < arrColumnIDs.size(); ++i) {
        LCocoaTableColumn* c = columnOfData(int(i));
        if (!c || c->hidden)
            continue;
        char key[40];
        std::snprintf(key, sizeof key, "ColumnWidth%d", int(i) + 1);
        fListView->setColumnWidth(fListView->columnWithIdentifier(c->identifier),
            LUserSettingGet<double>(section, key, c->minWidth));
    }
    reloadAndRestoreSelections();
}

int LCocoaListViewManager::getColumnWidth(int column) const
{
    LCocoaTableColumn* c = columnOfData(column);
    return c ? int(c->width) : 0;
}

void LCocoaListViewManager::setColumnWidth(double width, int column)
{
    int v = viewColumnForDataColumn(column);
    if (v >= 0)
        fListView->setColumnWidth(v, width);
}

void LCocoaListViewManager::showHideColumn(int column, bool hide)
{
    int v = viewColumnForDataColumn(column);
    if (v < 0)
        return;
    fListView->setColumnHidden(v, hide);
    reloadAndRestoreSelections();
}

bool LCocoaListViewManager::isColumnHidden(int column) const
{
    LCocoaTableColumn* c = columnOfData(column);
    return c && c->hidden;
}

void LCocoaListViewManager::setColumnHeaderTitle(const char* text, int column)
{
    int v = viewColumnForDataColumn(column);
    if (v >= 0)
        fListView->setColumnTitle(v, LMacNSStringFromString(text ? text : "").c_str());
}

void LCocoaListViewManager::showHeader(bool show)
{
    if (fListView)
        fListView->setHeaderVisible(show);
}

LCocoaSortDescriptor LCocoaListViewManager::sortDescriptorForColumn(
    const std::string& identifier, bool ascending)
{
    LCocoaSortDescriptor d;
    d.valid = true;
    d.key = identifier;
    d.ascending = ascending;
    return d;
}

void LCocoaListViewManager::sortRowsUsingColumn(int column)
{
    LCocoaTableColumn* c = columnOfData(column);
    if (c && fListView)
        fListView->setSortDescriptor(sortDescriptorForColumn(c->identifier, c->sortAscending));
}

void LCocoaListViewManager::sortRowsUsingColumn(int column, bool ascending)
{
    LCocoaTableColumn* c = columnOfData(column);
    if (!c || !fListView)
        return;
    c->sortAscending = ascending;
    bool ignoring = bIgnoreSelectionChangeNotification;
    bIgnoreSelectionChangeNotification = true;
    fListView->setSortDescriptor(sortDescriptorForColumn(c->identifier, ascending));
    bIgnoreSelectionChangeNotification = ignoring;
}

int LCocoaListViewManager::getSortColumn() const
{
    if (!fSortDesc.valid)
        return 0;
    for (size_t i = 0; i < arrColumnIDs.size(); ++i)
        if (arrColumnIDs[i] == fSortDesc.key)
            return int(i);
    return int(arrColumnIDs.size());
}

bool LCocoaListViewManager::isSortAscending() const
{
    return fListView && fListView->sortDescriptor().valid && fListView->sortDescriptor().ascending;
}

void LCocoaListViewManager::setLvSorter(LListViewSorter* sorter)
{
    pSorter = sorter;
    if (fListView)
        fListView->setSortableHeader(true);
}

int LCocoaListViewManager::compareKeys(
    const LCocoaSortKey& a, const LCocoaSortKey& b, const LCocoaSortDescriptor& descriptor)
{
    if (!pSorter)
        return LCocoaOutlineViewManager::compareKeys(a, b, descriptor);
    if (!fSortDesc.valid || fSortDesc.key == "Bogus")
        return 0;
    pSorter->data1 = a.data;
    pSorter->data2 = b.data;
    int r = pSorter->LVCompareFunc(a.text, b.text);
    // The direction is applied again by the sort: the order follows r alone.
    if (r > 0)
        return fSortDesc.ascending ? 1 : -1;
    if (r < 0)
        return fSortDesc.ascending ? -1 : 1;
    return 0;
}

void LCocoaListViewManager::setHasCheckboxColumn(bool has)
{
    if (!has || _hasCheckboxColumn || !fListView) {
        if (!has)
            _hasCheckboxColumn = false;
        return;
    }
    _hasCheckboxColumn = true;
    if (fListView->columnWithIdentifier("LV_CHECKBOX_COLUMN") >= 0)
        return;
    LCocoaTableColumn col;
    col.identifier = "LV_CHECKBOX_COLUMN";
    col.width = col.minWidth = col.maxWidth = 20;
    col.resizingMask = 0;
    col.checkbox = true;
    fListView->addTableColumn(col);
    fListView->moveColumn(int(fListView->numberOfColumns()) - 1, 0);
}

// Check states live in the row model, never in a reused cell.
void LCocoaListViewManager::changeCheckState(int row, bool check)
{
    LCocoaListViewRowModel* r = rowAtIndex(row);
    if (!_hasCheckboxColumn || !r)
        return;
    r->setCheckboxState(check);
    if (fListView)
        fListView->noteRowChanged(r->treeNode());
}

bool LCocoaListViewManager::isRowChecked(int row) const
{
    LCocoaListViewRowModel* r = rowAtIndex(row);
    return _hasCheckboxColumn && r && r->checkboxState();
}

void LCocoaListViewManager::setDropDownColumns(const int32_t (*columns)[2])
{
    if (!columns || !fListView)
        return;
    for (int i = 0;; ++i) {
        int v = columns[i][0];
        if (v < 0 || size_t(v) >= fListView->numberOfColumns())
            break;
        fListView->setColumnDropDown(v);
    }
}

void LCocoaListViewManager::dropDownOpening(
    int row, int dataColumn, std::vector<std::string>& items)
{
    if (pDropDownHandler && fListView)
        pDropDownHandler->EvDropDownFill(fListView->Tag(), dataColumn, row, items);
}

void LCocoaListViewManager::dropDownChosen(int row, int dataColumn, int item, const char* title)
{
    if (pDropDownHandler && fListView)
        pDropDownHandler->EvDropDownChoice(fListView->Tag(), row, dataColumn, item, title);
}
