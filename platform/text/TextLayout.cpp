// Text layout through Pango on the calling thread's PangoCairo font map. See Text.h.

#include "platform/text/TextLayout.h"

#include "platform/system/TextLock.h"
#include "platform/text/LongClusters.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <utility>

namespace platform::text {

namespace {

int ToPango(double v)
{
    double units = v * PANGO_SCALE;
    if (units > 1e9)
        return 1000000000;
    return static_cast<int>(std::lround(units));
}

// The thread's font map, Pango's default for it, holds the fonts the thread used: it goes when
// the thread ends, under the lock as any font that goes.
void ReleaseThreadFontMap()
{
    pango_cairo_font_map_set_default(nullptr);
}

} // namespace

TextLayout::TextLayout()
{
    platform::system::TextLock lock;
    context_ = NewContext();
    layout_ = pango_layout_new(context_);
    // Pango's own start: the direction from the text, left aligned.
    align_ = Align::Natural;
    pango_layout_set_wrap(layout_, PANGO_WRAP_WORD_CHAR);
}

TextLayout::~TextLayout()
{
    platform::system::TextLock lock;
    ClearPieces();
    if (layout_)
        g_object_unref(layout_);
    for (PangoContext* c : { context_, ltrContext_, rtlContext_ })
        if (c)
            g_object_unref(c);
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
    // Of a long run of marks only what is shown is laid out (shaping the whole run would take
    // the square of its length).
    std::string shown;
    if (WithoutMarksPastShown(text_, shown)) {
        if (!givenDiffers_)
            given_ = text_;
        givenDiffers_ = true;
        text_ = std::move(shown);
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
    platform::system::TextLock lock;
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
    // The pieces of a long text take the alignment when they are made.
    limitsDirty_ = true;
    measured_ = false;
}

void TextLayout::SetWidth(double width)
{
    platform::system::TextLock lock;
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
    platform::system::TextLock lock;
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
    const bool changed = fontDirty_ || attributesDirty_ || limitsDirty_ || textDirty_;
    if (fontDirty_)
        pango_layout_set_font_description(layout_, font_->Description());
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
    if (changed)
        ChooseLaidOutText();
    fontDirty_ = attributesDirty_ = limitsDirty_ = textDirty_ = false;
}

namespace {

// Texts up to this many bytes are always laid out whole, in one Pango layout.
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

// The end of the first `count` characters from byte pos that take room on a line (a letter and
// the marks on it count once), at most end. A line of letters stacked with marks holds many times
// the bytes of a plain one.
size_t AfterCharacters(const std::string& text, size_t pos, size_t end, size_t count)
{
    const char* p = text.data() + pos;
    const char* stop = text.data() + end;
    for (size_t n = 0; p < stop; p = g_utf8_next_char(p)) {
        const unsigned char lead = static_cast<unsigned char>(*p);
        if (lead >= 0x80 && ExtendsCluster(g_utf8_get_char(p)))
            continue;
        if (n++ == count)
            break;
    }
    return std::min(size_t(p - text.data()), end);
}

// How many characters of text[begin, end) take room on a line.
size_t CharactersBetween(const std::string& text, size_t begin, size_t end)
{
    size_t n = 0;
    for (const char* p = text.data() + begin; p < text.data() + end; p = g_utf8_next_char(p))
        n += static_cast<unsigned char>(*p) < 0x80 || !ExtendsCluster(g_utf8_get_char(p));
    return n;
}

// The direction the first strong character of text[begin, end) gives (neutral when none).
PangoDirection FirstStrongDirection(const std::string& text, size_t begin, size_t end)
{
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    return pango_find_base_dir(text.data() + begin, static_cast<int>(end - begin));
    G_GNUC_END_IGNORE_DEPRECATIONS
}

// Whether text[begin, end) holds a character of a right-to-left script or one that turns the
// direction.
bool HasRightToLeft(const std::string& text, size_t begin, size_t end)
{
    return platform::text::HasRightToLeft(text.data() + begin, end - begin);
}

} // namespace

bool HasRightToLeft(const char* utf8, size_t bytes)
{
    const char* p = utf8;
    const char* stop = utf8 + bytes;
    while (p < stop) {
        if (static_cast<unsigned char>(*p) < 0x80) {
            ++p;
            continue;
        }
        const gunichar c = g_utf8_get_char_validated(p, stop - p);
        if (c == gunichar(-1) || c == gunichar(-2)) {
            ++p; // a byte that is no character
            continue;
        }
        if ((c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF)
            || (c >= 0xFE70 && c <= 0xFEFF) || (c >= 0x10800 && c <= 0x10FFF)
            || (c >= 0x1E800 && c <= 0x1EFFF) || c == 0x200F || (c >= 0x202A && c <= 0x202E)
            || (c >= 0x2066 && c <= 0x2069))
            return true;
        p = g_utf8_next_char(p);
    }
    return false;
}

PangoContext* TextLayout::NewContext()
{
    platform::system::TextLock lock;
    // Each thread has its own default font map, so layouts of several threads never share one.
    platform::system::TextLock::ReleaseAtThreadEnd(ReleaseThreadFontMap);
    PangoContext* context = pango_font_map_create_context(pango_cairo_font_map_get_default());
    // Outlines unhinted and metrics unrounded: sizes scale linearly with the font size and do
    // not depend on the transform the text is drawn under.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(context, options);
    cairo_font_options_destroy(options);
    pango_context_set_round_glyph_positions(context, FALSE);
    return context;
}

void TextLayout::ChooseLaidOutText()
{
    measured_ = false;
    const size_t all = text_.size();
    if (ellipsize_ || !(height_ > 0) || !(width_ > 0) || all <= kAlwaysWhole) {
        if (!pieces_.empty()) {
            ClearPieces();
            ++rebuilds_;
        }
        // Pango takes at most 2^31 - 1 bytes.
        const size_t bytes = CharacterStart(text_, std::min<size_t>(all, INT_MAX));
        if (textDirty_ || laidOut_ != bytes || !layoutHoldsText_) {
            pango_layout_set_text(layout_, text_.data(), static_cast<int>(bytes));
            layoutHoldsText_ = true;
        }
        laidOut_ = bytes;
        return;
    }
    if (layoutHoldsText_) {
        pango_layout_set_text(layout_, "", 0);
        layoutHoldsText_ = false;
    }
    LayOutPieces();
    ++rebuilds_;
}

// A paragraph of thousands of characters takes Pango long to lay out, and a word that must be
// broken between characters takes it time that grows with the square of the paragraph's length
// (it shapes the rest of the paragraph again for every line). A box shows only the lines that fit
// its height. So a long text is laid out in pieces, each from the start of one of its lines and
// ending in its paragraph: a piece gives the lines Pango gives for the whole text but its last,
// which may be cut by the piece's end and which the next piece starts with, until the box is
// full. A paragraph's direction (that of its first strong character, and with the direction from
// the text, that of the paragraph before when it has none) is given to each of its pieces.
//
// How right-to-left text and the characters around it are ordered depends on the text before
// them in the paragraph, so a paragraph with right-to-left characters is laid out from its start
// only: as far as the box shows it and two lines more.
void TextLayout::LayOutPieces()
{
    ClearPieces();
    const size_t all = text_.size();
    const int limit = ToPango(height_);
    // The first piece of a paragraph holds about two lines of characters half an em wide (a
    // letter with its marks counts once), each next one a quarter more than the lines before it
    // held: the smaller the pieces, the less Pango shapes again, as it shapes the rest of a piece
    // again for each of its lines and the last line again in the next piece (a piece that gives
    // too few lines is made again twice as long).
    const double em = std::max(0.001, double(font_->Size()));
    const size_t guess = std::max<size_t>(64, size_t(2 * std::min(width_ / (em / 2) + 1, 1e6)));
    size_t nextSize = guess;
    size_t pos = 0; // where the next piece starts: the start of a line
    size_t paragraphEnd = 0, nextParagraph = 0;
    bool paragraphStart = true, rightToLeft = false, mixed = false;
    PangoDirection previous = PANGO_DIRECTION_LTR;
    int top = 0, count = 0, widest = 0, bottom = 0;
    for (bool done = false; !done;) {
        if (paragraphStart) {
            gint delimiter = 0, next = 0;
            pango_find_paragraph_boundary(text_.data() + pos,
                static_cast<gint>(std::min<size_t>(all - pos, INT_MAX)), &delimiter, &next);
            paragraphEnd = pos + size_t(delimiter);
            nextParagraph = pos + size_t(next);
            PangoDirection d = FirstStrongDirection(text_, pos, paragraphEnd);
            if (d == PANGO_DIRECTION_NEUTRAL)
                d = align_ == Align::Natural ? previous : PANGO_DIRECTION_LTR;
            previous = d;
            rightToLeft = d == PANGO_DIRECTION_RTL;
            mixed = rightToLeft || HasRightToLeft(text_, pos, paragraphEnd);
            paragraphStart = false;
            nextSize = guess;
        }
        for (size_t size = mixed ? guess : nextSize;; size *= 2) {
            size_t end = AfterCharacters(text_, pos, paragraphEnd, size);
            if (end <= pos)
                end = std::min(paragraphEnd,
                    static_cast<size_t>(g_utf8_next_char(text_.data() + pos) - text_.data()));
            const bool rest = end >= paragraphEnd; // the rest of the paragraph
            PangoLayout* layout = NewPiece(rightToLeft, text_.data() + pos, end - pos);
            const int n = pango_layout_get_line_count(layout);
            // The lines at the piece's end that may differ from the whole text's.
            const int spare = rest ? 0 : (mixed ? 2 : 1);
            if (n <= spare) {
                g_object_unref(layout);
                continue;
            }
            Piece piece { layout, 0, top };
            int lineTop = top, pieceWidest = widest, pieceBottom = bottom, nextStart = 0;
            bool full = false;
            PangoLayoutIter* it = pango_layout_get_iter(layout);
            do {
                PangoRectangle logical;
                pango_layout_iter_get_line_extents(it, nullptr, &logical);
                lineTop = top + logical.y;
                if (piece.lines == n - spare) {
                    nextStart = pango_layout_iter_get_index(it);
                    break;
                }
                const int lineBottom = lineTop + logical.height;
                if (count + piece.lines > 0 && lineBottom > limit + 2) {
                    full = true;
                    break;
                }
                ++piece.lines;
                pieceWidest = std::max(pieceWidest, logical.width);
                pieceBottom = lineTop = lineBottom;
            } while (pango_layout_iter_next_line(it));
            pango_layout_iter_free(it);
            if (!full && !rest && mixed) {
                // Not yet as far as the box shows: again from the paragraph's start, longer.
                g_object_unref(layout);
                continue;
            }
            if (piece.lines > 0)
                pieces_.push_back(piece);
            else
                g_object_unref(layout);
            count += piece.lines;
            widest = pieceWidest;
            bottom = pieceBottom;
            laidOut_ = end;
            top = lineTop;
            if (full) {
                done = true;
            } else if (!rest) {
                if (piece.lines > 0) {
                    const size_t perLine = CharactersBetween(text_, pos, pos + size_t(nextStart))
                        / size_t(piece.lines);
                    nextSize = perLine + perLine / 4 + 2;
                }
                pos += size_t(nextStart);
            } else if (paragraphEnd >= all) {
                done = true; // the text's last paragraph
            } else {
                // After the last paragraph's delimiter, an empty paragraph follows.
                pos = nextParagraph;
                paragraphStart = true;
            }
            break;
        }
    }
    visibleLines_ = count;
    visibleWidth_ = double(widest) / PANGO_SCALE;
    visibleHeight_ = double(bottom) / PANGO_SCALE;
    measured_ = true;
}

PangoLayout* TextLayout::NewPiece(bool rightToLeft, const char* text, size_t bytes)
{
    // A piece may start inside a paragraph: its direction is given, not found in it.
    PangoContext*& context = rightToLeft ? rtlContext_ : ltrContext_;
    if (!context) {
        context = NewContext();
        pango_context_set_base_dir(
            context, rightToLeft ? PANGO_DIRECTION_RTL : PANGO_DIRECTION_LTR);
    }
    PangoLayout* layout = pango_layout_new(context);
    pango_layout_set_font_description(layout, font_->Description());
    pango_layout_set_attributes(layout, pango_layout_get_attributes(layout_));
    pango_layout_set_wrap(layout, wrap_ == Wrap::Char ? PANGO_WRAP_CHAR : PANGO_WRAP_WORD_CHAR);
    pango_layout_set_width(layout, pango_layout_get_width(layout_));
    pango_layout_set_auto_dir(layout, FALSE);
    PangoAlignment alignment = PANGO_ALIGN_LEFT;
    if (align_ == Align::Center)
        alignment = PANGO_ALIGN_CENTER;
    else if (align_ == Align::Right || (align_ == Align::Natural && rightToLeft))
        alignment = PANGO_ALIGN_RIGHT;
    pango_layout_set_alignment(layout, alignment);
    pango_layout_set_text(layout, text, static_cast<int>(bytes));
    return layout;
}

void TextLayout::ClearPieces()
{
    for (Piece& p : pieces_)
        g_object_unref(p.layout);
    pieces_.clear();
}

size_t TextLayout::LaidOutBytes()
{
    platform::system::TextLock lock;
    Update();
    return laidOut_;
}

unsigned TextLayout::Changes() const
{
    return pango_layout_get_serial(layout_) + rebuilds_;
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

bool TextLayout::MeasuredAsItStands()
{
    platform::system::TextLock lock;
    if (!measured_ || !pieces_.empty() || !layoutHoldsText_ || laidOut_ != text_.size())
        return false;
    // Ellipsizing under a height limit drops the lines below it in Pango already.
    if (ellipsize_ && height_ > 0)
        return false;
    const int lines = pango_layout_get_line_count(layout_);
    if (pango_layout_is_wrapped(layout_) || pango_layout_is_ellipsized(layout_)
        || visibleLines_ != lines || lines < 1)
        return false;
    // And the lines hold all of the text.
    PangoLayoutLine* last = pango_layout_get_line_readonly(layout_, lines - 1);
    return last && size_t(last->start_index) + size_t(last->length) >= laidOut_;
}

TextSize TextLayout::Measure()
{
    platform::system::TextLock lock;
    TextSize size;
    size.glyphs = !text_.empty();
    size.lines = VisibleLines(&size.width, &size.height);
    return size;
}

void TextLayout::Draw(cairo_t* cr, double x, double y, const TextPaint& paint)
{
    platform::system::TextLock lock;
    if (!cr || text_.empty())
        return;
    const int lines = VisibleLines(nullptr, nullptr);
    cairo_save(cr);
    cairo_new_path(cr);
    if (pieces_.empty() && lines >= pango_layout_get_line_count(layout_)) {
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
        const std::vector<Piece> whole { Piece { layout_, lines, 0 } };
        for (const Piece& piece : pieces_.empty() ? whole : pieces_) {
            PangoLayoutIter* it = pango_layout_get_iter(piece.layout);
            int n = 0;
            do {
                PangoRectangle logical;
                pango_layout_iter_get_line_extents(it, nullptr, &logical);
                double bx = x + double(logical.x) / PANGO_SCALE;
                double by
                    = y + double(piece.top + pango_layout_iter_get_baseline(it)) / PANGO_SCALE;
                PangoLayoutLine* line = pango_layout_iter_get_line_readonly(it);
                cairo_move_to(cr, bx, by);
                if (paint.outline)
                    pango_cairo_layout_line_path(cr, line);
                else
                    pango_cairo_show_layout_line(cr, line);
            } while (++n < piece.lines && pango_layout_iter_next_line(it));
            pango_layout_iter_free(it);
        }
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
