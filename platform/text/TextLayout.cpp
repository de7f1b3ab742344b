// Text layout through Pango on the calling thread's PangoCairo font map. See Text.h.

#include "platform/text/TextLayout.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace platform::text {

namespace {

int ToPango(double v)
{
    double units = v * PANGO_SCALE;
    if (units > 1e9)
        return 1000000000;
    return static_cast<int>(std::lround(units));
}

} // namespace

TextLayout::TextLayout()
{
    // Each thread has its own default font map, so layouts of several threads never share one.
    PangoFontMap* map = pango_cairo_font_map_get_default();
    context_ = pango_font_map_create_context(map);
    // Outlines unhinted and metrics unrounded: sizes scale linearly with the font size and do
    // not depend on the transform the text is drawn under.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(context_, options);
    cairo_font_options_destroy(options);
    pango_context_set_round_glyph_positions(context_, FALSE);
    layout_ = pango_layout_new(context_);
    // Pango's own start: the direction from the text, left aligned.
    align_ = Align::Natural;
    pango_layout_set_wrap(layout_, PANGO_WRAP_WORD_CHAR);
}

TextLayout::~TextLayout()
{
    if (layout_)
        g_object_unref(layout_);
    if (context_)
        g_object_unref(context_);
}

void TextLayout::SetText(const char* utf8)
{
    const char* given = utf8 ? utf8 : "";
    const size_t n = std::strlen(given);
    const std::string& current = givenDiffers_ ? given_ : text_;
    if (n == current.size() && std::memcmp(given, current.data(), n) == 0)
        return;
    text_.assign(given, n);
    // Pango wants valid UTF-8: invalid bytes become U+FFFD.
    if (g_utf8_validate(text_.data(), static_cast<gssize>(text_.size()), nullptr)) {
        givenDiffers_ = false;
        std::string().swap(given_);
    } else {
        given_ = text_;
        givenDiffers_ = true;
        gchar* fixed = g_utf8_make_valid(text_.data(), static_cast<gssize>(text_.size()));
        text_ = fixed;
        g_free(fixed);
    }
    textDirty_ = true;
    measured_ = false;
}

void TextLayout::SetFont(const FontRef& font, bool underline, bool strikeout)
{
    FontRef f = font ? font : SystemFont(kSystemFontSize, false, false);
    const bool same = font_
        && (f == font_ || pango_font_description_equal(f->Description(), font_->Description()));
    if (!same) {
        font_ = std::move(f);
        fontDirty_ = true;
        limitsDirty_ = true;
        measured_ = false;
    }
    if (underline != underline_ || strikeout != strikeout_) {
        underline_ = underline;
        strikeout_ = strikeout;
        attributesDirty_ = true;
        measured_ = false;
    }
}

void TextLayout::SetAlignment(Align align)
{
    if (align == align_)
        return;
    align_ = align;
    switch (align) {
    case Align::Left:
        pango_layout_set_auto_dir(layout_, FALSE);
        pango_layout_set_alignment(layout_, PANGO_ALIGN_LEFT);
        break;
    case Align::Center:
        pango_layout_set_auto_dir(layout_, FALSE);
        pango_layout_set_alignment(layout_, PANGO_ALIGN_CENTER);
        break;
    case Align::Right:
        pango_layout_set_auto_dir(layout_, FALSE);
        pango_layout_set_alignment(layout_, PANGO_ALIGN_RIGHT);
        break;
    case Align::Natural:
        // Left for left-to-right paragraphs, right for right-to-left ones.
        pango_layout_set_auto_dir(layout_, TRUE);
        pango_layout_set_alignment(layout_, PANGO_ALIGN_LEFT);
        break;
    }
    // The direction of a paragraph may rest on text beyond what a box shows.
    limitsDirty_ = true;
    measured_ = false;
}

void TextLayout::SetWidth(double width)
{
    // 2^31 and more is the unbounded box of painted controls: no width at all, never a width
    // scaled to (and clamped in) Pango units.
    if (width >= 2147483648.0)
        width = 0;
    width = width > 0 && std::isfinite(width) ? width : 0;
    if (width == width_)
        return;
    width_ = width;
    pango_layout_set_width(layout_, width_ > 0 ? std::max(ToPango(width_), 1) : -1);
    limitsDirty_ = true;
    measured_ = false;
}

void TextLayout::SetHeight(double height)
{
    height = height > 0 && std::isfinite(height) ? height : 0;
    if (height == height_)
        return;
    height_ = height;
    limitsDirty_ = true;
    measured_ = false;
}

void TextLayout::SetWrap(Wrap wrap)
{
    if (wrap == wrap_)
        return;
    wrap_ = wrap;
    pango_layout_set_wrap(layout_, wrap == Wrap::Char ? PANGO_WRAP_CHAR : PANGO_WRAP_WORD_CHAR);
    limitsDirty_ = true;
    measured_ = false;
}

void TextLayout::SetEllipsizeEnd(bool on)
{
    if (on == ellipsize_)
        return;
    ellipsize_ = on;
    limitsDirty_ = true;
    measured_ = false;
}

void TextLayout::Update()
{
    if (!font_) {
        font_ = SystemFont(kSystemFontSize, false, false);
        fontDirty_ = true;
    }
    if (fontDirty_) {
        pango_layout_set_font_description(layout_, font_->Description());
        fontDirty_ = false;
    }
    if (attributesDirty_) {
        PangoAttrList* attrs = pango_attr_list_new();
        if (underline_)
            pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
        if (strikeout_)
            pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
        // A word broken because it is wider than the line is broken as it stands: no hyphen is
        // added.
        pango_attr_list_insert(attrs, pango_attr_insert_hyphens_new(FALSE));
        pango_layout_set_attributes(layout_, attrs);
        pango_attr_list_unref(attrs);
        attributesDirty_ = false;
    }
    if (limitsDirty_) {
        if (ellipsize_) {
            pango_layout_set_ellipsize(layout_, PANGO_ELLIPSIZE_END);
            // A positive height keeps the lines that fit and ellipsizes the last; -1 is one line.
            pango_layout_set_height(layout_, height_ > 0 ? std::max(ToPango(height_), 1) : -1);
        } else {
            pango_layout_set_ellipsize(layout_, PANGO_ELLIPSIZE_NONE);
            pango_layout_set_height(layout_, -1);
        }
    }
    if (textDirty_ || limitsDirty_)
        ChooseLaidOutText();
    limitsDirty_ = false;
}

namespace {

// Texts up to this many bytes are always laid out whole.
constexpr size_t kAlwaysWhole = 4096;

// The start of the character at or before byte n (n itself when it is the end).
size_t CharacterStart(const std::string& text, size_t n)
{
    if (n >= text.size())
        return text.size();
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    return n;
}

// The byte after `count` characters from the start (the end when the text is shorter).
size_t AfterCharacters(const std::string& text, size_t count)
{
    const char* p = text.data();
    const char* end = p + text.size();
    for (; count > 0 && p < end; --count)
        p = g_utf8_next_char(p);
    return std::min(static_cast<size_t>(p - text.data()), text.size());
}

bool IsParagraphEnd(char c)
{
    return c == '\n' || c == '\r';
}

// The direction the first strong character of text[begin, end) gives (neutral when none).
PangoDirection FirstStrongDirection(const std::string& text, size_t begin, size_t end)
{
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    return pango_find_base_dir(text.data() + begin, static_cast<int>(end - begin));
    G_GNUC_END_IGNORE_DEPRECATIONS
}

} // namespace

// A paragraph of thousands of characters takes Pango long to lay out (its breaking reshapes the
// rest of a paragraph for each line), while a box shows only the lines that fit its height. So a
// long text in a box of limited height is laid out from its start far enough to give the lines
// that fit and two more: those lines are then the lines of the whole text, as nothing after them
// bears on where they break. What is laid out grows from a guess by doubling.
void TextLayout::ChooseLaidOutText()
{
    const size_t all = text_.size();
    if (ellipsize_ || !(height_ > 0) || !(width_ > 0) || all <= kAlwaysWhole) {
        LayOut(all);
        return;
    }
    // A guess: the lines the height holds at one line per em and two more, of characters half an
    // em wide.
    const double em = std::max(0.001, double(font_->Size()));
    const double lines = std::min(height_ / em, 1e6) + 2;
    const double perLine = std::min(width_ / (em / 2), 1e6) + 1;
    size_t bytes = AfterCharacters(text_, std::max<size_t>(256, size_t(lines * perLine)));
    for (;;) {
        bytes = CharacterStart(text_, std::min<size_t>(bytes, INT_MAX));
        LayOut(bytes);
        if (bytes >= all || bytes >= size_t(INT_MAX))
            break;
        const int visible = CountVisibleLines(nullptr, nullptr);
        bool enough = visible + 2 <= pango_layout_get_line_count(layout_);
        if (enough && align_ == Align::Natural) {
            // The direction of the cut paragraph comes from its first strong character: it must
            // lie in what is laid out, unless the paragraph has none.
            size_t start = bytes;
            while (start > 0 && !IsParagraphEnd(text_[start - 1]))
                --start;
            if (FirstStrongDirection(text_, start, bytes) == PANGO_DIRECTION_NEUTRAL) {
                size_t stop = bytes;
                while (stop < all && !IsParagraphEnd(text_[stop]))
                    ++stop;
                enough = FirstStrongDirection(text_, bytes, stop) == PANGO_DIRECTION_NEUTRAL;
            }
        }
        if (enough)
            break;
        bytes = bytes > all / 2 ? all : bytes * 2;
    }
}

void TextLayout::LayOut(size_t bytes)
{
    if (!textDirty_ && bytes == laidOut_)
        return;
    pango_layout_set_text(layout_, text_.data(), static_cast<int>(bytes));
    laidOut_ = bytes;
    textDirty_ = false;
    measured_ = false;
}

unsigned TextLayout::Changes() const
{
    return pango_layout_get_serial(layout_);
}

size_t TextLayout::LaidOutBytes()
{
    Update();
    return laidOut_;
}

// The lines that fit the height limit (at least the first), their widest logical width and the
// bottom of the last one, in user units.
int TextLayout::CountVisibleLines(double* width, double* height)
{
    int count = 0;
    int maxWidth = 0, bottom = 0;
    int limit = height_ > 0 ? ToPango(height_) : 0;
    PangoLayoutIter* it = pango_layout_get_iter(layout_);
    do {
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(it, nullptr, &logical);
        int lineBottom = logical.y + logical.height;
        // A small tolerance keeps a line whose bottom lands on the limit after rounding.
        if (count > 0 && limit > 0 && lineBottom > limit + 2)
            break;
        ++count;
        maxWidth = std::max(maxWidth, logical.width);
        bottom = lineBottom;
    } while (pango_layout_iter_next_line(it));
    pango_layout_iter_free(it);
    if (width)
        *width = double(maxWidth) / PANGO_SCALE;
    if (height)
        *height = double(bottom) / PANGO_SCALE;
    return count;
}

int TextLayout::VisibleLines(double* width, double* height)
{
    Update();
    if (!measured_) {
        visibleLines_ = CountVisibleLines(&visibleWidth_, &visibleHeight_);
        measured_ = true;
    }
    if (width)
        *width = visibleWidth_;
    if (height)
        *height = visibleHeight_;
    return visibleLines_;
}

TextSize TextLayout::Measure()
{
    TextSize size;
    size.glyphs = !text_.empty();
    size.lines = VisibleLines(&size.width, &size.height);
    return size;
}

void TextLayout::Draw(cairo_t* cr, double x, double y, const TextPaint& paint)
{
    if (!cr || text_.empty())
        return;
    int lines = VisibleLines(nullptr, nullptr);
    int total = pango_layout_get_line_count(layout_);
    cairo_save(cr);
    cairo_new_path(cr);
    if (lines >= total) {
        cairo_move_to(cr, x, y);
        if (paint.outline)
            pango_cairo_layout_path(cr, layout_);
        else {
            cairo_set_source_rgba(cr, paint.fill[0], paint.fill[1], paint.fill[2], paint.fill[3]);
            pango_cairo_show_layout(cr, layout_);
        }
    } else {
        // Only the lines that fit: each line at its baseline.
        if (!paint.outline)
            cairo_set_source_rgba(cr, paint.fill[0], paint.fill[1], paint.fill[2], paint.fill[3]);
        PangoLayoutIter* it = pango_layout_get_iter(layout_);
        int n = 0;
        do {
            PangoRectangle logical;
            pango_layout_iter_get_line_extents(it, nullptr, &logical);
            double bx = x + double(logical.x) / PANGO_SCALE;
            double by = y + double(pango_layout_iter_get_baseline(it)) / PANGO_SCALE;
            PangoLayoutLine* line = pango_layout_iter_get_line_readonly(it);
            cairo_move_to(cr, bx, by);
            if (paint.outline)
                pango_cairo_layout_line_path(cr, line);
            else
                pango_cairo_show_layout_line(cr, line);
        } while (++n < lines && pango_layout_iter_next_line(it));
        pango_layout_iter_free(it);
    }
    if (paint.outline) {
        // Glyphs filled, then outlined.
        cairo_set_source_rgba(cr, paint.fill[0], paint.fill[1], paint.fill[2], paint.fill[3]);
        cairo_fill_preserve(cr);
        cairo_set_source_rgba(
            cr, paint.stroke[0], paint.stroke[1], paint.stroke[2], paint.stroke[3]);
        cairo_set_line_width(cr, paint.strokeWidth);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
        cairo_stroke(cr);
    }
    cairo_restore(cr);
}

namespace {

// Appends the characters of a valid UTF-8 run, cut at Pango's cursor positions.
void SplitValid(const char* text, size_t length, std::vector<std::string>& out)
{
    if (length == 0)
        return;
    const glong chars = g_utf8_strlen(text, static_cast<gssize>(length));
    std::vector<PangoLogAttr> attrs(static_cast<size_t>(chars) + 1);
    pango_get_log_attrs(text, static_cast<int>(length), -1, pango_language_get_default(),
        attrs.data(), static_cast<int>(attrs.size()));
    const char* start = text;
    const char* p = text;
    for (glong i = 0; i < chars; ++i) {
        p = g_utf8_next_char(p);
        if (attrs[static_cast<size_t>(i) + 1].is_cursor_position || i + 1 == chars) {
            out.emplace_back(start, static_cast<size_t>(p - start));
            start = p;
        }
    }
}

} // namespace

std::vector<std::string> SplitIntoCharacters(const std::string& utf8)
{
    std::vector<std::string> out;
    const char* text = utf8.data();
    size_t length = utf8.size();
    // Pango takes at most 2^31 - 1 bytes at a time; a valid run that long is split at a
    // character boundary.
    constexpr size_t kLargestRun = size_t(1) << 30;
    while (length > 0) {
        const char* end = nullptr;
        const size_t run = std::min(length, kLargestRun);
        g_utf8_validate(text, static_cast<gssize>(run), &end);
        size_t valid = static_cast<size_t>(end - text);
        if (valid == run && run < length) {
            // Back up to the start of the last whole character of a cut run.
            const char* last = g_utf8_find_prev_char(text, text + valid);
            valid = last ? static_cast<size_t>(last - text) : valid;
        }
        SplitValid(text, valid, out);
        text += valid;
        length -= valid;
        if (valid < run && length > 0) {
            out.emplace_back(text, 1);
            ++text;
            --length;
        }
    }
    return out;
}

} // namespace platform::text
