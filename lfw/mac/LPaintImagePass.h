// Drawing through an image: what a paint context is given while a pass lives goes into an image
// of the part being repainted, in the target's own pixels, and that image is put on the target
// when the pass ends. A window's own surface (X11's) lets glyphs through a clip with a hole (a
// disc's hub), which image, PDF and print surfaces cut away: a view that is to show what those
// outputs hold paints through a pass. On an image target a pass does nothing.
#pragma once

#include <cairo.h>

class LPaintContext;

class LPaintImagePass {
public:
    explicit LPaintImagePass(LPaintContext& context);
    ~LPaintImagePass();
    LPaintImagePass(const LPaintImagePass&) = delete;
    LPaintImagePass& operator=(const LPaintImagePass&) = delete;

    // Whether drawing goes into an image of the pass's own.
    bool IsActive() const { return fImage != nullptr; }

private:
    LPaintContext& fContext;
    cairo_t* fTarget = nullptr;
    cairo_surface_t* fImage = nullptr;
    cairo_t* fImageContext = nullptr;
};
