// The window's thread while a picture is added and while a copied picture is pasted: the main loop
// is turned as the program turns it, and the time reported per add or paste is the longest time
// the loop went without waiting (manual time), the main thread's processor time a counter. Run
// under a display (xvfb-run) for the clipboard.
// - BM_AddPictureLongestHold_Worker against BM_AddPictureLongestHold_OnMainThread: a progressive
//   JPEG of 8000 x 8000 pixels (tests/support/make-pictures.py), read, reduced for the screen and
//   taken as an overlay's picture. Ours reads it on a worker (VTProcessPictureFileRead under
//   LProcessThread::Start) and the main thread only takes the picture; the reference reads it on
//   the main thread as the progress window's job did, the loop turned at each of the job's stop
//   questions (every few milliseconds while the scans are read, every 64 rows after them) and
//   held through the rest (the store, the reduction). The same work.
// - BM_PasteLongestHold_SharedPixels against BM_PasteLongestHold_StreamDecoded: a 24-megapixel
//   photograph whose PNG bytes are at hand (read from a project file) copied and pasted in the
//   program. Ours pastes the copied overlay with its pixels shared; the reference wrote the
//   overlay's stream at the copy and decoded it at the paste, on the main thread, as before. Not
//   the same work: ours decodes nothing.
// - BM_PasteStreamLongestHold_Worker against BM_PasteStreamLongestHold_OnMainThread: that stream
//   as another copy of the program pastes it, decoded on a worker while the loop turns, against on
//   the main thread. The same work.
#include "app/VTClipboardOverlay.h"
#include "app/VTOverlayImage.h"
#include "app/VTOverlaySerialise.h"
#include "app/VTPictureFilesAdd.h"
#include "bench/BenchSupport.h"
#include "bench/MainLoopHolds.h"
#include "lfw/ios/LEventQueue.h"
#include "lfw/ios/LProcessThread.h"
#include "lfw/mac/LClipboard.h"
#include "lfw/mac/LScreenImageCopies.h"
#include "platform/imageio/ImageIO.h"
#include "platform/ui/LRunLoop.h"
#include "platform/ui/LUiSystem.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

benchsupport::Scratch& Folder()
{
    static benchsupport::Scratch scratch("/tmp/vt-picture-workers-bench-XXXXXX");
    return scratch;
}

// The progressive JPEG's path; empty when it could not be made.
const std::string& ProgressiveJpeg()
{
    static const std::string path = [] {
        const std::string file = Folder().Required() + "/scans.jpg";
        const std::string command = "python3 '" + std::string(VT_SOURCE_DIR)
            + "/tests/support/make-pictures.py' progressive-jpeg '" + file + "' 8000 8000 63";
        return std::system(command.c_str()) == 0 ? file : std::string();
    }();
    return path;
}

// Asks to stop as the progress window did on the main thread: the loop turns at each question.
class TurningTheLoop : public LProcessInterfaceVoid {
public:
    bool IsToStop() override
    {
        LMacDispatchEvents();
        return false;
    }
};

// The main thread's side of an add: the picture taken by an overlay, with its screen source.
void Take(VTProcessPictureFileRead& read)
{
    VTOverlayImage overlay;
    overlay.TakeImage(read.picture);
    if (read.screenSource.IsValid())
        overlay.GetImage().GetScreenCopies().KeepSource(
            overlay.GetImage(), std::move(read.screenSource));
    benchmark::DoNotOptimize(overlay.GetImage().GetData());
}

void BM_AddPictureLongestHold_Worker(benchmark::State& state)
{
    if (ProgressiveJpeg().empty())
        return state.SkipWithError("no picture");
    double cpu = 0;
    for (auto _ : state) {
        VTProcessPictureFileRead read;
        read.path = ProgressiveJpeg();
        LProcessInterfaceVoid quiet;
        LProcessThread thread(
            quiet,
            [](LProcessInterface& iface, void* job) {
                return Process(iface, *static_cast<VTProcessPictureFileRead*>(job));
            },
            &read);
        bool done = false, readOk = false;
        const double cpuBefore = mainloopholds::ThreadCpuMs();
        if (!thread.Start([&](LProcessResult result) {
                readOk = result == LProcessResultSuccess;
                if (readOk)
                    Take(read);
                done = true;
            }))
            return state.SkipWithError("no thread");
        state.SetIterationTime(mainloopholds::LongestHold([&] { return done; }));
        cpu += mainloopholds::ThreadCpuMs() - cpuBefore;
        if (!readOk)
            return state.SkipWithError("the picture was not read");
    }
    state.counters["main_thread_cpu_ms"] = cpu / double(state.iterations());
}
BENCHMARK(BM_AddPictureLongestHold_Worker)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

void BM_AddPictureLongestHold_OnMainThread(benchmark::State& state)
{
    if (ProgressiveJpeg().empty())
        return state.SkipWithError("no picture");
    double cpu = 0;
    for (auto _ : state) {
        bool done = false, readOk = false;
        const double cpuBefore = mainloopholds::ThreadCpuMs();
        LRunLoop::Post([&] {
            VTProcessPictureFileRead read;
            read.path = ProgressiveJpeg();
            TurningTheLoop job;
            readOk = Process(job, read) == LProcessResultSuccess;
            if (readOk)
                Take(read);
            done = true;
        });
        state.SetIterationTime(mainloopholds::LongestHold([&] { return done; }));
        cpu += mainloopholds::ThreadCpuMs() - cpuBefore;
        if (!readOk)
            return state.SkipWithError("the picture was not read");
    }
    state.counters["main_thread_cpu_ms"] = cpu / double(state.iterations());
}
BENCHMARK(BM_AddPictureLongestHold_OnMainThread)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

// ---- Paste -------------------------------------------------------------------------------------

// A 24-megapixel photograph of noise with its PNG bytes at hand, as read from a project file.
VTOverlayImage* Photo()
{
    static VTOverlayImage* photo = [] {
        LImageBuffer picture;
        picture.AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8A8, 6000, 4000));
        uint64_t state = 0x9E3779B97F4A7C15ull;
        for (int y = 0; y < 4000; ++y) {
            auto* row = reinterpret_cast<uint64_t*>(picture.GetRow(y));
            for (int x = 0; x < 3000; ++x) {
                state ^= state << 13;
                state ^= state >> 7;
                state ^= state << 17;
                row[x] = state | 0xFF000000FF000000ull;
            }
        }
        platform::imageio::EncodeInput input;
        input.firstRow = picture.GetData();
        input.stride = ptrdiff_t(picture.GetStride());
        input.width = 6000;
        input.height = 4000;
        input.ignoreAlpha = true;
        input.pngCompression = 1;
        auto png = std::make_shared<std::vector<unsigned char>>();
        if (!platform::imageio::Encode(platform::imageio::Format::PNG, input, *png))
            return static_cast<VTOverlayImage*>(nullptr);
        auto* overlay = new VTOverlayImage;
        overlay->TakeImage(picture);
        overlay->GetImage().KeepEncodedPNG(std::move(png));
        return overlay;
    }();
    return photo;
}

// The overlay's stream as the copy wrote it before: its PNG bytes copied in.
std::vector<uint8_t> OverlayStream(const VTOverlay& overlay)
{
    LSizedArray<unsigned char> bytes;
    LOutputStreamByteArray stream(bytes);
    LSDFWriter<LOutputStreamByteArray> writer;
    LProcessInterfaceVoid quiet;
    const uint16_t id = VTOverlayChunkID(overlay.GetType());
    if (!writer.Open(stream, kVTClipboardFileType, kVTClipboardFileVersion)
        || !writer.StartContainer(id)
        || VTSerialiseOverlayToSDF(quiet, writer, overlay) != LProcessResultSuccess
        || !writer.EndContainer(id) || !writer.Close())
        return {};
    return std::vector<uint8_t>(bytes.GetData(), bytes.GetData() + bytes.GetSize());
}

void BM_PasteLongestHold_SharedPixels(benchmark::State& state)
{
    if (!LUiInit() || !Photo())
        return state.SkipWithError("no display or no photograph");
    for (auto _ : state) {
        std::unique_ptr<VTOverlay> pasted;
        bool done = false;
        LRunLoop::Post([&] {
            VTClipboardOverlayCopy copy(nullptr, Photo());
            LClipboard clipboard(nullptr);
            VTClipboardOverlayPaste paste(&clipboard);
            if (copy.PerformCopy() && paste.PerformPaste())
                pasted.reset(paste.TakeOverlay());
            done = true;
        });
        state.SetIterationTime(mainloopholds::LongestHold([&] { return done; }));
        if (!pasted)
            return state.SkipWithError("nothing pasted");
    }
}
BENCHMARK(BM_PasteLongestHold_SharedPixels)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

void BM_PasteLongestHold_StreamDecoded(benchmark::State& state)
{
    if (!LUiInit() || !Photo())
        return state.SkipWithError("no display or no photograph");
    for (auto _ : state) {
        std::unique_ptr<VTOverlay> pasted;
        bool done = false;
        LRunLoop::Post([&] {
            const std::vector<uint8_t> bytes = OverlayStream(*Photo());
            LClipboard clipboard(nullptr);
            LSizedArray<unsigned char> back;
            VTOverlay* overlay = nullptr;
            if (clipboard.CopyCustomFormat(bytes.data(), bytes.size(), kVTClipboardOverlayType)
                && clipboard.PasteCustomFormat(back, kVTClipboardOverlayType)
                && VTClipboardOverlayRead(back.GetData(), back.GetSize(), overlay))
                pasted.reset(overlay);
            done = true;
        });
        state.SetIterationTime(mainloopholds::LongestHold([&] { return done; }));
        if (!pasted)
            return state.SkipWithError("nothing pasted");
    }
}
BENCHMARK(BM_PasteLongestHold_StreamDecoded)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

// The stream read, as a job.
struct StreamRead {
    const std::vector<uint8_t>* bytes;
    VTOverlay* overlay = nullptr;
};
LProcessResult Process(LProcessInterface&, StreamRead& read)
{
    return VTClipboardOverlayRead(read.bytes->data(), read.bytes->size(), read.overlay)
        ? LProcessResultSuccess
        : LProcessResultError;
}

const std::vector<uint8_t>& Stream()
{
    static const std::vector<uint8_t> bytes
        = Photo() ? OverlayStream(*Photo()) : std::vector<uint8_t>();
    return bytes;
}

void BM_PasteStreamLongestHold_Worker(benchmark::State& state)
{
    if (!LUiInit() || Stream().empty())
        return state.SkipWithError("no display or no stream");
    for (auto _ : state) {
        std::unique_ptr<VTOverlay> pasted;
        bool done = false;
        LRunLoop::Post([&] {
            StreamRead read { &Stream() };
            LProcessRunWhileLoopTurns(read);
            pasted.reset(read.overlay);
            done = true;
        });
        state.SetIterationTime(mainloopholds::LongestHold([&] { return done; }));
        if (!pasted)
            return state.SkipWithError("nothing read");
    }
}
BENCHMARK(BM_PasteStreamLongestHold_Worker)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

void BM_PasteStreamLongestHold_OnMainThread(benchmark::State& state)
{
    if (!LUiInit() || Stream().empty())
        return state.SkipWithError("no display or no stream");
    for (auto _ : state) {
        std::unique_ptr<VTOverlay> pasted;
        bool done = false;
        LRunLoop::Post([&] {
            StreamRead read { &Stream() };
            LProcessInterfaceVoid quiet;
            Process(quiet, read);
            pasted.reset(read.overlay);
            done = true;
        });
        state.SetIterationTime(mainloopholds::LongestHold([&] { return done; }));
        if (!pasted)
            return state.SkipWithError("nothing read");
    }
}
BENCHMARK(BM_PasteStreamLongestHold_OnMainThread)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

} // namespace
