#include "app/VTLabelLayoutEditorPanels.h"

#include "app/VTTemplateData.h"
#include "lfw/gen/LFormat.h"
#include "lfw/gen/LString.h"
#include "lfw/gen/LUserSettings.h"

#include <algorithm>
#include <cmath>

namespace {

int R(double v)
{
    return int(std::lround(v));
}

const char* UnitText()
{
    const int unit = LUnitsGetMeasurementUnit();
    return unit == 0 ? "mm" : unit == 1 ? "in" : "";
}

std::string Label(const char* format)
{
    char text[128];
    LStringFormat(text, sizeof text, format, UnitText());
    return text;
}

} // namespace

// --- Layout.

VTLabelLayoutEditorPanelProperties::VTLabelLayoutEditorPanelProperties(
    int titleBarId, VTPrintMediumID medium)
    : LEmbeddedWindowTitled(titleBarId, "Egenskaper för etikettlayout", false, false, false, true)
    , eMedium(medium)
    , fName("Namn:")
    , fPaper("Papper:", "Välj pappersstorlek")
{
}

void VTLabelLayoutEditorPanelProperties::InitPanel()
{
    fName.Init(*this);
    fPaper.Init(*this);
    if (eMedium == VTPrintMediumDisc) {
        for (int i = 1; i <= 253 && i < int(kVTPrinterTrayCount); ++i) {
            const VTPrinterTray& row = VTPrinterTrayArray[i];
            if (row.name && row.name[0])
                fPaper.PDLAddString(1001, row.name, (unsigned long)row.id);
        }
    } else {
        fPaper.PDLAddString(
            1001, LPaperSizeGetDisplayName(LPaperSizeUSLetter), (unsigned long)LPaperSizeUSLetter);
        fPaper.PDLAddString(
            1001, LPaperSizeGetDisplayName(LPaperSizeA4), (unsigned long)LPaperSizeA4);
    }
    fPaper.AddNotifyee(*this);
    MeasurePanel();
}

void VTLabelLayoutEditorPanelProperties::MeasurePanel()
{
    const double ch = CharHeightPixels();
    iPanelHeight = R(0.59 * ch) + 2 * R(1.23 * ch) + R(0.82 * ch) + R(0.59 * ch);
}

void VTLabelLayoutEditorPanelProperties::LayoutPanelControls(int x, int y, int width, int)
{
    const double cw = CharWidthPixels(), ch = CharHeightPixels();
    const int margin = R(1.25 * cw), row = R(1.23 * ch);
    const int w = std::max(1, width - 2 * margin);
    int top = y + R(0.59 * ch);
    fName.MovePixels(x + margin, top, w, row);
    top += row + R(0.82 * ch);
    fPaper.MovePixels(x + margin, top, w, row);
}

void VTLabelLayoutEditorPanelProperties::DestroyPanel()
{
    fPaper.RemoveNotifyee(*this);
    fName.Destroy();
    fPaper.Destroy();
}

void VTLabelLayoutEditorPanelProperties::SelectData(long data)
{
    // A paper that is not a choice (Legal on a list of Letter and A4) shows no choice, never
    // the one shown before.
    fPaper.PDLSetCurSel(1001, std::max(-1, fPaper.PDLFindItemData(1001, (unsigned long)data)));
}

void VTLabelLayoutEditorPanelProperties::EvPullDownListChanged(VTControlPullDownList& control)
{
    const long data = control.GetSelectedData();
    if (data < 0)
        return;
    if (eMedium == VTPrintMediumDisc)
        Notify(static_cast<void (VTLabelLayoutEditorPanelPropertiesNotifyee::*)(VTPrinterTrayID)>(
                   &VTLabelLayoutEditorPanelPropertiesNotifyee::EvPaperSizeChanged),
            VTPrinterTrayID(data));
    else
        Notify(static_cast<void (VTLabelLayoutEditorPanelPropertiesNotifyee::*)(LPaperSizeID)>(
                   &VTLabelLayoutEditorPanelPropertiesNotifyee::EvPaperSizeChanged),
            LPaperSizeID(data));
}

// --- Page.

VTLabelLayoutEditorPanelPageProperties::VTLabelLayoutEditorPanelPageProperties(int titleBarId)
    : LEmbeddedWindowTitled(titleBarId, "Egenskaper för sidor", false, false, false, true)
{
}

void VTLabelLayoutEditorPanelPageProperties::InitPanel()
{
    fOrientation.Init(*this);
    fOrientation.AddNotifyee(*this);
    MeasurePanel();
}

void VTLabelLayoutEditorPanelPageProperties::MeasurePanel()
{
    const double ch = CharHeightPixels();
    iPanelHeight = R(0.59 * ch) + int(40 * GetBackingScaleFactor()) + R(0.59 * ch);
}

void VTLabelLayoutEditorPanelPageProperties::LayoutPanelControls(int x, int y, int width, int)
{
    const double cw = CharWidthPixels(), ch = CharHeightPixels();
    const int margin = R(1.25 * cw);
    fOrientation.MovePixels(x + margin, y + R(0.59 * ch), std::max(1, width - 2 * margin),
        int(40 * GetBackingScaleFactor()));
}

void VTLabelLayoutEditorPanelPageProperties::DestroyPanel()
{
    fOrientation.RemoveNotifyee(*this);
    fOrientation.Destroy();
}

void VTLabelLayoutEditorPanelPageProperties::SetOrientation(LPaperSizeOrientation orientation)
{
    fOrientation.SetCoolButtonDown(1000, orientation == LPaperSizeOrientationPortrait);
    fOrientation.SetCoolButtonDown(1001, orientation == LPaperSizeOrientationLandscape);
}

void VTLabelLayoutEditorPanelPageProperties::EvPaperOrientationChanged(
    VTControlPaperOrientation&, LPaperSizeOrientation orientation)
{
    Notify(&VTLabelLayoutEditorPanelPagePropertiesNotifyee::EvPaperOrientationChanged, orientation);
}

// --- Template.

VTLabelLayoutEditorPanelTemplateProperties::VTLabelLayoutEditorPanelTemplateProperties(
    int titleBarId, bool withTransform)
    : LEmbeddedWindowTitled(titleBarId, "Egenskaper för mall", false, false, false, true)
    , bWithTransform(withTransform)
    , fType("Typ:")
    , fPrintableArea("Ändra skrivbara områden för skivor...")
    , fCenterX(Label("Center X (%s):").c_str(),
          "Avstånd i X-axeln från mitten av sidan till mitten av den valda mallen", 0, 500)
    , fCenterY(Label("Center Y (%s):").c_str(),
          "Avstånd i Y-axeln från mitten av sidan till mitten av den valda mallen", 0, 500)
    , fSpine(Label("Ryggradens bredd (%s):").c_str(), "Ryggradens bredd", 0, 100)
{
    if (withTransform)
        fTransform = std::make_unique<VTControlTransform>(true, false);
}

// The cross of four fields in its group box, and the 3 x 3 grid of square buttons.
int VTLabelLayoutEditorPanelTemplateProperties::EdgesHeight() const
{
    const double ch = CharHeightPixels();
    return 2 * R(1.29 * ch) + 2 * (R(0.59 * ch) + R(1.23 * ch)) + 2 * R(0.59 * ch);
}

int VTLabelLayoutEditorPanelTemplateProperties::AlignmentHeight() const
{
    const double cw = CharWidthPixels();
    return 3 * R(4 * cw) + 2 * (R(0.25 * cw) / 2);
}

void VTLabelLayoutEditorPanelTemplateProperties::InitPanel()
{
    fType.Init(*this);
    fPrintableArea.Init(*this);
    fPrintableArea.AddNotifyee(*this);
    fCenterX.Init(*this);
    fCenterX.AddNotifyee(*this);
    fCenterY.Init(*this);
    fCenterY.AddNotifyee(*this);
    fEdges.Init(*this);
    fEdges.AddNotifyee(*this);
    fSpine.Init(*this);
    fSpine.AddNotifyee(*this);
    fAlignment.Init(*this);
    fAlignment.AddNotifyee(*this);
    if (fTransform) {
        fTransform->Init(*this);
        fTransform->AddNotifyee(*this);
    }
    MeasurePanel();
    SetValues(VTLabelLayout(), nullptr, nullptr);
}

void VTLabelLayoutEditorPanelTemplateProperties::MeasurePanel()
{
    const double ch = CharHeightPixels();
    const int row = R(1.23 * ch), gap = R(0.25 * ch);
    iPanelHeight = R(0.59 * ch) + 2 * (row + gap) + 3 * (R(1.29 * ch) + gap) + EdgesHeight() + gap
        + AlignmentHeight() + gap + (fTransform ? 2 * row + gap : 0) + R(0.82 * ch);
}

void VTLabelLayoutEditorPanelTemplateProperties::LayoutPanelControls(int x, int y, int width, int)
{
    const double cw = CharWidthPixels(), ch = CharHeightPixels();
    const int margin = R(1.25 * cw), row = R(1.23 * ch), gap = R(0.25 * ch);
    const int input = R(1.29 * ch);
    const int w = std::max(1, width - 2 * margin);
    int top = y + R(0.59 * ch);
    fType.MovePixels(x + margin, top, w, row);
    top += row + gap;
    fPrintableArea.MovePixels(x + margin, top, w, row);
    top += row + gap;
    fCenterX.MovePixels(x + margin, top, w, input);
    top += input + gap;
    fCenterY.MovePixels(x + margin, top, w, input);
    top += input + gap;
    fEdges.MovePixels(x + margin, top, w, EdgesHeight());
    top += EdgesHeight() + gap;
    fSpine.MovePixels(x + margin, top, w, input);
    top += input + gap;
    fAlignment.MovePixels(x + margin, top, w, AlignmentHeight());
    top += AlignmentHeight() + gap;
    if (fTransform)
        fTransform->MovePixels(x + margin, top, w, 2 * row);
}

void VTLabelLayoutEditorPanelTemplateProperties::DestroyPanel()
{
    fType.Destroy();
    fPrintableArea.Destroy();
    fCenterX.Destroy();
    fCenterY.Destroy();
    fEdges.Destroy();
    fSpine.Destroy();
    fAlignment.Destroy();
    if (fTransform)
        fTransform->Destroy();
}

void VTLabelLayoutEditorPanelTemplateProperties::EnableWindow(bool enable)
{
    bEnabled = enable;
    for (LEmbeddedWindow* c : std::initializer_list<LEmbeddedWindow*> {
             &fType, &fCenterX, &fCenterY, &fEdges, &fAlignment })
        c->EnableWindow(enable);
    if (fTransform)
        fTransform->EnableWindow(enable);
    EnableControls();
}

void VTLabelLayoutEditorPanelTemplateProperties::EnableControls()
{
    fPrintableArea.EnableWindow(bEnabled && bPrintableArea);
    fSpine.EnableWindow(bEnabled && bSpine);
}

void VTLabelLayoutEditorPanelTemplateProperties::SetValues(const VTLabelLayout& layout,
    const VTLabelLayoutPage* page, const VTLabelLayoutTemplate* position)
{
    VTTemplatePanelValues v;
    VTTemplatePanelValuesGet(layout, page, position, v);
    fType.SetText(v.type, true);
    if (v.enabled) {
        fCenterX.SetMinMax(v.minX, v.maxX);
        fCenterY.SetMinMax(v.minY, v.maxY);
        fEdges.SetMinMaxValues(v.limits[0], v.limits[1], v.limits[2], v.limits[3]);
    }
    fCenterX.SetValue(v.centreX);
    fCenterY.SetValue(v.centreY);
    fEdges.SetValues(v.edges[0], v.edges[1], v.edges[2], v.edges[3]);
    fSpine.SetValue(v.spineWidth);
    fAlignment.ButtonDownAlignment(v.alignment);
    bPrintableArea = v.printableAreaButton;
    bSpine = v.spineInput;
    EnableWindow(v.enabled);
}

void VTLabelLayoutEditorPanelTemplateProperties::EvButtonPressed(VTControlButton&)
{
    Notify(
        &VTLabelLayoutEditorPanelTemplatePropertiesNotifyee::EvTemplatePrintableAreaButtonPressed);
}

void VTLabelLayoutEditorPanelTemplateProperties::EvDecimalInputChanged(
    VTControlDecimalInput& control)
{
    const float value = control.GetValue();
    if (&control == &fCenterX)
        Notify(
            &VTLabelLayoutEditorPanelTemplatePropertiesNotifyee::EvTemplatePositionXChanged, value);
    else if (&control == &fCenterY)
        Notify(
            &VTLabelLayoutEditorPanelTemplatePropertiesNotifyee::EvTemplatePositionYChanged, value);
    else if (&control == &fSpine)
        Notify(&VTLabelLayoutEditorPanelTemplatePropertiesNotifyee::EvTemplateSpineWidthChanged,
            value);
}

void VTLabelLayoutEditorPanelTemplateProperties::EvEdgePositionChanged(
    VTEdges edge, float millimetres)
{
    Notify(&VTLabelLayoutEditorPanelTemplatePropertiesNotifyee::EvTemplateEdgePositionChanged, edge,
        millimetres);
}

void VTLabelLayoutEditorPanelTemplateProperties::EvChangeAlignment(
    VTControlAlignment&, LAlignment alignment)
{
    Notify(
        &VTLabelLayoutEditorPanelTemplatePropertiesNotifyee::EvTemplateAlignmentChanged, alignment);
}

void VTLabelLayoutEditorPanelTemplateProperties::EvRotateLeft(VTControlTransform&)
{
    Notify(&VTLabelLayoutEditorPanelTemplatePropertiesNotifyee::EvTemplateRotateLeft);
}

void VTLabelLayoutEditorPanelTemplateProperties::EvRotateRight(VTControlTransform&)
{
    Notify(&VTLabelLayoutEditorPanelTemplatePropertiesNotifyee::EvTemplateRotateRight);
}

void VTLabelLayoutEditorPanelTemplateProperties::EvRaise(VTControlTransform&)
{
    Notify(&VTLabelLayoutEditorPanelTemplatePropertiesNotifyee::EvTemplateRaise);
}

void VTLabelLayoutEditorPanelTemplateProperties::EvLower(VTControlTransform&)
{
    Notify(&VTLabelLayoutEditorPanelTemplatePropertiesNotifyee::EvTemplateLower);
}
