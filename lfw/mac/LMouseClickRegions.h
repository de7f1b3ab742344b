// A mouse handler for windows with clickable controls: each region is a control's rectangle that
// posts a click command when clicked and a hover command when the mouse enters it, with the
// pointing-hand cursor over it.
#pragma once

#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/LMouseHandler.h"

class LMouseClickRegions : public LMouseHandler {
public:
    LMouseClickRegions();
    ~LMouseClickRegions() override;

    // The window whose controls are the regions (the handler's window when none is set).
    void SetRegionWindow(LMacWindow* window) { pRegionWindow = window; }
    LMacWindow* GetRegionWindow() const { return pRegionWindow ? pRegionWindow : pWindow; }

    // Adds the control's rectangle as it is now (GetControlPixels); a later region lies on top.
    // An id that names no control adds nothing. hoverCommand 0: none.
    void AddMouseClickControl(int controlId, int clickCommand, int hoverCommand);
    size_t RegionCount() const;
    int LastHovered() const { return nLastHovered; }
    bool IsOverRegion() const { return bOverRegion; }

    void EvLButtonDown(int x, int y) override;
    void EvMouseMove(int x, int y) override;

    // The tip the owner shows for the region under the mouse (TrackableTipShow); it hides when
    // the mouse leaves that region.
    TrackableTip& GetTip() { return fTip; }

private:
    struct Region {
        Region* next;
        int id;
        int x, y, width, height;
        int clickCommand;
        int hoverCommand;
        bool Contains(int px, int py) const
        {
            return px >= x && py >= y && px < x + width && py < y + height;
        }
    };
    // The current event's position in the region window, when it is a real window; else (x, y).
    void CurrentPosition(int& x, int& y) const;

    Region* pRegions = nullptr;
    LMacWindow* pRegionWindow = nullptr;
    bool bOverRegion = false;
    int nLastHovered = 0;
    TrackableTip fTip;
};
