// The brush description of documents (saved in project files) and the editor's gradient stops.
#pragma once

#include "lfw/gen/LList.h"
#include "lfw/mac/LGuiColor.h"

#include <cstdint>

enum LBrushInfoKind : uint32_t {
    LBrushInfoKindNone = 0,
    LBrushInfoKindSolid = 1,
    LBrushInfoKindLinearGradient = 2,
    LBrushInfoKindRadialGradient = 3,
};

inline constexpr int kLBrushInfoMaxStops = 20;

struct LBrushInfo {
    uint32_t kind = LBrushInfoKindNone; // other values than 1..3 describe no brush
    LGuiColorAlpha color; // the solid colour
    // linear: start x, start y, end x, end y; radial: centre x, centre y, radius x, radius y
    float geometry[4] = {};
    float stopPositions[kLBrushInfoMaxStops] = {};
    LGuiColorAlpha stopColors[kLBrushInfoMaxStops];
    uint32_t stopCount = 0; // at most 20

    // Further fields the drawing code does not read; kept with their defaults.
    uint32_t reserved1 = 1;
    struct Group {
        float scale = 1.0f;
        float values[4] = {};
    } reservedGroups[3];
    float reserved2 = 1.0f;
    bool reservedFlag1 = false;
    bool reservedFlag2 = false;
};

// An editable gradient stop of the document layer.
struct VTGradientStop : LListable<VTGradientStop> {
    float position = 0;
    LGuiColorAlpha color;

    VTGradientStop() = default;
    VTGradientStop(float p, const LGuiColorAlpha& c)
        : position(p)
        , color(c)
    {
    }
};

// Stop lists sort by position, the first stop at the top.
template <> struct LListOrder<VTGradientStop> {
    static bool SortsAfter(const VTGradientStop& a, const VTGradientStop& b)
    {
        return a.position > b.position;
    }
};

// Fills the stops of a gradient description from the editor's stop list: a stop at 0 with the
// first colour, the first (at most 18) stops of the list, and a stop at 1 with the last colour
// taken. An empty list leaves the description unchanged. Kind and geometry are untouched.
void CCMakeStopPoints(LBrushInfo& brush, const LList<VTGradientStop>& stops);
