// One line shaped whole by Pango and cut into clusters. See ShapedLine.h.

#include "platform/text/ShapedLine.h"

#include "platform/system/TextLock.h"
#include "platform/text/LongClusters.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace platform::text {

ShapedLine::ShapedLine(const char* utf8, const FontRef& font)
{
    text_ = utf8 ? utf8 : "";
    if (!g_utf8_validate(text_.data(), static_cast<gssize>(text_.size()), nullptr)) {
        gchar* fixed = g_utf8_make_valid(text_.data(), static_cast<gssize>(text_.size()));
        text_ = fixed;
        g_free(fixed);
    }
    std::string shown;
    if (WithoutMarksPastShown(text_, shown))
        text_ = std::move(shown);
    // Pango takes at most 2^31 - 1 bytes.
    if (text_.size() > size_t(INT_MAX)) {
        const char* end = g_utf8_find_prev_char(text_.data(), text_.data() + INT_MAX);
        text_.resize(end ? size_t(end - text_.data()) : 0);
    }
    // One line: line ends stand as spaces (the same number of bytes, so the indices hold).
    std::replace_if(
        text_.begin(), text_.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');

    platform::system::TextLock lock;
    PangoContext* context = TextLayout::NewContext();
    layout_ = pango_layout_new(context);
    g_object_unref(context); // the layout holds it
    const FontRef f = font ? font : SystemFont(kSystemFontSize, false, false);
    pango_layout_set_font_description(layout_, f->Description());
    pango_layout_set_single_paragraph_mode(layout_, TRUE);
    pango_layout_set_text(layout_, text_.data(), static_cast<int>(text_.size()));

    PangoRectangle logical;
    pango_layout_get_extents(layout_, nullptr, &logical);
    width_ = double(logical.width) / PANGO_SCALE;
    height_ = double(logical.height) / PANGO_SCALE;
    baseline_ = double(pango_layout_get_baseline(layout_)) / PANGO_SCALE;

    PangoLayoutLine* line = pango_layout_get_line_readonly(layout_, 0);
    if (!line)
        return;
    // The runs come left to right, and so do the glyphs of each, whatever its direction; a
    // cluster is a stretch of glyphs of the same characters.
    for (GSList* r = line->runs; r; r = r->next) {
        const auto* run = static_cast<const PangoGlyphItem*>(r->data);
        const PangoItem* item = run->item;
        const PangoGlyphString* glyphs = run->glyphs;
        const bool rightToLeft = item->analysis.level % 2 != 0;
        // Where each cluster's characters end: the next cluster's start in the text.
        std::vector<int> starts(glyphs->log_clusters, glyphs->log_clusters + glyphs->num_glyphs);
        std::sort(starts.begin(), starts.end());
        starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
        auto endOf = [&](int start) {
            auto next = std::upper_bound(starts.begin(), starts.end(), start);
            return next == starts.end() ? item->length : *next;
        };
        for (int i = 0; i < glyphs->num_glyphs;) {
            const int start = glyphs->log_clusters[i];
            ShapedCluster cluster;
            cluster.byteBegin = size_t(item->offset + start);
            cluster.byteEnd = size_t(item->offset + endOf(start));
            cluster.rightToLeft = rightToLeft;
            int advance = 0;
            for (; i < glyphs->num_glyphs && glyphs->log_clusters[i] == start; ++i) {
                const PangoGlyphInfo& g = glyphs->glyphs[i];
                cluster.glyphs.push_back(
                    ShapedGlyph { g.glyph, double(advance + g.geometry.x_offset) / PANGO_SCALE,
                        double(g.geometry.y_offset) / PANGO_SCALE });
                advance += g.geometry.width;
            }
            cluster.width = double(advance) / PANGO_SCALE;
            clusters_.push_back(std::move(cluster));
            PangoFont* runFont = item->analysis.font;
            if (runFont)
                g_object_ref(runFont);
            fonts_.push_back(runFont);
        }
    }
}

ShapedLine::~ShapedLine()
{
    platform::system::TextLock lock;
    for (PangoFont* f : fonts_)
        if (f)
            g_object_unref(f);
    if (layout_)
        g_object_unref(layout_);
}

void ShapedLine::DrawCluster(cairo_t* cr, size_t index, double x, double y, const TextPaint& paint,
    bool underline, bool strikeout) const
{
    if (!cr || index >= clusters_.size() || !fonts_[index])
        return;
    platform::system::TextLock lock;
    const ShapedCluster& cluster = clusters_[index];
    PangoFont* font = fonts_[index];
    // The cluster's glyphs, each placed by its offset from the cluster's start.
    PangoGlyphString* glyphs = pango_glyph_string_new();
    pango_glyph_string_set_size(glyphs, static_cast<int>(cluster.glyphs.size()));
    for (size_t k = 0; k < cluster.glyphs.size(); ++k) {
        PangoGlyphInfo& g = glyphs->glyphs[k];
        g.glyph = cluster.glyphs[k].id;
        g.geometry.width = 0;
        g.geometry.x_offset = static_cast<int>(std::lround(cluster.glyphs[k].x * PANGO_SCALE));
        g.geometry.y_offset = static_cast<int>(std::lround(cluster.glyphs[k].y * PANGO_SCALE));
        g.attr.is_cluster_start = k == 0;
        glyphs->log_clusters[k] = 0;
    }
    const double baseline = y + baseline_;
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_set_source_rgba(cr, paint.fill[0], paint.fill[1], paint.fill[2], paint.fill[3]);
    cairo_move_to(cr, x, baseline);
    if (paint.outline)
        pango_cairo_glyph_string_path(cr, font, glyphs);
    else
        pango_cairo_show_glyph_string(cr, font, glyphs);
    pango_glyph_string_free(glyphs);
    // The decorations under and through the cluster, as the font places them.
    if (underline || strikeout) {
        if (!paint.outline)
            cairo_new_path(cr);
        PangoFontMetrics* metrics = pango_font_get_metrics(font, nullptr);
        auto bar = [&](int position, int thickness) {
            cairo_rectangle(cr, x, baseline - double(position) / PANGO_SCALE, cluster.width,
                std::max(double(thickness) / PANGO_SCALE, 0.0));
        };
        if (underline)
            bar(pango_font_metrics_get_underline_position(metrics),
                pango_font_metrics_get_underline_thickness(metrics));
        if (strikeout)
            bar(pango_font_metrics_get_strikethrough_position(metrics),
                pango_font_metrics_get_strikethrough_thickness(metrics));
        pango_font_metrics_unref(metrics);
        if (!paint.outline)
            cairo_fill(cr);
    }
    if (paint.outline) {
        // Glyphs filled, then outlined.
        cairo_fill_preserve(cr);
        cairo_set_source_rgba(
            cr, paint.stroke[0], paint.stroke[1], paint.stroke[2], paint.stroke[3]);
        cairo_set_line_width(cr, paint.strokeWidth);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
        cairo_stroke(cr);
    }
    cairo_restore(cr);
}

} // namespace platform::text
