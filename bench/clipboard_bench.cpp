// The clipboard with an A4 page at 300 dpi (2480 x 3508), 32-bit with an opaque alpha channel on
// both sides, run under a display (xvfb-run):
// - BM_Copy_Framework against BM_Copy_Gtk (gtk_clipboard_set_image): copying returns before any
//   encoding;
// - BM_CopyPaste_Framework against BM_CopyPaste_Gtk (set_image, wait_for_image): copying and
//   pasting back in one process, where a paste of our own copy takes its pixels directly while
//   GTK encodes and decodes a PNG;
// - BM_CopyPastePngBytes_Framework: the PNG encoded from the copy and decoded again, as another
//   program's paste costs, against the same BM_CopyPaste_Gtk.
#include "lfw/graphics/LImageFile.h"
#include "lfw/mac/LClipboard.h"
#include "platform/ui/LUiClipboard.h"
#include "platform/ui/LUiSystem.h"

#include <benchmark/benchmark.h>
#include <gtk/gtk.h>

namespace {

constexpr int kWidth = 2480, kHeight = 3508;

// A page: gradients with text-like stripes.
void Paint(unsigned char* row, int y, int channels)
{
    for (int x = 0; x < kWidth; ++x, row += channels) {
        bool ink = ((y / 12) % 5 == 0) && ((x / 7) % 3 != 0);
        row[0] = ink ? 20 : uint8_t(255 - x * 60 / kWidth);
        row[1] = ink ? 20 : uint8_t(255 - y * 40 / kHeight);
        row[2] = ink ? 20 : 250;
        if (channels == 4)
            row[3] = 255;
    }
}

LImageBuffer& Page()
{
    static LImageBuffer* page = [] {
        LImageFormat format;
        format.width = kWidth;
        format.height = kHeight;
        format.pixelFormat = LPixelFormatB8G8R8A8;
        format.stride = uint64_t(kWidth) * 4;
        auto* b = new LImageBuffer(format);
        for (int y = 0; y < kHeight; ++y)
            Paint(b->GetRow(y), y, 4);
        return b;
    }();
    return *page;
}

GdkPixbuf* PagePixbuf()
{
    static GdkPixbuf* pixbuf = [] {
        GdkPixbuf* p = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, kWidth, kHeight);
        for (int y = 0; y < kHeight; ++y)
            Paint(gdk_pixbuf_get_pixels(p) + y * gdk_pixbuf_get_rowstride(p), y, 4);
        return p;
    }();
    return pixbuf;
}

void BM_Copy_Framework(benchmark::State& state)
{
    if (!LUiInit())
        return state.SkipWithError("no display");
    LImageBuffer& page = Page();
    for (auto _ : state) {
        LClipboard clipboard(nullptr);
        clipboard.CopyImage(page);
    }
}
BENCHMARK(BM_Copy_Framework)->Unit(benchmark::kMillisecond);

void BM_Copy_Gtk(benchmark::State& state)
{
    if (!LUiInit())
        return state.SkipWithError("no display");
    GdkPixbuf* page = PagePixbuf();
    for (auto _ : state)
        gtk_clipboard_set_image(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), page);
}
BENCHMARK(BM_Copy_Gtk)->Unit(benchmark::kMillisecond);

void BM_CopyPaste_Framework(benchmark::State& state)
{
    if (!LUiInit())
        return state.SkipWithError("no display");
    LImageBuffer& page = Page();
    for (auto _ : state) {
        LClipboard clipboard(nullptr);
        clipboard.CopyImage(page);
        LImageBuffer back;
        if (!clipboard.PasteImage(back))
            return state.SkipWithError("paste failed");
        benchmark::DoNotOptimize(back.GetRow(0));
    }
}
BENCHMARK(BM_CopyPaste_Framework)->Unit(benchmark::kMillisecond);

// What another program pays: the PNG encoded from the copy, then decoded.
void BM_CopyPastePngBytes_Framework(benchmark::State& state)
{
    if (!LUiInit())
        return state.SkipWithError("no display");
    LImageBuffer& page = Page();
    for (auto _ : state) {
        LClipboard clipboard(nullptr);
        clipboard.CopyImage(page);
        std::vector<uint8_t> png;
        if (!LUiClipboard::Read("image/png", png))
            return state.SkipWithError("no PNG");
        LImageBuffer back;
        if (!LImage::Load(back, png.data(), png.size(), LImage::EncodingPNG))
            return state.SkipWithError("decoding failed");
        benchmark::DoNotOptimize(back.GetRow(0));
    }
}
BENCHMARK(BM_CopyPastePngBytes_Framework)->Unit(benchmark::kMillisecond);

void BM_CopyPaste_Gtk(benchmark::State& state)
{
    if (!LUiInit())
        return state.SkipWithError("no display");
    GdkPixbuf* page = PagePixbuf();
    GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
    for (auto _ : state) {
        gtk_clipboard_set_image(clipboard, page);
        GdkPixbuf* back = gtk_clipboard_wait_for_image(clipboard);
        if (!back)
            return state.SkipWithError("paste failed");
        g_object_unref(back);
    }
}
BENCHMARK(BM_CopyPaste_Gtk)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
