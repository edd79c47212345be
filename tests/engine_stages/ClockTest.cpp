// The anti-alias filter and the clocked delay line: latency, stretch, pitch and the
// clock's timing measured against a plain delay line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "AntiAliasFilter.h"
#include "ClockedDelay.h"
#include "EngineTables.h"
#include "Measure.h"

namespace engine {
namespace {

using stagetest::amplitudeAt;
using stagetest::kPi;

const EngineTables& tables() {
    static const EngineTables t;
    return t;
}

// ---- anti-alias filter

double antiAliasGainAt(double fs, double hz) {
    AntiAliasFilter aa;
    aa.adaptSampleRate(fs);
    const std::size_t n = static_cast<std::size_t>(fs);
    std::vector<double> y(n + n / 4);
    for (std::size_t i = 0; i < y.size(); ++i) {
        double l = std::sin(2.0 * kPi * hz * static_cast<double>(i) / fs), r = 0.0;
        aa.process(l, r);
        y[i] = l;
    }
    return amplitudeAt(y, hz, fs, n / 4, n);
}

// |H|^2 of one Butterworth section is 1 / (1 + (tan(w/2) / tan(wc/2))^4) after the bilinear
// transform; two sections square it.
double butterworthGain(double fs, double corner, double hz) {
    const double ratio = std::tan(kPi * hz / fs) / std::tan(kPi * corner / fs);
    return 1.0 / (1.0 + std::pow(ratio, 4.0));
}

TEST(AntiAliasFilter, FourthOrderButterworthAtItsCorner) {
    struct Case {
        double fs, corner;
    };
    // 14 kHz from about 31 kHz up; 0.45 fs below.
    for (const Case& c : {Case{44100.0, 14000.0}, Case{96000.0, 14000.0}, Case{192000.0, 14000.0}, Case{28000.0, 12600.0},
                          Case{8000.0, 3600.0}}) {
        EXPECT_EQ(AntiAliasFilter::cornerFor(c.fs), c.corner);
        for (double hz : {c.corner * 0.25, c.corner, std::floor(c.corner * 1.06)}) {
            EXPECT_NEAR(antiAliasGainAt(c.fs, hz), butterworthGain(c.fs, c.corner, hz), 1e-6) << c.fs << " " << hz;
        }
        EXPECT_NEAR(antiAliasGainAt(c.fs, c.corner), 0.5, 1e-6);  // -3 dB per section
    }
}

TEST(AntiAliasFilter, LowRatesStayStable) {
    for (double fs : {4096.0, 8000.0, 22050.0, 28000.0}) {
        AntiAliasFilter aa;
        aa.adaptSampleRate(fs);
        double tail = 0.0;
        for (int n = 0; n < 4000; ++n) {
            double l = n == 0 ? 1.0 : 0.0, r = l;
            aa.process(l, r);
            if (n >= 3000) tail = std::max(tail, std::fabs(l));
        }
        EXPECT_LT(tail, 1e-12) << fs;
    }
}

TEST(AntiAliasFilter, PrimedFilterHoldsItsValue) {
    AntiAliasFilter aa;
    aa.adaptSampleRate(44100.0);
    aa.prime(0.7, -0.3);
    for (int n = 0; n < 100; ++n) {
        double l = 0.7, r = -0.3;
        aa.process(l, r);
        ASSERT_NEAR(l, 0.7, 1e-14);
        ASSERT_NEAR(r, -0.3, 1e-14);
    }
}

// ---- clocked delay

// The plain delay step of a line, as a reference: store, add feedback, read, advance.
struct PlainLine {
    std::vector<double> slots;
    int32_t write, feedback, read;

    PlainLine(int32_t length, int32_t pre, int32_t time)
        : slots(length, 0.0), write(0), feedback((0 - pre + length) % length), read((feedback - time + length) % length) {}

    double step(double s, double f) {
        slots[write] = s;
        slots[feedback] += f;
        const double y = slots[read];
        const int32_t n = static_cast<int32_t>(slots.size());
        if (++read == n) read = 0;
        if (++feedback == n) feedback = 0;
        if (++write == n) write = 0;
        return y;
    }
};

struct ClockedLine {
    PlainLine line;
    ClockedDelay clock;

    ClockedLine(int32_t length, int32_t pre, int32_t time) : line(length, pre, time) {}

    double step(double v, double s, double f) {
        clock.push(s, f);
        return clock.step(v, line.slots.data(), static_cast<int32_t>(line.slots.size()), line.write, line.feedback,
                          line.read);
    }
};

TEST(ClockedDelay, RateFromManualAndModulation) {
    struct Case {
        double manual, depth, mod, rate;
    };
    for (const Case& c : {Case{0.0, 0.0, 0.7, 1.0}, Case{-1.0, 0.0, 0.7, 0.5}, Case{1.0, 0.0, 0.7, 2.0},
                          Case{0.5, 1.0, -1.0, 0.5}, Case{-0.5, -1.0, -1.0, 2.0}, Case{0.9, 1.0, 0.0, 1.0},
                          Case{1e9, 0.0, 0.0, 2.0}, Case{0.0, 0.0, std::nan(""), 0.5}, Case{std::nan(""), 0.0, 0.0, 0.5}}) {
        EXPECT_DOUBLE_EQ(ClockedDelay::rateFor(tables(), c.manual, c.depth, c.mod), c.rate)
            << c.manual << " " << c.depth << " " << c.mod;
    }
    EXPECT_NEAR(ClockedDelay::rateFor(tables(), 0.5, 0.0, 0.0), std::sqrt(2.0), 1e-7);
}

TEST(ClockedDelay, RateOneIsThePlainLineThreeSamplesLater) {
    // Heads wrap several times; pre-delay and time as the loop places them.
    const int32_t length = 700, pre = 37, time = 211;
    PlainLine plain(length, pre, time);
    ClockedLine clocked(length, pre, time);
    std::mt19937 random(3);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::vector<double> a, b;
    for (int n = 0; n < 5000; ++n) {
        const double s = uniform(random), f = 0.5 * uniform(random);
        a.push_back(plain.step(s, f));
        b.push_back(clocked.step(1.0, s, f));
        ASSERT_EQ(clocked.line.write, plain.write);  // one slot per sample, same wrap
        ASSERT_EQ(clocked.line.read, plain.read);
    }
    for (int n = 0; n < ClockedDelay::kLatency; ++n) EXPECT_EQ(b[n], 0.0);
    for (std::size_t n = ClockedDelay::kLatency; n < b.size(); ++n)
        ASSERT_NEAR(b[n], a[n - ClockedDelay::kLatency], 1e-14) << n;
}

TEST(ClockedDelay, HalfRateDoublesTheDelay) {
    // A smooth pulse (the line samples its input at the ticks, so an input must be band
    // limited as the anti-alias filter makes it) comes out twice the head distance later,
    // plus the line's latency: one sample on the write side, two ticks on the read side.
    const int32_t time = 2205;
    for (double v : {0.5, 1.0, 2.0}) {
        ClockedLine clocked(20000, 0, time);
        std::vector<double> y;
        for (int n = 0; n < 8000; ++n) {
            const double x = (n - 1000) / 8.0;
            y.push_back(clocked.step(v, std::exp(-x * x), 0.0));
        }
        const auto peak = std::max_element(y.begin(), y.end());
        EXPECT_NEAR(static_cast<double>(peak - y.begin()) - 1000.0, time / v + 1.0 + 2.0 / v, 1.0) << v;
        EXPECT_NEAR(*peak, 1.0, 0.02) << v;
    }
}

TEST(ClockedDelay, ContentPlaysAnOctaveDownAtHalfRate) {
    // A tone written at rate 1 and read at rate 0.5 sounds an octave lower (and at 2, an
    // octave higher); at a steady rate the pitch is kept, as on a bucket-brigade line.
    const double fs = 44100.0;
    const int32_t time = 2205;
    struct Case {
        double v, hz;
        int from, to;
    };
    for (const Case& c : {Case{0.5, 500.0, 2500, 6500}, Case{2.0, 2000.0, 2450, 3400}, Case{1.0, 1000.0, 2300, 4300}}) {
        ClockedLine clocked(20000, 0, time);
        std::vector<double> y;
        for (int n = 0; n < 8000; ++n) {
            const bool filling = n < 2400;
            const double x = filling ? std::sin(2.0 * kPi * 1000.0 * n / fs) : 0.0;
            y.push_back(clocked.step(filling ? 1.0 : c.v, x, 0.0));
        }
        EXPECT_NEAR(stagetest::zeroCrossingHz(y, fs, c.from, c.to), c.hz, c.hz * 0.002) << c.v;
    }
    ClockedLine steady(20000, 0, time);
    std::vector<double> y;
    for (int n = 0; n < 3 * 44100; ++n) y.push_back(steady.step(0.5, std::sin(2.0 * kPi * 1000.0 * n / fs), 0.0));
    EXPECT_NEAR(stagetest::zeroCrossingHz(y, fs, 44100, y.size()), 1000.0, 0.5);
}

TEST(ClockedDelay, RateChangeKeepsTheTimeToThePendingTick) {
    // A ramp input makes each stored slot record the time of its tick (Catmull-Rom is
    // exact on straight lines), so slot k - slot k-1 is the spacing of the ticks.
    ClockedLine clocked(64, 0, 10);
    for (double before : {97.0, 98.0, 99.0}) clocked.clock.push(before, 0.0);
    const double rates[] = {0.5, 0.5, 0.5, 0.5, 0.5, 2.0, 2.0, 2.0, 2.0, 0.75, 0.75, 0.75, 0.75, 0.75};
    double ramp = 100.0;
    int ticks = 0;
    for (double v : rates) {
        const int32_t before = clocked.line.write;
        clocked.step(v, ramp, 0.0);
        ticks += (clocked.line.write - before + 64) % 64;
        ramp += 1.0;
    }
    // Rate 0.5 ticks at samples 0, 2, 4. Switching to 2 at sample 5 keeps the tick due at
    // 6, then ticks come every half sample (6.5 ... 8.5); switching to 0.75 at sample 9
    // keeps the tick due at 8.5, then every 4/3 sample (9.83, 11.17, 12.5).
    std::vector<double> spacing;
    for (int k = 1; k < ticks; ++k) spacing.push_back(clocked.line.slots[k] - clocked.line.slots[k - 1]);
    const std::vector<double> expected = {2.0, 2.0, 2.0, 0.5, 0.5, 0.5, 0.5, 0.5, 4.0 / 3.0, 4.0 / 3.0, 4.0 / 3.0};
    ASSERT_EQ(spacing.size(), expected.size());
    for (std::size_t k = 0; k < spacing.size(); ++k) EXPECT_NEAR(spacing[k], expected[k], 1e-12) << k;
    EXPECT_NEAR(clocked.line.slots[0], 99.0, 1e-12);  // the first tick, at sample 0
}

TEST(ClockedDelay, ResetRestoresRateOneAndSilence) {
    ClockedLine clocked(100, 0, 5);
    for (int n = 0; n < 50; ++n) clocked.step(1.7, 1.0, 0.3);
    clocked.clock.reset();
    EXPECT_EQ(clocked.clock.rate, 1.0);
    EXPECT_EQ(clocked.clock.phase, 0.0);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(clocked.clock.input(i), 0.0);
        EXPECT_EQ(clocked.clock.feedback(i), 0.0);
        EXPECT_EQ(clocked.clock.taken[i], 0.0);
    }
    // Rates outside 0.5..2 (or not a number) are held at the ends: never more than two ticks.
    for (double v : {100.0, std::nan(""), -3.0, 1e300}) {
        const int32_t before = clocked.line.write;
        clocked.step(v, 0.0, 0.0);
        EXPECT_LE((clocked.line.write - before + 100) % 100, 2) << v;
    }
}

}  // namespace
}  // namespace engine
