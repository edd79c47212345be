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

    struct Section {
        double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;

        double process(const AntiAliasFilter& c, double x) {
            const double y = flushDenormal(c.b0 * x + c.b1 * x1 + c.b2 * x2 - c.a1 * y1 - c.a2 * y2);
            x2 = x1;
            x1 = x;
            y2 = y1;
            y1 = y;
            return y;
        }
    };

    // ---- coefficients, one set for all four sections
    double b0 = 0.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;

    // ---- state: [channel][section]
    Section section[2][2];

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
        for (int ch = 0; ch < 2; ++ch) {
            const double v = ch == 0 ? left : right;
            for (Section& s : section[ch]) s.x1 = s.x2 = s.y1 = s.y2 = v;
        }
    }

    void process(double& xL, double& xR) {
        xL = section[0][1].process(*this, section[0][0].process(*this, xL));
        xR = section[1][1].process(*this, section[1][0].process(*this, xR));
    }
};

}  // namespace engine
