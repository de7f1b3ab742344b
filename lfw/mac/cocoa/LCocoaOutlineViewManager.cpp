#include "lfw/mac/cocoa/LCocoaOutlineViewManager.h"

#include "lfw/gen/LCharSet.h"
#include "lfw/gen/LString.h"
#include "lfw/mac/cocoa/LCocoaListControlClickHandler.h"
#include "lfw/mac/cocoa/LCocoaOutlineViewImpl.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "lfw/mac/cocoa/LCocoaWindow.h"
#include "platform/ui/LRunLoop.h"

#include <algorithm>

void LCocoaOutlineViewItemModel::setText(const char* text)
{
    _hasText = text != nullptr;
    if (!text) {
        _text.clear();
        return;
    }
    size_t n = std::strlen(text);
    if (LCharsetsIsValidUTF8(text, n))
        _text.assign(text, n);
    else
        _text = LMacNSStringFromString(text).c_str();
}

const std::string* LCocoaOutlineViewRowModel::getColumnText(const std::string& columnId)
{
    LCocoaOutlineViewItemModel* item = itemForColumn(columnId);
    return item && item->hasText() ? &item->text() : nullptr;
}

LCocoaOutlineViewItemModel* LCocoaListViewRowModel::getOrCreateItem(const std::string& columnId)
{
    auto it = dictItems.find(columnId);
    if (it != dictItems.end())
        return it->second.get();
    auto item = std::make_unique<LCocoaOutlineViewItemModel>();
    item->setCanShowImage(dictItems.empty());
    return dictItems.emplace(columnId, std::move(item)).first->second.get();
}

LCocoaOutlineViewItemModel* LCocoaListViewRowModel::itemForColumn(const std::string& columnId)
{
    auto it = dictItems.find(columnId);
    return it == dictItems.end() ? nullptr : it->second.get();
}

cairo_surface_t* LCocoaListViewRowModel::imageForColumn(const std::string& columnId)
{
    LCocoaOutlineViewItemModel* item = itemForColumn(columnId);
    return item ? item->image() : nullptr;
}

uint64_t LCocoaListViewRowModel::dataForColumn(const std::string& columnId)
{
    LCocoaOutlineViewItemModel* item = itemForColumn(columnId);
    return item ? item->data() : 0;
}

void LCocoaMergeSort(std::vector<size_t>& items, const std::function<int(size_t, size_t)>& cmp)
{
    const size_t n = items.size();
    std::vector<size_t> buffer(n);
    for (size_t width = 1; width < n; width *= 2) {
        for (size_t lo = 0; lo < n; lo += 2 * width) {
            size_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
            size_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi)
                buffer[k++] = cmp(items[j], items[i]) < 0 ? items[j++] : items[i++];
            while (i < mid)
                buffer[k++] = items[i++];
            while (j < hi)
                buffer[k++] = items[j++];
        }
        items.swap(buffer);
    }
}

LCocoaOutlineViewManager::LCocoaOutlineViewManager(
    LCocoaOutlineViewImpl* view, LCocoaWindow* window)
    : pWindow(window)
    , fOutlineView(view)
    , fAlive(std::make_shared<bool>(true))
{
    auto root = std::make_unique<LCocoaTreeViewRowModel>();
    root->setCanHaveChildRows(true);
    root->setExpanded(true);
    fRootNode = std::make_unique<LCocoaTreeNode>(std::move(root));
}

LCocoaOutlineViewManager::~LCocoaOutlineViewManager()
{
    *fAlive = false;
    destroyClickHandler();
}

// --- Row arithmetic.

int LCocoaOutlineViewManager::rowCount() const
{
    if (!fOutlineView || !fOutlineView->hierarchical())
        return int(fRootNode->childCount());
    return rowCountOfTree(fRootNode.get());
}

int LCocoaOutlineViewManager::rowCountOfTree(const LCocoaTreeNode* node) const
{
    if (!node)
        return 0;
    int count = 0;
    std::vector<const LCocoaTreeNode*> stack { node };
    while (!stack.empty()) {
        const LCocoaTreeNode* n = stack.back();
        stack.pop_back();
        count += int(n->childCount());
        for (size_t i = 0; i < n->childCount(); ++i)
            if (!n->childAt(i)->isLeaf())
                stack.push_back(n->childAt(i));
    }
    return count;
}

namespace {

bool Expanded(const LCocoaTreeNode* node)
{
    return node->representedObject() && node->representedObject()->expanded();
}

// Walks the visible rows below parent depth-first; visit answers true to stop.
template <class Visit> void WalkVisible(LCocoaTreeNode* parent, Visit visit)
{
    struct Frame {
        LCocoaTreeNode* node;
        size_t next;
    };
    std::vector<Frame> stack { { parent, 0 } };
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.next >= f.node->childCount()) {
            stack.pop_back();
            continue;
        }
        LCocoaTreeNode* child = f.node->childAt(f.next++);
        if (visit(child))
            return;
        if (!child->isLeaf() && Expanded(child))
            stack.push_back({ child, 0 });
    }
}

} // namespace

LCocoaTreeNode* LCocoaOutlineViewManager::treeNodeOfRow(int row, LCocoaTreeNode* parent) const
{
    if (row < 0)
        return nullptr;
    if (!parent)
        parent = fRootNode.get();
    if (!fOutlineView || !fOutlineView->hierarchical())
        if (parent == fRootNode.get())
            return parent->childAt(size_t(row));
    LCocoaTreeNode* found = nullptr;
    int counter = -1;
    WalkVisible(parent, [&](LCocoaTreeNode* n) {
        if (++counter == row) {
            found = n;
            return true;
        }
        return false;
    });
    return found;
}

LCocoaTreeNode* LCocoaOutlineViewManager::treeNodeOfRow(
    const std::string& text, const std::string& columnID, LCocoaTreeNode* parent) const
{
    if (!parent)
        parent = fRootNode.get();
    std::vector<LCocoaTreeNode*> stack;
    for (size_t i = parent->childCount(); i-- > 0;)
        stack.push_back(parent->childAt(i));
    while (!stack.empty()) {
        LCocoaTreeNode* n = stack.back();
        stack.pop_back();
        if (LCocoaOutlineViewRowModel* row = n->representedObject()) {
            const std::string* t = row->getColumnText(columnID);
            if (t && *t == text)
                return n;
        }
        for (size_t i = n->childCount(); i-- > 0;)
            stack.push_back(n->childAt(i));
    }
    return parent;
}

int LCocoaOutlineViewManager::searchForTreeNode(
    LCocoaTreeNode* parent, int fromRow, const std::function<bool(LCocoaTreeNode*)>& test) const
{
    if (!parent)
        parent = fRootNode.get();
    if ((!fOutlineView || !fOutlineView->hierarchical()) && parent == fRootNode.get()) {
        for (size_t i = size_t(std::max(fromRow, 0)); i < parent->childCount(); ++i)
            if (test(parent->childAt(i)))
                return int(i);
        return -1;
    }
    int counter = -1, result = -1;
    WalkVisible(parent, [&](LCocoaTreeNode* n) {
        if (++counter >= fromRow && test(n)) {
            result = counter;
            return true;
        }
        return false;
    });
    return result;
}

int LCocoaOutlineViewManager::indexOfNode(const LCocoaTreeNode* node) const
{
    if (!node || !ownsNode(node) || node == fRootNode.get() || !isNodeVisible(node))
        return -1;
    if ((!fOutlineView || !fOutlineView->hierarchical()) && node->parentNode() == fRootNode.get())
        return int(node->indexInParent());
    return searchForTreeNode(nullptr, 0, [node](LCocoaTreeNode* n) { return n == node; });
}

std::vector<int> LCocoaOutlineViewManager::indexPathOfRow(int row) const
{
    LCocoaTreeNode* node = treeNodeOfRow(row, nullptr);
    return node ? node->indexPath() : std::vector<int> {};
}

bool LCocoaOutlineViewManager::isNodeVisible(const LCocoaTreeNode* node) const
{
    for (const LCocoaTreeNode* p = node->parentNode(); p && p != fRootNode.get();
         p = p->parentNode())
        if (!Expanded(p))
            return false;
    return true;
}

bool LCocoaOutlineViewManager::ownsNode(const LCocoaTreeNode* node) const
{
    return LCocoaTreeNode::isLive(node) && node->isDescendantOf(fRootNode.get());
}

// --- Rows.

LCocoaTreeNode* LCocoaOutlineViewManager::assignRow(
    std::unique_ptr<LCocoaOutlineViewRowModel> row, const char* parentText, int index)
{
    LCocoaTreeNode* parent = fRootNode.get();
    if (parentText && *parentText)
        parent = treeNodeOfRow(parentText, nszColumn0ID, nullptr);
    auto node = std::make_unique<LCocoaTreeNode>(std::move(row));
    LCocoaTreeNode* raw
        = parent->insertChild(std::move(node), index < 0 ? parent->childCount() : size_t(index));
    if (fOutlineView)
        fOutlineView->noteNodeInserted(raw);
    return raw;
}

void LCocoaOutlineViewManager::deleteRow(int row)
{
    if (row < 0)
        return;
    endRowEditing();
    LCocoaTreeNode* node = treeNodeOfRow(row, nullptr);
    if (!node || !node->representedObject())
        return;
    bIgnoreSelectionChangeNotification = true;
    std::vector<LCocoaTreeNode*> keep;
    if (fOutlineView) {
        fOutlineView->deselectRow(row);
        for (LCocoaTreeNode* n : fOutlineView->selectedNodes())
            if (n != node && !n->isDescendantOf(node))
                keep.push_back(n);
    }
    LCocoaTreeNode* parent = node->parentNode();
    size_t index = node->indexInParent();
    std::unique_ptr<LCocoaTreeNode> gone = parent->removeChild(node);
    if (fOutlineView)
        fOutlineView->noteNodeRemoved(parent, index);
    gone.reset();
    bIgnoreSelectionChangeNotification = false;
    reloadAndRestoreGivenSelections(&keep);
}

void LCocoaOutlineViewManager::deleteAllRows()
{
    endRowEditing();
    bIgnoreSelectionChangeNotification = true;
    if (fOutlineView)
        fOutlineView->deselectAll();
    // The view lets go of the rows before they are freed.
    if (fOutlineView)
        fOutlineView->detachModel();
    fRootNode->removeAllChildren();
    bIgnoreSelectionChangeNotification = false;
    std::vector<LCocoaTreeNode*> none;
    reloadAndRestoreGivenSelections(&none);
}

void LCocoaOutlineViewManager::expandRow(LCocoaOutlineViewRowModel* row)
{
    if (!row)
        return;
    row->setExpanded(true);
    if (fOutlineView && row->treeNode())
        fOutlineView->expandItem(row->treeNode());
}

void LCocoaOutlineViewManager::collapseRow(LCocoaOutlineViewRowModel* row)
{
    if (!row)
        return;
    row->setExpanded(false);
    if (fOutlineView && row->treeNode())
        fOutlineView->collapseItem(row->treeNode());
}

void LCocoaOutlineViewManager::sortRows()
{
    if (!fOutlineView)
        return;
    LCocoaSortDescriptor d = fSortDesc;
    fOutlineView->setSortDescriptor(LCocoaSortDescriptor {});
    fOutlineView->setSortDescriptor(d);
}

namespace {

LCocoaSortKey KeyOf(LCocoaOutlineViewRowModel* row, const std::string& column)
{
    LCocoaSortKey key;
    if (LCocoaOutlineViewItemModel* cell = row ? row->getColumnItem(column) : nullptr) {
        if (cell->hasText())
            key.text = cell->text().c_str();
        key.data = cell->data();
    }
    return key;
}

} // namespace

int LCocoaOutlineViewManager::compareRows(LCocoaOutlineViewRowModel* a,
    LCocoaOutlineViewRowModel* b, const LCocoaSortDescriptor& descriptor)
{
    return compareKeys(KeyOf(a, descriptor.key), KeyOf(b, descriptor.key), descriptor);
}

int LCocoaOutlineViewManager::compareKeys(
    const LCocoaSortKey& a, const LCocoaSortKey& b, const LCocoaSortDescriptor&)
{
    int r = LStringCompareLogical(a.text, b.text);
    return r < 0 ? -1 : r > 0 ? 1 : 0;
}

void LCocoaOutlineViewManager::sortChildren(
    LCocoaTreeNode* node, const LCocoaSortDescriptor& descriptor)
{
    std::vector<LCocoaTreeNode*> stack { node };
    while (!stack.empty()) {
        LCocoaTreeNode* n = stack.back();
        stack.pop_back();
        if (n->childCount() > 1) {
            // Each row's key is taken once; the texts are copied side by side, so that the
            // comparisons read one block instead of every row's cell.
            std::vector<size_t> order(n->childCount());
            std::vector<LCocoaSortKey> keys(order.size());
            std::vector<size_t> at(order.size());
            std::string texts;
            for (size_t i = 0; i < order.size(); ++i) {
                order[i] = i;
                keys[i] = KeyOf(n->childAt(i)->representedObject(), descriptor.key);
                at[i] = texts.size();
                texts.append(keys[i].text).push_back('\0');
            }
            for (size_t i = 0; i < keys.size(); ++i)
                keys[i].text = texts.c_str() + at[i];
            LCocoaMergeSort(order, [&](size_t x, size_t y) {
                int r = compareKeys(keys[x], keys[y], descriptor);
                return descriptor.ascending ? r : -r;
            });
            n->reorderChildren(order);
            if (fOutlineView)
                fOutlineView->noteChildrenReordered(n);
        }
        for (size_t i = 0; i < n->childCount(); ++i)
            if (!n->childAt(i)->isLeaf())
                stack.push_back(n->childAt(i));
    }
}

void LCocoaOutlineViewManager::outlineViewSortDescriptorsDidChange()
{
    if (!fOutlineView || !fOutlineView->sortableHeader() || !fOutlineView->sortDescriptor().valid)
        return;
    endRowEditing();
    fSortDesc = fOutlineView->sortDescriptor();
    std::vector<LCocoaTreeNode*> selected = fOutlineView->selectedNodes();
    sortChildren(fRootNode.get(), fSortDesc);
    reloadAndRestoreGivenSelections(&selected);
}

// --- Reloading.

void LCocoaOutlineViewManager::reloadAndRestoreGivenSelections(
    const std::vector<LCocoaTreeNode*>* nodes)
{
    bIgnoreSelectionChangeNotification = true;
    std::vector<LCocoaTreeNode*> reselect;
    if (nodes)
        reselect = *nodes;
    else if (fOutlineView)
        reselect = fOutlineView->selectedNodes();
    endRowEditing();
    ++fReloadCount;
    if (fOutlineView) {
        fOutlineView->reloadData();
        std::vector<int> rows;
        for (LCocoaTreeNode* n : reselect) {
            int r = fOutlineView->rowForItem(n);
            if (r >= 0)
                rows.push_back(r);
        }
        if (!rows.empty())
            fOutlineView->selectRowIndexes(rows, true);
        fOutlineView->resyncSelection();
        fOutlineView->SetNeedsDisplay();
    }
    bIgnoreSelectionChangeNotification = false;
}

void LCocoaOutlineViewManager::queueReloadAndRestoreSelections(
    const std::vector<LCocoaTreeNode*>* nodes)
{
    if (bReloadQueued)
        return;
    bReloadQueued = true;
    std::shared_ptr<std::vector<LCocoaTreeNode*>> kept;
    if (nodes)
        kept = std::make_shared<std::vector<LCocoaTreeNode*>>(*nodes);
    std::shared_ptr<bool> alive = fAlive;
    LUiRef<LView> root;
    if (pWindow)
        root.Reset(pWindow->GetContentView());
    LRunLoop::Post([this, alive, kept, root] {
        if (!*alive || !bReloadQueued || !bAsyncValid)
            return;
        if (kept) {
            // Nodes freed meanwhile are not selected again.
            std::vector<LCocoaTreeNode*> live;
            for (LCocoaTreeNode* n : *kept)
                if (ownsNode(n))
                    live.push_back(n);
            reloadAndRestoreGivenSelections(&live);
        } else {
            reloadAndRestoreGivenSelections(nullptr);
        }
        bReloadQueued = false;
        if (root.Get()) {
            LCocoaWindow* w = LCocoaWindow::GetThisProperty(root.Get());
            if (w && w->IsAlive())
                w->EnableControls();
        }
    });
}

void LCocoaOutlineViewManager::ReloadAndRestoreSelectionsNow(bool onlyIfQueued)
{
    bool queued = bReloadQueued;
    bReloadQueued = false;
    if (!onlyIfQueued || queued)
        reloadAndRestoreSelections();
}

void LCocoaOutlineViewManager::reloadCellPreservingFocusAtRow(int row, int viewColumn)
{
    (void)viewColumn;
    LCocoaTreeNode* node = treeNodeOfRow(row, nullptr);
    if (node && fOutlineView)
        fOutlineView->noteRowChanged(node);
}

// --- Editing.

void LCocoaOutlineViewManager::endRowEditing()
{
    if (fOutlineView && fOutlineView->editable())
        fOutlineView->endEditing();
}

void LCocoaOutlineViewManager::endRowEditing(int row)
{
    (void)row;
    endRowEditing();
}

void LCocoaOutlineViewManager::handleBeginEditing(LCocoaTreeNode*, int)
{
}
void LCocoaOutlineViewManager::handleEndEditing(LCocoaTreeNode*, int, const char*)
{
}

// --- Images.

void LCocoaOutlineViewManager::setImageList(const std::vector<cairo_surface_t*>& images)
{
    arrImages.clear();
    for (cairo_surface_t* s : images)
        if (s)
            arrImages.emplace_back(s);
}

int LCocoaOutlineViewManager::setIcon(cairo_surface_t* image)
{
    if (!image)
        return -1;
    arrImages.emplace_back(image);
    return int(arrImages.size()) - 1;
}

cairo_surface_t* LCocoaOutlineViewManager::imageAt(int index) const
{
    return index >= 0 && size_t(index) < arrImages.size() ? arrImages[size_t(index)].get()
                                                          : nullptr;
}

int LCocoaOutlineViewManager::indexOfImage(cairo_surface_t* image) const
{
    if (!image)
        return -1;
    for (size_t i = 0; i < arrImages.size(); ++i)
        if (arrImages[i].get() == image)
            return int(i);
    return -1;
}

// --- Commands.

void LCocoaOutlineViewManager::createClickHandler()
{
    if (pWindow && !fClickHandler && fOutlineView)
        fClickHandler = std::make_unique<LCocoaListControlClickHandler>(fOutlineView, pWindow);
}

void LCocoaOutlineViewManager::destroyClickHandler()
{
    if (fClickHandler)
        fClickHandler->invalidate();
    fClickHandler.reset();
}

void LCocoaOutlineViewManager::setClickCommand(int cmd)
{
    createClickHandler();
    if (fClickHandler)
        fClickHandler->setClickCommand(cmd);
}

void LCocoaOutlineViewManager::setDoubleClickCommand(int cmd)
{
    createClickHandler();
    if (fClickHandler)
        fClickHandler->setDoubleClickCommand(cmd);
}

void LCocoaOutlineViewManager::setRightClickCommand(int cmd)
{
    createClickHandler();
    if (fClickHandler)
        fClickHandler->setRightClickCommand(cmd);
}

int LCocoaOutlineViewManager::clickCommand() const
{
    return fClickHandler ? fClickHandler->clickCommand() : -1;
}

int LCocoaOutlineViewManager::doubleClickCommand() const
{
    return fClickHandler ? fClickHandler->doubleClickCommand() : -1;
}

int LCocoaOutlineViewManager::rightClickCommand() const
{
    return fClickHandler ? fClickHandler->rightClickCommand() : -1;
}

// --- What the view tells.

void LCocoaOutlineViewManager::outlineViewSelectionDidChange()
{
    if (bIgnoreSelectionChangeNotification) {
        bReceivedSelectionChangeNotification = true;
        return;
    }
    if (fOutlineView)
        LCocoaView::sendCommand(fOutlineView, _selectionChangeCommand, pWindow);
}

void LCocoaOutlineViewManager::outlineViewItemDidExpand(LCocoaTreeNode* node)
{
    if (node && node->representedObject())
        node->representedObject()->setExpanded(true);
    endRowEditing();
}

void LCocoaOutlineViewManager::outlineViewItemDidCollapse(LCocoaTreeNode* node)
{
    if (node && node->representedObject())
        node->representedObject()->setExpanded(false);
    endRowEditing();
}

bool LCocoaOutlineViewManager::isItemExpandable(const LCocoaTreeNode* node) const
{
    return node && node->representedObject() && node->representedObject()->canHaveChildRows();
}

void LCocoaOutlineViewManager::handleCheckboxClick()
{
    if (fOutlineView)
        LCocoaView::sendCommand(fOutlineView, _checkStateChangeCommand, pWindow);
}
