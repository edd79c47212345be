// Reverb after the dry/wet mix: a spring tank (three coupled pairs of delay lines behind
// all-pass diffusers, which gives the drip) or a plate (four input diffusers feeding six
// damped all-pass delays, read at several taps). Both share one pool of 16 delay buffers,
// sum the two inputs, take left and right from different taps, and end in a wide
// band-pass; RvbAmt cross-fades the input with the result.
//
// How the engine drives it:
//   construction / new sample rate   reverb.prepare(fs)   allocates the buffers (false when the
//                                    memory cannot be had: the old ones stay), then
//                                    reverb.retune(type)
//   RvbType, engine lock held        reverb.retune(type)  read offsets, band-pass, decay; the
//                                    buffer contents stay and are heard through the new structure
//   RvbDamp, any thread              reverb.setDamping(x)
//   reset                            reverb.reset()       buffers, damping states, band-pass memories
//   per sample (loop step 15)        if (RvbOn && reverb.ready()) reverb.process(wetL, wetR, rvbAmt);
//                                    while it is not called the tail waits where it is
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ModulationMath.h"
#include "Relaxed.h"

namespace engine {
namespace reverb {

// Damping: a one-pole low pass inside the loop, g the share of the new value.
inline double damp(double& state, double in, double g) {
    state += (in - state) * g;
    return state;
}

// All-pass diffuser around a delay buffer: returns u = read - k in and stores in + k u.
// A negative k gives the diffusers of opposite sign (the sign flips are exact).
inline double diffuse(double* buffer, uint32_t read, uint32_t write, double in, double k) {
    const double u = buffer[read] - k * in;
    buffer[write] = in + k * u;
    return u;
}

// Constant-peak band-pass (b1 = 0, b2 = -b0), one coefficient set for both channels.
struct BandPass {
    double b0 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;

    // Centre w = 2 pi fc / fs in radians; alpha = sin(w) / divisor. The sine and cosine are
    // taken in single precision.
    static BandPass design(double w, double divisor);
};

struct BandPassState {
    double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;

    double process(const BandPass& c, double x) {
        const double y = flushDenormal(c.b0 * x + c.b2 * x2 - c.a1 * y1 - c.a2 * y2);
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
};

// Loop gains k1, k2 and damping g from RvbDamp x in 0..1. This is the one place where the
// decay is derived:
//   1. a = 0.5^(100^x / 100): the gain per pass, 0.993 at x = 0 (long) down to 0.5 at x = 1;
//   2. spring: the pair gains are a scaled by sqrt(0.56) and split 0.7 / 0.3 between the
//      cross-coupling (k1) and the inner feedback (k2);
//      plate: the tank gain is a itself and the input diffusion a^(1/4);
//   3. the damping share g falls as x rises, so a shorter reverb is also darker:
//      spring 0.72 to 0.2, plate 0.8 to 0.4.
struct Decay {
    double k1 = 0.0, k2 = 0.0, g = 0.0;

    static Decay spring(double x);
    static Decay plate(double x);
};

}  // namespace reverb

class Reverb {
public:
    // RvbDamp beyond these would push a damping coefficient g out of 0..2 (unstable).
    static constexpr double kLowestDamping = -1.3;
    static constexpr double kHighestDamping = 1.38;

    enum Type : int { kSpring = 0, kPlate = 1 };
    // The 16 buffers: group A (spring only), group B, group C.
    enum Buffer : int { kA0, kA1, kA2, kA3, kA4, kA5, kB0, kB1, kB2, kB3, kB4, kB5, kC0, kC1, kC2, kC3, kBufferCount };

    // Diffusion coefficient of the spring's all-passes.
    static constexpr double kSpringDiffusion = 0.7071;
    // Output levels of the two structures at RvbAmt 1.
    static constexpr double kSpringLevel = 0.1625;
    static constexpr double kPlateLevel = 0.3;
    // Each plate all-pass uses 0.7 of its loop gain.
    static constexpr double kPlateDiffusion = 0.7;

    // Buffer index mask (buffer length - 1) by sample rate.
    static int32_t maskFor(double sampleRate) {
        if (sampleRate < 50000.0) return 0x7fff;
        if (sampleRate < 100000.0) return 0xffff;
        return 0x1ffff;
    }

    Reverb() = default;
    Reverb(const Reverb&) = delete;
    Reverb& operator=(const Reverb&) = delete;

    // Allocates the 16 buffers for the rate (zeroed), then call retune. When the memory
    // cannot be had it returns false and everything stays as it was (before the first
    // success ready() is false and the reverb is not run).
    bool prepare(double sampleRate);
    // Read offsets, band-pass and decay for the type at the prepared rate. Both write
    // indices restart at the top of the buffers; buffer contents are kept.
    void retune(int type);
    // RvbDamp x (0..1; outside held at the nearer end). Safe from any thread.
    void setDamping(double x);
    // Clears the buffers and the damping and band-pass memories.
    void reset();
    // The damping and band-pass memories alone; the buffers can be cleared a slice at a
    // time through memory() (an engine recovering from a fault spreads the work).
    void resetTank();
    double* memory() { return storage_.data(); }
    std::size_t memorySize() const { return storage_.size(); }

    bool ready() const { return mask_ != 0; }
    int type() const { return type_.load(); }
    int32_t mask() const { return static_cast<int32_t>(mask_); }
    // How far buffer b's read index runs behind its write index, in samples.
    int32_t readDelay(int b) const { return static_cast<int32_t>(delay_[b]); }
    const double* buffer(int b) const { return buffers_[b]; }
    double dampingState(int i) const { return tank_.s[i]; }
    reverb::Decay decay() const { return {k1_.load(), k2_.load(), g_.load()}; }

    // One sample of the wet pair, cross-faded with the reverb by amount (RvbAmt, 0..1).
    void process(double& left, double& right, double amount) {
        if (type_.load() == kPlate)
            run<kPlate>(&left, &right, 1, amount);
        else
            run<kSpring>(&left, &right, 1, amount);
    }

    // What changes as the reverb runs, besides the buffers. A loop that runs the reverb
    // sample by sample carries it in a local: tank() before, step() per sample, keep() after.
    struct Tank {
        // One write index serves all buffers: both groups' write indices are set together
        // at retuning and move together. Each read index is the write index minus a fixed delay.
        uint32_t write = 0;
        double s[6] = {};  // damping states
        reverb::BandPassState band[2];
    };
    Tank tank() const { return tank_; }
    void keep(const Tank& t) { tank_ = t; }

    // One sample of the wet pair through the structure of the given type, which must be the
    // one in force (it changes only under the engine lock, between blocks), with the damping
    // coefficients d = decay() read once for the run.
    template <int Type>
    [[gnu::always_inline]] void step(Tank& t, const reverb::Decay& d, double& left, double& right,
                                     double amount) const {
        double yL, yR;
        if constexpr (Type == kPlate)
            plate(t, d, left + right, yL, yR);
        else
            spring(t, d, left + right, yL, yR);
        t.write = (t.write + 1) & mask_;
        constexpr double level = Type == kPlate ? kPlateLevel : kSpringLevel;
        left = left + (level * yL - left) * amount;
        right = right + (level * yR - right) * amount;
    }

    // n samples of the wet pair in place.
    template <int Type>
    void run(double* left, double* right, int n, double amount) {
        Tank t = tank_;
        const reverb::Decay d = decay();
        if constexpr (Type == kPlate) {
            // In stretches that no index wraps in and that are shorter than every delay of
            // the plate: a stretch reads only what was written before it, so it can go stage
            // by stage instead of sample by sample.
            for (int i = 0; i < n;) {
                const int32_t m = plateStretch(t, n - i);
                if (m < kMinStretch) {
                    step<Type>(t, d, left[i], right[i], amount);
                    ++i;
                    continue;
                }
                plateRun(t, d, left + i, right + i, m, amount);
                i += m;
            }
        } else {
            for (int i = 0; i < n; ++i) step<Type>(t, d, left[i], right[i], amount);
        }
        tank_ = t;
    }

private:
    static constexpr int32_t kMaxStretch = 256;
    static constexpr int32_t kMinStretch = 8;

    // How many of the next n samples the plate can take as one stretch.
    int32_t plateStretch(const Tank& t, int32_t n) const {
        const uint32_t size = mask_ + 1;
        uint32_t m = static_cast<uint32_t>(std::min(n, kMaxStretch));
        m = std::min(m, size - t.write);
        for (int b = kB0; b <= kC3; ++b) {
            m = std::min(m, delay_[b]);
            m = std::min(m, size - readIndex(t, b));
        }
        return static_cast<int32_t>(m);
    }

    // plate() and the cross-fade of step() for m samples, stage by stage; each sample gets
    // the same arithmetic in the same order. The write index does not wrap in the stretch,
    // nor any read index, and every read index stays behind the stretch's first write.
    void plateRun(Tank& t, const reverb::Decay& d, double* left, double* right, int32_t m,
                      double amount) const {
        double* const* B = buffers_;
        const uint32_t w = t.write;
        const double g = d.g;
        const double gd = kPlateDiffusion * d.k2;
        const double gt = kPlateDiffusion * d.k1;
        alignas(32) double a[kMaxStretch];
        alignas(32) double damped[6][kMaxStretch];
        alignas(32) double pL[kMaxStretch], pR[kMaxStretch];

        // Input diffusers in series, alternating sign.
        for (int32_t j = 0; j < m; ++j) a[j] = left[j] + right[j];
        for (int c = 0; c < 4; ++c) {
            const double k = (c & 1) ? -gd : gd;
            const double* __restrict read = B[kC0 + c] + readIndex(t, kC0 + c);
            double* __restrict write = B[kC0 + c] + w;
            for (int32_t j = 0; j < m; ++j) {
                const double u = read[j] - k * a[j];
                write[j] = a[j] + k * u;
                a[j] = u;
            }
        }

        // Tank: the six damping recursions side by side, then the writes.
        const double* tankRead[6];
        for (int i = 0; i < 6; ++i) tankRead[i] = B[kB0 + i] + readIndex(t, kB0 + i);
        double s0 = t.s[0], s1 = t.s[1], s2 = t.s[2], s3 = t.s[3], s4 = t.s[4], s5 = t.s[5];
        for (int32_t j = 0; j < m; ++j) {
            damped[0][j] = reverb::damp(s0, tankRead[0][j], g);
            damped[1][j] = reverb::damp(s1, tankRead[1][j], g);
            damped[2][j] = reverb::damp(s2, tankRead[2][j], g);
            damped[3][j] = reverb::damp(s3, tankRead[3][j], g);
            damped[4][j] = reverb::damp(s4, tankRead[4][j], g);
            damped[5][j] = reverb::damp(s5, tankRead[5][j], g);
        }
        t.s[0] = s0, t.s[1] = s1, t.s[2] = s2, t.s[3] = s3, t.s[4] = s4, t.s[5] = s5;
        for (int i = 0; i < 6; ++i) {
            const double k = (i & 1) ? -gt : gt;
            double* __restrict write = B[kB0 + i] + w;
            const double* __restrict s = damped[i];
            for (int32_t j = 0; j < m; ++j) write[j] = a[j] - k * (s[j] + k * a[j]);
        }

        // Output taps, band-pass, cross-fade.
        {
            const double *__restrict b3 = B[kB3] + readIndex(t, kC2), *__restrict b0 = B[kB0] + readIndex(t, kC0),
                         *__restrict b4 = B[kB4] + w;
            const double *__restrict b1 = B[kB1] + readIndex(t, kC1), *__restrict b2 = B[kB2] + readIndex(t, kC3),
                         *__restrict b5 = B[kB5] + w;
            for (int32_t j = 0; j < m; ++j) {
                pL[j] = b3[j] + b0[j] + b4[j];
                pR[j] = b1[j] + b2[j] + b5[j];
            }
        }
        for (int32_t j = 0; j < m; ++j) {
            pL[j] = t.band[0].process(bandPass_, pL[j]);
            pR[j] = t.band[1].process(bandPass_, pR[j]);
        }
        for (int32_t j = 0; j < m; ++j) {
            left[j] = left[j] + (kPlateLevel * pL[j] - left[j]) * amount;
            right[j] = right[j] + (kPlateLevel * pR[j] - right[j]) * amount;
        }
        t.write = (w + static_cast<uint32_t>(m)) & mask_;
    }

    uint32_t readIndex(const Tank& t, int b) const { return (t.write - delay_[b]) & mask_; }

    [[gnu::always_inline]] void spring(Tank& t, const reverb::Decay& d, double x, double& yL, double& yR) const {
        using reverb::diffuse;
        double* const* B = buffers_;
        const uint32_t w = t.write;
        const double k1 = d.k1, k2 = d.k2, g = d.g;
        const double kd = kSpringDiffusion;
        double* s = t.s;

        // Read the three pairs; the first line of each pair is damped.
        const uint32_t rA1 = readIndex(t, kA1);
        reverb::damp(s[0], B[kA0][readIndex(t, kA0)], g);
        s[1] = B[kA1][rA1];
        reverb::damp(s[2], B[kA2][readIndex(t, kA2)], g);
        s[3] = B[kA3][readIndex(t, kA3)];
        reverb::damp(s[4], B[kA4][readIndex(t, kA4)], g);
        s[5] = B[kA5][readIndex(t, kA5)];

        double u[6];
        for (int i = 0; i < 6; ++i) u[i] = diffuse(B[kB0 + i], readIndex(t, kB0 + i), w, s[i], kd);

        // Write the pairs back, cross-coupled, each a little shorter-lived than the last.
        B[kA0][w] = (u[0] + k2 * u[1]) * k1 + x;
        B[kA1][w] = u[0] + k1 * u[1];
        B[kA2][w] = (u[2] + k2 * u[3]) * k1 * 0.975 + x;
        B[kA3][w] = u[2] + k1 * 0.975 * u[3];
        B[kA4][w] = (u[4] + k2 * u[5]) * k1 * 0.95 + x;
        B[kA5][w] = u[4] + k1 * 0.95 * u[5];

        const double pL = B[kA3][rA1] + B[kA1][w] + B[kA5][w];
        const double pR = B[kA1][rA1] + B[kA3][w] + B[kA5][w];

        const double oL = diffuse(B[kC0], readIndex(t, kC0), w, pL, kd);
        const double qL = diffuse(B[kC2], readIndex(t, kC2), w, oL, kd);
        const double oR = diffuse(B[kC1], readIndex(t, kC1), w, pR, kd);
        const double qR = diffuse(B[kC3], readIndex(t, kC3), w, oR, kd);

        yL = t.band[0].process(bandPass_, qL);
        yR = t.band[1].process(bandPass_, qR);
    }

    [[gnu::always_inline]] void plate(Tank& t, const reverb::Decay& d, double x, double& yL, double& yR) const {
        using reverb::diffuse;
        double* const* B = buffers_;
        const uint32_t w = t.write;
        const double g = d.g;
        const double gd = kPlateDiffusion * d.k2;
        const double gt = kPlateDiffusion * d.k1;
        double* s = t.s;

        // Input diffusers in series, alternating sign; the C read offsets are their delays.
        const uint32_t rC0 = readIndex(t, kC0), rC1 = readIndex(t, kC1), rC2 = readIndex(t, kC2),
                       rC3 = readIndex(t, kC3);
        const double a1 = diffuse(B[kC0], rC0, w, x, gd);
        const double a2 = diffuse(B[kC1], rC1, w, a1, -gd);
        const double a3 = diffuse(B[kC2], rC2, w, a2, gd);
        const double a4 = diffuse(B[kC3], rC3, w, a3, -gd);

        // Tank: six damped all-pass delays, alternating sign.
        for (int i = 0; i < 6; ++i) reverb::damp(s[i], B[kB0 + i][readIndex(t, kB0 + i)], g);
        for (int i = 0; i < 6; ++i) {
            const double k = (i & 1) ? -gt : gt;
            B[kB0 + i][w] = a4 - k * (s[i] + k * a4);
        }

        // Output taps: the C read offsets again, now as positions in the tank.
        const double pL = B[kB3][rC2] + B[kB0][rC0] + B[kB4][w];
        const double pR = B[kB1][rC1] + B[kB2][rC3] + B[kB5][w];

        yL = t.band[0].process(bandPass_, pL);
        yR = t.band[1].process(bandPass_, pR);
    }

    double sampleRate_ = 44100.0;
    uint32_t mask_ = 0;  // 0 until buffers exist
    std::vector<double> storage_;
    double* buffers_[kBufferCount] = {};

    Relaxed<int32_t> type_{kSpring};
    Relaxed<double> damping_{0.1};
    Relaxed<double> k1_{0.0}, k2_{0.0}, g_{0.0};

    uint32_t delay_[kBufferCount] = {};
    Tank tank_;
    reverb::BandPass bandPass_;
};

}  // namespace engine
