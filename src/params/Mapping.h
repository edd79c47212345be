// Formulas from a normalised value to what it means, needed in more than one place: by the
// mapping step that feeds the engine, by the display texts and by the digit display. Each
// lives here once, so no display can drift from what is heard.
#pragma once

#include <cmath>

namespace params {

// A float product taken down to an int that cannot overflow (NaN gives lo).
inline int clampedFloor(float v, int lo, int hi) {
    if (!(v > static_cast<float>(lo))) return lo;
    if (v >= static_cast<float>(hi)) return hi;
    return static_cast<int>(std::floor(v));
}

// A balance control (Mix, the pans, ModSrc) in 101 steps, 0..101; the texts count the
// last step as 100, the digit display shows it as such.
inline int balanceStep(double x) { return clampedFloor(static_cast<float>(x) * 101.0f, 0, 101); }

// The modulation depths (CutfMod, VcoMod, ResoMod) and the clock's manual setting: -1..+1.
inline double depthOf(double x) { return (x - 0.5) * 2.0; }

// The clock factor the VcoMan control is shown as: 2 to the manual setting, 0.5..2.
inline float clockFactorOf(double x) { return std::pow(2.0f, static_cast<float>(depthOf(x))); }

// Envelope length in ms for EnvSpeed: 100..1000.
inline double envLengthMs(double x) { return 900.0 * x + 100.0; }

// Modulation sensitivity factor for ModSens: 1..16.
inline double modSensFactorOf(double x) { return std::pow(2.0, 4.0 * x); }

// The -24..0 scale that Ducking is shown on.
inline double minus24Scale(double x) { return 24.0 * x - 24.0; }

// A quarter turn in single precision: the LR offset in radians is shown in degrees
// relative to it, so that +-pi/2 reads exactly 180.
constexpr float kQuarterTurn = 1.5707964f;

}  // namespace params
