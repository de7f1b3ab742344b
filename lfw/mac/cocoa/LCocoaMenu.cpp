#include "lfw/mac/cocoa/LCocoaMenu.h"

#include "lfw/gen/LCharSet.h"
#include "lfw/gen/LString.h"
#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaViewBase.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "lfw/mac/cocoa/LCocoaWindow.h"
#include "platform/ui/LUiKeymap.h"

#include <cstring>
#include <gdk/gdk.h>

namespace {

LCocoaWindow* gPopupMenuWindow = nullptr;
LCocoaMenuPaintControl* gPopupMenuPaintControl = nullptr;

std::string Prepared(const char* title)
{
    char out[kLStringShortSize];
    LPrepareForMenuItem(out, title);
    return out;
}

void ItemChosen(LUiMenuItem* item, void*)
{
    LCocoaMenuImpl::handleItemClick(item);
}

template <class F> void ForEachWithCommand(LUiMenu* menu, int command, F&& f)
{
    if (!menu || command == -1)
        return;
    // A copy: f may change the menu.
    std::vector<LUiRef<LUiMenuItem>> items = menu->Items();
    for (auto& item : items) {
        if (item->Tag() == command && !item->IsSeparator())
            f(item.Get());
        if (LUiMenu* sub = item->Submenu())
            ForEachWithCommand(sub, command, f);
    }
}

// The characters of the keys with a key code.
uint32_t KeyEquivalentOfCode(unsigned code)
{
    struct Entry {
        unsigned code;
        uint32_t ch;
    };
    static constexpr Entry kTable[] = {
        { 36, 13 },
        { 51, 8 },
        { 53, 27 },
        { 64, 0xF714 },
        { 79, 0xF715 },
        { 80, 0xF716 },
        { 90, 0xF717 },
        { 96, 0xF708 },
        { 97, 0xF709 },
        { 98, 0xF70A },
        { 99, 0xF706 },
        { 100, 0xF70B },
        { 101, 0xF70C },
        { 103, 0xF70E },
        { 105, 0xF710 },
        { 106, 0xF713 },
        { 107, 0xF711 },
        { 109, 0xF70D },
        { 110, 0xF735 },
        { 111, 0xF70F },
        { 113, 0xF712 },
        { 114, 0xF746 },
        { 115, 0xF729 },
        { 116, 0xF72C },
        { 117, 127 },
        { 118, 0xF707 },
        { 119, 0xF72B },
        { 120, 0xF705 },
        { 121, 0xF72D },
        { 122, 0xF704 },
        { 123, 0xF702 },
        { 124, 0xF703 },
        { 125, 0xF701 },
        { 126, 0xF700 },
    };
    for (const Entry& e : kTable)
        if (e.code == code)
            return e.ch;
    return 0;
}

// How GTK shows the key: its key value and modifiers.
void DisplayOfKey(
    LKey key, const std::string& equivalent, unsigned mask, unsigned& keyval, unsigned& mods)
{
    keyval = 0;
    mods = 0;
    if (key.KeyCode()) {
        keyval = LUiKeymapKeyvalOfCode(key.KeyCode());
    } else if (!equivalent.empty()) {
        gunichar c = g_utf8_get_char_validated(equivalent.c_str(), -1);
        if (c != gunichar(-1) && c != gunichar(-2))
            keyval = gdk_unicode_to_keyval(c);
    }
    if (!keyval)
        return;
    if (mask & 0x100000)
        mods |= GDK_CONTROL_MASK;
    if (mask & 0x20000)
        mods |= GDK_SHIFT_MASK;
    if (mask & 0x80000)
        mods |= GDK_MOD1_MASK;
    if (mask & 0x40000)
        mods |= GDK_SUPER_MASK;
}

void SetShortcut(LUiMenuItem* item, LKey key)
{
    std::string equivalent;
    unsigned mask = 0, keyval = 0, mods = 0;
    LCocoaMenuImpl::getKeyEquivalentForLKey(key, equivalent, mask);
    DisplayOfKey(key, equivalent, mask, keyval, mods);
    item->SetKeyEquivalent(equivalent.c_str(), mask, keyval, mods);
}

LUiMenuItem* FindByEquivalent(LUiMenu* menu, const std::string& equivalent, unsigned mask)
{
    for (const auto& item : menu->Items()) {
        if (item->IsHidden() || !item->IsEnabled() || item->IsSeparator())
            continue;
        if (LUiMenu* sub = item->Submenu()) {
            if (LUiMenuItem* found = FindByEquivalent(sub, equivalent, mask))
                return found;
            continue;
        }
        if (item->KeyEquivalent() == equivalent && item->KeyEquivalentMask() == mask)
            return item.Get();
    }
    return nullptr;
}

void CopyTitle(char* out, const std::string& title)
{
    utf8strlcpy(out, title.c_str(), kLStringShortSize);
}

} // namespace

void LPrepareForMenuItem(char* out, const char* in)
{
    // A title naming a file (the recent files) may hold bytes that are not UTF-8.
    const LStringLongTemplate<char> shown = LMacNSStringFromString(in ? in : "");
    char stripped[kLStringShortSize];
    LStripAmpersand(stripped, shown.c_str(), sizeof stripped);
    if (char* tab = strchr(stripped, '\t'))
        *tab = 0;
    utf8strlcpy(out, stripped, kLStringShortSize);
}

// --- LCocoaMenu --------------------------------------------------------------------------------

LCocoaMenu::~LCocoaMenu()
{
    Release();
}

void LCocoaMenu::Create(LCocoaWindow* window, const char* title)
{
    Release();
    fMenu = LCocoaMenuImpl::createMenu(title, window);
    pWindow = window;
    LCocoaMenuImpl::setWindowOfMenu(fMenu, window);
}

void LCocoaMenu::Adopt(LUiMenu* menu, LCocoaWindow* window)
{
    Release();
    fMenu = menu;
    pWindow = window;
}

LUiMenuItem* LCocoaMenu::AppendMenuItem(int command, const char* title)
{
    if (!fMenu)
        return nullptr;
    for (unsigned long i = 0; pKeys && i < nKeys; ++i)
        if (pKeys[i].command == command)
            return LCocoaMenuImpl::addItem(fMenu, command, title, pKeys[i].key);
    return LCocoaMenuImpl::addItem(fMenu, command, title);
}

LUiMenuItem* LCocoaMenu::AppendMenuItemWithShortcut(int command, const char* title, LKey key)
{
    if (key.code == 0)
        return AppendMenuItem(command, title);
    return fMenu ? LCocoaMenuImpl::addItem(fMenu, command, title, key) : nullptr;
}

void LCocoaMenu::AppendMenuSeparator()
{
    LCocoaMenuImpl::addSeparator(fMenu);
}

void LCocoaMenu::EnableMenuItem(int command, bool enable)
{
    LCocoaMenuImpl::enableItem(fMenu, command, enable);
}

void LCocoaMenu::CheckMenuItem(int command, bool check)
{
    LCocoaMenuImpl::checkItem(fMenu, command, check);
}

void LCocoaMenu::EnableMenuItems(const int* commands, bool enable)
{
    for (const int* c = commands; c && *c; ++c)
        LCocoaMenuImpl::enableItem(fMenu, *c, enable);
}

LUiMenu* LCocoaMenu::GetMenuByCaption(const char* caption) const
{
    if (!fMenu)
        return nullptr;
    std::string prepared = Prepared(caption);
    if (prepared == "Hjälp" && fMenu == LUiMenu::ApplicationMenu() && LUiMenu::HelpMenu())
        return LUiMenu::HelpMenu();
    if (fMenu->Title() == prepared)
        return fMenu;
    return LCocoaMenuImpl::getSubmenu(fMenu, prepared.c_str());
}

void LCocoaMenu::Release()
{
    if (fMenu) {
        LUiMenu* menu = fMenu;
        fMenu = nullptr;
        menu->Release();
    }
}

// --- LCocoaMenuImpl ------------------------------------------------------------------------------

LUiMenu* LCocoaMenuImpl::createMenu(const char* title, LCocoaWindow* window)
{
    auto* menu = new LUiMenu(Prepared(title).c_str());
    setWindowOfMenu(menu, window);
    return menu;
}

LUiMenuItem* LCocoaMenuImpl::createItem(int command, const char* title)
{
    std::string prepared = Prepared(title);
    auto* item = new LUiMenuItem(prepared.c_str(), command < 0 || prepared.empty() ? -1 : command);
    if (command >= 0)
        item->SetAction(ItemChosen, nullptr);
    return item;
}

LUiMenuItem* LCocoaMenuImpl::addItem(LUiMenu* menu, int command, const char* title)
{
    if (!menu)
        return nullptr;
    LUiMenuItem* item = createItem(command, title);
    menu->AddItem(item);
    item->Release();
    return item;
}

LUiMenuItem* LCocoaMenuImpl::addItem(LUiMenu* menu, int command, const char* title, LKey shortcut)
{
    LUiMenuItem* item = addItem(menu, command, title);
    if (item)
        SetShortcut(item, shortcut);
    return item;
}

LUiMenuItem* LCocoaMenuImpl::insertItem(LUiMenu* menu, int command, size_t index, const char* title)
{
    if (!menu)
        return nullptr;
    LUiMenuItem* item = createItem(command, title);
    menu->InsertItem(item, index);
    item->Release();
    return item;
}

LUiMenuItem* LCocoaMenuImpl::insertItemBeforeCommand(
    LUiMenu* menu, int command, int beforeCommand, const char* title)
{
    LUiMenuItem* ref = findFirstItem(menu, beforeCommand);
    if (!ref || !ref->Menu())
        return nullptr;
    LUiMenu* holder = ref->Menu();
    insertItem(holder, command, size_t(holder->IndexOf(ref)), title);
    return ref;
}

void LCocoaMenuImpl::addSeparator(LUiMenu* menu)
{
    if (!menu)
        return;
    LUiMenuItem* item = LUiMenuItem::Separator();
    menu->AddItem(item);
    item->Release();
}

void LCocoaMenuImpl::insertSeparator(LUiMenu* menu, size_t index)
{
    if (!menu)
        return;
    LUiMenuItem* item = LUiMenuItem::Separator();
    menu->InsertItem(item, index);
    item->Release();
}

void LCocoaMenuImpl::insertSeparatorBeforeCommand(LUiMenu* menu, int beforeCommand)
{
    LUiMenuItem* ref = findFirstItem(menu, beforeCommand);
    if (ref && ref->Menu())
        insertSeparator(ref->Menu(), size_t(ref->Menu()->IndexOf(ref)));
}

LUiMenuItem* LCocoaMenuImpl::addSubmenu(LUiMenu* menu, const char* title, LUiMenu* submenu)
{
    if (!menu || !submenu)
        return nullptr;
    auto* item = new LUiMenuItem(Prepared(title).c_str(), -1);
    item->SetAction(ItemChosen, nullptr);
    LUiMenu* attached = submenu;
    if (submenu->SupermenuItem()) {
        attached = submenu->Copy();
        setWindowOfMenu(attached, windowOfMenu(submenu));
    }
    item->SetSubmenu(attached);
    if (attached != submenu)
        attached->Release();
    menu->AddItem(item);
    item->Release();
    return item;
}

void LCocoaMenuImpl::addSubmenu(LUiMenu* menu, int command, LUiMenu* submenu)
{
    LUiMenuItem* item = findFirstItem(menu, command);
    if (!item || !submenu)
        return;
    LUiMenu* attached = submenu;
    if (submenu->SupermenuItem()) {
        attached = submenu->Copy();
        setWindowOfMenu(attached, windowOfMenu(submenu));
    }
    attached->SetTitle(item->Title().c_str());
    // The main menu's bar is made insensitive as a whole while something modal runs, so the
    // item keeps its own state and needs no re-enabling around the change.
    item->SetSubmenu(attached);
    if (attached != submenu)
        attached->Release();
}

void LCocoaMenuImpl::removeSubmenu(LUiMenu* menu, LUiMenu* submenu)
{
    if (!menu || !submenu)
        return;
    for (const auto& item : std::vector<LUiRef<LUiMenuItem>>(menu->Items()))
        if (item->Submenu() == submenu) {
            menu->RemoveItem(item.Get());
            return;
        }
}

void LCocoaMenuImpl::removeSubmenu(LUiMenu* menu, const char* title)
{
    if (LUiMenu* sub = getSubmenu(menu, title))
        removeSubmenu(menu, sub);
}

void LCocoaMenuImpl::findItems(LUiMenu* menu, int command, std::vector<LUiMenuItem*>& items)
{
    ForEachWithCommand(menu, command, [&items](LUiMenuItem* item) { items.push_back(item); });
}

LUiMenuItem* LCocoaMenuImpl::findFirstItem(LUiMenu* menu, int command)
{
    if (!menu || command == -1)
        return nullptr;
    for (const auto& item : menu->Items()) {
        if (item->Tag() == command && !item->IsSeparator())
            return item.Get();
        if (LUiMenu* sub = item->Submenu())
            if (LUiMenuItem* found = findFirstItem(sub, command))
                return found;
    }
    return nullptr;
}

bool LCocoaMenuImpl::removeItem(LUiMenu* menu, int command)
{
    std::vector<LUiMenuItem*> items;
    findItems(menu, command, items);
    for (LUiMenuItem* item : items)
        if (LUiMenu* holder = item->Menu())
            holder->RemoveItem(item);
    return !items.empty();
}

void LCocoaMenuImpl::deleteItem(LUiMenu* menu, int command)
{
    if (!menu || command == -1)
        return;
    for (const auto& item : std::vector<LUiRef<LUiMenuItem>>(menu->Items())) {
        if (item->Tag() == command && !item->IsSeparator())
            menu->RemoveItem(item.Get());
        else if (LUiMenu* sub = item->Submenu())
            deleteItem(sub, command);
    }
}

void LCocoaMenuImpl::setTitle(LUiMenu* menu, const char* title)
{
    if (menu)
        menu->SetTitle(Prepared(title).c_str());
}

void LCocoaMenuImpl::getTitle(LUiMenu* menu, char* out)
{
    CopyTitle(out, menu ? menu->Title() : std::string());
}

size_t LCocoaMenuImpl::getItemCount(LUiMenu* menu)
{
    return menu ? menu->ItemCount() : 0;
}

void LCocoaMenuImpl::clearMenu(LUiMenu* menu)
{
    if (menu)
        menu->RemoveAllItems();
}

void LCocoaMenuImpl::setItemTitle(LUiMenu* menu, int command, const char* title)
{
    std::string prepared = Prepared(title);
    ForEachWithCommand(
        menu, command, [&prepared](LUiMenuItem* item) { item->SetTitle(prepared.c_str()); });
}

void LCocoaMenuImpl::setItemTitleAtIndex(LUiMenu* menu, size_t index, const char* title)
{
    if (LUiMenuItem* item = menu ? menu->ItemAt(index) : nullptr)
        item->SetTitle(Prepared(title).c_str());
}

bool LCocoaMenuImpl::getItemTitle(LUiMenu* menu, int command, char* out)
{
    LUiMenuItem* item = findFirstItem(menu, command);
    if (!item)
        return false;
    CopyTitle(out, item->Title());
    return true;
}

bool LCocoaMenuImpl::getItemTitleAtIndex(LUiMenu* menu, size_t index, char* out)
{
    LUiMenuItem* item = menu ? menu->ItemAt(index) : nullptr;
    if (!item)
        return false;
    CopyTitle(out, item->Title());
    return true;
}

void LCocoaMenuImpl::setItemImage(LUiMenuItem* item, cairo_surface_t* image)
{
    if (item)
        item->SetImage(image);
}

void LCocoaMenuImpl::setItemImage(
    LUiMenuItem* item, cairo_surface_t* checked, cairo_surface_t* unchecked)
{
    if (item)
        item->SetStateImages(checked, unchecked);
}

void LCocoaMenuImpl::setItemImage(LUiMenu* menu, int command, cairo_surface_t* image)
{
    ForEachWithCommand(menu, command, [image](LUiMenuItem* item) { item->SetImage(image); });
}

void LCocoaMenuImpl::setItemShortcut(LUiMenu* menu, int command, LKey shortcut)
{
    ForEachWithCommand(
        menu, command, [shortcut](LUiMenuItem* item) { SetShortcut(item, shortcut); });
}

void LCocoaMenuImpl::enableItem(LUiMenu* menu, int command, bool enable)
{
    ForEachWithCommand(menu, command, [enable](LUiMenuItem* item) { item->SetEnabled(enable); });
}

bool LCocoaMenuImpl::isItemEnabled(LUiMenu* menu, int command)
{
    LUiMenuItem* item = findFirstItem(menu, command);
    return item && item->IsEnabled();
}

void LCocoaMenuImpl::enableItems(LUiMenu* menu, bool enable)
{
    if (!menu)
        return;
    for (const auto& item : menu->Items())
        item->SetEnabled(enable);
}

void LCocoaMenuImpl::showItem(LUiMenu* menu, int command, bool visible)
{
    ForEachWithCommand(menu, command, [visible](LUiMenuItem* item) { item->SetHidden(!visible); });
}

void LCocoaMenuImpl::checkItem(LUiMenu* menu, int command, bool check)
{
    if (LUiMenuItem* item = findFirstItem(menu, command))
        item->SetState(check ? 1 : 0);
}

LUiMenu* LCocoaMenuImpl::getSubmenu(LUiMenu* menu, size_t index)
{
    LUiMenuItem* item = menu ? menu->ItemAt(index) : nullptr;
    return item ? item->Submenu() : nullptr;
}

LUiMenu* LCocoaMenuImpl::getSubmenu(LUiMenu* menu, const char* title)
{
    if (!menu)
        return nullptr;
    std::string prepared = Prepared(title);
    for (const auto& item : menu->Items())
        if (item->Submenu() && item->Title() == prepared)
            return item->Submenu();
    return nullptr;
}

void LCocoaMenuImpl::getKeyEquivalentForLKey(LKey key, std::string& equivalent, unsigned& mask)
{
    equivalent.clear();
    mask = 0;
    uint32_t mods = key.Modifiers();
    if (key.KeyCode()) {
        if (uint32_t ch = KeyEquivalentOfCode(key.KeyCode())) {
            char buf[8];
            int n = LEncodeUTF8(ch, buf);
            equivalent.assign(buf, size_t(n));
        }
    } else {
        char utf8[16];
        key.GetCharUTF8(utf8);
        if (key.IsAlphaChar()) {
            gchar* lower = g_utf8_strdown(utf8, -1);
            equivalent = lower;
            g_free(lower);
        } else {
            equivalent = utf8;
            if ((mods & LKey::kShift) && key.IsShiftableNonAlphaChar())
                mods &= ~LKey::kShift;
        }
    }
    if (mods & LKey::kCommand)
        mask |= 0x100000;
    if (mods & LKey::kControl)
        mask |= 0x40000;
    if (mods & LKey::kOption)
        mask |= 0x80000;
    if (mods & LKey::kShift)
        mask |= 0x20000;
}

void LCocoaMenuImpl::handleItemClick(LUiMenuItem* item, const LUiEvent* keyEvent)
{
    if (!item)
        return;
    LUiRef<LUiMenuItem> hold(item);
    int tag = item->Tag();
    if (gPopupMenuPaintControl) {
        gPopupMenuPaintControl->PaintControlCommand(tag, 0);
        return;
    }
    LCocoaWindow* window = gPopupMenuWindow ? gPopupMenuWindow : windowOfMenu(item->Menu());
    if (!window || !window->IsAlive())
        return;
    LUiRef<LView> content(window->GetContentView());
    LCocoaView::loseEditControlFocus(content.Get());
    LUiEvent current;
    if (!keyEvent) {
        if (GdkEvent* e = gtk_get_current_event()) {
            if (e->type == GDK_KEY_PRESS && content && content->MakeEvent(e, current))
                keyEvent = &current;
            gdk_event_free(e);
        }
    }
    if (keyEvent && window->IsAlive()) {
        auto* base = dynamic_cast<LCocoaViewBase*>(content.Get());
        if (base && base->keyHandler()) {
            // The window's key map handles the shortcut; a key it does not take still sends the
            // item's command.
            if (base->keyHandler()->EvKeyDown(*keyEvent))
                return;
        }
    }
    if (window->IsAlive())
        window->SendCommand(tag);
}

bool LCocoaMenuImpl::performKeyEquivalent(LUiMenu* menu, const LUiEvent& event)
{
    if (!menu)
        return false;
    LKey key = LKeyFromRawKeyEvent(event);
    if (key.KeyCode() == 0 && key.Character() == 0)
        return false;
    std::string equivalent;
    unsigned mask = 0;
    getKeyEquivalentForLKey(key, equivalent, mask);
    if (equivalent.empty())
        return false;
    LUiMenuItem* item = FindByEquivalent(menu, equivalent, mask);
    if (!item)
        return false;
    if (item->HasAction())
        handleItemClick(item, &event);
    return true;
}

void LCocoaMenuImpl::setCurrentPopupMenuWindow(LCocoaWindow* window)
{
    gPopupMenuWindow = window;
}

LCocoaWindow* LCocoaMenuImpl::currentPopupMenuWindow()
{
    return gPopupMenuWindow;
}

void LCocoaMenuImpl::setCurrentPopupMenuPaintControl(LCocoaMenuPaintControl* control)
{
    gPopupMenuPaintControl = control;
}

LCocoaMenuPaintControl* LCocoaMenuImpl::currentPopupMenuPaintControl()
{
    return gPopupMenuPaintControl;
}

LCocoaWindow* LCocoaMenuImpl::windowOfMenu(const LUiMenu* menu)
{
    return reinterpret_cast<LCocoaWindow*>(
        uintptr_t(LAssociatedData::getDataForObject(menu, &kAssociatedParentLWindowKey)));
}

void LCocoaMenuImpl::setWindowOfMenu(LUiMenu* menu, LCocoaWindow* window)
{
    if (!menu)
        return;
    if (window)
        LAssociatedData::setData(uint64_t(uintptr_t(window)), menu, &kAssociatedParentLWindowKey);
    else
        menu->RemoveAssociatedValue(&kAssociatedParentLWindowKey);
}

// --- LMainMenuDelegate -------------------------------------------------------------------------

LMainMenuDelegate::~LMainMenuDelegate()
{
    if (fMenu)
        fMenu->SetWillOpen(nullptr, nullptr);
}

void LMainMenuDelegate::attach(LUiMenu* menu)
{
    if (fMenu)
        fMenu->SetWillOpen(nullptr, nullptr);
    fMenu = menu;
    if (menu)
        menu->SetWillOpen(
            [](LUiMenu* m, void* self) { static_cast<LMainMenuDelegate*>(self)->menuWillOpen(m); },
            this);
}

void LMainMenuDelegate::menuWillOpen(LUiMenu*)
{
    if (pWindow && _menuOpeningCommand >= 1 && pWindow->IsAlive())
        pWindow->SendCommand(_menuOpeningCommand);
}
