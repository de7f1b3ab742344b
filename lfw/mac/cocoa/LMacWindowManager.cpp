#include "lfw/mac/cocoa/LMacWindowManager.h"

#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaButtonImpl.h"
#include "lfw/mac/cocoa/LCocoaInputUpDownImpl.h"
#include "lfw/mac/cocoa/LCocoaMenu.h"
#include "lfw/mac/cocoa/LCocoaPaintControlImpl.h"
#include "lfw/mac/cocoa/LCocoaPullDownListImpl.h"
#include "lfw/mac/cocoa/LCocoaSimpleControls.h"
#include "lfw/mac/cocoa/LCocoaToolbarImpl.h"
#include "lfw/mac/cocoa/LCocoaViewBase.h"
#include "lfw/mac/cocoa/LCocoaWindow.h"
#include "platform/ui/LModalLoop.h"
#include "platform/ui/LUiMenu.h"
#include "platform/ui/LUiSystem.h"
#include "platform/ui/LView.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

const char kCharacterSample[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// The Escape key as the framework's key value: key code 53 in the top byte.
constexpr uint32_t kEscapeKeyValue = 0x35000000;

} // namespace

LMacWindowManager::LMacWindowManager(LNativeWindow* window, LCocoaWindow* lfwWindow)
    : fWindow(window)
    , pWindow(lfwWindow)
{
    updateCharacterSize();
}

LMacWindowManager::~LMacWindowManager()
{
    StopObserving();
    if (fWindow && fWindow->Delegate() == this)
        fWindow->SetDelegate(nullptr);
}

float LMacWindowManager::CharWidthFromSample(double sampleWidth)
{
    return roundf(float(sampleWidth / 62.0));
}

void LMacWindowManager::updateCharacterSize()
{
    if (!fWindow)
        return;
    float size = float(LUiSystemFontSize());
    if (size != fSystemFontSizePoints || std::isnan(size) || std::isnan(fSystemFontSizePoints)) {
        fSystemFontSizePoints = size;
        double w = 0, h = 0;
        LUiMeasureText(kCharacterSample, nullptr, size, false, w, h);
        fCharWidthPoints = CharWidthFromSample(w);
        fCharHeightPoints = roundf(float(h));
    }
    if (!fWindow->IsClosed() && LUiIsAvailable()) {
        float scale = float(fWindow->BackingScale());
        fCharWidthPixels = fCharWidthPoints * scale;
        fCharHeightPixels = fCharHeightPoints * scale;
    }
    if (pWindow)
        pWindow->SetCharacterMetrics(
            fCharWidthPixels, fCharHeightPixels, fCharWidthPoints, fCharHeightPoints);
    for (LCocoaWindow* embedded : arrEmbeddedWindows)
        if (embedded)
            embedded->SetCharacterMetrics(
                fCharWidthPixels, fCharHeightPixels, fCharWidthPoints, fCharHeightPoints);
}

void LMacWindowManager::closeWindow()
{
    LUiRef<LMacWindowManager> hold(this);
    StopObserving();
    pWindow = nullptr;
    pResizableHandler = nullptr;
    if (!fWindow)
        return;
    for (LNativeWindow* child : std::vector<LNativeWindow*>(fWindow->ChildWindows()))
        fWindow->RemoveChildWindow(child);
    fWindow->SetContentView(nullptr);
    fWindow->Close();
}

void LMacWindowManager::relayoutControls()
{
    if (pResizableHandler && pWindow)
        pResizableHandler->RelayoutControls(*pWindow);
}

void LMacWindowManager::addEmbeddedWindow(LCocoaWindow* window)
{
    arrEmbeddedWindows.push_back(window);
}

void LMacWindowManager::removeEmbeddedWindow(LCocoaWindow* window)
{
    auto it = std::find(arrEmbeddedWindows.begin(), arrEmbeddedWindows.end(), window);
    if (it != arrEmbeddedWindows.end())
        arrEmbeddedWindows.erase(it);
}

void LMacWindowManager::cancel()
{
    LUiRef<LMacWindowManager> hold(this);
    if (pWindow) {
        auto* content = dynamic_cast<LCocoaViewBase*>(pWindow->GetContentView());
        if (content && content->keyHandler()
            && content->keyHandler()->EvKeyDownValue(kEscapeKeyValue))
            return;
    }
    if (_closeWindowByEsc && pWindow)
        pWindow->SendCommand(kLCmdCancel);
}

void LMacWindowManager::showWindow()
{
    if (fWindow)
        fWindow->MakeKeyAndOrderFront();
}

bool LMacWindowManager::WindowShouldClose(LNativeWindow& window)
{
    LUiRef<LMacWindowManager> hold(this);
    if (!pWindow)
        return true;
    window.MakeKeyAndOrderFront();
    if (!pWindow->CmCancel())
        return false;
    if (pWindow)
        pWindow->Close();
    return true;
}

void LMacWindowManager::WindowWillClose(LNativeWindow&)
{
    StopObserving();
}

void LMacWindowManager::handleAppActivation(int command)
{
    SetAssociatedValue(&kLHandleCommandActivateApp, uint64_t(int64_t(command)));
    ObserveAppActivation();
}

void LMacWindowManager::handleAppDeactivation(int command)
{
    SetAssociatedValue(&kLHandleCommandDeactivateApp, uint64_t(int64_t(command)));
    ObserveAppActivation();
}

void LMacWindowManager::ObserveAppActivation()
{
    if (fAppActivationObserver)
        return;
    fAppActivationObserver = LNativeWindow::AddAppActivationObserver(
        [](bool active, void* data) {
            auto* self = static_cast<LMacWindowManager*>(data);
            LUiRef<LMacWindowManager> hold(self);
            int cmd = int(self->GetAssociatedValue(
                active ? &kLHandleCommandActivateApp : &kLHandleCommandDeactivateApp));
            if (cmd && self->pWindow)
                self->pWindow->SendCommand(cmd);
        },
        this);
}

void LMacWindowManager::StopObserving()
{
    if (fAppActivationObserver) {
        LNativeWindow::RemoveAppActivationObserver(fAppActivationObserver);
        fAppActivationObserver = 0;
    }
}

void LMacWindowManager::WindowDidBecomeKey(LNativeWindow&)
{
    LUiRef<LMacWindowManager> hold(this);
    if (!pWindow)
        return;
    pWindow->EvWindowDidBecomeKey();
    if (pWindow)
        if (int cmd = int(GetAssociatedValue(&kLHandleCommandActiveWindow)))
            pWindow->SendCommand(cmd);
}

void LMacWindowManager::WindowDidResignKey(LNativeWindow&)
{
    LUiRef<LMacWindowManager> hold(this);
    if (pWindow) {
        pWindow->EvWindowDidResignKey();
        if (pWindow)
            if (int cmd = int(GetAssociatedValue(&kLHandleCommandDeactiveWindow)))
                pWindow->SendCommand(cmd);
    }
    LCocoaMouseCaptureImpl::sharedMouseCapture().releaseCapture();
}

void LMacWindowManager::WindowDidResize(LNativeWindow& window, const LUiRect& previousFrame)
{
    LUiRef<LMacWindowManager> hold(this);
    if (pResizableHandler) {
        rcPreviousFrame = previousFrame;
        pResizableHandler->EvWindowDidResize(window, rcPreviousFrame);
    }
    if (pWindow)
        pWindow->BubbleTipFollow();
}

void LMacWindowManager::WindowDidMove(LNativeWindow&)
{
    if (pWindow)
        pWindow->BubbleTipFollow();
}

void LMacWindowManager::WindowWillMiniaturize(LNativeWindow& window)
{
    LUiRef<LMacWindowManager> hold(this);
    if (pWindow) {
        pWindow->BubbleTipHide();
        pWindow->EvHide();
    }
    if (pResizableHandler)
        pResizableHandler->EvWindowWillMiniaturize(window);
}

void LMacWindowManager::WindowDidDeminiaturize(LNativeWindow&)
{
    if (pWindow)
        pWindow->EvShow();
}

bool LMacWindowManager::WindowShouldZoom(LNativeWindow& window)
{
    return pResizableHandler ? pResizableHandler->EvWindowShouldZoom(window) : true;
}

namespace {

// The views of the window from the top: its content, a view in its title bar and its toolbar.
std::vector<LUiRef<LView>> WindowViews(LNativeWindow& window)
{
    std::vector<LUiRef<LView>> out;
    std::vector<LView*> pending;
    for (LView* top : { window.ContentView(), window.TitlebarView(),
             window.Toolbar() ? LView::FromWidget(window.Toolbar()) : nullptr })
        if (top)
            pending.push_back(top);
    for (size_t i = 0; i < pending.size(); ++i) {
        out.emplace_back(pending[i]);
        for (LView* child : pending[i]->Subviews())
            pending.push_back(child);
    }
    return out;
}

} // namespace

void LMacWindowManager::WindowDidChangeScale(LNativeWindow& window)
{
    LUiRef<LMacWindowManager> hold(this);
    updateCharacterSize();
    LayOutAfresh(window, false);
}

void LMacWindowManager::WindowDidChangeTextSize(LNativeWindow& window)
{
    LUiRef<LMacWindowManager> hold(this);
    updateCharacterSize();
    LayOutAfresh(window, true);
}

void LMacWindowManager::LayOutAfresh(LNativeWindow& window, bool textSize)
{
    if (!pWindow)
        return;
    // The window is laid out as a fresh one at the new scale or text size: every pane in it
    // takes the new character cell, every painted control and every pane its measures, from the
    // top down (a pane's measures may depend on its controls'), then the window lays itself out
    // and is painted whole (the native window fits itself to its screen once it has its new
    // size).
    const std::vector<LUiRef<LView>> views = WindowViews(window);
    std::vector<LCocoaWindow*> panes;
    for (const LUiRef<LView>& view : views) {
        LCocoaWindow* pane = LCocoaWindow::GetThisProperty(view.Get());
        if (pane && pane != pWindow && std::find(panes.begin(), panes.end(), pane) == panes.end())
            panes.push_back(pane);
    }
    for (LCocoaWindow* pane : panes)
        pane->SetCharacterMetrics(
            fCharWidthPixels, fCharHeightPixels, fCharWidthPoints, fCharHeightPoints);
    if (textSize) {
        // What was sized for the text when the windows were made, the panes' first (a window's
        // size may follow its panes').
        for (const LUiRef<LView>& view : views) {
            if (!pWindow)
                return;
            LCocoaWindow* pane = LCocoaWindow::GetThisProperty(view.Get());
            if (pane && pane != pWindow && pane->GetContentView() == view.Get())
                pane->EvTextSizeChanged();
        }
        if (!pWindow)
            return;
        pWindow->EvTextSizeChanged();
        if (auto* bar = LCocoaToolbarImpl::fromWidget(window.Toolbar()))
            bar->textSizeChanged();
    }
    for (const LUiRef<LView>& view : views) {
        if (!pWindow)
            return;
        if (auto* host = dynamic_cast<LCocoaPaintControlImpl*>(view.Get()))
            if (LCocoaPaintControlBridge* control = host->paintControl())
                control->EvBackingScaleChanged();
    }
    for (const LUiRef<LView>& view : views) {
        if (!pWindow)
            return;
        // Looked up again: a pane that went meanwhile is not called.
        LCocoaWindow* pane = LCocoaWindow::GetThisProperty(view.Get());
        if (pane && pane != pWindow && pane->GetContentView() == view.Get())
            pane->EvBackingScaleChanged();
    }
    if (!pWindow)
        return;
    pWindow->EvBackingScaleChanged();
    if (LView* content = pWindow ? pWindow->GetContentView() : nullptr)
        content->NotifySubviewsFrameChanged();
    if (auto hook = LCocoaWindowHooksGet().scaleFactorChanged; hook && pWindow)
        hook(*pWindow);
    if (pResizableHandler && pWindow)
        pResizableHandler->RelayoutControls(*pWindow);
    // A tip that shows goes with what it points at.
    if (pWindow)
        pWindow->BubbleTipFollow();
    if (pWindow)
        pWindow->RedrawWindow();
    window.SetNeedsDisplay();
}

bool LMacWindowManager::WindowCancel(LNativeWindow&)
{
    cancel();
    return true;
}

bool LMacWindowManager::WindowPerformKeyEquivalent(LNativeWindow& window, const LUiEvent& event)
{
    LUiRef<LMacWindowManager> hold(this);
    // A pull-down list with the focus takes its own keys (Space, Return and Alt+Down open it,
    // the arrows choose) before a default button or the window's menus.
    if (auto* list = dynamic_cast<LCocoaPullDownListImpl*>(window.FirstResponder());
        list && list->keyDownWithFocus(event))
        return true;
    // A space without modifiers is never a key equivalent (no menu or button shortcut takes it):
    // it goes to the focused control alone. One that does not take the key itself is pressed
    // with it, as GTK's windows do (a button, a check box).
    constexpr uint32_t kModifiers = kLUiShift | kLUiControl | kLUiAlt | kLUiSuper | kLUiCapsLock;
    if (event.keyval == GDK_KEY_space && !(event.modifiers & kModifiers)) {
        if (!window.PropagateKeyToFocus(event) && window.Gtk())
            gtk_window_activate_focus(window.Gtk());
        return true;
    }
    // Return in a number field takes the typed number first (the field reports it at once) and
    // then presses the default button, as Return does from any other field.
    if (event.keyval == GDK_KEY_Return || event.keyval == GDK_KEY_KP_Enter
        || event.keyval == GDK_KEY_ISO_Enter)
        for (LView* v = window.FirstResponder(); v; v = v->Superview())
            if (auto* input = dynamic_cast<LCocoaInputUpDownImpl*>(v);
                input && input->performKeyEquivalent(event)) {
                LUiRef<LNativeWindow> keep(&window);
                if (pWindow && !window.IsClosed() && !(event.modifiers & kModifiers))
                    LCocoaButtonImpl::performKeyEquivalentInView(window.ContentView(), event);
                return true;
            }
    // Return on a link, a painted control that has the focus and answers it (a command link, a
    // list that presses its entry), a toolbar's button or a push button is theirs, as a click,
    // before the default button's. Only from controls that do not take Return themselves (check
    // boxes, radio buttons, fields) it goes on to the default button.
    if ((event.keyval == GDK_KEY_Return || event.keyval == GDK_KEY_KP_Enter
            || event.keyval == GDK_KEY_ISO_Enter)
        && !(event.modifiers & kModifiers)) {
        LView* focused = window.FirstResponder();
        if (auto* button = dynamic_cast<LCocoaButtonImpl*>(focused); button && button->takesReturn()
            && button->IsEnabled() && !button->IsHiddenOrHasHiddenAncestor()) {
            // Held down, the key presses the button once.
            if (!event.isRepeat)
                button->performClick();
            return true;
        }
        if (auto* link = dynamic_cast<LCocoaHyperLinkImpl*>(focused)) {
            link->mouseDown();
            return true;
        }
        if (auto* painted = dynamic_cast<LCocoaPaintControlImpl*>(focused);
            painted && painted->KeyDown(event))
            return true;
        if (auto* tool = dynamic_cast<LCocoaToolbarButton*>(focused); tool && tool->KeyDown(event))
            return true;
        // From a check box or a radio button Return is the window's default answer, never a
        // click on the box: its default button, else what the window gives instead.
        if (auto* box = dynamic_cast<LCocoaButtonImpl*>(focused); box && !box->takesReturn()) {
            if (LCocoaButtonImpl::performKeyEquivalentInView(window.ContentView(), event))
                return true;
            if (pWindow && !event.isRepeat && pWindow->EvDefaultKey())
                return true;
        }
    }
    // Return and Escape belong to the buttons that carry them as key equivalents (OK, Cancel),
    // wherever the focus is.
    if (LCocoaButtonImpl::performKeyEquivalentInView(window.ContentView(), event))
        return true;
    // The item keys of the window's pull-down lists.
    if (LCocoaPullDownListImpl::performKeyEquivalentInView(window.ContentView(), event))
        return true;
    // The focused view and its ancestors first.
    for (LView* v = window.FirstResponder(); v; v = v->Superview())
        if (auto* base = dynamic_cast<LCocoaViewBase*>(v);
            base && base->performKeyEquivalent(event))
            return true;
    // In a panel, a text field or text view being edited keeps its Ctrl and Alt keys from the
    // menus: they go to it alone.
    if (window.IsPanel() && (event.modifiers & (kLUiControl | kLUiAlt))) {
        GtkWidget* focus = window.FocusWidget();
        if (focus && (GTK_IS_EDITABLE(focus) || GTK_IS_TEXT_VIEW(focus))) {
            window.PropagateKeyToFocus(event);
            return true;
        }
    }
    // The main menu's shortcuts work from every window while nothing modal runs, as a global
    // menu bar's do. A key without Ctrl, Alt or Super stays with a field being edited.
    if (LModalCounter::Count() == 0 && LUiMenu::ApplicationMenu()) {
        GtkWidget* focus = window.FocusWidget();
        bool editing = focus && (GTK_IS_EDITABLE(focus) || GTK_IS_TEXT_VIEW(focus));
        if (!(editing && !(event.modifiers & (kLUiControl | kLUiAlt | kLUiSuper)))
            && LCocoaMenuImpl::performKeyEquivalent(LUiMenu::ApplicationMenu(), event))
            return true;
    }
    return false;
}
