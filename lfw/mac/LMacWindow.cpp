#include "lfw/mac/LMacWindow.h"

#include "lfw/gen/LCharSet.h"
#include "lfw/mac/LScrollView.h"
#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaButtonImpl.h"
#include "lfw/mac/cocoa/LCocoaOutlineViewImpl.h"
#include "lfw/mac/cocoa/LCocoaTabViewImpl.h"
#include "lfw/mac/cocoa/LCocoaTooltipImpl.h"
#include "lfw/mac/cocoa/LCocoaViewBase.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "lfw/mac/cocoa/LCocoaWindowImpl.h"
#include "lfw/mac/cocoa/LMacWindowManager.h"
#include "platform/ui/LModalLoop.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LRunLoop.h"
#include "platform/ui/LUiSystem.h"
#include "platform/ui/LView.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<std::pair<LMacWindowDestroyObserver, void*>>& DestroyObservers()
{
    static std::vector<std::pair<LMacWindowDestroyObserver, void*>> observers;
    return observers;
}

// A rectangle aligned on the device pixels of a screen of the scale.
LUiRect BackingAligned(const LUiRect& r, double scale)
{
    auto a = [scale](double v) { return std::round(v * scale) / scale; };
    double x = a(r.x), y = a(r.y);
    return LUiRect { x, y, a(r.x + r.width) - x, a(r.y + r.height) - y };
}

LMacWindow* WindowOfView(LView* view)
{
    return dynamic_cast<LMacWindow*>(LCocoaWindow::GetThisProperty(view));
}

LMacWindow* ParentWindowOf(LView* view)
{
    if (!view)
        return nullptr;
    return dynamic_cast<LMacWindow*>(reinterpret_cast<LCocoaWindow*>(
        uintptr_t(view->GetAssociatedValue(&kAssociatedParentLWindowKey))));
}

bool ViewInSuperview(LView* view)
{
    return view && (view->Superview() || view->Window());
}

} // namespace

LMacWindow::LMacWindow()
{
    LScrollView::InstallHooks();
    LUiScreen screen;
    float scale = LUiMainScreen(screen) ? float(screen.scale) : 1.0f;
    SetCharacterMetrics(8 * scale, 17 * scale, 8, 17);
    LMacWindowInstallServices();
}

LMacWindow::~LMacWindow()
{
    delete fBubbleTip;
}

LNativeWindow* LMacWindow::ContentWindow() const
{
    LView* view = GetContentView();
    return view ? view->Window() : nullptr;
}

// --- creation ----------------------------------------------------------------------------------

void LMacWindow::CreateCocoaWindow(
    int widthPixels, int heightPixels, unsigned long styleMask, bool panel, LView* parentView)
{
    if (!LUiInit())
        return; // no display: no window
    fFontsTextScale = TextScale();
    if (widthPixels == 0)
        widthPixels = 1;
    if (heightPixels == 0)
        heightPixels = 1;
    LUiScreen screen;
    bool haveScreen = false;
    if (LNativeWindow* pw = parentView ? parentView->Window() : nullptr)
        haveScreen = pw->Screen(screen);
    if (!haveScreen)
        haveScreen = LUiMainScreen(screen);
    double scale = haveScreen && screen.scale > 0 ? screen.scale : 1.0;
    double w = widthPixels / scale, h = heightPixels / scale;

    // Centred in the screen's visible frame, on whole device pixels.
    LUiRect rect { 0, 0, w, h };
    if (haveScreen) {
        const LUiRect& v = screen.visibleFrame;
        rect.x = v.x + v.width / 2 - w / 2;
        rect.y = v.y + v.height / 2 - h / 2;
        rect = BackingAligned(rect, scale);
    }

    fPanel = panel;
    LNativeWindow* native;
    if (panel) {
        auto* p = new LCocoaPanelImpl(rect, unsigned(styleMask));
        p->setEnabled(true);
        native = p;
    } else {
        auto* win = new LCocoaWindowImpl(rect, unsigned(styleMask));
        win->setEnabled(true);
        native = win;
    }
    fWindow = native;

    fManager = new LMacWindowManager(native, this);
    native->SetDelegate(fManager);
    // The manager keeps the window; it goes when the manager goes after closing.
    native->Release();

    auto* content = new LCocoaWindowContentView(LUiRect { 0, 0, rect.width, rect.height }, this);
    content->setIsParentEmbeddedWindow(false);
    native->SetContentView(content);
    SetContentViewField(content);
    content->Release();

    SetThisProperty(content, this);
    fRealWindow = true;
    content->SetAssociatedValue(&kAssociatedParentWindowHandleKey, uint64_t(uintptr_t(parentView)));
    if (!parentView)
        content->RemoveAssociatedValue(&kAssociatedParentWindowHandleKey);
    fManager->updateCharacterSize();
}

LView* LMacWindow::CreateEmbeddedWindow(
    LWindow& host, bool horizontalScroller, bool verticalScroller)
{
    LView* hostView = host.GetContentView();
    if (!hostView)
        return nullptr;
    auto* content = new LCocoaWindowContentView(LUiRect {}, this);
    content->setIsParentEmbeddedWindow(!(horizontalScroller || verticalScroller));
    LView* added = content;
    if (horizontalScroller || verticalScroller) {
        if (auto make = LCocoaWindowHooksGet().createEmbeddedScrollView)
            if (LView* scroll = make(*this, content, horizontalScroller, verticalScroller))
                added = scroll;
        if (added == content)
            content->setIsParentEmbeddedWindow(true);
    }
    hostView->AddSubview(added);
    if (added != content)
        added->Release();
    content->Release(); // held by its superview (directly or through the scroll view)
    return content;
}

void LMacWindow::SetContentView(LView* view)
{
    if (LView* old = GetContentView(); old && old != view && GetThisProperty(old) == this)
        SetThisProperty(old, nullptr);
    SetContentViewField(view);
    if (view)
        SetThisProperty(view, this);
}

void LMacWindow::SetParent(LWindow* parent)
{
    LView* view = GetContentView();
    if (!view)
        return;
    if (parent) {
        view->SetAssociatedValue(
            &kAssociatedParentLWindowKey, uint64_t(uintptr_t(static_cast<LCocoaWindow*>(parent))));
        if (LView* pv = parent->GetContentView())
            view->SetAssociatedValue(&kAssociatedParentWindowHandleKey, uint64_t(uintptr_t(pv)));
        else
            view->RemoveAssociatedValue(&kAssociatedParentWindowHandleKey);
    } else {
        view->RemoveAssociatedValue(&kAssociatedParentLWindowKey);
        view->RemoveAssociatedValue(&kAssociatedParentWindowHandleKey);
    }
}

LWindow* LMacWindow::GetRealParent() const
{
    LNativeWindow* window = ContentWindow();
    return window ? WindowOfView(window->ContentView()) : nullptr;
}

// --- showing and running -----------------------------------------------------------------------

void LMacWindow::InitCommon(LCocoaDialogCenterMode mode, bool show)
{
    fCentringDone = 0;
    InitDialog();
    PostCommand(kLCmdWindowReady);
    if (fCentringDone == 0) {
        if (mode == kLCocoaDialogCenterScreen)
            CenterDialog();
        else if (mode == kLCocoaDialogCenterParent)
            CenterToParent();
    }
    // A window shows inside the work area of its monitor (and is fitted again by its native
    // window once a window manager's frame is known).
    if (LNativeWindow* w = ContentWindow(); w && fRealWindow)
        w->FitToWorkArea();
    EnableControls();
    fInitialised = true;
    if (fManager)
        fManager->relayoutControls();
    if (LNativeWindow* w = ContentWindow(); w && fRealWindow)
        w->FocusFirstKeyView();
    if (!IsWindowVisible())
        ShowWindow(show);
    // Return, which a focused button takes, answers a window just opened as its default button
    // does (its first focus is known once it shows).
    if (LNativeWindow* w = ContentWindow(); w && fRealWindow)
        LCocoaButtonImpl::focusDefaultButtonFirst(*w);
}

LView* LMacWindow::EmbeddedTarget() const
{
    return (fEmbeddedInHost || fEmbeddedInHostAlt) ? fHostView : GetContentView();
}

void LMacWindow::ShowWindow(bool show)
{
    if (!fRealWindow && fHostScrollView) {
        LView* target = EmbeddedTarget();
        if (!target)
            return;
        bool wasHidden = target->IsHidden();
        target->SetHidden(!show);
        if (show && wasHidden)
            if (auto hook = LCocoaWindowHooksGet().updateChildViewTooltips)
                hook(target);
        if (show)
            target->SetNeedsDisplay();
        return;
    }
    if (!show) {
        // A window in full screen leaves it first; one that is leaving it hides once it has.
        if (IsWindowInFullScreen() && fManager)
            fManager->toggleFullScreen();
        if (fManager && fManager->isWindowTogglingFullScreen()) {
            fManager->hideWindowOnExitingFullScreen();
            return;
        }
        if (fWindow)
            fWindow->OrderOut();
    } else if (fManager) {
        fManager->showWindow();
    }
}

bool LMacWindow::RunModal(LWindow* parent, LCocoaDialogCenterMode mode)
{
    SetParent(parent);
    if (fWindow)
        fWindow->SetLevel(LUiWindowLevel::ModalPanel);
    // The dialog belongs to the window it was opened from (without one, to the innermost modal
    // window): it is made transient for that window before it is first shown, so that a window
    // manager puts it above that window from the start and keeps it there.
    LNativeWindow* parentWindow = nullptr;
    if (parent) {
        if (!parent->IsWindowEnabled() || !parent->IsWindowVisible())
            parent->ShowWindow(true);
        parentWindow = parent->ContentWindow();
    }
    if (!parentWindow)
        parentWindow = LModalLoop::ModalWindow();
    if (parentWindow == fWindow || (parentWindow && parentWindow->IsClosed()))
        parentWindow = nullptr;
    if (parentWindow && fWindow)
        parentWindow->AddChildWindow(fWindow);
    InitCommon(mode, true);
    if (fManager)
        fManager->setCloseWindowByEsc(true);
    // The keys go to the modal window at once, and its first key acts on the control that has
    // the focus: the focus shows from the start, not only once a key has been used.
    if (LNativeWindow* w = ContentWindow(); w && fRealWindow)
        w->SetFocusVisible(true);

    int code = kLCmdCancel;
    // A window closed before the loop starts (in InitDialog, say) is already torn down: no loop
    // and no change to the menus.
    LNativeWindow* window = ContentWindow();
    if (!fClosed && window && !window->IsClosed()) {
        fModalRunning = true;
        LModalCounter::Enter();
        LUiRef<LNativeWindow> hold(window);
        code = LModalLoop::Run(window, kLCmdCancel);
        // Also when the run was ended another way (its window destroyed underneath it).
        fModalRunning = false;
        LModalCounter::Leave();
    }
    if (parentWindow && fWindow)
        parentWindow->RemoveChildWindow(fWindow);
    DestroyCommon();
    return code == kLCmdOk;
}

bool LMacWindow::RunFloating(LWindow* parent, LCocoaDialogCenterMode mode, bool show)
{
    SetParent(parent);
    if (auto* panel = dynamic_cast<LCocoaPanelImpl*>(fWindow))
        panel->setFloatingPanel(true);
    InitCommon(mode, show);
    LNativeWindow* parentWindow = parent ? parent->ContentWindow() : nullptr;
    if (parentWindow && parentWindow->Level() == LUiWindowLevel::ModalPanel) {
        if (auto* panel = dynamic_cast<LCocoaPanelImpl*>(fWindow))
            panel->setWorksWhenModal(true);
        if (fWindow)
            parentWindow->AddChildWindow(fWindow);
    }
    if (fManager)
        fManager->setCloseWindowByEsc(true);
    // Still open: not closing, and not already torn down by a close in InitDialog.
    return !fClosed && GetContentView();
}

void LMacWindow::Close(int code)
{
    fClosed = true;
    LMacWindow* realParent = GetRealParent();
    // An embedded page ends the modal run of the window it is in.
    LMacWindow* runner = realParent && !fRealWindow ? realParent : this;
    if (!runner->fModalRunning) {
        DestroyCommon();
        return;
    }
    // The run of that window, which need not be the innermost one.
    LModalLoop::StopWindow(runner->ContentWindow(), code);
    runner->fModalRunning = false;
}

void LMacWindow::DestroyCommon()
{
    BubbleTipHide();
    LMacWindow* parent = nullptr;
    if (LView* view = GetContentView()) {
        LUiRef<LView> hold(view);
        LNativeWindow* window = view->Window();
        if (window)
            window->MakeFirstResponder(nullptr); // pending edits commit
        if (IsCaptured())
            LCocoaMouseCaptureImpl::sharedMouseCapture().releaseCapture();
        DestroyDialog();
        for (auto [observer, data] :
            std::vector<std::pair<LMacWindowDestroyObserver, void*>>(DestroyObservers()))
            observer(fRealWindow ? fWindow : nullptr, data);
        if (auto hook = LCocoaWindowHooksGet().destroyPaintControls)
            hook(*this);
        parent = ParentWindowOf(GetContentView());
        if (LView* cv = GetContentView(); cv && GetThisProperty(cv) == this)
            SetThisProperty(cv, nullptr);
    }
    SetParent(nullptr);
    if (fManager) {
        LMacWindowManager* manager = fManager;
        fManager = nullptr;
        manager->closeWindow();
        manager->Release();
    }
    SetContentViewField(nullptr);
    fClosed = false;
    fWindow = nullptr;
    if (parent && ViewInSuperview(parent->GetContentView()) && !parent->fClosed)
        LCocoaNativeWindowSetEnabled(parent->ContentWindow(), true);
}

// --- commands ----------------------------------------------------------------------------------

void LMacWindow::Command(int id, int)
{
    // A window may close and delete itself in what a command runs (CmCancel, an overridden
    // Close): it is touched afterwards only when its content view still names it.
    LUiRef<LView> content(GetContentView());
    switch (id) {
    case kLCmdToggleToolbar:
        if (LNativeWindow* window = ContentWindow(); window && fWindow)
            window->SetToolbarVisible(!fWindow->IsToolbarVisible());
        break;
    case kLCmdHelp:
        CmHelp();
        return;
    case kLCmdCancel:
        if (CmCancel())
            Close(kLCmdCancel);
        break;
    case kLCmdOk: {
        // The focused field commits its text first. Should the window stay open (the print
        // panel cancelled, a value refused), the keyboard goes back where it was.
        LUiRef<LNativeWindow> window(ContentWindow());
        LUiRef<LView> focused(window ? window->FirstResponder() : nullptr);
        if (window)
            window->MakeFirstResponder(nullptr);
        if (CmOk()) {
            Close(kLCmdOk);
        } else if (LCocoaView::isStillWindowOf(content.Get(), this) && window && focused
            && !window->IsClosed() && !window->FirstResponder() && focused->Window() == window.Get()
            && !focused->IsHiddenOrHasHiddenAncestor()
            // A list given the keyboard without a row under its cursor selects its first row
            // (GTK's way): it is left without the keyboard rather than given a selection.
            && !dynamic_cast<LCocoaOutlineViewImpl*>(focused.Get())) {
            window->MakeFirstResponder(focused.Get());
        }
        break;
    }
    case kLCmdWindowReady:
        EvWindowReady();
        if (LCocoaView::isStillWindowOf(content.Get(), this) && fRealWindow)
            _WriteTestControlRectangles();
        break;
    default:
        break;
    }
    if (LCocoaView::isStillWindowOf(content.Get(), this) && IsWindowVisible())
        EnableControls();
}

namespace {

// The X window whose controls' places the file holds.
unsigned long gTestRectanglesWindow = 0;

} // namespace

void LMacWindow::ControlsLaidOut()
{
    LNativeWindow* window = ContentWindow();
    if (fRealWindow && window && gTestRectanglesWindow
        && window->XWindowId() == gTestRectanglesWindow)
        _WriteTestControlRectangles();
}

void LMacWindow::_WriteTestControlRectangles()
{
    // Tests of the whole program name a file in VT_TEST_RECTANGLES_FILE: a window that became
    // ready writes "<file>.dialog", its title, "window <X window id>" and one line
    // "control <id> x y width height" per control that shows (a hidden panel's are left out),
    // one line "tab <index> x y width height" per tab of a tab view that shows and a last line
    // "client 0 0 0 width height" with the window's client area, once it has
    // been laid out (and again after each new layout while the file is its own), so that a test
    // clicks its controls and tabs. The places are pixels of the X window, not of the screen:
    // a window manager may still be placing the window while this is written.
    const char* file = std::getenv("VT_TEST_RECTANGLES_FILE");
    if (!file || !*file)
        return;
    LUiRef<LView> content(GetContentView());
    std::string path = std::string(file) + ".dialog";
    LRunLoop::Post([this, content, path] {
        if (!content || !LCocoaView::isStillWindowOf(content.Get(), this))
            return;
        LNativeWindow* window = ContentWindow();
        if (!window)
            return;
        gTestRectanglesWindow = window->XWindowId();
        std::string text = "title " + window->Title() + "\n";
        text += "window " + std::to_string(window->XWindowId()) + "\n";
        const double scale = GetBackingScaleFactor();
        const double top = window->TopSlotsHeight();
        std::vector<LView*> pending { content.Get() };
        while (!pending.empty()) {
            LView* view = pending.back();
            pending.pop_back();
            if (view != content.Get() && view->IsHidden())
                continue;
            for (LView* child : view->Subviews())
                pending.push_back(child);
            // The tabs of a tab view that show, by their index: "tab <index> x y width height".
            if (auto* tabs = dynamic_cast<LCocoaTabViewImpl*>(view))
                for (int i = 0; i < tabs->count(); ++i) {
                    const LUiRect t = tabs->tabLabelFrame(i);
                    if (t.width <= 0 || t.height <= 0)
                        continue;
                    const LUiPoint p = view->ConvertToRoot(LUiPoint { t.x, t.y });
                    text += "tab " + std::to_string(i) + " "
                        + std::to_string(int(std::lround(p.x * scale))) + " "
                        + std::to_string(int(std::lround((p.y + top) * scale))) + " "
                        + std::to_string(int(t.width * scale)) + " "
                        + std::to_string(int(t.height * scale)) + "\n";
                }
            if (view == content.Get() || view->Tag() <= 0)
                continue;
            const LUiPoint p = view->ConvertToRoot(LUiPoint {});
            text += "control " + std::to_string(view->Tag()) + " "
                + std::to_string(int(std::lround(p.x * scale))) + " "
                + std::to_string(int(std::lround((p.y + top) * scale))) + " "
                + std::to_string(int(view->Frame().width * scale)) + " "
                + std::to_string(int(view->Frame().height * scale)) + "\n";
        }
        // Last, the client area itself (menu bar, toolbar and content, pixels of the window):
        // "client 0 0 0 width height", for what is told of no X window (Wayland).
        const LUiSize size = window->ContentSize();
        text += "client 0 0 0 " + std::to_string(int(std::lround(size.width * scale))) + " "
            + std::to_string(int(std::lround((size.height + top) * scale))) + "\n";
        std::string temporary = path + ".tmp";
        if (FILE* f = std::fopen(temporary.c_str(), "w")) {
            std::fwrite(text.data(), 1, text.size(), f);
            std::fclose(f);
            std::rename(temporary.c_str(), path.c_str());
        }
    });
}

void LMacWindow::CmHelp()
{
    if (auto hook = LCocoaWindowHooksGet().openHelpPage)
        hook(GetContentView(), "index");
}

// --- key window ----------------------------------------------------------------------------------

void LMacWindow::EvWindowDidBecomeKey()
{
    BubbleTipHide();
    if (fInitialised) {
        EnableControls();
        RedrawWindow();
    }
    if (auto hook = LCocoaWindowHooksGet().validateToolbar)
        hook(*this);
    EvActivate();
}

void LMacWindow::EvWindowDidResignKey()
{
    BubbleTipHide();
    LMacWindow* associated = WindowOfView(GetContentView());
    LNativeWindow* window = associated ? associated->fWindow : nullptr;
    if (!(window && window->IsMiniaturized())) {
        EnableControls();
        RedrawWindow();
    }
    EvDeactivate();
    if (auto hook = LCocoaWindowHooksGet().validateToolbar)
        hook(*this);
}

// --- placing -----------------------------------------------------------------------------------

void LMacWindow::CenterDialog()
{
    LNativeWindow* window = ContentWindow();
    if (!window)
        return;
    fCentringDone = 2;
    LUiRect frame = window->Frame();
    LUiScreen screen;
    LUiRect visible;
    double scale = 1;
    // On the monitor of the window it belongs to (a dialog's opener, else the main window).
    if (window->OwnerScreen(screen) || window->Screen(screen)) {
        visible = screen.visibleFrame;
        scale = screen.scale;
    }
    float x = float(visible.x + visible.width / 2) - float(frame.width) / 2;
    float y = float(visible.y + visible.height / 2) - float(frame.height) / 2;
    window->SetFrame(BackingAligned(LUiRect { x, y, frame.width, frame.height }, scale));
}

void LMacWindow::CenterToParent()
{
    LNativeWindow* window = ContentWindow();
    LView* parentView = GetParentHandle(GetContentView());
    LNativeWindow* parentWindow = parentView ? parentView->Window() : nullptr;
    if (!window || !parentWindow)
        return;
    fCentringDone = 1;
    LUiRect frame = window->Frame();
    LUiRect pf = parentWindow->Frame();
    double x = pf.x + pf.width / 2 - frame.width / 2;
    double y = pf.y + pf.height / 2 - frame.height / 2;
    LUiScreen screen;
    double scale = 1;
    if (parentWindow->Screen(screen)) {
        // Kept inside the visible part of the parent's monitor.
        const LUiRect& v = screen.visibleFrame;
        scale = screen.scale;
        x = v.x < x ? std::min(x, v.x + v.width - frame.width) : v.x;
        y = v.y < y ? std::min(y, v.y + v.height - frame.height) : v.y;
    }
    window->SetFrame(BackingAligned(LUiRect { x, y, frame.width, frame.height }, scale));
}

void LMacWindow::RedrawWindow()
{
    if (!fRealWindow) {
        if (LView* target = EmbeddedTarget())
            target->SetNeedsDisplay();
        return;
    }
    if (fManager && fManager->isWindowTogglingFullScreen()) {
        fManager->redrawWindowOnExitingFullScreen();
        return;
    }
    if (LNativeWindow* window = ContentWindow())
        window->SetNeedsDisplay();
}

void LMacWindow::SetCaption(const char* text)
{
    // Titles that are not well-formed UTF-8 (older Mac Roman texts) are converted first.
    if (fWindow)
        fWindow->SetTitle(LMacNSStringFromString(text).c_str());
}

// --- state -------------------------------------------------------------------------------------

bool LMacWindow::IsWindowEnabled() const
{
    if (!fRealWindow && fHostScrollView) {
        LView* target = EmbeddedTarget();
        return !target || !target->AnswersEnabled() || target->IsEnabled();
    }
    return fWindow && LCocoaNativeWindowIsEnabled(fWindow) && fWindow->IsKey();
}

bool LMacWindow::IsWindowVisible()
{
    if (!fRealWindow && fHostScrollView) {
        if (fEmbeddedInHost || fEmbeddedInHostAlt)
            return fHostView && ViewInSuperview(fHostView)
                && !fHostView->IsHiddenOrHasHiddenAncestor();
        LView* view = GetContentView();
        if (!view || !ViewInSuperview(view) || view->IsHidden())
            return false;
        // Inside a tab view only the selected page is visible.
        for (LView* v = view; v; v = v->Superview()) {
            if (v->HasAssociatedValue(&kTabViewItemKey)) {
                auto selected = LCocoaWindowHooksGet().isTabItemSelected;
                return !selected || selected(v->GetAssociatedValue(&kTabViewItemKey));
            }
        }
        return true;
    }
    return fWindow && fWindow->IsVisible();
}

bool LMacWindow::IsWindowVisible(LView* view)
{
    LMacWindow* window = WindowOfView(view);
    return window && window->IsWindowVisible();
}

bool LMacWindow::IsWindowReallyVisible(LView* view)
{
    LMacWindow* window = WindowOfView(view);
    if (window && window->fWindow && window->fWindow->IsMiniaturized())
        return false;
    // No occlusion state here: visible means visible.
    return IsWindowVisible(view);
}

bool LMacWindow::IsWindowInFullScreen() const
{
    return fManager && fManager->isWindowInFullScreen();
}

void LMacWindow::EnableWindow(LView* view, bool enable)
{
    if (view)
        LCocoaNativeWindowSetEnabled(view->Window(), enable);
}

bool LMacWindow::IsCaptured() const
{
    auto* view = dynamic_cast<LCocoaViewBase*>(GetContentView());
    LCocoaMouseBridge* capture = LCocoaMouseCaptureImpl::sharedMouseCapture().getCapture();
    return view && capture && view->mouseHandler() == capture;
}

void LMacWindow::ResizableHandlerSet(LCocoaResizableBridge* handler)
{
    if (fManager)
        fManager->setResizableHandler(handler);
}

LView* LMacWindow::GetFocus()
{
    LNativeWindow* key = LNativeWindow::KeyWindow();
    return key ? key->FirstResponder() : nullptr;
}

bool LMacWindow::IsEditControlFocus() const
{
    LNativeWindow* key = LNativeWindow::KeyWindow();
    return key && key->IsFocusEditableText();
}

bool LMacWindow::DoesFocusedControlWantArrowKeys() const
{
    LNativeWindow* key = LNativeWindow::KeyWindow();
    return key && key->FocusWantsArrowKeys();
}

int LMacWindow::RoundPixels(double v)
{
    // Half up, also below zero (a control left of the client area), within the int range.
    double r = std::floor(v + 0.5);
    if (r >= double(INT_MAX))
        return INT_MAX;
    if (r <= double(INT_MIN))
        return INT_MIN;
    return int(r);
}

double LMacWindow::GetBackingScaleFactor() const
{
    return GetBackingScaleFactor(GetContentView());
}

double LMacWindow::GetBackingScaleFactor(LView* view)
{
    if (view)
        return std::max(1.0, view->BackingScale());
    LUiScreen screen;
    return LUiMainScreen(screen) ? std::max(1.0, screen.scale) : 1.0;
}

void LMacWindow::AddDestroyObserver(LMacWindowDestroyObserver observer, void* data)
{
    DestroyObservers().emplace_back(observer, data);
}

void LMacWindow::RemoveDestroyObserver(LMacWindowDestroyObserver observer, void* data)
{
    auto& list = DestroyObservers();
    list.erase(std::remove(list.begin(), list.end(), std::make_pair(observer, data)), list.end());
}
