#include "app/VTControlTemplateSelector.h"

#include "app/VTControlLabelLayoutTemplatePaginator.h"

VTControlTemplateSelector::VTControlTemplateSelector() = default;

VTControlTemplateSelector::~VTControlTemplateSelector()
{
    viewer.RemoveNotifyee(*this);
    viewer.DestroyPaintControl();
}

void VTControlTemplateSelector::InitDialog()
{
    AddPaintControl(1000);
    viewer.Init(*this, 1000);
    viewer.SetKeyboardReachable();
    viewer.AddNotifyee(*this);
}

void VTControlTemplateSelector::DestroyDialog()
{
    viewer.DestroyPaintControl();
    VTControl::DestroyDialog();
}

void VTControlTemplateSelector::LayoutControls(int x, int y, int width, int)
{
    MoveControlPixels(1000, x, y, width, int(200 * GetBackingScaleFactor()));
}

void VTControlTemplateSelector::EvLabelLayoutSelectorViewerChanged(VTLabelLayoutTemplate* tpl)
{
    NotifyAll(&VTControlTemplateSelectorNotifyee::EvControlTemplateSelectorSelectionChanged, tpl);
}

void VTControlTemplateSelector::SetSelectedProjectTemplate(
    VTProject* project, VTProjectTemplate* value, unsigned long& page)
{
    design = value;
    if (!design)
        return;
    viewer.SetProject(project);
    VTLabelLayout* layout = project ? project->GetLabelLayout() : nullptr;
    page = 1;
    if (!layout) {
        viewer.SetCollection(nullptr);
        return;
    }
    for (VTLabelLayoutPage& p : layout->pages) {
        bool shows = false;
        for (VTLabelLayoutTemplate* t = p.first; t && !shows; t = t->next)
            shows = VTControlLabelLayoutTemplatePaginator::TemplateShowsDesign(*t, *design);
        if (!shows) {
            ++page;
            continue;
        }
        viewer.SetCollection(&p);
        for (VTLabelLayoutTemplate* t = p.first; t; t = t->next)
            if (VTControlLabelLayoutTemplatePaginator::TemplateShowsDesign(*t, *design))
                viewer.SetItemSelected(t, true, false);
        viewer.Invalidate();
        return;
    }
    viewer.SetCollection(nullptr);
}

void VTControlTemplateSelector::ShowPageSelectingFirst(VTLabelLayoutPage& page)
{
    viewer.SetCollection(&page);
    viewer.SetItemSelected(page.first, true, true);
    if (IsControlAlive())
        viewer.Invalidate();
}

void VTControlTemplateSelector::PreviousPage(VTProject* project, unsigned long& page)
{
    if (!design)
        return;
    page = 0;
    viewer.SetProject(project);
    VTLabelLayout* layout = project ? project->GetLabelLayout() : nullptr;
    VTLabelLayoutPage* shown = viewer.GetCollection();
    if (!layout || !shown)
        return;
    // The pages before the shown one, nearest last.
    VTLabelLayoutPage* found = nullptr;
    unsigned long index = 0, foundIndex = 0;
    bool reached = false;
    for (VTLabelLayoutPage& p : layout->pages) {
        ++index;
        if (&p == shown) {
            reached = true;
            break;
        }
        if (p.first) {
            found = &p;
            foundIndex = index;
        }
    }
    if (!reached || !found)
        return;
    page = foundIndex;
    ShowPageSelectingFirst(*found);
}

void VTControlTemplateSelector::NextPage(VTProject* project, unsigned long& page)
{
    if (!design)
        return;
    page = 1;
    viewer.SetProject(project);
    VTLabelLayout* layout = project ? project->GetLabelLayout() : nullptr;
    VTLabelLayoutPage* shown = viewer.GetCollection();
    if (!layout || !shown)
        return;
    unsigned long index = 0;
    bool reached = false;
    for (VTLabelLayoutPage& p : layout->pages) {
        ++index;
        if (!reached) {
            if (&p == shown) {
                reached = true;
                page = index;
            }
            continue;
        }
        if (p.first) {
            page = index;
            ShowPageSelectingFirst(p);
            return;
        }
    }
}
