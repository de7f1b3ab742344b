#include "app/VTPrintPreviewViewer.h"

#include "app/VTLabelLayoutTemplateEdit.h"
#include "app/VTOptions.h"
#include "app/VTTemplateData.h"
#include "lfw/mac/LGraphicsPath.h"
#include "lfw/mac/LLineStyle.h"
#include "lfw/mac/LPaintImagePass.h"
#include "lfw/mac/LPaintSurface.h"

#include <algorithm>
#include <cmath>

VTPrintPreviewViewer::VTPrintPreviewViewer(VTProject& project)
    : VTItemViewer<VTLabelLayoutPage, VTLabelLayoutTemplate>(false, true)
    , pProject(&project)
{
}

VTPrintPreviewViewer::~VTPrintPreviewViewer()
{
    DestroyPaintControl();
}

void VTPrintPreviewViewer::EvMouseMove(int, int)
{
    LGuiCursor::Restore();
}

void VTPrintPreviewViewer::EvLButtonDown(int px, int py)
{
    FocusControl();
    float x = 0, y = 0;
    TransformPointPixelsToMillimetres(x, y, float(px), float(py));
    SelectItemAtPosition(x, y);
    // Only the selection's outline changes: the page's picture stays.
    Update();
}

void VTPrintPreviewViewer::EvLButtonUp(int, int)
{
    ReleaseCapture();
    firstMove = true;
    for (auto* n = selectedItems.first; n; n = n->next)
        n->item->hitFlags = 0;
}

bool VTPrintPreviewViewer::EvKeyDown(LKey key)
{
    if (const int step = ChoiceStepOfKey(key); step && HasKeyboardFocus()) {
        ChooseNeighbourItem(step);
        return true;
    }
    return false;
}

void VTPrintPreviewViewer::NotifyItemSelectionChanged()
{
    Notify(&VTPrintPreviewViewerNotifyee::EvPrintPreviewViewerSelectionChanged, *this);
}

void VTPrintPreviewViewer::Invalidate()
{
    slices.SetStale();
    Update();
}

unsigned long long VTPrintPreviewViewer::PageLinkChanges() const
{
    if (!collection)
        return 0;
    // Each count only grows: so does their sum.
    unsigned long long changes = collection->GetLinkChanges();
    for (const VTLabelLayoutTemplate* position = collection->first; position;
         position = position->next)
        if (const VTProjectTemplate* design = VTFindDesignForPosition(*pProject, position->id))
            changes += design->GetLinkChanges();
    return changes;
}

LBoundingBox2T<float> VTPrintPreviewViewer::GetCollectionBoundingBox() const
{
    if (!collection)
        return LBoundingBox2T<float>(0, 0, 1, 1);
    const VTLabelLayout* layout = pProject->GetLabelLayout();
    float w = 0, h = 0;
    if (layout
        && (layout->printMedium == VTPrintMediumPaper || layout->printMedium == VTPrintMediumDisc))
        layout->GetPageDimensions(w, h);
    return LBoundingBox2T<float>(-w / 2, -h / 2, w / 2, h / 2);
}

void VTPrintPreviewViewer::Prepaint(LPaintContext& context)
{
    // The page is shown as the print, the PDF and the image export hold it: drawn as into an
    // image (a window's surface would let text through the clip of a disc's hub).
    LPaintImagePass asPrinted(context);
    const int W = mWidth, H = mHeight;
    LPaintSurface::FillRectAA(context, LGuiColor(0xE600, 0xE600, 0xE600), 0, 0, float(W), float(H));
    // Without a page, or with a sheet that cannot be fitted (a printer missing from the table
    // gives a sheet of 0 x 0), the ground stays grey.
    if (!collection || !HasUsableGeometry()) {
        slices.Release();
        pageWhole = true;
        return;
    }
    const LMatrix<float> matrix = CalculateCollectionMatrix();
    LPaintSurface::TransformReset(context, matrix);
    const LBoundingBox2T<float> sheet = GetCollectionBoundingBox();
    LPaintSurface::FillRectAA(context, LGuiColor(0xFFFF, 0xFFFF, 0xFFFF), sheet.left, sheet.top,
        sheet.right - sheet.left, sheet.bottom - sheet.top);

    // On the screen through the picture made a slice at a time; elsewhere, or when no picture
    // can be made, whole.
    const float outlineWidth = VTPrintTemplateOutlineWidthGet();
    const bool sliced = context.mForScreen
        && slices.Paint(context, collection, PageLinkChanges(), matrix,
            [&](LPaintContext& part, bool begin, long long until) {
                return PaintTemplatesAndOverlaysPart(part, *pProject, collection, bPaintOutlines,
                    outlineWidth, slicePlace, begin, until);
            });
    if (sliced) {
        pageWhole = slices.WasWhole();
    } else {
        slices.Release();
        PaintTemplatesAndOverlays(context, *pProject, collection, bPaintOutlines, outlineWidth);
        pageWhole = true;
    }

    VTLabelLayoutTemplate* selected = GetSingleSelectedItem();
    if (selected && collection->first && collection->first->next && VTIsPaintablePosition(*selected)
        && selected->GetTemplateData()) {
        LPaintSurface::Transform(
            context, VTPlacementMatrix(selected->rotation, selected->centreX, selected->centreY));
        const float onePixel = VTScreenGetSize(context, 1.0f);
        LLineStyle style;
        style.dashStyle = LDashStyleCustom;
        const float dashes[2] = { 2.0f, 2.0f };
        style.SetCustomDashes(dashes, 2);
        selected->GetTemplateData()->PaintOutline(
            context, LGuiColor(0x0000, 0xB700, 0xEB00), onePixel, &style);
        LPaintSurface::TransformReset(context, matrix);
    }

    // Darken everything beyond the sheet.
    {
        LMatrix<float> inverse = matrix;
        inverse.Invert();
        const LPointTemplate<float> a = inverse.TransformPoint(LPointTemplate<float>(0, 0));
        const LPointTemplate<float> b
            = inverse.TransformPoint(LPointTemplate<float>(float(W), float(H)));
        const float x
            = std::max({ std::fabs(a.x), std::fabs(b.x), std::fabs(a.y), std::fabs(b.y) });
        LGraphicsPath outside;
        outside.SetWindingFill(false);
        outside.AddRectangle(-x, -x, 2 * x, 2 * x);
        outside.AddRectangle(
            sheet.left, sheet.top, sheet.right - sheet.left, sheet.bottom - sheet.top);
        LPaintSurface::FillPath(context, LGuiSolidBrush(LGuiColor(0, 0, 0), 0x40), outside);
    }
    LPaintSurface::DrawFrameAA(context, LGuiColor(0, 0, 0), sheet.left, sheet.top,
        sheet.right - sheet.left, sheet.bottom - sheet.top, 1.0f);
    LPaintSurface::TransformReset(context);
    // Reached with the keyboard, the page is framed in the focus colour.
    if (context.mForScreen && ShowsKeyboardFocus()) {
        const float line = float(2 * std::max(1.0, GetBackingScale()));
        LPaintSurface::DrawFrameAA(context, LPaintSurface::GetFocusIndicatorColor(), line / 2,
            line / 2, float(W) - line, float(H) - line, line);
    }
}
