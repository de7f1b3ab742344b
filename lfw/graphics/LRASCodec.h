// Sun raster images: 1-, 8-, 24- and 32-bit files, plain or byte-run encoded, with or without a
// colour map, are read into a top-down buffer (B8G8R8A8 for 32 bits, B8G8R8 otherwise); files
// are written as plain 24-bit images without a colour map. The readers exist for
// LInputStreamFile and LInputStreamBuffer, the writers for LOutputStreamFile and
// LOutputStreamByteArray.
#pragma once

#include "lfw/gen/LProcess.h"
#include "lfw/graphics/LImageBuffer.h"

#include <cstdint>

template <class S> class LImageByteReader;

// The 32-byte header: eight big-endian 32-bit words.
struct LCODEC_RAS_Header {
    static constexpr uint32_t kMagic = 0x59A66A95;
    uint32_t magic = kMagic;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t depth = 24; // bits per pixel
    uint32_t length = 0; // of the image data; not relied on
    uint32_t type = 1; // 0 old, 1 standard, 2 byte-run encoded, 3 RGB order
    uint32_t mapType = 0; // 0 none, 1 red, green and blue planes
    uint32_t mapLength = 0; // bytes
};

template <class S> struct LProcessRASLoad {
    LProcessRASLoad(S& s, LImageBuffer& b)
        : stream(s)
        , buffer(b)
    {
    }
    LProcessResult HeaderLoad(LCODEC_RAS_Header& header);
    // One line of length bytes as the type stores it; false when the data end first or for an
    // unknown type.
    bool ReadScanLineData(LImageByteReader<S>& in, uint32_t type, uint8_t* line, size_t length);
    bool ReadLineRLEData(LImageByteReader<S>& in, uint8_t* line, size_t length);

    S& stream;
    LImageBuffer& buffer;
    int32_t result = 0; // 24 after a successful read, whatever the depth
    // The part of a run that did not fit the previous line.
    uint32_t runCount = 0;
    uint8_t runValue = 0;
};

template <class S> struct LProcessRASSave {
    LProcessRASSave(const LImageBuffer& b, S& s)
        : buffer(b)
        , stream(s)
    {
    }
    LProcessResult HeaderSave(const LCODEC_RAS_Header& header);

    const LImageBuffer& buffer;
    S& stream;
};

template <class S> LProcessResult Process(LProcessInterface& job, LProcessRASLoad<S>& r);
template <class S> LProcessResult Process(LProcessInterface& job, LProcessRASSave<S>& r);
