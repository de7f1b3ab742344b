// Painting a text overlay of one mebibyte on one line (letters, no blank: one word broken by
// characters) in its default 50 x 50 mm box at 10 pixels a millimetre, as the design canvas
// repaints it while the overlay is dragged, against drawing the same lines from a ready Pango
// layout into the same surface under the same transform. Both sides clear the surface and draw
// the lines the box shows; the two pictures are compared once, before timing.
//
// Also: the first paint of such an overlay (its layout made), what adding the text costs.

#include "app/VTOverlayText.h"
#include "lfw/mac/LPaintContext.h"
#include "lfw/mac/LPaintSurface.h"
#include "platform/text/TextLayout.h"

#include <benchmark/benchmark.h>
#include <cairo.h>
#include <pango/pangocairo.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>

namespace {

constexpr float kBoxMm = 50;
constexpr float kPixelsPerMm = 10;
constexpr int kSide = 600;

const std::string& Mebibyte()
{
    static const std::string text = [] {
        std::mt19937 random(37);
        std::string s(size_t(1) << 20, 'a');
        for (char& c : s)
            c = char('a' + random() % 26);
        return s;
    }();
    return text;
}

// A white surface with a paint context whose user space is millimetres about its centre.
struct Surface {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSide, kSide);
    cairo_t* cr = cairo_create(surface);
    std::unique_ptr<LPaintContext> ctx;
    Surface()
    {
        ctx = std::make_unique<LPaintContext>(cr, kSide, kSide);
        LPaintSurface::Transform(*ctx,
            LMatrix<float>::Scaling(kPixelsPerMm, kPixelsPerMm)
                * LMatrix<float>::Translation(kSide / 2.0f, kSide / 2.0f));
    }
    ~Surface()
    {
        ctx.reset();
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    void Clear()
    {
        cairo_save(cr);
        cairo_identity_matrix(cr);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        cairo_restore(cr);
    }
    bool SameAs(Surface& o)
    {
        cairo_surface_flush(surface);
        cairo_surface_flush(o.surface);
        return std::memcmp(cairo_image_surface_get_data(surface),
                   cairo_image_surface_get_data(o.surface),
                   size_t(cairo_image_surface_get_stride(surface)) * kSide)
            == 0;
    }
};

std::unique_ptr<VTOverlayText> Overlay()
{
    auto t = std::make_unique<VTOverlayText>();
    t->SetText(Mebibyte().c_str());
    t->width = kBoxMm;
    t->height = kBoxMm;
    return t;
}

// The lines the box shows, from a Pango layout made once: the same text the overlay's layout
// holds, in the same font, width and options, centred in the box as the overlay centres them.
struct ReadyLayout {
    PangoContext* context = nullptr;
    PangoLayout* layout = nullptr;
    int lines = 0;
    double top = 0;

    ReadyLayout(const PangoFontDescription* font, const std::string& text)
    {
        // The same font options as the overlay's layouts.
        context = platform::text::TextLayout::NewContext();
        layout = pango_layout_new(context);
        pango_layout_set_font_description(layout, font);
        PangoAttrList* attrs = pango_attr_list_new();
        pango_attr_list_insert(attrs, pango_attr_insert_hyphens_new(FALSE));
        pango_layout_set_attributes(layout, attrs);
        pango_attr_list_unref(attrs);
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
        pango_layout_set_auto_dir(layout, FALSE);
        pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
        pango_layout_set_width(layout, int(kBoxMm * PANGO_SCALE + 0.5f));
        pango_layout_set_text(layout, text.data(), int(text.size()));
        int bottom = 0;
        const int limit = int(kBoxMm * PANGO_SCALE + 0.5f);
        PangoLayoutIter* it = pango_layout_get_iter(layout);
        do {
            PangoRectangle logical;
            pango_layout_iter_get_line_extents(it, nullptr, &logical);
            if (lines > 0 && logical.y + logical.height > limit + 2)
                break;
            ++lines;
            bottom = logical.y + logical.height;
        } while (pango_layout_iter_next_line(it));
        pango_layout_iter_free(it);
        top = -kBoxMm / 2 + (kBoxMm - double(bottom) / PANGO_SCALE) * 0.5;
    }
    ~ReadyLayout()
    {
        g_object_unref(layout);
        g_object_unref(context);
    }

    void Draw(cairo_t* cr) const
    {
        cairo_save(cr);
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
        cairo_new_path(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        PangoLayoutIter* it = pango_layout_get_iter(layout);
        int n = 0;
        do {
            PangoRectangle logical;
            pango_layout_iter_get_line_extents(it, nullptr, &logical);
            cairo_move_to(cr, -kBoxMm / 2 + double(logical.x) / PANGO_SCALE,
                top + double(pango_layout_iter_get_baseline(it)) / PANGO_SCALE);
            pango_cairo_show_layout_line(cr, pango_layout_iter_get_line_readonly(it));
        } while (++n < lines && pango_layout_iter_next_line(it));
        pango_layout_iter_free(it);
        cairo_restore(cr);
    }
};

// The overlay painted once, its layout kept, and the Pango layout of the same lines.
struct Pair {
    std::unique_ptr<VTOverlayText> overlay = Overlay();
    Surface ours;
    std::unique_ptr<ReadyLayout> reference;
    bool same = false;

    Pair()
    {
        ours.Clear();
        overlay->Paint(*ours.ctx);
        const std::string shown = Mebibyte().substr(0, overlay->GetLayoutCache().LaidOutBytes());
        reference = std::make_unique<ReadyLayout>(
            ours.ctx->GetFont().GetPlatformFont()->Description(), shown);
        Surface theirs;
        theirs.Clear();
        reference->Draw(theirs.cr);
        same = ours.SameAs(theirs);
    }
};

Pair& Shared()
{
    static Pair pair;
    return pair;
}

void BM_PaintUnchangedMebibyteOverlay(benchmark::State& state)
{
    Pair& p = Shared();
    if (!p.same) {
        state.SkipWithError("the overlay and the Pango layout draw different pictures");
        return;
    }
    for (auto _ : state) {
        p.ours.Clear();
        p.overlay->Paint(*p.ours.ctx);
        cairo_surface_flush(p.ours.surface);
    }
}
BENCHMARK(BM_PaintUnchangedMebibyteOverlay)->Unit(benchmark::kMillisecond);

void BM_PaintSameLinesFromReadyPangoLayout(benchmark::State& state)
{
    Pair& p = Shared();
    if (!p.same) {
        state.SkipWithError("the overlay and the Pango layout draw different pictures");
        return;
    }
    Surface s;
    for (auto _ : state) {
        s.Clear();
        p.reference->Draw(s.cr);
        cairo_surface_flush(s.surface);
    }
}
BENCHMARK(BM_PaintSameLinesFromReadyPangoLayout)->Unit(benchmark::kMillisecond);

void BM_FirstPaintOfANewMebibyteOverlay(benchmark::State& state)
{
    Surface s;
    for (auto _ : state) {
        state.PauseTiming();
        auto t = Overlay();
        state.ResumeTiming();
        s.Clear();
        t->Paint(*s.ctx);
        cairo_surface_flush(s.surface);
        state.PauseTiming();
        t.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FirstPaintOfANewMebibyteOverlay)->Unit(benchmark::kMillisecond);

} // namespace
