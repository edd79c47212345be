// The gain, routing and dynamics around the two delay lines: the feedback network, the
// gate on the echoes with its 1 ms look-ahead, and the ducking of the wet signal by the
// key input.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "Smoother.h"

namespace engine {

// What last sample's feedback signals put into each line. FbPan sends a line's feedback
// towards the right line (1) or keeps it left (0), so both pans at their own side keep the
// lines apart and crossed pans make ping-pong. Because this sample's delay outputs only
// become feedback for the next sample, repeats are spaced one sample more than the time.
struct FeedbackInput {
    double left, right;
};

inline FeedbackInput feedbackInput(const double fb[2], double gainL, double gainR, double panL, double panR) {
    const double gL = fb[0] * gainL, gR = fb[1] * gainR;
    const double intoRight = gL * panL + gR * panR;
    const double intoLeft = gL + gR - intoRight;
    return {flushDenormal(intoLeft), flushDenormal(intoRight)};
}

// What is fed back is held below +18 dBFS. At feedback 1 the loop is lossless, so a signal
// that stays coherent with it grows with every repeat and without end: a drone on one of
// the comb's frequencies, or noise in a loop whose filter gains above 1 somewhere (a
// resonant high-pass does, above its cutoff), reaching +60 dBFS within a minute at 20 ms.
// Up to +12 dBFS (4) a feedback signal passes untouched, so no echo at a sane level
// changes; beyond, it bends toward 8 as kKnee + (kLimit - kKnee) u / (1 + u) with
// u = (|v| - kKnee) / (kLimit - kKnee): continuous, with slope 1 at the knee, monotone and
// odd, so an overdriven loop saturates as a tape loop does instead of running away. With
// both lines' feedback in one line, a line then takes at most 2 * 8 besides its input.
struct FeedbackLimit {
    static constexpr double kKnee = 4.0, kLimit = 8.0;

    static double apply(double v) {
        const double m = std::fabs(v);
        if (!(m > kKnee)) return v;  // (not a number stays one, for the overflow guard)
        const double u = (m - kKnee) / (kLimit - kKnee);
        return std::copysign(kKnee + (kLimit - kKnee) * u / (1.0 + u), v);
    }
};

// Gate coefficients: 1 ms attack; release EnvSpeed seconds, at least 30 ms.
inline double gateAttackFor(double sampleRate) { return 1.0 - std::exp(-1000.0 / sampleRate); }
inline double gateReleaseFor(double envSpeed, double sampleRate) {
    return envSpeed >= 0.03 ? 1.0 - std::exp(-1000.0 / (envSpeed * sampleRate * 1000.0))
                            : 1.0 - std::exp(-1000.0 / (sampleRate * 30.0));
}
// Ducking coefficients: 10 ms attack; release three times EnvSpeed seconds, at least 30 ms.
inline double duckAttackFor(double sampleRate) { return 1.0 - std::exp(-1000.0 / (sampleRate * 10.0)); }
inline double duckReleaseFor(double envSpeed, double sampleRate) {
    return envSpeed >= 0.01 ? 1.0 - std::exp(-1000.0 / (envSpeed * sampleRate * 3000.0))
                            : 1.0 - std::exp(-1000.0 / (sampleRate * 30.0));
}

// Follows the level of one line's faded output; echoes below the threshold are pulled
// down by the square of (envelope / threshold), a downward expander.
struct GateEnvelope {
    // Thresholds below this switch the gate off.
    static constexpr double kOffBelow = 0.00001;

    double envelope = 0.0;

    void follow(double magnitude, double attack, double release) {
        const double coefficient = magnitude < envelope ? release : attack;
        envelope = flushDenormal(envelope + (magnitude - envelope) * coefficient);
    }

    double gain(double threshold) const {
        if (threshold < kOffBelow || envelope >= threshold) return 1.0;
        return envelope / threshold;
    }
};

// Both gate envelopes side by side, one lane each (each lane gets the arithmetic of follow()).
using GatePair = double __attribute__((vector_size(16)));

// One sample of both gate envelopes e on the faded line outputs yL, yR.
inline GatePair followGatePair(GatePair e, double yL, double yR, GatePair attack, GatePair release) {
    const GatePair magnitude = {std::fabs(yL), std::fabs(yR)};
    const GatePair coefficient = magnitude < e ? release : attack;
    e = e + (magnitude - e) * coefficient;
    return e + 1e-30 - 1e-30;  // denormal flush
}

// Both gate envelopes over a run of faded line outputs; the envelopes of every sample go to
// envL, envR.
inline void followGates(GateEnvelope& left, GateEnvelope& right, const double* yL, const double* yR, double* envL,
                        double* envR, int32_t n, double attack, double release) {
    GatePair e = {left.envelope, right.envelope};
    const GatePair up = {attack, attack}, down = {release, release};
    for (int32_t i = 0; i < n; ++i) {
        e = followGatePair(e, yL[i], yR[i], up, down);
        envL[i] = e[0];
        envR[i] = e[1];
    }
    left.envelope = e[0];
    right.envelope = e[1];
}

// Delays what is heard by 1 ms so that the gate envelope, which sees the echo at once,
// opens before the echo arrives. The feedback path is not delayed.
struct LookAhead {
    static int32_t lengthFor(double sampleRate) { return static_cast<int32_t>(sampleRate / 1000.0); }

    std::vector<double> ring[2];
    int32_t length = 0;
    int32_t index = 0;

    LookAhead() = default;
    LookAhead(const LookAhead&) = delete;
    LookAhead& operator=(const LookAhead&) = delete;

    // Takes over rings allocated by the caller (cannot fail).
    void adopt(std::vector<double>& left, std::vector<double>& right) {
        ring[0].swap(left);
        ring[1].swap(right);
        length = static_cast<int32_t>(ring[0].size());
        index = 0;
    }

    void clear() {
        std::fill(ring[0].begin(), ring[0].end(), 0.0);
        std::fill(ring[1].begin(), ring[1].end(), 0.0);
    }

    // Stores this sample's pair and replaces it by the pair stored one ring length ago.
    void exchange(double& left, double& right) {
        const double oldLeft = ring[0][index], oldRight = ring[1][index];
        ring[0][index] = left;
        ring[1][index] = right;
        left = oldLeft;
        right = oldRight;
        if (++index == length) index = 0;
    }

    // The longest ring, at 200 kHz.
    static constexpr int32_t kMaxLength = 200;

    // exchange() for n samples of each side, without moving the run: the ring's samples,
    // oldest first, are laid in the `length` slots before each run (the caller keeps
    // kMaxLength slots free there), so that the delayed run starts `length` before the run;
    // the ring keeps the last `length` samples of the two together, oldest first from its
    // start. Returns how far before the runs the delayed runs start. A ring longer than the
    // room (above 200 kHz) exchanges sample by sample, in place, and answers 0.
    int32_t delayInFront(double* left, double* right, int32_t n) {
        if (length == 0) return 0;
        if (length > kMaxLength) {
            for (int32_t i = 0; i < n; ++i) exchange(left[i], right[i]);
            return 0;
        }
        layInFront(ring[0].data(), left, n);
        layInFront(ring[1].data(), right, n);
        index = 0;
        return length;
    }

private:
    void layInFront(double* r, double* x, int32_t n) const {
        const std::size_t slot = sizeof(double);
        double* const from = x - length;
        const int32_t older = length - index;
        std::memcpy(from, r + index, slot * static_cast<std::size_t>(older));
        if (index > 0) std::memcpy(from + older, r, slot * static_cast<std::size_t>(index));
        std::memcpy(r, from + n, slot * static_cast<std::size_t>(length));
    }
};

// Pulls the wet signal down while the key input is above the threshold.
struct Ducker {
    // The envelope never divides by less than this.
    static constexpr double kFloor = 0.0001;

    double envelope = 0.0;

    void follow(double key, double attack, double release) {
        const double coefficient = key >= envelope ? attack : release;
        envelope = flushDenormal(envelope + (key - envelope) * coefficient);
    }

    double gain(double threshold) const {
        if (envelope <= threshold) return 1.0;
        return threshold / std::max(envelope, kFloor);
    }

    // follow() and gain() for n key samples; the gains go to `gains`.
    void follow(const double* key, double* gains, int32_t n, double attack, double release, double threshold) {
        double e = envelope;
        for (int32_t i = 0; i < n; ++i) {
            const double coefficient = key[i] >= e ? attack : release;
            e = flushDenormal(e + (key[i] - e) * coefficient);
            gains[i] = e <= threshold ? 1.0 : threshold / std::max(e, kFloor);
        }
        envelope = e;
    }
};

}  // namespace engine
