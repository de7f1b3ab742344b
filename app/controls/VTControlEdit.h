// A text edit that reports what the user types after a pause of 250 ms, or at once when the
// edit loses the keyboard or its owner asks for what waits (before the owner reads the document
// the text is written into).
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

    // Drops the report that waits for the pause; answers whether one waited (the owner then
    // reads the text itself).
    bool TakePendingReport();
    // Makes the report that waits for the pause now (nothing when none waits).
    void ReportPendingChange();

    static constexpr unsigned kReportDelayMs = 250;
};
