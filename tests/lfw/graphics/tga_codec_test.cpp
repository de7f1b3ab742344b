// TGA: netpbm's and ImageMagick's files in every storage and origin against the tools' decoding
// of them, the writer's choice of storage and its files read back by netpbm, and hostile input.
#include "ImageTestSupport.h"

#include "lfw/graphics/LImageFile.h"
#include "lfw/graphics/LTGACodec.h"

#include <gtest/gtest.h>

using namespace imagetest;

namespace {

std::vector<uint8_t> Header(int type, int width, int height, int depth, int descriptor = 0x20,
    int mapType = 0, int mapFirst = 0, int mapLength = 0, int mapEntry = 0)
{
    return { 0, uint8_t(mapType), uint8_t(type), uint8_t(mapFirst), uint8_t(mapFirst >> 8),
        uint8_t(mapLength), uint8_t(mapLength >> 8), uint8_t(mapEntry), 0, 0, 0, 0, uint8_t(width),
        uint8_t(width >> 8), uint8_t(height), uint8_t(height >> 8), uint8_t(depth),
        uint8_t(descriptor) };
}

} // namespace

struct TGACase {
    const char* file;
    const char* ref;
    int32_t depth;
    bool alpha;
};

void PrintTo(const TGACase& c, std::ostream* os)
{
    *os << c.file;
}

class TGAFixtures : public ::testing::TestWithParam<TGACase> { };

TEST_P(TGAFixtures, DecodeAsTheToolsDo)
{
    const TGACase& c = GetParam();
    RefImage ref;
    ASSERT_TRUE(ReadRef(Fixture(c.ref), ref));
    const std::vector<uint8_t> bytes = ReadBytes(Fixture(std::string(c.file) + ".tga"));
    LImageBuffer buffer;
    const CodecLoaded l = LoadBytes<LProcessTGALoad>(bytes, buffer);
    ASSERT_EQ(l.result, LProcessResultSuccess);
    EXPECT_EQ(l.value, c.depth);
    EXPECT_EQ(buffer.GetPixelFormat(), c.alpha ? LPixelFormatB8G8R8A8 : LPixelFormatB8G8R8);
    EXPECT_FALSE(buffer.IsBottomUp());
    EXPECT_EQ(MaxDifference(buffer, ref, c.alpha), 0);
    ExpectCutsFail<LProcessTGALoad>(bytes, bytes.size(), c.file);
}

INSTANTIATE_TEST_SUITE_P(All, TGAFixtures,
    ::testing::Values(TGACase { "tga_cmap_rle", "tga_cmap_rle.ref.ppm", 8, false },
        TGACase { "tga_grey_rle", "tga_grey_rle.ref.ppm", 8, false },
        TGACase { "tga_rgb_rle", "tga_rgb_rle.ref.ppm", 24, false },
        TGACase { "tga_rgb", "tga_rgb.ref.ppm", 24, false },
        TGACase { "tga_im", "tga_im.ref.ppm", 24, false },
        TGACase { "tga_im_topleft", "tga_im_topleft.ref.ppm", 24, false },
        TGACase { "tga_im_rle", "tga_im_rle.ref.ppm", 24, false },
        TGACase { "tga_im_grey", "tga_im_grey.ref.ppm", 8, false },
        TGACase { "tga_im_cmap", "tga_im_cmap.ref.ppm", 8, false },
        TGACase { "tga_im_alpha", "tga_im_alpha.ref.pam", 32, true },
        TGACase { "tga_topright", "tga_right.ref.ppm", 24, false },
        TGACase { "tga_botright", "tga_right.ref.ppm", 24, false },
        TGACase { "tga16", "tga16.ref.ppm", 16, false }),
    [](const auto& info) { return std::string(info.param.file); });

TEST(TGACodec, PixelKindsAndColourMaps)
{
    LImageBuffer buffer;
    // 16-bit pixels: 0x7FFF is white, 0x001F pure blue; bit 15 does not matter.
    std::vector<uint8_t> sixteen
        = Header(2, 2, 1, 16) + std::vector<uint8_t> { 0xFF, 0x7F, 0x1F, 0x80 };
    ASSERT_EQ(LoadBytes<LProcessTGALoad>(sixteen, buffer).result, LProcessResultSuccess);
    EXPECT_EQ(PixelRGBA(buffer, 0, 0), (std::vector<int> { 255, 255, 255, 255 }));
    EXPECT_EQ(PixelRGBA(buffer, 1, 0), (std::vector<int> { 0, 0, 255, 255 }));
    // 32 bits with 0 alpha bits load without alpha; 4 alpha bits are refused.
    std::vector<uint8_t> bgra = std::vector<uint8_t> { 1, 2, 3, 4 };
    ASSERT_EQ(LoadBytes<LProcessTGALoad>(Header(2, 1, 1, 32, 0x20) + bgra, buffer).value, 32);
    EXPECT_EQ(buffer.GetPixelFormat(), LPixelFormatB8G8R8);
    ASSERT_EQ(LoadBytes<LProcessTGALoad>(Header(2, 1, 1, 32, 0x28) + bgra, buffer).result,
        LProcessResultSuccess);
    EXPECT_EQ(PixelRGBA(buffer, 0, 0), (std::vector<int> { 3, 2, 1, 4 }));
    EXPECT_EQ(LoadBytes<LProcessTGALoad>(Header(2, 1, 1, 32, 0x24) + bgra, buffer).result,
        LProcessResultError);
    // Grey with alpha.
    ASSERT_EQ(
        LoadBytes<LProcessTGALoad>(Header(3, 1, 1, 16) + std::vector<uint8_t> { 9, 7 }, buffer)
            .result,
        LProcessResultSuccess);
    EXPECT_EQ(PixelRGBA(buffer, 0, 0), (std::vector<int> { 9, 9, 9, 7 }));

    // A colour map whose first entry index is 5: index 5 is the map's first entry, 6 its
    // second; 4 and 7 lie outside it.
    const std::vector<uint8_t> map = { 10, 20, 30, 40, 50, 60 };
    auto mapped = [&](uint8_t index) {
        return Header(1, 1, 1, 8, 0x20, 1, 5, 2, 24) + map + std::vector<uint8_t> { index };
    };
    ASSERT_EQ(LoadBytes<LProcessTGALoad>(mapped(5), buffer).result, LProcessResultSuccess);
    EXPECT_EQ(PixelRGBA(buffer, 0, 0), (std::vector<int> { 30, 20, 10, 255 }));
    ASSERT_EQ(LoadBytes<LProcessTGALoad>(mapped(6), buffer).result, LProcessResultSuccess);
    EXPECT_EQ(PixelRGBA(buffer, 0, 0), (std::vector<int> { 60, 50, 40, 255 }));
    EXPECT_EQ(LoadBytes<LProcessTGALoad>(mapped(4), buffer).result, LProcessResultError);
    EXPECT_EQ(LoadBytes<LProcessTGALoad>(mapped(7), buffer).result, LProcessResultError);
    // 32-bit entries give alpha; a map of more than 256 entries is refused.
    ASSERT_EQ(
        LoadBytes<LProcessTGALoad>(
            Header(1, 1, 1, 8, 0x20, 1, 0, 1, 32) + std::vector<uint8_t> { 1, 2, 3, 4, 0 }, buffer)
            .result,
        LProcessResultSuccess);
    EXPECT_EQ(PixelRGBA(buffer, 0, 0), (std::vector<int> { 3, 2, 1, 4 }));
    EXPECT_EQ(LoadBytes<LProcessTGALoad>(
                  Header(1, 1, 1, 8, 0x20, 1, 0, 257, 24) + std::vector<uint8_t>(800, 0), buffer)
                  .result,
        LProcessResultError);
    // A map in a true-colour file is passed over.
    ASSERT_EQ(
        LoadBytes<LProcessTGALoad>(
            Header(2, 1, 1, 24, 0x20, 1, 0, 2, 24) + map + std::vector<uint8_t> { 7, 8, 9 }, buffer)
            .result,
        LProcessResultSuccess);
    EXPECT_EQ(PixelRGBA(buffer, 0, 0), (std::vector<int> { 9, 8, 7, 255 }));

    // Run-length packets run on from one row into the next.
    std::vector<uint8_t> rle
        = Header(10, 2, 2, 24) + std::vector<uint8_t> { 0x82, 1, 2, 3, 0x00, 4, 5, 6 };
    ASSERT_EQ(LoadBytes<LProcessTGALoad>(rle, buffer).result, LProcessResultSuccess);
    EXPECT_EQ(PixelRGBA(buffer, 0, 1), (std::vector<int> { 3, 2, 1, 255 }));
    EXPECT_EQ(PixelRGBA(buffer, 1, 1), (std::vector<int> { 6, 5, 4, 255 }));
}

TEST(TGACodec, HostileInput)
{
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    const std::vector<uint8_t> data(64, 1);
    const Case cases[] = {
        { "type 16", Header(16, 2, 2, 24) + data },
        { "type 0", Header(0, 2, 2, 24) + data },
        { "width 0", Header(2, 0, 2, 24) + data },
        { "height 0", Header(2, 2, 0, 24) + data },
        { "depth 8 true colour", Header(2, 2, 2, 8) + data },
        { "grey depth 24", Header(3, 2, 2, 24) + data },
        { "mapped without a map", Header(1, 2, 2, 8) + data },
        { "mapped depth 16", Header(1, 2, 2, 16, 0x20, 1, 0, 2, 24) + data },
        { "map entries of 8 bits", Header(1, 2, 2, 8, 0x20, 1, 0, 2, 8) + data },
        { "map type 2", Header(2, 2, 2, 24, 0x20, 2, 0, 0, 0) + data },
        { "map length without map", Header(2, 2, 2, 24, 0x20, 0, 0, 2, 24) + data },
        { "short map", Header(1, 2, 2, 8, 0x20, 1, 0, 200, 24) + data },
        // Sizes the data cannot hold: nothing is allocated.
        { "huge", Header(2, 65535, 65535, 24) + data },
        { "huge encoded", Header(10, 65535, 4096, 24) + data },
        { "header only", Header(2, 1, 1, 24) },
    };
    for (const Case& c : cases) {
        LImageBuffer buffer;
        EXPECT_EQ(LoadBytes<LProcessTGALoad>(c.bytes, buffer).result, LProcessResultError)
            << c.what;
        EXPECT_FALSE(buffer.HasStore()) << c.what;
    }
}

TEST(TGACodec, WriterChoosesItsStorage)
{
    // 2 x 2 red and blue: colour-mapped, a 2-entry 3-byte palette sorted by value (blue first),
    // origin at the top left.
    LImageBuffer redBlue(LImageFormat(LPixelFormatB8G8R8A8, 2, 2));
    const uint8_t red[4] = { 0, 0, 255, 255 }, blue[4] = { 255, 0, 0, 255 };
    std::memcpy(redBlue.GetRow(0), red, 4);
    std::memcpy(redBlue.GetRow(0) + 4, blue, 4);
    std::memcpy(redBlue.GetRow(1), blue, 4);
    std::memcpy(redBlue.GetRow(1) + 4, red, 4);
    std::vector<uint8_t> out = SaveBytes<LProcessTGASave>(redBlue);
    ASSERT_GE(out.size(), 24u);
    EXPECT_TRUE(out[2] == 9 || out[2] == 1) << int(out[2]);
    EXPECT_EQ(out[1], 1);
    EXPECT_EQ(out[5] | out[6] << 8, 2);
    EXPECT_EQ(out[7], 24);
    EXPECT_EQ(out[16], 8);
    EXPECT_EQ(out[17], 0x20);
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 18, out.begin() + 24),
        (std::vector<uint8_t> { 255, 0, 0, 0, 0, 255 }));
    LImageBuffer back;
    ASSERT_EQ(LoadBytes<LProcessTGALoad>(out, back).result, LProcessResultSuccess);
    EXPECT_EQ(PixelRGBA(back, 0, 0), (std::vector<int> { 255, 0, 0, 255 }));
    EXPECT_EQ(PixelRGBA(back, 0, 1), (std::vector<int> { 0, 0, 255, 255 }));

    // A photograph of more than 256 colours: 24-bit true colour; noise stays plain (type 2).
    RefImage ref;
    ASSERT_TRUE(ReadRef(Fixture("tga_im.ref.ppm"), ref));
    LImageBuffer photo;
    BufferFromRef(ref, photo);
    out = SaveBytes<LProcessTGASave>(photo);
    ASSERT_GE(out.size(), 18u);
    EXPECT_EQ(out[2] & 7, 2);
    EXPECT_EQ(out[16], 24);
    LImageBuffer noise(LImageFormat(LPixelFormatB8G8R8, 40, 30));
    FillPattern(noise);
    out = SaveBytes<LProcessTGASave>(noise);
    ASSERT_GE(out.size(), 18u);
    EXPECT_EQ(out[2], 2);
    EXPECT_EQ(out.size(), 18u + 40 * 30 * 3);
    ASSERT_EQ(LoadBytes<LProcessTGALoad>(out, back).result, LProcessResultSuccess);
    for (int y = 0; y < 30; ++y)
        EXPECT_EQ(std::memcmp(back.GetRow(y), noise.GetRow(y), 120), 0);

    // Any opaque grey image: 8-bit grey; a uniform one run-length encoded (type 11).
    LImageBuffer grey(LImageFormat(LPixelFormatB8G8R8, 300, 3));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 300 * 3; ++x)
            grey.GetRow(y)[x] = uint8_t((x / 3) * 7);
    out = SaveBytes<LProcessTGASave>(grey);
    ASSERT_GE(out.size(), 18u);
    EXPECT_EQ(out[2] & 7, 3);
    EXPECT_EQ(out[16], 8);
    LImageBuffer uniform(LImageFormat(LPixelFormatB8G8R8, 300, 20));
    for (int y = 0; y < 20; ++y)
        std::memset(uniform.GetRow(y), 90, 900);
    out = SaveBytes<LProcessTGASave>(uniform);
    ASSERT_GE(out.size(), 18u);
    EXPECT_EQ(out[2], 11);
    EXPECT_LT(out.size(), 300u);
    ASSERT_EQ(LoadBytes<LProcessTGALoad>(out, back).result, LProcessResultSuccess);
    EXPECT_EQ(PixelRGBA(back, 299, 19), (std::vector<int> { 90, 90, 90, 255 }));

    // Alpha: 32-bit true colour with 8 alpha bits, read back exactly.
    LImageBuffer alpha(LImageFormat(LPixelFormatB8G8R8A8, 30, 20));
    FillPattern(alpha, 3);
    out = SaveBytes<LProcessTGASave>(alpha);
    ASSERT_GE(out.size(), 18u);
    EXPECT_EQ(out[16], 32);
    EXPECT_EQ(out[17], 0x28);
    ASSERT_EQ(LoadBytes<LProcessTGALoad>(out, back).result, LProcessResultSuccess);
    ASSERT_EQ(back.GetPixelFormat(), LPixelFormatB8G8R8A8);
    for (int y = 0; y < 20; ++y)
        EXPECT_EQ(std::memcmp(back.GetRow(y), alpha.GetRow(y), 120), 0);
}

TEST(TGACodec, OurFilesReadByNetpbmAndThroughTheCodecTable)
{
    RefImage ref;
    ASSERT_TRUE(ReadRef(Fixture("tga_im.ref.ppm"), ref));
    TempFolder folder;
    // The photograph (true colour), a few colours (colour-mapped) and a grey version.
    LImageBuffer photo, few, grey;
    BufferFromRef(ref, photo);
    BufferFromRef(ref, few);
    BufferFromRef(ref, grey);
    for (int y = 0; y < few.GetHeight(); ++y)
        for (int x = 0; x < few.GetWidth() * 3; ++x) {
            few.GetRow(y)[x] &= 0xC0;
            grey.GetRow(y)[x] = grey.GetRow(y)[x - x % 3];
        }
    const bool haveNetpbm = HaveTool("/usr/bin/tgatoppm");
    int n = 0;
    for (const LImageBuffer* image : { &photo, &few, &grey }) {
        const std::string path = folder / ("ours" + std::to_string(n++) + ".tga");
        ASSERT_TRUE(LImage::Save(*image, path.c_str()));
        LImageBuffer back;
        EXPECT_NE(LImage::Load(back, path.c_str(), 0), 0u);
        for (int y = 0; y < image->GetHeight(); ++y)
            EXPECT_EQ(
                std::memcmp(back.GetRow(y), image->GetRow(y), size_t(image->GetWidth()) * 3), 0);
        if (!haveNetpbm)
            continue;
        const std::string ppm = path + ".ppm";
        ASSERT_TRUE(RunCommand("tgatoppm " + path + " >" + ppm + " 2>/dev/null"));
        RefImage theirs;
        ASSERT_TRUE(ReadRef(ppm, theirs));
        EXPECT_EQ(MaxDifference(*image, theirs), 0) << path;
    }
}
