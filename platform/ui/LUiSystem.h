// Start-up of the window layer, screens and the system font.
#pragma once

#include "platform/ui/LUiTypes.h"

#include <vector>

// Opens the display on the calling thread, which must be the main thread of LRunLoop, and
// installs the application's compact style sheet and the event hub. Idempotent. False when no
// display can be opened (headless): window-layer calls then must not be made.
bool LUiInit();
// True once LUiInit has succeeded.
bool LUiIsAvailable();
// What the application does when its connection to the display is lost (the X server ended or
// was killed, as at a log-out): the hook runs once, on the thread that met the loss (the main
// thread, inside whatever it was doing), and keeps what must be kept without using the display;
// the program then ends at once with status 1 (the toolkit cannot go on). Null: it just ends.
using LUiDisplayLostHook = void (*)();
void LUiSetDisplayLostHook(LUiDisplayLostHook hook);
// Sends what has been drawn and asked of the display so far without waiting for an answer.
void LUiFlushDisplay();
// Sends it and waits until the display has carried it out (a round trip).
void LUiSyncDisplay();

// A monitor: its whole frame and the part not taken by panels (visible frame), in screen points
// with the origin at the top left of the whole screen, and its backing scale (device pixels per
// point, at least 1).
struct LUiScreen {
    LUiRect frame;
    LUiRect visibleFrame;
    double scale = 1;
    bool primary = false; // the monitor the desktop calls primary
};

// The primary monitor (the first one when none is marked primary). False without a display.
bool LUiMainScreen(LUiScreen& screen);
// Every monitor, the primary one first.
std::vector<LUiScreen> LUiScreens();
// The monitor that holds the point, else the nearest one.
bool LUiScreenAtPoint(double x, double y, LUiScreen& screen);
// The pointer position on the screen in points.
bool LUiPointerPosition(double& x, double& y);
// The mouse buttons held now: bit 0 the left, bit 1 the right, bit 2 the middle button.
unsigned LUiPointerButtons();

// The system font: its family name and its size in points (the layer's points, 1/96 inch at the
// default resolution). Without a display: "Sans" at 10 typographic points.
const char* LUiSystemFontFamily();
double LUiSystemFontSize();
// How much larger the system font is than GTK's default (10 typographic points at 96 dpi), never
// below 1: what sizes in points that were made for text of the default size grow by at a larger
// font (a larger font chosen, or a higher resolution such as GDK_DPI_SCALE's).
double LUiTextScale();
// Measures a one-line text in a font of the family (null or "": the system font) and size in
// points; the width and height of its logical extents in points. Works without a display.
void LUiMeasureText(
    const char* text, const char* family, double size, bool bold, double& width, double& height);

// The number of lines of a text laid out at the width (points; below one point counts as one),
// wrapped at words or, inside over-long words, at characters, in a font of the family (null or
// "": the system font) and size in points. 0 for an empty or null text.
int LUiMeasureTextLines(const char* text, const char* family, double size, double width);
