// The one button class behind every button a window creates by id: push buttons, check boxes,
// radio buttons, check buttons (toggles that stay pressed), cool buttons (flat, with an image
// and optional text), the round help button and the disclosure triangle. The kind is chosen
// after creation with one setType... call. A click sends the button's command to its window.
//
// The view's widget is a box holding the GTK button of the current kind, so that the kind can
// change at any time; the button inside carries the style margins that make the visible button
// lie on the rectangle the window asked for (the view's frame is that rectangle widened by the
// button's inset).
#pragma once

#include "lfw/mac/cocoa/LCocoaControlImpl.h"

#include <string>

class LNativeWindow;

// Draws a custom-drawn button in place of GTK (the painted controls' cool-button container).
class LCocoaCoolButtonDrawBridge {
public:
    virtual void EvCoolButtonCustomDraw(int tag, cairo_t* cr, const LUiRect& dirty) = 0;

protected:
    ~LCocoaCoolButtonDrawBridge() = default;
};

// Button types (what setButtonTypeInt remembers) and bezel styles.
enum : int {
    kLButtonTypeMomentaryLight = 0,
    kLButtonTypePushOnPushOff = 1,
    kLButtonTypeSwitch = 3, // check box
    kLButtonTypeRadio = 4,
    kLButtonTypeOnOff = 6,
    kLButtonTypeMomentaryPushIn = 7,
};
enum : int {
    kLBezelNone = 0,
    kLBezelRounded = 1,
    kLBezelRegularSquare = 2,
    kLBezelDisclosure = 5,
    kLBezelShadowlessSquare = 6,
    kLBezelHelpButton = 9,
};
// Image positions.
enum : int {
    kLImageNone = 0,
    kLImageOnly = 1,
    kLImageLeft = 2,
    kLImageRight = 3,
    kLImageAbove = 5,
};

class LCocoaButtonImpl : public LCocoaControlImpl {
public:
    // A button of the window at the frame (points): empty title, system font, no kind yet.
    LCocoaButtonImpl(const LUiRect& frame, LCocoaWindow* window);

    // A new button (the caller holds its one reference) at the unplaced frame, of the kind.
    static LCocoaButtonImpl* coolButtonWithID(int id, LCocoaWindow* window);
    static LCocoaButtonImpl* checkButtonWithID(int id, LCocoaWindow* window);
    // A radio button made at the rectangle inside the group view (which holds it).
    static LCocoaButtonImpl* radioButtonWithID(
        int id, const LUiRect& rect, LCocoaWindow* window, const char* text, LView* group);

    // The tag and the up command become the id (an id of -1 stores no command).
    void setID(int id);
    // -1 leaves the stored command alone.
    void setCommandUp(int command);
    void setCommandDown(int command);
    // Only while enabled.
    void sendCommandUp();
    void sendCommandDown();

    void setText(const char* text);
    // The title cut at 259 bytes (a whole character) and a NUL.
    void getText(char* buffer) const;
    const std::string& text() const { return fTitle; }
    void setTextAlignmentLeft();
    void setTextBelowImage() { setImagePosition(kLImageAbove); }
    void setTextLeftOfImage() { setImagePosition(kLImageRight); }
    void setImagePosition(int position);
    int imagePosition() const { return fImagePosition; }
    // The image resource named by the id in decimal; a missing one clears the image.
    void setImageWithResourceID(int id);
    void setImageWithResourceName(const char* name);
    bool hasImage() const { return fImage != nullptr; }
    // The title's colour (red, green, blue 0..1); a negative red goes back to the theme's.
    void setTextColor(double red, double green, double blue);
    // A check button's title is blue while it is on.
    void updateCheckTypeTextColor();

    void setButtonTypeInt(int type);
    int buttonType() const { return _buttonType; }
    int bezelStyle() const { return fBezel; }
    void setTypeCheckBox();
    void setTypeCheckButton();
    void setTypeCoolButton();
    void setTypePushButton();
    void setTypeRadioButton();
    void setTypeHelpButton();
    void setTypeDisclosureTriangle();
    bool isTypeCheckBox() const { return _buttonType == kLButtonTypeSwitch; }
    bool isTypeCheckButton() const { return _buttonType == kLButtonTypePushOnPushOff; }
    bool isTypeCoolButton() const { return _buttonType == kLButtonTypeMomentaryPushIn; }
    bool isTypePushButton() const
    {
        return _buttonType == kLButtonTypeMomentaryLight && fBezel == kLBezelRounded;
    }
    bool isTypeRadioButton() const { return _buttonType == kLButtonTypeRadio; }
    bool isTypeHelpButton() const;
    bool isTypeDisclosureTriangle() const
    {
        return _buttonType == kLButtonTypeOnOff && fBezel == kLBezelDisclosure;
    }

    // 1 on, 0 off (buttons that keep a state).
    int state() const { return fState; }
    // Sets the state without sending anything.
    void setState(int state);
    void setDown(bool down) { _down = down; }
    bool isDown() const { return _down && isTypeCheckButton(); }
    LView* radioButtonGroup() const { return radioButtonGroup_; }
    void setRadioButtonGroup(LView* group) { radioButtonGroup_ = group; }
    void handleCustomDrawWith(LCocoaCoolButtonDrawBridge* container);
    bool isCustomDraw() const { return bCustomDraw; }
    void setShowsBorderOnlyWhileMouseInside(bool yes);

    // "\r" (Return) or "\033" (Escape); empty for none.
    void setKeyEquivalent(const char* key) { fKeyEquivalent = key ? key : ""; }
    const std::string& keyEquivalent() const { return fKeyEquivalent; }
    // A button that never takes the keyboard focus, so that Return and space never reach it:
    // only a click or its key equivalent works it.
    void setRefusesFirstResponder(bool refuses);
    // A click by code: the state changes as a click would change it, then the action runs.
    void performClick();
    // The action of a click.
    void handleClick();

    // The preferred width in points of the button as it is (title, kind and font).
    double intrinsicWidth();
    // The preferred width in points of a push button with the title.
    static double pushButtonWidth(const char* title);

    // Return and Escape: the enabled, visible button below the view whose key equivalent the
    // key is performs a click. True when one did.
    static bool performKeyEquivalentInView(LView* root, const LUiEvent& event);
    // The enabled, shown button below the view that Return presses (its default button), null
    // when there is none.
    static LCocoaButtonImpl* defaultButtonInView(LView* root);
    // As a dialog opens: when its first focus is on a button other than its default button
    // (the "Avbryt" or help button first in the row, a button of its toolbar), the default
    // button takes it, so that Return at once answers as the default does and never throws
    // work away. True when the focus moved.
    static bool focusDefaultButtonFirst(LNativeWindow& window);
    // Whether Return on the focused button presses it: every kind but check boxes and radio
    // buttons, from which Return goes on to the default button.
    bool takesReturn() const;

    bool textForMeasuring(std::string& text) const override;
    // A disabled button shows its own picture faded, as the theme fades its icons.
    void SetEnabled(bool enabled) override;

protected:
    ~LCocoaButtonImpl() override;
    GtkWidget* CreateWidget() override;
    GtkWidget* StyledWidget() override { return fButton; }
    void FontDidChange() override { UpdateLabel(); }

private:
    void Rebuild();
    GtkWidget* MakeButton();
    void UpdateLabel();
    void UpdateStyle();
    void UpdateImage();
    void UpdateImageOpacity();
    static void OnClicked(GtkButton* button, gpointer self);
    static gboolean OnPress(GtkWidget* widget, GdkEventButton* event, gpointer self);
    static gboolean OnDraw(GtkWidget* widget, cairo_t* cr, gpointer self);

    std::string fTitle;
    std::string fKeyEquivalent;
    LCocoaCoolButtonDrawBridge* pCoolButtonContainer = nullptr;
    bool bCustomDraw = false;
    int _buttonType = 0;
    int fBezel = kLBezelRounded;
    int fImagePosition = kLImageNone;
    int fState = 0;
    bool _down = false;
    bool fAlignLeft = false;
    bool fBorderOnlyWhileMouseInside = false;
    bool fSettingState = false;
    bool fRefusesFirstResponder = false;
    double fTextColor[3] = { -1, 0, 0 };
    LView* radioButtonGroup_ = nullptr;
    cairo_surface_t* fImage = nullptr;
    GtkWidget* fButton = nullptr; // the GTK button inside the box (held by it)
    int fBuiltType = -1; // the kind fButton was made for
    int fBuiltBezel = -1;
};

// The view radio buttons of one group live in. It takes no clicks of its own: controls below
// it stay clickable where no radio button lies.
class LCocoaRadioButtonGroupImpl : public LCocoaViewBase {
public:
    explicit LCocoaRadioButtonGroupImpl(const LUiRect& frame);

protected:
    ~LCocoaRadioButtonGroupImpl() override = default;
    GtkWidget* CreateWidget() override;
    void FrameDidChange() override;

private:
    static void UpdateInputShape(GtkWidget* widget);
};
