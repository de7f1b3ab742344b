#include "lfw/gui/LCaptionToolbar.h"

#include "lfw/gen/LString.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LCocoaTooltipImpl.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LView.h"

#include <cstdio>

// --- buttons
// ---------------------------------------------------------------------------------------

LCaptionToolbarButton::LCaptionToolbarButton(
    LWindow& window, LCaptionToolbar& owner, int commandId, double scale)
    : pWindow(&window)
    , command(commandId)
    , width(int(20 * scale))
    , height(int(20 * scale))
    , pOwner(&owner)
{
}

void LCaptionToolbarButton::PaintState(LPaintContext& context, int r, int g, int b)
{
    cairo_t* cr = context.GetPlatformContext();
    cairo_save(cr);
    cairo_set_source_rgb(cr, r / 255.0, g / 255.0, b / 255.0);
    cairo_rectangle(cr, x, y, width, height);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 151 / 255.0, 207 / 255.0, 253 / 255.0);
    cairo_set_line_width(cr, 1.0);
    cairo_rectangle(cr, x + 0.5, y + 0.5, width - 1, height - 1);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void LCaptionToolbarButton::PaintDown(LPaintContext& context)
{
    PaintState(context, 190, 210, 252);
}

void LCaptionToolbarButton::PaintHot(LPaintContext& context)
{
    PaintState(context, 225, 239, 251);
}

void LCaptionToolbarButton::Paint(LPaintContext& context, int px, int py)
{
    x = px;
    y = py;
    const double s = pOwner->GetBackingScale();
    const int margin = int(4 * s) / 2;
    const int size = int(16 * s);
    cairo_t* cr = context.GetPlatformContext();
    if (!enabled) {
        icon.GetDisabled().DrawTransparent(cr, x + margin, y + margin, size, size, 1.0f);
        return;
    }
    if (pressed)
        PaintDown(context);
    else if (hot)
        PaintHot(context);
    icon.GetNormal().DrawTransparent(cr, x + margin, y + margin, size, size, 1.0f);
}

// --- toolbar
// ---------------------------------------------------------------------------------------

LCaptionToolbar::LCaptionToolbar()
    : fTooltip(std::make_unique<LCocoaTooltipImpl>("", false))
{
    bDimWhenDisabled = true;
    cornerRadius = 0;
}

LCaptionToolbar::~LCaptionToolbar()
{
    for (LCaptionToolbarButton* b = pButtons; b;) {
        LCaptionToolbarButton* next = b->next;
        delete b;
        b = next;
    }
    pButtons = nullptr;
    if (fTooltip)
        fTooltip->hide();
    fTooltip.reset();
    DestroyPaintControl();
    if (pHost && pWindow && pWindow->GetNativeWindow()
        && pWindow->GetNativeWindow()->TitlebarView() == pHost)
        pWindow->GetNativeWindow()->SetTitlebarView(nullptr);
    if (pHost)
        pHost->Release();
}

void LCaptionToolbar::Init(LWindow& window, const LKeyToCommandMap* keys, size_t keyCount)
{
    pWindow = &window;
    pKeys = keys;
    iKeyCount = keyCount;
    pHost = new LCaptionToolbarCocoaView(LUiRect { 0, 0, 0, 22 }, &window);
    if (LNativeWindow* native = window.GetNativeWindow(); native && window.IsRealWindow()) {
        native->SetTitlebarView(pHost);
        fTooltip->setParentWindow(native);
    } else if (LView* content = window.GetContentView()) {
        content->AddSubview(pHost);
    }
    InitWithHost(window, pHost);
}

void LCaptionToolbar::AddButton(int bitmapResourceId, int commandId, const char* tooltip)
{
    if (!pWindow || !pHost)
        return;
    auto* button = new LCaptionToolbarButton(*pWindow, *this, commandId, GetBackingScale());
    button->icon.LoadFromResource(bitmapResourceId); // with its disabled look
    button->tooltip = tooltip ? tooltip : "";
    LCaptionToolbarButton** tail = &pButtons;
    while (*tail)
        tail = &(*tail)->next;
    *tail = button;
    fButtonMap.SetValue(commandId, button);
    ++iButtonCount;
    LUiRect frame = pHost->Frame();
    frame.width = 22.0 * iButtonCount;
    pHost->SetFrame(frame);
    if (GtkWidget* w = pHost->ExistingWidget(); w && !pHost->Superview())
        gtk_widget_set_size_request(w, int(frame.width), int(frame.height));
    UpdateSize();
    Update();
}

LCaptionToolbarButton* LCaptionToolbar::GetButton(int command) const
{
    auto* map = const_cast<LMap<int, LCaptionToolbarButton*>*>(&fButtonMap);
    LCaptionToolbarButton** found = map->GetValue(command);
    return found ? *found : nullptr;
}

void LCaptionToolbar::EnableButton(int commandId, bool enabled)
{
    if (!pWindow)
        return;
    LCaptionToolbarButton* button = GetButton(commandId);
    if (!button || button->enabled == enabled)
        return;
    button->enabled = enabled;
    if (!enabled && pTooltipButton == button)
        UpdateToolTip(nullptr);
    Update();
}

void LCaptionToolbar::PaintCaptionToolbar(LPaintContext& context)
{
    if (!context.GetPlatformContext() || !context.IsDrawable())
        return;
    // The buttons are laid out from the left edge whatever part is repainted, so that their
    // hit positions never move.
    const double s = GetBackingScale();
    int x = 0;
    for (LCaptionToolbarButton* b = pButtons; b; b = b->next) {
        b->Paint(context, x, 1);
        x += int(20 * s) + 2 * int(s);
    }
}

LCaptionToolbarButton* LCaptionToolbar::ButtonAt(int x, int y) const
{
    for (LCaptionToolbarButton* b = pButtons; b; b = b->next)
        if (b->Contains(x, y))
            return b;
    return nullptr;
}

void LCaptionToolbar::EvMouseMove(int x, int y)
{
    for (LCaptionToolbarButton* b = pButtons; b; b = b->next) {
        if (b->Contains(x, y)) {
            if (b->enabled && !b->hot) {
                b->hot = true;
                Update();
            }
            UpdateToolTip(b);
        } else if (b->enabled && (b->hot || b->pressed)) {
            b->hot = b->pressed = false;
            Update();
        }
    }
}

void LCaptionToolbar::EvLButtonDown(int x, int y)
{
    LCaptionToolbarButton* b = ButtonAt(x, y);
    if (b && b->enabled) {
        b->pressed = true;
        Update();
    }
}

void LCaptionToolbar::EvLButtonUp(int x, int y)
{
    LCaptionToolbarButton* b = ButtonAt(x, y);
    if (!b || !b->enabled)
        return;
    b->pressed = false;
    Update();
    if (pWindow)
        pWindow->SendCommand(b->command);
}

void LCaptionToolbar::EvMouseOut()
{
    bool changed = false;
    for (LCaptionToolbarButton* b = pButtons; b; b = b->next) {
        changed = changed || b->hot || b->pressed;
        b->hot = b->pressed = false;
    }
    if (changed)
        Update();
    if (fTooltip)
        fTooltip->hide();
    pTooltipButton = nullptr;
}

void LCaptionToolbar::UpdateToolTip(LCaptionToolbarButton* button)
{
    if (!button || !button->enabled) {
        if (fTooltip)
            fTooltip->hide();
        pTooltipButton = nullptr;
        return;
    }
    if (button == pTooltipButton)
        return;
    pTooltipButton = button;
    const double s = GetBackingScale();
    LRectangle anchor;
    anchor.left = button->x + button->width + int(5 * s);
    anchor.top = button->y + button->height + int(5 * s);
    anchor.right = anchor.left + int(20 * s);
    anchor.bottom = anchor.top + int(20 * s);
    UpdateToolTip(button->tooltip.c_str(), button->command, anchor);
}

void LCaptionToolbar::UpdateToolTip(const char* text, int commandId, const LRectangle& anchor)
{
    if (!fTooltip || !pHost)
        return;
    char cut[260] = "";
    utf8strlcpy(cut, text ? text : "", sizeof cut);
    std::string tip = cut;
    for (size_t i = 0; pKeys && i < iKeyCount; ++i) {
        if (pKeys[i].command != commandId)
            continue;
        char description[260] = "";
        pKeys[i].key.GetDescription(description);
        char formatted[600];
        snprintf(formatted, sizeof formatted, "%s (%s)", cut, description);
        tip = formatted;
        break;
    }
    fTooltip->setText(tip.c_str());
    fTooltip->setTooltipPlace(0);
    const double s = GetBackingScale();
    const double px = int(anchor.left / s), py = int(anchor.top / s);
    // The host's place on the screen: it may sit in the title bar, outside the content view.
    GtkWidget* widget = pHost->ExistingWidget();
    GdkWindow* gw
        = widget && gtk_widget_get_realized(widget) ? gtk_widget_get_window(widget) : nullptr;
    if (gw) {
        int ox = 0, oy = 0;
        gdk_window_get_origin(gw, &ox, &oy);
        if (!gtk_widget_get_has_window(widget)) {
            GtkAllocation a;
            gtk_widget_get_allocation(widget, &a);
            ox += a.x;
            oy += a.y;
        }
        fTooltip->moveToPoint(LUiPoint { ox + px, oy + py }, true);
    } else {
        fTooltip->moveToPoint(LUiPoint { px, py }, pHost);
    }
    fTooltip->show();
}
