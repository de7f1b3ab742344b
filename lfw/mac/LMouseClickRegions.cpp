#include "lfw/mac/LMouseClickRegions.h"

#include "lfw/mac/LGuiCursor.h"
#include "lfw/mac/LMacWindow.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LView.h"

#include <gtk/gtk.h>

namespace {

LView* FindControl(LView* view, int id)
{
    for (LView* sub : view->Subviews()) {
        if (sub->Tag() == id)
            return sub;
        if (LView* found = FindControl(sub, id))
            return found;
    }
    return nullptr;
}

} // namespace

LMouseClickRegions::~LMouseClickRegions()
{
    LGuiCursor::Restore();
    while (Region* r = pRegions) {
        pRegions = r->next;
        delete r;
    }
    MouseHandlerDestroy();
}

bool LMouseClickRegions::ControlRectPixels(int controlId, int& x, int& y, int& w, int& h) const
{
    LMacWindow* window = GetRegionWindow();
    LView* content = window ? window->GetContentView() : nullptr;
    LView* control = content && controlId ? FindControl(content, controlId) : nullptr;
    if (!control)
        return false;
    double scale = window->GetBackingScaleFactor();
    LUiPoint origin = control->ConvertToRoot(LUiPoint {});
    double top = 0;
    if (LNativeWindow* native = content->Window(); native && window->IsRealWindow())
        top = native->ToolbarHeight();
    const LUiRect& f = control->Frame();
    x = int(origin.x * scale + 0.5);
    y = int((origin.y + top) * scale + 0.5);
    w = int(f.width * scale + 0.5);
    h = int(f.height * scale + 0.5);
    return true;
}

void LMouseClickRegions::AddMouseClickControl(int controlId, int clickCommand, int hoverCommand)
{
    int x, y, w, h;
    if (!ControlRectPixels(controlId, x, y, w, h))
        return;
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
    for (Region* r = pRegions; r; r = r->next) {
        if (r->Contains(x, y)) {
            if (!bOverRegion)
                LGuiCursor::SetSystem(LGuiCursor::PointingHand);
            bOverRegion = true;
            if (r->id != nLastHovered) {
                if (r->hoverCommand && window)
                    window->PostCommand(r->hoverCommand);
                nLastHovered = r->id;
            }
            break; // the region on top
        }
    }
    if (wasOver && !bOverRegion) {
        LGuiCursor::Restore();
        nLastHovered = 0;
    }
}
