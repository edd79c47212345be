// Test signals a host plays into a plug-in: pink noise, a sine sweep and steps, identical
// on every run for the same arguments.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace testhost {

// Scales a signal so that its largest magnitude is `peak`.
inline void normalise(std::vector<double>& s, double peak) {
    double largest = 0.0;
    for (double v : s) largest = std::max(largest, std::fabs(v));
    if (largest > 0.0)
        for (double& v : s) v *= peak / largest;
}

// Pink noise (Paul Kellet's filter on white noise from a linear congruential generator),
// peaking at `peak`.
inline std::vector<double> pinkNoise(std::size_t frames, uint32_t seed, double peak) {
    std::vector<double> s(frames);
    double b[7] = {};
    for (double& v : s) {
        seed = seed * 1664525u + 1013904223u;
        const double w = static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
        b[0] = 0.99886 * b[0] + w * 0.0555179;
        b[1] = 0.99332 * b[1] + w * 0.0750759;
        b[2] = 0.96900 * b[2] + w * 0.1538520;
        b[3] = 0.86650 * b[3] + w * 0.3104856;
        b[4] = 0.55000 * b[4] + w * 0.5329522;
        b[5] = -0.7616 * b[5] - w * 0.0168980;
        v = b[0] + b[1] + b[2] + b[3] + b[4] + b[5] + b[6] + w * 0.5362;
        b[6] = w * 0.115926;
    }
    normalise(s, peak);
    return s;
}

// A sine sweeping exponentially from 20 Hz to 20 kHz (or 0.45 of the rate, if lower) over
// the whole length, at amplitude `peak`.
inline std::vector<double> sineSweep(std::size_t frames, double sampleRate, double peak) {
    std::vector<double> s(frames);
    const double from = 20.0, to = std::min(20000.0, 0.45 * sampleRate);
    const double seconds = static_cast<double>(frames) / sampleRate, k = std::log(to / from) / seconds;
    for (std::size_t n = 0; n < frames; ++n) {
        const double t = static_cast<double>(n) / sampleRate;
        s[n] = peak * std::sin(2.0 * 3.141592653589793 * from * (std::exp(k * t) - 1.0) / k);
    }
    return s;
}

// Steps every quarter of a second: +peak, 0, -peak, 0, and again.
inline std::vector<double> steps(std::size_t frames, double sampleRate, double peak) {
    std::vector<double> s(frames);
    const std::size_t quarter = std::max<std::size_t>(1, static_cast<std::size_t>(sampleRate / 4.0));
    static constexpr double kLevels[4] = {1.0, 0.0, -1.0, 0.0};
    for (std::size_t n = 0; n < frames; ++n) s[n] = peak * kLevels[(n / quarter) % 4];
    return s;
}

}  // namespace testhost
