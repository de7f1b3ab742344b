// Opening projects of photographs: a project file holding 1, 6 and 10 pictures (PNG inside the
// file) and an old XML project naming 1, 6, 10 and 20 JPEG files. Each open runs on the main
// thread under a job interface that turns the main loop as the progress window does (at each
// stop question and through each wait), so the time is the user's wait for the project, and two
// counters tell what the window went through meanwhile: the longest time the loop went without
// waiting (longest_hold_ms) and the main thread's processor time (main_thread_cpu_ms). The time
// of n pictures against the time of one shows whether they are read side by side.
//
// The pictures are 3000 x 2000 pixels of noise (sample::Photo); VT_BENCH_PICTURE=6000x4000 (say)
// gives other sizes (ten 24-megapixel pictures need some 2.5 GB).
#include "app/VTOverlayImage.h"
#include "app/VTProjectFile.h"
#include "bench/BenchSupport.h"
#include "bench/MainLoopHolds.h"
#include "lfw/ios/LEventQueue.h"
#include "platform/imageio/ImageIO.h"
#include "platform/ui/LRunLoop.h"
#include "tests/support/ProjectTestSupport.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

benchsupport::Scratch& Folder()
{
    static benchsupport::Scratch scratch("vt-project-open-bench-XXXXXX");
    return scratch;
}

void PictureSize(int& width, int& height)
{
    width = 3000;
    height = 2000;
    const char* asked = std::getenv("VT_BENCH_PICTURE");
    int w = 0, h = 0;
    if (asked && std::sscanf(asked, "%dx%d", &w, &h) == 2 && w > 0 && h > 0) {
        width = w;
        height = h;
    }
}

std::string SizeName(int n)
{
    int width = 0, height = 0;
    PictureSize(width, height);
    return std::to_string(n) + "-" + std::to_string(width) + "x" + std::to_string(height);
}

// A project file of n pictures side by side on the disc design, made once per count.
std::string SavedProject(int n)
{
    const std::string path = Folder().Required() + "/photos-" + SizeName(n) + ".vtproj";
    if (std::filesystem::exists(path))
        return path;
    int width = 0, height = 0;
    PictureSize(width, height);
    auto project = sample::PhotoProject(width, height, n);
    LProcessInterfaceVoid quiet;
    VTProjectSave save;
    save.project = project.get();
    std::snprintf(save.path, sizeof save.path, "%s", path.c_str());
    return Process(quiet, save) == LProcessResultSuccess ? path : std::string();
}

// An old XML project naming n JPEG files beside it, made once per count.
std::string OldProject(int n)
{
    const std::string path = Folder().Required() + "/photos-" + SizeName(n) + ".vtx";
    if (std::filesystem::exists(path))
        return path;
    int width = 0, height = 0;
    PictureSize(width, height);
    std::ofstream out(path);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<vorantel_project type=\"cd\">"
           "<container type=\"disc\">\n";
    for (int i = 0; i < n; ++i) {
        const std::string name
            = "photo-" + std::to_string(width) + "-" + std::to_string(i) + ".jpg";
        const std::string file = Folder().path + "/" + name;
        if (!std::filesystem::exists(file)) {
            LImageBuffer picture;
            sample::Photo(picture, width, height, uint64_t(i));
            const std::vector<unsigned char> jpeg
                = sample::QuickEncoded(picture, platform::imageio::Format::JPEG);
            std::ofstream(file, std::ios::binary)
                .write(reinterpret_cast<const char*>(jpeg.data()), std::streamsize(jpeg.size()));
        }
        out << "<element type=\"image\" x=\"" << (i % 5) * 2000 << "\" y=\"" << (i / 5) * 1500
            << "\" w=\"2000\" h=\"1500\" img=\"" << name << "\"/>\n";
    }
    out << "</container></vorantel_project>\n";
    return path;
}

// Asks to stop and waits as the progress window does on the main thread: the loop turns at each
// question and through each wait.
class TurningTheLoop : public LProcessInterfaceVoid {
public:
    std::string error;
    bool IsToStop() override
    {
        LMacDispatchEvents();
        return false;
    }
    LProcessResult ProcessWaitSignal(LSignalObjectRef signal, unsigned int ms) override
    {
        return LProcessResult(LEventQueueRunUntilSignalOrStopConditionOrTimeout(
            signal, [] { return false; }, ms != LSIGNAL_WAIT_FOREVER, ms));
    }
    void SetError(const char* text) override { error = text ? text : ""; }
};

void Open(benchmark::State& state, const std::string& path)
{
    if (path.empty())
        return state.SkipWithError("the project could not be made");
    double longest = 0, cpu = 0;
    for (auto _ : state) {
        auto project = std::make_unique<VTProject>();
        TurningTheLoop job;
        VTProjectLoad load;
        load.project = project.get();
        std::snprintf(load.path, sizeof load.path, "%s", path.c_str());
        LProcessResult result = LProcessResultError;
        bool done = false;
        const double cpuBefore = mainloopholds::ThreadCpuMs();
        // The open is run from the loop, as the window runs it, so that its holds are measured.
        LRunLoop::Post([&] {
            result = Process(job, load);
            done = true;
        });
        longest = std::max(longest, mainloopholds::LongestHold([&] { return done; }));
        cpu += mainloopholds::ThreadCpuMs() - cpuBefore;
        if (result != LProcessResultSuccess || !job.error.empty())
            return state.SkipWithError(job.error.empty() ? "not opened" : job.error.c_str());
        state.PauseTiming();
        project.reset();
        state.ResumeTiming();
    }
    state.counters["longest_hold_ms"] = longest * 1000;
    state.counters["main_thread_cpu_ms"] = cpu / double(state.iterations());
    state.counters["pictures"] = double(state.range(0));
}

void BM_OpenSavedProject(benchmark::State& state)
{
    Open(state, SavedProject(int(state.range(0))));
}
BENCHMARK(BM_OpenSavedProject)
    ->Arg(1)
    ->Arg(6)
    ->Arg(10)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

void BM_OpenOldProject(benchmark::State& state)
{
    Open(state, OldProject(int(state.range(0))));
}
BENCHMARK(BM_OpenOldProject)
    ->Arg(1)
    ->Arg(6)
    ->Arg(10)
    ->Arg(20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

} // namespace
