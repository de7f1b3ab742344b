// Painting into image buffers: every paint-surface operation (fills, paths, text, images) drawn
// through the painter's paint context lands in a B8G8R8A8 buffer.
//
// LImageBufferPainter paints on a private copy and writes it into the target on Flush and when it
// ends; LImageBufferPainterDirect paints on the target's own memory. The buffer's straight alpha
// is premultiplied for Cairo when painting starts and divided out again when the pixels go back,
// so semi-transparent pixels keep their colour. A bottom-up buffer is painted the right way up:
// y = 0 is the top row of the picture. Targets of any other pixel format get no drawing context:
// drawing does nothing and the target is left as it is.
#pragma once

#include "lfw/graphics/LImageBuffer.h"
#include "lfw/mac/LPaintContext.h"
#include "lfw/mac/LPaintSurface.h"

#include <cairo.h>

class LImageBufferPainter : public LPaintSurface {
public:
    // The target must outlive the painter.
    explicit LImageBufferPainter(LImageBuffer& target);
    ~LImageBufferPainter() override;
    LImageBufferPainter(const LImageBufferPainter&) = delete;
    LImageBufferPainter& operator=(const LImageBufferPainter&) = delete;

    // The context to draw with; it has no platform context for targets that cannot be painted.
    LPaintContext& GetPaintContext() { return mContext; }
    // True when drawing reaches the buffer (a valid B8G8R8A8 target).
    bool HasDrawingContext() const { return mCairo != nullptr; }

    // Sets up the private copy and the drawing context (the constructor calls it).
    void LoadImageBuffer();
    // Writes what has been painted so far into the target.
    void Flush();
    // Releases the drawing context and empties the private copy.
    void DestroyImageBufferPainter();
    // Exchanges bytes 0 and 2 of every pixel of a 4-byte buffer in place.
    void SwapRedAndBlueChannels(LImageBuffer& buffer) const;

private:
    LImageBuffer& mTarget;
    LImageBuffer mPrivate; // premultiplied, in the target's row order
    LPaintContext mContext;
    cairo_surface_t* mSurface = nullptr;
    cairo_t* mCairo = nullptr;
};

class LImageBufferPainterDirect : public LPaintSurface {
public:
    // While the painter is open the target holds premultiplied pixels and must not be read.
    explicit LImageBufferPainterDirect(LImageBuffer& target);
    // For a target whose pixels are all opaque and stay so (everything is drawn over them, as a
    // page on white paper is): premultiplied and straight pixels are then the same bytes, and no
    // pass converts them on opening or closing.
    LImageBufferPainterDirect(LImageBuffer& target, bool opaqueTarget);
    ~LImageBufferPainterDirect() override;
    LImageBufferPainterDirect(const LImageBufferPainterDirect&) = delete;
    LImageBufferPainterDirect& operator=(const LImageBufferPainterDirect&) = delete;

    LPaintContext& GetPaintContext() { return mContext; }
    bool HasDrawingContext() const { return mCairo != nullptr; }
    // Exchanges bytes 0 and 2 of every pixel of the target in place.
    void SwapRedAndBlueChannels();

private:
    LImageBuffer& mTarget;
    bool mOpaque = false;
    LPaintContext mContext;
    cairo_surface_t* mSurface = nullptr;
    cairo_t* mCairo = nullptr;
};
