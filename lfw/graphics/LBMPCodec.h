// Windows bitmaps: BMP files (a 14-byte file header around a DIB) and bare DIBs.
//
// Reading takes 1, 4, 8, 16, 24 and 32 bits per pixel, RLE8 and RLE4, bit-field masks, and rows
// stored bottom-up or top-down; the buffer comes out top-down, B8G8R8A8 for 32-bit files and
// B8G8R8 for the rest. Writing makes a 24-bit DIB with a 40-byte header or a 32-bit one with a
// 124-byte header and masks. The readers exist for LInputStreamFile and LInputStreamBuffer, the
// writers for LOutputStreamFile and LOutputStreamByteArray.
#pragma once

#include "lfw/gen/LProcess.h"
#include "lfw/graphics/LImageBuffer.h"

#include <cstdint>

struct LCODEC_BMP_Header {
    uint16_t signature = 0; // "BM"
    uint32_t fileSize = 0;
    uint32_t offset = 0; // of the pixel data from the start of this header
};

struct LCODEC_DIB_Header {
    uint32_t size = 0; // 12, or 40 and more
    int32_t width = 0;
    int32_t height = 0; // negative: the top row is stored first
    uint16_t planes = 0;
    uint16_t bitsPerPixel = 0;
    uint32_t compression = 0; // 0 none, 1 RLE8, 2 RLE4, 3 bit fields
    uint32_t imageSize = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t coloursUsed = 0;
    uint32_t coloursImportant = 0;
    uint32_t redMask = 0;
    uint32_t greenMask = 0;
    uint32_t blueMask = 0;
    uint32_t alphaMask = 0;
};

// One channel of a bit-field pixel. Masks are worked in 64 bits, so a channel of all 32 bits
// scales without overflow.
struct LCODEC_DIB_MaskCode {
    uint32_t low = 33; // lowest set bit (33 for an empty mask)
    uint32_t high = 0; // highest set bit
    uint32_t mask = 0;

    void Init(uint32_t m);
    bool IsEmpty() const { return mask == 0; }
    // The channel value 0-255 of a pixel word.
    uint8_t Read(uint32_t value) const;
};

template <class S> struct LProcessBMPLoad {
    LProcessBMPLoad(S& s, LImageBuffer& b)
        : stream(s)
        , buffer(b)
    {
    }
    LProcessResult HeaderLoad(LCODEC_BMP_Header& header);

    S& stream;
    LImageBuffer& buffer;
    uint32_t result = 0; // the file's bits per pixel
};

template <class S> struct LProcessDIBLoad {
    LProcessDIBLoad(S& s, uint64_t position, LImageBuffer& b)
        : stream(s)
        , pixelDataPosition(position)
        , buffer(b)
    {
    }
    LProcessResult HeaderLoad(LCODEC_DIB_Header& header);

    S& stream;
    uint64_t pixelDataPosition; // 0: the pixels follow the palette
    LImageBuffer& buffer;
    uint32_t result = 0;
};

template <class S> struct LProcessBMPSave {
    LProcessBMPSave(const LImageBuffer& b, uint32_t kind, uint32_t background, S& s)
        : buffer(b)
        , outputKind(kind)
        , backgroundColour(background)
        , stream(s)
    {
    }
    LProcessResult HeaderSave(const LCODEC_BMP_Header& header);

    const LImageBuffer& buffer;
    uint32_t outputKind; // 0: 24 bits per pixel, alpha flattened; 1: 32 bits per pixel
    uint32_t backgroundColour; // B, G, R in the low three bytes
    S& stream;
    // 24 bits only: the colours are written as they are, whatever their alpha.
    bool ignoreAlpha = false;
};

template <class S> struct LProcessDIBSave {
    LProcessDIBSave(const LImageBuffer& b, uint32_t kind, S& s)
        : buffer(b)
        , outputKind(kind)
        , stream(s)
    {
    }
    // Writes header.size bytes (40 to 124): the fields, then the masks and, from 108 bytes on,
    // the sRGB colour-space tag as far as the size reaches. 2 for other sizes or a short write.
    LProcessResult HeaderSave(const LCODEC_DIB_Header& header);

    const LImageBuffer& buffer;
    uint32_t outputKind; // 0: 32 bits per pixel; 1: 24 bits per pixel
    S& stream;
    uint32_t result = 0; // palette entries written
};

template <class S> LProcessResult Process(LProcessInterface& job, LProcessBMPLoad<S>& r);
template <class S> LProcessResult Process(LProcessInterface& job, LProcessDIBLoad<S>& r);
template <class S> LProcessResult Process(LProcessInterface& job, LProcessBMPSave<S>& r);
template <class S> LProcessResult Process(LProcessInterface& job, LProcessDIBSave<S>& r);
