#include "platform/ui/LUiKeymap.h"

#include "platform/ui/LUiSystem.h"

#include <gdk/gdk.h>
#include <vector>

namespace {

struct KeyCodeEntry {
    unsigned keyval;
    unsigned code;
};

// The first entry of a code is the key value that stands for it.
constexpr KeyCodeEntry kKeyCodes[] = {
    { GDK_KEY_Return, 36 },
    { GDK_KEY_ISO_Enter, 36 },
    { GDK_KEY_Tab, 48 },
    { GDK_KEY_ISO_Left_Tab, 48 },
    { GDK_KEY_KP_Tab, 48 },
    { GDK_KEY_BackSpace, 51 },
    { GDK_KEY_Escape, 53 },
    { GDK_KEY_Control_L, 55 },
    { GDK_KEY_Control_R, 55 },
    { GDK_KEY_Shift_L, 56 },
    { GDK_KEY_Caps_Lock, 57 },
    { GDK_KEY_Shift_Lock, 57 },
    { GDK_KEY_Alt_L, 58 },
    { GDK_KEY_Meta_L, 58 },
    { GDK_KEY_Super_L, 59 },
    { GDK_KEY_Hyper_L, 59 },
    { GDK_KEY_Shift_R, 60 },
    { GDK_KEY_Alt_R, 61 },
    { GDK_KEY_Meta_R, 61 },
    { GDK_KEY_ISO_Level3_Shift, 61 },
    { GDK_KEY_Super_R, 62 },
    { GDK_KEY_Hyper_R, 62 },
    { GDK_KEY_F17, 64 },
    { GDK_KEY_Num_Lock, 71 },
    { GDK_KEY_AudioRaiseVolume, 72 },
    { GDK_KEY_AudioLowerVolume, 73 },
    { GDK_KEY_AudioMute, 74 },
    { GDK_KEY_KP_Enter, 76 },
    { GDK_KEY_F18, 79 },
    { GDK_KEY_F19, 80 },
    { GDK_KEY_F20, 90 },
    { GDK_KEY_F5, 96 },
    { GDK_KEY_F6, 97 },
    { GDK_KEY_F7, 98 },
    { GDK_KEY_F3, 99 },
    { GDK_KEY_F8, 100 },
    { GDK_KEY_F9, 101 },
    { GDK_KEY_F11, 103 },
    { GDK_KEY_F13, 105 },
    { GDK_KEY_F16, 106 },
    { GDK_KEY_F14, 107 },
    { GDK_KEY_F10, 109 },
    { GDK_KEY_Menu, 110 },
    { GDK_KEY_F12, 111 },
    { GDK_KEY_F15, 113 },
    { GDK_KEY_Help, 114 },
    { GDK_KEY_Insert, 114 }, // where the Help key sits on full keyboards
    { GDK_KEY_KP_Insert, 114 },
    { GDK_KEY_Home, 115 },
    { GDK_KEY_KP_Home, 115 },
    { GDK_KEY_Page_Up, 116 },
    { GDK_KEY_KP_Page_Up, 116 },
    { GDK_KEY_Delete, 117 },
    { GDK_KEY_KP_Delete, 117 },
    { GDK_KEY_F4, 118 },
    { GDK_KEY_End, 119 },
    { GDK_KEY_KP_End, 119 },
    { GDK_KEY_F2, 120 },
    { GDK_KEY_Page_Down, 121 },
    { GDK_KEY_KP_Page_Down, 121 },
    { GDK_KEY_F1, 122 },
    { GDK_KEY_Left, 123 },
    { GDK_KEY_KP_Left, 123 },
    { GDK_KEY_Right, 124 },
    { GDK_KEY_KP_Right, 124 },
    { GDK_KEY_Down, 125 },
    { GDK_KEY_KP_Down, 125 },
    { GDK_KEY_Up, 126 },
    { GDK_KEY_KP_Up, 126 },
};

struct Observer {
    uintptr_t token;
    LUiKeymapObserver fn;
    void* data;
};

std::vector<Observer>& Observers()
{
    static std::vector<Observer> observers;
    return observers;
}

uintptr_t gNextToken = 1;

GdkKeymap* Keymap()
{
    GdkDisplay* display = LUiIsAvailable() ? gdk_display_get_default() : nullptr;
    if (!display)
        return nullptr;
    GdkKeymap* keymap = gdk_keymap_get_for_display(display);
    static GdkKeymap* connected = nullptr;
    if (keymap && keymap != connected) {
        connected = keymap;
        g_signal_connect(keymap, "keys-changed",
            G_CALLBACK(+[](GdkKeymap*, gpointer) { LUiKeymapNotifyChanged(); }), nullptr);
    }
    return keymap;
}

} // namespace

unsigned LUiKeymapCodeOfKeyval(unsigned keyval)
{
    for (const KeyCodeEntry& e : kKeyCodes)
        if (e.keyval == keyval)
            return e.code;
    return kLUiNoKeyCode;
}

unsigned LUiKeymapKeyvalOfCode(unsigned code)
{
    if (code == 49)
        return GDK_KEY_space;
    for (const KeyCodeEntry& e : kKeyCodes)
        if (e.code == code)
            return e.keyval;
    return 0;
}

bool LUiKeymapAvailable()
{
    return Keymap() != nullptr;
}

uint32_t LUiKeymapTranslate(
    unsigned hardwareKey, bool shift, bool capsLock, bool control, int group)
{
    GdkKeymap* keymap = Keymap();
    if (!keymap || hardwareKey == 0)
        return 0;
    unsigned state = (shift ? GDK_SHIFT_MASK : 0) | (capsLock ? GDK_LOCK_MASK : 0)
        | (control ? GDK_CONTROL_MASK : 0);
    guint keyval = 0;
    if (!gdk_keymap_translate_keyboard_state(
            keymap, hardwareKey, GdkModifierType(state), group, &keyval, nullptr, nullptr, nullptr))
        return 0;
    return gdk_keyval_to_unicode(keyval);
}

unsigned LUiKeymapHardwareKeyOfChar(uint32_t character)
{
    GdkKeymap* keymap = Keymap();
    if (!keymap || character == 0)
        return 0;
    guint keyval = gdk_unicode_to_keyval(character);
    GdkKeymapKey* keys = nullptr;
    gint n = 0;
    unsigned best = 0;
    int bestLevel = 0;
    if (gdk_keymap_get_entries_for_keyval(keymap, keyval, &keys, &n)) {
        for (gint i = 0; i < n; ++i) {
            if (keys[i].group != 0 || keys[i].keycode == 0)
                continue;
            bool better = best == 0 || keys[i].level < bestLevel
                || (keys[i].level == bestLevel && keys[i].keycode < best);
            if (better) {
                best = keys[i].keycode;
                bestLevel = keys[i].level;
            }
        }
        g_free(keys);
    }
    return best;
}

unsigned LUiKeymapHardwareKeyOfKeyval(unsigned keyval)
{
    GdkKeymap* keymap = Keymap();
    if (!keymap || keyval == 0)
        return 0;
    GdkKeymapKey* keys = nullptr;
    gint n = 0;
    unsigned found = 0;
    if (gdk_keymap_get_entries_for_keyval(keymap, keyval, &keys, &n)) {
        if (n > 0)
            found = keys[0].keycode;
        g_free(keys);
    }
    return found;
}

unsigned LUiKeymapKeyvalOfHardwareKey(unsigned hardwareKey, int group)
{
    GdkKeymap* keymap = Keymap();
    guint keyval = 0;
    if (!keymap || hardwareKey == 0
        || !gdk_keymap_translate_keyboard_state(
            keymap, hardwareKey, GdkModifierType(0), group, &keyval, nullptr, nullptr, nullptr))
        return 0;
    return keyval;
}

uintptr_t LUiKeymapAddObserver(LUiKeymapObserver observer, void* data)
{
    Keymap(); // connects the layout's signal when there is a display
    uintptr_t token = gNextToken++;
    Observers().push_back(Observer { token, observer, data });
    return token;
}

void LUiKeymapRemoveObserver(uintptr_t token)
{
    std::erase_if(Observers(), [token](const Observer& o) { return o.token == token; });
}

void LUiKeymapNotifyChanged()
{
    for (Observer o : std::vector<Observer>(Observers()))
        o.fn(o.data);
}
