// The edit view given a text of letters with 31 accents each (one more than is shown of each) at
// 64 KiB, 256 KiB and 1 MiB: what its text view shows of it made (the marks past those shown
// left out, the paragraph cut in pieces), then the same set into a view in a window, until the
// view has laid all of it out. Both grow with the text, not with its square (Complexity: oN);
// leaving the marks out one run at a time took 0.44 s, 3 s and 47 s. The bound: a bare
// GtkTextView given the shown text made ready, laying it out. Needs a display (run under
// xvfb-run).
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LCocoaEditShownText.h"
#include "lfw/mac/cocoa/LCocoaEditViewImpl.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiSystem.h"

#include <benchmark/benchmark.h>
#include <gtk/gtk.h>
#include <string>

namespace {

std::string Marks(size_t bytes)
{
    std::string cluster = "e";
    for (int i = 0; i < 31; ++i)
        cluster += "\xCC\x81"; // U+0301
    std::string text;
    while (text.size() + cluster.size() <= bytes)
        text += cluster;
    return text;
}

void Settle()
{
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

void BM_ShownTextOfMarks(benchmark::State& state)
{
    const std::string text = Marks(size_t(state.range(0)) << 10);
    LCocoaEditShownText shown;
    for (auto _ : state)
        benchmark::DoNotOptimize(shown.Reset(text));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
    state.SetComplexityN(int64_t(text.size()));
}
BENCHMARK(BM_ShownTextOfMarks)
    ->Arg(64)
    ->Arg(256)
    ->Arg(1024)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_EditViewSetTextOfMarks(benchmark::State& state)
{
    if (!LUiInit()) {
        state.SkipWithError("no display");
        return;
    }
    const std::string text = Marks(size_t(state.range(0)) << 10);
    LMacWindow w;
    w.CreateCocoaWindow(400, 300, kLUiWindowTitled, false, nullptr);
    w.AddEdit(1);
    w.MoveControlPixels(1, 10, 10, 380, 280);
    w.GetNativeWindow()->OrderFront();
    LCocoaEditViewImpl* edit = w.EditViewGetImpl(1);
    edit->setMaximumTextLength(1u << 21);
    Settle();
    for (auto _ : state) {
        edit->setText(text.c_str());
        Settle();
        state.PauseTiming();
        edit->setText("");
        Settle();
        state.ResumeTiming();
    }
    w.DestroyCommon();
    Settle();
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
    state.SetComplexityN(int64_t(text.size()));
}
BENCHMARK(BM_EditViewSetTextOfMarks)
    ->Arg(64)
    ->Arg(256)
    ->Arg(1024)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_PlainTextViewShownMarks(benchmark::State& state)
{
    if (!LUiInit()) {
        state.SkipWithError("no display");
        return;
    }
    const std::string text = Marks(size_t(state.range(0)) << 10);
    const std::string shown = LCocoaEditShownText().Reset(text);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWidget* scroll = gtk_scrolled_window_new(nullptr, nullptr);
    GtkWidget* view = gtk_text_view_new();
    gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(view), GTK_WRAP_WORD_CHAR);
    gtk_widget_set_size_request(scroll, 380, 280);
    gtk_container_add(GTK_CONTAINER(scroll), view);
    gtk_container_add(GTK_CONTAINER(window), scroll);
    gtk_widget_show_all(window);
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view));
    Settle();
    for (auto _ : state) {
        gtk_text_buffer_set_text(buffer, shown.c_str(), int(shown.size()));
        Settle();
        state.PauseTiming();
        gtk_text_buffer_set_text(buffer, "", 0);
        Settle();
        state.ResumeTiming();
    }
    gtk_widget_destroy(window);
    Settle();
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_PlainTextViewShownMarks)->Arg(64)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);

} // namespace
