// Small pieces that property panels and dialogs share: the colour swatch and the colour-picker
// control (painted controls), the cool-button container (owner drawing of native image buttons)
// and the font of the command-link button.
#pragma once

#include "lfw/gui/LPaintControl.h"
#include "lfw/mac/LGuiColor.h"
#include "lfw/mac/cocoa/LCocoaButtonImpl.h"
#include "lfw/mac/cocoa/LCocoaInputUpDownImpl.h"

#include <memory>

class LView;

// The light grey of frames and the background of controls (fixed light colours: the painted
// controls fix every other colour, so the colours of a dark theme would clash).
inline constexpr uint8_t kLSystemLightGray = 170;
inline constexpr uint8_t kLSystemWindowFrame = 170;
inline constexpr uint8_t kLSystemControlBackground = 255;

class LColorSwatchNotifyee {
public:
    virtual ~LColorSwatchNotifyee() = default;
    virtual void EvColorSwatchClicked(LView* hostView, int x, int y) = 0;
};

// A field of one colour in a double frame; a click (press and release inside) tells the
// observer.
class LColorSwatch : public LPaintControl {
public:
    explicit LColorSwatch(const LGuiColor& color);
    ~LColorSwatch() override;

    void SetNotifyee(LColorSwatchNotifyee* notifyee) { pNotifyee = notifyee; }
    void SetColor(const LGuiColor& color);
    const LGuiColor& GetColor() const { return fColor; }

    void Paint(LPaintContext& context) override;
    void EvMouseMove(int x, int y) override;
    void EvMouseOut() override;
    void EvLButtonDown(int x, int y) override;
    void EvLButtonUp(int x, int y) override;

protected:
    LColorSwatchNotifyee* pNotifyee = nullptr;
    LGuiColor fColor;
    LGuiColor fFrameColor;
};

class LColorPickerControlNotifyee {
public:
    virtual ~LColorPickerControlNotifyee() = default;
    virtual void EvColorPickerControlChanged(LView* hostView) = 0;
};

// A swatch that opens the colour chooser for its colour and reports a changed colour once. Made a
// stop of Tab (SetKeyboardReachable), it opens the chooser with Space and Return as a click does.
class LColorPickerControl : public LColorSwatch, private LColorSwatchNotifyee {
public:
    // Opens the chooser for the colour at a point of the window's client (pixels); true when
    // the colour changed. The window layer's colour chooser unless replaced.
    using OpenDialogFunction = bool (*)(LGuiColor& color, LWindow& window, int x, int y);
    static OpenDialogFunction pOpenColorPickerDialog;

    explicit LColorPickerControl(const LGuiColor& color);
    ~LColorPickerControl() override;
    void SetOwnerNotifyee(LColorPickerControlNotifyee* notifyee) { pOwner = notifyee; }
    bool EvKeyDown(LKey key) override;

private:
    void EvColorSwatchClicked(LView* hostView, int x, int y) override;

    LColorPickerControlNotifyee* pOwner = nullptr;
    // Cleared when the control goes, so that a chooser still open reports to nobody.
    std::shared_ptr<bool> fAlive;
};

// A window mixin that draws some of its native image buttons itself.
class LCoolButtonContainer : public LCocoaCoolButtonDrawBridge {
public:
    virtual ~LCoolButtonContainer() = default;

    void CoolButtonContainerInit(LWindow& window) { pCoolButtonWindow = &window; }
    void CoolButtonContainerDestroy(LWindow&) { pCoolButtonWindow = nullptr; }
    // Whether the button shows its border only under the mouse.
    void CoolButtonInit(int id, bool bordersOnHover, bool unused);
    // Makes the button a check button (when it is not one) pressed or not.
    void SetCoolButtonDown(int id, bool down);
    // Draws the button through CoolButtonCustomDraw; false without window or control.
    bool DrawCoolButton(int id, cairo_t* cr, const LUiRect& rect);
    void EvCoolButtonCustomDraw(int tag, cairo_t* cr, const LUiRect& dirty) override
    {
        DrawCoolButton(tag, cr, dirty);
    }
    virtual void CoolButtonCustomDraw(LPaintContext& context, int id) { (void)context, (void)id; }

protected:
    LWindow* pCoolButtonWindow = nullptr;
};

// A decimal number typed or stepped in an up-down input, kept within its range.
class LDecimalInputControl {
public:
    // Takes the up-down input under the id (nothing else) and gives it the format and range.
    void Init(LWindow& window, int id);
    // 0 places means 3.
    void SetDecimalFormat(LWindow& window, int places);
    // The typed value within [minimum, maximum]; while the text is no number, the field's last
    // value (within the range); no input gives the minimum.
    double GetValue(const LWindow& window) const;
    // Whether the field's text reads as a number.
    bool HasNumber() const;
    // Ends an edit now: the field shows the clamped number, or its last value.
    void CommitEdit();
    void SetValue(LWindow& window, double value);
    void SetMinValue(double value);
    void SetMaxValue(double value);
    void EnableControl(LWindow& window, bool enable);

    uint8_t decimalPlaces = 3;
    double minimum = 0.002;
    double maximum = 3600.0;
    double step = 0.1;

private:
    LWindow* pWindow = nullptr;
    int32_t iId = 0;
    LCocoaInputUpDownImpl* pView = nullptr;
};

// The context's font becomes its view's control font at 1.25 (large) or 0.85 times its size.
void SetFontSize(LPaintContext& context, bool large);
