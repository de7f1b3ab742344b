// The design canvas's paints on the window's thread, as the window paints it (1000 x 500 device
// pixels, an image surface standing in for the window):
// - BM_PaintTextsInSlices/N: a design of N texts (an old project's many elements, listed in another
//   order than they lie in memory), painted whole
//   the way the canvas paints a design of many overlays: one slice of about 40 ms a paint, each
//   going on where the one before stopped. The time of the whole design; the slices and the time
//   per thousand texts as counters. Linear painting keeps the time per thousand the same for 20,000
//   and 200,000 texts.
// - BM_FirstPaintOfLargePictures/k: a design of k photographs of 24 megapixels shown at a size
//   not shown before (the project just opened, the print preview opened or resized). The time of
//   the paint itself; the time until the copies for that size are made and shown (on the workers,
//   painted again once made) as copies_ms. A paint that waits for the copies takes about that long
//   itself.
// Memory: 200,000 texts take some 300 MB; a 24-megapixel picture 96 MB (the 10 pictures of the
// last argument almost 1 GB).
#include "app/VTOverlayImage.h"
#include "app/VTOverlayText.h"
#include "app/VTProjectTemplate.h"
#include "app/VTProjectTemplateViewer.h"
#include "bench/PhotoPixels.h"
#include "lfw/graphics/LImageBuffer.h"
#include "lfw/mac/LScreenImageCopies.h"
#include "platform/ui/LRunLoop.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <random>
#include <vector>

namespace {

class Canvas : public VTProjectTemplateViewer {
public:
    bool HasKeyboardFocus() const override { return false; }
};

// One paint of the canvas, as the window's draw asks for it.
void Paint(Canvas& canvas, cairo_surface_t* surface)
{
    cairo_t* cr = cairo_create(surface);
    canvas.PaintInContext(cr, LUiRect { 0, 0, 1000.0, 500.0 }, 1, 1000.0, 500.0, true);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
}

void BM_PaintTextsInSlices(benchmark::State& state)
{
    const int n = int(state.range(0));
    // The texts in the list in another order than in memory, as a read file leaves them among
    // the reader's own allocations: a walk along the list is not a walk through memory.
    std::vector<VTOverlayText*> texts;
    for (int i = 0; i < n; ++i) {
        auto* text
            = new VTOverlayText("R12345", LGuiFontEx(LGuiFont(8, false, false, false, "", false)));
        text->centreX = float(i % 100) * 1.1f - 55;
        text->centreY = float(i / 100 % 100) * 1.1f - 55;
        text->NotifyTransformChanged();
        text->SetDimensions(6, 3);
        texts.push_back(text);
    }
    std::shuffle(texts.begin(), texts.end(), std::mt19937(1));
    VTProjectTemplate design { VTTemplateFormatDisc };
    for (VTOverlayText* text : texts)
        design.InsertOverlay(text, false);
    Canvas canvas;
    canvas.SetPaintControlSize(1000, 500);
    canvas.SetCollection(&design);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1000, 500);
    int slices = 0;
    double ms = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        canvas.Invalidate();
        do {
            Paint(canvas, surface);
            ++slices;
        } while (!canvas.WasDesignWhole());
        ms += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                  .count();
    }
    state.counters["slices"] = double(slices) / double(state.iterations());
    state.counters["ms_per_1000"] = ms / double(state.iterations()) * 1000 / n;
    cairo_surface_destroy(surface);
    canvas.SetCollection(nullptr);
}
BENCHMARK(BM_PaintTextsInSlices)
    ->Arg(20000)
    ->Arg(200000)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

// Turns the main loop (the painters are told there) until no copy is asked for or being made.
void WaitForCopies()
{
    LRunLoop::RunUntil(
        nullptr, 0, [] { return !LScreenImageCopies::Busy(); }, true, 600000);
}

void BM_FirstPaintOfLargePictures(benchmark::State& state)
{
    const int k = int(state.range(0));
    VTProjectTemplate design { VTTemplateFormatDisc };
    std::vector<VTOverlayImage*> photos;
    uint32_t noise = 1;
    for (int i = 0; i < k; ++i) {
        LImageBuffer pixels;
        FillPhoto(pixels, 6000, 4000, 40 * i, noise);
        auto* photo = new VTOverlayImage;
        photo->TakeImage(pixels);
        photo->centreX = float(i % 6) * 16 - 40;
        photo->centreY = float(i / 6) * 12 - 30;
        photo->NotifyTransformChanged();
        design.InsertOverlay(photo, false);
        photos.push_back(photo);
    }
    Canvas canvas;
    canvas.SetPaintControlSize(1000, 500);
    canvas.SetCollection(&design);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1000, 500);
    double copiesMs = 0;
    int size = 0;
    for (auto _ : state) {
        // A size none of the pictures was shown at.
        state.PauseTiming();
        size = (size + 1) % 8;
        for (VTOverlayImage* photo : photos)
            photo->SetDimensions(20 + float(size), (20 + float(size)) * 2 / 3);
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        Paint(canvas, surface);
        state.PauseTiming();
        WaitForCopies();
        Paint(canvas, surface);
        copiesMs
            += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                   .count();
        state.ResumeTiming();
    }
    state.counters["copies_ms"] = copiesMs / double(state.iterations());
    cairo_surface_destroy(surface);
    canvas.SetCollection(nullptr);
}
BENCHMARK(BM_FirstPaintOfLargePictures)
    ->Arg(1)
    ->Arg(5)
    ->Arg(10)
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);

} // namespace
