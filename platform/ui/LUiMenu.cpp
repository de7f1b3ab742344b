#include "platform/ui/LUiMenu.h"

#include "platform/ui/LModalLoop.h"

#include "platform/ui/LUiSystem.h"

#include <algorithm>

namespace {

LUiMenu* gApplicationMenu = nullptr;
LUiMenu* gHelpMenu = nullptr;

// The image slot's size: the menu icons' size in points.
constexpr int kImageSize = 16;

cairo_surface_t* Ref(cairo_surface_t* s)
{
    return s ? cairo_surface_reference(s) : nullptr;
}

void Unref(cairo_surface_t*& s)
{
    if (s)
        cairo_surface_destroy(s);
    s = nullptr;
}

void Replace(cairo_surface_t*& slot, cairo_surface_t* image)
{
    cairo_surface_t* old = slot;
    slot = Ref(image);
    Unref(old);
}

} // namespace

// --- items -------------------------------------------------------------------------------------

LUiMenuItem::LUiMenuItem(const char* title, int tag)
    : fTitle(title ? title : "")
    , fTag(tag)
{
}

LUiMenuItem* LUiMenuItem::Separator()
{
    auto* item = new LUiMenuItem;
    item->fSeparator = true;
    item->fTag = 0;
    return item;
}

LUiMenuItem::~LUiMenuItem()
{
    DropWidget();
    if (fSubmenu)
        fSubmenu->fHolder = nullptr;
    Unref(fImage);
    Unref(fOnImage);
    Unref(fOffImage);
}

void LUiMenuItem::SetTitle(const char* title)
{
    fTitle = title ? title : "";
    SyncWidget();
}

void LUiMenuItem::SetEnabled(bool enabled)
{
    fEnabled = enabled;
    SyncWidget();
}

void LUiMenuItem::SetHidden(bool hidden)
{
    fHidden = hidden;
    SyncWidget();
}

void LUiMenuItem::SetState(int state)
{
    fState = state ? 1 : 0;
    SyncImage();
}

void LUiMenuItem::SetImage(cairo_surface_t* image)
{
    Replace(fImage, image);
    SyncImage();
}

void LUiMenuItem::SetStateImages(cairo_surface_t* on, cairo_surface_t* off)
{
    Replace(fOnImage, on);
    Replace(fOffImage, off);
    SyncImage();
}

void LUiMenuItem::SetKeyEquivalent(
    const char* equivalent, unsigned mask, unsigned keyval, unsigned mods)
{
    fKeyEquivalent = equivalent ? equivalent : "";
    fKeyMask = mask;
    fAccelKey = keyval;
    fAccelMods = mods;
    SyncWidget();
}

void LUiMenuItem::SetAction(Action action, void* data)
{
    fAction = action;
    fActionData = data;
}

void LUiMenuItem::Perform()
{
    if (fAction && !fSubmenu && !fSeparator) {
        LUiRef<LUiMenuItem> hold(this);
        fAction(this, fActionData);
    }
}

void LUiMenuItem::SetSubmenu(LUiMenu* submenu)
{
    if (submenu == fSubmenu.Get())
        return;
    if (fSubmenu) {
        if (fWidget && GTK_IS_MENU_ITEM(fWidget))
            gtk_menu_item_set_submenu(GTK_MENU_ITEM(fWidget), nullptr);
        fSubmenu->fHolder = nullptr;
    }
    if (submenu && submenu->fHolder && submenu->fHolder != this)
        submenu->fHolder->SetSubmenu(nullptr);
    fSubmenu.Reset(submenu);
    if (submenu)
        submenu->fHolder = this;
    if (fWidget && submenu && GTK_IS_MENU_ITEM(fWidget))
        gtk_menu_item_set_submenu(GTK_MENU_ITEM(fWidget), submenu->MenuWidget());
}

GtkWidget* LUiMenuItem::MakeWidget()
{
    if (fWidget)
        return fWidget;
    if (fSeparator) {
        fWidget = gtk_separator_menu_item_new();
    } else {
        // The title alone; the image slot comes once the menu shows images or checks.
        fWidget = gtk_menu_item_new();
        fLabel = gtk_accel_label_new("");
        gtk_label_set_xalign(GTK_LABEL(fLabel), 0);
        gtk_widget_set_hexpand(fLabel, TRUE);
        gtk_label_set_use_underline(GTK_LABEL(fLabel), FALSE);
        gtk_accel_label_set_accel_widget(GTK_ACCEL_LABEL(fLabel), fWidget);
        gtk_widget_show(fLabel);
        gtk_container_add(GTK_CONTAINER(fWidget), fLabel);
        g_signal_connect(fWidget, "activate", G_CALLBACK(+[](GtkMenuItem*, gpointer self) {
            static_cast<LUiMenuItem*>(self)->Perform();
        }),
            this);
        if (fSubmenu)
            gtk_menu_item_set_submenu(GTK_MENU_ITEM(fWidget), fSubmenu->MenuWidget());
    }
    g_object_ref_sink(fWidget);
    SyncWidget();
    return fWidget;
}

bool LUiMenuItem::NeedsImageSlot() const
{
    return fImage || fOnImage || fOffImage || fState;
}

void LUiMenuItem::AddImageSlot()
{
    if (!fWidget || !fLabel || fImageSlot)
        return;
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    fImageSlot = gtk_image_new();
    gtk_widget_set_size_request(fImageSlot, kImageSize, kImageSize);
    g_object_ref(fLabel);
    gtk_container_remove(GTK_CONTAINER(fWidget), fLabel);
    gtk_box_pack_start(GTK_BOX(box), fImageSlot, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), fLabel, TRUE, TRUE, 0);
    g_object_unref(fLabel);
    gtk_widget_show_all(box);
    gtk_container_add(GTK_CONTAINER(fWidget), box);
    SyncImage();
}

void LUiMenuItem::DropWidget()
{
    if (!fWidget)
        return;
    GtkWidget* w = fWidget;
    fWidget = nullptr;
    fImageSlot = nullptr;
    fLabel = nullptr;
    g_signal_handlers_disconnect_matched(w, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr, this);
    if (GTK_IS_MENU_ITEM(w) && fSubmenu && fSubmenu->fWidget)
        gtk_menu_item_set_submenu(GTK_MENU_ITEM(w), nullptr);
    if (GtkWidget* parent = gtk_widget_get_parent(w))
        gtk_container_remove(GTK_CONTAINER(parent), w);
    g_object_unref(w);
}

void LUiMenuItem::SyncWidget()
{
    if (!fWidget)
        return;
    gtk_widget_set_visible(fWidget, !fHidden);
    gtk_widget_set_sensitive(fWidget, fEnabled);
    if (!fLabel)
        return;
    gtk_label_set_text(GTK_LABEL(fLabel), fTitle.c_str());
    gtk_accel_label_set_accel(GTK_ACCEL_LABEL(fLabel), fAccelKey, GdkModifierType(fAccelMods));
}

void LUiMenuItem::SyncImage()
{
    if (!fImageSlot) {
        // The first image or check of a menu gives all its items the slot, so titles align.
        if (fWidget && fMenu && NeedsImageSlot())
            fMenu->UseImageSlots();
        return;
    }
    cairo_surface_t* image
        = fState ? (fOnImage ? fOnImage : nullptr) : (fOffImage ? fOffImage : fImage);
    if (fState && !fOnImage) {
        gtk_image_set_from_icon_name(
            GTK_IMAGE(fImageSlot), "object-select-symbolic", GTK_ICON_SIZE_MENU);
        return;
    }
    if (image)
        gtk_image_set_from_surface(GTK_IMAGE(fImageSlot), image);
    else
        gtk_image_clear(GTK_IMAGE(fImageSlot));
}

// --- menus -------------------------------------------------------------------------------------

LUiMenu::LUiMenu(const char* title)
    : fTitle(title ? title : "")
{
}

LUiMenu::~LUiMenu()
{
    if (gApplicationMenu == this)
        gApplicationMenu = nullptr;
    if (gHelpMenu == this)
        gHelpMenu = nullptr;
    for (auto& item : fItems) {
        item->DropWidget();
        item->fMenu = nullptr;
    }
    fItems.clear();
    if (fWidget) {
        g_signal_handlers_disconnect_matched(
            fWidget, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr, this);
        if (GTK_IS_MENU(fWidget)) {
            if (gtk_menu_get_attach_widget(GTK_MENU(fWidget)))
                gtk_menu_detach(GTK_MENU(fWidget));
            gtk_widget_destroy(fWidget);
        } else if (GtkWidget* parent = gtk_widget_get_parent(fWidget)) {
            gtk_container_remove(GTK_CONTAINER(parent), fWidget);
        }
        g_object_unref(fWidget);
    }
}

void LUiMenu::SetTitle(const char* title)
{
    fTitle = title ? title : "";
}

LUiMenuItem* LUiMenu::ItemAt(size_t index) const
{
    return index < fItems.size() ? fItems[index].Get() : nullptr;
}

long LUiMenu::IndexOf(const LUiMenuItem* item) const
{
    for (size_t i = 0; i < fItems.size(); ++i)
        if (fItems[i].Get() == item)
            return long(i);
    return -1;
}

LUiMenu* LUiMenu::Supermenu() const
{
    return fHolder ? fHolder->Menu() : nullptr;
}

void LUiMenu::AddItem(LUiMenuItem* item)
{
    InsertItem(item, fItems.size());
}

void LUiMenu::InsertItem(LUiMenuItem* item, size_t index)
{
    if (!item)
        return;
    LUiRef<LUiMenuItem> hold(item);
    if (item->fMenu)
        item->fMenu->RemoveItem(item);
    index = std::min(index, fItems.size());
    fItems.insert(fItems.begin() + long(index), LUiRef<LUiMenuItem>(item));
    item->fMenu = this;
    if (fWidget)
        AttachItemWidget(item, index);
}

void LUiMenu::AttachItemWidget(LUiMenuItem* item, size_t index)
{
    GtkWidget* w = item->MakeWidget();
    gtk_menu_shell_insert(GTK_MENU_SHELL(fWidget), w, int(index));
    // A bar shows titles alone.
    if (!fBar && (fImageSlots || item->NeedsImageSlot()))
        UseImageSlots();
}

void LUiMenu::RemoveItem(LUiMenuItem* item)
{
    long i = IndexOf(item);
    if (i < 0)
        return;
    LUiRef<LUiMenuItem> hold(item);
    item->DropWidget();
    item->fMenu = nullptr;
    fItems.erase(fItems.begin() + i);
}

void LUiMenu::RemoveAllItems()
{
    while (!fItems.empty())
        RemoveItem(fItems.back().Get());
}

LUiMenu* LUiMenu::Copy() const
{
    auto* copy = new LUiMenu(fTitle.c_str());
    copy->fWillOpen = fWillOpen;
    copy->fWillOpenData = fWillOpenData;
    for (const auto& item : fItems) {
        LUiMenuItem* c = item->fSeparator ? LUiMenuItem::Separator()
                                          : new LUiMenuItem(item->fTitle.c_str(), item->fTag);
        c->fEnabled = item->fEnabled;
        c->fHidden = item->fHidden;
        c->fState = item->fState;
        c->fImage = Ref(item->fImage);
        c->fOnImage = Ref(item->fOnImage);
        c->fOffImage = Ref(item->fOffImage);
        c->fKeyEquivalent = item->fKeyEquivalent;
        c->fKeyMask = item->fKeyMask;
        c->fAccelKey = item->fAccelKey;
        c->fAccelMods = item->fAccelMods;
        c->fAction = item->fAction;
        c->fActionData = item->fActionData;
        if (item->fSubmenu) {
            LUiMenu* sub = item->fSubmenu->Copy();
            c->SetSubmenu(sub);
            sub->Release();
        }
        copy->AddItem(c);
        c->Release();
    }
    return copy;
}

void LUiMenu::UseImageSlots()
{
    if (fBar || !fWidget)
        return;
    fImageSlots = true;
    for (const auto& item : fItems)
        item->AddImageSlot();
}

void LUiMenu::SetWillOpen(WillOpen willOpen, void* data)
{
    fWillOpen = willOpen;
    fWillOpenData = data;
}

GtkWidget* LUiMenu::MakeWidget(bool bar)
{
    if (fWidget)
        return fWidget;
    fBar = bar;
    fWidget = bar ? gtk_menu_bar_new() : gtk_menu_new();
    g_object_ref_sink(fWidget);
    if (!bar)
        g_signal_connect(fWidget, "show", G_CALLBACK(+[](GtkWidget*, gpointer self) {
            auto* menu = static_cast<LUiMenu*>(self);
            if (menu->fWillOpen) {
                LUiRef<LUiMenu> hold(menu);
                menu->fWillOpen(menu, menu->fWillOpenData);
            }
        }),
            this);
    for (size_t i = 0; i < fItems.size(); ++i)
        AttachItemWidget(fItems[i].Get(), i);
    return fWidget;
}

GtkWidget* LUiMenu::MenuWidget()
{
    return MakeWidget(false);
}

GtkWidget* LUiMenu::MenuBarWidget()
{
    return MakeWidget(true);
}

void LUiMenu::SetSensitive(bool sensitive)
{
    if (fWidget)
        gtk_widget_set_sensitive(fWidget, sensitive);
}

LUiSize LUiMenu::PreferredSize()
{
    GtkWidget* w = MenuWidget();
    GtkRequisition natural { 0, 0 };
    gtk_widget_get_preferred_size(w, nullptr, &natural);
    return LUiSize { double(natural.width), double(natural.height) };
}

bool LUiMenu::PopUp(GtkWindow* window, const LUiRect& anchor)
{
    GdkWindow* gw = window ? gtk_widget_get_window(GTK_WIDGET(window)) : nullptr;
    if (!gw || fBar)
        return false;
    LUiRef<LUiMenu> hold(this);
    GtkWidget* menu = MenuWidget();
    // The button press that opens the menu is what GTK takes its device and time from: the
    // release of that button right after it then leaves the menu open, as a click does. Without
    // one, a right-button press at the place stands for it.
    GdkEvent* trigger = gtk_get_current_event();
    if (trigger && trigger->type != GDK_BUTTON_PRESS) {
        gdk_event_free(trigger);
        trigger = nullptr;
    }
    if (!trigger) {
        trigger = gdk_event_new(GDK_BUTTON_PRESS);
        trigger->button.window = GDK_WINDOW(g_object_ref(gw));
        trigger->button.x = anchor.x;
        trigger->button.y = anchor.y;
        trigger->button.button = 3;
        trigger->button.time = GDK_CURRENT_TIME;
        GdkSeat* seat = gdk_display_get_default_seat(gdk_window_get_display(gw));
        gdk_event_set_device(trigger, seat ? gdk_seat_get_pointer(seat) : nullptr);
    }
    GdkRectangle rect { int(anchor.x), int(anchor.y), std::max(1, int(anchor.width)),
        std::max(1, int(anchor.height)) };

    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    gulong done = g_signal_connect_swapped(menu, "deactivate", G_CALLBACK(g_main_loop_quit), loop);
    gtk_menu_popup_at_rect(
        GTK_MENU(menu), gw, &rect, GDK_GRAVITY_NORTH_WEST, GDK_GRAVITY_NORTH_WEST, trigger);
    bool shown = gtk_widget_get_visible(menu);
    if (shown) {
        // Counted as modal while the menu is up; the application's quitting takes it down.
        LModalWait wait(loop);
        wait.Run();
        if (wait.Stopped())
            gtk_menu_popdown(GTK_MENU(menu));
    }
    g_signal_handler_disconnect(menu, done);
    g_main_loop_unref(loop);
    gdk_event_free(trigger);
    return shown;
}

void LUiMenu::PopDown()
{
    if (fWidget && !fBar)
        gtk_menu_popdown(GTK_MENU(fWidget));
}

bool LUiMenu::IsShown() const
{
    return fWidget && !fBar && gtk_widget_get_visible(fWidget);
}

void LUiMenu::SetApplicationMenu(LUiMenu* menu)
{
    gApplicationMenu = menu;
}

LUiMenu* LUiMenu::ApplicationMenu()
{
    return gApplicationMenu;
}

void LUiMenu::SetHelpMenu(LUiMenu* menu)
{
    gHelpMenu = menu;
}

LUiMenu* LUiMenu::HelpMenu()
{
    return gHelpMenu;
}
