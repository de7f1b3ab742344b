// Starting the toolkit leaves OpenGL out (nothing is drawn with it) and the environment as it
// was, so that programs started later get the user's own.
#include "platform/ui/LUiSystem.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdlib>

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
