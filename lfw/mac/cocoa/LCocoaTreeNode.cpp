#include "lfw/mac/cocoa/LCocoaTreeNode.h"

#include "lfw/mac/cocoa/LCocoaOutlineViewModels.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <unordered_set>

namespace {

std::unordered_set<const LCocoaTreeNode*>& LiveNodes()
{
    static std::unordered_set<const LCocoaTreeNode*> nodes;
    return nodes;
}

} // namespace

LCocoaTreeNode::LCocoaTreeNode(std::unique_ptr<LCocoaOutlineViewRowModel> row)
    : fRow(std::move(row))
{
    if (fRow)
        fRow->setTreeNode(this);
    LiveNodes().insert(this);
}

LCocoaTreeNode::~LCocoaTreeNode()
{
    // Deep trees are freed without deep recursion: children are taken out level by level.
    std::vector<std::unique_ptr<LCocoaTreeNode>> pending;
    pending.swap(fChildren);
    while (!pending.empty()) {
        std::unique_ptr<LCocoaTreeNode> node = std::move(pending.back());
        pending.pop_back();
        for (auto& child : node->fChildren)
            pending.push_back(std::move(child));
        node->fChildren.clear();
    }
    LiveNodes().erase(this);
}

bool LCocoaTreeNode::isLive(const LCocoaTreeNode* node)
{
    return node && LiveNodes().count(node) != 0;
}

bool LCocoaTreeNode::isDescendantOf(const LCocoaTreeNode* ancestor) const
{
    for (const LCocoaTreeNode* n = this; n; n = n->fParent)
        if (n == ancestor)
            return true;
    return false;
}

long LCocoaTreeNode::shiftFor(size_t cached) const
{
    auto it = std::upper_bound(fShifts.begin(), fShifts.end(), cached,
        [](size_t v, const std::pair<size_t, long>& s) { return v < s.first; });
    return it == fShifts.begin() ? 0 : std::prev(it)->second;
}

void LCocoaTreeNode::renumberFrom(size_t position) const
{
    if (!fShifts.empty()) {
        fShifts.clear();
        position = 0;
    }
    for (size_t i = position; i < fChildren.size(); ++i)
        fChildren[i]->fIndex = i;
    fStaleFrom = fChildren.size();
}

size_t LCocoaTreeNode::indexInParent() const
{
    if (!fParent)
        return 0;
    const LCocoaTreeNode* p = fParent;
    size_t i = fIndex;
    // A kept index that still points at this node is right, however stale its neighbours' are:
    // a node just inserted among many is found without numbering the rest.
    if (i < p->fChildren.size() && p->fChildren[i].get() == this)
        return i;
    if (!p->fShifts.empty()) {
        // Rows were taken out since the last numbering: the index moves by the removals
        // before it.
        i = size_t(long(fIndex) + p->shiftFor(fIndex));
    } else if (p->fStaleFrom <= fIndex) {
        p->renumberFrom(p->fStaleFrom);
        i = fIndex;
    }
    if (i >= p->fChildren.size() || p->fChildren[i].get() != this) {
        p->renumberFrom(0);
        i = fIndex;
    }
    return i;
}

std::vector<int> LCocoaTreeNode::indexPath() const
{
    std::vector<int> path;
    for (const LCocoaTreeNode* n = this; n->fParent; n = n->fParent)
        path.push_back(int(n->indexInParent()));
    return std::vector<int>(path.rbegin(), path.rend());
}

int LCocoaTreeNode::level() const
{
    int depth = -1;
    for (const LCocoaTreeNode* n = this; n->fParent; n = n->fParent)
        ++depth;
    return depth;
}

LCocoaTreeNode* LCocoaTreeNode::insertChild(std::unique_ptr<LCocoaTreeNode> child, size_t position)
{
    if (!child)
        return nullptr;
    if (position > fChildren.size())
        position = fChildren.size();
    if (!fShifts.empty())
        renumberFrom(0);
    LCocoaTreeNode* raw = child.get();
    raw->fParent = this;
    raw->fIndex = position;
    fChildren.insert(fChildren.begin() + long(position), std::move(child));
    if (position + 1 < fChildren.size()) {
        if (fStaleFrom > position)
            fStaleFrom = position;
    } else if (fStaleFrom == position) {
        fStaleFrom = fChildren.size();
    }
    return raw;
}

std::unique_ptr<LCocoaTreeNode> LCocoaTreeNode::removeChild(LCocoaTreeNode* child)
{
    if (!child || child->fParent != this)
        return nullptr;
    size_t i = child->indexInParent();
    size_t cached = child->fIndex;
    bool numbered = !fShifts.empty() || fStaleFrom >= fChildren.size();
    std::unique_ptr<LCocoaTreeNode> out = std::move(fChildren[i]);
    fChildren.erase(fChildren.begin() + long(i));
    out->fParent = nullptr;
    if (!numbered) {
        if (fStaleFrom > i)
            fStaleFrom = i;
        return out;
    }
    // Every node numbered after the removed one moves up by one: noted as a shift instead of
    // numbering them all again (deleting many rows in order stays linear).
    fStaleFrom = SIZE_MAX;
    auto it = std::lower_bound(fShifts.begin(), fShifts.end(), cached + 1,
        [](const std::pair<size_t, long>& s, size_t v) { return s.first < v; });
    if (it != fShifts.end() && it->first == cached + 1) {
        --it->second;
    } else {
        long before = it == fShifts.begin() ? 0 : std::prev(it)->second;
        it = fShifts.insert(it, { cached + 1, before - 1 });
    }
    for (++it; it != fShifts.end(); ++it)
        --it->second;
    return out;
}

void LCocoaTreeNode::removeAllChildren()
{
    std::vector<std::unique_ptr<LCocoaTreeNode>> old;
    old.swap(fChildren);
    fStaleFrom = 0;
    fShifts.clear();
    for (auto& c : old)
        c->fParent = nullptr;
}

void LCocoaTreeNode::reorderChildren(const std::vector<size_t>& order)
{
    if (order.size() != fChildren.size())
        return;
    std::vector<std::unique_ptr<LCocoaTreeNode>> next;
    next.reserve(order.size());
    for (size_t i : order)
        next.push_back(std::move(fChildren[i]));
    fChildren.swap(next);
    renumberFrom(0);
}
