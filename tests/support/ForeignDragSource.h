// Drags from another program: the test program starts itself again as a child in a mode of its
// own, where it shows a small GTK window that is a drag source; the parent drags from it with the
// real pointer onto its own window.
#pragma once

#include "platform/ui/LNativeWindow.h"
#include "support/UiTestSupport.h"

#include <gtk/gtk.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace uitest {

// Child side: a 100 × 100 window at (10, 10) holding an event box (returned, to be made a drag
// source). Once mapped, the centre of the window is printed on standard output in device pixels.
// The child ends itself after lifeMs.
inline GtkWidget* ForeignDragSourceWindow(unsigned lifeMs = 20000)
{
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window), 100, 100);
    gtk_window_move(GTK_WINDOW(window), 10, 10);
    GtkWidget* box = gtk_event_box_new();
    gtk_container_add(GTK_CONTAINER(window), box);
    g_signal_connect(window, "map-event",
        G_CALLBACK(+[](GtkWidget* w, GdkEvent*, gpointer) -> gboolean {
            g_timeout_add(
                300,
                [](gpointer p) -> gboolean {
                    GdkWindow* gw = gtk_widget_get_window(GTK_WIDGET(p));
                    int x = 0, y = 0;
                    gdk_window_get_origin(gw, &x, &y);
                    int s = gdk_window_get_scale_factor(gw);
                    std::printf("%d %d\n", (x + 50) * s, (y + 50) * s);
                    std::fflush(stdout);
                    return G_SOURCE_REMOVE;
                },
                w);
            return FALSE;
        }),
        nullptr);
    gtk_widget_show_all(window);
    g_timeout_add(
        lifeMs, [](gpointer) -> gboolean { _exit(0); }, nullptr);
    return box;
}

// Parent side: the child running, its output, and where its source lies on the screen.
struct ForeignDragSource {
    pid_t pid = -1;
    FILE* out = nullptr;
    int x = 0, y = 0; // the source's centre, device pixels

    // Starts this program again with the environment given; false when it did not show its window.
    bool Start(const std::vector<std::pair<std::string, std::string>>& environment)
    {
        char self[4096];
        ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
        int fds[2];
        if (n <= 0 || pipe(fds) != 0)
            return false;
        self[n] = 0;
        pid = fork();
        if (pid < 0)
            return false;
        if (pid == 0) {
            dup2(fds[1], 1);
            for (const auto& [key, value] : environment)
                setenv(key.c_str(), value.c_str(), 1);
            execl(self, self, nullptr);
            _exit(1);
        }
        close(fds[1]);
        out = fdopen(fds[0], "r");
        return out && std::fscanf(out, "%d %d", &x, &y) == 2;
    }

    // Drags with the real pointer from the source onto a point of the window's content (points),
    // then turns the loop until done() holds or ms passed.
    bool DragOnto(
        LNativeWindow* window, double px, double py, const std::function<bool()>& done, unsigned ms)
    {
        double s = window->BackingScale();
        LUiRect f = window->Frame();
        int tx = int((f.x + px) * s), ty = int((f.y + window->TopSlotsHeight() + py) * s);
        std::string command = "xdotool mousemove " + std::to_string(x) + " " + std::to_string(y)
            + " sleep 0.1 mousedown 1 sleep 0.1 mousemove_relative 10 10 sleep 0.1 "
              "mousemove_relative 10 10 sleep 0.1 mousemove "
            + std::to_string(tx) + " " + std::to_string(ty)
            + " sleep 0.2 mousemove_relative 2 2 sleep 0.2 mouseup 1";
        gchar* argv[] = { const_cast<gchar*>("/bin/sh"), const_cast<gchar*>("-c"),
            const_cast<gchar*>(command.c_str()), nullptr };
        GPid xdo = 0;
        if (!g_spawn_async(
                nullptr, argv, nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr, &xdo, nullptr))
            return false;
        bool ok = PumpUntil(done, ms);
        waitpid(xdo, nullptr, 0);
        return ok;
    }

    // Ends the child; what it printed after its position stays readable through out.
    void Stop()
    {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            pid = -1;
        }
    }

    ~ForeignDragSource()
    {
        Stop();
        if (out)
            fclose(out);
    }
};

} // namespace uitest
