#include "lfw/mac/LGuiCursor.h"
#include "lfw/mac/LGuiImage.h"
#include "platform/ui/LUiImage.h"
#include "platform/ui/LUiSystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A resources folder of our own: VT_RESOURCES_DIR points at it, the typed folders lie in its
// "resources" subfolder.
class GuiImageTest : public testing::Test {
protected:
    void SetUp() override
    {
        // A folder per test: the program's own picture files are decoded once per path.
        static int count = 0;
        mRoot = fs::temp_directory_path()
            / ("vt_gui_image_" + std::to_string(::getpid()) + "_" + std::to_string(++count));
        fs::remove_all(mRoot);
        fs::create_directories(mRoot / "resources");
        const char* old = std::getenv("VT_RESOURCES_DIR");
        mOld = old ? old : "";
        ::setenv("VT_RESOURCES_DIR", mRoot.c_str(), 1);
    }
    void TearDown() override
    {
        if (mOld.empty())
            ::unsetenv("VT_RESOURCES_DIR");
        else
            ::setenv("VT_RESOURCES_DIR", mOld.c_str(), 1);
        fs::remove_all(mRoot);
    }

    // A PNG of the given size and colour at resources/<folder>/<name>.
    void Png(const std::string& folder, const std::string& name, int size, double r = 1,
        double g = 0, double b = 0, double a = 1)
    {
        fs::create_directories(mRoot / "resources" / folder);
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
        cairo_t* cr = cairo_create(s);
        cairo_set_source_rgba(cr, r, g, b, a);
        cairo_paint(cr);
        cairo_destroy(cr);
        const std::string path = (mRoot / "resources" / folder / name).string();
        ASSERT_EQ(cairo_surface_write_to_png(s, path.c_str()), CAIRO_STATUS_SUCCESS);
        cairo_surface_destroy(s);
    }

    void File(const std::string& folder, const std::string& name, const std::vector<uint8_t>& bytes)
    {
        fs::create_directories(mRoot / "resources" / folder);
        std::ofstream out(mRoot / "resources" / folder / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

    std::string Path(const std::string& folder, const std::string& name)
    {
        return (mRoot / "resources" / folder / name).string();
    }

    fs::path mRoot;
    std::string mOld;
};

// A Windows cursor (or icon, type 1) file: one size x size 32-bit image with the hotspot.
std::vector<uint8_t> CursorFile(int size, int hotX, int hotY, int type = 2, int count = 1)
{
    std::vector<uint8_t> f;
    auto u8 = [&](int v) { f.push_back(uint8_t(v)); };
    auto u16 = [&](int v) { u8(v & 0xFF), u8((v >> 8) & 0xFF); };
    auto u32 = [&](uint32_t v) { u16(int(v & 0xFFFF)), u16(int(v >> 16)); };
    const uint32_t maskRow = uint32_t((size + 31) / 32 * 4);
    const uint32_t bytes = 40 + uint32_t(size * size * 4) + maskRow * uint32_t(size);
    u16(0), u16(type), u16(count);
    u8(size), u8(size), u8(0), u8(0), u16(hotX), u16(hotY), u32(bytes), u32(22);
    u32(40), u32(uint32_t(size)), u32(uint32_t(size * 2)), u16(1), u16(32), u32(0), u32(0);
    u32(0), u32(0), u32(0), u32(0);
    for (int i = 0; i < size * size; ++i)
        u8(0), u8(0xFF), u8(0), u8(0xFF); // opaque green
    f.insert(f.end(), maskRow * uint32_t(size), 0);
    return f;
}

int Width(const LGuiImage& image)
{
    int w = 0, h = 0;
    image.GetCocoaImage().GetSize(w, h);
    return w;
}

// The pixel (x, y) of a surface as straight R, G, B, A.
std::vector<int> At(cairo_surface_t* s, int x, int y)
{
    cairo_surface_flush(s);
    const uint8_t* p
        = cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s) + 4 * x;
    return { p[2], p[1], p[0], p[3] };
}

} // namespace

TEST_F(GuiImageTest, BitmapsAreLookedUpInTheirOrder)
{
    Png("png", "12.png", 3);
    Png("jpg", "12.jpg", 5);
    LGuiJPG bitmap;
    ASSERT_TRUE(bitmap.LoadFromResource("12"));
    EXPECT_EQ(Width(bitmap), 3);

    File("cur", "12.cur", CursorFile(7, 1, 2));
    ASSERT_TRUE(bitmap.LoadFromResource("12"));
    EXPECT_EQ(Width(bitmap), 7); // the cursor folder comes first

    Png("tiff", "13.tiff", 9);
    ASSERT_TRUE(bitmap.LoadFromResource("13"));
    EXPECT_EQ(Width(bitmap), 9);

    // Not found: the image held is kept.
    EXPECT_FALSE(bitmap.LoadFromResource("99"));
    EXPECT_EQ(Width(bitmap), 9);
    // Only an icns file: bitmaps never look there.
    Png("icns", "14.icns", 4);
    EXPECT_FALSE(bitmap.LoadFromResource("14"));
}

TEST_F(GuiImageTest, AResourceFileIsDecodedOnceAndShared)
{
    Png("png", "20.png", 6);
    LGuiJPG first, second;
    ASSERT_TRUE(first.LoadFromResource("20"));
    // Even with the file gone the picture is there: it was read once.
    fs::remove(Path("png", "20.png"));
    Png("png", "20.png", 8);
    ASSERT_TRUE(second.LoadFromResource("20"));
    EXPECT_EQ(Width(second), 6);
    EXPECT_EQ(first.GetCocoaImage().GetImage(), second.GetCocoaImage().GetImage());
    // The disabled look is a picture of its own: the shared one keeps its pixels.
    LGuiBitmapEnabledDisabled looks;
    ASSERT_TRUE(looks.LoadFromResource(20));
    EXPECT_NE(looks.GetDisabled().GetCocoaImage().GetImage(), first.GetCocoaImage().GetImage());
    EXPECT_EQ(At(first.GetCocoaImage().GetImage(), 0, 0),
        At(looks.GetNormal().GetCocoaImage().GetImage(), 0, 0));
    // A picture file that is not one of the program's own is read each time.
    LGuiCocoaImage direct;
    ASSERT_TRUE(direct.LoadFromFile(Path("png", "20.png").c_str()));
    int w = 0, h = 0;
    direct.GetSize(w, h);
    EXPECT_EQ(w, 8);
}

TEST_F(GuiImageTest, ImagesAndIconsLookInTheirFolders)
{
    LGuiCocoaImage image;
    File("cur", "20.cur", CursorFile(7, 1, 2));
    Png("jpg", "20.jpg", 5);
    EXPECT_FALSE(image.LoadFromResource("20")); // never the cur or jpg folders

    Png("png", "21.png", 3);
    Png("icns", "21.icns", 4);
    ASSERT_TRUE(image.LoadFromResource("21"));
    int w = 0, h = 0;
    image.GetSize(w, h);
    EXPECT_EQ(w, 4); // icns before png
    Png("tiff", "21.tiff", 6);
    ASSERT_TRUE(image.LoadFromResource("21"));
    image.GetSize(w, h);
    EXPECT_EQ(w, 6);

    LGuiIcon icon(21);
    ASSERT_TRUE(icon.HasImage());
    icon.GetSize(w, h);
    EXPECT_EQ(w, 6); // preset width 6, preset height 0: the image's own size
    EXPECT_EQ(h, 6);
    EXPECT_FALSE(icon.LoadFromResource(22));
    EXPECT_FALSE(icon.HasImage());

    // A preset of 0 x 5 reports the image's own size; 8 x 5 is reported as it is.
    LGuiJPG bitmap;
    bitmap.LoadFromResource("21");
    bitmap.SetPresetSize(0, 5);
    bitmap.GetSize(w, h);
    EXPECT_EQ(w, 6);
    EXPECT_EQ(h, 6);
    bitmap.SetPresetSize(8, 5);
    bitmap.GetSize(w, h);
    EXPECT_EQ(w, 8);
    EXPECT_EQ(h, 5);
    LGuiImage none;
    EXPECT_FALSE(none.GetSize(w, h));
    EXPECT_EQ(w, 0);
}

TEST_F(GuiImageTest, BitmapOrIcon)
{
    Png("jpg", "312.jpg", 5);
    Png("jpg", "313.jpg", 5);
    Png("png", "314.png", 3);
    LGuiJPG bitmap;
    EXPECT_FALSE(LGuiBitmapLoadFromBitmapOrIcon(bitmap, 312, nullptr)); // no icon: no bitmap either
    EXPECT_TRUE(LGuiBitmapLoadFromBitmapOrIcon(bitmap, 313, nullptr));
    EXPECT_EQ(Width(bitmap), 5);
    EXPECT_TRUE(LGuiBitmapLoadFromBitmapOrIcon(bitmap, 314, nullptr)); // the icon
    EXPECT_EQ(Width(bitmap), 3);
    EXPECT_FALSE(LGuiBitmapLoadFromBitmapOrIcon(bitmap, 315, nullptr));
    EXPECT_FALSE(bitmap.HasImage());
}

TEST_F(GuiImageTest, DrawingWithOpacity)
{
    Png("png", "30.png", 2, 1, 0, 0, 1);
    LGuiJPG bitmap;
    ASSERT_TRUE(bitmap.LoadFromResource("30"));
    cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 10, 10);
    cairo_t* cr = cairo_create(target);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    bitmap.DrawTransparent(cr, 1, 1, 0.5f); // its own size: (1, 1) to (3, 3)
    bitmap.Draw(cr, 5, 5, 4, 4); // scaled, opaque
    const std::vector<int> half = At(target, 2, 2);
    EXPECT_EQ(half[0], 255);
    EXPECT_NEAR(half[1], 128, 1);
    EXPECT_NEAR(half[2], 128, 1);
    EXPECT_EQ(At(target, 3, 3), (std::vector<int> { 255, 255, 255, 255 }));
    EXPECT_EQ(At(target, 8, 8), (std::vector<int> { 255, 0, 0, 255 }));
    EXPECT_EQ(At(target, 5, 5), (std::vector<int> { 255, 0, 0, 255 }));
    EXPECT_EQ(At(target, 9, 9), (std::vector<int> { 255, 255, 255, 255 }));

    // A buffer drawn with its alpha and an opacity.
    LImageBuffer buffer(LImageFormat(LPixelFormatB8G8R8A8, 1, 1));
    const uint8_t blueHalf[4] = { 255, 0, 0, 128 };
    std::copy(blueHalf, blueHalf + 4, buffer.GetData());
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    LImage::AlphaDraw(cr, buffer, 0, 0, 1.0);
    const std::vector<int> p = At(target, 0, 0);
    EXPECT_NEAR(p[0], 127, 1);
    EXPECT_EQ(p[2], 255);
    cairo_destroy(cr);
    cairo_surface_destroy(target);

    LGuiImage fromBuffer;
    EXPECT_TRUE(fromBuffer.SetFromImageBuffer(buffer, false));
    LImageBuffer w565(LImageFormat(LPixelFormatB5G6R5, 2, 2));
    EXPECT_FALSE(fromBuffer.SetFromImageBuffer(w565, false));
}

TEST_F(GuiImageTest, DisabledAndPressedLooks)
{
    Png("png", "40.png", 2, 1, 0, 0, 1);
    LGuiBitmapEnabledDisabled bitmap;
    ASSERT_TRUE(bitmap.LoadFromResource(40));
    ASSERT_TRUE(bitmap.GetDisabled().HasImage());
    ASSERT_TRUE(bitmap.GetPressed().HasImage());
    EXPECT_TRUE(bitmap.LoadFromResource(999)); // built once: true at once

    // The colour controls on pure red: luminance 0.2125 mixed in by the saturation, the
    // brightness added, stretched around 0.5 by the contrast.
    auto look = [](double s, double br, double k, double c) {
        double lum = 0.2125;
        double v = ((lum + s * (c - lum)) + br - 0.5) * k + 0.5;
        return int(std::lround(std::clamp(v, 0.0, 1.0) * 255));
    };
    const std::vector<int> d = At(bitmap.GetDisabled().GetCocoaImage().GetImage(), 0, 0);
    EXPECT_NEAR(d[0], look(0.5, 0, 0.6, 1), 1);
    EXPECT_NEAR(d[1], look(0.5, 0, 0.6, 0), 1);
    EXPECT_EQ(d[3], 255);
    const std::vector<int> p = At(bitmap.GetPressed().GetCocoaImage().GetImage(), 1, 1);
    EXPECT_NEAR(p[0], look(0.25, -0.35, 0.25, 1), 1);
    EXPECT_NEAR(p[2], look(0.25, -0.35, 0.25, 0), 1);
    // The normal image is untouched.
    EXPECT_EQ(At(bitmap.GetNormal().GetCocoaImage().GetImage(), 0, 0),
        (std::vector<int> { 255, 0, 0, 255 }));

    // Transparent pixels stay transparent in the looks.
    Png("png", "41.png", 2, 0, 0, 1, 0);
    LGuiBitmapEnabledDisabled clear;
    ASSERT_TRUE(LGuiBitmapEnabledDisabledLoadFromBitmapOrIcon(clear, 41, nullptr));
    EXPECT_EQ(At(clear.GetDisabled().GetCocoaImage().GetImage(), 0, 0)[3], 0);
    LGuiBitmapEnabledDisabled missing;
    EXPECT_FALSE(missing.LoadFromResource(42));
}

TEST_F(GuiImageTest, CursorFileHotspots)
{
    File("cur", "50.cur", CursorFile(8, 5, 9));
    File("cur", "51.cur", CursorFile(8, 5, 9, 1));
    File("cur", "52.cur", CursorFile(8, 5, 9, 2, 0));
    File("cur", "53.cur", { 0, 0, 2, 0, 1, 0, 8, 8 });
    int x = -1, y = -1;
    EXPECT_TRUE(LGuiCursor::GetCursorFileHotspot(Path("cur", "50.cur").c_str(), x, y));
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 9);
    x = y = -1;
    EXPECT_FALSE(LGuiCursor::GetCursorFileHotspot(Path("cur", "51.cur").c_str(), x, y));
    EXPECT_FALSE(LGuiCursor::GetCursorFileHotspot(Path("cur", "52.cur").c_str(), x, y));
    EXPECT_FALSE(LGuiCursor::GetCursorFileHotspot(Path("cur", "53.cur").c_str(), x, y));
    EXPECT_FALSE(LGuiCursor::GetCursorFileHotspot(Path("cur", "54.cur").c_str(), x, y));
    EXPECT_EQ(x, -1);

    // The cursor file also loads as a picture.
    LGuiJPG bitmap;
    ASSERT_TRUE(bitmap.LoadFromResource("50"));
    EXPECT_EQ(Width(bitmap), 8);
    EXPECT_EQ(At(bitmap.GetCocoaImage().GetImage(), 3, 3), (std::vector<int> { 0, 255, 0, 255 }));
}

TEST(GuiCursor, ShippedCursors)
{
    // The program's own cursors in the source tree's resources.
    const std::string folder = std::string(VT_SOURCE_DIR) + "/resources/resources/cur/";
    for (int id : { 308, 309, 392, 393 }) {
        int x = 0, y = 0;
        const std::string path = folder + std::to_string(id) + ".cur";
        EXPECT_TRUE(LGuiCursor::GetCursorFileHotspot(path.c_str(), x, y)) << id;
        EXPECT_EQ(x, 16);
        EXPECT_EQ(y, 16);
        cairo_surface_t* image = LUiImageLoadFile(path.c_str());
        ASSERT_NE(image, nullptr) << id;
        EXPECT_EQ(cairo_image_surface_get_width(image), 32);
        EXPECT_EQ(At(image, 0, 0)[3], 0); // transparent corner
        int white = 0, black = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const std::vector<int> p = At(image, x, y);
                white += p == std::vector<int> { 255, 255, 255, 255 };
                black += p == std::vector<int> { 0, 0, 0, 255 };
            }
        EXPECT_GT(white, 40) << id; // a white shape with a black outline
        EXPECT_GT(black, 10) << id;
        cairo_surface_destroy(image);
    }
}

TEST(GuiCursor, SettingCursors)
{
    ::setenv("VT_RESOURCES_DIR", VT_SOURCE_DIR "/resources", 1);
    const bool display = LUiInit();
    const unsigned long before = LUiCursorSetCount();
    LGuiCursor::bHidden = true;
    LGuiCursor::SetSizeNWSE();
    EXPECT_FALSE(LGuiCursor::bHidden);
    LGuiCursor::SetSizeNWSE();
    EXPECT_FALSE(LGuiCursor::bHidden);
    LGuiCursor::Restore();
    LGuiCursor::SetSystem(LGuiCursor::PointingHand);
    LGuiCursor::SetResource(393, 0, 3, 4);
    if (display)
        EXPECT_EQ(LUiCursorSetCount() - before, 5u);
    else
        EXPECT_EQ(LUiCursorSetCount(), before);
}

TEST(GuiImage, SharperRepresentationOnHighResolutionTargets)
{
    auto solid = [](int size, double r, double g, double b) {
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
        cairo_t* cr = cairo_create(s);
        cairo_set_source_rgb(cr, r, g, b);
        cairo_paint(cr);
        cairo_set_source_rgb(cr, 0, 1, 0);
        cairo_rectangle(cr, size / 2, 0, size / 2, size);
        cairo_fill(cr);
        cairo_destroy(cr);
        return s;
    };
    cairo_surface_t* main = solid(2, 1, 0, 0);
    cairo_surface_t* extra = solid(4, 0, 0, 1);
    LGuiImage image;
    image.GetCocoaImage().CreateFromCGImage(main, extra);
    cairo_surface_destroy(main);
    cairo_surface_destroy(extra);
    int w = 0, h = 0;
    ASSERT_TRUE(image.GetSize(w, h));
    EXPECT_EQ(w, 2);

    for (double scale : { 1.0, 2.0 }) {
        cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
        cairo_surface_set_device_scale(target, scale, scale);
        cairo_t* cr = cairo_create(target);
        image.Draw(cr, 0, 0);
        cairo_destroy(cr);
        // At scale 2 the 4 x 4 representation fills 4 x 4 device pixels: blue on the left.
        const std::vector<int> left = At(target, 0, 0);
        EXPECT_EQ(left,
            scale > 1 ? (std::vector<int> { 0, 0, 255, 255 })
                      : (std::vector<int> { 255, 0, 0, 255 }));
        cairo_surface_destroy(target);
    }
}

// A strip stretched one way and shrunk the other (a title bar's gradient) is drawn in two steps;
// the pixels stay those of Cairo's filtered drawing in one step, on plain and doubled targets,
// either way round, with and without opacity.
TEST(GuiImage, StretchedOneWayAndShrunkTheOtherLooksAsDrawnInOneStep)
{
    // Colour changing along both axes, with translucent rows.
    auto strip = [](int w, int h) {
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
        cairo_surface_flush(s);
        uint8_t* data = cairo_image_surface_get_data(s);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint8_t* p = data + y * cairo_image_surface_get_stride(s) + 4 * x;
                const int a = y % 5 == 0 ? 128 : 255;
                p[0] = uint8_t(x * 255 / w * a / 255);
                p[1] = uint8_t(y * 255 / h * a / 255);
                p[2] = uint8_t((x + y) % 2 ? a : 0);
                p[3] = uint8_t(a);
            }
        cairo_surface_mark_dirty(s);
        return s;
    };
    struct Case {
        int iw, ih, x, y, w, h;
        double scale, opacity;
    };
    const Case cases[] = {
        { 8, 34, 3, 2, 300, 22, 1, 1 },
        { 8, 34, 3, 2, 300, 22, 2, 0.5 },
        { 34, 8, 1, 4, 22, 260, 1, 1 },
        { 16, 68, 0, 0, 120, 20, 1, 1 },
    };
    for (const Case& c : cases) {
        cairo_surface_t* source = strip(c.iw, c.ih);
        LGuiImage image;
        image.GetCocoaImage().CreateFromCGImage(source, nullptr);
        const int tw = int((c.x + c.w + 4) * c.scale), th = int((c.y + c.h + 4) * c.scale);
        cairo_surface_t* ours = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, tw, th);
        cairo_surface_t* direct = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, tw, th);
        for (cairo_surface_t* t : { ours, direct }) {
            cairo_surface_set_device_scale(t, c.scale, c.scale);
            cairo_t* cr = cairo_create(t);
            cairo_set_source_rgb(cr, 0.2, 0.6, 0.9);
            cairo_paint(cr);
            if (t == ours) {
                image.DrawTransparent(cr, c.x, c.y, c.w, c.h, float(c.opacity));
            } else {
                cairo_rectangle(cr, c.x, c.y, c.w, c.h);
                cairo_clip(cr);
                cairo_translate(cr, c.x, c.y);
                cairo_scale(cr, double(c.w) / c.iw, double(c.h) / c.ih);
                cairo_set_source_surface(cr, source, 0, 0);
                cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
                cairo_paint_with_alpha(cr, c.opacity);
            }
            cairo_destroy(cr);
        }
        int worst = 0;
        for (int y = 0; y < th; ++y)
            for (int x = 0; x < tw; ++x) {
                const std::vector<int> a = At(ours, x, y), b = At(direct, x, y);
                for (int k = 0; k < 4; ++k)
                    worst = std::max(worst, std::abs(a[k] - b[k]));
            }
        EXPECT_LE(worst, 3) << c.iw << "x" << c.ih << " to " << c.w << "x" << c.h << " at "
                            << c.scale;
        cairo_surface_destroy(ours);
        cairo_surface_destroy(direct);
        cairo_surface_destroy(source);
    }
}

// PNG files of every colour type and depth, written by ImageMagick, read as the same premultiplied
// pixels ImageMagick itself reads from them; a file that only says it is PNG is still refused.
TEST_F(GuiImageTest, PngFilesOfEveryKindReadAsImageMagickReadsThem)
{
    const std::string pattern = Path("png", "pattern.png");
    fs::create_directories(mRoot / "resources" / "png");
    // Colour along x, grey along y, a transparent and a half-transparent corner.
    ASSERT_EQ(system(("/usr/bin/convert -size 13x9 gradient:red-blue -rotate 90 -resize 13x9! "
                      "\\( -size 13x9 gradient:white-gray50 \\) -compose multiply -composite "
                      "-alpha set -fill none -draw 'color 0,0 point' "
                      "-channel A -fx 'i>10&&j>6?0.5:a' +channel '"
                  + pattern + "'")
                         .c_str()),
        0);
    const std::vector<std::pair<std::string, std::string>> kinds = {
        { "rgba8", "PNG32:" },
        { "rgba16", "-depth 16 PNG64:" },
        { "rgb8", "-alpha off PNG24:" },
        { "palette", "-colors 40 PNG8:" },
        { "grey", "-colorspace gray -alpha off -define png:color-type=0 -depth 8 PNG:" },
        { "greyalpha", "-colorspace gray -define png:color-type=4 PNG:" },
        { "interlaced", "-interlace PNG PNG32:" },
    };
    for (const auto& [name, options] : kinds) {
        const std::string file = Path("png", name + ".png");
        const std::string raw = Path("png", name + ".rgba");
        const size_t colon = options.rfind(' ');
        const std::string settings = colon == std::string::npos ? "" : options.substr(0, colon);
        const std::string prefix = options.substr(colon == std::string::npos ? 0 : colon + 1);
        ASSERT_EQ(system(("/usr/bin/convert '" + pattern + "' " + settings + " '" + prefix + file
                      + "' && /usr/bin/convert '" + file + "' -depth 8 'rgba:" + raw + "'")
                             .c_str()),
            0)
            << name;
        std::ifstream in(raw, std::ios::binary);
        const std::vector<uint8_t> expected((std::istreambuf_iterator<char>(in)), {});
        ASSERT_EQ(expected.size(), size_t(13 * 9 * 4)) << name;
        cairo_surface_t* image = LUiImageLoadFile(file.c_str());
        ASSERT_NE(image, nullptr) << name;
        ASSERT_EQ(cairo_image_surface_get_format(image), CAIRO_FORMAT_ARGB32);
        ASSERT_EQ(cairo_image_surface_get_width(image), 13);
        ASSERT_EQ(cairo_image_surface_get_height(image), 9);
        int worst = 0;
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 13; ++x) {
                const uint8_t* e = &expected[size_t(y * 13 + x) * 4];
                const std::vector<int> got = At(image, x, y);
                worst = std::max(worst, std::abs(got[3] - e[3]));
                for (int k = 0; k < 3; ++k) // premultiplied, as the surface holds them
                    worst = std::max(worst, std::abs(got[k] - (e[k] * e[3] + 127) / 255));
            }
        EXPECT_LE(worst, 1) << name;
        cairo_surface_destroy(image);
    }
    File("png", "liar.png", { 0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13 });
    EXPECT_EQ(LUiImageLoadFile(Path("png", "liar.png").c_str()), nullptr);
}

// A theme icon drawn once is handed out again as a surface of the caller's own: scaling or
// drawing into one does not change the next, and another colour is drawn anew.
TEST(GuiImage, ThemeIconsAreDrawnOnceAndHandedOutAsCopies)
{
    if (!LUiInit())
        GTEST_SKIP() << "no display";
    cairo_surface_t* first = LUiImageLoadThemeIcon("pan-down-symbolic", 28, 1, 1, 1);
    ASSERT_NE(first, nullptr);
    auto pixels = [](cairo_surface_t* s) {
        std::vector<int> all;
        for (int y = 0; y < cairo_image_surface_get_height(s); ++y)
            for (int x = 0; x < cairo_image_surface_get_width(s); ++x)
                for (int c : At(s, x, y))
                    all.push_back(c);
        return all;
    };
    const std::vector<int> drawn = pixels(first);
    int opaque = 0;
    for (size_t i = 3; i < drawn.size(); i += 4)
        opaque += drawn[i] > 128;
    EXPECT_GT(opaque, 10); // an arrow is there
    cairo_surface_set_device_scale(first, 2, 2);
    cairo_t* cr = cairo_create(first);
    cairo_set_source_rgb(cr, 1, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);

    cairo_surface_t* again = LUiImageLoadThemeIcon("pan-down-symbolic", 28, 1, 1, 1);
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again, first);
    double sx = 0, sy = 0;
    cairo_surface_get_device_scale(again, &sx, &sy);
    EXPECT_EQ(sx, 1);
    EXPECT_EQ(pixels(again), drawn);

    cairo_surface_t* black = LUiImageLoadThemeIcon("pan-down-symbolic", 28, 0, 0, 0);
    ASSERT_NE(black, nullptr);
    EXPECT_NE(pixels(black), drawn);
    EXPECT_EQ(LUiImageLoadThemeIcon("no-such-icon-here-symbolic", 28, 1, 1, 1), nullptr);
    for (cairo_surface_t* s : { first, again, black })
        cairo_surface_destroy(s);
}
