// A labelled whole number.
// Typing reports after a pause, through a one-shot timer that each change re-arms; leaving the
// field or pressing Return in it reports at once, and so does the owner's asking for what waits;
// a value set by the program, or a text that is no number, reports nothing.
#pragma once

#include "app/controls/VTControl.h"
#include "lfw/gui/LSmallControls.h"
#include "lfw/ios/LTimerHandler.h"

class VTControlNumericalInput;

class VTControlNumericalInputNotifyee {
public:
    virtual ~VTControlNumericalInputNotifyee() = default;
    virtual void EvNumericalInputChanged(VTControlNumericalInput& control) = 0;
};

// Static 1000 with the label; up-down input 1001 (text field 1002, tooltip there) over min..max
// in steps of 1. The owner reads and writes the value with UDGetInt and UDSetInt on 1001.
class VTControlNumericalInput : public VTControl<VTControlNumericalInputNotifyee>,
                                public LTimerHandler {
public:
    VTControlNumericalInput(const char* label, const char* tooltip, int min, int max);
    ~VTControlNumericalInput() override;

    void InitDialog() override;
    void DestroyDialog() override;
    void LayoutControls(int x, int y, int width, int height) override;
    void Command(int id, int code) override;
    void EvTimer(int id) override;

    // Drops the report that waits for the pause; answers whether one waited for a number (the
    // owner then reads the value itself).
    bool TakePendingReport();

    static constexpr unsigned kReportDelayMs = 250;

private:
    char szLabel[kVTControlTextSize];
    char szToolTip[kVTControlTextSize];
    int iMin;
    int iMax;
    // Editing just ended: the field's own rewrite of its text follows (see the source).
    bool bEditEnding = false;
    static constexpr int kEditEndedTimer = 9;
};
