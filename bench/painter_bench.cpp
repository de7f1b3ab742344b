// Opening and closing buffer painters on an A4 sheet at 300 dpi (2480 x 3507, 34 MB) with
// nothing drawn: the passes the painters make over the buffer, next to the memory work they are
// measured against: one streaming read of the buffer (BM_ReadOnly), a copy (BM_Memcpy) and a
// fill (BM_Memset). Opaque: a white sheet; Band: a tenth of its rows semi-transparent.
//
// BM_Sheet* follow a new page step by step (allocation, the white clear, a read of the result,
// the direct painter) against plain cairo making a surface of the same size and painting it white.
#include "lfw/graphics/LImageBuffer.h"
#include "lfw/mac/LImageBufferPainter.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cstring>
#include <random>

namespace {

constexpr int kW = 2480, kH = 3507;

LImageBuffer& Sheet()
{
    static LImageBuffer b(LImageFormat(LPixelFormatB8G8R8A8, kW, kH));
    return b;
}

void White(LImageBuffer& b)
{
    LProcessInterfaceVoid quiet;
    b.Clear(quiet, LPixelColour(255, 255, 255, 255));
}

// White with a band of semi-transparent pixels across a tenth of the rows.
void WhiteWithBand(LImageBuffer& b)
{
    White(b);
    std::mt19937 rng(3);
    for (int y = kH / 2; y < kH / 2 + kH / 10; ++y) {
        auto* p = reinterpret_cast<uint32_t*>(b.GetRow(y));
        for (int x = 0; x < kW; ++x)
            p[x] = rng();
    }
}

void Bytes(benchmark::State& state)
{
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kW) * kH * 4);
}

void BM_DirectOpenCloseOpaque(benchmark::State& state)
{
    LImageBuffer& b = Sheet();
    White(b);
    for (auto _ : state) {
        LImageBufferPainterDirect painter(b);
        benchmark::DoNotOptimize(painter.HasDrawingContext());
    }
    Bytes(state);
}
BENCHMARK(BM_DirectOpenCloseOpaque)->Unit(benchmark::kMillisecond);

void BM_DirectOpenCloseBand(benchmark::State& state)
{
    LImageBuffer& b = Sheet();
    WhiteWithBand(b);
    for (auto _ : state) {
        LImageBufferPainterDirect painter(b);
        benchmark::DoNotOptimize(painter.HasDrawingContext());
    }
    Bytes(state);
}
BENCHMARK(BM_DirectOpenCloseBand)->Unit(benchmark::kMillisecond);

void BM_CopyingOpenCloseOpaque(benchmark::State& state)
{
    LImageBuffer& b = Sheet();
    White(b);
    for (auto _ : state) {
        LImageBufferPainter painter(b);
        benchmark::DoNotOptimize(painter.HasDrawingContext());
    }
    Bytes(state);
}
BENCHMARK(BM_CopyingOpenCloseOpaque)->Unit(benchmark::kMillisecond);

void BM_CopyingOpenCloseBand(benchmark::State& state)
{
    LImageBuffer& b = Sheet();
    WhiteWithBand(b);
    for (auto _ : state) {
        LImageBufferPainter painter(b);
        benchmark::DoNotOptimize(painter.HasDrawingContext());
    }
    Bytes(state);
}
BENCHMARK(BM_CopyingOpenCloseBand)->Unit(benchmark::kMillisecond);

// ---- references ----

void BM_ReadOnly(benchmark::State& state)
{
    LImageBuffer& b = Sheet();
    White(b);
    const auto* p = reinterpret_cast<const uint64_t*>(b.GetData());
    const size_t words = size_t(b.GetStride()) * kH / 8;
    for (auto _ : state) {
        uint64_t acc = ~uint64_t(0);
        for (size_t i = 0; i < words; ++i)
            acc &= p[i];
        benchmark::DoNotOptimize(acc);
    }
    Bytes(state);
}
BENCHMARK(BM_ReadOnly)->Unit(benchmark::kMillisecond);

void BM_Memcpy(benchmark::State& state)
{
    LImageBuffer& b = Sheet();
    static LImageBuffer other(LImageFormat(LPixelFormatB8G8R8A8, kW, kH));
    for (auto _ : state) {
        std::memcpy(other.GetData(), b.GetData(), size_t(b.GetStride()) * kH);
        benchmark::ClobberMemory();
    }
    Bytes(state);
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

void BM_Memset(benchmark::State& state)
{
    LImageBuffer& b = Sheet();
    for (auto _ : state) {
        std::memset(b.GetData(), 0xFF, size_t(b.GetStride()) * kH);
        benchmark::ClobberMemory();
    }
    Bytes(state);
}
BENCHMARK(BM_Memset)->Unit(benchmark::kMillisecond);

// ---- a page's life ----

void BM_SheetAllocOnly(benchmark::State& state)
{
    for (auto _ : state) {
        LImageBuffer b(LImageFormat(LPixelFormatB8G8R8A8, kW, kH));
        benchmark::DoNotOptimize(b.GetData());
    }
}
BENCHMARK(BM_SheetAllocOnly)->Unit(benchmark::kMillisecond);

void BM_SheetAllocClear(benchmark::State& state)
{
    for (auto _ : state) {
        LImageBuffer b(LImageFormat(LPixelFormatB8G8R8A8, kW, kH));
        White(b);
        benchmark::DoNotOptimize(b.GetData());
    }
}
BENCHMARK(BM_SheetAllocClear)->Unit(benchmark::kMillisecond);

void BM_SheetAllocClearRead(benchmark::State& state)
{
    for (auto _ : state) {
        LImageBuffer b(LImageFormat(LPixelFormatB8G8R8A8, kW, kH));
        White(b);
        const auto* p = reinterpret_cast<const uint64_t*>(b.GetData());
        const size_t words = size_t(b.GetStride()) * kH / 8;
        uint64_t acc = ~uint64_t(0);
        for (size_t i = 0; i < words; ++i)
            acc &= p[i];
        benchmark::DoNotOptimize(acc);
    }
}
BENCHMARK(BM_SheetAllocClearRead)->Unit(benchmark::kMillisecond);

void BM_SheetAllocClearPainter(benchmark::State& state)
{
    for (auto _ : state) {
        LImageBuffer b(LImageFormat(LPixelFormatB8G8R8A8, kW, kH));
        White(b);
        LImageBufferPainterDirect painter(b);
        benchmark::DoNotOptimize(painter.HasDrawingContext());
    }
}
BENCHMARK(BM_SheetAllocClearPainter)->Unit(benchmark::kMillisecond);

void BM_SheetAllocClearPlainCairo(benchmark::State& state)
{
    for (auto _ : state) {
        cairo_surface_t* page = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kW, kH);
        cairo_t* cr = cairo_create(page);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_flush(page);
        benchmark::DoNotOptimize(cairo_image_surface_get_data(page));
        cairo_surface_destroy(page);
    }
}
BENCHMARK(BM_SheetAllocClearPlainCairo)->Unit(benchmark::kMillisecond);

} // namespace
