// Placing one label position on its page the way the template properties panel shows it: the
// values the panel displays (centre, edge distances and their limits, alignment) and the edits it
// reports (centre X and Y, an edge distance, an alignment, the spine width). The label-layout
// editor and the print preview share them. On a landscape page the panel shows the page as the
// user sees it, turned a quarter: its X is the page's y, its Y minus the page's x, and edges and
// alignments are turned with it.
//
// Edges are measured from the position's rotated box, the same box the canvas keeps on the page.
#pragma once

#include "app/VTItemHitTestable.h"
#include "app/VTLabelLayout.h"

// Sides of a position on its page are numbered as VTEdges numbers them: 0 top, 1 left, 2 right,
// 3 bottom.

// The page in millimetres, portrait (W x H): the paper, the tray of the printer (0 x 0 when the
// printer is not in the table), 1 x 1 for any other medium.
void VTLabelLayoutPageSizeMm(const VTLabelLayout& layout, float& width, float& height);

// Half the rotated extent of a position (the half widths its rotated box reaches from its centre
// along the page's axes).
void VTLabelLayoutTemplateHalfExtent(const VTLabelLayoutTemplate& position, float& ex, float& ey);

// What the template panel shows for a position.
struct VTTemplatePanelValues {
    bool enabled = false;
    const char* type = "";
    float centreX = 0, centreY = 0;
    float minX = 0, maxX = 500, minY = 0, maxY = 500;
    // In the edge control's order: portrait (top, left, right, bottom); landscape (right, top,
    // bottom, left).
    float edges[4] = {};
    // Horizontal extent, vertical extent, horizontal page size, vertical page size: each distance
    // runs from minus the extent to the page size.
    float limits[4] = {};
    float spineWidth = 0;
    LAlignment alignment = -1;
    bool printableAreaButton = false; // discs
    bool spineInput = false; // DVD and Blu-ray cases
};
void VTTemplatePanelValuesGet(const VTLabelLayout& layout, const VTLabelLayoutPage* page,
    const VTLabelLayoutTemplate* position, VTTemplatePanelValues& values);

// The panel's edits. Each forgets the stored alignment except the alignment itself, and tells the
// position's observers; the caller clamps the page's positions into the sheet afterwards.
void VTTemplateSetPositionX(
    const VTLabelLayoutPage& page, VTLabelLayoutTemplate& position, float value);
void VTTemplateSetPositionY(
    const VTLabelLayoutPage& page, VTLabelLayoutTemplate& position, float value);
// The edge as the panel numbers it (turned on a landscape page).
void VTTemplateSetEdgePosition(const VTLabelLayout& layout, const VTLabelLayoutPage& page,
    VTLabelLayoutTemplate& position, int edge, float distance);
// The edge of the page itself: puts that side of the position's box at the distance from the
// page's side.
void VTTemplateChangeEdgePosition(
    const VTLabelLayout& layout, VTLabelLayoutTemplate& position, int edge, float distance);
void VTTemplateSetAlignment(const VTLabelLayout& layout, const VTLabelLayoutPage& page,
    VTLabelLayoutTemplate& position, LAlignment alignment);
void VTTemplateSetSpineWidth(VTLabelLayoutTemplate& position, float width);
