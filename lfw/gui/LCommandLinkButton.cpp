#include "lfw/gui/LCommandLinkButton.h"

#include "lfw/gen/LString.h"
#include "lfw/gui/LSmallControls.h"
#include "lfw/mac/LDialog.h"
#include "lfw/mac/LGuiFont.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/LPaintSurface.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>

namespace {

int Round(double v)
{
    return int(v + 0.5);
}

// The context's font becomes the title (large) or the note font, in device pixels.
void SelectFont(LPaintContext& context, bool large, double scale)
{
    SetFontSize(context, large);
    if (scale > 1.0) {
        const LGuiFont& font = context.GetFont();
        char name[260] = "";
        font.GetName(name, sizeof name);
        uint32_t style
            = (font.IsBold() ? LFontStyleBold : 0u) | (font.IsItalic() ? LFontStyleItalic : 0u);
        context.SetFont(LFontAttributes(name, float(font.GetSizef() * scale), style));
    }
}

constexpr float kUnbounded = 2147483648.0f;

LBoundingBox2T<float> Box(float w, float h)
{
    return LBoundingBox2T<float>(0.0f, 0.0f, w, h);
}

} // namespace

// --- host view -----------------------------------------------------------------------------------

LCocoaCommandLinkButton::LCocoaCommandLinkButton(
    const LUiRect& frame, int cid, LCocoaWindow* window)
    : LCocoaPaintControlImpl(frame, cid, window)
{
    // A button the keyboard reaches like any other.
    SetAcceptsFocus(true);
    SetCanBecomeKeyView(true);
}

LCocoaCommandLinkButton::~LCocoaCommandLinkButton()
{
    fButton.reset();
}

void LCocoaCommandLinkButton::setCmdLinkBtn(LCommandLinkButton* button)
{
    if (fButton.get() != button)
        fButton.reset(button);
}

// --- button --------------------------------------------------------------------------------------

LCommandLinkButton::LCommandLinkButton()
    : fArrow(307)
{
}

LCommandLinkButton::~LCommandLinkButton()
{
    DestroyPaintControl();
}

LView* LCommandLinkButton::AddCommandLink(
    LWindow& window, int id, const char* title, const char* note)
{
    LView* content = window.GetContentView();
    if (!content)
        return nullptr;
    auto* host = new LCocoaCommandLinkButton(LUiRect { 0, 0, 500, 30 }, id, &window);
    content->AddSubview(host);
    host->Release();
    auto* button = new LCommandLinkButton;
    host->setCmdLinkBtn(button);
    button->Init(window, id, title, note);
    return host;
}

void LCommandLinkButton::MeasureCommandLinkButtonSizePixels(
    const LWindow& window, int id, int& width, int& height)
{
    width = height = 0;
    auto* host = dynamic_cast<LCocoaCommandLinkButton*>(window.GetControlHandle(id));
    if (host && host->cmdLinkBtn())
        host->cmdLinkBtn()->MeasureCommandLinkButtonSizePixels(width, height);
}

void LCommandLinkButton::Init(LWindow& window, int id, const char* title, const char* note)
{
    LView* host = window.GetControlHandle(id);
    if (!host)
        return;
    LStripAmpersand(szTitle, title ? title : "", sizeof szTitle);
    LStripAmpersand(szNote, note ? note : "", sizeof szNote);
    InitWithHost(window, host);
    // The host owns this button: holding the host as well would keep both alive for ever.
    if (dynamic_cast<LCocoaCommandLinkButton*>(host)) {
        fHostHold.Reset(nullptr);
        fPaintHold.Reset(nullptr);
    }
}

LCommandLinkButton::Metrics LCommandLinkButton::GetMetrics() const
{
    const float cw = parent ? parent->CharWidthPixels() : 8.0f;
    const float ch = parent ? parent->CharHeightPixels() : 17.0f;
    return Metrics { Round(0.25 * cw), Round(1.25 * cw), Round(2 * cw), Round(0.59 * ch),
        Round(1.5 * cw), Round(62 * cw) };
}

void LCommandLinkButton::MeasureTexts(
    LPaintContext& context, int& tw, int& th, int& nc, int& nh) const
{
    const Metrics m = GetMetrics();
    const double s = GetBackingScale();
    const LDrawTextFormat wrap(
        LAlignmentXLeft, LAlignmentYTop, LTextWrappingWord, LTextTrimmingNone);
    float w = 0, h = 0;
    SelectFont(context, true, s);
    LPaintSurface::MeasureText(
        context, w, h, szTitle, Box(kUnbounded, kUnbounded), LDrawTextFormat());
    tw = int(std::ceil(w));
    LPaintSurface::MeasureText(context, w, h, szTitle, Box(float(tw), kUnbounded), wrap);
    th = int(std::ceil(h));
    SelectFont(context, false, s);
    LPaintSurface::MeasureText(
        context, w, h, szNote, Box(kUnbounded, kUnbounded), LDrawTextFormat());
    nc = std::min(m.n + int(std::ceil(w)), m.limit);
    LPaintSurface::MeasureText(context, w, h, szNote, Box(float(nc), kUnbounded), wrap);
    nh = int(std::ceil(h));
}

void LCommandLinkButton::MeasureCommandLinkButtonSizePixels(int& width, int& height) const
{
    width = height = 0;
    if (!parent || !paintView)
        return;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* cr = cairo_create(surface);
    int tw = 0, th = 0, nc = 0, nh = 0;
    {
        LPaintContext context(cr, 1, 1);
        context.SetView(paintView);
        MeasureTexts(context, tw, th, nc, nh);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    const Metrics m = GetMetrics();
    width = std::max(nc, tw) + 2 * (m.i + m.q + m.a);
    height = 3 * m.b + th + nh + 2 * m.q;
}

void LCommandLinkButton::Paint(LPaintContext& context)
{
    cairo_t* cr = context.GetPlatformContext();
    if (!parent || !cr || !context.IsDrawable())
        return;
    const Metrics m = GetMetrics();
    const double W = mWidth, H = mHeight;
    int tw = 0, th = 0, nc = 0, nh = 0;
    MeasureTexts(context, tw, th, nc, nh);

    if (bHover) {
        const uint8_t v = bPressed ? 200 : 225;
        LPaintSurface::FillRectAA(context, LGuiColor::FromRGB8(v, v, v), 255, float(m.q),
            float(m.q), float(W - 2 * m.q), float(H - 2 * m.q));
    }
    // The frame: from the middle of the left edge round the four corners. With the focus it is
    // drawn in the focus colour, twice as wide (inside the button).
    const bool focused = IsFocused();
    const double line = focused ? 2.0 * std::max(1.0, GetBackingScale()) : 1.0;
    const double inset = line / 2;
    const double r = m.q, x0 = inset, y0 = inset, x1 = W - 1 - inset, y1 = H - 1 - inset;
    const uint8_t frame = bHover || bPressed ? kLSystemWindowFrame : kLSystemLightGray;
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_move_to(cr, x0, (y0 + y1) / 2);
    cairo_arc(cr, x0 + r, y0 + r, r, M_PI, 3 * M_PI / 2);
    cairo_arc(cr, x1 - r, y0 + r, r, 3 * M_PI / 2, 2 * M_PI);
    cairo_arc(cr, x1 - r, y1 - r, r, 0, M_PI / 2);
    cairo_arc(cr, x0 + r, y1 - r, r, M_PI / 2, M_PI);
    cairo_close_path(cr);
    if (focused) {
        const LGuiColor focus = LPaintSurface::GetFocusIndicatorColor();
        cairo_set_source_rgb(cr, focus.GetRedF(), focus.GetGreenF(), focus.GetBlueF());
    } else {
        cairo_set_source_rgb(cr, frame / 255.0, frame / 255.0, frame / 255.0);
    }
    cairo_set_line_width(cr, line);
    cairo_stroke(cr);
    cairo_restore(cr);

    const double s = GetBackingScale();
    SelectFont(context, true, s);
    context.SetStrokeColor(0, 0, 0, 1);
    context.mTextColor = LGuiColorAlpha::FromRGBA8(0, 0, 0, 255);
    const int tx = m.q + m.a + m.i + m.a, ty = m.q + m.b;
    fArrow.DrawTransparent(cr, m.q + m.a, ty + (th - m.i) / 2, m.i, m.i, 1.0f);
    LPaintSurface::_DrawText(context, szTitle, float(tx), float(ty), kUnbounded, kUnbounded,
        LAlignmentXLeft, LAlignmentYTop, LTextWrappingNone, LTextTrimmingNone, true);
    if (bHover || bPressed) {
        cairo_save(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_set_line_width(cr, 1.0);
        cairo_move_to(cr, tx, ty + th + 0.5);
        cairo_line_to(cr, tx + tw, ty + th + 0.5);
        cairo_stroke(cr);
        cairo_restore(cr);
    }
    SelectFont(context, false, s);
    LPaintSurface::_DrawText(context, szNote, float(tx + m.n), float(ty + th + m.b), float(nc),
        float(nh), LAlignmentXLeft, LAlignmentYTop, LTextWrappingWord, LTextTrimmingNone, true);
}

bool LCommandLinkButton::IsFocused() const
{
    return hostView && hostView->HasFocus();
}

void LCommandLinkButton::EvMouseIn()
{
    bHover = true;
    Update();
}

void LCommandLinkButton::EvMouseOut()
{
    bHover = false;
    bPressed = false;
    Update();
}

void LCommandLinkButton::EvLButtonDown(int, int)
{
    bPressed = true;
    Update();
}

void LCommandLinkButton::EvLButtonUp(int, int)
{
    if (bPressed)
        PostClick();
    bPressed = false;
    Update();
}

bool LCommandLinkButton::EvKeyDown(LKey key)
{
    const unsigned code = key.KeyCode();
    if (key.code & LKey::kModifierMask)
        return false;
    if (code != LKey::kReturn && code != LKey::kSpace && key.code != uint32_t(' '))
        return false;
    PostClick();
    return true;
}

void LCommandLinkButton::PostClick()
{
    auto* host = dynamic_cast<LCocoaPaintControlImpl*>(hostView);
    if (parent && host)
        parent->PostCommand(int(host->tag()));
}

void LCommandLinkButtonInstallHooks()
{
    LDialogMenuHooks& hooks = LDialogMenuHooksGet();
    hooks.addCommandLink = LCommandLinkButton::AddCommandLink;
    hooks.measureCommandLink = [](const LWindow& window, int id, int& width, int& height) {
        LCommandLinkButton::MeasureCommandLinkButtonSizePixels(window, id, width, height);
    };
}
