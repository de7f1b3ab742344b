// A lowered pixel limit (LImagePixelLimit) reaches every reader the file loader may choose,
// whatever the file's name says it is, also a camera raw file developed on a worker for the main
// thread; it ends with its scope and belongs to its thread. A reader run as one of a set of jobs
// side by side asks the job for its pixels' memory before it takes it.
#include "ImageTestSupport.h"

#include "lfw/graphics/LImageCodec.h"
#include "lfw/graphics/LImageFile.h"
#include "lfw/ios/LParallelJobs.h"
#include "lfw/ios/LThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
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

// With no memory free and another job holding some, a job that reads a picture waits before its
// pixels are stored, whichever reader reads it (the platform's codecs and the program's own), and
// reads it whole once the other job has ended.
TEST(PixelLimit, ReadersAskTheirJobForThePixelsMemory)
{
    const std::string files[] = { Fixture("base.png"), Fixture("grey.jpg"), Fixture("anim.gif"),
        Fixture("bmp24.bmp"), Fixture("grey.jp2"), Fixture("orient6.tif") };
    const size_t count = sizeof files / sizeof files[0];
    LParallelJobs jobs("Prov", int(count) + 1, [] { return uint64_t(0); });
    std::mutex lock;
    std::condition_variable changed;
    bool holding = false, release = false;
    jobs.Add([&](LParallelJobs::Job& job) {
        job.TakeMemory(1);
        std::unique_lock<std::mutex> hold(lock);
        holding = true;
        changed.notify_all();
        changed.wait(hold, [&] { return release; });
        return LProcessResultSuccess;
    });
    std::atomic<int> read { 0 };
    LImageBuffer pictures[count];
    for (size_t i = 0; i < count; ++i)
        jobs.Add([&, i](LParallelJobs::Job&) {
            {
                std::unique_lock<std::mutex> hold(lock);
                changed.wait(hold, [&] { return holding; });
            }
            if (LImage::Load(pictures[i], files[i].c_str(), 0) != 0)
                ++read;
            return LProcessResultSuccess;
        });
    // What must not happen is waited for a moment.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(read.load(), 0) << "pictures were stored while no memory was there for them";
    {
        std::lock_guard<std::mutex> hold(lock);
        release = true;
        changed.notify_all();
    }
    LProcessInterfaceVoid owner;
    EXPECT_EQ(jobs.Finish(owner), LProcessResultSuccess);
    EXPECT_EQ(read.load(), int(count));
    for (size_t i = 0; i < count; ++i)
        EXPECT_TRUE(pictures[i].IsValid()) << files[i];
}
