#include "app/VTOverlayText.h"

#include "app/VTOverlayCircularText.h"
#include "app/VTProjectXML.h"
#include "lfw/mac/LPDFWriter.h"
#include "lfw/mac/LPaintSurface.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace {

const char kPlaceholderText[] = "Text";

constexpr float kMillimetresPerPoint = 25.4f / 72.0f;

constexpr LAlignmentX kAlignX[9]
    = { LAlignmentXLeft, LAlignmentXCenter, LAlignmentXRight, LAlignmentXLeft, LAlignmentXCenter,
          LAlignmentXRight, LAlignmentXLeft, LAlignmentXCenter, LAlignmentXRight };
constexpr LAlignmentY kAlignY[9]
    = { LAlignmentYTop, LAlignmentYTop, LAlignmentYTop, LAlignmentYCenter, LAlignmentYCenter,
          LAlignmentYCenter, LAlignmentYBottom, LAlignmentYBottom, LAlignmentYBottom };

// One quarter turn of a grid cell, forwards and backwards; the centre stays, a value outside the
// grid steps like 0.
constexpr LAlignment kTurnForward[9] = { 6, 3, 0, 7, 4, 1, 8, 5, 2 };
constexpr LAlignment kTurnReverse[9] = { 2, 5, 8, 1, 4, 7, 0, 3, 6 };

bool SameColour(const LPFB8G8R8A8& a, const LPFB8G8R8A8& b)
{
    return a.b == b.b && a.g == b.g && a.r == b.r && a.a == b.a;
}

LGuiColor Colour16(const LPFB8G8R8A8& c)
{
    return LGuiColor(uint16_t(c.r << 8), uint16_t(c.g << 8), uint16_t(c.b << 8));
}

LDrawTextFormat FormatOf(LAlignment a)
{
    const bool inGrid = a >= 0 && a <= 8;
    return LDrawTextFormat(inGrid ? kAlignX[a] : LAlignmentXCenter,
        inGrid ? kAlignY[a] : LAlignmentYCenter, LTextWrappingWord, LTextTrimmingNone);
}

bool IsLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

// The length of the line end at s[i] (1 or 2), 0 when there is none.
size_t LineEndAt(const char* s, size_t i, size_t n)
{
    if (!IsLineEnd(s[i]))
        return 0;
    return (i + 1 < n && IsLineEnd(s[i + 1]) && s[i + 1] != s[i]) ? 2 : 1;
}

} // namespace

VTOverlayText::VTOverlayText()
    : font(
        LGuiFont(kVTOverlayTextDefaultSize, false, false, false, kVTOverlayTextDefaultFace, false))
{
}

VTOverlayText::VTOverlayText(const char* utf8, const LGuiFontEx& f)
    : font(f)
    , text(utf8)
{
}

LProcessResult VTOverlayText::SerialiseFromXML(
    LProcessInterface& process, const LXMLElement& element)
{
    return VTOverlayTextSerialiseFromXML(process, *this, element);
}

void VTOverlayText::SetFont(const LGuiFontEx& f)
{
    if (font == f)
        return;
    font = f;
    NotifyPropertiesChanged();
}

void VTOverlayText::SetTextColour(const LPFB8G8R8A8& colour)
{
    if (SameColour(textColour, colour))
        return;
    textColour = colour;
    NotifyPropertiesChanged();
}

void VTOverlayText::SetBackgroundColour(const LPFB8G8R8A8& colour)
{
    if (SameColour(backgroundColour, colour))
        return;
    backgroundColour = colour;
    NotifyPropertiesChanged();
}

void VTOverlayText::SetText(const char* utf8)
{
    if (text == (utf8 ? utf8 : ""))
        return;
    text = utf8;
    VTConvertToUnixEOL(text);
    NotifyPropertiesChanged();
}

void VTOverlayText::SetAlignment(LAlignment a)
{
    alignment = a;
    if (GetType() == VTOverlayTypeText)
        TransformAlignmentByRotation(alignment, false);
    NotifyPropertiesChanged();
}

LAlignment VTOverlayText::TransformAlignmentByRotation(LAlignment& a, bool reverse) const
{
    const double q = std::round(double(rotation) / 90.0);
    if (a == 4 || !std::isfinite(q) || q < 1 || q == 4)
        return a;
    // The turn repeats every four steps (a value outside the grid joins it at the first step),
    // so a large count comes down to one to four steps.
    const int steps = 1 + int(std::fmod(q - 1, 4.0));
    const LAlignment* map = reverse ? kTurnReverse : kTurnForward;
    for (int i = 0; i < steps; ++i)
        a = map[(a >= 0 && a <= 8) ? a : 0];
    return a;
}

void VTOverlayText::GetFontAttributes(LFontAttributes& attributes, bool withUnderline) const
{
    char name[kLStringShortSize] = {};
    font.GetName(name, sizeof name);
    uint32_t style = 0;
    if (font.IsBold())
        style |= LFontStyleBold;
    if (font.IsItalic())
        style |= LFontStyleItalic;
    if (withUnderline && font.IsUnderlined())
        style |= LFontStyleUnderline;
    if (font.IsStrikeout())
        style |= LFontStyleStrikeout;
    // The font's size is in points; the design is drawn in millimetres.
    attributes = LFontAttributes(name, float(font.GetSize()) * kMillimetresPerPoint, style);
}

void VTOverlayText::Paint(LPaintContext& ctx)
{
    float w = 0, h = 0;
    GetDimensions(w, h);
    LFontAttributes attributes;
    GetFontAttributes(attributes, true);
    LPaintSurface::SetFont(ctx, attributes);
    if (backgroundColour.a != 0)
        LPaintSurface::FillRectAA(
            ctx, Colour16(backgroundColour), backgroundColour.a, -w / 2, -h / 2, w, h);
    const char* shown = text.IsEmpty() ? kPlaceholderText : text.GetString();
    LPaintSurface::DrawText(ctx, shown, LBoundingBox2T<float>(-w / 2, -h / 2, w / 2, h / 2),
        FormatOf(alignment), LGuiSolidBrush(Colour16(textColour)), &layoutCache);
}

void VTOverlayText::Paint(LPDFWriter& writer)
{
    // A page shows what the screen and the image export show: the same box, the background with
    // its opacity, the text laid out alike.
    Paint(writer.GetPaintContext());
}

void VTOverlayText::CopyTextFrom(const VTOverlayText& other)
{
    float w = 0, h = 0;
    other.GetDimensions(w, h);
    width = w;
    height = h;
    centreX = other.centreX;
    centreY = other.centreY;
    rotation = other.rotation;
    transform = VTPlacementMatrix(rotation, centreX, centreY);
    SetFont(other.font);
    SetTextColour(other.textColour);
    SetBackgroundColour(other.backgroundColour);
    // The other's alignment is already relative to its (now also our) rotation.
    alignment = other.alignment;
    NotifyPropertiesChanged();
    SetText(other.text.GetString());
}

void VTOverlayText::CopyFrom(const VTOverlayText& other)
{
    if (&other != this)
        CopyTextFrom(other);
}

VTOverlay* VTOverlayText::Clone() const
{
    auto* copy = new VTOverlayText();
    copy->CopyFrom(*this);
    return copy;
}

void VTOverlayText::SwapContent(VTOverlay* other)
{
    if (!other || other == this || other->GetType() != VTOverlayTypeText)
        return;
    auto* o = static_cast<VTOverlayText*>(other);
    VTOverlayText temporary;
    temporary.CopyFrom(*o);
    o->CopyFrom(*this);
    CopyFrom(temporary);
}

VTOverlayCircularText* VTOverlayText::ConvertToOverlayCircularText() const
{
    auto* circular = new VTOverlayCircularText(text.GetString(), font);
    const float distance = std::sqrt(centreX * centreX + centreY * centreY);
    const float radius = std::max(distance, VTOverlayCircularText::kMinRadius);
    circular->centreAngle = 270.0f;
    circular->outerRadius = radius;
    circular->width = 2 * radius;
    circular->height = 2 * radius;
    circular->centreX = 0.0f;
    circular->centreY = 0.0f;
    circular->SetTextColour(textColour);
    circular->SetBackgroundColour(backgroundColour);
    circular->alignment = 1;
    circular->NotifyPropertiesChanged();
    return circular;
}

void VTConvertToUnixEOL(LStringLongTemplate<char>& s)
{
    char* d = s.GetBuffer();
    if (!d)
        return;
    const size_t n = s.GetLength();
    size_t o = 0;
    for (size_t i = 0; i < n;) {
        if (size_t k = LineEndAt(d, i, n)) {
            d[o++] = '\n';
            i += k;
        } else {
            d[o++] = d[i++];
        }
    }
    s.SetLength(o);
}

void VTReplaceEOL(
    LStringLongTemplate<char>& out, const LStringLongTemplate<char>& in, const char* replacement)
{
    if (!replacement)
        return;
    const char* s = in.GetString();
    const size_t n = in.GetLength();
    std::string result;
    result.reserve(n);
    size_t start = 0;
    for (size_t i = 0; i < n;) {
        if (size_t k = LineEndAt(s, i, n)) {
            result.append(s + start, i - start);
            result.append(replacement);
            i += k;
            start = i;
        } else {
            ++i;
        }
    }
    result.append(s + start, n - start);
    out = result.c_str();
}
