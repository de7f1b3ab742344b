// Long runs of marks: which parts of a text are left out of what is shown, and a layout of a
// letter with a hundred thousand accents drawn and measured as the letter with the first 30.
#include "platform/text/LongClusters.h"
#include "platform/text/Text.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace platform::text;

namespace {

const std::string kAcute = "\xCC\x81"; // U+0301, two bytes

std::string Repeat(const std::string& s, size_t n)
{
    std::string out;
    for (size_t i = 0; i < n; ++i)
        out += s;
    return out;
}

} // namespace

TEST(LongClusters, WhatIsLeftOutOfARun)
{
    // Up to 30 marks are shown whole; the 31st on is left out, in bytes and in characters.
    EXPECT_TRUE(MarksPastShown("", 0).empty());
    const std::string thirty = "a" + Repeat(kAcute, 30);
    EXPECT_TRUE(MarksPastShown(thirty.data(), thirty.size()).empty());
    const std::string forty = "a" + Repeat(kAcute, 40);
    EXPECT_EQ(MarksPastShown(forty.data(), forty.size()),
        (std::vector<UnshownRange> { { 61, 81, 31, 41 } }));

    // Each letter starts a run of its own; a run may stand at the start without a letter; a
    // joiner and variation selectors count as marks; a byte that is not UTF-8 ends a run.
    const std::string text = Repeat(kAcute, 32) + "b" + Repeat(kAcute, 20) + "\xE2\x80\x8D"
        + Repeat("\xEF\xB8\x8F", 11) + "c" + Repeat(kAcute, 35) + "\xFF" + Repeat(kAcute, 31);
    const std::vector<UnshownRange> unshown = MarksPastShown(text.data(), text.size());
    ASSERT_EQ(unshown.size(), 4u);
    EXPECT_EQ(unshown[0], (UnshownRange { 60, 64, 30, 32 }));
    // "b" at character 32, then 20 accents, the joiner (31st mark) and 11 selectors.
    EXPECT_EQ(unshown[1].charBegin, 32u + 1 + 30);
    EXPECT_EQ(unshown[1].charEnd, 32u + 1 + 32);
    EXPECT_EQ(text.compare(unshown[1].byteBegin, 6, Repeat("\xEF\xB8\x8F", 2)), 0);
    EXPECT_EQ(unshown[2].charEnd - unshown[2].charBegin, 5u);
    EXPECT_EQ(text[unshown[2].byteEnd], '\xFF');
    EXPECT_EQ(unshown[3].byteEnd, text.size());
    EXPECT_EQ(unshown[3].charEnd - unshown[3].charBegin, 1u);

    std::string shown;
    EXPECT_FALSE(WithoutMarksPastShown(thirty, shown));
    ASSERT_TRUE(WithoutMarksPastShown(text, shown));
    EXPECT_EQ(shown,
        Repeat(kAcute, 30) + "b" + Repeat(kAcute, 20) + "\xE2\x80\x8D" + Repeat("\xEF\xB8\x8F", 9)
            + "c" + Repeat(kAcute, 30) + "\xFF" + Repeat(kAcute, 30));
}

// Laid out, a letter with 50,000 accents is the letter with its first 30: the same size, the
// same pixels.
TEST(LongClusters, ALayoutShowsTheFirstMarksOfARun)
{
    const FontRef font = FontFromFamily("DejaVu Sans", 6, FontStyle {});
    auto draw = [&](const std::string& text, TextSize& size, std::vector<uint32_t>& pixels) {
        TextLayout t;
        t.SetText(text.c_str());
        t.SetFont(font, false, false);
        t.SetWidth(40);
        size = t.Measure();
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 40, 200);
        cairo_t* cr = cairo_create(s);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        t.Draw(cr, 0, 150, TextPaint {});
        cairo_destroy(cr);
        cairo_surface_flush(s);
        const auto* data = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(s));
        pixels.assign(data, data + cairo_image_surface_get_stride(s) / 4 * 200);
        cairo_surface_destroy(s);
        return t.Text().size();
    };
    TextSize whole, first;
    std::vector<uint32_t> wholePixels, firstPixels;
    EXPECT_EQ(draw("a" + Repeat(kAcute, 50000) + " z", whole, wholePixels), 1 + 60 + 2u);
    EXPECT_EQ(draw("a" + Repeat(kAcute, 30) + " z", first, firstPixels), 1 + 60 + 2u);
    EXPECT_DOUBLE_EQ(whole.width, first.width);
    EXPECT_DOUBLE_EQ(whole.height, first.height);
    EXPECT_TRUE(wholePixels == firstPixels);
    int ink = 0;
    for (uint32_t p : wholePixels)
        ink += (p & 0xFFFFFF) != 0xFFFFFF;
    EXPECT_GT(ink, 20);
}
