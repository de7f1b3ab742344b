#include "app/VTHistoryState.h"

#include "app/VTOverlayImage.h"
#include "app/VTProjectTemplateViewer.h"
#include "lfw/gen/LString.h"

#include <algorithm>
#include <cstring>
#include <utility>

VTHistoryState::VTHistoryState(const char* text, VTHistoryStateKind stepKind)
    : kind(stepKind)
{
    utf8strlcpy(caption, text ? text : "", sizeof caption);
}

VTHistoryStateOnTemplate::VTHistoryStateOnTemplate(const char* text, VTHistoryStateKind stepKind,
    VTProjectTemplateViewer& viewer, VTProjectTemplate& design)
    : VTHistoryState(text, stepKind)
    , canvas(viewer)
    , projectTemplate(design)
{
}

void VTHistoryStateOnTemplate::ShowResult(int index)
{
    canvas.SetCollection(&projectTemplate);
    canvas.ClearSelectedItems();
    canvas.SetSelectedItemIndex(index);
}

// One overlay

VTCopySingleOverlayState::VTCopySingleOverlayState(const char* caption,
    VTProjectTemplateViewer& viewer, VTProjectTemplate& design, VTOverlay* overlay)
    : VTHistoryStateOnTemplate(caption, VTHistoryStateKindSingleOverlay, viewer, design)
    , copy(overlay ? overlay->CloneLight() : nullptr)
    , index(viewer.GetSelectedItemIndex())
{
}

VTCopySingleOverlayState::~VTCopySingleOverlayState()
{
    delete copy;
}

void VTCopySingleOverlayState::Exchange()
{
    if (index >= 0 && copy) {
        // An overlay of another kind (the list changed under the step) is left alone.
        VTOverlay* live = projectTemplate.GetItemAt(size_t(index));
        if (live && live->GetType() == copy->GetType())
            live->SwapContent(copy);
    }
    ShowResult(index);
}

void VTCopySingleOverlayState::AddPictures(
    std::vector<const VTCountableImageBuffer*>& pictures) const
{
    if (const VTOverlayImage* image = VTOverlayAsImage(copy); image && image->image)
        pictures.push_back(image->image.get());
}

// Stacking order

VTCopyListOverlayOrderState::VTCopyListOverlayOrderState(
    const char* caption, VTProjectTemplateViewer& viewer, VTProjectTemplate& design, bool up)
    : VTHistoryStateOnTemplate(caption, VTHistoryStateKindOverlayOrder, viewer, design)
    , raise(up)
    , index(viewer.GetSelectedItemIndex() + (up ? 1 : -1))
{
}

void VTCopyListOverlayOrderState::Toggle()
{
    const int n = raise ? index - 1 : index + 1;
    if (n >= 0) {
        // No successor (a position past the end) swaps nothing.
        projectTemplate.SwapItemWithNext(projectTemplate.GetItemAt(size_t(std::min(index, n))));
        index = n;
        raise = !raise;
    }
    ShowResult(index);
}

// The whole design

VTCopySingleTemplateState::VTCopySingleTemplateState(
    const char* caption, VTProjectTemplateViewer& viewer, VTProjectTemplate& design)
    : VTHistoryStateOnTemplate(caption, VTHistoryStateKindSingleTemplate, viewer, design)
    , index(viewer.GetSelectedItemIndex())
{
    for (VTOverlay* overlay = design.first; overlay; overlay = overlay->next)
        if (VTOverlay* clone = overlay->Clone())
            overlays.AddItem(clone, false);
    if (design.backgroundBrush)
        brush.Reset(new LBrushInfo(*design.backgroundBrush));
    utf8strlcpy(imagePath, design.backgroundImagePath, sizeof imagePath);
}

void VTCopySingleTemplateState::AddPictures(
    std::vector<const VTCountableImageBuffer*>& pictures) const
{
    for (const VTOverlay* overlay = overlays.first; overlay; overlay = overlay->next)
        if (const VTOverlayImage* image = VTOverlayAsImage(overlay); image && image->image)
            pictures.push_back(image->image.get());
}

void VTCopySingleTemplateState::Exchange()
{
    projectTemplate.SwapOverlayList(overlays);
    LBrushInfo* live = projectTemplate.backgroundBrush.Release();
    projectTemplate.backgroundBrush.Reset(brush.Release());
    brush.Reset(live);
    char path[kLPathSize];
    utf8strlcpy(path, projectTemplate.backgroundImagePath, sizeof path);
    utf8strlcpy(
        projectTemplate.backgroundImagePath, imagePath, sizeof projectTemplate.backgroundImagePath);
    utf8strlcpy(imagePath, path, sizeof imagePath);
    ShowResult(index);
    // The design changed: its project is told (and so marked modified) as for any other edit.
    projectTemplate.NotifyItemsChanged();
}

// An added overlay

VTAddOverlayState::VTAddOverlayState(
    const char* caption, VTProjectTemplateViewer& viewer, VTProjectTemplate& design)
    : VTHistoryStateOnTemplate(caption, VTHistoryStateKindAddOverlay, viewer, design)
    , countBefore(design.GetCount())
    , index(viewer.GetSelectedItemIndex())
{
}

VTAddOverlayState::~VTAddOverlayState()
{
    delete removed;
}

void VTAddOverlayState::Undo()
{
    if (!removed && projectTemplate.GetCount() == countBefore + 1) {
        // Taken out as a whole-design step takes its overlays out: without telling anyone of a
        // deletion, the design no longer observing it.
        VTOverlay** link = &projectTemplate.first;
        while ((*link)->next)
            link = &(*link)->next;
        removed = *link;
        *link = nullptr;
        projectTemplate.ForgetLastItem();
        removed->RemoveNotifyee(projectTemplate);
    }
    ShowResult(index);
    projectTemplate.NotifyItemsChanged();
}

void VTAddOverlayState::AddPictures(std::vector<const VTCountableImageBuffer*>& pictures) const
{
    if (const VTOverlayImage* image = VTOverlayAsImage(removed); image && image->image)
        pictures.push_back(image->image.get());
}

void VTAddOverlayState::Redo()
{
    if (removed && projectTemplate.GetCount() == countBefore) {
        projectTemplate.InsertOverlay(removed, false);
        removed = nullptr;
    }
    ShowResult(index);
    projectTemplate.NotifyItemsChanged();
}
