#include "lfw/mac/cocoa/LCocoaSimpleControls.h"

#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "lfw/mac/cocoa/LCocoaWindow.h"
#include "platform/ui/LUiSystem.h"

#include <algorithm>
#include <cstdio>

namespace {

// A press on the control: a field being edited elsewhere commits first.
gboolean LoseEditFocusOnPress(GtkWidget*, GdkEventButton* event, gpointer data)
{
    if (event->type == GDK_BUTTON_PRESS)
        LCocoaView::loseEditControlFocus(static_cast<LView*>(data));
    return FALSE;
}

std::string gOpener = "xdg-open";

} // namespace

// --- image control -------------------------------------------------------------------------------

LCocoaImageControlImpl::LCocoaImageControlImpl(const LUiRect& frame)
    : LCocoaControlImpl(frame, nullptr)
{
}

LCocoaImageControlImpl::~LCocoaImageControlImpl()
{
    if (fImage)
        cairo_surface_destroy(fImage);
}

GtkWidget* LCocoaImageControlImpl::CreateWidget()
{
    GtkWidget* area = gtk_drawing_area_new();
    gtk_widget_add_events(area, GDK_BUTTON_PRESS_MASK);
    g_signal_connect(area, "button-press-event", G_CALLBACK(LoseEditFocusOnPress), this);
    g_signal_connect(area, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t* cr, gpointer d) -> gboolean {
        auto* self = static_cast<LCocoaImageControlImpl*>(d);
        LUiRect r = self->imageRect();
        if (!self->fImage || r.width <= 0 || r.height <= 0)
            return FALSE;
        int w = cairo_image_surface_get_width(self->fImage);
        int h = cairo_image_surface_get_height(self->fImage);
        cairo_save(cr);
        cairo_translate(cr, r.x, r.y);
        cairo_scale(cr, r.width / w, r.height / h);
        cairo_set_source_surface(cr, self->fImage, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
        cairo_paint(cr);
        cairo_restore(cr);
        return FALSE;
    }),
        this);
    return area;
}

LUiRect LCocoaImageControlImpl::imageRect() const
{
    if (!fImage)
        return {};
    double w = cairo_image_surface_get_width(fImage);
    double h = cairo_image_surface_get_height(fImage);
    LUiRect b = Bounds();
    if (w <= 0 || h <= 0 || b.width <= 0 || b.height <= 0)
        return {};
    double k = std::min(b.width / w, b.height / h);
    return LUiRect { (b.width - w * k) / 2, (b.height - h * k) / 2, w * k, h * k };
}

void LCocoaImageControlImpl::setImageWithResourceID(int id)
{
    char name[16];
    snprintf(name, sizeof name, "%d", id);
    setImageWithResourceName(name);
}

void LCocoaImageControlImpl::setImageWithResourceName(const char* name)
{
    auto load = LCocoaWindowHooksGet().loadResourceImage;
    cairo_surface_t* image = name && load ? load(name) : nullptr;
    if (!image)
        return;
    setImageWithResourceImage(image);
    cairo_surface_destroy(image);
}

void LCocoaImageControlImpl::setImageWithResourceImage(cairo_surface_t* image)
{
    if (image && cairo_surface_get_type(image) != CAIRO_SURFACE_TYPE_IMAGE)
        image = nullptr;
    if (image)
        cairo_surface_reference(image);
    if (fImage)
        cairo_surface_destroy(fImage);
    fImage = image;
    ImageDidChange();
}

void LCocoaImageControlImpl::ImageDidChange()
{
    // A view without a size takes the image's.
    LUiRect f = Frame();
    if (fImage && (f.width == 0 || f.height == 0)) {
        f.width = cairo_image_surface_get_width(fImage);
        f.height = cairo_image_surface_get_height(fImage);
        SetFrame(f);
    }
    SetNeedsDisplay();
    if (GtkWidget* w = ExistingWidget())
        gtk_widget_queue_draw(w);
}

// --- group box ---------------------------------------------------------------------------------

LCocoaGroupImpl::LCocoaGroupImpl(const LUiRect& frame, const char* title)
    : LCocoaControlImpl(frame, nullptr)
{
    SetAnswersEnabled(true);
    LCocoaControlFont f;
    f.size = LUiSystemFontSize() * 11.0 / 13.0; // the small system size
    setFont(f);
    setTitle(title);
}

GtkWidget* LCocoaGroupImpl::CreateWidget()
{
    GtkWidget* frame = gtk_frame_new(fTitle.empty() ? nullptr : fTitle.c_str());
    gtk_widget_set_opacity(frame, enabled ? 1.0 : 0.5);
    // The window's background under it: the group covers what lies behind.
    GtkWidget* box = gtk_event_box_new();
    gtk_container_add(GTK_CONTAINER(box), frame);
    gtk_widget_show(frame);
    gtk_widget_add_events(box, GDK_BUTTON_PRESS_MASK);
    g_signal_connect(box, "button-press-event", G_CALLBACK(LoseEditFocusOnPress), this);
    g_signal_connect(box, "draw", G_CALLBACK(+[](GtkWidget* w, cairo_t* cr, gpointer) -> gboolean {
        GtkStyleContext* sc = gtk_widget_get_style_context(gtk_widget_get_toplevel(w));
        gtk_render_background(
            sc, cr, 0, 0, gtk_widget_get_allocated_width(w), gtk_widget_get_allocated_height(w));
        return FALSE;
    }),
        this);
    setExtraStyle("");
    return box;
}

void LCocoaGroupImpl::setTitle(const char* title)
{
    fTitle = LCocoaControl::ValidText(title);
    if (GtkWidget* box = ExistingWidget()) {
        GtkWidget* frame = gtk_bin_get_child(GTK_BIN(box));
        if (fTitle.empty())
            gtk_frame_set_label_widget(GTK_FRAME(frame), nullptr);
        else {
            gtk_frame_set_label(GTK_FRAME(frame), fTitle.c_str());
            ApplyStyle(gtk_frame_get_label_widget(GTK_FRAME(frame)));
        }
    }
    AccessibleChanged();
}

void LCocoaGroupImpl::setEnabled(bool on)
{
    enabled = on;
    if (GtkWidget* box = ExistingWidget())
        gtk_widget_set_opacity(gtk_bin_get_child(GTK_BIN(box)), on ? 1.0 : 0.5);
    SetNeedsDisplay();
}

// --- separator ---------------------------------------------------------------------------------

LCocoaSeparatorImpl::LCocoaSeparatorImpl(const LUiRect& frame)
    : LCocoaControlImpl(frame, nullptr)
{
}

GtkWidget* LCocoaSeparatorImpl::CreateWidget()
{
    GtkWidget* box = gtk_event_box_new();
    gtk_event_box_set_visible_window(GTK_EVENT_BOX(box), FALSE);
    GtkWidget* sep = gtk_separator_new(GTK_ORIENTATION_HORIZONTAL);
    gtk_widget_set_valign(sep, GTK_ALIGN_CENTER);
    gtk_container_add(GTK_CONTAINER(box), sep);
    gtk_widget_show(sep);
    g_signal_connect(box, "button-press-event", G_CALLBACK(LoseEditFocusOnPress), this);
    return box;
}

// --- progress bar ------------------------------------------------------------------------------

LCocoaProgressBarImpl::LCocoaProgressBarImpl(const LUiRect& frame)
    : LCocoaControlImpl(frame, nullptr)
{
}

LCocoaProgressBarImpl::~LCocoaProgressBarImpl()
{
    if (fPulse)
        g_source_remove(fPulse);
}

GtkWidget* LCocoaProgressBarImpl::CreateWidget()
{
    GtkWidget* bar = gtk_progress_bar_new();
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(bar), fValue / 100);
    gtk_widget_set_valign(bar, GTK_ALIGN_CENTER);
    GtkWidget* box = gtk_event_box_new();
    gtk_event_box_set_visible_window(GTK_EVENT_BOX(box), FALSE);
    gtk_container_add(GTK_CONTAINER(box), bar);
    gtk_widget_show(bar);
    g_signal_connect(box, "button-press-event", G_CALLBACK(LoseEditFocusOnPress), this);
    return box;
}

void LCocoaProgressBarImpl::setDoubleValue(double value)
{
    if (!(value >= 0))
        value = 0;
    fValue = std::min(value, 100.0);
    if (GtkWidget* box = ExistingWidget(); box && !fPulse)
        gtk_progress_bar_set_fraction(
            GTK_PROGRESS_BAR(gtk_bin_get_child(GTK_BIN(box))), fValue / 100);
}

void LCocoaProgressBarImpl::enableIndeterminate(bool on)
{
    if (on == (fPulse != 0))
        return;
    if (on) {
        fPulse = g_timeout_add(
            100,
            +[](gpointer d) -> gboolean {
                auto* self = static_cast<LCocoaProgressBarImpl*>(d);
                if (GtkWidget* box = self->ExistingWidget())
                    gtk_progress_bar_pulse(GTK_PROGRESS_BAR(gtk_bin_get_child(GTK_BIN(box))));
                return G_SOURCE_CONTINUE;
            },
            this);
    } else {
        g_source_remove(fPulse);
        fPulse = 0;
        setDoubleValue(fValue);
    }
}

// --- date picker -------------------------------------------------------------------------------

LCocoaDateTimeImpl::LCocoaDateTimeImpl(const LUiRect& frame, LCocoaWindow* window)
    : LCocoaControlImpl(frame, window)
    , fValue(time(nullptr))
{
    SetAnswersEnabled(true);
    SetAcceptsFocus(true);
}

GtkWidget* LCocoaDateTimeImpl::CreateWidget()
{
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    fEntry = gtk_entry_new();
    gtk_editable_set_editable(GTK_EDITABLE(fEntry), FALSE);
    gtk_entry_set_width_chars(GTK_ENTRY(fEntry), 1);
    GtkWidget* button = gtk_menu_button_new();
    GtkWidget* popover = gtk_popover_new(button);
    fCalendar = gtk_calendar_new();
    gtk_container_add(GTK_CONTAINER(popover), fCalendar);
    gtk_widget_show(fCalendar);
    gtk_menu_button_set_popover(GTK_MENU_BUTTON(button), popover);
    gtk_box_pack_start(GTK_BOX(box), fEntry, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(box), button, FALSE, FALSE, 0);
    gtk_widget_show_all(box);
    g_signal_connect(fCalendar, "day-selected", G_CALLBACK(+[](GtkCalendar* c, gpointer d) {
        auto* self = static_cast<LCocoaDateTimeImpl*>(d);
        if (self->bDisableChangedCmd)
            return;
        guint y = 0;
        guint m = 0;
        guint day = 0;
        gtk_calendar_get_date(c, &y, &m, &day);
        struct tm t;
        time_t v = self->fValue;
        localtime_r(&v, &t);
        t.tm_year = int(y) - 1900;
        t.tm_mon = int(m);
        t.tm_mday = int(day);
        t.tm_isdst = -1;
        self->handleDatePickerChanged(mktime(&t));
    }),
        this);
    g_signal_connect(button, "button-press-event",
        G_CALLBACK(+[](GtkWidget*, GdkEventButton* e, gpointer d) -> gboolean {
            auto* self = static_cast<LCocoaDateTimeImpl*>(d);
            if (e->type == GDK_BUTTON_PRESS) {
                LCocoaView::loseEditControlFocus(self);
                if (self->fEntry && !gtk_widget_has_focus(self->fEntry))
                    gtk_widget_grab_focus(self->fEntry);
            }
            return FALSE;
        }),
        this);
    ApplyStyle(fEntry);
    UpdateText();
    return box;
}

void LCocoaDateTimeImpl::UpdateText()
{
    if (!fEntry)
        return;
    struct tm t;
    localtime_r(&fValue, &t);
    char s[64];
    strftime(s, sizeof s, "%Y-%m-%d %H:%M", &t);
    gtk_entry_set_text(GTK_ENTRY(fEntry), s);
    bool was = bDisableChangedCmd;
    bDisableChangedCmd = true;
    gtk_calendar_select_month(GTK_CALENDAR(fCalendar), guint(t.tm_mon), guint(t.tm_year + 1900));
    gtk_calendar_select_day(GTK_CALENDAR(fCalendar), guint(t.tm_mday));
    bDisableChangedCmd = was;
}

void LCocoaDateTimeImpl::setDateTime(time_t value)
{
    bool was = bDisableChangedCmd;
    bDisableChangedCmd = true;
    fValue = value;
    UpdateText();
    bDisableChangedCmd = was;
}

void LCocoaDateTimeImpl::handleDatePickerChanged(time_t value)
{
    fValue = value;
    UpdateText();
    if (!bDisableChangedCmd) {
        LUiRef<LView> hold(this);
        LCocoaView::sendCommandWithKey(this, &keyCmdDTPChanged, pWindow);
    }
}

// --- hyperlink ---------------------------------------------------------------------------------

LCocoaHyperLinkImpl::LCocoaHyperLinkImpl(const LUiRect& frame, LCocoaWindow* window)
    : LCocoaControlImpl(frame, window)
{
    SetAcceptsFocus(true);
}

void LCocoaHyperLinkImpl::setOpener(const char* program)
{
    gOpener = program && *program ? program : "xdg-open";
}

GtkWidget* LCocoaHyperLinkImpl::CreateWidget()
{
    GtkWidget* box = gtk_event_box_new();
    gtk_event_box_set_visible_window(GTK_EVENT_BOX(box), FALSE);
    fLabel = gtk_label_new(fText.c_str());
    gtk_label_set_xalign(GTK_LABEL(fLabel), fAlignment == 1 ? 0.5f : fAlignment == 2 ? 1.0f : 0.0f);
    gtk_label_set_yalign(GTK_LABEL(fLabel), 0);
    gtk_container_add(GTK_CONTAINER(box), fLabel);
    gtk_widget_show(fLabel);
    gtk_widget_add_events(box, GDK_BUTTON_PRESS_MASK);
    g_signal_connect(box, "button-press-event",
        G_CALLBACK(+[](GtkWidget*, GdkEventButton* e, gpointer d) -> gboolean {
            auto* self = static_cast<LCocoaHyperLinkImpl*>(d);
            if (e->type != GDK_BUTTON_PRESS)
                return FALSE;
            if (e->button == 1)
                self->mouseDown();
            else
                LCocoaView::loseEditControlFocus(self);
            return TRUE;
        }),
        this);
    // Return and Space open the link as a click does; the keyboard focus is shown as on the
    // buttons, around the text.
    g_signal_connect(box, "key-press-event",
        G_CALLBACK(+[](GtkWidget*, GdkEventKey* e, gpointer d) -> gboolean {
            if (e->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK | GDK_SUPER_MASK))
                return FALSE;
            switch (e->keyval) {
            case GDK_KEY_Return:
            case GDK_KEY_KP_Enter:
            case GDK_KEY_ISO_Enter:
            case GDK_KEY_space:
            case GDK_KEY_KP_Space:
                static_cast<LCocoaHyperLinkImpl*>(d)->mouseDown();
                return TRUE;
            default:
                return FALSE;
            }
        }),
        this);
    g_signal_connect_after(box, "draw", G_CALLBACK(+[](GtkWidget* w, cairo_t* cr, gpointer d) {
        auto* self = static_cast<LCocoaHyperLinkImpl*>(d);
        if (gtk_widget_has_visible_focus(w) && self->fLabel)
            self->DrawFocus(w, cr);
        return FALSE;
    }),
        this);
    g_signal_connect(box, "realize", G_CALLBACK(+[](GtkWidget* w, gpointer) {
        // The pointing hand over the link (the event box's input window).
        GdkWindow* win = nullptr;
        GList* children = gdk_window_peek_children(gtk_widget_get_parent_window(w));
        for (GList* c = children; c; c = c->next) {
            gpointer owner = nullptr;
            gdk_window_get_user_data(GDK_WINDOW(c->data), &owner);
            if (owner == w)
                win = GDK_WINDOW(c->data);
        }
        if (win) {
            GdkCursor* cursor = gdk_cursor_new_from_name(gtk_widget_get_display(w), "pointer");
            gdk_window_set_cursor(win, cursor);
            if (cursor)
                g_object_unref(cursor);
        }
    }),
        this);
    updateText();
    return box;
}

void LCocoaHyperLinkImpl::DrawFocus(GtkWidget* box, cairo_t* cr)
{
    // The text's box within the label, as the label places it; the ring stands a little outside
    // it, inside the control.
    PangoRectangle text;
    pango_layout_get_pixel_extents(gtk_label_get_layout(GTK_LABEL(fLabel)), nullptr, &text);
    int lx = 0, ly = 0;
    gtk_widget_translate_coordinates(fLabel, box, 0, 0, &lx, &ly);
    const int labelWidth = gtk_widget_get_allocated_width(fLabel);
    const double tx
        = lx + gtk_label_get_xalign(GTK_LABEL(fLabel)) * std::max(0, labelWidth - text.width);
    const double width = gtk_widget_get_allocated_width(box);
    const double height = gtk_widget_get_allocated_height(box);
    constexpr double kAround = 2;
    const double x0 = std::max(0.0, tx - kAround);
    const double x1 = std::min(width, tx + text.width + kAround);
    if (x1 <= x0)
        return;
    // The ring on the rectangle's outermost pixels (the theme draws it further in, over the text).
    static GtkCssProvider* onTheEdges = [] {
        GtkCssProvider* provider = gtk_css_provider_new();
        gtk_css_provider_load_from_data(provider, "* { outline-offset: -1px; }", -1, nullptr);
        return provider;
    }();
    GtkStyleContext* context = gtk_widget_get_style_context(box);
    gtk_style_context_add_provider(
        context, GTK_STYLE_PROVIDER(onTheEdges), GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    gtk_render_focus(context, cr, x0, 0, x1 - x0, height);
}

void LCocoaHyperLinkImpl::setURL(const char* url)
{
    fURL = LCocoaControl::ValidText(url);
}

void LCocoaHyperLinkImpl::setText(const char* text)
{
    fText = LCocoaControl::ValidText(text);
    if (fLabel)
        gtk_label_set_text(GTK_LABEL(fLabel), fText.c_str());
    updateText();
    AccessibleChanged();
}

void LCocoaHyperLinkImpl::setColor(double red, double green, double blue)
{
    fRed = std::clamp(red, 0.0, 1.0);
    fGreen = std::clamp(green, 0.0, 1.0);
    fBlue = std::clamp(blue, 0.0, 1.0);
    updateText();
}

void LCocoaHyperLinkImpl::setTextAlignment(int alignment)
{
    fAlignment = alignment;
    if (fLabel)
        gtk_label_set_xalign(GTK_LABEL(fLabel),
            alignment == 1       ? 0.5f
                : alignment == 2 ? 1.0f
                                 : 0.0f);
}

void LCocoaHyperLinkImpl::Apply(bool underline)
{
    fShownUnderline = underline;
    if (!fLabel)
        return;
    PangoAttrList* attrs = pango_attr_list_new();
    pango_attr_list_insert(attrs,
        pango_attr_foreground_new(guint16(fRed * 65535 + 0.5), guint16(fGreen * 65535 + 0.5),
            guint16(fBlue * 65535 + 0.5)));
    pango_attr_list_insert(
        attrs, pango_attr_underline_new(underline ? PANGO_UNDERLINE_SINGLE : PANGO_UNDERLINE_NONE));
    gtk_label_set_attributes(GTK_LABEL(fLabel), attrs);
    pango_attr_list_unref(attrs);
    ApplyStyle(fLabel);
    gtk_widget_queue_draw(fLabel);
}

void LCocoaHyperLinkImpl::updateText()
{
    Apply(bUnderLine);
}

void LCocoaHyperLinkImpl::updateTextNormal()
{
    Apply(false);
}

void LCocoaHyperLinkImpl::mouseDown()
{
    LUiRef<LView> hold(this);
    LCocoaView::loseEditControlFocus(this);
    if (fURL.empty()) {
        LCocoaView::sendCommand(this, Tag(), pWindow);
        return;
    }
    const char* argv[] = { gOpener.c_str(), fURL.c_str(), nullptr };
    GError* error = nullptr;
    if (!g_spawn_async(nullptr, const_cast<char**>(argv), nullptr,
            GSpawnFlags(
                G_SPAWN_SEARCH_PATH | G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL),
            nullptr, nullptr, nullptr, &error)) {
        g_warning("Länken kunde inte öppnas: %s", error ? error->message : "");
        g_clear_error(&error);
    }
}
