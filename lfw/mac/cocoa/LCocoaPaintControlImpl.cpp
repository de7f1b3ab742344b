#include "lfw/mac/cocoa/LCocoaPaintControlImpl.h"

#include "lfw/mac/cocoa/LCocoaWindow.h"
#include "platform/ui/LLayout.h"

#include <algorithm>
#include <cmath>

// --- host view ---------------------------------------------------------------------------------

LCocoaPaintControlImpl::LCocoaPaintControlImpl(const LUiRect& frame, int cid, LCocoaWindow* window)
    : LCocoaViewBase(frame, window)
{
    SetTag(cid);
    setEnabled(true);
}

LCocoaPaintControlImpl::~LCocoaPaintControlImpl()
{
    pPaintControl = nullptr;
}

LCustomCocoaScrollView* LCocoaPaintControlImpl::enclosingScrollView() const
{
    auto* scroll = dynamic_cast<LCustomCocoaScrollView*>(Superview());
    return scroll && scroll->documentView() == this ? scroll : nullptr;
}

void LCocoaPaintControlImpl::updatePaintControlSize()
{
    if (!pWindow || !pPaintControl)
        return;
    LUiRect frame = Frame();
    if (LCustomCocoaScrollView* scroll = enclosingScrollView())
        frame = scroll->Frame();
    double scale = std::max(1.0, BackingScale());
    int w = int(frame.width * scale + 0.5);
    int h = int(frame.height * scale + 0.5);
    int oldW = 0, oldH = 0;
    pPaintControl->GetPaintControlSize(oldW, oldH);
    if (w == oldW && h == oldH)
        return;
    pPaintControl->SetPaintControlSize(w, h);
    pPaintControl->EvSize();
}

void LCocoaPaintControlImpl::Draw(cairo_t* cr, const LUiRect& dirty)
{
    // Nothing is painted for a window that is going or not yet initialised.
    if (!pWindow || !pWindow->IsAlive() || !pWindow->IsWindowInitialised())
        return;
    if (IsOpaque()) {
        GtkWidget* top = gtk_widget_get_toplevel(Widget());
        gtk_render_background(
            gtk_widget_get_style_context(top), cr, 0, 0, Frame().width, Frame().height);
    }
    if (!pPaintControl)
        return;
    cairo_save(cr);
    cairo_rectangle(cr, dirty.x, dirty.y, dirty.width, dirty.height);
    cairo_clip(cr);
    pPaintControl->EvPaint(cr, dirty);
    cairo_restore(cr);
}

void LCocoaPaintControlImpl::HiddenDidChange(bool hidden)
{
    if (pPaintControl)
        pPaintControl->EvShow(!hidden);
}

bool LCocoaPaintControlImpl::KeyDown(const LUiEvent& e)
{
    if (pPaintControl && pPaintControl->EvPaintControlKey(e))
        return true;
    return LCocoaViewBase::KeyDown(e);
}

void LCocoaPaintControlImpl::FocusIn()
{
    LCocoaViewBase::FocusIn();
    SetNeedsDisplay();
}

void LCocoaPaintControlImpl::FocusOut()
{
    LCocoaViewBase::FocusOut();
    SetNeedsDisplay();
}

bool LCocoaPaintControlImpl::KeyUp(const LUiEvent& e)
{
    if (pPaintControl && pPaintControl->EvPaintControlKey(e))
        return true;
    return LCocoaViewBase::KeyUp(e);
}

// --- scroll view -------------------------------------------------------------------------------

namespace {

// Scrolls one way so that the span [start, start + length) of the document shows, if it fits.
void ShowSpan(GtkAdjustment* adjustment, double start, double length)
{
    const double page = gtk_adjustment_get_page_size(adjustment);
    const double value = gtk_adjustment_get_value(adjustment);
    if (length > page || (start >= value && start + length <= value + page))
        return;
    gtk_adjustment_set_value(adjustment, start < value ? start : start + length - page);
}

// Shows the document's control that has the keyboard focus (the innermost focus child).
void ShowFocused(GtkWidget* document, GtkScrolledWindow* scroller)
{
    GtkWidget* focused = document;
    while (GTK_IS_CONTAINER(focused) && gtk_container_get_focus_child(GTK_CONTAINER(focused)))
        focused = gtk_container_get_focus_child(GTK_CONTAINER(focused));
    int x = 0, y = 0;
    if (focused == document || !gtk_widget_get_realized(focused)
        || !gtk_widget_translate_coordinates(focused, document, 0, 0, &x, &y))
        return;
    ShowSpan(
        gtk_scrolled_window_get_hadjustment(scroller), x, gtk_widget_get_allocated_width(focused));
    ShowSpan(
        gtk_scrolled_window_get_vadjustment(scroller), y, gtk_widget_get_allocated_height(focused));
}

} // namespace

LCustomCocoaScrollView::LCustomCocoaScrollView(const LUiRect& frame, int cid)
    : LCocoaViewBase(frame, nullptr)
{
    SetTag(cid);
}

LCustomCocoaScrollView::~LCustomCocoaScrollView()
{
    if (fViewport)
        g_object_unref(fViewport);
}

GtkWidget* LCustomCocoaScrollView::CreateWidget()
{
    GtkWidget* sw = gtk_scrolled_window_new(nullptr, nullptr);
    // Both scroll bars, shown when needed, always beside the document; no overshoot.
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(sw),
        fHorizontal ? GTK_POLICY_AUTOMATIC : GTK_POLICY_NEVER,
        fVertical ? GTK_POLICY_AUTOMATIC : GTK_POLICY_NEVER);
    gtk_scrolled_window_set_overlay_scrolling(GTK_SCROLLED_WINDOW(sw), FALSE);
    gtk_scrolled_window_set_kinetic_scrolling(GTK_SCROLLED_WINDOW(sw), FALSE);
    gtk_scrolled_window_set_shadow_type(
        GTK_SCROLLED_WINDOW(sw), fBorderType == 2 ? GTK_SHADOW_IN : GTK_SHADOW_NONE);
    fViewport = gtk_viewport_new(nullptr, nullptr);
    g_object_ref_sink(fViewport);
    gtk_viewport_set_shadow_type(GTK_VIEWPORT(fViewport), GTK_SHADOW_NONE);
    fDocumentLayout = vt_layout_new();
    gtk_container_add(GTK_CONTAINER(fViewport), fDocumentLayout);
    gtk_container_add(GTK_CONTAINER(sw), fViewport);
    gtk_widget_show_all(fViewport);
    // A control of the document that takes the keyboard focus out of sight (Tab) is scrolled
    // into view, the least way; one larger than the view (a canvas) is left where it is.
    g_signal_connect_after(fDocumentLayout, "set-focus-child",
        G_CALLBACK(+[](GtkContainer* document, GtkWidget* child, gpointer scroller) {
            if (child)
                ShowFocused(GTK_WIDGET(document), GTK_SCROLLED_WINDOW(scroller));
        }),
        sw);
    auto changed = +[](GtkAdjustment*, gpointer self) {
        static_cast<LCustomCocoaScrollView*>(self)->boundsDidChange();
    };
    g_signal_connect(gtk_scrolled_window_get_hadjustment(GTK_SCROLLED_WINDOW(sw)), "value-changed",
        G_CALLBACK(changed), this);
    g_signal_connect(gtk_scrolled_window_get_vadjustment(GTK_SCROLLED_WINDOW(sw)), "value-changed",
        G_CALLBACK(changed), this);
    return sw;
}

void LCustomCocoaScrollView::setScrollers(bool horizontal, bool vertical)
{
    fHorizontal = horizontal;
    fVertical = vertical;
    ApplyPolicy();
}

void LCustomCocoaScrollView::ApplyPolicy()
{
    GtkWidget* sw = ExistingWidget();
    if (!sw)
        return;
    // Without its scroll bar a document that scrolls itself still follows its caret and keeps
    // the visible size; a placed document gets its whole size.
    GtkPolicyType off = ScrollsItself() ? GTK_POLICY_EXTERNAL : GTK_POLICY_NEVER;
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(sw),
        fHorizontal ? GTK_POLICY_AUTOMATIC : off, fVertical ? GTK_POLICY_AUTOMATIC : off);
}

void LCustomCocoaScrollView::setBorderType(int type)
{
    fBorderType = type;
    if (GtkWidget* sw = ExistingWidget())
        gtk_scrolled_window_set_shadow_type(
            GTK_SCROLLED_WINDOW(sw), type == 2 ? GTK_SHADOW_IN : GTK_SHADOW_NONE);
}

bool LCustomCocoaScrollView::ScrollsItself() const
{
    GtkWidget* sw = ExistingWidget();
    GtkWidget* document = fDocument ? fDocument->ExistingWidget() : nullptr;
    return sw && document && gtk_widget_get_parent(document) == sw;
}

bool LCustomCocoaScrollView::AttachSubviewWidget(LView* child)
{
    GtkWidget* sw = ExistingWidget();
    if (!sw || !fViewport || child != fDocument.Get())
        return false;
    GtkWidget* widget = child->Widget();
    bool direct = GTK_IS_SCROLLABLE(widget);
    GtkWidget* wanted = direct ? widget : fViewport;
    GtkWidget* current = gtk_bin_get_child(GTK_BIN(sw));
    if (current != wanted) {
        if (current)
            gtk_container_remove(GTK_CONTAINER(sw), current);
        if (GtkWidget* old = gtk_widget_get_parent(wanted))
            gtk_container_remove(GTK_CONTAINER(old), wanted);
        gtk_container_add(GTK_CONTAINER(sw), wanted);
    }
    if (!direct)
        return false;
    ApplyPolicy();
    FitDocument();
    return true;
}

void LCustomCocoaScrollView::FitDocument()
{
    if (!ScrollsItself())
        return;
    LUiSize size = contentSize();
    fDocument->SetFrame(LUiRect { 0, 0, size.width, size.height });
}

void LCustomCocoaScrollView::setSubView(LView* view)
{
    if (!view)
        return;
    if (fDocument && fDocument.Get() != view)
        fDocument->RemoveFromSuperview();
    fDocument.Reset(view);
    AddSubview(view);
    fHasSubView = true;
    documentSizeChanged();
}

void LCustomCocoaScrollView::documentSizeChanged()
{
    Widget();
    if (!fDocument || !fDocumentLayout || ScrollsItself())
        return;
    LUiRect f = fDocument->Frame();
    vt_layout_set_request(
        VT_LAYOUT(fDocumentLayout), int(std::ceil(f.x + f.width)), int(std::ceil(f.y + f.height)));
}

void LCustomCocoaScrollView::FrameDidChange()
{
    FitDocument();
    if (auto* host = dynamic_cast<LCocoaPaintControlImpl*>(fDocument.Get()))
        host->updatePaintControlSize();
}

void LCustomCocoaScrollView::setEnabled(bool enabled)
{
    if (fDocument)
        fDocument->SetEnabled(enabled);
    if (GtkWidget* sw = ExistingWidget()) {
        if (GtkWidget* bar = gtk_scrolled_window_get_hscrollbar(GTK_SCROLLED_WINDOW(sw)))
            gtk_widget_set_sensitive(bar, enabled);
        if (GtkWidget* bar = gtk_scrolled_window_get_vscrollbar(GTK_SCROLLED_WINDOW(sw)))
            gtk_widget_set_sensitive(bar, enabled);
    }
}

bool LCustomCocoaScrollView::isEnabled() const
{
    return !fDocument || fDocument->IsEnabled();
}

bool LCustomCocoaScrollView::isScrollerVisible(bool vertical)
{
    GtkWidget* sw = Widget();
    GtkWidget* bar = vertical ? gtk_scrolled_window_get_vscrollbar(GTK_SCROLLED_WINDOW(sw))
                              : gtk_scrolled_window_get_hscrollbar(GTK_SCROLLED_WINDOW(sw));
    return bar && gtk_widget_get_visible(bar) && gtk_widget_get_child_visible(bar)
        && gtk_widget_get_mapped(bar);
}

bool LCustomCocoaScrollView::willShowScroller(bool vertical)
{
    if (!fDocument || ScrollsItself())
        return isScrollerVisible(vertical);
    // GTK shows or hides its bars only when it allocates; this is the same rule in advance.
    constexpr double kSlack = 0.01;
    const LUiRect frame = Frame(), document = fDocument->Frame();
    const double bar = scrollerWidth();
    const double docWidth = document.x + document.width, docHeight = document.y + document.height;
    bool v = fVertical && docHeight > frame.height + kSlack;
    bool h = fHorizontal && docWidth > frame.width + kSlack;
    if (v && !h)
        h = fHorizontal && docWidth > frame.width - bar + kSlack;
    if (h && !v)
        v = fVertical && docHeight > frame.height - bar + kSlack;
    return vertical ? v : h;
}

double LCustomCocoaScrollView::scrollerWidth()
{
    static int width = -1;
    if (width < 0) {
        GtkWidget* bar = gtk_scrollbar_new(GTK_ORIENTATION_VERTICAL, nullptr);
        g_object_ref_sink(bar);
        gtk_widget_show(bar);
        int minimum = 0, natural = 0;
        gtk_widget_get_preferred_width(bar, &minimum, &natural);
        g_object_unref(bar);
        width = std::max(minimum, natural);
    }
    return width;
}

LUiSize LCustomCocoaScrollView::contentSize()
{
    LUiSize size { Frame().width, Frame().height };
    GtkWidget* sw = Widget();
    if (isScrollerVisible(true))
        size.width -= gtk_widget_get_allocated_width(
            gtk_scrolled_window_get_vscrollbar(GTK_SCROLLED_WINDOW(sw)));
    if (isScrollerVisible(false))
        size.height -= gtk_widget_get_allocated_height(
            gtk_scrolled_window_get_hscrollbar(GTK_SCROLLED_WINDOW(sw)));
    size.width = std::max(0.0, size.width);
    size.height = std::max(0.0, size.height);
    return size;
}

void LCustomCocoaScrollView::scrollToPoint(LUiPoint point)
{
    GtkWidget* sw = Widget();
    // A document that grew since the last allocation may already be scrolled into.
    if (fDocument && !ScrollsItself()) {
        const LUiRect d = fDocument->Frame();
        GtkAdjustment* h = gtk_scrolled_window_get_hadjustment(GTK_SCROLLED_WINDOW(sw));
        GtkAdjustment* v = gtk_scrolled_window_get_vadjustment(GTK_SCROLLED_WINDOW(sw));
        if (gtk_adjustment_get_upper(h) < d.x + d.width)
            gtk_adjustment_set_upper(h, d.x + d.width);
        if (gtk_adjustment_get_upper(v) < d.y + d.height)
            gtk_adjustment_set_upper(v, d.y + d.height);
    }
    gtk_adjustment_set_value(gtk_scrolled_window_get_hadjustment(GTK_SCROLLED_WINDOW(sw)), point.x);
    gtk_adjustment_set_value(gtk_scrolled_window_get_vadjustment(GTK_SCROLLED_WINDOW(sw)), point.y);
    boundsDidChange();
}

void LCustomCocoaScrollView::boundsDidChange()
{
    GtkWidget* sw = ExistingWidget();
    if (!sw)
        return;
    LUiPoint origin {
        gtk_adjustment_get_value(gtk_scrolled_window_get_hadjustment(GTK_SCROLLED_WINDOW(sw))),
        gtk_adjustment_get_value(gtk_scrolled_window_get_vadjustment(GTK_SCROLLED_WINDOW(sw))),
    };
    SetBoundsOrigin(origin);
    if (pScrollView && pScrollView->HasScrollAndDocumentViews()
        && (isScrollerVisible(true) || isScrollerVisible(false))) {
        pScrollView->UpdateScroll();
        if (fDocument)
            fDocument->SetNeedsDisplay();
    }
}
