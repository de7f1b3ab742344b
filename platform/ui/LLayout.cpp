#include "platform/ui/LLayout.h"

#include <gtk/gtk-a11y.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

struct Child {
    GtkWidget* widget;
    GdkRectangle rect;
    // A child without a GDK window of its own (a label) gets an input-only window of the
    // layout's in its place of the stack: a click on it is the layout's, not a sibling's below.
    GdkWindow* slot;
};

} // namespace

struct _VtLayout {
    GtkContainer parent_instance;
    std::vector<Child>* children; // bottom first
    int requestWidth;
    int requestHeight;
    VtLayoutDrawFunc drawFunc;
    gpointer drawData;
    VtLayoutAccessibleFuncs accFuncs;
    gpointer accData;
    int batching; // children are mapped or unmapped together: one restacking afterwards
};

// --- the accessible object of a layout ---

typedef struct {
    GtkContainerAccessible parent_instance;
    char* name;
} VtLayoutAccessible;

typedef struct {
    GtkContainerAccessibleClass parent_class;
} VtLayoutAccessibleClass;

static void vt_layout_accessible_action_init(AtkActionIface* iface);

G_DEFINE_TYPE_WITH_CODE(VtLayoutAccessible, vt_layout_accessible, GTK_TYPE_CONTAINER_ACCESSIBLE,
    G_IMPLEMENT_INTERFACE(ATK_TYPE_ACTION, vt_layout_accessible_action_init))

static VtLayout* vt_layout_of_accessible(gpointer accessible)
{
    GtkWidget* w = gtk_accessible_get_widget(GTK_ACCESSIBLE(accessible));
    return w && VT_IS_LAYOUT(w) ? VT_LAYOUT(w) : nullptr;
}

static AtkRole vt_layout_accessible_get_role(AtkObject* object)
{
    VtLayout* layout = vt_layout_of_accessible(object);
    if (layout && layout->accFuncs.role)
        return layout->accFuncs.role(layout->accData);
    return ATK_ROLE_PANEL;
}

static const gchar* vt_layout_accessible_get_name(AtkObject* object)
{
    if (object->name)
        return object->name; // set through ATK itself
    auto* self = reinterpret_cast<VtLayoutAccessible*>(object);
    VtLayout* layout = vt_layout_of_accessible(object);
    if (!layout || !layout->accFuncs.name)
        return nullptr;
    g_free(self->name);
    self->name = layout->accFuncs.name(layout->accData);
    return self->name;
}

static void vt_layout_accessible_finalize(GObject* object)
{
    g_free(reinterpret_cast<VtLayoutAccessible*>(object)->name);
    G_OBJECT_CLASS(vt_layout_accessible_parent_class)->finalize(object);
}

static void vt_layout_accessible_init(VtLayoutAccessible* self)
{
    self->name = nullptr;
}

static void vt_layout_accessible_class_init(VtLayoutAccessibleClass* klass)
{
    G_OBJECT_CLASS(klass)->finalize = vt_layout_accessible_finalize;
    AtkObjectClass* atk_class = ATK_OBJECT_CLASS(klass);
    atk_class->get_role = vt_layout_accessible_get_role;
    atk_class->get_name = vt_layout_accessible_get_name;
}

static const char* vt_layout_accessible_action(AtkAction* action)
{
    VtLayout* layout = vt_layout_of_accessible(action);
    if (!layout || !layout->accFuncs.action_name || !layout->accFuncs.activate)
        return nullptr;
    return layout->accFuncs.action_name(layout->accData);
}

static gint vt_layout_accessible_get_n_actions(AtkAction* action)
{
    return vt_layout_accessible_action(action) ? 1 : 0;
}

static const gchar* vt_layout_accessible_get_action_name(AtkAction* action, gint i)
{
    return i == 0 ? vt_layout_accessible_action(action) : nullptr;
}

static gboolean vt_layout_accessible_do_action(AtkAction* action, gint i)
{
    VtLayout* layout = vt_layout_of_accessible(action);
    if (i != 0 || !vt_layout_accessible_action(action))
        return FALSE;
    GtkWidget* w = GTK_WIDGET(layout);
    if (!gtk_widget_is_sensitive(w) || !gtk_widget_get_visible(w))
        return FALSE;
    return layout->accFuncs.activate(layout->accData);
}

static void vt_layout_accessible_action_init(AtkActionIface* iface)
{
    iface->get_n_actions = vt_layout_accessible_get_n_actions;
    iface->get_name = vt_layout_accessible_get_action_name;
    iface->do_action = vt_layout_accessible_do_action;
}

G_DEFINE_TYPE(VtLayout, vt_layout, GTK_TYPE_CONTAINER)

static Child* vt_layout_find(VtLayout* self, GtkWidget* widget)
{
    for (Child& c : *self->children)
        if (c.widget == widget)
            return &c;
    return nullptr;
}

static void vt_layout_drop_slot(VtLayout* self, Child& c)
{
    if (!c.slot)
        return;
    gtk_widget_unregister_window(GTK_WIDGET(self), c.slot);
    gdk_window_destroy(c.slot);
    c.slot = nullptr;
}

static void vt_layout_place_slot(Child& c)
{
    if (!c.slot)
        return;
    GtkAllocation a;
    gtk_widget_get_allocation(c.widget, &a);
    gdk_window_move_resize(c.slot, a.x, a.y, std::max(a.width, 1), std::max(a.height, 1));
}

// The child of the layout to which a GDK window inside the layout's window belongs (the window of
// the child itself or of a widget inside it: a button's input window, an entry's text area);
// null when none.
static GtkWidget* vt_layout_owner(VtLayout* self, GdkWindow* window)
{
    gpointer data = nullptr;
    gdk_window_get_user_data(window, &data);
    if (!data || !GTK_IS_WIDGET(data))
        return nullptr;
    for (GtkWidget* w = GTK_WIDGET(data); w; w = gtk_widget_get_parent(w))
        if (gtk_widget_get_parent(w) == GTK_WIDGET(self))
            return w;
    return nullptr;
}

// Input follows the GDK window stack and drawing follows the list: so every window of every
// child is restacked in list order (each child's windows keep their order among themselves),
// and a control above a painted sibling in the list is also the one a click reaches.
static void vt_layout_apply_stacking(VtLayout* self)
{
    if (!gtk_widget_get_realized(GTK_WIDGET(self)) || self->children->empty())
        return;
    GdkWindow* own = gtk_widget_get_window(GTK_WIDGET(self));
    GList* windows = gdk_window_get_children(own); // the top one first
    std::vector<std::pair<GtkWidget*, GdkWindow*>> owned;
    for (GList* l = g_list_last(windows); l; l = l->prev) {
        auto* w = GDK_WINDOW(l->data);
        if (GtkWidget* child = vt_layout_owner(self, w))
            owned.emplace_back(child, w);
    }
    g_list_free(windows);
    for (Child& c : *self->children) {
        bool hasOwn = false;
        for (auto& [child, w] : owned) {
            if (child == c.widget) {
                gdk_window_raise(w);
                hasOwn = true;
            }
        }
        if (hasOwn || !gtk_widget_get_mapped(c.widget)) {
            vt_layout_drop_slot(self, c);
            continue;
        }
        if (!c.slot) {
            GdkWindowAttr attrs {};
            attrs.window_type = GDK_WINDOW_CHILD;
            attrs.wclass = GDK_INPUT_ONLY;
            attrs.width = attrs.height = 1;
            attrs.event_mask = GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK
                | GDK_POINTER_MOTION_MASK | GDK_SCROLL_MASK | GDK_SMOOTH_SCROLL_MASK;
            c.slot = gdk_window_new(own, &attrs, 0);
            gtk_widget_register_window(GTK_WIDGET(self), c.slot);
        }
        vt_layout_place_slot(c);
        gdk_window_show(c.slot);
        gdk_window_raise(c.slot);
    }
}

static void vt_layout_child_mapped(GtkWidget*, gpointer self)
{
    if (VT_LAYOUT(self)->batching)
        return;
    vt_layout_apply_stacking(VT_LAYOUT(self));
}

static void vt_layout_init(VtLayout* self)
{
    self->children = new std::vector<Child>();
    self->requestWidth = 0;
    self->requestHeight = 0;
    self->drawFunc = nullptr;
    self->drawData = nullptr;
    self->accFuncs = VtLayoutAccessibleFuncs {};
    self->accData = nullptr;
    self->batching = 0;
    gtk_widget_set_has_window(GTK_WIDGET(self), TRUE);
}

static void vt_layout_finalize(GObject* object)
{
    VtLayout* self = VT_LAYOUT(object);
    delete self->children;
    self->children = nullptr;
    G_OBJECT_CLASS(vt_layout_parent_class)->finalize(object);
}

static void vt_layout_realize(GtkWidget* widget)
{
    GtkAllocation a;
    gtk_widget_get_allocation(widget, &a);
    gtk_widget_set_realized(widget, TRUE);

    GdkWindowAttr attrs {};
    attrs.window_type = GDK_WINDOW_CHILD;
    attrs.x = a.x;
    attrs.y = a.y;
    attrs.width = a.width;
    attrs.height = a.height;
    attrs.wclass = GDK_INPUT_OUTPUT;
    attrs.visual = gtk_widget_get_visual(widget);
    attrs.event_mask = gtk_widget_get_events(widget) | GDK_EXPOSURE_MASK | GDK_BUTTON_PRESS_MASK
        | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK | GDK_ENTER_NOTIFY_MASK
        | GDK_LEAVE_NOTIFY_MASK | GDK_SCROLL_MASK | GDK_SMOOTH_SCROLL_MASK | GDK_KEY_PRESS_MASK
        | GDK_KEY_RELEASE_MASK | GDK_FOCUS_CHANGE_MASK;
    GdkWindow* window = gdk_window_new(
        gtk_widget_get_parent_window(widget), &attrs, GDK_WA_X | GDK_WA_Y | GDK_WA_VISUAL);
    gtk_widget_set_window(widget, window);
    gtk_widget_register_window(widget, window);
    vt_layout_apply_stacking(VT_LAYOUT(widget));
}

static void vt_layout_unrealize(GtkWidget* widget)
{
    VtLayout* self = VT_LAYOUT(widget);
    for (Child& c : *self->children)
        vt_layout_drop_slot(self, c);
    GTK_WIDGET_CLASS(vt_layout_parent_class)->unrealize(widget);
}

static void vt_layout_map(GtkWidget* widget)
{
    // Mapping the children one by one would restack them all once per child.
    VT_LAYOUT(widget)->batching++;
    GTK_WIDGET_CLASS(vt_layout_parent_class)->map(widget);
    VT_LAYOUT(widget)->batching--;
    vt_layout_apply_stacking(VT_LAYOUT(widget));
}

static void vt_layout_unmap(GtkWidget* widget)
{
    // Nothing to restack while the whole layout goes.
    VT_LAYOUT(widget)->batching++;
    GTK_WIDGET_CLASS(vt_layout_parent_class)->unmap(widget);
    VT_LAYOUT(widget)->batching--;
}

static void vt_layout_get_preferred_width(GtkWidget* widget, gint* minimum, gint* natural)
{
    VtLayout* self = VT_LAYOUT(widget);
    *minimum = *natural = self->requestWidth;
}

static void vt_layout_get_preferred_height(GtkWidget* widget, gint* minimum, gint* natural)
{
    VtLayout* self = VT_LAYOUT(widget);
    *minimum = *natural = self->requestHeight;
}

static void vt_layout_allocate_child(Child& c)
{
    if (!gtk_widget_get_visible(c.widget))
        return;
    // GTK wants the size request asked before every allocation, even when it is not used.
    GtkRequisition min;
    gtk_widget_get_preferred_size(c.widget, &min, nullptr);
    GtkAllocation a = c.rect;
    a.width = std::max(a.width, 1);
    a.height = std::max(a.height, 1);
    gtk_widget_size_allocate(c.widget, &a);
    vt_layout_place_slot(c);
}

static void vt_layout_size_allocate(GtkWidget* widget, GtkAllocation* allocation)
{
    VtLayout* self = VT_LAYOUT(widget);
    gtk_widget_set_allocation(widget, allocation);
    if (gtk_widget_get_realized(widget))
        gdk_window_move_resize(gtk_widget_get_window(widget), allocation->x, allocation->y,
            allocation->width, allocation->height);
    for (Child& c : *self->children)
        vt_layout_allocate_child(c);
}

static gboolean vt_layout_draw(GtkWidget* widget, cairo_t* cr)
{
    VtLayout* self = VT_LAYOUT(widget);
    if (self->drawFunc && gtk_cairo_should_draw_window(cr, gtk_widget_get_window(widget))) {
        cairo_save(cr);
        self->drawFunc(self, cr, self->drawData);
        cairo_restore(cr);
    }
    // Children are drawn in stacking order, the top one last.
    for (Child& c : *self->children)
        gtk_container_propagate_draw(GTK_CONTAINER(widget), c.widget, cr);
    return FALSE;
}

static void vt_layout_add(GtkContainer* container, GtkWidget* child)
{
    vt_layout_put(VT_LAYOUT(container), child, 0, 0, 0, 0);
}

static void vt_layout_remove(GtkContainer* container, GtkWidget* child)
{
    VtLayout* self = VT_LAYOUT(container);
    auto it = std::find_if(self->children->begin(), self->children->end(),
        [child](const Child& c) { return c.widget == child; });
    if (it == self->children->end())
        return;
    gboolean wasVisible = gtk_widget_get_visible(child);
    g_signal_handlers_disconnect_by_func(
        child, reinterpret_cast<gpointer>(vt_layout_child_mapped), container);
    vt_layout_drop_slot(self, *it);
    gtk_widget_unparent(child);
    self->children->erase(it);
    if (wasVisible && gtk_widget_get_visible(GTK_WIDGET(container)))
        gtk_widget_queue_resize(GTK_WIDGET(container));
}

static void vt_layout_forall(
    GtkContainer* container, gboolean, GtkCallback callback, gpointer callback_data)
{
    VtLayout* self = VT_LAYOUT(container);
    // A copy: the callback may remove children (destruction does).
    std::vector<GtkWidget*> list;
    list.reserve(self->children->size());
    for (Child& c : *self->children)
        list.push_back(c.widget);
    for (GtkWidget* w : list)
        if (vt_layout_find(self, w))
            callback(w, callback_data);
}

static GType vt_layout_child_type(GtkContainer*)
{
    return GTK_TYPE_WIDGET;
}

static void vt_layout_class_init(VtLayoutClass* klass)
{
    GObjectClass* object_class = G_OBJECT_CLASS(klass);
    GtkWidgetClass* widget_class = GTK_WIDGET_CLASS(klass);
    GtkContainerClass* container_class = GTK_CONTAINER_CLASS(klass);
    object_class->finalize = vt_layout_finalize;
    widget_class->realize = vt_layout_realize;
    widget_class->unrealize = vt_layout_unrealize;
    widget_class->map = vt_layout_map;
    widget_class->unmap = vt_layout_unmap;
    widget_class->get_preferred_width = vt_layout_get_preferred_width;
    widget_class->get_preferred_height = vt_layout_get_preferred_height;
    widget_class->size_allocate = vt_layout_size_allocate;
    widget_class->draw = vt_layout_draw;
    container_class->add = vt_layout_add;
    container_class->remove = vt_layout_remove;
    container_class->forall = vt_layout_forall;
    container_class->child_type = vt_layout_child_type;
    gtk_container_class_handle_border_width(container_class);
    gtk_widget_class_set_accessible_type(widget_class, vt_layout_accessible_get_type());
    gtk_widget_class_set_accessible_role(widget_class, ATK_ROLE_PANEL);
}

GtkWidget* vt_layout_new(void)
{
    return GTK_WIDGET(g_object_new(VT_TYPE_LAYOUT, nullptr));
}

void vt_layout_insert(
    VtLayout* self, GtkWidget* child, guint position, int x, int y, int width, int height)
{
    g_return_if_fail(VT_IS_LAYOUT(self));
    g_return_if_fail(gtk_widget_get_parent(child) == nullptr);
    Child c { child, GdkRectangle { x, y, width, height }, nullptr };
    position = std::min<guint>(position, self->children->size());
    self->children->insert(self->children->begin() + position, c);
    gtk_widget_set_parent(child, GTK_WIDGET(self));
    // Windows a child makes when it is shown later take their place then.
    g_signal_connect_after(child, "map", G_CALLBACK(vt_layout_child_mapped), self);
    g_signal_connect_after(child, "unmap", G_CALLBACK(vt_layout_child_mapped), self);
    vt_layout_apply_stacking(self);
    if (gtk_widget_get_visible(child))
        gtk_widget_queue_resize(GTK_WIDGET(self));
}

void vt_layout_put(VtLayout* self, GtkWidget* child, int x, int y, int width, int height)
{
    vt_layout_insert(self, child, G_MAXUINT, x, y, width, height);
}

void vt_layout_move_resize(VtLayout* self, GtkWidget* child, int x, int y, int width, int height)
{
    g_return_if_fail(VT_IS_LAYOUT(self));
    Child* c = vt_layout_find(self, child);
    if (!c)
        return;
    c->rect = GdkRectangle { x, y, width, height };
    // The child gets its new place at once when the container already has its own.
    if (gtk_widget_get_realized(GTK_WIDGET(self)) && gtk_widget_get_visible(child)) {
        vt_layout_allocate_child(*c);
        gtk_widget_queue_draw(GTK_WIDGET(self));
    } else {
        gtk_widget_queue_resize(GTK_WIDGET(self));
    }
}

void vt_layout_restack(VtLayout* self, GtkWidget* child, guint position)
{
    g_return_if_fail(VT_IS_LAYOUT(self));
    auto it = std::find_if(self->children->begin(), self->children->end(),
        [child](const Child& c) { return c.widget == child; });
    if (it == self->children->end())
        return;
    Child c = *it;
    self->children->erase(it);
    position = std::min<guint>(position, self->children->size());
    self->children->insert(self->children->begin() + position, c);
    vt_layout_apply_stacking(self);
    gtk_widget_queue_draw(GTK_WIDGET(self));
}

void vt_layout_set_request(VtLayout* self, int width, int height)
{
    g_return_if_fail(VT_IS_LAYOUT(self));
    if (self->requestWidth == width && self->requestHeight == height)
        return;
    self->requestWidth = std::max(width, 0);
    self->requestHeight = std::max(height, 0);
    gtk_widget_queue_resize(GTK_WIDGET(self));
}

void vt_layout_set_draw_func(VtLayout* self, VtLayoutDrawFunc func, gpointer data)
{
    g_return_if_fail(VT_IS_LAYOUT(self));
    self->drawFunc = func;
    self->drawData = data;
}

guint vt_layout_get_n_children(VtLayout* self)
{
    g_return_val_if_fail(VT_IS_LAYOUT(self), 0);
    return self->children->size();
}

void vt_layout_set_accessible_funcs(
    VtLayout* self, const VtLayoutAccessibleFuncs* funcs, gpointer data)
{
    g_return_if_fail(VT_IS_LAYOUT(self));
    self->accFuncs = funcs ? *funcs : VtLayoutAccessibleFuncs {};
    self->accData = data;
}
