// The keyboard layout and the framework's key codes.
//
// The framework names its special keys (Return, the function keys, the arrows...) with fixed key
// codes of its own; one table turns GDK key values into them. Printable keys have no such code:
// they are found through the layout of the display (X key codes and GDK's key map), which turns a
// key into the character it types with or without Shift and Caps Lock, and a character back into
// the key that types it. Main thread; everything answers "none" without a display.
#pragma once

#include <cstdint>

inline constexpr unsigned kLUiNoKeyCode = 0xFFFFu;

// The framework's code of a special key or modifier key (Return 36, BackSpace 51, Delete 117, F1
// 122...); kLUiNoKeyCode for every other key value.
unsigned LUiKeymapCodeOfKeyval(unsigned keyval);
// The GDK key value that stands for a framework key code; 0 when none.
unsigned LUiKeymapKeyvalOfCode(unsigned code);

// Whether the display's layout can be asked (a display is open).
bool LUiKeymapAvailable();
// The character (Unicode, 0 none) the hardware key types in the layout group with the
// modifiers: Shift, Caps Lock and Ctrl as the keyboard gives them.
uint32_t LUiKeymapTranslate(
    unsigned hardwareKey, bool shift, bool capsLock, bool control, int group = 0);
// The hardware key that types the character in group 0, preferring the unshifted level and the
// lowest key; 0 when the layout has none.
unsigned LUiKeymapHardwareKeyOfChar(uint32_t character);
// The hardware key of a key value (first entry of the layout); 0 when none.
unsigned LUiKeymapHardwareKeyOfKeyval(unsigned keyval);
// The key value the hardware key gives without modifiers; 0 when none.
unsigned LUiKeymapKeyvalOfHardwareKey(unsigned hardwareKey, int group = 0);

// Told when the layout changes (another layout chosen, keys remapped). The token (never 0)
// removes the observer.
using LUiKeymapObserver = void (*)(void* data);
uintptr_t LUiKeymapAddObserver(LUiKeymapObserver observer, void* data);
void LUiKeymapRemoveObserver(uintptr_t token);
// Tells the observers as the layout's own signal does (for tests and for a new display).
void LUiKeymapNotifyChanged();
