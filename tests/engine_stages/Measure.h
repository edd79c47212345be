// Measurements on rendered signals, shared by the stage tests.
#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

namespace stagetest {

constexpr double kPi = 3.141592653589793;

// Amplitude of the sine component at `hz` in y[start, start + length). With length = one
// second of samples every whole-hertz frequency falls on a bin, so nothing leaks.
inline double amplitudeAt(const std::vector<double>& y, double hz, double sampleRate, std::size_t start,
                          std::size_t length) {
    double re = 0.0, im = 0.0;
    for (std::size_t n = 0; n < length; ++n) {
        const double phase = 2.0 * kPi * hz * static_cast<double>(n) / sampleRate;
        re += y[start + n] * std::cos(phase);
        im += y[start + n] * std::sin(phase);
    }
    return 2.0 * std::hypot(re, im) / static_cast<double>(length);
}

// Frequency from the upward zero crossings in y[start, end), each placed by linear
// interpolation between its two samples.
inline double zeroCrossingHz(const std::vector<double>& y, double sampleRate, std::size_t start, std::size_t end) {
    double first = -1.0, last = -1.0;
    int count = 0;
    for (std::size_t n = start + 1; n < end; ++n) {
        if (y[n - 1] < 0.0 && y[n] >= 0.0) {
            const double at = static_cast<double>(n - 1) + y[n - 1] / (y[n - 1] - y[n]);
            if (count == 0) first = at;
            last = at;
            ++count;
        }
    }
    if (count < 2) return 0.0;
    return (count - 1) * sampleRate / (last - first);
}

inline double energy(const std::vector<double>& y, std::size_t start, std::size_t length) {
    double e = 0.0;
    for (std::size_t n = start; n < start + length; ++n) e += y[n] * y[n];
    return e;
}

}  // namespace stagetest
