// The editor's bitmaps, embedded in the plug-in, by resource id.
#pragma once

#include <cstddef>

namespace VSTGUI {
struct EmbeddedResource;
}

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

// Registers the embedded PNGs, both sets, with the toolkit's bitmap loader (idempotent).
void install();

// The same bitmaps drawn at twice the width and height, under the same ids and in the
// same order, frame for frame: the set a panel drawn at more than 100 % takes its pixels
// from (200 % as they are, the factors between scaled down from them).
struct Table {
    const VSTGUI::EmbeddedResource* rows;
    size_t count;
};
Table table2x();

}  // namespace artwork
