#include "lfw/mac/LScreenImageCopies.h"

#include "lfw/graphics/LCGImageRefReader.h"
#include "lfw/mac/LPaintSurface.h"
#include "platform/system/WorkerQueue.h"
#include "platform/ui/LRunLoop.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

namespace {

struct Copy {
    cairo_surface_t* surface;
    int width, height;
    bool fresh; // not drawn at its own size yet
    unsigned long long drawnAt; // the copies made when it was last drawn at its own size
};

struct Size {
    int width, height;
};

// The worker that makes the copies of every picture, one picture after another (a large
// picture's copy is itself shared out among the processors), and what the main thread is told.
platform::system::WorkerQueue& Workers()
{
    static auto* queue = new platform::system::WorkerQueue("Skärmkopior");
    return *queue;
}
// Pictures whose copies are asked of the worker, counted down on the main thread once their
// painters have been told (so that a wait for the count wakes up with the loop).
std::atomic<int> gWork { 0 };
std::atomic<void (*)()> gHook { nullptr };

// Ends a picture's work: the painters are told when copies were made.
void Done(bool made)
{
    LRunLoop::Post([made] {
        if (void (*hook)() = gHook.load(); hook && made)
            hook();
        --gWork;
    });
}

int CopySide(int picture, double shown)
{
    if (!(shown < picture))
        return picture; // also a size that is not a number
    return int(std::clamp(std::round(shown), 1.0, double(picture)));
}

} // namespace

struct LScreenImageCopies::State {
    std::mutex lock;
    std::condition_variable finished; // a copy under way is done
    std::vector<Copy> copies; // the one used last first
    std::vector<Size> wanted; // asked for and not yet made, the last asked first
    std::shared_ptr<const LImageBuffer> source; // null when there is none
    // The pixels the copies are made from, and the buffer they were last drawn with.
    const unsigned char* pixels = nullptr;
    LImageFormat format;
    const LImageBuffer* buffer = nullptr;
    unsigned long long made = 0; // copies made so far
    bool queued = false; // the worker has the picture's copies to make
    bool making = false; // a copy is being made from the pixels
    bool alive = true;

    Copy* Find(int width, int height)
    {
        for (Copy& c : copies)
            if (c.width == width && c.height == height)
                return &c;
        return nullptr;
    }
    // Follows the buffer: other pixels drop everything made from the old ones.
    void Follow(const LImageBuffer& picture)
    {
        if (pixels != picture.GetData() || !(format == picture.GetFormat())) {
            Drop();
            pixels = picture.GetData();
            format = picture.GetFormat();
        }
        buffer = &picture;
    }
    void Keep(cairo_surface_t* surface, int width, int height)
    {
        ++made;
        copies.insert(copies.begin(), Copy { surface, width, height, true, made });
        // The copies used longest ago go first, but not those drawn since the copy before this
        // one was made (a paint that shows the picture at more sizes than are kept keeps them
        // all, instead of asking again for one at every paint), nor one not yet drawn, unless
        // there are twice the copies.
        const auto wanted = [&](const Copy& c) { return c.fresh || c.drawnAt + 1 >= made; };
        while (copies.size() > kMaxCopies) {
            auto victim = std::find_if(
                copies.rbegin(), copies.rend(), [&](const Copy& c) { return !wanted(c); });
            if (victim == copies.rend()) {
                if (copies.size() <= 2 * kMaxCopies)
                    break;
                victim = copies.rbegin();
            }
            cairo_surface_destroy(victim->surface);
            copies.erase(std::next(victim).base());
        }
    }
    void Drop()
    {
        for (const Copy& c : copies)
            cairo_surface_destroy(c.surface);
        copies.clear();
        wanted.clear();
        source.reset();
        pixels = nullptr;
        format = LImageFormat();
        buffer = nullptr;
    }
};

namespace {

// The worker's part: the copies asked for, the last asked first, until none is left; whether any
// was made. keep holds the picture (when it has an owner) until the work is done.
bool MakeCopies(const std::shared_ptr<LScreenImageCopies::State>& state,
    const LCountedPtr<LCountedObject>& keep)
{
    bool made = false;
    std::unique_lock<std::mutex> hold(state->lock);
    for (;;) {
        // A picture that nothing but this work holds any more is shown nowhere.
        if (!state->alive || state->wanted.empty() || (keep && keep->GetRefCount() == 1)) {
            state->wanted.clear();
            break;
        }
        const Size size = state->wanted.front();
        state->wanted.erase(state->wanted.begin());
        const LImageBuffer* buffer = state->buffer;
        const unsigned char* pixels = state->pixels;
        if (state->Find(size.width, size.height) || !buffer || !pixels)
            continue;
        std::shared_ptr<const LImageBuffer> source = state->source;
        const bool secondSize = !state->copies.empty();
        state->making = true;
        hold.unlock();
        // A large picture asked for a second size gets its source first: this copy and the
        // next sizes are made from it. Its first copy is made from all its pixels.
        bool newSource = false;
        if (!source && secondSize) {
            auto reduced = std::make_shared<LImageBuffer>();
            if (LScreenImageCopies::MakeSource(*buffer, *reduced)) {
                source = std::move(reduced);
                newSource = true;
            }
        }
        const bool fromSource
            = source && size.width <= source->GetWidth() && size.height <= source->GetHeight();
        cairo_surface_t* surface = LCGImageRefReader().CreateReducedImageRefFromImageBuffer(
            fromSource ? *source : *buffer, size.width, size.height, false);
        hold.lock();
        state->making = false;
        state->finished.notify_all();
        // Pixels changed meanwhile: what was made shows the old ones.
        if (state->pixels != pixels || !state->alive) {
            if (surface)
                cairo_surface_destroy(surface);
            continue;
        }
        if (newSource && !state->source)
            state->source = std::move(source);
        if (surface && !state->Find(size.width, size.height)) {
            state->Keep(surface, size.width, size.height);
            made = true;
        } else if (surface) {
            cairo_surface_destroy(surface);
        }
    }
    state->queued = false;
    return made;
}

// Draws the copy one pixel to a device pixel (sx, sy: the target's device scale).
void DrawUpright(LPaintContext& ctx, cairo_surface_t* copy, float x, float y, float w, float h,
    float alpha, double sx, double sy)
{
    // The copy's pixels are the device pixels the rectangle covers: put one on each, from the
    // device pixel nearest the rectangle's corner, with no filtering (less than half a pixel from
    // where the rectangle begins; the clip keeps the rectangle's own edges).
    cairo_t* cr = ctx.GetPlatformContext();
    double left = x, top = y;
    cairo_user_to_device(cr, &left, &top);
    const float savedAlpha = ctx.mAlpha;
    ctx.mAlpha = alpha;
    cairo_save(cr);
    cairo_rectangle(cr, x, y, w, h);
    cairo_clip(cr);
    cairo_identity_matrix(cr);
    cairo_scale(cr, 1 / sx, 1 / sy);
    cairo_set_source_surface(cr, copy, std::round(left * sx), std::round(top * sy));
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_paint_with_alpha(cr, std::clamp(double(alpha), 0.0, 1.0));
    cairo_restore(cr);
    ctx.mAlpha = savedAlpha;
}

} // namespace

LScreenImageCopies::LScreenImageCopies(LCountedObject* owner)
    : mState(std::make_shared<State>())
    , mOwner(owner)
{
}

LScreenImageCopies::~LScreenImageCopies()
{
    std::unique_lock<std::mutex> hold(mState->lock);
    mState->alive = false;
    mState->wanted.clear();
    mState->finished.wait(hold, [&] { return !mState->making; });
    mState->Drop();
}

void LScreenImageCopies::CopySize(int pictureWidth, int pictureHeight, double shownWidth,
    double shownHeight, int& width, int& height)
{
    width = CopySide(pictureWidth, shownWidth);
    height = CopySide(pictureHeight, shownHeight);
}

void LScreenImageCopies::AskWorker()
{
    State& state = *mState;
    state.queued = true;
    ++gWork;
    auto work = [state = mState, keep = LCountedPtr<LCountedObject>(mOwner)]() mutable {
        const bool made = MakeCopies(state, keep);
        keep.reset();
        Done(made);
    };
    if (Workers().Add(std::move(work)))
        return;
    // No thread for the worker: the caller makes the copies itself, once it has let go of the lock.
    state.queued = false;
}

void LScreenImageCopies::DrawImage(
    LPaintContext& ctx, const LImageBuffer& buffer, float x, float y, float w, float h, float alpha)
{
    if (!ctx.mForScreen) {
        LPaintSurface::DrawImage(ctx, buffer, x, y, w, h, alpha, LImageInterpolationNone);
        return;
    }
    if (!ctx.IsDrawable() || !buffer.IsValid() || !(w > 0) || !(h > 0))
        return;
    // The picture's sides in device pixels: its rectangle's sides under the transform and the
    // target's device scale (a window at GDK_SCALE=2 has two device pixels to a unit). Upright
    // and unmirrored, a copy of the size shown is put on the device pixels as it is; turned,
    // mirrored or enlarged, the copy is drawn through the transform.
    cairo_t* cr = ctx.GetPlatformContext();
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    double sx = 1, sy = 1;
    cairo_surface_get_device_scale(cairo_get_group_target(cr), &sx, &sy);
    const double shownWidth = double(w) * std::hypot(sx * m.xx, sy * m.yx);
    const double shownHeight = double(h) * std::hypot(sx * m.xy, sy * m.yy);
    int width = 0, height = 0;
    CopySize(buffer.GetWidth(), buffer.GetHeight(), shownWidth, shownHeight, width, height);

    cairo_surface_t* copy = nullptr;
    int copyWidth = 0, copyHeight = 0;
    bool exact = false, noWorker = false;
    {
        std::lock_guard<std::mutex> hold(mState->lock);
        State& state = *mState;
        state.Follow(buffer);
        if (Copy* found = state.Find(width, height)) {
            found->fresh = false;
            found->drawnAt = state.made;
            std::rotate(state.copies.begin(), state.copies.begin() + (found - state.copies.data()),
                state.copies.begin() + (found - state.copies.data()) + 1);
            copy = cairo_surface_reference(state.copies.front().surface);
            copyWidth = width;
            copyHeight = height;
            exact = true;
        } else {
            auto asked = std::find_if(state.wanted.begin(), state.wanted.end(),
                [&](const Size& s) { return s.width == width && s.height == height; });
            if (asked != state.wanted.end())
                state.wanted.erase(asked);
            state.wanted.insert(state.wanted.begin(), Size { width, height });
            if (state.wanted.size() > kMaxCopies)
                state.wanted.resize(kMaxCopies);
            if (!state.queued) {
                AskWorker();
                noWorker = !state.queued;
            }
            // The copy nearest in size stands in for it meanwhile.
            double nearest = 0;
            for (const Copy& c : state.copies) {
                const double off = std::fabs(std::log(double(c.width) / width))
                    + std::fabs(std::log(double(c.height) / height));
                if (!copy || off < nearest) {
                    copy = c.surface;
                    copyWidth = c.width;
                    copyHeight = c.height;
                    nearest = off;
                }
            }
            if (copy)
                cairo_surface_reference(copy);
        }
    }
    if (noWorker)
        Done(MakeCopies(mState, LCountedPtr<LCountedObject>(mOwner)));
    if (!exact) {
        ctx.mPicturesPending = true;
        if (copy) {
            LPaintSurface::DrawImageSurface(ctx, copy, copyWidth, copyHeight, x, y, w, h, alpha);
        } else {
            // A quiet placeholder: a light grey of the picture's box.
            cairo_save(cr);
            cairo_rectangle(cr, x, y, w, h);
            cairo_set_source_rgba(cr, 0.85, 0.85, 0.85, std::clamp(double(alpha), 0.0, 1.0));
            cairo_fill(cr);
            cairo_restore(cr);
        }
    } else {
        const bool sizeShown
            = width == std::lround(shownWidth) && height == std::lround(shownHeight);
        if (sizeShown && m.xy == 0 && m.yx == 0 && m.xx > 0 && m.yy > 0)
            DrawUpright(ctx, copy, x, y, w, h, alpha, sx, sy);
        else
            LPaintSurface::DrawImageSurface(ctx, copy, width, height, x, y, w, h, alpha);
    }
    if (copy)
        cairo_surface_destroy(copy);
}

bool LScreenImageCopies::MakeSource(const LImageBuffer& picture, LImageBuffer& source)
{
    source.Reset();
    if (!picture.IsValid())
        return false;
    int width = picture.GetWidth(), height = picture.GetHeight();
    if (width <= kSourceSide && height <= kSourceSide)
        return false;
    while (width > kSourceSide || height > kSourceSide) {
        width = std::max(1, width / 2);
        height = std::max(1, height / 2);
    }
    LCGImageRefReader reader;
    cairo_surface_t* reduced
        = reader.CreateReducedImageRefFromImageBuffer(picture, width, height, false);
    if (!reduced)
        return false;
    LProcessInterfaceVoid quiet;
    const bool made = reader.GetImageBufferFromImageRef(quiet, source, reduced) == 0;
    cairo_surface_destroy(reduced);
    if (!made)
        source.Reset();
    return made;
}

void LScreenImageCopies::KeepSource(const LImageBuffer& picture, LImageBuffer&& source)
{
    auto kept = std::make_shared<LImageBuffer>(std::move(source));
    std::lock_guard<std::mutex> hold(mState->lock);
    mState->Follow(picture);
    mState->source = kept->IsValid() ? std::move(kept) : nullptr;
}

size_t LScreenImageCopies::GetCount() const
{
    std::lock_guard<std::mutex> hold(mState->lock);
    return mState->copies.size();
}

size_t LScreenImageCopies::GetBytes() const
{
    std::lock_guard<std::mutex> hold(mState->lock);
    size_t bytes = 0;
    for (const Copy& c : mState->copies)
        bytes += size_t(cairo_image_surface_get_stride(c.surface)) * size_t(c.height);
    return bytes;
}

void LScreenImageCopies::Clear()
{
    std::unique_lock<std::mutex> hold(mState->lock);
    mState->wanted.clear();
    mState->finished.wait(hold, [&] { return !mState->making; });
    mState->Drop();
}

bool LScreenImageCopies::Busy()
{
    return gWork.load() > 0;
}

void LScreenImageCopies::SetCopiesMadeHook(void (*hook)())
{
    gHook = hook;
}
