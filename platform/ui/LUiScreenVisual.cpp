#include "platform/ui/LUiScreenVisual.h"

#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

namespace {

#ifdef GDK_WINDOWING_X11
// GDK takes its system visual from the root window's GDK_VISUALS, where a GTK program that set
// up OpenGL left the visuals its GL driver preferred, also where this program leaves OpenGL out:
// its windows would then stand on another visual than the root window's, each with a colormap of
// its own, inside frames of the screen's visual. Without a compositing manager some screens show
// such windows black, though they drew themselves whole. Nothing here draws with OpenGL, so the
// screen's own visual loses nothing.
GdkVisual* gScreenVisual = nullptr;
void (*gWindowRealize)(GtkWidget*) = nullptr;

void RealizeOnScreenVisual(GtkWidget* widget)
{
    // A window that asked for a visual of its own (one with alpha, under a compositing manager)
    // keeps it.
    GdkScreen* screen = gtk_widget_get_screen(widget);
    if (gScreenVisual && gdk_visual_get_screen(gScreenVisual) == screen
        && gtk_widget_get_visual(widget) == gdk_screen_get_system_visual(screen))
        gtk_widget_set_visual(widget, gScreenVisual);
    gWindowRealize(widget);
}

// The realize of GtkWindow and of those of its subclasses whose classes copied it already: the
// others copy it from GtkWindow's class when they are first used, and those that have a realize
// of their own chain up to GtkWindow's.
void ReplaceRealize(GType type)
{
    if (auto* klass = static_cast<GtkWidgetClass*>(g_type_class_peek(type));
        klass && klass->realize == gWindowRealize)
        klass->realize = RealizeOnScreenVisual;
    guint n = 0;
    GType* children = g_type_children(type, &n);
    for (guint i = 0; i < n; ++i)
        ReplaceRealize(children[i]);
    g_free(children);
}
#endif

} // namespace

void LUiKeepWindowsOnScreenVisual()
{
#ifdef GDK_WINDOWING_X11
    GdkScreen* screen = gdk_screen_get_default();
    if (gWindowRealize || !screen || !GDK_IS_X11_SCREEN(screen))
        return;
    Display* display = GDK_SCREEN_XDISPLAY(screen);
    const int number = GDK_SCREEN_XNUMBER(screen);
    GdkVisual* own
        = gdk_x11_screen_lookup_visual(screen, XVisualIDFromVisual(DefaultVisual(display, number)));
    if (!own || own == gdk_screen_get_system_visual(screen))
        return;
    gScreenVisual = own;
    auto* windowClass = static_cast<GtkWidgetClass*>(g_type_class_ref(GTK_TYPE_WINDOW));
    gWindowRealize = windowClass->realize;
    ReplaceRealize(GTK_TYPE_WINDOW);
#endif
}
