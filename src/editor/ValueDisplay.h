// The logic behind the four-digit value display and the two input meters, as pure
// functions the editor calls on every idle: which item to show, when a limited note value
// blinks, which frame each digit cell shows, and how a meter rises and falls. The areas
// and timings they use are in layout.h.
#pragma once

#include <array>
#include <cstdint>

#include "../params/DisplayValue.h"

namespace valuedisplay {

// ---- tags ----
constexpr int kFirstCellTag = 64;  // cells 1..4 (64..67), points after cells 1..3 (68..70),
constexpr int kCellCount = 10;     // separator marks after cells 1..3 (71..73)
constexpr int kLeftMeterTag = 80;
constexpr int kRightMeterTag = 81;

// The values of the ten cells in tag order 64..73, each frame / (frames - 1) of its bitmap:
// cell 1 has 13 frames (blank, digits 0..9, minus, plus), cells 2..4 have 11 (blank, digits),
// points and marks 2 (off, on). A fraction is drawn only while `blink` is true.
using Cells = std::array<float, kCellCount>;
Cells cellValues(const params::DisplayValue& value, bool blink);

// The item to show and the limit selector whose note value blinks (0: it never blinks;
// 1 left note, 2 right note, 8 left pre-delay, 16 right pre-delay).
struct ItemChoice {
    int item;
    int blinkSelector;
};
// editedTag: the tag of the control being dragged, or -1; (x, y): the mouse in the frame;
// hoveredTag: the tag of the frame's topmost control there, or -1; rightSideShown: the
// channel controls show the right side; lfoSynced: LfoMode is a note mode; delaySynced:
// the shown side's DlyMode is note.
ItemChoice chooseItem(int editedTag, double x, double y, int hoveredTag, bool rightSideShown, bool lfoSynced,
                      bool delaySynced);

// The blink phase. A note value that is limited turns on and off every kBlinkPeriodMs,
// paced by the idle calls; any other item is shown steadily (pass limited = false).
struct Blink {
    bool on = true;
    uint32_t lastToggleMs = 0;
};
// Tick counts wrap at 2^32 ms; the elapsed time is their unsigned difference.
Blink stepBlink(Blink blink, bool limited, uint32_t nowMs);

// A meter's next value (0..1 over -24..0 dB) from the input peak since the last idle and
// its last value: it rises at once and falls by at most elapsedMs / kMeterFallMs.
float meterValue(float peak, float lastValue, uint32_t elapsedMs);

}  // namespace valuedisplay
