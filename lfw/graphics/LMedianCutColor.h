// Median-cut palettes: an image's colours are cut into boxes, again and again along the longest
// side of the box that has the longest side, and each box gives one palette colour.
//
// When the image has more distinct colours at 6 bits per channel than colours are wanted, the
// boxes cut a histogram of those 6-bit cells weighted by their pixel counts (mode 2); otherwise
// they cut the list of every pixel at 8 bits per channel (mode 1), whose palette holds each
// colour once.
#pragma once

#include "lfw/gen/LArray.h"
#include "lfw/gen/LList.h"
#include "lfw/gen/LProcess.h"
#include "lfw/graphics/LImageBuffer.h"
#include "lfw/graphics/LPalette.h"

#include <cstdint>

// One pixel: N channel values (R, G, B for colours).
template <class T, unsigned long N> struct LMedianCutPoint {
    T c[N];
};

// One histogram cell: N channel values and the number of pixels in the cell.
template <class T, unsigned long N> struct LMedianCutCountedPoint {
    T c[N];
    uint64_t count;
};

// A box: a contiguous range of the shared point array, its corners and the channel its points
// are sorted by (-1 when never sorted).
template <class T, class P> class LMedianCutBox : public LListable<LMedianCutBox<T, P>> {
public:
    LMedianCutBox(P* first, uint64_t firstIndex, uint64_t count, int sortChannel)
        : mFirst(first)
        , mFirstIndex(firstIndex)
        , mCount(count)
        , mSortChannel(sortChannel)
    {
    }

    // Computes the corners unless they are known.
    void Shrink();
    // The longest side (maximum - minimum over the channels) and its channel, the lowest channel
    // of equally long sides.
    int GetLongestSide() const;
    int GetLongestChannel() const;
    // True when this box's longest side is at least the other's.
    bool operator<(const LMedianCutBox& other) const
    {
        return GetLongestSide() >= other.GetLongestSide();
    }

    P* mFirst;
    uint64_t mFirstIndex;
    uint64_t mCount;
    T mMinimum[3] = {};
    T mMaximum[3] = {};
    bool mShrunk = false;
    int mSortChannel;
};

// The box list keeps the longest side descending; a new box goes before every box whose longest
// side is not longer than its own.
template <class T, class P> struct LListOrder<LMedianCutBox<T, P>> {
    static bool SortsAfter(const LMedianCutBox<T, P>& a, const LMedianCutBox<T, P>& b)
    {
        return a.GetLongestSide() <= b.GetLongestSide();
    }
};

// The boxes over one point array (not owned).
template <class T, class P> class LMedianCut {
public:
    using Box = LMedianCutBox<T, P>;

    LMedianCut(P* points, uint64_t count)
        : mPoints(points)
        , mCount(count)
    {
    }

    // Cuts the points into at most wanted boxes (fewer when the box with the longest side holds a
    // single point): 0 done, 1 stopped. Nothing is cut again when the list holds wanted boxes.
    LProcessResult SplitBoxes(LProcessInterface& progress, unsigned long wanted);

    const LList<Box>& GetBoxes() const { return mBoxes; }

private:
    P* mPoints;
    uint64_t mCount;
    LList<Box> mBoxes;
};

class LMedianCutColor {
public:
    using Point = LMedianCutPoint<unsigned char, 3ul>;
    using CountedPoint = LMedianCutCountedPoint<unsigned char, 3ul>;

    static constexpr uint64_t kHistogramSize = 0x40000; // 64 x 64 x 64 cells

    LMedianCutColor(const LImageBuffer& source, uint64_t coloursWanted, bool ignoreTransparency);
    ~LMedianCutColor();
    LMedianCutColor(const LMedianCutColor&) = delete;
    LMedianCutColor& operator=(const LMedianCutColor&) = delete;

    // Builds the point set on first use and cuts it: one palette entry per box in list order,
    // then, unless transparency is ignored, an entry for the fully transparent pixels (their
    // average colour), which becomes the transparent index. 0 done, 1 stopped (the palette must
    // not be used), 2 out of memory.
    LProcessResult GetOptimizedPalette(LProcessInterface& progress, LPalette<LPFB8G8R8>& palette);
    // Reads the image and builds the point set of mode 1 or 2.
    LProcessResult Init(LProcessInterface& progress);

    // 0 before Init, then 1 (every pixel) or 2 (6-bit cells).
    int GetMode() const { return mMode; }
    // The bytes the point arrays hold.
    uint64_t GetPointBytes() const
    {
        return mPoints.GetCapacity() * sizeof(Point)
            + mCountedPoints.GetCapacity() * sizeof(CountedPoint);
    }

private:
    LSizedArray<Point> mPoints;
    LMedianCut<unsigned char, Point>* mPlainCut = nullptr;
    LSizedArray<uint32_t> mHistogram;
    LSizedArray<CountedPoint> mCountedPoints;
    LMedianCut<unsigned char, CountedPoint>* mCountedCut = nullptr;
    const LImageBuffer* mSource;
    int mMode = 0;
    uint64_t mColoursWanted;
    uint64_t mHistogramSize = kHistogramSize;
    uint32_t mChannelMask = 63;
    bool mIgnoreTransparency;
    uint64_t mTransparentSum[3] = {}; // R, G, B
    int64_t mTransparentCount = 0;
};
