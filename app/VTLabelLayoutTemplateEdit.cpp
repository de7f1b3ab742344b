#include "app/VTLabelLayoutTemplateEdit.h"

#include "app/VTTemplateData.h"

#include <algorithm>
#include <cmath>

namespace {

enum : int { kTop = 0, kLeft = 1, kRight = 2, kBottom = 3 };

bool Landscape(const VTLabelLayoutPage& page)
{
    return page.GetOrientation() == LPaperSizeOrientationLandscape;
}

} // namespace

void VTLabelLayoutPageSizeMm(const VTLabelLayout& layout, float& width, float& height)
{
    if (layout.printMedium == VTPrintMediumPaper || layout.printMedium == VTPrintMediumDisc) {
        layout.GetPageDimensions(width, height);
        return;
    }
    width = height = 1;
}

void VTLabelLayoutTemplateHalfExtent(const VTLabelLayoutTemplate& position, float& ex, float& ey)
{
    float w = 0, h = 0;
    position.GetDimensions(w, h);
    float s = 0, c = 1;
    VTSinCosDegrees(position.rotation, s, c);
    ex = (std::fabs(w * c) + std::fabs(h * s)) / 2;
    ey = (std::fabs(w * s) + std::fabs(h * c)) / 2;
}

void VTTemplatePanelValuesGet(const VTLabelLayout& layout, const VTLabelLayoutPage* page,
    const VTLabelLayoutTemplate* position, VTTemplatePanelValues& values)
{
    values = VTTemplatePanelValues();
    if (!position) {
        values.minX = values.minY = 0;
        return;
    }
    values.enabled = true;
    const VTTemplateData* data = position->GetTemplateData();
    values.type = data ? data->GetDescriptionLong() : "";
    float W = 0, H = 0;
    VTLabelLayoutPageSizeMm(layout, W, H);
    float ex = 0, ey = 0;
    VTLabelLayoutTemplateHalfExtent(*position, ex, ey);
    const float rw = 2 * ex, rh = 2 * ey;
    const float A = W / 2 + rw / 2, B = H / 2 + rh / 2;
    const float x = position->centreX, y = position->centreY;
    const bool landscape = page && Landscape(*page);
    if (!landscape) {
        values.centreX = x;
        values.minX = 1 - A;
        values.maxX = A - 1;
        values.centreY = y;
        values.minY = 1 - B;
        values.maxY = B - 1;
    } else {
        values.centreX = y;
        values.minX = 1 - B;
        values.maxX = B - 1;
        values.centreY = std::fabs(x) < 1.1920929e-7f ? 0 : -x;
        values.minY = 1 - A;
        values.maxY = A - 1;
    }
    values.spineWidth = data ? data->GetSpineWidth() : 0;
    const float top = H / 2 + y - rh / 2, left = W / 2 + x - rw / 2, right = W / 2 - x - rw / 2,
                bottom = H / 2 - y - rh / 2;
    if (page && !landscape) {
        const float e[4] = { top, left, right, bottom };
        const float l[4] = { rw - 1, rh - 1, W - 1, H - 1 };
        std::copy(e, e + 4, values.edges);
        std::copy(l, l + 4, values.limits);
    } else {
        const float e[4] = { right, top, bottom, left };
        const float l[4] = { rh - 1, rw - 1, H - 1, W - 1 };
        std::copy(e, e + 4, values.edges);
        std::copy(l, l + 4, values.limits);
    }
    values.alignment = position->placementAlignment;
    const VTTemplateFormat format = position->GetFormat();
    values.printableAreaButton = format == 0;
    values.spineInput = format == 4 || format == 5;
}

void VTTemplateSetPositionX(
    const VTLabelLayoutPage& page, VTLabelLayoutTemplate& position, float value)
{
    if (Landscape(page))
        position.centreY = value;
    else
        position.centreX = value;
    position.NotifyTransformChanged();
    position.placementAlignment = -1;
}

void VTTemplateSetPositionY(
    const VTLabelLayoutPage& page, VTLabelLayoutTemplate& position, float value)
{
    if (Landscape(page))
        position.centreX = -value;
    else
        position.centreY = value;
    position.NotifyTransformChanged();
    position.placementAlignment = -1;
}

void VTTemplateChangeEdgePosition(
    const VTLabelLayout& layout, VTLabelLayoutTemplate& position, int edge, float distance)
{
    float W = 0, H = 0;
    VTLabelLayoutPageSizeMm(layout, W, H);
    float ex = 0, ey = 0;
    VTLabelLayoutTemplateHalfExtent(position, ex, ey);
    switch (edge) {
    case kTop:
        position.centreY = distance + ey - H / 2;
        break;
    case kLeft:
        position.centreX = distance + ex - W / 2;
        break;
    case kRight:
        position.centreX = W / 2 - ex - distance;
        break;
    case kBottom:
        position.centreY = H / 2 - ey - distance;
        break;
    }
    position.NotifyTransformChanged();
}

void VTTemplateSetEdgePosition(const VTLabelLayout& layout, const VTLabelLayoutPage& page,
    VTLabelLayoutTemplate& position, int edge, float distance)
{
    if (edge < 0 || edge > 3)
        return;
    if (Landscape(page)) {
        static const int kTurned[4] = { kRight, kTop, kBottom, kLeft };
        edge = kTurned[edge];
    }
    VTTemplateChangeEdgePosition(layout, position, edge, distance);
    position.placementAlignment = -1;
}

void VTTemplateSetAlignment(const VTLabelLayout& layout, const VTLabelLayoutPage& page,
    VTLabelLayoutTemplate& position, LAlignment alignment)
{
    if (alignment < 0 || alignment > 8)
        return;
    position.placementAlignment = alignment;
    LAlignment a = alignment;
    if (Landscape(page)) {
        static const LAlignment kQuarter[9] = { 2, 5, 8, 1, 4, 7, 0, 3, 6 };
        a = kQuarter[a];
    }
    const int column = a % 3, row = a / 3;
    if (column == 0)
        VTTemplateChangeEdgePosition(layout, position, kLeft, 0);
    else if (column == 2)
        VTTemplateChangeEdgePosition(layout, position, kRight, 0);
    else {
        position.centreX = 0;
        position.NotifyTransformChanged();
    }
    if (row == 0)
        VTTemplateChangeEdgePosition(layout, position, kTop, 0);
    else if (row == 2)
        VTTemplateChangeEdgePosition(layout, position, kBottom, 0);
    else {
        position.centreY = 0;
        position.NotifyTransformChanged();
    }
}

void VTTemplateSetSpineWidth(VTLabelLayoutTemplate& position, float width)
{
    if (VTTemplateData* data = position.GetTemplateData())
        data->SetSpineWidth(width);
    position.NotifyTransformChanged();
}
