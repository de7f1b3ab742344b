// Background fills and outline strokes of template geometries: a design's background brush
// (kept in document form, its gradient geometry in fractions of the template's size) stretched
// over a template's width and height and filled into an outline, on a paint context or into a
// PDF, and the stroking helpers of PDF outlines.
#pragma once

#include "lfw/gen/LFile.h"
#include "lfw/gen/LPtr.h"
#include "lfw/graphics/LImageBuffer.h"
#include "lfw/mac/LBrushInfo.h"
#include "lfw/mac/LGraphicsPath.h"
#include "lfw/mac/LGuiColor.h"
#include "lfw/mac/LPDFWriter.h"
#include "lfw/mac/LPaintContext.h"

#include <string>

// Fills the outline with the brush: kind 1 a solid colour, kinds 2 and 3 a gradient stretched
// over width x height; any other kind paints nothing.
void FillBackground(LPaintContext& ctx, const LBrushInfo& brush, const LGraphicsPath& outline,
    const float& width, const float& height);
void FillBackground(LPDFWriter& writer, const LBrushInfo& brush, const LGraphicsPath& outline,
    const float& width, const float& height);

// Derive drawable gradients (kind 2 and kind 3) from a document brush: a stop at 0 with the
// first colour, the source's stops, and a stop at 1 with the last colour. The stop array holds
// 20, so at most 18 source stops are taken (the first 17 and the last). Nothing happens when the
// source has no stops.
void CreateLinearBrush(
    LBrushInfo& out, const LBrushInfo& in, const float& width, const float& height);
void CreateRadialBrush(
    LBrushInfo& out, const LBrushInfo& in, const float& width, const float& height);

// A solid brush of the colour at that opacity.
LBrushInfo SolidBrushInfo(const LGuiColor& color, uint8_t alpha = 255);

// Strokes in a PDF with the opaque colour at the line width, without a line style.
void DrawPathPDF(
    LPDFWriter& writer, const LGuiColor& color, const LGraphicsPath& path, float lineWidth);
void DrawLinePDF(LPDFWriter& writer, const LGuiColor& color, float x1, float y1, float x2, float y2,
    float lineWidth);
void DrawFramePDF(LPDFWriter& writer, const LGuiColor& color, float x, float y, float w, float h,
    float lineWidth);
// The ellipse inscribed in the rectangle.
void DrawEllipsePDF(LPDFWriter& writer, const LGuiColor& color, float x, float y, float w, float h,
    float lineWidth);

// What the template panel hands over when the user chose a background: a brush (null for an
// image fill), the background image's path (whole), and the picture when the picker has decoded
// it.
struct VTBackgroundFill {
    LPtr<LBrushInfo> brush;
    std::string path;
    LImageBuffer image;
};
