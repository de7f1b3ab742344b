#include "app/controls/VTControlEdit.h"

VTControlEdit::~VTControlEdit()
{
    // The timers go with the view, before this object is half gone.
    Destroy();
}

void VTControlEdit::InitDialog()
{
    TimerInit(*this);
    AddEdit(1000);
    HandleEditTextChange(1000, 2000);
    HandleEditTextFocusLost(1000, 2001);
    SetControlToolTip(1000, "Redigera text");
}

void VTControlEdit::DestroyDialog()
{
    TimerDestroy(*this);
}

void VTControlEdit::LayoutControls(int x, int y, int width, int)
{
    MoveControlPixels(1000, x, y, width, int(100 * GetBackingScaleFactor()));
}

void VTControlEdit::Command(int id, int code)
{
    if (id == 2000) {
        TimerSet(1, kReportDelayMs);
        return;
    }
    // Leaving the edit (a click on the canvas, which then selects something else) tells what was
    // typed first, while what it was typed for is still the one selected.
    if (id == 2001) {
        ReportPendingChange();
        return;
    }
    LMacWindow::Command(id, code);
}

void VTControlEdit::EvTimer(int id)
{
    if (id != 1)
        return;
    TimerReset(1);
    if (IsControlAlive())
        NotifyAll(&VTControlEditNotifyee::EvTextChanged, *this);
}

bool VTControlEdit::TakePendingReport()
{
    if (!TimerIsSet(1))
        return false;
    TimerReset(1);
    return IsControlAlive();
}

void VTControlEdit::ReportPendingChange()
{
    if (TakePendingReport())
        NotifyAll(&VTControlEditNotifyee::EvTextChanged, *this);
}
