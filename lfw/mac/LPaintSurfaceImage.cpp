#include "lfw/mac/LPaintSurface.h"

#include "lfw/graphics/LCGImageRefReader.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace {

// A picture of more pixels than this, drawn at half its size or less onto pixels, is drawn from
// a reduced copy (below this, the copy Cairo paints from costs at most 16 MiB).
constexpr uint64_t kReduceFromPixels = uint64_t(1) << 22;

// Whether the context draws onto pixels (a window, an image) rather than into a page
// description, which keeps every pixel of a picture.
bool DrawsOntoPixels(cairo_t* cr)
{
    switch (cairo_surface_get_type(cairo_get_group_target(cr))) {
    case CAIRO_SURFACE_TYPE_IMAGE:
    case CAIRO_SURFACE_TYPE_XLIB:
    case CAIRO_SURFACE_TYPE_XCB:
        return true;
    default:
        return false;
    }
}

// A premultiplied surface of width / factor x height / factor pixels, each the mean of the
// stretch of the picture it stands for; null when the picture's format has no surface.
cairo_surface_t* ReducedSurface(const LImageBuffer& buffer, int factor)
{
    return LCGImageRefReader().CreateReducedImageRefFromImageBuffer(buffer,
        std::max(1, buffer.GetWidth() / factor), std::max(1, buffer.GetHeight() / factor), false);
}

// Whether every pixel of a B8G8R8A8 buffer is opaque.
bool AllOpaque(const LImageBuffer& buffer)
{
    const int width = buffer.GetWidth();
    for (int y = 0; y < buffer.GetHeight(); ++y) {
        const unsigned char* row = buffer.GetRow(y);
        uint32_t all = 0xFFFFFFFFu;
        for (int x = 0; x < width; ++x) {
            uint32_t pixel;
            std::memcpy(&pixel, row + size_t(x) * 4, 4);
            all &= pixel;
        }
        if ((all >> 24) != 0xFF)
            return false;
    }
    return true;
}

// A picture a page refers to: surfaces over its pixels where they are (the colours) and over its
// alpha (the mask, when it has one), and what keeps the pixels. The page description holds them
// until it is destroyed: it reads the pixels when it writes the page out, later than the drawing.
// On a page whose writing may be given up (SetPageStop) the page is given the picture through
// patterns that hand out the surfaces when the page is written, or a pixel in their place once
// the flag is set; every surface handed out lives as long as the picture, since the page may
// look at what it was handed after letting go of it.
struct PagePicture {
    std::shared_ptr<const void> owner;
    cairo_surface_t* colours = nullptr;
    cairo_surface_t* mask = nullptr;
    const std::atomic<bool>* stop = nullptr;
    cairo_surface_t* colourPixel = nullptr; // made on first need
    cairo_surface_t* maskPixel = nullptr;

    PagePicture() = default;
    PagePicture(const PagePicture&) = delete;
    PagePicture& operator=(const PagePicture&) = delete;
    ~PagePicture()
    {
        // The page's own surfaces first. The colours' surface is let go of before the owner,
        // which may free the pixels.
        for (cairo_surface_t* own : { mask, colourPixel, maskPixel })
            if (own)
                cairo_surface_destroy(own);
        if (colours)
            cairo_surface_destroy(colours);
    }
};

struct PagePictures {
    std::vector<std::unique_ptr<PagePicture>> pictures;
    const std::atomic<bool>* stop = nullptr;
};

const cairo_user_data_key_t kPagePicturesKey = {};

// The pictures the page description refers to; null when it cannot keep any.
PagePictures* PicturesOf(cairo_surface_t* target)
{
    if (auto* kept
        = static_cast<PagePictures*>(cairo_surface_get_user_data(target, &kPagePicturesKey)))
        return kept;
    auto* kept = new PagePictures;
    if (cairo_surface_set_user_data(target, &kPagePicturesKey, kept,
            [](void* data) { delete static_cast<PagePictures*>(data); })
        != CAIRO_STATUS_SUCCESS) {
        delete kept;
        return nullptr;
    }
    return kept;
}

// The surface a pattern of a picture hands out: its own, or a pixel once the page is stopped.
cairo_surface_t* HandOut(PagePicture& picture, bool mask)
{
    cairo_surface_t* own = mask ? picture.mask : picture.colours;
    if (!picture.stop->load(std::memory_order_acquire))
        return cairo_surface_reference(own);
    cairo_surface_t*& pixel = mask ? picture.maskPixel : picture.colourPixel;
    if (!pixel)
        pixel = cairo_image_surface_create(mask ? CAIRO_FORMAT_A8 : CAIRO_FORMAT_RGB24, 1, 1);
    return cairo_surface_reference(pixel);
}

// Whether the page can refer to the buffer's pixels as they are stored: 32 bits a pixel in a
// row length and a size an image surface takes.
bool CanReferTo(const LImageBuffer& buffer)
{
    return buffer.GetPixelFormat() == LPixelFormatB8G8R8A8 && buffer.GetWidth() <= 32767
        && buffer.GetHeight() <= 32767 && buffer.GetStride() % 4 == 0
        && buffer.GetStride() >= uint64_t(buffer.GetWidth()) * 4
        && buffer.GetStride() <= uint64_t(std::numeric_limits<int>::max());
}

// The alpha of a B8G8R8A8 buffer in stored rows, times the global alpha (0 to 255); null when
// the surface cannot be made.
cairo_surface_t* AlphaMask(const LImageBuffer& buffer, unsigned alpha)
{
    const int width = buffer.GetWidth(), height = buffer.GetHeight();
    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
    if (cairo_surface_status(mask) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(mask);
        return nullptr;
    }
    cairo_surface_flush(mask);
    unsigned char* out = cairo_image_surface_get_data(mask);
    const size_t outStride = size_t(cairo_image_surface_get_stride(mask));
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = buffer.GetRow(y);
        unsigned char* to = out + size_t(y) * outStride;
        for (int x = 0; x < width; ++x)
            to[x] = alpha >= 255 ? row[size_t(x) * 4 + 3]
                                 : uint8_t((row[size_t(x) * 4 + 3] * alpha + 127) / 255);
    }
    cairo_surface_mark_dirty(mask);
    return mask;
}

// The pattern of a picture's colours (or of its mask), whose pixels are the buffer's stored
// rows: a bottom-up buffer is turned over by the pattern's matrix. With a stop flag the pattern
// hands the surface out when the page is written (HandOut).
cairo_pattern_t* StoredRowsPattern(PagePicture& picture, const LImageBuffer& buffer, bool mask)
{
    cairo_pattern_t* pattern = nullptr;
    if (picture.stop) {
        pattern = cairo_pattern_create_raster_source(&picture,
            mask ? CAIRO_CONTENT_ALPHA : CAIRO_CONTENT_COLOR, buffer.GetWidth(),
            buffer.GetHeight());
        cairo_raster_source_pattern_set_acquire(
            pattern,
            mask
            ? [](cairo_pattern_t*, void* data, cairo_surface_t*, const cairo_rectangle_int_t*)
                  -> cairo_surface_t* { return HandOut(*static_cast<PagePicture*>(data), true); }
            : [](cairo_pattern_t*, void* data, cairo_surface_t*, const cairo_rectangle_int_t*)
                  -> cairo_surface_t* { return HandOut(*static_cast<PagePicture*>(data), false); },
            [](cairo_pattern_t*, void*, cairo_surface_t* surface) {
                cairo_surface_destroy(surface);
            });
        cairo_pattern_set_extend(pattern, CAIRO_EXTEND_NONE);
    } else {
        pattern = cairo_pattern_create_for_surface(mask ? picture.mask : picture.colours);
    }
    if (buffer.IsBottomUp()) {
        cairo_matrix_t flip;
        cairo_matrix_init(&flip, 1, 0, 0, -1, 0, buffer.GetHeight());
        cairo_pattern_set_matrix(pattern, &flip);
    }
    return pattern;
}

// Paints a picture of iw x ih pixels (the pattern, in those pixels) into the rectangle (x, y, w,
// h), through the mask (a pattern in the same pixels) when there is one, else with the global
// alpha; the context's alpha is alpha meanwhile.
void PaintInRectangle(LPaintContext& ctx, cairo_pattern_t* picture, cairo_pattern_t* mask, int iw,
    int ih, float x, float y, float w, float h, float alpha)
{
    cairo_t* cr = ctx.GetPlatformContext();
    const float savedAlpha = ctx.mAlpha;
    ctx.mAlpha = alpha;
    cairo_save(cr);
    cairo_rectangle(cr, x, y, w, h);
    cairo_clip(cr);
    cairo_translate(cr, x, y);
    cairo_scale(cr, double(w) / iw, double(h) / ih);
    cairo_set_source(cr, picture);
    if (mask)
        cairo_mask(cr, mask);
    else
        cairo_paint_with_alpha(cr, std::clamp(double(alpha), 0.0, 1.0));
    cairo_restore(cr);
    ctx.mAlpha = savedAlpha;
}

// Draws the picture onto a page at its own size in pixels: by reference when there is an
// owner to hold, else from a copy (which the page takes over when it records the drawing).
void DrawIntoPage(LPaintContext& ctx, const LImageBuffer& buffer, float x, float y, float w,
    float h, float alpha, std::shared_ptr<const void> owner)
{
    cairo_pattern_t* colours = nullptr;
    cairo_pattern_t* mask = nullptr;
    alpha = std::clamp(alpha, 0.0f, 1.0f);
    cairo_t* cr = ctx.GetPlatformContext();
    PagePictures* kept = owner && CanReferTo(buffer) ? PicturesOf(cairo_get_target(cr)) : nullptr;
    if (kept) {
        auto picture = std::make_unique<PagePicture>();
        // The alpha bytes are left out of the colours (RGB24): they go into the mask.
        picture->colours
            = cairo_image_surface_create_for_data(const_cast<unsigned char*>(buffer.GetData()),
                CAIRO_FORMAT_RGB24, buffer.GetWidth(), buffer.GetHeight(), int(buffer.GetStride()));
        bool made = cairo_surface_status(picture->colours) == CAIRO_STATUS_SUCCESS;
        if (made && !AllOpaque(buffer)) {
            picture->mask = AlphaMask(buffer, unsigned(std::lround(alpha * 255)));
            made = picture->mask != nullptr;
        }
        if (made) {
            picture->owner = std::move(owner);
            picture->stop = kept->stop;
            colours = StoredRowsPattern(*picture, buffer, false);
            if (picture->mask)
                mask = StoredRowsPattern(*picture, buffer, true);
            kept->pictures.push_back(std::move(picture));
        }
    }
    if (!colours) {
        cairo_surface_t* copy = LCGImageRefReader().CreateImageRefFromImageBuffer(buffer, false);
        if (!copy)
            return;
        colours = cairo_pattern_create_for_surface(copy);
        cairo_surface_destroy(copy);
    }
    // No edge padding: an image on a page has sharp edges of its own, and a padded picture would
    // be resampled into a new one.
    PaintInRectangle(ctx, colours, mask, buffer.GetWidth(), buffer.GetHeight(), x, y, w, h, alpha);
    cairo_pattern_destroy(colours);
    if (mask)
        cairo_pattern_destroy(mask);
}

} // namespace

void LPaintSurface::DrawImage(LPaintContext& ctx, const LImageBuffer& buffer, float x, float y,
    float w, float h, float alpha, LImageInterpolationMode, std::shared_ptr<const void> owner)
{
    if (!ctx.IsDrawable() || !buffer.IsValid() || !(w > 0) || !(h > 0))
        return;
    cairo_t* cr = ctx.GetPlatformContext();
    if (!DrawsOntoPixels(cr)) {
        DrawIntoPage(ctx, buffer, x, y, w, h, alpha, std::move(owner));
        return;
    }
    // A large picture shown at a fraction of its size (a photo on the design canvas) is drawn
    // from a copy reduced by a whole factor to no less than the size it takes on the pixels:
    // Cairo's full-size copy would hold a second picture's worth of memory at every paint.
    cairo_surface_t* image = nullptr;
    const uint64_t pixels = uint64_t(buffer.GetWidth()) * uint64_t(buffer.GetHeight());
    if (pixels > kReduceFromPixels) {
        double ax = w, ay = 0, bx = 0, by = h;
        cairo_user_to_device_distance(cr, &ax, &ay);
        cairo_user_to_device_distance(cr, &bx, &by);
        const double shownW = std::max(std::hypot(ax, ay), 1.0);
        const double shownH = std::max(std::hypot(bx, by), 1.0);
        const double factor
            = std::floor(std::min(buffer.GetWidth() / shownW, buffer.GetHeight() / shownH));
        if (factor >= 2)
            image = ReducedSurface(buffer, int(std::min(factor, 65536.0)));
    }
    if (!image)
        image = LCGImageRefReader().CreateImageRefFromImageBuffer(buffer, false);
    if (!image)
        return;
    DrawImageSurface(ctx, image, cairo_image_surface_get_width(image),
        cairo_image_surface_get_height(image), x, y, w, h, alpha);
    cairo_surface_destroy(image);
}

void LPaintSurface::SetPageStop(LPaintContext& ctx, const std::atomic<bool>* stop)
{
    cairo_t* cr = ctx.GetPlatformContext();
    // A PDF document stops writing at the first write its owner refuses. A PostScript one
    // writes its pages into a file of its own first and is given its pictures through patterns
    // that can hand out a pixel in their place (the PDF surface keeps copies of such patterns
    // to its end: they are not used where they are not needed).
    if (!stop || !cr || cairo_surface_get_type(cairo_get_target(cr)) != CAIRO_SURFACE_TYPE_PS)
        return;
    if (PagePictures* kept = PicturesOf(cairo_get_target(cr)))
        kept->stop = stop;
}

void LPaintSurface::DrawImageSurface(LPaintContext& ctx, cairo_surface_t* image, int iw, int ih,
    float x, float y, float w, float h, float alpha)
{
    if (!ctx.IsDrawable() || !image || iw < 1 || ih < 1 || !(w > 0) || !(h > 0))
        return;
    cairo_pattern_t* picture = cairo_pattern_create_for_surface(image);
    // The edge pixels reach the rectangle's edges instead of fading out when scaled up.
    cairo_pattern_set_extend(picture, CAIRO_EXTEND_PAD);
    PaintInRectangle(ctx, picture, nullptr, iw, ih, x, y, w, h, alpha);
    cairo_pattern_destroy(picture);
}
