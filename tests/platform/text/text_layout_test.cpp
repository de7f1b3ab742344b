// Text layouts kept between measures and draws: what does not change is not laid out again, what
// changes is; a long paragraph in a box is laid out only as far as the box shows it, and the
// lines it shows are those Pango gives for the whole text (Pango used directly as the reference).
#include "platform/text/Text.h"

#include <cairo.h>
#include <gtest/gtest.h>
#include <pango/pangocairo.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace platform::text;

namespace {

FontRef Sans(float size)
{
    return FontFromFamily("DejaVu Sans", size, FontStyle {});
}

// An opaque white image to draw black text into.
class Canvas {
public:
    Canvas(int w, int h)
        : surface_(cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h))
        , cr_(cairo_create(surface_))
    {
        cairo_set_source_rgb(cr_, 1, 1, 1);
        cairo_paint(cr_);
    }
    ~Canvas()
    {
        cairo_destroy(cr_);
        cairo_surface_destroy(surface_);
    }
    cairo_t* cr() { return cr_; }
    std::vector<uint32_t> Pixels()
    {
        cairo_surface_flush(surface_);
        const int w = cairo_image_surface_get_width(surface_);
        const int h = cairo_image_surface_get_height(surface_);
        const int stride = cairo_image_surface_get_stride(surface_);
        const unsigned char* data = cairo_image_surface_get_data(surface_);
        std::vector<uint32_t> out;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                out.push_back(reinterpret_cast<const uint32_t*>(data + y * stride)[x] & 0xFFFFFF);
        return out;
    }
    // The leftmost and rightmost columns with ink; false when there is none.
    bool InkColumns(int& left, int& right)
    {
        const int w = cairo_image_surface_get_width(surface_);
        std::vector<uint32_t> px = Pixels();
        left = w;
        right = -1;
        for (size_t i = 0; i < px.size(); ++i)
            if (px[i] != 0xFFFFFF) {
                left = std::min(left, int(i % size_t(w)));
                right = std::max(right, int(i % size_t(w)));
            }
        return right >= 0;
    }

private:
    cairo_surface_t* surface_;
    cairo_t* cr_;
};

struct Reference {
    double width = 0, height = 0;
    int lines = 0;
};

// What a box of the width and height shows of the text, laid out whole by Pango with the same
// font options the layouts use, the lines that fit drawn at their baselines.
Reference DrawWithPango(cairo_t* cr, const std::string& text, const FontRef& font, double width,
    double height, bool natural)
{
    PangoContext* context = pango_font_map_create_context(pango_cairo_font_map_get_default());
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(context, options);
    cairo_font_options_destroy(options);
    pango_context_set_round_glyph_positions(context, FALSE);
    PangoLayout* layout = pango_layout_new(context);
    pango_layout_set_font_description(layout, font->Description());
    PangoAttrList* attrs = pango_attr_list_new();
    pango_attr_list_insert(attrs, pango_attr_insert_hyphens_new(FALSE));
    pango_layout_set_attributes(layout, attrs);
    pango_attr_list_unref(attrs);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    pango_layout_set_auto_dir(layout, natural);
    pango_layout_set_width(layout, int(width * PANGO_SCALE + 0.5));
    pango_layout_set_text(layout, text.data(), int(text.size()));
    Reference r;
    int widest = 0, bottom = 0;
    const int limit = int(height * PANGO_SCALE + 0.5);
    cairo_set_source_rgb(cr, 0, 0, 0);
    PangoLayoutIter* it = pango_layout_get_iter(layout);
    do {
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(it, nullptr, &logical);
        if (r.lines > 0 && logical.y + logical.height > limit + 2)
            break;
        ++r.lines;
        widest = std::max(widest, logical.width);
        bottom = logical.y + logical.height;
        cairo_move_to(cr, double(logical.x) / PANGO_SCALE,
            double(pango_layout_iter_get_baseline(it)) / PANGO_SCALE);
        pango_cairo_show_layout_line(cr, pango_layout_iter_get_line_readonly(it));
    } while (pango_layout_iter_next_line(it));
    pango_layout_iter_free(it);
    g_object_unref(layout);
    g_object_unref(context);
    r.width = double(widest) / PANGO_SCALE;
    r.height = double(bottom) / PANGO_SCALE;
    return r;
}

std::string Letters(size_t n, unsigned seed)
{
    std::mt19937 random(seed);
    std::string s(n, 'a');
    for (char& c : s)
        c = char('a' + random() % 26);
    return s;
}

} // namespace

TEST(TextLayout, WhatDoesNotChangeIsNotLaidOutAgain)
{
    TextLayout t;
    t.SetText("Skivetikett med text");
    t.SetFont(Sans(12), false, false);
    t.SetAlignment(Align::Center);
    t.SetWidth(80);
    t.SetHeight(60);
    const TextSize first = t.Measure();
    Canvas canvas(100, 80);
    t.Draw(canvas.cr(), 0, 0, TextPaint {});
    const unsigned changes = t.Changes();
    for (int i = 0; i < 3; ++i) {
        // The same values again, the font as a new object of the same description.
        t.SetText("Skivetikett med text");
        t.SetFont(Sans(12), false, false);
        t.SetAlignment(Align::Center);
        t.SetWidth(80);
        t.SetHeight(60);
        t.SetWrap(Wrap::Word);
        t.SetEllipsizeEnd(false);
        const TextSize again = t.Measure();
        EXPECT_EQ(again.width, first.width);
        EXPECT_EQ(again.lines, first.lines);
        t.Draw(canvas.cr(), 0, 0, TextPaint {});
    }
    EXPECT_EQ(t.Changes(), changes);

    // Invalid UTF-8 given twice: made valid once.
    t.SetText("a\xC3(b");
    EXPECT_EQ(t.Text(), "a\xEF\xBF\xBD(b");
    t.Measure();
    const unsigned invalid = t.Changes();
    t.SetText("a\xC3(b");
    t.Measure();
    EXPECT_EQ(t.Changes(), invalid);
}

TEST(TextLayout, WhatChangesIsMeasuredAfresh)
{
    TextLayout t;
    t.SetText("ord ord ord ord ord ord");
    t.SetFont(Sans(10), false, false);
    t.SetWidth(400);
    t.SetHeight(400);
    const TextSize one = t.Measure();
    EXPECT_EQ(one.lines, 1);

    t.SetWidth(30); // narrower: a word a line
    const TextSize narrow = t.Measure();
    EXPECT_GT(narrow.lines, 2);
    EXPECT_LT(narrow.width, one.width);

    t.SetHeight(narrow.height / narrow.lines * 1.5); // only the first line fits
    EXPECT_EQ(t.Measure().lines, 1);
    t.SetHeight(400);
    EXPECT_EQ(t.Measure().lines, narrow.lines);

    t.SetFont(Sans(20), false, false); // larger: taller lines
    EXPECT_GT(t.Measure().height, narrow.height * 1.5);

    t.SetWidth(400);
    const TextSize line = t.Measure();
    EXPECT_EQ(line.lines, 1);
    t.SetText("ord");
    const TextSize word = t.Measure();
    EXPECT_EQ(word.lines, 1);
    EXPECT_LT(word.width, line.width / 4);

    // Underline changes no size, but the layout is made again with it.
    const unsigned before = t.Changes();
    t.SetFont(Sans(20), true, false);
    t.Measure();
    EXPECT_NE(t.Changes(), before);
}

TEST(TextLayout, ALongTextIsLaidOutAsFarAsItsBoxShowsIt)
{
    struct Case {
        const char* what;
        std::string text;
        size_t reference; // bytes Pango lays out for the reference
        bool natural = false;
    };
    // Words: Pango lays the whole text out quickly. One word: Pango's breaking by characters
    // takes too long for all of it, so the reference is a generous beginning.
    std::string words, paragraphs, hebrew;
    for (const char* w : { "skiva ", "etikett ", "med ", "en ", "text ", "om ", "allt " })
        for (int i = 0; i < 2000; ++i)
            words += w;
    for (int i = 0; i < 1500; ++i)
        paragraphs += i % 3 ? "skiva och etikett\n" : "\n";
    for (int i = 0; i < 2000; ++i)
        hebrew += i % 5 ? "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D " : "(12) abc ";
    const Case cases[] = {
        { "words", words, words.size() },
        { "one word", Letters(size_t(1) << 20, 1), 8192 },
        { "short and empty paragraphs", paragraphs, paragraphs.size() },
        { "right to left", hebrew, hebrew.size(), true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const FontRef font = Sans(4.2f);
        TextLayout t;
        t.SetText(c.text.c_str());
        t.SetFont(font, false, false);
        t.SetAlignment(c.natural ? Align::Natural : Align::Left);
        t.SetWidth(50);
        t.SetHeight(50);
        const TextSize size = t.Measure();
        EXPECT_LT(t.LaidOutBytes(), size_t(4096));
        EXPECT_EQ(t.Text().size(), c.text.size()); // the text itself stays whole
        Canvas ours(60, 60), pango(60, 60);
        t.Draw(ours.cr(), 0, 0, TextPaint {});
        const Reference r
            = DrawWithPango(pango.cr(), c.text.substr(0, c.reference), font, 50, 50, c.natural);
        EXPECT_EQ(size.lines, r.lines);
        EXPECT_DOUBLE_EQ(size.width, r.width);
        EXPECT_DOUBLE_EQ(size.height, r.height);
        EXPECT_TRUE(ours.Pixels() == pango.Pixels());
    }
}

// A one-point font in a box as large as a disc shows a few hundred thousand characters of a
// word that has to be broken between them: laid out in pieces, at once (Pango alone takes tens
// of seconds for it).
TEST(TextLayout, AVeryLongWordInSmallPrintIsLaidOutInPieces)
{
    const std::string text = Letters(size_t(1) << 20, 2);
    TextLayout t;
    t.SetText(text.c_str());
    t.SetFont(Sans(0.353f), false, false);
    t.SetAlignment(Align::Center);
    t.SetWidth(120);
    t.SetHeight(120);
    const TextSize size = t.Measure();
    EXPECT_GT(size.lines, 250);
    EXPECT_GT(t.LaidOutBytes(), size_t(150000));
    EXPECT_LT(t.LaidOutBytes(), text.size());
    EXPECT_LE(size.height, 120.0);
}

// With the direction taken from the text, a paragraph of digits whose first letter is Hebrew
// runs right to left: its lines are right-aligned though the box shows no letter.
TEST(TextLayout, TheDirectionOfACutParagraphComesFromAllOfIt)
{
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += "12 ";
    for (int i = 0; i < 50; ++i)
        text += "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D "; // shalom
    const FontRef font = Sans(5);
    TextLayout t;
    t.SetText(text.c_str());
    t.SetFont(font, false, false);
    t.SetAlignment(Align::Natural);
    t.SetWidth(60);
    t.SetHeight(30);
    Canvas ours(70, 40), pango(70, 40);
    t.Draw(ours.cr(), 0, 0, TextPaint {});
    DrawWithPango(pango.cr(), text, font, 60, 30, true);
    EXPECT_TRUE(ours.Pixels() == pango.Pixels());
    int left = 0, right = 0;
    ASSERT_TRUE(ours.InkColumns(left, right));
    EXPECT_GT(right, 55); // right-aligned in the 60-unit box
}
