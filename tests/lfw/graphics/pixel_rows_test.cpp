// The premultiply passes and fills of LPixelRows against the plain formulas, over rows that mix
// runs of opaque, blank, transparent-with-colour and semi-transparent pixels at every length and
// offset that reaches the vector bodies, their shortcuts and the scalar tails.
#include "lfw/graphics/LPixelRows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#if defined(__x86_64__)
#include <cpuid.h>
#endif

namespace {

using Row = std::vector<uint8_t>;

uint8_t PremultipliedRef(int c, int a)
{
    return uint8_t((2 * c * a + 255) / 510); // round(c x a / 255); never a tie
}

uint8_t StraightRef(int p, int a)
{
    return uint8_t(a ? std::min(255, (p * 255 + a / 2) / a) : 0);
}

void PremultiplyRef(uint8_t* d, const uint8_t* s, size_t n, bool swap)
{
    for (size_t i = 0; i < n; ++i, s += 4, d += 4) {
        const int a = s[3];
        const uint8_t c0 = PremultipliedRef(s[swap ? 2 : 0], a), c1 = PremultipliedRef(s[1], a),
                      c2 = PremultipliedRef(s[swap ? 0 : 2], a);
        d[0] = c0, d[1] = c1, d[2] = c2, d[3] = uint8_t(a);
    }
}

void UnpremultiplyRef(uint8_t* d, const uint8_t* s, size_t n, bool swap)
{
    for (size_t i = 0; i < n; ++i, s += 4, d += 4) {
        const int a = s[3];
        const uint8_t c0 = StraightRef(s[swap ? 2 : 0], a), c1 = StraightRef(s[1], a),
                      c2 = StraightRef(s[swap ? 0 : 2], a);
        d[0] = c0, d[1] = c1, d[2] = c2, d[3] = uint8_t(a);
    }
}

// n pixels in runs of random kinds and lengths (1 to 40): opaque, all zero, alpha 0 with colour,
// semi-transparent.
Row MixedRow(std::mt19937& rng, size_t n, bool premultiplied)
{
    Row row(n * 4);
    size_t i = 0;
    while (i < n) {
        const unsigned kind = rng() % 4;
        const size_t run = std::min<size_t>(n - i, 1 + rng() % 40);
        for (size_t k = 0; k < run; ++k, ++i) {
            uint8_t* p = &row[4 * i];
            const uint32_t v = rng();
            const uint8_t a = kind == 0 ? 255 : kind == 3 ? uint8_t(1 + rng() % 254) : 0;
            for (int c = 0; c < 3; ++c) {
                uint8_t byte = kind == 1 ? 0 : uint8_t(v >> (8 * c));
                if (premultiplied && byte > a && kind != 2)
                    byte = a;
                p[c] = byte;
            }
            p[3] = a;
        }
    }
    return row;
}

// Lengths that reach 16-pixel blocks, one 8-pixel block and tails, at byte offsets 0 and 4.
const size_t kLengths[] = { 0, 1, 7, 8, 9, 15, 16, 17, 23, 24, 31, 32, 33, 47, 63, 64, 65, 200 };

} // namespace

TEST(PixelRows, PremultiplyPassesAgreeWithTheFormulaOnMixedRows)
{
    std::mt19937 rng(11);
    for (int round = 0; round < 20; ++round)
        for (size_t n : kLengths)
            for (size_t offset : { 0, 4 }) {
                const Row src = MixedRow(rng, n + 1, false);
                Row expect(4 * n), expectSwap(4 * n);
                PremultiplyRef(expect.data(), src.data() + offset, n, false);
                PremultiplyRef(expectSwap.data(), src.data() + offset, n, true);

                Row out(4 * n + 8, 0xEE), swapped(4 * n + 8, 0xEE);
                LPixelRows::Premultiply(out.data(), src.data() + offset, n);
                LPixelRows::PremultiplySwap(swapped.data(), src.data() + offset, n);
                ASSERT_TRUE(std::equal(out.begin(), out.begin() + 4 * n, expect.begin()))
                    << n << " " << offset;
                ASSERT_TRUE(
                    std::equal(swapped.begin(), swapped.begin() + 4 * n, expectSwap.begin()))
                    << n;
                ASSERT_EQ(out[4 * n], 0xEE) << n; // nothing written past the row
                ASSERT_EQ(swapped[4 * n + 7], 0xEE) << n;

                Row inPlace = src, inPlaceSwap = src;
                LPixelRows::Premultiply(inPlace.data() + offset, inPlace.data() + offset, n);
                LPixelRows::PremultiplySwap(
                    inPlaceSwap.data() + offset, inPlaceSwap.data() + offset, n);
                ASSERT_TRUE(std::equal(
                    inPlace.begin() + offset, inPlace.begin() + offset + 4 * n, expect.begin()))
                    << n;
                ASSERT_TRUE(std::equal(inPlaceSwap.begin() + offset,
                    inPlaceSwap.begin() + offset + 4 * n, expectSwap.begin()));
            }
}

TEST(PixelRows, UnpremultiplyPassesAgreeWithTheFormulaOnMixedRows)
{
    std::mt19937 rng(12);
    for (int round = 0; round < 20; ++round)
        for (size_t n : kLengths)
            for (size_t offset : { 0, 4 }) {
                const Row src = MixedRow(rng, n + 1, true);
                Row expect(4 * n), expectSwap(4 * n);
                UnpremultiplyRef(expect.data(), src.data() + offset, n, false);
                UnpremultiplyRef(expectSwap.data(), src.data() + offset, n, true);

                Row out(4 * n), swapped(4 * n);
                LPixelRows::Unpremultiply(out.data(), src.data() + offset, n);
                LPixelRows::UnpremultiplySwap(swapped.data(), src.data() + offset, n);
                ASSERT_EQ(out, expect) << n << " " << offset;
                ASSERT_EQ(swapped, expectSwap) << n << " " << offset;

                Row inPlace = src, inPlaceSwap = src;
                LPixelRows::Unpremultiply(inPlace.data() + offset, inPlace.data() + offset, n);
                LPixelRows::UnpremultiplySwap(
                    inPlaceSwap.data() + offset, inPlaceSwap.data() + offset, n);
                ASSERT_TRUE(std::equal(
                    inPlace.begin() + offset, inPlace.begin() + offset + 4 * n, expect.begin()))
                    << n;
                ASSERT_TRUE(std::equal(inPlaceSwap.begin() + offset,
                    inPlaceSwap.begin() + offset + 4 * n, expectSwap.begin()));
            }
}

TEST(PixelRows, UnpremultiplyChangedWritesOnlyWhatWasPainted)
{
    std::mt19937 rng(13);
    for (int round = 0; round < 20; ++round)
        for (size_t n : kLengths) {
            const Row straight = MixedRow(rng, n, false);
            Row painted(4 * n);
            PremultiplyRef(painted.data(), straight.data(), n, false);
            // Some pixels painted over with other premultiplied values.
            const Row other = MixedRow(rng, n, true);
            for (size_t i = 0; i < n; ++i)
                if (rng() % 3 == 0)
                    std::memcpy(&painted[4 * i], &other[4 * i], 4);

            Row expect = straight;
            for (size_t i = 0; i < n; ++i) {
                uint8_t check[4];
                PremultiplyRef(check, &straight[4 * i], 1, false);
                if (std::memcmp(check, &painted[4 * i], 4) != 0)
                    UnpremultiplyRef(&expect[4 * i], &painted[4 * i], 1, false);
            }
            Row out = straight;
            LPixelRows::UnpremultiplyChanged(out.data(), painted.data(), n);
            ASSERT_EQ(out, expect) << n;
        }
}

// The in-place passes leave opaque and blank pixels unwritten: over such a row in read-only
// memory they run without a fault.
TEST(PixelRows, InPlacePassesOnlyReadOpaqueAndBlankPixels)
{
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    const size_t n = 2 * page / 4;
    void* map = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(map, MAP_FAILED);
    auto* row = static_cast<uint8_t*>(map);
    std::mt19937 rng(14);
    for (size_t i = 0; i < n; ++i) {
        const uint32_t v = (i / 37) % 2 ? 0u : (rng() | 0xFF000000u);
        std::memcpy(row + 4 * i, &v, 4);
    }
    ASSERT_EQ(mprotect(map, 2 * page, PROT_READ), 0);
    EXPECT_EXIT(
        {
            LPixelRows::Premultiply(row, row, n);
            LPixelRows::Unpremultiply(row, row, n);
            Row straight(row, row + 4 * n);
            LPixelRows::UnpremultiplyChanged(straight.data(), row, n);
            std::exit(straight == Row(row, row + 4 * n) ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    munmap(map, 2 * page);
}

TEST(PixelRows, Fill32FillsExactlyTheWordsAskedFor)
{
    for (uint32_t value : { 0xFFFFFFFFu, 0x00000000u, 0x80402010u })
        for (size_t n : { 0, 1, 7, 8, 9, 31, 32, 33, 255, 256, 257, 1000, 5003 })
            for (size_t offset : { 0, 1, 3, 7 }) {
                std::vector<uint32_t> words(n + 16, 0x5A5A5A5Au);
                LPixelRows::Fill32(words.data() + offset, value, n);
                for (size_t i = 0; i < words.size(); ++i) {
                    const bool inside = i >= offset && i < offset + n;
                    ASSERT_EQ(words[i], inside ? value : 0x5A5A5A5Au) << n << " " << offset;
                }
            }
}

#if defined(__x86_64__)
// Whether the upper halves of the vector registers are in use (XINUSE bit 2), or -1 when the
// processor cannot tell.
static int UpperHalvesInUse()
{
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid_count(0xD, 1, &a, &b, &c, &d) || !(a & 4))
        return -1;
    unsigned lo = 0, hi = 0;
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(1));
    return (lo >> 2) & 1;
}
#endif

// The routines leave the upper vector halves clear: code of the older SSE encoding that runs
// afterwards (Cairo's and pixman's drawing) would otherwise be slowed down.
TEST(PixelRows, RoutinesLeaveTheUpperVectorHalvesClear)
{
#if defined(__x86_64__)
    if (UpperHalvesInUse() < 0)
        GTEST_SKIP() << "the processor does not report which register state is in use";
    Row row(8000);
    std::mt19937 rng(15);
    for (auto& b : row)
        b = uint8_t(rng());
    uint8_t* p = row.data();
    std::vector<uint32_t> words(5000);
    // Odd lengths: every routine ends in its scalar tail.
    const size_t n = 997;
    const struct {
        const char* name;
        void (*run)(uint8_t*, std::vector<uint32_t>&, size_t);
    } routines[] = {
        { "SwapRedBlue", [](uint8_t* r, auto&, size_t k) { LPixelRows::SwapRedBlue(r, r, k); } },
        { "Premultiply", [](uint8_t* r, auto&, size_t k) { LPixelRows::Premultiply(r, r, k); } },
        { "PremultiplySwap",
            [](uint8_t* r, auto&, size_t k) { LPixelRows::PremultiplySwap(r, r, k); } },
        { "Unpremultiply",
            [](uint8_t* r, auto&, size_t k) { LPixelRows::Unpremultiply(r, r, k); } },
        { "UnpremultiplySwap",
            [](uint8_t* r, auto&, size_t k) { LPixelRows::UnpremultiplySwap(r, r, k); } },
        { "UnpremultiplyChanged",
            [](uint8_t* r, auto&, size_t k) { LPixelRows::UnpremultiplyChanged(r, r + 4000, k); } },
        { "SetOpaque", [](uint8_t* r, auto&, size_t k) { LPixelRows::SetOpaque(r, k); } },
        { "Fill32", [](uint8_t*, auto& w, size_t k) { LPixelRows::Fill32(w.data(), 7, 5 * k); } },
        { "DropAlpha", [](uint8_t* r, auto&, size_t k) { LPixelRows::DropAlpha(r + 4000, r, k); } },
        { "AddAlpha", [](uint8_t* r, auto&, size_t k) { LPixelRows::AddAlpha(r, r + 4000, k); } },
    };
    for (const auto& routine : routines) {
        routine.run(p, words, n);
        EXPECT_EQ(UpperHalvesInUse(), 0) << routine.name;
    }
#else
    GTEST_SKIP() << "x86 only";
#endif
}
