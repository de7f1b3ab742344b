#include "lfw/gui/LPaintControl.h"

#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/LMenu.h"
#include "lfw/mac/LScreenImageCopies.h"
#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaPaintControlImpl.h"
#include "lfw/mac/cocoa/LCocoaViewBase.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiSystem.h"
#include "platform/ui/LView.h"

#include <algorithm>
#include <cmath>
#include <vector>

// --- mouse handler -----------------------------------------------------------------------------

void LPaintControlMouseHandler::EvMouseIn()
{
    pOwner->EvMouseIn();
}
void LPaintControlMouseHandler::EvMouseOut()
{
    pOwner->EvMouseOut();
}
void LPaintControlMouseHandler::EvLButtonDown(int x, int y)
{
    pOwner->EvLButtonDown(x, y);
}
void LPaintControlMouseHandler::EvDoubleClick(int x, int y)
{
    pOwner->EvDoubleClick(x, y);
}
void LPaintControlMouseHandler::EvLButtonUp(int x, int y)
{
    pOwner->EvLButtonUp(x, y);
}
void LPaintControlMouseHandler::EvRButtonUp(int x, int y)
{
    pOwner->EvRButtonUp(x, y);
}
void LPaintControlMouseHandler::EvRButtonDown(int x, int y)
{
    pOwner->EvRButtonDown(x, y);
}
void LPaintControlMouseHandler::EvMButtonUp(int x, int y)
{
    pOwner->EvMButtonUp(x, y);
}
void LPaintControlMouseHandler::EvMButtonDown(int x, int y)
{
    pOwner->EvMButtonDown(x, y);
}
void LPaintControlMouseHandler::EvMouseHover(int x, int y)
{
    pOwner->EvMouseHover(x, y);
}

void LPaintControlMouseHandler::EvMouseWheel(int x, int y, int delta)
{
    pOwner->EvMouseWheel(x, y, delta);
}

void LPaintControlMouseHandler::EvMouseHWheel(int x, int y, int delta)
{
    pOwner->EvMouseHWheel(x, y, delta);
}

void LPaintControlMouseHandler::EvMouseMove(int x, int y)
{
    if (pOwner->IsCaptured()
        || (x >= 0 && x < pOwner->GetWidth() && y >= 0 && y < pOwner->GetHeight()))
        pOwner->EvMouseMove(x, y);
}

// --- control -----------------------------------------------------------------------------------

namespace {

// The controls whose last paint drew stand-ins for pictures whose copies were being made, and
// those being told that copies were made (an entry of a control destroyed meanwhile is null).
std::vector<LPaintControl*> gWaitingForCopies;
std::vector<LPaintControl*>* gToldOfCopies = nullptr;

void CopiesMade()
{
    std::vector<LPaintControl*> told;
    told.swap(gWaitingForCopies);
    gToldOfCopies = &told;
    for (LPaintControl* control : told)
        if (control)
            control->EvScreenCopiesMade();
    gToldOfCopies = nullptr;
}

void WaitForCopies(LPaintControl* control)
{
    LScreenImageCopies::SetCopiesMadeHook(&CopiesMade);
    if (std::find(gWaitingForCopies.begin(), gWaitingForCopies.end(), control)
        == gWaitingForCopies.end())
        gWaitingForCopies.push_back(control);
}

} // namespace

LPaintControl::LPaintControl()
    : mouseHandler(*this)
{
}

LPaintControl::~LPaintControl()
{
    gWaitingForCopies.erase(std::remove(gWaitingForCopies.begin(), gWaitingForCopies.end(), this),
        gWaitingForCopies.end());
    if (gToldOfCopies)
        std::replace(gToldOfCopies->begin(), gToldOfCopies->end(), this,
            static_cast<LPaintControl*>(nullptr));
    DestroyPaintControl();
}

void LPaintControl::EvScreenCopiesMade()
{
    Update();
}

void LPaintControl::Init(LWindow& window, int id)
{
    InitWithHost(window, window.GetControlHandle(id));
}

void LPaintControl::InitWithHost(LWindow& window, LView* host)
{
    LCocoaPaintControlImpl* painter = nullptr;
    if (auto* scroll = dynamic_cast<LCustomCocoaScrollView*>(host)) {
        painter = dynamic_cast<LCocoaPaintControlImpl*>(scroll->documentView());
        bScrollable = painter != nullptr;
    } else {
        painter = dynamic_cast<LCocoaPaintControlImpl*>(host);
    }
    if (!painter)
        return;
    if (hostView)
        DestroyPaintControl();
    parent = &window;
    hostView = host;
    paintView = painter;
    fHostHold.Reset(host);
    fPaintHold.Reset(painter);
    painter->setPaintControl(this);
    painter->setMouseHandler(&mouseHandler);
    mouseHandler.Attach(&window, painter);
    UpdateSize();
}

void LPaintControl::DestroyPaintControl()
{
    if (!hostView)
        return;
    hostView->RemoveAssociatedValue(&kTimerHandlerKey);
    // A pop-up menu still open for this control reaches nobody.
    if (LCocoaMenuImpl::currentPopupMenuPaintControl() == this)
        LCocoaMenuImpl::setCurrentPopupMenuPaintControl(nullptr);
    if (IsCaptured())
        ReleaseCapture();
    mouseHandler.MouseHandlerDestroy();
    if (auto* painter = dynamic_cast<LCocoaPaintControlImpl*>(paintView);
        painter && painter->paintControl() == this)
        painter->setPaintControl(nullptr);
    parent = nullptr;
    hostView = nullptr;
    paintView = nullptr;
    fPaintHold.Reset(nullptr);
    fHostHold.Reset(nullptr);
}

double LPaintControl::GetBackingScale() const
{
    if (!parent)
        return 1.0;
    double s = parent->GetBackingScaleFactor();
    return s >= 1.0 ? s : 1.0;
}

void LPaintControl::UpdateSize()
{
    if (!hostView || !parent) {
        SetSurfaceSize(0, 0);
        return;
    }
    const double s = GetBackingScale();
    const LUiRect b = hostView->Bounds();
    SetSurfaceSize(int(b.width * s), int(b.height * s));
}

void LPaintControl::EvBackingScaleChanged()
{
    // The control keeps its size in points, so its size in pixels changed: it lays itself out
    // again as after any change of its size (its host's frame, the same in points, tells of no
    // change afterwards).
    const int width = mWidth, height = mHeight;
    UpdateSize();
    if (mWidth != width || mHeight != height)
        EvSize();
    Update();
}

void LPaintControl::Update()
{
    if (paintView)
        paintView->SetNeedsDisplay();
}

void LPaintControl::Update(int x, int y, int w, int h)
{
    if (!paintView || w <= 0 || h <= 0)
        return;
    // Device pixels to points of the view that paints the control.
    const double s = GetBackingScale();
    paintView->SetNeedsDisplayInRect(LUiRect { x / s, y / s, w / s, h / s });
}

void LPaintControl::Enable()
{
    if (!hostView)
        return;
    hostView->SetEnabled(true);
    hostView->SetNeedsDisplay();
}

void LPaintControl::Disable()
{
    if (!hostView)
        return;
    hostView->SetEnabled(false);
    hostView->SetNeedsDisplay();
}

bool LPaintControl::IsEnabled() const
{
    return hostView && hostView->IsEnabled();
}

void LPaintControl::SetCapture()
{
    if (!hostView || IsCaptured())
        return;
    LCocoaMouseCaptureImpl::sharedMouseCapture().setCapture(&mouseHandler, paintView);
}

bool LPaintControl::IsCaptured() const
{
    return LCocoaMouseCaptureImpl::sharedMouseCapture().getCapture() == &mouseHandler;
}

void LPaintControl::ReleaseCapture()
{
    LCocoaMouseCaptureImpl::sharedMouseCapture().releaseCapture();
}

void LPaintControl::SetKeyboardReachable()
{
    if (!paintView)
        return;
    paintView->SetAcceptsFocus(true);
    paintView->SetCanBecomeKeyView(true);
}

bool LPaintControl::HasKeyboardFocus() const
{
    return paintView && paintView->HasFocus();
}

bool LPaintControl::ShowsKeyboardFocus() const
{
    return paintView && paintView->HasVisibleFocus();
}

bool LPaintControl::IsMouseIn() const
{
    if (!hostView)
        return false;
    double sx = 0, sy = 0;
    LUiPoint p;
    if (!LUiPointerPosition(sx, sy) || !hostView->ConvertFromScreen(sx, sy, p))
        return false;
    const LUiRect b = hostView->Bounds();
    return p.x >= b.x && p.y >= b.y && p.x < b.x + b.width && p.y < b.y + b.height;
}

void LPaintControl::GetPositionRealWindowPixels(int& x, int& y) const
{
    x = y = 0;
    if (!hostView || !parent)
        return;
    LWindow* real = parent->IsRealWindow() ? parent : parent->GetRealParent();
    if (!real || !real->GetContentView())
        return;
    const LUiPoint root = hostView->ConvertToRoot(LUiPoint { 0, 0 });
    const LUiPoint inWindow = real->GetContentView()->ConvertFromRoot(root);
    LMacWindow::ConvertFromCocoaPoint(real->GetContentView(), inWindow, x, y);
    y += LMacWindow::GetToolbarHeightPixels(real->GetContentView());
}

int LPaintControl::MapCharacterUnitsToPixelsX(float units) const
{
    if (!parent)
        return 0;
    return int(units * parent->CharWidthPixels() + 0.5f);
}

bool LPaintControl::EvPaintControlKey(const LUiEvent& event)
{
    const LKey key = LKeyFromRawKeyEvent(event);
    if (event.type == LUiEventType::KeyUp)
        return EvKeyUp(key);
    if (event.type != LUiEventType::KeyDown)
        return false;
    return event.isRepeat ? EvKeyRepeat(key) : EvKeyDown(key);
}

void LPaintControl::ShowPopupMenu(LPopupMenu& menu, int x, int y)
{
    if (!hostView || !parent)
        return;
    const double s = GetBackingScale();
    LCocoaMenuImpl::setCurrentPopupMenuPaintControl(this);
    menu.ShowPopupMenu(*parent, hostView, LUiPoint { x / s, y / s }, false);
    if (LCocoaMenuImpl::currentPopupMenuPaintControl() == this)
        LCocoaMenuImpl::setCurrentPopupMenuPaintControl(nullptr);
}

void LPaintControl::EvPaint(cairo_t* cr, const LUiRect& dirty)
{
    if (!parent || !hostView || !parent->GetContentView() || parent->IsClosed())
        return;
    LView* content = parent->GetContentView();
    if (!content->Superview() && !content->Window())
        return;
    const LUiRect b = hostView->Bounds();
    PaintInContext(cr, dirty, GetBackingScale(), b.width, b.height, hostView->IsEnabled());
}

void LPaintControl::PaintInContext(cairo_t* cr, const LUiRect& dirty, double s, double hostWidth,
    double hostHeight, bool hostEnabled)
{
    if (!cr)
        return;
    LUiRect d = dirty;
    cairo_save(cr);
    if (s > 1.0) {
        cairo_scale(cr, 1.0 / s, 1.0 / s);
        d = LUiRect { d.x * s, d.y * s, d.width * s, d.height * s };
    }
    const bool dim = bDimWhenDisabled && !hostEnabled;
    if (dim)
        cairo_push_group(cr);

    {
        LPaintContext context(
            cr, hostWidth * (s > 1.0 ? s : 1.0), hostHeight * (s > 1.0 ? s : 1.0));
        context.SetView(paintView);
        context.SetClientRect(
            d.x - GetScrollOffsetX(), d.y - GetScrollOffsetY(), d.width, d.height);
        context.mForScreen = true;
        if (cornerRadius != 0) {
            const double r = cornerRadius;
            const double W = double(float(hostWidth * s - 2.0)) + 1.0;
            const double H = double(float(hostHeight * s - 2.0)) + 1.0;
            cairo_new_path(cr);
            cairo_move_to(cr, r + 1, 1);
            cairo_line_to(cr, W - r, 1);
            cairo_arc(cr, W - r, r + 1, r, -M_PI / 2, 0);
            cairo_line_to(cr, W, H - r);
            cairo_arc(cr, W - r, H - r, r, 0, M_PI / 2);
            cairo_line_to(cr, r + 1, H);
            cairo_arc(cr, r + 1, H - r, r, M_PI / 2, M_PI);
            cairo_line_to(cr, 1, r + 1);
            cairo_arc(cr, r + 1, r + 1, r, M_PI, 3 * M_PI / 2);
            cairo_close_path(cr);
            cairo_clip(cr);
        }
        Paint(context);
        TransformStackClear(context);
        if (context.mPicturesPending)
            WaitForCopies(this);
    }

    if (dim) {
        cairo_pop_group_to_source(cr);
        cairo_paint_with_alpha(cr, 0.5);
    }
    cairo_restore(cr);
}

// --- font scope ----------------------------------------------------------------------------------

LFontAttributes LPaintFontScope::AttributesOf(const LGuiFont& font)
{
    char name[260] = "";
    font.GetName(name, sizeof name);
    const uint32_t style
        = (font.IsBold() ? LFontStyleBold : 0u) | (font.IsItalic() ? LFontStyleItalic : 0u);
    return LFontAttributes(name, font.GetSizef(), style);
}

LPaintFontScope::LPaintFontScope(LPaintContext& context, const LGuiFont& font)
    : fContext(context)
    , fPrevious(AttributesOf(context.GetFont()))
{
    context.SetFont(AttributesOf(font));
}

LPaintFontScope::~LPaintFontScope()
{
    fContext.SetFont(fPrevious);
}

// --- button painter ----------------------------------------------------------------------------

void LPaintControlButton::DrawButtonBackground(
    LPaintContext& context, uint8_t r, uint8_t g, uint8_t b) const
{
    if (bottom <= top)
        return;
    if (pressed) {
        r = uint8_t(r - 10);
        g = uint8_t(g - 40);
        b = uint8_t(b - 30);
    } else if (hot) {
        r = uint8_t(r + 30);
        g = uint8_t(g + 30);
        b = uint8_t(b + 30);
    }
    auto up = [](uint8_t v) { return uint8_t(std::min(255, int(v * 1.05))); };
    auto down = [](uint8_t v) { return uint8_t(int(v * 0.87)); };
    LPaintSurface::_FillRectGradient(context, LGuiColorAlpha::FromRGBA8(up(r), up(g), up(b), 255),
        LGuiColorAlpha::FromRGBA8(down(r), down(g), down(b), 255), true, left, top, right - left,
        bottom - top);
}

void LPaintControlButton::DrawFrame(LPaintContext& context) const
{
    DrawFrame(
        context, pressed ? LGuiColor::FromRGB8(209, 209, 209) : LGuiColor::FromRGB8(129, 130, 135));
}

void LPaintControlButton::DrawFrame(LPaintContext& context, const LGuiColor& color) const
{
    cairo_t* cr = context.GetPlatformContext();
    if (!cr || !context.IsDrawable())
        return;
    const double w = right - left, h = bottom - top;
    cairo_save(cr);
    cairo_set_source_rgb(cr, color.GetRedF(), color.GetGreenF(), color.GetBlueF());
    cairo_set_line_width(cr, 1.0);
    cairo_rectangle(cr, left - 0.5, top - 0.5, w + 1, h + 1);
    cairo_stroke(cr);
    if (pressed) {
        cairo_rectangle(cr, left + 0.5, top + 0.5, w - 1, h - 1);
        cairo_stroke(cr);
    }
    cairo_restore(cr);
}

void LPaintControlButton::DrawLabel(LPaintContext& context, const char* text) const
{
    if (!text || !*text)
        return;
    context.mTextColor = LGuiColorAlpha::FromRGBA8(255, 255, 255, 255);
    float tw = 0, th = 0;
    LPaintSurface::MeasureText(context, tw, th, text, LBoundingBox2T<float>(), LDrawTextFormat());
    const int w = right - left, h = bottom - top;
    const int x = left + (w - int(std::ceil(tw))) / 2;
    const int y = top + (h - int(std::ceil(th))) / 2;
    LPaintSurface::_DrawText(context, text, float(x), float(y), 2147483648.0f, 2147483648.0f,
        LAlignmentX(0), LAlignmentY(0), LTextWrapping(0), LTextTrimming(0), true);
}

// --- window background -------------------------------------------------------------------------

LPaintBackground::~LPaintBackground()
{
    Detach();
}

void LPaintBackground::Attach(LWindow& window)
{
    Detach();
    LView* content = window.GetContentView();
    if (!content)
        return;
    pWindow = &window;
    content->SetAssociatedValue(
        &kPaintBackgroundKey, uint64_t(uintptr_t(static_cast<LCocoaPaintBackgroundBridge*>(this))));
    bForceSize = true;
    content->SetNeedsDisplay();
}

void LPaintBackground::Detach()
{
    if (!pWindow)
        return;
    if (LView* content = pWindow->GetContentView(); content
        && content->GetAssociatedValue(&kPaintBackgroundKey)
            == uint64_t(uintptr_t(static_cast<LCocoaPaintBackgroundBridge*>(this))))
        content->RemoveAssociatedValue(&kPaintBackgroundKey);
    pWindow = nullptr;
}

void LPaintBackground::UpdateSizeAndPaint()
{
    if (!pWindow)
        return;
    int w = 0, h = 0;
    pWindow->GetClientSize(w, h);
    if (!bForceSize && w == iClientWidth && h == iClientHeight)
        return;
    bForceSize = false;
    iClientWidth = w;
    iClientHeight = h;
    EvPaintBackgroundSize(w, h);
}

void LPaintBackground::EvPaint(cairo_t* cr, const LUiRect& bounds)
{
    if (!pWindow || !pWindow->GetContentView() || pWindow->IsClosed())
        return;
    LView* content = pWindow->GetContentView();
    if (!content->Superview() && !content->Window())
        return;
    PaintInContext(cr, bounds, pWindow->GetBackingScaleFactor());
}

void LPaintBackground::PaintInContext(cairo_t* cr, const LUiRect& bounds, double s)
{
    if (!cr)
        return;
    if (!(s > 1.0))
        s = 1.0;
    cairo_save(cr);
    cairo_scale(cr, 1.0 / s, 1.0 / s);
    {
        LPaintContext context(cr, bounds.width * s, bounds.height * s);
        context.SetView(pWindow ? pWindow->GetContentView() : nullptr);
        context.SetClientRect(bounds.x * s, bounds.y * s, bounds.width * s, bounds.height * s);
        EvPaintBackground(context);
        LPaintSurface::TransformStackClear(context);
    }
    bForceSize = false;
    cairo_restore(cr);
}
