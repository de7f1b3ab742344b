#include "app/VTLabelLayoutEditorDialog.h"

#include "app/VTLabelLayoutData.h"
#include "app/VTLabelLayoutSelectDialog.h"
#include "app/VTOptions.h"
#include "app/VTPrinterTray.h"
#include "app/VTSmallDialogs.h"
#include "app/VTStationerySelectDialog.h"
#include "app/VTTemplateData.h"
#include "lfw/gen/LFile.h"
#include "lfw/gen/LFormat.h"
#include "lfw/gen/LString.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/LAlert.h"
#include "lfw/mac/LMenu.h"
#include "lfw/mac/LProgressDialog.h"
#include "lfw/zor/LHelp.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

int R(double v)
{
    return int(std::lround(v));
}

const char* const kFilter = "Vorantel etikettlayout (*.vtlayout)\0*.vtlayout\0\0";

const LToolBar::ToolBarItem kTools[] = {
    { 0, VTLabelLayoutEditorDialog::kCmdNew, 340, "Ny", "Ny", "Starta en ny etikettlayout" },
    { 0, VTLabelLayoutEditorDialog::kCmdStationery, 350, "Brevpapper", "Brevpapper",
        "Välj layout för mallar i kommersiella mallar" },
    { 0, VTLabelLayoutEditorDialog::kCmdImport, 342, "Importera", "Importera",
        "Importera en etikettlayout från en fil" },
    { 0, VTLabelLayoutEditorDialog::kCmdExport, 341, "Exportera", "Exportera",
        "Exportera den aktuella etikettlayouten till en fil" },
    { 1, 0, 0, nullptr, nullptr, nullptr },
    { 0, VTLabelLayoutEditorDialog::kCmdAddPage, 351, "Lägg till sida", "Lägg till sida",
        "Lägga till en ny sida" },
    { 0, VTLabelLayoutEditorDialog::kCmdRemovePage, 352, "Ta bort sida", "Ta bort sida",
        "Ta bort den aktuella sidan" },
    { 1, 0, 0, nullptr, nullptr, nullptr },
    { 0, VTLabelLayoutEditorDialog::kCmdAddTemplate, 353, "Lägg till mall", "Lägg till mall",
        "Lägga till en ny skiva eller ett nytt ärende" },
    { 0, VTLabelLayoutEditorDialog::kCmdDeleteTemplate, 354, "Ta bort mall", "Ta bort mall",
        "Ta bort den markerade skivan eller fodralet" },
};

// A question whose yes throws work away (templates, overlays): it opens with the keyboard on no.
int Ask(LWindow& window, const char* text, const char* caption, const char* yes, const char* no)
{
    LAlert alert(window.GetContentView(), text, caption);
    alert.type = 0;
    LAlertCopyField(alert.button1, yes);
    LAlertCopyField(alert.button2, no);
    alert.focusButton = 2;
    return alert._Run();
}

void Error(LWindow& window, const char* text, const char* caption)
{
    LAlert alert(window.GetContentView(), text, caption);
    alert.type = 2;
    alert._Run();
}

} // namespace

VTLabelLayoutEditorDialog::VTLabelLayoutEditorDialog(
    VTLabelLayout& layout, const LList<VTProjectTemplate>& designs, VTLabelLayoutTemplate*& current)
    : fLayout(layout)
    , fDesigns(designs)
    , rCurrent(current)
    , fViewer(true)
    , fContainer("", false, true, true, false)
{
}

VTLabelLayoutEditorDialog::~VTLabelLayoutEditorDialog()
{
    if (bRegistered)
        fLayout.RemoveNotifyee(*this);
}

void VTLabelLayoutEditorDialog::InitDialog()
{
    SetCaption("Redigera etikettlayout");
    SetToolBarName("LabelLayoutEditor");
    SetToolBar(*this, kTools, sizeof kTools / sizeof kTools[0], nullptr, 0);
    LToolBar::AddHelp();
    UpdateToolBar();

    AddPaintControl(kTabBar);
    fTabBar.Init(*this, kTabBar);
    fTabBar.SetCommandIds(0, kCmdTabSelected, kCmdTabClose, 0);
    fTabBar.ShowCloseButtons(true);
    // A page's tab closes by a middle click too, under the same rule as its close button.
    fTabBar.SetMiddleClickCloses(true);
    AddPaintControl(kViewer);
    fViewer.Init(*this, kViewer);
    // A stop of Tab: Space chooses the next label position, the arrow keys move it.
    fViewer.SetKeyboardReachable();
    fViewer.AddNotifyee(*this);

    fContainer.Init(*this);
    RebuildLayoutPanel();
    pPanelPage = new VTLabelLayoutEditorPanelPageProperties(kPanelPage);
    fContainer.fList.AddPanel(pPanelPage, true);
    pPanelPage->AddNotifyee(*this);
    pPanelTemplate = new VTLabelLayoutEditorPanelTemplateProperties(kPanelTemplate, true);
    fContainer.fList.AddPanel(pPanelTemplate, true);
    pPanelTemplate->AddNotifyee(*this);
    fContainer.fList.EnableCollapse(false);
    for (int i = 0; i < 3; ++i)
        fContainer.fList.SetActivePanelByIndex(i, false);

    AddOkCancel("Tillämpa");
    // Tab reads the page column first (the page's tabs, then the page), then the panels.
    GetContentView()->SetKeyViewOrder({ GetControlHandle(kTabBar), GetControlHandle(kViewer) });
    InitFromLabelLayout();
    UpdatePanelVisibility();
    fLayout.AddNotifyee(*this);
    bRegistered = true;
    int w = 0, h = 0;
    GetClientSize(w, h);
    LayoutControls(w, h);
}

// The paper list depends on the medium: the panel is made again when the medium changes.
void VTLabelLayoutEditorDialog::RebuildLayoutPanel()
{
    if (pPanelLayout && pPanelLayout->Medium() == fLayout.printMedium)
        return;
    if (pPanelLayout) {
        pPanelLayout->RemoveNotifyee(*this);
        pPanelLayout->SetName(fLayout.name);
    }
    // The layout panel is the first in the list; a new one takes the place of the old.
    LEmbeddedWindowTitled* old = pPanelLayout;
    pPanelLayout = new VTLabelLayoutEditorPanelProperties(kPanelLayout, fLayout.printMedium);
    fContainer.fList.AddPanel(pPanelLayout, false);
    pPanelLayout->AddNotifyee(*this);
    if (old) {
        old->Destroy();
        LEmbeddedWindowTitled** link = &fContainer.fList.pFirst;
        while (*link && *link != old)
            link = &(*link)->pNext;
        if (*link)
            *link = old->pNext;
        delete old;
    }
    fContainer.fList.EnableCollapse(false);
    fContainer.fList.SetActivePanelByIndex(0, false);
    fContainer.RelayoutWindow();
}

void VTLabelLayoutEditorDialog::EvWindowReady()
{
    int w = 0, h = 0;
    GetClientSize(w, h);
    LayoutControls(w, h);
}

void VTLabelLayoutEditorDialog::DestroyDialog()
{
    if (pPanelLayout)
        pPanelLayout->RemoveNotifyee(*this);
    if (pPanelPage)
        pPanelPage->RemoveNotifyee(*this);
    if (pPanelTemplate)
        pPanelTemplate->RemoveNotifyee(*this);
    fContainer.Destroy();
    pPanelLayout = nullptr;
    pPanelPage = nullptr;
    pPanelTemplate = nullptr;
    if (bRegistered) {
        fLayout.RemoveNotifyee(*this);
        bRegistered = false;
    }
    fViewer.RemoveNotifyee(*this);
    fViewer.DestroyPaintControl();
    fTabBar.DestroyPaintControl();
    WindowSizeSettingsStore(Section());
    LResizableDialog::DestroyDialog();
}

void VTLabelLayoutEditorDialog::Command(int id, int code)
{
    switch (id) {
    case kCmdNew:
        CmLabelLayoutNew();
        break;
    case kCmdStationery:
        CmLabelLayoutStationery();
        break;
    case kCmdImport:
        CmLabelLayoutImport();
        break;
    case kCmdExport:
        CmLabelLayoutExport();
        break;
    case kCmdAddPage:
        if (fLayout.printMedium == VTPrintMediumPaper)
            fLayout.AddPage();
        break;
    case kCmdRemovePage:
        if (fLayout.printMedium == VTPrintMediumPaper && fLayout.pages.GetCount() > 1)
            PageRemove(fTabBar.GetSelectedTab());
        break;
    case kCmdAddTemplate:
        CmTemplateAdd();
        break;
    case kCmdDeleteTemplate:
        CmTemplateDelete();
        break;
    case kCmdTabSelected:
        EvTabControlTabSelected();
        break;
    case kCmdTabClose:
        EvTabControlTabCloseRequested();
        break;
    default:
        LResizableDialog::Command(id, code);
        return;
    }
    EnableControls();
}

bool VTLabelLayoutEditorDialog::CmOk()
{
    const char* problem = nullptr;
    if (fLayout.pages.IsEmpty())
        problem = "Det verkar inte finnas några giltiga sidor.\nAlla etikettlayouter måste "
                  "innehålla minst en sida och en mall.";
    for (VTLabelLayoutPage* p = fLayout.pages.GetHead(); p && !problem; p = p->GetNext())
        if (!p->first)
            problem = "Alla sidor i etikettlayouten måste innehålla minst en mall.";
    if (problem) {
        LAlert alert(GetContentView(), problem, "Redigera etikettlayout");
        alert.type = 2;
        alert._Run();
        return false;
    }
    if (fLayout.printMedium == VTPrintMediumDisc)
        VTOptions::PrinterTrayIDSet(fLayout.printerTray);
    return true;
}

void VTLabelLayoutEditorDialog::CmHelp()
{
    LOpenHelpPage(GetContentView(), "dialogs_labellayoutedit");
}

void VTLabelLayoutEditorDialog::EnableControls()
{
    const bool paper = fLayout.printMedium == VTPrintMediumPaper;
    const bool severalPages = fLayout.pages.GetCount() > 1;
    const bool single = fViewer.GetSingleSelectedItem() != nullptr;
    EnableToolBarItem(kCmdNew, paper);
    EnableToolBarItem(kCmdStationery, paper);
    EnableToolBarItem(kCmdAddPage, paper);
    EnableToolBarItem(kCmdRemovePage, paper && severalPages);
    EnableToolBarItem(kCmdAddTemplate, paper);
    EnableToolBarItem(kCmdDeleteTemplate, paper && single);
    EnableToolBarItem(kCmdImport, true);
    EnableToolBarItem(kCmdExport, true);
    fTabBar.ShowCloseButtons(paper && severalPages);
}

void VTLabelLayoutEditorDialog::LayoutControls(int width, int height)
{
    const double cw = CharWidthPixels(), ch = CharHeightPixels(), s = GetBackingScaleFactor();
    const int top = GetToolbarHeightPixels(GetContentView());
    const int band = R((0.59 + 1.23 + 0.94) * ch);
    const int bh = R(1.23 * ch);
    // The height is the client area's: the toolbar at its top, then the tabs, the page and the
    // panels, the button row at its bottom.
    const int by = height - bh - R(0.94 * ch);
    int right = width - R(2 * cw);
    const int minimum = int(96 * s);
    const int cancelW = std::max(MeasureButtonWidthPixels(kLCmdCancel), minimum);
    MoveControlPixels(kLCmdCancel, right - cancelW, by, cancelW, bh);
    right -= cancelW + R(1.25 * cw);
    const int okW = std::max(MeasureButtonWidthPixels(kLCmdOk), minimum);
    MoveControlPixels(kLCmdOk, right - okW, by, okW, bh);

    // The panels' column grows with the text, as their controls do.
    const int column = R(460 * s * TextScale());
    const int bodyBottom = std::max(top + 1, height - band);
    fContainer.MovePixels(std::max(0, width - column), top, column, bodyBottom - top);
    const int tabH = R(36 * s * TextScale()); // the tabs hold text: they grow with it
    const int leftW = std::max(1, width - column);
    MoveControlPixels(kTabBar, 0, top, leftW, tabH);
    MoveControlPixels(kViewer, 0, top + tabH, leftW, std::max(1, bodyBottom - top - tabH));
    fViewer.UpdateSize();
    fTabBar.UpdateSize();
    fTabBar.LayoutTabs();
    fViewer.Invalidate();
}

bool VTLabelLayoutEditorDialog::EvKeyDown(LKey key)
{
    // Ctrl+Page Up and Ctrl+Page Down go to the page before or after, wherever the keyboard is.
    constexpr unsigned kPageUp = 116, kPageDown = 121;
    if (key.Modifiers() == LKey::kCommand
        && (key.KeyCode() == kPageUp || key.KeyCode() == kPageDown)) {
        fTabBar.SelectNeighbourTab(key.KeyCode() == kPageUp ? -1 : 1);
        return true;
    }
    return fViewer.EvKeyDown(key) || LResizableDialog::EvKeyDown(key);
}

bool VTLabelLayoutEditorDialog::EvKeyRepeat(LKey key)
{
    return fViewer.EvKeyRepeat(key);
}

VTLabelLayoutPage* VTLabelLayoutEditorDialog::CurrentPage() const
{
    LTab* tab = fTabBar.GetSelectedTab();
    return tab ? reinterpret_cast<VTLabelLayoutPage*>(tab->dataTag) : nullptr;
}

// --- Filling.

void VTLabelLayoutEditorDialog::InitFromLabelLayout()
{
    fViewer.SetLabelLayout(&fLayout);
    fTabBar.RemoveAllTabs();
    for (VTLabelLayoutPage* p = fLayout.pages.GetHead(); p; p = p->GetNext())
        fTabBar.AddTab("", reinterpret_cast<unsigned long>(p));
    UpdateTabControlLabels();
    VTLabelLayoutTemplate* select = nullptr;
    if (!rCurrent) {
        if (fTabBar.GetTabCount())
            fTabBar.SelectTabAtIndex(0);
    } else {
        for (unsigned i = 0; i < fTabBar.GetTabCount() && !select; ++i) {
            auto* page = reinterpret_cast<VTLabelLayoutPage*>(fTabBar.GetTabAtIndex(i)->dataTag);
            for (VTLabelLayoutTemplate* t = page->first; t; t = t->next)
                if (t->GetID() == rCurrent->GetID()) {
                    fTabBar.SelectTabAtIndex(i);
                    select = t;
                    break;
                }
        }
        rCurrent = select;
    }
    RebuildLayoutPanel();
    UpdateLabelLayoutControls();
    UpdatePageControls();
    if (select)
        fViewer.SetItemSelected(select, true, true);
}

void VTLabelLayoutEditorDialog::UpdateTabControlLabels()
{
    for (unsigned i = 0; i < fTabBar.GetTabCount(); ++i) {
        char text[64];
        LStringFormat(text, sizeof text, "Sidan %lu", (unsigned long)(i + 1));
        fTabBar.SetTabTextAtIndex(i, text);
    }
}

void VTLabelLayoutEditorDialog::UpdateLabelLayoutControls()
{
    if (!pPanelLayout)
        return;
    pPanelLayout->SetName(fLayout.name);
    pPanelLayout->SelectData(fLayout.printMedium == VTPrintMediumDisc ? long(fLayout.printerTray)
                                                                      : long(fLayout.paperSize));
}

void VTLabelLayoutEditorDialog::UpdatePageControls()
{
    VTLabelLayoutPage* page = CurrentPage();
    fViewer.SetCollection(page);
    if (pPanelPage && page)
        pPanelPage->SetOrientation(page->GetOrientation());
    UpdatePanelVisibility();
    EnableControls();
}

void VTLabelLayoutEditorDialog::UpdatePanelVisibility()
{
    const bool single = fViewer.GetSingleSelectedItem() != nullptr;
    const int index = fContainer.fList.GetPanelIndexFromTitleBarId(kPanelTemplate);
    if (index >= 0)
        fContainer.fList.SetPanelVisible(index, single);
}

void VTLabelLayoutEditorDialog::EvTabControlTabSelected()
{
    UpdatePageControls();
}

void VTLabelLayoutEditorDialog::EvTabControlTabCloseRequested()
{
    if (fLayout.printMedium == VTPrintMediumPaper && fLayout.pages.GetCount() > 1)
        PageRemove(fTabBar.GetTabToClose());
}

// --- The layout's events.

void VTLabelLayoutEditorDialog::EvLabelLayoutMediumChanged(VTLabelLayout&)
{
    fViewer.Invalidate();
}

void VTLabelLayoutEditorDialog::EvLabelLayoutPageAdded(VTLabelLayout&, VTLabelLayoutPage& page)
{
    LTab* tab = fTabBar.AddTab("", reinterpret_cast<unsigned long>(&page));
    UpdateTabControlLabels();
    if (tab)
        fTabBar.SelectTab(*tab);
    UpdatePageControls();
}

void VTLabelLayoutEditorDialog::EvLabelLayoutPageDeleting(VTLabelLayout&, VTLabelLayoutPage& page)
{
    if (fViewer.GetCollection() == &page)
        fViewer.SetCollection(nullptr);
    fTabBar.RemoveTabWithDataTag(reinterpret_cast<unsigned long>(&page));
    UpdateTabControlLabels();
    UpdatePageControls();
}

void VTLabelLayoutEditorDialog::EvLabelLayoutPageOrientationChanged(
    VTLabelLayout&, VTLabelLayoutPage&, LPaperSizeOrientation)
{
    fViewer.Invalidate();
}

void VTLabelLayoutEditorDialog::EvLabelLayoutTemplateAdded(
    VTLabelLayout&, VTLabelLayoutPage&, VTLabelLayoutTemplate& t)
{
    fViewer.ClearSelectedItems();
    fViewer.SetItemSelected(&t, true, true);
    fViewer.Invalidate();
}

void VTLabelLayoutEditorDialog::EvLabelLayoutTemplateDeleting(
    VTLabelLayout&, VTLabelLayoutPage&, VTLabelLayoutTemplate& t)
{
    fViewer.SetItemSelected(&t, false, true);
    if (rCurrent == &t)
        rCurrent = nullptr;
}

void VTLabelLayoutEditorDialog::EvLabelLayoutTemplatesChanged(VTLabelLayout&, VTLabelLayoutPage&)
{
    fViewer.Invalidate();
}

// --- The canvas.

void VTLabelLayoutEditorDialog::EvLabelLayoutPageViewerSelectionChanged(VTLabelLayoutPageViewer&)
{
    if (VTLabelLayoutTemplate* t = fViewer.GetSingleSelectedItem()) {
        if (pPanelTemplate)
            pPanelTemplate->SetValues(fLayout, CurrentPage(), t);
        rCurrent = t;
    }
    UpdatePanelVisibility();
    EnableControls();
}

void VTLabelLayoutEditorDialog::EvLabelLayoutPageViewerContextMenuOpen(VTLabelLayoutPageViewer&)
{
    LPopupMenu menu(*this);
    menu.AppendMenuItem(kCmdDeleteTemplate, "Ta bort");
    menu.EnableMenuItem(kCmdDeleteTemplate, fViewer.GetSingleSelectedItem() != nullptr);
    DisplayPopupMenu(menu, false);
}

// --- Paper and orientation.

void VTLabelLayoutEditorDialog::EvPaperSizeChanged(LPaperSizeID id)
{
    if (!(fLayout.printMedium == VTPrintMediumPaper && fLayout.paperSize == id)) {
        fLayout.printMedium = VTPrintMediumPaper;
        fLayout.paperSize = id;
        fLayout.printerTray = VTPrinterTrayID(0);
        fLayout.NotifyMediumChanged();
    }
    AfterTemplateEdit();
}

void VTLabelLayoutEditorDialog::EvPaperSizeChanged(VTPrinterTrayID id)
{
    fLayout.printMedium = VTPrintMediumDisc;
    fLayout.printerTray = id;
    VTLabelLayoutPage* only = fLayout.pages.GetCount() == 1 ? fLayout.pages.GetHead() : nullptr;
    if (only && only->first && !only->first->next) {
        const VTCDDVDTraySizeInfo& tray = VTPrinterTrayGetTraySize(id);
        only->first->centreX = tray.offsetX;
        only->first->centreY = tray.offsetY;
        only->first->NotifyTransformChanged();
    }
    fLayout.NotifyMediumChanged();
    AfterTemplateEdit();
}

void VTLabelLayoutEditorDialog::EvPaperOrientationChanged(LPaperSizeOrientation orientation)
{
    VTLabelLayoutPage* page = CurrentPage();
    if (!page)
        return;
    if (page->GetOrientation() != orientation)
        page->SetOrientation(orientation);
    for (VTLabelLayoutTemplate* t = page->first; t; t = t->next)
        t->placementAlignment = -1;
    AfterTemplateEdit();
}

// --- The template panel.

void VTLabelLayoutEditorDialog::AfterTemplateEdit()
{
    fViewer.ClampItemsToCollection();
    if (pPanelTemplate)
        pPanelTemplate->SetValues(fLayout, CurrentPage(), fViewer.GetSingleSelectedItem());
    fViewer.Invalidate();
}

void VTLabelLayoutEditorDialog::EvTemplatePrintableAreaButtonPressed()
{
    VTLabelLayoutTemplate* t = fViewer.GetSingleSelectedItem();
    if (t && VTDiscDimensionsDialogOpen(GetContentView(), t))
        AfterTemplateEdit();
}

void VTLabelLayoutEditorDialog::EvTemplatePositionXChanged(float value)
{
    VTLabelLayoutTemplate* t = fViewer.GetSingleSelectedItem();
    if (!t || !CurrentPage())
        return;
    VTTemplateSetPositionX(*CurrentPage(), *t, value);
    AfterTemplateEdit();
}

void VTLabelLayoutEditorDialog::EvTemplatePositionYChanged(float value)
{
    VTLabelLayoutTemplate* t = fViewer.GetSingleSelectedItem();
    if (!t || !CurrentPage())
        return;
    VTTemplateSetPositionY(*CurrentPage(), *t, value);
    AfterTemplateEdit();
}

void VTLabelLayoutEditorDialog::EvTemplateEdgePositionChanged(VTEdges edge, float distance)
{
    VTLabelLayoutTemplate* t = fViewer.GetSingleSelectedItem();
    if (!t || !CurrentPage())
        return;
    VTTemplateSetEdgePosition(fLayout, *CurrentPage(), *t, int(edge), distance);
    AfterTemplateEdit();
}

void VTLabelLayoutEditorDialog::EvTemplateSpineWidthChanged(float width)
{
    VTLabelLayoutTemplate* t = fViewer.GetSingleSelectedItem();
    if (!t)
        return;
    VTTemplateSetSpineWidth(*t, width);
    AfterTemplateEdit();
}

void VTLabelLayoutEditorDialog::EvTemplateAlignmentChanged(LAlignment alignment)
{
    VTLabelLayoutTemplate* t = fViewer.GetSingleSelectedItem();
    if (!t || !CurrentPage())
        return;
    VTTemplateSetAlignment(fLayout, *CurrentPage(), *t, alignment);
    AfterTemplateEdit();
}

void VTLabelLayoutEditorDialog::EvTemplateRotateLeft()
{
    if (VTLabelLayoutTemplate* t = fViewer.GetSingleSelectedItem()) {
        fViewer.RotateSelectedItemLeft();
        t->placementAlignment = -1;
        AfterTemplateEdit();
    }
}

void VTLabelLayoutEditorDialog::EvTemplateRotateRight()
{
    if (VTLabelLayoutTemplate* t = fViewer.GetSingleSelectedItem()) {
        fViewer.RotateSelectedItemRight();
        t->placementAlignment = -1;
        AfterTemplateEdit();
    }
}

void VTLabelLayoutEditorDialog::EvTemplateRaise()
{
    fViewer.RaiseSelectedItem();
    fViewer.Invalidate();
}

void VTLabelLayoutEditorDialog::EvTemplateLower()
{
    fViewer.LowerSelectedItem();
    fViewer.Invalidate();
}

// --- Commands.

bool VTLabelLayoutEditorDialog::IsMapped(int32_t id) const
{
    for (VTProjectTemplate* d = fDesigns.GetHead(); d; d = d->GetNext())
        for (VTLabelLayoutTemplateID* m = d->mappedIDs.GetHead(); m; m = m->GetNext())
            if (m->id == id)
                return true;
    return false;
}

bool VTLabelLayoutEditorDialog::IsMappedWithOverlay(int32_t id) const
{
    for (VTProjectTemplate* d = fDesigns.GetHead(); d; d = d->GetNext()) {
        if (!d->first)
            continue;
        for (VTLabelLayoutTemplateID* m = d->mappedIDs.GetHead(); m; m = m->GetNext())
            if (m->id == id)
                return true;
    }
    return false;
}

bool VTLabelLayoutEditorDialog::RemoveUnmappedTemplateOrWithOverlay(const char* caption)
{
    bool withOverlay = false, unmapped = false;
    for (unsigned i = 0; i < fTabBar.GetTabCount() && !(withOverlay && unmapped); ++i) {
        auto* page = reinterpret_cast<VTLabelLayoutPage*>(fTabBar.GetTabAtIndex(i)->dataTag);
        for (VTLabelLayoutTemplate* t = page->first; t && !(withOverlay && unmapped); t = t->next) {
            withOverlay = withOverlay || IsMappedWithOverlay(t->GetID());
            unmapped = unmapped || !IsMapped(t->GetID());
        }
    }
    if (withOverlay
        && Ask(*this, "Det finns en mall med överlägg. Vill du kasta den och dess överlägg?",
               caption, "Ignorera", "Avbryt")
            != 1)
        return false;
    if (unmapped)
        return Ask(*this, "Du har precis lagt till en mall. Vill du kasta den?", caption,
                   "Ignorera", "Avbryt")
            == 1;
    return true;
}

void VTLabelLayoutEditorDialog::CmLabelLayoutNew()
{
    if (!RemoveUnmappedTemplateOrWithOverlay("Ny etikettlayout"))
        return;
    VTLabelLayoutDataCustom fresh;
    fresh.AddPage();
    fViewer.ClearSelectedItems();
    fLayout = fresh;
    rCurrent = nullptr;
    InitFromLabelLayout();
}

void VTLabelLayoutEditorDialog::CmLabelLayoutStationery()
{
    if (!RemoveUnmappedTemplateOrWithOverlay("Ny mallsetikettlayout"))
        return;
    std::unique_ptr<VTLabelLayout> chosen(VTStationerySelectDialogOpen(GetContentView()));
    if (!chosen)
        return;
    fViewer.ClearSelectedItems();
    fLayout = *chosen;
    rCurrent = nullptr;
    InitFromLabelLayout();
    UpdatePanelVisibility();
}

void VTLabelLayoutEditorDialog::CmLabelLayoutImport()
{
    if (!RemoveUnmappedTemplateOrWithOverlay("Importera etikettlayout från en fil"))
        return;
    std::string path, folder;
    VTLabelLayoutRecentFolderGet(folder);
    if (!LFile::BrowseReadFilePath(GetContentView(), path, "Importera etikettlayout", folder,
            kFilter, ".vtlayout", "Importera"))
        return;
    LUserSettingSetString("Settings", kVTOptionsRecentFolderProject, folder.c_str());
    auto loaded = std::make_unique<VTLabelLayout>();
    loaded->printMedium = VTPrintMediumPaper;
    loaded->paperSize = LPaperSizeID(18);
    loaded->largestTemplateID = -1;
    loaded->sameFormat = false;
    VTLabelLayoutLoad job;
    job.layout = loaded.get();
    std::snprintf(job.path, sizeof job.path, "%s", path.c_str());
    LProcessDialog<VTLabelLayoutLoad> progress("Importera etikettlayout", job);
    progress.Open(GetContentView());
    if (progress.result != LProcessResultSuccess)
        return;
    if (loaded->printMedium == VTPrintMediumPaper && fLayout.printMedium == VTPrintMediumDisc) {
        Error(*this,
            "Den importerade layouten har utformats för papperet, men du redigerar en layout för "
            "den utskrivbara skivan!",
            "Importera etikettlayout");
        return;
    }
    if (loaded->printMedium == VTPrintMediumDisc && fLayout.printMedium == VTPrintMediumPaper) {
        Error(*this,
            "Den importerade layouten har utformats för en utskrivbar skiva, men du redigerar en "
            "layout för papperet!",
            "Importera etikettlayout");
        return;
    }
    fViewer.ClearSelectedItems();
    fLayout = *loaded;
    rCurrent = nullptr;
    InitFromLabelLayout();
    UpdatePanelVisibility();
}

void VTLabelLayoutEditorDialog::CmLabelLayoutExport()
{
    bool any = false;
    for (VTLabelLayoutPage* p = fLayout.pages.GetHead(); p && !any; p = p->GetNext())
        any = p->first != nullptr;
    if (!any) {
        LAlert alert(GetContentView(),
            "Tomma layoutsidor för etikett. Lägg till några mallar innan du exporterar.",
            "Tom etikettlayout");
        alert.type = 1;
        alert._Run();
        return;
    }
    std::string path = "Namnlöst.vtlayout", folder;
    VTLabelLayoutRecentFolderGet(folder);
    if (!LFile::BrowseSaveFilePathOverwrite(
            GetContentView(), path, "Layout för exportetikett", folder, kFilter, "vtlayout"))
        return;
    LUserSettingSetString("Settings", kVTOptionsRecentFolderProject, folder.c_str());
    char name[kLPathSize];
    LFile::_GetFileNameFromPath(name, path.c_str());
    if (std::strcmp(name, fLayout.name) != 0) {
        utf8strlcpy(fLayout.name, name, sizeof fLayout.name);
        UpdateLabelLayoutControls();
    }
    VTLabelLayoutSave job;
    job.layout = &fLayout;
    std::snprintf(job.path, sizeof job.path, "%s", path.c_str());
    LProcessDialog<VTLabelLayoutSave> progress("Exportera etikettlayout", job);
    progress.Open(GetContentView());
}

void VTLabelLayoutEditorDialog::CmTemplateAdd()
{
    VTTemplateFormat format = VTTemplateFormat(-1);
    if (!VTAddTemplateDialogOpen(GetContentView(), format))
        return;
    VTLabelLayoutPage* page = CurrentPage();
    if (!page || format < 0)
        return;
    page->AddTemplate(format, fLayout.NewTemplateID());
}

void VTLabelLayoutEditorDialog::CmTemplateDelete()
{
    VTLabelLayoutTemplate* t = fViewer.GetSingleSelectedItem();
    if (!t)
        return;
    if (IsMappedWithOverlay(t->GetID())) {
        const char* text = fLayout.sameFormat
            ? "Den valda mallen har överlägg. Kontrollera att det finns en liknande mall på den "
              "här eller en annan sida. Annars tas överläggen bort när du har klickat på Ta bort "
              "och tillämpa.\r\n\r\nVill du ta bort mallen ändå?"
            : "Den valda mallen har överlägg. Dessa tas också bort när du har klickat på Ta bort "
              "och tillämpa.\r\n\r\nVill du ta bort mall och överlägg ändå?";
        if (Ask(*this, text, "Mallen har överlägg", "Ta bort", "Avbryt") != 1)
            return;
    }
    fViewer.DeleteSelectedItems();
    UpdatePanelVisibility();
}

void VTLabelLayoutEditorDialog::PageRemove(LTab* tab)
{
    if (!tab || !fTabBar.HasTab(tab))
        return;
    auto* page = reinterpret_cast<VTLabelLayoutPage*>(tab->dataTag);
    bool overlays = false;
    for (VTLabelLayoutTemplate* t = page->first; t && !overlays; t = t->next)
        overlays = IsMappedWithOverlay(t->GetID());
    if (overlays) {
        const char* text = fLayout.sameFormat
            ? "Den valda sidan har en mall med överlägg. Kontrollera att det finns en annan sida "
              "med en liknande mall. Annars tas överläggen bort när du har klickat på Ta bort och "
              "tillämpa.\r\n\r\nVill du ta bort sidan ändå?"
            : "Den valda sidan har en mall med överlägg. Dessa tas också bort när du har klickat "
              "på Ta bort och tillämpa.\r\n\r\nTa bort sida och överlägg ändå?";
        if (Ask(*this, text, "Sidan har mall med överlägg", "Ta bort", "Avbryt") != 1)
            return;
    }
    // The current page hands the selection on first: to the tab before it, or for the first
    // tab to the one after it.
    if (fTabBar.GetSelectedTab() == tab) {
        int index = -1;
        for (unsigned i = 0; i < fTabBar.GetTabCount(); ++i)
            if (fTabBar.GetTabAtIndex(i) == tab)
                index = int(i);
        const int next = index > 0 ? index - 1 : index + 1;
        if (next >= 0 && unsigned(next) < fTabBar.GetTabCount())
            fTabBar.SelectTabAtIndex(unsigned(next));
    }
    fViewer.ClearSelectedItems();
    fLayout.DeletePage(page);
}

int VTLabelLayoutEditorDialogOpen(
    LView* parent, LPtr<VTProject>& project, VTLabelLayoutTemplate*& current)
{
    if (!project || !project->GetLabelLayout())
        return 0;
    LPtr<VTLabelLayout> copy(new VTLabelLayout(*project->GetLabelLayout()));
    bool applied = false;
    {
        VTLabelLayoutEditorDialog dialog(*copy, project->templates, current);
        applied = dialog.Open(parent, "LabelLayoutEditor", 115, 38, 115, 38, 0, 0);
    }
    if (!applied)
        return 0;
    project->SetLabelLayout(copy);
    return 1;
}
