// The LFO: one phase shared by both channels, read by each channel with its own offset,
// in one of five shapes. Its outputs feed the modulation blend (EnvelopeFollower.h).
//
// How the processing loop drives it:
//   construction      Lfo lfo;                 shape smoothing for a 1000 Hz corner at 44100 Hz
//   new sample rate   lfo.adaptSampleRate(fs)  shape smoothing for fs: 1000 Hz at 44100 Hz,
//                                              500 Hz at any other rate
//   reset             lfo.reset()              phase, previous phases, outputs and the steps of
//                                              the square and random shapes to 0, the random
//                                              sequence back to its seed
//   block start       lfo.beginBlock(phaseStep)              the increment for the whole block
//                     lfo.lockToSong(hasPos, ppq, num, den)  only in LfoMode 2, after beginBlock
//   per sample        lfo.step(tables, wave, offset)         after the envelopes (loop step 7);
//                     then read lfo.out[kLeft], lfo.out[kRight]; while nothing reads them and
//                     the shape is memoryless, lfo.advance() for all but the last sample
// `offset` is the smoothed LROffset phase offset in radians; `num` and `den` are the
// note values themselves (lfoNumerators[...], noteDenominators[...]), not positions.
#pragma once

#include <cmath>
#include <cstdint>

#include "EngineTables.h"
#include "ModulationMath.h"

namespace engine {

// The random shape's own generator, one per engine so that instances (and tests) do not
// disturb each other: a 32-bit linear congruential generator whose upper bits give
// values 0..32767. A restart goes back to the seed, so that a passage rendered again
// after a reset (an offline bounce after playback) draws the same values.
class PseudoRandom {
public:
    static constexpr int kMax = 32767;

    explicit PseudoRandom(uint32_t seed = 1) : seed_(seed), state_(seed) {}
    // The sequence starts from this seed now and at every restart.
    void seed(uint32_t seed) { seed_ = state_ = seed; }
    void restart() { state_ = seed_; }

    int next() {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<int>(state_ >> 17);  // 15 bits
    }

private:
    uint32_t seed_;
    uint32_t state_;
};

struct Lfo {
    enum Wave : int { kSine = 0, kSquare = 1, kTriangle = 2, kSaw = 3, kRandom = 4 };

    // pi / 2 in single precision: the triangle's corner phase.
    static constexpr double kTriangleCorner = 1.5707963705062866;
    // Two channel phases closer than this count as one: the random shape then shares its values.
    static constexpr double kSharedPhase = 0.001;

    // One-pole coefficient of the square, saw and random shapes for a corner in Hz.
    static double shapeSmoothingFor(double cornerHz, double sampleRate) {
        return 1.0 - std::exp(-math::kTwoPi * cornerHz / sampleRate);
    }

    // ---- parameters
    double shapeSmoothing = shapeSmoothingFor(shapeCornerFor(44100.0), 44100.0);
    double delta = 0.0;  // phase increment of this block

    // ---- state
    double phase = 0.0;            // shared phase, in (-pi, pi]
    double prevPhase[2] = {0.0, 0.0};  // the channel phases of the previous sample
    double out[2] = {0.0, 0.0};
    double target[2] = {0.0, 0.0};  // steps of the square and random shapes
    PseudoRandom random;

    // The corner of the smoothed shapes: 1000 Hz at the 44100 Hz an engine starts with, 500 Hz
    // at every other rate. It belongs to the rate alone, not to the rates before it, so that
    // an instance brought back to 44100 Hz sounds as a new one does.
    static double shapeCornerFor(double sampleRate) { return sampleRate == 44100.0 ? 1000.0 : 500.0; }

    void adaptSampleRate(double sampleRate) {
        shapeSmoothing = shapeSmoothingFor(shapeCornerFor(sampleRate), sampleRate);
    }

    void reset() {
        phase = 0.0;
        prevPhase[0] = prevPhase[1] = 0.0;
        out[0] = out[1] = 0.0;
        target[0] = target[1] = 0.0;
        random.restart();
    }

    void beginBlock(double phaseStep) { delta = std::isfinite(phaseStep) ? phaseStep : 0.0; }

    // Locks the phase to the host's song position: one cycle lasts num/den of a whole note
    // (num * 4 / den quarter notes). Without a position the LFO stands still at phase 0.
    void lockToSong(bool hasPosition, double ppqPos, int numerator, int denominator) {
        const double cycle = numerator * 4.0 / denominator;
        if (!hasPosition || !std::isfinite(ppqPos) || !(cycle > 0.0)) {
            delta = 0.0;
            phase = 0.0;
            return;
        }
        const double z = ppqPos / cycle;
        double locked = math::kTwoPi * (z - std::floor(z));
        if (locked > math::kPi) locked -= math::kTwoPi;
        phase = locked;
    }

    // Outputs of this sample into out[], then the phase moves on.
    void step(const EngineTables& tables, int wave, double offset) {
        const double psiL = math::wrapPhase(phase - offset);
        const double psiR = math::wrapPhase(phase + offset);
        switch (wave) {
        case kSquare:
            target[0] = psiL > 0.0 ? 1.0 : -1.0;
            target[1] = psiR > 0.0 ? 1.0 : -1.0;
            out[0] = smooth(out[0], target[0]);
            out[1] = smooth(out[1], target[1]);
            break;
        case kTriangle:
            out[0] = triangle(psiL);
            out[1] = triangle(psiR);
            break;
        case kSaw:
            out[0] = smooth(out[0], psiL / math::kPi);
            out[1] = smooth(out[1], psiR / math::kPi);
            break;
        case kRandom:
            // A new value at each upward zero crossing of a channel's phase; channels in
            // phase share the left channel's values.
            if (psiL > 0.0 && prevPhase[0] <= 0.0) target[0] = draw();
            if (std::fabs(psiL - psiR) >= kSharedPhase) {
                if (psiR > 0.0 && prevPhase[1] <= 0.0) target[1] = draw();
            } else {
                target[1] = target[0];
            }
            out[0] = smooth(out[0], target[0]);
            out[1] = smooth(out[1], target[1]);
            break;
        default:  // sine, and any position outside the five
            out[0] = sineAt(tables.sine.data(), psiL);
            out[1] = sineAt(tables.sine.data(), psiR);
            break;
        }
        prevPhase[0] = psiL;
        prevPhase[1] = psiR;
        advance();
    }

    // The phase alone moves on, as step() moves it. While nothing reads the outputs and the
    // shape has no memory (sine, triangle), a run of samples needs only this, and a step()
    // for its last sample leaves the outputs and previous phases as a step per sample would.
    void advance() { phase = math::wrapPhase(phase + delta); }

    // True when the shape's outputs depend on the current phase alone.
    static bool isMemoryless(int wave) { return wave != kSquare && wave != kSaw && wave != kRandom; }

    // A memoryless shape's output at channel phase psi, as step() forms it.
    static double memorylessShape(const EngineTables& tables, int wave, double psi) {
        return wave == kTriangle ? triangle(psi) : sineAt(tables.sine.data(), psi);
    }

private:
    // The sine table read without interpolation. A wrapped phase puts the index in 0..999;
    // the limit only guards the top edge against rounding.
    static double sineAt(const double* sine, double psi) {
        const int i = static_cast<int>((psi + math::kPi) * EngineTables::kSineScale);
        return sine[i < EngineTables::kSineSize - 1 ? i : EngineTables::kSineSize - 1];
    }

    double smooth(double current, double goal) const { return flushDenormal(current + (goal - current) * shapeSmoothing); }

    static double triangle(double psi) {
        const double v = psi / kTriangleCorner;
        if (psi < -kTriangleCorner) return -v - 2.0;
        if (psi > kTriangleCorner) return 2.0 - v;
        return v;
    }

    double draw() { return random.next() * 2.0 / PseudoRandom::kMax - 1.0; }
};

}  // namespace engine
