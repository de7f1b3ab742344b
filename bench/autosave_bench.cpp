// How long a save holds the window's thread in one go.
//
// The main loop is turned as the program turns it, and the time between its waits is taken; the
// time reported per save is the longest of these holds (manual time), the main thread's processor
// time a counter. A save is waited for until it reports its end, however long its workers (at
// nice 10) take on a loaded machine; one that has not ended after ten minutes is reported as not
// finished (an error of the run, never a time).
//
// The autosave of a project holding one 24-megapixel photograph whose PNG bytes are not encoded
// yet (the autosave that follows adding it): ours (VTProjectBackgroundSave) encodes and writes on
// a worker and only makes the file's snapshot on the main thread; the reference is the save done
// in one go on the main thread, as the autosave once did it. Both encode the same pixels and
// write the same file (compared once, byte for byte).
//
// The save of a project whose pictures are encoded already (as they are once the encoder has
// been through them), of one 24-megapixel picture, one of 100 megapixels, and 20 pictures of 16
// megapixels (one picture shown 20 times: the file holds its bytes 20 times over): ours makes the
// snapshot on the main thread, the pictures' bytes shared, and the worker writes it; the
// reference writes the whole file into one array on the main thread, as saves did before, and a
// worker writes the array. Same file (compared once).
//
// The autosave the end of the session writes of 200,000 texts (77 MB): straight into the file,
// against the snapshot written out after it and against a save of the same project.

#include "app/VTLabelLayoutData.h"
#include "app/VTOverlayText.h"
#include "app/VTProjectBackgroundSave.h"
#include "app/VTProjectFile.h"
#include "bench/BenchSupport.h"
#include "lfw/gen/LFileSave.h"
#include "lfw/graphics/LImageFile.h"
#include "platform/ui/LRunLoop.h"

#include <benchmark/benchmark.h>
#include <glib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

namespace {

benchsupport::Scratch& Folder()
{
    static benchsupport::Scratch scratch("/tmp/vt-autosave-bench-XXXXXX");
    return scratch;
}

// A 24-megapixel photograph (a blurred plasma fractal, as ImageMagick makes it), decoded.
const LImageBuffer* Photo()
{
    static const std::unique_ptr<LImageBuffer> pixels = [] {
        const std::string path = Folder().Required() + "/photo.jpg";
        const std::string command
            = "convert -size 6000x4000 plasma:fractal -blur 0x2 -quality 92 '" + path + "'";
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

// An encoded picture of the photograph's pixels: cut to width x height, or tiled to fill them.
LCountedPtr<VTCountableImageBuffer> EncodedPicture(int width, int height)
{
    const LImageBuffer& photo = *Photo();
    LCountedPtr<VTCountableImageBuffer> picture(new VTCountableImageBuffer);
    picture->AllocateNewBuffer(LImageFormat(photo.GetPixelFormat(), width, height));
    const size_t bytesPerPixel = size_t(photo.GetStride()) / size_t(photo.GetWidth());
    for (int y = 0; y < height; ++y) {
        const unsigned char* from = photo.GetPictureRow(y % photo.GetHeight());
        unsigned char* to = picture->GetData() + size_t(picture->GetStride()) * size_t(y);
        for (int x = 0; x < width; x += photo.GetWidth()) {
            const int n = std::min(photo.GetWidth(), width - x);
            std::memcpy(to + size_t(x) * bytesPerPixel, from, size_t(n) * bytesPerPixel);
        }
    }
    LProcessInterfaceVoid quiet;
    LProcessResult result = LProcessResultSuccess;
    if (!picture->EncodePNG(quiet, result))
        picture.reset();
    return picture;
}

// A project of encoded pictures: megapixels 24 (one of 6000 x 4000), 100 (one of 10000 x 10000)
// or 320 (one of 4896 x 3264, shown 20 times).
std::unique_ptr<VTProject> EncodedProject(int megapixels)
{
    static std::map<int, LCountedPtr<VTCountableImageBuffer>> pictures;
    LCountedPtr<VTCountableImageBuffer>& picture = pictures[megapixels];
    if (!picture)
        picture = megapixels == 24 ? EncodedPicture(6000, 4000)
            : megapixels == 100    ? EncodedPicture(10000, 10000)
                                   : EncodedPicture(4896, 3264);
    if (!picture)
        return nullptr;
    auto project = std::make_unique<VTProject>(new VTLabelLayoutDataGenericCDStandard);
    const int count = megapixels == 320 ? 20 : 1;
    for (int i = 0; i < count; ++i) {
        auto* image = new VTOverlayImage;
        image->image = picture;
        image->SetDimensions(40, 30);
        project->templates.GetHead()->InsertOverlay(image, false);
    }
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

// A save that has not reported its end after this long is not finished.
constexpr unsigned kGiveUpSeconds = 600;

// Turns the main loop until finished() (the save posts its end, which wakes the loop): the
// longest hold in seconds, or -1 when it had not finished after kGiveUpSeconds.
double LongestHold(const std::function<bool()>& finished)
{
    GMainContext* context = g_main_context_default();
    Holds::plain = g_main_context_get_poll_func(context);
    g_main_context_set_poll_func(context, &Holds::Poll);
    bool gaveUp = false;
    const guint guard = g_timeout_add_seconds(
        kGiveUpSeconds,
        [](gpointer flag) -> gboolean {
            *static_cast<bool*>(flag) = true;
            return G_SOURCE_REMOVE;
        },
        &gaveUp);
    Holds::longest = 0;
    Holds::woke = Holds::Clock::now();
    while (!finished() && !gaveUp)
        g_main_context_iteration(context, TRUE);
    Holds::longest = std::max(
        Holds::longest, std::chrono::duration<double>(Holds::Clock::now() - Holds::woke).count());
    if (!gaveUp)
        g_source_remove(guard);
    g_main_context_set_poll_func(context, Holds::plain);
    return finished() ? Holds::longest : -1;
}

// The file's bytes, hashed: the two sides of a pair are compared by these (files of hundreds of
// megabytes are not kept).
std::string FileDigest(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return std::to_string(bytes.size()) + ":"
        + std::to_string(std::hash<std::string_view>()(std::string_view(bytes)));
}

// The two sides' files of a pair, once each.
std::map<std::string, std::string>& Files()
{
    static std::map<std::string, std::string> files;
    return files;
}

void Compare(benchmark::State& state, const std::string& ours, const std::string& reference)
{
    auto& files = Files();
    if (files.count(ours) && files.count(reference))
        state.counters["same_file"] = files[ours] == files[reference] ? 1 : 0;
}

void Keep(const std::string& side, const std::string& path)
{
    if (!Files().count(side))
        Files()[side] = FileDigest(path);
}

// What a save reports at its end (shared with the work that reports it).
struct Outcome {
    bool done = false;
    bool saved = false;
};

// One timed save: the longest hold, or a run reported as not finished.
bool Timed(benchmark::State& state, double& cpu,
    const std::function<void(const std::shared_ptr<Outcome>&)>& start, const char* failure)
{
    auto outcome = std::make_shared<Outcome>();
    const double cpuBefore = ThreadCpuMs();
    start(outcome);
    const double longest = LongestHold([&] { return outcome->done; });
    cpu += ThreadCpuMs() - cpuBefore;
    if (longest < 0) {
        state.SkipWithError("not finished within ten minutes");
        return false;
    }
    if (!outcome->saved) {
        state.SkipWithError(failure);
        return false;
    }
    state.SetIterationTime(longest);
    return true;
}

// Starts a background save whose end goes to the outcome.
std::unique_ptr<VTProjectBackgroundSave> BackgroundSave(
    VTProject& project, const std::string& path, const std::shared_ptr<Outcome>& outcome)
{
    return std::make_unique<VTProjectBackgroundSave>(project, path, [outcome](bool ok) {
        outcome->done = true;
        outcome->saved = ok;
    });
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
        std::unique_ptr<VTProjectBackgroundSave> save;
        if (!Timed(
                state, cpu,
                [&](const auto& outcome) { save = BackgroundSave(*project, path, outcome); },
                "the autosave failed"))
            return;
    }
    state.counters["main_thread_cpu_ms"] = cpu / double(state.iterations());
    Keep("autosave ours", path);
    Compare(state, "autosave ours", "autosave reference");
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
        if (!Timed(
                state, cpu,
                [&](const std::shared_ptr<Outcome>& outcome) {
                    LRunLoop::Post([&, outcome] {
                        LProcessInterfaceVoid quiet;
                        LFileSave file;
                        outcome->saved = file.Begin(path.c_str())
                            && VTProjectWriteSDF(quiet, file.GetStream(), *project)
                                == LProcessResultSuccess
                            && file.Commit();
                        outcome->done = true;
                    });
                },
                "the save failed"))
            return;
    }
    state.counters["main_thread_cpu_ms"] = cpu / double(state.iterations());
    Keep("autosave reference", path);
    Compare(state, "autosave ours", "autosave reference");
}
BENCHMARK(BM_AutoSaveLongestHold_OnMainThread)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

void BM_SaveLongestHold_Snapshot(benchmark::State& state)
{
    const int megapixels = int(state.range(0));
    auto project = Photo() ? EncodedProject(megapixels) : nullptr;
    if (!project) {
        state.SkipWithError("no photograph");
        return;
    }
    const std::string path = Folder().Required() + "/ours_save.vtproj";
    double cpu = 0;
    for (auto _ : state) {
        std::unique_ptr<VTProjectBackgroundSave> save;
        if (!Timed(
                state, cpu,
                [&](const auto& outcome) { save = BackgroundSave(*project, path, outcome); },
                "the save failed"))
            return;
    }
    state.counters["main_thread_cpu_ms"] = cpu / double(state.iterations());
    const std::string side = "save ours " + std::to_string(megapixels);
    Keep(side, path);
    Compare(state, side, "save reference " + std::to_string(megapixels));
    std::remove(path.c_str());
}
BENCHMARK(BM_SaveLongestHold_Snapshot)
    ->Arg(24)
    ->Arg(100)
    ->Arg(320)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

void BM_SaveLongestHold_WholeFileCopy(benchmark::State& state)
{
    const int megapixels = int(state.range(0));
    auto project = Photo() ? EncodedProject(megapixels) : nullptr;
    if (!project) {
        state.SkipWithError("no photograph");
        return;
    }
    const std::string path = Folder().Required() + "/reference_save.vtproj";
    double cpu = 0;
    for (auto _ : state) {
        std::thread writer;
        if (!Timed(
                state, cpu,
                [&](const std::shared_ptr<Outcome>& outcome) {
                    LRunLoop::Post([&, outcome] {
                        // The whole file in one array, room made for every picture at once (as
                        // the save did), then written out by a worker.
                        size_t estimate = 1 << 20;
                        for (const VTOverlay* o = project->templates.GetHead()->first; o;
                             o = o->next)
                            if (const VTOverlayImage* image = VTOverlayAsImage(o))
                                estimate += image->GetImage().GetEncodedPNG()->size();
                        auto bytes = std::make_shared<LSizedArray<unsigned char>>();
                        bytes->SetArrayCapacityLarge(estimate);
                        LOutputStreamByteArray stream(*bytes);
                        LProcessInterfaceVoid quiet;
                        if (VTProjectWriteSDF(quiet, stream, *project) != LProcessResultSuccess) {
                            outcome->done = true;
                            return;
                        }
                        writer = std::thread([&path, bytes, outcome] {
                            LFileSave file;
                            const bool ok = file.Begin(path.c_str())
                                && file.GetStream().Write(bytes->GetData(), bytes->GetSize())
                                && file.Commit();
                            LRunLoop::Post([outcome, ok] {
                                outcome->saved = ok;
                                outcome->done = true;
                            });
                        });
                    });
                },
                "the save failed")) {
            if (writer.joinable())
                writer.join();
            return;
        }
        writer.join();
    }
    state.counters["main_thread_cpu_ms"] = cpu / double(state.iterations());
    const std::string side = "save reference " + std::to_string(megapixels);
    Keep(side, path);
    Compare(state, "save ours " + std::to_string(megapixels), side);
    std::remove(path.c_str());
}
BENCHMARK(BM_SaveLongestHold_WholeFileCopy)
    ->Arg(24)
    ->Arg(100)
    ->Arg(320)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

// A project of 200,000 small texts (a file of some 77 MB), made once.
VTProject& TextsProject()
{
    static const std::unique_ptr<VTProject> project = [] {
        auto made = std::make_unique<VTProject>(new VTLabelLayoutDataGenericCDStandard);
        VTProjectTemplate& design = *made->templates.GetHead();
        for (int i = 0; i < 200000; ++i) {
            auto* text = new VTOverlayText(("R" + std::to_string(i)).c_str(),
                LGuiFontEx(LGuiFont(12, false, false, false, "", false)));
            text->centreX = float(i % 80) - 40;
            text->centreY = float(i / 80 % 80) - 40;
            text->SetDimensions(9, 4);
            design.InsertOverlay(text, false);
        }
        return made;
    }();
    return *project;
}

// One write of the texts' project per iteration, timed whole (on the thread that runs it).
void TimeTextsWrites(
    benchmark::State& state, const char* side, const std::function<bool(const std::string&)>& write)
{
    VTProject& project = TextsProject();
    const std::string path = Folder().Required() + "/" + side + "_texts.vtproj";
    for (auto _ : state) {
        (void)project;
        if (!write(path)) {
            state.SkipWithError("the write failed");
            return;
        }
    }
    state.counters["bytes"] = double(std::filesystem::file_size(path));
    Keep(side, path);
    std::remove(path.c_str());
}

// The end of the session's autosave of 200,000 texts: ours writes the project straight into the
// file (VTProjectWriteAtOnce); the references are the snapshot written out after it (as the end's
// autosave did) and a save of the same project as Ctrl+S runs it. The same file on all three
// sides (compared once).
void BM_EndAutoSaveTexts_WrittenAtOnce(benchmark::State& state)
{
    TimeTextsWrites(state, "texts ours", [](const std::string& path) {
        LProcessInterfaceVoid quiet;
        VTProjectWriteAtOnce write { path, &TextsProject(), "" };
        return Process(quiet, write) == LProcessResultSuccess;
    });
    Compare(state, "texts ours", "texts snapshot");
}
BENCHMARK(BM_EndAutoSaveTexts_WrittenAtOnce)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_EndAutoSaveTexts_SnapshotThenWrite(benchmark::State& state)
{
    TimeTextsWrites(state, "texts snapshot", [](const std::string& path) {
        LProcessInterfaceVoid quiet;
        VTProjectSnapshot snapshot;
        if (VTProjectMakeSnapshot(quiet, TextsProject(), snapshot) != LProcessResultSuccess)
            return false;
        VTProjectWriteSnapshot write { path, std::move(snapshot) };
        return Process(quiet, write) == LProcessResultSuccess;
    });
    Compare(state, "texts ours", "texts snapshot");
}
BENCHMARK(BM_EndAutoSaveTexts_SnapshotThenWrite)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_EndAutoSaveTexts_SaveOfTheProject(benchmark::State& state)
{
    TimeTextsWrites(state, "texts save", [](const std::string& path) {
        VTProjectSave save;
        save.project = &TextsProject();
        save.leaveProjectUnchanged = true;
        std::snprintf(save.path, sizeof save.path, "%s", path.c_str());
        LProcessInterfaceVoid quiet;
        return Process(quiet, save) == LProcessResultSuccess;
    });
    Compare(state, "texts ours", "texts save");
}
BENCHMARK(BM_EndAutoSaveTexts_SaveOfTheProject)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
