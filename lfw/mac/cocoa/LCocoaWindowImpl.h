// The classes that carry a window on screen: the window and the panel (native windows with an
// enabled state), and the content view of every window, real or embedded.
#pragma once

#include "lfw/mac/cocoa/LCocoaViewBase.h"
#include "platform/ui/LNativeWindow.h"

#include <memory>
#include <vector>

class LCocoaRadioButtonGroupImpl;

// The key-equivalent rules of these windows (a plain space, a panel's text field keeping its
// Ctrl and Alt keys) live in LMacWindowManager::WindowPerformKeyEquivalent.
class LCocoaWindowImpl : public LNativeWindow {
public:
    LCocoaWindowImpl(const LUiRect& contentRect, unsigned style);

    // A disabled window cannot become the key window; nor can one without title or resize bar.
    bool enabled() const { return _enabled; }
    void setEnabled(bool enabled);
    bool canBecomeKeyWindow() const;
    // The same rule for becoming the application's main window.
    bool canBecomeMainWindow() const { return canBecomeKeyWindow(); }
    bool CanBecomeMainWindow() const override { return canBecomeMainWindow(); }

protected:
    ~LCocoaWindowImpl() override = default;

private:
    bool _enabled = true;
};

class LCocoaPanelImpl : public LNativeWindow {
public:
    LCocoaPanelImpl(const LUiRect& contentRect, unsigned style);

    bool enabled() const { return _enabled; }
    void setEnabled(bool enabled);
    // Never while disabled. A panel without title and resize bar becomes key only when it
    // closes on focus loss or works while modal; others when they have one of the bars.
    bool canBecomeKeyWindow() const;
    bool autoCloseOnFocusLost() const { return _autoCloseOnFocusLost; }
    void setAutoCloseOnFocusLost(bool close);
    // A floating panel stays above the application's other windows, but only while the
    // application is active: when it resigns, a visible floating panel drops to the normal level
    // (so it does not stay above other applications' windows) and floats again when the
    // application becomes active.
    void setFloatingPanel(bool floating);
    bool isFloatingPanel() const { return bFloating; }
    void applicationWillResignActive();
    void applicationWillBecomeActive();
    // A panel that works while another window runs modally (it gets input then).
    void setWorksWhenModal(bool works);
    bool worksWhenModal() const { return bIsKeyPanel; }

protected:
    ~LCocoaPanelImpl() override;

private:
    bool _enabled = true;
    bool _autoCloseOnFocusLost = false;
    bool bIsKeyPanel = false;
    bool bFloating = false;
    bool wasVisible = false;
    uintptr_t appActivationObserver = 0; // while floating was asked for
    GtkWindowGroup* fOwnGroup = nullptr;
};

// Enables or disables a window of either class.
void LCocoaNativeWindowSetEnabled(LNativeWindow* window, bool enabled);
bool LCocoaNativeWindowIsEnabled(const LNativeWindow* window);

// The content view of every window. Disabling it disables its direct subviews and remembers the
// ones that were disabled already, so that enabling again leaves those disabled.
class LCocoaWindowContentView : public LCocoaViewBase {
public:
    LCocoaWindowContentView(const LUiRect& frame, LCocoaWindow* window);

    bool IsEnabled() const override;
    void SetEnabled(bool enabled) override;
    bool isParentEmbeddedWindow() const { return _isParentEmbeddedWindow; }
    void setIsParentEmbeddedWindow(bool embedded) { _isParentEmbeddedWindow = embedded; }
    LCocoaRadioButtonGroupImpl* currentRadioButtonGroup() const { return _currentRadioButtonGroup; }
    // Ignores null; otherwise keeps the group and makes it the one new radio buttons join.
    void setCurrentRadioButtonGroup(std::shared_ptr<LCocoaRadioButtonGroupImpl> group);
    size_t radioButtonGroupCount() const { return arrRBGroups.size(); }

    void Draw(cairo_t* cr, const LUiRect& dirty) override;
    void FrameDidChange() override;

protected:
    ~LCocoaWindowContentView() override = default;

private:
    std::vector<LUiRef<LView>> arrDisabledChildren;
    bool bCallingRelayoutWindow = false;
    std::vector<std::shared_ptr<LCocoaRadioButtonGroupImpl>> arrRBGroups;
    bool enabled = true;
    bool _isParentEmbeddedWindow = false;
    LCocoaRadioButtonGroupImpl* _currentRadioButtonGroup = nullptr;
};
