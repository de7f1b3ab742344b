// The first choice of a project's label layout ("Välj etikettlayout"): six large buttons for the
// generic paper layouts of a CD, a DVD and a Blu-ray disc, printing directly on the disc, the
// built-in stationery and a custom layout exported earlier. The dialog closes as soon as a choice
// yields a layout, which the caller then owns.
#pragma once

#include "app/VTLabelLayout.h"
#include "lfw/gui/LSmallControls.h"
#include "lfw/mac/LDialog.h"

#include <memory>
#include <string>

class VTLabelLayoutSelectDialog : public LDialog, public LCoolButtonContainer {
public:
    enum : int {
        kHeading = 1013,
        kCD = 1000,
        kCDText = 1001,
        kDVD = 1002,
        kDVDText = 1003,
        kBluRay = 1011,
        kBluRayText = 1012,
        kDirect = 1004,
        kDirectText = 1005,
        kDirectLink = 1006,
        kStationery = 1007,
        kStationeryText = 1008,
        kCustom = 1009,
        kCustomText = 1010,
    };

    void InitDialog() override;
    void DestroyDialog() override;
    void Command(int id, int code) override;
    void CmHelp() override;
    void EvWindowReady() override;
    // Laid out again at the desktop's new text size.
    void EvTextSizeChanged() override;
    void LayoutControls();

    void CmTemplateCreatePaperCD();
    void CmTemplateCreatePaperDVD();
    void CmTemplateCreatePaperBluRay();
    void CmTemplateCreateDirectToDisc();
    void CmTemplateStationery();
    void CmTemplateCustom();

    // Takes the layout chosen last (null when none).
    VTLabelLayout* TakeLayout() { return fLayout.release(); }
    const VTLabelLayout* Chosen() const { return fLayout.get(); }

private:
    void Choose(VTLabelLayout* layout);

    std::unique_ptr<VTLabelLayout> fLayout;
};

// Runs the dialog over parent: a new layout owned by the caller, or null without a choice.
VTLabelLayout* VTLabelLayoutSelectDialogOpen(LView* parent);

// The folder the layout file panels open in, whole: the project folder used last, or the
// documents folder when that one is gone.
void VTLabelLayoutRecentFolderGet(std::string& folder);
