#include "app/VTLabelLayoutPageViewer.h"

#include "app/VTOptions.h"
#include "app/VTOrientationArrow.h"
#include "app/VTPaintTemplatesAndOverlays.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/ios/LTimerHandler.h"
#include "lfw/mac/LGraphicsPath.h"
#include "lfw/mac/LPaintSurface.h"

#include <algorithm>
#include <cmath>

namespace {

const LGuiColor kBackground(0xE600, 0xE600, 0xE600);
const LGuiColor kSheet(0xFF00, 0xFF00, 0xFF00);
const LGuiColor kMarginFrame(0xC800, 0xC800, 0xC800);
const LGuiColor kSelection(0x0000, 0xB700, 0xEB00);

float Margin(const char* key)
{
    const double v = LUserSettingGet<double>("Settings", key, 0.0);
    return std::isfinite(v) && v > 0 ? float(v) : 0.0f;
}

} // namespace

LBoundingBox2T<float> VTLabelLayoutSheetBox(const VTLabelLayout* layout, bool hasPage)
{
    if (!layout || !hasPage)
        return LBoundingBox2T<float>(0, 0, 1, 1);
    float w = 0, h = 0;
    if (layout->printMedium == VTPrintMediumPaper || layout->printMedium == VTPrintMediumDisc)
        layout->GetPageDimensions(w, h);
    return LBoundingBox2T<float>(-w / 2, -h / 2, w / 2, h / 2);
}

void VTPaperMarginsGet(float& width, float& height)
{
    width = Margin("PaperMarginWidth");
    height = Margin("PaperMarginHeight");
}

void VTLabelLayoutPagePaint(
    LPaintContext& context, VTLabelLayoutPageViewerBase& viewer, bool marginFrame)
{
    const float W = float(viewer.GetWidth()), H = float(viewer.GetHeight());
    LPaintSurface::FillRectAA(context, kBackground, 0, 0, W, H);
    VTLabelLayoutPage* page = viewer.GetCollection();
    // Without a page, or with a sheet that cannot be fitted (0 by 0: a printer the table does
    // not know), only the background shows.
    if (!page || !viewer.HasUsableGeometry())
        return;
    const LMatrix<float> matrix = viewer.CalculateCollectionMatrix();
    LPaintSurface::TransformReset(context, matrix);
    const LBoundingBox2T<float> sheet = viewer.GetCollectionBoundingBox();
    const float sw = sheet.right - sheet.left, sh = sheet.bottom - sheet.top;
    LPaintSurface::FillRectAA(context, kSheet, sheet.left, sheet.top, sw, sh);

    for (VTLabelLayoutTemplate* t = page->first; t; t = t->next) {
        if (!VTIsPaintablePosition(*t))
            continue;
        LPaintSurface::Transform(context, VTPlacementMatrix(t->rotation, t->centreX, t->centreY));
        PaintOrientationArrowAndItem(context, *t, viewer.selectedItems.Contains(*t));
        LPaintSurface::TransformReset(context, matrix);
    }

    // Darken everything outside the printable rectangle: the region inside a rectangle covering
    // the control and outside the inset sheet, by the even-odd rule.
    float mw = 0, mh = 0;
    VTPaperMarginsGet(mw, mh);
    mw = std::min(mw, sw / 2);
    mh = std::min(mh, sh / 2);
    const float cx = (sheet.left + sheet.right) / 2, cy = (sheet.top + sheet.bottom) / 2;
    {
        LMatrix<float> inverse = matrix;
        inverse.Invert();
        const LPointTemplate<float> origin = inverse.TransformPoint(LPointTemplate<float>(0, 0));
        const LPointTemplate<float> far = inverse.TransformPoint(LPointTemplate<float>(W, H));
        const float x = std::max(std::fabs(origin.x), std::fabs(far.x)) + std::fabs(cx);
        const float y = std::max(std::fabs(origin.y), std::fabs(far.y)) + std::fabs(cy);
        LGraphicsPath outside;
        outside.SetWindingFill(false);
        outside.AddRectangle(cx - x, cy - y, 2 * x, 2 * y);
        outside.AddRectangle(sheet.left + mw, sheet.top + mh, sw - 2 * mw, sh - 2 * mh);
        LPaintSurface::FillPath(context, LGuiSolidBrush(LGuiColor(0, 0, 0), 64), outside);
    }

    const float onePixel = VTScreenGetSize(context, 1.0f);
    if (marginFrame && (mw > 0 || mh > 0))
        LPaintSurface::DrawFrameAA(context, kMarginFrame, sheet.left + mw, sheet.top + mh,
            sw - 2 * mw, sh - 2 * mh, onePixel);
    LPaintSurface::DrawFrameAA(
        context, LGuiColor(0, 0, 0), sheet.left, sheet.top, sw, sh, onePixel);

    VTLabelLayoutTemplate* single = viewer.GetSingleSelectedItem();
    if (single && single->GetTemplateData() && VTIsPaintablePosition(*single)) {
        LPaintSurface::Transform(
            context, VTPlacementMatrix(single->rotation, single->centreX, single->centreY));
        single->GetTemplateData()->PaintOutline(
            context, kSelection, VTScreenGetSize(context, 1.0f), nullptr);
        LPaintSurface::TransformReset(context, matrix);
    }
    LPaintSurface::TransformReset(context);
}

// --- the editor's page viewer --------------------------------------------------------------------

VTLabelLayoutPageViewer::VTLabelLayoutPageViewer(bool allowEditing)
    : VTLabelLayoutPageViewerBase(allowEditing, false)
{
}

VTLabelLayoutPageViewer::~VTLabelLayoutPageViewer()
{
    {
        LLockObjectLocker lock(refreshLock);
        refreshTimer.reset();
    }
    DestroyPaintControl();
}

void VTLabelLayoutPageViewer::SetLabelLayout(VTLabelLayout* layout)
{
    // Null lets go of the layout and its page (its owner may free it next).
    labelLayout = layout;
    SetCollection(layout ? layout->pages.GetFirst() : nullptr);
}

void VTLabelLayoutPageViewer::GetRotatedTemplateDimension(float& halfWidth, float& halfHeight)
{
    VTLabelLayoutTemplate* single = GetSingleSelectedItem();
    if (!single)
        return;
    float w = 0, h = 0;
    single->GetDimensions(w, h);
    const double a = double(single->rotation) * 0.017453292;
    const float c = float(std::cos(a)), s = float(std::sin(a));
    // The two edge vectors turned; the box's half extents.
    halfWidth = (std::fabs(w * c) + std::fabs(h * s)) / 2;
    halfHeight = (std::fabs(w * s) + std::fabs(h * c)) / 2;
}

LBoundingBox2T<float> VTLabelLayoutPageViewer::GetCollectionBoundingBox() const
{
    return VTLabelLayoutSheetBox(labelLayout, collection != nullptr);
}

void VTLabelLayoutPageViewer::ArmRefresh(unsigned int ms)
{
    LLockObjectLocker lock(refreshLock);
    if (!refreshTimer)
        refreshTimer = std::make_unique<LRunLoopTimer>(
            LTimerCallBack<VTLabelLayoutPageViewer>::TimerAction, this);
    refreshTimer->Arm(ms);
}

bool VTLabelLayoutPageViewer::IsRefreshPending() const
{
    LLockObjectLocker lock(refreshLock);
    return refreshTimer && refreshTimer->IsArmed();
}

void VTLabelLayoutPageViewer::TimerCallBack()
{
    NotifyItemSelectionChanged();
}

bool VTLabelLayoutPageViewer::EvKeyDown(LKey key)
{
    // With the keyboard, Space chooses the next position of the page and Shift+Space the one
    // before, round from the last to the first.
    if (const int step = ChoiceStepOfKey(key); step && allowEdit && HasKeyboardFocus()) {
        ChooseNeighbourItem(step);
        return true;
    }
    const bool moved = VTLabelLayoutPageViewerBase::EvKeyDown(key);
    if (moved)
        ArmRefresh(250);
    return moved;
}

bool VTLabelLayoutPageViewer::EvKeyRepeat(LKey key)
{
    const bool moved = VTLabelLayoutPageViewerBase::EvKeyRepeat(key);
    if (moved)
        ArmRefresh(250);
    return moved;
}

void VTLabelLayoutPageViewer::EvMouseMove(int x, int y)
{
    VTLabelLayoutPageViewerBase::EvMouseMove(x, y);
    if (IsCaptured())
        ArmRefresh(100);
}

void VTLabelLayoutPageViewer::NotifyItemSelectionChanged()
{
    notifier.Notify(
        &VTLabelLayoutPageViewerNotifyee::EvLabelLayoutPageViewerSelectionChanged, *this);
    Invalidate();
}

void VTLabelLayoutPageViewer::EvContextMenuOpen()
{
    notifier.Notify(
        &VTLabelLayoutPageViewerNotifyee::EvLabelLayoutPageViewerContextMenuOpen, *this);
}

void VTLabelLayoutPageViewer::Prepaint(LPaintContext& context)
{
    VTLabelLayoutPagePaint(context, *this, true);
    // Reached with the keyboard, the page is framed in the focus colour.
    if (context.mForScreen && ShowsKeyboardFocus()) {
        const float line = float(2 * std::max(1.0, GetBackingScale()));
        LPaintSurface::DrawFrameAA(context, LPaintSurface::GetFocusIndicatorColor(), line / 2,
            line / 2, float(mWidth) - line, float(mHeight) - line, line);
    }
}
