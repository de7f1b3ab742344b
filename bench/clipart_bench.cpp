// The clipart list against plain GTK, doing the same work: a 100,000-line folder index read with
// the library's own reader, its rows put into a list shown in a window (name, size, fetched),
// sorted by name and then by size with the same natural-order comparison, and the window closed
// with its rows freed, everything run out before the clock stops. Ours is the list as the clipart
// dialog has it (with its row sorter); the plain side is a GtkListStore behind a GtkTreeView in
// fixed-height mode, sorted through GtkTreeSortable. Before timing, both sides' orders are checked
// to be the same. Needs a display (run under xvfb-run).
//
// The index is made in $TMPDIR (or /tmp) and unlinked as soon as it is open, so that nothing is
// left there, also when the run fails or is killed; it is read through its descriptor.
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
#include <vector>

namespace {

constexpr int kRows = 100000;
const LVColDynamicGlobal kColumns[] = {
    { "Namn", 12, 0, true },
    { "Storlek (Byte)", 11, 0, false },
    { "Hämtad", 12, 0, false },
    { nullptr, 0, 0, false },
};

// The index, made once: pictures in a shuffled order with sizes of up to seven digits. The path
// names the open descriptor of a file that is no longer in any folder; empty when it could not
// be made.
const std::string& IndexPath()
{
    static std::string path = []() -> std::string {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vt-clipart-bench-XXXXXX";
        const int fd = mkstemp(pattern.data());
        if (fd < 0)
            return {};
        ::unlink(pattern.c_str());
        std::string text;
        uint32_t seed = 11;
        for (int i = 0; i < kRows; ++i) {
            seed = seed * 1103515245u + 12345u;
            text += "bild" + std::to_string((seed >> 8) % 90000) + ","
                + std::to_string(seed % 3000000) + "\n";
        }
        if (::write(fd, text.data(), text.size()) != ssize_t(text.size())) {
            ::close(fd);
            return {};
        }
        return "/proc/self/fd/" + std::to_string(fd);
    }();
    return path;
}

bool Ready(benchmark::State& state)
{
    static bool display = LUiInit();
    if (!display)
        state.SkipWithError("no display");
    else if (IndexPath().empty())
        state.SkipWithError("cannot write the index into TMPDIR");
    return display && !IndexPath().empty();
}

// Runs what is pending until nothing is (frees deferred to the loop included).
void Settle()
{
    for (int i = 0; i < 50 && LRunLoop::RunPending(64) > 0; ++i) { }
}

// Hands every picture line of the index to row: the same reader on both sides.
template <class Row> void ReadIndex(Row row)
{
    LProcessInterfaceVoid job;
    LClipartReadIndex(job, IndexPath().c_str(), [&](const LClipartIndexEntry& e) {
        if (!e.folder)
            row(e.name, e.size);
    });
}

struct OurList {
    LNativeWindow* window;
    LCocoaListViewImpl* view;
    LCocoaListViewManager* m;
    LListViewSorter sorter;
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
        sorter.listView = view;
        m->setLvSorter(&sorter);
        Settle();
    }
    ~OurList()
    {
        window->Close();
        Settle();
    }
    void Fill()
    {
        ReadIndex([&](const char* name, const char* size) {
            const char* texts[3] = { name, size, "" };
            m->addRow(texts, 3);
        });
        Settle();
    }
    void Sort(int column)
    {
        m->sortRowsUsingColumn(column, true);
        Settle();
    }
    std::vector<std::string> Column(int column) const
    {
        std::vector<std::string> texts;
        char text[260];
        for (int r = 0; r < kRows; ++r)
            texts.push_back(m->getItemText(text, r, column));
        return texts;
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
        Settle();
    }
    void Fill()
    {
        ReadIndex([&](const char* name, const char* size) {
            gtk_list_store_insert_with_values(store, nullptr, -1, 0, name, 1, size, 2, "", -1);
        });
        Settle();
    }
    void Sort(int column)
    {
        gtk_tree_sortable_set_sort_column_id(GTK_TREE_SORTABLE(store), column, GTK_SORT_ASCENDING);
        Settle();
    }
    std::vector<std::string> Column(int column) const
    {
        std::vector<std::string> texts;
        GtkTreeIter it;
        for (bool ok = gtk_tree_model_get_iter_first(GTK_TREE_MODEL(store), &it); ok;
             ok = gtk_tree_model_iter_next(GTK_TREE_MODEL(store), &it)) {
            gchar* t = nullptr;
            gtk_tree_model_get(GTK_TREE_MODEL(store), &it, column, &t, -1);
            texts.push_back(t ? t : "");
            g_free(t);
        }
        return texts;
    }
};

// Whether both sides hold the same rows in the same order after each sort (equal names or
// sizes may stand in either order: only the sorted column is compared).
bool SameOrders()
{
    static const bool same = [] {
        OurList ours;
        GtkList gtk;
        ours.Fill();
        gtk.Fill();
        bool ok = ours.Column(0).size() == size_t(kRows) && gtk.Column(0).size() == size_t(kRows);
        for (int column : { 0, 1 }) {
            ours.Sort(column);
            gtk.Sort(column);
            ok = ok && ours.Column(column) == gtk.Column(column);
        }
        return ok;
    }();
    return same;
}

void BM_ClipartFillAndSort_Ours(benchmark::State& state)
{
    if (!Ready(state))
        return;
    if (!SameOrders())
        return state.SkipWithError("the two lists' orders differ");
    for (auto _ : state) {
        OurList list;
        list.Fill();
        list.Sort(0);
        list.Sort(1);
    }
}

void BM_ClipartFillAndSort_Gtk(benchmark::State& state)
{
    if (!Ready(state))
        return;
    if (!SameOrders())
        return state.SkipWithError("the two lists' orders differ");
    for (auto _ : state) {
        GtkList list;
        list.Fill();
        list.Sort(0);
        list.Sort(1);
    }
}

} // namespace

BENCHMARK(BM_ClipartFillAndSort_Ours)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ClipartFillAndSort_Gtk)->Unit(benchmark::kMillisecond)->Iterations(3);
