// Numeric input: a text field with a number formatter and a small stepper to its right, kept in
// step. The text field's control id is the up-down's id + 1; edits reach the window through the
// text field's commands. Editing ends when the field loses the focus or Return is pressed in it
// (Return then presses no default button): a value outside the limits is clamped to them, and a
// text that is no number gives the field back its last value.
#pragma once

#include "lfw/mac/cocoa/LCocoaControlImpl.h"

#include <functional>

class LCocoaTextInputImpl;

// Optional listener of an up-down input: Return, and every change of the value.
class LDecimalInputControlNotify {
public:
    virtual ~LDecimalInputControlNotify() = default;
    virtual void EvReturn() = 0;
    virtual void EvValueChanged() = 0;
};

// Two arrows, 13 points wide; a press steps once and repeats while held. Does not wrap.
class LCocoaStepperImpl : public LCocoaControlImpl {
public:
    explicit LCocoaStepperImpl(const LUiRect& frame);

    double minValue() const { return fMin; }
    void setMinValue(double v) { fMin = v; }
    double maxValue() const { return fMax; }
    void setMaxValue(double v) { fMax = v; }
    double increment() const { return fIncrement; }
    void setIncrement(double v) { fIncrement = v; }
    double doubleValue() const { return fValue; }
    // Clamped to the range.
    void setDoubleValue(double v);
    void setValueWraps(bool) { }
    // Height fitted (width 13).
    void sizeToFit();
    // A step up or down, as a click on an arrow; false when the value did not move.
    bool step(bool up);
    void setAction(std::function<void()> action) { fAction = std::move(action); }

    AtkRole AccessibleRole() const override { return ATK_ROLE_SPIN_BUTTON; }

protected:
    ~LCocoaStepperImpl() override;
    GtkWidget* CreateWidget() override;

private:
    static gboolean OnRepeat(gpointer data);
    void StopRepeat();
    double fMin = 0, fMax = 59, fIncrement = 1, fValue = 0;
    std::function<void()> fAction;
    unsigned fRepeat = 0;
    [[maybe_unused]] bool fPressedUp = false;
    int fPressed = 0; // 1 up, -1 down
};

class LCocoaInputUpDownImpl : public LCocoaViewBase {
public:
    LCocoaInputUpDownImpl(const LUiRect& frame, LCocoaWindow* window);

    void setFrame(const LUiRect& r);
    void setID(int id);
    void setFormatDouble(int fractionDigits);
    void setDecimalPlaces(int places);
    void setReadOnly(bool readOnly);
    void setMin(double v);
    double min() const;
    void setMax(double v);
    double max() const;
    void setStep(double v);
    double step() const;
    // The field shows v (v becomes its last value).
    void setValue(double v);
    // The number typed; the last value while the text is no number.
    double value() const;
    // Whether the text reads as a number ("12,5" and "12.5" both do).
    bool hasNumber() const;
    // Ends an edit now: the text becomes the clamped number, or the last value when it is none.
    void commitEditing();
    void setTextFieldValue(double v);
    void setStepperValue(double v);
    bool isEnabled() const;
    void setEnabled(bool enabled);
    // A click on an arrow: the stepper's value shown as a step of the user's (see
    // showSteppedValue).
    void stepperAction();
    void handleTextFieldChanged();
    void handleEndEditing();
    bool performKeyEquivalent(const LUiEvent& event) override;
    int tag() const { return Tag(); }
    void setTag(int tag) { SetTag(tag); }
    LDecimalInputControlNotify* notify() const { return pNotify; }
    void setNotify(LDecimalInputControlNotify* notify) { pNotify = notify; }
    LCocoaTextInputImpl* textField() const { return fTextField; }
    LCocoaStepperImpl* stepper() const { return fStepper; }

protected:
    ~LCocoaInputUpDownImpl() override;
    void FrameDidChange() override;

private:
    static void OnNotification(const char* name, LView* object, void* data);
    void Layout();
    std::string Format(double v) const;
    // Shows a value the user stepped to (an arrow or the Up and Down keys): reported as an edit
    // of the user's, never as a value set by the program.
    void showSteppedValue(double v);

    LCocoaTextInputImpl* fTextField = nullptr; // subviews
    LCocoaStepperImpl* fStepper = nullptr;
    LDecimalInputControlNotify* pNotify = nullptr;
    uintptr_t fChangedObserver = 0;
    uintptr_t fEndObserver = 0;
    bool fLayingOut = false;
    // The value the field last held: set by the program, stepped to or committed.
    double fLastValue = 0;
};
