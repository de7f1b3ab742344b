// The print preview ("Förhandsgranska"): one page of the open project's label layout as it will
// print, where the user selects a label position and nudges it on the sheet, chooses whether
// template outlines print, and prints the page through the print panel. It works on the project's
// own page: changes stay in the project, except that "Avbryt" and "Standardvärden" give the
// selected position back what it had when the preview opened.
#pragma once

#include "app/VTLabelLayout.h"
#include "app/VTLabelLayoutEditorPanels.h"
#include "app/VTPrintPreviewViewer.h"
#include "app/VTProject.h"
#include "app/controls/VTControlCheckBox.h"
#include "app/controls/VTControlStaticTextWithLabel.h"
#include "lfw/gui/LEmbeddedWindowTitled.h"
#include "lfw/mac/LDialog.h"

#include <memory>
#include <vector>

class VTPrintPreviewPanelPropertiesNotifyee {
public:
    virtual ~VTPrintPreviewPanelPropertiesNotifyee() = default;
    virtual void EvPrintPreviewPanelPaintOutlinesChanged(bool on) = 0;
};

// "Skriv ut egenskaper": the paper and orientation texts, the outlines check box and, for a disc
// layout, a note on the print medium.
class VTPrintPreviewPanelProperties : public LEmbeddedWindowTitled,
                                      public LNotifier<VTPrintPreviewPanelPropertiesNotifyee>,
                                      public VTControlCheckBoxNotifyee {
public:
    VTPrintPreviewPanelProperties(
        int titleBarId, bool disc, const char* paperText, const char* orientationText);

    void InitPanel() override;
    void MeasurePanel() override;
    void LayoutPanelControls(int x, int y, int width, int height) override;
    void DestroyPanel() override;
    void EvControlCheckBoxChanged(VTControlCheckBox& control) override;

    VTControlCheckBox& OutlinesBox() { return fOutlines; }

private:
    bool bDisc;
    VTControlStaticTextWithLabel fPaper;
    VTControlStaticTextWithLabel fOrientation;
    VTControlCheckBox fOutlines;
};

class VTPrintPreviewDialog : public LResizableDialog,
                             public VTPrintPreviewViewerNotifyee,
                             public VTPrintPreviewPanelPropertiesNotifyee,
                             public VTLabelLayoutEditorPanelTemplatePropertiesNotifyee {
public:
    enum : int {
        kViewer = 1000,
        kPanelProperties = 1001,
        kPanelTemplate = 1002,
        kDefaults = 4003,
    };

    VTPrintPreviewDialog(
        VTProject& project, VTLabelLayoutPage* page, VTLabelLayoutTemplate* firstSelected);
    ~VTPrintPreviewDialog() override;

    void InitDialog() override;
    void EvWindowReady() override;
    void DestroyDialog() override;
    void Command(int id, int code) override;
    bool CmOk() override;
    bool CmCancel() override;
    void CmHelp() override;
    void LayoutControls(int width, int height) override;

    void EvPrintPreviewPanelPaintOutlinesChanged(bool on) override;
    void EvPrintPreviewViewerSelectionChanged(VTPrintPreviewViewer& viewer) override;
    // The template panel's edits, on the single selected position (nothing without one); each
    // clamps the page's positions into the sheet, refills the panel and repaints.
    void EvTemplatePrintableAreaButtonPressed() override;
    void EvTemplatePositionXChanged(float value) override;
    void EvTemplatePositionYChanged(float value) override;
    void EvTemplateEdgePositionChanged(VTEdges edge, float distance) override;
    void EvTemplateSpineWidthChanged(float width) override;
    void EvTemplateAlignmentChanged(LAlignment alignment) override;

    // Gives the selected position back its placement, size, spine width, printable area and
    // alignment from when the preview opened; other positions keep their changes.
    void RestoreDefaults();
    // Prints the page through the print panel: true when it printed.
    bool PrintPage();

    VTPrintPreviewViewer& Viewer() { return fViewer; }
    VTPrintPreviewPanelProperties* PanelProperties() const { return pPanelProperties; }
    VTLabelLayoutEditorPanelTemplateProperties* PanelTemplate() const { return pPanelTemplate; }
    bool Printed() const { return bPrinted; }

private:
    void AfterTemplateEdit();
    void RefillTemplatePanel();

    VTProject& fProject;
    VTLabelLayoutPage* pPage;
    VTLabelLayoutTemplate* pFirstSelected;
    std::unique_ptr<VTLabelLayoutPage> fSaved;
    // The page as the project file writes it, from when the preview opened: a page that differs
    // when it closes makes the project unsaved.
    std::vector<unsigned char> fSavedBytes;
    VTPrintPreviewViewer fViewer;
    LEmbeddedWindowTitledContainer fContainer;
    VTPrintPreviewPanelProperties* pPanelProperties = nullptr;
    VTLabelLayoutEditorPanelTemplateProperties* pPanelTemplate = nullptr;
    bool bPrinted = false;
};

// Opens the preview over parent on the page, with the position selected first (may be null);
// true when the page was printed.
bool VTPrintPreviewDialogOpen(LView* parent, VTProject& project, VTLabelLayoutPage* page,
    VTLabelLayoutTemplate* firstSelected);
