// Resonant filter: the digital state-variable filter of Chamberlin ("Musical Applications
// of Microprocessors"), run twice per sample, i.e. at twice the sample rate, with a soft
// cubic saturation of the band-pass integrator that bounds self-oscillation.
//
// The saturation, and why the band state is held at the cubic's knee. A pass is
//     low  += f band
//     high  = x - damping band - low
//     band  = f high + band - 0.075 band^3
// The cubic b - 0.075 b^3 is a saturation only up to its knee b0 = 1 / sqrt(3 * 0.075) =
// 2.1082, where its slope is 0 and it peaks at 2/3 b0 = 1.4055. Beyond it falls, crosses 0
// at 3.65 and past 5.16 is larger than b with the other sign: a state pushed there (the
// feedback loop's gain at resonance does it, or a loud input) grows every pass and
// overflows within a few samples. Holding the cubic at 1.4055 beyond the knee would not
// do: what is left of the pass, band -> -f damping band, has a gain of up to 1.14 (f up to
// 1.081 at the cutoff ceiling, damping up to 1.055 at the lowest resonance), so a large state
// would still grow, by that factor per pass. So the band state is held within +-b0 after
// every pass (limitBand): the cubic is only ever evaluated where it is monotone, and a pass
// that stays within the knee is exactly the formula above.
//
// What that bounds, for any input with |x| <= X, from rest, at fixed coefficients:
//  - |band| <= b0.
//  - f damping <= 2/3: |low| <= X + b0 (f + 1 / sqrt(1 - f^2 / 4)), at most X + 4.8. While
//    low is above X, band can only fall while positive and, once at or below 0, stays there
//    (the cubic and the damping take less than it has), so low rises only in one run of
//    positive band; in that run the rise r and band c keep r^2 + c^2 + f r c (the invariant
//    of the lossless pass, which the losses only lower) at most b0^2.
//  - f damping > 2/3 (needs f > 0.63): |low| <= X + damping b0 + (2/3 b0 + b0) / f + f b0,
//    at most X + 9.2: above X + damping b0 + 3.51 / f the pass drives band to -b0, and
//    low falls again.
//  - |high| <= X + damping b0 + |low|; each output is the mean of two passes' values.
// Measured over every corner of the coefficients, coefficients that jump every sample
// included, low stays within X + 1.63 (FilterDriveTest holds the bounds above).
//
// How the processing loop drives it:
//   construction / new sample rate   svf.adaptSampleRate(fs)
//   reset                            svf.reset()         states and coefficients to 0
//   per sample, while FltOn is on    svf.computeCoefficients(tables, cutoff, modulation.cutoffFactor,
//                                        resonance, resoModDepth, modulation.m[kRight])
//                                    in loop step 4, before this sample's modulation stage,
//                                    so it uses the previous sample's factor and signal
//   filtering                        svf.process(xL, xR, fltType)  at the input (FltMode "in",
//                                    loop step 4) or on the faded delay outputs (step 12);
//                                    one state set per channel serves every placement
#pragma once

#include <emmintrin.h>

#include "EngineTables.h"
#include "ModulationMath.h"

namespace engine {

struct StateVariableFilter {
    enum Type : int { kLowPass = 0, kBandPass = 1, kHighPass = 2 };

    // Strength of the cubic term in the band-pass integrator, and its knee 1 / sqrt(3 * 0.075),
    // where the band state is held.
    static constexpr double kSaturation = 0.075;
    static constexpr double kBandLimit = 2.1081851067789197;
    // Resonance control range after modulation.
    static constexpr double kMinResonance = 0.05;
    // The cutoff stays below fs / 2.75: the doubled-rate filter is then far from its limit.
    static constexpr double kCeilingDivisor = 2.75;

    // ---- sample-rate constants
    double cutoffCeiling = 44100.0 / kCeilingDivisor;
    double twoOverFs = 2.0 / 44100.0;

    // ---- coefficients (shared by both channels)
    double f = 0.0;        // frequency coefficient 2 sin(pi fc / (2 fs))
    double damping = 0.0;  // 1/Q
    double dampingLimit = 0.0;

    // ---- state per channel
    double low[2] = {0.0, 0.0};
    double band[2] = {0.0, 0.0};

    void adaptSampleRate(double sampleRate) {
        cutoffCeiling = sampleRate / kCeilingDivisor;
        twoOverFs = 2.0 / sampleRate;
    }

    void reset() {
        low[0] = low[1] = band[0] = band[1] = 0.0;
        f = damping = dampingLimit = 0.0;
    }

    // cutoff in Hz, cutoffFactor from the modulation (1/8..8), resonance 0.05..1,
    // resoModDepth -1..1 applied to the right modulation signal.
    void computeCoefficients(const EngineTables& tables, double cutoff, double cutoffFactor, double resonance,
                             double resoModDepth, double modRight) {
        double fc = cutoff * cutoffFactor;
        if (fc > cutoffCeiling) fc = cutoffCeiling;
        // Table position fc (2 / fs) 8191, linearly interpolated. The ceiling keeps it below
        // 8191 * 2 / 2.75 = 5957; the lower limit catches a negative or undefined cutoff.
        double z = fc * twoOverFs * 8191.0;
        if (!(z > 0.0)) z = 0.0;
        const int i = static_cast<int>(z);
        const double r = z - i;
        const double* frequency = tables.svfFrequency.data();
        f = frequency[i] * (1.0 - r) + frequency[i + 1] * r;

        // Damping 2 (1 - qc^(1/4)) at (int)(qc 4095), without interpolation.
        double qc = resoModDepth * modRight + resonance;
        if (!(qc > kMinResonance)) qc = kMinResonance;  // also NaN
        if (qc > 1.0) qc = 1.0;
        damping = tables.svfDamping[static_cast<int>(qc * 4095.0)];

        // Near the top of the table the doubled-rate loop needs damping <= 2/f - f/2.
        dampingLimit = 2.0 / f - 0.5 * f;
        if (dampingLimit > 2.0) dampingLimit = 2.0;
        if (damping > dampingLimit) damping = dampingLimit;
    }

    // The band state within the knee (a value within it is kept bit for bit; not a number
    // stays one, for the overflow guard to see).
    static double limitBand(double b) {
        b = kBandLimit < b ? kBandLimit : b;
        return -kBandLimit > b ? -kBandLimit : b;
    }
    // The same for both channels, as the minimum and maximum instructions have it (a select
    // written out costs a compare and a blend each).
    using Pair = double __attribute__((vector_size(16)));
    static Pair limitBand(Pair b) {
        return Pair(_mm_max_pd(_mm_set1_pd(-kBandLimit), _mm_min_pd(_mm_set1_pd(kBandLimit), __m128d(b))));
    }

    // One channel: both passes with the same input, the output is the mean of the two.
    double process(int channel, double x, int type) {
        double lo = low[channel];
        double bp = band[channel];
        double sum = 0.0;
        for (int pass = 0; pass < 2; ++pass) {
            bp = flushDenormal(bp);
            lo = lo + f * bp;
            const double hp = x - damping * bp - lo;
            bp = limitBand(f * hp + bp - kSaturation * (bp * bp * bp));
            const double y = type == kLowPass ? lo : type == kBandPass ? bp : hp;
            sum = pass == 0 ? y : sum + y;
        }
        low[channel] = lo;
        band[channel] = bp;
        return sum * 0.5;
    }

    // Both channels side by side: each lane gets exactly the arithmetic of process() above.
    void process(double& xL, double& xR, int type) {
        Pair lo = {low[0], low[1]};
        Pair bp = {band[0], band[1]};
        const Pair x = {xL, xR};
        Pair sum = {};
        for (int pass = 0; pass < 2; ++pass) {
            bp = bp + 1e-30 - 1e-30;  // denormal flush
            lo = lo + f * bp;
            const Pair hp = x - damping * bp - lo;
            bp = limitBand(f * hp + bp - kSaturation * (bp * bp * bp));
            const Pair y = type == kLowPass ? lo : type == kBandPass ? bp : hp;
            sum = pass == 0 ? y : sum + y;
        }
        low[0] = lo[0];
        low[1] = lo[1];
        band[0] = bp[0];
        band[1] = bp[1];
        xL = sum[0] * 0.5;
        xR = sum[1] * 0.5;
    }
};

}  // namespace engine
