#include "platform/ui/LView.h"

#include "platform/ui/LEventHub.h"
#include "platform/ui/LLayout.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiDirectSave.h"
#include "platform/ui/LUiSystem.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>

namespace {

const char kViewDataKey[] = "vt-lview";

int Round(double v)
{
    return int(floor(v + 0.5));
}

uint32_t ModifiersOf(guint state)
{
    uint32_t m = 0;
    if (state & GDK_SHIFT_MASK)
        m |= kLUiShift;
    if (state & GDK_CONTROL_MASK)
        m |= kLUiControl;
    if (state & GDK_MOD1_MASK)
        m |= kLUiAlt;
    if (state & (GDK_SUPER_MASK | GDK_MOD4_MASK))
        m |= kLUiSuper;
    if (state & GDK_LOCK_MASK)
        m |= kLUiCapsLock;
    if (state & GDK_BUTTON1_MASK)
        m |= kLUiButton1;
    if (state & GDK_BUTTON2_MASK)
        m |= kLUiButton2;
    if (state & GDK_BUTTON3_MASK)
        m |= kLUiButton3;
    return m;
}

// Clicks are counted here rather than through GDK's extra 2BUTTON/3BUTTON events, so that each
// press is one event with its count.
struct ClickCounter {
    uint32_t time = 0;
    guint button = 0;
    double x = 0, y = 0;
    int count = 0;
};

// One press bubbles from the view that was hit through its superviews, each turning it into its
// record: it is counted once, and the others are given the same count.
struct PressStamp {
    GdkWindow* window = nullptr;
    uint32_t time = 0;
    guint button = 0;
    double x = 0, y = 0;
    bool operator==(const PressStamp&) const = default;
};

PressStamp StampOf(const GdkEventButton* e)
{
    return PressStamp { e->window, e->time, e->button, e->x_root, e->y_root };
}

int CountClickOnce(const GdkEventButton* e);

int CountClick(const GdkEventButton* e)
{
    static PressStamp counted;
    static int answer = 0;
    PressStamp stamp = StampOf(e);
    if (answer && stamp == counted)
        return answer;
    counted = stamp;
    answer = CountClickOnce(e);
    return answer;
}

int CountClickOnce(const GdkEventButton* e)
{
    static ClickCounter last;
    GtkSettings* settings = gtk_settings_get_default();
    int interval = 400, distance = 5;
    if (settings)
        g_object_get(settings, "gtk-double-click-time", &interval, "gtk-double-click-distance",
            &distance, nullptr);
    if (last.count > 0 && e->button == last.button && e->time - last.time <= uint32_t(interval)
        && fabs(e->x_root - last.x) <= distance && fabs(e->y_root - last.y) <= distance)
        ++last.count;
    else
        last.count = 1;
    last.time = e->time;
    last.button = e->button;
    last.x = e->x_root;
    last.y = e->y_root;
    return last.count;
}

// Notes whether the view's focus came with a click on it (kept until the focus comes again).
void NoteFocusByPointer(LView* view, bool byPointer);

gboolean OnButtonPress(GtkWidget* widget, GdkEventButton* e, gpointer data)
{
    if (e->type != GDK_BUTTON_PRESS)
        return TRUE; // the extra double and triple press events: counted ourselves
    LView* view = static_cast<LView*>(data);
    LUiRef<LView> hold(view);
    // Only the view that was hit takes the focus, not the superviews the press bubbles through.
    GtkWidget* hit = gtk_get_event_widget(reinterpret_cast<GdkEvent*>(e));
    bool isHitView = hit && LView::FromWidget(hit) == view;
    if (e->button == 1 && isHitView && view->AcceptsFirstResponder()) {
        if (!gtk_widget_has_focus(widget)) {
            gtk_widget_set_can_focus(widget, TRUE);
            gtk_widget_grab_focus(widget);
        }
        // A click does not show the focus it gives: the view shows it once the focus comes to
        // it again otherwise (by the keyboard).
        NoteFocusByPointer(view, true);
    }
    LUiEvent ev;
    if (!view->MakeEvent(reinterpret_cast<GdkEvent*>(e), ev))
        return FALSE;
    return view->DispatchEvent(ev);
}

gboolean OnGenericEvent(GtkWidget*, GdkEvent* e, gpointer data)
{
    LView* view = static_cast<LView*>(data);
    LUiRef<LView> hold(view);
    LUiEvent ev;
    if (!view->MakeEvent(e, ev))
        return FALSE;
    return view->DispatchEvent(ev);
}

// Tab and Shift+Tab within a layout that lists some of its views first (SetKeyViewOrder): its
// child widgets in that order, the listed ones first (by the child that holds each), the others
// after them by place as GTK orders them (the middle's height, then its left to right); the
// focus goes on from the child that holds it, as GTK's containers move it.
gboolean FocusInKeyViewOrder(GtkWidget* layout, GtkDirectionType direction, const LView& view)
{
    std::vector<GtkWidget*> children;
    GList* list = gtk_container_get_children(GTK_CONTAINER(layout));
    for (GList* l = list; l; l = l->next)
        children.push_back(static_cast<GtkWidget*>(l->data));
    g_list_free(list);
    auto middle = [](GtkWidget* w) {
        GtkAllocation a;
        gtk_widget_get_allocation(w, &a);
        return std::pair<int, int>(a.y + a.height / 2, a.x + a.width / 2);
    };
    std::stable_sort(children.begin(), children.end(),
        [&](GtkWidget* a, GtkWidget* b) { return middle(a) < middle(b); });
    // Whether the view is the layout's or below it (pointers compared only: a listed view may
    // have gone).
    std::function<bool(const LView&, const LView*)> holds = [&](const LView& in, const LView* v) {
        for (const LView* sub : in.Subviews())
            if (sub == v || holds(*sub, v))
                return true;
        return false;
    };
    std::vector<GtkWidget*> ordered;
    for (LView* listed : view.KeyViewOrder()) {
        GtkWidget* w = holds(view, listed) ? listed->ExistingWidget() : nullptr;
        // The child of the layout that holds the view's widget.
        while (w && gtk_widget_get_parent(w) != layout)
            w = gtk_widget_get_parent(w);
        if (w && std::find(ordered.begin(), ordered.end(), w) == ordered.end())
            ordered.push_back(w);
    }
    for (GtkWidget* child : children)
        if (std::find(ordered.begin(), ordered.end(), child) == ordered.end())
            ordered.push_back(child);
    if (direction == GTK_DIR_TAB_BACKWARD)
        std::reverse(ordered.begin(), ordered.end());
    GtkWidget* focusChild = gtk_container_get_focus_child(GTK_CONTAINER(layout));
    for (GtkWidget* child : ordered) {
        if (focusChild) {
            if (child != focusChild)
                continue;
            focusChild = nullptr;
            if (gtk_widget_child_focus(child, direction))
                return TRUE;
        } else if (gtk_widget_is_drawable(child) && gtk_widget_child_focus(child, direction)) {
            return TRUE;
        }
    }
    return FALSE;
}

// Keyboard navigation into a layout: a view that cannot become a key view is passed over and
// only its subviews are offered the focus. (A container that takes the focus itself would
// otherwise keep Tab from ever reaching its subviews.) Tab goes through a layout that lists
// views first in that order.
gboolean OnLayoutFocus(GtkWidget* widget, GtkDirectionType direction, gpointer data)
{
    LView* view = static_cast<LView*>(data);
    const bool passOver = !view->CanBecomeKeyView() && gtk_widget_get_can_focus(widget);
    const bool ordered = !view->KeyViewOrder().empty()
        && (direction == GTK_DIR_TAB_FORWARD || direction == GTK_DIR_TAB_BACKWARD)
        && (passOver || !gtk_widget_get_can_focus(widget));
    if (!passOver && !ordered)
        return FALSE;
    if (passOver)
        gtk_widget_set_can_focus(widget, FALSE);
    gboolean moved = ordered ? FocusInKeyViewOrder(widget, direction, *view)
                             : GTK_WIDGET_GET_CLASS(widget)->focus(widget, direction);
    if (passOver)
        gtk_widget_set_can_focus(widget, TRUE);
    g_signal_stop_emission_by_name(widget, "focus");
    return moved;
}

// Whether the view is below in (pointers compared only: it may have gone).
bool IsBelow(const LView& in, const LView* view)
{
    for (const LView* sub : in.Subviews())
        if (sub == view || IsBelow(*sub, view))
            return true;
    return false;
}

// The widget of the view kept open inside a shut view, null when there is none (any more).
GtkWidget* KeptOpenWidget(const LView& view)
{
    LView* kept = view.KeyboardKeptOpen();
    return kept && IsBelow(view, kept) ? kept->ExistingWidget() : nullptr;
}

// Keyboard navigation into a shut view: passed over with everything inside it but the view
// kept open there.
gboolean OnShutFocus(GtkWidget* widget, GtkDirectionType direction, gpointer data)
{
    const LView* view = static_cast<LView*>(data);
    if (!view->IsKeyboardShut())
        return FALSE;
    g_signal_stop_emission_by_name(widget, "focus");
    GtkWidget* kept = KeptOpenWidget(*view);
    return kept && gtk_widget_is_drawable(kept) && gtk_widget_child_focus(kept, direction);
}

gboolean OnFocusIn(GtkWidget*, GdkEventFocus*, gpointer data)
{
    NoteFocusByPointer(static_cast<LView*>(data), false);
    static_cast<LView*>(data)->FocusIn();
    return FALSE;
}

gboolean OnFocusOut(GtkWidget*, GdkEventFocus*, gpointer data)
{
    static_cast<LView*>(data)->FocusOut();
    return FALSE;
}

void OnLayoutDraw(VtLayout*, cairo_t* cr, gpointer data)
{
    LView* view = static_cast<LView*>(data);
    double x1, y1, x2, y2;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    view->Draw(cr, LUiRect { x1, y1, x2 - x1, y2 - y1 });
}

LUiDragInfo MakeDragInfo(
    LView* view, GtkWidget* widget, GdkDragContext* context, int x, int y, guint time)
{
    LUiDragInfo info;
    info.x = x;
    info.y = y;
    (void)view;
    info.fromThisApplication = gtk_drag_get_source_widget(context) != nullptr;
    for (GList* l = gdk_drag_context_list_targets(context); l; l = l->next) {
        gchar* name = gdk_atom_name(GDK_POINTER_TO_ATOM(l->data));
        info.types.emplace_back(name);
        g_free(name);
    }
    info.context = context;
    info.time = time;
    (void)widget;
    return info;
}

GdkDragAction ActionOf(int op, GdkDragContext* context)
{
    GdkDragAction offered = gdk_drag_context_get_actions(context);
    if ((op & kLUiDragMove) && (offered & GDK_ACTION_MOVE))
        return GDK_ACTION_MOVE;
    if ((op & kLUiDragCopy) && (offered & GDK_ACTION_COPY))
        return GDK_ACTION_COPY;
    if (op && (offered & GDK_ACTION_COPY))
        return GDK_ACTION_COPY;
    return GdkDragAction(0);
}

} // namespace

struct LViewGlue {
    static void SetFocusByPointer(LView* view, bool byPointer)
    {
        if (view->fFocusByPointer == byPointer)
            return;
        view->fFocusByPointer = byPointer;
        if (view->HasFocus())
            view->SetNeedsDisplay();
    }

    // The widget was destroyed by someone else (its toplevel, say): the view lets it go and makes
    // a new one when it is needed again.
    static void Destroyed(GtkWidget* widget, gpointer data)
    {
        LView* view = static_cast<LView*>(data);
        if (view->fWidget != widget)
            return;
        g_signal_handlers_disconnect_matched(
            widget, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr, view);
        g_object_set_data(G_OBJECT(widget), kViewDataKey, nullptr);
        if (VT_IS_LAYOUT(widget)) {
            vt_layout_set_draw_func(VT_LAYOUT(widget), nullptr, nullptr);
            vt_layout_set_accessible_funcs(VT_LAYOUT(widget), nullptr, nullptr);
        }
        view->fWidget = nullptr;
        g_object_unref(widget);
    }

    // A drag that moves on or drops was not leaving: the exit waiting to be told is dropped.
    static void CancelLeave(LView* view)
    {
        if (view->fLeaveSource) {
            g_source_remove(view->fLeaveSource);
            view->fLeaveSource = 0;
        }
    }

    static gboolean Motion(
        GtkWidget* w, GdkDragContext* context, gint x, gint y, guint time, gpointer data)
    {
        LView* view = static_cast<LView*>(data);
        LUiRef<LView> hold(view);
        CancelLeave(view);
        LUiDragInfo info = MakeDragInfo(view, w, context, x, y, time);
        int op;
        if (!view->fInDrag) {
            view->fInDrag = true;
            view->fDropped = false;
            op = view->DraggingEntered(info);
        } else {
            op = view->DraggingUpdated(info);
        }
        gdk_drag_status(context, ActionOf(op, context), time);
        return TRUE;
    }

    struct Pending {
        LView* view;
        GdkDragContext* context;
        guint time;
    };

    static gboolean LeaveLater(gpointer p)
    {
        Pending* pending = static_cast<Pending*>(p);
        LView* view = pending->view;
        view->fLeaveSource = 0;
        if (view->fInDrag && !view->fDropped) {
            view->fInDrag = false;
            LUiDragInfo info;
            info.context = pending->context;
            info.time = pending->time;
            view->DraggingExited(info);
            view->DraggingEnded(info);
        }
        return G_SOURCE_REMOVE;
    }

    static void FreePending(gpointer p)
    {
        Pending* pending = static_cast<Pending*>(p);
        g_object_unref(pending->context);
        pending->view->Release();
        delete pending;
    }

    // GTK sends drag-leave also just before a drop; the exit is only told when no drop follows.
    static void Leave(GtkWidget*, GdkDragContext* context, guint time, gpointer data)
    {
        LView* view = static_cast<LView*>(data);
        if (!view->fInDrag || view->fLeaveSource)
            return;
        view->Retain();
        auto* pending = new Pending { view, GDK_DRAG_CONTEXT(g_object_ref(context)), time };
        view->fLeaveSource = g_idle_add_full(G_PRIORITY_DEFAULT, LeaveLater, pending, FreePending);
    }

    // The drop: when the view is prepared, the data of the first registered type the drag offers
    // is asked for, and the drop is performed once it has come (GTK delivers it later).
    static gboolean Drop(
        GtkWidget* w, GdkDragContext* context, gint x, gint y, guint time, gpointer data)
    {
        LView* view = static_cast<LView*>(data);
        LUiRef<LView> hold(view);
        CancelLeave(view);
        view->fDropped = true;
        view->fInDrag = false;
        LUiDragInfo info = MakeDragInfo(view, w, context, x, y, time);
        GdkAtom target = gtk_drag_dest_find_target(w, context, nullptr);
        if (target == GDK_NONE || !view->PrepareForDragOperation(info)) {
            gtk_drag_finish(context, FALSE, FALSE, time);
            view->DraggingEnded(info);
            return TRUE;
        }
        if (target == gdk_atom_intern_static_string(kLUiDirectSaveType)) {
            // A promised file: nothing to fetch yet; the receiver names the file first.
            info.dataType = kLUiDirectSaveType;
            bool ok = view->PerformDragOperation(info);
            if (!LUiDragFinishedEarly(context))
                gtk_drag_finish(context, ok, FALSE, time);
            view->DraggingEnded(info);
            return TRUE;
        }
        view->fAwaitingDropData = true;
        gtk_drag_get_data(w, context, target, time);
        return TRUE;
    }

    static void DataReceived(GtkWidget* w, GdkDragContext* context, gint x, gint y,
        GtkSelectionData* selection, guint, guint time, gpointer data)
    {
        LView* view = static_cast<LView*>(data);
        if (LUiDirectSaveTakeAnswer(context, selection))
            return;
        if (!view->fAwaitingDropData)
            return; // asked for by someone else
        view->fAwaitingDropData = false;
        LUiRef<LView> hold(view);
        LUiDragInfo info = MakeDragInfo(view, w, context, x, y, time);
        gint length = selection ? gtk_selection_data_get_length(selection) : -1;
        bool ok = false;
        if (length >= 0) {
            const guchar* bytes = gtk_selection_data_get_data(selection);
            if (bytes)
                info.data.assign(bytes, bytes + length);
            gchar* type = gdk_atom_name(gtk_selection_data_get_target(selection));
            info.dataType = type ? type : "";
            g_free(type);
            ok = view->PerformDragOperation(info);
        }
        gtk_drag_finish(context, ok, FALSE, time);
        view->DraggingEnded(info);
    }
};

LView::LView() = default;

LView::~LView()
{
    if (fLeaveSource)
        g_source_remove(fLeaveSource);
    std::vector<LView*> children;
    children.swap(fSubviews);
    for (LView* child : children) {
        child->fSuperview = nullptr;
        child->DetachWidgetFrom(fWidget);
        child->Release();
    }
    if (fWidget) {
        g_signal_handlers_disconnect_matched(
            fWidget, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr, this);
        if (g_object_get_data(G_OBJECT(fWidget), kViewDataKey) == this)
            g_object_set_data(G_OBJECT(fWidget), kViewDataKey, nullptr);
        if (VT_IS_LAYOUT(fWidget)) {
            vt_layout_set_draw_func(VT_LAYOUT(fWidget), nullptr, nullptr);
            vt_layout_set_accessible_funcs(VT_LAYOUT(fWidget), nullptr, nullptr);
        }
        if (GtkWidget* parent = gtk_widget_get_parent(fWidget))
            gtk_container_remove(GTK_CONTAINER(parent), fWidget);
        gtk_widget_destroy(fWidget);
        g_object_unref(fWidget);
        fWidget = nullptr;
    }
    RemoveAllAssociations();
}

GtkWidget* LView::CreateWidget()
{
    return vt_layout_new();
}

GtkWidget* LView::SubviewContainer()
{
    return fWidget && VT_IS_LAYOUT(fWidget) ? fWidget : nullptr;
}

GtkWidget* LView::ExistingSubviewContainer()
{
    if (!fWidget)
        return nullptr;
    GtkWidget* holder = SubviewContainer();
    return holder && VT_IS_LAYOUT(holder) ? holder : nullptr;
}

void LView::DetachWidgetFrom(GtkWidget* ancestor)
{
    // The widget hangs in the old superview's container, which is its widget or lies inside it.
    if (!fWidget || !ancestor || !gtk_widget_is_ancestor(fWidget, ancestor))
        return;
    if (GtkWidget* parent = gtk_widget_get_parent(fWidget))
        gtk_container_remove(GTK_CONTAINER(parent), fWidget);
}

namespace {

void NoteFocusByPointer(LView* view, bool byPointer)
{
    LViewGlue::SetFocusByPointer(view, byPointer);
}

const VtLayoutAccessibleFuncs kViewAccessibleFuncs {
    [](gpointer view) { return static_cast<LView*>(view)->AccessibleRole(); },
    [](gpointer view) -> char* {
        std::string name = static_cast<LView*>(view)->AccessibleName();
        return name.empty() ? nullptr : g_strdup(name.c_str());
    },
    [](gpointer view) { return static_cast<LView*>(view)->AccessibleActionName(); },
    [](gpointer view) -> gboolean {
        LUiRef<LView> hold(static_cast<LView*>(view));
        return hold->AccessibleActivate();
    },
};

} // namespace

void LView::ConnectLayoutSignals(GtkWidget* w, LView* view)
{
    vt_layout_set_draw_func(VT_LAYOUT(w), OnLayoutDraw, view);
    vt_layout_set_accessible_funcs(VT_LAYOUT(w), &kViewAccessibleFuncs, view);
    g_signal_connect(w, "button-press-event", G_CALLBACK(OnButtonPress), view);
    g_signal_connect(w, "button-release-event", G_CALLBACK(OnGenericEvent), view);
    g_signal_connect(w, "motion-notify-event", G_CALLBACK(OnGenericEvent), view);
    g_signal_connect(w, "enter-notify-event", G_CALLBACK(OnGenericEvent), view);
    g_signal_connect(w, "leave-notify-event", G_CALLBACK(OnGenericEvent), view);
    g_signal_connect(w, "scroll-event", G_CALLBACK(OnGenericEvent), view);
    g_signal_connect(w, "key-press-event", G_CALLBACK(OnGenericEvent), view);
    g_signal_connect(w, "key-release-event", G_CALLBACK(OnGenericEvent), view);
    g_signal_connect(w, "focus", G_CALLBACK(OnLayoutFocus), view);
}

GtkWidget* LView::Widget()
{
    if (fWidget)
        return fWidget;
    GtkWidget* w = CreateWidget();
    g_object_ref_sink(w);
    fWidget = w;
    g_object_set_data(G_OBJECT(w), kViewDataKey, this);
    g_signal_connect(w, "destroy", G_CALLBACK(LViewGlue::Destroyed), this);
    g_signal_connect(w, "focus", G_CALLBACK(OnShutFocus), this);
    if (VT_IS_LAYOUT(w))
        ConnectLayoutSignals(w, this);
    g_signal_connect(w, "focus-in-event", G_CALLBACK(OnFocusIn), this);
    g_signal_connect(w, "focus-out-event", G_CALLBACK(OnFocusOut), this);
    gtk_widget_set_can_focus(w, fAcceptsFocus);
    if (fAnswersEnabled)
        gtk_widget_set_sensitive(w, fEnabled);
    gtk_widget_set_visible(w, !fHidden);
    if (!fDraggedTypes.empty())
        RegisterDraggedTypes(std::vector<std::string>(fDraggedTypes));
    if (!VT_IS_LAYOUT(w))
        AccessibleChanged();
    for (size_t i = 0; i < fSubviews.size(); ++i)
        AttachChildWidget(fSubviews[i], i);
    return w;
}

void LView::AccessibleChanged()
{
    if (!fWidget)
        return;
    if (VT_IS_LAYOUT(fWidget)) {
        // The layout's accessible asks the view each time: it only tells the listeners.
        g_object_notify(G_OBJECT(gtk_widget_get_accessible(fWidget)), "accessible-name");
        return;
    }
    AtkRole role = AccessibleRole();
    std::string name = AccessibleName();
    if (role == ATK_ROLE_PANEL && name.empty())
        return;
    AtkObject* object = gtk_widget_get_accessible(fWidget);
    if (role != ATK_ROLE_PANEL)
        atk_object_set_role(object, role);
    if (!name.empty())
        atk_object_set_name(object, name.c_str());
}

LView* LView::FromWidget(GtkWidget* widget)
{
    for (GtkWidget* w = widget; w; w = gtk_widget_get_parent(w))
        if (auto* v = static_cast<LView*>(g_object_get_data(G_OBJECT(w), kViewDataKey)))
            return v;
    return nullptr;
}

void LView::AttachChildWidget(LView* child, size_t position)
{
    if (!fWidget || AttachSubviewWidget(child))
        return;
    GtkWidget* holder = ExistingSubviewContainer();
    if (!holder) {
        if (!fWarnedNoContainer)
            g_warning("a %s cannot show subviews: it has no subview container",
                G_OBJECT_TYPE_NAME(fWidget));
        fWarnedNoContainer = true;
        return;
    }
    GtkWidget* cw = child->Widget();
    if (GtkWidget* old = gtk_widget_get_parent(cw))
        gtk_container_remove(GTK_CONTAINER(old), cw);
    const LUiRect& f = child->fFrame;
    int x = Round(f.x), y = Round(f.y);
    vt_layout_insert(VT_LAYOUT(holder), cw, guint(position), x, y, Round(f.x + f.width) - x,
        Round(f.y + f.height) - y);
}

void LView::AddSubview(LView* view)
{
    InsertSubview(view, fSubviews.size());
}

void LView::InsertSubview(LView* view, size_t position)
{
    if (!view || view == this || IsDescendantOf(view))
        return;
    LUiRef<LView> hold(view);
    if (view->fSuperview)
        view->RemoveFromSuperview();
    position = std::min(position, fSubviews.size());
    view->Retain();
    fSubviews.insert(fSubviews.begin() + position, view);
    view->fSuperview = this;
    AttachChildWidget(view, position);
}

void LView::RemoveFromSuperview()
{
    LView* parent = fSuperview;
    if (!parent)
        return;
    auto it = std::find(parent->fSubviews.begin(), parent->fSubviews.end(), this);
    if (it != parent->fSubviews.end())
        parent->fSubviews.erase(it);
    fSuperview = nullptr;
    DetachWidgetFrom(parent->fWidget);
    Release();
}

bool LView::IsDescendantOf(const LView* ancestor) const
{
    for (const LView* v = this; v; v = v->fSuperview)
        if (v == ancestor)
            return true;
    return false;
}

LNativeWindow* LView::Window() const
{
    const LView* v = this;
    while (v->fSuperview)
        v = v->fSuperview;
    return v->fNativeWindow;
}

void LView::PlaceWidget()
{
    if (!fWidget || !fSuperview)
        return;
    GtkWidget* holder = fSuperview->ExistingSubviewContainer();
    if (!holder || gtk_widget_get_parent(fWidget) != holder)
        return;
    int x = Round(fFrame.x), y = Round(fFrame.y);
    vt_layout_move_resize(VT_LAYOUT(holder), fWidget, x, y, Round(fFrame.x + fFrame.width) - x,
        Round(fFrame.y + fFrame.height) - y);
}

void LView::SetFrame(const LUiRect& frame)
{
    LUiRect f = frame;
    f.width = std::max(f.width, 0.0);
    f.height = std::max(f.height, 0.0);
    if (f == fFrame)
        return;
    fFrame = f;
    if (fNativeWindow && !fSuperview) {
        fNativeWindow->ContentViewFrameSet(f);
    } else {
        PlaceWidget();
    }
    FrameDidChange();
}

void LView::SetFrameFromWindow(const LUiRect& frame)
{
    if (frame == fFrame)
        return;
    fFrame = frame;
    FrameDidChange();
}

LUiPoint LView::ConvertToRoot(LUiPoint p) const
{
    for (const LView* v = this; v->fSuperview; v = v->fSuperview) {
        p.x += v->fFrame.x - v->fSuperview->fBoundsOrigin.x;
        p.y += v->fFrame.y - v->fSuperview->fBoundsOrigin.y;
    }
    return p;
}

LUiPoint LView::ConvertFromRoot(LUiPoint p) const
{
    LUiPoint origin = ConvertToRoot(LUiPoint {});
    return LUiPoint { p.x - origin.x, p.y - origin.y };
}

void LView::SetHidden(bool hidden)
{
    if (fHidden == hidden)
        return;
    fHidden = hidden;
    if (fWidget)
        gtk_widget_set_visible(fWidget, !hidden);
    HiddenDidChange(hidden);
}

bool LView::IsHiddenOrHasHiddenAncestor() const
{
    for (const LView* v = this; v; v = v->fSuperview)
        if (v->fHidden)
            return true;
    return false;
}

bool LView::IsEnabled() const
{
    return fAnswersEnabled ? fEnabled : true;
}

void LView::SetEnabled(bool enabled)
{
    if (!fAnswersEnabled)
        return;
    fEnabled = enabled;
    if (fWidget)
        gtk_widget_set_sensitive(fWidget, enabled);
}

void LView::SetToolTipText(const char* text)
{
    if (GtkWidget* w = Widget())
        gtk_widget_set_tooltip_text(w, text && *text ? text : nullptr);
}

std::string LView::ToolTipText() const
{
    if (!fWidget)
        return std::string();
    gchar* text = gtk_widget_get_tooltip_text(fWidget);
    std::string out = text ? text : "";
    g_free(text);
    return out;
}

void LView::SetNeedsDisplay()
{
    if (fWidget)
        gtk_widget_queue_draw(fWidget);
}

void LView::SetNeedsDisplayInRect(const LUiRect& rect)
{
    if (!fWidget || !(rect.width > 0) || !(rect.height > 0))
        return;
    const int x = int(std::floor(rect.x)), y = int(std::floor(rect.y));
    const int right = int(std::ceil(rect.x + rect.width)),
              bottom = int(std::ceil(rect.y + rect.height));
    gtk_widget_queue_draw_area(fWidget, x, y, right - x, bottom - y);
}

double LView::BackingScale() const
{
    if (fWidget && gtk_widget_get_realized(fWidget))
        return std::max(1, gtk_widget_get_scale_factor(fWidget));
    if (LNativeWindow* w = Window())
        return w->BackingScale();
    return 1;
}

void LView::SetAcceptsFocus(bool accepts)
{
    fAcceptsFocus = accepts;
    if (fWidget)
        gtk_widget_set_can_focus(fWidget, accepts);
}

void LView::SetKeyboardShut(bool shut, LView* keptOpen)
{
    fKeyboardShut = shut;
    fKeyboardKeptOpen = keptOpen;
    if (!shut || !fWidget)
        return;
    GtkWidget* top = gtk_widget_get_toplevel(fWidget);
    if (!GTK_IS_WINDOW(top))
        return;
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(top));
    GtkWidget* kept = KeptOpenWidget(*this);
    if (kept && focus && (focus == kept || gtk_widget_is_ancestor(focus, kept)))
        return;
    if (!focus || (focus != fWidget && !gtk_widget_is_ancestor(focus, fWidget)))
        return;
    // The keyboard goes to the view kept open where it can (the title bar of the panel that
    // closed round it), so that it stays where it was.
    gtk_window_set_focus(GTK_WINDOW(top), nullptr);
    if (kept && gtk_widget_is_drawable(kept))
        gtk_widget_child_focus(kept, GTK_DIR_TAB_FORWARD);
}

bool LView::HasFocus() const
{
    return fWidget && gtk_widget_has_focus(fWidget);
}

bool LView::HasVisibleFocus() const
{
    return fWidget && gtk_widget_has_visible_focus(fWidget) && !fFocusByPointer;
}

bool LView::MakeFocus()
{
    if (!fWidget || !gtk_widget_get_can_focus(fWidget))
        return false;
    gtk_widget_grab_focus(fWidget);
    return gtk_widget_has_focus(fWidget);
}

void LView::RegisterDraggedTypes(const std::vector<std::string>& types)
{
    fDraggedTypes = types;
    if (!fWidget)
        return;
    g_signal_handlers_disconnect_matched(fWidget, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr,
        reinterpret_cast<gpointer>(LViewGlue::Motion), this);
    g_signal_handlers_disconnect_matched(fWidget, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr,
        reinterpret_cast<gpointer>(LViewGlue::Leave), this);
    g_signal_handlers_disconnect_matched(fWidget, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr,
        reinterpret_cast<gpointer>(LViewGlue::Drop), this);
    g_signal_handlers_disconnect_matched(fWidget, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr,
        reinterpret_cast<gpointer>(LViewGlue::DataReceived), this);
    if (types.empty()) {
        gtk_drag_dest_unset(fWidget);
        return;
    }
    std::vector<GtkTargetEntry> entries;
    for (const std::string& t : types)
        entries.push_back(GtkTargetEntry { const_cast<gchar*>(t.c_str()), 0, 0 });
    gtk_drag_dest_set(fWidget, GtkDestDefaults(0), entries.data(), gint(entries.size()),
        GdkDragAction(GDK_ACTION_COPY | GDK_ACTION_MOVE));
    g_signal_connect(fWidget, "drag-motion", G_CALLBACK(LViewGlue::Motion), this);
    g_signal_connect(fWidget, "drag-leave", G_CALLBACK(LViewGlue::Leave), this);
    g_signal_connect(fWidget, "drag-drop", G_CALLBACK(LViewGlue::Drop), this);
    g_signal_connect(fWidget, "drag-data-received", G_CALLBACK(LViewGlue::DataReceived), this);
}

void LView::Draw(cairo_t*, const LUiRect&)
{
}

void LView::NotifySubviewsFrameChanged()
{
    // A copy: a handler may change the tree.
    std::vector<LUiRef<LView>> children(fSubviews.begin(), fSubviews.end());
    for (auto& child : children) {
        child->FrameDidChange();
        child->NotifySubviewsFrameChanged();
    }
}

bool LView::MakeEvent(const GdkEvent* e, LUiEvent& out) const
{
    out = LUiEvent {};
    out.scale = BackingScale();
    out.native = e;
    double rx = 0, ry = 0;
    guint state = 0;
    bool positional = true;
    // The pointer position, modifier state and time every pointer event carries.
    auto takePointer = [&](const auto& ev) {
        rx = ev.x_root;
        ry = ev.y_root;
        state = ev.state;
        out.time = ev.time;
    };
    switch (e->type) {
    case GDK_BUTTON_PRESS:
    case GDK_BUTTON_RELEASE: {
        const GdkEventButton& b = e->button;
        bool press = e->type == GDK_BUTTON_PRESS;
        if (b.button == 1)
            out.type = press ? LUiEventType::MouseDown : LUiEventType::MouseUp;
        else if (b.button == 3)
            out.type = press ? LUiEventType::RightMouseDown : LUiEventType::RightMouseUp;
        else if (b.button == 2 || b.button >= 8)
            out.type = press ? LUiEventType::OtherMouseDown : LUiEventType::OtherMouseUp;
        else
            return false;
        out.button = int(b.button);
        if (press)
            out.clickCount = CountClick(&b);
        takePointer(b);
        break;
    }
    case GDK_MOTION_NOTIFY: {
        const GdkEventMotion& m = e->motion;
        if (m.state & GDK_BUTTON1_MASK)
            out.type = LUiEventType::MouseDragged;
        else if (m.state & GDK_BUTTON3_MASK)
            out.type = LUiEventType::RightMouseDragged;
        else if (m.state & GDK_BUTTON2_MASK)
            out.type = LUiEventType::OtherMouseDragged;
        else
            out.type = LUiEventType::MouseMoved;
        takePointer(m);
        break;
    }
    case GDK_ENTER_NOTIFY:
    case GDK_LEAVE_NOTIFY: {
        const GdkEventCrossing& c = e->crossing;
        // Moving into or out of a subview's own window is not leaving this view.
        if (c.detail == GDK_NOTIFY_INFERIOR)
            return false;
        out.type
            = e->type == GDK_ENTER_NOTIFY ? LUiEventType::MouseEntered : LUiEventType::MouseExited;
        takePointer(c);
        break;
    }
    case GDK_SCROLL: {
        const GdkEventScroll& s = e->scroll;
        out.type = LUiEventType::ScrollWheel;
        switch (s.direction) {
        case GDK_SCROLL_UP:
            out.scrollY = 1;
            break;
        case GDK_SCROLL_DOWN:
            out.scrollY = -1;
            break;
        case GDK_SCROLL_LEFT:
            out.scrollX = 1;
            break;
        case GDK_SCROLL_RIGHT:
            out.scrollX = -1;
            break;
        case GDK_SCROLL_SMOOTH: {
            GdkDevice* d = gdk_event_get_source_device(e);
            out.precise = d && gdk_device_get_source(d) == GDK_SOURCE_TOUCHPAD;
            // Touchpad deltas come in steps of about ten points.
            double k = out.precise ? 10.0 : 1.0;
            out.scrollX = -s.delta_x * k;
            out.scrollY = -s.delta_y * k;
            break;
        }
        }
        takePointer(s);
        break;
    }
    case GDK_KEY_PRESS:
    case GDK_KEY_RELEASE: {
        const GdkEventKey& k = e->key;
        positional = false;
        bool press = e->type == GDK_KEY_PRESS;
        if (k.is_modifier)
            out.type = LUiEventType::FlagsChanged;
        else
            out.type = press ? LUiEventType::KeyDown : LUiEventType::KeyUp;
        out.keyval = k.keyval;
        out.keycode = k.hardware_keycode;
        out.character = gdk_keyval_to_unicode(k.keyval);
        out.isRepeat = press && LEventHub::IsKeyRepeat(&k);
        state = k.state;
        out.time = k.time;
        break;
    }
    default:
        return false;
    }
    out.modifiers = ModifiersOf(state);
    if (positional) {
        out.rootX = rx;
        out.rootY = ry;
        LUiPoint p;
        if (ConvertFromScreen(rx, ry, p)) {
            out.x = p.x;
            out.y = p.y;
        }
    }
    return true;
}

bool LView::ConvertFromScreen(double sx, double sy, LUiPoint& p) const
{
    if (!fWidget || !gtk_widget_get_realized(fWidget))
        return false;
    // The widget's window origin on the screen, then the widget's place inside that window.
    GdkWindow* win = gtk_widget_get_window(fWidget);
    int ox = 0, oy = 0;
    gdk_window_get_origin(win, &ox, &oy);
    double x = sx - ox, y = sy - oy;
    if (!gtk_widget_get_has_window(fWidget)) {
        GtkAllocation a;
        gtk_widget_get_allocation(fWidget, &a);
        x -= a.x;
        y -= a.y;
    }
    p = LUiPoint { x, y };
    return true;
}

bool LView::DispatchEvent(const LUiEvent& e)
{
    switch (e.type) {
    case LUiEventType::MouseDown:
        return MouseDown(e);
    case LUiEventType::MouseUp:
        return MouseUp(e);
    case LUiEventType::RightMouseDown:
        return RightMouseDown(e);
    case LUiEventType::RightMouseUp:
        return RightMouseUp(e);
    case LUiEventType::MouseMoved:
        return MouseMoved(e);
    case LUiEventType::MouseDragged:
        return MouseDragged(e);
    case LUiEventType::RightMouseDragged:
        return RightMouseDragged(e);
    case LUiEventType::OtherMouseDown:
        return OtherMouseDown(e);
    case LUiEventType::OtherMouseUp:
        return OtherMouseUp(e);
    case LUiEventType::OtherMouseDragged:
        return OtherMouseDragged(e);
    case LUiEventType::MouseEntered:
        return MouseEntered(e);
    case LUiEventType::MouseExited:
        return MouseExited(e);
    case LUiEventType::ScrollWheel:
        return ScrollWheel(e);
    case LUiEventType::KeyDown:
        return KeyDown(e);
    case LUiEventType::KeyUp:
        return KeyUp(e);
    case LUiEventType::FlagsChanged:
        return FlagsChanged(e);
    case LUiEventType::None:
        break;
    }
    return false;
}

int LUiCountClick(const GdkEventButton* press)
{
    return press ? CountClick(press) : 0;
}
