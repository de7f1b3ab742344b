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
    return int(std::clamp(std::round(shown), 1.0, double(picture)));
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
    cairo_surface_t* copy = Get(buffer, width, height);
    if (!copy)
        return;
    const bool sizeShown = width == std::lround(shownWidth) && height == std::lround(shownHeight);
    if (sizeShown && m.xy == 0 && m.yx == 0 && m.xx > 0 && m.yy > 0)
        DrawUpright(ctx, copy, x, y, w, h, alpha, sx, sy);
    else
        LPaintSurface::DrawImageSurface(ctx, copy, width, height, x, y, w, h, alpha);
    cairo_surface_destroy(copy);
}

void LScreenImageCopies::DrawUpright(LPaintContext& ctx, cairo_surface_t* copy, float x, float y,
    float w, float h, float alpha, double sx, double sy)
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
    const bool fromSource
        = mSource.IsValid() && width <= mSource.GetWidth() && height <= mSource.GetHeight();
    cairo_surface_t* made = LCGImageRefReader().CreateReducedImageRefFromImageBuffer(
        fromSource ? mSource : buffer, width, height, false);
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
    std::lock_guard<std::mutex> hold(mLock);
    if (mPixels != picture.GetData() || !(mFormat == picture.GetFormat())) {
        ClearLocked();
        mPixels = picture.GetData();
        mFormat = picture.GetFormat();
    }
    mSource = std::move(source);
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
    mSource.Reset();
    mPixels = nullptr;
    mFormat = LImageFormat();
}
