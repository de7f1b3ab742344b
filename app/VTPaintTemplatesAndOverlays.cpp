#include "app/VTPaintTemplatesAndOverlays.h"

#include "app/VTDocumentLimits.h"
#include "app/VTOverlayCircularText.h"
#include "app/VTOverlayImage.h"

#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LGraphicsPath.h"
#include "lfw/mac/LPaintSurface.h"
#include "platform/ui/LRunLoop.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

VTProjectTemplate* VTFindDesignForPosition(VTProject& project, int32_t positionID)
{
    for (VTProjectTemplate& design : project.templates)
        for (const VTLabelLayoutTemplateID& mapped : design.mappedIDs)
            if (mapped.id == positionID)
                return &design;
    return nullptr;
}

LMatrix<float> VTOverlayPaintMatrix(const VTOverlay& overlay)
{
    switch (overlay.GetType()) {
    case VTOverlayTypeImage:
    case VTOverlayTypeClipart:
    case VTOverlayTypeImageBackground: {
        LMatrix<float> m = overlay.transform;
        m.m[3][0] += overlay.centreX;
        m.m[3][1] += overlay.centreY;
        return m;
    }
    default:
        return VTPlacementMatrix(overlay.rotation, overlay.centreX, overlay.centreY);
    }
}

bool VTIsPaintablePosition(const VTLabelLayoutTemplate& position)
{
    if (!VTIsPlausibleLength(position.centreX) || !VTIsPlausibleLength(position.centreY)
        || !std::isfinite(position.rotation))
        return false;
    const VTTemplateData* data = position.GetTemplateData();
    if (!data)
        return true;
    if (!VTIsPlausibleLength(data->GetSpineWidth()))
        return false;
    if (auto* disc = dynamic_cast<const VTTemplateDataDiscCDDVDStandard*>(data))
        return VTIsPlausibleLength(disc->GetOuterDiameter());
    return true;
}

bool VTIsPaintableOverlay(const VTOverlay& overlay)
{
    if (!VTIsPlausibleLength(overlay.centreX) || !VTIsPlausibleLength(overlay.centreY)
        || !VTIsPlausibleLength(overlay.width) || !VTIsPlausibleLength(overlay.height)
        || !std::isfinite(overlay.rotation))
        return false;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (!VTIsPlausibleLength(overlay.transform.m[r][c]))
                return false;
    if (overlay.GetType() == VTOverlayTypeCircularText) {
        const auto& circular = static_cast<const VTOverlayCircularText&>(overlay);
        return VTIsPlausibleLength(circular.outerRadius) && std::isfinite(circular.centreAngle);
    }
    return true;
}

bool VTIsEmptyPicture(const VTOverlay& overlay)
{
    switch (overlay.GetType()) {
    case VTOverlayTypeImage:
    case VTOverlayTypeClipart:
    case VTOverlayTypeImageBackground:
        return !static_cast<const VTOverlayImage&>(overlay).HasValidImage();
    default:
        return false;
    }
}

float VTPrintTemplateOutlineWidthGet()
{
    if (!LUserSettingTestExists("Settings", "PrintTemplateOutlineWidth")) {
        char text[64];
        std::snprintf(text, sizeof text, "%f", 0.2);
        LUserSettingSetString("Settings", "PrintTemplateOutlineWidth", text);
    }
    char value[kLStringShortSize] = "";
    _LUserSettingGetString("Settings", "PrintTemplateOutlineWidth", "0.20", value);
    // A value that is not a positive number ("abc", "-5") gives the default width.
    char* end = nullptr;
    double width = std::strtod(value, &end);
    while (end && (*end == ' ' || *end == '\t'))
        ++end;
    if (end == value || !end || *end || !std::isfinite(width) || width <= 0 || width > 100)
        return 0.2f;
    return float(width);
}

void PaintTemplatesAndOverlays(LPaintContext& ctx, VTProject& project,
    const VTLabelLayoutPage* page, bool paintOutlines, float outlineWidth)
{
    VTPagePaintPlace place;
    PaintTemplatesAndOverlaysPart(ctx, project, page, paintOutlines, outlineWidth, place, true, 0);
}

bool PaintTemplatesAndOverlaysPart(LPaintContext& ctx, VTProject& project,
    const VTLabelLayoutPage* page, bool paintOutlines, float outlineWidth, VTPagePaintPlace& place,
    bool begin, long long until)
{
    if (!page)
        return true;
    if (begin)
        place = VTPagePaintPlace { page->first, nullptr, false };
    // The sheet is drawn in millimetres: the half-unit nudge that puts a line on the middle of a
    // screen pixel would move the outlines' fold lines half a millimetre here.
    const bool halfPixelOffsetWasOff = ctx.mNoHalfPixelOffset;
    ctx.mNoHalfPixelOffset = true;
    bool painted = false; // an overlay in this part
    bool whole = true;
    for (; place.position; place.position = place.position->next, place.begun = false) {
        const VTLabelLayoutTemplate* position = place.position;
        if (!VTIsPaintablePosition(*position))
            continue;
        VTProjectTemplate* design = VTFindDesignForPosition(project, position->id);
        if (!design)
            continue;
        LPaintSurface::TransformStackPush(ctx);
        LPaintSurface::Transform(
            ctx, VTPlacementMatrix(position->rotation, position->centreX, position->centreY));
        LGraphicsPath positionClip, designClip;
        if (VTTemplateData* data = position->GetTemplateData())
            data->GetClippingPath(positionClip);

        ctx.SaveGState();
        LPaintSurface::ClipIntersect(ctx, positionClip);
        if (!place.begun) {
            if (VTTemplateData* data = design->GetTemplateData())
                data->GetClippingPath(designClip);
            ctx.SaveGState();
            LPaintSurface::ClipIntersect(ctx, designClip);
            if (design->backgroundBrush && design->GetTemplateData())
                design->GetTemplateData()->PaintBackground(ctx, design->backgroundBrush.Get());
            ctx.RestoreGState();
            place.overlay = design->first;
            place.begun = true;
        }
        for (; place.overlay; place.overlay = place.overlay->next) {
            if (until && painted && LRunLoop::NowMs() >= until)
                break;
            VTOverlay* overlay = place.overlay;
            if (!VTIsPaintableOverlay(*overlay) || VTIsEmptyPicture(*overlay))
                continue;
            LPaintSurface::TransformStackPush(ctx);
            LPaintSurface::Transform(ctx, VTOverlayPaintMatrix(*overlay));
            overlay->Paint(ctx);
            LPaintSurface::TransformStackPop(ctx);
            painted = true;
        }
        ctx.RestoreGState();
        if (place.overlay) {
            // Out of time: the rest of this design, and its outline, come in the next part.
            LPaintSurface::TransformStackPop(ctx);
            whole = false;
            break;
        }
        if (paintOutlines && design->GetTemplateData())
            design->GetTemplateData()->PaintOutline(
                ctx, kVTTemplateOutlineColour, outlineWidth, nullptr);
        LPaintSurface::TransformStackPop(ctx);
    }
    ctx.mNoHalfPixelOffset = halfPixelOffsetWasOff;
    return whole;
}
