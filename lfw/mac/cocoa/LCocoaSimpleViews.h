// Plain views the dialogs use: a progress bar (determinate, or pulsing while indeterminate), an
// icon, and a horizontal line.
#pragma once

#include "lfw/mac/cocoa/LCocoaViewBase.h"

#include <string>

class LCocoaProgressIndicatorImpl : public LCocoaViewBase {
public:
    LCocoaProgressIndicatorImpl(const LUiRect& frame, LCocoaWindow* window);
    // The fraction shown, 0 to 1 (values outside are clamped).
    void setDoubleValue(double fraction);
    double doubleValue() const { return fValue; }
    // Indeterminate: the bar pulses every 100 ms.
    void setIndeterminate(bool on);
    bool isIndeterminate() const { return fPulse != 0; }

protected:
    ~LCocoaProgressIndicatorImpl() override;
    GtkWidget* CreateWidget() override;
    AtkRole AccessibleRole() const override { return ATK_ROLE_PROGRESS_BAR; }

private:
    double fValue = 0;
    unsigned fPulse = 0;
};

class LCocoaImageViewImpl : public LCocoaViewBase {
public:
    LCocoaImageViewImpl(const LUiRect& frame, LCocoaWindow* window);
    // An icon of the theme by name, drawn to fill the view.
    void setIconName(const char* name);

protected:
    GtkWidget* CreateWidget() override;
    void FrameDidChange() override;

private:
    std::string fIconName;
};

class LCocoaHorizontalLineImpl : public LCocoaViewBase {
public:
    LCocoaHorizontalLineImpl(const LUiRect& frame, LCocoaWindow* window);

protected:
    GtkWidget* CreateWidget() override;
};
