// BMP and DIB: files of ImageMagick, netpbm and Python against the pictures ImageMagick decodes
// from them, the writer's bytes, and hostile input.
#include "ImageTestSupport.h"

#include "lfw/gen/LStream.h"
#include "lfw/graphics/LBMPCodec.h"
#include "lfw/graphics/LImageFile.h"

#include <gtest/gtest.h>

using namespace imagetest;

namespace {

struct Loaded {
    LProcessResult result = LProcessResultError;
    uint32_t bits = 0;
};

Loaded LoadBMP(const std::vector<uint8_t>& bytes, LImageBuffer& buffer)
{
    LInputStreamBuffer stream(bytes.data(), bytes.size());
    LProcessInterfaceVoid job;
    LProcessBMPLoad<LInputStreamBuffer> request(stream, buffer);
    Loaded out;
    out.result = Process(job, request);
    out.bits = request.result;
    return out;
}

// A BMP of a 40-byte header (or the header size given) around the given palette and data.
struct BMPBuilder {
    int32_t width = 4, height = 2;
    uint16_t bpp = 8;
    uint32_t compression = 0;
    uint32_t headerSize = 40;
    uint32_t coloursUsed = 0;
    std::vector<uint8_t> palette; // 4 bytes per entry
    std::vector<uint8_t> extra; // between header and palette (masks)
    std::vector<uint8_t> data;
    int64_t offsetAdjust = 0;

    std::vector<uint8_t> Build() const
    {
        std::vector<uint8_t> h(headerSize, 0);
        auto put32 = [&](size_t at, uint32_t v) {
            for (int i = 0; i < 4; ++i)
                h[at + i] = uint8_t(v >> (8 * i));
        };
        put32(0, headerSize);
        put32(4, uint32_t(width));
        put32(8, uint32_t(height));
        h[12] = 1;
        h[14] = uint8_t(bpp);
        put32(16, compression);
        put32(32, coloursUsed);
        const uint32_t offset
            = uint32_t(14 + headerSize + extra.size() + palette.size() + offsetAdjust);
        std::vector<uint8_t> f = { 'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0 };
        for (int i = 0; i < 4; ++i)
            f.push_back(uint8_t(offset >> (8 * i)));
        f.insert(f.end(), h.begin(), h.end());
        f.insert(f.end(), extra.begin(), extra.end());
        f.insert(f.end(), palette.begin(), palette.end());
        f.insert(f.end(), data.begin(), data.end());
        return f;
    }
};

std::vector<uint8_t> Grey4Palette()
{
    std::vector<uint8_t> p;
    for (int i = 0; i < 4; ++i)
        p.insert(p.end(), { uint8_t(i * 80), uint8_t(i * 80), uint8_t(i * 80), 0 });
    return p;
}

} // namespace

struct FixtureCase {
    const char* file;
    const char* ref;
    uint32_t bits;
    pixelformat_t format;
    int tolerance;
    bool alpha;
};

void PrintTo(const FixtureCase& c, std::ostream* os)
{
    *os << c.file;
}

class BMPFixtures : public ::testing::TestWithParam<FixtureCase> { };

TEST_P(BMPFixtures, DecodeAsImageMagickDoes)
{
    const FixtureCase& c = GetParam();
    RefImage ref;
    ASSERT_TRUE(ReadRef(Fixture(c.ref), ref)) << c.ref;
    LImageBuffer buffer;
    Loaded loaded = LoadBMP(ReadBytes(Fixture(c.file)), buffer);
    ASSERT_EQ(loaded.result, LProcessResultSuccess) << c.file;
    EXPECT_EQ(loaded.bits, c.bits);
    EXPECT_EQ(buffer.GetPixelFormat(), c.format);
    EXPECT_FALSE(buffer.IsBottomUp());
    int diff = MaxDifference(buffer, ref, c.alpha);
    EXPECT_GE(diff, 0);
    EXPECT_LE(diff, c.tolerance) << c.file;

    // The file form reads the same.
    LImageBuffer fromFile;
    EXPECT_EQ(LImage::Load(fromFile, Fixture(c.file).c_str(), 3000), c.bits);
    EXPECT_EQ(MaxDifference(fromFile, ref, c.alpha), diff);
}

INSTANTIATE_TEST_SUITE_P(All, BMPFixtures,
    ::testing::Values(FixtureCase { "bmp1.bmp", "bmp1.ref.ppm", 1, LPixelFormatB8G8R8, 0, false },
        FixtureCase { "bmp4.bmp", "bmp4.ref.ppm", 4, LPixelFormatB8G8R8, 0, false },
        FixtureCase { "bmp8.bmp", "bmp8.ref.ppm", 8, LPixelFormatB8G8R8, 0, false },
        FixtureCase { "rle8.bmp", "rle8.ref.ppm", 8, LPixelFormatB8G8R8, 0, false },
        FixtureCase { "rle4.bmp", "rle4.ref.ppm", 4, LPixelFormatB8G8R8, 0, false },
        FixtureCase { "os2_8.bmp", "os2_8.ref.ppm", 8, LPixelFormatB8G8R8, 0, false },
        FixtureCase { "os2_24.bmp", "os2_24.ref.ppm", 24, LPixelFormatB8G8R8, 0, false },
        FixtureCase { "bmp16_565.bmp", "bmp16_565.ref.ppm", 16, LPixelFormatB8G8R8, 1, false },
        FixtureCase { "bmp16_555.bmp", "bmp16_555.ref.ppm", 16, LPixelFormatB8G8R8, 1, false },
        FixtureCase { "bmp16_1555.bmp", "bmp16_1555.ref.pam", 16, LPixelFormatB8G8R8, 1, false },
        FixtureCase { "bf16_40.bmp", "bf16_40.ref.ppm", 16, LPixelFormatB8G8R8, 1, false },
        FixtureCase { "bf32_40.bmp", "bf32_40.ref.ppm", 32, LPixelFormatB8G8R8A8, 0, false },
        FixtureCase { "bmp24.bmp", "bmp24.ref.ppm", 24, LPixelFormatB8G8R8, 0, false },
        FixtureCase { "topdown24.bmp", "topdown24.ref.ppm", 24, LPixelFormatB8G8R8, 0, false },
        FixtureCase {
            "bmp32_alpha.bmp", "bmp32_alpha.ref.pam", 32, LPixelFormatB8G8R8A8, 0, true }),
    [](const auto& info) {
        std::string n = info.param.file;
        return n.substr(0, n.find('.'));
    });

TEST(BMPCodec, ResolutionAndOpaqueThirtyTwoBits)
{
    LImageBuffer buffer;
    ASSERT_EQ(LoadBMP(ReadBytes(Fixture("bf32_40.bmp")), buffer).result, LProcessResultSuccess);
    EXPECT_EQ(buffer.GetFormat().horizontalResolution, 2835);
    EXPECT_EQ(buffer.GetFormat().verticalResolution, 2835);
    // Bit fields without an alpha mask: opaque.
    uint8_t p[4];
    BufferPixel(buffer, 3, 3, p);
    EXPECT_EQ(p[3], 255);

    // 32 bits without masks and every fourth byte 0: opaque. One non-zero byte keeps them all.
    BMPBuilder b;
    b.bpp = 32;
    b.width = 2;
    b.height = 1;
    b.data = { 1, 2, 3, 0, 4, 5, 6, 0 };
    ASSERT_EQ(LoadBMP(b.Build(), buffer).result, LProcessResultSuccess);
    BufferPixel(buffer, 1, 0, p);
    EXPECT_EQ(p[3], 255);
    EXPECT_EQ(p[0], 6);
    b.data[7] = 9;
    ASSERT_EQ(LoadBMP(b.Build(), buffer).result, LProcessResultSuccess);
    BufferPixel(buffer, 0, 0, p);
    EXPECT_EQ(p[3], 0);
    BufferPixel(buffer, 1, 0, p);
    EXPECT_EQ(p[3], 9);
}

TEST(BMPCodec, MaskCodes)
{
    LCODEC_DIB_MaskCode five;
    five.Init(0x001F);
    EXPECT_EQ(five.Read(31), 255);
    EXPECT_EQ(five.Read(16), 132);
    LCODEC_DIB_MaskCode six;
    six.Init(0x07E0);
    EXPECT_EQ(six.Read(32 << 5), 130);
    LCODEC_DIB_MaskCode empty;
    empty.Init(0);
    EXPECT_EQ(empty.low, 33u);
    EXPECT_EQ(empty.high, 0u);
    // A mask of all 32 bits and a scattered mask are worked without overflow.
    LCODEC_DIB_MaskCode all;
    all.Init(0xFFFFFFFF);
    EXPECT_EQ(all.Read(0xFFFFFFFF), 255);
    EXPECT_EQ(all.Read(0x80000000), 128);
    EXPECT_EQ(all.Read(0), 0);
    LCODEC_DIB_MaskCode scattered;
    scattered.Init(0x80000001); // two bits: values 0..3
    EXPECT_EQ(scattered.Read(0x80000001), 255);
    EXPECT_EQ(scattered.Read(0x00000001), 85);
    EXPECT_EQ(scattered.Read(0x80000000), 170);
}

TEST(BMPCodec, RunLengthRules)
{
    BMPBuilder b;
    b.bpp = 8;
    b.compression = 1;
    b.width = 4;
    b.height = 2;
    b.coloursUsed = 4;
    b.palette = Grey4Palette();
    LImageBuffer buffer;

    // Two rows by an encoded and an absolute run, then end of bitmap without a last end of line.
    b.data = { 4, 1, 0, 0, 0, 4, 0, 1, 2, 3, 0, 1 };
    ASSERT_EQ(LoadBMP(b.Build(), buffer).result, LProcessResultSuccess);
    uint8_t p[4];
    BufferPixel(buffer, 0, 1, p); // the first stored row is the bottom row
    EXPECT_EQ(p[0], 80);
    BufferPixel(buffer, 3, 0, p);
    EXPECT_EQ(p[0], 240);

    // An end of line before the row is full.
    b.data = { 3, 1, 0, 0, 4, 1, 0, 1 };
    EXPECT_EQ(LoadBMP(b.Build(), buffer).result, LProcessResultError);
    // An end of bitmap before the last pixel.
    b.data = { 4, 1, 0, 0, 0, 1 };
    EXPECT_EQ(LoadBMP(b.Build(), buffer).result, LProcessResultError);
    // A delta.
    b.data = { 0, 2, 1, 1, 0, 1 };
    EXPECT_EQ(LoadBMP(b.Build(), buffer).result, LProcessResultError);
    // A run past the end of the row's padding; pixels in the padding are dropped.
    b.width = 3;
    b.data = { 5, 1, 0, 0, 4, 1, 0, 1 };
    EXPECT_EQ(LoadBMP(b.Build(), buffer).result, LProcessResultError);
    b.data = { 4, 1, 0, 0, 3, 2, 0, 1 };
    ASSERT_EQ(LoadBMP(b.Build(), buffer).result, LProcessResultSuccess);
    EXPECT_EQ(buffer.GetWidth(), 3);
    b.width = 4;
    // An index beyond the palette, encoded and absolute.
    b.data = { 4, 4, 0, 0, 4, 1, 0, 1 };
    EXPECT_EQ(LoadBMP(b.Build(), buffer).result, LProcessResultError);
    b.data = { 0, 4, 0, 1, 2, 9, 0, 0, 4, 1, 0, 1 };
    EXPECT_EQ(LoadBMP(b.Build(), buffer).result, LProcessResultError);
    // No end of bitmap at all.
    b.data = { 4, 1, 0, 0, 4, 1, 0, 0 };
    EXPECT_EQ(LoadBMP(b.Build(), buffer).result, LProcessResultError);
    // Run-length data stored top-down.
    b.data = { 4, 1, 0, 0, 4, 1, 0, 1 };
    b.height = -2;
    EXPECT_EQ(LoadBMP(b.Build(), buffer).result, LProcessResultError);
    b.height = 2;
    EXPECT_EQ(LoadBMP(b.Build(), buffer).result, LProcessResultSuccess);

    // RLE4: a 3-pixel absolute run takes two data bytes and no padding byte.
    b.bpp = 4;
    b.compression = 2;
    b.width = 3;
    b.height = 1;
    b.data = { 0, 3, 0x12, 0x30, 0, 1 };
    ASSERT_EQ(LoadBMP(b.Build(), buffer).result, LProcessResultSuccess);
    BufferPixel(buffer, 0, 0, p);
    EXPECT_EQ(p[0], 80);
    BufferPixel(buffer, 1, 0, p);
    EXPECT_EQ(p[0], 160);
    BufferPixel(buffer, 2, 0, p);
    EXPECT_EQ(p[0], 240);
    // An encoded RLE4 run alternates the halves of its value.
    b.data = { 3, 0x13, 0, 1 };
    ASSERT_EQ(LoadBMP(b.Build(), buffer).result, LProcessResultSuccess);
    BufferPixel(buffer, 1, 0, p);
    EXPECT_EQ(p[0], 240);
    BufferPixel(buffer, 2, 0, p);
    EXPECT_EQ(p[0], 80);
}

TEST(BMPCodec, PaletteMasksAndOffsets)
{
    LImageBuffer buffer;
    BMPBuilder b;
    b.bpp = 8;
    b.width = 4;
    b.height = 1;
    b.coloursUsed = 4;
    b.palette = Grey4Palette();
    b.data = { 0, 1, 2, 3 };
    ASSERT_EQ(LoadBMP(b.Build(), buffer).result, LProcessResultSuccess);
    // An index at or beyond the colours used.
    b.data = { 0, 1, 2, 4 };
    EXPECT_EQ(LoadBMP(b.Build(), buffer).result, LProcessResultError);
    b.data = { 0, 1, 2, 3 };

    // Pixel data offset inside the palette: refused; beyond it: read from there.
    b.offsetAdjust = -4;
    EXPECT_EQ(LoadBMP(b.Build(), buffer).result, LProcessResultError);
    b.offsetAdjust = 3;
    b.data = { 7, 7, 7, 0, 1, 2, 3 };
    ASSERT_EQ(LoadBMP(b.Build(), buffer).result, LProcessResultSuccess);
    uint8_t p[4];
    BufferPixel(buffer, 3, 0, p);
    EXPECT_EQ(p[0], 240);

    // Bit fields: overlapping masks, and a 16-bit mask above 0xFFFF.
    BMPBuilder f;
    f.bpp = 16;
    f.compression = 3;
    f.width = 2;
    f.height = 1;
    f.data = { 0xFF, 0xFF, 0, 0 };
    auto masks = [](uint32_t r, uint32_t g, uint32_t bl) {
        std::vector<uint8_t> m;
        for (uint32_t v : { r, g, bl })
            for (int i = 0; i < 4; ++i)
                m.push_back(uint8_t(v >> (8 * i)));
        return m;
    };
    f.extra = masks(0xF800, 0x07E0, 0x001F);
    ASSERT_EQ(LoadBMP(f.Build(), buffer).result, LProcessResultSuccess);
    BufferPixel(buffer, 0, 0, p);
    EXPECT_EQ(p[0], 255);
    EXPECT_EQ(p[1], 255);
    f.extra = masks(0xF800, 0x0FE0, 0x001F);
    EXPECT_EQ(LoadBMP(f.Build(), buffer).result, LProcessResultError);
    f.extra = masks(0x1F800, 0x07E0, 0x001F);
    EXPECT_EQ(LoadBMP(f.Build(), buffer).result, LProcessResultError);
    // Bit fields need 16 or 32 bits; RLE8 needs 8, RLE4 needs 4.
    f.bpp = 24;
    EXPECT_EQ(LoadBMP(f.Build(), buffer).result, LProcessResultError);
    b.offsetAdjust = 0;
    b.data = { 0, 1, 2, 3 };
    b.compression = 2;
    EXPECT_EQ(LoadBMP(b.Build(), buffer).result, LProcessResultError);
    b.compression = 4;
    EXPECT_EQ(LoadBMP(b.Build(), buffer).result, LProcessResultError);
}

TEST(BMPCodec, HostileHeaders)
{
    LImageBuffer buffer;
    BMPBuilder b;
    b.bpp = 24;
    b.width = 2;
    b.height = 2;
    b.data.assign(16, 0x40);
    ASSERT_EQ(LoadBMP(b.Build(), buffer).result, LProcessResultSuccess);

    for (uint32_t size : { 0u, 11u, 13u, 20u, 39u }) {
        std::vector<uint8_t> bytes = b.Build();
        bytes[14] = uint8_t(size);
        EXPECT_EQ(LoadBMP(bytes, buffer).result, LProcessResultError) << size;
    }
    for (int32_t w : { 0, -2, INT32_MIN }) {
        BMPBuilder bad = b;
        bad.width = w;
        EXPECT_EQ(LoadBMP(bad.Build(), buffer).result, LProcessResultError) << w;
    }
    for (int32_t h : { 0, INT32_MIN }) {
        BMPBuilder bad = b;
        bad.height = h;
        EXPECT_EQ(LoadBMP(bad.Build(), buffer).result, LProcessResultError) << h;
    }
    // Huge sizes the data cannot hold are refused before any memory is taken.
    for (auto [w, h] : { std::pair<int32_t, int32_t> { 100000, 100000 }, { 0x7FFFFFFF, 1 },
             { 65536, 4096 }, { 1, 0x7FFFFFFF } }) {
        BMPBuilder bad = b;
        bad.width = w;
        bad.height = h;
        EXPECT_EQ(LoadBMP(bad.Build(), buffer).result, LProcessResultError) << w << "x" << h;
    }
    // Unknown depths, too many colours, a bad signature.
    BMPBuilder bad = b;
    bad.bpp = 7;
    EXPECT_EQ(LoadBMP(bad.Build(), buffer).result, LProcessResultError);
    bad = b;
    bad.bpp = 8;
    bad.coloursUsed = 257;
    EXPECT_EQ(LoadBMP(bad.Build(), buffer).result, LProcessResultError);
    std::vector<uint8_t> bytes = b.Build();
    bytes[0] = 'X';
    EXPECT_EQ(LoadBMP(bytes, buffer).result, LProcessResultError);
}

TEST(BMPCodec, EveryTruncationFails)
{
    for (const char* name : { "bmp24.bmp", "rle8.bmp", "rle4.bmp", "bmp4.bmp", "bmp1.bmp",
             "bmp16_565.bmp", "os2_8.bmp", "bmp32_alpha.bmp" }) {
        std::vector<uint8_t> whole = ReadBytes(Fixture(name));
        LImageBuffer buffer;
        ASSERT_EQ(LoadBMP(whole, buffer).result, LProcessResultSuccess) << name;
        for (size_t n = 0; n < whole.size(); ++n) {
            std::vector<uint8_t> cut(whole.begin(), whole.begin() + ptrdiff_t(n));
            // rle8.bmp from ImageMagick ends with an end-of-line and end-of-bitmap pair.
            EXPECT_EQ(LoadBMP(cut, buffer).result, LProcessResultError) << name << " at " << n;
        }
    }
}

namespace {

std::vector<uint8_t> SaveBMP(const LImageBuffer& source, uint32_t kind, uint32_t background)
{
    LSizedArray<unsigned char> array;
    LOutputStreamByteArray stream(array);
    LProcessInterfaceVoid job;
    LProcessBMPSave<LOutputStreamByteArray> request(source, kind, background, stream);
    if (Process(job, request) != LProcessResultSuccess)
        return {};
    return std::vector<uint8_t>(array.GetData(), array.GetData() + array.GetCount());
}

uint32_t LE32(const std::vector<uint8_t>& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16
        | uint32_t(b[at + 3]) << 24;
}

} // namespace

TEST(BMPCodec, WriterBytes)
{
    LImageBuffer source(LImageFormat(LPixelFormatB8G8R8A8, 3, 2));
    ASSERT_TRUE(source.IsValid());
    source.SetResolution(3780, 3780);
    // Top row: transparent red, half-transparent green, opaque blue; bottom row grey, alpha 7.
    const uint8_t top[] = { 0, 0, 255, 0, 0, 255, 0, 128, 255, 0, 0, 255 };
    const uint8_t bottom[] = { 50, 60, 70, 7, 50, 60, 70, 7, 50, 60, 70, 7 };
    std::memcpy(source.GetPictureRow(0), top, 12);
    std::memcpy(source.GetPictureRow(1), bottom, 12);

    // Default kind: 32 bits, 124-byte header, data at 138, the buffer's own alpha.
    std::vector<uint8_t> f = SaveBMP(source, 1, 0xFFFFFFFF);
    ASSERT_EQ(f.size(), 138u + 24u);
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[1], 'M');
    EXPECT_EQ(LE32(f, 2), f.size());
    EXPECT_EQ(LE32(f, 6), 0u);
    EXPECT_EQ(LE32(f, 10), 138u);
    EXPECT_EQ(LE32(f, 14), 124u);
    EXPECT_EQ(LE32(f, 18), 3u);
    EXPECT_EQ(LE32(f, 22), 2u);
    EXPECT_EQ(f[26] | f[27] << 8, 1);
    EXPECT_EQ(f[28] | f[29] << 8, 32);
    EXPECT_EQ(LE32(f, 30), 3u);
    EXPECT_EQ(LE32(f, 34), 24u);
    EXPECT_EQ(LE32(f, 38), 3780u);
    EXPECT_EQ(LE32(f, 42), 3780u);
    EXPECT_EQ(LE32(f, 46), 0u);
    EXPECT_EQ(LE32(f, 54), 0x00FF0000u);
    EXPECT_EQ(LE32(f, 58), 0x0000FF00u);
    EXPECT_EQ(LE32(f, 62), 0x000000FFu);
    EXPECT_EQ(LE32(f, 66), 0xFF000000u);
    EXPECT_EQ(std::string(f.begin() + 70, f.begin() + 74), "BGRs");
    for (size_t i = 74; i < 138; ++i)
        EXPECT_EQ(f[i], 0) << i;
    // Bottom row first.
    EXPECT_TRUE(std::equal(bottom, bottom + 12, f.begin() + 138));
    EXPECT_TRUE(std::equal(top, top + 12, f.begin() + 150));

    // Kind 0: 24 bits, 40-byte header, data at 54, rows padded; alpha blended over the
    // background (blue 0x10, green 0x20, red 0x30) with a shift by 8.
    f = SaveBMP(source, 0, 0x302010);
    ASSERT_EQ(f.size(), 54u + 2 * 12);
    EXPECT_EQ(LE32(f, 10), 54u);
    EXPECT_EQ(LE32(f, 14), 40u);
    EXPECT_EQ(f[28], 24);
    EXPECT_EQ(LE32(f, 30), 0u);
    EXPECT_EQ(LE32(f, 34), 24u);
    const uint8_t* row = &f[54 + 12]; // the top row
    EXPECT_EQ(row[0], (0x10 * 255) >> 8); // transparent red: the background
    EXPECT_EQ(row[1], (0x20 * 255) >> 8);
    EXPECT_EQ(row[2], (0x30 * 255) >> 8);
    EXPECT_EQ(row[3], (0x10 * 127 + 0 * 128) >> 8);
    EXPECT_EQ(row[4], (0x20 * 127 + 255 * 128) >> 8);
    EXPECT_EQ(row[5], (0x30 * 127 + 0 * 128) >> 8);
    EXPECT_EQ(row[6], 255); // opaque blue unchanged
    EXPECT_EQ(row[8], 0);
    EXPECT_EQ(row[9], 0); // padding
    EXPECT_EQ(row[11], 0);

    // A B8G8R8 buffer in the default kind: alpha 255 everywhere.
    LImageBuffer rgb(LImageFormat(LPixelFormatB8G8R8, 3, 2));
    FillPattern(rgb);
    f = SaveBMP(rgb, 1, 0xFFFFFFFF);
    ASSERT_EQ(f.size(), 138u + 24u);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(f[138 + i * 4 + 3], 255);
    EXPECT_EQ(f[138], rgb.GetPictureRow(1)[0]);

    // Other kinds are refused.
    EXPECT_TRUE(SaveBMP(source, 2, 0).empty());
}

TEST(BMPCodec, WrittenFilesReadBackByImageMagick)
{
    if (!HaveTool("/usr/bin/convert"))
        GTEST_SKIP() << "ImageMagick is not installed";
    TempFolder folder;
    LImageBuffer source;
    ASSERT_EQ(LoadBMP(ReadBytes(Fixture("bmp32_alpha.bmp")), source).result, LProcessResultSuccess);
    RefImage expected;
    ASSERT_TRUE(ReadRef(Fixture("bmp32_alpha.ref.pam"), expected));
    for (uint32_t kind : { 0u, 1u }) {
        std::vector<uint8_t> bytes = SaveBMP(source, kind, 0xFFFFFF);
        ASSERT_FALSE(bytes.empty());
        ASSERT_TRUE(WriteBytes(folder / "out.bmp", bytes));
        ASSERT_TRUE(RunCommand(
            "/usr/bin/convert " + folder / "out.bmp" + " -depth 8 pam:" + folder / "back.pam"));
        RefImage back;
        ASSERT_TRUE(ReadRef(folder / "back.pam", back));
        LImageBuffer again;
        ASSERT_EQ(LoadBMP(bytes, again).result, LProcessResultSuccess);
        EXPECT_EQ(MaxDifference(again, back, kind == 1), 0) << kind;
        if (kind == 1) {
            EXPECT_EQ(MaxDifference(again, expected, true), 0);
        }
    }
}

TEST(BMPCodec, DIBWithoutFileHeader)
{
    std::vector<uint8_t> file = ReadBytes(Fixture("bmp8.bmp"));
    std::vector<uint8_t> dib(file.begin() + 14, file.end());
    LInputStreamBuffer stream(dib.data(), dib.size());
    LImageBuffer buffer;
    LProcessInterfaceVoid job;
    LProcessDIBLoad<LInputStreamBuffer> request(stream, 0, buffer);
    ASSERT_EQ(Process(job, request), LProcessResultSuccess);
    RefImage ref;
    ASSERT_TRUE(ReadRef(Fixture("bmp8.ref.ppm"), ref));
    EXPECT_EQ(MaxDifference(buffer, ref), 0);

    // The DIB writer: kind 0 is 32 bits, kind 1 is 24 bits; anything else is refused.
    for (uint32_t kind : { 0u, 1u, 2u }) {
        LSizedArray<unsigned char> array;
        LOutputStreamByteArray out(array);
        LProcessDIBSave<LOutputStreamByteArray> save(buffer, kind, out);
        const LProcessResult result = Process(job, save);
        if (kind == 2) {
            EXPECT_EQ(result, LProcessResultError);
            continue;
        }
        ASSERT_EQ(result, LProcessResultSuccess);
        std::vector<uint8_t> bytes(array.GetData(), array.GetData() + array.GetCount());
        EXPECT_EQ(LE32(bytes, 0), kind == 0 ? 124u : 40u);
        LInputStreamBuffer in(bytes.data(), bytes.size());
        LImageBuffer back;
        LProcessDIBLoad<LInputStreamBuffer> load(in, 0, back);
        ASSERT_EQ(Process(job, load), LProcessResultSuccess);
        EXPECT_EQ(MaxDifference(back, ref), 0);
    }
}

TEST(BMPCodec, StopRequest)
{
    LImageBuffer buffer;
    std::vector<uint8_t> bytes = ReadBytes(Fixture("bmp24.bmp"));
    LInputStreamBuffer stream(bytes.data(), bytes.size());
    RecordingJob job(0);
    LProcessBMPLoad<LInputStreamBuffer> request(stream, buffer);
    EXPECT_EQ(Process(job, request), LProcessResultStopped);
    EXPECT_EQ(job.status, "Avkodning DIB bild");
}

TEST(BMPCodec, DIBHeaderSaveWritesTheDeclaredHeader)
{
    LImageBuffer buffer(LImageFormat(LPixelFormatB8G8R8A8, 2, 2));
    LProcessInterfaceVoid job;
    LCODEC_DIB_Header h;
    h.width = 2;
    h.height = 2;
    h.planes = 1;
    h.bitsPerPixel = 32;
    h.compression = 3;
    h.xPelsPerMeter = 2835;
    h.redMask = 0x00FF0000;
    h.greenMask = 0x0000FF00;
    h.blueMask = 0x000000FF;
    h.alphaMask = 0xFF000000;
    for (uint32_t size : { 40u, 56u, 124u, 12u, 125u }) {
        h.size = size;
        LSizedArray<unsigned char> array;
        LOutputStreamByteArray out(array);
        LProcessDIBSave<LOutputStreamByteArray> save(buffer, 0, out);
        const LProcessResult result = save.HeaderSave(h);
        std::vector<uint8_t> b(array.GetData(), array.GetData() + array.GetCount());
        if (size < 40 || size > 124) {
            EXPECT_EQ(result, LProcessResultError) << size;
            EXPECT_TRUE(b.empty()) << size;
            continue;
        }
        ASSERT_EQ(result, LProcessResultSuccess) << size;
        ASSERT_EQ(b.size(), size);
        EXPECT_EQ(LE32(b, 0), size);
        EXPECT_EQ(LE32(b, 16), 3u);
        EXPECT_EQ(LE32(b, 24), 2835u);
        if (size >= 56) {
            EXPECT_EQ(LE32(b, 40), 0x00FF0000u);
            EXPECT_EQ(LE32(b, 52), 0xFF000000u);
        }
        if (size == 124) {
            EXPECT_EQ(std::string(b.begin() + 56, b.begin() + 60), "BGRs");
            EXPECT_TRUE(std::all_of(b.begin() + 60, b.end(), [](uint8_t v) { return v == 0; }));
        }
    }
}
