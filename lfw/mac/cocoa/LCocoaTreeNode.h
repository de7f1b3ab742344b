// The node tree behind list and tree views: each node owns its row model and its children, knows
// its parent and its place among its siblings. The manager's tree is the only store of rows; the
// views read it through a tree model of their own. Nodes that are alive are registered, so a
// handle kept by a caller after its node was freed is recognised and refused.
#pragma once

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

class LCocoaOutlineViewRowModel;

class LCocoaTreeNode {
public:
    explicit LCocoaTreeNode(std::unique_ptr<LCocoaOutlineViewRowModel> row);
    ~LCocoaTreeNode();
    LCocoaTreeNode(const LCocoaTreeNode&) = delete;
    LCocoaTreeNode& operator=(const LCocoaTreeNode&) = delete;

    LCocoaOutlineViewRowModel* representedObject() const { return fRow.get(); }
    LCocoaTreeNode* parentNode() const { return fParent; }
    size_t childCount() const { return fChildren.size(); }
    LCocoaTreeNode* childAt(size_t i) const
    {
        return i < fChildren.size() ? fChildren[i].get() : nullptr;
    }
    bool isLeaf() const { return fChildren.empty(); }
    // The place among the parent's children (0 without parent).
    size_t indexInParent() const;
    // The indexes from the top of the tree down to this node (the root's path is empty).
    std::vector<int> indexPath() const;
    // Depth below the root (the root's children are at 0).
    int level() const;

    // Takes the node; a position beyond the end appends.
    LCocoaTreeNode* insertChild(std::unique_ptr<LCocoaTreeNode> child, size_t position);
    LCocoaTreeNode* appendChild(std::unique_ptr<LCocoaTreeNode> child)
    {
        return insertChild(std::move(child), fChildren.size());
    }
    // Takes the child out (the caller owns it from then on); null when it is no child.
    std::unique_ptr<LCocoaTreeNode> removeChild(LCocoaTreeNode* child);
    void removeAllChildren();
    // Reorders the children with a new order of the same nodes (positions into the old order).
    void reorderChildren(const std::vector<size_t>& order);

    // Whether the node is alive (an address of a freed node answers false).
    static bool isLive(const LCocoaTreeNode* node);
    // Whether this node lies below (or is) the given one.
    bool isDescendantOf(const LCocoaTreeNode* ancestor) const;

private:
    void renumberFrom(size_t position) const;
    long shiftFor(size_t cached) const;

    std::unique_ptr<LCocoaOutlineViewRowModel> fRow;
    LCocoaTreeNode* fParent = nullptr;
    std::vector<std::unique_ptr<LCocoaTreeNode>> fChildren;
    mutable size_t fIndex = 0;
    // Children from this position on may carry a stale index.
    mutable size_t fStaleFrom = 0;
    // After removals without renumbering: from which old index on, by how much the children's
    // indexes have moved (sorted by old index).
    mutable std::vector<std::pair<size_t, long>> fShifts;
};
