// Combo boxes, pull-down lists and edit views against plain GTK doing the same work: 10,000
// adds to a combo box and to a pull-down list against filling a GtkListStore and a GtkMenu;
// opening a pull-down of every installed family in its own face against a GtkComboBoxText;
// setting 32,766 characters in 1,000 lines and asking for the lines at its end against a bare
// GtkTextView. Needs a display (run under xvfb-run).
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LCocoaComboBoxImpl.h"
#include "lfw/mac/cocoa/LCocoaEditViewImpl.h"
#include "lfw/mac/cocoa/LCocoaPullDownListImpl.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiSystem.h"

#include <benchmark/benchmark.h>
#include <gtk/gtk.h>
#include <string>
#include <vector>

namespace {

constexpr int kAdds = 10000;

void Settle()
{
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

std::string ItemText(int i)
{
    return "Objekt " + std::to_string(i);
}

void BM_ComboBoxAdds(benchmark::State& state)
{
    if (!LUiInit()) {
        state.SkipWithError("no display");
        return;
    }
    for (auto _ : state) {
        LMacWindow w;
        w.CreateCocoaWindow(300, 100, kLUiWindowTitled, false, nullptr);
        LCocoaComboBoxImpl* combo = w.AddComboBox(1, false);
        combo->Widget();
        for (int i = 0; i < kAdds; ++i)
            combo->manager()->addItem(ItemText(i).c_str());
        benchmark::DoNotOptimize(combo->manager()->getItemCount());
        w.DestroyCommon();
    }
    state.SetItemsProcessed(state.iterations() * kAdds);
}
BENCHMARK(BM_ComboBoxAdds)->Unit(benchmark::kMillisecond);

void BM_PlainListStore(benchmark::State& state)
{
    if (!LUiInit()) {
        state.SkipWithError("no display");
        return;
    }
    for (auto _ : state) {
        GtkListStore* store = gtk_list_store_new(1, G_TYPE_STRING);
        GtkWidget* combo = gtk_combo_box_new_with_model_and_entry(GTK_TREE_MODEL(store));
        g_object_ref_sink(combo);
        gtk_combo_box_set_entry_text_column(GTK_COMBO_BOX(combo), 0);
        for (int i = 0; i < kAdds; ++i)
            gtk_list_store_insert_with_values(store, nullptr, -1, 0, ItemText(i).c_str(), -1);
        gtk_widget_destroy(combo);
        g_object_unref(combo);
        g_object_unref(store);
    }
    state.SetItemsProcessed(state.iterations() * kAdds);
}
BENCHMARK(BM_PlainListStore)->Unit(benchmark::kMillisecond);

void BM_PullDownListAdds(benchmark::State& state)
{
    if (!LUiInit()) {
        state.SkipWithError("no display");
        return;
    }
    for (auto _ : state) {
        LMacWindow w;
        w.CreateCocoaWindow(300, 100, kLUiWindowTitled, false, nullptr);
        LCocoaPullDownListImpl* list = w.AddPullDownList(1);
        list->Widget();
        for (int i = 0; i < kAdds; ++i)
            list->addItem(ItemText(i).c_str());
        benchmark::DoNotOptimize(list->getItemCount());
        w.DestroyCommon();
    }
    state.SetItemsProcessed(state.iterations() * kAdds);
}
BENCHMARK(BM_PullDownListAdds)->Unit(benchmark::kMillisecond);

void BM_PlainMenu(benchmark::State& state)
{
    if (!LUiInit()) {
        state.SkipWithError("no display");
        return;
    }
    for (auto _ : state) {
        GtkWidget* menu = gtk_menu_new();
        g_object_ref_sink(menu);
        for (int i = 0; i < kAdds; ++i) {
            GtkWidget* item = gtk_check_menu_item_new_with_label(ItemText(i).c_str());
            gtk_widget_show(item);
            gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
        }
        gtk_widget_destroy(menu);
        g_object_unref(menu);
    }
    state.SetItemsProcessed(state.iterations() * kAdds);
}
BENCHMARK(BM_PlainMenu)->Unit(benchmark::kMillisecond);

std::vector<std::string> Families()
{
    std::vector<std::string> names;
    PangoFontMap* map = pango_cairo_font_map_get_default();
    PangoFontFamily** families = nullptr;
    int n = 0;
    pango_font_map_list_families(map, &families, &n);
    for (int i = 0; i < n; ++i)
        names.push_back(pango_font_family_get_name(families[i]));
    g_free(families);
    return names;
}

void BM_PullDownOfFamilies(benchmark::State& state)
{
    if (!LUiInit()) {
        state.SkipWithError("no display");
        return;
    }
    std::vector<std::string> families = Families();
    for (auto _ : state) {
        LMacWindow w;
        w.CreateCocoaWindow(300, 100, kLUiWindowTitled, false, nullptr);
        LCocoaPullDownListImpl* list = w.AddPullDownList(1, 10, 10, 200, 24);
        for (const std::string& f : families)
            list->addItem(f.c_str(), f.c_str());
        w.GetNativeWindow()->OrderFront();
        Settle();
        list->popUp();
        Settle();
        list->closeMenu();
        Settle();
        w.DestroyCommon();
        Settle();
    }
    state.SetItemsProcessed(state.iterations() * long(families.size()));
}
BENCHMARK(BM_PullDownOfFamilies)->Unit(benchmark::kMillisecond);

void BM_PlainComboBoxTextOfFamilies(benchmark::State& state)
{
    if (!LUiInit()) {
        state.SkipWithError("no display");
        return;
    }
    std::vector<std::string> families = Families();
    for (auto _ : state) {
        GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        GtkWidget* combo = gtk_combo_box_text_new();
        gtk_container_add(GTK_CONTAINER(window), combo);
        for (const std::string& f : families)
            gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(combo), f.c_str());
        gtk_widget_show_all(window);
        Settle();
        gtk_combo_box_popup(GTK_COMBO_BOX(combo));
        Settle();
        gtk_combo_box_popdown(GTK_COMBO_BOX(combo));
        Settle();
        gtk_widget_destroy(window);
        Settle();
    }
    state.SetItemsProcessed(state.iterations() * long(families.size()));
}
BENCHMARK(BM_PlainComboBoxTextOfFamilies)->Unit(benchmark::kMillisecond);

// 32,766 characters in 1,000 lines.
std::string LongText()
{
    std::string text;
    for (int i = 0; i < 1000; ++i) {
        std::string line = "Rad " + std::to_string(i) + " ";
        while (line.size() < 32)
            line += 'x';
        text += line + "\n";
    }
    text.resize(32766);
    return text;
}

void BM_EditViewSetTextAndLines(benchmark::State& state)
{
    if (!LUiInit()) {
        state.SkipWithError("no display");
        return;
    }
    std::string text = LongText();
    LMacWindow w;
    w.CreateCocoaWindow(400, 300, kLUiWindowTitled, false, nullptr);
    w.AddEdit(1);
    LCocoaEditViewImpl* edit = w.EditViewGetImpl(1);
    for (auto _ : state) {
        edit->setText(text.c_str());
        uint64_t start = edit->getCharIndexOfLine(999);
        int line = edit->getLineFromCharIndex(32765);
        uint64_t length = edit->getLineLength(32765);
        benchmark::DoNotOptimize(start + uint64_t(line) + length);
    }
    w.DestroyCommon();
}
BENCHMARK(BM_EditViewSetTextAndLines)->Unit(benchmark::kMillisecond);

void BM_PlainTextView(benchmark::State& state)
{
    if (!LUiInit()) {
        state.SkipWithError("no display");
        return;
    }
    std::string text = LongText();
    GtkWidget* view = gtk_text_view_new();
    g_object_ref_sink(view);
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view));
    for (auto _ : state) {
        gtk_text_buffer_set_text(buffer, text.c_str(), -1);
        GtkTextIter it;
        gtk_text_buffer_get_iter_at_line(buffer, &it, 999);
        int start = gtk_text_iter_get_offset(&it);
        gtk_text_buffer_get_iter_at_offset(buffer, &it, 32765);
        int line = gtk_text_iter_get_line(&it);
        GtkTextIter s = it, e = it;
        gtk_text_iter_set_line_offset(&s, 0);
        gtk_text_iter_forward_line(&e);
        benchmark::DoNotOptimize(start + line + gtk_text_iter_get_offset(&e));
    }
    gtk_widget_destroy(view);
    g_object_unref(view);
}
BENCHMARK(BM_PlainTextView)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
