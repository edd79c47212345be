// Anti-alias low pass in front of the clocked delay lines: two identical second-order
// Butterworth sections (bilinear transform), fourth order in all, corner 14 kHz.
//
// How the processing loop drives it:
//   construction / new sample rate   antiAlias.adaptSampleRate(fs)
//   reset                            antiAlias.reset()
//   per sample, VcoOn on (step 5)    antiAlias.process(dL, dR)      dL, dR = the dry xL, xR
//   block end, VcoOn off             antiAlias.prime(lastDL, lastDR) the last delay-line inputs
//                                    before the drive gain (what the filter would have been fed),
//                                    so switching VcoOn on starts without a step
#pragma once

#include <algorithm>
#include <cmath>

#include "ModulationMath.h"

namespace engine {

struct AntiAliasFilter {
    static constexpr double kCornerHz = 14000.0;
    // Below about 31 kHz the corner moves down with the rate: at or above half the rate the
    // bilinear design would put its poles outside the unit circle.
    static constexpr double kMaxCornerRatio = 0.45;

    static double cornerFor(double sampleRate) { return std::min(kCornerHz, kMaxCornerRatio * sampleRate); }

    // Left and right side by side: each lane gets exactly the arithmetic of a lone double.
    using Pair = double __attribute__((vector_size(16)));

    struct Section {
        Pair x1 = {}, x2 = {}, y1 = {}, y2 = {};

        Pair process(const AntiAliasFilter& c, Pair x) {
            Pair y = c.b0 * x + c.b1 * x1 + c.b2 * x2 - c.a1 * y1 - c.a2 * y2;
            y = y + 1e-30 - 1e-30;  // denormal flush
            x2 = x1;
            x1 = x;
            y2 = y1;
            y1 = y;
            return y;
        }
    };

    // ---- coefficients, one set for all four sections
    double b0 = 0.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;

    // ---- state: the two sections in series, each for both channels
    Section section[2];

    // The last output of a channel.
    double output(int channel) const { return section[1].y1[channel]; }

    AntiAliasFilter() { adaptSampleRate(44100.0); }

    void adaptSampleRate(double sampleRate) {
        const double a = 1.0 / std::tan(math::kPi * cornerFor(sampleRate) / sampleRate);
        const double root2 = std::sqrt(2.0);
        const double c = a * a + root2 * a + 1.0;
        b0 = 1.0 / c;
        b1 = 2.0 / c;
        b2 = 1.0 / c;
        a1 = -2.0 * (a * a - 1.0) / c;
        a2 = (a * a - root2 * a + 1.0) / c;
    }

    void reset() { prime(0.0, 0.0); }

    // Every input and output memory of a channel to one value: the filter's steady state for
    // a constant input of that value.
    void prime(double left, double right) {
        const Pair v = {left, right};
        for (Section& s : section) s.x1 = s.x2 = s.y1 = s.y2 = v;
    }

    void process(double& xL, double& xR) {
        const Pair y = section[1].process(*this, section[0].process(*this, Pair{xL, xR}));
        xL = y[0];
        xR = y[1];
    }
};

}  // namespace engine
