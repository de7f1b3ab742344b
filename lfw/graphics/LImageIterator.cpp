#include "lfw/graphics/LImageIterator.h"

#include "lfw/graphics/LPixelAccess.h"

#include <cstring>
#include <type_traits>

LImageScanOrder LImageScanOrderForBottomUp(LImageScanOrder order)
{
    static constexpr LImageScanOrder kRemap[8] = {
        LImageScanRowsBottomUp,
        LImageScanColumnsBottomUpReversed,
        LImageScanRowsTopDownReversed,
        LImageScanColumnsLeftToRight,
        LImageScanColumnsBottomUp,
        LImageScanRowsTopDown,
        LImageScanColumnsRightToLeft,
        LImageScanRowsBottomUpReversed,
    };
    return order >= 0 && order <= 7 ? kRemap[order] : LImageScanRowsTopDown;
}

namespace {

// Calls f(std::type_identity<P>{}) with the pixel structure P of a format the iterators read
// and write, P void for 8-bit indices; false for any other format.
template <class F> bool VisitIteratedPixel(pixelformat_t format, F&& f)
{
    if (format == LPixelFormatI8) {
        f(std::type_identity<void> {});
        return true;
    }
    return LPixelAccess::VisitPixelStruct(
        format, [&](auto pixel) { f(std::type_identity<decltype(pixel)> {}); });
}

// One pixel at p; an 8-bit index reads as blue and is written from blue.
template <class P> LPixelColour ReadPixel(const unsigned char* p)
{
    if constexpr (std::is_void_v<P>)
        return LPixelColour(*p, 0, 0, 0);
    else
        return LPixelAccess::Read(*reinterpret_cast<const P*>(p));
}
template <class P> void WritePixel(unsigned char* p, const LPixelColour& c)
{
    if constexpr (std::is_void_v<P>)
        *p = c.b;
    else
        LPixelAccess::Write(*reinterpret_cast<P*>(p), c);
}

// The iterators' reader and writer of pixel structure P.
template <class P> LPixelColour ReadAt(const LImageConstIterator& it)
{
    return ReadPixel<P>(it.GetCurrent());
}
template <class P> void WriteAt(LImageIterator& it, const LPixelColour& c)
{
    WritePixel<P>(it.GetCurrentWritable(), c);
}

} // namespace

// ---- const iterator ----

LImageConstIterator::LImageConstIterator(const LImageBuffer& buffer, LImageScanOrder order)
{
    if (!buffer.IsValid())
        return;
    const LImageFormat& f = buffer.GetFormat();
    InitRect(buffer, 0, 0, f.width, f.height, order);
}

LImageConstIterator::LImageConstIterator(
    const LImageBuffer& buffer, int x, int y, int w, int h, LImageScanOrder order)
{
    InitRect(buffer, x, y, w, h, order);
}

bool LImageConstIterator::InitRect(
    const LImageBuffer& buffer, int x, int y, int w, int h, LImageScanOrder order)
{
    if (!buffer.IsValid())
        return false;
    const LImageFormat& f = buffer.GetFormat();
    if (x < 0 || y < 0 || w <= 0 || h <= 0 || int64_t(x) + w > f.width || int64_t(y) + h > f.height)
        return false;
    // The walk counts pixels in 32 bits.
    if (int64_t(w) * h > 0x7FFFFFFF)
        return false;
    int storedRow = y;
    if (f.bottomUp) {
        order = LImageScanOrderForBottomUp(order);
        storedRow = f.height - (y + h);
    }
    const unsigned char* start = buffer.GetData() + uint64_t(storedRow) * f.stride
        + uint64_t(x) * LPixelFormatBytesPerPixel(f.pixelFormat);
    Init(start, f.pixelFormat, int64_t(f.stride), w, h, order);
    return true;
}

void LImageConstIterator::Init(const unsigned char* start, pixelformat_t format, int64_t stride,
    int w, int h, LImageScanOrder order)
{
    const int64_t b = LPixelFormatBytesPerPixel(format);
    const int64_t s = stride;
    const int64_t right = int64_t(w - 1) * b;
    const int64_t bottom = int64_t(h - 1) * s;
    int64_t offset = 0;
    switch (order) {
    default:
    case LImageScanRowsTopDown:
        offset = 0, mInnerStep = b, mOuterStep = s, mRunLength = w;
        break;
    case LImageScanColumnsRightToLeft:
        offset = right, mInnerStep = s, mOuterStep = -b, mRunLength = h;
        break;
    case LImageScanRowsBottomUpReversed:
        offset = right + bottom, mInnerStep = -b, mOuterStep = -s, mRunLength = w;
        break;
    case LImageScanColumnsBottomUp:
        offset = bottom, mInnerStep = -s, mOuterStep = b, mRunLength = h;
        break;
    case LImageScanColumnsLeftToRight:
        offset = 0, mInnerStep = s, mOuterStep = b, mRunLength = h;
        break;
    case LImageScanRowsBottomUp:
        offset = bottom, mInnerStep = b, mOuterStep = -s, mRunLength = w;
        break;
    case LImageScanColumnsBottomUpReversed:
        offset = right + bottom, mInnerStep = -s, mOuterStep = -b, mRunLength = h;
        break;
    case LImageScanRowsTopDownReversed:
        offset = right, mInnerStep = -b, mOuterStep = s, mRunLength = w;
        break;
    }
    mCount = w * h;
    mIndex = 0;
    mPositionInRun = 0;
    mRunEndAdvance = mOuterStep - mInnerStep * mRunLength;
    mCurrent = mStart = start + offset;
    SetPixelAccessorFunctionsForFormat(format);
}

void LImageConstIterator::SetPixelAccessorFunctionsForFormat(pixelformat_t format)
{
    mFormat = format;
    mReader = &ReadInvalid;
    VisitIteratedPixel(
        format, [&](auto type) { mReader = &ReadAt<typename decltype(type)::type>; });
}

LPixelColour LImageConstIterator::ReadB8G8R8A8(const LImageConstIterator& it)
{
    return ReadAt<LPFB8G8R8A8>(it);
}
LPixelColour LImageConstIterator::ReadR8G8B8A8(const LImageConstIterator& it)
{
    return ReadAt<LPFR8G8B8A8>(it);
}
LPixelColour LImageConstIterator::ReadB8G8R8(const LImageConstIterator& it)
{
    return ReadAt<LPFB8G8R8>(it);
}
LPixelColour LImageConstIterator::ReadR8G8B8(const LImageConstIterator& it)
{
    return ReadAt<LPFR8G8B8>(it);
}
LPixelColour LImageConstIterator::ReadB5G5R5A1(const LImageConstIterator& it)
{
    return ReadAt<LPFB5G5R5A1>(it);
}
LPixelColour LImageConstIterator::ReadB5G5R5X1(const LImageConstIterator& it)
{
    return ReadAt<LPFB5G5R5X1>(it);
}
LPixelColour LImageConstIterator::ReadB5G6R5(const LImageConstIterator& it)
{
    return ReadAt<LPFB5G6R5>(it);
}
LPixelColour LImageConstIterator::ReadI8(const LImageConstIterator& it)
{
    return ReadAt<void>(it);
}
LPixelColour LImageConstIterator::ReadInvalid(const LImageConstIterator&)
{
    return LPixelColour(255, 0, 255, 255); // opaque magenta
}

template <class Visit> int LImageConstIterator::ForEachRun(int n, Visit visit)
{
    int done = 0;
    while (done < n && mIndex < mCount) {
        // The rest of the current run in one typed loop.
        int run = mRunLength - mPositionInRun;
        if (run > n - done)
            run = n - done;
        if (run > mCount - mIndex)
            run = mCount - mIndex;
        visit(mCurrent, run, done);
        mCurrent += run * mInnerStep;
        done += run;
        mIndex += run;
        mPositionInRun += run;
        if (mPositionInRun == mRunLength) {
            mPositionInRun = 0;
            mCurrent += mRunEndAdvance;
        }
    }
    return done;
}

template <class P> int LImageConstIterator::GetTyped(LPixelColour* out, int n)
{
    const int64_t step = mInnerStep;
    return ForEachRun(n, [out, step](const unsigned char* p, int run, int done) {
        for (int i = 0; i < run; ++i, p += step)
            out[done + i] = ReadPixel<P>(p);
    });
}

int LImageConstIterator::Get(LPixelColour* out, int n)
{
    if (mIndex < 0 || n <= 0 || !out)
        return 0;
    int done = 0;
    if (VisitIteratedPixel(
            mFormat, [&](auto type) { done = GetTyped<typename decltype(type)::type>(out, n); }))
        return done;
    for (; done < n && mIndex < mCount; ++done, Advance())
        out[done] = Read();
    return done;
}
// ---- writable iterator ----

LImageIterator::LImageIterator(LImageBuffer& buffer, LImageScanOrder order)
{
    if (!buffer.IsValid())
        return;
    const LImageFormat& f = buffer.GetFormat();
    if (InitRect(buffer, 0, 0, f.width, f.height, order)) {
        SetPixelAccessorFunctionsForFormat(f.pixelFormat);
        mWritableStart = buffer.GetData() + (mStart - buffer.GetData());
    }
}

LImageIterator::LImageIterator(
    LImageBuffer& buffer, int x, int y, int w, int h, LImageScanOrder order)
{
    if (InitRect(buffer, x, y, w, h, order)) {
        SetPixelAccessorFunctionsForFormat(buffer.GetFormat().pixelFormat);
        mWritableStart = buffer.GetData() + (mStart - buffer.GetData());
    }
}

void LImageIterator::SetPixelAccessorFunctionsForFormat(pixelformat_t format)
{
    LImageConstIterator::SetPixelAccessorFunctionsForFormat(format);
    mWriter = &WriteInvalid;
    VisitIteratedPixel(
        format, [&](auto type) { mWriter = &WriteAt<typename decltype(type)::type>; });
}

void LImageIterator::WriteB8G8R8A8(LImageIterator& it, const LPixelColour& c)
{
    WriteAt<LPFB8G8R8A8>(it, c);
}
void LImageIterator::WriteR8G8B8A8(LImageIterator& it, const LPixelColour& c)
{
    WriteAt<LPFR8G8B8A8>(it, c);
}
void LImageIterator::WriteB8G8R8(LImageIterator& it, const LPixelColour& c)
{
    WriteAt<LPFB8G8R8>(it, c);
}
void LImageIterator::WriteR8G8B8(LImageIterator& it, const LPixelColour& c)
{
    WriteAt<LPFR8G8B8>(it, c);
}
void LImageIterator::WriteB5G5R5A1(LImageIterator& it, const LPixelColour& c)
{
    WriteAt<LPFB5G5R5A1>(it, c);
}
void LImageIterator::WriteB5G5R5X1(LImageIterator& it, const LPixelColour& c)
{
    WriteAt<LPFB5G5R5X1>(it, c);
}
void LImageIterator::WriteB5G6R5(LImageIterator& it, const LPixelColour& c)
{
    WriteAt<LPFB5G6R5>(it, c);
}
void LImageIterator::WriteI8(LImageIterator& it, const LPixelColour& c)
{
    WriteAt<void>(it, c);
}
void LImageIterator::WriteInvalid(LImageIterator&, const LPixelColour&)
{
}

template <class P> int LImageIterator::PutTyped(const LPixelColour* in, int n)
{
    const int64_t step = mInnerStep;
    return ForEachRun(n, [in, step](const unsigned char* run0, int run, int done) {
        unsigned char* p = const_cast<unsigned char*>(run0);
        for (int i = 0; i < run; ++i, p += step)
            WritePixel<P>(p, in[done + i]);
    });
}

int LImageIterator::Put(const LPixelColour* in, int n)
{
    if (mIndex < 0 || n <= 0 || !in)
        return 0;
    int done = 0;
    if (VisitIteratedPixel(
            mFormat, [&](auto type) { done = PutTyped<typename decltype(type)::type>(in, n); }))
        return done;
    // No writer: the pixels are passed over.
    for (; done < n && mIndex < mCount; ++done)
        Advance();
    return done;
}

// ---- scanline iterators ----

void LImageScanlineConstIterator::Reset(const LImageBuffer& buffer, unsigned long byteOffset)
{
    if (!buffer.IsValid()) {
        *this = LImageScanlineConstIterator();
        return;
    }
    const LImageFormat& f = buffer.GetFormat();
    mFirst = buffer.GetData() + byteOffset;
    mLast = buffer.GetData() + uint64_t(f.height - 1) * f.stride + byteOffset;
    mCurrent = mFirst;
    mStride = f.stride;
    mBottomUp = f.bottomUp;
}

void LImageScanlineIterator::Reset(LImageBuffer& buffer, unsigned long byteOffset)
{
    if (!buffer.IsValid()) {
        *this = LImageScanlineIterator();
        return;
    }
    const LImageFormat& f = buffer.GetFormat();
    mFirst = buffer.GetData() + byteOffset;
    mLast = buffer.GetData() + uint64_t(f.height - 1) * f.stride + byteOffset;
    mCurrent = mFirst;
    mStride = f.stride;
    mBottomUp = f.bottomUp;
}
