// The main window's document work.
//
// "Spara som... > Bild": the sample project's A4 sheet written as a 300-dpi PNG (the export job
// as the window runs it), and next to it poppler's pdftoppm turning the PDF export of the same
// sheet into a 300-dpi picture, in two pairs that do the same work on both sides:
//
//   BM_SheetA4At300ToPPM_Ours    against BM_SheetA4At300ToPPM_Pdftoppm: the sheet rendered and
//                                written as a binary PPM file (no encoder settings to differ)
//   BM_SheetA4At300ToPNG9_Ours   against BM_SheetA4At300ToPNG9_Pdftoppm: written as an RGB PNG
//                                at zlib level 9, as pdftoppm -png writes it
//
// Both sides' pictures are compared once: psnr is ours against poppler's in dB (the PDF must
// carry everything the sheet paints for the two to agree closely), and the PNG pair checks that
// both files are RGB at the same compression level.
//
// And opening a project of 500 overlays and painting its sheet at screen resolution, as the
// window does when a project is opened (aim: 0.5 s).
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
#include "lfw/gen/LStream.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/graphics/LPNMCodec.h"
#include "lfw/mac/LClipboard.h"
#include "platform/imageio/ImageIO.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LRunLoop.h"
#include "platform/ui/LUiClipboard.h"
#include "platform/ui/LUiSystem.h"
#include "tests/support/ProjectTestSupport.h"
#include "tests/support/StoppedClipboardOwner.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <fcntl.h>
#include <memory>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

namespace {

benchsupport::Scratch& Folder()
{
    static benchsupport::Scratch scratch("vt-main-dialog-bench-XXXXXX");
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

// The export job alone, as the window runs it (PNG at the encoder's default settings): the job
// that "Spara som... > Bild" through the window is measured against (scripts/export-timing.sh).
// It has no reference of its own; the pairs below compare like with like.
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

// The PDF export of the sample sheet, made once.
const std::string& SheetPdf()
{
    static std::string pdf;
    if (!pdf.empty())
        return pdf;
    VTProject& project = *Sample();
    const std::string path = Folder().Required() + "/sheet-for-poppler.pdf";
    Quiet job;
    VTExport record;
    record.targetPath = path.c_str();
    record.project = &project;
    record.page = project.GetLabelLayout()->pages.GetFirst();
    if (Process(job, record) == LProcessResultSuccess)
        pdf = path;
    return pdf;
}

// Renders the sheet at 300 dpi and writes it as a PPM file or as an RGB PNG at zlib level 9.
bool WriteSheet(const std::string& path, bool png)
{
    VTProject& project = *Sample();
    LImageBuffer image;
    if (!VTRenderPageToImage(image, project, *project.GetLabelLayout()->pages.GetFirst(), 300))
        return false;
    if (!png) {
        LOutputStreamFile out;
        LProcessInterfaceVoid job;
        LProcessPNMSave<LOutputStreamFile> save(image, 5, 32, out);
        return out.Open(path.c_str()) && Process(job, save) == LProcessResultSuccess && out.Close();
    }
    platform::imageio::EncodeInput input;
    input.firstRow = image.GetPictureRow(0);
    input.stride
        = image.IsBottomUp() ? -ptrdiff_t(image.GetStride()) : ptrdiff_t(image.GetStride());
    input.width = uint32_t(image.GetWidth());
    input.height = uint32_t(image.GetHeight());
    input.ignoreAlpha = true; // the sheet is opaque paper
    input.dpiX = input.dpiY = 300;
    input.pngCompression = 9;
    std::vector<uint8_t> bytes;
    if (!platform::imageio::Encode(platform::imageio::Format::PNG, input, bytes))
        return false;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

// A PNG file's colour type and the compression level its first IDAT's zlib header names (0
// fastest to 3 best); -1 each when the file is not one.
std::pair<int, int> PngSettings(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> d(
        (std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (d.size() < 33 || d[12] != 'I' || d[13] != 'H')
        return { -1, -1 };
    for (size_t at = 8; at + 10 <= d.size();) {
        const size_t length
            = size_t(d[at]) << 24 | size_t(d[at + 1]) << 16 | size_t(d[at + 2]) << 8 | d[at + 3];
        if (std::string(d.begin() + long(at + 4), d.begin() + long(at + 8)) == "IDAT")
            return { d[25], d[at + 9] >> 6 };
        at += 12 + length;
    }
    return { d[25], -1 };
}

// The two pictures' PSNR over the area they share. They differ in size by a few pixels: the PDF
// page is A4 in whole points (595 x 841, truncated), which pdftoppm renders as 2480 x 3505, while
// the image export rounds the sheet's 210 x 297 mm up to 2481 x 3508 pixels. Both put the sheet's
// top-left corner at the picture's, at 300/25.4 pixels per mm, so the shared area is the same
// pixels of the sheet; ours encodes 0.13 % more pixels than poppler's.
void Compare(benchmark::State& state, const std::string& oursPpm, const std::string& theirsPpm)
{
    benchsupport::Pixmap ours(oursPpm), theirs(theirsPpm);
    if (!ours.Valid() || !theirs.Valid()) {
        state.SkipWithError("a picture is missing");
        return;
    }
    state.counters["our_pixels"] = double(ours.width) * ours.height;
    state.counters["their_pixels"] = double(theirs.width) * theirs.height;
    // A point is 300/72 pixels: the whole-point page may lose up to 5 pixels each way.
    if (ours.width < theirs.width || ours.height < theirs.height || ours.width - theirs.width > 5
        || ours.height - theirs.height > 5) {
        state.SkipWithError("the two pictures differ in size by more than the page's rounding");
        return;
    }
    const int w = theirs.width, h = theirs.height;
    std::vector<uint8_t> cropped;
    for (int y = 0; y < h; ++y)
        cropped.insert(cropped.end(), ours.rgb.begin() + long(size_t(y) * ours.width * 3),
            ours.rgb.begin() + long((size_t(y) * ours.width + w) * 3));
    ours.rgb.swap(cropped);
    ours.width = w, ours.height = h;
    state.counters["psnr"] = benchsupport::PSNR(ours, theirs);
}

void BM_SheetA4At300ToPPM_Ours(benchmark::State& state)
{
    const std::string path = Folder().Required() + "/ours.ppm";
    for (auto _ : state)
        if (!WriteSheet(path, false)) {
            state.SkipWithError("the sheet was not written");
            return;
        }
}
BENCHMARK(BM_SheetA4At300ToPPM_Ours)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SheetA4At300ToPPM_Pdftoppm(benchmark::State& state)
{
    const std::string folder = Folder().Required();
    if (SheetPdf().empty()) {
        state.SkipWithError("no PDF");
        return;
    }
    const std::string command
        = "pdftoppm -r 300 -singlefile '" + SheetPdf() + "' '" + folder + "/poppler' 2>/dev/null";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("pdftoppm failed");
            return;
        }
    if (!std::filesystem::exists(folder + "/ours.ppm"))
        WriteSheet(folder + "/ours.ppm", false);
    Compare(state, folder + "/ours.ppm", folder + "/poppler.ppm");
}
BENCHMARK(BM_SheetA4At300ToPPM_Pdftoppm)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SheetA4At300ToPNG9_Ours(benchmark::State& state)
{
    const std::string path = Folder().Required() + "/ours9.png";
    for (auto _ : state)
        if (!WriteSheet(path, true)) {
            state.SkipWithError("the sheet was not written");
            return;
        }
    const auto [type, level] = PngSettings(path);
    state.counters["colour_type"] = type;
    state.counters["zlib_level"] = level;
}
BENCHMARK(BM_SheetA4At300ToPNG9_Ours)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SheetA4At300ToPNG9_Pdftoppm(benchmark::State& state)
{
    const std::string folder = Folder().Required();
    if (SheetPdf().empty()) {
        state.SkipWithError("no PDF");
        return;
    }
    const std::string command = "pdftoppm -r 300 -png -singlefile '" + SheetPdf() + "' '" + folder
        + "/poppler9' 2>/dev/null";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("pdftoppm failed");
            return;
        }
    const auto [type, level] = PngSettings(folder + "/poppler9.png");
    state.counters["colour_type"] = type;
    state.counters["zlib_level"] = level;
    if (!std::filesystem::exists(folder + "/ours9.png"))
        WriteSheet(folder + "/ours9.png", true);
    const auto ours = PngSettings(folder + "/ours9.png");
    if (ours.first != type || ours.second != level)
        state.SkipWithError("the two PNG files are written with different settings");
    // The pixels, through netpbm.
    std::system(("pngtopnm '" + folder + "/ours9.png' >'" + folder + "/ours9.ppm' 2>/dev/null; "
        + "pngtopnm '" + folder + "/poppler9.png' >'" + folder + "/poppler9.ppm' 2>/dev/null")
                    .c_str());
    Compare(state, folder + "/ours9.ppm", folder + "/poppler9.ppm");
}
BENCHMARK(BM_SheetA4At300ToPNG9_Pdftoppm)->Unit(benchmark::kMillisecond)->Iterations(3);

// The export jobs of a new CD project, as "vorantel -new cd" makes it, the window's
// "Spara som... > Pdf" and "> Bild" run them: what scripts/export-timing.sh measures through the
// window (Return in the file panel until the file is whole) is compared with these. Each run
// writes a file that is not there yet, as the script's exports through the window do (replacing
// one costs a little more: the old file's owner and mode are kept and its blocks freed).
//
// With VT_EXPORT_JOB_PAUSE_MS set, each run follows an untimed pause of that length, as a user's
// exports come seconds apart: run straight after each other, a picture export finds the previous
// sheet's memory still at hand, which a fresh export seconds later does not (its pages are
// faulted in again; in a virtual machine that returns free memory to its host this costs 30 to
// 60 ms for an A4 sheet at 300 dpi).
template <class Job>
void RunExportJob(benchmark::State& state, VTProject& project, const char* name)
{
    const char* pause = std::getenv("VT_EXPORT_JOB_PAUSE_MS");
    const long pauseMs = pause ? std::strtol(pause, nullptr, 10) : 0;
    const std::string folder = Folder().Required() + "/" + name + ".runs";
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    std::filesystem::create_directory(folder, ignored);
    std::string path;
    unsigned long run = 0;
    for (auto _ : state) {
        if (pauseMs > 0) {
            state.PauseTiming();
            std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
            state.ResumeTiming();
        }
        path = folder + "/" + std::to_string(++run) + "-" + name;
        Quiet job;
        Job record;
        record.targetPath = path.c_str();
        record.project = &project;
        record.page = project.GetLabelLayout()->pages.GetFirst();
        if constexpr (std::is_same_v<Job, VTImageExport>)
            record.pixelsPerInch = 300;
        if (Process(job, record) != LProcessResultSuccess) {
            state.SkipWithError(job.error.c_str());
            return;
        }
    }
    state.counters["bytes"]
        = path.empty() ? 0.0 : double(std::filesystem::file_size(path, ignored));
    std::filesystem::remove_all(folder, ignored);
}

void BM_NewCdProjectPdfJob(benchmark::State& state)
{
    VTProject project(new VTLabelLayoutDataGenericCDStandard);
    RunExportJob<VTExport>(state, project, "new-cd.pdf");
}
BENCHMARK(BM_NewCdProjectPdfJob)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_NewCdProjectImageJob(benchmark::State& state)
{
    VTProject project(new VTLabelLayoutDataGenericCDStandard);
    RunExportJob<VTImageExport>(state, project, "new-cd.png");
}
BENCHMARK(BM_NewCdProjectImageJob)->Unit(benchmark::kMillisecond)->UseRealTime();

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
    if (Process(job, save) != LProcessResultSuccess) {
        path.clear();
        return path;
    }
    // scripts/export-timing.sh opens the same project in the window.
    if (const char* copy = std::getenv("VT_FIVE_HUNDRED_PROJECT"); copy && *copy) {
        std::error_code error;
        std::filesystem::copy_file(
            path, copy, std::filesystem::copy_options::overwrite_existing, error);
        if (error)
            std::fprintf(stderr, "cannot copy the project to %s\n", copy);
    }
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

// The export jobs of the project of 500 overlays, opened from its file (scripts/export-timing.sh
// takes the file as its project to time them through the window).
template <class Job> void RunFiveHundredOverlayJob(benchmark::State& state, const char* name)
{
    Quiet job;
    VTProject project;
    VTProjectLoad load;
    load.project = &project;
    std::snprintf(load.path, sizeof load.path, "%s", FiveHundredOverlayFile().c_str());
    if (FiveHundredOverlayFile().empty() || Process(job, load) != LProcessResultSuccess) {
        state.SkipWithError("the project could not be read");
        return;
    }
    RunExportJob<Job>(state, project, name);
}

void BM_FiveHundredOverlaysPdfJob(benchmark::State& state)
{
    RunFiveHundredOverlayJob<VTExport>(state, "five-hundred.pdf");
}
BENCHMARK(BM_FiveHundredOverlaysPdfJob)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FiveHundredOverlaysImageJob(benchmark::State& state)
{
    RunFiveHundredOverlayJob<VTImageExport>(state, "five-hundred.png");
}
BENCHMARK(BM_FiveHundredOverlaysImageJob)->Unit(benchmark::kMillisecond)->UseRealTime();

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
