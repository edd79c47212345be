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

    // push() for n samples of each channel. The held range is read before the run and
    // written after it, not once per sample: a query from another thread meanwhile may see
    // the run's peaks a run later, or the run's peaks again after it restarted the range.
    void push(const double* left, const double* right, int32_t n) {
        if (n <= 0) return;
        pushChannel(0, left, n);
        pushChannel(1, right, n);
        index = static_cast<int32_t>((index + static_cast<int64_t>(n)) % window);
    }

    void widen(int c, float v) {
        if (v > maximum[c])
            maximum[c] = v;
        else if (v < minimum[c])
            minimum[c] = v;
    }

    // The range widened by v[0..n), eight values side by side, then the lanes together. The
    // order does not change a bit: no value is a NaN (the input counts them as silence), so a
    // larger maximum is a larger value, and a zero never replaces the range's own (its
    // maximum and minimum start at +0 and only ever move away from it).
    static void widenByAll(const float* v, int32_t n, float& low, float& high) {
        using Lanes = float __attribute__((vector_size(32)));
        constexpr int kLanes = 8;
        int32_t i = 0;
        if (n >= kLanes) {
            Lanes lo = {low, low, low, low, low, low, low, low}, hi = {high, high, high, high, high, high, high, high};
            for (; i + kLanes <= n; i += kLanes) {
                Lanes x;
                std::memcpy(&x, v + i, sizeof x);
                hi = x > hi ? x : hi;
                lo = x < lo ? x : lo;
            }
            // The lanes together in three halvings (the larger of each pair of lanes, then
            // of each pair of those).
            Lanes h = __builtin_shufflevector(hi, hi, 4, 5, 6, 7, 0, 1, 2, 3);
            Lanes l = __builtin_shufflevector(lo, lo, 4, 5, 6, 7, 0, 1, 2, 3);
            hi = h > hi ? h : hi;
            lo = l < lo ? l : lo;
            h = __builtin_shufflevector(hi, hi, 2, 3, 0, 1, 6, 7, 4, 5);
            l = __builtin_shufflevector(lo, lo, 2, 3, 0, 1, 6, 7, 4, 5);
            hi = h > hi ? h : hi;
            lo = l < lo ? l : lo;
            h = __builtin_shufflevector(hi, hi, 1, 0, 3, 2, 5, 4, 7, 6);
            l = __builtin_shufflevector(lo, lo, 1, 0, 3, 2, 5, 4, 7, 6);
            hi = h > hi ? h : hi;
            lo = l < lo ? l : lo;
            high = hi[0] > high ? hi[0] : high;
            low = lo[0] < low ? lo[0] : low;
        }
        for (; i < n; ++i) {
            high = v[i] > high ? v[i] : high;
            low = v[i] < low ? v[i] : low;
        }
    }

    // One channel of push(): sample i is stored at index + i and the sample at index + i + 1
    // leaves the ring (all slots counted round the ring).
    void pushChannel(int c, const double* x, int32_t n) {
        float* r = ring[c].data();
        const float oldLow = minimum[c].load(), oldHigh = maximum[c].load();
        float low = oldLow, high = oldHigh;
        // The held range never leaves 0 (it starts and restarts there), so widening it by a
        // value is taking the larger maximum and the smaller minimum.
        auto widenBy = [&low, &high](float v) {
            high = v > high ? v : high;
            low = v < low ? v : low;
        };
        // What leaves the ring: first the slots it held before the run (the samples up to
        // the window's end), then the run's own samples, one window late.
        const int32_t fromRing = std::min(n, window - 1);
        for (int32_t i = 0, at = index + 1 == window ? 0 : index + 1; i < fromRing;) {
            const int32_t run = std::min(fromRing - i, window - at);
            widenByAll(r + at, run, low, high);
            i += run;
            at = at + run == window ? 0 : at + run;
        }
        for (int32_t i = window - 1; i < n; ++i) widenBy(static_cast<float>(x[i + 1 - window]));
        // The ring keeps the last `window` samples of the run.
        for (int32_t i = n > window ? n - window : 0,
                     at = static_cast<int32_t>((index + static_cast<int64_t>(n > window ? n - window : 0)) % window);
             i < n;) {
            const int32_t run = std::min(n - i, window - at);
            for (int32_t j = 0; j < run; ++j) r[at + j] = static_cast<float>(x[i + j]);
            i += run;
            at = at + run == window ? 0 : at + run;
        }
        // Stored only when widened, so that a range the editor restarted meanwhile stays
        // restarted unless this run has a new peak.
        if (high != oldHigh) maximum[c] = high;
        if (low != oldLow) minimum[c] = low;
    }

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
