// Project files and sheet output.
//
// Saving (first, and again with no picture changed) and reopening a project of 1,000 overlays and
// 20 four-megapixel pictures (next to the PNG encoding and decoding of the same pictures alone,
// which dominate a first save and an opening), and the generic CD
// sheet on A4 rendered at 300 dpi and exported to PDF, each next to the same scene drawn with
// plain cairo calls.

#include "app/VTExport.h"
#include "app/VTProjectFile.h"
#include "bench/BenchSupport.h"
#include "bench/ProjectSaving.h"
#include "lfw/graphics/LImageFile.h"
#include "tests/support/ProjectTestSupport.h"

#include <benchmark/benchmark.h>
#include <cairo-pdf.h>
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

benchsupport::Scratch& Folder()
{
    static benchsupport::Scratch scratch("vt-project-bench-XXXXXX");
    return scratch;
}

constexpr int kPictures = 20;
constexpr int kPictureWidth = 2304; // 2304 x 1728: four megapixels
constexpr int kPictureHeight = 1728;
constexpr int kOverlays = 1000;

// 1,000 overlays over the generic CD layout's three designs: 20 of them four-megapixel
// pictures, the rest texts and circular texts.
std::unique_ptr<VTProject> BigProject()
{
    auto* layout = new VTLabelLayoutDataGenericCDStandard;
    layout->paperSize = LPaperSizeA4;
    auto project = std::make_unique<VTProject>(layout);
    LImageBuffer picture;
    for (int i = 0; i < kOverlays; ++i) {
        VTProjectTemplate* design = project->templates.GetAt(size_t(i % 3));
        if (i % 50 == 0) {
            sample::MakePicture(picture, kPictureWidth, kPictureHeight, uint32_t(i));
            auto* image = new VTOverlayImage;
            image->SetImage(picture);
            design->InsertOverlay(image, false);
        } else if (i % 7 == 0) {
            auto* circular = new VTOverlayCircularText(
                "Runt", LGuiFontEx(LGuiFont(10, false, false, false, "DejaVu Sans", false)));
            circular->centreAngle = float(i % 360);
            circular->outerRadius = 50;
            design->InsertOverlay(circular, false);
        } else {
            sample::Text(*design, "Spår nummer och titel", float(i % 40), float(i % 30));
        }
    }
    return project;
}

using benchsupport::Quiet;
using benchsupport::SaveTo;

// The first save of a new project: every picture is encoded.
void BM_ProjectFirstSave(benchmark::State& state)
{
    const std::string path = Folder().path + "/first.vtproj";
    for (auto _ : state) {
        state.PauseTiming();
        auto project = BigProject();
        state.ResumeTiming();
        std::string error;
        if (!SaveTo(*project, path, error))
            state.SkipWithError(error.c_str());
    }
    state.counters["bytes"] = double(std::filesystem::file_size(path));
}
BENCHMARK(BM_ProjectFirstSave)->Unit(benchmark::kMillisecond)->Iterations(3);

// Saving again, no picture changed: the pictures' bytes are written as they are.
void BM_ProjectSave(benchmark::State& state)
{
    auto project = BigProject();
    const std::string path = Folder().path + "/big.vtproj";
    std::string error;
    if (!SaveTo(*project, path, error))
        state.SkipWithError(error.c_str());
    for (auto _ : state) {
        if (!SaveTo(*project, path, error))
            state.SkipWithError(error.c_str());
    }
    state.counters["bytes"] = double(std::filesystem::file_size(path));
}
BENCHMARK(BM_ProjectSave)->Unit(benchmark::kMillisecond)->Iterations(10);

// A 16-megapixel photograph (a blurred plasma fractal, as ImageMagick makes it) as a JPEG file.
const std::string& Photo()
{
    static const std::string path = [] {
        const std::string p = Folder().path + "/photo.jpg";
        const std::string command
            = "convert -size 4608x3456 plasma:fractal -blur 0x2 -quality 92 '" + p + "'";
        return std::system(command.c_str()) == 0 ? p : std::string();
    }();
    return path;
}

// The first save of a project holding one photograph: its pixels are encoded as PNG. Timed from
// the decoded pixels; the decoding is timed apart below.
void BM_PhotoFirstSave(benchmark::State& state)
{
    LImageBuffer pixels;
    LProcessImageLoadFile load(Photo().c_str(), 0, nullptr, pixels);
    LProcessInterfaceVoid quiet;
    if (Photo().empty() || Process(quiet, load) != LProcessResultSuccess) {
        state.SkipWithError("no photograph");
        return;
    }
    const std::string path = Folder().path + "/photo.vtproj";
    for (auto _ : state) {
        state.PauseTiming();
        VTProject project(new VTLabelLayoutDataGenericCDStandard);
        auto* image = new VTOverlayImage;
        image->SetImage(pixels);
        project.templates.GetHead()->InsertOverlay(image, false);
        state.ResumeTiming();
        std::string error;
        if (!SaveTo(project, path, error))
            state.SkipWithError(error.c_str());
    }
}
BENCHMARK(BM_PhotoFirstSave)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_PhotoDecode(benchmark::State& state)
{
    for (auto _ : state) {
        LImageBuffer pixels;
        LProcessImageLoadFile load(Photo().c_str(), 0, nullptr, pixels);
        LProcessInterfaceVoid quiet;
        if (Process(quiet, load) != LProcessResultSuccess)
            state.SkipWithError("no photograph");
    }
}
BENCHMARK(BM_PhotoDecode)->Unit(benchmark::kMillisecond)->Iterations(2);

// The reference: "convert photo.jpg photo.png", decoding and encoding in one process.
void BM_PhotoConvertToPng(benchmark::State& state)
{
    const std::string command = "convert '" + Photo() + "' '" + Folder().path + "/photo.png'";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("convert failed");
}
BENCHMARK(BM_PhotoConvertToPng)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_ProjectLoad(benchmark::State& state)
{
    const std::string path = Folder().path + "/load.vtproj";
    {
        auto project = BigProject();
        Quiet job;
        VTProjectSave save;
        save.project = project.get();
        std::snprintf(save.path, sizeof save.path, "%s", path.c_str());
        Process(job, save);
    }
    for (auto _ : state) {
        VTProject project;
        Quiet job;
        VTProjectLoad load;
        load.project = &project;
        std::snprintf(load.path, sizeof load.path, "%s", path.c_str());
        if (Process(job, load) != LProcessResultSuccess)
            state.SkipWithError(job.error.c_str());
    }
}
BENCHMARK(BM_ProjectLoad)->Unit(benchmark::kMillisecond)->Iterations(3);

// The reference: the twenty pictures encoded as PNG into memory, and decoded again.
void BM_PicturesPngOnly(benchmark::State& state)
{
    std::vector<std::unique_ptr<LImageBuffer>> pictures;
    for (int i = 0; i < kPictures; ++i) {
        pictures.push_back(std::make_unique<LImageBuffer>());
        sample::MakePicture(*pictures.back(), kPictureWidth, kPictureHeight, uint32_t(i * 50));
    }
    for (auto _ : state) {
        for (const auto& picture : pictures) {
            LSizedArray<unsigned char> png;
            LOutputStreamByteArray out(png);
            LProcessInterfaceVoid job;
            LProcessImageSave<LOutputStreamByteArray> save(
                *picture, LImageCodec::PNG, LImageEncodeSettings(), out);
            Process(job, save);
            LImageBuffer decoded;
            LInputStreamBuffer in(png.GetData(), png.GetSize());
            LProcessImageLoad<LInputStreamBuffer> load(in, LImageCodec::PNG, decoded);
            Process(job, load);
        }
    }
}
BENCHMARK(BM_PicturesPngOnly)->Unit(benchmark::kMillisecond)->Iterations(3);

// ---- The generic CD sheet: a ring with a linear gradient, a picture, the grey outline.

struct SheetScene {
    std::unique_ptr<VTProject> project;
    LImageBuffer picture;
    SheetScene()
    {
        auto* layout = new VTLabelLayoutDataGenericCDStandard;
        layout->paperSize = LPaperSizeA4;
        project = std::make_unique<VTProject>(layout);
        VTProjectTemplate* disc = project->templates.GetHead();
        auto* brush = new LBrushInfo;
        brush->kind = LBrushInfoKindLinearGradient;
        brush->geometry[0] = -0.5f;
        brush->geometry[1] = -0.5f;
        brush->geometry[2] = 0.5f;
        brush->geometry[3] = 0.5f;
        brush->stopCount = 2;
        brush->stopPositions[0] = 0.25f;
        brush->stopColors[0] = LGuiColorAlpha::FromRGBA8(200, 30, 30, 255);
        brush->stopPositions[1] = 0.75f;
        brush->stopColors[1] = LGuiColorAlpha::FromRGBA8(30, 30, 200, 255);
        disc->backgroundBrush.Reset(brush);
        sample::MakePicture(picture, 512, 384);
        for (int y = 0; y < picture.GetHeight(); ++y) // opaque, as a photograph
            for (int x = 0; x < picture.GetWidth(); ++x)
                picture.GetData()[picture.GetStride() * y + x * 4 + 3] = 255;
        auto* image = new VTOverlayImage;
        image->SetImage(picture);
        image->centreX = 20;
        image->centreY = 25;
        image->width = 40;
        image->height = 30;
        disc->InsertOverlay(image, false);
    }
    VTLabelLayoutPage* Page() const { return project->GetLabelLayout()->pages.GetHead(); }
};

SheetScene& Scene()
{
    static SheetScene scene;
    return scene;
}

// The same scene with plain cairo calls, in mm about the sheet's centre.
void DrawPlain(
    cairo_t* cr, double unitsPerMm, double sheetW, double sheetH, cairo_surface_t* picture)
{
    cairo_translate(cr, unitsPerMm * sheetW / 2, unitsPerMm * sheetH / 2);
    cairo_scale(cr, unitsPerMm, unitsPerMm);
    cairo_save(cr);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_arc(cr, 0, 0, 59, 0, 2 * M_PI);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 0, 0, 17.5, 0, 2 * M_PI);
    cairo_clip(cr);
    cairo_save(cr);
    cairo_pattern_t* gradient = cairo_pattern_create_linear(-60, -60, 60, 60);
    cairo_pattern_add_color_stop_rgba(gradient, 0, 200 / 255.0, 30 / 255.0, 30 / 255.0, 1);
    cairo_pattern_add_color_stop_rgba(gradient, 0.25, 200 / 255.0, 30 / 255.0, 30 / 255.0, 1);
    cairo_pattern_add_color_stop_rgba(gradient, 0.75, 30 / 255.0, 30 / 255.0, 200 / 255.0, 1);
    cairo_pattern_add_color_stop_rgba(gradient, 1, 30 / 255.0, 30 / 255.0, 200 / 255.0, 1);
    cairo_set_source(cr, gradient);
    cairo_rectangle(cr, -60, -60, 120, 120);
    cairo_fill(cr);
    cairo_pattern_destroy(gradient);
    cairo_restore(cr);
    cairo_save(cr);
    // The picture stretched over its box, its edge pixels reaching the box's edges (as the
    // renderer draws pictures).
    cairo_rectangle(cr, 20 - 20, 25 - 15, 40, 30);
    cairo_clip(cr);
    cairo_translate(cr, 20 - 20, 25 - 15);
    cairo_scale(cr, 40.0 / 512, 30.0 / 384);
    cairo_set_source_surface(cr, picture, 0, 0);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_restore(cr);
    cairo_arc(cr, 0, 0, 60, 0, 2 * M_PI);
    cairo_set_source_rgb(cr, 230 / 255.0, 230 / 255.0, 230 / 255.0);
    cairo_set_line_width(cr, 0.2);
    cairo_stroke(cr);
}

cairo_surface_t* PlainPicture(const LImageBuffer& picture)
{
    cairo_surface_t* s
        = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, picture.GetWidth(), picture.GetHeight());
    cairo_surface_flush(s);
    for (int y = 0; y < picture.GetHeight(); ++y)
        std::memcpy(cairo_image_surface_get_data(s) + cairo_image_surface_get_stride(s) * y,
            picture.GetData() + picture.GetStride() * y, size_t(picture.GetWidth()) * 4);
    cairo_surface_mark_dirty(s);
    return s;
}

void BM_SheetRender300(benchmark::State& state)
{
    SheetScene& scene = Scene();
    for (auto _ : state) {
        LImageBuffer image;
        if (!VTRenderPageToImage(image, *scene.project, *scene.Page(), 300))
            state.SkipWithError("no image");
        benchmark::DoNotOptimize(image.GetData());
    }
}
BENCHMARK(BM_SheetRender300)->Unit(benchmark::kMillisecond);

void BM_SheetRender300PlainCairo(benchmark::State& state)
{
    SheetScene& scene = Scene();
    cairo_surface_t* picture = PlainPicture(scene.picture);
    const double k = 300 / 25.4;
    for (auto _ : state) {
        // The page in the same memory our renderer draws into (an image buffer), so that both
        // sides pay the same for the allocation.
        LImageBuffer image;
        image.AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8A8, 2480, 3507));
        cairo_surface_t* page = cairo_image_surface_create_for_data(
            image.GetData(), CAIRO_FORMAT_ARGB32, 2480, 3507, int(image.GetStride()));
        cairo_t* cr = cairo_create(page);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        DrawPlain(cr, k, 210, 297, picture);
        cairo_destroy(cr);
        cairo_surface_flush(page);
        benchmark::DoNotOptimize(cairo_image_surface_get_data(page));
        cairo_surface_destroy(page);
    }
    cairo_surface_destroy(picture);
}
BENCHMARK(BM_SheetRender300PlainCairo)->Unit(benchmark::kMillisecond);

void BM_SheetExportPdf(benchmark::State& state)
{
    SheetScene& scene = Scene();
    const std::string path = Folder().path + "/sheet.pdf";
    for (auto _ : state) {
        Quiet job;
        VTExport record;
        record.targetPath = path.c_str();
        record.project = scene.project.get();
        record.page = scene.Page();
        if (Process(job, record) != LProcessResultSuccess)
            state.SkipWithError(job.error.c_str());
    }
}
BENCHMARK(BM_SheetExportPdf)->Unit(benchmark::kMillisecond);

void BM_SheetExportPdfPlainCairo(benchmark::State& state)
{
    SheetScene& scene = Scene();
    cairo_surface_t* picture = PlainPicture(scene.picture);
    const std::string path = Folder().path + "/plain.pdf";
    const std::string temporary = Folder().path + "/plain.tmp";
    for (auto _ : state) {
        cairo_surface_t* pdf = cairo_pdf_surface_create(temporary.c_str(), 595, 841);
        cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_TITLE, "ZOR PDF-fil");
        cairo_t* cr = cairo_create(pdf);
        DrawPlain(cr, 72 / 25.4, 210, 297, picture);
        cairo_show_page(cr);
        cairo_destroy(cr);
        cairo_surface_finish(pdf);
        cairo_surface_destroy(pdf);
        std::rename(temporary.c_str(), path.c_str());
    }
    cairo_surface_destroy(picture);
}
BENCHMARK(BM_SheetExportPdfPlainCairo)->Unit(benchmark::kMillisecond);

} // namespace
