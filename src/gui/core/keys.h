// What a key means, the same for keys from the host (effEditKeyDown) and keys from our own
// window. A key's `character` arrives as ASCII or Latin-1 (hosts that follow the VST
// convention), or as an X keysym: Linux hosts pass the keysym of the key they forward (a
// keypad digit as KP_1, a dead key as dead_acute, a letter outside Latin-1 as the Unicode
// keysym), and our window does the same, so one function reads both.
#pragma once

#include <cstdint>

#include "vstguibase.h"

namespace VSTGUI {
namespace keys {

// The code point a key's character types: ASCII and Latin-1 as they are, Unicode keysyms
// (0x01000000 + code point), the keypad's printable keysyms, the euro sign's keysym; 0 for
// anything else (function keys, modifiers, dead keys, control characters).
uint32_t codePoint(int32_t character);

// Dead keysyms (dead_grave .. dead_cedilla and the rest of their block).
bool isDeadKey(int32_t character);
// The character a dead key followed by `next` (a code point) makes: the accented letter,
// the accent itself after a space or the same dead key; 0 when they do not combine.
uint32_t compose(int32_t deadKey, uint32_t next);

// Ctrl (or, from a Mac host, Command) or Alt is held: a shortcut, never text. Ctrl and Alt
// together with anything but an ASCII letter or digit is AltGr as Windows reports it, and
// types its character.
bool isShortcut(const VstKeyCode& key);
// The key's letter for matching shortcuts ('a' for Ctrl+A and Ctrl+Shift+A), 0 if none.
char shortcutLetter(const VstKeyCode& key);

}  // namespace keys
}  // namespace VSTGUI
