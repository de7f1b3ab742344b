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
class TextLayout {
public:
    TextLayout();
    ~TextLayout();
    TextLayout(const TextLayout&) = delete;
    TextLayout& operator=(const TextLayout&) = delete;

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

private:
    void Update();
    int VisibleLines(double* width, double* height);

    PangoContext* context_ = nullptr;
    PangoLayout* layout_ = nullptr;
    std::string text_;
    FontRef font_;
    bool underline_ = false;
    bool strikeout_ = false;
    double width_ = 0;
    double height_ = 0;
    bool ellipsize_ = false;
    bool dirty_ = true;
};

// Splits UTF-8 text into what a reader sees as one character each (a letter with its combining
// marks, an emoji sequence): the text between two cursor positions. Invalid UTF-8 is split into
// single bytes where it is invalid.
std::vector<std::string> SplitIntoCharacters(const std::string& utf8);

} // namespace platform::text
