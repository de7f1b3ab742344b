#include "app/VTControlLabelLayoutTemplatePaginator.h"

#include <cstdint>

namespace {

unsigned long Tag(VTLabelLayoutTemplate* tpl)
{
    return static_cast<unsigned long>(reinterpret_cast<uintptr_t>(tpl));
}

} // namespace

VTControlLabelLayoutTemplatePaginator::VTControlLabelLayoutTemplatePaginator() = default;

VTControlLabelLayoutTemplatePaginator::~VTControlLabelLayoutTemplatePaginator()
{
    tabBar.DestroyPaintControl();
}

void VTControlLabelLayoutTemplatePaginator::InitDialog()
{
    AddPaintControl(1000);
    tabBar.Init(*this, 1000);
    tabBar.SetCommandIds(0, 1001, 1002, 0);
}

void VTControlLabelLayoutTemplatePaginator::DestroyDialog()
{
    tabBar.DestroyPaintControl();
    VTControl::DestroyDialog();
}

void VTControlLabelLayoutTemplatePaginator::LayoutControls(int x, int y, int width, int)
{
    MoveControlPixels(1000, x, y, width, int(36 * GetBackingScaleFactor() * TextScale()));
}

bool VTControlLabelLayoutTemplatePaginator::TemplateShowsDesign(
    const VTLabelLayoutTemplate& tpl, const VTProjectTemplate& design)
{
    if (tpl.GetFormat() != design.GetFormat())
        return false;
    for (const VTLabelLayoutTemplateID& mapped : design.mappedIDs)
        if (mapped.id == tpl.GetID())
            return true;
    return false;
}

void VTControlLabelLayoutTemplatePaginator::AddTabFor(VTLabelLayoutTemplate& tpl)
{
    const VTTemplateData* data = tpl.GetTemplateData();
    tabBar.AddTab(data ? data->GetDescriptionLong() : "", Tag(&tpl));
}

VTLabelLayoutTemplate* VTControlLabelLayoutTemplatePaginator::SelectedTemplate() const
{
    const LTab* tab = tabBar.GetSelectedTab();
    return tab ? reinterpret_cast<VTLabelLayoutTemplate*>(uintptr_t(tab->dataTag)) : nullptr;
}

void VTControlLabelLayoutTemplatePaginator::SetProject(VTProject* value)
{
    project = value;
    tabBar.RemoveAllTabs();
    VTLabelLayout* layout = project ? project->GetLabelLayout() : nullptr;
    if (!layout) {
        current = nullptr;
        return;
    }
    for (VTLabelLayoutPage& page : layout->pages)
        if (page.first)
            AddTabFor(*page.first);
    tabBar.SelectTabAtIndex(0);
    current = SelectedTemplate();
}

void VTControlLabelLayoutTemplatePaginator::UpdatePaginator(VTLabelLayoutTemplate* tpl)
{
    if (!tpl)
        return;
    tabBar.RemoveAllTabs();
    VTLabelLayout* layout = project ? project->GetLabelLayout() : nullptr;
    if (!layout)
        return;
    current = tpl;
    if (!layout->sameFormat) {
        for (VTLabelLayoutPage& page : layout->pages)
            for (VTLabelLayoutTemplate* t = page.first; t; t = t->next)
                AddTabFor(*t);
        if (LTab* tab = tabBar.GetTabWithDataTag(Tag(current)))
            tabBar.SelectTab(*tab);
    } else {
        for (VTProjectTemplate& design : project->templates) {
            VTLabelLayoutTemplate* shown = nullptr;
            for (VTLabelLayoutPage& page : layout->pages) {
                for (VTLabelLayoutTemplate* t = page.first; t && !shown; t = t->next)
                    if (TemplateShowsDesign(*t, design))
                        shown = t;
                if (shown)
                    break;
            }
            if (!shown)
                continue;
            AddTabFor(*shown);
            if (shown->GetFormat() == tpl->GetFormat()) {
                current = shown;
                if (LTab* tab = tabBar.GetTabWithDataTag(Tag(shown)))
                    tabBar.SelectTab(*tab);
            }
        }
    }
    if (!tabBar.GetSelectedTab() && tabBar.GetTabCount() > 0)
        tabBar.SelectTabAtIndex(0);
}

void VTControlLabelLayoutTemplatePaginator::EvProjectViewerLabelLayoutSelectionChanged(
    VTLabelLayoutTemplate* tpl)
{
    UpdatePaginator(tpl);
}

void VTControlLabelLayoutTemplatePaginator::Command(int id, int code)
{
    if (id == 1001) {
        current = SelectedTemplate();
        NotifyAll(
            &VTControlLabelLayoutTemplatePaginatorNotifyee::EvLabelLayoutTemplatePaginatorClicked);
        return;
    }
    if (id == 1002)
        return; // close boxes are not shown
    LMacWindow::Command(id, code);
}
