#include "ValueDisplay.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "layout.h"

namespace valuedisplay {

using layout::kBlinkPeriodMs;
using layout::kDelayArea;
using layout::kLfoArea;
using layout::kMeterFallMs;
using layout::kMeterFloor;
using layout::kPreDelayArea;

namespace {

// Cell indices within Cells.
constexpr int kPointAfter = 3;  // + 1..3
constexpr int kMarkAfter = 6;   // + 1..3

// Cell 1's frames are blank, the digits 0..9, minus and plus; the other cells' blank and digits.
float leadDigit(int digit) { return static_cast<float>(digit + 1) / 12.0f; }
constexpr float kMinus = 11.0f / 12.0f;
constexpr float kPlus = 1.0f;
float digit(int d) { return static_cast<float>(d + 1) / 10.0f; }

int digitAt(long long n, int power) {
    for (int k = 0; k < power; ++k) n /= 10;
    return static_cast<int>(n % 10);
}

bool isKnob(int tag) {
    for (const layout::Control& c : layout::kPanel)
        if (c.kind == layout::Kind::Knob && c.tag == tag) return true;
    return false;
}

// The knobs 83..86 show whichever side's parameter they edit.
int knobItem(int tag, bool rightSideShown) {
    for (const layout::SharedControl& c : layout::kSharedControls)
        if (c.tag == tag) return rightSideShown ? c.right : c.left;
    return tag;
}

ItemChoice lfoChoice(bool lfoSynced) { return {lfoSynced ? 33 : 10, 0}; }

ItemChoice delayChoice(bool rightSideShown, bool delaySynced) {
    if (delaySynced) return rightSideShown ? ItemChoice{27, 2} : ItemChoice{26, 1};
    return {rightSideShown ? 36 : 35, 0};
}

}  // namespace

Cells cellValues(const params::DisplayValue& value, bool blink) {
    Cells cells{};  // all blank, no points, no marks

    if (value.numerator >= 0) {
        // numerator _ : denominator; a limited note value blinks by leaving the cells blank.
        if (!blink) return cells;
        const long long denominator = std::llabs(value.denominator);
        cells[0] = leadDigit(value.numerator % 10);
        cells[kMarkAfter + 2] = 1.0f;
        if (denominator >= 10) cells[2] = digit(digitAt(denominator, 1));
        cells[3] = digit(digitAt(denominator, 0));
        return cells;
    }

    long long n = value.number;
    int point = value.point;
    if (value.isSigned) {
        // The sign takes cell 1, so the last digit goes and the point moves one cell right.
        n /= 10;
        if (++point > 3) point = 0;
        cells[0] = n < 0 ? kMinus : kPlus;
        n = std::llabs(n);
        for (int cell = 1; cell < 4; ++cell) cells[cell] = digit(digitAt(n, 3 - cell));
    } else {
        n = std::llabs(n);  // unsigned items are never negative within their controls' range
        cells[0] = leadDigit(digitAt(n, 3));
        for (int cell = 1; cell < 4; ++cell) cells[cell] = digit(digitAt(n, 3 - cell));
    }
    if (value.ratioMode >= 1 && value.ratioMode <= 3) cells[kMarkAfter + value.ratioMode] = 1.0f;
    if (point >= 1 && point <= 3) cells[kPointAfter + point] = 1.0f;
    return cells;
}

ItemChoice chooseItem(int editedTag, double x, double y, int hoveredTag, bool rightSideShown, bool lfoSynced,
                      bool delaySynced) {
    if (editedTag != -1) {
        // A drag shows what it changes, wherever the mouse has wandered.
        if (editedTag == 10) return lfoChoice(lfoSynced);
        if (editedTag == 76 || editedTag == 77 || editedTag == 90) return delayChoice(rightSideShown, delaySynced);
        if (isKnob(editedTag)) return {knobItem(editedTag, rightSideShown), 0};
        return {params::kTempoItem, 0};
    }
    if (kLfoArea.contains(x, y)) return lfoChoice(lfoSynced);
    if (kDelayArea.contains(x, y)) return delayChoice(rightSideShown, delaySynced);
    if (kPreDelayArea.contains(x, y)) return rightSideShown ? ItemChoice{55, 16} : ItemChoice{54, 8};
    if (hoveredTag != -1 && isKnob(hoveredTag)) return {knobItem(hoveredTag, rightSideShown), 0};
    return {params::kTempoItem, 0};
}

Blink stepBlink(Blink blink, bool limited, uint32_t nowMs) {
    if (!limited) {
        blink.on = true;
    } else if (static_cast<uint32_t>(nowMs - blink.lastToggleMs) >= kBlinkPeriodMs) {
        blink.lastToggleMs = nowMs;
        blink.on = !blink.on;
    }
    return blink;
}

float meterValue(float peak, float lastValue, uint32_t elapsedMs) {
    // Silence, NaN and anything at or below -24 dB sit at the bottom.
    const float db = peak > kMeterFloor ? std::min(0.0f, 20.0f * std::log10(peak)) : -24.0f;
    const float target = db / 24.0f + 1.0f;
    const float fallen = std::max(0.0f, lastValue - static_cast<float>(elapsedMs) / kMeterFallMs);
    return std::max(target, fallen);
}

}  // namespace valuedisplay
