#include "lfw/mac/cocoa/LCocoaPullDownListImpl.h"

#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "lfw/mac/cocoa/LCocoaWindow.h"
#include "platform/ui/LUiDropDownMenu.h"
#include "platform/ui/LUiSystem.h"

#include <algorithm>

namespace {

// GDK tells a window that its grab has ended only with the next event of the grabbing device,
// and queues that news behind the event. When a key reopens a menu closed a moment before
// (Escape, then Space at once), the end of the old menu's keyboard grab waits right behind that
// key and would close the new menu as soon as it shows: the grab ends waiting at the head of
// the queue are handled first.
void HandleWaitingGrabEnds()
{
    GdkDisplay* display = gdk_display_get_default();
    while (GdkEvent* next = display ? gdk_display_peek_event(display) : nullptr) {
        const bool ended = next->type == GDK_GRAB_BROKEN;
        gdk_event_free(next);
        if (!ended)
            return;
        if (GdkEvent* event = gdk_display_get_event(display)) {
            gtk_main_do_event(event);
            gdk_event_free(event);
        }
    }
}

} // namespace

// --- the menu delegate ---------------------------------------------------------------------------

void LCocoaPullDownListMenuDelegate::menuWillOpen()
{
    selectedItem = pdl->fSelectedPos;
    bMenuOpen = true;
    LCocoaView::sendCommandWithKey(pdl, &keyCmdPDLDropDown, pWindow);
}

void LCocoaPullDownListMenuDelegate::menuDidClose()
{
    bMenuOpen = false;
    if (pdl->fSelectedPos != selectedItem) {
        pdl->SetChecked(selectedItem, false);
        pdl->SetChecked(pdl->fSelectedPos, true);
    }
    LCocoaView::sendCommandWithKey(pdl, &keyCmdPDLDropDownClosed, pWindow);
}

// --- the list ----------------------------------------------------------------------------------

LCocoaPullDownListImpl::LCocoaPullDownListImpl(const LUiRect& frame, LCocoaWindow* window)
    : LCocoaControlImpl(frame, window)
{
    SetAnswersEnabled(true);
    SetAcceptsFocus(true);
}

LCocoaPullDownListImpl::~LCocoaPullDownListImpl()
{
    if (fMenu) {
        // The menu may still be open (its window closed under it, a signal ending the program):
        // its closing, which destroying it brings, must not come back to the list going here.
        g_signal_handlers_disconnect_matched(
            fMenu, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr, this);
        for (Item& item : fItems)
            if (item.widget)
                g_signal_handlers_disconnect_matched(
                    item.widget, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr, this);
        gtk_widget_destroy(fMenu);
        g_object_unref(fMenu);
    }
    delete fMenuDelegate;
}

void LCocoaPullDownListImpl::setMenuDelegate(LCocoaPullDownListMenuDelegate* delegate)
{
    if (delegate == fMenuDelegate)
        return;
    delete fMenuDelegate;
    fMenuDelegate = delegate;
}

GtkWidget* LCocoaPullDownListImpl::CreateWidget()
{
    if (!fMenu) {
        fMenu = LUiDropDownMenuNew();
        g_object_ref_sink(fMenu);
        for (Item& item : fItems)
            if (item.tag != -1 || item.separator)
                gtk_menu_shell_append(GTK_MENU_SHELL(fMenu), MakeWidget(item));
    }
    GtkWidget* button = gtk_menu_button_new();
    gtk_menu_button_set_popup(GTK_MENU_BUTTON(button), fMenu);
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
    fLabel = gtk_label_new(fTitle.c_str());
    gtk_label_set_xalign(GTK_LABEL(fLabel), 0);
    gtk_label_set_ellipsize(GTK_LABEL(fLabel), PANGO_ELLIPSIZE_END);
    gtk_box_pack_start(GTK_BOX(box), fLabel, TRUE, TRUE, 0);
    gtk_box_pack_end(GTK_BOX(box),
        gtk_image_new_from_icon_name("pan-down-symbolic", GTK_ICON_SIZE_BUTTON), FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(button), box);
    gtk_widget_show_all(box);
    g_signal_connect(fMenu, "show", G_CALLBACK(+[](GtkWidget*, gpointer d) {
        auto* self = static_cast<LCocoaPullDownListImpl*>(d);
        LUiRef<LView> hold(self);
        LUiDropDownMenuFit(self->fMenu, self->ExistingWidget());
        // A menu kept shorter than its items opens scrolled to the selected item, however it
        // was opened.
        if (LUiDropDownMenuLimit(self->fMenu) > 0 && self->fSelectedPos >= 1
            && size_t(self->fSelectedPos) < self->fItems.size())
            if (GtkWidget* item = self->fItems[size_t(self->fSelectedPos)].widget;
                item && gtk_widget_is_sensitive(item))
                gtk_menu_shell_select_item(GTK_MENU_SHELL(self->fMenu), item);
        if (self->fMenuDelegate)
            self->fMenuDelegate->menuWillOpen();
    }),
        this);
    g_signal_connect(fMenu, "deactivate", G_CALLBACK(+[](GtkMenuShell*, gpointer d) {
        auto* self = static_cast<LCocoaPullDownListImpl*>(d);
        LUiRef<LView> hold(self);
        if (self->fMenuDelegate && self->fMenuDelegate->isMenuOpen())
            self->fMenuDelegate->menuDidClose();
    }),
        this);
    g_signal_connect(button, "button-press-event", G_CALLBACK(OnPress), this);
    g_signal_connect(button, "key-release-event",
        G_CALLBACK(+[](GtkWidget*, GdkEventKey* e, gpointer d) -> gboolean {
            auto* self = static_cast<LCocoaPullDownListImpl*>(d);
            if (!self->fOpenOnRelease || gdk_keyval_to_lower(e->keyval) != self->fOpenOnRelease)
                return FALSE;
            self->fOpenOnRelease = 0;
            self->popUpAtSelection();
            return TRUE;
        }),
        this);
    g_signal_connect(button, "focus-out-event",
        G_CALLBACK(+[](GtkWidget*, GdkEventFocus*, gpointer d) -> gboolean {
            auto* self = static_cast<LCocoaPullDownListImpl*>(d);
            self->fOpenOnRelease = 0;
            LCocoaView::sendCommandWithKey(self, &keyCmdTextFocusLost, self->pWindow);
            return FALSE;
        }),
        this);
    setExtraStyle("padding: 0 6px; min-height: 0;");
    ApplyStyle(fLabel);
    return button;
}

gboolean LCocoaPullDownListImpl::OnPress(GtkWidget*, GdkEventButton* event, gpointer data)
{
    if (event->type == GDK_BUTTON_PRESS)
        LCocoaView::loseEditControlFocus(static_cast<LCocoaPullDownListImpl*>(data));
    return FALSE;
}

GtkWidget* LCocoaPullDownListImpl::MakeWidget(Item& item)
{
    if (item.separator)
        item.widget = gtk_separator_menu_item_new();
    else {
        item.widget = gtk_check_menu_item_new_with_label(item.title.c_str());
        g_signal_connect(item.widget, "activate", G_CALLBACK(OnActivate), this);
        GtkWidget* label = gtk_bin_get_child(GTK_BIN(item.widget));
        if (!item.font.empty() && GTK_IS_LABEL(label)) {
            PangoAttrList* attrs = pango_attr_list_new();
            PangoFontDescription* d = pango_font_description_new();
            pango_font_description_set_family(d, item.font.c_str());
            pango_font_description_set_size(d, int(LUiSystemFontSize() * PANGO_SCALE));
            pango_attr_list_insert(attrs, pango_attr_font_desc_new(d));
            pango_font_description_free(d);
            gtk_label_set_attributes(GTK_LABEL(label), attrs);
            pango_attr_list_unref(attrs);
        }
        if (item.keyval && GTK_IS_ACCEL_LABEL(label))
            gtk_accel_label_set_accel(
                GTK_ACCEL_LABEL(label), item.keyval, GdkModifierType(item.mods));
        gtk_widget_set_sensitive(item.widget, item.enabled);
    }
    g_object_set_data(G_OBJECT(item.widget), "vt-pdl", this);
    gtk_widget_show(item.widget);
    return item.widget;
}

void LCocoaPullDownListImpl::EnsureTitleItem()
{
    if (!fItems.empty())
        return;
    Item title;
    title.tag = -1;
    fItems.push_back(title);
}

int LCocoaPullDownListImpl::PositionOf(int index) const
{
    if (index < 0 || size_t(index) >= fPositions.size())
        return -1;
    return fPositions[size_t(index)];
}

void LCocoaPullDownListImpl::Renumber(size_t from, int delta)
{
    for (size_t i = from; i < fItems.size(); ++i)
        if (!fItems[i].separator && fItems[i].tag >= 0)
            fItems[i].tag += delta;
    fPositions.clear();
    for (size_t i = 1; i < fItems.size(); ++i)
        if (!fItems[i].separator)
            fPositions.push_back(int(i));
}

void LCocoaPullDownListImpl::SetChecked(int position, bool on)
{
    if (position < 1 || size_t(position) >= fItems.size())
        return;
    GtkWidget* w = fItems[size_t(position)].widget;
    if (w && GTK_IS_CHECK_MENU_ITEM(w)) {
        ++fSetting;
        gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(w), on);
        --fSetting;
    }
}

int LCocoaPullDownListImpl::addItem(const char* title)
{
    EnsureTitleItem();
    Item item;
    item.title = LCocoaControl::ValidText(title);
    item.tag = fCount;
    fItems.push_back(item);
    if (fMenu)
        gtk_menu_shell_append(GTK_MENU_SHELL(fMenu), MakeWidget(fItems.back()));
    fPositions.push_back(int(fItems.size() - 1));
    ++fCount;
    // The selection (title and check mark) stays where it was.
    return fCount - 1;
}

int LCocoaPullDownListImpl::addItem(const char* title, uint64_t data)
{
    int index = addItem(title);
    setItemData(data, index);
    return index;
}

int LCocoaPullDownListImpl::addItem(const char* title, const char* fontName)
{
    EnsureTitleItem();
    Item item;
    item.title = LCocoaControl::ValidText(title);
    item.tag = fCount;
    item.font = LCocoaControl::ValidText(fontName);
    fItems.push_back(item);
    if (fMenu)
        gtk_menu_shell_append(GTK_MENU_SHELL(fMenu), MakeWidget(fItems.back()));
    fPositions.push_back(int(fItems.size() - 1));
    return fCount++;
}

int LCocoaPullDownListImpl::insertItem(const char* title, int index)
{
    int pos = PositionOf(index);
    if (pos < 0)
        return addItem(title);
    Item item;
    item.title = LCocoaControl::ValidText(title);
    item.tag = index;
    fItems.insert(fItems.begin() + pos, item);
    if (fMenu)
        gtk_menu_shell_insert(GTK_MENU_SHELL(fMenu), MakeWidget(fItems[size_t(pos)]), pos - 1);
    // The selected item itself stays selected.
    if (fSelectedPos >= pos)
        ++fSelectedPos;
    ++fCount;
    Renumber(size_t(pos) + 1, 1);
    return index;
}

void LCocoaPullDownListImpl::addItemSeparator()
{
    EnsureTitleItem();
    Item item;
    item.separator = true;
    fItems.push_back(item);
    if (fMenu)
        gtk_menu_shell_append(GTK_MENU_SHELL(fMenu), MakeWidget(fItems.back()));
}

void LCocoaPullDownListImpl::insertItemSeparatorAtIndex(int index)
{
    int pos = PositionOf(index);
    if (pos < 0)
        return;
    Item item;
    item.separator = true;
    fItems.insert(fItems.begin() + pos + 1, item);
    if (fMenu)
        gtk_menu_shell_insert(GTK_MENU_SHELL(fMenu), MakeWidget(fItems[size_t(pos) + 1]), pos);
    if (fSelectedPos > pos)
        ++fSelectedPos;
    Renumber(fItems.size(), 0);
}

void LCocoaPullDownListImpl::deleteItemAtIndex(int index)
{
    int pos = PositionOf(index);
    if (pos < 1)
        return;
    bool wasSelected = pos == fSelectedPos;
    if (fItems[size_t(pos)].widget)
        gtk_widget_destroy(fItems[size_t(pos)].widget);
    fItems.erase(fItems.begin() + pos);
    --fCount;
    Renumber(size_t(pos), -1);
    if (!wasSelected) {
        if (fSelectedPos > pos)
            --fSelectedPos;
        return;
    }
    fSelectedPos = -1;
    // The item before the deleted one (the first at the least), in the new numbering.
    if (fItems.size() >= 2 && fCount > 0)
        Select(std::max(0, index - 1));
    else
        updateTitle();
}

void LCocoaPullDownListImpl::deleteAllItems()
{
    for (Item& item : fItems)
        if (item.widget)
            gtk_widget_destroy(item.widget);
    fItems.clear();
    fPositions.clear();
    fCount = 0;
    fSelectedPos = -1;
    updateTitle();
}

int LCocoaPullDownListImpl::findItem(const char* title) const
{
    std::string t = LCocoaControl::ValidText(title);
    for (size_t i = 1; i < fItems.size(); ++i)
        if (!fItems[i].separator && fItems[i].title == t)
            return fItems[i].tag;
    return -1;
}

int LCocoaPullDownListImpl::findItemWithData(uint64_t data) const
{
    for (size_t i = 1; i < fItems.size(); ++i)
        if (!fItems[i].separator && fItems[i].data == data)
            return fItems[i].tag;
    return -1;
}

void LCocoaPullDownListImpl::setItemData(uint64_t data, int index)
{
    int pos = PositionOf(index);
    if (pos >= 1)
        fItems[size_t(pos)].data = data;
}

uint64_t LCocoaPullDownListImpl::getItemDataAtIndex(int index) const
{
    int pos = PositionOf(index);
    return pos >= 1 ? fItems[size_t(pos)].data : 0;
}

void LCocoaPullDownListImpl::setItemKey(uint32_t key, int index)
{
    int pos = PositionOf(index);
    if (pos < 1)
        return;
    Item& item = fItems[size_t(pos)];
    gunichar c = g_unichar_tolower(gunichar(key & 0xFFFF));
    item.keyval = c ? gdk_unicode_to_keyval(c) : 0;
    unsigned mods = 0;
    if (key & 0x10000)
        mods |= GDK_CONTROL_MASK; // Command
    if (key & 0x20000)
        mods |= GDK_SHIFT_MASK;
    if (key & 0x80000)
        mods |= GDK_MOD1_MASK; // Option
    if (key & 0x100000)
        mods |= GDK_SUPER_MASK; // Control
    item.mods = mods;
    if (item.widget) {
        GtkWidget* label = gtk_bin_get_child(GTK_BIN(item.widget));
        if (GTK_IS_ACCEL_LABEL(label))
            gtk_accel_label_set_accel(GTK_ACCEL_LABEL(label), item.keyval, GdkModifierType(mods));
    }
}

void LCocoaPullDownListImpl::getItemAccelerator(int index, unsigned& keyval, unsigned& mods) const
{
    int pos = PositionOf(index);
    keyval = pos >= 1 ? fItems[size_t(pos)].keyval : 0;
    mods = pos >= 1 ? fItems[size_t(pos)].mods : 0;
}

std::string LCocoaPullDownListImpl::getItemTitleAtIndex(int index) const
{
    int pos = PositionOf(index);
    return pos >= 1 ? fItems[size_t(pos)].title : std::string();
}

void LCocoaPullDownListImpl::Select(int index)
{
    SetChecked(fSelectedPos, false);
    fSelectedPos = index == -1 ? -1 : PositionOf(index);
    updateTitle();
    SetChecked(fSelectedPos, true);
}

void LCocoaPullDownListImpl::selectAtIndex(int index)
{
    Select(index);
}

void LCocoaPullDownListImpl::selectWithTitle(const char* title)
{
    int index = findItem(title);
    Select(index >= 0 ? index : 0);
}

int LCocoaPullDownListImpl::getSelectedItem() const
{
    return fSelectedPos >= 1 && size_t(fSelectedPos) < fItems.size()
        ? fItems[size_t(fSelectedPos)].tag
        : -1;
}

const char* LCocoaPullDownListImpl::getSelectedItemTitle() const
{
    return fSelectedPos >= 1 && size_t(fSelectedPos) < fItems.size()
        ? fItems[size_t(fSelectedPos)].title.c_str()
        : nullptr;
}

bool LCocoaPullDownListImpl::isItemChecked(int index) const
{
    int pos = PositionOf(index);
    if (pos < 1 || !fItems[size_t(pos)].widget)
        return pos >= 1 && pos == fSelectedPos;
    return gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(fItems[size_t(pos)].widget));
}

void LCocoaPullDownListImpl::enableItemAtIndex(int index, bool enable)
{
    int pos = PositionOf(index);
    if (pos < 1)
        return;
    fItems[size_t(pos)].enabled = enable;
    if (fItems[size_t(pos)].widget)
        gtk_widget_set_sensitive(fItems[size_t(pos)].widget, enable);
}

void LCocoaPullDownListImpl::enableAllItems(bool enable)
{
    for (size_t i = 1; i < fItems.size(); ++i) {
        fItems[i].enabled = enable;
        if (fItems[i].widget)
            gtk_widget_set_sensitive(fItems[i].widget, enable);
    }
}

bool LCocoaPullDownListImpl::isItemAtIndexEnabled(int index) const
{
    int pos = PositionOf(index);
    return pos >= 1 && fItems[size_t(pos)].enabled;
}

void LCocoaPullDownListImpl::updateTitle()
{
    const char* t = getSelectedItemTitle();
    fTitle = t ? t : "";
    if (fLabel)
        gtk_label_set_text(GTK_LABEL(fLabel), fTitle.c_str());
    AccessibleChanged();
}

void LCocoaPullDownListImpl::OnActivate(GtkMenuItem* widget, gpointer data)
{
    auto* self = static_cast<LCocoaPullDownListImpl*>(data);
    if (self->fSetting)
        return;
    for (size_t i = 1; i < self->fItems.size(); ++i)
        if (self->fItems[i].widget == GTK_WIDGET(widget)) {
            self->handleSelection(self->fItems[i].tag);
            return;
        }
}

void LCocoaPullDownListImpl::handleSelection(int index)
{
    LUiRef<LView> hold(this);
    int pos = PositionOf(index);
    if (pos < 1 || !fItems[size_t(pos)].enabled)
        return;
    int previous = fSelectedPos;
    fSelectedPos = pos;
    // While the menu is open its delegate moves the check mark when it closes.
    if (!fMenuDelegate || !fMenuDelegate->isMenuOpen()) {
        SetChecked(previous, false);
        SetChecked(pos, true);
    } else {
        // GTK toggled the item itself: keep the marks as they were until the menu closes.
        SetChecked(pos, previous == pos);
    }
    updateTitle();
    if (fSelectionChangeCommand >= 0)
        LCocoaView::sendCommand(this, fSelectionChangeCommand, pWindow);
}

void LCocoaPullDownListImpl::popUp()
{
    if (GtkWidget* b = Widget())
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(b), TRUE);
}

void LCocoaPullDownListImpl::popUpAtSelection()
{
    if (!fMenu || !IsEnabled() || IsHiddenOrHasHiddenAncestor())
        return;
    LUiRef<LView> hold(this);
    HandleWaitingGrabEnds();
    if (!fMenu || !IsEnabled() || IsHiddenOrHasHiddenAncestor())
        return;
    // Opened by a key, the menu button highlights the menu's first item: the selected one is
    // highlighted instead (the menu scrolls to it).
    popUp();
    if (!gtk_widget_get_visible(fMenu) || fSelectedPos < 1 || size_t(fSelectedPos) >= fItems.size())
        return;
    GtkWidget* item = fItems[size_t(fSelectedPos)].widget;
    if (item && gtk_widget_is_sensitive(item))
        gtk_menu_shell_select_item(GTK_MENU_SHELL(fMenu), item);
}

int LCocoaPullDownListImpl::ItemForKey(unsigned keyval) const
{
    const int selected = getSelectedItem();
    auto enabled = [this](int index) { return isItemAtIndexEnabled(index); };
    auto first = [&] {
        for (int i = 0; i < fCount; ++i)
            if (enabled(i))
                return i;
        return -1;
    };
    auto last = [&] {
        for (int i = fCount - 1; i >= 0; --i)
            if (enabled(i))
                return i;
        return -1;
    };
    switch (keyval) {
    case GDK_KEY_Up:
    case GDK_KEY_KP_Up:
        if (selected < 0)
            return last();
        for (int i = selected - 1; i >= 0; --i)
            if (enabled(i))
                return i;
        return -1;
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down:
        if (selected < 0)
            return first();
        for (int i = selected + 1; i < fCount; ++i)
            if (enabled(i))
                return i;
        return -1;
    case GDK_KEY_Home:
    case GDK_KEY_KP_Home:
    case GDK_KEY_Page_Up:
    case GDK_KEY_KP_Page_Up:
        return first();
    default:
        return last();
    }
}

bool LCocoaPullDownListImpl::keyDownWithFocus(const LUiEvent& event)
{
    if (event.type != LUiEventType::KeyDown || !IsEnabled() || IsHiddenOrHasHiddenAncestor())
        return false;
    if (fMenuDelegate && fMenuDelegate->isMenuOpen())
        return false;
    LUiRef<LView> hold(this);
    const uint32_t mods = event.modifiers & (kLUiShift | kLUiControl | kLUiAlt | kLUiSuper);
    // Where the menu opens when the key is let go, a repeat of the key opens nothing meanwhile.
    auto open = [&] {
        if (event.isRepeat && fOpenOnRelease)
            return true;
        GtkWidget* w = ExistingWidget();
        if (w && LUiDropDownMenuOpensOnKeyRelease(w))
            fOpenOnRelease = gdk_keyval_to_lower(event.keyval);
        else
            popUpAtSelection();
        return true;
    };
    switch (event.keyval) {
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down:
        if (mods == kLUiAlt)
            return open();
        break;
    case GDK_KEY_space:
    case GDK_KEY_KP_Space:
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter:
        if (mods)
            return false;
        return open();
    default:
        break;
    }
    switch (event.keyval) {
    case GDK_KEY_Up:
    case GDK_KEY_KP_Up:
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down:
    case GDK_KEY_Home:
    case GDK_KEY_KP_Home:
    case GDK_KEY_End:
    case GDK_KEY_KP_End:
    case GDK_KEY_Page_Up:
    case GDK_KEY_KP_Page_Up:
    case GDK_KEY_Page_Down:
    case GDK_KEY_KP_Page_Down:
        break;
    default:
        return false;
    }
    if (mods)
        return false;
    const int index = ItemForKey(event.keyval);
    if (index >= 0 && index != getSelectedItem())
        handleSelection(index);
    else if (GtkWidget* w = ExistingWidget())
        gtk_widget_error_bell(w);
    return true;
}

void LCocoaPullDownListImpl::closeMenu()
{
    if (fMenu)
        gtk_menu_shell_deactivate(GTK_MENU_SHELL(fMenu));
}

bool LCocoaPullDownListImpl::performKeyEquivalent(const LUiEvent& event)
{
    if (event.type != LUiEventType::KeyDown || !IsEnabled() || IsHiddenOrHasHiddenAncestor())
        return false;
    unsigned mods = 0;
    if (event.modifiers & kLUiControl)
        mods |= GDK_CONTROL_MASK;
    if (event.modifiers & kLUiShift)
        mods |= GDK_SHIFT_MASK;
    if (event.modifiers & kLUiAlt)
        mods |= GDK_MOD1_MASK;
    if (event.modifiers & kLUiSuper)
        mods |= GDK_SUPER_MASK;
    unsigned key = gdk_keyval_to_lower(event.keyval);
    for (size_t i = 1; i < fItems.size(); ++i) {
        const Item& item = fItems[i];
        if (!item.separator && item.keyval && item.keyval == key && item.mods == mods
            && item.enabled) {
            handleSelection(item.tag);
            return true;
        }
    }
    return false;
}

bool LCocoaPullDownListImpl::performKeyEquivalentInView(LView* root, const LUiEvent& event)
{
    if (!root || event.type != LUiEventType::KeyDown
        || !(event.modifiers & (kLUiControl | kLUiAlt | kLUiSuper)))
        return false;
    std::vector<LView*> todo { root };
    for (size_t i = 0; i < todo.size(); ++i) {
        if (auto* p = dynamic_cast<LCocoaPullDownListImpl*>(todo[i]);
            p && p->performKeyEquivalent(event))
            return true;
        for (LView* sub : todo[i]->Subviews())
            todo.push_back(sub);
    }
    return false;
}
