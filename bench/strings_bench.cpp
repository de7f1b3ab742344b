// Formatting and conversion costs of the string module, against the C library where it has a
// twin.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "lfw/gen/LCharSet.h"
#include "lfw/gen/LFormat.h"

static void BM_FormatShortMessage(benchmark::State& state)
{
    LStringShortTemplate<char> s;
    int i = 0;
    for (auto _ : state) {
        s.sprintf(
            "Det gick inte att läsa filen %s (rad %d, %.1f %%).", "etikett.vtproj", ++i, 42.5);
        benchmark::DoNotOptimize(s.GetBuffer());
    }
}
BENCHMARK(BM_FormatShortMessage);

static void BM_SnprintfShortMessage(benchmark::State& state)
{
    char s[260];
    int i = 0;
    for (auto _ : state) {
        std::snprintf(s, sizeof s, "Det gick inte att läsa filen %s (rad %d, %.1f %%).",
            "etikett.vtproj", ++i, 42.5);
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(BM_SnprintfShortMessage);

static void BM_FormatIntegers(benchmark::State& state)
{
    LStringLongTemplate<char> s;
    int i = 0;
    for (auto _ : state) {
        s.sprintf("%d,%d,%u,%x", i, -i, unsigned(i) * 7u, i);
        ++i;
        benchmark::DoNotOptimize(s.GetBuffer());
    }
}
BENCHMARK(BM_FormatIntegers);

static void BM_SnprintfIntegers(benchmark::State& state)
{
    char s[260];
    int i = 0;
    for (auto _ : state) {
        std::snprintf(s, sizeof s, "%d,%d,%u,%x", i, -i, unsigned(i) * 7u, i);
        ++i;
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(BM_SnprintfIntegers);

// The per-character loop of the XML and JSON readers.
static void BM_AppendCharacters(benchmark::State& state)
{
    for (auto _ : state) {
        LStringLongTemplate<char> s;
        for (int i = 0; i < 65536; ++i)
            s.Append(char('a' + (i & 15)));
        benchmark::DoNotOptimize(s.GetBuffer());
    }
    state.SetBytesProcessed(state.iterations() * 65536);
}
BENCHMARK(BM_AppendCharacters);

static void BM_UTF8ToUTF16AndBack(benchmark::State& state)
{
    std::string text;
    while (text.size() < 65536)
        text += "Räksmörgås \xF0\x9D\x84\x9E etikett ";
    LStringLongTemplate<unsigned short> wide;
    LStringLongTemplate<char> narrow;
    for (auto _ : state) {
        LCopyToUnicode(wide, text.c_str());
        LCopyFromUnicode(narrow, wide.c_str());
        benchmark::DoNotOptimize(narrow.GetBuffer());
    }
    state.SetBytesProcessed(state.iterations() * int64_t(text.size()));
}
BENCHMARK(BM_UTF8ToUTF16AndBack);
