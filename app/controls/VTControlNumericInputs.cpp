#include "app/controls/VTControlDecimalInput.h"
#include "app/controls/VTControlEdgePositions.h"
#include "app/controls/VTControlNumericalInput.h"

#include "lfw/mac/LControlFlags.h"
#include "lfw/mac/cocoa/LCocoaInputUpDownImpl.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {

// The width of an up-down input: 100 points.
int InputWidth(const LWindow& window)
{
    return int(100 * window.GetBackingScaleFactor());
}

// Whether the window the control sits in is closing (applied or cancelled): a field that loses
// the focus while it goes applies nothing, so a cancelled dialog changes nothing afterwards.
bool WindowClosing(const LWindow& control)
{
    const LWindow* top = control.GetRealParent();
    return top && top->IsClosing();
}

} // namespace

// Editing ends when the field loses the focus or Return is pressed in it. A report still pending
// then is made at once, with the typed value clamped to the range; a text that is no number
// reports nothing (the field gets its last value back), now or when the pause is over.
//
// When editing ends, the field writes the typed number out in its format (clamped to its range)
// and reports that as a text change, at once after the end of editing: such a change is not the
// user's and arms nothing. The flag that says so lasts until the event loop turns again.

// --- decimal input -----------------------------------------------------------------------------

VTControlDecimalInput::VTControlDecimalInput(
    const char* label, const char* tooltip, float min, float max)
    : fMin(min)
    , fMax(max)
{
    CopyText(szLabel, label);
    CopyText(szToolTip, tooltip);
}

VTControlDecimalInput::~VTControlDecimalInput()
{
    Destroy();
}

void VTControlDecimalInput::InitDialog()
{
    TimerInit(*this);
    AddStatic(1000, szLabel);
    AddInputUpDown(1001, LInputFlags {});
    fInput.decimalPlaces = 2;
    fInput.minimum = fMin;
    fInput.maximum = fMax;
    fInput.Init(*this, 1001);
    HandleEditTextChange(1002, 1003);
    HandleEditTextFocusLost(1002, 1004);
    SetControlToolTip(1002, szToolTip);
}

void VTControlDecimalInput::DestroyDialog()
{
    TimerDestroy(*this);
}

void VTControlDecimalInput::LayoutControls(int x, int y, int width, int)
{
    const int input = InputWidth(*this);
    MoveControlPixels(1000, x, y, std::max(0, width - input), RowHeight());
    MoveControlPixels(1001, x + width - input, y, input, UpDownHeight());
}

void VTControlDecimalInput::Command(int id, int code)
{
    switch (id) {
    case 1003: // typed, pasted or stepped
        if (!bEditEnding)
            TimerSet(1, kReportDelayMs);
        return;
    case 1004: { // editing ended: the typed value applies now
        const bool pending = TimerIsSet(1);
        TimerReset(1);
        bEditEnding = true;
        TimerSet(kEditEndedTimer, 0);
        if (pending && fInput.HasNumber() && !WindowClosing(*this)) {
            fInput.CommitEdit();
            if (IsControlAlive())
                NotifyAll(&VTControlDecimalInputNotifyee::EvDecimalInputChanged, *this);
        }
        return;
    }
    default:
        LMacWindow::Command(id, code);
    }
}

void VTControlDecimalInput::EvTimer(int id)
{
    if (id == kEditEndedTimer) {
        TimerReset(id);
        bEditEnding = false;
        return;
    }
    if (id != 1)
        return;
    TimerReset(1);
    if (IsControlAlive() && fInput.HasNumber())
        NotifyAll(&VTControlDecimalInputNotifyee::EvDecimalInputChanged, *this);
}

float VTControlDecimalInput::GetValue() const
{
    return float(VTControlFromShownUnit(fInput.GetValue(*this)));
}

void VTControlDecimalInput::SetValue(float millimetres)
{
    fInput.SetValue(*this, VTControlToShownUnit(millimetres));
    TimerReset(1);
}

void VTControlDecimalInput::SetMinMax(float min, float max)
{
    fInput.SetMinValue(VTControlToShownUnit(min));
    fInput.SetMaxValue(VTControlToShownUnit(max));
    TimerReset(1);
}

// --- whole-number input ------------------------------------------------------------------------

VTControlNumericalInput::VTControlNumericalInput(
    const char* label, const char* tooltip, int min, int max)
    : iMin(min)
    , iMax(max)
{
    CopyText(szLabel, label);
    CopyText(szToolTip, tooltip);
}

VTControlNumericalInput::~VTControlNumericalInput()
{
    Destroy();
}

void VTControlNumericalInput::InitDialog()
{
    TimerInit(*this);
    AddStatic(1000, szLabel);
    AddInputUpDown(1001, LInputFlags {});
    UDInit(1001, iMin, iMax, 1);
    HandleEditTextChange(1002, 1003);
    HandleEditTextFocusLost(1002, 1004);
    SetControlToolTip(1002, szToolTip);
}

void VTControlNumericalInput::DestroyDialog()
{
    TimerDestroy(*this);
}

void VTControlNumericalInput::LayoutControls(int x, int y, int width, int)
{
    const int input = InputWidth(*this);
    MoveControlPixels(1001, x + width - input, y, input, UpDownHeight());
    MoveControlPixels(1000, x, y, std::max(0, width - input), RowHeight());
}

void VTControlNumericalInput::Command(int id, int code)
{
    switch (id) {
    case 1003:
        if (!bEditEnding)
            TimerSet(1, kReportDelayMs);
        return;
    case 1004: { // editing ended: the typed number applies now
        const bool pending = TimerIsSet(1);
        TimerReset(1);
        bEditEnding = true;
        TimerSet(kEditEndedTimer, 0);
        auto* input = dynamic_cast<LCocoaInputUpDownImpl*>(GetControlHandle(1001));
        if (pending && input && input->hasNumber() && !WindowClosing(*this)) {
            input->commitEditing();
            if (IsControlAlive())
                NotifyAll(&VTControlNumericalInputNotifyee::EvNumericalInputChanged, *this);
        }
        return;
    }
    case 1002:
        // The owner set the value (UDSetInt): a report still pending would tell it its own
        // value, or an older one.
        TimerReset(1);
        LMacWindow::Command(id, code);
        return;
    default:
        LMacWindow::Command(id, code);
    }
}

void VTControlNumericalInput::EvTimer(int id)
{
    if (id == kEditEndedTimer) {
        TimerReset(id);
        bEditEnding = false;
        return;
    }
    if (id != 1)
        return;
    TimerReset(1);
    // Every expiry is a pause after an edit by the user: values set by the owner never arm the
    // timer, so there is no first expiry of the owner's own to pass over.
    auto* input = dynamic_cast<LCocoaInputUpDownImpl*>(GetControlHandle(1001));
    if (IsControlAlive() && input && input->hasNumber())
        NotifyAll(&VTControlNumericalInputNotifyee::EvNumericalInputChanged, *this);
}

bool VTControlNumericalInput::TakePendingReport()
{
    if (!TimerIsSet(1))
        return false;
    TimerReset(1);
    auto* input = dynamic_cast<LCocoaInputUpDownImpl*>(GetControlHandle(1001));
    return IsControlAlive() && input && input->hasNumber();
}

// --- edge positions ----------------------------------------------------------------------------

namespace {

const char* const kEdgeToolTips[4] = {
    "Avstånd från början av sidan till början av den valda mallen",
    "Avstånd från vänster om sidan till vänster om den valda mallen",
    "Avstånd från höger om sidan till höger om vald mall",
    "Avstånd från nederkant på sidan till nederkant av den valda mallen",
};

} // namespace

VTControlEdgePositions::~VTControlEdgePositions()
{
    Destroy();
}

void VTControlEdgePositions::InitDialog()
{
    TimerInit(*this);
    char title[kVTControlTextSize];
    std::snprintf(
        title, sizeof title, "Kantpositioner (%s)", VTControlUnitIsImperial() ? "in" : "mm");
    AddGroup(1000, title);
    for (int e = 0; e < 4; ++e) {
        const int id = kInputIds[e];
        AddInputUpDown(id, LInputFlags {});
        fInputs[e].decimalPlaces = 2;
        fInputs[e].minimum = -120;
        fInputs[e].maximum = 120;
        fInputs[e].Init(*this, id);
        HandleEditTextChange(id + 1, id + 2);
        HandleEditTextFocusLost(id + 1, id + 3);
        SetControlToolTip(id + 1, kEdgeToolTips[e]);
    }
}

void VTControlEdgePositions::DestroyDialog()
{
    TimerDestroy(*this);
}

void VTControlEdgePositions::LayoutControls(int x, int y, int width, int height)
{
    const int m = R(1.25 * CharW());
    const int f = std::max(0, (width - 2 * m) / 3);
    const int u = R(1.29 * CharH());
    const int s = R(0.59 * CharH()) + R(1.23 * CharH());
    MoveControlPixels(1000, x, y, width, std::max(0, height - R(0.59 * CharH())));
    MoveControlPixels(kInputIds[kVTEdgeTop], (width - f) / 2, y + u, f, u);
    MoveControlPixels(kInputIds[kVTEdgeLeft], x + m, y + u + s, f, u);
    MoveControlPixels(kInputIds[kVTEdgeRight], x + m + 2 * f, y + u + s, f, u);
    MoveControlPixels(kInputIds[kVTEdgeBottom], (width - f) / 2, y + u + 2 * s, f, u);
}

int VTControlEdgePositions::EdgeOfCommand(int id, bool& lost)
{
    for (int e = 0; e < 4; ++e) {
        if (id == kInputIds[e] + 2 || id == kInputIds[e] + 3) {
            lost = id == kInputIds[e] + 3;
            return e;
        }
    }
    return -1;
}

void VTControlEdgePositions::Command(int id, int code)
{
    bool lost = false;
    const int e = EdgeOfCommand(id, lost);
    if (e < 0) {
        LMacWindow::Command(id, code);
        return;
    }
    if (lost) { // editing ended: the typed value applies now
        const bool pending = TimerIsSet(2000 + e);
        TimerReset(2000 + e);
        bEditEnding[e] = true;
        TimerSet(kEditEndedTimer, 0);
        if (pending && fInputs[e].HasNumber() && !WindowClosing(*this)) {
            fInputs[e].CommitEdit();
            if (IsControlAlive())
                NotifyAll(&VTControlEdgePositionsNotifyee::EvEdgePositionChanged, VTEdges(e),
                    GetValue(VTEdges(e)));
        }
    } else if (!bEditEnding[e]) {
        TimerSet(2000 + e, kReportDelayMs);
    }
}

void VTControlEdgePositions::EvTimer(int id)
{
    if (id == kEditEndedTimer) {
        TimerReset(id);
        std::fill(std::begin(bEditEnding), std::end(bEditEnding), false);
        return;
    }
    const int e = id - 2000;
    if (e < 0 || e > 3)
        return;
    TimerReset(id);
    if (IsControlAlive() && fInputs[e].HasNumber())
        NotifyAll(&VTControlEdgePositionsNotifyee::EvEdgePositionChanged, VTEdges(e),
            GetValue(VTEdges(e)));
}

float VTControlEdgePositions::GetValue(VTEdges edge) const
{
    if (edge < 0 || edge > 3)
        return 0;
    return float(VTControlFromShownUnit(fInputs[edge].GetValue(*this)));
}

void VTControlEdgePositions::SetValues(float top, float left, float right, float bottom)
{
    const float values[4] = { top, left, right, bottom };
    for (int e = 0; e < 4; ++e) {
        fInputs[e].SetValue(*this, VTControlToShownUnit(values[e]));
        TimerReset(2000 + e);
    }
}

void VTControlEdgePositions::SetMinMaxValues(float a, float b, float c, float d)
{
    const double low[4] = { -b, -a, -a, -b };
    const double high[4] = { d, c, c, d };
    for (int e = 0; e < 4; ++e) {
        fInputs[e].SetMinValue(VTControlToShownUnit(low[e]));
        fInputs[e].SetMaxValue(VTControlToShownUnit(high[e]));
    }
}
