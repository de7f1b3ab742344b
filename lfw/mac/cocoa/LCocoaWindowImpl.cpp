#include "lfw/mac/cocoa/LCocoaWindowImpl.h"

#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaButtonImpl.h"
#include "lfw/mac/cocoa/LCocoaWindow.h"

#include <algorithm>

namespace {

bool HasBars(unsigned style)
{
    return style & (kLUiWindowTitled | kLUiWindowResizable);
}

} // namespace

LCocoaWindowImpl::LCocoaWindowImpl(const LUiRect& contentRect, unsigned style)
    : LNativeWindow(contentRect, style, false)
{
    SetAcceptsFocus(canBecomeKeyWindow());
}

bool LCocoaWindowImpl::canBecomeKeyWindow() const
{
    return _enabled && HasBars(StyleMask());
}

void LCocoaWindowImpl::setEnabled(bool enabled)
{
    _enabled = enabled;
    SetAcceptsFocus(canBecomeKeyWindow());
}

LCocoaPanelImpl::LCocoaPanelImpl(const LUiRect& contentRect, unsigned style)
    : LNativeWindow(contentRect, style, true)
{
    SetAcceptsFocus(canBecomeKeyWindow());
}

bool LCocoaPanelImpl::canBecomeKeyWindow() const
{
    if (!_enabled)
        return false;
    if ((_autoCloseOnFocusLost || bIsKeyPanel) && !HasBars(StyleMask()))
        return _enabled;
    return HasBars(StyleMask());
}

void LCocoaPanelImpl::setAutoCloseOnFocusLost(bool close)
{
    _autoCloseOnFocusLost = close;
    SetAcceptsFocus(canBecomeKeyWindow());
}

LCocoaPanelImpl::~LCocoaPanelImpl()
{
    if (appActivationObserver)
        RemoveAppActivationObserver(appActivationObserver);
    if (fOwnGroup)
        g_object_unref(fOwnGroup);
}

void LCocoaPanelImpl::setEnabled(bool enabled)
{
    _enabled = enabled;
    SetAcceptsFocus(canBecomeKeyWindow());
}

void LCocoaPanelImpl::setFloatingPanel(bool floating)
{
    bFloating = floating;
    SetLevel(floating ? LUiWindowLevel::Floating : LUiWindowLevel::Normal);
    if (floating && !appActivationObserver) {
        appActivationObserver = AddAppActivationObserver(
            [](bool active, void* self) {
                auto* panel = static_cast<LCocoaPanelImpl*>(self);
                if (active)
                    panel->applicationWillBecomeActive();
                else
                    panel->applicationWillResignActive();
            },
            this);
    } else if (!floating && appActivationObserver) {
        RemoveAppActivationObserver(appActivationObserver);
        appActivationObserver = 0;
        wasVisible = false;
    }
}

void LCocoaPanelImpl::applicationWillResignActive()
{
    // Only while floating was asked for. (A panel in full screen would keep floating; there is
    // no full screen here.)
    if (!appActivationObserver)
        return;
    wasVisible = IsVisible();
    if (!wasVisible)
        return;
    bFloating = false;
    SetLevel(LUiWindowLevel::Normal);
}

void LCocoaPanelImpl::applicationWillBecomeActive()
{
    if (!appActivationObserver || !wasVisible)
        return;
    bFloating = true;
    SetLevel(LUiWindowLevel::Floating);
}

void LCocoaPanelImpl::setWorksWhenModal(bool works)
{
    bIsKeyPanel = works;
    SetAcceptsFocus(canBecomeKeyWindow());
    if (!Gtk())
        return;
    // A modal window blocks input to the windows of its group only: a panel in a group of its
    // own keeps working while another window runs modally.
    if (works && !fOwnGroup) {
        fOwnGroup = gtk_window_group_new();
        gtk_window_group_add_window(fOwnGroup, Gtk());
    } else if (!works && fOwnGroup) {
        gtk_window_group_remove_window(fOwnGroup, Gtk());
        g_object_unref(fOwnGroup);
        fOwnGroup = nullptr;
    }
}

void LCocoaNativeWindowSetEnabled(LNativeWindow* window, bool enabled)
{
    if (auto* w = dynamic_cast<LCocoaWindowImpl*>(window))
        w->setEnabled(enabled);
    else if (auto* p = dynamic_cast<LCocoaPanelImpl*>(window))
        p->setEnabled(enabled);
}

bool LCocoaNativeWindowIsEnabled(const LNativeWindow* window)
{
    if (auto* w = dynamic_cast<const LCocoaWindowImpl*>(window))
        return w->enabled();
    if (auto* p = dynamic_cast<const LCocoaPanelImpl*>(window))
        return p->enabled();
    return window != nullptr;
}

// --- content view ------------------------------------------------------------------------------

LCocoaWindowContentView::LCocoaWindowContentView(const LUiRect& frame, LCocoaWindow* window)
    : LCocoaViewBase(frame, window)
{
    SetOpaque(true);
}

bool LCocoaWindowContentView::IsEnabled() const
{
    LView* super = Superview();
    if (_isParentEmbeddedWindow && super && super->AnswersEnabled())
        return enabled && super->IsEnabled();
    return enabled;
}

void LCocoaWindowContentView::SetEnabled(bool yes)
{
    if (yes == enabled)
        return;
    enabled = yes;
    // Only the direct subviews: those already disabled are remembered and stay disabled.
    if (!yes) {
        arrDisabledChildren.clear();
        for (LView* child : Subviews()) {
            if (!child->AnswersEnabled())
                continue;
            if (!child->IsEnabled())
                arrDisabledChildren.emplace_back(child);
            else
                child->SetEnabled(false);
        }
    } else {
        for (LView* child : Subviews()) {
            if (!child->AnswersEnabled())
                continue;
            bool wasDisabled = std::any_of(arrDisabledChildren.begin(), arrDisabledChildren.end(),
                [child](const LUiRef<LView>& v) { return v.Get() == child; });
            if (!wasDisabled)
                child->SetEnabled(true);
        }
    }
    SetNeedsDisplay();
}

void LCocoaWindowContentView::setCurrentRadioButtonGroup(
    std::shared_ptr<LCocoaRadioButtonGroupImpl> group)
{
    if (!group)
        return;
    if (std::find(arrRBGroups.begin(), arrRBGroups.end(), group) == arrRBGroups.end())
        arrRBGroups.push_back(group);
    _currentRadioButtonGroup = group.get();
}

void LCocoaWindowContentView::Draw(cairo_t* cr, const LUiRect&)
{
    if (auto* background = reinterpret_cast<LCocoaPaintBackgroundBridge*>(
            uintptr_t(GetAssociatedValue(&kPaintBackgroundKey)))) {
        background->EvPaint(cr, Bounds());
        return;
    }
    LUiRect b = Bounds();
    if (!IsOpaque()) {
        cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
        cairo_rectangle(cr, 0, 0, b.width, b.height);
        cairo_fill(cr);
        return;
    }
    // The window's background colour, from the window's own style.
    GtkWidget* w = ExistingWidget();
    GtkWidget* top = w ? gtk_widget_get_toplevel(w) : nullptr;
    if (top && GTK_IS_WINDOW(top))
        gtk_render_background(gtk_widget_get_style_context(top), cr, 0, 0, b.width, b.height);
}

void LCocoaWindowContentView::FrameDidChange()
{
    // Radio button groups cover the whole content.
    for (auto& group : arrRBGroups)
        if (group && group->Superview() == this)
            group->SetFrame(Bounds());
    if (auto* background = reinterpret_cast<LCocoaPaintBackgroundBridge*>(
            uintptr_t(GetAssociatedValue(&kPaintBackgroundKey))))
        background->UpdateSizeAndPaint();
    if (bCallingRelayoutWindow)
        return;
    LCocoaWindow* window = lfwWindow();
    if (window && !window->IsRealWindow() && window->GetScrollView()) {
        bCallingRelayoutWindow = true;
        window->RelayoutWindow();
        bCallingRelayoutWindow = false;
    }
}
