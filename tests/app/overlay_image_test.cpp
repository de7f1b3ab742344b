#include "app/VTItemCollection.h"
#include "app/VTOverlayImage.h"
#include "app/VTOverlayText.h"
#include "support/DocumentTestSupport.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

class Counter : public VTOverlayNotifyee {
public:
    void EvOverlayPropertiesChanged(VTOverlay&) override { ++count; }
    int count = 0;
};

// A picture whose left half is red and right half blue.
void Picture(LImageBuffer& b, int w, int h)
{
    b.AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8A8, w, h));
    for (int y = 0; y < h; ++y) {
        unsigned char* row = b.GetPictureRow(y);
        for (int x = 0; x < w; ++x) {
            const bool left = x < w / 2;
            row[4 * x + 0] = left ? 0 : 255;
            row[4 * x + 1] = 0;
            row[4 * x + 2] = left ? 255 : 0;
            row[4 * x + 3] = 255;
        }
    }
}

void ExpectSize(const VTOverlay& o, float w, float h)
{
    float ow = 0, oh = 0;
    o.GetDimensions(ow, oh);
    EXPECT_FLOAT_EQ(ow, w);
    EXPECT_FLOAT_EQ(oh, h);
}

class Design : public VTItemCollection<VTOverlay> { };

} // namespace

TEST(OverlayImage, KindsAndDefaults)
{
    VTOverlayImage image;
    VTOverlayClipart clipart;
    VTOverlayImageBackground background;
    EXPECT_EQ(image.GetType(), 1);
    EXPECT_EQ(clipart.GetType(), 3);
    EXPECT_EQ(background.GetType(), 4);
    EXPECT_TRUE(image.maintainAspectRatio);
    EXPECT_TRUE(clipart.maintainAspectRatio);
    EXPECT_FALSE(background.maintainAspectRatio);
    ASSERT_TRUE(image.image);
    EXPECT_EQ(image.image->GetRefCount(), 1u);
    EXPECT_FALSE(image.HasValidImage());
    EXPECT_STREQ(image.GetSourcePath(), "");

    // The file holds 259 bytes of the path: a longer one is refused, never cut.
    const std::string longest(259, 'p');
    EXPECT_TRUE(image.SetSourcePath(longest.c_str()));
    EXPECT_EQ(image.GetSourcePath(), longest);
    std::string longPath(300, 'q');
    EXPECT_FALSE(image.SetSourcePath(longPath.c_str()));
    EXPECT_EQ(image.GetSourcePath(), longest);
    EXPECT_TRUE(image.SetSourcePath(nullptr));
    EXPECT_STREQ(image.GetSourcePath(), "");
}

TEST(OverlayImage, SetImageSizesTheBox)
{
    struct Case {
        int pw, ph;
        float w, h;
    } const cases[] = { { 40, 30, 40, 30 }, { 400, 300, 50, 37.5f }, { 100, 400, 12.5f, 50 },
        { 50, 50, 50, 50 }, { 51, 1, 50, 50.0f / 51 } };
    for (const Case& k : cases) {
        VTOverlayImage o;
        Counter c;
        o.AddNotifyee(c);
        LImageBuffer picture;
        Picture(picture, k.pw, k.ph);
        o.SetImage(picture);
        ExpectSize(o, k.w, k.h);
        EXPECT_FLOAT_EQ(o.centreX, 0);
        EXPECT_FLOAT_EQ(o.centreY, 0);
        EXPECT_TRUE(o.HasValidImage());
        EXPECT_EQ(o.image->GetWidth(), k.pw);
        EXPECT_GE(c.count, 1);
        // A copy: the caller's picture stays its own.
        EXPECT_NE(o.image->GetData(), picture.GetData());
    }

    // The old buffer loses one reference.
    VTOverlayImage a;
    LImageBuffer picture;
    Picture(picture, 8, 8);
    a.SetImage(picture);
    std::unique_ptr<VTOverlay> b(a.Clone());
    VTCountableImageBuffer* shared = a.image.get();
    EXPECT_EQ(shared->GetRefCount(), 2u);
    a.SetImage(picture);
    EXPECT_EQ(shared->GetRefCount(), 1u);
    EXPECT_EQ(static_cast<VTOverlayImage&>(*b).image.get(), shared);
}

TEST(OverlayImage, KeepAspectRefitsOnlyWhenTurnedOn)
{
    VTOverlayImage o;
    LImageBuffer square;
    Picture(square, 100, 100);
    o.SetImage(square);
    o.maintainAspectRatio = false;
    o.SetDimensions(60, 20);
    o.SetMaintainAspectRatio(true);
    ExpectSize(o, 60, 60);
    o.SetDimensions(60, 20);
    o.SetMaintainAspectRatio(true); // already on
    ExpectSize(o, 60, 20);
    o.SetMaintainAspectRatio(false);
    ExpectSize(o, 60, 20);

    // Taller than wide keeps the height.
    LImageBuffer wide;
    Picture(wide, 200, 100);
    o.SetImage(wide);
    o.SetDimensions(10, 30);
    o.SetMaintainAspectRatio(true);
    ExpectSize(o, 60, 30);

    // A picture without pixels has no proportions: the box stays, nothing divides by zero.
    VTOverlayImage empty;
    empty.maintainAspectRatio = false;
    empty.SetDimensions(30, 20);
    empty.SetMaintainAspectRatio(true);
    ExpectSize(empty, 30, 20);
    EXPECT_TRUE(empty.maintainAspectRatio);
    empty.maintainAspectRatio = false;
    empty.SetDimensions(20, 30);
    empty.SetMaintainAspectRatio(true);
    ExpectSize(empty, 20, 30);
    // Nor does an image of no size.
    LImageBuffer nothing;
    empty.SetImage(nothing);
    ExpectSize(empty, 0, 0);
    EXPECT_FALSE(empty.HasValidImage());
}

TEST(OverlayImage, ClonesAndSwapsKeepTheFlips)
{
    Design design;
    auto* image = new VTOverlayImage;
    LImageBuffer picture;
    Picture(picture, 8, 4);
    image->SetImage(picture);
    image->centreX = 12;
    image->centreY = -3;
    image->Rotate(30);
    image->SetSourcePath("/bilder/skiva.png");
    design.AddItem(image, false);
    ASSERT_TRUE(design.FlipItemHorizontal(*image));
    const LMatrix<float> flipped = image->transform;

    std::unique_ptr<VTOverlay> clone(image->Clone());
    auto& copy = static_cast<VTOverlayImage&>(*clone);
    EXPECT_EQ(copy.GetType(), 1);
    EXPECT_EQ(copy.transform, flipped);
    EXPECT_EQ(copy.centreX, 12);
    EXPECT_EQ(copy.centreY, -3);
    EXPECT_FLOAT_EQ(copy.rotation, 30);
    ExpectSize(copy, 8, 4);
    EXPECT_EQ(copy.image.get(), image->image.get());
    EXPECT_EQ(image->image->GetRefCount(), 2u);
    EXPECT_STREQ(copy.GetSourcePath(), "/bilder/skiva.png");
    std::unique_ptr<VTOverlay> light(image->CloneLight());
    EXPECT_EQ(static_cast<VTOverlayImage&>(*light).transform, flipped);

    // The undo step's swap: the picture, its flip and its place go back and forth.
    VTOverlayImage before;
    before.SwapContent(image);
    EXPECT_TRUE(image->transform.IsIdentity());
    EXPECT_FALSE(image->HasValidImage());
    EXPECT_EQ(before.transform, flipped);
    EXPECT_EQ(before.centreX, 12);
    EXPECT_STREQ(before.GetSourcePath(), "/bilder/skiva.png");
    before.SwapContent(image);
    EXPECT_EQ(image->transform, flipped);
    EXPECT_TRUE(image->HasValidImage());

    // Kinds keep to their own kind.
    VTOverlayClipart clipart;
    clipart.SwapContent(image);
    EXPECT_FALSE(clipart.HasValidImage());
    EXPECT_EQ(image->transform, flipped);
    VTOverlayText text;
    image->SwapContent(&text);
    image->SwapContent(nullptr);
    EXPECT_TRUE(image->HasValidImage());

    std::unique_ptr<VTOverlay> c(clipart.Clone()), b(VTOverlayImageBackground().Clone());
    EXPECT_EQ(c->GetType(), 3);
    EXPECT_EQ(b->GetType(), 4);
    EXPECT_FALSE(static_cast<VTOverlayImage&>(*b).maintainAspectRatio);
}

TEST(OverlayImagePaint, StretchedThroughTheTransform)
{
    VTOverlayImage o;
    LImageBuffer picture;
    Picture(picture, 4, 2);
    o.SetImage(picture);
    o.SetDimensions(40, 20);
    {
        MmCanvas c(60, 30, 4);
        o.Paint(c.ctx());
        DrawPixel left = c.AtMm(-10, 0), right = c.AtMm(10, 0);
        EXPECT_EQ(left.r, 255);
        EXPECT_EQ(left.b, 0);
        EXPECT_EQ(right.b, 255);
        EXPECT_EQ(right.r, 0);
        EXPECT_TRUE(c.IsWhite(c.Px(-21), c.Py(0)));
        EXPECT_TRUE(c.IsWhite(c.Px(0), c.Py(11)));
    }
    {
        // The renderer applies the stored transform: a left-right flip shows.
        Design design;
        auto* flipped = static_cast<VTOverlayImage*>(o.Clone());
        design.AddItem(flipped, false);
        design.FlipItemHorizontal(*flipped);
        MmCanvas c(60, 30, 4);
        LPaintSurface::Transform(c.ctx(), flipped->transform);
        flipped->Paint(c.ctx());
        EXPECT_EQ(c.AtMm(-10, 0).b, 255);
        EXPECT_EQ(c.AtMm(10, 0).r, 255);
    }
    {
        // No picture: a blue frame around the box.
        VTOverlayImage empty;
        empty.SetDimensions(40, 20);
        MmCanvas c(60, 30, 4);
        empty.Paint(c.ctx());
        DrawPixel edge = c.AtMm(-20, 0);
        EXPECT_GT(edge.b, 200);
        EXPECT_LT(edge.r, 150);
        EXPECT_TRUE(c.IsWhite(c.Px(0), c.Py(0)));
    }
}

TEST(OverlayImagePaint, Pdf)
{
    TemporaryFolder dir;
    const std::string pdf = dir / "image.pdf";
    MmPdfPage page(pdf, 2);
    VTOverlayImage o;
    LImageBuffer picture;
    Picture(picture, 4, 2);
    o.SetImage(picture);
    o.SetDimensions(40, 20);
    o.Paint(page.Writer());
    VTOverlayImage empty;
    empty.SetDimensions(40, 20);
    LPaintSurface::TransformTranslate(page.Writer().GetPaintContext(), 0, 40);
    empty.Paint(page.Writer());
    ASSERT_TRUE(page.Finish());
    RgbRaster r = RenderPdfPage(pdf);
    ASSERT_GT(r.width, 0);
    DrawPixel left = r.At(page.Px(-10), page.Py(0)), right = r.At(page.Px(10), page.Py(0));
    EXPECT_GT(left.r, 240);
    EXPECT_LT(left.b, 15);
    EXPECT_GT(right.b, 240);
    EXPECT_LT(right.r, 15);
    // An empty picture paints nothing into a PDF.
    for (int y = page.Py(28); y < page.Py(52); ++y)
        for (int x = page.Px(-22); x < page.Px(22); ++x)
            ASSERT_EQ(r.Ink(x, y), 0) << x << "," << y;
}
