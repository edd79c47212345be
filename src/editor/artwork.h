// The editor's bitmaps, embedded in the plug-in, by resource id.
#pragma once

namespace artwork {

enum : int {
    kBackground = 128,
    kAbout = 129,
    kKnobFirst = 130,  // 130..139: knob strips of 101 frames
    kStepUp = 140,
    kStepDown = 141,
    kSwitch2 = 142,
    kSwitch3 = 143,
    kDigit = 144,
    kLeadingDigit = 145,
    kSeparator = 146,
    kDecimalPoint = 147,
    kSideUpper = 148,
    kSideLower = 149,
    kButton = 150,
    kButtonRed = 151,
    kLfoWave = 152,
    kMeter = 153,
};

// Registers the embedded PNGs with the toolkit's bitmap loader (idempotent).
void install();

}  // namespace artwork
