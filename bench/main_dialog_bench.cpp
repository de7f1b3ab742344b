// The main window's document work.
//
// "Spara som... > Bild": the sample project's A4 sheet written as a 300-dpi PNG, next to
// poppler's pdftoppm turning the PDF export of the same sheet into a 300-dpi PNG (both render
// the page and encode the same number of pixels). And opening a project of 500 overlays and
// painting its sheet at screen resolution, as the window does when a project is opened (aim:
// 0.5 s).

#include "app/VTExport.h"
#include "app/VTProjectFile.h"
#include "bench/BenchSupport.h"
#include "tests/support/ProjectTestSupport.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

benchsupport::Scratch& Folder()
{
    static benchsupport::Scratch scratch("/tmp/vt-main-dialog-bench-XXXXXX");
    return scratch;
}

struct Quiet : LProcessInterfaceVoid {
    std::string error;
    void SetError(const char* text) override { error = text; }
};

std::unique_ptr<VTProject>& Sample()
{
    static std::unique_ptr<VTProject> project = sample::MakeProject(600);
    return project;
}

void BM_ExportImageA4At300(benchmark::State& state)
{
    VTProject& project = *Sample();
    const std::string path = Folder().Required() + "/sheet.png";
    for (auto _ : state) {
        Quiet job;
        VTImageExport record;
        record.targetPath = path.c_str();
        record.project = &project;
        record.page = project.GetLabelLayout()->pages.GetFirst();
        record.pixelsPerInch = 300;
        if (Process(job, record) != LProcessResultSuccess)
            state.SkipWithError(job.error.c_str());
    }
}
BENCHMARK(BM_ExportImageA4At300)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PdftoppmOfItsPdfAt300(benchmark::State& state)
{
    VTProject& project = *Sample();
    const std::string folder = Folder().Required();
    const std::string pdf = folder + "/sheet.pdf";
    Quiet job;
    VTExport record;
    record.targetPath = pdf.c_str();
    record.project = &project;
    record.page = project.GetLabelLayout()->pages.GetFirst();
    if (Process(job, record) != LProcessResultSuccess) {
        state.SkipWithError(job.error.c_str());
        return;
    }
    const std::string command
        = "pdftoppm -r 300 -png -singlefile '" + pdf + "' '" + folder + "/poppler' 2>/dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("pdftoppm failed");
    }
}
BENCHMARK(BM_PdftoppmOfItsPdfAt300)->Unit(benchmark::kMillisecond)->Iterations(3);

// 500 overlays over the generic CD layout's designs: texts, circular texts and small pictures.
std::string& FiveHundredOverlayFile()
{
    static std::string path;
    if (!path.empty())
        return path;
    auto* layout = new VTLabelLayoutDataGenericCDStandard;
    layout->paperSize = LPaperSizeA4;
    VTProject project(layout);
    for (int i = 0; i < 500; ++i) {
        VTProjectTemplate* design = project.templates.GetAt(size_t(i % 3));
        if (i % 25 == 0)
            sample::Picture(new VTOverlayImage, *design, 256, uint32_t(i), float(i % 40), 10);
        else if (i % 7 == 0) {
            auto* circular = new VTOverlayCircularText(
                "Runt", LGuiFontEx(LGuiFont(10, false, false, false, "DejaVu Sans", false)));
            circular->centreAngle = float(i % 360);
            circular->outerRadius = 50;
            design->InsertOverlay(circular, false);
        } else {
            sample::Text(*design, "Spår nummer och titel", float(i % 40), float(i % 30));
        }
    }
    path = Folder().Required() + "/five-hundred.vtproj";
    Quiet job;
    VTProjectSave save;
    save.project = &project;
    std::snprintf(save.path, sizeof save.path, "%s", path.c_str());
    if (Process(job, save) != LProcessResultSuccess)
        path.clear();
    return path;
}

void BM_Open500OverlaysAndPaint(benchmark::State& state)
{
    const std::string& path = FiveHundredOverlayFile();
    if (path.empty()) {
        state.SkipWithError("the project could not be written");
        return;
    }
    for (auto _ : state) {
        Quiet job;
        VTProject project;
        VTProjectLoad load;
        load.project = &project;
        std::snprintf(load.path, sizeof load.path, "%s", path.c_str());
        if (Process(job, load) != LProcessResultSuccess) {
            state.SkipWithError(job.error.c_str());
            return;
        }
        LImageBuffer screen;
        if (!VTRenderPageToImage(screen, project, *project.GetLabelLayout()->pages.GetFirst(), 96))
            state.SkipWithError("the sheet could not be painted");
        benchmark::DoNotOptimize(screen.GetData());
    }
}
BENCHMARK(BM_Open500OverlaysAndPaint)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
