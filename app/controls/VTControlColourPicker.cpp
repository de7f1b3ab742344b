#include "app/controls/VTControlColourPicker.h"

VTControlColourPicker::VTControlColourPicker(
    const char* label, const char* tooltip, bool withCheckBox)
    : bWithCheckBox(withCheckBox)
    , fSwatch(LGuiColor(0xFFFF, 0xFFFF, 0xFFFF))
{
    CopyText(szLabel, label);
    CopyText(szToolTip, tooltip);
}

VTControlColourPicker::~VTControlColourPicker()
{
    Destroy();
}

void VTControlColourPicker::InitDialog()
{
    if (bWithCheckBox)
        AddCheckBox(1000, szLabel);
    else
        AddStatic(1001, szLabel);
    AddPaintControl(1002);
    fSwatch.Init(*this, 1002);
    // A stop of Tab that opens the chooser with Space and Return.
    fSwatch.SetKeyboardReachable();
    fSwatch.SetOwnerNotifyee(this);
    SetControlToolTip(1002, szToolTip);
}

void VTControlColourPicker::DestroyDialog()
{
    fSwatch.SetOwnerNotifyee(nullptr);
    fSwatch.DestroyPaintControl();
}

void VTControlColourPicker::LayoutControls(int x, int y, int, int)
{
    int label = MeasureStaticTextWidthPixels(szLabel);
    if (bWithCheckBox)
        label += R(3 * CharW()); // room for the box
    const int row = RowHeight();
    MoveControlPixels(bWithCheckBox ? 1000 : 1001, x, y, label, row);
    MoveControlPixels(1002, x + label + LabelGap(), y, row, row);
}

void VTControlColourPicker::Command(int id, int code)
{
    if (id == 1000 && bWithCheckBox) {
        NotifyAll(&VTControlColourPickerNotifyee::EvColourPickerChanged, *this);
        return;
    }
    LMacWindow::Command(id, code);
}

LPFB8G8R8A8 VTControlColourPicker::GetColourWithAlpha() const
{
    const LGuiColor& c = fSwatch.GetColor();
    LPFB8G8R8A8 out;
    out.r = uint8_t(c.red >> 8);
    out.g = uint8_t(c.green >> 8);
    out.b = uint8_t(c.blue >> 8);
    out.a = 255;
    if (bWithCheckBox && !const_cast<VTControlColourPicker*>(this)->GetCheck(1000))
        out.a = 0;
    return out;
}

void VTControlColourPicker::SetColourWithAlpha(const LPFB8G8R8A8& colour)
{
    fSwatch.SetColor(
        LGuiColor(uint16_t(colour.r << 8), uint16_t(colour.g << 8), uint16_t(colour.b << 8)));
    if (bWithCheckBox)
        SetCheck(1000, colour.a == 255);
}

void VTControlColourPicker::EvColorPickerControlChanged(LView*)
{
    if (!IsControlAlive())
        return;
    if (bWithCheckBox)
        SetCheck(1000, true);
    NotifyAll(&VTControlColourPickerNotifyee::EvColourPickerChanged, *this);
}
