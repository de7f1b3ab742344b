// The bounds of document values read from files and painted: a length or position in
// millimetres beyond 100 m belongs to no design, and outlines of such sizes would cost the
// drawing code without end. Readers refuse such values; the renderer passes over anything
// beyond them that reached a document another way.
#pragma once

#include <cmath>

inline constexpr float kVTMaxDocumentLength = 100000.0f;

inline bool VTIsPlausibleLength(float value)
{
    return std::isfinite(value) && std::fabs(value) <= kVTMaxDocumentLength;
}
