#include "platform/ui/LNativeWindow.h"

#include "platform/ui/LEventHub.h"
#include "platform/ui/LUiFocusReturn.h"
#include "platform/ui/LView.h"

#include <algorithm>
#include <cmath>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

namespace {

const char kWindowDataKey[] = "vt-native-window";

LNativeWindow* gMainWindow = nullptr;

// What the window manager drew around the last window of each kind it framed (one without a
// header bar of GTK's own), and what is expected before it has framed one. Window managers
// frame the kinds otherwise: a window the user can resize has a grip along its bottom edge that
// one of a fixed size lacks, a tool panel has a smaller title bar. A window is expected to get
// the frame of its own kind only: the frame of a fixed-size box taken for a resizable window
// made it a few points too tall, and it was fitted again once it showed.
struct ManagerFrame {
    LUiEdges edges;
    bool seen = false;
};
ManagerFrame gManagerFrames[2][2]; // [resizable][tool panel]
constexpr LUiEdges kUsualManagerFrame { 4, 30, 4, 4 };

ManagerFrame& ManagerFrameOf(GtkWindow* window)
{
    const bool resizable = gtk_window_get_resizable(window);
    const bool panel = gtk_window_get_type_hint(window) == GDK_WINDOW_TYPE_HINT_UTILITY;
    return gManagerFrames[resizable ? 1 : 0][panel ? 1 : 0];
}

// --- the application's activation ---

struct ActivationObserver {
    uintptr_t token;
    LUiAppActivationObserver observer;
    void* data;
};

std::vector<ActivationObserver>& ActivationObservers()
{
    static std::vector<ActivationObserver> observers;
    return observers;
}

bool gAppActive = false;
uintptr_t gNextActivationToken = 1;
uintptr_t gActivationMonitor = 0;
guint gActivationCheck = 0;

// Focus moving between two windows of the application is a focus-out and a focus-in: the
// answer is taken once both have been handled.
constexpr guint kActivationSettleMs = 50;

gboolean CheckActivation(gpointer)
{
    gActivationCheck = 0;
    bool active = LNativeWindow::IsApplicationActive();
    if (active == gAppActive)
        return G_SOURCE_REMOVE;
    gAppActive = active;
    for (ActivationObserver o : std::vector<ActivationObserver>(ActivationObservers())) {
        auto& list = ActivationObservers();
        bool present = std::any_of(list.begin(), list.end(),
            [&o](const ActivationObserver& x) { return x.token == o.token; });
        if (present)
            o.observer(active, o.data);
    }
    return G_SOURCE_REMOVE;
}

void ScheduleActivationCheck()
{
    if (!gActivationCheck && !ActivationObservers().empty())
        gActivationCheck = g_timeout_add(kActivationSettleMs, CheckActivation, nullptr);
}

bool ActivationFocusMonitor(GdkEvent*, void*)
{
    ScheduleActivationCheck();
    return false;
}

} // namespace

// The GTK signal handlers. Each holds a reference to the window and to its delegate while it runs,
// since a delegate may close and release both.
struct LNativeWindowGlue {
    static LNativeWindowDelegate* Delegate(LNativeWindow* w) { return w->fDelegate.Get(); }

    static gboolean DeleteEvent(GtkWidget*, GdkEvent*, gpointer data)
    {
        LNativeWindow* w = static_cast<LNativeWindow*>(data);
        LUiRef<LNativeWindow> hold(w);
        LUiRef<LNativeWindowDelegate> d(Delegate(w));
        if (!d) {
            w->Close();
            return TRUE;
        }
        if (d->WindowShouldClose(*w))
            w->Close();
        return TRUE; // the window is closed by the code above, never by GTK itself
    }

    static void Destroyed(GtkWidget* widget, gpointer data)
    {
        // Destroyed by someone else (the display went away, say).
        LNativeWindow* w = static_cast<LNativeWindow*>(data);
        if (w->fWindow == GTK_WINDOW(widget)) {
            LUiRef<LNativeWindow> hold(w);
            g_signal_handlers_disconnect_matched(
                widget, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr, w);
            g_object_set_data(G_OBJECT(widget), kWindowDataKey, nullptr);
            w->fWindow = nullptr;
            if (gMainWindow == w)
                gMainWindow = nullptr;
            // The delegate hears of it as of any close, and is let go as after one.
            if (LUiRef<LNativeWindowDelegate> d(Delegate(w)); d) {
                d->WindowWillClose(*w);
                w->fDelegate.Reset(nullptr);
            }
        }
    }

    static void ActiveChanged(GObject*, GParamSpec*, gpointer data)
    {
        LNativeWindow* w = static_cast<LNativeWindow*>(data);
        LUiRef<LNativeWindow> hold(w);
        LUiRef<LNativeWindowDelegate> d(Delegate(w));
        if (!w->fWindow)
            return;
        // Shown afresh to be placed again: the focus it loses then and gets back is not told.
        if (w->fShowingAgain) {
            if (gtk_window_is_active(w->fWindow))
                w->fShowingAgain = false;
            return;
        }
        if (gtk_window_is_active(w->fWindow) && w->CanBecomeMainWindow())
            gMainWindow = w;
        ScheduleActivationCheck();
        if (!d || !w->fWindow)
            return;
        if (gtk_window_is_active(w->fWindow))
            d->WindowDidBecomeKey(*w);
        else
            d->WindowDidResignKey(*w);
    }

    static void ScaleChanged(GObject*, GParamSpec*, gpointer data)
    {
        LNativeWindow* w = static_cast<LNativeWindow*>(data);
        LUiRef<LNativeWindow> hold(w);
        LUiRef<LNativeWindowDelegate> d(Delegate(w));
        if (!w->fWindow)
            return;
        // The display holds the smallest size in device pixels: it is told again at the new
        // scale, as large as the work area now holds.
        w->RefitAfterChange();
        if (d && w->fWindow)
            d->WindowDidChangeScale(*w);
    }

    // The window's place and size as the display has them. The size is not the content's yet:
    // GTK allocates it in the frame that follows, and WindowAllocated tells of it then. Only a
    // move that keeps the size is told here.
    static gboolean Configure(GtkWidget*, GdkEventConfigure* e, gpointer data)
    {
        LNativeWindow* w = static_cast<LNativeWindow*>(data);
        LUiRef<LNativeWindow> hold(w);
        w->fPositionCurrent = false;
        const LUiRect previous = w->fLastFrame;
        const LUiRect now = w->Frame();
        w->fLastFrame = now;
        const bool sized = e->width != w->fConfiguredWidth || e->height != w->fConfiguredHeight;
        w->fConfiguredWidth = e->width;
        w->fConfiguredHeight = e->height;
        LUiRef<LNativeWindowDelegate> d(Delegate(w));
        if (!d || !w->fPlaced || sized)
            return FALSE;
        if (now.x != previous.x || now.y != previous.y) {
            w->fToldFrame.x = now.x;
            w->fToldFrame.y = now.y;
            d->WindowDidMove(*w);
        }
        return FALSE;
    }

    // After GTK has allocated the whole window (the slots and the content view have their
    // sizes): a size other than the one the delegate knows is told now, before the frame is
    // painted, so that what shows is laid out for the size the window has.
    static void WindowAllocated(GtkWidget*, GdkRectangle*, gpointer data)
    {
        LNativeWindow* w = static_cast<LNativeWindow*>(data);
        if (!w->fWindow)
            return;
        LUiRef<LNativeWindow> hold(w);
        w->ApplyMinSize();
        const double height = w->fContentSize.height + w->TopSlotsHeight();
        if (w->fContentSize.width == w->fToldFrame.width && height == w->fToldFrame.height)
            return;
        const LUiRect previous = w->fToldFrame;
        w->fToldFrame = w->Frame();
        if (LUiRef<LNativeWindowDelegate> d(Delegate(w)); d)
            d->WindowDidResize(*w, previous);
        // What the delegate laid out anew may need other sizes of GTK (a scrolled document that
        // grew). Asked for while GTK allocates the window, that request reaches the window and
        // is dropped there once the allocation is over, and the window's child keeps it marked
        // as pending: every later request inside the window stops at that mark, and nothing in
        // it is measured again (a panel never gets its scroll bar). The window is measured
        // afresh once this allocation is over.
        w->MeasureAfterAllocation();
    }

    static gboolean MapEvent(GtkWidget* widget, GdkEvent*, gpointer data)
    {
        LNativeWindow* w = static_cast<LNativeWindow*>(data);
        LUiRef<LNativeWindow> hold(w);
        w->fPlaced = true;
        w->fLastFrame = w->Frame();
        w->fToldFrame.x = w->fLastFrame.x;
        w->fToldFrame.y = w->fLastFrame.y;
        // Each question for the place is several round trips to the display; what runs below
        // (fitting the window to the work area) asks again. The answer holds until this returns.
        w->fPositionCurrent = true;
        struct Forget {
            LNativeWindow* w;
            ~Forget() { w->fPositionCurrent = false; }
        } forget { w };
        if (w->fWantsFocus) {
            w->fWantsFocus = false;
            // Without a window manager nobody else gives a new window the focus.
            if (GdkWindow* gw = gtk_widget_get_window(widget))
                gdk_window_focus(gw, gtk_get_current_event_time());
        }
        // Once a window manager's frame is known, a window with a title bar is fitted to the
        // work area with it (see FitToWorkArea).
        if (w->fStyle & kLUiWindowTitled) {
            w->FitToWorkArea();
            if (!w->fHeaderBar && w->fWindow && gtk_window_get_decorated(w->fWindow)) {
                ManagerFrame& frame = ManagerFrameOf(w->fWindow);
                frame.edges = w->DecorationEdges();
                frame.seen = true;
            }
        }
        if (w->fWhenMapped) {
            std::function<void()> f = std::move(w->fWhenMapped);
            w->fWhenMapped = nullptr;
            f();
        }
        return FALSE;
    }

    static gboolean WindowState(GtkWidget*, GdkEventWindowState* e, gpointer data)
    {
        LNativeWindow* w = static_cast<LNativeWindow*>(data);
        LUiRef<LNativeWindow> hold(w);
        LUiRef<LNativeWindowDelegate> d(Delegate(w));
        if (e->changed_mask & GDK_WINDOW_STATE_ICONIFIED) {
            w->fIconified = e->new_window_state & GDK_WINDOW_STATE_ICONIFIED;
            if (d && w->fIconified)
                d->WindowWillMiniaturize(*w);
            else if (d)
                d->WindowDidDeminiaturize(*w);
        }
        if (e->changed_mask & GDK_WINDOW_STATE_MAXIMIZED) {
            w->fMaximized = e->new_window_state & GDK_WINDOW_STATE_MAXIMIZED;
            if (d && w->fMaximized && w->fWindow && !d->WindowShouldZoom(*w))
                gtk_window_unmaximize(w->fWindow);
        }
        return FALSE;
    }

    // Before GTK's own key handling: the views' key equivalents.
    static gboolean KeyPressBefore(GtkWidget*, GdkEventKey* e, gpointer data)
    {
        LNativeWindow* w = static_cast<LNativeWindow*>(data);
        LUiRef<LNativeWindow> hold(w);
        LUiRef<LNativeWindowDelegate> d(Delegate(w));
        LView* view = w->FirstResponder();
        if (!view)
            view = w->fContentView.Get();
        LUiEvent ev;
        if (!d || !view || !view->MakeEvent(reinterpret_cast<GdkEvent*>(e), ev))
            return FALSE;
        return d->WindowPerformKeyEquivalent(*w, ev);
    }

    // After GTK's own key handling (accelerators, the focus widget and its ancestors).
    static gboolean KeyPressAfter(GtkWidget*, GdkEventKey* e, gpointer data)
    {
        LNativeWindow* w = static_cast<LNativeWindow*>(data);
        if (e->keyval != GDK_KEY_Escape
            || (e->state & (GDK_SHIFT_MASK | GDK_CONTROL_MASK | GDK_MOD1_MASK)))
            return FALSE;
        LUiRef<LNativeWindow> hold(w);
        LUiRef<LNativeWindowDelegate> d(Delegate(w));
        return d && d->WindowCancel(*w);
    }

    static void ContentAllocated(GtkWidget*, GdkRectangle* a, gpointer data)
    {
        LNativeWindow* w = static_cast<LNativeWindow*>(data);
        if (!w->fContentView)
            return;
        w->fContentSize = LUiSize { double(a->width), double(a->height) };
        w->fContentView->SetFrameFromWindow(LUiRect { 0, 0, double(a->width), double(a->height) });
    }
};

LNativeWindow::LNativeWindow(const LUiRect& contentRect, unsigned style, bool panel)
    : fStyle(style)
    , fPanel(panel)
{
    fWindow = GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL));
    g_object_set_data(G_OBJECT(fWindow), kWindowDataKey, this);
    gtk_window_set_decorated(fWindow, style != kLUiWindowBorderless);
    gtk_window_set_deletable(fWindow, (style & kLUiWindowClosable) != 0);
    gtk_window_set_resizable(fWindow, (style & kLUiWindowResizable) != 0);
    if (panel || (style & kLUiWindowUtility))
        gtk_window_set_type_hint(fWindow, GDK_WINDOW_TYPE_HINT_UTILITY);

    fBox = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    fMenuSlot = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    fToolbarSlot = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    fContentSlot = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_box_pack_start(GTK_BOX(fBox), fMenuSlot, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(fBox), fToolbarSlot, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(fBox), fContentSlot, TRUE, TRUE, 0);
    gtk_container_add(GTK_CONTAINER(fWindow), fBox);
    gtk_widget_show(fBox);
    gtk_widget_show(fContentSlot); // the other slots show once they hold something

    g_signal_connect(fWindow, "delete-event", G_CALLBACK(LNativeWindowGlue::DeleteEvent), this);
    g_signal_connect(fWindow, "destroy", G_CALLBACK(LNativeWindowGlue::Destroyed), this);
    g_signal_connect(
        fWindow, "notify::is-active", G_CALLBACK(LNativeWindowGlue::ActiveChanged), this);
    g_signal_connect(
        fWindow, "notify::scale-factor", G_CALLBACK(LNativeWindowGlue::ScaleChanged), this);
    g_signal_connect(fWindow, "configure-event", G_CALLBACK(LNativeWindowGlue::Configure), this);
    g_signal_connect(
        fWindow, "size-allocate", G_CALLBACK(LNativeWindowGlue::WindowAllocated), this);
    g_signal_connect(fWindow, "map-event", G_CALLBACK(LNativeWindowGlue::MapEvent), this);
    g_signal_connect(
        fWindow, "window-state-event", G_CALLBACK(LNativeWindowGlue::WindowState), this);
    g_signal_connect(
        fWindow, "key-press-event", G_CALLBACK(LNativeWindowGlue::KeyPressBefore), this);
    g_signal_connect_after(
        fWindow, "key-press-event", G_CALLBACK(LNativeWindowGlue::KeyPressAfter), this);

    fContentSize = LUiSize { std::max(1.0, floor(contentRect.width + 0.5)),
        std::max(1.0, floor(contentRect.height + 0.5)) };
    fLastFrame = LUiRect { floor(contentRect.x + 0.5), floor(contentRect.y + 0.5),
        fContentSize.width, fContentSize.height };
    fToldFrame = fLastFrame;
    gtk_window_move(fWindow, int(fLastFrame.x), int(fLastFrame.y));
    ApplyContentSize();
}

LNativeWindow::~LNativeWindow()
{
    // Half destroyed already: the delegate is not told (a close tells it while the window is
    // whole).
    CloseWindow(false);
}

LNativeWindow* LNativeWindow::FromGtk(GtkWindow* window)
{
    return window ? static_cast<LNativeWindow*>(g_object_get_data(G_OBJECT(window), kWindowDataKey))
                  : nullptr;
}

void LNativeWindow::SetDelegate(LNativeWindowDelegate* delegate)
{
    fDelegate.Reset(delegate);
}

void LNativeWindow::SetContentView(LView* view)
{
    if (view == fContentView.Get())
        return;
    if (LView* old = fContentView.Get()) {
        if (GtkWidget* ow = old->ExistingWidget()) {
            g_signal_handlers_disconnect_matched(
                ow, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr, this);
            if (gtk_widget_get_parent(ow) == fContentSlot)
                gtk_container_remove(GTK_CONTAINER(fContentSlot), ow);
            gtk_widget_set_size_request(ow, -1, -1);
        }
        old->fNativeWindow = nullptr;
    }
    fContentView.Reset(view);
    if (!view || !fWindow)
        return;
    view->RemoveFromSuperview();
    view->fNativeWindow = this;
    view->SetFrameFromWindow(LUiRect { 0, 0, fContentSize.width, fContentSize.height });
    GtkWidget* w = view->Widget();
    if (GtkWidget* parent = gtk_widget_get_parent(w))
        gtk_container_remove(GTK_CONTAINER(parent), w);
    gtk_box_pack_start(GTK_BOX(fContentSlot), w, TRUE, TRUE, 0);
    g_signal_connect(w, "size-allocate", G_CALLBACK(LNativeWindowGlue::ContentAllocated), this);
    ApplyContentSize();
}

void LNativeWindow::SetTitle(const char* title)
{
    if (fWindow)
        gtk_window_set_title(fWindow, title ? title : "");
}

std::string LNativeWindow::Title() const
{
    const char* title = fWindow ? gtk_window_get_title(fWindow) : nullptr;
    return title ? title : "";
}

double LNativeWindow::TopSlotsHeight() const
{
    if (!fWindow)
        return 0;
    int total = 0;
    for (GtkWidget* slot : { fMenuSlot, fToolbarSlot }) {
        if (!gtk_widget_get_visible(slot))
            continue;
        if (gtk_widget_get_realized(slot)) {
            total += gtk_widget_get_allocated_height(slot);
        } else {
            int min = 0, nat = 0;
            gtk_widget_get_preferred_height(slot, &min, &nat);
            total += nat;
        }
    }
    return total;
}

double LNativeWindow::ToolbarHeight() const
{
    if (!fWindow || !fToolbar || !gtk_widget_get_visible(fToolbarSlot))
        return 0;
    if (gtk_widget_get_realized(fToolbarSlot))
        return gtk_widget_get_allocated_height(fToolbarSlot);
    int min = 0, nat = 0;
    gtk_widget_get_preferred_height(fToolbarSlot, &min, &nat);
    return nat;
}

LNativeWindow* LNativeWindow::KeyWindow()
{
    if (!LUiIsAvailable())
        return nullptr;
    LNativeWindow* found = nullptr;
    GList* list = gtk_window_list_toplevels();
    for (GList* l = list; l; l = l->next) {
        GtkWindow* w = GTK_WINDOW(l->data);
        if (gtk_window_is_active(w))
            if (LNativeWindow* nw = FromGtk(w))
                found = nw;
    }
    g_list_free(list);
    return found;
}

void LNativeWindow::RefitAfterChange()
{
    fToldMinSize = LUiSize { -1, -1 };
    UpdateMinSizeLimit();
    ApplyMinSize();
    // The window keeps its size in points: at a larger scale or text it may now stand out of the
    // work area. It is fitted once the display has given it its new size (until the change has
    // been handled whole, what the display tells of it is of the old size); then it is painted
    // whole once more at that size, whatever its views asked to be painted while the change was
    // handled.
    Retain();
    g_idle_add(
        [](gpointer data) -> gboolean {
            auto* window = static_cast<LNativeWindow*>(data);
            if (!window->IsClosed()) {
                if (window->fStyle & kLUiWindowTitled)
                    window->FitToWorkArea();
                window->SetNeedsDisplay();
            }
            window->Release();
            return G_SOURCE_REMOVE;
        },
        this);
}

void LNativeWindow::TellTextSizeChanged()
{
    if (!LUiIsAvailable())
        return;
    // Held while told: a window laid out again may close others.
    std::vector<LUiRef<LNativeWindow>> windows;
    GList* list = gtk_window_list_toplevels();
    for (GList* l = list; l; l = l->next)
        if (LNativeWindow* w = FromGtk(GTK_WINDOW(l->data)))
            windows.emplace_back(w);
    g_list_free(list);
    // GTK styles and measures its controls at the new size at its next frame: it does so now,
    // so that the windows are laid out with the controls' new sizes (a window manager may hold
    // the frames back).
    for (const LUiRef<LNativeWindow>& w : windows)
        if (GdkWindow* gw = w->fWindow ? gtk_widget_get_window(GTK_WIDGET(w->fWindow)) : nullptr)
            if (GdkFrameClock* clock = gdk_window_get_frame_clock(gw))
                g_signal_emit_by_name(clock, "layout");
    for (const LUiRef<LNativeWindow>& w : windows) {
        if (w->IsClosed() || !w->fWindow)
            continue;
        LUiRef<LNativeWindowDelegate> d(w->Delegate());
        // The smallest size the delegate gives at the new text size is told to the display.
        w->RefitAfterChange();
        if (d)
            d->WindowDidChangeTextSize(*w.Get());
    }
}

LNativeWindow* LNativeWindow::MainWindow()
{
    return gMainWindow;
}

bool LNativeWindow::IsApplicationActive()
{
    if (!LUiIsAvailable())
        return false;
    bool active = false;
    GList* list = gtk_window_list_toplevels();
    for (GList* l = list; l; l = l->next)
        if (gtk_window_is_active(GTK_WINDOW(l->data)))
            active = true;
    g_list_free(list);
    return active;
}

uintptr_t LNativeWindow::AddAppActivationObserver(LUiAppActivationObserver observer, void* data)
{
    auto& list = ActivationObservers();
    if (list.empty()) {
        gAppActive = IsApplicationActive();
        if (LUiIsAvailable())
            gActivationMonitor
                = LEventHub::AddMonitor(kLEventHubFocus, ActivationFocusMonitor, nullptr);
    }
    uintptr_t token = gNextActivationToken++;
    list.push_back(ActivationObserver { token, observer, data });
    return token;
}

void LNativeWindow::RemoveAppActivationObserver(uintptr_t token)
{
    auto& list = ActivationObservers();
    std::erase_if(list, [token](const ActivationObserver& o) { return o.token == token; });
    if (!list.empty())
        return;
    if (gActivationMonitor) {
        LEventHub::RemoveMonitor(gActivationMonitor);
        gActivationMonitor = 0;
    }
    if (gActivationCheck) {
        g_source_remove(gActivationCheck);
        gActivationCheck = 0;
    }
}

bool LNativeWindow::CanBecomeMainWindow() const
{
    return !fPanel && (fStyle & (kLUiWindowTitled | kLUiWindowResizable));
}

void LNativeWindow::ApplyContentSize()
{
    if (!fWindow)
        return;
    int w = int(fContentSize.width), h = int(fContentSize.height);
    GtkWidget* content = fContentView ? fContentView->ExistingWidget() : nullptr;
    if (fStyle & kLUiWindowResizable) {
        if (content)
            gtk_widget_set_size_request(content, -1, -1);
        int total = h + int(TopSlotsHeight());
        gtk_window_set_default_size(fWindow, w, total);
        gtk_window_resize(fWindow, w, total);
    } else if (content) {
        // A fixed-size window takes exactly the size its content asks for, also a smaller one:
        // a default size from before would otherwise hold it at least that large.
        gtk_widget_set_size_request(content, w, h);
        gtk_window_set_default_size(fWindow, -1, -1);
        gtk_window_resize(fWindow, w, h + int(TopSlotsHeight()));
    } else {
        gtk_window_set_default_size(fWindow, w, h);
        gtk_window_resize(fWindow, w, h);
    }
    // Before the window is first shown, the program lays it out for the size it gives it;
    // afterwards the size it gets is told when GTK allocates it.
    if (!fPlaced) {
        fToldFrame.width = fContentSize.width;
        fToldFrame.height = fContentSize.height + TopSlotsHeight();
    }
    ApplyMinSize();
    PlaceAgainIfGrown(w, h + int(TopSlotsHeight()));
}

namespace {

// Whether the program places its windows itself (X11); elsewhere (Wayland) the compositor
// places a window when it maps it, and a window that grows grows from where it stands.
bool ProgramPlacesWindows(GtkWidget* widget)
{
#ifdef GDK_WINDOWING_X11
    if (GDK_IS_X11_DISPLAY(gtk_widget_get_display(widget)))
        return true;
#endif
    (void)widget;
    return false;
}

} // namespace

void LNativeWindow::PlaceAgainIfGrown(int width, int height)
{
    GtkWidget* widget = fWindow ? GTK_WIDGET(fWindow) : nullptr;
    if (!widget || !fPlaced || fShowAgainPending || fMaximized || fIconified
        || !gtk_widget_get_mapped(widget) || ProgramPlacesWindows(widget))
        return;
    // Larger than it shows now (the menu bar, toolbar and content: what GTK draws around them
    // keeps its size).
    if (width <= gtk_widget_get_allocated_width(fBox)
        && height <= gtk_widget_get_allocated_height(fBox))
        return;
    // Before GTK's next frame gives the window its new size (the frame's layout runs at a
    // lower priority), and outside whatever asked for the size.
    fShowAgainPending = true;
    Retain();
    g_idle_add_full(
        G_PRIORITY_HIGH_IDLE,
        [](gpointer data) -> gboolean {
            auto* window = static_cast<LNativeWindow*>(data);
            window->fShowAgainPending = false;
            window->ShowAgainPlaced();
            window->Release();
            return G_SOURCE_REMOVE;
        },
        this, nullptr);
}

void LNativeWindow::ShowAgainPlaced()
{
    GtkWidget* widget = fWindow ? GTK_WIDGET(fWindow) : nullptr;
    if (!widget || !gtk_widget_get_mapped(widget) || fMaximized || fIconified)
        return;
    const bool active = gtk_window_is_active(fWindow);
    fShowingAgain = active;
    // Hidden and shown again: the compositor maps it as a new window of its new size, and
    // places it where it shows whole (the work area permitting).
    gtk_widget_hide(widget);
    if (!fWindow)
        return;
    gtk_widget_show(widget);
    if (active && fWindow)
        gtk_window_present(fWindow);
}

void LNativeWindow::SetContentMinSize(double width, double height)
{
    fContentMinSize = LUiSize { std::max(0.0, width), std::max(0.0, height) };
    UpdateMinSizeLimit();
    ApplyMinSize();
}

LUiEdges LNativeWindow::ExpectedEdges()
{
    if (!fWindow)
        return LUiEdges {};
    GtkWidget* widget = GTK_WIDGET(fWindow);
    // Asking a window that is not realised yet for its edges would realise it before its owner
    // has given it its kind (a dialog, a tool panel). What GTK draws itself (a header bar and
    // its borders) is known once it is realised.
    if (gtk_widget_get_mapped(widget) || fHeaderBar)
        return gtk_widget_get_realized(widget) ? DecorationEdges() : LUiEdges {};
    if (!gtk_window_get_decorated(fWindow))
        return LUiEdges {};
    if (const ManagerFrame& frame = ManagerFrameOf(fWindow); frame.seen)
        return frame.edges;
#ifdef GDK_WINDOWING_X11
    // Without a window manager nothing is drawn around a window.
    GdkScreen* screen = gtk_widget_get_screen(widget);
    if (GDK_IS_X11_SCREEN(screen)
        && !gdk_x11_screen_supports_net_wm_hint(
            screen, gdk_atom_intern_static_string("_NET_FRAME_EXTENTS")))
        return LUiEdges {};
#endif
    return kUsualManagerFrame;
}

LUiSize LNativeWindow::LargestContentSize()
{
    LUiScreen screen;
    if (!fWindow || !Screen(screen))
        return LUiSize {};
    const LUiEdges e = ExpectedEdges();
    const LUiRect& work = screen.visibleFrame;
    return LUiSize { std::max(1.0, std::floor(work.width - e.left - e.right)),
        std::max(1.0, std::floor(work.height - e.top - e.bottom - TopSlotsHeight())) };
}

void LNativeWindow::UpdateMinSizeLimit()
{
    fMinSizeLimit = LUiSize {};
    const LUiSize largest = LargestContentSize();
    if (largest.width > 0)
        fMinSizeLimit = LUiSize { largest.width, largest.height + TopSlotsHeight() };
}

void LNativeWindow::ApplyMinSize()
{
    if (!fWindow || (fContentMinSize.width <= 0 && fContentMinSize.height <= 0))
        return;
    // The menu bar and the toolbar stand above the content: they are counted here, once.
    LUiSize min { std::ceil(fContentMinSize.width),
        std::ceil(fContentMinSize.height + TopSlotsHeight()) };
    if (fMinSizeLimit.width > 0)
        min.width = std::min(min.width, fMinSizeLimit.width);
    if (fMinSizeLimit.height > 0)
        min.height = std::min(min.height, fMinSizeLimit.height);
    // The hints are the whole window's: a title bar and borders that GTK draws around the slots
    // count in them (known once the window has been allocated).
    GtkAllocation box, whole;
    gtk_widget_get_allocation(fBox, &box);
    gtk_widget_get_allocation(GTK_WIDGET(fWindow), &whole);
    min.width += std::max(0, whole.width - box.width);
    min.height += std::max(0, whole.height - box.height);
    if (min.width == fToldMinSize.width && min.height == fToldMinSize.height)
        return;
    fToldMinSize = min;
    GdkGeometry hints {};
    hints.min_width = int(min.width);
    hints.min_height = int(min.height);
    gtk_window_set_geometry_hints(fWindow, nullptr, &hints, GDK_HINT_MIN_SIZE);
}

void LNativeWindow::ContentViewFrameSet(const LUiRect& frame)
{
    SetContentSize(frame.width, frame.height);
}

LUiRect LNativeWindow::Frame() const
{
    if (!fWindow)
        return fLastFrame;
    int x = int(fLastFrame.x), y = int(fLastFrame.y);
    if (gtk_widget_get_mapped(GTK_WIDGET(fWindow)) && !fPositionCurrent)
        gtk_window_get_position(fWindow, &x, &y);
    return LUiRect { double(x), double(y), fContentSize.width,
        fContentSize.height + TopSlotsHeight() };
}

void LNativeWindow::SetFrame(const LUiRect& frame)
{
    if (!fWindow)
        return;
    int x = int(floor(frame.x + 0.5)), y = int(floor(frame.y + 0.5));
    // Where the window stands is the display's to tell again once it has moved.
    fPositionCurrent = false;
    fMovedByProgram = true;
    gtk_window_move(fWindow, x, y);
    fLastFrame.x = x;
    fLastFrame.y = y;
    SetContentSize(frame.width, frame.height - TopSlotsHeight());
}

LUiSize LNativeWindow::ContentSize() const
{
    return fContentSize;
}

void LNativeWindow::SetContentSize(double width, double height)
{
    LUiSize s { std::max(1.0, floor(width + 0.5)), std::max(1.0, floor(height + 0.5)) };
    if (s.width == fContentSize.width && s.height == fContentSize.height)
        return;
    fContentSize = s;
    if (fContentView)
        fContentView->SetFrameFromWindow(LUiRect { 0, 0, s.width, s.height });
    ApplyContentSize();
}

double LNativeWindow::BackingScale() const
{
    if (fWindow)
        return std::max(1, gtk_widget_get_scale_factor(GTK_WIDGET(fWindow)));
    LUiScreen s;
    return LUiMainScreen(s) ? s.scale : 1;
}

bool LNativeWindow::Screen(LUiScreen& screen) const
{
    if (!LUiIsAvailable())
        return false;
    // Where it shows; before that, where the program put it, and before that, where the window
    // it belongs to shows.
    GtkWidget* widget = fWindow ? GTK_WIDGET(fWindow) : nullptr;
    GdkWindow* gw
        = widget && gtk_widget_get_mapped(widget) ? gtk_widget_get_window(widget) : nullptr;
    if (gw) {
        if (GdkMonitor* m = gdk_display_get_monitor_at_window(gdk_display_get_default(), gw)) {
            GdkRectangle r;
            gdk_monitor_get_geometry(m, &r);
            return LUiScreenAtPoint(r.x + r.width / 2.0, r.y + r.height / 2.0, screen);
        }
    }
    if (!fMovedByProgram && !fPlaced && OwnerScreen(screen))
        return true;
    LUiRect f = Frame();
    return LUiScreenAtPoint(f.x + f.width / 2, f.y + f.height / 2, screen);
}

bool LNativeWindow::OwnerScreen(LUiScreen& screen) const
{
    const LNativeWindow* owner = fParent;
    if (!owner && gMainWindow != this)
        owner = gMainWindow;
    if (!owner || owner->IsClosed() || !gtk_widget_get_mapped(GTK_WIDGET(owner->fWindow)))
        return false;
    return owner->Screen(screen);
}

namespace {

// The shadow GTK draws outside the borders of a window with a header bar under a compositing
// manager, as GTK tells the window manager (_GTK_FRAME_EXTENTS: left, right, top, bottom); false
// when there is none.
bool InvisibleShadow(GdkWindow* gw, LUiEdges& shadow)
{
    if (!GDK_IS_X11_WINDOW(gw))
        return false;
    GdkAtom type = nullptr;
    gint format = 0, length = 0;
    guchar* data = nullptr;
    if (!gdk_property_get(gw, gdk_atom_intern_static_string("_GTK_FRAME_EXTENTS"),
            gdk_atom_intern_static_string("CARDINAL"), 0, 4, FALSE, &type, &format, &length, &data))
        return false;
    bool found = false;
    // 32-bit properties come as longs.
    if (data && format == 32 && length >= int(4 * sizeof(long))) {
        const long* v = reinterpret_cast<const long*>(data);
        const double scale = std::max(1, gdk_window_get_scale_factor(gw));
        shadow = LUiEdges { v[0] / scale, v[2] / scale, v[1] / scale, v[3] / scale };
        found = true;
    }
    g_free(data);
    return found;
}

// The window with what a window manager draws around it, on the screen, less a shadow that a
// compositing manager shows see-through.
LUiRect SeenOuter(GdkWindow* gw)
{
    GdkRectangle outer;
    gdk_window_get_frame_extents(gw, &outer);
    LUiRect r { double(outer.x), double(outer.y), double(outer.width), double(outer.height) };
    LUiEdges shadow;
    if (InvisibleShadow(gw, shadow)) {
        r.x += shadow.left;
        r.y += shadow.top;
        r.width -= shadow.left + shadow.right;
        r.height -= shadow.top + shadow.bottom;
    }
    return r;
}

} // namespace

LUiEdges LNativeWindow::DecorationEdges()
{
    LUiEdges e;
    if (!fWindow)
        return e;
    GtkWidget* widget = GTK_WIDGET(fWindow);
    if (!gtk_widget_get_realized(widget))
        gtk_widget_realize(widget);
    GdkWindow* gw = gtk_widget_get_window(widget);
    if (!gw)
        return e;
    // The size GTK gives the window itself: the slots and the content, no title bar.
    const double width = gtk_widget_get_allocated_width(fBox);
    const double height = gtk_widget_get_allocated_height(fBox);
    if (gtk_widget_get_mapped(widget)) {
        const LUiRect seen = SeenOuter(gw);
        const double ox = seen.x, oy = seen.y, ow = seen.width, oh = seen.height;
        // The slots on the screen, from the display's own answers: the window may have a new
        // size that GTK has not allocated yet, but what GTK draws around the slots (its title
        // bar and borders) keeps its size.
        int gx = 0, gy = 0;
        gdk_window_get_origin(gw, &gx, &gy);
        GtkAllocation box, whole;
        gtk_widget_get_allocation(fBox, &box);
        gtk_widget_get_allocation(widget, &whole);
        const double bx = gx + box.x, by = gy + box.y;
        const double bw = gdk_window_get_width(gw) - std::max(0, whole.width - box.width);
        const double bh = gdk_window_get_height(gw) - std::max(0, whole.height - box.height);
        e.left = bx - ox;
        e.top = by - oy;
        e.right = ox + ow - (bx + bw);
        e.bottom = oy + oh - (by + bh);
    } else {
        // A realised window's GDK window holds the borders and the title bar GTK draws.
        const double extraWidth = std::max(0.0, gdk_window_get_width(gw) - width);
        const double extraHeight = std::max(0.0, gdk_window_get_height(gw) - height);
        e.left = e.right = e.top = extraWidth / 2;
        e.bottom = std::max(0.0, extraHeight - e.top);
    }
    return e;
}

LUiRect LNativeWindow::FittedFrame(
    const LUiRect& frame, const LUiEdges& edges, const LUiRect& workArea, bool resizable)
{
    LUiRect r = frame;
    const double aroundWidth = edges.left + edges.right;
    const double aroundHeight = edges.top + edges.bottom;
    if (resizable) {
        r.width = std::max(1.0, std::min(frame.width, std::floor(workArea.width - aroundWidth)));
        r.height
            = std::max(1.0, std::min(frame.height, std::floor(workArea.height - aroundHeight)));
    }
    // Moved in from the right and bottom first, so that a window larger than the work area
    // keeps its top left corner (and title bar) on the screen.
    const double right = workArea.x + workArea.width - aroundWidth - r.width;
    const double bottom = workArea.y + workArea.height - aroundHeight - r.height;
    r.x = std::max(std::min(frame.x, right), workArea.x);
    r.y = std::max(std::min(frame.y, bottom), workArea.y);
    return r;
}

namespace {

// Whether a window manager runs that maximises windows (without one, GTK takes a window that
// was asked to be maximised as maximised, and nobody makes it so).
bool ManagerMaximizes(GtkWidget* widget)
{
#ifdef GDK_WINDOWING_X11
    GdkScreen* screen = gtk_widget_get_screen(widget);
    if (GDK_IS_X11_SCREEN(screen))
        return gdk_x11_screen_supports_net_wm_hint(
            screen, gdk_atom_intern_static_string("_NET_WM_STATE_MAXIMIZED_VERT"));
#endif
    (void)widget;
    return true;
}

} // namespace

void LNativeWindow::FitToWorkArea()
{
    LUiScreen screen;
    // A maximised window is the window manager's to place.
    if (!fWindow || (fMaximized && ManagerMaximizes(GTK_WIDGET(fWindow))) || !Screen(screen))
        return;
    const LUiEdges edges = DecorationEdges();
    UpdateMinSizeLimit();
    ApplyMinSize();
    // The frame's place is where GTK puts the window, which need not be where what is seen of
    // it begins (GTK counts a margin of its own borders out of it): once the window is mapped,
    // the difference is known and taken into account.
    LUiRect frame = Frame();
    double dx = 0, dy = 0;
    GdkWindow* gw = gtk_widget_get_window(GTK_WIDGET(fWindow));
    if (gw && gtk_widget_get_mapped(GTK_WIDGET(fWindow))) {
        const LUiRect seen = SeenOuter(gw);
        dx = frame.x - seen.x;
        dy = frame.y - seen.y;
    }
    frame.x -= dx;
    frame.y -= dy;
    LUiRect fitted
        = FittedFrame(frame, edges, screen.visibleFrame, (fStyle & kLUiWindowResizable) != 0);
    if (fitted == frame)
        return;
    fitted.x += dx;
    fitted.y += dy;
    SetFrame(fitted);
}

void LNativeWindow::CallWhenMapped(std::function<void()> f)
{
    if (!fWindow || !f)
        return;
    if (gtk_widget_get_mapped(GTK_WIDGET(fWindow)) && fPlaced) {
        f();
        return;
    }
    fWhenMapped = std::move(f);
}

void LNativeWindow::HoldPainting(unsigned ms)
{
    if (!fWindow || fPaintingHeld)
        return;
    gtk_widget_realize(GTK_WIDGET(fWindow));
    GdkWindow* gw = gtk_widget_get_window(GTK_WIDGET(fWindow));
    if (!gw)
        return;
    // A window not shown yet: the whole frame clock waits, not only the painting. A frame run
    // while held (the window's first layout after it shows) would make the clock keep a frame's
    // interval before the next one, so the frame that paints would come up to 16 ms after the
    // hold ends. A shown window may be amid a frame that has held back the display's events
    // until it ends; its clock is left running.
    fPaintingHeldClock = !gtk_widget_get_mapped(GTK_WIDGET(fWindow));
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    if (fPaintingHeldClock)
        gdk_window_freeze_toplevel_updates_libgtk_only(gw);
    else
        gdk_window_freeze_updates(gw);
    G_GNUC_END_IGNORE_DEPRECATIONS
    fPaintingHeld = true;
    fPaintingHoldTimer = g_timeout_add(
        ms,
        [](gpointer data) -> gboolean {
            auto* self = static_cast<LNativeWindow*>(data);
            self->fPaintingHoldTimer = 0;
            self->ResumePainting();
            return G_SOURCE_REMOVE;
        },
        this);
}

void LNativeWindow::ResumePainting()
{
    if (fPaintingHoldTimer) {
        g_source_remove(fPaintingHoldTimer);
        fPaintingHoldTimer = 0;
    }
    if (!fPaintingHeld)
        return;
    fPaintingHeld = false;
    if (GdkWindow* gw = fWindow ? gtk_widget_get_window(GTK_WIDGET(fWindow)) : nullptr) {
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        if (fPaintingHeldClock)
            gdk_window_thaw_toplevel_updates_libgtk_only(gw);
        else
            gdk_window_thaw_updates(gw);
        G_GNUC_END_IGNORE_DEPRECATIONS
    }
}

void LNativeWindow::MakeKeyAndOrderFront()
{
    if (!fWindow)
        return;
    if (!gtk_widget_get_mapped(GTK_WIDGET(fWindow)))
        fWantsFocus = gtk_window_get_accept_focus(fWindow);
    gtk_window_present(fWindow);
}

void LNativeWindow::OrderFront()
{
    if (!fWindow)
        return;
    gtk_widget_show(GTK_WIDGET(fWindow));
    if (GdkWindow* gw = gtk_widget_get_window(GTK_WIDGET(fWindow)))
        gdk_window_raise(gw);
}

void LNativeWindow::OrderOut()
{
    if (gMainWindow == this)
        gMainWindow = nullptr;
    if (fWindow) {
        LUiReturnFocus(fWindow);
        gtk_widget_hide(GTK_WIDGET(fWindow));
    }
}

bool LNativeWindow::IsVisible() const
{
    return fWindow && gtk_widget_get_visible(GTK_WIDGET(fWindow));
}

bool LNativeWindow::IsKey() const
{
    return fWindow && gtk_window_is_active(fWindow);
}

void LNativeWindow::Close()
{
    if (!fWindow)
        return;
    LUiRef<LNativeWindow> hold(this);
    CloseWindow(true);
}

void LNativeWindow::MeasureAfterAllocation()
{
    if (fMeasureSource || !fWindow)
        return;
    // Before the frame clock's next layout, which it asks for.
    fMeasureSource = g_idle_add_full(
        GTK_PRIORITY_RESIZE,
        [](gpointer data) -> gboolean {
            auto* self = static_cast<LNativeWindow*>(data);
            self->fMeasureSource = 0;
            if (self->fWindow)
                gtk_widget_queue_resize(GTK_WIDGET(self->fWindow));
            return G_SOURCE_REMOVE;
        },
        this, nullptr);
}

void LNativeWindow::CloseWindow(bool tellDelegate)
{
    if (gMainWindow == this)
        gMainWindow = nullptr;
    if (fMeasureSource) {
        g_source_remove(fMeasureSource);
        fMeasureSource = 0;
    }
    if (!fWindow)
        return;
    ResumePainting();
    if (LUiRef<LNativeWindowDelegate> d(fDelegate.Get()); d && tellDelegate)
        d->WindowWillClose(*this);
    if (!fWindow)
        return;
    for (LNativeWindow* child : std::vector<LNativeWindow*>(fChildren))
        RemoveChildWindow(child);
    if (fParent)
        fParent->RemoveChildWindow(this);
    SetContentView(nullptr);
    GtkWindow* w = fWindow;
    fWindow = nullptr;
    g_signal_handlers_disconnect_matched(w, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr, this);
    g_object_set_data(G_OBJECT(w), kWindowDataKey, nullptr);
    LUiReturnFocus(w);
    gtk_widget_destroy(GTK_WIDGET(w));
    fDelegate.Reset(nullptr);
    fWhenMapped = nullptr;
}

void LNativeWindow::Miniaturize()
{
    if (fWindow)
        gtk_window_iconify(fWindow);
}

bool LNativeWindow::IsMiniaturized() const
{
    return fIconified;
}

void LNativeWindow::Zoom()
{
    if (!fWindow)
        return;
    if (fMaximized)
        gtk_window_unmaximize(fWindow);
    else
        gtk_window_maximize(fWindow);
}

bool LNativeWindow::IsZoomed() const
{
    return fMaximized;
}

void LNativeWindow::SetLevel(LUiWindowLevel level)
{
    fLevel = level;
    if (!fWindow)
        return;
    // A level above the normal one keeps the window above the program's own windows only: it
    // belongs to its parent (a dialog is made one by its run), else to the main window, and the
    // window manager keeps it above that window. Another program made active comes above it, as
    // above every window of the program.
    bool ownsMain = false;
    for (const LNativeWindow* w = gMainWindow; w && !ownsMain; w = w->fParent)
        ownsMain = w == this;
    if (level != LUiWindowLevel::Normal && !fParent && gMainWindow && !ownsMain
        && !gMainWindow->IsClosed())
        gMainWindow->AddChildWindow(this);
    if (gtk_widget_get_realized(GTK_WIDGET(fWindow)))
        return;
    if (level == LUiWindowLevel::ModalPanel)
        gtk_window_set_type_hint(fWindow, GDK_WINDOW_TYPE_HINT_DIALOG);
    else if (level == LUiWindowLevel::PopUp)
        gtk_window_set_type_hint(fWindow, GDK_WINDOW_TYPE_HINT_POPUP_MENU);
}

void LNativeWindow::SetModal(bool modal)
{
    if (fWindow)
        gtk_window_set_modal(fWindow, modal);
}

bool LNativeWindow::IsModal() const
{
    return fWindow && gtk_window_get_modal(fWindow);
}

void LNativeWindow::SetAcceptsFocus(bool accepts)
{
    if (fWindow)
        gtk_window_set_accept_focus(fWindow, accepts);
}

void LNativeWindow::AddChildWindow(LNativeWindow* child)
{
    if (!child || child == this || !fWindow || !child->fWindow)
        return;
    if (child->fParent && child->fParent != this)
        child->fParent->RemoveChildWindow(child);
    if (std::find(fChildren.begin(), fChildren.end(), child) == fChildren.end())
        fChildren.push_back(child);
    child->fParent = this;
    gtk_window_set_transient_for(child->fWindow, fWindow);
    // Also once it is no longer above this window (as right before it closes).
    LUiSetFocusOwner(child->fWindow, fWindow);
}

void LNativeWindow::RemoveChildWindow(LNativeWindow* child)
{
    auto it = std::find(fChildren.begin(), fChildren.end(), child);
    if (it == fChildren.end())
        return;
    fChildren.erase(it);
    child->fParent = nullptr;
    if (child->fWindow)
        gtk_window_set_transient_for(child->fWindow, nullptr);
}

GtkWidget* LNativeWindow::FocusWidget() const
{
    return fWindow ? gtk_window_get_focus(fWindow) : nullptr;
}

LView* LNativeWindow::FirstResponder() const
{
    GtkWidget* w = FocusWidget();
    return w ? LView::FromWidget(w) : nullptr;
}

bool LNativeWindow::MakeFirstResponder(LView* view)
{
    if (!fWindow)
        return false;
    if (!view) {
        gtk_window_set_focus(fWindow, nullptr);
        return true;
    }
    if (view->Window() != this)
        return false;
    GtkWidget* w = view->Widget();
    if (!gtk_widget_get_can_focus(w))
        return false;
    gtk_widget_grab_focus(w);
    return gtk_window_get_focus(fWindow) == w;
}

bool LNativeWindow::FocusFirstKeyView()
{
    if (!fWindow)
        return false;
    if (!FocusWidget())
        gtk_widget_child_focus(GTK_WIDGET(fWindow), GTK_DIR_TAB_FORWARD);
    return FocusWidget() != nullptr;
}

void LNativeWindow::SetFocusVisible(bool visible)
{
    if (fWindow)
        gtk_window_set_focus_visible(fWindow, visible);
}

bool LNativeWindow::IsFocusEditableText() const
{
    GtkWidget* focus = FocusWidget();
    if (!focus)
        return false;
    if (GTK_IS_EDITABLE(focus))
        return gtk_editable_get_editable(GTK_EDITABLE(focus));
    if (GTK_IS_TEXT_VIEW(focus))
        return gtk_text_view_get_editable(GTK_TEXT_VIEW(focus));
    return false;
}

bool LNativeWindow::FocusWantsArrowKeys() const
{
    GtkWidget* focus = FocusWidget();
    if (!focus)
        return false;
    return GTK_IS_EDITABLE(focus) || GTK_IS_TEXT_VIEW(focus) || GTK_IS_COMBO_BOX(focus)
        || GTK_IS_TREE_VIEW(focus) || GTK_IS_SCROLLBAR(focus) || GTK_IS_SCROLLED_WINDOW(focus)
        || GTK_IS_SPIN_BUTTON(focus);
}

void LNativeWindow::SetNeedsDisplay()
{
    if (fWindow)
        gtk_widget_queue_draw(GTK_WIDGET(fWindow));
}

void LNativeWindow::SetMenuBar(GtkWidget* menuBar)
{
    if (!fWindow)
        return;
    gtk_container_foreach(
        GTK_CONTAINER(fMenuSlot),
        [](GtkWidget* w, gpointer slot) { gtk_container_remove(GTK_CONTAINER(slot), w); },
        fMenuSlot);
    if (menuBar) {
        gtk_box_pack_start(GTK_BOX(fMenuSlot), menuBar, FALSE, FALSE, 0);
        gtk_widget_show(menuBar);
    }
    gtk_widget_set_visible(fMenuSlot, menuBar != nullptr);
    ApplyContentSize();
}

void LNativeWindow::SetToolbar(GtkWidget* toolbar)
{
    if (!fWindow)
        return;
    if (fToolbar)
        gtk_container_remove(GTK_CONTAINER(fToolbarSlot), fToolbar);
    fToolbar = toolbar;
    if (toolbar) {
        gtk_box_pack_start(GTK_BOX(fToolbarSlot), toolbar, FALSE, FALSE, 0);
        gtk_widget_show(toolbar);
    }
    gtk_widget_set_visible(fToolbarSlot, toolbar && fToolbarShown);
    ApplyContentSize();
}

void LNativeWindow::SetTitlebarView(LView* view)
{
    if (!fWindow)
        return;
    if (LView* old = fTitlebarView.Get(); old && old->ExistingWidget() && fHeaderBar)
        gtk_container_remove(GTK_CONTAINER(fHeaderBar), old->ExistingWidget());
    fTitlebarView.Reset(view);
    if (!view)
        return;
    if (!fHeaderBar) {
        const bool realized = gtk_widget_get_realized(GTK_WIDGET(fWindow));
        const bool visible = gtk_widget_get_visible(GTK_WIDGET(fWindow));
        // A title bar can only be given to a window that is not realised yet.
        if (realized) {
            gtk_widget_hide(GTK_WIDGET(fWindow));
            gtk_widget_unrealize(GTK_WIDGET(fWindow));
        }
        fHeaderBar = gtk_header_bar_new();
        gtk_header_bar_set_show_close_button(GTK_HEADER_BAR(fHeaderBar), TRUE);
        // No room kept for a subtitle, as in GTK's own title bars: a window shows none.
        gtk_header_bar_set_has_subtitle(GTK_HEADER_BAR(fHeaderBar), FALSE);
        gtk_window_set_titlebar(fWindow, fHeaderBar);
        gtk_widget_show(fHeaderBar);
        if (visible)
            gtk_widget_show(GTK_WIDGET(fWindow));
    }
    GtkWidget* widget = view->Widget();
    const LUiRect frame = view->Frame();
    gtk_widget_set_size_request(widget, int(frame.width), int(frame.height));
    gtk_widget_set_valign(widget, GTK_ALIGN_CENTER);
    gtk_header_bar_pack_start(GTK_HEADER_BAR(fHeaderBar), widget);
    gtk_widget_show(widget);
}

void LNativeWindow::SetToolbarVisible(bool visible)
{
    fToolbarShown = visible;
    if (!fWindow || !fToolbar || gtk_widget_get_visible(fToolbarSlot) == visible)
        return;
    gtk_widget_set_visible(fToolbarSlot, visible);
    ApplyContentSize();
}

bool LNativeWindow::IsToolbarVisible() const
{
    return fWindow && fToolbar && gtk_widget_get_visible(fToolbarSlot);
}

bool LNativeWindow::PropagateKeyToFocus(const LUiEvent& event)
{
    if (!fWindow || !event.native)
        return false;
    auto* e = static_cast<const GdkEvent*>(event.native);
    if (e->type != GDK_KEY_PRESS && e->type != GDK_KEY_RELEASE)
        return false;
    return gtk_window_propagate_key_event(fWindow, const_cast<GdkEventKey*>(&e->key));
}

unsigned long LNativeWindow::XWindowId() const
{
#ifdef GDK_WINDOWING_X11
    if (!fWindow)
        return 0;
    GdkWindow* gw = gtk_widget_get_window(GTK_WIDGET(fWindow));
    if (gw && GDK_IS_X11_WINDOW(gw))
        return gdk_x11_window_get_xid(gw);
#endif
    return 0;
}

void LNativeWindow::SetStyleMask(unsigned style)
{
    fStyle = style;
    if (!fWindow)
        return;
    gtk_window_set_deletable(fWindow, (style & kLUiWindowClosable) != 0);
    gtk_window_set_resizable(fWindow, (style & kLUiWindowResizable) != 0);
}
