#include "app/VTStationerySelectDialog.h"

#include "lfw/gen/LString.h"
#include "lfw/mac/LControlFlags.h"
#include "lfw/mac/cocoa/LCocoaListViewImpl.h"
#include "lfw/zor/LHelp.h"

#include <algorithm>
#include <cmath>

namespace {

int R(double v)
{
    return int(std::lround(v));
}

const LVColDynamicGlobal kColumns[] = {
    { "", -1, 0, true },
    { nullptr, 0, 0, false },
};

} // namespace

VTStationerySelectDialog::VTStationerySelectDialog() = default;

VTStationerySelectDialog::~VTStationerySelectDialog() = default;

void VTStationerySelectDialog::InitDialog()
{
    SetCaption("Välj mallar");
    AddGroup(kNameGroup, "Namn");
    LListFlags flags;
    flags.singleSelection = true;
    if (LCocoaListViewImpl* list = AddList(kList, flags)) {
        LVInit(kList, kColumns);
        if (list->manager())
            list->manager()->showHeader(false);
    }
    for (VTLabelLayout* l = fList.GetHead(); l; l = l->GetNext())
        LVAddString(kList, l->name, -1, reinterpret_cast<unsigned long>(l), 0);
    HandleLVSelChange(kList, kCmdListSelection);
    HandleLVDoubleClick(kList, kLCmdOk);

    AddGroup(kPreviewGroup, "Granska");
    AddPaintControl(kTabBar);
    fTabBar.Init(*this, kTabBar);
    fTabBar.SetCommandIds(0, kCmdTabSelected, 0, 0);
    fTabBar.ShowCloseButtons(false);
    AddPaintControl(kViewer);
    fViewer.Init(*this, kViewer);

    AddOkCancel("Välj");
    AddButton(kLCmdHelp, "");
    // Tab reads the list beside the preview before the preview's page tabs above it.
    GetContentView()->SetKeyViewOrder({ GetControlHandle(kList), GetControlHandle(kTabBar) });
    LVSetCurSel(kList, 0);
    LabelLayoutChanged();
    int w = 0, h = 0;
    GetClientSize(w, h);
    LayoutControls(w, h);
}

void VTStationerySelectDialog::EvWindowReady()
{
    int w = 0, h = 0;
    GetClientSize(w, h);
    LayoutControls(w, h);
}

void VTStationerySelectDialog::DestroyDialog()
{
    LVDestroy(kList);
    fViewer.SetLabelLayout(nullptr);
    fViewer.DestroyPaintControl();
    fTabBar.DestroyPaintControl();
    LResizableDialog::DestroyDialog();
}

void VTStationerySelectDialog::Command(int id, int code)
{
    switch (id) {
    case kCmdListSelection:
        LabelLayoutChanged();
        EnableControls();
        return;
    case kCmdTabSelected:
        EvTabControlTabSelected();
        return;
    default:
        LResizableDialog::Command(id, code);
    }
}

bool VTStationerySelectDialog::CmOk()
{
    bConfirmed = fSelected != nullptr;
    return bConfirmed;
}

void VTStationerySelectDialog::CmHelp()
{
    LOpenHelpPage(GetContentView(), "dialogs_selectstationery");
}

void VTStationerySelectDialog::EnableControls()
{
    EnableControl(kLCmdOk, LVGetSelCount(kList) == 1);
}

void VTStationerySelectDialog::LabelLayoutChanged()
{
    const bool one = LVGetSelCount(kList) == 1;
    fViewer.SetLabelLayout(nullptr);
    fViewer.SetCollection(nullptr);
    fTabBar.RemoveAllTabs();
    if (one) {
        auto* source = reinterpret_cast<VTLabelLayout*>(LVGetItemData(kList, LVGetFirstSel(kList)));
        fSelected = source ? std::make_unique<VTLabelLayout>(*source) : nullptr;
    } else {
        fSelected.reset();
    }
    if (fSelected) {
        unsigned long n = 0;
        for (VTLabelLayoutPage* p = fSelected->pages.GetHead(); p; p = p->GetNext()) {
            char text[64];
            LStringFormat(text, sizeof text, "Sidan %lu", ++n);
            fTabBar.AddTab(text, reinterpret_cast<unsigned long>(p));
        }
        fViewer.SetLabelLayout(fSelected.get());
        if (fTabBar.GetTabCount())
            fTabBar.SelectTabAtIndex(0);
    }
    ShowControl(kTabBar, fSelected != nullptr);
    ShowControl(kViewer, fSelected != nullptr);
    fViewer.Invalidate();
    fTabBar.Update();
}

void VTStationerySelectDialog::EvTabControlTabSelected()
{
    LTab* tab = fTabBar.GetSelectedTab();
    fViewer.SetCollection(tab ? reinterpret_cast<VTLabelLayoutPage*>(tab->dataTag) : nullptr);
    fViewer.Invalidate();
}

void VTStationerySelectDialog::LayoutControls(int width, int height)
{
    const double cw = CharWidthPixels(), ch = CharHeightPixels(), s = GetBackingScaleFactor();
    const int side = R(2 * cw), top = R(0.94 * ch), bottom = R(0.94 * ch);
    const int bh = R(1.23 * ch);
    LayoutOkCancelHelp(0, 0, width, height);
    const int groupsBottom = height - bottom - bh - R(0.59 * ch);
    const int inner = std::max(1, width - 2 * side);
    const int previewW = R(inner * 0.6);
    const int previewX = width - side - previewW;
    const int groupH = std::max(1, groupsBottom - top);
    MoveControlPixels(kPreviewGroup, previewX, top, previewW, groupH);
    const int insetX = R(1.75 * cw), insetTop = R(1.29 * ch), insetBottom = R(0.82 * ch);
    const int tabH = R(36 * s * TextScale()); // the tabs hold text: they grow with it
    const int innerW = std::max(1, previewW - 2 * insetX);
    MoveControlPixels(kTabBar, previewX + insetX, top + insetTop, innerW, tabH);
    MoveControlPixels(kViewer, previewX + insetX, top + insetTop + tabH, innerW,
        std::max(1, groupH - insetTop - insetBottom - tabH));
    const int nameW = std::max(1, previewX - R(1.25 * cw) - side);
    MoveControlPixels(kNameGroup, side, top, nameW, groupH);
    LVMovePixels(kList, kColumns, side + insetX, top + insetTop, std::max(1, nameW - 2 * insetX),
        std::max(1, groupH - insetTop - insetBottom));
    fViewer.UpdateSize();
    fTabBar.UpdateSize();
    fTabBar.LayoutTabs();
    EnableControls();
}

VTLabelLayout* VTStationerySelectDialogOpen(LView* parent)
{
    VTStationerySelectDialog dialog;
    dialog.Open(parent, "StationerySelectDialog", 150, 40, 100, 25, 0, 0);
    return dialog.Confirmed() ? dialog.TakeLayout() : nullptr;
}
