// The row of rotate, flip, raise and lower buttons.
#pragma once

#include "app/controls/VTControl.h"

class VTControlTransform;

class VTControlTransformNotifyee {
public:
    virtual ~VTControlTransformNotifyee() = default;
    virtual void EvRotateLeft(VTControlTransform& control) = 0;
    virtual void EvRotateRight(VTControlTransform& control) = 0;
    virtual void EvFlipHorizontal(VTControlTransform& control) { (void)control; }
    virtual void EvFlipVertical(VTControlTransform& control) { (void)control; }
    virtual void EvRaise(VTControlTransform& control) = 0;
    virtual void EvLower(VTControlTransform& control) = 0;
};

// Buttons with icons in one row, left to right: 1000 rotate left, 1001 rotate right, unless built
// without them 1002 flip horizontally and 1003 flip vertically, 1004 raise and 1005 lower
// (tooltips with their shortcuts Ctrl+= and Ctrl+-). Each acts as a plain push button.
class VTControlTransform : public VTControl<VTControlTransformNotifyee> {
public:
    VTControlTransform(bool withoutFlipButtons = false, bool withoutRaiseLowerButtons = false);
    ~VTControlTransform() override;

    void InitDialog() override;
    void LayoutControls(int x, int y, int width, int height) override;
    void Command(int id, int code) override;

    void EnableRaiseLowerControls(bool raise, bool lower);
    // The ids of the buttons the control has, in row order.
    int GetButtonCount() const;
    int GetButtonId(int index) const;

private:
    bool bWithoutFlip;
    bool bWithoutRaiseLower;
    LMacWindow::LToolTip fToolTip;
};
