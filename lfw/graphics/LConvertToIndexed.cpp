// Conversion to indexed colour.
#include "lfw/graphics/LConvertToIndexed.h"

#include "lfw/graphics/LImageIterator.h"
#include "lfw/graphics/LNearBox.h"
#include "lfw/graphics/LParallelParts.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

// ---- LColorMapCacheTable -----------------------------------------------------------------------

template <class T>
LColorMapCacheTable<T>::LColorMapCacheTable(const LPalette<T>& palette)
    : mPalette(palette)
{
    const uint64_t n = palette.GetCount();
    for (uint64_t i = 0; i < n && n <= 256; ++i)
        if (!(palette.HasTransparentIndex() && i == palette.GetTransparentIndex()))
            mEntries[mEntryCount++] = { palette[i].r, palette[i].g, palette[i].b, uint16_t(i) };
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 256; ++i)
            mChannel[c][i] = kAway;
    for (int i = 0; i < mEntryCount; ++i) {
        mChannel[0][i] = mEntries[i].r;
        mChannel[1][i] = mEntries[i].g;
        mChannel[2][i] = mEntries[i].b;
    }
    // Zeroed by the system as its pages are first touched: a small picture touches few of them.
    mBlocks = static_cast<LColorMapIndexedBlock**>(
        std::calloc(kBlockCount, sizeof(LColorMapIndexedBlock*)));
    if (mBlocks)
        mBlockCount = kBlockCount;
}

template <class T> LColorMapCacheTable<T>::~LColorMapCacheTable()
{
    for (const uint32_t block : mMadeBlocks)
        delete mBlocks[block];
    std::free(mBlocks);
}

template <class T>
uint32_t LColorMapCacheTable<T>::Fill(uint32_t block, unsigned position, const T& colour)
{
    LColorMapIndexedBlock*& b = mBlocks[block];
    if (!b) {
        b = new (std::nothrow) LColorMapIndexedBlock;
        try {
            if (b)
                mMadeBlocks.push_back(block);
        } catch (const std::bad_alloc&) {
            delete b;
            b = nullptr;
        }
    }
    const uint32_t index = Search(colour);
    if (b) {
        b->index[position] = uint8_t(index);
        b->known |= uint64_t(1) << position;
    }
    return index;
}

using LNearBox::ListNearBox;

// Regions of 32 x 32 x 32 colours are listed from all entries, those of 16 x 16 x 16 from the
// list of the larger region they lie in (the nearest entry of any of their colours is there).
template <class T> void LColorMapCacheTable<T>::ListCandidates(unsigned region)
{
    const unsigned coarse = (region >> 9) << 6 | (region >> 5 & 7) << 3 | (region >> 1 & 7);
    if (mCoarseCount[coarse] == 0) {
        const float low[3]
            = { float(coarse >> 6 << 5), float((coarse >> 3 & 7) << 5), float((coarse & 7) << 5) };
        mCoarseStart[coarse] = uint32_t(mCoarse[0].size());
        ListNearBox(mChannel[0], mChannel[1], mChannel[2], mEntryCount, low, 31, [&](size_t at) {
            for (int c = 0; c < 3; ++c)
                mCoarse[c].push_back(mChannel[c][at]);
            mCoarseEntry.push_back(uint8_t(at));
        });
        mCoarseCount[coarse] = uint16_t(mCoarse[0].size() - mCoarseStart[coarse]);
        while (mCoarse[0].size() % 4)
            for (int c = 0; c < 3; ++c)
                mCoarse[c].push_back(kAway);
        mCoarseEntry.resize(mCoarse[0].size());
    }
    const float low[3]
        = { float(region >> 8 << 4), float((region >> 4 & 15) << 4), float((region & 15) << 4) };
    const size_t first = mCoarseStart[coarse];
    mRegionStart[region] = uint32_t(mCandidates.size());
    ListNearBox(mCoarse[0].data() + first, mCoarse[1].data() + first, mCoarse[2].data() + first,
        mCoarseCount[coarse], low, 15,
        [&](size_t at) { mCandidates.push_back(mCoarseEntry[first + at]); });
    mRegionCount[region] = uint16_t(mCandidates.size() - mRegionStart[region]);
}

template <class T> uint32_t LColorMapCacheTable<T>::Search(const T& colour)
{
    if (mEntryCount == 0)
        return mPalette.GetIndexOfClosestMatch(colour);
    if (mRegionStart.empty()) {
        mRegionStart.assign(4096, 0);
        mRegionCount.assign(4096, 0);
        mCoarseStart.assign(512, 0);
        mCoarseCount.assign(512, 0);
    }
    const unsigned region
        = unsigned(colour.r >> 4) << 8 | unsigned(colour.g >> 4) << 4 | unsigned(colour.b >> 4);
    if (mRegionCount[region] == 0)
        ListCandidates(region);
    // The candidates are in palette order: the first of equal distances stays.
    const uint8_t* candidate = mCandidates.data() + mRegionStart[region];
    const int count = mRegionCount[region];
    const int r = colour.r, g = colour.g, b = colour.b;
    uint32_t best = UINT32_MAX;
    int bestAt = 0;
    for (int i = 0; i < count; ++i) {
        const Entry& e = mEntries[candidate[i]];
        const int dr = e.r - r, dg = e.g - g, db = e.b - b;
        const uint32_t s = uint32_t(dr * dr + dg * dg + db * db);
        if (s < best) {
            best = s;
            bestAt = candidate[i];
        }
    }
    return mEntries[bestAt].index;
}

template class LColorMapCacheTable<LPFB8G8R8>;

// ---- The conversion ----------------------------------------------------------------------------

namespace {

template <class T>
LProcessResult Prepare(LProcessInterface& job, LProcessConvertImageToIndexed<T>& r)
{
    if (!r.source.IsValid()) {
        job.SetError("Ogiltig källbild");
        return LProcessResultError;
    }
    // Indices are bytes: a longer palette would be indexed wrongly.
    if (r.palette.GetCount() == 0 || r.palette.GetCount() > 256) {
        job.SetError("Ogiltig färgpalett");
        return LProcessResultError;
    }
    r.destination.AllocateNewBuffer(
        LImageFormat(LPixelFormatI8, r.source.GetWidth(), r.source.GetHeight()));
    if (!r.destination.IsValid()) {
        job.SetError("Ogiltig målbild");
        return LProcessResultError;
    }
    return LProcessResultSuccess;
}

inline LPFB8G8R8 Colour(const LPixelColour& p)
{
    LPFB8G8R8 c;
    c.b = p.b;
    c.g = p.g;
    c.r = p.r;
    return c;
}

// Maps the rows [first, end) with the cache; stops between rows once stop() says so.
template <class T, class Stop>
void MapRows(const LProcessConvertImageToIndexed<T>& r, LColorMapCacheTable<T>& cache, int first,
    int end, LPixelColour* row, Stop stop)
{
    const int width = r.source.GetWidth();
    const bool transparent = r.palette.HasTransparentIndex();
    const uint8_t transparentIndex = uint8_t(r.palette.GetTransparentIndex());
    LImageConstIterator it(r.source, 0, first, width, end - first, LImageScanRowsTopDown);
    for (int y = first; y < end; ++y) {
        if (stop(y))
            return;
        it.Get(row, width);
        unsigned char* out = r.destination.GetPictureRow(y);
        for (int x = 0; x < width; ++x) {
            const LPixelColour p = row[x];
            out[x] = transparent && p.a == 0 ? transparentIndex
                                             : uint8_t(cache.GetClosestMatchedIndex(Colour(p)));
        }
    }
}

// Every pixel is mapped on its own, so a large picture is mapped in bands of rows at once, each
// with a cache of its own. The calling thread maps the first band and answers the job.
template <class T>
LProcessResult ConvertWithoutDithering(
    LProcessInterface& job, LProcessConvertImageToIndexed<T>& r, LColorMapCacheTable<T>& cache)
{
    const int width = r.source.GetWidth();
    const int height = r.source.GetHeight();
    const int parts = LParallelPartCount(size_t(width) * size_t(height), size_t(1) << 16);
    std::atomic<bool> stopped { false }, failed { false };
    LRunInParts(size_t(height), parts, [&](int part, size_t begin, size_t end) {
        const int first = int(begin), last = int(end);
        std::unique_ptr<LPixelColour[]> row(new (std::nothrow) LPixelColour[size_t(width)]);
        std::unique_ptr<LColorMapCacheTable<T>> own;
        if (part != 0)
            own.reset(new (std::nothrow) LColorMapCacheTable<T>(r.palette));
        if (!row || (part != 0 && !own)) {
            failed = true;
            return;
        }
        if (part == 0) {
            MapRows(r, cache, first, last, row.get(), [&](int y) {
                if (job.IsToStop()) {
                    stopped = true;
                    return true;
                }
                job.SetProgress(double(y - first) / double(std::max(last - first, 1)));
                return failed.load(std::memory_order_relaxed);
            });
        } else {
            MapRows(r, *own, first, last, row.get(), [&](int) {
                return stopped.load(std::memory_order_relaxed)
                    || failed.load(std::memory_order_relaxed);
            });
        }
    });
    if (stopped)
        return LProcessResultStopped;
    return failed ? LProcessResultError : LProcessResultSuccess;
}

inline uint8_t Clamp(int v)
{
    return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// Adds e x weight / 16 of each channel's error to a pixel, clamped; alpha stays. The division
// rounds toward zero for both signs: rounding down would pass on more of every negative error
// than of the positive ones and darken the whole picture by about two levels.
inline void Diffuse(LPixelColour& p, const int e[3], int weight)
{
    p.r = Clamp(p.r + e[0] * weight / 16);
    p.g = Clamp(p.g + e[1] * weight / 16);
    p.b = Clamp(p.b + e[2] * weight / 16);
}

template <class T>
LProcessResult ConvertWithFloydSteinbergDithering(
    LProcessInterface& job, LProcessConvertImageToIndexed<T>& r, LColorMapCacheTable<T>& cache)
{
    const int width = r.source.GetWidth();
    const int height = r.source.GetHeight();
    std::unique_ptr<LPixelColour[]> current(new (std::nothrow) LPixelColour[size_t(width)]);
    std::unique_ptr<LPixelColour[]> next(new (std::nothrow) LPixelColour[size_t(width)]);
    if (!current || !next)
        return LProcessResultError;
    const bool transparent = r.palette.HasTransparentIndex();
    const uint32_t transparentIndex = r.palette.GetTransparentIndex();
    const T* entries = r.palette.GetEntries();
    LImageConstIterator it(r.source, LImageScanRowsTopDown);
    it.Get(current.get(), width);
    for (int y = 0; y < height; ++y) {
        if (job.IsToStop())
            return LProcessResultStopped;
        job.SetProgress(double(y) / double(height));
        if (y > 0)
            std::swap(current, next);
        const bool below = y + 1 < height;
        if (below)
            it.Get(next.get(), width);
        unsigned char* out = r.destination.GetPictureRow(y);
        for (int x = 0; x < width; ++x) {
            const LPixelColour p = current[x];
            int e[3] = { 0, 0, 0 };
            uint32_t index;
            if (!transparent || p.a != 0) {
                index = cache.GetClosestMatchedIndex(Colour(p));
                const T& chosen = entries[index];
                e[0] = int(p.r) - int(chosen.r);
                e[1] = int(p.g) - int(chosen.g);
                e[2] = int(p.b) - int(chosen.b);
            } else {
                index = transparentIndex;
            }
            out[x] = uint8_t(index);
            if (!e[0] && !e[1] && !e[2])
                continue;
            if (x + 1 < width)
                Diffuse(current[x + 1], e, 7);
            if (below) {
                if (x > 0)
                    Diffuse(next[x - 1], e, 3);
                Diffuse(next[x], e, 5);
                if (x + 1 < width)
                    Diffuse(next[x + 1], e, 1);
            }
        }
    }
    return LProcessResultSuccess;
}

} // namespace

template <class T>
LProcessResult Process(LProcessInterface& job, LProcessConvertImageToIndexed<T>& r)
{
    job.SetStatus("Konvertera till indexerad färg", 0);
    const LProcessResult prepared = Prepare(job, r);
    if (prepared != LProcessResultSuccess)
        return prepared;
    LColorMapCacheTable<T> cache(r.palette);
    return r.dithering == 1 ? ConvertWithFloydSteinbergDithering(job, r, cache)
                            : ConvertWithoutDithering(job, r, cache);
}

template LProcessResult Process(LProcessInterface&, LProcessConvertImageToIndexed<LPFB8G8R8>&);
