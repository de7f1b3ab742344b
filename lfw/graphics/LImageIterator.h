// Pixel iterators and scanline iterators over image buffers.
//
// A pixel iterator walks a whole buffer or a rectangle of it in one of eight scan orders, reading
// and writing every pixel format as an LPixelColour. Scanline iterators hand out whole stored
// rows for code that works a row at a time.
#pragma once

#include "lfw/graphics/LImageBuffer.h"

#include <cstddef>
#include <cstdint>

// "Top", "bottom", "left" and "right" are in stored order. For a bottom-up buffer the order asked
// for is meant in picture terms and is remapped before the walk is set up.
enum LImageScanOrder : int32_t {
    LImageScanRowsTopDown = 0, // top left; rows left to right; top to bottom
    LImageScanColumnsRightToLeft = 1, // top right; columns top to bottom; right to left
    LImageScanRowsBottomUpReversed = 2, // bottom right; rows right to left; bottom to top
    LImageScanColumnsBottomUp = 3, // bottom left; columns bottom to top; left to right
    LImageScanColumnsLeftToRight = 4, // top left; columns top to bottom; left to right
    LImageScanRowsBottomUp = 5, // bottom left; rows left to right; bottom to top
    LImageScanColumnsBottomUpReversed = 6, // bottom right; columns bottom to top; right to left
    LImageScanRowsTopDownReversed = 7, // top right; rows right to left; top to bottom
};

// The stored-order scan that walks a bottom-up buffer in the picture order asked for.
LImageScanOrder LImageScanOrderForBottomUp(LImageScanOrder order);

class LImageConstIterator {
public:
    using Reader = LPixelColour (*)(const LImageConstIterator&);

    LImageConstIterator(const LImageBuffer& buffer, LImageScanOrder order);
    // The rectangle whose top-left pixel is (x, y) in picture terms; empty when it does not lie
    // inside the buffer.
    LImageConstIterator(
        const LImageBuffer& buffer, int x, int y, int w, int h, LImageScanOrder order);

    void Init(const unsigned char* start, pixelformat_t format, int64_t stride, int w, int h,
        LImageScanOrder order);
    void SetPixelAccessorFunctionsForFormat(pixelformat_t format);

    int GetCount() const { return mCount; }
    int GetIndex() const { return mIndex; }
    bool IsDone() const { return mIndex >= mCount; }

    LPixelColour Read() const { return mReader(*this); }
    // Moves to the next pixel of the walk; nothing once the walk is over.
    void Advance()
    {
        if (mIndex >= mCount)
            return;
        mCurrent += mInnerStep;
        ++mIndex;
        if (++mPositionInRun == mRunLength) {
            mPositionInRun = 0;
            mCurrent += mRunEndAdvance;
        }
    }
    LImageConstIterator& operator++()
    {
        Advance();
        return *this;
    }

    // Reads up to n pixels from the current one on, advancing; the number read.
    int Get(LPixelColour* out, int n);

    const unsigned char* GetCurrent() const { return mCurrent; }
    const unsigned char* GetStart() const { return mStart; }

    static LPixelColour ReadB8G8R8A8(const LImageConstIterator& it);
    static LPixelColour ReadR8G8B8A8(const LImageConstIterator& it);
    static LPixelColour ReadB8G8R8(const LImageConstIterator& it);
    static LPixelColour ReadR8G8B8(const LImageConstIterator& it);
    static LPixelColour ReadB5G5R5A1(const LImageConstIterator& it);
    static LPixelColour ReadB5G5R5X1(const LImageConstIterator& it);
    static LPixelColour ReadB5G6R5(const LImageConstIterator& it);
    static LPixelColour ReadI8(const LImageConstIterator& it);
    static LPixelColour ReadInvalid(const LImageConstIterator& it);

protected:
    LImageConstIterator() = default;
    // Sets up the walk of the rectangle (x, y, w, h) of a valid buffer; false when it is outside.
    bool InitRect(const LImageBuffer& buffer, int x, int y, int w, int h, LImageScanOrder order);
    // Walks up to n pixels from the current one on, a run at a time: visit(first, count, done)
    // for the count pixels from byte address first on, done the number walked before them.
    // The number walked.
    template <class Visit> int ForEachRun(int n, Visit visit);
    template <class P> int GetTyped(LPixelColour* out, int n);

    int mCount = 0;
    int mRunLength = 0;
    int64_t mRunEndAdvance = 0; // bytes added after a run's last step
    int64_t mInnerStep = 0; // bytes from one pixel of a run to the next
    int64_t mOuterStep = 0; // bytes from the start of one run to the next
    int mIndex = 0;
    const unsigned char* mCurrent = nullptr;
    int mPositionInRun = 0;
    Reader mReader = &ReadInvalid;
    pixelformat_t mFormat = LPixelFormatInvalid;
    const unsigned char* mStart = nullptr;
};

class LImageIterator : public LImageConstIterator {
public:
    using Writer = void (*)(LImageIterator&, const LPixelColour&);

    LImageIterator(LImageBuffer& buffer, LImageScanOrder order);
    LImageIterator(LImageBuffer& buffer, int x, int y, int w, int h, LImageScanOrder order);

    void SetPixelAccessorFunctionsForFormat(pixelformat_t format);

    void Write(const LPixelColour& colour) { mWriter(*this, colour); }
    LImageIterator& operator++()
    {
        Advance();
        return *this;
    }
    // Writes up to n pixels from the current one on, advancing; the number written.
    int Put(const LPixelColour* in, int n);

    unsigned char* GetCurrentWritable() { return const_cast<unsigned char*>(mCurrent); }

    static void WriteB8G8R8A8(LImageIterator& it, const LPixelColour& c);
    static void WriteR8G8B8A8(LImageIterator& it, const LPixelColour& c);
    static void WriteB8G8R8(LImageIterator& it, const LPixelColour& c);
    static void WriteR8G8B8(LImageIterator& it, const LPixelColour& c);
    static void WriteB5G5R5A1(LImageIterator& it, const LPixelColour& c);
    static void WriteB5G5R5X1(LImageIterator& it, const LPixelColour& c);
    static void WriteB5G6R5(LImageIterator& it, const LPixelColour& c);
    static void WriteI8(LImageIterator& it, const LPixelColour& c);
    static void WriteInvalid(LImageIterator& it, const LPixelColour& c);

private:
    template <class P> int PutTyped(const LPixelColour* in, int n);

    Writer mWriter = &WriteInvalid;
    unsigned char* mWritableStart = nullptr;
};

// Whole stored rows, first stored row to last. Users that need picture order read IsBottomUp().
class LImageScanlineConstIterator {
public:
    LImageScanlineConstIterator() = default;
    LImageScanlineConstIterator(const LImageBuffer& buffer, unsigned long byteOffset = 0)
    {
        Reset(buffer, byteOffset);
    }
    void Reset(const LImageBuffer& buffer, unsigned long byteOffset = 0);

    // The current row, or null when the walk is over.
    const unsigned char* Get() const
    {
        return mCurrent && mCurrent >= mFirst && mCurrent <= mLast ? mCurrent : nullptr;
    }
    bool IsDone() const { return Get() == nullptr; }
    void Next() { mCurrent = mCurrent == mLast ? nullptr : mCurrent + mStride; }
    uint64_t GetStride() const { return mStride; }
    bool IsBottomUp() const { return mBottomUp; }

private:
    const unsigned char* mFirst = nullptr;
    const unsigned char* mLast = nullptr;
    const unsigned char* mCurrent = nullptr;
    uint64_t mStride = 0;
    bool mBottomUp = false;
};

class LImageScanlineIterator {
public:
    LImageScanlineIterator() = default;
    LImageScanlineIterator(LImageBuffer& buffer, unsigned long byteOffset = 0)
    {
        Reset(buffer, byteOffset);
    }
    void Reset(LImageBuffer& buffer, unsigned long byteOffset = 0);

    unsigned char* Get() const
    {
        return mCurrent && mCurrent >= mFirst && mCurrent <= mLast ? mCurrent : nullptr;
    }
    bool IsDone() const { return Get() == nullptr; }
    void Next() { mCurrent = mCurrent == mLast ? nullptr : mCurrent + mStride; }
    uint64_t GetStride() const { return mStride; }
    bool IsBottomUp() const { return mBottomUp; }

private:
    unsigned char* mFirst = nullptr;
    unsigned char* mLast = nullptr;
    unsigned char* mCurrent = nullptr;
    uint64_t mStride = 0;
    bool mBottomUp = false;
};
