// Portrait or landscape, as two cool buttons with icon and text.
#pragma once

#include "app/controls/VTControl.h"
#include "lfw/gui/LSmallControls.h"
#include "lfw/mac/LPaperSize.h"

class VTControlPaperOrientation;

class VTControlPaperOrientationNotifyee {
public:
    virtual ~VTControlPaperOrientationNotifyee() = default;
    virtual void EvPaperOrientationChanged(
        VTControlPaperOrientation& control, LPaperSizeOrientation orientation)
        = 0;
};

// Cool buttons 1000 "Porträtt" (icon 368) and 1001 "Landskap" (icon 369). The owner shows the
// current orientation with SetCheck on 1000 and 1001.
class VTControlPaperOrientation : public VTControl<VTControlPaperOrientationNotifyee>,
                                  public LCoolButtonContainer {
public:
    VTControlPaperOrientation() = default;
    ~VTControlPaperOrientation() override;

    void InitDialog() override;
    void DestroyDialog() override;
    void LayoutControls(int x, int y, int width, int height) override;
    void Command(int id, int code) override;
};
