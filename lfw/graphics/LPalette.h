// A colour palette: an owned array of entries (a pixel structure with r, g and b bytes, B8G8R8
// for the framework's indexed images), their count and the index of the transparent entry.
#pragma once

#include "lfw/gen/LArray.h"
#include "lfw/graphics/LImageFormat.h"

#include <cstdint>

template <class T> class LPalette {
public:
    static constexpr uint32_t kNoTransparentIndex = 0xFFFFFFFF;

    LPalette() = default;
    LPalette(const LPalette&) = delete;
    LPalette& operator=(const LPalette&) = delete;

    const T* GetEntries() const { return mEntries.GetData(); }
    T* GetEntries() { return mEntries.GetData(); }
    uint64_t GetCount() const { return mEntries.GetSize(); }
    const T& operator[](uint64_t i) const { return mEntries[i]; }
    T& operator[](uint64_t i) { return mEntries[i]; }

    uint32_t GetTransparentIndex() const { return mTransparentIndex; }
    void SetTransparentIndex(uint32_t index) { mTransparentIndex = index; }
    // True when the transparent index names one of the entries.
    bool HasTransparentIndex() const
    {
        return mTransparentIndex != kNoTransparentIndex && mTransparentIndex < GetCount();
    }

    // Replaces the entries as a whole by count entries of unspecified colour (false, and no
    // entries, when the memory cannot be had). The transparent index is kept.
    bool SetCount(uint64_t count)
    {
        if (!mEntries.SetArrayCapacityLarge(size_t(count))) {
            mEntries.SetSize(0);
            return false;
        }
        mEntries.SetSize(size_t(count));
        return true;
    }
    // Replaces the entries by a copy of count entries.
    bool SetEntries(const T* entries, uint64_t count)
    {
        if (!mEntries.Assign(entries, size_t(count))) {
            mEntries.SetSize(0);
            return false;
        }
        return true;
    }
    // Appends one entry (the array is replaced by one longer by one); false when out of memory.
    bool Append(const T& entry)
    {
        const uint64_t n = GetCount();
        LSizedArray<T> grown;
        if (!grown.SetArrayCapacityLarge(size_t(n + 1)))
            return false;
        for (uint64_t i = 0; i < n; ++i)
            grown[i] = mEntries[i];
        grown[n] = entry;
        grown.SetSize(size_t(n + 1));
        mEntries = std::move(grown);
        return true;
    }
    // No entries and no transparent index.
    void Clear()
    {
        mEntries.Free();
        mTransparentIndex = kNoTransparentIndex;
    }

    // The entry nearest to the colour by squared distance in R, G and B, skipping the transparent
    // entry: the first of equally near entries, an exact match ending the search at once.
    // kNoTransparentIndex (0xFFFFFFFF) for an empty palette.
    uint32_t GetIndexOfClosestMatch(const T& colour) const
    {
        const uint64_t n = GetCount();
        if (n == 0)
            return kNoTransparentIndex;
        uint32_t best = kNoTransparentIndex;
        uint32_t bestScore = UINT32_MAX;
        const T* e = GetEntries();
        for (uint64_t i = 0; i < n; ++i) {
            if (i == mTransparentIndex)
                continue;
            const int dr = int(e[i].r) - int(colour.r);
            const int dg = int(e[i].g) - int(colour.g);
            const int db = int(e[i].b) - int(colour.b);
            const uint32_t score = uint32_t(dr * dr + dg * dg + db * db);
            if (score < bestScore) {
                bestScore = score;
                best = uint32_t(i);
                if (score == 0)
                    break;
            }
        }
        // A palette of the transparent entry alone: that entry is all there is.
        return best == kNoTransparentIndex ? 0 : best;
    }

private:
    LSizedArray<T> mEntries;
    uint32_t mTransparentIndex = kNoTransparentIndex;
};

inline bool operator==(const LPFB8G8R8& a, const LPFB8G8R8& b)
{
    return a.b == b.b && a.g == b.g && a.r == b.r;
}
