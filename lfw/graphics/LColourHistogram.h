// The colours of a picture counted exactly: every colour with its pixels, in the colour octree's
// order, the order in which the tree's depth-first walk meets the colours (their bits interleaved
// R, G, B from the top bit down: the tree order's code of a colour).
//
// A picture of a megapixel or more is counted by several threads into a table of every colour
// (64 MiB, of which only the pages colours fall on are ever touched), each thread counting the
// colours of its own pages; a smaller picture by sorting its codes. Every pixel is counted
// whatever its alpha; those of alpha 0 are also summed apart.
#pragma once

#include "lfw/graphics/LImageBuffer.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace LColourHistogramSpread {
// Each bit of a byte moved to every third place.
constexpr std::array<uint32_t, 256> Spread()
{
    std::array<uint32_t, 256> value {};
    for (uint32_t v = 0; v < 256; ++v)
        for (uint32_t bit = 0; bit < 8; ++bit)
            value[v] |= (v >> bit & 1) << (3 * bit);
    return value;
}
inline constexpr std::array<uint32_t, 256> kSpread = Spread();
// Twelve bits of a code (four bits of each channel, interleaved) gathered: R, G and B's four bits
// at 0, 4 and 8.
constexpr std::array<uint16_t, 4096> Gathered()
{
    std::array<uint16_t, 4096> value {};
    for (uint32_t v = 0; v < 4096; ++v)
        for (uint32_t bit = 0; bit < 4; ++bit)
            value[v] = uint16_t(value[v] | (v >> (3 * bit + 2) & 1) << bit
                | (v >> (3 * bit + 1) & 1) << (bit + 4) | (v >> (3 * bit) & 1) << (bit + 8));
    return value;
}
inline constexpr std::array<uint16_t, 4096> kGathered = Gathered();
} // namespace LColourHistogramSpread

class LColourHistogram {
public:
    LColourHistogram() = default;
    ~LColourHistogram();
    LColourHistogram(const LColourHistogram&) = delete;
    LColourHistogram& operator=(const LColourHistogram&) = delete;

    // The tree order's code of a colour (24 bits), and back.
    static uint32_t Code(uint8_t r, uint8_t g, uint8_t b)
    {
        using LColourHistogramSpread::kSpread;
        return kSpread[r] << 2 | kSpread[g] << 1 | kSpread[b];
    }
    static void Colour(uint32_t code, uint8_t& r, uint8_t& g, uint8_t& b)
    {
        using LColourHistogramSpread::kGathered;
        const uint32_t high = kGathered[code >> 12 & 4095], low = kGathered[code & 4095];
        r = uint8_t((high & 15) << 4 | (low & 15));
        g = uint8_t((high >> 4 & 15) << 4 | (low >> 4 & 15));
        b = uint8_t((high >> 8 & 15) << 4 | (low >> 8 & 15));
    }

    // Counts the picture. stop(fraction) is asked before each row the calling thread reads, with
    // the share of its rows read so far; true stops the count (the other threads stop with it).
    // False when stopped or out of memory.
    bool Count(const LImageBuffer& source, const std::function<bool(double fraction)>& stop);

    // The picture's different colours.
    uint64_t GetColourCount() const { return mColourCount; }
    // Calls f(code, pixels) for every colour in the tree's order; f answers false to stop.
    template <class F> void ForEachColour(F f) const;

    // The pixels of alpha 0 and the sums of their R, G and B.
    uint64_t GetTransparentCount() const { return mTransparentCount; }
    const uint64_t* GetTransparentSums() const { return mTransparentSum; }

private:
    static constexpr uint32_t kCodes = uint32_t(1) << 24;
    static constexpr uint32_t kPageBits = 10; // 1024 counts: 4 KiB
    static constexpr uint32_t kPages = kCodes >> kPageBits;

    bool CountInTable(const LImageBuffer& source, const std::function<bool(double)>& stop,
        uint32_t* codes, int parts);
    bool CountBySorting(
        const LImageBuffer& source, const std::function<bool(double)>& stop, uint32_t* codes);

    uint64_t mColourCount = 0;
    uint64_t mTransparentCount = 0;
    uint64_t mTransparentSum[3] = {};
    // A large picture: the count of every code (in mTableBlock, from a cache line's start), and
    // which pages hold any.
    void* mTableBlock = nullptr;
    uint32_t* mTable = nullptr;
    std::vector<uint8_t> mTouched;
    // A small picture: its colours and their pixels, in order.
    struct Run {
        uint32_t code;
        uint32_t pixels;
    };
    std::vector<Run> mRuns;
};

template <class F> void LColourHistogram::ForEachColour(F f) const
{
    if (!mTable) {
        for (const Run& run : mRuns)
            if (!f(run.code, uint64_t(run.pixels)))
                return;
        return;
    }
    for (uint32_t page = 0; page < kPages; ++page) {
        if (!mTouched[page])
            continue;
        const uint32_t first = page << kPageBits;
        const uint32_t* counts = mTable + first;
        for (uint32_t i = 0; i < (uint32_t(1) << kPageBits); ++i)
            if (counts[i] && !f(first + i, uint64_t(counts[i])))
                return;
    }
}
