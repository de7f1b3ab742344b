// Fonts and text layout for the framework, through Pango, PangoCairo and fontconfig.
//
// Fonts.h: immutable font objects matched by family name, then by a face's own name, with the
// framework's system font as the fallback; macOS family names documents carry ("Lucida Grande",
// "Helvetica", ...) resolve to an installed face while the font keeps the given name; the
// installed families and their members. Sizes are in the drawing context's user units.
//
// TextLayout.h: one text layout (a Pango layout on a Pango context of the calling thread's font
// map) that is measured in user units and drawn into a cairo context: alignment, a box width and
// height, word or character wrapping, ellipsis at the end, underline, strikeout and outline.
// Measuring gives the same sizes on every thread and under every transform (metric hinting off).
// Layouts and shaped lines hold the text lock (platform/system/TextLock.h) while they work with
// Pango and cairo, so threads that draw text at once take turns there.
#pragma once

#include "platform/text/Fonts.h"
#include "platform/text/TextLayout.h"
