// A check of LeakSanitizer's suppressions (scripts/lsan.supp, built in as in the fuzz programs):
// what the libraries keep for the whole process is left out, a leak of ours is reported even when
// the block came from GLib or Cairo. Built with AddressSanitizer and run by the test suite:
//
//   lsan_probe caches    lays out and draws text (fontconfig's configuration, Pango's font map,
//                        Cairo's font cache) and frees all it owns: no leak may be reported
//   lsan_probe string    also forgets a g_strdup of 12344 characters (a 12345-byte block)
//   lsan_probe surface   also forgets a Cairo image surface of 97 x 89 pixels (34532 bytes)
#include <cairo.h>
#include <glib.h>
#include <pango/pangocairo.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Text laid out and drawn the way the program does it, everything it makes freed again.
void DrawText()
{
    cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 200, 60);
    cairo_t* cr = cairo_create(target);
    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* font = pango_font_description_from_string("DejaVu Sans Bold 14");
    pango_layout_set_font_description(layout, font);
    pango_layout_set_text(layout, "Skivetikett åäö ĳ ﬁ", -1);
    int width = 0, height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    pango_cairo_show_layout(cr, layout);
    pango_font_description_free(font);
    g_object_unref(layout);
    cairo_destroy(cr);
    cairo_surface_destroy(target);
}

// The pointers are given to nobody: once these return, the blocks are unreachable.
__attribute__((noinline)) void ForgetAString()
{
    const std::string text(12344, 'x');
    char* volatile copy = g_strdup(text.c_str());
    copy[0] = 'y';
}

__attribute__((noinline)) void ForgetASurface()
{
    cairo_surface_t* volatile surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 97, 89);
    cairo_surface_flush(surface);
}

} // namespace

int main(int argc, char** argv)
{
    const char* mode = argc > 1 ? argv[1] : "";
    if (std::strcmp(mode, "caches") != 0 && std::strcmp(mode, "string") != 0
        && std::strcmp(mode, "surface") != 0) {
        std::fprintf(stderr, "lsan_probe caches|string|surface\n");
        return 2;
    }
    DrawText();
    if (std::strcmp(mode, "string") == 0)
        ForgetAString();
    if (std::strcmp(mode, "surface") == 0)
        ForgetASurface();
    // A second font and size, so that the caches grow after the first use too.
    DrawText();
    return 0;
}
