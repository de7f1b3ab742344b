#include "lfw/mac/LPaintSurface.h"

#include "lfw/graphics/LCGImageRefReader.h"
#include "lfw/graphics/LParallelParts.h"

#include <algorithm>
#include <cmath>
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

// A premultiplied surface of width / factor x height / factor pixels, each the mean of the block
// of the picture's pixels it stands for (B8G8R8A8, B8G8R8 or R8G8B8); null for other formats.
// Reading the picture row by row, it takes no more memory than the reduced surface.
cairo_surface_t* ReducedSurface(const LImageBuffer& buffer, int factor)
{
    const pixelformat_t format = buffer.GetPixelFormat();
    int bytes, red, blue, alpha;
    switch (format) {
    case LPixelFormatB8G8R8A8:
        bytes = 4, blue = 0, red = 2, alpha = 3;
        break;
    case LPixelFormatB8G8R8:
        bytes = 3, blue = 0, red = 2, alpha = -1;
        break;
    case LPixelFormatR8G8B8:
        bytes = 3, blue = 2, red = 0, alpha = -1;
        break;
    default:
        return nullptr;
    }
    const int w = buffer.GetWidth(), h = buffer.GetHeight();
    const int rw = std::max(1, w / factor), rh = std::max(1, h / factor);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, rw, rh);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const size_t stride = size_t(cairo_image_surface_get_stride(surface));
    // Column x of the reduced picture covers the picture's columns [edge[x], edge[x + 1]).
    std::vector<int> edge(size_t(rw) + 1);
    for (int x = 0; x <= rw; ++x)
        edge[size_t(x)] = int(int64_t(x) * w / rw);

    auto rows = [&](int, size_t begin, size_t end) {
        std::vector<uint64_t> sums(size_t(rw) * 4);
        for (size_t y = begin; y < end; ++y) {
            std::fill(sums.begin(), sums.end(), 0);
            const int top = int(int64_t(y) * h / rh), bottom = int(int64_t(y + 1) * h / rh);
            for (int sy = top; sy < bottom; ++sy) {
                const uint8_t* p = buffer.GetPictureRow(sy);
                for (int x = 0; x < rw; ++x) {
                    uint64_t* s = &sums[size_t(x) * 4];
                    for (int sx = edge[size_t(x)]; sx < edge[size_t(x) + 1]; ++sx, p += bytes) {
                        const unsigned a = alpha < 0 ? 255 : p[alpha];
                        s[0] += p[blue] * a;
                        s[1] += p[1] * a;
                        s[2] += p[red] * a;
                        s[3] += a;
                    }
                }
            }
            uint8_t* out = data + y * stride;
            for (int x = 0; x < rw; ++x, out += 4) {
                const uint64_t n
                    = uint64_t(bottom - top) * uint64_t(edge[size_t(x) + 1] - edge[size_t(x)]);
                const uint64_t* s = &sums[size_t(x) * 4];
                // Premultiplied: each colour is its mean of colour x alpha, over 255.
                for (int c = 0; c < 3; ++c)
                    out[c] = uint8_t((s[c] + n * 255 / 2) / (n * 255));
                out[3] = uint8_t((s[3] + n / 2) / n);
            }
        }
    };
    LRunInParts(size_t(rh), LParallelPartCount(size_t(w) * size_t(h), size_t(1) << 20), rows);
    cairo_surface_mark_dirty(surface);
    return surface;
}

} // namespace

void LPaintSurface::DrawImage(LPaintContext& ctx, const LImageBuffer& buffer, float x, float y,
    float w, float h, float alpha, LImageInterpolationMode)
{
    if (!ctx.IsDrawable() || !buffer.IsValid() || !(w > 0) || !(h > 0))
        return;
    cairo_t* cr = ctx.GetPlatformContext();
    // A large picture shown at a fraction of its size (a photo on the design canvas) is drawn
    // from a copy reduced by a whole factor to no less than the size it takes on the pixels:
    // Cairo's full-size copy would hold a second picture's worth of memory at every paint.
    cairo_surface_t* image = nullptr;
    const uint64_t pixels = uint64_t(buffer.GetWidth()) * uint64_t(buffer.GetHeight());
    if (pixels > kReduceFromPixels && DrawsOntoPixels(cr)) {
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

void LPaintSurface::DrawImageSurface(LPaintContext& ctx, cairo_surface_t* image, int iw, int ih,
    float x, float y, float w, float h, float alpha)
{
    if (!ctx.IsDrawable() || !image || iw < 1 || ih < 1 || !(w > 0) || !(h > 0))
        return;
    cairo_t* cr = ctx.GetPlatformContext();
    const float savedAlpha = ctx.mAlpha;
    ctx.mAlpha = alpha;
    cairo_save(cr);
    cairo_rectangle(cr, x, y, w, h);
    cairo_clip(cr);
    cairo_translate(cr, x, y);
    cairo_scale(cr, double(w) / iw, double(h) / ih);
    cairo_set_source_surface(cr, image, 0, 0);
    // The edge pixels reach the rectangle's edges instead of fading out when scaled up.
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_paint_with_alpha(cr, std::clamp(double(alpha), 0.0, 1.0));
    cairo_restore(cr);
    ctx.mAlpha = savedAlpha;
}
