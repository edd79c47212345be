// Resonant filter: the digital state-variable filter of Chamberlin ("Musical Applications
// of Microprocessors"), run twice per sample, i.e. at twice the sample rate, with a soft
// cubic saturation of the band-pass integrator that bounds self-oscillation.
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

#include "EngineTables.h"
#include "ModulationMath.h"

namespace engine {

struct StateVariableFilter {
    enum Type : int { kLowPass = 0, kBandPass = 1, kHighPass = 2 };

    // Strength of the cubic term in the band-pass integrator.
    static constexpr double kSaturation = 0.075;
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

    // One channel: both passes with the same input, the output is the mean of the two.
    double process(int channel, double x, int type) {
        double lo = low[channel];
        double bp = band[channel];
        double sum = 0.0;
        for (int pass = 0; pass < 2; ++pass) {
            bp = flushDenormal(bp);
            lo = lo + f * bp;
            const double hp = x - damping * bp - lo;
            bp = f * hp + bp - kSaturation * (bp * bp * bp);
            const double y = type == kLowPass ? lo : type == kBandPass ? bp : hp;
            sum = pass == 0 ? y : sum + y;
        }
        low[channel] = lo;
        band[channel] = bp;
        return sum * 0.5;
    }

    // Both channels side by side: each lane gets exactly the arithmetic of process() above.
    void process(double& xL, double& xR, int type) {
        using Pair = double __attribute__((vector_size(16)));
        Pair lo = {low[0], low[1]};
        Pair bp = {band[0], band[1]};
        const Pair x = {xL, xR};
        Pair sum = {};
        for (int pass = 0; pass < 2; ++pass) {
            bp = bp + 1e-30 - 1e-30;  // denormal flush
            lo = lo + f * bp;
            const Pair hp = x - damping * bp - lo;
            bp = f * hp + bp - kSaturation * (bp * bp * bp);
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
