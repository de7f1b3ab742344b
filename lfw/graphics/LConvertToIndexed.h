// Conversion to indexed colour: every pixel of a true-colour image is mapped to the nearest entry
// of a palette, directly or with Floyd-Steinberg error diffusion, into an 8-bit indexed image.
// Pixels of alpha 0 take the palette's transparent index when it has one; no other pixel does.
#pragma once

#include "lfw/gen/LProcess.h"
#include "lfw/graphics/LImageBuffer.h"
#include "lfw/graphics/LPalette.h"

#include <cstdint>
#include <vector>

template <class T> struct LProcessConvertImageToIndexed {
    LProcessConvertImageToIndexed(const LImageBuffer& source_, const LPalette<T>& palette_,
        LImageBuffer& destination_, int dithering_)
        : source(source_)
        , palette(palette_)
        , destination(destination_)
        , dithering(dithering_)
    {
    }

    const LImageBuffer& source;
    const LPalette<T>& palette; // 1 to 256 entries
    LImageBuffer& destination; // reallocated as I8 of the source's size
    int dithering; // 1: Floyd-Steinberg, any other value none
};

// 0 done; 1 stopped (the destination partly written); 2 for an invalid source ("Ogiltig
// källbild"), a palette of no entries or of more than 256 ("Ogiltig färgpalett") or a
// destination that cannot be allocated ("Ogiltig målbild").
template <class T>
LProcessResult Process(LProcessInterface& job, LProcessConvertImageToIndexed<T>& r);

// 64 palette indices of one 6-bit colour cell, and which of them are known.
struct LColorMapIndexedBlock {
    uint64_t known = 0;
    uint8_t index[64];
};

// The nearest palette index of each colour, looked up once and kept: a table of 64 x 64 x 64
// cells (by the top six bits of each channel) whose blocks are made when first used.
template <class T> class LColorMapCacheTable {
public:
    static constexpr uint64_t kBlockCount = 262144;

    // Without memory for the table every look-up searches the palette.
    explicit LColorMapCacheTable(const LPalette<T>& palette);
    virtual ~LColorMapCacheTable();
    LColorMapCacheTable(const LColorMapCacheTable&) = delete;
    LColorMapCacheTable& operator=(const LColorMapCacheTable&) = delete;

    // The palette index nearest to the colour (the palette holds at most 256 entries).
    uint32_t GetClosestMatchedIndex(const T& colour)
    {
        if (!mBlockCount)
            return Search(colour);
        const uint32_t block = uint32_t(colour.b & mHighMask) << 10
            | uint32_t(colour.g & mHighMask) << 4 | uint32_t(colour.r & mHighMask) >> 2;
        const unsigned position = unsigned(colour.b & mLowMask) << 4
            | unsigned(colour.g & mLowMask) << 2 | unsigned(colour.r & mLowMask);
        LColorMapIndexedBlock* b = mBlocks[block];
        if (b && (b->known >> position & 1))
            return b->index[position];
        return Fill(block, position, colour);
    }

private:
    uint32_t Fill(uint32_t block, unsigned position, const T& colour);
    // The palette search: the first of the nearest entries, as the palette's own search finds
    // it, among the entries that can be nearest to some colour of the colour's 16 x 16 x 16
    // region (listed when the region is first met).
    uint32_t Search(const T& colour);
    void ListCandidates(unsigned region);

    struct Entry {
        int16_t r, g, b;
        uint16_t index;
    };
    const LPalette<T>& mPalette;
    Entry mEntries[256]; // the entries but the transparent one, in palette order
    int mEntryCount = 0;
    // The same by channel (R, G, B); the places after the last entry lie kAway.
    static constexpr float kAway = 4096;
    float mChannel[3][256];
    // Per region: whether listed, and where its candidates lie in mCandidates.
    std::vector<uint32_t> mRegionStart;
    std::vector<uint16_t> mRegionCount;
    // The same for regions of 32 x 32 x 32: the candidates' channels, four at a time (each list
    // filled to a multiple of four with places kAway), and their places in mEntries.
    std::vector<uint32_t> mCoarseStart;
    std::vector<uint16_t> mCoarseCount;
    std::vector<float> mCoarse[3];
    std::vector<uint8_t> mCoarseEntry;
    std::vector<uint8_t> mCandidates; // places in mEntries
    LColorMapIndexedBlock** mBlocks = nullptr;
    uint64_t mBlockCount = 0;
    std::vector<uint32_t> mMadeBlocks; // where mBlocks holds a block
    uint8_t mLowMask = 3;
    uint8_t mHighMask = 0xFC;
};
