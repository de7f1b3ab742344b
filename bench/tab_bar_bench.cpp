// The painted tab bar with 300 tabs against a scrollable GtkNotebook of 300 pages: one frame of
// the scrolling animation (layout and paint) against a repaint of the notebook, and a click on a
// tab (selection, layout and paint) against switching the notebook's page and repainting it.
// Both sides paint into an image of the same size. A third measure shows what a layout would
// cost if the bar measured every caption each time. Needs a display (run under xvfb-run).
#include "lfw/gui/LTabBar.h"
#include "lfw/mac/LMacWindow.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiSystem.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cairo.h>
#include <gtk/gtk.h>
#include <memory>
#include <string>

namespace {

constexpr int kTabs = 300;
constexpr int kWidth = 1000, kHeight = 36;

void Settle()
{
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

struct BarWindow {
    LMacWindow window;
    LTabBar bar;
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
    BarWindow()
    {
        window.CreateCocoaWindow(kWidth, 60, kLUiWindowTitled, false, nullptr);
        window.AddPaintControl(1000, 0, 0, kWidth, kHeight);
        bar.Init(window, 1000);
        for (int i = 0; i < kTabs; ++i)
            bar.AddTab(("Etikett " + std::to_string(i + 1)).c_str(), i);
        bar.SelectTabAtIndex(0);
        surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, bar.GetWidth(), bar.GetHeight());
        cr = cairo_create(surface);
    }
    ~BarWindow()
    {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
        bar.DestroyPaintControl();
        window.DestroyCommon();
    }
    void Paint()
    {
        LPaintContext context(cr, bar.GetWidth(), bar.GetHeight());
        bar.Paint(context);
    }
};

void BM_TabBarAnimationFrame(benchmark::State& state)
{
    if (!LUiInit()) {
        state.SkipWithError("no display");
        return;
    }
    BarWindow w;
    bool toEnd = true;
    for (auto _ : state) {
        if (!w.bar.IsAnimating()) {
            w.bar.ScrollToShowTabAnimated(*w.bar.GetTabAtIndex(toEnd ? kTabs - 1 : 0), 500);
            toEnd = !toEnd;
        }
        w.bar.EvTimer(2); // one step: the offset eased and the tabs laid out
        w.Paint();
    }
}
BENCHMARK(BM_TabBarAnimationFrame)->Unit(benchmark::kMicrosecond);

void BM_TabBarClick(benchmark::State& state)
{
    if (!LUiInit()) {
        state.SkipWithError("no display");
        return;
    }
    BarWindow w;
    int k = 0;
    for (auto _ : state) {
        LTab* tab = w.bar.GetTabAtIndex(1 + (k++ & 1));
        const int x = (tab->tabRect[0] + tab->tabRect[2]) / 2;
        const int y = (tab->tabRect[1] + tab->tabRect[3]) / 2;
        w.bar.EvLButtonDown(x, y);
        w.bar.EvLButtonUp(x, y);
        w.Paint();
    }
}
BENCHMARK(BM_TabBarClick)->Unit(benchmark::kMicrosecond);

// What every layout would cost without the caption widths kept: all 300 captions measured.
void BM_TabBarMeasureEveryCaption(benchmark::State& state)
{
    if (!LUiInit()) {
        state.SkipWithError("no display");
        return;
    }
    BarWindow w;
    const int pixels = int(1.3 * w.window.CharHeightPixels() + 0.5);
    for (auto _ : state) {
        int total = 0;
        for (LTab* t = w.bar.GetTabAtIndex(0); t; t = t->next)
            total += w.bar.GetTextWidth(t->text, "Arial", pixels);
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_TabBarMeasureEveryCaption)->Unit(benchmark::kMicrosecond);

// The notebook in a window of the bar's width, its pages empty, painted on its own.
struct NotebookWindow {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWidget* notebook = gtk_notebook_new();
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
    NotebookWindow()
    {
        gtk_notebook_set_scrollable(GTK_NOTEBOOK(notebook), TRUE);
        for (int i = 0; i < kTabs; ++i) {
            GtkWidget* page = gtk_label_new("");
            GtkWidget* label = gtk_label_new(("Etikett " + std::to_string(i + 1)).c_str());
            gtk_notebook_append_page(GTK_NOTEBOOK(notebook), page, label);
        }
        gtk_container_add(GTK_CONTAINER(window), notebook);
        gtk_window_set_default_size(GTK_WINDOW(window), kWidth, kHeight);
        gtk_widget_show_all(window);
        Settle();
        surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth,
            std::max(kHeight, gtk_widget_get_allocated_height(notebook)));
        cr = cairo_create(surface);
    }
    ~NotebookWindow()
    {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
        gtk_widget_destroy(window);
        Settle();
    }
    void Paint()
    {
        // The layout the change asked for, as the frame clock would run it.
        gtk_container_check_resize(GTK_CONTAINER(window));
        Settle();
        gtk_widget_draw(notebook, cr);
    }
};

void BM_GtkNotebookRepaint(benchmark::State& state)
{
    if (!LUiInit()) {
        state.SkipWithError("no display");
        return;
    }
    NotebookWindow w;
    for (auto _ : state) {
        // The notebook scrolls its tabs by pages, not by an offset: a frame is a relayout and a
        // repaint.
        gtk_widget_queue_resize(w.notebook);
        w.Paint();
    }
}
BENCHMARK(BM_GtkNotebookRepaint)->Unit(benchmark::kMicrosecond);

void BM_GtkNotebookSwitchPage(benchmark::State& state)
{
    if (!LUiInit()) {
        state.SkipWithError("no display");
        return;
    }
    NotebookWindow w;
    int k = 0;
    for (auto _ : state) {
        gtk_notebook_set_current_page(GTK_NOTEBOOK(w.notebook), 1 + (k++ & 1));
        w.Paint();
    }
}
BENCHMARK(BM_GtkNotebookSwitchPage)->Unit(benchmark::kMicrosecond);

} // namespace
