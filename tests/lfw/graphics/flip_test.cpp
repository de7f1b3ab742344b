// Image flips for every pixel format and direction, in place and into a copy, and the
// black-and-white effect.
#include "ImageTestSupport.h"

#include "lfw/graphics/LImageFormat.h"
#include "lfw/graphics/LImageProcessBlackAndWhite.h"
#include "lfw/graphics/LImgProFlip.h"

#include <gtest/gtest.h>

using namespace imagetest;

namespace {

const pixelformat_t kFlipFormats[] = { LPixelFormatB8G8R8A8, LPixelFormatB8G8R8, LPixelFormatB5G6R5,
    LPixelFormatB5G5R5A1, LPixelFormatB5G5R5X1, LPixelFormatR8G8B8A8 };

// The bytes of pixel (x, y) of the stored rows.
std::vector<uint8_t> PixelBytes(const LImageBuffer& b, int x, int y)
{
    const uint32_t size = LPixelFormatBytesPerPixel(b.GetPixelFormat());
    const unsigned char* p = b.GetRow(y) + size_t(x) * size;
    return std::vector<uint8_t>(p, p + size);
}

// True when out holds in mirrored by the mode, pixel for pixel.
bool IsFlipped(const LImageBuffer& out, const LImageBuffer& in, uint32_t mode)
{
    const int w = in.GetWidth(), h = in.GetHeight();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int sx = (mode & 1) ? w - 1 - x : x;
            const int sy = (mode & 2) ? h - 1 - y : y;
            if (PixelBytes(out, x, y) != PixelBytes(in, sx, sy))
                return false;
        }
    return true;
}

void Copy(LImageBuffer& dst, const LImageBuffer& src)
{
    ASSERT_TRUE(LImageBufferAllocateAndCopy(dst, src));
}

} // namespace

TEST(ImageFlip, EveryFormatDirectionAndForm)
{
    for (pixelformat_t format : kFlipFormats) {
        for (auto [w, h] : { std::pair { 7, 5 }, std::pair { 6, 4 }, std::pair { 1, 3 },
                 std::pair { 5, 1 }, std::pair { 1, 1 } }) {
            LImageBuffer source(LImageFormat(format, w, h));
            ASSERT_TRUE(source.IsValid());
            FillPattern(source, uint32_t(format * 100 + w * 10 + h));
            for (uint32_t mode = 0; mode <= 3; ++mode) {
                SCOPED_TRACE(testing::Message()
                    << "format " << format << " " << w << "x" << h << " mode " << mode);
                LImgProFlip flip(mode);
                // Into a copy.
                LImageBuffer copy(source.GetFormat());
                ASSERT_EQ(flip.ProcessImage(copy, source), LProcessResultSuccess);
                EXPECT_TRUE(IsFlipped(copy, source, mode));
                // In place.
                LImageBuffer inPlace;
                Copy(inPlace, source);
                ASSERT_EQ(flip.ProcessImage(inPlace, inPlace), LProcessResultSuccess);
                EXPECT_TRUE(IsFlipped(inPlace, source, mode));
                // Twice restores.
                ASSERT_EQ(flip.ProcessImage(inPlace, inPlace), LProcessResultSuccess);
                EXPECT_TRUE(IsFlipped(inPlace, source, 0));
            }
        }
    }
}

TEST(ImageFlip, RefusedAndUnfit)
{
    LImageBuffer source(LImageFormat(LPixelFormatB8G8R8A8, 4, 3));
    FillPattern(source);
    LImageBuffer same;
    Copy(same, source);
    // Mode 0 in place does nothing and succeeds.
    EXPECT_EQ(LImgProFlip(0).ProcessImage(same, same), LProcessResultSuccess);
    EXPECT_TRUE(IsFlipped(same, source, 0));
    // Modes above 3.
    EXPECT_EQ(LImgProFlip(4).ProcessImage(same, source), LProcessResultError);
    // Formats without a flip.
    for (pixelformat_t format : { LPixelFormatR8G8B8, LPixelFormat4Bit, LPixelFormatI8 }) {
        LImageBuffer other(LImageFormat(format, 4, 3));
        LImageBuffer out(LImageFormat(format, 4, 3));
        EXPECT_EQ(LImgProFlip(2).ProcessImage(out, other), LProcessResultError) << format;
    }
    // A destination of another size or format, or without pixels, is refused, not overrun.
    LImageBuffer small(LImageFormat(LPixelFormatB8G8R8A8, 4, 2));
    LImageBuffer otherFormat(LImageFormat(LPixelFormatB8G8R8, 4, 3));
    LImageBuffer empty;
    for (uint32_t mode = 1; mode <= 3; ++mode) {
        EXPECT_EQ(LImgProFlip(mode).ProcessImage(small, source), LProcessResultError);
        EXPECT_EQ(LImgProFlip(mode).ProcessImage(otherFormat, source), LProcessResultError);
        EXPECT_EQ(LImgProFlip(mode).ProcessImage(empty, source), LProcessResultError);
    }
}

TEST(ImageFlip, StoredRowsOfBottomUpBuffers)
{
    // The vertical flip reverses the stored rows whatever the bottom-up flag.
    LImageBuffer source(LImageFormat(LPixelFormatB8G8R8, 3, 4, true));
    FillPattern(source, 9);
    LImageBuffer out(source.GetFormat());
    ASSERT_EQ(LImgProFlip(2).ProcessImage(out, source), LProcessResultSuccess);
    for (int y = 0; y < 4; ++y)
        EXPECT_EQ(std::memcmp(out.GetRow(y), source.GetRow(3 - y), 9), 0);
}

TEST(BlackAndWhite, GreyLevelsPerFormat)
{
    LImageProcessBlackAndWhite effect;
    // Pure red, green and blue in B8G8R8.
    LImageBuffer rgb(LImageFormat(LPixelFormatB8G8R8, 5, 1));
    const uint8_t px[] = { 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 0, 0, 0 };
    std::memcpy(rgb.GetRow(0), px, sizeof px);
    EXPECT_EQ(LApplyImageProcess(rgb, effect), LProcessResultSuccess);
    const uint8_t* row = rgb.GetRow(0);
    const int expected[] = { 75, 154, 24, 255, 0 };
    for (int i = 0; i < 5; ++i)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(row[i * 3 + c], expected[i]) << i;

    // B8G8R8A8 keeps its alpha; R8G8B8A8 becomes opaque.
    LImageBuffer bgra(LImageFormat(LPixelFormatB8G8R8A8, 1, 1));
    const uint8_t b4[] = { 0, 0, 255, 17 };
    std::memcpy(bgra.GetRow(0), b4, 4);
    LApplyImageProcess(bgra, effect);
    EXPECT_EQ(bgra.GetRow(0)[0], 75);
    EXPECT_EQ(bgra.GetRow(0)[3], 17);
    LImageBuffer rgba(LImageFormat(LPixelFormatR8G8B8A8, 1, 1));
    const uint8_t r4[] = { 255, 0, 0, 17 };
    std::memcpy(rgba.GetRow(0), r4, 4);
    LApplyImageProcess(rgba, effect);
    EXPECT_EQ(rgba.GetRow(0)[0], 75);
    EXPECT_EQ(rgba.GetRow(0)[2], 75);
    EXPECT_EQ(rgba.GetRow(0)[3], 255);

    // 16-bit formats: white and black stay, the alpha bit is set, the spare bit kept.
    auto word = [](const LImageBuffer& b, int x) {
        return uint16_t(b.GetRow(0)[x * 2] | b.GetRow(0)[x * 2 + 1] << 8);
    };
    auto put = [](LImageBuffer& b, int x, uint16_t v) {
        b.GetRow(0)[x * 2] = uint8_t(v);
        b.GetRow(0)[x * 2 + 1] = uint8_t(v >> 8);
    };
    LImageBuffer w565(LImageFormat(LPixelFormatB5G6R5, 3, 1));
    put(w565, 0, 0xFFFF);
    put(w565, 1, 0x0000);
    put(w565, 2, 0xF800); // red: grey (31->255) x 76 >> 8 = 75
    LApplyImageProcess(w565, effect);
    EXPECT_EQ(word(w565, 0), 0xFFFF);
    EXPECT_EQ(word(w565, 1), 0x0000);
    EXPECT_EQ(word(w565, 2), uint16_t((75 >> 3) | (75 >> 2) << 5 | (75 >> 3) << 11));
    LImageBuffer a1(LImageFormat(LPixelFormatB5G5R5A1, 2, 1));
    put(a1, 0, 0x7FFF);
    put(a1, 1, 0x0000);
    LApplyImageProcess(a1, effect);
    EXPECT_EQ(word(a1, 0), 0xFFFF);
    EXPECT_EQ(word(a1, 1), 0x8000);
    LImageBuffer x1(LImageFormat(LPixelFormatB5G5R5X1, 2, 1));
    put(x1, 0, 0x7FFF);
    put(x1, 1, 0x8000);
    LApplyImageProcess(x1, effect);
    EXPECT_EQ(word(x1, 0), 0x7FFF);
    EXPECT_EQ(word(x1, 1), 0x8000);

    // R8G8B8 and I8 are left as they are.
    for (pixelformat_t format : { LPixelFormatR8G8B8, LPixelFormatI8 }) {
        LImageBuffer b(LImageFormat(format, 3, 2));
        FillPattern(b, 5);
        LImageBuffer before;
        Copy(before, b);
        EXPECT_EQ(LApplyImageProcess(b, effect), LProcessResultSuccess);
        EXPECT_EQ(std::memcmp(b.GetData(), before.GetData(), size_t(b.GetStride()) * 2), 0);
    }
}
