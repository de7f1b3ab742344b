#include "lfw/gui/LSmallControls.h"

#include "lfw/mac/LGuiCursor.h"
#include "lfw/mac/LGuiFont.h"
#include "lfw/mac/LMacWindow.h"
#include "platform/ui/LRunLoop.h"
#include "platform/ui/LView.h"

// --- colour swatch -----------------------------------------------------------------------------

LColorSwatch::LColorSwatch(const LGuiColor& color)
    : fColor(color)
    , fFrameColor(LGuiColor::FromRGB8(kLSystemLightGray, kLSystemLightGray, kLSystemLightGray))
{
    bDimWhenDisabled = true;
    cornerRadius = 0;
}

LColorSwatch::~LColorSwatch()
{
    DestroyPaintControl();
}

void LColorSwatch::SetColor(const LGuiColor& color)
{
    fColor = color;
    Update();
}

void LColorSwatch::Paint(LPaintContext& context)
{
    double x = 0, y = 0, w = 0, h = 0;
    context.GetClientRect(x, y, w, h);
    const LGuiColor fill = IsEnabled() || !hostView
        ? fColor
        : LGuiColor::FromRGB8(
            kLSystemControlBackground, kLSystemControlBackground, kLSystemControlBackground);
    LPaintSurface::FillRectAA(context, fill, float(x), float(y), float(w), float(h));
    cairo_t* cr = context.GetPlatformContext();
    if (cr && context.IsDrawable()) {
        cairo_save(cr);
        cairo_set_source_rgb(
            cr, fFrameColor.GetRedF(), fFrameColor.GetGreenF(), fFrameColor.GetBlueF());
        cairo_set_line_width(cr, 1.0);
        cairo_rectangle(cr, 0.5, 0.5, mWidth - 1.0, mHeight - 1.0);
        cairo_rectangle(cr, 1.5, 1.5, mWidth - 3.0, mHeight - 3.0);
        cairo_stroke(cr);
        cairo_restore(cr);
    }
    if (hostView && hostView->HasFocus())
        LPaintSurface::DrawFocusRect(context, int(x), int(y), int(w), int(h));
}

void LColorSwatch::EvMouseMove(int, int)
{
    if (hostView)
        LGuiCursor::SetSystem(LGuiCursor::PointingHand);
}

void LColorSwatch::EvMouseOut()
{
    if (hostView)
        LGuiCursor::Restore();
}

void LColorSwatch::EvLButtonDown(int, int)
{
    SetCapture();
}

void LColorSwatch::EvLButtonUp(int x, int y)
{
    if (!IsCaptured())
        return;
    ReleaseCapture();
    if (x >= 0 && x < mWidth && y >= 0 && y < mHeight && pNotifyee)
        pNotifyee->EvColorSwatchClicked(hostView, x, y);
}

// --- colour-picker control ---------------------------------------------------------------------

namespace {

// The window layer's colour chooser; it reports a change only when the colour differs.
bool OpenWindowColorChooser(LGuiColor& color, LWindow& window, int x, int y)
{
    LGuiColorRef chosen(color);
    if (!chosen.OpenColorPickerDialog(window, x, y) || chosen == color)
        return false;
    color = chosen;
    return true;
}

} // namespace

LColorPickerControl::OpenDialogFunction LColorPickerControl::pOpenColorPickerDialog
    = OpenWindowColorChooser;

LColorPickerControl::LColorPickerControl(const LGuiColor& color)
    : LColorSwatch(color)
    , fAlive(std::make_shared<bool>(true))
{
    pNotifyee = this;
}

LColorPickerControl::~LColorPickerControl()
{
    *fAlive = false;
}

void LColorPickerControl::EvColorSwatchClicked(LView*, int x, int y)
{
    if (!IsEnabled() || !parent || !pOpenColorPickerDialog)
        return;
    int px = 0, py = 0;
    GetPositionRealWindowPixels(px, py);
    LWindow* window = parent->IsRealWindow() ? parent : parent->GetRealParent();
    if (!window)
        window = parent;
    LGuiColor color = fColor;
    std::shared_ptr<bool> alive = fAlive;
    const bool changed = pOpenColorPickerDialog(color, *window, px + x, py + y);
    // The control may have gone (or been unbound) while the chooser was open.
    if (!*alive || !hostView || !changed)
        return;
    fColor = color;
    Update();
    if (pOwner)
        pOwner->EvColorPickerControlChanged(hostView);
}

bool LColorPickerControl::EvKeyDown(LKey key)
{
    if (!key.PressesControl() || key.Modifiers() || !hostView || !IsEnabled())
        return false;
    // The chooser runs its own loop: it opens once the key has been handled, below the swatch.
    std::shared_ptr<bool> alive = fAlive;
    LRunLoop::Post([this, alive] {
        if (*alive && hostView)
            EvColorSwatchClicked(hostView, 0, mHeight);
    });
    return true;
}

// --- cool-button container ---------------------------------------------------------------------

void LCoolButtonContainer::CoolButtonInit(int id, bool bordersOnHover, bool)
{
    if (!pCoolButtonWindow)
        return;
    if (auto* button = dynamic_cast<LCocoaButtonImpl*>(pCoolButtonWindow->GetControlHandle(id)))
        button->setShowsBorderOnlyWhileMouseInside(bordersOnHover);
}

void LCoolButtonContainer::SetCoolButtonDown(int id, bool down)
{
    if (!pCoolButtonWindow)
        return;
    auto* button = dynamic_cast<LCocoaButtonImpl*>(pCoolButtonWindow->GetControlHandle(id));
    if (!button)
        return;
    if (!button->isTypeCheckButton())
        button->setTypeCheckButton();
    button->setDown(down);
    button->setState(down ? 1 : 0);
    button->SetNeedsDisplay();
}

bool LCoolButtonContainer::DrawCoolButton(int id, cairo_t* cr, const LUiRect& rect)
{
    if (!pCoolButtonWindow || !cr)
        return false;
    LView* view = pCoolButtonWindow->GetControlHandle(id);
    if (!view)
        return false;
    double s = LMacWindow::GetBackingScaleFactor(view);
    if (s < 1)
        s = 1;
    cairo_save(cr);
    if (s > 1)
        cairo_scale(cr, 1 / s, 1 / s);
    {
        LPaintContext context(cr, view->Frame().width * s, view->Frame().height * s);
        context.SetView(view);
        context.SetClientRect(rect.x * s, rect.y * s, rect.width * s, rect.height * s);
        LGuiFont font;
        font.CreateFromControl(view, 0, false, false);
        char name[260] = "";
        font.GetName(name, sizeof name);
        context.SetFont(LFontAttributes(name, font.GetSizef() * float(s), 0));
        CoolButtonCustomDraw(context, id);
    }
    cairo_restore(cr);
    return true;
}

// --- decimal input -----------------------------------------------------------------------------

void LDecimalInputControl::Init(LWindow& window, int id)
{
    pWindow = &window;
    iId = id;
    pView = dynamic_cast<LCocoaInputUpDownImpl*>(window.GetControlHandle(id));
    if (!pView)
        return;
    SetDecimalFormat(window, decimalPlaces);
    pView->setMin(minimum);
    pView->setMax(maximum);
    pView->setStep(step);
}

void LDecimalInputControl::SetDecimalFormat(LWindow&, int places)
{
    if (!pView)
        return;
    decimalPlaces = uint8_t(places == 0 ? 3 : places);
    pView->setFormatDouble(decimalPlaces);
    pView->setDecimalPlaces(decimalPlaces);
}

double LDecimalInputControl::GetValue(const LWindow&) const
{
    if (!pView)
        return minimum;
    // The typed text, not the stepper's value (which follows only at the end of editing).
    const double v = pView->value();
    if (!(v > minimum))
        return minimum;
    return v > maximum ? maximum : v;
}

bool LDecimalInputControl::HasNumber() const
{
    return pView && pView->hasNumber();
}

void LDecimalInputControl::CommitEdit()
{
    if (pView)
        pView->commitEditing();
}

void LDecimalInputControl::SetValue(LWindow&, double value)
{
    if (!pView)
        return;
    pView->setValue(value);
    pView->SetNeedsDisplay();
}

void LDecimalInputControl::SetMinValue(double value)
{
    if (!pWindow)
        return;
    minimum = value;
    if (pView)
        pView->setMin(value);
}

void LDecimalInputControl::SetMaxValue(double value)
{
    if (!pWindow)
        return;
    maximum = value;
    if (pView)
        pView->setMax(value);
}

void LDecimalInputControl::EnableControl(LWindow&, bool enable)
{
    if (pView)
        pView->setEnabled(enable);
}

// --- command-link font -------------------------------------------------------------------------

void SetFontSize(LPaintContext& context, bool large)
{
    LGuiFont font;
    font.CreateFromControl(context.GetView(), large ? 1.25f : 0.85f, nullptr, LFontStyleValue(0),
        LFontStyleValue(0), LFontStyleValue(0), LFontStyleValue(0));
    char name[260] = "";
    font.GetName(name, sizeof name);
    uint32_t style = 0;
    if (font.IsBold())
        style |= LFontStyleBold;
    if (font.IsItalic())
        style |= LFontStyleItalic;
    context.SetFont(LFontAttributes(name, font.GetSizef(), style));
}
