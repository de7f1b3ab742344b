#include "app/VTLabelLayoutSelectorViewer.h"

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

void VTLabelLayoutSelectorViewer::Prepaint(LPaintContext& context)
{
    VTLabelLayoutPagePaint(context, *this, false);
}
