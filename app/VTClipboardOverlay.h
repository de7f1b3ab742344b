// Copying one overlay of a design to the system clipboard and pasting it back, in this or another
// running copy of the program. The program's own form is an SDF stream (file type 9, version 3)
// under the clipboard type "Vorantel 3 ClipboardData": the root holds one container named by the
// overlay's kind with the overlay's chunks as a project file stores them. A plain form goes
// beside it for other programs: the text of a text overlay, the picture of an image overlay.
#pragma once

#include "app/VTOverlay.h"
#include "lfw/gen/LString.h"
#include "lfw/graphics/LImageBuffer.h"

class LView;
class LClipboard;

// The clipboard type of the program's own overlay data.
inline constexpr const char* kVTClipboardOverlayType = "Vorantel 3 ClipboardData";
inline constexpr uint32_t kVTClipboardFileType = 9;
inline constexpr uint16_t kVTClipboardFileVersion = 3;

class VTClipboardOverlayCopy {
public:
    VTClipboardOverlayCopy(LView* view, const VTOverlay* overlay)
        : view(view)
        , overlay(overlay)
    {
    }
    // True when the overlay and its plain form are on the clipboard. The overlay is written out
    // completely before the clipboard is touched: a copy that fails leaves the clipboard as it
    // was.
    bool PerformCopy();

    LView* view;
    const VTOverlay* overlay; // not owned
};

class VTClipboardOverlayPaste {
public:
    explicit VTClipboardOverlayPaste(LClipboard* clipboard)
        : clipboard(clipboard)
    {
    }
    ~VTClipboardOverlayPaste();
    VTClipboardOverlayPaste(const VTClipboardOverlayPaste&) = delete;
    VTClipboardOverlayPaste& operator=(const VTClipboardOverlayPaste&) = delete;

    // True when one of the forms was found: the program's own overlay (pastedOverlay set, or
    // left null when its data could not be read), else an image (pastedImage valid), else a
    // non-empty text (pastedText).
    bool PerformPaste();
    // Hands the pasted overlay to the caller.
    VTOverlay* TakeOverlay()
    {
        VTOverlay* o = pastedOverlay;
        pastedOverlay = nullptr;
        return o;
    }

    LClipboard* clipboard; // not owned
    VTOverlay* pastedOverlay = nullptr; // owned until taken
    LImageBuffer pastedImage;
    LStringLongTemplate<char> pastedText;
};

// Reads the program's own clipboard data: false when it is no overlay stream of a version this
// program reads; true otherwise, with the overlay (the caller owns it) or null when the overlay
// chunk could not be read.
bool VTClipboardOverlayRead(const unsigned char* data, size_t size, VTOverlay*& overlay);
