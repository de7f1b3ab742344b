// Reading a picture as far as its header (LImage::ProbeFile): each reader goes up to the point
// where it knows the picture's size and would take memory for its pixels, and no further. A
// picture whose pixels break off after a good header passes; a file that is no picture, a header
// cut short, or a size past the readers' limit does not, and says why in the reader's words (a
// size past the limit with the size and the limit). A probe leaves its thread's readers as they
// were.
#include "ImageTestSupport.h"

#include "lfw/graphics/LImageCodec.h"
#include "lfw/graphics/LImageFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace imagetest;

namespace {

std::vector<uint8_t> Cut(const std::vector<uint8_t>& bytes, size_t n)
{
    return std::vector<uint8_t>(bytes.begin(), bytes.begin() + std::min(n, bytes.size()));
}

// A BMP header (BITMAPINFOHEADER, 24 bits) of the size, with no pixels after it.
std::vector<uint8_t> BmpHeader(int32_t width, int32_t height)
{
    std::vector<uint8_t> b(54, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = uint8_t(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, 54);
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(width));
    put32(22, uint32_t(height));
    b[26] = 1;
    b[28] = 24;
    return b;
}

} // namespace

TEST(HeaderProbe, ReadersStopAtTheSizeAndTellWhatTheyCouldNotRead)
{
    TempFolder folder;
    std::string why;
    // Whole pictures of every kind the readers take.
    for (const char* name : { "base.png", "bmp24.bmp", "grey.jpg", "anim.gif", "grey.jp2",
             "orient6.tif", "linear.dng" }) {
        EXPECT_TRUE(LImage::ProbeFile(Fixture(name).c_str(), nullptr, why)) << name << ": " << why;
    }
    // Pixels that break off after a whole header.
    const std::vector<uint8_t> png = ReadBytes(Fixture("base.png"));
    ASSERT_TRUE(WriteBytes(folder / "cut.png", Cut(png, png.size() - 20)));
    EXPECT_TRUE(LImage::ProbeFile((folder / "cut.png").c_str(), nullptr, why)) << why;
    const std::vector<uint8_t> jpeg = ReadBytes(Fixture("grey.jpg"));
    ASSERT_TRUE(WriteBytes(folder / "cut.jpg", Cut(jpeg, jpeg.size() - 40)));
    EXPECT_TRUE(LImage::ProbeFile((folder / "cut.jpg").c_str(), nullptr, why)) << why;
    // A size of 2^30 pixels from 54 bytes: the header is read, no gigabyte taken.
    ASSERT_TRUE(WriteBytes(folder / "big.bmp", BmpHeader(16000, 16000)));
    EXPECT_TRUE(LImage::ProbeFile((folder / "big.bmp").c_str(), nullptr, why)) << why;

    // Not pictures, or not enough of one.
    const std::string text = "Det här är ingen bild\n";
    ASSERT_TRUE(WriteBytes(folder / "text.png", std::vector<uint8_t>(text.begin(), text.end())));
    ASSERT_TRUE(WriteBytes(folder / "head.png", Cut(png, 20)));
    ASSERT_TRUE(WriteBytes(folder / "head.jpg", Cut(jpeg, 30)));
    ASSERT_TRUE(WriteBytes(folder / "empty.gif", {}));
    for (const char* name : { "text.png", "head.png", "head.jpg", "empty.gif" }) {
        EXPECT_FALSE(LImage::ProbeFile((folder / name).c_str(), nullptr, why)) << name;
        EXPECT_EQ(why, "Det gick inte att läsa in bilden.") << name;
    }
    // Past the limit: told with the size and the limit (numbers grouped by no-break spaces).
    ASSERT_TRUE(WriteBytes(folder / "huge.bmp", BmpHeader(100000, 100000)));
    EXPECT_FALSE(LImage::ProbeFile((folder / "huge.bmp").c_str(), nullptr, why));
    EXPECT_EQ(why,
        "Bilden är för stor: den har 100000 × 100000 bildpunkter (10\u00A0000\u00A0000\u00A0000), "
        "och en bild får ha högst 268\u00A0435\u00A0456 bildpunkter.");
    ASSERT_TRUE(WriteBytes(folder / "huge.png", PngHeaderOnly(20000, 20000)));
    EXPECT_FALSE(LImage::ProbeFile((folder / "huge.png").c_str(), nullptr, why));
    EXPECT_EQ(why,
        "Bilden är för stor: den har 20000 × 20000 bildpunkter (400\u00A0000\u00A0000), och en "
        "bild får ha högst 268\u00A0435\u00A0456 bildpunkter.");
    ASSERT_TRUE(WriteBytes(folder / "bild.xyz", ReadBytes(Fixture("base.png"))));
    EXPECT_FALSE(LImage::ProbeFile((folder / "bild.xyz").c_str(), nullptr, why));
    EXPECT_EQ(why, "Filtypen känns inte igen.");
    EXPECT_FALSE(LImage::ProbeFile((folder / "saknas.png").c_str(), nullptr, why));
    EXPECT_EQ(why, "Det gick inte att hitta filen.");

    // The thread's readers read whole pictures again afterwards.
    LImageBuffer buffer;
    EXPECT_NE(LImage::Load(buffer, Fixture("base.png").c_str(), 0), 0u);
    EXPECT_TRUE(buffer.IsValid());
    EXPECT_TRUE(LImageSizeAcceptable(100, 100));
}
