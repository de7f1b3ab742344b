// The colours of a picture counted exactly.
#include "lfw/graphics/LColourHistogram.h"

#include "lfw/graphics/LImageIterator.h"
#include "lfw/graphics/LParallelParts.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// A picture of at least this many pixels is counted in the table by several threads.
constexpr uint64_t kTablePixels = uint64_t(1) << 20;

struct Transparent {
    uint64_t count = 0;
    uint64_t sum[3] = {};
};

// The codes of the rows [first, end) into codes (the row y at y x width), the pixels of alpha 0
// summed; stops between rows once stop(y) says so.
template <class Stop>
bool Encode(const LImageBuffer& source, int first, int end, uint32_t* codes, LPixelColour* row,
    Transparent& transparent, Stop stop)
{
    const int width = source.GetWidth();
    LImageConstIterator it(source, 0, first, width, end - first, LImageScanRowsTopDown);
    for (int y = first; y < end; ++y) {
        if (stop(y))
            return false;
        it.Get(row, width);
        uint32_t* out = codes + size_t(y) * size_t(width);
        for (int x = 0; x < width; ++x) {
            const LPixelColour p = row[x];
            out[x] = LColourHistogram::Code(p.r, p.g, p.b);
            if (p.a == 0) {
                ++transparent.count;
                transparent.sum[0] += p.r;
                transparent.sum[1] += p.g;
                transparent.sum[2] += p.b;
            }
        }
    }
    return true;
}

// Sorts 24-bit codes in two passes of 12 bits; temp holds as many.
void SortCodes(uint32_t* codes, uint32_t* temp, size_t n)
{
    for (const unsigned shift : { 0u, 12u }) {
        size_t place[4097] = {};
        for (size_t i = 0; i < n; ++i)
            ++place[(codes[i] >> shift & 4095) + 1];
        for (size_t k = 1; k <= 4096; ++k)
            place[k] += place[k - 1];
        for (size_t i = 0; i < n; ++i)
            temp[place[codes[i] >> shift & 4095]++] = codes[i];
        std::swap(codes, temp);
    }
    // After an even number of passes the sorted codes are back where they started.
}

} // namespace

LColourHistogram::~LColourHistogram()
{
    std::free(mTableBlock);
}

bool LColourHistogram::Count(const LImageBuffer& source, const std::function<bool(double)>& stop)
{
    std::free(mTableBlock);
    mTableBlock = nullptr;
    mTable = nullptr;
    mTouched.clear();
    mRuns.clear();
    mColourCount = mTransparentCount = 0;
    mTransparentSum[0] = mTransparentSum[1] = mTransparentSum[2] = 0;
    const uint64_t pixels = uint64_t(source.GetWidth()) * uint64_t(source.GetHeight());
    // The counts are 32-bit: no picture that size fits in memory anyway.
    if (!source.IsValid() || pixels >= (uint64_t(1) << 32))
        return false;
    std::unique_ptr<uint32_t[]> codes(new (std::nothrow) uint32_t[size_t(pixels)]);
    if (!codes)
        return false;
    const int parts = LParallelPartCount(size_t(pixels), size_t(kTablePixels) / 4);
    if (pixels >= kTablePixels && parts > 1) {
        // Lines of 16 counts fall on cache lines of their own: the workers share out the lines.
        mTableBlock = std::calloc(kCodes * sizeof(uint32_t) + 64, 1);
        if (mTableBlock) {
            mTable = reinterpret_cast<uint32_t*>(
                (reinterpret_cast<uintptr_t>(mTableBlock) + 63) & ~uintptr_t(63));
            return CountInTable(source, stop, codes.get(), parts);
        }
    }
    return CountBySorting(source, stop, codes.get());
}

bool LColourHistogram::CountBySorting(
    const LImageBuffer& source, const std::function<bool(double)>& stop, uint32_t* codes)
{
    const int width = source.GetWidth(), height = source.GetHeight();
    const size_t pixels = size_t(width) * size_t(height);
    std::unique_ptr<LPixelColour[]> row(new (std::nothrow) LPixelColour[size_t(width)]);
    std::unique_ptr<uint32_t[]> temp(new (std::nothrow) uint32_t[pixels]);
    if (!row || !temp)
        return false;
    Transparent transparent;
    if (!Encode(source, 0, height, codes, row.get(), transparent,
            [&](int y) { return stop(double(y) / double(height)); }))
        return false;
    SortCodes(codes, temp.get(), pixels);
    try {
        for (size_t i = 0; i < pixels;) {
            size_t j = i + 1;
            while (j < pixels && codes[j] == codes[i])
                ++j;
            mRuns.push_back({ codes[i], uint32_t(j - i) });
            i = j;
        }
    } catch (const std::bad_alloc&) {
        mRuns.clear();
        return false;
    }
    mColourCount = mRuns.size();
    mTransparentCount = transparent.count;
    for (int c = 0; c < 3; ++c)
        mTransparentSum[c] = transparent.sum[c];
    return true;
}

bool LColourHistogram::CountInTable(
    const LImageBuffer& source, const std::function<bool(double)>& stop, uint32_t* codes, int parts)
{
    const int width = source.GetWidth(), height = source.GetHeight();
    const size_t pixels = size_t(width) * size_t(height);
    try {
        mTouched.assign(kPages, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    // First every worker makes the codes of its band of rows; the calling thread answers the job.
    std::vector<Transparent> transparent(static_cast<size_t>(parts));
    std::atomic<bool> stopped { false }, failed { false };
    LRunInParts(size_t(height), parts, [&](int part, size_t begin, size_t end) {
        const int first = int(begin), last = int(end);
        std::unique_ptr<LPixelColour[]> row(new (std::nothrow) LPixelColour[size_t(width)]);
        if (!row) {
            failed = true;
            return;
        }
        Encode(source, first, last, codes, row.get(), transparent[size_t(part)], [&](int y) {
            if (part == 0 && stop(double(y - first) / double(std::max(last - first, 1))))
                stopped = true;
            return stopped.load(std::memory_order_relaxed)
                || failed.load(std::memory_order_relaxed);
        });
    });
    if (stopped || failed)
        return false;
    // Then every worker reads all the codes and counts those of its own: the counts are shared out
    // by cache lines of 16 (no two workers ever write the same line), scattered among the workers
    // so that the many colours of one small corner of the cube are still counted by all of them.
    // Each worker marks the pages it wrote apart; the marks are joined at the end.
    std::vector<std::unique_ptr<uint8_t[]>> written(static_cast<size_t>(parts));
    std::vector<uint64_t> colours(static_cast<size_t>(parts), 0);
    std::atomic<bool> noMemory { false };
    LRunInParts(size_t(parts), parts, [&](int part, size_t, size_t) {
        std::unique_ptr<uint8_t[]>& mine = written[size_t(part)];
        mine.reset(new (std::nothrow) uint8_t[kPages]());
        if (!mine) {
            noMemory = true;
            return;
        }
        uint32_t* const table = mTable;
        uint8_t* const pages = mine.get();
        const uint64_t count = uint64_t(parts);
        const uint64_t own = uint64_t(part);
        // The codes are read a stretch at a time; those of this worker are first gathered without
        // a branch (which of the workers a code falls to cannot be foretold), then counted.
        constexpr size_t kStretch = 4096;
        uint32_t gathered[kStretch];
        for (size_t at = 0; at < pixels; at += kStretch) {
            const uint32_t* const stretch = codes + at;
            const size_t n = std::min(kStretch, pixels - at);
            size_t found = 0;
            for (size_t i = 0; i < n; ++i) {
                const uint32_t code = stretch[i];
                gathered[found] = code;
                // The line's number mixed, then scaled to the number of workers.
                found += (uint64_t((code >> 4) * 2654435761u) * count) >> 32 == own;
            }
            for (size_t i = 0; i < found; ++i) {
                ++table[gathered[i]];
                pages[gathered[i] >> kPageBits] = 1;
            }
        }
    });
    if (noMemory)
        return false;
    LRunInParts(size_t(kPages), parts, [&](int part, size_t begin, size_t end) {
        uint64_t found = 0;
        for (size_t page = begin; page < end; ++page) {
            uint8_t any = 0;
            for (const std::unique_ptr<uint8_t[]>& mine : written)
                any |= mine[page];
            mTouched[page] = any;
            if (any)
                for (uint32_t i = uint32_t(page) << kPageBits; i < uint32_t(page + 1) << kPageBits;
                     ++i)
                    found += mTable[i] != 0;
        }
        colours[size_t(part)] = found;
    });
    for (int part = 0; part < parts; ++part) {
        mColourCount += colours[size_t(part)];
        mTransparentCount += transparent[size_t(part)].count;
        for (int c = 0; c < 3; ++c)
            mTransparentSum[c] += transparent[size_t(part)].sum[c];
    }
    return true;
}
