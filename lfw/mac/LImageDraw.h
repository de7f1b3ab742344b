// Drawing an image buffer into a paint context.
#pragma once

#include "lfw/graphics/LImageBuffer.h"
#include "lfw/mac/LPaintContext.h"

// Draws the whole buffer, upright, into the rectangle (x, y, w, h) with the global alpha; the
// context's alpha is alpha during the call and restored afterwards, as is the transform. The
// interpolation mode is not applied: the context's own filter is used. Nothing for buffers
// without a surface form (see LCGImageRefReader) or a context that cannot draw.
// LPaintSurface::DrawImage is this operation.
void LPaintSurfaceDrawImage(LPaintContext& ctx, const LImageBuffer& buffer, float x, float y,
    float w, float h, float alpha, LImageInterpolationMode mode);
