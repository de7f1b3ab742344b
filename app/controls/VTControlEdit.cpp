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
