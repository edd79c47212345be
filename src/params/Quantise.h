// Quantisers of stepped parameters. Both work in single precision, as the normalised
// values themselves are floats, and both are total: NaN, infinities and out-of-range
// values map to a valid position.
#pragma once

#include <cmath>

namespace params {

// Position k of an n-position parameter covers x in [k/n, (k+1)/n); 1.0 and above give n - 1.
inline int positionOf(double x, int n) {
    if (!(x > 0.0)) return 0;  // NaN and everything at or below 0
    if (x >= 1.0) return n - 1;
    float product = static_cast<float>(n) * static_cast<float>(x);
    int k = static_cast<int>(std::floor(product));
    if (k > n - 1) k = n - 1;
    if (k < 0) k = 0;
    return k;
}

// The normalised value the effect itself writes for position k.
inline float centreOf(int k, int n) { return (static_cast<float>(k) + 0.5f) / static_cast<float>(n); }

// Two-position switches are on from 0.5; the input mutes only above 0.5.
inline bool switchOn(double x) { return positionOf(x, 2) == 1; }
inline bool muteOn(double x) { return x > 0.5; }

}  // namespace params
