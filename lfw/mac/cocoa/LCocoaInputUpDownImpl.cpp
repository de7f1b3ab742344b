#include "lfw/mac/cocoa/LCocoaInputUpDownImpl.h"

#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaTextField.h"
#include "lfw/mac/cocoa/LCocoaTextFormatters.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "lfw/mac/cocoa/LCocoaWindow.h"
#include "lfw/mac/cocoa/LKey.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace {

constexpr double kStepperWidth = 13;
constexpr double kStepperHeight = 22;
constexpr double kGap = 3;

// The number a field shows; NaN when it shows none. Either decimal separator is taken ("12,5"
// and "12.5"), with blanks around; words ("abc", "nan", "inf"), hexadecimal numbers and text
// after the number are none. A number too large for a double is an infinity (clamped later).
double ParseNumber(const std::string& text)
{
    std::string t = text;
    std::replace(t.begin(), t.end(), ',', '.');
    for (char c : t)
        if (std::isalpha(static_cast<unsigned char>(c)) && c != 'e' && c != 'E')
            return NAN;
    const char* s = t.c_str();
    while (*s == ' ')
        ++s;
    char* end = nullptr;
    double v = g_ascii_strtod(s, &end);
    if (end == s)
        return NAN;
    while (*end == ' ')
        ++end;
    return *end ? NAN : v;
}

int32_t SaturatedInt(double v)
{
    if (std::isnan(v))
        return 0;
    return int32_t(std::clamp(v, double(INT32_MIN), double(INT32_MAX)));
}

} // namespace

// --- stepper -----------------------------------------------------------------------------------

LCocoaStepperImpl::LCocoaStepperImpl(const LUiRect& frame)
    : LCocoaControlImpl(frame, nullptr)
{
    SetAnswersEnabled(true);
}

LCocoaStepperImpl::~LCocoaStepperImpl()
{
    StopRepeat();
}

void LCocoaStepperImpl::setDoubleValue(double v)
{
    if (std::isnan(v))
        v = fMin;
    fValue = std::clamp(v, fMin, std::max(fMin, fMax));
}

void LCocoaStepperImpl::sizeToFit()
{
    LUiRect f = Frame();
    f.width = kStepperWidth;
    f.height = std::min(f.height, kStepperHeight);
    SetFrame(f);
}

bool LCocoaStepperImpl::step(bool up)
{
    if (!(fIncrement > 0) || !IsEnabled())
        return false;
    double before = fValue;
    setDoubleValue(fValue + (up ? fIncrement : -fIncrement));
    if (fValue == before)
        return false;
    if (fAction) {
        LUiRef<LView> hold(this);
        fAction();
    }
    return true;
}

void LCocoaStepperImpl::StopRepeat()
{
    if (fRepeat)
        g_source_remove(fRepeat);
    fRepeat = 0;
    fPressed = 0;
}

gboolean LCocoaStepperImpl::OnRepeat(gpointer data)
{
    auto* self = static_cast<LCocoaStepperImpl*>(data);
    if (!self->fPressed) {
        self->fRepeat = 0;
        return G_SOURCE_REMOVE;
    }
    self->step(self->fPressed > 0);
    // After the first delay, quicker repeats.
    self->fRepeat = g_timeout_add(80, OnRepeat, self);
    return G_SOURCE_REMOVE;
}

GtkWidget* LCocoaStepperImpl::CreateWidget()
{
    GtkWidget* area = gtk_drawing_area_new();
    gtk_widget_add_events(area, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK);
    g_signal_connect(area, "draw",
        G_CALLBACK(+[](GtkWidget* w, cairo_t* cr, gpointer d) -> gboolean {
            auto* self = static_cast<LCocoaStepperImpl*>(d);
            double width = gtk_widget_get_allocated_width(w);
            double height = gtk_widget_get_allocated_height(w);
            GtkStyleContext* sc = gtk_widget_get_style_context(w);
            GdkRGBA fg;
            gtk_style_context_get_color(sc, gtk_style_context_get_state(sc), &fg);
            double alpha = self->IsEnabled() ? 1.0 : 0.4;
            // Two halves with a rounded border and a triangle each.
            cairo_set_line_width(cr, 1);
            cairo_set_source_rgba(cr, fg.red, fg.green, fg.blue, 0.35 * alpha);
            cairo_rectangle(cr, 0.5, 0.5, width - 1, height - 1);
            cairo_move_to(cr, 0.5, height / 2);
            cairo_line_to(cr, width - 0.5, height / 2);
            cairo_stroke(cr);
            for (int half = 0; half < 2; ++half) {
                bool pressed
                    = (half == 0 && self->fPressed > 0) || (half == 1 && self->fPressed < 0);
                double top = half * height / 2;
                if (pressed) {
                    cairo_set_source_rgba(cr, fg.red, fg.green, fg.blue, 0.2);
                    cairo_rectangle(cr, 1, top + 1, width - 2, height / 2 - 2);
                    cairo_fill(cr);
                }
                double cx = width / 2;
                double cy = top + height / 4;
                double s = std::min(width, height / 2) * 0.25;
                cairo_set_source_rgba(cr, fg.red, fg.green, fg.blue, alpha);
                if (half == 0) {
                    cairo_move_to(cr, cx - s, cy + s * 0.6);
                    cairo_line_to(cr, cx + s, cy + s * 0.6);
                    cairo_line_to(cr, cx, cy - s * 0.6);
                } else {
                    cairo_move_to(cr, cx - s, cy - s * 0.6);
                    cairo_line_to(cr, cx + s, cy - s * 0.6);
                    cairo_line_to(cr, cx, cy + s * 0.6);
                }
                cairo_close_path(cr);
                cairo_fill(cr);
            }
            return FALSE;
        }),
        this);
    g_signal_connect(area, "button-press-event",
        G_CALLBACK(+[](GtkWidget* w, GdkEventButton* e, gpointer d) -> gboolean {
            auto* self = static_cast<LCocoaStepperImpl*>(d);
            if (e->type != GDK_BUTTON_PRESS || e->button != 1 || !self->IsEnabled())
                return TRUE;
            LUiRef<LView> hold(self);
            self->StopRepeat();
            self->fPressed = e->y < gtk_widget_get_allocated_height(w) / 2.0 ? 1 : -1;
            gtk_widget_queue_draw(w);
            self->step(self->fPressed > 0);
            if (self->fPressed)
                self->fRepeat = g_timeout_add(400, OnRepeat, self);
            return TRUE;
        }),
        this);
    g_signal_connect(area, "button-release-event",
        G_CALLBACK(+[](GtkWidget* w, GdkEventButton*, gpointer d) -> gboolean {
            auto* self = static_cast<LCocoaStepperImpl*>(d);
            self->StopRepeat();
            gtk_widget_queue_draw(w);
            return TRUE;
        }),
        this);
    return area;
}

// --- up-down -----------------------------------------------------------------------------------

LCocoaInputUpDownImpl::LCocoaInputUpDownImpl(const LUiRect& frame, LCocoaWindow* window)
    : LCocoaViewBase(frame, window)
{
    fTextField = new LCocoaTextInputImpl(frame, window);
    fStepper = new LCocoaStepperImpl(frame);
    fStepper->setValueWraps(false);
    fStepper->setAction([this] { stepperAction(); });
    fTextField->setFormatter(std::make_unique<LNumberValueFormatter>());
    fTextField->setText("0");
    AddSubview(fTextField);
    AddSubview(fStepper);
    fTextField->Release();
    fStepper->Release();
    fChangedObserver = LCocoaAddNotificationObserver(kLCocoaTextInputChanged, OnNotification, this);
    fEndObserver = LCocoaAddNotificationObserver(kLTextDidEndEditing, OnNotification, this);
    Layout();
}

LCocoaInputUpDownImpl::~LCocoaInputUpDownImpl()
{
    LCocoaRemoveNotificationObserver(fChangedObserver);
    LCocoaRemoveNotificationObserver(fEndObserver);
    if (fStepper)
        fStepper->setAction(nullptr);
}

void LCocoaInputUpDownImpl::OnNotification(const char* name, LView* object, void* data)
{
    auto* self = static_cast<LCocoaInputUpDownImpl*>(data);
    if (object != self->fTextField)
        return;
    if (std::string(name) == kLCocoaTextInputChanged)
        self->handleTextFieldChanged();
    else
        self->handleEndEditing();
}

void LCocoaInputUpDownImpl::Layout()
{
    if (fLayingOut)
        return;
    fLayingOut = true;
    LUiRect b = Bounds();
    fTextField->SetFrame(LUiRect { 0, 0, b.width, b.height });
    fStepper->SetFrame(LUiRect { 0, 0, kStepperWidth, b.height });
    fStepper->sizeToFit();
    LUiRect s = fStepper->Frame();
    LUiRect t = fTextField->Frame();
    t.width = std::max(0.0, t.width - (s.width + kGap));
    fTextField->SetFrame(t);
    // A field left no width (the up-down still unplaced, 13 points wide) stays out of the window
    // until it has some: GTK cannot fit an entry's frame and padding into nothing.
    fTextField->SetHidden(t.width <= 0);
    s.x = t.width + kGap;
    s.y = (b.height - s.height) * 0.5;
    fStepper->SetFrame(s);
    SetNeedsDisplay();
    fLayingOut = false;
}

void LCocoaInputUpDownImpl::setFrame(const LUiRect& r)
{
    SetFrame(r);
    Layout();
}

void LCocoaInputUpDownImpl::FrameDidChange()
{
    Layout();
}

void LCocoaInputUpDownImpl::setID(int id)
{
    SetTag(id);
    fTextField->setID(id + 1);
}

void LCocoaInputUpDownImpl::setFormatDouble(int fractionDigits)
{
    auto f = std::make_unique<LNumberValueFormatter>();
    f->setDecimalFormat(true);
    f->setMaximumFractionDigits(std::clamp(fractionDigits, 0, 15));
    fTextField->setFormatter(std::move(f));
}

void LCocoaInputUpDownImpl::setDecimalPlaces(int places)
{
    if (auto* f = dynamic_cast<LNumberValueFormatter*>(fTextField->formatter())) {
        f->setDecimalFormat(places != 0);
        f->setMaximumFractionDigits(std::clamp(places, 0, 15));
    }
}

void LCocoaInputUpDownImpl::setReadOnly(bool readOnly)
{
    fTextField->setEditable(!readOnly);
}

void LCocoaInputUpDownImpl::setMin(double v)
{
    if (std::isnan(v))
        return;
    fStepper->setMinValue(v);
    if (auto* f = dynamic_cast<LNumberValueFormatter*>(fTextField->formatter()))
        f->setMinimumValue(SaturatedInt(v));
}

double LCocoaInputUpDownImpl::min() const
{
    return fStepper->minValue();
}

void LCocoaInputUpDownImpl::setMax(double v)
{
    if (std::isnan(v))
        return;
    fStepper->setMaxValue(v);
}

double LCocoaInputUpDownImpl::max() const
{
    return fStepper->maxValue();
}

void LCocoaInputUpDownImpl::setStep(double v)
{
    fStepper->setIncrement(std::isnan(v) ? 0 : v);
}

double LCocoaInputUpDownImpl::step() const
{
    return fStepper->increment();
}

std::string LCocoaInputUpDownImpl::Format(double v) const
{
    if (auto* f = dynamic_cast<LNumberValueFormatter*>(fTextField->formatter()))
        return f->editingStringForValue(v);
    char s[64];
    snprintf(s, sizeof s, "%g", v);
    return s;
}

void LCocoaInputUpDownImpl::setValue(double v)
{
    if (std::isnan(v))
        return;
    LUiRef<LView> hold(this);
    fLastValue = v;
    // A field being edited that already reads as the value keeps the text as typed ("12" stays
    // "12" while the user goes on typing "12.5"); it is written out in the format when editing
    // ends.
    const std::string shown = Format(v);
    const double typed = ParseNumber(fTextField->stringValue());
    if (!(fTextField->HasFocus() && !std::isnan(typed) && Format(typed) == shown))
        fTextField->setText(shown.c_str());
    LCocoaView::sendCommand(fTextField, fTextField->Tag(), pWindow);
    fStepper->setDoubleValue(v);
    if (pNotify)
        pNotify->EvValueChanged();
}

double LCocoaInputUpDownImpl::value() const
{
    double v = ParseNumber(fTextField->stringValue());
    return std::isnan(v) ? fLastValue : v;
}

bool LCocoaInputUpDownImpl::hasNumber() const
{
    return !std::isnan(ParseNumber(fTextField->stringValue()));
}

void LCocoaInputUpDownImpl::setTextFieldValue(double v)
{
    LUiRef<LView> hold(this);
    if (!std::isnan(v))
        fLastValue = v;
    fTextField->setText(Format(v).c_str());
    LCocoaView::sendCommand(fTextField, fTextField->Tag(), pWindow);
    if (pNotify)
        pNotify->EvValueChanged();
}

void LCocoaInputUpDownImpl::setStepperValue(double v)
{
    fStepper->setDoubleValue(v);
    if (pNotify)
        pNotify->EvValueChanged();
}

bool LCocoaInputUpDownImpl::isEnabled() const
{
    return fTextField->IsEnabled();
}

void LCocoaInputUpDownImpl::setEnabled(bool enabled)
{
    fTextField->SetEnabled(enabled);
    fStepper->SetEnabled(enabled);
    if (GtkWidget* w = fStepper->ExistingWidget())
        gtk_widget_queue_draw(w);
}

void LCocoaInputUpDownImpl::handleTextFieldChanged()
{
    double v = ParseNumber(fTextField->stringValue());
    if (!std::isnan(v))
        fStepper->setDoubleValue(v);
}

void LCocoaInputUpDownImpl::handleEndEditing()
{
    commitEditing();
}

void LCocoaInputUpDownImpl::commitEditing()
{
    LUiRef<LView> hold(this);
    std::string before = fTextField->stringValue();
    double v = ParseNumber(before);
    double lo = fStepper->minValue();
    double hi = std::max(lo, fStepper->maxValue()); // a maximum below the minimum is the minimum
    // A text that is no number gives the field back its last value; a number is clamped.
    double committed = std::isnan(v) ? fLastValue : std::clamp(v, lo, hi);
    if (std::isnan(committed))
        committed = lo;
    fLastValue = committed;
    std::string shown = Format(committed);
    if (shown == before)
        return;
    // Text set on the field is reported by the field itself (its text-changed command).
    fTextField->setText(shown.c_str());
    fStepper->setDoubleValue(committed);
}

void LCocoaInputUpDownImpl::showSteppedValue(double v)
{
    LUiRef<LView> hold(this);
    fLastValue = v;
    // The field reports the text with its text-changed command, as it reports typing. The
    // command of its own id, which tells the owner that the program set the value, is not sent:
    // the owner would drop the report that the step is waiting for.
    fTextField->setText(Format(v).c_str());
    fTextField->setTextChanged(true);
    fStepper->setDoubleValue(v);
    if (pNotify)
        pNotify->EvValueChanged();
}

void LCocoaInputUpDownImpl::stepperAction()
{
    LUiRef<LView> hold(this);
    // A field edited elsewhere gives up the focus to this one first.
    if (!fTextField->HasFocus()) {
        LCocoaView::loseEditControlFocus(this);
        fTextField->MakeFocus();
    }
    showSteppedValue(fStepper->doubleValue());
}

bool LCocoaInputUpDownImpl::performKeyEquivalent(const LUiEvent& event)
{
    if (event.type != LUiEventType::KeyDown || !fTextField->HasFocus())
        return false;
    // The key as the framework names it: Return (or the keypad's Enter), Down and Up, each
    // without modifiers.
    uint32_t key = LKeyFromRawKeyEvent(event).code;
    switch (key) {
    case 0x24000000:
    case 0x4C000000:
        if (pNotify) {
            pNotify->EvReturn();
            return true;
        }
        // Return applies what was typed, as leaving the field does; the field keeps the focus
        // and the window's default button is not pressed.
        fTextField->endEditing();
        return true;
    case 0x7D000000:
    case 0x7E000000: {
        double s = step();
        if (s == 0 || std::isnan(s))
            return true;
        // Stepped as the arrows beside the field step it, within the range.
        double lo = fStepper->minValue();
        double hi = std::max(lo, fStepper->maxValue());
        double v = std::clamp(value() + (key == 0x7E000000 ? s : -s), lo, hi);
        if (v != value() || !hasNumber())
            showSteppedValue(v);
        return true;
    }
    default:
        return false;
    }
}
