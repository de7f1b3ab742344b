// The one event hub: every event from the display passes through it before GTK sees it. Local
// event monitors (mouse capture, the framework's mouse monitors) see the events they asked for
// first and may swallow them. Main thread only.
//
// Keys are taken alike whoever sends them: the keyboard (or the XTEST extension), or another
// program sending key events to a window (XSendEvent), which GDK alone drops. A press the X
// server repeats for a key the hub saw let go is dropped (a key pressed one way and let go the
// other stays down in the server, which would repeat it without end).
#pragma once

#include <cstdint>
#include <gdk/gdk.h>

// Event classes of a monitor's mask.
enum : uint32_t {
    kLEventHubButtonPress = 1u << 0,
    kLEventHubButtonRelease = 1u << 1,
    kLEventHubMotion = 1u << 2,
    kLEventHubCrossing = 1u << 3, // enter and leave
    kLEventHubScroll = 1u << 4,
    kLEventHubKey = 1u << 5,
    kLEventHubFocus = 1u << 6,
    kLEventHubSelectionRequest = 1u << 7, // another program asks for a selection we own
    kLEventHubDelete = 1u << 8, // the window manager asks a window to close (its close box)
    kLEventHubAll = 0xFFFFFFFFu,
};

// Answers true to swallow the event (GTK never sees it).
using LEventHubMonitor = bool (*)(GdkEvent* event, void* data);

class LEventHub {
public:
    // Installs the hub as GDK's event handler (LUiInit does it).
    static void Install();
    // Adds a monitor in front of those already present; answers a token for Remove (never 0).
    static uintptr_t AddMonitor(uint32_t mask, LEventHubMonitor monitor, void* data);
    // Removes a monitor; removing one while events are dispatched is allowed.
    static void RemoveMonitor(uintptr_t token);
    static size_t MonitorCount();
    // The mask class of an event (0 for events no monitor can ask for).
    static uint32_t ClassOf(const GdkEvent* event);
    // Runs the monitors and, unless one swallowed it, GTK: the handler the hub installs, also
    // callable by tests with synthesised events.
    static void Dispatch(GdkEvent* event);
    // While held (calls nest), the user's input (keys, buttons, scrolling) waits: a loop run
    // only to wait for an answer (the clipboard's) must not carry out commands under its caller.
    // The last release puts the held events back, in order.
    static void HoldInput();
    static void ReleaseInput();
    // Whether a key press repeats a key that is held (X repeats send presses only). The hub
    // follows every key event of the application, whichever window or widget gets it, and
    // forgets the held keys whenever one of its windows loses or gets the keyboard (a release
    // may then go elsewhere, or have gone to a window that is no more). False for a press the
    // hub did not dispatch.
    static bool IsKeyRepeat(const GdkEventKey* press);
};
