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
    if (mChildren) {
        for (int i = 0; i < 8; ++i)
            delete mChildren[i];
        delete[] mChildren;
    }
}

template <class Data>
bool LOctreeNode<Data>::Insert(const Data& data, unsigned long level, LOctreeNode** leaf)
{
    if (level >= 8) {
        mData = data;
        ++mCount;
        if (leaf)
            *leaf = this;
        return false;
    }
    if (mCount != 0) {
        if (mData == data) {
            ++mCount;
            if (leaf)
                *leaf = this;
            return false;
        }
        // A second colour reaches this leaf: its own colour moves one level down.
        if (!mChildren)
            mChildren = new LOctreeNode*[8]();
        LOctreeNode* moved = CreateInstance();
        moved->mData = mData;
        moved->mCount = mCount;
        mChildren[mData.GetChildIndex(level)] = moved;
        mCount = 0;
    }
    bool empty = true;
    for (int i = 0; mChildren && i < 8 && empty; ++i)
        empty = mChildren[i] == nullptr;
    if (empty) {
        mData = data;
        mCount = 1;
        if (leaf)
            *leaf = this;
        return true;
    }
    const unsigned long index = data.GetChildIndex(level);
    LOctreeNode*& child = mChildren[index];
    if (!child) {
        child = CreateInstance();
        child->Insert(data, level + 1, leaf);
        return true;
    }
    return child->Insert(data, level + 1, leaf);
}

template <class Data> void LOctreeNode<Data>::Merge()
{
    if (!mChildren)
        return;
    LList<LOctreeNode> merged;
    for (int i = 0; i < 8; ++i) {
        LOctreeNode* child = mChildren[i];
        if (!child)
            continue;
        mChildren[i] = nullptr;
        child->Merge();
        mCount += child->mCount;
        merged.AddHead(child);
    }
    if (!merged.IsEmpty())
        MergeData(merged);
    // The list deletes the folded children; the child array stays, all empty.
}

template <class Data>
void LOctreeNode<Data>::GetCountsRecursive(unsigned long& leaves, unsigned long& pixels) const
{
    if (mCount != 0) {
        ++leaves;
        pixels += mCount;
    }
    if (mChildren)
        for (int i = 0; i < 8; ++i)
            if (mChildren[i])
                mChildren[i]->GetCountsRecursive(leaves, pixels);
}

template <class Data>
void LOctreeNode<Data>::FindSortedMergeNodes(
    std::vector<LOctreeMergeableNode<Data>>& list, uint64_t depth)
{
    if (!mChildren)
        return;
    for (int i = 0; i < 8; ++i) {
        LOctreeNode* child = mChildren[i];
        if (!child || child->mCount != 0)
            continue;
        unsigned long leaves = 0, pixels = 0;
        child->GetCountsRecursive(leaves, pixels);
        list.push_back({ child, depth + 1, pixels });
        child->FindSortedMergeNodes(list, depth + 1);
    }
}

// ---- LOctree -----------------------------------------------------------------------------------

template <class Node, class Data> void LOctree<Node, Data>::Insert(const Data& data)
{
    if (mLastLeaf && data == mLastData) {
        ++mLastLeaf->mCount;
        return;
    }
    mLastLeaf = nullptr;
    LOctreeNode<Data>* leaf = nullptr;
    if (Node::Insert(data, 0, &leaf))
        ++mLeaves;
    if (mLeaves > mMaximumLeaves + 256) {
        MergeNodes(true);
        return;
    }
    mLastLeaf = leaf;
    mLastData = data;
}

template <class Node, class Data> void LOctree<Node, Data>::MergeNodes(bool)
{
    mLastLeaf = nullptr;
    if (mLeaves <= mMaximumLeaves)
        return;
    std::vector<LOctreeMergeableNode<Data>> list;
    this->FindSortedMergeNodes(list, 0);
    // Fewest pixels first; of equal counts the deeper first; of equal both the one found first.
    // A subtree never covers fewer pixels than a subtree inside it, so every node comes after the
    // inner nodes below it and finds only leaves under it when its turn comes.
    std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) {
        return a.pixels != b.pixels ? a.pixels < b.pixels : a.depth > b.depth;
    });
    for (const auto& entry : list) {
        if (mLeaves <= mMaximumLeaves)
            break;
        unsigned long leaves = 0, pixels = 0;
        entry.node->GetCountsRecursive(leaves, pixels);
        entry.node->Merge();
        mLeaves = mLeaves + 1 - leaves;
    }
}

template class LOctreeNode<LColourOctreeData>;
template class LOctree<LColourOctreeNode, LColourOctreeData>;

// ---- LColourOctree -----------------------------------------------------------------------------

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
    if (mChildren)
        for (int i = 0; i < 8; ++i)
            if (mChildren[i])
                static_cast<const LColourOctreeNode*>(mChildren[i])->GetPalette(palette, index);
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
