#include "app/VTPrintPreviewDialog.h"

#include "app/VTLabelLayoutTemplateEdit.h"
#include "app/VTPrintFunction.h"
#include "app/VTPrinterTray.h"
#include "app/VTSmallDialogs.h"
#include "app/VTTemplateData.h"
#include "lfw/gen/LSDF.h"
#include "lfw/gen/LStream.h"
#include "lfw/gen/LString.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LAlert.h"
#include "lfw/mac/LPaperSize.h"
#include "lfw/zor/LHelp.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace {

int R(double v)
{
    return int(std::lround(v));
}

bool OutlinesSetting()
{
    char value[64] = "";
    _LUserSettingGetString("Settings", "PrintTemplateOutlines", "", value);
    return std::strcmp(value, "1") == 0;
}

// The page as the project file writes it: what tells whether the preview changed the project.
std::vector<unsigned char> PageBytes(const VTLabelLayoutPage& page)
{
    LSizedArray<unsigned char> bytes;
    LOutputStreamByteArray stream(bytes);
    LSDFWriter<LOutputStreamByteArray> writer;
    LProcessInterfaceVoid quiet;
    if (!writer.Open(stream, kVTLabelLayoutFileType, kVTLabelLayoutFileVersion)
        || page.SerialiseToSDF(quiet, writer) != LProcessResultSuccess || !writer.Close())
        return {};
    return std::vector<unsigned char>(bytes.GetData(), bytes.GetData() + bytes.GetSize());
}

} // namespace

// --- The properties panel.

VTPrintPreviewPanelProperties::VTPrintPreviewPanelProperties(
    int titleBarId, bool disc, const char* paperText, const char* orientationText)
    : LEmbeddedWindowTitled(titleBarId, "Skriv ut egenskaper", false, false, false, true)
    , bDisc(disc)
    , fPaper(paperText)
    , fOrientation(orientationText)
    , fOutlines("Skriva ut mallkonturer")
{
}

void VTPrintPreviewPanelProperties::InitPanel()
{
    fPaper.Init(*this);
    fOrientation.Init(*this);
    fOutlines.Init(*this);
    fOutlines.AddNotifyee(*this);
    fOutlines.bNotify = false;
    fOutlines.SetCheck(1000, OutlinesSetting());
    fOutlines.bNotify = true;
    if (bDisc)
        AddStatic(1003,
            "Obs: Se till att välja skrivarens motsvarighet till Utskrivbar skiva som "
            "utskriftsmedium efter att du har tryckt på knappen Skriv ut.");
    MeasurePanel();
}

void VTPrintPreviewPanelProperties::MeasurePanel()
{
    const double ch = CharHeightPixels();
    iPanelHeight
        = R(0.59 * ch) + 3 * (R(1.23 * ch) + R(0.25 * ch)) + R(0.59 * ch) + (bDisc ? R(4 * ch) : 0);
}

void VTPrintPreviewPanelProperties::LayoutPanelControls(int x, int y, int width, int)
{
    const double cw = CharWidthPixels(), ch = CharHeightPixels();
    const int margin = R(1.25 * cw), row = R(1.23 * ch), gap = R(0.25 * ch);
    const int w = std::max(1, width - 2 * margin);
    int top = y + R(0.59 * ch);
    fPaper.MovePixels(x + margin, top, w, row);
    top += row + gap;
    fOrientation.MovePixels(x + margin, top, w, row);
    top += row + gap;
    fOutlines.MovePixels(x + margin, top, w, row);
    top += row + gap;
    if (bDisc)
        MoveControlPixels(1003, x + margin, top, w, R(4 * ch));
}

void VTPrintPreviewPanelProperties::DestroyPanel()
{
    fOutlines.RemoveNotifyee(*this);
    fPaper.Destroy();
    fOrientation.Destroy();
    fOutlines.Destroy();
}

void VTPrintPreviewPanelProperties::EvControlCheckBoxChanged(VTControlCheckBox& control)
{
    const bool on = control.GetCheck(1000);
    LUserSettingSetString("Settings", "PrintTemplateOutlines", on ? "1" : "0");
    Notify(&VTPrintPreviewPanelPropertiesNotifyee::EvPrintPreviewPanelPaintOutlinesChanged, on);
}

// --- The dialog.

VTPrintPreviewDialog::VTPrintPreviewDialog(
    VTProject& project, VTLabelLayoutPage* page, VTLabelLayoutTemplate* firstSelected)
    : fProject(project)
    , pPage(page)
    , pFirstSelected(firstSelected)
    , fSaved(page ? std::make_unique<VTLabelLayoutPage>(*page) : nullptr)
    , fSavedBytes(page ? PageBytes(*page) : std::vector<unsigned char>())
    , fViewer(project)
    , fContainer("", false, true, true, false)
{
}

VTPrintPreviewDialog::~VTPrintPreviewDialog() = default;

void VTPrintPreviewDialog::InitDialog()
{
    SetCaption("Förhandsgranska");
    AddPaintControl(kViewer);
    fViewer.Init(*this, kViewer);
    // A stop of Tab, where Space selects the next label position.
    fViewer.SetKeyboardReachable();
    fViewer.bPaintOutlines = OutlinesSetting();
    fViewer.AddNotifyee(*this);

    const VTLabelLayout* layout = fProject.GetLabelLayout();
    char paper[kLPathSize] = "", orientation[kLPathSize] = "";
    const bool disc = layout && layout->printMedium == VTPrintMediumDisc;
    if (layout) {
        const VTPrinterTray* printer = disc ? VTPrinterTrayGet(layout->printerTray) : nullptr;
        LStringFormat(paper, sizeof paper, "Pappersstorlek: %s",
            disc ? (printer ? printer->name : "") : LPaperSizeGetDisplayName(layout->paperSize));
        LStringFormat(orientation, sizeof orientation, "Orientering: %s",
            LPaperSizeOrientationGetDisplayName(
                pPage ? pPage->GetOrientation() : LPaperSizeOrientationPortrait));
    }
    fContainer.Init(*this);
    pPanelProperties
        = new VTPrintPreviewPanelProperties(kPanelProperties, disc, paper, orientation);
    fContainer.fList.AddPanel(pPanelProperties, true);
    pPanelProperties->AddNotifyee(*this);
    pPanelTemplate = new VTLabelLayoutEditorPanelTemplateProperties(kPanelTemplate, false);
    fContainer.fList.AddPanel(pPanelTemplate, true);
    pPanelTemplate->AddNotifyee(*this);
    fContainer.fList.EnableCollapse(false);
    fContainer.fList.SetActivePanelByIndex(0, false);
    fContainer.fList.SetActivePanelByIndex(1, false);

    // The page and the position to select first.
    fViewer.SetCollection(pPage);
    if (pPage && pFirstSelected && pPage->Contains(pFirstSelected))
        fViewer.SetItemSelected(pFirstSelected, true, true);

    AddOkCancel("Skriv ut");
    AddButton(kLCmdHelp, "");
    AddSpecialButton(kDefaults, "Standardvärden");
    // Tab reads the page first, then the panels.
    GetContentView()->SetKeyViewOrder({ GetControlHandle(kViewer) });
    int w = 0, h = 0;
    GetClientSize(w, h);
    LayoutControls(w, h);
}

void VTPrintPreviewDialog::EvWindowReady()
{
    int w = 0, h = 0;
    GetClientSize(w, h);
    LayoutControls(w, h);
}

void VTPrintPreviewDialog::DestroyDialog()
{
    // Positions moved here stay in the project's layout: the project is unsaved then.
    if (pPage && PageBytes(*pPage) != fSavedBytes)
        fProject.SetSaveState(VTProjectSaveStateModified);
    fViewer.RemoveNotifyee(*this);
    if (pPanelProperties)
        pPanelProperties->RemoveNotifyee(*this);
    if (pPanelTemplate)
        pPanelTemplate->RemoveNotifyee(*this);
    fViewer.DestroyPaintControl();
    WindowSizeSettingsStore(Section());
    fContainer.Destroy();
    pPanelProperties = nullptr;
    pPanelTemplate = nullptr;
    LResizableDialog::DestroyDialog();
}

void VTPrintPreviewDialog::Command(int id, int code)
{
    if (id == kDefaults) {
        RestoreDefaults();
        RefillTemplatePanel();
        fViewer.Invalidate();
        return;
    }
    LResizableDialog::Command(id, code);
}

bool VTPrintPreviewDialog::CmOk()
{
    // The preview's place is kept now, while the disk is quiet. Kept only as the preview closes
    // after the print, the settings file's flush to disk would wait while the disk takes the
    // print's files and gives back the temporary one (gigabytes for photographs), the window held
    // meanwhile; at the close it is now written only if the preview moved.
    if (Section())
        WindowSizeSettingsStore(Section());
    bPrinted = PrintPage();
    return bPrinted;
}

bool VTPrintPreviewDialog::CmCancel()
{
    RestoreDefaults();
    return true;
}

void VTPrintPreviewDialog::CmHelp()
{
    LOpenHelpPage(GetContentView(), "dialogs_printpreview");
}

void VTPrintPreviewDialog::LayoutControls(int width, int height)
{
    const double ch = CharHeightPixels();
    const int band = R((1.23 + 0.59 + 0.94) * ch);
    const int column = R(380 * GetBackingScaleFactor() * TextScale());
    LayoutOkCancelHelpSpecial(kDefaults, 0, 0, width, height);
    const int top = std::max(1, height - band);
    fContainer.MovePixels(std::max(0, width - column), 0, column, top);
    MoveControlPixels(kViewer, 0, 0, std::max(1, width - column), top);
    fViewer.UpdateSize();
    // The page is as it was: a picture of it that fits the size is kept (a layout at the size the
    // window opened with paints nothing anew).
    fViewer.Update();
    RefillTemplatePanel();
}

void VTPrintPreviewDialog::RefillTemplatePanel()
{
    const VTLabelLayout* layout = fProject.GetLabelLayout();
    if (pPanelTemplate && layout)
        pPanelTemplate->SetValues(*layout, pPage, fViewer.GetSingleSelectedItem());
}

void VTPrintPreviewDialog::EvPrintPreviewPanelPaintOutlinesChanged(bool on)
{
    fViewer.bPaintOutlines = on;
    fViewer.Invalidate();
}

void VTPrintPreviewDialog::EvPrintPreviewViewerSelectionChanged(VTPrintPreviewViewer&)
{
    RefillTemplatePanel();
    // Only the selection's outline changes.
    fViewer.Update();
}

void VTPrintPreviewDialog::AfterTemplateEdit()
{
    fViewer.ClampItemsToCollection();
    RefillTemplatePanel();
    fViewer.Invalidate();
}

void VTPrintPreviewDialog::EvTemplatePrintableAreaButtonPressed()
{
    VTLabelLayoutTemplate* t = fViewer.GetSingleSelectedItem();
    if (!t || t->GetFormat() != 0 || !VTDiscDimensionsDialogOpen(GetContentView(), t))
        return;
    // The design shown on this disc follows its new printable area.
    for (VTProjectTemplate* d = fProject.templates.GetHead(); d; d = d->GetNext()) {
        bool mapped = false;
        for (VTLabelLayoutTemplateID* m = d->mappedIDs.GetHead(); m && !mapped; m = m->GetNext())
            mapped = m->id == t->GetID();
        if (mapped) {
            if (d->GetTemplateData() && t->GetTemplateData())
                d->GetTemplateData()->SetPrintableArea(*t->GetTemplateData());
            break;
        }
    }
    AfterTemplateEdit();
}

void VTPrintPreviewDialog::EvTemplatePositionXChanged(float value)
{
    VTLabelLayoutTemplate* t = fViewer.GetSingleSelectedItem();
    if (!t || !pPage)
        return;
    VTTemplateSetPositionX(*pPage, *t, value);
    AfterTemplateEdit();
}

void VTPrintPreviewDialog::EvTemplatePositionYChanged(float value)
{
    VTLabelLayoutTemplate* t = fViewer.GetSingleSelectedItem();
    if (!t || !pPage)
        return;
    VTTemplateSetPositionY(*pPage, *t, value);
    AfterTemplateEdit();
}

void VTPrintPreviewDialog::EvTemplateEdgePositionChanged(VTEdges edge, float distance)
{
    VTLabelLayoutTemplate* t = fViewer.GetSingleSelectedItem();
    const VTLabelLayout* layout = fProject.GetLabelLayout();
    if (!t || !pPage || !layout)
        return;
    // Placed by the position's rotated box, as the label-layout editor places it and as the
    // panel measures the distances it shows.
    VTTemplateSetEdgePosition(*layout, *pPage, *t, int(edge), distance);
    AfterTemplateEdit();
}

void VTPrintPreviewDialog::EvTemplateSpineWidthChanged(float width)
{
    VTLabelLayoutTemplate* t = fViewer.GetSingleSelectedItem();
    if (!t)
        return;
    VTTemplateSetSpineWidth(*t, width);
    AfterTemplateEdit();
}

void VTPrintPreviewDialog::EvTemplateAlignmentChanged(LAlignment alignment)
{
    VTLabelLayoutTemplate* t = fViewer.GetSingleSelectedItem();
    const VTLabelLayout* layout = fProject.GetLabelLayout();
    if (!t || !pPage || !layout)
        return;
    VTTemplateSetAlignment(*layout, *pPage, *t, alignment);
    AfterTemplateEdit();
}

void VTPrintPreviewDialog::RestoreDefaults()
{
    VTLabelLayoutTemplate* t = fViewer.GetSingleSelectedItem();
    if (!t || !fSaved)
        return;
    for (VTLabelLayoutTemplate* s = fSaved->first; s; s = s->next) {
        if (s->GetFormat() != t->GetFormat() || s->GetID() != t->GetID())
            continue;
        t->centreX = s->centreX;
        t->centreY = s->centreY;
        t->NotifyTransformChanged();
        float w = 0, h = 0;
        s->GetDimensions(w, h);
        t->SetDimensions(w, h);
        if (t->GetTemplateData() && s->GetTemplateData()) {
            t->GetTemplateData()->SetSpineWidth(s->GetTemplateData()->GetSpineWidth());
            t->NotifyTransformChanged();
            if (t->GetFormat() == 0)
                t->GetTemplateData()->SetPrintableArea(*s->GetTemplateData());
        }
        t->placementAlignment = s->placementAlignment;
        break;
    }
    RefillTemplatePanel();
    fViewer.Invalidate();
}

bool VTPrintPreviewDialog::PrintPage()
{
    VTLabelLayout* layout = fProject.GetLabelLayout();
    if (!pPage || !layout)
        return false;
    // A disc layout whose printer is not in the table (an old or edited project) has no tray to
    // print on: it is reported, never printed on a paper of 0 x 0.
    if (layout->printMedium == VTPrintMediumDisc && !VTPrinterTrayGet(layout->printerTray)) {
        LAlert alert(GetContentView(),
            "Skrivaren för den här skivlayouten finns inte i skrivarlistan. Välj en skrivare i "
            "Redigera etikettlayout och försök igen.",
            "Skriv ut");
        alert.type = 2;
        alert._Run();
        return false;
    }
    LPrintSettings settings;
    VTPrintSettingsForLayout(settings, *layout, *pPage);
    VTPrintFunctionClass function(&fProject, pPage, &settings.imageableWidth, OutlinesSetting());
    return LPrinter::PrintToPrinterWithSettingsV(GetContentView(), settings, function);
}

bool VTPrintPreviewDialogOpen(LView* parent, VTProject& project, VTLabelLayoutPage* page,
    VTLabelLayoutTemplate* firstSelected)
{
    VTPrintPreviewDialog dialog(project, page, firstSelected);
    dialog.Open(parent, "PrintPreviewDialog", 150, 40, 100, 25, 0, 0);
    return dialog.Printed();
}
