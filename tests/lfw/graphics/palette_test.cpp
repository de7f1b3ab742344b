// Palette generation: the colour octree and median cut, through the palette job and directly,
// checked against colours and means computed here from the pixels, and the refined octree's
// quality against ImageMagick's.
#include "ImageTestSupport.h"

#include "lfw/graphics/LConvertToIndexed.h"
#include "lfw/graphics/LImageIterator.h"
#include "lfw/graphics/LMedianCutColor.h"
#include "lfw/graphics/LPaletteGeneration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <tuple>

using namespace imagetest;

namespace {

using RGB = std::tuple<int, int, int>;

std::vector<RGB> Entries(const LPalette<LPFB8G8R8>& p)
{
    std::vector<RGB> out;
    for (uint64_t i = 0; i < p.GetCount(); ++i)
        out.emplace_back(p[i].r, p[i].g, p[i].b);
    return out;
}

LProcessResult Generate(const LImageBuffer& image, uint64_t count, int method,
    LPalette<LPFB8G8R8>& palette, bool ignoreTransparency = false, LProcessInterface* job = nullptr)
{
    LProcessInterfaceVoid quiet;
    LProcessGeneratePaletteFromImage request(image, count, method, ignoreTransparency, palette);
    return Process(job ? *job : quiet, request);
}

// The octree's depth-first order: the colour bits interleaved R, G, B from the top bit down.
uint32_t TreeKey(const RGB& c)
{
    uint32_t key = 0;
    for (int bit = 7; bit >= 0; --bit)
        key = key << 3 | ((std::get<0>(c) >> bit) & 1) << 2 | ((std::get<1>(c) >> bit) & 1) << 1
            | ((std::get<2>(c) >> bit) & 1);
    return key;
}

// 200 distinct colours, scattered over the cube, each on a run of pixels.
std::array<int, 4> Scattered(int x, int y)
{
    const int i = (y * 40 + x) / 3 % 200;
    return { (i * 97) % 256, (i * 57 + 13) % 256, (i * 31 + 200) % 256, 255 };
}

} // namespace

TEST(OctreePalette, FewColoursComeOutExactlyInTreeOrder)
{
    LImageBuffer image;
    Paint(image, 40, 30, Scattered);
    std::set<RGB> distinct;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const auto c = Scattered(x, y);
            distinct.emplace(c[0], c[1], c[2]);
        }
    ASSERT_EQ(distinct.size(), 200u);

    LPalette<LPFB8G8R8> palette;
    RecordingJob job;
    LProcessGeneratePaletteFromImage request(image, 256, 0, true, palette);
    ASSERT_EQ(Process(job, request), LProcessResultSuccess);
    EXPECT_EQ(job.statuses.front(), "Generera färgpalett");
    const std::vector<RGB> entries = Entries(palette);
    EXPECT_EQ(std::set<RGB>(entries.begin(), entries.end()), distinct);
    EXPECT_EQ(entries.size(), distinct.size());
    EXPECT_TRUE(std::is_sorted(entries.begin(), entries.end(),
        [](const RGB& a, const RGB& b) { return TreeKey(a) < TreeKey(b); }));
    EXPECT_EQ(palette.GetTransparentIndex(), LPalette<LPFB8G8R8>::kNoTransparentIndex);

    // Exactly as many colours as asked for: still every colour.
    ASSERT_EQ(Generate(image, 200, 0, palette, true), LProcessResultSuccess);
    EXPECT_EQ(palette.GetCount(), 200u);
}

TEST(OctreePalette, TransparentPixelsGetTheLastEntry)
{
    // 300 colours; the left quarter fully transparent with colours of its own.
    LImageBuffer image;
    auto f = [](int x, int y) -> std::array<int, 4> {
        if (x < 10)
            return { 10 + x, 100 + y % 7, 200, 0 };
        return { (x * 13 + y * 7) % 256, (x * 5) % 256, (y * 11) % 256, 255 };
    };
    Paint(image, 40, 30, f);
    uint64_t sum[3] = {}, n = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 10; ++x) {
            const auto c = f(x, y);
            sum[0] += c[0], sum[1] += c[1], sum[2] += c[2], ++n;
        }
    for (int method : { 0, 1 }) {
        LPalette<LPFB8G8R8> palette;
        ASSERT_EQ(Generate(image, 64, method, palette), LProcessResultSuccess);
        EXPECT_LE(palette.GetCount(), 64u) << method;
        ASSERT_EQ(palette.GetTransparentIndex(), palette.GetCount() - 1) << method;
        EXPECT_EQ(Entries(palette).back(), RGB(int(sum[0] / n), int(sum[1] / n), int(sum[2] / n)));
    }

    // Ignored transparency: no entry kept back, no transparent index.
    LPalette<LPFB8G8R8> palette;
    ASSERT_EQ(Generate(image, 64, 0, palette, true), LProcessResultSuccess);
    EXPECT_EQ(palette.GetCount(), 64u);
    EXPECT_FALSE(palette.HasTransparentIndex());

    // Without transparent pixels the caller's transparent index stays.
    LImageBuffer opaque;
    Paint(opaque, 16, 16, [](int x, int y) -> std::array<int, 4> {
        return { x * 16, y * 16, 0, 255 };
    });
    palette.SetTransparentIndex(7);
    ASSERT_EQ(Generate(opaque, 256, 0, palette), LProcessResultSuccess);
    EXPECT_EQ(palette.GetTransparentIndex(), 7u);
    EXPECT_LE(palette.GetCount(), 255u) << "one entry is kept back for a format with alpha";
}

TEST(OctreePalette, EveryAlphaFormatKeepsAnEntryBackForTransparency)
{
    // 4096 colours of which a fifth fully transparent, in each format with alpha: never more than
    // the 256 entries asked for.
    for (pixelformat_t format :
        { LPixelFormatB8G8R8A8, LPixelFormatR8G8B8A8, LPixelFormatB5G5R5A1 }) {
        LImageBuffer image(LImageFormat(format, 64, 64));
        LImageIterator it(image, LImageScanRowsTopDown);
        for (int i = 0; i < 64 * 64; ++i, ++it)
            it.Write(LPixelColour(
                uint8_t(i * 4), uint8_t(i / 16 * 4), uint8_t(i * 37), i % 5 == 0 ? 0 : 255));
        for (int method : { 0, 1 }) {
            LPalette<LPFB8G8R8> palette;
            ASSERT_EQ(Generate(image, 256, method, palette), LProcessResultSuccess);
            EXPECT_LE(palette.GetCount(), 256u) << format << " " << method;
            EXPECT_EQ(palette.GetTransparentIndex(), palette.GetCount() - 1) << format;
        }
    }
}

TEST(OctreePalette, MergedColoursAreUnweightedAverages)
{
    // Two colours in one corner of the cube, 1000 pixels against 1: the tree of one colour folds
    // them into their plain average.
    LColourOctree tree(1);
    for (int i = 0; i < 1000; ++i)
        tree.Insert(LColourOctreeData(0, 0, 0));
    tree.Insert(LColourOctreeData(2, 0, 0));
    LPalette<LPFB8G8R8> palette;
    ASSERT_TRUE(tree.GetPalette(palette));
    ASSERT_EQ(palette.GetCount(), 1u);
    EXPECT_EQ(palette[0].b, 1);
    EXPECT_EQ(palette[0].r, 0);

    // A large image keeps the tree within 257 leaves over the maximum while it is built.
    LColourOctree big(16);
    uint64_t most = 0;
    for (int i = 0; i < 100000; ++i) {
        big.Insert(LColourOctreeData(uint8_t(i * 7), uint8_t(i * 13 / 256), uint8_t(i * 101)));
        most = std::max<uint64_t>(most, big.GetLeafCount());
    }
    EXPECT_LE(most, 16u + 257u);
    ASSERT_TRUE(big.GetPalette(palette));
    EXPECT_LE(palette.GetCount(), 16u);
    EXPECT_GE(palette.GetCount(), 1u);
}

namespace {

// The octree as plainly as its rules say it, to compare the framework's with: every reduction
// counts every subtree again and sorts by pixels, then depth, then the order found.
struct RefNode {
    int b = 0, g = 0, r = 0;
    uint64_t count = 0;
    bool hasArray = false;
    std::unique_ptr<RefNode> child[8];
};

int RefIndex(int b, int g, int r, int level)
{
    const int shift = 7 - level;
    return ((r >> shift) & 1) << 2 | ((g >> shift) & 1) << 1 | ((b >> shift) & 1);
}

bool RefInsert(RefNode& n, int b, int g, int r, int level)
{
    if (level == 8) {
        n.b = b, n.g = g, n.r = r;
        ++n.count;
        return false;
    }
    if (n.count) {
        if (n.b == b && n.g == g && n.r == r) {
            ++n.count;
            return false;
        }
        n.hasArray = true;
        auto moved = std::make_unique<RefNode>();
        moved->b = n.b, moved->g = n.g, moved->r = n.r, moved->count = n.count;
        n.child[RefIndex(n.b, n.g, n.r, level)] = std::move(moved);
        n.count = 0;
    }
    bool empty = true;
    for (auto& c : n.child)
        empty = empty && !c;
    if (!n.hasArray || empty) {
        n.b = b, n.g = g, n.r = r, n.count = 1;
        return true;
    }
    auto& c = n.child[RefIndex(b, g, r, level)];
    if (!c) {
        c = std::make_unique<RefNode>();
        RefInsert(*c, b, g, r, level + 1);
        return true;
    }
    return RefInsert(*c, b, g, r, level + 1);
}

void RefCounts(const RefNode& n, uint64_t& leaves, uint64_t& pixels)
{
    if (n.count)
        ++leaves, pixels += n.count;
    for (auto& c : n.child)
        if (c)
            RefCounts(*c, leaves, pixels);
}

void RefMerge(RefNode& n)
{
    int sum[3] = {}, k = 0;
    for (auto& c : n.child) {
        if (!c)
            continue;
        RefMerge(*c);
        n.count += c->count;
        sum[0] += c->b, sum[1] += c->g, sum[2] += c->r, ++k;
        c.reset();
    }
    if (k)
        n.b = sum[0] / k, n.g = sum[1] / k, n.r = sum[2] / k;
}

struct RefEntry {
    RefNode* node;
    int depth;
    uint64_t pixels;
};

void RefFind(RefNode& n, std::vector<RefEntry>& list, int depth)
{
    for (auto& c : n.child)
        if (c && c->count == 0) {
            uint64_t leaves = 0, pixels = 0;
            RefCounts(*c, leaves, pixels);
            list.push_back({ c.get(), depth + 1, pixels });
            RefFind(*c, list, depth + 1);
        }
}

void RefReduce(RefNode& root, uint64_t most, uint64_t& leaves)
{
    if (leaves <= most)
        return;
    std::vector<RefEntry> list;
    RefFind(root, list, 0);
    std::stable_sort(list.begin(), list.end(), [](const RefEntry& a, const RefEntry& b) {
        return a.pixels != b.pixels ? a.pixels < b.pixels : a.depth > b.depth;
    });
    for (const RefEntry& e : list) {
        if (leaves <= most)
            break;
        uint64_t l = 0, p = 0;
        RefCounts(*e.node, l, p);
        RefMerge(*e.node);
        leaves = leaves + 1 - l;
    }
}

void RefPalette(const RefNode& n, std::vector<RGB>& out)
{
    if (n.count)
        out.emplace_back(n.r, n.g, n.b);
    for (auto& c : n.child)
        if (c)
            RefPalette(*c, out);
}

} // namespace

TEST(OctreePalette, SameAsTheRulesDoneByHand)
{
    // Pictures of runs of colours, clustered and scattered, into palettes of several sizes:
    // many reductions, repeated colours, leaves split again after merging.
    uint32_t seed = 11;
    auto next = [&]() { return seed = seed * 1664525u + 1013904223u; };
    for (int picture = 0; picture < 6; ++picture) {
        const int w = 160 + picture * 30, h = 90;
        LImageBuffer image(LImageFormat(LPixelFormatB8G8R8, w, h));
        int run = 0, colour[3] = {};
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (run-- <= 0) {
                    run = int(next() >> 28);
                    const int spread = picture % 2 ? 256 : 48;
                    for (int& c : colour)
                        c = picture % 3 == 2 ? int(next() >> 24) % spread
                                             : (x + y * 2 + int(next() >> 24) % spread) % 256;
                }
                unsigned char* p = image.GetPictureRow(y) + x * 3;
                p[0] = uint8_t(colour[2]), p[1] = uint8_t(colour[1]), p[2] = uint8_t(colour[0]);
            }
        for (uint64_t most : { 1u, 7u, 64u, 255u }) {
            RefNode root;
            uint64_t leaves = 0;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const unsigned char* p = image.GetPictureRow(y) + x * 3;
                    if (RefInsert(root, p[0], p[1], p[2], 0))
                        ++leaves;
                    if (leaves > most + 256)
                        RefReduce(root, most, leaves);
                }
            RefReduce(root, most, leaves);
            std::vector<RGB> expected;
            RefPalette(root, expected);

            // The tree itself: the palette job refines a reduced tree's entries further.
            LColourOctree tree(most);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const unsigned char* p = image.GetPictureRow(y) + x * 3;
                    tree.Insert(LColourOctreeData(p[0], p[1], p[2]));
                }
            LPalette<LPFB8G8R8> palette;
            ASSERT_TRUE(tree.GetPalette(palette));
            EXPECT_EQ(Entries(palette), expected) << picture << " " << most;

            // The same with each row's runs of one colour inserted at once.
            LColourOctree runs(most);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w;) {
                    const unsigned char* p = image.GetPictureRow(y) + x * 3;
                    int end = x + 1;
                    while (end < w && std::equal(p, p + 3, image.GetPictureRow(y) + end * 3))
                        ++end;
                    runs.Insert(LColourOctreeData(p[0], p[1], p[2]), uint64_t(end - x));
                    x = end;
                }
            LPalette<LPFB8G8R8> fromRuns;
            ASSERT_TRUE(runs.GetPalette(fromRuns));
            EXPECT_EQ(Entries(fromRuns), expected) << picture << " " << most << " in runs";
        }
    }
}

namespace {

// The PSNR in dB of the picture mapped to the palette (nearest entries, no dithering) against
// the picture.
double MappedPSNR(const LImageBuffer& image, const LPalette<LPFB8G8R8>& palette)
{
    LImageBuffer indexed;
    LProcessInterfaceVoid job;
    LProcessConvertImageToIndexed<LPFB8G8R8> convert(image, palette, indexed, 0);
    if (Process(job, convert) != LProcessResultSuccess)
        return 0;
    double sum = 0;
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x) {
            uint8_t p[4];
            BufferPixel(image, x, y, p);
            const LPFB8G8R8& e = palette[indexed.GetPictureRow(y)[x]];
            const double d[3] = { double(p[0]) - e.r, double(p[1]) - e.g, double(p[2]) - e.b };
            sum += d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
        }
    const double mse = sum / (3.0 * image.GetWidth() * image.GetHeight());
    return mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 99;
}

// A smooth picture of many colours of the size.
auto Smooth(int width, int height)
{
    return [width, height](int x, int y) -> std::array<int, 4> {
        return { (x * 255) / (width - 1), (y * 255) / (height - 1),
            ((x + y) * 3 + x * y / 97) % 256, 255 };
    };
}

// The job's palette of the smooth picture with entries for as many colours: every entry asked
// for is made, each lies within kNearTheMean of the mean of the pixels mapped to it, and the
// mapped picture comes closer than with the tree's own colours. The refinement's last move takes
// some pixels to other entries, and a picture of many colours is refined over cells of 2 x 2 x 2
// colours, so the entries lie near the means rather than on them.
constexpr double kNearTheMean = 6.0;

std::vector<RGB> ExpectRefinedToTheMeans(int width, int height, uint64_t colours)
{
    const auto f = Smooth(width, height);
    LImageBuffer photo;
    Paint(photo, width, height, f);
    LColourOctree tree(colours);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto c = f(x, y);
            tree.Insert(LColourOctreeData(uint8_t(c[2]), uint8_t(c[1]), uint8_t(c[0])));
        }
    LPalette<LPFB8G8R8> plain, refined;
    EXPECT_TRUE(tree.GetPalette(plain));
    EXPECT_EQ(Generate(photo, colours, 0, refined, true), LProcessResultSuccess);
    EXPECT_EQ(refined.GetCount(), colours);
    EXPECT_GT(MappedPSNR(photo, refined), MappedPSNR(photo, plain) + 0.5);
    LImageBuffer indexed;
    LProcessInterfaceVoid quiet;
    LProcessConvertImageToIndexed<LPFB8G8R8> convert(photo, refined, indexed, 0);
    EXPECT_EQ(Process(quiet, convert), LProcessResultSuccess);
    std::vector<std::array<double, 4>> sums(refined.GetCount(), { 0, 0, 0, 0 });
    for (int y = 0; y < height && indexed.IsValid(); ++y)
        for (int x = 0; x < width; ++x) {
            const auto c = f(x, y);
            auto& s = sums[indexed.GetPictureRow(y)[x]];
            s[0] += c[0], s[1] += c[1], s[2] += c[2], s[3] += 1;
        }
    for (size_t i = 0; i < sums.size(); ++i) {
        if (sums[i][3] == 0)
            continue;
        EXPECT_NEAR(refined[i].r, sums[i][0] / sums[i][3], kNearTheMean) << i;
        EXPECT_NEAR(refined[i].g, sums[i][1] / sums[i][3], kNearTheMean) << i;
        EXPECT_NEAR(refined[i].b, sums[i][2] / sums[i][3], kNearTheMean) << i;
    }
    return Entries(refined);
}

} // namespace

TEST(OctreePalette, AReducedTreeMovesToTheMeansOfItsPixels)
{
    // 1000 black pixels, one pixel of (4, 0, 0) in the same corner of the cube and 500 light
    // grey ones, in two colours: the cheapest merge takes the lone pixel to the black ones, and
    // the entry lies at their mean, black (0.004).
    LImageBuffer image;
    Paint(image, 1501, 1, [](int x, int) -> std::array<int, 4> {
        if (x < 1000)
            return { 0, 0, 0, 255 };
        return x == 1000 ? std::array<int, 4> { 4, 0, 0, 255 }
                         : std::array<int, 4> { 200, 200, 200, 255 };
    });
    LPalette<LPFB8G8R8> palette;
    ASSERT_EQ(Generate(image, 2, 0, palette, true), LProcessResultSuccess);
    EXPECT_EQ(Entries(palette), (std::vector<RGB> { RGB(0, 0, 0), RGB(200, 200, 200) }));

    // A smooth picture of many colours, refined over its exact colours and over cells.
    ExpectRefinedToTheMeans(200, 150, 64);
    ExpectRefinedToTheMeans(400, 300, 64);
}

TEST(OctreePalette, PicturesLargeAndSmallComeOutTheSameEveryTimeAndStop)
{
    // A picture of less than a megapixel is counted by sorting, one of more in a table by several
    // threads at once, and the refinement of both shares its points among the threads: the
    // same rules hold for both, on every run alike, and a stop while the picture is counted ends
    // the job with the palette untouched.
    for (const auto& [width, height] : { std::pair(720, 400), std::pair(1280, 900) }) {
        const std::vector<RGB> first = ExpectRefinedToTheMeans(width, height, 200);
        EXPECT_EQ(ExpectRefinedToTheMeans(width, height, 200), first) << width;

        LImageBuffer photo;
        Paint(photo, width, height, Smooth(width, height));
        for (const int stopAfter : { 0, 5, 100 }) {
            RecordingJob stopping(stopAfter);
            LPalette<LPFB8G8R8> palette;
            ASSERT_TRUE(palette.SetCount(3));
            EXPECT_EQ(Generate(photo, 200, 0, palette, true, &stopping), LProcessResultStopped)
                << width << " " << stopAfter;
            EXPECT_EQ(palette.GetCount(), 3u);
        }
    }
}

namespace {

// A pseudo-random byte of a pixel and a channel, the same on every run.
int Grain(int x, int y, int channel)
{
    uint32_t v
        = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + uint32_t(channel) * 2246822519u;
    v = (v ^ (v >> 13)) * 1274126177u;
    return int(v >> 24);
}

// Squares of 36 x 36 pixels in gradients between two colours of their own, on a dark background
// of fine grain: a desktop wallpaper of icons, most of whose pixels lie in a narrow range of dark
// colours.
std::array<int, 4> Icons(int x, int y)
{
    struct Square {
        int x, y;
        std::array<int, 3> from, to;
    };
    static const std::vector<Square> squares = [] {
        uint32_t seed = 5;
        auto next = [&](int n) { return int((seed = seed * 1664525u + 1013904223u) >> 8) % n; };
        std::vector<Square> out;
        for (int i = 0; i < 60; ++i)
            out.push_back({ next(470), next(470), { next(256), next(256), next(256) },
                { next(256), next(256), next(256) } });
        return out;
    }();
    for (const Square& s : squares)
        if (x >= s.x && x < s.x + 36 && y >= s.y && y < s.y + 36) {
            const double t = ((x - s.x) + (y - s.y)) / 70.0;
            return { int(s.from[0] * (1 - t) + s.to[0] * t), int(s.from[1] * (1 - t) + s.to[1] * t),
                int(s.from[2] * (1 - t) + s.to[2] * t), 255 };
        }
    const double g = (x + 2 * y) / 1536.0;
    return { int(30 + 14 * g) + Grain(x, y, 0) % 9 - 4, int(28 + 12 * g) + Grain(x, y, 1) % 9 - 4,
        int(40 + 20 * g) + Grain(x, y, 2) % 9 - 4, 255 };
}

// Every hue from left to right, darkening from top to bottom.
std::array<int, 4> Hues(int x, int y)
{
    std::array<int, 4> out { 0, 0, 0, 255 };
    for (int c = 0; c < 3; ++c) {
        const double d = std::fabs(std::fmod(x * 6.0 / 512 - c * 2 + 9, 6.0) - 3);
        out[size_t(c)] = int(255 * (1 - y / 341.0) * std::clamp(d - 1, 0.0, 1.0));
    }
    return out;
}

std::array<int, 4> Noise(int x, int y)
{
    return { Grain(x, y, 0), Grain(x, y, 1), Grain(x, y, 2), 255 };
}

// The PSNR in dB of a picture of the same size against the picture.
double PSNR(const LImageBuffer& image, const LImageBuffer& other)
{
    double sum = 0;
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x) {
            uint8_t a[4], b[4];
            BufferPixel(image, x, y, a);
            BufferPixel(other, x, y, b);
            for (int c = 0; c < 3; ++c)
                sum += (double(a[c]) - b[c]) * (double(a[c]) - b[c]);
        }
    return sum > 0
        ? 10 * std::log10(255.0 * 255.0 * 3.0 * image.GetWidth() * image.GetHeight() / sum)
        : 99;
}

} // namespace

TEST(OctreePalette, AtLeastAsCloseAsImageMagick)
{
    // Pictures of several kinds, quantised by both to 256 colours without dithering: ImageMagick's
    // own photograph, icons on a dark grainy background (where the tree's own colours fell 4 dB
    // short of ImageMagick's), a sweep of hues and noise.
    if (!HaveTool("/usr/bin/convert"))
        GTEST_SKIP() << "no ImageMagick";
    TempFolder folder;
    ASSERT_TRUE(RunCommand("/usr/bin/convert rose: -depth 8 ppm:" + (folder / "rose.ppm")));
    RefImage rose;
    ASSERT_TRUE(ReadRef(folder / "rose.ppm", rose));
    struct Picture {
        const char* name;
        LImageBuffer image;
    };
    std::vector<Picture> pictures(4);
    pictures[0].name = "rose";
    BufferFromRef(rose, pictures[0].image);
    pictures[1].name = "icons";
    Paint(pictures[1].image, 512, 512, Icons);
    pictures[2].name = "hues";
    Paint(pictures[2].image, 512, 341, Hues);
    pictures[3].name = "noise";
    Paint(pictures[3].image, 256, 256, Noise);
    for (const Picture& picture : pictures) {
        const LImageBuffer& image = picture.image;
        const int width = image.GetWidth(), height = image.GetHeight();
        std::string ppm = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                uint8_t p[4];
                BufferPixel(image, x, y, p);
                ppm.append(reinterpret_cast<const char*>(p), 3);
            }
        const std::string in = folder / (std::string(picture.name) + ".in.ppm");
        const std::string out = folder / (std::string(picture.name) + ".im.ppm");
        ASSERT_TRUE(WriteBytes(in, std::vector<uint8_t>(ppm.begin(), ppm.end())));
        ASSERT_TRUE(
            RunCommand("/usr/bin/convert " + in + " +dither -colors 256 -depth 8 ppm:" + out));
        RefImage theirs;
        ASSERT_TRUE(ReadRef(out, theirs));
        LImageBuffer magick;
        BufferFromRef(theirs, magick);
        LPalette<LPFB8G8R8> palette;
        ASSERT_EQ(Generate(image, 256, 0, palette, true), LProcessResultSuccess);
        EXPECT_GE(MappedPSNR(image, palette), PSNR(image, magick)) << picture.name;
    }
}

TEST(MedianCutPalette, OnePixelGivesOneEntry)
{
    LImageBuffer image;
    Paint(image, 1, 1, [](int, int) -> std::array<int, 4> { return { 12, 34, 56, 255 }; });
    LPalette<LPFB8G8R8> palette;
    ASSERT_EQ(Generate(image, 256, 1, palette), LProcessResultSuccess);
    EXPECT_EQ(Entries(palette), (std::vector<RGB> { RGB(12, 34, 56) }));

    // A transparent pixel: its colour and the transparent entry.
    Paint(image, 1, 1, [](int, int) -> std::array<int, 4> { return { 12, 34, 56, 0 }; });
    ASSERT_EQ(Generate(image, 256, 1, palette), LProcessResultSuccess);
    EXPECT_EQ(Entries(palette), (std::vector<RGB> { RGB(12, 34, 56), RGB(12, 34, 56) }));
    EXPECT_EQ(palette.GetTransparentIndex(), 1u);
}

TEST(MedianCutPalette, EveryPixelModeNeverRepeatsAColour)
{
    // 40 colours in 3 x 3 x 3 blocks of 8-bit values that share 6-bit cells: mode 1.
    LImageBuffer image;
    auto f = [](int x, int y) -> std::array<int, 4> {
        const int i = (x + y * 7) % 40;
        return { (i % 4) * 64 + (i & 1), (i / 4) * 20 + 1, 250 + i % 3, 255 };
    };
    Paint(image, 120, 90, f);
    LMedianCutColor medianCut(image, 256, true);
    LPalette<LPFB8G8R8> palette;
    LProcessInterfaceVoid job;
    ASSERT_EQ(medianCut.GetOptimizedPalette(job, palette), LProcessResultSuccess);
    EXPECT_EQ(medianCut.GetMode(), 1);
    const std::vector<RGB> entries = Entries(palette);
    EXPECT_EQ(std::set<RGB>(entries.begin(), entries.end()).size(), entries.size());
    EXPECT_LE(entries.size(), 40u);
    // Every colour of the picture is a palette colour: the cut separates them all.
    std::set<RGB> colours;
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 120; ++x) {
            const auto c = f(x, y);
            colours.emplace(c[0], c[1], c[2]);
        }
    EXPECT_EQ(std::set<RGB>(entries.begin(), entries.end()), colours);

    // Two colours asked for, two cells: the halves' rounded means, the later (upper) half first
    // as the newer of two equally long boxes.
    LImageBuffer two;
    Paint(two, 4, 1, [](int x, int) -> std::array<int, 4> {
        const int r[] = { 255, 0, 252, 3 };
        return { r[x], 0, 0, 255 };
    });
    ASSERT_EQ(Generate(two, 2, 1, palette, true), LProcessResultSuccess);
    EXPECT_EQ(Entries(palette), (std::vector<RGB> { RGB(254, 0, 0), RGB(2, 0, 0) }));
}

TEST(MedianCutPalette, CellModeWeighsCellsAndKeepsWhiteAndBlack)
{
    // A grey ramp of 256 levels in 64 cells, half of the picture white and some black: more
    // cells than the 4 colours wanted.
    LImageBuffer image;
    auto f = [](int x, int y) -> std::array<int, 4> {
        if (y < 8)
            return { 255, 255, 255, 255 };
        if (y < 10)
            return { 0, 0, 0, 255 };
        return { x, x, x, 255 };
    };
    Paint(image, 256, 16, f);
    LMedianCutColor medianCut(image, 4, true);
    LPalette<LPFB8G8R8> palette;
    LProcessInterfaceVoid job;
    ASSERT_EQ(medianCut.GetOptimizedPalette(job, palette), LProcessResultSuccess);
    EXPECT_EQ(medianCut.GetMode(), 2);
    const std::vector<RGB> entries = Entries(palette);
    ASSERT_EQ(entries.size(), 4u);
    const std::set<RGB> set(entries.begin(), entries.end());
    EXPECT_TRUE(set.count(RGB(255, 255, 255))) << "white stays 255";

    // The same cut computed here: cells weighted by their pixels, cut at half the pixels of the
    // longest box, each box's colour the weighted mean of its cells spread to 0..255.
    std::map<int, uint64_t> cells;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 256; ++x)
            ++cells[f(x, y)[0] >> 2];
    using Cells = std::vector<std::pair<int, uint64_t>>;
    auto mean = [](const Cells& c) {
        uint64_t sum = 0, n = 0;
        for (auto [v, k] : c)
            sum += uint64_t((v << 2) | (v >> 4)) * k, n += k;
        return int(sum / n);
    };
    auto cut = [](const Cells& c) {
        uint64_t total = 0, sum = 0;
        for (auto& e : c)
            total += e.second;
        size_t k = 1;
        for (; k < c.size(); ++k) {
            sum += c[k - 1].second;
            if (sum >= total / 2)
                break;
        }
        k = std::min(k, c.size() - 1);
        return std::make_pair(Cells(c.begin(), c.begin() + k), Cells(c.begin() + k, c.end()));
    };
    std::vector<Cells> boxes { Cells(cells.begin(), cells.end()) };
    while (boxes.size() < 4) {
        // The longest box first; of equal ones the newest.
        size_t pick = 0;
        int longest = -1;
        for (size_t i = 0; i < boxes.size(); ++i) {
            const int side = boxes[i].back().first - boxes[i].front().first;
            if (side >= longest)
                longest = side, pick = i;
        }
        auto [a, b] = cut(boxes[pick]);
        boxes.erase(boxes.begin() + long(pick));
        boxes.push_back(a);
        boxes.push_back(b);
    }
    std::set<RGB> expected;
    for (const Cells& c : boxes)
        expected.emplace(mean(c), mean(c), mean(c));
    EXPECT_EQ(set, expected);
}

TEST(MedianCutPalette, StopsAndBadImages)
{
    LImageBuffer image;
    Paint(image, 64, 64, [](int x, int y) -> std::array<int, 4> {
        return { x * 4, y * 4, x ^ y, 255 };
    });
    for (int method : { 0, 1 }) {
        for (int stopAfter : { 0, 1, 2, 3 }) {
            LPalette<LPFB8G8R8> palette;
            RecordingJob stopping(stopAfter);
            EXPECT_EQ(Generate(image, 16, method, palette, false, &stopping), LProcessResultStopped)
                << method << " " << stopAfter;
            EXPECT_EQ(palette.GetCount(), 0u);
        }
    }
    LImageBuffer empty;
    LPalette<LPFB8G8R8> palette;
    RecordingJob job;
    LProcessGeneratePaletteFromImage request(empty, 16, 1, false, palette);
    EXPECT_EQ(Process(job, request), LProcessResultError);
    EXPECT_EQ(job.error, "Ogiltig källbild");
}

TEST(MedianCutPalette, BottomUpAndOtherFormatsReadAsPictures)
{
    // The same picture stored bottom-up and as B8G8R8 gives the same palette.
    auto f = [](int x, int y) -> std::array<int, 4> { return { x * 9, y * 9, (x + y) * 4, 255 }; };
    LImageBuffer top, bottom;
    Paint(top, 28, 28, f);
    Paint(bottom, 28, 28, f, true);
    LImageBuffer rgb(LImageFormat(LPixelFormatB8G8R8, 28, 28));
    for (int y = 0; y < 28; ++y)
        for (int x = 0; x < 28; ++x) {
            const auto c = f(x, y);
            unsigned char* p = rgb.GetPictureRow(y) + x * 3;
            p[0] = uint8_t(c[2]), p[1] = uint8_t(c[1]), p[2] = uint8_t(c[0]);
        }
    for (int method : { 0, 1 }) {
        LPalette<LPFB8G8R8> a, b, c;
        ASSERT_EQ(Generate(top, 32, method, a, true), LProcessResultSuccess);
        ASSERT_EQ(Generate(bottom, 32, method, b, true), LProcessResultSuccess);
        ASSERT_EQ(Generate(rgb, 32, method, c, true), LProcessResultSuccess);
        EXPECT_EQ(Entries(a), Entries(b));
        EXPECT_EQ(Entries(a), Entries(c));
    }
}
