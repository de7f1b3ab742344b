// Palette generation and the colour octree.
#include "lfw/graphics/LPaletteGeneration.h"

#include "lfw/graphics/LColourHistogram.h"
#include "lfw/graphics/LMedianCutColor.h"
#include "lfw/graphics/LPaletteRefinement.h"
#include "lfw/graphics/LParallelParts.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <new>
#include <utility>

// ---- LOctreeNode -------------------------------------------------------------------------------

template <class Data> LOctreeNode<Data>::~LOctreeNode()
{
    for (unsigned m = mChildSlots; m; m &= m - 1)
        delete mChildren[__builtin_ctz(m)];
}

namespace {

// The number of bits set in a byte.
inline unsigned long Bits(unsigned m)
{
    static constexpr uint8_t kNibble[16] = { 0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4 };
    return kNibble[m & 15] + kNibble[m >> 4 & 15];
}

} // namespace

template <class Data>
bool LOctreeNode<Data>::Insert(
    const Data& data, unsigned long level, LOctreeNode** leaf, LOctreeNode** path)
{
    return InsertWith(data, level, leaf, path, nullptr, [this] { return CreateInstance(); });
}

template <class Data>
template <class Make>
bool LOctreeNode<Data>::InsertWith(const Data& data, unsigned long level, LOctreeNode** leaf,
    LOctreeNode** path, int* depth, Make make, LOctreeNode* parent, unsigned long slot)
{
    // The descent is a loop: each pass is one node, one level deeper than the last; parent and
    // slot follow the node.
    LOctreeNode* node = this;
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
            if (depth)
                *depth = int(level);
            return madeChild;
        }
        if (node->mCount != 0) {
            if (node->mData == data) {
                ++node->mCount;
                if (leaf)
                    *leaf = node;
                if (depth)
                    *depth = int(level);
                return madeChild;
            }
            // A second colour reaches this leaf: its own colour moves one level down.
            LOctreeNode* moved = make();
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
            if (depth)
                *depth = int(level);
            return true;
        }
        const unsigned long index = data.GetChildIndex(level);
        LOctreeNode*& child = node->mChildren[index];
        if (!child) {
            // The new child takes the colour on the next pass.
            child = make();
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
        if (!(mLeafChildren >> i & 1))
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
    unsigned long leaves = Bits(mLeafChildren);
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

template <class Node, class Data>
void LOctree<Node, Data>::Insert(const Data& data, uint64_t pixels)
{
    for (; pixels; --pixels) {
        if (mLastLeaf && data == mLastData) {
            // The same colour again: the same nodes count the rest of the run.
            for (int i = 0; i <= mLastPathLength; ++i)
                mLastPath[i]->mPixels += pixels;
            mLastLeaf->mCount += pixels;
            return;
        }
        Insert(data);
    }
}

template <class Node, class Data> void LOctree<Node, Data>::Insert(const Data& data)
{
    if (mLastLeaf && data == mLastData) {
        // The same colour again: the same nodes count it.
        for (int i = 0; i <= mLastPathLength; ++i)
            ++mLastPath[i]->mPixels;
        ++mLastLeaf->mCount;
        return;
    }
    // A colour near the last one passes the same nodes down to the level where the two part:
    // those count it, and the descent starts there.
    LOctreeNode<Data>* start = this;
    LOctreeNode<Data>* parent = nullptr;
    unsigned long level = 0, slot = 0;
    if (mLastLeaf) {
        level = std::min<unsigned long>(data.GetSharedLevels(mLastData), mLastPathLength);
        for (unsigned long i = 0; i < level; ++i)
            ++mLastPath[i]->mPixels;
        start = mLastPath[level];
        if (level > 0) {
            parent = mLastPath[level - 1];
            slot = data.GetChildIndex(level - 1);
        }
    }
    mLastLeaf = nullptr;
    LOctreeNode<Data>* leaf = nullptr;
    int depth = 0;
    if (start->InsertWith(
            data, level, &leaf, mLastPath, &depth, [] { return new Node; }, parent, slot))
        ++mLeaves;
    if (mLeaves > mMaximumLeaves + 256) {
        MergeNodes(true);
        return;
    }
    mLastLeaf = leaf;
    mLastData = data;
    mLastPathLength = depth;
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
    std::vector<uint64_t>& keys = mMergeKeys;
    keys.clear();
    auto take = [&](size_t i) {
        const LOctreeMergeableNode<Data>& m = list[i];
        const unsigned long leaves = m.node->CountLeaves();
        m.node->Merge();
        mReduced = true;
        m.parent->mLeafChildren |= uint8_t(1 << m.slot);
        mLeaves = mLeaves + 1 - leaves;
    };
    if (list.size() < (size_t(1) << 20)) {
        // Most entries cover a handful of pixels: those of fewer than 16 are put in order by
        // counting (pixels and depth make 256 places, each filled in the order found), the
        // others sorted by their keys, and taken only once the small ones are all taken.
        uint32_t places[257] = {};
        for (size_t i = 0; i < list.size(); ++i) {
            const uint64_t key = list[i].pixels << 4 | (15 - list[i].depth);
            if (key < 256)
                ++places[key + 1];
            else
                keys.push_back(list[i].pixels << 24 | (15 - list[i].depth) << 20 | i);
        }
        for (int k = 0; k < 256; ++k)
            places[k + 1] += places[k];
        std::vector<uint32_t>& small = mMergeSmall;
        small.resize(places[256]);
        for (size_t i = 0; i < list.size(); ++i) {
            const uint64_t key = list[i].pixels << 4 | (15 - list[i].depth);
            if (key < 256)
                small[places[key]++] = uint32_t(i);
        }
        for (const uint32_t i : small) {
            if (mLeaves <= mMaximumLeaves)
                return;
            take(i);
        }
        std::sort(keys.begin(), keys.end());
        for (const uint64_t key : keys) {
            if (mLeaves <= mMaximumLeaves)
                break;
            take(size_t(key & 0xFFFFF));
        }
    } else {
        std::vector<size_t> order(list.size());
        for (size_t i = 0; i < list.size(); ++i)
            order[i] = i;
        std::stable_sort(order.begin(), order.end(), [&list](size_t a, size_t b) {
            const auto& x = list[a];
            const auto& y = list[b];
            return x.pixels != y.pixels ? x.pixels < y.pixels : x.depth > y.depth;
        });
        for (const size_t i : order) {
            if (mLeaves <= mMaximumLeaves)
                break;
            take(i);
        }
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

namespace {

using Node = LOctreeNode<LColourOctreeData>;

// The tree's leaves in its own order (as its palette lists them).
void CollectLeaves(const Node& node, std::vector<const Node*>& leaves)
{
    if (node.mCount != 0)
        leaves.push_back(&node);
    for (unsigned m = node.mChildSlots; m; m &= m - 1)
        CollectLeaves(*node.mChildren[__builtin_ctz(m)], leaves);
}

// The leaf below the node whose colour is nearest to c; best receives its squared distance.
const Node* NearestLeafBelow(const Node& node, const LColourOctreeData& c, int& best)
{
    if (node.mCount != 0) {
        const int dr = node.mData.r - c.r, dg = node.mData.g - c.g, db = node.mData.b - c.b;
        best = dr * dr + dg * dg + db * db;
        return &node;
    }
    const Node* found = nullptr;
    best = INT32_MAX;
    for (unsigned m = node.mChildSlots; m; m &= m - 1) {
        int d = 0;
        const Node* leaf = NearestLeafBelow(*node.mChildren[__builtin_ctz(m)], c, d);
        if (leaf && d < best)
            best = d, found = leaf;
    }
    return found;
}

// The leaf a colour's pixels went to: the one its path down the tree ends in. A path that ends
// at an inner node (the colour was folded into a leaf that later split again, its pixels moving
// down with the leaf's colour) takes the nearest leaf below that node.
const Node* LeafOf(const Node& root, const LColourOctreeData& c)
{
    const Node* node = &root;
    for (unsigned long level = 0; node->mCount == 0 && level < 8; ++level) {
        const unsigned long slot = c.GetChildIndex(level);
        if (!(node->mChildSlots >> slot & 1)) {
            int ignored = 0;
            return NearestLeafBelow(*node, c, ignored);
        }
        node = node->mChildren[slot];
    }
    return node;
}

// The sets of pixels of the reduced tree's leaves, in the leaves' order: every point goes to the
// leaf of its (rounded) mean colour. The points are shared out among the processors, each worker
// adding into sums of its own.
std::vector<LPaletteCluster> ClustersOfLeaves(
    const std::vector<LPalettePoint>& points, const LColourOctree& tree)
{
    std::vector<const Node*> leaves;
    CollectLeaves(tree, leaves);
    // The leaves by address, for finding a leaf's place.
    std::vector<std::pair<const Node*, uint32_t>> places(leaves.size());
    for (size_t i = 0; i < leaves.size(); ++i)
        places[i] = { leaves[i], uint32_t(i) };
    std::sort(places.begin(), places.end());
    const size_t n = leaves.size();
    const int parts = LParallelPartCount(points.size(), size_t(1) << 13);
    std::vector<std::vector<LPalettePoint>> sums(
        static_cast<size_t>(parts), std::vector<LPalettePoint>(n, LPalettePoint {}));
    LRunInParts(points.size(), parts, [&](int part, size_t begin, size_t end) {
        std::vector<LPalettePoint>& own = sums[size_t(part)];
        for (size_t i = begin; i < end; ++i) {
            const LPalettePoint& c = points[i];
            const double inverse = 1.0 / double(c.count);
            const LColourOctreeData colour(uint8_t(std::lround(double(c.sum[2]) * inverse)),
                uint8_t(std::lround(double(c.sum[1]) * inverse)),
                uint8_t(std::lround(double(c.sum[0]) * inverse)));
            const Node* leaf = LeafOf(tree, colour);
            const auto at = std::lower_bound(
                places.begin(), places.end(), std::pair<const Node*, uint32_t>(leaf, 0));
            LPalettePoint& s = own[at->second];
            s.count += c.count;
            for (int ch = 0; ch < 3; ++ch)
                s.sum[ch] += c.sum[ch];
        }
    });
    std::vector<LPaletteCluster> clusters;
    for (size_t k = 0; k < n; ++k) {
        LPalettePoint s = sums[0][k];
        for (int part = 1; part < parts; ++part) {
            s.count += sums[size_t(part)][k].count;
            for (int ch = 0; ch < 3; ++ch)
                s.sum[ch] += sums[size_t(part)][k].sum[ch];
        }
        if (s.count) {
            const double inverse = 1.0 / double(s.count);
            clusters.push_back({ double(s.count), double(s.sum[0]) * inverse,
                double(s.sum[1]) * inverse, double(s.sum[2]) * inverse });
        }
    }
    return clusters;
}

// A picture of at most this many colours is refined over its exact colours; one of more over
// cells of 2 x 2 x 2 colours.
constexpr uint64_t kExactPoints = uint64_t(1) << 16;

} // namespace

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

    // The picture's colours are counted first, the job asked before each row; they then go into
    // the tree in its own order, each colour once with its pixels.
    bool stopped = false;
    LColourHistogram histogram;
    if (!histogram.Count(source, [&](double fraction) {
            if (job.IsToStop())
                return stopped = true;
            job.SetProgress(fraction);
            return false;
        }))
        return stopped ? LProcessResultStopped : LProcessResultError;

    // The tree gathers up to four times the entries wanted (at least 1024, at most 16384, but no
    // more than an eighth of the picture's colours nor fewer than the entries wanted): merging
    // them down takes time as the square of their number. Meanwhile the pixels are taken
    // together for the refinement: by exact colour, or in cells for a picture of many.
    const uint64_t colours = histogram.GetColourCount();
    const uint64_t most = std::min<uint64_t>(wanted, uint64_t(1) << 20);
    const uint64_t gathered = std::clamp<uint64_t>(4 * most, 1024, 16384);
    LColourOctree tree(std::max(most, std::min(gathered, colours / 8)));
    const bool exact = colours <= kExactPoints;
    std::vector<LPalettePoint> points;
    try {
        uint64_t met = 0;
        uint32_t cell = UINT32_MAX;
        histogram.ForEachColour([&](uint32_t code, uint64_t pixels) {
            if ((++met & 0xFFFF) == 0 && job.IsToStop()) {
                stopped = true;
                return false;
            }
            uint8_t red, green, blue;
            LColourHistogram::Colour(code, red, green, blue);
            tree.Insert(LColourOctreeData(blue, green, red), pixels);
            if (exact || code >> 3 != cell)
                points.push_back({ 0, { 0, 0, 0 } });
            cell = code >> 3;
            LPalettePoint& point = points.back();
            point.count += pixels;
            point.sum[0] += red * pixels;
            point.sum[1] += green * pixels;
            point.sum[2] += blue * pixels;
            return true;
        });
    } catch (const std::bad_alloc&) {
        return LProcessResultError;
    }
    if (stopped)
        return LProcessResultStopped;

    LPalette<LPFB8G8R8>& palette = r.palette;
    if (!tree.WasReduced() && tree.GetLeafCount() <= wanted) {
        // Every colour has an entry of its own: exact, in the tree's order.
        if (!tree.GetPalette(palette))
            return LProcessResultError;
    } else {
        // The tree's leaves are plain averages of colours, however many pixels each stood for:
        // the pixels of each leaf make a set, the sets are merged down to the entries wanted,
        // and the entries then move to the means of the pixels nearest to them.
        std::vector<LPaletteCluster> entries;
        try {
            tree.MergeNodes(true);
            entries = ClustersOfLeaves(points, tree);
            if (job.IsToStop())
                return LProcessResultStopped;
            LPaletteMergeCheapestPairs(entries, size_t(wanted));
            LPaletteRefine(points, entries);
        } catch (const std::bad_alloc&) {
            return LProcessResultError;
        }
        if (!palette.SetCount(entries.size()))
            return LProcessResultError;
        for (size_t i = 0; i < entries.size(); ++i) {
            LPFB8G8R8& e = palette[i];
            e.r = uint8_t(std::clamp<long>(std::lround(entries[i].r), 0, 255));
            e.g = uint8_t(std::clamp<long>(std::lround(entries[i].g), 0, 255));
            e.b = uint8_t(std::clamp<long>(std::lround(entries[i].b), 0, 255));
        }
    }
    if (!r.ignoreTransparency && histogram.GetTransparentCount()) {
        const uint64_t n = histogram.GetTransparentCount();
        const uint64_t* sum = histogram.GetTransparentSums();
        LPFB8G8R8 e;
        e.r = uint8_t(sum[0] / n);
        e.g = uint8_t(sum[1] / n);
        e.b = uint8_t(sum[2] / n);
        if (!palette.Append(e))
            return LProcessResultError;
        palette.SetTransparentIndex(uint32_t(palette.GetCount() - 1));
    }
    job.SetProgress(1);
    return LProcessResultSuccess;
}
