#include "lfw/mac/cocoa/LAppDelegate.h"

#include "lfw/gen/LFile.h"
#include "lfw/gen/LUserSettings.h"
#include "lfw/mac/cocoa/LCocoaWindow.h"
#include "lfw/mac/cocoa/LMacWindowManager.h"
#include "platform/ui/LModalLoop.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LRunLoopWatch.h"
#include "platform/ui/LUiClipboard.h"
#include "platform/ui/LUiSystem.h"
#include "platform/ui/LView.h"

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <glib.h>
#include <mutex>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

LAppDelegate* gShared = nullptr;

LAppleEvent Event(const char* id)
{
    LAppleEvent e;
    e.id = id;
    return e;
}

} // namespace

LAppDelegateHooks& LAppDelegateHooksGet()
{
    static LAppDelegateHooks hooks;
    return hooks;
}

LAppDelegate::LAppDelegate() = default;

LAppDelegate::~LAppDelegate()
{
    for (uintptr_t& w : fSignalWatches) {
        LRunLoopWatch::Remove(w);
        w = 0;
    }
    if (gShared == this)
        gShared = nullptr;
}

LAppDelegate* LAppDelegate::Shared()
{
    return gShared;
}

int LAppDelegate::Run(int argc, char** argv)
{
    if (!LUiInit()) {
        // GTK says nothing when it cannot reach the display.
        const char* slash = argc > 0 ? std::strrchr(argv[0], '/') : nullptr;
        const char* display = std::getenv("DISPLAY");
        std::fprintf(stderr, "%s: Det gick inte att öppna skärmen %s.\n",
            slash ? slash + 1 : (argc > 0 ? argv[0] : "vorantel"),
            display && *display ? display : "(DISPLAY saknas)");
        return 1;
    }
    gShared = this;
    bTerminating = false;
    fSignalledAt = 0;
    LUiSetDisplayLostHook(DisplayLost);
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    fLoop = loop;
    fSignalWatches[0] = LRunLoopWatch::AddSignal(SIGTERM, SignalArrived, this);
    fSignalWatches[1] = LRunLoopWatch::AddSignal(SIGINT, SignalArrived, this);
    // The terminal or the session the program was started from went away.
    fSignalWatches[2] = LRunLoopWatch::AddSignal(SIGHUP, SignalArrived, this);

    applicationWillFinishLaunching();
    if (!bTerminating)
        applicationDidFinishLaunching();
    if (!bTerminating) {
        // The documents of the command line, as they are given, in one event.
        LAppleEvent open = Event(argc > 1 ? "odoc" : "oapp");
        for (int i = 1; i < argc; ++i)
            if (argv[i])
                open.documents.emplace_back(argv[i]);
        handleAppleEvent(open);
    }
    if (!bTerminating) {
        bRunning = true;
        g_main_loop_run(loop);
        bRunning = false;
    }
    applicationWillTerminate();
    for (uintptr_t& w : fSignalWatches) {
        LRunLoopWatch::Remove(w);
        w = 0;
    }
    fLoop = nullptr;
    g_main_loop_unref(loop);
    LUiSetDisplayLostHook(nullptr);
    gShared = nullptr;
    return fExitStatus;
}

void LAppDelegate::terminate()
{
    if (bTerminating)
        return;
    bTerminating = true;
    // Modal dialogs, alerts and sessions end first; the loops unwind to the application's.
    LModalLoop::StopAll(LFourCC("not!"));
    if (fLoop)
        g_main_loop_quit(static_cast<GMainLoop*>(fLoop));
}

namespace {

// How long a signal's quitting waits for loops that StopAll cannot end before it goes on as it
// would outside them.
constexpr long long kQuitWaitLimitMs = 3000;
// Once a signal's work is kept, how long the rest of the end may take (the windows closed, the
// settings and the clipboard handed on) before the process ends all the same.
constexpr int kEndAfterWorkKeptMs = 1000;
// A signal that comes this long after the first ends the program at once: a person or a session
// asking again, not one request delivered twice (to the process and to its group).
constexpr long long kRepeatedSignalMs = 250;

// The end of the process at a time set, on a thread of its own: whatever holds the main thread
// then (a paint of a large page, a worker it waits for, a loop nobody answers), the process ends
// with the status. Made once and never destroyed, so that it outlives the static destruction it
// may have to cut short; a later time set only brings it closer.
void EndProcessIn(int ms, int status)
{
    struct End {
        std::mutex mutex;
        std::condition_variable changed;
        std::chrono::steady_clock::time_point at;
        int status = 0;
        void (*ending)() = nullptr;
    };
    static End* end = nullptr;
    const auto at = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    if (end) {
        std::lock_guard<std::mutex> lock(end->mutex);
        if (at < end->at) {
            end->at = at;
            end->status = status;
            end->changed.notify_all();
        }
        return;
    }
    auto* made = new End;
    made->at = at;
    made->status = status;
    made->ending = LAppDelegateHooksGet().endingNow;
    try {
        std::thread([made] {
            std::unique_lock<std::mutex> lock(made->mutex);
            while (std::chrono::steady_clock::now() < made->at)
                made->changed.wait_until(lock, made->at);
            // Nothing of the user's is open: the work is on disk, and the files being written
            // (an export's, a print's, the settings) are unnamed until they are whole.
            if (made->ending)
                made->ending();
            _exit(made->status);
        }).detach();
        end = made;
    } catch (const std::system_error&) {
        // No thread: the end comes as the loops unwind.
        delete made;
    }
}

} // namespace

void LAppDelegate::SignalArrived(void* data)
{
    auto* self = static_cast<LAppDelegate*>(data);
    const long long now = LRunLoop::NowMs();
    if (self->fSignalledAt > 0) {
        if (now - self->fSignalledAt >= kRepeatedSignalMs)
            EndProcessIn(0, self->fExitStatus);
        return;
    }
    self->fSignalledAt = now;
    if (self->bTerminating) {
        // The application ends already (its work closed as the user chose): whatever it still
        // waits for, the signal ends it soon.
        EndProcessIn(kEndAfterWorkKeptMs, self->fExitStatus);
        return;
    }
    // The work first: the desktop kills a program that is slow to end a few seconds after its
    // signal, and the runs below may take that long to unwind.
    self->KeepWork();
    // From here on nothing of the user's is at stake: the end does not wait behind work (a paint,
    // a print's or an export's worker, a dialog of GTK's that will not go).
    EndProcessIn(kEndAfterWorkKeptMs, self->fExitStatus);
    // Inside a wait or a modal run the window must not go under the callers up the stack: those
    // runs end first (StopAll answers them all), the quitting follows once they have unwound.
    if (LModalLoop::Busy()) {
        if (!self->fQuitLater.IsArmed()) {
            self->fQuitAskedAt = LRunLoop::NowMs();
            LModalLoop::StopAll(LFourCC("not!"));
            self->fQuitLater.Arm(10);
        }
        return;
    }
    self->handleAppleEvent(Event("quit"));
    // A signal to quit is not a question.
    self->terminate();
}

void LAppDelegate::KeepWork()
{
    if (!pMainDialog)
        return;
    if (auto keep = LAppDelegateHooksGet().keepWork)
        keep(*pMainDialog);
}

void LAppDelegate::DisplayLost()
{
    LAppDelegate* self = gShared;
    if (!self || !self->pMainDialog)
        return;
    if (auto lost = LAppDelegateHooksGet().displayLost)
        lost(*self->pMainDialog);
}

void LAppDelegate::QuitLater(LRunLoopTimer* timer, void* data)
{
    auto* self = static_cast<LAppDelegate*>(data);
    if (self->bTerminating)
        return;
    if (LModalLoop::Busy() && LRunLoop::NowMs() - self->fQuitAskedAt < kQuitWaitLimitMs) {
        LModalLoop::StopAll(LFourCC("not!"));
        timer->Arm(10);
        return;
    }
    self->handleAppleEvent(Event("quit"));
    self->terminate();
}

void LAppDelegate::applicationWillFinishLaunching()
{
    LAppDelegateHooks& hooks = LAppDelegateHooksGet();
    if (hooks.install && !hooks.install()) {
        terminate();
        return;
    }
    if (hooks.createMainWindow)
        pMainDialog = hooks.createMainWindow();
    // No window tabbing exists here; nothing to turn off.
}

void LAppDelegate::applicationDidFinishLaunching()
{
    if (!pMainDialog)
        return;
    LAppDelegateHooks& hooks = LAppDelegateHooksGet();
    if (hooks.mainWindowInit && !hooks.mainWindowInit(*pMainDialog, *this)) {
        terminate();
        return;
    }
    if (hooks.showMainWindow)
        hooks.showMainWindow(*pMainDialog);
    else if (LMacWindowManager* manager = pMainDialog->GetWindowManager())
        manager->showWindow();
    WatchMainWindowClose();
}

void LAppDelegate::WatchMainWindowClose()
{
    LNativeWindow* native = pMainDialog ? pMainDialog->GetNativeWindow() : nullptr;
    if (!native || !native->Gtk())
        return;
    // Once the main window is gone the application ends with it.
    g_signal_connect(native->Gtk(), "destroy", G_CALLBACK(+[](GtkWidget*, gpointer) {
        g_idle_add(
            [](gpointer) -> gboolean {
                LAppDelegate* d = LAppDelegate::Shared();
                if (d && d->bRunning && d->applicationShouldTerminateAfterLastWindowClosed())
                    d->terminate();
                return G_SOURCE_REMOVE;
            },
            nullptr);
    }),
        nullptr);
}

bool LAppDelegate::applicationShouldTerminateAfterLastWindowClosed() const
{
    if (!pMainDialog)
        return true;
    LView* content = pMainDialog->GetContentView();
    if (!content || !(content->Superview() || content->Window()))
        return true;
    return pMainDialog->IsClosed();
}

void LAppDelegate::applicationWillTerminate()
{
    // What the application put on the clipboard outlives it (the clipboard manager keeps it).
    LUiClipboard::Store();
    char value[kLStringShortSize] = "";
    _LUserSettingGetString("Settings", "ContinueInstallAtExit", "", value);
    if (value[0] && value[0] != '0') {
        if (auto dock = LAppDelegateHooksGet().addToDock) {
            char bundle[kLStringShortSize] = "";
            LGetBundleFolder(bundle, sizeof bundle);
            dock(bundle);
        }
        LUserSettingSetString("Settings", "ContinueInstallAtExit", "0");
    }
    if (LCocoaWindow* main = pMainDialog) {
        pMainDialog = nullptr;
        delete main;
    }
}

void LAppDelegate::applicationWillHide()
{
    if (!pMainDialog)
        return;
    pMainDialog->BubbleTipHide();
    pMainDialog->EvHide();
}

void LAppDelegate::applicationWillUnhide()
{
    if (pMainDialog)
        pMainDialog->EvShow();
}

void LAppDelegate::handleAppleEvent(const LAppleEvent& event)
{
    if (!pMainDialog) {
        if (event.id == "quit")
            terminate();
        return;
    }
    if (auto handler = LAppDelegateHooksGet().appleEvent)
        handler(*pMainDialog, event);
    else if (event.id == "quit")
        terminate();
}
