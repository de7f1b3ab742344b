// The frame of the application's compound controls: small embedded panes (no scrolling) that
// hold a few standard controls under ids local to the pane, lay them out in backing pixels from
// the window's character cell, and report user actions to their owner through an observer
// interface of their own instead of commands.
//
// Use by an owner (a property panel):
//   1. the control is a member, constructed with its texts;
//   2. InitPanel: control.Init(*this); control.AddNotifyee(*this);
//   3. LayoutPanelControls: control.MovePixels(x, y, width, height);
//   4. DestroyPanel: control.Destroy().
// Each control overrides InitDialog (creates its child controls), LayoutControls (places them;
// the origin passed is always (0, 0)) and Command (turns the child controls' commands into
// notifications; everything else goes to LMacWindow::Command).
#pragma once

#include "lfw/gen/LNotifier.h"
#include "lfw/mac/LEmbeddedWindow.h"

#include <cstddef>

// Texts the controls keep: 260 bytes, longer texts cut at a character boundary.
inline constexpr size_t kVTControlTextSize = 260;

class VTControlBase : public LEmbeddedWindow {
public:
    VTControlBase();
    ~VTControlBase() override;
    VTControlBase(const VTControlBase&) = delete;
    VTControlBase& operator=(const VTControlBase&) = delete;

    // The integer part of v + 0.5 (the rounding of every character-cell product).
    static int R(double v) { return int(v + 0.5); }
    // Character width and height of the window in backing pixels.
    double CharW() const { return CharWidthPixels(); }
    double CharH() const { return CharHeightPixels(); }
    // The standard row: R(1.23 ch); an up-down input: R(1.29 ch); the gap between a label and
    // its field: R(1.25 cw).
    int RowHeight() const { return R(1.23 * CharH()); }
    int UpDownHeight() const { return R(1.29 * CharH()); }
    int LabelGap() const { return R(1.25 * CharW()); }

    // Copies a text into one of the control's 260-byte buffers (null reads as "").
    static void CopyText(char* buffer, const char* text);
    // Puts the tooltip on the child control (an empty text removes it).
    void SetControlToolTip(int id, const char* text);

    // Whether the control still has its view (false once Destroy ran, also from inside one of
    // its own notifications): a command handler stops touching the control when it is false.
    bool IsControlAlive() const { return GetContentView() != nullptr; }
};

// A member of the family over its observer interface: the owner registers with AddNotifyee, and
// every notification calls each registered observer in registration order.
template <class Notifyee> class VTControl : public VTControlBase, public LNotifier<Notifyee> {
public:
    using NotifyeeType = Notifyee;
    using LNotifier<Notifyee>::AddNotifyee;
    using LNotifier<Notifyee>::RemoveNotifyee;

protected:
    // Calls the event on every observer; answers whether the control is still alive afterwards
    // (an observer may have destroyed it).
    template <class... Parameters, class... Arguments>
    bool NotifyAll(void (Notifyee::*event)(Parameters...), Arguments&&... arguments)
    {
        this->Notify(event, std::forward<Arguments>(arguments)...);
        return IsControlAlive();
    }
};

// Lengths cross the controls' interfaces in millimetres; the fields show the user's unit
// (LUnitsGetMeasurementUnit: 0 millimetres, 1 inches; any other value counts as millimetres).
bool VTControlUnitIsImperial();
// Millimetres to the shown unit, and back.
double VTControlToShownUnit(double millimetres);
double VTControlFromShownUnit(double shown);
