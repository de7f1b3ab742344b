// A label (or a check box) with a colour swatch beside it. With the check box, the box tells
// whether the colour is used at all: off reads as a transparent colour.
#pragma once

#include "app/controls/VTControl.h"
#include "lfw/graphics/LImageFormat.h"
#include "lfw/gui/LSmallControls.h"

class VTControlColourPicker;

class VTControlColourPickerNotifyee {
public:
    virtual ~VTControlColourPickerNotifyee() = default;
    virtual void EvColourPickerChanged(VTControlColourPicker& control) = 0;
};

// Check box 1000 (with the check box) or static 1001 (without) with the label; painted swatch
// 1002, white at first, which opens the colour chooser and tells when a colour was chosen.
class VTControlColourPicker : public VTControl<VTControlColourPickerNotifyee>,
                              private LColorPickerControlNotifyee {
public:
    VTControlColourPicker(const char* label, const char* tooltip, bool withCheckBox);
    ~VTControlColourPicker() override;

    void InitDialog() override;
    void DestroyDialog() override;
    void LayoutControls(int x, int y, int width, int height) override;
    void Command(int id, int code) override;

    // Red, green and blue are the high bytes of the swatch's colour; alpha is 255, or 0 when
    // the check box is there and off.
    LPFB8G8R8A8 GetColourWithAlpha() const;
    // The swatch shows (R x 256, G x 256, B x 256); the check box is on exactly when alpha is 255.
    void SetColourWithAlpha(const LPFB8G8R8A8& colour);

    bool HasCheckBox() const { return bWithCheckBox; }
    LColorPickerControl& GetSwatch() { return fSwatch; }

private:
    void EvColorPickerControlChanged(LView* hostView) override;

    char szLabel[kVTControlTextSize];
    char szToolTip[kVTControlTextSize];
    bool bWithCheckBox;
    LColorPickerControl fSwatch;
};
