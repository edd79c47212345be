#include "Win32Input.h"

#include "../core/input.h"

namespace VSTGUI {
namespace win32 {

uint32_t xStateOf(WPARAM mouseKeys, bool alt) {
    uint32_t state = 0;
    if (mouseKeys & MK_SHIFT) state |= kXShiftMask;
    if (mouseKeys & MK_CONTROL) state |= kXControlMask;
    if (alt) state |= kXMod1Mask;
    if (mouseKeys & MK_LBUTTON) state |= kXButton1Mask;
    if (mouseKeys & MK_MBUTTON) state |= kXButton2Mask;
    if (mouseKeys & MK_RBUTTON) state |= kXButton3Mask;
    return state;
}

int buttonOf(UINT message) {
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_LBUTTONUP: return 1;
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK:
        case WM_MBUTTONUP: return 2;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
        case WM_RBUTTONUP: return 3;
        default: return 0;
    }
}

bool isButtonDown(UINT message) {
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK: return true;
        default: return false;
    }
}

int WheelAccumulator::add(int delta) {
    if ((delta > 0 && rest < 0) || (delta < 0 && rest > 0)) rest = 0;
    rest += delta;
    const int notches = rest / WHEEL_DELTA;
    rest -= notches * WHEEL_DELTA;
    return notches;
}

VstInt32 virtualKeyOf(WPARAM vk, bool extended) {
    switch (vk) {
        case VK_BACK: return VKEY_BACK;
        case VK_TAB: return VKEY_TAB;
        case VK_RETURN: return extended ? VKEY_ENTER : VKEY_RETURN;
        case VK_ESCAPE: return VKEY_ESCAPE;
        case VK_SPACE: return VKEY_SPACE;
        case VK_PRIOR: return VKEY_PAGEUP;
        case VK_NEXT: return VKEY_PAGEDOWN;
        case VK_END: return VKEY_END;
        case VK_HOME: return VKEY_HOME;
        case VK_LEFT: return VKEY_LEFT;
        case VK_UP: return VKEY_UP;
        case VK_RIGHT: return VKEY_RIGHT;
        case VK_DOWN: return VKEY_DOWN;
        case VK_INSERT: return VKEY_INSERT;
        case VK_DELETE: return VKEY_DELETE;
        default: break;
    }
    if (vk >= VK_F1 && vk <= VK_F12) return static_cast<VstInt32>(VKEY_F1 + (vk - VK_F1));
    return 0;
}

bool isModifierKey(WPARAM vk) {
    switch (vk) {
        case VK_SHIFT:
        case VK_LSHIFT:
        case VK_RSHIFT:
        case VK_CONTROL:
        case VK_LCONTROL:
        case VK_RCONTROL:
        case VK_MENU:
        case VK_LMENU:
        case VK_RMENU:
        case VK_LWIN:
        case VK_RWIN:
        case VK_CAPITAL:
        case VK_NUMLOCK:
        case VK_SCROLL: return true;
        default: return false;
    }
}

unsigned char keyModifiers(bool shift, bool control, bool alt) {
    unsigned char m = 0;
    if (shift) m |= MODIFIER_SHIFT;
    if (control) m |= MODIFIER_CONTROL;
    if (alt) m |= MODIFIER_ALTERNATE;
    return m;
}

char shortcutCharacter(WPARAM vk) {
    if (vk >= 'A' && vk <= 'Z') return static_cast<char>(vk - 'A' + 'a');
    if (vk >= '0' && vk <= '9') return static_cast<char>(vk);
    return 0;
}

int32_t characterOf(wchar_t unit, wchar_t& pendingHigh) {
    constexpr int32_t kUnicodeKeysym = 0x01000000;
    if (unit >= 0xd800 && unit <= 0xdbff) {
        pendingHigh = unit;
        return 0;
    }
    uint32_t cp = unit;
    if (unit >= 0xdc00 && unit <= 0xdfff) {
        if (!pendingHigh) return 0;  // a low half alone means nothing
        cp = 0x10000 + ((static_cast<uint32_t>(pendingHigh) - 0xd800) << 10) + (unit - 0xdc00);
    }
    pendingHigh = 0;
    return cp <= 0xff ? static_cast<int32_t>(cp) : static_cast<int32_t>(kUnicodeKeysym + cp);
}

}  // namespace win32
}  // namespace VSTGUI
