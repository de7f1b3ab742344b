// The common base of the window's GTK controls (buttons, labels, text fields): a view of a
// window object with a font of its own, given to the widget as its own style sheet, and the
// extra style (margins, borders) a control kind asks for.
#pragma once

#include "lfw/mac/cocoa/LCocoaViewBase.h"

#include <string>

// A control's font. Sizes are points (the layer's units).
struct LCocoaControlFont {
    std::string family; // empty: the system font
    double size = 0; // 0: the system font size
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;

    // The family and size that are drawn.
    std::string EffectiveFamily() const;
    double EffectiveSize() const;
};

class LCocoaControlImpl : public LCocoaViewBase {
public:
    LCocoaControlImpl(const LUiRect& frame, LCocoaWindow* window);

    const LCocoaControlFont& font() const { return fFont; }
    void setFont(const LCocoaControlFont& font);
    // The desktop's text grew or shrank by the ratio: a size of the control's own grows or
    // shrinks with it, and a style the widget was given is given again.
    void textSizeChanged(double ratio);
    // The text the control shows (title, string value), for measuring; false when the control
    // has none.
    virtual bool textForMeasuring(std::string& text) const
    {
        (void)text;
        return false;
    }

protected:
    ~LCocoaControlImpl() override;
    // The style sheet of the control kind (margins, borders) besides the font; applied to the
    // widget given to ApplyStyle.
    void setExtraStyle(const std::string& css);
    // A class of the control kinds' shared style sheet ("vt-inset-12", "vt-input", ...).
    void setStyleClass(const char* styleClass);
    // Gives the widget (the control's own, or an inner one) the font and extra style.
    void ApplyStyle(GtkWidget* widget);
    // Called after the font changed (labels rebuild their attributes).
    virtual void FontDidChange() { }
    // The widget that takes the style; null while none exists.
    virtual GtkWidget* StyledWidget() { return ExistingWidget(); }

private:
    LCocoaControlFont fFont;
    std::string fExtraCss;
    std::string fCss; // the sheet last applied
    std::string fClass;
    std::string fAppliedClass;
    GtkCssProvider* fProvider = nullptr; // shared, one reference held
    GtkWidget* fStyled = nullptr; // the widget fProvider was added to (not held)
};

// Installs the shared style sheet of the control kinds (once, when there is a screen).
void LCocoaControlInstallClassSheet();

namespace LCocoaControl {
// Cuts a UTF-8 text to at most maxBytes bytes at a whole character.
size_t WholeCharacterPrefix(const char* text, size_t maxBytes);
// Copies the text into a buffer of size bytes (size - 1 and a NUL), cut at a whole character;
// nothing for size 0 or a null buffer.
void CopyText(const std::string& text, char* buffer, size_t size);
// The text as well-formed UTF-8 (bad sequences become U+FFFD); null gives "".
std::string ValidText(const char* text);
} // namespace LCocoaControl
