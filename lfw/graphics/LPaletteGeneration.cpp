// Palette generation and the colour octree.
#include "lfw/graphics/LPaletteGeneration.h"

#include "lfw/graphics/LImageIterator.h"
#include "lfw/graphics/LMedianCutColor.h"

#include <algorithm>
#include <memory>
#include <new>

// ---- LOctreeNode -------------------------------------------------------------------------------

template <class Data> LOctreeNode<Data>::~LOctreeNode()
{
    for (unsigned m = mChildSlots; m; m &= m - 1)
        delete mChildren[__builtin_ctz(m)];
}

template <class Data>
bool LOctreeNode<Data>::Insert(
    const Data& data, unsigned long level, LOctreeNode** leaf, LOctreeNode** path)
{
    // The descent is a loop: each pass is one node, one level deeper than the last.
    LOctreeNode* node = this;
    LOctreeNode* parent = nullptr; // of node, below this node only
    unsigned long slot = 0; // of node in parent
    bool madeChild = false; // a new child was made on the way: it becomes a new leaf
    for (;; ++level) {
        ++node->mPixels;
        if (path)
            path[level] = node;
        if (level >= 8) {
            node->mData = data;
            ++node->mCount;
            if (leaf)
                *leaf = node;
            return madeChild;
        }
        if (node->mCount != 0) {
            if (node->mData == data) {
                ++node->mCount;
                if (leaf)
                    *leaf = node;
                return madeChild;
            }
            // A second colour reaches this leaf: its own colour moves one level down.
            LOctreeNode* moved = node->CreateInstance();
            moved->mData = node->mData;
            moved->mCount = node->mCount;
            moved->mPixels = node->mCount;
            const unsigned long at = node->mData.GetChildIndex(level);
            node->mChildren[at] = moved;
            node->mChildSlots = uint8_t(1 << at);
            node->mLeafChildren = uint8_t(1 << at);
            node->mCount = 0;
            if (parent)
                parent->mLeafChildren &= uint8_t(~(1 << slot));
        }
        if (node->mChildSlots == 0) {
            node->mData = data;
            node->mCount = 1;
            if (leaf)
                *leaf = node;
            return true;
        }
        const unsigned long index = data.GetChildIndex(level);
        LOctreeNode*& child = node->mChildren[index];
        if (!child) {
            // The new child takes the colour on the next pass.
            child = node->CreateInstance();
            node->mChildSlots |= uint8_t(1 << index);
            node->mLeafChildren |= uint8_t(1 << index);
            madeChild = true;
        }
        parent = node;
        slot = index;
        node = child;
    }
}

template <class Data> void LOctreeNode<Data>::Merge()
{
    if (!mChildSlots)
        return;
    LList<LOctreeNode> merged;
    for (unsigned m = mChildSlots; m; m &= m - 1) {
        const int i = __builtin_ctz(m);
        LOctreeNode* child = mChildren[i];
        mChildren[i] = nullptr;
        child->Merge();
        mCount += child->mCount;
        merged.AddHead(child);
    }
    mChildSlots = 0;
    mLeafChildren = 0;
    if (!merged.IsEmpty())
        MergeData(merged);
    // The list deletes the folded children; the node is a leaf.
}

template <class Data>
void LOctreeNode<Data>::GetCountsRecursive(unsigned long& leaves, unsigned long& pixels) const
{
    if (mCount != 0) {
        ++leaves;
        pixels += mCount;
    }
    for (unsigned m = mChildSlots; m; m &= m - 1)
        mChildren[__builtin_ctz(m)]->GetCountsRecursive(leaves, pixels);
}

template <class Data> unsigned long LOctreeNode<Data>::CountLeaves() const
{
    if (mCount != 0)
        return 1;
    unsigned long leaves = unsigned(__builtin_popcount(mLeafChildren));
    for (unsigned m = mChildSlots & ~mLeafChildren; m; m &= m - 1)
        leaves += mChildren[__builtin_ctz(m)]->CountLeaves();
    return leaves;
}

template <class Data>
void LOctreeNode<Data>::FindSortedMergeNodes(
    std::vector<LOctreeMergeableNode<Data>>& list, uint64_t depth)
{
    // Only the inner children are visited: the leaves' place and pixels are known here.
    for (unsigned m = mChildSlots & ~mLeafChildren; m; m &= m - 1) {
        const int i = __builtin_ctz(m);
        LOctreeNode* child = mChildren[i];
        list.push_back({ child, depth + 1, child->mPixels, this, i });
        child->FindSortedMergeNodes(list, depth + 1);
    }
}

// ---- LOctree -----------------------------------------------------------------------------------

template <class Node, class Data> void LOctree<Node, Data>::Insert(const Data& data)
{
    if (mLastLeaf && data == mLastData) {
        // The same colour again: the same nodes count it.
        for (int i = 0; i <= mLastPathLength; ++i)
            ++mLastPath[i]->mPixels;
        ++mLastLeaf->mCount;
        return;
    }
    mLastLeaf = nullptr;
    LOctreeNode<Data>* leaf = nullptr;
    if (Node::Insert(data, 0, &leaf, mLastPath))
        ++mLeaves;
    if (mLeaves > mMaximumLeaves + 256) {
        MergeNodes(true);
        return;
    }
    mLastLeaf = leaf;
    mLastData = data;
    mLastPathLength = 0;
    while (mLastPath[mLastPathLength] != leaf)
        ++mLastPathLength;
}

template <class Node, class Data> void LOctree<Node, Data>::MergeNodes(bool)
{
    mLastLeaf = nullptr;
    if (mLeaves <= mMaximumLeaves)
        return;
    std::vector<LOctreeMergeableNode<Data>>& list = mMergeList;
    list.clear();
    this->FindSortedMergeNodes(list, 0);
    // Fewest pixels first; of equal counts the deeper first; of equal both the one found first
    // (the list holds them in the order found). A subtree never covers fewer pixels than a
    // subtree inside it, so every node comes after the inner nodes below it and finds only
    // leaves under it when its turn comes. The three are packed into one key: pixels (fewer
    // than 2^40 in any image), 15 - depth (4 bits) and the order found (20 bits).
    std::vector<std::pair<uint64_t, size_t>>& order = mMergeOrder;
    order.clear();
    if (list.size() < (size_t(1) << 20)) {
        for (size_t i = 0; i < list.size(); ++i)
            order.emplace_back(list[i].pixels << 24 | (15 - list[i].depth) << 20 | i, i);
        std::sort(order.begin(), order.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
    } else {
        for (size_t i = 0; i < list.size(); ++i)
            order.emplace_back(0, i);
        std::stable_sort(order.begin(), order.end(), [&list](const auto& a, const auto& b) {
            const auto& x = list[a.second];
            const auto& y = list[b.second];
            return x.pixels != y.pixels ? x.pixels < y.pixels : x.depth > y.depth;
        });
    }
    for (const auto& entry : order) {
        if (mLeaves <= mMaximumLeaves)
            break;
        const LOctreeMergeableNode<Data>& m = list[entry.second];
        const unsigned long leaves = m.node->CountLeaves();
        m.node->Merge();
        m.parent->mLeafChildren |= uint8_t(1 << m.slot);
        mLeaves = mLeaves + 1 - leaves;
    }
}

template class LOctreeNode<LColourOctreeData>;
template class LOctree<LColourOctreeNode, LColourOctreeData>;

// ---- LColourOctree -----------------------------------------------------------------------------

namespace {

// Freed nodes of this thread, kept for the next ones: a tree makes and drops a node for nearly
// every pixel of a photograph. At most kKept are kept; the rest go back to the heap.
struct FreeNodes {
    static constexpr size_t kKept = 4096;
    struct Link {
        Link* next;
    };
    Link* head = nullptr;
    size_t count = 0;
    ~FreeNodes()
    {
        while (head) {
            Link* next = head->next;
            ::operator delete(head);
            head = next;
        }
    }
};
thread_local FreeNodes tFreeNodes;

} // namespace

void* LColourOctreeNode::operator new(size_t size)
{
    FreeNodes& free = tFreeNodes;
    if (size == sizeof(LColourOctreeNode) && free.head) {
        FreeNodes::Link* p = free.head;
        free.head = p->next;
        --free.count;
        return p;
    }
    return ::operator new(size);
}

void LColourOctreeNode::operator delete(void* p, size_t size)
{
    FreeNodes& free = tFreeNodes;
    if (p && size == sizeof(LColourOctreeNode) && free.count < FreeNodes::kKept) {
        auto* link = static_cast<FreeNodes::Link*>(p);
        link->next = free.head;
        free.head = link;
        ++free.count;
        return;
    }
    ::operator delete(p);
}

void LColourOctreeNode::MergeData(const LList<LOctreeNode>& merged)
{
    unsigned sum[3] = {}, n = 0;
    for (const LOctreeNode& child : merged) {
        sum[0] += child.mData.b;
        sum[1] += child.mData.g;
        sum[2] += child.mData.r;
        ++n;
    }
    mData = LColourOctreeData(uint8_t(sum[0] / n), uint8_t(sum[1] / n), uint8_t(sum[2] / n));
}

void LColourOctreeNode::GetPalette(LPalette<LPFB8G8R8>& palette, unsigned long& index) const
{
    if (mCount != 0 && index < palette.GetCount()) {
        LPFB8G8R8& e = palette[index++];
        e.b = mData.b;
        e.g = mData.g;
        e.r = mData.r;
    }
    for (unsigned m = mChildSlots; m; m &= m - 1)
        static_cast<const LColourOctreeNode*>(mChildren[__builtin_ctz(m)])
            ->GetPalette(palette, index);
}

bool LColourOctree::GetPalette(LPalette<LPFB8G8R8>& palette)
{
    MergeNodes(true);
    if (!palette.SetCount(mLeaves))
        return false;
    unsigned long index = 0;
    LColourOctreeNode::GetPalette(palette, index);
    return true;
}

// ---- The palette job ---------------------------------------------------------------------------

LProcessResult Process(LProcessInterface& job, LProcessGeneratePaletteFromImage& r)
{
    job.SetStatus("Generera färgpalett", 0);
    const LImageBuffer& source = r.source;
    if (!source.IsValid()) {
        job.SetError("Ogiltig källbild");
        return LProcessResultError;
    }
    // Every format with alpha keeps one entry back for the transparent pixels, so that the
    // palette never holds more entries than were asked for.
    uint64_t wanted = r.colourCount;
    if (!r.ignoreTransparency && LPixelFormatHasAlpha(source.GetPixelFormat()) && wanted > 0)
        --wanted;
    wanted = std::max<uint64_t>(wanted, 1);

    if (r.method == 1) {
        LMedianCutColor medianCut(source, wanted, r.ignoreTransparency);
        return medianCut.GetOptimizedPalette(job, r.palette);
    }

    const int width = source.GetWidth();
    const int height = source.GetHeight();
    std::unique_ptr<LPixelColour[]> row(new (std::nothrow) LPixelColour[size_t(width)]);
    if (!row)
        return LProcessResultError;
    LColourOctree tree(wanted);
    uint64_t transparentSum[3] = {}, transparentCount = 0;
    LImageConstIterator it(source, LImageScanRowsTopDown);
    for (int y = 0; y < height; ++y) {
        if (job.IsToStop())
            return LProcessResultStopped;
        job.SetProgress(double(y) / double(height));
        it.Get(row.get(), width);
        for (int x = 0; x < width; ++x) {
            const LPixelColour p = row[x];
            if (!r.ignoreTransparency && p.a == 0) {
                transparentSum[0] += p.r;
                transparentSum[1] += p.g;
                transparentSum[2] += p.b;
                ++transparentCount;
            }
            tree.Insert(LColourOctreeData(p.b, p.g, p.r));
        }
    }
    LPalette<LPFB8G8R8>& palette = r.palette;
    if (!tree.GetPalette(palette))
        return LProcessResultError;
    if (transparentCount) {
        LPFB8G8R8 e;
        e.r = uint8_t(transparentSum[0] / transparentCount);
        e.g = uint8_t(transparentSum[1] / transparentCount);
        e.b = uint8_t(transparentSum[2] / transparentCount);
        if (!palette.Append(e))
            return LProcessResultError;
        palette.SetTransparentIndex(uint32_t(palette.GetCount() - 1));
    }
    job.SetProgress(1);
    return LProcessResultSuccess;
}
