// The bridge between image buffers and the platform's images (Cairo image surfaces).
//
// Buffers hold straight alpha; Cairo's ARGB32 surfaces hold premultiplied alpha, so colours are
// premultiplied on the way into a surface and divided out again on the way back. Opaque pixels
// cross unchanged both ways; semi-transparent ones keep what 8-bit premultiplied values can hold.
// A created surface owns its own copy of the pixels: the buffer may change or die afterwards.
#pragma once

#include "lfw/gen/LProcess.h"
#include "lfw/graphics/LImageBuffer.h"

#include <cairo.h>

class LCGImageRefReader {
public:
    // A new image surface (the caller destroys it) showing the buffer upright: a bottom-up
    // buffer's rows are turned over on the way. B8G8R8A8 becomes ARGB32 (RGB24 when the alpha is
    // to be ignored); B8G8R8, R8G8B8 and B5G5R5X1 become RGB24. Null for an empty buffer, for the
    // formats without a surface form (B5G6R5, B5G5R5A1, R8G8B8A8, the 4-bit format, I8) and when
    // the surface cannot be made.
    cairo_surface_t* CreateImageRefFromImageBuffer(
        const LImageBuffer& buffer, bool ignoreAlpha) const;
    // The same taking the stored rows as top to bottom, whatever the buffer's flag says.
    cairo_surface_t* CreateImageRefFromImageBufferCorrectOrientation(
        const LImageBuffer& buffer, bool ignoreAlpha) const;

    // A new image surface of width x height showing the whole buffer upright, reduced: every
    // pixel the average of the stretch of the buffer it covers, taken over premultiplied colours so
    // that transparent pixels tint nothing. Each side from 1 to the buffer's; at the buffer's own
    // size the surface CreateImageRefFromImageBuffer makes. Large buffers are shared out among
    // the processors. Null for a pixel format that has no surface, and for a size out of range
    // (a source wider or taller than any surface reduces all the same).
    cairo_surface_t* CreateReducedImageRefFromImageBuffer(
        const LImageBuffer& buffer, int width, int height, bool ignoreAlpha) const;

    // Fills the buffer with the surface's pixels as top-down B8G8R8A8 with straight alpha (the
    // buffer is reallocated unless it already is that format and size). ARGB32 and RGB24 are
    // copied; other surface formats are painted onto transparency first. 0 done, 1 stopped,
    // 2 when the surface is not a readable image surface or the buffer cannot be allocated.
    LProcessResult GetImageBufferFromImageRef(
        LProcessInterface& job, LImageBuffer& buffer, cairo_surface_t* image) const;

    // The pixels of a 32-bit surface (ARGB32, or RGB24 made opaque) into a valid top-down
    // B8G8R8A8 buffer of the surface's size, as straight alpha. The job is asked to stop before
    // the copy and before every row. 0 done, 1 stopped, 2 when the buffer or the surface does not
    // fit.
    LProcessResult CopyRGBAImageToBGRAImageBuffer(
        LProcessInterface& job, LImageBuffer& buffer, cairo_surface_t* image) const;

    // Paints the surface at (0, 0) in its own size over the buffer's current pixels (a valid
    // B8G8R8A8 buffer; nothing otherwise), in picture order.
    void PaintImageToBGRAImageBuffer(LImageBuffer& buffer, cairo_surface_t* image) const;
};
