// Pictures painted on screen from copies of the size shown: what paper and files get, the size
// and number of the copies, when they are made again, how the screen looks, and what a paint
// shows while a copy is being made.
#include "lfw/mac/LPaintSurface.h"
#include "lfw/mac/LScreenImageCopies.h"
#include "support/CommandOutput.h"
#include "support/DrawCanvas.h"
#include "support/ScreenCopies.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cairo.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace {

// Smooth gradients under a fine pattern, so that a reduction that skips pixels shows.
void Fill(LImageBuffer& b, int width, int height, int seed)
{
    b.AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8A8, width, height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = b.GetRow(y) + x * 4;
            const int fine = ((x / 2 + y / 2 + seed) % 3) * 30;
            p[0] = uint8_t(x * 200 / width + fine);
            p[1] = uint8_t(y * 200 / height + fine);
            p[2] = uint8_t(100 + seed * 10 + fine);
            p[3] = 255;
        }
}

// A window's context: what a painted control hands to its painting.
struct Screen {
    cairo_surface_t* surface;
    cairo_t* cr;
    LPaintContext ctx;
    Screen(int width, int height, double scale = 1)
        : surface(
            cairo_image_surface_create(CAIRO_FORMAT_RGB24, int(width * scale), int(height * scale)))
        , cr(cairo_create(surface))
        , ctx(cr, width, height)
    {
        cairo_surface_set_device_scale(surface, scale, scale);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        ctx.mForScreen = true;
    }
    ~Screen()
    {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    const uint8_t* Row(int y)
    {
        cairo_surface_flush(surface);
        return cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    }
};

// Draws the picture as a painter does: once, and once more on a white screen after the copy it
// asked for is made.
void Show(LScreenImageCopies& copies, Screen& screen, const LImageBuffer& picture, float x, float y,
    float w, float h)
{
    screen.ctx.mPicturesPending = false;
    copies.DrawImage(screen.ctx, picture, x, y, w, h, 1);
    if (!screen.ctx.mPicturesPending)
        return;
    ASSERT_TRUE(WaitForScreenCopies());
    cairo_save(screen.cr);
    cairo_identity_matrix(screen.cr);
    cairo_set_source_rgb(screen.cr, 1, 1, 1);
    cairo_paint(screen.cr);
    cairo_restore(screen.cr);
    screen.ctx.mPicturesPending = false;
    copies.DrawImage(screen.ctx, picture, x, y, w, h, 1);
    EXPECT_FALSE(screen.ctx.mPicturesPending);
}

} // namespace

// Print, PDF and image export draw through contexts that are not a window's: they get exactly
// what the picture itself draws, and no copy is made for them.
TEST(ScreenImageCopies, PaperAndFilesGetThePictureItself)
{
    LImageBuffer picture;
    Fill(picture, 1200, 800, 1);
    LScreenImageCopies copies;
    DrawCanvas through(300, 200), itself(300, 200);
    copies.DrawImage(through.ctx(), picture, 10.5f, 10, 240, 160.25f, 0.8f);
    LPaintSurface::DrawImage(
        itself.ctx(), picture, 10.5f, 10, 240, 160.25f, 0.8f, LImageInterpolationNone);
    EXPECT_TRUE(through.SameAs(itself));
    EXPECT_EQ(copies.GetCount(), 0u);
    EXPECT_EQ(copies.GetBytes(), 0u);
}

// On a window at twice the pixels, turned a quarter, a 3000 x 2000 picture drawn 150 x 100
// units large shows 300 x 200 device pixels along its own sides: its one copy is that size,
// 240,000 bytes against the picture's 24 million.
TEST(ScreenImageCopies, OneCopyOfTheSizeShown)
{
    LImageBuffer picture;
    Fill(picture, 3000, 2000, 2);
    LScreenImageCopies copies;
    Screen screen(200, 200, 2);
    cairo_translate(screen.cr, 150, 20);
    cairo_rotate(screen.cr, M_PI / 2);
    Show(copies, screen, picture, 0, 0, 150, 100);
    EXPECT_EQ(copies.GetCount(), 1u);
    EXPECT_EQ(copies.GetBytes(), 300u * 200 * 4);
}

// The copy is kept while the picture moves; another size gets a copy of its own, and of those the
// two used last are kept; new pixels drop the old copies. A picture shown larger than itself is
// copied whole.
TEST(ScreenImageCopies, CopiesAreKeptAndDropped)
{
    LImageBuffer picture;
    Fill(picture, 1200, 800, 3);
    LScreenImageCopies copies;
    Screen screen(400, 300);
    Show(copies, screen, picture, 0, 0, 280, 186.7f);
    ASSERT_EQ(copies.GetCount(), 1u);
    EXPECT_EQ(copies.GetBytes(), 280u * 187 * 4);
    Show(copies, screen, picture, 37.5f, 12.25f, 280, 186.7f);
    Show(copies, screen, picture, -100, 250, 280, 186.7f);
    EXPECT_EQ(copies.GetCount(), 1u);

    Show(copies, screen, picture, 0, 0, 285, 190);
    EXPECT_EQ(copies.GetCount(), 2u);
    Show(copies, screen, picture, 0, 0, 60, 40);
    Show(copies, screen, picture, 0, 0, 280, 186.7f);
    EXPECT_EQ(copies.GetCount(), LScreenImageCopies::kMaxCopies);
    EXPECT_EQ(copies.GetBytes(), (280u * 187 + 60 * 40) * 4);

    // Other pixels in the buffer (a new block, made while the old one still lives).
    LImageBuffer other;
    Fill(other, 1200, 800, 4);
    picture = std::move(other);
    Show(copies, screen, picture, 0, 0, 60, 40);
    EXPECT_EQ(copies.GetCount(), 1u);
    // Shown larger than itself: the whole picture, which is what shows.
    Screen large(1300, 900);
    Show(copies, large, picture, 0, 0, 1300, 866.7f);
    EXPECT_EQ(copies.GetCount(), 2u);
    EXPECT_EQ(copies.GetBytes(), (60u * 40 + 1200 * 800) * 4);
    copies.Clear();
    EXPECT_EQ(copies.GetCount(), 0u);
}

// The picture as ImageMagick reduces it (-scale averages the area each pixel covers), turned a
// quarter clockwise when asked: R, G, B rows; empty without ImageMagick.
std::string Reference(const LImageBuffer& picture, int width, int height, bool turned = false)
{
    const char* tmp = std::getenv("TMPDIR");
    TemporaryFolder folder(tmp && *tmp ? tmp : nullptr);
    std::string ppm = "P6\n" + std::to_string(picture.GetWidth()) + " "
        + std::to_string(picture.GetHeight()) + "\n255\n";
    for (int y = 0; y < picture.GetHeight(); ++y)
        for (int x = 0; x < picture.GetWidth(); ++x) {
            const uint8_t* p = picture.GetPictureRow(y) + x * 4;
            ppm += { char(p[2]), char(p[1]), char(p[0]) };
        }
    TemporaryFolder::WriteFile(folder / "picture.ppm", ppm);
    const std::string out = CommandOutput("/usr/bin/convert '" + folder / "picture.ppm"
        + "' -scale " + std::to_string(width) + "x" + std::to_string(height) + "! "
        + (turned ? "-rotate 90 " : "") + "-depth 8 ppm:- 2>/dev/null");
    const size_t samples = size_t(width) * size_t(height) * 3;
    return out.size() > samples ? out.substr(out.size() - samples) : std::string();
}

// The largest difference of the screen's pixels from a reference of w x h pixels put at (left,
// top), its edge pixels left out.
int Worst(Screen& screen, const std::string& reference, int left, int top, int w, int h)
{
    int worst = 0;
    for (int y = 1; y < h - 1; ++y)
        for (int x = 1; x < w - 1; ++x) {
            const uint8_t* got = screen.Row(top + y) + (left + x) * 4;
            const uint8_t* want
                = reinterpret_cast<const uint8_t*>(reference.data()) + (y * w + x) * 3;
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::abs(int(got[2 - c]) - int(want[c])));
        }
    return worst;
}

// What the screen shows is the picture reduced as ImageMagick reduces it, pixel for pixel: at
// whole and broken ratios, at a position between pixels (put on the nearest), at twice the
// pixels, and turned a quarter.
TEST(ScreenImageCopies, TheScreenShowsThePicture)
{
    if (CommandOutput("command -v /usr/bin/convert").empty())
        GTEST_SKIP() << "ImageMagick is not installed";
    LImageBuffer picture;
    Fill(picture, 1200, 800, 5);
    struct Case {
        float x, y, w, h; // in units
        double scale; // device pixels to a unit
        int left, top, width, height; // the device pixels the picture covers
    };
    for (const Case& c : { Case { 20, 30, 300, 200, 1, 20, 30, 300, 200 },
             Case { 20, 30, 313, 209, 1, 20, 30, 313, 209 },
             Case { 5, 5, 517, 345, 1, 5, 5, 517, 345 },
             Case { 20.4f, 30.7f, 313, 209, 1, 20, 31, 313, 209 },
             Case { 10, 12.5f, 150, 100, 2, 20, 25, 300, 200 } }) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height) + " at "
            + std::to_string(c.x));
        const std::string reference = Reference(picture, c.width, c.height);
        ASSERT_FALSE(reference.empty());
        LScreenImageCopies copies;
        Screen screen(560, 400, c.scale);
        Show(copies, screen, picture, c.x, c.y, c.w, c.h);
        EXPECT_LE(Worst(screen, reference, c.left, c.top, c.width, c.height), 1);
    }
    // Shown larger than itself: as drawing the whole picture drew it.
    {
        LScreenImageCopies copies;
        Screen enlarged(300, 200), enlargedWhole(300, 200);
        LImageBuffer small;
        Fill(small, 40, 30, 6);
        Show(copies, enlarged, small, 10.5f, 20, 250, 170);
        LPaintSurface::DrawImage(
            enlargedWhole.ctx, small, 10.5f, 20, 250, 170, 1, LImageInterpolationNone);
        for (int y = 0; y < 200; ++y)
            ASSERT_EQ(std::memcmp(enlarged.Row(y), enlargedWhole.Row(y), 300 * 4), 0) << y;
    }
    // A quarter clockwise about the top-left corner, moved back into view.
    const std::string turned = Reference(picture, 300, 200, true);
    ASSERT_FALSE(turned.empty());
    LScreenImageCopies copies;
    Screen screen(400, 400);
    cairo_translate(screen.cr, 250, 40);
    cairo_rotate(screen.cr, M_PI / 2);
    Show(copies, screen, picture, 0, 0, 300, 200);
    EXPECT_LE(Worst(screen, turned, 50, 40, 200, 300), 1);
}

// A picture longer than kSourceSide gets a source made ahead, halved until it fits: copies that
// fit in it are made from it and look as the picture reduced whole does (within the rounding of
// the two steps), a larger copy is made from the picture itself, and new pixels drop the source
// (the worker makes one of the new pixels). A picture that fits gets none.
TEST(ScreenImageCopies, LargePicturesAreCopiedFromTheirSource)
{
    if (CommandOutput("command -v /usr/bin/convert").empty())
        GTEST_SKIP() << "ImageMagick is not installed";
    LImageBuffer small, source;
    Fill(small, LScreenImageCopies::kSourceSide, 900, 6);
    EXPECT_FALSE(LScreenImageCopies::MakeSource(small, source));
    EXPECT_FALSE(source.IsValid());

    LImageBuffer picture;
    Fill(picture, 4200, 2800, 7);
    ASSERT_TRUE(LScreenImageCopies::MakeSource(picture, source));
    EXPECT_EQ(source.GetWidth(), 1050);
    EXPECT_EQ(source.GetHeight(), 700);
    LScreenImageCopies copies;
    copies.KeepSource(picture, std::move(source));
    {
        Screen screen(560, 400);
        Show(copies, screen, picture, 20, 30, 313, 209);
        EXPECT_LE(Worst(screen, Reference(picture, 313, 209), 20, 30, 313, 209), 3);
    }
    {
        Screen screen(1200, 800);
        Show(copies, screen, picture, 5, 5, 1100, 733.3f);
        EXPECT_LE(Worst(screen, Reference(picture, 1100, 733), 5, 5, 1100, 733), 1);
    }
    // New pixels: the old source is not used for them.
    LImageBuffer other;
    Fill(other, 4200, 2800, 8);
    picture = std::move(other);
    Screen screen(560, 400);
    Show(copies, screen, picture, 20, 30, 313, 209);
    EXPECT_LE(Worst(screen, Reference(picture, 313, 209), 20, 30, 313, 209), 3);
}

// A paint never makes a copy itself: the first paint of a picture at a size it has no copy of
// shows a quiet grey placeholder and asks to be painted again; the copy is made meanwhile, and
// the next paint shows the picture. A new size then shows the copy it has, scaled, until its own
// is made.
TEST(ScreenImageCopies, APaintNeverWaitsForACopy)
{
    LImageBuffer picture;
    Fill(picture, 3000, 2000, 9);
    LScreenImageCopies copies;
    Screen screen(400, 300);
    copies.DrawImage(screen.ctx, picture, 20, 20, 300, 200, 1);
    EXPECT_TRUE(screen.ctx.mPicturesPending);
    // One grey all over the picture's box, and none of its pixels.
    const uint8_t* corner = screen.Row(25) + 25 * 4;
    EXPECT_LT(std::abs(int(corner[0]) - 0xD9), 3);
    int unlike = 0;
    for (int y = 21; y < 219; ++y)
        for (int x = 21; x < 319; ++x)
            unlike += std::memcmp(screen.Row(y) + x * 4, corner, 3) != 0;
    EXPECT_EQ(unlike, 0) << "the first paint shows the picture: it waited for its copy";

    ASSERT_TRUE(WaitForScreenCopies());
    EXPECT_EQ(copies.GetCount(), 1u);
    Screen again(400, 300);
    copies.DrawImage(again.ctx, picture, 20, 20, 300, 200, 1);
    EXPECT_FALSE(again.ctx.mPicturesPending);
    Screen whole(400, 300);
    LPaintSurface::DrawImage(whole.ctx, picture, 20, 20, 300, 200, 1, LImageInterpolationNone);

    // Half the size: the copy of 300 x 200 stands in, scaled, where the picture goes.
    Screen smaller(400, 300);
    copies.DrawImage(smaller.ctx, picture, 20, 20, 150, 100, 1);
    EXPECT_TRUE(smaller.ctx.mPicturesPending);
    LScreenImageCopies fresh;
    Screen reference(400, 300);
    Show(fresh, reference, picture, 20, 20, 150, 100);
    int worst = 0;
    for (int y = 22; y < 118; ++y)
        for (int x = 22; x < 168; ++x)
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst,
                    std::abs(int(smaller.Row(y)[x * 4 + c]) - int(reference.Row(y)[x * 4 + c])));
    EXPECT_LE(worst, 40);
    ASSERT_TRUE(WaitForScreenCopies());
    EXPECT_EQ(copies.GetCount(), 2u);
}

// A paint that shows a picture at three sizes (a picture pasted twice and resized), painted again
// whenever it drew a stand-in once a copy is made, while a picture keeps two copies: the copies
// drawn by the paint before are kept with the new one, so the paint comes to show all three
// instead of asking for them in turn for ever. Other sizes later drop them again.
TEST(ScreenImageCopies, APaintOfThreeSizesComesToRest)
{
    LImageBuffer picture;
    Fill(picture, 1200, 800, 10);
    LScreenImageCopies copies;
    Screen screen(400, 300);
    const float widths[] = { 300, 240, 180 };
    bool pending = true;
    int paints = 0;
    while (pending && paints < 10) {
        ++paints;
        screen.ctx.mPicturesPending = false;
        for (float w : widths)
            copies.DrawImage(screen.ctx, picture, 0, 0, w, w * 2 / 3, 1);
        pending = screen.ctx.mPicturesPending;
        ASSERT_TRUE(WaitForScreenCopies());
    }
    EXPECT_FALSE(pending) << "still drawing stand-ins after " << paints << " paints";
    EXPECT_LE(paints, 4);
    EXPECT_EQ(copies.GetCount(), 3u);
    // The picture shown at one other size: the three go.
    Show(copies, screen, picture, 0, 0, 120, 80);
    Show(copies, screen, picture, 0, 0, 90, 60);
    EXPECT_EQ(copies.GetCount(), LScreenImageCopies::kMaxCopies);
}

namespace {

// A picture that carries its own count and its copies, as the program's pictures do.
struct CountedPicture : LImageBuffer, LCountedObject {
    static inline std::atomic<int> alive { 0 };
    LScreenImageCopies copies { this };
    CountedPicture() { ++alive; }
    ~CountedPicture() override { --alive; }
};

} // namespace

// A picture let go while its copy is asked for lives until the worker is done with it, and then
// goes: nothing is read from freed pixels, and nothing is kept.
TEST(ScreenImageCopies, APictureLetGoWhileItsCopyIsAskedForGoesAfterTheWorker)
{
    for (int i = 0; i < 4; ++i) {
        LCountedPtr<CountedPicture> picture(new CountedPicture);
        Fill(*picture, 2400, 1600, i);
        Screen screen(300, 200);
        picture->copies.DrawImage(screen.ctx, *picture, 0, 0, 240, 160, 1);
        EXPECT_TRUE(screen.ctx.mPicturesPending);
        picture.reset();
    }
    ASSERT_TRUE(WaitForScreenCopies());
    EXPECT_EQ(CountedPicture::alive.load(), 0);
}
