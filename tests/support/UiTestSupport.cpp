#include "support/UiTestSupport.h"

#include "platform/ui/LEventHub.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LRunLoop.h"
#include "platform/ui/LUiSystem.h"
#include "platform/ui/LView.h"
#include "support/CommandOutput.h"
#include "support/ScreenCopies.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace uitest {

namespace {

// Synthesised events get times far apart, so that two clicks never count as a double click.
uint32_t NextTime()
{
    static uint32_t t = 100000;
    t += 5000;
    return t;
}

GdkDevice* Pointer()
{
    GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
    return seat ? gdk_seat_get_pointer(seat) : nullptr;
}

} // namespace

namespace {

// Where the locks of the display's pointer and keyboard lie: the runtime folder, which lives as
// long as the session (each test program's own, on an X server of its own, under ctest), else
// the temporary folder.
std::string LockFolder()
{
    for (const char* name : { "XDG_RUNTIME_DIR", "TMPDIR" })
        if (const char* folder = getenv(name); folder && folder[0] == '/')
            return folder;
    return "/tmp";
}

// The pointer is shared by the tests of the whole suite: one test at a time moves it.
int LockPointer()
{
    std::string display = getenv("DISPLAY") ? getenv("DISPLAY") : "";
    for (char& c : display)
        if (c == ':' || c == '/' || c == '.')
            c = '_';
    std::string lockPath = LockFolder() + "/vt-ui-pointer" + display + ".lock";
    int fd = open(lockPath.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0666);
    if (fd >= 0)
        flock(fd, LOCK_EX);
    return fd;
}

void UnlockPointer(int fd)
{
    if (fd >= 0) {
        flock(fd, LOCK_UN);
        close(fd);
    }
}

} // namespace

bool Init()
{
    return LUiInit();
}

void Pump(unsigned ms)
{
    LRunLoop::RunUntil(nullptr, 0, nullptr, true, ms);
}

bool PumpUntil(const std::function<bool()>& cond, unsigned ms)
{
    if (cond())
        return true;
    // The condition may wait on what does not wake the loop (another process, a file, a thread):
    // a short timer makes the loop look at it now and then. It is of low priority: a condition
    // slower than its period (one that starts a process) would otherwise find it due on every
    // turn and keep GTK's layout and painting, which are idles, from ever running.
    const guint poll = g_timeout_add_full(
        G_PRIORITY_LOW, 5, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr,
        nullptr);
    LRunLoop::RunUntil(nullptr, 0, cond, true, ms);
    g_source_remove(poll);
    return cond();
}

bool PumpUntilIdle(unsigned ms)
{
    return PumpUntil([] { return !g_main_context_pending(nullptr); }, ms);
}

std::string Run(const std::string& command, int* status)
{
    return CommandOutput(command, status);
}

bool HaveXdotool()
{
    int status = 0;
    Run("command -v xdotool >/dev/null 2>&1", &status);
    return status == 0;
}

bool XGeometry(unsigned long xid, int& width, int& height)
{
    int status = 0;
    std::string out
        = Run("xdotool getwindowgeometry " + std::to_string(xid) + " 2>/dev/null", &status);
    size_t at = out.find("Geometry:");
    if (status != 0 || at == std::string::npos)
        return false;
    return sscanf(out.c_str() + at, "Geometry: %dx%d", &width, &height) == 2;
}

void FocusNowhere()
{
    // Focus None: no window has the keyboard. (Focus on the root window would still send the
    // keys to the window under the pointer.)
    Run("xdotool windowfocus 0 >/dev/null 2>&1");
    gdk_display_sync(gdk_display_get_default());
}

bool PressKeys(LNativeWindow* window, const std::string& keys, unsigned ms)
{
    return PressKeys(window, nullptr, keys, ms);
}

bool PressKeys(LNativeWindow* window, GtkWidget* menu, const std::string& keys, unsigned ms)
{
    GtkWidget* top = window && window->Gtk() ? GTK_WIDGET(window->Gtk()) : nullptr;
    if (!top)
        return false;
    // A modifier's release (the Shift of Shift+Tab) may come after the key's: it does not count.
    bool released = false;
    auto onRelease = +[](GtkWidget*, GdkEventKey* e, gpointer flag) {
        if (!e->is_modifier)
            *static_cast<bool*>(flag) = true;
        return FALSE;
    };
    std::vector<std::pair<GtkWidget*, gulong>> handlers;
    // While a menu is open it holds the keyboard: the keys go to its own window.
    for (GtkWidget* w : { top, menu ? gtk_widget_get_toplevel(menu) : nullptr })
        if (w && (w == top || GTK_IS_WINDOW(w)))
            handlers.emplace_back(
                w, g_signal_connect(w, "key-release-event", G_CALLBACK(onRelease), &released));
    gdk_display_sync(gdk_display_get_default());
    Run("xdotool windowfocus --sync " + std::to_string(window->XWindowId()) + " key " + keys
        + " >/dev/null 2>&1");
    const bool handled = PumpUntil([&] { return released; }, ms);
    for (const auto& [w, handler] : handlers)
        g_signal_handler_disconnect(w, handler);
    return handled;
}

bool ShowAndWait(LNativeWindow* window)
{
    window->MakeKeyAndOrderFront();
    bool mapped = PumpUntil(
        [window] { return window->Gtk() && gtk_widget_get_mapped(GTK_WIDGET(window->Gtk())); });
    gdk_display_sync(gdk_display_get_default());
    Pump(50);
    return mapped;
}

namespace {

bool DrawnOnce(GtkWidget* top, unsigned ms)
{
    if (!top || !gtk_widget_get_mapped(top))
        return false;
    GdkFrameClock* clock = gtk_widget_get_frame_clock(top);
    if (!clock)
        return false;
    // The frame clock's paint phase ends once the window's contents have gone to the X server.
    bool painted = false;
    const gulong handler = g_signal_connect(clock, "after-paint",
        G_CALLBACK(+[](GdkFrameClock*, gpointer flag) { *static_cast<bool*>(flag) = true; }),
        &painted);
    gtk_widget_queue_draw(top);
    const bool drawn = PumpUntil([&] { return painted; }, ms);
    g_signal_handler_disconnect(clock, handler);
    gdk_display_sync(gdk_display_get_default());
    return drawn;
}

} // namespace

bool PumpUntilDrawn(GtkWidget* top, unsigned ms)
{
    bool drawn = DrawnOnce(top, ms);
    // Pictures drawn meanwhile from stand-ins: drawn again once their copies are made.
    for (int i = 0; drawn && i < 4 && LScreenImageCopies::Busy(); ++i)
        drawn = WaitForScreenCopies() && DrawnOnce(top, ms);
    return drawn;
}

bool PumpUntilDrawn(LNativeWindow* window, unsigned ms)
{
    return window && window->Gtk() && PumpUntilDrawn(GTK_WIDGET(window->Gtk()), ms);
}

namespace {

// Puts the window in the screen's bottom-right corner, above the others, and takes the pointer
// lock (fd, for UnlockPointer). False when there is no screen.
bool PlaceUnderPointer(LNativeWindow* window, int& fd)
{
    LUiScreen screen;
    if (!LUiMainScreen(screen))
        return false;
    LUiRect f = window->Frame();
    window->SetFrame(LUiRect { screen.frame.x + screen.frame.width - f.width - 4,
        screen.frame.y + screen.frame.height - f.height - 4, f.width, f.height });
    PumpUntil([&] {
        LUiRect now = window->Frame();
        return now.x + now.width >= screen.frame.width - 8;
    });
    fd = LockPointer();
    gdk_window_raise(gtk_widget_get_window(GTK_WIDGET(window->Gtk())));
    gdk_display_sync(gdk_display_get_default());
    return true;
}

// Runs an xdotool command line while the loop turns (GTK runs a drag meanwhile), then waits up
// to ms for done. False when the command could not start or done never held.
bool RunPumping(const std::string& command, const std::function<bool()>& done, unsigned ms)
{
    gchar* argv[] = { const_cast<gchar*>("/bin/sh"), const_cast<gchar*>("-c"),
        const_cast<gchar*>(command.c_str()), nullptr };
    GPid pid = 0;
    bool started = g_spawn_async(
        nullptr, argv, nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr, &pid, nullptr);
    if (!started)
        return false;
    bool finished = false;
    PumpUntil(
        [pid, &finished] {
            int status = 0;
            if (!finished && waitpid(pid, &status, WNOHANG) == pid)
                finished = true;
            return finished;
        },
        ms);
    if (!finished)
        waitpid(pid, nullptr, 0);
    g_spawn_close_pid(pid);
    return PumpUntil(done, ms);
}

} // namespace

bool XClick(LNativeWindow* window, double x, double y)
{
    return XClickButton(window, x, y, 1, 1);
}

bool XClickButton(LNativeWindow* window, double x, double y, int button, int repeat)
{
    int fd = -1;
    if (!PlaceUnderPointer(window, fd))
        return false;
    double s = window->BackingScale();
    int status = 0;
    // Without --sync, which can wait long for a move it does not see; the server handles the
    // move before the click anyway.
    Run("xdotool mousemove --window " + std::to_string(window->XWindowId()) + " "
            + std::to_string(int(x * s)) + " "
            + std::to_string(int((y + window->TopSlotsHeight()) * s)) + " click --repeat "
            + std::to_string(repeat) + " --delay 60 " + std::to_string(button),
        &status);
    UnlockPointer(fd);
    return status == 0;
}

bool XClickWidget(GtkWidget* widget)
{
    if (!widget || !gtk_widget_get_mapped(widget))
        return false;
    GtkWidget* top = gtk_widget_get_toplevel(widget);
    GdkWindow* window = top ? gtk_widget_get_window(top) : nullptr;
    GtkAllocation a;
    gtk_widget_get_allocation(widget, &a);
    int x = 0, y = 0;
    if (!window
        || !gtk_widget_translate_coordinates(widget, top, a.width / 2, a.height / 2, &x, &y))
        return false;
    int fd = LockPointer();
    gdk_window_raise(window);
    gdk_display_sync(gdk_display_get_default());
    int ox = 0, oy = 0;
    gdk_window_get_origin(window, &ox, &oy);
    // xdotool counts device pixels; GDK application pixels.
    const int s = gtk_widget_get_scale_factor(widget);
    int status = 0;
    Run("xdotool mousemove " + std::to_string((ox + x) * s) + " " + std::to_string((oy + y) * s)
            + " click 1",
        &status);
    UnlockPointer(fd);
    return status == 0;
}

bool XMove(LNativeWindow* window, double x, double y)
{
    int fd = -1;
    if (!PlaceUnderPointer(window, fd))
        return false;
    double s = window->BackingScale();
    int status = 0;
    Run("xdotool mousemove --window " + std::to_string(window->XWindowId()) + " "
            + std::to_string(int(x * s)) + " "
            + std::to_string(int((y + window->TopSlotsHeight()) * s)),
        &status);
    UnlockPointer(fd);
    return status == 0;
}

KeyboardLock::KeyboardLock()
{
    std::string display = getenv("DISPLAY") ? getenv("DISPLAY") : "";
    for (char& c : display)
        if (c == ':' || c == '/' || c == '.')
            c = '_';
    std::string path = LockFolder() + "/vt-ui-keyboard" + display + ".lock";
    fFd = open(path.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0666);
    if (fFd >= 0)
        flock(fFd, LOCK_EX);
}

KeyboardLock::~KeyboardLock()
{
    if (fFd >= 0) {
        flock(fFd, LOCK_UN);
        close(fFd);
    }
}

bool XDrag(LNativeWindow* from, double fx, double fy, LNativeWindow* to, double tx, double ty,
    const std::function<bool()>& done, unsigned ms)
{
    LUiScreen screen;
    if (!LUiMainScreen(screen))
        return false;
    double x = screen.frame.x + 4;
    for (LNativeWindow* w : { from, to }) {
        LUiRect f = w->Frame();
        w->SetFrame(
            LUiRect { x, screen.frame.y + screen.frame.height - f.height - 4, f.width, f.height });
        x += f.width + 20;
    }
    PumpUntil([&] {
        LUiRect now = to->Frame();
        return now.y + now.height >= screen.frame.height - 8;
    });
    int fd = LockPointer();
    for (LNativeWindow* w : { from, to })
        gdk_window_raise(gtk_widget_get_window(GTK_WIDGET(w->Gtk())));
    gdk_display_sync(gdk_display_get_default());
    double s = from->BackingScale();
    auto at = [s](LNativeWindow* w, double x, double y) {
        LUiRect f = w->Frame();
        return std::to_string(int((f.x + x) * s)) + " "
            + std::to_string(int((f.y + w->TopSlotsHeight() + y) * s));
    };
    std::string command = "xdotool mousemove " + at(from, fx, fy)
        + " sleep 0.1 mousedown 1 sleep 0.1 mousemove " + at(from, fx + 8, fy + 8)
        + " sleep 0.1 mousemove " + at(from, fx + 20, fy + 20) + " sleep 0.1 mousemove "
        + at(to, tx, ty) + " sleep 0.2 mousemove " + at(to, tx + 2, ty + 2)
        + " sleep 0.2 mouseup 1";
    bool ok = RunPumping(command, done, ms);
    UnlockPointer(fd);
    return ok;
}

bool XDragWithin(LNativeWindow* window, double fx, double fy, double tx, double ty,
    const std::function<bool()>& done, unsigned ms)
{
    int fd = -1;
    if (!PlaceUnderPointer(window, fd))
        return false;
    const double s = window->BackingScale();
    const std::string xid = std::to_string(window->XWindowId());
    auto at = [&](double x, double y) {
        return " mousemove --window " + xid + " " + std::to_string(int(x * s)) + " "
            + std::to_string(int((y + window->TopSlotsHeight()) * s));
    };
    std::string command = "xdotool" + at(fx, fy) + " sleep 0.1 mousedown 1";
    for (int i = 1; i <= 4; ++i)
        command += " sleep 0.05" + at(fx + (tx - fx) * i / 4, fy + (ty - fy) * i / 4);
    command += " sleep 0.1 mouseup 1";
    bool ok = RunPumping(command, done, ms);
    UnlockPointer(fd);
    return ok;
}

void SendButton(LView* view, double x, double y, int button, bool press)
{
    GtkWidget* w = view->Widget();
    GdkWindow* gw = gtk_widget_get_window(w);
    GdkEvent* e = gdk_event_new(press ? GDK_BUTTON_PRESS : GDK_BUTTON_RELEASE);
    e->button.window = GDK_WINDOW(g_object_ref(gw));
    int ox = 0, oy = 0;
    gdk_window_get_origin(gw, &ox, &oy);
    double wx = x, wy = y;
    if (!gtk_widget_get_has_window(w)) {
        GtkAllocation a;
        gtk_widget_get_allocation(w, &a);
        wx += a.x;
        wy += a.y;
    }
    e->button.x = wx;
    e->button.y = wy;
    e->button.x_root = ox + wx;
    e->button.y_root = oy + wy;
    e->button.button = button;
    e->button.time = NextTime();
    e->button.state = press ? 0 : (button == 1 ? GDK_BUTTON1_MASK : GDK_BUTTON3_MASK);
    gdk_event_set_device(e, Pointer());
    LEventHub::Dispatch(e);
    gdk_event_free(e);
}

void SendMotion(LView* view, double x, double y, unsigned state)
{
    GtkWidget* w = view->Widget();
    GdkWindow* gw = gtk_widget_get_window(w);
    GdkEvent* e = gdk_event_new(GDK_MOTION_NOTIFY);
    e->motion.window = GDK_WINDOW(g_object_ref(gw));
    int ox = 0, oy = 0;
    gdk_window_get_origin(gw, &ox, &oy);
    e->motion.x = x;
    e->motion.y = y;
    e->motion.x_root = ox + x;
    e->motion.y_root = oy + y;
    e->motion.state = state;
    e->motion.time = NextTime();
    gdk_event_set_device(e, Pointer());
    LEventHub::Dispatch(e);
    gdk_event_free(e);
}

namespace {

// A key event for the view's window as the display gives one (free it with gdk_event_free).
GdkEvent* KeyEvent(LView* view, unsigned keyval, bool press, unsigned state)
{
    GtkWidget* top = gtk_widget_get_toplevel(view->Widget());
    GdkEvent* e = gdk_event_new(press ? GDK_KEY_PRESS : GDK_KEY_RELEASE);
    e->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(top)));
    e->key.keyval = keyval;
    e->key.state = state;
    e->key.time = NextTime();
    GdkKeymapKey* keys = nullptr;
    gint n = 0;
    if (gdk_keymap_get_entries_for_keyval(
            gdk_keymap_get_for_display(gdk_display_get_default()), keyval, &keys, &n)
        && n > 0)
        e->key.hardware_keycode = guint16(keys[0].keycode);
    g_free(keys);
    e->key.string = g_strdup("");
    // As the display marks them: Shift, Ctrl, Caps Lock, Alt, Super and the like.
    e->key.is_modifier = (keyval >= GDK_KEY_Shift_L && keyval <= GDK_KEY_Hyper_R)
        || keyval == GDK_KEY_ISO_Level3_Shift;
    GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
    gdk_event_set_device(e, seat ? gdk_seat_get_keyboard(seat) : nullptr);
    return e;
}

} // namespace

void SendKey(LView* view, unsigned keyval, bool press, unsigned state)
{
    GdkEvent* e = KeyEvent(view, keyval, press, state);
    LEventHub::Dispatch(e);
    gdk_event_free(e);
}

void PutKey(LView* view, unsigned keyval, bool press, unsigned state)
{
    GdkEvent* e = KeyEvent(view, keyval, press, state);
    gdk_event_put(e);
    gdk_event_free(e);
}

bool SaveScreenshot(LNativeWindow* window, const std::string& path)
{
    return SaveWidgetScreenshot(window->Gtk() ? GTK_WIDGET(window->Gtk()) : nullptr, path);
}

cairo_surface_t* DrawnSurface(GtkWidget* widget)
{
    // Drawn by the window itself, in device pixels: other windows of the shared display that
    // may cover it do not show.
    if (!widget || !gtk_widget_get_realized(widget))
        return nullptr;
    // Pictures from their copies for the screen, not from stand-ins.
    WaitForScreenCopies();
    const int scale = std::max(1, gtk_widget_get_scale_factor(widget));
    const int w = gtk_widget_get_allocated_width(widget),
              h = gtk_widget_get_allocated_height(widget);
    cairo_surface_t* surface
        = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w * scale, h * scale);
    cairo_surface_set_device_scale(surface, scale, scale);
    cairo_t* cr = cairo_create(surface);
    gtk_widget_draw(widget, cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    return surface;
}

bool SaveWidgetScreenshot(GtkWidget* top, const std::string& path)
{
    cairo_surface_t* surface = DrawnSurface(top);
    if (!surface)
        return false;
    gchar* folder = g_path_get_dirname(path.c_str());
    g_mkdir_with_parents(folder, 0755);
    g_free(folder);
    bool saved = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return saved;
}

void When(std::function<bool()> cond, std::function<void()> fn)
{
    struct Pending {
        std::function<bool()> cond;
        std::function<void()> fn;
        int tries = 0;
    };
    auto* p = new Pending { std::move(cond), std::move(fn) };
    g_timeout_add(
        20,
        +[](gpointer data) -> gboolean {
            auto* p = static_cast<Pending*>(data);
            if (!p->cond() && ++p->tries < 250)
                return G_SOURCE_CONTINUE;
            p->fn();
            delete p;
            return G_SOURCE_REMOVE;
        },
        p);
}

void After(unsigned ms, std::function<void()> fn)
{
    auto* f = new std::function<void()>(std::move(fn));
    g_timeout_add_full(
        G_PRIORITY_DEFAULT, ms,
        [](gpointer p) {
            (*static_cast<std::function<void()>*>(p))();
            return G_SOURCE_REMOVE;
        },
        f, [](gpointer p) { delete static_cast<std::function<void()>*>(p); });
}

} // namespace uitest
