// A push button that reports its clicks.
#pragma once

#include "app/controls/VTControl.h"

class VTControlButton;

class VTControlButtonNotifyee {
public:
    virtual ~VTControlButtonNotifyee() = default;
    virtual void EvButtonPressed(VTControlButton& control) = 0;
};

// Push button 1000 with the caption, a row high.
class VTControlButton : public VTControl<VTControlButtonNotifyee> {
public:
    explicit VTControlButton(const char* caption);

    void InitDialog() override;
    void LayoutControls(int x, int y, int width, int height) override;
    void Command(int id, int code) override;

    const char* GetCaption() const { return szCaption; }

private:
    char szCaption[kVTControlTextSize];
};
