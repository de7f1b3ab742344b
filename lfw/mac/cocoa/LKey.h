// One key press with its modifiers, as the framework names it, and the shortcut tables.
//
// The code holds the key code in bits 24-31 (special keys only: Return 36, Tab 48, BackSpace 51,
// Escape 53, the function keys, the arrows...; 0 otherwise), the modifier bits in bits 16-23 and
// the character in bits 0-15 (a UTF-16 unit, upper case for letters; 0 for special keys). The
// framework's Command is the Ctrl key here, its Option the Alt key and its Control the Super key.
// Printable keys are translated through the display's keyboard layout; without a display the
// characters come from the events themselves and key names read "Okänd".
#pragma once

#include "lfw/gen/LString.h"
#include "platform/ui/LUiTypes.h"

#include <cstdint>

class LKey {
public:
    // Modifier bits of the code.
    static constexpr uint32_t kCommand = 0x10000; // Ctrl
    static constexpr uint32_t kShift = 0x20000;
    static constexpr uint32_t kCapsLock = 0x40000; // never in the code: see capsLock
    static constexpr uint32_t kOption = 0x80000; // Alt
    static constexpr uint32_t kControl = 0x100000; // Super
    static constexpr uint32_t kModifierMask = 0x00FF0000;

    // Key codes the framework tests for.
    static constexpr unsigned kReturn = 36;
    static constexpr unsigned kTab = 48;
    static constexpr unsigned kSpace = 49;
    static constexpr unsigned kBackspace = 51;
    static constexpr unsigned kEscape = 53;
    static constexpr unsigned kDelete = 117; // forward delete
    static constexpr unsigned kF1 = 122;
    static constexpr unsigned kKeypadEnter = 76;

    constexpr LKey() = default;
    constexpr LKey(uint32_t c, bool caps = false)
        : code(c)
        , capsLock(caps)
    {
    }
    static constexpr LKey Special(unsigned keyCode, uint32_t modifiers = 0)
    {
        return LKey(uint32_t(keyCode) << 24 | (modifiers & kModifierMask));
    }

    unsigned KeyCode() const { return code >> 24; }
    uint32_t Modifiers() const { return code & kModifierMask; }
    uint16_t Character() const { return uint16_t(code & 0xFFFF); }
    bool operator==(const LKey& o) const { return code == o.code; }
    // Return, keypad Enter or Space, whatever the modifiers: the keys that press a focused
    // control as a click does.
    bool PressesControl() const
    {
        return KeyCode() == kReturn || KeyCode() == kKeypadEnter
            || (KeyCode() == 0 && Character() == ' ');
    }

    // The layout: a token that is not null while the display's keyboard layout can be asked.
    static const void* GetUCKeyboardLayout();
    // The character a hardware key types with the classic modifier bits (the code's modifier
    // bits shifted right by 8: Shift 0x200, Caps Lock 0x400, Command 0x100); 0 without layout.
    static uint32_t KeyCodeToChar(unsigned int keyCode, unsigned int modifiers, unsigned short);
    // The hardware key that types the character; 0 when none (or without layout).
    static unsigned CharToKeyCode(uint32_t character, const void* layout);
    // The layout changed: the cached answers are asked again.
    static void EvKeyboardLayoutChanged();
    // Whether the layout's keys type other characters with Command (Ctrl) held.
    static bool KeysChangeWithCommand();

    // The key's character with its Shift and Caps Lock (see the rules in LKey.cpp).
    uint32_t GetChar() const;
    // That character as UTF-8 with a terminating NUL (out holds at least 8 bytes).
    void GetCharUTF8(char* out) const;
    uint32_t GetCharUCS2Upper() const;
    // True when the character has an upper and a lower case (letters of every alphabet).
    bool IsAlphaChar() const;
    // A printable non-letter whose key types another character with Shift ("1" and "!").
    bool IsShiftableNonAlphaChar() const;

    // For menus and tips, in Linux words: "Skift+Ctrl+Alt+Super+" and the key ("S", "F1",
    // "Retur", "←", "Okänd"); a key whose character is a space reads "...Space".
    void GetDescription(LStringLongTemplate<char>& out) const;
    // The same cut to 260 bytes at a whole character.
    void GetDescription(char* out) const;
    void GetGlyphDescription(LStringLongTemplate<char>& out) const;
    // The modifiers followed by "Space".
    void GetDescriptionSpace(LStringLongTemplate<char>& out) const;
    // The name of a key code ("Okänd" for codes without one).
    static const char* KeyCodeName(unsigned keyCode);

    uint32_t code = 0;
    bool capsLock = false;
};

// The key of a key event of a view.
LKey LKeyFromRawKeyEvent(const LUiEvent& event);
// The modifier bits of an event's modifier state.
uint32_t LKeyModifiersFromEvent(uint32_t uiModifiers);

// One row of a shortcut table: tables are static arrays of the caller, passed with their count.
class LKeyToCommandMap {
public:
    LKey key;
    int command = 0;
};
