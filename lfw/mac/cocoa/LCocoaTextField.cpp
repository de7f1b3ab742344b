#include "lfw/mac/cocoa/LCocoaTextField.h"

#include "lfw/gen/LString.h"
#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "lfw/mac/cocoa/LCocoaWindow.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LRunLoop.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// --- notifications -----------------------------------------------------------------------------

namespace {

struct Observer {
    uintptr_t token;
    std::string name;
    LCocoaNotificationObserver fn;
    void* data;
};

std::vector<Observer>& Observers()
{
    static std::vector<Observer> observers;
    return observers;
}

LCocoaTextInputImpl::ValidationTipHook gValidationTipHook = nullptr;

// Labels show at most this much of a text: a label of megabytes would take seconds to lay out.
constexpr size_t kLabelBytes = 65536;

// The window object of the view's tree, looked up afresh; null when the window is gone.
LCocoaWindow* LiveWindowOf(LView* view)
{
    for (LView* v = view; v; v = v->Superview())
        if (LCocoaWindow* w = LCocoaWindow::GetThisProperty(v))
            return w->IsAlive() ? w : nullptr;
    return nullptr;
}

} // namespace

uintptr_t LCocoaAddNotificationObserver(const char* name, LCocoaNotificationObserver fn, void* data)
{
    static uintptr_t next = 0;
    Observers().push_back(Observer { ++next, name ? name : "", fn, data });
    return next;
}

void LCocoaRemoveNotificationObserver(uintptr_t token)
{
    auto& list = Observers();
    list.erase(std::remove_if(list.begin(), list.end(),
                   [token](const Observer& o) { return o.token == token; }),
        list.end());
}

void LCocoaPostNotification(const char* name, LView* object)
{
    if (!name)
        return;
    LUiRef<LView> hold(object);
    // A copy: observers may come and go meanwhile; a removed one is not told.
    std::vector<Observer> list = Observers();
    for (const Observer& o : list) {
        if (o.name != name)
            continue;
        auto& now = Observers();
        if (std::none_of(
                now.begin(), now.end(), [&](const Observer& x) { return x.token == o.token; }))
            continue;
        o.fn(name, object, o.data);
    }
}

// --- every text field
// ------------------------------------------------------------------------------

LCocoaTextFieldImpl::LCocoaTextFieldImpl(const LUiRect& frame, LCocoaWindow* window)
    : LCocoaControlImpl(frame, window)
{
}

void LCocoaTextFieldImpl::setText(const char* text)
{
    fText = LCocoaControl::ValidText(text);
}

void LCocoaTextFieldImpl::getText(char* buffer, int n) const
{
    if (n > 0)
        LCocoaControl::CopyText(fText, buffer, size_t(n));
}

void LCocoaTextFieldImpl::getTextLong(LStringLongTemplate<char>& text) const
{
    text = fText.c_str();
}

void LCocoaTextFieldImpl::setTextAlignment(int alignment)
{
    fAlignment = alignment;
}

int LCocoaTextFieldImpl::getInt() const
{
    long v = strtol(fText.c_str(), nullptr, 10);
    return int(std::clamp<long>(v, INT32_MIN, INT32_MAX));
}

bool LCocoaTextFieldImpl::textForMeasuring(std::string& text) const
{
    text = fText;
    return true;
}

// --- static label
// ----------------------------------------------------------------------------------

LCocoaTextStaticImpl::LCocoaTextStaticImpl(const LUiRect& frame, LCocoaWindow* window)
    : LCocoaTextFieldImpl(frame, window)
{
}

GtkWidget* LCocoaTextStaticImpl::CreateWidget()
{
    fLabel = gtk_label_new(nullptr);
    UpdateLabel();
    return fLabel;
}

void LCocoaTextStaticImpl::setText(const char* text)
{
    LCocoaTextFieldImpl::setText(text);
    UpdateLabel();
}

void LCocoaTextStaticImpl::setTextAlignment(int alignment)
{
    LCocoaTextFieldImpl::setTextAlignment(alignment);
    UpdateLabel();
}

void LCocoaTextStaticImpl::setLineBreakMode(int mode)
{
    fLineBreak = mode;
    UpdateLabel();
}

void LCocoaTextStaticImpl::setTextColor(double red, double green, double blue)
{
    fColor[0] = red;
    fColor[1] = green;
    fColor[2] = blue;
    UpdateLabel();
}

void LCocoaTextStaticImpl::setBackgroundColor(double red, double green, double blue)
{
    fBackground[0] = red;
    fBackground[1] = green;
    fBackground[2] = blue;
    UpdateBackground();
}

void LCocoaTextStaticImpl::setDrawsBackground(bool draws)
{
    fDrawsBackground = draws;
    UpdateBackground();
}

void LCocoaTextStaticImpl::UpdateBackground()
{
    if (!fDrawsBackground) {
        setExtraStyle("");
        return;
    }
    char css[96];
    snprintf(css, sizeof css, "background-color: rgb(%d, %d, %d);", int(fBackground[0] * 255 + 0.5),
        int(fBackground[1] * 255 + 0.5), int(fBackground[2] * 255 + 0.5));
    setExtraStyle(css);
}

void LCocoaTextStaticImpl::SetEnabled(bool enabled)
{
    LCocoaTextFieldImpl::SetEnabled(enabled);
    UpdateLabel();
}

void LCocoaTextStaticImpl::UpdateLabel()
{
    if (!fLabel)
        return;
    size_t n = LCocoaControl::WholeCharacterPrefix(fText.c_str(), kLabelBytes);
    gtk_label_set_text(GTK_LABEL(fLabel), fText.substr(0, n).c_str());
    float x = fAlignment == kLTextAlignCenter ? 0.5f : fAlignment == kLTextAlignRight ? 1.0f : 0.0f;
    gtk_label_set_xalign(GTK_LABEL(fLabel), x);
    gtk_label_set_yalign(GTK_LABEL(fLabel), 0);
    gtk_label_set_justify(GTK_LABEL(fLabel),
        fAlignment == kLTextAlignCenter      ? GTK_JUSTIFY_CENTER
            : fAlignment == kLTextAlignRight ? GTK_JUSTIFY_RIGHT
                                             : GTK_JUSTIFY_LEFT);
    if (fLineBreak == kLLineBreakTruncateMiddle || fLineBreak == kLLineBreakTruncateTail) {
        gtk_label_set_line_wrap(GTK_LABEL(fLabel), FALSE);
        gtk_label_set_ellipsize(GTK_LABEL(fLabel),
            fLineBreak == kLLineBreakTruncateMiddle ? PANGO_ELLIPSIZE_MIDDLE : PANGO_ELLIPSIZE_END);
    } else {
        gtk_label_set_ellipsize(GTK_LABEL(fLabel), PANGO_ELLIPSIZE_NONE);
        gtk_label_set_line_wrap(GTK_LABEL(fLabel), TRUE);
        gtk_label_set_line_wrap_mode(GTK_LABEL(fLabel), PANGO_WRAP_WORD_CHAR);
    }
    PangoAttrList* attrs = pango_attr_list_new();
    double grey = 160.0 / 255.0;
    if (!IsEnabled())
        pango_attr_list_insert(attrs,
            pango_attr_foreground_new(
                guint16(grey * 65535), guint16(grey * 65535), guint16(grey * 65535)));
    else if (fColor[0] >= 0)
        pango_attr_list_insert(attrs,
            pango_attr_foreground_new(guint16(fColor[0] * 65535), guint16(fColor[1] * 65535),
                guint16(fColor[2] * 65535)));
    if (font().underline)
        pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if (font().strikeout)
        pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
    gtk_label_set_attributes(GTK_LABEL(fLabel), attrs);
    pango_attr_list_unref(attrs);
    ApplyStyle(fLabel);
}

// --- input field
// -----------------------------------------------------------------------------------

void LCocoaTextInputImpl::setValidationTipHook(ValidationTipHook hook)
{
    gValidationTipHook = hook;
}

LCocoaTextInputImpl::LCocoaTextInputImpl(const LUiRect& frame, LCocoaWindow* window)
    : LCocoaTextFieldImpl(frame, window)
    , fFormatter(std::make_unique<LCocoaTextFieldFormatter>())
{
    SetAcceptsFocus(true);
    // Text set by code is handled as a change of the field itself.
    fSetTextObserver = LCocoaAddNotificationObserver(kLCocoaTextInputSetText, OnSetText, this);
    setStyleClass("vt-input");
}

LCocoaTextInputImpl::~LCocoaTextInputImpl()
{
    LCocoaRemoveNotificationObserver(fSetTextObserver);
}

GtkWidget* LCocoaTextInputImpl::CreateWidget()
{
    GtkWidget* e = gtk_entry_new();
    gtk_entry_set_has_frame(GTK_ENTRY(e), FALSE);
    gtk_entry_set_width_chars(GTK_ENTRY(e), 1);
    gtk_entry_set_text(GTK_ENTRY(e), fText.c_str());
    gtk_entry_set_placeholder_text(GTK_ENTRY(e), fPrompt.empty() ? nullptr : fPrompt.c_str());
    gtk_editable_set_editable(GTK_EDITABLE(e), fEditable);
    float x = fAlignment == kLTextAlignCenter ? 0.5f : fAlignment == kLTextAlignRight ? 1.0f : 0.0f;
    gtk_entry_set_alignment(GTK_ENTRY(e), x);
    g_signal_connect(e, "insert-text", G_CALLBACK(OnInsertText), this);
    g_signal_connect(e, "delete-text", G_CALLBACK(OnDeleteText), this);
    g_signal_connect(e, "changed", G_CALLBACK(OnChanged), this);
    g_signal_connect(e, "focus-in-event", G_CALLBACK(OnFocusIn), this);
    g_signal_connect(e, "focus-out-event", G_CALLBACK(OnFocusOut), this);
    g_signal_connect(e, "button-press-event", G_CALLBACK(OnButtonPress), this);
    g_signal_connect(e, "paste-clipboard", G_CALLBACK(OnPaste), this);
    ApplyStyle(e);
    return e;
}

void LCocoaTextInputImpl::SetEntryText(const std::string& text)
{
    size_t n = LCocoaControl::WholeCharacterPrefix(text.c_str(), kMaximumBytes);
    fText = text.substr(0, n);
    if (GtkWidget* e = ExistingWidget()) {
        fSettingText = true;
        gtk_entry_set_text(GTK_ENTRY(e), fText.c_str());
        fSettingText = false;
    }
}

void LCocoaTextInputImpl::setText(const char* text)
{
    LUiRef<LView> hold(this);
    SetEntryText(LCocoaControl::ValidText(text));
    fUndo.clear();
    fRedo.clear();
    LCocoaPostNotification(kLCocoaTextInputSetText, this);
}

void LCocoaTextInputImpl::OnSetText(const char*, LView* object, void* data)
{
    auto* self = static_cast<LCocoaTextInputImpl*>(data);
    if (object == self)
        self->textDidChange();
}

void LCocoaTextInputImpl::setTextAlignment(int alignment)
{
    LCocoaTextFieldImpl::setTextAlignment(alignment);
    if (GtkWidget* e = ExistingWidget()) {
        float x = alignment == kLTextAlignCenter ? 0.5f
            : alignment == kLTextAlignRight      ? 1.0f
                                                 : 0.0f;
        gtk_entry_set_alignment(GTK_ENTRY(e), x);
    }
}

void LCocoaTextInputImpl::setNumberOnly()
{
    auto numeric = std::make_unique<LNumberValueFormatter>();
    if (fFormatter)
        numeric->setMaximumTextLength(fFormatter->maximumTextLength());
    fFormatter = std::move(numeric);
}

void LCocoaTextInputImpl::setEditable(bool editable)
{
    fEditable = editable;
    if (GtkWidget* e = ExistingWidget())
        gtk_editable_set_editable(GTK_EDITABLE(e), editable);
}

void LCocoaTextInputImpl::setPrompt(const char* prompt)
{
    fPrompt = LCocoaControl::ValidText(prompt);
    if (GtkWidget* e = ExistingWidget())
        gtk_entry_set_placeholder_text(GTK_ENTRY(e), fPrompt.empty() ? nullptr : fPrompt.c_str());
}

void LCocoaTextInputImpl::setMaximumTextLength(int length)
{
    if (fFormatter)
        fFormatter->setMaximumTextLength(length > 0 ? uint64_t(length) : 0);
}

void LCocoaTextInputImpl::setFormatter(std::unique_ptr<LCocoaFormatter> formatter)
{
    fFormatter = std::move(formatter);
}

bool LCocoaTextInputImpl::Judge(const std::string& result)
{
    if (!fFormatter)
        return true;
    std::string error;
    if (fFormatter->isPartialStringValid(result, &error))
        return true;
    if (!error.empty())
        ShowValidationTip(error);
    return false;
}

void LCocoaTextInputImpl::ShowValidationTip(const std::string& error)
{
    // After the current event; the window is looked up again then, so a window closed
    // meanwhile gets no tip.
    LUiRef<LView> hold(this);
    LRunLoop::Post([hold, error] {
        LCocoaWindow* window = LiveWindowOf(hold.Get());
        if (window && gValidationTipHook)
            gValidationTipHook(*window, hold->Tag(), error.c_str());
    });
}

void LCocoaTextInputImpl::OnInsertText(
    GtkEditable* editable, const gchar* text, gint length, gint* position, gpointer data)
{
    auto* self = static_cast<LCocoaTextInputImpl*>(data);
    if (self->fSettingText || self->fUndoing)
        return;
    const gchar* current = gtk_entry_get_text(GTK_ENTRY(editable));
    std::string result(current);
    size_t at = size_t(g_utf8_offset_to_pointer(current, *position) - current);
    at = std::min(at, result.size());
    result.insert(at, text, length < 0 ? strlen(text) : size_t(length));
    if (!self->Judge(result))
        g_signal_stop_emission_by_name(editable, "insert-text");
}

void LCocoaTextInputImpl::OnDeleteText(GtkEditable* editable, gint start, gint end, gpointer data)
{
    auto* self = static_cast<LCocoaTextInputImpl*>(data);
    if (self->fSettingText || self->fUndoing)
        return;
    const gchar* current = gtk_entry_get_text(GTK_ENTRY(editable));
    std::string result(current);
    glong count = g_utf8_strlen(current, -1);
    if (end < 0 || end > count)
        end = gint(count);
    if (start >= end)
        return;
    size_t a = size_t(g_utf8_offset_to_pointer(current, start) - current);
    size_t b = size_t(g_utf8_offset_to_pointer(current, end) - current);
    result.erase(a, b - a);
    if (!self->Judge(result))
        g_signal_stop_emission_by_name(editable, "delete-text");
}

void LCocoaTextInputImpl::PushUndo(const std::string& before)
{
    if (fUndo.size() >= 100)
        fUndo.erase(fUndo.begin());
    fUndo.push_back(before);
    fRedo.clear();
}

void LCocoaTextInputImpl::OnChanged(GtkEditable* editable, gpointer data)
{
    auto* self = static_cast<LCocoaTextInputImpl*>(data);
    std::string now = gtk_entry_get_text(GTK_ENTRY(editable));
    if (self->fSettingText) {
        self->fText = now;
        return;
    }
    LUiRef<LView> hold(self);
    if (!self->fUndoing)
        self->PushUndo(self->fText);
    self->fText = now;
    if (!self->fEditing) {
        self->fEditing = true;
        self->textDidBeginEditing();
    }
    self->textDidChange();
}

void LCocoaTextInputImpl::textDidBeginEditing()
{
    LCocoaView::sendCommandWithKey(this, &keyCmdTextChanged, pWindow);
}

void LCocoaTextInputImpl::textDidChange()
{
    LUiRef<LView> hold(this);
    bTextChanged = true;
    int cmd = LCocoaView::getCommandId(this, &keyCmdTextChanged);
    LCocoaView::sendCommand(this, cmd >= 0 ? cmd : Tag(), pWindow);
    LCocoaPostNotification(kLCocoaTextInputChanged, this);
}

void LCocoaTextInputImpl::textDidEndEditing()
{
    LUiRef<LView> hold(this);
    int cmd = LCocoaView::getCommandId(this, &keyCmdTextFocusLost);
    LCocoaView::sendCommand(this, cmd >= 0 ? cmd : Tag(), pWindow);
    LCocoaPostNotification(kLTextDidEndEditing, this);
}

void LCocoaTextInputImpl::endEditing()
{
    fEditing = false;
    textDidEndEditing();
}

gboolean LCocoaTextInputImpl::OnFocusIn(GtkWidget* widget, GdkEventFocus*, gpointer data)
{
    auto* self = static_cast<LCocoaTextInputImpl*>(data);
    if (self->fEditing)
        return FALSE; // the window came back: the edit goes on
    (void)widget;
    LCocoaView::sendCommandWithKey(self, &keyCmdTextFocusSet, self->pWindow);
    return FALSE;
}

gboolean LCocoaTextInputImpl::OnFocusOut(GtkWidget* widget, GdkEventFocus*, gpointer data)
{
    auto* self = static_cast<LCocoaTextInputImpl*>(data);
    // The window resigning the keyboard ends no edit.
    GtkWidget* top = gtk_widget_get_toplevel(widget);
    if (GTK_IS_WINDOW(top) && !gtk_window_is_active(GTK_WINDOW(top))
        && gtk_window_get_focus(GTK_WINDOW(top)) == widget) {
        self->fEditing = true;
        return FALSE;
    }
    self->fEditing = false;
    LUiRef<LView> hold(self);
    self->textDidEndEditing();
    return FALSE;
}

gboolean LCocoaTextInputImpl::OnButtonPress(GtkWidget*, GdkEventButton* event, gpointer data)
{
    auto* self = static_cast<LCocoaTextInputImpl*>(data);
    if (event->type != GDK_BUTTON_PRESS)
        return FALSE;
    LUiRef<LView> hold(self);
    if (event->button == 3) {
        // A command instead of the context menu.
        LCocoaView::sendCommandWithKey(self, &keyCmdCtrlRightClick, self->pWindow);
        return TRUE;
    }
    if (event->button == 1 && LCocoaView::getCommandId(self, &keyCmdTextClick) >= 0)
        LCocoaView::sendCommandWithKey(self, &keyCmdTextClick, self->pWindow);
    return FALSE;
}

void LCocoaTextInputImpl::OnPaste(GtkEntry* entry, gpointer data)
{
    auto* self = static_cast<LCocoaTextInputImpl*>(data);
    if (LCocoaView::getCommandId(self, &keyCmdTextPaste) < 0)
        return;
    // Pasting is the window's business: it hears the command, the field reads nothing.
    g_signal_stop_emission_by_name(entry, "paste-clipboard");
    LCocoaView::sendCommandWithKey(self, &keyCmdTextPaste, self->pWindow);
}

void LCocoaTextInputImpl::undo()
{
    if (fUndo.empty() || !fEditable)
        return;
    fRedo.push_back(fText);
    std::string previous = fUndo.back();
    fUndo.pop_back();
    fUndoing = true;
    if (GtkWidget* e = ExistingWidget())
        gtk_entry_set_text(GTK_ENTRY(e), previous.c_str());
    fUndoing = false;
}

void LCocoaTextInputImpl::redo()
{
    if (fRedo.empty() || !fEditable)
        return;
    fUndo.push_back(fText);
    std::string next = fRedo.back();
    fRedo.pop_back();
    fUndoing = true;
    if (GtkWidget* e = ExistingWidget())
        gtk_entry_set_text(GTK_ENTRY(e), next.c_str());
    fUndoing = false;
}

bool LCocoaTextInputImpl::performKeyEquivalent(const LUiEvent& event)
{
    uint32_t mods = event.modifiers & (kLUiShift | kLUiControl | kLUiAlt | kLUiSuper);
    if (gdk_keyval_to_lower(event.keyval) != GDK_KEY_z || !HasFocus())
        return false;
    if (mods == kLUiControl) {
        undo();
        return true;
    }
    if (mods == (kLUiControl | kLUiShift)) {
        redo();
        return true;
    }
    return false;
}

// --- password field
// --------------------------------------------------------------------------------

LCocoaTextInputPasswdImpl::LCocoaTextInputPasswdImpl(const LUiRect& frame, LCocoaWindow* window)
    : LCocoaTextInputImpl(frame, window)
{
}

GtkWidget* LCocoaTextInputPasswdImpl::CreateWidget()
{
    GtkWidget* e = LCocoaTextInputImpl::CreateWidget();
    gtk_entry_set_visibility(GTK_ENTRY(e), FALSE);
    gtk_entry_set_input_purpose(GTK_ENTRY(e), GTK_INPUT_PURPOSE_PASSWORD);
    return e;
}

void LCocoaTextInputPasswdImpl::textDidChange()
{
    LCocoaView::sendCommandWithKey(this, &keyCmdTextChanged, pWindow);
}

void LCocoaTextInputPasswdImpl::textDidEndEditing()
{
    LCocoaView::sendCommandWithKey(this, &keyCmdTextFocusLost, pWindow);
}
