// PSD: ImageMagick's files of every mode and depth against its own merged image, raw against
// run-length data, the layered writer's exact layout and its files read by ImageMagick, and
// hostile input.
#include "ImageTestSupport.h"

#include "lfw/graphics/LImageFile.h"
#include "lfw/graphics/LPSDCodec.h"

#include <gtest/gtest.h>

using namespace imagetest;

namespace {

struct Bytes {
    std::vector<uint8_t> data;
    Bytes& U8(uint32_t v)
    {
        data.push_back(uint8_t(v));
        return *this;
    }
    Bytes& U16(uint32_t v) { return U8(v >> 8).U8(v); }
    Bytes& U32(uint32_t v) { return U16(v >> 16).U16(v); }
    Bytes& Add(const std::vector<uint8_t>& more)
    {
        data.insert(data.end(), more.begin(), more.end());
        return *this;
    }
};

// A file up to its compression word: header, empty sections (colour mode data of mapLength
// zero bytes).
Bytes Header(uint32_t channels, uint32_t rows, uint32_t columns, uint32_t depth, uint32_t mode,
    uint32_t mapLength = 0)
{
    Bytes b;
    b.data = { '8', 'B', 'P', 'S' };
    b.U16(1).U32(0).U16(0).U16(channels).U32(rows).U32(columns).U16(depth).U16(mode);
    b.U32(mapLength).Add(std::vector<uint8_t>(mapLength, 0));
    b.U32(0).U32(0);
    return b;
}

// Reads big-endian numbers from a written file.
struct Reader {
    const std::vector<uint8_t>& d;
    size_t at = 0;
    uint32_t U8() { return at < d.size() ? d[at++] : 0; }
    uint32_t U16()
    {
        const uint32_t hi = U8();
        return hi << 8 | U8();
    }
    uint32_t U32()
    {
        const uint32_t hi = U16();
        return hi << 16 | U16();
    }
    std::string Text(size_t n)
    {
        std::string s;
        for (size_t i = 0; i < n; ++i)
            s += char(U8());
        return s;
    }
};

LImageBuffer Pattern(int width, int height, uint32_t seed)
{
    LImageBuffer image(LImageFormat(LPixelFormatB8G8R8A8, width, height));
    FillPattern(image, seed);
    // Some runs, so that run-length coding pays in places.
    for (int y = 0; y < height; y += 2)
        std::memset(image.GetRow(y), int(seed * 40), size_t(width) * 2);
    return image;
}

} // namespace

struct PSDCase {
    const char* file;
    const char* ref;
    int32_t bits;
    bool alpha;
    // ImageMagick rounds 16-bit samples where the reader takes the high byte, and its grey of
    // the alpha picture differs by one from the grey it stored.
    int tolerance;
};

void PrintTo(const PSDCase& c, std::ostream* os)
{
    *os << c.file;
}

class PSDFixtures : public ::testing::TestWithParam<PSDCase> { };

TEST_P(PSDFixtures, DecodeAsImageMagicksMergedImage)
{
    const PSDCase& c = GetParam();
    const std::string name = c.file;
    RefImage ref;
    ASSERT_TRUE(ReadRef(Fixture(c.ref), ref));
    const std::vector<uint8_t> bytes = ReadBytes(Fixture(name + ".psd"));
    LImageBuffer buffer;
    const CodecLoaded l = LoadBytes<LProcessPSDLoad>(bytes, buffer);
    ASSERT_EQ(l.result, LProcessResultSuccess);
    EXPECT_EQ(l.value, c.bits);
    EXPECT_EQ(buffer.GetPixelFormat(), c.alpha ? LPixelFormatB8G8R8A8 : LPixelFormatB8G8R8);
    const int diff = MaxDifference(buffer, ref, c.alpha);
    EXPECT_GE(diff, 0);
    EXPECT_LE(diff, c.tolerance);
    // A file cut anywhere, the image data included, fails (ImageMagick ends its files with a
    // byte of padding).
    ExpectCutsFail<LProcessPSDLoad>(bytes, bytes.size() - 1, name);
}

INSTANTIATE_TEST_SUITE_P(All, PSDFixtures,
    ::testing::Values(PSDCase { "psd_rgb", "psd_rgb.ref.ppm", 24, false, 0 },
        PSDCase { "psd_rgb_raw", "psd_rgb.ref.ppm", 24, false, 0 },
        PSDCase { "psd_rgb16", "psd_rgb16.ref.ppm", 48, false, 1 },
        PSDCase { "psd_rgba", "psd_rgba.ref.pam", 32, true, 0 },
        PSDCase { "psd_grey", "psd_grey.ref.ppm", 8, false, 0 },
        PSDCase { "psd_grey16", "psd_grey16.ref.ppm", 16, false, 1 },
        PSDCase { "psd_grey_alpha", "psd_grey_alpha.ref.pam", 16, true, 1 },
        PSDCase { "psd_cmyk", "psd_cmyk.ref.ppm", 32, false, 1 },
        PSDCase { "psd_cmyk16", "psd_cmyk16.ref.ppm", 64, false, 1 },
        PSDCase { "psd_indexed", "psd_indexed.ref.ppm", 8, false, 0 }),
    [](const auto& info) { return std::string(info.param.file); });

TEST(PSDReader, RawAndRunLengthLoadIdentically)
{
    LImageBuffer raw, rle;
    ASSERT_EQ(LoadBytes<LProcessPSDLoad>(ReadBytes(Fixture("psd_rgb_raw.psd")), raw).result,
        LProcessResultSuccess);
    ASSERT_EQ(LoadBytes<LProcessPSDLoad>(ReadBytes(Fixture("psd_rgb.psd")), rle).result,
        LProcessResultSuccess);
    ASSERT_EQ(raw.GetFormat(), rle.GetFormat());
    for (int y = 0; y < raw.GetHeight(); ++y)
        EXPECT_EQ(std::memcmp(raw.GetRow(y), rle.GetRow(y), raw.GetFormat().RowBytes()), 0);
}

TEST(PSDReader, ModesAndChannels)
{
    LImageBuffer buffer;
    uint8_t p[4];
    // Grey with 3 channels: the second is alpha, the third ignored.
    Bytes grey = Header(3, 1, 2, 8, 1);
    grey.U16(0).Add({ 10, 20, 30, 40, 50, 60 });
    const CodecLoaded l = LoadBytes<LProcessPSDLoad>(grey.data, buffer);
    ASSERT_EQ(l.result, LProcessResultSuccess);
    EXPECT_EQ(l.value, 24);
    ASSERT_EQ(buffer.GetPixelFormat(), LPixelFormatB8G8R8A8);
    BufferPixel(buffer, 1, 0, p);
    EXPECT_EQ(std::vector<int>({ p[0], p[1], p[2], p[3] }), std::vector<int>({ 20, 20, 20, 40 }));
    // 16-bit RGB keeps the high byte of every sample.
    Bytes wide = Header(3, 1, 1, 16, 3);
    wide.U16(0).Add({ 0x12, 0xFF, 0x34, 0x00, 0x56, 0x80 });
    ASSERT_EQ(LoadBytes<LProcessPSDLoad>(wide.data, buffer).value, 48);
    BufferPixel(buffer, 0, 0, p);
    EXPECT_EQ(std::vector<int>({ p[0], p[1], p[2] }), std::vector<int>({ 0x12, 0x34, 0x56 }));
    // CMYK: K darkens the three others.
    Bytes cmyk = Header(4, 1, 1, 8, 4);
    cmyk.U16(0).Add({ 255, 128, 0, 128 });
    ASSERT_EQ(LoadBytes<LProcessPSDLoad>(cmyk.data, buffer).result, LProcessResultSuccess);
    BufferPixel(buffer, 0, 0, p);
    EXPECT_EQ(std::vector<int>({ p[0], p[1], p[2] }), std::vector<int>({ 128, 64, 0 }));
    // PackBits: a repeat run, a literal run and a -128 header that is skipped.
    Bytes packed = Header(1, 2, 3, 8, 1);
    packed.U16(1).U16(2).U16(5).Add({ 0xFE, 7, 0x80, 0x02, 1, 2, 3 });
    ASSERT_EQ(LoadBytes<LProcessPSDLoad>(packed.data, buffer).result, LProcessResultSuccess);
    BufferPixel(buffer, 2, 0, p);
    EXPECT_EQ(p[0], 7);
    BufferPixel(buffer, 2, 1, p);
    EXPECT_EQ(p[0], 3);
}

TEST(PSDReader, HostileInput)
{
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    const std::vector<uint8_t> data(64, 1);
    auto with
        = [&](Bytes b, uint32_t compression = 0) { return b.U16(compression).Add(data).data; };
    std::vector<Case> cases = {
        { "bitmap mode", with(Header(1, 2, 2, 1, 0)) },
        { "depth 1 grey", with(Header(1, 2, 2, 1, 1)) },
        { "depth 32", with(Header(3, 2, 2, 32, 3)) },
        { "0 channels", with(Header(0, 2, 2, 8, 3)) },
        { "25 channels", with(Header(25, 2, 2, 8, 3)) },
        { "0 rows", with(Header(3, 0, 2, 8, 3)) },
        { "30001 columns", with(Header(3, 2, 30001, 8, 3)) },
        { "RGB of 2 channels", with(Header(2, 2, 2, 8, 3)) },
        { "CMYK of 3 channels", with(Header(3, 2, 2, 8, 4)) },
        { "indexed of 2 channels", with(Header(2, 2, 2, 8, 2, 768)) },
        { "indexed palette of 767", with(Header(1, 2, 2, 8, 2, 767)) },
        { "Lab", with(Header(3, 2, 2, 8, 9)) },
        { "compression 2", with(Header(3, 2, 2, 8, 3), 2) },
        // Sizes the data cannot hold: nothing is allocated.
        { "large raw", with(Header(3, 30000, 30000, 8, 3)) },
        { "large packed", with(Header(3, 4000, 4000, 8, 3), 1) },
        { "data cut short", Header(3, 4, 4, 8, 3).U16(0).Add({ 1, 2, 3 }).data },
    };
    std::vector<uint8_t> signature = with(Header(3, 2, 2, 8, 3));
    signature[0] = '9';
    cases.push_back({ "signature", signature });
    std::vector<uint8_t> version = with(Header(3, 2, 2, 8, 3));
    version[5] = 2;
    cases.push_back({ "version 2", version });
    std::vector<uint8_t> reserved = with(Header(3, 2, 2, 8, 3));
    reserved[9] = 1;
    cases.push_back({ "reserved bytes", reserved });
    // A section whose length runs past the end of the file, and one of 2^31 and more.
    std::vector<uint8_t> section = with(Header(3, 2, 2, 8, 3));
    section[30] = 0x01;
    cases.push_back({ "image resources past the end", section });
    section[30] = 0x80;
    cases.push_back({ "image resources of 2^31", section });
    for (const Case& c : cases) {
        LImageBuffer buffer;
        EXPECT_EQ(LoadBytes<LProcessPSDLoad>(c.bytes, buffer).result, LProcessResultError)
            << c.what;
        if (std::string(c.what) != "data cut short") {
            EXPECT_FALSE(buffer.HasStore()) << c.what;
        }
    }
}

TEST(PSDWriter, SingleImageLayout)
{
    const LImageBuffer image = Pattern(37, 23, 1);
    const std::vector<uint8_t> out = SaveBytes<LProcessPSDSave>(image);
    ASSERT_FALSE(out.empty());
    Reader r { out };
    EXPECT_EQ(r.Text(4), "8BPS");
    EXPECT_EQ(r.U16(), 1u);
    r.U32(), r.U16();
    EXPECT_EQ(r.U16(), 4u); // channels
    EXPECT_EQ(r.U32(), 23u);
    EXPECT_EQ(r.U32(), 37u);
    EXPECT_EQ(r.U16(), 8u);
    EXPECT_EQ(r.U16(), 3u);
    EXPECT_EQ(r.U32(), 0u); // colour mode data
    EXPECT_EQ(r.U32(), 0u); // image resources
    const uint32_t total = r.U32();
    const size_t sectionEnd = r.at + total;
    const uint32_t info = r.U32();
    EXPECT_EQ(info, total - 4);
    EXPECT_EQ(info % 2, 0u);
    EXPECT_EQ(r.U16(), 1u); // one layer
    EXPECT_EQ(r.U32(), 0u);
    EXPECT_EQ(r.U32(), 0u);
    EXPECT_EQ(r.U32(), 23u);
    EXPECT_EQ(r.U32(), 37u);
    EXPECT_EQ(r.U16(), 4u);
    uint32_t lengths[4];
    const uint32_t ids[4] = { 0, 1, 2, 0xFFFF };
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(r.U16(), ids[c]);
        lengths[c] = r.U32();
    }
    EXPECT_EQ(r.Text(8), "8BIMnorm");
    EXPECT_EQ(r.U32(), 0xFF000000u); // opacity 255, clipping, flags, filler
    EXPECT_EQ(r.U32(), 66u); // extra data
    EXPECT_EQ(r.U32(), 0u);
    EXPECT_EQ(r.U32(), 0u);
    EXPECT_EQ(r.U8(), 7u);
    EXPECT_EQ(r.Text(7), "Lager 0");
    EXPECT_EQ(r.Text(8), "8BIMluni");
    EXPECT_EQ(r.U32(), 18u);
    EXPECT_EQ(r.U32(), 7u);
    std::string name;
    for (int i = 0; i < 7; ++i)
        name += char(r.U16());
    EXPECT_EQ(name, "Lager 0");
    EXPECT_EQ(r.Text(8), "8BIMlclr");
    EXPECT_EQ(r.U32(), 8u);
    EXPECT_EQ(r.U32(), 0u);
    EXPECT_EQ(r.U32(), 0u);
    for (int c = 0; c < 4; ++c) {
        const size_t start = r.at;
        const uint32_t compression = r.U16();
        EXPECT_EQ(compression, lengths[c] - 2 < 37u * 23 ? 1u : 0u);
        r.at = start + lengths[c];
    }
    // The padding to an even length, then the merged image to the end of the file.
    EXPECT_LE(sectionEnd - r.at, 1u);
    r.at = sectionEnd;
    const uint32_t compression = r.U16();
    EXPECT_LE(compression, 1u);
    if (compression == 0) {
        EXPECT_EQ(out.size() - r.at, 37u * 23 * 4);
    }

    // Our reader reads it back exactly, alpha included.
    LImageBuffer back;
    ASSERT_EQ(LoadBytes<LProcessPSDLoad>(out, back).value, 32);
    for (int y = 0; y < 23; ++y)
        EXPECT_EQ(std::memcmp(back.GetRow(y), image.GetRow(y), 37 * 4), 0);
}

TEST(PSDWriter, ChannelCoding)
{
    // 4 pixels wide: every channel raw. A uniform image wider than that: every channel coded.
    LImageBuffer narrow = Pattern(4, 6, 2);
    LImageBuffer uniform(LImageFormat(LPixelFormatB8G8R8, 50, 6));
    for (int y = 0; y < 6; ++y)
        std::memset(uniform.GetRow(y), 77, 150);
    for (const LImageBuffer* image : { &narrow, &uniform }) {
        std::vector<uint8_t> raw, encoded;
        uint32_t sizes[4];
        LProcessInterfaceVoid job;
        ASSERT_EQ(LPSDPopulateChannels(job, *image, raw, encoded, sizes), LProcessResultSuccess);
        const uint32_t plane = uint32_t(image->GetWidth() * image->GetHeight());
        for (int c = 0; c < 4; ++c) {
            if (image == &narrow) {
                EXPECT_EQ(sizes[c], plane);
            } else {
                // The row table and one repeat run of 50 bytes a row.
                EXPECT_EQ(sizes[c], 6u * 2 + 6u * 2);
            }
        }
        // Alpha of a format without alpha is 255.
        EXPECT_EQ(raw[size_t(plane) * 3], image == &uniform ? 255 : raw[size_t(plane) * 3]);
    }
    // A row of 130 equal bytes codes as runs of 128 and 2: headers 0x81 and 0xFF.
    std::vector<uint8_t> plane(130, 9), out(130);
    uint32_t size = 0;
    LProcessInterfaceVoid job;
    ASSERT_EQ(
        LPSDCompressChannel(job, plane.data(), 130, 1, out.data(), size), LProcessResultSuccess);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + size),
        (std::vector<uint8_t> { 0, 4, 0x81, 9, 0xFF, 9 }));
    // Pairs stay inside a literal run; three equal bytes end it.
    std::vector<uint8_t> mixed = { 1, 2, 2, 3, 4, 4, 4, 5, 5, 5, 5, 5, 5, 5, 5, 5 }, coded(16);
    ASSERT_EQ(
        LPSDCompressChannel(job, mixed.data(), 16, 1, coded.data(), size), LProcessResultSuccess);
    EXPECT_EQ(std::vector<uint8_t>(coded.begin(), coded.begin() + size),
        (std::vector<uint8_t> { 0, 9, 3, 1, 2, 2, 3, 0xFE, 4, 0xF8, 5 }));
    // Coding that does not save at least two bytes a row is declined.
    EXPECT_EQ(
        LPSDCompressChannel(job, mixed.data(), 8, 1, coded.data(), size), LProcessResultError);
}

TEST(PSDWriter, ReadByImageMagickAndThroughTheCodecTable)
{
    RefImage ref;
    ASSERT_TRUE(ReadRef(Fixture("psd_rgba.ref.pam"), ref));
    LImageBuffer source;
    BufferFromRef(ref, source, true);
    TempFolder folder;
    const std::string path = folder / "ours.psd";
    ASSERT_TRUE(LImage::Save(source, path.c_str()));
    LImageBuffer back;
    EXPECT_EQ(LImage::Load(back, path.c_str(), 0), 32u);
    EXPECT_EQ(MaxDifference(back, ref, true), 0);
    if (!HaveTool("/usr/bin/convert"))
        GTEST_SKIP() << "ImageMagick is not installed";
    // The merged image: a positive layer count makes its fourth channel an extra channel, not
    // transparency, so ImageMagick reads the colours only. The layer holds the alpha.
    const std::string pam = folder / "ours.pam";
    ASSERT_TRUE(RunCommand("/usr/bin/convert '" + path + "[0]' -depth 8 -strip pam:" + pam));
    RefImage theirs;
    ASSERT_TRUE(ReadRef(pam, theirs));
    EXPECT_EQ(MaxDifference(source, theirs), 0);
    ASSERT_TRUE(RunCommand("/usr/bin/convert '" + path + "[1]' -depth 8 -strip pam:" + pam));
    ASSERT_TRUE(ReadRef(pam, theirs));
    ASSERT_TRUE(theirs.hasAlpha);
    EXPECT_EQ(MaxDifference(source, theirs, true), 0);
}

TEST(PSDWriter, LayersAndTheirOrder)
{
    TempFolder folder;
    const std::string path = folder / "layers.psd";
    const LImageBuffer first = Pattern(20, 10, 3), second = Pattern(12, 7, 4),
                       merged = Pattern(20, 10, 5);
    {
        LOutputStreamFile stream;
        ASSERT_TRUE(stream.Open(path.c_str()));
        LLayeredPSDSave<LOutputStreamFile> save(stream);
        save.SetDocumentSize(20, 10);
        LProcessInterfaceVoid job;
        ASSERT_EQ(save.ReserveLayer(job, first, "Första"), LProcessResultSuccess);
        ASSERT_EQ(save.ReserveLayer(job, second, nullptr), LProcessResultSuccess);
        // The merged image comes after every layer.
        EXPECT_EQ(save.WriteFinalRender(job, merged), LProcessResultError);
        // Layers are written in the order reserved: the first record does not fit the second
        // image.
        EXPECT_EQ(save.WriteLayer(job, second), LProcessResultError);
        // Once the header is written no layer can be reserved.
        EXPECT_EQ(save.ReserveLayer(job, first, "Sen"), LProcessResultError);
    }
    // Written in order: a fresh writer.
    {
        LOutputStreamFile stream;
        ASSERT_TRUE(stream.Open(path.c_str()));
        LLayeredPSDSave<LOutputStreamFile> save(stream);
        save.SetDocumentSize(20, 10);
        LProcessInterfaceVoid job;
        ASSERT_EQ(save.ReserveLayer(job, first, "Första"), LProcessResultSuccess);
        ASSERT_EQ(save.ReserveLayer(job, second, nullptr), LProcessResultSuccess);
        ASSERT_EQ(save.WriteLayer(job, first), LProcessResultSuccess);
        ASSERT_EQ(save.WriteLayer(job, second), LProcessResultSuccess);
        EXPECT_EQ(save.WriteLayer(job, second), LProcessResultError);
        EXPECT_EQ(save.WriteFinalRender(job, second), LProcessResultError);
        ASSERT_EQ(save.WriteFinalRender(job, merged), LProcessResultSuccess);
        EXPECT_EQ(save.WriteFinalRender(job, merged), LProcessResultError);
        ASSERT_TRUE(stream.Close());
    }
    LImageBuffer back;
    ASSERT_EQ(LoadBytes<LProcessPSDLoad>(ReadBytes(path), back).result, LProcessResultSuccess);
    for (int y = 0; y < 10; ++y)
        EXPECT_EQ(std::memcmp(back.GetRow(y), merged.GetRow(y), 80), 0);
    if (!HaveTool("/usr/bin/identify"))
        GTEST_SKIP() << "ImageMagick is not installed";
    const std::string list = folder / "list.txt";
    ASSERT_TRUE(RunCommand("/usr/bin/identify -format '%w %h %l\\n' " + path + " >" + list));
    const std::vector<uint8_t> text = ReadBytes(list);
    EXPECT_EQ(std::string(text.begin(), text.end()), "20 10 \n20 10 Första\n12 7 Lager 1\n");
}

TEST(PSDWriter, SizesTheHeaderCannotHold)
{
    LImageBuffer wide(LImageFormat(LPixelFormatB8G8R8, 30001, 1));
    std::memset(wide.GetRow(0), 0, 30001 * 3);
    EXPECT_TRUE(SaveBytes<LProcessPSDSave>(wide).empty());
    // B5G5R5X1 and the indexed formats are not written.
    LImageBuffer x1(LImageFormat(LPixelFormatB5G5R5X1, 8, 1));
    EXPECT_TRUE(SaveBytes<LProcessPSDSave>(x1).empty());
}

TEST(PSDWriter, LayerInformationPaddedToAnEvenLength)
{
    // 5 x 1 with a uniform red plane (coded in 4 bytes) and three varying planes (raw, 5 bytes
    // each): 19 bytes of channel data make the layer information odd before padding.
    LImageBuffer image(LImageFormat(LPixelFormatB8G8R8A8, 5, 1));
    for (int x = 0; x < 5; ++x) {
        unsigned char* p = image.GetRow(0) + x * 4;
        p[0] = uint8_t(x), p[1] = uint8_t(x * 3), p[2] = 200, p[3] = uint8_t(x * 50);
    }
    const std::vector<uint8_t> out = SaveBytes<LProcessPSDSave>(image);
    ASSERT_GT(out.size(), 42u);
    Reader r { out, 34 };
    const uint32_t total = r.U32(), info = r.U32();
    EXPECT_EQ(info, total - 4);
    // The layer count, the record of 111 bytes and the name (7 bytes, 7 UTF-16 units), the
    // channel data and the pad.
    EXPECT_EQ(info, 2u + 111 + 7 + 14 + 19 + 1);
    EXPECT_EQ(info % 2, 0u);
    // The merged image starts right after the section: width 5 codes raw here.
    r.at = 38 + total;
    EXPECT_EQ(r.U16(), 0u);
    EXPECT_EQ(out.size() - r.at, 5u * 4);
    LImageBuffer back;
    ASSERT_EQ(LoadBytes<LProcessPSDLoad>(out, back).result, LProcessResultSuccess);
    EXPECT_EQ(std::memcmp(back.GetRow(0), image.GetRow(0), 20), 0);
}
