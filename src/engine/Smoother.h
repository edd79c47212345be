// Continuous controls: a target that the parameter mapping writes from any thread, and a
// current value that the audio thread glides toward it once per sample, so that no
// control change reaches the sound as a step.
#pragma once

#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstdint>

#include "Relaxed.h"

namespace engine {

// Adding and removing a tiny constant rounds a value that has decayed into the denormal
// range to exact zero; recursive states pass through it so they never slow the CPU.
inline double flushDenormal(double x) { return x + 1e-30 - 1e-30; }

// One step of the 30 Hz one-pole glide. Near its target the step rounds away (the flush
// keeps a value near 0 on a grid of 2^-152), and the glide would stall a few hundred
// rounding steps short of it for good: a gain resting near 1e-44 instead of at 0 turns the
// signal into denormals. A step that no longer moves the value lands on the target itself.
inline double glide(double current, double target, double step) {
    const double next = flushDenormal(current + (target - current) * step);
    return next == current || current == target ? target : next;
}

// The glide coefficient for a 30 Hz corner: 1 - exp(-2 pi 30 / fs).
inline double smoothingStepFor(double sampleRate) { return 1.0 - std::exp(-188.49555921538757 / sampleRate); }

// The smoothed controls, in the order the loop updates them.
enum SmoothedControl : int {
    kInputGain,
    kMuteGainL,
    kMuteGainR,
    kOutputGain,
    kMix,
    kFbGainL,
    kFbGainR,
    kFbPanL,
    kFbPanR,
    kDlyPanL,
    kDlyPanR,
    kGateThresholdL,
    kGateThresholdR,
    kLrOffset,
    kModSource,
    kCutoffMod,
    kResoMod,
    kCutoff,
    kResonance,
    kVcoMod,
    kDriveGain,
    kSmoothedCount
};

// One smoothed control's values across a run of samples, as the processing passes read it:
// one value for every sample while the control rests, one per sample while it glides.
struct ControlRun {
    const double* values;  // gliding: one per sample; resting: the value itself
    int32_t mask;          // -1 gliding, 0 resting
    double value;          // resting: the value (held by value, so a loop keeps it in a register)

    static ControlRun resting(const double& v) { return {&v, 0, v}; }
    static ControlRun gliding(const double* perSample) { return {perSample, -1, 0.0}; }

    // For a loop compiled for one case (vectorisable either way).
    template <bool Gliding>
    double at(int32_t i) const {
        return Gliding ? values[i] : value;
    }
    // For a loop that serves both.
    double operator[](int32_t i) const { return values[i & mask]; }
};

struct SmoothedControls {
    Relaxed<double> target[kSmoothedCount];
    double current[kSmoothedCount] = {};
    // Raised (after the store) whenever a target or a current value is set from outside the
    // loop, lowered by the loop when it looks which controls glide: while it stays down and
    // no control was gliding after the last look, none can be, and the look is skipped.
    std::atomic<bool> touched{true};

    SmoothedControls() {
        static constexpr double kDefaults[kSmoothedCount] = {
            1.0,      // input gain
            1.0, 1.0, // input mutes (1 = open)
            1.0,      // output gain
            0.5,      // mix
            0.0, 0.0, // feedback gains
            0.0, 1.0, // feedback pans: each line feeds itself
            0.0, 1.0, // echo pans: left echoes left, right echoes right
            0.0, 0.0, // gate thresholds (off)
            0.0,      // left/right phase offset
            0.5,      // modulation source blend
            0.0, 0.0, // cutoff and resonance modulation depths
            16000.0,  // cutoff in Hz
            0.05,     // resonance
            0.0,      // clock modulation depth
            1.0,      // drive gain
        };
        for (int k = 0; k < kSmoothedCount; ++k) {
            target[k] = kDefaults[k];
            current[k] = kDefaults[k];
        }
    }

    // A value that is not a number would poison the glide for good; it is refused. A target
    // in the denormal range, where the glide would land, counts as 0.
    void set(int k, double value) {
        if (!std::isfinite(value)) return;
        target[k] = std::fabs(value) < DBL_MIN ? 0.0 : value;
        touched.store(true, std::memory_order_release);
    }

    // Every current value takes its target at once (suspend).
    void settle() {
        for (int k = 0; k < kSmoothedCount; ++k) current[k] = target[k];
        touched.store(true, std::memory_order_release);
    }
};

}  // namespace engine
