#include "app/VTTemplateData.h"

#include "app/VTBackgroundFill.h"
#include "lfw/mac/LPaintSurface.h"

#include <algorithm>

namespace {

// The disc's edge and its centre hole, drawn with every disc outline.
constexpr float kDiscEdgeDiameter = 120.0f;
constexpr float kDiscHoleDiameter = 15.0f;

void AddCircle(LGraphicsPath& path, float diameter, float sweep)
{
    path.AddArc(-diameter / 2, -diameter / 2, diameter, diameter, 0.0f, sweep);
    path.CloseFigure();
}

// Fills the full rectangle of the format with the brush (nothing without one), on a paint
// context or into a PDF.
template <class Target>
void FillFormatRectangle(const VTTemplateData& format, Target& target, const LBrushInfo* brush)
{
    if (!brush)
        return;
    float w = 0, h = 0;
    format.GetDimensions(w, h);
    LGraphicsPath path;
    path.AddRectangle(-w / 2, -h / 2, w, h);
    FillBackground(target, *brush, path, w, h);
}

} // namespace

// --- VTTemplateData

void VTTemplateData::AddFormatRectangle(LGraphicsPath& path) const
{
    float w = 0, h = 0;
    GetDimensions(w, h);
    path.AddRectangle(-w / 2, -h / 2, w, h);
}

void VTTemplateData::PaintBackground(LPaintContext& ctx, const LBrushInfo* brush) const
{
    FillFormatRectangle(*this, ctx, brush);
}

void VTTemplateData::PaintBackground(LPDFWriter& writer, const LBrushInfo* brush) const
{
    FillFormatRectangle(*this, writer, brush);
}

void VTTemplateData::GetClippingPath(LGraphicsPath& path) const
{
    AddFormatRectangle(path);
}

void VTTemplateData::SetPrintableArea(const VTTemplateData&)
{
}

void VTTemplateData::StrokeFrameAndLines(LPaintContext& ctx, const LGuiColor& color,
    float lineWidth, const LLineStyle* style, const float* lineX, int lineCount) const
{
    float w = 0, h = 0;
    GetDimensions(w, h);
    const LGuiSolidBrush brush(color, 255);
    LPaintSurface::DrawRectangle(ctx, -w / 2, -h / 2, w, h, brush, lineWidth, style);
    for (int i = 0; i < lineCount; ++i)
        LPaintSurface::DrawLine(ctx, lineX[i], -h / 2, lineX[i], h / 2, brush, lineWidth, style);
}

void VTTemplateData::StrokeFrameAndLines(LPDFWriter& writer, const LGuiColor& color,
    float lineWidth, const float* lineX, int lineCount) const
{
    float w = 0, h = 0;
    GetDimensions(w, h);
    DrawFramePDF(writer, color, -w / 2, -h / 2, w, h, lineWidth);
    for (int i = 0; i < lineCount; ++i)
        DrawLinePDF(writer, color, lineX[i], -h / 2, lineX[i], h / 2, lineWidth);
}

// --- Disc

void VTTemplateDataDiscCDDVDStandard::GetClippingPath(LGraphicsPath& path) const
{
    AddCircle(path, outerDiameter, 360.0f);
    if (useBand) {
        AddCircle(path, bandOuterDiameter, -360.0f);
        AddCircle(path, bandInnerDiameter, 360.0f);
    }
    AddCircle(path, innerDiameter, -360.0f);
}

void VTTemplateDataDiscCDDVDStandard::PaintOutline(
    LPaintContext& ctx, const LGuiColor& color, float lineWidth, const LLineStyle* style) const
{
    LGraphicsPath path;
    GetClippingPath(path);
    LPaintSurface::DrawPath(ctx, color, path, lineWidth, style);
    const LGuiSolidBrush brush(color, 255);
    LPaintSurface::DrawEllipse(ctx, -kDiscEdgeDiameter / 2, -kDiscEdgeDiameter / 2,
        kDiscEdgeDiameter, kDiscEdgeDiameter, brush, lineWidth, style);
    LPaintSurface::DrawEllipse(ctx, -kDiscHoleDiameter / 2, -kDiscHoleDiameter / 2,
        kDiscHoleDiameter, kDiscHoleDiameter, brush, lineWidth, style);
}

void VTTemplateDataDiscCDDVDStandard::PaintOutline(
    LPDFWriter& writer, const LGuiColor& color, float lineWidth) const
{
    LGraphicsPath path;
    GetClippingPath(path);
    DrawPathPDF(writer, color, path, lineWidth);
    DrawEllipsePDF(writer, color, -kDiscEdgeDiameter / 2, -kDiscEdgeDiameter / 2, kDiscEdgeDiameter,
        kDiscEdgeDiameter, lineWidth);
    DrawEllipsePDF(writer, color, -kDiscHoleDiameter / 2, -kDiscHoleDiameter / 2, kDiscHoleDiameter,
        kDiscHoleDiameter, lineWidth);
}

void VTTemplateDataDiscCDDVDStandard::SetPrintableArea(const VTTemplateData& source)
{
    // Only a disc has a ring to copy; label positions of other formats leave this one as it is.
    const auto* disc = dynamic_cast<const VTTemplateDataDiscCDDVDStandard*>(&source);
    if (!disc || disc == this)
        return;
    disc->GetDiscPrintableArea(
        outerDiameter, innerDiameter, useBand, bandOuterDiameter, bandInnerDiameter);
}

void VTTemplateDataDiscCDDVDStandard::SetDiscPrintableArea(
    float outer, float inner, bool band, float bandOuter, float bandInner)
{
    useBand = band;
    innerDiameter = std::max(inner, kMinInnerDiameter);
    bandInnerDiameter = std::max(bandInner, innerDiameter + kMinGap);
    bandOuterDiameter = std::max(bandOuter, bandInnerDiameter + kMinGap);
    outerDiameter = std::max(outer, bandOuterDiameter + kMinGap);
}

void VTTemplateDataDiscCDDVDStandard::GetDiscPrintableArea(
    float& outer, float& inner, bool& band, float& bandOuter, float& bandInner) const
{
    outer = outerDiameter;
    inner = innerDiameter;
    band = useBand;
    bandOuter = bandOuterDiameter;
    bandInner = bandInnerDiameter;
}

void VTTemplateDataDiscCDDVDStandard::SetOuterDiameter(float value)
{
    outerDiameter = std::max(value, bandOuterDiameter + kMinGap);
}

void VTTemplateDataDiscCDDVDStandard::SetInnerDiameter(float value)
{
    // Never below the smallest hole, never into the band.
    innerDiameter = std::max(std::min(value, bandInnerDiameter - kMinGap), kMinInnerDiameter);
}

// --- Cases

void VTTemplateDataCaseCDStandardFront::PaintOutline(
    LPaintContext& ctx, const LGuiColor& color, float lineWidth, const LLineStyle* style) const
{
    const float x[1] = { 0.0f };
    StrokeFrameAndLines(ctx, color, lineWidth, style, x, 1);
}

void VTTemplateDataCaseCDStandardFront::PaintOutline(
    LPDFWriter& writer, const LGuiColor& color, float lineWidth) const
{
    const float x[1] = { 0.0f };
    StrokeFrameAndLines(writer, color, lineWidth, x, 1);
}

void VTTemplateDataCaseCDStandardBack::PaintOutline(
    LPaintContext& ctx, const LGuiColor& color, float lineWidth, const LLineStyle* style) const
{
    const float x[2] = { kGuideInset - kWidth / 2, kWidth / 2 - kGuideInset };
    StrokeFrameAndLines(ctx, color, lineWidth, style, x, 2);
}

void VTTemplateDataCaseCDStandardBack::PaintOutline(
    LPDFWriter& writer, const LGuiColor& color, float lineWidth) const
{
    const float x[2] = { kGuideInset - kWidth / 2, kWidth / 2 - kGuideInset };
    StrokeFrameAndLines(writer, color, lineWidth, x, 2);
}

void VTTemplateDataJewelCaseInsertStandard::PaintOutline(
    LPaintContext& ctx, const LGuiColor& color, float lineWidth, const LLineStyle* style) const
{
    StrokeFrameAndLines(ctx, color, lineWidth, style, nullptr, 0);
}

void VTTemplateDataJewelCaseInsertStandard::PaintOutline(
    LPDFWriter& writer, const LGuiColor& color, float lineWidth) const
{
    StrokeFrameAndLines(writer, color, lineWidth, nullptr, 0);
}

void VTTemplateDataCaseDVDStandard::PaintOutline(
    LPaintContext& ctx, const LGuiColor& color, float lineWidth, const LLineStyle* style) const
{
    const float x[2] = { -spineWidth / 2, spineWidth / 2 };
    StrokeFrameAndLines(ctx, color, lineWidth, style, x, 2);
}

void VTTemplateDataCaseDVDStandard::PaintOutline(
    LPDFWriter& writer, const LGuiColor& color, float lineWidth) const
{
    const float x[2] = { -spineWidth / 2, spineWidth / 2 };
    StrokeFrameAndLines(writer, color, lineWidth, x, 2);
}

void VTTemplateDataCaseBluRayStandard::PaintOutline(
    LPaintContext& ctx, const LGuiColor& color, float lineWidth, const LLineStyle* style) const
{
    const float x[2] = { -spineWidth / 2, spineWidth / 2 };
    StrokeFrameAndLines(ctx, color, lineWidth, style, x, 2);
}

void VTTemplateDataCaseBluRayStandard::PaintOutline(
    LPDFWriter& writer, const LGuiColor& color, float lineWidth) const
{
    const float x[2] = { -spineWidth / 2, spineWidth / 2 };
    StrokeFrameAndLines(writer, color, lineWidth, x, 2);
}
