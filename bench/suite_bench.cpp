// The product-suite window's change of tab (the program list and the featured tasks filled again
// and the window painted, with 1,000 desktop entries installed and one of the listed programs
// among them) against plain GTK: a GtkListBox in a scrolled window refilled with the same 33 rows
// (title, description, button) and painted. The suite side runs twice: over tabs whose lists hold
// every program (the list box's work) and over the program's own tabs. A frame at 60 Hz is
// 16.7 ms.
// Needs a display (run under xvfb-run).
#include "BenchSupport.h"

#include "lfw/mac/cocoa/LCocoaTabViewImpl.h"
#include "lfw/zor/LZORSuiteDialog.h"
#include "lfw/zor/LZORSuiteTables.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LRunLoop.h"
#include "platform/ui/LUiSystem.h"

#include <benchmark/benchmark.h>
#include <fstream>
#include <gtk/gtk.h>
#include <vector>

namespace {

bool Display()
{
    static bool ok = LUiInit();
    return ok;
}

void Settle()
{
    for (int i = 0; i < 50 && LRunLoop::RunPending(64) > 0; ++i) { }
}

// Paints the whole window into an image, as the screen would be painted.
void Paint(GtkWidget* top)
{
    gtk_container_check_resize(GTK_CONTAINER(top)); // laid out first, as before a frame
    const int scale = gtk_widget_get_scale_factor(top);
    const int w = gtk_widget_get_allocated_width(top), h = gtk_widget_get_allocated_height(top);
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w * scale, h * scale);
    cairo_surface_set_device_scale(s, scale, scale);
    cairo_t* cr = cairo_create(s);
    gtk_widget_draw(top, cr);
    cairo_destroy(cr);
    cairo_surface_destroy(s);
}

// 1,000 desktop entries in the scratch folder's data folder, one of them a listed program.
struct Entries {
    benchsupport::Scratch scratch { "vt-suite-bench-XXXXXX" };
    Entries()
    {
        const std::string data = scratch.Required() + "/data";
        std::filesystem::create_directories(data + "/applications");
        setenv("XDG_DATA_HOME", data.c_str(), 1);
        for (int i = 0; i < 1000; ++i)
            std::ofstream(data + "/applications/vt-fyll-" + std::to_string(i) + ".desktop")
                << "[Desktop Entry]\nType=Application\nName=x\nExec=sh\n";
        std::ofstream(data + "/applications/vt-fotoredigering.desktop")
            << "[Desktop Entry]\nType=Application\nName=Foto\nExec=sh %F\n";
    }
};

// Every program of the table under two tabs, so that a change of tab fills all 33 rows (less
// this program itself) as the list box does.
struct AllRowsTables {
    std::vector<TopicTableEntry> topics;
    LZORSuiteTables tables {};
    AllRowsTables()
    {
        const LZORSuiteTables& t = LZORSuiteGetTables();
        for (const char* tab : { "Alla", "Samtliga" })
            for (size_t i = 0; i < t.programCount; ++i)
                topics.push_back({ tab, t.programs[i].buildKey, t.programs[i].title, 0 });
        tables = { t.programs, t.programCount, topics.data(), topics.size() };
    }
};

void RunTabChanges(benchmark::State& state, const char* firstTab)
{
    Entries entries;
    LZORSuiteDialog::uRandomSeed = 3;
    // The dialog runs modally: the measurement runs inside its session.
    LRunLoop::Post([&state] {
        LZORSuiteDialog* d = LZORSuiteGetOpenDialog();
        if (!d) {
            state.SkipWithError("no dialog");
            return;
        }
        Settle();
        auto* tabs = dynamic_cast<LCocoaTabViewImpl*>(d->GetControlHandle(101));
        GtkWidget* top = GTK_WIDGET(d->GetNativeWindow()->Gtk());
        int tab = 0;
        for (auto _ : state) {
            tabs->selectTab(tab);
            d->InitCurrentTab();
            Settle();
            Paint(top);
            tab = (tab + 1) % tabs->count();
        }
        state.counters["programs"] = double(d->Products().Items().size());
        d->Close();
    });
    LZORSuiteLaunch(nullptr, firstTab);
    LZORSuiteDialog::uRandomSeed = 0;
}

void BM_SuiteTabChangeAllRows(benchmark::State& state)
{
    if (!Display()) {
        state.SkipWithError("no display");
        return;
    }
    static AllRowsTables all;
    LZORSuiteSetTables(&all.tables);
    RunTabChanges(state, "Alla");
    LZORSuiteSetTables(nullptr);
}
BENCHMARK(BM_SuiteTabChangeAllRows)->Unit(benchmark::kMillisecond)->Iterations(8);

void BM_SuiteTabChange(benchmark::State& state)
{
    if (!Display()) {
        state.SkipWithError("no display");
        return;
    }
    RunTabChanges(state, "Grafik");
}
BENCHMARK(BM_SuiteTabChange)->Unit(benchmark::kMillisecond)->Iterations(8);

void BM_GtkListBoxRefill(benchmark::State& state)
{
    if (!Display()) {
        state.SkipWithError("no display");
        return;
    }
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window), 680, 590);
    GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    GtkWidget* list = gtk_list_box_new();
    gtk_container_add(GTK_CONTAINER(scrolled), list);
    gtk_container_add(GTK_CONTAINER(window), scrolled);
    gtk_widget_show_all(window);
    Settle();
    const LZORSuiteTables& t = LZORSuiteGetTables();
    for (auto _ : state) {
        GList* rows = gtk_container_get_children(GTK_CONTAINER(list));
        for (GList* l = rows; l; l = l->next)
            gtk_widget_destroy(GTK_WIDGET(l->data));
        g_list_free(rows);
        for (size_t i = 0; i < t.programCount; ++i) {
            GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 8);
            GtkWidget* texts = gtk_box_new(GTK_ORIENTATION_VERTICAL, 1);
            GtkWidget* title = gtk_label_new(t.programs[i].title);
            GtkWidget* text = gtk_label_new(t.programs[i].description);
            gtk_label_set_line_wrap(GTK_LABEL(text), TRUE);
            gtk_label_set_xalign(GTK_LABEL(title), 0);
            gtk_label_set_xalign(GTK_LABEL(text), 0);
            gtk_box_pack_start(GTK_BOX(texts), title, FALSE, FALSE, 0);
            gtk_box_pack_start(GTK_BOX(texts), text, FALSE, FALSE, 0);
            gtk_box_pack_start(GTK_BOX(row), texts, TRUE, TRUE, 0);
            gtk_box_pack_end(GTK_BOX(row), gtk_button_new_with_label("Öppna app"), FALSE, FALSE, 0);
            gtk_list_box_insert(GTK_LIST_BOX(list), row, -1);
        }
        gtk_widget_show_all(list);
        Settle();
        Paint(window);
    }
    state.counters["programs"] = double(t.programCount);
    gtk_widget_destroy(window);
}
BENCHMARK(BM_GtkListBoxRefill)->Unit(benchmark::kMillisecond)->Iterations(8);

} // namespace
