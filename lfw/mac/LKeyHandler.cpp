#include "lfw/mac/LKeyHandler.h"

#include "lfw/mac/LMacWindow.h"
#include "lfw/mac/cocoa/LCocoaViewBase.h"
#include "platform/ui/LNativeWindow.h"
#include "platform/ui/LUiKeymap.h"

#include <gdk/gdk.h>

LKey LKeyHandler::KeyDown;

namespace {

int Code(const char (&s)[5])
{
    return LFourCC(s);
}

// The command of the table's first row for the key code; -1 when none. last: the last such row.
bool FindRow(const LKeyToCommandMap* table, unsigned long rows, uint32_t code, bool last, int& cmd)
{
    bool found = false;
    for (unsigned long i = 0; table && i < rows; ++i) {
        if (table[i].key.code == code) {
            cmd = table[i].command;
            found = true;
            if (!last)
                break;
        }
    }
    return found;
}

// Shift with Ctrl and the key of "/" (Ctrl+? where Shift+/ types "?").
bool IsHelpKey(LKey key)
{
    if (key.Modifiers() != (LKey::kCommand | LKey::kShift) || key.KeyCode())
        return false;
    if (key.Character() == '/')
        return true;
    return key.GetChar() == '?';
}

} // namespace

LKeyHandler::~LKeyHandler()
{
    DestroyKeyHandler();
}

bool LKeyHandler::EvChar(char)
{
    return false;
}

bool LKeyHandler::EvKeyDown(LKey)
{
    return false;
}

bool LKeyHandler::EvKeyRepeat(LKey)
{
    return false;
}

bool LKeyHandler::EvKeyUp(LKey)
{
    return false;
}

void LKeyHandler::KeyHandlerInit(LMacWindow& w, LView* v)
{
    if (!v)
        v = w.GetContentView();
    auto* base = dynamic_cast<LCocoaViewBase*>(v);
    if (!base)
        return;
    window = &w;
    view = v;
    base->setKeyHandler(this);
}

void LKeyHandler::DestroyKeyHandler()
{
    if (window || view) {
        if (auto* base = dynamic_cast<LCocoaViewBase*>(view); base && base->keyHandler() == this)
            base->setKeyHandler(nullptr);
    }
    window = nullptr;
    view = nullptr;
}

bool LKeyHandler::EvKeyDown(const LUiEvent& event)
{
    LKey key = LKeyFromRawKeyEvent(event);
    KeyDown = key;
    // A key that is neither a named key nor types a character (Print, a media key) is left to
    // the widgets.
    if (key.KeyCode() == 0 && key.Character() == 0)
        return false;
    bool handled = event.isRepeat ? EvKeyRepeat(key) : EvKeyDown(key);
    if (key.Modifiers() & LKey::kCommand)
        return handled;
    uint32_t c = key.GetChar();
    bool charHandled = c != 0 && c < 0x80 && EvChar(char(c));
    return handled || charHandled;
}

bool LKeyHandler::EvKeyUp(const LUiEvent&)
{
    return false;
}

bool LKeyHandler::EvKeyFlagsChanged(const LUiEvent& event)
{
    // The event's state is the one before the key: the key itself is added or taken away.
    uint32_t now = LKeyModifiersFromEvent(event.modifiers);
    bool press = true;
    if (auto* native = static_cast<const GdkEvent*>(event.native))
        press = native->type == GDK_KEY_PRESS;
    uint32_t bit = 0;
    switch (LUiKeymapCodeOfKeyval(event.keyval)) {
    case 55:
        bit = LKey::kCommand;
        break;
    case 56:
    case 60:
        bit = LKey::kShift;
        break;
    case 58:
    case 61:
        bit = LKey::kOption;
        break;
    case 59:
    case 62:
        bit = LKey::kControl;
        break;
    case 57:
        if (press)
            KeyDown.capsLock = !(event.modifiers & kLUiCapsLock);
        break;
    default:
        break;
    }
    now = press ? (now | bit) : (now & ~bit);
    uint32_t before = KeyDown.Modifiers();
    KeyDown.code = (KeyDown.code & ~LKey::kModifierMask) | now;
    for (uint32_t m : { LKey::kCommand, LKey::kShift, LKey::kOption, LKey::kControl }) {
        if ((before & m) && !(now & m))
            return EvKeyUp(LKey(m, KeyDown.capsLock));
        if (!(before & m) && (now & m))
            return EvKeyDown(LKey(m, KeyDown.capsLock));
    }
    return false;
}

bool LKeyHandler::EvKeyDownValue(uint32_t keyValue)
{
    LKey key(keyValue);
    KeyDown = key;
    return EvKeyDown(key);
}

bool LKeyHandler::MapKeyToCommand(
    LMacWindow& window, LKey key, const LKeyToCommandMap* table, unsigned long rows)
{
    int cmd = -1;
    if (FindRow(table, rows, key.code, false, cmd)) {
        window.SendCommand(cmd);
        return true;
    }
    const uint32_t C = LKey::kCommand, O = LKey::kOption;
    struct Shortcut {
        uint32_t code;
        int command;
    };
    const Shortcut builtIn[] = {
        { C | ',', Code("pref") },
        { C | 'H', Code("hide") },
        { O | C | 'H', Code("hido") },
        { C | 'M', Code("mini") },
        { O | C | 'M', Code("mina") },
        { C | 'Q', Code("quit") },
        { C | 'W', kLCmdCancel },
    };
    for (const Shortcut& s : builtIn) {
        if (s.code == key.code) {
            window.SendCommand(s.command);
            return true;
        }
    }
    if (IsHelpKey(key)) {
        window.CmHelp();
        return true;
    }
    const uint32_t backspace = LKey::Special(LKey::kBackspace).code;
    const uint32_t commandBackspace = LKey::Special(LKey::kBackspace, C).code;
    if (key.code == backspace && FindRow(table, rows, commandBackspace, false, cmd)) {
        window.SendCommand(cmd);
        return true;
    }
    if (key.code == commandBackspace && FindRow(table, rows, backspace, true, cmd)) {
        window.SendCommand(cmd);
        return true;
    }
    // Delete, where Linux users delete items, serves the table's BackSpace row when the table
    // has no Delete row of its own.
    if (key.code == LKey::Special(LKey::kDelete).code
        && (FindRow(table, rows, backspace, false, cmd)
            || FindRow(table, rows, commandBackspace, false, cmd))) {
        window.SendCommand(cmd);
        return true;
    }
    if (key.code == LKey::Special(LKey::kEscape).code) {
        LView* content = window.GetContentView();
        LNativeWindow* native = content ? content->Window() : nullptr;
        if (native && native->Level() == LUiWindowLevel::ModalPanel) {
            window.SendCommand(kLCmdCancel);
            return true;
        }
    }
    return false;
}
