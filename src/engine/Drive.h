// Drive: a gain that follows the waveform, computed from the mean level of the last N
// samples (under half a millisecond), so it clips softly rather than compresses. For a
// steady level s and drive gain D the output is s (1 - D s / 4) up to s = 2 / D and the
// ceiling 1 / D above it.
//
// How the processing loop drives it:
//   construction / new sample rate   drive.adaptSampleRate(fs)   window N and index 0
//   reset                            drive.reset()
//   block start                      drive.beginBlock()           sums rebuilt from the rings
//   per sample (loop step 6)         drive.step(dL, dR, driveGain)  with the delay-line inputs
//                                    (after the anti-alias filter when VcoOn is on); the envelope
//                                    followers take dL, dR before the next call:
//                                    if Drive > 0: drive.apply(dL, dR)
//   a run of n samples, Drive 0      drive.keepWindow(dL, dR, driveGain, n)  the same rings
#pragma once

#include <cmath>
#include <cstdint>

#include "Smoother.h"

namespace engine {

struct Drive {
    static constexpr int kRingSize = 16;

    // Window length by integer sample rate: 2 up to 25000 Hz, 4 up to 50000, 8 up to 100000, 16 above.
    static int32_t windowFor(double sampleRate) {
        const double rate = std::trunc(sampleRate);
        if (!(rate > 25000.0)) return 2;
        if (rate <= 50000.0) return 4;
        if (rate <= 100000.0) return 8;
        return 16;
    }

    // ---- parameters
    int32_t window = 4;         // N, a power of two
    double quarterOverWindow = 0.25 / 4;  // 0.25 / N (exact: N is a power of two)

    // ---- state
    int32_t index = 0;
    double ring[2][kRingSize] = {};
    double sum[2] = {0.0, 0.0};

    void adaptSampleRate(double sampleRate) {
        window = windowFor(sampleRate);
        quarterOverWindow = 0.25 / window;
        index = 0;
    }

    void reset() {
        for (auto& channel : ring)
            for (double& v : channel) v = 0.0;
        sum[0] = sum[1] = 0.0;
        index = 0;
    }

    // The running sums drift by rounding; rebuilding them once per block keeps them exact.
    void beginBlock() {
        for (int c = 0; c < 2; ++c) {
            double s = 0.0;
            for (int i = 0; i < window; ++i) s += ring[c][i];
            sum[c] = s;
        }
    }

    void step(double dL, double dR, double driveGain) {
        sum[0] -= ring[0][index];
        ring[0][index] = std::fabs(dL) * driveGain;
        sum[0] += ring[0][index];
        sum[1] -= ring[1][index];
        ring[1][index] = std::fabs(dR) * driveGain;
        sum[1] += ring[1][index];
        index = (index + 1) & (window - 1);
    }

    // n samples of window with nobody reading the gains (the drive is off): only the last N
    // values stay in the rings, so only those are written, where step() would have put them.
    // The sums are left as they are: the block the drive next runs in rebuilds them from the
    // rings at its start, and nothing reads them before.
    void keepWindow(const double* dL, const double* dR, ControlRun driveGain, int32_t n) {
        const int32_t mask = window - 1;
        for (int32_t i = n > window ? n - window : 0; i < n; ++i) {
            ring[0][(index + i) & mask] = std::fabs(dL[i]) * driveGain[i];
            ring[1][(index + i) & mask] = std::fabs(dR[i]) * driveGain[i];
        }
        index = (index + n) & mask;
    }

    // step() and apply()'s gains for both channels side by side, each lane with their
    // arithmetic (both sides of the gain's choice are formed, then one is taken).
    using Pair = double __attribute__((vector_size(16)));

    void step(Pair d, double driveGain) {
        const Pair old = {ring[0][index], ring[1][index]};
        const Pair fresh = Pair{std::fabs(d[0]), std::fabs(d[1])} * driveGain;
        ring[0][index] = fresh[0];
        ring[1][index] = fresh[1];
        Pair s = {sum[0], sum[1]};
        s = s - old;
        s = s + fresh;
        sum[0] = s[0];
        sum[1] = s[1];
        index = (index + 1) & (window - 1);
    }

    Pair gains() const {
        const Pair s = {sum[0], sum[1]};
        const Pair linear = 1.0 - s * quarterOverWindow, above = static_cast<double>(window) / s;
        return s <= static_cast<double>(2 * window) ? linear : above;
    }

    // 1 - a/4 up to a window mean a = 2, 1/a beyond.
    double gain(int channel) const {
        const double s = sum[channel];
        return s <= 2 * window ? 1.0 - s * quarterOverWindow : window / s;
    }

    void apply(double& dL, double& dR) const {
        dL *= gain(0);
        dR *= gain(1);
    }
};

}  // namespace engine
