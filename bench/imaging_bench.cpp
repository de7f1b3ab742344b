// Pixel conversion, premultiplication, scaling, copying and clearing of image buffers, each next
// to the same work done by pixman (or by memcpy and memset for copying and clearing).
//
// Conversions run on 4096 x 4096 pictures, scaling shrinks 4000 x 3000 to 1000 x 750. Compare
// the times of each pair: BM_<work> against BM_<work>_Pixman (or _Memcpy, _Memset).
#include "lfw/graphics/LConvertPixelFormat.h"
#include "lfw/graphics/LImageBuffer.h"
#include "lfw/graphics/LImageScale.h"
#include "lfw/graphics/LPixelRows.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstring>
#include <random>

namespace {

constexpr int kSide = 4096;
constexpr int kScaleW = 4000, kScaleH = 3000, kSmallW = 1000, kSmallH = 750;

// Random colours with every alpha value (premultiplication does real work on each pixel).
void Fill(LImageBuffer& b)
{
    std::mt19937 rng(7);
    auto* p = reinterpret_cast<uint32_t*>(b.GetData());
    const uint64_t words = b.GetStride() * uint64_t(b.GetHeight()) / 4;
    for (uint64_t i = 0; i < words; ++i)
        p[i] = rng();
}

LImageBuffer Make(pixelformat_t f, int w = kSide, int h = kSide)
{
    LImageBuffer b(LImageFormat(f, w, h));
    Fill(b);
    return b;
}

pixman_image_t* View(LImageBuffer& b, pixman_format_code_t format)
{
    return pixman_image_create_bits(format, b.GetWidth(), b.GetHeight(),
        reinterpret_cast<uint32_t*>(b.GetData()), int(b.GetStride()));
}

void Bytes(benchmark::State& state, const LImageBuffer& b)
{
    state.SetBytesProcessed(
        int64_t(state.iterations()) * int64_t(b.GetWidth()) * b.GetHeight() * 4);
}

void PixmanSrc(benchmark::State& state, LImageBuffer& src, pixman_format_code_t sf,
    LImageBuffer& dst, pixman_format_code_t df)
{
    pixman_image_t* s = View(src, sf);
    pixman_image_t* d = View(dst, df);
    for (auto _ : state) {
        pixman_image_composite32(
            PIXMAN_OP_SRC, s, nullptr, d, 0, 0, 0, 0, 0, 0, src.GetWidth(), src.GetHeight());
        benchmark::ClobberMemory();
    }
    pixman_image_unref(s);
    pixman_image_unref(d);
    Bytes(state, src);
}

// ---- B8G8R8A8 to B8G8R8 and back ----

void BM_ToB8G8R8(benchmark::State& state)
{
    LImageBuffer src = Make(LPixelFormatB8G8R8A8), dst = Make(LPixelFormatB8G8R8);
    for (auto _ : state) {
        LConvertPixelFormat(dst, src);
        benchmark::ClobberMemory();
    }
    Bytes(state, src);
}
void BM_ToB8G8R8_Pixman(benchmark::State& state)
{
    LImageBuffer src = Make(LPixelFormatB8G8R8A8), dst = Make(LPixelFormatB8G8R8);
    PixmanSrc(state, src, PIXMAN_a8r8g8b8, dst, PIXMAN_r8g8b8);
}
void BM_FromB8G8R8(benchmark::State& state)
{
    LImageBuffer src = Make(LPixelFormatB8G8R8), dst = Make(LPixelFormatB8G8R8A8);
    for (auto _ : state) {
        LConvertPixelFormat(dst, src);
        benchmark::ClobberMemory();
    }
    Bytes(state, dst);
}
void BM_FromB8G8R8_Pixman(benchmark::State& state)
{
    LImageBuffer src = Make(LPixelFormatB8G8R8), dst = Make(LPixelFormatB8G8R8A8);
    PixmanSrc(state, src, PIXMAN_r8g8b8, dst, PIXMAN_a8r8g8b8);
}

// ---- R and B exchanged (B8G8R8A8 to R8G8B8A8) ----

void BM_SwapRedBlue(benchmark::State& state)
{
    LImageBuffer src = Make(LPixelFormatB8G8R8A8), dst = Make(LPixelFormatR8G8B8A8);
    for (auto _ : state) {
        LConvertPixelFormat(dst, src);
        benchmark::ClobberMemory();
    }
    Bytes(state, src);
}
void BM_SwapRedBlue_Pixman(benchmark::State& state)
{
    LImageBuffer src = Make(LPixelFormatB8G8R8A8), dst = Make(LPixelFormatR8G8B8A8);
    PixmanSrc(state, src, PIXMAN_a8r8g8b8, dst, PIXMAN_a8b8g8r8);
}

// ---- premultiplying and dividing out alpha, one buffer into another ----

void BM_Premultiply(benchmark::State& state)
{
    LImageBuffer src = Make(LPixelFormatB8G8R8A8), dst = Make(LPixelFormatB8G8R8A8);
    for (auto _ : state) {
        for (int y = 0; y < kSide; ++y)
            LPixelRows::Premultiply(dst.GetRow(y), src.GetRow(y), kSide);
        benchmark::ClobberMemory();
    }
    Bytes(state, src);
}
// The colour (alpha ignored) times the mask's alpha: premultiplication in pixman's terms.
void BM_Premultiply_Pixman(benchmark::State& state)
{
    LImageBuffer src = Make(LPixelFormatB8G8R8A8), dst = Make(LPixelFormatB8G8R8A8);
    pixman_image_t* colour = View(src, PIXMAN_x8r8g8b8);
    pixman_image_t* alpha = View(src, PIXMAN_a8r8g8b8);
    pixman_image_t* d = View(dst, PIXMAN_a8r8g8b8);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, colour, alpha, d, 0, 0, 0, 0, 0, 0, kSide, kSide);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(colour);
    pixman_image_unref(alpha);
    pixman_image_unref(d);
    Bytes(state, src);
}
// pixman has no division by alpha: compare with BM_Premultiply_Pixman, the same amount of data.
void BM_Unpremultiply(benchmark::State& state)
{
    LImageBuffer src = Make(LPixelFormatB8G8R8A8), dst = Make(LPixelFormatB8G8R8A8);
    for (int y = 0; y < kSide; ++y) // valid premultiplied input
        LPixelRows::Premultiply(src.GetRow(y), src.GetRow(y), kSide);
    for (auto _ : state) {
        for (int y = 0; y < kSide; ++y)
            LPixelRows::Unpremultiply(dst.GetRow(y), src.GetRow(y), kSide);
        benchmark::ClobberMemory();
    }
    Bytes(state, src);
}
// The same on an opaque picture, the common case of decoded photographs.
void BM_UnpremultiplyOpaque(benchmark::State& state)
{
    LImageBuffer src = Make(LPixelFormatB8G8R8A8), dst = Make(LPixelFormatB8G8R8A8);
    for (int y = 0; y < kSide; ++y)
        LPixelRows::SetOpaque(src.GetRow(y), kSide);
    for (auto _ : state) {
        for (int y = 0; y < kSide; ++y)
            LPixelRows::Unpremultiply(dst.GetRow(y), src.GetRow(y), kSide);
        benchmark::ClobberMemory();
    }
    Bytes(state, src);
}

// ---- scaling 4000 x 3000 down to 1000 x 750 ----

void BM_ScaleNearest(benchmark::State& state)
{
    LImageBuffer src = Make(LPixelFormatB8G8R8A8, kScaleW, kScaleH);
    LImageBuffer dst = Make(LPixelFormatB8G8R8A8, kSmallW, kSmallH);
    for (auto _ : state) {
        LImageScaleNearestNeighbor(dst, src);
        benchmark::ClobberMemory();
    }
}
void BM_ScaleNearest_Pixman(benchmark::State& state)
{
    LImageBuffer src = Make(LPixelFormatB8G8R8A8, kScaleW, kScaleH);
    LImageBuffer dst = Make(LPixelFormatB8G8R8A8, kSmallW, kSmallH);
    pixman_image_t* s = View(src, PIXMAN_a8r8g8b8);
    pixman_image_t* d = View(dst, PIXMAN_a8r8g8b8);
    pixman_transform_t t;
    pixman_transform_init_scale(&t, pixman_double_to_fixed(double(kScaleW) / kSmallW),
        pixman_double_to_fixed(double(kScaleH) / kSmallH));
    pixman_image_set_transform(s, &t);
    pixman_image_set_filter(s, PIXMAN_FILTER_NEAREST, nullptr, 0);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, s, nullptr, d, 0, 0, 0, 0, 0, 0, kSmallW, kSmallH);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(s);
    pixman_image_unref(d);
}
void BM_ScaleSmooth(benchmark::State& state)
{
    LImageBuffer src = Make(LPixelFormatB8G8R8A8, kScaleW, kScaleH);
    LImageBuffer dst = Make(LPixelFormatB8G8R8A8, kSmallW, kSmallH);
    for (auto _ : state) {
        LImageScaleApplevImageBGRA(dst, src);
        benchmark::ClobberMemory();
    }
}
// A cubic filter widened to the reduction (16 taps a side), as the own smooth scaler uses.
void BM_ScaleSmooth_Pixman(benchmark::State& state)
{
    LImageBuffer src = Make(LPixelFormatB8G8R8A8, kScaleW, kScaleH);
    LImageBuffer dst = Make(LPixelFormatB8G8R8A8, kSmallW, kSmallH);
    for (int y = 0; y < kScaleH; ++y)
        LPixelRows::Premultiply(src.GetRow(y), src.GetRow(y), kScaleW);
    pixman_image_t* s = View(src, PIXMAN_a8r8g8b8);
    pixman_image_t* d = View(dst, PIXMAN_a8r8g8b8);
    const double sx = double(kScaleW) / kSmallW, sy = double(kScaleH) / kSmallH;
    pixman_transform_t t;
    pixman_transform_init_scale(&t, pixman_double_to_fixed(sx), pixman_double_to_fixed(sy));
    pixman_image_set_transform(s, &t);
    int n = 0;
    pixman_fixed_t* params = pixman_filter_create_separable_convolution(&n,
        pixman_double_to_fixed(sx), pixman_double_to_fixed(sy), PIXMAN_KERNEL_IMPULSE,
        PIXMAN_KERNEL_IMPULSE, PIXMAN_KERNEL_CUBIC, PIXMAN_KERNEL_CUBIC, 4, 4);
    pixman_image_set_filter(s, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params, n);
    free(params);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, s, nullptr, d, 0, 0, 0, 0, 0, 0, kSmallW, kSmallH);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(s);
    pixman_image_unref(d);
}

// ---- copying and clearing ----

void BM_Copy(benchmark::State& state)
{
    LImageBuffer src = Make(LPixelFormatB8G8R8A8), dst = Make(LPixelFormatB8G8R8A8);
    for (auto _ : state) {
        LImageBufferCopy(dst, src);
        benchmark::ClobberMemory();
    }
    Bytes(state, src);
}
void BM_Copy_Memcpy(benchmark::State& state)
{
    LImageBuffer src = Make(LPixelFormatB8G8R8A8), dst = Make(LPixelFormatB8G8R8A8);
    for (auto _ : state) {
        std::memcpy(dst.GetData(), src.GetData(), src.GetStride() * kSide);
        benchmark::ClobberMemory();
    }
    Bytes(state, src);
}
void BM_Clear(benchmark::State& state)
{
    LImageBuffer b = Make(LPixelFormatB8G8R8A8);
    LProcessInterfaceVoid job;
    const LPixelColour colour(10, 20, 30, 255);
    for (auto _ : state) {
        b.Clear(job, colour);
        benchmark::ClobberMemory();
    }
    Bytes(state, b);
}
void BM_ClearZero(benchmark::State& state)
{
    LImageBuffer b = Make(LPixelFormatB8G8R8A8);
    LProcessInterfaceVoid job;
    for (auto _ : state) {
        b.Clear(job, LPixelColour());
        benchmark::ClobberMemory();
    }
    Bytes(state, b);
}
void BM_Clear_Memset(benchmark::State& state)
{
    LImageBuffer b = Make(LPixelFormatB8G8R8A8);
    for (auto _ : state) {
        std::memset(b.GetData(), 0x5A, b.GetStride() * kSide);
        benchmark::ClobberMemory();
    }
    Bytes(state, b);
}

} // namespace

BENCHMARK(BM_ToB8G8R8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToB8G8R8_Pixman)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FromB8G8R8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FromB8G8R8_Pixman)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SwapRedBlue)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SwapRedBlue_Pixman)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Premultiply)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Premultiply_Pixman)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Unpremultiply)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UnpremultiplyOpaque)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScaleNearest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScaleNearest_Pixman)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScaleSmooth)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScaleSmooth_Pixman)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Copy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Copy_Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Clear)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClearZero)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Clear_Memset)->Unit(benchmark::kMillisecond);
