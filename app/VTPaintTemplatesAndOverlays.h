// Painting a sheet of a label layout: every label position of a page, each filled with the
// design of the project mapped to it. Printing, the print preview and image export paint through
// PaintTemplatesAndOverlays; PDF export through its twin VTExportPaintTemplatesAndOverlaysPDF
// (VTExport.h), which follows the same order and clipping.
//
// For each position, in list order: the design's background is clipped to both the position's
// and the design's outline, the overlays (bottom first) to the position's outline only, and the
// light grey outline, when asked for, is drawn unclipped on top. A position no design is mapped
// to stays blank.
#pragma once

#include "app/VTLabelLayout.h"
#include "app/VTProject.h"
#include "lfw/graphics/LMatrix.h"
#include "lfw/mac/LGuiColor.h"
#include "lfw/mac/LPaintContext.h"

// The outline colour of printed positions: light grey, 230 of 255.
inline const LGuiColor kVTTemplateOutlineColour(0xE600, 0xE600, 0xE600);

// Paints the page in the context's current transform, whose unit is the millimetre and whose
// origin is the sheet's centre. The transform is as it was afterwards. A picture overlay without
// a picture paints nothing here.
void PaintTemplatesAndOverlays(LPaintContext& ctx, VTProject& project,
    const VTLabelLayoutPage* page, bool paintOutlines, float outlineWidth);

// Where a page painted a part at a time has got to: the label position being painted and, once
// its background is painted, the next overlay of its design. Valid while the page's and the
// designs' links stay as they were.
struct VTPagePaintPlace {
    const VTLabelLayoutTemplate* position = nullptr;
    VTOverlay* overlay = nullptr;
    bool begun = false;
};

// Paints a part of the page as PaintTemplatesAndOverlays paints the whole, the same pixels in the
// same order: from the start when begin is set, else on from place; with a time in until
// (LRunLoop::NowMs), only the overlays that fit before it, at least one. place moves on to what
// is not painted yet. Answers whether the page is whole.
bool PaintTemplatesAndOverlaysPart(LPaintContext& ctx, VTProject& project,
    const VTLabelLayoutPage* page, bool paintOutlines, float outlineWidth, VTPagePaintPlace& place,
    bool begin, long long until);

// False for a position or an overlay whose placement or size is not a number or lies beyond
// 100 m (a damaged file); the renderers pass over such items.
bool VTIsPaintablePosition(const VTLabelLayoutTemplate& position);
bool VTIsPaintableOverlay(const VTOverlay& overlay);
// True for a picture overlay (image, clipart, background image) without a picture. The designer's
// canvas shows such a place as a blue frame; a printed or exported sheet leaves it empty, in the
// image export and the print as in PDF.
bool VTIsEmptyPicture(const VTOverlay& overlay);
// The first design (in list order) mapped to the position id; null when none is.
VTProjectTemplate* VTFindDesignForPosition(VTProject& project, int32_t positionID);
// Where an overlay is painted in its design: image kinds through their stored transform moved to
// their centre, the text kinds by their rotation about their centre.
LMatrix<float> VTOverlayPaintMatrix(const VTOverlay& overlay);
// The outline width (mm) of printed positions, from the user setting
// "Settings/PrintTemplateOutlineWidth" (created as "0.200000" when missing).
float VTPrintTemplateOutlineWidthGet();
