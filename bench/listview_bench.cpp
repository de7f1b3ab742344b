// List and tree views against plain GTK (a GtkListStore or GtkTreeStore behind a GtkTreeView in
// fixed-height mode, sorted through GtkTreeSortable with the same natural-order comparison):
// 100,000 rows of three columns filled, sorted by the first column, scrolled a page at a time
// with every page drawn (the same 6,000 pages on both sides; per_page is the time of one),
// selected and deleted; a tree of 10,000 items filled and expanded; 5,000 and 20,000 folders
// added one by one in their sorted place under one item, then shown (the GTK side finds the place
// by the same binary search over the names it added and inserts after the row found).
// Needs a display (run under xvfb-run).
#include "lfw/gen/LString.h"
#include "lfw/mac/cocoa/LCocoaListViewImpl.h"
#include "lfw/mac/cocoa/LCocoaTreeViewImpl.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LRunLoop.h"
#include "platform/ui/LUiSystem.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <string>
#include <vector>

namespace {

constexpr int kRows = 100000;
const LVColDynamicGlobal kColumns[] = {
    { "Namn", 20, 0, true },
    { "Storlek", 10, 1, false },
    { "Hämtad", 12, 0, false },
    { nullptr, 0, 0, false },
};

struct Texts {
    std::vector<std::string> a, b, c;
    Texts()
    {
        uint32_t seed = 7;
        for (int i = 0; i < kRows; ++i) {
            seed = seed * 1103515245u + 12345u;
            a.push_back("bild" + std::to_string((seed >> 8) % 50000) + ".png");
            b.push_back(std::to_string(seed % 100000));
            c.push_back(i % 2 ? "ja" : "nej");
        }
    }
};

const Texts& Data()
{
    static Texts t;
    return t;
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

// A shown window of 600 x 400 points holding the widget or view.
struct Host {
    LNativeWindow* window;
    Host()
    {
        window = new LNativeWindow(LUiRect { 20, 20, 600, 400 }, kLUiWindowTitled, false);
        auto* content = new LView;
        window->SetContentView(content);
        content->Release();
        window->MakeKeyAndOrderFront();
    }
    ~Host() { window->Close(); }
};

// A plain shown GTK window of 600 x 400 for the widgets of plain GTK.
struct GtkHost {
    GtkWidget* window;
    GtkHost()
    {
        window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_default_size(GTK_WINDOW(window), 600, 400);
    }
    void Put(GtkWidget* child)
    {
        gtk_container_add(GTK_CONTAINER(window), child);
        gtk_widget_show_all(window);
    }
    ~GtkHost() { gtk_widget_destroy(window); }
};

// Draws the tree view's visible part into an image, as a page is drawn on the screen.
void DrawPage(GtkWidget* tree)
{
    GtkAllocation a;
    gtk_widget_get_allocation(tree, &a);
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, a.width, a.height);
    cairo_t* cr = cairo_create(s);
    gtk_widget_draw(tree, cr);
    cairo_destroy(cr);
    cairo_surface_destroy(s);
}

// Both views scroll the same number of pages from the top, each page drawn: their rows differ a
// little in height, so that the whole list takes a different number of pages on each side.
constexpr int kScrolledPages = 6000;

void ScrollAll(GtkWidget* tree, benchmark::State& state)
{
    GtkAdjustment* v = gtk_scrollable_get_vadjustment(GTK_SCROLLABLE(tree));
    const double page = gtk_adjustment_get_page_size(v);
    if ((gtk_adjustment_get_upper(v) - page) / page < kScrolledPages) {
        state.SkipWithError("the list holds fewer pages than are scrolled");
        return;
    }
    for (int i = 0; i < kScrolledPages; ++i) {
        gtk_adjustment_set_value(v, page * i);
        Settle();
        DrawPage(tree);
    }
    state.counters["pages"] = kScrolledPages;
    state.counters["page_px"] = page;
    state.counters["per_page"] = benchmark::Counter(double(kScrolledPages),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

struct OurList {
    Host host;
    LCocoaListViewImpl* view;
    LCocoaListViewManager* m;
    OurList()
    {
        view = new LCocoaListViewImpl(LUiRect { 0, 0, 600, 400 }, nullptr);
        LListFlags flags;
        flags.sortableHeader = true;
        view->setDefaultSettingsAndFlags(flags);
        host.window->ContentView()->AddSubview(view);
        auto manager = std::make_unique<LCocoaListViewManager>(view, kColumns, nullptr, nullptr);
        m = manager.get();
        view->setManager(std::move(manager));
        view->Release();
        Settle();
    }
    void Fill()
    {
        const Texts& t = Data();
        for (int i = 0; i < kRows; ++i) {
            const char* texts[3]
                = { t.a[size_t(i)].c_str(), t.b[size_t(i)].c_str(), t.c[size_t(i)].c_str() };
            m->addRow(texts, 3);
        }
        Settle();
    }
};

int NaturalOrder(GtkTreeModel* model, GtkTreeIter* a, GtkTreeIter* b, gpointer)
{
    gchar *ta = nullptr, *tb = nullptr;
    gtk_tree_model_get(model, a, 0, &ta, -1);
    gtk_tree_model_get(model, b, 0, &tb, -1);
    int r = LStringCompareLogical(ta ? ta : "", tb ? tb : "");
    g_free(ta);
    g_free(tb);
    return r;
}

struct GtkList {
    GtkHost host;
    GtkListStore* store;
    GtkWidget* tree;
    GtkList()
    {
        store = gtk_list_store_new(3, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_STRING);
        gtk_tree_sortable_set_sort_func(
            GTK_TREE_SORTABLE(store), 0, &NaturalOrder, nullptr, nullptr);
        tree = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
        for (int c = 0; c < 3; ++c) {
            GtkCellRenderer* r = gtk_cell_renderer_text_new();
            GtkTreeViewColumn* col
                = gtk_tree_view_column_new_with_attributes("c", r, "text", c, nullptr);
            gtk_tree_view_column_set_sizing(col, GTK_TREE_VIEW_COLUMN_FIXED);
            gtk_tree_view_column_set_fixed_width(col, 180);
            gtk_tree_view_append_column(GTK_TREE_VIEW(tree), col);
        }
        gtk_tree_view_set_fixed_height_mode(GTK_TREE_VIEW(tree), TRUE);
        gtk_tree_selection_set_mode(
            gtk_tree_view_get_selection(GTK_TREE_VIEW(tree)), GTK_SELECTION_MULTIPLE);
        GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
        gtk_container_add(GTK_CONTAINER(scrolled), tree);
        host.Put(scrolled);
        Settle();
    }
    ~GtkList() { g_object_unref(store); }
    void Fill()
    {
        const Texts& t = Data();
        for (int i = 0; i < kRows; ++i)
            gtk_list_store_insert_with_values(store, nullptr, -1, 0, t.a[size_t(i)].c_str(), 1,
                t.b[size_t(i)].c_str(), 2, t.c[size_t(i)].c_str(), -1);
        Settle();
    }
};

void BM_ListFill_Ours(benchmark::State& state)
{
    if (!Display())
        return state.SkipWithError("no display");
    for (auto _ : state) {
        OurList list;
        list.Fill();
    }
}

void BM_ListFill_Gtk(benchmark::State& state)
{
    if (!Display())
        return state.SkipWithError("no display");
    for (auto _ : state) {
        GtkList list;
        list.Fill();
    }
}

void BM_ListSort_Ours(benchmark::State& state)
{
    if (!Display())
        return state.SkipWithError("no display");
    OurList list;
    list.Fill();
    bool ascending = true;
    for (auto _ : state) {
        list.m->sortRowsUsingColumn(0, ascending);
        Settle();
        ascending = !ascending;
    }
}

void BM_ListSort_Gtk(benchmark::State& state)
{
    if (!Display())
        return state.SkipWithError("no display");
    GtkList list;
    list.Fill();
    bool ascending = true;
    for (auto _ : state) {
        gtk_tree_sortable_set_sort_column_id(
            GTK_TREE_SORTABLE(list.store), 0, ascending ? GTK_SORT_ASCENDING : GTK_SORT_DESCENDING);
        Settle();
        ascending = !ascending;
    }
}

void BM_ListScroll_Ours(benchmark::State& state)
{
    if (!Display())
        return state.SkipWithError("no display");
    OurList list;
    list.Fill();
    for (auto _ : state)
        ScrollAll(list.view->treeView(), state);
}

void BM_ListScroll_Gtk(benchmark::State& state)
{
    if (!Display())
        return state.SkipWithError("no display");
    GtkList list;
    list.Fill();
    for (auto _ : state)
        ScrollAll(list.tree, state);
}

void BM_ListSelectAllDelete_Ours(benchmark::State& state)
{
    if (!Display())
        return state.SkipWithError("no display");
    for (auto _ : state) {
        state.PauseTiming();
        OurList list;
        list.Fill();
        state.ResumeTiming();
        gtk_tree_selection_select_all(
            gtk_tree_view_get_selection(GTK_TREE_VIEW(list.view->treeView())));
        auto selected = list.m->createSelectedRowsArray();
        for (int i = 0; selected && i < int(selected->size()); ++i) {
            LListViewIterator it { 1, i };
            list.m->deleteRowUsingIterator(&it, selected.get());
        }
        list.m->endSelectedRowsIteration(selected.get());
        Settle();
    }
}

void BM_ListSelectAllDelete_Gtk(benchmark::State& state)
{
    if (!Display())
        return state.SkipWithError("no display");
    for (auto _ : state) {
        state.PauseTiming();
        GtkList list;
        list.Fill();
        state.ResumeTiming();
        GtkTreeSelection* sel = gtk_tree_view_get_selection(GTK_TREE_VIEW(list.tree));
        gtk_tree_selection_select_all(sel);
        GtkTreeModel* model = GTK_TREE_MODEL(list.store);
        GList* rows = gtk_tree_selection_get_selected_rows(sel, nullptr);
        std::vector<GtkTreeRowReference*> refs;
        for (GList* l = rows; l; l = l->next)
            refs.push_back(gtk_tree_row_reference_new(model, static_cast<GtkTreePath*>(l->data)));
        g_list_free_full(rows, reinterpret_cast<GDestroyNotify>(gtk_tree_path_free));
        for (GtkTreeRowReference* ref : refs) {
            GtkTreePath* p = gtk_tree_row_reference_get_path(ref);
            GtkTreeIter iter;
            if (p && gtk_tree_model_get_iter(model, &iter, p))
                gtk_list_store_remove(list.store, &iter);
            gtk_tree_path_free(p);
            gtk_tree_row_reference_free(ref);
        }
        Settle();
    }
}

// A tree of 100 folders with 99 items each (10,000 items), filled and opened.
void BM_TreeFillExpand_Ours(benchmark::State& state)
{
    if (!Display())
        return state.SkipWithError("no display");
    for (auto _ : state) {
        Host host;
        auto* view = new LCocoaTreeViewImpl(LUiRect { 0, 0, 600, 400 }, nullptr);
        host.window->ContentView()->AddSubview(view);
        auto manager = std::make_unique<LCocoaTreeViewManager>(view, nullptr);
        LCocoaTreeViewManager* m = manager.get();
        view->setManager(std::move(manager));
        view->Release();
        for (int f = 0; f < 100; ++f) {
            LCocoaTreeNode* folder
                = m->addItemLast(("Mapp " + std::to_string(f)).c_str(), nullptr, -1, 0);
            for (int i = 0; i < 99; ++i)
                m->addItemLast(("Bild " + std::to_string(i)).c_str(), folder, -1, 0);
        }
        for (LCocoaTreeNode* n = m->getRoot(); n; n = m->nextSiblingOfItem(n))
            m->expandItem(n);
        Settle();
    }
}

void BM_TreeFillExpand_Gtk(benchmark::State& state)
{
    if (!Display())
        return state.SkipWithError("no display");
    for (auto _ : state) {
        GtkHost host;
        GtkTreeStore* store = gtk_tree_store_new(1, G_TYPE_STRING);
        GtkWidget* tree = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
        gtk_tree_view_append_column(GTK_TREE_VIEW(tree),
            gtk_tree_view_column_new_with_attributes(
                "c", gtk_cell_renderer_text_new(), "text", 0, nullptr));
        GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
        gtk_container_add(GTK_CONTAINER(scrolled), tree);
        host.Put(scrolled);
        for (int f = 0; f < 100; ++f) {
            GtkTreeIter folder, item;
            gtk_tree_store_insert_with_values(
                store, &folder, nullptr, -1, 0, ("Mapp " + std::to_string(f)).c_str(), -1);
            for (int i = 0; i < 99; ++i)
                gtk_tree_store_insert_with_values(
                    store, &item, &folder, -1, 0, ("Bild " + std::to_string(i)).c_str(), -1);
        }
        gtk_tree_view_expand_all(GTK_TREE_VIEW(tree));
        Settle();
        g_object_unref(store);
    }
}

// Folder names "Mapp <n>" in a shuffled order, and the same sorted as the tree must hold them.
struct Folders {
    std::vector<std::string> added, sorted;
    explicit Folders(int count)
    {
        for (int i = 0; i < count; ++i)
            added.push_back("Mapp " + std::to_string(i));
        uint32_t seed = 3;
        for (size_t i = added.size(); i > 1; --i) {
            seed = seed * 1103515245u + 12345u;
            std::swap(added[i - 1], added[(seed >> 8) % i]);
        }
        sorted = added;
        std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
            return LStringCompareLogical(a.c_str(), b.c_str()) < 0;
        });
    }
};

void BM_TreeAddSorted_Ours(benchmark::State& state)
{
    if (!Display())
        return state.SkipWithError("no display");
    const Folders folders(int(state.range(0)));
    bool checked = false;
    for (auto _ : state) {
        Host host;
        auto* view = new LCocoaTreeViewImpl(LUiRect { 0, 0, 600, 400 }, nullptr);
        host.window->ContentView()->AddSubview(view);
        auto manager = std::make_unique<LCocoaTreeViewManager>(view, nullptr);
        LCocoaTreeViewManager* m = manager.get();
        view->setManager(std::move(manager));
        view->Release();
        LCocoaTreeNode* root = m->addItemLast("Images", nullptr, -1, 0);
        for (const std::string& name : folders.added)
            m->addItemSorted(name.c_str(), root, -1, 0);
        m->expandItem(root);
        Settle();
        if (!checked) {
            state.PauseTiming();
            char text[260];
            for (size_t i = 0; i < folders.sorted.size(); ++i)
                if (folders.sorted[i] != m->getText(text, root->childAt(i)))
                    return state.SkipWithError("the tree's order is wrong");
            checked = true;
            state.ResumeTiming();
        }
    }
}

void BM_TreeAddSorted_Gtk(benchmark::State& state)
{
    if (!Display())
        return state.SkipWithError("no display");
    const Folders folders(int(state.range(0)));
    bool checked = false;
    for (auto _ : state) {
        GtkHost host;
        GtkTreeStore* store = gtk_tree_store_new(1, G_TYPE_STRING);
        GtkWidget* tree = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
        gtk_tree_view_append_column(GTK_TREE_VIEW(tree),
            gtk_tree_view_column_new_with_attributes(
                "c", gtk_cell_renderer_text_new(), "text", 0, nullptr));
        GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
        gtk_container_add(GTK_CONTAINER(scrolled), tree);
        host.Put(scrolled);
        GtkTreeIter root;
        gtk_tree_store_insert_with_values(store, &root, nullptr, -1, 0, "Images", -1);
        // The rows' names and iterators in the order of the store (its iterators persist).
        std::vector<std::string> names;
        std::vector<GtkTreeIter> rows;
        for (const std::string& name : folders.added) {
            const size_t at = size_t(std::upper_bound(names.begin(), names.end(), name,
                                         [](const std::string& a, const std::string& b) {
                                             return LStringCompareLogical(a.c_str(), b.c_str())
                                                 < 0;
                                         })
                - names.begin());
            GtkTreeIter row;
            if (at == 0)
                gtk_tree_store_insert_with_values(store, &row, &root, 0, 0, name.c_str(), -1);
            else {
                gtk_tree_store_insert_after(store, &row, &root, &rows[at - 1]);
                gtk_tree_store_set(store, &row, 0, name.c_str(), -1);
            }
            names.insert(names.begin() + long(at), name);
            rows.insert(rows.begin() + long(at), row);
        }
        GtkTreePath* path = gtk_tree_model_get_path(GTK_TREE_MODEL(store), &root);
        gtk_tree_view_expand_row(GTK_TREE_VIEW(tree), path, FALSE);
        gtk_tree_path_free(path);
        Settle();
        if (!checked) {
            state.PauseTiming();
            GtkTreeIter it;
            size_t i = 0;
            for (bool ok = gtk_tree_model_iter_children(GTK_TREE_MODEL(store), &it, &root); ok;
                 ok = gtk_tree_model_iter_next(GTK_TREE_MODEL(store), &it), ++i) {
                gchar* t = nullptr;
                gtk_tree_model_get(GTK_TREE_MODEL(store), &it, 0, &t, -1);
                const bool same = i < folders.sorted.size() && t && folders.sorted[i] == t;
                g_free(t);
                if (!same)
                    return state.SkipWithError("the tree's order is wrong");
            }
            checked = true;
            state.ResumeTiming();
        }
        g_object_unref(store);
    }
}

} // namespace

BENCHMARK(BM_ListFill_Ours)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ListFill_Gtk)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ListSort_Ours)->Unit(benchmark::kMillisecond)->Iterations(4);
BENCHMARK(BM_ListSort_Gtk)->Unit(benchmark::kMillisecond)->Iterations(4);
BENCHMARK(BM_ListScroll_Ours)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ListScroll_Gtk)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ListSelectAllDelete_Ours)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ListSelectAllDelete_Gtk)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TreeFillExpand_Ours)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_TreeFillExpand_Gtk)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_TreeAddSorted_Ours)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_TreeAddSorted_Gtk)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(2);
