#include "lfw/mac/LScreenImageCopies.h"

#include "lfw/graphics/LCGImageRefReader.h"
#include "lfw/mac/LPaintSurface.h"

#include <algorithm>
#include <cmath>

namespace {

int CopySide(int picture, double shown)
{
    if (!(shown < picture))
        return picture; // also a size that is not a number
    if (!(shown > 0))
        return 1;
    // The largest power of 2^(1/8) that takes the picture's side down to no less than the size
    // shown; the small allowance keeps a side that lands on a whole number from being rounded up.
    const double steps = std::floor(8 * std::log2(picture / shown));
    const double side = std::ceil(picture * std::exp2(-steps / 8) - 1e-6);
    return int(std::clamp(side, 1.0, double(picture)));
}

} // namespace

LScreenImageCopies::~LScreenImageCopies()
{
    ClearLocked();
}

void LScreenImageCopies::CopySize(int pictureWidth, int pictureHeight, double shownWidth,
    double shownHeight, int& width, int& height)
{
    width = CopySide(pictureWidth, shownWidth);
    height = CopySide(pictureHeight, shownHeight);
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
    // target's device scale (a window at GDK_SCALE=2 has two device pixels to a unit).
    cairo_t* cr = ctx.GetPlatformContext();
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    double sx = 1, sy = 1;
    cairo_surface_get_device_scale(cairo_get_group_target(cr), &sx, &sy);
    const double shownWidth = double(w) * std::hypot(sx * m.xx, sy * m.yx);
    const double shownHeight = double(h) * std::hypot(sx * m.xy, sy * m.yy);
    int width = 0, height = 0;
    CopySize(buffer.GetWidth(), buffer.GetHeight(), shownWidth, shownHeight, width, height);
    cairo_surface_t* copy = Get(buffer, width, height);
    if (!copy)
        return;
    LPaintSurface::DrawImageSurface(ctx, copy, width, height, x, y, w, h, alpha);
    cairo_surface_destroy(copy);
}

cairo_surface_t* LScreenImageCopies::Get(const LImageBuffer& buffer, int width, int height)
{
    std::lock_guard<std::mutex> hold(mLock);
    if (mPixels != buffer.GetData() || !(mFormat == buffer.GetFormat())) {
        ClearLocked();
        mPixels = buffer.GetData();
        mFormat = buffer.GetFormat();
    }
    auto found = std::find_if(mCopies.begin(), mCopies.end(),
        [&](const Copy& c) { return c.width == width && c.height == height; });
    if (found != mCopies.end()) {
        std::rotate(mCopies.begin(), found, found + 1);
        return cairo_surface_reference(mCopies.front().surface);
    }
    // Made with the lock held: another thread asking for the same copy waits for this one.
    cairo_surface_t* made
        = LCGImageRefReader().CreateReducedImageRefFromImageBuffer(buffer, width, height, false);
    if (!made)
        return nullptr;
    mCopies.insert(mCopies.begin(), Copy { made, width, height });
    while (mCopies.size() > kMaxCopies) {
        cairo_surface_destroy(mCopies.back().surface);
        mCopies.pop_back();
    }
    return cairo_surface_reference(made);
}

size_t LScreenImageCopies::GetCount() const
{
    std::lock_guard<std::mutex> hold(mLock);
    return mCopies.size();
}

size_t LScreenImageCopies::GetBytes() const
{
    std::lock_guard<std::mutex> hold(mLock);
    size_t bytes = 0;
    for (const Copy& c : mCopies)
        bytes += size_t(cairo_image_surface_get_stride(c.surface)) * size_t(c.height);
    return bytes;
}

void LScreenImageCopies::Clear()
{
    std::lock_guard<std::mutex> hold(mLock);
    ClearLocked();
}

void LScreenImageCopies::ClearLocked()
{
    for (const Copy& c : mCopies)
        cairo_surface_destroy(c.surface);
    mCopies.clear();
    mPixels = nullptr;
    mFormat = LImageFormat();
}
