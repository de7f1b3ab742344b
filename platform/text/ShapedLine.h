// One line of text shaped whole and cut into its clusters, for text set along a path. See Text.h.
#pragma once

#include "platform/text/Fonts.h"
#include "platform/text/TextLayout.h"

#include <cstddef>
#include <string>
#include <vector>

typedef struct _cairo cairo_t;
typedef struct _PangoFont PangoFont;
typedef struct _PangoLayout PangoLayout;

namespace platform::text {

// A glyph of a cluster: its id in its font and its origin, in user units from the cluster's
// left end on the baseline.
struct ShapedGlyph {
    unsigned id = 0;
    double x = 0;
    double y = 0;
};

// A cluster: the characters that are shaped into one indivisible group of glyphs (a letter with
// its marks, a ligature).
struct ShapedCluster {
    size_t byteBegin = 0; // the cluster's characters in Text()
    size_t byteEnd = 0;
    double width = 0; // its advance
    bool rightToLeft = false; // of a right-to-left run
    std::vector<ShapedGlyph> glyphs; // left to right
};

// The text laid out by Pango as one line (line ends count as spaces) in the direction its first
// strong character gives: ordered by the Unicode bidirectional algorithm and shaped run by run,
// so Arabic letters take their joined forms. The clusters come in visual order, left to right,
// as the straight line shows them. A line belongs to the thread that made it.
class ShapedLine {
public:
    // Invalid UTF-8 is laid out made valid, and a long run of marks as far as it is shown
    // (LongClusters.h), as TextLayout does; Text() is what is laid out.
    ShapedLine(const char* utf8, const FontRef& font);
    ~ShapedLine();
    ShapedLine(const ShapedLine&) = delete;
    ShapedLine& operator=(const ShapedLine&) = delete;

    const std::string& Text() const { return text_; }
    const std::vector<ShapedCluster>& Clusters() const { return clusters_; }
    // The line's logical width and height, and its baseline below its top.
    double Width() const { return width_; }
    double Height() const { return height_; }
    double Baseline() const { return baseline_; }

    // Draws one cluster with the left end of its advance at x and the line's top at y, filled
    // (and outlined) as the paint says, underlined and struck out as the font's decorations are.
    void DrawCluster(cairo_t* cr, size_t index, double x, double y, const TextPaint& paint,
        bool underline, bool strikeout) const;

private:
    std::string text_;
    PangoLayout* layout_ = nullptr;
    std::vector<ShapedCluster> clusters_;
    std::vector<PangoFont*> fonts_; // the font of each cluster's run, held by the layout
    double width_ = 0, height_ = 0, baseline_ = 0;
};

} // namespace platform::text
