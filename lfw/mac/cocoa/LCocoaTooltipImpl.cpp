#include "lfw/mac/cocoa/LCocoaTooltipImpl.h"

#include "lfw/mac/cocoa/LCocoaControlImpl.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LRunLoop.h"
#include "platform/ui/LUiSystem.h"
#include "platform/ui/LView.h"

#include <algorithm>
#include <cmath>
#include <pango/pangocairo.h>
#include <vector>

namespace {

// The tip's font: the system font at the small size (11 against 13).
double TipFontSize()
{
    return LUiSystemFontSize() * 11.0 / 13.0;
}

PangoLayout* MakeLayout(cairo_t* cr, const std::string& text)
{
    PangoLayout* layout = cr ? pango_cairo_create_layout(cr) : nullptr;
    if (!layout) {
        PangoContext* context = pango_font_map_create_context(pango_cairo_font_map_get_default());
        layout = pango_layout_new(context);
        g_object_unref(context);
    }
    PangoFontDescription* desc = pango_font_description_new();
    pango_font_description_set_family(desc, LUiSystemFontFamily());
    pango_font_description_set_absolute_size(desc, TipFontSize() * PANGO_SCALE);
    pango_layout_set_font_description(layout, desc);
    pango_font_description_free(desc);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    pango_layout_set_width(layout, 1000 * PANGO_SCALE);
    pango_layout_set_text(layout, text.c_str(), int(text.size()));
    return layout;
}

constexpr unsigned kAutoHideMs = 10000;

} // namespace

bool LCocoaViewScreenRect(LView* view, LUiRect& rect)
{
    LNativeWindow* window = view ? view->Window() : nullptr;
    if (!window)
        return false;
    LUiPoint p = view->ConvertToRoot(LUiPoint {});
    LView* root = window->ContentView();
    GtkWidget* rw = root ? root->ExistingWidget() : nullptr;
    double ox, oy;
    if (rw && gtk_widget_get_realized(rw)) {
        int x = 0, y = 0;
        gdk_window_get_origin(gtk_widget_get_window(rw), &x, &y);
        if (!gtk_widget_get_has_window(rw)) {
            GtkAllocation a;
            gtk_widget_get_allocation(rw, &a);
            x += a.x;
            y += a.y;
        }
        ox = x;
        oy = y;
    } else {
        LUiRect f = window->Frame();
        ox = f.x;
        oy = f.y + window->TopSlotsHeight();
    }
    rect = LUiRect { ox + p.x, oy + p.y, view->Frame().width, view->Frame().height };
    return true;
}

void UpdateChildViewTooltips(LView* view)
{
    if (!view)
        return;
    for (LView* sub : std::vector<LView*>(view->Subviews())) {
        if (GtkWidget* w = sub->ExistingWidget()) {
            if (gchar* tip = gtk_widget_get_tooltip_text(w)) {
                gtk_widget_set_tooltip_text(w, nullptr);
                gtk_widget_set_tooltip_text(w, tip);
                g_free(tip);
            }
        }
        UpdateChildViewTooltips(sub);
    }
}

// --- the view
// ----------------------------------------------------------------------------------------

LCocoaTooltipView::LCocoaTooltipView(const std::string& text, bool bubble)
    : nszText(text)
    , bBubbletip(bubble)
    , arrowSide(bubble ? 1 : 0)
    , fArrowSize(bubble ? 7 : 0)
    , fTextMargin(bubble ? 5 : 2)
    , fCornerRadius(bubble ? 3 : 0)
{
}

LUiSize LCocoaTooltipView::sizeText() const
{
    if (!hasText())
        return LUiSize {};
    PangoLayout* layout = MakeLayout(nullptr, nszText);
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    g_object_unref(layout);
    return LUiSize { std::ceil(double(logical.width) / PANGO_SCALE),
        std::ceil(double(logical.height) / PANGO_SCALE) };
}

LUiSize LCocoaTooltipView::sizeTextContainer() const
{
    if (!hasText())
        return LUiSize {};
    LUiSize s = sizeText();
    return LUiSize { s.width + 2 * fTextMargin, s.height + 2 * fTextMargin };
}

LUiSize LCocoaTooltipView::getSizeWithArrow(int side) const
{
    LUiSize s = sizeTextContainer();
    switch (side) {
    case 1:
    case 4:
        s.height += fArrowSize;
        break;
    case 7:
    case 8:
        s.width += fArrowSize;
        break;
    case 2:
    case 3:
    case 5:
    case 6:
        s.width += fArrowSize;
        s.height += fArrowSize;
        break;
    default:
        break;
    }
    return s;
}

LUiRect LCocoaTooltipView::textRect() const
{
    LUiSize c = sizeTextContainer();
    double a = fArrowSize;
    double x = 0, y = 0;
    switch (arrowSide) {
    case 1:
    case 2:
        y = a;
        break;
    case 3:
        x = a;
        y = a;
        break;
    case 6:
    case 7:
        x = a;
        break;
    default:
        break;
    }
    return LUiRect { x, y, c.width, c.height };
}

void LCocoaTooltipView::draw(cairo_t* cr, double width, double height) const
{
    if (!hasText())
        return;
    LUiRect t = textRect();
    // The box, half a point in and one point smaller, so that its one-point edge is sharp.
    LUiRect b { t.x + 0.5, t.y + 0.5, t.width - 1, t.height - 1 };
    LUiRect v { 0, 0, width, height };
    double r = fCornerRadius, a = fArrowSize;
    double mx = b.x + b.width / 2, my = b.y + b.height / 2;
    auto path = [&](double dx, double dy) {
        cairo_new_path(cr);
        if (r > 0) {
            cairo_new_sub_path(cr);
            cairo_arc(cr, dx + b.x + b.width - r, dy + b.y + r, r, -M_PI / 2, 0);
            cairo_arc(cr, dx + b.x + b.width - r, dy + b.y + b.height - r, r, 0, M_PI / 2);
            cairo_arc(cr, dx + b.x + r, dy + b.y + b.height - r, r, M_PI / 2, M_PI);
            cairo_arc(cr, dx + b.x + r, dy + b.y + r, r, M_PI, 3 * M_PI / 2);
            cairo_close_path(cr);
        } else {
            cairo_rectangle(cr, dx + b.x, dy + b.y, b.width, b.height);
        }
        if (!bBubbletip)
            return;
        double p[3][2];
        switch (arrowSide) {
        case 1:
            p[0][0] = mx - a, p[0][1] = b.y, p[1][0] = mx, p[1][1] = v.y, p[2][0] = mx + a,
            p[2][1] = b.y;
            break;
        case 2:
            p[0][0] = b.x + b.width - a, p[0][1] = b.y, p[1][0] = v.x + v.width, p[1][1] = v.y,
            p[2][0] = b.x + b.width, p[2][1] = b.y + a;
            break;
        case 3:
            p[0][0] = b.x, p[0][1] = b.y + a, p[1][0] = v.x, p[1][1] = v.y, p[2][0] = b.x + a,
            p[2][1] = b.y;
            break;
        case 4:
            p[0][0] = mx - a, p[0][1] = b.y + b.height, p[1][0] = mx, p[1][1] = v.y + v.height,
            p[2][0] = mx + a, p[2][1] = b.y + b.height;
            break;
        case 5:
            p[0][0] = b.x + b.width, p[0][1] = b.y + b.height - a, p[1][0] = v.x + v.width,
            p[1][1] = v.y + v.height, p[2][0] = b.x + b.width - a, p[2][1] = b.y + b.height;
            break;
        case 6:
            p[0][0] = b.x + a, p[0][1] = b.y + b.height, p[1][0] = v.x, p[1][1] = v.y + v.height,
            p[2][0] = b.x, p[2][1] = b.y + b.height - a;
            break;
        case 7:
            p[0][0] = b.x, p[0][1] = my - a, p[1][0] = v.x, p[1][1] = my, p[2][0] = b.x,
            p[2][1] = my + a;
            break;
        case 8:
            p[0][0] = b.x + b.width, p[0][1] = my - a, p[1][0] = v.x + v.width, p[1][1] = my,
            p[2][0] = b.x + b.width, p[2][1] = my + a;
            break;
        default:
            return;
        }
        cairo_new_sub_path(cr);
        cairo_move_to(cr, dx + p[0][0], dy + p[0][1]);
        cairo_line_to(cr, dx + p[1][0], dy + p[1][1]);
        cairo_line_to(cr, dx + p[2][0], dy + p[2][1]);
        cairo_close_path(cr);
    };
    cairo_save(cr);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    // The shadow, half a point down and right, then the box and arrow in one fill.
    path(0.5, 0.5);
    cairo_set_source_rgb(cr, 0.45, 0.45, 0.45);
    cairo_fill(cr);
    path(0, 0);
    cairo_set_source_rgb(cr, 235 / 255.0, 235 / 255.0, 235 / 255.0);
    cairo_fill(cr);
    PangoLayout* layout = MakeLayout(cr, nszText);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_move_to(cr, t.x + fTextMargin, t.y + fTextMargin);
    pango_cairo_show_layout(cr, layout);
    g_object_unref(layout);
    cairo_restore(cr);
}

// --- the tip
// -------------------------------------------------------------------------------------------

LCocoaTooltipImpl::LCocoaTooltipImpl(const char* text, bool bubble)
    : tooltipView(std::string(), bubble)
{
    fPopup.SetDraw([this](cairo_t* cr, double w, double h) { tooltipView.draw(cr, w, h); });
    if (text && *text)
        setText(text);
}

LCocoaTooltipImpl::~LCocoaTooltipImpl()
{
    RemoveMonitors();
    timer.reset();
    setParentWindow(nullptr);
}

void LCocoaTooltipImpl::setText(const char* text)
{
    if (!text)
        return;
    std::string valid = LCocoaControl::ValidText(text);
    valid.resize(
        LCocoaControl::WholeCharacterPrefix(valid.c_str(), LCocoaTooltipView::kMaximumBytes));
    tooltipView.setText(valid);
    LUiSize s = tooltipView.getSize();
    if (s.width >= 1 && s.height >= 1)
        updateTooltip();
}

void LCocoaTooltipImpl::setParentWindow(LNativeWindow* window)
{
    if (window == fParent)
        return;
    if (window)
        window->Retain();
    if (fParent)
        fParent->Release();
    fParent = window;
}

int LCocoaTooltipImpl::getArrowSideFor(int place) const
{
    static const int sides[8] = { 3, 1, 2, 6, 4, 5, 7, 8 };
    return place >= 0 && place < 8 ? sides[place] : 0;
}

LUiRect LCocoaTooltipImpl::offsetTooltipRect(const LUiRect& r) const
{
    double w = r.width, h = r.height;
    double dx = 0, dy = -h; // other places: above, extending right
    switch (tooltipPlace) {
    case 0:
        dx = 0, dy = 0;
        break;
    case 1:
        dx = -w / 2, dy = 0;
        break;
    case 2:
        dx = -w, dy = 0;
        break;
    case 3:
        dx = 0, dy = -h;
        break;
    case 4:
        dx = -w / 2, dy = -h;
        break;
    case 5:
        dx = -w, dy = -h;
        break;
    case 6:
        dx = 0, dy = -h / 2;
        break;
    case 7:
        dx = -w, dy = -h / 2;
        break;
    default:
        break;
    }
    return LUiRect { r.x + dx, r.y + dy, w, h };
}

bool LCocoaTooltipImpl::isTooltipFit() const
{
    LUiSize s = tooltipView.getSizeWithArrow(getArrowSideFor(tooltipPlace));
    LUiRect r = offsetTooltipRect(LUiRect { nsPoint.x, nsPoint.y, s.width, s.height });
    // The monitor of the anchor, not always the main one.
    LUiScreen screen;
    if (!LUiScreenAtPoint(nsPoint.x, nsPoint.y, screen))
        return false;
    const LUiRect& f = screen.frame;
    return r.x >= f.x && r.y >= f.y && r.x + r.width <= f.x + f.width
        && r.y + r.height <= f.y + f.height;
}

void LCocoaTooltipImpl::moveToPoint(LUiPoint point, bool)
{
    if (!tooltipView.hasText())
        return;
    nsPoint = point;
    if (!isTooltipFit()) {
        int current = tooltipPlace;
        bool found = false;
        for (int place = 0; place <= 5 && !found; ++place) {
            if (place == current)
                continue;
            tooltipPlace = place;
            found = isTooltipFit();
        }
        if (!found)
            tooltipPlace = 0;
    }
    updateTooltip();
}

void LCocoaTooltipImpl::moveToControl(LView* control)
{
    if (!tooltipView.hasText())
        return;
    hwndControl = control;
    LUiRect c;
    if (!LCocoaViewScreenRect(control, c))
        return;
    const struct {
        LUiPoint anchor;
        int place;
    } candidates[4] = {
        { { c.x + c.width / 2, c.y + c.height }, 1 }, // below, arrow up
        { { c.x + c.width / 2, c.y }, 4 }, // above, arrow down
        { { c.x, c.y + c.height / 2 }, 7 }, // left, arrow right
        { { c.x + c.width, c.y + c.height / 2 }, 6 }, // right, arrow left
    };
    for (const auto& candidate : candidates) {
        nsPoint = candidate.anchor;
        tooltipPlace = candidate.place;
        if (isTooltipFit()) {
            updateTooltip();
            return;
        }
    }
    moveToPoint(LUiPoint { c.x + c.width / 2, c.y + c.height / 2 }, false);
}

void LCocoaTooltipImpl::moveToPoint(LUiPoint point, LView* control)
{
    if (!tooltipView.hasText())
        return;
    hwndControl = control;
    LUiRect c;
    if (!LCocoaViewScreenRect(control, c))
        return;
    moveToPoint(LUiPoint { c.x + point.x, c.y + point.y }, false);
}

void LCocoaTooltipImpl::updateTooltip()
{
    tooltipView.setArrowSide(tooltipView.isBubble() ? getArrowSideFor(tooltipPlace) : 0);
    LUiSize s = tooltipView.getSize();
    // Never larger than the monitor of its anchor.
    LUiScreen screen;
    if (LUiScreenAtPoint(nsPoint.x, nsPoint.y, screen)) {
        s.width = std::min(s.width, screen.frame.width);
        s.height = std::min(s.height, screen.frame.height);
    }
    LUiRect r = offsetTooltipRect(LUiRect { nsPoint.x, nsPoint.y, s.width, s.height });
    fPopup.SetFrame(r);
    resizeContent();
}

void LCocoaTooltipImpl::resizeContent()
{
    fPopup.Redraw();
}

void LCocoaTooltipImpl::show()
{
    if (fParent && !fParent->IsKey())
        return;
    if (!tooltipView.hasText())
        return;
    if (!timer)
        timer = std::make_unique<LRunLoopTimer>(OnTimer, this);
    timer->Arm(kAutoHideMs);
    if (!localEventMonitor)
        localEventMonitor
            = LEventHub::AddMonitor(kLEventHubButtonPress | kLEventHubFocus, OnEvent, this);
    fPopup.Show();
    bIsShown = true;
}

void LCocoaTooltipImpl::hide()
{
    bIsShown = false;
    invalidateTimer();
    fPopup.Hide();
    RemoveMonitors();
}

void LCocoaTooltipImpl::invalidateTimer()
{
    if (timer && timer->IsArmed())
        timer->Disarm();
}

void LCocoaTooltipImpl::RemoveMonitors()
{
    if (localEventMonitor) {
        LEventHub::RemoveMonitor(localEventMonitor);
        localEventMonitor = 0;
    }
}

void LCocoaTooltipImpl::OnTimer(LRunLoopTimer*, void* data)
{
    static_cast<LCocoaTooltipImpl*>(data)->hide();
}

bool LCocoaTooltipImpl::OnEvent(GdkEvent* event, void* data)
{
    auto* self = static_cast<LCocoaTooltipImpl*>(data);
    if (event->type == GDK_BUTTON_PRESS) {
        self->hide(); // and the click goes on
    } else if (event->type == GDK_FOCUS_CHANGE && !event->focus_change.in && self->fParent) {
        // The parent window resigning the keyboard.
        GtkWindow* parent = self->fParent->Gtk();
        GdkWindow* pw = parent ? gtk_widget_get_window(GTK_WIDGET(parent)) : nullptr;
        if (pw && event->focus_change.window == pw)
            self->hide();
    }
    return false;
}
