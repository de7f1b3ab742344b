#include "app/VTProjectTemplateViewer.h"

#include "app/VTOptions.h"
#include "app/VTPaintTemplatesAndOverlays.h"
#include "lfw/mac/LGraphicsPath.h"
#include "lfw/mac/LLineStyle.h"
#include "lfw/mac/LPaintSurface.h"
#include "platform/ui/LUiSystem.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>

VTProjectTemplateViewer::VTProjectTemplateViewer()
    : VTItemViewer<VTProjectTemplate, VTOverlay>(true, true)
{
}

VTProjectTemplateViewer::~VTProjectTemplateViewer()
{
    slices.Release();
    if (collection)
        collection->RemoveNotifyee(*this);
    DestroyPaintControl();
}

void VTProjectTemplateViewer::EvCollectionChanging(
    VTProjectTemplate* previous, VTProjectTemplate* next)
{
    if (previous == next)
        return;
    // The pictures and the place reached in the old design's list go with it.
    slices.Release();
    sliceNext = nullptr;
    if (previous)
        previous->RemoveNotifyee(*this);
    if (next)
        next->AddNotifyee(*this);
}

void VTProjectTemplateViewer::EvProjectTemplateOverlayDeleting(
    VTProjectTemplate&, VTOverlay& overlay)
{
    EvItemRemoved(overlay);
}

void VTProjectTemplateViewer::NotifyItemSelectionChanged()
{
    notifier.Notify(
        &VTProjectTemplateViewerNotifyee::EvProjectTemplateViewerSelectionChanged, *this);
}

void VTProjectTemplateViewer::NotifyItemChanged()
{
    notifier.Notify(&VTProjectTemplateViewerNotifyee::EvProjectTemplateViewerOverlayChanged, *this);
}

void VTProjectTemplateViewer::EvContextMenuOpen()
{
    notifier.Notify(
        &VTProjectTemplateViewerNotifyee::EvProjectTemplateViewerContextMenuOpen, *this);
}

LBoundingBox2T<float> VTProjectTemplateViewer::GetCollectionBoundingBox() const
{
    if (!collection)
        return LBoundingBox2T<float>(0, 0, 1, 1);
    const VTTemplateData* data = collection->GetTemplateData();
    if (!data)
        return LBoundingBox2T<float>(0, 0, 0, 0);
    float w = 0, h = 0;
    data->GetDimensions(w, h);
    return LBoundingBox2T<float>(-w / 2, -h / 2, w / 2, h / 2);
}

void VTProjectTemplateViewer::GetTemplateClientDimension(
    int& width, int& height, int& templateWidth, int& templateHeight) const
{
    const int margin = int(0.1 * std::min(mWidth, mHeight));
    width = mWidth - margin;
    height = mHeight - margin;
    templateWidth = templateHeight = 0;
    if (!collection)
        return;
    const LBoundingBox2T<float> box = GetCollectionBoundingBox();
    templateWidth = int(std::lround(box.right - box.left));
    templateHeight = int(std::lround(box.bottom - box.top));
}

int VTProjectTemplateViewer::GetSelectedItemIndex() const
{
    if (!collection || !selectedItems.first || selectedItems.first->next)
        return -1;
    return int(collection->IndexOf(selectedItems.first->item));
}

void VTProjectTemplateViewer::SetSelectedItemIndex(int index)
{
    if (!collection || index < 0)
        return;
    VTOverlay* overlay = collection->GetItemAt(size_t(index));
    if (overlay)
        SetItemSelected(overlay, true, true);
}

bool VTProjectTemplateViewer::RaiseItem()
{
    VTOverlay* item = GetSingleSelectedItem();
    if (item && collection->first && collection->first->GetType() == VTOverlayTypeImageBackground
        && item == collection->first)
        return false;
    return RaiseSelectedItem();
}

bool VTProjectTemplateViewer::LowerItem()
{
    VTOverlay* item = GetSingleSelectedItem();
    if (item && collection->first && collection->first->GetType() == VTOverlayTypeImageBackground
        && item == collection->first->next)
        return false;
    return LowerSelectedItem();
}

bool VTProjectTemplateViewer::EvKeyDown(LKey key)
{
    if (HasKeyboardFocus()) {
        if (const int step = ChoiceStepOfKey(key)) {
            ChooseNeighbourItem(step);
            return true;
        }
        if (key == LKey::Special(LKey::kEscape) && !selectedItems.IsEmpty()) {
            ClearSelectedItems();
            Update();
            return true;
        }
    }
    return VTItemViewer<VTProjectTemplate, VTOverlay>::EvKeyDown(key);
}

uint8_t VTProjectTemplateViewer::HandleHitFlags(VTOverlay& overlay, float x, float y)
{
    if (!VTIsPaintableOverlay(overlay) || !HasUsableGeometry())
        return 0;
    // The squares as Prepaint draws them: centred on the corners of the box in the overlay's
    // paint frame, half a side of 5 pixels under that frame's matrix.
    const LMatrix<float> paint = VTOverlayPaintMatrix(overlay);
    const float half = VTScreenGetSize(paint * CalculateCollectionMatrix(), 5.0f);
    if (!(half > 0) || !std::isfinite(half))
        return 0;
    LMatrix<float> inverse = paint;
    inverse.Invert();
    const LPointTemplate<float> p = inverse.TransformPoint(LPointTemplate<float>(x, y));
    float w = 0, h = 0;
    overlay.GetDimensions(w, h);
    const float cx = std::fabs(w) / 2, cy = std::fabs(h) / 2;
    if (std::fabs(std::fabs(p.x) - cx) > half || std::fabs(std::fabs(p.y) - cy) > half)
        return 0;
    if (overlay.GetType() == VTOverlayTypeCircularText)
        return VTHitInside;
    // The corner named in the frame the overlay's own hit test uses (a flipped picture's
    // corners lie elsewhere in it); of two corners under a handle the nearer one.
    const LPointTemplate<float> corner
        = paint.TransformPoint(LPointTemplate<float>(p.x < 0 ? -cx : cx, p.y < 0 ? -cy : cy));
    LMatrix<float> placement
        = VTPlacementMatrix(overlay.rotation, overlay.centreX, overlay.centreY);
    placement.Invert();
    const LPointTemplate<float> q = placement.TransformPoint(corner);
    return uint8_t((q.x < 0 ? VTHitLeft : VTHitRight) | (q.y < 0 ? VTHitTop : VTHitBottom));
}

namespace {
// A paint this quick (ms) is never held back: the display's own frames pace it.
constexpr long long kQuickPaintMs = 8;
} // namespace

void VTProjectTemplateViewer::Invalidate()
{
    slices.SetStale();
    if (repaint.IsArmed())
        return;
    const long long due = lastPaintEnd + 2 * lastPaintMs;
    const long long now = LRunLoop::NowMs();
    if (lastPaintMs < kQuickPaintMs || now >= due) {
        Update();
        return;
    }
    repaint.Arm(unsigned(due - now));
}

void VTProjectTemplateViewer::RepaintDue(LRunLoopTimer*, void* data)
{
    static_cast<VTProjectTemplateViewer*>(data)->Update();
}

void VTProjectTemplateViewer::Prepaint(LPaintContext& context)
{
    const long long start = LRunLoop::NowMs();
    const bool painted = PaintDesign(context);
    // Reached with the keyboard, the canvas is framed in the focus colour.
    if (context.mForScreen && ShowsKeyboardFocus()) {
        const float line = float(2 * std::max(1.0, GetBackingScale()));
        LPaintSurface::DrawFrameAA(context, LPaintSurface::GetFocusIndicatorColor(), line / 2,
            line / 2, float(mWidth) - line, float(mHeight) - line, line);
    }
    // Timed with what the display does with it: drawing many pictures costs the display more
    // than it costs here.
    if (context.mForScreen && context.GetPlatformContext()) {
        cairo_surface_flush(cairo_get_target(context.GetPlatformContext()));
        LUiSyncDisplay();
    }
    lastPaintEnd = LRunLoop::NowMs();
    lastPaintMs = lastPaintEnd - start;
    if (painted && designPainted)
        designPainted();
}

void VTProjectTemplateViewer::PaintBackgroundAndOverlays(LPaintContext& context,
    const LMatrix<float>& matrix, const LGraphicsPath& clip, VTOverlay*& next, bool background,
    long long until)
{
    if (background) {
        VTTemplateData* data = collection->GetTemplateData();
        context.SaveGState();
        LPaintSurface::ClipIntersect(context, clip);
        if (data && collection->backgroundBrush && collection->backgroundBrush->kind != 0)
            data->PaintBackground(context, collection->backgroundBrush.Get());
        context.RestoreGState();
    }
    VTOverlay* const from = next;
    for (; next; next = next->next) {
        // At least one overlay a slice, so that the picture always grows.
        if (until && next != from && LRunLoop::NowMs() >= until)
            return;
        if (!VTIsPaintableOverlay(*next))
            continue;
        LPaintSurface::Transform(context, VTOverlayPaintMatrix(*next));
        next->Paint(context);
        LPaintSurface::TransformReset(context, matrix);
    }
}

bool VTProjectTemplateViewer::PaintInSlices(
    LPaintContext& context, const LMatrix<float>& matrix, const LGraphicsPath& clip)
{
    const bool made = slices.Paint(context, collection, collection->GetLinkChanges(), matrix,
        [&](LPaintContext& part, bool begin, long long until) {
            if (begin)
                sliceNext = collection->first;
            PaintBackgroundAndOverlays(part, matrix, clip, sliceNext, begin, until);
            return sliceNext == nullptr;
        });
    designWhole = made && slices.WasWhole();
    return made;
}

bool VTProjectTemplateViewer::PaintDesign(LPaintContext& context)
{
    const int W = mWidth, H = mHeight;
    LPaintSurface::FillRectAA(context, LGuiColor(0xE600, 0xE600, 0xE600), 0, 0, float(W), float(H));
    // Without a design, or with one that cannot be fitted (no geometry, no room), the canvas
    // shows its background only.
    if (!collection || !HasUsableGeometry()) {
        designWhole = true;
        return false;
    }
    const LMatrix<float> matrix = CalculateCollectionMatrix();
    LPaintSurface::TransformReset(context, matrix);

    VTTemplateData* data = collection->GetTemplateData();
    LGraphicsPath clip;
    if (data)
        data->GetClippingPath(clip);
    // A design of very many overlays is painted into a picture kept between paints, some of its
    // overlays at a time, so that the window answers in between; until the picture is whole the
    // last whole one is shown, or the new one as far as it got.
    if (!context.mForScreen || !collection->HasAtLeast(kVTManyOverlays)
        || !PaintInSlices(context, matrix, clip)) {
        slices.Release();
        sliceNext = nullptr;
        VTOverlay* next = collection->first;
        PaintBackgroundAndOverlays(context, matrix, clip, next, true, 0);
        designWhole = true;
    }

    // Dim whatever lies outside the label's shape.
    {
        LMatrix<float> inverse = matrix;
        inverse.Invert();
        const LPointTemplate<float> corner = inverse.TransformPoint(LPointTemplate<float>(0, 0));
        const LPointTemplate<float> far
            = inverse.TransformPoint(LPointTemplate<float>(float(W), float(H)));
        const float x = std::max(std::fabs(corner.x), std::fabs(far.x));
        const float y = std::max(std::fabs(corner.y), std::fabs(far.y));
        // The region inside the rectangle and outside the shape, filled by the even-odd rule
        // (the same pixels as a clip to it and a fill of the rectangle, without a clip mask).
        LGraphicsPath outside;
        outside.SetWindingFill(false);
        outside.AddRectangle(-x, -y, 2 * x, 2 * y);
        outside.AddPath(clip, false);
        LPaintSurface::FillPath(context, LGuiSolidBrush(LGuiColor(0, 0, 0), 0x40), outside);
    }

    const float onePixel = VTScreenGetSize(context, 1.0f);
    if (data)
        data->PaintOutline(context, LGuiColor(0, 0, 0), onePixel, nullptr);

    VTOverlay* selected = GetSingleSelectedItem();
    if (selected && VTIsPaintableOverlay(*selected)) {
        LPaintSurface::Transform(context, VTOverlayPaintMatrix(*selected));
        const float px1 = VTScreenGetSize(context, 1.0f);
        const float px5 = VTScreenGetSize(context, 5.0f);
        float w = 0, h = 0;
        selected->GetDimensions(w, h);
        const LBoundingBox2T<float> box(-w / 2, -h / 2, w / 2, h / 2);
        const LGuiSolidBrush black(LGuiColor(0, 0, 0));
        const bool focused = HasKeyboardFocus();
        if (!focused || selected->copied) {
            LLineStyle style;
            style.dashStyle = LDashStyleCustom;
            const float dash = focused ? 2.0f : 4.0f;
            const float dashes[2] = { dash, dash };
            style.SetCustomDashes(dashes, 2);
            style.mitreLimit = 10.0f;
            LPaintSurface::DrawRectangle(context, box, black, px1, &style);
        } else {
            LPaintSurface::DrawFrameAA(context, LGuiColor(0, 0, 0), box.left, box.top,
                box.right - box.left, box.bottom - box.top, px1);
        }
        const LGuiColor handle(0x6400, 0x9500, 0xED00);
        const float cx[2] = { box.left, box.right }, cy[2] = { box.top, box.bottom };
        for (float hx : cx)
            for (float hy : cy)
                LPaintSurface::FillRectAA(context, handle, hx - px5, hy - px5, 2 * px5, 2 * px5);
        LPaintSurface::TransformReset(context, matrix);
    }
    LPaintSurface::TransformReset(context);
    return true;
}
