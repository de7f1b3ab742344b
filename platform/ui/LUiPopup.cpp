#include "platform/ui/LUiPopup.h"

#include "platform/ui/LUiSystem.h"

#include <algorithm>
#include <cmath>

LUiPopup::LUiPopup()
{
    if (!LUiIsAvailable())
        return;
    fWindow = GTK_WINDOW(gtk_window_new(GTK_WINDOW_POPUP));
    g_object_ref_sink(fWindow);
    gtk_window_set_type_hint(fWindow, GDK_WINDOW_TYPE_HINT_TOOLTIP);
    gtk_window_set_resizable(fWindow, FALSE);
    gtk_window_set_accept_focus(fWindow, FALSE);
    gtk_widget_set_app_paintable(GTK_WIDGET(fWindow), TRUE);
    gtk_window_set_default_size(fWindow, 1, 1);
    g_signal_connect(fWindow, "draw", G_CALLBACK(OnDraw), this);
    g_signal_connect(fWindow, "notify::scale-factor",
        G_CALLBACK(+[](GObject*, GParamSpec*, gpointer self) {
            static_cast<LUiPopup*>(self)->ScaleChanged();
        }),
        this);
    // No input anywhere: clicks reach the windows below.
    cairo_region_t* none = cairo_region_create();
    gtk_widget_input_shape_combine_region(GTK_WIDGET(fWindow), none);
    cairo_region_destroy(none);
}

LUiPopup::~LUiPopup()
{
    if (!fWindow)
        return;
    g_signal_handlers_disconnect_matched(
        fWindow, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr, this);
    gtk_widget_destroy(GTK_WIDGET(fWindow));
    g_object_unref(fWindow);
}

gboolean LUiPopup::OnDraw(GtkWidget*, cairo_t* cr, gpointer data)
{
    auto* self = static_cast<LUiPopup*>(data);
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr);
    cairo_restore(cr);
    if (self->fDraw)
        self->fDraw(cr, self->fFrame.width, self->fFrame.height);
    return TRUE;
}

void LUiPopup::SetFrame(const LUiRect& frame)
{
    LUiRect f { std::floor(frame.x + 0.5), std::floor(frame.y + 0.5),
        std::max(1.0, std::ceil(frame.width)), std::max(1.0, std::ceil(frame.height)) };
    bool resized = f.width != fFrame.width || f.height != fFrame.height;
    fFrame = f;
    if (!fWindow)
        return;
    gtk_window_move(fWindow, int(f.x), int(f.y));
    if (resized) {
        gtk_widget_set_size_request(GTK_WIDGET(fWindow), int(f.width), int(f.height));
        gtk_window_resize(fWindow, int(f.width), int(f.height));
    }
    Reshape();
}

void LUiPopup::Reshape()
{
    if (!fWindow)
        return;
    // The shape is what the owner draws, as an on/off mask.
    int w = int(fFrame.width), h = int(fFrame.height);
    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
    cairo_t* cr = cairo_create(mask);
    if (fDraw)
        fDraw(cr, fFrame.width, fFrame.height);
    cairo_destroy(cr);
    cairo_surface_flush(mask);
    cairo_region_t* region = gdk_cairo_region_create_from_surface(mask);
    cairo_surface_destroy(mask);
    gtk_widget_shape_combine_region(GTK_WIDGET(fWindow), region);
    cairo_region_destroy(region);
    cairo_region_t* none = cairo_region_create();
    gtk_widget_input_shape_combine_region(GTK_WIDGET(fWindow), none);
    cairo_region_destroy(none);
}

void LUiPopup::ScaleChanged()
{
    // GDK gives the window its pixels at the new scale, but the surface drawn into keeps those
    // it had until the window's size changes in points: all but the part that size covers would
    // stay as it was. The window is made afresh at the new scale, shown again if it showed.
    const bool shown = IsVisible();
    gtk_widget_hide(GTK_WIDGET(fWindow));
    gtk_widget_unrealize(GTK_WIDGET(fWindow));
    gtk_window_move(fWindow, int(fFrame.x), int(fFrame.y));
    Reshape();
    if (shown)
        Show();
}

void LUiPopup::Show()
{
    if (!fWindow)
        return;
    gtk_widget_show(GTK_WIDGET(fWindow));
    if (GdkWindow* gw = gtk_widget_get_window(GTK_WIDGET(fWindow)))
        gdk_window_raise(gw);
}

void LUiPopup::Hide()
{
    if (fWindow)
        gtk_widget_hide(GTK_WIDGET(fWindow));
}

bool LUiPopup::IsVisible() const
{
    return fWindow && gtk_widget_get_visible(GTK_WIDGET(fWindow));
}

void LUiPopup::Redraw()
{
    Reshape();
    if (fWindow)
        gtk_widget_queue_draw(GTK_WIDGET(fWindow));
}
