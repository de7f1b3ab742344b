// The tree view: the outline view used hierarchically with one column. Its items are the nodes of
// the manager's tree, handed out to owners as item handles; a handle of an item that was deleted
// is recognised and refused.
#pragma once

#include "lfw/mac/cocoa/LCocoaOutlineHooks.h"
#include "lfw/mac/cocoa/LCocoaOutlineViewImpl.h"
#include "lfw/mac/cocoa/LCocoaOutlineViewManager.h"

#include <memory>

class LCocoaTreeViewManager;

class LCocoaTreeViewImpl : public LCocoaOutlineViewImpl {
public:
    LCocoaTreeViewImpl(const LUiRect& frame, LCocoaWindow* window);

    void setDefaultSettingsAndFlags(const LTreeFlags& flags);
    void setManager(std::unique_ptr<LCocoaTreeViewManager> manager);
    LCocoaTreeViewManager* manager() const { return _manager.get(); }
    LCocoaOutlineViewManager* outlineManager() const override;

protected:
    ~LCocoaTreeViewImpl() override;

private:
    std::unique_ptr<LCocoaTreeViewManager> _manager;
};

// A rectangle in backing pixels: x, y, width, height.
struct LCocoaPixelRect {
    int x = 0, y = 0, width = 0, height = 0;
};

class LCocoaTreeViewManager : public LCocoaOutlineViewManager {
public:
    LCocoaTreeViewManager(LCocoaTreeViewImpl* treeView, LCocoaWindow* window);

    LCocoaTreeViewImpl* treeView() const { return fTreeView; }

    // Items (a null parent is the top level). Every operation refuses a handle that is not a live
    // item of this tree: the setters do nothing and the getters answer null, 0, -1 or "".
    std::unique_ptr<LCocoaTreeViewRowModel> createItem(const char* text, int image, uint64_t data);
    LCocoaTreeNode* addItem(
        const char* text, LCocoaTreeNode* parent, LCocoaTreeNode* after, int image, uint64_t data);
    LCocoaTreeNode* addItemFirst(
        const char* text, LCocoaTreeNode* parent, int image, uint64_t data);
    LCocoaTreeNode* addItemLast(const char* text, LCocoaTreeNode* parent, int image, uint64_t data)
    {
        return addItem(text, parent, nullptr, image, data);
    }
    // Adds the item among the parent's children where the current sort puts it, after those
    // that sort equal to it: a binary search, so the children must already be in that order
    // (as they are when every one came this way).
    LCocoaTreeNode* addItemSorted(
        const char* text, LCocoaTreeNode* parent, int image, uint64_t data);
    void setText(const char* text, LCocoaTreeNode* item);
    // At most 259 bytes (ending on a character boundary) and a NUL into a 260-byte buffer.
    char* getText(char* buffer, LCocoaTreeNode* item) const;
    void setImage(int image, LCocoaTreeNode* item);
    void setSelectedImage(int image, LCocoaTreeNode* item);
    int imageForItem(LCocoaTreeNode* item) const;
    void setData(uint64_t data, LCocoaTreeNode* item);
    uint64_t dataForItem(LCocoaTreeNode* item) const;
    // Frees the item with its subtree, taking it out of the view first.
    void deleteItem(LCocoaTreeNode* item);
    LCocoaTreeNode* getSelectedItem() const;
    void selectItem(LCocoaTreeNode* item);
    int getItemIndex(LCocoaTreeNode* item) const;
    LCocoaTreeNode* getItem(int row) const;
    // The item's row in backing pixels, in the rows' coordinates (top-left, y down).
    LCocoaPixelRect getItemRect(LCocoaTreeNode* item) const;
    LCocoaTreeNode* firstChildOfItem(LCocoaTreeNode* item) const;
    LCocoaTreeNode* nextSiblingOfItem(LCocoaTreeNode* item) const;
    LCocoaTreeNode* previousSiblingOfItem(LCocoaTreeNode* item) const;
    LCocoaTreeNode* getRoot() const;
    void expandTreeRoot();
    void expandItem(LCocoaTreeNode* item);
    void collapseItem(LCocoaTreeNode* item);
    void changeCheckState(int row, bool check);
    bool isRowChecked(int row) const;
    // Sorts the items of every level by their texts in natural order.
    void sortRows() override;

    LTreeViewEditHandler* editHandler() const { return pEditHandler; }
    void setEditHandler(LTreeViewEditHandler* handler) { pEditHandler = handler; }
    void handleEndEditing(LCocoaTreeNode* node, int dataColumn, const char* text) override;
    bool isItemExpandable(const LCocoaTreeNode* node) const override;
    void outlineViewSelectionDidChange() override;

private:
    bool isItem(const LCocoaTreeNode* item) const
    {
        return item && item != fRootNode.get() && ownsNode(item);
    }
    LCocoaTreeNode* parentOrRoot(LCocoaTreeNode* parent) const;
    LCocoaOutlineViewItemModel* cellOf(LCocoaTreeNode* item) const;

    LCocoaTreeViewImpl* fTreeView;
    std::vector<LCocoaTreeNode*> selectedIndexes; // the selection after the last change
    LTreeViewEditHandler* pEditHandler = nullptr;
};
