// SHA-1 over 256 MB in memory, next to OpenSSL's EVP digest over the same bytes in memory: both
// sides do the same work, and both digests are checked against each other once.
#include "lfw/gen/LSha1.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// OpenSSL's digest of the bytes, as the same five big-endian words LSha1 gives.
bool OpenSslDigest(const std::vector<uint8_t>& data, uint32_t digest[5])
{
    unsigned char bytes[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    if (!EVP_Digest(data.data(), data.size(), bytes, &n, EVP_sha1(), nullptr) || n != 20)
        return false;
    for (int i = 0; i < 5; ++i)
        digest[i] = uint32_t(bytes[i * 4]) << 24 | uint32_t(bytes[i * 4 + 1]) << 16
            | uint32_t(bytes[i * 4 + 2]) << 8 | uint32_t(bytes[i * 4 + 3]);
    return true;
}

void Sha1(benchmark::State& state, bool hardware)
{
    const auto& data = Data();
    _LSha1UseHardware(hardware);
    {
        // Once: the digest is OpenSSL's.
        LSha1 sha;
        sha.Update(data.data(), data.size());
        uint32_t ours[5], theirs[5];
        sha.GetDigest(ours, 20);
        if (!OpenSslDigest(data, theirs) || std::memcmp(ours, theirs, sizeof ours) != 0)
            state.SkipWithError("the digest differs from OpenSSL's");
    }
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

void BM_OpenSslEvp_256MB(benchmark::State& state)
{
    const auto& data = Data();
    for (auto _ : state) {
        uint32_t digest[5];
        if (!OpenSslDigest(data, digest))
            state.SkipWithError("openssl failed");
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kSize));
}

} // namespace

BENCHMARK(BM_Sha1_256MB)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Sha1_256MB_Portable)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenSslEvp_256MB)->Unit(benchmark::kMillisecond)->UseRealTime();
