// The autosave of a project holding one 16-megapixel photograph whose PNG bytes are not encoded
// yet (the autosave that follows adding it): how long the window's thread is held in one go.
//
// The main loop is turned as the program turns it, and the time between its waits is taken; the
// time reported per autosave is the longest of these holds (manual time), the main thread's
// processor time a counter. Ours (VTProjectBackgroundSave) encodes and writes on
// workers and only writes the file into memory on the main thread; the reference is the save
// done in one go on the main thread, as the autosave did it. Both encode the same pixels and
// write the same file (compared once, byte for byte).

#include "app/VTLabelLayoutData.h"
#include "app/VTProjectBackgroundSave.h"
#include "app/VTProjectFile.h"
#include "bench/BenchSupport.h"
#include "lfw/gen/LFileSave.h"
#include "lfw/graphics/LImageFile.h"
#include "platform/ui/LRunLoop.h"

#include <benchmark/benchmark.h>
#include <glib.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>

namespace {

benchsupport::Scratch& Folder()
{
    static benchsupport::Scratch scratch("/tmp/vt-autosave-bench-XXXXXX");
    return scratch;
}

// A 16-megapixel photograph (a blurred plasma fractal, as ImageMagick makes it), decoded.
const LImageBuffer* Photo()
{
    static const std::unique_ptr<LImageBuffer> pixels = [] {
        const std::string path = Folder().Required() + "/photo.jpg";
        const std::string command
            = "convert -size 4608x3456 plasma:fractal -blur 0x2 -quality 92 '" + path + "'";
        auto decoded = std::make_unique<LImageBuffer>();
        LProcessImageLoadFile load(path.c_str(), 0, nullptr, *decoded);
        LProcessInterfaceVoid quiet;
        if (std::system(command.c_str()) != 0 || Process(quiet, load) != LProcessResultSuccess)
            decoded.reset();
        return decoded;
    }();
    return pixels.get();
}

// A new project with the photograph as a new picture (nothing encoded).
std::unique_ptr<VTProject> PhotoProject()
{
    auto project = std::make_unique<VTProject>(new VTLabelLayoutDataGenericCDStandard);
    auto* image = new VTOverlayImage;
    image->SetImage(const_cast<LImageBuffer&>(*Photo()));
    project->templates.GetHead()->InsertOverlay(image, false);
    return project;
}

double ThreadCpuMs()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// The main loop's time outside its waits: a hold ends when the loop next waits for something.
struct Holds {
    using Clock = std::chrono::steady_clock;
    static inline Clock::time_point woke = Clock::now();
    static inline double longest = 0;
    static inline GPollFunc plain = nullptr;
    static gint Poll(GPollFD* fds, guint n, gint timeout)
    {
        longest = std::max(longest, std::chrono::duration<double>(Clock::now() - woke).count());
        const gint result = plain(fds, n, timeout);
        woke = Clock::now();
        return result;
    }
};

// Turns the main loop until finished() (at most a minute): the longest hold in seconds.
double LongestHold(const std::function<bool()>& finished)
{
    GMainContext* context = g_main_context_default();
    Holds::plain = g_main_context_get_poll_func(context);
    g_main_context_set_poll_func(context, &Holds::Poll);
    Holds::longest = 0;
    Holds::woke = Holds::Clock::now();
    const auto end = Holds::Clock::now() + std::chrono::minutes(1);
    while (!finished() && Holds::Clock::now() < end)
        g_main_context_iteration(context, TRUE);
    Holds::longest = std::max(
        Holds::longest, std::chrono::duration<double>(Holds::Clock::now() - Holds::woke).count());
    g_main_context_set_poll_func(context, Holds::plain);
    return Holds::longest;
}

std::string FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The two sides' files, once each.
std::string& OursFile()
{
    static std::string bytes;
    return bytes;
}
std::string& ReferenceFile()
{
    static std::string bytes;
    return bytes;
}

void Compare(benchmark::State& state)
{
    if (!OursFile().empty() && !ReferenceFile().empty())
        state.counters["same_file"] = OursFile() == ReferenceFile() ? 1 : 0;
}

void BM_AutoSaveLongestHold_Background(benchmark::State& state)
{
    if (!Photo()) {
        state.SkipWithError("no photograph");
        return;
    }
    const std::string path = Folder().Required() + "/ours_autosave.vtproj";
    double cpu = 0;
    for (auto _ : state) {
        auto project = PhotoProject();
        bool done = false, saved = false;
        const double cpuBefore = ThreadCpuMs();
        VTProjectBackgroundSave save(*project, path, [&](bool ok) {
            done = true;
            saved = ok;
        });
        state.SetIterationTime(LongestHold([&] { return done; }));
        cpu += ThreadCpuMs() - cpuBefore;
        if (!saved)
            state.SkipWithError("the autosave failed");
    }
    state.counters["main_thread_cpu_ms"] = cpu / double(state.iterations());
    if (OursFile().empty())
        OursFile() = FileBytes(path);
    Compare(state);
}
BENCHMARK(BM_AutoSaveLongestHold_Background)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

void BM_AutoSaveLongestHold_OnMainThread(benchmark::State& state)
{
    if (!Photo()) {
        state.SkipWithError("no photograph");
        return;
    }
    const std::string path = Folder().Required() + "/reference_autosave.vtproj";
    double cpu = 0;
    for (auto _ : state) {
        auto project = PhotoProject();
        bool done = false, saved = false;
        const double cpuBefore = ThreadCpuMs();
        LRunLoop::Post([&] {
            LProcessInterfaceVoid quiet;
            LFileSave file;
            saved = file.Begin(path.c_str())
                && VTProjectWriteSDF(quiet, file.GetStream(), *project) == LProcessResultSuccess
                && file.Commit();
            done = true;
        });
        state.SetIterationTime(LongestHold([&] { return done; }));
        cpu += ThreadCpuMs() - cpuBefore;
        if (!saved)
            state.SkipWithError("the save failed");
    }
    state.counters["main_thread_cpu_ms"] = cpu / double(state.iterations());
    if (ReferenceFile().empty())
        ReferenceFile() = FileBytes(path);
    Compare(state);
}
BENCHMARK(BM_AutoSaveLongestHold_OnMainThread)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

} // namespace
