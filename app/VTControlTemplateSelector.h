// One page of the project's label layout as a small picture in the label-layout panel: the
// positions that show the current design are selected, the user picks another position with
// the right button, and the owner pages through the layout.
#pragma once

#include "app/VTLabelLayoutSelectorViewer.h"
#include "app/VTProject.h"
#include "app/controls/VTControl.h"

class VTControlTemplateSelectorNotifyee {
public:
    virtual ~VTControlTemplateSelectorNotifyee() = default;
    virtual void EvControlTemplateSelectorSelectionChanged(VTLabelLayoutTemplate* tpl)
    {
        (void)tpl;
    }
};

class VTControlTemplateSelector : public VTControl<VTControlTemplateSelectorNotifyee>,
                                  public VTLabelLayoutSelectorViewerNotifyee {
public:
    VTControlTemplateSelector();
    ~VTControlTemplateSelector() override;

    void InitDialog() override;
    void DestroyDialog() override;
    void LayoutControls(int x, int y, int width, int height) override;

    void EvLabelLayoutSelectorViewerChanged(VTLabelLayoutTemplate* tpl) override;

    // Shows the first page holding a position of the design, with all its positions of the
    // design selected (nobody told); page is that page's number from 1. Without such a page
    // the viewer shows no page and page is one past the pages walked. A null design only is stored.
    void SetSelectedProjectTemplate(
        VTProject* project, VTProjectTemplate* design, unsigned long& page);
    // Shows the nearest earlier page with positions and selects its first position (telling the
    // observers); page is its number, or 0 when there is none (nothing changes then).
    void PreviousPage(VTProject* project, unsigned long& page);
    // Shows the nearest later page with positions and selects its first position (telling the
    // observers); page is its number, or the shown page's number when there is none (nothing
    // changes then).
    void NextPage(VTProject* project, unsigned long& page);

    VTLabelLayoutSelectorViewer& GetViewer() { return viewer; }
    VTProjectTemplate* GetDesign() const { return design; }

private:
    // Shows the page and selects its first position with notification.
    void ShowPageSelectingFirst(VTLabelLayoutPage& page);

    VTLabelLayoutSelectorViewer viewer;
    VTProjectTemplate* design = nullptr;
};
