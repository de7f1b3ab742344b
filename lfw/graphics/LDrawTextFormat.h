// The layout record of text drawing and measuring: alignments, wrapping and trimming.
#pragma once

#include <cstdint>

// A cell of the 3 x 3 alignment grid, row by row from the top left: 0 top left, 1 top, 2 top
// right, 3 left, 4 centre, 5 right, 6 bottom left, 7 bottom, 8 bottom right; -1 for none.
using LAlignment = int32_t;

enum LAlignmentX : int32_t {
    LAlignmentXLeft = 0,
    LAlignmentXCenter = 1,
    LAlignmentXRight = 2,
    // any other value: the natural alignment of the text's direction
};

enum LAlignmentY : int32_t {
    LAlignmentYTop = 0,
    LAlignmentYCenter = 1,
    LAlignmentYBottom = 2,
};

enum LTextWrapping : int32_t {
    LTextWrappingNone = 0,
    LTextWrappingWord = 1,
};

enum LTextTrimming : int32_t {
    LTextTrimmingNone = 0,
    LTextTrimmingCharacter = 1,
    LTextTrimmingWord = 2,
    LTextTrimmingEllipsis = 3,
};

struct LDrawTextFormat {
    LAlignmentX alignX = LAlignmentXLeft;
    LAlignmentY alignY = LAlignmentYTop;
    LTextWrapping wrapping = LTextWrappingNone;
    LTextTrimming trimming = LTextTrimmingNone;
    // Carried along, read by no operation.
    int32_t reserved1 = 0;
    bool reserved2 = true;
    int64_t reserved3 = 0;

    LDrawTextFormat() = default;
    LDrawTextFormat(LAlignmentX x, LAlignmentY y, LTextWrapping w, LTextTrimming t)
        : alignX(x)
        , alignY(y)
        , wrapping(w)
        , trimming(t)
    {
    }
};
