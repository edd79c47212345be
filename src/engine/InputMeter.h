// The input meter: each channel's gained input passes through a ring one meter window
// long (the host's output latency, so the meter moves with what the listener hears), and
// the samples leaving the rings widen a held minimum and maximum that the editor reads
// and restarts from its own thread.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "Relaxed.h"

namespace engine {

struct InputMeter {
    static constexpr int32_t kDefaultWindow = 1024;
    static constexpr int32_t kMaxWindow = 44100;

    std::vector<float> ring[2];
    int32_t window = 0;
    int32_t index = 0;
    Relaxed<float> minimum[2] = {{0.0f}, {0.0f}};
    Relaxed<float> maximum[2] = {{0.0f}, {0.0f}};

    InputMeter() = default;
    InputMeter(const InputMeter&) = delete;
    InputMeter& operator=(const InputMeter&) = delete;

    // Takes over rings allocated by the caller (cannot fail).
    void adopt(std::vector<float>& left, std::vector<float>& right) {
        ring[0].swap(left);
        ring[1].swap(right);
        window = static_cast<int32_t>(ring[0].size());
        index = 0;
    }

    void clear() {
        std::fill(ring[0].begin(), ring[0].end(), 0.0f);
        std::fill(ring[1].begin(), ring[1].end(), 0.0f);
        clearRange();
    }

    // The held minima and maxima alone.
    void clearRange() {
        for (int c = 0; c < 2; ++c) {
            minimum[c] = 0.0f;
            maximum[c] = 0.0f;
        }
    }

    void push(float left, float right) {
        ring[0][index] = left;
        ring[1][index] = right;
        if (++index == window) index = 0;
        widen(0, ring[0][index]);
        widen(1, ring[1][index]);
    }

    // push() for n samples of each channel, both channels side by side. The held range is
    // read before the run and written after it, not once per sample: a query from another
    // thread meanwhile may see the run's peaks a run later, or the run's peaks again after it
    // restarted the range.
    void push(const double* left, const double* right, int32_t n) {
        if (n <= 0) return;
        float* const rL = ring[0].data();
        float* const rR = ring[1].data();
        const float oldLow[2] = {minimum[0].load(), minimum[1].load()};
        const float oldHigh[2] = {maximum[0].load(), maximum[1].load()};
        Range range = {{oldLow[0], oldLow[1]}, {oldHigh[0], oldHigh[1]}};
        // What leaves the rings: first the slots they held before the run (the samples up to
        // the window's end), then the run's own samples, one window late. Sample i is stored
        // at index + i and the sample at index + i + 1 leaves (slots counted round the ring).
        const int32_t fromRing = std::min(n, window - 1);
        for (int32_t i = 0, at = index + 1 == window ? 0 : index + 1; i < fromRing;) {
            const int32_t run = std::min(fromRing - i, window - at);
            range.widenByAll(rL + at, rR + at, run);
            i += run;
            at = at + run == window ? 0 : at + run;
        }
        for (int32_t i = window - 1; i < n; ++i)
            range.widenBy(static_cast<float>(left[i + 1 - window]), static_cast<float>(right[i + 1 - window]));
        // The rings keep the last `window` samples of the run.
        const int32_t kept = n > window ? n - window : 0;
        int32_t at = index + kept;
        at = at >= window ? at % window : at;
        for (int32_t i = kept; i < n;) {
            const int32_t run = std::min(n - i, window - at);
            for (int32_t j = 0; j < run; ++j) {
                rL[at + j] = static_cast<float>(left[i + j]);
                rR[at + j] = static_cast<float>(right[i + j]);
            }
            i += run;
            at = at + run == window ? 0 : at + run;
        }
        index = at;
        // Stored only when widened, so that a range the editor restarted meanwhile stays
        // restarted unless this run has a new peak.
        for (int c = 0; c < 2; ++c) {
            if (range.high[c] != oldHigh[c]) maximum[c] = range.high[c];
            if (range.low[c] != oldLow[c]) minimum[c] = range.low[c];
        }
    }

    void widen(int c, float v) {
        if (v > maximum[c])
            maximum[c] = v;
        else if (v < minimum[c])
            minimum[c] = v;
    }

private:
    // The two channels' held ranges while a run widens them. The range never leaves 0 (it
    // starts and restarts there), so widening it by a value is taking the larger maximum and
    // the smaller minimum. The order does not change a bit: no value is a NaN (the input
    // counts them as silence), so a larger maximum is a larger value, and a zero never
    // replaces the range's own (its maximum and minimum start at +0 and only ever move away
    // from it).
    struct Range {
        float low[2], high[2];

        void widenBy(float l, float r) {
            high[0] = l > high[0] ? l : high[0];
            low[0] = l < low[0] ? l : low[0];
            high[1] = r > high[1] ? r : high[1];
            low[1] = r < low[1] ? r : low[1];
        }

        // By l[0..n) and r[0..n), eight values of each side by side, then the lanes together:
        // the two channels' halves of each in one vector, then two halvings of those.
        void widenByAll(const float* l, const float* r, int32_t n) {
            using Lanes = float __attribute__((vector_size(32)));
            constexpr int kLanes = 8;
            int32_t i = 0;
            if (n >= kLanes) {
                Lanes loL = {low[0], low[0], low[0], low[0], low[0], low[0], low[0], low[0]};
                Lanes hiL = {high[0], high[0], high[0], high[0], high[0], high[0], high[0], high[0]};
                Lanes loR = {low[1], low[1], low[1], low[1], low[1], low[1], low[1], low[1]};
                Lanes hiR = {high[1], high[1], high[1], high[1], high[1], high[1], high[1], high[1]};
                for (; i + kLanes <= n; i += kLanes) {
                    Lanes x, y;
                    std::memcpy(&x, l + i, sizeof x);
                    std::memcpy(&y, r + i, sizeof y);
                    hiL = x > hiL ? x : hiL;
                    loL = x < loL ? x : loL;
                    hiR = y > hiR ? y : hiR;
                    loR = y < loR ? y : loR;
                }
                // Lanes 0-3 the left channel's, 4-7 the right's.
                Lanes a = __builtin_shufflevector(hiL, hiR, 0, 1, 2, 3, 8, 9, 10, 11);
                Lanes b = __builtin_shufflevector(hiL, hiR, 4, 5, 6, 7, 12, 13, 14, 15);
                Lanes hi = a > b ? a : b;
                a = __builtin_shufflevector(loL, loR, 0, 1, 2, 3, 8, 9, 10, 11);
                b = __builtin_shufflevector(loL, loR, 4, 5, 6, 7, 12, 13, 14, 15);
                Lanes lo = a < b ? a : b;
                Lanes h = __builtin_shufflevector(hi, hi, 2, 3, 0, 1, 6, 7, 4, 5);
                Lanes g = __builtin_shufflevector(lo, lo, 2, 3, 0, 1, 6, 7, 4, 5);
                hi = h > hi ? h : hi;
                lo = g < lo ? g : lo;
                h = __builtin_shufflevector(hi, hi, 1, 0, 3, 2, 5, 4, 7, 6);
                g = __builtin_shufflevector(lo, lo, 1, 0, 3, 2, 5, 4, 7, 6);
                hi = h > hi ? h : hi;
                lo = g < lo ? g : lo;
                high[0] = hi[0] > high[0] ? hi[0] : high[0];
                low[0] = lo[0] < low[0] ? lo[0] : low[0];
                high[1] = hi[4] > high[1] ? hi[4] : high[1];
                low[1] = lo[4] < low[1] ? lo[4] : low[1];
            }
            for (; i < n; ++i) widenBy(l[i], r[i]);
        }
    };

public:
    // Each channel's peak since the last query; the held range then restarts from 0.
    void query(float& left, float& right) {
        left = std::max(maximum[0].load(), -minimum[0].load());
        right = std::max(maximum[1].load(), -minimum[1].load());
        for (int c = 0; c < 2; ++c) {
            minimum[c] = 0.0f;
            maximum[c] = 0.0f;
        }
    }
};

}  // namespace engine
