// Saving and exporting projects of photographs: pictures of camera size (opaque, a gradient with
// the grain of a photograph, which compresses as badly) on the disc's design. Arguments: the
// pictures, and their megapixels.
// - BM_SavePhotos_SideBySide against BM_SavePhotos_OneWorker: a first save, every picture encoded
//   as PNG and the file written. Ours encodes the pictures side by side on the processors; the
//   reference encodes them one after another on one worker first, as saves did, then saves (the
//   bytes are at hand then). The same work.
// - BM_ExportPdfPhotos, BM_ExportImagePhotos: the disc exported to PDF, and to a PNG at 300 dpi
//   (whose page of 2481 x 3508 pixels the export holds besides).
// The counter peakOverPixels is the peak resident memory of the work above the loaded project, in
// the pictures' pixel bytes (a save's includes the bytes it makes and keeps).
// The cases of 24-megapixel pictures take minutes and some GB: for runs by hand,
// --benchmark_filter='/24/'.
#include "app/VTExport.h"
#include "app/VTProjectFile.h"
#include "bench/BenchSupport.h"
#include "bench/ProjectSaving.h"
#include "platform/system/System.h"
#include "tests/support/ProcessStatus.h"
#include "tests/support/ProjectTestSupport.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

benchsupport::Scratch& Folder()
{
    static benchsupport::Scratch scratch("vt-photo-saves-bench-XXXXXX");
    return scratch;
}

using benchsupport::Quiet;
using benchsupport::SaveTo;

// A project of count opaque pictures of the megapixels in 3:2, and the pictures.
struct Photos {
    std::unique_ptr<VTProject> project;
    std::vector<LCountedPtr<VTCountableImageBuffer>> pictures;
    uint64_t pixelBytes = 0;

    Photos(int count, int megapixels)
        : project(std::make_unique<VTProject>(new VTLabelLayoutDataGenericCDStandard))
    {
        const int height = int(std::sqrt(double(megapixels) * 1e6 / 1.5));
        const int width = height * 3 / 2;
        VTProjectTemplate* disc = project->templates.GetAt(0);
        pixelBytes = sample::AddPhotos(*disc, count, width, height);
        uint32_t grain = 1;
        for (VTOverlay* o = disc->first; o; o = o->next) {
            auto* image = static_cast<VTOverlayImage*>(o);
            VTCountableImageBuffer& pixels = const_cast<VTCountableImageBuffer&>(image->GetImage());
            for (int y = 0; y < pixels.GetHeight(); ++y) {
                unsigned char* row = pixels.GetRow(y);
                for (int x = 0; x < pixels.GetWidth() * 4; ++x) {
                    grain = grain * 1103515245u + 12345u;
                    if ((x & 3) != 3)
                        row[x] = uint8_t(row[x] + ((grain >> 16) & 15));
                }
            }
            pictures.push_back(image->image);
        }
    }
    // Every picture to be encoded again.
    void ForgetBytes()
    {
        for (auto& p : pictures)
            p->KeepEncodedPNG(nullptr);
    }
};

void SavePhotos(benchmark::State& state, int workers)
{
    Photos photos(int(state.range(0)), int(state.range(1)));
    const std::string path = Folder().Required() + "/photos.vtproj";
    long long riseKb = 0;
    for (auto _ : state) {
        state.PauseTiming();
        photos.ForgetBytes();
        state.ResumeTiming();
        riseKb = std::max(riseKb, PeakRiseKb([&] {
            if (workers > 0) {
                Quiet job;
                VTProjectEncodePictures encode { photos.pictures, workers };
                if (Process(job, encode) != LProcessResultSuccess)
                    state.SkipWithError(job.error.c_str());
            }
            std::string error;
            if (!SaveTo(*photos.project, path, error))
                state.SkipWithError(error.c_str());
        }));
    }
    state.counters["peakOverPixels"] = double(riseKb) * 1024 / double(photos.pixelBytes);
    state.counters["processors"] = platform::system::ProcessorCount();
    state.counters["fileMB"] = double(std::filesystem::file_size(path)) / 1e6;
}

void BM_SavePhotos_SideBySide(benchmark::State& state)
{
    SavePhotos(state, 0);
}
BENCHMARK(BM_SavePhotos_SideBySide)
    ->Args({ 20, 1 })
    ->Args({ 20, 24 })
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

void BM_SavePhotos_OneWorker(benchmark::State& state)
{
    SavePhotos(state, 1);
}
BENCHMARK(BM_SavePhotos_OneWorker)
    ->Args({ 20, 1 })
    ->Args({ 20, 24 })
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

// Exports the disc of the photos as the record says, once an iteration.
template <class Record> void ExportPhotos(benchmark::State& state, const char* name)
{
    Photos photos(int(state.range(0)), int(state.range(1)));
    const std::string path = Folder().Required() + "/" + name;
    long long riseKb = 0;
    for (auto _ : state) {
        Quiet job;
        Record record;
        record.targetPath = path.c_str();
        record.project = photos.project.get();
        record.page = photos.project->GetLabelLayout()->pages.GetAt(0);
        LProcessResult result = LProcessResultError;
        riseKb = std::max(riseKb, PeakRiseKb([&] { result = Process(job, record); }));
        if (result != LProcessResultSuccess)
            state.SkipWithError(job.error.c_str());
    }
    state.counters["peakOverPixels"] = double(riseKb) * 1024 / double(photos.pixelBytes);
    state.counters["pixelsMB"] = double(photos.pixelBytes) / 1e6;
}

void BM_ExportPdfPhotos(benchmark::State& state)
{
    ExportPhotos<VTExport>(state, "photos.pdf");
}
BENCHMARK(BM_ExportPdfPhotos)
    ->Args({ 20, 1 })
    ->Args({ 1, 24 })
    ->Args({ 20, 24 })
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

// At 300 dpi, the record's own resolution.
void BM_ExportImagePhotos(benchmark::State& state)
{
    ExportPhotos<VTImageExport>(state, "photos.png");
}
BENCHMARK(BM_ExportImagePhotos)
    ->Args({ 20, 1 })
    ->Args({ 1, 24 })
    ->Args({ 20, 24 })
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

} // namespace
