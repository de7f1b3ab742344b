// Two costs of the project viewer.
// - BM_PushAndUndoTemplateStep: recording a whole-design undo step (a copy of 1,000 text and
//   image overlays, the brush and the background path) and undoing it, as the viewer does before
//   an add, delete or paste. Aim: under one 60 Hz frame (16.7 ms). BM_CloneOverlaysOnly is the
//   bare cloning of the same overlays, which the step cannot do without.
// - BM_TextPanelFontList against BM_PlainComboBoxText: the text panel's font list filled with
//   2,000 families against a GtkComboBoxText filled from pango_font_map_list_families. Aim:
//   within 1.5 times. Needs a display (run under xvfb-run).
#include "app/VTHistoryState.h"
#include "app/VTHistoryStateStack.h"
#include "app/VTOverlayImage.h"
#include "app/VTProjectTemplate.h"
#include "app/VTProjectTemplateViewer.h"
#include "lfw/graphics/LImageBuffer.h"

#include "app/controls/VTControlPullDownList.h"
#include "lfw/mac/LGuiFont.h"
#include "lfw/mac/LMacWindow.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiSystem.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <gtk/gtk.h>
#include <pango/pangocairo.h>
#include <string>
#include <vector>

namespace {

struct Design {
    VTProjectTemplate design { VTTemplateFormatDisc };
    Design()
    {
        LImageBuffer pixels;
        pixels.AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8A8, 64, 48));
        for (int i = 0; i < 1000; ++i) {
            const float x = float(i % 40) * 2.5f - 50, y = float(i / 40) * 4 - 50;
            if (i % 4) {
                design.AddOverlayText("Spår nummer ett", x, y, 12, 6, "");
            } else {
                auto* image = new VTOverlayImage;
                image->SetImage(pixels);
                image->SetDimensions(8, 6);
                image->centreX = x;
                image->centreY = y;
                design.InsertOverlay(image, false);
            }
        }
    }
};

void BM_PushAndUndoTemplateStep(benchmark::State& state)
{
    Design d;
    VTProjectTemplateViewer canvas;
    canvas.SetPaintControlSize(1000, 500);
    canvas.SetCollection(&d.design);
    VTHistoryStateStack history;
    history.maxDepth = 100;
    for (auto _ : state) {
        history.Add(new VTCopySingleTemplateState("Overlay delete", canvas, d.design));
        history.Undo();
        benchmark::DoNotOptimize(d.design.first);
    }
    state.counters["overlays"] = double(d.design.GetCount());
}
BENCHMARK(BM_PushAndUndoTemplateStep)->Unit(benchmark::kMillisecond);

void BM_CloneOverlaysOnly(benchmark::State& state)
{
    Design d;
    for (auto _ : state) {
        VTOverlayList copy;
        for (VTOverlay* o = d.design.first; o; o = o->next)
            copy.AddItem(o->CloneLight(), false);
        benchmark::DoNotOptimize(copy.first);
    }
}
BENCHMARK(BM_CloneOverlaysOnly)->Unit(benchmark::kMillisecond);

// --- the text panel's font list -----------------------------------------------------------------

// The font list as the text panel fills it, against a plain GtkComboBoxText filled from
// pango_font_map_list_families, both with 2,000 family names: the installed families are taken
// round again and again, each name numbered, so that either side lists the families once and
// adds 2,000 entries. Needs a display (run under xvfb-run).
constexpr int kFamilies = 2000;

std::string Numbered(const char* family, int i)
{
    return std::string(family) + " " + std::to_string(i);
}

void Settle()
{
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

void BM_TextPanelFontList(benchmark::State& state)
{
    if (!LUiInit()) {
        state.SkipWithError("no display");
        return;
    }
    for (auto _ : state) {
        LMacWindow w;
        w.CreateCocoaWindow(460, 100, kLUiWindowTitled, false, nullptr);
        VTControlPullDownList list("Teckensnitt:", "Markera textteckensnitt");
        list.Init(w);
        LFontsInstalledIterator fonts;
        fonts.CreateList();
        std::vector<std::string> names;
        for (; fonts.IsValid(); fonts.Next())
            names.push_back(*fonts);
        for (int i = 0; i < kFamilies && !names.empty(); ++i)
            list.PDLAddString(1001, Numbered(names[size_t(i) % names.size()].c_str(), i).c_str());
        list.PDLSetCurSel(1001, 0);
        Settle();
        list.Destroy();
        w.DestroyCommon();
    }
    state.SetItemsProcessed(state.iterations() * kFamilies);
}
BENCHMARK(BM_TextPanelFontList)->Unit(benchmark::kMillisecond);

void BM_PlainComboBoxText(benchmark::State& state)
{
    if (!LUiInit()) {
        state.SkipWithError("no display");
        return;
    }
    for (auto _ : state) {
        GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        GtkWidget* combo = gtk_combo_box_text_new();
        gtk_container_add(GTK_CONTAINER(window), combo);
        PangoFontMap* map = pango_cairo_font_map_get_default();
        PangoFontFamily** families = nullptr;
        int count = 0;
        pango_font_map_list_families(map, &families, &count);
        std::vector<std::string> names;
        for (int i = 0; i < count; ++i)
            names.push_back(pango_font_family_get_name(families[i]));
        g_free(families);
        std::sort(names.begin(), names.end());
        for (int i = 0; i < kFamilies && !names.empty(); ++i)
            gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(combo),
                Numbered(names[size_t(i) % names.size()].c_str(), i).c_str());
        gtk_combo_box_set_active(GTK_COMBO_BOX(combo), 0);
        gtk_widget_realize(combo);
        Settle();
        gtk_widget_destroy(window);
    }
    state.SetItemsProcessed(state.iterations() * kFamilies);
}
BENCHMARK(BM_PlainComboBoxText)->Unit(benchmark::kMillisecond);

} // namespace
