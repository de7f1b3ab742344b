#include "app/VTExport.h"
#include "app/VTLabelLayoutData.h"
#include "app/VTOverlayImage.h"
#include "app/VTPaintTemplatesAndOverlays.h"
#include "app/VTProject.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LPaintSurface.h"
#include "support/DrawCanvas.h"
#include "support/TemporaryFolder.h"

#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Rgb& c)
{
    return os << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

constexpr Rgb kWhite { 255, 255, 255 };
constexpr Rgb kRed { 255, 0, 0 };
constexpr Rgb kBlue { 0, 0, 255 };

// A rendered sheet, read back in millimetres from the sheet's centre.
class Sheet {
public:
    Sheet(VTProject& project, const VTLabelLayoutPage& page, unsigned long dpi)
        : mScale(dpi / 25.4)
    {
        mValid = VTRenderPageToImage(mImage, project, page, dpi);
    }
    bool IsValid() const { return mValid; }
    const LImageBuffer& Image() const { return mImage; }
    Rgb Pixel(int x, int y) const
    {
        const unsigned char* p = mImage.GetData() + mImage.GetStride() * uint64_t(y) + 4 * x;
        return { p[2], p[1], p[0] };
    }
    int Px(float xMm) const { return int(std::floor(mImage.GetWidth() / 2.0 + xMm * mScale)); }
    int Py(float yMm) const { return int(std::floor(mImage.GetHeight() / 2.0 + yMm * mScale)); }
    Rgb AtMm(float x, float y) const { return Pixel(Px(x), Py(y)); }
    double Scale() const { return mScale; }
    bool AllWhite() const
    {
        for (int y = 0; y < mImage.GetHeight(); ++y)
            for (int x = 0; x < mImage.GetWidth(); ++x)
                if (!(Pixel(x, y) == kWhite))
                    return false;
        return true;
    }

private:
    LImageBuffer mImage;
    double mScale;
    bool mValid = false;
};

LBrushInfo* Solid(uint8_t r, uint8_t g, uint8_t b)
{
    auto* brush = new LBrushInfo;
    brush->kind = LBrushInfoKindSolid;
    brush->color = LGuiColorAlpha::FromRGBA8(r, g, b, 255);
    return brush;
}

// A blue bar of w x h mm centred on (x, y) on the design.
VTOverlayImage* Bar(VTProjectTemplate& design, float x, float y, float w, float h)
{
    LImageBuffer blue(LImageFormat(LPixelFormatB8G8R8A8, 4, 4));
    for (int i = 0; i < 16; ++i) {
        unsigned char* p = blue.GetData() + i * 4;
        p[0] = 255, p[1] = 0, p[2] = 0, p[3] = 255;
    }
    auto* bar = new VTOverlayImage;
    bar->SetImage(blue);
    bar->centreX = x;
    bar->centreY = y;
    bar->width = w;
    bar->height = h;
    design.InsertOverlay(bar, false);
    return bar;
}

void SetRing(VTProjectTemplate& design, float outer, float inner)
{
    dynamic_cast<VTTemplateDataDiscCDDVDStandard*>(design.GetTemplateData())
        ->SetDiscPrintableArea(outer, inner, false, inner + 0.5f, inner + 0.5f);
}

class Render : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.IsValid());
        setenv("XDG_CONFIG_HOME", (m_folder / "config").c_str(), 1);
        setenv("XDG_CACHE_HOME", (m_folder / "cache").c_str(), 1);
        auto* layout = new VTLabelLayoutDataGenericCDStandard;
        layout->paperSize = LPaperSizeA4;
        m_project = std::make_unique<VTProject>(layout);
        m_disc = m_project->templates.GetAt(0);
        m_disc->backgroundBrush.Reset(Solid(255, 0, 0));
        m_page = layout->pages.GetAt(0);
    }
    TemporaryFolder m_folder;
    std::unique_ptr<VTProject> m_project;
    VTProjectTemplate* m_disc = nullptr;
    VTLabelLayoutPage* m_page = nullptr;
};

} // namespace

TEST_F(Render, GenericDiscOnA4At300Dpi)
{
    // The design's hole is larger than the position's: the background keeps to both outlines,
    // the overlays only to the position's.
    SetRing(*m_disc, 118, 50);
    Bar(*m_disc, 0, 0, 200, 10);

    Sheet sheet(*m_project, *m_page, 300);
    ASSERT_TRUE(sheet.IsValid());
    EXPECT_EQ(sheet.Image().GetWidth(), 2481);
    EXPECT_EQ(sheet.Image().GetHeight(), 3508);
    EXPECT_EQ(sheet.Image().GetFormat().horizontalResolution, 11811); // 300 dpi

    // The background fills the printable ring and not the hole.
    for (float angle = 0; angle < 360; angle += 45) {
        const float s = std::sin(angle * 0.0174533f), c = std::cos(angle * 0.0174533f);
        if (std::fabs(s) < 0.2f)
            continue; // the bar
        EXPECT_EQ(sheet.AtMm(40 * c, 40 * s), kRed) << angle;
        EXPECT_EQ(sheet.AtMm(57 * c, 57 * s), kRed) << angle;
        EXPECT_EQ(sheet.AtMm(10 * c, 10 * s), kWhite) << angle; // the position's hole
        EXPECT_EQ(sheet.AtMm(22 * c, 22 * s), kWhite) << angle; // the design's hole
        EXPECT_EQ(sheet.AtMm(59.6f * c, 59.6f * s), kWhite) << angle; // beyond the ring
    }
    // The bar is cut at the position's outline, not the design's.
    EXPECT_EQ(sheet.AtMm(20, 0), kBlue);
    EXPECT_EQ(sheet.AtMm(-55, 0), kBlue);
    EXPECT_EQ(sheet.AtMm(10, 0), kWhite);
    EXPECT_EQ(sheet.AtMm(65, 0), kWhite);
    EXPECT_EQ(sheet.AtMm(-90, 0), kWhite);

    // The light grey outline lies on the circle of 60 mm radius, drawn 0.2 mm wide.
    for (int dy : { -1, 1 }) {
        const int dx = 0, dir = dy;
        int darkest = 255, at = 0;
        for (int r = 700; r <= 730; ++r) {
            Rgb p = sheet.Pixel(sheet.Px(0) + dx * r, sheet.Py(0) + dy * r);
            EXPECT_EQ(p.r, p.g);
            EXPECT_EQ(p.g, p.b);
            if (p.r < darkest)
                darkest = p.r, at = r;
        }
        EXPECT_NEAR(darkest, 230, 2) << dir;
        EXPECT_NEAR(at, 60 * sheet.Scale(), 2.0) << dir;
    }
    // Paper corners stay white.
    EXPECT_EQ(sheet.Pixel(0, 0), kWhite);
    EXPECT_EQ(sheet.Pixel(2479, 3506), kWhite);
}

TEST_F(Render, OutlineWidthSetting)
{
    EXPECT_FALSE(LUserSettingTestExists("Settings", "PrintTemplateOutlineWidth"));
    EXPECT_FLOAT_EQ(VTPrintTemplateOutlineWidthGet(), 0.2f);
    char stored[kLStringShortSize] = "";
    _LUserSettingGetString("Settings", "PrintTemplateOutlineWidth", "", stored);
    EXPECT_STREQ(stored, "0.200000");
    LUserSettingSetString("Settings", "PrintTemplateOutlineWidth", "0.5");
    EXPECT_FLOAT_EQ(VTPrintTemplateOutlineWidthGet(), 0.5f);
    // What is not a positive width gives the default.
    for (const char* bad : { "abc", "-5", "0", "", "1e999", "0.3x" }) {
        LUserSettingSetString("Settings", "PrintTemplateOutlineWidth", bad);
        EXPECT_FLOAT_EQ(VTPrintTemplateOutlineWidthGet(), 0.2f) << bad;
    }
}

TEST_F(Render, ImageSizesRoundUpAfterAThousandthOfAPixel)
{
    // A4 and Letter at 300 dpi; plain doubles would make Letter 2551 x 3301.
    EXPECT_EQ(VTImagePixels(210.0f, 300), 2481);
    EXPECT_EQ(VTImagePixels(297.0f, 300), 3508);
    EXPECT_EQ(VTImagePixels(215.9f, 300), 2550);
    EXPECT_EQ(VTImagePixels(279.4f, 300), 3300);
    EXPECT_EQ(VTImagePixels(0.0f, 300), 0);
}

TEST_F(Render, AnUnmappedPositionStaysBlank)
{
    Bar(*m_disc, 0, 0, 200, 10);
    m_disc->RemoveMappingToLabelLayoutTemplateID(0);
    Sheet sheet(*m_project, *m_page, 50);
    ASSERT_TRUE(sheet.IsValid());
    EXPECT_TRUE(sheet.AllWhite());
}

TEST_F(Render, TheCallersTransformIsKept)
{
    Bar(*m_disc, 0, 0, 200, 10);
    DrawCanvas canvas(300, 300);
    LPaintContext& ctx = canvas.ctx();
    LMatrix<float> given
        = LMatrix<float>::Scaling(2.0f, 2.0f) * LMatrix<float>::Translation(150, 150);
    LPaintSurface::Transform(ctx, given);
    LMatrix<float> before, after;
    LPaintSurface::TransformGet(ctx, before);
    const size_t stack = ctx.GetTransformStack().GetCount();
    PaintTemplatesAndOverlays(ctx, *m_project, m_page, true, 0.2f);
    LPaintSurface::TransformGet(ctx, after);
    EXPECT_TRUE(before == after);
    EXPECT_EQ(ctx.GetTransformStack().GetCount(), stack);
    // The unmapped case returns the same way.
    m_disc->RemoveMappingToLabelLayoutTemplateID(0);
    PaintTemplatesAndOverlays(ctx, *m_project, m_page, true, 0.2f);
    LPaintSurface::TransformGet(ctx, after);
    EXPECT_TRUE(before == after);
    EXPECT_EQ(ctx.GetTransformStack().GetCount(), stack);
    // A page without positions paints nothing; no page neither.
    VTLabelLayoutPage empty;
    PaintTemplatesAndOverlays(ctx, *m_project, &empty, true, 0.2f);
    PaintTemplatesAndOverlays(ctx, *m_project, nullptr, true, 0.2f);
    LPaintSurface::TransformGet(ctx, after);
    EXPECT_TRUE(before == after);
}

TEST_F(Render, PositionsBeyondAnySheetArePassedOver)
{
    // A layout read from a damaged file may hold a disc of absurd size: it is not painted (its
    // outline alone would take the drawing code ages), the others are.
    auto* layout = new VTLabelLayoutDataAveryA4TwoDiscSinglePageFace;
    VTProject project(layout);
    for (VTProjectTemplate& design : project.templates)
        design.backgroundBrush.Reset(Solid(255, 0, 0));
    VTLabelLayoutTemplate* huge = layout->pages.GetHead()->first;
    dynamic_cast<VTTemplateDataDiscCDDVDStandard*>(huge->GetTemplateData())->outerDiameter = 2e21f;
    Sheet sheet(project, *layout->pages.GetHead(), 50);
    ASSERT_TRUE(sheet.IsValid());
    EXPECT_EQ(sheet.AtMm(0, -68.6f + 40), kWhite);
    EXPECT_EQ(sheet.AtMm(0, 68.4f + 40), kRed);
    EXPECT_FALSE(VTIsPaintablePosition(*huge));
    huge->centreX = NAN;
    EXPECT_FALSE(VTIsPaintablePosition(*huge));

    VTOverlayImage overlay;
    EXPECT_TRUE(VTIsPaintableOverlay(overlay));
    overlay.width = 1e9f;
    EXPECT_FALSE(VTIsPaintableOverlay(overlay));
}

TEST_F(Render, OneDesignOnTwoPositions)
{
    auto* layout = new VTLabelLayoutDataAveryA4TwoDiscSinglePageFace;
    VTProject project(layout);
    ASSERT_EQ(project.templates.GetCount(), 2u);
    VTProjectTemplate* first = project.templates.GetAt(0);
    VTProjectTemplate* second = project.templates.GetAt(1);
    first->backgroundBrush.Reset(Solid(255, 0, 0));
    second->RemoveMappingToLabelLayoutTemplateID(1);
    first->AddMappingToLabelLayoutTemplateID(1);
    Bar(*first, 0, 0, 200, 6);

    Sheet sheet(project, *layout->pages.GetHead(), 100);
    ASSERT_TRUE(sheet.IsValid());
    for (float cy : { -68.6f, 68.4f }) {
        EXPECT_EQ(sheet.AtMm(0, cy + 40), kRed) << cy;
        EXPECT_EQ(sheet.AtMm(40, cy), kBlue) << cy;
        // Each copy is cut at its own position's outline.
        EXPECT_EQ(sheet.AtMm(62, cy), kWhite) << cy;
        EXPECT_EQ(sheet.AtMm(0, cy), kWhite) << cy;
    }
}

TEST_F(Render, OutlinesLieOnTopAndUnclipped)
{
    // A turned CD case front on its landscape page: the bar reaches over the outline's edge.
    VTProjectTemplate* front = m_project->templates.GetAt(1);
    front->backgroundBrush.Reset(Solid(255, 0, 0));
    Bar(*front, 0, 0, 300, 20);
    LUserSettingSetString("Settings", "PrintTemplateOutlineWidth", "1.000000");
    const VTLabelLayoutPage* page = m_project->GetLabelLayout()->pages.GetAt(1);
    Sheet sheet(*m_project, *page, 100);
    ASSERT_TRUE(sheet.IsValid());
    // The page is turned back for the sheet: 297 mm wide, 210 mm high.
    EXPECT_EQ(sheet.Image().GetWidth(), 1170);
    EXPECT_EQ(sheet.Image().GetHeight(), 827);
    // The front (240 x 120 mm, turned a quarter on a page turned back a quarter) lies across.
    EXPECT_EQ(sheet.AtMm(100, 40), kRed);
    EXPECT_EQ(sheet.AtMm(100, 0), kBlue);
    EXPECT_EQ(sheet.AtMm(125, 0), kWhite); // cut
    // The outline (made 1 mm wide) lies on the edge at x = 120 over the bar, and outside the
    // position's outline too: it is not clipped.
    EXPECT_EQ(sheet.AtMm(120.3f, 0), (Rgb { 230, 230, 230 }));
    EXPECT_EQ(sheet.AtMm(120.0f, 0), (Rgb { 230, 230, 230 }));
    EXPECT_EQ(sheet.AtMm(120.3f, 40), (Rgb { 230, 230, 230 }));
    EXPECT_EQ(sheet.AtMm(121.5f, 40), kWhite);
}
