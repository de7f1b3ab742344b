// A check box that reports the user's changes.
#pragma once

#include "app/controls/VTControl.h"

class VTControlCheckBox;

class VTControlCheckBoxNotifyee {
public:
    virtual ~VTControlCheckBoxNotifyee() = default;
    virtual void EvControlCheckBoxChanged(VTControlCheckBox& control) = 0;
};

// Check box 1000 with the caption. The owner clears bNotify around a SetCheck(1000, ...) of its
// own, so that its change is not reported back.
class VTControlCheckBox : public VTControl<VTControlCheckBoxNotifyee> {
public:
    explicit VTControlCheckBox(const char* caption);

    void InitDialog() override;
    void LayoutControls(int x, int y, int width, int height) override;
    void Command(int id, int code) override;

    bool bNotify = true;

private:
    char szCaption[kVTControlTextSize];
};
