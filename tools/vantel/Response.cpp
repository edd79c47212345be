#include "Response.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>

namespace vantel::response {

namespace {

constexpr double kMinusInf = -std::numeric_limits<double>::infinity();

// y[i] = the largest x within i - h .. i + h (a monotonic queue: linear time).
std::vector<double> slidingMax(const std::vector<double>& x, size_t h) {
    const size_t n = x.size();
    std::vector<double> y(n);
    std::deque<size_t> q;  // indices whose values decrease from front to back
    size_t next = 0;       // the next index to enter the window
    for (size_t i = 0; i < n; ++i) {
        const size_t end = std::min(n, i + h + 1);
        for (; next < end; ++next) {
            while (!q.empty() && x[q.back()] <= x[next]) q.pop_back();
            q.push_back(next);
        }
        while (q.front() + h < i) q.pop_front();
        y[i] = x[q.front()];
    }
    return y;
}

double peakAround(const std::vector<double>& x, size_t at, size_t h) {
    const size_t from = at > h ? at - h : 0, to = std::min(x.size(), at + h + 1);
    double peak = 0.0;
    for (size_t i = from; i < to; ++i) peak = std::max(peak, std::fabs(x[i]));
    return peak;
}

size_t samplesFor(double ms, double fs) { return std::max<size_t>(1, size_t(std::lround(ms * fs / 1000.0))); }

double powerToDb(double power) { return power > 0.0 ? 10.0 * std::log10(power) : kMinusInf; }

// Where a falling edge from point a to point b crosses `level`, on a log frequency axis.
double crossing(double hzA, double dbA, double hzB, double dbB, double level) {
    const double t = std::isfinite(dbB) ? (dbA - level) / (dbA - dbB) : 0.0;
    return std::exp(std::log(hzA) + t * (std::log(hzB) - std::log(hzA)));
}

}  // namespace

double toDb(double amplitude) { return amplitude > 0.0 ? 20.0 * std::log10(amplitude) : kMinusInf; }

std::vector<Repeat> findRepeats(const Stereo& wet, double fs, double floorDb) {
    const size_t n = wet.frames();
    std::vector<double> m(n);
    for (size_t i = 0; i < n; ++i) m[i] = std::max(std::fabs(wet.left[i]), std::fabs(wet.right[i]));
    const size_t h = samplesFor(repeat::kEnvelopeMs, fs), w = samplesFor(repeat::kSeparationMs, fs);
    const std::vector<double> envelope = slidingMax(m, h), local = slidingMax(m, w);
    const double floorAmp = std::pow(10.0, floorDb / 20.0);
    const double prominence = std::pow(10.0, -repeat::kProminenceDb / 20.0);

    std::vector<Repeat> repeats;
    bool any = false;
    size_t last = 0;
    double lowest = 0.0;  // the envelope's low point since the last repeat (silence before the first)
    // A peak closer to the end than the separation may still be rising past it: not judged.
    for (size_t i = 0; i + w < n; ++i) {
        const bool peak = m[i] >= floorAmp && m[i] >= local[i] && (!any || i > last + w);
        if (peak && lowest <= m[i] * prominence) {
            Repeat r;
            r.frame = i;
            r.db = toDb(m[i]);
            r.leftDb = toDb(peakAround(wet.left, i, h));
            r.rightDb = toDb(peakAround(wet.right, i, h));
            repeats.push_back(r);
            any = true;
            last = i;
            lowest = envelope[i];
            continue;
        }
        lowest = std::min(lowest, envelope[i]);
    }
    return repeats;
}

void fft(std::vector<double>& re, std::vector<double>& im) {
    const size_t n = re.size();
    for (size_t i = 1, j = 0; i < n; ++i) {  // bit-reversed order
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j |= bit;
        if (i < j) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
    }
    std::vector<double> c(n / 2), s(n / 2);
    for (size_t k = 0; k < n / 2; ++k) {
        c[k] = std::cos(2.0 * M_PI * double(k) / double(n));
        s[k] = -std::sin(2.0 * M_PI * double(k) / double(n));
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const size_t stride = n / len;
        for (size_t start = 0; start < n; start += len)
            for (size_t k = 0; k < len / 2; ++k) {
                const size_t a = start + k, b = a + len / 2;
                const double wr = c[k * stride], wi = s[k * stride];
                const double xr = re[b] * wr - im[b] * wi, xi = re[b] * wi + im[b] * wr;
                re[b] = re[a] - xr;
                im[b] = im[a] - xi;
                re[a] += xr;
                im[a] += xi;
            }
    }
}

Curve magnitudeResponse(const Stereo& wet, double fs, double lowHz, double highHz, int pointsPerOctave,
                        double smoothingOctaves) {
    size_t n = 2;
    while (n < wet.frames()) n <<= 1;
    const size_t bins = n / 2 + 1;
    // Running sums of each channel's power spectrum: a band's mean in constant time.
    auto powerSums = [&](const std::vector<double>& x) {
        std::vector<double> re(n, 0.0), im(n, 0.0);
        std::copy(x.begin(), x.end(), re.begin());
        fft(re, im);
        std::vector<double> sums(bins + 1, 0.0);
        for (size_t k = 0; k < bins; ++k) sums[k + 1] = sums[k] + re[k] * re[k] + im[k] * im[k];
        return sums;
    };
    const std::vector<double> sumL = powerSums(wet.left), sumR = powerSums(wet.right);
    const double binHz = fs / double(n);

    Curve curve;
    for (int j = 0;; ++j) {
        const double hz = lowHz * std::pow(2.0, double(j) / pointsPerOctave);
        if (hz > highHz * (1.0 + 1e-9)) break;
        const double half = std::pow(2.0, smoothingOctaves / 2.0);
        size_t k0 = size_t(std::ceil(hz / half / binHz)), k1 = size_t(std::floor(hz * half / binHz));
        k1 = std::min(k1, bins - 1);
        if (k1 < k0) k0 = k1 = std::min(bins - 1, size_t(std::lround(hz / binHz)));  // a band narrower than a bin
        const double count = double(k1 - k0 + 1);
        const double pL = (sumL[k1 + 1] - sumL[k0]) / count, pR = (sumR[k1 + 1] - sumR[k0]) / count;
        curve.hz.push_back(hz);
        curve.left.push_back(powerToDb(pL));
        curve.right.push_back(powerToDb(pR));
        curve.both.push_back(powerToDb(0.5 * (pL + pR)));
    }
    return curve;
}

Corners findCorners(const std::vector<double>& hz, const std::vector<double>& db) {
    Corners c;
    size_t at = 0;
    for (size_t i = 0; i < db.size(); ++i)
        if (std::isfinite(db[i]) && (!c.any || db[i] > c.peakDb)) {
            c.any = true;
            c.peakDb = db[i];
            at = i;
        }
    if (!c.any) return c;
    c.peakHz = hz[at];
    const double level = c.peakDb - 3.0;
    for (size_t j = at + 1; j < db.size() && c.highHz == 0.0; ++j)
        if (!(db[j] >= level)) c.highHz = crossing(hz[j - 1], db[j - 1], hz[j], db[j], level);
    for (size_t j = at; j-- > 0 && c.lowHz == 0.0;)
        if (!(db[j] >= level)) c.lowHz = crossing(hz[j + 1], db[j + 1], hz[j], db[j], level);
    return c;
}

}  // namespace vantel::response
