// The input meter: each channel's gained input passes through a ring one meter window
// long (the host's output latency, so the meter moves with what the listener hears), and
// the samples leaving the rings widen a held minimum and maximum that the editor reads
// and restarts from its own thread.
#pragma once

#include <algorithm>
#include <cstdint>
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

    void widen(int c, float v) {
        if (v > maximum[c])
            maximum[c] = v;
        else if (v < minimum[c])
            minimum[c] = v;
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
