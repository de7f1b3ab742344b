// The application's delegate: start-up, the application's events, hiding and quitting.
//
// Run is the body of main: it opens the display, lets the installation step and the main window
// (through hooks, installed from above) start the application, hands the command line's
// documents to the main window as one "odoc" event ("oapp" without documents), turns the event
// loop until the application terminates, and then finishes a pending Dock step and deletes the
// main window. SIGTERM, SIGINT and SIGHUP arrive as "quit" (the desktop session ends the
// program: nothing is asked, the unsaved work is kept for the next start); the work is kept
// first, before the quitting waits for anything, and once it is kept the rest of the end has a
// second: then the process ends with its status whatever still holds it (a long paint, a
// worker, a loop nobody answers). The same signal again a moment later ends it at once. When the
// display goes away the work is kept too, and the program ends at once. Main thread only.
#pragma once

#include "platform/ui/LRunLoop.h"

#include <cstdint>
#include <string>
#include <vector>

class LCocoaWindow;
class LAppDelegate;

// One of the application's events: "oapp" (open the application), "rapp" (reopen: bring the
// main window forward), "odoc" (open the documents, paths as given), "quit", "GURL" (open an
// address).
struct LAppleEvent {
    std::string id;
    std::vector<std::string> documents;
    std::string url;
};

// What the layers above provide (each may stay null: the step is then skipped).
struct LAppDelegateHooks {
    // The installation step before launching; false stops the application.
    bool (*install)() = nullptr;
    // Creates the application's main window object (the delegate owns and deletes it).
    LCocoaWindow* (*createMainWindow)() = nullptr;
    // Initialises the application and its main window (single instance, first run, its window);
    // false stops the application.
    bool (*mainWindowInit)(LCocoaWindow& mainWindow, LAppDelegate& delegate) = nullptr;
    // Shows the main window once it is initialised (else the window manager shows it).
    void (*showMainWindow)(LCocoaWindow& mainWindow) = nullptr;
    // The main window handles an application event.
    void (*appleEvent)(LCocoaWindow& mainWindow, const LAppleEvent& event) = nullptr;
    // Adds the application to the desktop's dock or favourites.
    void (*addToDock)(const char* bundlePath) = nullptr;
    // The application is to end without asking (a signal): the unsaved work is written at once
    // where the next start offers it, before anything else of the quitting. Runs inside whatever
    // modal run, dialog or wait is open; touches no window. Returns once the work is on disk:
    // the process may end a moment later without going back to its loops.
    void (*keepWork)(LCocoaWindow& mainWindow) = nullptr;
    // A signal's end did not come in time after the work was kept: the process ends at once,
    // from a thread of its own, the main thread wherever it is. Marks the run as ended normally;
    // does only what is safe on any thread at any moment.
    void (*endingNow)() = nullptr;
    // The display is gone: the work is kept as by keepWork, then the program ends at once
    // without returning to its loop (windows can no longer be used).
    void (*displayLost)(LCocoaWindow& mainWindow) = nullptr;
};

LAppDelegateHooks& LAppDelegateHooksGet();

class LAppDelegate {
public:
    LAppDelegate();
    ~LAppDelegate();
    LAppDelegate(const LAppDelegate&) = delete;
    LAppDelegate& operator=(const LAppDelegate&) = delete;

    // The delegate of the running application; null when none runs.
    static LAppDelegate* Shared();

    // The application: answers its exit status (0 also for a start-up the hooks refused, unless
    // they set another; 1 without a display).
    int Run(int argc, char** argv);
    // The status Run answers (a later start that handed its request on answers its outcome).
    void SetExitStatus(int status) { fExitStatus = status; }
    // Ends the application once the current event is handled: every modal level stops and the
    // loop returns. A second call does nothing.
    void terminate();
    bool isTerminating() const { return bTerminating; }

    void applicationWillFinishLaunching();
    void applicationDidFinishLaunching();
    bool applicationShouldTerminateAfterLastWindowClosed() const;
    void applicationWillTerminate();
    void applicationWillHide();
    void applicationWillUnhide();
    // Hands the event to the main window; "quit" without a main window terminates.
    void handleAppleEvent(const LAppleEvent& event);

    LCocoaWindow* mainDialog() const { return pMainDialog; }

private:
    static void SignalArrived(void* delegate);
    static void DisplayLost();
    // The keepWork hook on the main window.
    void KeepWork();
    // A signal's quitting that came inside a wait or a modal run, tried again once the loops
    // have unwound.
    static void QuitLater(LRunLoopTimer* timer, void* delegate);
    void WatchMainWindowClose();

    LCocoaWindow* pMainDialog = nullptr;
    bool bTerminating = false;
    bool bRunning = false;
    void* fLoop = nullptr; // the GMainLoop of Run
    uintptr_t fSignalWatches[3] = { 0, 0, 0 };
    LRunLoopTimer fQuitLater { QuitLater, this };
    long long fQuitAskedAt = 0; // when a deferred signal's quitting was first asked for (ms)
    long long fSignalledAt = 0; // when the first signal came (ms), 0 before
    int fExitStatus = 0;
};
