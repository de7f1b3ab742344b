#include "app/VTOverlayCircularText.h"

#include "app/VTBackgroundFill.h"
#include "app/VTDocumentLimits.h"
#include "lfw/gen/LCharSet.h"
#include "lfw/graphics/LImageBuffer.h"
#include "lfw/mac/LImageBufferPainter.h"
#include "lfw/mac/LPDFWriter.h"
#include "lfw/mac/LPaintSurface.h"
#include "platform/text/ShapedLine.h"
#include "platform/text/TextLayout.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <numbers>
#include <unordered_map>

namespace {

const char kPlaceholderText[] = "Text";
constexpr double kPi = std::numbers::pi;

// Brings an angle into 0..360: a positive whole number of turns is 360, zero and negative ones 0.
float Norm(float a)
{
    const float r = VTReduceDegrees(a);
    return r == 0.0f && a > 0.0f ? 360.0f : r;
}

double Radians(double degrees)
{
    return degrees * kPi / 180.0;
}

LGuiColor Colour16(const LPFB8G8R8A8& c)
{
    return LGuiColor(uint16_t(c.r << 8), uint16_t(c.g << 8), uint16_t(c.b << 8));
}

// An arc of radius r about the origin.
void AddArc(LGraphicsPath& path, float r, float start, float sweep)
{
    path.AddArc(-r, -r, 2 * r, 2 * r, start, sweep);
}

// The format each character is measured and drawn with on screen.
const LDrawTextFormat kMeasureFormat(
    LAlignmentXCenter, LAlignmentYTop, LTextWrappingNone, LTextTrimmingNone);

} // namespace

VTOverlayCircularText::VTOverlayCircularText()
{
    alignment = 1;
}

VTOverlayCircularText::VTOverlayCircularText(const char* utf8, const LGuiFontEx& f)
    : VTOverlayText(utf8, f)
{
    alignment = 1;
}

// --- Geometry

void VTOverlayCircularText::ComputeControlPoints(float textWidth, float textHeight)
{
    bandThickness = textHeight + 2;
    innerRadius = outerRadius - bandThickness;
    const float mid = (outerRadius + innerRadius) / 2;
    // The arc length of one degree on the middle circle.
    const float perDegree = float(2 * double(mid) * kPi / 360.0);
    // A circle too small to carry the text gets the whole ring.
    halfSpanAngle = perDegree > 0.0f ? (textWidth + 2) / (2 * perDegree) : 180.0f;
    if (!std::isfinite(halfSpanAngle))
        halfSpanAngle = 180.0f;
    startAngle = Norm(centreAngle - halfSpanAngle);
    endAngle = Norm(centreAngle + halfSpanAngle);
    if (startAngle > endAngle)
        startAngle -= 360.0f;
    const float s = alignment == 7 ? -1.0f : 1.0f;
    auto point = [s](float r, float a) {
        const double t = Radians(a);
        return LPointTemplate<float>(float(r * std::cos(t)), float(s * r * std::sin(t)));
    };
    controlPoints[0] = point(innerRadius, startAngle);
    controlPoints[1] = point(outerRadius, startAngle);
    controlPoints[2] = point(mid, startAngle);
    controlPoints[3] = point(innerRadius, endAngle);
    controlPoints[4] = point(outerRadius, endAngle);
    controlPoints[5] = point(mid, endAngle);
    controlPoints[6] = point(innerRadius, centreAngle);
    controlPoints[7] = point(outerRadius, centreAngle);
    controlPoints[8] = point(mid, centreAngle);
}

void VTOverlayCircularText::ComputeGraphicsPath(LGraphicsPath& path) const
{
    if (halfSpanAngle >= 180.0f) {
        AddArc(path, outerRadius, startAngle, 360.0f);
        AddArc(path, innerRadius, startAngle, -360.0f);
    } else {
        path.AddLine(controlPoints[0], controlPoints[1]);
        if (alignment == 1)
            AddArc(path, outerRadius, startAngle, endAngle - startAngle);
        else
            AddArc(path, outerRadius, Norm(endAngle + 180.0f), startAngle - endAngle);
        path.AddLine(controlPoints[4], controlPoints[3]);
        if (alignment == 1)
            AddArc(path, innerRadius, endAngle, -(endAngle - startAngle));
        else
            AddArc(path, innerRadius, Norm(startAngle + 180.0f), endAngle - startAngle);
    }
    path.CloseFigure();
}

bool VTOverlayCircularText::IsInArcAngle(float a) const
{
    if (halfSpanAngle >= 180.0f)
        return true;
    float s = startAngle, e = endAngle;
    if (alignment != 1) {
        s = Norm(startAngle + 180.0f);
        e = Norm(endAngle + 180.0f);
        if (e < s)
            s -= 360.0f;
    }
    return (s <= a && a <= e) || (s <= a - 360.0f && a - 360.0f <= e);
}

bool VTOverlayCircularText::HitTest(float x, float y)
{
    LMatrix<float> inverse = VTPlacementMatrix(rotation, centreX, centreY);
    inverse.Invert();
    const LPointTemplate<float> p = inverse.TransformPoint(LPointTemplate<float>(x, y));
    hitFlags = 0;
    const float d = std::sqrt(p.x * p.x + p.y * p.y);
    // The angle of every point, those on the axes included (straight above the centre is 270).
    float a = float(std::atan2(double(p.y), double(p.x)) * 180.0 / kPi);
    if (a < 0.0f)
        a += 360.0f;
    if (std::fabs(innerRadius) <= d && d <= std::fabs(outerRadius) && IsInArcAngle(a)) {
        hitFlags = VTHitInside;
        return true;
    }
    return false;
}

void VTOverlayCircularText::SetToBoundingBox(LBoundingBox2T<float>& box)
{
    const float size = std::max(std::fabs(box.right - box.left), std::fabs(box.bottom - box.top));
    if (!(size - bandThickness >= kMinRadius))
        return;
    SetDimensions(size, size);
    outerRadius = size * 0.5f;
    centreX = 0.0f;
    centreY = 0.0f;
    NotifyTransformChanged();
}

// --- Text

void VTOverlayCircularText::SplitCharacters(const char* utf8, std::vector<std::string>& out)
{
    // A letter and its combining marks stand in one place on the arc.
    out = utf8 ? platform::text::SplitIntoCharacters(utf8) : std::vector<std::string>();
}

void VTOverlayCircularText::GetCharFromString(char* out, const char* utf8, unsigned int index) const
{
    out[0] = 0;
    if (!utf8)
        return;
    const size_t n = std::strlen(utf8);
    const size_t at = LCharsetsUTF8CharIndexToByteIndex(utf8, index);
    if (at >= n)
        return;
    const size_t k
        = std::min(LCharsetsUTF8SequenceLength(static_cast<unsigned char>(utf8[at])), n - at);
    std::memcpy(out, utf8 + at, k);
    out[k] = 0;
}

void VTOverlayCircularText::GetWorkingText(LStringLongTemplate<char>& out) const
{
    VTReplaceEOL(out, text, " ");
    if (out.IsEmpty())
        out = kPlaceholderText;
}

template <class Measure>
void VTOverlayCircularText::MeasureGlyphsWith(Glyphs& glyphs, Measure measure) const
{
    LStringLongTemplate<char> working;
    GetWorkingText(working);
    SplitCharacters(working.GetString(), glyphs.chars);
    glyphs.widths.resize(glyphs.chars.size());
    glyphs.width = 0;
    glyphs.height = 0;
    // Each distinct character is measured once.
    std::unordered_map<std::string, std::pair<float, float>> sizes;
    for (size_t i = 0; i < glyphs.chars.size(); ++i) {
        auto [it, added] = sizes.try_emplace(glyphs.chars[i], 0.0f, 0.0f);
        if (added)
            it->second = measure(glyphs.chars[i].c_str());
        glyphs.widths[i] = it->second.first;
        glyphs.width += it->second.first;
        glyphs.height = std::max(glyphs.height, it->second.second);
    }
}

bool VTOverlayCircularText::ShapeGlyphs(LPaintContext& ctx, Glyphs& glyphs, bool wholeUnits) const
{
    LStringLongTemplate<char> working;
    GetWorkingText(working);
    const char* text = working.GetString();
    if (!platform::text::HasRightToLeft(text, std::strlen(text)))
        return false;
    glyphs.line = LPaintSurface::ShapeLine(ctx, text);
    const platform::text::ShapedLine& line = *glyphs.line;
    glyphs.chars.clear();
    glyphs.widths.clear();
    glyphs.width = 0;
    for (const platform::text::ShapedCluster& cluster : line.Clusters()) {
        glyphs.chars.push_back(
            line.Text().substr(cluster.byteBegin, cluster.byteEnd - cluster.byteBegin));
        glyphs.widths.push_back(float(cluster.width));
        glyphs.width += float(cluster.width);
    }
    glyphs.height = float(wholeUnits ? std::ceil(line.Height()) : line.Height());
    return true;
}

void VTOverlayCircularText::MeasureGlyphs(LPaintContext& ctx, Glyphs& glyphs) const
{
    if (ShapeGlyphs(ctx, glyphs, false))
        return;
    const LBoundingBox2T<float> box(0, 0, 1000, 10000);
    MeasureGlyphsWith(glyphs, [&](const char* ch) {
        std::pair<float, float> size(0.0f, 0.0f);
        LPaintSurface::MeasureText(ctx, size.first, size.second, ch, box, kMeasureFormat);
        return size;
    });
}

void VTOverlayCircularText::MeasureGlyphs(LPDFWriter& writer, Glyphs& glyphs) const
{
    if (ShapeGlyphs(writer.GetPaintContext(), glyphs, true))
        return;
    const LBoundingBox2T<float> box(0, 0, 0, FLT_MAX);
    const LDrawTextFormat format(
        LAlignmentXLeft, LAlignmentYTop, LTextWrappingWord, LTextTrimmingNone);
    MeasureGlyphsWith(glyphs, [&](const char* ch) {
        float w = 0, h = 0;
        LPaintSurface::MeasureText(writer.GetPaintContext(), w, h, ch, box, format);
        return std::pair<float, float>(writer.MeasureTextPreciseWidth(ch), std::ceil(h));
    });
}

void VTOverlayCircularText::UnderlinePath(LGraphicsPath& path, bool fullCircle) const
{
    if (fullCircle && halfSpanAngle >= 180.0f)
        AddArc(path, innerRadius, 0.0f, 360.0f);
    else if (alignment == 1)
        AddArc(path, innerRadius, startAngle, endAngle - startAngle);
    else
        AddArc(path, outerRadius, Norm(endAngle + 180.0f), startAngle - endAngle);
}

template <class Place>
void VTOverlayCircularText::PlaceGlyphs(const Glyphs& glyphs, Place place) const
{
    const bool lower = alignment == 7;
    const float r = (innerRadius + outerRadius) * (lower ? -0.5f : 0.5f);
    float a = lower ? endAngle : startAngle;
    // Twice the arc length of one degree: a step of half the two neighbours' widths.
    const float k = float(2 * (2 * double(r) * kPi / 360.0));
    if (k == 0.0f || !std::isfinite(k))
        return;
    float previous = 0;
    for (size_t i = 0; i < glyphs.chars.size(); ++i) {
        const float w = glyphs.widths[i];
        a += (previous + w) / k;
        const double t = Radians(a);
        place(i, a, float(std::cos(t) * r), float(std::sin(t) * r));
        previous = w;
    }
}

void VTOverlayCircularText::DrawGlyphs(
    LPaintContext& ctx, const Glyphs& glyphs, float textHeight) const
{
    ctx.mTextColor = LGuiColorAlpha(Colour16(textColour), 255);
    const int boxHeight = int(std::ceil(textHeight));
    PlaceGlyphs(glyphs, [&](size_t i, float angle, float x, float y) {
        const float w = glyphs.widths[i];
        ctx.SaveGState();
        LPaintSurface::TransformTranslate(ctx, x, y);
        LPaintSurface::TransformRotate(ctx, angle + 90.0f);
        LPaintSurface::TransformTranslate(ctx, -w / 2, -textHeight / 2);
        if (glyphs.line)
            LPaintSurface::DrawShapedCluster(ctx, *glyphs.line, i, 0, 0);
        else
            LPaintSurface::DrawText(ctx, glyphs.chars[i].c_str(), 0, 0, int(std::ceil(w)),
                boxHeight, LAlignmentXCenter, LAlignmentYTop, LTextWrappingWord, LTextTrimmingNone);
        ctx.RestoreGState();
    });
    if (font.IsUnderlined()) {
        LGraphicsPath path;
        UnderlinePath(path, true);
        LPaintSurface::DrawPath(ctx, Colour16(textColour), path, 1.0f, nullptr);
    }
}

void VTOverlayCircularText::DrawGlyphs(
    LPDFWriter& writer, const Glyphs& glyphs, float textHeight) const
{
    LPaintContext& ctx = writer.GetPaintContext();
    ctx.mTextColor = LGuiColorAlpha(Colour16(textColour), 255);
    PlaceGlyphs(glyphs, [&](size_t i, float angle, float x, float y) {
        const float w = glyphs.widths[i];
        // One matrix: the offset in the turned frame, the turn, the move to the arc.
        const LMatrix<float> m = LMatrix<float>::Translation(-w / 2, -textHeight / 2)
            * VTPlacementMatrix(angle + 90.0f, x, y);
        ctx.SaveGState();
        LPaintSurface::Transform(ctx, m);
        if (glyphs.line)
            LPaintSurface::DrawShapedCluster(ctx, *glyphs.line, i, 0, 0);
        else
            LPaintSurface::DrawText(ctx, glyphs.chars[i].c_str(), 0.0f, 0.0f, std::ceil(w),
                textHeight, LAlignmentXCenter, LAlignmentYTop, LTextWrappingWord,
                LTextTrimmingNone);
        ctx.RestoreGState();
    });
    if (font.IsUnderlined()) {
        LGraphicsPath path;
        UnderlinePath(path, false);
        DrawPathPDF(writer, Colour16(textColour), path, 1.0f);
    }
}

void VTOverlayCircularText::DrawCircularText(LPaintContext& ctx, float textHeight) const
{
    Glyphs glyphs;
    MeasureGlyphs(ctx, glyphs);
    DrawGlyphs(ctx, glyphs, textHeight);
}

void VTOverlayCircularText::DrawCircularText(LPDFWriter& writer, float textHeight) const
{
    Glyphs glyphs;
    MeasureGlyphs(writer, glyphs);
    DrawGlyphs(writer, glyphs, textHeight);
}

void VTOverlayCircularText::Paint(LPaintContext& ctx)
{
    LFontAttributes attributes;
    GetFontAttributes(attributes, false);
    LPaintSurface::SetFont(ctx, attributes);
    Glyphs glyphs;
    MeasureGlyphs(ctx, glyphs);
    ComputeControlPoints(glyphs.width, glyphs.height);
    if (backgroundColour.a != 0) {
        LGraphicsPath band;
        ComputeGraphicsPath(band);
        // With its opacity, as in PDF and as a straight text's background.
        LPaintSurface::FillPath(
            ctx, LGuiSolidBrush(Colour16(backgroundColour), backgroundColour.a), band);
    }
    DrawGlyphs(ctx, glyphs, glyphs.height);
}

void VTOverlayCircularText::Paint(LPDFWriter& writer)
{
    LFontAttributes attributes;
    GetFontAttributes(attributes, false);
    LPaintSurface::SetFont(writer.GetPaintContext(), attributes);
    Glyphs glyphs;
    MeasureGlyphs(writer, glyphs);
    ComputeControlPoints(glyphs.width, glyphs.height);
    if (backgroundColour.a != 0) {
        LGraphicsPath band;
        ComputeGraphicsPath(band);
        writer.FillPath(SolidBrushInfo(Colour16(backgroundColour), backgroundColour.a), band);
    }
    DrawGlyphs(writer, glyphs, glyphs.height);
}

std::vector<VTOverlayCircularText::ArcCluster> VTOverlayCircularText::LayOutOnArc(
    LPaintContext& ctx)
{
    LFontAttributes attributes;
    GetFontAttributes(attributes, false);
    LPaintSurface::SetFont(ctx, attributes);
    Glyphs glyphs;
    MeasureGlyphs(ctx, glyphs);
    ComputeControlPoints(glyphs.width, glyphs.height);
    std::vector<ArcCluster> out;
    PlaceGlyphs(glyphs, [&](size_t i, float angle, float x, float y) {
        ArcCluster c;
        c.text = glyphs.chars[i];
        c.angle = angle;
        c.x = x;
        c.y = y;
        c.width = glyphs.widths[i];
        if (glyphs.line) {
            for (const platform::text::ShapedGlyph& g : glyphs.line->Clusters()[i].glyphs)
                c.glyphs.push_back(g.id);
        } else {
            // A character set on its own is shaped on its own.
            const auto alone = LPaintSurface::ShapeLine(ctx, c.text.c_str());
            for (const platform::text::ShapedCluster& cluster : alone->Clusters())
                for (const platform::text::ShapedGlyph& g : cluster.glyphs)
                    c.glyphs.push_back(g.id);
        }
        out.push_back(std::move(c));
    });
    return out;
}

bool VTOverlayCircularText::CheckTextHeight() const
{
    LImageBuffer buffer(LImageFormat(LPixelFormatB8G8R8A8, 1, 1));
    if (buffer.GetData())
        std::memset(buffer.GetData(), 0, size_t(buffer.GetStride()));
    LImageBufferPainter painter(buffer);
    LFontAttributes attributes;
    GetFontAttributes(attributes, true);
    LPaintSurface::SetFont(painter.GetPaintContext(), attributes);
    LStringLongTemplate<char> working;
    GetWorkingText(working);
    float w = 0, h = 0;
    LPaintSurface::MeasureText(painter.GetPaintContext(), w, h, working.GetString(),
        LBoundingBox2T<float>(0, 0, 1000, 10000), kMeasureFormat);
    return outerRadius >= h + 2;
}

// --- Copies and conversion

VTOverlayText* VTOverlayCircularText::ConvertToOverlayText() const
{
    auto* straight = new VTOverlayText(text.GetString(), font);
    const double t = Radians(centreAngle);
    straight->centreX = float(std::cos(t) * outerRadius);
    straight->centreY = float(std::sin(t) * outerRadius);
    straight->NotifyTransformChanged();
    straight->SetDimensions(width, height);
    straight->SetTextColour(textColour);
    straight->SetBackgroundColour(backgroundColour);
    straight->SetAlignment(4);
    return straight;
}

void VTOverlayCircularText::CopyFrom(const VTOverlayCircularText& other)
{
    if (&other == this)
        return;
    CopyTextFrom(other);
    float angle = other.centreAngle;
    if (angle > 360.0f)
        angle -= 360.0f;
    if (angle < 0.0f)
        angle += 360.0f;
    centreAngle = angle;
    outerRadius = other.outerRadius;
}

VTOverlay* VTOverlayCircularText::Clone() const
{
    auto* copy = new VTOverlayCircularText();
    copy->CopyFrom(*this);
    return copy;
}

void VTOverlayCircularText::SwapContent(VTOverlay* other)
{
    if (!other || other == this || other->GetType() != VTOverlayTypeCircularText)
        return;
    auto* o = static_cast<VTOverlayCircularText*>(other);
    VTOverlayCircularText temporary;
    temporary.CopyFrom(*o);
    o->CopyFrom(*this);
    CopyFrom(temporary);
}
