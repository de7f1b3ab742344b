// Controls made by id against plain GTK widgets in a GtkFixed doing the same work: 300 labels,
// inputs and buttons built, placed and shown in a window; text heights measured against a bare
// PangoLayout. Needs a display (run under xvfb-run).
#include "lfw/mac/LControlFlags.h"
#include "lfw/mac/LMacWindow.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LRunLoop.h"
#include "platform/ui/LUiSystem.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <gtk/gtk.h>
#include <pango/pangocairo.h>
#include <string>

namespace {

constexpr int kEach = 100; // of each kind: 300 controls

void Settle()
{
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

void BM_ControlsById(benchmark::State& state)
{
    if (!LUiInit()) {
        state.SkipWithError("no display");
        return;
    }
    for (auto _ : state) {
        LMacWindow w;
        w.CreateCocoaWindow(800, 600, kLUiWindowTitled, false, nullptr);
        for (int i = 0; i < kEach; ++i) {
            int x = (i % 10) * 80, y = (i / 10) * 60;
            w.AddStatic(1000 + i, "Etikett");
            w.MoveControlPixels(1000 + i, x, y, 70, 18);
            w.AddInput(2000 + i, LInputFlags {});
            w.MoveControlPixels(2000 + i, x, y + 18, 70, 20);
            w.AddPushButton(3000 + i, "Knapp", 0, 0, 70, 21);
            w.MoveControlPixels(3000 + i, x, y + 38, 70, 20);
        }
        w.GetNativeWindow()->OrderFront();
        Settle();
        w.DestroyCommon();
        Settle();
    }
    state.SetItemsProcessed(state.iterations() * 3 * kEach);
}
BENCHMARK(BM_ControlsById)->Unit(benchmark::kMillisecond);

void BM_PlainGtkFixed(benchmark::State& state)
{
    if (!LUiInit()) {
        state.SkipWithError("no display");
        return;
    }
    for (auto _ : state) {
        GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_default_size(GTK_WINDOW(window), 800, 600);
        GtkWidget* fixed = gtk_fixed_new();
        gtk_container_add(GTK_CONTAINER(window), fixed);
        for (int i = 0; i < kEach; ++i) {
            int x = (i % 10) * 80, y = (i / 10) * 60;
            GtkWidget* label = gtk_label_new("Etikett");
            gtk_widget_set_size_request(label, 70, 18);
            gtk_fixed_put(GTK_FIXED(fixed), label, x, y);
            GtkWidget* entry = gtk_entry_new();
            gtk_widget_set_size_request(entry, 70, 20);
            gtk_fixed_put(GTK_FIXED(fixed), entry, x, y + 18);
            GtkWidget* button = gtk_button_new_with_label("Knapp");
            gtk_widget_set_size_request(button, 70, 20);
            gtk_fixed_put(GTK_FIXED(fixed), button, x, y + 38);
        }
        gtk_widget_show_all(window);
        Settle();
        gtk_widget_destroy(window);
        Settle();
    }
    state.SetItemsProcessed(state.iterations() * 3 * kEach);
}
BENCHMARK(BM_PlainGtkFixed)->Unit(benchmark::kMillisecond);

std::string Paragraph(int i)
{
    return "Stycke " + std::to_string(i)
        + ": en etikett med några ord som bryts över flera rader när bredden inte räcker.";
}

void BM_MeasureTextHeight(benchmark::State& state)
{
    if (!LUiInit()) {
        state.SkipWithError("no display");
        return;
    }
    LMacWindow w;
    w.CreateCocoaWindow(400, 300, kLUiWindowTitled, false, nullptr);
    for (auto _ : state) {
        long total = 0;
        for (int i = 0; i < 10000; ++i)
            total += w.MeasureTextHeight(Paragraph(i).c_str(), 200);
        benchmark::DoNotOptimize(total);
    }
    w.DestroyCommon();
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_MeasureTextHeight)->Unit(benchmark::kMillisecond);

void BM_BarePangoLayout(benchmark::State& state)
{
    if (!LUiInit()) {
        state.SkipWithError("no display");
        return;
    }
    double p = LUiSystemFontSize();
    for (auto _ : state) {
        long total = 0;
        for (int i = 0; i < 10000; ++i) {
            // The same work: a layout in the label font, wrapped at the width, its lines counted.
            PangoContext* context
                = pango_font_map_create_context(pango_cairo_font_map_get_default());
            PangoFontDescription* desc = pango_font_description_new();
            pango_font_description_set_family(desc, LUiSystemFontFamily());
            pango_font_description_set_absolute_size(desc, p * PANGO_SCALE);
            PangoLayout* layout = pango_layout_new(context);
            pango_layout_set_font_description(layout, desc);
            pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
            pango_layout_set_width(layout, 200 * PANGO_SCALE);
            std::string text = Paragraph(i);
            pango_layout_set_text(layout, text.c_str(), -1);
            int n = pango_layout_get_line_count(layout);
            total += long(std::ceil(n * p + (n + 1) * std::floor(p / 3)));
            g_object_unref(layout);
            pango_font_description_free(desc);
            g_object_unref(context);
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_BarePangoLayout)->Unit(benchmark::kMillisecond);

} // namespace
