// Variable-width LZW compression as GIF uses it (codes packed least significant bit first), and
// with the most-significant-bit-first packing other formats use.
#pragma once

#include <cstddef>
#include <cstdint>

#include "lfw/gen/LArray.h"
#include "lfw/gen/LProcess.h"

// One dictionary entry: the byte that extends its prefix, the code of its first longer string
// and the next code with the same prefix (0 = none for both links).
struct LLZWCode {
    uint16_t value;
    uint16_t firstChild;
    uint16_t nextSibling;
};

// The string table of one encoding: 2^12 entries linked as first child / next sibling.
class LLZWEncodingDictionary {
public:
    static constexpr int kMaximumBits = 12;

    explicit LLZWEncodingDictionary(int firstFreeCode)
        : m_firstFree(firstFreeCode)
    {
    }

    // Forgets every string longer than one byte; allocates the table on first use (false when
    // that fails).
    bool Reset();
    // Looks for the string prefix + byte: true with found set when it exists; otherwise it gets
    // the next code (linked under prefix) and the result is false.
    bool Update(int& found, int prefix, uint8_t byte);

    int GetNextCode() const { return m_nextCode; }

private:
    LSizedArray<LLZWCode> m_codes;
    int m_firstFree;
    int m_nextCode = 0;
};

class LLZWCodec {
public:
    // initialCodeWidth: bits of the first codes; endCode and clearCode: the two special codes;
    // earlyChange: added to the next free code in the width and table-full tests.
    LLZWCodec(int initialCodeWidth, int endCode, int clearCode, int earlyChange)
        : m_initialCodeWidth(initialCodeWidth)
        , m_endCode(endCode)
        , m_clearCode(clearCode)
        , m_earlyChange(earlyChange)
    {
    }
    // The parameters of a GIF image with the given minimum code size (2 to 8).
    static LLZWCodec ForGIF(int minimumCodeSize)
    {
        return LLZWCodec(minimumCodeSize + 1, (1 << minimumCodeSize) + 1, 1 << minimumCodeSize, 0);
    }

    // Compresses length bytes (each below the clear code) into output, whose size becomes the
    // byte count: 0 done, 1 stopped (IsToStop), 2 failed (no data, a byte out of range, bad
    // parameters or no memory). A stopped or failed run leaves output as it was (emptied only
    // when its own allocation fails). Codes start with a clear code and end with the end code;
    // leastSignificantFirst packs as GIF does. Stop requests and progress are looked at once per
    // 4096 bytes.
    LProcessResult Encode(LProcessInterface& process, LSizedArray<unsigned char>& output,
        const unsigned char* data, size_t length, bool leastSignificantFirst) const;

    int GetInitialCodeWidth() const { return m_initialCodeWidth; }
    int GetEndCode() const { return m_endCode; }
    int GetClearCode() const { return m_clearCode; }
    int GetEarlyChange() const { return m_earlyChange; }

private:
    int m_initialCodeWidth;
    int m_endCode;
    int m_clearCode;
    int m_earlyChange;
};
