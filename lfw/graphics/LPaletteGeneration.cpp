// Palette generation and the colour octree.
#include "lfw/graphics/LPaletteGeneration.h"

#include "lfw/graphics/LImageIterator.h"
#include "lfw/graphics/LMedianCutColor.h"
#include "lfw/graphics/LParallelParts.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <thread>

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

// Lloyd's refinement of a palette: every colour goes to its nearest entry, every entry moves to
// the mean of the colours it got; a few rounds. The picture's colours are taken as a histogram
// of 6-bit cells, each with its pixel count and the sums of its pixels' channels, so a round
// costs the same for any size of picture and each entry's mean is that of its pixels exactly.
// The rounds stop early once no entry moves any more.
class PaletteRefinement {
public:
    static constexpr int kRounds = 8;

    // Counts the picture's pixels into the cells; false when stopped (stop() is asked before
    // every row) or out of memory. A small picture is counted by its exact colours instead,
    // which costs less than the table of cells.
    template <class Stop> bool Count(const LImageBuffer& source, Stop stop)
    {
        mCells.clear();
        constexpr size_t kCells = size_t(1) << 18;
        const int width = source.GetWidth(), height = source.GetHeight();
        const bool small = uint64_t(width) * uint64_t(height) <= kCells / 4;
        std::unique_ptr<LPixelColour[]> row(new (std::nothrow) LPixelColour[size_t(width)]);
        std::unique_ptr<Cell[]> cells(small ? nullptr : new (std::nothrow) Cell[kCells]());
        if (!row || (!small && !cells))
            return false;
        try {
            std::vector<uint32_t> colours; // of a small picture: 0xRRGGBB
            LImageConstIterator it(source, LImageScanRowsTopDown);
            for (int y = 0; y < height; ++y) {
                if (stop())
                    return false;
                it.Get(row.get(), width);
                for (int x = 0; x < width; ++x) {
                    const LPixelColour p = row[x];
                    if (small) {
                        colours.push_back(uint32_t(p.r) << 16 | uint32_t(p.g) << 8 | p.b);
                        continue;
                    }
                    Cell& c = cells[size_t(p.r >> 2) << 12 | size_t(p.g >> 2) << 6 | (p.b >> 2)];
                    ++c.count;
                    c.sum[0] += p.r;
                    c.sum[1] += p.g;
                    c.sum[2] += p.b;
                }
            }
            if (small) {
                std::sort(colours.begin(), colours.end());
                for (size_t i = 0; i < colours.size();) {
                    size_t j = i + 1;
                    while (j < colours.size() && colours[j] == colours[i])
                        ++j;
                    const uint64_t n = j - i, c = colours[i];
                    mCells.push_back({ n, { (c >> 16) * n, (c >> 8 & 0xFF) * n, (c & 0xFF) * n } });
                    i = j;
                }
                return true;
            }
            for (size_t i = 0; i < kCells; ++i)
                if (cells[i].count)
                    mCells.push_back(cells[i]);
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }

    // Moves the palette's entries.
    void Refine(LPalette<LPFB8G8R8>& palette)
    {
        const size_t n = size_t(palette.GetCount());
        if (n == 0 || mCells.empty())
            return;
        std::vector<Centre> centres(n);
        for (size_t i = 0; i < n; ++i)
            centres[i] = { float(palette[i].r), float(palette[i].g), float(palette[i].b), i };
        const int parts = LParallelPartCount(mCells.size(), size_t(1) << 11);
        std::vector<std::vector<Sum>> sums(size_t(parts), std::vector<Sum>(n, Sum {}));
        for (int round = 0; round < kRounds; ++round) {
            // Sorted by green, so that a search can stop once the green distance alone is too
            // far.
            std::sort(centres.begin(), centres.end(),
                [](const Centre& a, const Centre& b) { return a.g < b.g; });
            // The cells are shared out among the processors, each part adding into sums of
            // its own.
            for (int part = 0; part < parts; ++part) {
                std::vector<Sum>& own = sums[size_t(part)];
                std::fill(own.begin(), own.end(), Sum {});
            }
            LRunInParts(mCells.size(), parts, [&](int part, size_t begin, size_t end) {
                std::vector<Sum>& own = sums[size_t(part)];
                for (size_t i = begin; i < end; ++i) {
                    const Cell& c = mCells[i];
                    const float inverse = 1.0f / float(c.count);
                    const size_t k = Nearest(centres, float(c.sum[0]) * inverse,
                        float(c.sum[1]) * inverse, float(c.sum[2]) * inverse);
                    Sum& s = own[k];
                    s.count += c.count;
                    s.sum[0] += c.sum[0];
                    s.sum[1] += c.sum[1];
                    s.sum[2] += c.sum[2];
                }
            });
            for (int part = 1; part < parts; ++part)
                for (size_t k = 0; k < n; ++k) {
                    const Sum& from = sums[size_t(part)][k];
                    Sum& to = sums[0][k];
                    to.count += from.count;
                    for (int c = 0; c < 3; ++c)
                        to.sum[c] += from.sum[c];
                }
            bool moved = false;
            for (size_t k = 0; k < n; ++k) {
                const Sum& s = sums[0][k];
                if (!s.count)
                    continue; // nothing nearest: the entry stays where it is
                const double inverse = 1.0 / double(s.count);
                const Centre next { float(double(s.sum[0]) * inverse),
                    float(double(s.sum[1]) * inverse), float(double(s.sum[2]) * inverse),
                    centres[k].index };
                moved = moved || std::lround(next.r) != std::lround(centres[k].r)
                    || std::lround(next.g) != std::lround(centres[k].g)
                    || std::lround(next.b) != std::lround(centres[k].b);
                centres[k] = next;
            }
            if (!moved)
                break;
        }
        for (const Centre& c : centres) {
            LPFB8G8R8& e = palette[c.index];
            e.r = uint8_t(std::clamp<long>(std::lround(c.r), 0, 255));
            e.g = uint8_t(std::clamp<long>(std::lround(c.g), 0, 255));
            e.b = uint8_t(std::clamp<long>(std::lround(c.b), 0, 255));
        }
    }

private:
    struct Cell {
        uint64_t count;
        uint64_t sum[3]; // R, G, B
    };
    struct Sum {
        uint64_t count = 0;
        uint64_t sum[3] = {};
    };
    struct Centre {
        float r, g, b;
        size_t index; // in the palette
    };

    // The centre nearest to the colour; the centres are sorted by green.
    static size_t Nearest(const std::vector<Centre>& centres, float r, float g, float b)
    {
        const size_t n = centres.size();
        size_t up = size_t(std::lower_bound(centres.begin(), centres.end(), g,
                               [](const Centre& c, float v) { return c.g < v; })
            - centres.begin());
        size_t down = up;
        size_t best = up < n ? up : n - 1;
        float bestDistance = Distance(centres[best], r, g, b);
        for (;;) {
            bool more = false;
            if (up < n) {
                const float dg = centres[up].g - g;
                if (dg * dg < bestDistance) {
                    const float d = Distance(centres[up], r, g, b);
                    if (d < bestDistance)
                        bestDistance = d, best = up;
                    ++up;
                    more = true;
                } else {
                    up = n;
                }
            }
            if (down > 0) {
                const float dg = g - centres[down - 1].g;
                if (dg * dg < bestDistance) {
                    const float d = Distance(centres[down - 1], r, g, b);
                    if (d < bestDistance)
                        bestDistance = d, best = down - 1;
                    --down;
                    more = true;
                } else {
                    down = 0;
                }
            }
            if (!more)
                return best;
        }
    }
    static float Distance(const Centre& c, float r, float g, float b)
    {
        const float dr = c.r - r, dg = c.g - g, db = c.b - b;
        return dr * dr + dg * dg + db * db;
    }

    std::vector<Cell> mCells; // the cells holding pixels
};

inline uint32_t Packed(const LPixelColour& p)
{
    uint32_t v;
    std::memcpy(&v, &p, sizeof v);
    return v;
}

// The refinement's counting on a thread of its own, beside the tree's. A count that cannot start
// (no thread) or failed is done again on the calling thread.
class BackgroundCount {
public:
    BackgroundCount(PaletteRefinement& refinement, const LImageBuffer& source)
        : mRefinement(refinement)
        , mSource(source)
    {
    }
    ~BackgroundCount()
    {
        mQuit = true;
        if (mThread.joinable())
            mThread.join();
    }
    BackgroundCount(const BackgroundCount&) = delete;
    BackgroundCount& operator=(const BackgroundCount&) = delete;

    bool IsStarted() const { return mStarted; }
    void Start()
    {
        mStarted = true;
        try {
            mThread = std::thread([this] {
                mCounted = mRefinement.Count(
                    mSource, [this] { return mQuit.load(std::memory_order_relaxed); });
            });
        } catch (const std::exception&) {
        }
    }
    // Waits for the count; true when the picture was counted.
    bool Finish()
    {
        if (!mThread.joinable())
            return false;
        mThread.join();
        return mCounted;
    }

private:
    PaletteRefinement& mRefinement;
    const LImageBuffer& mSource;
    std::thread mThread;
    std::atomic<bool> mQuit { false };
    bool mStarted = false;
    bool mCounted = false;
};

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

    const int width = source.GetWidth();
    const int height = source.GetHeight();
    std::unique_ptr<LPixelColour[]> row(new (std::nothrow) LPixelColour[size_t(width)]);
    if (!row)
        return LProcessResultError;
    LColourOctree tree(wanted);
    uint64_t transparentSum[3] = {}, transparentCount = 0;
    // Folded leaves are plain averages of colours, however many pixels each stood for: the
    // entries then move to the means of the pixels they are nearest to. Once the tree of a large
    // picture has folded colours, the refinement's counting starts on a thread of its own.
    PaletteRefinement refinement;
    BackgroundCount background(refinement, source);
    const bool large = uint64_t(width) * uint64_t(height) >= uint64_t(1) << 18;
    LImageConstIterator it(source, LImageScanRowsTopDown);
    for (int y = 0; y < height; ++y) {
        if (job.IsToStop())
            return LProcessResultStopped;
        if (large && tree.WasReduced() && !background.IsStarted())
            background.Start();
        job.SetProgress(double(y) / double(height));
        it.Get(row.get(), width);
        for (int x = 0; x < width;) {
            const LPixelColour p = row[x];
            // A run of one colour goes into the tree at once.
            int end = x + 1;
            while (end < width && Packed(row[end]) == Packed(p))
                ++end;
            if (!r.ignoreTransparency && p.a == 0) {
                const unsigned n = unsigned(end - x);
                transparentSum[0] += p.r * n;
                transparentSum[1] += p.g * n;
                transparentSum[2] += p.b * n;
                transparentCount += n;
            }
            tree.Insert(LColourOctreeData(p.b, p.g, p.r), uint64_t(end - x));
            x = end;
        }
    }
    const bool refine = tree.WasReduced() || tree.GetLeafCount() > wanted;
    if (refine && !background.Finish()
        && !refinement.Count(source, [&job] { return job.IsToStop(); }))
        return job.IsToStop() ? LProcessResultStopped : LProcessResultError;
    LPalette<LPFB8G8R8>& palette = r.palette;
    if (!tree.GetPalette(palette))
        return LProcessResultError;
    if (refine)
        refinement.Refine(palette);
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
