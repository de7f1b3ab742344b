// From exec to the first shown frame: the program (its start-up block, installation check,
// single-instance channel, main window with its menus) against a plain GTK window with the same
// three menus and size. Each run starts the program in a user folder where it has run once
// already (installed, as at every later start), waits until its top-level window is viewable on
// the display, then ends it with SIGTERM and reaps it.
#include <X11/Xlib.h>
#include <benchmark/benchmark.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <gtk/gtk.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr const char* kPlainTitle = "Vanligt GTK-fönster";
constexpr const char* kProgramTitle = "Vorantel av ZOR Software";

// The plain side runs as this program started again with VT_STARTUP_BENCH_PLAIN set: before
// main, it shows the window and waits to be ended.
void AddMenu(GtkWidget* bar, const char* title, std::initializer_list<const char*> items)
{
    GtkWidget* menu = gtk_menu_new();
    for (const char* text : items)
        gtk_menu_shell_append(GTK_MENU_SHELL(menu),
            text ? gtk_menu_item_new_with_label(text) : gtk_separator_menu_item_new());
    GtkWidget* top = gtk_menu_item_new_with_label(title);
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(top), menu);
    gtk_menu_shell_append(GTK_MENU_SHELL(bar), top);
}

struct PlainChild {
    PlainChild()
    {
        if (!getenv("VT_STARTUP_BENCH_PLAIN"))
            return;
        gtk_init(nullptr, nullptr);
        GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_title(GTK_WINDOW(window), kPlainTitle);
        GdkRectangle area {};
        gdk_monitor_get_workarea(gdk_display_get_primary_monitor(gdk_display_get_default()), &area);
        gtk_window_set_default_size(GTK_WINDOW(window), area.width, area.height);
        GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
        GtkWidget* bar = gtk_menu_bar_new();
        AddMenu(bar, "Vorantel",
            { "Om Vorantel", nullptr, "Inställningar...", nullptr, "Dölj Vorantel", nullptr,
                "Avsluta Vorantel" });
        AddMenu(bar, "Fönstret",
            { "Maximera", "Minimera", "Minimera alla", nullptr, "Ta alla till fronten",
                "Ordna framför" });
        AddMenu(bar, "Hjälp",
            { "Vorantel, Program för skivetiketter Hjälp", nullptr, "Vorantel Hemsida",
                "Sida för teknisk support", "Skicka förbättringsförslag eller feedback",
                "Skicka felrapport", "Anmäl dig till nyhetsbrev", nullptr,
                "Gilla ZOR Software på Facebook", "Följ ZOR Software på Twitter", nullptr,
                "ZOR Software Hemsida", nullptr, "Sök efter ny version" });
        gtk_box_pack_start(GTK_BOX(box), bar, FALSE, FALSE, 0);
        gtk_container_add(GTK_CONTAINER(window), box);
        g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
        gtk_widget_show_all(window);
        signal(SIGTERM, [](int) { _exit(0); });
        gtk_main();
        _exit(0);
    }
} gPlainChild;

// True once a viewable top-level window with the title is on the display.
bool TitleShown(Display* display, const char* title)
{
    Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, root, &root, &parent, &children, &count))
        return false;
    bool found = false;
    Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    for (unsigned i = 0; i < count && !found; ++i) {
        XWindowAttributes a {};
        if (!XGetWindowAttributes(display, children[i], &a) || a.map_state != IsViewable)
            continue;
        Atom type = 0;
        int format = 0;
        unsigned long n = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, children[i], netName, 0, 256, False, utf8, &type, &format,
                &n, &after, &data)
                == Success
            && data) {
            found = std::string(reinterpret_cast<char*>(data), n) == title;
            XFree(data);
        }
    }
    if (children)
        XFree(children);
    return found;
}

void Measure(benchmark::State& state, bool program)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        state.SkipWithError("no display");
        return;
    }
    std::string exe = program ? std::string(VT_BINARY_DIR) + "/vorantel" : "/proc/self/exe";
    std::string self;
    {
        char path[4096];
        ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
        self.assign(path, n > 0 ? size_t(n) : 0);
    }
    if (!program)
        exe = self;
    char folder[] = "/tmp/vt-startup-XXXXXX";
    if (!mkdtemp(folder)) {
        state.SkipWithError("no folder");
        XCloseDisplay(display);
        return;
    }
    const std::string f = folder;
    // One start: true when the window showed; seconds to it.
    auto once = [&](double& seconds) {
        auto start = std::chrono::steady_clock::now();
        pid_t pid = fork();
        if (pid == 0) {
            setenv("XDG_CONFIG_HOME", f.c_str(), 1);
            setenv("XDG_DATA_HOME", f.c_str(), 1);
            setenv("XDG_CACHE_HOME", f.c_str(), 1);
            setenv("XDG_RUNTIME_DIR", f.c_str(), 1);
            if (!program)
                setenv("VT_STARTUP_BENCH_PLAIN", "1", 1);
            execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        bool shown = false;
        while (!shown && std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
            shown = TitleShown(display, program ? kProgramTitle : kPlainTitle);
            if (!shown)
                std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        kill(pid, SIGTERM);
        int status = 0;
        waitpid(pid, &status, 0);
        return shown;
    };
    double seconds = 0;
    bool ok = once(seconds); // the first run installs
    for (auto _ : state) {
        if (!ok || !once(seconds)) {
            state.SkipWithError("no window");
            break;
        }
        state.SetIterationTime(seconds);
    }
    std::string remove = "rm -rf '" + f + "'";
    if (system(remove.c_str()) != 0) { }
    XCloseDisplay(display);
}

void BM_ExecToFirstFrame_Program(benchmark::State& state)
{
    Measure(state, true);
}
void BM_ExecToFirstFrame_PlainGtk(benchmark::State& state)
{
    Measure(state, false);
}

} // namespace

BENCHMARK(BM_ExecToFirstFrame_Program)
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExecToFirstFrame_PlainGtk)
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);
