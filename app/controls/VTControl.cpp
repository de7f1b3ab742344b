#include "app/controls/VTControl.h"

#include "lfw/gen/LString.h"
#include "lfw/gen/LUserSettings.h"
#include "platform/ui/LView.h"

VTControlBase::VTControlBase()
    : LEmbeddedWindow(false, false, false)
{
}

VTControlBase::~VTControlBase() = default;

void VTControlBase::CopyText(char* buffer, const char* text)
{
    utf8strlcpy(buffer, text ? text : "", kVTControlTextSize);
}

void VTControlBase::SetControlToolTip(int id, const char* text)
{
    const char* tip = text && *text ? text : nullptr;
    LView* outer = GetControlHandle(id);
    if (!outer)
        return;
    outer->SetToolTipText(tip);
    if (LView* real = ControlGetRealControlHandle(id); real && real != outer)
        real->SetToolTipText(tip);
}

bool VTControlUnitIsImperial()
{
    return LUnitsGetMeasurementUnit() == 1;
}

double VTControlToShownUnit(double millimetres)
{
    return VTControlUnitIsImperial() ? millimetres / 25.4 : millimetres;
}

double VTControlFromShownUnit(double shown)
{
    return VTControlUnitIsImperial() ? shown * 25.4 : shown;
}
