#include "platform/ui/LUiSystem.h"

#include "platform/system/TextLock.h"
#include "platform/ui/LEventHub.h"
#include "platform/ui/LModalLoop.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiScreenVisual.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fontconfig/fontconfig.h>
#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif
#include <mutex>
#include <pango/pangocairo.h>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

bool gAvailable = false;

// Controls as small as the framework's layouts expect (push buttons about 20 points high, text
// fields about 22), instead of the theme's touch-friendly sizes.
const char kCompactCss[] = R"css(
button { padding: 1px 6px; min-height: 16px; min-width: 16px; }
button.image-button { padding: 1px; }
entry { min-height: 18px; padding: 1px 4px; }
spinbutton entry { min-height: 18px; }
spinbutton button { padding: 0 2px; min-height: 0; }
combobox button, combobox entry { min-height: 16px; padding-top: 1px; padding-bottom: 1px; }
checkbutton, radiobutton { padding: 0; min-height: 0; }
check, radio { min-width: 14px; min-height: 14px; margin: 0 4px 0 0; }
scale { padding: 4px; }
scale slider { min-width: 14px; min-height: 14px; margin: -6px; }
notebook tab { padding: 2px 8px; min-height: 0; }
menubar > menuitem { padding: 2px 6px; min-height: 0; }
menuitem { padding: 2px 6px; min-height: 0; }
toolbar { padding: 2px; }
progressbar trough, progressbar progress { min-height: 6px; }
treeview.view { padding: 1px 2px; }
)css";

// The default theme draws the marks of checked and mixed check and radio buttons from SVG files,
// with pictures drawn in advance as the second choice, and GTK reads both: the SVG reader costs
// a tenth of the first window's work from its mapping to its first painted frame, and again for
// every colour a mark is shown in. At scale 1 the pictures drawn in advance give the very same
// pixels, so there they are taken alone; at larger scales (they would be enlarged, blurred) and
// in other themes the theme's own marks stay.
const char kMarksTheme[] = "Adwaita";
#define VT_MARK(state, name)                                                                       \
    state " { -gtk-icon-source: -gtk-recolor(url(\"resource:///org/gtk/libgtk/theme/Adwaita/"      \
          "assets/" name "-symbolic.symbolic.png\")); }\n"
const char kMarksCss[] = VT_MARK("check:checked", "check") VT_MARK("check:indeterminate", "dash")
    VT_MARK("radio:checked", "bullet") VT_MARK("radio:indeterminate", "dash");
#undef VT_MARK

GtkCssProvider* gMarks = nullptr;
bool gMarksInstalled = false;

void UpdateMarks()
{
    GdkScreen* screen = gdk_screen_get_default();
    gchar* theme = nullptr;
    g_object_get(gtk_settings_get_default(), "gtk-theme-name", &theme, nullptr);
    bool wanted = theme && std::strcmp(theme, kMarksTheme) == 0;
    g_free(theme);
    GdkDisplay* display = gdk_screen_get_display(screen);
    for (int i = 0, n = gdk_display_get_n_monitors(display); i < n && wanted; ++i)
        wanted = gdk_monitor_get_scale_factor(gdk_display_get_monitor(display, i)) == 1;
    if (wanted == gMarksInstalled)
        return;
    gMarksInstalled = wanted;
    if (wanted)
        gtk_style_context_add_provider_for_screen(
            screen, GTK_STYLE_PROVIDER(gMarks), GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    else
        gtk_style_context_remove_provider_for_screen(screen, GTK_STYLE_PROVIDER(gMarks));
}

void WatchMonitorScale(GdkMonitor* monitor)
{
    g_signal_connect(monitor, "notify::scale-factor",
        G_CALLBACK(+[](GdkMonitor*, GParamSpec*, gpointer) { UpdateMarks(); }), nullptr);
}

void InstallMarks()
{
    gMarks = gtk_css_provider_new();
    gtk_css_provider_load_from_data(gMarks, kMarksCss, -1, nullptr);
    g_signal_connect(gtk_settings_get_default(), "notify::gtk-theme-name",
        G_CALLBACK(+[](GtkSettings*, GParamSpec*, gpointer) { UpdateMarks(); }), nullptr);
    GdkDisplay* display = gdk_display_get_default();
    for (int i = 0, n = gdk_display_get_n_monitors(display); i < n; ++i)
        WatchMonitorScale(gdk_display_get_monitor(display, i));
    g_signal_connect(display, "monitor-added",
        G_CALLBACK(+[](GdkDisplay*, GdkMonitor* monitor, gpointer) {
            WatchMonitorScale(monitor);
            UpdateMarks();
        }),
        nullptr);
    g_signal_connect(display, "monitor-removed",
        G_CALLBACK(+[](GdkDisplay*, GdkMonitor*, gpointer) { UpdateMarks(); }), nullptr);
    UpdateMarks();
}

void InstallCss()
{
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, kCompactCss, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(),
        GTK_STYLE_PROVIDER(provider), GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);

    InstallMarks();
}

LUiRect ToRect(const GdkRectangle& r)
{
    return LUiRect { double(r.x), double(r.y), double(r.width), double(r.height) };
}

// A monitor's work area. On X11, GDK reads it from the root window's properties at every call
// (several round trips to the server), and every window and panel asks while it is built: it is
// kept until the desktop changes something on the root window (the window manager sets the work
// areas and the current desktop there) or the monitors change.
struct KeptWorkArea {
    GdkMonitor* monitor;
    GdkRectangle area;
};
std::vector<KeptWorkArea> gWorkAreas;
bool gWorkAreasWatched = false;

void ForgetWorkAreas()
{
    gWorkAreas.clear();
}

#ifdef GDK_WINDOWING_X11
GdkFilterReturn RootPropertyFilter(GdkXEvent* xevent, GdkEvent*, gpointer)
{
    if (static_cast<XEvent*>(xevent)->type == PropertyNotify)
        ForgetWorkAreas();
    return GDK_FILTER_CONTINUE;
}
#endif

// True when changes are seen, so that work areas may be kept.
bool WatchWorkAreas(GdkDisplay* display)
{
    if (gWorkAreasWatched)
        return true;
#ifdef GDK_WINDOWING_X11
    if (!GDK_IS_X11_DISPLAY(display))
        return false;
    gWorkAreasWatched = true;
    GdkWindow* root = gdk_screen_get_root_window(gdk_display_get_default_screen(display));
    Display* x = GDK_DISPLAY_XDISPLAY(display);
    const Window xroot = GDK_WINDOW_XID(root);
    XWindowAttributes attributes;
    if (XGetWindowAttributes(x, xroot, &attributes))
        XSelectInput(x, xroot, attributes.your_event_mask | PropertyChangeMask);
    gdk_window_add_filter(root, RootPropertyFilter, nullptr);
    auto forget = G_CALLBACK(+[](GdkDisplay*, GdkMonitor*, gpointer) { ForgetWorkAreas(); });
    g_signal_connect(display, "monitor-added", forget, nullptr);
    g_signal_connect(display, "monitor-removed", forget, nullptr);
    return true;
#else
    (void)display;
    return false;
#endif
}

void WorkAreaOf(GdkMonitor* monitor, GdkRectangle& area)
{
    for (const KeptWorkArea& kept : gWorkAreas) {
        if (kept.monitor == monitor) {
            area = kept.area;
            return;
        }
    }
    // Watched before it is read: the reading waits for the server, which has then taken the
    // watch, so no change after the reading goes unseen.
    const bool watched = WatchWorkAreas(gdk_monitor_get_display(monitor));
    gdk_monitor_get_workarea(monitor, &area);
    if (!watched)
        return;
    if (!g_object_get_data(G_OBJECT(monitor), "vt-work-area-watched")) {
        g_object_set_data(G_OBJECT(monitor), "vt-work-area-watched", GINT_TO_POINTER(1));
        g_signal_connect(monitor, "notify",
            G_CALLBACK(+[](GObject*, GParamSpec*, gpointer) { ForgetWorkAreas(); }), nullptr);
    }
    gWorkAreas.push_back({ monitor, area });
}

// A Wayland compositor tells its clients nothing of the panels it shows: GDK's work area there is
// the whole monitor, and a window made as tall as that stands past the bottom of the screen once
// the compositor has put it below a panel at the top. There, the height of a desktop's usual top
// panel (GNOME Shell's and weston's: 32 points) is left out at the top.
constexpr int kUntoldPanelHeight = 32;

bool TellsWorkArea(GdkDisplay* display)
{
#ifdef GDK_WINDOWING_X11
    if (GDK_IS_X11_DISPLAY(display))
        return true;
#endif
    (void)display;
    return false;
}

LUiScreen ScreenOf(GdkMonitor* monitor)
{
    LUiScreen s;
    GdkRectangle r;
    gdk_monitor_get_geometry(monitor, &r);
    s.frame = ToRect(r);
    const GdkRectangle whole = r;
    WorkAreaOf(monitor, r);
    if (!TellsWorkArea(gdk_monitor_get_display(monitor)) && r.y == whole.y
        && r.height == whole.height && r.height > 2 * kUntoldPanelHeight) {
        r.y += kUntoldPanelHeight;
        r.height -= kUntoldPanelHeight;
    }
    s.visibleFrame = ToRect(r);
    s.scale = std::max(1, gdk_monitor_get_scale_factor(monitor));
    s.primary = gdk_monitor_is_primary(monitor);
    return s;
}

struct FontInfo {
    const char* family = "Sans"; // kept for the whole run (Kept)
    double size = 10.0 * 96.0 / 72.0;
};

// A font family's name kept for the whole run: a name handed out stays valid when the desktop
// changes its font.
const char* Kept(const char* family)
{
    static std::set<std::string> names;
    static std::mutex m;
    std::lock_guard lock(m);
    return names.insert(family).first->c_str();
}

FontInfo ReadSystemFont()
{
    FontInfo info;
    std::string name = "Sans 10";
    double resolution = 96;
    if (gAvailable) {
        gchar* setting = nullptr;
        g_object_get(gtk_settings_get_default(), "gtk-font-name", &setting, nullptr);
        if (setting && *setting)
            name = setting;
        g_free(setting);
        double r = gdk_screen_get_resolution(gdk_screen_get_default());
        if (r > 0)
            resolution = r;
    }
    PangoFontDescription* desc = pango_font_description_from_string(name.c_str());
    if (const char* f = pango_font_description_get_family(desc); f && *f)
        info.family = Kept(f);
    int size = pango_font_description_get_size(desc);
    if (size > 0) {
        double s = double(size) / PANGO_SCALE;
        // A size in typographic points becomes points of the layer (pixels at scale 1).
        info.size = pango_font_description_get_size_is_absolute(desc) ? s : s * resolution / 72.0;
    }
    pango_font_description_free(desc);
    return info;
}

FontInfo gSystemFont;
bool gSystemFontRead = false;
std::mutex gSystemFontMutex;

// The system font as it is now (a copy: the desktop may change it while it is used).
FontInfo SystemFont()
{
    std::lock_guard lock(gSystemFontMutex);
    if (!gSystemFontRead) {
        gSystemFont = ReadSystemFont();
        // Read again once the display is there; before it only the default is known.
        gSystemFontRead = gAvailable;
    }
    return gSystemFont;
}

// The desktop changed its font or its text's resolution (a settings daemon's Xft/DPI, as a
// desktop's text scaling changes it): the system font is read again and, when its size or family
// changed, every window is told once GTK has taken the change itself (below its own styling and
// layout, which measure GTK's controls at the new size).
//
// The theme's controls move from one look to the next over a moment (CSS transitions), and the
// text's size and resolution are part of that look: a control measured while the change is
// under way has a size between the old and the new, and nothing measures it again once the
// change has ended (the preview's buttons stayed narrower than their texts). The desktop's
// controls take the new text size at once: GTK styles them without transitions until the windows
// have been laid out, then the desktop's own choice holds again.
void SystemFontSettingChanged(GtkSettings* settings, GParamSpec*, gpointer)
{
    static bool pending = false;
    static bool animationsHeld = false;
    if (!animationsHeld) {
        gboolean animations = FALSE;
        g_object_get(settings, "gtk-enable-animations", &animations, nullptr);
        if (animations) {
            g_object_set(settings, "gtk-enable-animations", FALSE, nullptr);
            animationsHeld = true;
        }
    }
    if (pending)
        return;
    pending = true;
    g_idle_add_full(
        G_PRIORITY_DEFAULT_IDLE,
        [](gpointer) -> gboolean {
            pending = false;
            struct GiveBackAnimations {
                ~GiveBackAnimations()
                {
                    if (animationsHeld)
                        gtk_settings_reset_property(
                            gtk_settings_get_default(), "gtk-enable-animations");
                    animationsHeld = false;
                }
            } giveBack;
            FontInfo now = ReadSystemFont();
            {
                std::lock_guard lock(gSystemFontMutex);
                if (gSystemFontRead && now.family == gSystemFont.family
                    && now.size == gSystemFont.size)
                    return G_SOURCE_REMOVE;
                gSystemFont = now;
                gSystemFontRead = true;
            }
            LNativeWindow::TellTextSizeChanged();
            return G_SOURCE_REMOVE;
        },
        nullptr, nullptr);
}

void WatchSystemFont()
{
    for (const char* name : { "notify::gtk-xft-dpi", "notify::gtk-font-name" })
        g_signal_connect(
            gtk_settings_get_default(), name, G_CALLBACK(SystemFontSettingChanged), nullptr);
}

// Pango's extents are 32-bit in 1/1024 points: a text of more than about 2 million points would
// overflow them. Long texts are measured in pieces of at most this many bytes, cut at a whole
// character (after a blank when one is near).
constexpr size_t kPieceBytes = 32768;

// Sizes of short texts measured on this thread, by font, size, weight and text.
constexpr size_t kKeptMeasureBytes = 256;
constexpr size_t kKeptMeasures = 4096;
thread_local std::unordered_map<std::string, std::pair<double, double>> tKeptMeasures;

std::vector<std::string> Pieces(const char* text)
{
    std::vector<std::string> pieces;
    size_t n = strlen(text);
    size_t at = 0;
    while (at < n) {
        size_t end = std::min(n, at + kPieceBytes);
        if (end < n) {
            size_t blank = end;
            while (
                blank > at + kPieceBytes / 2 && text[blank - 1] != ' ' && text[blank - 1] != '\n')
                --blank;
            if (blank > at + kPieceBytes / 2)
                end = blank;
            else
                while (end > at && (uint8_t(text[end]) & 0xC0) == 0x80)
                    --end;
        }
        pieces.emplace_back(text + at, end - at);
        at = end;
    }
    return pieces;
}

} // namespace

namespace {

// Work of libraries the first window needs that touches neither GTK nor GLib's types, done on
// another core while GTK starts and the window is built: Fontconfig reading its configuration
// and font caches (the first text measured waits for it), and loading the SVG renderer the image
// library uses for the theme's check and radio marks (with the libraries it needs, loading it
// takes longer than painting the whole first window). Both are guarded by their libraries, so
// the window's thread that needs one meanwhile waits for it or does it itself. Nothing here
// registers a GLib type: two threads doing that at once can stop each other for good.
std::thread gWarmUp;
pid_t gWarmUpProcess = 0;

void WarmUpLibraries()
{
    gWarmUpProcess = getpid();
    gWarmUp = std::thread([] {
        FcInit();
        // Kept loaded: the image library's SVG reader finds it loaded when it needs it.
        dlopen("librsvg-2.so.2", RTLD_NOW | RTLD_LOCAL);
    });
    // Ended before the process's own ending tears down what the libraries use; a child forked
    // meanwhile has no such thread.
    std::atexit([] {
        if (gWarmUp.joinable() && getpid() == gWarmUpProcess)
            gWarmUp.join();
    });
}

// The desktop's start-up notification id this process was started with, taken out of the
// environment (so that programs started from here do not claim it) and given to the display.
std::string gStartupId;

// GDK's reading of the environment, done while the process has no other thread: the C
// library's setenv and unsetenv may move the variables under a getenv of another thread.
// Everything is drawn with Cairo: GDK's OpenGL set-up, which loads the system's GL driver (tens
// of milliseconds at every start), is left out unless the user's environment asks for GL itself.
// GDK takes its settings from the environment when it parses its arguments, which gtk_init does
// not repeat; GDK_GL is taken away again at once, so that programs started from here get the
// user's environment as it was. GDK would take the start-up id out of the environment only
// when it opens the display, with threads running: it is taken out here instead.
void ReadGdkEnvironment()
{
    const bool glUnset = !g_getenv("GDK_GL");
    if (glUnset)
        g_setenv("GDK_GL", "disable", TRUE);
    gdk_parse_args(nullptr, nullptr);
    if (glUnset)
        g_unsetenv("GDK_GL");
    if (const char* id = g_getenv("DESKTOP_STARTUP_ID")) {
        if (g_utf8_validate(id, -1, nullptr))
            gStartupId = id;
        g_unsetenv("DESKTOP_STARTUP_ID");
    }
}

void GiveStartupId()
{
#ifdef GDK_WINDOWING_X11
    GdkDisplay* display = gdk_display_get_default();
    if (!gStartupId.empty() && display && GDK_IS_X11_DISPLAY(display))
        gdk_x11_display_set_startup_notification_id(display, gStartupId.c_str());
#endif
    gStartupId.clear();
}

} // namespace

namespace {

std::atomic<LUiDisplayLostHook> gDisplayLost { nullptr };

#ifdef GDK_WINDOWING_X11
// Xlib's answer to a connection that broke. Xlib must not be returned into (it would end the
// program itself, as GDK's own handler does, with nothing kept). Xlib has marked the connection
// dead before it calls here, so a window touched by the hook sends nothing and waits for nothing.
int DisplayLost(Display* display)
{
    static std::atomic<bool> once { false };
    if (!once.exchange(true)) {
        const char* name = display ? DisplayString(display) : nullptr;
        const char* program = g_get_prgname();
        std::fprintf(stderr, "%s: Förbindelsen med skärmen %s bröts.\n",
            program ? program : "vorantel", name && *name ? name : "");
        if (LUiDisplayLostHook hook = gDisplayLost.load())
            hook();
    }
    _exit(1);
}
#endif

} // namespace

void LUiSetDisplayLostHook(LUiDisplayLostHook hook)
{
    gDisplayLost = hook;
}

bool LUiInit()
{
    if (gAvailable)
        return true;
    // GTK would otherwise set every locale category from the environment, LC_NUMERIC included,
    // and a decimal comma would creep into settings and files. The framework sets the locale
    // itself and keeps numbers in "C".
    gtk_disable_setlocale();
    static std::once_flag start;
    std::call_once(start, [] {
        ReadGdkEnvironment();
        WarmUpLibraries();
    });
    if (!gtk_init_check(nullptr, nullptr))
        return false;
    GiveStartupId();
#ifdef GDK_WINDOWING_X11
    // GDK set its own handler when it opened the display; this one replaces it.
    if (GDK_IS_X11_DISPLAY(gdk_display_get_default()))
        XSetIOErrorHandler(DisplayLost);
#endif
    LUiKeepWindowsOnScreenVisual();
    gAvailable = true;
    InstallCss();
    WatchSystemFont();
    LEventHub::Install();
    LModalCounter::WatchGtkModalWindows();
    return true;
}

bool LUiIsAvailable()
{
    return gAvailable;
}

void LUiFlushDisplay()
{
    if (gAvailable)
        gdk_display_flush(gdk_display_get_default());
}

void LUiSyncDisplay()
{
    if (gAvailable)
        gdk_display_sync(gdk_display_get_default());
}

bool LUiMainScreen(LUiScreen& screen)
{
    if (!gAvailable)
        return false;
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* m = gdk_display_get_primary_monitor(display);
    if (!m && gdk_display_get_n_monitors(display) > 0)
        m = gdk_display_get_monitor(display, 0);
    if (!m)
        return false;
    screen = ScreenOf(m);
    return true;
}

std::vector<LUiScreen> LUiScreens()
{
    std::vector<LUiScreen> list;
    if (!gAvailable)
        return list;
    GdkDisplay* display = gdk_display_get_default();
    int n = gdk_display_get_n_monitors(display);
    for (int i = 0; i < n; ++i)
        list.push_back(ScreenOf(gdk_display_get_monitor(display, i)));
    std::stable_partition(list.begin(), list.end(), [](const LUiScreen& s) { return s.primary; });
    return list;
}

bool LUiScreenAtPoint(double x, double y, LUiScreen& screen)
{
    if (!gAvailable)
        return false;
    GdkMonitor* m
        = gdk_display_get_monitor_at_point(gdk_display_get_default(), int(floor(x)), int(floor(y)));
    if (!m)
        return LUiMainScreen(screen);
    screen = ScreenOf(m);
    return true;
}

bool LUiPointerPosition(double& x, double& y)
{
    if (!gAvailable)
        return false;
    GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
    GdkDevice* pointer = seat ? gdk_seat_get_pointer(seat) : nullptr;
    if (!pointer)
        return false;
    gdk_device_get_position_double(pointer, nullptr, &x, &y);
    return true;
}

unsigned LUiPointerButtons()
{
    if (!gAvailable)
        return 0;
    GdkDisplay* display = gdk_display_get_default();
    GdkSeat* seat = display ? gdk_display_get_default_seat(display) : nullptr;
    GdkDevice* pointer = seat ? gdk_seat_get_pointer(seat) : nullptr;
    GdkScreen* screen = display ? gdk_display_get_default_screen(display) : nullptr;
    GdkWindow* root = screen ? gdk_screen_get_root_window(screen) : nullptr;
    if (!pointer || !root)
        return 0;
    GdkModifierType mask = GdkModifierType(0);
    gdk_window_get_device_position(root, pointer, nullptr, nullptr, &mask);
    return ((mask & GDK_BUTTON1_MASK) ? 1u : 0u) | ((mask & GDK_BUTTON3_MASK) ? 2u : 0u)
        | ((mask & GDK_BUTTON2_MASK) ? 4u : 0u);
}

const char* LUiSystemFontFamily()
{
    return SystemFont().family;
}

double LUiSystemFontSize()
{
    return SystemFont().size;
}

double LUiTextScale()
{
    constexpr double kDefaultSize = 10.0 * 96.0 / 72.0;
    const double size = LUiSystemFontSize();
    return std::isfinite(size) && size > kDefaultSize ? size / kDefaultSize : 1.0;
}

namespace {

// The thread's font map (Pango's default, one per thread) goes when the thread ends, under the
// lock as any font that goes (see TextLock.h).
void ReleaseThreadFontMap()
{
    pango_cairo_font_map_set_default(nullptr);
}

// A context of the thread's font map for measuring; the caller holds the text lock.
PangoContext* NewMeasureContext()
{
    platform::system::TextLock::ReleaseAtThreadEnd(ReleaseThreadFontMap);
    return pango_font_map_create_context(pango_cairo_font_map_get_default());
}

} // namespace

void LUiMeasureText(
    const char* text, const char* family, double size, bool bold, double& width, double& height)
{
    width = height = 0;
    if (!text)
        return;
    if (strlen(text) > kPieceBytes) {
        // One line: the pieces side by side.
        for (const std::string& piece : Pieces(text)) {
            double w = 0, h = 0;
            LUiMeasureText(piece.c_str(), family, size, bold, w, h);
            width += w;
            height = std::max(height, h);
        }
        return;
    }
    // The same labels are measured again and again while windows are built and laid out: the
    // sizes of short texts are kept per thread (the font map is per thread too).
    const char* face = family && *family ? family : LUiSystemFontFamily();
    const bool keep = std::strlen(text) <= kKeptMeasureBytes;
    std::string key;
    if (keep) {
        key.reserve(std::strlen(text) + std::strlen(face) + 24);
        key.append(face).push_back('\0');
        key.append(std::to_string(size)).push_back(bold ? 'b' : 'r');
        key.append(text);
        if (auto it = tKeptMeasures.find(key); it != tKeptMeasures.end()) {
            width = it->second.first;
            height = it->second.second;
            return;
        }
    }
    platform::system::TextLock lock;
    PangoContext* context = NewMeasureContext();
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    pango_cairo_context_set_font_options(context, options);
    cairo_font_options_destroy(options);

    PangoFontDescription* desc = pango_font_description_new();
    pango_font_description_set_family(desc, face);
    pango_font_description_set_absolute_size(desc, std::max(size, 1.0) * PANGO_SCALE);
    if (bold)
        pango_font_description_set_weight(desc, PANGO_WEIGHT_BOLD);
    PangoLayout* layout = pango_layout_new(context);
    pango_layout_set_font_description(layout, desc);
    pango_layout_set_text(layout, text, int(strlen(text)));
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    width = double(logical.width) / PANGO_SCALE;
    height = double(logical.height) / PANGO_SCALE;
    g_object_unref(layout);
    pango_font_description_free(desc);
    g_object_unref(context);
    if (keep) {
        if (tKeptMeasures.size() >= kKeptMeasures)
            tKeptMeasures.clear();
        tKeptMeasures.emplace(std::move(key), std::make_pair(width, height));
    }
}

int LUiMeasureTextLines(const char* text, const char* family, double size, double width)
{
    if (!text || !*text)
        return 0;
    if (strlen(text) > kPieceBytes) {
        // Pieces laid out one below the other (each piece's last line may be short).
        int lines = 0;
        for (const std::string& piece : Pieces(text))
            lines += LUiMeasureTextLines(piece.c_str(), family, size, width);
        return lines;
    }
    platform::system::TextLock lock;
    PangoContext* context = NewMeasureContext();
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    pango_cairo_context_set_font_options(context, options);
    cairo_font_options_destroy(options);
    PangoFontDescription* desc = pango_font_description_new();
    pango_font_description_set_family(desc, family && *family ? family : LUiSystemFontFamily());
    pango_font_description_set_absolute_size(desc, std::max(size, 1.0) * PANGO_SCALE);
    PangoLayout* layout = pango_layout_new(context);
    pango_layout_set_font_description(layout, desc);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    pango_layout_set_width(layout, int(std::max(width, 1.0) * PANGO_SCALE));
    pango_layout_set_text(layout, text, -1);
    int lines = pango_layout_get_line_count(layout);
    g_object_unref(layout);
    pango_font_description_free(desc);
    g_object_unref(context);
    return lines;
}
