#include "lfw/graphics/LCGImageRefReader.h"
#include "lfw/mac/LImageBufferPainter.h"
#include "lfw/mac/LPaintSurface.h"

#include <gtest/gtest.h>

#include <cstring>

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
