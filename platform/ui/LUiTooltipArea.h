// Tooltips that belong to one part of a view: the tip shows while the pointer is inside the
// area, follows the pointer from part to part (GTK's query-tooltip with a tip area), and several
// parts of one view can take turns.
#pragma once

#include "platform/ui/LUiTypes.h"

class LView;

// The view's tip becomes the text over the area (points of the view; an empty area is the whole
// view). Null or empty text removes the tip.
void LUiSetToolTipArea(LView* view, const char* text, const LUiRect& area);
// The text set last ("" when none).
const char* LUiGetToolTipArea(LView* view);
