// A design of many overlays painted on the screen a slice at a time: a picture of it, kept
// between paints on the display's side, into which some of it is painted at each paint, so that
// the window answers in between; the next slice is asked for once the loop has done what waits
// (input, drawing, posted work). Until the new picture is whole the last whole one is shown, or
// the new one as far as it got. The design canvas and the print preview paint through it.
#pragma once

#include "lfw/graphics/LMatrix.h"
#include "lfw/mac/LPaintContext.h"
#include "platform/ui/LRunLoop.h"

#include <cairo.h>
#include <functional>

class LPaintControl;

// A design of this many overlays is painted in slices of at most about kVTPaintSliceMs.
inline constexpr size_t kVTManyOverlays = 1000;
inline constexpr long long kVTPaintSliceMs = 40;

class VTSlicedPicture {
public:
    // Paints into the picture in the design's frame (the context's transform is the placement
    // given to Paint): from the design's start when begin is set, else on from where the last
    // call stopped, only as much as fits before until (LRunLoop::NowMs), at least one overlay,
    // so that the picture always grows. Answers whether the design is whole in it now.
    using PaintPart = std::function<bool(LPaintContext& part, bool begin, long long until)>;

    // The control the picture is shown in: it is painted again for each next slice.
    explicit VTSlicedPicture(LPaintControl& control);
    ~VTSlicedPicture();
    VTSlicedPicture(const VTSlicedPicture&) = delete;
    VTSlicedPicture& operator=(const VTSlicedPicture&) = delete;

    // What the design shows changed: the next paint begins a new picture (the last whole one is
    // shown meanwhile).
    void SetStale() { stale = true; }
    // Lets both pictures go.
    void Release();
    // Shows the design on the context's target, a pixel of the picture a device pixel of the
    // control: the last whole picture while it shows the design as it is (the same design, of
    // the same version, at the same size and placement), else the next slice of a new one
    // painted by part. version changes whenever a place reached by part may no longer be valid
    // (the design's links changed). False when no picture can be made (the caller paints the
    // design whole then).
    bool Paint(LPaintContext& context, const void* design, unsigned long long version,
        const LMatrix<float>& placement, const PaintPart& part);
    // Whether the last paint showed the whole design.
    bool WasWhole() const { return whole; }

private:
    struct Picture {
        cairo_surface_t* surface = nullptr;
        const void* design = nullptr;
        unsigned long long version = 0;
        int width = 0, height = 0;
        LMatrix<float> placement;
        size_t painted = 0; // the slices painted into it
        bool complete = false;
        void Release();
        // Of that design, size and placement.
        bool Fits(const void* shown, int width, int height, const LMatrix<float>& at) const;
    };
    static void SliceDue(LRunLoopTimer* timer, void* data);

    LPaintControl& control;
    Picture shown; // the last whole one
    Picture building; // the one being painted
    bool stale = true; // something changed since the one being painted was begun
    bool whole = false;
    LRunLoopTimer nextSlice { SliceDue, this, true };
};
