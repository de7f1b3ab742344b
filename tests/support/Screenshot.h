// Screenshots of windows under test, kept as artefacts in the build folder (header only: the
// build folder is known to the test programs).
#pragma once

#include "platform/ui/LNativeWindow.h"
#include "support/ScreenCopies.h"
#include "support/UiTestSupport.h"

#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace uitest {

// Saves what the window's widgets draw (device pixels, whatever covers the window on the
// screen) as a PNG under <build>/test-artefacts/; answers the file's path, or "" when no picture
// could be taken. The copies of pictures that the window's paints asked for are waited for. At
// GDK_SCALE=2 the name ends in "-scale2".
inline std::string Screenshot(LNativeWindow* window, const std::string& name)
{
    GtkWidget* top = window && window->Gtk() ? GTK_WIDGET(window->Gtk()) : nullptr;
    if (!top || !gtk_widget_get_realized(top))
        return std::string();
    gdk_display_sync(gdk_display_get_default());
    Pump(150);
    WaitForScreenCopies();
    std::string dir = std::string(VT_BINARY_DIR) + "/test-artefacts";
    mkdir(dir.c_str(), 0755);
    int scale = gtk_widget_get_scale_factor(top);
    int w = gtk_widget_get_allocated_width(top), h = gtk_widget_get_allocated_height(top);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w * scale, h * scale);
    cairo_surface_set_device_scale(surface, scale, scale);
    cairo_t* cr = cairo_create(surface);
    gtk_widget_draw(top, cr);
    cairo_destroy(cr);
    const char* env = getenv("GDK_SCALE");
    std::string path = dir + "/" + name + (env && atoi(env) > 1 ? "-scale2" : "") + ".png";
    bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok ? path : std::string();
}

// Saves a part of the whole screen (device pixels), where pop-up windows such as tips show too.
inline std::string ScreenshotArea(int x, int y, int w, int h, const std::string& name)
{
    gdk_display_sync(gdk_display_get_default());
    Pump(150);
    std::string dir = std::string(VT_BINARY_DIR) + "/test-artefacts";
    mkdir(dir.c_str(), 0755);
    const char* scale = getenv("GDK_SCALE");
    std::string path = dir + "/" + name + (scale && atoi(scale) > 1 ? "-scale2" : "") + ".png";
    int status = 0;
    Run("import -window root -crop " + std::to_string(w) + "x" + std::to_string(h) + "+"
            + std::to_string(x) + "+" + std::to_string(y) + " '" + path + "' 2>/dev/null",
        &status);
    return status == 0 ? path : std::string();
}

} // namespace uitest
