#include "lfw/graphics/LCGImageRefReader.h"
#include "support/CommandOutput.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

namespace {

LPFB8G8R8A8& Px(LImageBuffer& b, int x, int storedRow)
{
    return reinterpret_cast<LPFB8G8R8A8*>(b.GetRow(storedRow))[x];
}

const uint8_t* SurfacePx(cairo_surface_t* s, int x, int y)
{
    return cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s) + 4 * x;
}

// The samples of a P6 picture of 8-bit samples; empty when the bytes are no such picture.
std::string PpmSamples(const std::string& bytes, int& width, int& height)
{
    std::istringstream in(bytes);
    std::string magic;
    int max = 0;
    in >> magic >> width >> height >> max;
    in.get();
    if (magic != "P6" || max != 255 || !in)
        return std::string();
    std::string samples = bytes.substr(size_t(in.tellg()));
    return samples.size() == size_t(width) * size_t(height) * 3 ? samples : std::string();
}

} // namespace

TEST(ImageBridge, BottomUpBuffersBecomeUprightSurfaces)
{
    LImageBuffer b(LImageFormat(LPixelFormatB8G8R8A8, 2, 2, true));
    Px(b, 0, 0) = Px(b, 1, 0) = LPFB8G8R8A8 { 0, 0, 255, 255 }; // first stored row red
    Px(b, 0, 1) = Px(b, 1, 1) = LPFB8G8R8A8 { 255, 0, 0, 255 }; // last stored row blue
    LCGImageRefReader reader;
    cairo_surface_t* s = reader.CreateImageRefFromImageBuffer(b, false);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(cairo_image_surface_get_format(s), CAIRO_FORMAT_ARGB32);
    EXPECT_EQ(SurfacePx(s, 0, 0)[0], 255); // top row blue
    EXPECT_EQ(SurfacePx(s, 0, 1)[2], 255); // bottom row red
    cairo_surface_destroy(s);

    s = reader.CreateImageRefFromImageBufferCorrectOrientation(b, true);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(cairo_image_surface_get_format(s), CAIRO_FORMAT_RGB24);
    EXPECT_EQ(SurfacePx(s, 0, 0)[2], 255); // stored order: red on top
    cairo_surface_destroy(s);
}

TEST(ImageBridge, FormatsWithAndWithoutASurfaceForm)
{
    LCGImageRefReader reader;
    for (int f : { 2, 3, 5, 7, 8 }) {
        LImageBuffer b(LImageFormat(pixelformat_t(f), 3, 3));
        EXPECT_EQ(reader.CreateImageRefFromImageBuffer(b, false), nullptr) << f;
    }
    LImageBuffer empty;
    EXPECT_EQ(reader.CreateImageRefFromImageBuffer(empty, false), nullptr);

    LImageBuffer rgb(LImageFormat(LPixelFormatR8G8B8, 1, 1));
    const uint8_t px[3] = { 10, 20, 30 }; // R, G, B
    std::memcpy(rgb.GetData(), px, 3);
    cairo_surface_t* s = reader.CreateImageRefFromImageBuffer(rgb, false);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SurfacePx(s, 0, 0)[0], 30);
    EXPECT_EQ(SurfacePx(s, 0, 0)[2], 10);
    cairo_surface_destroy(s);

    LImageBuffer x1(LImageFormat(LPixelFormatB5G5R5X1, 1, 1));
    *reinterpret_cast<uint16_t*>(x1.GetData()) = 31 << 10;
    s = reader.CreateImageRefFromImageBuffer(x1, false);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SurfacePx(s, 0, 0)[2], 255);
    EXPECT_EQ(SurfacePx(s, 0, 0)[0], 0);
    cairo_surface_destroy(s);
}

TEST(ImageBridge, StraightAlphaSurvivesTheRoundTrip)
{
    LImageBuffer b(LImageFormat(LPixelFormatB8G8R8A8, 256, 4));
    for (int x = 0; x < 256; ++x) {
        Px(b, x, 0) = LPFB8G8R8A8 { uint8_t(x), uint8_t(255 - x), 7, 255 };
        Px(b, x, 1) = LPFB8G8R8A8 { 200, 100, 50, uint8_t(x) };
        Px(b, x, 2) = LPFB8G8R8A8 { uint8_t(x), 0, 255, 128 };
        Px(b, x, 3) = LPFB8G8R8A8 { 0, 0, 0, 0 };
    }
    LCGImageRefReader reader;
    cairo_surface_t* s = reader.CreateImageRefFromImageBuffer(b, false);
    ASSERT_NE(s, nullptr);
    // The surface holds premultiplied colours.
    EXPECT_EQ(SurfacePx(s, 128, 1)[0], (200 * 128 + 127) / 255);

    LImageBuffer back;
    LProcessInterfaceVoid job;
    ASSERT_EQ(reader.GetImageBufferFromImageRef(job, back, s), LProcessResultSuccess);
    cairo_surface_destroy(s);
    ASSERT_EQ(back.GetWidth(), 256);
    EXPECT_EQ(std::memcmp(back.GetRow(0), b.GetRow(0), 256 * 4), 0); // opaque: exact
    for (int x = 1; x < 256; ++x) {
        const LPFB8G8R8A8 p = Px(back, x, 1);
        EXPECT_EQ(p.a, x);
        EXPECT_LE(std::abs(p.b - 200), 255 / (2 * x) + 1) << x;
    }
    for (int x = 0; x < 256; ++x)
        EXPECT_LE(std::abs(Px(back, x, 2).b - x), 1) << x;
}

TEST(ImageBridge, ReadsWhatCairoPainted)
{
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 4, 2);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgba(cr, 1, 0, 0, 0.5);
    cairo_rectangle(cr, 0, 0, 2, 2);
    cairo_fill(cr);
    cairo_destroy(cr);

    LImageBuffer b(LImageFormat(LPixelFormatB8G8R8, 9, 9)); // replaced by the right format
    LCGImageRefReader reader;
    LProcessInterfaceVoid job;
    ASSERT_EQ(reader.GetImageBufferFromImageRef(job, b, s), LProcessResultSuccess);
    cairo_surface_destroy(s);
    EXPECT_EQ(b.GetPixelFormat(), LPixelFormatB8G8R8A8);
    EXPECT_EQ(b.GetWidth(), 4);
    EXPECT_EQ(Px(b, 1, 1).r, 255);
    EXPECT_EQ(Px(b, 1, 1).b, 0);
    EXPECT_NEAR(Px(b, 1, 1).a, 128, 1);
    EXPECT_EQ(Px(b, 3, 0).a, 0);

    // A format the buffer has no twin for is painted.
    cairo_surface_t* a8 = cairo_image_surface_create(CAIRO_FORMAT_A8, 2, 1);
    cairo_surface_flush(a8);
    cairo_image_surface_get_data(a8)[0] = 255;
    cairo_surface_mark_dirty(a8);
    ASSERT_EQ(reader.GetImageBufferFromImageRef(job, b, a8), LProcessResultSuccess);
    cairo_surface_destroy(a8);
    EXPECT_EQ(Px(b, 0, 0).a, 255);
    EXPECT_EQ(Px(b, 1, 0).a, 0);

    EXPECT_EQ(reader.GetImageBufferFromImageRef(job, b, nullptr), LProcessResultError);
}

TEST(ImageBridge, CopyRGBAImageNeedsAFittingBuffer)
{
    cairo_surface_t* rgb = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 3, 2);
    cairo_t* cr = cairo_create(rgb);
    cairo_set_source_rgb(cr, 0, 1, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    LCGImageRefReader reader;
    LProcessInterfaceVoid job;

    LImageBuffer b(LImageFormat(LPixelFormatB8G8R8A8, 3, 2));
    ASSERT_EQ(reader.CopyRGBAImageToBGRAImageBuffer(job, b, rgb), LProcessResultSuccess);
    EXPECT_EQ(Px(b, 2, 1).g, 255);
    EXPECT_EQ(Px(b, 2, 1).a, 255); // the skipped byte of RGB24 reads opaque

    // It fills, never allocates: another size, another format or a bottom-up buffer is refused.
    LImageBuffer wrongSize(LImageFormat(LPixelFormatB8G8R8A8, 2, 2));
    EXPECT_EQ(reader.CopyRGBAImageToBGRAImageBuffer(job, wrongSize, rgb), LProcessResultError);
    LImageBuffer wrongFormat(LImageFormat(LPixelFormatB8G8R8, 3, 2));
    EXPECT_EQ(reader.CopyRGBAImageToBGRAImageBuffer(job, wrongFormat, rgb), LProcessResultError);
    LImageBuffer upsideDown(LImageFormat(LPixelFormatB8G8R8A8, 3, 2, true));
    EXPECT_EQ(reader.CopyRGBAImageToBGRAImageBuffer(job, upsideDown, rgb), LProcessResultError);
    cairo_surface_t* a8 = cairo_image_surface_create(CAIRO_FORMAT_A8, 3, 2);
    EXPECT_EQ(reader.CopyRGBAImageToBGRAImageBuffer(job, b, a8), LProcessResultError);
    cairo_surface_destroy(a8);

    class Stop : public LProcessInterfaceVoid {
    public:
        bool IsToStop() override { return true; }
    } stop;
    EXPECT_EQ(reader.CopyRGBAImageToBGRAImageBuffer(stop, b, rgb), LProcessResultStopped);
    cairo_surface_destroy(rgb);
}

TEST(ImageBridge, PaintsOnTheBuffersOwnRowsInPictureOrder)
{
    // A 2 x 2 image, top row opaque red, bottom row half-transparent blue, painted over a 3 x 3
    // bottom-up buffer with padded rows: opaque grey with one semi-transparent pixel outside it.
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 2, 2);
    cairo_t* cr = cairo_create(image);
    cairo_set_source_rgb(cr, 1, 0, 0);
    cairo_rectangle(cr, 0, 0, 2, 1);
    cairo_fill(cr);
    cairo_set_source_rgba(cr, 0, 0, 1, 0.5);
    cairo_rectangle(cr, 0, 1, 2, 1);
    cairo_fill(cr);
    cairo_destroy(cr);

    LImageFormat f(LPixelFormatB8G8R8A8, 3, 3, true);
    f.stride = 20;
    LImageBuffer b(f);
    std::memset(b.GetData(), 0xA5, 60);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            Px(b, x, y) = LPFB8G8R8A8 { 90, 90, 90, 255 };
    Px(b, 2, 0) = LPFB8G8R8A8 { 200, 100, 50, 128 }; // picture row 2
    LCGImageRefReader().PaintImageToBGRAImageBuffer(b, image);
    cairo_surface_destroy(image);

    EXPECT_EQ(Px(b, 0, 2).r, 255); // picture row 0 is the last stored row
    EXPECT_EQ(Px(b, 1, 2).g, 0);
    // Half blue over opaque grey: 255 x 0.5 + 90 x 0.5 and 90 x 0.5.
    EXPECT_NEAR(Px(b, 1, 1).b, 172, 1);
    EXPECT_NEAR(Px(b, 1, 1).r, 45, 1);
    EXPECT_EQ(Px(b, 1, 1).a, 255);
    EXPECT_EQ(Px(b, 2, 1).b, 90); // outside the image: as it was
    EXPECT_EQ(Px(b, 0, 0).b, 90);
    EXPECT_NEAR(Px(b, 2, 0).b, 200, 1);
    EXPECT_NEAR(Px(b, 2, 0).r, 50, 1);
    EXPECT_EQ(Px(b, 2, 0).a, 128);
    for (int y = 0; y < 3; ++y)
        for (int i = 12; i < 20; ++i)
            ASSERT_EQ(b.GetRow(y)[i], 0xA5) << y; // the padding is not touched
}

TEST(ImageBridge, ImagesOfOtherFormatsReplaceAReusedBuffer)
{
    // A buffer of the right size and format is filled in place: none of its old bytes remain.
    LImageBuffer b(LImageFormat(LPixelFormatB8G8R8A8, 4, 2));
    std::memset(b.GetData(), 0x77, b.GetStride() * 2);
    const unsigned char* store = b.GetData();
    LCGImageRefReader reader;
    LProcessInterfaceVoid job;

    cairo_surface_t* rgb = cairo_image_surface_create(CAIRO_FORMAT_RGB16_565, 4, 2);
    cairo_surface_flush(rgb);
    const uint16_t words[8] = { 0xF800, 0x07E0, 0x001F, 0x8410, 0, 0xFFFF, 0x0821, 0x1234 };
    for (int y = 0; y < 2; ++y)
        std::memcpy(cairo_image_surface_get_data(rgb) + y * cairo_image_surface_get_stride(rgb),
            words + 4 * y, 8);
    cairo_surface_mark_dirty(rgb);
    ASSERT_EQ(reader.GetImageBufferFromImageRef(job, b, rgb), LProcessResultSuccess);
    cairo_surface_destroy(rgb);
    EXPECT_EQ(b.GetData(), store);
    for (int i = 0; i < 8; ++i) {
        // Five and six bits widened by repeating their top bits.
        const int r5 = words[i] >> 11, g6 = (words[i] >> 5) & 63, b5 = words[i] & 31;
        const LPFB8G8R8A8 p = Px(b, i % 4, i / 4);
        EXPECT_EQ(p.r, (r5 << 3) | (r5 >> 2)) << i;
        EXPECT_EQ(p.g, (g6 << 2) | (g6 >> 4)) << i;
        EXPECT_EQ(p.b, (b5 << 3) | (b5 >> 2)) << i;
        EXPECT_EQ(p.a, 255) << i;
    }

    std::memset(b.GetData(), 0x77, b.GetStride() * 2);
    cairo_surface_t* a8 = cairo_image_surface_create(CAIRO_FORMAT_A8, 4, 2);
    cairo_surface_flush(a8);
    for (int i = 0; i < 8; ++i)
        cairo_image_surface_get_data(a8)[(i / 4) * cairo_image_surface_get_stride(a8) + i % 4]
            = uint8_t(i * 36);
    cairo_surface_mark_dirty(a8);
    ASSERT_EQ(reader.GetImageBufferFromImageRef(job, b, a8), LProcessResultSuccess);
    cairo_surface_destroy(a8);
    for (int i = 0; i < 8; ++i) { // black at the mask's coverage
        const LPFB8G8R8A8 p = Px(b, i % 4, i / 4);
        EXPECT_EQ(p.a, i * 36) << i;
        EXPECT_EQ(p.b | p.g | p.r, 0) << i;
    }
}

// Reduced copies against ImageMagick's -scale, which averages the area each pixel covers: a
// plasma picture of odd sides reduced to sizes of whole and broken ratios, from an RGB buffer, a
// bottom-up BGR buffer and a BGRA buffer of the same pixels.
TEST(ImageBridge, ReducedCopiesAverageTheAreaTheyCover)
{
    if (CommandOutput("command -v /usr/bin/convert").empty())
        GTEST_SKIP() << "ImageMagick is not installed";
    const char* tmp = std::getenv("TMPDIR");
    TemporaryFolder folder(tmp && *tmp ? tmp : nullptr);
    const std::string source = folder / "plasma.ppm";
    CommandOutput(
        "/usr/bin/convert -size 997x601 -seed 3 plasma:fractal -depth 8 '" + source + "'");
    int sw = 0, sh = 0;
    const std::string samples = PpmSamples(TemporaryFolder::ReadFile(source), sw, sh);
    ASSERT_EQ(sw, 997);
    ASSERT_EQ(sh, 601);
    LImageBuffer rgb(LImageFormat(LPixelFormatR8G8B8, sw, sh));
    LImageBuffer bgr(LImageFormat(LPixelFormatB8G8R8, sw, sh, true));
    LImageBuffer bgra(LImageFormat(LPixelFormatB8G8R8A8, sw, sh));
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x) {
            const uint8_t* p = reinterpret_cast<const uint8_t*>(samples.data()) + (y * sw + x) * 3;
            uint8_t* a = rgb.GetPictureRow(y) + x * 3;
            uint8_t* b = bgr.GetPictureRow(y) + x * 3;
            uint8_t* c = bgra.GetPictureRow(y) + x * 4;
            a[0] = b[2] = c[2] = p[0];
            a[1] = b[1] = c[1] = p[1];
            a[2] = b[0] = c[0] = p[2];
            c[3] = 255;
        }
    LCGImageRefReader reader;
    const std::pair<int, int> sizes[]
        = { { 123, 77 }, { 500, 300 }, { 996, 600 }, { 997, 5 }, { 1, 1 } };
    for (const auto& [w, h] : sizes) {
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
        int rw = 0, rh = 0;
        const std::string expected
            = PpmSamples(CommandOutput("/usr/bin/convert '" + source + "' -scale "
                             + std::to_string(w) + "x" + std::to_string(h) + "! -depth 8 ppm:-"),
                rw, rh);
        ASSERT_EQ(rw, w);
        ASSERT_EQ(rh, h);
        for (const LImageBuffer* buffer : { &rgb, &bgr, &bgra }) {
            cairo_surface_t* s = reader.CreateReducedImageRefFromImageBuffer(*buffer, w, h, false);
            ASSERT_NE(s, nullptr);
            ASSERT_EQ(cairo_image_surface_get_width(s), w);
            ASSERT_EQ(cairo_image_surface_get_height(s), h);
            int worst = 0;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const uint8_t* got = SurfacePx(s, x, y);
                    const uint8_t* want
                        = reinterpret_cast<const uint8_t*>(expected.data()) + (y * w + x) * 3;
                    for (int c = 0; c < 3; ++c)
                        worst = std::max(worst, std::abs(int(got[2 - c]) - int(want[c])));
                    ASSERT_EQ(got[3], 255);
                }
            EXPECT_LE(worst, 1) << "format " << buffer->GetPixelFormat();
            cairo_surface_destroy(s);
        }
    }
}

// Colours are averaged premultiplied: transparent pixels tint nothing. A pixel's share of two
// reduced pixels is split by the stretch of it each covers. The picture's own size is the plain
// surface.
TEST(ImageBridge, ReducedCopiesOfTranslucentPictures)
{
    LCGImageRefReader reader;
    LImageBuffer b(LImageFormat(LPixelFormatB8G8R8A8, 2, 2));
    Px(b, 0, 0) = LPFB8G8R8A8 { 0, 0, 255, 255 }; // opaque red
    Px(b, 1, 0) = Px(b, 0, 1) = Px(b, 1, 1) = LPFB8G8R8A8 { 0, 255, 0, 0 }; // no green at all
    cairo_surface_t* s = reader.CreateReducedImageRefFromImageBuffer(b, 1, 1, false);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(cairo_image_surface_get_format(s), CAIRO_FORMAT_ARGB32);
    EXPECT_EQ(SurfacePx(s, 0, 0)[3], 64);
    EXPECT_EQ(SurfacePx(s, 0, 0)[2], 64);
    EXPECT_EQ(SurfacePx(s, 0, 0)[1], 0);
    cairo_surface_destroy(s);

    // Three greys onto two: 0 and half of 90, half of 90 and 180, each over one and a half.
    LImageBuffer row(LImageFormat(LPixelFormatB8G8R8, 3, 1));
    const uint8_t greys[9] = { 0, 0, 0, 90, 90, 90, 180, 180, 180 };
    std::memcpy(row.GetData(), greys, 9);
    s = reader.CreateReducedImageRefFromImageBuffer(row, 2, 1, false);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SurfacePx(s, 0, 0)[1], 30);
    EXPECT_EQ(SurfacePx(s, 1, 0)[1], 150);
    cairo_surface_destroy(s);

    LImageBuffer mixed(LImageFormat(LPixelFormatB8G8R8A8, 37, 5, true));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 37; ++x)
            Px(mixed, x, y) = LPFB8G8R8A8 { uint8_t(x * 7), uint8_t(y * 50), 99, uint8_t(x * y) };
    cairo_surface_t* plain = reader.CreateImageRefFromImageBuffer(mixed, false);
    s = reader.CreateReducedImageRefFromImageBuffer(mixed, 37, 5, false);
    ASSERT_NE(s, nullptr);
    for (int y = 0; y < 5; ++y)
        EXPECT_EQ(std::memcmp(SurfacePx(s, 0, y), SurfacePx(plain, 0, y), 37 * 4), 0) << y;
    cairo_surface_destroy(s);
    cairo_surface_destroy(plain);
}

TEST(ImageBridge, ReducedCopiesRefuseWhatTheyCannotBe)
{
    LCGImageRefReader reader;
    LImageBuffer b(LImageFormat(LPixelFormatB8G8R8A8, 8, 6));
    std::memset(b.GetData(), 0x40, b.GetStride() * 6);
    for (const auto& [w, h] : { std::pair { 0, 3 }, { 4, 0 }, { 9, 6 }, { 8, 7 }, { -1, -1 } })
        EXPECT_EQ(reader.CreateReducedImageRefFromImageBuffer(b, w, h, false), nullptr)
            << w << " x " << h;
    for (int f : { 2, 3, 5, 7, 8 }) {
        LImageBuffer other(LImageFormat(pixelformat_t(f), 8, 6));
        EXPECT_EQ(reader.CreateReducedImageRefFromImageBuffer(other, 4, 3, false), nullptr) << f;
    }
    LImageBuffer empty;
    EXPECT_EQ(reader.CreateReducedImageRefFromImageBuffer(empty, 1, 1, false), nullptr);
}

// A panorama wider than any surface has no full-size copy, but reduces like any other picture:
// the design canvas shows it from such a copy.
TEST(ImageBridge, APictureWiderThanAnySurfaceReduces)
{
    LCGImageRefReader reader;
    LImageBuffer wide(LImageFormat(LPixelFormatB8G8R8, 40000, 2));
    for (int y = 0; y < 2; ++y) {
        uint8_t* row = wide.GetPictureRow(y);
        for (int x = 0; x < 40000; ++x)
            row[x * 3] = row[x * 3 + 1] = row[x * 3 + 2] = x < 20000 ? 40 : 200;
    }
    EXPECT_EQ(reader.CreateImageRefFromImageBuffer(wide, false), nullptr);
    cairo_surface_t* s = reader.CreateReducedImageRefFromImageBuffer(wide, 100, 1, false);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SurfacePx(s, 0, 0)[1], 40);
    EXPECT_EQ(SurfacePx(s, 99, 0)[1], 200);
    cairo_surface_destroy(s);
}
