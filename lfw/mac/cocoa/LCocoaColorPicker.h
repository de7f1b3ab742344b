// The colour chooser of the window layer: chooses a colour modally above the window of a view,
// optionally offering up to 16 recently used colours.
#pragma once

#include "lfw/mac/LGuiColor.h"

#include <cstdint>

class LView;

class LCocoaColorPicker {
public:
    // Shows the chooser at the colour (the high byte of each channel / 255) and writes the chosen
    // colour back (each channel as a fraction × 65535, truncated). Cancel, Escape and closing
    // leave the colour. True when a colour was chosen.
    bool Open(LView* parentView, LGuiColor& colour);

    LView* parentView = nullptr; // during Open
    uint64_t recentColorCount = 0; // a list is offered only for 1 to 16
    LGuiColor recentColors[16] = {};
};
