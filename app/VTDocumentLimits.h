// The bounds of document values read from files and painted: a length or position in
// millimetres beyond 100 m belongs to no design, and outlines of such sizes would cost the
// drawing code without end. Readers refuse such values; the renderer passes over anything
// beyond them that reached a document another way. Angles (rotations, the centre angle of a
// circular text) are kept to a thousand turns either way, where a float still tells hundredths
// of a degree apart.
#pragma once

#include <cmath>

inline constexpr float kVTMaxDocumentLength = 100000.0f;

inline bool VTIsPlausibleLength(float value)
{
    return std::isfinite(value) && std::fabs(value) <= kVTMaxDocumentLength;
}

inline constexpr float kVTMaxDocumentAngle = 360000.0f;

inline bool VTIsPlausibleAngle(float degrees)
{
    return std::isfinite(degrees) && std::fabs(degrees) <= kVTMaxDocumentAngle;
}

// An angle in degrees brought into [0, 360) in one exact step, however large it is (stepping by
// whole turns never ends once a turn is below the float's resolution). Not-finite values stay.
inline float VTReduceDegrees(float degrees)
{
    if (!std::isfinite(degrees))
        return degrees;
    double r = std::fmod(double(degrees), 360.0);
    if (r < 0.0)
        r += 360.0;
    const float reduced = float(r);
    return reduced >= 360.0f ? 0.0f : reduced;
}
