// The stroke style of outlines: cap, join, dash pattern and mitre limit. Dash lengths are
// multiples of the line width.
#pragma once

#include <cstdint>
#include <vector>

enum LLineCap : uint32_t { LLineCapFlat = 0, LLineCapSquare = 1, LLineCapRound = 2 };
enum LLineJoin : uint32_t { LLineJoinMiter = 0, LLineJoinBevel = 1, LLineJoinRound = 2 };
enum LDashStyle : uint32_t {
    LDashStyleSolid = 0,
    LDashStyleDash = 1,
    LDashStyleDot = 2,
    LDashStyleDashDot = 3,
    LDashStyleDashDotDot = 4,
    LDashStyleCustom = 5,
};

inline constexpr int kLLineStyleMaxDashes = 20;

class LLineStyle {
public:
    uint32_t lineCap = LLineCapFlat;
    uint32_t secondCap = 0; // kept, not read
    uint32_t dashCap = 0; // 1: rounded caps on dashes
    uint32_t lineJoin = LLineJoinMiter;
    uint32_t dashStyle = LDashStyleSolid;
    float mitreLimit = 10.0f;
    float dashPhase = 0.0f;

    // The style keeps its own copy of the lengths (alternately on and off).
    void SetCustomDashes(const float* dashes, unsigned long count)
    {
        mDashes.assign(dashes, dashes ? dashes + count : dashes);
    }
    const float* GetCustomDashes() const { return mDashes.empty() ? nullptr : mDashes.data(); }
    uint64_t GetCustomDashCount() const { return mDashes.size(); }

    // The stroke set-up this style gives a line of width w (already the hairline width when the
    // caller asked for 0): the cap (LLineCap), the dash lengths (count 0: solid) and the phase.
    struct Stroke {
        uint32_t cap = LLineCapFlat;
        double dashes[kLLineStyleMaxDashes] = {};
        int dashCount = 0;
        double phase = 0;
    };
    Stroke ComputeStroke(double w) const;

private:
    std::vector<float> mDashes;
};
