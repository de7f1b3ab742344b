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
