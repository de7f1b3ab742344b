// The clipart list against plain GTK: a 100,000-line folder index read and its rows put into the
// list (name, size, fetched), then sorted by name and by size; the plain side reads the same file
// with stdio and fills a GtkListStore behind a GtkTreeView in fixed-height mode, sorted through
// GtkTreeSortable with the same natural-order comparison. Needs a display (run under xvfb-run).
#include "lfw/gen/LString.h"
#include "lfw/mac/cocoa/LCocoaListViewImpl.h"
#include "lfw/zor/LClipart.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LRunLoop.h"
#include "platform/ui/LUiSystem.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

constexpr int kRows = 100000;
const LVColDynamicGlobal kColumns[] = {
    { "Namn", 12, 0, true },
    { "Storlek (Byte)", 11, 0, false },
    { "Hämtad", 12, 0, false },
    { nullptr, 0, 0, false },
};

// The index file, made once: pictures in a shuffled order with sizes of up to seven digits.
const std::string& IndexPath()
{
    static std::string path = [] {
        char templ[] = "/tmp/vt-clipart-bench-XXXXXX";
        int fd = mkstemp(templ);
        FILE* f = fdopen(fd, "w");
        uint32_t seed = 11;
        for (int i = 0; i < kRows; ++i) {
            seed = seed * 1103515245u + 12345u;
            std::fprintf(f, "bild%u,%u\n", (seed >> 8) % 90000, seed % 3000000);
        }
        std::fclose(f);
        return std::string(templ);
    }();
    return path;
}

bool Display()
{
    static bool ok = LUiInit();
    return ok;
}

void Settle()
{
    for (int i = 0; i < 50 && LRunLoop::RunPending(64) > 0; ++i) { }
}

struct OurList {
    LNativeWindow* window;
    LCocoaListViewImpl* view;
    LCocoaListViewManager* m;
    OurList()
    {
        window = new LNativeWindow(LUiRect { 20, 20, 600, 400 }, kLUiWindowTitled, false);
        auto* content = new LView;
        window->SetContentView(content);
        content->Release();
        window->MakeKeyAndOrderFront();
        view = new LCocoaListViewImpl(LUiRect { 0, 0, 600, 400 }, nullptr);
        LListFlags flags;
        flags.sortableHeader = true;
        view->setDefaultSettingsAndFlags(flags);
        window->ContentView()->AddSubview(view);
        auto manager = std::make_unique<LCocoaListViewManager>(view, kColumns, nullptr, nullptr);
        m = manager.get();
        view->setManager(std::move(manager));
        view->Release();
        Settle();
    }
    ~OurList() { window->Close(); }
    void Fill()
    {
        LProcessInterfaceVoid job;
        LClipartReadIndex(job, IndexPath().c_str(), [&](const LClipartIndexEntry& e) {
            const char* texts[3] = { e.name, e.size, "" };
            m->addRow(texts, 3);
        });
        Settle();
    }
};

int NaturalOrder(GtkTreeModel* model, GtkTreeIter* a, GtkTreeIter* b, gpointer column)
{
    gchar *ta = nullptr, *tb = nullptr;
    const int c = GPOINTER_TO_INT(column);
    gtk_tree_model_get(model, a, c, &ta, -1);
    gtk_tree_model_get(model, b, c, &tb, -1);
    int r = LStringCompareLogical(ta ? ta : "", tb ? tb : "");
    g_free(ta);
    g_free(tb);
    return r;
}

struct GtkList {
    GtkWidget* window;
    GtkListStore* store;
    GtkWidget* tree;
    GtkList()
    {
        window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_default_size(GTK_WINDOW(window), 600, 400);
        store = gtk_list_store_new(3, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_STRING);
        for (int c = 0; c < 2; ++c)
            gtk_tree_sortable_set_sort_func(
                GTK_TREE_SORTABLE(store), c, &NaturalOrder, GINT_TO_POINTER(c), nullptr);
        tree = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
        for (int c = 0; c < 3; ++c) {
            GtkCellRenderer* r = gtk_cell_renderer_text_new();
            GtkTreeViewColumn* col = gtk_tree_view_column_new_with_attributes(
                kColumns[c].title, r, "text", c, nullptr);
            gtk_tree_view_column_set_sizing(col, GTK_TREE_VIEW_COLUMN_FIXED);
            gtk_tree_view_column_set_fixed_width(col, 180);
            gtk_tree_view_append_column(GTK_TREE_VIEW(tree), col);
        }
        gtk_tree_view_set_fixed_height_mode(GTK_TREE_VIEW(tree), TRUE);
        GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
        gtk_container_add(GTK_CONTAINER(scrolled), tree);
        gtk_container_add(GTK_CONTAINER(window), scrolled);
        gtk_widget_show_all(window);
        Settle();
    }
    ~GtkList()
    {
        g_object_unref(store);
        gtk_widget_destroy(window);
    }
    void Fill()
    {
        FILE* f = std::fopen(IndexPath().c_str(), "r");
        char line[260];
        while (std::fgets(line, sizeof line, f)) {
            line[std::strcspn(line, "\r\n")] = 0;
            char* comma = std::strchr(line, ',');
            if (!comma)
                continue;
            *comma = 0;
            gtk_list_store_insert_with_values(store, nullptr, -1, 0, line, 1, comma + 1, 2, "", -1);
        }
        std::fclose(f);
        Settle();
    }
};

void BM_ClipartFillAndSort_Ours(benchmark::State& state)
{
    if (!Display())
        return state.SkipWithError("no display");
    for (auto _ : state) {
        OurList list;
        list.Fill();
        list.m->sortRowsUsingColumn(0, true);
        Settle();
        list.m->sortRowsUsingColumn(1, true);
        Settle();
    }
}

void BM_ClipartFillAndSort_Gtk(benchmark::State& state)
{
    if (!Display())
        return state.SkipWithError("no display");
    for (auto _ : state) {
        GtkList list;
        list.Fill();
        gtk_tree_sortable_set_sort_column_id(GTK_TREE_SORTABLE(list.store), 0, GTK_SORT_ASCENDING);
        Settle();
        gtk_tree_sortable_set_sort_column_id(GTK_TREE_SORTABLE(list.store), 1, GTK_SORT_ASCENDING);
        Settle();
    }
}

} // namespace

BENCHMARK(BM_ClipartFillAndSort_Ours)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ClipartFillAndSort_Gtk)->Unit(benchmark::kMillisecond)->Iterations(3);
