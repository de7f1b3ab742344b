// The pointer's cursor: the arrow, the theme's standard cursors and cursors made from resource
// files, with the hotspot read from the cursor file. Main thread only.
#pragma once

class LView;

class LGuiCursor {
public:
    // The theme cursors painted controls use.
    enum System { Arrow, PointingHand, ResizeUpDown, ResizeLeftRight };

    LGuiCursor() = default;

    // True while the cursor is hidden. Nothing here hides it; a hide operation would set it.
    static bool bHidden;

    // Shows the cursor if it is hidden, then sets the arrow.
    static void Restore();
    // Shows the cursor if it is hidden, then sets one of the theme's cursors.
    static void SetSystem(System kind);
    // A cursor made from resources: the image resource imageId (0: the bitmap resource id, found
    // in the "cur" folder first) with the hotspot (hotX, hotY), or, when both are 0, the hotspot
    // of "<resources>/cur/<id>.cur" ((0, 0) when it cannot be read).
    static void SetResource(int id, int imageId, int hotX, int hotY);
    // Resizing along the north-west/south-east and the north-east/south-west diagonals.
    static void SetSizeNWSE() { SetResource(308, 0, 0, 0); }
    static void SetSizeNESW() { SetResource(309, 0, 0, 0); }
    // The hotspot of the first image of a Windows cursor file (little-endian: type 2 at offset
    // 2, a non-zero image count at 4, the hotspot at 10 and 12). False when the file cannot be
    // read or is not a cursor file.
    static bool GetCursorFileHotspot(const char* path, int& x, int& y);
    // Makes the view keep the current cursor as its own.
    static void SetAsDefault(LView* view);
};
