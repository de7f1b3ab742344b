#include "platform/ui/LModalLoop.h"

#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiFocusReturn.h"

#include <algorithm>
#include <unordered_set>
#include <utility>
#include <vector>

namespace {

struct Level {
    GMainLoop* loop; // null for a session (and a wait that turns the loop itself)
    LNativeWindow* window;
    int code;
    int closedCode;
    bool stopped;
    bool wasModal; // a session's window before it began
    bool wait; // an LModalWait
};

void EndLevel(Level* level, int code)
{
    level->code = code;
    level->stopped = true;
    if (level->loop)
        g_main_loop_quit(level->loop);
}

bool IsSession(const Level* level)
{
    return !level->loop && !level->wait;
}

void LevelWindowDestroyed(GtkWidget*, gpointer data)
{
    auto* level = static_cast<Level*>(data);
    if (!level->stopped)
        EndLevel(level, level->closedCode);
}

std::vector<Level*>& Stack()
{
    static std::vector<Level*> stack;
    return stack;
}

unsigned gCount = 0;
LModalCounter::Hook gHook = nullptr;
void* gHookData = nullptr;
int gWatchSuspended = 0;

const char kCountedKey[] = "vt-modal-counted";

// GTK's dialogs run through LModalCounter, innermost last: StopAll answers them.
std::vector<GtkDialog*>& RunningDialogs()
{
    static std::vector<GtkDialog*> dialogs;
    return dialogs;
}

std::vector<GtkNativeDialog*>& RunningNativeDialogs()
{
    static std::vector<GtkNativeDialog*> dialogs;
    return dialogs;
}

std::unordered_set<GtkWidget*>& Counted()
{
    static std::unordered_set<GtkWidget*> set;
    return set;
}

void Uncount(GtkWidget* widget)
{
    if (Counted().erase(widget))
        LModalCounter::Leave();
}

void OnUnmapOrDestroy(GtkWidget* widget, gpointer)
{
    g_signal_handlers_disconnect_by_func(
        widget, reinterpret_cast<gpointer>(OnUnmapOrDestroy), nullptr);
    Uncount(widget);
    // One of GTK's own dialogs (the print dialog): the keyboard goes back as from ours.
    LUiReturnFocus(GTK_WINDOW(widget));
}

gboolean OnAnyMap(GSignalInvocationHint*, guint n, const GValue* values, gpointer)
{
    if (n < 1 || gWatchSuspended)
        return TRUE;
    GObject* object = static_cast<GObject*>(g_value_get_object(&values[0]));
    if (!GTK_IS_WINDOW(object))
        return TRUE;
    GtkWindow* window = GTK_WINDOW(object);
    GtkWidget* widget = GTK_WIDGET(window);
    if (!gtk_window_get_modal(window) || LNativeWindow::FromGtk(window)
        || g_object_get_data(object, kCountedKey) || Counted().count(widget))
        return TRUE;
    Counted().insert(widget);
    g_signal_connect(widget, "unmap", G_CALLBACK(OnUnmapOrDestroy), nullptr);
    g_signal_connect(widget, "destroy", G_CALLBACK(OnUnmapOrDestroy), nullptr);
    LModalCounter::Enter();
    return TRUE;
}

// How many windows a window stands over by way of the windows it is transient for.
int TransientDepth(GtkWindow* window)
{
    int depth = 0;
    for (GtkWindow* w = gtk_window_get_transient_for(window); w && depth < 64;
         w = gtk_window_get_transient_for(w))
        ++depth;
    return depth;
}

// Answers every modal window of GTK's own that shows, the innermost first, as its window
// manager's close does: a dialog with "deleted", another window by closing it. Those the
// application runs itself (RunningDialogs) are left to their own answer.
void AnswerGtkQuestions()
{
    std::vector<std::pair<int, GtkWindow*>> shown;
    GList* toplevels = gtk_window_list_toplevels();
    for (GList* l = toplevels; l; l = l->next) {
        GtkWindow* window = GTK_WINDOW(l->data);
        auto& running = RunningDialogs();
        if (!gtk_window_get_modal(window) || !gtk_widget_get_visible(GTK_WIDGET(window))
            || gtk_window_get_window_type(window) != GTK_WINDOW_TOPLEVEL
            || LNativeWindow::FromGtk(window)
            || (GTK_IS_DIALOG(window)
                && std::find(running.begin(), running.end(), GTK_DIALOG(window)) != running.end()))
            continue;
        shown.emplace_back(TransientDepth(window), GTK_WINDOW(g_object_ref(window)));
    }
    g_list_free(toplevels);
    std::stable_sort(
        shown.begin(), shown.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    for (auto& [depth, window] : shown) {
        (void)depth;
        // Answering one may have taken another with it (destroyed with its parent).
        if (gtk_widget_get_visible(GTK_WIDGET(window))
            && !gtk_widget_in_destruction(GTK_WIDGET(window))) {
            if (GTK_IS_DIALOG(window))
                gtk_dialog_response(GTK_DIALOG(window), GTK_RESPONSE_DELETE_EVENT);
            else
                gtk_window_close(window);
        }
        g_object_unref(window);
    }
}

} // namespace

int LModalLoop::Run(LNativeWindow* window, int closedCode)
{
    Level level { g_main_loop_new(nullptr, FALSE), window, 0, closedCode, false, false, false };
    bool wasModal = false;
    GtkWindow* gtkWindow = nullptr;
    if (window) {
        window->Retain();
        if (window->IsClosed()) {
            window->Release();
            g_main_loop_unref(level.loop);
            return closedCode;
        }
        gtkWindow = GTK_WINDOW(g_object_ref(window->Gtk()));
        g_signal_connect(gtkWindow, "destroy", G_CALLBACK(LevelWindowDestroyed), &level);
        wasModal = window->IsModal();
        window->SetModal(true);
        window->MakeKeyAndOrderFront();
    }
    Stack().push_back(&level);
    if (!level.stopped)
        g_main_loop_run(level.loop);
    if (gtkWindow) {
        g_signal_handlers_disconnect_by_data(gtkWindow, &level);
        g_object_unref(gtkWindow);
    }
    auto& stack = Stack();
    stack.erase(std::remove(stack.begin(), stack.end(), &level), stack.end());
    if (window) {
        if (!window->IsClosed())
            window->SetModal(wasModal);
        window->Release();
    }
    g_main_loop_unref(level.loop);
    return level.code;
}

bool LModalLoop::Stop(int code)
{
    auto& stack = Stack();
    for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
        if ((*it)->loop && !(*it)->wait) {
            EndLevel(*it, code);
            return true;
        }
    }
    return false;
}

bool LModalLoop::StopWindow(LNativeWindow* window, int code)
{
    auto& stack = Stack();
    for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
        if ((*it)->window == window && (*it)->loop && !(*it)->wait) {
            EndLevel(*it, code);
            return true;
        }
    }
    return false;
}

int LModalLoop::Depth()
{
    return int(Stack().size());
}

LNativeWindow* LModalLoop::ModalWindow()
{
    auto& stack = Stack();
    for (auto it = stack.rbegin(); it != stack.rend(); ++it)
        if ((*it)->window)
            return (*it)->window;
    return nullptr;
}

uintptr_t LModalLoop::BeginSession(LNativeWindow* window)
{
    if (!window || window->IsClosed())
        return 0;
    auto* level = new Level { nullptr, window, 0, 0, false, false, false };
    window->Retain();
    level->wasModal = window->IsModal();
    window->SetModal(true);
    window->MakeKeyAndOrderFront();
    Stack().push_back(level);
    return reinterpret_cast<uintptr_t>(level);
}

bool LModalLoop::IsSessionOpen(uintptr_t session)
{
    auto& stack = Stack();
    auto* level = reinterpret_cast<Level*>(session);
    return session && std::find(stack.begin(), stack.end(), level) != stack.end()
        && IsSession(level);
}

bool LModalLoop::RunSession(uintptr_t session)
{
    if (!IsSessionOpen(session))
        return false;
    g_main_context_iteration(nullptr, FALSE);
    return true;
}

bool LModalLoop::EndSession(uintptr_t session)
{
    if (!IsSessionOpen(session))
        return false;
    auto* level = reinterpret_cast<Level*>(session);
    auto& stack = Stack();
    stack.erase(std::remove(stack.begin(), stack.end(), level), stack.end());
    if (!level->window->IsClosed())
        level->window->SetModal(level->wasModal);
    level->window->Release();
    delete level;
    return true;
}

int LModalLoop::StopAll(int code)
{
    std::vector<Level*> levels = Stack();
    for (auto it = levels.rbegin(); it != levels.rend(); ++it) {
        if (IsSession(*it))
            EndSession(reinterpret_cast<uintptr_t>(*it));
        else
            EndLevel(*it, code);
    }
    // GTK's own questions first (a file chooser's or the print panel's "Replace?"): each runs a
    // loop of its own inside GTK's handler of the dialog under it, which ends only once they are
    // answered.
    AnswerGtkQuestions();
    // Copies: answering a dialog may start or end others.
    std::vector<GtkDialog*> dialogs = RunningDialogs();
    for (auto it = dialogs.rbegin(); it != dialogs.rend(); ++it)
        gtk_dialog_response(*it, GTK_RESPONSE_DELETE_EVENT);
    std::vector<GtkNativeDialog*> natives = RunningNativeDialogs();
    for (auto it = natives.rbegin(); it != natives.rend(); ++it)
        gtk_native_dialog_hide(*it);
    return int(levels.size());
}

bool LModalLoop::Busy()
{
    // The application's own loop dispatches at depth 1; anything deeper runs inside a call.
    return !Stack().empty() || LModalCounter::Count() > 0 || g_main_depth() > 1;
}

LModalWait::LModalWait(GMainLoop* loop)
    : fLevel(new Level { loop, nullptr, 0, 0, false, false, true })
{
    if (loop)
        g_main_loop_ref(loop);
    Stack().push_back(static_cast<Level*>(fLevel));
}

LModalWait::~LModalWait()
{
    auto* level = static_cast<Level*>(fLevel);
    auto& stack = Stack();
    stack.erase(std::remove(stack.begin(), stack.end(), level), stack.end());
    if (level->loop)
        g_main_loop_unref(level->loop);
    delete level;
}

void LModalWait::Run()
{
    auto* level = static_cast<Level*>(fLevel);
    if (level->loop && !level->stopped)
        g_main_loop_run(level->loop);
}

bool LModalWait::Stopped() const
{
    return static_cast<Level*>(fLevel)->stopped;
}

unsigned LModalCounter::Enter()
{
    if (++gCount == 1 && gHook)
        gHook(true, gHookData);
    return gCount;
}

unsigned LModalCounter::Leave()
{
    if (gCount == 0)
        return 0;
    if (--gCount == 0 && gHook)
        gHook(false, gHookData);
    return gCount;
}

unsigned LModalCounter::Count()
{
    return gCount;
}

void LModalCounter::SetHook(Hook hook, void* data)
{
    gHook = hook;
    gHookData = data;
}

void LModalCounter::WatchGtkModalWindows()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    // "map" of any widget: the hook itself keeps to modal top-level windows.
    guint id = g_signal_lookup("map", GTK_TYPE_WIDGET);
    g_signal_add_emission_hook(id, 0, OnAnyMap, nullptr, nullptr);
}

int LModalCounter::RunDialog(GtkDialog* dialog)
{
    // Counted here for its whole run, so the watcher leaves it alone.
    g_object_set_data(G_OBJECT(dialog), kCountedKey, GINT_TO_POINTER(1));
    LModalCounterScope scope;
    RunningDialogs().push_back(dialog);
    int result = gtk_dialog_run(dialog);
    auto& running = RunningDialogs();
    running.erase(std::remove(running.begin(), running.end(), dialog), running.end());
    g_object_set_data(G_OBJECT(dialog), kCountedKey, nullptr);
    return result;
}

int LModalCounter::RunNativeDialog(GtkNativeDialog* dialog)
{
    // Its own window, if it has one, is inside this count.
    LModalCounterScope scope;
    ++gWatchSuspended;
    RunningNativeDialogs().push_back(dialog);
    int result = gtk_native_dialog_run(dialog);
    auto& running = RunningNativeDialogs();
    running.erase(std::remove(running.begin(), running.end(), dialog), running.end());
    --gWatchSuspended;
    return result;
}
