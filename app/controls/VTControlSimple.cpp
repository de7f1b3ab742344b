#include "app/controls/VTControlButton.h"
#include "app/controls/VTControlCheckBox.h"
#include "app/controls/VTControlHyperLink.h"
#include "app/controls/VTControlPullDownList.h"
#include "app/controls/VTControlStaticTextWithLabel.h"

#include "lfw/mac/LControlFlags.h"

#include <algorithm>

// --- button ------------------------------------------------------------------------------------

VTControlButton::VTControlButton(const char* caption)
{
    CopyText(szCaption, caption);
}

void VTControlButton::InitDialog()
{
    AddPushButton(1000, szCaption, 0, 0, 0, 0);
}

void VTControlButton::LayoutControls(int x, int y, int width, int)
{
    MoveControlPixels(1000, x, y, width, RowHeight());
}

void VTControlButton::Command(int id, int code)
{
    if (id == 1000) {
        NotifyAll(&VTControlButtonNotifyee::EvButtonPressed, *this);
        return;
    }
    LMacWindow::Command(id, code);
}

// --- check box ---------------------------------------------------------------------------------

VTControlCheckBox::VTControlCheckBox(const char* caption)
{
    CopyText(szCaption, caption);
}

void VTControlCheckBox::InitDialog()
{
    AddCheckBox(1000, szCaption);
}

void VTControlCheckBox::LayoutControls(int x, int y, int width, int)
{
    MoveControlPixels(1000, x, y, width, RowHeight());
}

void VTControlCheckBox::Command(int id, int code)
{
    // While the owner sets the box itself, nothing is reported (or handled).
    if (!bNotify)
        return;
    if (id == 1000) {
        NotifyAll(&VTControlCheckBoxNotifyee::EvControlCheckBoxChanged, *this);
        return;
    }
    LMacWindow::Command(id, code);
}

// --- hyperlink ---------------------------------------------------------------------------------

VTControlHyperLink::VTControlHyperLink(const char* text)
{
    CopyText(szText, text);
}

void VTControlHyperLink::InitDialog()
{
    AddHyperLink(1000, szText);
    HLInit(1000);
}

void VTControlHyperLink::LayoutControls(int x, int y, int, int)
{
    MoveControlPixels(1000, x, y, MeasureTextWidth(1000, szText), RowHeight());
}

void VTControlHyperLink::Command(int id, int code)
{
    if (id == 1000) {
        NotifyAll(&VTControlHyperLinkNotifyee::EvHyperLinkClicked, *this);
        return;
    }
    LMacWindow::Command(id, code);
}

// --- pull-down list ----------------------------------------------------------------------------

VTControlPullDownList::VTControlPullDownList(const char* label, const char* tooltip)
{
    CopyText(szLabel, label);
    CopyText(szToolTip, tooltip);
}

void VTControlPullDownList::InitDialog()
{
    AddStatic(1000, szLabel);
    AddPullDownList(1001);
    HandlePDLSelChange(1001, 1002);
    SetControlToolTip(1001, szToolTip);
}

void VTControlPullDownList::LayoutControls(int x, int y, int width, int)
{
    const int label = MeasureStaticTextWidthPixels(szLabel);
    const int gap = LabelGap();
    MoveControlPixels(1000, x, y, label, RowHeight());
    MoveControlPixels(1001, x + label + gap, y, std::max(0, width - label - gap), RowHeight());
}

void VTControlPullDownList::Command(int id, int code)
{
    if (id == 1002) {
        NotifyAll(&VTControlPullDownListNotifyee::EvPullDownListChanged, *this);
        return;
    }
    LMacWindow::Command(id, code);
}

long VTControlPullDownList::GetSelectedData() const
{
    auto& self = const_cast<VTControlPullDownList&>(*this);
    const int index = self.PDLGetCurSel(1001);
    if (index < 0)
        return -1;
    return long(self.PDLGetItemData(1001, index));
}

// --- label with text ---------------------------------------------------------------------------

VTControlStaticTextWithLabel::VTControlStaticTextWithLabel(const char* label, const char* text)
{
    CopyText(szLabel, label);
    CopyText(szText, text);
}

void VTControlStaticTextWithLabel::InitDialog()
{
    AddStatic(1000, szLabel);
    LStaticFlags flags;
    flags.lineBreak = 2; // cut at the end
    flags.alignment = 0;
    AddStatic(1001, szText, flags);
}

void VTControlStaticTextWithLabel::LayoutControls(int x, int y, int width, int)
{
    const int label = MeasureStaticTextWidthPixels(szLabel);
    const int gap = LabelGap();
    MoveControlPixels(1000, x, y, label, RowHeight());
    MoveControlPixels(1001, x + label + gap, y, std::max(0, width - label - gap), RowHeight());
}

void VTControlStaticTextWithLabel::SetText(const char* text, bool trim)
{
    CopyText(szText, text);
    if (trim) {
        int x = 0, y = 0, w = 0, h = 0;
        GetControlPixels(1001, x, y, w, h);
        TrimTextToRect(szText, LRectangle(x, y, x + w, y + h), 1001, false);
    }
    SetStaticText(1001, szText);
}

void VTControlStaticTextWithLabel::EnableControls(bool enable)
{
    EnableControl(1000, enable);
    EnableControl(1001, enable);
}
