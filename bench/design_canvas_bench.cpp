// One drag step on the design canvas (a captured move applied to the selected overlay, then the
// whole canvas painted) against painting the same design bare: background, overlays and outline
// under the same fitting, no selection, no shading, pictures drawn for the screen on both sides
// (from their copies of the size shown). 1000 x 500 device pixels at scale 1 and the same canvas
// at scale 2 (2000 x 1000), 100 text and image overlays on a disc. Then the canvas repainted with
// one 24-megapixel photograph on the disc (what every change of focus, selection or window
// does), and that picture's first paint at a new size (its copy for it made on a worker).
#include "app/VTOverlayImage.h"
#include "app/VTOverlayText.h"
#include "app/VTPaintTemplatesAndOverlays.h"
#include "app/VTProjectTemplate.h"
#include "app/VTProjectTemplateViewer.h"
#include "bench/PhotoPixels.h"
#include "lfw/graphics/LImageBuffer.h"
#include "lfw/mac/LPaintSurface.h"
#include "lfw/mac/LScreenImageCopies.h"
#include "platform/ui/LRunLoop.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <algorithm>
#include <cstdint>

namespace {

struct Design {
    VTProjectTemplate design { VTTemplateFormatDisc };
    Design()
    {
        LImageBuffer pixels;
        pixels.AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8A8, 64, 48));
        for (int i = 0; i < 100; ++i) {
            const float x = float(i % 10) * 10 - 45, y = float(i / 10) * 10 - 45;
            if (i % 2) {
                design.AddOverlayText("Spår", x, y, 12, 6, "");
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

class Canvas : public VTProjectTemplateViewer {
public:
    bool HasKeyboardFocus() const override { return true; }
};

void BM_CanvasDragStep(benchmark::State& state)
{
    const int s = int(state.range(0));
    Design d;
    Canvas canvas;
    canvas.SetPaintControlSize(1000 * s, 500 * s);
    canvas.SetCollection(&d.design);
    VTOverlay* top = d.design.GetItemAt(99);
    canvas.SetItemSelected(top, true, false);
    top->hitFlags = VTHitInside;
    top->boundingBox = LBoundingBox2T<float>(
        top->centreX - 6, top->centreY - 3, top->centreX + 6, top->centreY + 3);
    canvas.dragAnchorX = top->centreX;
    canvas.dragAnchorY = top->centreY;
    canvas.firstMove = false;
    // A drag step needs the capture; without a host the move is applied as the step does.
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1000 * s, 500 * s);
    // The host's context is in points, as GTK hands it over.
    cairo_surface_set_device_scale(surface, s, s);
    int x = 0;
    for (auto _ : state) {
        x = (x + 1) % 50;
        top->centreX = (top->boundingBox.left + top->boundingBox.right) / 2 + float(x) / 10;
        top->NotifyTransformChanged();
        canvas.ClampItemToCollection(*top);
        cairo_t* cr = cairo_create(surface);
        canvas.PaintInContext(cr, LUiRect { 0, 0, 1000.0, 500.0 }, s, 1000.0, 500.0, true);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
    }
    cairo_surface_destroy(surface);
}
BENCHMARK(BM_CanvasDragStep)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_BarePaint(benchmark::State& state)
{
    const int s = int(state.range(0));
    Design d;
    Canvas fitting; // only for its matrix
    fitting.SetPaintControlSize(1000 * s, 500 * s);
    fitting.SetCollection(&d.design);
    const LMatrix<float> matrix = fitting.CalculateCollectionMatrix();
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1000 * s, 500 * s);
    int x = 0;
    VTOverlay* top = d.design.GetItemAt(99);
    const float cx = top->centreX;
    for (auto _ : state) {
        x = (x + 1) % 50;
        top->centreX = cx + float(x) / 10;
        cairo_t* cr = cairo_create(surface);
        LPaintContext ctx(cr, 1000.0 * s, 500.0 * s);
        ctx.mForScreen = true; // pictures from their copies, as the canvas draws them
        LPaintSurface::FillRectAA(
            ctx, LGuiColor(0xE600, 0xE600, 0xE600), 0, 0, 1000.0f * s, 500.0f * s);
        LPaintSurface::TransformReset(ctx, matrix);
        LGraphicsPath clip;
        d.design.GetTemplateData()->GetClippingPath(clip);
        ctx.SaveGState();
        LPaintSurface::ClipIntersect(ctx, clip);
        d.design.GetTemplateData()->PaintBackground(ctx, d.design.backgroundBrush.Get());
        ctx.RestoreGState();
        for (VTOverlay* o = d.design.first; o; o = o->next) {
            LPaintSurface::Transform(ctx, VTOverlayPaintMatrix(*o));
            o->Paint(ctx);
            LPaintSurface::TransformReset(ctx, matrix);
        }
        d.design.GetTemplateData()->PaintOutline(
            ctx, LGuiColor(0, 0, 0), 1.0f / matrix.m[0][0], nullptr);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
    }
    cairo_surface_destroy(surface);
}
BENCHMARK(BM_BarePaint)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// A 6000 x 4000 photograph-like picture (gradients and fine noise) filling most of a disc.
struct PhotoDesign {
    VTProjectTemplate design { VTTemplateFormatDisc };
    VTOverlayImage* photo = new VTOverlayImage;
    PhotoDesign()
    {
        LImageBuffer pixels;
        uint32_t noise = 1;
        FillPhoto(pixels, 6000, 4000, 128, noise);
        photo->SetImage(pixels);
        photo->SetDimensions(100, 66.6f);
        design.InsertOverlay(photo, false);
    }
};

void PaintCanvas(Canvas& canvas, cairo_surface_t* surface, int s)
{
    cairo_t* cr = cairo_create(surface);
    canvas.PaintInContext(cr, LUiRect { 0, 0, 1000.0, 500.0 }, s, 1000.0, 500.0, true);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
}

// The whole canvas painted again, nothing changed.
void BM_CanvasRepaintLargePicture(benchmark::State& state)
{
    const int s = int(state.range(0));
    PhotoDesign d;
    Canvas canvas;
    canvas.SetPaintControlSize(1000 * s, 500 * s);
    canvas.SetCollection(&d.design);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1000 * s, 500 * s);
    cairo_surface_set_device_scale(surface, s, s);
    // The copy asked for by the first paint, made on a worker.
    PaintCanvas(canvas, surface, s);
    LRunLoop::RunUntil(
        nullptr, 0, [] { return !LScreenImageCopies::Busy(); }, true, 60000);
    for (auto _ : state)
        PaintCanvas(canvas, surface, s);
    // What the picture keeps for the screen (a copy of about the size shown).
    state.counters["copy_KiB"] = double(d.photo->GetImage().GetScreenCopies().GetBytes()) / 1024;
    cairo_surface_destroy(surface);
}
BENCHMARK(BM_CanvasRepaintLargePicture)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The canvas painted with the picture at a size it was not shown at before: the copy it has
// stands in, scaled, while the copy of the new size is made on a worker.
void BM_CanvasLargePictureNewSize(benchmark::State& state)
{
    const int s = int(state.range(0));
    PhotoDesign d;
    Canvas canvas;
    canvas.SetPaintControlSize(1000 * s, 500 * s);
    canvas.SetCollection(&d.design);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1000 * s, 500 * s);
    cairo_surface_set_device_scale(surface, s, s);
    // Three sizes in turn: more than the copies a picture keeps.
    const float widths[] = { 100, 75, 50 };
    int i = 0;
    for (auto _ : state) {
        i = (i + 1) % 3;
        d.photo->SetDimensions(widths[i], widths[i] * 0.666f);
        PaintCanvas(canvas, surface, s);
    }
    cairo_surface_destroy(surface);
}
BENCHMARK(BM_CanvasLargePictureNewSize)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace
