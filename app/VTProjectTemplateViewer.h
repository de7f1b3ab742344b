// The canvas that shows one design of the project and its overlays, addressed by list position
// (0 = bottom) for the undo history.
#pragma once

#include "app/VTItemViewer.h"
#include "app/VTOverlay.h"
#include "app/VTProjectTemplate.h"

class VTProjectTemplateViewer : public VTItemViewer<VTProjectTemplate, VTOverlay> {
public:
    // The list position of the single selected overlay of the shown design; -1 when none or more
    // than one is selected.
    int GetSelectedItemIndex() const;
    // Adds the overlay at the position to the selection, when the shown design has one there and
    // it is not selected yet, and runs the selection-changed notification; a negative or missing
    // position does nothing.
    void SetSelectedItemIndex(int index);
};
