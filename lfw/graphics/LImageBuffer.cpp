#include "lfw/graphics/LImageBuffer.h"

#include "lfw/graphics/LPixelAccess.h"
#include "lfw/graphics/LPixelRows.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

// ---- heap store ----

LImageBufferStoreHeap::LImageBufferStoreHeap(uint64_t size)
{
    if (size == 0 || size > kLImageBufferMaxBytes)
        return;
    // Ordinary pages, whatever the size, with no request for huge ones: a huge page is zeroed
    // whole at the decoder's first write into it, and where the kernel gives them only on
    // request it may first stop to gather one (reclaim, compaction), so that opening several
    // photographs at once grew slower and varied by seconds. In the program, blocks of 2 MiB and
    // more have pages of their own all the same (SetUpAllocatorForLargeBlocks), given back when
    // freed.
    void* block = nullptr;
    if (posix_memalign(&block, 64, size_t(size)) != 0)
        return;
    mBlock = static_cast<unsigned char*>(block);
    mData = mBlock;
    mSize = size;
}

LImageBufferStoreHeap::~LImageBufferStoreHeap()
{
    std::free(mBlock);
}

bool LImageBufferStoreHeap::IsCompatibleStore(int storeID, long size) const
{
    if (storeID != kStoreID || size < 0)
        return false;
    return uint64_t(size) <= mSize && mSize / 2 <= uint64_t(size);
}

// ---- buffer ----

LImageBuffer::LImageBuffer(const LImageFormat& format)
{
    AllocateNewBuffer(format);
}

LImageBuffer::~LImageBuffer()
{
    delete mStore;
}

LImageBuffer::LImageBuffer(LImageBuffer&& other) noexcept
    : mFormat(other.mFormat)
    , mStore(other.mStore)
{
    other.mStore = nullptr;
    other.ResetFormat();
}

LImageBuffer& LImageBuffer::operator=(LImageBuffer&& other) noexcept
{
    if (this != &other) {
        delete mStore;
        mFormat = other.mFormat;
        mStore = other.mStore;
        other.mStore = nullptr;
        other.ResetFormat();
    }
    return *this;
}

bool LImageBuffer::IsValid() const
{
    return mStore && mStore->GetData() && mFormat.pixelFormat >= 0
        && mFormat.pixelFormat < kLPixelFormatCount && mFormat.width >= 1 && mFormat.height >= 1
        && mFormat.stride != 0 && mFormat.stride >= mFormat.RowBytes()
        && uint64_t(mFormat.height) * mFormat.stride <= mStore->GetSize();
}

void LImageBuffer::ResetFormat()
{
    mFormat = LImageFormat();
}

void LImageBuffer::Reset()
{
    delete mStore;
    mStore = nullptr;
    ResetFormat();
}

void LImageBuffer::AllocateNewBuffer(const LImageFormat& format)
{
    mFormat = format;
    const uint64_t size = uint64_t(uint32_t(format.height)) * format.stride;
    // A stride too small for a row would let pixel writes run past the block.
    const bool rowFits = format.width <= 0 || format.stride >= format.RowBytes();
    if (size > kLImageBufferMaxBytes || !rowFits) {
        delete mStore;
        mStore = nullptr;
        return;
    }
    if (mStore && mStore->GetData()
        && mStore->IsCompatibleStore(LImageBufferStoreHeap::kStoreID, long(size)))
        return;
    auto* store = new (std::nothrow) LImageBufferStoreHeap(size);
    delete mStore;
    mStore = store;
    if (!mStore || !mStore->GetData())
        Reset();
}

void LImageBuffer::Assign(LImageBuffer& other)
{
    if (&other == this)
        return;
    if (!other.mStore) {
        other.Reset();
        return;
    }
    if (other.IsValid()) {
        if (other.mStore->IsAssignable()) {
            delete mStore;
            mStore = other.mStore;
            mFormat = other.mFormat;
            other.mStore = nullptr;
        } else {
            LImageBufferAllocateAndCopy(*this, other);
        }
    }
    other.Reset();
}

LProcessResult LImageBuffer::Clear(LProcessInterface& job, const LPixelColour& colour)
{
    if (!IsValid())
        return LProcessResultError;
    const uint64_t total = uint64_t(mFormat.height) * mFormat.stride;
    const bool noColour = colour.b == 0 && colour.g == 0 && colour.r == 0;
    if (colour.Value() == 0 || (!LPixelFormatHasAlpha(mFormat.pixelFormat) && noColour)) {
        // Strides are whole words; plain stores beat memset on memory not yet touched.
        if (total <= kLImageBufferMaxBytes)
            LPixelRows::Fill32(reinterpret_cast<uint32_t*>(GetData()), 0, size_t(total / 4));
        return LProcessResultSuccess;
    }

    // One stored row through the format's writer, then copied into every other row.
    unsigned char* first = GetRow(0);
    const int width = mFormat.width;
    const bool written = LPixelAccess::VisitPixelStruct(mFormat.pixelFormat, [&](auto proto) {
        using P = decltype(proto);
        P pixel;
        LPixelAccess::Write(pixel, colour);
        auto* row = reinterpret_cast<P*>(first);
        std::fill(row, row + width, pixel);
    });
    if (!written) {
        if (mFormat.pixelFormat != LPixelFormatI8)
            return LProcessResultError; // the 4-bit format has no writer
        std::memset(first, colour.b, size_t(width));
    }

    const int step = std::max(mFormat.height / 100, 500);
    const size_t stride = size_t(mFormat.stride);
    // 4-byte pixels in rows without padding: the rest is one 32-bit pattern, written in runs of
    // rows between the stop tests.
    if (LPixelFormatBytesPerPixel(mFormat.pixelFormat) == 4 && stride == size_t(width) * 4) {
        uint32_t pattern;
        std::memcpy(&pattern, first, 4);
        for (int row = 1; row < mFormat.height;) {
            // The next row whose running count + 1 is a multiple of step: ask before it.
            const int64_t next = (int64_t(row + 1) / step + 1) * step - 1;
            const int end = int(std::min<int64_t>(next, mFormat.height));
            LPixelRows::Fill32(reinterpret_cast<uint32_t*>(GetRow(row)), pattern,
                size_t(end - row) * size_t(width));
            row = end;
            if (row < mFormat.height && job.IsToStop())
                return LProcessResultStopped;
        }
        return LProcessResultSuccess;
    }
    unsigned char* row = first;
    for (int count = 1; count < mFormat.height; ++count) {
        if ((count + 1) % step == 0 && job.IsToStop())
            return LProcessResultStopped;
        row += stride;
        std::memcpy(row, first, stride);
    }
    return LProcessResultSuccess;
}

// ---- copies ----

bool LImageBufferAllocateAndCopy(LImageBuffer& dst, const LImageBuffer& src)
{
    if (!src.HasStore() || &dst == &src)
        return false;
    const LImageFormat& s = src.GetFormat();
    const LImageFormat& d = dst.GetFormat();
    if (!(dst.IsValid() && d.pixelFormat == s.pixelFormat && d.width == s.width
            && d.height == s.height))
        dst.AllocateNewBuffer(s);
    if (!dst.IsValid())
        return false;
    LImageBufferCopy(dst, src);
    return true;
}

void LImageBufferCopy(LImageBuffer& dst, const LImageBuffer& src)
{
    if (!dst.HasStore() || !src.HasStore() || dst.GetStore() == src.GetStore())
        return;
    if (!dst.GetData() || !src.GetData())
        return;
    const LImageFormat& d = dst.GetFormat();
    const LImageFormat& s = src.GetFormat();
    if (d.pixelFormat != s.pixelFormat || d.width != s.width || d.height != s.height)
        return;
    if (d.width < 1 || d.height < 1)
        return;
    if (d.bottomUp == s.bottomUp && d.stride == s.stride) {
        const uint64_t bytes = s.stride * uint64_t(s.height);
        if (bytes <= kLImageBufferMaxBytes && bytes <= src.GetStore()->GetSize()
            && bytes <= dst.GetStore()->GetSize())
            std::memcpy(dst.GetData(), src.GetData(), bytes);
        return;
    }
    const uint64_t rowBytes = s.RowBytes();
    if (d.stride < rowBytes || s.stride < rowBytes)
        return;
    if (uint64_t(s.height) * s.stride > src.GetStore()->GetSize()
        || uint64_t(d.height) * d.stride > dst.GetStore()->GetSize())
        return;
    // Row by row in picture order, so that buffers stored the opposite way round still hold the
    // same picture.
    for (int y = 0; y < s.height; ++y)
        std::memcpy(dst.GetPictureRow(y), src.GetPictureRow(y), rowBytes);
}
