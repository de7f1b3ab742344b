// The monitors as the window layer counts them, in screen pixels (points x the monitor's backing
// scale), origin at the top left. Monitor 0 is the whole desktop; monitors 1 to n are the
// screens, the primary one first.
#pragma once

#include "lfw/graphics/LGeometry.h"

class LView;

class LMonitorInfo {
public:
    // The visible part (work area) of the screen that shows the view's window, or of the main
    // screen; all zero without screens.
    static void GetMonitorRect(LView* view, LRectangle& r);
    // Monitor 0: (0, 0, desktop width, desktop height); 1 to n: that screen's frame; otherwise
    // all zero.
    static void GetMonitorRect(int monitor, LRectangle& r);
    // Only for 0 <= monitor <= n (w and h are left alone otherwise): monitor 0 with several
    // screens is the union of all of them; otherwise the size of screen max(monitor - 1, 0).
    static void GetMonitorResolution(int monitor, int& w, int& h);
    static int GetMonitorCount();
};
