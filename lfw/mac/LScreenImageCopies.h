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
//
// Copies are made on a worker, never during a paint: a paint that finds no copy of the size it
// needs asks the worker for one and draws the copy it has that comes nearest in size, scaled, or
// a quiet grey placeholder when it has none, and marks its context (mPicturesPending). Its
// painter paints again once the copy is made (SetCopiesMadeHook).
#pragma once

#include "lfw/gen/LCountedPtr.h"
#include "lfw/graphics/LImageBuffer.h"
#include "lfw/graphics/LImageFormat.h"
#include "lfw/mac/LPaintContext.h"

#include <cairo.h>

#include <cstddef>
#include <memory>

class LScreenImageCopies {
public:
    // The copies kept at most; beyond them, up to twice as many, those drawn since the copy
    // before the last was made and those not drawn yet, so that paints that show a picture at
    // three sizes (a picture pasted twice and resized) never ask for them in turn for ever.
    static constexpr size_t kMaxCopies = 2;

    // owner: the counted object that holds both this object and the buffer it is drawn with (a
    // picture that is both), which the worker holds while it makes a copy, so that neither goes
    // meanwhile; a picture that only the worker holds any more gets no copy. Without an owner the
    // caller keeps the buffer alive and unchanged while copies of it are made: the destructor and
    // Clear wait for a copy under way, and drop the ones asked for.
    explicit LScreenImageCopies(LCountedObject* owner = nullptr);
    ~LScreenImageCopies();
    LScreenImageCopies(const LScreenImageCopies&) = delete;
    LScreenImageCopies& operator=(const LScreenImageCopies&) = delete;

    // Draws the whole buffer into the rectangle as LPaintSurface::DrawImage does. On a context
    // that paints a window (mForScreen) the picture is drawn from the copy for the size it shows
    // at there; without one, as the class says above, and the copy is asked for. On any other
    // context from the buffer itself, exactly as DrawImage draws it, and no copy is made.
    void DrawImage(LPaintContext& ctx, const LImageBuffer& buffer, float x, float y, float w,
        float h, float alpha);

    // The size of the copy of a picture of pictureWidth x pictureHeight pixels shown at
    // shownWidth x shownHeight device pixels: each side the size shown, rounded, from 1 to the
    // picture's side.
    static void CopySize(int pictureWidth, int pictureHeight, double shownWidth, double shownHeight,
        int& width, int& height);

    // A picture longer than kSourceSide on a side has a source to make its copies from: the
    // picture reduced by a power of two to at most kSourceSide, made ahead by MakeSource on any
    // thread (where the picture was read), else by the worker with the first copy. A copy that
    // fits in it is then made from its few megapixels instead of all of the picture's: a new
    // size of a picture of hundreds of megapixels takes no longer than one of a few.
    static constexpr int kSourceSide = 2048;
    // The source of the picture; false (source left empty) when the picture is no longer than
    // kSourceSide on either side, or has no surface form.
    static bool MakeSource(const LImageBuffer& picture, LImageBuffer& source);
    // Keeps the source made for the picture, until the picture's pixels change.
    void KeepSource(const LImageBuffer& picture, LImageBuffer&& source);

    // The number of copies and the bytes of their pixels.
    size_t GetCount() const;
    size_t GetBytes() const;
    // Drops every copy, the source and the copies asked for, once a copy under way is done.
    void Clear();

    // Whether copies of any picture are asked for or being made, or made and their painters not
    // yet told (which the main thread's loop does).
    static bool Busy();
    // The function the main thread runs after copies were made: the painted controls install it
    // to paint again those that waited for a copy.
    static void SetCopiesMadeHook(void (*hook)());

    struct State;

private:
    // Has the worker make the copies asked for (with the state's lock held).
    void AskWorker();

    std::shared_ptr<State> mState;
    LCountedObject* mOwner;
};
