// The straight text overlay: a text in a font and colour, aligned in its box by a cell of the
// 3 x 3 grid, wrapped at words, with an optional background fill. Colours are stored as 8-bit
// blue, green, red, alpha.
#pragma once

#include "app/VTOverlay.h"
#include "lfw/gen/LString.h"
#include "lfw/graphics/LImageFormat.h"
#include "lfw/mac/LGuiFont.h"
#include "lfw/mac/LTextLayoutCache.h"

class VTOverlayCircularText;

class VTOverlayText : public VTOverlay {
public:
    // "Lucida Grande" 12 point, opaque black text, no background (white, alpha 0), centred, no
    // text.
    VTOverlayText();
    // The same with the text (copied as it is) and font.
    VTOverlayText(const char* text, const LGuiFontEx& font);

    int GetType() const override { return VTOverlayTypeText; }
    // The placement, text, font, alignment and colours of an old XML text element.
    LProcessResult SerialiseFromXML(
        LProcessInterface& process, const LXMLElement& element) override;
    void Paint(LPaintContext& ctx) override;
    void Paint(LPDFWriter& writer) override;
    VTOverlay* Clone() const override;
    VTOverlay* CloneLight() const override { return Clone(); }
    // Nothing unless the other overlay is a straight text.
    void SwapContent(VTOverlay* other) override;

    // Setters tell the observers only of a real change (the alignment setter always tells).
    void SetFont(const LGuiFontEx& f);
    void SetTextColour(const LPFB8G8R8A8& colour);
    void SetBackgroundColour(const LPFB8G8R8A8& colour);
    // Stores the text with its line ends made single LFs; null counts as empty.
    void SetText(const char* utf8);
    // A straight text stores the alignment turned by its rotation (relative to the turned text);
    // a circular text stores it as given.
    void SetAlignment(LAlignment a);

    const LGuiFontEx& GetFont() const { return font; }
    const LPFB8G8R8A8& GetTextColour() const { return textColour; }
    const LPFB8G8R8A8& GetBackgroundColour() const { return backgroundColour; }
    LAlignment GetAlignment() const { return alignment; }
    const char* GetText() const { return text.GetString(); }

    // Makes this overlay equal to the other one (placement, size, font, colours, alignment as
    // stored, text); the stored transform becomes the rotation and the move to the centre.
    void CopyFrom(const VTOverlayText& other);
    // A new circular text (the caller owns it) with this text, font and colours, at the top of a
    // circle about the origin whose radius is this overlay's distance from it, at least 30.
    VTOverlayCircularText* ConvertToOverlayCircularText() const;
    // Turns a grid alignment by the overlay's rotation in quarter turns (reverse turns the other
    // way); the result is also written back into the argument.
    LAlignment TransformAlignmentByRotation(LAlignment& a, bool reverse) const;

    LGuiFontEx font;
    LPFB8G8R8A8 textColour { 0, 0, 0, 255 };
    LPFB8G8R8A8 backgroundColour { 255, 255, 255, 0 };
    LAlignment alignment = 4;
    LStringLongTemplate<char> text;

protected:
    // The steps CopyFrom shares with the circular text, the alignment copied unturned.
    void CopyTextFrom(const VTOverlayText& other);
    // The font as the paint context asks for it; underline only when asked.
    void GetFontAttributes(LFontAttributes& attributes, bool withUnderline) const;

public:
    // The text's layout on the screen, kept between paints: made again only when the text, font,
    // box or alignment changed.
    const LTextLayoutCache& GetLayoutCache() const { return layoutCache; }

private:
    LTextLayoutCache layoutCache;
};

// Rewrites CR, LF, CR LF and LF CR line ends as single LFs in place.
void VTConvertToUnixEOL(LStringLongTemplate<char>& text);
// Builds out as a copy of in with every line end (the same four forms) replaced by the
// replacement; nothing happens when it is null.
void VTReplaceEOL(
    LStringLongTemplate<char>& out, const LStringLongTemplate<char>& in, const char* replacement);

// The default face of text overlays.
inline constexpr const char* kVTOverlayTextDefaultFace = "Lucida Grande";
inline constexpr int kVTOverlayTextDefaultSize = 12;
