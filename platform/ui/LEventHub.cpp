#include "platform/ui/LEventHub.h"

#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <X11/extensions/XInput2.h>
#include <gdk/gdkx.h>
#endif

#include <unordered_set>
#include <vector>

namespace {

struct Monitor {
    uintptr_t token;
    uint32_t mask;
    LEventHubMonitor fn;
    void* data;
    bool removed;
};

std::vector<Monitor>& Monitors()
{
    static std::vector<Monitor> monitors;
    return monitors;
}

uintptr_t gNextToken = 1;
int gDispatchDepth = 0;
int gInputHeld = 0;
std::vector<GdkEvent*> gHeldInput;

void HubHandler(GdkEvent* event, gpointer)
{
    LEventHub::Dispatch(event);
}

// Keys held down (hardware codes), and the answer for the last press dispatched.
std::unordered_set<uint32_t> gHeldKeys;
struct KeyStamp {
    uint32_t time = 0;
    uint16_t code = 0;
    bool repeat = false;
    bool valid = false;
} gLastPress;
// Whether the user works with the keys: the last press was a key's, not a button's.
bool gKeysUsed = false;

void TrackKeys(const GdkEvent* event)
{
    switch (event->type) {
    case GDK_KEY_PRESS: {
        const GdkEventKey& k = event->key;
        bool repeat = !gHeldKeys.insert(k.hardware_keycode).second;
        gLastPress = KeyStamp { k.time, k.hardware_keycode, repeat, true };
        gKeysUsed = true;
        break;
    }
    case GDK_KEY_RELEASE:
        gHeldKeys.erase(event->key.hardware_keycode);
        break;
    case GDK_BUTTON_PRESS:
        gKeysUsed = false;
        break;
    case GDK_FOCUS_CHANGE:
        // A window that loses the keyboard hears no more releases; nor does one that went away
        // with a key down (a dialog closed by a press, its release sent to its gone window): the
        // window that gets the keyboard starts with no key held.
        gHeldKeys.clear();
        break;
    default:
        break;
    }
}

// A window that gets the keyboard while the user works with the keys (a dialog above it closed
// by a key, GTK's print panel cancelled with Escape) shows its focus at once, as it does once a
// key reaches it: the keys go on where it is drawn.
void ShowFocusWhereKeysGo(const GdkEvent* event)
{
    if (event->type != GDK_FOCUS_CHANGE || !event->focus_change.in || !gKeysUsed
        || !event->any.window)
        return;
    gpointer owner = nullptr;
    gdk_window_get_user_data(event->any.window, &owner);
    GtkWidget* top
        = owner && GTK_IS_WIDGET(owner) ? gtk_widget_get_toplevel(GTK_WIDGET(owner)) : nullptr;
    GtkPolicyType policy = GTK_POLICY_AUTOMATIC;
    if (top && GTK_IS_WINDOW(top))
        g_object_get(gtk_widget_get_settings(top), "gtk-visible-focus", &policy, nullptr);
    if (top && GTK_IS_WINDOW(top) && policy != GTK_POLICY_NEVER)
        gtk_window_set_focus_visible(GTK_WINDOW(top), TRUE);
}

#ifdef GDK_WINDOWING_X11
int gXInputOpcode = -1;

// A press the X server repeats for a key the hub saw let go is dropped: the key was pressed one
// way and let go the other (through the XTEST extension and by a sent event, as xdotool does
// when the focus moves between its events), so the server holds it down and would repeat it
// without end.
GdkFilterReturn DropRepeatsOfKeysLetGo(GdkXEvent* native, GdkEvent*, gpointer)
{
    const XEvent* x = static_cast<const XEvent*>(native);
    if (x->type == GenericEvent && x->xcookie.extension == gXInputOpcode && x->xcookie.data
        && x->xcookie.evtype == XI_KeyPress) {
        const auto* key = static_cast<const XIDeviceEvent*>(x->xcookie.data);
        if ((key->flags & XIKeyRepeat) && !gHeldKeys.count(uint32_t(key->detail)))
            return GDK_FILTER_REMOVE;
    }
    return GDK_FILTER_CONTINUE;
}

// A top-level window takes the key events another program sends to it (XSendEvent, as input
// tools and xdotool with a window do): GDK asks for those of the keyboard only (through XInput
// 2), and makes of sent ones the events it makes of the keyboard's.
void TakeSentKeys(GdkWindow* window)
{
    if (!window || !GDK_IS_X11_WINDOW(window)
        || gdk_window_get_window_type(window) != GDK_WINDOW_TOPLEVEL)
        return;
    GdkDisplay* display = gdk_window_get_display(window);
    Display* x = GDK_DISPLAY_XDISPLAY(display);
    const Window xid = GDK_WINDOW_XID(window);
    constexpr long kKeys = KeyPressMask | KeyReleaseMask;
    gdk_x11_display_error_trap_push(display);
    XWindowAttributes attributes {};
    if (XGetWindowAttributes(x, xid, &attributes) && (attributes.your_event_mask & kKeys) != kKeys)
        XSelectInput(x, xid, attributes.your_event_mask | kKeys);
    gdk_x11_display_error_trap_pop_ignored(display);
}
#endif

void Purge()
{
    auto& list = Monitors();
    std::erase_if(list, [](const Monitor& m) { return m.removed; });
}

} // namespace

void LEventHub::Install()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    gdk_event_handler_set(HubHandler, nullptr, nullptr);
#ifdef GDK_WINDOWING_X11
    GdkDisplay* display = gdk_display_get_default();
    int event = 0, error = 0;
    if (display && GDK_IS_X11_DISPLAY(display)
        && XQueryExtension(
            GDK_DISPLAY_XDISPLAY(display), "XInputExtension", &gXInputOpcode, &event, &error))
        gdk_window_add_filter(nullptr, DropRepeatsOfKeysLetGo, nullptr);
#endif
}

uintptr_t LEventHub::AddMonitor(uint32_t mask, LEventHubMonitor monitor, void* data)
{
    uintptr_t token = gNextToken++;
    auto& list = Monitors();
    list.insert(list.begin(), Monitor { token, mask, monitor, data, false });
    return token;
}

void LEventHub::RemoveMonitor(uintptr_t token)
{
    for (Monitor& m : Monitors())
        if (m.token == token)
            m.removed = true;
    if (gDispatchDepth == 0)
        Purge();
}

size_t LEventHub::MonitorCount()
{
    size_t n = 0;
    for (const Monitor& m : Monitors())
        n += m.removed ? 0 : 1;
    return n;
}

uint32_t LEventHub::ClassOf(const GdkEvent* event)
{
    switch (event->type) {
    case GDK_BUTTON_PRESS:
    case GDK_2BUTTON_PRESS:
    case GDK_3BUTTON_PRESS:
        return kLEventHubButtonPress;
    case GDK_BUTTON_RELEASE:
        return kLEventHubButtonRelease;
    case GDK_MOTION_NOTIFY:
        return kLEventHubMotion;
    case GDK_ENTER_NOTIFY:
    case GDK_LEAVE_NOTIFY:
        return kLEventHubCrossing;
    case GDK_SCROLL:
        return kLEventHubScroll;
    case GDK_KEY_PRESS:
    case GDK_KEY_RELEASE:
        return kLEventHubKey;
    case GDK_FOCUS_CHANGE:
        return kLEventHubFocus;
    case GDK_SELECTION_REQUEST:
        return kLEventHubSelectionRequest;
    case GDK_DELETE:
        return kLEventHubDelete;
    default:
        return 0;
    }
}

bool LEventHub::IsKeyRepeat(const GdkEventKey* k)
{
    return k && gLastPress.valid && k->time == gLastPress.time
        && k->hardware_keycode == gLastPress.code && gLastPress.repeat;
}

void LEventHub::HoldInput()
{
    ++gInputHeld;
}

void LEventHub::ReleaseInput()
{
    if (gInputHeld == 0 || --gInputHeld > 0)
        return;
    std::vector<GdkEvent*> held;
    held.swap(gHeldInput);
    for (GdkEvent* e : held) {
        gdk_event_put(e);
        gdk_event_free(e);
    }
}

void LEventHub::Dispatch(GdkEvent* event)
{
    uint32_t cls = ClassOf(event);
    if (gInputHeld > 0
        && (cls
            & (kLEventHubButtonPress | kLEventHubButtonRelease | kLEventHubScroll
                | kLEventHubKey))) {
        gHeldInput.push_back(gdk_event_copy(event));
        return;
    }
    TrackKeys(event);
#ifdef GDK_WINDOWING_X11
    if (event->type == GDK_MAP)
        TakeSentKeys(event->any.window);
#endif
    if (cls) {
        ++gDispatchDepth;
        // By index: a monitor may add or remove monitors while it runs.
        bool swallowed = false;
        auto& list = Monitors();
        std::vector<uintptr_t> tokens;
        tokens.reserve(list.size());
        for (const Monitor& m : list)
            tokens.push_back(m.token);
        for (uintptr_t t : tokens) {
            Monitor* m = nullptr;
            for (Monitor& candidate : Monitors())
                if (candidate.token == t)
                    m = &candidate;
            if (!m || m->removed || !(m->mask & cls))
                continue;
            if (m->fn(event, m->data)) {
                swallowed = true;
                break;
            }
        }
        if (--gDispatchDepth == 0)
            Purge();
        if (swallowed)
            return;
    }
    gtk_main_do_event(event);
    ShowFocusWhereKeysGo(event);
}
