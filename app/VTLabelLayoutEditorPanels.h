// The property panels of the label-layout editor (and, the template panel, of the print
// preview): the layout's name and paper or printer, the page's orientation, and the selected
// label position's type, centre, edge distances, spine width, alignment and turning.
#pragma once

#include "app/VTItemHitTestable.h"
#include "app/VTLabelLayout.h"
#include "app/VTLabelLayoutTemplateEdit.h"
#include "app/VTPrinterTray.h"
#include "app/controls/VTControlAlignment.h"
#include "app/controls/VTControlButton.h"
#include "app/controls/VTControlDecimalInput.h"
#include "app/controls/VTControlEdgePositions.h"
#include "app/controls/VTControlPaperOrientation.h"
#include "app/controls/VTControlPullDownList.h"
#include "app/controls/VTControlStaticTextWithLabel.h"
#include "app/controls/VTControlTransform.h"
#include "lfw/gui/LEmbeddedWindowTitled.h"
#include "lfw/mac/LPaperSize.h"

#include <memory>

class VTLabelLayoutEditorPanelPropertiesNotifyee {
public:
    virtual ~VTLabelLayoutEditorPanelPropertiesNotifyee() = default;
    virtual void EvPaperSizeChanged(LPaperSizeID id) = 0;
    virtual void EvPaperSizeChanged(VTPrinterTrayID id) = 0;
};

class VTLabelLayoutEditorPanelPagePropertiesNotifyee {
public:
    virtual ~VTLabelLayoutEditorPanelPagePropertiesNotifyee() = default;
    virtual void EvPaperOrientationChanged(LPaperSizeOrientation orientation) = 0;
};

class VTLabelLayoutEditorPanelTemplatePropertiesNotifyee {
public:
    virtual ~VTLabelLayoutEditorPanelTemplatePropertiesNotifyee() = default;
    virtual void EvTemplatePrintableAreaButtonPressed() = 0;
    virtual void EvTemplatePositionXChanged(float value) = 0;
    virtual void EvTemplatePositionYChanged(float value) = 0;
    virtual void EvTemplateEdgePositionChanged(VTEdges edge, float distance) = 0;
    virtual void EvTemplateSpineWidthChanged(float width) = 0;
    virtual void EvTemplateAlignmentChanged(LAlignment alignment) = 0;
    virtual void EvTemplateRotateLeft() { }
    virtual void EvTemplateRotateRight() { }
    virtual void EvTemplateRaise() { }
    virtual void EvTemplateLower() { }
};

// "Egenskaper för etikettlayout": the layout's name and its paper (paper layouts: Letter and A4)
// or printer (disc layouts: every printer of the table).
class VTLabelLayoutEditorPanelProperties
    : public LEmbeddedWindowTitled,
      public LNotifier<VTLabelLayoutEditorPanelPropertiesNotifyee>,
      public VTControlPullDownListNotifyee {
public:
    VTLabelLayoutEditorPanelProperties(int titleBarId, VTPrintMediumID medium);

    void InitPanel() override;
    void MeasurePanel() override;
    void LayoutPanelControls(int x, int y, int width, int height) override;
    void DestroyPanel() override;
    void EvPullDownListChanged(VTControlPullDownList& control) override;

    void SetName(const char* name) { fName.SetText(name, true); }
    // Selects the entry of the paper size or printer.
    void SelectData(long data);
    VTControlPullDownList& PaperList() { return fPaper; }
    VTPrintMediumID Medium() const { return eMedium; }

private:
    VTPrintMediumID eMedium;
    VTControlStaticTextWithLabel fName;
    VTControlPullDownList fPaper;
};

// "Egenskaper för sidor": the page's orientation.
class VTLabelLayoutEditorPanelPageProperties
    : public LEmbeddedWindowTitled,
      public LNotifier<VTLabelLayoutEditorPanelPagePropertiesNotifyee>,
      public VTControlPaperOrientationNotifyee {
public:
    explicit VTLabelLayoutEditorPanelPageProperties(int titleBarId);

    void InitPanel() override;
    void MeasurePanel() override;
    void LayoutPanelControls(int x, int y, int width, int height) override;
    void DestroyPanel() override;
    void EvPaperOrientationChanged(
        VTControlPaperOrientation& control, LPaperSizeOrientation orientation) override;
    void SetOrientation(LPaperSizeOrientation orientation);

private:
    VTControlPaperOrientation fOrientation;
};

// "Egenskaper för mall": the selected position.
class VTLabelLayoutEditorPanelTemplateProperties
    : public LEmbeddedWindowTitled,
      public LNotifier<VTLabelLayoutEditorPanelTemplatePropertiesNotifyee>,
      public VTControlButtonNotifyee,
      public VTControlDecimalInputNotifyee,
      public VTControlEdgePositionsNotifyee,
      public VTControlAlignmentNotifyee,
      public VTControlTransformNotifyee {
public:
    VTLabelLayoutEditorPanelTemplateProperties(int titleBarId, bool withTransform);

    void InitPanel() override;
    void MeasurePanel() override;
    void LayoutPanelControls(int x, int y, int width, int height) override;
    void DestroyPanel() override;
    void EnableWindow(bool enable) override;
    void EnableControls() override;

    // Fills the panel for the position (null empties and disables it).
    void SetValues(const VTLabelLayout& layout, const VTLabelLayoutPage* page,
        const VTLabelLayoutTemplate* position);

    void EvButtonPressed(VTControlButton& control) override;
    void EvDecimalInputChanged(VTControlDecimalInput& control) override;
    void EvEdgePositionChanged(VTEdges edge, float millimetres) override;
    void EvChangeAlignment(VTControlAlignment& control, LAlignment alignment) override;
    void EvRotateLeft(VTControlTransform& control) override;
    void EvRotateRight(VTControlTransform& control) override;
    void EvRaise(VTControlTransform& control) override;
    void EvLower(VTControlTransform& control) override;

    VTControlDecimalInput& CenterX() { return fCenterX; }
    VTControlDecimalInput& CenterY() { return fCenterY; }
    VTControlDecimalInput& Spine() { return fSpine; }
    VTControlEdgePositions& Edges() { return fEdges; }
    VTControlAlignment& Alignment() { return fAlignment; }
    const char* TypeText() const { return fType.GetText(); }

private:
    int EdgesHeight() const;
    int AlignmentHeight() const;

    [[maybe_unused]] bool bWithTransform;
    bool bPrintableArea = false;
    bool bSpine = false;
    bool bEnabled = false;
    VTControlStaticTextWithLabel fType;
    VTControlButton fPrintableArea;
    VTControlDecimalInput fCenterX;
    VTControlDecimalInput fCenterY;
    VTControlEdgePositions fEdges;
    VTControlDecimalInput fSpine;
    VTControlAlignment fAlignment;
    std::unique_ptr<VTControlTransform> fTransform;
};
