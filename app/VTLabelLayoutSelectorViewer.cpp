#include "app/VTLabelLayoutSelectorViewer.h"

#include <algorithm>
#include <vector>

VTLabelLayoutSelectorViewer::VTLabelLayoutSelectorViewer()
    : VTLabelLayoutPageViewerBase(true, false)
{
}

VTLabelLayoutSelectorViewer::~VTLabelLayoutSelectorViewer()
{
    DestroyPaintControl();
}

LBoundingBox2T<float> VTLabelLayoutSelectorViewer::GetCollectionBoundingBox() const
{
    return VTLabelLayoutSheetBox(
        project ? project->GetLabelLayout() : nullptr, collection != nullptr);
}

void VTLabelLayoutSelectorViewer::SelectItemAtPosition(float x, float y)
{
    if (!collection || !GetTopmostItemAtPosition(x, y))
        return;
    VTLabelLayoutPageViewerBase::SelectItemAtPosition(x, y);
}

void VTLabelLayoutSelectorViewer::NotifyItemSelectionChanged()
{
    VTLabelLayoutTemplate* single = GetSingleSelectedItem();
    if (!single)
        return;
    notifier.Notify(
        &VTLabelLayoutSelectorViewerNotifyee::EvLabelLayoutSelectorViewerChanged, single);
    Invalidate();
}

bool VTLabelLayoutSelectorViewer::EvKeyDown(LKey key)
{
    if (key.KeyCode() != 0 || key.Character() != ' ' || (key.Modifiers() & ~LKey::kShift) != 0
        || !collection || !collection->first)
        return false;
    std::vector<VTLabelLayoutTemplate*> positions;
    for (VTLabelLayoutTemplate* t = collection->first; t; t = t->next)
        positions.push_back(t);
    const int count = int(positions.size());
    const int step = (key.Modifiers() & LKey::kShift) ? -1 : 1;
    const auto found = std::find(positions.begin(), positions.end(), GetSingleSelectedItem());
    int index = found == positions.end() ? (step > 0 ? -1 : 0) : int(found - positions.begin());
    index = ((index + step) % count + count) % count;
    // As the right button picks it.
    selectedItems.Clear();
    SetItemSelected(positions[size_t(index)], true, true);
    Invalidate();
    return true;
}

void VTLabelLayoutSelectorViewer::Prepaint(LPaintContext& context)
{
    VTLabelLayoutPagePaint(context, *this, false);
    // Reached with the keyboard, the page is framed in the focus colour.
    if (context.mForScreen && ShowsKeyboardFocus()) {
        const float line = float(2 * std::max(1.0, GetBackingScale()));
        LPaintSurface::DrawFrameAA(context, LPaintSurface::GetFocusIndicatorColor(), line / 2,
            line / 2, float(mWidth) - line, float(mHeight) - line, line);
    }
}
