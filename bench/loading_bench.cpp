// Opening projects of many overlays: the time per overlay must stay flat from 1,000 to 100,000
// overlays, for a project file and for an old XML project. The project that was opened is closed
// (destroyed) outside the timed part; closing is timed on its own (BM_CloseProjectOverlays). Each
// also reports the heap bytes a loaded overlay holds: past the caches' sizes (about 1,000
// overlays fill a core's L2, 100,000 more than the shared L3) every byte costs memory traffic.

#include "app/VTProjectFile.h"
#include "bench/BenchSupport.h"
#include "tests/support/ProjectTestSupport.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <memory>
#include <string>

namespace {

benchsupport::Scratch& Folder()
{
    static benchsupport::Scratch scratch("vt-loading-bench-XXXXXX");
    return scratch;
}

struct Quiet : LProcessInterfaceVoid {
    std::string error;
    void SetError(const char* text) override { error = text; }
};

// A project of n texts on the disc of the generic CD layout, saved once per size.
std::string ProjectFile(int n)
{
    const std::string path = Folder().path + "/texts-" + std::to_string(n) + ".vtproj";
    if (std::filesystem::exists(path))
        return path;
    auto* layout = new VTLabelLayoutDataGenericCDStandard;
    VTProject project(layout);
    VTProjectTemplate* disc = project.templates.GetHead();
    for (int i = 0; i < n; ++i)
        sample::Text(*disc, "Spår", float(i % 40), float(i % 30));
    Quiet job;
    VTProjectSave save;
    save.project = &project;
    std::snprintf(save.path, sizeof save.path, "%s", path.c_str());
    Process(job, save);
    return path;
}

// An old XML project of n texts on a CD's disc.
std::string XmlFile(int n)
{
    const std::string path = Folder().path + "/texts-" + std::to_string(n) + ".vtx";
    if (std::filesystem::exists(path))
        return path;
    std::ofstream out(path);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<vorantel_project type=\"cd\">"
           "<container type=\"disc\">\n";
    for (int i = 0; i < n; ++i)
        out << "<element type=\"text\" x=\"" << (i % 40) * 100 << "\" y=\"0\" w=\"3000\" "
            << "h=\"1000\" text=\"Spår\"/>\n";
    out << "</container></vorantel_project>\n";
    return path;
}

// Loads the file into a new project; null when it could not be read.
VTProject* Load(benchmark::State& state, const std::string& path)
{
    auto* project = new VTProject;
    Quiet job;
    VTProjectLoad load;
    load.project = project;
    std::snprintf(load.path, sizeof load.path, "%s", path.c_str());
    if (Process(job, load) != LProcessResultSuccess) {
        state.SkipWithError(job.error.c_str());
        delete project;
        return nullptr;
    }
    return project;
}

void PerOverlay(benchmark::State& state)
{
    state.counters["per_overlay"] = benchmark::Counter(double(state.range(0)),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void Open(benchmark::State& state, const std::string& path)
{
    bool measured = false;
    for (auto _ : state) {
        const size_t before = measured ? 0 : mallinfo2().uordblks;
        VTProject* project = Load(state, path);
        state.PauseTiming();
        if (!measured && project) {
            state.counters["bytes_per_overlay"]
                = double(mallinfo2().uordblks - before) / double(state.range(0));
            measured = true;
        }
        delete project;
        state.ResumeTiming();
        if (!project)
            break;
    }
    PerOverlay(state);
}

void BM_OpenProjectOverlays(benchmark::State& state)
{
    Open(state, ProjectFile(int(state.range(0))));
}
BENCHMARK(BM_OpenProjectOverlays)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

void BM_CloseProjectOverlays(benchmark::State& state)
{
    const std::string path = ProjectFile(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        VTProject* project = Load(state, path);
        state.ResumeTiming();
        if (!project)
            break;
        delete project;
    }
    PerOverlay(state);
}
BENCHMARK(BM_CloseProjectOverlays)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

void BM_OpenXmlOverlays(benchmark::State& state)
{
    Open(state, XmlFile(int(state.range(0))));
}
BENCHMARK(BM_OpenXmlOverlays)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace
