// Label positions as the layout editor and the layout selector show them: the position's shape
// with an arrow that fills its bounding box and points to the top of the label, so the user sees
// how designs will be turned on the sheet.
#pragma once

class LPaintContext;
class VTLabelLayoutTemplate;

// Draws one position in its own frame (millimetres, centre at the origin, y down): the caller
// has moved the context to the position's centre and turned it by the position's rotation.
// Unselected: a grey shape with a lighter arrow and a grey outline one screen unit wide at any
// zoom. Selected: a blue shape with a light blue arrow and no outline. Both are cut to the
// shape's clipping outline (a disc's printable ring).
void PaintOrientationArrowAndItem(
    LPaintContext& context, VTLabelLayoutTemplate& item, bool selected);
