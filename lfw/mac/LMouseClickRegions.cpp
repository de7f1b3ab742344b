#include "lfw/mac/LMouseClickRegions.h"

#include "lfw/mac/LGuiCursor.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LCocoaTooltipImpl.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LView.h"

#include <gtk/gtk.h>

LMouseClickRegions::LMouseClickRegions()
{
    fTip.tip = new LCocoaTooltipImpl("", false);
}

LMouseClickRegions::~LMouseClickRegions()
{
    LGuiCursor::Restore();
    while (Region* r = pRegions) {
        pRegions = r->next;
        delete r;
    }
    delete fTip.tip;
    fTip.tip = nullptr;
    MouseHandlerDestroy();
}

void LMouseClickRegions::AddMouseClickControl(int controlId, int clickCommand, int hoverCommand)
{
    LMacWindow* window = GetRegionWindow();
    if (!window || !controlId || !window->GetControlHandle(controlId))
        return;
    int x, y, w, h;
    window->GetControlPixels(controlId, x, y, w, h);
    pRegions = new Region { pRegions, controlId, x, y, w, h, clickCommand, hoverCommand };
}

size_t LMouseClickRegions::RegionCount() const
{
    size_t n = 0;
    for (Region* r = pRegions; r; r = r->next)
        ++n;
    return n;
}

void LMouseClickRegions::CurrentPosition(int& x, int& y) const
{
    LMacWindow* window = GetRegionWindow();
    if (!window || !window->IsRealWindow())
        return;
    LView* content = window->GetContentView();
    GdkEvent* e = gtk_get_current_event();
    if (!e || !content)
        return;
    double rx = 0, ry = 0;
    LUiPoint p;
    if (gdk_event_get_root_coords(e, &rx, &ry) && content->ConvertFromScreen(rx, ry, p)) {
        double scale = window->GetBackingScaleFactor();
        double top = content->Window() ? content->Window()->ToolbarHeight() : 0;
        x = int(p.x * scale);
        y = int((p.y + top) * scale);
    }
    gdk_event_free(e);
}

void LMouseClickRegions::EvLButtonDown(int x, int y)
{
    CurrentPosition(x, y);
    LMacWindow* window = GetRegionWindow();
    for (Region* r = pRegions; r && window; r = r->next) {
        if (r->Contains(x, y)) {
            window->PostCommand(r->clickCommand);
            return;
        }
    }
}

void LMouseClickRegions::EvMouseMove(int x, int y)
{
    CurrentPosition(x, y);
    LMacWindow* window = GetRegionWindow();
    bool wasOver = bOverRegion;
    bOverRegion = false;
    Region* over = nullptr;
    for (Region* r = pRegions; r && !over; r = r->next)
        if (r->Contains(x, y))
            over = r; // the region on top
    for (Region* r = pRegions; r; r = r->next)
        if (r != over && r->id == nLastHovered && window)
            window->TrackableTipHide(fTip);
    if (over) {
        LGuiCursor::SetSystem(LGuiCursor::PointingHand);
        bOverRegion = true;
        if (over->id != nLastHovered) {
            if (over->hoverCommand && window)
                window->PostCommand(over->hoverCommand);
            nLastHovered = over->id;
        }
    }
    if (wasOver && !bOverRegion) {
        LGuiCursor::Restore();
        nLastHovered = 0;
    }
}
