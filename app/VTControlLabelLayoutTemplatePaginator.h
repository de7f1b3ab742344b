// The strip of tabs above the design canvas: one tab per label position of the project's label
// layout (or, when the layout shows one design per format, one per design), each standing for
// a label position. A click on a tab makes its position the current one and tells the
// observers (the project viewer).
#pragma once

#include "app/VTProject.h"
#include "app/VTProjectViewerNotifyee.h"
#include "app/controls/VTControl.h"
#include "lfw/gui/LTabBar.h"

class VTControlLabelLayoutTemplatePaginatorNotifyee {
public:
    virtual ~VTControlLabelLayoutTemplatePaginatorNotifyee() = default;
    virtual void EvLabelLayoutTemplatePaginatorClicked() { }
};

class VTControlLabelLayoutTemplatePaginator
    : public VTControl<VTControlLabelLayoutTemplatePaginatorNotifyee>,
      public VTProjectViewerNotifyee {
public:
    VTControlLabelLayoutTemplatePaginator();
    ~VTControlLabelLayoutTemplatePaginator() override;

    void InitDialog() override;
    void DestroyDialog() override;
    void LayoutControls(int x, int y, int width, int height) override;
    void Command(int id, int code) override;

    // Shows one tab per page (its first label position; a page without positions gets none)
    // and selects the first; null shows none.
    void SetProject(VTProject* value);
    // Shows the tabs of every position (or one per design when the layout shows one design per
    // format) with the position's tab selected; a null position changes nothing.
    void UpdatePaginator(VTLabelLayoutTemplate* tpl);
    void EvProjectViewerLabelLayoutSelectionChanged(VTLabelLayoutTemplate* tpl) override;

    VTProject* GetProject() const { return project; }
    VTLabelLayoutTemplate* GetCurrentTemplate() const { return current; }
    LTabBar& GetTabBar() { return tabBar; }

    // Whether the position shows the design: the same format and its id in the design's list.
    static bool TemplateShowsDesign(
        const VTLabelLayoutTemplate& tpl, const VTProjectTemplate& design);

private:
    void AddTabFor(VTLabelLayoutTemplate& tpl);
    VTLabelLayoutTemplate* SelectedTemplate() const;

    VTProject* project = nullptr;
    VTLabelLayoutTemplate* current = nullptr;
    LTabBar tabBar;
};
