// Sun raster: netpbm's and ImageMagick's files against the tools' decoding of them, the
// writer's exact bytes and its files read back by netpbm, and hostile input.
#include "ImageTestSupport.h"

#include "lfw/graphics/LImageFile.h"
#include "lfw/graphics/LRASCodec.h"

#include <gtest/gtest.h>

using namespace imagetest;

namespace {

std::vector<uint8_t> Header(uint32_t width, uint32_t height, uint32_t depth, uint32_t type = 1,
    uint32_t mapType = 0, uint32_t mapLength = 0, uint32_t magic = 0x59A66A95)
{
    std::vector<uint8_t> h;
    for (uint32_t v : { magic, width, height, depth, 0u, type, mapType, mapLength })
        for (int shift = 24; shift >= 0; shift -= 8)
            h.push_back(uint8_t(v >> shift));
    return h;
}

} // namespace

struct RASCase {
    const char* file;
    bool alpha;
};

void PrintTo(const RASCase& c, std::ostream* os)
{
    *os << c.file;
}

class RASFixtures : public ::testing::TestWithParam<RASCase> { };

TEST_P(RASFixtures, DecodeAsTheToolsDo)
{
    const RASCase& c = GetParam();
    const std::string name = c.file;
    RefImage ref;
    ASSERT_TRUE(ReadRef(Fixture(name + (c.alpha ? ".ref.pam" : ".ref.ppm")), ref));
    const std::vector<uint8_t> bytes = ReadBytes(Fixture(name + ".ras"));
    LImageBuffer buffer;
    const CodecLoaded l = LoadBytes<LProcessRASLoad>(bytes, buffer);
    ASSERT_EQ(l.result, LProcessResultSuccess);
    EXPECT_EQ(l.value, 24); // whatever the depth
    EXPECT_EQ(buffer.GetPixelFormat(), c.alpha ? LPixelFormatB8G8R8A8 : LPixelFormatB8G8R8);
    EXPECT_EQ(MaxDifference(buffer, ref, c.alpha), 0);
    // The files carry no padding beyond the last line, so every cut fails.
    ExpectCutsFail<LProcessRASLoad>(bytes, bytes.size(), name);
}

INSTANTIATE_TEST_SUITE_P(All, RASFixtures,
    ::testing::Values(RASCase { "ras1_rle", false }, RASCase { "ras1", false },
        RASCase { "ras8_rle", false }, RASCase { "ras8", false }, RASCase { "ras24", false },
        RASCase { "ras24_rgb", false }, RASCase { "ras8_im", false },
        RASCase { "ras_grey8", false }, RASCase { "ras32_rgb", true }, RASCase { "ras32", true }),
    [](const auto& info) { return std::string(info.param.file); });

TEST(RASCodec, LinesMapsAndRuns)
{
    LImageBuffer buffer;
    // A 1-bit line of width 17 takes 4 bytes; set bits are black.
    std::vector<uint8_t> mono
        = Header(17, 2, 1) + std::vector<uint8_t> { 0x80, 0, 0x80, 0xFF, 0, 0, 0x7F, 0xFF };
    ASSERT_EQ(LoadBytes<LProcessRASLoad>(mono, buffer).result, LProcessResultSuccess);
    EXPECT_EQ(PixelRGBA(buffer, 0, 0)[0], 0);
    EXPECT_EQ(PixelRGBA(buffer, 1, 0)[0], 255);
    EXPECT_EQ(PixelRGBA(buffer, 16, 0)[0], 0);
    EXPECT_EQ(PixelRGBA(buffer, 0, 1)[0], 255);
    EXPECT_EQ(PixelRGBA(buffer, 16, 1)[0], 255);
    // An 8-bit map of 768 bytes: index i takes byte i of each plane.
    std::vector<uint8_t> map(768);
    for (int i = 0; i < 768; ++i)
        map[size_t(i)] = uint8_t(i * 7);
    std::vector<uint8_t> mapped = Header(2, 1, 8, 1, 1, 768) + map + std::vector<uint8_t> { 0, 5 };
    ASSERT_EQ(LoadBytes<LProcessRASLoad>(mapped, buffer).result, LProcessResultSuccess);
    EXPECT_EQ(PixelRGBA(buffer, 0, 0), (std::vector<int> { map[0], map[256], map[512], 255 }));
    EXPECT_EQ(PixelRGBA(buffer, 1, 0), (std::vector<int> { map[5], map[261], map[517], 255 }));
    // A run 0x80 3 7 gives four 7s; 0x80 0 a single 0x80; a run goes on into the next line.
    // Lines of width 3 at 8 bits hold 4 bytes.
    std::vector<uint8_t> four = Header(4, 1, 8, 2) + std::vector<uint8_t> { 0x80, 3, 7 };
    ASSERT_EQ(LoadBytes<LProcessRASLoad>(four, buffer).result, LProcessResultSuccess);
    EXPECT_EQ(PixelRGBA(buffer, 3, 0)[0], 7);
    std::vector<uint8_t> runs
        = Header(3, 2, 8, 2) + std::vector<uint8_t> { 0x80, 0, 0x80, 4, 7, 9, 0x80, 0 };
    ASSERT_EQ(LoadBytes<LProcessRASLoad>(runs, buffer).result, LProcessResultSuccess);
    EXPECT_EQ(PixelRGBA(buffer, 0, 0)[0], 0x80);
    EXPECT_EQ(PixelRGBA(buffer, 1, 0)[0], 7);
    EXPECT_EQ(PixelRGBA(buffer, 2, 0)[0], 7);
    EXPECT_EQ(PixelRGBA(buffer, 0, 1)[0], 7);
    EXPECT_EQ(PixelRGBA(buffer, 1, 1)[0], 7);
    EXPECT_EQ(PixelRGBA(buffer, 2, 1)[0], 9);
    // 24 bits: blue, green, red in the standard type, red, green, blue in the RGB type.
    const std::vector<uint8_t> rgb = { 1, 2, 3, 0 };
    ASSERT_EQ(LoadBytes<LProcessRASLoad>(Header(1, 1, 24, 1) + rgb, buffer).result,
        LProcessResultSuccess);
    EXPECT_EQ(PixelRGBA(buffer, 0, 0), (std::vector<int> { 3, 2, 1, 255 }));
    ASSERT_EQ(LoadBytes<LProcessRASLoad>(Header(1, 1, 24, 3) + rgb, buffer).result,
        LProcessResultSuccess);
    EXPECT_EQ(PixelRGBA(buffer, 0, 0), (std::vector<int> { 1, 2, 3, 255 }));
    // 32 bits: the first byte is alpha.
    ASSERT_EQ(LoadBytes<LProcessRASLoad>(Header(1, 1, 32, 1) + rgb, buffer).result,
        LProcessResultSuccess);
    EXPECT_EQ(PixelRGBA(buffer, 0, 0), (std::vector<int> { 0, 3, 2, 1 }));
    ASSERT_EQ(LoadBytes<LProcessRASLoad>(Header(1, 1, 32, 3) + rgb, buffer).result,
        LProcessResultSuccess);
    EXPECT_EQ(PixelRGBA(buffer, 0, 0), (std::vector<int> { 2, 3, 0, 1 }));
}

TEST(RASCodec, HostileInput)
{
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    const std::vector<uint8_t> data(64, 1);
    const std::vector<uint8_t> map6 = { 1, 2, 3, 4, 5, 6 };
    const Case cases[] = {
        { "wrong magic", Header(2, 2, 24, 1, 0, 0, 0x59A66A96) + data },
        { "type 4", Header(2, 2, 24, 4) + data },
        { "24 bits with a map", Header(2, 2, 24, 1, 1, 6) + map6 + data },
        { "32 bits with a map", Header(2, 2, 32, 1, 1, 6) + map6 + data },
        { "8 bits, map type 2", Header(2, 2, 8, 1, 2, 6) + map6 + data },
        { "1 bit, map type 2", Header(2, 2, 1, 1, 2, 6) + map6 + data },
        { "depth 4", Header(2, 2, 4) + data },
        { "depth 16", Header(2, 2, 16) + data },
        { "depth 0", Header(2, 2, 0) + data },
        { "map over 768 bytes", Header(2, 2, 8, 1, 1, 771) + std::vector<uint8_t>(900, 0) },
        { "short map", Header(2, 2, 8, 1, 1, 768) + data },
        // Indices the map does not hold.
        { "index beyond the map", Header(2, 1, 8, 1, 1, 6) + map6 + std::vector<uint8_t> { 1, 2 } },
        { "index with an empty map", Header(2, 1, 8, 1, 1, 0) + std::vector<uint8_t> { 0, 0 } },
        { "1-bit index beyond the map",
            Header(2, 1, 1, 1, 1, 3) + std::vector<uint8_t> { 1, 2, 3, 0x40, 0 } },
        // Sizes the data cannot hold: nothing is allocated.
        { "huge", Header(100000, 100000, 24) + data },
        { "huge encoded", Header(4000, 4000, 32, 2) + data },
        { "zero width", Header(0, 2, 24) + data },
        { "header only", Header(1, 1, 24) },
        { "run past the data", Header(4, 1, 8, 2) + std::vector<uint8_t> { 0x80, 2 } },
    };
    for (const Case& c : cases) {
        LImageBuffer buffer;
        EXPECT_EQ(LoadBytes<LProcessRASLoad>(c.bytes, buffer).result, LProcessResultError)
            << c.what;
        if (std::string(c.what).find("huge") != std::string::npos
            || std::string(c.what).find("depth") != std::string::npos) {
            EXPECT_FALSE(buffer.HasStore()) << c.what;
        }
    }
}

TEST(RASCodec, WriterBytes)
{
    // 3 x 1: 32 bytes of header and a line of 9 pixel bytes and a zero.
    LImageBuffer image(LImageFormat(LPixelFormatB8G8R8A8, 3, 1));
    const uint8_t px[12] = { 1, 2, 3, 0, 4, 5, 6, 100, 7, 8, 9, 255 };
    std::memcpy(image.GetRow(0), px, 12);
    const std::vector<uint8_t> out = SaveBytes<LProcessRASSave>(image);
    EXPECT_EQ(out, (Header(3, 1, 24) + std::vector<uint8_t> { 1, 2, 3, 4, 5, 6, 7, 8, 9, 0 }));
    // An even line has no padding; other formats are converted.
    LImageBuffer rgb(LImageFormat(LPixelFormatR8G8B8, 2, 1));
    const uint8_t rgbPx[6] = { 1, 2, 3, 4, 5, 6 };
    std::memcpy(rgb.GetRow(0), rgbPx, 6);
    EXPECT_EQ(SaveBytes<LProcessRASSave>(rgb),
        (Header(2, 1, 24) + std::vector<uint8_t> { 3, 2, 1, 6, 5, 4 }));
}

TEST(RASCodec, OurFilesReadByNetpbmAndThroughTheCodecTable)
{
    RefImage ref;
    ASSERT_TRUE(ReadRef(Fixture("ras24.ref.ppm"), ref));
    LImageBuffer source;
    BufferFromRef(ref, source, true);
    TempFolder folder;
    const std::string path = folder / "ours.ras";
    ASSERT_TRUE(LImage::Save(source, path.c_str()));
    LImageBuffer back;
    EXPECT_EQ(LImage::Load(back, path.c_str(), 0), 24u);
    EXPECT_EQ(MaxDifference(back, ref), 0);
    // Any Sun raster loads as 24 bits per pixel.
    EXPECT_EQ(LImage::Load(back, Fixture("ras1_rle.ras").c_str(), 0), 24u);
    if (!HaveTool("/usr/bin/rasttopnm"))
        GTEST_SKIP() << "netpbm is not installed";
    const std::string ppm = folder / "ours.ppm";
    ASSERT_TRUE(RunCommand("rasttopnm " + path + " >" + ppm + " 2>/dev/null"));
    RefImage theirs;
    ASSERT_TRUE(ReadRef(ppm, theirs));
    EXPECT_EQ(theirs.rgba, ref.rgba);
}
