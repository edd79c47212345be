// Small numeric helpers shared by the modulation, filter, clock and reverb stages.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

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
// common case costing one compare (of the magnitude: the same test as -pi <= x <= pi, and
// false for not-a-number as well). Anything further (huge increments or offsets, or not
// a number) takes the slow path, so a phase can never run away.
inline double wrapPhase(double phase) {
    if (std::fabs(phase) <= kPi) return phase;
    const double once = phase < -kPi ? phase + kTwoPi : phase - kTwoPi;
    if (std::fabs(once) <= kPi) return once;
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

// octaveFactor() over a run, four values side by side: each lane gets the same arithmetic
// (the hold in 0..1 as selects, the truncation, the interpolation), and the reads of the
// table are its own.
inline void octaveFactors(const EngineTables& tables, const double* w, double* out, int32_t n) {
    typedef double D4 __attribute__((vector_size(32)));
    typedef int L4 __attribute__((vector_size(16)));  // 32-bit lanes: one conversion instruction
    const double* octave = tables.octave.data();
    const D4 zero = {0.0, 0.0, 0.0, 0.0}, one = {1.0, 1.0, 1.0, 1.0};
    int32_t i = 0;
    for (; i + 4 <= n; i += 4) {
        D4 x;
        std::memcpy(&x, w + i, sizeof x);
        x = x > 0.0 ? x : zero;  // also not-a-number
        x = x > 1.0 ? one : x;
        const D4 z = x * EngineTables::kOctaveSpan;
        const L4 k = __builtin_convertvector(z, L4);
        const D4 r = z - __builtin_convertvector(k, D4);
        alignas(32) double below[4], above[4];
        for (int j = 0; j < 4; ++j) {
            below[j] = octave[k[j]];
            above[j] = octave[k[j] + 1];
        }
        D4 lo, hi;
        std::memcpy(&lo, below, sizeof lo);
        std::memcpy(&hi, above, sizeof hi);
        const D4 y = lo * (1.0 - r) + hi * r;
        std::memcpy(out + i, &y, sizeof y);
    }
    for (; i < n; ++i) out[i] = octaveFactor(tables, w[i]);
}

}  // namespace math
}  // namespace engine
