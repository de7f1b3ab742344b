#include "app/VTProjectTemplateViewer.h"

#include "app/VTOptions.h"
#include "app/VTPaintTemplatesAndOverlays.h"
#include "lfw/mac/LGraphicsPath.h"
#include "lfw/mac/LLineStyle.h"
#include "lfw/mac/LPaintSurface.h"
#include "platform/ui/LUiSystem.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

VTProjectTemplateViewer::VTProjectTemplateViewer()
    : VTItemViewer<VTProjectTemplate, VTOverlay>(true, true)
{
}

VTProjectTemplateViewer::~VTProjectTemplateViewer()
{
    shown.Release();
    building.Release();
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
    shown.Release();
    building.Release();
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
// A design of this many overlays is painted in slices of at most about this long (ms).
constexpr size_t kManyOverlays = 1000;
constexpr long long kPaintSliceMs = 40;
} // namespace

void VTProjectTemplateViewer::Invalidate()
{
    picturesStale = true;
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

void VTProjectTemplateViewer::Picture::Release()
{
    if (surface)
        cairo_surface_destroy(surface);
    surface = nullptr;
    design = nullptr;
    next = nullptr;
    painted = 0;
}

bool VTProjectTemplateViewer::Picture::Fits(
    const VTProjectTemplate* shown, int width, int height, const LMatrix<float>& placement) const
{
    return surface && design == shown && this->width == width && this->height == height
        && std::memcmp(matrix.m, placement.m, sizeof matrix.m) == 0;
}

bool VTProjectTemplateViewer::PaintInSlices(
    LPaintContext& context, const LMatrix<float>& matrix, const LGraphicsPath& clip)
{
    cairo_t* cr = context.GetPlatformContext();
    const int W = mWidth, H = mHeight;
    if (!cr || W < 1 || H < 1)
        return false;
    if (!shown.Fits(collection, W, H, matrix))
        shown.Release();
    // The last whole picture shows the design as it is, and no other is being made: it is all
    // there is to show.
    const bool shownCurrent = !picturesStale && shown.surface
        && shown.linkChanges == collection->GetLinkChanges()
        && (!building.surface || building.complete);
    if (!shownCurrent
        && (picturesStale || !building.surface || !building.Fits(collection, W, H, matrix)
            || building.linkChanges != collection->GetLinkChanges())) {
        // A new picture, made beside the target (on the display's side), a pixel a unit.
        if (!building.surface || building.width != W || building.height != H) {
            building.Release();
            // Sized in the target's units, which its scale makes device pixels.
            cairo_surface_t* target = cairo_get_target(cr);
            double sx = 1, sy = 1;
            cairo_surface_get_device_scale(target, &sx, &sy);
            building.surface = cairo_surface_create_similar(
                target, CAIRO_CONTENT_COLOR_ALPHA, int(std::ceil(W / sx)), int(std::ceil(H / sy)));
            if (cairo_surface_status(building.surface) != CAIRO_STATUS_SUCCESS) {
                building.Release();
                return false;
            }
            cairo_surface_set_device_scale(building.surface, 1, 1);
        }
        building.design = collection;
        building.width = W;
        building.height = H;
        building.matrix = matrix;
        building.next = collection->first;
        building.linkChanges = collection->GetLinkChanges();
        building.painted = 0;
        building.complete = false;
        picturesStale = false;
    }
    bool whole = shownCurrent || building.complete;
    if (!whole) {
        cairo_t* into = cairo_create(building.surface);
        if (building.painted == 0) {
            cairo_set_operator(into, CAIRO_OPERATOR_CLEAR);
            cairo_paint(into);
            cairo_set_operator(into, CAIRO_OPERATOR_OVER);
        }
        {
            LPaintContext part(into, W, H);
            part.SetView(context.GetView());
            part.SetClientRect(0, 0, W, H);
            part.mForScreen = context.mForScreen;
            LPaintSurface::TransformReset(part, matrix);
            PaintBackgroundAndOverlays(part, matrix, clip, building.next, building.painted == 0,
                LRunLoop::NowMs() + kPaintSliceMs);
            building.complete = !building.next;
            ++building.painted;
            LPaintSurface::TransformReset(part);
            if (part.mPicturesPending)
                context.mPicturesPending = true;
        }
        cairo_destroy(into);
        if (building.complete) {
            std::swap(shown, building);
            whole = true;
        }
    }
    // The last whole picture while the next one is made; the first one as far as it got.
    const Picture& source = shown.surface ? shown : building;
    if (source.surface) {
        cairo_save(cr);
        cairo_matrix_t base = context.GetBaseTransform();
        cairo_set_matrix(cr, &base);
        cairo_set_source_surface(cr, source.surface, 0, 0);
        cairo_paint(cr);
        cairo_restore(cr);
    }
    // The next slice once the loop has done what waits (input, drawing, posted work): a start
    // that opened the design is answered meanwhile.
    designWhole = whole;
    if (!whole)
        nextSlice.Arm(0);
    return true;
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
    if (!context.mForScreen || !collection->HasAtLeast(kManyOverlays)
        || !PaintInSlices(context, matrix, clip)) {
        shown.Release();
        building.Release();
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
