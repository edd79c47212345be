// The state-variable filter and the drive, measured on rendered sines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "Drive.h"
#include "EngineTables.h"
#include "Measure.h"
#include "StateVariableFilter.h"

namespace engine {
namespace {

using stagetest::amplitudeAt;
using stagetest::kPi;
using Complex = std::complex<double>;

const EngineTables& tables() {
    static const EngineTables t;
    return t;
}

// Response of the filter at w (radians per output sample), derived from its difference
// equations rather than from the code: per half-sample step
//   low' = low + f band,  high = x - q band - low',  band' = f high + band,
// so with D = 1 - 1/z:  band/x = f D / N,  low/x = f^2 / (z N),  high/x = D^2 / N,
// N = D^2 + f q D / z + f^2 / z. The input is held for both half steps and the output is
// the mean of both, which makes the per-sample response
//   R(w) = ((1 + cos t) H(e^jt) + (1 - cos t) H(-e^jt)) / 2,  t = w / 2.
double analyticMagnitude(int type, double f, double q, double w) {
    auto h = [&](Complex z) {
        const Complex zi = 1.0 / z;
        const Complex d = 1.0 - zi;
        const Complex n = d * d + f * q * zi * d + f * f * zi;
        if (type == StateVariableFilter::kLowPass) return f * f * zi / n;
        if (type == StateVariableFilter::kBandPass) return f * d / n;
        return d * d / n;
    };
    const double t = 0.5 * w;
    const Complex z = std::polar(1.0, t);
    return std::abs(0.5 * ((1.0 + std::cos(t)) * h(z) + (1.0 - std::cos(t)) * h(-z)));
}

std::vector<double> filterSine(StateVariableFilter& svf, int type, double hz, double amplitude, double fs,
                               std::size_t length) {
    std::vector<double> y(length);
    for (std::size_t n = 0; n < length; ++n) {
        double l = amplitude * std::sin(2.0 * kPi * hz * static_cast<double>(n) / fs), r = 0.0;
        svf.process(l, r, type);
        y[n] = l;
    }
    return y;
}

TEST(StateVariableFilter, MagnitudeMatchesTheDoubledRateResponse) {
    struct Case {
        double fs, cutoff, resonance;
    };
    const Case cases[] = {{44100.0, 1000.0, 0.05}, {44100.0, 5000.0, 0.5}, {96000.0, 2000.0, 0.05},
                          {96000.0, 16000.0, 0.3}};
    const double probes[] = {100.0, 700.0, 1000.0, 2000.0, 5000.0, 12000.0};
    for (const Case& c : cases) {
        for (int type = 0; type < 3; ++type) {
            for (double hz : probes) {
                StateVariableFilter svf;
                svf.adaptSampleRate(c.fs);
                svf.computeCoefficients(tables(), c.cutoff, 1.0, c.resonance, 0.0, 0.0);
                // A quiet probe leaves the cubic term negligible.
                const double amplitude = 0.001;
                const std::size_t fs = static_cast<std::size_t>(c.fs);
                const std::vector<double> y = filterSine(svf, type, hz, amplitude, c.fs, fs + fs / 2);
                const double measured = amplitudeAt(y, hz, c.fs, fs / 2, fs) / amplitude;
                const double expected = analyticMagnitude(type, svf.f, svf.damping, 2.0 * kPi * hz / c.fs);
                EXPECT_NEAR(measured, expected, 2e-4 * std::max(1.0, expected))
                    << "fs " << c.fs << " fc " << c.cutoff << " type " << type << " at " << hz;
            }
        }
    }
}

TEST(StateVariableFilter, CoefficientsAtCutoffAndResonance) {
    StateVariableFilter svf;
    svf.adaptSampleRate(44100.0);
    // Cutoff 16000 Hz with a factor of 8 stops at the ceiling 44100 / 2.75 = 16036.36 Hz.
    svf.computeCoefficients(tables(), 16000.0, 8.0, 0.05, 0.0, 0.0);
    EXPECT_NEAR(svf.f, 2.0 * std::sin(kPi * (44100.0 / 2.75) / (2.0 * 44100.0)), 1e-7);
    // Resonance 0.05: damping 2 (1 - q^(1/4)) read below q * 4095 without interpolation.
    EXPECT_NEAR(svf.damping, 2.0 * (1.0 - std::pow(204.0 / 4095.0, 0.25)), 1e-15);
    EXPECT_LT(svf.damping, svf.dampingLimit);

    // 1 kHz at 96 kHz.
    svf.adaptSampleRate(96000.0);
    svf.computeCoefficients(tables(), 1000.0, 1.0, 1.0, 0.0, 0.0);
    EXPECT_NEAR(svf.f, 2.0 * std::sin(kPi * 1000.0 / (2.0 * 96000.0)), 1e-8);
    EXPECT_EQ(svf.damping, 0.0);

    // The same numbers as the general clamped table reads, across the whole range.
    for (int k = 0; k <= 2000; ++k) {
        const double cutoff = 50.0 + k * 8.0, resonance = k / 2000.0;
        svf.computeCoefficients(tables(), cutoff, 1.0, resonance, 0.0, 0.0);
        ASSERT_EQ(svf.f, tables().readSvfFrequency(std::min(cutoff, 96000.0 / 2.75) * (2.0 / 96000.0) * 8191.0));
        ASSERT_EQ(svf.damping, tables().readSvfDamping(std::max(resonance, 0.05)));
    }

    // The resonance follows the right modulation signal within 0.05..1.
    svf.computeCoefficients(tables(), 1000.0, 1.0, 0.5, 1.0, 1.0);
    EXPECT_EQ(svf.damping, 0.0);
    svf.computeCoefficients(tables(), 1000.0, 1.0, 0.5, -1.0, 1.0);
    EXPECT_NEAR(svf.damping, 2.0 * (1.0 - std::pow(204.0 / 4095.0, 0.25)), 1e-15);
}

TEST(StateVariableFilter, LowPassAtCutoffIsOneOverDamping) {
    // A state-variable low pass passes its own cutoff at 1/damping (-0.46 dB at the
    // lowest resonance, whose damping is 1.054; +5.7 dB at resonance 0.3, damping 0.52).
    for (double fs : {44100.0, 96000.0}) {
        for (double resonance : {0.05, 0.3}) {
            StateVariableFilter svf;
            svf.adaptSampleRate(fs);
            svf.computeCoefficients(tables(), 1000.0, 1.0, resonance, 0.0, 0.0);
            const std::size_t n = static_cast<std::size_t>(fs);
            const auto y = filterSine(svf, StateVariableFilter::kLowPass, 1000.0, 0.001, fs, n + n / 2);
            EXPECT_NEAR(amplitudeAt(y, 1000.0, fs, n / 2, n) / 0.001, 1.0 / svf.damping, 0.01) << fs;
        }
    }
}

TEST(StateVariableFilter, SelfOscillationIsBoundedByTheCubicTerm) {
    const double fs = 44100.0;
    StateVariableFilter svf;
    svf.adaptSampleRate(fs);
    svf.computeCoefficients(tables(), 1000.0, 1.0, 1.0, 0.0, 0.0);
    ASSERT_EQ(svf.damping, 0.0);

    // Struck once, it rings at its cutoff and keeps ringing.
    std::vector<double> y(2 * 44100);
    for (std::size_t n = 0; n < y.size(); ++n) {
        double l = n == 0 ? 1.0 : 0.0, r = 0.0;
        svf.process(l, r, StateVariableFilter::kBandPass);
        y[n] = l;
    }
    EXPECT_NEAR(stagetest::zeroCrossingHz(y, fs, 44100, y.size()), 1000.0, 5.0);
    EXPECT_GT(*std::max_element(y.end() - 4410, y.end()), 0.01);

    // Driven at its cutoff at full scale, the level stops growing and stays finite.
    svf.reset();
    svf.computeCoefficients(tables(), 1000.0, 1.0, 1.0, 0.0, 0.0);
    const auto driven = filterSine(svf, StateVariableFilter::kBandPass, 1000.0, 1.0, fs, 4 * 44100);
    double earlier = 0.0, later = 0.0;
    for (std::size_t n = 0; n < driven.size(); ++n) {
        ASSERT_TRUE(std::isfinite(driven[n]));
        (n < 2 * 44100 ? earlier : later) = std::max(n < 2 * 44100 ? earlier : later, std::fabs(driven[n]));
    }
    EXPECT_LT(later, 1.01 * earlier);
    EXPECT_LT(later, 20.0);
}

// Driven by any input within +-X, at the corners of the coefficients (the lowest cutoff with
// the slowest modulation at 200 kHz, the ceiling fs / 2.75, the f damping = 2/3 border; no
// resonance and full resonance), with the worst inputs for it (a square at its ringing
// frequency, which pumps it, one at half the sample rate, noise), the states and the three
// outputs stay within the bounds derived in StateVariableFilter.h; so do they with
// coefficients that jump every sample, within the largest fixed-coefficient bound.
TEST(StateVariableFilter, AnyBoundedInputKeepsEveryStateBounded) {
    const double b0 = StateVariableFilter::kBandLimit;
    auto lowBound = [b0](double X, double f, double d) {
        return f * d <= 2.0 / 3.0 ? X + b0 * (f + 1.0 / std::sqrt(1.0 - f * f / 4.0))
                                  : X + d * b0 + (2.0 / 3.0 * b0 + b0) / f + f * b0;
    };
    struct Corner {
        double fs, cutoff, factor, resonance;
    };
    const Corner corners[] = {{200000.0, 50.0, 0.125, 1.0}, {200000.0, 50.0, 0.125, 0.05}, {4096.0, 1e9, 1.0, 1.0},
                              {4096.0, 1e9, 1.0, 0.05},     {44100.0, 16000.0, 1.0, 0.05}, {44100.0, 16000.0, 1.0, 1.0},
                              {48000.0, 5750.0, 1.0, 0.05}};
    std::mt19937 random(5);
    for (const Corner& c : corners) {
        StateVariableFilter probe;
        probe.adaptSampleRate(c.fs);
        probe.computeCoefficients(tables(), c.cutoff, c.factor, c.resonance, 0.0, 0.0);
        const double f = probe.f, d = probe.damping;
        // It rings at 2 asin(f / 2) per pass, two passes per sample.
        const int halfPeriod = std::max(1, static_cast<int>(std::lround(kPi / (4.0 * std::asin(f / 2.0)))));
        const int length = std::max(40 * halfPeriod, 40000);
        for (double X : {1.0, 4.0, 100.0}) {
            for (int wave = 0; wave < 3; ++wave) {
                StateVariableFilter svf[3] = {probe, probe, probe};
                std::uniform_real_distribution<double> noise(-X, X);
                double low = 0.0, band = 0.0, out[3] = {};
                for (int n = 0; n < length; ++n) {
                    const double x = wave == 0 ? ((n / halfPeriod) % 2 ? -X : X) : wave == 1 ? (n % 2 ? -X : X)
                                                                                             : noise(random);
                    for (int type = 0; type < 3; ++type) {
                        double l = x, r = -x;
                        svf[type].process(l, r, type);
                        out[type] = std::max(out[type], std::max(std::fabs(l), std::fabs(r)));
                    }
                    low = std::max({low, std::fabs(svf[0].low[0]), std::fabs(svf[0].low[1])});
                    band = std::max({band, std::fabs(svf[0].band[0]), std::fabs(svf[0].band[1])});
                }
                const double bound = lowBound(X, f, d);
                SCOPED_TRACE(testing::Message() << "f " << f << " damping " << d << " X " << X << " wave " << wave);
                EXPECT_LE(band, b0);
                EXPECT_LE(low, bound);
                EXPECT_LE(out[StateVariableFilter::kLowPass], bound);
                EXPECT_LE(out[StateVariableFilter::kBandPass], b0);
                EXPECT_LE(out[StateVariableFilter::kHighPass], X + d * b0 + bound);
            }
        }
    }

    // Coefficients anywhere in their range, new every sample.
    StateVariableFilter svf;
    svf.adaptSampleRate(44100.0);
    std::uniform_real_distribution<double> cutoff(6.0, 16036.0), resonance(0.05, 1.0), sign(-1.0, 1.0);
    const double X = 4.0;
    double low = 0.0, high = 0.0;
    for (int n = 0; n < 400000; ++n) {
        svf.computeCoefficients(tables(), cutoff(random), 1.0, resonance(random), 0.0, 0.0);
        double l = X * (sign(random) < 0.0 ? -1.0 : 1.0), r = l;
        svf.process(l, r, StateVariableFilter::kHighPass);
        high = std::max(high, std::fabs(l));
        low = std::max(low, std::fabs(svf.low[0]));
        ASSERT_LE(std::fabs(svf.band[0]), b0);
    }
    EXPECT_LE(low, X + 9.2);
    EXPECT_LE(high, X + 1.06 * b0 + X + 9.2);
}

TEST(StateVariableFilter, WildControlsStayFinite) {
    const double nan = std::nan("");
    struct Case {
        double cutoff, factor, resonance, depth, mod;
    };
    for (const Case& c : {Case{nan, 1.0, 0.5, 0.0, 0.0}, Case{1e12, 8.0, 1.0, 0.0, 0.0}, Case{-500.0, 1.0, 0.5, 0.0, 0.0},
                          Case{1000.0, 1.0, nan, nan, nan}, Case{1000.0, 1.0, 1e9, -1e9, 1.0}, Case{0.0, 0.0, 0.05, 0.0, 0.0}}) {
        StateVariableFilter svf;
        svf.adaptSampleRate(44100.0);
        svf.computeCoefficients(tables(), c.cutoff, c.factor, c.resonance, c.depth, c.mod);
        for (int type = 0; type < 3; ++type) {
            const auto y = filterSine(svf, type, 3000.0, 1.0, 44100.0, 4410);
            for (double v : y) ASSERT_TRUE(std::isfinite(v)) << c.cutoff << " " << c.resonance;
        }
    }
}

TEST(StateVariableFilter, SilenceAfterALoudBurstLeavesNoDenormals) {
    for (int type = 0; type < 3; ++type) {
        StateVariableFilter svf;
        svf.adaptSampleRate(44100.0);
        svf.computeCoefficients(tables(), 50.0, 0.125, 0.05, 0.0, 0.0);  // the slowest decay
        for (int n = 0; n < 10 * 44100; ++n) {
            double l = n < 1000 ? std::sin(0.1 * n) : 0.0, r = -l;
            svf.process(l, r, type);
            ASSERT_NE(std::fpclassify(l), FP_SUBNORMAL) << n;
            for (int c = 0; c < 2; ++c) {
                ASSERT_NE(std::fpclassify(svf.low[c]), FP_SUBNORMAL) << n;
                ASSERT_NE(std::fpclassify(svf.band[c]), FP_SUBNORMAL) << n;
            }
        }
    }
}

TEST(Drive, WindowLengthBySampleRate) {
    struct Case {
        double fs;
        int window;
    };
    for (const Case& c : {Case{8000.0, 2}, Case{25000.0, 2}, Case{25000.9, 2}, Case{25001.0, 4}, Case{44100.0, 4},
                          Case{50000.0, 4}, Case{50001.0, 8}, Case{96000.0, 8}, Case{100000.0, 8},
                          Case{100001.0, 16}, Case{192000.0, 16}}) {
        EXPECT_EQ(Drive::windowFor(c.fs), c.window) << c.fs;
    }
}

// Runs a signal through the drive as the loop does; returns the output.
std::vector<double> drive(Drive& d, const std::vector<double>& x, double gain, bool active) {
    std::vector<double> y(x.size());
    d.beginBlock();
    for (std::size_t n = 0; n < x.size(); ++n) {
        double l = x[n], r = -x[n];
        d.step(l, r, gain);
        if (active) d.apply(l, r);
        EXPECT_EQ(l, -r);
        y[n] = l;
    }
    return y;
}

TEST(Drive, SteadyLevelsFollowTheClipperLaw) {
    // For a steady level s: s (1 - D s / 4) up to s = 2 / D, then the ceiling 1 / D.
    struct Case {
        double level, gain, out;
    };
    for (double fs : {44100.0, 96000.0}) {
        for (const Case& c : {Case{1.0, 16.0, 1.0 / 16}, Case{0.05, 16.0, 0.04}, Case{0.125, 16.0, 0.0625},
                              Case{0.5, 1.0, 0.4375}, Case{1.0, 1.0, 0.75}, Case{4.0, 1.0, 1.0}, Case{0.0, 16.0, 0.0}}) {
            Drive d;
            d.adaptSampleRate(fs);
            const auto y = drive(d, std::vector<double>(64, c.level), c.gain, true);
            EXPECT_NEAR(y.back(), c.out, 1e-15) << c.level << " " << c.gain;
        }
    }
}

TEST(Drive, FullScaleSineCeilingAndNeutralAtZero) {
    const double fs = 44100.0;
    std::vector<double> sine(2 * 44100);
    for (std::size_t n = 0; n < sine.size(); ++n) sine[n] = std::sin(2.0 * kPi * 20.0 * static_cast<double>(n) / fs);

    // Drive 1 (D = 16): the crest comes out at 1/16. The window trails a rising edge by
    // about 1.5 samples, so near the knee a little more slips through (3 % at 20 Hz).
    Drive full;
    full.adaptSampleRate(fs);
    const auto y = drive(full, sine, 16.0, true);
    double peak = 0.0;
    for (double v : y) peak = std::max(peak, std::fabs(v));
    EXPECT_GE(peak, 1.0 / 16.0);
    EXPECT_LT(peak, 1.04 / 16.0);
    EXPECT_NEAR(y[551], 1.0 / 16.0, 1e-4);  // sin = 1 at sample 551.25

    // Drive 0: the windows run with D = 1, the loop applies no gain.
    Drive off;
    off.adaptSampleRate(fs);
    EXPECT_EQ(drive(off, sine, 1.0, false), sine);
}

TEST(Drive, BlockStartRebuildsTheSumsAndResetClears) {
    Drive d;
    d.adaptSampleRate(96000.0);
    std::vector<double> x(1000);
    for (std::size_t n = 0; n < x.size(); ++n) x[n] = std::sin(0.37 * static_cast<double>(n)) * 0.9;
    drive(d, x, 5.0, true);
    double direct = 0.0;
    for (int i = 0; i < d.window; ++i) direct += d.ring[0][i];
    d.beginBlock();
    EXPECT_EQ(d.sum[0], direct);
    d.reset();
    d.beginBlock();
    EXPECT_EQ(d.sum[0], 0.0);
    EXPECT_EQ(d.sum[1], 0.0);
    EXPECT_EQ(d.index, 0);
    EXPECT_EQ(d.gain(0), 1.0);
}

}  // namespace
}  // namespace engine
