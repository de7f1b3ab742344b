// PNM: netpbm's files in every variant against ImageMagick's decoding of them, the writer's
// output read back by ImageMagick, header comments and sample scaling, and hostile headers.
#include "ImageTestSupport.h"

#include "lfw/gen/LStream.h"
#include "lfw/graphics/LPNMCodec.h"

#include <gtest/gtest.h>

using namespace imagetest;

namespace {

struct Loaded {
    LProcessResult result = LProcessResultError;
    int32_t bits = 0;
};

Loaded LoadPNM(const std::string& text, LImageBuffer& buffer, LProcessInterface* job = nullptr)
{
    LInputStreamBuffer stream(text.data(), text.size());
    LProcessInterfaceVoid quiet;
    LProcessPNMLoad<LInputStreamBuffer> request(stream, buffer);
    Loaded out;
    out.result = Process(job ? *job : quiet, request);
    out.bits = request.result;
    return out;
}

Loaded LoadPNM(const std::vector<uint8_t>& bytes, LImageBuffer& buffer)
{
    return LoadPNM(std::string(bytes.begin(), bytes.end()), buffer);
}

std::string SavePNM(const LImageBuffer& source, uint32_t variant, uint32_t threshold = 32)
{
    LSizedArray<unsigned char> array;
    LOutputStreamByteArray stream(array);
    LProcessInterfaceVoid job;
    LProcessPNMSave<LOutputStreamByteArray> request(source, variant, threshold, stream);
    if (Process(job, request) != LProcessResultSuccess)
        return "<failed>";
    return std::string(reinterpret_cast<const char*>(array.GetData()), array.GetCount());
}

// B, G, R of the picture's pixel.
std::vector<int> At(const LImageBuffer& b, int x, int y)
{
    uint8_t p[4];
    BufferPixel(b, x, y, p);
    return { p[2], p[1], p[0] };
}

} // namespace

struct PNMCase {
    const char* file;
    const char* ref;
    int32_t bits;
    int tolerance; // ImageMagick rounds where the reader truncates
};

void PrintTo(const PNMCase& c, std::ostream* os)
{
    *os << c.file;
}

class PNMFixtures : public ::testing::TestWithParam<PNMCase> { };

TEST_P(PNMFixtures, DecodeAsImageMagickDoes)
{
    const PNMCase& c = GetParam();
    RefImage ref;
    ASSERT_TRUE(ReadRef(Fixture(c.ref), ref));
    LImageBuffer buffer;
    Loaded loaded = LoadPNM(ReadBytes(Fixture(c.file)), buffer);
    ASSERT_EQ(loaded.result, LProcessResultSuccess);
    EXPECT_EQ(loaded.bits, c.bits);
    EXPECT_EQ(buffer.GetPixelFormat(), LPixelFormatB8G8R8);
    EXPECT_FALSE(buffer.IsBottomUp());
    const int diff = MaxDifference(buffer, ref);
    EXPECT_GE(diff, 0);
    EXPECT_LE(diff, c.tolerance);

    // Every truncation of the file fails without a crash.
    std::vector<uint8_t> whole = ReadBytes(Fixture(c.file));
    size_t checked = whole.size();
    const bool text = c.file[1] >= '1' && c.file[1] <= '3';
    if (text) {
        // Cutting digits off the last sample of a text file leaves a smaller valid sample.
        while (checked > 0 && std::isspace(whole[checked - 1]))
            --checked;
        while (checked > 0 && !std::isspace(whole[checked - 1]))
            --checked;
    }
    for (size_t n = 0; n < checked; ++n) {
        std::string cut(whole.begin(), whole.begin() + ptrdiff_t(n));
        EXPECT_EQ(LoadPNM(cut, buffer).result, LProcessResultError) << c.file << " at " << n;
    }
}

INSTANTIATE_TEST_SUITE_P(All, PNMFixtures,
    ::testing::Values(PNMCase { "p1.pbm", "p1.ref.ppm", 1, 0 },
        PNMCase { "p2.pgm", "p2.ref.ppm", 8, 0 }, PNMCase { "p3.ppm", "p3.ref.ppm", 24, 0 },
        PNMCase { "p4.pbm", "p4.ref.ppm", 1, 0 }, PNMCase { "p5.pgm", "p5.ref.ppm", 8, 0 },
        PNMCase { "p6.ppm", "p6.ref.ppm", 24, 0 },
        PNMCase { "p6_1000.ppm", "p6_1000.ref.ppm", 48, 1 },
        PNMCase { "p5_1000.pgm", "p5_1000.ref.ppm", 16, 1 },
        PNMCase { "p3_15.ppm", "p3_15.ref.ppm", 24, 1 }),
    [](const auto& info) {
        std::string n = info.param.file;
        return n.substr(0, n.find('.'));
    });

TEST(PNMCodec, HeadersCommentsAndScaling)
{
    LImageBuffer buffer;
    // A comment line before the size; one red and one blue pixel.
    Loaded l = LoadPNM("P3\n# made by hand\n2 1\n255\n255 0 0 0 0 255\n", buffer);
    ASSERT_EQ(l.result, LProcessResultSuccess);
    EXPECT_EQ(l.bits, 24);
    EXPECT_EQ(At(buffer, 0, 0), (std::vector<int> { 0, 0, 255 }));
    EXPECT_EQ(At(buffer, 1, 0), (std::vector<int> { 255, 0, 0 }));
    // Comments between every token, and directly after the magic number.
    ASSERT_EQ(LoadPNM("P2#c\n1#c\n1 #c\n#c\n10#c\n 5#end\n", buffer).result, LProcessResultSuccess);
    EXPECT_EQ(At(buffer, 0, 0)[0], 5 * 255 / 10);
    // maxval 1 scales 1 to 255; samples above maxval count as maxval.
    ASSERT_EQ(LoadPNM("P2 3 1 1 0 1 7", buffer).result, LProcessResultSuccess);
    EXPECT_EQ(At(buffer, 0, 0)[0], 0);
    EXPECT_EQ(At(buffer, 1, 0)[0], 255);
    EXPECT_EQ(At(buffer, 2, 0)[0], 255);
    // A raw 16-bit greymap with a sample above maxval.
    std::string raw16 = "P5 2 1 1000\n";
    raw16 += std::string { char(0x01), char(0xF4), char(0xFF), char(0xFF) };
    l = LoadPNM(raw16, buffer);
    ASSERT_EQ(l.result, LProcessResultSuccess);
    EXPECT_EQ(l.bits, 16);
    EXPECT_EQ(At(buffer, 0, 0)[0], 500 * 255 / 1000);
    EXPECT_EQ(At(buffer, 1, 0)[0], 255);
    // A raw 8-bit pixmap with maxval 100: truncating division, clamped samples.
    std::string raw8 = "P6 1 1 100 ";
    raw8 += std::string { char(50), char(101), char(0) };
    ASSERT_EQ(LoadPNM(raw8, buffer).result, LProcessResultSuccess);
    EXPECT_EQ(At(buffer, 0, 0), (std::vector<int> { 0, 255, 127 }));
    // P1 pixels need no whitespace between them.
    ASSERT_EQ(LoadPNM("P1 3 1 101", buffer).result, LProcessResultSuccess);
    EXPECT_EQ(At(buffer, 1, 0)[0], 255);
    EXPECT_EQ(At(buffer, 2, 0)[0], 0);
    // A comment that runs to the end of the data after the last sample ends the pixels; one
    // after an earlier sample leaves pixels missing.
    EXPECT_EQ(LoadPNM("P2 2 1 9 1 2 #end", buffer).result, LProcessResultSuccess);
    EXPECT_EQ(LoadPNM("P2 2 1 9 1 #end", buffer).result, LProcessResultError);
    EXPECT_EQ(LoadPNM("P3 1 1 9 1 #x", buffer).result, LProcessResultError);
    // A P4 row of width 10 takes two bytes; the six low bits of the second are ignored.
    std::string p4 = "P4 10 1\n";
    p4 += std::string { char(0x80), char(0x7F) };
    ASSERT_EQ(LoadPNM(p4, buffer).result, LProcessResultSuccess);
    EXPECT_EQ(At(buffer, 0, 0)[0], 0);
    EXPECT_EQ(At(buffer, 1, 0)[0], 255);
    EXPECT_EQ(At(buffer, 9, 0)[0], 0);
    EXPECT_EQ(At(buffer, 8, 0)[0], 255);
}

TEST(PNMCodec, HostileHeaders)
{
    LImageBuffer buffer;
    for (const char* text : {
             "",
             "P",
             "P7 1 1 255 x",
             "P0 1 1",
             "Q3 1 1 255 0 0 0",
             "P3 1 1 0 0 0 0",
             "P2 1 1 65536 0",
             "P2 1 1 99999999999 0",
             "P2 99999999999 1 255 0",
             "P2 1 4294967297 255 0",
             "P2 0 1 255",
             "P2 1 0 255",
             "P2 -1 1 255 0",
             "P2 1 1 255 300000000000",
             "P1 1 1 2",
             "P1 2 1 1x",
             "P6 1 1 255x\1\2\3",
             "P5 1 1 255\n",
             "P2 1 1 #only a comment",
             // Sizes the data cannot hold, refused before any memory is taken.
             "P6 65535 65535 255\n\1\2\3",
             "P4 2147483647 2147483647\n\1",
             "P3 100000 100000 255 1 2 3",
             "P1 16384 16385 0",
         }) {
        EXPECT_EQ(LoadPNM(std::string(text), buffer).result, LProcessResultError) << text;
    }
}

TEST(PNMCodec, WriterOutput)
{
    LImageBuffer source(LImageFormat(LPixelFormatB8G8R8A8, 3, 2));
    const uint8_t rows[2][12] = { { 0, 0, 255, 0, 0, 255, 0, 255, 255, 0, 0, 128 },
        { 255, 255, 255, 255, 0, 0, 0, 255, 127, 127, 127, 255 } };
    std::memcpy(source.GetPictureRow(0), rows[0], 12);
    std::memcpy(source.GetPictureRow(1), rows[1], 12);

    EXPECT_EQ(SavePNM(source, 2),
        "P3\n3 2\n255\n255 0 0 0 255 0 0 0 255\n255 255 255 0 0 0 127 127 127\n");
    // Greys by the black-and-white effect: red 75, green 154, blue 24.
    EXPECT_EQ(SavePNM(source, 1), "P2\n3 2\n255\n75 154 24\n255 0 127\n");
    EXPECT_EQ(SavePNM(source, 0, 128), "P1\n3 2\n1 0 1\n0 1 1\n");
    EXPECT_EQ(SavePNM(source, 5),
        std::string("P6\n3 2\n255\n\xFF\0\0\0\xFF\0\0\0\xFF\xFF\xFF\xFF\0\0\0\x7F\x7F\x7F", 29));
    EXPECT_EQ(SavePNM(source, 4), std::string("P5\n3 2\n255\nK\x9A\x18\xFF\0\x7F", 17));
    // Bitmaps: 1 is black; threshold 128 makes 127 black and 128 white; the low bits are 0.
    EXPECT_EQ(SavePNM(source, 3, 128), std::string("P4\n3 2\n\xA0\x60", 9));
    EXPECT_EQ(SavePNM(source, 6), "<failed>");

    // A bitmap of width 10 writes two bytes a row, the six low bits 0.
    LImageBuffer wide(LImageFormat(LPixelFormatB8G8R8, 10, 1));
    std::memset(wide.GetRow(0), 0, 30);
    EXPECT_EQ(SavePNM(wide, 3), std::string("P4\n10 1\n\xFF\xC0", 10));

    // A source the effect leaves alone (R8G8B8) is written as its red channel.
    LImageBuffer rgb(LImageFormat(LPixelFormatR8G8B8, 2, 1));
    const uint8_t px[] = { 200, 10, 10, 20, 250, 250 };
    std::memcpy(rgb.GetRow(0), px, 6);
    EXPECT_EQ(SavePNM(rgb, 1), "P2\n2 1\n255\n200 20\n");
    EXPECT_EQ(SavePNM(rgb, 0, 100), "P1\n2 1\n0 1\n");

    // Threshold 128: grey 127 black, 128 white, and back as black and white.
    LImageBuffer greys(LImageFormat(LPixelFormatB8G8R8, 2, 1));
    const uint8_t g[] = { 127, 127, 127, 128, 128, 128 };
    std::memcpy(greys.GetRow(0), g, 6);
    const std::string bitmap = SavePNM(greys, 3, 128);
    EXPECT_EQ(bitmap, std::string("P4\n2 1\n\x80", 8));
    LImageBuffer back;
    ASSERT_EQ(LoadPNM(bitmap, back).result, LProcessResultSuccess);
    EXPECT_EQ(At(back, 0, 0)[0], 0);
    EXPECT_EQ(At(back, 1, 0)[0], 255);
}

TEST(PNMCodec, EveryFormatOfEveryVariantReadsBack)
{
    // Sources of each pixel format, every variant, read back by this reader and (when there)
    // by ImageMagick.
    const bool haveIM = HaveTool("/usr/bin/convert");
    TempFolder folder;
    RefImage ref;
    ASSERT_TRUE(ReadRef(Fixture("p6.ref.ppm"), ref));
    LImageBuffer base;
    ASSERT_EQ(LoadPNM(ReadBytes(Fixture("p6.ppm")), base).result, LProcessResultSuccess);
    for (uint32_t variant = 0; variant < 6; ++variant) {
        const std::string out = SavePNM(base, variant);
        ASSERT_NE(out, "<failed>");
        LImageBuffer back;
        ASSERT_EQ(LoadPNM(out, back).result, LProcessResultSuccess) << variant;
        if (variant % 3 == 2) {
            EXPECT_EQ(MaxDifference(back, ref), 0) << variant;
        }
        if (haveIM) {
            const std::string file = folder / ("v" + std::to_string(variant) + ".pnm");
            ASSERT_TRUE(WriteBytes(file, std::vector<uint8_t>(out.begin(), out.end())));
            ASSERT_TRUE(RunCommand("/usr/bin/convert " + file + " -depth 8 ppm:" + file + ".ref"));
            RefImage im;
            ASSERT_TRUE(ReadRef(file + ".ref", im));
            EXPECT_EQ(MaxDifference(back, im), 0) << variant;
        }
    }
}

TEST(PNMCodec, StopRequest)
{
    LImageBuffer buffer;
    RecordingJob job(0);
    EXPECT_EQ(LoadPNM(std::string("P2 1 1 255 0"), buffer, &job).result, LProcessResultStopped);
    EXPECT_EQ(job.status, "Avkodning PNM bild");
}
