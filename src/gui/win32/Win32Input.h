// What the Windows frame makes of the system's input messages, as plain functions the tests
// reach without a window: the pointer's buttons and modifiers in the X-style form the
// frame's raw input takes, the wheel's notches, and keys in the toolkit's key codes.
#pragma once

#include <windows.h>

#include <cstdint>

#include "../core/vstguibase.h"

namespace VSTGUI {
namespace win32 {

// The X-style state mask (input.h) of a mouse message: its MK_ button and key bits, and
// Alt, which mouse messages do not carry (the caller reads it with GetKeyState).
uint32_t xStateOf(WPARAM mouseKeys, bool alt);

// The X button number (1 left, 2 middle, 3 right) of a button message, 0 for others.
int buttonOf(UINT message);
bool isButtonDown(UINT message);  // a press or a double click

// Wheel deltas come in steps of WHEEL_DELTA from a classic wheel and in small parts of it
// from a high-resolution one: the parts are summed until they make a notch. Turning the
// other way drops what was summed towards the old direction.
class WheelAccumulator {
public:
    // The whole notches (positive: away from the user, or to the right) that `delta` completes.
    int add(int delta);
    void reset() { rest = 0; }

private:
    int rest = 0;
};

// The toolkit's virtual key for a Windows virtual-key code; 0 for keys that type text (or
// nothing). `extended` tells the keypad's Enter from Return.
VstInt32 virtualKeyOf(WPARAM vk, bool extended);
// Shift, Ctrl and Alt, and the keys that only change other keys.
bool isModifierKey(WPARAM vk);
// The VST modifier bits of the keys held.
unsigned char keyModifiers(bool shift, bool control, bool alt);

// The character a key with Ctrl or Alt names for a shortcut (Ctrl+C is 'c'): its letter or
// digit, 0 for other keys. Windows turns Ctrl+letter into a control character when it
// translates the key, so shortcuts are read from the key itself.
char shortcutCharacter(WPARAM vk);

// A typed UTF-16 unit (WM_CHAR) as the character of a key code (keys.h): ASCII and
// Latin-1 as they are, other code points as Unicode keysyms. Surrogate pairs are joined:
// the high half is kept in `pendingHigh` and yields 0, the low half yields the pair.
int32_t characterOf(wchar_t unit, wchar_t& pendingHigh);

}  // namespace win32
}  // namespace VSTGUI
