#include "lfw/mac/cocoa/LCocoaTrackBarImpl.h"

#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaSimpleControls.h"
#include "lfw/mac/cocoa/LCocoaTooltipImpl.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "lfw/mac/cocoa/LCocoaWindow.h"
#include "platform/ui/LNativeWindow.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

// --- the knob's cell ---------------------------------------------------------------------------

LCocoaSliderCellImpl::LCocoaSliderCellImpl()
    : sliderValueTooltip(std::make_unique<LCocoaTooltipImpl>("", true))
{
    sliderValueTooltip->hide();
}

LCocoaSliderCellImpl::~LCocoaSliderCellImpl() = default;

void LCocoaSliderCellImpl::stopTracking()
{
    bTracking = false;
    sliderValueTooltip->hide();
}

void LCocoaSliderCellImpl::updatetooltip(LCocoaTrackBarImpl* slider)
{
    if (!bTracking || !slider)
        return;
    LCocoaTooltipImpl& tip = *sliderValueTooltip;
    tip.setParentWindow(slider->Window());
    tip.hide();
    char text[32];
    snprintf(text, sizeof text, "%ld", long(std::lround(slider->doubleValue())));
    tip.setText(text);
    _knobBounds = slider->knobRect();
    LUiRect screen;
    LUiRect knob {};
    if (LCocoaViewScreenRect(slider, screen))
        knob = LUiRect { screen.x + _knobBounds.x, screen.y + _knobBounds.y, _knobBounds.width,
            _knobBounds.height };
    // At the middle of the knob's lower edge.
    tip.moveToPoint(LUiPoint { knob.x + knob.width * 0.5, knob.y + knob.height }, true);
    tip.show();
}

// --- track bar ---------------------------------------------------------------------------------

LCocoaTrackBarImpl::LCocoaTrackBarImpl(const LUiRect& frame, LCocoaWindow* window)
    : LCocoaControlImpl(frame, window)
{
    SetAnswersEnabled(true);
    SetAcceptsFocus(true);
}

GtkWidget* LCocoaTrackBarImpl::CreateWidget()
{
    GtkAdjustment* adj = gtk_adjustment_new(fValue, fMin, fMax, 1, 10, 0);
    GtkWidget* scale
        = gtk_scale_new(isVertical() ? GTK_ORIENTATION_VERTICAL : GTK_ORIENTATION_HORIZONTAL, adj);
    gtk_scale_set_draw_value(GTK_SCALE(scale), FALSE);
    // The minimum at the bottom of a vertical bar.
    gtk_range_set_inverted(GTK_RANGE(scale), isVertical());
    g_signal_connect(scale, "value-changed", G_CALLBACK(+[](GtkRange* r, gpointer d) {
        auto* self = static_cast<LCocoaTrackBarImpl*>(d);
        self->fValue = gtk_range_get_value(r);
        if (!self->fSetting)
            self->trackBarChanged();
    }),
        this);
    g_signal_connect(scale, "button-press-event",
        G_CALLBACK(+[](GtkWidget*, GdkEventButton* e, gpointer d) -> gboolean {
            auto* self = static_cast<LCocoaTrackBarImpl*>(d);
            if (e->type != GDK_BUTTON_PRESS)
                return FALSE;
            if (!self->IsEnabled())
                return TRUE;
            LCocoaView::loseEditControlFocus(self);
            if (e->button == 1) {
                self->fPressed = true;
                self->fCell.startTracking();
                if (self->fShowToolTip)
                    self->fCell.updatetooltip(self);
            }
            return FALSE;
        }),
        this);
    g_signal_connect(scale, "button-release-event",
        G_CALLBACK(+[](GtkWidget*, GdkEventButton* e, gpointer d) -> gboolean {
            auto* self = static_cast<LCocoaTrackBarImpl*>(d);
            if (e->button != 1 || !self->fPressed)
                return FALSE;
            self->fPressed = false;
            self->fCell.stopTracking();
            LUiRef<LView> hold(self);
            LCocoaView::sendCommandWithKey(self, &keyCmdTrackBarEnd, self->pWindow);
            return FALSE;
        }),
        this);
    g_signal_connect_after(scale, "draw",
        G_CALLBACK(+[](GtkWidget*, cairo_t*, gpointer d) -> gboolean {
            auto* self = static_cast<LCocoaTrackBarImpl*>(d);
            LUiRect before = self->fCell.knobBounds();
            self->fCell.setKnobBounds(self->knobRect());
            // The knob is placed when drawn: a tip shown at its old place follows it.
            LUiRect now = self->fCell.knobBounds();
            if (self->fShowToolTip && self->fCell.isTracking()
                && (now.x != before.x || now.y != before.y))
                self->fCell.updatetooltip(self);
            return FALSE;
        }),
        this);
    fMarks = {}; // a new widget has none
    UpdateMarks();
    return scale;
}

void LCocoaTrackBarImpl::UpdateMarks()
{
    GtkWidget* w = ExistingWidget();
    if (!w)
        return;
    GtkPositionType side = isVertical() ? GTK_POS_RIGHT : GTK_POS_BOTTOM;
    if (fMarks.widget == w && fMarks.min == fMin && fMarks.max == fMax && fMarks.side == side)
        return;
    fMarks = { w, fMin, fMax, side };
    gtk_scale_clear_marks(GTK_SCALE(w));
    for (int i = 0; i < 10; ++i)
        gtk_scale_add_mark(GTK_SCALE(w), fMin + (fMax - fMin) * i / 9.0, side, nullptr);
}

void LCocoaTrackBarImpl::FrameDidChange()
{
    if (GtkWidget* w = ExistingWidget()) {
        gtk_orientable_set_orientation(GTK_ORIENTABLE(w),
            isVertical() ? GTK_ORIENTATION_VERTICAL : GTK_ORIENTATION_HORIZONTAL);
        gtk_range_set_inverted(GTK_RANGE(w), isVertical());
        UpdateMarks();
    }
}

void LCocoaTrackBarImpl::setMinValue(double v)
{
    fMin = v;
    if (fMax < fMin)
        fMax = fMin;
    if (GtkRange* r = Range()) {
        ++fSetting;
        gtk_range_set_range(r, fMin, std::max(fMax, fMin + 1e-9));
        --fSetting;
        UpdateMarks();
    }
    fValue = std::clamp(fValue, fMin, fMax);
}

void LCocoaTrackBarImpl::setMaxValue(double v)
{
    fMax = std::max(v, fMin);
    if (GtkRange* r = Range()) {
        ++fSetting;
        gtk_range_set_range(r, fMin, std::max(fMax, fMin + 1e-9));
        --fSetting;
        UpdateMarks();
    }
    fValue = std::clamp(fValue, fMin, fMax);
}

void LCocoaTrackBarImpl::setRange(double min, double max)
{
    fMin = min;
    fMax = std::max(max, min);
    if (GtkRange* r = Range()) {
        ++fSetting;
        gtk_range_set_range(r, fMin, std::max(fMax, fMin + 1e-9));
        --fSetting;
        UpdateMarks();
    }
    fValue = std::clamp(fValue, fMin, fMax);
}

void LCocoaTrackBarImpl::setDoubleValue(double v)
{
    if (std::isnan(v))
        return;
    fValue = std::clamp(v, fMin, fMax);
    if (GtkRange* r = Range()) {
        ++fSetting;
        gtk_range_set_value(r, fValue);
        --fSetting;
    }
}

LUiRect LCocoaTrackBarImpl::knobRect() const
{
    GtkRange* r = Range();
    if (!r || !gtk_widget_get_realized(GTK_WIDGET(r)))
        return {};
    int start = 0, end = 0;
    gtk_range_get_slider_range(r, &start, &end);
    GdkRectangle trough;
    gtk_range_get_range_rect(r, &trough);
    if (isVertical())
        return LUiRect { double(trough.x), double(start), double(trough.width),
            double(end - start) };
    return LUiRect { double(start), double(trough.y), double(end - start), double(trough.height) };
}

void LCocoaTrackBarImpl::trackBarChanged()
{
    LUiRef<LView> hold(this);
    if (fShowToolTip)
        fCell.updatetooltip(this);
    if (fObserver)
        fObserver();
    LCocoaView::sendCommandWithKey(this, &keyCmdTrackBarChanged, pWindow);
}

// --- scroll bar --------------------------------------------------------------------------------

LCocoaScrollBarImpl::LCocoaScrollBarImpl(const LUiRect& frame, LCocoaWindow* window)
    : LCocoaControlImpl(frame, window)
{
    SetAnswersEnabled(true);
}

GtkWidget* LCocoaScrollBarImpl::CreateWidget()
{
    GtkAdjustment* adj
        = gtk_adjustment_new(fValue * (1 - fProportion), 0, 1, 0.01, fProportion, fProportion);
    LUiRect f = Frame();
    GtkWidget* bar = gtk_scrollbar_new(
        f.height > f.width ? GTK_ORIENTATION_VERTICAL : GTK_ORIENTATION_HORIZONTAL, adj);
    g_signal_connect(bar, "value-changed", G_CALLBACK(+[](GtkRange* r, gpointer d) {
        auto* self = static_cast<LCocoaScrollBarImpl*>(d);
        double span = 1 - self->fProportion;
        self->fValue = span > 0 ? gtk_range_get_value(r) / span : 0;
        if (!self->fSetting && self->fActive)
            self->scrollBarChanged();
    }),
        this);
    g_signal_connect(bar, "button-press-event",
        G_CALLBACK(+[](GtkWidget*, GdkEventButton* e, gpointer d) -> gboolean {
            if (e->type == GDK_BUTTON_PRESS)
                LCocoaView::loseEditControlFocus(static_cast<LView*>(d));
            return FALSE;
        }),
        this);
    return bar;
}

void LCocoaScrollBarImpl::setID(int id)
{
    SetTag(id);
    fActive = true;
}

void LCocoaScrollBarImpl::scrollBarChanged()
{
    LUiRef<LView> hold(this);
    LCocoaView::sendCommandWithKey(this, &keyCmdScrollBarChanged, pWindow);
}

void LCocoaScrollBarImpl::setDoubleValue(double v)
{
    fValue = std::isnan(v) ? 0 : std::clamp(v, 0.0, 1.0);
    if (GtkWidget* w = ExistingWidget()) {
        ++fSetting;
        gtk_range_set_value(GTK_RANGE(w), fValue * (1 - fProportion));
        --fSetting;
    }
}

double LCocoaScrollBarImpl::doubleValue() const
{
    return fValue;
}

void LCocoaScrollBarImpl::setKnobProportion(double p)
{
    fProportion = std::isnan(p) ? 0.1 : std::clamp(p, 0.0, 1.0);
    if (GtkWidget* w = ExistingWidget()) {
        GtkAdjustment* a = gtk_range_get_adjustment(GTK_RANGE(w));
        ++fSetting;
        gtk_adjustment_configure(
            a, fValue * (1 - fProportion), 0, 1, 0.01, fProportion, fProportion);
        --fSetting;
    }
}

// --- volume slider -----------------------------------------------------------------------------

LCocoaVolumeSliderImpl::LCocoaVolumeSliderImpl(const LUiRect& frame)
    : LCocoaViewBase(frame, nullptr)
{
    SetAnswersEnabled(true);
}

LCocoaVolumeSliderImpl::~LCocoaVolumeSliderImpl() = default;

void LCocoaVolumeSliderImpl::initializeControl(LCocoaWindow* window, int iconVolMin, int iconVolMax)
{
    pWindow = window;
    auto* slider = new LCocoaTrackBarImpl(LUiRect { 0, -300, 500, 17 }, nullptr);
    slider->setMinValue(-48);
    slider->setMaxValue(0);
    slider->setChangeObserver([this] { valueChanged(); });
    fMinIcon = new LCocoaImageControlImpl(LUiRect { 0, 0, 17, 17 });
    fMaxIcon = new LCocoaImageControlImpl(LUiRect { 0, 0, 17, 17 });
    fMinIcon->setImageWithResourceID(iconVolMin);
    fMaxIcon->setImageWithResourceID(iconVolMax);
    fSlider = slider;
    AddSubview(fMinIcon);
    AddSubview(fSlider);
    AddSubview(fMaxIcon);
    fMinIcon->Release();
    fSlider->Release();
    fMaxIcon->Release();
    tt = std::make_unique<LCocoaTooltipImpl>("", false);
    tt->hide();
    Layout();
}

void LCocoaVolumeSliderImpl::Layout()
{
    if (!fSlider)
        return;
    double minWidth = fMinIcon->Frame().width;
    double width = std::max(0, int(Frame().width - 34 - 5));
    fMinIcon->SetFrame(LUiRect { 0, 0, 17, 17 });
    fSlider->SetFrame(LUiRect { minWidth + 5, 0, width, 17 });
    fMaxIcon->SetFrame(LUiRect { width + 22, 0, 17, 17 });
}

void LCocoaVolumeSliderImpl::FrameDidChange()
{
    Layout();
}

int LCocoaVolumeSliderImpl::level() const
{
    return fSlider ? int(static_cast<LCocoaTrackBarImpl*>(fSlider)->doubleValue()) : 0;
}

void LCocoaVolumeSliderImpl::setLevel(int v)
{
    if (fSlider)
        static_cast<LCocoaTrackBarImpl*>(fSlider)->setDoubleValue(v);
}

int LCocoaVolumeSliderImpl::minLevel() const
{
    return fSlider ? int(static_cast<LCocoaTrackBarImpl*>(fSlider)->minValue()) : 0;
}

void LCocoaVolumeSliderImpl::setMinLevel(int v)
{
    if (fSlider)
        static_cast<LCocoaTrackBarImpl*>(fSlider)->setMinValue(v);
}

int LCocoaVolumeSliderImpl::maxLevel() const
{
    return fSlider ? int(static_cast<LCocoaTrackBarImpl*>(fSlider)->maxValue()) : 0;
}

void LCocoaVolumeSliderImpl::setMaxLevel(int v)
{
    if (fSlider)
        static_cast<LCocoaTrackBarImpl*>(fSlider)->setMaxValue(v);
}

void LCocoaVolumeSliderImpl::valueChanged()
{
    LUiRef<LView> hold(this);
    LCocoaView::sendCommand(this, Tag(), pWindow);
    // The level as help at the pointer, at the top of the control.
    char text[32];
    snprintf(text, sizeof text, "%d dB", level());
    LUiRect screen;
    if (tt && LCocoaViewScreenRect(this, screen)) {
        double px = screen.x;
        if (GdkDisplay* d = gdk_display_get_default())
            if (GdkSeat* seat = gdk_display_get_default_seat(d)) {
                int x = 0, y = 0;
                gdk_device_get_position(gdk_seat_get_pointer(seat), nullptr, &x, &y);
                px = x;
            }
        tt->setText(text);
        tt->moveToPoint(LUiPoint { px, screen.y + 40 }, true);
        tt->show();
    }
}

void LCocoaVolumeSliderImpl::setEnabled(bool enabled)
{
    for (LView* v : Subviews())
        v->SetEnabled(enabled);
    SetEnabled(enabled);
}
