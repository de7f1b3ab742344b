// Adding many overlays to one design, as a later start's "-addimage" requests and the text
// requests do it through the shown main window: a new CD project, then one start's worth of n
// requests of one small picture (or one short text file). What the n-th added overlay costs must
// not grow with the overlays already there: the time per overlay (per_add_ms) stays the same at
// 250, 500 and 1,000 (aim: 1,000 additions within 4 times the time of 250).
//
// BM_RecordAddStep is the undo step recorded before each addition, timed alone on a design that
// already holds n overlays (microseconds: it copies nothing), against BM_RecordWholeDesignStep,
// the copy of the whole design that was recorded before, which grows with n. Run under a display
// (xvfb-run).
#include "app/VTHistoryState.h"
#include "app/VTHistoryStateStack.h"
#include "app/VTOverlayImage.h"
#include "app/VTProjectTemplate.h"
#include "app/VTProjectTemplateViewer.h"
#include "app/lxa/mac/MainDialog.h"
#include "bench/BenchSupport.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/graphics/LImageBuffer.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LRunLoop.h"
#include "platform/ui/LUiSystem.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

benchsupport::Scratch& Folder()
{
    static benchsupport::Scratch folder("vt-add-overlays-XXXXXX");
    return folder;
}

// The main window, shown; null without a display.
MainDialog* Window()
{
    static MainDialog* window = []() -> MainDialog* {
        if (!LUiInit())
            return nullptr;
        const std::string folder = Folder().Required();
        setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
        LUserSettingSetString("Settings", "WelcomeDialogShow", "0");
        auto* w = new MainDialog;
        const char* argv[] = { "vorantel" };
        if (!w->MainWindowInit(1, argv))
            return nullptr;
        if (LNativeWindow* native = w->GetNativeWindow())
            native->MakeKeyAndOrderFront();
        return w;
    }();
    return window;
}

void Settle()
{
    const long long end = LRunLoop::NowMs() + 200;
    while (LRunLoop::NowMs() < end)
        LRunLoop::RunOnce(false);
}

// One start's requests: key and path n times over.
std::vector<const char*> Requests(const char* key, const std::string& path, int n)
{
    std::vector<const char*> argv;
    for (int i = 0; i < n; ++i) {
        argv.push_back(key);
        argv.push_back(path.c_str());
    }
    return argv;
}

void AddMany(benchmark::State& state, const char* key, const std::string& path)
{
    MainDialog* w = Window();
    if (!w)
        return state.SkipWithError("no display");
    const int n = int(state.range(0));
    const std::vector<const char*> argv = Requests(key, path, n);
    char reply[kLZORAPIReplySize];
    double seconds = 0;
    for (auto _ : state) {
        w->CmCloseDocument(false);
        const char* fresh[] = { "-new", "cd" };
        w->EvAPICommand(2, fresh, reply);
        Settle();
        const auto start = std::chrono::steady_clock::now();
        const int result = w->EvAPICommand(int(argv.size()), argv.data(), reply);
        // Until the design holds them all (a start's requests may be carried out in later turns
        // of the loop), and the window has shown them.
        VTProjectTemplate* design = w->projectViewer.GetCurrentTemplate();
        const long long end = LRunLoop::NowMs() + 300000;
        while (result >= 0 && design && design->GetCount() < size_t(n) && LRunLoop::NowMs() < end)
            LRunLoop::RunOnce(true);
        LRunLoop::RunPending();
        const double took
            = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(took);
        seconds += took;
        if (result < 0 || !design || design->GetCount() != size_t(n))
            return state.SkipWithError(reply);
    }
    state.counters["per_add_ms"] = seconds * 1000.0 / double(n) / double(state.iterations());
}

void BM_AddPictures(benchmark::State& state)
{
    const std::string picture = std::string(VT_SOURCE_DIR) + "/tests/data/images/base.png";
    AddMany(state, "-addimage", picture);
}
BENCHMARK(BM_AddPictures)
    ->Arg(250)
    ->Arg(500)
    ->Arg(1000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_AddTexts(benchmark::State& state)
{
    const std::string text = Folder().Required() + "/rad.txt";
    std::ofstream(text) << "Spår ett";
    AddMany(state, "-addtext", text);
}
BENCHMARK(BM_AddTexts)
    ->Arg(250)
    ->Arg(500)
    ->Arg(1000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The undo step recorded before an addition to a design of n small pictures.
template <class Step> void RecordStep(benchmark::State& state)
{
    VTProjectTemplate design(VTTemplateFormatDisc);
    LImageBuffer pixels;
    pixels.AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8A8, 37, 23));
    for (int i = 0; i < state.range(0); ++i) {
        auto* image = new VTOverlayImage;
        image->SetImage(pixels);
        design.InsertOverlay(image, false);
    }
    VTProjectTemplateViewer canvas;
    canvas.SetPaintControlSize(1000, 500);
    canvas.SetCollection(&design);
    VTHistoryStateStack history;
    history.maxDepth = 100;
    for (auto _ : state) {
        history.Add(new Step("Text convert", canvas, design));
        benchmark::DoNotOptimize(history.count);
    }
}

void BM_RecordAddStep(benchmark::State& state)
{
    RecordStep<VTAddOverlayState>(state);
}
BENCHMARK(BM_RecordAddStep)->Arg(250)->Arg(500)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_RecordWholeDesignStep(benchmark::State& state)
{
    RecordStep<VTCopySingleTemplateState>(state);
}
BENCHMARK(BM_RecordWholeDesignStep)->Arg(250)->Arg(500)->Arg(1000)->Unit(benchmark::kMicrosecond);

} // namespace
