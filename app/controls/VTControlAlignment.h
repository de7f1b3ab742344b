// The 3 x 3 pad that places an overlay's text or image in its box.
#pragma once

#include "app/controls/VTControl.h"
#include "lfw/graphics/LDrawTextFormat.h" // LAlignment
#include "lfw/gui/LSmallControls.h"

class VTControlAlignment;

class VTControlAlignmentNotifyee {
public:
    virtual ~VTControlAlignmentNotifyee() = default;
    virtual void EvChangeAlignment(VTControlAlignment& control, LAlignment alignment) = 0;
};

// Nine icon-only cool buttons 1000 + a (icons 376 + a) in a centred grid; a click shows that
// button down and reports its alignment.
class VTControlAlignment : public VTControl<VTControlAlignmentNotifyee>,
                           public LCoolButtonContainer {
public:
    VTControlAlignment() = default;
    ~VTControlAlignment() override;

    void InitDialog() override;
    void DestroyDialog() override;
    void LayoutControls(int x, int y, int width, int height) override;
    void Command(int id, int code) override;

    // Shows the button of the alignment down and the others up; outside 0..8 all are up.
    void ButtonDownAlignment(LAlignment alignment);
    // true: only top centre and bottom centre are enabled (and react); false: all nine.
    void EnableUpDownButtons(bool upDownOnly);

private:
    bool bUpDownOnly = false;
};
