// Fonts are shared: every request for the same font answers one object, which goes when its last
// holder lets it go, also with threads making and dropping fonts at once.
#include "platform/text/Fonts.h"

#include <gtest/gtest.h>
#include <pango/pango.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using namespace platform::text;

namespace {

// The description Pango gets, as text ("DejaVu Sans Bold 12px"-like), to check it whole.
std::string Described(const Font& font)
{
    char* text = pango_font_description_to_string(font.Description());
    std::string out = text ? text : "";
    g_free(text);
    return out;
}

} // namespace

TEST(Fonts, TheSameRequestAnswersOneFont)
{
    FontRef a = FontFromFamily("DejaVu Sans", 12, FontStyle {});
    ASSERT_NE(a, nullptr);
    FontRef b = FontFromFamily("dejavusans", 12, FontStyle {}); // as fontconfig compares names
    EXPECT_EQ(a.get(), b.get());
    EXPECT_EQ(FontWithSize(*a, 12).get(), a.get());
    EXPECT_EQ(FontWithSize(*a, -12).get(), a.get()) << "a negative size counts as positive";

    // Anything that differs makes another font, and each keeps its own description.
    FontRef bigger = FontFromFamily("DejaVu Sans", 13, FontStyle {});
    FontStyle boldStyle;
    boldStyle.bold = true;
    FontRef bold = FontFromFamily("DejaVu Sans", 12, boldStyle);
    FontRef serif = FontFromFamily("DejaVu Serif", 12, FontStyle {});
    ASSERT_NE(bigger, nullptr);
    ASSERT_NE(bold, nullptr);
    ASSERT_NE(serif, nullptr);
    EXPECT_NE(bigger.get(), a.get());
    EXPECT_NE(bold.get(), a.get());
    EXPECT_NE(serif.get(), a.get());
    EXPECT_EQ(bigger->Size(), 13);
    EXPECT_TRUE(bold->Bold());
    EXPECT_EQ(pango_font_description_get_weight(bold->Description()), PANGO_WEIGHT_BOLD);
    EXPECT_EQ(pango_font_description_get_weight(a->Description()), PANGO_WEIGHT_NORMAL);
    EXPECT_EQ(FontWithBold(*a, true).get(), bold.get());

    // A family of another desktop answers with its own name, not the stand-in's font.
    FontRef lucida = FontFromFamily("Lucida Grande", 12, FontStyle {});
    ASSERT_NE(lucida, nullptr);
    EXPECT_EQ(lucida->Family(), "Lucida Grande");
    EXPECT_NE(lucida.get(), a.get());
}

TEST(Fonts, AFontLetGoIsMadeAfresh)
{
    std::string description;
    {
        FontRef a = FontFromFamily("DejaVu Sans Mono", 17, FontStyle {});
        ASSERT_NE(a, nullptr);
        description = Described(*a);
        FontRef smaller = FontWithSize(*a, 9);
        EXPECT_EQ(smaller->Size(), 9);
    }
    // Both are gone; asked again, they are whole fonts with the same descriptions.
    FontRef again = FontFromFamily("DejaVu Sans Mono", 17, FontStyle {});
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(Described(*again), description);
    EXPECT_EQ(again->Family(), "DejaVu Sans Mono");
    EXPECT_EQ(FontWithSize(*again, 9)->Size(), 9);
}

TEST(Fonts, ThreadsMakeAndDropSharedFontsSafely)
{
    // Each thread makes fonts of a few sizes over and over, keeps some and drops the rest, so
    // that fonts go while other threads ask for the same ones.
    std::atomic<int> wrong { 0 };
    std::vector<std::thread> threads;
    std::vector<std::vector<FontRef>> kept(6);
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([t, &wrong, &kept] {
            for (int i = 0; i < 4000; ++i) {
                const float size = float(8 + (i + t) % 5);
                FontRef f = FontFromFamily("DejaVu Sans", size, FontStyle {});
                if (!f || f->Size() != size || !f->Description()
                    || pango_font_description_get_size(f->Description()) != int(size * PANGO_SCALE))
                    ++wrong;
                if (i % 997 == 0)
                    kept[size_t(t)].push_back(f);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
    // Fonts of the same size held at the same time are one object.
    for (auto& list : kept)
        for (const FontRef& f : list)
            EXPECT_EQ(FontFromFamily("DejaVu Sans", f->Size(), FontStyle {}).get(), f.get());
}
