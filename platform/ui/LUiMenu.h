// Menus: an item tree of our own, mirrored by GTK menu widgets.
//
// A menu holds items in order; an item has a title, a tag, enabled, hidden and checked states,
// an image (or on-state and off-state images), a key equivalent that is shown (never matched by
// GTK: the framework matches shortcuts itself), an action and maybe a submenu. The tree is what
// the framework searches and copies; the widgets are made on first use (a GtkMenu, or a
// GtkMenuBar for the application's main menu) and follow every change. Each item widget holds a
// GtkAccelLabel and, in a menu that shows images or checks, an image slot before it (the item's
// image, or a check mark while it is checked).
// Main thread only.
#pragma once

#include "platform/ui/LAssociations.h"
#include "platform/ui/LUiTypes.h"

#include <cairo.h>
#include <gtk/gtk.h>
#include <string>
#include <vector>

class LUiMenu;

class LUiMenuItem : public LUiObject, public LAssociations {
public:
    using Action = void (*)(LUiMenuItem* item, void* data);

    explicit LUiMenuItem(const char* title, int tag = 0);
    static LUiMenuItem* Separator();

    bool IsSeparator() const { return fSeparator; }
    const std::string& Title() const { return fTitle; }
    void SetTitle(const char* title);
    int Tag() const { return fTag; }
    void SetTag(int tag) { fTag = tag; }
    bool IsEnabled() const { return fEnabled; }
    void SetEnabled(bool enabled);
    bool IsHidden() const { return fHidden; }
    void SetHidden(bool hidden);
    // 1 checked, 0 not.
    int State() const { return fState; }
    void SetState(int state);
    // The image (referenced; null removes it), and the images of the checked and unchecked states.
    void SetImage(cairo_surface_t* image);
    void SetStateImages(cairo_surface_t* on, cairo_surface_t* off);
    cairo_surface_t* Image() const { return fImage; }
    // The key equivalent as the framework names it (a character string and its modifier mask),
    // and the GDK key value and modifiers it is shown with (0: nothing shown).
    void SetKeyEquivalent(const char* equivalent, unsigned mask, unsigned keyval, unsigned mods);
    const std::string& KeyEquivalent() const { return fKeyEquivalent; }
    unsigned KeyEquivalentMask() const { return fKeyMask; }
    // Runs when the item is chosen (never for an item with a submenu or without an action).
    void SetAction(Action action, void* data);
    bool HasAction() const { return fAction != nullptr; }
    void Perform();
    // The submenu (retained; null removes it). A submenu belongs to one item at a time.
    void SetSubmenu(LUiMenu* submenu);
    LUiMenu* Submenu() const { return fSubmenu.Get(); }
    LUiMenu* Menu() const { return fMenu; }

    // The item's widget; null until its menu has made its own.
    GtkWidget* ExistingWidget() const { return fWidget; }

protected:
    ~LUiMenuItem() override;

private:
    friend class LUiMenu;
    LUiMenuItem() = default;
    GtkWidget* MakeWidget();
    bool NeedsImageSlot() const;
    void AddImageSlot();
    void DropWidget();
    void SyncWidget();
    void SyncImage();

    std::string fTitle;
    int fTag = 0;
    bool fEnabled = true;
    bool fHidden = false;
    bool fSeparator = false;
    int fState = 0;
    cairo_surface_t* fImage = nullptr;
    cairo_surface_t* fOnImage = nullptr;
    cairo_surface_t* fOffImage = nullptr;
    std::string fKeyEquivalent;
    unsigned fKeyMask = 0;
    unsigned fAccelKey = 0;
    unsigned fAccelMods = 0;
    Action fAction = nullptr;
    void* fActionData = nullptr;
    LUiRef<LUiMenu> fSubmenu;
    LUiMenu* fMenu = nullptr;
    GtkWidget* fWidget = nullptr;
    GtkWidget* fImageSlot = nullptr;
    GtkWidget* fLabel = nullptr;
};

class LUiMenu : public LUiObject, public LAssociations {
public:
    explicit LUiMenu(const char* title);

    const std::string& Title() const { return fTitle; }
    void SetTitle(const char* title);

    size_t ItemCount() const { return fItems.size(); }
    LUiMenuItem* ItemAt(size_t index) const;
    long IndexOf(const LUiMenuItem* item) const; // -1 when not here
    const std::vector<LUiRef<LUiMenuItem>>& Items() const { return fItems; }
    // Appends or inserts an item (retained; taken from an earlier menu first).
    void AddItem(LUiMenuItem* item);
    void InsertItem(LUiMenuItem* item, size_t index);
    void RemoveItem(LUiMenuItem* item);
    void RemoveAllItems();
    // The item whose submenu this menu is; null at the top.
    LUiMenuItem* SupermenuItem() const { return fHolder; }
    LUiMenu* Supermenu() const;

    // A deep copy: titles, tags, states, images, key equivalents, actions and submenus (not the
    // associated data).
    LUiMenu* Copy() const;

    // Told when the menu opens (before it is shown).
    using WillOpen = void (*)(LUiMenu* menu, void* data);
    void SetWillOpen(WillOpen willOpen, void* data);

    // The widgets: a GtkMenu, or a GtkMenuBar for a menu that serves as a window's bar. A menu
    // is one or the other.
    GtkWidget* MenuWidget();
    GtkWidget* MenuBarWidget();
    GtkWidget* ExistingWidget() const { return fWidget; }
    void SetSensitive(bool sensitive);

    // The size of the menu when shown (points).
    LUiSize PreferredSize();
    // Shows the menu with its top-left corner at the anchor's top-left in the window (points of
    // that window's GDK window) and turns the event loop until it closes; the action of a chosen
    // item has run when it returns. False when it could not be shown.
    bool PopUp(GtkWindow* window, const LUiRect& anchor);
    // Closes a menu that is shown.
    void PopDown();
    bool IsShown() const;

    // The application's main menu and its help menu (not retained).
    static void SetApplicationMenu(LUiMenu* menu);
    static LUiMenu* ApplicationMenu();
    static void SetHelpMenu(LUiMenu* menu);
    static LUiMenu* HelpMenu();

protected:
    ~LUiMenu() override;

private:
    friend class LUiMenuItem;
    GtkWidget* MakeWidget(bool bar);
    void AttachItemWidget(LUiMenuItem* item, size_t index);
    void UseImageSlots();

    std::string fTitle;
    std::vector<LUiRef<LUiMenuItem>> fItems;
    LUiMenuItem* fHolder = nullptr;
    GtkWidget* fWidget = nullptr;
    bool fBar = false;
    bool fImageSlots = false; // its items have the image slot
    WillOpen fWillOpen = nullptr;
    void* fWillOpenData = nullptr;
};
