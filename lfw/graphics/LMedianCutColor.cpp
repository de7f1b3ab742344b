// Median-cut palettes.
#include "lfw/graphics/LMedianCutColor.h"

#include "lfw/graphics/LImageIterator.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

namespace {

// Sorts points ascending by one channel, in place: a byte-keyed bucket sort that swaps each
// point into its bucket, so no second array of the points is needed however many there are.
// The order of points with equal values is left as it falls.
template <class P> void SortByChannel(P* points, uint64_t n, int channel)
{
    if (n < 64) {
        std::sort(points, points + n,
            [channel](const P& a, const P& b) { return a.c[channel] < b.c[channel]; });
        return;
    }
    uint64_t next[256] = {}; // the next free place of each bucket
    uint64_t end[256];
    for (uint64_t i = 0; i < n; ++i)
        ++next[points[i].c[channel]];
    uint64_t at = 0;
    for (int v = 0; v < 256; ++v) {
        const uint64_t size = next[v];
        next[v] = at;
        at += size;
        end[v] = at;
    }
    for (int v = 0; v < 256; ++v) {
        while (next[v] < end[v]) {
            const int w = points[next[v]].c[channel];
            if (w == v)
                ++next[v];
            else
                std::swap(points[next[v]], points[next[w]++]);
        }
    }
}

// Where a box of n points (n >= 2, sorted along the cut channel, with at least two values on
// it) is cut. Pixels: in halves, the first half taking the odd point, but never through a run of
// equal values: the cut moves to the nearer end of the run, so that no colour is shared by two
// boxes and a picture of no more colours than wanted keeps every colour exactly. Cells: where
// their counts reach half the box's pixels, leaving at least one cell on each side.
uint64_t CutIndex(const LMedianCutColor::Point* p, uint64_t n, int channel)
{
    const uint64_t k = (n + 1) >> 1;
    const uint8_t v = p[k].c[channel];
    if (p[k - 1].c[channel] != v)
        return k;
    uint64_t low = k - 1;
    while (low > 0 && p[low - 1].c[channel] == v)
        --low;
    uint64_t high = k + 1;
    while (high < n && p[high].c[channel] == v)
        ++high;
    if (low == 0)
        return high;
    if (high == n)
        return low;
    return k - low < high - k ? low : high;
}
uint64_t CutIndex(const LMedianCutColor::CountedPoint* p, uint64_t n, int)
{
    uint64_t total = 0;
    for (uint64_t i = 0; i < n; ++i)
        total += p[i].count;
    const uint64_t half = total >> 1;
    uint64_t sum = 0;
    for (uint64_t k = 1; k < n; ++k) {
        sum += p[k - 1].count;
        if (sum >= half)
            return k;
    }
    return n - 1;
}

// The 8-bit value of a 6-bit cell: the top bits repeated below, so the cells spread evenly
// from 0 to 255 and the brightest cell stays white.
inline uint64_t CellValue(unsigned c6)
{
    return (c6 << 2) | (c6 >> 4);
}

} // namespace

// ---- LMedianCutBox -----------------------------------------------------------------------------

template <class T, class P> void LMedianCutBox<T, P>::Shrink()
{
    if (mShrunk)
        return;
    mShrunk = true;
    if (mCount == 0)
        return;
    T lo[3] = { mFirst[0].c[0], mFirst[0].c[1], mFirst[0].c[2] };
    T hi[3] = { lo[0], lo[1], lo[2] };
    for (uint64_t i = 1; i < mCount; ++i) {
        const P& p = mFirst[i];
        for (int c = 0; c < 3; ++c) {
            lo[c] = std::min(lo[c], p.c[c]);
            hi[c] = std::max(hi[c], p.c[c]);
        }
    }
    for (int c = 0; c < 3; ++c) {
        mMinimum[c] = lo[c];
        mMaximum[c] = hi[c];
    }
}

template <class T, class P> int LMedianCutBox<T, P>::GetLongestSide() const
{
    const int c = GetLongestChannel();
    return int(mMaximum[c]) - int(mMinimum[c]);
}

template <class T, class P> int LMedianCutBox<T, P>::GetLongestChannel() const
{
    int best = 0;
    for (int c = 1; c < 3; ++c)
        if (int(mMaximum[c]) - int(mMinimum[c]) > int(mMaximum[best]) - int(mMinimum[best]))
            best = c;
    return best;
}

// ---- LMedianCut --------------------------------------------------------------------------------

template <class T, class P>
LProcessResult LMedianCut<T, P>::SplitBoxes(LProcessInterface& progress, unsigned long wanted)
{
    if (mBoxes.GetCount() == wanted)
        return LProcessResultSuccess;
    mBoxes.Clear();
    auto* all = new Box(mPoints, 0, mCount, -1);
    all->Shrink();
    mBoxes.AddOrdered(all);
    progress.SetProgress(0.1);
    if (progress.IsToStop())
        return LProcessResultStopped;
    if (wanted < 2)
        return LProcessResultSuccess;

    for (unsigned long boxes = 1;;) {
        std::unique_ptr<Box> box(mBoxes.DetachHead());
        // One point, or points of one colour (the box with the longest side has none: no box
        // has two colours), cannot be cut.
        if (box->mCount < 2 || box->GetLongestSide() == 0) {
            mBoxes.AddOrdered(box.release());
            return LProcessResultSuccess;
        }
        const int channel = box->GetLongestChannel();
        if (box->mSortChannel != channel)
            SortByChannel(box->mFirst, box->mCount, channel);
        const uint64_t k = CutIndex(box->mFirst, box->mCount, channel);
        auto* low = new Box(box->mFirst, box->mFirstIndex, k, channel);
        auto* high = new Box(box->mFirst + k, box->mFirstIndex + k, box->mCount - k, channel);
        low->Shrink();
        high->Shrink();
        mBoxes.AddOrdered(low);
        mBoxes.AddOrdered(high);
        box.reset();

        ++boxes;
        if (boxes % 10 == 0) {
            progress.SetProgress(double(boxes) / double(wanted) * 0.9);
            if (progress.IsToStop())
                return LProcessResultStopped;
        }
        if (boxes >= wanted)
            return LProcessResultSuccess;
    }
}

template class LMedianCut<unsigned char, LMedianCutColor::Point>;
template class LMedianCut<unsigned char, LMedianCutColor::CountedPoint>;

// ---- LMedianCutColor ---------------------------------------------------------------------------

LMedianCutColor::LMedianCutColor(
    const LImageBuffer& source, uint64_t coloursWanted, bool ignoreTransparency)
    : mSource(&source)
    , mColoursWanted(coloursWanted)
    , mIgnoreTransparency(ignoreTransparency)
{
}

LMedianCutColor::~LMedianCutColor()
{
    delete mPlainCut;
    delete mCountedCut;
}

LProcessResult LMedianCutColor::Init(LProcessInterface& progress)
{
    progress.SetProgress(0);
    if (!mHistogram.SetArrayCapacityLarge(size_t(mHistogramSize)))
        return LProcessResultError;
    mHistogram.SetSize(size_t(mHistogramSize));
    std::memset(mHistogram.GetData(), 0, size_t(mHistogramSize) * sizeof(uint32_t));
    if (progress.IsToStop())
        return LProcessResultStopped;

    const LImageBuffer& source = *mSource;
    const int width = source.GetWidth();
    const int height = source.GetHeight();
    std::unique_ptr<LPixelColour[]> row(new (std::nothrow) LPixelColour[size_t(width)]);
    if (!row)
        return LProcessResultError;
    uint32_t* histogram = mHistogram.GetData();
    const uint32_t mask = mChannelMask;
    {
        LImageConstIterator it(source, LImageScanRowsTopDown);
        for (int y = 0; y < height; ++y) {
            if ((y & 63) == 63 && progress.IsToStop())
                return LProcessResultStopped;
            it.Get(row.get(), width);
            for (int x = 0; x < width; ++x) {
                const LPixelColour p = row[x];
                if (!mIgnoreTransparency && p.a == 0) {
                    mTransparentSum[0] += p.r;
                    mTransparentSum[1] += p.g;
                    mTransparentSum[2] += p.b;
                    ++mTransparentCount;
                }
                ++histogram[((p.b >> 2) & mask) << 12 | ((p.g >> 2) & mask) << 6
                    | ((p.r >> 2) & mask)];
            }
        }
    }
    if (progress.IsToStop())
        return LProcessResultStopped;
    uint64_t distinct = 0;
    for (uint64_t i = 0; i < mHistogramSize; ++i)
        distinct += histogram[i] != 0;
    if (progress.IsToStop())
        return LProcessResultStopped;

    if (mColoursWanted < distinct) {
        mMode = 2;
        if (!mCountedPoints.SetArrayCapacityLarge(size_t(distinct)))
            return LProcessResultError;
        if (progress.IsToStop())
            return LProcessResultStopped;
        CountedPoint* out = mCountedPoints.GetData();
        for (uint64_t cell = 0; cell < mHistogramSize; ++cell) {
            if (cell % 1000 == 0 && progress.IsToStop())
                return LProcessResultStopped;
            if (!histogram[cell])
                continue;
            out->c[0] = uint8_t(cell & mask);
            out->c[1] = uint8_t((cell >> 6) & mask);
            out->c[2] = uint8_t(cell >> 12);
            out->count = histogram[cell];
            ++out;
        }
        mCountedPoints.SetSize(size_t(distinct));
        delete mCountedCut;
        mCountedCut = new LMedianCut<unsigned char, CountedPoint>(
            mCountedPoints.GetData(), mCountedPoints.GetSize());
    } else {
        mMode = 1;
        mHistogram.Free();
    }
    progress.SetProgress(0.5);
    if (progress.IsToStop())
        return LProcessResultStopped;
    if (mMode == 2) {
        progress.SetProgress(1);
        return LProcessResultSuccess;
    }

    const uint64_t pixels = uint64_t(width) * uint64_t(height);
    if (!mPoints.SetArrayCapacityLarge(size_t(pixels)))
        return LProcessResultError;
    Point* out = mPoints.GetData();
    LImageConstIterator it(source, LImageScanRowsTopDown);
    for (int y = 0; y < height; ++y) {
        // A stop is looked for about every 1000 pixels.
        if (progress.IsToStop())
            return LProcessResultStopped;
        for (int x = 0; x < width;) {
            const int n = std::min(width - x, 1000);
            it.Get(row.get(), n);
            for (int i = 0; i < n; ++i, ++out) {
                out->c[0] = row[i].r;
                out->c[1] = row[i].g;
                out->c[2] = row[i].b;
            }
            x += n;
            if (x < width && progress.IsToStop())
                return LProcessResultStopped;
        }
    }
    mPoints.SetSize(size_t(pixels));
    delete mPlainCut;
    mPlainCut = new LMedianCut<unsigned char, Point>(mPoints.GetData(), mPoints.GetSize());
    progress.SetProgress(1);
    return LProcessResultSuccess;
}

LProcessResult LMedianCutColor::GetOptimizedPalette(
    LProcessInterface& progress, LPalette<LPFB8G8R8>& palette)
{
    if (!mPlainCut && !mCountedCut) {
        LProcessInterfaceSubProcess init(progress, 0, 0.4);
        const LProcessResult r = Init(init);
        if (r != LProcessResultSuccess)
            return r;
    }
    if (progress.IsToStop())
        return LProcessResultStopped;
    const unsigned long wanted = (unsigned long)mColoursWanted;
    LProcessInterfaceSubProcess cut(progress, 0.4, 0.5);
    const LProcessResult result
        = mMode == 2 ? mCountedCut->SplitBoxes(cut, wanted) : mPlainCut->SplitBoxes(cut, wanted);
    if (result != LProcessResultSuccess)
        return result;

    const bool transparent = !mIgnoreTransparency && mTransparentCount > 0;
    const size_t boxes
        = mMode == 2 ? mCountedCut->GetBoxes().GetCount() : mPlainCut->GetBoxes().GetCount();
    if (!palette.SetCount(boxes + (transparent ? 1 : 0)))
        return LProcessResultError;
    uint64_t made = 0;
    if (mMode == 2) {
        for (const auto& box : mCountedCut->GetBoxes()) {
            uint64_t sum[3] = {}, count = 0;
            for (uint64_t i = 0; i < box.mCount; ++i) {
                const CountedPoint& p = box.mFirst[i];
                for (int c = 0; c < 3; ++c)
                    sum[c] += CellValue(p.c[c]) * p.count;
                count += p.count;
            }
            LPFB8G8R8& e = palette[made++];
            e.r = uint8_t(sum[0] / count);
            e.g = uint8_t(sum[1] / count);
            e.b = uint8_t(sum[2] / count);
        }
    } else {
        for (const auto& box : mPlainCut->GetBoxes()) {
            uint64_t sum[3] = {};
            const uint64_t n = box.mCount;
            for (uint64_t i = 0; i < n; ++i)
                for (int c = 0; c < 3; ++c)
                    sum[c] += box.mFirst[i].c[c];
            // Rounded to the nearest value: floor(sum / n + 0.5).
            LPFB8G8R8 e;
            e.r = uint8_t((2 * sum[0] + n) / (2 * n));
            e.g = uint8_t((2 * sum[1] + n) / (2 * n));
            e.b = uint8_t((2 * sum[2] + n) / (2 * n));
            bool seen = false;
            for (uint64_t i = 0; i < made && !seen; ++i)
                seen = palette[i] == e;
            if (!seen)
                palette[made++] = e;
        }
    }
    if (transparent) {
        LPFB8G8R8& e = palette[made];
        const uint64_t n = uint64_t(mTransparentCount);
        e.r = uint8_t(mTransparentSum[0] / n);
        e.g = uint8_t(mTransparentSum[1] / n);
        e.b = uint8_t(mTransparentSum[2] / n);
        palette.SetTransparentIndex(uint32_t(made));
        ++made;
    }
    // Mode 1 drops repeated colours: keep only the entries made.
    if (made != palette.GetCount()) {
        LSizedArray<LPFB8G8R8> kept;
        if (!kept.Assign(palette.GetEntries(), size_t(made)))
            return LProcessResultError;
        if (!palette.SetEntries(kept.GetData(), made))
            return LProcessResultError;
    }
    progress.SetProgress(1);
    return LProcessResultSuccess;
}
