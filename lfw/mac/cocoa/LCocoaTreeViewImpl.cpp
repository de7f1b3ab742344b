#include "lfw/mac/cocoa/LCocoaTreeViewImpl.h"

#include "lfw/gen/LCharSet.h"
#include "lfw/gen/LString.h"

#include <algorithm>

// --- The view.

LCocoaTreeViewImpl::LCocoaTreeViewImpl(const LUiRect& frame, LCocoaWindow* window)
    : LCocoaOutlineViewImpl(frame, window)
{
    setHierarchical(true);
    setHeaderVisible(false);
}

LCocoaTreeViewImpl::~LCocoaTreeViewImpl()
{
    attachManager(nullptr);
    _manager.reset();
}

void LCocoaTreeViewImpl::setDefaultSettingsAndFlags(const LTreeFlags& flags)
{
    setEditable((flags.flags & kLTreeFlagEditable) != 0);
    setHierarchical(true);
    setHasCheckboxes((flags.flags & kLTreeFlagCheckboxes) != 0);
}

void LCocoaTreeViewImpl::setManager(std::unique_ptr<LCocoaTreeViewManager> manager)
{
    attachManager(manager.get());
    _manager = std::move(manager);
}

LCocoaOutlineViewManager* LCocoaTreeViewImpl::outlineManager() const
{
    return _manager.get();
}

// --- The manager.

LCocoaTreeViewManager::LCocoaTreeViewManager(LCocoaTreeViewImpl* treeView, LCocoaWindow* window)
    : LCocoaOutlineViewManager(treeView, window)
    , fTreeView(treeView)
{
    nszColumn0ID = "TVCOLUMN";
    arrColumnIDs.push_back(nszColumn0ID);
    if (treeView && treeView->columnWithIdentifier(nszColumn0ID) < 0) {
        LCocoaTableColumn col;
        col.identifier = nszColumn0ID;
        col.minWidth = 200;
        col.width = std::max(200.0, treeView->Frame().width);
        col.resizingMask = 1;
        col.editable = treeView->editable();
        treeView->addTableColumn(col);
    }
    fSortDesc.valid = true;
    fSortDesc.key = nszColumn0ID;
    fSortDesc.ascending = true;
}

LCocoaTreeNode* LCocoaTreeViewManager::parentOrRoot(LCocoaTreeNode* parent) const
{
    if (!parent)
        return fRootNode.get();
    return isItem(parent) ? parent : nullptr;
}

LCocoaOutlineViewItemModel* LCocoaTreeViewManager::cellOf(LCocoaTreeNode* item) const
{
    if (!isItem(item) || !item->representedObject())
        return nullptr;
    return static_cast<LCocoaTreeViewRowModel*>(item->representedObject())->item();
}

std::unique_ptr<LCocoaTreeViewRowModel> LCocoaTreeViewManager::createItem(
    const char* text, int image, uint64_t data)
{
    auto row = std::make_unique<LCocoaTreeViewRowModel>();
    row->item()->setText(text ? text : "");
    row->item()->setData(data);
    row->item()->setCanShowImage(true);
    if (cairo_surface_t* s = imageAt(image))
        row->item()->setImage(s);
    return row;
}

LCocoaTreeNode* LCocoaTreeViewManager::addItem(
    const char* text, LCocoaTreeNode* parent, LCocoaTreeNode* after, int image, uint64_t data)
{
    LCocoaTreeNode* p = parentOrRoot(parent);
    if (!p)
        return nullptr;
    size_t position = p->childCount();
    if (after && LCocoaTreeNode::isLive(after) && after->parentNode() == p)
        position = after->indexInParent() + 1;
    auto node = std::make_unique<LCocoaTreeNode>(createItem(text, image, data));
    LCocoaTreeNode* raw = p->insertChild(std::move(node), position);
    // The view is told of the new row at once (no full reload: selection and open folders
    // stay as they are).
    if (fTreeView)
        fTreeView->noteNodeInserted(raw);
    return raw;
}

LCocoaTreeNode* LCocoaTreeViewManager::addItemFirst(
    const char* text, LCocoaTreeNode* parent, int image, uint64_t data)
{
    LCocoaTreeNode* p = parentOrRoot(parent);
    if (!p)
        return nullptr;
    auto node = std::make_unique<LCocoaTreeNode>(createItem(text, image, data));
    LCocoaTreeNode* raw = p->insertChild(std::move(node), 0);
    // The view is told of the new row at once (no full reload: selection and open folders
    // stay as they are).
    if (fTreeView)
        fTreeView->noteNodeInserted(raw);
    return raw;
}

LCocoaTreeNode* LCocoaTreeViewManager::addItemSorted(
    const char* text, LCocoaTreeNode* parent, int image, uint64_t data)
{
    LCocoaTreeNode* p = parentOrRoot(parent);
    if (!p)
        return nullptr;
    std::unique_ptr<LCocoaTreeViewRowModel> row = createItem(text, image, data);
    size_t low = 0, high = p->childCount();
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        int r = compareRows(p->childAt(middle)->representedObject(), row.get(), fSortDesc);
        if (!fSortDesc.ascending)
            r = -r;
        if (r <= 0)
            low = middle + 1;
        else
            high = middle;
    }
    LCocoaTreeNode* raw = p->insertChild(std::make_unique<LCocoaTreeNode>(std::move(row)), low);
    if (fTreeView)
        fTreeView->noteNodeInserted(raw);
    return raw;
}

void LCocoaTreeViewManager::setText(const char* text, LCocoaTreeNode* item)
{
    if (LCocoaOutlineViewItemModel* cell = cellOf(item)) {
        cell->setText(text ? text : "");
        if (fTreeView)
            fTreeView->noteRowChanged(item);
    }
}

char* LCocoaTreeViewManager::getText(char* buffer, LCocoaTreeNode* item) const
{
    if (!buffer)
        return buffer;
    buffer[0] = 0;
    LCocoaOutlineViewItemModel* cell = cellOf(item);
    if (cell && cell->hasText())
        utf8strlcpy(buffer, cell->text().c_str(), 260);
    return buffer;
}

void LCocoaTreeViewManager::setImage(int image, LCocoaTreeNode* item)
{
    LCocoaOutlineViewItemModel* cell = cellOf(item);
    if (cell && image >= 0 && size_t(image) < arrImages.size()) {
        cell->setImage(imageAt(image));
        if (fTreeView)
            fTreeView->noteRowChanged(item);
    }
}

void LCocoaTreeViewManager::setSelectedImage(int image, LCocoaTreeNode* item)
{
    LCocoaOutlineViewItemModel* cell = cellOf(item);
    if (cell && image >= 0 && size_t(image) < arrImages.size()) {
        cell->setSelectedImage(imageAt(image));
        if (fTreeView)
            fTreeView->noteRowChanged(item);
    }
}

int LCocoaTreeViewManager::imageForItem(LCocoaTreeNode* item) const
{
    LCocoaOutlineViewItemModel* cell = cellOf(item);
    if (!cell)
        return 0;
    return std::max(0, indexOfImage(cell->image()));
}

void LCocoaTreeViewManager::setData(uint64_t data, LCocoaTreeNode* item)
{
    if (LCocoaOutlineViewItemModel* cell = cellOf(item))
        cell->setData(data);
}

uint64_t LCocoaTreeViewManager::dataForItem(LCocoaTreeNode* item) const
{
    LCocoaOutlineViewItemModel* cell = cellOf(item);
    return cell ? cell->data() : 0;
}

void LCocoaTreeViewManager::deleteItem(LCocoaTreeNode* item)
{
    if (!isItem(item))
        return;
    endRowEditing();
    // The view lets go of the item and its subtree before they are freed, so nothing draws or
    // selects a freed node.
    bool wasSelected = false;
    if (fTreeView)
        for (LCocoaTreeNode* n : fTreeView->selectedNodes())
            if (n->isDescendantOf(item))
                wasSelected = true;
    LCocoaTreeNode* parent = item->parentNode();
    size_t index = item->indexInParent();
    bIgnoreSelectionChangeNotification = true;
    std::unique_ptr<LCocoaTreeNode> gone = parent->removeChild(item);
    if (fTreeView)
        fTreeView->noteNodeRemoved(parent, index);
    selectedIndexes.erase(std::remove_if(selectedIndexes.begin(), selectedIndexes.end(),
                              [&](LCocoaTreeNode* n) { return n->isDescendantOf(gone.get()); }),
        selectedIndexes.end());
    gone.reset();
    bIgnoreSelectionChangeNotification = false;
    (void)wasSelected;
}

LCocoaTreeNode* LCocoaTreeViewManager::getSelectedItem() const
{
    if (!fTreeView)
        return nullptr;
    return fTreeView->itemAtRow(fTreeView->firstSelectedRow());
}

void LCocoaTreeViewManager::selectItem(LCocoaTreeNode* item)
{
    if (!isItem(item) || !item->representedObject())
        return;
    // Every collapsed ancestor is opened, the outermost first.
    std::vector<LCocoaTreeNode*> ancestors;
    for (LCocoaTreeNode* p = item->parentNode(); p && p != fRootNode.get(); p = p->parentNode())
        ancestors.push_back(p);
    for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it)
        if (!(*it)->representedObject()->expanded() || fTreeView)
            expandItem(*it);
    int row = indexOfNode(item);
    if (row >= 0 && fTreeView) {
        fTreeView->selectRowIndexes({ row }, false);
        fTreeView->scrollRowToVisible(row);
    }
}

int LCocoaTreeViewManager::getItemIndex(LCocoaTreeNode* item) const
{
    return isItem(item) ? indexOfNode(item) : -1;
}

LCocoaTreeNode* LCocoaTreeViewManager::getItem(int row) const
{
    return row < 0 ? nullptr : treeNodeOfRow(row, nullptr);
}

LCocoaPixelRect LCocoaTreeViewManager::getItemRect(LCocoaTreeNode* item) const
{
    int row = getItemIndex(item);
    if (row < 0 || !fTreeView)
        return {};
    LUiRect r = fTreeView->rectOfRow(row);
    double s = fTreeView->BackingScale();
    return LCocoaPixelRect { int(r.x * s), int(r.y * s), int(r.width * s), int(r.height * s) };
}

LCocoaTreeNode* LCocoaTreeViewManager::firstChildOfItem(LCocoaTreeNode* item) const
{
    LCocoaTreeNode* p = parentOrRoot(item);
    return p ? p->childAt(0) : nullptr;
}

LCocoaTreeNode* LCocoaTreeViewManager::nextSiblingOfItem(LCocoaTreeNode* item) const
{
    if (!isItem(item))
        return nullptr;
    return item->parentNode()->childAt(item->indexInParent() + 1);
}

LCocoaTreeNode* LCocoaTreeViewManager::previousSiblingOfItem(LCocoaTreeNode* item) const
{
    if (!isItem(item) || item->indexInParent() == 0)
        return nullptr;
    return item->parentNode()->childAt(item->indexInParent() - 1);
}

LCocoaTreeNode* LCocoaTreeViewManager::getRoot() const
{
    return fRootNode->childAt(0);
}

void LCocoaTreeViewManager::expandTreeRoot()
{
    expandItem(getRoot());
}

void LCocoaTreeViewManager::expandItem(LCocoaTreeNode* item)
{
    if (!isItem(item))
        return;
    if (fTreeView)
        fTreeView->expandItem(item);
    else if (item->representedObject())
        item->representedObject()->setExpanded(true);
}

void LCocoaTreeViewManager::collapseItem(LCocoaTreeNode* item)
{
    if (!isItem(item))
        return;
    if (fTreeView)
        fTreeView->collapseItem(item);
    else if (item->representedObject())
        item->representedObject()->setExpanded(false);
}

// Check states live in the row model, never in a reused cell.
void LCocoaTreeViewManager::changeCheckState(int row, bool check)
{
    LCocoaTreeNode* node = getItem(row);
    if (!node || !node->representedObject() || !fTreeView || !fTreeView->hasCheckboxes())
        return;
    node->representedObject()->setCheckboxState(check);
    fTreeView->noteRowChanged(node);
}

bool LCocoaTreeViewManager::isRowChecked(int row) const
{
    LCocoaTreeNode* node = getItem(row);
    return node && node->representedObject() && fTreeView && fTreeView->hasCheckboxes()
        && node->representedObject()->checkboxState();
}

void LCocoaTreeViewManager::sortRows()
{
    std::vector<LCocoaTreeNode*> selected;
    if (fTreeView)
        selected = fTreeView->selectedNodes();
    sortChildren(fRootNode.get(), fSortDesc);
    reloadAndRestoreGivenSelections(&selected);
}

void LCocoaTreeViewManager::handleEndEditing(LCocoaTreeNode* node, int, const char* text)
{
    if (!pEditHandler || !text || !isItem(node) || indexOfNode(node) < 0)
        return;
    std::string valid = LMacNSStringFromString(text).c_str();
    if (LCocoaOutlineViewItemModel* cell = cellOf(node))
        cell->setText(valid.c_str());
    pEditHandler->EvEditEnd(fTreeView ? fTreeView->Tag() : 0, node, valid.c_str());
}

bool LCocoaTreeViewManager::isItemExpandable(const LCocoaTreeNode* node) const
{
    return node && !node->isLeaf();
}

void LCocoaTreeViewManager::outlineViewSelectionDidChange()
{
    LCocoaOutlineViewManager::outlineViewSelectionDidChange();
    if (!fTreeView)
        return;
    // Items show their selected-state image, or their plain one again.
    std::vector<LCocoaTreeNode*> now = fTreeView->selectedNodes();
    for (LCocoaTreeNode* n : selectedIndexes)
        if (ownsNode(n))
            fTreeView->noteRowChanged(n);
    for (LCocoaTreeNode* n : now)
        fTreeView->noteRowChanged(n);
    selectedIndexes = now;
}
