// The envelope followers and the modulation blend: each channel's delay-line input is
// tracked by a one-pole follower, ModSrc cross-fades LFO and envelope into one modulation
// signal per channel, and the left signal sets the cutoff factor (three octaves either way).
//
// How the processing loop drives them:
//   EnvSpeed / rate   envelopeCoefficient = EnvelopeFollower::coefficientFor(envSpeed, fs)
//                     (kept by the engine, which may recompute it from another thread)
//   reset             followers.reset(); modulation.reset()   (the cutoff factor back to 1)
//   per sample        followers.step(dL, dR, modSensGain, envelopeCoefficient)
//                        loop step 6, dL/dR the delay-line inputs before the drive gain
//                     modulation.step(tables, lfo.out, followers.env, blend, cutoffModDepth)
//                        loop step 7, after lfo.step; modulation.m[] feeds the clock of the
//                        next delay step, modulation.m[kRight] and cutoffFactor the filter
//                        coefficients of the next sample
#pragma once

#include <algorithm>
#include <cmath>

#include "EngineTables.h"
#include "ModulationMath.h"

namespace engine {

struct EnvelopeFollower {
    // EnvSpeed below this would make the envelope length (nearly) zero or negative.
    static constexpr double kLowestEnvSpeed = -0.1;  // L = 10 ms

    // One-pole coefficient for an envelope length L = 900 EnvSpeed + 100 ms: a corner at
    // 1000 / L Hz (1..10 Hz within 0..1). Values outside keep the mapping down to 10 ms.
    static double coefficientFor(double envSpeed, double sampleRate) {
        const double length = 900.0 * (std::isnan(envSpeed) ? 0.0 : std::max(envSpeed, kLowestEnvSpeed)) + 100.0;
        return 1.0 - std::exp(-6283.185307179586 / (length * sampleRate));
    }

    double env[2] = {0.0, 0.0};

    void reset() { env[0] = env[1] = 0.0; }

    void step(double dL, double dR, double sensitivity, double coefficient) {
        env[0] = flushDenormal(env[0] + (std::fabs(dL) * sensitivity - env[0]) * coefficient);
        env[1] = flushDenormal(env[1] + (std::fabs(dR) * sensitivity - env[1]) * coefficient);
    }
};

struct ModulationSignals {
    double m[2] = {0.0, 0.0};  // mL, mR
    double cutoffFactor = 1.0;  // 1/8..8

    // The factor goes back to 1 with the signals, the value that signals at 0 give at any
    // depth: the filter reads it on the first sample, before the modulation has run, and a
    // factor left over from the sound before a reset would colour the start of the next.
    void reset() {
        m[0] = m[1] = 0.0;
        cutoffFactor = 1.0;
    }

    // blend B: 0 all LFO, 1 all envelope (2e - 1, so silence reads as -1).
    void step(const EngineTables& tables, const double lfoOut[2], const double env[2], double blend,
              double cutoffModDepth) {
        mix(lfoOut, env, blend);
        followCutoff(tables, cutoffModDepth);
    }

    // The two halves of a step. Only the filter reads the cutoff factor, so while it is off
    // the loop forms the factor once, from the last sample of a block.
    void mix(const double lfoOut[2], const double env[2], double blend) {
        m[0] = (1.0 - blend) * lfoOut[0] + blend * (2.0 * env[0] - 1.0);
        m[1] = (1.0 - blend) * lfoOut[1] + blend * (2.0 * env[1] - 1.0);
    }

    void followCutoff(const EngineTables& tables, double cutoffModDepth) {
        const double v = math::octaveFactor(tables, (cutoffModDepth * m[0] + 1.0) * 0.5);
        cutoffFactor = v * v * v;
    }
};

}  // namespace engine
