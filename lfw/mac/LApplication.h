// Process-wide helpers of the window layer: modal sessions (a window stays modal while work runs
// on the main thread and turns the loop itself), bringing the application forward and hiding it,
// the installation's reference text, and the observer that signals when another program ends.
#pragma once

#include "lfw/gen/LSignalObject.h"

#include <sys/types.h>

class LView;
class LProcessInterface;

class LApplication {
public:
    // Begins a modal session for the window whose content view this is: the main menu rests,
    // the other windows get no input, and the session runs once. False for a view that is not
    // its window's content view, or that has a session already (nothing changes then).
    static bool ModalSessionBegin(LView* view);
    // Runs the session once more and ends it; false when the view has none.
    static bool ModalSessionStop(LView* view);
    // Runs the session of the modal window once (one pass of the loop, never waiting); false
    // when the modal window has no session. The event pump of jobs calls it often.
    static bool ModalSessionRun();
    // Shows the application's windows again when hidden, then brings the main window forward.
    static void ShowApplication();
    // Hides the application: its windows that show are iconified, so that the taskbar brings
    // them back (the delegate hears it first); also again once the taskbar has done so.
    static void HideApplication();
    static bool IsHidden();
    // The first line (at most 259 bytes) of "resources/ref.txt" in the bundle's resources
    // folder; empty when there is none.
    static void GetRefFromBundleRefTxt(char* out);
};

// Watches another running program and signals when it ends.
class LMacApplicationObserver {
public:
    // applicationPath names the program in messages (its file name without extension).
    LMacApplicationObserver(LProcessInterface& job, const char* applicationPath, pid_t pid);
    ~LMacApplicationObserver();
    LMacApplicationObserver(const LMacApplicationObserver&) = delete;
    LMacApplicationObserver& operator=(const LMacApplicationObserver&) = delete;

    // Observes the process: when it is not running (gone, a zombie, a pid below 1) the job gets
    // "<name> körs inte." and the not-running flag is set; otherwise its end signals.
    void Init(pid_t pid);
    bool IsNotRunning() const { return bNotRunning; }
    // Readable once the program has ended.
    LSignalObjectRef GetSignal() const { return fSignal.GetRef(); }
    pid_t GetPid() const { return fPid; }
    const char* GetApplicationName() const { return szApplicationName; }
    // The name the system gives the process ("/proc/<pid>/comm"); false when it is not running.
    static bool CopyProcessName(pid_t pid, char* out, size_t size);

private:
    static void ProcessEnded(void* observer);

    LProcessInterface& fJob;
    pid_t fPid = 0;
    uintptr_t fWatch = 0;
    LSignalObject fSignal;
    bool bNotRunning = false;
    char szApplicationName[260] = {};
};
