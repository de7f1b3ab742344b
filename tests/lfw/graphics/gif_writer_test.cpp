// The GIF writer: the block layout read back byte by byte, the files decoded by ImageMagick,
// netpbm's giftopnm and giflib (through the framework's reader), a photograph's quality, the
// several-frame encoder, and failures that must leave no file.
#include "ImageTestSupport.h"

#include "lfw/gen/LStream.h"
#include "lfw/graphics/LGIFEncoder.h"
#include "lfw/graphics/LImageFile.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fcntl.h>
#include <set>

using namespace imagetest;

namespace {

// The blocks of a GIF file as this test reads them.
struct Parsed {
    bool ok = false;
    std::string signature;
    int width = 0, height = 0, screenPacked = 0;
    int globalEntries = 0;
    int loopCount = -1;
    struct Control {
        int packed, delay, transparent;
    };
    std::vector<Control> controls;
    struct Image {
        int left, top, width, height, packed, codeSize;
        std::vector<std::array<int, 3>> table;
        size_t dataBytes;
    };
    std::vector<Image> images;
    bool trailer = false;
    size_t trailerAt = 0;
};

Parsed Parse(const std::vector<uint8_t>& f)
{
    Parsed p;
    size_t at = 0;
    auto need = [&](size_t n) { return at + n <= f.size(); };
    auto u16 = [&](size_t o) { return int(f[o] | f[o + 1] << 8); };
    // Sub-blocks up to the empty one; the bytes they hold, or SIZE_MAX when cut short.
    auto subBlocks = [&](std::vector<uint8_t>* data) -> size_t {
        size_t total = 0;
        while (need(1)) {
            const int n = f[at++];
            if (n == 0)
                return total;
            if (!need(size_t(n)))
                return SIZE_MAX;
            if (data)
                data->insert(data->end(), f.begin() + long(at), f.begin() + long(at + n));
            at += size_t(n);
            total += size_t(n);
        }
        return SIZE_MAX;
    };
    if (!need(13))
        return p;
    p.signature.assign(f.begin(), f.begin() + 6);
    p.width = u16(6), p.height = u16(8), p.screenPacked = f[10];
    at = 13;
    if (p.screenPacked & 0x80) {
        p.globalEntries = 2 << (p.screenPacked & 7);
        at += size_t(p.globalEntries) * 3;
    }
    while (need(1)) {
        const int kind = f[at++];
        if (kind == 0x3B) {
            p.trailer = true;
            p.trailerAt = at - 1;
            p.ok = at == f.size();
            return p;
        }
        if (kind == 0x21) {
            if (!need(1))
                return p;
            const int label = f[at++];
            std::vector<uint8_t> data;
            if (subBlocks(&data) == SIZE_MAX)
                return p;
            if (label == 0xF9 && data.size() == 4)
                p.controls.push_back({ data[0], data[1] | data[2] << 8, data[3] });
            if (label == 0xFF && data.size() >= 14
                && std::string(data.begin(), data.begin() + 11) == "NETSCAPE2.0")
                p.loopCount = data[12] | data[13] << 8;
            continue;
        }
        if (kind != 0x2C || !need(10))
            return p;
        Parsed::Image image { u16(at), u16(at + 2), u16(at + 4), u16(at + 6), f[at + 8], 0, {}, 0 };
        at += 9;
        if (image.packed & 0x80) {
            const int n = 2 << (image.packed & 7);
            if (!need(size_t(n) * 3))
                return p;
            for (int i = 0; i < n; ++i, at += 3)
                image.table.push_back({ f[at], f[at + 1], f[at + 2] });
        }
        if (!need(1))
            return p;
        image.codeSize = f[at++];
        image.dataBytes = subBlocks(nullptr);
        if (image.dataBytes == SIZE_MAX)
            return p;
        p.images.push_back(image);
    }
    return p;
}

std::vector<uint8_t> SaveGIF(
    const LImageBuffer& image, LProcessInterface* job = nullptr, LProcessResult* result = nullptr)
{
    LSizedArray<unsigned char> array;
    LOutputStreamByteArray stream(array);
    LProcessInterfaceVoid quiet;
    LProcessGIFSave<LOutputStreamByteArray> request(image, stream);
    const LProcessResult r = Process(job ? *job : quiet, request);
    if (result)
        *result = r;
    return std::vector<uint8_t>(array.begin(), array.end());
}

// The opaque pixels of the buffer equal the reference's; transparent ones (alpha 0 in the
// buffer) are transparent there too when the reference has alpha.
int PixelsDiffering(const LImageBuffer& b, const RefImage& ref)
{
    if (b.GetWidth() != ref.width || b.GetHeight() != ref.height)
        return -1;
    int differ = 0;
    for (int y = 0; y < ref.height; ++y)
        for (int x = 0; x < ref.width; ++x) {
            uint8_t p[4];
            BufferPixel(b, x, y, p);
            const uint8_t* q = ref.At(x, y);
            if (p[3] == 0)
                differ += ref.hasAlpha && q[3] != 0;
            else
                differ += p[0] != q[0] || p[1] != q[1] || p[2] != q[2]
                    || (ref.hasAlpha && q[3] != 255);
        }
    return differ;
}

} // namespace

TEST(GIFWriter, BlockLayoutOfASavedImage)
{
    // Two colours.
    LImageBuffer image;
    Paint(image, 13, 7, [](int x, int y) -> std::array<int, 4> {
        return (x + y) % 2 ? std::array<int, 4> { 255, 0, 0, 255 }
                           : std::array<int, 4> { 0, 0, 255, 255 };
    });
    RecordingJob job;
    LProcessResult result;
    const std::vector<uint8_t> gif = SaveGIF(image, &job, &result);
    ASSERT_EQ(result, LProcessResultSuccess);
    EXPECT_EQ(job.statuses.front(), "Kodning GIF bild");
    const Parsed p = Parse(gif);
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.signature, "GIF89a");
    EXPECT_EQ(p.width, 13);
    EXPECT_EQ(p.height, 7);
    EXPECT_EQ(p.screenPacked, 0) << "no global colour table";
    EXPECT_EQ(gif[11], 0);
    EXPECT_EQ(gif[12], 0);
    ASSERT_EQ(p.controls.size(), 1u);
    EXPECT_EQ(p.controls[0].delay, 10);
    EXPECT_EQ(p.controls[0].packed, 0);
    EXPECT_EQ(p.loopCount, -1);
    ASSERT_EQ(p.images.size(), 1u);
    const Parsed::Image& frame = p.images[0];
    EXPECT_EQ(frame.left, 0);
    EXPECT_EQ(frame.top, 0);
    EXPECT_EQ(frame.width, 13);
    EXPECT_EQ(frame.height, 7);
    EXPECT_EQ(frame.packed, 0x80);
    EXPECT_EQ(frame.codeSize, 2);
    ASSERT_EQ(frame.table.size(), 2u);
    const std::set<std::array<int, 3>> colours(frame.table.begin(), frame.table.end());
    EXPECT_EQ(colours, (std::set<std::array<int, 3>> { { 255, 0, 0 }, { 0, 0, 255 } }));
    EXPECT_EQ(gif.back(), 0x3B);
    EXPECT_EQ(job.lastProgress, 1.0);

    // Five colours: a table of eight, the last three black, and 3-bit codes.
    Paint(image, 10, 10, [](int x, int) -> std::array<int, 4> {
        const int v[] = { 10, 60, 110, 160, 210 };
        return { v[x / 2], 255 - v[x / 2], 7, 255 };
    });
    const Parsed five = Parse(SaveGIF(image));
    ASSERT_TRUE(five.ok);
    ASSERT_EQ(five.images.size(), 1u);
    EXPECT_EQ(five.images[0].packed, 0x82);
    EXPECT_EQ(five.images[0].codeSize, 3);
    ASSERT_EQ(five.images[0].table.size(), 8u);
    for (int i = 5; i < 8; ++i)
        EXPECT_EQ(five.images[0].table[i], (std::array<int, 3> { 0, 0, 0 }));

    // One colour: a table padded to two entries (a size field of 0), never the 256 entries a
    // size field of 7 would claim.
    Paint(image, 9, 4, [](int, int) -> std::array<int, 4> { return { 30, 60, 90, 255 }; });
    const std::vector<uint8_t> oneBytes = SaveGIF(image);
    const Parsed one = Parse(oneBytes);
    ASSERT_TRUE(one.ok);
    ASSERT_EQ(one.images.size(), 1u);
    EXPECT_EQ(one.images[0].packed, 0x80);
    EXPECT_EQ(one.images[0].codeSize, 2);
    ASSERT_EQ(one.images[0].table.size(), 2u);
    EXPECT_EQ(one.images[0].table[0], (std::array<int, 3> { 30, 60, 90 }));
    LImageBuffer back;
    ASSERT_NE(LImage::Load(back, oneBytes.data(), oneBytes.size(), LImage::EncodingGIF), 0u);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 9; ++x) {
            uint8_t px[4];
            BufferPixel(back, x, y, px);
            ASSERT_EQ((std::array<int, 4> { px[0], px[1], px[2], px[3] }),
                (std::array<int, 4> { 30, 60, 90, 255 }));
        }
}

TEST(GIFWriter, FewColoursReadBackPixelEqual)
{
    if (!HaveTool("/usr/bin/convert"))
        GTEST_SKIP() << "ImageMagick is not installed";
    TempFolder folder;
    // 200 colours (fewer than the 255 entries an image with alpha leaves for colours), an odd
    // width, a quarter fully transparent; stored bottom-up to be read as a picture.
    auto f = [](int x, int y) -> std::array<int, 4> {
        if (x < 20 && y < 15)
            return { 1, 2, 3, 0 };
        const int i = (x * 7 + y * 3) % 200;
        return { (i * 97) % 256, (i * 57 + 13) % 256, (i * 31 + 200) % 256, 255 };
    };
    LImageBuffer top;
    Paint(top, 81, 47, f);
    LImageBuffer image(LImageFormat(LPixelFormatB8G8R8A8, 81, 47, true));
    LImageBufferCopy(image, top);
    const std::string path = folder / "few.gif";
    ASSERT_TRUE(LImage::Save(image, path.c_str()));

    const Parsed p = Parse(ReadBytes(path));
    ASSERT_TRUE(p.ok);
    ASSERT_EQ(p.controls.size(), 1u);
    EXPECT_EQ(p.controls[0].packed & 1, 1) << "the transparency bit";
    ASSERT_EQ(p.images.size(), 1u);
    EXPECT_EQ(p.images[0].codeSize, 8);

    // ImageMagick.
    ASSERT_TRUE(RunCommand("/usr/bin/convert " + path + " -depth 8 pam:" + folder / "im.pam"));
    RefImage ref;
    ASSERT_TRUE(ReadRef(folder / "im.pam", ref));
    EXPECT_TRUE(ref.hasAlpha);
    EXPECT_EQ(PixelsDiffering(top, ref), 0);
    // giflib, through the framework's reader.
    LImageBuffer back;
    ASSERT_NE(LImage::Load(back, path.c_str(), 0), 0u);
    ASSERT_EQ(back.GetWidth(), 81);
    int differ = 0;
    for (int y = 0; y < 47; ++y)
        for (int x = 0; x < 81; ++x) {
            uint8_t a[4], b[4];
            BufferPixel(top, x, y, a);
            BufferPixel(back, x, y, b);
            if (a[3] == 0)
                differ += b[3] != 0;
            else
                differ += a[0] != b[0] || a[1] != b[1] || a[2] != b[2] || b[3] != 255;
        }
    EXPECT_EQ(differ, 0);
}

TEST(GIFWriter, PhotographKeepsItsQuality)
{
    if (!HaveTool("/usr/bin/convert") || !HaveTool("/usr/bin/giftopnm")
        || !HaveTool("/usr/bin/compare"))
        GTEST_SKIP() << "ImageMagick or netpbm is not installed";
    TempFolder folder;
    // ImageMagick's built-in photograph of a rose, enlarged to give it some pixels.
    const std::string source = folder / "rose.ppm";
    ASSERT_TRUE(RunCommand("/usr/bin/convert rose: -resize 300% -depth 8 ppm:" + source));
    LImageBuffer image;
    ASSERT_NE(LImage::Load(image, source.c_str(), 0), 0u);
    const std::string gif = folder / "rose.gif";
    ASSERT_TRUE(LImage::Save(image, gif.c_str()));
    ASSERT_TRUE(
        RunCommand("/usr/bin/giftopnm " + gif + " >" + folder / "back.ppm" + " 2>/dev/null"));
    const std::string psnrFile = folder / "psnr.txt";
    // compare exits 1 when the pictures differ at all; the figure is on its error output.
    RunCommand("/usr/bin/compare -metric PSNR " + source + " " + folder / "back.ppm" + " null: 2>"
        + psnrFile);
    const std::vector<uint8_t> text = ReadBytes(psnrFile);
    const double psnr = std::atof(std::string(text.begin(), text.end()).c_str());
    EXPECT_GE(psnr, 28.0) << std::string(text.begin(), text.end());
    std::printf("photograph through GIF and giftopnm: %.2f dB\n", psnr);
    const Parsed p = Parse(ReadBytes(gif));
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.images[0].table.size(), 256u);
    EXPECT_EQ(p.controls[0].packed & 1, 0) << "no transparent pixels";
}

TEST(GIFWriter, TooWideFailsAndLeavesNoFile)
{
    TempFolder folder;
    LImageBuffer image(LImageFormat(LPixelFormatB8G8R8A8, 65536, 1));
    FillPattern(image);
    const std::string path = folder / "wide.gif";
    EXPECT_FALSE(LImage::Save(image, path.c_str()));
    EXPECT_TRUE(folder.Entries().empty());

    // 65535 pixels still fit.
    LImageBuffer widest(LImageFormat(LPixelFormatB8G8R8, 65535, 1));
    FillPattern(widest);
    ASSERT_TRUE(LImage::Save(widest, path.c_str()));
    const Parsed p = Parse(ReadBytes(path));
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.width, 65535);
}

TEST(GIFWriter, StopsAndFailedWrites)
{
    LImageBuffer image;
    uint32_t seed = 3;
    Paint(image, 300, 300, [&](int, int) -> std::array<int, 4> {
        seed = seed * 1664525u + 1013904223u;
        return { int(seed >> 24), int(seed >> 16 & 255), int(seed >> 8 & 255), 255 };
    });
    // A stop before the frame is begun is a stop, not a failure.
    for (int stopAfter : { 0, 1, 5, 400 }) {
        RecordingJob stopping(stopAfter);
        LProcessResult result;
        SaveGIF(image, &stopping, &result);
        EXPECT_EQ(result, LProcessResultStopped) << stopAfter;
    }

    // The compressed data does not fit the device: the save fails.
    LOutputStreamFile full;
    if (full.Open("/dev/full")) {
        LProcessInterfaceVoid job;
        LProcessGIFSave<LOutputStreamFile> request(image, full);
        EXPECT_EQ(Process(job, request), LProcessResultError);
    }

    // A closed stream.
    LOutputStreamFile closed;
    LProcessInterfaceVoid job;
    LProcessGIFSave<LOutputStreamFile> request(image, closed);
    EXPECT_EQ(Process(job, request), LProcessResultError);
}

TEST(GIFWriter, SavedThroughTheCodecTable)
{
    LImageBuffer image;
    Paint(image, 5, 5, [](int x, int y) -> std::array<int, 4> {
        return { x * 50, y * 50, 0, 255 };
    });
    LSizedArray<unsigned char> array;
    LOutputStreamByteArray stream(array);
    LProcessInterfaceVoid job;
    LProcessImageSave<LOutputStreamByteArray> request(
        image, LImageCodec::GIF, LImageEncodeSettings(), stream);
    ASSERT_EQ(Process(job, request), LProcessResultSuccess);
    LImageBuffer back;
    ASSERT_NE(LImage::Load(back, array.GetData(), array.GetSize(), LImage::EncodingGIF), 0u);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) {
            uint8_t p[4];
            BufferPixel(back, x, y, p);
            EXPECT_EQ(p[0], x * 50);
            EXPECT_EQ(p[1], y * 50);
        }
    LImageCodecVetoer rule;
    EXPECT_TRUE(rule.IsEnabled(LImageCodec::GIF, LImageIOTypeSave));
}

TEST(GIFWriter, SeveralFramesGrowTheCanvas)
{
    if (!HaveTool("/usr/bin/identify"))
        GTEST_SKIP() << "ImageMagick is not installed";
    TempFolder folder;
    const std::string path = folder / "anim.gif";
    {
        LOutputStreamFile file;
        ASSERT_TRUE(file.Open(path.c_str()));
        LGIFEncoder<LOutputStreamFile> encoder(file, 2, LGIFLogicalScreenDescriptor());
        LPalette<LPFB8G8R8> palette;
        ASSERT_TRUE(palette.SetCount(2));
        palette[0] = { 0, 0, 0 };
        palette[1] = { 255, 255, 255 };
        ASSERT_TRUE(encoder.SetGlobalPalette(palette));
        encoder.loopCount = 3;
        LImageBuffer a, b;
        Paint(a, 10, 10, [](int x, int) -> std::array<int, 4> {
            return { x * 25, x * 25, x * 25, 255 };
        });
        Paint(b, 10, 10, [](int, int y) -> std::array<int, 4> {
            return { y > 4 ? 255 : 0, 0, 0, 255 };
        });
        LProcessInterfaceVoid job;
        EXPECT_EQ(encoder.AddFrame(job, a, 0, 0, 250, true, 256), LProcessResultSuccess);
        EXPECT_EQ(encoder.AddFrame(job, b, 6, 4, 40, true, 256), LProcessResultSuccess);
        EXPECT_EQ(encoder.AddFrame(job, b, 65530, 0, 40, true, 256), LProcessResultError);
        EXPECT_EQ(encoder.GetFrameCount(), 2u);
        encoder.Finalise();
        ASSERT_TRUE(file.Close());
    }
    const Parsed p = Parse(ReadBytes(path));
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.width, 16);
    EXPECT_EQ(p.height, 14);
    EXPECT_EQ(p.screenPacked, 0x80);
    EXPECT_EQ(p.globalEntries, 2);
    EXPECT_EQ(p.loopCount, 3);
    ASSERT_EQ(p.images.size(), 2u);
    EXPECT_EQ(p.images[1].left, 6);
    EXPECT_EQ(p.images[1].top, 4);
    EXPECT_EQ(p.images[1].packed, 0) << "no local table";
    ASSERT_EQ(p.controls.size(), 2u);
    EXPECT_EQ(p.controls[0].delay, 25);
    EXPECT_EQ(p.controls[1].delay, 4);
    FILE* out
        = ::popen(("/usr/bin/identify -format '%W %H %T;' " + path + " 2>/dev/null").c_str(), "r");
    ASSERT_TRUE(out);
    char line[256] = {};
    const size_t n = std::fread(line, 1, sizeof line - 1, out);
    ::pclose(out);
    EXPECT_EQ(std::string(line, n), "16 14 25;16 14 4;");
}
