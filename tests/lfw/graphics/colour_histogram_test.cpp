// The colours of a picture counted exactly, in the colour octree's order: every colour with its
// pixels against a count made here from the pixels, for a picture counted by sorting and one
// counted in the table by several threads, in formats with and without alpha; the pixels of alpha
// 0 summed apart; a stop.
#include "ImageTestSupport.h"

#include "lfw/graphics/LColourHistogram.h"
#include "lfw/graphics/LImageIterator.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>
#include <vector>

using namespace imagetest;

namespace {

// The order of the octree's depth-first walk: the colour bits interleaved R, G, B from the top
// bit down.
uint32_t TreeKey(int r, int g, int b)
{
    uint32_t key = 0;
    for (int bit = 7; bit >= 0; --bit)
        key = key << 3 | uint32_t((r >> bit) & 1) << 2 | uint32_t((g >> bit) & 1) << 1
            | uint32_t((b >> bit) & 1);
    return key;
}

// Clustered colours with long runs and scattered ones, some fully transparent.
std::array<int, 4> Mixed(int x, int y)
{
    uint32_t v = uint32_t(x / 7) * 2654435761u ^ uint32_t(y) * 40503u;
    v ^= v >> 15;
    if (y % 3 == 0)
        return { int(v & 255), int(v >> 8 & 255), int(v >> 16 & 255), x % 11 == 0 ? 0 : 255 };
    return { 40 + int(v % 5), 60 + x % 3, 90 + y % 4, 255 };
}

struct Counted {
    std::map<uint32_t, uint64_t> colours; // by tree key
    uint64_t transparent = 0;
    uint64_t sum[3] = {};
};

Counted CountHere(const LImageBuffer& image)
{
    Counted c;
    LImageConstIterator it(image, LImageScanRowsTopDown);
    std::vector<LPixelColour> row(size_t(image.GetWidth()));
    for (int y = 0; y < image.GetHeight(); ++y) {
        it.Get(row.data(), image.GetWidth());
        for (const LPixelColour& p : row) {
            ++c.colours[TreeKey(p.r, p.g, p.b)];
            if (p.a == 0) {
                ++c.transparent;
                c.sum[0] += p.r, c.sum[1] += p.g, c.sum[2] += p.b;
            }
        }
    }
    return c;
}

} // namespace

TEST(ColourHistogram, CodesAreTheTreesOrderBothWays)
{
    for (int r = 0; r < 256; r += 3)
        for (int g = 0; g < 256; g += 5)
            for (int b = 0; b < 256; ++b) {
                const uint32_t code = LColourHistogram::Code(uint8_t(r), uint8_t(g), uint8_t(b));
                ASSERT_EQ(code, TreeKey(r, g, b)) << r << " " << g << " " << b;
                uint8_t rr = 0, gg = 0, bb = 0;
                LColourHistogram::Colour(code, rr, gg, bb);
                ASSERT_EQ(std::tie(rr, gg, bb), std::tie(r, g, b));
            }
}

TEST(ColourHistogram, EveryColourWithItsPixelsInTheTreesOrder)
{
    // Below a megapixel the codes are sorted; from a megapixel on they are counted in the table
    // by several threads, each its own lines of counts. Stored top-down and bottom-up, with alpha
    // and without.
    for (const auto& [width, height] : { std::pair(333, 211), std::pair(1200, 900) })
        for (const pixelformat_t format : { LPixelFormatB8G8R8A8, LPixelFormatB8G8R8 })
            for (const bool bottomUp : { false, true }) {
                LImageBuffer painted;
                Paint(painted, width, height, Mixed, bottomUp);
                LImageBuffer image(LImageFormat(format, width, height, bottomUp));
                LImageConstIterator from(painted, LImageScanRowsTopDown);
                LImageIterator to(image, LImageScanRowsTopDown);
                for (int i = 0; i < width * height; ++i, ++from, ++to)
                    to.Write(from.Read());
                const Counted expected = CountHere(image);
                LColourHistogram histogram;
                ASSERT_TRUE(histogram.Count(image, [](double) { return false; }));
                std::vector<std::pair<uint32_t, uint64_t>> found;
                histogram.ForEachColour([&](uint32_t code, uint64_t pixels) {
                    found.emplace_back(code, pixels);
                    return true;
                });
                const std::vector<std::pair<uint32_t, uint64_t>> wanted(
                    expected.colours.begin(), expected.colours.end());
                EXPECT_EQ(found, wanted) << width << " " << format << " " << bottomUp;
                EXPECT_EQ(histogram.GetColourCount(), wanted.size());
                EXPECT_EQ(histogram.GetTransparentCount(), expected.transparent);
                for (int c = 0; c < 3; ++c)
                    EXPECT_EQ(histogram.GetTransparentSums()[c], expected.sum[c]);
            }
}

TEST(ColourHistogram, AStopEndsTheCountAndAnAnswerOfFalseTheWalk)
{
    for (const auto& [width, height] : { std::pair(300, 200), std::pair(1100, 1000) }) {
        LImageBuffer image;
        Paint(image, width, height, Mixed);
        LColourHistogram histogram;
        int asked = 0;
        EXPECT_FALSE(histogram.Count(image, [&](double) { return ++asked == 3; })) << width;
        EXPECT_EQ(asked, 3);

        ASSERT_TRUE(histogram.Count(image, [](double) { return false; }));
        int walked = 0;
        histogram.ForEachColour([&](uint32_t, uint64_t) { return ++walked < 10; });
        EXPECT_EQ(walked, 10);
    }
}
