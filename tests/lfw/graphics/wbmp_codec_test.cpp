// WBMP: netpbm's file, the writer's exact bytes and black-and-white rule, its files read back by
// netpbm, and hostile input.
#include "ImageTestSupport.h"

#include "lfw/graphics/LImageFile.h"
#include "lfw/graphics/LImageProcessBlackAndWhite.h"
#include "lfw/graphics/LWBMPCodec.h"

#include <gtest/gtest.h>

using namespace imagetest;

namespace {

LImageBuffer Uniform(int width, int height, uint8_t b, uint8_t g, uint8_t r)
{
    LImageBuffer image(LImageFormat(LPixelFormatB8G8R8, width, height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            unsigned char* p = image.GetRow(y) + x * 3;
            p[0] = b, p[1] = g, p[2] = r;
        }
    return image;
}

int WhitePixels(const LImageBuffer& image)
{
    int white = 0;
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            white += image.GetRow(y)[x * 3] == 255;
    return white;
}

} // namespace

TEST(WBMPCodec, NetpbmFile)
{
    RefImage ref;
    ASSERT_TRUE(ReadRef(Fixture("wbmp.ref.ppm"), ref));
    const std::vector<uint8_t> bytes = ReadBytes(Fixture("wbmp.wbmp"));
    LImageBuffer buffer;
    const CodecLoaded l = LoadBytes<LProcessWBMPLoad>(bytes, buffer);
    ASSERT_EQ(l.result, LProcessResultSuccess);
    EXPECT_EQ(l.value, 2);
    EXPECT_EQ(buffer.GetPixelFormat(), LPixelFormatB8G8R8);
    EXPECT_EQ(MaxDifference(buffer, ref), 0);
    ExpectCutsFail<LProcessWBMPLoad>(bytes, bytes.size(), "wbmp.wbmp");
    // Through the codec table, a WBMP file loads as 2.
    EXPECT_EQ(LImage::Load(buffer, Fixture("wbmp.wbmp").c_str(), 0), 2u);
}

TEST(WBMPCodec, WriterBytes)
{
    EXPECT_EQ(SaveBytes<LProcessWBMPSave>(Uniform(1, 1, 255, 255, 255)),
        (std::vector<uint8_t> { 0, 0, 1, 1, 0x80 }));
    EXPECT_EQ(SaveBytes<LProcessWBMPSave>(Uniform(1, 1, 0, 0, 0)),
        (std::vector<uint8_t> { 0, 0, 1, 1, 0 }));
    // Width 200 is 0x81 0x48; 128 is 0x81 0x00; rows take (width + 7) / 8 bytes.
    std::vector<uint8_t> wide = SaveBytes<LProcessWBMPSave>(Uniform(200, 1, 0, 0, 0));
    ASSERT_EQ(wide.size(), 5u + 25);
    EXPECT_EQ(std::vector<uint8_t>(wide.begin(), wide.begin() + 5),
        (std::vector<uint8_t> { 0, 0, 0x81, 0x48, 1 }));
    std::vector<uint8_t> tall = SaveBytes<LProcessWBMPSave>(Uniform(1, 128, 255, 255, 255));
    ASSERT_GE(tall.size(), 5u);
    EXPECT_EQ(std::vector<uint8_t>(tall.begin(), tall.begin() + 5),
        (std::vector<uint8_t> { 0, 0, 1, 0x81, 0x00 }));
    // 16384 = 2^14 takes three groups.
    LProcessInterfaceVoid job;
    LSizedArray<unsigned char> array;
    LOutputStreamByteArray stream(array);
    LImageBuffer none;
    LProcessWBMPSave<LOutputStreamByteArray> save(none, stream);
    ASSERT_EQ(save.WriteMultiByteInteger(16384), LProcessResultSuccess);
    ASSERT_EQ(save.WriteMultiByteInteger(0), LProcessResultSuccess);
    EXPECT_EQ(std::vector<uint8_t>(array.GetData(), array.GetData() + array.GetCount()),
        (std::vector<uint8_t> { 0x81, 0x80, 0x00, 0x00 }));
}

TEST(WBMPCodec, LuminanceRule)
{
    LImageBuffer back;
    // Luminance at most 0.1 is black, at least 0.9 white, whatever the random numbers.
    const std::vector<uint8_t> dark = SaveBytes<LProcessWBMPSave>(Uniform(64, 8, 25, 25, 25));
    ASSERT_EQ(LoadBytes<LProcessWBMPLoad>(dark, back).result, LProcessResultSuccess);
    EXPECT_EQ(WhitePixels(back), 0);
    const std::vector<uint8_t> light = SaveBytes<LProcessWBMPSave>(Uniform(64, 8, 230, 230, 230));
    ASSERT_EQ(LoadBytes<LProcessWBMPLoad>(light, back).result, LProcessResultSuccess);
    EXPECT_EQ(WhitePixels(back), 64 * 8);
    // Pure green has luminance 0.59; mid-grey about half white.
    const std::vector<uint8_t> grey = SaveBytes<LProcessWBMPSave>(Uniform(100, 100, 128, 128, 128));
    ASSERT_EQ(LoadBytes<LProcessWBMPLoad>(grey, back).result, LProcessResultSuccess);
    const int white = WhitePixels(back);
    EXPECT_GT(white, 4000);
    EXPECT_LT(white, 6000);
}

TEST(WBMPCodec, OurFileReadByNetpbmAfterTheBlackAndWhiteEffect)
{
    // The picture thresholded to black and white, which the writer keeps exactly.
    RefImage ref;
    ASSERT_TRUE(ReadRef(Fixture("p6.ref.ppm"), ref));
    LImageBuffer image;
    BufferFromRef(ref, image);
    for (int y = 0; y < image.GetHeight(); ++y) {
        auto* row = reinterpret_cast<LPFB8G8R8*>(image.GetRow(y));
        LImageProcessBlackAndWhite::ProcessRow(row, size_t(image.GetWidth()));
        for (int x = 0; x < image.GetWidth(); ++x)
            row[x].b = row[x].g = row[x].r = row[x].r < 128 ? 0 : 255;
    }
    TempFolder folder;
    const std::string path = folder / "ours.wbmp";
    ASSERT_TRUE(LImage::Save(image, path.c_str()));
    LImageBuffer back;
    EXPECT_EQ(LImage::Load(back, path.c_str(), 0), 2u);
    for (int y = 0; y < image.GetHeight(); ++y)
        EXPECT_EQ(std::memcmp(back.GetRow(y), image.GetRow(y), size_t(image.GetWidth()) * 3), 0);
    if (!HaveTool("/usr/bin/wbmptopbm"))
        GTEST_SKIP() << "netpbm is not installed";
    const std::string ppm = folder / "ours.ppm";
    ASSERT_TRUE(RunCommand("wbmptopbm " + path + " | pnmtoplainpnm | /usr/bin/convert - -depth 8 "
        + "-strip ppm:" + ppm + " 2>/dev/null"));
    RefImage theirs;
    ASSERT_TRUE(ReadRef(ppm, theirs));
    EXPECT_EQ(MaxDifference(image, theirs), 0);
}

TEST(WBMPCodec, HostileInput)
{
    const std::vector<std::vector<uint8_t>> cases = {
        {},
        { 1, 0, 1, 1, 0x80 }, // type 1
        { 0, 1, 1, 1, 0x80 }, // fixed header byte not 0
        { 0x80, 0x00, 0, 1, 1, 0x80 }, // type 0 in two groups is still 0: this one reads
        { 0, 0, 0, 1 }, // width 0
        { 0, 0, 1, 0 }, // height 0
        { 0, 0, 1, 1 }, // no row
        { 0, 0, 0x81 }, // width cut short
        // Integers beyond 2^28 are refused before they overflow.
        { 0, 0, 0x90, 0x80, 0x80, 0x80, 0x01, 1, 0 },
        { 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 1, 0 },
        // Sizes the data cannot hold: nothing is allocated.
        { 0, 0, 0x81, 0x80, 0x80, 0x00, 0x81, 0x80, 0x80, 0x00, 0xFF },
        { 0, 0, 0x88, 0x80, 0x80, 0x00, 1, 0xFF },
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        LImageBuffer buffer;
        const LProcessResult r = LoadBytes<LProcessWBMPLoad>(cases[i], buffer).result;
        if (i == 3) {
            EXPECT_EQ(r, LProcessResultSuccess);
            continue;
        }
        EXPECT_EQ(r, LProcessResultError) << "case " << i;
        EXPECT_FALSE(buffer.HasStore()) << "case " << i;
    }
}
