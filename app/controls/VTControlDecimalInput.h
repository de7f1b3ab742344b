// A labelled length: the field shows millimetres or inches, the interface speaks millimetres.
// Typing reports after a pause, through a one-shot timer that each change re-arms; leaving the
// field or pressing Return in it reports at once; a value set by the program, or a text that is
// no number, reports nothing.
#pragma once

#include "app/controls/VTControl.h"
#include "lfw/gui/LSmallControls.h"
#include "lfw/ios/LTimerHandler.h"

class VTControlDecimalInput;

class VTControlDecimalInputNotifyee {
public:
    virtual ~VTControlDecimalInputNotifyee() = default;
    virtual void EvDecimalInputChanged(VTControlDecimalInput& control) = 0;
};

// Static 1000 with the label; up-down input 1001 (text field 1002, tooltip there) with two
// decimals in the shown unit. Values cross the interface in millimetres.
class VTControlDecimalInput : public VTControl<VTControlDecimalInputNotifyee>,
                              public LTimerHandler {
public:
    // The range is taken as it is, in the shown unit.
    VTControlDecimalInput(const char* label, const char* tooltip, float min, float max);
    ~VTControlDecimalInput() override;

    void InitDialog() override;
    void DestroyDialog() override;
    void LayoutControls(int x, int y, int width, int height) override;
    void Command(int id, int code) override;
    void EvTimer(int id) override;

    // The field's value within its range, in millimetres.
    float GetValue() const;
    // Shows the value (millimetres); a pending report is dropped.
    void SetValue(float millimetres);
    // The range in millimetres; a pending report is dropped.
    void SetMinMax(float min, float max);

    static constexpr unsigned kReportDelayMs = 500;

private:
    char szLabel[kVTControlTextSize];
    char szToolTip[kVTControlTextSize];
    float fMin;
    float fMax;
    LDecimalInputControl fInput;
    // Editing just ended: the field's own rewrite of its text follows (see the source).
    bool bEditEnding = false;
    static constexpr int kEditEndedTimer = 9;
};
