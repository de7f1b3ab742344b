// A lowered pixel limit (LImagePixelLimit) reaches every reader the file loader may choose,
// whatever the file's name says it is, also a camera raw file developed on a worker for the main
// thread; it ends with its scope and belongs to its thread.
#include "ImageTestSupport.h"

#include "lfw/graphics/LImageCodec.h"
#include "lfw/graphics/LImageFile.h"
#include "lfw/ios/LThread.h"

#include <gtest/gtest.h>

#include <thread>

using namespace imagetest;

TEST(PixelLimit, EveryReaderRefusesAPictureAboveTheLimitOfItsScope)
{
    // 37 x 23 = 851 pixels each (the DNG 32 x 24 = 768); the GIF also under a PNG name.
    TempFolder folder;
    WriteBytes(folder / "gif.png", ReadBytes(Fixture("anim.gif")));
    LThreadSetMainThread();
    for (const std::string& path : { Fixture("base.png"), Fixture("bmp24.bmp"), Fixture("grey.jpg"),
             Fixture("anim.gif"), folder / "gif.png", Fixture("linear.dng") }) {
        const uint64_t pixels = path.find(".dng") != std::string::npos ? 768 : 851;
        LImageBuffer buffer;
        {
            LImagePixelLimit limit(pixels - 1);
            EXPECT_EQ(LImageMaxPixels(), pixels - 1);
            EXPECT_EQ(LImage::Load(buffer, path.c_str(), 0), 0u) << path;
            EXPECT_FALSE(buffer.HasStore()) << path;
            {
                // An inner scope never raises the limit.
                LImagePixelLimit wider(kLImageMaxPixels);
                EXPECT_EQ(LImage::Load(buffer, path.c_str(), 0), 0u) << path;
            }
            LImagePixelLimit exact(pixels);
            EXPECT_EQ(LImageMaxPixels(), pixels - 1);
        }
        EXPECT_EQ(LImageMaxPixels(), kLImageMaxPixels);
        EXPECT_NE(LImage::Load(buffer, path.c_str(), 0), 0u) << path;
        // Another thread's limit is its own.
        LImagePixelLimit limit(pixels - 1);
        uint64_t there = 0;
        std::thread([&] { there = LImageMaxPixels(); }).join();
        EXPECT_EQ(there, kLImageMaxPixels);
    }
}

// A picture refused for the limit is told as such, with its size and the limit, by every reader:
// the platform's (PNG, JPEG, GIF, JPEG 2000, TIFF, camera raw) and the framework's own (BMP, PNM,
// PCX, PSD, RAS, TGA, WBMP). Also a raw file developed on a worker for the main thread.
TEST(PixelLimit, APictureAboveTheLimitIsToldWithItsSizeAndTheLimit)
{
    struct Errors : LProcessInterfaceVoid {
        void SetError(const char* text) override { last = text ? text : ""; }
        std::string last;
    };
    LThreadSetMainThread();
    for (const char* name :
        { "base.png", "grey.jpg", "anim.gif", "grey.jp2", "orient6.tif", "linear.dng", "bmp24.bmp",
            "p6.ppm", "pcx24.pcx", "psd_rgb.psd", "ras24.ras", "tga_rgb.tga", "wbmp.wbmp" }) {
        const std::string path = Fixture(name);
        LImageBuffer buffer;
        ASSERT_NE(LImage::Load(buffer, path.c_str(), 0), 0u) << name;
        const uint64_t width = uint64_t(buffer.GetWidth()), height = uint64_t(buffer.GetHeight());
        const uint64_t pixels = width * height;
        ASSERT_GE(pixels, 100u) << name;
        ASSERT_LT(pixels, 1000000u) << name;
        Errors job;
        {
            LImagePixelLimit limit(99);
            EXPECT_EQ(LImage::Load(job, buffer, path.c_str(), 0), 0u) << name;
        }
        EXPECT_EQ(job.last,
            "Bilden är för stor: den har " + std::to_string(width) + " × " + std::to_string(height)
                + " bildpunkter (" + std::to_string(pixels)
                + "), och en bild får ha högst 99 bildpunkter.")
            << name;
        // A picture that could not be read for another reason says nothing of its size.
        const std::vector<uint8_t> bytes = ReadBytes(path);
        TempFolder folder;
        const std::string cut = folder / (std::string("kort") + std::strrchr(name, '.'));
        ASSERT_TRUE(WriteBytes(cut, std::vector<uint8_t>(bytes.begin(), bytes.begin() + 4)));
        Errors damaged;
        EXPECT_EQ(LImage::Load(damaged, buffer, cut.c_str(), 0), 0u) << name;
        EXPECT_EQ(damaged.last, "Det gick inte att läsa in bilden.") << name;
    }
}
