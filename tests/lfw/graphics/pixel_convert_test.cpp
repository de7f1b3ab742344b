#include "lfw/graphics/LConvertPixelFormat.h"
#include "lfw/graphics/LImage.h"
#include "lfw/graphics/LImageIterator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace {

LImageBuffer Random(pixelformat_t f, int w, int h, unsigned seed, bool bottomUp = false)
{
    LImageBuffer b(LImageFormat(f, w, h, bottomUp));
    std::mt19937 rng(seed);
    for (uint64_t i = 0; i < b.GetStride() * uint64_t(h); ++i)
        b.GetData()[i] = uint8_t(rng());
    return b;
}

uint16_t Word(const LImageBuffer& b, int x = 0)
{
    return reinterpret_cast<const uint16_t*>(b.GetData())[x];
}

LPFB8G8R8A8 Px(const LImageBuffer& b, int x, int storedRow = 0)
{
    return reinterpret_cast<const LPFB8G8R8A8*>(b.GetRow(storedRow))[x];
}

// The per-pixel rule of the bulk converters, written independently.
LPixelColour Expected(pixelformat_t s, pixelformat_t d, const uint8_t* sp, const uint8_t* dp)
{
    auto rep5 = [](unsigned c) { return uint8_t((c << 3) | (c >> 2)); };
    auto rep6 = [](unsigned c) { return uint8_t((c << 2) | (c >> 4)); };
    LPixelColour c;
    uint16_t v = uint16_t(sp[0] | sp[1] << 8);
    switch (s) {
    case LPixelFormatB8G8R8A8:
        c = LPixelColour(sp[0], sp[1], sp[2], sp[3]);
        break;
    case LPixelFormatR8G8B8A8:
        c = LPixelColour(sp[2], sp[1], sp[0], sp[3]);
        break;
    case LPixelFormatB8G8R8:
        c = LPixelColour(sp[0], sp[1], sp[2], 255);
        break;
    case LPixelFormatR8G8B8:
        c = LPixelColour(sp[2], sp[1], sp[0], 255);
        break;
    case LPixelFormatB5G6R5:
        c = LPixelColour(rep5(v & 31), rep6((v >> 5) & 63), rep5(v >> 11), 255);
        break;
    case LPixelFormatB5G5R5A1:
        c = LPixelColour(
            rep5(v & 31), rep5((v >> 5) & 31), rep5((v >> 10) & 31), (v & 0x8000) ? 255 : 0);
        break;
    default:
        c = LPixelColour(rep5(v & 31), rep5((v >> 5) & 31), rep5((v >> 10) & 31), 255);
        break;
    }
    (void)d;
    (void)dp;
    return c;
}

} // namespace

TEST(PixelConvert, EveryPairAgreesWithTheRule)
{
    const int w = 37, h = 3; // odd width: vector bodies and scalar tails
    for (int s = 0; s <= 6; ++s)
        for (int d = 0; d <= 6; ++d) {
            if (s == d)
                continue;
            LImageBuffer src = Random(pixelformat_t(s), w, h, unsigned(s * 10 + d));
            LImageBuffer dst = Random(pixelformat_t(d), w, h, 99);
            LImageBuffer before;
            LImageBufferAllocateAndCopy(before, dst);
            LConvertPixelFormat(dst, src);
            const uint32_t sb = LPixelFormatBytesPerPixel(pixelformat_t(s));
            const uint32_t db = LPixelFormatBytesPerPixel(pixelformat_t(d));
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const uint8_t* sp = src.GetRow(y) + x * sb;
                    const uint8_t* dp = dst.GetRow(y) + x * db;
                    const uint8_t* old = before.GetRow(y) + x * db;
                    LPixelColour c = Expected(pixelformat_t(s), pixelformat_t(d), sp, dp);
                    const uint16_t sv = uint16_t(sp[0] | sp[1] << 8);
                    const uint16_t dv = uint16_t(dp[0] | dp[1] << 8);
                    const uint16_t ov = uint16_t(old[0] | old[1] << 8);
                    const bool s16 = s >= 2 && s <= 4;
                    const bool srcAlpha = s == 0 || s == 3 || s == 5;
                    SCOPED_TRACE(testing::Message() << s << "->" << d << " x " << x);
                    switch (d) {
                    case 0:
                        EXPECT_EQ(LPixelColour(dp[0], dp[1], dp[2], dp[3]), c);
                        break;
                    case 5:
                        EXPECT_EQ(LPixelColour(dp[2], dp[1], dp[0], dp[3]), c);
                        break;
                    case 1:
                        EXPECT_EQ(LPixelColour(dp[0], dp[1], dp[2], 255),
                            LPixelColour(c.b, c.g, c.r, 255));
                        break;
                    case 6:
                        EXPECT_EQ(LPixelColour(dp[2], dp[1], dp[0], 255),
                            LPixelColour(c.b, c.g, c.r, 255));
                        break;
                    case 2:
                        if (s16) // blue and red kept, green widened from 5 bits
                            EXPECT_EQ(dv,
                                uint16_t((sv & 31) | (((sv >> 5) & 31) << 1 | ((sv >> 9) & 1)) << 5
                                    | ((sv >> 10) & 31) << 11));
                        else
                            EXPECT_EQ(
                                dv, uint16_t((c.b >> 3) | (c.g >> 2) << 5 | (c.r >> 3) << 11));
                        break;
                    case 3:
                        if (s == 4)
                            EXPECT_EQ(dv, sv);
                        else if (s == 2)
                            EXPECT_EQ(dv,
                                uint16_t(
                                    (sv & 31) | ((sv >> 6) & 31) << 5 | (sv >> 11) << 10 | 0x8000));
                        else
                            EXPECT_EQ(dv,
                                uint16_t((c.b >> 3) | (c.g >> 3) << 5 | (c.r >> 3) << 10
                                    | (srcAlpha ? (c.a >> 7) : 1) << 15));
                        break;
                    case 4:
                        if (s == 3)
                            EXPECT_EQ(dv, sv);
                        else if (s == 2)
                            EXPECT_EQ(dv,
                                uint16_t((ov & 0x8000) | (sv & 31) | ((sv >> 6) & 31) << 5
                                    | (sv >> 11) << 10));
                        else
                            EXPECT_EQ(dv,
                                uint16_t((ov & 0x8000) | (c.b >> 3) | (c.g >> 3) << 5
                                    | (c.r >> 3) << 10));
                        break;
                    }
                }
        }
}

TEST(PixelConvert, EdgeCasesOfTheRules)
{
    LImageBuffer src(LImageFormat(LPixelFormatB8G8R8A8, 1, 1));
    LImageBuffer dst(LImageFormat(LPixelFormatB5G5R5A1, 1, 1));
    const uint8_t px[4] = { 0x10, 0x20, 0x30, 0x7F };
    std::memcpy(src.GetData(), px, 4);
    LConvertPixelFormat(dst, src);
    EXPECT_EQ(Word(dst), 2 | 4 << 5 | 6 << 10);
    src.GetData()[3] = 0x80;
    LConvertPixelFormat(dst, src);
    EXPECT_EQ(Word(dst), 2 | 4 << 5 | 6 << 10 | 0x8000);

    LImageBuffer w565(LImageFormat(LPixelFormatB5G6R5, 2, 1));
    reinterpret_cast<uint16_t*>(w565.GetData())[0] = 0xFFFF;
    reinterpret_cast<uint16_t*>(w565.GetData())[1] = 0x07E0;
    LImageBuffer out(LImageFormat(LPixelFormatB8G8R8A8, 2, 1));
    LConvertPixelFormat(out, w565);
    EXPECT_EQ(Px(out, 0).b, 255);
    EXPECT_EQ(Px(out, 0).a, 255);
    EXPECT_EQ(Px(out, 1).g, 255);
    EXPECT_EQ(Px(out, 1).b, 0);

    // Bulk widening is plain bit replication: 3 -> 24, 28 -> 231.
    reinterpret_cast<uint16_t*>(w565.GetData())[0] = 3 | 28 << 11;
    LConvertPixelFormat(out, w565);
    EXPECT_EQ(Px(out, 0).b, 24);
    EXPECT_EQ(Px(out, 0).r, 231);
}

TEST(PixelConvert, NothingForI8TheFourBitFormatOrMismatches)
{
    LImageBuffer i8 = Random(LPixelFormatI8, 4, 4, 1);
    LImageBuffer dst = Random(LPixelFormatB8G8R8A8, 4, 4, 2);
    LImageBuffer before;
    LImageBufferAllocateAndCopy(before, dst);
    LConvertPixelFormat(dst, i8);
    EXPECT_EQ(std::memcmp(dst.GetData(), before.GetData(), 64), 0);
    LConvertPixelFormat(i8, dst);
    LImageBuffer four = Random(LPixelFormat4Bit, 4, 4, 3);
    LConvertPixelFormat(dst, four);
    EXPECT_EQ(std::memcmp(dst.GetData(), before.GetData(), 64), 0);

    LImageBuffer shorter = Random(LPixelFormatB8G8R8, 4, 3, 4);
    LConvertPixelFormat(dst, shorter);
    EXPECT_EQ(std::memcmp(dst.GetData(), before.GetData(), 64), 0);

    // I8 to I8 is a copy.
    LImageBuffer i8b(LImageFormat(LPixelFormatI8, 4, 4));
    LConvertPixelFormat(i8b, i8);
    EXPECT_EQ(std::memcmp(i8b.GetData(), i8.GetData(), 16), 0);
}

TEST(PixelConvert, OppositeRowOrderKeepsThePicture)
{
    LImageBuffer up = Random(LPixelFormatB8G8R8, 5, 3, 7, true);
    LImageBuffer down(LImageFormat(LPixelFormatB8G8R8A8, 5, 3));
    LConvertPixelFormat(down, up);
    for (int y = 0; y < 3; ++y)
        EXPECT_EQ(std::memcmp(down.GetPictureRow(y), up.GetPictureRow(y), 3), 0);
}

TEST(PixelConvert, PremultiplyRoundTrip)
{
    LImageBuffer b(LImageFormat(LPixelFormatB8G8R8A8, 256, 256));
    for (int a = 0; a < 256; ++a)
        for (int c = 0; c < 256; ++c) {
            auto* p = reinterpret_cast<LPFB8G8R8A8*>(b.GetRow(a)) + c;
            *p = LPFB8G8R8A8 { uint8_t(c), uint8_t(255 - c), uint8_t(c / 2), uint8_t(a) };
        }
    LImageBuffer orig;
    LImageBufferAllocateAndCopy(orig, b);
    LImagePremultiplyAlpha(b);
    for (int a = 0; a < 256; ++a)
        for (int c = 0; c < 256; ++c)
            ASSERT_EQ(Px(b, c, a).b, (c * a + 127) / 255) << a << " " << c;
    LImageUnpremultiplyAlpha(b);
    for (int a = 0; a < 256; ++a)
        for (int c = 0; c < 256; ++c) {
            const LPFB8G8R8A8 p = Px(b, c, a), o = Px(orig, c, a);
            ASSERT_EQ(p.a, o.a);
            if (a == 0) {
                ASSERT_EQ(p.b, 0);
            } else { // within the precision of 8-bit premultiplied values
                ASSERT_LE(std::abs(p.b - o.b), 255 / (2 * a) + 1) << a << " " << c;
            }
            if (a == 255) {
                ASSERT_EQ(p.g, o.g);
            }
        }
}

TEST(DeleteAlpha, OpaqueOrBlended)
{
    LImageBuffer src(LImageFormat(LPixelFormatB8G8R8A8, 2, 1));
    const uint8_t px[8] = { 10, 20, 30, 128, 0, 0, 0, 0 };
    std::memcpy(src.GetData(), px, 8);
    src.SetResolution(3780, 3780);
    LImageBuffer dst;
    ASSERT_EQ(LImage::DeleteAlpha(src, dst, -1), 1);
    EXPECT_EQ(dst.GetFormat().horizontalResolution, 3780);
    EXPECT_EQ(Px(dst, 0).b, 10);
    EXPECT_EQ(Px(dst, 0).a, 255);

    ASSERT_EQ(LImage::DeleteAlpha(src, dst, 0x00FFFFFF), 1);
    EXPECT_EQ(Px(dst, 1).r, 255); // transparent over white
    EXPECT_EQ(Px(dst, 1).a, 255);

    // 200 over 100 at alpha 128 gives 150; 0 over 255 gives 127.
    const uint8_t mid[8] = { 200, 0, 0, 128, 0, 0, 0, 0 };
    std::memcpy(src.GetData(), mid, 8);
    ASSERT_EQ(LImage::DeleteAlpha(src, dst, 100 | 255 << 8), 1);
    EXPECT_EQ(Px(dst, 0).b, 150);
    EXPECT_EQ(Px(dst, 0).g, 127);
}

TEST(DeleteAlpha, BottomUpSourceComesOutUpright)
{
    LImageBuffer src(LImageFormat(LPixelFormatB8G8R8A8, 1, 2, true));
    const uint8_t rows[8] = { 1, 1, 1, 255, 200, 200, 200, 128 }; // stored row 1 is the top
    std::memcpy(src.GetData(), rows, 8);
    LImageBuffer dst;
    for (int colour : { -1, 0 }) {
        ASSERT_EQ(LImage::DeleteAlpha(src, dst, colour), 1);
        EXPECT_FALSE(dst.IsBottomUp());
        EXPECT_EQ(Px(dst, 0, 1).b, 1) << colour; // bottom of the picture
        EXPECT_NE(Px(dst, 0, 0).b, 1) << colour; // top of the picture
    }
    LImageBuffer i8(LImageFormat(LPixelFormatI8, 2, 2));
    EXPECT_EQ(LImage::DeleteAlpha(i8, dst, -1), 0);
}

TEST(PixelConvert, UnpremultiplyIsExactForEveryPair)
{
    // Every alpha and every colour byte (also above alpha, which clamps), through the vector
    // bodies and the scalar tails alike.
    std::vector<uint8_t> in(256 * 4), out(256 * 4), swapped(256 * 4);
    for (int a = 0; a < 256; ++a) {
        for (int p = 0; p < 256; ++p) {
            in[size_t(p) * 4 + 0] = uint8_t(p);
            in[size_t(p) * 4 + 1] = uint8_t(255 - p);
            in[size_t(p) * 4 + 2] = uint8_t(p / 3);
            in[size_t(p) * 4 + 3] = uint8_t(a);
        }
        LPixelRows::Unpremultiply(out.data(), in.data(), 253);
        LPixelRows::Unpremultiply(out.data() + 253 * 4, in.data() + 253 * 4, 3);
        LPixelRows::UnpremultiplySwap(swapped.data(), in.data(), 256);
        auto expect = [a](int p) { return a ? std::min(255, (p * 255 + a / 2) / a) : 0; };
        for (int p = 0; p < 256; ++p) {
            ASSERT_EQ(out[size_t(p) * 4 + 0], expect(p)) << a << " " << p;
            ASSERT_EQ(out[size_t(p) * 4 + 1], expect(255 - p)) << a << " " << p;
            ASSERT_EQ(out[size_t(p) * 4 + 2], expect(p / 3)) << a << " " << p;
            ASSERT_EQ(out[size_t(p) * 4 + 3], a);
            ASSERT_EQ(swapped[size_t(p) * 4 + 2], expect(p)) << a << " " << p;
            ASSERT_EQ(swapped[size_t(p) * 4 + 0], expect(p / 3)) << a << " " << p;
        }
    }
}
