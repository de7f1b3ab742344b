// Copies of one picture reduced to the sizes it is shown at on screen. A photograph of millions of
// pixels shown a few hundred pixels wide is painted from a copy of that size, made once for that
// size, instead of from all its pixels at every paint (converting and filtering 24 million pixels
// takes over 100 ms, painting the copy a fraction of a millisecond). Paper and files (print, PDF
// and image export) keep getting the picture itself.
//
// A copy has the device pixels the picture covers along its sides, so an upright picture is put
// on the screen pixel for pixel: a picture moved keeps its copy, one resized gets a new one. The
// two copies used last are kept (the canvas and the print preview show a picture at different
// sizes); they go when the picture's pixels change. The object may be used from any thread.
#pragma once

#include "lfw/graphics/LImageBuffer.h"
#include "lfw/graphics/LImageFormat.h"
#include "lfw/mac/LPaintContext.h"

#include <cairo.h>

#include <cstddef>
#include <mutex>
#include <vector>

class LScreenImageCopies {
public:
    // The copies kept at most.
    static constexpr size_t kMaxCopies = 2;

    LScreenImageCopies() = default;
    ~LScreenImageCopies();
    LScreenImageCopies(const LScreenImageCopies&) = delete;
    LScreenImageCopies& operator=(const LScreenImageCopies&) = delete;

    // Draws the whole buffer into the rectangle as LPaintSurface::DrawImage does. On a context
    // that paints a window (mForScreen) the picture is drawn from the copy for the size it shows
    // at there, made now when there is none; on any other context from the buffer itself, exactly
    // as DrawImage draws it, and no copy is made.
    void DrawImage(LPaintContext& ctx, const LImageBuffer& buffer, float x, float y, float w,
        float h, float alpha);

    // The size of the copy of a picture of pictureWidth x pictureHeight pixels shown at
    // shownWidth x shownHeight device pixels: each side the size shown, rounded, from 1 to the
    // picture's side.
    static void CopySize(int pictureWidth, int pictureHeight, double shownWidth, double shownHeight,
        int& width, int& height);

    // A picture longer than kSourceSide on a side may have a source to make its copies from: the
    // picture reduced by a power of two to at most kSourceSide, made ahead by MakeSource on any
    // thread (where the picture was read). A copy that fits in it is then made from its few
    // megapixels instead of all of the picture's: a first paint of a picture of hundreds of
    // megapixels takes no longer than one of a few.
    static constexpr int kSourceSide = 2048;
    // The source of the picture; false (source left empty) when the picture is no longer than
    // kSourceSide on either side, or has no surface form.
    static bool MakeSource(const LImageBuffer& picture, LImageBuffer& source);
    // Keeps the source made for the picture, until the picture's pixels change.
    void KeepSource(const LImageBuffer& picture, LImageBuffer&& source);

    // The number of copies and the bytes of their pixels.
    size_t GetCount() const;
    size_t GetBytes() const;
    // Drops every copy and the source.
    void Clear();

private:
    struct Copy {
        cairo_surface_t* surface;
        int width, height;
    };

    // The copy of that size, made when there is none (the caller releases it); null when the
    // picture has no surface form.
    cairo_surface_t* Get(const LImageBuffer& buffer, int width, int height);
    void ClearLocked();
    // Draws the copy one pixel to a device pixel (sx, sy: the target's device scale).
    static void DrawUpright(LPaintContext& ctx, cairo_surface_t* copy, float x, float y, float w,
        float h, float alpha, double sx, double sy);

    mutable std::mutex mLock;
    std::vector<Copy> mCopies; // the one used last first
    LImageBuffer mSource; // empty when there is none
    // The pixels the copies were made from.
    const unsigned char* mPixels = nullptr;
    LImageFormat mFormat;
};
