#include "lfw/graphics/LCGImageRefReader.h"
#include "lfw/mac/LImageBufferPainter.h"
#include "lfw/mac/LPaintSurface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <sys/resource.h>

namespace {

LPFB8G8R8A8& Px(LImageBuffer& b, int x, int storedRow)
{
    return reinterpret_cast<LPFB8G8R8A8*>(b.GetRow(storedRow))[x];
}

bool Is(const LPFB8G8R8A8& p, int b, int g, int r, int a)
{
    return p.b == b && p.g == g && p.r == r && p.a == a;
}

void FillRed(LPaintContext& ctx, double x, double y, double w, double h, double alpha = 1.0)
{
    cairo_t* cr = ctx.GetPlatformContext();
    ASSERT_NE(cr, nullptr);
    cairo_set_source_rgba(cr, 1, 0, 0, alpha);
    cairo_rectangle(cr, x, y, w, h);
    cairo_fill(cr);
}

} // namespace

TEST(ImageBufferPainter, CopyingPainterWritesOnFlush)
{
    LImageBuffer b(LImageFormat(LPixelFormatB8G8R8A8, 4, 3));
    LProcessInterfaceVoid job;
    b.Clear(job, LPixelColour(0, 0, 0, 0));
    {
        LImageBufferPainter painter(b);
        ASSERT_TRUE(painter.HasDrawingContext());
        FillRed(painter.GetPaintContext(), 0, 0, 1, 1);
        EXPECT_TRUE(Is(Px(b, 0, 0), 0, 0, 0, 0)); // untouched until Flush
        painter.Flush();
        EXPECT_TRUE(Is(Px(b, 0, 0), 0, 0, 255, 255));
        EXPECT_TRUE(Is(Px(b, 1, 0), 0, 0, 0, 0));
        FillRed(painter.GetPaintContext(), 3, 2, 1, 1);
    }
    EXPECT_TRUE(Is(Px(b, 3, 2), 0, 0, 255, 255)); // written when the painter ends
}

TEST(ImageBufferPainter, SemiTransparentPixelsKeepTheirColour)
{
    LImageBuffer b(LImageFormat(LPixelFormatB8G8R8A8, 3, 1));
    Px(b, 0, 0) = LPFB8G8R8A8 { 200, 100, 50, 128 };
    Px(b, 1, 0) = LPFB8G8R8A8 { 17, 201, 99, 3 }; // far below what premultiplied bytes can hold
    Px(b, 2, 0) = LPFB8G8R8A8 { 0, 0, 0, 0 };
    {
        LImageBufferPainter painter(b);
        // Half-transparent red over a transparent pixel stays red, half transparent.
        FillRed(painter.GetPaintContext(), 2, 0, 1, 1, 0.5);
    }
    EXPECT_TRUE(Is(Px(b, 0, 0), 200, 100, 50, 128)); // not painted over: exactly as it was
    EXPECT_TRUE(Is(Px(b, 1, 0), 17, 201, 99, 3));
    EXPECT_EQ(Px(b, 2, 0).r, 255);
    EXPECT_NEAR(Px(b, 2, 0).a, 128, 1);

    // Painting over a semi-transparent straight pixel composites with its real colour.
    LImageBuffer c(LImageFormat(LPixelFormatB8G8R8A8, 1, 1));
    Px(c, 0, 0) = LPFB8G8R8A8 { 255, 0, 0, 128 }; // half-transparent blue
    {
        LImageBufferPainter painter(c);
        FillRed(painter.GetPaintContext(), 0, 0, 1, 1, 0.5);
    }
    // Over: alpha 0.5 + 0.5 x 0.5 = 0.75; blue 0.5 x 0.5 / 0.75, red 0.5 / 0.75.
    EXPECT_NEAR(Px(c, 0, 0).a, 191, 1);
    EXPECT_NEAR(Px(c, 0, 0).b, 85, 2);
    EXPECT_NEAR(Px(c, 0, 0).r, 170, 2);
}

TEST(ImageBufferPainter, DirectPainterGivesTheBufferBack)
{
    LImageBuffer b(LImageFormat(LPixelFormatB8G8R8A8, 2, 2));
    Px(b, 0, 0) = LPFB8G8R8A8 { 1, 2, 3, 255 };
    Px(b, 1, 0) = LPFB8G8R8A8 { 10, 20, 30, 255 };
    Px(b, 0, 1) = LPFB8G8R8A8 { 0, 0, 0, 0 };
    Px(b, 1, 1) = LPFB8G8R8A8 { 0, 0, 0, 0 };
    {
        LImageBufferPainterDirect painter(b);
        ASSERT_TRUE(painter.HasDrawingContext());
    }
    EXPECT_TRUE(Is(Px(b, 0, 0), 1, 2, 3, 255));
    EXPECT_TRUE(Is(Px(b, 1, 0), 10, 20, 30, 255));
    {
        LImageBufferPainterDirect painter(b);
        FillRed(painter.GetPaintContext(), 0, 1, 2, 1, 0.5);
        EXPECT_EQ(cairo_get_line_cap(painter.GetPaintContext().GetPlatformContext()),
            CAIRO_LINE_CAP_SQUARE);
    }
    EXPECT_EQ(Px(b, 1, 1).r, 255);
    EXPECT_NEAR(Px(b, 1, 1).a, 128, 1);
}

TEST(ImageBufferPainter, OtherFormatsAreLeftAlone)
{
    LImageBuffer b(LImageFormat(LPixelFormatB8G8R8, 3, 3));
    std::memset(b.GetData(), 0x44, b.GetStride() * 3);
    {
        LImageBufferPainter painter(b);
        EXPECT_FALSE(painter.HasDrawingContext());
        EXPECT_FALSE(painter.GetPaintContext().IsDrawable());
        painter.Flush();
    }
    {
        LImageBufferPainterDirect direct(b);
        EXPECT_FALSE(direct.HasDrawingContext());
    }
    for (uint64_t i = 0; i < b.GetStride() * 3; ++i)
        ASSERT_EQ(b.GetData()[i], 0x44);
    LImageBuffer empty;
    LImageBufferPainter none(empty);
    EXPECT_FALSE(none.HasDrawingContext());
}

TEST(ImageBufferPainter, BottomUpBuffersArePaintedUpright)
{
    for (bool direct : { false, true }) {
        LImageBuffer b(LImageFormat(LPixelFormatB8G8R8A8, 2, 3, true));
        LProcessInterfaceVoid job;
        b.Clear(job, LPixelColour());
        if (direct) {
            LImageBufferPainterDirect painter(b);
            FillRed(painter.GetPaintContext(), 0, 0, 2, 1);
        } else {
            LImageBufferPainter painter(b);
            FillRed(painter.GetPaintContext(), 0, 0, 2, 1);
        }
        EXPECT_EQ(Px(b, 0, 2).r, 255) << direct; // the picture's top row is the last stored row
        EXPECT_EQ(Px(b, 0, 0).a, 0) << direct;
    }
    // A top-down buffer: y = 0 is the first stored row.
    LImageBuffer t(LImageFormat(LPixelFormatB8G8R8A8, 2, 3));
    LProcessInterfaceVoid job;
    t.Clear(job, LPixelColour());
    {
        LImageBufferPainter painter(t);
        FillRed(painter.GetPaintContext(), 0, 0, 2, 1);
    }
    EXPECT_EQ(Px(t, 0, 0).r, 255);
    EXPECT_EQ(Px(t, 0, 2).a, 0);
}

TEST(ImageBufferPainter, PaintSurfaceOperationsAndImagesLandInTheBuffer)
{
    LImageBuffer b(LImageFormat(LPixelFormatB8G8R8A8, 20, 10));
    LProcessInterfaceVoid job;
    b.Clear(job, LPixelColour(255, 255, 255, 255));

    // A 2 x 2 image, its top row green, drawn upright into a 10 x 10 rectangle at (10, 0).
    LImageBuffer image(LImageFormat(LPixelFormatB8G8R8A8, 2, 2, true));
    Px(image, 0, 1) = Px(image, 1, 1) = LPFB8G8R8A8 { 0, 255, 0, 255 };
    Px(image, 0, 0) = Px(image, 1, 0) = LPFB8G8R8A8 { 255, 0, 0, 255 };
    {
        LImageBufferPainter painter(b);
        LPaintContext& ctx = painter.GetPaintContext();
        LPaintSurface::FillRectAA(ctx, LGuiColor(0xFF00, 0, 0), 0, 0, 5, 5);
        ctx.mAlpha = 0.25f;
        LPaintSurface::DrawImage(ctx, image, 10, 0, 10, 10, 1.0f, LImageInterpolationDefault);
        EXPECT_FLOAT_EQ(ctx.mAlpha, 0.25f);
    }
    EXPECT_TRUE(Is(Px(b, 2, 2), 0, 0, 255, 255));
    EXPECT_TRUE(Is(Px(b, 7, 7), 255, 255, 255, 255));
    EXPECT_EQ(Px(b, 15, 1).g, 255);
    EXPECT_EQ(Px(b, 15, 1).b, 0);
    EXPECT_EQ(Px(b, 15, 8).b, 255);
    EXPECT_EQ(Px(b, 10, 0).g, 255); // the edge pixel reaches the rectangle's corner
}

TEST(ImageBufferPainter, ALargePictureDrawnSmallTakesNoCopyOfItsSize)
{
    // 4096 x 4096, stored bottom-up: the top half opaque red; the bottom half columns of blue
    // and of transparent black in turn, which together are blue at half coverage.
    LImageBuffer picture(LImageFormat(LPixelFormatB8G8R8A8, 4096, 4096, true));
    for (int y = 0; y < 4096; ++y) {
        auto* row = reinterpret_cast<LPFB8G8R8A8*>(picture.GetPictureRow(y));
        for (int x = 0; x < 4096; ++x)
            row[x] = y < 2048 ? LPFB8G8R8A8 { 0, 0, 255, 255 }
                : x % 2       ? LPFB8G8R8A8 { 255, 0, 0, 255 }
                              : LPFB8G8R8A8 { 0, 0, 0, 0 };
    }
    LImageBuffer b(LImageFormat(LPixelFormatB8G8R8A8, 64, 64));
    LProcessInterfaceVoid job;
    b.Clear(job, LPixelColour(255, 255, 255, 255));
    rusage before {}, after {};
    getrusage(RUSAGE_SELF, &before);
    {
        LImageBufferPainter painter(b);
        LPaintSurface::DrawImage(
            painter.GetPaintContext(), picture, 0, 0, 64, 64, 1.0f, LImageInterpolationDefault);
    }
    getrusage(RUSAGE_SELF, &after);
    // A premultiplied copy of the picture would be 64 MiB.
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 16 * 1024);
    // Red on top; below, half blue over the white (the transparent pixels' black left out).
    for (int x : { 1, 30, 62 }) {
        EXPECT_TRUE(Is(Px(b, x, 10), 0, 0, 255, 255)) << x;
        const LPFB8G8R8A8 p = Px(b, x, 50);
        EXPECT_NEAR(p.b, 255, 2) << x;
        EXPECT_NEAR(p.g, 128, 2) << x;
        EXPECT_NEAR(p.r, 128, 2) << x;
    }
}

namespace {

// What the painters do to a straight pixel nothing was painted over: premultiplied and divided
// out again (the direct painter), by the formulas of the pixel routines.
LPFB8G8R8A8 RoundTrip(LPFB8G8R8A8 p)
{
    if (p.a == 255)
        return p;
    if (p.a == 0)
        return LPFB8G8R8A8 { 0, 0, 0, 0 };
    auto channel = [a = int(p.a)](int c) {
        const int pre = (2 * c * a + 255) / 510;
        return uint8_t(std::min(255, (pre * 255 + a / 2) / a));
    };
    return LPFB8G8R8A8 { channel(p.b), channel(p.g), channel(p.r), p.a };
}

// A buffer of runs of opaque, blank, transparent-with-colour and semi-transparent pixels, its
// rows padded by pad bytes of 0xA5.
LImageBuffer MixedBuffer(int w, int h, bool bottomUp, uint64_t pad, std::mt19937& rng)
{
    LImageFormat f(LPixelFormatB8G8R8A8, w, h, bottomUp);
    f.stride = uint64_t(w) * 4 + pad;
    LImageBuffer b(f);
    std::memset(b.GetData(), 0xA5, f.stride * uint64_t(h));
    unsigned kind = 0, left = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (left == 0)
                kind = rng() % 4, left = 1 + rng() % 12;
            --left;
            const uint32_t v = rng();
            const uint8_t a = kind == 0 ? 255 : kind == 3 ? uint8_t(1 + rng() % 254) : 0;
            Px(b, x, y) = kind == 1
                ? LPFB8G8R8A8 { 0, 0, 0, 0 }
                : LPFB8G8R8A8 { uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), a };
        }
    return b;
}

bool PaddingKept(LImageBuffer& b)
{
    const uint64_t used = uint64_t(b.GetWidth()) * 4;
    for (int y = 0; y < b.GetHeight(); ++y)
        for (uint64_t i = used; i < b.GetStride(); ++i)
            if (b.GetRow(y)[i] != 0xA5)
                return false;
    return true;
}

} // namespace

TEST(ImageBufferPainter, DirectPainterOverMixedPixelsOddWidthsAndPaddedRows)
{
    std::mt19937 rng(21);
    for (bool bottomUp : { false, true })
        for (int w : { 1, 7, 37 })
            for (uint64_t pad : { 0, 12 }) {
                const int h = 5;
                LImageBuffer b = MixedBuffer(w, h, bottomUp, pad, rng);
                LImageBuffer before;
                ASSERT_TRUE(LImageBufferAllocateAndCopy(before, b));
                { // nothing drawn
                    LImageBufferPainterDirect painter(b);
                    ASSERT_TRUE(painter.HasDrawingContext());
                }
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) {
                        const LPFB8G8R8A8 e = RoundTrip(Px(before, x, y)), p = Px(b, x, y);
                        ASSERT_TRUE(Is(p, e.b, e.g, e.r, e.a)) << w << " " << x << "," << y;
                    }
                EXPECT_TRUE(PaddingKept(b));

                // An opaque green square over picture columns 1-2, rows 1-3; the rest as it was.
                LImageBuffer kept;
                ASSERT_TRUE(LImageBufferAllocateAndCopy(kept, b));
                {
                    LImageBufferPainterDirect painter(b);
                    cairo_t* cr = painter.GetPaintContext().GetPlatformContext();
                    cairo_set_source_rgb(cr, 0, 1, 0);
                    cairo_rectangle(cr, 1, 1, 2, 3);
                    cairo_fill(cr);
                }
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) {
                        const int stored = bottomUp ? h - 1 - y : y;
                        const LPFB8G8R8A8 p = Px(b, x, stored);
                        if (x >= 1 && x <= 2 && y >= 1 && y <= 3) {
                            ASSERT_TRUE(Is(p, 0, 255, 0, 255)) << w << " " << x << "," << y;
                        } else {
                            const LPFB8G8R8A8 e = RoundTrip(Px(kept, x, stored));
                            ASSERT_TRUE(Is(p, e.b, e.g, e.r, e.a)) << w << " " << x << "," << y;
                        }
                    }
                EXPECT_TRUE(PaddingKept(b));
            }
}

TEST(ImageBufferPainter, CopyingPainterKeepsEveryPixelNotPaintedOver)
{
    std::mt19937 rng(22);
    for (bool bottomUp : { false, true })
        for (int w : { 1, 7, 37 })
            for (uint64_t pad : { 0, 12 }) {
                const int h = 6;
                LImageBuffer b = MixedBuffer(w, h, bottomUp, pad, rng);
                LImageBuffer before;
                ASSERT_TRUE(LImageBufferAllocateAndCopy(before, b));
                {
                    LImageBufferPainter painter(b);
                    ASSERT_TRUE(painter.HasDrawingContext());
                    // Half-transparent red over picture rows 0-1, then flushed; opaque blue over
                    // row 4 after the flush.
                    FillRed(painter.GetPaintContext(), 0, 0, w, 2, 0.5);
                    painter.Flush();
                    cairo_t* cr = painter.GetPaintContext().GetPlatformContext();
                    cairo_set_source_rgb(cr, 0, 0, 1);
                    cairo_rectangle(cr, 0, 4, w, 1);
                    cairo_fill(cr);
                }
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) {
                        const int stored = bottomUp ? h - 1 - y : y;
                        const LPFB8G8R8A8 o = Px(before, x, stored), p = Px(b, x, stored);
                        if (y == 4) {
                            ASSERT_TRUE(Is(p, 255, 0, 0, 255)) << x << "," << y;
                        } else if (y <= 1) { // red at half over the old pixel
                            const double a = o.a / 255.0, out = 0.5 + a * 0.5;
                            ASSERT_NEAR(p.a, out * 255, 1) << x << "," << y;
                            ASSERT_NEAR(p.r, (0.5 + o.r * a * 0.5 / 255) / out * 255, 3);
                            ASSERT_NEAR(p.b, o.b * a * 0.5 / out, 3) << x << "," << y;
                        } else {
                            ASSERT_TRUE(Is(p, o.b, o.g, o.r, o.a)) << w << " " << x << "," << y;
                        }
                    }
                EXPECT_TRUE(PaddingKept(b));
            }
}

// Over opaque pixels the direct painter that is told so converts nothing and draws the same.
TEST(ImageBufferPainter, OpaqueTargetsAreDrawnAsAnyOther)
{
    LImageBuffer told(LImageFormat(LPixelFormatB8G8R8A8, 16, 8));
    LImageBuffer plain(LImageFormat(LPixelFormatB8G8R8A8, 16, 8));
    LProcessInterfaceVoid job;
    for (LImageBuffer* b : { &told, &plain })
        b->Clear(job, LPixelColour(240, 200, 100, 255));
    auto draw = [](LPaintContext& ctx) {
        FillRed(ctx, 1.5, 1.25, 9, 4, 0.3);
        FillRed(ctx, 6, 3, 7.5, 4.5, 0.8);
    };
    {
        LImageBufferPainterDirect painter(told, true);
        ASSERT_TRUE(painter.HasDrawingContext());
        draw(painter.GetPaintContext());
    }
    {
        LImageBufferPainterDirect painter(plain);
        draw(painter.GetPaintContext());
    }
    EXPECT_EQ(std::memcmp(told.GetData(), plain.GetData(), plain.GetStride() * 8), 0);
    EXPECT_EQ(Px(told, 0, 0).a, 255);
    EXPECT_EQ(Px(told, 7, 4).a, 255);
}
