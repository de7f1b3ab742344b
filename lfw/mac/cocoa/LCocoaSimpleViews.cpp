#include "lfw/mac/cocoa/LCocoaSimpleViews.h"

#include <algorithm>
#include <cmath>

LCocoaProgressIndicatorImpl::LCocoaProgressIndicatorImpl(const LUiRect& frame, LCocoaWindow* window)
    : LCocoaViewBase(frame, window)
{
}

LCocoaProgressIndicatorImpl::~LCocoaProgressIndicatorImpl()
{
    if (fPulse)
        g_source_remove(fPulse);
}

GtkWidget* LCocoaProgressIndicatorImpl::CreateWidget()
{
    GtkWidget* bar = gtk_progress_bar_new();
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(bar), fValue);
    gtk_widget_set_valign(bar, GTK_ALIGN_CENTER);
    return bar;
}

void LCocoaProgressIndicatorImpl::setDoubleValue(double fraction)
{
    fValue = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
    if (GtkWidget* bar = ExistingWidget(); bar && !fPulse)
        gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(bar), fValue);
}

void LCocoaProgressIndicatorImpl::setIndeterminate(bool on)
{
    if (on == (fPulse != 0))
        return;
    if (on) {
        fPulse = g_timeout_add(
            100,
            +[](gpointer self) -> gboolean {
                auto* view = static_cast<LCocoaProgressIndicatorImpl*>(self);
                if (GtkWidget* bar = view->ExistingWidget())
                    gtk_progress_bar_pulse(GTK_PROGRESS_BAR(bar));
                return G_SOURCE_CONTINUE;
            },
            this);
    } else {
        g_source_remove(fPulse);
        fPulse = 0;
        if (GtkWidget* bar = ExistingWidget())
            gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(bar), fValue);
    }
}

LCocoaImageViewImpl::LCocoaImageViewImpl(const LUiRect& frame, LCocoaWindow* window)
    : LCocoaViewBase(frame, window)
{
}

GtkWidget* LCocoaImageViewImpl::CreateWidget()
{
    GtkWidget* image = gtk_image_new_from_icon_name(
        fIconName.empty() ? "dialog-information" : fIconName.c_str(), GTK_ICON_SIZE_DIALOG);
    gtk_image_set_pixel_size(GTK_IMAGE(image), std::max(16, int(Frame().width)));
    return image;
}

void LCocoaImageViewImpl::setIconName(const char* name)
{
    fIconName = name ? name : "";
    if (GtkWidget* image = ExistingWidget())
        gtk_image_set_from_icon_name(GTK_IMAGE(image), fIconName.c_str(), GTK_ICON_SIZE_DIALOG);
}

void LCocoaImageViewImpl::FrameDidChange()
{
    if (GtkWidget* image = ExistingWidget())
        gtk_image_set_pixel_size(GTK_IMAGE(image), std::max(16, int(Frame().width)));
}

LCocoaHorizontalLineImpl::LCocoaHorizontalLineImpl(const LUiRect& frame, LCocoaWindow* window)
    : LCocoaViewBase(frame, window)
{
}

GtkWidget* LCocoaHorizontalLineImpl::CreateWidget()
{
    return gtk_separator_new(GTK_ORIENTATION_HORIZONTAL);
}
