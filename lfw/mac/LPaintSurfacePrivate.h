// Helpers shared by the drawing operations' source files.
#pragma once

#include <cairo.h>

// Sets the line width; 0 is the thinnest line the device draws (one device unit).
void _LSetPlatformLineWidth(cairo_t* cr, double width);
// Adds the ellipse inscribed in the box (four quarter curves, clockwise from the top).
void _LAddEllipseToContext(cairo_t* cr, double x, double y, double w, double h);
