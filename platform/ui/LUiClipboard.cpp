#include "platform/ui/LUiClipboard.h"

#include "platform/system/WorkerQueue.h"
#include "platform/ui/LEventHub.h"
#include "platform/ui/LModalLoop.h"
#include "platform/ui/LRunLoop.h"
#include "platform/ui/LUiSystem.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

struct Flavour {
    std::string target;
    std::vector<uint8_t> bytes;
    bool ready = false; // bytes hold the data (else render makes it)
    bool failed = false; // render failed once: not tried again
    bool rendered = false; // made (or to be made) by a render function
    bool inWorker = false; // made by the worker thread
    bool rendering = false; // the worker has it in hand
    std::shared_ptr<LUiClipboard::Render> render;
};

struct ClipboardState {
    GObject* owner = nullptr;
    bool owned = false;
    bool settingOwner = false;
    bool hasText = false;
    std::string text;
    std::vector<Flavour> flavours;
    unsigned renderCount = 0;
    bool lastWaitGaveUp = false;

    // The known targets of another owner.
    bool watching = false; // "owner-change" is connected
    bool notifications = false; // the display tells when the clipboard changes hands
    unsigned generation = 0; // counts changes of hands; an answer of an older one is stale
    bool asking = false; // a request of the current generation is under way
    bool known = false;
    std::vector<std::string> knownTargets;
    gint64 askedAt = 0; // without notifications: when the owner was last asked
    std::vector<std::pair<uintptr_t, std::shared_ptr<std::function<void()>>>> watchers;
    uintptr_t nextWatcher = 1;

    // Other programs' requests waiting for flavours the worker makes, in the order they came.
    std::vector<GdkEvent*> held;
    uintptr_t holdMonitor = 0;
    bool releasePosted = false;
};

ClipboardState& State()
{
    static ClipboardState* state = new ClipboardState; // lives for the process
    return *state;
}

GtkClipboard* Clipboard()
{
    if (!LUiIsAvailable())
        return nullptr;
    return gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
}

bool IsTextTarget(const std::string& target)
{
    const auto& t = LUiClipboard::TextTargets();
    return std::find(t.begin(), t.end(), target) != t.end();
}

Flavour* FindFlavour(const std::string& target)
{
    for (Flavour& f : State().flavours)
        if (f.target == target)
            return &f;
    return nullptr;
}

// Tells every watcher (each once, also when one removes another meanwhile).
void NotifyWatchers()
{
    ClipboardState& s = State();
    auto watchers = s.watchers;
    for (auto& [token, fn] : watchers) {
        bool still = false;
        for (auto& w : s.watchers)
            still = still || w.first == token;
        if (still && fn && *fn)
            (*fn)();
    }
}

void OwnerAnswered(GtkClipboard*, GdkAtom* atoms, gint n, gpointer data)
{
    ClipboardState& s = State();
    if (GPOINTER_TO_UINT(data) != s.generation)
        return; // the clipboard changed hands since: another request is on its way
    s.asking = false;
    s.known = true;
    s.knownTargets.clear();
    for (gint i = 0; atoms && i < n; i++) {
        gchar* name = gdk_atom_name(atoms[i]);
        if (name)
            s.knownTargets.push_back(name);
        g_free(name);
    }
    NotifyWatchers();
}

// Asks the owner for its targets without waiting; the answer comes to OwnerAnswered.
void AskOwner(GtkClipboard* clipboard)
{
    ClipboardState& s = State();
    s.asking = true;
    s.askedAt = g_get_monotonic_time();
    // GTK may answer from its cache at once, inside this call.
    gtk_clipboard_request_targets(clipboard, OwnerAnswered, GUINT_TO_POINTER(s.generation));
}

void OwnerChanged(GtkClipboard* clipboard, GdkEvent*, gpointer)
{
    ClipboardState& s = State();
    s.generation++;
    s.known = false;
    s.asking = false;
    s.knownTargets.clear();
    if (!LUiClipboard::Owned())
        AskOwner(clipboard);
    NotifyWatchers();
}

void Watch(GtkClipboard* clipboard)
{
    ClipboardState& s = State();
    if (s.watching || !clipboard)
        return;
    s.watching = true;
    s.notifications = gdk_display_supports_selection_notification(gdk_display_get_default());
    g_signal_connect(clipboard, "owner-change", G_CALLBACK(OwnerChanged), nullptr);
    if (!LUiClipboard::Owned())
        AskOwner(clipboard);
}

// The bytes of one of our flavours, rendered when first needed.
const std::vector<uint8_t>* FlavourBytes(Flavour& f)
{
    if (!f.ready) {
        if (f.failed || !f.render)
            return nullptr;
        std::vector<uint8_t> out;
        State().renderCount++;
        // The render object may be dropped while it runs (a new operation started from inside):
        // hold it.
        std::shared_ptr<LUiClipboard::Render> render = f.render;
        std::string target = f.target;
        bool ok = (*render)(target, out);
        Flavour* again = FindFlavour(target);
        if (!again || again->render != render)
            return nullptr;
        if (!ok) {
            again->failed = true;
            return nullptr;
        }
        again->bytes = std::move(out);
        again->ready = true;
        again->render.reset();
        return &again->bytes;
    }
    return &f.bytes;
}

// ---- Flavours made by the worker -----------------------------------------------------------

// The worker that makes the flavours; never destroyed, as it may still be rendering while the
// program ends.
platform::system::WorkerQueue& Queue()
{
    static auto* queue = new platform::system::WorkerQueue("Urklipp");
    return *queue;
}

void ReleaseHeld();

// Main thread: the worker's bytes go to their flavour unless it went meanwhile (a new operation,
// another owner); then the requests they held are answered.
void RenderDone(const std::shared_ptr<LUiClipboard::Render>& render, const std::string& target,
    bool ok, std::vector<uint8_t>& bytes)
{
    Flavour* f = FindFlavour(target);
    if (f && f->render == render && !f->ready) {
        f->rendering = false;
        if (ok) {
            f->bytes = std::move(bytes);
            f->ready = true;
            f->render.reset();
        } else {
            f->failed = true;
        }
    }
    ReleaseHeld();
}

// Worker: makes one flavour and hands its bytes to the main thread.
void RenderWork(const std::shared_ptr<LUiClipboard::Render>& render, const std::string& target)
{
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    const bool ok = (*render)(target, *bytes);
    LRunLoop::Post([render, target, ok, bytes] { RenderDone(render, target, ok, *bytes); });
}

// Hands the flavour to the worker unless it has it already.
void StartRender(Flavour& f)
{
    if (f.rendering || f.ready || f.failed || !f.render)
        return;
    f.rendering = true;
    State().renderCount++;
    if (Queue().Add([render = f.render, target = f.target] { RenderWork(render, target); }))
        return;
    // No thread: the flavours are made where they are asked for, as the others.
    for (Flavour& each : State().flavours) {
        each.inWorker = false;
        each.rendering = false;
    }
}

std::string TargetName(GdkAtom atom)
{
    gchar* name = gdk_atom_name(atom);
    std::string target = name ? name : "";
    g_free(name);
    return target;
}

// The worker's flavours a request waits for: the one it names, or for MULTIPLE (several at once,
// named in a property of the requestor) all of them.
std::vector<Flavour*> Awaited(const GdkEventSelection& request)
{
    std::vector<Flavour*> awaited;
    if (request.selection != GDK_SELECTION_CLIPBOARD || !LUiClipboard::Owned())
        return awaited;
    const std::string target = TargetName(request.target);
    for (Flavour& f : State().flavours)
        if (f.inWorker && !f.ready && !f.failed && (target == "MULTIPLE" || f.target == target))
            awaited.push_back(&f);
    return awaited;
}

// Holds a request whose flavours the worker has yet to make.
bool HoldRequest(GdkEvent* event, void*)
{
    if (event->type != GDK_SELECTION_REQUEST)
        return false;
    std::vector<Flavour*> awaited = Awaited(event->selection);
    if (awaited.empty())
        return false;
    for (Flavour* f : awaited)
        StartRender(*f);
    State().held.push_back(gdk_event_copy(event));
    return true;
}

// Answers the held requests that wait no more, in order: GTK answers them as any other. A
// request of a selection that is no longer ours is refused.
void ReleaseHeld()
{
    ClipboardState& s = State();
    s.releasePosted = false;
    std::vector<GdkEvent*> held;
    held.swap(s.held);
    for (GdkEvent* e : held) {
        std::vector<Flavour*> awaited = Awaited(e->selection);
        if (!awaited.empty()) {
            // Flavours of a newer operation of ours: made too.
            for (Flavour* f : awaited)
                StartRender(*f);
            s.held.push_back(e);
            continue;
        }
        if (LUiClipboard::Owned())
            gtk_main_do_event(e);
        else
            gdk_selection_send_notify_for_display(gdk_window_get_display(e->selection.window),
                e->selection.requestor, e->selection.selection, e->selection.target, GDK_NONE,
                e->selection.time);
        gdk_event_free(e);
    }
}

// The flavours changed: the held requests are looked at again, from the loop.
void ReleaseHeldSoon()
{
    ClipboardState& s = State();
    if (s.held.empty() || s.releasePosted)
        return;
    s.releasePosted = true;
    LRunLoop::Post(ReleaseHeld);
}

void GetFunc(GtkClipboard*, GtkSelectionData* selection, guint, gpointer)
{
    ClipboardState& s = State();
    GdkAtom atom = gtk_selection_data_get_target(selection);
    gchar* name = gdk_atom_name(atom);
    std::string target = name ? name : "";
    g_free(name);
    if (s.hasText && IsTextTarget(target)) {
        gtk_selection_data_set_text(selection, s.text.data(), gint(s.text.size()));
        return;
    }
    Flavour* f = FindFlavour(target);
    if (!f)
        return;
    const std::vector<uint8_t>* bytes = FlavourBytes(*f);
    if (!bytes)
        return;
    static const guchar empty = 0;
    gtk_selection_data_set(
        selection, atom, 8, bytes->empty() ? &empty : bytes->data(), gint(bytes->size()));
}

void ClearFunc(GtkClipboard*, gpointer)
{
    ClipboardState& s = State();
    if (s.settingOwner)
        return;
    // Another program took the clipboard.
    s.owned = false;
    s.hasText = false;
    s.text.clear();
    s.flavours.clear();
    ReleaseHeldSoon();
}

// Offers the union of our targets.
bool Offer()
{
    GtkClipboard* clipboard = Clipboard();
    if (!clipboard)
        return false;
    ClipboardState& s = State();
    if (!s.owner)
        s.owner = G_OBJECT(g_object_new(G_TYPE_OBJECT, nullptr));
    GtkTargetList* list = gtk_target_list_new(nullptr, 0);
    if (s.hasText)
        for (const std::string& t : LUiClipboard::TextTargets())
            gtk_target_list_add(list, gdk_atom_intern(t.c_str(), FALSE), 0, 0);
    for (const Flavour& f : s.flavours)
        gtk_target_list_add(list, gdk_atom_intern(f.target.c_str(), FALSE), 0, 0);
    gint n = 0;
    if (!s.hasText && s.flavours.empty()) {
        // Nothing to offer yet: the clipboard is taken with the first flavour.
        gtk_target_list_unref(list);
        return true;
    }
    GtkTargetEntry* entries = gtk_target_table_new_from_list(list, &n);
    s.settingOwner = true;
    gboolean ok
        = gtk_clipboard_set_with_owner(clipboard, entries, guint(n), GetFunc, ClearFunc, s.owner);
    s.settingOwner = false;
    gtk_target_table_free(entries, n);
    gtk_target_list_unref(list);
    s.owned = ok;
    if (ok)
        gtk_clipboard_set_can_store(clipboard, nullptr, 0);
    ReleaseHeldSoon();
    // The enabling of paste follows our own flavours at once.
    NotifyWatchers();
    return ok;
}

// Waiting for an answer of another program. The request outlives a wait that gave up: GTK
// calls back in any case (with nothing after its own time-out), and the callback frees it.
struct Request {
    bool done = false;
    bool abandoned = false;
    GMainLoop* loop = nullptr;
    guint timer = 0;
    std::vector<std::string> targets;
    std::vector<uint8_t> bytes;
    bool ok = false;
};

bool Wait(Request* r, unsigned timeoutMs)
{
    if (!r->done) {
        r->loop = g_main_loop_new(nullptr, FALSE);
        guint timer = g_timeout_add(
            timeoutMs,
            +[](gpointer data) -> gboolean {
                auto* req = static_cast<Request*>(data);
                req->timer = 0;
                if (req->loop)
                    g_main_loop_quit(req->loop);
                return G_SOURCE_REMOVE;
            },
            r);
        r->timer = timer;
        {
            // Only the answer is awaited here: the user's input waits for the caller, and
            // requests of other programs, drops and quitting wait as they do for a modal window.
            LModalWait wait(r->loop);
            LEventHub::HoldInput();
            wait.Run();
            LEventHub::ReleaseInput();
        }
        g_main_loop_unref(r->loop);
        r->loop = nullptr;
        if (r->timer)
            g_source_remove(r->timer);
        r->timer = 0;
    }
    State().lastWaitGaveUp = !r->done;
    if (!r->done) {
        r->abandoned = true;
        return false;
    }
    return true;
}

void Finish(Request* r)
{
    if (r->abandoned) {
        delete r;
        return;
    }
    r->done = true;
    if (r->loop)
        g_main_loop_quit(r->loop);
}

} // namespace

const std::vector<std::string>& LUiClipboard::TextTargets()
{
    static const std::vector<std::string> targets { "UTF8_STRING", "text/plain;charset=utf-8",
        "STRING", "TEXT" };
    return targets;
}

bool LUiClipboard::Clear()
{
    ClipboardState& s = State();
    s.hasText = false;
    s.text.clear();
    s.flavours.clear();
    return Offer();
}

bool LUiClipboard::Put(const std::string& target, const uint8_t* data, size_t size)
{
    ClipboardState& s = State();
    if (!s.owned) {
        s.hasText = false;
        s.flavours.clear();
    }
    Flavour* f = FindFlavour(target);
    if (!f) {
        s.flavours.push_back(Flavour { target, {}, false, false, false, false, false, nullptr });
        f = &s.flavours.back();
    }
    f->bytes.assign(data, data + size);
    f->ready = true;
    f->failed = false;
    f->rendered = false;
    f->inWorker = false;
    f->rendering = false;
    f->render.reset();
    return Offer();
}

bool LUiClipboard::PutText(const char* utf8, size_t length)
{
    ClipboardState& s = State();
    if (!s.owned)
        s.flavours.clear();
    s.hasText = true;
    s.text.assign(utf8 ? utf8 : "", utf8 ? length : 0);
    return Offer();
}

namespace {

bool PutRenderedFlavours(
    const std::vector<std::string>& targets, LUiClipboard::Render render, bool inWorker)
{
    ClipboardState& s = State();
    if (!s.owned) {
        s.hasText = false;
        s.flavours.clear();
    }
    auto shared = std::make_shared<LUiClipboard::Render>(std::move(render));
    for (const std::string& t : targets) {
        Flavour* f = FindFlavour(t);
        if (!f) {
            s.flavours.push_back(Flavour { t, {}, false, false, false, false, false, nullptr });
            f = &s.flavours.back();
        }
        f->bytes.clear();
        f->ready = false;
        f->failed = false;
        f->rendered = true;
        f->inWorker = inWorker;
        f->rendering = false;
        f->render = shared;
    }
    if (inWorker && !s.holdMonitor)
        s.holdMonitor = LEventHub::AddMonitor(kLEventHubSelectionRequest, HoldRequest, nullptr);
    return Offer();
}

} // namespace

bool LUiClipboard::PutRendered(const std::vector<std::string>& targets, Render render)
{
    return PutRenderedFlavours(targets, std::move(render), false);
}

bool LUiClipboard::PutRenderedInWorker(const std::vector<std::string>& targets, Render render)
{
    return PutRenderedFlavours(targets, std::move(render), true);
}

bool LUiClipboard::Owned()
{
    GtkClipboard* clipboard = Clipboard();
    ClipboardState& s = State();
    return clipboard && s.owned && s.owner && gtk_clipboard_get_owner(clipboard) == s.owner;
}

bool LUiClipboard::Targets(std::vector<std::string>& out, unsigned timeoutMs)
{
    out.clear();
    State().lastWaitGaveUp = false;
    GtkClipboard* clipboard = Clipboard();
    if (!clipboard)
        return false;
    if (Owned()) {
        ClipboardState& s = State();
        if (s.hasText)
            out = TextTargets();
        for (const Flavour& f : s.flavours)
            out.push_back(f.target);
        return true;
    }
    auto* r = new Request;
    gtk_clipboard_request_targets(
        clipboard,
        +[](GtkClipboard*, GdkAtom* atoms, gint n, gpointer data) {
            auto* req = static_cast<Request*>(data);
            for (gint i = 0; atoms && i < n; i++) {
                gchar* name = gdk_atom_name(atoms[i]);
                if (name)
                    req->targets.push_back(name);
                g_free(name);
            }
            req->ok = atoms != nullptr;
            Finish(req);
        },
        r);
    if (!Wait(r, timeoutMs))
        return false;
    bool ok = r->ok;
    out = std::move(r->targets);
    delete r;
    return ok;
}

bool LUiClipboard::Has(const std::string& target, unsigned timeoutMs)
{
    std::vector<std::string> targets;
    if (!Targets(targets, timeoutMs))
        return false;
    return std::find(targets.begin(), targets.end(), target) != targets.end();
}

bool LUiClipboard::Read(const std::string& target, std::vector<uint8_t>& out, unsigned timeoutMs)
{
    out.clear();
    State().lastWaitGaveUp = false;
    GtkClipboard* clipboard = Clipboard();
    if (!clipboard || target.empty())
        return false;
    if (Owned()) {
        ClipboardState& s = State();
        if (s.hasText && IsTextTarget(target)) {
            if (target == "STRING") {
                // Latin-1, as other programs would get it.
                gsize written = 0;
                gchar* latin = g_convert_with_fallback(s.text.data(), gssize(s.text.size()),
                    "ISO-8859-1", "UTF-8", "?", nullptr, &written, nullptr);
                if (!latin)
                    return false;
                out.assign(latin, latin + written);
                g_free(latin);
            } else {
                out.assign(s.text.begin(), s.text.end());
            }
            return true;
        }
        Flavour* f = FindFlavour(target);
        if (!f)
            return false;
        const std::vector<uint8_t>* bytes = FlavourBytes(*f);
        if (!bytes)
            return false;
        out = *bytes;
        return true;
    }
    auto* r = new Request;
    gtk_clipboard_request_contents(
        clipboard, gdk_atom_intern(target.c_str(), FALSE),
        +[](GtkClipboard*, GtkSelectionData* selection, gpointer data) {
            auto* req = static_cast<Request*>(data);
            gint length = selection ? gtk_selection_data_get_length(selection) : -1;
            if (length >= 0) {
                const guchar* bytes = gtk_selection_data_get_data(selection);
                if (bytes)
                    req->bytes.assign(bytes, bytes + length);
                req->ok = true;
            }
            Finish(req);
        },
        r);
    if (!Wait(r, timeoutMs))
        return false;
    bool ok = r->ok;
    out = std::move(r->bytes);
    delete r;
    return ok;
}

bool LUiClipboard::LastWaitGaveUp()
{
    return State().lastWaitGaveUp;
}

bool LUiClipboard::KnownTargets(std::vector<std::string>& out)
{
    out.clear();
    GtkClipboard* clipboard = Clipboard();
    if (!clipboard)
        return false;
    Watch(clipboard);
    ClipboardState& s = State();
    if (Owned()) {
        if (s.hasText)
            out = TextTargets();
        for (const Flavour& f : s.flavours)
            out.push_back(f.target);
        return true;
    }
    // A display that does not tell when the clipboard changes hands: the owner is asked again
    // now and then, never waited for.
    if (!s.notifications && !s.asking && g_get_monotonic_time() - s.askedAt > 1000000) {
        s.generation++;
        AskOwner(clipboard);
    }
    if (!s.known)
        return false;
    out = s.knownTargets;
    return true;
}

uintptr_t LUiClipboard::AddWatcher(std::function<void()> changed)
{
    ClipboardState& s = State();
    uintptr_t token = s.nextWatcher++;
    s.watchers.emplace_back(token, std::make_shared<std::function<void()>>(std::move(changed)));
    Watch(Clipboard());
    return token;
}

void LUiClipboard::RemoveWatcher(uintptr_t token)
{
    auto& w = State().watchers;
    w.erase(std::remove_if(w.begin(), w.end(), [token](const auto& e) { return e.first == token; }),
        w.end());
}

bool LUiClipboard::IsRenderedFlavour(const std::string& target)
{
    if (!Owned())
        return false;
    Flavour* f = FindFlavour(target);
    return f && f->rendered && !f->failed;
}

namespace {

// The bound of a store: GTK's own wait for the manager lasts 10 s. The manager's answer comes to
// the widget that owns the clipboard for GTK; the same answer, made up, ends GTK's wait early.
struct StoreBound {
    GtkWidget* widget = nullptr;
    guint timer = 0;
};

gboolean EndStore(gpointer data)
{
    auto* bound = static_cast<StoreBound*>(data);
    bound->timer = 0;
    GdkWindow* window = gtk_widget_get_window(bound->widget);
    if (!window)
        return G_SOURCE_REMOVE;
    GdkEvent* event = gdk_event_new(GDK_SELECTION_NOTIFY);
    event->selection.window = GDK_WINDOW(g_object_ref(window));
    event->selection.selection = gdk_atom_intern_static_string("CLIPBOARD_MANAGER");
    event->selection.target = gdk_atom_intern_static_string("SAVE_TARGETS");
    event->selection.property = GDK_NONE;
    event->selection.time = GDK_CURRENT_TIME;
    gboolean handled = FALSE;
    g_signal_emit_by_name(bound->widget, "selection-notify-event", event, &handled);
    gdk_event_free(event);
    return G_SOURCE_REMOVE;
}

} // namespace

void LUiClipboard::Store(unsigned timeoutMs)
{
    GtkClipboard* clipboard = Clipboard();
    if (!clipboard || !Owned())
        return;
    // Without a clipboard manager nobody would take it: nothing is rendered, nothing waited for.
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !gdk_display_supports_clipboard_persistence(display))
        return;
    // The manager asks for the flavours it keeps; ours are rendered as it asks for them.
    StoreBound bound;
    if (GdkWindow* owner = gdk_selection_owner_get_for_display(display, GDK_SELECTION_CLIPBOARD)) {
        gpointer widget = nullptr;
        gdk_window_get_user_data(owner, &widget);
        if (widget && GTK_IS_WIDGET(widget)) {
            bound.widget = GTK_WIDGET(g_object_ref(widget));
            bound.timer = g_timeout_add(timeoutMs, EndStore, &bound);
        }
    }
    gtk_clipboard_store(clipboard);
    if (bound.timer)
        g_source_remove(bound.timer);
    if (bound.widget)
        g_object_unref(bound.widget);
}

unsigned LUiClipboard::RenderCount()
{
    return State().renderCount;
}

size_t LUiClipboard::HeldRequestCount()
{
    return State().held.size();
}
