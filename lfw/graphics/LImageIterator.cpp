#include "lfw/graphics/LImageIterator.h"

#include "lfw/graphics/LPixelAccess.h"

#include <cstring>

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
    switch (format) {
    case LPixelFormatB8G8R8A8:
        mReader = &ReadB8G8R8A8;
        break;
    case LPixelFormatB8G8R8:
        mReader = &ReadB8G8R8;
        break;
    case LPixelFormatB5G6R5:
        mReader = &ReadB5G6R5;
        break;
    case LPixelFormatB5G5R5A1:
        mReader = &ReadB5G5R5A1;
        break;
    case LPixelFormatB5G5R5X1:
        mReader = &ReadB5G5R5X1;
        break;
    case LPixelFormatR8G8B8A8:
        mReader = &ReadR8G8B8A8;
        break;
    case LPixelFormatR8G8B8:
        mReader = &ReadR8G8B8;
        break;
    case LPixelFormatI8:
        mReader = &ReadI8;
        break;
    default:
        mReader = &ReadInvalid;
        break;
    }
}

namespace {
template <class P> inline const P& At(const unsigned char* p)
{
    return *reinterpret_cast<const P*>(p);
}
} // namespace

LPixelColour LImageConstIterator::ReadB8G8R8A8(const LImageConstIterator& it)
{
    return LPixelAccess::Read(At<LPFB8G8R8A8>(it.mCurrent));
}
LPixelColour LImageConstIterator::ReadR8G8B8A8(const LImageConstIterator& it)
{
    return LPixelAccess::Read(At<LPFR8G8B8A8>(it.mCurrent));
}
LPixelColour LImageConstIterator::ReadB8G8R8(const LImageConstIterator& it)
{
    return LPixelAccess::Read(At<LPFB8G8R8>(it.mCurrent));
}
LPixelColour LImageConstIterator::ReadR8G8B8(const LImageConstIterator& it)
{
    return LPixelAccess::Read(At<LPFR8G8B8>(it.mCurrent));
}
LPixelColour LImageConstIterator::ReadB5G5R5A1(const LImageConstIterator& it)
{
    return LPixelAccess::Read(At<LPFB5G5R5A1>(it.mCurrent));
}
LPixelColour LImageConstIterator::ReadB5G5R5X1(const LImageConstIterator& it)
{
    return LPixelAccess::Read(At<LPFB5G5R5X1>(it.mCurrent));
}
LPixelColour LImageConstIterator::ReadB5G6R5(const LImageConstIterator& it)
{
    return LPixelAccess::Read(At<LPFB5G6R5>(it.mCurrent));
}
LPixelColour LImageConstIterator::ReadI8(const LImageConstIterator& it)
{
    return LPixelColour(*it.mCurrent, 0, 0, 0);
}
LPixelColour LImageConstIterator::ReadInvalid(const LImageConstIterator&)
{
    return LPixelColour(255, 0, 255, 255); // opaque magenta
}

template <class P> int LImageConstIterator::GetTyped(LPixelColour* out, int n)
{
    int done = 0;
    while (done < n && mIndex < mCount) {
        // The rest of the current run in one typed loop.
        int run = mRunLength - mPositionInRun;
        if (run > n - done)
            run = n - done;
        if (run > mCount - mIndex)
            run = mCount - mIndex;
        const unsigned char* p = mCurrent;
        const int64_t step = mInnerStep;
        for (int i = 0; i < run; ++i, p += step) {
            if constexpr (std::is_same_v<P, void>)
                out[done + i] = LPixelColour(*p, 0, 0, 0);
            else
                out[done + i] = LPixelAccess::Read(At<P>(p));
        }
        done += run;
        mIndex += run;
        mPositionInRun += run;
        mCurrent = p;
        if (mPositionInRun == mRunLength) {
            mPositionInRun = 0;
            mCurrent += mRunEndAdvance;
        }
    }
    return done;
}

int LImageConstIterator::Get(LPixelColour* out, int n)
{
    if (mIndex < 0 || n <= 0 || !out)
        return 0;
    switch (mFormat) {
    case LPixelFormatB8G8R8A8:
        return GetTyped<LPFB8G8R8A8>(out, n);
    case LPixelFormatB8G8R8:
        return GetTyped<LPFB8G8R8>(out, n);
    case LPixelFormatB5G6R5:
        return GetTyped<LPFB5G6R5>(out, n);
    case LPixelFormatB5G5R5A1:
        return GetTyped<LPFB5G5R5A1>(out, n);
    case LPixelFormatB5G5R5X1:
        return GetTyped<LPFB5G5R5X1>(out, n);
    case LPixelFormatR8G8B8A8:
        return GetTyped<LPFR8G8B8A8>(out, n);
    case LPixelFormatR8G8B8:
        return GetTyped<LPFR8G8B8>(out, n);
    case LPixelFormatI8:
        return GetTyped<void>(out, n);
    default:
        break;
    }
    int done = 0;
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
    switch (format) {
    case LPixelFormatB8G8R8A8:
        mWriter = &WriteB8G8R8A8;
        break;
    case LPixelFormatB8G8R8:
        mWriter = &WriteB8G8R8;
        break;
    case LPixelFormatB5G6R5:
        mWriter = &WriteB5G6R5;
        break;
    case LPixelFormatB5G5R5A1:
        mWriter = &WriteB5G5R5A1;
        break;
    case LPixelFormatB5G5R5X1:
        mWriter = &WriteB5G5R5X1;
        break;
    case LPixelFormatR8G8B8A8:
        mWriter = &WriteR8G8B8A8;
        break;
    case LPixelFormatR8G8B8:
        mWriter = &WriteR8G8B8;
        break;
    case LPixelFormatI8:
        mWriter = &WriteI8;
        break;
    default:
        mWriter = &WriteInvalid;
        break;
    }
}

namespace {
template <class P> inline P& AtW(unsigned char* p)
{
    return *reinterpret_cast<P*>(p);
}
} // namespace

void LImageIterator::WriteB8G8R8A8(LImageIterator& it, const LPixelColour& c)
{
    LPixelAccess::Write(AtW<LPFB8G8R8A8>(it.GetCurrentWritable()), c);
}
void LImageIterator::WriteR8G8B8A8(LImageIterator& it, const LPixelColour& c)
{
    LPixelAccess::Write(AtW<LPFR8G8B8A8>(it.GetCurrentWritable()), c);
}
void LImageIterator::WriteB8G8R8(LImageIterator& it, const LPixelColour& c)
{
    LPixelAccess::Write(AtW<LPFB8G8R8>(it.GetCurrentWritable()), c);
}
void LImageIterator::WriteR8G8B8(LImageIterator& it, const LPixelColour& c)
{
    LPixelAccess::Write(AtW<LPFR8G8B8>(it.GetCurrentWritable()), c);
}
void LImageIterator::WriteB5G5R5A1(LImageIterator& it, const LPixelColour& c)
{
    LPixelAccess::Write(AtW<LPFB5G5R5A1>(it.GetCurrentWritable()), c);
}
void LImageIterator::WriteB5G5R5X1(LImageIterator& it, const LPixelColour& c)
{
    LPixelAccess::Write(AtW<LPFB5G5R5X1>(it.GetCurrentWritable()), c);
}
void LImageIterator::WriteB5G6R5(LImageIterator& it, const LPixelColour& c)
{
    LPixelAccess::Write(AtW<LPFB5G6R5>(it.GetCurrentWritable()), c);
}
void LImageIterator::WriteI8(LImageIterator& it, const LPixelColour& c)
{
    *it.GetCurrentWritable() = c.b;
}
void LImageIterator::WriteInvalid(LImageIterator&, const LPixelColour&)
{
}

template <class P> int LImageIterator::PutTyped(const LPixelColour* in, int n)
{
    int done = 0;
    while (done < n && mIndex < mCount) {
        int run = mRunLength - mPositionInRun;
        if (run > n - done)
            run = n - done;
        if (run > mCount - mIndex)
            run = mCount - mIndex;
        unsigned char* p = GetCurrentWritable();
        const int64_t step = mInnerStep;
        for (int i = 0; i < run; ++i, p += step) {
            if constexpr (std::is_same_v<P, void>)
                *p = in[done + i].b;
            else
                LPixelAccess::Write(AtW<P>(p), in[done + i]);
        }
        done += run;
        mIndex += run;
        mPositionInRun += run;
        mCurrent = p;
        if (mPositionInRun == mRunLength) {
            mPositionInRun = 0;
            mCurrent += mRunEndAdvance;
        }
    }
    return done;
}

int LImageIterator::Put(const LPixelColour* in, int n)
{
    if (mIndex < 0 || n <= 0 || !in)
        return 0;
    switch (mFormat) {
    case LPixelFormatB8G8R8A8:
        return PutTyped<LPFB8G8R8A8>(in, n);
    case LPixelFormatB8G8R8:
        return PutTyped<LPFB8G8R8>(in, n);
    case LPixelFormatB5G6R5:
        return PutTyped<LPFB5G6R5>(in, n);
    case LPixelFormatB5G5R5A1:
        return PutTyped<LPFB5G5R5A1>(in, n);
    case LPixelFormatB5G5R5X1:
        return PutTyped<LPFB5G5R5X1>(in, n);
    case LPixelFormatR8G8B8A8:
        return PutTyped<LPFR8G8B8A8>(in, n);
    case LPixelFormatR8G8B8:
        return PutTyped<LPFR8G8B8>(in, n);
    case LPixelFormatI8:
        return PutTyped<void>(in, n);
    default:
        break;
    }
    // No writer: the pixels are passed over.
    int done = 0;
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
