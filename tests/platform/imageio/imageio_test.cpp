// The platform image codecs directly: signatures, the size limit before any allocation, a
// refused store, stop requests (also amid a progressive JPEG's scans), orientation and
// resolution, text chunks passed over, and encoding of every format.
#include "platform/imageio/ImageIO.h"
#include "support/MakePictures.h"
#include "support/ProcessStatus.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

using namespace platform::imageio;

namespace {

std::vector<uint8_t> Fixture(const std::string& name)
{
    std::ifstream in(std::string(VT_TEST_DATA) + "/images/" + name, std::ios::binary);
    return std::vector<uint8_t>(
        (std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct Store {
    std::vector<uint8_t> pixels;
    int calls = 0;
    Allocator Get()
    {
        return [this](uint32_t w, uint32_t h, size_t& stride) {
            ++calls;
            stride = size_t(w) * 4 + 8; // a stride wider than the row
            pixels.assign(stride * h, 0xEE);
            return pixels.data();
        };
    }
};

} // namespace

TEST(PlatformImageIO, Identify)
{
    struct Case {
        const char* file;
        Format format;
    };
    for (const Case& c : { Case { "base.png", Format::PNG }, Case { "rgb300.jpg", Format::JPEG },
             Case { "palette.tif", Format::TIFF }, Case { "grey.jp2", Format::JPEG2000 },
             Case { "anim.gif", Format::GIF }, Case { "linear.dng", Format::TIFF } }) {
        std::vector<uint8_t> bytes = Fixture(c.file);
        MemorySource source(bytes.data(), bytes.size());
        Format format;
        ASSERT_TRUE(Identify(source, format)) << c.file;
        EXPECT_EQ(int(format), int(c.format)) << c.file;
    }
    const char text[] = "hello";
    MemorySource source(text, sizeof text);
    Format format;
    EXPECT_FALSE(Identify(source, format));
    MemorySource empty(nullptr, 0);
    EXPECT_FALSE(Identify(empty, format));
}

TEST(PlatformImageIO, SizeLimitBeforeAnyStore)
{
    // Every format with a picture of 37 x 23 = 851 pixels and a limit of 850.
    struct Case {
        const char* file;
        Format format;
    };
    for (const Case& c : { Case { "base.png", Format::PNG }, Case { "rgb300.jpg", Format::JPEG },
             Case { "palette.tif", Format::TIFF }, Case { "rgba.tif", Format::TIFF },
             Case { "grey.jp2", Format::JPEG2000 }, Case { "anim.gif", Format::GIF } }) {
        std::vector<uint8_t> bytes = Fixture(c.file);
        MemorySource source(bytes.data(), bytes.size());
        Store store;
        DecodedInfo info;
        DecodeOptions options;
        options.maxPixels = 850;
        EXPECT_EQ(Decode(c.format, source, store.Get(), info, options), Result::Failed) << c.file;
        EXPECT_EQ(store.calls, 0) << c.file;
        options.maxPixels = 851;
        EXPECT_EQ(Decode(c.format, source, store.Get(), info, options), Result::Ok) << c.file;
        EXPECT_EQ(store.calls, 1) << c.file;
        // The padding of the wider stride is left alone.
        EXPECT_EQ(store.pixels[37 * 4], 0xEE) << c.file;
        // A store that cannot be had fails the decode.
        Allocator none = [](uint32_t, uint32_t, size_t&) -> uint8_t* { return nullptr; };
        EXPECT_EQ(Decode(c.format, source, none, info, options), Result::Failed) << c.file;
        // Stop requests.
        options.shouldStop = [] { return true; };
        EXPECT_EQ(Decode(c.format, source, store.Get(), info, options), Result::Stopped) << c.file;
    }

    // A PNG header that claims 2^31 - 1 square pixels is refused before anything is taken.
    std::vector<uint8_t> png = Fixture("base.png");
    png[16] = 0x7F, png[17] = png[18] = png[19] = 0xFF;
    png[20] = 0x7F, png[21] = png[22] = png[23] = 0xFF;
    MemorySource source(png.data(), png.size());
    Store store;
    DecodedInfo info;
    EXPECT_EQ(Decode(Format::PNG, source, store.Get(), info), Result::Failed);
    EXPECT_EQ(store.calls, 0);
}

TEST(PlatformImageIO, OrientationAndResolution)
{
    std::vector<uint8_t> tif = Fixture("orient6.tif");
    MemorySource source(tif.data(), tif.size());
    Store store;
    DecodedInfo info;
    ASSERT_EQ(Decode(Format::TIFF, source, store.Get(), info), Result::Ok);
    EXPECT_EQ(info.orientation, 6);
    // Reported, not applied: the stored rows as they are.
    EXPECT_EQ(info.width, 37u);
    EXPECT_EQ(info.height, 23u);

    std::vector<uint8_t> jpg = Fixture("rgb300.jpg");
    MemorySource jsource(jpg.data(), jpg.size());
    ASSERT_EQ(Decode(Format::JPEG, jsource, store.Get(), info), Result::Ok);
    EXPECT_DOUBLE_EQ(info.dpiX, 300);
    EXPECT_EQ(info.orientation, 1);
    EXPECT_EQ(info.bitsPerPixel, 24u);
}

TEST(PlatformImageIO, EncodeEveryFormat)
{
    // 5 x 3, every pixel its own colour and alpha; written bottom-up through a negative stride.
    const uint32_t w = 5, h = 3;
    std::vector<uint8_t> pixels(w * h * 4);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uint8_t(i * 37 + 11);
    for (Format format : { Format::PNG, Format::TIFF, Format::JPEG2000, Format::JPEG }) {
        EncodeInput input;
        input.firstRow = pixels.data() + (h - 1) * w * 4;
        input.stride = -ptrdiff_t(w * 4);
        input.width = w;
        input.height = h;
        input.dpiX = input.dpiY = 96;
        input.quality = 100;
        input.ignoreAlpha = format == Format::JPEG;
        std::vector<uint8_t> out;
        ASSERT_TRUE(Encode(format, input, out)) << int(format);
        MemorySource source(out.data(), out.size());
        Store store;
        DecodedInfo info;
        ASSERT_EQ(Decode(format, source, store.Get(), info), Result::Ok) << int(format);
        // PNG keeps whole pixels per metre: 3780 of them are 96.012 dots per inch.
        EXPECT_NEAR(info.dpiX, 96, 0.02) << int(format);
        EXPECT_NEAR(info.dpiY, 96, 0.02) << int(format);
        if (format == Format::JPEG)
            continue;
        for (uint32_t y = 0; y < h; ++y)
            EXPECT_EQ(
                std::memcmp(&store.pixels[y * (w * 4 + 8)], &pixels[(h - 1 - y) * w * 4], w * 4), 0)
                << int(format) << " row " << y;
    }
    // GIF and camera raw are not written; neither is an empty picture.
    EncodeInput input;
    input.firstRow = pixels.data();
    input.stride = w * 4;
    input.width = w;
    input.height = h;
    std::vector<uint8_t> out;
    EXPECT_FALSE(Encode(Format::GIF, input, out));
    EXPECT_FALSE(Encode(Format::Raw, input, out));
    input.width = 0;
    EXPECT_FALSE(Encode(Format::PNG, input, out));
    input.width = w;
    input.stride = 4; // narrower than a row
    EXPECT_FALSE(Encode(Format::PNG, input, out));
}

TEST(PlatformImageIO, SmallFilesClaimingHugePictures)
{
    // Headers within the pixel limit (16000 x 16000) in files far too small for such a picture:
    // refused before any store is asked for.
    std::vector<uint8_t> png = Fixture("base.png");
    png[16] = 0, png[17] = 0, png[18] = 0x3E, png[19] = 0x80;
    png[20] = 0, png[21] = 0, png[22] = 0x3E, png[23] = 0x80;
    // The IHDR chunk's CRC over its type and data, so that only the size is wrong.
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 12; i < 12 + 4 + 13; ++i) {
        crc ^= png[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    crc ^= 0xFFFFFFFF;
    png[29] = uint8_t(crc >> 24), png[30] = uint8_t(crc >> 16), png[31] = uint8_t(crc >> 8);
    png[32] = uint8_t(crc);
    std::vector<uint8_t> jpg = Fixture("grey.jpg");
    for (size_t i = 0; i + 8 < jpg.size(); ++i)
        if (jpg[i] == 0xFF && jpg[i + 1] == 0xC0) { // the frame header: height, then width
            jpg[i + 5] = 0x3E, jpg[i + 6] = 0x80, jpg[i + 7] = 0x3E, jpg[i + 8] = 0x80;
            break;
        }
    struct Case {
        std::vector<uint8_t>* bytes;
        Format format;
    };
    for (const Case& c : { Case { &png, Format::PNG }, Case { &jpg, Format::JPEG } }) {
        MemorySource source(c.bytes->data(), c.bytes->size());
        Store store;
        DecodedInfo info;
        EXPECT_EQ(Decode(c.format, source, store.Get(), info), Result::Failed) << int(c.format);
        EXPECT_EQ(store.calls, 0) << int(c.format);
    }
}

namespace {

// anim.gif (37 x 23, its first frame filling the screen) with another logical screen and its
// first frame moved to (left, top).
std::vector<uint8_t> GifOnScreen(uint16_t width, uint16_t height, uint16_t left, uint16_t top)
{
    std::vector<uint8_t> gif = Fixture("anim.gif");
    gif[6] = uint8_t(width), gif[7] = uint8_t(width >> 8);
    gif[8] = uint8_t(height), gif[9] = uint8_t(height >> 8);
    for (size_t i = 13; i + 9 < gif.size(); ++i)
        if (gif[i] == 0x2C && gif[i + 5] == 37 && gif[i + 6] == 0 && gif[i + 7] == 23
            && gif[i + 8] == 0) { // the first image descriptor
            gif[i + 1] = uint8_t(left), gif[i + 2] = uint8_t(left >> 8);
            gif[i + 3] = uint8_t(top), gif[i + 4] = uint8_t(top >> 8);
            break;
        }
    return gif;
}

} // namespace

TEST(PlatformImageIO, AGifFrameCostsWhatItShows)
{
    std::vector<uint8_t> plain = Fixture("anim.gif");
    MemorySource plainSource(plain.data(), plain.size());
    Store frame;
    DecodedInfo info;
    ASSERT_EQ(Decode(Format::GIF, plainSource, frame.Get(), info), Result::Ok);
    const size_t stride = 37 * 4 + 8;
    struct Case {
        uint16_t screenW, screenH, left, top;
        uint32_t width, height; // of the picture decoded
        uint32_t frameX, frameY; // where the frame lies in it
    };
    for (const Case& c : {
             // A screen of at most 2^20 pixels is kept around the frame, transparent.
             Case { 100, 60, 10, 5, 100, 60, 10, 5 },
             Case { 1024, 1024, 900, 1000, 1024, 1024, 900, 1000 },
             // A larger one the frame covers little of: the frame alone (16000 x 16000 would be a
             // gigabyte of transparency).
             Case { 16000, 16000, 0, 0, 37, 23, 0, 0 },
             Case { 2000, 2000, 1500, 20, 37, 23, 0, 0 },
         }) {
        std::vector<uint8_t> gif = GifOnScreen(c.screenW, c.screenH, c.left, c.top);
        MemorySource source(gif.data(), gif.size());
        Store store;
        ASSERT_EQ(Decode(Format::GIF, source, store.Get(), info), Result::Ok) << c.screenW;
        EXPECT_EQ(store.calls, 1);
        ASSERT_EQ(info.width, c.width) << c.screenW;
        ASSERT_EQ(info.height, c.height) << c.screenW;
        const size_t rowBytes = size_t(c.width) * 4 + 8;
        EXPECT_EQ(store.pixels.size(), rowBytes * c.height);
        for (uint32_t y = 0; y < 23; ++y)
            EXPECT_EQ(std::memcmp(&store.pixels[(c.frameY + y) * rowBytes + c.frameX * 4],
                          &frame.pixels[y * stride], 37 * 4),
                0)
                << c.screenW << " row " << y;
        if (c.width > 37) {
            EXPECT_EQ(store.pixels[3], 0) << "the screen around the frame is transparent";
        }
    }
    // A declared screen beyond the limit is refused, however small the frame.
    std::vector<uint8_t> gif = GifOnScreen(16385, 16385, 0, 0);
    MemorySource source(gif.data(), gif.size());
    Store store;
    EXPECT_EQ(Decode(Format::GIF, source, store.Get(), info), Result::Failed);
    EXPECT_EQ(store.calls, 0);
}

namespace {

// A picture made by tests/support/make-pictures.py, its bytes.
std::vector<uint8_t> Made(TemporaryFolder& folder, const std::string& kind, const std::string& name,
    const std::string& numbers)
{
    const std::string path = folder / name;
    EXPECT_EQ(MakePicture(kind + " " + programrun::Quote(path) + " " + numbers), "");
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(
        (std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace

// A PNG of 40 x 30 grey pixels with 300 compressed text chunks before them, each of which inflates
// to a MiB, and its resolution after them: the pixels and the resolution are read, and the texts
// are never inflated or kept (kept, they were 300 MiB).
TEST(PlatformImageIO, TextChunksAreNeitherInflatedNorKept)
{
    TemporaryFolder folder;
    const std::vector<uint8_t> png = Made(folder, "ztxt", "texter.png", "40 30 300 1048576");
    ASSERT_GT(png.size(), 300u * 1000);
    MemorySource source(png.data(), png.size());
    Store store;
    DecodedInfo info;
    Result result = Result::Failed;
    const long long rise
        = PeakRiseKb([&] { result = Decode(Format::PNG, source, store.Get(), info); });
    ASSERT_EQ(result, Result::Ok);
    EXPECT_EQ(info.width, 40u);
    EXPECT_EQ(info.height, 30u);
    EXPECT_NEAR(info.dpiX, 300, 0.01);
    EXPECT_NEAR(info.dpiY, 300, 0.01);
    const uint8_t grey[4] = { 128, 128, 128, 255 };
    EXPECT_EQ(std::memcmp(store.pixels.data() + 29 * (40 * 4 + 8) + 39 * 4, grey, 4), 0);
    if (rise < 0)
        GTEST_SKIP() << "the peak memory cannot be put back here";
    EXPECT_LT(rise, 16 * 1024) << "kB";
}

// A progressive JPEG, which the library reads scan by scan over every block before it gives its
// first row: a stop asked for during that reading ends the decode there, before the pixel store
// is asked for. Read whole it is mid-grey.
TEST(PlatformImageIO, AProgressiveJpegStopsWhileItsScansAreRead)
{
    TemporaryFolder folder;
    const std::vector<uint8_t> jpg = Made(folder, "progressive-jpeg", "scans.jpg", "2048 2048 63");
    MemorySource source(jpg.data(), jpg.size());
    Store store;
    DecodedInfo info;
    int asked = 0;
    DecodeOptions options;
    // The first question comes before the decode begins.
    options.shouldStop = [&] { return ++asked > 1; };
    EXPECT_EQ(Decode(Format::JPEG, source, store.Get(), info, options), Result::Stopped);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(store.calls, 0);

    options.shouldStop = [&] { return false; };
    ASSERT_EQ(Decode(Format::JPEG, source, store.Get(), info, options), Result::Ok);
    EXPECT_EQ(info.width, 2048u);
    const uint8_t grey[4] = { 128, 128, 128, 255 };
    EXPECT_EQ(std::memcmp(store.pixels.data() + 2047 * (2048 * 4 + 8) + 2047 * 4, grey, 4), 0);
}
