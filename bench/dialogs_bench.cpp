// Dialogs against the bare GTK windows they stand on (run under an X server, e.g. xvfb-run):
// opening, showing and closing a progress window against a bare GtkWindow with the same widgets,
// an alert against a bare GtkMessageDialog answered the same way, a ten-page property sheet
// against a bare GtkWindow with a ten-page GtkNotebook, and the job's stop test against one bare
// non-blocking g_main_context_iteration.
#include "lfw/mac/LAlert.h"
#include "lfw/mac/LProgressDialog.h"
#include "lfw/mac/LPropertySheet.h"
#include "platform/ui/LUiAlert.h"
#include "platform/ui/UI.h"

#include <benchmark/benchmark.h>
#include <gtk/gtk.h>

namespace {

bool Display()
{
    static bool ok = LUiInit();
    return ok;
}

void Settle(GtkWidget* w)
{
    while (!gtk_widget_get_mapped(w))
        g_main_context_iteration(nullptr, TRUE);
    while (g_main_context_iteration(nullptr, FALSE)) { }
}

// Answers the message box running now with its first button, from the loop.
void AnswerSoon(GtkWidget* (*current)())
{
    g_timeout_add(
        1,
        +[](gpointer f) -> gboolean {
            auto get = reinterpret_cast<GtkWidget* (*)()>(f);
            GtkWidget* d = get();
            if (!d || !gtk_widget_get_mapped(d))
                return G_SOURCE_CONTINUE;
            gtk_dialog_response(GTK_DIALOG(d), 0);
            return G_SOURCE_REMOVE;
        },
        reinterpret_cast<gpointer>(current));
}

GtkWidget* gBare = nullptr;

GtkWidget* CurrentAlert()
{
    return static_cast<GtkWidget*>(LUiCurrentAlertWidget());
}

GtkWidget* CurrentBare()
{
    return gBare;
}

void BM_ProgressDialog(benchmark::State& state)
{
    if (!Display())
        return state.SkipWithError("no display");
    for (auto _ : state) {
        LProcessDialogRunInterface dialog("Laddar projekt");
        dialog._Open(nullptr, false);
        dialog.OpenModalWindow();
        Settle(GTK_WIDGET(dialog.GetNativeWindow()->Gtk()));
        dialog.CloseModalWindow();
    }
}
BENCHMARK(BM_ProgressDialog)->Unit(benchmark::kMillisecond);

void BM_BareProgressWindow(benchmark::State& state)
{
    if (!Display())
        return state.SkipWithError("no display");
    for (auto _ : state) {
        GtkWidget* w = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_default_size(GTK_WINDOW(w), 440, 128);
        GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 4);
        GtkWidget* icon = gtk_image_new_from_icon_name("dialog-information", GTK_ICON_SIZE_DIALOG);
        gtk_image_set_pixel_size(GTK_IMAGE(icon), 64);
        gtk_container_add(GTK_CONTAINER(box), icon);
        gtk_container_add(GTK_CONTAINER(box), gtk_label_new("Läser"));
        gtk_container_add(GTK_CONTAINER(box), gtk_label_new(""));
        gtk_container_add(GTK_CONTAINER(box), gtk_progress_bar_new());
        gtk_container_add(GTK_CONTAINER(box), gtk_button_new_with_label("Avbryt"));
        gtk_container_add(GTK_CONTAINER(box), gtk_label_new("Vorantel"));
        gtk_container_add(GTK_CONTAINER(w), box);
        gtk_widget_show_all(w);
        Settle(w);
        gtk_widget_destroy(w);
    }
}
BENCHMARK(BM_BareProgressWindow)->Unit(benchmark::kMillisecond);

void BM_Alert(benchmark::State& state)
{
    if (!Display())
        return state.SkipWithError("no display");
    for (auto _ : state) {
        LAlert alert(nullptr, "Filen kunde inte läsas.", "Fel");
        AnswerSoon(CurrentAlert);
        benchmark::DoNotOptimize(alert._Run());
    }
}
BENCHMARK(BM_Alert)->Unit(benchmark::kMillisecond);

void BM_BareMessageDialog(benchmark::State& state)
{
    if (!Display())
        return state.SkipWithError("no display");
    for (auto _ : state) {
        gBare = gtk_message_dialog_new(
            nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_INFO, GTK_BUTTONS_NONE, "%s", "Fel");
        gtk_message_dialog_format_secondary_text(
            GTK_MESSAGE_DIALOG(gBare), "%s", "Filen kunde inte läsas.");
        gtk_dialog_add_button(GTK_DIALOG(gBare), "OK", 0);
        AnswerSoon(CurrentBare);
        benchmark::DoNotOptimize(gtk_dialog_run(GTK_DIALOG(gBare)));
        gtk_widget_destroy(gBare);
        gBare = nullptr;
    }
}
BENCHMARK(BM_BareMessageDialog)->Unit(benchmark::kMillisecond);

void Generator(LDialog& d, int, int, bool)
{
    d.AddStatic(300, "En inställning");
}

void BM_PropertySheet10(benchmark::State& state)
{
    if (!Display())
        return state.SkipWithError("no display");
    for (auto _ : state) {
        LPropertySheet sheet;
        LPropertyPage pages[10];
        LDialog::OpenGenData data { 300, 200, "Sida", false, Generator };
        for (LPropertyPage& page : pages)
            sheet.AddPage(page, data, nullptr);
        g_timeout_add(
            1,
            +[](gpointer s) -> gboolean {
                auto* sheet = static_cast<LPropertySheet*>(s);
                GtkWindow* w = sheet->GetNativeWindow() ? sheet->GetNativeWindow()->Gtk() : nullptr;
                if (!w || !gtk_widget_get_mapped(GTK_WIDGET(w)))
                    return G_SOURCE_CONTINUE;
                sheet->PostCommand(kLCmdCancel);
                return G_SOURCE_REMOVE;
            },
            &sheet);
        benchmark::DoNotOptimize(sheet.Open(nullptr, "Inställningar", 0, 0));
    }
}
BENCHMARK(BM_PropertySheet10)->Unit(benchmark::kMillisecond);

void BM_BareNotebook10(benchmark::State& state)
{
    if (!Display())
        return state.SkipWithError("no display");
    for (auto _ : state) {
        GtkWidget* w = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 4);
        GtkWidget* nb = gtk_notebook_new();
        for (int i = 0; i < 10; ++i)
            gtk_notebook_append_page(
                GTK_NOTEBOOK(nb), gtk_label_new("En inställning"), gtk_label_new("Sida"));
        gtk_widget_set_size_request(nb, 320, 250);
        gtk_container_add(GTK_CONTAINER(box), nb);
        gtk_container_add(GTK_CONTAINER(box), gtk_button_new_with_label("OK"));
        gtk_container_add(GTK_CONTAINER(box), gtk_button_new_with_label("Avbryt"));
        gtk_container_add(GTK_CONTAINER(box), gtk_label_new("Vorantel"));
        gtk_container_add(GTK_CONTAINER(w), box);
        gtk_widget_show_all(w);
        Settle(w);
        gtk_widget_destroy(w);
    }
}
BENCHMARK(BM_BareNotebook10)->Unit(benchmark::kMillisecond);

void BM_IsToStop100000(benchmark::State& state)
{
    if (!Display())
        return state.SkipWithError("no display");
    LProcessDialogRunInterface dialog("Laddar projekt");
    dialog._Open(nullptr, false);
    dialog.OpenModalWindow();
    Settle(GTK_WIDGET(dialog.GetNativeWindow()->Gtk()));
    for (auto _ : state)
        for (int i = 0; i < 100000; ++i)
            benchmark::DoNotOptimize(dialog.IsToStop());
    dialog.CloseModalWindow();
}
BENCHMARK(BM_IsToStop100000)->Unit(benchmark::kMillisecond);

void BM_BareIteration100000(benchmark::State& state)
{
    if (!Display())
        return state.SkipWithError("no display");
    for (auto _ : state)
        for (int i = 0; i < 100000; ++i)
            benchmark::DoNotOptimize(g_main_context_iteration(nullptr, FALSE));
}
BENCHMARK(BM_BareIteration100000)->Unit(benchmark::kMillisecond);

} // namespace
