#include "lfw/mac/cocoa/LKey.h"

#include "lfw/gen/LCharSet.h"
#include "platform/ui/LUiKeymap.h"

#include <gdk/gdk.h>
#include <glib.h>

namespace {

struct KeyName {
    unsigned code;
    const char* name;
};

constexpr KeyName kKeyNames[] = {
    { 36, "Retur" },
    { 48, "Tabb" },
    { 49, "Space" },
    { 51, "Backsteg" },
    { 53, "Esc" },
    { 57, "Skiftlåstangent" },
    { 64, "F17" },
    { 71, "Num Lås" },
    { 72, "Volym upp" },
    { 73, "Volym ner" },
    { 74, "Mute" },
    { 76, "Enter" },
    { 79, "F18" },
    { 80, "F19" },
    { 90, "F20" },
    { 96, "F5" },
    { 97, "F6" },
    { 98, "F7" },
    { 99, "F3" },
    { 100, "F8" },
    { 101, "F9" },
    { 103, "F11" },
    { 105, "F13" },
    { 106, "F16" },
    { 107, "F14" },
    { 109, "F10" },
    { 110, "Meny" },
    { 111, "F12" },
    { 113, "F15" },
    { 114, "Hjälp" },
    { 115, "Home" },
    { 116, "Page Up" },
    { 117, "Delete" },
    { 118, "F4" },
    { 119, "End" },
    { 120, "F2" },
    { 121, "Page Down" },
    { 122, "F1" },
    { 123, "←" },
    { 124, "→" },
    { 125, "↓" },
    { 126, "↑" },
};

// Keys kept as key codes in a key record: the named ones, except the space bar and Caps Lock.
bool IsSpecialCode(unsigned code)
{
    if (code == 49 || code == 57)
        return false;
    for (const KeyName& k : kKeyNames)
        if (k.code == code)
            return true;
    return false;
}

bool IsModifierCode(unsigned code)
{
    return code >= 55 && code <= 63;
}

// The layout's answers that are kept until it changes.
struct LayoutCache {
    bool loaded = false;
    bool available = false;
    bool changeWithCommand = false;
    uintptr_t observer = 0;
};

LayoutCache gLayout;

void LoadLayout()
{
    if (gLayout.loaded)
        return;
    gLayout.loaded = true;
    gLayout.available = LUiKeymapAvailable();
    if (!gLayout.observer && gLayout.available)
        gLayout.observer
            = LUiKeymapAddObserver([](void*) { LKey::EvKeyboardLayoutChanged(); }, nullptr);
    gLayout.changeWithCommand = false;
    if (gLayout.available) {
        unsigned a = LUiKeymapHardwareKeyOfKeyval(GDK_KEY_a);
        gLayout.changeWithCommand = LUiKeymapTranslate(a, false, false, false)
            != LUiKeymapTranslate(a, false, false, true);
    }
}

// The hardware key of a key record: from its key code, else from its character.
unsigned HardwareKeyOf(const LKey& key)
{
    if (unsigned kc = key.KeyCode())
        return LUiKeymapHardwareKeyOfKeyval(LUiKeymapKeyvalOfCode(kc));
    return LKey::CharToKeyCode(key.Character(), LKey::GetUCKeyboardLayout());
}

void AppendUTF8(LStringLongTemplate<char>& out, uint32_t ch)
{
    if (ch == 0)
        return;
    char buf[8];
    int n = LEncodeUTF8(ch, buf);
    if (n > 0)
        out.Append(buf, size_t(n));
}

void AppendModifiers(LStringLongTemplate<char>& out, uint32_t mods, bool withShift)
{
    if ((mods & LKey::kShift) && withShift)
        out.Append("Skift+");
    if (mods & LKey::kCommand)
        out.Append("Ctrl+");
    if (mods & LKey::kOption)
        out.Append("Alt+");
    if (mods & LKey::kControl)
        out.Append("Super+");
}

// A description of modifiers alone ends without the joining "+".
void TrimJoin(LStringLongTemplate<char>& out)
{
    const char* s = out.c_str();
    size_t n = strlen(s);
    if (n && s[n - 1] == '+') {
        LStringLongTemplate<char> trimmed;
        trimmed.Append(s, n - 1);
        out = trimmed;
    }
}

} // namespace

const void* LKey::GetUCKeyboardLayout()
{
    LoadLayout();
    return gLayout.available ? &gLayout : nullptr;
}

void LKey::EvKeyboardLayoutChanged()
{
    gLayout.loaded = false;
    LoadLayout();
}

bool LKey::KeysChangeWithCommand()
{
    LoadLayout();
    return gLayout.changeWithCommand;
}

uint32_t LKey::KeyCodeToChar(unsigned int keyCode, unsigned int modifiers, unsigned short)
{
    if (!GetUCKeyboardLayout())
        return 0;
    return LUiKeymapTranslate(
        keyCode, (modifiers & 0x200) != 0, (modifiers & 0x400) != 0, (modifiers & 0x100) != 0);
}

unsigned LKey::CharToKeyCode(uint32_t character, const void* layout)
{
    if (!layout || character == 0)
        return 0;
    return LUiKeymapHardwareKeyOfChar(character);
}

uint32_t LKey::GetChar() const
{
    const void* layout = GetUCKeyboardLayout();
    unsigned classic = ((code & kShift) ? 0x200 : 0) | (capsLock ? 0x400 : 0);
    if (KeyCode()) {
        unsigned hw = HardwareKeyOf(*this);
        return hw ? KeyCodeToChar(hw, classic, 0) : 0;
    }
    unsigned hw = CharToKeyCode(Character(), layout);
    if (layout && hw)
        if (uint32_t c = KeyCodeToChar(hw, classic, 0))
            return c;
    uint32_t c = Character();
    if (Modifiers() == 0 && !capsLock)
        c = g_unichar_tolower(c);
    return c;
}

void LKey::GetCharUTF8(char* out) const
{
    uint32_t c = GetChar();
    int n = c ? LEncodeUTF8(c, out) : 0;
    out[n > 0 ? n : 0] = 0;
}

uint32_t LKey::GetCharUCS2Upper() const
{
    return g_unichar_toupper(GetChar());
}

bool LKey::IsAlphaChar() const
{
    uint32_t c = GetChar();
    return g_unichar_toupper(c) != g_unichar_tolower(c);
}

bool LKey::IsShiftableNonAlphaChar() const
{
    uint32_t c = Character();
    if (c == 0 || !g_unichar_isgraph(c) || !GetUCKeyboardLayout())
        return false;
    unsigned hw = HardwareKeyOf(*this);
    if (!hw)
        return false;
    uint32_t plain = g_unichar_toupper(KeyCodeToChar(hw, 0, 0));
    uint32_t shifted = g_unichar_toupper(KeyCodeToChar(hw, 0x200, 0));
    return plain != shifted;
}

const char* LKey::KeyCodeName(unsigned keyCode)
{
    for (const KeyName& k : kKeyNames)
        if (k.code == keyCode)
            return k.name;
    return "Okänd";
}

void LKey::GetDescriptionSpace(LStringLongTemplate<char>& out) const
{
    out = "";
    AppendModifiers(out, Modifiers(), true);
    out.Append("Space");
}

void LKey::GetGlyphDescription(LStringLongTemplate<char>& out) const
{
    out = "";
    if (code == 0)
        return;
    bool shiftable = KeyCode() == 0 && IsShiftableNonAlphaChar();
    AppendModifiers(out, Modifiers(), !shiftable);
    if (KeyCode() == 0 && Character() == 0) {
        TrimJoin(out);
        return;
    }
    uint32_t c = KeyCode() ? 0 : Character();
    if (c && g_unichar_isgraph(c)) {
        uint32_t shown = GetCharUCS2Upper();
        AppendUTF8(out, shown ? shown : g_unichar_toupper(c));
        return;
    }
    unsigned kc = KeyCode();
    if (!kc && GetUCKeyboardLayout()) {
        unsigned hw = CharToKeyCode(c, GetUCKeyboardLayout());
        unsigned mapped = hw ? LUiKeymapCodeOfKeyval(LUiKeymapKeyvalOfHardwareKey(hw)) : 0;
        kc = mapped == kLUiNoKeyCode ? 0 : mapped;
    }
    out.Append(kc ? KeyCodeName(kc) : "Okänd");
}

void LKey::GetDescription(LStringLongTemplate<char>& out) const
{
    if (code != 0 && (KeyCode() == kSpace || (KeyCode() == 0 && Character() == ' '))) {
        GetDescriptionSpace(out);
        return;
    }
    GetGlyphDescription(out);
}

void LKey::GetDescription(char* out) const
{
    LStringLongTemplate<char> s;
    GetDescription(s);
    utf8strlcpy(out, s.c_str(), kLStringShortSize);
}

uint32_t LKeyModifiersFromEvent(uint32_t m)
{
    return ((m & kLUiControl) ? LKey::kCommand : 0) | ((m & kLUiShift) ? LKey::kShift : 0)
        | ((m & kLUiAlt) ? LKey::kOption : 0) | ((m & kLUiSuper) ? LKey::kControl : 0);
}

LKey LKeyFromRawKeyEvent(const LUiEvent& event)
{
    uint32_t mods = LKeyModifiersFromEvent(event.modifiers);
    bool caps = (event.modifiers & kLUiCapsLock) != 0;
    unsigned kc = LUiKeymapCodeOfKeyval(event.keyval);
    if (kc != kLUiNoKeyCode && IsSpecialCode(kc))
        return LKey(kc << 24 | mods, caps);
    if (kc != kLUiNoKeyCode && IsModifierCode(kc))
        return LKey(mods, caps);
    uint32_t ch = 0;
    if (LKey::GetUCKeyboardLayout() && event.keycode) {
        int group = 0;
        if (auto* native = static_cast<const GdkEvent*>(event.native);
            native && (native->type == GDK_KEY_PRESS || native->type == GDK_KEY_RELEASE))
            group = native->key.group;
        ch = LUiKeymapTranslate(event.keycode, false, false,
            LKey::KeysChangeWithCommand() && (mods & LKey::kCommand), group);
    }
    if (ch == 0)
        ch = event.character;
    ch = g_unichar_toupper(ch);
    if (ch > 0xFFFF)
        ch = 0; // outside the 16 bits of the record
    return LKey(mods | ch, caps);
}
