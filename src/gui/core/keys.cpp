#include "keys.h"

namespace VSTGUI {
namespace keys {

namespace {

constexpr int32_t kUnicodeKeysym = 0x01000000;
constexpr int32_t kEuroSignKeysym = 0x20ac;
// The keypad's printable keysyms are their ASCII characters plus 0xff80 (KP_Multiply .. KP_9,
// KP_Equal), except KP_Space, which is 0xff80 itself.
constexpr int32_t kKeypadOffset = 0xff80;

bool printable(uint32_t cp) {
    return cp >= 0x20 && cp != 0x7f && !(cp >= 0x80 && cp < 0xa0) && !(cp >= 0xd800 && cp <= 0xdfff) &&
           cp <= 0x10ffff;
}

// What each dead key puts on the letters it combines with (all within Latin-1), and the
// accent it types alone.
struct DeadKey {
    int32_t keysym;
    uint32_t alone;
    const char* letters;
    const unsigned char* accented;
};
constexpr unsigned char kGrave[] = {0xc0, 0xc8, 0xcc, 0xd2, 0xd9, 0xe0, 0xe8, 0xec, 0xf2, 0xf9};
constexpr unsigned char kAcute[] = {0xc1, 0xc9, 0xcd, 0xd3, 0xda, 0xdd, 0xe1, 0xe9, 0xed, 0xf3, 0xfa, 0xfd};
constexpr unsigned char kCircumflex[] = {0xc2, 0xca, 0xce, 0xd4, 0xdb, 0xe2, 0xea, 0xee, 0xf4, 0xfb};
constexpr unsigned char kTilde[] = {0xc3, 0xd1, 0xd5, 0xe3, 0xf1, 0xf5};
constexpr unsigned char kDiaeresis[] = {0xc4, 0xcb, 0xcf, 0xd6, 0xdc, 0xe4, 0xeb, 0xef, 0xf6, 0xfc, 0xff};
constexpr unsigned char kRing[] = {0xc5, 0xe5};
constexpr unsigned char kCedilla[] = {0xc7, 0xe7};
constexpr DeadKey kDeadKeys[] = {
    {0xfe50, '`', "AEIOUaeiou", kGrave},         {0xfe51, 0xb4, "AEIOUYaeiouy", kAcute},
    {0xfe52, '^', "AEIOUaeiou", kCircumflex},    {0xfe53, '~', "ANOano", kTilde},
    {0xfe57, 0xa8, "AEIOUaeiouy", kDiaeresis},   {0xfe58, 0xb0, "Aa", kRing},
    {0xfe5b, 0xb8, "Cc", kCedilla},
};

}  // namespace

uint32_t codePoint(int32_t character) {
    if ((character >= 0x20 && character <= 0x7e) || (character >= 0xa0 && character <= 0xff))
        return static_cast<uint32_t>(character);
    if ((character & 0xff000000) == kUnicodeKeysym) {
        const uint32_t cp = static_cast<uint32_t>(character & 0x00ffffff);
        return printable(cp) ? cp : 0;
    }
    if (character == kEuroSignKeysym) return 0x20ac;
    if (character == kKeypadOffset) return ' ';
    if (character == kKeypadOffset + '=' || (character >= kKeypadOffset + '*' && character <= kKeypadOffset + '9'))
        return static_cast<uint32_t>(character - kKeypadOffset);
    return 0;
}

bool isDeadKey(int32_t character) { return character >= 0xfe50 && character <= 0xfe8f; }

uint32_t compose(int32_t deadKey, uint32_t next) {
    for (const DeadKey& d : kDeadKeys) {
        if (d.keysym != deadKey) continue;
        if (next == ' ') return d.alone;
        for (int i = 0; d.letters[i]; ++i)
            if (static_cast<unsigned char>(d.letters[i]) == next) return d.accented[i];
        return 0;
    }
    return 0;
}

bool isShortcut(const VstKeyCode& key) {
    const bool control = (key.modifier & (MODIFIER_CONTROL | MODIFIER_COMMAND)) != 0;
    const bool alt = (key.modifier & MODIFIER_ALTERNATE) != 0;
    if (!control && !alt) return false;
    if (control && alt) {
        const uint32_t cp = codePoint(key.character);
        const bool asciiAlnum = (cp >= '0' && cp <= '9') || ((cp | 0x20) >= 'a' && (cp | 0x20) <= 'z');
        if (cp && !asciiAlnum) return false;
    }
    return true;
}

char shortcutLetter(const VstKeyCode& key) {
    // Some hosts pass Ctrl+letter as the control character it makes (Ctrl+A is 1).
    if (key.character >= 1 && key.character <= 26) return static_cast<char>('a' + key.character - 1);
    const uint32_t cp = codePoint(key.character);
    if ((cp | 0x20) >= 'a' && (cp | 0x20) <= 'z') return static_cast<char>(cp | 0x20);
    return 0;
}

}  // namespace keys
}  // namespace VSTGUI
