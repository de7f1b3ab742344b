// From exec to the window on the display and to its first painted design: "vorantel -new cd"
// against a plain GTK window of the same build with as much on it as the program's main window.
//
// The reference is this benchmark program started again with VT_STARTUP_BENCH_PLAIN set: before
// main, it builds a window with a header bar, six menus of twelve items with shortcuts, three
// notebook tabs of twelve labelled icon buttons, a drawing area that paints a disc on the grey of
// the design canvas, and a side panel of twelve labelled spin buttons, sized to the work area as
// the program's window is.
//
// Each start runs in a user folder where the program has run once already (installed, as at every
// later start). Two moments are taken from the display (no window manager):
//
//   map    exec to the top-level window's MapNotify on the root window
//   paint  exec to the first frame in which the design is painted: the disc's left edge (white
//          after the canvas's grey) is on the screen where it stands once the window has settled
//
// The place of that edge is found once per side, in the first (installing) start, after the
// window has settled; every later start then watches a strip of 16 pixels there. The program is
// ended with SIGTERM after each start and reaped. The two sides start in turns, seven times each;
// the counters give the least and the median of each in milliseconds, the ratios of the least, and
// the least processor time (all threads) the started process had used by each moment.
#include "bench/BenchSupport.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cairo.h>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <gtk/gtk.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kPlainTitle = "Vanligt GTK-fönster";
constexpr const char* kProgramTitle = "Vorantel av ZOR Software";
// The design canvas's background (the program's and the reference's drawing area).
constexpr int kCanvasGrey = 172;

// --- The reference window -------------------------------------------------------------------

void AddMenu(GtkWidget* bar, GtkAccelGroup* accelerators, const char* title, int menu)
{
    static const char* const kItems[12]
        = { "Ny", "Öppna...", "Spara", "Spara som...", "Stäng", "Klipp ut", "Kopiera", "Klistra in",
              "Markera allt", "Ångra", "Gör om", "Inställningar..." };
    GtkWidget* items = gtk_menu_new();
    gtk_menu_set_accel_group(GTK_MENU(items), accelerators);
    for (int i = 0; i < 12; ++i) {
        GtkWidget* item = gtk_menu_item_new_with_label(kItems[i]);
        // Twelve different shortcuts per menu: a letter with Ctrl, Ctrl+Shift or Ctrl+Alt.
        const unsigned key = GDK_KEY_a + unsigned(menu * 2 + i) % 26;
        const GdkModifierType modifiers = GdkModifierType(GDK_CONTROL_MASK
            | (menu % 3 == 1 ? GDK_SHIFT_MASK : 0) | (menu % 3 == 2 ? GDK_MOD1_MASK : 0));
        gtk_widget_add_accelerator(
            item, "activate", accelerators, key, modifiers, GTK_ACCEL_VISIBLE);
        gtk_menu_shell_append(GTK_MENU_SHELL(items), item);
    }
    GtkWidget* top = gtk_menu_item_new_with_label(title);
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(top), items);
    gtk_menu_shell_append(GTK_MENU_SHELL(bar), top);
}

GtkWidget* ButtonTab()
{
    static const char* const kIcons[12] = { "document-new", "document-open", "document-save",
        "edit-cut", "edit-copy", "edit-paste", "edit-undo", "edit-redo", "insert-image",
        "insert-text", "document-print", "preferences-system" };
    static const char* const kLabels[12]
        = { "Ny", "Öppna", "Spara", "Klipp ut", "Kopiera", "Klistra in", "Ångra", "Gör om",
              "Lägg till bilder", "Infoga text", "Skriv ut", "Inställningar" };
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
    for (int i = 0; i < 12; ++i) {
        GtkWidget* button = gtk_button_new_with_label(kLabels[i]);
        gtk_button_set_image(
            GTK_BUTTON(button), gtk_image_new_from_icon_name(kIcons[i], GTK_ICON_SIZE_DND));
        gtk_button_set_image_position(GTK_BUTTON(button), GTK_POS_TOP);
        gtk_button_set_always_show_image(GTK_BUTTON(button), TRUE);
        gtk_button_set_relief(GTK_BUTTON(button), GTK_RELIEF_NONE);
        gtk_box_pack_start(GTK_BOX(row), button, FALSE, FALSE, 0);
    }
    return row;
}

gboolean DrawDisc(GtkWidget* area, cairo_t* cr, gpointer)
{
    const double w = gtk_widget_get_allocated_width(area);
    const double h = gtk_widget_get_allocated_height(area);
    cairo_set_source_rgb(cr, kCanvasGrey / 255.0, kCanvasGrey / 255.0, kCanvasGrey / 255.0);
    cairo_paint(cr);
    const double r = 0.45 * std::min(w, h);
    cairo_arc(cr, w / 2, h / 2, r, 0, 2 * M_PI);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_arc(cr, w / 2, h / 2, r * 0.3, 0, 2 * M_PI);
    cairo_set_source_rgb(cr, kCanvasGrey / 255.0, kCanvasGrey / 255.0, kCanvasGrey / 255.0);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_stroke(cr);
    return FALSE;
}

GtkWidget* SidePanel()
{
    static const char* const kLabels[12]
        = { "Vänster:", "Överkant:", "Bredd:", "Höjd:", "Rotation:", "Opacitet:", "Storlek:",
              "Radie:", "Start:", "Slut:", "Avstånd:", "Marginal:" };
    GtkWidget* grid = gtk_grid_new();
    gtk_grid_set_row_spacing(GTK_GRID(grid), 6);
    gtk_grid_set_column_spacing(GTK_GRID(grid), 8);
    for (int i = 0; i < 12; ++i) {
        GtkWidget* label = gtk_label_new(kLabels[i]);
        gtk_widget_set_halign(label, GTK_ALIGN_START);
        gtk_grid_attach(GTK_GRID(grid), label, 0, i, 1, 1);
        GtkWidget* spin = gtk_spin_button_new_with_range(-500, 500, 0.5);
        gtk_spin_button_set_digits(GTK_SPIN_BUTTON(spin), 2);
        gtk_grid_attach(GTK_GRID(grid), spin, 1, i, 1, 1);
    }
    return grid;
}

struct PlainChild {
    PlainChild()
    {
        if (!getenv("VT_STARTUP_BENCH_PLAIN"))
            return;
        gtk_init(nullptr, nullptr);
        GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_title(GTK_WINDOW(window), kPlainTitle);
        GtkWidget* header = gtk_header_bar_new();
        gtk_header_bar_set_title(GTK_HEADER_BAR(header), kPlainTitle);
        gtk_header_bar_set_show_close_button(GTK_HEADER_BAR(header), TRUE);
        gtk_window_set_titlebar(GTK_WINDOW(window), header);
        GdkRectangle area {};
        gdk_monitor_get_workarea(gdk_display_get_primary_monitor(gdk_display_get_default()), &area);
        gtk_window_set_default_size(GTK_WINDOW(window), area.width, area.height);

        GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
        GtkAccelGroup* accelerators = gtk_accel_group_new();
        gtk_window_add_accel_group(GTK_WINDOW(window), accelerators);
        GtkWidget* bar = gtk_menu_bar_new();
        int menu = 0;
        for (const char* title :
            { "Vorantel", "Arkiv", "Redigera", "Overlay", "Fönstret", "Hjälp" })
            AddMenu(bar, accelerators, title, menu++);
        gtk_box_pack_start(GTK_BOX(column), bar, FALSE, FALSE, 0);

        GtkWidget* tabs = gtk_notebook_new();
        for (const char* title : { "Hem", "Redigera", "Paket" })
            gtk_notebook_append_page(GTK_NOTEBOOK(tabs), ButtonTab(), gtk_label_new(title));
        gtk_box_pack_start(GTK_BOX(column), tabs, FALSE, FALSE, 0);

        GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
        GtkWidget* drawing = gtk_drawing_area_new();
        g_signal_connect(drawing, "draw", G_CALLBACK(DrawDisc), nullptr);
        gtk_box_pack_start(GTK_BOX(row), drawing, TRUE, TRUE, 0);
        gtk_box_pack_start(GTK_BOX(row), SidePanel(), FALSE, FALSE, 8);
        gtk_box_pack_start(GTK_BOX(column), row, TRUE, TRUE, 0);

        gtk_container_add(GTK_CONTAINER(window), column);
        g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
        gtk_widget_show_all(window);
        signal(SIGTERM, [](int) { _exit(0); });
        gtk_main();
        _exit(0);
    }
} gPlainChild;

// --- Watching the display -------------------------------------------------------------------

bool TitleStartsWith(Display* display, Window window, const char* title)
{
    Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = 0;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    bool found = false;
    if (XGetWindowProperty(
            display, window, netName, 0, 256, False, utf8, &type, &format, &n, &after, &data)
            == Success
        && data) {
        found = std::string(reinterpret_cast<char*>(data), n).rfind(title, 0) == 0;
        XFree(data);
    }
    return found;
}

// A pixel of the screen as 0xRRGGBB.
unsigned long PixelAt(XImage* image, int x, int y)
{
    return XGetPixel(image, x, y) & 0xFFFFFF;
}

bool IsGrey(unsigned long p)
{
    return p == (unsigned long)(kCanvasGrey * 0x010101);
}

// The strip of kStrip pixels that ends on the disc's left edge: canvas grey at its start, white
// at its end.
constexpr int kStrip = 16;

// Finds the disc's left edge on the row at 60 % of the window's height: the first white pixel
// after a run of at least 10 pixels of canvas grey, with no more than kStrip pixels between the
// run's end and it. Read from the root window (the window may reach past the screen's edges).
// Answers its root x, y, or false.
bool FindDiscEdge(Display* display, Window window, int& edgeX, int& edgeY)
{
    XWindowAttributes a {};
    if (!XGetWindowAttributes(display, window, &a) || a.map_state != IsViewable)
        return false;
    Window root = DefaultRootWindow(display), child = 0;
    int left = 0, top = 0;
    XTranslateCoordinates(display, window, root, 0, 0, &left, &top, &child);
    const int screenWidth = DisplayWidth(display, DefaultScreen(display));
    const int y = top + a.height * 6 / 10;
    const int x0 = std::max(left, 0), x1 = std::min(left + a.width, screenWidth);
    if (x1 <= x0 || y < 0 || y >= DisplayHeight(display, DefaultScreen(display)))
        return false;
    XImage* row = XGetImage(display, root, x0, y, unsigned(x1 - x0), 1, AllPlanes, ZPixmap);
    if (!row)
        return false;
    int greyRun = 0, lastGrey = -1000;
    bool found = false;
    for (int x = 0; x < x1 - x0 && !found; ++x) {
        const unsigned long p = PixelAt(row, x, 0);
        if (IsGrey(p)) {
            ++greyRun;
            lastGrey = x;
        } else if (p == 0xFFFFFF && greyRun >= 10 && x - lastGrey < kStrip) {
            edgeX = x0 + x;
            edgeY = y;
            found = true;
        } else if (p != 0xFFFFFF && x - lastGrey >= kStrip) {
            greyRun = 0;
        }
    }
    XDestroyImage(row);
    return found;
}

// True when the strip before the edge shows the canvas grey and ends on white.
bool DiscEdgeShown(Display* display, int edgeX, int edgeY)
{
    XImage* strip = XGetImage(display, DefaultRootWindow(display), edgeX - kStrip + 1, edgeY,
        kStrip, 1, AllPlanes, ZPixmap);
    if (!strip)
        return false;
    bool grey = false;
    for (int x = 0; x < kStrip - 1 && !grey; ++x)
        grey = IsGrey(PixelAt(strip, x, 0));
    const bool shown = grey && PixelAt(strip, kStrip - 1, 0) == 0xFFFFFF;
    XDestroyImage(strip);
    return shown;
}

struct Side {
    bool program;
    int edgeX = -1, edgeY = -1; // found in the first start
};

struct Times {
    double mapped = 0, painted = 0;
    double mappedCpu = 0, paintedCpu = 0; // the started process's processor time, all threads
};

// The processor time of every thread of the process so far, in seconds (from the scheduler's
// statistics, nanoseconds).
double ProcessCpu(pid_t pid)
{
    double total = 0;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    if (DIR* dir = opendir(tasks.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] == '.')
                continue;
            if (FILE* f = fopen((tasks + "/" + entry->d_name + "/schedstat").c_str(), "r")) {
                unsigned long long ns = 0;
                if (fscanf(f, "%llu", &ns) == 1)
                    total += double(ns) / 1e9;
                fclose(f);
            }
        }
        closedir(dir);
    }
    return total;
}

// Starts the side once and watches the display; false when the window or its design did not show
// within 20 s. With find set, waits for the window to settle and finds the disc's edge instead.
bool StartOnce(Display* display, Side& side, const std::string& folder, bool find, Times& t)
{
    std::string exe;
    if (side.program) {
        // Another build of the program can be compared with VT_STARTUP_BENCH_PROGRAM.
        const char* other = getenv("VT_STARTUP_BENCH_PROGRAM");
        exe = other && *other ? other : std::string(VT_BINARY_DIR) + "/vorantel";
    } else {
        char path[4096];
        const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
        exe.assign(path, n > 0 ? size_t(n) : 0);
    }
    const char* title = side.program ? kProgramTitle : kPlainTitle;
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, True); // drop what came before
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        for (const char* name :
            { "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR" })
            setenv(name, folder.c_str(), 1);
        if (side.program) {
            execl(exe.c_str(), exe.c_str(), "-new", "cd", static_cast<char*>(nullptr));
        } else {
            setenv("VT_STARTUP_BENCH_PLAIN", "1", 1);
            execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
        }
        _exit(127);
    }
    auto since = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    Window window = 0;
    bool painted = false;
    while (!painted && since() < 20) {
        while (!window && XPending(display)) {
            XEvent e;
            XNextEvent(display, &e);
            if (e.type == MapNotify && !e.xmap.override_redirect
                && TitleStartsWith(display, e.xmap.window, title)) {
                window = e.xmap.window;
                t.mapped = since();
                t.mappedCpu = ProcessCpu(pid);
            }
        }
        if (window && !find)
            painted = DiscEdgeShown(display, side.edgeX, side.edgeY);
        if (window && find && since() > t.mapped + 4)
            painted = FindDiscEdge(display, window, side.edgeX, side.edgeY);
        if (!painted)
            std::this_thread::sleep_for(std::chrono::microseconds(250));
    }
    t.painted = since();
    t.paintedCpu = ProcessCpu(pid);
    XSelectInput(display, DefaultRootWindow(display), NoEventMask);
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    return painted;
}

double Least(std::vector<double> v)
{
    return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Seven rounds, each starting the program and then the reference, so that both meet the same load
// of the machine. Counters in milliseconds: the least and the median of the rounds for each side
// and moment, and the ratios of the least (program / reference).
void BM_StartupSideBySide(benchmark::State& state)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        state.SkipWithError("no display");
        return;
    }
    std::string made = benchsupport::TemporaryFolder() + "/vt-startup-XXXXXX";
    char* folder = mkdtemp(made.data());
    if (!folder) {
        state.SkipWithError("no folder");
        XCloseDisplay(display);
        return;
    }
    Side sides[2] = { { true }, { false } };
    std::vector<double> mapped[2], painted[2], mappedCpu[2], paintedCpu[2];
    Times t;
    for (auto _ : state) {
        // The first starts install and show where the design stands.
        bool ok = StartOnce(display, sides[0], folder, true, t)
            && StartOnce(display, sides[1], folder, true, t);
        for (int round = 0; ok && round < 7; ++round) {
            for (int i = 0; i < 2 && ok; ++i) {
                ok = StartOnce(display, sides[i], folder, false, t);
                mapped[i].push_back(t.mapped * 1000);
                painted[i].push_back(t.painted * 1000);
                mappedCpu[i].push_back(t.mappedCpu * 1000);
                paintedCpu[i].push_back(t.paintedCpu * 1000);
            }
        }
        if (!ok) {
            state.SkipWithError("a window or its design did not show where it stood");
            break;
        }
    }
    const char* names[2] = { "program", "plain" };
    for (int i = 0; i < 2; ++i) {
        state.counters[std::string(names[i]) + "_map_least"] = Least(mapped[i]);
        state.counters[std::string(names[i]) + "_map_median"] = Median(mapped[i]);
        state.counters[std::string(names[i]) + "_paint_least"] = Least(painted[i]);
        state.counters[std::string(names[i]) + "_paint_median"] = Median(painted[i]);
        state.counters[std::string(names[i]) + "_map_cpu_least"] = Least(mappedCpu[i]);
        state.counters[std::string(names[i]) + "_paint_cpu_least"] = Least(paintedCpu[i]);
    }
    if (Least(mapped[1]) > 0 && Least(painted[1]) > 0) {
        state.counters["ratio_map"] = Least(mapped[0]) / Least(mapped[1]);
        state.counters["ratio_paint"] = Least(painted[0]) / Least(painted[1]);
    }
    const std::string remove = std::string("rm -rf '") + folder + "'";
    if (std::system(remove.c_str()) != 0) { }
    XCloseDisplay(display);
}

} // namespace

BENCHMARK(BM_StartupSideBySide)->Iterations(1)->Unit(benchmark::kMillisecond);
