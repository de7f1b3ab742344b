// From exec to the window on the display and to its first full paint: "vorantel -new cd"
// against a plain GTK 3 window, a menubar over a drawing area that paints a disc.
//
// The reference is a program of its own, startup_plain_window (bench/startup_plain_window.cpp, some
// twenty lines), built beside this one: both sides are programs started by this benchmark in the
// same way (fork and exec, the same environment and folders) and timed by the same watching of the
// display; neither is this benchmark's own program. The program leaves out GDK's OpenGL set-up
// (it loads the system's GL driver), which a plain GTK program does at every start: the plain
// window is therefore started twice, once as it is ("plain_gl", for information) and once with
// GDK_GL=disable in its environment ("plain"), which does the same work as the program; the
// ratios are against the latter.
//
// Each start runs in a user folder where the program has run once already (installed, as at every
// later start). Two moments are taken from the display (no window manager):
//
//   map    exec to the top-level window's MapNotify on the root window
//   paint  exec to the first full paint: the first moment the window's picture (24 rows spread
//          over its height, each its whole width) is the one it settles on
//
// That picture is taken once per side, in the first (installing) start, once it has not changed
// for a second; every later start is then watched until its rows show it. The program is ended
// with SIGTERM after each start and reaped. The sides start in turns, seven times each; the
// counters give the least and the median of each in milliseconds, the ratios of the least, and
// the least processor time (all threads) the started process had used by each moment.
#include "bench/BenchSupport.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <filesystem>
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

// The window's picture as the benchmark compares it: kRows rows spread over its height (its
// first rows, the menubar's, among them), each its whole width, read from the root window (the
// window may reach past the screen's edges).
constexpr int kRows = 24;
using Picture = std::vector<std::vector<uint32_t>>;

struct Place {
    int left = 0, width = 0;
    std::vector<int> ys;
};

bool WindowPlace(Display* display, Window window, Place& place)
{
    XWindowAttributes a {};
    if (!XGetWindowAttributes(display, window, &a) || a.map_state != IsViewable)
        return false;
    Window root = DefaultRootWindow(display), child = 0;
    int left = 0, top = 0;
    XTranslateCoordinates(display, window, root, 0, 0, &left, &top, &child);
    const int screenWidth = DisplayWidth(display, DefaultScreen(display));
    const int screenHeight = DisplayHeight(display, DefaultScreen(display));
    place.left = std::max(left, 0);
    place.width = std::min(left + a.width, screenWidth) - place.left;
    place.ys.clear();
    for (int i = 0; i < kRows; ++i) {
        const int y = top + 2 + (a.height - 4) * i / (kRows - 1);
        if (y >= 0 && y < screenHeight)
            place.ys.push_back(y);
    }
    return place.width > 0 && !place.ys.empty();
}

bool ReadPicture(Display* display, const Place& place, Picture& picture)
{
    picture.assign(place.ys.size(), {});
    for (size_t i = 0; i < place.ys.size(); ++i) {
        XImage* row = XGetImage(display, DefaultRootWindow(display), place.left, place.ys[i],
            unsigned(place.width), 1, AllPlanes, ZPixmap);
        if (!row)
            return false;
        picture[i].resize(size_t(place.width));
        for (int x = 0; x < place.width; ++x)
            picture[i][size_t(x)] = uint32_t(XGetPixel(row, x, 0) & 0xFFFFFF);
        XDestroyImage(row);
    }
    return true;
}

// Whether the picture shows the design: a run of canvas grey and, further on, white (the disc).
bool ShowsDesign(const Picture& picture)
{
    for (const auto& row : picture) {
        int grey = 0;
        for (uint32_t p : row) {
            if (p == uint32_t(kCanvasGrey * 0x010101))
                ++grey;
            else if (p == 0xFFFFFF && grey >= 10)
                return true;
        }
    }
    return false;
}

struct Side {
    bool program = false;
    bool withoutGl = false; // the plain window started with GDK_GL=disable
    Place place; // where the window stands, and
    Picture settled; // its picture once it has settled: both taken in the first start
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

// Starts the side once and watches the display; false when the window or its full picture did
// not show within 20 s. With settle set, waits instead until the window's picture has not changed
// for a second (and shows the design) and keeps where the window stands and that picture.
bool StartOnce(Display* display, Side& side, const std::string& folder, bool settle, Times& t)
{
    std::string exe = VT_STARTUP_PLAIN_WINDOW;
    if (side.program) {
        // Another build of the program can be compared with VT_STARTUP_BENCH_PROGRAM.
        const char* other = getenv("VT_STARTUP_BENCH_PROGRAM");
        exe = other && *other ? other : std::string(VT_BINARY_DIR) + "/vorantel";
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
        if (side.withoutGl)
            setenv("GDK_GL", "disable", 1);
        if (side.program)
            execl(exe.c_str(), exe.c_str(), "-new", "cd", static_cast<char*>(nullptr));
        else
            execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    auto since = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    Window window = 0;
    bool painted = false;
    Picture picture, last;
    double lastChange = 0;
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
        if (window && !settle)
            painted = ReadPicture(display, side.place, picture) && picture == side.settled;
        if (window && settle && WindowPlace(display, window, side.place)
            && ReadPicture(display, side.place, picture)) {
            if (picture != last) {
                last = picture;
                lastChange = since();
            }
            painted = since() - lastChange > 1 && ShowsDesign(picture);
            if (painted)
                side.settled = picture;
        }
        if (!painted)
            std::this_thread::sleep_for(std::chrono::microseconds(settle ? 100000 : 250));
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

// Seven rounds, each starting the program and then the references, so that all meet the same
// load of the machine. Counters in milliseconds: the least and the median of the rounds for each
// side and moment, and the ratios of the least (program / plain window without GL, and program /
// plain window as it is).
void BM_StartupSideBySide(benchmark::State& state)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        state.SkipWithError("no display");
        return;
    }
    std::string made = benchsupport::TemporaryFolder() + "/vt-startup-XXXXXX";
    if (!mkdtemp(made.data())) {
        state.SkipWithError("no folder");
        XCloseDisplay(display);
        return;
    }
    const std::string folder = made;
    constexpr int kSides = 3;
    Side sides[kSides];
    sides[0].program = true;
    sides[1].withoutGl = true;
    const char* names[kSides] = { "program", "plain", "plain_gl" };
    std::vector<double> mapped[kSides], painted[kSides], mappedCpu[kSides], paintedCpu[kSides];
    Times t;
    for (auto _ : state) {
        // The first starts install and show the settled pictures.
        bool ok = true;
        for (int i = 0; i < kSides && ok; ++i)
            ok = StartOnce(display, sides[i], folder, true, t);
        for (int round = 0; ok && round < 7; ++round) {
            for (int i = 0; i < kSides && ok; ++i) {
                ok = StartOnce(display, sides[i], folder, false, t);
                mapped[i].push_back(t.mapped * 1000);
                painted[i].push_back(t.painted * 1000);
                mappedCpu[i].push_back(t.mappedCpu * 1000);
                paintedCpu[i].push_back(t.paintedCpu * 1000);
            }
        }
        if (!ok) {
            state.SkipWithError("a window did not show its settled picture");
            break;
        }
    }
    state.counters["rounds"] = double(mapped[0].size());
    for (int i = 0; i < kSides; ++i) {
        state.counters[std::string(names[i]) + "_map_least"] = Least(mapped[i]);
        state.counters[std::string(names[i]) + "_map_median"] = Median(mapped[i]);
        state.counters[std::string(names[i]) + "_paint_least"] = Least(painted[i]);
        state.counters[std::string(names[i]) + "_paint_median"] = Median(painted[i]);
        state.counters[std::string(names[i]) + "_map_cpu_least"] = Least(mappedCpu[i]);
        state.counters[std::string(names[i]) + "_paint_cpu_least"] = Least(paintedCpu[i]);
    }
    for (int i = 1; i < kSides; ++i)
        if (Least(mapped[i]) > 0 && Least(painted[i]) > 0) {
            const std::string suffix = i == 1 ? "" : "_gl";
            state.counters["ratio_map" + suffix] = Least(mapped[0]) / Least(mapped[i]);
            state.counters["ratio_paint" + suffix] = Least(painted[0]) / Least(painted[i]);
        }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    XCloseDisplay(display);
}

} // namespace

BENCHMARK(BM_StartupSideBySide)->Iterations(1)->Unit(benchmark::kMillisecond);
