#include "lfw/mac/LProgressDialog.h"

#include "lfw/gen/LCharSet.h"
#include "lfw/ios/LEventQueue.h"
#include "lfw/ios/LProcessThread.h"
#include "lfw/mac/LAlert.h"
#include "lfw/mac/LApplication.h"
#include "lfw/mac/LControlFlags.h"
#include "lfw/mac/cocoa/LCocoaButtonImpl.h"
#include "lfw/mac/cocoa/LCocoaSimpleControls.h"
#include "lfw/mac/cocoa/LCocoaWindowImpl.h"
#include "platform/ui/LModalLoop.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiKeptKeys.h"
#include "platform/ui/LView.h"

#include <gtk/gtk.h>
#include <memory>
#include <string>

namespace {

int R(double v)
{
    return int(v + 0.5);
}

std::string& Footer()
{
    static std::string footer = "Vorantel";
    return footer;
}

// The theme's icon of that name at a size in pixels, for when the icon resource is not there.
cairo_surface_t* ThemeIcon(const char* name, int pixels)
{
    GdkPixbuf* pixbuf = gtk_icon_theme_load_icon(
        gtk_icon_theme_get_default(), name, pixels, GTK_ICON_LOOKUP_FORCE_SIZE, nullptr);
    if (!pixbuf)
        return nullptr;
    cairo_surface_t* surface = gdk_cairo_surface_create_from_pixbuf(pixbuf, 1, nullptr);
    g_object_unref(pixbuf);
    return surface;
}

} // namespace

void LProgressDialog::SetFooterText(const char* text)
{
    Footer() = text ? text : "";
}

LProgressDialog::LProgressDialog(const char* title)
    : szTitle(title ? title : "")
{
}

LProgressDialog::~LProgressDialog()
{
    StopDrawPacing();
    LMacWindow::RemoveDestroyObserver(WindowDestroyed, this);
}

LCocoaProgressBarImpl* LProgressDialog::ProgressBar() const
{
    return dynamic_cast<LCocoaProgressBarImpl*>(GetControlHandle(104));
}

void LProgressDialog::WindowDestroyed(LNativeWindow* window, void* data)
{
    // The parent went while the job runs (the job closed it): the progress window stays.
    auto* self = static_cast<LProgressDialog*>(data);
    if (window && window == self->fParentNative) {
        self->fParentNative = nullptr;
        self->pParentWindow = nullptr;
    }
}

bool LProgressDialog::Open(LView* parent)
{
    if (!_Open(parent, false))
        return false;
    std::unique_ptr<LUiKeptKeys> kept;
    if (bKeysToParent && pParentWindow && pParentWindow->IsAlive())
        if (LView* pv = pParentWindow->GetContentView(); pv && pv->Window()) {
            kept = std::make_unique<LUiKeptKeys>(pv->Window());
            kept->Also(GetNativeWindow());
        }
    OpenModalWindow();
    WaitDrawn();
    bool result = MainFunction();
    CloseModalWindow();
    // The window has gone and the parent takes input again: what was typed meanwhile goes there.
    if (kept)
        kept->Release();
    return result;
}

bool LProgressDialog::_Open(LView* parent, bool extraLine)
{
    bExtraLine = extraLine;
    pParentView = parent;
    pParentWindow = nullptr;
    if (!parent) {
        LNativeWindow* modal = LModalLoop::ModalWindow();
        parent = modal ? modal->ContentView() : nullptr;
        pParentView = parent;
    }
    if (parent) {
        auto* window = dynamic_cast<LWindow*>(LCocoaWindow::GetThisProperty(parent));
        if (!window)
            window = LDialogWindowOfView(parent);
        if (window && !window->IsRealWindow())
            if (LWindow* real = window->GetRealParent())
                window = real;
        // The owner is laying its controls out after a resize: nothing opens.
        if (window && !window->LayoutFlag())
            return false;
        pParentWindow = window;
    }
    CreateProgressDialog();
    return GetContentView() != nullptr;
}

void LProgressDialog::CreateProgressDialog()
{
    CreateCocoaWindow(1, 1, kLUiWindowTitled, false, pParentView);
    if (!GetContentView())
        return;
    float cw = CharWidthPixels(), ch = CharHeightPixels();
    double s = GetBackingScaleFactor();
    int W = R(55 * cw);
    int H = R(7.5 * ch);
    if (bExtraLine)
        H += R(1.23 * ch) + R(0.59 * ch);
    SizeDialogPixelsMac(W, H, false);
    if (LNativeWindow* w = GetNativeWindow())
        w->SetStyleMask(w->StyleMask() & ~unsigned(kLUiWindowClosable));
    SetCaption(szTitle);

    int L = R(1.23 * ch), G = R(0.59 * ch), T = R(0.94 * ch), M = R(2 * cw);
    int S = int(64 * s);
    int X = S + R(1.25 * cw) + M;
    int TW = W - R(1.25 * cw) - S - 2 * M;

    if (LCocoaImageControlImpl* icon = AddIcon(110, iIcon, M, T, S, S); icon && !icon->image()) {
        cairo_surface_t* image = ThemeIcon("dialog-information", S);
        icon->setImageWithResourceImage(image);
        if (image)
            cairo_surface_destroy(image);
    }
    MoveControlPixels(110, M, T, S, S);
    LStaticFlags flags;
    flags.lineBreak = 2;
    flags.alignment = 0;
    AddStatic(101, "", flags);
    MoveControlPixels(101, X, T, TW, L);
    AddStatic(102, "", flags);
    MoveControlPixels(102, X, T + L, TW, L);
    int barTop = T + 2 * L + G, barHeight = R(0.35 * ch);
    AddProgressBar(104);
    MoveControlPixels(104, X, barTop, TW, std::max(barHeight, int(4 * s)));
    if (bExtraLine) {
        AddStatic(106, "", flags);
        MoveControlPixels(106, X, barTop + barHeight + G, TW, L);
    }
    AddCancel(0, 0, 96, "Avbryt");
    // Escape stops the job; Return does not: a Return that closed the panel before, repeated or
    // pressed twice, must not stop the export it started.
    if (auto* cancel = dynamic_cast<LCocoaButtonImpl*>(GetControlHandle(kLCmdCancel)))
        cancel->setRefusesFirstResponder(true);
    LayoutOkCancelHelp(0, 0, W, H);
    AddStatic(107, Footer().c_str(), flags);
    MoveControlPixels(107, X, H - T - L, MeasureStaticTextWidthPixels(107), L);

    if (LNativeWindow* w = GetNativeWindow()) {
        w->SetLevel(LUiWindowLevel::ModalPanel);
        LCocoaNativeWindowSetEnabled(w, true);
    }
    InitDialog();
    fInitialised = true;
    // Ready as any other window once the loop turns (the test rectangles are written then).
    PostCommand(kLCmdWindowReady);
    if (pParentWindow)
        CenterToParent();
    else
        CenterDialog();
    // Transient for its owner before it is first shown, so that a window manager puts it above
    // the owner from the start (OpenModalWindow keeps it so while the job runs).
    if (pParentWindow && pParentWindow->IsAlive())
        if (LView* pv = pParentWindow->GetContentView();
            pv && pv->Window() && GetNativeWindow() && pv->Window() != GetNativeWindow())
            pv->Window()->AddChildWindow(GetNativeWindow());
    ShowWindow(true);
    EnableControls();
}

void LProgressDialog::OpenModalWindow()
{
    bStop = false;
    if (pParentWindow && pParentWindow->IsAlive()) {
        if (!pParentWindow->IsWindowVisible())
            pParentWindow->ShowWindow(true);
        LView* pv = pParentWindow->GetContentView();
        fParentNative = pv ? pv->Window() : nullptr;
        if (fParentNative && GetNativeWindow())
            fParentNative->AddChildWindow(GetNativeWindow());
        LMacWindow::AddDestroyObserver(WindowDestroyed, this);
    }
    if (LView* content = GetContentView())
        LApplication::ModalSessionBegin(content);
    StartDrawPacing();
}

void LProgressDialog::StartDrawPacing()
{
    LNativeWindow* window = GetNativeWindow();
    if (fPacedWidget || !window || !window->Gtk())
        return;
    GtkWidget* widget = GTK_WIDGET(window->Gtk());
    fPacedWidget = widget;
    g_object_add_weak_pointer(G_OBJECT(widget), &fPacedWidget);
    // After the paint of the whole window, its children included.
    fPaintHandler = g_signal_connect_data(widget, "draw",
        G_CALLBACK(+[](GtkWidget*, cairo_t*, gpointer data) -> gboolean {
            static_cast<LProgressDialog*>(data)->HoldUpdates();
            return FALSE;
        }),
        this, nullptr, G_CONNECT_AFTER);
}

void LProgressDialog::StopDrawPacing()
{
    ReleaseUpdates();
    if (!fPacedWidget)
        return;
    if (fPaintHandler && g_signal_handler_is_connected(fPacedWidget, fPaintHandler))
        g_signal_handler_disconnect(fPacedWidget, fPaintHandler);
    g_object_remove_weak_pointer(G_OBJECT(fPacedWidget), &fPacedWidget);
    fPacedWidget = nullptr;
    fPaintHandler = 0;
}

void LProgressDialog::HoldUpdates()
{
    if (fHeldWindow || !fPacedWidget)
        return;
    GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(fPacedWidget));
    if (!window || gdk_window_is_destroyed(window))
        return;
    // What is asked for meanwhile (a new value of the bar, a status line, a pulse) waits in the
    // window's invalid region until the updates are let go.
    gdk_window_freeze_updates(window);
    fHeldWindow = g_object_ref(window);
    fUpdatesDue.Arm(kLProgressDrawMs);
}

void LProgressDialog::ReleaseUpdates()
{
    fUpdatesDue.Disarm();
    if (!fHeldWindow)
        return;
    auto* window = static_cast<GdkWindow*>(fHeldWindow);
    fHeldWindow = nullptr;
    if (!gdk_window_is_destroyed(window))
        gdk_window_thaw_updates(window);
    g_object_unref(window);
}

void LProgressDialog::UpdatesDue(LRunLoopTimer*, void* data)
{
    static_cast<LProgressDialog*>(data)->ReleaseUpdates();
}

void LProgressDialog::WaitDrawn()
{
    LNativeWindow* window = GetNativeWindow();
    GtkWidget* widget = window && window->Gtk() ? GTK_WIDGET(window->Gtk()) : nullptr;
    if (!widget || !gtk_widget_get_visible(widget))
        return;
    // Set by the window's first paint; shared, since a paint may come after the wait gave up.
    auto drawn = std::make_shared<bool>(false);
    auto* flag = new std::shared_ptr<bool>(drawn);
    const gulong handler = g_signal_connect_data(
        widget, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t*, gpointer data) -> gboolean {
            **static_cast<std::shared_ptr<bool>*>(data) = true;
            return FALSE;
        }),
        flag, [](gpointer data, GClosure*) { delete static_cast<std::shared_ptr<bool>*>(data); },
        G_CONNECT_AFTER);
    LUiRef<LNativeWindow> hold(window);
    LEventQueueRunUntilStopConditionOrTimeout(
        [&] { return *drawn || StopRequested() || window->IsClosed(); }, true, 1000);
    if (!window->IsClosed() && g_signal_handler_is_connected(widget, handler))
        g_signal_handler_disconnect(widget, handler);
}

void LProgressDialog::CloseModalWindow()
{
    StopDrawPacing();
    if (fParentNative && GetNativeWindow())
        fParentNative->RemoveChildWindow(GetNativeWindow());
    fParentNative = nullptr;
    LMacWindow::RemoveDestroyObserver(WindowDestroyed, this);
    if (LView* content = GetContentView()) {
        LUiRef<LView> hold(content);
        LApplication::ModalSessionStop(content);
        DestroyCommon();
        bStop = true;
    }
}

// --- the job's interface -----------------------------------------------------------------------

bool LProgressDialog::StopRequested()
{
    // A window destroyed underneath the job (killed from outside) stops it as Cancel would.
    if (LNativeWindow* w = GetNativeWindow(); w && w->IsClosed())
        bStop = true;
    return bStop;
}

bool LProgressDialog::IsToStop()
{
    LMacDispatchEvents();
    return StopRequested();
}

LProcessResult LProgressDialog::ProcessWait(unsigned int ms)
{
    if (bStop)
        return LProcessResultStopped;
    bool timed = ms != LSIGNAL_WAIT_FOREVER;
    int r
        = LEventQueueRunUntilStopConditionOrTimeout([this] { return StopRequested(); }, timed, ms);
    return r == 1 ? LProcessResultStopped : LProcessResultSuccess;
}

LProcessResult LProgressDialog::ProcessWaitSignal(LSignalObjectRef signal, unsigned int ms)
{
    if (bStop)
        return LProcessResultStopped;
    return LProcessResult(LEventQueueRunUntilSignalOrStopConditionOrTimeout(
        signal, [this] { return StopRequested(); }, ms != LSIGNAL_WAIT_FOREVER, ms));
}

LProcessResult LProgressDialog::ProcessWaitSignalObjectGroup(
    LSignalObjectGroup& group, unsigned int ms)
{
    if (bStop)
        return LProcessResultStopped;
    return LProcessResult(LEventQueueRunUntilGroupSignalledOrStopConditionOrTimeout(
        group, [this] { return StopRequested(); }, ms != LSIGNAL_WAIT_FOREVER, ms));
}

LProcessResult LProgressDialog::ProcessWaitUntilStopped()
{
    if (!bStop)
        LEventQueueRunUntilStopConditionOrTimeout([this] { return StopRequested(); }, false, 0);
    return LProcessResultStopped;
}

LProcessResult LProgressDialog::ProcessWaitSignalForever(LSignalObjectRef signal)
{
    return ProcessWaitSignal(signal, LSIGNAL_WAIT_FOREVER);
}

LProcessResult LProgressDialog::ProcessWaitSignalObjectGroupForever(LSignalObjectGroup& group)
{
    return ProcessWaitSignalObjectGroup(group, LSIGNAL_WAIT_FOREVER);
}

void LProgressDialog::SetError(const char* text)
{
    LAlert alert(GetContentView(), text, szTitle);
    alert.type = 2;
    LAlertCopyField(alert.button1, "Fortsätt");
    alert._Run();
}

void LProgressDialog::SetStatus(const char* text, int level)
{
    if (level < 0 || level > 1 || !GetContentView())
        return;
    int id = level == 0 ? 101 : 102;
    // Texts that are not well-formed UTF-8 are shown converted.
    SetText(id, LMacNSStringFromString(text ? text : "").c_str());
    EnableControl(id, true);
    if (LView* v = GetControlHandle(id))
        v->SetNeedsDisplay();
}

void LProgressDialog::SetProgress(double fraction)
{
    PBSetProgress(104, fraction);
}

void LProgressDialog::SetProgressIndeterminateOn()
{
    PBSetProgressIndeterminateOn(104);
}

void LProgressDialog::SetProgressIndeterminateOff()
{
    PBSetProgressIndeterminateOff(104);
}

void LProgressDialog::Close(int)
{
    Close();
}

void LProgressDialog::Close()
{
    if (GetContentView()) {
        EnableControl(kLCmdCancel, false);
        if (LView* b = GetControlHandle(kLCmdCancel))
            b->SetNeedsDisplay();
    }
    bStop = true;
}

LProcessDialogRunInterface::~LProcessDialogRunInterface()
{
    CloseModalWindow();
    pParentWindow = nullptr;
}

void LProcessDialogRunInterface::Close()
{
    CloseModalWindow();
    pParentWindow = nullptr;
}

LProgressDialogForThread::~LProgressDialogForThread()
{
    Hide();
}

bool LProgressDialogForThread::Show(LView* parent)
{
    if (fShown)
        return true;
    if (!_Open(parent, false))
        return false;
    OpenModalWindow();
    fShown = true;
    return true;
}

void LProgressDialogForThread::Hide()
{
    if (!fShown)
        return;
    fShown = false;
    fThread = nullptr;
    CloseModalWindow();
    pParentWindow = nullptr;
}

void LProgressDialogForThread::Close()
{
    LProgressDialog::Close();
    if (fThread && fThread->IsStarted()) {
        fThread->StopThreadSoon();
        SetStatus(LProcessThread::kStoppingText, 0);
    }
}

bool LProcessQueueErrorAlert(LView* parent, const char* text, bool continueOnError, bool lastItem)
{
    LAlert alert(parent, text, continueOnError ? "Varning" : "Fel");
    alert.type = continueOnError ? 0 : 2;
    if (continueOnError && !lastItem) {
        LAlertCopyField(alert.button1, "Fortsätt");
        LAlertCopyField(alert.button2, "Avbryt");
    }
    return alert.RunField() == 1;
}
