#include "lfw/mac/LMonitorInfo.h"

#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiSystem.h"
#include "platform/ui/LView.h"

#include <algorithm>
#include <vector>

namespace {

struct PixelRect {
    double x, y, w, h;
};

PixelRect Backing(const LUiRect& r, double scale)
{
    return PixelRect { r.x * scale, r.y * scale, r.width * scale, r.height * scale };
}

} // namespace

int LMonitorInfo::GetMonitorCount()
{
    return int(LUiScreens().size());
}

void LMonitorInfo::GetMonitorRect(LView* view, LRectangle& r)
{
    r = LRectangle {};
    LUiScreen screen;
    LNativeWindow* window = view ? view->Window() : nullptr;
    if (!(window && window->Screen(screen)) && !LUiMainScreen(screen))
        return;
    PixelRect v = Backing(screen.visibleFrame, screen.scale);
    r.left = int(v.x);
    r.top = int(v.y);
    r.right = r.left + int(v.w);
    r.bottom = r.top + int(v.h);
}

void LMonitorInfo::GetMonitorRect(int monitor, LRectangle& r)
{
    r = LRectangle {};
    std::vector<LUiScreen> screens = LUiScreens();
    if (monitor == 0) {
        int w = 0, h = 0;
        GetMonitorResolution(0, w, h);
        r = LRectangle(0, 0, w, h);
    } else if (monitor >= 1 && size_t(monitor) <= screens.size()) {
        const LUiScreen& s = screens[size_t(monitor - 1)];
        PixelRect f = Backing(s.frame, s.scale);
        r = LRectangle(int(f.x), int(f.y), int(f.x) + int(f.w), int(f.y) + int(f.h));
    }
}

void LMonitorInfo::GetMonitorResolution(int monitor, int& w, int& h)
{
    std::vector<LUiScreen> screens = LUiScreens();
    if (monitor < 0 || size_t(monitor) > screens.size() || screens.empty())
        return;
    if (monitor == 0 && screens.size() > 1) {
        // Mirrored monitors share their place, so the union counts them once.
        double left = 1e300, top = 1e300, right = -1e300, bottom = -1e300;
        for (const LUiScreen& s : screens) {
            PixelRect f = Backing(s.frame, s.scale);
            left = std::min(left, f.x);
            top = std::min(top, f.y);
            right = std::max(right, f.x + f.w);
            bottom = std::max(bottom, f.y + f.h);
        }
        w = int(right - left);
        h = int(bottom - top);
        return;
    }
    const LUiScreen& s = screens[size_t(std::max(monitor - 1, 0))];
    w = int(s.frame.width * s.scale);
    h = int(s.frame.height * s.scale);
}
