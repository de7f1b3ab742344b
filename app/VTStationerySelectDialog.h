// "Välj mallar": the built-in stationery by name, with a page-by-page preview of the selected one.
// The caller receives a copy of the chosen layout and owns it.
#pragma once

#include "app/VTLabelLayout.h"
#include "app/VTLabelLayoutData.h"
#include "app/VTLabelLayoutPageViewer.h"
#include "lfw/gui/LTabBar.h"
#include "lfw/mac/LDialog.h"

#include <memory>

class VTStationerySelectDialog : public LResizableDialog {
public:
    enum : int {
        kNameGroup = 1000,
        kList = 1001,
        kPreviewGroup = 1002,
        kTabBar = 1003,
        kViewer = 1004,
        kCmdListSelection = 2000,
        kCmdTabSelected = 2001,
    };

    VTStationerySelectDialog();
    ~VTStationerySelectDialog() override;

    void InitDialog() override;
    void EvWindowReady() override;
    void DestroyDialog() override;
    void Command(int id, int code) override;
    bool CmOk() override;
    void CmHelp() override;
    void EnableControls() override;
    void LayoutControls(int width, int height) override;

    void LabelLayoutChanged();
    void EvTabControlTabSelected();

    // Takes the selected copy (null when none).
    VTLabelLayout* TakeLayout() { return fSelected.release(); }
    const VTLabelLayout* Selected() const { return fSelected.get(); }
    LTabBar& TabBar() { return fTabBar; }
    VTSelectStationeryPageViewer& Viewer() { return fViewer; }
    bool Confirmed() const { return bConfirmed; }

private:
    std::unique_ptr<VTLabelLayout> fSelected;
    VTLabelLayoutDataList fList;
    LTabBar fTabBar;
    VTSelectStationeryPageViewer fViewer;
    bool bConfirmed = false;
};

// Runs the dialog over parent: a copy of the chosen layout owned by the caller after "Välj", else
// null.
VTLabelLayout* VTStationerySelectDialogOpen(LView* parent);
