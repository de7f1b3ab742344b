// The PCX, TGA, Sun raster, WBMP and PSD codecs on an A4 page at 300 dpi (2480 x 3508).
//
// Conversions to and from PPM files done by this framework (load one file, write the other
// straight to its file), by netpbm's converter for the format and, for PSD, which netpbm does
// not write, by ImageMagick; each tool runs as an external command, timed from start to exit.
// Compare BM_<Conversion>_Framework with _Netpbm or _ImageMagick. Decoding from memory against
// stb_image where it reads the format (TGA and PSD): compare BM_<Format>Decode_Framework with
// BM_<Format>Decode_Stb. The input files of both sides are the same bytes.
#include "lfw/gen/LStream.h"
#include "lfw/graphics/LImageFile.h"
#include "lfw/graphics/LPCXCodec.h"
#include "lfw/graphics/LPNMCodec.h"
#include "lfw/graphics/LPSDCodec.h"
#include "lfw/graphics/LRASCodec.h"
#include "lfw/graphics/LTGACodec.h"
#include "lfw/graphics/LWBMPCodec.h"

#include "bench/BenchSupport.h"
#include <algorithm>

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifdef VT_HAVE_STB
#include <stb/stb_image.h>
#endif

using benchsupport::RunCommand;

namespace {

constexpr int kWidth = 2480, kHeight = 3508;

// A scanned page: white paper, blocks of flat colour, gradients and a little noise.
void Paint(LImageBuffer& b)
{
    uint32_t noise = 12345;
    for (int y = 0; y < b.GetHeight(); ++y) {
        unsigned char* p = b.GetRow(y);
        for (int x = 0; x < b.GetWidth(); ++x, p += 3) {
            noise = noise * 1664525u + 1013904223u;
            const int n = int(noise >> 30) - 2;
            const bool block = (x / 310 + y / 438) % 3 == 0;
            const bool gradient = (x / 310 + y / 438) % 3 == 1;
            int r = 255, g = 255, bl = 255;
            if (block)
                r = 30, g = 90, bl = 200;
            else if (gradient)
                r = x * 255 / kWidth + n, g = y * 255 / kHeight + n, bl = 128 + n;
            p[0] = uint8_t(std::clamp(bl, 0, 255));
            p[1] = uint8_t(std::clamp(g, 0, 255));
            p[2] = uint8_t(std::clamp(r, 0, 255));
        }
    }
}

std::vector<uint8_t> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(
        (std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct Files {
    benchsupport::Scratch scratch { "vt-raster-bench-XXXXXX" };
    std::string folder = scratch.Required();
    LImageBuffer page;

    Files()
    {
        page.AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8, kWidth, kHeight));
        Paint(page);
        LImage::Save(page, Path("page.ppm").c_str());
        LImageEncodeSettings bitmap;
        bitmap.pnmVariant = 3;
        bitmap.pnmThreshold = 128;
        LImage::Save(page, Path("page.pbm").c_str(), bitmap, 0);
        LImageBuffer blackAndWhite;
        LImage::Load(blackAndWhite, Path("page.pbm").c_str(), 0);
        for (const char* ext : { "pcx", "tga", "ras", "psd" })
            LImage::Save(page, Path(std::string("page.") + ext).c_str());
        LImage::Save(blackAndWhite, Path("page.wbmp").c_str());
    }
    std::string Path(const std::string& name) const { return folder + "/" + name; }
};

Files& Shared()
{
    static Files files;
    return files;
}

// Loads a file and writes the picture straight into another with the save request made by
// makeSave(image, stream).
template <class MakeSave>
void Convert(
    benchmark::State& state, const std::string& from, const std::string& to, MakeSave makeSave)
{
    for (auto _ : state) {
        LImageBuffer image;
        if (!LImage::Load(image, from.c_str(), 0)) {
            state.SkipWithError("load failed");
            break;
        }
        LOutputStreamFile out;
        LProcessInterfaceVoid job;
        auto save = makeSave(image, out);
        if (!out.Open(to.c_str()) || Process(job, save) != LProcessResultSuccess || !out.Close())
            state.SkipWithError("save failed");
    }
}

template <template <class> class Save> void ConvertFromPPM(benchmark::State& state, const char* ext)
{
    Files& f = Shared();
    Convert(state, f.Path("page.ppm"), f.Path(std::string("out.") + ext),
        [](const LImageBuffer& image, LOutputStreamFile& out) {
            return Save<LOutputStreamFile>(image, out);
        });
}

// To a PPM file, or to a PBM file (variant 3) for the black-and-white formats.
void ConvertToPPM(benchmark::State& state, const char* ext, uint32_t variant = 5)
{
    Files& f = Shared();
    Convert(state, f.Path(std::string("page.") + ext), f.Path("out.ppm"),
        [variant](const LImageBuffer& image, LOutputStreamFile& out) {
            return LProcessPNMSave<LOutputStreamFile>(image, variant, 128, out);
        });
}

void Netpbm(benchmark::State& state, const std::string& tool, const std::string& in)
{
    Files& f = Shared();
    RunCommand(state, tool + " " + f.Path(in) + " >" + f.Path("netpbm.out") + " 2>/dev/null");
}

// Decoding from memory by the framework's reader.
template <template <class> class Load> void Decode(benchmark::State& state, const char* ext)
{
    const std::vector<uint8_t> bytes = ReadFile(Shared().Path(std::string("page.") + ext));
    for (auto _ : state) {
        LInputStreamBuffer stream(bytes.data(), bytes.size());
        LImageBuffer image;
        Load<LInputStreamBuffer> load(stream, image);
        LProcessInterfaceVoid job;
        if (Process(job, load) != LProcessResultSuccess)
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(image.GetData());
    }
}

#ifdef VT_HAVE_STB
void DecodeStb(benchmark::State& state, const char* ext)
{
    const std::vector<uint8_t> bytes = ReadFile(Shared().Path(std::string("page.") + ext));
    for (auto _ : state) {
        int w, h, n;
        stbi_uc* pixels = stbi_load_from_memory(bytes.data(), int(bytes.size()), &w, &h, &n, 0);
        if (!pixels)
            state.SkipWithError("stb_image failed");
        benchmark::DoNotOptimize(pixels);
        stbi_image_free(pixels);
    }
}
#endif

// ---- Conversions -------------------------------------------------------------------------------

void BM_PCXtoPPM_Framework(benchmark::State& s)
{
    ConvertToPPM(s, "pcx");
}
void BM_PCXtoPPM_Netpbm(benchmark::State& s)
{
    Netpbm(s, "pcxtoppm", "page.pcx");
}
void BM_PPMtoPCX_Framework(benchmark::State& s)
{
    ConvertFromPPM<LProcessPCXSave>(s, "pcx");
}
void BM_PPMtoPCX_Netpbm(benchmark::State& s)
{
    Netpbm(s, "ppmtopcx", "page.ppm");
}

void BM_TGAtoPPM_Framework(benchmark::State& s)
{
    ConvertToPPM(s, "tga");
}
void BM_TGAtoPPM_Netpbm(benchmark::State& s)
{
    Netpbm(s, "tgatoppm", "page.tga");
}
void BM_PPMtoTGA_Framework(benchmark::State& s)
{
    ConvertFromPPM<LProcessTGASave>(s, "tga");
}
void BM_PPMtoTGA_Netpbm(benchmark::State& s)
{
    Netpbm(s, "ppmtotga -rgb", "page.ppm");
}

void BM_RAStoPPM_Framework(benchmark::State& s)
{
    ConvertToPPM(s, "ras");
}
void BM_RAStoPPM_Netpbm(benchmark::State& s)
{
    Netpbm(s, "rasttopnm", "page.ras");
}
void BM_PPMtoRAS_Framework(benchmark::State& s)
{
    ConvertFromPPM<LProcessRASSave>(s, "ras");
}
void BM_PPMtoRAS_Netpbm(benchmark::State& s)
{
    Netpbm(s, "pnmtorast -standard", "page.ppm");
}

// WBMP works with the black-and-white page (PBM) on both sides.
void BM_WBMPtoPBM_Framework(benchmark::State& s)
{
    ConvertToPPM(s, "wbmp", 3);
}
void BM_WBMPtoPBM_Netpbm(benchmark::State& s)
{
    Netpbm(s, "wbmptopbm", "page.wbmp");
}
void BM_PBMtoWBMP_Framework(benchmark::State& state)
{
    Files& f = Shared();
    Convert(state, f.Path("page.pbm"), f.Path("out.wbmp"),
        [](const LImageBuffer& image, LOutputStreamFile& out) {
            return LProcessWBMPSave<LOutputStreamFile>(image, out);
        });
}
void BM_PBMtoWBMP_Netpbm(benchmark::State& s)
{
    Netpbm(s, "pbmtowbmp", "page.pbm");
}

void BM_PSDtoPPM_Framework(benchmark::State& s)
{
    ConvertToPPM(s, "psd");
}
void BM_PSDtoPPM_ImageMagick(benchmark::State& state)
{
    Files& f = Shared();
    RunCommand(state,
        "/usr/bin/convert '" + f.Path("page.psd") + "[0]' " + f.Path("im.ppm") + " 2>/dev/null");
}
void BM_PPMtoPSD_Framework(benchmark::State& s)
{
    ConvertFromPPM<LProcessPSDSave>(s, "psd");
}
void BM_PPMtoPSD_ImageMagick(benchmark::State& state)
{
    Files& f = Shared();
    RunCommand(state, "/usr/bin/convert " + f.Path("page.ppm") + " " + f.Path("im.psd"));
}

// ---- Decoding from memory ----------------------------------------------------------------------

void BM_PCXDecode_Framework(benchmark::State& s)
{
    Decode<LProcessPCXLoad>(s, "pcx");
}
void BM_TGADecode_Framework(benchmark::State& s)
{
    Decode<LProcessTGALoad>(s, "tga");
}
void BM_RASDecode_Framework(benchmark::State& s)
{
    Decode<LProcessRASLoad>(s, "ras");
}
void BM_WBMPDecode_Framework(benchmark::State& s)
{
    Decode<LProcessWBMPLoad>(s, "wbmp");
}
void BM_PSDDecode_Framework(benchmark::State& s)
{
    Decode<LProcessPSDLoad>(s, "psd");
}
#ifdef VT_HAVE_STB
void BM_TGADecode_Stb(benchmark::State& s)
{
    DecodeStb(s, "tga");
}
void BM_PSDDecode_Stb(benchmark::State& s)
{
    DecodeStb(s, "psd");
}
#endif

} // namespace

BENCHMARK(BM_PCXtoPPM_Framework)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PCXtoPPM_Netpbm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PPMtoPCX_Framework)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PPMtoPCX_Netpbm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TGAtoPPM_Framework)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TGAtoPPM_Netpbm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PPMtoTGA_Framework)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PPMtoTGA_Netpbm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RAStoPPM_Framework)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RAStoPPM_Netpbm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PPMtoRAS_Framework)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PPMtoRAS_Netpbm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WBMPtoPBM_Framework)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WBMPtoPBM_Netpbm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PBMtoWBMP_Framework)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PBMtoWBMP_Netpbm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PSDtoPPM_Framework)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PSDtoPPM_ImageMagick)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PPMtoPSD_Framework)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PPMtoPSD_ImageMagick)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PCXDecode_Framework)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TGADecode_Framework)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RASDecode_Framework)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WBMPDecode_Framework)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PSDDecode_Framework)->Unit(benchmark::kMillisecond);
#ifdef VT_HAVE_STB
BENCHMARK(BM_TGADecode_Stb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PSDDecode_Stb)->Unit(benchmark::kMillisecond);
#endif
