// A 300-dpi A4 page (2480 x 3507 pixels) of 200 mixed shapes, gradients and text lines, drawn
// through the paint surface and, for comparison, with the same plain cairo and Pango calls.

#include "lfw/mac/LPaintSurface.h"
#include "lfw/mac/LPaperSize.h"

#include <benchmark/benchmark.h>
#include <cairo.h>
#include <pango/pangocairo.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

struct Item {
    int kind;
    float x, y, w, h;
    uint8_t r, g, b;
    std::string text;
};

std::vector<Item> Scene(int width, int height)
{
    std::vector<Item> items;
    uint32_t seed = 12345;
    auto next = [&seed](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % n;
    };
    for (int i = 0; i < 200; ++i) {
        Item it;
        it.kind = i % 5;
        it.w = float(100 + next(500));
        it.h = float(60 + next(300));
        it.x = float(next(uint32_t(width - 600)));
        it.y = float(next(uint32_t(height - 360)));
        it.r = uint8_t(next(256));
        it.g = uint8_t(next(256));
        it.b = uint8_t(next(256));
        it.text = "Skivetikett nummer " + std::to_string(i) + ": låtlista och omslag";
        items.push_back(it);
    }
    return items;
}

struct Page {
    unsigned long width = 0, height = 0;
    cairo_surface_t* surface = nullptr;
    Page()
    {
        LPaperSizeGetPhysicalDimensionsInPixels(LPaperSizeA4, 300, width, height);
        surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(width), int(height));
    }
    ~Page() { cairo_surface_destroy(surface); }
};

void ClearWhite(cairo_t* cr)
{
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_restore(cr);
}

void BM_PaintSurfaceScene(benchmark::State& state)
{
    Page page;
    std::vector<Item> items = Scene(int(page.width), int(page.height));
    cairo_t* cr = cairo_create(page.surface);
    LPaintContext ctx(cr, double(page.width), double(page.height));
    ctx.SetFont(LFontAttributes("Helvetica", 42, 0));
    LLineStyle dashed;
    dashed.dashStyle = LDashStyleDash;
    dashed.lineCap = LLineCapRound;
    for (auto _ : state) {
        ClearWhite(cr);
        for (const Item& it : items) {
            LGuiColorAlpha c(LGuiColor::FromRGB8(it.r, it.g, it.b), 255);
            switch (it.kind) {
            case 0:
                LPaintSurface::FillRect(ctx, LGuiSolidBrush(c), it.x, it.y, it.w, it.h);
                break;
            case 1:
                LPaintSurface::DrawEllipse(
                    ctx, it.x, it.y, it.w, it.h, LGuiSolidBrush(c), 6, &dashed);
                break;
            case 2: {
                LGuiBrushGradientLinear g(it.x, it.y, it.x + it.w, it.y + it.h, c,
                    LGuiColorAlpha(LGuiColor::FromRGB8(255, 255, 255)));
                LGraphicsPath p;
                p.AddEllipse(it.x + it.w / 2, it.y + it.h / 2, it.w / 2, it.h / 2);
                LPaintSurface::FillPath(ctx, g, p);
                break;
            }
            case 3: {
                LGuiBrushGradientRadial g(it.x + it.w / 2, it.y + it.h / 2, it.w / 2, it.h / 2, c,
                    LGuiColorAlpha(LGuiColor::FromRGB8(255, 255, 255)));
                LPaintSurface::FillRect(ctx, g, it.x, it.y, it.w, it.h);
                break;
            }
            default:
                ctx.mTextColor = c;
                LPaintSurface::DrawText(ctx, it.text.c_str(), it.x, it.y, it.w + 600, it.h,
                    LAlignmentXLeft, LAlignmentYTop, LTextWrappingWord, LTextTrimmingNone);
                break;
            }
        }
        cairo_surface_flush(page.surface);
    }
    cairo_destroy(cr);
}

void BM_PlainCairoScene(benchmark::State& state)
{
    Page page;
    std::vector<Item> items = Scene(int(page.width), int(page.height));
    cairo_t* cr = cairo_create(page.surface);
    cairo_set_line_width(cr, 1);
    PangoContext* pc = pango_font_map_create_context(pango_cairo_font_map_get_default());
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    pango_cairo_context_set_font_options(pc, options);
    cairo_font_options_destroy(options);
    PangoLayout* layout = pango_layout_new(pc);
    PangoFontDescription* font = pango_font_description_from_string("Helvetica,sans-serif");
    pango_font_description_set_absolute_size(font, 42 * PANGO_SCALE);
    pango_layout_set_font_description(layout, font);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    const double k = 0.5522847498;
    for (auto _ : state) {
        ClearWhite(cr);
        for (const Item& it : items) {
            double r = it.r / 255.0, g = it.g / 255.0, b = it.b / 255.0;
            double cx = it.x + it.w / 2.0, cy = it.y + it.h / 2.0, rx = it.w / 2.0, ry = it.h / 2.0;
            switch (it.kind) {
            case 0:
                cairo_set_source_rgba(cr, r, g, b, 1);
                cairo_rectangle(cr, it.x, it.y, it.w, it.h);
                cairo_fill(cr);
                break;
            case 1: {
                cairo_save(cr);
                cairo_set_line_width(cr, 6);
                cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
                const double dashes[2] = { 12, 12 };
                cairo_set_dash(cr, dashes, 2, -3);
                cairo_set_source_rgba(cr, r, g, b, 1);
                cairo_move_to(cr, cx, cy - ry);
                cairo_curve_to(cr, cx + k * rx, cy - ry, cx + rx, cy - k * ry, cx + rx, cy);
                cairo_curve_to(cr, cx + rx, cy + k * ry, cx + k * rx, cy + ry, cx, cy + ry);
                cairo_curve_to(cr, cx - k * rx, cy + ry, cx - rx, cy + k * ry, cx - rx, cy);
                cairo_curve_to(cr, cx - rx, cy - k * ry, cx - k * rx, cy - ry, cx, cy - ry);
                cairo_close_path(cr);
                cairo_stroke(cr);
                cairo_restore(cr);
                break;
            }
            case 2: {
                cairo_pattern_t* p
                    = cairo_pattern_create_linear(it.x, it.y, it.x + it.w, it.y + it.h);
                cairo_pattern_add_color_stop_rgba(p, 0, r, g, b, 1);
                cairo_pattern_add_color_stop_rgba(p, 1, 1, 1, 1, 1);
                cairo_pattern_set_extend(p, CAIRO_EXTEND_PAD);
                cairo_save(cr);
                cairo_set_source(cr, p);
                cairo_move_to(cr, cx, cy - ry);
                cairo_curve_to(cr, cx + k * rx, cy - ry, cx + rx, cy - k * ry, cx + rx, cy);
                cairo_curve_to(cr, cx + rx, cy + k * ry, cx + k * rx, cy + ry, cx, cy + ry);
                cairo_curve_to(cr, cx - k * rx, cy + ry, cx - rx, cy + k * ry, cx - rx, cy);
                cairo_curve_to(cr, cx - rx, cy - k * ry, cx - k * rx, cy - ry, cx, cy - ry);
                cairo_close_path(cr);
                cairo_fill(cr);
                cairo_restore(cr);
                cairo_pattern_destroy(p);
                break;
            }
            case 3: {
                double s = ry / rx;
                cairo_pattern_t* p = cairo_pattern_create_radial(cx, cy / s, rx, cx, cy / s, 0);
                cairo_pattern_add_color_stop_rgba(p, 0, r, g, b, 1);
                cairo_pattern_add_color_stop_rgba(p, 1, 1, 1, 1, 1);
                cairo_pattern_set_extend(p, CAIRO_EXTEND_PAD);
                cairo_matrix_t m;
                cairo_matrix_init_scale(&m, 1, 1 / s);
                cairo_pattern_set_matrix(p, &m);
                cairo_save(cr);
                cairo_set_source(cr, p);
                cairo_rectangle(cr, it.x, it.y, it.w, it.h);
                cairo_fill(cr);
                cairo_restore(cr);
                cairo_pattern_destroy(p);
                break;
            }
            default:
                pango_layout_set_text(layout, it.text.c_str(), -1);
                pango_layout_set_width(layout, int((it.w + 600) * PANGO_SCALE));
                cairo_set_source_rgba(cr, r, g, b, 1);
                cairo_move_to(cr, it.x, it.y);
                pango_cairo_show_layout(cr, layout);
                break;
            }
        }
        cairo_surface_flush(page.surface);
    }
    pango_font_description_free(font);
    g_object_unref(layout);
    g_object_unref(pc);
    cairo_destroy(cr);
}

} // namespace

BENCHMARK(BM_PaintSurfaceScene)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainCairoScene)->Unit(benchmark::kMillisecond);
