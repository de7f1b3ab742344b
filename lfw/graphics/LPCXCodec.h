// ZSoft PCX images: 1-bit monochrome, 8-bit paletted and 24-bit (three planes) files, plain or
// run-length encoded, are read into a top-down B8G8R8 buffer; files are written as 24-bit,
// three planes, run-length encoded. The readers exist for LInputStreamFile and
// LInputStreamBuffer, the writers for LOutputStreamFile and LOutputStreamByteArray.
#pragma once

#include "lfw/gen/LProcess.h"
#include "lfw/graphics/LImageBuffer.h"

#include <cstdint>
#include <vector>

// The 128-byte file header (little-endian in the file).
struct LCODEC_PCX_Header {
    uint8_t manufacturer = 0x0A;
    uint8_t version = 5;
    uint8_t encoding = 1; // 0 none, anything else run-length
    uint8_t bitsPerPixel = 8; // per plane
    uint16_t xMin = 0;
    uint16_t yMin = 0;
    uint16_t xMax = 0;
    uint16_t yMax = 0;
    uint16_t hDpi = 0;
    uint16_t vDpi = 0;
    uint8_t colourMap[48] = {};
    uint8_t reserved = 0;
    uint8_t planes = 3;
    uint16_t bytesPerLine = 0; // per plane
    uint16_t paletteInfo = 1;
    uint8_t filler[58] = {};
};

// Run-length coding of one plane of the rows being written: runs of up to 63 equal bytes.
class LPCXRLEEncoder {
public:
    // A buffer for one row of the plane: twice its bytes and one more.
    bool Init(size_t capacity);
    void AppendValue(uint8_t value)
    {
        ++mCount;
        if (mRunLength && value == mRunValue) {
            if (++mRunLength == 63)
                EncodeRun();
            return;
        }
        EncodeRun();
        mRunValue = value;
        mRunLength = 1;
    }
    // Emits the pending run: a single byte below 0xC0 bare, anything else as 0xC0 | length and
    // the value.
    void EncodeRun();
    // Emits the pending run, pads the row to an even number of bytes with a zero byte and
    // writes it out.
    template <class S> LProcessResult WriteRow(S& stream);

private:
    std::vector<uint8_t> mBuffer;
    size_t mFilled = 0;
    size_t mCount = 0; // values appended in this row
    uint8_t mRunValue = 0;
    unsigned mRunLength = 0;
};

template <class S> struct LProcessPCXLoad {
    LProcessPCXLoad(S& s, LImageBuffer& b)
        : stream(s)
        , buffer(b)
    {
    }
    LProcessResult HeaderLoad(LCODEC_PCX_Header& header);

    S& stream;
    LImageBuffer& buffer;
    int32_t result = 0; // bits per plane x planes: 1, 8 or 24
};

template <class S> struct LProcessPCXSave {
    LProcessPCXSave(const LImageBuffer& b, S& s)
        : buffer(b)
        , stream(s)
    {
    }
    LProcessResult HeaderSave(const LCODEC_PCX_Header& header);

    const LImageBuffer& buffer;
    S& stream;
};

template <class S> LProcessResult Process(LProcessInterface& job, LProcessPCXLoad<S>& r);
template <class S> LProcessResult Process(LProcessInterface& job, LProcessPCXSave<S>& r);
