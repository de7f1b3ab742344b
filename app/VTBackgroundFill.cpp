#include "app/VTBackgroundFill.h"

#include "lfw/mac/LPaintSurface.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kEpsilon = 1.1920929e-7f;
// The derived brush adds an opening and a closing stop to the source's.
constexpr uint32_t kMaxSourceStops = kLBrushInfoMaxStops - 2;

// Fills the stops of d (a copy of s): position 0 with the first colour, the source's stops, and
// position 1 with the last colour. A source of more than 18 stops gives its first 17 and its last.
// Returns the number of source stops taken, 0 when the source has none (d is then unchanged).
uint32_t DeriveStops(LBrushInfo& d, const LBrushInfo& s)
{
    const uint32_t count = std::min<uint32_t>(s.stopCount, kLBrushInfoMaxStops);
    if (count == 0)
        return 0;
    const uint32_t taken = std::min(count, kMaxSourceStops);
    for (uint32_t i = 0; i < taken; ++i) {
        const uint32_t from = (count > kMaxSourceStops && i == taken - 1) ? count - 1 : i;
        d.stopPositions[i + 1] = s.stopPositions[from];
        d.stopColors[i + 1] = s.stopColors[from];
    }
    d.stopPositions[0] = 0.0f;
    d.stopColors[0] = s.stopColors[0];
    d.stopPositions[taken + 1] = 1.0f;
    d.stopColors[taken + 1] = s.stopColors[count - 1];
    d.stopCount = taken + 2;
    return taken;
}

// The derived drawable brush of a background: null for kinds other than 1, 2 and 3.
bool DeriveBackgroundBrush(
    LBrushInfo& out, const LBrushInfo& in, const float& width, const float& height)
{
    switch (in.kind) {
    case LBrushInfoKindSolid:
        out = in;
        return true;
    case LBrushInfoKindLinearGradient:
        out = in;
        CreateLinearBrush(out, in, width, height);
        return true;
    case LBrushInfoKindRadialGradient:
        out = in;
        CreateRadialBrush(out, in, width, height);
        return true;
    default:
        return false;
    }
}

} // namespace

void CreateLinearBrush(
    LBrushInfo& out, const LBrushInfo& in, const float& width, const float& height)
{
    LBrushInfo d = in;
    if (DeriveStops(d, in) == 0)
        return;
    d.geometry[0] = in.geometry[0] * width;
    d.geometry[1] = in.geometry[1] * height;
    d.geometry[2] = in.geometry[2] * width;
    d.geometry[3] = in.geometry[3] * height;
    if (std::fabs(d.geometry[2] - d.geometry[0]) <= kEpsilon
        && std::fabs(d.geometry[3] - d.geometry[1]) <= kEpsilon) {
        // No direction: an even fill of the first colour.
        d.geometry[2] += 1.0f;
        d.stopPositions[0] = 0.0f;
        d.stopColors[0] = in.stopColors[0];
        d.stopPositions[1] = 1.0f;
        d.stopColors[1] = in.stopColors[0];
        d.stopCount = 2;
    }
    d.kind = LBrushInfoKindLinearGradient;
    out = d;
}

void CreateRadialBrush(
    LBrushInfo& out, const LBrushInfo& in, const float& width, const float& height)
{
    LBrushInfo d = in;
    const uint32_t taken = DeriveStops(d, in);
    if (taken == 0)
        return;
    const float x1 = in.geometry[0], y1 = in.geometry[1];
    const float x2 = in.geometry[2], y2 = in.geometry[3];
    // From the centre to the farthest corner of the square from -1 to 1.
    const float reach = std::sqrt(
        (std::fabs(x1) + 1) * (std::fabs(x1) + 1) + (std::fabs(y1) + 1) * (std::fabs(y1) + 1));
    const float r = std::sqrt((x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1)) / (2 * reach);
    for (uint32_t i = 1; i <= taken; ++i)
        d.stopPositions[i] = d.stopPositions[i] * r + (1 - r);
    d.geometry[0] = x1 * width;
    d.geometry[1] = y1 * height;
    d.geometry[2] = 2 * reach * width;
    d.geometry[3] = 2 * reach * height;
    d.kind = LBrushInfoKindRadialGradient;
    out = d;
}

void FillBackground(LPaintContext& ctx, const LBrushInfo& brush, const LGraphicsPath& outline,
    const float& width, const float& height)
{
    LBrushInfo derived;
    if (!DeriveBackgroundBrush(derived, brush, width, height))
        return;
    LBrushFromInfo drawable(derived);
    if (drawable.Get())
        LPaintSurface::FillPath(ctx, *drawable.Get(), outline);
}

void FillBackground(LPDFWriter& writer, const LBrushInfo& brush, const LGraphicsPath& outline,
    const float& width, const float& height)
{
    LBrushInfo derived;
    if (DeriveBackgroundBrush(derived, brush, width, height))
        writer.FillPath(derived, outline);
}

LBrushInfo SolidBrushInfo(const LGuiColor& color, uint8_t alpha)
{
    LBrushInfo info;
    info.kind = LBrushInfoKindSolid;
    info.color = LGuiColorAlpha(color, alpha);
    return info;
}

void DrawPathPDF(
    LPDFWriter& writer, const LGuiColor& color, const LGraphicsPath& path, float lineWidth)
{
    writer.DrawPath(SolidBrushInfo(color), path, lineWidth, nullptr);
}

void DrawLinePDF(LPDFWriter& writer, const LGuiColor& color, float x1, float y1, float x2, float y2,
    float lineWidth)
{
    LGraphicsPath path;
    path.AddLine(x1, y1, x2, y2);
    DrawPathPDF(writer, color, path, lineWidth);
}

void DrawFramePDF(
    LPDFWriter& writer, const LGuiColor& color, float x, float y, float w, float h, float lineWidth)
{
    LGraphicsPath path;
    path.AddRectangle(x, y, w, h);
    DrawPathPDF(writer, color, path, lineWidth);
}

void DrawEllipsePDF(
    LPDFWriter& writer, const LGuiColor& color, float x, float y, float w, float h, float lineWidth)
{
    LGraphicsPath path;
    path.AddArc(x, y, w, h, 0.0f, 360.0f);
    path.CloseFigure();
    DrawPathPDF(writer, color, path, lineWidth);
}
