// Sliders: the track bar (with a bubble tip of its value while the knob is dragged), a free
// scroll bar that reports every change, and the volume slider between two speaker icons.
#pragma once

#include "lfw/mac/cocoa/LCocoaControlImpl.h"

#include <functional>
#include <memory>

class LCocoaTooltipImpl;
class LCocoaImageControlImpl;

// The creation record of a track bar.
struct LTrackBarFlags {
    bool showToolTip = false;
};

// The knob's part of a track bar: where it was drawn and its value tip while it is dragged.
class LCocoaSliderCellImpl {
public:
    LCocoaSliderCellImpl();
    ~LCocoaSliderCellImpl();
    void startTracking() { bTracking = true; }
    void stopTracking();
    bool isTracking() const { return bTracking; }
    // Shows the value at the knob (only while tracking).
    void updatetooltip(class LCocoaTrackBarImpl* slider);
    LUiRect knobBounds() const { return _knobBounds; }
    void setKnobBounds(const LUiRect& r) { _knobBounds = r; }
    LCocoaTooltipImpl* tooltip() const { return sliderValueTooltip.get(); }

private:
    std::unique_ptr<LCocoaTooltipImpl> sliderValueTooltip;
    bool bTracking = false;
    LUiRect _knobBounds;
};

// Horizontal, or vertical when taller than wide (then the minimum is at the bottom).
class LCocoaTrackBarImpl : public LCocoaControlImpl {
public:
    LCocoaTrackBarImpl(const LUiRect& frame, LCocoaWindow* window);

    void setID(int id) { SetTag(id); }
    bool showToolTip() const { return fShowToolTip; }
    void setShowToolTip(bool show) { fShowToolTip = show; }
    void setMinValue(double v);
    void setMaxValue(double v);
    // Both ends at once (the range and its marks are set once).
    void setRange(double min, double max);
    double minValue() const { return fMin; }
    double maxValue() const { return fMax; }
    void setDoubleValue(double v);
    double doubleValue() const { return fValue; }
    bool isVertical() const { return Frame().height > Frame().width; }
    LCocoaSliderCellImpl& cell() { return fCell; }
    // The knob in the view's coordinates, as now laid out.
    LUiRect knobRect() const;
    // The slider's action (the value moved).
    void trackBarChanged();
    // Told of every move besides the window (a compound control's own slider).
    void setChangeObserver(std::function<void()> observer) { fObserver = std::move(observer); }

    AtkRole AccessibleRole() const override { return ATK_ROLE_SLIDER; }

protected:
    GtkWidget* CreateWidget() override;
    void FrameDidChange() override;

private:
    void UpdateMarks();
    GtkRange* Range() const { return ExistingWidget() ? GTK_RANGE(ExistingWidget()) : nullptr; }
    LCocoaSliderCellImpl fCell;
    bool fShowToolTip = false;
    double fMin = 0, fMax = 1, fValue = 0;
    // What the marks on the widget were made for: each mark is a node of GTK's own, made again
    // for all of them at every mark added.
    struct Marks {
        GtkWidget* widget = nullptr;
        double min = 0, max = 0;
        int side = 0;
    } fMarks;
    int fSetting = 0;
    bool fPressed = false;
    std::function<void()> fObserver;
};

class LCocoaScrollBarImpl : public LCocoaControlImpl {
public:
    LCocoaScrollBarImpl(const LUiRect& frame, LCocoaWindow* window);

    // Sets the id and makes changes send their command.
    void setID(int id);
    void scrollBarChanged();
    int minValue() const { return _minValue; }
    void setMinValue(int v) { _minValue = v; }
    int maxValue() const { return _maxValue; }
    void setMaxValue(int v) { _maxValue = v; }
    int thumbSize() const { return _thumbSize; }
    void setThumbSize(int v) { _thumbSize = v; }
    // The scroller's position (0 to 1) and knob proportion (0 to 1).
    void setDoubleValue(double v);
    double doubleValue() const;
    void setKnobProportion(double p);

    AtkRole AccessibleRole() const override { return ATK_ROLE_SCROLL_BAR; }

protected:
    GtkWidget* CreateWidget() override;

private:
    int _minValue = 0, _maxValue = 0, _thumbSize = 0;
    double fValue = 0, fProportion = 0.1;
    bool fActive = false;
    int fSetting = 0;
};

// A decibel slider between a minimum and a maximum icon.
class LCocoaVolumeSliderImpl : public LCocoaViewBase {
public:
    explicit LCocoaVolumeSliderImpl(const LUiRect& frame);

    void initializeControl(LCocoaWindow* window, int iconVolMin, int iconVolMax);
    void setID(int id) { SetTag(id); }
    int level() const;
    void setLevel(int level);
    int minLevel() const;
    void setMinLevel(int level);
    int maxLevel() const;
    void setMaxLevel(int level);
    void valueChanged();
    void setEnabled(bool enabled);
    int tag() const { return Tag(); }
    void setTag(int tag) { SetTag(tag); }
    LView* slider() const { return fSlider; }
    LCocoaImageControlImpl* viewVolMin() const { return fMinIcon; }
    LCocoaImageControlImpl* viewVolMax() const { return fMaxIcon; }
    LCocoaTooltipImpl* tip() const { return tt.get(); }

protected:
    ~LCocoaVolumeSliderImpl() override;
    void FrameDidChange() override;

private:
    void Layout();
    LView* fSlider = nullptr; // a subview
    LCocoaImageControlImpl* fMinIcon = nullptr;
    LCocoaImageControlImpl* fMaxIcon = nullptr;
    std::unique_ptr<LCocoaTooltipImpl> tt;
};
