// The native toolbar of a window: a GtkToolbar in the window's toolbar slot showing icons only,
// one item per row of the owner's item table. Each item is a tool item holding an item view: a
// button (a plain image button or a drop-down button with an arrow, drawn with Cairo) and an
// 11-point label drawn under it. Items of the highlighting types put the button on a check item
// view, which fills its bounds with the highlight colour while the button is on. A flexible
// space is an expanding undrawn separator; separator rows never reach the bar. When the bar is
// too narrow, GTK's overflow menu shows the hidden items by their labels.
//
// Every click ends as a synchronous command of the owning window, after the window's content
// view has taken the focus (which commits a field being edited).
//
// The keyboard reaches the bar as it reaches a GTK toolbar: Tab goes to its first (Shift+Tab its
// last) enabled button, the arrow keys, Home and End go from button to button, Tab leaves; Space
// and Return press the button that has the focus, which keeps it. A click does not take the
// focus.
#pragma once

#include "lfw/mac/cocoa/LCocoaViewBase.h"

#include <cstdint>
#include <string>
#include <vector>

typedef struct _cairo_surface cairo_surface_t;

class LCocoaToolbarImpl;

// One row of the owner's item table (the owner keeps the rows; the toolbar never copies them).
struct LCocoaToolbarRow {
    int type = 0; // only the low byte is examined
    int32_t commandID = 0;
    int32_t imageID = 0;
    const char* name = nullptr;
    const char* label = nullptr;
    const char* toolTip = nullptr;
};

// Row types with a meaning of their own.
enum : int {
    kLToolbarFlexibleSpace = 5,
    kLToolbarSeparator = 6,
};

// A momentary image button of a toolbar item (32 x 32 image centred at the top).
class LCocoaToolbarButton : public LCocoaViewBase {
public:
    LCocoaToolbarButton(const LUiRect& frame, LCocoaToolbarImpl* manager);

    void setImage(cairo_surface_t* image); // takes a reference
    void setState(int state);
    int state() const { return fState; }
    bool isPressed() const { return bClicked; }
    // The toolbar is gone: clicks send nothing any more.
    void detach() { pManager = nullptr; }

    // LView
    void Draw(cairo_t* cr, const LUiRect& dirty) override;
    bool MouseDown(const LUiEvent& e) override;
    bool MouseDragged(const LUiEvent& e) override;
    bool MouseUp(const LUiEvent& e) override;
    bool KeyDown(const LUiEvent& e) override;
    bool AcceptsFirstResponder() const override { return false; }

protected:
    ~LCocoaToolbarButton() override;
    // The press at x (points in the button) begins.
    virtual void pressBegan(double x) { (void)x; }
    void drawImage(cairo_t* cr, cairo_surface_t* image, double x);
    // The focus ring while the button has the keyboard and its window shows the focus.
    void drawFocus(cairo_t* cr);

    LCocoaToolbarImpl* pManager;
    cairo_surface_t* fImage = nullptr;
    int fState = 0;
    bool bClicked = false;
    bool bTracking = false;
};

// The owner-drawn button of items with a drop-down arrow: a whole one opens the drop-down
// anywhere; a split one only right of its divider.
class LCocoaDropDownButton : public LCocoaToolbarButton {
public:
    LCocoaDropDownButton(const LUiRect& frame, bool whole, LCocoaToolbarImpl* manager);

    void updateColors();
    // Loads the normal, highlighted and disabled images from the icon of the id.
    void setIconID(int id);
    int iconID() const { return _iconID; }
    void setDropDownCommand(int command) { _dropDownCommand = command; }
    int dropDownCommand() const { return _dropDownCommand; }
    void setWholeType() { bWholeType = true; }
    bool isWholeType() const { return bWholeType; }
    bool isSplitTypeArrowClicked() const { return bSplitTypeArrowClicked; }
    // Where the arrow part of a split button begins (points in the button).
    double splitArrowX() const;

    void Draw(cairo_t* cr, const LUiRect& dirty) override;

protected:
    ~LCocoaDropDownButton() override;
    void pressBegan(double x) override;

private:
    struct Grey {
        double level, alpha;
    };
    void releaseImages();

    bool bWholeType;
    cairo_surface_t* imgNormal = nullptr;
    cairo_surface_t* imgHighlighted = nullptr;
    cairo_surface_t* imgDisabled = nullptr;
    Grey crStart {}, crEnd {}, crBorder {}, crArrow {}, crBorderDisabled {}, crArrowDisabled {};
    bool bSplitTypeArrowClicked = false;
    int32_t _iconID = -1;
    int32_t _dropDownCommand = 0;
};

// The item view of the highlighting types: the background colour behind a button that is on.
class LCocoaToolbarCheckItem : public LView {
public:
    LCocoaToolbarCheckItem();
    void setBackgroundColor(double r, double g, double b);
    void Draw(cairo_t* cr, const LUiRect& dirty) override;

private:
    double fColor[3];
};

// The label under an item's button.
class LCocoaToolbarLabel : public LView {
public:
    void setText(const std::string& text);
    const std::string& text() const { return fText; }
    // Width in points of a text in the label font.
    static double textWidth(const std::string& text);
    void Draw(cairo_t* cr, const LUiRect& dirty) override;

private:
    std::string fText;
};

// One item of the bar.
class LCocoaToolbarItemImpl {
public:
    LCocoaToolbarItemImpl(LCocoaToolbarButton* button, const std::string& identifier,
        const LCocoaToolbarRow* row, LCocoaToolbarImpl* manager);
    ~LCocoaToolbarItemImpl();
    LCocoaToolbarItemImpl(const LCocoaToolbarItemImpl&) = delete;
    LCocoaToolbarItemImpl& operator=(const LCocoaToolbarItemImpl&) = delete;

    LCocoaToolbarButton* button() const { return itemButton; }
    LView* view() const { return itemView; }
    GtkWidget* toolItem() const { return fToolItem; }
    const std::string& identifier() const { return fIdentifier; }
    const LCocoaToolbarRow* row() const { return pItem; }
    void setEnabled(bool enabled);
    bool isEnabled() const { return fEnabled; }
    bool isDropDown() const { return bDropDown; }
    bool isDropDownWhole() const { return bDropDownWhole; }
    void setItemString(const std::string& text);
    const std::string& itemString() const { return itemLabel->text(); }
    void setIconID(int id);
    int iconID() const { return _iconID; }
    void setCommandID(int32_t command) { _commandID = command; }
    int32_t commandID() const { return _commandID; }
    void setToolTip(const char* text);
    // The button takes the item's enabled state and is redrawn (with its check item view).
    void validate();
    // The label takes the desktop's new text size: its height, and the item's width.
    void textSizeChanged();

private:
    const LCocoaToolbarRow* pItem;
    LCocoaToolbarImpl* pManager;
    std::string fIdentifier;
    LCocoaToolbarButton* itemButton; // one reference
    LView* itemView; // one reference
    LCocoaToolbarLabel* itemLabel; // held by the item view
    GtkWidget* fToolItem; // one reference (floating reference sunk)
    int32_t _commandID = -1;
    int32_t _iconID = -1;
    bool fEnabled = true;
    bool bDropDown = false;
    bool bDropDownWhole = false;
};

class LCocoaToolbarImpl {
public:
    LCocoaToolbarImpl(LCocoaWindow* window, const char* toolbarID);
    ~LCocoaToolbarImpl();
    LCocoaToolbarImpl(const LCocoaToolbarImpl&) = delete;
    LCocoaToolbarImpl& operator=(const LCocoaToolbarImpl&) = delete;

    void setItems(const std::vector<const LCocoaToolbarRow*>& rows) { pItems = rows; }
    const std::vector<const LCocoaToolbarRow*>& items() const { return pItems; }
    void createItems();
    void resetItems();

    void showToolbar(bool visible);
    bool isToolbarVisible() const;
    void enableItem(int command, bool enabled);
    bool isItemEnabled(int command) const;
    void showItem(int command, bool visible);
    bool isItemVisible(int command) const;
    void setItemLabel(int command, const char* label);
    void setItemIcon(int command, int icon);
    void setItemTooltip(int command, const char* toolTip);
    void setToolbarItemIcon(LCocoaToolbarButton* button, int icon);
    void selectItem(int command, bool selected);
    bool isItemSelected(int command) const;
    void setDropDownCommand(int command, int dropDownCommand);
    // The item's x and width in the window's content view, y 0 and the toolbar's height; empty
    // when there is no such item.
    LUiRect getDropDownItemBounds(int command) const;

    // A click of an item's button (or of its menu form with the command); a press by key leaves
    // the focus on the button.
    void handleItemClick(LCocoaToolbarButton* sender, bool byKey = false);
    void handleMenuClick(int command);

    // The identifiers the bar shows, in order; the item of a command (null when not shown).
    std::vector<std::string> shownIdentifiers() const;
    LCocoaToolbarItemImpl* itemWithCommand(int command) const;
    const std::vector<std::string>& allowedIdentifiers() const { return arrItems; }
    std::vector<std::string> selectableIdentifiers() const;
    std::string identifierOfRow(const LCocoaToolbarRow& row) const;
    GtkWidget* toolbar() const { return tlbr; }
    // The bar of a window's toolbar widget (null when it is none of these).
    static LCocoaToolbarImpl* fromWidget(GtkWidget* toolbar);
    // The items' labels take the desktop's new text size.
    void textSizeChanged();
    // The bar's widget was destroyed with its window: its items are no longer in it.
    bool isToolbarDestroyed() const { return fDestroyed; }
    LCocoaWindow* window() const { return pWindow; }

private:
    LCocoaToolbarItemImpl* createItem(size_t row);
    void insertItem(size_t index, const std::string& identifier);
    void removeItemAt(size_t index);
    void sendCommand(int command, bool keepFocus = false);

    GtkWidget* tlbr; // one reference
    LCocoaWindow* pWindow;
    std::string fToolbarID;
    std::vector<const LCocoaToolbarRow*> pItems;
    std::vector<std::string> arrItems;
    struct Shown {
        std::string identifier;
        LCocoaToolbarItemImpl* item; // owned; null for a flexible space
        GtkWidget* toolItem; // the space's tool item (one reference); the item's own otherwise
    };
    std::vector<Shown> fShown; // in bar order
    std::string fSelected;
    bool fDestroyed = false;
};
