#include "lfw/graphics/LImageBuffer.h"
#include "lfw/mac/LPDFWriter.h"
#include "support/DocumentTestSupport.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string Shell(const std::string& command)
{
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    pclose(p);
    return out;
}

std::string Info(const std::string& pdf)
{
    return Shell("pdfinfo '" + pdf + "' 2>&1");
}

// The page rendered in grey at 72 dpi: width, height and one byte per pixel.
struct Gray {
    int width = 0, height = 0;
    std::vector<unsigned char> pixels;
    int At(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

Gray Render(const std::string& pdf, const std::string& base)
{
    Shell("pdftoppm -r 72 -gray -singlefile '" + pdf + "' '" + base + "' 2>&1");
    Gray g;
    std::ifstream in(base + ".pgm", std::ios::binary);
    std::string magic;
    int maxval = 0;
    in >> magic >> g.width >> g.height >> maxval;
    in.get();
    g.pixels.resize(size_t(g.width) * g.height);
    in.read(reinterpret_cast<char*>(g.pixels.data()), std::streamsize(g.pixels.size()));
    if (magic != "P5" || !in)
        g.width = g.height = 0;
    return g;
}

// A picture of four quarters (red, green / blue, black from the top left) in B8G8R8A8; the
// right half of its rows has alpha `rightAlpha`, the left half is opaque.
std::shared_ptr<LImageBuffer> Quarters(int width, int height, bool bottomUp, int rightAlpha = 255)
{
    auto picture = std::make_shared<LImageBuffer>();
    LImageFormat format(LPixelFormatB8G8R8A8, width, height);
    format.bottomUp = bottomUp;
    picture->AllocateNewBuffer(format);
    for (int y = 0; y < height; ++y) {
        unsigned char* row = picture->GetPictureRow(y);
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2, bottom = y >= height / 2;
            unsigned char* p = row + size_t(x) * 4;
            p[2] = !right && !bottom ? 255 : 0; // red
            p[1] = right && !bottom ? 255 : 0; // green
            p[0] = !right && bottom ? 255 : 0; // blue
            p[3] = right ? uint8_t(rightAlpha) : 255;
        }
    }
    return picture;
}

} // namespace

TEST(PDFWriter, PageSizeAndMetadata)
{
    TemporaryFolder dir;
    const std::string portrait = dir / "a4.pdf", landscape = dir / "a4l.pdf";
    {
        LPDFWriter w(portrait.c_str(), LPaperSizeA4, LPaperSizeOrientationPortrait, 72);
        ASSERT_TRUE(w.IsValid());
        // The paper's true size in points, not rounded to whole ones.
        EXPECT_NEAR(w.GetPageWidth(), 210 / 25.4 * 72, 1e-9);
        EXPECT_NEAR(w.GetPageHeight(), 297 / 25.4 * 72, 1e-9);
        w.BeginPage();
        LPaintSurface::FillRectAA(w.GetPaintContext(), LGuiColor(), 10, 10, 10, 10);
        w.EndPage();
        EXPECT_TRUE(w.Close());
    }
    std::string info = Info(portrait);
    EXPECT_NE(info.find("Title:           ZOR PDF-fil"), std::string::npos) << info;
    EXPECT_NE(info.find("Creator:         ZOR-program"), std::string::npos) << info;
    EXPECT_NE(info.find("Page size:       595.276 x 841.89 pts (A4)"), std::string::npos) << info;
    EXPECT_NE(info.find("Pages:           1"), std::string::npos) << info;

    {
        LPDFWriter w(landscape.c_str(), LPaperSizeA4, LPaperSizeOrientationLandscape, 72);
        w.BeginPage();
        w.EndPage();
    } // the destructor finishes the file
    EXPECT_NE(Info(landscape).find("Page size:       841.89 x 595.276 pts (A4)"), std::string::npos)
        << Info(landscape);

    // Ids without a size give A4; the resolution scales the page.
    for (LPaperSizeID id : { LPaperSizeInvalid, LPaperSizeCustom }) {
        LPDFWriter w((dir / "x.pdf").c_str(), id, LPaperSizeOrientationPortrait, 72);
        EXPECT_NEAR(w.GetPageWidth(), 595.2756, 1e-4);
        EXPECT_NEAR(w.GetPageHeight(), 841.8898, 1e-4);
    }
    LPDFWriter big((dir / "300.pdf").c_str(), LPaperSizeA4, LPaperSizeOrientationPortrait, 300);
    EXPECT_NEAR(big.GetPageWidth(), 2480.315, 1e-3);
    EXPECT_NEAR(big.GetPageHeight(), 3507.874, 1e-3);
    EXPECT_EQ(big.GetResolution(), 300);
    LPDFWriter letter(
        (dir / "l.pdf").c_str(), LPaperSizeUSLetter, LPaperSizeOrientationPortrait, 72);
    EXPECT_NEAR(letter.GetPageWidth(), 612, 1e-9);
    EXPECT_NEAR(letter.GetPageHeight(), 792, 1e-9);
    letter.BeginPage();
    letter.EndPage();
    ASSERT_TRUE(letter.Close());
    EXPECT_NE(
        Info(dir / "l.pdf").find("Page size:       612 x 792 pts (letter)"), std::string::npos)
        << Info(dir / "l.pdf");
}

TEST(PDFWriter, DrawingLandsWhereThePageSaysAndStaysVector)
{
    TemporaryFolder dir;
    const std::string pdf = dir / "marks.pdf";
    {
        LPDFWriter w(pdf.c_str(), LPaperSizeA4, LPaperSizeOrientationPortrait, 72);
        w.BeginPage();
        w.TransformReset(LMatrix<float>());
        LPaintContext& ctx = w.GetPaintContext();
        // A bar along the top edge, from y = 0.
        LPaintSurface::FillRectAA(ctx, LGuiColor(), 0, 0, 595, 20);
        // Document brushes: a gradient path and a stroked one; an unknown kind draws nothing.
        LGraphicsPath box;
        box.AddRectangle(100, 400, 200, 100);
        LBrushInfo linear;
        linear.kind = LBrushInfoKindLinearGradient;
        linear.geometry[0] = 100;
        linear.geometry[2] = 300;
        LList<VTGradientStop> stops;
        stops.AddTail(new VTGradientStop(0.0f, LGuiColorAlpha(LGuiColor(), 255)));
        stops.AddTail(new VTGradientStop(1.0f, LGuiColorAlpha(LGuiColor::FromRGB8(255, 255, 255))));
        CCMakeStopPoints(linear, stops);
        w.FillPath(linear, box);
        LGraphicsPath other;
        other.AddRectangle(400, 400, 100, 100);
        LBrushInfo odd;
        odd.kind = 9;
        w.FillPath(odd, other);
        LBrushInfo solid;
        solid.kind = LBrushInfoKindSolid;
        w.DrawPath(solid, other, 0, nullptr);
        // Text is kept as text.
        ctx.SetFont(LFontAttributes("DejaVu Sans", 24, 0));
        LPaintSurface::DrawText(ctx, "Skivetikett", 100, 600, 300, 40, LAlignmentXLeft,
            LAlignmentYTop, LTextWrappingNone, LTextTrimmingNone);
        w.EndPage();
        ASSERT_TRUE(w.Close());
        // After closing, drawing does nothing.
        LPaintSurface::FillRectAA(ctx, LGuiColor(), 0, 0, 5, 5);
    }
    Gray g = Render(pdf, dir / "page");
    // The 595.28 x 841.89 point page at a pixel a point, its last part pixels included.
    ASSERT_EQ(g.width, 596);
    ASSERT_EQ(g.height, 842);
    EXPECT_LT(g.At(300, 5), 10); // the bar at the top of the page
    EXPECT_GT(g.At(300, 30), 245); // and nothing below it
    EXPECT_GT(g.At(300, 835), 245);
    EXPECT_LT(g.At(105, 450), 30); // the gradient: dark at its start
    EXPECT_GT(g.At(295, 450), 220); // light at its end
    EXPECT_NEAR(g.At(200, 450), 128, 12);
    EXPECT_GT(g.At(450, 450), 245); // the unknown brush kind filled nothing
    EXPECT_LT(g.At(400, 450), 180); // the hairline outline
    EXPECT_NE(Shell("pdftotext '" + pdf + "' - 2>&1").find("Skivetikett"), std::string::npos);
    // Vector output: no images in the file.
    std::string images = Shell("pdfimages -list '" + pdf + "' 2>&1");
    EXPECT_EQ(std::count(images.begin(), images.end(), '\n'), 2) << images;
}

TEST(PDFWriter, TextMeasuring)
{
    TemporaryFolder dir;
    LPDFWriter w((dir / "m.pdf").c_str(), LPaperSizeA5, LPaperSizeOrientationPortrait, 72);
    w.GetPaintContext().SetFont(LFontAttributes("DejaVu Sans", 12, 0));
    EXPECT_EQ(w.MeasureTextPreciseWidth(""), 0);
    float one = w.MeasureTextPreciseWidth("Skiva");
    EXPECT_GT(one, 20);
    // One unbounded line, however long.
    std::string longer;
    for (int i = 0; i < 40; ++i)
        longer += "Skiva ";
    longer.pop_back();
    float all = w.MeasureTextPreciseWidth(longer.c_str());
    EXPECT_GT(all, 35 * one);
}

TEST(PDFWriter, FailuresAreReported)
{
    LPDFWriter none("", LPaperSizeA4, LPaperSizeOrientationPortrait, 72);
    EXPECT_FALSE(none.IsValid());
    EXPECT_EQ(none.GetPaintContext().GetPlatformContext(), nullptr);
    LPaintSurface::FillRectAA(none.GetPaintContext(), LGuiColor(), 0, 0, 5, 5);
    none.BeginPage();
    none.EndPage();
    EXPECT_FALSE(none.Close());

    LPDFWriter missing(
        "/nonexistent-folder/x/out.pdf", LPaperSizeA4, LPaperSizeOrientationPortrait, 72);
    EXPECT_FALSE(missing.IsValid());
    EXPECT_FALSE(missing.Close());

    // A write that fails after the file was opened (a full device) is reported by Close.
    if (FILE* f = fopen("/dev/full", "w")) {
        fclose(f);
        LPDFWriter full("/dev/full", LPaperSizeA4, LPaperSizeOrientationPortrait, 72);
        full.BeginPage();
        LPaintSurface::FillRectAA(full.GetPaintContext(), LGuiColor(), 0, 0, 50, 50);
        full.EndPage();
        EXPECT_FALSE(full.Close());
    }
}

TEST(PDFWriter, PicturesGoOntoThePageWithTheirOwnPixels)
{
    TemporaryFolder dir;
    const std::string pdf = dir / "pictures.pdf";
    // Sizes whose proportions differ from the boxes they are drawn in.
    auto upright = Quarters(800, 533, false);
    auto bottomUp = Quarters(800, 533, true);
    auto halfClear = Quarters(601, 401, false, 128);
    auto withoutOwner = Quarters(300, 200, false);
    {
        LPDFWriter w(pdf.c_str(), LPaperSizeA4, LPaperSizeOrientationPortrait, 72);
        w.BeginPage();
        LPaintContext& ctx = w.GetPaintContext();
        // Boxes off the whole points, as millimetres give them.
        LPaintSurface::DrawImage(
            ctx, *upright, 40.4f, 40.6f, 240.3f, 180.2f, 1.0f, LImageInterpolationNone, upright);
        LPaintSurface::DrawImage(
            ctx, *bottomUp, 320.4f, 40.6f, 240.3f, 180.2f, 1.0f, LImageInterpolationNone, bottomUp);
        LPaintSurface::DrawImage(ctx, *halfClear, 40.4f, 300.6f, 240.3f, 180.2f, 1.0f,
            LImageInterpolationNone, halfClear);
        // Without an owner the page takes a copy.
        LPaintSurface::DrawImage(
            ctx, *withoutOwner, 320.4f, 300.6f, 240.3f, 180.2f, 1.0f, LImageInterpolationNone);
        // Until the page is written it refers to the pixels and holds their owners.
        EXPECT_GT(upright.use_count(), 1);
        EXPECT_GT(halfClear.use_count(), 1);
        w.EndPage();
        ASSERT_TRUE(w.Close());
    }
    EXPECT_EQ(upright.use_count(), 1);
    EXPECT_EQ(bottomUp.use_count(), 1);
    EXPECT_EQ(halfClear.use_count(), 1);

    // Each picture at its own size; the alpha as a mask of the same size.
    const std::vector<std::string> expected
        = { "image 300 200", "image 601 401", "image 800 533", "image 800 533", "smask 601 401" };
    EXPECT_EQ(PdfImages(pdf), expected);

    RgbRaster r = RenderPdfPage(pdf);
    ASSERT_EQ(r.width, 596);
    auto near = [](DrawPixel p, int red, int green, int blue) {
        return std::abs(p.r - red) <= 8 && std::abs(p.g - green) <= 8 && std::abs(p.b - blue) <= 8;
    };
    for (int left : { 40, 320 }) {
        for (int top : { 40, 300 }) {
            SCOPED_TRACE(std::to_string(left) + ", " + std::to_string(top));
            EXPECT_TRUE(near(r.At(left + 60, top + 45), 255, 0, 0));
            EXPECT_TRUE(near(r.At(left + 60, top + 135), 0, 0, 255));
            // To the box's corners.
            EXPECT_TRUE(near(r.At(left + 1, top + 1), 255, 0, 0));
            const int grey = left == 40 && top == 300 ? 127 : 0;
            EXPECT_TRUE(near(r.At(left + 239, top + 179), grey, grey, grey));
            // Nothing outside the box.
            EXPECT_TRUE(near(r.At(left - 1, top + 90), 255, 255, 255));
            EXPECT_TRUE(near(r.At(left + 241, top + 90), 255, 255, 255));
        }
    }
    // The right half: green over black where opaque; half clear over the white page.
    EXPECT_TRUE(near(r.At(40 + 180, 40 + 45), 0, 255, 0));
    EXPECT_TRUE(near(r.At(40 + 180, 40 + 135), 0, 0, 0));
    EXPECT_TRUE(near(r.At(320 + 180, 40 + 45), 0, 255, 0));
    EXPECT_TRUE(near(r.At(320 + 180, 40 + 135), 0, 0, 0));
    EXPECT_TRUE(near(r.At(40 + 180, 300 + 45), 127, 255, 127));
    EXPECT_TRUE(near(r.At(40 + 180, 300 + 135), 127, 127, 127));
    EXPECT_TRUE(near(r.At(320 + 180, 300 + 45), 0, 255, 0));
}
