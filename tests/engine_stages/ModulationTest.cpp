// The LFO, the envelope followers and the modulation blend, measured on what they output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

#include "EngineTables.h"
#include "EnvelopeFollower.h"
#include "Lfo.h"
#include "Measure.h"

namespace engine {
namespace {

using stagetest::kPi;

const EngineTables& tables() {
    static const EngineTables t;
    return t;
}

double phaseStepFor(double hz, double sampleRate) { return hz * 6.283185307179586 / sampleRate; }

// Renders n samples of both LFO outputs.
void render(Lfo& lfo, int wave, double offset, int n, std::vector<double>& left, std::vector<double>& right) {
    left.resize(n);
    right.resize(n);
    for (int i = 0; i < n; ++i) {
        lfo.step(tables(), wave, offset);
        left[i] = lfo.out[0];
        right[i] = lfo.out[1];
    }
}

TEST(Lfo, SineOfOneHertzRepeatsEverySecondAtBothRates) {
    for (double fs : {44100.0, 96000.0}) {
        Lfo lfo;
        lfo.beginBlock(phaseStepFor(1.0, fs));
        std::vector<double> left, right;
        render(lfo, Lfo::kSine, 0.0, static_cast<int>(3.5 * fs), left, right);
        // The table reads -sin(phase): it falls through zero where the phase rises through 0.
        std::vector<int> falling;
        for (std::size_t n = 1; n < left.size(); ++n)
            if (left[n - 1] > 0.0 && left[n] <= 0.0) falling.push_back(static_cast<int>(n));
        ASSERT_GE(falling.size(), 3u);
        EXPECT_NEAR(falling[2] - falling[1], fs, 1.0) << fs;
        EXPECT_NEAR(falling[1] - falling[0], fs, 1.0) << fs;
        EXPECT_LT(*std::max_element(left.begin(), left.end()), 1.0 + 1e-12);
        EXPECT_GT(*std::max_element(left.begin(), left.end()), 0.99999);
    }
}

TEST(Lfo, ShapesAtKnownPhases) {
    // With no increment and the offset as the phase, each channel sits at +/- offset.
    struct Case {
        int wave;
        double phase;
        double expected;
    };
    const Case cases[] = {
        {Lfo::kSine, 0.5 * kPi, -1.0},    {Lfo::kSine, -0.5 * kPi, 1.0},      {Lfo::kTriangle, 0.5 * kPi, 1.0},
        {Lfo::kTriangle, -0.5 * kPi, -1.0}, {Lfo::kTriangle, 0.25 * kPi, 0.5}, {Lfo::kTriangle, 0.75 * kPi, 0.5},
        {Lfo::kTriangle, kPi, 0.0},        {Lfo::kSquare, 1.0, 1.0},            {Lfo::kSquare, -1.0, -1.0},
        {Lfo::kSaw, 0.5 * kPi, 0.5},       {Lfo::kSaw, -0.9 * kPi, -0.9},
    };
    for (const Case& c : cases) {
        Lfo lfo;
        std::vector<double> left, right;
        // -offset on the left, +offset on the right; 400 samples let the smoothed shapes settle.
        render(lfo, c.wave, -c.phase, 400, left, right);
        // The sine table has no interpolation: its steps of 2 pi / 999 leave 2e-5 at the crests.
        const double tolerance = c.wave == Lfo::kSine ? 2e-5 : 1e-6;
        EXPECT_NEAR(left.back(), c.expected, tolerance) << "wave " << c.wave << " phase " << c.phase;
    }
}

TEST(Lfo, SmoothedShapesFollowTheirCorner) {
    // A square step settles with a one-pole corner of 1000 Hz at 44100 Hz, the rate of
    // construction, and 500 Hz at any other rate: 63 % after fs / (2 pi fc) samples. The
    // corner goes with the rate, whichever rates came before.
    struct Case {
        double fs;
        bool adapted;
        double corner;
    };
    for (const Case& c : {Case{44100.0, false, 1000.0}, Case{48000.0, true, 500.0}, Case{96000.0, true, 500.0},
                          Case{44100.0, true, 1000.0}}) {
        Lfo lfo;
        if (c.adapted) lfo.adaptSampleRate(c.fs);
        std::vector<double> left, right;
        render(lfo, Lfo::kSquare, -1.0, 400, left, right);  // left phase +1: target +1
        const auto reached = std::find_if(left.begin(), left.end(), [](double v) { return v >= 1.0 - std::exp(-1.0); });
        const double samples = static_cast<double>(reached - left.begin()) + 1.0;
        EXPECT_NEAR(samples, c.fs / (2.0 * kPi * c.corner), 1.0) << c.fs;
    }
}

TEST(Lfo, SongPositionLocksThePhase) {
    struct Case {
        double ppq;
        int num, den;
        double phase;
    };
    // One cycle lasts num/den of a whole note = num * 4 / den quarter notes.
    const Case cases[] = {
        {2.75, 1, 1, (0.6875 - 1.0) * 2.0 * kPi},     // 2.75 of 4 quarters
        {100.2, 3, 8, (0.8 - 1.0) * 2.0 * kPi},      // cycle 1.5 quarters: 66.8 cycles
        {0.125, 1, 4, 0.125 * 2.0 * kPi},             // cycle 1 quarter
        {-0.25, 1, 1, (0.9375 - 1.0) * 2.0 * kPi},    // before the song start
        {7.0, 8, 96, 0.0},                            // cycle 1/3 quarter: 21 whole cycles
    };
    for (const Case& c : cases) {
        Lfo lfo;
        lfo.beginBlock(0.01);
        lfo.lockToSong(true, c.ppq, c.num, c.den);
        EXPECT_NEAR(lfo.phase, c.phase, 1e-9) << c.ppq;
        EXPECT_EQ(lfo.delta, 0.01);  // the block's increment is kept
    }
}

TEST(Lfo, NoSongPositionStopsAtPhaseZero) {
    Lfo lfo;
    lfo.beginBlock(phaseStepFor(5.0, 44100.0));
    std::vector<double> left, right;
    render(lfo, Lfo::kSine, 0.0, 100, left, right);
    lfo.lockToSong(false, 0.0, 1, 4);
    render(lfo, Lfo::kSine, 0.0, 1000, left, right);
    for (std::size_t n = 0; n < left.size(); ++n) {
        ASSERT_EQ(left[n], tables().sine[499]);
        ASSERT_EQ(right[n], tables().sine[499]);
    }
}

TEST(Lfo, RandomValuesAreSharedInPhaseAndDrawnPerChannelWithAnOffset) {
    const double fs = 44100.0;
    {
        Lfo lfo;
        lfo.random.seed(7);
        lfo.beginBlock(phaseStepFor(10.0, fs));
        std::vector<double> left, right;
        render(lfo, Lfo::kRandom, 0.0, static_cast<int>(fs), left, right);
        EXPECT_EQ(left, right);
    }
    {
        Lfo lfo;
        lfo.random.seed(7);
        lfo.beginBlock(phaseStepFor(10.0, fs));
        std::vector<double> targetL, targetR;
        for (int n = 0; n < static_cast<int>(fs); ++n) {
            lfo.step(tables(), Lfo::kRandom, 0.25 * kPi);
            targetL.push_back(lfo.target[0]);
            targetR.push_back(lfo.target[1]);
        }
        // Ten cycles: ten new values per channel, each at that channel's own crossing.
        std::vector<int> changesL, changesR;
        for (std::size_t n = 1; n < targetL.size(); ++n) {
            if (targetL[n] != targetL[n - 1]) changesL.push_back(static_cast<int>(n));
            if (targetR[n] != targetR[n - 1]) changesR.push_back(static_cast<int>(n));
        }
        EXPECT_NEAR(static_cast<double>(changesL.size()), 10.0, 1.0);
        EXPECT_NEAR(static_cast<double>(changesR.size()), 10.0, 1.0);
        // The right phase leads by pi/2: each left value comes a quarter of the 4410-sample
        // cycle after the right one.
        for (int at : changesL) {
            if (at < 4410) continue;  // the first cycle starts from the reset phases
            const auto before = std::lower_bound(changesR.begin(), changesR.end(), at);
            ASSERT_NE(before, changesR.begin());
            EXPECT_NEAR(at - *(before - 1), 1102.5, 2.0);
        }
    }
}

TEST(PseudoRandom, CoversItsRangeAndRepeatsForASeed) {
    PseudoRandom a(12345), b(12345), c(54321);
    std::set<int> seen;
    double sum = 0.0;
    bool differs = false;
    const int draws = 200000;
    for (int i = 0; i < draws; ++i) {
        const int v = a.next();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 32767);
        ASSERT_EQ(v, b.next());
        differs = differs || v != c.next();
        seen.insert(v);
        sum += v;
    }
    EXPECT_TRUE(differs);
    EXPECT_GT(seen.size(), 32000u);
    EXPECT_NEAR(sum / draws, 16383.5, 100.0);
}

TEST(Lfo, WildInputsStayInRange) {
    // Offsets and increments far outside anything the controls produce, and not-a-number.
    const double offsets[] = {1e6, -3e9, 1e300, 7.5 * kPi, std::nan("")};
    const double steps[] = {1e12, -5.0, 1e308, std::nan(""), INFINITY};
    for (int wave = -1; wave <= 5; ++wave) {
        for (double offset : offsets) {
            for (double step : steps) {
                Lfo lfo;
                lfo.beginBlock(step);
                for (int n = 0; n < 50; ++n) {
                    lfo.step(tables(), wave, offset);
                    ASSERT_TRUE(std::fabs(lfo.out[0]) <= 1.0 && std::fabs(lfo.out[1]) <= 1.0)
                        << wave << " " << offset << " " << step;
                    ASSERT_TRUE(lfo.phase >= -kPi && lfo.phase <= kPi);
                }
            }
        }
    }
    Lfo lfo;
    lfo.lockToSong(true, std::nan(""), 1, 4);
    EXPECT_EQ(lfo.phase, 0.0);
    lfo.lockToSong(true, 1e300, 1, 96);
    EXPECT_TRUE(std::isfinite(lfo.phase));
}

TEST(Lfo, FastTableReadsMatchTheGeneralHelpers) {
    // The per-sample reads skip checks their callers make unnecessary; they must give the
    // very same numbers as the clamped helpers.
    for (int k = -20; k <= 10020; ++k) {
        const double w = k / 10000.0 + 1e-7 * (k % 7);
        ASSERT_EQ(math::octaveFactor(tables(), w), tables().readOctave(w)) << w;
        const double psi = math::wrapPhase(w * 7.0 - 3.5);
        Lfo lfo;
        lfo.step(tables(), Lfo::kSine, -psi);
        ASSERT_EQ(lfo.out[0], tables().readSine(psi)) << psi;
    }
}

TEST(EnvelopeFollower, TimeConstantFollowsEnvSpeed) {
    // L = 900 x + 100 ms gives a corner of 1000 / L Hz: 63 % of a step after fs / (2 pi fc).
    for (double fs : {44100.0, 96000.0}) {
        for (double speed : {0.0, 0.5, 1.0}) {
            const double corner = 1000.0 / (900.0 * speed + 100.0);
            const double coefficient = EnvelopeFollower::coefficientFor(speed, fs);
            EnvelopeFollower env;
            int n = 0;
            while (env.env[0] < 1.0 - std::exp(-1.0)) {
                env.step(0.5, -0.25, 2.0, coefficient);  // |d| times the sensitivity: 1 and 0.5
                ++n;
            }
            EXPECT_NEAR(n, fs / (2.0 * kPi * corner), 1.5) << fs << " " << speed;
            EXPECT_NEAR(env.env[1], 0.5 * env.env[0], 1e-12);
        }
    }
    // EnvSpeed outside 0..1 keeps its mapping (what the display shows is what is heard),
    // down to a 10 ms envelope; far above, the envelope just gets very slow.
    EXPECT_EQ(EnvelopeFollower::coefficientFor(-40.0, 44100.0), EnvelopeFollower::coefficientFor(-0.1, 44100.0));
    EXPECT_NEAR(EnvelopeFollower::coefficientFor(2.0, 44100.0), 1.0 - std::exp(-6283.185307179586 / (1900.0 * 44100.0)),
                1e-18);
    const double slowest = EnvelopeFollower::coefficientFor(1e9, 44100.0);
    EXPECT_GT(slowest, 0.0);
    EXPECT_LT(slowest, EnvelopeFollower::coefficientFor(1.0, 44100.0));
    EXPECT_EQ(EnvelopeFollower::coefficientFor(std::nan(""), 44100.0), EnvelopeFollower::coefficientFor(0.0, 44100.0));
}

TEST(ModulationSignals, BlendAndCutoffFactor) {
    const double lfoOut[2] = {0.25, -0.5};
    const double silence[2] = {0.0, 0.0};
    ModulationSignals mod;

    mod.step(tables(), lfoOut, silence, 1.0, 0.0);  // all envelope, silence: 2e - 1 = -1
    EXPECT_EQ(mod.m[0], -1.0);
    EXPECT_EQ(mod.m[1], -1.0);
    EXPECT_EQ(mod.cutoffFactor, 1.0);

    mod.step(tables(), lfoOut, silence, 0.0, 0.0);  // all LFO
    EXPECT_EQ(mod.m[0], 0.25);
    EXPECT_EQ(mod.m[1], -0.5);

    // Three octaves each way; the control is held at its ends.
    struct Case {
        double lfoLeft, depth, factor;
    };
    for (const Case& c : {Case{1.0, 1.0, 8.0}, Case{-1.0, 1.0, 0.125}, Case{1.0, -1.0, 0.125}, Case{0.5, 0.0, 1.0},
                          Case{1.0, 0.5, std::pow(2.0, 1.5)}, Case{1.0, 1e9, 8.0}, Case{1.0, -1e9, 0.125},
                          Case{1.0, std::nan(""), 0.125}}) {
        const double out[2] = {c.lfoLeft, 0.0};
        mod.step(tables(), out, silence, 0.0, c.depth);
        EXPECT_NEAR(mod.cutoffFactor, c.factor, 1e-4 * c.factor) << c.lfoLeft << " " << c.depth;
    }

    mod.reset();
    EXPECT_EQ(mod.m[0], 0.0);
    EXPECT_EQ(mod.m[1], 0.0);
    EXPECT_EQ(mod.cutoffFactor, 1.0);  // what signals at 0 give, at any depth
}

}  // namespace
}  // namespace engine
