// One text layout, measured in user units and drawn into a cairo context. See Text.h.
#pragma once

#include "platform/text/Fonts.h"

#include <string>
#include <vector>

typedef struct _cairo cairo_t;
typedef struct _PangoContext PangoContext;
typedef struct _PangoLayout PangoLayout;

namespace platform::text {

enum class Align { Left, Center, Right, Natural };
enum class Wrap { Word, Char };

struct TextSize {
    double width = 0;
    double height = 0;
    int lines = 0; // lines laid out (those that fit the height limit)
    bool glyphs = false; // the text has at least one character
};

// Colours are straight red, green, blue, alpha from 0 to 1.
struct TextPaint {
    double fill[4] = { 0, 0, 0, 1 };
    bool outline = false;
    double stroke[4] = { 0, 0, 0, 1 };
    double strokeWidth = 0; // in user units
};

// A layout belongs to the thread that made it: it uses that thread's font map. Layouts of
// different threads may be used at the same time.
//
// A layout is made once and kept: the setters change nothing when given what the layout already
// has, and measuring or drawing an unchanged layout lays nothing out again. The layout does not
// depend on the transform it is drawn under (metrics are unhinted), so one layout serves every
// scale. A long text in a box of limited height is laid out only as far as the box shows it, a
// few lines at a time: the lines are those Pango gives for the whole text.
class TextLayout {
public:
    TextLayout();
    ~TextLayout();
    TextLayout(const TextLayout&) = delete;
    TextLayout& operator=(const TextLayout&) = delete;

    // Invalid UTF-8 is laid out made valid, and a long run of marks as far as it is shown
    // (LongClusters.h); Text() is what is laid out.
    void SetText(const char* utf8);
    const std::string& Text() const { return text_; }
    // The font (null: the system font at its size), underline and strikeout.
    void SetFont(const FontRef& font, bool underline, bool strikeout);
    void SetAlignment(Align align);
    // Lines break at this width (0 or less: no limit).
    void SetWidth(double width);
    // Lines below this height are not laid out, though the first line always is (0 or less: no
    // limit). With the ellipsis on, the last line that fits ends in an ellipsis instead.
    void SetHeight(double height);
    void SetWrap(Wrap wrap);
    void SetEllipsizeEnd(bool on);

    TextSize Measure();
    // Draws the lines laid out with their top-left corner at (x, y) in the context's user space.
    void Draw(cairo_t* cr, double x, double y, const TextPaint& paint);

    // The bytes of the text handed to Pango at the last layout: all of it, or as far as the box
    // shows it.
    size_t LaidOutBytes();
    // A number that grows with every change to the layout; each change has the text laid out
    // (shaped) again at the next measure or draw, so while it stays, nothing is.
    unsigned Changes() const;
    // Whether the text as it was last measured is laid out as it stands: whole, no line broken
    // at the width, nothing ellipsized and no line left out for the height. Such a layout has
    // the same lines, and so the same size, under any width and height it fits in.
    bool MeasuredAsItStands();

    // A new Pango context of this thread's font map with the font options every layout uses
    // (outlines unhinted, metrics unrounded); the caller unrefs it.
    static PangoContext* NewContext();

private:
    // A piece of a long text, laid out on its own from the start of one of the text's lines: the
    // first `lines` of its lines are the text's, their tops `top` below the text's top (Pango
    // units).
    struct Piece {
        PangoLayout* layout = nullptr;
        int lines = 0;
        int top = 0;
    };

    void Update();
    void ChooseLaidOutText();
    void LayOutPieces();
    PangoLayout* NewPiece(bool rightToLeft, const char* text, size_t bytes);
    void ClearPieces();
    int VisibleLines(double* width, double* height);
    int CountVisibleLines(double* width, double* height);

    PangoContext* context_ = nullptr;
    // The contexts of pieces, of a direction given (made for the first piece of each).
    PangoContext* ltrContext_ = nullptr;
    PangoContext* rtlContext_ = nullptr;
    PangoLayout* layout_ = nullptr;
    std::vector<Piece> pieces_; // a long text's pieces; none: layout_ holds all of the text
    unsigned rebuilds_ = 0;
    std::string text_;
    // What SetText was given when it differs from text_ (invalid UTF-8 made valid, marks left
    // out).
    std::string given_;
    bool givenDiffers_ = false;
    FontRef font_;
    bool underline_ = false;
    bool strikeout_ = false;
    Align align_ = Align::Left;
    Wrap wrap_ = Wrap::Word;
    double width_ = 0;
    double height_ = 0;
    bool ellipsize_ = false;
    // What has to be handed to Pango again before the next measure or draw.
    bool fontDirty_ = true;
    bool attributesDirty_ = true;
    bool limitsDirty_ = true;
    bool textDirty_ = true;
    size_t laidOut_ = 0; // bytes of text_ handed to Pango
    bool layoutHoldsText_ = false; // layout_ holds text_ (not so while pieces hold it)
    // The lines that fit, measured once per layout.
    bool measured_ = false;
    int visibleLines_ = 0;
    double visibleWidth_ = 0;
    double visibleHeight_ = 0;
};

// Splits UTF-8 text into what a reader sees as one character each (a letter with its combining
// marks, an emoji sequence): the text between two cursor positions. Invalid UTF-8 is split into
// single bytes where it is invalid.
std::vector<std::string> SplitIntoCharacters(const std::string& utf8);

// Whether the UTF-8 text holds a character of a right-to-left script or one that turns the
// direction (right-to-left marks, embeddings, overrides and isolates).
bool HasRightToLeft(const char* utf8, size_t bytes);

} // namespace platform::text
