// Merging sets of pixels by Ward's criterion, against the merges done by hand (every pair costed
// again at every step), and Lloyd's refinement of entries: the means of well-apart groups, ties
// to the first entry, entries that get nothing.
#include "lfw/graphics/LPaletteRefinement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// Merges as the rule says it, plainly: at every step every pair of the clusters left is costed,
// the cheapest (of equal costs the one whose first cluster, then second, comes first) merged into
// the first of the two.
std::vector<LPaletteCluster> MergedByHand(std::vector<LPaletteCluster> c, size_t wanted)
{
    while (c.size() > wanted) {
        double best = INFINITY;
        size_t a = 0, b = 0;
        for (size_t i = 0; i < c.size(); ++i)
            for (size_t j = i + 1; j < c.size(); ++j) {
                const double dr = c[i].r - c[j].r, dg = c[i].g - c[j].g, db = c[i].b - c[j].b;
                const double cost = (dr * dr + dg * dg + db * db) * c[i].count * c[j].count
                    / (c[i].count + c[j].count);
                if (cost < best)
                    best = cost, a = i, b = j;
            }
        const double n = c[a].count + c[b].count;
        c[a] = { n, (c[a].r * c[a].count + c[b].r * c[b].count) / n,
            (c[a].g * c[a].count + c[b].g * c[b].count) / n,
            (c[a].b * c[a].count + c[b].b * c[b].count) / n };
        c.erase(c.begin() + long(b));
    }
    return c;
}

std::vector<LPaletteCluster> RandomClusters(size_t n, uint32_t seed, bool onALine)
{
    auto next = [&]() { return (seed = seed * 1664525u + 1013904223u) >> 8; };
    std::vector<LPaletteCluster> out;
    for (size_t i = 0; i < n; ++i) {
        const double count = double(1 + next() % 500);
        if (onALine)
            out.push_back({ count, double(i * 255 / n) + double(next() % 100) / 100, 50, 50 });
        else
            out.push_back({ count, double(next() % 25600) / 100, double(next() % 25600) / 100,
                double(next() % 25600) / 100 });
    }
    return out;
}

LPalettePoint Point(uint64_t count, double r, double g, double b)
{
    return { count,
        { uint64_t(std::llround(r * double(count))), uint64_t(std::llround(g * double(count))),
            uint64_t(std::llround(b * double(count))) } };
}

} // namespace

TEST(PaletteMerging, TheCheapestPairsAsTheRuleDoneByHand)
{
    // Scattered over the cube, and along a line (where a merged cluster keeps becoming the
    // cheapest partner of its neighbours), down to few and to many.
    for (const bool onALine : { false, true })
        for (const auto& [from, to] : { std::pair<size_t, size_t>(40, 7),
                 std::pair<size_t, size_t>(300, 256), std::pair<size_t, size_t>(600, 64) }) {
            const std::vector<LPaletteCluster> clusters
                = RandomClusters(from, uint32_t(from * 7 + onALine), onALine);
            const std::vector<LPaletteCluster> expected = MergedByHand(clusters, to);
            std::vector<LPaletteCluster> merged = clusters;
            LPaletteMergeCheapestPairs(merged, to);
            ASSERT_EQ(merged.size(), expected.size()) << from << " " << onALine;
            for (size_t i = 0; i < merged.size(); ++i) {
                EXPECT_EQ(merged[i].count, expected[i].count) << from << " " << onALine << " " << i;
                EXPECT_NEAR(merged[i].r, expected[i].r, 1e-6) << from << " " << i;
                EXPECT_NEAR(merged[i].g, expected[i].g, 1e-6) << from << " " << i;
                EXPECT_NEAR(merged[i].b, expected[i].b, 1e-6) << from << " " << i;
            }
        }

    // No more clusters than wanted: nothing merged.
    std::vector<LPaletteCluster> few = RandomClusters(5, 1, false);
    LPaletteMergeCheapestPairs(few, 5);
    EXPECT_EQ(few.size(), 5u);
}

TEST(PaletteRefinement, EntriesMoveToTheMeansOfTheirNearestPixels)
{
    // Four groups of colours well apart, the entries started off their middles: each ends at the
    // mean of its group's pixels, counts weighing.
    std::vector<LPalettePoint> points;
    const double middles[4][3]
        = { { 20, 20, 20 }, { 200, 40, 40 }, { 40, 200, 90 }, { 220, 220, 230 } };
    double sums[4][4] = {};
    for (int group = 0; group < 4; ++group)
        for (int i = 0; i < 30; ++i) {
            const uint64_t count = uint64_t(1 + (i * 7) % 13);
            const double r = middles[group][0] + i % 5, g = middles[group][1] + i % 3,
                         b = middles[group][2] + i % 7;
            points.push_back(Point(count, r, g, b));
            sums[group][0] += r * double(count), sums[group][1] += g * double(count);
            sums[group][2] += b * double(count), sums[group][3] += double(count);
        }
    std::vector<LPaletteCluster> entries;
    for (const auto& m : middles)
        entries.push_back({ 1, m[0] + 9, m[1] - 8, m[2] + 7 });
    LPaletteRefine(points, entries);
    ASSERT_EQ(entries.size(), 4u);
    for (int group = 0; group < 4; ++group) {
        EXPECT_NEAR(entries[size_t(group)].r, sums[group][0] / sums[group][3], 1e-9) << group;
        EXPECT_NEAR(entries[size_t(group)].g, sums[group][1] / sums[group][3], 1e-9) << group;
        EXPECT_NEAR(entries[size_t(group)].b, sums[group][2] / sums[group][3], 1e-9) << group;
    }
}

TEST(PaletteRefinement, ATieGoesToTheFirstEntryAndAnEntryOfNoPixelsStays)
{
    // The pixel at 5 lies as near to the entry at 0 as to the one at 10: it goes to the first,
    // which moves to 2.5. The third entry is nearest to nothing and stays where it is.
    const std::vector<LPalettePoint> points
        = { Point(1, 0, 0, 0), Point(1, 5, 0, 0), Point(1, 10, 0, 0) };
    std::vector<LPaletteCluster> entries
        = { { 1, 0, 0, 0 }, { 1, 10, 0, 0 }, { 1, 100, 100, 100 } };
    LPaletteRefine(points, entries);
    EXPECT_DOUBLE_EQ(entries[0].r, 2.5);
    EXPECT_DOUBLE_EQ(entries[1].r, 10);
    EXPECT_DOUBLE_EQ(entries[2].r, 100);
    EXPECT_DOUBLE_EQ(entries[2].g, 100);
}
