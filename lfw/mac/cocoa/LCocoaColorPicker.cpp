#include "lfw/mac/cocoa/LCocoaColorPicker.h"

#include "lfw/mac/cocoa/LCocoaWindow.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiFilePanel.h"
#include "platform/ui/LView.h"

#include <algorithm>
#include <vector>

bool LCocoaColorPicker::Open(LView* parent, LGuiColor& colour)
{
    parentView = parent;
    double rgb[3]
        = { (colour.red >> 8) / 255.0, (colour.green >> 8) / 255.0, (colour.blue >> 8) / 255.0 };
    std::vector<uint32_t> recent;
    if (recentColorCount >= 1 && recentColorCount <= 16)
        for (uint64_t i = 0; i < recentColorCount; i++)
            recent.push_back(uint32_t(recentColors[i].red >> 8) << 16
                | uint32_t(recentColors[i].green >> 8) << 8 | uint32_t(recentColors[i].blue >> 8));
    LNativeWindow* window = parent ? parent->Window() : nullptr;
    if (window) {
        // A hidden parent comes forward before the chooser is put above it.
        LCocoaWindow* owner = LCocoaWindow::GetThisProperty(window->ContentView());
        if (!window->IsVisible() || (owner && !owner->IsWindowVisible()))
            window->MakeKeyAndOrderFront();
    }
    bool chosen = LUiRunColorPanel(window, "Färger", rgb, recent);
    if (chosen) {
        auto channel = [](double v) { return uint16_t(std::clamp(v, 0.0, 1.0) * 65535.0); };
        colour.red = channel(rgb[0]);
        colour.green = channel(rgb[1]);
        colour.blue = channel(rgb[2]);
    }
    parentView = nullptr;
    return chosen;
}
