#include "lfw/mac/LApplication.h"

#include "lfw/gen/LFile.h"
#include "lfw/gen/LFileLock.h"
#include "lfw/gen/LProcess.h"
#include "lfw/gen/LStream.h"
#include "lfw/gen/LString.h"
#include "lfw/ios/LEventQueue.h"
#include "lfw/mac/cocoa/LAppDelegate.h"
#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaWindow.h"
#include "platform/system/FileRead.h"
#include "platform/ui/LModalLoop.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LRunLoopWatch.h"
#include "platform/ui/LView.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <gtk/gtk.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

bool gHidden = false;

bool RunActiveSession()
{
    return LApplication::ModalSessionRun();
}

// The application's own windows, shown or iconified.
std::vector<LNativeWindow*> ApplicationWindows()
{
    std::vector<LNativeWindow*> out;
    GList* all = gtk_window_list_toplevels();
    for (GList* l = all; l; l = l->next)
        if (LNativeWindow* w = LNativeWindow::FromGtk(GTK_WINDOW(l->data)))
            out.push_back(w);
    g_list_free(all);
    return out;
}

} // namespace

// --- modal sessions ------------------------------------------------------------------------------

bool LApplication::ModalSessionBegin(LView* view)
{
    LNativeWindow* window = view ? view->Window() : nullptr;
    if (!window || window->ContentView() != view || window->IsClosed())
        return false;
    // One session per window: a second begin would lose the first and keep the menu resting.
    if (view->HasAssociatedValue(&kLModalSessionKey)
        && LModalLoop::IsSessionOpen(uintptr_t(view->GetAssociatedValue(&kLModalSessionKey))))
        return false;
    static bool hookInstalled = false;
    if (!hookInstalled) {
        hookInstalled = true;
        LEventQueueSetModalSessionHook(RunActiveSession);
    }
    LModalCounter::Enter();
    uintptr_t session = LModalLoop::BeginSession(window);
    if (!session) {
        LModalCounter::Leave();
        return false;
    }
    view->SetAssociatedValue(&kLModalSessionKey, uint64_t(session));
    LModalLoop::RunSession(session);
    return true;
}

bool LApplication::ModalSessionStop(LView* view)
{
    if (!view || !view->HasAssociatedValue(&kLModalSessionKey))
        return false;
    LUiRef<LView> hold(view);
    uintptr_t session = uintptr_t(view->GetAssociatedValue(&kLModalSessionKey));
    view->RemoveAssociatedValue(&kLModalSessionKey);
    if (!LModalLoop::IsSessionOpen(session)) {
        // Ended with the application's quitting: the window is no longer modal all the same,
        // or the quitting would wait for it until its time is up.
        LModalCounter::Leave();
        return false;
    }
    LModalLoop::RunSession(session);
    LModalLoop::EndSession(session);
    LModalCounter::Leave();
    return true;
}

bool LApplication::ModalSessionRun()
{
    LNativeWindow* window = LModalLoop::ModalWindow();
    LView* content = window ? window->ContentView() : nullptr;
    if (!content || !content->HasAssociatedValue(&kLModalSessionKey))
        return false;
    return LModalLoop::RunSession(uintptr_t(content->GetAssociatedValue(&kLModalSessionKey)));
}

// --- showing and hiding --------------------------------------------------------------------------

void LApplication::ShowApplication()
{
    if (gHidden) {
        gHidden = false;
        if (LAppDelegate* d = LAppDelegate::Shared())
            d->applicationWillUnhide();
        for (LNativeWindow* w : ApplicationWindows())
            if (w->Gtk() && w->IsMiniaturized())
                gtk_window_deiconify(w->Gtk());
    }
    LNativeWindow* main = nullptr;
    if (LAppDelegate* d = LAppDelegate::Shared(); d && d->mainDialog())
        main = d->mainDialog()->GetNativeWindow();
    if (!main)
        main = LNativeWindow::MainWindow();
    if (main)
        main->MakeKeyAndOrderFront();
}

void LApplication::HideApplication()
{
    // The windows are minimised, never taken off the screen: the taskbar lists them and brings
    // them back. It does so without a word to the application, so a window that shows again
    // after hiding is hidden again as at the first time.
    const auto shown = [](LNativeWindow* w) { return w->IsVisible() && !w->IsMiniaturized(); };
    if (gHidden) {
        const std::vector<LNativeWindow*> windows = ApplicationWindows();
        if (std::none_of(windows.begin(), windows.end(), shown))
            return;
    }
    gHidden = true;
    if (LAppDelegate* d = LAppDelegate::Shared())
        d->applicationWillHide();
    for (LNativeWindow* w : ApplicationWindows())
        if (shown(w))
            w->Miniaturize();
}

bool LApplication::IsHidden()
{
    return gHidden;
}

void LApplication::GetRefFromBundleRefTxt(char* out)
{
    out[0] = 0;
    char folder[kLStringShortSize];
    if (!LGetBundleResourcesFolder(folder, sizeof folder))
        return;
    char path[kLStringShortSize * 2];
    snprintf(path, sizeof path, "%s/resources/ref.txt", folder);
    int fd = platform::system::OpenForReading(path);
    if (fd < 0)
        return;
    flocktimed(fd, LOCK_SH | LOCK_NB, 3000);
    char line[kLStringShortSize] = "";
    LReadFileRef reader(fd);
    if (reader.ReadLine(line, sizeof line))
        utf8strlcpy(out, line, kLStringShortSize);
    flock(fd, LOCK_UN);
    close(fd);
}

// --- the process observer ------------------------------------------------------------------------

LMacApplicationObserver::LMacApplicationObserver(
    LProcessInterface& job, const char* applicationPath, pid_t pid)
    : fJob(job)
{
    LFile::_GetFileNameFromPath(szApplicationName, applicationPath ? applicationPath : "");
    Init(pid);
}

LMacApplicationObserver::~LMacApplicationObserver()
{
    LRunLoopWatch::Remove(fWatch);
    fWatch = 0;
    bNotRunning = false;
    fSignal.Close();
}

bool LMacApplicationObserver::CopyProcessName(pid_t pid, char* out, size_t size)
{
    if (size)
        out[0] = 0;
    if (pid < 1 || !LRunLoopWatch::IsProcessRunning(pid))
        return false;
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/comm", int(pid));
    FILE* f = fopen(path, "re");
    if (!f)
        return false;
    char name[64] = "";
    bool ok = fgets(name, sizeof name, f) != nullptr;
    fclose(f);
    if (!ok)
        return false;
    name[strcspn(name, "\n")] = 0;
    if (size)
        utf8strlcpy(out, name, size);
    return true;
}

void LMacApplicationObserver::Init(pid_t pid)
{
    char name[64];
    if (!CopyProcessName(pid, name, sizeof name)) {
        fJob.SetErrorF("%s körs inte.", szApplicationName);
        bNotRunning = true;
        return;
    }
    LRunLoopWatch::Remove(fWatch);
    fWatch = 0;
    bNotRunning = false;
    fPid = pid;
    fWatch = LRunLoopWatch::AddProcessExit(pid, ProcessEnded, this);
}

void LMacApplicationObserver::ProcessEnded(void* data)
{
    auto* self = static_cast<LMacApplicationObserver*>(data);
    self->fWatch = 0;
    self->fSignal.Signal();
}
