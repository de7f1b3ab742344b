// Palette generation: the job that turns a true-colour image into a palette of at most a given
// number of colours, by the colour octree below or by median cut (LMedianCutColor), with an
// entry of its own for the fully transparent pixels.
//
// The octree is split lazily: each leaf holds one exact colour and its pixel count, and a leaf
// is split only when a different colour reaches it. Reductions fold the subtrees that cover the
// fewest pixels, deepest first, into single leaves whose colour is the plain (unweighted)
// average of the folded children.
//
// The palette job counts the picture's colours first (LColourHistogram) and puts each colour into
// the tree once, with its pixels, in the tree's own order. A picture of no more colours than
// wanted gets exactly its colours, in the tree's order. Otherwise the tree gathers up to four
// times the entries wanted (at least 1024, at most 16384, no more than an eighth of the picture's
// colours), whose colours are only a first guess: the pixels of each gathered leaf make a set,
// the two sets whose merging adds the least squared error are merged until as many remain as
// wanted, and each entry then moves to the mean of the pixels nearest to it (LPaletteRefinement:
// over the picture's colours, or over cells of 2 x 2 x 2 colours for a picture of many), which
// brings the mapped picture much closer to the original.
#pragma once

#include "lfw/gen/LList.h"
#include "lfw/gen/LProcess.h"
#include "lfw/graphics/LImageBuffer.h"
#include "lfw/graphics/LPalette.h"

#include <cstdint>
#include <utility>
#include <vector>

// The palette job. method 1 is median cut, any other value the octree.
struct LProcessGeneratePaletteFromImage {
    LProcessGeneratePaletteFromImage(const LImageBuffer& source_, uint64_t colourCount_,
        int method_, bool ignoreTransparency_, LPalette<LPFB8G8R8>& palette_)
        : source(source_)
        , colourCount(colourCount_)
        , method(method_)
        , ignoreTransparency(ignoreTransparency_)
        , palette(palette_)
    {
    }

    const LImageBuffer& source;
    uint64_t colourCount; // entries wanted
    int method;
    // When false, and the image's format has alpha, one entry is kept back for the pixels of
    // alpha 0: their average colour, appended last and made the transparent index.
    bool ignoreTransparency;
    LPalette<LPFB8G8R8>& palette;
};

// 0 done; 1 stopped (the palette is not touched); 2 for an invalid image ("Ogiltig källbild") or
// no memory.
LProcessResult Process(LProcessInterface& job, LProcessGeneratePaletteFromImage& r);

// ---- The octree --------------------------------------------------------------------------------

class LOctreeData {
public:
    // Which of the eight children of a node at the level (0 at the root) the data belongs to.
    virtual unsigned long GetChildIndex(unsigned long level) const = 0;
    virtual double CalculateError(const LOctreeData&) const { return 0.0; }

protected:
    ~LOctreeData() = default;
};

// A colour: B, G, R.
class LColourOctreeData final : public LOctreeData {
public:
    LColourOctreeData() = default;
    LColourOctreeData(uint8_t b_, uint8_t g_, uint8_t r_)
        : b(b_)
        , g(g_)
        , r(r_)
    {
    }
    // bit(R) x 4 + bit(G) x 2 + bit(B) of the bit 7 - level.
    unsigned long GetChildIndex(unsigned long level) const override
    {
        const unsigned shift = 7 - unsigned(level);
        return ((r >> shift) & 1) << 2 | ((g >> shift) & 1) << 1 | ((b >> shift) & 1);
    }
    bool operator==(const LColourOctreeData& o) const { return b == o.b && g == o.g && r == o.r; }
    // The levels from the root down at which both colours take the same child: the leading bits
    // on which the two agree in every channel (8 for the same colour).
    unsigned long GetSharedLevels(const LColourOctreeData& o) const
    {
        const unsigned differ = unsigned(r ^ o.r) | unsigned(g ^ o.g) | unsigned(b ^ o.b);
        return differ ? unsigned(__builtin_clz(differ)) - 24 : 8;
    }

    uint8_t b = 0, g = 0, r = 0;
};

template <class Data> class LOctreeNode;

// An entry of a reduction: an inner node, its depth (1 for a child of the root) and the pixels
// of its subtree.
template <class Data> struct LOctreeMergeableNode {
    LOctreeNode<Data>* node;
    uint64_t depth;
    uint64_t pixels;
    LOctreeNode<Data>* parent;
    int slot; // of the node in its parent
};

// A node: a leaf (count non-zero, one colour, no children) or an inner node (count 0, children in
// some of its eight slots).
template <class Data> class LOctreeNode : public LListable<LOctreeNode<Data>> {
public:
    LOctreeNode() = default;
    virtual ~LOctreeNode();
    LOctreeNode(const LOctreeNode&) = delete;
    LOctreeNode& operator=(const LOctreeNode&) = delete;

    // An empty node of the concrete kind.
    virtual LOctreeNode* CreateInstance() const = 0;
    // Sets this node's data from the children being folded into it.
    virtual void MergeData(const LList<LOctreeNode>& merged) = 0;

    // Adds one pixel below this node at the level; true when a new leaf was made. leaf, when
    // given, receives the node that counted the pixel, and path (9 slots) the node of each level
    // passed.
    bool Insert(const Data& data, unsigned long level, LOctreeNode** leaf = nullptr,
        LOctreeNode** path = nullptr);
    // The same with new nodes from make() instead of CreateInstance(), for a caller that knows
    // the nodes' kind; *depth, when given, receives the level of the leaf. parent and slot are
    // this node's parent and its place there, for a descent that starts below the root.
    template <class Make>
    bool InsertWith(const Data& data, unsigned long level, LOctreeNode** leaf, LOctreeNode** path,
        int* depth, Make make, LOctreeNode* parent = nullptr, unsigned long slot = 0);
    // Folds the whole subtree into this node, which becomes a leaf.
    void Merge();
    // Adds the leaves of the subtree (this node included) and the sum of their counts.
    void GetCountsRecursive(unsigned long& leaves, unsigned long& pixels) const;
    // Adds an entry for every inner node below this node, each before those below it.
    void FindSortedMergeNodes(std::vector<LOctreeMergeableNode<Data>>& list, uint64_t depth);

    // The leaves of the subtree, found from the children's kinds kept here.
    unsigned long CountLeaves() const;

    // What a descent or a merge reads of a node lies together at the start, the children after.
    Data mData;
    uint8_t mChildSlots = 0; // bit i: slot i holds a child
    uint8_t mLeafChildren = 0; // bit i: the child in slot i is a leaf
    uint64_t mCount = 0;
    uint64_t mPixels = 0; // of the whole subtree, kept up to date by every insertion
    LOctreeNode* mChildren[8] = {}; // owned
};

// The tree is its own root and counts its leaves.
template <class Node, class Data> class LOctree : public Node {
public:
    explicit LOctree(uint64_t maximumLeaves)
        : mMaximumLeaves(maximumLeaves)
    {
    }
    // Inserts one pixel; reduces the tree to the maximum once it holds more than 256 leaves
    // beyond it.
    void Insert(const Data& data);
    // Inserts a run of pixels of one colour, just as one by one.
    void Insert(const Data& data, uint64_t pixels);
    // Folds subtrees, fewest pixels and deepest first, until at most the maximum leaves remain
    // (or nothing below the root is left to fold). Only the sorted reduction is offered.
    void MergeNodes(bool sorted = true);

    uint64_t GetLeafCount() const { return mLeaves; }
    // True once some colours were folded together: the leaves are no longer exact colours.
    bool WasReduced() const { return mReduced; }

protected:
    uint64_t mMaximumLeaves;
    uint64_t mLeaves = 0;
    bool mReduced = false;
    // The leaf that counted the last pixel, while no reduction has run since: a run of one colour
    // only raises its count, and a colour near it starts its descent where the two part.
    LOctreeNode<Data>* mLastLeaf = nullptr;
    Data mLastData;
    LOctreeNode<Data>* mLastPath[9] = {}; // the nodes from the root to that leaf
    int mLastPathLength = 0; // the leaf's level
    // The reduction's lists, kept from one reduction to the next.
    std::vector<LOctreeMergeableNode<Data>> mMergeList;
    std::vector<uint64_t> mMergeKeys;
    std::vector<uint32_t> mMergeSmall;
};

class LColourOctreeNode : public LOctreeNode<LColourOctreeData> {
public:
    LOctreeNode* CreateInstance() const override { return new LColourOctreeNode; }
    // The plain average of the children's colours, each channel truncated.
    void MergeData(const LList<LOctreeNode>& merged) override;
    // Writes the leaves' colours depth first, children in slot order.
    void GetPalette(LPalette<LPFB8G8R8>& palette, unsigned long& index) const;

    // Nodes come from a free list of the thread's own: a tree makes and drops a node for nearly
    // every pixel of a photograph.
    static void* operator new(size_t size);
    static void operator delete(void* p, size_t size);
};

class LColourOctree : public LOctree<LColourOctreeNode, LColourOctreeData> {
public:
    explicit LColourOctree(uint64_t maximumLeaves)
        : LOctree(maximumLeaves)
    {
    }
    // Reduces the tree and replaces the palette's entries by the leaves' colours (the
    // transparent index is not touched). False when out of memory.
    bool GetPalette(LPalette<LPFB8G8R8>& palette);
};
