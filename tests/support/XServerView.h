// The test's X server seen directly, as another program on the same display sees it: where a
// top-level window stands with its window manager's frame, the work area, the pixels of the
// screen, how often a window is drawn into (the DAMAGE extension) and how soon its program
// answers a ping (_NET_WM_PING, answered by the program's main loop); it also asks the window
// manager to maximise, restore or close a window, and sends key events as another program does.
// Xlib and libXdamage are loaded at run time (the test programs link no X library of their own);
// Ok() is false when they or the display are missing. Header only.
#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <dlfcn.h>
#include <functional>
#include <thread>
#include <vector>

struct XRect {
    int x = 0, y = 0, width = 0, height = 0;
    int Right() const { return x + width; }
    int Bottom() const { return y + height; }
    bool Inside(const XRect& o) const
    {
        return x >= o.x && y >= o.y && Right() <= o.Right() && Bottom() <= o.Bottom();
    }
};

// The index of the area (a monitor, say) that holds the middle of r; -1 when none does.
inline int AreaHoldingMiddle(const std::vector<XRect>& areas, const XRect& r)
{
    const int cx = r.x + r.width / 2, cy = r.y + r.height / 2;
    for (size_t i = 0; i < areas.size(); ++i)
        if (cx >= areas[i].x && cx < areas[i].Right() && cy >= areas[i].y && cy < areas[i].Bottom())
            return int(i);
    return -1;
}

class XServerView {
public:
    XServerView()
    {
        x11_ = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
        damage_ = dlopen("libXdamage.so.1", RTLD_NOW | RTLD_LOCAL);
        if (!x11_)
            return;
        bool all = Load(x11_, openDisplay, "XOpenDisplay")
            && Load(x11_, closeDisplay, "XCloseDisplay") && Load(x11_, internAtom, "XInternAtom")
            && Load(x11_, getProperty, "XGetWindowProperty") && Load(x11_, xfree, "XFree")
            && Load(x11_, getAttributes, "XGetWindowAttributes")
            && Load(x11_, translate, "XTranslateCoordinates") && Load(x11_, getImage, "XGetImage")
            && Load(x11_, pending, "XPending") && Load(x11_, nextEvent, "XNextEvent")
            && Load(x11_, sync, "XSync") && Load(x11_, sendEvent, "XSendEvent")
            && Load(x11_, selectInput, "XSelectInput") && Load(x11_, flush, "XFlush")
            && Load(x11_, selectionOwner, "XGetSelectionOwner")
            && Load(x11_, stringToKeysym, "XStringToKeysym")
            && Load(x11_, keysymToKeycode, "XKeysymToKeycode")
            && Load(x11_, setErrorHandler, "XSetErrorHandler");
        if (all)
            display_ = openDisplay(nullptr);
        if (damage_)
            hasDamage_ = Load(damage_, damageQuery, "XDamageQueryExtension")
                && Load(damage_, damageCreate, "XDamageCreate")
                && Load(damage_, damageSubtract, "XDamageSubtract")
                && Load(damage_, damageDestroy, "XDamageDestroy");
    }
    ~XServerView()
    {
        if (display_)
            closeDisplay(display_);
        if (damage_)
            dlclose(damage_);
        if (x11_)
            dlclose(x11_);
    }
    XServerView(const XServerView&) = delete;
    XServerView& operator=(const XServerView&) = delete;

    bool Ok() const { return display_ != nullptr; }
    bool HasDamage() const { return Ok() && hasDamage_; }

    XRect Screen()
    {
        XWindowAttributes a {};
        if (!Ok() || !getAttributes(display_, DefaultRootWindow(display_), &a))
            return {};
        return XRect { 0, 0, a.width, a.height };
    }

    // The window manager's work area of the first desktop, else the whole screen.
    XRect WorkArea()
    {
        std::vector<long> v = Cardinals(DefaultRootWindow(display_), "_NET_WORKAREA");
        if (v.size() >= 4 && v[2] > 0 && v[3] > 0)
            return XRect { int(v[0]), int(v[1]), int(v[2]), int(v[3]) };
        return Screen();
    }

    // Whether a window manager runs on the display (it names its own window on the root).
    bool HasWindowManager()
    {
        return Ok()
            && !Property(DefaultRootWindow(display_), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW)
                    .empty();
    }

    // The top-level window itself on the screen, without a window manager's frame.
    bool WindowRect(unsigned long window, XRect& r)
    {
        XWindowAttributes a {};
        int x = 0, y = 0;
        Window child = 0;
        if (!Ok() || !Quietly([&] {
                return getAttributes(display_, window, &a)
                    && translate(
                        display_, window, DefaultRootWindow(display_), 0, 0, &x, &y, &child);
            }))
            return false;
        r = XRect { x, y, a.width, a.height };
        return true;
    }

    // Asks the window manager to maximise the top-level window or to restore it, as the button
    // of its title bar does; false without a window manager.
    bool SetMaximized(unsigned long window, bool on)
    {
        if (!HasWindowManager())
            return false;
        XEvent e {};
        e.xclient.type = ClientMessage;
        e.xclient.window = window;
        e.xclient.message_type = internAtom(display_, "_NET_WM_STATE", False);
        e.xclient.format = 32;
        e.xclient.data.l[0] = on ? 1 : 0; // add or remove
        e.xclient.data.l[1] = long(internAtom(display_, "_NET_WM_STATE_MAXIMIZED_VERT", False));
        e.xclient.data.l[2] = long(internAtom(display_, "_NET_WM_STATE_MAXIMIZED_HORZ", False));
        e.xclient.data.l[3] = 1; // from an application
        const bool sent = sendEvent(display_, DefaultRootWindow(display_), False,
            SubstructureRedirectMask | SubstructureNotifyMask, &e);
        sync(display_, False);
        return sent;
    }

    // Asks the window manager to close the top-level window, as the close button of its title
    // bar does; false without a window manager.
    bool AskToClose(unsigned long window)
    {
        if (!HasWindowManager())
            return false;
        XEvent e {};
        e.xclient.type = ClientMessage;
        e.xclient.window = window;
        e.xclient.message_type = internAtom(display_, "_NET_CLOSE_WINDOW", False);
        e.xclient.format = 32;
        e.xclient.data.l[1] = 2; // from a pager, as a person's click on a panel
        const bool sent = sendEvent(display_, DefaultRootWindow(display_), False,
            SubstructureRedirectMask | SubstructureNotifyMask, &e);
        sync(display_, False);
        return sent;
    }

    // Whether the window manager offers to close the window (a close button in its title bar).
    bool OffersClose(unsigned long window)
    {
        const long close = long(internAtom(display_, "_NET_WM_ACTION_CLOSE", False));
        const std::vector<long> actions = Property(window, "_NET_WM_ALLOWED_ACTIONS", XA_ATOM);
        return std::find(actions.begin(), actions.end(), close) != actions.end();
    }

    // The rectangle a person sees of a top-level window: the window itself on the screen and the
    // frame a window manager drew around it.
    bool OuterFrame(unsigned long window, XRect& r)
    {
        XWindowAttributes a {};
        int x = 0, y = 0;
        Window child = 0;
        if (!Ok() || !Quietly([&] {
                return getAttributes(display_, window, &a)
                    && translate(
                        display_, window, DefaultRootWindow(display_), 0, 0, &x, &y, &child);
            }))
            return false;
        r = XRect { x, y, a.width, a.height };
        std::vector<long> e = Cardinals(window, "_NET_FRAME_EXTENTS"); // left, right, top, bottom
        if (e.size() >= 4) {
            r.x -= int(e[0]);
            r.y -= int(e[2]);
            r.width += int(e[0] + e[1]);
            r.height += int(e[2] + e[3]);
        }
        return true;
    }

    // The screen's pixels in the rectangle, 0xRRGGBB each, row by row (empty when unreadable).
    std::vector<uint32_t> Pixels(const XRect& r)
    {
        std::vector<uint32_t> out;
        if (!Ok() || r.width <= 0 || r.height <= 0)
            return out;
        XImage* image = Quietly([&] {
            return getImage(display_, DefaultRootWindow(display_), r.x, r.y, unsigned(r.width),
                unsigned(r.height), AllPlanes, ZPixmap);
        });
        if (!image)
            return out;
        out.reserve(size_t(r.width) * size_t(r.height));
        for (int y = 0; y < r.height; ++y)
            for (int x = 0; x < r.width; ++x)
                out.push_back(uint32_t(XGetPixel(image, x, y)) & 0xFFFFFF);
        XDestroyImage(image);
        return out;
    }

    // Runs the action while watching the window, and answers in how many of the 10 ms ticks of
    // that time the window had been drawn into (at most 100 a second, however often it draws);
    // -1 without the DAMAGE extension. A window that goes meanwhile (a progress window closed
    // when its job ends) is counted until it goes.
    int FramesWhile(unsigned long window, const std::function<void()>& action)
    {
        int event = 0, error = 0;
        if (!HasDamage() || !damageQuery(display_, &event, &error))
            return -1;
        // The server drops the window's damage record with the window: what is asked of it then
        // is refused, not fatal.
        sync(display_, False);
        const auto previous = setErrorHandler(+[](Display*, XErrorEvent*) { return 0; });
        Damage damage = damageCreate(display_, window, XDamageReportNonEmpty);
        sync(display_, False);
        std::atomic<bool> done { false };
        std::thread runner([&] {
            action();
            done = true;
        });
        int frames = 0;
        bool drawn = false;
        auto next = std::chrono::steady_clock::now();
        for (;;) {
            const bool last = done;
            while (pending(display_) > 0) {
                XEvent e;
                nextEvent(display_, &e);
                if (e.type == event + XDamageNotify) {
                    drawn = true;
                    damageSubtract(display_, damage, 0, 0);
                }
            }
            next += std::chrono::milliseconds(10);
            std::this_thread::sleep_until(next);
            sync(display_, False);
            if (drawn)
                ++frames;
            drawn = false;
            if (last)
                break;
        }
        runner.join();
        damageDestroy(display_, damage);
        sync(display_, False);
        setErrorHandler(previous);
        return frames;
    }

    // Whether some client owns the selection of that name (CLIPBOARD_MANAGER: a clipboard manager
    // runs).
    bool SelectionOwned(const char* name)
    {
        if (!Ok())
            return false;
        const Atom atom = internAtom(display_, name, False);
        return atom != 0 && selectionOwner(display_, atom) != 0;
    }

    // Sends a key press or release to the window as another program sends it (XSendEvent, not the
    // XTEST extension the keyboard's keys come through): the event says it was sent, its time is
    // CurrentTime, state the modifier mask (ControlMask...). False when the key is unknown.
    bool SendKey(unsigned long window, const char* keysym, bool press, unsigned state = 0)
    {
        if (!Ok())
            return false;
        const KeySym sym = stringToKeysym(keysym);
        const KeyCode code = sym == NoSymbol ? 0 : keysymToKeycode(display_, sym);
        if (code == 0)
            return false;
        XEvent e {};
        e.xkey.type = press ? KeyPress : KeyRelease;
        e.xkey.display = display_;
        e.xkey.window = window;
        e.xkey.root = DefaultRootWindow(display_);
        e.xkey.time = CurrentTime;
        e.xkey.x = e.xkey.y = e.xkey.x_root = e.xkey.y_root = 1;
        e.xkey.same_screen = True;
        e.xkey.state = state;
        e.xkey.keycode = code;
        sendEvent(display_, window, True, press ? KeyPressMask : KeyReleaseMask, &e);
        sync(display_, False);
        return true;
    }

    // Runs the action, then answers in how many ms from its start the window was drawn into;
    // -1 when it was not within maxMs (or without the DAMAGE extension).
    long long MsUntilDrawn(unsigned long window, const std::function<void()>& action, int maxMs)
    {
        int event = 0, error = 0;
        if (!HasDamage() || !damageQuery(display_, &event, &error))
            return -1;
        Damage damage = damageCreate(display_, window, XDamageReportNonEmpty);
        sync(display_, False);
        while (pending(display_) > 0) {
            XEvent e;
            nextEvent(display_, &e);
        }
        damageSubtract(display_, damage, 0, 0);
        // The region is emptied before the action: a window drawn while the subtraction still
        // waited in the queue would be drawn into a region not empty yet, which tells nothing.
        sync(display_, False);
        while (pending(display_) > 0) {
            XEvent e;
            nextEvent(display_, &e);
        }
        const auto start = std::chrono::steady_clock::now();
        action();
        long long drawn = -1;
        while (drawn < 0
            && std::chrono::steady_clock::now() - start < std::chrono::milliseconds(maxMs)) {
            sync(display_, False);
            while (pending(display_) > 0) {
                XEvent e;
                nextEvent(display_, &e);
                if (e.type == event + XDamageNotify && drawn < 0)
                    drawn = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                                .count();
            }
            if (drawn < 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        damageDestroy(display_, damage);
        sync(display_, False);
        return drawn;
    }

    // Pings the window's program (_NET_WM_PING, which its main loop answers through the root
    // window) every intervalMs while the action runs on another thread (once at least), and
    // answers the longest wait for an answer in ms; a ping still unanswered graceMs after the
    // action counts with its age. -1 when the display cannot be used.
    double LongestPingWhile(unsigned long window, const std::function<void()>& action,
        int intervalMs = 50, int graceMs = 200)
    {
        if (!Ok())
            return -1;
        using Clock = std::chrono::steady_clock;
        const Window root = DefaultRootWindow(display_);
        selectInput(display_, root, SubstructureNotifyMask);
        const Atom protocols = internAtom(display_, "WM_PROTOCOLS", False);
        const Atom ping = internAtom(display_, "_NET_WM_PING", False);
        sync(display_, False);
        std::atomic<bool> done { false };
        std::thread runner([&] {
            action();
            done = true;
        });
        std::vector<Clock::time_point> sent; // by serial - 1
        std::vector<bool> answered;
        double longest = 0;
        auto next = Clock::now();
        for (;;) {
            const bool last = done;
            if (Clock::now() >= next && (!last || sent.empty())) {
                XEvent e {};
                e.xclient.type = ClientMessage;
                e.xclient.window = window;
                e.xclient.message_type = protocols;
                e.xclient.format = 32;
                e.xclient.data.l[0] = long(ping);
                e.xclient.data.l[1] = long(sent.size() + 1); // the "time": our serial
                e.xclient.data.l[2] = long(window);
                sent.push_back(Clock::now());
                answered.push_back(false);
                sendEvent(display_, window, False, NoEventMask, &e);
                flush(display_);
                next += std::chrono::milliseconds(intervalMs);
            }
            while (pending(display_) > 0) {
                XEvent e;
                nextEvent(display_, &e);
                if (e.type != ClientMessage || e.xclient.message_type != protocols
                    || Atom(e.xclient.data.l[0]) != ping)
                    continue;
                const size_t serial = size_t(e.xclient.data.l[1]);
                if (serial < 1 || serial > sent.size() || answered[serial - 1])
                    continue;
                answered[serial - 1] = true;
                longest = std::max(longest,
                    std::chrono::duration<double, std::milli>(Clock::now() - sent[serial - 1])
                        .count());
            }
            if (last)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        runner.join();
        // The last pings get a moment for their answers (until every one has come, at most
        // graceMs); then the unanswered count with their age.
        const auto grace = Clock::now() + std::chrono::milliseconds(graceMs);
        auto unanswered = [&] { return std::count(answered.begin(), answered.end(), false); };
        while (Clock::now() < grace && unanswered() > 0) {
            sync(display_, False);
            while (pending(display_) > 0) {
                XEvent e;
                nextEvent(display_, &e);
                if (e.type == ClientMessage && e.xclient.message_type == protocols
                    && Atom(e.xclient.data.l[0]) == ping) {
                    const size_t serial = size_t(e.xclient.data.l[1]);
                    if (serial >= 1 && serial <= sent.size() && !answered[serial - 1]) {
                        answered[serial - 1] = true;
                        longest = std::max(longest,
                            std::chrono::duration<double, std::milli>(
                                Clock::now() - sent[serial - 1])
                                .count());
                    }
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        for (size_t i = 0; i < sent.size(); ++i)
            if (!answered[i])
                longest = std::max(longest,
                    std::chrono::duration<double, std::milli>(Clock::now() - sent[i]).count());
        selectInput(display_, root, NoEventMask);
        sync(display_, False);
        return longest;
    }

    // Waits until the window has not been drawn into for quietMs, at most maxMs; answers whether
    // it came to rest (false also without the DAMAGE extension).
    bool WaitQuiet(unsigned long window, int quietMs, int maxMs)
    {
        int event = 0, error = 0;
        if (!HasDamage() || !damageQuery(display_, &event, &error))
            return false;
        Damage damage = damageCreate(display_, window, XDamageReportNonEmpty);
        sync(display_, False);
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMs);
        auto lastDrawn = std::chrono::steady_clock::now();
        bool quiet = false;
        while (!quiet && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            sync(display_, False);
            while (pending(display_) > 0) {
                XEvent e;
                nextEvent(display_, &e);
                if (e.type == event + XDamageNotify) {
                    lastDrawn = std::chrono::steady_clock::now();
                    damageSubtract(display_, damage, 0, 0);
                }
            }
            quiet = std::chrono::steady_clock::now() - lastDrawn
                >= std::chrono::milliseconds(quietMs);
        }
        damageDestroy(display_, damage);
        sync(display_, False);
        return quiet;
    }

    // Pings the window's program once and waits for its answer (its main loop turns); false when
    // none came within maxMs.
    bool Answers(unsigned long window, int maxMs)
    {
        const double longest = LongestPingWhile(
            window, [] {}, 50, maxMs);
        return longest >= 0 && longest < maxMs;
    }

    // The window's place and size (with the window manager's frame when framed) once they have
    // stayed the same for quietMs, looked at every 20 ms; what they are at maxMs when they never
    // rest that long.
    XRect RestingRect(
        unsigned long window, bool framed = false, int quietMs = 300, int maxMs = 5000)
    {
        auto look
            = [&](XRect& r) { return framed ? OuterFrame(window, r) : WindowRect(window, r); };
        XRect last, now;
        look(last);
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMs);
        auto since = std::chrono::steady_clock::now();
        for (;;) {
            look(now);
            const auto t = std::chrono::steady_clock::now();
            if (now.x != last.x || now.y != last.y || now.width != last.width
                || now.height != last.height) {
                last = now;
                since = t;
            }
            if (t - since >= std::chrono::milliseconds(quietMs) || t >= end)
                return now;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    // Waits until the window has come to rest: not drawn into for quietMs and its program
    // answering; false when it did not within maxMs. What a test waits for before it looks at a
    // window just shown or changed, or drives it.
    bool WaitSettled(unsigned long window, int quietMs = 300, int maxMs = 15000)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMs);
        if (!WaitQuiet(window, quietMs, maxMs))
            return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        return Answers(window, std::max(int(left.count()), 1000));
    }

private:
    template <typename F> static bool Load(void* lib, F& f, const char* name)
    {
        f = reinterpret_cast<F>(dlsym(lib, name));
        return f != nullptr;
    }

    std::vector<long> Cardinals(Window window, const char* name)
    {
        return Property(window, name, XA_CARDINAL);
    }

    std::vector<long> Property(Window window, const char* name, Atom wanted)
    {
        std::vector<long> out;
        if (!Ok())
            return out;
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        const Atom atom = internAtom(display_, name, True);
        if (atom == 0)
            return out;
        if (Quietly([&] {
                return getProperty(display_, window, atom, 0, 64, False, wanted, &type, &format,
                    &count, &after, &data);
            }) == Success
            && data && format == 32)
            out.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + count);
        if (data)
            xfree(data);
        return out;
    }

    // Runs ask, whose requests name a window that may have gone meanwhile (a tooltip, a dialog
    // closing): the server's refusal makes the request fail instead of ending the test, as Xlib's
    // own handler of errors would.
    template <class Ask> auto Quietly(const Ask& ask) -> decltype(ask())
    {
        const auto previous = setErrorHandler(+[](Display*, XErrorEvent*) { return 0; });
        auto answer = ask();
        sync(display_, False);
        setErrorHandler(previous);
        return answer;
    }

    void* x11_ = nullptr;
    void* damage_ = nullptr;
    Display* display_ = nullptr;
    bool hasDamage_ = false;
    decltype(&XOpenDisplay) openDisplay = nullptr;
    decltype(&XCloseDisplay) closeDisplay = nullptr;
    decltype(&XInternAtom) internAtom = nullptr;
    decltype(&XGetWindowProperty) getProperty = nullptr;
    decltype(&XFree) xfree = nullptr;
    decltype(&XGetWindowAttributes) getAttributes = nullptr;
    decltype(&XTranslateCoordinates) translate = nullptr;
    decltype(&XGetImage) getImage = nullptr;
    decltype(&XPending) pending = nullptr;
    decltype(&XNextEvent) nextEvent = nullptr;
    decltype(&XSync) sync = nullptr;
    decltype(&XSendEvent) sendEvent = nullptr;
    decltype(&XSelectInput) selectInput = nullptr;
    decltype(&XFlush) flush = nullptr;
    decltype(&XGetSelectionOwner) selectionOwner = nullptr;
    decltype(&XStringToKeysym) stringToKeysym = nullptr;
    decltype(&XKeysymToKeycode) keysymToKeycode = nullptr;
    decltype(&XSetErrorHandler) setErrorHandler = nullptr;
    decltype(&XDamageQueryExtension) damageQuery = nullptr;
    decltype(&XDamageCreate) damageCreate = nullptr;
    decltype(&XDamageSubtract) damageSubtract = nullptr;
    decltype(&XDamageDestroy) damageDestroy = nullptr;
};

#include <cairo.h>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

// Saves a part of the screen as a PNG under <build>/test-artefacts/ (the name gets "-scale2" at
// GDK_SCALE=2 and "-wm" under a window manager); answers the file's path, "" when none.
inline std::string SaveScreenPng(XServerView& view, const XRect& r, const std::string& name)
{
    std::vector<uint32_t> pixels = view.Pixels(r);
    if (pixels.empty())
        return "";
    std::string dir = std::string(VT_BINARY_DIR) + "/test-artefacts";
    mkdir(dir.c_str(), 0755);
    const char* scale = std::getenv("GDK_SCALE");
    const char* wm = std::getenv("VT_WINDOW_MANAGER");
    std::string path = dir + "/" + name + (wm && std::string(wm) == "1" ? "-wm" : "")
        + (scale && std::atoi(scale) > 1 ? "-scale2" : "") + ".png";
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, r.width, r.height);
    cairo_surface_flush(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x)
            reinterpret_cast<uint32_t*>(data + y * stride)[x] = pixels[size_t(y) * r.width + x];
    cairo_surface_mark_dirty(s);
    const bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    return ok ? path : "";
}
