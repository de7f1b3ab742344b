// The editor's undo step on a large design: recording a whole-design step (a copy of 1,000 text
// and image overlays, the brush and the background path) and undoing it, as the project viewer
// does before an add, delete or paste. Aim: under one 60 Hz frame (16.7 ms). Beside it, the bare
// cost of cloning the same 1,000 overlays into a list, which the step cannot do without.
#include "app/VTHistoryState.h"
#include "app/VTHistoryStateStack.h"
#include "app/VTOverlayImage.h"
#include "app/VTProjectTemplate.h"
#include "app/VTProjectTemplateViewer.h"
#include "lfw/graphics/LImageBuffer.h"

#include <benchmark/benchmark.h>

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

} // namespace
