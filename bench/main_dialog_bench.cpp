// The main window's document work.
//
// "Spara som... > Bild": the sample project's A4 sheet written as a 300-dpi PNG, next to
// poppler's pdftoppm turning the PDF export of the same sheet into a 300-dpi PNG (both render
// the page and encode the same number of pixels). And opening a project of 500 overlays and
// painting its sheet at screen resolution, as the window does when a project is opened (aim:
// 0.5 s).
//
// Enabling the window's commands (EnableControlsNow: the enable rules, paste by what the
// clipboard offers, the toolbars) while another program owns the clipboard and never answers
// (a stopped xclip; aim: under 1 ms), against the same with an owner that answers and with our
// own copy on the clipboard; and, for scale, one question to an owner that answers, which the
// enabling used to ask three times and wait for. Run under a display (xvfb-run).

#include "app/VTExport.h"
#include "app/VTProjectFile.h"
#include "app/lxa/mac/MainDialog.h"
#include "bench/BenchSupport.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LClipboard.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LRunLoop.h"
#include "platform/ui/LUiClipboard.h"
#include "platform/ui/LUiSystem.h"
#include "tests/support/ProjectTestSupport.h"
#include "tests/support/StoppedClipboardOwner.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
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

// The main window, shown, with a new CD project and a text overlay; null without a display.
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
        char reply[kLZORAPIReplySize];
        const char* request[] = { "-new", "cd" };
        w->EvAPICommand(2, request, reply);
        for (int i = 0; i < 50; ++i)
            LRunLoop::RunPending();
        return w;
    }();
    return window;
}

// Lets the loop hear the clipboard's change of hands.
void Settle()
{
    long long end = LRunLoop::NowMs() + 300;
    while (LRunLoop::NowMs() < end)
        LRunLoop::RunOnce(false);
}

void EnableControlsLoop(benchmark::State& state, MainDialog* w)
{
    for (auto _ : state)
        w->EnableControlsNow();
}

void BM_EnableControls_StoppedClipboardOwner(benchmark::State& state)
{
    MainDialog* w = Window();
    if (!w || !StoppedClipboardOwner::Available())
        return state.SkipWithError("no display or no xclip");
    StoppedClipboardOwner owner;
    if (!owner.Owning())
        return state.SkipWithError("xclip did not take the clipboard");
    Settle();
    EnableControlsLoop(state, w);
}
BENCHMARK(BM_EnableControls_StoppedClipboardOwner)->Unit(benchmark::kMicrosecond);

// An xclip that owns the clipboard and answers.
struct AnsweringOwner {
    pid_t pid = -1;
    AnsweringOwner()
    {
        int in[2];
        if (pipe(in) != 0)
            return;
        pid = fork();
        if (pid == 0) {
            dup2(in[0], 0);
            close(in[0]);
            close(in[1]);
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            execlp("xclip", "xclip", "-quiet", "-selection", "clipboard", "-i", nullptr);
            _exit(127);
        }
        close(in[0]);
        if (write(in[1], "svar", 4) != 4)
            pid = -1;
        close(in[1]);
        for (int i = 0; i < 100 && StoppedClipboardOwner::Read("0.5") != "svar"; ++i)
            usleep(20000);
    }
    ~AnsweringOwner()
    {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
};

void BM_EnableControls_AnsweringClipboardOwner(benchmark::State& state)
{
    MainDialog* w = Window();
    if (!w || !StoppedClipboardOwner::Available())
        return state.SkipWithError("no display or no xclip");
    AnsweringOwner owner;
    Settle();
    EnableControlsLoop(state, w);
}
BENCHMARK(BM_EnableControls_AnsweringClipboardOwner)->Unit(benchmark::kMicrosecond);

void BM_EnableControls_OwnCopyOnTheClipboard(benchmark::State& state)
{
    MainDialog* w = Window();
    if (!w)
        return state.SkipWithError("no display");
    LClipboard clipboard(w->GetContentView());
    clipboard.CopyText("egen");
    Settle();
    EnableControlsLoop(state, w);
}
BENCHMARK(BM_EnableControls_OwnCopyOnTheClipboard)->Unit(benchmark::kMicrosecond);

// One question that waits for an owner that answers (its text; GTK keeps no copy of it).
void BM_OneClipboardQuestion_AnsweringOwner(benchmark::State& state)
{
    if (!Window() || !StoppedClipboardOwner::Available())
        return state.SkipWithError("no display or no xclip");
    AnsweringOwner owner;
    Settle();
    for (auto _ : state) {
        std::vector<uint8_t> bytes;
        if (!LUiClipboard::Read("UTF8_STRING", bytes, 5000))
            return state.SkipWithError("no answer");
    }
}
BENCHMARK(BM_OneClipboardQuestion_AnsweringOwner)->Unit(benchmark::kMicrosecond);

} // namespace
