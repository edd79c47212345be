// Small numeric helpers shared by the modulation, filter, clock and reverb stages.
#pragma once

#include <cmath>

#include "EngineTables.h"
#include "Smoother.h"  // flushDenormal

namespace engine {
namespace math {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;

inline double clampUnit(double x) {
    if (!(x > 0.0)) return 0.0;  // also NaN
    return x > 1.0 ? 1.0 : x;
}

// Slow path of the phase wrap: any finite phase into [-pi, pi] (the IEEE remainder is
// exact, so even a huge phase lands in range); not-a-number and infinities (a host or a
// control gone wild) restart at 0. Kept out of line: it almost never runs.
[[gnu::noinline, gnu::cold]] inline double wrapPhaseFully(double phase) {
    if (!std::isfinite(phase)) return 0.0;
    return std::remainder(phase, kTwoPi);
}

// A phase that left [-pi, pi] by less than a turn comes back with one step of 2 pi, the
// common case costing two compares. Anything further (huge increments or offsets, or not
// a number) takes the slow path, so a phase can never run away.
inline double wrapPhase(double phase) {
    if (phase >= -kPi && phase <= kPi) return phase;
    const double once = phase < -kPi ? phase + kTwoPi : phase - kTwoPi;
    if (once >= -kPi && once <= kPi) return once;
    return wrapPhaseFully(phase);
}

// Octave factor 2^(2w - 1) (0.5 at w = 0, 1 at 0.5, 2 at 1) by linear interpolation in the
// octave table. w is held in 0..1 first (not-a-number reads as 0), which keeps the read
// inside the table without the general helper's further checks: this runs three times
// per sample.
inline double octaveFactor(const EngineTables& tables, double w) {
    const double z = clampUnit(w) * EngineTables::kOctaveSpan;
    const int i = static_cast<int>(z);
    const double r = z - i;
    const double* octave = tables.octave.data();
    return octave[i] * (1.0 - r) + octave[i + 1] * r;
}

}  // namespace math
}  // namespace engine
