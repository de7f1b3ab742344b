// Modal loops and the application's modal counter. Main thread only.
//
// LModalLoop runs one nested GLib main loop per level (on the default context, the one LRunLoop
// turns); Stop ends the innermost level, whose Run then answers the stored code. While a level
// runs for a window, that window is modal: the other windows of the application get no input.
//
// LModalWait marks a wait of the application's own: a loop turned only until something comes (an
// answer of another program, a job's signal). It is a level without a window: it counts in
// Depth(), so whatever must not run inside a modal run waits for it too.
//
// LModalCounter counts what keeps the application modal: the framework's modal runs, sessions,
// alerts and panels (each enters and leaves it) and GTK's own modal dialogs (file choosers,
// message dialogs), which are counted by themselves while they are shown. One hook hears when the
// count leaves 0 and when it comes back to 0; the main menu disables and enables its items there.
#pragma once

#include <cstdint>
#include <gtk/gtk.h>

class LNativeWindow;

class LModalLoop {
public:
    // Runs a loop level until Stop; answers Stop's code. window may be null; a window is shown
    // in front with the keyboard first, as the window the user now works in. A window destroyed
    // while its level runs (closed underneath it, killed by the window manager) ends the level
    // with closedCode.
    static int Run(LNativeWindow* window, int closedCode = 0);
    // Ends the innermost level with the code (it returns once the current event is handled);
    // false when no level runs.
    static bool Stop(int code);
    // Ends the innermost level that runs for the window; false when none does.
    static bool StopWindow(LNativeWindow* window, int code);
    static int Depth();
    // The window of the innermost level that has one (a loop's or a session's); null when none.
    static LNativeWindow* ModalWindow();

    // Modal sessions: a level without a nested loop, for work that runs on the main thread and
    // turns the loop itself. While a session is open its window is modal (the other windows get
    // no input). Begin answers the session (never 0), or 0 without a window; RunSession runs one
    // iteration of the loop without waiting and answers false for a session that is not open;
    // EndSession closes it (false when it is not open). Stop and StopWindow leave sessions alone.
    static uintptr_t BeginSession(LNativeWindow* window);
    static bool RunSession(uintptr_t session);
    static bool EndSession(uintptr_t session);
    static bool IsSessionOpen(uintptr_t session);
    // Stops every loop level (their Run answers the code), closes every session, ends every
    // wait, answers every modal window of GTK's own that shows (the questions GTK asks from
    // inside its dialogs' handlers, in loops of its own, such as "Replace?") and every GTK
    // dialog run through LModalCounter with "deleted": the application is quitting. Answers how
    // many levels there were.
    static int StopAll(int code);

    // Whether the application is inside something that must not be left under its caller's
    // feet: a level, session or wait runs, a modal window of GTK is up, or the main loop turns
    // inside a call of its own (any nested loop, ours or GTK's). Requests of other programs,
    // drops and quitting wait while it is so.
    static bool Busy();
};

// A wait of the application's own (see above), for the lifetime of the object. With a loop, the
// wait runs it (Run) and StopAll quits it; without one the caller turns the loop itself and
// tests Stopped(). Main thread only.
class LModalWait {
public:
    explicit LModalWait(GMainLoop* loop = nullptr);
    ~LModalWait();
    LModalWait(const LModalWait&) = delete;
    LModalWait& operator=(const LModalWait&) = delete;

    // Runs the loop until it quits (at once when StopAll came first).
    void Run();
    // StopAll ended the wait: the application is quitting.
    bool Stopped() const;

private:
    void* fLevel;
};

class LModalCounter {
public:
    using Hook = void (*)(bool anyModal, void* data);

    // Adds one; answers the new count. The hook runs when the count becomes 1.
    static unsigned Enter();
    // Takes one away when the count is not 0; answers the new count. The hook runs at 0.
    static unsigned Leave();
    static unsigned Count();
    // The one hook (null removes it).
    static void SetHook(Hook hook, void* data);
    // Counts GTK's own modal windows (dialogs, file choosers) while they are shown; LUiInit
    // installs it. Windows of the framework count through their own modal runs instead.
    static void WatchGtkModalWindows();
    // gtk_dialog_run and gtk_native_dialog_run, counted while they run.
    static int RunDialog(GtkDialog* dialog);
    static int RunNativeDialog(GtkNativeDialog* dialog);
};

// Enters the modal counter for the lifetime of a scope (a GTK call that runs its own loop).
class LModalCounterScope {
public:
    LModalCounterScope() { LModalCounter::Enter(); }
    ~LModalCounterScope() { LModalCounter::Leave(); }
    LModalCounterScope(const LModalCounterScope&) = delete;
    LModalCounterScope& operator=(const LModalCounterScope&) = delete;
};
