#include "lfw/graphics/LConvertPixelFormat.h"
#include "lfw/graphics/LImage.h"
#include "lfw/graphics/LImageScale.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

LPFB8G8R8A8& Px(LImageBuffer& b, int x, int y)
{
    return reinterpret_cast<LPFB8G8R8A8*>(b.GetPictureRow(y))[x];
}

LImageBuffer Columns(int w, int h, bool bottomUp = false)
{
    LImageBuffer b(LImageFormat(LPixelFormatB8G8R8A8, w, h, bottomUp));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            Px(b, x, y) = LPFB8G8R8A8 { uint8_t(x), uint8_t(y), 0, 255 };
    return b;
}

class Stop : public LProcessInterfaceVoid {
public:
    bool IsToStop() override { return true; }
};

} // namespace

TEST(ImageScale, KeepAspectSizes)
{
    LProcessInterfaceVoid job;
    LImageBuffer src = Columns(400, 200);
    LImageBuffer dst;
    EXPECT_EQ(LImage::Resize(job, src, dst, 100, 100, true, LImage::ResizeNearestNeighbor), 0);
    EXPECT_EQ(dst.GetWidth(), 100);
    EXPECT_EQ(dst.GetHeight(), 50);

    // A side that rounds to nothing keeps one pixel; the fit never leaves the box.
    LImageBuffer line(LImageFormat(LPixelFormatB8G8R8, 1000, 1));
    EXPECT_EQ(LImage::Resize(job, line, dst, 10, 10, true, LImage::ResizeNearestNeighbor), 0);
    EXPECT_EQ(dst.GetWidth(), 10);
    EXPECT_EQ(dst.GetHeight(), 1);
    LImageBuffer column(LImageFormat(LPixelFormatB8G8R8A8, 3, 2000));
    EXPECT_EQ(LImage::Resize(job, column, dst, 40, 25, true, LImage::ResizeBicubic), 0);
    EXPECT_EQ(dst.GetWidth(), 1);
    EXPECT_EQ(dst.GetHeight(), 25);
    for (int size : { 1, 2, 7, 33, 500 }) {
        LImageBuffer odd(LImageFormat(LPixelFormatB8G8R8A8, 997, 3));
        EXPECT_EQ(
            LImage::Resize(job, odd, dst, size, size, true, LImage::ResizeNearestNeighbor), 0);
        EXPECT_LE(dst.GetWidth(), size);
        EXPECT_LE(dst.GetHeight(), size);
        EXPECT_GE(dst.GetHeight(), 1);
    }
    EXPECT_EQ(LImage::Resize(job, line, dst, 0, 10, true, LImage::ResizeNearestNeighbor), 0);
    EXPECT_FALSE(dst.HasStore());

    EXPECT_EQ(LImage::Resize(job, src, dst, 0, 10, false, LImage::ResizeBicubic), 0);
    EXPECT_FALSE(dst.HasStore());
    EXPECT_EQ(dst.GetPixelFormat(), LPixelFormatInvalid);
}

TEST(ImageScale, SourcesWithoutPixelsFailCleanly)
{
    LProcessInterfaceVoid job;
    LImageBuffer empty;
    LImageBuffer dst(LImageFormat(LPixelFormatB8G8R8A8, 4, 4));
    EXPECT_EQ(LImage::Resize(job, empty, dst, 10, 10, true, LImage::ResizeBicubic), 2);
    EXPECT_FALSE(dst.HasStore());
    LImageBuffer zero(LImageFormat(LPixelFormatB8G8R8A8, 0, 5));
    EXPECT_EQ(LImage::Resize(job, zero, dst, 10, 10, true, LImage::ResizeNearestNeighbor), 2);
    LImageBuffer i8(LImageFormat(LPixelFormatI8, 4, 4));
    EXPECT_EQ(LImage::Resize(job, i8, dst, 2, 2, false, LImage::ResizeNearestNeighbor), 2);

    Stop stop;
    LImageBuffer src = Columns(8, 8);
    EXPECT_EQ(LImage::Resize(stop, src, dst, 4, 4, false, LImage::ResizeNearestNeighbor), 1);
}

TEST(ImageScale, NearestPicksCentres)
{
    LProcessInterfaceVoid job;
    LImageBuffer src = Columns(4, 1);
    LImageBuffer dst;
    ASSERT_EQ(LImage::Resize(job, src, dst, 2, 1, false, LImage::ResizeNearestNeighbor), 0);
    EXPECT_EQ(Px(dst, 0, 0).b, 1);
    EXPECT_EQ(Px(dst, 1, 0).b, 3);

    LImageBuffer two = Columns(2, 1);
    ASSERT_EQ(LImage::Resize(job, two, dst, 4, 1, false, LImage::ResizeNearestNeighbor), 0);
    EXPECT_EQ(Px(dst, 0, 0).b, 0);
    EXPECT_EQ(Px(dst, 1, 0).b, 0);
    EXPECT_EQ(Px(dst, 2, 0).b, 1);
    EXPECT_EQ(Px(dst, 3, 0).b, 1);

    // Every format of 0 to 6, including R8G8B8.
    for (int f = 0; f <= 6; ++f) {
        LImageBuffer s(LImageFormat(pixelformat_t(f), 4, 2));
        LImageBuffer conv = Columns(4, 2);
        for (int x = 0; x < 4; ++x)
            Px(conv, x, 0).r = uint8_t(x * 64);
        LConvertPixelFormat(s, conv);
        LImageBuffer d;
        ASSERT_EQ(LImage::Resize(job, s, d, 2, 1, false, LImage::ResizeNearestNeighbor), 0) << f;
        const uint32_t bpp = LPixelFormatBytesPerPixel(pixelformat_t(f));
        EXPECT_EQ(std::memcmp(d.GetData(), s.GetRow(1) + bpp, bpp), 0) << f;
    }
}

TEST(ImageScale, NearestScalerRunsAsAnImageProcess)
{
    LImageBuffer src = Columns(8, 4);
    LImageBuffer dst(LImageFormat(LPixelFormatB8G8R8A8, 2, 2));
    LImgProScaleNe right(4, 2, 100, 100); // the lower right quarter, clipped to the source
    LProcessInterfaceVoid job;
    ASSERT_EQ(LApplyImageProcess<LImgProScaleNe>(dst, src, right, job), LProcessResultSuccess);
    EXPECT_EQ(Px(dst, 0, 0).b, 5);
    EXPECT_EQ(Px(dst, 1, 0).b, 7);
    EXPECT_EQ(Px(dst, 1, 1).g, 3);
    Stop stop;
    EXPECT_EQ(LApplyImageProcess<LImgProScaleNe>(dst, src, right, stop), LProcessResultStopped);
    LImageBuffer i8(LImageFormat(LPixelFormatI8, 8, 4));
    EXPECT_EQ(LApplyImageProcess(dst, i8, right, job), LProcessResultError);
}

TEST(ImageScale, BottomUpSourcesKeepTheirPicture)
{
    LProcessInterfaceVoid job;
    LImageBuffer src = Columns(4, 4, true);
    for (auto filter : { LImage::ResizeNearestNeighbor, LImage::ResizeBicubic }) {
        LImageBuffer dst;
        ASSERT_EQ(LImage::Resize(job, src, dst, 4, 4, false, filter), 0);
        EXPECT_FALSE(dst.IsBottomUp());
        for (int y = 0; y < 4; ++y)
            EXPECT_EQ(Px(dst, 1, y).g, y) << filter;
    }
}

TEST(ImageScale, SmoothScalingAveragesAndKeepsFlatColours)
{
    LProcessInterfaceVoid job;
    // A flat colour stays exactly that colour at any size.
    LImageBuffer flat(LImageFormat(LPixelFormatB8G8R8A8, 37, 23));
    flat.Clear(job, LPixelColour(10, 200, 77, 255));
    for (int size : { 5, 37, 90 }) {
        LImageBuffer dst;
        ASSERT_EQ(LImage::Resize(job, flat, dst, size, size, false, LImage::ResizeBicubic), 0);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const LPFB8G8R8A8 p = Px(dst, x, y);
                ASSERT_TRUE(p.b == 10 && p.g == 200 && p.r == 77 && p.a == 255) << x << "," << y;
            }
    }

    // A fine checkerboard shrinks to its average grey.
    LImageBuffer check(LImageFormat(LPixelFormatB8G8R8A8, 64, 64));
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const uint8_t v = ((x + y) & 1) ? 255 : 0;
            Px(check, x, y) = LPFB8G8R8A8 { v, v, v, 255 };
        }
    LImageBuffer small;
    ASSERT_EQ(LImage::Resize(job, check, small, 8, 8, false, LImage::ResizeBicubic), 0);
    for (int y = 1; y < 7; ++y)
        for (int x = 1; x < 7; ++x)
            EXPECT_NEAR(Px(small, x, y).g, 128, 2);

    // Transparent pixels carry no colour into their neighbours.
    LImageBuffer half(LImageFormat(LPixelFormatB8G8R8A8, 8, 1));
    for (int x = 0; x < 8; ++x)
        Px(half, x, 0) = x < 4 ? LPFB8G8R8A8 { 0, 0, 255, 255 } : LPFB8G8R8A8 { 0, 0, 0, 0 };
    LImageBuffer out;
    ASSERT_EQ(LImage::Resize(job, half, out, 4, 1, false, LImage::ResizeBicubic), 0);
    EXPECT_EQ(Px(out, 1, 0).r, 255);
    EXPECT_LT(Px(out, 1, 0).a, 255);
    EXPECT_GT(Px(out, 1, 0).a, 0);
    EXPECT_EQ(Px(out, 3, 0).a, 0);

    // Other formats go through the working format.
    LImageBuffer rgb(LImageFormat(LPixelFormatB8G8R8, 16, 16));
    rgb.Clear(job, LPixelColour(40, 80, 120, 255));
    LImageBuffer rgbOut;
    ASSERT_EQ(LImage::Resize(job, rgb, rgbOut, 5, 5, false, LImage::ResizeBicubic), 0);
    EXPECT_EQ(rgbOut.GetPixelFormat(), LPixelFormatB8G8R8);
    EXPECT_EQ(rgbOut.GetRow(2)[3 * 2 + 2], 120);
}
