#include "platform/ui/LUiImage.h"

#include "platform/system/FileRead.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gdk/gdk.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <tuple>

namespace {

unsigned long gCursorSets = 0;
GdkCursor* gCurrent = nullptr; // the cursor set last (one reference held)

// Straight RGB(A) bytes of a pixbuf to premultiplied B, G, R, A of an ARGB32 surface.
cairo_surface_t* SurfaceFromPixbuf(GdkPixbuf* pixbuf)
{
    const int w = gdk_pixbuf_get_width(pixbuf), h = gdk_pixbuf_get_height(pixbuf);
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    if (gdk_pixbuf_get_colorspace(pixbuf) != GDK_COLORSPACE_RGB
        || gdk_pixbuf_get_bits_per_sample(pixbuf) != 8 || (channels != 3 && channels != 4))
        return nullptr;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    cairo_surface_flush(surface);
    const guchar* pixels = gdk_pixbuf_read_pixels(pixbuf);
    const int rowstride = gdk_pixbuf_get_rowstride(pixbuf);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < h; ++y) {
        const guchar* s = pixels + size_t(y) * size_t(rowstride);
        unsigned char* d = data + size_t(y) * size_t(stride);
        for (int x = 0; x < w; ++x, s += channels, d += 4) {
            const unsigned a = channels == 4 ? s[3] : 255;
            auto mul = [a](unsigned c) {
                unsigned t = c * a + 128;
                return static_cast<unsigned char>((t + (t >> 8)) >> 8);
            };
            d[0] = mul(s[2]);
            d[1] = mul(s[1]);
            d[2] = mul(s[0]);
            d[3] = static_cast<unsigned char>(a);
        }
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

void SetOnEveryWindow(GdkCursor* cursor)
{
    GList* windows = gtk_window_list_toplevels();
    for (GList* l = windows; l; l = l->next) {
        GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(l->data));
        if (window)
            gdk_window_set_cursor(window, cursor);
    }
    g_list_free(windows);
    g_object_ref(cursor);
    if (gCurrent)
        g_object_unref(gCurrent);
    gCurrent = cursor;
    ++gCursorSets;
}

} // namespace

namespace {

// A PNG file (the program's own pictures are PNG) read by Cairo's reader, which gives
// premultiplied pixels straight away: a good third of the work of the image library's reader,
// which first asks every format whether the file is its own. Null when Cairo cannot read it; the
// image library then tries.
cairo_surface_t* LoadPng(const char* path, const std::string& bytes)
{
    const size_t n = std::strlen(path);
    if (n < 4 || g_ascii_strcasecmp(path + n - 4, ".png") != 0)
        return nullptr;
    struct Reader {
        const std::string& bytes;
        size_t at = 0;
    } reader { bytes };
    cairo_surface_t* read = cairo_image_surface_create_from_png_stream(
        [](void* closure, unsigned char* to, unsigned int length) {
            auto* r = static_cast<Reader*>(closure);
            if (length > r->bytes.size() - r->at)
                return CAIRO_STATUS_READ_ERROR;
            std::memcpy(to, r->bytes.data() + r->at, length);
            r->at += length;
            return CAIRO_STATUS_SUCCESS;
        },
        &reader);
    if (cairo_surface_status(read) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(read);
        return nullptr;
    }
    const cairo_format_t format = cairo_image_surface_get_format(read);
    if (format == CAIRO_FORMAT_ARGB32)
        return read;
    cairo_surface_t* surface = nullptr;
    if (format == CAIRO_FORMAT_RGB24) { // opaque: the same pixels with their alpha set
        const int w = cairo_image_surface_get_width(read);
        const int h = cairo_image_surface_get_height(read);
        surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
        if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
            cairo_surface_flush(read);
            cairo_surface_flush(surface);
            const unsigned char* from = cairo_image_surface_get_data(read);
            unsigned char* to = cairo_image_surface_get_data(surface);
            const int fromStride = cairo_image_surface_get_stride(read);
            const int toStride = cairo_image_surface_get_stride(surface);
            for (int y = 0; y < h; ++y) {
                const auto* s = reinterpret_cast<const uint32_t*>(from + size_t(y) * fromStride);
                auto* d = reinterpret_cast<uint32_t*>(to + size_t(y) * toStride);
                for (int x = 0; x < w; ++x)
                    d[x] = s[x] | 0xFF000000u;
            }
            cairo_surface_mark_dirty(surface);
        } else {
            cairo_surface_destroy(surface);
            surface = nullptr;
        }
    }
    cairo_surface_destroy(read);
    return surface;
}

} // namespace

cairo_surface_t* LUiImageLoadFile(const char* path)
{
    // The bytes are read here, never by the readers themselves: a path that names a FIFO or a
    // device is refused at once (platform/system/FileRead.h).
    std::string bytes;
    if (!path || !*path || !platform::system::ReadWholeFile(path, bytes))
        return nullptr;
    if (cairo_surface_t* png = LoadPng(path, bytes))
        return png;
    // The loader is chosen as a load by path chooses it: by the bytes, and by the name too
    // where the bytes do not tell (TGA, for one).
    const auto* data = reinterpret_cast<const guchar*>(bytes.data());
    gboolean uncertain = true;
    gchar* type = g_content_type_guess(nullptr, data, bytes.size(), &uncertain);
    if (uncertain || !type || g_str_equal(type, "text/plain")
        || g_str_equal(type, "application/gzip")) {
        g_free(type);
        type = g_content_type_guess(path, data, bytes.size(), nullptr);
    }
    gchar* mime = type ? g_content_type_get_mime_type(type) : nullptr;
    GdkPixbufLoader* loader = mime ? gdk_pixbuf_loader_new_with_mime_type(mime, nullptr) : nullptr;
    g_free(mime);
    g_free(type);
    if (!loader)
        loader = gdk_pixbuf_loader_new();
    const bool written = gdk_pixbuf_loader_write(loader, data, bytes.size(), nullptr);
    const bool read = gdk_pixbuf_loader_close(loader, nullptr) && written;
    GdkPixbuf* pixbuf = read ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
    cairo_surface_t* surface = pixbuf ? SurfaceFromPixbuf(pixbuf) : nullptr;
    g_object_unref(loader);
    return surface;
}

bool LUiCursorSetImage(cairo_surface_t* image, int hotX, int hotY)
{
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !image || cairo_surface_get_type(image) != CAIRO_SURFACE_TYPE_IMAGE)
        return false;
    const int w = cairo_image_surface_get_width(image), h = cairo_image_surface_get_height(image);
    if (w < 1 || h < 1)
        return false;
    GdkCursor* cursor = gdk_cursor_new_from_surface(
        display, image, std::clamp(hotX, 0, w - 1), std::clamp(hotY, 0, h - 1));
    if (!cursor)
        return false;
    SetOnEveryWindow(cursor);
    g_object_unref(cursor);
    return true;
}

namespace {

// Icons drawn so far, by name, size and colour: every panel's title bar and many buttons show the
// same few, and drawing one from the theme takes the icon library a few million instructions.
// Forgotten when the icon theme changes. The key's colour is kept in 8-bit channels, as drawn.
using ThemeIconKey = std::tuple<std::string, int, int, int, int>;
// The surfaces are the cache's own, destroyed with it when the program ends.
struct ThemeIconCache : std::map<ThemeIconKey, cairo_surface_t*> {
    ~ThemeIconCache()
    {
        for (auto& [key, surface] : *this)
            cairo_surface_destroy(surface);
    }
};
ThemeIconCache gThemeIcons;
constexpr size_t kMaxThemeIcons = 256;

void ForgetThemeIcons()
{
    for (auto& [key, surface] : gThemeIcons)
        cairo_surface_destroy(surface);
    gThemeIcons.clear();
}

// A surface of its own for the caller (who may set its device scale or draw into it).
cairo_surface_t* CopyOf(cairo_surface_t* kept)
{
    const int w = cairo_image_surface_get_width(kept), h = cairo_image_surface_get_height(kept);
    cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    if (cairo_surface_status(copy) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(copy);
        return nullptr;
    }
    cairo_surface_flush(copy);
    const int from = cairo_image_surface_get_stride(kept),
              to = cairo_image_surface_get_stride(copy);
    for (int y = 0; y < h; ++y)
        std::memcpy(cairo_image_surface_get_data(copy) + size_t(y) * to,
            cairo_image_surface_get_data(kept) + size_t(y) * from, size_t(w) * 4);
    cairo_surface_mark_dirty(copy);
    return copy;
}

cairo_surface_t* DrawThemeIcon(
    GtkIconTheme* theme, const char* name, int size, double r, double g, double b)
{
    // A theme's pictures drawn in advance (PNG, made in sizes of 16, 32, 48... pixels) load
    // without starting the SVG renderer, which costs more than the first window's whole
    // painting: the nearest such size at or above the one asked for is loaded and scaled down.
    // The SVG is drawn only when the theme has no picture drawn in advance.
    const int drawn = (size + 15) / 16 * 16;
    GtkIconInfo* info = gtk_icon_theme_lookup_icon(theme, name, drawn,
        GtkIconLookupFlags(GTK_ICON_LOOKUP_FORCE_SIZE | GTK_ICON_LOOKUP_NO_SVG));
    if (!info)
        info = gtk_icon_theme_lookup_icon(theme, name, size, GTK_ICON_LOOKUP_FORCE_SIZE);
    if (!info)
        return nullptr;
    GdkRGBA colour { r, g, b, 1.0 };
    GdkPixbuf* pixbuf
        = gtk_icon_info_load_symbolic(info, &colour, nullptr, nullptr, nullptr, nullptr, nullptr);
    g_object_unref(info);
    if (!pixbuf)
        return nullptr;
    if (gdk_pixbuf_get_width(pixbuf) != size || gdk_pixbuf_get_height(pixbuf) != size) {
        GdkPixbuf* scaled = gdk_pixbuf_scale_simple(pixbuf, size, size, GDK_INTERP_HYPER);
        g_object_unref(pixbuf);
        if (!scaled)
            return nullptr;
        pixbuf = scaled;
    }
    cairo_surface_t* surface = SurfaceFromPixbuf(pixbuf);
    g_object_unref(pixbuf);
    return surface;
}

} // namespace

cairo_surface_t* LUiImageLoadThemeIcon(const char* name, int size, double r, double g, double b)
{
    if (!name || size < 1 || !gdk_display_get_default())
        return nullptr;
    GtkIconTheme* theme = gtk_icon_theme_get_default();
    if (!theme)
        return nullptr;
    static bool watched = false;
    if (!watched) {
        watched = true;
        g_signal_connect(theme, "changed",
            G_CALLBACK(+[](GtkIconTheme*, gpointer) { ForgetThemeIcons(); }), nullptr);
    }
    auto channel = [](double c) { return int(std::lround(std::clamp(c, 0.0, 1.0) * 255)); };
    ThemeIconKey key { name, size, channel(r), channel(g), channel(b) };
    if (auto it = gThemeIcons.find(key); it != gThemeIcons.end())
        return CopyOf(it->second);
    cairo_surface_t* surface = DrawThemeIcon(theme, name, size, r, g, b);
    if (!surface)
        return nullptr;
    if (gThemeIcons.size() >= kMaxThemeIcons)
        ForgetThemeIcons();
    gThemeIcons.emplace(std::move(key), surface);
    return CopyOf(surface);
}

bool LUiCursorSetNamed(const char* name)
{
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !name)
        return false;
    GdkCursor* cursor = gdk_cursor_new_from_name(display, name);
    if (!cursor)
        cursor = gdk_cursor_new_for_display(display, GDK_LEFT_PTR);
    if (!cursor)
        return false;
    SetOnEveryWindow(cursor);
    g_object_unref(cursor);
    return true;
}

bool LUiCursorKeepForWidget(GtkWidget* widget)
{
    if (!widget || !gCurrent)
        return false;
    GdkWindow* window = gtk_widget_get_window(widget);
    if (!window)
        return false;
    gdk_window_set_cursor(window, gCurrent);
    return true;
}

unsigned long LUiCursorSetCount()
{
    return gCursorSets;
}
