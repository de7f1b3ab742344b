// What the palette job does with the colour octree's first guess when the tree had to fold
// colours: the sets of pixels the tree gathered are merged, two at a time, into as many as
// entries are wanted, each time the two whose merging adds the least squared error to the picture
// (Ward's criterion); then every entry moves to the mean of the pixels nearest to it (Lloyd's
// refinement). Both work on the picture's pixels taken together by colour: exact colours, or
// cells of nearby colours, each with its count and the sums of its channels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Pixels of one colour or of one cell of nearby colours: their count and the sums of their R, G
// and B, so that a mean over them is that of their pixels exactly.
struct LPalettePoint {
    uint64_t count;
    uint64_t sum[3];
};

// A set of pixels by its count and the mean of their R, G and B.
struct LPaletteCluster {
    double count, r, g, b;
};

// Merges clusters until at most wanted remain, each time the two whose merging adds the least
// squared error (n1 n2 / (n1 + n2) times the squared distance of their means); of equal costs
// the pair of the first cluster found first. The merged cluster takes the place of the first of
// the two, so the clusters stay in their order.
void LPaletteMergeCheapestPairs(std::vector<LPaletteCluster>& clusters, size_t wanted);

// Lloyd's refinement of the clusters' means as entries over the points: every point goes to its
// nearest entry (of equal distances the first), every entry moves to the mean of the points it
// got; an entry that gets none stays. The rounds stop after one whose moves took less than 15 %
// of the squared error (or in which no entry moved by a whole step), and after at most 8. The
// points are shared among the processors; the result does not depend on how many.
void LPaletteRefine(
    const std::vector<LPalettePoint>& points, std::vector<LPaletteCluster>& entries);
