// The label-layout editor ("Redigera etikettlayout"): the pages of the open project's label
// layout as tabs, the selected page on a canvas where label positions are placed, and panels for
// the layout's paper or printer, the page's orientation and the selected position. It edits a
// copy; only "Tillämpa" hands the copy to the project, which remaps its designs. It also starts a
// layout anew, from the stationery or from a ".vtlayout" file, and exports one.
#pragma once

#include "app/VTLabelLayout.h"
#include "app/VTLabelLayoutEditorPanels.h"
#include "app/VTLabelLayoutPageViewer.h"
#include "app/VTProject.h"
#include "lfw/gen/LPtr.h"
#include "lfw/gui/LTabBar.h"
#include "lfw/gui/LToolBar.h"
#include "lfw/mac/LDialog.h"

class VTLabelLayoutEditorDialog : public LResizableDialog,
                                  public LToolBar,
                                  public VTLabelLayoutNotifyee,
                                  public VTLabelLayoutPageViewerNotifyee,
                                  public VTLabelLayoutEditorPanelPropertiesNotifyee,
                                  public VTLabelLayoutEditorPanelPagePropertiesNotifyee,
                                  public VTLabelLayoutEditorPanelTemplatePropertiesNotifyee {
public:
    enum : int {
        kCmdNew = 1000,
        kCmdStationery = 1001,
        kCmdImport = 1002,
        kCmdExport = 1003,
        kCmdAddPage = 1004,
        kCmdRemovePage = 1005,
        kCmdAddTemplate = 1006,
        kCmdDeleteTemplate = 1007,
        kTabBar = 1009,
        kPanelLayout = 1010,
        kPanelPage = 1011,
        kPanelTemplate = 1012,
        kViewer = 1013,
        kCmdTabSelected = 1014,
        kCmdTabClose = 1015,
    };

    VTLabelLayoutEditorDialog(VTLabelLayout& layout, const LList<VTProjectTemplate>& designs,
        VTLabelLayoutTemplate*& current);
    ~VTLabelLayoutEditorDialog() override;

    void InitDialog() override;
    void EvWindowReady() override;
    void DestroyDialog() override;
    void Command(int id, int code) override;
    bool CmOk() override;
    void CmHelp() override;
    void EnableControls() override;
    void LayoutControls(int width, int height) override;
    bool EvKeyDown(LKey key) override;
    bool EvKeyRepeat(LKey key) override;
    using LResizableDialog::EvKeyDown;

    void EvTabControlTabSelected();
    void EvTabControlTabCloseRequested();

    // The layout's events.
    void EvLabelLayoutMediumChanged(VTLabelLayout&) override;
    void EvLabelLayoutPageAdded(VTLabelLayout&, VTLabelLayoutPage& page) override;
    void EvLabelLayoutPageDeleting(VTLabelLayout&, VTLabelLayoutPage& page) override;
    void EvLabelLayoutPageOrientationChanged(
        VTLabelLayout&, VTLabelLayoutPage&, LPaperSizeOrientation) override;
    void EvLabelLayoutTemplateAdded(
        VTLabelLayout&, VTLabelLayoutPage&, VTLabelLayoutTemplate& t) override;
    void EvLabelLayoutTemplateDeleting(
        VTLabelLayout&, VTLabelLayoutPage&, VTLabelLayoutTemplate& t) override;
    void EvLabelLayoutTemplatesChanged(VTLabelLayout&, VTLabelLayoutPage&) override;
    // The canvas.
    void EvLabelLayoutPageViewerSelectionChanged(VTLabelLayoutPageViewer&) override;
    void EvLabelLayoutPageViewerContextMenuOpen(VTLabelLayoutPageViewer&) override;
    // The panels.
    void EvPaperSizeChanged(LPaperSizeID id) override;
    void EvPaperSizeChanged(VTPrinterTrayID id) override;
    void EvPaperOrientationChanged(LPaperSizeOrientation orientation) override;
    void EvTemplatePrintableAreaButtonPressed() override;
    void EvTemplatePositionXChanged(float value) override;
    void EvTemplatePositionYChanged(float value) override;
    void EvTemplateEdgePositionChanged(VTEdges edge, float distance) override;
    void EvTemplateSpineWidthChanged(float width) override;
    void EvTemplateAlignmentChanged(LAlignment alignment) override;
    void EvTemplateRotateLeft() override;
    void EvTemplateRotateRight() override;
    void EvTemplateRaise() override;
    void EvTemplateLower() override;

    void CmLabelLayoutNew();
    void CmLabelLayoutStationery();
    void CmLabelLayoutImport();
    void CmLabelLayoutExport();
    void CmTemplateAdd();
    void CmTemplateDelete();
    void PageRemove(LTab* tab);

    // Asks before replacing the whole layout: true to go on.
    bool RemoveUnmappedTemplateOrWithOverlay(const char* caption);
    void InitFromLabelLayout();
    void UpdateTabControlLabels();
    void UpdateLabelLayoutControls();
    void UpdatePageControls();
    void UpdatePanelVisibility();

    VTLabelLayoutPage* CurrentPage() const;
    LTabBar& TabBar() { return fTabBar; }
    VTLabelLayoutPageViewer& Viewer() { return fViewer; }
    VTLabelLayoutEditorPanelTemplateProperties* TemplatePanel() const { return pPanelTemplate; }
    VTLabelLayoutEditorPanelProperties* LayoutPanel() const { return pPanelLayout; }
    VTLabelLayout& Layout() { return fLayout; }

private:
    // Whether a project design shows the position id and holds an overlay.
    bool IsMappedWithOverlay(int32_t id) const;
    bool IsMapped(int32_t id) const;
    void AfterTemplateEdit();
    void RebuildLayoutPanel();

    VTLabelLayout& fLayout;
    const LList<VTProjectTemplate>& fDesigns;
    VTLabelLayoutTemplate*& rCurrent;
    LTabBar fTabBar;
    VTLabelLayoutPageViewer fViewer;
    LEmbeddedWindowTitledContainer fContainer;
    VTLabelLayoutEditorPanelProperties* pPanelLayout = nullptr;
    VTLabelLayoutEditorPanelPageProperties* pPanelPage = nullptr;
    VTLabelLayoutEditorPanelTemplateProperties* pPanelTemplate = nullptr;
    bool bRegistered = false;
};

// Edits a copy of the project's layout; non-zero when applied (the project then holds the copy
// and current the position selected last).
int VTLabelLayoutEditorDialogOpen(
    LView* parent, LPtr<VTProject>& project, VTLabelLayoutTemplate*& current);
