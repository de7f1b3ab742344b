#include "lfw/mac/LMenu.h"

#include "lfw/mac/LGuiImage.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaTooltipImpl.h"
#include "platform/ui/LModalLoop.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiSystem.h"
#include "platform/ui/LView.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

LCocoaMenu& LMainMenu::theMainMenu = *new LCocoaMenu; // lives as long as the process

namespace {

// How deep the builder is inside submenus.
int gMenuNesting = 0;
// The content view of the window that owns the main menu: held, so that a window torn down
// before the menu leaves no dangling pointer here (its window object is looked up again).
LUiRef<LView>& MainMenuOwnerView()
{
    static auto* view = new LUiRef<LView>; // lives as long as the process
    return *view;
}

LCocoaWindow* MainMenuOwner()
{
    LView* view = MainMenuOwnerView().Get();
    return view ? LCocoaWindow::GetThisProperty(view) : nullptr;
}

// The whole tree of a menu points at the window (its commands go there).
void TieWindow(LUiMenu* menu, LCocoaWindow* window)
{
    if (!menu)
        return;
    LCocoaMenuImpl::setWindowOfMenu(menu, window);
    for (const auto& item : menu->Items())
        TieWindow(item->Submenu(), window);
}

// The main menu's bar is insensitive while something modal runs: its items keep their states.
void ModalCountChanged(bool anyModal, void*)
{
    if (LUiMenu* menu = LMainMenu::theMainMenu.GetMenu())
        menu->SetSensitive(!anyModal);
}

LUiMenu* MainMenu()
{
    return LMainMenu::theMainMenu.GetMenu();
}

// The point of the view (points) on the screen; false when the view is not on the screen.
bool ViewPointToScreen(LView* view, LUiPoint p, LUiPoint& screen)
{
    LUiRect r;
    if (!view || !LCocoaViewScreenRect(view, r))
        return false;
    screen = LUiPoint { r.x + p.x, r.y + p.y };
    return true;
}

} // namespace

// --- building from tables ----------------------------------------------------------------------

void LMenuAddItem(LCocoaMenu& menu, int command, const char* text, const LKeyToCommandMap* keys,
    unsigned long keyCount, int image)
{
    for (unsigned long i = 0; keys && i < keyCount; ++i) {
        if (keys[i].command == command) {
            menu.AppendMenuItemWithShortcut(command, text, keys[i].key);
            return;
        }
    }
    LUiMenuItem* item = LCocoaMenuImpl::addItem(menu.GetMenu(), command, text);
    if (!item || image < 1)
        return;
    char name[16];
    snprintf(name, sizeof name, "%d", image);
    LGuiJPG icon;
    if (icon.LoadFromResource(name))
        LCocoaMenuImpl::setItemImage(item, icon.GetCocoaImage().GetImage());
}

void LMenuAddItems(LCocoaMenu& menu, const LMenuItem* rows, unsigned long& index,
    unsigned long count, const LKeyToCommandMap* keys, unsigned long keyCount)
{
    while (rows && index < count) {
        const LMenuItem& row = rows[index];
        bool hasText = row.text != nullptr;
        if (row.id >= 1 && hasText) {
            LMenuAddItem(menu, row.id, row.text, keys, keyCount, row.image);
            ++index;
        } else if (row.id < -1 && hasText) {
            LMenuAddItem(menu, -row.id, row.text, keys, keyCount, 0);
            ++index;
        } else if (row.id == -1 && hasText) {
            ++gMenuNesting;
            index = LMenuAdd(menu, rows, index, count, keys, keyCount);
            --gMenuNesting;
        } else if (row.id == 0 && !hasText) {
            menu.AppendMenuSeparator();
            ++index;
        } else if (row.id == -1 && !hasText) {
            ++index; // the end of this submenu
            return;
        } else {
            ++index; // fits no rule
        }
    }
}

unsigned long LMenuAdd(LCocoaMenu& menu, const LMenuItem* rows, unsigned long start,
    unsigned long count, const LKeyToCommandMap* keys, unsigned long keyCount)
{
    if (!rows || start >= count || !menu.GetMenu())
        return count;
    const LMenuItem& row = rows[start];
    char caption[kLStringShortSize];
    LPrepareForMenuItem(caption, row.text);
    if (gMenuNesting == 0 && row.text && MainMenu()
        && LCocoaMenuImpl::getSubmenu(MainMenu(), caption))
        LCocoaMenuImpl::removeSubmenu(menu.GetMenu(), caption);
    if (row.id != -1 || !row.text) {
        LMenuAddItem(menu, row.id, row.text, keys, keyCount, row.image);
        return start + 1;
    }
    LCocoaMenu sub;
    sub.Create(menu.GetWindow(), caption);
    sub.SetShortcuts(keys, keyCount);
    LCocoaMenuImpl::addSubmenu(menu.GetMenu(), caption, sub.GetMenu());
    if (menu.GetMenu() == LUiMenu::ApplicationMenu() && strcmp(caption, "Hjälp") == 0)
        LUiMenu::SetHelpMenu(sub.GetMenu());
    unsigned long index = start + 1;
    LMenuAddItems(sub, rows, index, count, keys, keyCount);
    return index;
}

// --- context menus -----------------------------------------------------------------------------

LPopupMenu::LPopupMenu(LMacWindow& window)
{
    Create(&window, "");
}

void LPopupMenu::ShowPopupMenu(LMacWindow& window, LView* view, LUiPoint point, bool onScreen)
{
    LView* content = window.GetContentView();
    LNativeWindow* native = content ? content->Window() : nullptr;
    if (!native || !native->Gtk() || !GetMenu())
        return;
    LView* target = view ? view : content;
    // A right-button release in another window: the menu belongs there.
    if (GdkEvent* e = gtk_get_current_event()) {
        if (e->type == GDK_BUTTON_RELEASE && e->button.button == 3) {
            GtkWidget* w = gtk_get_event_widget(e);
            GtkWidget* top = w ? gtk_widget_get_toplevel(w) : nullptr;
            LNativeWindow* other
                = top && GTK_IS_WINDOW(top) ? LNativeWindow::FromGtk(GTK_WINDOW(top)) : nullptr;
            if (other && other != native && other->ContentView())
                target = other->ContentView();
        }
        gdk_event_free(e);
    }
    if (!target || !target->Window() || !target->Window()->Gtk())
        return;
    LNativeWindow* shown = target->Window();
    LUiPoint p = point;
    if (!onScreen && !ViewPointToScreen(target, point, p))
        return;
    // Kept 10 points inside the screen.
    LUiSize size = GetMenu()->PreferredSize();
    LUiScreen screen;
    if (LUiScreenAtPoint(p.x, p.y, screen)) {
        const LUiRect& f = screen.frame;
        p.x = std::max(p.x, f.x + 10);
        if (p.x + size.width > f.x + f.width - 10)
            p.x = f.x + f.width - 10 - size.width;
        if (p.y + size.height > f.y + f.height - 10)
            p.y = f.y + f.height - 10 - size.height;
        if (p.y < f.y + 10)
            p.y = f.y + 10;
    }
    int ox = 0, oy = 0;
    gdk_window_get_origin(gtk_widget_get_window(GTK_WIDGET(shown->Gtk())), &ox, &oy);
    LUiRect anchor { p.x - ox, p.y - oy, 1, 1 };
    bool setWindow = !LCocoaMenuImpl::currentPopupMenuPaintControl();
    if (setWindow)
        LCocoaMenuImpl::setCurrentPopupMenuWindow(&window);
    GetMenu()->PopUp(shown->Gtk(), anchor);
    if (setWindow)
        LCocoaMenuImpl::setCurrentPopupMenuWindow(nullptr);
}

void LMacWindow::DisplayPopupMenu(LPopupMenu& menu, bool rightAlign)
{
    double x = 0, y = 0;
    if (!LUiPointerPosition(x, y) || !menu.GetMenu())
        return;
    if (rightAlign)
        x -= menu.GetMenu()->PreferredSize().width;
    menu.ShowPopupMenu(*this, nullptr, LUiPoint { x, y }, true);
}

void LMacWindow::DisplayPopupMenuAtPointLeftAlign(LPopupMenu& menu, const LPoint& point)
{
    if (GetContentView())
        menu.ShowPopupMenu(*this, nullptr, ConvertToCocoaPointScreen(point.x, point.y), true);
}

void LMacWindow::DisplayPopupMenuAtPointRightAlign(LPopupMenu& menu, const LPoint& point)
{
    if (!GetContentView() || !menu.GetMenu())
        return;
    LUiPoint p = ConvertToCocoaPointScreen(point.x, point.y);
    p.x -= menu.GetMenu()->PreferredSize().width;
    menu.ShowPopupMenu(*this, nullptr, p, true);
}

// --- the main menu -----------------------------------------------------------------------------

unsigned LMainMenu::RefCount()
{
    return LModalCounter::Count();
}

void LMainMenu::SetMainMenu(LUiMenu* menu, LMacWindow* owner)
{
    if (owner)
        MainMenuOwnerView().Reset(owner->GetContentView());
    LUiMenu* previous = theMainMenu.GetMenu();
    if (previous == menu)
        return;
    LView* ownerView = MainMenuOwnerView().Get();
    LNativeWindow* window = ownerView ? ownerView->Window() : nullptr;
    if (window && !menu)
        window->SetMenuBar(nullptr);
    if (menu)
        menu->Retain();
    // The earlier menu goes (its help menu with it).
    theMainMenu.Adopt(menu, MainMenuOwner());
    LUiMenu::SetApplicationMenu(menu);
    LUiMenu::SetHelpMenu(nullptr);
    if (!menu)
        return;
    TieWindow(menu, MainMenuOwner());
    if (LUiMenu* help = LCocoaMenuImpl::getSubmenu(menu, "Hjälp"))
        LUiMenu::SetHelpMenu(help);
    if (window)
        window->SetMenuBar(menu->MenuBarWidget());
    LModalCounter::SetHook(ModalCountChanged, nullptr);
    menu->SetSensitive(LModalCounter::Count() == 0);
}

void LMainMenu::SetSubMenuFromMainWindow(
    LMacWindow& mainWindow, int command, const LPopupMenu& popup)
{
    LUiMenu* menu = MainMenu();
    if (!menu || !popup.GetMenu())
        return;
    LCocoaMenuImpl::addSubmenu(menu, command, popup.GetMenu());
    if (LUiMenuItem* item = LCocoaMenuImpl::findFirstItem(menu, command))
        TieWindow(item->Submenu(), &mainWindow);
}

void LMainMenu::SetMenuTitle(int command, const char* title)
{
    LCocoaMenuImpl::setItemTitle(MainMenu(), command, title);
}

void LMainMenu::SetMenuShortcut(int command, const LKeyToCommandMap* keys, unsigned long count)
{
    for (unsigned long i = 0; keys && i < count; ++i) {
        if (keys[i].command == command) {
            LCocoaMenuImpl::setItemShortcut(MainMenu(), command, keys[i].key);
            return;
        }
    }
}

void LMainMenu::EnableMenuItem(int command, bool enable)
{
    LCocoaMenuImpl::enableItem(MainMenu(), command, enable);
}

void LMainMenu::EnableMenuItemList(const int* commands, bool enable)
{
    for (const int* c = commands; c && *c; ++c)
        LCocoaMenuImpl::enableItem(MainMenu(), *c, enable);
}

void LMainMenu::CheckMenuItem(int first, int last, int checked)
{
    // Every item in the range, however wide the range.
    std::vector<LUiMenuItem*> inRange;
    auto walk = [&](auto&& self, LUiMenu* menu) -> void {
        if (!menu)
            return;
        for (const auto& item : menu->Items()) {
            if (!item->IsSeparator() && item->Tag() >= first && item->Tag() <= last)
                inRange.push_back(item.Get());
            self(self, item->Submenu());
        }
    };
    walk(walk, MainMenu());
    for (LUiMenuItem* item : inRange)
        item->SetState(0);
    LCocoaMenuImpl::checkItem(MainMenu(), checked, true);
}

void LMainMenu::CheckMenuRadioItem(int first, int last, int checked)
{
    CheckMenuItem(first, last, checked);
}

void LMainMenu::RemoveMenuItem(int command)
{
    LCocoaMenuImpl::removeItem(MainMenu(), command);
}

void LMainMenu::InsertMenuSeparator(int beforeCommand, int)
{
    LCocoaMenuImpl::insertSeparatorBeforeCommand(MainMenu(), beforeCommand);
}
