// Portable bitmaps, greymaps and pixmaps: P1 to P6 read and written.
//
// Reading gives a top-down B8G8R8 buffer; samples are scaled from maxval to 255 (samples above
// maxval count as maxval). Writing takes the variant and, for bitmaps, a grey-level threshold;
// greymaps and pixmaps are written with maxval 255.
#pragma once

#include "lfw/gen/LProcess.h"
#include "lfw/graphics/LImageBuffer.h"

#include <cstdint>

// P1 to P6 as 0 to 5.
enum LPNM_FileType : int32_t {
    LPNM_P1 = 0, // bitmap, text
    LPNM_P2 = 1, // greymap, text
    LPNM_P3 = 2, // pixmap, text
    LPNM_P4 = 3, // bitmap, raw
    LPNM_P5 = 4, // greymap, raw
    LPNM_P6 = 5, // pixmap, raw
};

template <class S> struct LProcessPNMLoad {
    LProcessPNMLoad(S& s, LImageBuffer& b)
        : stream(s)
        , buffer(b)
    {
    }
    S& stream;
    LImageBuffer& buffer;
    // The file's bits per pixel: 1 for bitmaps, 8 or 16 for greymaps, 24 or 48 for pixmaps.
    int32_t result = 0;
};

template <class S> struct LProcessPNMSave {
    LProcessPNMSave(const LImageBuffer& b, uint32_t v, uint32_t t, S& s)
        : buffer(b)
        , variant(v)
        , threshold(t)
        , stream(s)
    {
    }
    const LImageBuffer& buffer;
    uint32_t variant; // 0-5 for P1-P6
    uint32_t threshold; // bitmaps: grey levels below it are black
    S& stream;
};

template <class S> LProcessResult Process(LProcessInterface& job, LProcessPNMLoad<S>& r);
template <class S> LProcessResult Process(LProcessInterface& job, LProcessPNMSave<S>& r);
