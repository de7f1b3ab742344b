// Truevision TGA images. Reading takes colour-mapped, true-colour and greyscale files, plain or
// run-length encoded, with the origin in any corner, into a top-down buffer (B8G8R8A8 when the
// file has alpha, B8G8R8 otherwise). Writing picks the smallest of colour-mapped, true-colour
// and greyscale storage, tries run-length encoding and keeps plain data when encoding does not
// make the data smaller; written files have their origin at the top left. The readers exist for
// LInputStreamFile and LInputStreamBuffer, the writers for LOutputStreamFile and
// LOutputStreamByteArray.
#pragma once

#include "lfw/gen/LProcess.h"
#include "lfw/graphics/LImageBuffer.h"

#include <cstdint>

// The 18-byte file header (little-endian in the file).
struct LCODEC_TGA_Header {
    uint8_t idLength = 0;
    uint8_t colourMapType = 0; // 0 none, 1 present
    uint8_t imageType = 0; // low three bits 1 colour-mapped, 2 true colour, 3 grey; 8 run-length
    uint16_t colourMapFirst = 0;
    uint16_t colourMapLength = 0;
    uint8_t colourMapEntrySize = 0; // bits
    uint16_t xOrigin = 0;
    uint16_t yOrigin = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t depth = 0; // bits per pixel
    uint8_t descriptor = 0; // alpha bits; 0x10 origin at the right; 0x20 origin at the top
};

// How one stored value becomes a pixel.
enum LTGAPixelKind : int {
    LTGAPixelIndex = 1, // 1 byte, a colour-map index
    LTGAPixelGrey = 2, // 1 byte
    LTGAPixelGreyAlpha = 3, // grey byte, alpha byte
    LTGAPixel16 = 4, // 15- and 16-bit colour, 5 bits a channel, bit 15 ignored
    LTGAPixel24 = 5, // blue, green, red
    LTGAPixel32 = 6, // blue, green, red, alpha
};

template <class S> struct LProcessTGALoad {
    LProcessTGALoad(S& s, LImageBuffer& b)
        : stream(s)
        , buffer(b)
    {
    }
    LProcessResult HeaderLoad(LCODEC_TGA_Header& header);
    // The pixel of the stored bytes of one value of the kind. An index is looked up in the
    // palette of count entries; one the palette does not hold gives 2.
    static LProcessResult ReadPixel(int kind, const uint8_t* bytes, const LPixelColour* palette,
        uint32_t count, LPixelColour& out);

    S& stream;
    LImageBuffer& buffer;
    int32_t result = 0; // the header's pixel depth
};

template <class S> struct LProcessTGASave {
    enum ImageType : uint8_t {
        kColourMapped = 1,
        kTrueColour = 2,
        kGrey = 3,
    };

    LProcessTGASave(const LImageBuffer& b, S& s)
        : buffer(b)
        , stream(s)
    {
    }
    LProcessResult HeaderSave(const LCODEC_TGA_Header& header);

    const LImageBuffer& buffer;
    S& stream;
};

template <class S> LProcessResult Process(LProcessInterface& job, LProcessTGALoad<S>& r);
template <class S> LProcessResult Process(LProcessInterface& job, LProcessTGASave<S>& r);
