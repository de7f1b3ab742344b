// A tooltip that belongs to one area of a view (an item a view paints itself): GTK asks the view
// for its tip (query-tooltip) and the tip stays while the pointer is inside the area, moving on
// to the next area's tip when the area changes.
#pragma once

#include "platform/ui/LUiTypes.h"

#include <string>

class LView;

// Sets the tip for an area of the view (points of the view); an empty or null text removes it.
void LUiSetToolTipArea(LView* view, const char* text, const LUiRect& area);
// The tip set now ("" for none).
std::string LUiGetToolTipArea(LView* view);
