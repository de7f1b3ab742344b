// Starting the toolkit leaves OpenGL out (nothing is drawn with it) and the environment as it
// was, so that programs started later get the user's own; the theme's check and radio marks look
// as the theme draws them. Run also at a backing scale of 2 (VT_ALSO_SCALED).
#include "platform/ui/LUiSystem.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdint>
#include <cstdlib>
#include <string>

TEST(UiInit, OpenGlIsLeftOutAndTheEnvironmentKept)
{
    unsetenv("GDK_GL");
    if (!LUiInit())
        GTEST_SKIP() << "no display";
    EXPECT_EQ(getenv("GDK_GL"), nullptr) << "a child process would start without GL";

    // No GL context can be made for a window.
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_widget_realize(window);
    GError* error = nullptr;
    GdkGLContext* context = gdk_window_create_gl_context(gtk_widget_get_window(window), &error);
    EXPECT_EQ(context, nullptr);
    EXPECT_NE(error, nullptr);
    if (context)
        g_object_unref(context);
    if (error)
        g_error_free(error);
    gtk_widget_destroy(window);
}

namespace {

// A checked (or mixed) button of the kind, drawn off screen; an extra style sheet on it if given.
cairo_surface_t* DrawMark(bool radio, bool mixed, const char* ownSheet)
{
    GtkWidget* window = gtk_offscreen_window_new();
    GtkWidget* button = radio ? gtk_radio_button_new_with_label(nullptr, "Fast")
                              : gtk_check_button_new_with_label("Fast");
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(button), TRUE);
    gtk_toggle_button_set_inconsistent(GTK_TOGGLE_BUTTON(button), mixed);
    if (ownSheet) {
        GtkCssProvider* provider = gtk_css_provider_new();
        gtk_css_provider_load_from_data(provider, ownSheet, -1, nullptr);
        // The mark is a node of the button's own: the sheet goes on every node below it.
        gtk_style_context_add_provider_for_screen(gdk_screen_get_default(),
            GTK_STYLE_PROVIDER(provider), GTK_STYLE_PROVIDER_PRIORITY_USER);
        g_object_set_data_full(G_OBJECT(window), "sheet", provider, [](gpointer p) {
            gtk_style_context_remove_provider_for_screen(
                gdk_screen_get_default(), GTK_STYLE_PROVIDER(p));
            g_object_unref(p);
        });
    }
    gtk_container_add(GTK_CONTAINER(window), button);
    gtk_widget_show_all(window);
    while (gtk_events_pending())
        gtk_main_iteration();
    const int scale = gtk_widget_get_scale_factor(window);
    const int w = gtk_widget_get_allocated_width(window),
              h = gtk_widget_get_allocated_height(window);
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w * scale, h * scale);
    cairo_surface_set_device_scale(s, scale, scale);
    cairo_t* cr = cairo_create(s);
    gtk_widget_draw(window, cr);
    cairo_destroy(cr);
    gtk_widget_destroy(window);
    return s;
}

int Differing(cairo_surface_t* a, cairo_surface_t* b)
{
    if (cairo_image_surface_get_width(a) != cairo_image_surface_get_width(b)
        || cairo_image_surface_get_height(a) != cairo_image_surface_get_height(b))
        return -1;
    cairo_surface_flush(a);
    cairo_surface_flush(b);
    int n = 0;
    for (int y = 0; y < cairo_image_surface_get_height(a); ++y)
        for (int x = 0; x < cairo_image_surface_get_width(a); ++x) {
            const auto* pa = reinterpret_cast<const uint32_t*>(
                cairo_image_surface_get_data(a) + y * cairo_image_surface_get_stride(a));
            const auto* pb = reinterpret_cast<const uint32_t*>(
                cairo_image_surface_get_data(b) + y * cairo_image_surface_get_stride(b));
            n += pa[x] != pb[x];
        }
    return n;
}

} // namespace

// The marks of checked and mixed check and radio buttons look exactly as the theme draws them
// from its SVG files, at every scale, and are there at all.
TEST(UiInit, CheckAndRadioMarksLookAsTheThemeDrawsThem)
{
    if (!LUiInit())
        GTEST_SKIP() << "no display";
    gchar* theme = nullptr;
    g_object_get(gtk_settings_get_default(), "gtk-theme-name", &theme, nullptr);
    const bool adwaita = theme && std::string(theme) == "Adwaita";
    g_free(theme);
    if (!adwaita)
        GTEST_SKIP() << "another theme";
    auto themes = [](const char* state, const char* name) {
        const std::string base
            = "resource:///org/gtk/libgtk/theme/Adwaita/assets/" + std::string(name) + "-symbolic";
        return std::string(state) + " { -gtk-icon-source: image(-gtk-recolor(url(\"" + base
            + ".svg\")), -gtk-recolor(url(\"" + base + ".symbolic.png\"))); }";
    };
    struct Kind {
        bool radio, mixed;
        const char *state, *name;
    };
    for (const Kind& k : { Kind { true, false, "radio:checked", "bullet" },
             Kind { true, true, "radio:indeterminate", "dash" },
             Kind { false, false, "check:checked", "check" },
             Kind { false, true, "check:indeterminate", "dash" } }) {
        cairo_surface_t* ours = DrawMark(k.radio, k.mixed, nullptr);
        cairo_surface_t* svg = DrawMark(k.radio, k.mixed, themes(k.state, k.name).c_str());
        cairo_surface_t* none = DrawMark(
            k.radio, k.mixed, (std::string(k.state) + " { -gtk-icon-source: none; }").c_str());
        EXPECT_EQ(Differing(ours, svg), 0) << k.state;
        EXPECT_GT(Differing(ours, none), 10) << k.state << ": no mark drawn";
        cairo_surface_destroy(ours);
        cairo_surface_destroy(svg);
        cairo_surface_destroy(none);
    }
}
