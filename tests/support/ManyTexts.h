// Designs of many small texts, for tests of what is painted a slice at a time, and the largest
// difference of two paints.
#pragma once

#include "app/VTOverlayText.h"
#include "app/VTProjectTemplate.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

// Adds count texts to the list in a grid of 60 by 50 places (1.8 units apart), a text on each
// place again once the grid is full.
inline void AddTexts(VTOverlayList& list, int count, const char* text)
{
    for (int i = 0; i < count; ++i) {
        auto* overlay
            = new VTOverlayText(text, LGuiFontEx(LGuiFont(10, false, false, false, "", false)));
        overlay->centreX = float(i % 60) * 1.8f - 54;
        overlay->centreY = float(i / 60 % 50) * 1.8f - 45;
        overlay->NotifyTransformChanged();
        overlay->SetDimensions(6, 3);
        list.AddItem(overlay, false);
    }
}

// The largest difference of two paints' channels (255 when their sizes differ).
inline int Worst(const std::string& a, const std::string& b)
{
    int worst = a.size() == b.size() ? 0 : 255;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        worst = std::max(worst, std::abs(int(uint8_t(a[i])) - int(uint8_t(b[i]))));
    return worst;
}
