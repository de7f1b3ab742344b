// Palettes, conversion to indexed colour and GIF writing, each next to the tool that does the
// same work. Both sides are whole processes started the same way (through the shell), each
// reading a PPM file and writing its result to a file: ours is palette_quantise, built beside this
// program from bench/palette_quantise.cpp, which links only the image library.
//
//   BM_Octree256_Framework      against BM_Octree256_ImageMagick (convert +dither -colors 256,
//                               on every core it is given) and BM_Octree256_ImageMagickOneThread,
//                               each on the pictures of kPictures (the argument): photographs,
//                               wallpapers, gradients and noise
//   BM_MedianCut256_Framework   against BM_MedianCut256_Netpbm (pnmquant 256, no dithering)
//   BM_FloydSteinberg_Framework against BM_FloydSteinberg_Netpbm (pnmremap -floyd, same palette)
//   BM_GIF_Framework            against BM_GIF_ImageMagick (convert page.ppm page.gif)
//
// The last three work on an A4 page at 300 dpi (2480 x 3507); netpbm's two take a minute or more
// each on it. BM_Octree256_InProcess is the octree's work inside this program, without a process
// start: its counters palette_ms and map_ms are the palette and the mapping alone.
//
// The wallpapers are GNOME's (Debian's gnome-backgrounds, which scripts/setup.sh --bench
// installs); a picture that is not there is skipped with a note saying so. The gradients and the
// noise are made here, the same on every run.
//
// The counter psnr is the result's PSNR against the picture in dB (computed here for both sides
// alike): a faster quantiser that comes out further from the picture is no win.
// BM_MedianCutEveryPixel shows the memory of median cut when every pixel is kept (a page of 200
// colours): extra_MB is the most heap in use beyond what the page itself takes, page_MB the page's
// own size.
#include "lfw/graphics/LMedianCutColor.h"

#include "bench/BenchSupport.h"
#include "bench/PaletteWork.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <string>
#include <vector>

namespace {

using palettework::WritePPM;

constexpr int kWidth = 2480, kHeight = 3507;

const std::string& Folder()
{
    static benchsupport::Scratch scratch { "/tmp/vt-palette-bench-XXXXXX" };
    return scratch.Required();
}

bool Shell(const std::string& command)
{
    return std::system(command.c_str()) == 0;
}

// The A4 page: a colourful natural texture with fine detail, as a photograph has.
const std::string& PagePath()
{
    static const std::string path = [] {
        const std::string p = Folder() + "/page.ppm";
        return Shell("/usr/bin/convert -size " + std::to_string(kWidth) + "x"
                   + std::to_string(kHeight) + " -seed 7 plasma:fractal -depth 8 ppm:" + p)
            ? p
            : std::string();
    }();
    return path;
}

// A picture made here: R, G, B of each pixel from f(x, y, rgb).
template <class F> bool MakePPM(const std::string& path, int width, int height, F f)
{
    std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            f(x, y, &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3]);
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << width << " " << height << "\n255\n";
    out.write(reinterpret_cast<const char*>(rgb.data()), std::streamsize(rgb.size()));
    return bool(out);
}

// The same pseudo-random numbers on every run.
struct Random {
    uint32_t state;
    uint32_t Next() { return state = state * 1664525u + 1013904223u; }
    int Byte() { return int(Next() >> 24); }
};

uint8_t Clamp(double v)
{
    return uint8_t(std::clamp(std::lround(v), 0L, 255L));
}

// A GNOME wallpaper converted to PPM, or nothing when it is not installed.
std::string Wallpaper(const std::string& name, const std::string& path)
{
    const std::string source = "/usr/share/backgrounds/gnome/" + name + ".webp";
    if (!std::filesystem::exists(source))
        return {};
    return Shell("/usr/bin/convert " + source + " -depth 8 ppm:" + path) ? path : std::string();
}

struct PictureKind {
    const char* name;
    // Makes the picture at the path: the path, or empty when it cannot be made.
    std::string (*make)(const std::string& path);
};

const PictureKind kPictures[] = {
    // Photographs: a page and a photograph of blurred fractal texture, ImageMagick's own
    // photograph rose: (70 x 46) and the same enlarged to 2000 pixels wide.
    { "page", [](const std::string&) { return PagePath(); } },
    { "fractal photograph",
        [](const std::string& p) {
            return Shell("/usr/bin/convert -size 3000x2000 -seed 3 plasma:fractal -blur 0x3 "
                         "-depth 8 ppm:"
                       + p)
                ? p
                : std::string();
        } },
    { "rose:",
        [](const std::string& p) {
            return Shell("/usr/bin/convert rose: -depth 8 ppm:" + p) ? p : std::string();
        } },
    { "rose: enlarged",
        [](const std::string& p) {
            return Shell("/usr/bin/convert rose: -resize 2000x -depth 8 ppm:" + p) ? p
                                                                                   : std::string();
        } },
    // Wallpapers, 4096 x 4096.
    { "pixels-d", [](const std::string& p) { return Wallpaper("pixels-d", p); } },
    { "wood-d", [](const std::string& p) { return Wallpaper("wood-d", p); } },
    { "adwaita-l", [](const std::string& p) { return Wallpaper("adwaita-l", p); } },
    { "truchet-d", [](const std::string& p) { return Wallpaper("truchet-d", p); } },
    { "licorice-l", [](const std::string& p) { return Wallpaper("licorice-l", p); } },
    // Gradients: four corner colours blended across the picture, and every hue from left to
    // right darkening from top to bottom.
    { "corner gradient",
        [](const std::string& p) {
            return MakePPM(p, 3000, 2000,
                       [](int x, int y, uint8_t* o) {
                           const double u = x / 2999.0, v = y / 1999.0;
                           const double c[4][3] = { { 20, 40, 110 }, { 250, 180, 60 },
                               { 120, 10, 60 }, { 200, 240, 230 } };
                           for (int k = 0; k < 3; ++k)
                               o[k] = Clamp((1 - v) * ((1 - u) * c[0][k] + u * c[1][k])
                                   + v * ((1 - u) * c[2][k] + u * c[3][k]));
                       })
                ? p
                : std::string();
        } },
    { "hue gradient",
        [](const std::string& p) {
            return MakePPM(p, 3000, 2000,
                       [](int x, int y, uint8_t* o) {
                           const double h = x * 6.0 / 3000, light = 1 - y / 2000.0;
                           for (int k = 0; k < 3; ++k) {
                               // Each channel's distance round the hue circle from its own hue.
                               const double d = std::fabs(std::fmod(h - k * 2 + 9, 6.0) - 3);
                               o[k] = Clamp(255 * light * std::clamp(d - 1, 0.0, 1.0));
                           }
                       })
                ? p
                : std::string();
        } },
    // Noise: every channel of every pixel at random, and a gradient with film grain on it.
    { "uniform noise",
        [](const std::string& p) {
            Random random { 5 };
            return MakePPM(p, 1024, 1024,
                       [&](int, int, uint8_t* o) {
                           for (int k = 0; k < 3; ++k)
                               o[k] = uint8_t(random.Byte());
                       })
                ? p
                : std::string();
        } },
    { "grain",
        [](const std::string& p) {
            Random random { 9 };
            return MakePPM(p, 3000, 2000,
                       [&](int x, int y, uint8_t* o) {
                           // Four draws make a bell-shaped grain of about 15 levels either way.
                           const double grain = (random.Byte() + random.Byte() + random.Byte()
                                                    + random.Byte() - 510)
                               / 8.0;
                           const double base[3] = { 60 + x / 20.0, 90 + y / 25.0, 150 - x / 40.0 };
                           for (int k = 0; k < 3; ++k)
                               o[k] = Clamp(base[k] + grain);
                       })
                ? p
                : std::string();
        } },
};
constexpr int kPictureCount = int(sizeof kPictures / sizeof kPictures[0]);

// A picture of kPictures as a PPM file, made when first asked for; empty when it cannot be made.
const std::string& Picture(int i)
{
    static std::string paths[kPictureCount];
    static bool made[kPictureCount] = {};
    if (!made[i]) {
        made[i] = true;
        paths[i] = kPictures[i].make(Folder() + "/picture" + std::to_string(i) + ".ppm");
    }
    return paths[i];
}

// The result's PSNR against the source, both PPM files, as the counter psnr.
void Quality(benchmark::State& state, const std::string& source, const std::string& out)
{
    const benchsupport::Pixmap picture(source), result(out);
    if (!picture.Valid() || result.width != picture.width || result.height != picture.height)
        state.SkipWithError("no result of the picture's size");
    state.counters["psnr"] = benchsupport::PSNR(picture, result);
}

// Runs the command once per iteration, then measures its result.
void RunCommand(benchmark::State& state, const std::string& command, const std::string& source,
    const std::string& out)
{
    if (source.empty()) {
        state.SkipWithError("no picture");
        return;
    }
    for (auto _ : state) {
        if (!Shell(command)) {
            state.SkipWithError(("failed: " + command).c_str());
            return;
        }
    }
    Quality(state, source, out);
}

std::string Ours(const std::string& arguments)
{
    return std::string(VT_PALETTE_QUANTISE) + " " + arguments;
}

// The picture of the argument, named in the label; empty (the run skipped with a note) when it
// is not there.
std::string OctreePicture(benchmark::State& state)
{
    const int i = int(state.range(0));
    const std::string& path = Picture(i);
    state.SetLabel(kPictures[i].name);
    if (path.empty())
        state.SkipWithError((std::string("no picture ") + kPictures[i].name
            + " (a wallpaper: scripts/setup.sh --bench installs gnome-backgrounds)")
                                .c_str());
    return path;
}

void BM_Octree256_Framework(benchmark::State& state)
{
    const std::string source = OctreePicture(state);
    if (source.empty())
        return;
    const std::string out = Folder() + "/octree.ppm";
    RunCommand(state, Ours("octree " + source + " " + out), source, out);
}
void BM_Octree256_ImageMagick(benchmark::State& state)
{
    const std::string source = OctreePicture(state);
    if (source.empty())
        return;
    const std::string out = Folder() + "/im-octree.ppm";
    RunCommand(
        state, "/usr/bin/convert " + source + " +dither -colors 256 ppm:" + out, source, out);
}

// ImageMagick runs its quantiser on every core; this is the same on one. (The framework builds its
// octree on one thread and shares the counting, refinement and mapping of a large picture among
// the cores.)
void BM_Octree256_ImageMagickOneThread(benchmark::State& state)
{
    const std::string source = OctreePicture(state);
    if (source.empty())
        return;
    const std::string out = Folder() + "/im-octree1.ppm";
    RunCommand(state,
        "MAGICK_THREAD_LIMIT=1 /usr/bin/convert " + source + " +dither -colors 256 ppm:" + out,
        source, out);
}

// The framework's side inside this program: no process start, the palette and the mapping timed
// apart.
void BM_Octree256_InProcess(benchmark::State& state)
{
    const std::string source = OctreePicture(state);
    if (source.empty())
        return;
    const std::string out = Folder() + "/octree-in-process.ppm";
    double paletteTime = 0, mapTime = 0;
    for (auto _ : state)
        if (!palettework::Quantise(source, out, 0, paletteTime, mapTime)) {
            state.SkipWithError("failed");
            return;
        }
    Quality(state, source, out);
    state.counters["palette_ms"] = paletteTime * 1e3 / double(state.iterations());
    state.counters["map_ms"] = mapTime * 1e3 / double(state.iterations());
}

void BM_MedianCut256_Framework(benchmark::State& state)
{
    const std::string out = Folder() + "/median.ppm";
    RunCommand(state, Ours("median-cut " + PagePath() + " " + out), PagePath(), out);
}
void BM_MedianCut256_Netpbm(benchmark::State& state)
{
    const std::string out = Folder() + "/pnmquant.ppm";
    RunCommand(state, "pnmquant -nofloyd 256 " + PagePath() + " >" + out + " 2>/dev/null",
        PagePath(), out);
}

// The palette both Floyd-Steinberg runs use: the median-cut one, written as a PPM map.
const std::string& MapPath()
{
    static const std::string path = [] {
        LImageBuffer page;
        if (PagePath().empty() || !LImage::Load(page, PagePath().c_str(), 0))
            return std::string();
        LPalette<LPFB8G8R8> palette;
        LProcessInterfaceVoid job;
        LProcessGeneratePaletteFromImage generate(page, 256, 1, true, palette);
        if (Process(job, generate) != LProcessResultSuccess)
            return std::string();
        LImageBuffer map(LImageFormat(LPixelFormatB8G8R8, int(palette.GetCount()), 1));
        for (uint64_t i = 0; i < palette.GetCount(); ++i) {
            unsigned char* p = map.GetPictureRow(0) + i * 3;
            p[0] = palette[i].b, p[1] = palette[i].g, p[2] = palette[i].r;
        }
        const std::string p = Folder() + "/map.ppm";
        return WritePPM(map, p) ? p : std::string();
    }();
    return path;
}

void BM_FloydSteinberg_Framework(benchmark::State& state)
{
    const std::string out = Folder() + "/fs.ppm";
    if (MapPath().empty()) {
        state.SkipWithError("no palette");
        return;
    }
    RunCommand(state, Ours("remap " + MapPath() + " " + PagePath() + " " + out), PagePath(), out);
}
void BM_FloydSteinberg_Netpbm(benchmark::State& state)
{
    const std::string out = Folder() + "/pnmremap.ppm";
    if (MapPath().empty()) {
        state.SkipWithError("no palette");
        return;
    }
    RunCommand(state,
        "pnmremap -floyd -norandom -mapfile=" + MapPath() + " " + PagePath() + " >" + out
            + " 2>/dev/null",
        PagePath(), out);
}

// Both GIFs are read back with netpbm's giftopnm for their PSNR.
void GIFCounters(benchmark::State& state, const std::string& gif)
{
    const std::string back = gif + ".ppm";
    Shell("giftopnm " + gif + " >" + back + " 2>/dev/null");
    Quality(state, PagePath(), back);
    std::error_code ignored;
    state.counters["bytes"] = double(std::filesystem::file_size(gif, ignored));
}

void BM_GIF_Framework(benchmark::State& state)
{
    const std::string gif = Folder() + "/page.gif";
    if (PagePath().empty()) {
        state.SkipWithError("no picture");
        return;
    }
    benchsupport::RunCommand(state, Ours("gif " + PagePath() + " " + gif));
    GIFCounters(state, gif);
}
void BM_GIF_ImageMagick(benchmark::State& state)
{
    const std::string gif = Folder() + "/im.gif";
    if (PagePath().empty()) {
        state.SkipWithError("no picture");
        return;
    }
    benchsupport::RunCommand(state, "/usr/bin/convert " + PagePath() + " " + gif);
    GIFCounters(state, gif);
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

BENCHMARK(BM_Octree256_Framework)
    ->DenseRange(0, kPictureCount - 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Octree256_ImageMagick)
    ->DenseRange(0, kPictureCount - 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Octree256_ImageMagickOneThread)
    ->DenseRange(0, kPictureCount - 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Octree256_InProcess)
    ->DenseRange(0, kPictureCount - 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_MedianCut256_Framework)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MedianCut256_Netpbm)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FloydSteinberg_Framework)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FloydSteinberg_Netpbm)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GIF_Framework)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GIF_ImageMagick)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MedianCutEveryPixel)->Unit(benchmark::kMillisecond)->UseRealTime();
