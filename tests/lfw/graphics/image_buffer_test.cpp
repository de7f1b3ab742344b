#include "lfw/graphics/LImageBuffer.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class StopAfter : public LProcessInterfaceVoid {
public:
    explicit StopAfter(int n)
        : mLeft(n)
    {
    }
    bool IsToStop() override { return --mLeft < 0; }
    int mLeft;
};

bool AllBytes(const LImageBuffer& b, uint64_t n, uint8_t v)
{
    for (uint64_t i = 0; i < n; ++i)
        if (b.GetData()[i] != v)
            return false;
    return true;
}

} // namespace

TEST(ImageFormat, DefaultStrideIsRowRoundedUpToFour)
{
    EXPECT_EQ(LImageFormat(LPixelFormatB8G8R8, 3, 1).stride, 12u);
    EXPECT_EQ(LImageFormat(LPixelFormatB5G6R5, 3, 1).stride, 8u);
    EXPECT_EQ(LImageFormat(LPixelFormatI8, 5, 1).stride, 8u);
    EXPECT_EQ(LImageFormat(LPixelFormatInvalid, 5, 1).stride, 0u);
    EXPECT_EQ(LImageFormat(LPixelFormatB8G8R8A8, 7, 1).stride, 28u);
    // The 4-bit format keeps the half byte of an odd width.
    EXPECT_EQ(LImageFormat(LPixelFormat4Bit, 9, 1).stride, 8u);
    EXPECT_EQ(LImageFormat(LPixelFormat4Bit, 8, 1).stride, 4u);
    EXPECT_EQ(LImageFormat(LPixelFormat4Bit, 1, 1).stride, 4u);
    for (int f = 0; f < kLPixelFormatCount; ++f)
        for (int w = 1; w < 40; ++w) {
            LImageFormat fmt(pixelformat_t(f), w, 1);
            EXPECT_EQ(fmt.stride % 4, 0u);
            EXPECT_GE(fmt.stride * 8, LPixelFormatBitsPerPixel(pixelformat_t(f)) * uint64_t(w));
        }
    EXPECT_EQ(LPixelFormatBitsPerPixel(pixelformat_t(9)), 0u);
    EXPECT_EQ(LPixelFormatBytesPerPixel(pixelformat_t(9)), 1u);
}

TEST(ImageBuffer, AllocationAlignsAndReusesStores)
{
    LImageBuffer b(LImageFormat(LPixelFormatB8G8R8A8, 120, 100));
    ASSERT_TRUE(b.IsValid());
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b.GetData()) % 64, 0u);
    const LImageBufferStore* store = b.GetStore();
    b.AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8A8, 100, 100)); // 40000 of 48000
    EXPECT_EQ(b.GetStore(), store);
    EXPECT_EQ(b.GetWidth(), 100);
    b.AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8A8, 10, 10)); // far below half
    EXPECT_TRUE(b.IsValid());
    EXPECT_EQ(b.GetStore()->GetSize(), 400u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b.GetData()) % 64, 0u);

    for (int f = 0; f < kLPixelFormatCount; ++f) {
        LImageBuffer each(LImageFormat(pixelformat_t(f), 33, 7, f % 2 == 0));
        EXPECT_TRUE(each.IsValid()) << f;
        EXPECT_EQ(each.GetStride() % 4, 0u);
    }
}

TEST(ImageBuffer, RefusedAndEmptyAllocations)
{
    LImageBuffer b(LImageFormat(LPixelFormatB8G8R8A8, 0, 10));
    EXPECT_FALSE(b.HasStore());
    EXPECT_EQ(b.GetPixelFormat(), LPixelFormatInvalid);
    EXPECT_EQ(b.GetWidth(), 0);

    LImageBuffer huge(LImageFormat(LPixelFormatB8G8R8A8, 40000, 40000));
    EXPECT_FALSE(huge.HasStore());
    EXPECT_FALSE(huge.IsValid());
    EXPECT_EQ(huge.GetWidth(), 40000); // the requested format is kept
    LProcessInterfaceVoid job;
    EXPECT_EQ(huge.Clear(job, LPixelColour()), LProcessResultError);

    LImageFormat narrow(LPixelFormatB8G8R8A8, 10, 2);
    narrow.stride = 8; // smaller than a row
    LImageBuffer n(narrow);
    EXPECT_FALSE(n.IsValid());
}

TEST(ImageBuffer, AssignMovesTheStore)
{
    LImageBuffer a(LImageFormat(LPixelFormatB8G8R8, 5, 5));
    LImageBuffer b;
    const LImageBufferStore* store = a.GetStore();
    b.Assign(a);
    EXPECT_EQ(b.GetStore(), store);
    EXPECT_EQ(b.GetWidth(), 5);
    EXPECT_FALSE(a.HasStore());
    EXPECT_EQ(a.GetPixelFormat(), LPixelFormatInvalid);

    LImageBuffer empty;
    b.Assign(empty); // nothing to take: b keeps its picture
    EXPECT_EQ(b.GetStore(), store);
}

TEST(ImageBuffer, ClearFillsEveryRow)
{
    LProcessInterfaceVoid job;
    LImageBuffer b(LImageFormat(LPixelFormatB8G8R8A8, 5, 3));
    std::memset(b.GetData(), 0x5A, b.GetStride() * 3);
    EXPECT_EQ(b.Clear(job, LPixelColour()), LProcessResultSuccess);
    EXPECT_TRUE(AllBytes(b, b.GetStride() * 3, 0));

    EXPECT_EQ(b.Clear(job, LPixelColour(0, 0, 0, 255)), LProcessResultSuccess);
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ(b.GetData()[i * 4 + 3], 255);

    LImageBuffer rgb(LImageFormat(LPixelFormatB8G8R8, 5, 3));
    std::memset(rgb.GetData(), 0x5A, rgb.GetStride() * 3);
    EXPECT_EQ(rgb.Clear(job, LPixelColour(0, 0, 0, 255)), LProcessResultSuccess);
    EXPECT_TRUE(AllBytes(rgb, rgb.GetStride() * 3, 0));

    LImageBuffer up(LImageFormat(LPixelFormatB5G6R5, 3, 4, true));
    EXPECT_EQ(up.Clear(job, LPixelColour(0xFF, 0, 0, 0)), LProcessResultSuccess);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(reinterpret_cast<const uint16_t*>(up.GetRow(y))[x], 0x001F);

    LImageBuffer i8(LImageFormat(LPixelFormatI8, 3, 2));
    EXPECT_EQ(i8.Clear(job, LPixelColour(7, 0, 0, 0)), LProcessResultSuccess);
    EXPECT_EQ(i8.GetRow(1)[2], 7);
}

TEST(ImageBuffer, ClearStopsBetweenRows)
{
    LImageBuffer b(LImageFormat(LPixelFormatB8G8R8A8, 2, 2000));
    std::memset(b.GetData(), 0, b.GetStride() * 2000);
    StopAfter job(0);
    EXPECT_EQ(b.Clear(job, LPixelColour(1, 2, 3, 4)), LProcessResultStopped);
    // Rows up to the first stop test are written, the rest untouched.
    EXPECT_EQ(b.GetRow(498)[0], 1);
    EXPECT_EQ(b.GetRow(499)[0], 0);
}

TEST(ImageBuffer, CopyKeepsThePicture)
{
    LImageBuffer a(LImageFormat(LPixelFormatB8G8R8, 3, 2));
    for (uint64_t i = 0; i < a.GetStride() * 2; ++i)
        a.GetData()[i] = uint8_t(i);
    LImageBuffer b;
    ASSERT_TRUE(LImageBufferAllocateAndCopy(b, a));
    EXPECT_EQ(std::memcmp(a.GetData(), b.GetData(), a.GetStride() * 2), 0);

    LImageBuffer wide(LImageFormat(LPixelFormatB8G8R8, 4, 2));
    std::memset(wide.GetData(), 0xEE, wide.GetStride() * 2);
    LImageBufferCopy(wide, a); // different widths: nothing
    EXPECT_EQ(wide.GetData()[0], 0xEE);

    // Opposite row order: the same picture, rows reversed in memory.
    LImageBuffer up(LImageFormat(LPixelFormatB8G8R8, 3, 2, true));
    LImageBufferCopy(up, a);
    EXPECT_EQ(std::memcmp(up.GetRow(1), a.GetRow(0), 9), 0);
    EXPECT_EQ(std::memcmp(up.GetRow(0), a.GetRow(1), 9), 0);

    // A different stride goes row by row.
    LImageFormat padded(LPixelFormatB8G8R8, 3, 2);
    padded.stride = 16;
    LImageBuffer p(padded);
    LImageBufferCopy(p, a);
    EXPECT_EQ(std::memcmp(p.GetRow(1), a.GetRow(1), 9), 0);
}
