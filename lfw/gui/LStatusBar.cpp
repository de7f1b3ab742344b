#include "lfw/gui/LStatusBar.h"

#include "lfw/gen/LString.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/LMonitorInfo.h"
#include "lfw/mac/cocoa/LMacWindowManager.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LView.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr float kUnbounded = 2147483648.0f;

void Fill(cairo_t* cr, int r, int g, int b, double x, double y, double w, double h)
{
    if (w <= 0 || h <= 0)
        return;
    cairo_save(cr);
    cairo_set_source_rgb(cr, r / 255.0, g / 255.0, b / 255.0);
    cairo_rectangle(cr, x, y, w, h);
    cairo_fill(cr);
    cairo_restore(cr);
}

void HLine(cairo_t* cr, const LGuiColor& c, double x1, double x2, double y, double width = 1)
{
    cairo_save(cr);
    cairo_set_source_rgb(cr, c.GetRedF(), c.GetGreenF(), c.GetBlueF());
    cairo_set_line_width(cr, width);
    cairo_move_to(cr, x1, y + 0.5);
    cairo_line_to(cr, x2, y + 0.5);
    cairo_stroke(cr);
    cairo_restore(cr);
}

// The system colours this desktop stands in for.
const LGuiColor kWindowFrame = LGuiColor::FromRGB8(170, 170, 170);
const LGuiColor kLightGray = LGuiColor::FromRGB8(170, 170, 170);

// The window whose content view this is (or that holds the view).
LWindow* WindowOf(LView* contentView)
{
    if (auto* w = dynamic_cast<LMacWindow*>(LCocoaWindow::GetThisProperty(contentView)))
        return w;
    return LMacWindow::GetControlParent(contentView);
}

} // namespace

// --- status bar
// ------------------------------------------------------------------------------------

void LStatusBarPainter::PainterInit(LWindow& window)
{
    Init(window, kLStatusBarControlId);
    fFont.CreateFromDialog(nullptr, 0, false, false);
    fPointSize = fFont.GetSizef();
}

LStatusBar::LStatusBar()
    : fPainter(*this)
{
    fPainter.bDimWhenDisabled = true;
}

LStatusBar::~LStatusBar()
{
    fPainter.DestroyPaintControl();
}

void LStatusBar::StatusBarInit(LView* contentView, int)
{
    LWindow* window = WindowOf(contentView);
    if (!window)
        return;
    if (!window->GetControlHandle(kLStatusBarControlId))
        window->AddPaintControl(kLStatusBarControlId);
    fPainter.PainterInit(*window);
    pContentView = contentView;
    const int rest[] = { -1 };
    StatusBarSetParts(1, rest);
    int width = 0, height = 0;
    window->GetClientSize(width, height);
    StatusBarLayout(contentView, width, height);
}

void LStatusBar::StatusBarSetParts(int count, const int* rightEdges)
{
    if (!fPainter.IsBound() || !pContentView || !fPainter.GetParent())
        return;
    count = std::clamp(count, 0, kMaxParts);
    const double s = fPainter.GetBackingScale();
    int total = int(pContentView->Frame().width * s);
    int left = 0;
    for (int i = 0; i < count; ++i) {
        const int edge = rightEdges ? rightEdges[i] : -1;
        // A right edge left of the one before gives an empty part, not a negative one.
        const int width = edge == -1 ? std::max(0, total) : std::max(0, edge - left);
        fParts[i].width = width;
        total -= width;
        left += width;
    }
    iPartCount = count;
    fPainter.Update();
}

void LStatusBar::StatusBarSetText(const char* text, int part)
{
    if (!text || part < 0 || part >= kMaxParts || !fPainter.IsBound())
        return;
    utf8strlcpy(fParts[part].text, text, sizeof fParts[part].text);
    if (iPartCount < part + 1)
        iPartCount = part + 1;
    fPainter.Update();
}

void LStatusBar::StatusBarSetTip(int part, const char* text)
{
    if (part < 0 || part >= kMaxParts)
        return;
    utf8strlcpy(fParts[part].tooltip, text ? text : "", sizeof fParts[part].tooltip);
}

void LStatusBar::StatusBarSetIcon(int part, int resourceId)
{
    if (part < 0 || part >= kMaxParts)
        return;
    fParts[part].image.Release();
    if (resourceId > 0) {
        LGuiJPG image;
        if (LGuiBitmapLoadFromBitmapOrIcon(image, resourceId, nullptr))
            fParts[part].image = image;
    }
    fPainter.Update();
}

void LStatusBar::StatusBarSetCommand(int part, int command)
{
    if (part >= 0 && part < kMaxParts)
        fParts[part].command = command;
}

void LStatusBar::StatusBarLayout(LView* contentView, int& width, int& height)
{
    LWindow* window = WindowOf(contentView);
    if (!window)
        return;
    LView* bar = window->GetControlHandle(kLStatusBarControlId);
    if (!bar)
        return;
    const int barHeight = bar->IsHidden() ? 0 : int(30 * window->GetBackingScaleFactor());
    window->MoveControlPixels(kLStatusBarControlId, 0, height - barHeight, width, barHeight);
    height -= barHeight;
}

int LStatusBar::GetPartUnderPoint(int x) const
{
    int right = 0;
    for (int i = 0; i < iPartCount; ++i) {
        right += fParts[i].width;
        if (right > x)
            return i;
    }
    return -1;
}

const char* LStatusBar::GetCurrentTip() const
{
    return bTooltipSet && iPartUnderMouse >= 0 ? fParts[iPartUnderMouse].tooltip : "";
}

void LStatusBar::EvStatusBarMouseMove(int x)
{
    const int part = GetPartUnderPoint(x);
    LView* host = fPainter.GetHostView();
    if (part >= 0 && fParts[part].tooltip[0]) {
        iPartUnderMouse = part;
        if (host)
            host->SetToolTipText(fParts[part].tooltip);
        bTooltipSet = true;
    } else if (part < 0 && bTooltipSet) {
        if (host)
            host->SetToolTipText(nullptr);
        bTooltipSet = false;
        iPartUnderMouse = -1;
    }
}

void LStatusBar::EvStatusBarMouseOut()
{
    if (bTooltipSet) {
        if (LView* host = fPainter.GetHostView())
            host->SetToolTipText(nullptr);
        bTooltipSet = false;
        iPartUnderMouse = -1;
    }
}

void LStatusBar::EvStatusBarLButtonUp(int x)
{
    const int part = GetPartUnderPoint(x);
    if (part >= 0 && fParts[part].command != -1 && fPainter.GetParent())
        fPainter.GetParent()->Command(fParts[part].command, 0);
}

void LStatusBarPainter::EvMouseMove(int x, int)
{
    pOwner->EvStatusBarMouseMove(x);
}

void LStatusBarPainter::EvMouseOut()
{
    pOwner->EvStatusBarMouseOut();
}

void LStatusBarPainter::EvLButtonUp(int x, int)
{
    pOwner->EvStatusBarLButtonUp(x);
}

void LStatusBarPainter::Paint(LPaintContext& context)
{
    cairo_t* cr = context.GetPlatformContext();
    LWindow* window = GetParent();
    if (!cr || !context.IsDrawable() || !window)
        return;
    double ux = 0, uy = 0, uw = 0, uh = 0;
    context.GetClientRect(ux, uy, uw, uh);
    const bool enabled = window->IsWindowEnabled();
    if (enabled && ux != 0)
        Update(); // parts depend on each other's widths: paint the whole bar next time
    LView* host = GetHostView();
    if (!host || (!host->Superview() && !host->Window()) || host->IsHiddenOrHasHiddenAncestor())
        return;
    Fill(cr, 200, 200, 200, ux, uy, uw, uh);
    if (uy == 0)
        HLine(cr, enabled ? kWindowFrame : kLightGray, ux, ux + uw, 0);

    const double s = GetBackingScale();
    const float cx = window->CharWidthPixels(), cy = window->CharHeightPixels();
    const int textTop = int(cy * 0.42 + 0.5);
    const int icon = int(16 * s);
    const int margin = int(cx * 1.25 + 0.5);
    context.mTextColor = LGuiColorAlpha::FromRGBA8(0, 0, 0, 255);
    LPaintFontScope font(context, fFont); // in device pixels already
    int left = 0;
    for (int i = 0; i < pOwner->iPartCount; ++i) {
        const LStatusBar::Part& part = pOwner->fParts[i];
        const int partLeft = left;
        left += part.width;
        if (left < ux)
            continue;
        if (partLeft > ux + uw)
            break;
        int x = partLeft + margin;
        if (part.image.HasImage()) {
            part.image.DrawTransparent(cr, x, textTop, icon, icon, 1.0f);
            x += int(16 * s) + int(cx * 0.7 + 0.5);
        }
        const int w = part.width - margin;
        if (w > 0 && part.text[0])
            LPaintSurface::_DrawText(context, part.text, float(x), float(textTop), float(w),
                float(GetHeight()), LAlignmentXLeft, LAlignmentYTop, LTextWrappingNone,
                LTextTrimmingEllipsis, true);
    }
}

// --- info bar
// --------------------------------------------------------------------------------------

LInfoBarBase::LInfoBarBase(LWindow& window)
    : pWindow(&window)
{
    bDimWhenDisabled = true;
}

LInfoBarBase::~LInfoBarBase()
{
    DestroyPaintControl();
}

void LInfoBarBase::Init()
{
    if (!pWindow->GetControlHandle(kLInfoBarControlId))
        pWindow->AddPaintControl(kLInfoBarControlId);
    LPaintControl::Init(*pWindow, kLInfoBarControlId);
    pWindow->ShowControl(kLInfoBarControlId, false);
}

int LInfoBarBase::BarHeight() const
{
    return int(32 * pWindow->GetBackingScaleFactor());
}

int LInfoBarBase::GetWindowHeightAjustment() const
{
    return bVisible ? BarHeight() : 0;
}

void LInfoBarBase::Show(const char* message, const char* button1, int id1, const char* button2,
    int id2, const char* button3, int id3, int closeButtonId)
{
    const char* texts[3] = { button1, button2, button3 };
    const int ids[3] = { id1, id2, id3 };
    for (int i = 0; i < 3; ++i) {
        fButtons[i] = LInfoBarButton();
        if (texts[i]) {
            utf8strlcpy(fButtons[i].text, texts[i], sizeof fButtons[i].text);
            fButtons[i].command = ids[i];
        }
    }
    utf8strlcpy(szMessage, message ? message : "", sizeof szMessage);
    fClose.command = closeButtonId == -1 ? 0 : closeButtonId;
    if (LView* host = GetHostView())
        host->SetToolTipText(szMessage);
    Update();
    if (bVisible)
        return;
    bVisible = true;
    Enable();
    pWindow->ShowControl(kLInfoBarControlId, true);
    iGrownBy = 0;
    LNativeWindow* native = pWindow->GetNativeWindow();
    const bool resizable = native && (native->StyleMask() & kLUiWindowResizable);
    const bool zoomedOrFull = (resizable && native->IsZoomed()) || pWindow->IsWindowInFullScreen();
    if (!zoomedOrFull && pWindow->IsRealWindow()) {
        int w = 0, h = 0;
        pWindow->GetWindowSize(w, h);
        LRectangle monitor;
        LMonitorInfo::GetMonitorRect(pWindow->GetContentView(), monitor);
        const int bar = BarHeight();
        if (h + bar < monitor.bottom - monitor.top) {
            int cw = 0, ch = 0;
            pWindow->GetClientSize(cw, ch);
            pWindow->SizeWindowPixels(cw, ch + bar);
            iGrownBy = bar;
        }
    }
    RelayoutWindow();
}

void LInfoBarBase::Hide()
{
    if (!bVisible)
        return;
    bVisible = false;
    if (LView* host = GetHostView(); host && host->AnswersEnabled())
        Disable();
    Update();
    pWindow->ShowControl(kLInfoBarControlId, false);
    LNativeWindow* native = pWindow->GetNativeWindow();
    const bool resizable = native && (native->StyleMask() & kLUiWindowResizable);
    const bool zoomedOrFull = (resizable && native->IsZoomed()) || pWindow->IsWindowInFullScreen();
    // Only what showing added is taken back: near the monitor's height showing adds nothing.
    if (!zoomedOrFull && iGrownBy > 0 && pWindow->IsRealWindow()) {
        int cw = 0, ch = 0;
        pWindow->GetClientSize(cw, ch);
        int target = ch - iGrownBy;
        if (resizable) {
            int mw = 0, mh = 0;
            pWindow->GetWindowMinSizePixels(mw, mh);
            target = std::max(target, mh);
        }
        pWindow->SizeWindowPixels(cw, target);
    }
    iGrownBy = 0;
    RelayoutWindow();
}

void LInfoBarBase::RelayoutWindow()
{
    if (LMacWindowManager* manager = pWindow->GetWindowManager())
        manager->relayoutControls();
}

void LInfoBarBase::Layout(int& x, int&, int& width, int& height)
{
    if (!bVisible)
        return;
    const int bar = BarHeight();
    pWindow->MoveControlPixels(kLInfoBarControlId, x, height - bar, width, bar);
    height -= bar;
}

int LInfoBarBase::HitId(int x, int y) const
{
    auto inside = [x, y](const LRectangle& r) {
        return r.left <= x && x < r.right && r.top <= y && y < r.bottom;
    };
    for (const LInfoBarButton& b : fButtons)
        if (b.command != -1 && inside(b.rect))
            return b.command;
    if (inside(fClose.rect))
        return fClose.command;
    return -1;
}

void LInfoBarBase::EvMouseMove(int x, int y)
{
    const int hot = HitId(x, y);
    if (hot != iHotId) {
        iHotId = hot;
        Update();
    }
}

void LInfoBarBase::EvLButtonDown(int x, int y)
{
    iHotId = iPressedId = -1;
    const int id = HitId(x, y);
    if (id != -1)
        iHotId = iPressedId = id;
    Update();
}

void LInfoBarBase::EvLButtonUp(int x, int y)
{
    const int id = HitId(x, y);
    if (iPressedId != -1 && id == iPressedId) {
        Hide();
        iHotId = iPressedId = -1;
        if (id > 0)
            pWindow->SendCommand(id);
        return;
    }
    iHotId = iPressedId = -1;
    Update();
}

void LInfoBarBase::DrawCloseButton(LPaintContext& context, int width, int height)
{
    cairo_t* cr = context.GetPlatformContext();
    const float cx = pWindow->CharWidthPixels();
    int R = width - int(2 * cx + 0.5);
    int M = height / 2;
    const int u = int(cx * 1.5 + 0.5) / 6;
    fClose.rect = LRectangle(R - 8 * u, M - 5 * u, R, M + 4 * u);
    if (iHotId == fClose.command && iPressedId == fClose.command && fClose.command != -1) {
        R += 1;
        M += 1;
    }
    const int lines[6][4] = {
        { R - 8 * u, M - 4 * u, R, M + 4 * u },
        { R - 7 * u, M - 4 * u, R, M + 3 * u },
        { R - 8 * u, M - 3 * u, R - u, M + 4 * u },
        { R - 8 * u, M + 3 * u, R, M - 5 * u },
        { R - 8 * u, M + 2 * u, R - u, M - 5 * u },
        { R - 7 * u, M + 3 * u, R, M - 4 * u },
    };
    cairo_save(cr);
    cairo_set_source_rgb(cr, 155 / 255.0, 138 / 255.0, 50 / 255.0);
    cairo_set_line_width(cr, 1.0);
    for (const auto& l : lines) {
        cairo_move_to(cr, l[0] + 0.5, l[1] + 0.5);
        cairo_line_to(cr, l[2] + 0.5, l[3] + 0.5);
    }
    cairo_stroke(cr);
    cairo_restore(cr);
}

void LInfoBarBase::DrawButton(
    LPaintContext& context, LInfoBarButton& button, int x, int w, int height)
{
    cairo_t* cr = context.GetPlatformContext();
    const float cy = pWindow->CharHeightPixels();
    const int bh = int(cy * 1.23 + 0.5);
    int top = height / 2 - bh / 2;
    button.rect = LRectangle(x, top, x + w, top + bh);
    int left = x;
    if (iHotId == button.command && iPressedId == button.command) {
        left += 1;
        top += 1;
    }
    Fill(cr, 245, 245, 245, left + 1, top + 1, w - 2, bh - 3);
    const LGuiColor frame
        = button.style ? LGuiColor::FromRGB8(155, 138, 50) : LGuiColor::FromRGB8(185, 173, 111);
    cairo_save(cr);
    cairo_set_source_rgb(cr, frame.GetRedF(), frame.GetGreenF(), frame.GetBlueF());
    cairo_set_line_width(cr, 1.0);
    cairo_rectangle(cr, left + 0.5, top + 0.5, w - 1, bh - 1);
    cairo_stroke(cr);
    cairo_restore(cr);
    context.mTextColor = button.style ? LGuiColorAlpha::FromRGBA8(0, 0, 0, 255)
                                      : LGuiColorAlpha::FromRGBA8(185, 173, 111, 255);
    LPaintSurface::_DrawText(context, button.text, float(left), float(top), float(w), float(bh),
        LAlignmentXCenter, LAlignmentYCenter, LTextWrappingNone, LTextTrimmingWord, true);
}

void LInfoBarBase::Prepaint(LPaintContext& context)
{
    cairo_t* cr = context.GetPlatformContext();
    if (!cr || !context.IsDrawable())
        return;
    if (!bFontMade) {
        fFont.CreateFromDialog(GetPaintView(), 0, false, false);
        bFontMade = true;
    }
    LPaintFontScope font(context, fFont); // in device pixels already
    double ux = 0, uy = 0, uw = 0, uh = 0;
    context.GetClientRect(ux, uy, uw, uh);
    const int width = GetWidth(), height = GetHeight();
    LPaintSurface::_FillRectGradient(context, LGuiColorAlpha::FromRGBA8(255, 245, 131, 255),
        LGuiColorAlpha::FromRGBA8(250, 235, 62, 255), true, int(ux), 0, int(std::ceil(uw)), height);
    cairo_save(cr);
    cairo_set_source_rgb(
        cr, fBorderColor.GetRedF(), fBorderColor.GetGreenF(), fBorderColor.GetBlueF());
    cairo_set_line_width(cr, iBorderWidth);
    if (bBorderDashed) {
        const double dash[] = { 3.0, 3.0 };
        cairo_set_dash(cr, dash, 2, 0);
    }
    cairo_move_to(cr, 0, 0.5);
    cairo_line_to(cr, width, 0.5);
    cairo_stroke(cr);
    cairo_restore(cr);

    DrawCloseButton(context, width, height);
    const float cx = pWindow->CharWidthPixels();
    const int pad = int(2 * cx + 0.5), gap = int(1.25 * cx + 0.5), minimum = int(15 * cx + 0.5);
    int widths[3] = { 0, 0, 0 };
    int total = 0;
    bool any = false;
    for (int i = 0; i < 3; ++i) {
        if (fButtons[i].command == -1 || !fButtons[i].text[0])
            continue;
        float tw = 0, th = 0;
        LPaintSurface::MeasureText(
            context, tw, th, fButtons[i].text, LBoundingBox2T<float>(), LDrawTextFormat());
        widths[i] = std::max(int(std::ceil(tw)) + 2 * pad, minimum);
        total += widths[i] + gap;
        any = true;
    }
    if (any)
        total += pad;
    const int available = width - 8 - pad - total;
    context.mTextColor = LGuiColorAlpha::FromRGBA8(0, 0, 0, 255);
    int messageRight = 0;
    if (available > 0) {
        float mw = 0, mh = 0;
        const float limit = float(std::max(1, available - pad - gap));
        LPaintSurface::MeasureText(context, mw, mh, szMessage,
            LBoundingBox2T<float>(0.0f, 0.0f, limit, kUnbounded), LDrawTextFormat());
        const int textW = std::min(int(std::ceil(mw)), int(limit));
        const int tx = (available - textW) / 2;
        const int ty = height / 2 - int(std::ceil(mh)) / 2;
        LPaintSurface::_DrawText(context, szMessage, float(tx), float(ty), float(textW),
            float(std::ceil(mh)), LAlignmentXLeft, LAlignmentYTop, LTextWrappingNone,
            LTextTrimmingEllipsis, true);
        messageRight = tx + textW;
    }
    int x = messageRight + (any ? pad : 0);
    for (int i = 0; i < 3; ++i) {
        if (!widths[i]) {
            fButtons[i].rect = LRectangle();
            continue;
        }
        x += gap;
        DrawButton(context, fButtons[i], x, widths[i], height);
        x += widths[i];
    }
}
