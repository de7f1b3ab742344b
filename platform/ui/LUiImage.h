// Image files of the user interface and the pointer's cursor.
//
// LUiImageLoadFile reads PNG, JPEG, TIFF, ICO/CUR and the other formats the installed image
// loaders know into a Cairo image surface (ARGB32, premultiplied). Cursors are GDK cursors set on
// every top-level window of the default display; they need a display (LUiInit) and the main
// thread.
#pragma once

#include <cairo.h>

typedef struct _GtkWidget GtkWidget;

// A new ARGB32 image surface with the file's first picture (the caller destroys it); null when the
// file cannot be read or decoded.
cairo_surface_t* LUiImageLoadFile(const char* path);

// A new ARGB32 surface with the icon theme's symbolic icon of that freedesktop name at the size
// (pixels), drawn in the colour (0..1 channels); null without a display or such an icon.
cairo_surface_t* LUiImageLoadThemeIcon(const char* name, int size, double r, double g, double b);

// Sets a cursor made from the image with its hotspot (clamped into the image). False without a
// display or image.
bool LUiCursorSetImage(cairo_surface_t* image, int hotX, int hotY);
// Sets a cursor of the cursor theme by its CSS name ("default", "pointer", "ns-resize",
// "ew-resize", "nwse-resize", ...); false without a display.
bool LUiCursorSetNamed(const char* name);
// Makes the cursor set last the one the widget's window shows from now on; false when nothing was
// set yet or the widget has no window.
bool LUiCursorKeepForWidget(GtkWidget* widget);
// How many cursors have been set so far (for tests).
unsigned long LUiCursorSetCount();
