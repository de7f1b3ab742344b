// Wireless bitmaps (WBMP type 0): one bit per pixel, 1 white and 0 black. Reading gives a
// top-down B8G8R8 buffer of black and white; writing turns any image into black and white by its
// luminance, dithering the mid-tones with a mix of an ordered pattern and random thresholds. The
// readers exist for LInputStreamFile and LInputStreamBuffer, the writers for LOutputStreamFile
// and LOutputStreamByteArray.
#pragma once

#include "lfw/gen/LProcess.h"
#include "lfw/graphics/LImageBuffer.h"

#include <cstdint>

template <class S> struct LProcessWBMPLoad {
    LProcessWBMPLoad(S& s, LImageBuffer& b)
        : stream(s)
        , buffer(b)
    {
    }
    // Groups of 7 bits, most significant first, bit 7 set on every byte but the last. 2 on a
    // short read and for values above 2^28, which no image this size can have.
    LProcessResult ReadMultiByteInteger(uint32_t& value);

    S& stream;
    LImageBuffer& buffer;
    int32_t result = 0; // 2 after a successful read
};

template <class S> struct LProcessWBMPSave {
    LProcessWBMPSave(const LImageBuffer& b, S& s)
        : buffer(b)
        , stream(s)
    {
    }
    // At most four groups (values below 2^28), leading zero groups left out.
    LProcessResult WriteMultiByteInteger(uint32_t value);

    const LImageBuffer& buffer;
    S& stream;
};

template <class S> LProcessResult Process(LProcessInterface& job, LProcessWBMPLoad<S>& r);
template <class S> LProcessResult Process(LProcessInterface& job, LProcessWBMPSave<S>& r);
