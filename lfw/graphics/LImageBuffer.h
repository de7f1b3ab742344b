// The image buffer: a format record and an owned, 64-byte-aligned pixel store.
#pragma once

#include "lfw/gen/LProcess.h"
#include "lfw/graphics/LImageFormat.h"

#include <cstddef>
#include <cstdint>

// The largest pixel block a buffer accepts (height x stride).
inline constexpr uint64_t kLImageBufferMaxBytes = 0xFFFFFFFEull;

// A block of pixel memory owned by one buffer.
class LImageBufferStore {
public:
    virtual ~LImageBufferStore() = default;
    // True when this store can hold a block of the given size for a store of the given kind.
    virtual bool IsCompatibleStore(int storeID, long size) const = 0;
    virtual int GetStoreID() const = 0;
    // True when the store may be handed from one buffer to another.
    virtual bool IsAssignable() const = 0;

    unsigned char* GetData() const { return mData; }
    uint64_t GetSize() const { return mSize; }

protected:
    unsigned char* mData = nullptr; // aligned to 64 bytes
    uint64_t mSize = 0;
};

// The heap store: a block aligned to 64 bytes, in ordinary pages (no huge pages are asked for).
class LImageBufferStoreHeap final : public LImageBufferStore {
public:
    static constexpr int kStoreID = 1;

    // Allocates size bytes (no block for 0); GetData() is null when the allocation failed.
    explicit LImageBufferStoreHeap(uint64_t size);
    ~LImageBufferStoreHeap() override;
    LImageBufferStoreHeap(const LImageBufferStoreHeap&) = delete;
    LImageBufferStoreHeap& operator=(const LImageBufferStoreHeap&) = delete;

    // True for the heap kind when size <= store size and store size / 2 <= size.
    bool IsCompatibleStore(int storeID, long size) const override;
    int GetStoreID() const override { return kStoreID; }
    bool IsAssignable() const override { return true; }

private:
    unsigned char* mBlock = nullptr;
};

class LImageBuffer {
public:
    LImageBuffer() = default;
    // An empty buffer, then AllocateNewBuffer(format).
    explicit LImageBuffer(const LImageFormat& format);
    ~LImageBuffer();
    LImageBuffer(const LImageBuffer&) = delete;
    LImageBuffer& operator=(const LImageBuffer&) = delete;
    // Moves take the format and the store; the source is left empty.
    LImageBuffer(LImageBuffer&& other) noexcept;
    LImageBuffer& operator=(LImageBuffer&& other) noexcept;

    const LImageFormat& GetFormat() const { return mFormat; }
    pixelformat_t GetPixelFormat() const { return mFormat.pixelFormat; }
    int GetWidth() const { return mFormat.width; }
    int GetHeight() const { return mFormat.height; }
    uint64_t GetStride() const { return mFormat.stride; }
    bool IsBottomUp() const { return mFormat.bottomUp; }

    // The store's data pointer; null without a store.
    unsigned char* GetData() { return mStore ? mStore->GetData() : nullptr; }
    const unsigned char* GetData() const { return mStore ? mStore->GetData() : nullptr; }
    // The stored row (0 = first stored row); no range check.
    unsigned char* GetRow(int storedRow)
    {
        return GetData() + uint64_t(storedRow) * mFormat.stride;
    }
    const unsigned char* GetRow(int storedRow) const
    {
        return GetData() + uint64_t(storedRow) * mFormat.stride;
    }
    // The row of the picture (0 = top), whichever way the rows are stored.
    unsigned char* GetPictureRow(int y)
    {
        return GetRow(mFormat.bottomUp ? mFormat.height - 1 - y : y);
    }
    const unsigned char* GetPictureRow(int y) const
    {
        return GetRow(mFormat.bottomUp ? mFormat.height - 1 - y : y);
    }

    // Sets both resolutions (pixels per metre) of the format.
    void SetResolution(int32_t horizontal, int32_t vertical)
    {
        mFormat.horizontalResolution = horizontal;
        mFormat.verticalResolution = vertical;
    }

    bool HasStore() const { return mStore != nullptr; }
    const LImageBufferStore* GetStore() const { return mStore; }
    // A store, a pixel format, width and height of at least 1 and a stride of at least a row.
    bool IsValid() const;

    // Takes the format and a store for it; a store between the size and twice the size is kept
    // (with its old pixels). The pixels are not initialised. A size above kLImageBufferMaxBytes
    // or a stride too small for a row leaves the format set and no store; a failed allocation
    // or a size of 0 leaves the buffer empty.
    void AllocateNewBuffer(const LImageFormat& format);
    // Moves other into this buffer; other is always left empty. An invalid other leaves this
    // buffer unchanged.
    void Assign(LImageBuffer& other);
    // Back to empty: format -1, sizes 0, no store.
    void Reset();

    // Fills every pixel with one colour. 0 done, 1 stopped (rows not yet reached keep their
    // content), 2 for an invalid buffer or a format that cannot be written (the 4-bit format).
    LProcessResult Clear(LProcessInterface& job, const LPixelColour& colour);

private:
    void ResetFormat();

    LImageFormat mFormat;
    LImageBufferStore* mStore = nullptr;
};

// A deep copy: false when src has no store or dst cannot be allocated.
bool LImageBufferAllocateAndCopy(LImageBuffer& dst, const LImageBuffer& src);
// Copies the pixels between two allocated buffers of the same format and size; nothing when they
// differ. Buffers of opposite row order are copied in picture order.
void LImageBufferCopy(LImageBuffer& dst, const LImageBuffer& src);
