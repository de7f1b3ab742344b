#include "app/VTOrientationArrow.h"

#include "app/VTLabelLayout.h"
#include "app/VTOptions.h"
#include "app/VTTemplateData.h"
#include "lfw/mac/LBrushInfo.h"
#include "lfw/mac/LGraphicsPath.h"
#include "lfw/mac/LPaintContext.h"
#include "lfw/mac/LPaintSurface.h"

namespace {

const LGuiColor kBackground(0xC800, 0xC800, 0xC800);
const LGuiColor kArrow(0xE600, 0xE600, 0xE600);
const LGuiColor kOutline(0x9600, 0x9600, 0x9600);
const LGuiColor kSelectedBackground(0x6400, 0x9500, 0xED00);
const LGuiColor kSelectedArrow(0x9A00, 0xCE00, 0xEB00);

// The half width and half height of the position: a disc's outer radius both ways, else half
// of the format's size.
void _VTHalfSizes(const VTLabelLayoutTemplate& item, float& hw, float& hh)
{
    const VTTemplateData* data = item.GetTemplateData();
    if (item.GetFormat() == VTTemplateFormatDisc) {
        if (const auto* disc = dynamic_cast<const VTTemplateDataDiscCDDVDStandard*>(data)) {
            float outer, inner, bandOuter, bandInner;
            bool useBand;
            disc->GetDiscPrintableArea(outer, inner, useBand, bandOuter, bandInner);
            hw = hh = outer / 2;
            return;
        }
    }
    float w = 0, h = 0;
    item.GetDimensions(w, h);
    hw = w / 2;
    hh = h / 2;
}

// The arrow: a head spanning the full width from the top edge to the middle, a shaft half as
// wide from the middle to the bottom edge.
void _VTArrowPath(LGraphicsPath& path, float hw, float hh)
{
    const LPointTemplate<float> corners[] = {
        { 0, -hh },
        { hw, 0 },
        { hw / 2, 0 },
        { hw / 2, hh },
        { -hw / 2, hh },
        { -hw / 2, 0 },
        { -hw, 0 },
    };
    path.AddLines(corners, sizeof corners / sizeof corners[0]);
    path.CloseFigure();
}

LBrushInfo _VTSolid(const LGuiColor& color)
{
    LBrushInfo brush;
    brush.kind = LBrushInfoKindSolid;
    brush.color = LGuiColorAlpha(color, 255);
    return brush;
}

} // namespace

void PaintOrientationArrowAndItem(
    LPaintContext& context, VTLabelLayoutTemplate& item, bool selected)
{
    const VTTemplateData* data = item.GetTemplateData();
    if (!data)
        return;
    float hw, hh;
    _VTHalfSizes(item, hw, hh);

    LGraphicsPath arrow;
    _VTArrowPath(arrow, hw, hh);
    LGraphicsPath clip;
    data->GetClippingPath(clip);

    context.SaveGState();
    LPaintSurface::ClipIntersect(context, clip);
    const LBrushInfo background = _VTSolid(selected ? kSelectedBackground : kBackground);
    data->PaintBackground(context, &background);
    LPaintSurface::FillPath(context, LGuiColorRef(selected ? kSelectedArrow : kArrow), arrow);
    context.RestoreGState();

    if (!selected)
        data->PaintOutline(context, kOutline, VTScreenGetSize(context, 1.0f), nullptr);
}
