// Window geometry: sizes and positions in backing pixels, conversions between pixels and the
// layer's points, the window's size and place in the user settings.
#include "lfw/mac/LMacWindow.h"

#include "lfw/gen/LString.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/cocoa/LCocoaControlImpl.h"
#include "lfw/mac/cocoa/LCocoaTooltipImpl.h"
#include "lfw/mac/cocoa/LMacWindowManager.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiSystem.h"
#include "platform/ui/LView.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

int R(double v)
{
    return LMacWindow::RoundPixels(v);
}

constexpr int kStatusBarTag = 800;

// The screen of the native window, else the main screen.
bool ScreenOf(LNativeWindow* window, LUiScreen& screen)
{
    return (window && window->Screen(screen)) || LUiMainScreen(screen);
}

// The top-left corner of the view on the screen, in points.
bool ViewScreenOrigin(LView* view, double& sx, double& sy)
{
    LUiRect r;
    if (!LCocoaViewScreenRect(view, r))
        return false;
    sx = r.x;
    sy = r.y;
    return true;
}

// A stored integer, limited to the int range; the default when nothing (or no number) is
// stored.
int SettingInt(const char* section, const char* key, int def)
{
    LStringLongTemplate<char> value;
    if (!_LUserSettingGetString(section, key, "", value) || !value.c_str()[0])
        return def;
    char* end = nullptr;
    errno = 0;
    long long v = strtoll(value.c_str(), &end, 10);
    if (end == value.c_str())
        return def;
    return int(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

bool ViewInSuperview(LView* view)
{
    return view && (view->Superview() || view->Window());
}

} // namespace

// --- fixed heights -------------------------------------------------------------------------------

int LMacWindow::GetToolbarHeightPixels(LView* view)
{
    LNativeWindow* window = view ? view->Window() : nullptr;
    if (!window)
        return 0;
    return int(window->ToolbarHeight() * GetBackingScaleFactor(view));
}

int LMacWindow::GetStatusbarHeightPixels(LView* view)
{
    if (!view)
        return 0;
    for (LView* sub : view->Subviews())
        if (sub->Tag() == kStatusBarTag)
            return sub->IsHidden() ? 0 : int(GetBackingScaleFactor(view) * 30);
    return 0;
}

int LMacWindow::GetTitlebarHeightPixels(LView* contentView)
{
    if (!contentView)
        return 0;
    auto* owner = dynamic_cast<LMacWindow*>(GetThisProperty(contentView));
    if (!owner || !owner->IsRealWindow())
        return 0;
    LNativeWindow* window = contentView->Window();
    GtkWidget* top = window && window->Gtk() ? GTK_WIDGET(window->Gtk()) : nullptr;
    GdkWindow* gw = top && gtk_widget_get_realized(top) ? gtk_widget_get_window(top) : nullptr;
    if (!gw)
        return 0;
    // What the window manager puts around the window, less the window itself.
    GdkRectangle extents;
    gdk_window_get_frame_extents(gw, &extents);
    double s = GetBackingScaleFactor(contentView);
    return std::max(0, R(extents.height * s) - R(gdk_window_get_height(gw) * s));
}

// --- sizes and positions -----------------------------------------------------------------------

void LMacWindow::GetClientSize(int& w, int& h)
{
    w = h = 0;
    LView* content = GetContentView();
    if (!content)
        return;
    double s = GetBackingScaleFactor();
    w = R(content->Frame().width * s);
    h = R(content->Frame().height * s);
    if (fRealWindow)
        h += GetToolbarHeightPixels(content);
}

void LMacWindow::GetClientSizeMinusToolbarMinusStatusBar(int& w, int& h)
{
    w = h = 0;
    LView* content = GetContentView();
    if (!content)
        return;
    double s = GetBackingScaleFactor();
    w = R(content->Frame().width * s);
    h = R(content->Frame().height * s) - GetStatusbarHeightPixels(content);
}

void LMacWindow::GetWindowSize(int& w, int& h)
{
    w = h = 0;
    LView* content = GetContentView();
    if (!content)
        return;
    double s = GetBackingScaleFactor();
    if (!fRealWindow && fHostScrollView) {
        if (fEmbeddedInHost && fHostView) {
            w = R(fHostView->Frame().width * s);
            h = R(fHostView->Frame().height * s);
        } else {
            w = int(content->Bounds().width * s);
            h = int(content->Bounds().height * s);
        }
        return;
    }
    if (!fRealWindow || !fWindow) {
        w = R(content->Frame().width * s);
        h = R(content->Frame().height * s);
        return;
    }
    LUiRect f = fWindow->Frame();
    w = R(f.width * s);
    h = R(f.height * s) + GetTitlebarHeightPixels(content);
}

void LMacWindow::GetWindowPosition(int& x, int& y)
{
    x = y = 0;
    LView* content = GetContentView();
    if (!content)
        return;
    if (!fRealWindow || !fWindow) {
        _GetControlAbsoluteScreenPositionPixels(content, x, y);
        return;
    }
    double s = GetBackingScaleFactor();
    LUiRect f = fWindow->Frame();
    x = R(f.x * s);
    y = R(f.y * s);
}

void LMacWindow::SizeDialogPixelsMac(int w, int h, bool)
{
    LView* content = GetContentView();
    if (!content)
        return;
    if (IsWindowInFullScreen() && fManager)
        fManager->toggleFullScreen();
    w = std::max(w, 1);
    h = std::max(h, 1);
    double s = GetBackingScaleFactor();
    if (!fRealWindow || !fWindow) {
        LUiRect f = content->Frame();
        content->SetFrame(LUiRect { f.x, f.y, w / s, h / s });
        return;
    }
    // No larger than the work area holds: what does not show scrolls.
    int shownW = w, shownH = h;
    LimitToWorkArea(shownW, shownH);
    if (fScrollsToFit || shownW < w || shownH < h)
        ScrollWhatDoesNotFit(w, h, shownW, shownH);
    w = shownW;
    h = shownH;
    // The client area holds the toolbar; the content view gets the rest. GTK keeps the top
    // left corner where it is.
    double contentHeight = std::max(h / s - fWindow->ToolbarHeight(), 1 / s);
    if (fManager && fManager->isWindowTogglingFullScreen()) {
        LUiRect f = fWindow->Frame();
        fManager->setWindowFrameOnExitingFullScreen(
            LUiRect { f.x, f.y, w / s, contentHeight + fWindow->TopSlotsHeight() });
        return;
    }
    fWindow->SetContentSize(w / s, contentHeight);
}

void LMacWindow::MoveWindowPixels(int x, int y)
{
    if (!fRealWindow || !fWindow || !GetContentView())
        return;
    LUiRect r = ConvertToCocoaRectWindow(x, y, 1, 1, true);
    LUiRect f = fWindow->Frame();
    fWindow->SetFrame(LUiRect { r.x, r.y, f.width, f.height });
}

LUiRect LMacWindow::ConvertToCocoaRectWindow(int x, int y, int w, int h, bool)
{
    // Screen positions have their origin at the top left here: nothing to flip.
    LUiScreen screen;
    if (!ScreenOf(fWindow, screen))
        return LUiRect {};
    double s = GetBackingScaleFactor();
    return LUiRect { x / s, y / s, w / s, h / s };
}

void LMacWindow::GetWindowMinSizePixels(int& w, int& h)
{
    w = fMinWidthPixels;
    h = fMinHeightPixels;
}

void LMacWindow::MinimumSizeSet(int w, int h)
{
    fMinWidthPixels = std::max(w, 0);
    fMinHeightPixels = std::max(h, 0);
    if (!fWindow || !fWindow->Gtk())
        return;
    // The toolbar the window gets later is added to the minimum by the native window.
    double s = GetBackingScaleFactor();
    fWindow->SetContentMinSize(fMinWidthPixels / s, fMinHeightPixels / s);
}

void LMacWindow::EvBackingScaleChanged()
{
    if (!fRealWindow || !fWindow || !fWindow->Gtk())
        return;
    const LUiSize min = fWindow->ContentMinSize();
    const double s = GetBackingScaleFactor();
    fMinWidthPixels = R(min.width * s);
    fMinHeightPixels = R(min.height * s);
}

void LMacWindow::GetLargestClientSizePixels(int& w, int& h)
{
    w = h = 0;
    if (!fRealWindow || !fWindow || !GetContentView())
        return;
    const LUiSize largest = fWindow->LargestContentSize();
    const double s = GetBackingScaleFactor();
    w = int(largest.width * s);
    h = int(largest.height * s) + GetToolbarHeightPixels(GetContentView());
}

double LMacWindow::TextScale()
{
    return LUiTextScale();
}

void LMacWindow::ScaleTemplateControls()
{
    LView* content = GetContentView();
    if (!content)
        return;
    fTemplateFrames.clear();
    for (LView* control : content->Subviews())
        fTemplateFrames.emplace_back(control, control->Frame());
    fFontsTextScale = TextScale();
    PlaceTemplateControls(fFontsTextScale);
}

void LMacWindow::PlaceTemplateControls(double t)
{
    if (t <= 0)
        return;
    // Edges on whole device pixels, as the template's own rectangles are.
    const double s = GetBackingScaleFactor();
    auto a = [s](double v) { return std::round(v * s) / s; };
    for (const auto& [control, f] : fTemplateFrames) {
        const double x = a(f.x * t), y = a(f.y * t);
        control->SetFrame(
            LUiRect { x, y, a((f.x + f.width) * t) - x, a((f.y + f.height) * t) - y });
    }
}

void LMacWindow::EvTextSizeChanged()
{
    const double t = TextScale();
    if (!fTemplateFrames.empty())
        PlaceTemplateControls(t);
    // A control's own font was sized from the text size of its time (a smaller or larger one of
    // the system font): it follows the new one.
    const double ratio = fFontsTextScale > 0 ? t / fFontsTextScale : 1;
    fFontsTextScale = t;
    LView* content = GetContentView();
    if (!content)
        return;
    std::vector<LUiRef<LView>> views { content };
    for (size_t i = 0; i < views.size(); ++i) {
        const std::vector<LView*> children = views[i]->Subviews();
        for (LView* child : children)
            // A pane's controls are its own: it is told of the change itself.
            if (!GetThisProperty(child))
                views.emplace_back(child);
        if (auto* control = dynamic_cast<LCocoaControlImpl*>(views[i].Get()))
            control->textSizeChanged(ratio);
    }
}

// --- conversions ---------------------------------------------------------------------------------

void LMacWindow::ConvertFromCocoaPoint(LView* view, LUiPoint p, int& x, int& y)
{
    double s = GetBackingScaleFactor(view);
    x = R(p.x * s);
    y = R(p.y * s);
}

LUiPoint LMacWindow::ConvertToCocoaPointScreen(int x, int y)
{
    LView* content = GetContentView();
    double s = GetBackingScaleFactor();
    double ox = 0, oy = 0;
    if (!ViewScreenOrigin(content, ox, oy))
        return LUiPoint { x / s, y / s };
    // Client positions of a real window count from the top of its toolbar.
    if (fRealWindow && fWindow)
        oy -= fWindow->ToolbarHeight();
    return LUiPoint { ox + x / s, oy + y / s };
}

void LMacWindow::ClientToScreen(LView* view, LPoint* p)
{
    if (!view || !p)
        return;
    LMacWindow* owner = GetControlParent(view);
    if (!owner)
        owner = dynamic_cast<LMacWindow*>(GetThisProperty(view));
    if (!owner || !ViewInSuperview(owner->GetContentView()) || owner->IsClosed())
        return;
    double s = GetBackingScaleFactor(view);
    double ox = 0, oy = 0;
    if (!ViewScreenOrigin(view, ox, oy))
        return;
    p->x = R((ox + p->x / s) * s);
    p->y = R((oy + p->y / s) * s);
}

void LMacWindow::_GetControlAbsoluteScreenPositionPixels(LView* control, int& x, int& y)
{
    x = y = 0;
    double ox = 0, oy = 0;
    if (!control || !ViewScreenOrigin(control, ox, oy))
        return;
    double s = GetBackingScaleFactor(control);
    x = R(ox * s);
    y = R(oy * s);
}

// --- size persistence ----------------------------------------------------------------------------

bool LMacWindow::StoredScreen(const char* key, LUiScreen& screen)
{
    char stored[260] = {};
    if (!key || !_LUserSettingGetString(key, "X", "", stored) || !stored[0]
        || !_LUserSettingGetString(key, "Y", "", stored) || !stored[0])
        return false;
    // The monitor that holds the point just inside the stored corner (backing pixels), else the
    // nearest one.
    const double s = GetBackingScaleFactor();
    return LUiScreenAtPoint(
        SettingInt(key, "X", 0) / s + 1, SettingInt(key, "Y", 0) / s + 1, screen);
}

void LMacWindow::WindowSizeSettingsStore(const char* key)
{
    LView* content = GetContentView();
    if (!key || !ViewInSuperview(content) || fClosed)
        return;
    bool zoomed = fWindow && (fWindow->StyleMask() & kLUiWindowResizable) && fWindow->IsZoomed();
    int x = 0, y = 0, w = 0, h = 0;
    GetWindowPosition(x, y);
    GetClientSizeMinusToolbarMinusStatusBar(w, h);
    // One write for the five: each write of the settings file waits for the disk.
    char text[4][32];
    const int numbers[4] = { x, y, w, h };
    for (int i = 0; i < 4; ++i)
        snprintf(text[i], sizeof text[i], "%d", numbers[i]);
    const char* const names[] = { "Maximized", "X", "Y", "Width", "Height" };
    const char* const values[] = { zoomed ? "1" : "0", text[0], text[1], text[2], text[3] };
    LUserSettingSetStrings(key, names, values, 5);
}

void LMacWindow::WindowSizeSettingsRestore(const char* key, int defaultWidth, int defaultHeight,
    int minWidth, int minHeight, bool defaultMaximized)
{
    LView* content = GetContentView();
    if (!key || !ViewInSuperview(content) || fClosed)
        return;
    // The visible part in backing pixels of the monitor the window was on, while that monitor
    // is there (else of the window's own).
    LUiScreen screen;
    int vx = 0, vy = 0, vw = 0, vh = 0;
    if (StoredScreen(key, screen) || ScreenOf(fRealWindow ? fWindow : content->Window(), screen)) {
        double s = GetBackingScaleFactor();
        vx = int(screen.visibleFrame.x * s);
        vy = int(screen.visibleFrame.y * s);
        vw = int(screen.visibleFrame.width * s);
        vh = int(screen.visibleFrame.height * s);
    }
    auto limit = [](int v, int low, int high) { return v < low ? low : (v > high ? high : v); };
    int width = limit(SettingInt(key, "Width", defaultWidth), std::min(minWidth, vw), vw);
    int height = limit(SettingInt(key, "Height", defaultHeight), std::min(minHeight, vh), vh);
    int total = std::min(
        GetToolbarHeightPixels(content) + GetStatusbarHeightPixels(content) + height, vh);
    SizeDialogPixelsMac(width, total, false);

    char maximized[260] = {};
    _LUserSettingGetString(key, "Maximized", "", maximized);
    bool zoom = maximized[0] ? maximized[0] != '0' : defaultMaximized;
    // Kept inside the visible area, the title bar included: a window is never restored above
    // the work area's top or below its bottom. A maximised window is placed there first, so that
    // it is maximised on that monitor.
    int x = SettingInt(key, "X", 200);
    int y = SettingInt(key, "Y", 200);
    if (zoom) {
        // Moved only when it stands on another monitor than the stored one.
        LUiScreen now;
        if (vw > 0 && StoredScreen(key, screen)
            && !(ScreenOf(fRealWindow ? fWindow : content->Window(), now)
                && now.frame.x == screen.frame.x && now.frame.y == screen.frame.y))
            MoveWindowPixels(vx, vy);
        if (fWindow && !fWindow->IsZoomed())
            fWindow->Zoom();
        return;
    }
    int frameHeight = total + GetTitlebarHeightPixels(content);
    int right = int(std::max<long long>(vx, (long long)vx + vw - width));
    int bottom = int(std::max<long long>(vy, (long long)vy + vh - frameHeight));
    x = x <= vx ? vx : std::min(x, right);
    y = y <= vy ? vy : std::min(y, bottom);
    MoveWindowPixels(x, y);
    if (fInitialised)
        ShowWindow(true);
}
