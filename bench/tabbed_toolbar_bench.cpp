// The tabbed toolbar's repaint (layout and painting of a tab of 20 labelled buttons, as at every
// step of a live resize) into a Cairo image surface, against gtk_widget_draw of a GtkToolbar with
// the same 20 labelled GtkToolButtons allocated to the same size and drawn into the same kind of
// surface. Needs a display (xvfb-run); run once as it is and once with GDK_SCALE=2 for the
// doubled backing scale.
#include "lfw/gui/LTabbedToolBar.h"
#include "lfw/gui/LTabbedToolBarPrivate.h"
#include "lfw/mac/LGuiImage.h"
#include "lfw/mac/LMacWindow.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiSystem.h"

#include <benchmark/benchmark.h>
#include <cairo.h>
#include <cstdlib>
#include <gtk/gtk.h>
#include <string>
#include <vector>

namespace {

constexpr int kButtons = 20;
constexpr int kWidthPoints = 1600;

std::vector<std::string> Labels()
{
    std::vector<std::string> labels;
    for (int i = 0; i < kButtons; ++i)
        labels.push_back("Knapp " + std::to_string(i + 1));
    return labels;
}

// The icon the painted buttons load, found where the program finds its resources.
std::string ResourcesIcon()
{
    char folder[4096] = "";
    LGuiGetResourcesPath(folder, sizeof folder);
    return std::string(folder) + "/png/300.png";
}

void BM_TabbedToolBarRepaint(benchmark::State& state)
{
    if (!LUiInit()) {
        state.SkipWithError("no display");
        return;
    }
    static const std::vector<std::string> labels = Labels();
    std::vector<LToolBar::ToolBarItem> items(kButtons);
    for (int i = 0; i < kButtons; ++i)
        items[size_t(i)] = { 0, 500 + i, 300, labels[size_t(i)].c_str(), labels[size_t(i)].c_str(),
            "Tips", 0, false };
    const LTabbedToolBarTab tabs[] = { { 1, "Hem", items.data(), kButtons },
        { 2, "Redigera", items.data(), kButtons }, { 0, nullptr, nullptr, 0 } };
    LMacWindow window;
    window.CreateCocoaWindow(kWidthPoints, 300, kLUiWindowTitled, false, nullptr);
    LTabbedToolBar toolbar;
    toolbar.TabbedToolBarInit(window, tabs, nullptr, 0, 700);
    LTabbedToolBarPrivate& d = *toolbar.GetPrivate();
    const double s = d.GetBackingScale();
    const int W = int(kWidthPoints * s), H = d.T + d.B;
    d.SetPaintControlSize(W, H);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, W, H);
    for (auto _ : state) {
        cairo_t* cr = cairo_create(surface);
        cairo_scale(cr, s, s);
        d.PaintInContext(cr, LUiRect { 0, 0, W / s, H / s }, s, W / s, H / s, true);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
    }
    cairo_surface_destroy(surface);
    state.SetLabel("scale " + std::to_string(int(s)));
    window.DestroyCommon();
}
BENCHMARK(BM_TabbedToolBarRepaint)->Unit(benchmark::kMillisecond);

void BM_GtkToolbarDraw(benchmark::State& state)
{
    if (!LUiInit()) {
        state.SkipWithError("no display");
        return;
    }
    static const std::vector<std::string> labels = Labels();
    GtkWidget* window = gtk_offscreen_window_new();
    GtkWidget* toolbar = gtk_toolbar_new();
    gtk_toolbar_set_style(GTK_TOOLBAR(toolbar), GTK_TOOLBAR_BOTH);
    gtk_toolbar_set_icon_size(GTK_TOOLBAR(toolbar), GTK_ICON_SIZE_DND);
    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file_at_size(ResourcesIcon().c_str(), 32, 32, nullptr);
    for (int i = 0; i < kButtons; ++i) {
        GtkWidget* image = pixbuf ? gtk_image_new_from_pixbuf(pixbuf) : gtk_image_new();
        GtkToolItem* item = gtk_tool_button_new(image, labels[size_t(i)].c_str());
        gtk_toolbar_insert(GTK_TOOLBAR(toolbar), item, -1);
    }
    gtk_container_add(GTK_CONTAINER(window), toolbar);
    gtk_widget_set_size_request(toolbar, kWidthPoints, 59);
    gtk_widget_show_all(window);
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
    const int s = gtk_widget_get_scale_factor(window);
    const int W = kWidthPoints * s, H = 85 * s;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, W, H);
    GtkAllocation allocation { 0, 0, kWidthPoints, 85 };
    for (auto _ : state) {
        // The same work as the painted toolbar: lay out again, then draw.
        gtk_widget_queue_resize(toolbar);
        gtk_widget_size_allocate(toolbar, &allocation);
        cairo_t* cr = cairo_create(surface);
        cairo_scale(cr, s, s);
        gtk_widget_draw(toolbar, cr);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
    }
    cairo_surface_destroy(surface);
    if (pixbuf)
        g_object_unref(pixbuf);
    gtk_widget_destroy(window);
    state.SetLabel("scale " + std::to_string(s));
}
BENCHMARK(BM_GtkToolbarDraw)->Unit(benchmark::kMillisecond);

} // namespace
