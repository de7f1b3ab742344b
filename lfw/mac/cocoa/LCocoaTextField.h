// The single-line text controls: the static label (a GtkLabel), the input field (a frameless
// GtkEntry with a one-point border) and the password field, with the operations the window's
// control API calls on any of them. User actions go to the owning window as commands.
//
// The entry is its own field editor: focus, clicks, pastes and the undo stack (GTK 3 entries have
// none) are handled by the input field itself.
#pragma once

#include "lfw/mac/cocoa/LCocoaControlImpl.h"
#include "lfw/mac/cocoa/LCocoaTextFormatters.h"

#include <memory>
#include <string>
#include <vector>

template <class T> class LStringLongTemplate;

// Notifications about text fields, told synchronously to their observers.
inline constexpr const char* kLCocoaTextInputSetText = "LCocoaTextInputSetText";
inline constexpr const char* kLCocoaTextInputChanged = "LCocoaTextInputChanged";
inline constexpr const char* kLTextDidEndEditing = "NSTextDidEndEditingNotification";
using LCocoaNotificationObserver = void (*)(const char* name, LView* object, void* data);
uintptr_t LCocoaAddNotificationObserver(const char* name, LCocoaNotificationObserver, void* data);
void LCocoaRemoveNotificationObserver(uintptr_t token);
void LCocoaPostNotification(const char* name, LView* object);

// Text alignment values: 0 left, 1 right, 2 centre.
enum : int { kLTextAlignLeft = 0, kLTextAlignRight = 1, kLTextAlignCenter = 2 };

// What every text field answers (the text-field category).
class LCocoaTextFieldImpl : public LCocoaControlImpl {
public:
    LCocoaTextFieldImpl(const LUiRect& frame, LCocoaWindow* window);

    void setID(int id) { SetTag(id); }
    // The text as the field shows it (bad UTF-8 repaired with U+FFFD).
    virtual void setText(const char* text);
    const std::string& stringValue() const { return fText; }
    void getText(char* buffer) const { getText(buffer, 260); }
    // At most n - 1 bytes (cut at a whole character) and a NUL; nothing for n <= 0.
    void getText(char* buffer, int n) const;
    void getTextLong(LStringLongTemplate<char>& text) const;
    size_t getTextLength() const { return fText.size(); }
    virtual void setTextAlignment(int alignment);
    int textAlignment() const { return fAlignment; }
    void setTextAlignmentLeft() { setTextAlignment(kLTextAlignLeft); }
    void setTextAlignmentRight() { setTextAlignment(kLTextAlignRight); }
    void setTextAlignmentCenter() { setTextAlignment(kLTextAlignCenter); }
    virtual void setNumberOnly() { }
    virtual void setReadOnly() { }
    int getInt() const;
    bool textForMeasuring(std::string& text) const override;

protected:
    ~LCocoaTextFieldImpl() override = default;
    std::string fText;
    int fAlignment = kLTextAlignLeft;
};

// Line break modes of a label.
enum : int { kLLineBreakWordWrap = 0, kLLineBreakTruncateTail = 4, kLLineBreakTruncateMiddle = 5 };

class LCocoaTextStaticImpl : public LCocoaTextFieldImpl {
public:
    LCocoaTextStaticImpl(const LUiRect& frame, LCocoaWindow* window);

    void setText(const char* text) override;
    void setTextAlignment(int alignment) override;
    void setLineBreakMode(int mode);
    int lineBreakMode() const { return fLineBreak; }
    // Red, green, blue 0..1; a negative red goes back to the theme's colour.
    void setTextColor(double red, double green, double blue);
    void setBackgroundColor(double red, double green, double blue);
    void setDrawsBackground(bool draws);
    void SetEnabled(bool enabled) override;

protected:
    ~LCocoaTextStaticImpl() override = default;
    GtkWidget* CreateWidget() override;
    void FontDidChange() override { UpdateLabel(); }

private:
    void UpdateLabel();
    void UpdateBackground();
    int fLineBreak = kLLineBreakWordWrap;
    double fColor[3] = { -1, 0, 0 };
    double fBackground[3] = { 1, 1, 1 };
    bool fDrawsBackground = false;
    GtkWidget* fLabel = nullptr;
};

class LCocoaTextInputImpl : public LCocoaTextFieldImpl {
public:
    LCocoaTextInputImpl(const LUiRect& frame, LCocoaWindow* window);

    // Text set by code is not judged by the formatter; it sends the text-changed command once.
    void setText(const char* text) override;
    void setTextAlignment(int alignment) override;
    void setNumberOnly() override;
    void setReadOnly() override { setEditable(false); }
    void setEditable(bool editable);
    bool isEditable() const { return fEditable; }
    void setPrompt(const char* prompt);
    const std::string& prompt() const { return fPrompt; }
    bool textChanged() const { return bTextChanged; }
    // Ends the edit as losing the focus does (the focus-lost command, then the end-of-editing
    // notification), while the field keeps the focus.
    void endEditing();
    void setTextChanged(bool changed) { bTextChanged = changed; }
    // Given to the formatter when it limits lengths.
    virtual void setMaximumTextLength(int length);
    LCocoaFormatter* formatter() const { return fFormatter.get(); }
    void setFormatter(std::unique_ptr<LCocoaFormatter> formatter);
    virtual bool isPassword() const { return false; }
    // Editing commands of the field's own undo stack.
    void undo() override;
    void redo() override;
    bool performKeyEquivalent(const LUiEvent& event) override;

    // How a refused edit's error text reaches the owning window's bubble tip (installed by the
    // window layer above): the window, the field's id and the text.
    using ValidationTipHook = void (*)(LCocoaWindow& window, int id, const char* text);
    static void setValidationTipHook(ValidationTipHook hook);

    // Texts longer than this are cut at a whole character (GTK entries hold less than 64 KiB).
    static constexpr size_t kMaximumBytes = 65535;

protected:
    ~LCocoaTextInputImpl() override;
    GtkWidget* CreateWidget() override;
    // Notifications of the field.
    virtual void textDidBeginEditing();
    virtual void textDidChange();
    virtual void textDidEndEditing();

private:
    static void OnInsertText(
        GtkEditable*, const gchar* text, gint length, gint* position, gpointer);
    static void OnDeleteText(GtkEditable*, gint start, gint end, gpointer);
    static void OnChanged(GtkEditable*, gpointer);
    static gboolean OnFocusIn(GtkWidget*, GdkEventFocus*, gpointer);
    static gboolean OnFocusOut(GtkWidget*, GdkEventFocus*, gpointer);
    static gboolean OnButtonPress(GtkWidget*, GdkEventButton*, gpointer);
    static void OnPaste(GtkEntry*, gpointer);
    static void OnSetText(const char* name, LView* object, void* data);
    bool Judge(const std::string& result);
    void ShowValidationTip(const std::string& error);
    void SetEntryText(const std::string& text);
    void PushUndo(const std::string& before);

    std::string fPrompt;
    std::unique_ptr<LCocoaFormatter> fFormatter;
    std::vector<std::string> fUndo;
    std::vector<std::string> fRedo;
    uintptr_t fSetTextObserver = 0;
    bool bTextChanged = false;
    bool fEditable = true;
    bool fEditing = false; // editing began and has not ended
    bool fSettingText = false; // the text is being set by code
    bool fUndoing = false;
};

class LCocoaTextInputPasswdImpl : public LCocoaTextInputImpl {
public:
    LCocoaTextInputPasswdImpl(const LUiRect& frame, LCocoaWindow* window);
    bool isPassword() const override { return true; }

protected:
    ~LCocoaTextInputPasswdImpl() override = default;
    GtkWidget* CreateWidget() override;
    void textDidBeginEditing() override { }
    void textDidChange() override;
    void textDidEndEditing() override;
};
