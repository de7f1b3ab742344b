// PCX: netpbm's and ImageMagick's files against the tools' decoding of them, the writer's
// exact bytes and its files read back by netpbm, and hostile headers.
#include "ImageTestSupport.h"

#include "lfw/graphics/LImageFile.h"
#include "lfw/graphics/LPCXCodec.h"

#include <gtest/gtest.h>

using namespace imagetest;

namespace {

// A 128-byte header with the given fields; the rest as the writer sets it.
std::vector<uint8_t> Header(int width, int height, int bits, int planes, int bytesPerLine,
    int encoding = 1, int version = 5)
{
    std::vector<uint8_t> h(128, 0);
    h[0] = 0x0A;
    h[1] = uint8_t(version);
    h[2] = uint8_t(encoding);
    h[3] = uint8_t(bits);
    h[8] = uint8_t(width - 1);
    h[9] = uint8_t((width - 1) >> 8);
    h[10] = uint8_t(height - 1);
    h[11] = uint8_t((height - 1) >> 8);
    h[65] = uint8_t(planes);
    h[66] = uint8_t(bytesPerLine);
    h[67] = uint8_t(bytesPerLine >> 8);
    return h;
}

} // namespace

struct PCXCase {
    const char* file;
    int32_t bits;
};

void PrintTo(const PCXCase& c, std::ostream* os)
{
    *os << c.file;
}

class PCXFixtures : public ::testing::TestWithParam<PCXCase> { };

TEST_P(PCXFixtures, DecodeAsImageMagickDoes)
{
    const PCXCase& c = GetParam();
    const std::string name = c.file;
    RefImage ref;
    ASSERT_TRUE(ReadRef(Fixture(name + ".ref.ppm"), ref));
    const std::vector<uint8_t> bytes = ReadBytes(Fixture(name + ".pcx"));
    LImageBuffer buffer;
    const CodecLoaded l = LoadBytes<LProcessPCXLoad>(bytes, buffer);
    ASSERT_EQ(l.result, LProcessResultSuccess);
    EXPECT_EQ(l.value, c.bits);
    EXPECT_EQ(buffer.GetPixelFormat(), LPixelFormatB8G8R8);
    EXPECT_EQ(MaxDifference(buffer, ref), 0);
    // Every cut short of the pixels (and of a palette's marker byte) fails.
    ExpectCutsFail<LProcessPCXLoad>(bytes, c.bits == 8 ? bytes.size() - 768 : bytes.size(), name);
}

INSTANTIATE_TEST_SUITE_P(All, PCXFixtures,
    ::testing::Values(PCXCase { "pcx1", 1 }, PCXCase { "pcx8", 8 }, PCXCase { "pcx24", 24 },
        PCXCase { "pcx24_im", 24 }, PCXCase { "pcx8_im", 8 }),
    [](const auto& info) { return std::string(info.param.file); });

TEST(PCXCodec, WriterBytes)
{
    // 1 x 1 white: the header, then 0xC1 0xFF and a padding zero for each plane.
    LImageBuffer white(LImageFormat(LPixelFormatB8G8R8A8, 1, 1));
    std::memset(white.GetRow(0), 255, 4);
    white.SetResolution(11812, 3937); // 300.02 and 99.9998 dpi
    const std::vector<uint8_t> out = SaveBytes<LProcessPCXSave>(white);
    ASSERT_EQ(out.size(), 137u);
    std::vector<uint8_t> header = Header(1, 1, 8, 3, 2);
    header[12] = 44, header[13] = 1; // 300
    header[14] = 99; // truncated
    header[68] = 1;
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 128), header);
    const std::vector<uint8_t> planes = { 0xC1, 0xFF, 0, 0xC1, 0xFF, 0, 0xC1, 0xFF, 0 };
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 128, out.end()), planes);

    // A row of 64 equal bytes: a run of 63, then the last alone (bare below 0xC0, else as a
    // run of 1); the row is even, so no padding.
    for (uint8_t value : { uint8_t(0x20), uint8_t(0xD0) }) {
        LImageBuffer row(LImageFormat(LPixelFormatB8G8R8, 64, 1));
        std::memset(row.GetRow(0), value, 64 * 3);
        const std::vector<uint8_t> bytes = SaveBytes<LProcessPCXSave>(row);
        const std::vector<uint8_t> plane = value < 0xC0
            ? std::vector<uint8_t> { 0xFF, value, value }
            : std::vector<uint8_t> { 0xFF, value, 0xC1, value };
        ASSERT_EQ(bytes.size(), 128 + 3 * plane.size());
        for (int p = 0; p < 3; ++p)
            EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 128 + ptrdiff_t(p * plane.size()),
                          bytes.begin() + 128 + ptrdiff_t((p + 1) * plane.size())),
                plane);
    }

    // Widths the header cannot hold are refused.
    LImageBuffer wide(LImageFormat(LPixelFormatB8G8R8, 65535, 1));
    EXPECT_TRUE(SaveBytes<LProcessPCXSave>(wide).empty());
    LImageBuffer widest(LImageFormat(LPixelFormatB8G8R8, 65534, 1));
    EXPECT_FALSE(SaveBytes<LProcessPCXSave>(widest).empty());
}

TEST(PCXCodec, ReaderRules)
{
    LImageBuffer buffer;
    // Without run-length coding, bytes of 0xC0 and more are plain values.
    std::vector<uint8_t> plain
        = Header(2, 1, 8, 3, 2, 0) + std::vector<uint8_t> { 0xC5, 0x10, 0xFF, 0x20, 0xC0, 0x30 };
    ASSERT_EQ(LoadBytes<LProcessPCXLoad>(plain, buffer).result, LProcessResultSuccess);
    uint8_t p[4];
    BufferPixel(buffer, 0, 0, p);
    EXPECT_EQ(std::vector<int>({ p[0], p[1], p[2] }), std::vector<int>({ 0xC5, 0xFF, 0xC0 }));
    // Runs carry over from one plane line into the next, and a count of 0 is skipped.
    std::vector<uint8_t> runs
        = Header(2, 1, 8, 3, 2) + std::vector<uint8_t> { 0xC3, 7, 0xC0, 9, 8, 0xC2, 6 };
    ASSERT_EQ(LoadBytes<LProcessPCXLoad>(runs, buffer).result, LProcessResultSuccess);
    BufferPixel(buffer, 1, 0, p);
    EXPECT_EQ(std::vector<int>({ p[0], p[1], p[2] }), std::vector<int>({ 7, 8, 6 }));
    // A run still pending after the last row is an error.
    std::vector<uint8_t> over = Header(2, 1, 8, 3, 2) + std::vector<uint8_t> { 0xC7, 7 };
    EXPECT_EQ(LoadBytes<LProcessPCXLoad>(over, buffer).result, LProcessResultError);
    // A 1-bit row: set bits white, and the bytes beyond the width dropped.
    std::vector<uint8_t> mono = Header(3, 1, 1, 1, 2) + std::vector<uint8_t> { 0xA0, 0x3F };
    ASSERT_EQ(LoadBytes<LProcessPCXLoad>(mono, buffer).value, 1);
    BufferPixel(buffer, 0, 0, p);
    EXPECT_EQ(p[0], 255);
    BufferPixel(buffer, 1, 0, p);
    EXPECT_EQ(p[0], 0);
    // A paletted file: the marker 0x0C is required; entries the file lacks are black.
    std::vector<uint8_t> paletted
        = Header(2, 1, 8, 1, 2) + std::vector<uint8_t> { 0, 1, 0x0C, 10, 20, 30, 40, 50, 60 };
    ASSERT_EQ(LoadBytes<LProcessPCXLoad>(paletted, buffer).value, 8);
    BufferPixel(buffer, 0, 0, p);
    EXPECT_EQ(std::vector<int>({ p[0], p[1], p[2] }), std::vector<int>({ 10, 20, 30 }));
    std::vector<uint8_t> shortPalette
        = Header(2, 1, 8, 1, 2) + std::vector<uint8_t> { 2, 1, 0x0C, 10, 20, 30, 40 };
    ASSERT_EQ(LoadBytes<LProcessPCXLoad>(shortPalette, buffer).result, LProcessResultSuccess);
    BufferPixel(buffer, 0, 0, p);
    EXPECT_EQ(std::vector<int>({ p[0], p[1], p[2] }), std::vector<int>({ 0, 0, 0 }));
    BufferPixel(buffer, 1, 0, p);
    EXPECT_EQ(std::vector<int>({ p[0], p[1], p[2] }), std::vector<int>({ 40, 0, 0 }));
    paletted[128 + 2] = 0x0B;
    EXPECT_EQ(LoadBytes<LProcessPCXLoad>(paletted, buffer).result, LProcessResultError);
    // The resolution in dots per inch becomes pixels per metre.
    std::vector<uint8_t> dpi = Header(1, 1, 8, 3, 1, 0) + std::vector<uint8_t> { 1, 2, 3 };
    dpi[12] = 72;
    dpi[14] = 200;
    ASSERT_EQ(LoadBytes<LProcessPCXLoad>(dpi, buffer).result, LProcessResultSuccess);
    EXPECT_EQ(buffer.GetFormat().horizontalResolution, 2834);
    EXPECT_EQ(buffer.GetFormat().verticalResolution, 7874);
}

TEST(PCXCodec, HostileHeaders)
{
    const std::vector<uint8_t> data(64, 0x11);
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases = {
        { "version 1", Header(2, 2, 8, 3, 2, 1, 1) + data },
        { "version 6", Header(2, 2, 8, 3, 2, 1, 6) + data },
        { "2 bits", Header(2, 2, 2, 1, 2) + data },
        { "4 planes", Header(2, 2, 8, 4, 2) + data },
        { "1 bit, 3 planes", Header(2, 2, 1, 3, 2) + data },
        { "line too short", Header(3, 2, 8, 3, 2) + data },
        { "1-bit line too short", Header(17, 2, 1, 1, 2) + data },
        // A lying size: the data cannot hold it, so nothing is allocated.
        { "huge", Header(65535, 65535, 8, 3, 65535) + data },
        { "long", Header(16, 4096, 8, 3, 16) + data },
        { "header only", Header(2, 2, 8, 3, 2) },
    };
    std::vector<uint8_t> inverted = Header(2, 2, 8, 3, 2) + data;
    inverted[4] = 5; // x min above x max
    cases.push_back({ "x min above x max", inverted });
    for (const Case& c : cases) {
        LImageBuffer buffer;
        EXPECT_EQ(LoadBytes<LProcessPCXLoad>(c.bytes, buffer).result, LProcessResultError)
            << c.what;
        EXPECT_FALSE(buffer.HasStore()) << c.what;
    }
}

TEST(PCXCodec, OurFilesReadByNetpbmAndThroughTheCodecTable)
{
    RefImage ref;
    ASSERT_TRUE(ReadRef(Fixture("pcx24.ref.ppm"), ref));
    LImageBuffer source;
    BufferFromRef(ref, source, true);
    TempFolder folder;
    const std::string path = folder / "ours.pcx";
    ASSERT_TRUE(LImage::Save(source, path.c_str()));
    LImageBuffer back;
    EXPECT_EQ(LImage::Load(back, path.c_str(), 0), 24u);
    EXPECT_EQ(MaxDifference(back, ref), 0);
    if (!HaveTool("/usr/bin/pcxtoppm"))
        GTEST_SKIP() << "netpbm is not installed";
    const std::string ppm = folder / "ours.ppm";
    ASSERT_TRUE(RunCommand("pcxtoppm " + path + " >" + ppm + " 2>/dev/null"));
    RefImage theirs;
    ASSERT_TRUE(ReadRef(ppm, theirs));
    EXPECT_EQ(theirs.rgba, ref.rgba);
}
