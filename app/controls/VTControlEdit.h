// A text edit that reports what the user types after a pause of 250 ms.
#pragma once

#include "app/controls/VTControl.h"
#include "lfw/ios/LTimerHandler.h"

class VTControlEdit;

class VTControlEditNotifyee {
public:
    virtual ~VTControlEditNotifyee() = default;
    virtual void EvTextChanged(VTControlEdit& control) = 0;
};

// Edit 1000 (tooltip "Redigera text"); every text change re-arms timer 1, whose expiry reports.
class VTControlEdit : public VTControl<VTControlEditNotifyee>, public LTimerHandler {
public:
    VTControlEdit() = default;
    ~VTControlEdit() override;

    void InitDialog() override;
    void DestroyDialog() override;
    void LayoutControls(int x, int y, int width, int height) override;
    void Command(int id, int code) override;
    void EvTimer(int id) override;

    static constexpr unsigned kReportDelayMs = 250;
};
