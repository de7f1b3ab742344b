#include "lfw/mac/LAlert.h"

#include "lfw/gen/LCharSet.h"
#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LCocoaWindowImpl.h"
#include "platform/ui/LModalLoop.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiAlert.h"
#include "platform/ui/LUiSystem.h"
#include "platform/ui/LView.h"

namespace {

std::string Text(const char* text)
{
    return LMacNSStringFromString(text ? text : "").c_str();
}

LAlertRunHook gRunHook = nullptr; // main thread only

} // namespace

void LAlertSetRunHook(LAlertRunHook hook)
{
    gRunHook = hook;
}

void LAlertCopyField(char (&field)[260], const char* text)
{
    utf8strlcpy(field, text ? text : "", sizeof field);
}

LAlert::LAlert(LView* parentView, const char* text, const char* titleText)
    : parent(parentView)
    , message(text ? text : "")
{
    LAlertCopyField(title, titleText);
}

int LAlert::_Run()
{
    int field = RunField();
    return field ? field : 2;
}

int LAlert::RunField()
{
    if (!LUiInit())
        return 0;
    if (gRunHook)
        gRunHook(*this);
    LUiAlert alert;
    alert.style = type;
    alert.headline = Text(title);
    alert.message = Text(message.c_str());
    // The answer of each shown button is the number of its field.
    int answers[3];
    int n = 0;
    alert.buttons.push_back(Text(button1));
    answers[n++] = 1;
    if (button2[0]) {
        alert.buttons.push_back(Text(button2));
        answers[n++] = 2;
    }
    if (button3[0]) {
        alert.buttons.push_back(Text(button3));
        answers[n++] = 3;
    }
    for (int i = 0; i < n; ++i)
        if (answers[i] == focusButton)
            alert.focused = size_t(i);
    alert.showCheckBox = showSuppression;
    alert.checkBoxLabel = Text(suppressionLabel);
    alert.checked = suppressed;

    LNativeWindow* window = parent ? parent->Window() : nullptr;
    // Without a view in a window, the alert belongs to the window the user works in: the
    // innermost modal one, else the one with the keyboard, else the main window while it shows
    // (the keyboard may not be back on it yet after an alert just closed).
    if (!window)
        window = LModalLoop::ModalWindow();
    if (!window)
        window = LNativeWindow::KeyWindow();
    if (!window) {
        LNativeWindow* main = LNativeWindow::MainWindow();
        if (main && !main->IsClosed() && main->IsVisible())
            window = main;
    }
    if (window && window->IsClosed())
        window = nullptr;
    if (window) {
        // The window of the view (an embedded page's real window) comes forward first.
        auto* owner
            = dynamic_cast<LMacWindow*>(LCocoaWindow::GetThisProperty(window->ContentView()));
        if (owner && (!owner->IsWindowVisible() || !LCocoaNativeWindowIsEnabled(window)))
            owner->ShowWindow(true);
        alert.parent = window;
    }
    int index = LUiRunAlert(alert);
    suppressed = alert.checked;
    return index >= 0 && index < n ? answers[index] : 0;
}

int LAlertWithButtonText::DisplayYesNoCancel(LView* parent, const char* text, const char* title,
    const char* yes, const char* no, const char* cancel)
{
    LAlert alert(parent, text, title);
    alert.type = 1;
    LAlertCopyField(alert.button1, yes);
    LAlertCopyField(alert.button2, cancel);
    LAlertCopyField(alert.button3, no);
    return alert._Run();
}

bool LAlertWithButtonText::DisplayYesNoWarningDefaultNo(
    LView* parent, const char* text, const char* title, const char* yes, const char* no)
{
    LAlert alert(parent, text, title);
    alert.type = 0;
    LAlertCopyField(alert.button1, no);
    LAlertCopyField(alert.button2, yes);
    // Only the yes button says yes: Escape, the close box and an abort are no.
    return alert.RunField() == 2;
}

void LMacWindow::PopupBoxError(const char* text) const
{
    LAlert alert(GetContentView(), text, "Vorantel");
    alert.type = 2;
    alert._Run();
}

void LMacWindow::PopupBoxWarning(const char* text, const char* title) const
{
    LAlert alert(GetContentView(), text, title);
    alert.type = 0;
    alert._Run();
}

void LMacWindow::PopupBoxInfo(const char* text, const char* title) const
{
    LAlert alert(GetContentView(), text, title);
    alert.type = 1;
    alert._Run();
}
