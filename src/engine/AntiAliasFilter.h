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

    // ---- coefficients, one set for both sections
    double b0 = 0.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;

    // ---- state, each for both channels. The second section's inputs are the first one's
    // outputs, so one history serves both: inputs x, first section's outputs m, outputs y.
    Pair x1 = {}, x2 = {}, m1 = {}, m2 = {}, y1 = {}, y2 = {};

    // The last output of a channel.
    double output(int channel) const { return y1[channel]; }

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
        x1 = x2 = m1 = m2 = y1 = y2 = v;
    }

    // The first section's input terms b0 x + b1 x1 + b2 x2 for a run of inputs, which
    // depend on the inputs alone (the loop forms them for a whole run at once, side by side
    // in time); the input memories move on to the run's end.
    void inputTerms(const double* xL, const double* xR, double* pL, double* pR, int n) {
        const double b0_ = b0, b1_ = b1, b2_ = b2;
        auto run = [&](const double* x, double* p, double h1, double h2) {
            if (n > 0) p[0] = b0_ * x[0] + b1_ * h1 + b2_ * h2;
            if (n > 1) p[1] = b0_ * x[1] + b1_ * x[0] + b2_ * h1;
            for (int i = 2; i < n; ++i) p[i] = b0_ * x[i] + b1_ * x[i - 1] + b2_ * x[i - 2];
        };
        run(xL, pL, x1[0], x2[0]);
        run(xR, pR, x1[1], x2[1]);
        if (n >= 2) {
            x1 = Pair{xL[n - 1], xR[n - 1]};
            x2 = Pair{xL[n - 2], xR[n - 2]};
        } else if (n == 1) {
            x2 = x1;
            x1 = Pair{xL[0], xR[0]};
        }
    }

    // The rest of a sample from its input terms: both sections' recursions.
    Pair fromInputTerms(Pair p) {
        Pair m = p - a1 * m1 - a2 * m2;
        m = m + 1e-30 - 1e-30;  // denormal flush
        Pair y = b0 * m + b1 * m1 + b2 * m2 - a1 * y1 - a2 * y2;
        y = y + 1e-30 - 1e-30;
        m2 = m1;
        m1 = m;
        y2 = y1;
        y1 = y;
        return y;
    }

    void process(double& xL, double& xR) {
        const Pair x = {xL, xR};
        const Pair p = b0 * x + b1 * x1 + b2 * x2;
        x2 = x1;
        x1 = x;
        const Pair y = fromInputTerms(p);
        xL = y[0];
        xR = y[1];
    }
};

}  // namespace engine
