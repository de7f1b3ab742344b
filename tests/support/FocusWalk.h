// Walks of the keyboard through a window with the real keys (xdotool): the stops Tab (or
// Shift+Tab) goes through, each with its box in the window and the pixels of that box with and
// without the focus, so that a test can tell whether a stop shows its focus. Header only; for
// test programs (VT_BINARY_DIR).
#pragma once

#include "platform/ui/LNativeWindow.h"
#include "support/UiTestSupport.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace focuswalk {

// One stop of the keyboard: the focused widget's box in the window (points) and its name; the
// pixels of that box while the widget had the focus and while the next stop had it. A toolbar is
// one stop (its group), whichever of its buttons Tab enters at: the first going forward and the
// last going back, as GTK's toolbars are entered.
struct Stop {
    GtkWidget* widget = nullptr;
    GtkWidget* group = nullptr;
    int x = 0, y = 0, w = 0, h = 0;
    std::string name;
    std::vector<uint32_t> focused, unfocused;
};

// The pixels of the stop's box (device pixels) as the window draws them now.
inline std::vector<uint32_t> Pixels(LNativeWindow* window, const Stop& stop)
{
    GtkWidget* top = GTK_WIDGET(window->Gtk());
    cairo_surface_t* surface = uitest::DrawnSurface(top);
    std::vector<uint32_t> pixels;
    if (!surface)
        return pixels;
    const int scale = std::max(1, gtk_widget_get_scale_factor(top));
    const int w = gtk_widget_get_allocated_width(top), h = gtk_widget_get_allocated_height(top);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    for (int y = std::max(0, stop.y * scale); y < std::min(h, stop.y + stop.h) * scale; ++y)
        for (int x = std::max(0, stop.x * scale); x < std::min(w, stop.x + stop.w) * scale; ++x)
            pixels.push_back(reinterpret_cast<const uint32_t*>(data + y * stride)[x]);
    cairo_surface_destroy(surface);
    return pixels;
}

// Keeps the window as drawn now under <build>/test-artefacts/<folder>/<name>.png.
inline void KeepPicture(LNativeWindow* window, std::string name, const char* folder = "focus")
{
    for (char& c : name)
        if (!g_ascii_isalnum(c) && !(c & 0x80))
            c = '-';
    uitest::SaveScreenshot(window, uitest::ArtefactPath(folder, name.c_str()));
}

inline std::string NameOf(GtkWidget* w)
{
    std::string name = G_OBJECT_TYPE_NAME(w);
    if (GTK_IS_BUTTON(w) && gtk_button_get_label(GTK_BUTTON(w)))
        name += std::string(" \"") + gtk_button_get_label(GTK_BUTTON(w)) + "\"";
    return name;
}

// The window's focus now as a stop; false when nothing has the focus.
inline bool StopOf(LNativeWindow* window, Stop& stop)
{
    GtkWidget* top = GTK_WIDGET(window->Gtk());
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(top));
    if (!focus)
        return false;
    int x = 0, y = 0;
    gtk_widget_translate_coordinates(focus, top, 0, 0, &x, &y);
    stop.widget = focus;
    stop.group = focus;
    for (GtkWidget* w = focus; w; w = gtk_widget_get_parent(w))
        if (GTK_IS_TOOLBAR(w))
            stop.group = w;
    stop.x = x;
    stop.y = y;
    stop.w = gtk_widget_get_allocated_width(focus);
    stop.h = gtk_widget_get_allocated_height(focus);
    stop.name = NameOf(focus);
    return true;
}

// Presses keys in the window and waits until they have been handled.
inline void Key(LNativeWindow* window, const char* key)
{
    uitest::PressKeys(window, key);
}

// Presses a key that may close the window or open a modal one (its release may never come
// back to the window).
inline void LastKey(LNativeWindow* window, const char* key)
{
    gdk_display_sync(gdk_display_get_default());
    uitest::Run(
        "xdotool windowfocus --sync " + std::to_string(window->XWindowId()) + " key " + key);
}

// The stops Tab (or Shift+Tab) goes through from the focus the window starts with, until it
// comes back to it, or to its toolbar (at most limit). With pixels, each stop's box is kept as
// drawn with the focus on it (the first stop's once the keyboard has come round to it) and with the
// focus on the next.
inline std::vector<Stop> Walk(
    LNativeWindow* window, const char* key, bool pixels = false, int limit = 80)
{
    std::vector<Stop> stops;
    Stop first;
    if (!StopOf(window, first)) {
        Key(window, key);
        if (!StopOf(window, first))
            return stops;
    }
    stops.push_back(first);
    for (int i = 0; i < limit; ++i) {
        Key(window, key);
        // The box is read once the window is laid out and drawn with the focus moved: a
        // control just shown (the page of another tab) has its place only then.
        uitest::PumpUntilDrawn(window);
        Stop next;
        const bool moved = StopOf(window, next);
        if (pixels && moved) {
            Stop& last = stops.back();
            last.unfocused = Pixels(window, last);
            if (next.group == first.group)
                stops.front().focused = Pixels(window, stops.front());
            else
                next.focused = Pixels(window, next);
        }
        if (!moved || next.group == first.group)
            break;
        stops.push_back(next);
    }
    return stops;
}

// Presses Tab until the widget has the focus (at most stops times); whether it has it.
inline bool TabTo(LNativeWindow* window, GtkWidget* widget, size_t stops)
{
    for (size_t i = 0; i < stops && gtk_window_get_focus(GTK_WINDOW(window->Gtk())) != widget; ++i)
        Key(window, "Tab");
    return gtk_window_get_focus(GTK_WINDOW(window->Gtk())) == widget;
}

inline std::string Describe(const std::vector<Stop>& stops)
{
    std::string out;
    for (const Stop& s : stops)
        out += "  " + s.name + " at " + std::to_string(s.x) + "," + std::to_string(s.y) + " "
            + std::to_string(s.w) + "x" + std::to_string(s.h) + "\n";
    return out;
}

} // namespace focuswalk
