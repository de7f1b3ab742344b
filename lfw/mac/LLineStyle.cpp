#include "lfw/mac/LLineStyle.h"

#include <algorithm>

LLineStyle::Stroke LLineStyle::ComputeStroke(double w) const
{
    Stroke s;
    if (lineCap == LLineCapSquare)
        s.cap = LLineCapSquare;
    else if (lineCap == LLineCapRound)
        s.cap = LLineCapRound;
    else
        s.cap = LLineCapFlat;
    if (dashStyle != LDashStyleSolid && dashCap == 1)
        s.cap = LLineCapRound;
    bool flat = s.cap == LLineCapFlat;
    // With square or rounded caps each dash grows by half the width at both ends: on-lengths are
    // shortened and off-lengths lengthened by the width so that the visible pattern stays.
    auto set
        = [&](std::initializer_list<double> flatLengths, std::initializer_list<double> capLengths) {
              const auto& l = flat ? flatLengths : capLengths;
              s.dashCount = 0;
              for (double v : l)
                  s.dashes[s.dashCount++] = v * w;
              s.phase = flat ? dashPhase : dashPhase - w / 2;
          };
    switch (dashStyle) {
    case LDashStyleDash:
        set({ 3, 1 }, { 2, 2 });
        break;
    case LDashStyleDot:
        set({ 1, 1 }, { 0, 2 });
        break;
    case LDashStyleDashDot:
        set({ 3, 1, 1, 1 }, { 2, 2, 0, 2 });
        break;
    case LDashStyleDashDotDot:
        set({ 3, 1, 1, 1, 1, 1 }, { 2, 2, 0, 2, 0, 2 });
        break;
    case LDashStyleCustom: {
        int n = int(std::min<uint64_t>(mDashes.size(), kLLineStyleMaxDashes));
        for (int i = 0; i < n; ++i) {
            double d = double(mDashes[i]) * w;
            if (!flat)
                d = (i % 2 == 0) ? std::max(d - w, 0.0) : d + w;
            s.dashes[i] = d;
        }
        s.dashCount = n;
        s.phase = dashPhase;
        break;
    }
    default:
        s.dashCount = 0;
        s.phase = dashPhase;
        break;
    }
    return s;
}
