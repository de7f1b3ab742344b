// Image codecs on a 24-megapixel picture (6000 x 4000).
//
// BMP and PPM: the file conversions BMP -> PPM and PPM -> BMP done by this framework (load the
// file, save the other), by ImageMagick's convert and by netpbm (bmptopnm, ppmtobmp), each run
// as an external command and timed from start to exit; and the framework's decoders and
// encoders alone. Compare BM_<Conversion>_Framework with _ImageMagick and _Netpbm.
//
// PNG and JPEG: decoding from memory and encoding to memory through the framework's codec jobs
// against the same library called directly with the same settings (decoding into the same kind of
// buffer, an LImageBuffer). Compare BM_<Work>_Codec with BM_<Work>_Direct.
#include "lfw/gen/LStream.h"
#include "lfw/graphics/LBMPCodec.h"
#include "lfw/graphics/LImageFile.h"
#include "lfw/graphics/LImageIOCodec.h"
#include "lfw/graphics/LPNMCodec.h"

#include "bench/BenchSupport.h"

#include <benchmark/benchmark.h>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <jpeglib.h>
#include <memory>
#include <png.h>
#include <string>
#include <vector>

using benchsupport::RunCommand;

namespace {

constexpr int kWidth = 6000, kHeight = 4000;

// A photograph-like picture: smooth gradients, edges and some noise.
void Paint(LImageBuffer& b)
{
    uint32_t noise = 12345;
    const int channels = b.GetPixelFormat() == LPixelFormatB8G8R8A8 ? 4 : 3;
    for (int y = 0; y < b.GetHeight(); ++y) {
        unsigned char* p = b.GetRow(y);
        for (int x = 0; x < b.GetWidth(); ++x, p += channels) {
            noise = noise * 1664525u + 1013904223u;
            const int n = int(noise >> 29) - 4;
            p[0] = uint8_t(std::clamp(x * 255 / kWidth + n, 0, 255));
            p[1] = uint8_t(std::clamp(y * 255 / kHeight + n, 0, 255));
            p[2] = uint8_t(std::clamp(((x / 64 + y / 64) & 1 ? 200 : 40) + n, 0, 255));
            if (channels == 4)
                p[3] = 255;
        }
    }
}

struct Files {
    benchsupport::Scratch scratch { "vt-codecs-bench-XXXXXX" };
    std::string folder = scratch.Required();
    std::string bmp, ppm;
    LImageBuffer rgba; // B8G8R8A8
    LImageBuffer rgb; // B8G8R8
    std::vector<uint8_t> png, jpeg;

    Files()
    {
        bmp = folder + "/source.bmp";
        ppm = folder + "/source.ppm";
        rgba.AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8A8, kWidth, kHeight));
        rgb.AllocateNewBuffer(LImageFormat(LPixelFormatB8G8R8, kWidth, kHeight));
        Paint(rgba);
        Paint(rgb);
        LImageEncodeSettings bmp24;
        bmp24.bmpOutputKind = 0;
        LImage::Save(rgb, bmp.c_str(), bmp24, 0);
        LImage::Save(rgb, ppm.c_str());
        png = EncodePNG();
        jpeg = EncodeJPEG();
    }
    std::vector<uint8_t> EncodePNG()
    {
        LSizedArray<unsigned char> array;
        LOutputStreamByteArray out(array);
        LProcessInterfaceVoid job;
        LProcessPNGSave<LOutputStreamByteArray> save(rgba, out);
        Process(job, save);
        return std::vector<uint8_t>(array.GetData(), array.GetData() + array.GetCount());
    }
    std::vector<uint8_t> EncodeJPEG()
    {
        LSizedArray<unsigned char> array;
        LOutputStreamByteArray out(array);
        LProcessInterfaceVoid job;
        LProcessJPEGSave<LOutputStreamByteArray> save(rgba, out, 90);
        Process(job, save);
        return std::vector<uint8_t>(array.GetData(), array.GetData() + array.GetCount());
    }
};

Files& Shared()
{
    static Files files;
    return files;
}

// ---- BMP and PPM -------------------------------------------------------------------------------

void BM_BMPtoPPM_Framework(benchmark::State& state)
{
    Files& f = Shared();
    const std::string out = f.folder + "/out.ppm";
    for (auto _ : state) {
        LImageBuffer image;
        if (!LImage::Load(image, f.bmp.c_str(), 0) || !LImage::Save(image, out.c_str()))
            state.SkipWithError("conversion failed");
    }
}
// The same conversion written straight to the output file: the codecs without the temporary
// file, its flush to disk and its rename (which LImage::Save does for safety).
template <class Save>
void ConvertStraight(
    benchmark::State& state, const std::string& from, const std::string& to, Save save)
{
    for (auto _ : state) {
        LImageBuffer image;
        if (!LImage::Load(image, from.c_str(), 0)) {
            state.SkipWithError("load failed");
            break;
        }
        LOutputStreamFile out;
        LProcessInterfaceVoid job;
        if (!out.Open(to.c_str()) || save(job, image, out) != LProcessResultSuccess || !out.Close())
            state.SkipWithError("save failed");
    }
}

void BM_BMPtoPPM_FrameworkNoSync(benchmark::State& state)
{
    Files& f = Shared();
    ConvertStraight(state, f.bmp, f.folder + "/straight.ppm",
        [](LProcessInterface& job, LImageBuffer& image, LOutputStreamFile& out) {
            LProcessPNMSave<LOutputStreamFile> save(image, 5, 32, out);
            return Process(job, save);
        });
}

void BM_BMPtoPPM_ImageMagick(benchmark::State& state)
{
    Files& f = Shared();
    RunCommand(state, "/usr/bin/convert " + f.bmp + " " + f.folder + "/im.ppm");
}
void BM_BMPtoPPM_Netpbm(benchmark::State& state)
{
    Files& f = Shared();
    RunCommand(state, "bmptopnm " + f.bmp + " > " + f.folder + "/netpbm.ppm 2>/dev/null");
}

void BM_PPMtoBMP_Framework(benchmark::State& state)
{
    Files& f = Shared();
    const std::string out = f.folder + "/out.bmp";
    LImageEncodeSettings bmp24;
    bmp24.bmpOutputKind = 0;
    for (auto _ : state) {
        LImageBuffer image;
        if (!LImage::Load(image, f.ppm.c_str(), 0) || !LImage::Save(image, out.c_str(), bmp24, 0))
            state.SkipWithError("conversion failed");
    }
}
void BM_PPMtoBMP_FrameworkNoSync(benchmark::State& state)
{
    Files& f = Shared();
    ConvertStraight(state, f.ppm, f.folder + "/straight.bmp",
        [](LProcessInterface& job, LImageBuffer& image, LOutputStreamFile& out) {
            LProcessBMPSave<LOutputStreamFile> save(image, 0, 0xFFFFFFFF, out);
            return Process(job, save);
        });
}

void BM_PPMtoBMP_ImageMagick(benchmark::State& state)
{
    Files& f = Shared();
    RunCommand(state, "/usr/bin/convert " + f.ppm + " BMP3:" + f.folder + "/im.bmp");
}
void BM_PPMtoBMP_Netpbm(benchmark::State& state)
{
    Files& f = Shared();
    RunCommand(state, "ppmtobmp " + f.ppm + " > " + f.folder + "/netpbm.bmp 2>/dev/null");
}

void BM_BMPDecode_Framework(benchmark::State& state)
{
    Files& f = Shared();
    for (auto _ : state) {
        LImageBuffer image;
        benchmark::DoNotOptimize(LImage::Load(image, f.bmp.c_str(), 0));
    }
}
void BM_PPMDecode_Framework(benchmark::State& state)
{
    Files& f = Shared();
    for (auto _ : state) {
        LImageBuffer image;
        benchmark::DoNotOptimize(LImage::Load(image, f.ppm.c_str(), 0));
    }
}
void BM_BMPEncode_Framework(benchmark::State& state)
{
    Files& f = Shared();
    const std::string out = f.folder + "/enc.bmp";
    LImageEncodeSettings bmp24;
    bmp24.bmpOutputKind = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(LImage::Save(f.rgb, out.c_str(), bmp24, 0));
}
void BM_PPMEncode_Framework(benchmark::State& state)
{
    Files& f = Shared();
    const std::string out = f.folder + "/enc.ppm";
    for (auto _ : state)
        benchmark::DoNotOptimize(LImage::Save(f.rgb, out.c_str()));
}

// ---- PNG and JPEG ------------------------------------------------------------------------------

void BM_PNGDecode_Codec(benchmark::State& state)
{
    Files& f = Shared();
    LProcessInterfaceVoid job;
    for (auto _ : state) {
        LImageBuffer image;
        LInputStreamBuffer in(f.png.data(), f.png.size());
        LProcessPNGLoad<LInputStreamBuffer> load(in, image);
        if (Process(job, load) != LProcessResultSuccess)
            state.SkipWithError("decode failed");
    }
}

struct PNGReadState {
    const uint8_t* data;
    size_t size, at = 0;
};

void BM_PNGDecode_Direct(benchmark::State& state)
{
    Files& f = Shared();
    for (auto _ : state) {
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        PNGReadState source { f.png.data(), f.png.size() };
        png_set_read_fn(png, &source, [](png_structp p, png_bytep out, size_t n) {
            auto* s = static_cast<PNGReadState*>(png_get_io_ptr(p));
            if (s->size - s->at < n)
                png_error(p, "short");
            std::memcpy(out, s->data + s->at, n);
            s->at += n;
        });
        png_read_info(png, info);
        const png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
        png_set_expand(png);
        png_set_scale_16(png);
        png_set_bgr(png);
        if (!(png_get_color_type(png, info) & PNG_COLOR_MASK_ALPHA))
            png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
        png_read_update_info(png, info);
        // The codec's own buffer (see BM_JPEGDecode_Direct).
        LImageBuffer pixels(LImageFormat(LPixelFormatB8G8R8A8, int(w), int(h)));
        for (png_uint_32 y = 0; y < h; ++y)
            png_read_row(png, pixels.GetRow(int(y)), nullptr);
        png_read_end(png, nullptr);
        png_destroy_read_struct(&png, &info, nullptr);
        benchmark::DoNotOptimize(pixels.GetRow(0));
    }
}

void BM_PNGEncode_Codec(benchmark::State& state)
{
    Files& f = Shared();
    for (auto _ : state)
        benchmark::DoNotOptimize(f.EncodePNG().size());
}

void BM_PNGEncode_Direct(benchmark::State& state)
{
    Files& f = Shared();
    for (auto _ : state) {
        std::vector<uint8_t> out;
        out.reserve(size_t(kWidth) * kHeight + 1024);
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_set_write_fn(
            png, &out,
            [](png_structp p, png_bytep data, size_t n) {
                auto* v = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
                v->insert(v->end(), data, data + n);
            },
            [](png_structp) {});
        png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
            PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        png_set_bgr(png);
        for (int y = 0; y < kHeight; ++y)
            png_write_row(png, f.rgba.GetRow(y));
        png_write_end(png, info);
        png_destroy_write_struct(&png, &info);
        benchmark::DoNotOptimize(out.size());
    }
}

void BM_JPEGDecode_Codec(benchmark::State& state)
{
    Files& f = Shared();
    LProcessInterfaceVoid job;
    for (auto _ : state) {
        LImageBuffer image;
        LInputStreamBuffer in(f.jpeg.data(), f.jpeg.size());
        LProcessJPEGLoad<LInputStreamBuffer> load(in, image);
        if (Process(job, load) != LProcessResultSuccess)
            state.SkipWithError("decode failed");
    }
}

// libjpeg called directly, decoding into the buffer the codec decodes into: an LImageBuffer (a
// block of ordinary pages aligned to 64 bytes). Both sides then touch their output alike; what
// remains between them is the codec's own work around the library (its job, its stream and its
// rows).
template <bool kImageBuffer> void JPEGDecodeDirect(benchmark::State& state)
{
    Files& f = Shared();
    for (auto _ : state) {
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr err;
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, f.jpeg.data(), f.jpeg.size());
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = JCS_EXT_BGRA;
        jpeg_start_decompress(&cinfo);
        const size_t stride = size_t(cinfo.output_width) * 4;
        LImageBuffer image;
        std::unique_ptr<uint8_t[]> plain;
        if (kImageBuffer)
            image.AllocateNewBuffer(LImageFormat(
                LPixelFormatB8G8R8A8, int(cinfo.output_width), int(cinfo.output_height)));
        else
            plain.reset(new uint8_t[stride * cinfo.output_height]);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = kImageBuffer ? image.GetRow(int(cinfo.output_scanline))
                                        : plain.get() + cinfo.output_scanline * stride;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(kImageBuffer ? image.GetRow(0) : plain.get());
    }
}

void BM_JPEGDecode_Direct(benchmark::State& state)
{
    JPEGDecodeDirect<true>(state);
}

// The same with the output in a plain heap block (new[]), as a program calling libjpeg commonly
// decodes: the difference to BM_JPEGDecode_Direct is the buffer's allocation alone.
void BM_JPEGDecode_DirectOrdinaryPages(benchmark::State& state)
{
    JPEGDecodeDirect<false>(state);
}

void BM_JPEGEncode_Codec(benchmark::State& state)
{
    Files& f = Shared();
    for (auto _ : state)
        benchmark::DoNotOptimize(f.EncodeJPEG().size());
}

void BM_JPEGEncode_Direct(benchmark::State& state)
{
    Files& f = Shared();
    for (auto _ : state) {
        jpeg_compress_struct cinfo;
        jpeg_error_mgr err;
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_compress(&cinfo);
        unsigned char* buffer = nullptr;
        unsigned long size = 0;
        jpeg_mem_dest(&cinfo, &buffer, &size);
        cinfo.image_width = kWidth;
        cinfo.image_height = kHeight;
        cinfo.input_components = 4;
        cinfo.in_color_space = JCS_EXT_BGRX;
        jpeg_set_defaults(&cinfo);
        jpeg_set_quality(&cinfo, 90, TRUE);
        jpeg_start_compress(&cinfo, TRUE);
        while (cinfo.next_scanline < cinfo.image_height) {
            JSAMPROW row = f.rgba.GetRow(int(cinfo.next_scanline));
            jpeg_write_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_compress(&cinfo);
        jpeg_destroy_compress(&cinfo);
        // The codec layer hands its bytes to a stream; the direct form keeps libjpeg's buffer.
        std::vector<uint8_t> out(buffer, buffer + size);
        std::free(buffer);
        benchmark::DoNotOptimize(out.size());
    }
}

} // namespace

#define VT_CODEC_BENCH(name, iterations)                                                           \
    BENCHMARK(name)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(iterations)

VT_CODEC_BENCH(BM_BMPtoPPM_Framework, 5);
VT_CODEC_BENCH(BM_BMPtoPPM_FrameworkNoSync, 5);
VT_CODEC_BENCH(BM_BMPtoPPM_ImageMagick, 3);
VT_CODEC_BENCH(BM_BMPtoPPM_Netpbm, 3);
VT_CODEC_BENCH(BM_PPMtoBMP_Framework, 5);
VT_CODEC_BENCH(BM_PPMtoBMP_FrameworkNoSync, 5);
VT_CODEC_BENCH(BM_PPMtoBMP_ImageMagick, 3);
VT_CODEC_BENCH(BM_PPMtoBMP_Netpbm, 3);
VT_CODEC_BENCH(BM_BMPDecode_Framework, 5);
VT_CODEC_BENCH(BM_PPMDecode_Framework, 5);
VT_CODEC_BENCH(BM_BMPEncode_Framework, 5);
VT_CODEC_BENCH(BM_PPMEncode_Framework, 5);
VT_CODEC_BENCH(BM_PNGDecode_Codec, 3);
VT_CODEC_BENCH(BM_PNGDecode_Direct, 3);
VT_CODEC_BENCH(BM_PNGEncode_Codec, 2);
VT_CODEC_BENCH(BM_PNGEncode_Direct, 2);
VT_CODEC_BENCH(BM_JPEGDecode_Codec, 5);
VT_CODEC_BENCH(BM_JPEGDecode_Direct, 5);
VT_CODEC_BENCH(BM_JPEGDecode_DirectOrdinaryPages, 5);
VT_CODEC_BENCH(BM_JPEGEncode_Codec, 5);
VT_CODEC_BENCH(BM_JPEGEncode_Direct, 5);
