// Text layout through Pango on the calling thread's PangoCairo font map. See Text.h.

#include "platform/text/TextLayout.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>

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
    text_ = utf8 ? utf8 : "";
    // Pango wants valid UTF-8: invalid bytes become U+FFFD.
    if (!g_utf8_validate(text_.data(), static_cast<gssize>(text_.size()), nullptr)) {
        gchar* fixed = g_utf8_make_valid(text_.data(), static_cast<gssize>(text_.size()));
        text_ = fixed;
        g_free(fixed);
    }
    pango_layout_set_text(layout_, text_.data(), static_cast<int>(text_.size()));
    dirty_ = true;
}

void TextLayout::SetFont(const FontRef& font, bool underline, bool strikeout)
{
    font_ = font ? font : SystemFont(kSystemFontSize, false, false);
    underline_ = underline;
    strikeout_ = strikeout;
    dirty_ = true;
}

void TextLayout::SetAlignment(Align align)
{
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
}

void TextLayout::SetWidth(double width)
{
    // 2^31 and more is the unbounded box of painted controls: no width at all, never a width
    // scaled to (and clamped in) Pango units.
    if (width >= 2147483648.0)
        width = 0;
    width_ = width > 0 && std::isfinite(width) ? width : 0;
    pango_layout_set_width(layout_, width_ > 0 ? std::max(ToPango(width_), 1) : -1);
}

void TextLayout::SetHeight(double height)
{
    height_ = height > 0 && std::isfinite(height) ? height : 0;
    dirty_ = true;
}

void TextLayout::SetWrap(Wrap wrap)
{
    pango_layout_set_wrap(layout_, wrap == Wrap::Char ? PANGO_WRAP_CHAR : PANGO_WRAP_WORD_CHAR);
}

void TextLayout::SetEllipsizeEnd(bool on)
{
    ellipsize_ = on;
    dirty_ = true;
}

void TextLayout::Update()
{
    if (!dirty_)
        return;
    if (!font_)
        font_ = SystemFont(kSystemFontSize, false, false);
    pango_layout_set_font_description(layout_, font_->Description());
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
    if (ellipsize_) {
        pango_layout_set_ellipsize(layout_, PANGO_ELLIPSIZE_END);
        // A positive height keeps the lines that fit and ellipsizes the last; -1 is one line.
        pango_layout_set_height(layout_, height_ > 0 ? std::max(ToPango(height_), 1) : -1);
    } else {
        pango_layout_set_ellipsize(layout_, PANGO_ELLIPSIZE_NONE);
        pango_layout_set_height(layout_, -1);
    }
    dirty_ = false;
}

// The lines that fit the height limit (at least the first), their widest logical width and the
// bottom of the last one, in user units.
int TextLayout::VisibleLines(double* width, double* height)
{
    Update();
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
