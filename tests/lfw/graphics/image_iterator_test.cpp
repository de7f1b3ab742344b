#include "lfw/graphics/LImageIterator.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

// A B8G8R8A8 buffer whose pixel at stored (x, row) holds b = x, g = row.
LImageBuffer Labelled(int w, int h, bool bottomUp)
{
    LImageBuffer b(LImageFormat(LPixelFormatB8G8R8A8, w, h, bottomUp));
    for (int row = 0; row < h; ++row)
        for (int x = 0; x < w; ++x) {
            auto* p = reinterpret_cast<LPFB8G8R8A8*>(b.GetRow(row)) + x;
            *p = LPFB8G8R8A8 { uint8_t(x), uint8_t(row), 0, 255 };
        }
    return b;
}

std::vector<std::pair<int, int>> Walk(LImageConstIterator it)
{
    std::vector<std::pair<int, int>> out;
    for (; !it.IsDone(); ++it)
        out.emplace_back(it.Read().b, it.Read().g);
    return out;
}

using P = std::vector<std::pair<int, int>>;

} // namespace

TEST(ImageIterator, EveryScanOrder)
{
    LImageBuffer b = Labelled(3, 2, false);
    EXPECT_EQ(Walk(LImageConstIterator(b, LImageScanOrder(0))),
        (P { { 0, 0 }, { 1, 0 }, { 2, 0 }, { 0, 1 }, { 1, 1 }, { 2, 1 } }));
    EXPECT_EQ(Walk(LImageConstIterator(b, LImageScanOrder(1))),
        (P { { 2, 0 }, { 2, 1 }, { 1, 0 }, { 1, 1 }, { 0, 0 }, { 0, 1 } }));
    EXPECT_EQ(Walk(LImageConstIterator(b, LImageScanOrder(2))),
        (P { { 2, 1 }, { 1, 1 }, { 0, 1 }, { 2, 0 }, { 1, 0 }, { 0, 0 } }));
    EXPECT_EQ(Walk(LImageConstIterator(b, LImageScanOrder(3))),
        (P { { 0, 1 }, { 0, 0 }, { 1, 1 }, { 1, 0 }, { 2, 1 }, { 2, 0 } }));
    EXPECT_EQ(Walk(LImageConstIterator(b, LImageScanOrder(4))),
        (P { { 0, 0 }, { 0, 1 }, { 1, 0 }, { 1, 1 }, { 2, 0 }, { 2, 1 } }));
    EXPECT_EQ(Walk(LImageConstIterator(b, LImageScanOrder(5))),
        (P { { 0, 1 }, { 1, 1 }, { 2, 1 }, { 0, 0 }, { 1, 0 }, { 2, 0 } }));
    EXPECT_EQ(Walk(LImageConstIterator(b, LImageScanOrder(6))),
        (P { { 2, 1 }, { 2, 0 }, { 1, 1 }, { 1, 0 }, { 0, 1 }, { 0, 0 } }));
    EXPECT_EQ(Walk(LImageConstIterator(b, LImageScanOrder(7))),
        (P { { 2, 0 }, { 1, 0 }, { 0, 0 }, { 2, 1 }, { 1, 1 }, { 0, 1 } }));
}

TEST(ImageIterator, BottomUpBuffersWalkInPictureOrder)
{
    // Stored row 1 is the picture's top row.
    LImageBuffer b = Labelled(3, 2, true);
    EXPECT_EQ(Walk(LImageConstIterator(b, LImageScanRowsTopDown)),
        (P { { 0, 1 }, { 1, 1 }, { 2, 1 }, { 0, 0 }, { 1, 0 }, { 2, 0 } }));
    EXPECT_EQ(Walk(LImageConstIterator(b, LImageScanColumnsRightToLeft)),
        (P { { 2, 1 }, { 2, 0 }, { 1, 1 }, { 1, 0 }, { 0, 1 }, { 0, 0 } }));

    // A rectangle given in picture terms: picture row 0 is stored row 3 of 4.
    LImageBuffer tall = Labelled(4, 4, true);
    EXPECT_EQ(Walk(LImageConstIterator(tall, 1, 0, 2, 2, LImageScanRowsTopDown)),
        (P { { 1, 3 }, { 2, 3 }, { 1, 2 }, { 2, 2 } }));
    EXPECT_EQ(Walk(LImageConstIterator(tall, 2, 1, 2, 2, LImageScanColumnsLeftToRight)),
        (P { { 2, 2 }, { 2, 1 }, { 3, 2 }, { 3, 1 } }));
}

TEST(ImageIterator, RectanglesOutsideTheBufferAreEmpty)
{
    LImageBuffer b = Labelled(4, 3, false);
    LImageConstIterator it(b, 2, 0, 3, 1, LImageScanRowsTopDown);
    EXPECT_EQ(it.GetCount(), 0);
    LPixelColour out[4];
    EXPECT_EQ(it.Get(out, 4), 0);
    EXPECT_EQ(LImageConstIterator(b, -1, 0, 1, 1, LImageScanRowsTopDown).GetCount(), 0);
    EXPECT_EQ(LImageConstIterator(b, 0, 0, 0, 1, LImageScanRowsTopDown).GetCount(), 0);
    LImageBuffer invalid;
    EXPECT_EQ(LImageConstIterator(invalid, LImageScanRowsTopDown).GetCount(), 0);

    LImageConstIterator sub(b, 1, 1, 2, 2, LImageScanRowsBottomUpReversed);
    EXPECT_EQ(Walk(sub), (P { { 2, 2 }, { 1, 2 }, { 2, 1 }, { 1, 1 } }));
}

TEST(ImageIterator, GetAndPutMatchSinglePixelAccess)
{
    LImageBuffer b = Labelled(5, 4, false);
    for (int order = 0; order < 8; ++order) {
        LImageConstIterator bulk(b, 1, 1, 3, 3, LImageScanOrder(order));
        LImageConstIterator single(b, 1, 1, 3, 3, LImageScanOrder(order));
        LPixelColour got[9];
        EXPECT_EQ(bulk.Get(got, 4), 4);
        EXPECT_EQ(bulk.Get(got + 4, 100), 5);
        for (int i = 0; i < 9; ++i, ++single)
            EXPECT_EQ(got[i], single.Read()) << order << " " << i;
        EXPECT_TRUE(bulk.IsDone());
    }
    LImageIterator w(b, LImageScanColumnsBottomUp);
    std::vector<LPixelColour> in(20, LPixelColour(9, 9, 9, 9));
    EXPECT_EQ(w.Put(in.data(), 20), 20);
    EXPECT_EQ(b.GetRow(3)[4 * 4], 9);
}

TEST(ImageIterator, ReadersWidenFiveAndSixBitChannels)
{
    LImageBuffer b(LImageFormat(LPixelFormatB5G6R5, 4, 1));
    auto* px = reinterpret_cast<uint16_t*>(b.GetData());
    px[0] = 0x07E0;
    px[1] = 0x001F;
    px[2] = 3 | 28 << 11;
    px[3] = 0xFFFF;
    LImageConstIterator it(b, LImageScanRowsTopDown);
    EXPECT_EQ(it.Read(), LPixelColour(0, 255, 0, 255));
    ++it;
    EXPECT_EQ(it.Read(), LPixelColour(255, 0, 0, 255));
    ++it;
    EXPECT_EQ(it.Read().b, 25);
    EXPECT_EQ(it.Read().r, 230);
    ++it;
    EXPECT_EQ(it.Read(), LPixelColour(255, 255, 255, 255));

    // Every 5- and 6-bit value reads as floor(c x 255 / max + 0.5) and writes back unchanged.
    LImageBuffer w(LImageFormat(LPixelFormatB5G6R5, 64, 1));
    auto* wp = reinterpret_cast<uint16_t*>(w.GetData());
    for (int c = 0; c < 64; ++c)
        wp[c] = uint16_t((c & 31) | c << 5 | (c & 31) << 11);
    LImageIterator rw(w, LImageScanRowsTopDown);
    for (int c = 0; c < 64; ++c, ++rw) {
        LPixelColour v = rw.Read();
        EXPECT_EQ(v.g, int(c * 255.0 / 63 + 0.5)) << c;
        EXPECT_EQ(v.b, int((c & 31) * 255.0 / 31 + 0.5)) << c;
        rw.Write(v);
        EXPECT_EQ(wp[c], uint16_t((c & 31) | c << 5 | (c & 31) << 11));
    }
}

TEST(ImageIterator, WritersPerFormat)
{
    const LPixelColour c(0x12, 0x34, 0x56, 0x80);
    LImageBuffer a1(LImageFormat(LPixelFormatB5G5R5A1, 1, 1));
    LImageIterator(a1, LImageScanRowsTopDown).Write(c);
    EXPECT_EQ(*reinterpret_cast<uint16_t*>(a1.GetData()),
        (0x12 >> 3) | (0x34 >> 3) << 5 | (0x56 >> 3) << 10 | 1 << 15);

    LImageBuffer rgba(LImageFormat(LPixelFormatR8G8B8A8, 1, 1));
    LImageIterator(rgba, LImageScanRowsTopDown).Write(c);
    EXPECT_EQ(rgba.GetData()[0], 0x56);
    EXPECT_EQ(rgba.GetData()[2], 0x12);
    EXPECT_EQ(LImageConstIterator(rgba, LImageScanRowsTopDown).Read(), c);

    LImageBuffer rgb(LImageFormat(LPixelFormatR8G8B8, 1, 1));
    LImageIterator(rgb, LImageScanRowsTopDown).Write(c);
    EXPECT_EQ(LImageConstIterator(rgb, LImageScanRowsTopDown).Read(),
        LPixelColour(0x12, 0x34, 0x56, 255));

    LImageBuffer i8(LImageFormat(LPixelFormatI8, 1, 1));
    LImageIterator(i8, LImageScanRowsTopDown).Write(c);
    EXPECT_EQ(i8.GetData()[0], 0x12);
    EXPECT_EQ(LImageConstIterator(i8, LImageScanRowsTopDown).Read(), LPixelColour(0x12, 0, 0, 0));

    LImageBuffer four(LImageFormat(LPixelFormat4Bit, 2, 1));
    four.GetData()[0] = 0x3C;
    LImageIterator it(four, LImageScanRowsTopDown);
    it.Write(c);
    EXPECT_EQ(four.GetData()[0], 0x3C);
    EXPECT_EQ(it.Read(), LPixelColour(255, 0, 255, 255));
}

TEST(ImageIterator, ScanlinesInStoredOrder)
{
    LImageBuffer b = Labelled(2, 3, true);
    LImageScanlineConstIterator s(b, 4);
    std::vector<int> rows;
    for (; !s.IsDone(); s.Next())
        rows.push_back(s.Get()[1]);
    EXPECT_EQ(rows, (std::vector<int> { 0, 1, 2 }));
    EXPECT_TRUE(s.IsBottomUp());
    LImageBuffer none;
    EXPECT_TRUE(LImageScanlineConstIterator(none).IsDone());
}
