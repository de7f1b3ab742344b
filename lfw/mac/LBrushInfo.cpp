#include "lfw/mac/LBrushInfo.h"

void CCMakeStopPoints(LBrushInfo& brush, const LList<VTGradientStop>& stops)
{
    if (stops.IsEmpty())
        return;
    uint32_t m = 0;
    const VTGradientStop* last = nullptr;
    for (const VTGradientStop& s : stops) {
        if (m == kLBrushInfoMaxStops - 2)
            break;
        brush.stopPositions[m + 1] = s.position;
        brush.stopColors[m + 1] = s.color;
        last = &s;
        ++m;
    }
    brush.stopPositions[0] = 0.0f;
    brush.stopColors[0] = stops.GetHead()->color;
    brush.stopPositions[m + 1] = 1.0f;
    brush.stopColors[m + 1] = last->color;
    brush.stopCount = m + 2;
}
