// Mirroring image buffers horizontally, vertically or both, into another buffer or in place.
//
// The flips work on stored rows: a vertical flip reverses the order of the stored rows whatever
// the buffer's bottom-up flag says. Pixel formats 0 to 5 are supported.
#pragma once

#include "lfw/gen/LProcess.h"
#include "lfw/graphics/LImageBuffer.h"

#include <cstdint>

enum LImgProFlipMode : uint32_t {
    LImgProFlipNone = 0,
    LImgProFlipModeHorizontal = 1,
    LImgProFlipModeVertical = 2,
    LImgProFlipModeHorizontalAndVertical = 3,
};

class LImgProFlip {
public:
    explicit LImgProFlip(uint32_t mode = LImgProFlipNone)
        : mMode(mode)
    {
    }

    // Mirrors source into destination (the same buffer object: in place). The destination of a
    // copy must have the source's pixel format, width and height. 0 done; 2 for another pixel
    // format than 0 to 5, a mode above 3 or an unfit destination.
    LProcessResult ProcessImage(LImageBuffer& destination, const LImageBuffer& source);
    // The same for a source of pixel structure P.
    template <class P>
    LProcessResult ProcessImage(LImageBuffer& destination, const LImageBuffer& source);

    uint32_t mMode;
};

// The three directions. The copying form runs the in-place form when both buffers are one.
struct LImgProFlipHorizontal {
    template <class P>
    static LProcessResult ProcessImage(LImageBuffer& destination, const LImageBuffer& source);
    template <class P> static LProcessResult ProcessImage(LImageBuffer& buffer);
};
struct LImgProFlipVertical {
    template <class P>
    static LProcessResult ProcessImage(LImageBuffer& destination, const LImageBuffer& source);
    template <class P> static LProcessResult ProcessImage(LImageBuffer& buffer);
};
struct LImgProFlipHorizontalAndVertical {
    template <class P>
    static LProcessResult ProcessImage(LImageBuffer& destination, const LImageBuffer& source);
    template <class P> static LProcessResult ProcessImage(LImageBuffer& buffer);
};
