// Palettes, conversion to indexed colour and GIF writing on an A4 page at 300 dpi (2480 x 3507),
// each next to the tool that does the same work, run as a command from start to exit. Both sides
// read the page from a PPM file and write their result to a file.
//
//   BM_Octree256_Framework      against BM_Octree256_ImageMagick (convert +dither -colors 256,
//                               on every core) and BM_Octree256_ImageMagickOneThread, each on
//                               four pictures (the argument): 0 the page, 1 a photograph-like
//                               blurred fractal of 3000 x 2000, 2 ImageMagick's photograph rose:
//                               (70 x 46) and 3 the same enlarged to 2000 pixels wide
//   BM_MedianCut256_Framework   against BM_MedianCut256_Netpbm (pnmquant 256, no dithering)
//   BM_FloydSteinberg_Framework against BM_FloydSteinberg_Netpbm (pnmremap -floyd, same palette)
//   BM_GIF_Framework            against BM_GIF_ImageMagick (convert page.ppm page.gif)
//
// netpbm's two take a minute or more each on a page.
//
// The counter psnr is the result's PSNR against the picture in dB (computed here for both sides
// alike): a faster quantiser that comes out further from the picture is no win. palette_ms and
// map_ms are the framework's palette and mapping alone.
// BM_MedianCutEveryPixel shows the memory of median cut when every pixel is kept (a page of 200
// colours): extra_MB is the most heap in use beyond what the page itself takes, page_MB the page's
// own size.
#include "lfw/gen/LStream.h"
#include "lfw/graphics/LConvertToIndexed.h"
#include "lfw/graphics/LGIFEncoder.h"
#include "lfw/graphics/LImageFile.h"
#include "lfw/graphics/LMedianCutColor.h"
#include "lfw/graphics/LPNMCodec.h"
#include "lfw/graphics/LPaletteGeneration.h"

#include "bench/BenchSupport.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <malloc.h>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 2480, kHeight = 3507;

struct Page {
    benchsupport::Scratch scratch { "/tmp/vt-palette-bench-XXXXXX" };
    std::string folder = scratch.Required();
    std::string ppm, map;
    LImageBuffer image; // as the PPM reader gives it
    bool ok = false;

    Page()
    {
        ppm = folder + "/page.ppm";
        map = folder + "/map.ppm";
        // A colourful natural texture with fine detail, as a photograph has.
        const std::string make = "/usr/bin/convert -size " + std::to_string(kWidth) + "x"
            + std::to_string(kHeight) + " -seed 7 plasma:fractal -depth 8 ppm:" + ppm;
        ok = std::system(make.c_str()) == 0 && LImage::Load(image, ppm.c_str(), 0);
    }
};

Page& Shared()
{
    static Page page;
    return page;
}

// The pictures of the octree's comparison, made once as PPM files; 0 is the page.
struct Picture {
    std::string ppm;
    benchsupport::Pixmap pixels;
};

const Picture& Pictures(int i)
{
    static const Picture pictures[4] = {
        { Shared().ppm, benchsupport::Pixmap(Shared().ppm) },
        [] {
            const std::string p = Shared().folder + "/photo.ppm";
            std::system(("/usr/bin/convert -size 3000x2000 -seed 3 plasma:fractal -blur 0x3 "
                         "-depth 8 ppm:"
                + p)
                            .c_str());
            return Picture { p, benchsupport::Pixmap(p) };
        }(),
        [] {
            const std::string p = Shared().folder + "/rose.ppm";
            std::system(("/usr/bin/convert rose: -depth 8 ppm:" + p).c_str());
            return Picture { p, benchsupport::Pixmap(p) };
        }(),
        [] {
            const std::string p = Shared().folder + "/rose-large.ppm";
            std::system(("/usr/bin/convert rose: -resize 2000x -depth 8 ppm:" + p).c_str());
            return Picture { p, benchsupport::Pixmap(p) };
        }(),
    };
    return pictures[i];
}

// PSNR of a PPM file against the page.
double PSNR(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> data(
        (std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The header: "P6", width, height, maxval and one whitespace byte.
    size_t at = 0;
    for (int fields = 0; fields < 4 && at < data.size();) {
        while (at < data.size() && std::isspace(data[at]))
            ++at;
        while (at < data.size() && !std::isspace(data[at]))
            ++at;
        ++fields;
    }
    ++at;
    const LImageBuffer& page = Shared().image;
    if (data.size() < at + size_t(kWidth) * kHeight * 3)
        return 0;
    double sum = 0;
    const uint8_t* q = data.data() + at;
    const int step = page.GetPixelFormat() == LPixelFormatB8G8R8A8 ? 4 : 3;
    for (int y = 0; y < kHeight; ++y) {
        const unsigned char* p = page.GetPictureRow(y);
        for (int x = 0; x < kWidth; ++x, p += step, q += 3) {
            const double dr = p[2] - q[0], dg = p[1] - q[1], db = p[0] - q[2];
            sum += dr * dr + dg * dg + db * db;
        }
    }
    const double mse = sum / (double(kWidth) * kHeight * 3);
    return mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 99;
}

bool WritePPM(const LImageBuffer& image, const std::string& path)
{
    LOutputStreamFile out;
    LProcessInterfaceVoid job;
    LProcessPNMSave<LOutputStreamFile> save(image, 5, 32, out);
    return out.Open(path.c_str()) && Process(job, save) == LProcessResultSuccess && out.Close();
}

// The indexed picture in the palette's colours.
void Expand(const LImageBuffer& indexed, const LPalette<LPFB8G8R8>& palette, LImageBuffer& out)
{
    const int width = indexed.GetWidth(), height = indexed.GetHeight();
    out.AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8, width, height));
    for (int y = 0; y < height; ++y) {
        const unsigned char* i = indexed.GetPictureRow(y);
        unsigned char* o = out.GetPictureRow(y);
        for (int x = 0; x < width; ++x, o += 3) {
            const LPFB8G8R8& e = palette[i[x]];
            o[0] = e.b, o[1] = e.g, o[2] = e.r;
        }
    }
}

double Seconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Load the page, make a palette by the method, map without dithering, write the result. The
// times of the palette and of the mapping are added to the two sums.
bool Quantise(const std::string& source, const std::string& out, int method, double& paletteTime,
    double& mapTime)
{
    LImageBuffer image;
    if (!LImage::Load(image, source.c_str(), 0))
        return false;
    LProcessInterfaceVoid job;
    LPalette<LPFB8G8R8> palette;
    LProcessGeneratePaletteFromImage generate(image, 256, method, true, palette);
    LImageBuffer indexed, expanded;
    LProcessConvertImageToIndexed<LPFB8G8R8> convert(image, palette, indexed, 0);
    const double start = Seconds();
    if (Process(job, generate) != LProcessResultSuccess)
        return false;
    const double made = Seconds();
    if (Process(job, convert) != LProcessResultSuccess)
        return false;
    paletteTime += made - start;
    mapTime += Seconds() - made;
    Expand(indexed, palette, expanded);
    return WritePPM(expanded, out);
}

void RunCommand(benchmark::State& state, const std::string& command, const std::string& out)
{
    if (!Shared().ok) {
        state.SkipWithError("no page");
        return;
    }
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError(("failed: " + command).c_str());
            return;
        }
    }
    state.counters["psnr"] = PSNR(out);
}

void RunFramework(
    benchmark::State& state, const std::string& out, int method, const std::string& source)
{
    if (!Shared().ok) {
        state.SkipWithError("no page");
        return;
    }
    double paletteTime = 0, mapTime = 0;
    for (auto _ : state)
        if (!Quantise(source, out, method, paletteTime, mapTime)) {
            state.SkipWithError("failed");
            return;
        }
    state.counters["psnr"] = PSNR(out);
    state.counters["palette_ms"] = paletteTime * 1e3 / double(state.iterations());
    state.counters["map_ms"] = mapTime * 1e3 / double(state.iterations());
}

// The picture's PSNR counter for the result of either side.
void PictureQuality(benchmark::State& state, const Picture& picture, const std::string& out)
{
    const benchsupport::Pixmap result(out);
    if (!picture.pixels.Valid() || result.width != picture.pixels.width
        || result.height != picture.pixels.height)
        state.SkipWithError("no result of the picture's size");
    state.counters["psnr"] = benchsupport::PSNR(picture.pixels, result);
}

void BM_Octree256_Framework(benchmark::State& state)
{
    const Picture& picture = Pictures(int(state.range(0)));
    const std::string out = Shared().folder + "/octree.ppm";
    RunFramework(state, out, 0, picture.ppm);
    PictureQuality(state, picture, out);
}
void BM_Octree256_ImageMagick(benchmark::State& state)
{
    const Picture& picture = Pictures(int(state.range(0)));
    const std::string out = Shared().folder + "/im-octree.ppm";
    RunCommand(state, "/usr/bin/convert " + picture.ppm + " +dither -colors 256 ppm:" + out, out);
    PictureQuality(state, picture, out);
}

// ImageMagick runs its quantiser on every core; this is the same on one. (The framework builds its
// octree on one thread and shares the counting, refinement and mapping of a large picture among
// the cores.)
void BM_Octree256_ImageMagickOneThread(benchmark::State& state)
{
    const Picture& picture = Pictures(int(state.range(0)));
    const std::string out = Shared().folder + "/im-octree1.ppm";
    RunCommand(state,
        "MAGICK_THREAD_LIMIT=1 /usr/bin/convert " + picture.ppm + " +dither -colors 256 ppm:" + out,
        out);
    PictureQuality(state, picture, out);
}

void BM_MedianCut256_Framework(benchmark::State& state)
{
    RunFramework(state, Shared().folder + "/median.ppm", 1, Shared().ppm);
}
void BM_MedianCut256_Netpbm(benchmark::State& state)
{
    const std::string out = Shared().folder + "/pnmquant.ppm";
    RunCommand(state, "pnmquant -nofloyd 256 " + Shared().ppm + " >" + out + " 2>/dev/null", out);
}

// The palette both Floyd-Steinberg runs use: the median-cut one, written as a PPM map.
const LPalette<LPFB8G8R8>& MapPalette()
{
    static LPalette<LPFB8G8R8> palette;
    if (palette.GetCount() == 0 && Shared().ok) {
        LProcessInterfaceVoid job;
        LProcessGeneratePaletteFromImage generate(Shared().image, 256, 1, true, palette);
        Process(job, generate);
        LImageBuffer map(LImageFormat(LPixelFormatB8G8R8, int(palette.GetCount()), 1));
        for (uint64_t i = 0; i < palette.GetCount(); ++i) {
            unsigned char* p = map.GetPictureRow(0) + i * 3;
            p[0] = palette[i].b, p[1] = palette[i].g, p[2] = palette[i].r;
        }
        WritePPM(map, Shared().map);
    }
    return palette;
}

void BM_FloydSteinberg_Framework(benchmark::State& state)
{
    const LPalette<LPFB8G8R8>& palette = MapPalette();
    const std::string out = Shared().folder + "/fs.ppm";
    for (auto _ : state) {
        LImageBuffer image, indexed, expanded;
        LProcessInterfaceVoid job;
        LProcessConvertImageToIndexed<LPFB8G8R8> convert(image, palette, indexed, 1);
        if (!LImage::Load(image, Shared().ppm.c_str(), 0)
            || Process(job, convert) != LProcessResultSuccess) {
            state.SkipWithError("failed");
            return;
        }
        Expand(indexed, palette, expanded);
        WritePPM(expanded, out);
    }
    state.counters["psnr"] = PSNR(out);
}
void BM_FloydSteinberg_Netpbm(benchmark::State& state)
{
    MapPalette();
    const std::string out = Shared().folder + "/pnmremap.ppm";
    RunCommand(state,
        "pnmremap -floyd -norandom -mapfile=" + Shared().map + " " + Shared().ppm + " >" + out
            + " 2>/dev/null",
        out);
}

void BM_GIF_Framework(benchmark::State& state)
{
    const std::string gif = Shared().folder + "/page.gif";
    for (auto _ : state) {
        LImageBuffer image;
        LOutputStreamFile out;
        LProcessInterfaceVoid job;
        LProcessGIFSave<LOutputStreamFile> save(image, out);
        if (!LImage::Load(image, Shared().ppm.c_str(), 0) || !out.Open(gif.c_str())
            || Process(job, save) != LProcessResultSuccess || !out.Close()) {
            state.SkipWithError("failed");
            return;
        }
    }
    const std::string back = Shared().folder + "/gif-back.ppm";
    std::system(("giftopnm " + gif + " >" + back + " 2>/dev/null").c_str());
    state.counters["psnr"] = PSNR(back);
    state.counters["bytes"] = double(std::filesystem::file_size(gif));
}
void BM_GIF_ImageMagick(benchmark::State& state)
{
    const std::string gif = Shared().folder + "/im.gif";
    const std::string back = Shared().folder + "/im-gif-back.ppm";
    RunCommand(state, "/usr/bin/convert " + Shared().ppm + " " + gif, back);
    std::system(("giftopnm " + gif + " >" + back + " 2>/dev/null").c_str());
    state.counters["psnr"] = PSNR(back);
    state.counters["bytes"] = double(std::filesystem::file_size(gif));
}

// Heap in use, sampled whenever the job asks whether to stop or reports progress.
class MemoryJob : public LProcessInterfaceVoid {
public:
    bool IsToStop() override
    {
        Sample();
        return false;
    }
    void SetProgress(double) override { Sample(); }
    void Sample()
    {
        const struct mallinfo2 m = mallinfo2();
        most = std::max<size_t>(most, m.uordblks + m.hblkhd);
    }
    size_t most = 0;
};

void BM_MedianCutEveryPixel(benchmark::State& state)
{
    // 200 colours in bands and blocks: few enough for every pixel to be kept.
    LImageBuffer page(LImageFormat(LPixelFormatB8G8R8A8, kWidth, kHeight));
    for (int y = 0; y < kHeight; ++y) {
        unsigned char* p = page.GetPictureRow(y);
        for (int x = 0; x < kWidth; ++x, p += 4) {
            const int i = (x / 64 + y / 48 * 7) % 200;
            p[0] = uint8_t(i * 31 + 200), p[1] = uint8_t(i * 57 + 13), p[2] = uint8_t(i * 97);
            p[3] = 255;
        }
    }
    size_t extra = 0;
    int mode = 0;
    for (auto _ : state) {
        MemoryJob job;
        job.Sample();
        const size_t before = job.most;
        LMedianCutColor medianCut(page, 256, true);
        LPalette<LPFB8G8R8> palette;
        if (medianCut.GetOptimizedPalette(job, palette) != LProcessResultSuccess) {
            state.SkipWithError("failed");
            return;
        }
        mode = medianCut.GetMode();
        extra = job.most - before;
    }
    state.counters["mode"] = mode;
    state.counters["extra_MB"] = double(extra) / 1e6;
    state.counters["page_MB"] = double(page.GetStride() * kHeight) / 1e6;
}

} // namespace

BENCHMARK(BM_Octree256_Framework)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Octree256_ImageMagick)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Octree256_ImageMagickOneThread)
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_MedianCut256_Framework)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MedianCut256_Netpbm)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FloydSteinberg_Framework)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FloydSteinberg_Netpbm)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GIF_Framework)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GIF_ImageMagick)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MedianCutEveryPixel)->Unit(benchmark::kMillisecond)->UseRealTime();
