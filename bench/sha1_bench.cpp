// SHA-1 over 256 MB in memory, and "openssl dgst -sha1" over the same bytes in a file for
// comparison (the tool's time includes reading the file from the page cache).
#include "lfw/gen/LSha1.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kSize = 256u << 20;

const std::vector<uint8_t>& Data()
{
    static const std::vector<uint8_t> data = [] {
        std::vector<uint8_t> v(kSize);
        uint64_t x = 0x9E3779B97F4A7C15ull;
        for (size_t i = 0; i < v.size(); i += 8) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            for (int k = 0; k < 8; ++k)
                v[i + k] = uint8_t(x >> (8 * k));
        }
        return v;
    }();
    return data;
}

void Sha1(benchmark::State& state, bool hardware)
{
    const auto& data = Data();
    _LSha1UseHardware(hardware);
    for (auto _ : state) {
        LSha1 sha;
        sha.Update(data.data(), data.size());
        uint32_t digest[5];
        sha.GetDigest(digest, 20);
        benchmark::DoNotOptimize(digest);
    }
    _LSha1UseHardware(true);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kSize));
}

void BM_Sha1_256MB(benchmark::State& state)
{
    Sha1(state, true);
}
void BM_Sha1_256MB_Portable(benchmark::State& state)
{
    Sha1(state, false);
}

void BM_OpenSslDgst_256MB(benchmark::State& state)
{
    const auto& data = Data();
    char path[] = "/tmp/vt_sha1_bench_XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0 || write(fd, data.data(), data.size()) != ssize_t(data.size())) {
        state.SkipWithError("cannot write the temporary file");
        return;
    }
    close(fd);
    const std::string cmd = std::string("openssl dgst -sha1 ") + path + " > /dev/null";
    for (auto _ : state) {
        if (std::system(cmd.c_str()) != 0)
            state.SkipWithError("openssl failed");
    }
    unlink(path);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kSize));
}

} // namespace

BENCHMARK(BM_Sha1_256MB)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Sha1_256MB_Portable)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenSslDgst_256MB)->Unit(benchmark::kMillisecond)->UseRealTime();
