// A small row of icon buttons in the window's caption area (a header bar at the start of the
// title bar): each shows a 16-point icon, lights up under the mouse, shows a pressed state,
// sends its command to the window when released, and names its shortcut in its tooltip.
#pragma once

#include "lfw/gen/LMap.h"
#include "lfw/gui/LPaintControl.h"
#include "lfw/mac/LGuiImage.h"
#include "lfw/mac/cocoa/LCocoaPaintControlImpl.h"

#include <memory>
#include <string>

class LCocoaTooltipImpl;
class LCaptionToolbar;

enum : int { kLCaptionToolbarControlId = 900 };

// The host view of the caption toolbar.
class LCaptionToolbarCocoaView : public LCocoaPaintControlImpl {
public:
    LCaptionToolbarCocoaView(const LUiRect& frame, LCocoaWindow* window)
        : LCocoaPaintControlImpl(frame, kLCaptionToolbarControlId, window)
    {
    }
};

class LCaptionToolbarButton : public LPaintSurface {
public:
    LCaptionToolbarButton(LWindow& window, LCaptionToolbar& owner, int command, double scale);

    void Paint(LPaintContext& context, int x, int y);
    void PaintDown(LPaintContext& context);
    void PaintHot(LPaintContext& context);
    bool Contains(int px, int py) const
    {
        return x <= px && px <= x + width && y <= py && py <= y + height;
    }

    LWindow* pWindow;
    int32_t command;
    bool hot = false;
    bool pressed = false;
    bool enabled = true;
    LGuiBitmapEnabledDisabled icon;
    int32_t x = 0, y = 0, width = 0, height = 0;
    std::string tooltip; // copied: the caller's text may not outlive the button
    LCaptionToolbar* pOwner;
    LCaptionToolbarButton* next = nullptr;

private:
    void PaintState(LPaintContext& context, int r, int g, int b);
};

class LCaptionToolbar : public LPaintControl {
public:
    LCaptionToolbar();
    ~LCaptionToolbar() override;

    void Init(LWindow& window, const LKeyToCommandMap* keys, size_t keyCount);
    void AddButton(int bitmapResourceId, int commandId, const char* tooltip);
    void EnableButton(int commandId, bool enabled);
    void UpdateToolTip(LCaptionToolbarButton* button);
    void UpdateToolTip(const char* text, int commandId, const LRectangle& anchor);

    void Paint(LPaintContext& context) override { PaintCaptionToolbar(context); }
    void PaintCaptionToolbar(LPaintContext& context);
    void EvMouseMove(int x, int y) override;
    void EvLButtonDown(int x, int y) override;
    void EvLButtonUp(int x, int y) override;
    void EvMouseOut() override;

    LCaptionToolbarButton* FirstButton() const { return pButtons; }
    LCaptionToolbarButton* ButtonAt(int x, int y) const;
    LCaptionToolbarButton* GetButton(int command) const;
    LCaptionToolbarButton* GetTooltipButton() const { return pTooltipButton; }
    LCocoaTooltipImpl* GetTooltip() const { return fTooltip.get(); }
    LCaptionToolbarCocoaView* GetCaptionHost() const { return pHost; }

private:
    using LPaintControl::Init;
    const LKeyToCommandMap* pKeys = nullptr;
    size_t iKeyCount = 0;
    LWindow* pWindow = nullptr;
    LCaptionToolbarButton* pButtons = nullptr;
    LMap<int, LCaptionToolbarButton*> fButtonMap;
    LCaptionToolbarButton* pTooltipButton = nullptr;
    LCaptionToolbarCocoaView* pHost = nullptr;
    std::unique_ptr<LCocoaTooltipImpl> fTooltip;
    int iButtonCount = 0;
};
