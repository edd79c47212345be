// Small numeric helpers shared by the modulation, filter, clock and reverb stages.
#pragma once

#include <cmath>

#include "Smoother.h"  // flushDenormal

namespace engine {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;

inline double clampUnit(double x) {
    if (!(x > 0.0)) return 0.0;  // also NaN
    return x > 1.0 ? 1.0 : x;
}

// Slow path of the phase wrap: any finite phase into [-pi, pi] (the IEEE remainder is
// exact, so even a huge phase lands in range); not-a-number and infinities (a host or a
// control gone wild) restart at 0.
inline double wrapPhaseFully(double phase) {
    if (!std::isfinite(phase)) return 0.0;
    return std::remainder(phase, kTwoPi);
}

// A phase that left (-pi, pi] by less than a turn comes back with one step of 2 pi; the
// common case costs two compares. Anything further (huge increments or offsets) takes
// the slow path, so a phase can never run away.
inline double wrapPhase(double phase) {
    if (phase < -kPi) {
        phase += kTwoPi;
        if (phase < -kPi) return wrapPhaseFully(phase);
    } else if (phase > kPi) {
        phase -= kTwoPi;
        if (phase > kPi) return wrapPhaseFully(phase);
    } else if (phase != phase) {
        return 0.0;
    }
    return phase;
}

}  // namespace engine
