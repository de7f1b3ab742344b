// Conversion to indexed colour, plain and with Floyd-Steinberg error diffusion: nearest colours
// against a search done here and against netpbm's pnmremap, transparency, diffusion at the
// picture's edges and the invalid inputs.
#include "ImageTestSupport.h"

#include "lfw/graphics/LConvertToIndexed.h"
#include "lfw/graphics/LPaletteGeneration.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

using namespace imagetest;

namespace {

using Palette = LPalette<LPFB8G8R8>;

void SetEntries(Palette& p, const std::vector<std::array<int, 3>>& rgb)
{
    ASSERT_TRUE(p.SetCount(rgb.size()));
    for (size_t i = 0; i < rgb.size(); ++i) {
        p[i].r = uint8_t(rgb[i][0]);
        p[i].g = uint8_t(rgb[i][1]);
        p[i].b = uint8_t(rgb[i][2]);
    }
}

LProcessResult Convert(const LImageBuffer& source, const Palette& palette, LImageBuffer& out,
    int dithering, LProcessInterface* job = nullptr)
{
    LProcessInterfaceVoid quiet;
    LProcessConvertImageToIndexed<LPFB8G8R8> request(source, palette, out, dithering);
    return Process(job ? *job : quiet, request);
}

int Index(const LImageBuffer& indexed, int x, int y)
{
    return indexed.GetPictureRow(y)[x];
}

int Distance(const LPFB8G8R8& e, const uint8_t rgb[3])
{
    const int dr = e.r - rgb[0], dg = e.g - rgb[1], db = e.b - rgb[2];
    return dr * dr + dg * dg + db * db;
}

std::string PPM(int w, int h, const std::vector<uint8_t>& rgb)
{
    std::string s = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    s.append(reinterpret_cast<const char*>(rgb.data()), rgb.size());
    return s;
}

// 27 colours: every mix of 0, 128 and 255.
std::vector<std::array<int, 3>> Levels()
{
    std::vector<std::array<int, 3>> out;
    for (int r : { 0, 128, 255 })
        for (int g : { 0, 128, 255 })
            for (int b : { 0, 128, 255 })
                out.push_back({ r, g, b });
    return out;
}

} // namespace

TEST(IndexedColour, NearestColourAsASearchOverThePaletteFindsIt)
{
    Palette palette;
    SetEntries(palette,
        { { 10, 10, 10 }, { 200, 30, 30 }, { 200, 30, 30 }, { 30, 200, 30 }, { 30, 30, 200 },
            { 250, 250, 250 }, { 10, 10, 10 } });
    LImageBuffer image;
    uint32_t seed = 1;
    Paint(image, 97, 61, [&](int, int) -> std::array<int, 4> {
        seed = seed * 1664525u + 1013904223u;
        return { int(seed >> 24), int(seed >> 16 & 255), int(seed >> 8 & 255), 255 };
    });
    LImageBuffer out;
    RecordingJob job;
    LProcessConvertImageToIndexed<LPFB8G8R8> request(image, palette, out, 0);
    ASSERT_EQ(Process(job, request), LProcessResultSuccess);
    EXPECT_EQ(job.statuses.front(), "Konvertera till indexerad färg");
    ASSERT_EQ(out.GetPixelFormat(), LPixelFormatI8);
    ASSERT_EQ(out.GetWidth(), 97);
    int wrong = 0;
    for (int y = 0; y < 61; ++y)
        for (int x = 0; x < 97; ++x) {
            uint8_t p[4];
            BufferPixel(image, x, y, p);
            // The first of the nearest entries.
            int best = 0;
            for (int i = 1; i < 7; ++i)
                if (Distance(palette[i], p) < Distance(palette[best], p))
                    best = i;
            wrong += Index(out, x, y) != best;
        }
    EXPECT_EQ(wrong, 0);

    // A colour of the palette maps to its first entry.
    Paint(image, 2, 1, [](int x, int) -> std::array<int, 4> {
        return x ? std::array<int, 4> { 200, 30, 30, 255 } : std::array<int, 4> { 10, 10, 10, 255 };
    });
    for (int dithering : { 0, 1 }) {
        ASSERT_EQ(Convert(image, palette, out, dithering), LProcessResultSuccess);
        EXPECT_EQ(Index(out, 0, 0), 0);
        EXPECT_EQ(Index(out, 1, 0), 1);
    }
}

TEST(IndexedColour, CachedLookUpsAgreeWithThePalettesOwnSearch)
{
    // Palettes of every size class, with repeated entries and a transparent entry, against the
    // palette's plain search, colour by colour.
    uint32_t seed = 5;
    auto next = [&]() { return seed = seed * 1664525u + 1013904223u; };
    for (int n : { 1, 2, 3, 17, 100, 255, 256 }) {
        Palette palette;
        ASSERT_TRUE(palette.SetCount(uint64_t(n)));
        for (int i = 0; i < n; ++i) {
            // Coarse values make ties between entries common.
            palette[i].r = uint8_t((next() >> 29) * 36);
            palette[i].g = uint8_t((next() >> 29) * 36);
            palette[i].b = uint8_t((next() >> 29) * 36);
        }
        if (n > 2)
            palette.SetTransparentIndex(uint32_t(n / 2));
        LImageBuffer image;
        Paint(image, 64, 64, [&](int, int) -> std::array<int, 4> {
            return { int(next() >> 24), int(next() >> 24), int(next() >> 24), 255 };
        });
        LImageBuffer out;
        ASSERT_EQ(Convert(image, palette, out, 0), LProcessResultSuccess);
        int differ = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                uint8_t p[4];
                BufferPixel(image, x, y, p);
                LPFB8G8R8 c;
                c.r = p[0], c.g = p[1], c.b = p[2];
                differ += uint32_t(Index(out, x, y)) != palette.GetIndexOfClosestMatch(c);
            }
        EXPECT_EQ(differ, 0) << n;
    }
}

TEST(IndexedColour, PlainMappingMatchesPnmremap)
{
    if (!HaveTool("/usr/bin/pnmremap"))
        GTEST_SKIP() << "netpbm is not installed";
    TempFolder folder;
    Palette palette;
    SetEntries(palette, Levels());
    std::vector<uint8_t> map;
    for (const auto& e : Levels())
        map.insert(map.end(), { uint8_t(e[0]), uint8_t(e[1]), uint8_t(e[2]) });
    const std::string mapText = PPM(27, 1, map);
    ASSERT_TRUE(
        WriteBytes(folder / "map.ppm", std::vector<uint8_t>(mapText.begin(), mapText.end())));

    LImageBuffer image;
    std::vector<uint8_t> rgb;
    Paint(image, 64, 48, [&](int x, int y) -> std::array<int, 4> {
        const std::array<int, 4> c { x * 4 + 1, y * 5 + 2, (x * y) % 251, 255 };
        rgb.insert(rgb.end(), { uint8_t(c[0]), uint8_t(c[1]), uint8_t(c[2]) });
        return c;
    });
    const std::string src = PPM(64, 48, rgb);
    ASSERT_TRUE(WriteBytes(folder / "src.ppm", std::vector<uint8_t>(src.begin(), src.end())));
    ASSERT_TRUE(RunCommand("pnmremap -nofloyd -mapfile=" + folder / "map.ppm" + " "
        + folder / "src.ppm" + " >" + folder / "out.ppm" + " 2>/dev/null"));
    RefImage ref;
    ASSERT_TRUE(ReadRef(folder / "out.ppm", ref));

    LImageBuffer out;
    ASSERT_EQ(Convert(image, palette, out, 0), LProcessResultSuccess);
    int farther = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            uint8_t p[4];
            BufferPixel(image, x, y, p);
            const LPFB8G8R8& ours = palette[Index(out, x, y)];
            LPFB8G8R8 theirs;
            theirs.r = ref.At(x, y)[0], theirs.g = ref.At(x, y)[1], theirs.b = ref.At(x, y)[2];
            // Ties may be broken otherwise; the distance is the same.
            farther += Distance(ours, p) != Distance(theirs, p);
        }
    EXPECT_EQ(farther, 0);
}

TEST(IndexedColour, FloydSteinbergErrorIsAsPnmremapsOnAGradient)
{
    if (!HaveTool("/usr/bin/pnmremap"))
        GTEST_SKIP() << "netpbm is not installed";
    TempFolder folder;
    const int w = 256, h = 128;
    LImageBuffer image;
    std::vector<uint8_t> rgb;
    Paint(image, w, h, [&](int x, int y) -> std::array<int, 4> {
        const std::array<int, 4> c { x, y * 2, (x + y) / 2, 255 };
        rgb.insert(rgb.end(), { uint8_t(c[0]), uint8_t(c[1]), uint8_t(c[2]) });
        return c;
    });
    const std::string src = PPM(w, h, rgb);
    ASSERT_TRUE(WriteBytes(folder / "src.ppm", std::vector<uint8_t>(src.begin(), src.end())));

    // The palette a GIF of the gradient gets (256 colours by median cut), and a coarse one.
    for (int coarse : { 0, 1 }) {
        Palette palette;
        if (coarse) {
            SetEntries(palette, Levels());
        } else {
            LProcessInterfaceVoid quiet;
            LProcessGeneratePaletteFromImage request(image, 256, 1, true, palette);
            ASSERT_EQ(Process(quiet, request), LProcessResultSuccess);
        }
        std::vector<uint8_t> map;
        for (uint64_t i = 0; i < palette.GetCount(); ++i)
            map.insert(map.end(), { palette[i].r, palette[i].g, palette[i].b });
        const std::string mapText = PPM(int(palette.GetCount()), 1, map);
        ASSERT_TRUE(
            WriteBytes(folder / "map.ppm", std::vector<uint8_t>(mapText.begin(), mapText.end())));
        ASSERT_TRUE(RunCommand("pnmremap -floyd -norandom -mapfile=" + folder / "map.ppm" + " "
            + folder / "src.ppm" + " >" + folder / "out.ppm" + " 2>/dev/null"));
        RefImage ref;
        ASSERT_TRUE(ReadRef(folder / "out.ppm", ref));

        LImageBuffer out;
        ASSERT_EQ(Convert(image, palette, out, 1), LProcessResultSuccess);
        // The mean error per channel, per pixel and over blocks of 8 x 8 pixels (what the eye
        // sees from a distance), and the plain mapping's over blocks.
        LImageBuffer plain;
        ASSERT_EQ(Convert(image, palette, plain, 0), LProcessResultSuccess);
        double ours = 0, theirs = 0, oursBlock = 0, theirsBlock = 0, plainBlock = 0;
        for (int by = 0; by < h; by += 8)
            for (int bx = 0; bx < w; bx += 8) {
                double sumSrc[3] = {}, sumOurs[3] = {}, sumTheirs[3] = {}, sumPlain[3] = {};
                for (int y = by; y < by + 8; ++y)
                    for (int x = bx; x < bx + 8; ++x) {
                        uint8_t p[4];
                        BufferPixel(image, x, y, p);
                        const LPFB8G8R8& e = palette[Index(out, x, y)];
                        const LPFB8G8R8& q = palette[Index(plain, x, y)];
                        const int o[3] = { e.r, e.g, e.b }, n[3] = { q.r, q.g, q.b };
                        for (int c = 0; c < 3; ++c) {
                            ours += std::abs(o[c] - p[c]);
                            theirs += std::abs(int(ref.At(x, y)[c]) - p[c]);
                            sumSrc[c] += p[c], sumOurs[c] += o[c], sumTheirs[c] += ref.At(x, y)[c];
                            sumPlain[c] += n[c];
                        }
                    }
                for (int c = 0; c < 3; ++c) {
                    oursBlock += std::abs(sumOurs[c] - sumSrc[c]) / 64;
                    theirsBlock += std::abs(sumTheirs[c] - sumSrc[c]) / 64;
                    plainBlock += std::abs(sumPlain[c] - sumSrc[c]) / 64;
                }
            }
        ours /= w * h * 3;
        theirs /= w * h * 3;
        const double blocks = (w / 8) * (h / 8) * 3;
        oursBlock /= blocks, theirsBlock /= blocks, plainBlock /= blocks;
        if (!coarse) {
            EXPECT_NEAR(ours, theirs, theirs * 0.1) << ours << " against " << theirs;
        } else {
            // pnmremap keeps less of the error with few colours: its pixels lie nearer their
            // sources, its blocks farther.
            EXPECT_LT(ours, theirs * 1.2) << ours << " against " << theirs;
        }
        EXPECT_LT(oursBlock, theirsBlock * 1.1) << oursBlock << " against " << theirsBlock;
        EXPECT_GT(plainBlock, (coarse ? 3 : 1.5) * oursBlock) << coarse;
        std::printf("%s palette: per pixel %.2f (pnmremap %.2f); over blocks %.2f (pnmremap "
                    "%.2f, plain %.2f)\n",
            coarse ? "27-colour" : "256-colour", ours, theirs, oursBlock, theirsBlock, plainBlock);
    }
}

TEST(IndexedColour, TransparentPixelsAloneGetTheTransparentIndex)
{
    // The transparent entry has the colour of the opaque pixels: they still never get it.
    Palette palette;
    SetEntries(palette, { { 0, 0, 0 }, { 255, 255, 255 }, { 90, 90, 90 }, { 90, 90, 90 } });
    palette.SetTransparentIndex(2);
    LImageBuffer image;
    Paint(image, 20, 10, [](int x, int y) -> std::array<int, 4> {
        if ((x + y) % 3 == 0)
            return { 255, 255, 255, 0 };
        return { 90, 90, 90, x == 5 ? 1 : 255 };
    });
    for (int dithering : { 0, 1 }) {
        LImageBuffer out;
        ASSERT_EQ(Convert(image, palette, out, dithering), LProcessResultSuccess);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 20; ++x) {
                if ((x + y) % 3 == 0)
                    EXPECT_EQ(Index(out, x, y), 2) << x << "," << y;
                else
                    EXPECT_EQ(Index(out, x, y), 3) << x << "," << y << " " << dithering;
            }
    }
    // A transparent index beyond the entries is no transparent index.
    palette.SetTransparentIndex(9);
    LImageBuffer out;
    ASSERT_EQ(Convert(image, palette, out, 1), LProcessResultSuccess);
    EXPECT_EQ(Index(out, 0, 0), 1);
}

TEST(IndexedColour, DiffusionAtTheEdgesAndSaturation)
{
    // One row of grey 100 between black and white: the error goes only to the right.
    Palette palette;
    SetEntries(palette, { { 0, 0, 0 }, { 255, 255, 255 } });
    LImageBuffer row;
    Paint(row, 8, 1, [](int, int) -> std::array<int, 4> { return { 100, 100, 100, 255 }; });
    LImageBuffer out;
    ASSERT_EQ(Convert(row, palette, out, 1), LProcessResultSuccess);
    // By hand: 100 -> 0 (e 100, +43); 143 -> 1 (e -112, -49); 51 -> 0 (+22); 122 -> 0 (+53);
    // 153 -> 1 (-102 x 7 / 16 = -44); 56 -> 0 (+24); 124 -> 0 (+54); 154 -> 1.
    std::vector<int> got;
    for (int x = 0; x < 8; ++x)
        got.push_back(Index(out, x, 0));
    EXPECT_EQ(got, (std::vector<int> { 0, 1, 0, 0, 1, 0, 0, 1 }));

    // Saturation: near-white pixels with a palette of black and mid grey never overflow into
    // black (a wrapped byte would read as a dark value).
    SetEntries(palette, { { 0, 0, 0 }, { 128, 128, 128 } });
    LImageBuffer bright;
    Paint(bright, 16, 16, [](int, int) -> std::array<int, 4> { return { 250, 250, 250, 255 }; });
    ASSERT_EQ(Convert(bright, palette, out, 1), LProcessResultSuccess);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(Index(out, x, y), 1) << x << "," << y;
    // And dark pixels with a palette of white and mid grey never underflow into white.
    SetEntries(palette, { { 255, 255, 255 }, { 128, 128, 128 } });
    Paint(bright, 16, 16, [](int, int) -> std::array<int, 4> { return { 3, 3, 3, 255 }; });
    ASSERT_EQ(Convert(bright, palette, out, 1), LProcessResultSuccess);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(Index(out, x, y), 1) << x << "," << y;

    // One column: the error goes straight down only (no lower-left, no right).
    SetEntries(palette, { { 0, 0, 0 }, { 255, 255, 255 } });
    LImageBuffer column;
    Paint(column, 1, 4, [](int, int) -> std::array<int, 4> { return { 100, 100, 100, 255 }; });
    ASSERT_EQ(Convert(column, palette, out, 1), LProcessResultSuccess);
    // 100 -> 0 (+31); 131 -> 1 (-124 x 5 / 16 = -38); 62 -> 0 (+19); 119 -> 0.
    EXPECT_EQ(Index(out, 0, 0), 0);
    EXPECT_EQ(Index(out, 0, 1), 1);
    EXPECT_EQ(Index(out, 0, 2), 0);
    EXPECT_EQ(Index(out, 0, 3), 0);
}

TEST(IndexedColour, RefusesBadInputAndStops)
{
    LImageBuffer image;
    Paint(image, 30, 30, [](int x, int y) -> std::array<int, 4> {
        return { x * 8, y * 8, 0, 255 };
    });
    LImageBuffer out;
    RecordingJob job;
    Palette empty;
    LProcessConvertImageToIndexed<LPFB8G8R8> none(image, empty, out, 0);
    EXPECT_EQ(Process(job, none), LProcessResultError);
    EXPECT_EQ(job.error, "Ogiltig färgpalett");

    // 257 entries do not fit byte indices: refused rather than mapped to wrong entries.
    Palette big;
    ASSERT_TRUE(big.SetCount(257));
    for (int i = 0; i < 257; ++i)
        big[i].r = uint8_t(i), big[i].g = uint8_t(i / 2), big[i].b = 0;
    job.error.clear();
    LProcessConvertImageToIndexed<LPFB8G8R8> tooMany(image, big, out, 1);
    EXPECT_EQ(Process(job, tooMany), LProcessResultError);
    EXPECT_EQ(job.error, "Ogiltig färgpalett");

    LImageBuffer invalid;
    Palette two;
    SetEntries(two, { { 0, 0, 0 }, { 255, 255, 255 } });
    job.error.clear();
    LProcessConvertImageToIndexed<LPFB8G8R8> noImage(invalid, two, out, 1);
    EXPECT_EQ(Process(job, noImage), LProcessResultError);
    EXPECT_EQ(job.error, "Ogiltig källbild");

    for (int dithering : { 0, 1 }) {
        RecordingJob stopping(3);
        EXPECT_EQ(Convert(image, two, out, dithering, &stopping), LProcessResultStopped);
    }
}

TEST(IndexedColour, ALargePictureIsMappedInBandsAsThePalettesSearchFindsIt)
{
    // Large enough to be mapped in bands at once: every pixel of the picture, stored top-down
    // and bottom-up, gets the entry the palette's own search finds, the transparent ones the
    // transparent index; a stop ends the conversion with every band.
    uint32_t seed = 11;
    auto next = [&]() { return seed = seed * 1664525u + 1013904223u; };
    Palette palette;
    ASSERT_TRUE(palette.SetCount(200));
    for (int i = 0; i < 200; ++i) {
        palette[i].r = uint8_t(next() >> 24);
        palette[i].g = uint8_t(next() >> 24);
        palette[i].b = uint8_t(next() >> 24);
    }
    palette.SetTransparentIndex(77);
    auto f = [](int x, int y) -> std::array<int, 4> {
        return { (x * 7 + y) % 256, (y * 3 + x / 5) % 256, (x ^ y) % 256,
            (x + y) % 97 == 0 ? 0 : 255 };
    };
    constexpr int kWidth = 640, kHeight = 480;
    for (const bool bottomUp : { false, true }) {
        LImageBuffer image, out;
        Paint(image, kWidth, kHeight, f, bottomUp);
        ASSERT_EQ(Convert(image, palette, out, 0), LProcessResultSuccess);
        int differ = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const auto c = f(x, y);
                LPFB8G8R8 colour;
                colour.r = uint8_t(c[0]), colour.g = uint8_t(c[1]), colour.b = uint8_t(c[2]);
                const uint32_t expected
                    = c[3] == 0 ? 77u : uint32_t(palette.GetIndexOfClosestMatch(colour));
                differ += uint32_t(Index(out, x, y)) != expected;
            }
        EXPECT_EQ(differ, 0) << (bottomUp ? "bottom-up" : "top-down");

        RecordingJob stopping(20);
        EXPECT_EQ(Convert(image, palette, out, 0, &stopping), LProcessResultStopped);
    }
}

TEST(IndexedColour, APaletteCrowdedInOneCornerMapsEveryColourAsItsOwnSearchFindsIt)
{
    // Most entries close together in the dark corner (ties among them included), a few far away:
    // the colours of every part of the cube, near the crowd and far from it, get the first of
    // their nearest entries, as the palette's own search finds it.
    Palette palette;
    std::vector<std::array<int, 3>> rgb;
    for (int i = 0; i < 190; ++i)
        rgb.push_back({ (i * 7) % 41, (i * 13) % 37, (i * 5) % 43 });
    rgb.push_back({ 20, 20, 20 }); // the same colour twice: the first stays
    rgb.push_back({ 20, 20, 20 });
    for (const auto& far : std::vector<std::array<int, 3>> {
             { 255, 255, 255 }, { 250, 10, 10 }, { 10, 250, 10 }, { 128, 128, 250 } })
        rgb.push_back(far);
    SetEntries(palette, rgb);
    constexpr int kSide = 64; // every fourth level of each channel, and the levels next to them
    LImageBuffer image, out;
    auto f = [](int x, int y) -> std::array<int, 4> {
        return { x * 4 + y % 2, y * 4 + x % 3, (x + y) % kSide * 4 + 1, 255 };
    };
    Paint(image, kSide, kSide, f);
    ASSERT_EQ(Convert(image, palette, out, 0), LProcessResultSuccess);
    int differ = 0;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const auto c = f(x, y);
            LPFB8G8R8 colour;
            colour.r = uint8_t(c[0]), colour.g = uint8_t(c[1]), colour.b = uint8_t(c[2]);
            differ += uint32_t(Index(out, x, y)) != palette.GetIndexOfClosestMatch(colour);
        }
    EXPECT_EQ(differ, 0);
}
