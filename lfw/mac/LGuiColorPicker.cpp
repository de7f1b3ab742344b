#include "lfw/mac/LGuiColor.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LCocoaColorPicker.h"

bool LGuiColorRef::OpenColorPickerDialog(LMacWindow& window)
{
    LCocoaColorPicker picker;
    LGuiColor colour = *this;
    picker.Open(window.GetContentView(), colour);
    static_cast<LGuiColor&>(*this) = colour;
    return true;
}

bool LGuiColorRef::OpenColorPickerDialog(LMacWindow& window, int, int)
{
    return OpenColorPickerDialog(window);
}
